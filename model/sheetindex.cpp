// The spatial index of a sheet's items; see sheetindex.h.
#include "model/sheetindex.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <unordered_map>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"

namespace plexa {

namespace {

uint32_t gPlaceClock = 1;

// The nets reported changed by identity, in order; entry k of the program's run is
// gNetLog[k - gNetLogBase]. Each grid reads on from where it read last. The log is cut when it
// grows long, and the clock moves then, so a grid that had not read it all rebuilds.
std::vector<const void*> gNetLog;
uint64_t gNetLogBase = 0;
constexpr size_t kNetLogLimit = size_t(1) << 14;
uint64_t NetLogEnd() { return gNetLogBase + gNetLog.size(); }

void LogNet(const void* net) {
    if (gNetLog.size() >= kNetLogLimit) {
        gNetLogBase += gNetLog.size();
        gNetLog.clear();
        ++gPlaceClock;
    }
    gNetLog.push_back(net);
}

// Questions asked of any index so far: a scope reports its net again after one was asked.
uint64_t gQuestions = 1;
SheetNetScope* gInnermostScope = nullptr;

// A cell is 128 sheet units square.
constexpr int32_t kCellShift = 7;
// Bounds are indexed grown by this much: every question's own test grows them by less.
constexpr int32_t kMargin = 8;
// An item over more cells than this is kept aside and offered to every question.
constexpr int64_t kWideCells = 64;

// A box on the plane of sheet coordinates, both edges included. Boxes are cut to the plane:
// every question asks about an area on it, and a box cut there meets it where the whole would.
struct Box {
    int16_t top, left, bottom, right;
};

bool Meet(const Box& a, const Box& b) {
    return a.top <= b.bottom && b.top <= a.bottom && a.left <= b.right && b.left <= a.right;
}

int16_t OnPlane(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

// The bounds as a box grown by the margin. An empty rectangle (bottom above top, or right left of
// left) still covers the span between its edges: a test that grows it, or asks whether it lies
// within an area, may find it anywhere there.
Box BoxOf(const Rect& r) {
    const int32_t top = std::min(r.top, r.bottom), bottom = std::max(r.top, r.bottom);
    const int32_t left = std::min(r.left, r.right), right = std::max(r.left, r.right);
    return Box{OnPlane(top - kMargin), OnPlane(left - kMargin), OnPlane(bottom + kMargin), OnPlane(right + kMargin)};
}

Box Unite(const Box& a, const Box& b) {
    return Box{std::min(a.top, b.top), std::min(a.left, b.left), std::max(a.bottom, b.bottom),
               std::max(a.right, b.right)};
}

// The whole plane: an item offered to every question.
constexpr Box kEverywhere{INT16_MIN, INT16_MIN, INT16_MAX, INT16_MAX};
bool IsEverywhere(const Box& b) {
    return b.top == INT16_MIN && b.left == INT16_MIN && b.bottom == INT16_MAX && b.right == INT16_MAX;
}

struct Grid {
    // Where the grid stands: the list, its version and the clock it was built at, and how far it
    // has read the log of changed nets.
    LinkListHeader* list = nullptr;
    uint32_t version = 0;
    uint32_t clock = 0;
    uint64_t netLogRead = 0;
    // The items in list order, with their boxes.
    std::vector<void*> items;
    std::vector<Box> boxes;
    // Cells in rows: cell (cx, cy) holds the ordinals cellItems[cellStart[i] .. cellStart[i + 1]),
    // i = (cy - y0) * columns + (cx - x0), ascending.
    int32_t x0 = 0, y0 = 0, columns = 0, rows = 0;
    std::vector<uint32_t> cellStart;
    std::vector<uint32_t> cellItems;
    std::vector<uint32_t> wide;  // ordinals offered to every question, ascending
    // One bit per item for a question, all clear between questions.
    std::vector<uint64_t> marks;
    // Items placed again since the build. Their boxes are current; the cells still name them where
    // they were (a question tests the box, so that only costs a test). `extra` adds them to the
    // cells they meet now; those beyond the grid, or over too many cells, are `loose` and offered
    // to every question, like the wide ones.
    std::unordered_map<const void*, uint32_t> ordinalOf;  // made when first needed
    std::unordered_map<uint32_t, std::vector<uint32_t>> extra;
    size_t extraEntries = 0;
    std::vector<uint32_t> loose;

    bool InStep(LinkListHeader* l) const { return l && list == l && version == l->version && clock == gPlaceClock; }

    void Clear() {
        items.clear();
        boxes.clear();
        cellStart.clear();
        cellItems.clear();
        wide.clear();
        marks.clear();
        ordinalOf.clear();
        extra.clear();
        extraEntries = 0;
        loose.clear();
        columns = rows = 0;
    }

    // The items' ordinals by identity, made on the first need after a build.
    void MakeOrdinals() {
        if (!ordinalOf.empty() || items.empty()) return;
        ordinalOf.reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i) ordinalOf.emplace(items[i], uint32_t(i));
    }

    void Build();
    // Reads the nets changed since the last read and places again those of this grid. False when
    // the grid must be rebuilt instead (the log was cut, or too much lies beside the cells).
    bool CatchUp(SheetRecord* sheet, SheetItemKind kind);
    void Place(uint32_t i);
    void Query(const Box& area, std::vector<void*>* out);
};

void Grid::Build() {
    const Box none{0, 0, -1, -1};
    Box all = none;
    bool any = false;
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (IsEverywhere(boxes[i])) continue;
        all = any ? Unite(all, boxes[i]) : boxes[i];
        any = true;
    }
    cellStart.clear();
    cellItems.clear();
    wide.clear();
    columns = rows = 0;
    if (any) {
        x0 = int32_t(all.left) >> kCellShift;
        y0 = int32_t(all.top) >> kCellShift;
        columns = (int32_t(all.right) >> kCellShift) - x0 + 1;
        rows = (int32_t(all.bottom) >> kCellShift) - y0 + 1;
    }
    const size_t cells = size_t(columns) * size_t(rows);
    cellStart.assign(cells + 1, 0);
    // Two passes: count each cell's items, then place them (in list order, so each cell is
    // ascending).
    const auto span = [&](const Box& b, int32_t* cx0, int32_t* cy0, int32_t* cx1, int32_t* cy1) {
        *cx0 = (int32_t(b.left) >> kCellShift) - x0;
        *cy0 = (int32_t(b.top) >> kCellShift) - y0;
        *cx1 = (int32_t(b.right) >> kCellShift) - x0;
        *cy1 = (int32_t(b.bottom) >> kCellShift) - y0;
    };
    std::vector<uint8_t> isWide(boxes.size(), 0);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Box& b = boxes[i];
        int32_t cx0, cy0, cx1, cy1;
        if (IsEverywhere(b)) {
            isWide[i] = 1;
            continue;
        }
        span(b, &cx0, &cy0, &cx1, &cy1);
        if (int64_t(cx1 - cx0 + 1) * int64_t(cy1 - cy0 + 1) > kWideCells) {
            isWide[i] = 1;
            continue;
        }
        for (int32_t cy = cy0; cy <= cy1; ++cy)
            for (int32_t cx = cx0; cx <= cx1; ++cx) ++cellStart[size_t(cy) * size_t(columns) + size_t(cx) + 1];
    }
    for (size_t c = 0; c < cells; ++c) cellStart[c + 1] += cellStart[c];
    cellItems.assign(cellStart[cells], 0);
    std::vector<uint32_t> fill(cellStart.begin(), cellStart.end() - 1);
    for (size_t i = 0; i < boxes.size(); ++i) {
        if (isWide[i]) {
            wide.push_back(uint32_t(i));
            continue;
        }
        int32_t cx0, cy0, cx1, cy1;
        span(boxes[i], &cx0, &cy0, &cx1, &cy1);
        for (int32_t cy = cy0; cy <= cy1; ++cy)
            for (int32_t cx = cx0; cx <= cx1; ++cx) cellItems[fill[size_t(cy) * size_t(columns) + size_t(cx)]++] = uint32_t(i);
    }
}

