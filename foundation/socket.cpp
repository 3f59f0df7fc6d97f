// Sockets over POSIX: non-blocking IPv4 TCP descriptors, polled, never signalling SIGPIPE.

#include "foundation/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "foundation/datetime.h"
#include "foundation/memory.h"
#include "foundation/strings.h"

namespace plexa {

SocketRecord* gSocketList = nullptr;
bool gSocketsInUse = false;

namespace {

SocketTicksHook gTicksHook = nullptr;

// How long one poll of a wait without an idle procedure may block, so that it does not spin.
constexpr int kPollWithoutIdleMillis = 10;
// The piece size of `SocketFlushReceive`.
constexpr int32_t kFlushPiece = 1024;

bool InList(const SocketRecord* socket) {
    for (SocketRecord* s = gSocketList; s; s = s->next)
        if (s == socket) return true;
    return false;
}

void Unlink(SocketRecord* socket) {
    for (SocketRecord** link = &gSocketList; *link; link = &(*link)->next) {
        if (*link == socket) {
            *link = socket->next;
            socket->next = nullptr;
            return;
        }
    }
}

// The state check shared by the operations on a connection.
OSStatus CheckConnected(const SocketRecord* socket) {
    if (!socket || socket->state == kSocketStateNone) return status::kSocketNone;
    if (socket->state != kSocketStateConnected) return status::kSocketWrongState;
    return status::kNoErr;
}

OSStatus CheckCreated(const SocketRecord* socket) {
    if (!socket || socket->state == kSocketStateNone) return status::kSocketNone;
    if (socket->state != kSocketStateCreated) return status::kSocketWrongState;
    return status::kNoErr;
}

void ShutdownSend(SocketRecord* socket) {
    if (socket->writeOpen) {
        socket->writeOpen = 0;
        if (socket->descriptor >= 0) shutdown(socket->descriptor, SHUT_WR);
    }
}

bool IsBrokenConnection(int error) {
    return error == EPIPE || error == ECONNRESET || error == ENOTCONN;
}

// Errors of accept that belong to one pending connection, not to the listener: the connection is
// gone and the listener keeps listening.
bool IsTransientAcceptError(int error) {
    switch (error) {
    case ECONNABORTED:
    case EPROTO:
    case ENOPROTOOPT:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENONET:
        return true;
    default:
        return false;
    }
}

bool TimedOut(uint32_t elapsedMillis, int32_t timeoutSeconds, bool strictlyMore) {
    const int64_t limit = int64_t(timeoutSeconds) * 1000;
    return strictlyMore ? int64_t(elapsedMillis) > limit : int64_t(elapsedMillis) >= limit;
}

// One step of a wait between polls: the idle procedure's status, or kSocketTimeout when nothing
// can end the wait (no time-out and no idle procedure), or kSocketNone when the idle procedure
// destroyed the socket.
OSStatus IdleStep(SocketRecord* socket, int32_t timeoutSeconds, uint32_t elapsedMillis) {
    SocketIdleProc idle = socket->idleProc;
    if (!idle) return timeoutSeconds == 0 ? status::kSocketTimeout : status::kNoErr;
    OSStatus result = idle(socket, elapsedMillis);
    if (result != status::kNoErr) return result;
    if (!InList(socket)) return status::kSocketNone;
    return status::kNoErr;
}

// Waits until the descriptor is readable, for a wait without an idle procedure (which otherwise
// would spin); returns at once when there is one.
void PauseForInput(const SocketRecord* socket) {
    if (socket->idleProc || socket->descriptor < 0) return;
    pollfd p{socket->descriptor, POLLIN, 0};
    poll(&p, 1, kPollWithoutIdleMillis);
}

// A socket in state created that has been used (a bind, a connect attempt) gets a fresh
// descriptor; a reset alone leaves state created as it is.
void RenewDescriptor(SocketRecord* socket) {
    socket->state = kSocketStateNone;
    (void)SocketReset(socket, true);  // the descriptor is renewed regardless
}

OSStatus ForcedResetAfterPeerReset(SocketRecord* socket) {
    socket->flags |= kSocketPeerReset;
    (void)SocketReset(socket, true);  // the peer reset is the status reported
    return status::kSocketReceiveClosed;
}

}  // namespace

// ---- Clock ----

SocketTicksHook GetSocketTicksHook() { return gTicksHook; }

SocketTicksHook SetSocketTicksHook(SocketTicksHook hook) {
    SocketTicksHook former = gTicksHook;
    gTicksHook = hook;
    return former;
}

uint32_t GetSocketTicks() { return gTicksHook ? gTicksHook() : uint32_t(MonotonicTicks()); }

uint32_t GetElapsedSocketTime(uint32_t startTicks) {
    const uint32_t ticks = GetSocketTicks() - startTicks;  // modulo 2^32 across the wrap
    const double millis = std::round(double(ticks) * 16.66667);
    return millis >= 4294967295.0 ? 0xFFFFFFFFu : uint32_t(millis);
}

// ---- Life cycle ----

OSStatus BeginSockets() {
    gSocketsInUse = true;
    return status::kNoErr;
}

void EndSockets() {
    if (!gSocketsInUse) return;
    while (gSocketList) DestroySocket(gSocketList);
    gSocketsInUse = false;
}

OSStatus CreateBSDSocket(int32_t* descriptor) {
    *descriptor = -1;
    // SIGPIPE is kept off per send (MSG_NOSIGNAL): this system has no per-socket option for it.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return errno;
    *descriptor = fd;
    return status::kNoErr;
}

OSStatus CreateSocket(SocketRecord** socket, void* userData) {
    *socket = nullptr;
    gSocketsInUse = true;
    int32_t fd = -1;
    OSStatus err = CreateBSDSocket(&fd);
    if (err != status::kNoErr) return err;
    auto* record = reinterpret_cast<SocketRecord*>(AllocPtrClear(nullptr, sizeof(SocketRecord)));
    if (!record) {
        close(fd);
        return status::kOutOfMemory;
    }
    record->userData = userData;
    record->descriptor = fd;
    record->state = kSocketStateCreated;
    record->next = gSocketList;
    gSocketList = record;
    *socket = record;
    return status::kNoErr;
}

void CloseReadChannel(SocketRecord* socket) {
    if (!socket || socket->state != kSocketStateConnected || !socket->readOpen) return;
    socket->readOpen = 0;
    if (!(socket->flags & kSocketPeerReset) && socket->descriptor >= 0)
        shutdown(socket->descriptor, SHUT_RD);
}

void DestroySocket(SocketRecord* socket) {
    if (!socket || !InList(socket)) return;  // none, or destroyed already
    if (socket->state == kSocketStateConnected) ShutdownSend(socket);
    CloseReadChannel(socket);
    if (socket->descriptor >= 0) close(socket->descriptor);
    socket->descriptor = -1;
    Unlink(socket);
    MemFreePtr(socket);
}

SocketIdleProc SetSocketIdleHook(SocketRecord* socket, SocketIdleProc proc) {
    if (!socket) return nullptr;
    SocketIdleProc former = socket->idleProc;
    socket->idleProc = proc;
    return former;
}

OSStatus GetSocketState(const SocketRecord* socket, uint8_t* state) {
    if (!socket) {
        *state = kSocketStateNone;
        return status::kSocketNone;
    }
    *state = socket->state;
    return status::kNoErr;
}

OSStatus GetMachinePrimaryIPAddress(char* text) {
    text[0] = 0;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return status::kSocketBadAddress;
    OSStatus result = status::kSocketBadAddress;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET) continue;
        if (!(i->ifa_flags & IFF_UP) || (i->ifa_flags & IFF_LOOPBACK)) continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        Int32ToIPString(ntohl(address->sin_addr.s_addr), text, kIPAddressTextSize);
        result = status::kNoErr;
        break;
    }
    freeifaddrs(list);
    return result;
}

