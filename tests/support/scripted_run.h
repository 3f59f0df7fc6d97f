// A program run by a test as a person would work it: started under the offscreen platform with a
// script that the platform plays (platform/script_platform.h), in a scratch home of its own (its
// user folders and its instance socket there, so no other run's program takes its documents).
// The script waits for states, never for times; the limits (the script's own, 480 s unless the
// test sets PLEXA_TEST_SCRIPT_LIMIT, and the waits here) only end a run that is stuck, and are
// generous for a machine that other work loads.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/testing.h"

namespace plexa::test {

class ChildProcess;

struct ScriptedRunResult {
    int status = -1;                // the wait status; -1 when the program did not end in time
    std::vector<std::string> log;   // the script's log, one entry a line
    std::string errors;             // what the program wrote on its standard error
    bool Exited(int code) const;    // ended normally with that exit code
    // The log's lines that start with the prefix.
    std::vector<std::string> Lines(const std::string& prefix) const;
};

class ScriptedRun {
public:
    explicit ScriptedRun(std::string program);
    ~ScriptedRun();

    // The scratch folder (home, user folders, the script, its log).
    const TempDir& dir() const { return dir_; }
    // The environment entries the program runs with (added to the inherited ones), and one more
    // ("NAME=VALUE", replacing the run's own of that name).
    std::vector<std::string> Environment() const;
    void SetEnvironment(const std::string& entry) { extra_.push_back(entry); }
    // Copies a file or folder of the source tree (a fixture) into the scratch folder; returns the
    // copy's path, empty when the copy failed.
    std::string CopyFixture(const std::string& relative) const;
    // Writes the script, runs the program with the arguments in the working folder (default: the
    // scratch folder) and waits until it ends, at most `limit`.
    ScriptedRunResult Run(const std::string& script, const std::vector<std::string>& arguments = {},
                          const std::string& workingFolder = {},
                          std::chrono::seconds limit = std::chrono::seconds(540));
    // The same in two halves, for a test that does something meanwhile: Start is false when the
    // program could not be started; WaitForLog waits (at most 480 s, while the program runs)
    // until the log holds the line.
    bool Start(const std::string& script, const std::vector<std::string>& arguments = {},
               const std::string& workingFolder = {});
    bool WaitForLog(const std::string& line);
    // The running program's process id, -1 when none runs.
    int pid() const;
    ScriptedRunResult Finish(std::chrono::seconds limit = std::chrono::seconds(540));

private:
    std::vector<std::string> Log() const;

    std::string program_;
    std::unique_ptr<ChildProcess> child_;
    TempDir dir_;
    std::vector<std::string> extra_;
};

// The script's end for a run that opened the file symbol of a sheet in its editor (the window
// titled "SHEET : SHEET"): the editor closed, then the sheet without saving, then the program.
inline std::string CloseFileSymbolAndSheet(const std::string& sheet) {
    return "close " + sheet + " : " + sheet + "\nwait-no-window " + sheet + " : " + sheet + "\nclose " + sheet +
           "\nbutton Don't Save\nwait-no-window " + sheet + "\nquit\n";
}

}  // namespace plexa::test
