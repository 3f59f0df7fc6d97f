#include "design/simlink.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "design/simlink_strings.h"
#include "design/tests/fake_simora.h"
#include "design/tests/simlink_testing.h"
#include "tests/support/socket_clock.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/socket.h"
#include "platform/app_platform.h"

namespace plexa {
namespace {

using test::FakeSimora;
using test::PeerEntry;
using test::PeerFrame;
using test::PeerFrameBytes;
using test::PeerStringList;

// What the layers above would do with the link, as the tests see it.
struct Seen {
    std::vector<uint32_t> dispatched;
    int setupUpdates = 0;
    int refreshes = 0;
    int stops = 0;
    int losses = 0;
    bool linkOn = false;
    int linkOnChanges = 0;
    bool differentComputer = false;
    std::vector<OSStatus> errors;
    std::vector<std::pair<SpiceFrameProblem, uint32_t>> problems;
    std::string waitTitle, waitText;
    int windowsOpen = 0;
    bool cancelInWindow = false;
};

Seen& Hooks() {
    static Seen seen;
    return seen;
}

SpiceLinkHooks TestHooks() {
    SpiceLinkHooks hooks;
    hooks.projectId = [](const ProjectRecord*) { return uint32_t(0x5350); };
    hooks.dispatch = [](SpiceMessageRecord* m) { Hooks().dispatched.push_back(m->type); };
    hooks.updateSetupStatus = [] { ++Hooks().setupUpdates; };
    hooks.refreshMarkedSheets = [] { ++Hooks().refreshes; };
    hooks.linkStopped = [] { ++Hooks().stops; };
    hooks.linkLost = [] { ++Hooks().losses; };
    hooks.linkOnPreference = [] { return Hooks().linkOn; };
    hooks.setLinkOnPreference = [](bool on) {
        Hooks().linkOn = on;
        ++Hooks().linkOnChanges;
    };
    hooks.differentComputer = [] { return Hooks().differentComputer; };
    hooks.errorReport = [](OSStatus code) { Hooks().errors.push_back(code); };
    hooks.openWaitWindow = [](const char* title, const char* text) -> void* {
        Hooks().waitTitle = title;
        Hooks().waitText = text;
        ++Hooks().windowsOpen;
        return &Hooks();
    };
    hooks.waitWindowIdle = [](void*) { return Hooks().cancelInWindow; };
    hooks.closeWaitWindow = [](void*) { --Hooks().windowsOpen; };
    return hooks;
}

uint16_t BoundPort(int fd, uint32_t* address = nullptr) {
    sockaddr_in where{};
    socklen_t length = sizeof where;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) != 0) return 0;
    if (address) *address = ntohl(where.sin_addr.s_addr);
    return ntohs(where.sin_port);
}

// Polls the link until the condition holds.
bool PollUntil(const std::function<bool()>& done) { return test::StepSpiceLinkUntil(PollSpiceMessages, done); }

// Waits (at most five seconds) until the link's socket has seen the peer close, without reading.
bool SeesPeerClose() {
    pollfd p{gSpiceSocket ? gSpiceSocket->descriptor : -1, POLLIN | POLLRDHUP, 0};
    return poll(&p, 1, 5000) == 1 && (p.revents & (POLLRDHUP | POLLHUP)) != 0;
}

// Waits (at most five seconds) until bytes for the link's socket have come, without reading.
bool HasBytes() {
    pollfd p{gSpiceSocket ? gSpiceSocket->descriptor : -1, POLLIN, 0};
    return poll(&p, 1, 5000) == 1 && (p.revents & POLLIN) != 0;
}

uint32_t Queued() { return gSpiceInputQueue ? gSpiceInputQueue->count : 0; }

