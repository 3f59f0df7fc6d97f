#include "foundation/socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/strings.h"
#include "tests/support/socket_clock.h"

namespace plexa {
namespace {

// Everything here runs on loopback with ports chosen by the system.
constexpr const char* kLoopback = "127.0.0.1";

int OpenDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    while (readdir(dir)) ++count;
    closedir(dir);
    return count;
}

uint16_t BoundPort(const SocketRecord* socket) {
    sockaddr_in where{};
    socklen_t length = sizeof where;
    if (getsockname(socket->descriptor, reinterpret_cast<sockaddr*>(&where), &length) != 0) return 0;
    return ntohs(where.sin_port);
}

// Every test starts the layer and ends it, and must leave no socket and no descriptor behind.
class Sockets : public ::testing::Test {
protected:
    void SetUp() override {
        descriptors_ = OpenDescriptors();
        ASSERT_EQ(BeginSockets(), 0);
    }
    void TearDown() override {
        EndSockets();
        EXPECT_EQ(gSocketList, nullptr);
        EXPECT_FALSE(gSocketsInUse);
        EXPECT_EQ(OpenDescriptors(), descriptors_);
    }

    SocketRecord* NewSocket(void* userData = nullptr) {
        SocketRecord* socket = nullptr;
        EXPECT_EQ(CreateSocket(&socket, userData), 0);
        return socket;
    }

    // A listener on a system-chosen loopback port.
    SocketRecord* NewListener() {
        SocketRecord* listener = NewSocket();
        EXPECT_EQ(SocketListen(listener, kLoopback, 0, 0), 0);
        EXPECT_EQ(listener->state, kSocketStateListening);
        return listener;
    }

    // Accepts into *socket (see SocketAcceptConnection) once a connection is pending, for at most
    // two seconds.
    OSStatus AcceptWithin(SocketRecord* listener, SocketRecord** socket) {
        const uint32_t start = GetSocketTicks();
        for (;;) {
            OSStatus err = SocketAcceptConnection(listener, socket, 0);
            if (err != status::kSocketNothingYet || GetElapsedSocketTime(start) > 2000) return err;
            pollfd p{listener->descriptor, POLLIN, 0};
            poll(&p, 1, 10);
        }
    }

    // A connected client and the server's side of it.
    void Connect(SocketRecord** client, SocketRecord** server) {
        SocketRecord* listener = NewListener();
        *client = NewSocket();
        ASSERT_EQ(SocketConnectTo(*client, kLoopback, BoundPort(listener), 2), 0);
        EXPECT_EQ((*client)->state, kSocketStateConnected);
        *server = nullptr;
        ASSERT_EQ(AcceptWithin(listener, server), 0);
        ASSERT_NE(*server, nullptr);
        EXPECT_EQ((*server)->state, kSocketStateConnected);
        EXPECT_STREQ((*server)->peerAddress, kLoopback);
        DestroySocket(listener);
    }

    // Waits (at most two seconds) until the socket reports pending data or a status.
    OSStatus CountWithin(SocketRecord* socket, int32_t* count) {
        const uint32_t start = GetSocketTicks();
        for (;;) {
            OSStatus err = SocketCountPendingData(socket, count);
            if (err != status::kSocketNothingYet || GetElapsedSocketTime(start) > 2000) return err;
            pollfd p{socket->descriptor, POLLIN, 0};
            poll(&p, 1, 10);
        }
    }

private:
    int descriptors_ = 0;
};

// ---- Frames: a big-endian u32 length, then the payload ----

constexpr uint32_t kMaxFrame = 16u << 20;

std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload) {
    const uint32_t n = uint32_t(payload.size());
    std::vector<uint8_t> frame{uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    frame.resize(4 + payload.size());
    if (n) std::memcpy(frame.data() + 4, payload.data(), n);
    return frame;
}

// Reads one frame with the socket's waits; a length beyond kMaxFrame is refused, not trusted.
OSStatus ReceiveFrame(SocketRecord* socket, std::vector<uint8_t>* payload, int32_t timeout) {
    uint8_t head[4];
    int32_t count = 4;
    OSStatus err = SocketWaitReceive(socket, head, &count, timeout);
    if (err != 0) return err;
    const uint32_t length = uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 |
                            uint32_t(head[2]) << 8 | head[3];
    if (length > kMaxFrame) return status::kParamErr;
    payload->assign(length, 0);
    count = int32_t(length);
    err = SocketWaitReceive(socket, payload->data(), &count, timeout);
    return err == 0 && count != int32_t(length) ? status::kParamErr : err;
}

std::vector<uint8_t> Pattern(size_t size, uint32_t seed) {
    std::vector<uint8_t> bytes(size);
    uint32_t x = seed;
    for (auto& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 16);
    }
    return bytes;
}

