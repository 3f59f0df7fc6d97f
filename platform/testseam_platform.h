// The test seam of the platform: a test clock, scripted input (with files dropped from another
// application) and the application's activation, so that loops that wait for time or input
// (timers, tracking and modal loops) run unattended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/input_platform.h"

namespace plexa {

struct PlatformWindow;

// Switches the platform clock to a test clock that starts at `startMicros` and moves only when
// told (or when a loop would wait: it then jumps to the next due work).
void TestClockEnable(int64_t startMicros);
void TestClockDisable();
bool TestClockEnabled();
// Moves the test clock forward, running every deferred call and timer of the current loop mode
// that falls due on the way, in time order.
void TestClockAdvance(int64_t micros);
// Sets the test clock without running anything.
void TestClockSet(int64_t micros);

// Queues input that the running loop delivers, one event per pass, before it advances the test
// clock. Key events also change the key state.
void TestQueueInput(const PlatformInputEvent& event);
int TestQueuedInputCount();
// Sets a key's state directly.
void TestSetKeyDown(uint16_t keyCode, bool down);

// Drags local files (absolute paths) from another application onto the window's content and
// drops them there, through the platform's own drag-and-drop events. True when the window took
// the drop (it accepts file drops and there was a path to drop).
bool TestDropFiles(PlatformWindow* window, const std::vector<std::string>& paths);

// Makes the application active or inactive as if another application had come to the front;
// the delegate hears of the change.
void TestSetApplicationActive(bool active);

// The beeps sounded since the program started.
int TestBeepCount();
// Runs the deferred calls and timers of the current loop mode that are due now.
void TestRunDueWork();

// A program run by a test as a process of its own reports each run loop it enters as a line
// "loop MODE DEPTH" (MODE one of the kPlatformMode... values, DEPTH 1 for the outermost loop) in
// the file named by this environment variable, when it is set.
constexpr const char* kTestLoopLogVariable = "PLEXA_TEST_LOOP_LOG";

// Forgets every deferred call, timer, queued input, key state and loop state, and the answers
// queued or set for file panels, popups and print panels (between tests).
void TestResetPlatform();

}  // namespace plexa
