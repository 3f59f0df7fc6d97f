// The simulator's answers on the sheets: node-value labels, "."-attributes, device names and the
// refresh of a sheet's simulator annotation.
#include "design/simlink_sheet.h"

#include <algorithm>
#include <cstring>

#include "design/report_interp.h"
#include "design/simlink.h"
#include "design/simlink_netlist.h"
#include "design/simlink_session.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetstore.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"

namespace plexa {

namespace {

SpiceSheetHooks gSheetHooks;

uint32_t InstanceId(const SheetRecord* sheet) {
    return sheet && sheet->hierarchyContext ? sheet->hierarchyContext->id : 0;
}

bool IsDotName(const char* name) { return name[0] == '.' && name[1] != 0; }

// The "."-attributes of a run of attribute records (at `offset` in the handle) of the symbol
// (pin -1) or one of its pins: their names with the dot, and their records' indexes and name
// specs when asked.
std::vector<std::string> DotNames(const SheetRecord* sheet, Handle records, uint32_t offset,
                                  int32_t count, int16_t pin,
                                  std::vector<SpiceAnnotationAttribute>* items) {
    std::vector<std::string> names;
    char name[kAttributeTextSize];
    AttributeRecord raw{};
    for (int32_t i = 0; i < count; ++i) {
        GetIndexedAttribute(sheet->stringBlock, records, offset, i, name, nullptr, nullptr, &raw);
        if (!IsDotName(name)) continue;
        names.emplace_back(name);
        if (items) items->push_back({raw.name, int16_t(i), pin});
    }
    return names;
}

// The "."-attributes of a symbol, as DotNames.
std::vector<std::string> DotAttributes(const SheetRecord* sheet, const SymbolRecord* symbol,
                                       std::vector<SpiceAnnotationAttribute>* items = nullptr) {
    if (!symbol->attributes) return {};
    return DotNames(sheet, symbol->attributes, 0, symbol->attributeCount, -1, items);
}

// The pins of a component symbol's section, and the pin data of one of them (none when the pin
// has no data or the symbol is no component).
int32_t CountSymbolPins(const SymbolRecord* symbol) {
    if (!symbol->component) return 0;
    return CountCompSymbolPins(symbol->component, GetSymbolsPinSet(symbol),
                               symbol->kind.comp.symbol);
}
uint32_t SymbolPinDataId(const SymbolRecord* symbol, int32_t pin) {
    return GetCompSymbolPinDataId(symbol->component, GetSymbolsPinSet(symbol),
                                  symbol->kind.comp.symbol, pin);
}
Handle SymbolPinData(const SheetRecord* sheet, const SymbolRecord* symbol, int32_t pin) {
    const uint32_t id = SymbolPinDataId(symbol, pin);
    return id == kCompNoPinData ? nullptr : GetIndexedPinData(sheet->pinDataTable, int32_t(id));
}

// The "."-attributes of a pin's data, as DotNames.
std::vector<std::string> PinDotAttributes(const SheetRecord* sheet, const SymbolRecord* symbol,
                                          int32_t pin,
                                          std::vector<SpiceAnnotationAttribute>* items = nullptr) {
    Handle record = SymbolPinData(sheet, symbol, pin);
    if (!record || SizeOfHandle(record) < sizeof(PinDataRecord)) return {};
    PinDataRecord head{};
    std::memcpy(&head, *record, sizeof head);
    return DotNames(sheet, record, sizeof(PinDataRecord), head.attributeCount, int16_t(pin), items);
}

// Every "."-attribute name of the symbol and its pins, each once, the symbol's first.
std::vector<std::string> AllDotNames(const SheetRecord* sheet, const SymbolRecord* symbol) {
    std::vector<std::string> names = DotAttributes(sheet, symbol);
    for (int32_t pin = 0; pin < CountSymbolPins(symbol); ++pin)
        for (std::string& name : PinDotAttributes(sheet, symbol, pin))
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
    return names;
}

// Sets the values into the pins' data that carry those names. Pin data is shared through the
// sheet's pin table and components are shared between symbols, so the change is made on a copy
// of the symbol's component whose changed pins refer to new pin data; the copy is installed in
// the sheet (it becomes an identical component the sheet has, when there is one). The names the
// pins carry are returned.
std::vector<std::string> UpdatePinAnnotation(
    SheetRecord* sheet, SymbolRecord* symbol,
    const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::string> pinNames;
    const int32_t pins = CountSymbolPins(symbol);
    ComponentRecord* copy = nullptr;
    for (int32_t pin = 0; pin < pins; ++pin) {
        const std::vector<std::string> names = PinDotAttributes(sheet, symbol, pin);
        if (names.empty()) continue;
        Handle record = nullptr;
        for (const auto& [name, value] : values) {
            if (std::find(names.begin(), names.end(), name) == names.end()) continue;
            pinNames.push_back(name);
            const std::string wanted = value.empty() ? kAttributeEmptyValue : value;
            char current[kPinTextSize];
            GetPinDataAttribute(record ? record : SymbolPinData(sheet, symbol, pin),
                                sheet->stringBlock, name.c_str(), current);
            if (wanted == current) continue;
            if (!record) record = GetPinDataCopy(sheet->pinDataTable, int32_t(SymbolPinDataId(symbol, pin)));
            if (!record) break;
            SetPinDataAttribute(record, sheet->stringBlock, name.c_str(), wanted.c_str());
        }
        if (!record) continue;
        const int32_t id = AddPinDataToTable(sheet->pinDataTable, record);
        DestroyPinData(record);
        if (id < 0) continue;
        if (!copy) copy = DuplicateComponent(symbol->component);
        if (!copy) break;
        SetCompSymbolPinDataId(copy, GetSymbolsPinSet(symbol), symbol->kind.comp.symbol, pin,
                               uint32_t(id));
    }
    if (copy) {
        if (ComponentRecord* installed = InstallCompInSheet(sheet, copy)) symbol->component = installed;
        else FreeComponent(copy);
    }
    return pinNames;
}

void SetLabels(SheetRecord* sheet, const std::vector<TextRecord*>& labels,
               const std::vector<SpiceNodeLabel>& values) {
    for (size_t i = 0; i < labels.size() && i < values.size(); ++i)
        ChangeSheetText(sheet, labels[i], values[i].value.c_str(), nullptr);
}

std::string LabelSignalName(const SheetRecord* sheet, const TextRecord* label) {
    char name[kSignalNameSize];
    GetSignalName(reinterpret_cast<SignalHandle>(intptr_t(label->owner)), sheet->stringBlock, name);
    return name;
}

// Fetches the values of the labels under the text; false when the user cancelled.
bool FetchLabelValues(SheetRecord* sheet, const std::vector<TextRecord*>& labels,
                      const char* text) {
    if (labels.empty()) return true;
    std::vector<SpiceNodeLabel> values;
    for (TextRecord* label : labels) {
        values.push_back({LabelSignalName(sheet, label), kSpiceUnknownValue});
        ChangeSheetText(sheet, label, kSpiceUnknownValue, nullptr);
    }
    SetSheetModifiedStatus(sheet, kSpiceAnnotationModified);
    const bool ok = RetrieveSpiceNodeValues(sheet->project, InstanceId(sheet), &values, text);
    SetLabels(sheet, labels, values);
    if (gSheetHooks.redraw) gSheetHooks.redraw(sheet);
    return ok;
}

// The script runner of simulator netlists: the report interpreter.
OSStatus RunNetlistScript(ProjectRecord* project, Handle tokens, uint32_t rootInstance,
                          bool descend, uint16_t levelLimit, const char* bundleId,
                          std::string* output) {
    SheetInstance* root = rootInstance ? GetInstanceWithId(project, rootInstance) : nullptr;
    FileSpec written{};
    const OSStatus err = ExecuteReportScript(project, root, descend, levelLimit, tokens, bundleId,
                                             &project->netlistScript, &written);
    output->clear();
    char path[kSpiceCircuitPathSize];
    uint32_t needed = 0;
    if (written.name[0] &&
        PathNameFromFileSpec(&written, false, path, sizeof path, &needed) == status::kNoErr &&
        needed < sizeof path)
        output->assign(path, needed);
    return err;
}

}  // namespace

void SetSpiceSheetHooks(const SpiceSheetHooks& hooks) { gSheetHooks = hooks; }
const SpiceSheetHooks& GetSpiceSheetHooks() { return gSheetHooks; }

void AddSpiceSheetServices(SpiceSessionHooks& session, SpiceLinkHooks& link, ReportHooks& report,
                           SymbolTextHooks& texts) {
    session.refreshSheets = [](ProjectRecord* project, bool now) {
        InvalidateProjectSpiceAnalysis(project, GetCurrentSpiceAnalysis(project), now);
    };
    link.refreshMarkedSheets = RefreshMarkedSpiceSheets;
    link.dispatch = DispatchSpiceMessage;
    link.projectId = [](const ProjectRecord* p) { return p->projectId; };
    SetSpiceScriptRunner(RunNetlistScript);
    report.closeCircuit = [](const char* path) -> OSStatus {
        FileSpec file;
        if (FileSpecFromPathName(nullptr, path, &file) != status::kNoErr) return status::kNoErr;
        return CloseSpiceCircuit(&file);
    };
    texts.getSpiceAnnotationAttributes = GetSpiceAnnotationAttributes;
}

// ---- Device names ----

std::string GetSpiceSheetQualifier(ProjectRecord* project, SheetNode* node) {
    if (!project || !node) return {};
    if (!project->settings.qualifyDesignators && !(project->netlistFlags & kNetlistQualifiedAllLocal))
        return {};
    // Below the analysed root when the node lies under it.
    SheetNode* stop = nullptr;
    if (project->netlistRoot) {
        for (SheetNode* up = GetSheetNodeParent(node); up; up = GetSheetNodeParent(up))
            if (up->instance && up->instance->id == project->netlistRoot) stop = up;
    }
    char path[kSpiceQualifierLimit + 1];
    path[0] = 0;
    if (BuildSheetInstancePath(project, node, stop, nullptr, stop ? 0 : 1, path, kSpiceQualifierLimit) == 0)
        return {};
    return std::string(project->settings.separator) + path;
}

int32_t GetSpiceDeviceName(SheetRecord* sheet, SymbolRecord* symbol, const char* qualifier,
                           char* text) {
    text[0] = 0;
    if (!sheet || !symbol) return 0;
    ProjectRecord* project = sheet->project;
    if (project && !project->compMap && !project->noStoredMaps) (void)LoadProjectSpiceMaps(project);  // without the maps no device name is found
    char name[kSpiceDeviceNameSize] = {};
    if (!project || !project->compMap ||
        !GetSpiceCompMapRefDes(project->compMap, InstanceId(sheet), symbol->serial, name)) {
        if (symbol->component) {
            GetSymbolsDisplayDesignator(sheet, symbol, name);
        } else {
            GetSymbolRefName(symbol, sheet->stringBlock, name);
        }
    }
    if (name[0] == 0) return 0;
    std::string full = name;
    if (qualifier) {
        full += qualifier;
    } else if (project && sheet->hierarchyContext) {
        full += GetSpiceSheetQualifier(project,
                                       GetSheetNodeWithInstance(project, sheet->hierarchyContext));
    }
    full.resize(std::min<size_t>(full.size(), kSpiceDeviceNameSize - 1));
    std::memcpy(text, full.c_str(), full.size() + 1);
    return 1;
}

SymbolRecord* LookupSpiceDeviceSymbol(SheetRecord* sheet, const char* qualifier, const char* name) {
    if (!sheet || !name) return nullptr;
    const std::string wanted = LowerSpiceName(name);
    char device[kSpiceDeviceNameSize];
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        if (s->component && GetSpiceDeviceName(sheet, s, qualifier, device) &&
            LowerSpiceName(device) == wanted)
            return s;
    return nullptr;
}

bool GraphSpiceCurrent(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin, bool add) {
    if (!sheet || !symbol || !symbol->component || pin < 0 || pin >= CountSymbolPins(symbol))
        return false;
    const std::vector<std::string> names = PinDotAttributes(sheet, symbol, pin);
    char device[kSpiceDeviceNameSize];
    if (names.empty() || !GetSpiceDeviceName(sheet, symbol, nullptr, device)) return false;
    return GraphSpicePinCurrent(sheet->project, device, names[0].c_str(), add);
}

bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add) {
    if (!sheet || !sheet->project || !signal) return false;
    char name[kSignalNameSize];
    GetSignalName(signal, sheet->stringBlock, name);
    if (!name[0]) return false;
    return GraphSpiceSignal(sheet->project, MapSpiceSignalName(sheet->project, InstanceId(sheet), name).c_str(), add);
}

