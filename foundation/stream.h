// Streams: the one reader and writer through which every stored format passes. A stream keeps a
// position and an end and moves bytes through a set of procedures chosen by its kind: a file
// (a POSIX file descriptor, optionally buffered through a window of the file), a handle that
// holds a flattened record, a counter that only measures, or a caller's object with procedures
// of its own. Words and longs are written in native order and swapped on read when the stored
// order differs; strings are a big-endian u16 length plus bytes; handles an i32 length plus bytes.
//
// A stream owns its record and its buffer; it never owns its target (the descriptor, the handle,
// the caller's object), except that CloseAndMaybeFlushFileStream closes the descriptor.
// Positions and ends are i32: a file of 2 GiB or more is refused with -50.
//
// A failed file write is never lost: the first failure of a write to the file (a write straight
// to it, or buffered bytes on their way to it) is kept in the stream as its write error, and from
// then on every write, flush and close of the stream returns it, so that a caller who checks only
// the final flush or close still learns that bytes it wrote did not reach the file. Only
// `InitStream` and `RestartStream` (which drop what was written) clear it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "foundation/heap.h"
#include "foundation/types.h"

namespace plexa {

struct StreamRecord;

// Stream kinds.
constexpr uint32_t kStreamFile = 0;
constexpr uint32_t kStreamHandle = 1;
constexpr uint32_t kStreamCounter = 2;
constexpr uint32_t kStreamObject = 3;

// Stream flags.
constexpr uint16_t kStreamSwapOnRead = 0x1;        // words and longs are swapped when read
constexpr uint16_t kStreamBigEndianHandles = 0x2;  // handle lengths are stored big-endian
constexpr uint16_t kStreamIsHandle = 0x4;          // a handle stream

using StreamReadProc = OSStatus (*)(StreamRecord* stream, void* bytes, int32_t* count);
using StreamWriteProc = OSStatus (*)(StreamRecord* stream, const void* bytes, int32_t count);
using StreamPositionProc = OSStatus (*)(StreamRecord* stream);
using StreamSizeProc = OSStatus (*)(StreamRecord* stream, int32_t newEnd);
using StreamCloseProc = OSStatus (*)(StreamRecord* stream, bool flush);
using StreamRecalculateProc = OSStatus (*)(StreamRecord* stream);
// In-place swap of a run of bytes (ByteSwapWordArray, ByteSwapLongArray and the like).
using StreamSwapProc = void (*)(void* bytes, uint32_t byteCount);

// What a stream works on: kind 0 a file descriptor, kind 1 a handle (may be null), kind 2 the
// start count, kind 3 the caller's object.
union StreamTarget {
    int32_t fd;
    Handle handle;
    int32_t count;
    void* object;

