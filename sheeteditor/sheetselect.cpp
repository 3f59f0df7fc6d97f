// Selection queries, the selection region, hit tests and the item modifiers (handles) of a sheet.
#include "sheeteditor/sheetselect.h"

#include <cstring>
#include <type_traits>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/hittest.h"
#include "graphics/regions.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/sheetselected.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/symbolimage.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

using ModifierStore = std::vector<ItemModifier>;

ModifierStore* Store(const SheetRecord* sheet) { return static_cast<ModifierStore*>(sheet->modifiers); }

void Grow(Rect* r, int16_t by) { VXInsetRect(r, int16_t(-by), int16_t(-by)); }

void AddBounds(Rect* into, const Rect& r) {
    if (VXEmptyRect(&r)) return;
    if (VXEmptyRect(into)) *into = r;
    else VXUnionRect(into, &r, into);
}

void FrameHandles(SheetRecord* sheet, const Rect& r) {
    SetupModifier(sheet, kModTopLeft, r.left, r.top);
    SetupModifier(sheet, kModTopRight, r.right, r.top);
    SetupModifier(sheet, kModBottomLeft, r.left, r.bottom);
    SetupModifier(sheet, kModBottomRight, r.right, r.bottom);
    if (r.right - r.left >= kModMiddleMinimum) {
        const int32_t h = r.left + (r.right - r.left) / 2;
        SetupModifier(sheet, kModTop, h, r.top);
        SetupModifier(sheet, kModBottom, h, r.bottom);
    }
    if (r.bottom - r.top >= kModMiddleMinimum) {
        const int32_t v = r.top + (r.bottom - r.top) / 2;
        SetupModifier(sheet, kModLeft, r.left, v);
        SetupModifier(sheet, kModRight, r.right, v);
    }
}

// The box of a handle of box size s.
Rect ModifierBox(const ItemModifier& m, int32_t s) {
    const int32_t half = s / 2;
    return Rect{int16_t(m.v - half), int16_t(m.h - half), int16_t(m.v - half + s), int16_t(m.h - half + s)};
}

// Whether the point lies in the rectangle, bottom and right edges included.
bool Contains(const Rect& r, Point p) {
    return p.v >= r.top && p.v <= r.bottom && p.h >= r.left && p.h <= r.right;
}

bool Inside(const Rect& r, Point p) { return p.v >= r.top && p.v < r.bottom && p.h >= r.left && p.h < r.right; }

// What is selected, counted by kind, with the single item of each kind.
struct SelectionCounts {
    SymbolRecord* symbol;
    TextRecord* text;
    TextFrameHandle frame;
    ElementRecord* element;
    int32_t symbols, texts, frames, elements;
};

SelectionCounts Summarize(SheetRecord* sheet) {
    SelectionCounts m;
    GetSheetSelection(sheet, &m.symbol, &m.symbols, &m.text, &m.texts, &m.frame, &m.frames, &m.element,
                      &m.elements);
    return m;
}

}  // namespace

Rect ElementFrame(const ElementRecord* e) {
    if (e->kind == kElementArc) {
        Rect r;
        GetMinimumArcBounds(e, &r);
        return r;
    }
    return e->rect;
}

bool IsElementModifierId(int32_t id) { return id < kModTextFrameSize || id > kModSheetSymbolSize; }

// ---- Selection queries ----

void GetSheetSelection(SheetRecord* sheet, SymbolRecord** symbol, int32_t* symbolCount,
                       TextRecord** text, int32_t* textCount, TextFrameHandle* frame,
                       int32_t* frameCount, ElementRecord** element, int32_t* elementCount) {
    std::vector<void*> items;
    // The count of the kind's selected items, and the item when it is the only one.
    const auto take = [&](SheetItemKind kind, auto** only, int32_t* count) {
        if (!only || !count) return;
        SheetSelectedItemsOf(sheet, kind, &items);
        *count = int32_t(items.size());
        *only = items.size() == 1 ? static_cast<std::remove_pointer_t<decltype(only)>>(items[0]) : nullptr;
    };
    take(SheetItemKind::kSymbol, symbol, symbolCount);
    take(SheetItemKind::kText, text, textCount);
    take(SheetItemKind::kTextFrame, frame, frameCount);
    take(SheetItemKind::kElement, element, elementCount);
}

