#include "foundation/signals.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

#include "foundation/assert.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

class SignalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSignals();
        ASSERT_EQ(GetSignalDepth(), 0);
    }
    void TearDown() override { EXPECT_EQ(GetSignalDepth(), 0); }
};

TEST_F(SignalsTest, ZeroCodeContinuesAndCodeReachesCleanup) {
    int after = 0, cleanups = 0;
    EXPECT_EQ(CatchSignals([&] { Signal(0); ++after; }, [&] { ++cleanups; }), 0);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(cleanups, 0);

    OSStatus seen = 0;
    EXPECT_EQ(CatchSignals([&] { Signal(-43); ++after; },
                           [&] { ++cleanups; seen = GetSignal(); }),
              -43);
    EXPECT_EQ(after, 1);
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(seen, -43);
    EXPECT_EQ(GetSignalDepth(), 0);
}

// A code handed to Signal with no catcher open means the caller counted on one: checked in Debug
// and sanitizer builds; elsewhere, and for SignalIfCaught and code 0, nothing happens.
TEST_F(SignalsTest, OutsideEveryCatcherNothingHappens) {
#if PLEXA_ASSERTS_ON
    EXPECT_DEATH(Signal(-43), "assertion failed: gSignalDepth > 0");
    EXPECT_DEATH(FailureSignal(-108), "assertion failed: gSignalDepth > 0");
#else
    Signal(-43);
    FailureSignal(-108);
#endif
    Signal(0);
    FailureSignal(0);
    SignalIfCaught(-43);
    SetSignal(-5);
    EXPECT_EQ(GetSignal(), 0);
    EXPECT_EQ(ReleaseSignalCatcher(), 0);
    EXPECT_EQ(GetSignalDepth(), 0);
    // An allocation that fails outside a catcher returns nothing, and the caller goes on.
    MemPool pool = CreatePool(4096);
    MemPoolInfoRecord info{};
    ASSERT_TRUE(MemPoolInfo(pool, nullptr, &info));
    MemPoolSetCeiling(pool, info.totalBytes);
    EXPECT_EQ(TryAlloc(pool, 100000, kTryPointer), nullptr);
    MemPoolFree(pool);
}

TEST_F(SignalsTest, SignalIfCaughtLeavesToAnOpenCatcher) {
    int after = 0;
    EXPECT_EQ(CatchSignals([&] { SignalIfCaught(-39); ++after; }), -39);
    EXPECT_EQ(after, 0);
}

TEST_F(SignalsTest, InnerSignalReachesOnlyInnerCatcher) {
    int innerCleanups = 0, outerCleanups = 0, outerContinued = 0;
    OSStatus inner = 0;
    const OSStatus outer = CatchSignals(
        [&] {
            inner = CatchSignals([&] { Signal(-39); }, [&] { ++innerCleanups; });
            EXPECT_EQ(GetSignalDepth(), 1);
            ++outerContinued;
        },
        [&] { ++outerCleanups; });
    EXPECT_EQ(inner, -39);
    EXPECT_EQ(outer, 0);
    EXPECT_EQ(innerCleanups, 1);
    EXPECT_EQ(outerCleanups, 0);
    EXPECT_EQ(outerContinued, 1);
}

TEST_F(SignalsTest, SetSignalBecomesTheResult) {
    int cleanups = 0;
    EXPECT_EQ(CatchSignals([&] { SetSignal(7); EXPECT_EQ(GetSignal(), 7); }, [&] { ++cleanups; }),
              7);
    EXPECT_EQ(cleanups, 0);
}

TEST_F(SignalsTest, ReleasedFrameIsReusedFirst) {
    SignalCatcher* a = signal_detail::Open();
    SignalCatcher* b = signal_detail::Open();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(ReleaseSignalCatcher(), 0);
    EXPECT_EQ(signal_detail::Open(), b);
    EXPECT_EQ(status::kNoErr, ReleaseSignalCatcher());
    EXPECT_EQ(status::kNoErr, ReleaseSignalCatcher());
    EXPECT_EQ(signal_detail::Open(), a);
    EXPECT_EQ(status::kNoErr, ReleaseSignalCatcher());
}

TEST_F(SignalsTest, SetSignalDepthPopsDownOnly) {
    for (int i = 0; i < 5; ++i) ASSERT_NE(signal_detail::Open(), nullptr);
    SetSignalDepth(-1);
    EXPECT_EQ(GetSignalDepth(), 5);
    SetSignalDepth(7);
    EXPECT_EQ(GetSignalDepth(), 5);
    SetSignalDepth(2);
    EXPECT_EQ(GetSignalDepth(), 2);
    SetSignalDepth(0);
}

// An item loop records the depth before calling its procedure; a procedure that drops frames
// back to it and signals reaches the loop's catcher, and every level's clean-up still runs once.
TEST_F(SignalsTest, SignalAfterDepthRestoreReachesOuterCatcher) {
    int innerCleanups = 0, outerCleanups = 0;
    const OSStatus result = CatchSignals(
        [&] {
            const int32_t depth = GetSignalDepth();
            (void)CatchSignals(  // the signal leaves through the outer catcher
                [&] {
                    SetSignalDepth(depth);
                    Signal(-5);
                },
                [&] { ++innerCleanups; });
            ADD_FAILURE() << "the outer body went on";
        },
        [&] { ++outerCleanups; });
    EXPECT_EQ(result, -5);
    EXPECT_EQ(innerCleanups, 1);
    EXPECT_EQ(outerCleanups, 1);
}

