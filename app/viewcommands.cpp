// The view scale of the front document: the standard zoom steps, scale to fit, zoom by gesture
// and the zoom tool's step, and the scrolling that keeps what the user looks at in view.
#include "app/viewcommands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/shell.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int16_t kStandardScales[14] = {12, 25, 50, 75, 100, 150, 200, 300, 400, 500, 600, 750, 1000, 1250};

bool Empty(const LRect& r) { return r.right <= r.left || r.bottom <= r.top; }

void Unite(LRect* into, const Rect& r) {
    LRect add;
    Rect16To32(&r, &add);
    if (Empty(add)) return;
    if (Empty(*into)) *into = add;
    else UnionRect32(into, &add, into);
}

// The bounds of the sheet's content, or of its selected items only.
LRect SheetContentBounds(SheetRecord* sheet, bool selectedOnly) {
    LRect bounds{0, 0, 0, 0};
    if (sheet->symbolList)
        for (void* item = LLFirst(sheet->symbolList); item; item = LLGetNext(sheet->symbolList, item)) {
            auto* symbol = static_cast<SymbolRecord*>(item);
            if (selectedOnly && !(symbol->flags & kSymbolFlagSelected)) continue;
            Rect r;
            GetSymbolInstanceBounds(sheet, symbol, 1, &r);
            Unite(&bounds, r);
        }
    if (sheet->textList)
        for (void* item = LLFirst(sheet->textList); item; item = LLGetNext(sheet->textList, item)) {
            auto* text = static_cast<TextRecord*>(item);
            if (selectedOnly && !(text->flags & kTextFlagSelected)) continue;
            Unite(&bounds, text->bounds);
        }
    for (LinkListHeader* owners : {sheet->signalList, sheet->bussList}) {
        if (!owners) continue;
        for (void* item = LLFirst(owners); item; item = LLGetNext(owners, item)) {
            WireList wires = (*static_cast<SignalHandle>(item))->wires;
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
                if (selectedOnly && !((*w)->flags & kWireFlagSelected)) continue;
                Unite(&bounds, (*w)->bounds);
            }
        }
    }
    return bounds;
}

LRect ViewRect(VXWindowRecordTag* window) {
    LRect r{0, 0, 0, 0};
    VXLGetPaneViewRect(window, &r);
    return r;
}

Point ClientSize(VXWindowRecordTag* window) {
    Point size{0, 0};
    VXGetClientSize(window, &size.v, &size.h);
    return size;
}

bool Within(const LRect& inner, const LRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// The view's scale, the document's percent and its content; for the front sheet or symbol
// editor.
struct ViewTarget {
    VXWindowRecordTag* window = nullptr;
    SheetRecord* sheet = nullptr;
    SymbolEditorRecord* editor = nullptr;
    int32_t Percent() const { return sheet ? sheet->viewScale : editor ? editor->scale : 100; }
    void Store(int32_t percent) const {
        if (sheet) sheet->viewScale = uint16_t(percent);
        else if (editor) editor->scale = uint16_t(percent);
    }
};

ViewTarget TargetOf(VXWindowRecordTag* window) {
    ViewTarget t;
    if (!window) return t;
    if (window->typeID == kSheetKind) {
        t.sheet = WindowToDrawing(window);
        if (t.sheet) t.window = window;
    } else if (window->typeID == kSymbolEditorKind || window->typeID == kSymbolEditorListKind) {
        t.editor = WindowToSymbolEditor(window);
        if (t.editor && t.editor->window) t.window = t.editor->window;
    }
    return t;
}

ViewTarget FrontTarget() {
    const FrontDocument front = CurrentFront();
    return TargetOf(front.sheet ? front.sheet->window : front.editor ? front.editor->window : nullptr);
}

// The view before a change of scale becomes the document's one undoable action.
void RecordViewUndo(const ViewTarget& t) {
    if (t.sheet) {
        StartSheetUndoCollection(t.sheet, kUndoActionZoom);
        CollectUndoSetSheetView(t.sheet);
        AcceptSheetUndoCollection(t.sheet);
    } else if (t.editor) {
        StartSymbolEditorUndoCollection(t.editor, kSymUndoZoom);
        CollectUndoSetSymbolEditorView(t.editor);
        AcceptSymbolEditorUndoCollection(t.editor);
    }
}

// The percent and the view's top-left before a change, which the zoom-area button's Option
// click goes back to.
void RecordCurrentViewPosition(const ViewTarget& t) {
    if (!t.sheet) return;
    Rect view;
    VXGetViewRect(t.window, &view);
    t.sheet->zoomScale = t.sheet->viewScale;
    t.sheet->zoomPosition = Point{view.top, view.left};
}

void ApplyScale(const ViewTarget& t, int32_t percent) {
    VXSetScalePercent(t.window, percent, percent);
    t.Store(percent);
    VXInvalidateHierarchy(t.window);
}

}  // namespace