class SpiceLink : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::StartSpiceTestApplication();
    }

    void SetUp() override {
        Hooks() = Seen{};
        SetSpiceLinkHooks(TestHooks());
        formerProblems_ = SetSpiceFrameProblemHook(
            [](SpiceFrameProblem p, uint32_t d) { Hooks().problems.push_back({p, d}); });
        // A port where nobody listens: bound, never listening, so connecting is refused.
        refusing_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(bind(refusing_, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
        refusingPort_ = BoundPort(refusing_);
    }

    void TearDown() override {
        DisableSpiceLink();
        EXPECT_EQ(gSpiceSocket, nullptr);
        EXPECT_EQ(gSpiceSocketTimer, nullptr);
        EXPECT_EQ(gSpiceInputQueue, nullptr);
        EXPECT_EQ(gServerMode, 0);
        EXPECT_LE(gSpiceSocketId, 0);
        SetSpiceLinkHooks(SpiceLinkHooks{});
        SetSpiceFrameProblemHook(formerProblems_);
        close(refusing_);
        gSpiceLinkSettings = {0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
    }

    // Starts the link as a client of the peer.
    void ConnectTo(FakeSimora& peer) { test::ConnectSpiceLinkTo(peer); }

    // Starts the link with nobody to connect to; it listens at a port the system chooses.
    uint16_t ListenAlone(bool differentComputer = false, uint32_t address = 0) {
        const SpiceCommSettings settings{address, 0, refusingPort_};
        EXPECT_EQ(EnableSpiceLink(&settings, differentComputer, kSpiceLocalConnectWait), 0);
        if (!gSpiceSocket) return 0;
        EXPECT_EQ(gSpiceSocket->state, kSocketStateListening);
        return BoundPort(gSpiceSocket->descriptor);
    }

    SpiceMessageRecord* Signals(const char (&type)[5], std::initializer_list<const char*> names,
                                uint32_t argument1 = 0) {
        Handle list = CreateSpiceStringList(0);
        for (const char* name : names) EXPECT_EQ(AddSpiceStringListEntry(list, name, nullptr), 0);
        SpiceMessageRecord* m = BuildSpiceMessage(FourCC(type), nullptr, argument1, 0, 0, 0, false,
                                                  *list, SizeOfHandle(list));
        DestroySpiceStringList(list);
        return m;
    }

    int refusing_ = -1;
    uint16_t refusingPort_ = 0;
    SpiceFrameProblemHook formerProblems_ = nullptr;
};

TEST_F(SpiceLink, ConnectsAsAClientAndAsksForAllAnalyses) {
    FakeSimora peer;
    const uint32_t numberBefore = gNextSpiceMsgNumber;
    const int32_t idBefore = gSpiceSocketId;
    ConnectTo(peer);
    EXPECT_EQ(gServerMode, 0);
    EXPECT_GT(gSpiceSocketId, 0);
    EXPECT_EQ(gSpiceSocketId, (idBefore < 0 ? -idBefore : idBefore) + 1);
    EXPECT_NE(gSpiceSocketTimer, nullptr);
    // The first frame on a new connection asks for all analyses, with an empty body.
    const std::string expected = PeerFrameBytes(FourCC("AllA"), numberBefore + 1, 0, {0, 0, 0, 0}, "");
    EXPECT_EQ(peer.received(), expected);
    uint8_t connected = 0, server = 1;
    EXPECT_EQ(GetSpiceLinkStatus(false, &connected, &server), 0);
    EXPECT_EQ(connected, 1);
    EXPECT_EQ(server, 0);
    PollSpiceMessages();
    EXPECT_TRUE(Hooks().linkOn);
}

TEST_F(SpiceLink, FallsBackToListeningOnTheLoopbackInterface) {
    const uint16_t port = ListenAlone();
    ASSERT_NE(port, 0);
    uint32_t address = 0;
    BoundPort(gSpiceSocket->descriptor, &address);
    EXPECT_EQ(address, 0x7F000001u);
    EXPECT_EQ(gServerMode, 1);
    EXPECT_NE(gSpiceSocketTimer, nullptr);
    uint8_t connected = 1, server = 0;
    EXPECT_EQ(GetSpiceLinkStatus(false, &connected, &server), 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(server, 1);
    EXPECT_TRUE(Hooks().errors.empty());

    // The simulator connects; polling accepts it and reads what it sends.
    FakeSimora peer;
    peer.SetCloseOnGoodbye(true);
    ASSERT_TRUE(peer.Connect(port));
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("AddA"), 1, 7, {3, 0, 9, 0},
                                         PeerStringList(4, {{"op", 1}}))));
    ASSERT_TRUE(PollUntil([] { return Queued() == 1; }));
    EXPECT_EQ(gSpiceSocket->state, kSocketStateConnected);
    EXPECT_TRUE(Hooks().linkOn);
    // Stopping says goodbye to a simulator that connected to the editor.
    const uint32_t start = GetSocketTicks();
    DisableSpiceLink();
    EXPECT_LT(GetSocketTicks() - start, 90u);  // it closed at once
    ASSERT_TRUE(peer.WaitFrames(1));
    EXPECT_EQ(peer.frames()[0].type, FourCC("ECon"));
    EXPECT_EQ(Hooks().stops, 1);
    EXPECT_EQ(gSpiceSocket, nullptr);
    EXPECT_EQ(gSpiceInputQueue, nullptr);
    PollSpiceMessages();
    EXPECT_FALSE(Hooks().linkOn);
}

