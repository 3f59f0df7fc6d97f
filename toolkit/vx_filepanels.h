// File panels: the modal open, save and folder-choosing dialogs, taking and giving file specs
// and directory references. Files are offered by four-character type codes (derived from the
// file's content and extension on this platform, foundation/filespec.h), a caller may veto
// single files through a filter procedure for the next open panel, and files opened without a
// per-file procedure go to the shell as open requests.
//
// A file type list is four-character codes written one after another ("SCH4PRJ4"); a trailing
// part shorter than four characters is ignored. "APPL" alone offers applications (desktop files
// and programs); "Fldr" asks for a folder (VXAskFileOpen). A code made only of blanks, NULs, "?"
// or "*" names no type; when no code names one, every file is offered.
//
// A chosen item whose name or folder does not fit a file spec (names of 160 bytes or more) or a
// directory reference gives none: an open panel skips it (counting it), a save panel or folder
// chooser reports the status and leaves the caller's spec as it was.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/filespec.h"

namespace plexa {

// Called for each chosen file: its position in the panel's order less one (the first file
// gets -1), and the number of files chosen. A non-zero status ends the walk and is returned.
using VXOpenFileProc = OSStatus (*)(const FileSpec* spec, int32_t index, int32_t count,
                                    void* userData);
using VXOpenFilesFilterProc = bool (*)(const FileSpec* spec, void* reference);

// Flags.
constexpr uint32_t kVXPanelStartInFolder = 0x1;
constexpr uint32_t kVXPanelMultiple = 0x2;        // VXAskOpenFiles
constexpr uint32_t kVXPanelChoosePrompt = 0x2;    // VXAskFileOpen: the button says "Choose"
constexpr uint32_t kVXPanelCreateFolders = 0x8;   // folder choosers
constexpr uint32_t kVXPanelFolderAsSpec = 0x10;   // VXChooseFolder

// Title and prompt are Mac Roman text (UTF-8 text passes unchanged). -128 when cancelled; the
// directory receives the folder the panel ended in in every case.
OSStatus VXAskOpenFiles(const char* title, const char* fileTypes, uint32_t flags,
                        DirectoryRef* directory, void* reserved, const char* prompt,
                        VXOpenFileProc proc, void* userData);
// True when a file (or with "Fldr" a folder) was chosen; it replaces the spec. Otherwise the
// spec's directory becomes the folder the panel ended in.
bool VXAskFileOpen(const char* title, const char* fileTypes, uint32_t flags, FileSpec* spec,
                   void* reserved);
// Title and default name are UTF-8. On save the spec names the chosen file (with its codes,
// none for a new file); -128 when cancelled.
OSStatus RunSaveFilesPanel(const char* title, const char* defaultName, bool startInFolder,
                           const char* creator, const char* type, FileSpec* spec);
bool VXAskFileSave(const char* title, const char* defaultName, const char* creator,
                   const char* type, bool startInFolder, FileSpec* spec);
// The directory is cleared first and receives the chosen folder; -128 when cancelled.
OSStatus RunChooseFolderPanel(const char* title, uint32_t flags, DirectoryRef* directory,
                              const char* prompt);
// On the spec's directory; with kVXPanelFolderAsSpec the spec becomes the folder as a file spec
// of its parent and name, otherwise the folder's directory with an empty name.
OSStatus VXChooseFolder(const char* title, const char* prompt, uint32_t flags, FileSpec* spec);

// Copies (or appends) one code of at most four characters; the buffer must have room.
void VXBuildFileTypeStr(char* buffer, void* reserved, const char* code, bool append);
// Installs the filter of the next open panel (the reference is kept only with a procedure).
void VXInstallMacOpenFilesFilter(VXOpenFilesFilterProc proc, void* reference);
// What the open panel lets be chosen while a filter is installed: every folder, every item that
// gives no file spec, and, with no filter, everything; otherwise the filter decides.
bool VXOpenPanelShouldEnable(const std::string& path);

// Installs the foundation's folder hook (the folder chooser of the access points); run once at
// start-up.
void VXInstallFolderHooks();

}  // namespace plexa