int32_t GetNextStandardViewScale(int32_t scale, int32_t direction) {
    if (direction >= 1) {
        for (int16_t step : kStandardScales)
            if (step > scale) return step;
        return kStandardScales[13];
    }
    for (int i = 13; i >= 0; --i)
        if (kStandardScales[i] < scale) return kStandardScales[i];
    return kStandardScales[0];
}

double CalcScaleFactorToFit(Point clientSize, const Rect& rect, bool fromOrigin) {
    const double width = fromOrigin ? rect.right : rect.right - rect.left;
    const double height = fromOrigin ? rect.bottom : rect.bottom - rect.top;
    const double h = width > 0 ? std::min(1.0, clientSize.h / width) : 1.0;
    const double v = height > 0 ? std::min(1.0, clientSize.v / height) : 1.0;
    return std::max(std::min(h, v), 0.01);
}

int32_t GestureViewScale(int32_t percent, int32_t amount, bool documentWindow) {
    if (std::abs(amount) < 20) return percent;
    const int32_t p = documentWindow ? percent : 100;
    int32_t step;
    if (p < 100) {
        step = amount / 20;
        const int32_t most = std::max(p / 8, 1);
        step = std::clamp(step, -most, most);
        if (std::abs(step) < 3) step = amount < 0 ? -3 : 3;
    } else if (p <= 200) {
        step = amount / 10;
    } else {
        step = amount / 5;
    }
    int32_t next = p + step;
    if (step < 0) next = std::max<int32_t>(next, kMinGestureScale);
    else next = std::min<int32_t>(next, gMaxViewScale);
    return next;
}

int32_t ZoomRectViewScale(Point clientSize, const Rect& dragged) {
    const int32_t width = dragged.right - dragged.left, height = dragged.bottom - dragged.top;
    if (width < 6 || height < 6) return 0;
    const double fit = std::min(double(clientSize.h) / width, double(clientSize.v) / height);
    int32_t scale = int32_t(std::floor(fit * 100 + 0.5));
    if (scale < 3) scale = kMinZoomToolScale;
    return std::min<int32_t>(scale, gMaxViewScale);
}

int32_t SetViewScale(int32_t scale, int16_t kind) {
    (void)kind;
    const ViewTarget t = FrontTarget();
    if (!t.window) return 0;
    VXSetAltView(t.window, -1);
    RecordViewUndo(t);
    const int32_t old = t.Percent();
    const bool fitting = scale < 0;
    // The focus: the selection when there is one, else the whole content.
    LRect focus{0, 0, 0, 0};
    bool chosen = false;
    if (t.sheet) {
        focus = SheetContentBounds(t.sheet, true);
        chosen = !Empty(focus) && !fitting;
        if (!chosen) focus = SheetContentBounds(t.sheet, false);
    }
    const LRect oldView = ViewRect(t.window);
    if (Empty(focus)) focus = oldView;
    if (fitting) {
        Rect r;
        Rect32To16(&focus, &r);
        scale = int32_t(std::floor(CalcScaleFactorToFit(ClientSize(t.window), r, true) * 100));
    }
    scale = std::clamp<int32_t>(scale, 1, gMaxViewScale);
    const bool zoomingIn = scale > old;
    // (1) The anchor.
    LRect anchor = (chosen && zoomingIn) ? focus : Within(focus, oldView) ? focus : oldView;
    // (2) The new scale, and the new view at the unchanged scroll origin.
    ApplyScale(t, scale);
    LRect view = ViewRect(t.window);
    const int32_t width = view.right - view.left, height = view.bottom - view.top;
    int32_t left = view.left, top = view.top;
    // (3) Where the view goes.
    auto centre = [&] {
        left = (anchor.left + anchor.right) / 2 - width / 2;
        top = (anchor.top + anchor.bottom) / 2 - height / 2;
    };
    if (fitting) {
        left = top = 0;
    } else if (chosen) {
        centre();
    } else if ((!zoomingIn && scale >= 101) || (zoomingIn && old >= 101)) {
        centre();
    }
    // (4) The whole content kept in sight.
    if (!chosen) {
        LRect inset = focus;
        InsetRect32(&inset, 16, 16);
        const LRect moved{top, left, top + height, left + width};
        LRect meet;
        if (!Empty(inset) && !SectRect32(&inset, &moved, &meet)) {
            left = focus.left;
            top = focus.top;
        }
    }
    // (5) Scroll there.
    VXScrollTo(t.window, std::max(left, 0), std::max(top, 0));
    return scale != old;
}

