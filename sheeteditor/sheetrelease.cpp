#include "sheeteditor/sheetrelease.h"

#include "model/elements.h"
#include "model/sheet.h"
#include "sheeteditor/searchlist.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/wiredrag.h"

namespace plexa {

void ReleaseSheetEditorParts(SheetRecord* sheet) {
    // A polygon still being drawn goes with the sheet.
    if (sheet->elementInCreation) DestroyElement(sheet->elementInCreation, sheet->imageList);
    sheet->elementInCreation = nullptr;
    ClearSheetModifiers(sheet);
    ReleaseWireSplitState(sheet);
    if (sheet->logWindow) {
        if (const auto destroyLog = GetSheetWindowHooks().destroyLog) destroyLog(sheet->logWindow);
    }
    ReleaseSheetUndo(sheet);
    SearchForgetSheet(sheet);
}

}  // namespace plexa
