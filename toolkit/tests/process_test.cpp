// Termination of a running program by signals: SIGTERM runs the ordinary quit path once and exits
// 0, a refused quit keeps the program running, and crashes end the process by their signal.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/testing.h"

extern char** environ;

namespace plexa::test {
namespace {

using namespace std::chrono_literals;

class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& environment) {
        std::vector<std::string> env(environment);
        for (char** e = environ; *e; ++e) env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& s : env) envp.push_back(s.data());
        envp.push_back(nullptr);
        std::string name = program;
        char* argv[] = {name.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv, envp.data()) != 0) pid_ = -1;
    }
    ~Child() {
        if (pid_ > 0 && !exited_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    pid_t pid() const { return pid_; }
    // The wait status, or -1 when the child has not ended within the time.
    int Wait(std::chrono::milliseconds limit = 20s) {
        auto end = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                exited_ = true;
                return status;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    bool Running() {
        int status = 0;
        return waitpid(pid_, &status, WNOHANG) == 0;
    }
    // Whether the child has installed a handler for the signal.
    bool Catches(int sig) {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("SigCgt:", 0) == 0)
                return (std::stoull(line.substr(7), nullptr, 16) >> (sig - 1)) & 1;
        return false;
    }
    bool WaitUntilCatches(int sig) {
        for (int i = 0; i < 2000 && Running(); ++i) {
            if (Catches(sig)) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

private:
    pid_t pid_ = -1;
    bool exited_ = false;
};

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
    Child child(PLEXA_QUIT_PROBE, {"PROBE_LOG=" + dir.file("log")});
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
    Child child(PLEXA_QUIT_PROBE, {"PROBE_LOG=" + dir.file("log"), "PROBE_REFUSE=" + dir.file("refuse")});
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
    Child child(PLEXA_QUIT_PROBE, {"PROBE_LOG=" + dir.file("log"), "PROBE_ABORT=1"});
    int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGABRT);
    EXPECT_EQ(Slurp(dir.file("log")), "running\n");
}
#endif

#ifdef PLEXA_PROGRAM
TEST(Termination, PlexaQuitsOnSigterm) {
    Child child(PLEXA_PROGRAM, {});
    ASSERT_TRUE(child.WaitUntilCatches(SIGTERM));
    kill(child.pid(), SIGTERM);
    int status = child.Wait();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(Termination, PlexaEndsBySigsegvNotWithZero) {
    Child child(PLEXA_PROGRAM, {});
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
