// The conversion of a version-3.6 sheet or project into a current project: the output folder
// beside the source (converter/output.h) holds the project file ("PRJ4") and one sheet file per
// sheet. The sheets of a project are analysed together first (converter/v36parts.h), so that a
// part whose sections lie on several sheets becomes one component, then each is translated
// (converter/v36sheetconvert.h) and written.
//
// Output names: a sheet's file is FixSheetOutputName of its name; two sheets whose output names
// are equal (without regard to case), as sheets of the same name from different folders are, get
// distinct names: the second "NAME 2.SHX", the third "NAME 3.SHX", and so on.
//
// The project: its top-level sheets in the order of the source, the attribute "SheetCount", and
// the settings every converted project gets: flat signal scope (2), no flags, instance naming 0,
// global signals flagged (1).
//
// Sheet files are written through WriteConvertedSheet, each named in the log as it is written; the
// project file is written last.
// Every sheet is read and analysed before anything is created: a sheet that does not read leaves
// nothing behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct SheetRecord;

// What a conversion did, for its caller and tests.
struct ProjectConversion {
    std::string projectPath;               // the project file written
    std::vector<std::string> sheetNames;   // output names, in order
    // With `keepSheets`, the translated sheets (the caller destroys them with DestroySheet).
    bool keepSheets = false;
    std::vector<SheetRecord*> sheets;
};

// The output sheet names of source sheet names, made distinct.
std::vector<std::string> UniqueSheetOutputNames(const std::vector<std::string>& names);

// Converts a single sheet into a project of its own.
OSStatus ConvertV36SheetFile(const FileSpec* source, ProjectConversion* result);
// Converts a project and its sheets; -128 when a sheet was not found (the user cancelled).
OSStatus ConvertV36ProjectFile(const FileSpec* source, ProjectConversion* result);

}  // namespace plexa
