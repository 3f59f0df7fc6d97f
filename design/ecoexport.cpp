// ECO export and back-annotation: the design state built from the netlist database, the export
// command's run, the comparison with an ECO file and the back-annotation run.
#include "design/ecoexport.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "design/annotate.h"
#include "design/designstate.h"
#include "design/ecodiff.h"
#include "design/ecostate.h"
#include "design/netlistdb.h"
#include "design/wasis.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/assert.h"
#include "foundation/datetime.h"
#include "foundation/ll.h"
#include "model/attributes.h"
#include "model/fieldexpand.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

ECOHooks gHooks;

constexpr OSStatus kNoMemory = -108;
constexpr const char* kFootprintAttribute = "Footprint";

void UpdateHierarchy(ProjectRecord* project, uint32_t reasons) {
    if (gHooks.updateHierarchy) gHooks.updateHierarchy(project, reasons);
    else UpdateProjectHierarchy(project, reasons);
}

void Alert(const char* text) {
    if (const auto alert = GetBackAnnotHooks().alert) alert(text);
}

void ShowMessage(const char* text) {
    if (const auto show = GetBackAnnotHooks().showMessage) show(text);
}

void Beep() {
    if (gHooks.beep) gHooks.beep();
}

bool ShowLog(const char* path, int16_t panel, bool modal) {
    return gHooks.showLog ? gHooks.showLog(path, panel, modal) : false;
}

// Reports a failed command's status: memory has its own message, -128 is silent.
void Report(OSStatus status) {
    if (!status || status == kUserCancelled) return;
    if (status == kNoMemory) Alert(kECOMemoryMessage);
    else if (gHooks.reportError) gHooks.reportError(status);
}

// The project's name: its file's name without ".PRX".
std::string ProjectName(const ProjectRecord* project) {
    std::string name = project->file.spec.name;
    if (name.size() > 4 && strcasecmp(name.c_str() + name.size() - 4, ".PRX") == 0) name.resize(name.size() - 4);
    return name;
}

std::string Spec(StringSpec spec, StringBlock block) {
    char text[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, text, sizeof text);
    return text;
}

// A footprint with at least three tab characters (empty stays empty).
std::string PadFootprint(std::string text) {
    if (text.empty()) return text;
    size_t tabs = 0;
    for (char c : text) tabs += c == '\t';
    for (; tabs < 3; ++tabs) text += '\t';
    return text;
}

// The row's i-th instance reference: the instance id and the symbol's serial.
void InstanceReference(const UnifiedDBRecord* db, const UDBCompEntry& row, uint16_t i, uint32_t reference[2]) {
    const uint8_t* refs = reinterpret_cast<const uint8_t*>(*GetUDBAttributeRun(db, row.attributes)) +
                          size_t(GetUDBAttributeCount(db, row.attributes)) * sizeof(AttributeRecord);
    std::memcpy(reference, refs + size_t(i) * 8, 8);
}

// The row's "Footprint" attribute as written (empty without one).
std::string FootprintAttribute(const UnifiedDBRecord* db, const UDBCompEntry& row) {
    const uint16_t count = GetUDBAttributeCount(db, row.attributes);
    if (!row.attributes || !count) return std::string();
    char value[kAttributeTextSize];
    GetAttributeValue(db->compStrings, GetUDBAttributeRun(db, row.attributes), 0, count,
                      kFootprintAttribute, value, nullptr);
    return value;
}

// "Footprint" attributes whose fields and expressions are expanded in the context of the first
// placed symbol of their row: that symbol's sheet in that symbol's instance.
struct FootprintExpansion {
    struct Wanted {
        uint32_t row;
        SheetInstance* instance;
        SheetSpec* spec;
        uint32_t serial;
    };
    std::vector<Wanted> wanted;
    std::map<uint32_t, std::string> expanded;  // by comp row
};

OSStatus ExpandFootprintsOfSheet(ProjectRecord* project, SheetNode*, bool, SheetSpec* spec, SheetRecord* sheet,
                                 void* data) {
    auto* expansion = static_cast<FootprintExpansion*>(data);
    if (!spec || !sheet) return status::kNoErr;
    ProjectRecord* keptProject = sheet->project;
    SheetInstance* keptInstance = sheet->hierarchyContext;
    bool changed = false;
    for (const FootprintExpansion::Wanted& w : expansion->wanted) {
        if (w.spec != spec) continue;
        SymbolRecord* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
        while (symbol && symbol->serial != w.serial) symbol = symbol->next;
        if (!symbol) continue;
        if (sheet->project != project || sheet->hierarchyContext != w.instance) {
            if (SetSheetContext(sheet, project, w.instance, false)) continue;
            changed = true;
        }
        DataContextChain* chain = BuildSymbolContextChain(BuildSheetContextChain(sheet, project), sheet, symbol, false);
        char value[kExpansionValueSize];
        if (chain && ExpandCtxChainValue(chain, kFootprintAttribute, value, sizeof value))
            expansion->expanded[w.row] = value;
        if (chain) DestroyDataCtxChain(chain);
    }
    if (changed) return SetSheetContext(sheet, keptProject, keptInstance, false);
    return status::kNoErr;
}

