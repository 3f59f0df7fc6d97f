// Built into every test program: a test that runs past its time limit (a modal window that waits
// for an answer nobody gives, a loop that never ends) stops the program with its name on standard
// error, instead of holding the whole run until an outer limit ends it without saying where.
// PLEXA_TEST_TIME_LIMIT (seconds) in the environment replaces the program's limit; 0 turns it off.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

struct Watch {
    std::mutex mutex;
    std::condition_variable changed;
    bool armed = false;
    std::chrono::steady_clock::time_point deadline;
    std::string test;
};

int LimitSeconds() {
    if (const char* text = std::getenv("PLEXA_TEST_TIME_LIMIT")) return std::atoi(text);
    return PLEXA_TEST_TIME_LIMIT;
}

[[noreturn]] void Stop(const std::string& test, int limit) {
    std::fprintf(stderr, "\n%s still ran after %d s: the program is stopped (PLEXA_TEST_TIME_LIMIT)\n",
                 test.c_str(), limit);
    std::fflush(stderr);
    std::_Exit(124);
}

class WatchdogListener : public testing::EmptyTestEventListener {
public:
    explicit WatchdogListener(int limit) : limit_(limit), watch_(new Watch) {
        // Neither the record nor the thread is ever destroyed: the thread may still wait on the
        // record while the program's static objects go.
        std::thread([watch = watch_, limit] {
            std::unique_lock lock(watch->mutex);
            for (;;) {
                if (!watch->armed) {
                    watch->changed.wait(lock);
                } else if (watch->changed.wait_until(lock, watch->deadline) == std::cv_status::timeout &&
                           watch->armed && std::chrono::steady_clock::now() >= watch->deadline) {
                    Stop(watch->test, limit);
                }
            }
        }).detach();
    }
    void OnTestStart(const testing::TestInfo& info) override {
        std::lock_guard lock(watch_->mutex);
        watch_->test = std::string(info.test_suite_name()) + "." + info.name();
        watch_->deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limit_);
        watch_->armed = true;
        watch_->changed.notify_one();
    }
    void OnTestEnd(const testing::TestInfo&) override {
        std::lock_guard lock(watch_->mutex);
        watch_->armed = false;
        watch_->changed.notify_one();
    }

private:
    int limit_;
    Watch* watch_;
};

const bool kWatchdog = [] {
    const int limit = LimitSeconds();
    // The listener list owns what is appended to it.
    if (limit > 0) testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener(limit));
    return true;
}();

}  // namespace
