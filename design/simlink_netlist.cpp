// Simulator netlists: regeneration, the circuit exchanges and the script cache.
#include "design/simlink_netlist.h"

#include <cstring>

#include "design/report_compiler.h"
#include "design/simlink.h"
#include "files/instances.h"
#include "files/project.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/socket.h"

namespace plexa {

struct ScriptCacheEntry {
    ScriptCacheEntry* link;
    Handle tokens;
    FileSpec script;
    uint8_t owned;  // the stream belongs to the caller (the main script)
};

namespace {

SpiceScriptRunner gRunner = nullptr;
SpiceNetlistHooks gNetlistHooks;

constexpr const char* kNoStoredScript = "Please export a new Spice Netlist for this session.";
constexpr const char* kScriptMissing =
    "Unable to locate the previously used script file. Please export a new Spice Netlist.";
constexpr const char* kScriptUnusable =
    "Unable to execute previously used script. Please export a new Spice Netlist.";
constexpr const char* kRootMissing = "The root sheet of the previously generated Netlist no longer "
                                     "exists. Please export a new Spice Netlist.";
constexpr const char* kQuietFailure = "Plexa could not automatically regenerate the netlist.";
constexpr const char* kCloseDiscard =
    "The netlist is open in Simora and has been modified. Do you want to discard those changes?";
constexpr const char* kCloseWaitText = "Checking with Simora...";

void FreeScriptCacheEntry(LinkListHeader*, void* item, void*, uint32_t) {
    auto* entry = static_cast<ScriptCacheEntry*>(item);
    if (entry->tokens && !entry->owned) MemFree(entry->tokens);
    entry->tokens = nullptr;
}

bool LinkConnected() { return gSpiceSocket && gSpiceSocket->state == kSocketStateConnected; }

// The circuit's path with its terminator, as the simulator's messages carry it; false when it
// cannot be made or is too long.
bool CircuitPath(const FileSpec* file, std::string* path) {
    char buffer[kSpiceCircuitPathSize];
    uint32_t needed = 0;
    if (PathNameFromFileSpec(file, false, buffer, sizeof buffer, &needed) != status::kNoErr ||
        needed >= kSpiceCircuitPathSize)
        return false;
    path->assign(buffer, needed);
    path->push_back('\0');
    return true;
}

uint32_t SendCircuitMessage(FourCharCode type, const std::string& path, uint32_t argument1) {
    SpiceMessageRecord* message = BuildSpiceMessage(type, nullptr, argument1, 0, 0, 0, true,
                                                    path.data(), uint32_t(path.size()));
    if (!message) return 0;
    const uint32_t number = TransmitSpiceMessage(message, true);
    DestroySpiceMessage(message);
    return number;
}

// The run itself; the message on failure ("" for a failure already reported).
int32_t Regenerate(ProjectRecord* project, uint32_t instanceId, bool quiet, std::string* message) {
    if (!project || project->netlistScript.name[0] == 0) {
        *message = kNoStoredScript;
        return 0;
    }
    bool isFolder = false;
    if (!VXFileExists(&project->netlistScript, &isFolder) || isFolder) {
        *message = kScriptMissing;
        return 0;
    }
    Handle tokens = nullptr;
    if (TokenizeScript(project, &project->netlistScript, &tokens) != status::kNoErr || !tokens) {
        *message = kScriptUnusable;
        return 0;
    }
    if (instanceId != 0 && !GetInstanceWithId(project, instanceId)) {
        MemFree(tokens);
        *message = kRootMissing;
        return 0;
    }
    std::string output;
    const bool descend = project->netlistDescend != 0;
    const OSStatus err =
        gRunner ? gRunner(project, tokens, instanceId, descend,
                          ScriptRunLevelLimit(project->netlistLevelLimit, descend), kSpiceBundleId,
                          &output)
                : status::kNotFound;
    MemFree(tokens);
    if (err != status::kNoErr) {
        if (!quiet && err != status::kUserCancelled && gNetlistHooks.errorReport)
            gNetlistHooks.errorReport(err);
        if (!gRunner) *message = kScriptUnusable;
        return 0;
    }
    FileSpec circuit;
    bool folder = false;
    if (!output.empty() && FileSpecFromPathName(nullptr, output.c_str(), &circuit) == status::kNoErr &&
        VXFileExists(&circuit, &folder) && !folder)
        (void)OpenSpiceCircuit(&circuit);  // a link that is down opens nothing
    return 1;
}

}  // namespace

// ---- Compiled scripts ----

ScriptCache* CreateScriptCache() {
    ScriptCache* cache = LLCreate(nullptr, sizeof(ScriptCacheEntry), 0);
    if (cache) LLSetFreeProc(cache, FreeScriptCacheEntry);
    return cache;
}

void DestroyScriptCache(ScriptCache* cache) { LLDispose(cache, true); }

Handle CacheScript(ScriptCache* cache, const FileSpec* script, Handle tokens, bool owned) {
    for (void* item = LLFirst(cache); item; item = LLGetNext(cache, item)) {
        auto* entry = static_cast<ScriptCacheEntry*>(item);
        if (EqualFileSpecs(&entry->script, script)) return entry->tokens;
    }
    if (!tokens) return nullptr;
    auto* entry = static_cast<ScriptCacheEntry*>(LLAlloc(cache));
    if (!entry) {
        FailureSignal(status::kOutOfMemory);
        return nullptr;
    }
    std::memset(entry, 0, sizeof *entry);
    entry->tokens = tokens;
    entry->script = *script;
    entry->owned = owned ? 1 : 0;
    LLAppend(cache, entry);
    return tokens;
}

// ---- Regeneration ----

SpiceScriptRunner SetSpiceScriptRunner(SpiceScriptRunner runner) {
    const SpiceScriptRunner former = gRunner;
    gRunner = runner;
    return former;
}

void SetSpiceNetlistHooks(const SpiceNetlistHooks& hooks) { gNetlistHooks = hooks; }
const SpiceNetlistHooks& GetSpiceNetlistHooks() { return gNetlistHooks; }

uint16_t ScriptRunLevelLimit(uint16_t stored, bool descend) {
    return stored == 0 || !descend ? kScriptNoLevelLimit : stored;
}

int32_t RegenerateSpiceNetList(ProjectRecord* project, uint32_t instanceId, bool quiet,
                               std::string* message) {
    std::string text;
    if (Regenerate(project, instanceId, quiet, &text) == 1) return 1;
    if (message) *message = quiet ? kQuietFailure : text;
    else if (!quiet && !text.empty() && gNetlistHooks.alert) gNetlistHooks.alert(text.c_str());
    return 0;
}

// ---- Circuit exchanges ----

OSStatus OpenSpiceCircuit(const FileSpec* file) {
    std::string path;
    if (!LinkConnected() || !CircuitPath(file, &path)) return status::kNoErr;
    SendCircuitMessage(kSpiceOpenCircuit, path, 0);
    return status::kNoErr;
}

OSStatus CloseSpiceCircuit(const FileSpec* file) {
    std::string path;
    if (!LinkConnected() || !CircuitPath(file, &path)) return status::kNoErr;
    if (gNetlistHooks.applicationActive && !gNetlistHooks.applicationActive())
        return status::kNoErr;
    const uint32_t number = SendCircuitMessage(kSpiceCloseCircuit, path, 0);
    if (number == 0) return status::kNoErr;
    SpiceMessageRecord* reply = WaitReceiveSpiceMessage(kSpiceCloseCircuit, number,
                                                        kSpiceCloseReplyTicks, kCloseWaitText,
                                                        nullptr);
    if (!reply) return status::kNoErr;
    const bool modified = reply->arguments[0] != 0;
    DestroySpiceMessage(reply);
    if (!modified) return status::kNoErr;
    if (!gNetlistHooks.confirmDiscard || !gNetlistHooks.confirmDiscard(kCloseDiscard))
        return status::kUserCancelled;
    SendCircuitMessage(kSpiceCloseCircuit, path, 1);
    return status::kNoErr;
}

}  // namespace plexa
