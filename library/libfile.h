// Library files: a symbol library kept in one dynamic file of type "LIB4" (creator "QPLX",
// extension ".LBX"). Each item is stored whole, in its flattened form, in a block of type 1; one
// block of type 2, the item map, lists every name of every item, sorted, with the block that holds
// it, behind the digest of all names' character pairs; a 256-byte application header says where
// the item map is and whether it can be trusted. This module creates, opens, changes, flushes and
// closes library files and keeps their item maps; the `LibraryFileRecord` owns its open dynamic
// file, its map and the map's names block.
//
// Application header (256 bytes):
//   0   u8   item map invalid: 1 on disk from before the first change of an open file until the
//            item map has been written again; a file found with it set has its map rebuilt
//   1   u8   0
//   2   u8   names are UTF-8: 1 in files whose map this program wrote; 0: names are Mac Roman and
//            are recoded when the map is read
//   3   u8   1 in files that this program wrote: the long at 4 is little-endian; any other value:
//            it is big-endian
//   4   u32  block id (data offset) of the item map block, 0 when none
//   8   248  0
//
// Block type 1: one item, the bytes of its flattened form, as many as the block's size. Its id is
// its data offset.
// Block type 2, the item map: the 512-byte names digest (never swapped), the names string block
// (either byte order, told by its magic), u16 byte-order mark 0x1234, and the map as a DA array in
// its stored form with 12-byte entries (swapped by "L2W" when the mark reads 0x3412).
// Block type 3: an item block being written. Items are written under this type and become type 1
// only once all their bytes are in the file, so that a program stopped in the middle of a write
// leaves no partial item behind; a rebuild of a writable file releases such blocks.
//
// Crash safety: header byte 0 reaches the disk before any block changes and is cleared only after
// the new map block has reached it, so a file whose writer stopped anywhere opens with its map
// rebuilt from the item blocks. A rebuild skips blocks whose bytes are not an item with names and,
// on a read-only file with a damaged tail, keeps the items before the damage.
//
// Statuses: 0x20002712 not a library file; 0x20000028 the map block id names a block that is not
// an item map; -40 a block id that names no item block; -54 a change of a read-only file;
// -38 a record with no open file; -108 no memory.
#pragma once

#include <cstdint>

#include "files/item_map.h"
#include "files/names_digest.h"
#include "files/sheetfile.h"
#include "foundation/dynfile.h"
#include "foundation/stringblock.h"

