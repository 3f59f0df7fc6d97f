// Moving and transforming the selection of a sheet, with what hangs on it.
#include "sheeteditor/sheetmove.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/regions.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/signalindex.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/bussdrag.h"
#include "sheeteditor/wirestretch.h"
#include "sheeteditor/sheetselect.h"
#include "toolkit/vx_services.h"

namespace plexa {

namespace {

// Item kinds of undo ops.
// Undo action kinds.

void AddArea(Rect* area, const Rect& r, int16_t grow = 0) {
    if (!area || VXEmptyRect(&r)) return;
    Rect g = r;
    if (grow) VXInsetRect(&g, int16_t(-grow), int16_t(-grow));
    if (VXEmptyRect(area)) *area = g;
    else VXUnionRect(area, &g, area);
}

Rect SymbolBoundsWithTexts(SheetRecord* sheet, const SymbolRecord* symbol) {
    Rect r;
    GetSymbolInstanceBounds(sheet, symbol, 1, &r);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
        if (!(t->flags & kTextFlagHidden) && (t->kind & kTextKindSymbolOwned) && IsTextOwnedBySymbol(t, symbol) > 0)
            AddArea(&r, t->bounds);
    return r;
}

// The rectangle spanned by two corners after a transformation.
void TransformRect(Rect* r, Point centre, int32_t code) {
    Point corners[2] = {{r->top, r->left}, {r->bottom, r->right}};
    TransformPointArray(corners, 2, centre, code);
    r->top = std::min(corners[0].v, corners[1].v);
    r->bottom = std::max(corners[0].v, corners[1].v);
    r->left = std::min(corners[0].h, corners[1].h);
    r->right = std::max(corners[0].h, corners[1].h);
}

// Whether the symbol moves with the selection: it is selected, or it is a net symbol that hangs
// on a selected symbol by a short straight wire.
bool IsMovingSymbol(SheetRecord* sheet, SymbolRecord* symbol) {
    if (symbol->flags & kSymbolFlagSelected) return true;
    return IsShortStraightNetSymbol(sheet, symbol, 1) != nullptr;
}

std::vector<SymbolRecord*> MovingSymbols(SheetRecord* sheet) {
    std::vector<SymbolRecord*> moving;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        if (IsMovingSymbol(sheet, s)) moving.push_back(s);
    return moving;
}

template <class F>
void ForEachFrame(SheetRecord* sheet, F&& f) {
    for (void* item = LLFirst(sheet->textFrameList); item; item = LLGetNext(sheet->textFrameList, item))
        f(static_cast<TextFrameHandle>(item));
}

// The wires and bus lines attached to what moved follow it.
void MoveAttachedWires(SheetRecord* sheet, Point point, int32_t code, Rect* area) {
    ClearBussUndoFlags(sheet);
    MoveBussWires(sheet, point, code, area);
    MoveMarkedBreakOuts(sheet, point, code, area);
    MoveSignalWires(sheet, point, code, area);
}

// The net symbols that hang on moving symbols take the selected bit for the time of a move, so
// that the wire stretching sees them move too; the bit is taken off again afterwards.
struct CarriedSymbols {
    std::vector<SymbolRecord*> carried;
    explicit CarriedSymbols(const std::vector<SymbolRecord*>& moving) {
        for (SymbolRecord* s : moving)
            if (!(s->flags & kSymbolFlagSelected)) {
                s->flags |= kSymbolFlagSelected;
                carried.push_back(s);
            }
    }
    ~CarriedSymbols() {
        for (SymbolRecord* s : carried) s->flags &= ~kSymbolFlagSelected;
    }
};

}  // namespace

void TransformPoint(Point* point, Point centre, int32_t code) { TransformPointArray(point, 1, centre, code); }

SymbolRecord* IsShortStraightNetSymbol(SheetRecord* sheet, SymbolRecord* symbol, int32_t mode) {
    if (!sheet || !symbol || !(symbol->flags & kSymbolFlagPort)) return nullptr;
    const bool buss = symbol->flags & kSymbolFlagBussPort;
    LinkListHeader* nets = buss ? sheet->bussList : sheet->signalList;
    // Only a signal holding a pin entry of the symbol can have a wire ending on it: with one such
    // signal at most (the signal list's index says) that one is the first of the list to have it.
    std::vector<SignalHandle> holding;
    const bool one = !buss && SignalsWithSerial(nets, symbol->serial, &holding) && holding.size() <= 1;
    void* onlyNet = one && !holding.empty() ? holding.front() : nullptr;
    if (one && !onlyNet) return nullptr;
    for (void* net = one ? onlyNet : LLFirst(nets); net; net = one ? nullptr : LLGetNext(nets, net)) {
        WireList wires = static_cast<NetRecordHead**>(net)[0]->wires;
        for (WireHandle wire = FirstWire(wires); wire; wire = NextWire(wires, wire)) {
            for (int32_t end = 0; end < 2; ++end) {
                if (GetWireTerminalPin(wire, net, end, sheet->symbolList, nullptr) != symbol) continue;
                // The wire this net symbol hangs on: one straight short segment to another pin.
                if ((*wire)->cornerCount != 2) return nullptr;
                const Point* c = WireCorners(wire);
                const int32_t dv = std::abs(c[1].v - c[0].v), dh = std::abs(c[1].h - c[0].h);
                if ((dv && dh) || dv > kShortNetWireLength || dh > kShortNetWireLength) return nullptr;
                SymbolRecord* other = GetWireTerminalPin(wire, net, 1 - end, sheet->symbolList, nullptr);
                if (!other || other == symbol) return nullptr;
                if (mode == 1 && !(other->flags & kSymbolFlagSelected)) return nullptr;
                return other;
            }
        }
    }
    return nullptr;
}

void MoveSymbolInstance(SheetRecord* sheet, SymbolRecord* symbol, Point point, int32_t code, Rect* area) {
    CollectUndoMoveSheetItem(sheet, kUndoItemSymbol, symbol, point, code);
    AddArea(area, SymbolBoundsWithTexts(sheet, symbol));
    if (code == 0) {
        symbol->position.v = int16_t(symbol->position.v + point.v);
        symbol->position.h = int16_t(symbol->position.h + point.h);
        NoteSheetItemPlaces();
    } else {
        TransformSymbolInstance(symbol, point, code);
    }
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) {
        if ((t->flags & kTextFlagSelected) || !(t->kind & kTextKindSymbolOwned)) continue;
        if (IsTextOwnedBySymbol(t, symbol) <= 0) continue;
        const bool placed = t->kind == kTextKindCompDesignator || t->kind == kTextKindSymbolName ||
                            t->kind == kTextKindDesignator;
        if (code != 0 && placed) {
            CollectUndoSwapSheetItem(sheet, kUndoItemText, t);
            if (!(t->flags & kTextFlagHidden)) AddArea(area, t->bounds);
            t->flags &= uint16_t(~kTextFlagRotation);
            CalcTextBounds(sheet->window, t, sheet->stringBlock);
            AutoPositionSymbolText(sheet, symbol, t, false);
            if (!(t->flags & kTextFlagHidden)) AddArea(area, t->bounds);
        } else {
            MoveTextElement(sheet, t, point, code, area);
        }
    }
    ForEachFrame(sheet, [&](TextFrameHandle f) {
        if (((*f)->flags & kFrameFlagSelected) || !(*f)->owner) return;
        if (IsTextFrameOwnedBySymbol(f, symbol)) MoveTextFrame(sheet, f, point, code, area);
    });
    AddArea(area, SymbolBoundsWithTexts(sheet, symbol));
}

