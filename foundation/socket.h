// Sockets: a thin layer over non-blocking TCP sockets (IPv4) for the live link to the external
// simulator. A socket is created, then either listens and accepts as a server or connects as a
// client; it sends everything with waits for writability, counts and receives pending bytes,
// waits for and discards incoming bytes, and closes each direction separately.
//
// Nothing blocks. Every wait is a polling loop that calls the socket's idle procedure between
// polls with the milliseconds elapsed; a non-zero result ends the wait with that status, which is
// how the caller keeps its interface alive or gives up. A wait that has neither a time-out nor an
// idle procedure could never end: it reports the time-out once a short poll brings nothing.
//
// The layer owns every `SocketRecord` (allocated cleared from the current pool) and the one
// process-wide list of them (new sockets at its head), so that `EndSockets` ends them all at quit.
// Sending never raises SIGPIPE: a peer that has gone away is reported as a status.
//
// Time is counted in ticks (1/60 s) of the toolkit's clock, installed with `SetSocketTicksHook`;
// until then the layer uses the monotonic clock of foundation.
//
// Failures other than the codes below are the system's error numbers (errno), returned unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/types.h"

namespace plexa {

namespace status {
constexpr OSStatus kSocketNone = 0x20002C88;         // no socket (null, or state 0)
constexpr OSStatus kSocketWrongState = 0x20002C89;   // the socket's state does not allow it
constexpr OSStatus kSocketSendClosed = 0x20002C8A;   // sending side closed, or the peer went away
constexpr OSStatus kSocketTimeout = 0x20002C8B;
constexpr OSStatus kSocketNothingYet = 0x20002C8C;   // no pending connection or data
constexpr OSStatus kSocketReceiveClosed = 0x20002C8D;  // peer closed or reset
constexpr OSStatus kSocketStillOpen = 0x20002C8E;    // reset without force of an open connection
constexpr OSStatus kSocketBadAddress = 0x20002C8F;   // bad address, or no active interface
constexpr OSStatus kSocketRefused = 0x20002C96;
constexpr OSStatus kSocketAddressInUse = 0x20002C97;
}  // namespace status

struct SocketRecord;

// Called while a wait polls, with the milliseconds since the wait began; non-zero ends the wait
// with that status.
using SocketIdleProc = OSStatus (*)(SocketRecord* socket, uint32_t elapsedMillis);

// Socket states.
constexpr uint8_t kSocketStateNone = 0;
constexpr uint8_t kSocketStateCreated = 1;    // a descriptor, not connected
constexpr uint8_t kSocketStateListening = 2;
constexpr uint8_t kSocketStateConnected = 3;

// Socket flags.
constexpr uint8_t kSocketPeerClosed = 0x01;   // the peer has closed its sending side
constexpr uint8_t kSocketPeerReset = 0x02;    // the peer reset the connection

// `SocketListen` flag: switch address reuse on.
constexpr uint32_t kSocketReuseAddress = 2;

// `SocketClose` directions.
constexpr int32_t kSocketCloseReceive = 1;
constexpr int32_t kSocketCloseSend = 2;
constexpr int32_t kSocketCloseBoth = 3;

// Room for a dotted IPv4 address and its terminator.
constexpr size_t kIPAddressTextSize = 16;

struct SocketRecord {
    SocketRecord* next;         // the next socket of the list
    SocketIdleProc idleProc;    // or none
    void* userData;
    uint8_t state;
    uint8_t flags;
    uint8_t readOpen;           // the receiving side has not been shut down
    uint8_t writeOpen;          // the sending side has not been shut down
    int32_t descriptor;         // -1 for none
    char peerAddress[32];       // the peer's dotted address, set by accept
};

// The process-wide list head (new sockets first) and the in-use flag.
extern SocketRecord* gSocketList;
extern bool gSocketsInUse;

// ---- Clock ----

// The tick clock (1/60 s, wrapping at 2^32) that the toolkit installs; null restores the default.
// Returns the former hook (null while the default is in use).
using SocketTicksHook = uint32_t (*)();
SocketTicksHook SetSocketTicksHook(SocketTicksHook hook);
SocketTicksHook GetSocketTicksHook();
// The current tick count of the installed clock.
uint32_t GetSocketTicks();
// Milliseconds since the start tick count (ticks x 16.66667, rounded), correct across the wrap of
// the counter; at most 0xFFFFFFFF.
uint32_t GetElapsedSocketTime(uint32_t startTicks);

// ---- Life cycle ----

OSStatus BeginSockets();
// When in use, destroys every socket of the list and clears the in-use flag.
void EndSockets();

// A new record in state created at the head of the list; *socket is null on failure (the
// system's error, or -108 without memory).
OSStatus CreateSocket(SocketRecord** socket, void* userData);
// A non-blocking IPv4 TCP stream descriptor (close-on-exec); *descriptor is -1 on failure.
OSStatus CreateBSDSocket(int32_t* descriptor);
// Shuts the open directions, closes the descriptor, unlinks and frees the record. Null, or a
// record that is no longer in the list, is ignored.
void DestroySocket(SocketRecord* socket);
// For a connected socket whose receiving side is open: marks it closed and shuts it down (not
// when the peer reset the connection).
void CloseReadChannel(SocketRecord* socket);

SocketIdleProc SetSocketIdleHook(SocketRecord* socket, SocketIdleProc proc);
// kSocketNone and state 0 for a null socket.
OSStatus GetSocketState(const SocketRecord* socket, uint8_t* state);

// The dotted address of the first interface that is up, not loopback and has an IPv4 address,
// into `text` (kIPAddressTextSize bytes); kSocketBadAddress and empty text when there is none.
OSStatus GetMachinePrimaryIPAddress(char* text);

// A created socket is left alone. A connected one without force that still has an open direction
// gives kSocketStillOpen; with force both directions are closed. Then the descriptor is replaced
// by a fresh one in state created (state none, and the error, when that cannot be made).
OSStatus SocketReset(SocketRecord* socket, bool force);

// ---- Server and client ----

// Binds a created socket to the dotted address (any address for null) and the port and listens
// with a backlog of 1. A text that is not an address gives kSocketBadAddress, an address in use
// kSocketAddressInUse; on failure the socket stays (or is made fresh) in state created.
OSStatus SocketListen(SocketRecord* socket, const char* address, uint16_t port, uint32_t flags);

// Accepts a pending connection of a listening socket without waiting (kSocketNothingYet when
// there is none). The connection goes to a new record when *socket is null (listener's user data
// and idle procedure), to *socket when it is in state created, or to the listener itself when
// `socket` is null. A receiving socket in another state gives kSocketWrongState and leaves the
// connection pending.
OSStatus SocketAcceptConnection(SocketRecord* listener, SocketRecord** socket, int32_t reserved);

// Connects a created socket to the dotted address, waiting up to `timeoutSeconds` for a connect
// in progress (0: until the idle procedure ends it). Without an address the machine must have a
// primary address and the connection goes to "127.0.0.1". On failure the socket is reset to state
// created and the result is kSocketRefused, kSocketTimeout, the idle procedure's status or the
// system's error.
OSStatus SocketConnectTo(SocketRecord* socket, const char* address, uint16_t port,
                         int32_t timeoutSeconds);

// Polls until the socket can be written, then returns its pending error (0 = connected).
// kSocketTimeout once timeoutSeconds x 1000 milliseconds have passed (0: no limit while an idle
// procedure can end the wait).
OSStatus WaitForWriteEnable(SocketRecord* socket, int32_t timeoutSeconds);

// ---- Transfer ----

// Sends all *count bytes, waiting up to `timeoutSeconds` whenever the socket cannot take more.
// A peer that went away resets the socket and gives kSocketSendClosed. *count becomes the number
// of bytes that went out.
OSStatus SocketSend(SocketRecord* socket, const void* bytes, int32_t* count,
                    int32_t timeoutSeconds);

// The number of bytes ready to read (1 when only a peek can tell that there are some);
// kSocketNothingYet when none, kSocketReceiveClosed when the peer closed or reset.
OSStatus SocketCountPendingData(SocketRecord* socket, int32_t* count);

// Receives what is there, up to *count bytes, without waiting; *count becomes the bytes received
// (0 on failure).
OSStatus SocketReceive(SocketRecord* socket, void* buffer, int32_t* count);

// Receives until *count bytes have come, polling and calling the idle procedure while nothing is
// there; kSocketTimeout once more than timeoutSeconds x 1000 milliseconds have passed (0: no
// limit while an idle procedure can end the wait). *count becomes the total received.
OSStatus SocketWaitReceive(SocketRecord* socket, void* buffer, int32_t* count,
                           int32_t timeoutSeconds);

// Discards the bytes pending now, in pieces of at most 1024; *count (when given) tells how many.
OSStatus SocketFlushReceive(SocketRecord* socket, int32_t* count);

// Closes directions of a connected socket (others are left alone): 1 receiving, 2 sending,
// 3 both (a forced reset). Once both directions are closed the socket is reset to state created.
OSStatus SocketClose(SocketRecord* socket, int32_t how);

}  // namespace plexa
