// The dynamic file: the block-structured container in which sheets, projects, libraries and
// preferences are stored. One data file holds a fixed head, a header record, an application
// header whose size is fixed at creation, and then a sequence of typed blocks. Blocks are
// allocated from a free list or appended, released back to the free list, found by type, and
// written through a temporary stream so that a block's size need not be known in advance. What
// the blocks and the application header contain belongs to each format's owner.
//
// Stored layout (every integer of the head, header record, block heads and free info is
// big-endian):
//
//   0   4  magic "ORDF"
//   4   2  version: 258 written; 257 read the same; below 257 the old layout; 259+ refused
//   6   4  file type, a four-character code ("SCH4", ...)
//   10  4  header-record size (46)
//   14  4  application-header size, fixed at creation, may be 0
//   18  46 header record: u32 first-free (data offset of the first free block, 0 = none,
//          0xFFFFFFFF while the free list is being changed), then 42 reserved zero bytes
//   64  .. application header, then the blocks
//
// The 18-byte head swaps by the template "LWL3".
//
// Old layout (version below 257): blocks start at offset 6, the file type reads "????", there is
// no application header, and the header record is the data of the first block of type 254
// (16 bytes, the first u32 is first-free).
//
// Block: a 6-byte head {u8 type; u8 head length = 6 + slack; u32 data size}, the data, then the
// slack bytes. A block is named by its data offset (its head lies 6 bytes before). The next block's
// data offset is data offset + size + head length. Every block takes at least 8 data bytes (a
// smaller block gets 8 - size slack). Types 0-250 belong to the formats; 251-253 are never written
// and are dropped by compaction; 254 is the old layout's header record; 255 is a free block.
//
// Free block: type 255, head length 6, size = its free bytes; its first 8 bytes are the
// `FreeBlockInfo` {u32 size; u32 next free data offset, 0 = end}.
//
// Crash guard: the first change of the free list after an open or a flush writes 0xFFFFFFFF over
// the stored first-free and syncs the file; a flush writes the real value back. A file left by a
// crash in between opens with its free list rebuilt from the block heads.
//
// Nothing read from the file is trusted: every head, size, link and offset is checked against the
// file's length. A free list that fails any check (a link out of range, not at a free block of the
// block chain, a size mismatch, a cycle) is rebuilt on a read-write file and ignored on a
// read-only one. Block heads with a head length below 6, blocks reaching past the end of the file
// and partial heads end walks with -40 (damaged) or -39 (truncated).
//
// States of a `DynamicFileRecord`:
//   closed     no stream: before `OpenDynamicFile`, after a failed open, after
//              `CloseAndMaybeFlushDynamicFile`;
//   read-only  open with kDynamicFileReadOnly: reads only, every change gives -54;
//   clean      open read-write, the stored first-free is the real one;
//   guarded    read-write after the first change of the free list since the open or the last
//              flush: the stored first-free reads 0xFFFFFFFF and kDynamicFileHeaderChanged is set;
//              a flush (`FlushDynamicFile`, or a close with flush) writes the real value -> clean;
//   updating   (with clean or guarded) the block stream and its temporary file exist, from
//              `BeginFileUpdates` / `BeginFileBlockWrite` until `EndFileUpdates` or the close.
//
// Statuses: 0x20002AF8 not a dynamic file; 0x20002711 version too new; 0x20002AF9 range outside
// the application header; -54 a change of a read-only file; -50 bad size or type; -38 not open /
// no block stream; -108 no memory; -39 a block or the head reaches past the end of the file; -40
// a damaged block head or a bad block offset.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct StreamRecord;

constexpr uint32_t kDynamicFileMagic = FourCC("ORDF");
constexpr uint16_t kDynamicFileVersion = 258;
constexpr uint16_t kDynamicFileOldestCurrentVersion = 257;
constexpr uint32_t kDynamicFileHeadSize = 18;
constexpr uint32_t kDynamicFileHeaderRecordSize = 46;
constexpr uint32_t kOldHeaderRecordSize = 16;
constexpr uint32_t kFileBlockHeadSize = 6;
constexpr uint32_t kMinFileBlockSize = 8;
constexpr uint32_t kFirstFreeChanging = 0xFFFFFFFF;
constexpr const char* kDynamicFileHeadTemplate = "LWL3";

// Block types.
constexpr uint8_t kLastFormatBlockType = 250;
constexpr uint8_t kOldHeaderBlockType = 254;
constexpr uint8_t kFreeBlockType = 255;

// `DynamicFileRecord::flags`.
constexpr uint16_t kDynamicFileReadOnly = 1;
constexpr uint16_t kDynamicFileHeaderChanged = 2;

// `EndFileBlockWrite` flags (values, not bit numbers).
constexpr uint32_t kBlockWriteAtEnd = 1;         // allocate at the end of the file
constexpr uint32_t kBlockWriteReleaseFirst = 2;  // release the first existing block of the type first