// ---- Annotation ----

std::vector<TextRecord*> CollectSheetNodeLabels(SheetRecord* sheet, SignalRecord** signal) {
    std::vector<TextRecord*> labels;
    if (!sheet) return labels;
    for (void* item = LLFirst(sheet->textList); item; item = LLGetNext(sheet->textList, item)) {
        auto* text = static_cast<TextRecord*>(item);
        if (text->kind != kTextKindSignal || !(text->flags & kLabelFlagHiddenPin) || !text->owner)
            continue;
        if (signal && text->owner != SignalOwnerWord(signal)) continue;
        labels.push_back(text);
    }
    return labels;
}

VXChunkyBlock GetSpiceAnnotationAttributes(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!sheet || !symbol) return nullptr;
    std::vector<SpiceAnnotationAttribute> items;
    DotAttributes(sheet, symbol, &items);
    for (int32_t pin = 0; pin < CountSymbolPins(symbol); ++pin)
        PinDotAttributes(sheet, symbol, pin, &items);
    if (items.empty()) return nullptr;
    VXChunkyBlock block = VXCreateChunkyBlock(nullptr, sizeof(SpiceAnnotationAttribute), 8, 0);
    if (!block) return nullptr;
    for (const SpiceAnnotationAttribute& item : items) {
        if (VXChunkyAdd(block, &item) < 0) {
            VXDestroyChunkyBlock(block);
            return nullptr;
        }
    }
    return block;
}

