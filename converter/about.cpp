// The converter's About box and the maker's logo in it.
#include <cstring>
#include <string>

#include "converter/app.h"
#include "foundation/localized.h"
#include "foundation/rectmath.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
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

Point OnGrid(const Rect& area, int16_t v, int16_t h) {
    const int32_t height = area.bottom - area.top, width = area.right - area.left;
    return {int16_t(area.top + v * height / 100), int16_t(area.left + h * width / 100)};
}

// The format's first "%s" replaced by the value.
std::string Formatted(const char* format, const char* value) {
    std::string text = format;
    const size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, value);
    return text;
}

std::string LoadedString(int32_t id) {
    char text[256];
    VXLoadStringEx(id, 0, text, sizeof text);
    return text;
}

}  // namespace

void ShowAboutDialog() {
    VXModalDialog(kAboutTemplate, kAboutDialogFlags, AboutAppDialogHandler, nullptr);
}

int32_t AboutAppDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    switch (event->kind) {
        case kVXCreateEvent: {
            char version[32];
            (void)GetApplicationVersionString(version);  // an unknown version shows empty
            const std::string text =
                Formatted(LoadedString(kStrVersion).c_str(), version) + LoadedString(kStrPlatform);
            VXSetItemText(window, kAboutVersionItem, text.c_str());
            VXSetItemText(window, kAboutNameItem, LoadedString(kStrApplicationName).c_str());
            VXSetItemImageFromResource(window, kAboutIconItem, kConverterIcon, kConverterIconType, 0);
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

}  // namespace plexa
