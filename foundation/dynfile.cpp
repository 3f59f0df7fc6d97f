// The dynamic file (see dynfile.h for the stored layout and its invariants).
//
// All access goes through the record's file stream, which keeps a window of the file in a buffer;
// the end of the stream is the length of the file, and every offset read from the file is checked
// against it before it is used.
#include "foundation/dynfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/assert.h"
#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/datafile.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/tempfiles.h"

namespace plexa {
namespace {

constexpr int32_t kFileStreamBuffer = 32768;
constexpr int32_t kBlockStreamBuffer = 16384;
constexpr int64_t kMaxFileSize = 0x7FFFFFFF;
constexpr uint32_t kEndlessRun = 0x7FFFFFFF;
constexpr uint32_t kMinSplitRemainder = 14;
constexpr uint8_t kFirstDroppedType = 251;
constexpr uint32_t kZeroPiece = 256;

// Set around allocations whose data is written at once: an appended block is then not grown
// first, the data write grows the file.
bool gNoPreallocation = false;

// Every integer of the head, header record, block heads and free info is big-endian.
uint32_t Get32(const uint8_t* p) { return GetBE32(p); }
void Put32(uint8_t* p, uint32_t v) { PutBE32(p, v); }

int64_t FileEnd(const DynamicFileRecord* f) {
    return GetStreamEnd(f->stream);
}
bool IsReadOnly(const DynamicFileRecord* f) {
    return (f->flags & kDynamicFileReadOnly) != 0;
}
bool IsOldLayout(const DynamicFileRecord* f) {
    return f->headerSize == 0;
}
int64_t FirstBlock(const DynamicFileRecord* f) {
    return int64_t(f->blocksStart) + kFileBlockHeadSize;
}
void Idle(const DynamicFileRecord* f) {
    if (f->idleProc) f->idleProc();
}

OSStatus ReadAt(DynamicFileRecord* f, int64_t position, void* buffer, int32_t count) {
    if (position < 0 || count < 0 || position + count > FileEnd(f)) return status::kEndOfFile;
    if (count == 0) return status::kNoErr;
    if (OSStatus st = SetStreamPosition(f->stream, int32_t(position))) return st;
    int32_t n = count;
    OSStatus st = StreamRead(f->stream, buffer, &n);
    if (st == status::kNoErr && n != count) st = status::kEndOfFile;
    return st;
}

OSStatus WriteAt(DynamicFileRecord* f, int64_t position, const void* bytes, int32_t count) {
    if (position < 0 || count < 0 || position > FileEnd(f) || position + count > kMaxFileSize)
        return status::kParamErr;
    if (OSStatus st = SetStreamPosition(f->stream, int32_t(position))) return st;
    return StreamWrite(f->stream, bytes, count);
}

// Closes a file stream: writes its buffer (synced to disk when asked), disposes it and closes the
// descriptor; the stream is gone in every case.
OSStatus CloseStream(StreamRecord** stream, bool flush) {
    if (!*stream) return status::kNoErr;
    OSStatus st = FlushStreamBuffer(*stream, flush);
    const int fd = (*stream)->target.fd;
    DisposeStream(*stream);
    *stream = nullptr;
    if (::close(fd) != 0 && st == status::kNoErr) st = status::kParamErr;
    return st;
}

OSStatus OpenSpecStream(const FileSpec* spec, bool readOnly, int32_t bufferSize, StreamRecord** stream) {
    *stream = nullptr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &path)) return st;
    if (OSStatus st = OpenFileStream(path.c_str(), readOnly, stream)) return st;
    if (OSStatus st = SetStreamBufferSize(*stream, bufferSize)) {
        (void)CloseStream(stream, false);  // the open status is the one reported
        return st;
    }
    return status::kNoErr;
}

// Problems found by the structure walks, counted and handed to the caller's procedure.
struct Reporter {
    DynamicFileProblemProc proc = nullptr;
    void* context = nullptr;
    int32_t count = 0;

    __attribute__((format(printf, 2, 3))) void operator()(const char* format, ...) {
        ++count;
        if (!proc) return;
        char message[200];
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof message, format, args);
        va_end(args);
        proc(message, context);
    }
};

}  // namespace

// ---- Block heads and free info ----