// What the idle procedures of the exchange test work on: the other side of the connection.
struct Exchange {
    SocketRecord* other = nullptr;
    std::vector<uint8_t> received;       // drained from `other`
    std::vector<uint8_t> toSend;         // pumped into `other`
    size_t sentSoFar = 0;
    int idleCalls = 0;
};

// Drains whatever the other side has pending.
OSStatus DrainOther(SocketRecord* socket, uint32_t) {
    auto* x = static_cast<Exchange*>(socket->userData);
    ++x->idleCalls;
    uint8_t piece[65536];
    for (;;) {
        int32_t count = sizeof piece;
        OSStatus err = SocketReceive(x->other, piece, &count);
        x->received.insert(x->received.end(), piece, piece + count);
        if (err == status::kSocketNothingYet) return 0;
        if (err != 0) return err;
    }
}

// Sends the next small piece of `toSend` from the other side.
OSStatus PumpOther(SocketRecord* socket, uint32_t) {
    auto* x = static_cast<Exchange*>(socket->userData);
    ++x->idleCalls;
    int32_t count = int32_t(std::min<size_t>(7, x->toSend.size() - x->sentSoFar));
    OSStatus err = SocketSend(x->other, x->toSend.data() + x->sentSoFar, &count, 1);
    x->sentSoFar += size_t(count);
    return err;
}

TEST_F(Sockets, FramedExchangeThroughIdleWaits) {
    SocketRecord *client, *server;
    Exchange x;
    Connect(&client, &server);
    client->userData = &x;
    x.other = server;

    // Client to server: a frame far larger than the socket buffers, so the send must wait for
    // writability, and the client's idle procedure drains the server meanwhile.
    SetSocketIdleHook(client, DrainOther);
    const std::vector<uint8_t> big = Pattern(8u << 20, 1);
    const std::vector<uint8_t> frame = Frame(big);
    int32_t count = int32_t(frame.size());
    ASSERT_EQ(SocketSend(client, frame.data(), &count, 5), 0);
    EXPECT_EQ(count, int32_t(frame.size()));
    EXPECT_GT(x.idleCalls, 0);
    const size_t drained = x.received.size();
    std::vector<uint8_t> rest(frame.size() - drained);
    count = int32_t(rest.size());
    ASSERT_EQ(SocketWaitReceive(server, rest.data(), &count, 5), 0);
    x.received.insert(x.received.end(), rest.begin(), rest.end());
    EXPECT_EQ(x.received, frame);

    // Server to client: the client waits for a frame while its idle procedure makes the server
    // send it a few bytes at a time.
    SetSocketIdleHook(client, PumpOther);
    x.idleCalls = 0;
    const std::vector<uint8_t> reply = Pattern(300, 2);
    x.toSend = Frame(reply);
    std::vector<uint8_t> got;
    ASSERT_EQ(ReceiveFrame(client, &got, 5), 0);
    EXPECT_EQ(got, reply);
    EXPECT_EQ(x.sentSoFar, x.toSend.size());
    EXPECT_GT(x.idleCalls, 1);

    // A length the peer claims beyond what the reader accepts is refused before anything is
    // allocated for it.
    const std::vector<uint8_t> lie = {0xFF, 0xFF, 0xFF, 0xF0, 1, 2, 3};
    count = int32_t(lie.size());
    ASSERT_EQ(SocketSend(server, lie.data(), &count, 1), 0);
    SetSocketIdleHook(client, nullptr);
    EXPECT_EQ(ReceiveFrame(client, &got, 2), status::kParamErr);
}

// Ends a wait after a few calls with the user's cancel.
OSStatus CancelOnThirdCall(SocketRecord* socket, uint32_t) {
    auto* calls = static_cast<int*>(socket->userData);
    return ++*calls >= 3 ? status::kUserCancelled : status::kNoErr;
}

