// The kinds of files the open panel offers (see openkinds.h).
#include "files/openkinds.h"

#include <cstring>

#include "foundation/strings.h"

namespace plexa {

namespace {

struct OpenKind {
    uint32_t flag;
    const char* type;       // none: no type admits the kind by itself
    const char* extension;
};
constexpr OpenKind kOpenKinds[] = {
    {kOpenKindSheets, "SCH4", ".SHX"},    {kOpenKindProjects, "PRJ4", ".PRX"},
    {kOpenKindLibraries, "LIB4", ".LBX"}, {kOpenKindDatabases, nullptr, ".ASC"},
    {kOpenKindScripts, "TEXT", ".SXP"},
};
constexpr size_t kMinimumNameForExtension = 5;

bool CodeIs(const char (&code)[5], const char* value) { return std::strncmp(code, value, 4) == 0; }

}  // namespace

bool FileMatchesOpenKinds(const FileSpec* spec, uint32_t mask) {
    if (!spec) return false;
    const bool longName = std::strlen(spec->name) >= kMinimumNameForExtension;
    for (const OpenKind& kind : kOpenKinds) {
        if (!(mask & kind.flag)) continue;
        if (kind.type && CodeIs(spec->type, kind.type)) return true;
        if (longName && NameHasExtension(spec->name, kind.extension)) return true;
        if (kind.flag == kOpenKindDatabases && CodeIs(spec->creator, "QPLX") && CodeIs(spec->type, "TEXT"))
            return true;
    }
    return false;
}

}  // namespace plexa