namespace {

// The head 6 bytes before a data offset, unchecked beyond lying inside the file.
OSStatus ReadHeadRaw(DynamicFileRecord* f, int64_t offset, FileBlockHead* head) {
    *head = {};
    if (offset < FirstBlock(f) || offset > FileEnd(f)) return status::kBadPosition;
    uint8_t bytes[kFileBlockHeadSize];
    if (OSStatus st = ReadAt(f, offset - kFileBlockHeadSize, bytes, kFileBlockHeadSize)) return st;
    head->type = bytes[0];
    head->headLength = bytes[1];
    head->size = Get32(bytes + 2);
    return status::kNoErr;
}

// The next block's data offset.
int64_t NextBlock(int64_t offset, const FileBlockHead& head) {
    return offset + int64_t(head.size) + head.headLength;
}

// A head checked against the file: a head length of at least 6 (-40) and the block's data and
// slack inside the file (-39).
OSStatus ReadBlockHeader(DynamicFileRecord* f, int64_t offset, FileBlockHead* head) {
    if (OSStatus st = ReadHeadRaw(f, offset, head)) return st;
    if (head->headLength < kFileBlockHeadSize) return status::kBadPosition;
    if (NextBlock(offset, *head) - kFileBlockHeadSize > FileEnd(f)) return status::kEndOfFile;
    return status::kNoErr;
}

OSStatus WriteBlockHeader(DynamicFileRecord* f, int64_t offset, const FileBlockHead& head) {
    if (IsReadOnly(f)) return status::kPermission;
    if (offset < FirstBlock(f)) return status::kBadPosition;
    uint8_t bytes[kFileBlockHeadSize] = {head.type, head.headLength};
    Put32(bytes + 2, head.size);
    return WriteAt(f, offset - kFileBlockHeadSize, bytes, kFileBlockHeadSize);
}

OSStatus GetFreeInfo(DynamicFileRecord* f, int64_t offset, FreeBlockInfo* info) {
    uint8_t bytes[8];
    *info = {};
    if (OSStatus st = ReadAt(f, offset, bytes, 8)) return st;
    info->size = Get32(bytes);
    info->next = Get32(bytes + 4);
    return status::kNoErr;
}

OSStatus SetFreeInfo(DynamicFileRecord* f, int64_t offset, const FreeBlockInfo& info) {
    uint8_t bytes[8];
    Put32(bytes, info.size);
    Put32(bytes + 4, info.next);
    return WriteAt(f, offset, bytes, 8);
}

// Writes the stored first-free of the header record (nothing when it has no place in the file).
OSStatus WriteFileHeader(DynamicFileRecord* f, uint32_t value) {
    if (f->headerOffset == 0) return status::kNoErr;
    uint8_t bytes[4];
    Put32(bytes, value);
    return WriteAt(f, f->headerOffset, bytes, 4);
}

// The crash guard: before the first change of the free list since the last flush, the stored
// first-free becomes 0xFFFFFFFF and the file is synced.
OSStatus ArmCrashGuard(DynamicFileRecord* f) {
    if (IsReadOnly(f)) return status::kPermission;
    if (f->flags & kDynamicFileHeaderChanged) return status::kNoErr;
    OSStatus st = WriteFileHeader(f, kFirstFreeChanging);
    // A save's copy needs no guard on disk: it becomes the file only once it is whole.
    if (st == status::kNoErr && f->headerOffset != 0) st = FlushStreamBuffer(f->stream, !f->save);
    if (st == status::kNoErr) f->flags |= kDynamicFileHeaderChanged;
    return st;
}

OSStatus SetFirstFree(DynamicFileRecord* f, uint32_t value) {
    if (OSStatus st = ArmCrashGuard(f)) return st;
    f->header.firstFree = value;
    return status::kNoErr;
}

OSStatus AddFreeBlockList(DynamicFileRecord* f, int64_t offset, uint32_t size) {
    if (OSStatus st = ArmCrashGuard(f)) return st;
    if (OSStatus st = SetFreeInfo(f, offset, {size, f->header.firstFree})) return st;
    return SetFirstFree(f, uint32_t(offset));
}

// One entry of the free list, checked: a real free block inside the file whose free info agrees
// with its head.
OSStatus CheckFreeEntry(DynamicFileRecord* f, int64_t offset, FreeBlockInfo* info) {
    *info = {};
    FileBlockHead head;
    if (ReadBlockHeader(f, offset, &head) != status::kNoErr || head.type != kFreeBlockType ||
        head.headLength != kFileBlockHeadSize || head.size < kMinFileBlockSize)
        return status::kBadPosition;
    if (GetFreeInfo(f, offset, info) != status::kNoErr || info->size != head.size)
        return status::kBadPosition;
    return status::kNoErr;
}

// More entries than this cannot be on a sound list: each takes at least 14 bytes of the file.
uint32_t MaxFreeEntries(const DynamicFileRecord* f) {
    return uint32_t(std::max<int64_t>(FileEnd(f) - f->blocksStart, 0) /
                    (kFileBlockHeadSize + kMinFileBlockSize)) +
           1;
}

// Walks the free list, every entry checked and the walk bounded. `visit` (previous, offset,
// info) returns true to stop. *damaged tells that the list failed a check.
template <class Visit>
void WalkFreeList(DynamicFileRecord* f, bool* damaged, Visit&& visit) {
    *damaged = false;
    const uint32_t limit = MaxFreeEntries(f);
    uint32_t previous = 0;
    uint32_t current = f->header.firstFree;
    for (uint32_t steps = 0; current != 0; ++steps) {
        FreeBlockInfo info;
        if (steps >= limit || CheckFreeEntry(f, current, &info) != status::kNoErr) {
            *damaged = true;
            return;
        }
        if (visit(previous, current, info)) return;
        previous = current;
        current = info.next;
    }
}

// A damaged free list is rebuilt on a read-write file and dropped (in memory) on a read-only one.
OSStatus FreeListDamaged(DynamicFileRecord* f) {
    if (!IsReadOnly(f)) return RebuildFreeList(f);
    f->header.firstFree = 0;
    return status::kNoErr;
}

// Walks the block chain from the start, collecting the data offsets of free blocks; reports and
// returns the first damage (-40 a head length below 6, -39 a partial head or a block reaching
// past the end).
OSStatus WalkChain(DynamicFileRecord* f, std::vector<uint32_t>* freeBlocks, Reporter& report) {
    const int64_t end = FileEnd(f);
    for (int64_t offset = FirstBlock(f); offset - int64_t(kFileBlockHeadSize) < end;) {
        FileBlockHead head;
        if (offset > end) {
            report("partial block head at %lld (file length %lld)", (long long)(offset - kFileBlockHeadSize),
                   (long long)end);
            return status::kEndOfFile;
        }
        OSStatus st = ReadBlockHeader(f, offset, &head);
        if (st == status::kBadPosition) {
            report("block %lld has head length %u (below 6)", (long long)offset, head.headLength);
            return st;
        }
        if (st) {
            report("block %lld of size %u reaches past the end of the file (%lld)", (long long)offset,
                   head.size, (long long)end);
            return st;
        }
        if (head.type == kFreeBlockType && freeBlocks) freeBlocks->push_back(uint32_t(offset));
        offset = NextBlock(offset, head);
    }
    return status::kNoErr;
}

// Checks a free list that starts at `first` against the free blocks of the chain (ascending):
// every link must name one of them, once, with free info that agrees with its head.
bool CheckFreeListAgainstChain(DynamicFileRecord* f, uint32_t first, const std::vector<uint32_t>& freeBlocks,
                               Reporter& report) {
    if (first == kFirstFreeChanging) {
        report("the free list was being changed when the file was last written (crash guard set)");
        return false;
    }
    std::vector<bool> seen(freeBlocks.size());
    for (uint32_t current = first; current != 0;) {
        auto it = std::lower_bound(freeBlocks.begin(), freeBlocks.end(), current);
        if (it == freeBlocks.end() || *it != current) {
            report("free-list link %u is not a free block of the file", current);
            return false;
        }
        const size_t index = size_t(it - freeBlocks.begin());
        if (seen[index]) {
            report("free list runs in a cycle at %u", current);
            return false;
        }
        seen[index] = true;
        FreeBlockInfo info;
        if (CheckFreeEntry(f, current, &info) != status::kNoErr) {
            report("free block %u: its free info does not agree with its head", current);
            return false;
        }
        current = info.next;
    }
    return true;
}

// Measures (and with `write`, merges into one head) the run of free blocks that starts at a free
// block. A run that reaches the end of the file gives kEndlessRun and is not written.
OSStatus CoalesceFree(DynamicFileRecord* f, int64_t offset, bool write, uint32_t* run) {
    *run = 0;
    FileBlockHead head;
    if (OSStatus st = ReadBlockHeader(f, offset, &head)) return st;
    const int64_t end = FileEnd(f);
    int64_t size = int64_t(head.size) + head.headLength - kFileBlockHeadSize;
    int64_t next = NextBlock(offset, head);
    while (next - int64_t(kFileBlockHeadSize) < end) {
        FileBlockHead following;
        if (ReadBlockHeader(f, next, &following) != status::kNoErr || following.type != kFreeBlockType) break;
        size += int64_t(following.headLength) + following.size;
        next = NextBlock(next, following);
    }
    if (next - int64_t(kFileBlockHeadSize) >= end) {
        *run = kEndlessRun;
        return status::kNoErr;
    }
    *run = uint32_t(size);
    if (write && (size != head.size || head.headLength != kFileBlockHeadSize))
        return WriteBlockHeader(f, offset, {kFreeBlockType, uint8_t(kFileBlockHeadSize), uint32_t(size)});
    return status::kNoErr;
}

// A new block at the end of the file; the stream is left at its data. Any failure cuts the file
// back to its former end.
OSStatus AppendNewBlock(DynamicFileRecord* f, uint32_t size, uint8_t type, uint32_t* offset) {
    *offset = 0;
    if (IsReadOnly(f)) return status::kPermission;
    if (type == kFreeBlockType && size < kMinFileBlockSize) size = kMinFileBlockSize;
    const uint32_t need = std::max(size, kMinFileBlockSize);
    const uint32_t slack = need - size;
    const int64_t oldEnd = FileEnd(f);
    const int64_t data = oldEnd + kFileBlockHeadSize;
    if (data + need > kMaxFileSize) return status::kParamErr;
    OSStatus st = status::kNoErr;
    if (!gNoPreallocation || slack != 0 || type == kFreeBlockType)
        st = SetStreamEnd(f->stream, int32_t(data + need));
    if (st == status::kNoErr)
        st = WriteBlockHeader(f, data, {type, uint8_t(kFileBlockHeadSize + slack), size});
    if (st == status::kNoErr && type == kFreeBlockType) st = AddFreeBlockList(f, data, size);
    if (st == status::kNoErr) st = SetStreamPosition(f->stream, int32_t(data));
    if (st) {
        (void)SetStreamEnd(f->stream, int32_t(oldEnd));  // undoing: the first status is the one reported
        return st;
    }
    *offset = uint32_t(data);
    return status::kNoErr;
}

// Takes a free block found on the list for a block of `size` bytes: unlinks it, splits off a tail
// of 14 bytes or more as a new free block, else keeps the rest as slack.
OSStatus ReallocateFreeBlock(DynamicFileRecord* f, uint32_t previous, uint32_t offset,
                             const FreeBlockInfo& info, uint32_t size, uint8_t type) {
    const uint32_t need = std::max(size, kMinFileBlockSize);
    if (OSStatus st = ArmCrashGuard(f)) return st;
    if (previous != 0) {
        FreeBlockInfo before;
        if (OSStatus st = GetFreeInfo(f, previous, &before)) return st;
        before.next = info.next;
        if (OSStatus st = SetFreeInfo(f, previous, before)) return st;
    } else if (OSStatus st = SetFirstFree(f, info.next)) {
        return st;
    }
    uint32_t slack = info.size - size;
    if (info.size - need >= kMinSplitRemainder) {
        const int64_t tail = int64_t(offset) + need + kFileBlockHeadSize;
        const uint32_t tailSize = info.size - need - kFileBlockHeadSize;
        if (OSStatus st = WriteBlockHeader(f, tail, {kFreeBlockType, uint8_t(kFileBlockHeadSize), tailSize}))
            return st;
        if (OSStatus st = AddFreeBlockList(f, tail, tailSize)) return st;
        slack = need - size;
    }
    if (OSStatus st = WriteBlockHeader(f, offset, {type, uint8_t(kFileBlockHeadSize + slack), size}))
        return st;
    return SetStreamPosition(f->stream, int32_t(offset));
}

OSStatus AllocateFileBlockEx(DynamicFileRecord* f, uint32_t size, uint8_t type, uint32_t* offset,
                             bool* appended) {
    *offset = 0;
    *appended = false;
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (size < 1 || size > kMaxFileSize) return status::kParamErr;
    const uint32_t need = std::max(size, kMinFileBlockSize);
    for (int pass = 0; pass < 2 && type != kFreeBlockType; ++pass) {
        bool runFound = false;
        bool damaged = false;
        uint32_t takePrevious = 0, take = 0;
        FreeBlockInfo takeInfo{};
        WalkFreeList(f, &damaged, [&](uint32_t previous, uint32_t current, const FreeBlockInfo& info) {
            if (info.size >= need) {
                takePrevious = previous;
                take = current;
                takeInfo = info;
                return true;
            }
            uint32_t run;
            if (!runFound && CoalesceFree(f, current, false, &run) == status::kNoErr && run >= need)
                runFound = true;
            return false;
        });
        if (take != 0) {
            if (OSStatus st = ReallocateFreeBlock(f, takePrevious, take, takeInfo, size, type)) return st;
            *offset = take;
            return status::kNoErr;
        }
        if (!damaged && (!runFound || pass == 1)) break;
        if (OSStatus st = RebuildFreeList(f)) return st;
    }
    *appended = true;
    return AppendNewBlock(f, size, type, offset);
}

// Undoes a block whose data could not be written: an appended block is cut off, a block taken
// from the free list is released again.
void UndoBlock(DynamicFileRecord* f, uint32_t offset, bool appended) {
    if (offset == 0) return;
    if (appended) {
        (void)SetStreamEnd(f->stream, int32_t(offset - kFileBlockHeadSize));  // undoing: best effort
    } else {
        (void)ReleaseFileBlock(f, offset);  // undoing: best effort
    }
}

OSStatus ReadFileHeader(DynamicFileRecord* f) {
    uint8_t bytes[kDynamicFileHeadSize] = {};
    int32_t n = kDynamicFileHeadSize;
    if (OSStatus st = SetStreamPosition(f->stream, 0)) return st;
    OSStatus st = StreamRead(f->stream, bytes, &n);
    if (st && st != status::kEndOfFile) return st;
    if (n < 6 || Get32(bytes) != kDynamicFileMagic) return status::kNotDynamicFile;
    const uint16_t version = GetBE16(bytes + 4);
    if (version > kDynamicFileVersion) return status::kVersionTooNew;
    if (version < kDynamicFileOldestCurrentVersion) {
        f->fileType = FourCC("????");
        f->blocksStart = 6;
        uint32_t offset = 0, size = 0;
        uint8_t type = kOldHeaderBlockType;
        f->header.firstFree = kFirstFreeChanging;
        if (ScanFileBlocks(f, &offset, &size, &type) == status::kNoErr && offset != 0 && size >= 4) {
            uint8_t first[4];
            if (OSStatus rs = ReadAt(f, offset, first, 4)) return rs;
            f->headerOffset = offset;
            f->header.firstFree = Get32(first);
        }
        return status::kNoErr;
    }
    if (n < int32_t(kDynamicFileHeadSize)) return status::kNotDynamicFile;
    DynamicFileHead head;
    std::memcpy(&head, bytes, sizeof head);
    if constexpr (std::endian::native == std::endian::little)
        ByteSwapTemplate(&head, kDynamicFileHeadTemplate);
    // The packed fields are copied out before use (they are not aligned).
    const uint32_t headerSize = head.headerRecordSize;
    const uint32_t appHeaderSize = head.appHeaderSize;
    if (headerSize < 4) return status::kNotDynamicFile;
    const int64_t blocksStart = int64_t(kDynamicFileHeadSize) + headerSize + appHeaderSize;
    if (blocksStart > FileEnd(f)) return status::kEndOfFile;
    f->fileType = head.fileType;
    f->headerOffset = kDynamicFileHeadSize;
    f->headerSize = headerSize;
    f->appHeaderSize = appHeaderSize;
    f->appHeaderOffset = appHeaderSize ? kDynamicFileHeadSize + headerSize : 0;
    f->blocksStart = uint32_t(blocksStart);
    uint8_t record[kDynamicFileHeaderRecordSize] = {};
    if (OSStatus rs = ReadAt(f, kDynamicFileHeadSize, record,
                             int32_t(std::min(headerSize, kDynamicFileHeaderRecordSize))))
        return rs;
    f->header.firstFree = Get32(record);
    std::memcpy(f->header.reserved, record + 4, sizeof f->header.reserved);
    return status::kNoErr;
}

// A new 16-byte header block for the old layout, at the end of the file.
OSStatus WriteOldHeaderBlock(DynamicFileRecord* f) {
    f->headerOffset = 0;
    uint32_t offset;
    if (OSStatus st = AppendNewBlock(f, kOldHeaderRecordSize, kOldHeaderBlockType, &offset)) return st;
    const uint8_t zeros[kOldHeaderRecordSize] = {};
    if (OSStatus st = WriteAt(f, offset, zeros, sizeof zeros)) return st;
    f->headerOffset = offset;
    return status::kNoErr;
}

OSStatus TransferAppHeader(DynamicFileRecord* f, int32_t offset, void* readBuffer, const void* writeBytes,
                           bool write, int32_t* length) {
    if (!length) return status::kParamErr;
    const int32_t want = *length;
    *length = 0;
    if (!f->stream) return status::kFileNotOpen;
    if (write && IsReadOnly(f)) return status::kPermission;
    if (want < 0) return status::kParamErr;
    if (f->appHeaderSize == 0 || offset < 0 || uint32_t(offset) >= f->appHeaderSize)
        return status::kOutsideAppHeader;
    const int32_t n = int32_t(std::min<int64_t>(want, int64_t(f->appHeaderSize) - offset));
    if (n > 0) {
        if (write ? !writeBytes : !readBuffer) return status::kParamErr;
        const int64_t at = int64_t(f->appHeaderOffset) + offset;
        OSStatus st = write ? WriteAt(f, at, writeBytes, n) : ReadAt(f, at, readBuffer, n);
        if (st) return st;
    }
    *length = n;
    return n < want ? status::kOutsideAppHeader : status::kNoErr;
}

// Copies `count` bytes from the source's position to the destination's. Unlike StreamToStream it
// leaves both streams' buffers in place, so that a block built in the block stream's buffer goes
// to the file's buffer without touching the disk. -39 when the source runs out first.
OSStatus CopyThroughBuffers(StreamRecord* source, StreamRecord* destination, int32_t count) {
    char chunk[8192];
    while (count > 0) {
        int32_t n = std::min<int32_t>(count, sizeof chunk);
        const int32_t want = n;
        if (OSStatus st = StreamRead(source, chunk, &n)) return st;
        if (n != want) return status::kEndOfFile;
        if (OSStatus st = StreamWrite(destination, chunk, n)) return st;
        count -= n;
    }
    return status::kNoErr;
}

void CloseBlockStream(DynamicFileRecord* f) {
    // What the block stream still buffers went into blocks already: its file is deleted unwritten.
    if (f->blockStream) (void)RestartStream(f->blockStream);  // the buffered bytes are dropped on purpose
    (void)CloseStream(&f->blockStream, false);  // its file is deleted unwritten
    if (f->blockSpec) {
        (void)VXDeleteFile(f->blockSpec);  // best effort: a temporary file
        MemFreePtr(reinterpret_cast<Ptr>(f->blockSpec));
        f->blockSpec = nullptr;
    }
}

// Makes a folder's entries durable (after a rename into it); best effort.
void SyncFolder(const DirectoryRef* directory) {
    std::string path;
    if (CreateDirectoryURLFromDirectory(directory, &path) != status::kNoErr) return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The file that changes go to: the save's copy during a save, else the file itself.
const FileSpec& WorkingSpec(const DynamicFileRecord* f);

// Ends a save without committing it: the copy is closed and deleted and the record is again as it
// was when the save began (the block stream, which belongs to no file, stays as it is now).
void AbandonSave(DynamicFileRecord* f);

}  // namespace

struct DynamicFileSave {
    DynamicFileRecord before;  // the record at the outermost Begin, its stream on the file
    FileSpec copy;             // the copy that takes the changes
    int32_t depth = 0;
    OSStatus failure = status::kNoErr;  // the first failure inside the save
};

namespace {

const FileSpec& WorkingSpec(const DynamicFileRecord* f) { return f->save ? f->save->copy : f->spec; }

// Makes a new file of a unique name (prefix) in the folder of the file and copies the first
// `count` bytes of the record's stream into it; the stream over the new file in *out. On failure
// nothing is left (*made tells whether the file was made, for the caller's clean-up of later
// steps: it is deleted here when this fails).
OSStatus MakeCopyBeside(DynamicFileRecord* f, const char* prefix, int32_t count, FileSpec* copy, StreamRecord** out,
                        bool* made) {
    *out = nullptr;
    *made = false;
    // A name found free may be taken by another process before the file is made: then another.
    OSStatus st = status::kDuplicateName;
    for (int attempt = 0; attempt < 64 && st == status::kDuplicateName; ++attempt) {
        *copy = WorkingSpec(f);
        st = MakeTemporaryFileSpec(prefix, true, copy);
        if (st == status::kNoErr) st = CreateNewDataFile(copy, f->spec.creator, f->spec.type);
    }
    *made = st == status::kNoErr;
    if (st == status::kNoErr) st = OpenSpecStream(copy, false, kFileStreamBuffer, out);
    if (st == status::kNoErr) st = SetStreamPosition(f->stream, 0);
    int32_t copied = count;
    if (st == status::kNoErr) st = StreamToStream(f->stream, *out, &copied);
    if (st == status::kNoErr && copied != count) st = status::kEndOfFile;
    if (st) {
        (void)CloseStream(out, false);  // the copy failed already
        if (*made) (void)VXDeleteFile(copy);  // best effort: a partial copy
        *made = false;
    }
    return st;
}

void AbandonSave(DynamicFileRecord* f) {
    DynamicFileSave* save = f->save;
    if (!save) return;
    (void)CloseStream(&f->stream, false);  // abandoned: nothing is kept
    (void)VXDeleteFile(&save->copy);  // best effort: an abandoned copy
    StreamRecord* blockStream = f->blockStream;
    FileSpec* blockSpec = f->blockSpec;
    const DynamicFileIdleProc idle = f->idleProc;
    *f = save->before;
    f->blockStream = blockStream;
    f->blockSpec = blockSpec;
    f->idleProc = idle;
    f->save = nullptr;
    delete save;
}

}  // namespace

// ---- Files ----

OSStatus CreateDynamicFile(FileSpec* spec, const char* creator, const char* type, const char* fileType,
                           uint32_t appHeaderSize) {
    if (!spec || appHeaderSize > kMaxFileSize - kDynamicFileHeadSize - kDynamicFileHeaderRecordSize)
        return status::kParamErr;
    if (OSStatus st = CreateDataFile(spec, creator, type, false)) return st;
    StreamRecord* stream;
    if (OSStatus st = OpenSpecStream(spec, false, 4096, &stream)) return st;
    DynamicFileHead head{kDynamicFileMagic, kDynamicFileVersion, StringToFourChar(fileType ? fileType : ""),
                         kDynamicFileHeaderRecordSize, appHeaderSize};
    if constexpr (std::endian::native == std::endian::little)
        ByteSwapTemplate(&head, kDynamicFileHeadTemplate);
    const uint8_t zeros[kZeroPiece] = {};
    OSStatus st = SetStreamEnd(stream, 0);
    if (st == status::kNoErr) st = SetStreamPosition(stream, 0);
    if (st == status::kNoErr) st = StreamWrite(stream, &head, sizeof head);
    if (st == status::kNoErr) st = StreamWrite(stream, zeros, kDynamicFileHeaderRecordSize);
    for (uint32_t left = appHeaderSize; st == status::kNoErr && left > 0;) {
        const uint32_t piece = std::min(left, kZeroPiece);
        st = StreamWrite(stream, zeros, int32_t(piece));
        left -= piece;
    }
    OSStatus cs = CloseStream(&stream, false);
    return st ? st : cs;
}

OSStatus IsDynamicFileEx(const FileSpec* spec, FourCharCode* fileType, int32_t offset, void* buffer,
                         int32_t* length) {
    if (fileType) *fileType = 0;
    DynamicFileRecord file;
    OSStatus st = OpenDynamicFile(spec, true, &file);
    if (st) {
        if (length) *length = 0;
        return st;
    }
    if (fileType) *fileType = file.fileType;
    if (buffer && length) st = ReadDynamicFileHeader(&file, offset, buffer, length);
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    return st;
}

OSStatus OpenDynamicFile(const FileSpec* spec, bool readOnly, DynamicFileRecord* f) {
    if (!spec) {
        std::memset(static_cast<void*>(f), 0, sizeof *f);
        return status::kParamErr;
    }
    const FileSpec given = *spec;  // the spec may be the record's own
    std::memset(static_cast<void*>(f), 0, sizeof *f);
    f->spec = given;
    spec = &f->spec;
    gNoPreallocation = false;
    if (readOnly) f->flags = kDynamicFileReadOnly;
    if (OSStatus st = OpenSpecStream(spec, readOnly, kFileStreamBuffer, &f->stream)) return st;
    OSStatus st = ReadFileHeader(f);
    if (st == status::kNoErr && readOnly) {
        // Only counting uses the list of a read-only file, and that walk checks every link.
        FreeBlockInfo info;
        if (f->header.firstFree != 0 && CheckFreeEntry(f, f->header.firstFree, &info) != status::kNoErr)
            f->header.firstFree = 0;
    } else if (st == status::kNoErr && IsOldLayout(f) && f->headerOffset == 0) {
        // An old-layout file keeps its first-free in a header block: without one, nothing written
        // could keep its free list, and the file would read as damaged ever after.
        st = status::kBadPosition;
    } else if (st == status::kNoErr) {
        // A file that will be written must have a sound block chain (appending after a damaged
        // one would make every new block unreachable) and a free list that names only its free
        // blocks, each once.
        Reporter quiet;
        std::vector<uint32_t> freeBlocks;
        st = WalkChain(f, &freeBlocks, quiet);
        if (st == status::kNoErr && !CheckFreeListAgainstChain(f, f->header.firstFree, freeBlocks, quiet))
            st = RebuildFreeList(f);
    }
    if (st) (void)CloseStream(&f->stream, false);  // the open status is the one reported
    return st;
}

OSStatus CutShortLastFileBlock(const FileSpec* spec, uint32_t* cut) {
    *cut = 0;
    DynamicFileRecord f{};
    if (OSStatus st = OpenDynamicFile(spec, true, &f)) return st;
    // The end of the last whole block: where the walk meets a block it cannot read whole.
    const int64_t end = FileEnd(&f);
    int64_t whole = end;
    OSStatus st = status::kNoErr;
    for (int64_t offset = FirstBlock(&f); offset - int64_t(kFileBlockHeadSize) < end;) {
        FileBlockHead head;
        if (offset > end || (st = ReadBlockHeader(&f, offset, &head)) == status::kEndOfFile) {
            whole = offset - kFileBlockHeadSize;
            st = status::kNoErr;
            break;
        }
        if (st) break;
        offset = NextBlock(offset, head);
    }
    (void)CloseAndMaybeFlushDynamicFile(&f, false);  // read only: nothing to flush
    if (st || whole >= end) return st;
    StreamRecord* stream = nullptr;
    if ((st = OpenSpecStream(spec, false, kFileStreamBuffer, &stream))) return st;
    st = SetStreamEnd(stream, int32_t(whole));
    const OSStatus cs = CloseStream(&stream, true);
    if (!st) st = cs;
    if (!st) *cut = uint32_t(end - whole);
    return st;
}

OSStatus CloseAndMaybeFlushDynamicFile(DynamicFileRecord* f, bool flush) {
    AbandonSave(f);
    if (!f->stream) return status::kFileNotOpen;
    OSStatus st = status::kNoErr;
    if (!IsReadOnly(f)) st = EndFileUpdates(f, flush);
    CloseBlockStream(f);
    OSStatus cs = CloseStream(&f->stream, flush && !IsReadOnly(f));
    return st ? st : cs;
}

OSStatus FlushDynamicFile(DynamicFileRecord* f, bool flushToDisk) {
    if (!f->stream || IsReadOnly(f)) return status::kNoErr;
    if (f->flags & kDynamicFileHeaderChanged) {
        // The blocks reach the file before the first-free that describes them.
        if (OSStatus st = FlushStreamBuffer(f->stream, flushToDisk)) return st;
        if (OSStatus st = WriteFileHeader(f, f->header.firstFree)) return st;
        f->flags &= uint16_t(~kDynamicFileHeaderChanged);
        const OSStatus st = FlushStreamBuffer(f->stream, flushToDisk);
#if PLEXA_ASSERTS_ON
        // The free list changed since the last flush: the file as it now stands must be sound.
        if (st == status::kNoErr) {
            const auto print = [](const char* message, void*) { std::fprintf(stderr, "%s\n", message); };
            const int32_t position = GetStreamPosition(f->stream);
            PLEXA_ASSERT(CheckDynamicFile(f, print, nullptr) == status::kNoErr);
            (void)SetStreamPosition(f->stream, position);  // debug check: restores a position read just before
        }
#endif
        return st;
    }
    return FlushStreamBuffer(f->stream, flushToDisk);
}

OSStatus EmptyDynamicFile(DynamicFileRecord* f) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (OSStatus st = ArmCrashGuard(f)) return st;
    if (OSStatus st = SetStreamEnd(f->stream, int32_t(f->blocksStart))) return st;
    if (OSStatus st = SetFirstFree(f, 0)) return st;
    return IsOldLayout(f) ? WriteOldHeaderBlock(f) : status::kNoErr;
}

