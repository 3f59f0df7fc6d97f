// A program run by a test in a process of its own: its arguments, extra environment entries
// (which replace inherited ones of the same name) and, when asked, its standard error into a
// file, and a working folder of its own when one is given. A child still running when the object goes is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace plexa::test {

class ChildProcess {
public:
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment, const std::string& errorsFile = {},
                 const std::string& workingFolder = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // The process id, -1 when it could not be started.
    pid_t pid() const { return pid_; }
    // The wait status, or -1 when the child has not ended within the time. The limits only end a
    // test whose child is stuck: they are generous, for a machine that other work loads.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(120));
    // Whether the child still runs (one that ended keeps its status for Wait).
    bool Running();
    // Whether the child has installed a handler for the signal.
    bool Catches(int sig);
    // Waits (while the child runs, at most 120 s) until it catches the signal.
    bool WaitUntilCatches(int sig);

private:
    pid_t pid_ = -1;
    bool exited_ = false;
    int status_ = -1;
};

}  // namespace plexa::test
