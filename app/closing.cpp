// Closing a sheet window: the open symbol editors of the sheet's file symbols close first, a
// modified sheet asks whether to save it, and only then do the sheet and its window go. A cancel
// or a failed save keeps both, and stops a close-all or a quit there.
#include <cctype>
#include <cstdio>
#include <string>

#include "app/shell.h"
#include "files/sheetstore.h"
#include "model/sheet.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/symbolupdate.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

int16_t gCloseAllWindowsKind = 0;

namespace {

constexpr uint16_t kSaveQuestionTemplate = 1042;
constexpr int16_t kSaveItem = 1, kCancelItem = 2, kDontSaveItem = 3, kMessageItem = 4;
// Forget the sheet's undo and mark it saved-or-discarded: its changes are dropped.
constexpr int32_t kDiscardChanges = 16;

// The dismissal handler stores the ending item at the start of the dialog's user data.
struct SaveQuestion {
    int16_t item = kCancelItem;
    std::string message;
};

int32_t SaveQuestionHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* question = static_cast<SaveQuestion*>(window->refCon);
    if (event->kind == kVXCreateEvent && question) VXSetItemText(window, kMessageItem, question->message.c_str());
    if (event->kind == kVXCharEvent) {
        // A single s, d or c presses Save, Don't Save or Cancel.
        switch (std::tolower(event->u.character.character)) {
        case 's': VXEndDialog(window, kSaveItem); return 1;
        case 'd': VXEndDialog(window, kDontSaveItem); return 1;
        case 'c': VXEndDialog(window, kCancelItem); return 1;
        default: break;
        }
    }
    return VXAnyButtonDisimissalHandler(window, event);
}

}  // namespace

OSStatus SchError(OSStatus code) {
    if (code && code != status::kUserCancelled && VXIsApplicationActive()) VXErrorReport(code);
    return code;
}

bool AskSaveDialog(const char* name, int16_t kind, bool* save) {
    *save = false;
    const char* format = kind == kProjectKind ? "Save annotation changes for \"%s\" before closing?"
                         : vx.terminationInProgress ? "Save changes to \"%s\" before quitting?"
                                                    : "Save changes to \"%s\" before closing?";
    char message[512];
    std::snprintf(message, sizeof message, format, name ? name : "");
    SaveQuestion question{kCancelItem, message};
    const int16_t item = VXModalDialog(kSaveQuestionTemplate, kVXPlaceCentre, SaveQuestionHandler, &question);
    if (item == kSaveItem) *save = true;
    return item == kSaveItem || item == kDontSaveItem;
}

OSStatus CloseSheetWindow(VXWindowRecordTag* window, int32_t mode) {
    SheetRecord* sheet = window ? static_cast<SheetRecord*>(window->refCon) : nullptr;
    if (!sheet || sheet->window != window) {
        if (window) VXDestroyWindow(window);
        return status::kNoErr;
    }
    // The symbol editors of the sheet's file symbols close first; one that stays keeps the sheet.
    for (int32_t i = CountSymbolEditors() - 1; i >= 0; --i) {
        SymbolEditorRecord* editor = GetIndexedSymbolEditor(i);
        if (editor && editor->sheet == sheet && !CloseSheetSymbolEditor(editor, mode == kCloseDiscarding)) {
            VXAbortCloseAll();
            return status::kUserCancelled;
        }
    }
    if (mode == kCloseAsking && IsSheetModifiedForSave(sheet)) {
        VXSelectWindow(window);
        VXWaitUpdateWindows();
        bool save = false;
        char title[200];
        VXGetWindowTitle(window, title);
        if (!AskSaveDialog(title, kSheetKind, &save)) {
            VXAbortCloseAll();
            return status::kUserCancelled;
        }
        if (save) {
            if (OSStatus st = SaveSheetCommand(sheet, false)) {
                VXAbortCloseAll();
                return st;
            }
        } else {
            SetSheetModifiedStatus(sheet, kDiscardChanges);
            MarkSheetsContainingChildSymbolFromSheet(sheet);
        }
    }
    const bool wasCurrent = CurrDraw == sheet;
    DestroySheet(sheet);
    VXDestroyWindow(window);
    if (wasCurrent) CurrDraw = nullptr;
    return status::kNoErr;
}

}  // namespace plexa