// ---- Application header ----

uint32_t GetDynamicFileHeaderSize(const DynamicFileRecord* f) {
    return f->appHeaderSize;
}

OSStatus ReadDynamicFileHeader(DynamicFileRecord* f, int32_t offset, void* buffer, int32_t* length) {
    return TransferAppHeader(f, offset, buffer, nullptr, false, length);
}

OSStatus WriteDynamicFileHeader(DynamicFileRecord* f, int32_t offset, const void* buffer, int32_t* length) {
    return TransferAppHeader(f, offset, nullptr, buffer, true, length);
}

// ---- Blocks ----

OSStatus FindFileBlock(DynamicFileRecord* f, uint8_t type, uint32_t* offset, uint32_t* size, bool fromStart) {
    if (fromStart) *offset = 0;
    uint8_t found = type;
    return ScanFileBlocks(f, offset, size, &found);
}

OSStatus ScanFileBlocks(DynamicFileRecord* f, uint32_t* offset, uint32_t* size, uint8_t* type) {
    const uint8_t want = *type;
    auto none = [&](OSStatus st) {
        *offset = 0;
        *size = 0;
        *type = 0;
        return st;
    };
    if (!f->stream) return none(status::kFileNotOpen);
    if (IsReadOnly(f)) {
        // The file may have grown through another writer; the buffered window is only dropped
        // when its length did change.
        struct stat info {};
        if (::fstat(f->stream->target.fd, &info) != 0) return none(status::kParamErr);
        if (info.st_size != FileEnd(f)) {
            if (OSStatus st = RecalculateStream(f->stream)) return none(st);
        }
    }
    FileBlockHead head;
    int64_t current = FirstBlock(f);
    if (*offset != 0) {
        if (OSStatus st = ReadBlockHeader(f, *offset, &head)) return none(st);
        current = NextBlock(*offset, head);
    }
    for (;;) {
        if (current - int64_t(kFileBlockHeadSize) >= FileEnd(f)) return none(status::kNoErr);
        if (OSStatus st = ReadBlockHeader(f, current, &head)) return none(st);
        Idle(f);
        if (want == 0 || head.type == want) {
            *offset = uint32_t(current);
            *size = head.size;
            *type = head.type;
            return status::kNoErr;
        }
        current = NextBlock(current, head);
    }
}