void MoveTextElement(SheetRecord* sheet, TextRecord* text, Point point, int32_t code, Rect* area) {
    CollectUndoMoveSheetItem(sheet, kUndoItemText, text, point, code);
    const bool shown = !(text->flags & kTextFlagHidden);
    if (shown) AddArea(area, text->bounds);
    if (code == 0) OffsetTextElement(text, point.h, point.v);
    else TransformTextElement(text, sheet->window, sheet->stringBlock, point, code);
    if (shown) AddArea(area, text->bounds);
}

void MoveTextFrame(SheetRecord* sheet, TextFrameHandle frame, Point point, int32_t code, Rect* area) {
    CollectUndoMoveSheetItem(sheet, kUndoItemFrame, frame, point, code);
    AddArea(area, (*frame)->bounds, 2);
    if (code == 0) OffsetTextFrame(frame, point.h, point.v);
    else TransformTextFrame(frame, sheet->window, point, code);
    AddArea(area, (*frame)->bounds, 2);
}

void MoveElement(ElementRecord* e, Point point, int32_t code, Rect* area) {
    AddArea(area, e->bounds, 2);
    if (code == 0) {
        OffsetElement(e, point);
    } else {
        switch (e->kind) {
            case kElementLine:
            case kElementArrow:
            case kElementNode: TransformPointArray(&e->points.point1, 2, point, code); break;
            case kElementPoly:
                TransformPointArray(PolyPoints(e), ElementAs<PolyElement>(e)->pointCount, point, code);
                TransformRect(&e->rect, point, code);
                break;
            case kElementArc: {
                auto* arc = ElementAs<ArcElement>(e);
                VXTransformArc(code, &arc->startAngle, arc->arcAngle);
                TransformRect(&e->rect, point, code);
                break;
            }
            default: TransformRect(&e->rect, point, code); break;
        }
        CalcElementBounds(e);
    }
    AddArea(area, e->bounds, 2);
}

