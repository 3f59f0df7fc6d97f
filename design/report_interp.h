// The report interpreter: runs a compiled report script (design/report_tokens.h) over a project.
// It walks the token stream, evaluates expressions on the model's expression evaluator, keeps the
// script's variables, writes the output file, runs the loops over the netlist database's
// components, nets, pins, hierarchy instances, ports and attributes with the current item's fields
// readable as variables, and runs other scripts (RUN) and blocks (CALL).
//
// A run's state is one record (`ReportState`, design/report_internal.h) that the run makes and
// hands to the interpreter, the built-in functions and the item walks. Questions to the
// user, alerts and the simulator's "close this circuit" step go through hooks that the
// composition root installs: in a program without windows messages go to standard error and a
// question takes its second button; the editor puts its dialogs there.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ProjectRecord;
struct SheetInstance;

// How deep RUN and CALL may nest (a script that runs itself, a block that calls itself) before the
// run stops with kScriptNestTooDeep.
constexpr int32_t kMaxReportNesting = 64;
// The simulator's bundle id: output for it closes the circuit in the simulator first.
constexpr const char* kSimulatorBundleId = "com.orvix.simora";
// A script without a target application.
constexpr const char* kNoTargetBundleId = "****";

struct ReportHooks {
    // Shows a message alert (NOTIFY, runtime errors). Default: the text on standard error.
    void (*alert)(const char* message) = nullptr;
    // Asks a question with two buttons; true when the first is chosen. Default: false.
    bool (*ask)(const char* message, const char* first, const char* second) = nullptr;
    // A save panel starting in `folder`: true and the chosen full path in path (size bytes).
    // Default: false (cancelled).
    bool (*askSave)(const char* prompt, const char* defaultName, const char* folder, char* path,
                    int32_t size) = nullptr;
    // Asks the simulator to close a circuit before its file is overwritten; 0, or -128 when the
    // user declined. Default: 0.
    OSStatus (*closeCircuit)(const char* path) = nullptr;
    // The user asks the run to stop (a progress window's Cancel, the interrupt key); asked by
    // WHILE loops every kReportStopCheckStep rounds. The run then ends with kScriptStopped and its
    // message. Default: false.
    bool (*cancelKey)() = nullptr;
};
constexpr uint32_t kReportStopCheckStep = 64;
// A limit on the time a run may take, in milliseconds (0, the default: none). A run still going
// past it (a WHILE that never ends) stops with kScriptTimeLimit and its message. Returns the
// former limit.
uint32_t SetReportRunTimeLimit(uint32_t milliseconds);

// Installs the hooks; returns the former ones.
ReportHooks SetReportHooks(const ReportHooks& hooks);
const ReportHooks& GetReportHooks();

// Runs a script (its token stream, owned by the caller) over a project (none: only what needs no
// project works; relative paths are then taken from the script's folder). root: the instance to
// start at, none for the whole project; descend: go into sub-sheets; levelLimit: 9999 for no
// limit. targetBundleId may be null for none. The output file last opened goes to *output when
// given (cleared when none was opened). Returns 0 (EXIT too), -128 when a runtime error was
// already shown or the run was cancelled, or another status.
OSStatus ExecuteReportScript(ProjectRecord* project, SheetInstance* root, bool descend,
                             uint16_t levelLimit, Handle tokens, const char* targetBundleId,
                             const FileSpec* script, FileSpec* output);

// The output file (as the script named it, or its full path once resolved) that the last run
// could not open, write or close; empty when the last run had no such failure.
const std::string& GetReportOutputFailure();

// Compiles and runs a script file; the same results (a compile error already shown is -128).
OSStatus RunReportScriptFile(ProjectRecord* project, SheetInstance* root, bool descend,
                             uint16_t levelLimit, const FileSpec* script, FileSpec* output);

}  // namespace plexa