OSStatus GetFileBlockInfo(DynamicFileRecord* f, uint32_t offset, uint32_t* size, uint8_t* type) {
    *size = 0;
    *type = 0;
    if (!f->stream) return status::kFileNotOpen;
    FileBlockHead head;
    if (OSStatus st = ReadBlockHeader(f, offset, &head)) return st;
    if (OSStatus st = SetStreamPosition(f->stream, int32_t(offset))) return st;
    *size = head.size;
    *type = head.type;
    return status::kNoErr;
}

OSStatus ReadFileBlock(DynamicFileRecord* f, uint32_t offset, void* buffer, int32_t* length) {
    const int32_t want = *length;
    *length = 0;
    if (!f->stream) return status::kFileNotOpen;
    if (want < 0 || (want > 0 && !buffer)) return status::kParamErr;
    FileBlockHead head;
    if (OSStatus st = ReadBlockHeader(f, offset, &head)) return st;
    const int32_t n = int32_t(std::min<int64_t>(want, head.size));
    if (OSStatus st = ReadAt(f, offset, buffer, n)) return st;
    *length = n;
    return status::kNoErr;
}

OSStatus LoadFileBlock(DynamicFileRecord* f, uint32_t offset, Handle* handle) {
    *handle = nullptr;
    if (!f->stream) return status::kFileNotOpen;
    FileBlockHead head;
    if (OSStatus st = ReadBlockHeader(f, offset, &head)) return st;
    Handle h = AllocHandle(nullptr, head.size);
    if (!h) return status::kOutOfMemory;
    if (OSStatus st = ReadAt(f, offset, head.size ? *h : nullptr, int32_t(head.size))) {
        MemFree(h);
        return st;
    }
    *handle = h;
    return status::kNoErr;
}

