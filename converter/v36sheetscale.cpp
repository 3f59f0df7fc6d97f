// Scaling a translated sheet from 72 to 96 units per inch: every definition of its symbol map once,
// the placed symbols, graphics, texts and frames, then the nets, whose pin ends are put where the
// pins lie after scaling, and the break-outs, put back on their bus lines.
#include <cstring>
#include <map>
#include <vector>

#include "converter/scale72.h"
#include "converter/v36sheetconvert.h"
#include "converter/v36translate.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "graphics/textstyle.h"
#include "model/listscale.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "model/wires.h"

namespace plexa {
namespace {

// A definition of the old map scaled into the new one; its new id, or -1 (and the status).
int32_t ScaleSymbolData(SheetRecord* sheet, int32_t mapId, SymbolMap* into, int16_t to, int16_t from,
                        OSStatus* st) {
    SymbolMapEntry* entry = GetSymbolMapEntryPtr(sheet->symbolMap, mapId);
    if (!entry || !entry->definition) return -1;
    V36Drawing drawing;
    int32_t id = -1;
    if (!drawing.Make()) {
        *st = status::kOutOfMemory;
    } else {
        *st = SymbolDataToElements(entry->definition, entry->size, GetSymbolMapImageList(sheet->symbolMap), Point{0, 0},
                                   drawing.elements, drawing.texts, drawing.frames, drawing.styles, drawing.block,
                                   sheet);
        if (*st == status::kNoErr) {
            ScaleElementList(drawing.elements, to, from);
            ScaleTextList(drawing.texts, drawing.styles, drawing.block, nullptr, to, from, false);
            ScaleTextFrameList(drawing.frames, drawing.styles, nullptr, to, from, false);
            Handle data = ElementsToSymbolData(drawing.elements, drawing.texts, drawing.frames, drawing.block, false,
                                               nullptr);
            if (data) {
                id = AddSymbolToMap(into, *data, int32_t(SizeOfHandle(data)), drawing.images);
                MemFree(data);
            }
            if (id < 0) *st = status::kOutOfMemory;
        }
    }
    return id;
}

OSStatus ScaleSymbols(SheetRecord* sheet, int16_t to, int16_t from) {
    SymbolMap* scaled = CreateSymbolMap(sheet->imageList);
    if (!scaled) return status::kOutOfMemory;
    std::map<int32_t, int32_t> ids;
    OSStatus st = status::kNoErr;
    auto scale = [&](int32_t& id) {
        if (id < 0 || st) return;
        auto found = ids.find(id);
        if (found == ids.end()) found = ids.emplace(id, ScaleSymbolData(sheet, id, scaled, to, from, &st)).first;
        id = found->second;
    };
    for (ComponentRecord* c : V36ListItems<ComponentRecord*>(sheet->componentList))
        for (int32_t s = 0; s < c->symbolCount; ++s) {
            scale(CompSymbols(c)[s].mapId);
            scale(CompSymbols(c)[s].secondMapId);
        }
    for (SymbolRecord* symbol : V36ListItems<SymbolRecord*>(sheet->symbolList)) {
        scale(symbol->mapId);
        scale(symbol->secondMapId);
        Scale1Point(&symbol->position, to, from);
    }
    if (st) {
        DestroySymbolMap(scaled);
        return st;
    }
    DestroySymbolMap(sheet->symbolMap);
    sheet->symbolMap = scaled;
    return status::kNoErr;
}

// A break-out row and the bus segment it lies on before scaling.
struct RowPlace {
    int32_t row;
    BreakOutRow data;
    WireHandle busWire;
    int32_t segment;
};

}  // namespace

OSStatus ScaleConvertedSheet(SheetRecord* sheet, int16_t to, int16_t from) {
    // Where every break-out lies before anything moves.
    std::vector<RowPlace> rows;
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(sheet->breakOutTable, &id, &address)) {
        RowPlace place{id, {}, nullptr, -1};
        std::memcpy(&place.data, address, sizeof place.data);
        if (place.data.buss)
            for (WireHandle w = FirstWire((*place.data.buss)->wires); w && !place.busWire;
                 w = NextWire((*place.data.buss)->wires, w)) {
                Point hit{};
                const int32_t segment = HitTestWire(w, place.data.first, 0, &hit, false);
                if (segment >= 0) {
                    place.busWire = w;
                    place.segment = segment;
                }
            }
        rows.push_back(place);
    }

