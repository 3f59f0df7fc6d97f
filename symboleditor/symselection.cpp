#include "symboleditor/symselection.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/regions.h"
#include "graphics/textedit.h"
#include "model/elements.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/waitcursor.h"
#include "symboleditor/symarea.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/symrecord.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symundo.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint32_t kHighlightColor = 0x12000000;
constexpr uint32_t kCursorArrow = 0x7FFFFF00, kCursorIBeam = 0x7FFFFF01, kCursorCross = 0x7FFFFF02;
constexpr Point kUnset{int16_t(-32768), int16_t(-32768)};

bool Same(Point a, Point b) { return a.v == b.v && a.h == b.h; }

bool IsSelected(const ElementRecord* e) { return e->flags & kElementSelected; }
bool IsSelected(TextFrameHandle frame) { return (*frame)->flags & kFrameFlagSelected; }

// The texts of the current view that are selected, a pin text counting with its pin.
std::vector<TextRecord*> SelectedTexts(SymbolEditorRecord* editor) {
    std::vector<TextRecord*> texts;
    for (TextRecord* text : EditorListItems<TextRecord*>(editor->texts))
        if (IsEditorTextSelected(text)) texts.push_back(text);
    return texts;
}

Rect TransformedBounds(Rect r, Point centre, int32_t code) {
    Point points[2] = {{int16_t(r.top - centre.v), int16_t(r.left - centre.h)},
                       {int16_t(r.bottom - centre.v), int16_t(r.right - centre.h)}};
    VXTransformPoints(code, points, 2);
    return Rect{int16_t(std::min(points[0].v, points[1].v) + centre.v),
                int16_t(std::min(points[0].h, points[1].h) + centre.h),
                int16_t(std::max(points[0].v, points[1].v) + centre.v),
                int16_t(std::max(points[0].h, points[1].h) + centre.h)};
}

void TransformAbout(Point* points, int32_t count, Point centre, int32_t code) {
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = int16_t(points[i].v - centre.v);
        points[i].h = int16_t(points[i].h - centre.h);
    }
    VXTransformPoints(code, points, count);
    for (int32_t i = 0; i < count; ++i) {
        points[i].v = int16_t(points[i].v + centre.v);
        points[i].h = int16_t(points[i].h + centre.h);
    }
}

std::vector<Point> PointsOf(const ElementRecord* poly) {
    return std::vector<Point>(PolyPoints(poly), PolyPoints(poly) + ElementAs<PolyElement>(poly)->pointCount);
}

}  // namespace

// ---- Selection ----

Point EditorEventPoint(SymbolEditorRecord* editor, const VXEventRecord* event) {
    const VXMouseFields& mouse = event->u.mouse;
    if (!editor->window) return Point{mouse.v, mouse.h};
    _LPNT content{}, pad{};
    VXWindowPointToPanelContent(editor->window, mouse.longH, mouse.longV, &content);
    TranslateMousePt(editor->window, &content, &pad);
    return Point{int16_t(std::clamp<int32_t>(pad.v, -32767, 32767)), int16_t(std::clamp<int32_t>(pad.h, -32767, 32767))};
}

bool IsEditorTextSelected(const TextRecord* text) {
    if (text->flags & kTextFlagSelected) return true;
    if (text->kind >= kTextKindPinNumber && text->owner)
        return IsSelected(reinterpret_cast<const ElementRecord*>(text->owner));
    return false;
}

void CountSymbolEditorSelection(SymbolEditorRecord* editor, int32_t* elements, ElementRecord** element,
                                int32_t* texts, TextRecord** text, int32_t* frames, TextFrameHandle* frame) {
    int32_t ne = 0, nt = 0, nf = 0;
    ElementRecord* lastElement = nullptr;
    TextRecord* lastText = nullptr;
    TextFrameHandle lastFrame = nullptr;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements))
        if (IsSelected(e)) ++ne, lastElement = e;
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts))
        if (t->flags & kTextFlagSelected) ++nt, lastText = t;
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames))
        if (IsSelected(f)) ++nf, lastFrame = f;
    if (elements) *elements = ne;
    if (element) *element = ne == 1 ? lastElement : nullptr;
    if (texts) *texts = nt;
    if (text) *text = nt == 1 ? lastText : nullptr;
    if (frames) *frames = nf;
    if (frame) *frame = nf == 1 ? lastFrame : nullptr;
}

