// Simulator link frames: the message record, and the coding of messages into the frames that
// cross the wire to the simulator and back.
//
// A frame, in both directions:
//
//   start marker  4   52 A3 C1 20 (the fourth byte is the header length, always 32)
//   header       32   big-endian: u32 type, u8 sender flag, u8 raw flag, u8 0, u8 0,
//                     u32 message number, u32 project id, u32 argument 1 to 4
//   body              string list (raw flag 0): its head in big-endian, then the entries with
//                       2- or 4-byte entry data as big-endian integers; no body sends the empty
//                       head (8 zero bytes);
//                     raw (raw flag 1): 55 AA AA 55, a big-endian u32 data length, the data;
//                       no data sends nothing
//   end marker    4   AA CC 55 11
//
// Coding works on copies: a message's body stays in this machine's order.
//
// The reader takes bytes from a source (the link's socket, or a buffer) and survives anything:
// bytes before a start marker are skipped; a header length other than 32, a string list longer
// than kSpiceStringListMaxLength or not well formed, and a wrong end marker each drop the frame,
// after which the next start marker is looked for. Nothing is allocated beyond the bytes that
// have come in. Every dropped frame and every run of skipped bytes is reported through the
// problem hook. The editor reads no raw bodies from the peer: a received header with the raw
// flag set is followed directly by the end marker (a raw body there therefore drops the frame).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;

// One simulator message. The 32 bytes from `type` to `arguments[3]` are the wire header.
struct SpiceMessageRecord {
    SpiceMessageRecord* link;
    FourCharCode type;
    uint8_t sender;      // set to 1 by the sender
    uint8_t raw;         // 1: the body is raw data
    uint8_t reserved[2];
    uint32_t number;     // message number
    uint32_t projectId;  // 0 for none
    uint32_t arguments[4];
    Handle body;         // or none
};
static_assert(sizeof(SpiceMessageRecord) == 48);
static_assert(offsetof(SpiceMessageRecord, type) == 8);
static_assert(offsetof(SpiceMessageRecord, body) - offsetof(SpiceMessageRecord, type) == 32);

constexpr uint32_t kSpiceHeaderSize = 32;
constexpr uint32_t kSpiceMarkerSize = 4;
constexpr uint32_t kSpiceRawPrefixSize = 8;
constexpr uint8_t kSpiceStartMarker[4] = {0x52, 0xA3, 0xC1, kSpiceHeaderSize};
constexpr uint8_t kSpiceEndMarker[4] = {0xAA, 0xCC, 0x55, 0x11};
constexpr uint8_t kSpiceRawMarker[4] = {0x55, 0xAA, 0xAA, 0x55};
// The most raw data a message carries.
constexpr uint32_t kSpiceRawMaxLength = 16u << 20;

// How long a body of that many bytes may take to cross, in seconds.
constexpr int32_t SpiceBodyWaitSeconds(uint32_t length) { return int32_t(length >> 12) + 1; }

// A new cleared record; none when out of memory.
SpiceMessageRecord* AllocateSpiceMessage();
// Frees the body (the free procedure of message queues).
void FreeSpiceMessage(LinkListHeader* list, void* item, void* previous, uint32_t flag);
// Frees the body and the record.
void DestroySpiceMessage(SpiceMessageRecord* message);
// A queue of messages (oldest first) that frees their bodies with them; none when out of memory.
LinkListHeader* CreateSpiceMessageQueue();

// ---- Writing ----

// The frame of a message as it goes on the wire (the message is not changed). -50 for a body
// that is not what its raw flag says: a string list that is not well formed, or raw bytes without
// their prefix or with a length that disagrees with it.
OSStatus EncodeSpiceFrame(const SpiceMessageRecord* message, std::string* frame);

// ---- Reading ----

// What made the reader skip bytes or drop a frame.
enum class SpiceFrameProblem : uint8_t {
    kSkippedBytes,     // bytes before a start marker (detail: how many)
    kBadHeaderLength,  // the start marker's header length was not 32 (detail: the length)
    kBodyTooLong,      // a string list longer than the limit (detail: its length)
    kBadStringList,    // a string list that is not well formed (detail: its length)
    kBadEndMarker,     // the four bytes after the body were not the end marker (detail: them)
    kIncomplete,       // the frame stopped coming (detail: the status that ended it)
};

// Where the reader takes its bytes from.
struct SpiceByteSource {
    // The number of bytes ready; kSocketNothingYet when none, kSocketReceiveClosed when the peer
    // closed.
    OSStatus (*countPending)(void* context, int32_t* count);
    // Receives what is there, up to *count bytes, without waiting; *count becomes the bytes
    // received.
    OSStatus (*receive)(void* context, void* buffer, int32_t* count);
    // Receives *count bytes, waiting at most timeoutSeconds; kSocketTimeout when they do not come.
    OSStatus (*waitReceive)(void* context, void* buffer, int32_t* count, int32_t timeoutSeconds);
    void* context;
};

// Reads frames while at least 5 bytes are pending, appending the messages to *queue (made on
// first use). Ends with kSocketNothingYet when the bytes ran out between frames; -128 when a frame
// stopped coming (it is lost); kSocketReceiveClosed when the peer closed; -108 out of memory; or
// the source's failure.
OSStatus ReadSpiceFrames(const SpiceByteSource* source, LinkListHeader** queue);

// The same over bytes in memory (a buffer that stops inside a frame counts as a frame that
// stopped coming).
OSStatus ReadSpiceFramesFromBuffer(const uint8_t* data, size_t size, LinkListHeader** queue);

// Reports a skipped run of bytes or a dropped frame; by default a line on standard error. Returns
// the former hook; null restores the default.
using SpiceFrameProblemHook = void (*)(SpiceFrameProblem problem, uint32_t detail);
SpiceFrameProblemHook SetSpiceFrameProblemHook(SpiceFrameProblemHook hook);

}  // namespace plexa