TEST_F(Sockets, ConnectingToNobodyIsRefusedAndMayBeTriedAgain) {
    SocketRecord* probe = NewListener();
    const uint16_t port = BoundPort(probe);
    DestroySocket(probe);  // nobody listens on `port` now

    SocketRecord* client = NewSocket();
    EXPECT_EQ(SocketConnectTo(client, kLoopback, port, 1), status::kSocketRefused);
    EXPECT_EQ(client->state, kSocketStateCreated);
    EXPECT_GE(client->descriptor, 0);

    SocketRecord* listener = NewListener();
    EXPECT_EQ(SocketConnectTo(client, kLoopback, BoundPort(listener), 2), 0);
    EXPECT_EQ(client->state, kSocketStateConnected);
}

TEST_F(Sockets, ConnectThatNobodyAnswersTimesOut) {
    test::SteppingSocketClock clock;
    // A listener that never accepts: once its queue is full, further connects stay in progress.
    SocketRecord* listener = NewListener();
    const uint16_t port = BoundPort(listener);
    OSStatus last = 0;
    SocketRecord* client = nullptr;
    for (int i = 0; i < 6 && last != status::kSocketTimeout; ++i) {
        client = NewSocket();
        last = SocketConnectTo(client, kLoopback, port, 1);
        ASSERT_TRUE(last == 0 || last == status::kSocketTimeout) << last;
    }
    ASSERT_EQ(last, status::kSocketTimeout);
    EXPECT_EQ(client->state, kSocketStateCreated);

    // Without a time-out the idle procedure ends the wait with its own status.
    int calls = 0;
    client->userData = &calls;
    SetSocketIdleHook(client, CancelOnThirdCall);
    EXPECT_EQ(SocketConnectTo(client, kLoopback, port, 0), status::kUserCancelled);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(client->state, kSocketStateCreated);
}

// Destroys the other side of the connection on the first call.
OSStatus DestroyOther(SocketRecord* socket, uint32_t) {
    auto* x = static_cast<Exchange*>(socket->userData);
    ++x->idleCalls;
    DestroySocket(x->other);
    x->other = nullptr;
    return 0;
}

TEST_F(Sockets, PeerGoingAwayWhileSending) {
    SocketRecord *client, *server;
    Exchange x;
    Connect(&client, &server);
    client->userData = &x;
    x.other = server;
    SetSocketIdleHook(client, DestroyOther);

    // The server goes with unread data, which resets the connection: no SIGPIPE, a status, and
    // the count of what did go out.
    const std::vector<uint8_t> big = Pattern(8u << 20, 3);
    int32_t count = int32_t(big.size());
    EXPECT_EQ(SocketSend(client, big.data(), &count, 5), status::kSocketSendClosed);
    EXPECT_GT(count, 0);
    EXPECT_LT(count, int32_t(big.size()));
    EXPECT_GE(x.idleCalls, 1);
    EXPECT_EQ(client->state, kSocketStateCreated);
}

// Sends ten bytes from the other side and destroys it.
OSStatus SendTenAndGo(SocketRecord* socket, uint32_t) {
    auto* x = static_cast<Exchange*>(socket->userData);
    if (x->other) {
        int32_t count = 10;
        const uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        EXPECT_EQ(SocketSend(x->other, bytes, &count, 1), 0);
        DestroySocket(x->other);
        x->other = nullptr;
    }
    return 0;
}

TEST_F(Sockets, PeerClosingWhileReceiving) {
    SocketRecord *client, *server;
    Exchange x;
    Connect(&client, &server);
    server->userData = &x;
    x.other = client;
    SetSocketIdleHook(server, SendTenAndGo);

    uint8_t buffer[100];
    int32_t count = sizeof buffer;
    EXPECT_EQ(SocketWaitReceive(server, buffer, &count, 5), status::kSocketReceiveClosed);
    EXPECT_EQ(count, 10);
    EXPECT_EQ(buffer[9], 10);
    EXPECT_EQ(server->flags & kSocketPeerClosed, kSocketPeerClosed);
    EXPECT_EQ(server->state, kSocketStateConnected);
    EXPECT_EQ(server->writeOpen, 1);
    count = 1;
    EXPECT_EQ(SocketReceive(server, buffer, &count), status::kSocketReceiveClosed);
    EXPECT_EQ(count, 0);
}