TEST_F(SpiceLink, ADifferentComputerIsReachedAtItsAddressAndMayConnectFromAnywhere) {
    // Nobody at the given address: the editor listens on every interface.
    ListenAlone(true, 0x7F000001);
    uint32_t address = 1;
    BoundPort(gSpiceSocket->descriptor, &address);
    EXPECT_EQ(address, 0u);
    DisableSpiceLink();
    // The simulator at the given address is connected to.
    FakeSimora peer;
    ASSERT_TRUE(peer.Listen());
    const SpiceCommSettings settings{0x7F000001, 0, peer.port()};
    ASSERT_EQ(EnableSpiceLink(&settings, true, kSpiceRemoteConnectWait), 0);
    EXPECT_EQ(gSpiceSocket->state, kSocketStateConnected);
    EXPECT_TRUE(peer.WaitConnections(1));
}

TEST_F(SpiceLink, AWaitOfZeroGoesStraightToListening) {
    FakeSimora peer;
    ASSERT_TRUE(peer.Listen());
    const SpiceCommSettings settings{0, 0, peer.port()};
    ASSERT_EQ(EnableSpiceLink(&settings, false, 0), 0);
    EXPECT_EQ(gSpiceSocket->state, kSocketStateListening);
    ASSERT_TRUE(peer.WaitQuiet());
    EXPECT_EQ(peer.connections(), 0);
}

TEST_F(SpiceLink, AListenPortInUseFailsTheStart) {
    // Another program listens on the port already.
    const int other = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    ASSERT_EQ(listen(other, 1), 0);
    const SpiceCommSettings settings{0, BoundPort(other), refusingPort_};
    EXPECT_EQ(EnableSpiceLink(&settings, false, kSpiceLocalConnectWait), status::kSocketAddressInUse);
    EXPECT_EQ(gSpiceSocket, nullptr);
    EXPECT_EQ(gSpiceSocketTimer, nullptr);
    EXPECT_EQ(gServerMode, 0);
    // A restart that leaves no socket hides the simulator's tools.
    RestartSpiceLink(0);
    EXPECT_EQ(gSpiceSocket, nullptr);
    EXPECT_EQ(Hooks().losses, 1);
    close(other);
}

