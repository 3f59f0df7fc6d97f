// Simulator link frames: message records, the frame writer and the frame reader with its
// resynchronisation.
#include "design/simlink_frame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "design/simlink_strings.h"
#include "foundation/assert.h"
#include "foundation/bytes.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/socket.h"

namespace plexa {
namespace {

// A body is read in pieces of at most this many bytes, so that what is allocated never runs far
// ahead of what has come in.
constexpr uint32_t kBodyPiece = 64u << 10;
constexpr int32_t kFrameWaitSeconds = 1;

void DefaultProblem(SpiceFrameProblem problem, uint32_t detail) {
    switch (problem) {
    case SpiceFrameProblem::kSkippedBytes:
        std::fprintf(stderr, "simulator link: skipped %u bytes before a frame\n", detail);
        break;
    case SpiceFrameProblem::kBadHeaderLength:
        std::fprintf(stderr, "simulator link: dropped a frame with header length %u\n", detail);
        break;
    case SpiceFrameProblem::kBodyTooLong:
        std::fprintf(stderr, "simulator link: dropped a frame with a body of %u bytes\n", detail);
        break;
    case SpiceFrameProblem::kBadStringList:
        std::fprintf(stderr, "simulator link: dropped a frame with a malformed list of %u bytes\n",
                     detail);
        break;
    case SpiceFrameProblem::kBadEndMarker:
        std::fprintf(stderr, "simulator link: dropped a frame with end marker %08X\n", detail);
        break;
    case SpiceFrameProblem::kIncomplete:
        std::fprintf(stderr, "simulator link: lost a frame that stopped coming (status %d)\n",
                     int32_t(detail));
        break;
    }
}

SpiceFrameProblemHook gProblemHook = nullptr;

void Report(SpiceFrameProblem problem, uint32_t detail) {
    (gProblemHook ? gProblemHook : DefaultProblem)(problem, detail);
}

// One reader's position in a source, with the few bytes it read but must look at again while it
// searches for the next start marker (a header length or an end marker that was not one).
struct Reader {
    const SpiceByteSource* source;
    uint8_t back[2 * kSpiceMarkerSize];
    uint32_t backCount = 0;

    void PushBack(const uint8_t* bytes, uint32_t count) {
        // The bytes go in front of what is there already, in their order.
        PLEXA_ASSERT(count + backCount <= sizeof back);
        std::memmove(back + count, back, backCount);
        std::memcpy(back, bytes, count);
        backCount += count;
    }
    uint32_t TakeBack(uint8_t* bytes, uint32_t count) {
        const uint32_t n = std::min(count, backCount);
        std::memcpy(bytes, back, n);
        std::memmove(back, back + n, backCount - n);
        backCount -= n;
        return n;
    }
    // One byte without waiting.
    OSStatus NextByte(uint8_t* byte) {
        if (TakeBack(byte, 1) == 1) return status::kNoErr;
        int32_t count = 1;
        OSStatus err = source->receive(source->context, byte, &count);
        if (err == status::kNoErr && count != 1) err = status::kSocketNothingYet;
        return err;
    }
    // Exactly count bytes of a frame, waiting for them.
    OSStatus Read(uint8_t* bytes, uint32_t count, int32_t timeoutSeconds) {
        const uint32_t taken = TakeBack(bytes, count);
        if (taken == count) return status::kNoErr;
        int32_t wanted = int32_t(count - taken);
        OSStatus err = source->waitReceive(source->context, bytes + taken, &wanted, timeoutSeconds);
        if (err == status::kNoErr && wanted != int32_t(count - taken)) err = status::kSocketTimeout;
        return err;
    }
};

// A failure inside a frame: the frame is lost.
OSStatus LoseFrame(OSStatus err) {
    if (err == status::kOutOfMemory) return err;
    Report(SpiceFrameProblem::kIncomplete, uint32_t(err));
    return err == status::kSocketTimeout ? status::kUserCancelled : err;
}

// Searches the next start marker: 0 once its first three bytes have come, else the source's
// status (kSocketNothingYet when the bytes ran out).
OSStatus FindStartMarker(Reader* reader) {
    uint32_t matched = 0;
    uint32_t skipped = 0;
    while (matched < 3) {
        uint8_t byte = 0;
        OSStatus err = reader->NextByte(&byte);
        if (err != status::kNoErr) {
            skipped += matched;
            if (skipped) Report(SpiceFrameProblem::kSkippedBytes, skipped);
            return err;
        }
        if (byte == kSpiceStartMarker[matched]) {
            ++matched;
        } else {
            // The marker's first byte occurs in it only once: a mismatch may begin a new match.
            const uint32_t restart = byte == kSpiceStartMarker[0] ? 1 : 0;
            skipped += matched + 1 - restart;
            matched = restart;
        }
    }
    if (skipped) Report(SpiceFrameProblem::kSkippedBytes, skipped);
    return status::kNoErr;
}

void ParseHeader(const uint8_t* h, SpiceMessageRecord* message) {
    message->type = GetBE32(h);
    message->sender = h[4];
    message->raw = h[5];
    message->reserved[0] = h[6];
    message->reserved[1] = h[7];
    message->number = GetBE32(h + 8);
    message->projectId = GetBE32(h + 12);
    for (int i = 0; i < 4; ++i) message->arguments[i] = GetBE32(h + 16 + 4 * i);
}

// Reads a string-list body of `length` entry bytes after its big-endian head into a new handle
// in this machine's order; *body stays none when the list is not well formed (the bytes are read
// all the same).
OSStatus ReadStringList(Reader* reader, const uint8_t* head, uint32_t length, Handle* body) {
    *body = nullptr;
    Handle list = AllocHandle(nullptr, kSpiceStringListHeadSize);
    if (!list) return status::kOutOfMemory;
    std::memcpy(*list, head, kSpiceStringListHeadSize);
    uint32_t got = 0;
    while (got < length) {
        const uint32_t piece = std::min(length - got, kBodyPiece);
        if (!ResizeHandle(list, kSpiceStringListHeadSize + got + piece)) {
            MemFree(list);
            return status::kOutOfMemory;
        }
        OSStatus err = reader->Read(reinterpret_cast<uint8_t*>(*list) + kSpiceStringListHeadSize + got,
                                    piece, SpiceBodyWaitSeconds(piece));
        if (err != status::kNoErr) {
            MemFree(list);
            return err;
        }
        got += piece;
    }
    if (TurnSpiceStringList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list), false) !=
        status::kNoErr) {
        Report(SpiceFrameProblem::kBadStringList, length);
        MemFree(list);
        return status::kNoErr;
    }
    *body = list;
    return status::kNoErr;
}

