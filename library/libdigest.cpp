// The library digest file (see libdigest.h for the stored form and why no record is trusted).
#include "library/libdigest.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cstring>
#include <string>

#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/datafile.h"
#include "foundation/folders.h"
#include "foundation/signals.h"
#include "library/libfile.h"
#include "library/libpaths.h"

namespace plexa {

namespace {

constexpr char kMagic[4] = {'P', 'X', 'D', 'G'};
constexpr uint32_t kCheckOffset = kLibDigestRecordSize - 4;

// Offsets of a record's fields.
constexpr uint32_t kFlagsAt = 512, kModifiedNsAt = 516, kDeviceAt = 520, kInodeAt = 528, kSizeAt = 536,
                   kModifiedAt = 544, kChangedAt = 552, kChangedNsAt = 560;

struct DigestFileState {
    DataFileRef file = 0;  // 0 while closed
    bool swapped = false;  // the file is in the other byte order
    bool rebuild = false;
};
DigestFileState gDigestFile;

template <class T>
void Put(uint8_t* at, T value) {
    std::memcpy(at, &value, sizeof value);
}
template <class T>
T Get(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// The CRC-32 of a record's bytes before its check.
uint32_t Check(const uint8_t* record) { return uint32_t(crc32(0L, record, kCheckOffset)); }

int64_t RecordOffset(int32_t fileIndex) {
    return int64_t(kLibDigestHeaderSize) + int64_t(fileIndex) * kLibDigestRecordSize;
}

// Writes the bytes at the offset; a short write is a failure.
OSStatus WriteAt(DataFileRef file, int64_t offset, const void* bytes, int32_t count) {
    OSStatus st = SetFileMark(file, offset, false);
    if (st != status::kNoErr && st != status::kEndOfFile) return st;  // writing past the end extends
    int32_t done = count;
    st = WriteToFile(file, bytes, &done);
    return st == status::kNoErr && done != count ? status::kBusy : st;
}

OSStatus ReadAt(DataFileRef file, int64_t offset, void* bytes, int32_t* count) {
    if (OSStatus st = SetFileMark(file, offset, false)) {
        *count = 0;
        return st;
    }
    return ReadFromFile(file, bytes, count);
}

// Makes the open file an empty one of this format, in this machine's order.
OSStatus ResetDigestFile(DataFileRef file) {
    if (OSStatus st = SetFileEOF(file, 0)) return st;
    uint8_t header[kLibDigestHeaderSize];
    EncodeLibDigestHeader(false, header);
    return WriteAt(file, 0, header, sizeof header);
}

}  // namespace

OSStatus GetLibFileIdentity(const FileSpec* spec, LibFileIdentity* identity) {
    std::memset(identity, 0, sizeof *identity);
    std::string path;
    struct stat info {};
    if (!spec || CreateURLFromFileSpec(spec, false, &path) != status::kNoErr || ::stat(path.c_str(), &info) != 0)
        return status::kNotFound;
    identity->device = uint64_t(info.st_dev);
    identity->inode = uint64_t(info.st_ino);
    identity->size = uint64_t(info.st_size);
    identity->modified = int64_t(info.st_mtim.tv_sec);
    identity->modifiedNanoseconds = uint32_t(info.st_mtim.tv_nsec);
    identity->changed = int64_t(info.st_ctim.tv_sec);
    identity->changedNanoseconds = uint32_t(info.st_ctim.tv_nsec);
    return status::kNoErr;
}

// ---- Stored form ----

void EncodeLibDigestHeader(bool swapped, uint8_t out[kLibDigestHeaderSize]) {
    std::memset(out, 0, kLibDigestHeaderSize);
    std::memcpy(out, kMagic, sizeof kMagic);
    Put<uint16_t>(out + 4, kLibDigestMark);
    Put<uint16_t>(out + 6, kLibDigestVersion);
    Put<uint32_t>(out + 8, kLibDigestRecordSize);
    if (swapped) ByteSwapTemplate(out, kLibDigestHeaderTemplate);
}

OSStatus DecodeLibDigestHeader(const uint8_t* bytes, uint32_t length, bool* swapped) {
    *swapped = false;
    if (length < kLibDigestHeaderSize) return status::kEndOfFile;
    uint8_t header[kLibDigestHeaderSize];
    std::memcpy(header, bytes, sizeof header);
    if (std::memcmp(header, kMagic, sizeof kMagic) != 0) return status::kParamErr;
    const uint16_t mark = Get<uint16_t>(header + 4);
    if (mark != kLibDigestMark && mark != 0x3412) return status::kParamErr;
    const bool other = mark != kLibDigestMark;
    if (other) ByteSwapTemplate(header, kLibDigestHeaderTemplate);
    if (Get<uint16_t>(header + 6) != kLibDigestVersion || Get<uint32_t>(header + 8) != kLibDigestRecordSize ||
        Get<uint32_t>(header + 12) != 0)
        return status::kParamErr;
    *swapped = other;
    return status::kNoErr;
}

void EncodeLibDigestRecord(const LibDigestRecord* record, bool swapped, uint8_t out[kLibDigestRecordSize]) {
    std::memcpy(out, record->digest.bytes, kItemNamesDigestSize);
    const LibFileIdentity& id = record->identity;
    Put<uint32_t>(out + kFlagsAt, record->flags);
    Put<uint32_t>(out + kModifiedNsAt, id.modifiedNanoseconds);
    Put<uint64_t>(out + kDeviceAt, id.device);
    Put<uint64_t>(out + kInodeAt, id.inode);
    Put<uint64_t>(out + kSizeAt, id.size);
    Put<int64_t>(out + kModifiedAt, id.modified);
    Put<int64_t>(out + kChangedAt, id.changed);
    Put<uint32_t>(out + kChangedNsAt, id.changedNanoseconds);
    if (swapped) ByteSwapTemplate(out + kFlagsAt, kLibDigestRecordTemplate);
    uint32_t check = Check(out);
    if (swapped) check = __builtin_bswap32(check);
    Put<uint32_t>(out + kCheckOffset, check);
}

OSStatus DecodeLibDigestRecord(const uint8_t* bytes, uint32_t length, bool swapped, LibDigestRecord* record) {
    std::memset(record, 0, sizeof *record);
    if (length < kLibDigestRecordSize) return status::kEndOfFile;
    uint8_t in[kLibDigestRecordSize];
    std::memcpy(in, bytes, sizeof in);
    if (Check(in) != GetNative32(in + kCheckOffset, swapped)) return status::kParamErr;
    if (swapped) ByteSwapTemplate(in + kFlagsAt, kLibDigestRecordTemplate);
    std::memcpy(record->digest.bytes, in, kItemNamesDigestSize);
    record->flags = Get<uint32_t>(in + kFlagsAt);
    LibFileIdentity& id = record->identity;
    id.modifiedNanoseconds = Get<uint32_t>(in + kModifiedNsAt);
    id.device = Get<uint64_t>(in + kDeviceAt);
    id.inode = Get<uint64_t>(in + kInodeAt);
    id.size = Get<uint64_t>(in + kSizeAt);
    id.modified = Get<int64_t>(in + kModifiedAt);
    id.changed = Get<int64_t>(in + kChangedAt);
    id.changedNanoseconds = Get<uint32_t>(in + kChangedNsAt);
    return status::kNoErr;
}

// ---- The file ----

OSStatus GetLibDigestFileSpec(FileSpec* spec) {
    return VXBuildPreferenceFileSpec(kLibDigestFileName, kLibDigestFolderName, 0, 0, spec);
}

OSStatus OpenLibDigestFile() {
    if (gDigestFile.file) return status::kNoErr;
    FileSpec spec;
    ClearFileSpec(&spec);
    bool made = false;
    DataFileRef file = 0;
    const OSStatus st = CatchSignals(
        [&] {
            Signal(GetLibDigestFileSpec(&spec));
            if (!VXFileExists(&spec, nullptr)) {
                const OSStatus created = CreateNewDataFile(&spec, nullptr, nullptr);
                if (created != status::kDuplicateName) Signal(created);  // another copy made it first
                made = created == status::kNoErr;
            }
            Signal(OpenDataFile(&spec, false, &file));
            uint8_t header[kLibDigestHeaderSize];
            int32_t length = sizeof header;
            const OSStatus read = ReadAt(file, 0, header, &length);
            bool swapped = false;
            if (read != status::kNoErr || DecodeLibDigestHeader(header, uint32_t(length), &swapped) != status::kNoErr) {
                Signal(ResetDigestFile(file));
                made = true;
            }
            gDigestFile.file = file;
            gDigestFile.swapped = swapped;
            gDigestFile.rebuild = made;
        },
        [&] {
            if (file) (void)CloseAndOrFlushDataFile(file, true, false);  // the first failure is the one reported
            if (spec.name[0]) (void)VXDeleteFile(&spec);  // best effort: a digest file made in vain
            gDigestFile = DigestFileState{};
        });
    return st;
}

void CloseLibDigestFile() {
    if (gDigestFile.file) (void)CloseAndOrFlushDataFile(gDigestFile.file, true, true);  // a cache: it is made again when it does not read
    gDigestFile.file = 0;
    gDigestFile.swapped = false;
}

bool IsLibDigestFileOpen() { return gDigestFile.file != 0; }

void InvalidateLibDigestFile() {
    CloseLibDigestFile();
    gDigestFile.rebuild = false;
    FileSpec spec;
    if (GetLibDigestFileSpec(&spec) == status::kNoErr && VXFileExists(&spec, nullptr)) (void)VXDeleteFile(&spec);  // a cache: a stale one is replaced when it does not match
}

bool LibDigestNeedsRebuild() { return gDigestFile.file && gDigestFile.rebuild; }

void ClearLibDigestRebuild() { gDigestFile.rebuild = false; }

namespace {

// The record of a file, read when `useStored` and still the file's, else computed and written.
OSStatus DigestRecord(int32_t fileIndex, const FileSpec* file, ItemNamesDigest* digest, bool useStored) {
    std::memset(digest, 0, sizeof *digest);
    if (!gDigestFile.file) return status::kFileNotOpen;
    if (fileIndex < 0 || !file) return status::kParamErr;
    LibDigestRecord record;
    (void)GetLibFileIdentity(file, &record.identity);  // an unknown identity never matches a stored one
    if (useStored) {
        uint8_t bytes[kLibDigestRecordSize];
        int32_t length = sizeof bytes;
        LibDigestRecord stored;
        if (ReadAt(gDigestFile.file, RecordOffset(fileIndex), bytes, &length) == status::kNoErr &&
            DecodeLibDigestRecord(bytes, uint32_t(length), gDigestFile.swapped, &stored) == status::kNoErr &&
            (stored.flags & kLibDigestWritten) && stored.identity == record.identity) {
            *digest = stored.digest;
            return status::kNoErr;
        }
    }
    // The identity was taken before the digest, so a change while it is computed shows next time.
    (void)CheckLibraryFileDigest(file, nullptr, 0, &record.digest, nullptr, nullptr);  // an unreadable file has the all-zero digest
    *digest = record.digest;
    record.flags = kLibDigestWritten;
    uint8_t bytes[kLibDigestRecordSize];
    EncodeLibDigestRecord(&record, gDigestFile.swapped, bytes);
    return WriteAt(gDigestFile.file, RecordOffset(fileIndex), bytes, sizeof bytes);
}

}  // namespace

OSStatus GetLibDigestRecord(int32_t fileIndex, const FileSpec* file, ItemNamesDigest* digest) {
    return DigestRecord(fileIndex, file, digest, !gDigestFile.rebuild);
}

void UpdateLibDigestFile(int32_t fileIndex) {
    FileSpec spec;
    bool isSheet = false;
    OSStatus st = OpenLibDigestFile();
    if (st == status::kNoErr && !gDigestFile.rebuild) {
        st = GetIndexedLibFileSpec(kLibFilesAll, fileIndex, &spec, &isSheet) ? status::kNoErr : status::kParamErr;
        ItemNamesDigest digest;
        // Computed whatever the record says: a file written twice within the resolution of its
        // file system's times keeps its identity.
        if (st == status::kNoErr) st = DigestRecord(fileIndex, &spec, &digest, false);
    }
    if (st != status::kNoErr) {
        InvalidateLibDigestFile();
        return;
    }
    CloseLibDigestFile();
}

}  // namespace plexa