void UpdateSymbolSpiceAnnotation(SheetRecord* sheet, SymbolRecord* symbol,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
    if (!sheet || !symbol || values.empty()) return;
    const std::vector<std::string> onPins = UpdatePinAnnotation(sheet, symbol, values);
    const std::vector<std::string> onSymbol = DotAttributes(sheet, symbol);
    for (const auto& [name, value] : values) {
        // A name that only pins carry stays off the symbol.
        if (std::find(onPins.begin(), onPins.end(), name) != onPins.end() &&
            std::find(onSymbol.begin(), onSymbol.end(), name) == onSymbol.end())
            continue;
        SetSymbolAttribute(symbol, sheet->stringBlock, name.c_str(),
                           value.empty() ? kAttributeEmptyValue : value.c_str(), nullptr);
    }
    RebuildMacroizedText(sheet, symbol, nullptr);
}

void ResetSymbolSpiceAnnotation(SheetRecord* sheet, SymbolRecord* symbol) {
    std::vector<std::pair<std::string, std::string>> values;
    if (!sheet || !symbol) return;
    for (std::string& name : AllDotNames(sheet, symbol))
        values.emplace_back(std::move(name), kSpiceUnknownValue);
    UpdateSymbolSpiceAnnotation(sheet, symbol, values);
}