namespace plexa {

constexpr OSStatus kNotItemMapErr = 0x20000028;

constexpr uint8_t kLibraryItemBlockType = 1;
constexpr uint8_t kLibraryMapBlockType = 2;
constexpr uint8_t kLibraryPendingItemBlockType = 3;
constexpr uint32_t kLibraryHeaderSize = 256;
constexpr uint16_t kLibraryMapMark = 0x1234;
constexpr const char* kLibraryFileType = "LIB4";
constexpr const char* kLibraryCreator = "QPLX";
constexpr const char* kLibraryExtension = ".LBX";

// `OpenLibraryFile` modes.
constexpr uint32_t kLibraryOpenReadOnly = 0x1;
constexpr uint32_t kLibraryOpenLoadMap = 0x2;
constexpr uint32_t kLibraryOpenRebuildMap = 0x4;
// A writable open of a file cut short by a crash (its last block lost) cuts it back to its last
// whole block and rebuilds the map from the items left; the record then has kLibraryCutShort.
constexpr uint32_t kLibraryOpenRecoverCut = 0x8;

// `LibraryFileRecord::flags` (in memory only).
constexpr uint32_t kLibraryRebuildMap = 0x1;    // rebuild the item map before it is written
constexpr uint32_t kLibraryItemDeleted = 0x2;   // an item block was deleted
constexpr uint32_t kLibrarySheetFile = 0x4;     // a sheet opened as a library of its file symbols
constexpr uint32_t kLibraryCutShort = 0x8;      // opened after its lost last block was cut off

// The application header as held in memory: the map's block id in native order.
struct LibraryFileHeader {
    uint8_t mapInvalid;
    uint8_t zero1;
    uint8_t namesUTF8;
    uint8_t writtenHere;
    uint32_t mapBlockId;
    uint8_t zero[248];
};
static_assert(sizeof(LibraryFileHeader) == kLibraryHeaderSize);

// One open library file; all zero when closed.
struct LibraryFileRecord {
    DynamicFileRecord file;
    LibraryFileHeader header;
    LibraryItemMap map;   // none until read or built
    StringBlock names;    // the map's names
    uint32_t flags;
    uint32_t cutBytes;    // with kLibraryCutShort: the bytes of the lost block that were cut off
};

// A procedure called once per item while a map is rebuilt (the wait cursor); none by default.
using LibraryWaitProc = void (*)();
void SetLibraryWaitProc(LibraryWaitProc proc);
LibraryWaitProc GetLibraryWaitProc();

// The question that names a new library file (a save panel): true with the spec filled in when the
// user accepts. The application installs it; without one the answer is no.
using PromptCreateLibraryProc = bool (*)(FileSpec* spec);
void SetPromptCreateLibraryProc(PromptCreateLibraryProc proc);
PromptCreateLibraryProc GetPromptCreateLibraryProc();
constexpr const char* kCreateLibraryPrompt = "Create Library File:";
constexpr const char* kLibraryFilesTypeName = "Library Files";
constexpr const char* kUntitledLibraryName = "Untitled Library.LBX";
bool PromptCreateLibrary(FileSpec* spec);

// ---- Files ----

// Creates an empty library file (a file that exists is replaced); on a failure after the file was
// made it is deleted.
OSStatus CreateLibraryFile(FileSpec* spec);
// Opens a library file (modes above). Without kLibraryOpenLoadMap and kLibraryOpenRebuildMap only
// the header is read; otherwise the stored map is read, or built from the item blocks when there
// is none or it is marked invalid (always with kLibraryOpenRebuildMap; a writable file then has the
// mark set on disk at once, so that the rebuilt map is written at the next flush). On failure the
// record is closed and zero.
OSStatus OpenLibraryFile(const FileSpec* spec, LibraryFileRecord* record, uint32_t mode);
// Flushes (unless read-only or a sheet) and closes the file, frees the map and names and zeroes the
// record; a flush failure is returned in preference to a close failure; -38 when nothing is open.
OSStatus CloseLibraryFile(LibraryFileRecord* record);
// Writes the item map when it changed and flushes the file (nothing for a read-only file).
OSStatus FlushLibraryFile(LibraryFileRecord* record);
// A library save: the changes between the two (items written and deleted, the flush) reach the
// file whole or not at all (a dynamic-file save, see foundation/dynfile.h). When the save ends
// without committing, the file is as it was byte for byte and the record's header and map are
// read from it again; EndLibrarySave returns the save's failure then. -54 for a read-only file.
OSStatus BeginLibrarySave(LibraryFileRecord* record);
OSStatus EndLibrarySave(LibraryFileRecord* record, OSStatus result);
// When the map is marked invalid: rebuilds it first when asked (flag bit 0), writes it as a new
// type-2 block (the old ones released), then writes the header with the mark cleared.
OSStatus WriteLibraryItemMap(LibraryFileRecord* record);
// Writes all 256 header bytes with byte 3 set (nothing for a read-only file).
OSStatus WriteLibraryFileHeader(LibraryFileRecord* record);
// Reads the header into native order; 0x20002712 when the file has no 256-byte header.
OSStatus ReadLibraryFileHeader(DynamicFileRecord* file, LibraryFileHeader* header);
// 0 for a library file, 0x20002712 for another dynamic file, else the dynamic file's failure.
OSStatus IsLibraryFile(const FileSpec* spec);

// ---- Item map ----

// Builds the map from the item blocks, in file order; on failure the map and names are none.
OSStatus BuildLibraryItemMap(LibraryFileRecord* record);
// Reads the stored map and its names (header none: read it first). Nothing is read, and both stay
// none, when there is no map or it is marked invalid. Names of files from before UTF-8 are
// recoded and the map sorted again.
OSStatus ReadItemMap(DynamicFileRecord* file, const LibraryFileHeader* header, LibraryItemMap* outMap,
                     StringBlock* outNames);
// Opens the file read-only, reads its stored map and closes it.
OSStatus LoadLibraryFileItemMap(const FileSpec* spec, LibraryItemMap* outMap, StringBlock* outNames);
// Sets the invalid mark: on disk (synced) for a writable file, in the header copy for a read-only
// one. Nothing when it is set already; on a failure the mark stays clear.
OSStatus InvalidateDataMapInFile(LibraryFileRecord* record, LibraryFileHeader* header);
// Adds the map entries of a flattened item to the record's map (see AddLibItemMapEntries).
OSStatus AddLibItemMapEntriesForData(LibraryFileRecord* record, Handle flatItem, uint32_t blockId);

// The digest of a library's names, or of a sheet file's file symbols, into outDigest (all zero when
// none can be read); with a query whose rows the digest covers (64 file rows) and both outMap and
// outNames, also the item map. query may be none (then no map is read).
OSStatus CheckLibraryFileDigest(const FileSpec* spec, const ItemNamesDigest* query, int32_t queryRows,
                                ItemNamesDigest* outDigest, LibraryItemMap* outMap, StringBlock* outNames);

// ---- Items ----

// Writes the flattened item as a new block and reports its id; with addToMap and a map, adds its
// entries (a failure to add leaves the block written and the map marked for a rebuild); else marks
// the map for a rebuild. -50 (nothing written) for bytes that are not a flattened item with names.
OSStatus WriteLibraryFileItem(LibraryFileRecord* record, Handle flatItem, bool addToMap, uint32_t* outBlockId);
// Deletes an item block; with removeFromMap and a map, removes its entries, else marks the map for
// a rebuild. -40 for an id that names no item block.
OSStatus DeleteLibraryFileItem(LibraryFileRecord* record, uint32_t blockId, bool removeFromMap);
// A new handle with the item's bytes (for a sheet opened as a library, its file symbol at that
// position). -40 for an id that names no item block.
OSStatus LoadLibraryFileItem(LibraryFileRecord* record, uint32_t blockId, Handle* outHandle);
// The file symbol at a stream position of a sheet file, as a flattened item; 0x20002712 unless the
// file is a sheet file.
OSStatus LoadLibraryItemFromSheet(DynamicFileRecord* file, uint32_t position, Handle* outItem);

}  // namespace plexa
