#include "symboleditor/symselect.h"

#include <algorithm>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/grafport.h"
#include "graphics/hittest.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/symboltexts.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symcreate.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselection.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// The Option key's code for the pin-text offsets.
constexpr uint16_t kOptionKeyCode = 58;
constexpr int32_t kElementHitTolerance = 3;

bool Contains(const Rect& outer, const Rect& inner) {
    return inner.top >= outer.top && inner.left >= outer.left && inner.bottom <= outer.bottom && inner.right <= outer.right;
}

bool PickedForReshape(const VXEventRecord* event) {
    return event->u.mouse.button == 1 || (event->u.mouse.modifiers & kVXModCommand);
}

// Drawing into a pixel test around the point, the screen flag off.
struct PixelTest {
    uint32_t saved;
    PixelTest(SymbolEditorRecord* editor, Point point) : saved(gGenFlags) {
        gGenFlags &= ~1u;
        StartPixelHitTestEx(editor->window ? &editor->window->graf : nullptr, _LPNT{point.v, point.h});
    }
    ~PixelTest() {
        StopPixelHitTest();
        gGenFlags = saved;
    }
};

}  // namespace

// ---- Hit tests ----

ElementRecord* HitTestEditorElements(SymbolEditorRecord* editor, Point point) {
    const std::vector<ElementRecord*> elements = EditorListItems<ElementRecord*>(editor->elements);
    ImageList* images = GetElementListImageList(editor->elements);
    PixelTest test(editor, point);
    size_t front = elements.size();  // elements before the one found lie in front of it
    ElementRecord* found = nullptr;
    for (int16_t t = 0; t <= kElementHitTolerance; ++t) {
        for (size_t i = 0; i < front; ++i) {
            ElementRecord* e = elements[i];
            const Rect bounds = GrownEditorRect(e->bounds, t);
            if (!VXPtInRect(point, &bounds)) continue;
            if (e->kind == kElementImage && (e->flags & kElementFilled)) {
                found = e;
                front = i;
                break;
            }
            ResetPixelHitTest();
            DrawElement(e, images ? images : editor->images, false, false);
            if (HitTestPixels(t, t)) {
                found = e;
                front = i;
                break;
            }
        }
    }
    return found;
}

TextRecord* HitTestEditorTextLabels(SymbolEditorRecord* editor, Point point) {
    for (int16_t grow : {int16_t(-1), int16_t(0), int16_t(1)})
        for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
            if (t->flags & kTextFlagHidden) continue;
            const Rect r = GrownEditorRect(t->bounds, grow);
            if (VXPtInRect(point, &r)) return t;
        }
    return nullptr;
}

TextFrameHandle HitTestEditorTextFrames(SymbolEditorRecord* editor, Point point) {
    const uint32_t saved = gGenFlags;
    gGenFlags &= ~1u;
    TextFrameHandle hit = nullptr;
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
        if (!VXPtInRect(point, &(*f)->bounds)) continue;
        if ((*f)->lineCount < 2) {
            hit = f;
            break;
        }
        PixelTest test(editor, point);
        DrawTextFrame(f, false);
        if (HitTestPixels(7, 7)) {
            hit = f;
            break;
        }
    }
    gGenFlags = saved;
    return hit;
}

// ---- By click ----

void WillSelectEditorItem(SymbolEditorRecord* editor, bool extend) {
    if (!extend) {
        ClearSymbolEditorSelection(editor);
        return;
    }
    if (editor->selectedElement || editor->selectedFrame) InvalEditorSelectionBounds(editor);
}

namespace {

// The selection rules shared by the three kinds; `selected`, `select` and `deselect` act on the
// item.
template <class IsSelected, class Select, class Deselect>
void ClickSelect(SymbolEditorRecord* editor, const VXEventRecord* event, const Rect& bounds, IsSelected isSelected,
                 Select select, Deselect deselect) {
    InvalEditorView(editor, bounds);
    const bool shift = event->u.mouse.shift != 0;
    if (shift && isSelected()) {
        deselect();
        PrepSymbolEditorSelection(editor);
        return;
    }
    if (!isSelected()) {
        WillSelectEditorItem(editor, shift);
        select();
    }
    PrepSymbolEditorSelection(editor);
    InvalEditorSelectionBounds(editor);
    DragEditorSelection(editor, event);
}

}  // namespace

void DoEditorElementSelection(SymbolEditorRecord* editor, const VXEventRecord* event, ElementRecord* e) {
    ClickSelect(
        editor, event, e->bounds, [e] { return (e->flags & kElementSelected) != 0; },
        [e, event] {
            e->flags |= kElementSelected;
            if (PickedForReshape(event)) e->flags |= 2;
            else e->flags &= uint16_t(~2u);
        },
        [editor, e] {
            if (editor->selectedElement == e) editor->selectedElement = nullptr;
            e->flags &= uint16_t(~3u);
        });
}

void DoEditorTextLabelSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextRecord* t) {
    ClickSelect(
        editor, event, t->bounds, [t] { return IsEditorTextSelected(t); },
        [t] { t->flags |= kTextFlagSelected; }, [t] { t->flags &= uint16_t(~kTextFlagSelected); });
}

void DoEditorTextFrameSelection(SymbolEditorRecord* editor, const VXEventRecord* event, TextFrameHandle f) {
    ClickSelect(
        editor, event, (*f)->bounds, [f] { return ((*f)->flags & kFrameFlagSelected) != 0; },
        [f] { (*f)->flags |= kFrameFlagSelected; },
        [editor, f] {
            if (editor->selectedFrame == f) editor->selectedFrame = nullptr;
            (*f)->flags &= uint16_t(~kFrameFlagSelected);
        });
}

// ---- By area ----

bool TrackEditorSelectionRect(SymbolEditorRecord* editor, const VXEventRecord* event, Rect* area) {
    if (!editor->window) return false;
    LRect r{};
    if (!VXTrackSelectRect(editor->window, event, true, nullptr, nullptr, &r)) return false;
    *area = Rect{int16_t(r.top), int16_t(r.left), int16_t(r.bottom), int16_t(r.right)};
    return true;
}

void DoEditorAreaSelection(SymbolEditorRecord* editor, const Rect& area, bool shift, bool option) {
    if (option) {
        for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
            if (!Contains(area, t->bounds)) continue;
            if (shift && (t->flags & kTextFlagSelected)) t->flags &= uint16_t(~kTextFlagSelected);
            else if (!(t->flags & (kTextFlagHidden | kTextFlagSelected))) t->flags |= kTextFlagSelected;
        }
    } else {
        for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) {
            if (!Contains(area, e->bounds)) continue;
            if (shift) e->flags ^= kElementSelected;
            else e->flags |= kElementSelected;
            e->flags &= uint16_t(~2u);
        }
    }
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
        if (!Contains(area, (*f)->bounds)) continue;
        if (!((*f)->flags & kFrameFlagSelected)) (*f)->flags |= kFrameFlagSelected;
        else if (shift) (*f)->flags &= uint16_t(~kFrameFlagSelected);
    }
    PrepSymbolEditorSelection(editor);
    InvalEditorSelectionBounds(editor);
}

// ---- Dragging ----

namespace {

struct SelectionDrag {
    SymbolEditorRecord* editor;
    ElementRecord* image;  // the single element's copy, or none
    Point start;
    Point offset;
    Rect dragged;
};

void DrawSelectionDrag(VXWindowRecordTag*, void* data) {
    auto* d = static_cast<SelectionDrag*>(data);
    if (d->image) {
        VXPenNormal();
        DrawElement(d->image, GetElementListImageList(d->editor->elements), false, false);
        return;
    }
    FrameEditorSelectionRects(d->editor, d->offset);
}

void MoveSelectionDrag(Point p, void* data) {
    auto* d = static_cast<SelectionDrag*>(data);
    // The dragged rectangle stays on the surface.
    int32_t dv = p.v - d->start.v, dh = p.h - d->start.h;
    const Rect& s = kSymbolEditorSurface;
    dv = std::clamp<int32_t>(dv, s.top - d->dragged.top, s.bottom - d->dragged.bottom);
    dh = std::clamp<int32_t>(dh, s.left - d->dragged.left, s.right - d->dragged.right);
    if (dv == d->offset.v && dh == d->offset.h) return;
    if (d->image) OffsetElement(d->image, Point{int16_t(dv - d->offset.v), int16_t(dh - d->offset.h)});
    d->offset = Point{int16_t(dv), int16_t(dh)};
    if (d->editor->window) VXUpdateOverlay(d->editor->window);
}

// A pin number or name text's offset from its pin's end becomes the preferences' offset for that
// kind of text and that pin orientation.
void RecordPinTextOffset(const TextRecord* t) {
    const uint16_t mark = t->kind & 0xC000;
    const auto* pin = reinterpret_cast<const ElementRecord*>(t->owner);
    if ((mark != kTextKindPinNumber && mark != kTextKindPinName) || !pin || pin->kind != kElementNode) return;
    // The preferences' own record (the built-in defaults are never written).
    const auto preferences = GetSymbolTextHooks().preferences;
    const SymbolTextOffsets* record = preferences ? preferences() : nullptr;
    const int32_t orientation = Node_Orient(pin);
    if (!record || orientation < 1 || orientation > 4) return;
    auto& offsets = const_cast<SymbolTextOffsets&>(*record);
    const Point position = GetTextElementPosition(t);
    const Point offset{int16_t(position.v - pin->points.point2.v), int16_t(position.h - pin->points.point2.h)};
    (mark == kTextKindPinNumber ? offsets.pinNumber : offsets.pinName)[orientation - 1] = offset;
    ChangedPreferences(1);
}

}  // namespace

