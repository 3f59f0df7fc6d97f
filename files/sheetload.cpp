// Loading sheet files, the loaded-sheet lookups and the project sheet caches (see sheetload.h).
#include "files/sheetload.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/filesstate.h"
#include "files/project.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "model/annotation.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetstrings.h"

namespace plexa {

namespace {

SheetLoadHooks gLoadHooks;

// The sheets each project loaded without windows, in load order.
std::unordered_map<ProjectRecord*, std::vector<SheetRecord*>>& Caches() { return gFilesState.projectSheets; }

bool SheetMatches(SheetRecord* sheet, const FileSpec* spec, bool byName) {
    if (!byName) return EqualFileSpecs(&sheet->fileSpec, spec);
    return !IsDirectoryInvalid(&sheet->fileSpec.directory) && strcasecmp(sheet->fileSpec.name, spec->name) == 0;
}

uint32_t StringBlockUsed(StringBlock block) {
    if (!block) return 0;
    return reinterpret_cast<const StringBlockHeader*>(*block)->used;
}

// Uses a sheet-local annotation held for the file (the sheet was open before in this run), or
// lends the sheet's own map to a new entry that the sheet owns.
OSStatus AdoptSheetLocalAnnotation(SheetRecord* sheet) {
    if (FindSheetLocalAnnotation(&sheet->fileSpec)) {
        SheetLocalAnnotationEntry* held = GetSheetLocalAnnotation(&sheet->fileSpec, false);
        if (!held) return status::kOutOfMemory;
        DestroyAnnotationMap(sheet->annotationMap);
        sheet->annotationMap = held->map;
        sheet->sheetLocalAnnotation = held;
        return status::kNoErr;
    }
    if (!sheet->annotationMap) return status::kNoErr;
    SheetLocalAnnotationEntry* entry = CreateSheetLocalAnnotation(&sheet->fileSpec, sheet->annotationMap);
    if (!entry) return status::kNoErr;  // the sheet keeps its own map
    entry->referenceCount = 1;
    sheet->sheetLocalAnnotation = entry;
    return status::kNoErr;
}

}  // namespace

void SetSheetLoadHooks(const SheetLoadHooks& hooks) { gLoadHooks = hooks; }
const SheetLoadHooks& GetSheetLoadHooks() { return gLoadHooks; }

void MaintainSheetStringBlock(SheetRecord* sheet) {
    if (!sheet) return;
    if (sheet->stored.encodingLevel < kSheetUTF8EncodingLevel) sheet->stored.compactionThreshold = 1;
    if (StringBlockUsed(sheet->stringBlock) <= sheet->stored.compactionThreshold) return;
    // A sheet that cannot be compacted now keeps its block as read, and its level: the next load
    // tries again.
    if (gLoadHooks.compactStringBlock) (void)gLoadHooks.compactStringBlock(sheet);
}

OSStatus LoadSchematicSheet(const FileSpec* spec, SheetRecord** sheet, SheetWindowState* state,
                            bool* subSheetFlagsFixed) {
    *sheet = nullptr;
    SheetRecord* made = nullptr;
    OSStatus st = LoadSheetFile(spec, &made, subSheetFlagsFixed);
    if (st) return st;
    if (state) {
        std::memset(state, 0, sizeof *state);
        DynamicFileRecord file;
        if (OpenDynamicFile(spec, true, &file) == status::kNoErr) {
            if (ReadSheetWindowState(&file, state) != status::kNoErr) std::memset(state, 0, sizeof *state);
            (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
        }
    }
    st = AdoptSheetLocalAnnotation(made);
    if (st) {
        DestroySheet(made);
        if (subSheetFlagsFixed) *subSheetFlagsFixed = false;
        return st;
    }
    VXFileTimes times;
    if (VXGetGlobalFileTimes(spec, &times) == status::kNoErr) {
        made->fileTimes[0] = uint32_t(times.creation);
        made->fileTimes[1] = uint32_t(times.modification);
    }
    MaintainSheetStringBlock(made);
    *sheet = made;
    return status::kNoErr;
}

SheetRecord* GetCachedProjectSheet(ProjectRecord* project, const FileSpec* spec, bool byName) {
    if (!project || !spec) return nullptr;
    auto found = Caches().find(project);
    if (found == Caches().end()) return nullptr;
    for (SheetRecord* sheet : found->second)
        if (SheetMatches(sheet, spec, byName)) return sheet;
    return nullptr;
}

SheetRecord* GetLoadedSheet(const FileSpec* spec, ProjectRecord* project, bool byName) {
    if (!spec) return nullptr;
    // A sheet opened without showing its window is loaded all the same: finding it keeps a file
    // from being loaded twice (two copies whose saves would overwrite each other's changes).
    if (gLoadHooks.openSheets)
        for (bool visible : {true, false})
            for (SheetRecord* sheet : gLoadHooks.openSheets(visible))
                if (sheet && SheetMatches(sheet, spec, byName)) return sheet;
    return GetCachedProjectSheet(project, spec, byName);
}

void ReleaseCachedProjectSheets(ProjectRecord* project) {
    auto found = Caches().find(project);
    if (found == Caches().end()) return;
    std::vector<SheetRecord*> sheets = std::move(found->second);
    Caches().erase(found);
    for (SheetRecord* sheet : sheets) DestroySheet(sheet);
}

OSStatus LoadProjectCacheSheet(ProjectRecord* project, SheetSpec* spec, const FileSpec* file,
                               SheetRecord** sheet) {
    *sheet = nullptr;
    if (!project || !file) return status::kParamErr;
    if (SheetRecord* cached = GetCachedProjectSheet(project, file, false)) {
        *sheet = cached;
        return status::kNoErr;
    }
    SheetRecord* loaded = nullptr;
    if (OSStatus st = LoadSchematicSheet(file, &loaded, nullptr)) return st;
    loaded->project = project;
    loaded->sheetSpec = spec;
    try {
        Caches()[project].push_back(loaded);
    } catch (const std::bad_alloc&) {
        DestroySheet(loaded);
        return status::kOutOfMemory;
    }
    *sheet = loaded;
    return status::kNoErr;
}

SheetRecord* GetLoadedSheetByName(const char* name, ProjectRecord* project) {
    if (!name) return nullptr;
    FileSpec spec;
    ClearFileSpec(&spec);
    SetFileSpecName(&spec, name);
    return GetLoadedSheet(&spec, project, true);
}

OSStatus LoadSheetForStore(ProjectRecord* project, SheetSpec* spec, SheetRecord** sheet) {
    *sheet = nullptr;
    if (!project || !spec) return status::kParamErr;
    FileSpec file;
    bool cancelled = false;
    if (!ResolveSheetSpecFile(project, spec, &file, &cancelled))
        return cancelled ? status::kUserCancelled : status::kNotFound;
    SheetRecord* loaded = nullptr;
    if (OSStatus st = LoadSchematicSheet(&file, &loaded, nullptr)) return st;
    loaded->project = project;
    loaded->sheetSpec = spec;
    *sheet = loaded;
    return status::kNoErr;
}

bool IsASCIIDatabaseText(const uint8_t* bytes, size_t size, bool* isLibrary) {
    if (isLibrary) *isLibrary = false;
    if (!bytes) return false;
    char buffer[kAsciiDatabaseProbeSize] = {};
    size = std::min(size, kAsciiDatabaseProbeSize);
    for (size_t i = 0; i < size; ++i) buffer[i] = char(std::toupper(bytes[i]));
    const std::string_view text(buffer, sizeof buffer);
    if (text.find(kAsciiDatabaseKeyword) == std::string_view::npos) return false;
    if (isLibrary) *isLibrary = text.find(kAsciiLibraryKeyword) != std::string_view::npos;
    return true;
}

bool IsASCIIDatabaseFile(const FileSpec* spec, bool* isLibrary, OSStatus* status) {
    if (isLibrary) *isLibrary = false;
    if (status) *status = status::kNoErr;
    DataFileRef file = 0;
    OSStatus st = OpenDataFile(spec, true, &file);
    uint8_t buffer[kAsciiDatabaseProbeSize] = {};
    int32_t count = int32_t(sizeof buffer);
    if (!st) {
        st = ReadFromFile(file, buffer, &count);
        if (st == status::kEndOfFile) st = status::kNoErr;  // a short file is no failure
        (void)CloseAndOrFlushDataFile(file, true, false);  // read only: nothing to flush
    }
    if (st) {
        if (status && st != status::kUserCancelled) *status = st;
        return false;
    }
    return IsASCIIDatabaseText(buffer, size_t(std::max(count, 0)), isLibrary);
}

}  // namespace plexa
