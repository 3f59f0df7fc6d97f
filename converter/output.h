// Names and places of what the converter writes, and how an output file takes the place of an
// older one.
//
// Everything goes next to the source, into the folder that holds it:
// - a sheet or a project: a folder named after the source less ".SCM" / ".SPR", cut to 40
//   characters and marked with "_" when longer, followed by " (Plexa)"; in it the project file
//   and the sheets;
// - a library: "Converted Libraries (Plexa)" (or, while a file that is not a folder has that
//   name, "Converted Libraries (Plexa).1", ".2", ...), holding one ".LBX" file per library.
// Extensions are compared without regard to case. Names are UTF-8; lengths count characters.
//
// An output file never destroys an older file of its name before it is complete: it is written
// under a pending name in the same folder and then renamed over the older one (which is logged),
// so a failed conversion leaves the older file as it was.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/filespec.h"

namespace plexa {

constexpr const char* kOutputFolderSuffix = " (Plexa)";
constexpr const char* kConvertedLibrariesFolder = "Converted Libraries (Plexa)";
constexpr uint32_t kOutputNameLimit = 40;  // characters kept of a source name before the "_"

// The source name less the extension, cut and marked when longer than 40 characters.
std::string CutOutputName(const std::string& name);
// The folder that holds the converted project or single sheet.
std::string OutputProjectFolderName(const char* sourceName, bool isProject);
// The project file in that folder.
std::string OutputProjectFileName(const char* sourceName, bool isProject);
// A sheet's file name: a name that ends in ".SCM" loses it (and a ".SHX" before it) and ends in
// ".SHX"; any other name stays.
std::string FixSheetOutputName(const char* sheetName);
// The library file in the libraries folder: the name less ".SLB" and ".LBX", plus ".LBX".
std::string OutputLibraryFileName(const char* sourceName);

// The output folder of a project or sheet as a spec of its parent and its name. With create it is
// made when missing (an existing folder is used); -48 when a file that is not a folder has the
// name. *created, when asked, tells whether it was made now.
OSStatus OutputProjectFolder(const FileSpec* source, bool isProject, bool create, FileSpec* folder,
                             bool* created = nullptr);
// The libraries folder as a spec of its parent and its name: the first of the names above that
// is free or a folder. With create it is made when missing.
OSStatus OutputLibraryFolder(const FileSpec* source, bool create, FileSpec* folder, bool* created = nullptr);
// Removes a folder (given as above) made for output that holds nothing, so that a conversion that
// wrote nothing leaves nothing behind.
void RemoveEmptyOutputFolder(const FileSpec* folder);
// A file of that name inside a folder given as above (the folder must exist).
OSStatus OutputFileSpec(const FileSpec* folder, const std::string& name, FileSpec* file);
// The absolute path of a spec (a folder spec names the folder); empty when it has none.
std::string OutputPath(const FileSpec* spec);

// An output file being written.
struct OutputFile {
    FileSpec target;   // the name it gets when complete
    FileSpec pending;  // where it is written until then
    bool open = false;
};
// Starts an output file: -48 when a folder has the target's name. The pending file is made
// empty, under a name of its own (O_EXCL); its writer writes it (CreateDataFile takes an empty file
// as it is), and CommitOutputFile or AbandonOutputFile ends it.
OSStatus BeginOutputFile(const FileSpec* target, OutputFile* file);
// The complete pending file takes the target's name. An older file of that name is replaced at
// that moment, and the replacement is logged. On failure the pending file is removed and an older
// file stays as it was.
OSStatus CommitOutputFile(OutputFile* file);
// Removes the pending file; an older file stays as it was.
void AbandonOutputFile(OutputFile* file);

}  // namespace plexa
