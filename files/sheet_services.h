// What sheet specs, sheet instances, sheet files and the project file need of the modules that
// own sheets and annotation: the sheet loader, the single-block readers of a sheet file, the sheet
// model's annotation maps, symbol names and sheet symbols, and the sheet-local annotation cache.
// Those modules install these calls at start-up; where a call is missing, the default named
// beside it applies (what a program without that module would find).
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct AnnotationMap;
struct DynamicFileRecord;
struct ProjectRecord;
struct SheetLocalAnnotationEntry;
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
    // loaded without windows). Default: none.
    SheetRecord* (*getLoadedSheet)(const char* name, ProjectRecord* project) = nullptr;
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

    // Whether the map has pending changes. Default: AnnotationMapHasChanges.
    bool (*annotationMapHasChanges)(AnnotationMap* map) = nullptr;
    // A sheet-local annotation entry's map, and its dirty mark. Default: none, no.
    AnnotationMap* (*localAnnotationMap)(SheetLocalAnnotationEntry* entry) = nullptr;
    bool (*localAnnotationDirty)(SheetLocalAnnotationEntry* entry) = nullptr;
    // Sets or clears an entry's dirty mark. Default: nothing.
    void (*setLocalAnnotationDirty)(SheetLocalAnnotationEntry* entry, bool dirty) = nullptr;
    // The number of sheet specs that use an entry. Default: 1.
    int16_t (*localAnnotationUseCount)(SheetLocalAnnotationEntry* entry) = nullptr;
    // The cached sheet-local annotation entry of a sheet file, its use count raised; with load
    // it is read from the file when not cached. Default: none.
    SheetLocalAnnotationEntry* (*getSheetLocalAnnotation)(const FileSpec* file, bool load) = nullptr;
    // Writes a map into a sheet file as its own annotation. Default: kSheetServiceMissing.
    OSStatus (*writeSheetAnnotation)(const FileSpec* file, AnnotationMap* map) = nullptr;
    // Frees a spec's map; drops a spec's use of a local annotation entry. Default:
    // DestroyAnnotationMap, nothing.
    void (*destroyAnnotationMap)(AnnotationMap* map) = nullptr;
    void (*releaseLocalAnnotation)(SheetLocalAnnotationEntry* entry) = nullptr;
    // Moves an instance's annotation from one spec's map to another's. Default: 0 (no maps).
    OSStatus (*transferInstanceAnnotation)(ProjectRecord* project, uint32_t instanceId,
                                           SheetSpec* from, SheetSpec* to) = nullptr;
    // Copies an instance's annotation in the spec's map to a new instance id. Default: 0.
    OSStatus (*copyInstanceAnnotation)(ProjectRecord* project, SheetSpec* spec, uint32_t fromId,
                                       uint32_t toId) = nullptr;
    // Drops the entries of instances that the project no longer has from the spec's map.
    // Default: nothing.
    void (*purgeMissingInstances)(ProjectRecord* project, SheetSpec* spec) = nullptr;
    // Writes the map's stored form. Default: kSheetServiceMissing.
    OSStatus (*writeAnnotationMap)(StreamRecord* stream, AnnotationMap* map) = nullptr;

    // A placed symbol's sub-sheet file name (a sheet symbol's file name, else its "~SUB"
    // attribute) and its name (its component's name, a sheet symbol's name, else its "~NAM"
    // attribute), into buffers of `size` bytes. Default: the attributes.
    void (*symbolSubSheetName)(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) = nullptr;
    void (*symbolName)(SheetRecord* sheet, SymbolRecord* symbol, char* out, int32_t size) = nullptr;
};

void SetSheetServices(const SheetServices& services);
const SheetServices& GetSheetServices();

}  // namespace plexa