// The status rules, each on a socket in the state the row needs.
TEST_F(Sockets, StatusOfEachOperationByState) {
    SocketRecord* created = NewSocket();
    SocketRecord* listening = NewListener();
    SocketRecord *client, *server;
    Connect(&client, &server);
    uint8_t byte = 0;
    int32_t count = 1;

    struct Case {
        const char* name;
        std::function<OSStatus()> run;
        OSStatus expected;
    };
    const Case cases[] = {
        {"state of none", [&] { uint8_t s = 9; OSStatus e = GetSocketState(nullptr, &s); return s == 0 ? e : OSStatus(-1); },
         status::kSocketNone},
        {"send on none", [&] { count = 1; return SocketSend(nullptr, &byte, &count, 1); }, status::kSocketNone},
        {"receive on none", [&] { count = 1; return SocketReceive(nullptr, &byte, &count); }, status::kSocketNone},
        {"listen on none", [&] { return SocketListen(nullptr, nullptr, 0, 0); }, status::kSocketNone},
        {"connect on none", [&] { return SocketConnectTo(nullptr, kLoopback, 1, 1); }, status::kSocketNone},
        {"accept on none", [&] { return SocketAcceptConnection(nullptr, nullptr, 0); }, status::kSocketNone},
        {"close none", [&] { return SocketClose(nullptr, 3); }, status::kSocketNone},
        {"reset none", [&] { return SocketReset(nullptr, true); }, status::kSocketNone},
        {"write wait on none", [&] { return WaitForWriteEnable(nullptr, 1); }, status::kSocketNone},
        {"send unconnected", [&] { count = 1; return SocketSend(created, &byte, &count, 1); },
         status::kSocketWrongState},
        {"receive unconnected", [&] { count = 1; return SocketReceive(created, &byte, &count); },
         status::kSocketWrongState},
        {"count unconnected", [&] { return SocketCountPendingData(created, &count); }, status::kSocketWrongState},
        {"accept on a created socket", [&] { return SocketAcceptConnection(created, nullptr, 0); },
         status::kSocketWrongState},
        {"close unconnected", [&] { return SocketClose(created, 3); }, 0},
        {"reset created", [&] { return SocketReset(created, false); }, 0},
        {"connect a listener", [&] { return SocketConnectTo(listening, kLoopback, 1, 1); }, status::kSocketWrongState},
        {"listen twice", [&] { return SocketListen(listening, nullptr, 0, 0); }, status::kSocketWrongState},
        {"listen on no address", [&] { return SocketListen(created, "300.1.1.1", 0, 0); }, status::kSocketBadAddress},
        {"connect to no address", [&] { return SocketConnectTo(created, "local", 1, 1); }, status::kSocketBadAddress},
        {"listen on a port in use", [&] { return SocketListen(created, kLoopback, BoundPort(listening), 0); },
         status::kSocketAddressInUse},
        {"listen on a port in use, reusing", [&] {
             return SocketListen(created, kLoopback, BoundPort(listening), kSocketReuseAddress); },
         status::kSocketAddressInUse},
        {"accept with nothing pending", [&] { SocketRecord* s = nullptr; return SocketAcceptConnection(listening, &s, 0); },
         status::kSocketNothingYet},
        {"nothing to count", [&] { return SocketCountPendingData(client, &count); }, status::kSocketNothingYet},
        {"nothing to receive", [&] { count = 1; return SocketReceive(client, &byte, &count); },
         status::kSocketNothingYet},
        {"reset an open connection without force", [&] { return SocketReset(client, false); },
         status::kSocketStillOpen},
        {"send nothing", [&] { count = 0; return SocketSend(client, &byte, &count, 1); }, 0},
        {"flush with nothing there", [&] { return SocketFlushReceive(client, &count); }, 0},
        // Without a time-out or an idle procedure nothing could end the wait.
        {"endless wait", [&] { count = 1; return SocketWaitReceive(client, &byte, &count, 0); }, status::kSocketTimeout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.run(), c.expected);
    }
    EXPECT_EQ(created->state, kSocketStateCreated);
    EXPECT_EQ(listening->state, kSocketStateListening);
    EXPECT_EQ(client->state, kSocketStateConnected);
    EXPECT_EQ(server->state, kSocketStateConnected);
}

