// The simulator link: the one TCP connection between the editor and the external circuit
// simulator. The editor connects as a client to the simulator's port; when nobody answers it
// listens on its own port (on the loopback interface only, unless the simulator runs on a
// different computer) until the simulator connects. Messages go out as frames
// (design/simlink_frame.h) with waits and retries; received frames wait in a queue; a 125 ms
// timer polls the socket, hands at most one queued message per tick to the dispatcher and
// refreshes the sheets' simulator annotation.
//
// This module owns the link's socket, its timer, the queue of received messages and the
// numbering of sent messages. Everything runs on the main thread; waits poll and let the user
// cancel through the wait window.
//
// What the link needs of the layers above it (the dispatcher of messages, the setup dialog, the
// sheets, the preferences, alerts and the wait window, a project's id) it reaches through the
// hooks below; without them it does the plain thing (nothing shown, nothing dispatched).
#pragma once

#include <cstdint>

#include "design/simlink_frame.h"
#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct ProjectRecord;
struct SocketRecord;
struct sVXTimerRecord;

// Settings of the link (bytes 92 to 99 of the preferences record).
struct SpiceCommSettings {
    uint32_t address;      // IPv4, used only for a different computer; 0 for none
    uint16_t listenPort;
    uint16_t connectPort;
};
static_assert(sizeof(SpiceCommSettings) == 8);

constexpr uint16_t kSpiceDefaultListenPort = 32005;
constexpr uint16_t kSpiceDefaultConnectPort = 32001;
// How long a start waits for the simulator to answer, in seconds.
constexpr int32_t kSpiceRemoteConnectWait = 3;
constexpr int32_t kSpiceLocalConnectWait = 1;
// The timer's period in milliseconds, and the ticks between two refreshes of the sheets.
constexpr uint32_t kSpiceTimerInterval = 125;
constexpr uint32_t kSpiceRefreshTicks = 46;

// Message types that the transport itself sends.
constexpr FourCharCode kSpiceUpdateAllAnalyses = FourCC("AllA");
constexpr FourCharCode kSpiceEndConnection = FourCC("ECon");

// ---- Link state ----