TEST_F(SpiceLink, FramesCrossTheSocketBothWays) {
    FakeSimora peer;
    ConnectTo(peer);
    SpiceMessageRecord* request = Signals("NVal", {"v(out)", "v(in)"}, 5);
    const uint32_t number = TransmitSpiceMessage(request, true);
    EXPECT_EQ(number, gNextSpiceMsgNumber);
    EXPECT_EQ(request->sender, 1);
    ASSERT_TRUE(peer.WaitFrames(2));
    const std::string allA = PeerFrameBytes(FourCC("AllA"), number - 1, 0, {0, 0, 0, 0}, "");
    EXPECT_EQ(peer.received(),
              allA + PeerFrameBytes(FourCC("NVal"), number, 0, {5, 0, 0, 0},
                                    PeerStringList(0, {{"v(out)"}, {"v(in)"}})));
    // Without a new number the message keeps its own.
    request->number = 77;
    EXPECT_EQ(TransmitSpiceMessage(request, false), 77u);
    ASSERT_TRUE(peer.WaitFrames(3));
    EXPECT_EQ(peer.frames()[2].number, 77u);
    DestroySpiceMessage(request);

    // A raw message carries its data behind the raw prefix; the project's id comes from its hook.
    const char path[] = "/tmp/x.cir";
    SpiceMessageRecord* open =
        BuildSpiceMessage(FourCC("Open"), reinterpret_cast<const ProjectRecord*>(this), 0, 0, 0, 0,
                          true, path, sizeof path);
    ASSERT_NE(TransmitSpiceMessage(open, true), 0u);
    ASSERT_TRUE(peer.WaitFrames(4));
    const PeerFrame sent = peer.frames()[3];
    EXPECT_EQ(sent.raw, 1);
    EXPECT_EQ(sent.projectId, 0x5350u);
    EXPECT_EQ(sent.body, std::string("\x55\xAA\xAA\x55\x00\x00\x00\x0B", 8) + std::string(path, sizeof path));
    DestroySpiceMessage(open);

    // The other way: the editor reads the simulator's frame into its own order.
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("AddA"), 12, 0x1234, {0x11, 0, 0x22, 0},
                                         PeerStringList(4, {{"tran", 100}, {"graph", 0x01020304}}))));
    int32_t ok = 0;
    SpiceMessageRecord* reply = WaitReceiveSpiceMessage(FourCC("AddA"), 0, 300, "", &ok);
    ASSERT_NE(reply, nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(reply->number, 12u);
    EXPECT_EQ(reply->projectId, 0x1234u);
    EXPECT_EQ(reply->arguments[2], 0x22u);
    char text[kSpiceStringTextSize];
    uint32_t id = 0;
    ASSERT_EQ(GetSpiceStringListEntry(reply->body, 1, text, &id), 0);
    EXPECT_STREQ(text, "graph");
    EXPECT_EQ(id, 0x01020304u);
    DestroySpiceMessage(reply);
    EXPECT_TRUE(peer.wellFormed());
}

TEST_F(SpiceLink, ALongBodyGetsALongerWait) {
    EXPECT_EQ(SpiceBodyWaitSeconds(10000), 3);
    EXPECT_EQ(SpiceBodyWaitSeconds(8), 1);
    EXPECT_EQ(SpiceBodyWaitSeconds(4096), 2);
    FakeSimora peer;
    ConnectTo(peer);
    Handle list = CreateSpiceStringList(0);
    const std::string name(249, 'n');
    for (int i = 0; i < 40; ++i) ASSERT_EQ(AddSpiceStringListEntry(list, name.c_str(), nullptr), 0);
    ASSERT_EQ(SizeOfHandle(list), 10008u);
    SpiceMessageRecord* m =
        BuildSpiceMessage(FourCC("DPar"), nullptr, 0, 0, 0, 0, false, *list, SizeOfHandle(list));
    ASSERT_NE(TransmitSpiceMessage(m, true), 0u);
    ASSERT_TRUE(peer.WaitFrames(2));
    EXPECT_EQ(peer.frames()[1].entries.size(), 40u);
    EXPECT_EQ(peer.frames()[1].body.size(), 10008u);
    DestroySpiceMessage(m);
    DestroySpiceStringList(list);
}