void PrepSymbolEditorSelection(SymbolEditorRecord* editor) {
    int32_t ne = 0, nt = 0, nf = 0;
    ElementRecord* element = nullptr;
    TextFrameHandle frame = nullptr;
    CountSymbolEditorSelection(editor, &ne, &element, &nt, nullptr, &nf, &frame);
    const bool single = ne + nt + nf == 1;
    editor->selectedElement = single ? element : nullptr;
    editor->selectedFrame = single ? frame : nullptr;
    PrepEditorModifiers(editor);
}

void ClearSymbolEditorSelection(SymbolEditorRecord* editor) {
    Rect bounds{};
    GetEditorHiliteBounds(editor, &bounds);
    if (editor->tool == kSymEditToolPoly && editor->constructed) FinishSymbolEditorTool(editor);
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements)) e->flags &= uint16_t(~3u);
    for (TextRecord* t : EditorListItems<TextRecord*>(editor->texts)) t->flags &= uint16_t(~kTextFlagSelected);
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames)) (*f)->flags &= uint16_t(~kFrameFlagSelected);
    editor->selectedElement = nullptr;
    editor->selectedFrame = nullptr;
    PrepEditorModifiers(editor);
    if (editor->selectionRegion) VXSetEmptyRgn(editor->selectionRegion);
    InvalEditorView(editor, bounds);
}

void EnumEditorSelectionRects(SymbolEditorRecord* editor, EditorRectProc proc, void* data) {
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements))
        if (IsSelected(e)) proc(e->bounds, data);
    for (TextRecord* t : SelectedTexts(editor)) proc(t->bounds, data);
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames))
        if (IsSelected(f)) proc((*f)->bounds, data);
}

void GetEditorHiliteBounds(SymbolEditorRecord* editor, Rect* bounds) {
    *bounds = Rect{};
    EnumEditorSelectionRects(editor, [](const Rect& r, void* data) { AddEditorArea(static_cast<Rect*>(data), r); }, bounds);
}

void InvalEditorSelectionBounds(SymbolEditorRecord* editor) {
    Rect bounds{};
    GetEditorHiliteBounds(editor, &bounds);
    InvalEditorView(editor, bounds);
}

void FrameEditorSelectionRects(SymbolEditorRecord* editor, Point offset) {
    if (!editor->window) return;
    VXSetWindow(editor->window);
    VXPenNormal();
    VXSetPenWidth(2);
    VXSetLineDashInterval(2, 3, 0);
    QZSetColor(nullptr, 0x07000000, false);
    EnumEditorSelectionRects(
        editor,
        [](const Rect& r, void* data) {
            const Point by = *static_cast<Point*>(data);
            Rect moved = r;
            VXOffsetRect(&moved, by.h, by.v);
            Rect clipped{};
            if (VXSectRect(&moved, &kSymbolEditorSurface, &clipped)) VXFrameRect(&clipped);
        },
        &offset);
    VXPenNormal();
}

void PaintEditorSelectionRects(SymbolEditorRecord* editor) {
    QZSetColor(nullptr, kHighlightColor, false);
    EnumEditorSelectionRects(editor, [](const Rect& r, void*) { VXRectDispatch(&r, 1); }, nullptr);
    QZSetColor(nullptr, 0x07000000, false);
}

void FinishSymbolEditorTool(SymbolEditorRecord* editor) {
    SetSymbolEditorTool(editor, kSymEditToolSelect);
    editor->tool = kSymEditToolSelect;
}

// ---- Handles ----

int32_t SymbolEditorAngle(Point centre, Point p) {
    const double degrees = std::atan2(double(p.h - centre.h), double(centre.v - p.v)) * 180.0 / M_PI;
    return (int32_t(std::lround(degrees)) + 360) % 360;
}

