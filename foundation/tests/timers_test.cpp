// Timers and waits of the run loop: without an owner of the run loop no timer starts and a wait
// sleeps for its ticks; with one, every call goes to it.
#include "foundation/timers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace plexa {
namespace {

std::vector<std::string> gCalls;

void Fired(sVXTimerRecord*, uint64_t) {}

TEST(Timers, WithoutARunLoopNoTimerStartsAndAWaitSleeps) {
    SetTimerHooks(TimerHooks{});
    EXPECT_EQ(StartTimer(100, kTimerInModal, Fired, 7), nullptr);
    SetTimerNextFires(nullptr, 0);
    KillTimer(nullptr);
    const auto start = std::chrono::steady_clock::now();
    WaitTicks(6);  // a tenth of a second
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(99));
}

TEST(Timers, TheRunLoopsOwnerGetsEveryCall) {
    static sVXTimerRecord* const kTimer = reinterpret_cast<sVXTimerRecord*>(uintptr_t(0x40));
    gCalls.clear();
    TimerHooks hooks;
    hooks.start = [](uint32_t ms, uint32_t flags, TimerProc proc, uint64_t refCon) {
        gCalls.push_back("start " + std::to_string(ms) + " " + std::to_string(flags) + " " +
                         std::to_string(refCon) + (proc == Fired ? " Fired" : ""));
        return kTimer;
    };
    hooks.setNextFires = [](sVXTimerRecord* t, uint32_t ms) {
        gCalls.push_back(std::string("next ") + (t == kTimer ? "timer " : "? ") + std::to_string(ms));
    };
    hooks.kill = [](sVXTimerRecord* t) { gCalls.push_back(t == kTimer ? "kill timer" : "kill ?"); };
    hooks.wait = [](uint32_t ticks) { gCalls.push_back("wait " + std::to_string(ticks)); };
    SetTimerHooks(hooks);
    EXPECT_EQ(StartTimer(125, kTimerWhenInactive | kTimerInModal, Fired, 9), kTimer);
    EXPECT_EQ(StartTimer(125, 0, nullptr, 9), nullptr);  // no procedure: no timer
    SetTimerNextFires(kTimer, 0);
    SetTimerNextFires(nullptr, 0);
    WaitTicks(3);
    KillTimer(kTimer);
    KillTimer(nullptr);
    SetTimerHooks(TimerHooks{});
    EXPECT_EQ(gCalls, (std::vector<std::string>{"start 125 3 9 Fired", "next timer 0", "wait 3",
                                                "kill timer"}));
}

}  // namespace
}  // namespace plexa