// The stored 18-byte head, in native order once read.
#pragma pack(push, 2)
struct DynamicFileHead {
    uint32_t magic;
    uint16_t version;
    uint32_t fileType;
    uint32_t headerRecordSize;
    uint32_t appHeaderSize;
};
#pragma pack(pop)
static_assert(sizeof(DynamicFileHead) == kDynamicFileHeadSize);

struct FileBlockHead {
    uint8_t type;
    uint8_t headLength;  // 6 + slack
    uint32_t size;
};

struct FreeBlockInfo {
    uint32_t size;
    uint32_t next;
};

// The header record as read; first-free in native order.
struct DynamicFileHeader {
    uint32_t firstFree;
    uint8_t reserved[kDynamicFileHeaderRecordSize - 4];
};

using DynamicFileIdleProc = void (*)();

struct DynamicFileSave;  // a save in progress (see BeginDynamicFileSave)

// An open dynamic file. The owner embeds it in its own record; it is valid from a successful
// `OpenDynamicFile` until `CloseAndMaybeFlushDynamicFile`.
struct DynamicFileRecord {
    StreamRecord* stream;          // over the data file
    StreamRecord* blockStream;     // where a block is built, made on the first block write
    FileSpec* blockSpec;           // the block stream's temporary file
    DynamicFileIdleProc idleProc;  // once per block step of scans, counts and compaction
    FourCharCode fileType;
    uint32_t headerOffset;     // 18; old layout: the type-254 block's data offset, 0 when none
    uint32_t headerSize;       // 46; 0 in the old layout
    uint32_t appHeaderOffset;  // 0 when there is no application header
    uint32_t appHeaderSize;
    // 18 + header size + application-header size; 6 in the old layout.
    uint32_t blocksStart;
    uint16_t flags;
    FileSpec spec;
    DynamicFileHeader header;
    DynamicFileSave* save;  // the save in progress, none outside one
};

// ---- Files ----

// Stores creator and type into the spec, creates the data file, and writes an empty dynamic file
// of the type with a zeroed application header of the given size.
OSStatus CreateDynamicFile(FileSpec* spec, const char* creator, const char* type, const char* fileType,
                           uint32_t appHeaderSize);
// Checks the head as `OpenDynamicFile` does and gives the file type ("????" for the old layout);
// with a buffer and a length, reads that part of the application header (the status is then that
// of `ReadDynamicFileHeader`, possibly 0x20002AF9). The file is closed again in every case.
OSStatus IsDynamicFileEx(const FileSpec* spec, FourCharCode* fileType, int32_t offset, void* buffer,
                         int32_t* length);
// Opens the file; a damaged free list is rebuilt (read-write) or ignored (read-only). A file to
// be written must have a sound block chain: a read-write open of a file with a damaged or cut
// block fails with -40 or -39 and changes nothing (a read-only open still reads the blocks before
// the damage); so does a read-write open of an old-layout file without its header block (-40).
// On failure the record holds no stream.
OSStatus OpenDynamicFile(const FileSpec* spec, bool readOnly, DynamicFileRecord* file);
// A file whose writer stopped in the middle of its last block (a partial head, or a block reaching
// past the end of the file) is cut back to the end of its last whole block, so that it can be
// opened for writing again; *cut gets the bytes dropped (0, nothing changed, when the chain is
// whole). A damaged chain (-40) is left as it is and its status returned.
OSStatus CutShortLastFileBlock(const FileSpec* spec, uint32_t* cut);
OSStatus CloseAndMaybeFlushDynamicFile(DynamicFileRecord* file, bool flush);
// Writes a changed first-free (after the blocks have reached the file) and flushes the stream.
OSStatus FlushDynamicFile(DynamicFileRecord* file, bool flushToDisk);
OSStatus EmptyDynamicFile(DynamicFileRecord* file);

// ---- Application header ----

uint32_t GetDynamicFileHeaderSize(const DynamicFileRecord* file);
// Transfer bytes at an offset inside the application header. The length is cut to what remains
// and the result is then 0x20002AF9, AFTER the bytes that fit were transferred; an offset outside
// the header, or a file without one, gives length 0 and 0x20002AF9. 0x20002AF9 therefore reports
// a short transfer, not a failure: callers check the length and must not hand the status to
// `Signal` blindly. Writing a read-only file gives -54.
OSStatus ReadDynamicFileHeader(DynamicFileRecord* file, int32_t offset, void* buffer, int32_t* length);
OSStatus WriteDynamicFileHeader(DynamicFileRecord* file, int32_t offset, const void* buffer, int32_t* length);

// ---- Blocks ----

// The first block of the type, from the start or after *offset; *offset and *size 0 (status 0)
// when there is none. Type 0 matches any block.
OSStatus FindFileBlock(DynamicFileRecord* file, uint8_t type, uint32_t* offset, uint32_t* size,
                       bool fromStart);
