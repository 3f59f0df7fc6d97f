// What sheet specs, sheet instances, sheet files and the project file need of the modules above
// them that own open sheets, sheet files and sheet symbols: the sheet loader, the single-block
// readers of a sheet file, the annotation block of a sheet file and the names of sheet symbols.
// Those modules install these calls at start-up; where a call is missing, the default named
// beside it applies (what a program without that module would find). The annotation maps and the
// sheet-local annotation cache of the model are called directly.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct AnnotationMap;
struct DAHeader;
struct DynamicFileRecord;
struct ProjectRecord;
struct SheetRecord;
struct SheetSpec;
struct StreamRecord;
struct SymbolRecord;

// The status of a sheet-file read that no module is there to do.
constexpr OSStatus kSheetServiceMissing = -4;

// One entry of an open sheet's sub-sheet map.
struct OpenSubSheetEntry {
    const char* subSheetName;   // the child sheet's file name
    const char* referenceName;  // the symbol's reference name
    uint32_t serial;
    uint32_t symbolFlags;       // 0x400 sheet symbol, 0x800 names a sub-sheet, 0x1000, 0x2000
    bool componentOrSheetSymbol;
};

// One stored sub-sheet reference of a sheet file.
struct FileSubSheetEntry {
    const char* subSheetName;
    const char* symbolName;
    uint32_t serial;
    uint16_t flags;
};

using OpenSubSheetProc = void (*)(const OpenSubSheetEntry& entry, void* data);
using FileSubSheetProc = void (*)(const FileSubSheetEntry& entry, void* data);
// One file symbol of a sheet file: its stream position in the file-symbols block and its
// flattened library item (lent for the call). A non-zero result ends the walk and is returned.
using FileSymbolProc = OSStatus (*)(uint32_t position, Handle flatItem, void* data);

struct SheetServices {
    // The wait cursor of long walks. Default: nothing.
    void (*busy)() = nullptr;

    // The loaded sheet of that file name (in a window, or in the project's cache of sheets
    // loaded without windows). At start-up: GetLoadedSheetByName (files/sheetload.h).
    SheetRecord* (*getLoadedSheet)(const char* name, ProjectRecord* project) = nullptr;
    // Loads a sheet file without a window into the project's cache of sheets loaded that way,
    // where getLoadedSheet then finds it. At start-up: LoadProjectCacheSheet; cleared:
    // kSheetServiceMissing.
    OSStatus (*loadSheet)(ProjectRecord* project, SheetSpec* spec, const FileSpec* file,
                          SheetRecord** sheet) = nullptr;
    // Releases the sheets of the project's cache that loadSheet put there. At start-up:
    // ReleaseCachedProjectSheets; cleared: nothing.
    void (*releaseLoadedSheets)(ProjectRecord* project) = nullptr;
    // Every entry of an open sheet's sub-sheet map, in the map's order. Default: none.
    void (*enumOpenSubSheets)(SheetRecord* sheet, OpenSubSheetProc proc, void* data) = nullptr;
    // Every stored sub-sheet reference of a sheet file (block 3), in file order; the status of
    // the read, 0 when the file has none. Default: kSheetServiceMissing.
    OSStatus (*enumFileSubSheets)(const FileSpec* file, FileSubSheetProc proc, void* data) = nullptr;
    // The rank in an open sheet's header copy. Default: 9999.
    uint16_t (*openSheetRank)(SheetRecord* sheet) = nullptr;
    // The rank in a sheet file's header block. Default: kSheetServiceMissing.
    OSStatus (*fileSheetRank)(const FileSpec* file, uint16_t* rank) = nullptr;
    // Every file symbol of an open sheet file (block 12), in file order; kNoFileSymbolsErr when
    // the sheet has none. Default: the sheet file's own reader.
    OSStatus (*enumFileSymbols)(DynamicFileRecord* file, FileSymbolProc proc, void* data) = nullptr;
    // The one file symbol at a stream position of block 12, as a new handle of its flattened
    // item. Default: the sheet file's own reader.
    OSStatus (*readOneFileSymbol)(DynamicFileRecord* file, uint32_t position, Handle* outItem) =
        nullptr;

    // Writes a map into a sheet file as its own annotation. Default: kSheetServiceMissing.
    OSStatus (*writeSheetAnnotation)(const FileSpec* file, AnnotationMap* map) = nullptr;
    // The exports table of a sheet being written (files/sheetexports.h), freed by the caller;
    // none when memory fails. Default: the table built from the sheet's exporting symbols.
    DAHeader** (*buildExportsTable)(SheetRecord* sheet) = nullptr;

    // A placed symbol's sub-sheet file name (a sheet symbol's file name, else its "~SUB"
    // attribute) and its name (its component's name, a sheet symbol's name, else its "~NAM"
    // attribute), into buffers of `size` bytes. Default: the model's GetSymbolSheetName and
    // GetSymbolName (sheet symbols through the symbol hooks), else the attributes.
    void (*symbolSubSheetName)(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) = nullptr;
    void (*symbolName)(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) = nullptr;
};

void SetSheetServices(const SheetServices& services);
const SheetServices& GetSheetServices();

}  // namespace plexa
