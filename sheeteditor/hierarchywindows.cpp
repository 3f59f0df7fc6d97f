// The hierarchy's sheet-window calls; see hierarchywindows.h.
#include "sheeteditor/hierarchywindows.h"

#include "files/hierarchy.h"
#include "foundation/geometry.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/simtools.h"
#include "sheeteditor/symbolupdate.h"

namespace plexa {

void AddSheetOpenHierarchyHooks(HierarchyHooks& hooks) {
    hooks.updateChildSymbols = [](SheetRecord* sheet, bool interactive, bool quiet) {
        return UpdateDirtyChildSymbolsInSheet(sheet, interactive, quiet);
    };
    hooks.refreshSheetWindow = [](SheetRecord* sheet, const Rect* changed) {
        HideShowSpiceTools(sheet);
        BuildParentChainList(sheet);
        Rect area = changed ? *changed : Rect{};
        RebuildMacroizedText(sheet, nullptr, &area);
        if (GetSymbolHooks().invalSheetView && !VXEmptyRect(&area)) GetSymbolHooks().invalSheetView(sheet, &area);
    };
}

}  // namespace plexa