void DragEditorSelection(SymbolEditorRecord* editor, const VXEventRecord* event) {
    if (!editor->window) return;
    SelectionDrag d{editor, nullptr, EditorDragPoint(editor, EditorEventPoint(editor, event)), {}, {}};
    int32_t elements = 0, texts = 0, frames = 0;
    ElementRecord* single = nullptr;
    CountSymbolEditorSelection(editor, &elements, &single, &texts, nullptr, &frames, nullptr);
    ImageList* images = GetElementListImageList(editor->elements);
    if (elements == 1 && texts == 0 && frames == 0 && single) {
        d.image = DuplicateElement(single, false, images, images);
        if (d.image) {
            editor->dragState |= 1;
            InvalEditorView(editor, single->bounds);
            d.dragged = d.image->bounds;
        }
    }
    if (!d.image) GetEditorHiliteBounds(editor, &d.dragged);
    Rect clipped{};
    if (VXSectRect(&d.dragged, &kSymbolEditorSurface, &clipped)) d.dragged = clipped;
    VXBeginOverlayForPanes(editor->window, kVXOverlayMainPane, DrawSelectionDrag, &d);
    Point end{};
    TrackEditorDrag(editor, event, 1, -1, MoveSelectionDrag, &d, &end);
    if (editor->window) VXEndOverlay(editor->window);
    if (d.image) {
        DestroyElement(d.image, images);
        editor->dragState &= uint8_t(~1u);
    }
    if (!d.offset.v && !d.offset.h) {
        if (single) InvalEditorView(editor, single->bounds);
        return;
    }
    SetEditModified(editor, true);
    (void)MoveEditorSelection(editor, d.offset.h, d.offset.v);
}

// ---- Moving ----

bool MoveEditorSelection(SymbolEditorRecord* editor, int16_t dh, int16_t dv) {
    if (!dh && !dv) return false;
    const Point by{dv, dh};
    StartSymbolEditorUndoCollection(editor, kSymUndoMove);
    Rect area{};
    bool moved = false;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) {
        if (!(e->flags & kElementSelected)) continue;
        AddEditorArea(&area, e->bounds);
        CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemElement, e, by, 0);
        OffsetElement(e, by);
        AddEditorArea(&area, e->bounds);
        moved = true;
        if (e->kind == kElementNode)
            if (ElementRecord* companion = GetCompanionNode(editor, e, editor->viewContext)) OffsetElement(companion, by);
    }
    std::vector<TextRecord*> movedTexts;
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) {
        if (!IsEditorTextSelected(t)) continue;
        const bool hidden = t->flags & kTextFlagHidden;
        if (!hidden) AddEditorArea(&area, t->bounds);
        CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemText, t, by, 0);
        TextRecord* companion = t->kind >= kTextKindPinNumber ? GetCompanionText(editor, t, editor->viewContext) : nullptr;
        OffsetTextElement(t, dh, dv);
        if (companion) OffsetTextElement(companion, dh, dv);
        if (!hidden) AddEditorArea(&area, t->bounds);
        if (t->flags & kTextFlagSelected) movedTexts.push_back(t);
        moved = true;
    }
    // Option held over one pin text: its place beside the pin becomes the default for new pins.
    int32_t selectedTexts = 0;
    CountSymbolEditorSelection(editor, nullptr, nullptr, &selectedTexts, nullptr, nullptr, nullptr);
    if (VXTestKey(kOptionKeyCode) && selectedTexts == 1 && movedTexts.size() == 1) RecordPinTextOffset(movedTexts[0]);
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) {
        if (!((*f)->flags & kFrameFlagSelected)) continue;
        AddEditorArea(&area, (*f)->bounds);
        CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemFrame, f, by, 0);
        OffsetTextFrame(f, dh, dv);
        AddEditorArea(&area, (*f)->bounds);
        moved = true;
    }
    if (!moved) {
        AbortSymbolEditorUndoCollection(editor);
        return false;
    }
    area = GrownEditorRect(area, 4);
    InvalEditorView(editor, area);
    CollectUndoInvalSymbolEditorRect(editor, area);
    AcceptSymbolEditorUndoCollection(editor);
    PrepEditorModifiers(editor);
    return true;
}

}  // namespace plexa