TEST_F(Sockets, AcceptingIntoEachKindOfTarget) {
    SocketRecord* listener = NewListener();
    int marker = 0;
    listener->userData = &marker;
    SetSocketIdleHook(listener, CancelOnThirdCall);
    const uint16_t port = BoundPort(listener);

    // A new record takes the listener's user data and idle procedure.
    SocketRecord* a = NewSocket();
    ASSERT_EQ(SocketConnectTo(a, kLoopback, port, 2), 0);
    SocketRecord* fresh = nullptr;
    ASSERT_EQ(AcceptWithin(listener, &fresh), 0);
    EXPECT_EQ(fresh->userData, &marker);
    EXPECT_EQ(fresh->idleProc, CancelOnThirdCall);
    EXPECT_EQ(gSocketList, fresh);

    // A connected target is refused, and the connection waits for the next accept.
    SocketRecord* b = NewSocket();
    ASSERT_EQ(SocketConnectTo(b, kLoopback, port, 2), 0);
    EXPECT_EQ(SocketAcceptConnection(listener, &fresh, 0), status::kSocketWrongState);
    SocketRecord* mine = NewSocket();
    ASSERT_EQ(AcceptWithin(listener, &mine), 0);
    EXPECT_EQ(mine->state, kSocketStateConnected);
    EXPECT_STREQ(mine->peerAddress, kLoopback);

    // Without a target the listener becomes the connection.
    SocketRecord* c = NewSocket();
    ASSERT_EQ(SocketConnectTo(c, kLoopback, port, 2), 0);
    ASSERT_EQ(AcceptWithin(listener, nullptr), 0);
    EXPECT_EQ(listener->state, kSocketStateConnected);
    const uint8_t hello[3] = {'h', 'i', '!'};
    int32_t count = 3;
    ASSERT_EQ(SocketSend(c, hello, &count, 1), 0);
    uint8_t got[3];
    count = 3;
    SetSocketIdleHook(listener, nullptr);
    ASSERT_EQ(SocketWaitReceive(listener, got, &count, 2), 0);
    EXPECT_EQ(std::memcmp(got, hello, 3), 0);
}

TEST_F(Sockets, ClosingOneDirectionAtATime) {
    SocketRecord *client, *server;
    Connect(&client, &server);

    // The client stops sending: the server sees the close and can still send.
    EXPECT_EQ(SocketClose(client, kSocketCloseSend), 0);
    EXPECT_EQ(client->state, kSocketStateConnected);
    int32_t count = 0;
    EXPECT_EQ(CountWithin(server, &count), status::kSocketReceiveClosed);
    EXPECT_EQ(server->flags & kSocketPeerClosed, kSocketPeerClosed);
    EXPECT_EQ(server->readOpen, 0);
    const char bye[] = "bye";
    count = 3;
    EXPECT_EQ(SocketSend(server, bye, &count, 1), 0);
    char got[4] = {};
    count = 3;
    EXPECT_EQ(SocketWaitReceive(client, got, &count, 2), 0);
    EXPECT_STREQ(got, "bye");

    // The server stops receiving but stays connected for sending; stopping that resets it.
    EXPECT_EQ(SocketClose(server, kSocketCloseReceive), 0);
    EXPECT_EQ(server->state, kSocketStateConnected);
    EXPECT_EQ(SocketClose(server, kSocketCloseSend), 0);
    EXPECT_EQ(server->state, kSocketStateCreated);
    EXPECT_EQ(server->flags, 0);

    // Both at once is a forced reset.
    EXPECT_EQ(SocketClose(client, kSocketCloseBoth), 0);
    EXPECT_EQ(client->state, kSocketStateCreated);
}

TEST_F(Sockets, CountingAndFlushingPendingBytes) {
    SocketRecord *client, *server;
    Connect(&client, &server);
    const std::vector<uint8_t> bytes = Pattern(3000, 4);
    int32_t count = int32_t(bytes.size());
    ASSERT_EQ(SocketSend(client, bytes.data(), &count, 1), 0);

    // Loopback delivers in one go, but wait until all of it is there.
    const uint32_t start = GetSocketTicks();
    while (SocketCountPendingData(server, &count) == 0 && count < 3000 &&
           GetElapsedSocketTime(start) < 2000) {
        pollfd p{server->descriptor, POLLIN, 0};
        poll(&p, 1, 10);
    }
    EXPECT_EQ(count, 3000);
    EXPECT_EQ(SocketFlushReceive(server, &count), 0);
    EXPECT_EQ(count, 3000);
    EXPECT_EQ(SocketCountPendingData(server, &count), status::kSocketNothingYet);
    EXPECT_EQ(count, 0);
}

