// The windows' side of the text display view: the extension record, the event handler, the
// scroll bar and the pixel scrolling the engine asks for.
#include "toolkit/vx_textview.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "graphics/textview.h"
#include "platform/panel_scrollers.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kTextViewCode = 0x54657874;  // "Text"
constexpr int32_t kDocumentHeight = 3000;
// The bar's position and knob are handed to the panel as parts of this many units.
constexpr int32_t kBarUnits = 1 << 20;

struct TextViewInfo : WindowClassInfoTag {
    TextDisplayRecord* view = nullptr;
    VXEventProc previous = nullptr;
    ~TextViewInfo() override {
        if (view) DestroyTextViewStructures(view);
    }
};

TextViewInfo* InfoOf(VXWindowRecordTag* window) {
    return window ? static_cast<TextViewInfo*>(VXGetWindowClassInfo(window, kTextViewCode))
                  : nullptr;
}

// The view's size: the height of the main pane, the width of the document or the pane, the wider.
void Measure(VXWindowRecordTag* window, TextDisplayRecord* view) {
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        view->viewHeight = int32_t(std::lround(panel->paneBounds.height));
        view->viewWidth = std::max(window->padWidth, int32_t(std::lround(panel->paneBounds.width)));
        return;
    }
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    view->viewHeight = height;
    view->viewWidth = std::max<int32_t>(window->padWidth, width);
}

void InvalRect(VXGrafState* state, const LRect* rect) {
    if (VXWindowRecordTag* window = VXWindowFromGrafState(state)) VXLInvalRect(window, rect);
}

// The bar is the window's vertical scroll bar (the window record stands for it).
void SetScrollBar(void* bar, double value, double proportion, bool enabled) {
    auto* window = static_cast<VXWindowRecordTag*>(bar);
    if (!enabled) {
        VXSetPadScrollerProperties(window, 0, 0, 1, 1);
        return;
    }
    const int32_t visible =
        std::clamp(int32_t(std::lround(proportion * kBarUnits)), 1, kBarUnits - 1);
    const int32_t position =
        int32_t(std::lround(std::clamp(value, 0.0, 1.0) * (kBarUnits - visible)));
    VXSetPadScrollerProperties(window, 0, position, visible, kBarUnits);
}

double ScrollBarValue(void* bar) {
    VXPanelRecordTag* panel = VXGetWindowPanel(static_cast<VXWindowRecordTag*>(bar));
    return panel ? panel->scrollers[0].value : 0.0;
}

// Moves the lines by dv pixels: the pending areas move along, the content is drawn at once with
// the window's scrolling mark set.
void ScrollPixels(VXGrafState* state, int32_t dv) {
    VXWindowRecordTag* window = VXWindowFromGrafState(state);
    if (!window) return;
    const int32_t id = window->windowID;
    window->textViewFlags |= kVXTextViewScrolling;
    if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
        VXTranslateUpdateRegion(panel, 0, dv);
        VXScrollPanelContents(panel, 0, dv, 0, true, nullptr);
    } else {
        VXLInvalRect(window, nullptr);
        VXUpdateWindow(window);
    }
    if ((window = VXGetWindowFromId(id))) window->textViewFlags &= ~kVXTextViewScrolling;
}

int32_t HandleScroll(TextDisplayRecord* view, VXEventRecord* event) {
    auto& scroll = event->u.scroll;
    if (scroll.part == kTextScrollWheel) {
        if (scroll.amount != 0) DoScroll(view, kTextScrollWheel, scroll.amount, 0);
        // The lines took the vertical delta; the default handling gets the horizontal one only.
        scroll.amount = 0;
        return scroll.value2 == 0 ? 1 : 0;
    }
    // The horizontal bar is the panel's.
    if (scroll.axis != 0) return 0;
    DoScroll(view, int16_t(scroll.part), scroll.amount, scroll.amount);
    return 1;
}

}  // namespace

void VXInstallTextViewHooks() {
    TextViewHooks hooks = TextViewGetHooks();
    hooks.invalRect = InvalRect;
    hooks.setScrollBar = SetScrollBar;
    hooks.scrollBarValue = ScrollBarValue;
    hooks.scrollPixels = ScrollPixels;
    TextViewSetHooks(hooks);
}