void ResetSheetSpiceAnnotation(SheetRecord* sheet) {
    if (!sheet) return;
    for (TextRecord* label : CollectSheetNodeLabels(sheet, nullptr))
        ChangeSheetText(sheet, label, kSpiceUnknownValue, nullptr);
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        ResetSymbolSpiceAnnotation(sheet, s);
}

void Retrieve1SheetNodeValue(SheetRecord* sheet, SignalRecord** signal) {
    if (!sheet || !signal) return;
    FetchLabelValues(sheet, CollectSheetNodeLabels(sheet, signal), "Retrieving node value...");
}

bool RetrieveSheetNodeValues(SheetRecord* sheet) {
    if (!sheet) return true;
    return FetchLabelValues(sheet, CollectSheetNodeLabels(sheet, nullptr),
                            "Updating node values...");
}

void RetrieveSheetDeviceParameters(SheetRecord* sheet) {
    if (!sheet) return;
    std::vector<SpiceDeviceParameters> request;
    std::vector<SymbolRecord*> symbols;
    char device[kSpiceDeviceNameSize];
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        const std::vector<std::string> names = AllDotNames(sheet, s);
        if (names.empty() || !GetSpiceDeviceName(sheet, s, nullptr, device)) continue;
        SpiceDeviceParameters entry{device, {}};
        for (const std::string& name : names) entry.values.emplace_back(name.substr(1), "");
        request.push_back(std::move(entry));
        symbols.push_back(s);
    }
    std::vector<SpiceDeviceParameters> reply;
    std::string error;
    if (request.empty() || !RetrieveSpiceDeviceParameters(sheet->project, request, &reply, &error))
        return;
    bool changed = false;
    for (const SpiceDeviceParameters& group : reply) {
        for (size_t i = 0; i < request.size(); ++i) {
            if (LowerSpiceName(request[i].device) != LowerSpiceName(group.device)) continue;
            std::vector<std::pair<std::string, std::string>> values;
            for (const auto& [name, value] : group.values) values.emplace_back("." + name, value);
            UpdateSymbolSpiceAnnotation(sheet, symbols[i], values);
            changed = true;
        }
    }
    if (changed) SetSheetModifiedStatus(sheet, kSpiceAnnotationModified);
    if (gSheetHooks.redraw) gSheetHooks.redraw(sheet);
}