void Grid::Query(const Box& area, std::vector<void*>* out) {
    out->clear();
    if (items.empty()) return;
    const int32_t cx0 = std::max((int32_t(area.left) >> kCellShift) - x0, 0);
    const int32_t cy0 = std::max((int32_t(area.top) >> kCellShift) - y0, 0);
    const int32_t cx1 = std::min((int32_t(area.right) >> kCellShift) - x0, columns - 1);
    const int32_t cy1 = std::min((int32_t(area.bottom) >> kCellShift) - y0, rows - 1);
    const int64_t cellCount = (cx1 < cx0 || cy1 < cy0) ? 0 : int64_t(cx1 - cx0 + 1) * int64_t(cy1 - cy0 + 1);
    size_t entries = wide.size() + loose.size() + extraEntries;
    for (int32_t cy = cy0; cellCount && cy <= cy1; ++cy) {
        const size_t row = size_t(cy) * size_t(columns);
        entries += cellStart[row + size_t(cx1) + 1] - cellStart[row + size_t(cx0)];
    }
    if (entries >= items.size() / 2) {
        // Most of the sheet: one walk over the boxes in list order.
        for (size_t i = 0; i < items.size(); ++i)
            if (Meet(boxes[i], area)) out->push_back(items[i]);
        return;
    }
    // Items met in several cells are marked once; the marks, read in ordinal order, give the
    // list order without a sort.
    marks.resize((items.size() + 63) / 64, 0);
    size_t low = marks.size(), high = 0;
    const auto mark = [&](uint32_t i) {
        marks[i >> 6] |= uint64_t(1) << (i & 63);
        low = std::min<size_t>(low, i >> 6);
        high = std::max<size_t>(high, i >> 6);
    };
    for (uint32_t i : wide)
        if (Meet(boxes[i], area)) mark(i);
    for (uint32_t i : loose)
        if (Meet(boxes[i], area)) mark(i);
    if (!extra.empty() && cellCount) {
        const auto markCell = [&](const std::vector<uint32_t>& cell) {
            for (uint32_t i : cell)
                if (Meet(boxes[i], area)) mark(i);
        };
        if (size_t(cellCount) <= extra.size()) {
            for (int32_t cy = cy0; cy <= cy1; ++cy)
                for (int32_t cx = cx0; cx <= cx1; ++cx) {
                    const auto found = extra.find(uint32_t(cy) * uint32_t(columns) + uint32_t(cx));
                    if (found != extra.end()) markCell(found->second);
                }
        } else {
            for (const auto& [cell, ordinals] : extra) {
                const auto cx = int32_t(cell % uint32_t(columns)), cy = int32_t(cell / uint32_t(columns));
                if (cx >= cx0 && cx <= cx1 && cy >= cy0 && cy <= cy1) markCell(ordinals);
            }
        }
    }
    for (int32_t cy = cy0; cellCount && cy <= cy1; ++cy) {
        const size_t row = size_t(cy) * size_t(columns);
        for (uint32_t k = cellStart[row + size_t(cx0)]; k < cellStart[row + size_t(cx1) + 1]; ++k)
            if (Meet(boxes[cellItems[k]], area)) mark(cellItems[k]);
    }
    for (size_t w = low; w <= high && w < marks.size(); ++w) {
        for (uint64_t bits = marks[w]; bits; bits &= bits - 1)
            out->push_back(items[(w << 6) + size_t(__builtin_ctzll(bits))]);
        marks[w] = 0;
    }
}