void InstallTextDisplayView(VXWindowRecordTag* window, int32_t width, int32_t fontKind,
                            StreamRecord* stream) {
    if (!window || !stream || InfoOf(window)) return;
    auto* info = new (std::nothrow) TextViewInfo;
    if (!info) return;
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    void* bar = panel && panel->scrollers[0].present ? window : nullptr;
    int16_t height = 0, clientWidth = 0;
    VXGetClientSize(window, &height, &clientWidth);
    info->view = CreateTextDisplay(&window->graf, stream, fontKind, std::max<int32_t>(width, 0),
                                   height, bar);
    if (!info->view) {
        delete info;
        return;
    }
    // The lines scroll themselves: the panel's vertical origin stays at the top.
    if (panel) {
        if (panel->bounds.y != 0)
            VXScrollPanelContents(panel, 0, int32_t(std::lround(panel->bounds.y)), 0, false,
                                  nullptr);
        panel->flags |= kVXPanelNoVerticalScroll;
    }
    info->previous = VXSetWindowEventHandler(window, TextDispalyEventHandler);
    VXSetWindowClassInfo(window, info, kTextViewCode);
    window->textViewFlags |= kVXTextView;
    VXSetPadSize(window, width, kDocumentHeight, false);
    Measure(window, info->view);
    UpdateScrollBar(info->view);
    VXLInvalRect(window, nullptr);
}

TextDisplayRecord* VXGetTextDisplayView(VXWindowRecordTag* window) {
    TextViewInfo* info = InfoOf(window);
    return info ? info->view : nullptr;
}

OSStatus AppendTextDisplayData(VXWindowRecordTag* window, const void* bytes, int32_t count,
                               bool reveal) {
    TextDisplayRecord* view = VXGetTextDisplayView(window);
    if (!view || count < 0 || (count > 0 && !bytes)) return status::kParamErr;
    return TextDisplayAppend(view, bytes, count, reveal);
}

void VXSetTextViewFontKind(VXWindowRecordTag* window, int32_t fontKind) {
    if (TextDisplayRecord* view = VXGetTextDisplayView(window)) TextDisplaySetFontKind(view, fontKind);
}

void VXRecalcTextView(VXWindowRecordTag* window) {
    if (TextDisplayRecord* view = VXGetTextDisplayView(window)) TextDisplayRecalc(view);
}

int32_t VXGetTextDisplayViewTabWidth(VXWindowRecordTag* window) {
    if (TextDisplayRecord* view = VXGetTextDisplayView(window)) return TextDisplayTabWidth(view);
    VXWindowRecordTag* previous = window ? VXSetWindow(window) : nullptr;
    const int32_t previousID = previous ? previous->windowID : 0;
    const int32_t width = TextDisplayTabWidth(nullptr);
    if (window) VXSetWindow(VXGetWindowFromId(previousID));
    return width;
}

int32_t TextDispalyEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    TextViewInfo* info = InfoOf(window);
    if (!info || !event) return 0;
    const int32_t id = window->windowID;
    int32_t result = info->previous ? info->previous(window, event) : 0;
    window = VXGetWindowFromId(id);
    if (!window || !(info = InfoOf(window))) return result;
    TextDisplayRecord* view = info->view;
    switch (event->kind) {
        case kVXDestroyEvent:
            window->eventProc = info->previous;
            window->textViewFlags &= ~(kVXTextView | kVXTextViewScrolling);
            VXDestroyWindowClassInfo(window, kTextViewCode);
            return 1;
        case kVXSizeEvent:
            // The view follows the window's size even when the window's own procedure took the
            // event: its line count and bar would be stale otherwise.
            Measure(window, view);
            UpdateScrollBar(view);
            return 1;
        default:
            break;
    }
    if (result != 0) return result;
    switch (event->kind) {
        case kVXUpdateEvent: {
            // Only the content is drawn here; an update of another pane has nothing of the view.
            if (window->graf.geometry.pane >= 0) return 1;
            const VXLongRect& dirty = event->u.update.longRect;
            LRect rect{dirty.top, dirty.left, dirty.bottom, dirty.right};
            if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
                const int32_t dh = int32_t(std::lround(panel->bounds.x));
                rect.left += dh;
                rect.right += dh;
            }
            DoDrawContent(view, &rect);
            return 1;
        }
        case kVXScrollEvent:
            return HandleScroll(view, event);
        case kVXScrollToEvent:
            event->u.scrollTo.v = 0;
            return 0;
        default:
            return 0;
    }
}

}  // namespace plexa
