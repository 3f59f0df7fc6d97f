// Termination of a running program by signals: SIGTERM runs the ordinary quit path once and exits
// 0, a refused quit keeps the program running, and crashes end the process by their signal. One
// editor per user: a second start hands its documents to the running one and ends.
#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
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
    // The run loop goes on after the refusal.
    ASSERT_TRUE(WaitForText(dir.file("log"), "running\nquit\nstill running\n"));
    EXPECT_TRUE(child.Running());
    std::remove(dir.file("refuse").c_str());
    kill(child.pid(), SIGQUIT);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Slurp(dir.file("log")), "running\nquit\nstill running\nquit\nterminated\n");
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
// Each test's editor has a runtime folder of its own, so that editors of tests running side by
// side (or the user's own) never take each other's documents.
// The program's runtime folder (its instance socket) and its configuration folder (its
// preferences) in the test's scratch folder.
std::vector<std::string> ScratchFolders(const TempDir& dir) {
    return {"XDG_RUNTIME_DIR=" + dir.path(), "XDG_CONFIG_HOME=" + dir.path()};
}

bool Connect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

bool WaitForListener(const std::string& path, ChildProcess& child) {
    for (int i = 0; i < 2000 && child.Running(); ++i) {
        if (Connect(path)) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

bool WaitForContent(const std::string& path, const std::string& part) {
    for (int i = 0; i < 2000; ++i) {
        if (Slurp(path).find(part) != std::string::npos) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

TEST(SingleInstance, ASecondPlexaHandsItsDocumentsToTheRunningOneAndEnds) {
    TempDir runtime, dir;
    const std::string socketPath = runtime.file("com.orvix.Plexa.socket");
    {
        // A socket left by an editor that died: nobody answers on it, so it is replaced.
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd);
    }
    ChildProcess first(PLEXA_PROGRAM, {}, ScratchFolders(runtime), dir.file("first.err"));
    ASSERT_TRUE(WaitForListener(socketPath, first));
    // The document does not exist, so the running editor says so on its standard error.
    const std::string document = dir.file("missing.sch");
    ChildProcess second(PLEXA_PROGRAM, {document}, ScratchFolders(runtime), dir.file("second.err"));
    const int status = second.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(WaitForContent(dir.file("first.err"), "\"" + document + "\""));
    EXPECT_EQ(Slurp(dir.file("second.err")).find(document), std::string::npos);
    EXPECT_TRUE(first.Running());
    kill(first.pid(), SIGTERM);
    const int firstStatus = first.Wait();
    ASSERT_TRUE(WIFEXITED(firstStatus)) << firstStatus;
    EXPECT_EQ(WEXITSTATUS(firstStatus), 0);
    EXPECT_FALSE(Connect(socketPath));
    EXPECT_NE(access(socketPath.c_str(), F_OK), 0);  // removed at the end of the run
}

TEST(Termination, PlexaQuitsOnSigterm) {
    TempDir runtime;
    ChildProcess child(PLEXA_PROGRAM, {}, ScratchFolders(runtime));
    ASSERT_TRUE(child.WaitUntilCatches(SIGTERM));
    kill(child.pid(), SIGTERM);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Termination, PlexaEndsBySigsegvNotWithZero) {
    TempDir runtime;
    ChildProcess child(PLEXA_PROGRAM, {}, ScratchFolders(runtime));
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