TEST_F(SignalsTest, SignalInsideCleanupIsAbsorbed) {
    int cleanups = 0;
    EXPECT_EQ(CatchSignals([&] { Signal(-1); },
                           [&] {
                               ++cleanups;
                               Signal(-2);
                           }),
              -2);
    EXPECT_EQ(cleanups, 1);
}

TEST_F(SignalsTest, OtherExceptionsPassThroughAndReleaseTheFrame) {
    int cleanups = 0;
    EXPECT_THROW((void)CatchSignals([&] { (void)CatchSignals([] { throw std::runtime_error("x"); }); },  // throws through both catchers
                              [&] { ++cleanups; }),
                 std::runtime_error);
    EXPECT_EQ(cleanups, 1);
    EXPECT_EQ(GetSignalDepth(), 0);
}

// One level of the nesting test: opens a catcher, keeps a handle that its clean-up frees, and
// either fails through TryAlloc in the starved pool or opens the next level and hands its result
// to Signal.
struct Nesting {
    static constexpr int kLevels = 20;
    MemPool starved = nullptr;
    int failAt = 0;
    std::vector<int> cleanups = std::vector<int>(kLevels, 0);
    std::vector<OSStatus> codeInCleanup = std::vector<OSStatus>(kLevels, 0);
    std::vector<OSStatus> returned = std::vector<OSStatus>(kLevels, 0);
    std::vector<int> order;

    OSStatus Level(int level) {
        Handle built = nullptr;
        const OSStatus result = CatchSignals(
            [&] {
                EXPECT_EQ(GetSignalDepth(), level + 1);
                built = static_cast<Handle>(TryAlloc(nullptr, 64, kTryHandle));
                if (level == failAt) {
                    TryAlloc(starved, 1 << 20, kTryPointer);
                    ADD_FAILURE() << "TryAlloc returned at level " << level;
                } else if (level + 1 < kLevels) {
                    Signal(Level(level + 1));
                }
            },
            [&] {
                ++cleanups[level];
                codeInCleanup[level] = GetSignal();
                order.push_back(level);
                MemFree(built);
            });
        returned[level] = result;
        if (result == 0) MemFree(built);
        return result;
    }
};

TEST_F(SignalsTest, FailureClimbsTwentyNestedCatchers) {
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(8);
    for (uint64_t round = 0; round < rounds; ++round) {
        Nesting n;
        n.failAt = int(rng() % Nesting::kLevels);
        n.starved = CreatePool(4096);
        ASSERT_NE(n.starved, nullptr);
        MemPoolInfoRecord info{};
        ASSERT_TRUE(MemPoolInfo(n.starved, nullptr, &info));
        MemPoolSetCeiling(n.starved, info.totalBytes);

        EXPECT_EQ(n.Level(0), status::kOutOfMemory);
        EXPECT_EQ(GetSignalDepth(), 0);
        for (int level = 0; level < Nesting::kLevels; ++level) {
            const bool reached = level <= n.failAt;
            SCOPED_TRACE(testing::Message() << "failAt " << n.failAt << " level " << level);
            EXPECT_EQ(n.cleanups[level], reached ? 1 : 0);
            EXPECT_EQ(n.codeInCleanup[level], reached ? status::kOutOfMemory : status::kNoErr);
            EXPECT_EQ(n.returned[level], reached ? status::kOutOfMemory : status::kNoErr);
        }
        // Innermost clean-up first, then level by level outwards.
        ASSERT_EQ(int(n.order.size()), n.failAt + 1);
        for (int i = 0; i <= n.failAt; ++i) EXPECT_EQ(n.order[i], n.failAt - i);
        MemPoolFree(n.starved);
    }
}

// With the frame pool exhausted a catcher cannot open: it runs its clean-up and returns -108
// without releasing anything, so the caller's frame stays open and the failure climbs.
OSStatus NestUntilNoFrame(int& levels, int& cleanups) {
    return CatchSignals(
        [&] {
            ++levels;
            if (levels > 5000) return;  // a frame pool that never runs dry: fail below
            Signal(NestUntilNoFrame(levels, cleanups));
        },
        [&] { ++cleanups; });
}

TEST_F(SignalsTest, NoFrameReturnsFailureWithoutRelease) {
    ASSERT_NE(signal_detail::FramePool(), nullptr);
    // Grow the free list past what is kept, then stop the pool from growing.
    MemPoolInfoRecord info{};
    ASSERT_TRUE(MemPoolInfo(signal_detail::FramePool(), nullptr, &info));
    const uint32_t oldCeiling = MemPoolSetCeiling(signal_detail::FramePool(), info.totalBytes);
    int levels = 0, cleanups = 0;
    EXPECT_EQ(NestUntilNoFrame(levels, cleanups), status::kOutOfMemory);
    EXPECT_LT(levels, 5000);
    // Every level that opened ran its clean-up, and the one that could not open ran its own.
    EXPECT_EQ(cleanups, levels + 1);
    EXPECT_EQ(GetSignalDepth(), 0);
    MemPoolSetCeiling(signal_detail::FramePool(), oldCeiling);
}

}  // namespace
}  // namespace plexa
