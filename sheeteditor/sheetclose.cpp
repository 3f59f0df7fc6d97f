// Closing sheets and their windows; see sheetclose.h.
#include "sheeteditor/sheetclose.h"

#include <cctype>
#include <cstdio>
#include <string>

#include "files/sheetfile.h"
#include "files/sheetstore.h"
#include "model/sheet.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/symbolupdate.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint16_t kSaveQuestionTemplate = 1042;
constexpr int16_t kSaveItem = 1, kCancelItem = 2, kDontSaveItem = 3, kMessageItem = 4, kIconItem = 5;
// Forget the sheet's undo and mark it saved-or-discarded: its changes are dropped.
constexpr int32_t kDiscardChanges = 16;

// The dismissal handler stores the ending item at the start of the dialog's user data.
struct SaveQuestion {
    int16_t item = kCancelItem;
    std::string message;
};

int32_t SaveQuestionHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* question = static_cast<SaveQuestion*>(window->refCon);
    if (event->kind == kVXCreateEvent && question) {
        VXSetItemText(window, kMessageItem, question->message.c_str());
        VXSetItemImageFromResource(window, kIconItem, "PlexaApp", "png", 0);  // a click on it does nothing
    }
    if (event->kind == kVXCharEvent) {
        // A single s, d or c presses Save, Don't Save or Cancel; other keys do nothing here.
        switch (std::tolower(event->u.character.character)) {
        case 's': VXEndDialog(window, kSaveItem); return 1;
        case 'd': VXEndDialog(window, kDontSaveItem); return 1;
        case 'c': VXEndDialog(window, kCancelItem); return 1;
        default: break;
        }
    }
    return VXAnyButtonDisimissalHandler(window, event);
}

// The sheet's file-symbol editors close first; false when one stays open.
bool CloseFileSymbolEditors(SheetRecord* sheet, int32_t mode) {
    for (int32_t i = CountSymbolEditors() - 1; i >= 0; --i) {
        SymbolEditorRecord* editor = GetIndexedSymbolEditor(i);
        if (editor && editor->sheet == sheet && !CloseSheetSymbolEditor(editor, mode == kCloseDiscarding))
            return false;
    }
    return true;
}

}  // namespace

bool AskSaveDialog(const char* name, int16_t kind, bool* save) {
    *save = false;
    const char* format = kind == kSaveQuestionProject ? "Save annotation changes for \"%s\" before closing?"
                         : vx.terminationInProgress   ? "Save changes to \"%s\" before quitting?"
                                                      : "Save changes to \"%s\" before closing?";
    char message[512];
    std::snprintf(message, sizeof message, format, name ? name : "");
    SaveQuestion question{kCancelItem, message};
    const int16_t item = VXModalDialog(kSaveQuestionTemplate, kVXPlaceCentre, SaveQuestionHandler, &question);
    if (item == kSaveItem) *save = true;
    return item == kSaveItem || item == kDontSaveItem;
}

OSStatus DestroySheet(SheetRecord* sheet, int32_t mode) {
    if (!sheet) return status::kNoErr;
    if (!CloseFileSymbolEditors(sheet, mode)) return status::kUserCancelled;
    bool savedOrDiscarded = false;
    if (mode == kCloseAsking && IsSheetModifiedForSave(sheet)) {
        char title[200] = "";
        if (sheet->window) {
            VXSelectWindow(sheet->window);
            VXWaitUpdateWindows();
            VXGetWindowTitle(sheet->window, title);
        }
        bool save = false;
        if (!AskSaveDialog(title, kSaveQuestionSheet, &save)) return status::kUserCancelled;
        if (save) {
            // Reported where it fails; the sheet stays as it was, modified, and so does its file.
            if (OSStatus st = SaveSheetCommand(sheet, false)) return st;
        } else {
            SetSheetModifiedStatus(sheet, kDiscardChanges);
            MarkSheetsContainingChildSymbolFromSheet(sheet);
            if (GetSheetWindowHooks().changesDiscarded) GetSheetWindowHooks().changesDiscarded(sheet);
        }
        savedOrDiscarded = true;
    }
    if (sheet->window && !savedOrDiscarded)
        (void)SaveSheetWindowState(sheet, nullptr);  // failing to keep the window's place keeps no sheet
    DestroySheet(sheet);
    return status::kNoErr;
}

OSStatus CloseSheetWindow(VXWindowRecordTag* window, int32_t mode) {
    if (!window) return status::kNoErr;
    SheetRecord* sheet = SheetOfWindow(window);
    if (!sheet || sheet->window != window) {
        VXDestroyWindow(window);
        return status::kNoErr;
    }
    if (OSStatus st = DestroySheet(sheet, mode)) {
        VXAbortCloseAll();
        return st;
    }
    VXDestroyWindow(window);
    return status::kNoErr;
}

}  // namespace plexa