void AdjustViewScale(VXWindowRecordTag* window, int32_t amount) {
    const ViewTarget t = TargetOf(window);
    const int32_t p = t.window ? t.Percent() : 100;
    const int32_t next = GestureViewScale(p, amount, t.window != nullptr);
    if (next != p && t.window) {
        VXSelectWindow(VXGetTopParent(t.window));
        (void)SetViewScale(next, t.window->typeID);  // a refused change leaves the view
    }
}

int32_t SetScaledViewPostion(VXWindowRecordTag* window, int32_t scale, const Rect& rect) {
    const ViewTarget t = TargetOf(window);
    if (!t.window) return scale;
    RecordCurrentViewPosition(t);
    ApplyScale(t, scale);
    const LRect view = ViewRect(t.window);
    const int32_t width = view.right - view.left, height = view.bottom - view.top;
    const int32_t left = (rect.left + rect.right) / 2 - width / 2, top = (rect.top + rect.bottom) / 2 - height / 2;
    VXScrollTo(t.window, std::max(left, 0), std::max(top, 0));
    return scale;
}

int32_t TrackZoomRect(VXWindowRecordTag* window, const VXEventRecord* event) {
    const ViewTarget t = TargetOf(window);
    if (!t.window || !event) return 0;
    const int32_t old = t.Percent();
    LRect dragged{};
    Rect rect{};
    int32_t scale = 0;
    if (VXTrackSelectRect(t.window, event, true, nullptr, nullptr, &dragged)) {
        Rect32To16(&dragged, &rect);
        scale = ZoomRectViewScale(ClientSize(t.window), rect);
        if (scale == old) return 0;
    }
    const bool drawn = scale != 0;
    if (!drawn) {
        // A click, or a rectangle too small to count: one standard step around the click.
        _LPNT content{}, pad{};
        VXWindowPointToPanelContent(t.window, event->u.mouse.longH, event->u.mouse.longV, &content);
        TranslateMousePt(t.window, &content, &pad);
        rect = Rect{int16_t(pad.v - 2), int16_t(pad.h - 2), int16_t(pad.v + 3), int16_t(pad.h + 3)};
        scale = GetNextStandardViewScale(old, (event->u.mouse.modifiers & kVXModOption) ? -1 : 1);
        if (scale == old) return 0;
    }
    RecordViewUndo(t);
    t.Store(SetScaledViewPostion(t.window, scale, rect));
    return drawn ? 1 : 0;
}

void SetGridScale(int32_t grid, int16_t kind) {
    const FrontDocument front = CurrentFront();
    if (kind == kSheetKind) {
        if (front.sheet) {
            front.sheet->view.gridSpacing = int16_t(grid);
            RedrawSheetWindow(front.sheet);
        }
    } else if (front.editor) {
        front.editor->grid = int16_t(grid);
        if (front.editor->window) VXInvalidateHierarchy(front.editor->window);
    }
}

int32_t SheetZoomGestureHook(VXWindowRecordTag* window, const void* data) {
    const auto* event = static_cast<const VXEventRecord*>(data);
    if (event->kind == kVXMagnifyEvent) {
        AdjustViewScale(window, event->u.wheel.deltaV);
        return 1;
    }
    // Ctrl is the platform's Command key here.
    if (event->kind == kVXWheelEvent && (event->u.wheel.mouse.modifiers & (kVXModControl | kVXModCommand))) {
        AdjustViewScale(window, event->u.wheel.deltaV);
        return 1;
    }
    return 0;
}

}  // namespace plexa