void RetrieveSheetSpiceAnnotation(SheetRecord* sheet) {
    if (!sheet) return;
    const uint8_t wasModified = sheet->modifiedFlags & kSheetModifiedContent;
    ResetSheetSpiceAnnotation(sheet);
    ProjectRecord* project = sheet->project;
    const uint32_t root = project ? project->netlistRoot : 0;
    const SheetInstance* instance = sheet->hierarchyContext;
    const bool covered = root == 0 || (instance && (instance->id == root ||
                                                    IsDescendantInstance(project, instance, root)));
    if (GetCurrentSpiceAnalysis(project) && covered && RetrieveSheetNodeValues(sheet))
        RetrieveSheetDeviceParameters(sheet);
    sheet->modifiedFlags &= uint8_t(~kSheetModifiedSimulatorAnnotation);
    if (!wasModified) sheet->modifiedFlags &= uint8_t(~kSheetModifiedContent);
    if (gSheetHooks.redraw) gSheetHooks.redraw(sheet);
}

void InvalidateProjectSpiceAnalysis(ProjectRecord* project, SpiceAnalysisRecord* analysis,
                                    bool now) {
    if (!project || !analysis || analysis != GetCurrentSpiceAnalysis(project)) return;
    std::vector<SheetRecord*> sheets;
    if (gSheetHooks.visibleSheets) sheets = gSheetHooks.visibleSheets(project);
    SheetRecord* front = gSheetHooks.frontSheet ? gSheetHooks.frontSheet() : nullptr;
    for (SheetRecord* sheet : sheets) {
        if (sheet->project != project) continue;
        if (now && sheet == front) RetrieveSheetSpiceAnnotation(sheet);
        else sheet->modifiedFlags |= kSheetModifiedSimulatorAnnotation;
    }
}

void RefreshMarkedSpiceSheets() {
    if (!gSheetHooks.visibleSheets) return;
    for (ProjectRecord* project = gProjectList; project; project = project->next)
        for (SheetRecord* sheet : gSheetHooks.visibleSheets(project))
            if (sheet->modifiedFlags & kSheetModifiedSimulatorAnnotation)
                RetrieveSheetSpiceAnnotation(sheet);
}

}  // namespace plexa
