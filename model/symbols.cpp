// Placed symbols; see symbols.h.
#include "model/symbols.h"

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/busses.h"
#include "model/sheet.h"
#include "model/signals.h"

namespace plexa {

namespace {

void FreeSymbolRecord(LinkListHeader*, void* item, void*, uint32_t) {
    auto* symbol = static_cast<SymbolRecord*>(item);
    if (symbol->attributes) MemFree(symbol->attributes);
    if (symbol->sheetSymbolData) MemFree(symbol->sheetSymbolData);
    symbol->attributes = nullptr;
    symbol->sheetSymbolData = nullptr;
}

}  // namespace

LinkListHeader* CreateSymbolList() {
    LinkListHeader* list = LLCreate(gGenPool, sizeof(SymbolRecord), 0);
    if (list) LLSetFreeProc(list, FreeSymbolRecord);
    return list;
}

void DestroySymbolList(LinkListHeader* list) { LLDispose(list, true); }

SymbolRecord* RetrieveSerializedSymbol(const LinkListHeader* list, uint32_t serial) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto* symbol = static_cast<SymbolRecord*>(item);
        if (symbol->serial == serial) return symbol;
    }
    return nullptr;
}

int32_t CountSymbolNodes(SheetRecord*, const SymbolRecord*) { return 0; }

int32_t GetNodeInstanceOrient(SheetRecord*, const SymbolRecord*, int32_t) { return 0; }

int32_t GetPortSymbolName(SheetRecord* sheet, const SymbolRecord* symbol, void* net, char* out,
                          int32_t size) {
    if (out && size > 0) out[0] = 0;
    if (!sheet || !symbol) return 1;
    if (symbol->kindData) {
        if (out) ExtractStringSpec(symbol->kindData, sheet->stringBlock, out, size);
        return 0;
    }
    if (symbol->flags & kSymbolFlagBussPort) {
        auto buss = static_cast<BussHandle>(net);
        if (!buss) buss = GetConnectedBuss(sheet->bussList, symbol, 0, nullptr, nullptr);
        if (buss && out) GetBussName(buss, sheet->stringBlock, out, size);
    } else {
        auto signal = static_cast<SignalHandle>(net);
        if (!signal) signal = GetConnectedSignal(sheet->signalList, symbol, 0, nullptr, nullptr);
        if (signal && out) GetSignalName(signal, sheet->stringBlock, out, size);
    }
    return 1;
}

}  // namespace plexa
