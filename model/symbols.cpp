// Placed symbols; see symbols.h.
#include "model/symbols.h"

#include "foundation/ll.h"

namespace plexa {

SymbolRecord* RetrieveSerializedSymbol(const LinkListHeader* list, uint32_t serial) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto* symbol = static_cast<SymbolRecord*>(item);
        if (symbol->serial == serial) return symbol;
    }
    return nullptr;
}

int32_t CountSymbolNodes(SheetRecord*, const SymbolRecord*) { return 0; }

}  // namespace plexa
