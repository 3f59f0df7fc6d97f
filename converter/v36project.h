// Version-3.6 project files ("QSPR", usual extension ".SPR"): the reader of the project's sheet list
// and the search for each sheet's file.
//
// Stored form: a dynamic file of type "QSPR" with
//   block 1  u16 version; u16 flags whose first byte's bit 0x10 says the file is in this machine's
//            (little-endian) order, else the version and everything after it are big-endian;
//            20 bytes not used; i32 length and that many bytes: the folder the project was saved
//            in, as an old folder alias;
//   block 3  the sheet list: a DA array in its stored form (foundation/da_stream.h) of records that
//            start with the sheet's file name, zero-terminated, at most 70 bytes (below version 864
//            the name is a counted string at offset 6 of the record), Mac Roman; then per record an
//            i32 length and that many bytes: the folder of the sheet, as an old folder alias.
// Old folder aliases never resolve on this platform: the reader checks their lengths and skips
// them, so every sheet is looked for in the project's own folder (as when a project was moved).
//
// Failures: kV36ProjectDamaged for a file without block 1 or block 3, -39 for a block that ends
// early, kV36DamagedFile for a record without a name or a name longer than 70 bytes (or a folder
// alias longer than any), 0x20002712 for a file
// that is not a "QSPR" dynamic file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/report.h"
#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

constexpr FourCharCode kV36ProjectFileType = FourCC("QSPR");
constexpr uint16_t kV36CStringNameVersion = 864;
constexpr uint32_t kV36SheetNameLimit = 70;
constexpr uint32_t kV36MaxFolderAliasLength = 0x10000;

struct V36ProjectFile {
    uint16_t version = 0;
    bool swapped = false;
    std::vector<std::string> sheets;  // file names, UTF-8
};

// Block 1 and block 3 from their bytes.
OSStatus ParseV36ProjectHeader(const void* bytes, uint32_t length, V36ProjectFile* project);
OSStatus ParseV36ProjectSheets(const void* bytes, uint32_t length, V36ProjectFile* project);
// Reads the file's two blocks.
OSStatus OpenV36ProjectFile(const FileSpec* spec, V36ProjectFile* project);

// Whether the file is a version-3.6 sheet (a "QSCM" leader).
bool IsV36SheetFile(const FileSpec* spec);

// Asks the user to find a sheet: an open panel titled with the prompt, offering files of the
// name (or the name plus ".scm" when it has no dot) that are version-3.6 sheets. 0 with the chosen
// file, -128 when cancelled. The program installs an open panel; tests install a script.
using FindSheetPanelProc = OSStatus (*)(const char* prompt, const char* name, FileSpec* chosen, void* refCon);
void SetFindSheetPanel(FindSheetPanelProc proc, void* refCon);
// "Please find "NAME"".
std::string FindSheetPrompt(const std::string& name);

// Finds each sheet of the project: a version-3.6 sheet of that name in the project's folder, else
// in the folder chosen last in this search, else the user is asked (the chosen name, at most 70
// bytes, replaces the sheet's). -128 when the user cancels; the files in the order of the sheets.
OSStatus FindV36ProjectSheets(const FileSpec* projectSpec, V36ProjectFile* project, std::vector<FileSpec>* files);

}  // namespace plexa