void CalcEditorModifiers(const SymbolEditorRecord* editor, EditorModifiers* m) {
    std::fill(std::begin(m->fixed), std::end(m->fixed), kUnset);
    m->points.clear();
    const ElementRecord* e = editor->selectedElement;
    if (!e) {
        if (editor->selectedFrame) GetTextFrameSizePoint(editor->selectedFrame, &m->fixed[kFrameSizeModifier]);
        return;
    }
    const auto frame = [m](Rect r) {
        m->fixed[0] = Point{r.top, r.left};
        m->fixed[1] = Point{r.top, r.right};
        m->fixed[2] = Point{r.bottom, r.left};
        m->fixed[3] = Point{r.bottom, r.right};
        const auto midH = int16_t((r.left + r.right) / 2), midV = int16_t((r.top + r.bottom) / 2);
        if (r.right - r.left >= kMiddleModifierSide) {
            m->fixed[4] = Point{r.top, midH};
            m->fixed[5] = Point{r.bottom, midH};
        }
        if (r.bottom - r.top >= kMiddleModifierSide) {
            m->fixed[6] = Point{midV, r.left};
            m->fixed[7] = Point{midV, r.right};
        }
    };
    const auto ends = [m, e] {
        m->fixed[8] = e->points.point1;
        m->fixed[9] = e->points.point2;
    };
    const auto polyPoints = [m, e] {
        const int16_t count = ElementAs<PolyElement>(e)->pointCount;
        const int16_t used = int16_t(IsPolyClosed(e) && count > 1 ? count - 1 : count);
        m->points.assign(PolyPoints(e), PolyPoints(e) + used);
    };
    const Rect r = e->rect;
    const bool reshape = (e->flags & 2) != 0;
    switch (e->kind) {
        case kElementLine:
        case kElementNode: ends(); break;
        case kElementArrow:
            if (!reshape) {
                ends();
                break;
            }
            {
                const auto* arrow = ElementAs<ArrowElement>(e);
                const int32_t angle = SymbolEditorAngle(e->points.point2, e->points.point1) + arrow->headAngle;
                GetRadiusPoint(e->points.point2, arrow->headLength, arrow->headLength, angle, &m->fixed[10]);
            }
            break;
        case kElementRoundRect:
            if (reshape) {
                const auto* rr = ElementAs<RoundRectElement>(e);
                m->fixed[11] = Point{int16_t(r.top + rr->ovalHeight / 2), int16_t(r.left + rr->ovalWidth / 2)};
            } else {
                frame(r);
            }
            break;
        case kElementArc:
            if (reshape) {
                const auto* arc = ElementAs<ArcElement>(e);
                const Point centre{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)};
                const auto hr = int16_t((r.right - r.left) / 2), vr = int16_t((r.bottom - r.top) / 2);
                GetRadiusPoint(centre, hr, vr, arc->startAngle, &m->fixed[12]);
                GetRadiusPoint(centre, hr, vr, (arc->startAngle + arc->arcAngle) % 360, &m->fixed[13]);
            } else {
                Rect bounds{};
                GetMinimumArcBounds(e, &bounds);
                frame(bounds);
            }
            break;
        case kElementPoly:
            if (reshape) polyPoints();
            else frame(r);
            break;
        default: frame(r); break;
    }
}

bool CalcElementModifierRect(const EditorModifiers& m, int32_t id, int16_t boxSize, Rect* box) {
    Point p = kUnset;
    if (id < 0 && -1 - id < int32_t(m.points.size())) p = m.points[size_t(-1 - id)];
    else if (id >= 0 && id < kFixedModifierCount) p = m.fixed[id];
    if (Same(p, kUnset)) return false;
    const auto start = int16_t(boxSize / 2);
    *box = Rect{int16_t(p.v - start), int16_t(p.h - start), int16_t(p.v - start + boxSize), int16_t(p.h - start + boxSize)};
    if (boxSize >= 3) {
        VXInsetRect(box, -1, -1);
    } else {
        ++box->bottom;
        ++box->right;
    }
    return true;
}

void PrepEditorModifiers(SymbolEditorRecord* editor) {
    // The handles follow the selection whenever they are asked for; only their area is redrawn.
    if (!editor->window) return;
    EditorModifiers m;
    CalcEditorModifiers(editor, &m);
    const int16_t size = CalcModiferBoxSize(&editor->window->graf.geometry);
    Rect area{}, box{};
    for (int32_t id = -int32_t(m.points.size()); id < kFixedModifierCount; ++id)
        if (CalcElementModifierRect(m, id, size, &box)) AddEditorArea(&area, box);
    InvalEditorView(editor, area);
}

// ---- Tools ----

void SetEditViewCursor(SymbolEditorRecord* editor) {
    if (!editor->window) return;
    int32_t cursor = kCursorIBeam;
    if (editor->currentTab == kSymEditTabDrawing) {
        if (editor->zoomMode) cursor = 1002;
        else if (editor->tool == kSymEditToolSelect) cursor = kCursorArrow;
        else if (editor->tool != kSymEditToolText) cursor = kCursorCross;
    }
    VXSetWindowCursor(editor->window, cursor);
}

void SetSymbolEditorTool(SymbolEditorRecord* editor, uint16_t tool) {
    if (editor->currentTab != kSymEditTabDrawing) return;
    editor->zoomMode = false;
    if (editor->tool == kSymEditToolPoly && tool == kSymEditToolSelect) {
        FinishCreatePoly(editor, true);
    } else {
        DestroySymbolEditorTE(editor);
        ClearSymbolEditorSelection(editor);
    }
    if (tool == editor->tool) return;
    if (editor->toolPane) {
        VXSetButtonState(editor->toolPane, int16_t(editor->tool), 0);
        VXSetButtonState(editor->toolPane, int16_t(tool), 1);
    }
    editor->tool = tool;
    SetEditViewCursor(editor);
}