OSStatus WriteFileBlock(DynamicFileRecord* f, uint8_t type, uint32_t size, const void* bytes,
                        uint32_t* offset) {
    *offset = 0;
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (type == kFreeBlockType || !bytes) return status::kParamErr;
    uint32_t block = 0;
    bool appended = false;
    gNoPreallocation = true;
    OSStatus st = AllocateFileBlockEx(f, size, type, &block, &appended);
    if (st == status::kNoErr) st = StreamWrite(f->stream, bytes, int32_t(size));
    gNoPreallocation = false;
    if (st) {
        UndoBlock(f, block, appended);
        return st;
    }
    *offset = block;
    return status::kNoErr;
}

OSStatus AllocateFileBlock(DynamicFileRecord* f, uint32_t size, uint8_t type, uint32_t* offset) {
    bool appended;
    return AllocateFileBlockEx(f, size, type, offset, &appended);
}

OSStatus AllocateNewFileBlock(DynamicFileRecord* f, uint32_t size, uint8_t type, uint32_t* offset) {
    *offset = 0;
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (size < 1 || size > kMaxFileSize) return status::kParamErr;
    return AppendNewBlock(f, size, type, offset);
}

namespace {

// Whether a block of the chain starts at the offset: bytes inside a block may read as a head,
// and releasing them would make a free block of the middle of another.
bool StartsChainBlock(DynamicFileRecord* f, int64_t offset) {
    int64_t at = FirstBlock(f);
    while (at < offset) {
        FileBlockHead head;
        if (ReadBlockHeader(f, at, &head) != status::kNoErr) return false;
        at = NextBlock(at, head);
    }
    return at == offset;
}

// The checks of releasing a block of the chain, before anything is written: its head and the
// size it frees (a free block is left alone: 0).
OSStatus CheckChainRelease(DynamicFileRecord* f, uint32_t offset, FileBlockHead* head, uint32_t* size) {
    if (OSStatus st = ReadBlockHeader(f, offset, head)) return st;
    if (head->type == kFreeBlockType) return status::kNoErr;
    // The old layout's header block holds the first-free itself.
    if (IsOldLayout(f) && offset == f->headerOffset) return status::kParamErr;
    *size = head->size + head->headLength - kFileBlockHeadSize;
    if (*size < kMinFileBlockSize) return status::kBadPosition;
    return status::kNoErr;
}

// The same for any offset: it must start a block of the chain.
OSStatus CheckRelease(DynamicFileRecord* f, uint32_t offset, FileBlockHead* head, uint32_t* size) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (!StartsChainBlock(f, offset)) return status::kBadPosition;
    return CheckChainRelease(f, offset, head, size);
}

