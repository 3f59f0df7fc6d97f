// The view scale of the front document: the standard zoom steps, scale to fit, zoom by gesture
// and the zoom tool's step, and the scrolling that keeps what the user looks at in view.
#include "app/viewcommands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/shell.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/textedit.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/textframeedit.h"
#include "sheeteditor/wiretracking.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symcreate.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symundo.h"
#include "symboleditor/symwindow.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int16_t kStandardScales[14] = {12, 25, 50, 75, 100, 150, 200, 300, 400, 500, 600, 750, 1000, 1250};
// The slop around a floating wire end, as it is drawn when it flashes.
constexpr int32_t kFloatingEndSlop = 4;

bool Empty(const LRect& r) { return r.right <= r.left || r.bottom <= r.top; }

void Unite(LRect* into, const LRect& add) {
    if (Empty(add)) return;
    if (Empty(*into)) *into = add;
    else UnionRect32(into, &add, into);
}
void Unite(LRect* into, const Rect& r) {
    LRect add;
    Rect16To32(&r, &add);
    Unite(into, add);
}
void Unite(Rect* into, const Rect& r) {
    if (VXEmptyRect(&r)) return;
    if (VXEmptyRect(into)) *into = r;
    else VXUnionRect(into, &r, into);
}

LRect ToLong(const Rect& r) {
    LRect out;
    Rect16To32(&r, &out);
    return out;
}

LRect ViewRect(VXWindowRecordTag* window) {
    LRect r{0, 0, 0, 0};
    VXLGetPaneViewRect(window, &r);
    return r;
}