    static StreamTarget File(int32_t fd) { StreamTarget t{}; t.fd = fd; return t; }
    static StreamTarget OfHandle(Handle h) { StreamTarget t{}; t.handle = h; return t; }
    static StreamTarget Counter(int32_t n) { StreamTarget t{}; t.count = n; return t; }
    static StreamTarget Object(void* p) { StreamTarget t{}; t.object = p; return t; }
};

struct StreamRecord {
    uint32_t kind;
    uint16_t flags;
    uint16_t growthMask;    // handle streams: chunk size - 1, 0 = no rounding
    StreamTarget target;
    int32_t position;       // 0 <= position <= end
    int32_t end;
    int32_t bufferSize;     // 0 = unbuffered, else >= 512 and a multiple of 4
    int32_t windowStart;    // file position of the first buffered byte, -1 when none
    int32_t windowEnd;      // just past the last buffered byte, -1 when none
    int32_t dirtyStart;     // first changed byte not yet written, 0x7FFFFFFF when clean
    int32_t dirtyEnd;       // just past the last changed byte, 0 when clean
    Handle buffer;
    StreamReadProc readProc;
    StreamWriteProc writeProc;
    StreamPositionProc positionProc;
    StreamSizeProc sizeProc;
    StreamCloseProc closeProc;
    StreamRecalculateProc recalculateProc;
    OSStatus writeError;    // the first failed file write, 0 while none failed (see above)
};

// Creation and disposal. On failure *stream is null and nothing is left allocated.
OSStatus CreateStream(uint32_t kind, StreamTarget target, StreamRecord** stream);
// Sets a record up afresh for a kind: runs the current close procedure, frees the buffer, clears
// the record, stores kind and target and installs the kind's procedures; returns the close status.
OSStatus InitStream(StreamRecord* stream, uint32_t kind, StreamTarget target);
// InitStream for a file descriptor, then reloads end and position from the file.
OSStatus AttachFileStream(StreamRecord* stream, int32_t fd);
void DisposeStream(StreamRecord* stream);

// Opens the file at a path (read-only or for update) and makes an unbuffered file stream over it;
// the descriptor is closed again when the stream cannot be made. Empty path 0x20002719, missing
// file or a folder -43, open failure -54.
OSStatus OpenFileStream(const char* path, bool readOnly, StreamRecord** stream);
// File streams only (else -38): writes the dirty range; on failure returns it and the stream stays
// open; otherwise disposes the stream and closes the descriptor (synced to disk when asked).
OSStatus CloseAndMaybeFlushFileStream(StreamRecord* stream, bool flush);

// The first failure of a write to the stream's file, 0 when none failed.
inline OSStatus GetStreamWriteError(const StreamRecord* stream) { return stream->writeError; }

// Procedures by kind, installed by InitStream.
OSStatus StreamFromFile(StreamRecord* stream, void* bytes, int32_t* count);
OSStatus StreamToFile(StreamRecord* stream, const void* bytes, int32_t count);
OSStatus UpdateFilePos(StreamRecord* stream);
OSStatus UpdateFileSize(StreamRecord* stream, int32_t newEnd);
OSStatus FlushFileBuffer(StreamRecord* stream, bool flush);
OSStatus RecalculateFileStream(StreamRecord* stream);
OSStatus LoadFileBuffer(StreamRecord* stream, int32_t position);
OSStatus StreamFromHandle(StreamRecord* stream, void* bytes, int32_t* count);
OSStatus StreamToHandle(StreamRecord* stream, const void* bytes, int32_t count);
OSStatus UpdateHandleStreamSize(StreamRecord* stream, int32_t newEnd);
OSStatus RecalculateHandleStream(StreamRecord* stream);
OSStatus StreamFromCounter(StreamRecord* stream, void* bytes, int32_t* count);

// Position and size.
inline int32_t GetStreamPosition(const StreamRecord* stream) { return stream->position; }
inline int32_t GetStreamEnd(const StreamRecord* stream) { return stream->end; }
OSStatus SetStreamPosition(StreamRecord* stream, int32_t position);
OSStatus OffsetStreamPosition(StreamRecord* stream, int32_t delta);
OSStatus SetStreamEnd(StreamRecord* stream, int32_t end);
// Empties a stream for writing afresh from position 0 while its storage keeps its size: the end
// and the position become 0 and buffered bytes are dropped unwritten. A file keeps its length
// (the bytes beyond the end are never read) until the end is next set.
OSStatus RestartStream(StreamRecord* stream);
void SetHandleStreamChunkSize(StreamRecord* stream, int32_t size);
OSStatus RecalculateStream(StreamRecord* stream);
OSStatus SetStreamBufferSize(StreamRecord* stream, int32_t size);
OSStatus FlushStreamBuffer(StreamRecord* stream, bool flushToDisk);

// Transfers. StreamRead cuts *count to what remains and returns -39 after delivering it; a null
// buffer skips.
OSStatus StreamRead(StreamRecord* stream, void* buffer, int32_t* count);
OSStatus StreamReadSwap(StreamRecord* stream, void* buffer, int32_t* count, StreamSwapProc swap);
OSStatus StreamWrite(StreamRecord* stream, const void* bytes, int32_t count);
OSStatus StreamWriteWord(StreamRecord* stream, uint16_t value);
OSStatus StreamWriteLong(StreamRecord* stream, uint32_t value);
OSStatus StreamWriteLongBE(StreamRecord* stream, uint32_t value);
OSStatus StreamReadWord(StreamRecord* stream, uint16_t* value);
OSStatus StreamReadLong(StreamRecord* stream, uint32_t* value);
bool EnableStreamReadByteSwap(StreamRecord* stream, bool on);  // returns the former setting
// A string longer than 65535 bytes cannot be stored in this form: -50, nothing written.
OSStatus StreamWriteString(StreamRecord* stream, const char* string);
OSStatus StreamReadString(StreamRecord* stream, char* buffer, int32_t bufferSize);
OSStatus StreamWriteHandle(StreamRecord* stream, Handle handle);
// A negative stored length gives no handle and 0; a length beyond the bytes left gives -39 with
// the position at the end, before anything is allocated.
OSStatus StreamReadHandle(StreamRecord* stream, MemPool pool, Handle* handle);
// Copies up to *count bytes from the source's position to the destination's; *count becomes the
// number of bytes copied. -39 when the source ran out first.
OSStatus StreamToStream(StreamRecord* source, StreamRecord* destination, int32_t* count);

// ---- Test seam: a file system that fills up ----
//
// Every write of bytes to a file in this process (file streams, data files, file copies) goes
// through WriteFileBytes. After SetFileWriteFault(n) the next n bytes are written and every write
// after them fails as on a full disk (ENOSPC: -47 from streams and data files, -34 from copies);
// with a count of failures, only that many writes fail and the disk then has room again (another
// program freed some). A negative n lets every write through again. GetFileBytesWritten counts the
// bytes written since the last SetFileWriteFault, so that a test can measure a save first and then
// fail it at each byte.
void SetFileWriteFault(int64_t bytesLeft, int32_t failures = -1);
int64_t GetFileBytesWritten();
// write(2) under the fault above: a short count, then -1 with errno ENOSPC.
ssize_t WriteFileBytes(int fd, const void* bytes, size_t count);

}  // namespace plexa
