// The sheet store's hooks and their defaults.
#include "files/sheetstore.h"

#include "files/sheet_services.h"
#include "files/sheetload.h"
#include "files/sheetsave.h"
#include "files/sheetspec.h"
#include "model/sheet.h"
#include "model/sheetindex.h"

namespace plexa {

namespace {
SheetStoreHooks gStoreHooks;
}

void SetSheetStoreHooks(const SheetStoreHooks& hooks) { gStoreHooks = hooks; }
const SheetStoreHooks& GetSheetStoreHooks() { return gStoreHooks; }

SheetRecord* StoreGetLoadedSheet(ProjectRecord* project, SheetSpec* spec) {
    if (gStoreHooks.getLoaded) return gStoreHooks.getLoaded(project, spec);
    return GetOpenSheetFromSheetSpec(project, spec);
}

OSStatus StoreLoadSheet(ProjectRecord* project, SheetSpec* spec, SheetRecord** sheet) {
    *sheet = nullptr;
    const OSStatus st = gStoreHooks.load ? gStoreHooks.load(project, spec, sheet)
                                         : LoadSheetForStore(project, spec, sheet);
    if (st != 0 && *sheet) {
        StoreReleaseSheet(*sheet);
        *sheet = nullptr;
    }
    if (st == 0 && !*sheet) return kSheetServiceMissing;
    return st;
}

OSStatus StoreSaveSheet(SheetRecord* sheet) {
    if (!gStoreHooks.save) return SaveSchematicSheet(sheet);
    return gStoreHooks.save(sheet);
}

void StoreReleaseSheet(SheetRecord* sheet) {
    if (!sheet) return;
    if (gStoreHooks.release) gStoreHooks.release(sheet);
    else DestroySheet(sheet);
}

void SetSheetModifiedStatus(SheetRecord* sheet, int32_t reason) {
    if (!sheet) return;
    // Whatever the edit changed, the sheet's spatial index rebuilds before its next question,
    // unless the edit reported its changes itself.
    if (!(reason & kSheetChangePlacesReported)) NoteSheetItemPlaces();
    if (gStoreHooks.setModified) gStoreHooks.setModified(sheet, reason);
    else MarkSheetModified(sheet, reason);
}

void MarkSheetModified(SheetRecord* sheet, int32_t) {
    if (sheet) sheet->modifiedFlags |= kSheetModifiedContent;
}

}  // namespace plexa
