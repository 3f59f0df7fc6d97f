// Sheet symbols and file symbols in the sheet editor (see sheetsymbolui.h).
#include "sheeteditor/sheetsymbolui.h"

#include <cstdio>
#include <vector>

#include "files/filesymbols.h"
#include "model/libitem.h"
#include "model/sheet.h"
#include "model/sheetsymbols.h"
#include "model/symbols.h"
#include "symboleditor/filesympins.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

SheetSymbolUIHooks gHooks;

constexpr int32_t kMenuNameSize = 128;

void FileSymbolName(const FileSymbolEntry* entry, char* name, int32_t size) { GetFileSymbolName(entry, name, size); }

int32_t DeleteFileSymbolsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* sheet = static_cast<SheetRecord*>(window->refCon);
    if (!sheet) return 0;
    if (event->kind == kVXCreateEvent) {
        VXSetItemEnabled(window, 1, false);
        VXSetListBoxFeatures(window, kDeleteFileSymbolsList, kVXListBoxMultiple);
        char name[kMenuNameSize];
        for (int32_t i = 0; i < CountFileSymbols(sheet); ++i) {
            FileSymbolName(GetIndexedFileSymbol(sheet, i), name, sizeof name);
            VXAddListItem(window, kDeleteFileSymbolsList, name, -1);
        }
    } else if (event->kind == kVXControlEvent && event->u.control.item == kDeleteFileSymbolsList) {
        VXSetItemEnabled(window, 1, VXGetSelectedListItem(window, kDeleteFileSymbolsList, -1) >= 0);
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        VXSetItemVisible(window, kDeleteFileSymbolsList, false);
        std::vector<int32_t> rows;
        for (int32_t row = VXGetSelectedListItem(window, kDeleteFileSymbolsList, -1); row >= 0;
             row = VXGetSelectedListItem(window, kDeleteFileSymbolsList, row))
            rows.push_back(row);
        DeleteFileSymbolsAt(sheet, rows);
    }
    return 0;
}

}  // namespace

void SetSheetSymbolUIHooks(const SheetSymbolUIHooks& hooks) { gHooks = hooks; }
const SheetSymbolUIHooks& GetSheetSymbolUIHooks() { return gHooks; }

void BuildFileSymbolsMenu(SheetRecord* sheet) {
    VXMenuRecord* menu = VXGetMenuWithTag(kFileSymbolsMenuTag);
    if (!menu) return;
    VXDeleteAllMenuItems(menu);
    const int32_t count = sheet ? CountFileSymbols(sheet) : 0;
    char name[kMenuNameSize];
    for (int32_t i = 0; i < count; ++i) {
        FileSymbolName(GetIndexedFileSymbol(sheet, i), name, sizeof name);
        VXInsertMenuItem(menu, true, 0x7FFF, uint16_t(kFileSymbolsFirstCommand + i), name);
    }
    if (count) VXInsertMenuItem(menu, true, 0x7FFF, 0, "-");
    VXInsertMenuItem(menu, true, 0x7FFF, kFileSymbolsNewCommand, "New...");
    const int32_t item = VXInsertMenuItem(menu, true, 0x7FFF, kFileSymbolsDeleteCommand, "Delete...");
    VXSetMenuItemEnabled(menu, true, item, count > 0);
}

void DeleteFileSymbolsAt(SheetRecord* sheet, const std::vector<int32_t>& indexes) {
    if (!sheet) return;
    std::vector<FileSymbolEntry*> entries;
    for (int32_t index : indexes)
        if (FileSymbolEntry* entry = GetIndexedFileSymbol(sheet, index)) entries.push_back(entry);
    for (FileSymbolEntry* entry : entries) {
        if (entry->editor) {
            CloseSheetSymbolEditor(entry->editor, true);
            // Closing an editor of a symbol never stored takes its entry with it.
            bool listed = false;
            for (int32_t i = 0; i < CountFileSymbols(sheet) && !listed; ++i) listed = GetIndexedFileSymbol(sheet, i) == entry;
            if (!listed) continue;
        }
        // An editor still open holds the entry: it is left for the editor.
        if (entry->editor) continue;
        if (gHooks.setSheetModified) gHooks.setSheetModified(sheet, kSheetFileSymbolsDeleted);
        else sheet->modifiedFlags |= kSheetModifiedContent;
        if (gHooks.markSheetsWithChildSymbols) gHooks.markSheetsWithChildSymbols(sheet);
        DestroyFileSymbol(sheet, entry);
    }
}

void AskDeleteSheetSymbolDefintions(SheetRecord* sheet) {
    if (!sheet || !CountFileSymbols(sheet)) return;
    VXModalDialog(kDeleteFileSymbolsTemplate, kVXPlaceCentre, DeleteFileSymbolsDialogHandler, sheet);
}

}  // namespace plexa