TEST_F(SpiceLink, QueuedMessagesWaitInArrivalOrder) {
    FakeSimora peer;
    ConnectTo(peer);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("NVal"), 5, 0, {0, 0, 0, 0}, "") +
                          PeerFrameBytes(FourCC("DPar"), 6, 0, {0, 0, 0, 0}, "") +
                          PeerFrameBytes(FourCC("NVal"), 7, 0, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(PollUntil([] { return Queued() == 3; }));
    // A wait for number 0 takes the oldest of the type; a number picks its own.
    SpiceMessageRecord* m = WaitReceiveSpiceMessage(FourCC("NVal"), 7, 60, "", nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->number, 7u);
    DestroySpiceMessage(m);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("NVal"), 8, 0, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(PollUntil([] { return Queued() == 3; }));
    m = WaitReceiveSpiceMessage(FourCC("NVal"), 0, 60, "", nullptr);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->number, 5u);
    DestroySpiceMessage(m);
    std::vector<uint32_t> rest;
    while (SpiceMessageRecord* next = GetNextSpiceMessage()) {
        rest.push_back(next->number);
        DestroySpiceMessage(next);
    }
    EXPECT_EQ(rest, (std::vector<uint32_t>{6, 8}));
    EXPECT_EQ(GetNextSpiceMessage(), nullptr);
}

TEST_F(SpiceLink, AWaitEndsAtItsTimeLimit) {
    FakeSimora peer;
    ConnectTo(peer);
    const uint32_t start = GetSocketTicks();
    int32_t ok = 0;
    EXPECT_EQ(WaitReceiveSpiceMessage(FourCC("NVal"), 0, 12, "Retrieving node value...", &ok), nullptr);
    EXPECT_GE(GetSocketTicks() - start, 12u);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(gInWaitSpiceMessage, 0);
    EXPECT_EQ(Hooks().windowsOpen, 0);  // too short for the wait window
}

TEST_F(SpiceLink, TheUserCancelsALongWaitInTheWaitWindow) {
    FakeSimora peer;
    ConnectTo(peer);
    Hooks().cancelInWindow = true;
    int32_t ok = 1;
    test::SteppingSocketClock clock;
    const uint32_t start = GetSocketTicks();
    EXPECT_EQ(WaitReceiveSpiceMessage(FourCC("Plst"), 0, 0, "Requesting device parameters...", &ok),
              nullptr);
    EXPECT_GE(GetSocketTicks() - start, 89u);
    EXPECT_EQ(ok, 0);
    EXPECT_EQ(Hooks().waitTitle, "Querying Simora");
    EXPECT_EQ(Hooks().waitText, "Requesting device parameters...");
    EXPECT_EQ(Hooks().windowsOpen, 0);  // closed again
}

TEST_F(SpiceLink, APeerThatClosesResetsTheLinkAndEndsAWait) {
    FakeSimora peer;
    ConnectTo(peer);
    const int32_t id = gSpiceSocketId;
    peer.CloseConnection();
    int32_t ok = 0;
    // No time limit: the wait ends because the link was reset (and connected again).
    EXPECT_EQ(WaitReceiveSpiceMessage(FourCC("NVal"), 0, 0, "", &ok), nullptr);
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(gSpiceSocketId, id + 1);
    EXPECT_EQ(Hooks().stops, 1);
    EXPECT_TRUE(Hooks().errors.empty());
    ASSERT_TRUE(peer.WaitConnections(2));
    ASSERT_TRUE(peer.WaitFrames(2));  // "AllA" again on the new connection
    EXPECT_EQ(peer.frames()[1].type, FourCC("AllA"));
}

TEST_F(SpiceLink, ASendAfterThePeerClosedIsRetriedOnANewConnection) {
    FakeSimora peer;
    ConnectTo(peer);
    peer.CloseConnection();
    ASSERT_TRUE(SeesPeerClose());
    SpiceMessageRecord* m = Signals("NVal", {"v(1)"});
    const uint32_t number = TransmitSpiceMessage(m, true);
    ASSERT_NE(number, 0u);
    ASSERT_TRUE(peer.WaitFrames(3));
    const std::vector<PeerFrame> frames = peer.frames();
    EXPECT_EQ(peer.connections(), 2);
    EXPECT_EQ(frames[1].type, FourCC("AllA"));
    EXPECT_EQ(frames[2].type, FourCC("NVal"));
    EXPECT_EQ(frames[2].number, number);
    DestroySpiceMessage(m);
}