void ClearSignalTerminalSelections(SheetRecord* sheet) {
    std::vector<void*> signals;
    SheetSelectedItemsOf(sheet, SheetItemKind::kSignal, &signals);
    for (void* item : signals) {
        auto s = static_cast<SignalHandle>(item);
        SignalPinEntry* pins = SignalPins(s);
        for (int32_t i = 0; i < (*s)->pinCount; ++i) pins[i].flags &= uint8_t(~kPinEntrySelected);
    }
}

void ClearBussTerminalSelections(SheetRecord* sheet) {
    std::vector<void*> busses;
    SheetSelectedItemsOf(sheet, SheetItemKind::kBuss, &busses);
    for (void* item : busses) {
        auto b = static_cast<BussHandle>(item);
        BussTerminal* terminals = BussTerminals(b);
        for (int32_t i = 0; i < (*b)->terminalCount; ++i) terminals[i].flags &= uint8_t(~0x01);
    }
}

void ClearDrawingSelection(SheetRecord* sheet) {
    if (!sheet) return;
    Rect area;
    VXSetEmptyRect(&area);
    const bool window = sheet->window != nullptr;
    if (window) CalcSheetHiliteBounds(sheet, &area);
    std::vector<void*> items;
    SheetSelectedItemsOf(sheet, SheetItemKind::kSymbol, &items);
    for (void* s : items) static_cast<SymbolRecord*>(s)->flags &= ~kSymbolFlagSelected;
    SheetSelectedItemsOf(sheet, SheetItemKind::kText, &items);
    for (void* t : items) static_cast<TextRecord*>(t)->flags &= uint16_t(~kTextFlagSelected);
    SheetSelectedItemsOf(sheet, SheetItemKind::kTextFrame, &items);
    for (void* f : items) (*static_cast<TextFrameHandle>(f))->flags &= uint16_t(~kFrameFlagSelected);
    SheetSelectedItemsOf(sheet, SheetItemKind::kElement, &items);
    for (void* e : items) static_cast<ElementRecord*>(e)->flags &= uint16_t(~kElementSelected);
    if (sheet->selectionRegion) VXSetEmptyRgn(sheet->selectionRegion);
    ClearSignalHilite(sheet, window ? &area : nullptr);
    ClearBussHilite(sheet, window ? &area : nullptr);
    ClearSignalTerminalSelections(sheet);
    ClearBussTerminalSelections(sheet);
    for (int32_t kind = 0; kind < kSheetItemKinds; ++kind) ForgetSheetSelectedItems(sheet, SheetItemKind(kind));
    ClearSheetModifiers(sheet);
    if (window && !VXEmptyRect(&area)) InvalSheetView(sheet, &area);
}

void GetSelectedSymbolBounds(SheetRecord* sheet, const SymbolRecord* symbol, Rect* bounds) {
    GetSymbolInstanceBounds(sheet, symbol, 0, bounds);
}

void CalcSheetSelection(SheetRecord* sheet, Rect* rect) {
    ClearSheetModifiers(sheet);
    sheet->selectedElement = nullptr;
    if (rect) VXSetEmptyRect(rect);
    if (GetSelectedBussLine(sheet, nullptr) || GetSelectedSignalWire(sheet, nullptr)) return;
    const SelectionCounts m = Summarize(sheet);
    SymbolRecord* symbol = m.symbol;
    TextFrameHandle frame = m.frame;
    ElementRecord* element = m.element;
    const int32_t symbols = m.symbols, texts = m.texts, frames = m.frames, elements = m.elements;
    Rect r;
    VXSetEmptyRect(&r);
    if (symbols == 1 && texts + frames + elements == 0 && (symbol->flags & kSymbolFlagSheet)) {
        SheetEditStateOf(sheet)->resizeSheetSymbol = symbol;
        Point corner;
        GetSheetSymbolSizePoint(symbol, &corner);
        SetupModifier(sheet, kModSheetSymbolSize, corner.h, corner.v);
        GetSymbolInstanceBounds(sheet, symbol, 0, &r);
    } else if (frames == 1 && symbols + texts + elements == 0) {
        SheetEditStateOf(sheet)->resizeFrame = frame;
        Point corner;
        GetTextFrameSizePoint(frame, &corner);
        SetupModifier(sheet, kModTextFrameSize, corner.h, corner.v);
        r = (*frame)->bounds;
    } else if (elements == 1 && symbols + texts + frames == 0) {
        sheet->selectedElement = element;
        CalcSheetElementModifiers(sheet, element);
        r = element->bounds;
    } else {
        return;
    }
    if (rect) {
        Grow(&r, 4);
        *rect = r;
    }
}