Box NetBox(const Rect& bounds, WireList wires) {
    Box b = BoxOf(bounds);
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) b = Unite(b, BoxOf((*w)->bounds));
    return b;
}

Box BoundsOf(SheetRecord* sheet, SheetItemKind kind, void* item) {
    switch (kind) {
        case SheetItemKind::kSymbol: {
            auto* s = static_cast<SymbolRecord*>(item);
            if (s->flags & kSymbolFlagSheet) return kEverywhere;
            Rect graphics, all;
            GetSymbolInstanceBounds(sheet, s, 0, &graphics);
            GetSymbolInstanceBounds(sheet, s, 1, &all);
            return Unite(BoxOf(graphics), BoxOf(all));
        }
        case SheetItemKind::kText: return BoxOf(static_cast<TextRecord*>(item)->bounds);
        case SheetItemKind::kTextFrame: return BoxOf((*static_cast<TextFrameHandle>(item))->bounds);
        case SheetItemKind::kElement: return BoxOf(static_cast<ElementRecord*>(item)->bounds);
        // A net by its bounds and each of its wires' (a wire moved before the net's bounds were
        // computed again is still found where it is).
        case SheetItemKind::kSignal: {
            auto signal = static_cast<SignalHandle>(item);
            return NetBox((*signal)->bounds, (*signal)->wires);
        }
        case SheetItemKind::kBuss: {
            auto buss = static_cast<BussHandle>(item);
            return NetBox((*buss)->bounds, (*buss)->wires);
        }
    }
    return kEverywhere;
}