TEST_F(Sockets, WaitingForDataTimesOut) {
    SocketRecord *client, *server;
    Connect(&client, &server);
    test::SteppingSocketClock clock;
    uint8_t buffer[8];
    int32_t count = sizeof buffer;
    const uint32_t start = GetSocketTicks();
    EXPECT_EQ(SocketWaitReceive(server, buffer, &count, 2), status::kSocketTimeout);
    EXPECT_EQ(count, 0);
    const uint32_t elapsed = GetElapsedSocketTime(start);
    EXPECT_GE(elapsed, 2000u);
    EXPECT_LT(elapsed, 10000u);

    // An idle procedure ends a wait without a time-out.
    int calls = 0;
    server->userData = &calls;
    SetSocketIdleHook(server, CancelOnThirdCall);
    count = sizeof buffer;
    EXPECT_EQ(SocketWaitReceive(server, buffer, &count, 0), status::kUserCancelled);
    EXPECT_EQ(calls, 3);
}

// An idle procedure that destroys the socket it is waiting on.
OSStatus DestroySelf(SocketRecord* socket, uint32_t) {
    DestroySocket(socket);
    return 0;
}

TEST_F(Sockets, IdleProcedureDestroyingItsSocket) {
    SocketRecord *client, *server;
    Connect(&client, &server);
    SetSocketIdleHook(server, DestroySelf);
    uint8_t buffer[8];
    int32_t count = sizeof buffer;
    EXPECT_EQ(SocketWaitReceive(server, buffer, &count, 0), status::kSocketNone);
    EXPECT_EQ(gSocketList, client);
    DestroySocket(server);  // destroyed already: ignored
}

TEST_F(Sockets, EndingAllSocketsAtQuit) {
    SocketRecord *client, *server;
    Connect(&client, &server);
    NewSocket();
    NewListener();
    int listed = 0;
    for (SocketRecord* s = gSocketList; s; s = s->next) ++listed;
    EXPECT_EQ(listed, 4);
    EndSockets();
    EXPECT_EQ(gSocketList, nullptr);
    EXPECT_FALSE(gSocketsInUse);
    EndSockets();  // not in use: nothing to do
    EXPECT_EQ(BeginSockets(), 0);
}

TEST_F(Sockets, PrimaryAddressAndConnectingWithoutOne) {
    char text[kIPAddressTextSize];
    const OSStatus err = GetMachinePrimaryIPAddress(text);
    SocketRecord* listener = NewListener();
    SocketRecord* client = NewSocket();
    const OSStatus connected = SocketConnectTo(client, nullptr, BoundPort(listener), 2);
    if (err == 0) {
        uint32_t address = 0;
        EXPECT_TRUE(IPStringToInt32(text, &address)) << text;
        EXPECT_NE(address >> 24, 127u);
        EXPECT_EQ(connected, 0);
    } else {
        EXPECT_EQ(err, status::kSocketBadAddress);
        EXPECT_STREQ(text, "");
        EXPECT_EQ(connected, status::kSocketBadAddress);
    }
}

uint32_t gFakeTicks = 0;
uint32_t FakeTicks() { return gFakeTicks; }

TEST(SocketClock, ElapsedMillisecondsAcrossTheWrap) {
    struct Case {
        uint32_t start, now, millis;
    };
    const Case cases[] = {
        {0, 0, 0},
        {0, 1, 17},
        {0, 3, 50},
        {100, 160, 1000},
        {0xFFFFFFF0u, 0x10, 533},           // 32 ticks across the wrap
        {0, 0xFFFFFFFFu, 0xFFFFFFFFu},      // beyond 32 bits of milliseconds
    };
    SocketTicksHook former = SetSocketTicksHook(FakeTicks);
    for (const Case& c : cases) {
        gFakeTicks = c.now;
        EXPECT_EQ(GetElapsedSocketTime(c.start), c.millis) << c.start << " " << c.now;
    }
    EXPECT_EQ(SetSocketTicksHook(former), FakeTicks);
}

}  // namespace
}  // namespace plexa
