// Simulator netlists: writing the simulator's circuit again when it asks for a fresh one, the
// two exchanges with the simulator around a circuit file (close it before it is overwritten,
// open it after it is written), and the cache of compiled scripts used while a script runs other
// scripts.
//
// The run of a compiled report script belongs to the report interpreter; until it is installed
// through SetSpiceScriptRunner, a regeneration fails with its message.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct LinkListHeader;
struct ProjectRecord;

// The bundle id of the simulator, the target of its netlist scripts.
constexpr const char* kSpiceBundleId = "com.orvix.simora";
constexpr FourCharCode kSpiceOpenCircuit = FourCC("Open");
constexpr FourCharCode kSpiceCloseCircuit = FourCC("cClo");
// The longest circuit path sent to the simulator, terminator included.
constexpr uint32_t kSpiceCircuitPathSize = 2048;
// How long a close waits for the simulator's answer, in ticks.
constexpr uint32_t kSpiceCloseReplyTicks = 80;
// The level limit of a run without descent (or with a stored limit of 0).
constexpr uint16_t kScriptNoLevelLimit = 9999;

// ---- Compiled scripts ----

// An LL list of ScriptCacheEntry; freeing an entry frees its token stream unless the caller owns
// it.
using ScriptCache = LinkListHeader;
struct ScriptCacheEntry;

ScriptCache* CreateScriptCache();
void DestroyScriptCache(ScriptCache* cache);
// The cached stream of an equal script file; else, with a stream, adds it and returns it; else
// none. Out of memory signals -108.
Handle CacheScript(ScriptCache* cache, const FileSpec* script, Handle tokens, bool owned);

// ---- The run of a netlist script ----

// Runs a compiled script over the project (from the root instance, 0 for the whole project) with
// the target application's bundle id; *output receives the output file's path. 0, or the run's
// status.
using SpiceScriptRunner = OSStatus (*)(ProjectRecord* project, Handle tokens, uint32_t rootInstance,
                                       bool descend, uint16_t levelLimit, const char* bundleId,
                                       std::string* output);
SpiceScriptRunner SetSpiceScriptRunner(SpiceScriptRunner runner);

// What the exchanges need of the windows.
struct SpiceNetlistHooks {
    // Shows a message in an alert.
    void (*alert)(const char* text) = nullptr;
    // Reports a failed run's status (never -128).
    void (*errorReport)(OSStatus code) = nullptr;
    // Whether the application is the active one.
    bool (*applicationActive)() = nullptr;
    // "The netlist is open in Simora and has been modified...": true for Discard.
    bool (*confirmDiscard)(const char* text) = nullptr;
};
void SetSpiceNetlistHooks(const SpiceNetlistHooks& hooks);
const SpiceNetlistHooks& GetSpiceNetlistHooks();

// The level limit a run uses: the stored one, or kScriptNoLevelLimit when it is 0 or descent is
// off.
uint16_t ScriptRunLevelLimit(uint16_t stored, bool descend);

// Runs the script that last wrote the project's simulator netlist again (from the instance, or
// the whole project for 0) and asks the simulator to open the output. 1 on success; else 0 with
// the message: shown in an alert (unless quiet or empty) without a buffer, else put in the buffer
// (with quiet, "Plexa could not automatically regenerate the netlist.").
int32_t RegenerateSpiceNetList(ProjectRecord* project, uint32_t instanceId, bool quiet,
                               std::string* message);

// Asks the simulator to open the circuit file (only while the link is connected).
OSStatus OpenSpiceCircuit(const FileSpec* file);
// Asks the simulator to close the circuit file before it is written again; when the simulator has
// it modified the user is asked to discard the changes. -128 when the user declines; a failed
// send or no answer is no error.
OSStatus CloseSpiceCircuit(const FileSpec* file);

}  // namespace plexa
