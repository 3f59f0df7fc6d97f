// The editor's open-files panel (see fileselect.h).
#include "sheeteditor/fileselect.h"

#include <map>

#include "files/openkinds.h"
#include "foundation/folders.h"
#include "sheeteditor/sheeteditorstate.h"
#include "toolkit/vx_filepanels.h"

namespace plexa {

namespace {

FileSelectHooks gHooks;

// The run's remembered folders, while the preferences keep none.
std::map<int32_t, DirectoryRef>& RunFolders() { return gSheetEditorState.runFolders; }

}  // namespace

void SetFileSelectHooks(const FileSelectHooks& hooks) { gHooks = hooks; }
const FileSelectHooks& GetFileSelectHooks() { return gHooks; }

void GetPrefDirectory(int32_t index, DirectoryRef* directory) {
    if (!directory) return;
    if (gHooks.getPrefDirectory) {
        gHooks.getPrefDirectory(index, directory);
        return;
    }
    auto found = RunFolders().find(index);
    if (found != RunFolders().end() && !IsDirectoryInvalid(&found->second)) *directory = found->second;
    else if (!VXGetUserDomainDirectory(kVXFolderDocuments, nullptr, false, directory)) ClearDirectoryRef(directory);
}

void RecordPrefDirectory(int32_t index, const DirectoryRef* directory) {
    if (!directory) return;
    if (gHooks.recordPrefDirectory) gHooks.recordPrefDirectory(index, directory);
    else RunFolders()[index] = *directory;
}

bool MacOpenFilesFilter(const FileSpec* spec, void* reference) {
    if (!reference) return true;
    return FileMatchesOpenKinds(spec, *static_cast<const uint32_t*>(reference));
}

OSStatus ReturnOneFileProcessor(const FileSpec* spec, int32_t, int32_t, void* result) {
    if (!spec || !result) return status::kParamErr;
    *static_cast<FileSpec*>(result) = *spec;
    return status::kNoErr;
}

OSStatus SelectAndProcessFiles(uint32_t kindMask, int32_t folderIndex, const char* prompt,
                               const char* typeList, FileProcessor processor, void* value,
                               FileSpec* result) {
    if (!processor && !result) return status::kParamErr;
    if (gHooks.clearAsciiBatchMode) gHooks.clearAsciiBatchMode();
    DirectoryRef folder;
    GetPrefDirectory(folderIndex, &folder);
    uint32_t mask = kindMask;
    VXInstallMacOpenFilesFilter(MacOpenFilesFilter, &mask);
    uint32_t flags = processor ? kVXPanelMultiple : 0;
    if (!IsDirectoryInvalid(&folder)) flags |= kVXPanelStartInFolder;
    const VXOpenFileProc proc = processor ? processor : ReturnOneFileProcessor;
    const OSStatus st = VXAskOpenFiles(prompt, typeList ? typeList : "", flags, &folder, nullptr, prompt, proc,
                                       processor ? value : result);
    VXInstallMacOpenFilesFilter(nullptr, nullptr);
    if (st != status::kNoErr && st != status::kUserCancelled) return st;
    RecordPrefDirectory(folderIndex, &folder);
    return st;
}

int32_t ChooseSheetFiles(const char* prompt, const char* button, FileSpec* files, int32_t capacity) {
    struct Chosen {
        FileSpec* files;
        int32_t capacity;
        int32_t count;
    } chosen{files, capacity, 0};
    DirectoryRef folder;
    GetPrefDirectory(kPrefFolderDocuments, &folder);
    uint32_t mask = kOpenKindSheets;
    VXInstallMacOpenFilesFilter(MacOpenFilesFilter, &mask);
    const uint32_t flags = kVXPanelMultiple | (IsDirectoryInvalid(&folder) ? 0 : kVXPanelStartInFolder);
    const OSStatus st = VXAskOpenFiles(
        prompt, "", flags, &folder, nullptr, button,
        [](const FileSpec* spec, int32_t, int32_t, void* data) -> OSStatus {
            auto* c = static_cast<Chosen*>(data);
            if (c->count < c->capacity) c->files[c->count++] = *spec;
            return status::kNoErr;
        },
        &chosen);
    VXInstallMacOpenFilesFilter(nullptr, nullptr);
    // The count leaves no room for a positive status: such a failure is a bad request here.
    if (st != status::kNoErr) return st < 0 ? st : status::kParamErr;
    RecordPrefDirectory(kPrefFolderDocuments, &folder);
    return chosen.count;
}

}  // namespace plexa