void MoveDrawingSelection(SheetRecord* sheet, int32_t dh, int32_t dv) {
    if (!sheet || (dh == 0 && dv == 0)) return;
    const Point offset{int16_t(dv), int16_t(dh)};
    Rect area;
    VXSetEmptyRect(&area);
    StartSheetUndoCollection(sheet, kUndoActionMove);
    const std::vector<SymbolRecord*> moving = MovingSymbols(sheet);
    {
        for (SymbolRecord* s : moving) MoveSymbolInstance(sheet, s, offset, 0, &area);
        for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
            if (t->flags & kTextFlagSelected) MoveTextElement(sheet, t, offset, 0, &area);
        ForEachFrame(sheet, [&](TextFrameHandle f) {
            if ((*f)->flags & kFrameFlagSelected) MoveTextFrame(sheet, f, offset, 0, &area);
        });
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
            if (e->flags & kElementSelected) {
                CollectUndoMoveSheetItem(sheet, kUndoItemElement, e, offset, 0);
                MoveElement(e, offset, 0, &area);
            }
        CarriedSymbols carried(moving);
        MoveAttachedWires(sheet, offset, 0, &area);
    }
    if (sheet->selectionRegion) VXOffsetRgn(sheet->selectionRegion, dh, dv);
    OffsetItemModifiers(sheet, dh, dv);
    if (!VXEmptyRect(&area)) {
        VXInsetRect(&area, -4, -4);
        InvalSheetView(sheet, &area);
        CollectUndoInvalSheetRect(sheet, &area);
    }
    AcceptSheetUndoCollection(sheet);
}

bool CalcTransformationOrigin(const Rect* bounds, int32_t code, const Rect* page, int32_t grid, Point* out) {
    auto snap = [grid](int32_t x) {
        if (grid <= 0) return int16_t(x);
        const int32_t half = grid / 2;
        return int16_t(((x >= 0 ? x + half : x - half) / grid) * grid);
    };
    Point centre{snap((bounds->top + bounds->bottom) / 2), snap((bounds->left + bounds->right) / 2)};
    if ((code & 3) == 0) {
        *out = centre;
        return true;
    }
    Rect turned = *bounds;
    TransformRect(&turned, centre, code);
    if (turned.top >= page->top && turned.left >= page->left && turned.bottom <= page->bottom &&
        turned.right <= page->right) {
        *out = centre;
        return true;
    }
    if (turned.bottom - turned.top > page->bottom || turned.right - turned.left > page->right) {
        VXBeep();
        return false;
    }
    // The shift is half the overshoot, taken up to whole grid steps: the centre stays on the
    // grid, and snapping it to the nearest grid point afterwards cannot undo part of the shift.
    const int32_t step = grid > 0 ? grid : 1;
    auto half = [step](int32_t overshoot) { return ((overshoot + 1) / 2 + step - 1) / step * step; };
    const bool bit1 = code & 2;
    int32_t v = centre.v, h = centre.h;
    if (turned.top < 0) {
        const int32_t x = half(-turned.top);
        v += x;
        h += bit1 ? x : -x;
    } else if (turned.bottom > page->bottom) {
        const int32_t x = half(turned.bottom - page->bottom);
        v -= x;
        h += bit1 ? -x : x;
    }
    if (turned.left < 0) {
        const int32_t x = half(-turned.left);
        h += x;
        v += bit1 ? -x : x;
    } else if (turned.right > page->right) {
        const int32_t x = half(turned.right - page->right);
        h -= x;
        v += bit1 ? x : -x;
    }
    *out = Point{snap(v), snap(h)};
    return true;
}