TEST_F(SpiceLink, ASendIsGivenUpWhenNoNewConnectionCanBeMade) {
    FakeSimora peer;
    ConnectTo(peer);
    ASSERT_TRUE(peer.StopListening());
    peer.CloseConnection();
    ASSERT_TRUE(SeesPeerClose());
    SpiceMessageRecord* m = Signals("NVal", {"v(1)"});
    EXPECT_EQ(TransmitSpiceMessage(m, true), 0u);
    // The link is left waiting for the simulator to connect.
    ASSERT_NE(gSpiceSocket, nullptr);
    EXPECT_EQ(gSpiceSocket->state, kSocketStateListening);
    EXPECT_EQ(gServerMode, 1);
    // Nothing is sent on a link that is not connected either.
    EXPECT_EQ(TransmitSpiceMessage(m, true), 0u);
    DestroySpiceMessage(m);
}

TEST_F(SpiceLink, ASendThatKeepsFailingIsGivenUpAfterTwoRetries) {
    FakeSimora peer;
    ConnectTo(peer);
    // Every connection breaks in the middle of a body much larger than what the sockets hold.
    peer.SetResetAfter(100, 100);
    std::string data(12u << 20, 'd');
    SpiceMessageRecord* m =
        BuildSpiceMessage(FourCC("Open"), nullptr, 0, 0, 0, 0, true, data.data(), uint32_t(data.size()));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(TransmitSpiceMessage(m, true), 0u);
    // The first connection and two new ones.
    EXPECT_EQ(peer.connections(), 3);
    // The body the caller gave is as it was.
    EXPECT_EQ(SizeOfHandle(m->body), data.size() + 8);
    EXPECT_EQ(std::string(*m->body + 8, 16), data.substr(0, 16));
    DestroySpiceMessage(m);
}

