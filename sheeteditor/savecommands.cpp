// The File menu's save commands for sheets and what a save shows in the sheet's window.
#include "sheeteditor/savecommands.h"

#include <cstring>
#include <string>

#include "files/sheetfile.h"
#include "files/sheetsave.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/folders.h"
#include "foundation/strings.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/texts.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

const char* KindFileType(int32_t kind) {
    switch (kind) {
        case kSavePanelSheet: return kSheetFileTypeName;
        case kSavePanelAscii:
        case kSavePanelDxf: return "TEXT";
        default: return "";
    }
}

// The sheets shown in windows, front to back.
template <typename Visit>
bool ForEachWindowSheet(bool visibleOnly, Visit visit) {
    for (VXWindowRecordTag* w : VXTopLevelWindows()) {
        if (visibleOnly && !VXIsWindowVisible(w, false)) continue;
        if (w->typeID != kSheetWindowKind) continue;
        if (SheetRecord* sheet = SheetOfWindow(w))
            if (!visit(sheet)) return false;
    }
    return true;
}

// After a save that was not a copy: the window shows the file.
void SavedHook(SheetRecord* sheet) {
    VXWindowRecordTag* window = sheet->window;
    if (window) {
        std::string path;
        if (CreateURLFromFileSpec(&sheet->fileSpec, false, &path) == status::kNoErr)
            VXSetWindowFileProxy(window, path.c_str(), kSheetFileType);
        VXSetWindowModified(window, false);
        char title[kFileSpecNameCapacity];
        StrNCpy(title, sizeof title, sheet->fileSpec.name, int16_t(sizeof title - 1));
        RemoveExtension(".SHX", title);
        VXSetWindowTitle(window, title);
    }
    UpdateSheetOwnedWindowNames(sheet);
    // A sheet saved (a new one, or under another name) is one of the recent ones.
    if (const auto add = GetSheetOpenHooks().addRecentFile) add(&sheet->fileSpec, kSheetFileTypeName);
    Rect area{};
    RebuildMacroizedText(sheet, nullptr, &area);
    if (window && area.bottom > area.top) VXInvalRect(window, &area);
}

// The folder's path for a message: the full path, or its name when that cannot be had.
std::string FolderPath(const FileSpec* file) {
    std::string folder;
    if (CreateDirectoryURLFromDirectory(&file->directory, &folder) != status::kNoErr) return {};
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

OSStatus Reported(OSStatus st) {
    if (st && st != kSaveCancelled) VXErrorReport(st);
    return st;
}

}  // namespace

SheetRecord* FindLoadedSheetWithFile(const FileSpec* spec, SheetRecord* except) {
    SheetRecord* found = nullptr;
    ForEachWindowSheet(false, [&](SheetRecord* sheet) {
        if (sheet != except && sheet->fileSpec.name[0] && !IsDirectoryInvalid(&sheet->fileSpec.directory) &&
            EqualFileSpecs(&sheet->fileSpec, spec))
            found = sheet;
        return found == nullptr;
    });
    return found;
}

bool AskSaveSheetFile(SheetRecord* sheet, int32_t kind, FileSpec* spec) {
    FileSpec start{};
    if (sheet) start = sheet->fileSpec;
    if (IsDirectoryInvalid(&start.directory)) GetPrefDirectory(kPrefFolderDocuments, &start.directory);
    char name[kFileSpecNameCapacity];
    ProposedSaveName(&start, kind, name, sizeof name);
    FileSpec chosen = start;
    if (!VXAskFileSave(kSaveSheetPrompt, name, kSheetFileCreator, KindFileType(kind), true, &chosen)) return false;
    // Another loaded sheet of that file keeps its window and its unsaved changes.
    if (FindLoadedSheetWithFile(&chosen, sheet)) {
        VXDisplayMessage(kSheetInUseMessage);
        return false;
    }
    RecordPrefDirectory(kPrefFolderDocuments, &chosen.directory);
    *spec = chosen;
    return true;
}

bool IsSheetModifiedForSave(const SheetRecord* sheet) {
    // The mask asks of content, annotation and drawing changes, not of the flag bits themselves.
    return IsSheetModified(sheet, kSheetSaveModifiedMask) != 0;
}

bool CanSaveSheet(const SheetRecord* sheet) {
    return sheet && (IsSheetModifiedForSave(sheet) || IsDirectoryInvalid(&sheet->fileSpec.directory));
}

OSStatus SaveAllSheets() {
    OSStatus st = status::kNoErr;
    ForEachWindowSheet(true, [&](SheetRecord* sheet) {
        if (!IsSheetModifiedForSave(sheet)) return true;
        st = RealSaveSchematicSheet(sheet, false, false);
        return st == status::kNoErr;
    });
    return Reported(st);
}

OSStatus SaveSheetCommand(SheetRecord* sheet, bool shift) {
    if (shift) return SaveAllSheets();
    return Reported(RealSaveSchematicSheet(sheet, false, false));
}

OSStatus SaveSheetAsCommand(SheetRecord* sheet) { return Reported(RealSaveSchematicSheet(sheet, true, false)); }
OSStatus SaveSheetCopyCommand(SheetRecord* sheet) { return Reported(RealSaveSchematicSheet(sheet, true, true)); }

OSStatus OfferAnotherPlace(const FileSpec* target, OSStatus status) {
    const std::string message = "\"" + std::string(target->name) + "\" could not be saved in the folder \"" +
                                FolderPath(target) + "\".";
    const std::string why = status == status::kPermission
                                ? "You do not have permission to write there. Save it in another place?"
                                : "Save it in another place?";
    return VXStandardAlert(message.c_str(), why.c_str(), kSaveAsButton, "Cancel") == kVXAlertFirstButton
               ? status::kNoErr
               : kSaveCancelled;
}

void AddSheetSaveCommands(SheetSaveHooks& hooks) {
    hooks.askFile = AskSaveSheetFile;
    hooks.loadedSheetWithFile = FindLoadedSheetWithFile;
    hooks.alert = VXDisplayMessage;
    hooks.offerOtherPlace = OfferAnotherPlace;
    hooks.saved = SavedHook;
}

}  // namespace plexa