void Grid::Place(uint32_t i) {
    const Box& b = boxes[i];
    if (IsEverywhere(b) || columns == 0) {
        loose.push_back(i);
        return;
    }
    const int32_t cx0 = (int32_t(b.left) >> kCellShift) - x0, cy0 = (int32_t(b.top) >> kCellShift) - y0;
    const int32_t cx1 = (int32_t(b.right) >> kCellShift) - x0, cy1 = (int32_t(b.bottom) >> kCellShift) - y0;
    if (cx0 < 0 || cy0 < 0 || cx1 >= columns || cy1 >= rows ||
        int64_t(cx1 - cx0 + 1) * int64_t(cy1 - cy0 + 1) > kWideCells) {
        loose.push_back(i);
        return;
    }
    for (int32_t cy = cy0; cy <= cy1; ++cy)
        for (int32_t cx = cx0; cx <= cx1; ++cx) {
            extra[uint32_t(cy) * uint32_t(columns) + uint32_t(cx)].push_back(i);
            ++extraEntries;
        }
}

bool Grid::CatchUp(SheetRecord* sheet, SheetItemKind kind) {
    if (netLogRead < gNetLogBase) return false;
    const uint64_t end = NetLogEnd();
    if (netLogRead == end) return true;
    const size_t from = size_t(netLogRead - gNetLogBase);
    netLogRead = end;
    if (kind != SheetItemKind::kSignal && kind != SheetItemKind::kBuss) return true;
    MakeOrdinals();
    for (size_t k = from; k < gNetLog.size(); ++k) {
        const auto found = ordinalOf.find(gNetLog[k]);
        if (found == ordinalOf.end()) continue;
        const uint32_t i = found->second;
        const Box b = BoundsOf(sheet, kind, items[i]);
        const Box& was = boxes[i];
        if (b.top == was.top && b.left == was.left && b.bottom == was.bottom && b.right == was.right) continue;
        boxes[i] = b;
        Place(i);
    }
    // Past this, the questions would pay more for what lies beside the cells than a rebuild costs.
    return extraEntries + loose.size() <= 64 + items.size() / 8;
}

}  // namespace

LinkListHeader* SheetItemList(const SheetRecord* sheet, SheetItemKind kind) {
    switch (kind) {
        case SheetItemKind::kSymbol: return sheet->symbolList;
        case SheetItemKind::kText: return sheet->textList;
        case SheetItemKind::kTextFrame: return sheet->textFrameList;
        case SheetItemKind::kElement: return sheet->elementList;
        case SheetItemKind::kSignal: return sheet->signalList;
        case SheetItemKind::kBuss: return sheet->bussList;
    }
    return nullptr;
}

struct SheetItemIndex {
    std::array<Grid, kSheetItemKinds> grids;
};

void NoteSheetItemPlaces() { ++gPlaceClock; }

void NoteSheetNetChanged(const void* net) {
    if (net) LogNet(net);
}

void NoteSheetWireChanged() {
    if (!gInnermostScope) {
        NoteSheetItemPlaces();
        return;
    }
    for (SheetNetScope* s = gInnermostScope; s; s = s->outer_) {
        if (s->noted_ == gQuestions) continue;
        LogNet(s->net_);
        s->noted_ = gQuestions;
    }
}

SheetNetScope::SheetNetScope(const void* net) : net_(net) {
    if (!net_) return;
    outer_ = gInnermostScope;
    gInnermostScope = this;
}