int32_t SetupSymbolResize(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!symbol) {
        const SelectionCounts m = Summarize(sheet);
        if (m.texts + m.frames + m.elements || m.symbols != 1 || !(m.symbol->flags & kSymbolFlagSheet)) return 0;
        if (GetSelectedBussLine(sheet, nullptr) || GetSelectedSignalWire(sheet, nullptr)) return 0;
        symbol = m.symbol;
    }
    if (!(symbol->flags & kSymbolFlagSheet)) return 0;
    ClearSheetModifiers(sheet);
    Point corner;
    GetSheetSymbolSizePoint(symbol, &corner);
    SetupModifier(sheet, kModSheetSymbolSize, corner.h, corner.v);
    SheetEditStateOf(sheet)->resizeSheetSymbol = symbol;
    return 1;
}

int32_t SetupTextFrameResize(SheetRecord* sheet, TextFrameHandle frame) {
    if (!frame) {
        const SelectionCounts m = Summarize(sheet);
        if (m.symbols + m.texts + m.elements || m.frames != 1) return 0;
        frame = m.frame;
    }
    ClearSheetModifiers(sheet);
    Point corner;
    GetTextFrameSizePoint(frame, &corner);
    SetupModifier(sheet, kModTextFrameSize, corner.h, corner.v);
    SheetEditStateOf(sheet)->resizeFrame = frame;
    return 1;
}

int32_t SetupElementResize(SheetRecord* sheet, ElementRecord* element) {
    if (!element) {
        const SelectionCounts m = Summarize(sheet);
        if (m.symbols + m.texts + m.frames) return 0;
        element = m.element;
        if (!element) {
            sheet->selectedElement = nullptr;
            ClearSheetModifiers(sheet);
            return 0;
        }
    }
    sheet->selectedElement = element;
    CalcSheetElementModifiers(sheet, element);
    return 1;
}

// ---- The selection region ----

void SelectionRgnAdd(VXRgn* region, const Rect* rect) {
    if (!region || VXEmptyRect(rect)) return;
    const LRect r{rect->top, rect->left, rect->bottom, rect->right};
    VXAddRectToRgn(region, &r);
}

void SelectionRgnRemove(VXRgn* region, const Rect* rect) {
    if (!region || VXEmptyRect(rect)) return;
    const LRect r{rect->top, rect->left, rect->bottom, rect->right};
    VXSubtractRectFromRgn(region, &r);
}

namespace {

template <class F>
void EnumSelectedBounds(SheetRecord* sheet, F&& f) {
    std::vector<void*> items;
    SheetSelectedItemsOf(sheet, SheetItemKind::kSymbol, &items);
    for (void* s : items) {
        Rect r;
        GetSelectedSymbolBounds(sheet, static_cast<SymbolRecord*>(s), &r);
        f(r);
    }
    SheetSelectedItemsOf(sheet, SheetItemKind::kElement, &items);
    for (void* e : items) f(static_cast<ElementRecord*>(e)->bounds);
    SheetSelectedItemsOf(sheet, SheetItemKind::kText, &items);
    for (void* t : items) f(static_cast<TextRecord*>(t)->bounds);
    SheetSelectedItemsOf(sheet, SheetItemKind::kTextFrame, &items);
    for (void* fr : items) f((*static_cast<TextFrameHandle>(fr))->bounds);
}

// Every selected item's bounds, in the order symbols, elements, texts, frames.
}  // namespace

void EnumSheetSelectionRects(SheetRecord* sheet, SelectionRectProc proc, void* data) {
    EnumSelectedBounds(sheet, [&](const Rect& r) { proc(sheet, &r, data); });
}

int32_t CalcSheetHiliteBounds(SheetRecord* sheet, Rect* rect) {
    VXSetEmptyRect(rect);
    bool any = false;
    EnumSelectedBounds(sheet, [&](const Rect& r) {
        any = true;
        AddBounds(rect, r);
    });
    return any ? 1 : 0;
}