// Reads one frame: 0 with *message set, or with none when the frame was dropped; else the status
// that ended the reading (see ReadSpiceFrames).
OSStatus ReadOneFrame(Reader* reader, SpiceMessageRecord** message) {
    *message = nullptr;
    OSStatus err = FindStartMarker(reader);
    if (err != status::kNoErr) return err;
    uint8_t headerLength = 0;
    err = reader->Read(&headerLength, 1, kFrameWaitSeconds);
    if (err != status::kNoErr) return LoseFrame(err);
    if (headerLength != kSpiceHeaderSize) {
        // The header would not fit its record (or is short of it): the frame cannot be read. The
        // byte may begin the next marker.
        Report(SpiceFrameProblem::kBadHeaderLength, headerLength);
        reader->PushBack(&headerLength, 1);
        return status::kNoErr;
    }
    uint8_t header[kSpiceHeaderSize];
    err = reader->Read(header, kSpiceHeaderSize, kFrameWaitSeconds);
    if (err != status::kNoErr) return LoseFrame(err);

    SpiceMessageRecord* received = AllocateSpiceMessage();
    if (!received) return status::kOutOfMemory;
    ParseHeader(header, received);
    bool drop = false;
    if (received->raw == 0) {
        uint8_t head[kSpiceStringListHeadSize];
        err = reader->Read(head, kSpiceStringListHeadSize, kFrameWaitSeconds);
        if (err != status::kNoErr) {
            DestroySpiceMessage(received);
            return LoseFrame(err);
        }
        const uint32_t length = GetBE32(head + 4);
        if (length > kSpiceStringListMaxLength) {
            // Its bytes are searched through for the next marker like any others.
            Report(SpiceFrameProblem::kBodyTooLong, length);
            DestroySpiceMessage(received);
            return status::kNoErr;
        }
        if (length != 0) {
            err = ReadStringList(reader, head, length, &received->body);
            if (err != status::kNoErr) {
                DestroySpiceMessage(received);
                return LoseFrame(err);
            }
            drop = received->body == nullptr;
        }
    }
    uint8_t end[kSpiceMarkerSize];
    err = reader->Read(end, kSpiceMarkerSize, kFrameWaitSeconds);
    if (err != status::kNoErr) {
        DestroySpiceMessage(received);
        return LoseFrame(err);
    }
    if (std::memcmp(end, kSpiceEndMarker, kSpiceMarkerSize) != 0) {
        Report(SpiceFrameProblem::kBadEndMarker, GetBE32(end));
        reader->PushBack(end, kSpiceMarkerSize);  // they may begin the next frame
        drop = true;
    }
    if (drop) {
        DestroySpiceMessage(received);
        return status::kNoErr;
    }
    *message = received;
    return status::kNoErr;
}

// ---- The buffer source ----

struct Buffer {
    const uint8_t* data;
    size_t size;
    size_t position;
    size_t Left() const { return size - position; }
};

OSStatus BufferCount(void* context, int32_t* count) {
    const auto* buffer = static_cast<const Buffer*>(context);
    *count = int32_t(std::min<size_t>(buffer->Left(), INT32_MAX));
    return *count ? status::kNoErr : status::kSocketNothingYet;
}

OSStatus BufferReceive(void* context, void* bytes, int32_t* count) {
    auto* buffer = static_cast<Buffer*>(context);
    const size_t n = std::min<size_t>(buffer->Left(), size_t(std::max(*count, 0)));
    if (n) std::memcpy(bytes, buffer->data + buffer->position, n);
    buffer->position += n;
    const bool wanted = *count > 0;
    *count = int32_t(n);
    return n == 0 && wanted ? status::kSocketNothingYet : status::kNoErr;
}