// Releases a block that passed the checks.
OSStatus ReleaseChecked(DynamicFileRecord* f, uint32_t offset, const FileBlockHead& head, uint32_t size) {
    if (head.type == kFreeBlockType) return status::kNoErr;
    if (OSStatus st = ArmCrashGuard(f)) return st;
    if (OSStatus st = WriteBlockHeader(f, offset, {kFreeBlockType, uint8_t(kFileBlockHeadSize), size}))
        return st;
    return AddFreeBlockList(f, offset, size);
}

// Releases a block that a walk of the chain found.
OSStatus ReleaseChainBlock(DynamicFileRecord* f, uint32_t offset) {
    FileBlockHead head{};
    uint32_t size = 0;
    if (OSStatus st = CheckChainRelease(f, offset, &head, &size)) return st;
    return ReleaseChecked(f, offset, head, size);
}

}  // namespace

OSStatus ReleaseFileBlock(DynamicFileRecord* f, uint32_t offset) {
    FileBlockHead head{};
    uint32_t size = 0;
    if (OSStatus st = CheckRelease(f, offset, &head, &size)) return st;
    return ReleaseChecked(f, offset, head, size);
}

OSStatus CheckFileBlockRelease(DynamicFileRecord* f, uint32_t offset) {
    FileBlockHead head{};
    uint32_t size = 0;
    return CheckRelease(f, offset, &head, &size);
}

