// The editor's open-files panel: the remembered folder of each kind of panel, the filter that
// offers only the kinds of files a command takes (files/openkinds.h), and the panel that hands
// each chosen file to a processor or returns the one file chosen.
//
// The remembered folders belong to the preferences; until the preferences install their store,
// the folders are remembered for the run only.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"

namespace plexa {

// What the panel needs of the preferences, installed by them.
struct FileSelectHooks {
    // The folder remembered for a kind of panel (invalid when none was); records one. Optional:
    // the preferences are not built yet; until then the folders are remembered for the run.
    void (*getPrefDirectory)(int32_t index, DirectoryRef* directory) = nullptr;
    void (*recordPrefDirectory)(int32_t index, const DirectoryRef* directory) = nullptr;
    // Ends the batch mode of ASCII database reading (files chosen by a person are read with
    // their questions asked). Optional: the ASCII database reader has no batch mode yet, so there
    // is nothing to end.
    void (*clearAsciiBatchMode)() = nullptr;
};
void SetFileSelectHooks(const FileSelectHooks& hooks);
const FileSelectHooks& GetFileSelectHooks();

// Remembered folders of the file panels; index 0 is the documents' folder.
constexpr int32_t kPrefFolderDocuments = 0;
// The remembered folder, or the user's Documents folder when none (or an invalid one) is.
void GetPrefDirectory(int32_t index, DirectoryRef* directory);
void RecordPrefDirectory(int32_t index, const DirectoryRef* directory);

// The open panel's filter: whether a file is of one of the kinds that `reference` (a uint32_t
// kind mask) points to. Every file without a mask.
bool MacOpenFilesFilter(const FileSpec* spec, void* reference);
// Copies the chosen file into the FileSpec that `result` points to.
OSStatus ReturnOneFileProcessor(const FileSpec* spec, int32_t index, int32_t count, void* result);

using FileProcessor = OSStatus (*)(const FileSpec* spec, int32_t index, int32_t count, void* value);
// Runs the open panel in the folder remembered for the index, offering the kinds of the mask and
// the types of the list. With a processor several files may be chosen and each goes to it; without
// one a single file is chosen and copied into *result. A failure other than a cancel is returned
// as it is; otherwise the folder the panel ended in is remembered for the index and 0 or -128
// (cancelled) returned.
OSStatus SelectAndProcessFiles(uint32_t kindMask, int32_t folderIndex, const char* prompt,
                               const char* typeList, FileProcessor processor, void* value,
                               FileSpec* result);
// The open panel of sheet files in the documents' folder, with the prompt as its title and the
// button's name: the chosen files into `files`, at most `capacity` of them. Their count, or a
// negative status (-128 when cancelled).
int32_t ChooseSheetFiles(const char* prompt, const char* button, FileSpec* files, int32_t capacity);

}  // namespace plexa