// Expands the "Footprint" attributes that hold fields, expressions or escapes; rows whose value
// is plain text keep it as it is.
OSStatus ExpandFootprints(ProjectRecord* project, const UnifiedDBRecord* db, std::map<uint32_t, std::string>* out) {
    FootprintExpansion expansion;
    for (uint32_t id = 0; id < db->comps.size(); ++id) {
        const UDBCompEntry& row = db->comps[id];
        if (!GetUDBInstanceRefCount(db, row.attributes) ||
            FootprintAttribute(db, row).find_first_of("{`\\") == std::string::npos)
            continue;
        uint32_t reference[2];
        InstanceReference(db, row, 0, reference);
        SheetInstance* instance = GetInstanceWithId(project, reference[0]);
        SheetNode* node = instance ? GetSheetNodeWithInstance(project, instance) : nullptr;
        if (node) expansion.wanted.push_back({id, instance, node->sheetSpec, reference[1]});
    }
    if (expansion.wanted.empty()) return status::kNoErr;
    const OSStatus st = ProcessHierarchySheets(project, nullptr, kWalkDescend, ExpandFootprintsOfSheet, nullptr,
                                               &expansion);
    *out = std::move(expansion.expanded);
    return st;
}

// The expanded value of the row's "Footprint" attribute, else its package's name.
std::string RowFootprint(const UnifiedDBRecord* db, uint32_t rowId, const UDBCompEntry& row,
                         const std::map<uint32_t, std::string>& expanded) {
    const auto it = expanded.find(rowId);
    std::string text = it != expanded.end() ? it->second : FootprintAttribute(db, row);
    if (!text.empty()) return text;
    char package[kUDBTextSize];
    GetUDBPackageName(db, row, package);
    return package;
}

// Legacy portable time (local, since 1904) of a global date-time value; 0 stays 0.
uint32_t RevisionTime(uint32_t latest) {
    if (!latest) return 0;
    const int32_t global = int32_t(latest);
    return VXLocalDateTimeToLegacyPortableTime(global + GlobalTimeDifferenceAt(global));
}

// The name of a comp row's part type (empty without one).
std::string PartName(const UnifiedDBRecord* db, const UDBCompEntry& row) {
    return row.partId < db->partTypes.size() ? Spec(db->partTypes[row.partId].name, db->pinStrings) : std::string();
}

// The design state's component rows: its designator, name and the database rows behind it.
void AddComponent(const UnifiedDBRecord* db, uint32_t rowId, const UDBCompEntry& row,
                  const std::map<uint32_t, std::string>& footprints, DesignStateRecord* state, bool* problem,
                  std::set<std::string>* pinsLogged) {
    char designator[kUDBTextSize];
    GetUDBRefDes(db, rowId, &row, true, designator);
    const std::string name = PartName(db, row);
    int32_t id = -1;
    if (!*problem) {
        id = AddECOCompText(state, designator, name.c_str());
        if (id < 0) return;
        const int32_t comp =
            AddECOComp(state, uint16_t(id), PadFootprint(RowFootprint(db, rowId, row, footprints)).c_str());
        if (row.attributes) {
            for (uint16_t i = 0, n = GetUDBInstanceRefCount(db, row.attributes); i < n; ++i) {
                uint32_t ref[2];
                InstanceReference(db, row, i, ref);
                const int32_t symbol = int32_t(ref[1]);
                AddECOCompMember(state, symbol < 0 ? 0xFFFFFFFFu : ref[0], symbol, comp);
            }
        }
    }
    // The pin table is in comp row order: the row's pins stand together.
    const auto first = std::partition_point(db->pins.begin(), db->pins.end(),
                                            [rowId](const UDBPinEntry& p) { return p.compRow < rowId; });
    const auto last =
        std::partition_point(first, db->pins.end(), [rowId](const UDBPinEntry& p) { return p.compRow == rowId; });
    for (auto at = first; at != last; ++at) {
        const UDBPinEntry& pin = *at;
        const UDBPinDef& def = GetUDBPinDef(db, pin);
        std::string number = Spec(def.number, db->pinStrings);
        if (number.empty()) number = Spec(def.name, db->pinStrings);
        if (pin.flags & kUDBPinMultiNet) {
            if (pinsLogged->insert(std::string(designator) + '\n' + number).second)
                LogDRCError(kECOPinTwiceText, (std::string(designator) + "  pin  " + number).c_str(), problem);
            continue;
        }
        if (*problem || id < 0 || pin.netId == kUDBNoNet) continue;
        char net[kUDBTextSize];
        if (!GetUDBNetName(db, pin.netId, nullptr, true, net)) continue;
        int32_t n = RetrieveECONet(state, net);
        if (n < 0) n = AddECONet(state, net);
        AddECONetMember(state, n, uint16_t(id), number.c_str());
    }
}

}  // namespace