void BuildDrawingSelectRgn(SheetRecord* sheet) {
    if (!sheet->selectionRegion) return;
    VXSetEmptyRgn(sheet->selectionRegion);
    // The bounds joined in one sweep rather than one by one.
    std::vector<LRect> rects;
    EnumSelectedBounds(sheet, [&](const Rect& r) {
        if (!VXEmptyRect(&r)) rects.push_back(LRect{r.top, r.left, r.bottom, r.right});
    });
    VXAddRectsToRgn(sheet->selectionRegion, rects.data(), rects.size());
}

// ---- Handles ----

void SetupModifier(SheetRecord* sheet, int32_t id, int32_t h, int32_t v) {
    if (!sheet->modifiers) sheet->modifiers = new ModifierStore();
    Store(sheet)->push_back(ItemModifier{int16_t(v), int16_t(h), uint16_t(id)});
    sheet->modifierCount = int32_t(Store(sheet)->size());
}

void ClearSheetModifiers(SheetRecord* sheet) {
    if (!sheet) return;
    delete Store(sheet);
    sheet->modifiers = nullptr;
    sheet->modifierCount = 0;
    // The items the resize handles name go with the handles (of this sheet only).
    if (SheetEditState* state = sheet->editState) {
        state->resizeFrame = nullptr;
        state->resizeSheetSymbol = nullptr;
    }
}

int32_t CountSheetModifiers(const SheetRecord* sheet) { return sheet->modifiers ? sheet->modifierCount : 0; }

const ItemModifier* SheetModifiers(const SheetRecord* sheet) {
    return sheet->modifiers ? Store(sheet)->data() : nullptr;
}

void CalcSheetElementModifiers(SheetRecord* sheet, ElementRecord* e) {
    ClearSheetModifiers(sheet);
    if (!e) return;
    const bool reshape = e->flags & 0x0002;
    switch (e->kind) {
        case kElementLine:
            SetupModifier(sheet, kModLineStart, e->points.point1.h, e->points.point1.v);
            SetupModifier(sheet, kModLineEnd, e->points.point2.h, e->points.point2.v);
            break;
        case kElementArrow:
            if (!reshape) {
                SetupModifier(sheet, kModLineStart, e->points.point1.h, e->points.point1.v);
                SetupModifier(sheet, kModLineEnd, e->points.point2.h, e->points.point2.v);
            } else {
                const auto* arrow = ElementAs<ArrowElement>(e);
                const int32_t angle = CalcLineAngle(e->points.point2, e->points.point1) + arrow->headAngle;
                Point barb;
                GetRadiusPoint(e->points.point2, arrow->headLength, arrow->headLength, angle, &barb);
                SetupModifier(sheet, kModArrowBarb, barb.h, barb.v);
            }
            break;
        case kElementRoundRect:
            if (reshape) {
                const auto* rr = ElementAs<RoundRectElement>(e);
                SetupModifier(sheet, kModRoundCorner, e->rect.left + rr->ovalWidth / 2,
                              e->rect.top + rr->ovalHeight / 2);
            } else {
                FrameHandles(sheet, e->rect);
            }
            break;
        case kElementArc:
            if (reshape) {
                const auto* arc = ElementAs<ArcElement>(e);
                const Rect& r = e->rect;
                const Point centre{int16_t(r.top + (r.bottom - r.top) / 2), int16_t(r.left + (r.right - r.left) / 2)};
                const auto hr = int16_t((r.right - r.left) / 2), vr = int16_t((r.bottom - r.top) / 2);
                Point p;
                GetRadiusPoint(centre, hr, vr, arc->startAngle, &p);
                SetupModifier(sheet, kModArcStart, p.h, p.v);
                GetRadiusPoint(centre, hr, vr, (arc->startAngle + arc->arcAngle) % 360, &p);
                SetupModifier(sheet, kModArcEnd, p.h, p.v);
            } else {
                FrameHandles(sheet, ElementFrame(e));
            }
            break;
        case kElementPoly:
            if (reshape) {
                int32_t count = ElementAs<PolyElement>(e)->pointCount;
                if (count > 0 && IsPolyClosed(e)) --count;
                const Point* points = PolyPoints(e);
                for (int32_t n = 0; n < count; ++n) SetupModifier(sheet, kModPolyVertex + n, points[n].h, points[n].v);
            } else {
                FrameHandles(sheet, e->rect);
            }
            break;
        case kElementRect:
        case kElementOval:
        case kElementImage:
            FrameHandles(sheet, e->rect);
            break;
        default:  // pins have no handles
            break;
    }
}

