// The maker's About box and logo, and the busy cursor.
#include "toolkit/vx_about.h"

#include <iterator>

#include "foundation/localized.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

// Placement third, window style 2.
constexpr uint16_t kAboutDialogFlags = kVXPlaceThird | kVXDialogStyle2;
constexpr VXColor kLogoBackground = 0xFF8A55;
constexpr int32_t kLogoPenWidth = 8;
constexpr int16_t kLogoInset = 3;

// The logo on a grid of 100 by 100 over the item: a frame and, across it, a resistor between two
// leads ({v, h} points).
constexpr Rect kLogoFrame = {12, 6, 88, 94};
constexpr Point kLogoTrace[] = {{50, 6},  {50, 24}, {30, 32}, {70, 44}, {30, 56},
                                {70, 68}, {50, 76}, {50, 94}};

constexpr int32_t kFirstWaitCursor = 2001, kLastWaitCursor = 2004;
constexpr uint32_t kWaitCursorTicks = 10;

int32_t gWaitCursor = 2000;
uint32_t gWaitCursorTick = 0;

Point OnGrid(const Rect& area, int16_t v, int16_t h) {
    const int32_t height = area.bottom - area.top, width = area.right - area.left;
    return {int16_t(area.top + v * height / 100), int16_t(area.left + h * width / 100)};
}

}  // namespace

std::string AboutText(int32_t stringId, const char* value) {
    char loaded[256];
    VXLoadStringEx(stringId, 0, loaded, sizeof loaded);
    std::string text = loaded;
    const size_t at = value ? text.find("%s") : std::string::npos;
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

std::string AboutVersionLine(int32_t formatId, int32_t suffixId) {
    char version[32];
    (void)GetApplicationVersionString(version);  // an empty text when there is none
    return AboutText(formatId, version) + AboutText(suffixId);
}

void ShowAboutBox(uint16_t templateId, const AboutBoxContent& content) {
    AboutBoxContent copy = content;
    VXModalDialog(templateId, kAboutDialogFlags, AboutBoxDialogHandler, &copy);
}

int32_t AboutBoxDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    switch (event->kind) {
        case kVXCreateEvent: {
            const auto* content = static_cast<const AboutBoxContent*>(window->refCon);
            if (content) {
                if (content->version) VXSetItemText(window, kAboutVersionItem, content->version);
                if (content->name) VXSetItemText(window, kAboutNameItem, content->name);
                if (content->built) VXSetItemText(window, kAboutBuiltItem, content->built);
                if (content->iconName)
                    VXSetItemImageFromResource(window, content->iconItem, content->iconName, content->iconType, 0);
            }
            window->refCon = nullptr;  // the content is the caller's
            VXSetItemVisible(window, kAboutLogoItem, false);
            return 0;
        }
        case kVXUpdateEvent: {
            Rect area;
            VXGetItemPosition(window, kAboutLogoItem, &area);
            DrawLogo(window, &area);
            return 0;
        }
        case kVXMouseDownEvent:
        case kVXControlEvent:
        case kVXCharEvent:
            VXEndDialog(window, 1);
            return 1;
        default:
            return 0;
    }
}

void DrawLogo(VXWindowRecordTag* window, const Rect* area) {
    if (!window || !area || area->bottom <= area->top || area->right <= area->left) return;
    VXSetWindow(window);
    VXGrafState* state = &window->graf;
    Rect clip = *area;
    clip.left = int16_t(clip.left + kLogoInset);
    clip.right = int16_t(clip.right - kLogoInset);
    VXSectClipRect(state, &clip, true);
    VXPenState pen;
    VXGetPenState(&pen);
    QZSetColor(nullptr, kLogoBackground, false);
    VXRectDispatch(area, 1);
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    VXSetPenWidth(kLogoPenWidth);
    const Point topLeft = OnGrid(*area, kLogoFrame.top, kLogoFrame.left);
    const Point bottomRight = OnGrid(*area, kLogoFrame.bottom, kLogoFrame.right);
    const Rect frame = {topLeft.v, topLeft.h, bottomRight.v, bottomRight.h};
    VXRectDispatch(&frame, 0);
    Point trace[std::size(kLogoTrace)];
    for (size_t i = 0; i < std::size(kLogoTrace); ++i)
        trace[i] = OnGrid(*area, kLogoTrace[i].v, kLogoTrace[i].h);
    VXPolyDispatch(trace, int16_t(std::size(trace)), 0);
    VXSetPenState(&pen);
    VXPopClip(state);
}

void WaitCursor() {
    const uint32_t now = VXGetTicks();
    if (gWaitCursor >= kFirstWaitCursor && ElapsedTicksBetween(gWaitCursorTick, now) < kWaitCursorTicks)
        return;
    gWaitCursor = gWaitCursor >= kFirstWaitCursor && gWaitCursor < kLastWaitCursor ? gWaitCursor + 1
                                                                                   : kFirstWaitCursor;
    gWaitCursorTick = now;
    VXSetCursor(gWaitCursor);
}

}  // namespace plexa