// The walk behind FindFileBlock: *offset 0 starts at the first block, else after that block.
// At the end (status 0) or on damage (status returned) offset, size and type come back 0.
OSStatus ScanFileBlocks(DynamicFileRecord* file, uint32_t* offset, uint32_t* size, uint8_t* type);
// Reads a block's head and leaves the stream at its data (size and type 0 on failure).
OSStatus GetFileBlockInfo(DynamicFileRecord* file, uint32_t offset, uint32_t* size, uint8_t* type);
// Reads up to *length bytes from the block's start; *length is cut to the block's size.
OSStatus ReadFileBlock(DynamicFileRecord* file, uint32_t offset, void* buffer, int32_t* length);
// The whole block in a new handle from the current pool (-108 when it cannot be had).
OSStatus LoadFileBlock(DynamicFileRecord* file, uint32_t offset, Handle* handle);
// Allocates a block (free list first) and writes the bytes into it; *offset 0 on failure, when
// the file is as before.
OSStatus WriteFileBlock(DynamicFileRecord* file, uint8_t type, uint32_t size, const void* bytes,
                        uint32_t* offset);
// From the free list (first fit) or at the end; leaves the stream at the block's data.
OSStatus AllocateFileBlock(DynamicFileRecord* file, uint32_t size, uint8_t type, uint32_t* offset);
// Always at the end of the file.
OSStatus AllocateNewFileBlock(DynamicFileRecord* file, uint32_t size, uint8_t type, uint32_t* offset);
// Turns a used block into a free block at the head of the free list; a free block is left alone.
// The offset must start a block of the chain (-40 otherwise: nothing changes).
OSStatus ReleaseFileBlock(DynamicFileRecord* file, uint32_t offset);
// What ReleaseFileBlock would refuse the offset with, found without changing anything (0 when it
// would release the block or leave a free one alone), so that an owner can keep a refused release
// from changing anything else of the file first. A failure to write is not foreseen here.
OSStatus CheckFileBlockRelease(DynamicFileRecord* file, uint32_t offset);
// Changes the type of a used block in place (one byte of its head), so that an owner can write a
// block under a type of its own and give it its real type once all its bytes are written. Both types
// must be format types (0-250), else -50; -54 for a read-only file.
OSStatus SetFileBlockType(DynamicFileRecord* file, uint32_t offset, uint8_t type);
OSStatus DeleteTypedFileBlocks(DynamicFileRecord* file, uint8_t type);
// Number and data bytes of the free blocks (plus 6 per block with countHeads).
OSStatus CountFreeBlocks(DynamicFileRecord* file, uint32_t* count, uint32_t* bytes, bool countHeads);
// Rewrites the file with only its live blocks of types 0-250, in order. The compacted file is
// written beside the original under a temporary name and renamed over it; on any failure the
// original is left exactly as it was. The record is then open on the new file. The idle
// procedure runs at each block and may `Signal` to stop the compaction.
OSStatus CompactFileBlocks(DynamicFileRecord* file);
// Rebuilds the free list from the block heads (read-write files).
OSStatus RebuildFreeList(DynamicFileRecord* file);

// ---- Block writing through the temporary stream ----

OSStatus BeginFileUpdates(DynamicFileRecord* file);
// Empties the block stream (made when missing) and hands it out; a buffer size of 0 or more is
// set on it. The owner writes the block's content from position 0.
OSStatus BeginFileBlockWrite(DynamicFileRecord* file, int32_t bufferSize, StreamRecord** stream);
// Turns the block stream's content into a block of the type (flags kBlockWriteAtEnd,
// kBlockWriteReleaseFirst). Empty content writes nothing (*offset 0) after the release.
OSStatus EndFileBlockWrite(DynamicFileRecord* file, uint32_t flags, uint8_t type, uint32_t* offset);
// Closes and deletes the block stream's file, and flushes the file.
OSStatus EndFileUpdates(DynamicFileRecord* file, bool flush);

// ---- Saves: changes that replace the file whole or not at all ----
//
// Between BeginDynamicFileSave and EndDynamicFileSave the record works on a copy of its file made
// in the same folder: every change (blocks, application header, free list, compaction) goes to
// the copy, and the file itself is not touched. EndDynamicFileSave with a result of 0 writes the
// first-free, syncs the copy to disk, gives it the file's permissions and renames it over the
// file; with a failure (or when any of that fails) it deletes the copy and the record is again as
// it was at BeginDynamicFileSave, on the old file, which is then as it was byte for byte. Saves
// nest: only the outermost End commits, and a failure anywhere inside makes it abandon. The
// record's spec stays that of the file throughout. Closing a record in a save abandons it.
OSStatus BeginDynamicFileSave(DynamicFileRecord* file);
// Returns the save's result: `result`, the first failure inside the save, or the commit's failure.
OSStatus EndDynamicFileSave(DynamicFileRecord* file, OSStatus result);
inline bool InDynamicFileSave(const DynamicFileRecord* file) { return file->save != nullptr; }

// ---- Checking ----

// Walks the block chain and the stored free list without changing anything and reports each
// problem found (damaged or truncated blocks, a free-list link that is out of range, not a free
// block of the chain, of the wrong size, or part of a cycle; a crash guard left set). Returns 0
// when the file is sound, else -40.
using DynamicFileProblemProc = void (*)(const char* message, void* context);
OSStatus CheckDynamicFile(DynamicFileRecord* file, DynamicFileProblemProc proc, void* context);

}  // namespace plexa