void CalcBusLineModifiers(SheetRecord* sheet, WireHandle wire) {
    static constexpr int8_t kMove[8][2] = {{-2, -1}, {-1, 0}, {-1, 1}, {0, 0},
                                           {1, -1}, {0, -1}, {-1, -2}, {-1, -1}};
    ClearSheetModifiers(sheet);
    if (!wire || (*wire)->cornerCount < 2) return;
    const int32_t last = (*wire)->cornerCount - 1;
    for (int32_t end = 0; end < 2; ++end) {
        if (!IsWireEndFree(end == 0 ? (*wire)->end0 : (*wire)->end1)) continue;
        Point corner;
        GetWireCorner(wire, end == 0 ? 0 : last, &corner);
        const int32_t o = GetWireSegOrient(wire, end == 0 ? 0 : last - 1, end != 0) & 7;
        SetupModifier(sheet, end == 0 ? kModBussEnd0 : kModBussEnd1, corner.h + kMove[o][1], corner.v + kMove[o][0]);
    }
}

void OffsetItemModifiers(SheetRecord* sheet, int32_t dh, int32_t dv) {
    if (!sheet->modifiers) return;
    for (ItemModifier& m : *Store(sheet)) {
        m.h = int16_t(m.h + dh);
        m.v = int16_t(m.v + dv);
    }
}

void TransformItemModifiers(SheetRecord* sheet, Point origin, int32_t code) {
    if (!sheet->modifiers) return;
    for (ItemModifier& m : *Store(sheet)) {
        int32_t t = code;
        if (m.id == kModTextFrameSize) {
            t = code & 3;
            if (!t) continue;
        }
        Point p{m.v, m.h};
        TransformPointArray(&p, 1, origin, t);
        m.v = p.v;
        m.h = p.h;
    }
}

int32_t SheetModifierBoxSize(const SheetRecord* sheet) {
    if (!sheet->window) return 7;
    return CalcModiferBoxSize(&sheet->window->graf.geometry);
}

void InvalPaintItemModifiers(SheetRecord* sheet, int32_t paint) {
    const int32_t s = SheetModifierBoxSize(sheet);
    if (!s || !sheet->modifiers || !sheet->window) return;
    if (paint) QZSetColor(nullptr, kModifierColor, false);
    for (const ItemModifier& m : *Store(sheet)) {
        Rect box = ModifierBox(m, s);
        if (paint) {
            VXRectDispatch(&box, 1);
        } else {
            Grow(&box, 1);
            InvalSheetView(sheet, &box);
        }
    }
    if (paint) QZSetColor(nullptr, kVXDefaultForeColor, false);
}

int32_t HitTestItemModifiers(SheetRecord* sheet, Point point) {
    const int32_t s = SheetModifierBoxSize(sheet);
    if (!s || !sheet->modifiers) return -1;
    for (const ItemModifier& m : *Store(sheet)) {
        Rect box = ModifierBox(m, s);
        if (s >= 3) {
            Grow(&box, 1);
        } else {
            ++box.bottom;
            ++box.right;
        }
        if (Inside(box, point)) return m.id;
    }
    return -1;
}

// ---- Hit tests ----

SymbolRecord* HitTestSymbol(SheetRecord* sheet, Point point, int32_t tolerance) {
    // A symbol is hit inside its box grown by 2; one whose drawing leaves a corner of the box
    // empty only where its drawing lies near the point or around it. The symbols near the point
    // come in list order, so the first hit is the walk's.
    std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kSymbol, SheetReachArea(point, 3), &near);
    for (void* item : near) {
        auto* s = static_cast<SymbolRecord*>(item);
        Rect box;
        GetSymbolInstanceInfo(sheet, s, nullptr, &box, 0);
        if (VXEmptyRect(&box)) continue;
        Rect grown = box;
        Grow(&grown, 2);
        if (!Inside(grown, point)) continue;
        if (HitTestSymbolDrawing(sheet, s, box, point, tolerance) != SymbolDrawingHit::kMiss) return s;
    }
    return nullptr;
}