bool& gECOPreviewFlag = gDesignState.ecoPreview;

void SetECOHooks(const ECOHooks& hooks) { gHooks = hooks; }
const ECOHooks& GetECOHooks() { return gHooks; }

void AddECOServices(ECOHooks& eco, BackAnnotHooks& back) {
    eco.updateHierarchy = [](ProjectRecord* project, uint32_t reasons) { UpdateProjectHierarchy(project, reasons); };
    back.resetOpenSheet = [](ProjectRecord* project, void* sheetSpec) {
        if (SheetRecord* sheet = StoreGetLoadedSheet(project, static_cast<SheetSpec*>(sheetSpec)))
            ResetSheetContext(project, sheet, 0);
    };
}

OSStatus BuildDesignState(ProjectRecord* project, uint16_t descentMask, DesignStateRecord* state,
                          bool* errorFlag) {
    bool problem = false;
    UpdateHierarchy(project, 9);
    ClearTreeDescentFlags(project);
    uint16_t limit = kSheetRankUnknown;
    if (project->settings.rankLimit >= 1 && project->settings.rankLimit <= 9998) {
        SetupSheetSpecRanks(project);
        limit = project->settings.rankLimit;
    }
    SetupTreeDescentFlags(project, descentMask, limit);

    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    const OSStatus status = CreateUnifiedDB(project, nullptr, kECOBuildFlags, &db);
    if (status) return status;
    PLEXA_ASSERT(std::is_sorted(db.pins.begin(), db.pins.end(),
                                [](const UDBPinEntry& a, const UDBPinEntry& b) { return a.compRow < b.compRow; }));
    state->revisionTime = RevisionTime(db.latestChange);
    std::map<uint32_t, std::string> footprints;
    if (const OSStatus st = ExpandFootprints(project, &db, &footprints)) {
        DestroyUnifiedDB(&db);
        return st;
    }

    std::set<std::string> netsLogged;
    for (uint32_t id : db.netOrder) {
        const UDBNetEntry& net = db.nets[id];
        if (!net.live || !(net.flags & kUDBNetConflict)) continue;
        char name[kUDBTextSize];
        GetUDBNetName(&db, int32_t(id), &net, true, name);
        if (netsLogged.insert(name).second) LogDRCError(kECONetTwiceText, name, &problem);
    }
    std::set<std::string> designatorsLogged, pinsLogged;
    for (uint32_t id : db.compOrder) {
        const UDBCompEntry& row = db.comps[id];
        if (row.flags & kUDBCompGenerated) {
            LogDRCError(kECONoRefDesText, PartName(&db, row).c_str(), &problem);
            continue;
        }
        if (row.flags & kUDBCompRepeated) {
            char designator[kUDBTextSize];
            GetUDBRefDes(&db, id, &row, true, designator);
            std::string key = designator;
            for (char& c : key) c = char(std::toupper(static_cast<unsigned char>(c)));
            if (designatorsLogged.insert(key).second) LogDRCError(kECORefDesTwiceText, designator, &problem);
            continue;
        }
        AddComponent(&db, id, row, footprints, state, &problem, &pinsLogged);
    }
    DestroyUnifiedDB(&db);
    if (problem && errorFlag) *errorFlag = true;
    return 0;
}

OSStatus ExportECOFile(ProjectRecord* project, const char* path) {
    if (!project) {
        Alert(kECONoProjectMessage);
        return kUserCancelled;
    }
    if (gHooks.synchFileSymbols) gHooks.synchFileSymbols(project);
    ShowMessage(kECOCreatingMessage);
    CreateECOLog();
    DesignStateRecord state;
    OSStatus status = InitDesignState(&state, kStateInitTexts);
    bool problem = false;
    if (!status) status = BuildDesignState(project, kECOExportDescentMask, &state, &problem);
    if (!status && problem) {
        // Nothing is written: an existing file keeps what it holds.
        ShowMessage("");
        ShowLog(path, kECOPanelExportProblems, false);
        EmptyDesignState(&state);
        return kUserCancelled;
    }
    DestroyECOLog();
    if (!status) {
        const uint32_t revision = state.revisionTime;
        SetDesignStateInfo(&state, ProjectName(project).c_str(), revision, kStateKindSchematic);
        status = WriteDesignStateFile(path, &state);
    }
    EmptyDesignState(&state);
    ShowMessage("");
    Report(status);
    return status;
}