    if (OSStatus st = ScaleSymbols(sheet, to, from)) return st;
    ScaleElementList(sheet->elementList, to, from);
    ScaleTextList(sheet->textList, sheet->styleList, sheet->stringBlock, nullptr, to, from, false);
    ScaleTextFrameList(sheet->textFrameList, sheet->styleList, nullptr, to, from, false);
    if (sheet->currentTextStyle) ScaleTextStyle(sheet->currentTextStyle, to, from);
    if (sheet->themeTable)
        for (txStyle* theme : sheet->themeTable->styles)
            if (theme) ScaleTextStyle(theme, to, from);

    for (SignalHandle signal : V36ListItems<SignalHandle>(sheet->signalList)) {
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w)) {
            const int32_t n = (*w)->cornerCount;
            Point pins[2];
            bool attached[2] = {false, false};
            for (int32_t end = 0; end < 2; ++end) {
                const uint16_t word = end == 0 ? (*w)->end0 : (*w)->end1;
                if (!IsWireEndTerminal(word) || word >= (*signal)->pinCount) continue;
                const SignalPinEntry entry = SignalPins(signal)[word];
                SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, entry.serial);
                if (!symbol) continue;
                GetNodeInstancePoint(sheet, symbol, entry.node, &pins[end]);
                attached[end] = true;
            }
            ScaleWireCorners(WireCorners(w), n, attached[0] ? &pins[0] : nullptr, attached[1] ? &pins[1] : nullptr,
                             to, from);
            CalcWireBounds(w);
        }
        CalcSignalBounds(signal);
        InvalidateSignalJunctions(signal);
    }
    for (BussHandle buss : V36ListItems<BussHandle>(sheet->bussList)) {
        for (WireHandle w = FirstWire((*buss)->wires); w; w = NextWire((*buss)->wires, w)) {
            ScalePoints(WireCorners(w), (*w)->cornerCount, to, from);
            CalcWireBounds(w);
        }
        CalcBussBounds(buss);
    }

    // Break-outs back on their bus lines, with the wire ends that meet them.
    for (RowPlace& place : rows) {
        BreakoutPoints points{place.data.first, place.data.second};
        SignalHandle signal = nullptr;
        int32_t end = 0;
        WireHandle wire = GetBreakOutWire(sheet->signalList, place.row, &signal, &end);
        Point segment[2];
        bool realigned = false;
        if (place.busWire && GetWireSegment(place.busWire, place.segment, segment) && wire) {
            const int32_t n = (*wire)->cornerCount;
            const int32_t endCorner = end == 1 ? n - 1 : 0;
            const int32_t before = end == 1 ? n - 2 : 1;
            const Point corner = n >= 2 ? WireCorners(wire)[before] : WireCorners(wire)[endCorner];
            realigned = ScaleBreakout(&points, segment[0], segment[1], corner, to, from);
            if (realigned) {
                WireCorners(wire)[endCorner] = points.wireEnd;
                CalcWireBounds(wire);
            }
        }
        if (!realigned) {
            points = BreakoutPoints{place.data.first, place.data.second};
            Scale1Point(&points.onBus, to, from);
            Scale1Point(&points.wireEnd, to, from);
        }
        place.data.first = points.onBus;
        place.data.second = points.wireEnd;
        DAPut(sheet->breakOutTable, place.row, &place.data);
        if (signal) CalcSignalBounds(signal);
    }

    sheet->view.gridSpacing = MulDiv16(sheet->view.gridSpacing, to, from);
    sheet->stored.resolution = uint16_t(to);
    CalcSheetBounds(sheet->stored.sizeCode, sheet->stored.orientation, to, &sheet->sheetBounds);
    return status::kNoErr;
}

}  // namespace plexa