TEST_F(SpiceLink, WhatIsNotAFrameIsSurvivedAndReported) {
    FakeSimora peer;
    ConnectTo(peer);
    std::string badEnd = PeerFrameBytes(FourCC("NVal"), 1, 0, {0, 0, 0, 0}, "");
    badEnd.back() = 0;
    std::string longHeader = PeerFrameBytes(FourCC("NVal"), 2, 0, {0, 0, 0, 0}, "");
    longHeader[3] = char(0xFF);
    std::string huge = PeerFrameBytes(FourCC("NVal"), 3, 0, {0, 0, 0, 0}, "");
    huge.replace(40, 4, std::string("\xFF\xFF\xFF\xF0", 4));
    ASSERT_TRUE(peer.Send("junk" + badEnd + longHeader + huge +
                          PeerFrameBytes(FourCC("DPar"), 4, 0, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(PollUntil([] { return Queued() == 1; }));
    SpiceMessageRecord* m = GetNextSpiceMessage();
    EXPECT_EQ(m->number, 4u);
    DestroySpiceMessage(m);
    std::vector<SpiceFrameProblem> kinds;
    for (const auto& p : Hooks().problems) kinds.push_back(p.first);
    EXPECT_EQ(kinds, (std::vector<SpiceFrameProblem>{
                         SpiceFrameProblem::kSkippedBytes, SpiceFrameProblem::kBadEndMarker,
                         SpiceFrameProblem::kSkippedBytes, SpiceFrameProblem::kBadHeaderLength,
                         SpiceFrameProblem::kSkippedBytes, SpiceFrameProblem::kBodyTooLong,
                         SpiceFrameProblem::kSkippedBytes}));
    // The link stays up; none of it is an error for the user.
    EXPECT_EQ(gSpiceSocket->state, kSocketStateConnected);
    EXPECT_TRUE(Hooks().errors.empty());
}

TEST_F(SpiceLink, AFrameThatStopsComingIsLostQuietly) {
    FakeSimora peer;
    ConnectTo(peer);
    const std::string frame = PeerFrameBytes(FourCC("NVal"), 1, 0, {0, 0, 0, 0}, "");
    ASSERT_TRUE(peer.Send(frame.substr(0, 20)));
    ASSERT_TRUE(HasBytes());
    {
        test::SteppingSocketClock clock;
        PollSpiceMessages();  // waits a second for the rest, then gives the frame up
    }
    EXPECT_EQ(Queued(), 0u);
    EXPECT_TRUE(Hooks().errors.empty());
    ASSERT_FALSE(Hooks().problems.empty());
    EXPECT_EQ(Hooks().problems.back().first, SpiceFrameProblem::kIncomplete);
    EXPECT_EQ(gSpiceSocket->state, kSocketStateConnected);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("DPar"), 2, 0, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(PollUntil([] { return Queued() == 1; }));
}

TEST_F(SpiceLink, TheTimerDispatchesOneMessagePerTick) {
    FakeSimora peer;
    ConnectTo(peer);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("AddA"), 1, 0, {0, 0, 0, 0}, "") +
                          PeerFrameBytes(FourCC("DelA"), 2, 0, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(PollUntil([] { return Queued() == 2; }));
    lastSpiceRefresh = GetSocketTicks() - kSpiceRefreshTicks;
    ServiceSpiceSocketTimer(gSpiceSocketTimer, 0);
    EXPECT_EQ(Hooks().dispatched, (std::vector<uint32_t>{FourCC("AddA")}));
    EXPECT_EQ(Hooks().setupUpdates, 1);
    EXPECT_EQ(Hooks().refreshes, 1);
    // The refresh waits for its interval; a wait in progress holds the timer back.
    gInWaitSpiceMessage = 1;
    ServiceSpiceSocketTimer(gSpiceSocketTimer, 0);
    gInWaitSpiceMessage = 0;
    EXPECT_EQ(Hooks().dispatched.size(), 1u);
    ServiceSpiceSocketTimer(gSpiceSocketTimer, 0);
    EXPECT_EQ(Hooks().dispatched, (std::vector<uint32_t>{FourCC("AddA"), FourCC("DelA")}));
    EXPECT_EQ(Hooks().refreshes, 1);
    // The installed timer runs by itself in the run loop, also while inactive and in modal loops.
    ASSERT_EQ(test::TestTimers().count(reinterpret_cast<uintptr_t>(gSpiceSocketTimer)), 1u);
    EXPECT_EQ(test::TestTimers()[reinterpret_cast<uintptr_t>(gSpiceSocketTimer)].flags,
              kTimerWhenInactive | kTimerInModal);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("Cmpl"), 3, 0, {0, 0, 0, 0}, "")));
    const uint32_t start = GetSocketTicks();
    while (Hooks().dispatched.size() < 3 && GetSocketTicks() - start < 300) WaitTicks(3);
    EXPECT_EQ(Hooks().dispatched.back(), FourCC("Cmpl"));
}

TEST_F(SpiceLink, StatusAndResetWithoutALink) {
    uint8_t connected = 1, server = 1;
    EXPECT_EQ(GetSpiceLinkStatus(true, &connected, &server), 0);
    EXPECT_EQ(connected, 0);
    EXPECT_EQ(server, 0);
    EXPECT_TRUE(gSocketsInUse);
    EXPECT_EQ(ResetSpiceLink(1), status::kSocketNone);
    SpiceMessageRecord* m = Signals("NVal", {"x"});
    EXPECT_EQ(TransmitSpiceMessage(m, true), 0u);
    DestroySpiceMessage(m);
    Hooks().linkOn = true;
    PollSpiceMessages();
    EXPECT_FALSE(Hooks().linkOn);
    EXPECT_EQ(WaitReceiveSpiceMessage(FourCC("NVal"), 0, 3, "", nullptr), nullptr);
    // A raw message too large to carry is not made.
    EXPECT_EQ(BuildSpiceMessage(FourCC("Open"), nullptr, 0, 0, 0, 0, true, "x",
                                kSpiceRawMaxLength + 1),
              nullptr);
}

}  // namespace
}  // namespace plexa