OSStatus BufferWaitReceive(void* context, void* bytes, int32_t* count, int32_t) {
    const int32_t wanted = *count;
    OSStatus err = BufferReceive(context, bytes, count);
    return err == status::kNoErr && *count == wanted ? status::kNoErr : status::kSocketTimeout;
}

}  // namespace

// ---- Records ----

SpiceMessageRecord* AllocateSpiceMessage() {
    return reinterpret_cast<SpiceMessageRecord*>(AllocPtrClear(nullptr, sizeof(SpiceMessageRecord)));
}

void FreeSpiceMessage(LinkListHeader*, void* item, void*, uint32_t) {
    auto* message = static_cast<SpiceMessageRecord*>(item);
    if (message && message->body) {
        MemFree(message->body);
        message->body = nullptr;
    }
}

void DestroySpiceMessage(SpiceMessageRecord* message) {
    if (!message) return;
    FreeSpiceMessage(nullptr, message, nullptr, 0);
    MemFreePtr(reinterpret_cast<Ptr>(message));
}

LinkListHeader* CreateSpiceMessageQueue() {
    LinkListHeader* queue = LLCreate(nullptr, sizeof(SpiceMessageRecord), 0);
    if (queue) LLSetFreeProc(queue, FreeSpiceMessage);
    return queue;
}

// ---- Writing ----

OSStatus EncodeSpiceFrame(const SpiceMessageRecord* message, std::string* frame) {
    frame->clear();
    if (!message) return status::kParamErr;
    const uint8_t* body = message->body ? reinterpret_cast<const uint8_t*>(*message->body) : nullptr;
    const uint32_t bodySize = message->body ? SizeOfHandle(message->body) : 0;
    std::string coded;
    if (message->raw) {
        if (bodySize) {
            if (bodySize < kSpiceRawPrefixSize ||
                std::memcmp(body, kSpiceRawMarker, kSpiceMarkerSize) != 0 ||
                GetBE32(body + kSpiceMarkerSize) != bodySize - kSpiceRawPrefixSize)
                return status::kParamErr;
            coded.assign(reinterpret_cast<const char*>(body), bodySize);
        }
    } else if (bodySize) {
        coded.assign(reinterpret_cast<const char*>(body), bodySize);
        OSStatus err = TurnSpiceStringList(reinterpret_cast<uint8_t*>(coded.data()), bodySize, true);
        if (err != status::kNoErr) return err;
    } else {
        coded.assign(kSpiceStringListHeadSize, '\0');
    }
    uint8_t header[kSpiceMarkerSize + kSpiceHeaderSize] = {};
    std::memcpy(header, kSpiceStartMarker, kSpiceMarkerSize);
    uint8_t* h = header + kSpiceMarkerSize;
    PutBE32(h, message->type);
    h[4] = message->sender;
    h[5] = message->raw;
    PutBE32(h + 8, message->number);
    PutBE32(h + 12, message->projectId);
    for (int i = 0; i < 4; ++i) PutBE32(h + 16 + 4 * i, message->arguments[i]);
    frame->reserve(sizeof header + coded.size() + kSpiceMarkerSize);
    frame->assign(reinterpret_cast<const char*>(header), sizeof header);
    frame->append(coded);
    frame->append(reinterpret_cast<const char*>(kSpiceEndMarker), kSpiceMarkerSize);
    return status::kNoErr;
}

// ---- Reading ----

OSStatus ReadSpiceFrames(const SpiceByteSource* source, LinkListHeader** queue) {
    Reader reader{source, {}, 0};
    for (;;) {
        int32_t pending = 0;
        OSStatus err = source->countPending(source->context, &pending);
        if (err == status::kSocketNothingYet && reader.backCount) err = status::kNoErr;
        if (err != status::kNoErr) return err;
        if (int64_t(pending) + reader.backCount < 5) return status::kSocketNothingYet;
        SpiceMessageRecord* message = nullptr;
        err = ReadOneFrame(&reader, &message);
        if (err != status::kNoErr) return err;
        if (!message) continue;
        if (!*queue) *queue = CreateSpiceMessageQueue();
        if (!*queue) {
            DestroySpiceMessage(message);
            return status::kOutOfMemory;
        }
        LLAppend(*queue, message);
    }
}

OSStatus ReadSpiceFramesFromBuffer(const uint8_t* data, size_t size, LinkListHeader** queue) {
    Buffer buffer{data, data ? size : 0, 0};
    const SpiceByteSource source{BufferCount, BufferReceive, BufferWaitReceive, &buffer};
    return ReadSpiceFrames(&source, queue);
}

SpiceFrameProblemHook SetSpiceFrameProblemHook(SpiceFrameProblemHook hook) {
    SpiceFrameProblemHook former = gProblemHook;
    gProblemHook = hook;
    return former;
}

}  // namespace plexa
