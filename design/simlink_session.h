// The exchange with the simulator on top of the link's transport (design/simlink.h): the analyses
// that the simulator announces for each project, the messages it sends (analyses added, removed
// and completed, the "netlist is stale" question, alerts, goodbye) and the requests the editor
// makes (node voltages, device parameters, graphs), with the checks every reply gets before it is
// read.
//
// This module owns each project's analysis list (installed as the project's analysis list
// through the project services) and the dispatcher of received messages. What it needs of the
// windows (refreshing sheets, the tool bar, alerts) it reaches through the hooks below; without
// them it does the plain thing (nothing shown).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct ProjectRecord;
struct ProjectServices;
struct SpiceLinkHooks;
struct SpiceMessageRecord;

// Message types of the exchange.
constexpr FourCharCode kSpiceAddAnalysis = FourCC("AddA");
constexpr FourCharCode kSpiceDeleteAnalysis = FourCC("DelA");
constexpr FourCharCode kSpiceCompleted = FourCC("Cmpl");
constexpr FourCharCode kSpiceNetlistStale = FourCC("Dirt");
constexpr FourCharCode kSpiceDialog = FourCC("Dlog");
constexpr FourCharCode kSpiceNodeValues = FourCC("NVal");
constexpr FourCharCode kSpiceDeviceParameters = FourCC("DPar");
constexpr FourCharCode kSpiceParameterList = FourCC("Plst");
constexpr FourCharCode kSpiceAddGraph = FourCC("AGph");
constexpr FourCharCode kSpiceReplaceGraph = FourCC("RGph");
constexpr FourCharCode kSpiceAddCurrentGraph = FourCC("AGpc");
constexpr FourCharCode kSpiceReplaceCurrentGraph = FourCC("RGpc");
constexpr FourCharCode kSpiceRunAnalysis = FourCC("RAna");

constexpr const char* kSpiceNoInformation = "No information available.";
// How long a request waits for its reply (0: until the link changes or the user cancels).
constexpr uint32_t kSpiceReplyTicks = 0;

// ---- Analyses ----

// One analysis that the simulator announced for a project.
struct SpiceAnalysisRecord {
    SpiceAnalysisRecord* link;
    uint32_t key;            // argument 1 of the message that announced it
    uint32_t stamp;          // argument 3
    uint16_t selectedGraph;  // 0 and 1: no graph; 2 and above: graph value - 2
    uint8_t graphRequest;    // set after a graph request while no graph is selected
    uint8_t reserved;
    Handle strings;          // entry data size 4: the name and id, then graph names and ids
};

// A project's analyses, and its current one (an index into the list, -1 for none).
struct SpiceAnalysisList {
    LinkListHeader* list;
    int32_t current;
};

SpiceAnalysisList* CreateSpiceAnalysisList();
void DestroySpiceAnalysisList(SpiceAnalysisList* analyses);
// The list's free procedure: frees the analysis's string list.
void FreeSpiceAnalysis(LinkListHeader* list, void* item, void* previous, uint32_t flag);
// Makes the project records create and free their analysis lists here.
void AddSpiceAnalysisServices(ProjectServices& services);

// The name (kSpiceStringTextSize bytes) of entry 0; empty for none.
void GetSpiceAnalysisName(const SpiceAnalysisRecord* analysis, char* text);
// The simulator's id of the analysis; 0 for none.
uint32_t GetSpiceAnalysisId(const SpiceAnalysisRecord* analysis);
int32_t CountSpiceAnalysisGraphs(const SpiceAnalysisRecord* analysis);
void GetSpiceAnalysisGraphName(const SpiceAnalysisRecord* analysis, int32_t index, char* text);
// 0 when out of range.
uint32_t GetSpiceAnalysisGraphId(const SpiceAnalysisRecord* analysis, int32_t index);
// The graph id of the selected graph (0 when none is selected).
uint32_t GetSpiceSelectedGraphId(const SpiceAnalysisRecord* analysis);

int32_t CountSpiceAnalyses(const ProjectRecord* project);
SpiceAnalysisRecord* GetSpiceAnalysis(const ProjectRecord* project, int32_t index);
SpiceAnalysisRecord* FindSpiceAnalysis(const ProjectRecord* project, uint32_t key);
// The project's current analysis, none when it has none.
SpiceAnalysisRecord* GetCurrentSpiceAnalysis(const ProjectRecord* project);
void SetCurrentSpiceAnalysis(ProjectRecord* project, int32_t index);

// Adds the analysis of an "AllA" or "AddA" message to the project, or updates the one with its
// key. 1 for a new analysis, 0 for an update, -1 when the message's list is unusable (not well
// formed, without entries, or not of entry data size 4) or memory ran out.
int32_t AddOrUpdateAnalysis(ProjectRecord* project, const SpiceMessageRecord* message);
void DeleteAnalysis(ProjectRecord* project, const SpiceMessageRecord* message);

// ---- What the exchange needs of the windows ----

