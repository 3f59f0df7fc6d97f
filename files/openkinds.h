// The kinds of files that the open-files panel offers: a mask of kinds, each admitting files by
// their type code or by the extension of their name. Extensions are the last four characters of
// a name of at least five, compared without regard to case.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"

namespace plexa {

constexpr uint32_t kOpenKindSheets = 1;      // type "SCH4", or ".SHX"
constexpr uint32_t kOpenKindProjects = 2;    // type "PRJ4", or ".PRX"
constexpr uint32_t kOpenKindLibraries = 4;   // type "LIB4", or ".LBX"
constexpr uint32_t kOpenKindDatabases = 8;   // ".ASC", or creator "QPLX" with type "TEXT"
constexpr uint32_t kOpenKindScripts = 16;    // type "TEXT", or ".SXP"
constexpr uint32_t kOpenKindsAll = 31;

// Whether one of the kinds in the mask admits the file.
bool FileMatchesOpenKinds(const FileSpec* spec, uint32_t mask);

}  // namespace plexa