SheetNetScope::~SheetNetScope() {
    if (!net_) return;
    LogNet(net_);
    gInnermostScope = outer_;
}
uint32_t SheetItemPlaceClock() { return gPlaceClock; }

Rect SheetReachArea(Point point, int32_t reach) {
    const auto clamp = [](int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); };
    return Rect{clamp(point.v - reach), clamp(point.h - reach), clamp(point.v + reach), clamp(point.h + reach)};
}

namespace {

void Rebuild(Grid& g, SheetRecord* sheet, SheetItemKind kind, LinkListHeader* list) {
    g.Clear();
    g.items.reserve(list->count);
    g.boxes.reserve(list->count);
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        g.items.push_back(item);
        g.boxes.push_back(BoundsOf(sheet, kind, item));
    }
    g.Build();
    g.list = list;
    g.version = list->version;
    g.clock = gPlaceClock;
    g.netLogRead = NetLogEnd();
}

Box AreaBox(const Rect& area) {
    return Box{std::min(area.top, area.bottom), std::min(area.left, area.right), std::max(area.top, area.bottom),
               std::max(area.left, area.right)};
}

}  // namespace

void SheetItemsMeeting(SheetRecord* sheet, SheetItemKind kind, const Rect& area, std::vector<void*>* out) {
    out->clear();
    LinkListHeader* list = sheet ? SheetItemList(sheet, kind) : nullptr;
    if (!list) return;
    if (!sheet->itemIndex) sheet->itemIndex = new SheetItemIndex;
    Grid& g = sheet->itemIndex->grids[size_t(kind)];
    ++gQuestions;
    if (!g.InStep(list) || !g.CatchUp(sheet, kind)) Rebuild(g, sheet, kind, list);
    g.Query(AreaBox(area), out);
}

bool SheetListHolds(SheetRecord* sheet, SheetItemKind kind, const void* item) {
    LinkListHeader* list = sheet && item ? SheetItemList(sheet, kind) : nullptr;
    if (!list) return false;
    if (sheet->itemIndex) {
        // The items of a grid in step are the list's: linking or unlinking moves its version.
        Grid& g = sheet->itemIndex->grids[size_t(kind)];
        if (g.InStep(list)) {
            g.MakeOrdinals();
            return g.ordinalOf.count(item) != 0;
        }
    }
    for (void* link = LLFirst(list); link; link = LLGetNext(list, link))
        if (link == item) return true;
    return false;
}

void SheetItemsMeetingRebuilt(SheetRecord* sheet, SheetItemKind kind, const Rect& area, std::vector<void*>* out) {
    out->clear();
    LinkListHeader* list = sheet ? SheetItemList(sheet, kind) : nullptr;
    if (!list) return;
    Grid g;
    Rebuild(g, sheet, kind, list);
    g.Query(AreaBox(area), out);
}

void DestroySheetItemIndex(SheetRecord* sheet) {
    if (!sheet) return;
    delete sheet->itemIndex;
    sheet->itemIndex = nullptr;
}

bool SheetItemIndexInStep(SheetRecord* sheet, SheetItemKind kind) {
    if (!sheet || !sheet->itemIndex) return false;
    return sheet->itemIndex->grids[size_t(kind)].InStep(SheetItemList(sheet, kind));
}

size_t SheetItemIndexBytes(const SheetRecord* sheet) {
    if (!sheet || !sheet->itemIndex) return 0;
    size_t bytes = sizeof(SheetItemIndex);
    for (const Grid& g : sheet->itemIndex->grids)
        bytes += g.items.capacity() * sizeof(void*) + g.boxes.capacity() * sizeof(Box) +
                 (g.cellStart.capacity() + g.cellItems.capacity() + g.wide.capacity()) * sizeof(uint32_t) +
                 g.marks.capacity() * sizeof(uint64_t) + g.loose.capacity() * sizeof(uint32_t) +
                 g.extraEntries * sizeof(uint32_t) +
                 (g.extra.size() + g.ordinalOf.size()) * (sizeof(void*) * 4);
    return bytes;
}

}  // namespace plexa
