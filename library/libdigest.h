// The library digest file: the names digest of every file of the full library list, kept in one
// file so that the library finder can skip the files that cannot hold a match without opening
// them. The file is "Plexa Digest.temp" in the application's library folder (foundation/folders.h,
// folder "Orvix"). It is a cache and is never trusted: each record carries the identity of the file
// it was computed from, and a record that is missing, damaged, or whose file is no longer the same
// file with the same size and times (changed by another program, or by another running copy of
// this one that shares the folder) is computed again and rewritten before it is used. The whole
// file is deleted whenever the full list changes and at quit, and made again on the next search.
//
// This module owns the stored form, the open file (one per process) and its rebuild mark.
//
// Stored form: a header, then record n of file n of the full list at 16 + n x 568. Numbers are in
// the writer's byte order, told by the mark; a file of the other order is read and written in
// that order. The digest bytes are never swapped.
//   Header (16 bytes):
//     0   4 bytes  "PXDG"
//     4   u16      byte-order mark 0x1234
//     6   u16      format version 1
//     8   u32      record size 568
//     12  u32      0
//   Record (568 bytes):
//     0   512      the names digest (library/names_digest.h); all zero for a file without a
//                  readable digest
//     512 u32      flags: bit 0 the record was written
//     516 u32      modification time, nanoseconds
//     520 u64      device of the file
//     528 u64      inode of the file
//     536 u64      size of the file in bytes
//     544 i64      modification time, seconds since 1970
//     552 i64      status-change time, seconds since 1970
//     560 u32      status-change time, nanoseconds
//     564 u32      check: the CRC-32 (zlib's) of bytes 0 to 563 as stored
//   A file whose header is not this one is emptied and rebuilt; a record that is short, fails
//   its check or lacks bit 0 counts as missing. A file that cannot be found has an identity of
//   zeros, which no existing file has.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "files/names_digest.h"

namespace plexa {

constexpr const char* kLibDigestFileName = "Plexa Digest.temp";
constexpr const char* kLibDigestFolderName = "Orvix";
constexpr uint32_t kLibDigestHeaderSize = 16;
constexpr uint32_t kLibDigestRecordSize = 568;
constexpr uint16_t kLibDigestVersion = 1;
constexpr uint16_t kLibDigestMark = 0x1234;
constexpr uint32_t kLibDigestWritten = 0x1;
// The swap templates of the header, and of a record's bytes after its digest.
constexpr const char* kLibDigestHeaderTemplate = "B4W2L2";
constexpr const char* kLibDigestRecordTemplate = "L2F5L2";

// What tells one state of a file from another.
struct LibFileIdentity {
    uint64_t device;
    uint64_t inode;
    uint64_t size;
    int64_t modified;
    int64_t changed;
    uint32_t modifiedNanoseconds;
    uint32_t changedNanoseconds;
    bool operator==(const LibFileIdentity&) const = default;
};

struct LibDigestRecord {
    ItemNamesDigest digest;
    uint32_t flags;
    LibFileIdentity identity;
};

// The identity of the file the spec names (a link's target); -43 (and zeros) when there is none.
OSStatus GetLibFileIdentity(const FileSpec* spec, LibFileIdentity* identity);

// ---- Stored form ----

void EncodeLibDigestHeader(bool swapped, uint8_t out[kLibDigestHeaderSize]);
// 0 and the byte order for a header of this format; -39 for fewer than 16 bytes, -50 for another
// magic, mark, version or record size.
OSStatus DecodeLibDigestHeader(const uint8_t* bytes, uint32_t length, bool* swapped);
void EncodeLibDigestRecord(const LibDigestRecord* record, bool swapped, uint8_t out[kLibDigestRecordSize]);
// 0 for a whole record whose check holds; -39 for fewer than 568 bytes, -50 for a failed check.
// The record is zero on failure.
OSStatus DecodeLibDigestRecord(const uint8_t* bytes, uint32_t length, bool swapped, LibDigestRecord* record);

// ---- The file ----

// The file's spec in the application's library folder (made when missing); -120 when that folder
// cannot be had.
OSStatus GetLibDigestFileSpec(FileSpec* spec);
// Nothing when open. Otherwise makes the file when it is missing, or empties one whose header is
// not this format's, and then sets the rebuild mark; opens it. On failure the file is deleted and
// the mark cleared.
OSStatus OpenLibDigestFile();
void CloseLibDigestFile();
bool IsLibDigestFileOpen();
// Closes and deletes the file (when the full list changes, and at quit).
void InvalidateLibDigestFile();
// Set while every record is to be computed afresh (a file just made); the finder clears it after
// each search.
bool LibDigestNeedsRebuild();
void ClearLibDigestRebuild();

// The digest of a file of the full list, by its index there and its spec, from the open file: the
// stored record when its identity is still the file's (and the rebuild mark is clear), otherwise
// computed from the file (all zero when it has no readable digest, or cannot be found) and written
// as record n. -38 when the file is not open; a write failure is returned (the digest is then
// still the computed one) and leaves the file as it was.
OSStatus GetLibDigestRecord(int32_t fileIndex, const FileSpec* file, ItemNamesDigest* digest);
// After file n of the full list was written: opens the file, and unless the rebuild mark is set
// writes the file's digest as record n, then closes it. A failure deletes the file.
void UpdateLibDigestFile(int32_t fileIndex);

}  // namespace plexa
