// Data contexts and field expansion; see fieldexpand.h.
#include "model/fieldexpand.h"

#include "foundation/ll.h"
#include "foundation/memory.h"

namespace plexa {

namespace {
constexpr uint32_t kDataContextSize = 62;
}  // namespace

DataContextChain* CreateDataCtxChain() { return LLCreate(gGenPool, kDataContextSize, 0); }

void DestroyDataCtxChain(DataContextChain* chain) { LLDispose(chain, true); }

void* PopDataCtxChain(DataContextChain* chain) { return LLFirst(chain); }

DataContextChain* BuildSheetContextChain(SheetRecord*, ProjectRecord*) {
    return CreateDataCtxChain();
}

DataContextChain* BuildSymbolContextChain(DataContextChain* chain, SheetRecord* sheet,
                                          SymbolRecord*, bool) {
    return chain ? chain : BuildSheetContextChain(sheet, nullptr);
}

DataContextChain* BuildPinContextChain(DataContextChain* chain, SheetRecord* sheet,
                                       SymbolRecord* symbol, int32_t, bool group) {
    return chain ? chain : BuildSymbolContextChain(nullptr, sheet, symbol, group);
}

int32_t ExpandDataString(char*, int32_t*, int32_t, DataContextChain*) { return 0; }

}  // namespace plexa
