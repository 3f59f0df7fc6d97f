// Streams over files, handles and counters (see stream.h).
//
// File streams read and write a POSIX descriptor at its mark. With a buffer, the stream holds a
// window [windowStart, windowEnd) of the file and a dirty range inside it; the dirty bytes reach
// the file on a flush, a window move, a buffer-size change or close. The window never reaches
// past the stream's end.
#include "foundation/stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "foundation/byteswap.h"
#include "foundation/memory.h"

namespace plexa {

// ---- the test seam of file writes ----

namespace {

// The full-disk fault of tests: bytes still allowed (negative: no fault) and bytes written since
// the fault was last set.
struct FileWriteFault {
    int64_t bytesLeft = -1;
    int32_t failuresLeft = -1;  // writes that fail once the bytes are used up, -1 for all
    int64_t bytesWritten = 0;
};
FileWriteFault gFileWriteFault;

}  // namespace

void SetFileWriteFault(int64_t bytesLeft, int32_t failures) {
    gFileWriteFault = FileWriteFault{bytesLeft < 0 ? -1 : bytesLeft, failures < 0 ? -1 : failures, 0};
}

int64_t GetFileBytesWritten() { return gFileWriteFault.bytesWritten; }

ssize_t WriteFileBytes(int fd, const void* bytes, size_t count) {
    FileWriteFault& fault = gFileWriteFault;
    if (fault.bytesLeft >= 0 && count > 0) {
        if (fault.bytesLeft == 0) {
            if (fault.failuresLeft > 0 && --fault.failuresLeft == 0) fault.bytesLeft = -1;  // room again
            errno = ENOSPC;
            return -1;
        }
        count = size_t(std::min<int64_t>(int64_t(count), fault.bytesLeft));
    }
    const ssize_t n = ::write(fd, bytes, count);
    if (n > 0) {
        fault.bytesWritten += n;
        if (fault.bytesLeft >= 0) fault.bytesLeft -= n;
    }
    return n;
}

namespace {

constexpr int32_t kMaxStreamSize = 0x7FFFFFFF;
constexpr int32_t kCleanDirtyStart = 0x7FFFFFFF;
constexpr int32_t kMaxBufferSize = 0xFFFFC;  // buffer sizes are kept to 20 bits

uint32_t ToBigEndian32(uint32_t v) {
    return std::endian::native == std::endian::big ? v : ByteSwapLong(&v);
}

void ResetWindow(StreamRecord* s) {
    s->windowStart = -1;
    s->windowEnd = -1;
    s->dirtyStart = kCleanDirtyStart;
    s->dirtyEnd = 0;
}

bool IsBuffered(const StreamRecord* s) { return s->bufferSize > 0 && s->buffer != nullptr; }

// Descriptor access at the file's mark. Short reads give -39, short writes -47, system failures
// -50; *done is what was transferred.
OSStatus SetMark(int32_t fd, int32_t offset) {
    return lseek(fd, offset, SEEK_SET) < 0 ? status::kParamErr : status::kNoErr;
}

OSStatus ReadAtMark(int32_t fd, void* bytes, int32_t count, int32_t* done) {
    *done = 0;
    auto* p = static_cast<char*>(bytes);
    while (*done < count) {
        ssize_t n = ::read(fd, p + *done, size_t(count - *done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return status::kParamErr;
        }
        if (n == 0) return status::kEndOfFile;
        *done += int32_t(n);
    }
    return status::kNoErr;
}

OSStatus WriteAtMark(int32_t fd, const void* bytes, int32_t count, int32_t* done) {
    *done = 0;
    auto* p = static_cast<const char*>(bytes);
    while (*done < count) {
        ssize_t n = WriteFileBytes(fd, p + *done, size_t(count - *done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno == ENOSPC ? status::kBusy : status::kParamErr;
        }
        if (n == 0) return status::kBusy;
        *done += int32_t(n);
    }
    return status::kNoErr;
}

char* BufferBytes(StreamRecord* s) { return *s->buffer; }

// Keeps the first failure of a write to the file (see stream.h) and returns it.
OSStatus WriteFailed(StreamRecord* s, OSStatus st) {
    if (st && !s->writeError) s->writeError = st;
    return s->writeError ? s->writeError : st;
}

// Writes the dirty range of a file stream's window at its file positions. A stream whose write
// failed before writes nothing more.
OSStatus WriteDirtyRange(StreamRecord* s) {
    if (s->writeError) return s->writeError;
    if (s->dirtyStart >= s->dirtyEnd) return status::kNoErr;
    OSStatus st = SetMark(s->target.fd, s->dirtyStart);
    if (st) return WriteFailed(s, st);
    int32_t done;
    st = WriteAtMark(s->target.fd, BufferBytes(s) + (s->dirtyStart - s->windowStart),
                     s->dirtyEnd - s->dirtyStart, &done);
    if (st) return WriteFailed(s, st);
    s->dirtyStart = kCleanDirtyStart;
    s->dirtyEnd = 0;
    return status::kNoErr;
}

void MarkDirty(StreamRecord* s, int32_t from, int32_t to) {
    s->dirtyStart = std::min(s->dirtyStart, from);
    s->dirtyEnd = std::max(s->dirtyEnd, to);
    s->windowEnd = std::max(s->windowEnd, to);
}

void InstallProcedures(StreamRecord* s) {
    switch (s->kind) {
        case kStreamFile:
            s->readProc = StreamFromFile;
            s->writeProc = StreamToFile;
            s->positionProc = UpdateFilePos;
            s->sizeProc = UpdateFileSize;
            s->closeProc = FlushFileBuffer;
            s->recalculateProc = RecalculateFileStream;
            break;
        case kStreamHandle:
            s->flags |= kStreamIsHandle;
            s->readProc = StreamFromHandle;
            s->writeProc = StreamToHandle;
            s->sizeProc = UpdateHandleStreamSize;
            s->recalculateProc = RecalculateHandleStream;
            break;
        case kStreamCounter:
            s->readProc = StreamFromCounter;
            s->position = s->end = std::max<int32_t>(s->target.count, 0);
            break;
        default:
            break;  // caller objects install their own procedures; other kinds get none
    }
}

OSStatus RunPositionProc(StreamRecord* s) {
    return s->positionProc ? s->positionProc(s) : status::kNoErr;
}

}  // namespace

// ---- file procedures ----

OSStatus LoadFileBuffer(StreamRecord* s, int32_t position) {
    OSStatus st = WriteDirtyRange(s);
    if (st == status::kNoErr) st = SetMark(s->target.fd, position);
    int32_t got = 0;
    if (st == status::kNoErr) {
        st = ReadAtMark(s->target.fd, BufferBytes(s), s->bufferSize, &got);
        if (st == status::kEndOfFile && got > 0) st = status::kNoErr;
    }
    if (got > 0 && st == status::kNoErr) {
        s->windowStart = position;
        s->windowEnd = position + got;
        s->dirtyStart = kCleanDirtyStart;
        s->dirtyEnd = 0;
        return status::kNoErr;
    }
    ResetWindow(s);
    return st ? st : status::kEndOfFile;
}

OSStatus StreamFromFile(StreamRecord* s, void* bytes, int32_t* count) {
    const int32_t want = *count;
    if (!IsBuffered(s)) return ReadAtMark(s->target.fd, bytes, want, count);
    auto* out = static_cast<char*>(bytes);
    int32_t p = s->position;
    int32_t got = 0;
    OSStatus st = status::kNoErr;
    while (got < want) {
        if (s->windowStart < 0 || p < s->windowStart || p >= s->windowEnd) {
            if (s->windowStart == p && s->windowEnd == p) {
                st = status::kEndOfFile;
                break;
            }
            st = LoadFileBuffer(s, p);
            if (st) break;
        }
        int32_t n = std::min(want - got, s->windowEnd - p);
        std::memcpy(out + got, BufferBytes(s) + (p - s->windowStart), size_t(n));
        got += n;
        p += n;
    }
    *count = got;
    return st;
}

OSStatus StreamToFile(StreamRecord* s, const void* bytes, int32_t count) {
    if (s->writeError) return s->writeError;
    if (!IsBuffered(s)) {
        int32_t done;
        return WriteFailed(s, WriteAtMark(s->target.fd, bytes, count, &done));
    }
    auto* in = static_cast<const char*>(bytes);
    int32_t p = s->position;
    int32_t end = s->end;  // follows the bytes appended by this call
    int32_t put = 0;
    while (put < count) {
        int32_t n;
        if (s->windowStart >= 0 && p >= s->windowStart && p < s->windowEnd) {
            n = std::min(count - put, s->windowEnd - p);
        } else if (p == end && s->windowStart >= 0 && p == s->windowEnd &&
                   s->windowEnd - s->windowStart < s->bufferSize) {
            n = std::min(count - put, s->bufferSize - (s->windowEnd - s->windowStart));
        } else if (p == end) {
            OSStatus st = WriteDirtyRange(s);
            if (st) return st;
            s->windowStart = s->windowEnd = p;
            continue;
        } else {
            OSStatus st = LoadFileBuffer(s, p);
            if (st) return st;
            if (p >= s->windowEnd) return status::kEndOfFile;
            continue;
        }
        std::memcpy(BufferBytes(s) + (p - s->windowStart), in + put, size_t(n));
        MarkDirty(s, p, p + n);
        put += n;
        p += n;
        end = std::max(end, p);
    }
    return status::kNoErr;
}

OSStatus UpdateFilePos(StreamRecord* s) {
    return IsBuffered(s) ? status::kNoErr : SetMark(s->target.fd, s->position);
}

OSStatus UpdateFileSize(StreamRecord* s, int32_t newEnd) {
    while (ftruncate(s->target.fd, newEnd) != 0) {
        if (errno != EINTR) return status::kParamErr;
    }
    return status::kNoErr;
}

OSStatus FlushFileBuffer(StreamRecord* s, bool) {
    if (s->writeError) return s->writeError;
    if (!IsBuffered(s)) return status::kNoErr;
    OSStatus st = WriteDirtyRange(s);
    if (st == status::kNoErr) ResetWindow(s);
    return st;
}

// Reloads the end from the file's size. Buffered bytes not yet written are dropped: this runs
// when the stream must be made to agree with its file again (creation, a failed write). An
// unbuffered stream takes the file's mark as its position; a buffered one keeps its position.
OSStatus RecalculateFileStream(StreamRecord* s) {
    ResetWindow(s);
    struct stat info;
    if (fstat(s->target.fd, &info) != 0) return status::kParamErr;
    off_t mark = lseek(s->target.fd, 0, SEEK_CUR);
    if (mark < 0) mark = 0;
    if (info.st_size > kMaxStreamSize || mark > kMaxStreamSize) {
        s->end = kMaxStreamSize;
        s->position = std::min<int64_t>(s->position, kMaxStreamSize);
        return status::kParamErr;
    }
    s->end = int32_t(info.st_size);
    if (!IsBuffered(s)) s->position = int32_t(mark);
    s->position = std::min(s->position, s->end);
    return status::kNoErr;
}

// ---- handle procedures ----

namespace {
int32_t HandleBytes(const StreamRecord* s) {
    if (!s->target.handle) return 0;
    return int32_t(std::min<uint32_t>(SizeOfHandle(s->target.handle), kMaxStreamSize));
}
}  // namespace

OSStatus StreamFromHandle(StreamRecord* s, void* bytes, int32_t* count) {
    int32_t n = std::clamp(HandleBytes(s) - s->position, 0, *count);
    if (n > 0) std::memcpy(bytes, *s->target.handle + s->position, size_t(n));
    *count = n;
    return n == 0 && s->position >= HandleBytes(s) ? status::kEndOfFile : status::kNoErr;
}

OSStatus StreamToHandle(StreamRecord* s, const void* bytes, int32_t count) {
    if (int64_t(s->position) + count > HandleBytes(s)) return status::kParamErr;
    std::memcpy(*s->target.handle + s->position, bytes, size_t(count));
    return status::kNoErr;
}

OSStatus UpdateHandleStreamSize(StreamRecord* s, int32_t newEnd) {
    if (!s->target.handle) return status::kOutOfMemory;
    const uint32_t old = SizeOfHandle(s->target.handle);
    if (!ResizeHandle(s->target.handle, uint32_t(newEnd))) return status::kOutOfMemory;
    // The new part reads as zeros, as a grown file does: never as memory that was there before.
    if (uint32_t(newEnd) > old) std::memset(*s->target.handle + old, 0, size_t(uint32_t(newEnd) - old));
    return status::kNoErr;
}

OSStatus RecalculateHandleStream(StreamRecord* s) {
    s->end = HandleBytes(s);
    s->position = std::clamp(s->position, 0, s->end);
    return status::kNoErr;
}

OSStatus StreamFromCounter(StreamRecord*, void*, int32_t* count) {
    *count = 0;
    return status::kWriteOnly;
}

// ---- creation and disposal ----

OSStatus InitStream(StreamRecord* s, uint32_t kind, StreamTarget target) {
    OSStatus st = s->closeProc ? s->closeProc(s, false) : status::kNoErr;
    if (s->buffer) MemFree(s->buffer);
    std::memset(static_cast<void*>(s), 0, sizeof *s);
    s->kind = kind;
    s->target = target;
    ResetWindow(s);
    InstallProcedures(s);
    return st;
}

OSStatus CreateStream(uint32_t kind, StreamTarget target, StreamRecord** out) {
    *out = nullptr;
    auto* s = reinterpret_cast<StreamRecord*>(AllocPtrClear(gGenPool, sizeof(StreamRecord)));
    if (!s) return status::kOutOfMemory;
    (void)InitStream(s, kind, target);  // a cleared record has nothing to close
    OSStatus st = s->recalculateProc ? s->recalculateProc(s) : status::kNoErr;
    if (st) {
        MemFreePtr(s);
        return st;
    }
    *out = s;
    return status::kNoErr;
}

OSStatus AttachFileStream(StreamRecord* s, int32_t fd) {
    OSStatus st = InitStream(s, kStreamFile, StreamTarget::File(fd));
    OSStatus rs = RecalculateStream(s);
    return st ? st : rs;
}

void DisposeStream(StreamRecord* s) {
    if (!s) return;
    if (s->closeProc) (void)s->closeProc(s, false);  // disposal: nothing is flushed
    ResetWindow(s);
    if (s->buffer) MemFree(s->buffer);
    std::memset(static_cast<void*>(s), 0xDB, sizeof *s);
    MemFreePtr(s);
}

OSStatus OpenFileStream(const char* path, bool readOnly, StreamRecord** out) {
    *out = nullptr;
    if (!path || !*path) return status::kEmptyFileName;
    struct stat info;
    if (stat(path, &info) != 0 || S_ISDIR(info.st_mode)) return status::kNotFound;
    int fd = ::open(path, (readOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) return status::kPermission;
    OSStatus st = CreateStream(kStreamFile, StreamTarget::File(fd), out);
    if (st) ::close(fd);
    return st;
}

OSStatus CloseAndMaybeFlushFileStream(StreamRecord* s, bool flush) {
    if (!s || s->kind != kStreamFile) return status::kFileNotOpen;
    OSStatus st = s->closeProc ? s->closeProc(s, flush) : status::kNoErr;
    if (st) return st;
    int32_t fd = s->target.fd;
    DisposeStream(s);
    if (flush && fsync(fd) != 0) st = status::kParamErr;
    if (::close(fd) != 0 && st == status::kNoErr) st = status::kParamErr;
    return st;
}

// ---- position and size ----

OSStatus SetStreamPosition(StreamRecord* s, int32_t position) {
    if (position < 0) return status::kBadPosition;
    if (position > s->end) return status::kEndOfFile;
    if (position == s->position) return status::kNoErr;
    s->position = position;
    return RunPositionProc(s);
}

OSStatus OffsetStreamPosition(StreamRecord* s, int32_t delta) {
    if (delta == 0) return status::kNoErr;
    int64_t target = int64_t(s->position) + delta;
    if (target < 0) return status::kBadPosition;
    if (target > s->end) return status::kEndOfFile;
    return SetStreamPosition(s, int32_t(target));
}

OSStatus SetStreamEnd(StreamRecord* s, int32_t end) {
    int64_t newEnd = std::max(end, 0);
    if ((s->flags & kStreamIsHandle) && s->growthMask) {
        newEnd = (newEnd + s->growthMask) & ~int64_t(s->growthMask);
        if (newEnd > kMaxStreamSize) return status::kParamErr;
    }
    if (newEnd == s->end) return status::kNoErr;
    const int32_t e = int32_t(newEnd);
    if (s->windowStart >= 0) {
        if (s->windowStart >= e) {
            ResetWindow(s);
        } else if (s->windowEnd > e) {
            s->windowEnd = e;
        }
    }
    if (s->dirtyStart >= e) {
        s->dirtyStart = kCleanDirtyStart;
        s->dirtyEnd = 0;
    } else if (s->dirtyEnd > e) {
        s->dirtyEnd = e;
    }
    if (s->position > e) {
        s->position = e;
        OSStatus st = RunPositionProc(s);
        if (st) return st;
    }
    const int32_t oldEnd = s->end;
    s->end = e;
    OSStatus st = s->sizeProc ? s->sizeProc(s, e) : status::kNoErr;
    if (st) {
        // The storage did not follow: keep the end that it still has.
        s->end = oldEnd;
    }
    return st;
}

OSStatus RestartStream(StreamRecord* s) {
    ResetWindow(s);
    s->writeError = status::kNoErr;  // what failed to reach the file is dropped with the rest
    s->end = 0;
    s->position = 0;
    return RunPositionProc(s);
}

void SetHandleStreamChunkSize(StreamRecord* s, int32_t size) {
    if (size <= 1) {
        s->growthMask = 0;
        return;
    }
    int32_t chunk = 2;
    while (chunk < size && chunk < 32768) chunk <<= 1;
    s->growthMask = uint16_t(chunk - 1);
}

OSStatus RecalculateStream(StreamRecord* s) {
    return s->recalculateProc ? s->recalculateProc(s) : status::kNoErr;
}

OSStatus SetStreamBufferSize(StreamRecord* s, int32_t size) {
    OSStatus st = s->closeProc ? s->closeProc(s, false) : status::kNoErr;
    if (st) return st;
    ResetWindow(s);
    if (size < 1) {
        if (s->buffer) MemFree(s->buffer);
        s->buffer = nullptr;
        s->bufferSize = 0;
        return RunPositionProc(s);
    }
    int32_t rounded = size < 512 ? 512 : std::min((size + 3) & ~3, kMaxBufferSize);
    if (s->buffer) {
        if (!ResizeHandle(s->buffer, uint32_t(rounded))) return status::kOutOfMemory;
    } else {
        s->buffer = AllocHandle(gGenPool, uint32_t(rounded));
        if (!s->buffer) return status::kOutOfMemory;
    }
    s->bufferSize = rounded;
    return status::kNoErr;
}

OSStatus FlushStreamBuffer(StreamRecord* s, bool flushToDisk) {
    OSStatus st = s->closeProc ? s->closeProc(s, flushToDisk) : status::kNoErr;
    if (st == status::kNoErr && flushToDisk && s->kind == kStreamFile &&
        fsync(s->target.fd) != 0) {
        // What the system held for the file may be lost: as a failed write.
        st = WriteFailed(s, status::kParamErr);
    }
    if (st == status::kNoErr) ResetWindow(s);
    return st;
}

// ---- transfers ----

OSStatus StreamRead(StreamRecord* s, void* buffer, int32_t* count) {
    if (*count < 0) {
        *count = 0;
        return status::kParamErr;
    }
    OSStatus result = status::kNoErr;
    if (*count > s->end - s->position) {
        *count = s->end - s->position;
        result = status::kEndOfFile;
    }
    if (*count == 0) return result;
    if (!buffer) {
        s->position += *count;
        OSStatus st = RunPositionProc(s);
        return st ? st : result;
    }
    if (!s->readProc) {
        *count = 0;
        return status::kWriteOnly;
    }
    int32_t n = *count;
    OSStatus st = s->readProc(s, buffer, &n);
    n = std::clamp(n, 0, *count);
    s->position += n;
    *count = n;
    if (st) return st;
    return result;
}

OSStatus StreamReadSwap(StreamRecord* s, void* buffer, int32_t* count, StreamSwapProc swap) {
    OSStatus st = StreamRead(s, buffer, count);
    if (st == status::kNoErr && (s->flags & kStreamSwapOnRead) && swap && buffer) {
        swap(buffer, uint32_t(*count));
    }
    return st;
}

OSStatus StreamWrite(StreamRecord* s, const void* bytes, int32_t count) {
    if (s->writeError) return s->writeError;
    if (count < 0) return status::kParamErr;
    if (count == 0) return status::kNoErr;
    const int64_t newPosition = int64_t(s->position) + count;
    if (newPosition > kMaxStreamSize) return status::kParamErr;
    const bool store = bytes && s->writeProc;
    if (((s->flags & kStreamIsHandle) || !store) && newPosition > s->end) {
        OSStatus st = SetStreamEnd(s, int32_t(newPosition));
        if (st) return st;
    }
    if (!store) {
        // Nothing stored: the position moves on, and a file's mark follows it.
        s->position = int32_t(newPosition);
        return RunPositionProc(s);
    }
    OSStatus st = s->writeProc(s, bytes, count);
    if (st) {
        (void)RecalculateStream(s);  // the write status is the one reported
        return st;
    }
    s->position = int32_t(newPosition);
    if (s->kind == kStreamFile && s->position > s->end) s->end = s->position;
    return status::kNoErr;
}

OSStatus StreamWriteWord(StreamRecord* s, uint16_t value) { return StreamWrite(s, &value, 2); }
OSStatus StreamWriteLong(StreamRecord* s, uint32_t value) { return StreamWrite(s, &value, 4); }
OSStatus StreamWriteLongBE(StreamRecord* s, uint32_t value) {
    return StreamWriteLong(s, ToBigEndian32(value));
}

OSStatus StreamReadWord(StreamRecord* s, uint16_t* value) {
    *value = 0;
    int32_t n = 2;
    OSStatus st = StreamRead(s, value, &n);
    if (st == status::kNoErr && (s->flags & kStreamSwapOnRead)) ByteSwapWord(value);
    return st;
}

OSStatus StreamReadLong(StreamRecord* s, uint32_t* value) {
    *value = 0;
    int32_t n = 4;
    OSStatus st = StreamRead(s, value, &n);
    if (st == status::kNoErr && (s->flags & kStreamSwapOnRead)) ByteSwapLong(value);
    return st;
}

bool EnableStreamReadByteSwap(StreamRecord* s, bool on) {
    bool was = (s->flags & kStreamSwapOnRead) != 0;
    if (on) {
        s->flags |= kStreamSwapOnRead;
    } else {
        s->flags &= uint16_t(~kStreamSwapOnRead);
    }
    return was;
}

OSStatus StreamWriteString(StreamRecord* s, const char* string) {
    size_t length = string ? std::strlen(string) : 0;
    if (length > 0xFFFF) return status::kParamErr;
    uint8_t prefix[2] = {uint8_t(length >> 8), uint8_t(length)};
    OSStatus st = StreamWrite(s, prefix, 2);
    if (st == status::kNoErr && length) st = StreamWrite(s, string, int32_t(length));
    return st;
}

OSStatus StreamReadString(StreamRecord* s, char* buffer, int32_t bufferSize) {
    if (buffer && bufferSize >= 1) buffer[0] = 0;
    uint8_t prefix[2];
    int32_t n = 2;
    OSStatus st = StreamRead(s, prefix, &n);
    if (st) return st;
    int32_t length = (int32_t(prefix[0]) << 8) | prefix[1];
    int32_t keep = 0;
    if (buffer && bufferSize >= 1) {
        keep = std::min(length, bufferSize - 1);
        n = keep;
        st = StreamRead(s, buffer, &n);
        buffer[n] = 0;
        if (st) return st;
    }
    n = length - keep;
    return StreamRead(s, nullptr, &n);
}

OSStatus StreamWriteHandle(StreamRecord* s, Handle handle) {
    uint32_t size = handle ? SizeOfHandle(handle) : 0;
    if (size > uint32_t(kMaxStreamSize)) return status::kParamErr;
    int32_t length = handle ? int32_t(size) : -1;
    uint32_t stored = uint32_t(length);
    if (s->flags & kStreamBigEndianHandles) stored = ToBigEndian32(stored);
    OSStatus st = StreamWrite(s, &stored, 4);
    if (st == status::kNoErr && length > 0) st = StreamWrite(s, *handle, length);
    return st;
}

OSStatus StreamReadHandle(StreamRecord* s, MemPool pool, Handle* handle) {
    *handle = nullptr;
    uint32_t stored = 0;
    int32_t n = 4;
    OSStatus st = StreamRead(s, &stored, &n);
    if (st) return st;
    if (s->flags & kStreamBigEndianHandles) {
        stored = ToBigEndian32(stored);
    } else if (s->flags & kStreamSwapOnRead) {
        ByteSwapLong(&stored);
    }
    const int32_t length = int32_t(stored);
    if (length < 0) return status::kNoErr;
    if (length > s->end - s->position) {
        // The stored length promises more than the stream holds: refuse before allocating.
        n = s->end - s->position;
        (void)StreamRead(s, nullptr, &n);  // skips to the end: the short length is reported
        return status::kEndOfFile;
    }
    Handle h = AllocHandle(pool, uint32_t(length));
    if (!h) return status::kOutOfMemory;
    n = length;
    st = length ? StreamRead(s, *h, &n) : status::kNoErr;
    if (st) {
        MemFree(h);
        return st;
    }
    *handle = h;
    return status::kNoErr;
}

OSStatus StreamToStream(StreamRecord* source, StreamRecord* destination, int32_t* count) {
    const int32_t total = *count;
    *count = 0;
    if (total < 1) return status::kNoErr;

    int32_t chunk = std::min(total, 16384);
    Ptr heapBuffer = nullptr;
    if (chunk > 2048) {
        for (int32_t size = chunk; size > 2048 && !heapBuffer; size /= 2) {
            heapBuffer = AllocPtr(gGenPool, uint32_t(size));
            if (heapBuffer) chunk = size;
        }
    }
    char stackBuffer[512];
    char* buffer = heapBuffer ? heapBuffer : stackBuffer;
    if (!heapBuffer) chunk = 512;

    StreamRecord* sides[2] = {source, destination};
    int32_t remembered[2] = {0, 0};
    OSStatus st = status::kNoErr;
    for (int i = 0; i < 2 && st == status::kNoErr; ++i) {
        if (sides[i]->kind == kStreamFile && sides[i]->bufferSize > 0) {
            remembered[i] = sides[i]->bufferSize;
            st = SetStreamBufferSize(sides[i], 0);
        }
    }

    int32_t copied = 0;
    while (st == status::kNoErr && copied < total) {
        int32_t n = std::min(total - copied, chunk);
        OSStatus readStatus = StreamRead(source, buffer, &n);
        if (readStatus && readStatus != status::kEndOfFile) {
            st = readStatus;
            break;
        }
        if (n > 0) {
            st = StreamWrite(destination, buffer, n);
            if (st) break;
            copied += n;
        }
        st = readStatus;
    }

    if (heapBuffer) MemFreePtr(heapBuffer);
    for (int i = 0; i < 2; ++i) {
        if (remembered[i]) {
            OSStatus rs = SetStreamBufferSize(sides[i], remembered[i]);
            if (st == status::kNoErr) st = rs;
        }
    }
    *count = copied;
    return st;
}

}  // namespace plexa
