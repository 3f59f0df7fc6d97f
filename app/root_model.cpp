// The core composition: the model's tables. The model's own drawing defaults, the sheet symbols'
// calls, what the model reads of projects (files/), of the item cache (library/), and the quiet
// answers where the editors would open a window.
#include "app/root_quiet.h"
#include "app/root_tables.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetports.h"
#include "files/sheetstore.h"
#include "library/itemcache.h"
#include "library/libhistory.h"

namespace plexa {

void ComposeModelForCore(CoreHookTables& t) {
    // The model's drawing: junction dots, sheet symbols and the plain colours of a program without
    // preferences.
    t.model.drawJunctionDot = DrawSquareJunctionDot;
    t.symbolDraw.drawSheetSymbol = [](VXGrafState* graf, SymbolRecord* s, bool ports) { DrawSheetSymbol(graf, s, false, ports); };
    t.sheetColors.setForeColor = SetDefaultForeColor;
    t.sheetColors.setBackColor = SetDefaultBackColor;
    t.sheetColors.colorPreferred = DefaultColorPreferred;

    // Sheet symbols: their names, ports and geometry for placed symbols and symbol texts.
    AddSheetSymbolModelHooks(t.symbols);
    AddSheetSymbolPortHooks(t.sheetSymbols);
    t.symbolTexts.getSheetSymbolPortPos = GetSheetSymbolPortPos;

    // Projects and hierarchy (files/).
    AddProjectModelHooks(t.model, t.symbols, t.dataContext);
    t.symbols.enterSubSheet = EnterSubSheet;
    t.symbolTexts.setSheetModifiedStatus = [](SheetRecord* sheet, uint32_t why) { SetSheetModifiedStatus(sheet, int32_t(why)); };

    // Where a symbol came from: the library file and item that the item cache selects.
    t.symbols.locateLibraryFileItem = LocateLibraryFileItemOrNone;
    t.symbols.setCachedLibraryFile = [](int32_t fileIndex) { (void)SetCachedLibraryFile(0, fileIndex); };  // a library that does not open leaves nothing selected
    t.symbols.setCachedLibraryItem = [](int32_t itemIndex) { (void)SetCachedLibraryItem(itemIndex); };  // a failed load leaves nothing selected

    // Windows and dialogs of the editors: answered quietly.
    t.model.selectOtherFont = QuietDecline<char*>;
    t.model.invalSheetView = QuietIgnore<SheetRecord*, const Rect*>;
    t.symbols.invalSheetView = QuietIgnore<SheetRecord*, const Rect*>;
    t.symbols.openLibBrowserFile = QuietOpenNoWindow;
    t.symbols.findAndSelectLibEditorItem = QuietDecline<VXWindowRecordTag*, const char*>;
    t.symbols.editSelectedLibItems = QuietIgnore<VXWindowRecordTag*>;
    t.symbols.openSheetFileSymbolEditor = QuietDecline<SheetRecord*, const char*>;
    t.symbols.invalidateActiveBrowser = QuietIgnore<>;
    t.symbols.showMessage = QuietMessage;
    t.symbolTexts.setRulerGuidePositions = QuietIgnore<VXWindowRecordTag*, int32_t, int32_t>;
    t.model.windowSheet = QuietWindowSheet;
    t.model.detachSheetWindows = QuietIgnore<SheetRecord*>;
}

}  // namespace plexa