OSStatus SocketReset(SocketRecord* socket, bool force) {
    if (!socket) return status::kSocketNone;
    if (socket->state == kSocketStateCreated) return status::kNoErr;
    if (socket->state == kSocketStateConnected) {
        if (!force && (socket->readOpen || socket->writeOpen)) return status::kSocketStillOpen;
        if (force) {
            ShutdownSend(socket);
            CloseReadChannel(socket);
        }
    }
    socket->state = kSocketStateNone;
    socket->flags = 0;
    socket->readOpen = 0;
    socket->writeOpen = 0;
    socket->peerAddress[0] = 0;
    if (socket->descriptor >= 0) close(socket->descriptor);
    socket->descriptor = -1;
    OSStatus err = CreateBSDSocket(&socket->descriptor);
    if (err != status::kNoErr) return err;
    socket->state = kSocketStateCreated;
    return status::kNoErr;
}

// ---- Server and client ----

OSStatus SocketListen(SocketRecord* socket, const char* address, uint16_t port, uint32_t flags) {
    OSStatus err = CheckCreated(socket);
    if (err != status::kNoErr) return err;
    uint32_t host = INADDR_ANY;
    if (address && !IPStringToInt32(address, &host)) return status::kSocketBadAddress;
    if (flags & kSocketReuseAddress) {
        int on = 1;
        setsockopt(socket->descriptor, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(host);
    if (bind(socket->descriptor, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        err = errno;
        // A failed bind leaves the descriptor unbound: the socket can try again as it is.
        return err == EADDRINUSE ? status::kSocketAddressInUse : err;
    }
    if (listen(socket->descriptor, 1) != 0) {
        err = errno;
        // The descriptor is bound now; a fresh one lets the caller try again (say with reuse).
        RenewDescriptor(socket);
        return err == EADDRINUSE ? status::kSocketAddressInUse : err;
    }
    socket->state = kSocketStateListening;
    return status::kNoErr;
}

OSStatus SocketAcceptConnection(SocketRecord* listener, SocketRecord** socket, int32_t) {
    if (!listener || listener->state == kSocketStateNone) return status::kSocketNone;
    if (listener->state != kSocketStateListening) return status::kSocketWrongState;
    // The receiving socket is checked first, so that a refusal leaves the connection pending.
    if (socket && *socket && (*socket)->state != kSocketStateCreated)
        return status::kSocketWrongState;

    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    int fd;
    for (;;) {
        fd = accept4(listener->descriptor, reinterpret_cast<sockaddr*>(&peer), &peerLength,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) break;
        const int error = errno;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK || IsTransientAcceptError(error))
            return status::kSocketNothingYet;
        (void)SocketReset(listener, true);  // the accept error is the status reported
        return error;
    }

    SocketRecord* target;
    if (!socket) {
        target = listener;
    } else if (!*socket) {
        target = reinterpret_cast<SocketRecord*>(AllocPtrClear(nullptr, sizeof(SocketRecord)));
        if (!target) {
            close(fd);
            return status::kOutOfMemory;
        }
        target->userData = listener->userData;
        target->idleProc = listener->idleProc;
        target->descriptor = -1;
        target->next = gSocketList;
        gSocketList = target;
        *socket = target;
    } else {
        target = *socket;
    }
    if (target->descriptor >= 0) close(target->descriptor);
    target->descriptor = fd;
    target->state = kSocketStateConnected;
    target->flags = 0;
    target->readOpen = 1;
    target->writeOpen = 1;
    if (!inet_ntop(AF_INET, &peer.sin_addr, target->peerAddress, sizeof target->peerAddress))
        target->peerAddress[0] = 0;
    return status::kNoErr;
}

OSStatus WaitForWriteEnable(SocketRecord* socket, int32_t timeoutSeconds) {
    if (!socket || socket->descriptor < 0) return status::kSocketNone;
    const uint32_t start = GetSocketTicks();
    const int32_t descriptor = socket->descriptor;
    for (;;) {
        pollfd p{descriptor, POLLOUT, 0};
        const int ready = poll(&p, 1, socket->idleProc ? 0 : kPollWithoutIdleMillis);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (ready > 0) {
            int pending = 0;
            socklen_t length = sizeof pending;
            if (getsockopt(descriptor, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) return errno;
            return pending;
        }
        const uint32_t elapsed = GetElapsedSocketTime(start);
        if (timeoutSeconds != 0 && TimedOut(elapsed, timeoutSeconds, false))
            return status::kSocketTimeout;
        OSStatus err = IdleStep(socket, timeoutSeconds, elapsed);
        if (err != status::kNoErr) return err;
        // The idle procedure may have reset the socket: its new descriptor is not the one awaited.
        if (socket->descriptor != descriptor) return status::kSocketWrongState;
    }
}

OSStatus SocketConnectTo(SocketRecord* socket, const char* address, uint16_t port,
                         int32_t timeoutSeconds) {
    OSStatus err = CheckCreated(socket);
    if (err != status::kNoErr) return err;
    if (!address) {
        char primary[kIPAddressTextSize];
        if (GetMachinePrimaryIPAddress(primary) != status::kNoErr) return status::kSocketBadAddress;
        address = "127.0.0.1";
    }
    uint32_t host = 0;
    if (!IPStringToInt32(address, &host)) return status::kSocketBadAddress;
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(host);
    if (connect(socket->descriptor, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
        err = errno;
        if (err == EINPROGRESS || err == EINTR) err = WaitForWriteEnable(socket, timeoutSeconds);
    }
    if (err != status::kNoErr) {
        // The failed or abandoned attempt stays with the old descriptor, which cannot connect
        // again: the socket starts afresh.
        if (InList(socket)) RenewDescriptor(socket);
        return err == ECONNREFUSED ? status::kSocketRefused : err;
    }
    socket->state = kSocketStateConnected;
    socket->flags = 0;
    socket->readOpen = 1;
    socket->writeOpen = 1;
    return status::kNoErr;
}

// ---- Transfer ----

OSStatus SocketSend(SocketRecord* socket, const void* bytes, int32_t* count,
                    int32_t timeoutSeconds) {
    const int32_t total = *count;
    *count = 0;
    OSStatus err = CheckConnected(socket);
    if (err != status::kNoErr) return err;
    if (!socket->writeOpen) return status::kSocketSendClosed;
    const auto* data = static_cast<const char*>(bytes);
    int32_t sent = 0;
    while (sent < total) {
        const ssize_t n = send(socket->descriptor, data + sent, size_t(total - sent),
                               MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            sent += int32_t(n);
            *count = sent;
            continue;
        }
        int error = errno;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) {
            error = WaitForWriteEnable(socket, timeoutSeconds);
            if (error == status::kNoErr) continue;
            if (!IsBrokenConnection(error) || !InList(socket)) return error;
        }
        if (IsBrokenConnection(error)) {
            (void)SocketReset(socket, true);  // the closed connection is the status reported
            return status::kSocketSendClosed;
        }
        return error;
    }
    return status::kNoErr;
}

// One receive that never waits: the bytes that came (count out), the peer's close (its read side
// goes too), nothing yet, or a failure.
static OSStatus ReceiveWithoutWaiting(SocketRecord* socket, void* buffer, int32_t wanted,
                                      int flags, int32_t* count) {
    for (;;) {
        const ssize_t n = recv(socket->descriptor, buffer, size_t(wanted), flags | MSG_DONTWAIT);
        if (n > 0) {
            *count = int32_t(n);
            return status::kNoErr;
        }
        if (n == 0) {
            socket->flags |= kSocketPeerClosed;
            CloseReadChannel(socket);
            return status::kSocketReceiveClosed;
        }
        const int error = errno;
        if (error == EINTR) continue;
        if (error == EAGAIN || error == EWOULDBLOCK) return status::kSocketNothingYet;
        if (error == ECONNRESET) return ForcedResetAfterPeerReset(socket);
        return error;
    }
}

OSStatus SocketCountPendingData(SocketRecord* socket, int32_t* count) {
    *count = 0;
    OSStatus err = CheckConnected(socket);
    if (err != status::kNoErr) return err;
    if (!socket->readOpen) return status::kSocketReceiveClosed;
    int ready = 0;
    if (ioctl(socket->descriptor, FIONREAD, &ready) != 0) return errno;
    if (ready > 0) {
        *count = ready;
        return status::kNoErr;
    }
    char byte;
    return ReceiveWithoutWaiting(socket, &byte, 1, MSG_PEEK, count);
}

OSStatus SocketReceive(SocketRecord* socket, void* buffer, int32_t* count) {
    const int32_t wanted = *count;
    *count = 0;
    OSStatus err = CheckConnected(socket);
    if (err != status::kNoErr) return err;
    if (!socket->readOpen) return status::kSocketReceiveClosed;
    if (wanted < 1) return status::kNoErr;
    return ReceiveWithoutWaiting(socket, buffer, wanted, 0, count);
}

OSStatus SocketWaitReceive(SocketRecord* socket, void* buffer, int32_t* count,
                           int32_t timeoutSeconds) {
    const int32_t wanted = *count;
    *count = 0;
    OSStatus err = CheckConnected(socket);
    if (err != status::kNoErr) return err;
    auto* data = static_cast<char*>(buffer);
    const uint32_t start = GetSocketTicks();
    int32_t received = 0;
    bool paused = false;  // nothing came in the last short poll of a wait without an end
    while (received < wanted) {
        int32_t piece = wanted - received;
        err = SocketReceive(socket, data + received, &piece);
        received += piece;
        *count = received;
        if (err == status::kNoErr) {
            paused = false;
            continue;
        }
        if (err != status::kSocketNothingYet) return err;
        const uint32_t elapsed = GetElapsedSocketTime(start);
        if (timeoutSeconds != 0 && TimedOut(elapsed, timeoutSeconds, true))
            return status::kSocketTimeout;
        if (!socket->idleProc && timeoutSeconds == 0) {
            if (paused) return status::kSocketTimeout;
            paused = true;
        } else {
            err = IdleStep(socket, timeoutSeconds, elapsed);
            if (err != status::kNoErr) return err;
        }
        PauseForInput(socket);
    }
    return status::kNoErr;
}

OSStatus SocketFlushReceive(SocketRecord* socket, int32_t* count) {
    if (count) *count = 0;
    OSStatus err = CheckConnected(socket);
    if (err != status::kNoErr) return err;
    // Only what is pending now is discarded, so that a peer that keeps sending cannot hold the
    // caller here.
    int pending = 0;
    if (ioctl(socket->descriptor, FIONREAD, &pending) != 0) pending = 0;
    char piece[kFlushPiece];
    int64_t discarded = 0;
    do {
        int32_t n = kFlushPiece;
        err = SocketReceive(socket, piece, &n);
        discarded += n;
    } while (err == status::kNoErr && discarded < pending);
    if (count) *count = int32_t(discarded);
    return err == status::kSocketNothingYet ? status::kNoErr : err;
}

OSStatus SocketClose(SocketRecord* socket, int32_t how) {
    if (!socket || socket->state == kSocketStateNone) return status::kSocketNone;
    if (socket->state != kSocketStateConnected) return status::kNoErr;
    if (how == kSocketCloseBoth) return SocketReset(socket, true);
    if (how == kSocketCloseReceive) CloseReadChannel(socket);
    else if (how == kSocketCloseSend) ShutdownSend(socket);
    OSStatus err = SocketReset(socket, false);
    return err == status::kSocketStillOpen ? status::kNoErr : err;
}

}  // namespace plexa
