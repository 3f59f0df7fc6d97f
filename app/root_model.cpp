// The core composition: the model's tables.
#include "app/root_tables.h"

namespace plexa {

void ComposeModelForCore(CoreHookTables& t) {
    AddSheetSymbolModelHooks(t.symbols);
    t.symbolDraw.drawSheetSymbol = [](VXWindowRecordTag* window, SymbolRecord* symbol, bool portMarkers) {
        DrawSheetSymbol(window, symbol, false, portMarkers);
    };
}

}  // namespace plexa