OSStatus SetFileBlockType(DynamicFileRecord* f, uint32_t offset, uint8_t type) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (type > kLastFormatBlockType) return status::kParamErr;
    FileBlockHead head;
    if (OSStatus st = ReadBlockHeader(f, offset, &head)) return st;
    if (head.type > kLastFormatBlockType) return status::kParamErr;
    head.type = type;
    return WriteBlockHeader(f, offset, head);
}

OSStatus DeleteTypedFileBlocks(DynamicFileRecord* f, uint8_t type) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    for (uint32_t offset = 0;;) {
        uint32_t size;
        uint8_t found = type;
        if (OSStatus st = ScanFileBlocks(f, &offset, &size, &found)) return st;
        if (offset == 0) return status::kNoErr;
        if (IsOldLayout(f) && offset == f->headerOffset) continue;
        if (OSStatus st = ReleaseChainBlock(f, offset)) return st;  // found by the walk
    }
}

OSStatus CountFreeBlocks(DynamicFileRecord* f, uint32_t* count, uint32_t* bytes, bool countHeads) {
    *count = 0;
    *bytes = 0;
    if (!f->stream) return status::kFileNotOpen;
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t n = 0, total = 0;
        bool damaged;
        WalkFreeList(f, &damaged, [&](uint32_t, uint32_t, const FreeBlockInfo& info) {
            Idle(f);
            ++n;
            total += info.size + (countHeads ? kFileBlockHeadSize : 0);
            return false;
        });
        if (!damaged) {
            *count = n;
            *bytes = total;
            return status::kNoErr;
        }
        if (OSStatus st = FreeListDamaged(f)) return st;
    }
    return status::kBadPosition;
}

OSStatus RebuildFreeList(DynamicFileRecord* f) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (OSStatus st = SetFirstFree(f, 0)) return st;
    std::vector<std::pair<uint32_t, uint32_t>> runs;  // data offset, size; ascending
    for (int64_t offset = FirstBlock(f); offset - int64_t(kFileBlockHeadSize) < FileEnd(f);) {
        FileBlockHead head;
        if (ReadBlockHeader(f, offset, &head) != status::kNoErr) break;  // a damaged tail stays as it is
        if (head.type != kFreeBlockType) {
            offset = NextBlock(offset, head);
            continue;
        }
        uint32_t run;
        if (OSStatus st = CoalesceFree(f, offset, true, &run)) return st;
        if (run == kEndlessRun) {
            if (OSStatus st = SetStreamEnd(f->stream, int32_t(offset - kFileBlockHeadSize))) return st;
            break;
        }
        if (run >= kMinFileBlockSize) runs.emplace_back(uint32_t(offset), run);
        offset += int64_t(run) + kFileBlockHeadSize;
    }
    uint32_t next = 0;
    for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
        if (OSStatus st = SetFreeInfo(f, it->first, {it->second, next})) return st;
        next = it->first;
    }
    return SetFirstFree(f, next);
}

OSStatus CompactFileBlocks(DynamicFileRecord* f) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    uint32_t count, bytes;
    if (OSStatus st = CountFreeBlocks(f, &count, &bytes, false)) return st;
    if (count == 0) return status::kNoErr;
    // The original is made consistent on disk first: it is what stays when anything below fails.
    if (OSStatus st = FlushDynamicFile(f, true)) return st;

    // In a save the copy is compacted; the file itself stays as it is until the save commits.
    const FileSpec working = WorkingSpec(f);
    FileSpec temporary = working;
    bool created = false, replaced = false;
    DynamicFileRecord out;
    std::memset(static_cast<void*>(&out), 0, sizeof out);
    OSStatus st = CatchSignals(
        [&] {
            // Head, header record and application header as they are; then an empty list.
            Signal(MakeCopyBeside(f, "DFC", int32_t(f->blocksStart), &temporary, &out.stream, &created));
            out.spec = temporary;
            out.headerOffset = IsOldLayout(f) ? 0 : f->headerOffset;  // the old layout's comes anew
            out.headerSize = f->headerSize;
            out.appHeaderOffset = f->appHeaderOffset;
            out.appHeaderSize = f->appHeaderSize;
            out.blocksStart = f->blocksStart;
            out.fileType = f->fileType;
            out.header = f->header;
            Signal(EmptyDynamicFile(&out));
            std::vector<char> buffer;
            for (uint32_t offset = 0;;) {
                uint32_t size;
                uint8_t type = 0;
                Signal(ScanFileBlocks(f, &offset, &size, &type));
                if (offset == 0) break;
                if (type >= kFirstDroppedType) continue;
                uint32_t copy;
                gNoPreallocation = true;
                Signal(AppendNewBlock(&out, size, type, &copy));
                buffer.resize(std::max<size_t>(size, 1));
                Signal(ReadAt(f, offset, buffer.data(), int32_t(size)));
                Signal(WriteAt(&out, copy, buffer.data(), int32_t(size)));
                gNoPreallocation = false;
            }
            Signal(FlushDynamicFile(&out, true));
            struct stat info {};
            if (::fstat(f->stream->target.fd, &info) == 0)
                ::fchmod(out.stream->target.fd, info.st_mode & 07777);
            Signal(CloseStream(&out.stream, true));
            Signal(VXReplaceFile(&working, &temporary));
            replaced = true;
        },
        [&] {
            gNoPreallocation = false;
            (void)CloseStream(&out.stream, false);  // the save status is the one reported
            if (created && !replaced) (void)VXDeleteFile(&temporary);  // best effort: an unused temporary file
        });
    if (st) return st;
    SyncFolder(&f->spec.directory);

    // The record follows the file to its new content; the block stream and the save stay.
    const FileSpec spec = f->spec;
    const DynamicFileIdleProc idle = f->idleProc;
    StreamRecord* blockStream = f->blockStream;
    FileSpec* blockSpec = f->blockSpec;
    DynamicFileSave* save = f->save;
    (void)CloseStream(&f->stream, false);  // the file was replaced; it is opened again below
    st = OpenDynamicFile(&working, false, f);
    f->spec = spec;
    f->save = save;
    f->idleProc = idle;
    f->blockStream = blockStream;
    f->blockSpec = blockSpec;
    if (st) CloseBlockStream(f);
    return st;
}