// The drawing attributes of a new element of the kind between two points.
ElementRecord* BuildSymbolEditorElement(const SymbolEditorRecord* editor, uint8_t kind, Point a, Point b, int16_t extra1,
                                   int16_t extra2) {
    const bool noFill = kind == kElementLine || kind == kElementArrow || kind == kElementNode;
    ElementParamRecord p{};
    p.kind = kind;
    p.filled = uint8_t(!noFill && editor->fill);
    p.penWidth = editor->penWidth;
    p.point1 = a;
    p.point2 = b;
    p.frameColor = editor->frameColor;
    p.fillColor = editor->fillColor;
    p.flags = uint16_t(0x200 | (noFill ? 0 : 0x400) | (editor->styleWord & ~0x1600u));
    p.extra[0] = extra1;
    p.extra[1] = extra2;
    return BuildElement(&p);
}

void EndSymbolEditorPolyBand(SymbolEditorRecord* editor) {
    if (editor->polyBandShown && editor->window) VXEndOverlay(editor->window);
    editor->polyBandShown = false;
}

void FinishCreatePoly(SymbolEditorRecord* editor, bool select) {
    EndSymbolEditorPolyBand(editor);
    ElementRecord* poly = editor->constructed;
    editor->constructed = nullptr;
    if (!poly || poly->kind != kElementPoly) return;
    CalcElementBounds(poly);
    const std::vector<Point> points = PointsOf(poly);
    ElementRecord* result = poly;
    if (points.size() < 2) {
        DestroyElement(poly, nullptr);
        result = nullptr;
    } else if (points.size() == 2) {
        result = Same(points[0], points[1]) ? nullptr
                                            : BuildSymbolEditorElement(editor, kElementLine, points[0], points[1], 0, 0);
        DestroyElement(poly, nullptr);
    }
    if (!result) return;
    CalcElementBounds(result);
    SetEditModified(editor, false);
    StartSymbolEditorUndoCollection(editor, kSymUndoCreation);
    LLPush(editor->elements, result);
    CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemElement, result, true);
    InvalEditorView(editor, GrownEditorRect(result->bounds, 2));
    CollectUndoInvalSymbolEditorRect(editor, GrownEditorRect(result->bounds, 2));
    AcceptSymbolEditorUndoCollection(editor);
    if (select) {
        SetSymbolEditorTool(editor, kSymEditToolSelect);
        editor->tool = kSymEditToolSelect;
        result->flags |= kElementSelected;
        PrepSymbolEditorSelection(editor);
    }
}

// ---- Rotating and mirroring ----

void TransformElement(ElementRecord* e, Point centre, int32_t code) {
    switch (e->kind) {
        case kElementPoly: {
            const int16_t count = ElementAs<PolyElement>(e)->pointCount;
            TransformAbout(PolyPoints(e), count, centre, code);
            break;
        }
        case kElementLine:
        case kElementArrow:
        case kElementNode: TransformAbout(&e->points.point1, 2, centre, code); break;
        default: {
            Point corners[2] = {{e->rect.top, e->rect.left}, {e->rect.bottom, e->rect.right}};
            TransformAbout(corners, 2, centre, code);
            e->rect = Rect{std::min(corners[0].v, corners[1].v), std::min(corners[0].h, corners[1].h),
                           std::max(corners[0].v, corners[1].v), std::max(corners[0].h, corners[1].h)};
            if (e->kind == kElementRoundRect && (code & 1)) {
                auto* round = ElementAs<RoundRectElement>(e);
                std::swap(round->ovalWidth, round->ovalHeight);
            } else if (e->kind == kElementArc) {
                auto* arc = ElementAs<ArcElement>(e);
                VXTransformArc(code, &arc->startAngle, arc->arcAngle);
            } else if (e->kind == kElementImage) {
                auto* image = ElementAs<ImageElement>(e);
                image->orientation = uint8_t(VXTransformTransformation(image->orientation, code));
            }
            break;
        }
    }
    CalcElementBounds(e);
}

