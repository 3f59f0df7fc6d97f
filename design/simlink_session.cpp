// The exchange with the simulator: analyses, the dispatcher of received messages, and the
// editor's requests with their replies.
#include "design/simlink_session.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "design/simlink.h"
#include "design/simlink_netlist.h"
#include "design/simlink_strings.h"
#include "files/project.h"
#include "foundation/da.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/socket.h"

namespace plexa {

namespace {

SpiceSessionHooks gSessionHooks;

// "Cmpl" status values (after masking with 126).
constexpr uint32_t kStatusMask = 126;
constexpr uint32_t kStatusPaused = 2;
constexpr uint32_t kStatusRunning = 10;
constexpr uint32_t kGoodbyeDelay = 800;
// Fewest entries of a usable reply.
constexpr int32_t kNodeValueReplyEntries = 2;
constexpr int32_t kReplyEntries = 3;

bool EqualNoCase(const std::string& a, const std::string& b) {
    return LowerSpiceName(a) == LowerSpiceName(b);
}

// Whether the message has a well-formed string-list body.
bool HasStringListBody(const SpiceMessageRecord* message) {
    if (!message || !message->body || message->raw) return false;
    return CheckSpiceStringList(reinterpret_cast<const uint8_t*>(*message->body),
                                SizeOfHandle(message->body), false) == status::kNoErr;
}

// The entries of a string-list body; false when there is no body or it is not well formed.
bool BodyStrings(const SpiceMessageRecord* message, std::vector<std::string>* strings) {
    strings->clear();
    if (!HasStringListBody(message)) return false;
    const int32_t count = CountSpiceStringListItems(message->body);
    char text[kSpiceStringTextSize];
    for (int32_t i = 0; i < count; ++i) {
        (void)GetSpiceStringListEntry(message->body, i, text, nullptr);  // a missing entry reads as empty
        strings->emplace_back(text);
    }
    return true;
}

// A string list of the strings (entry data size 0); none when out of memory.
Handle StringListOf(const std::vector<std::string>& strings) {
    Handle list = CreateSpiceStringList(0);
    if (!list) return nullptr;
    for (const std::string& s : strings) {
        if (AddSpiceStringListEntry(list, s.c_str(), nullptr) != status::kNoErr) {
            DestroySpiceStringList(list);
            return nullptr;
        }
    }
    return list;
}

SpiceMessageRecord* MessageWithStrings(FourCharCode type, const ProjectRecord* project,
                                       uint32_t argument1, uint32_t argument2,
                                       const std::vector<std::string>& strings) {
    Handle list = strings.empty() ? nullptr : StringListOf(strings);
    if (!strings.empty() && !list) return nullptr;
    SpiceMessageRecord* message =
        BuildSpiceMessage(type, project, argument1, argument2, 0, 0, false, list ? *list : nullptr,
                          list ? SizeOfHandle(list) : 0);
    if (list) DestroySpiceStringList(list);
    return message;
}

// Sends a reply to a received message, keeping its number.
void Reply(const SpiceMessageRecord* request, const ProjectRecord* project, uint32_t argument1,
           uint32_t argument2, const std::vector<std::string>& strings) {
    SpiceMessageRecord* reply =
        MessageWithStrings(request->type, project, argument1, argument2, strings);
    if (!reply) return;
    reply->projectId = request->projectId;
    reply->number = request->number;
    TransmitSpiceMessage(reply, false);
    DestroySpiceMessage(reply);
}

void Refresh(ProjectRecord* project, bool now) {
    if (gSessionHooks.refreshSheets) gSessionHooks.refreshSheets(project, now);
}
void UpdateToolbar(ProjectRecord* project) {
    if (gSessionHooks.updateToolbar) gSessionHooks.updateToolbar(project);
}

void HandleCompleted(ProjectRecord* project, const SpiceMessageRecord* message) {
    uint32_t status = message->arguments[1];
    if (!FindSpiceAnalysis(project, message->arguments[0])) status = 1;
    const uint32_t state = status & kStatusMask;
    const bool running = state == kStatusPaused || state == kStatusRunning;
    if (gSessionHooks.setRunning)
        gSessionHooks.setRunning(project, message->arguments[0], running, state == kStatusPaused);
    if ((status & 1) == 0 && state != kStatusRunning) {
        Refresh(project, true);
        if (gSessionHooks.updateParameters) gSessionHooks.updateParameters(project);
    }
    if ((status == 1 || status == 4 || status == 5) && gSessionHooks.applicationActive &&
        gSessionHooks.applicationActive()) {
        std::vector<std::string> strings;
        if (BodyStrings(message, &strings) && !strings.empty() && gSessionHooks.showMessage)
            gSessionHooks.showMessage(strings[0].c_str());
        else if (gSessionHooks.beep)
            gSessionHooks.beep();
    }
    UpdateToolbar(project);
}

void HandleNetlistStale(ProjectRecord* project, const SpiceMessageRecord* message) {
    // The last-netlist time is cleared whenever a sheet of the project changes.
    if (project->settings.lastNetlistTime != 0) {
        Reply(message, project, 0, 0, {});
        return;
    }
    std::string text;
    if (RegenerateSpiceNetList(project, message->arguments[0], false, &text) == 1)
        Reply(message, project, 1, 0, {});
    else
        Reply(message, project, 2, 0, {text});
}

void HandleDialog(const SpiceMessageRecord* message, ProjectRecord* project) {
    std::vector<std::string> strings;
    BodyStrings(message, &strings);
    strings.resize(std::max<size_t>(strings.size(), 5));
    const int32_t answer = gSessionHooks.alert ? gSessionHooks.alert(strings) : 1;
    if (message->arguments[1] != 0) Reply(message, project, 0, uint32_t(answer - 1), {});
}

void HandleGoodbye() {
    if (!gSpiceSocket || gServerMode || gSpiceSocket->state != kSocketStateConnected) return;
    // Unread input is dropped with the socket; the timer then resets the link.
    (void)SocketFlushReceive(gSpiceSocket, nullptr);  // the socket goes anyway
    (void)SocketClose(gSpiceSocket, kSocketCloseBoth);  // the socket goes anyway
    LLDispose(gSpiceInputQueue, true);
    gSpiceInputQueue = nullptr;
    if (gSessionHooks.rescheduleTimer) gSessionHooks.rescheduleTimer(kGoodbyeDelay);
}

}  // namespace

std::string LowerSpiceName(std::string name) {
    for (char& c : name) c = char(std::tolower(uint8_t(c)));
    return name;
}

void SetSpiceSessionHooks(const SpiceSessionHooks& hooks) { gSessionHooks = hooks; }
const SpiceSessionHooks& GetSpiceSessionHooks() { return gSessionHooks; }

void SpiceLinkStopped() {
    if (gSessionHooks.setRunning) gSessionHooks.setRunning(nullptr, 0, false, false);
    for (ProjectRecord* project = gProjectList; project; project = project->next) {
        if (!project->analyses) continue;
        LLRemoveOrFreeAll(project->analyses->list, true);
        project->analyses->current = -1;
        UpdateToolbar(project);
    }
}

void AddSpiceLinkServices(SpiceLinkHooks& link, SpiceSessionHooks& session) {
    link.linkStopped = SpiceLinkStopped;
    session.rescheduleTimer = RescheduleSpiceLinkTimer;
}

// ---- Analyses ----

SpiceAnalysisList* CreateSpiceAnalysisList() {
    auto* analyses =
        reinterpret_cast<SpiceAnalysisList*>(AllocPtrClear(nullptr, sizeof(SpiceAnalysisList)));
    if (!analyses) return nullptr;
    analyses->list = LLCreate(nullptr, sizeof(SpiceAnalysisRecord), 0);
    if (!analyses->list) {
        MemFreePtr(analyses);
        return nullptr;
    }
    LLSetFreeProc(analyses->list, FreeSpiceAnalysis);
    analyses->current = -1;
    return analyses;
}

void DestroySpiceAnalysisList(SpiceAnalysisList* analyses) {
    if (!analyses) return;
    LLDispose(analyses->list, true);
    MemFreePtr(analyses);
}

void FreeSpiceAnalysis(LinkListHeader*, void* item, void*, uint32_t) {
    auto* analysis = static_cast<SpiceAnalysisRecord*>(item);
    if (analysis && analysis->strings) {
        DestroySpiceStringList(analysis->strings);
        analysis->strings = nullptr;
    }
}

void AddSpiceAnalysisServices(ProjectServices& services) {
    services.createAnalyses = CreateSpiceAnalysisList;
    services.destroyAnalyses = DestroySpiceAnalysisList;
}

void GetSpiceAnalysisName(const SpiceAnalysisRecord* analysis, char* text) {
    text[0] = 0;
    if (analysis) (void)GetSpiceStringListEntry(analysis->strings, 0, text, nullptr);  // a missing entry reads as empty
}

uint32_t GetSpiceAnalysisId(const SpiceAnalysisRecord* analysis) {
    uint32_t id = 0;
    if (analysis && GetSpiceStringListEntry(analysis->strings, 0, nullptr, &id) != status::kNoErr)
        id = 0;
    return id;
}

int32_t CountSpiceAnalysisGraphs(const SpiceAnalysisRecord* analysis) {
    return analysis ? std::max(CountSpiceStringListItems(analysis->strings) - 1, 0) : 0;
}

void GetSpiceAnalysisGraphName(const SpiceAnalysisRecord* analysis, int32_t index, char* text) {
    text[0] = 0;
    if (analysis && index >= 0 && index < CountSpiceAnalysisGraphs(analysis))
        (void)GetSpiceStringListEntry(analysis->strings, index + 1, text, nullptr);  // a missing entry reads as empty
}

uint32_t GetSpiceAnalysisGraphId(const SpiceAnalysisRecord* analysis, int32_t index) {
    uint32_t id = 0;
    if (!analysis || index < 0 || index >= CountSpiceAnalysisGraphs(analysis)) return 0;
    if (GetSpiceStringListEntry(analysis->strings, index + 1, nullptr, &id) != status::kNoErr)
        return 0;
    return id;
}

uint32_t GetSpiceSelectedGraphId(const SpiceAnalysisRecord* analysis) {
    if (!analysis || analysis->selectedGraph < 2) return 0;
    return GetSpiceAnalysisGraphId(analysis, analysis->selectedGraph - 2);
}

int32_t CountSpiceAnalyses(const ProjectRecord* project) {
    return project && project->analyses ? int32_t(project->analyses->list->count) : 0;
}

SpiceAnalysisRecord* GetSpiceAnalysis(const ProjectRecord* project, int32_t index) {
    if (!project || !project->analyses || index < 0) return nullptr;
    return static_cast<SpiceAnalysisRecord*>(
        LLGetIndexedLink(project->analyses->list, uint32_t(index)));
}

SpiceAnalysisRecord* FindSpiceAnalysis(const ProjectRecord* project, uint32_t key) {
    if (!project || !project->analyses) return nullptr;
    for (void* item = LLFirst(project->analyses->list); item;
         item = LLGetNext(project->analyses->list, item)) {
        auto* analysis = static_cast<SpiceAnalysisRecord*>(item);
        if (analysis->key == key) return analysis;
    }
    return nullptr;
}

SpiceAnalysisRecord* GetCurrentSpiceAnalysis(const ProjectRecord* project) {
    return project && project->analyses ? GetSpiceAnalysis(project, project->analyses->current)
                                        : nullptr;
}

void SetCurrentSpiceAnalysis(ProjectRecord* project, int32_t index) {
    if (project && project->analyses)
        project->analyses->current = index >= 0 && index < CountSpiceAnalyses(project) ? index : -1;
}

int32_t AddOrUpdateAnalysis(ProjectRecord* project, const SpiceMessageRecord* message) {
    if (!project || !project->analyses || !HasStringListBody(message) ||
        GetSpiceStringListEntryDataSize(message->body) != 4 ||
        CountSpiceStringListItems(message->body) < 1)
        return -1;
    Handle strings = CloneHandle(nullptr, message->body);
    if (!strings) return -1;
    SpiceAnalysisRecord* analysis = FindSpiceAnalysis(project, message->arguments[0]);
    if (analysis) {
        DestroySpiceStringList(analysis->strings);
        analysis->strings = strings;
        if (analysis->selectedGraph >= 2 &&
            analysis->selectedGraph - 2 >= CountSpiceAnalysisGraphs(analysis))
            analysis->selectedGraph = 0;
        const bool changed = analysis->stamp != message->arguments[2];
        analysis->stamp = message->arguments[2];
        if (changed) Refresh(project, false);
        UpdateToolbar(project);
        return 0;
    }
    analysis = static_cast<SpiceAnalysisRecord*>(LLAlloc(project->analyses->list));
    if (!analysis) {
        DestroySpiceStringList(strings);
        return -1;
    }
    std::memset(analysis, 0, sizeof *analysis);
    analysis->key = message->arguments[0];
    analysis->stamp = message->arguments[2];
    analysis->strings = strings;
    LLAppend(project->analyses->list, analysis);
    if (project->analyses->current < 0) project->analyses->current = 0;
    Refresh(project, false);
    UpdateToolbar(project);
    return 1;
}

void DeleteAnalysis(ProjectRecord* project, const SpiceMessageRecord* message) {
    SpiceAnalysisRecord* analysis = FindSpiceAnalysis(project, message->arguments[0]);
    if (!analysis) return;
    SpiceAnalysisList* analyses = project->analyses;
    const int32_t index = LLGetLinkPosition(analyses->list, analysis);
    LLRemoveOrFree(analyses->list, analysis, nullptr, true);
    if (analyses->current == index) analyses->current = CountSpiceAnalyses(project) ? 0 : -1;
    else if (analyses->current > index) --analyses->current;
    Refresh(project, false);
    UpdateToolbar(project);
}

// ---- Dispatch ----

void DispatchSpiceMessage(SpiceMessageRecord* message) {
    if (!message) return;
    if (message->type == kSpiceEndConnection) {
        HandleGoodbye();
        return;
    }
    ProjectRecord* project = GetSpiceProject(message->projectId);
    if (!project) return;
    switch (message->type) {
        case kSpiceUpdateAllAnalyses:
        case kSpiceAddAnalysis:
            AddOrUpdateAnalysis(project, message);
            break;
        case kSpiceDeleteAnalysis:
            DeleteAnalysis(project, message);
            break;
        case kSpiceCompleted:
            HandleCompleted(project, message);
            break;
        case kSpiceNetlistStale:
            HandleNetlistStale(project, message);
            break;
        case kSpiceDialog:
            HandleDialog(message, project);
            break;
        default:
            break;
    }
}

// ---- Requests and replies ----

std::string CheckSpiceReply(const SpiceMessageRecord* reply, int32_t minEntries) {
    std::vector<std::string> strings;
    const bool usable = BodyStrings(reply, &strings);
    if (reply && reply->arguments[1] != 0) {
        std::string text;
        for (const std::string& s : strings) text += s;
        return text.empty() ? kSpiceNoInformation : text;
    }
    if (!usable || int32_t(strings.size()) < minEntries) return kSpiceNoInformation;
    return std::string();
}

SpiceMessageRecord* SpiceRequest(FourCharCode type, const ProjectRecord* project,
                                 uint32_t argument1, uint32_t argument2,
                                 const std::vector<std::string>& strings, const char* text,
                                 int32_t* ok) {
    if (ok) *ok = 1;
    SpiceMessageRecord* request = MessageWithStrings(type, project, argument1, argument2, strings);
    if (!request) return nullptr;
    const uint32_t number = TransmitSpiceMessage(request, true);
    DestroySpiceMessage(request);
    if (number == 0) return nullptr;
    return WaitReceiveSpiceMessage(type, number, kSpiceReplyTicks, text, ok);
}

std::string MapSpiceSignalName(const ProjectRecord* project, uint32_t instanceId,
                               const char* signal) {
    std::string name = signal ? signal : "";
    if (project && project->signalMap) {
        SpiceSignalMapEntry entry;
        char text[65];
        for (int32_t i = 0; i < DACount(project->signalMap); ++i) {
            if (!DAGet(project->signalMap, i, &entry) || uint32_t(entry.key) != instanceId)
                continue;
            if (entry.netName == kSignalMapBuilding) continue;
            ExtractSignalMapSignalName(project->signalMap, entry.name, text);
            if (!EqualNoCase(text, name)) continue;
            ExtractSignalMapSignalName(project->signalMap, entry.netName, text);
            if (text[0]) name = text;
            break;
        }
    }
    return LowerSpiceName(name);
}

bool RetrieveSpiceNodeValues(ProjectRecord* project, uint32_t instanceId,
                             std::vector<SpiceNodeLabel>* labels, const char* text) {
    std::vector<std::string> names;
    std::vector<std::string> mapped;
    for (SpiceNodeLabel& label : *labels) {
        label.value = "?";
        mapped.push_back(MapSpiceSignalName(project, instanceId, label.signal.c_str()));
        if (std::find(names.begin(), names.end(), mapped.back()) == names.end())
            names.push_back(mapped.back());
    }
    if (names.empty()) return true;
    int32_t ok = 1;
    SpiceMessageRecord* reply =
        SpiceRequest(kSpiceNodeValues, project, GetSpiceAnalysisId(GetCurrentSpiceAnalysis(project)),
                     0, names, text, &ok);
    if (!reply) return ok != 0;
    const std::string error = CheckSpiceReply(reply, kNodeValueReplyEntries);
    std::vector<std::string> strings;
    BodyStrings(reply, &strings);
    DestroySpiceMessage(reply);
    for (size_t i = 0; i < labels->size(); ++i) {
        if (!error.empty()) {
            (*labels)[i].value = error;
            continue;
        }
        for (size_t k = 0; k + 1 < strings.size(); k += 2) {
            if (EqualNoCase(strings[k], mapped[i])) {
                (*labels)[i].value = strings[k + 1];
                break;
            }
        }
    }
    return true;
}

bool RetrieveSpiceDeviceParameters(ProjectRecord* project,
                                   const std::vector<SpiceDeviceParameters>& request,
                                   std::vector<SpiceDeviceParameters>* reply, std::string* error) {
    reply->clear();
    error->clear();
    std::vector<std::string> strings;
    for (const SpiceDeviceParameters& device : request) {
        strings.push_back(LowerSpiceName(device.device));
        for (const auto& value : device.values) strings.push_back(LowerSpiceName(value.first));
        strings.emplace_back();
    }
    if (strings.size() <= 2) return true;
    int32_t ok = 1;
    SpiceMessageRecord* answer =
        SpiceRequest(kSpiceDeviceParameters, project,
                     GetSpiceAnalysisId(GetCurrentSpiceAnalysis(project)), 0, strings,
                     "Updating device parameters...", &ok);
    if (!answer) return ok != 0;
    *error = CheckSpiceReply(answer, kReplyEntries);
    BodyStrings(answer, &strings);
    DestroySpiceMessage(answer);
    if (!error->empty()) return true;
    // Groups: device, name, value, ..., empty string.
    size_t at = 0;
    while (strings.size() - at > 2) {
        SpiceDeviceParameters group;
        group.device = strings[at++];
        while (at + 1 < strings.size() && !strings[at].empty()) {
            group.values.emplace_back(strings[at], strings[at + 1]);
            at += 2;
        }
        while (at < strings.size() && !strings[at].empty()) ++at;  // a name without a value
        if (at < strings.size()) ++at;                             // the empty string
        reply->push_back(std::move(group));
    }
    return true;
}

bool RetrieveSpiceParameterList(ProjectRecord* project, const char* device, uint16_t kind,
                                SpiceDeviceParameters* reply, std::string* error) {
    reply->device = device ? device : "";
    reply->values.clear();
    int32_t ok = 1;
    SpiceMessageRecord* answer =
        SpiceRequest(kSpiceParameterList, project,
                     GetSpiceAnalysisId(GetCurrentSpiceAnalysis(project)), kind,
                     {LowerSpiceName(reply->device)}, "Requesting device parameters...", &ok);
    if (!answer) {
        *error = kSpiceNoInformation;
        return ok != 0;
    }
    *error = CheckSpiceReply(answer, kReplyEntries);
    std::vector<std::string> strings;
    BodyStrings(answer, &strings);
    DestroySpiceMessage(answer);
    if (error->empty())
        for (size_t k = 1; k + 1 < strings.size(); k += 2)
            reply->values.emplace_back(strings[k], strings[k + 1]);
    return true;
}

namespace {

bool SendGraph(ProjectRecord* project, FourCharCode type, const std::vector<std::string>& body) {
    SpiceAnalysisRecord* analysis = GetCurrentSpiceAnalysis(project);
    SpiceMessageRecord* message =
        MessageWithStrings(type, project, GetSpiceAnalysisId(analysis),
                           GetSpiceSelectedGraphId(analysis), body);
    if (!message) return false;
    const bool sent = TransmitSpiceMessage(message, true) != 0;
    DestroySpiceMessage(message);
    if (sent && analysis && analysis->selectedGraph < 2) analysis->graphRequest = 1;
    return sent;
}

}  // namespace

bool GraphSpiceSignal(ProjectRecord* project, const char* mappedName, bool add) {
    return SendGraph(project, add ? kSpiceAddGraph : kSpiceReplaceGraph,
                     {LowerSpiceName(mappedName)});
}

bool GraphSpicePinCurrent(ProjectRecord* project, const char* device, const char* attribute,
                          bool add) {
    std::string name = attribute ? attribute : "";
    if (!name.empty() && name[0] == '.') name.erase(0, 1);
    return SendGraph(project, add ? kSpiceAddCurrentGraph : kSpiceReplaceCurrentGraph,
                     {LowerSpiceName(device ? device : ""), LowerSpiceName(name)});
}

}  // namespace plexa
