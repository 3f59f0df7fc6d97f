// The Update Parts dialog and command: the dialog shows the opening state the update module
// works out (sheeteditor/symbolupdate.h) and reads back the scope, mode and force; the update
// itself is RunUpdatePartSymbols.
#include "sheeteditor/updatepartsdialog.h"

#include <utility>

#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/symbolupdate.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"

namespace plexa {
namespace {

constexpr uint16_t kUpdatePartsDialogFlags = 0x402;  // a third down, on the front window's screen

struct UpdatePartsDialogRecord {
    UpdateSymbolsDialogState opening{};
    UpdateSymbolsChoice choice{};
    bool confirmed = false;
};

UpdatePartsDialogRecord* gDialog = nullptr;

// Kept for the next use of the dialog while the program runs.
int32_t gKeptAttributeMode = 1;
bool gKeptForce = false;

bool AnySymbolSelected(SheetRecord* sheet) {
    if (!sheet) return false;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        if (s->flags & kSymbolFlagSelected) return true;
    return false;
}

void SyncBrowserOf(SheetRecord* sheet, void*) {
    if (sheet && sheet->libraryPane) SynchBrowserWithCache(sheet->libraryPane);
}

}  // namespace

int32_t UpdatePartSymbolsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    UpdatePartsDialogRecord* d = gDialog;
    if (!d) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            if (d->opening.projectSheetsText) VXSetItemText(window, kUpdatePartsSheetItem, kUpdatePartsProjectSheetsText);
            for (int16_t item = kUpdatePartsSelectedItem; item <= kUpdatePartsProjectItem; ++item)
                VXSetItemEnabled(window, item, d->opening.enabled[item]);
            VXSelectRadioButton(window, int16_t(d->opening.scope));
            VXSetItemChecked(window, kUpdatePartsOnlyOlderItem, !d->choice.force);
            VXSelectRadioButton(window, int16_t(kUpdatePartsFirstModeItem + (d->choice.attributeMode & 3)));
            return 0;
        case kVXEndModalEvent:
            if (event->u.endModal.item == 1) {
                d->choice.scope = VXGetSelectedRadioButton(window, kUpdatePartsSelectedItem);
                d->choice.attributeMode =
                    (VXGetSelectedRadioButton(window, kUpdatePartsFirstModeItem) - kUpdatePartsFirstModeItem) & 3;
                d->choice.force = VXGetItemChecked(window, kUpdatePartsOnlyOlderItem) == 0;
                d->confirmed = d->choice.scope >= kUpdateScopeSelected && d->choice.scope <= kUpdateScopeProject;
            }
            return 0;
        default:
            return 0;
    }
}

void UpdatePartSymbolsOf(SheetRecord* sheet, ProjectRecord* project, bool treeHasSelection) {
    if (!sheet && !project) return;
    UpdatePartsDialogRecord record;
    record.opening = SetupUpdateSymbolsDialog(sheet == nullptr, project != nullptr, AnySymbolSelected(sheet),
                                              treeHasSelection);
    record.choice = {record.opening.scope, gKeptAttributeMode, gKeptForce};
    UpdatePartsDialogRecord* saved = std::exchange(gDialog, &record);
    VXModalDialog(kUpdatePartsDialogTemplate, kUpdatePartsDialogFlags, UpdatePartSymbolsDialogHandler, nullptr);
    gDialog = saved;
    if (!record.confirmed) return;
    gKeptAttributeMode = record.choice.attributeMode;
    gKeptForce = record.choice.force;
    (void)RunUpdatePartSymbols(sheet, project, record.choice);  // the count is shown in the log
    EnumVisibleSheetWindows(SyncBrowserOf, nullptr);
}

}  // namespace plexa