// The pixels the view shows: the pane's drawing area, without its scroll bars and rulers.
Point ClientSize(VXWindowRecordTag* window) {
    const XRect pane = VXCurrentPaneViewRect(window);
    if (pane.width > 0 && pane.height > 0)
        return Point{int16_t(std::clamp<long>(std::lround(pane.height), 0, 0x7FFF)),
                     int16_t(std::clamp<long>(std::lround(pane.width), 0, 0x7FFF))};
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
    VXTERecord* EditedText() const {
        return sheet ? static_cast<VXTERecord*>(sheet->drawingTE) : editor ? editor->textEdit : nullptr;
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

// The percent and the view before a change, which the zoom-area button's Option click goes back
// to.
void RecordCurrentViewPosition(const ViewTarget& t) {
    Rect view;
    VXGetViewRect(t.window, &view);
    if (t.sheet) {
        t.sheet->zoomScale = t.sheet->viewScale;
        t.sheet->zoomView = view;
    } else if (t.editor) {
        t.editor->zoomScale = t.editor->scale;
        t.editor->zoomView = view;
    }
}

// The area the document's items may take.
LRect DocumentArea(const ViewTarget& t) {
    return ToLong(t.sheet ? t.sheet->sheetBounds : kSymbolEditorSurface);
}

// The bounds of the whole content: of a sheet everything drawn on it, of a symbol editor the
// drawing it shows.
LRect ContentBounds(const ViewTarget& t) {
    Rect bounds{};
    if (t.sheet) bounds = SheetContentBounds(t.sheet);
    else if (t.editor) CalcSymbolViewBounds(t.editor, &bounds);
    return ToLong(bounds);
}

// The selected items of a sheet: those of its selection region, and the selected wires.
LRect SheetSelectionBounds(SheetRecord* sheet) {
    Rect hilite{};
    (void)CalcSheetHiliteBounds(sheet, &hilite);
    LRect bounds = ToLong(hilite);
    for (LinkListHeader* owners : {sheet->signalList, sheet->bussList}) {
        if (!owners) continue;
        for (void* item = LLFirst(owners); item; item = LLGetNext(owners, item)) {
            WireList wires = (*static_cast<SignalHandle>(item))->wires;
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
                if ((*w)->flags & kWireFlagSelected) Unite(&bounds, (*w)->bounds);
        }
    }
    return bounds;
}

// What the user works on, which a zoom keeps in sight: the text being edited, else on a sheet the
// floating end of its flashing wire, its first handle or its selection, in a symbol editor the
// highlighted items; clipped to the document's area (empty when there is none).
LRect ChosenFocus(const ViewTarget& t) {
    LRect focus{0, 0, 0, 0};
    if (VXTERecord* te = t.EditedText()) {
        CalcTEDisplayFrame(te, &focus);
    } else if (t.sheet) {
        SheetRecord* sheet = t.sheet;
        Rect end{};
        if (sheet->flashingWire) (void)GetFloatingWireEnd(sheet->flashingWire, kFloatingEndSlop, &end);
        if (!VXEmptyRect(&end)) {
            focus = ToLong(end);
        } else if (CountSheetModifiers(sheet) > 0) {
            const ItemModifier& first = SheetModifiers(sheet)[0];
            const int32_t half = std::max(SheetModifierBoxSize(sheet), 2) / 2;
            focus = LRect{first.v - half, first.h - half, first.v + half + 1, first.h + half + 1};
        } else {
            focus = SheetSelectionBounds(sheet);
        }
    } else if (t.editor) {
        Rect hilite{};
        GetEditorHiliteBounds(t.editor, &hilite);
        focus = ToLong(hilite);
    }
    const LRect area = DocumentArea(t);
    LRect clipped{0, 0, 0, 0};
    if (Empty(focus) || !SectRect32(&focus, &area, &clipped)) return LRect{0, 0, 0, 0};
    return clipped;
}

// Sets the view's scale and the document's percent; the text being edited is measured again at
// the new scale.
void ApplyScale(const ViewTarget& t, int32_t percent) {
    VXTERecord* te = t.EditedText();
    TESizingInfo sizing{};
    if (te) GetTESizingInfo(te, &sizing);
    VXSetScalePercent(t.window, percent, percent);
    t.Store(percent);
    if (te) UpdateTESize(te, sizing);
    VXInvalidateHierarchy(t.window);
}

// After a change of scale: the selection region and the handles, whose size follows the scale.
void RebuildSelection(const ViewTarget& t) {
    if (t.sheet) {
        BuildDrawingSelectRgn(t.sheet);
        CalcSheetSelection(t.sheet, nullptr);
    } else if (t.editor) {
        PrepEditorModifiers(t.editor);
    }
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

Rect SheetContentBounds(SheetRecord* sheet) {
    Rect bounds{};
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next) Unite(&bounds, e->bounds);
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        Rect r{};
        GetSymbolInstanceInfo(sheet, s, nullptr, &r, 1);
        Unite(&bounds, r);
    }
    for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
        Unite(&bounds, (*static_cast<SignalHandle>(s))->bounds);
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b))
        Unite(&bounds, (*static_cast<BussHandle>(b))->bounds);
    for (void* f = LLFirst(sheet->textFrameList); f; f = LLGetNext(sheet->textFrameList, f))
        Unite(&bounds, (*static_cast<TextFrameHandle>(f))->bounds);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
        if (!(t->flags & kTextFlagHidden)) Unite(&bounds, t->bounds);
    return bounds;
}

int32_t SetViewScale(int32_t scale, int16_t kind) {
    (void)kind;
    const ViewTarget t = FrontTarget();
    if (!t.window) return 0;
    VXSetAltView(t.window, -1);
    if (t.sheet) CloseTrackingOverlay();
    RecordViewUndo(t);
    const int32_t old = t.Percent();
    const bool fitting = scale < 0;
    // The focus: what the user works on, else (and always when fitting) the whole content.
    LRect focus = fitting ? LRect{0, 0, 0, 0} : ChosenFocus(t);
    const bool chosen = !Empty(focus);
    if (!chosen) focus = ContentBounds(t);
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
    const LRect anchor = (chosen && zoomingIn) ? focus : Within(focus, oldView) ? focus : oldView;
    // (2) The new scale, and the new view at the unchanged scroll origin.
    ApplyScale(t, scale);
    const LRect view = ViewRect(t.window);
    const int32_t width = view.right - view.left, height = view.bottom - view.top;
    int32_t left = view.left, top = view.top;
    // (3) Where the view goes.
    const auto centre = [&] {
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
    RebuildSelection(t);
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
    RebuildSelection(t);
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