void TransformDrawingSelection(SheetRecord* sheet, Point centre, int32_t code) {
    if (!sheet) return;
    const std::vector<SymbolRecord*> moving = MovingSymbols(sheet);
    Rect bounds;
    VXSetEmptyRect(&bounds);
    for (SymbolRecord* s : moving) AddArea(&bounds, SymbolBoundsWithTexts(sheet, s));
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
        if (e->flags & kElementSelected) AddArea(&bounds, e->bounds);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
        if (t->flags & kTextFlagSelected) AddArea(&bounds, t->bounds);
    ForEachFrame(sheet, [&](TextFrameHandle f) {
        if ((*f)->flags & kFrameFlagSelected) AddArea(&bounds, (*f)->bounds);
    });
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b)) {
        WireList wires = (*static_cast<BussHandle>(b))->wires;
        for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
            if ((*w)->flags & kWireFlagSelected) AddArea(&bounds, (*w)->bounds);
    }
    if (VXEmptyRect(&bounds)) return;
    if (centre.v == kTransformFindCentre && centre.h == kTransformFindCentre &&
        !CalcTransformationOrigin(&bounds, code, &sheet->sheetBounds, sheet->view.gridSpacing, &centre))
        return;
    if (sheet->selectionRegion) VXSetEmptyRgn(sheet->selectionRegion);
    TransformItemModifiers(sheet, centre, code);
    StartSheetUndoCollection(sheet, kUndoActionTransformation);
    Rect area;
    VXSetEmptyRect(&area);
    {
        for (SymbolRecord* s : moving) {
            MoveSymbolInstance(sheet, s, centre, code, &area);
            Rect r;
            GetSelectedSymbolBounds(sheet, s, &r);
            if (s->flags & kSymbolFlagSelected) SelectionRgnAdd(sheet->selectionRegion, &r);
        }
        for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link)
            if (t->flags & kTextFlagSelected) {
                MoveTextElement(sheet, t, centre, code, &area);
                SelectionRgnAdd(sheet->selectionRegion, &t->bounds);
            }
        ForEachFrame(sheet, [&](TextFrameHandle f) {
            if (!((*f)->flags & kFrameFlagSelected)) return;
            MoveTextFrame(sheet, f, centre, code, &area);
            SelectionRgnAdd(sheet->selectionRegion, &(*f)->bounds);
        });
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
            if (e->flags & kElementSelected) {
                CollectUndoMoveSheetItem(sheet, kUndoItemElement, e, centre, code);
                MoveElement(e, centre, code, &area);
                SelectionRgnAdd(sheet->selectionRegion, &e->bounds);
            }
        CarriedSymbols carried(moving);
        MoveAttachedWires(sheet, centre, code, &area);
    }
    if (!SetupSymbolResize(sheet, nullptr) && !SetupTextFrameResize(sheet, nullptr))
        (void)SetupElementResize(sheet, nullptr);  // the handles of a lone element, if that is the selection
    if (!VXEmptyRect(&area)) {
        VXInsetRect(&area, -4, -4);
        InvalSheetView(sheet, &area);
        CollectUndoInvalSheetRect(sheet, &area);
    }
    AcceptSheetUndoCollection(sheet);
}

}  // namespace plexa