// The link's process-wide state in one record; the names below are its members.
struct SpiceLinkState {
    SpiceCommSettings settings = {0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
    SocketRecord* socket = nullptr;
    int32_t socketId = 0;
    uint8_t serverMode = 0;
    uint8_t inAcceptOrConnect = 0;
    uint8_t inWaitMessage = 0;
    LinkListHeader* inputQueue = nullptr;
    sVXTimerRecord* socketTimer = nullptr;
    uint32_t nextMessageNumber = 0;
    uint32_t lastRefresh = 0;
    // Set while the link is being stopped: nothing may start it again meanwhile.
    int32_t stopping = 0;
    bool sendingAllAnalyses = false;
};
extern SpiceLinkState gSpiceLink;

extern SpiceCommSettings& gSpiceLinkSettings;
extern SocketRecord*& gSpiceSocket;
// Made positive and raised for each new socket, negated when the link is closed.
extern int32_t& gSpiceSocketId;
extern uint8_t& gServerMode;
extern uint8_t& gInAcceptOrConnect;
extern uint8_t& gInWaitSpiceMessage;
// Received messages, oldest first; made with the first one.
extern LinkListHeader*& gSpiceInputQueue;
// Present exactly while a socket exists.
extern sVXTimerRecord*& gSpiceSocketTimer;
extern uint32_t& gNextSpiceMsgNumber;
extern uint32_t& lastSpiceRefresh;

// Turns the link off (its socket, timer and received messages go) and puts every value of the
// record back to its start.
void ResetSpiceLinkForTesting();

// ---- What the link needs of the layers above ----

struct SpiceLinkHooks {
    // The id that messages about a project carry.
    uint32_t (*projectId)(const ProjectRecord* project) = nullptr;
    // Handles one received message (the dispatcher owns nothing of it).
    void (*dispatch)(SpiceMessageRecord* message) = nullptr;
    // The setup dialog, when open, shows the link's state again.
    void (*updateSetupStatus)() = nullptr;
    // Refreshes the simulator annotation of every visible sheet marked for it, front to back.
    void (*refreshMarkedSheets)() = nullptr;
    // The link stopped: the running analysis is cleared and every project's analysis list
    // emptied, with the simulator tools of its active sheet updated.
    void (*linkStopped)() = nullptr;
    // A restart left no socket: the simulator tool bars are hidden.
    void (*linkLost)() = nullptr;
    // The preferences' link-on bit (0x40 of the flag word); setting it marks the preferences
    // changed.
    bool (*linkOnPreference)() = nullptr;
    void (*setLinkOnPreference)(bool on) = nullptr;
    // The preferences' "Different Computer" bit (0x4 of the flag word).
    bool (*differentComputer)() = nullptr;
    // The application's error report of a status.
    void (*errorReport)(OSStatus code) = nullptr;
    // While a reply is awaited: the busy cursor moves on before the wait window shows.
    void (*advanceBusyCursor)() = nullptr;
    // The wait window (its title and the caller's text); none when it cannot be shown.
    void* (*openWaitWindow)(const char* title, const char* text) = nullptr;
    // Runs the window's pending modal events; true when the user cancelled.
    bool (*waitWindowIdle)(void* window) = nullptr;
    void (*closeWaitWindow)(void* window) = nullptr;
};
void SetSpiceLinkHooks(const SpiceLinkHooks& hooks);
const SpiceLinkHooks& GetSpiceLinkHooks();

// ---- Messages ----

// A new message: the project's id (0 without a project), the arguments and the raw flag; with data
// of a length above 0 the body is a copy of it, behind the 8-byte raw prefix when raw is set.
// String-list bodies are passed as the list's bytes. None when out of memory (or raw data beyond
// kSpiceRawMaxLength).
SpiceMessageRecord* BuildSpiceMessage(FourCharCode type, const ProjectRecord* project,
                                      uint32_t argument1, uint32_t argument2, uint32_t argument3,
                                      uint32_t argument4, bool raw, const void* data,
                                      uint32_t length);

// Sends a message (its sender flag set; with newNumber a fresh message number, else its own).
// Received frames are taken in first. When the connection turns out closed, the link is reset
// and the message sent again, at most twice. Returns the number used, or 0 when it could not be
// sent.
uint32_t TransmitSpiceMessage(SpiceMessageRecord* message, bool newNumber);

// Sends "AllA" (ask for all analyses); not again while one is being sent.
void SendUpdateAllAnalysesMsg();

// The first queued message of the type (and of the number unless it is 0), taken from the queue,
// waiting at most timeoutTicks (0: no limit) while the link stays the same; none when the wait
// ended without one. The wait window shows `text` once the wait is long; *ok (when given) is 0
// when the user cancelled there.
SpiceMessageRecord* WaitReceiveSpiceMessage(FourCharCode type, uint32_t number,
                                            uint32_t timeoutTicks, const char* text, int32_t* ok);

// The oldest queued message, taken from the queue; none when it is empty.
SpiceMessageRecord* GetNextSpiceMessage();

// Accepts a pending connection and reads all complete frames into the queue.
void PollSpiceMessages();

// ---- Starting and stopping ----

// Starts the link: the settings (when given) become the link's; connects to the connect port
// (waiting up to `wait` seconds; 0 skips connecting) and otherwise listens on the listen port.
// Nobody answering is no error.
OSStatus EnableSpiceLink(const SpiceCommSettings* settings, bool differentComputer, int32_t wait);
// Says goodbye when the simulator connected to the editor, then closes the socket and empties
// the queue.
void DisableSpiceLink();
// Stops and starts the link again; kSocketNone when there is no link.
OSStatus ResetSpiceLink(int32_t wait);
void RestartSpiceLink(int32_t wait);
// *connected and *server of the link; without a link and with `begin`, the socket layer starts.
OSStatus GetSpiceLinkStatus(bool begin, uint8_t* connected, uint8_t* server);

// One tick of the link's timer.
void ServiceSpiceSocketTimer(sVXTimerRecord* timer, uint64_t refcon);
// Lets the link's timer (when there is one) fire next after that many milliseconds.
void RescheduleSpiceLinkTimer(uint32_t milliseconds);

}  // namespace plexa