int32_t HitTestSheetSymbolPort(const SymbolRecord* symbol, Point point) {
    if (!symbol || !(symbol->flags & kSymbolFlagSheet)) return -1;
    const int32_t count = CountSheetSymbolPorts(symbol);
    for (int32_t port = 0; port < count; ++port) {
        Point poly[7];
        const int32_t n = BuildSheetSymbolPortPoly(symbol, port, poly);
        if (n <= 0) continue;
        Rect r{poly[0].v, poly[0].h, poly[0].v, poly[0].h};
        for (int32_t i = 1; i < n; ++i) {
            if (poly[i].v < r.top) r.top = poly[i].v;
            if (poly[i].v > r.bottom) r.bottom = poly[i].v;
            if (poly[i].h < r.left) r.left = poly[i].h;
            if (poly[i].h > r.right) r.right = poly[i].h;
        }
        if (Contains(r, point)) return port;
    }
    return -1;
}

namespace {
template <class Texts>
TextRecord* FirstTextAt(const Texts& texts, Point point) {
    for (int16_t grow : {-1, 0, 1}) {
        for (TextRecord* t : texts) {
            if (t->flags & kTextFlagHidden) continue;
            Rect r = t->bounds;
            Grow(&r, grow);
            if (Inside(r, point)) return t;
        }
    }
    return nullptr;
}
}  // namespace

TextRecord* HitTestText(LinkListHeader* textList, Point point) {
    std::vector<TextRecord*> texts;
    for (auto* t = static_cast<TextRecord*>(LLFirst(textList)); t; t = t->link) texts.push_back(t);
    return FirstTextAt(texts, point);
}

TextRecord* HitTestText(SheetRecord* sheet, Point point) {
    std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kText, SheetReachArea(point, 2), &near);
    std::vector<TextRecord*> texts;
    texts.reserve(near.size());
    for (void* item : near) texts.push_back(static_cast<TextRecord*>(item));
    return FirstTextAt(texts, point);
}

namespace {
// The flag words saved by the pixel hit tests in progress.
std::vector<uint32_t> gSavedGenFlags;
}  // namespace

bool SchStartPixelHitTest(SheetRecord* sheet, Point point) {
    gSavedGenFlags.push_back(gGenFlags);
    gGenFlags &= ~kGenColorDrawing;
    VXGrafState* before = VXGetCurrentGrafState();
    StartPixelHitTestEx(sheet && sheet->window ? &sheet->window->graf : nullptr, _LPNT{point.v, point.h});
    // A running test makes its own off-screen window current.
    return VXGetCurrentGrafState() != before;
}

void SchStopPixelHitTest() {
    StopPixelHitTest();
    if (gSavedGenFlags.empty()) return;
    gGenFlags = gSavedGenFlags.back();
    gSavedGenFlags.pop_back();
}

TextFrameHandle HitTestTextFrame(SheetRecord* sheet, Point point) {
    TextFrameHandle hit = nullptr;
    bool testing = false, pixels = false;
    std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kTextFrame, SheetReachArea(point, 1), &near);
    for (void* item : near) {
        if (hit) break;
        auto frame = static_cast<TextFrameHandle>(item);
        if (!Inside((*frame)->bounds, point)) continue;
        if ((*frame)->lineCount < 2 || !sheet->window) {
            hit = frame;
            break;
        }
        if (!testing) {
            pixels = SchStartPixelHitTest(sheet, point);
            testing = true;
        } else {
            ResetPixelHitTest();
        }
        // Without a pixel test (no off-screen image could be made) the bounds decide.
        if (!pixels) {
            hit = frame;
            break;
        }
        DrawTextFrame(frame, true);
        if (HitTestPixels(7, 7)) hit = frame;
    }
    if (testing) SchStopPixelHitTest();
    return hit;
}

TextRecord* GetSheetPinText(SheetRecord* sheet, const SymbolRecord* symbol, int32_t pin,
                            uint16_t kindBits, char* string) {
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) {
        if (t->owner != TextOwnerSerial(symbol->serial)) continue;
        if ((t->kind & 0xC000) != kindBits || (t->kind & kTextKindNodeMask) != pin) continue;
        if (string) {
            GetTextRecordString(t, sheet->stringBlock, string, kTextStringSize);
            size_t start = 0, end = std::strlen(string);
            while (start < end && string[start] == ' ') ++start;
            while (end > start && string[end - 1] == ' ') --end;
            std::memmove(string, string + start, end - start);
            string[end - start] = 0;
        }
        return t;
    }
    return nullptr;
}

}  // namespace plexa