// ---- Block writing through the temporary stream ----

OSStatus BeginFileUpdates(DynamicFileRecord* f) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (f->blockStream) return status::kNoErr;
    auto* spec = reinterpret_cast<FileSpec*>(AllocPtrClear(gGenPool, sizeof(FileSpec)));
    if (!spec) return status::kOutOfMemory;
    OSStatus st = CreateTemporaryDataFile("DFB", nullptr, nullptr, spec);
    if (st) {
        MemFreePtr(reinterpret_cast<Ptr>(spec));
        return st;
    }
    f->blockSpec = spec;
    st = OpenSpecStream(spec, false, kBlockStreamBuffer, &f->blockStream);
    if (st) CloseBlockStream(f);
    return st;
}

OSStatus BeginFileBlockWrite(DynamicFileRecord* f, int32_t bufferSize, StreamRecord** stream) {
    *stream = nullptr;
    if (OSStatus st = BeginFileUpdates(f)) return st;
    // Emptied without truncating its file, which would cost a system call a block (more than the
    // block's own writing). What earlier blocks left beyond the end is never read.
    if (OSStatus st = RestartStream(f->blockStream)) return st;
    if (bufferSize >= 0) {
        if (OSStatus st = SetStreamBufferSize(f->blockStream, bufferSize)) return st;
    }
    *stream = f->blockStream;
    return status::kNoErr;
}

OSStatus EndFileBlockWrite(DynamicFileRecord* f, uint32_t flags, uint8_t type, uint32_t* offset) {
    if (offset) *offset = 0;
    if (!f->stream || !f->blockStream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (type == kFreeBlockType) return status::kParamErr;
    // Bytes that never reached the block stream's file would leave a block with a hole.
    if (OSStatus st = GetStreamWriteError(f->blockStream)) return st;
    const int32_t length = GetStreamEnd(f->blockStream);
    if (flags & kBlockWriteReleaseFirst) {
        uint32_t old = 0, size;
        if (OSStatus st = FindFileBlock(f, type, &old, &size, true)) return st;
        if (old != 0) {
            if (OSStatus st = ReleaseFileBlock(f, old)) return st;
        }
    }
    if (length == 0) return status::kNoErr;
    uint32_t block = 0;
    bool appended = true;
    gNoPreallocation = true;
    OSStatus st = (flags & kBlockWriteAtEnd)
                      ? AllocateNewFileBlock(f, uint32_t(length), type, &block)
                      : AllocateFileBlockEx(f, uint32_t(length), type, &block, &appended);
    if (st == status::kNoErr) st = SetStreamPosition(f->blockStream, 0);
    if (st == status::kNoErr) st = CopyThroughBuffers(f->blockStream, f->stream, length);
    gNoPreallocation = false;
    if (st) {
        UndoBlock(f, block, appended);
        return st;
    }
    if (offset) *offset = block;
    return status::kNoErr;
}

OSStatus EndFileUpdates(DynamicFileRecord* f, bool flush) {
    if (!f->stream) return status::kFileNotOpen;
    CloseBlockStream(f);
    return FlushDynamicFile(f, flush);
}

// ---- Saves ----

OSStatus BeginDynamicFileSave(DynamicFileRecord* f) {
    if (!f->stream) return status::kFileNotOpen;
    if (IsReadOnly(f)) return status::kPermission;
    if (f->save) {
        ++f->save->depth;
        return status::kNoErr;
    }
    // What the record holds and the file does not yet is written first: the copy starts from it.
    if (OSStatus st = FlushDynamicFile(f, false)) return st;
    // The copy is made from the open file, which is what the record stands for.
    auto* save = new DynamicFileSave{};
    StreamRecord* stream = nullptr;
    bool made = false;
    if (OSStatus st = MakeCopyBeside(f, "DFS", int32_t(FileEnd(f)), &save->copy, &stream, &made)) {
        delete save;
        return st;
    }
    save->before = *f;
    save->depth = 1;
    f->stream = stream;
    f->save = save;
    return status::kNoErr;
}

OSStatus EndDynamicFileSave(DynamicFileRecord* f, OSStatus result) {
    DynamicFileSave* save = f->save;
    if (!save) return result ? result : status::kFileNotOpen;
    if (result && !save->failure) save->failure = result;
    if (--save->depth > 0) return result;
    OSStatus st = save->failure;
    if (st == status::kNoErr && !f->stream) st = status::kFileNotOpen;
    if (st == status::kNoErr) st = FlushDynamicFile(f, true);
    if (st == status::kNoErr) {
        // The copy takes the permissions the file has now.
        struct stat info {};
        if (::fstat(save->before.stream->target.fd, &info) != 0 ||
            ::fchmod(f->stream->target.fd, info.st_mode & 07777) != 0)
            st = StatusFromErrno(errno);
    }
    if (st == status::kNoErr) st = VXReplaceFile(&f->spec, &save->copy);
    if (st) {
        AbandonSave(f);
        return st;
    }
    SyncFolder(&f->spec.directory);
    (void)CloseStream(&save->before.stream, false);  // the kept original is no longer needed
    f->save = nullptr;
    delete save;
    return status::kNoErr;
}

// ---- Checking ----

OSStatus CheckDynamicFile(DynamicFileRecord* f, DynamicFileProblemProc proc, void* context) {
    if (!f->stream) return status::kFileNotOpen;
    Reporter report{proc, context, 0};
    std::vector<uint32_t> freeBlocks;
    (void)WalkChain(f, &freeBlocks, report);  // damage is counted by the reporter
    uint8_t stored[4];
    if (f->headerOffset == 0) {
        report("the file has no header record (no block of type 254)");
    } else if (ReadAt(f, f->headerOffset, stored, 4) != status::kNoErr) {
        report("the header record lies outside the file");
    } else {
        CheckFreeListAgainstChain(f, Get32(stored), freeBlocks, report);
    }
    return report.count ? status::kBadPosition : status::kNoErr;
}

}  // namespace plexa
