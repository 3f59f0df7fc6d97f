// Placement geometry of placed symbols, their nodes (pins and sheet-symbol ports), pin hit
// testing and the sub-sheets map; see symbols.h.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/da.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/symbols.h"

namespace plexa {

namespace {

bool IsSheetSymbol(const SymbolRecord* symbol) { return symbol->flags & kSymbolFlagSheet; }
int32_t TransformOf(const SymbolRecord* symbol) { return int32_t(symbol->flags & kSymbolFlagTransform); }

SymbolMap* MapOf(SheetRecord* sheet) { return sheet ? sheet->symbolMap : gClipSymbolMap; }

SymbolMapEntry* EntryOf(SheetRecord* sheet, const SymbolRecord* symbol) {
    return GetSymbolMapEntryPtr(MapOf(sheet), GetSymbolMapId(symbol));
}

Point NodePoint(NodeMap map, int32_t node) {
    Point p{0, 0};
    std::memcpy(&p, map + 2 + 4 * node, sizeof p);
    return p;
}

uint8_t* NodeCode(NodeMap map, int32_t node) {
    return reinterpret_cast<uint8_t*>(map + 2 + 4 * NodeMapCount(map) + node);
}

bool ValidNode(NodeMap map, int32_t node) { return node >= 0 && node < NodeMapCount(map); }

// The placed position of a point given relative to the symbol's origin before its transform.
Point Place(const SymbolRecord* symbol, Point p) {
    if (TransformOf(symbol)) VXTransformPoints(TransformOf(symbol), &p, 1);
    return Point{int16_t(p.v + symbol->position.v), int16_t(p.h + symbol->position.h)};
}

uint16_t PortFlags(const SymbolRecord* symbol, int32_t port) {
    const SymbolHooks& hooks = GetSymbolHooks();
    return hooks.getSheetSymbolPortFlags ? hooks.getSheetSymbolPortFlags(symbol, port) : 0;
}

bool Near(Point a, Point b, int32_t tolerance) {
    return std::abs(a.v - b.v) <= tolerance && std::abs(a.h - b.h) <= tolerance;
}

}  // namespace

int32_t TransformNodeOrient(int32_t code, int32_t transform) {
    if (code == 0) return 0;
    for (int32_t turn = transform & 3; turn > 0; --turn) code = code == 1 ? 4 : code - 1;
    if ((transform & 4) && (code & 1)) code ^= 2;
    return code;
}

void TransformSymbolInstance(SymbolRecord* symbol, Point origin, int32_t transform) {
    if (!symbol) return;
    Point p{int16_t(symbol->position.v - origin.v), int16_t(symbol->position.h - origin.h)};
    VXTransformPoints(transform, &p, 1);
    symbol->position = Point{int16_t(p.v + origin.v), int16_t(p.h + origin.h)};
    const int32_t composed = VXTransformTransformation(TransformOf(symbol), transform & 7);
    symbol->flags = (symbol->flags & ~kSymbolFlagTransform) | (uint32_t(composed) & kSymbolFlagTransform);
    NoteSheetItemPlaces();
}

void GetSymbolInstanceInfo(SheetRecord* sheet, const SymbolRecord* symbol, SymbolMapEntry** entry, Rect* bounds,
                           int32_t which) {
    SymbolMapEntry* found = nullptr;
    Rect r;
    VXSetEmptyRect(&r);
    if (symbol && IsSheetSymbol(symbol)) {
        if (GetSymbolHooks().getSheetSymbolBounds) GetSymbolHooks().getSheetSymbolBounds(symbol, &r, which);
    } else if (symbol && (found = EntryOf(sheet, symbol)) != nullptr && found->definition &&
               found->size >= kSymbolDataHeadSize) {
        SymbolDataHead head;
        std::memcpy(&head, found->definition, sizeof head);
        r = which ? head.all : head.graphics;
    }
    if (symbol && !VXEmptyRect(&r)) {
        if (TransformOf(symbol)) VXTransformGrafRect(TransformOf(symbol), &r);
        VXOffsetRect(&r, symbol->position.h, symbol->position.v);
    } else {
        VXSetEmptyRect(&r);
    }
    if (entry) *entry = found;
    if (bounds) *bounds = r;
}

void GetSymbolInstanceBounds(SheetRecord* sheet, const SymbolRecord* symbol, int32_t which, Rect* bounds) {
    GetSymbolInstanceInfo(sheet, symbol, nullptr, bounds, which);
}

NodeMap GetSymbolNodeMap(SheetRecord* sheet, const SymbolRecord* symbol) {
    if (!symbol || IsSheetSymbol(symbol)) return nullptr;
    SymbolMapEntry* entry = EntryOf(sheet, symbol);
    return entry ? entry->nodeMap : nullptr;
}

int32_t CountSymbolNodes(SheetRecord* sheet, const SymbolRecord* symbol) {
    if (!symbol) return 0;
    if (IsSheetSymbol(symbol)) {
        const SymbolHooks& hooks = GetSymbolHooks();
        return hooks.countSheetSymbolPorts ? hooks.countSheetSymbolPorts(symbol) : 0;
    }
    return NodeMapCount(GetSymbolNodeMap(sheet, symbol));
}

void GetNodeMapPoint(NodeMap map, int32_t node, int32_t transform, Point* point) {
    *point = Point{0, 0};
    if (!ValidNode(map, node)) return;
    *point = NodePoint(map, node);
    if (transform & 7) VXTransformPoints(transform & 7, point, 1);
}

void GetNodeInstancePoint(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node, Point* point) {
    *point = Point{0, 0};
    if (!symbol) return;
    Point p{0, 0};
    if (IsSheetSymbol(symbol)) {
        const SymbolHooks& hooks = GetSymbolHooks();
        if (node < 0 || node >= CountSymbolNodes(sheet, symbol) || !hooks.getSheetSymbolPortPinPos) return;
        hooks.getSheetSymbolPortPinPos(symbol, node, &p);
    } else {
        NodeMap map = GetSymbolNodeMap(sheet, symbol);
        if (!ValidNode(map, node)) return;
        p = NodePoint(map, node);
    }
    *point = Place(symbol, p);
}

void GetNodeInstanceTailPos(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node, Point* point) {
    *point = Point{0, 0};
    if (!symbol) return;
    if (IsSheetSymbol(symbol)) {
        GetNodeInstancePoint(sheet, symbol, node, point);
        return;
    }
    SymbolMapEntry* entry = EntryOf(sheet, symbol);
    if (!entry || !ValidNode(entry->nodeMap, node)) return;
    Point tail{0, 0};
    if (ExtractSymbolNodeTailPosition(entry->definition, entry->size, {0, 0}, node, &tail) != status::kNoErr) return;
    *point = Place(symbol, tail);
}

uint8_t GetNodeMapOrientWidth(NodeMap map, int32_t node, int32_t transform) {
    if (!ValidNode(map, node)) return 0;
    const uint8_t code = *NodeCode(map, node);
    return uint8_t(TransformNodeOrient(code & 0x7F, transform) | (code & 0x80));
}

void SetNodeMapOrient(NodeMap map, int32_t node, uint8_t code) {
    if (ValidNode(map, node)) *NodeCode(map, node) = code;
}

int32_t GetSheetSymbolPortOrient(const SymbolRecord* symbol, int32_t port) {
    if (!symbol) return 0;
    return TransformNodeOrient((PortFlags(symbol, port) & 2) ? 1 : 3, TransformOf(symbol));
}

int32_t GetSheetSymbolPortWidth(const SymbolRecord* symbol, int32_t port) {
    return symbol ? 1 + (PortFlags(symbol, port) & 1) : 1;
}

int32_t GetNodeInstanceOrient(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node) {
    if (!symbol) return 0;
    if (IsSheetSymbol(symbol)) return GetSheetSymbolPortOrient(symbol, node);
    return GetNodeMapOrientWidth(GetSymbolNodeMap(sheet, symbol), node, TransformOf(symbol)) & 0x7F;
}

int32_t GetNodeInstanceWidth(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node) {
    if (!symbol) return 1;
    if (IsSheetSymbol(symbol)) return GetSheetSymbolPortWidth(symbol, node);
    NodeMap map = GetSymbolNodeMap(sheet, symbol);
    return ValidNode(map, node) && (*NodeCode(map, node) & 0x80) ? 2 : 1;
}

// ---- Hit testing ----

int32_t HitTestNodeMap(NodeMap map, Point* point, int32_t tolerance) {
    const int32_t count = NodeMapCount(map);
    for (int32_t n = 0; n < count; ++n) {
        const Point p = NodePoint(map, n);
        if (Near(p, *point, tolerance)) {
            *point = p;
            return n;
        }
    }
    return -1;
}

int32_t HitTestPortPins(const SymbolRecord* symbol, Point* point, int32_t tolerance) {
    const SymbolHooks& hooks = GetSymbolHooks();
    if (!symbol || !hooks.countSheetSymbolPorts || !hooks.getSheetSymbolPortPinPos) return -1;
    const int32_t count = hooks.countSheetSymbolPorts(symbol);
    for (int32_t n = 0; n < count; ++n) {
        Point p{0, 0};
        hooks.getSheetSymbolPortPinPos(symbol, n, &p);
        if (Near(p, *point, tolerance)) {
            *point = p;
            return n;
        }
    }
    return -1;
}

int32_t HitTestSymbolPin(SheetRecord* sheet, const SymbolRecord* symbol, Point* point, int32_t tolerance) {
    if (!symbol || !point) return -1;
    Point relative{int16_t(point->v - symbol->position.v), int16_t(point->h - symbol->position.h)};
    if (TransformOf(symbol)) VXTransformPoints(VXInverseTransformation(TransformOf(symbol)), &relative, 1);
    const int32_t node = IsSheetSymbol(symbol) ? HitTestPortPins(symbol, &relative, tolerance)
                                               : HitTestNodeMap(GetSymbolNodeMap(sheet, symbol), &relative, tolerance);
    if (node >= 0 && tolerance != 0) *point = Place(symbol, relative);
    return node;
}

int32_t HitTestPins(SheetRecord* sheet, Point* point, int32_t tolerance, SymbolRecord** symbol) {
    if (symbol) *symbol = nullptr;
    if (!sheet || !point) return -1;
    const int16_t grow = int16_t(-(tolerance + 1));
    // The symbols near the point, in list order: the first whose pin is hit wins, as in a walk.
    thread_local std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kSymbol, SheetReachArea(*point, tolerance + 2), &near);
    for (void* item : near) {
        auto* s = static_cast<SymbolRecord*>(item);
        if (!s->component && !(s->flags & (kSymbolFlagPort | kSymbolFlagSheet))) continue;
        Rect bounds;
        GetSymbolInstanceBounds(sheet, s, 1, &bounds);
        if (VXEmptyRect(&bounds)) continue;
        VXInsetRect(&bounds, grow, grow);
        if (!VXPtInRect(*point, &bounds)) continue;
        const int32_t node = HitTestSymbolPin(sheet, s, point, tolerance);
        if (node >= 0) {
            if (symbol) *symbol = s;
            return node;
        }
    }
    return -1;
}

// ---- Ranks and the sub-sheets map ----

int32_t GetSymbolLocationRank(SheetRecord* sheet, const SymbolRecord* symbol) {
    Rect bounds;
    GetSymbolInstanceBounds(sheet, symbol, 0, &bounds);
    return (int32_t(bounds.top) >> 5) * 256 + (int32_t(bounds.left) / 18) % 256;
}

DAHeader** BuildSubSheetsMap(SheetRecord* sheet) {
    if (!sheet) return nullptr;
    // Packed and ordered by the leading key; equal keys stay in symbol-list order.
    DAHeader** map = DACreate(gGenPool, sizeof(SubSheetsMapItem), 0, kDAPacked | kDASorted);
    if (!map) return nullptr;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        if (!(s->flags & (kSymbolFlagSheet | kSymbolFlagSubSheet))) continue;
        if (!GetSymbolSheetName(s, sheet->stringBlock, nullptr)) continue;
        const SubSheetsMapItem item{uint32_t(GetSymbolLocationRank(sheet, s)), s};
        if (DAAdd(map, &item) < 0) {
            DADispose(map);
            return nullptr;
        }
    }
    return map;
}

}  // namespace plexa