OSStatus CreateWasIsFromECO(ProjectRecord* project, const char* ecoPath, std::string* wasIs) {
    wasIs->clear();
    DesignStateRecord current, file;
    auto finish = [&](OSStatus result) {
        EmptyDesignState(&current);
        EmptyDesignState(&file);
        return result;
    };
    OSStatus status = InitDesignState(&current, kStateInitTexts);
    if (!status) status = InitDesignState(&file, 0);
    if (!status) status = ReadDesignStateFile(ecoPath, &file, true);
    if (status) return finish(status);
    if (file.flags & kStateUnsynchronised) {
        Alert(kECOUnsynchronisedMessage);
        return finish(kUserCancelled);
    }
    bool preview = gECOPreviewFlag;
    const bool proceed = gHooks.importDialog ? gHooks.importDialog(WriteDesignStateInfo(&file), &preview) : true;
    gECOPreviewFlag = preview;
    if (!proceed) return finish(kUserCancelled);

    CreateECOLog();
    if (gHooks.synchFileSymbols) gHooks.synchFileSymbols(project);
    ShowMessage(kECOComparingMessage);
    bool problem = false;
    status = BuildDesignState(project, kECOCompareDescentMask, &current, &problem);
    ShowMessage("");
    bool logShown = false;
    auto end = [&](OSStatus result) {
        if (!logShown) DestroyECOLog();
        return finish(result);
    };
    if (status) return end(status);
    if (problem) {
        Beep();
        logShown = true;
        ShowLog(ecoPath, kECOPanelCompareProblems, false);
        return end(kUserCancelled);
    }
    status = ReadDesignStateFile(ecoPath, &file, false);
    if (status) return end(status);
    file.flags |= kStateSynchByName | kStateSynchByFootprint;
    DiffAnylise(&current, &file, false);
    LogAllDifferences(&current, &file);
    if (gECOLog.otherDifferences) {
        if (!gECOLog.hasLabelChanges && !gECOPreviewFlag) {
            Alert(kECONoChangesMessage);
            return end(kUserCancelled);
        }
        Beep();
        if (!ShowLog(ecoPath, kECOPanelDifferences, true)) return end(kUserCancelled);
    }
    if (gECOLog.hasLabelChanges) {
        if (gECOPreviewFlag && !gECOLog.otherDifferences && !ShowLog(ecoPath, kECOPanelPreview, true))
            return end(kUserCancelled);
        WasIsList list;
        CollectRelabels(&current, &list);
        *wasIs = WriteWasIsText(list);
        if (const auto busy = GetBackAnnotHooks().advanceBusy)
            for (size_t i = 0; i < list.entries.size(); ++i) busy();
        return end(0);
    }
    Alert(kECONoChangesMessage);
    return end(kUserCancelled);
}

OSStatus BackAnnotateFile(ProjectRecord* project, const char* path) {
    if (!project) {
        Alert(kECONoProjectMessage);
        return kUserCancelled;
    }
    std::string text;
    OSStatus status = 0;
    const bool eco = IsDesignStateFile(path) == 0;
    if (eco) {
        if (project->settings.annotationFlags & kAnnotationKeptInSheets) {
            UpdateHierarchy(project, 2);
            for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
                if (spec->nodeCount >= 2) {
                    Alert(kECOSharedAnnotationMessage);
                    return kUserCancelled;
                }
        }
        status = CreateWasIsFromECO(project, path, &text);
    } else {
        std::vector<uint8_t> bytes;
        status = ReadWholeFile(path, &bytes);
        text.assign(bytes.begin(), bytes.end());
    }
    WasIsList list;
    if (!status) status = LoadWasIsFile(text.data(), text.size(), &list);
    if (!status && !eco) {
        UpdateHierarchy(project, 9);
        ClearTreeDescentFlags(project);
        SetupTreeDescentFlags(project, kSubSheetAnnotationWalk, 0);
    }
    if (!status) {
        status = ApplyWasIsList(project, list);
        UpdateHierarchy(project, 1);
    }
    ShowMessage("");
    Report(status);
    return status;
}

}  // namespace plexa
