// The core composition: the model's tables.
#include "app/root_quiet.h"
#include "app/root_tables.h"

namespace plexa {

void ComposeModelForCore(CoreHookTables& t) {
    AddSheetSymbolModelHooks(t.symbols);
    t.model.windowSheet = QuietWindowSheet;
    t.model.detachSheetWindows = QuietDetachSheetWindows;
    t.symbolDraw.drawSheetSymbol = [](VXGrafState* graf, SymbolRecord* symbol, bool portMarkers) {
        DrawSheetSymbol(graf, symbol, false, portMarkers);
    };
}

}  // namespace plexa
