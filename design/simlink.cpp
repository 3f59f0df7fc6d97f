// The simulator link's transport: starting and stopping the link, sending with retries, polling
// received frames into the queue, waiting for replies, and the link's timer.
#include "design/simlink.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/bytes.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/socket.h"
#include "foundation/strings.h"
#include "foundation/timers.h"

namespace plexa {

SpiceLinkState gSpiceLink;
SpiceCommSettings& gSpiceLinkSettings = gSpiceLink.settings;
SocketRecord*& gSpiceSocket = gSpiceLink.socket;
int32_t& gSpiceSocketId = gSpiceLink.socketId;
uint8_t& gServerMode = gSpiceLink.serverMode;
uint8_t& gInAcceptOrConnect = gSpiceLink.inAcceptOrConnect;
uint8_t& gInWaitSpiceMessage = gSpiceLink.inWaitMessage;
LinkListHeader*& gSpiceInputQueue = gSpiceLink.inputQueue;
sVXTimerRecord*& gSpiceSocketTimer = gSpiceLink.socketTimer;
uint32_t& gNextSpiceMsgNumber = gSpiceLink.nextMessageNumber;
uint32_t& lastSpiceRefresh = gSpiceLink.lastRefresh;

namespace {

constexpr const char* kLoopbackAddress = "127.0.0.1";
constexpr const char* kWaitWindowTitle = "Querying Simora";
// Sleeps between polls, and when the wait window shows, in ticks.
constexpr uint32_t kIdleTicks = 3;
constexpr uint32_t kWaitWindowDelay = 89;
// How long a goodbye waits for the simulator to close, in ticks.
constexpr uint32_t kGoodbyeTicks = 90;
constexpr int32_t kGoodbyePiece = 64;
constexpr int32_t kPieceWaitSeconds = 1;
// Sends after a closed connection are tried again this often.
constexpr int32_t kSendRetries = 2;
// A frame needs at least this many bytes before the reader looks at them.
constexpr int32_t kFrameStartBytes = 5;

SpiceLinkHooks gHooks;
int32_t& gStoppingLink = gSpiceLink.stopping;
bool& gSendingAllAnalyses = gSpiceLink.sendingAllAnalyses;

void ReportError(OSStatus code) {
    if (gHooks.errorReport) gHooks.errorReport(code);
    else std::fprintf(stderr, "simulator link: error %d\n", int(code));
}

void SleepTicks(uint32_t ticks) { WaitTicks(ticks); }

OSStatus WaitSpiceStartupHook(SocketRecord*, uint32_t) {
    SleepTicks(kIdleTicks);
    return status::kNoErr;
}

uint8_t LinkState() { return gSpiceSocket ? gSpiceSocket->state : kSocketStateNone; }
bool Connected() { return LinkState() == kSocketStateConnected; }

// The preferences' link-on bit follows the link, written only when it changes.
void NoteLinkOn(bool on) {
    if (!gHooks.linkOnPreference || !gHooks.setLinkOnPreference) return;
    if (gHooks.linkOnPreference() != on) gHooks.setLinkOnPreference(on);
}

void UpdateTimer() {
    if (gSpiceSocket && !gSpiceSocketTimer) {
        gSpiceSocketTimer = StartTimer(kSpiceTimerInterval, kTimerWhenInactive | kTimerInModal,
                                       ServiceSpiceSocketTimer, 0);
    } else if (!gSpiceSocket && gSpiceSocketTimer) {
        KillTimer(gSpiceSocketTimer);
        gSpiceSocketTimer = nullptr;
    }
}

// The link's socket as a source of frame bytes.
OSStatus SocketCount(void* context, int32_t* count) {
    return SocketCountPendingData(static_cast<SocketRecord*>(context), count);
}
OSStatus SocketTake(void* context, void* buffer, int32_t* count) {
    return SocketReceive(static_cast<SocketRecord*>(context), buffer, count);
}
OSStatus SocketWaitTake(void* context, void* buffer, int32_t* count, int32_t timeoutSeconds) {
    return SocketWaitReceive(static_cast<SocketRecord*>(context), buffer, count, timeoutSeconds);
}

// Listens on the listen port: on the loopback interface, or on every interface when the
// simulator runs on a different computer. A socket in use is made fresh first.
OSStatus ResetServerSocket(bool differentComputer) {
    const char* address = differentComputer ? nullptr : kLoopbackAddress;
    OSStatus err = status::kNoErr;
    if (gSpiceSocket->state == kSocketStateNone) err = SocketReset(gSpiceSocket, true);
    if (err == status::kNoErr && gSpiceSocket->state == kSocketStateCreated) {
        err = SocketListen(gSpiceSocket, address, gSpiceLinkSettings.listenPort, 0);
        if (err == status::kSocketAddressInUse)
            err = SocketListen(gSpiceSocket, address, gSpiceLinkSettings.listenPort,
                               kSocketReuseAddress);
    }
    if (err == status::kNoErr && gSpiceSocket->state != kSocketStateListening &&
        gSpiceSocket->state != kSocketStateConnected)
        err = status::kSocketWrongState;
    return err;
}

// Reads what has come before anything goes out. kSocketSendClosed when the connection turned out
// closed (the peer went away, or reading reset the link to nothing connected).
OSStatus TakeInPendingFrames() {
    int32_t last = -1;
    for (;;) {
        int32_t pending = 0;
        const OSStatus err = SocketCountPendingData(gSpiceSocket, &pending);
        if (err == status::kSocketReceiveClosed) return status::kSocketSendClosed;
        // Fewer bytes than a frame needs stay for later; so do bytes that a poll did not take.
        if (err != status::kNoErr || pending < kFrameStartBytes || pending == last)
            return status::kNoErr;
        last = pending;
        PollSpiceMessages();
        if (!Connected()) return status::kSocketSendClosed;
    }
}

// A socket that is no longer connected cannot send either: it is the retry code.
OSStatus SendPiece(const char* bytes, uint32_t length, int32_t timeoutSeconds) {
    int32_t count = int32_t(length);
    OSStatus err = SocketSend(gSpiceSocket, bytes, &count, timeoutSeconds);
    if (err == status::kSocketWrongState || err == status::kSocketNone)
        err = status::kSocketSendClosed;
    return err;
}

// One attempt at sending a message on the current connection.
OSStatus SendOnce(SpiceMessageRecord* message, bool newNumber, uint32_t* number) {
    OSStatus err = TakeInPendingFrames();
    if (err != status::kNoErr) return err;
    message->sender = 1;
    if (newNumber) message->number = ++gNextSpiceMsgNumber;
    std::string frame;
    err = EncodeSpiceFrame(message, &frame);
    if (err != status::kNoErr) return err;
    const uint32_t bodyLength =
        uint32_t(frame.size()) - 2 * kSpiceMarkerSize - kSpiceHeaderSize;
    const char* p = frame.data();
    err = SendPiece(p, kSpiceMarkerSize, kPieceWaitSeconds);
    p += kSpiceMarkerSize;
    if (err == status::kNoErr) err = SendPiece(p, kSpiceHeaderSize, kPieceWaitSeconds);
    p += kSpiceHeaderSize;
    if (err == status::kNoErr && bodyLength)
        err = SendPiece(p, bodyLength, SpiceBodyWaitSeconds(bodyLength));
    p += bodyLength;
    if (err == status::kNoErr) err = SendPiece(p, kSpiceMarkerSize, kPieceWaitSeconds);
    if (err == status::kNoErr) *number = message->number;
    return err;
}

SpiceMessageRecord* TakeQueued(FourCharCode type, uint32_t number) {
    for (void* item = LLFirst(gSpiceInputQueue); item; item = LLGetNext(gSpiceInputQueue, item)) {
        auto* message = static_cast<SpiceMessageRecord*>(item);
        if (message->type == type && (number == 0 || message->number == number)) {
            LLRemoveOrFree(gSpiceInputQueue, message, nullptr, false);
            message->link = nullptr;
            return message;
        }
    }
    return nullptr;
}

}  // namespace

void SetSpiceLinkHooks(const SpiceLinkHooks& hooks) { gHooks = hooks; }
const SpiceLinkHooks& GetSpiceLinkHooks() { return gHooks; }

// ---- Messages ----

SpiceMessageRecord* BuildSpiceMessage(FourCharCode type, const ProjectRecord* project,
                                      uint32_t argument1, uint32_t argument2, uint32_t argument3,
                                      uint32_t argument4, bool raw, const void* data,
                                      uint32_t length) {
    if (raw && data && length > kSpiceRawMaxLength) return nullptr;
    SpiceMessageRecord* message = AllocateSpiceMessage();
    if (!message) return nullptr;
    message->type = type;
    message->projectId = project && gHooks.projectId ? gHooks.projectId(project) : 0;
    message->arguments[0] = argument1;
    message->arguments[1] = argument2;
    message->arguments[2] = argument3;
    message->arguments[3] = argument4;
    message->raw = raw ? 1 : 0;
    if (data && length > 0) {
        if (raw) {
            message->body = AllocHandle(nullptr, kSpiceRawPrefixSize + length);
            if (message->body) {
                auto* bytes = reinterpret_cast<uint8_t*>(*message->body);
                std::memcpy(bytes, kSpiceRawMarker, kSpiceMarkerSize);
                PutBE32(bytes + kSpiceMarkerSize, length);
                std::memcpy(bytes + kSpiceRawPrefixSize, data, length);
            }
        } else {
            message->body = AllocHandleWithData(nullptr, data, length);
        }
        if (!message->body) {
            DestroySpiceMessage(message);
            return nullptr;
        }
    }
    return message;
}

uint32_t TransmitSpiceMessage(SpiceMessageRecord* message, bool newNumber) {
    if (!gSpiceSocket || !message) return 0;
    OSStatus err = Connected() ? status::kNoErr : status::kSocketSendClosed;
    for (int32_t retries = 0;;) {
        uint32_t number = 0;
        if (err == status::kNoErr) err = SendOnce(message, newNumber, &number);
        if (err == status::kNoErr) return number;
        if (err != status::kSocketSendClosed) return 0;
        // A goodbye to a simulator that has gone needs no new connection.
        if (++retries > kSendRetries || gStoppingLink) return 0;
        if (ResetSpiceLink(1) != status::kNoErr || !Connected()) return 0;
        err = status::kNoErr;
    }
}

void SendUpdateAllAnalysesMsg() {
    if (gSendingAllAnalyses) return;
    gSendingAllAnalyses = true;
    if (SpiceMessageRecord* message =
            BuildSpiceMessage(kSpiceUpdateAllAnalyses, nullptr, 0, 0, 0, 0, false, nullptr, 0)) {
        TransmitSpiceMessage(message, true);
        DestroySpiceMessage(message);
    }
    gSendingAllAnalyses = false;
}

SpiceMessageRecord* WaitReceiveSpiceMessage(FourCharCode type, uint32_t number,
                                            uint32_t timeoutTicks, const char* text, int32_t* ok) {
    const uint8_t wasWaiting = gInWaitSpiceMessage;
    gInWaitSpiceMessage = 1;
    const int32_t socketId = gSpiceSocketId;
    const uint32_t start = GetSocketTicks();
    void* window = nullptr;
    bool windowTried = false;
    bool cancelled = false;
    SpiceMessageRecord* found = nullptr;
    for (;;) {
        PollSpiceMessages();
        found = TakeQueued(type, number);
        if (found || gSpiceSocketId != socketId) break;
        const uint32_t elapsed = GetSocketTicks() - start;
        if (timeoutTicks != 0 && elapsed >= timeoutTicks) break;
        if (!window) {
            if (gHooks.advanceBusyCursor) gHooks.advanceBusyCursor();
            if (!windowTried && elapsed >= kWaitWindowDelay && gHooks.openWaitWindow) {
                windowTried = true;
                window = gHooks.openWaitWindow(kWaitWindowTitle, text ? text : "");
            }
        }
        if (window && gHooks.waitWindowIdle && gHooks.waitWindowIdle(window)) {
            cancelled = true;
            break;
        }
        SleepTicks(kIdleTicks);
    }
    if (window && gHooks.closeWaitWindow) gHooks.closeWaitWindow(window);
    gInWaitSpiceMessage = wasWaiting;
    if (ok) *ok = cancelled ? 0 : 1;
    return found;
}

SpiceMessageRecord* GetNextSpiceMessage() {
    auto* message = static_cast<SpiceMessageRecord*>(LLPop(gSpiceInputQueue, false));
    if (message) message->link = nullptr;
    return message;
}

void PollSpiceMessages() {
    if (!gSpiceSocket) {
        NoteLinkOn(false);
        return;
    }
    OSStatus err = status::kNoErr;
    if (LinkState() < kSocketStateListening) (void)ResetSpiceLink(1);  // it fails only without a socket
    bool read = true;
    if (LinkState() == kSocketStateListening) {
        gInAcceptOrConnect = 1;
        err = SocketAcceptConnection(gSpiceSocket, nullptr, 0);
        gInAcceptOrConnect = 0;
        if (err == status::kSocketNothingYet) {
            err = status::kNoErr;
        } else if (err == status::kSocketTimeout) {
            (void)ResetSpiceLink(0);  // it fails only without a socket
            err = status::kNoErr;
            read = false;
        }
    }
    if (err == status::kNoErr && read && Connected()) {
        const SpiceByteSource source{SocketCount, SocketTake, SocketWaitTake, gSpiceSocket};
        err = ReadSpiceFrames(&source, &gSpiceInputQueue);
        if (err == status::kSocketNothingYet) {
            err = status::kNoErr;
        } else if (err == status::kSocketReceiveClosed) {
            const OSStatus reset = ResetSpiceLink(1);
            err = reset != status::kNoErr ? reset : status::kUserCancelled;
        }
    }
    if (err != status::kNoErr && err != status::kUserCancelled && err != status::kSocketTimeout &&
        err != status::kSocketNothingYet) {
        ReportError(err);
        (void)ResetSpiceLink(1);  // it fails only without a socket
    }
    const uint8_t state = LinkState();
    NoteLinkOn(state == kSocketStateListening || state == kSocketStateConnected);
}

// ---- Starting and stopping ----

OSStatus EnableSpiceLink(const SpiceCommSettings* settings, bool differentComputer, int32_t wait) {
    if (settings) gSpiceLinkSettings = *settings;
    OSStatus err = status::kNoErr;
    if (!gSpiceSocket) {
        gServerMode = 0;
        gSpiceSocketId = gSpiceSocketId == INT32_MIN ? 1 : std::abs(gSpiceSocketId) % INT32_MAX + 1;
        err = CreateSocket(&gSpiceSocket, nullptr);
        if (err == status::kNoErr && wait != 0) {
            char address[kIPAddressTextSize];
            std::strcpy(address, kLoopbackAddress);
            if (differentComputer && gSpiceLinkSettings.address != 0)
                Int32ToIPString(gSpiceLinkSettings.address, address, sizeof address);
            gInAcceptOrConnect = 1;
            SetSocketIdleHook(gSpiceSocket, WaitSpiceStartupHook);
            err = SocketConnectTo(gSpiceSocket, address, gSpiceLinkSettings.connectPort, wait);
            SetSocketIdleHook(gSpiceSocket, nullptr);
            gInAcceptOrConnect = 0;
            if (err == status::kNoErr) SendUpdateAllAnalysesMsg();
            else if (err == status::kSocketTimeout || err == status::kSocketRefused)
                err = status::kNoErr;  // nobody is listening
        }
    }
    if (gSpiceSocket && err == status::kNoErr && !Connected()) {
        gServerMode = 1;
        err = ResetServerSocket(differentComputer);
    }
    if (err != status::kNoErr && gSpiceSocket) {
        gSpiceSocketId = -std::abs(gSpiceSocketId);
        DestroySocket(gSpiceSocket);
        gSpiceSocket = nullptr;
        gServerMode = 0;
    }
    UpdateTimer();
    return err;
}

void DisableSpiceLink() {
    if (gSpiceSocket) {
        ++gStoppingLink;
        uint8_t connected = 0;
        uint8_t server = 0;
        (void)GetSpiceLinkStatus(false, &connected, &server);  // without begin it cannot fail
        if (connected && server) {
            if (SpiceMessageRecord* goodbye = BuildSpiceMessage(kSpiceEndConnection, nullptr, 0, 0,
                                                                0, 0, false, nullptr, 0)) {
                TransmitSpiceMessage(goodbye, true);
                DestroySpiceMessage(goodbye);
            }
            // Whatever the simulator still says is read and dropped until it closes.
            const uint32_t start = GetSocketTicks();
            while (Connected() && GetSocketTicks() - start < kGoodbyeTicks) {
                char piece[kGoodbyePiece];
                int32_t count = kGoodbyePiece;
                const OSStatus err = SocketReceive(gSpiceSocket, piece, &count);
                if (err == status::kSocketNothingYet) SleepTicks(kIdleTicks);
                else if (err != status::kNoErr) break;
            }
        }
        if (gSpiceSocket) {
            gSpiceSocketId = -std::abs(gSpiceSocketId);
            (void)SocketClose(gSpiceSocket, kSocketCloseBoth);  // the socket goes anyway
            DestroySocket(gSpiceSocket);
            gSpiceSocket = nullptr;
        }
        UpdateTimer();
        LLDispose(gSpiceInputQueue, true);
        gSpiceInputQueue = nullptr;
        if (gHooks.linkStopped) gHooks.linkStopped();
        --gStoppingLink;
    }
    gServerMode = 0;
}

OSStatus ResetSpiceLink(int32_t wait) {
    if (!gSpiceSocket) return status::kSocketNone;
    if (gStoppingLink) return status::kNoErr;  // the stop under way ends the link anyway
    DisableSpiceLink();
    RestartSpiceLink(wait);
    return status::kNoErr;
}

void RestartSpiceLink(int32_t wait) {
    const bool differentComputer = gHooks.differentComputer && gHooks.differentComputer();
    (void)EnableSpiceLink(nullptr, differentComputer, wait);  // a link that does not come back is reported lost below
    if (!gSpiceSocket && gHooks.linkLost) gHooks.linkLost();
}

OSStatus GetSpiceLinkStatus(bool begin, uint8_t* connected, uint8_t* server) {
    *connected = 0;
    *server = gServerMode;
    const uint8_t state = LinkState();
    if (state == kSocketStateListening || state == kSocketStateConnected) {
        *connected = state == kSocketStateConnected ? 1 : 0;
    } else if (!gSpiceSocket && begin) {
        return BeginSockets();
    }
    return status::kNoErr;
}

void RescheduleSpiceLinkTimer(uint32_t milliseconds) {
    if (gSpiceSocketTimer) SetTimerNextFires(gSpiceSocketTimer, milliseconds);
}

void ServiceSpiceSocketTimer(sVXTimerRecord*, uint64_t) {
    // The timer may be gone once the link is polled: nothing here uses it afterwards. While a
    // wait or a connect runs (and this tick comes from its sleep) nothing is done: the refresh
    // too sends requests and waits for their replies.
    if (gInWaitSpiceMessage || gInAcceptOrConnect) return;
    PollSpiceMessages();
    if (gHooks.updateSetupStatus) gHooks.updateSetupStatus();
    if (SpiceMessageRecord* message = GetNextSpiceMessage()) {
        if (gHooks.dispatch) gHooks.dispatch(message);
        DestroySpiceMessage(message);
    }
    const uint32_t now = GetSocketTicks();
    if (now - lastSpiceRefresh >= kSpiceRefreshTicks) {
        if (gHooks.refreshMarkedSheets) gHooks.refreshMarkedSheets();
        lastSpiceRefresh = now;
    }
}

void ResetSpiceLinkForTesting() {
    DisableSpiceLink();
    LLDispose(gSpiceInputQueue, true);  // messages queued while no socket was open
    gSpiceLink = SpiceLinkState{};
}

}  // namespace plexa