bool TransformSymbolEditorSelection(SymbolEditorRecord* editor, Point centre, int32_t code) {
    std::vector<ElementRecord*> elements;
    for (ElementRecord* e : EditorListItems<ElementRecord*>(editor->elements))
        if (IsSelected(e)) elements.push_back(e);
    const std::vector<TextRecord*> texts = SelectedTexts(editor);
    std::vector<TextFrameHandle> frames;
    for (TextFrameHandle f : EditorListItems<TextFrameHandle>(editor->frames))
        if (IsSelected(f)) frames.push_back(f);
    Rect before{};
    for (ElementRecord* e : elements) AddEditorArea(&before, e->bounds);
    for (TextRecord* t : texts) AddEditorArea(&before, t->bounds);
    for (TextFrameHandle f : frames) AddEditorArea(&before, (*f)->bounds);
    if (VXEmptyRect(&before)) {
        VXBeep();
        return false;
    }
    if (centre.v == kSelectionCentre.v && centre.h == kSelectionCentre.h) {
        centre = Point{int16_t((before.top + before.bottom) / 2), int16_t((before.left + before.right) / 2)};
        SnapPointToGrid(&centre, editor->grid);
    }
    const Rect after = TransformedBounds(before, centre, code);
    Rect inside{};
    if (!VXSectRect(&after, &kSymbolEditorSurface, &inside) || inside.top != after.top || inside.left != after.left ||
        inside.bottom != after.bottom || inside.right != after.right) {
        VXBeep();
        return false;
    }
    if (editor->selectionRegion) VXSetEmptyRgn(editor->selectionRegion);
    SetEditModified(editor, false);
    StartSymbolEditorUndoCollection(editor, kSymUndoTransformation);
    Rect area = before;
    for (ElementRecord* e : elements) {
        ModelWaitCursor();
        CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemElement, e, centre, int16_t(code));
        TransformElement(e, centre, code);
        AddEditorArea(&area, e->bounds);
        if (e->kind == kElementNode)
            if (ElementRecord* companion = GetCompanionNode(editor, e, editor->viewContext)) {
                TransformElement(companion, centre, code);
            }
    }
    for (TextRecord* t : texts) {
        CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemText, t, centre, int16_t(code));
        TextRecord* companion = GetCompanionText(editor, t, editor->viewContext);
        TransformTextElement(t, editor->window, editor->stringBlock, centre, code);
        if (companion) TransformTextElement(companion, editor->window, editor->stringBlock, centre, code);
        AddEditorArea(&area, t->bounds);
    }
    for (TextFrameHandle f : frames) {
        CollectUndoMoveSymbolEditorItem(editor, kSymUndoItemFrame, f, centre, int16_t(code));
        TransformTextFrame(f, editor->window, centre, code);
        AddEditorArea(&area, (*f)->bounds);
    }
    area = GrownEditorRect(area, 4);
    InvalEditorView(editor, area);
    CollectUndoInvalSymbolEditorRect(editor, area);
    AcceptSymbolEditorUndoCollection(editor);
    PrepSymbolEditorSelection(editor);
    return true;
}

// ---- Text editing ----

void DestroySymbolEditorTE(SymbolEditorRecord* editor) {
    VXTERecord* te = editor->textEdit;
    if (!te) return;
    TextFrameHandle frame = CreateTextFrameFromTE(te, nullptr, editor->editedFrame, editor->styleList);
    // A new text is the undoable action. A frame edited again that goes is replaced by a new
    // record, or by none, which the last action does not name: that action is dropped.
    const bool made = frame && !editor->editedFrame;
    if (editor->editedFrame && (frame || te->length == 0)) ClearSymbolEditorUndoAction(editor);
    if (made) {
        SetEditModified(editor, false);
        StartSymbolEditorUndoCollection(editor, kSymUndoCreation);
    }
    if (frame) {
        LLPush(editor->frames, frame);
        if (editor->state & kSymEditEditedThemed) (*frame)->flags |= kFrameFlagThemed;
        else (*frame)->flags &= uint16_t(~kFrameFlagThemed);
        CollectUndoSymbolEditorItemExistance(editor, kSymUndoItemFrame, frame, true);
        CollectUndoInvalSymbolEditorRect(editor, GrownEditorRect((*frame)->bounds, 2));
    }
    if (made) AcceptSymbolEditorUndoCollection(editor);
    if (editor->editedFrame) {
        // A text that could not become a frame keeps the frame it was edited from.
        if (frame || te->length == 0) DestroyTextFrame(editor->editedFrame);
        else LLPush(editor->frames, editor->editedFrame);
        editor->editedFrame = nullptr;
    }
    InvalSymbolEditorView(editor, nullptr);
    VXTEDispose(te);
    editor->textEdit = nullptr;
}
}  // namespace plexa
