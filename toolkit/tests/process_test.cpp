// Termination of a running program by signals: SIGTERM runs the ordinary quit path once and exits
// 0, a refused quit keeps the program running, and crashes end the process by their signal.
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using namespace std::chrono_literals;

std::string Slurp(const std::string& path) {
    std::string text;
    ReadFile(path, text);
    return text;
}

bool WaitForText(const std::string& path, const std::string& text) {
    for (int i = 0; i < 2000; ++i) {
        if (Slurp(path) == text) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

#ifdef PLEXA_QUIT_PROBE
TEST(Termination, SigtermRunsTheQuitPathOnceAndExitsZero) {
    TempDir dir;
    ChildProcess child(PLEXA_QUIT_PROBE, {}, {"PROBE_LOG=" + dir.file("log")});
    ASSERT_GT(child.pid(), 0);
    ASSERT_TRUE(WaitForText(dir.file("log"), "running\n"));
    kill(child.pid(), SIGTERM);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(dir.file("log")), "running\nquit\nterminated\n");
}

TEST(Termination, RefusedQuitKeepsTheProgramRunning) {
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir.file("refuse"), ""));
    ChildProcess child(PLEXA_QUIT_PROBE, {},
                       {"PROBE_LOG=" + dir.file("log"), "PROBE_REFUSE=" + dir.file("refuse")});
    ASSERT_TRUE(WaitForText(dir.file("log"), "running\n"));
    kill(child.pid(), SIGTERM);
    ASSERT_TRUE(WaitForText(dir.file("log"), "running\nquit\n"));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(child.Running());
    std::remove(dir.file("refuse").c_str());
    kill(child.pid(), SIGQUIT);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(dir.file("log")), "running\nquit\nquit\nterminated\n");
}

TEST(Termination, AbortEndsByTheSignalWithoutTheTerminationProcedure) {
    TempDir dir;
    ChildProcess child(PLEXA_QUIT_PROBE, {}, {"PROBE_LOG=" + dir.file("log"), "PROBE_ABORT=1"});
    int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    EXPECT_EQ(Slurp(dir.file("log")), "running\n");
}
#endif

#ifdef PLEXA_PROGRAM
TEST(Termination, PlexaQuitsOnSigterm) {
    ChildProcess child(PLEXA_PROGRAM, {}, {});
    ASSERT_TRUE(child.WaitUntilCatches(SIGTERM));
    kill(child.pid(), SIGTERM);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Termination, PlexaEndsBySigsegvNotWithZero) {
    ChildProcess child(PLEXA_PROGRAM, {}, {});
    // SIGABRT's handler comes last (the sanitizers catch SIGSEGV from the start).
    ASSERT_TRUE(child.WaitUntilCatches(SIGABRT));
    kill(child.pid(), SIGSEGV);
    int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
}
#endif

}  // namespace
}  // namespace plexa::test