struct SpiceSessionHooks {
    // Refreshes the simulator annotation of the project's sheets (InvalidateProjectSpiceAnalysis).
    void (*refreshSheets)(ProjectRecord* project, bool now) = nullptr;
    // The simulator tools of the project's front sheet show the analyses again.
    // Optional: only the sheet windows' simulator tool bar shows them; without it there is
    // nothing to update.
    void (*updateToolbar)(ProjectRecord* project) = nullptr;
    // The device-parameters window of the project reloads.
    void (*updateParameters)(ProjectRecord* project) = nullptr;
    // The running analysis of the tool bar: running, paused (project none: none runs).
    // Optional: the sheet windows' simulator tool bar keeps the running analysis; without it
    // nothing is kept.
    void (*setRunning)(ProjectRecord* project, uint32_t key, bool running, bool paused) = nullptr;
    // Whether the application is the active one.
    bool (*applicationActive)() = nullptr;
    // A message of the simulator shown to the user; none: a beep.
    void (*showMessage)(const char* text) = nullptr;
    // Sounds the alert beep. A program without windows stays quiet.
    void (*beep)() = nullptr;
    // The standard alert of a "Dlog" (title, message, explanation, two buttons); returns the
    // alert's answer.
    int32_t (*alert)(const std::vector<std::string>& strings) = nullptr;
    // The simulator said goodbye while the editor was its client: let the link's timer fire again
    // after that many milliseconds (it then resets the link).
    void (*rescheduleTimer)(uint32_t milliseconds) = nullptr;
};
void SetSpiceSessionHooks(const SpiceSessionHooks& hooks);
const SpiceSessionHooks& GetSpiceSessionHooks();

// After the link stopped: the running analysis is cleared, and every open project's analyses are
// dropped with its simulator tools updated.
void SpiceLinkStopped();
// Lets the link's stop and the simulator's goodbye reach this module and the link's timer (the
// link's `linkStopped`, the session's `rescheduleTimer`). Other hooks stay as they are.
void AddSpiceLinkServices(SpiceLinkHooks& link, SpiceSessionHooks& session);

// Handles one received message; messages of other types, and messages about a project that is
// not open, are ignored. The caller keeps the message.
void DispatchSpiceMessage(SpiceMessageRecord* message);

// ---- Requests and replies ----

// The text of a reply: "" when it is a usable answer with at least minEntries entries; else the
// error it carries (its strings joined), or kSpiceNoInformation.
std::string CheckSpiceReply(const SpiceMessageRecord* reply, int32_t minEntries);

// Sends a request with a string-list body of the strings and waits for its reply under `text`.
// None when it could not be sent, or the wait ended without a reply (*ok is 0 when the user
// cancelled).
SpiceMessageRecord* SpiceRequest(FourCharCode type, const ProjectRecord* project,
                                 uint32_t argument1, uint32_t argument2,
                                 const std::vector<std::string>& strings, const char* text,
                                 int32_t* ok);

// The simulator matches names without regard to case: the editor sends them in lower case.
std::string LowerSpiceName(std::string name);

// The name the simulator knows a sheet's signal by: the net of the project's simulator signal map
// for the instance (the signal's own name when the map has none), in lower case.
std::string MapSpiceSignalName(const ProjectRecord* project, uint32_t instanceId,
                               const char* signal);

// A node-value label of a sheet: the signal it shows, and the value it is to show.
struct SpiceNodeLabel {
    std::string signal;
    std::string value;
};
// Sets every label to "?", then asks the simulator for the voltages of the labels' mapped signal
// names (each name once) in the project's current analysis and gives each label the value of its
// name. With no labels nothing is sent. false when the user cancelled the wait.
bool RetrieveSpiceNodeValues(ProjectRecord* project, uint32_t instanceId,
                             std::vector<SpiceNodeLabel>* labels, const char* text);

// One device's "."-parameters: the device name and its parameters (names without the dot).
struct SpiceDeviceParameters {
    std::string device;
    std::vector<std::pair<std::string, std::string>> values;  // name, value
};
// Asks for the parameters of the devices (their names and parameter names) and returns, for each
// reply group, the device and its values; an error reply gives its text in *error.
bool RetrieveSpiceDeviceParameters(ProjectRecord* project,
                                   const std::vector<SpiceDeviceParameters>& request,
                                   std::vector<SpiceDeviceParameters>* reply, std::string* error);

// The parameter list of a device (kind 0 device, 1 model parameters); *error receives the text to
// show instead when there is no usable answer.
bool RetrieveSpiceParameterList(ProjectRecord* project, const char* device, uint16_t kind,
                                SpiceDeviceParameters* reply, std::string* error);

// Graphs a node voltage (add, or replace) or a pin current; true when sent. An analysis with no
// graph selected is marked as having asked for one.
bool GraphSpiceSignal(ProjectRecord* project, const char* mappedName, bool add);
bool GraphSpicePinCurrent(ProjectRecord* project, const char* device, const char* attribute,
                          bool add);

}  // namespace plexa
