// The report interpreter's items: building the netlist database for a run, the item contexts
// through which scripts read the fields and attributes of the component, net, pin, sheet, port,
// hierarchy node and attribute being visited, the sort maps that order the visits, the traversal
// of hierarchy instances, and the loops themselves.
//
// Contexts form a stack (rpt.contexts, innermost last). Visiting an item pushes its contexts and
// the visit ends by cutting the stack back to where it was, which pops the item's own contexts
// with the continuations pushed beneath them (its sheet, a port's net).
//
// Sort maps are stable: rows whose keys compare equal keep the table's order, so a loop without
// BY keys follows the table and ties never change from run to run.
#include <algorithm>
#include <cstring>
#include <ctime>

#include "design/netlistdb.h"
#include "design/report_compiler.h"
#include "design/report_internal.h"
#include "design/report_tokens.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/datetime.h"
#include "foundation/dirspec.h"
#include "foundation/hash.h"
#include "foundation/ll.h"
#include "foundation/filespec.h"
#include "foundation/signals.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr uint16_t kFlagsNoCompAttributes = 0x002, kFlagsNoNets = 0x004, kFlagsNoPins = 0x008;
constexpr uint16_t kFlagsModular = 0x040, kFlagsSimulatorMaps = 0x080, kFlagsQualifyAll = 0x100;
constexpr uint16_t kFlagsNoGrouping = 0x200, kFlagsGraphics = 0x400;

std::string Bool(bool on) { return on ? "1" : "0"; }
std::string Number(int64_t v) { return std::to_string(v); }

std::string Spec(StringSpec spec, StringBlock block) {
    if (!spec || !block) return std::string();
    char text[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, text, sizeof text);
    return text;
}

UnifiedDBRecord* DB(ReportState& rpt) { return rpt.db; }

// ---- The attribute runs of items ----

struct AttributeRun {
    StringBlock block = nullptr;
    Handle handle = nullptr;
    uint32_t offset = 0;
    int32_t count = 0;
};

AttributeRun RunOf(ReportState& rpt, const RptContext& c) {
    AttributeRun run;
    UnifiedDBRecord* db = DB(rpt);
    switch (c.kind) {
        case RptCtx::kCompAttributes: {
            const UDBCompEntry& r = db->comps[size_t(c.item)];
            run = {db->compStrings, GetUDBAttributeRun(db, r.attributes), 0, GetUDBAttributeCount(db, r.attributes)};
            break;
        }
        case RptCtx::kNetAttributes: {
            const UDBNetEntry& n = db->nets[size_t(c.item)];
            run = {db->netStrings, GetUDBAttributeRun(db, n.attributes), 0, GetUDBAttributeCount(db, n.attributes)};
            break;
        }
        case RptCtx::kSheetAttributes: {
            const UDBSheetEntry& s = db->sheets[size_t(c.item)];
            run = {db->netStrings, s.attributes, 0, s.attributeCount};
            break;
        }
        case RptCtx::kPinAttributes: {
            const UDBPinEntry& p = db->pins[size_t(c.item)];
            Handle data = GetIndexedPinData(db->pinData, int32_t(GetUDBPinDef(db, p).pinDataId));
            if (data) {
                const auto* record = reinterpret_cast<const PinDataRecord*>(*data);
                run = {db->pinStrings, data, sizeof(PinDataRecord), record->attributeCount};
            }
            break;
        }
        case RptCtx::kProjectAttributes:
            if (rpt.project) {
                run = {rpt.project->strings, rpt.project->attributes, 0,
                       rpt.project->settings.attributeCount};
            }
            break;
        default:
            break;
    }
    if (!run.handle) run.count = 0;
    return run;
}

bool AttributeValue(ReportState& rpt, const RptContext& c, const std::string& name, std::string* value) {
    const AttributeRun run = RunOf(rpt, c);
    if (!run.count) return false;
    char text[kAttributeTextSize];
    const int16_t index =
        GetAttributeValue(run.block, run.handle, run.offset, run.count, name.c_str(), text, nullptr);
    if ((index & kAttributeAbsent) || !text[0]) return false;
    *value = text;
    return true;
}

// ---- Built-in fields ----

int32_t SheetIndexOf(ReportState& rpt, const SheetSpec* spec) {
    UnifiedDBRecord* db = DB(rpt);
    if (!db) return -1;
    for (size_t i = 0; i < db->sheets.size(); ++i) {
        if (db->sheets[i].spec == spec) return int32_t(i);
    }
    return -1;
}

std::string DateText(uint32_t time, int32_t style) {
    char text[64] = {0};
    VXLocalTimeToDateString(int32_t(time), style, text, sizeof text);
    return text;
}

std::string TimeText(uint32_t time) {
    char text[64] = {0};
    VXLocalTimeToTimeString(int32_t(time), false, text, sizeof text);
    return text;
}

std::string FolderText(ReportState& rpt, int32_t directory) {
    if (!rpt.project || directory < 0) return std::string();
    DirectoryRef ref;
    std::string path;
    if (!GetDirectoryListDirectory(rpt.project->directories, directory, &ref) ||
        CreateDirectoryURLFromDirectory(&ref, &path) != status::kNoErr) {
        return std::string();
    }
    return path;
}

bool GlobalField(ReportState& rpt, const std::string& key, std::string* value) {
    const uint32_t now = uint32_t(VXGetCurrentDateTime(1));
    if (key == "TRUE") *value = "1";
    else if (key == "FALSE") *value = "0";
    else if (key == "DATE") *value = DateText(now, 0);
    else if (key == "DATEEX") *value = DateText(now, 2);
    else if (key == "TIME") *value = TimeText(now);
    else return RptGlobalField(rpt, key, value);
    return true;
}

bool ProjectField(ReportState& rpt, const std::string& key, std::string* value) {
    ProjectRecord* project = rpt.project;
    char text[kFileSpecNameCapacity] = {0};
    if (key == "PROJECTFILE") {
        GetFileSpecName(&project->file.spec, text, sizeof text);
        *value = text;
    } else if (key == "PROJECTFOLDER") {
        *value = rpt.baseFolder;
    } else if (key == "PATHDELIMITER") {
        char separator[sizeof project->settings.separator + 1] = {0};
        std::memcpy(separator, project->settings.separator, sizeof project->settings.separator);
        *value = separator;
    } else if (key == "PROJECTID") {
        *value = Number(project->projectId);
    } else if (key == "TOPCOUNT") {
        *value = Number(project->topLevelSheets ? project->topLevelSheets->count : 0);
    } else {
        return false;
    }
    return true;
}

bool SheetField(ReportState& rpt, int64_t index, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB(rpt);
    const UDBSheetEntry& s = db->sheets[size_t(index)];
    if (key == "SHEETFILE") {
        char name[160];
        GetSheetSpecName(db->project, s.spec, name, sizeof name);
        *value = name[0] ? name : "Untitled";
    } else if (key == "SHEETFOLDER") {
        *value = FolderText(rpt, s.directory);
    } else if (key == "SHEETDATECREATEDEX") {
        *value = DateText(s.creationTime, 2);
    } else if (key == "SHEETDATECREATED") {
        *value = DateText(s.creationTime, 0);
    } else if (key == "SHEETTIMECREATED") {
        *value = TimeText(s.creationTime);
    } else if (key == "SHEETDATEMODIFIEDEX" || key == "SHEETDATEMODIFIED" ||
               key == "SHEETTIMEMODIFIED") {
        const uint32_t t = s.modificationTime ? s.modificationTime : uint32_t(VXGetCurrentDateTime(1));
        *value = key == "SHEETTIMEMODIFIED" ? TimeText(t) : DateText(t, key == "SHEETDATEMODIFIED" ? 0 : 2);
    } else {
        return false;
    }
    return true;
}

bool ComponentField(ReportState& rpt, int64_t row, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB(rpt);
    const UDBCompEntry& r = db->comps[size_t(row)];
    char text[kUDBTextSize * 2] = {0};
    const bool partType = (db->flags & kUDBPartTypes) && r.partId < db->partTypes.size();
    if (key == "REFDES" || key == "REFDESNQ") {
        GetUDBRefDes(db, uint32_t(row), &r, key == "REFDES", text);
        *value = text;
    } else if (key == "REFDESPREFIX") {
        ExtractStringSpec(r.designator, db->compStrings, text, kUDBTextSize);
        RefDesToPrefix(text);
        *value = text;
    } else if (key == "REFDESMISSING") {
        *value = Bool(r.flags & kUDBCompGenerated);
    } else if (key == "REFDESCONFLICT") {
        *value = Bool(r.flags & kUDBCompRepeated);
    } else if (key == "DESCEND") {
        *value = Bool(r.flags & kUDBCompSubSheet);
    } else if (key == "SUBSHEETFILE") {
        if (const uint16_t count = GetUDBAttributeCount(db, r.attributes)) {
            GetAttributeValue(db->compStrings, GetUDBAttributeRun(db, r.attributes), 0, count,
                              kAttrSubSheetName, text, nullptr);
        }
        *value = text;
    } else if (key == "COMPNAME") {
        *value = partType ? Spec(db->partTypes[r.partId].name, db->pinStrings)
                          : Spec(r.partId, db->pinStrings);
    } else if (key == "FOOTPRINT" || key == "PACKAGE") {
        // The package's footprint (else its name) and the package's name.
        const UDBPartType* type = partType ? &db->partTypes[r.partId] : nullptr;
        const StringSpec footprint = type && type->packageFootprint ? type->packageFootprint : type ? type->packageName : 0;
        const StringSpec spec = key == "PACKAGE" ? (type ? type->packageName : 0) : footprint;
        *value = spec ? Spec(spec, db->compStrings) : std::string();
    } else if (key == "SLOT") {
        *value = std::string();
    } else if (key == "$$SERIALNUMBER$$") {
        *value = Number(r.collectionIndex);
    } else {
        return false;
    }
    return true;
}

bool NetField(ReportState& rpt, int64_t id, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB(rpt);
    const UDBNetEntry& n = db->nets[size_t(id)];
    char text[kUDBTextSize * 2] = {0};
    if (key == "SIGNALNAME" || key == "SIGNALNAMENQ") {
        GetUDBNetName(db, int32_t(id), &n, key == "SIGNALNAME", text);
        *value = text;
    } else if (key == "SIGNALSCOPE") {
        *value = n.scope == kUDBScopeGlobal ? "Global" : n.scope == kUDBScopePort ? "Export" : "Local";
    } else if (key == "SIGNALCONFLICT") {
        *value = Bool(n.flags & kUDBNetConflict);
    } else if (key == "SINGLEPINNET") {
        *value = Bool(n.flags & kUDBNetSinglePin);
    } else {
        return false;
    }
    return true;
}

bool PinField(ReportState& rpt, int64_t row, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB(rpt);
    const UDBPinEntry& p = db->pins[size_t(row)];
    const UDBPinDef& def = GetUDBPinDef(db, p);
    if (key == "PINNUMBER" || key == "SPICEORDER") {
        *value = Spec(def.number, db->pinStrings);
    } else if (key == "PINNAME") {
        *value = Spec(def.name, db->pinStrings);
    } else if (key == "PINTYPE") {
        char text[64] = {0};
        GetPinTypeString(def.pinType, text);
        *value = text;
    } else if (key == "PINCONFLICT") {
        *value = Bool(p.flags & kUDBPinMultiNet);
    } else if (key == "PINREDUNDANT") {
        *value = Bool(p.flags & kUDBPinMultiInstance);
    } else if (key == "PINNOTPLACED") {
        *value = Bool(p.flags & kUDBPinHiddenDefault);
    } else {
        return false;
    }
    return true;
}

bool TreeNodeField(ReportState& rpt, int64_t item, const std::string& key, std::string* value) {
    auto* node = reinterpret_cast<SheetNode*>(item);
    SheetNode* root = DB(rpt) ? DB(rpt)->rootNode : nullptr;
    if (key == "INSTANCEPATH") {
        char text[kUDBTextSize] = {0};
        BuildSheetInstancePath(rpt.project, node, root, nullptr, 1, text, kUDBTextSize - 1);
        *value = text;
    } else if (key == "INSTANCEDEPTH") {
        int32_t depth = 0;
        for (SheetNode* n = node; n && n != root && n->parent; n = n->parent) ++depth;
        *value = Number(depth);
    } else if (key == "SHEETORDER") {
        int32_t order = 0, i = 0;
        if (rpt.project && rpt.project->hierarchy) {
            for (SheetNode* n = rpt.project->hierarchy->first; n; n = n->next) {
                ++i;
                if (n->sheetSpec == node->sheetSpec) {
                    order = i;
                    break;
                }
            }
        }
        *value = order ? Number(order) : std::string();
    } else {
        return false;
    }
    return true;
}

bool PortField(ReportState& rpt, const RptContext& c, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB(rpt);
    UDBPortSpec spec{};
    if (!GetNetExportSpec(db, int32_t(c.item), int32_t(c.extra), &spec)) spec = UDBPortSpec{};
    if (key == "PORTNAME") {
        *value = spec.nameId < db->netNames.size() ? Spec(db->netNames[spec.nameId], db->netNameStrings)
                                                    : std::string();
    } else if (key == "PORTTYPE") {
        *value = Number(spec.sheetOrType);
    } else if (key == "$$PORTSERIALNUMBER$$") {
        *value = Number(int32_t(spec.serial));
    } else {
        return false;
    }
    return true;
}

// ---- Sort keys and sort maps ----

void ReadSortKeys(ReportState& rpt) {
    RptSortKeys keys;
    uint32_t seed;
    std::memcpy(&seed, "tros", 4);
    keys.hash = seed;
    for (uint16_t code = RptReadCode(rpt); code != kRptSortKeys; code = RptReadCode(rpt)) {
        std::string name;
        if (code == kRptName) {
            name = RptReadString(rpt);
        } else if (code == kRptComputedName) {
            name = RptEvaluateString(rpt, 127);
            if (name.empty()) Signal(kScriptNullName);
        } else {
            Signal(status::kParamErr);
        }
        if (int32_t(keys.names.size()) < kMaxSortKeys) {
            keys.hash = HashMem(keys.hash, name.data(), uint32_t(name.size()));
            keys.names.push_back(name);
        }
    }
    rpt.keys = keys;
}

// Orders rows by the sort keys; `push` pushes one row's contexts. Rows with equal keys keep
// their order.
template <typename Push>
std::vector<uint32_t> SortRows(ReportState& rpt, std::vector<uint32_t> rows, Push push) {
    const size_t keyCount = rpt.keys.names.size();
    if (keyCount == 0 || rows.size() < 2) return rows;
    std::vector<std::vector<std::string>> values(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t depth = rpt.contexts.size();
        push(rows[i]);
        for (const std::string& key : rpt.keys.names) values[i].push_back(RptReadName(rpt, key).substr(0, 255));
        rpt.contexts.resize(depth);
    }
    std::vector<uint32_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        for (size_t k = 0; k < keyCount; ++k) {
            const int c = StrCmpAlphaNumeric(values[a][k].c_str(), values[b][k].c_str(), false);
            if (c) return c < 0;
        }
        return false;
    });
    std::vector<uint32_t> sorted(rows.size());
    for (size_t i = 0; i < order.size(); ++i) sorted[i] = rows[order[i]];
    return sorted;
}

// ---- Pushing items ----

void Push(ReportState& rpt, RptCtx kind, int64_t item, bool continuation = false, int64_t extra = 0) {
    rpt.contexts.push_back({kind, continuation, item, extra});
}

void PushSheet(ReportState& rpt, int32_t index, bool continuation) {
    UnifiedDBRecord* db = DB(rpt);
    if (index < 0 || size_t(index) >= db->sheets.size()) return;
    Push(rpt, RptCtx::kSheet, index, continuation);
    if (db->sheets[size_t(index)].attributeCount) Push(rpt, RptCtx::kSheetAttributes, index, continuation);
}

void PushComponent(ReportState& rpt, uint32_t row, bool withSheet) {
    const UDBCompEntry& r = DB(rpt)->comps[row];
    if (withSheet) PushSheet(rpt, r.sheetIndex, true);
    Push(rpt, RptCtx::kComponent, row);
    if (GetUDBAttributeCount(DB(rpt), r.attributes)) Push(rpt, RptCtx::kCompAttributes, row);
}

void PushNet(ReportState& rpt, uint32_t id, bool withSheet, bool continuation = false) {
    const UDBNetEntry& n = DB(rpt)->nets[id];
    if (withSheet) PushSheet(rpt, n.sheetIndex, true);
    Push(rpt, RptCtx::kNet, id, continuation);
    if (GetUDBAttributeCount(DB(rpt), n.attributes)) Push(rpt, RptCtx::kNetAttributes, id, continuation);
}

void PushPin(ReportState& rpt, uint32_t row) {
    const UDBPinEntry& p = DB(rpt)->pins[row];
    Push(rpt, RptCtx::kPin, row);
    if (GetUDBPinDef(DB(rpt), p).pinDataId != kUDBNoPinData) Push(rpt, RptCtx::kPinAttributes, row);
}

const RptContext* Innermost(ReportState& rpt, RptCtx kind) {
    for (auto c = rpt.contexts.rbegin(); c != rpt.contexts.rend(); ++c) {
        if (c->kind == kind) return &*c;
    }
    return nullptr;
}

// ---- The database ----

void BuildDatabase(ReportState& rpt) {
    if (rpt.db) return;
    if (!rpt.project) Signal(status::kParamErr);
    uint16_t flags = rpt.dbFlags;
    auto* db = new UnifiedDBRecord;
    InitUnifiedDB(db);
    const OSStatus st = CatchSignals([&] {
        if ((flags & kFlagsSimulatorMaps) && (flags & kFlagsModular)) {
            // The simulator's maps come from a flat build; the report then reads the modular one.
            UnifiedDBRecord maps;
            InitUnifiedDB(&maps);
            Signal(CreateUnifiedDB(rpt.project, rpt.rootInstance,
                                   uint16_t((flags & ~kFlagsModular) | kFlagsQualifyAll), &maps));
            DestroyUnifiedDB(&maps);
            flags &= uint16_t(~kFlagsSimulatorMaps);
            rpt.simulatorMapsBuilt = true;
        } else if (flags & kFlagsSimulatorMaps) {
            flags &= uint16_t(~(kFlagsNoCompAttributes | kFlagsNoNets | kFlagsNoPins));
            rpt.simulatorMapsBuilt = true;
        }
        Signal(CreateUnifiedDB(rpt.project, rpt.rootInstance, flags, db));
    });
    if (st) {
        delete db;
        Signal(st);
    }
    rpt.db = db;
    rpt.dbFlags = rpt.baseFlags;
}

// Runs the body once for the item whose contexts `push` pushes; true when a BREAK ended it.
template <typename PushItem>
bool Visit(ReportState& rpt, uint32_t body, PushItem push) {
    const size_t depth = rpt.contexts.size();
    push();
    rpt.position = body;
    const OSStatus st = CatchSignals([&] {
        const int32_t result = ProcessStatementBlock(rpt);
        if (result == 1) SetSignal(1);
    });
    rpt.contexts.resize(depth);
    if (st == 1) return true;
    Signal(st);
    return false;
}

// Opens an iterator: checks its nesting, and restores the nest bits when it ends.
struct Nest {
    ReportState& rpt;
    uint16_t saved;
    Nest(ReportState& run, uint16_t bit, uint16_t attributesKind = 0) : rpt(run), saved(run.nestBits) {
        Signal(ValidateNest(bit, &rpt.nestBits, attributesKind));
    }
    ~Nest() { rpt.nestBits = saved; }
};

void ComponentsLoop(ReportState& rpt) {
    Nest nest(rpt, kNestComponents);
    ReadSortKeys(rpt);
    const uint32_t body = rpt.position;
    BuildDatabase(rpt);
    UnifiedDBRecord* db = DB(rpt);
    SheetNode* node = rpt.currentNode;
    if (node && CountSheetInstanceDBComps(db, node) == 0) return;
    if (!rpt.compMap.valid || rpt.compMap.hash != rpt.keys.hash) {
        rpt.compMap.rows = SortRows(rpt, db->compOrder, [&rpt](uint32_t row) { PushComponent(rpt, row, true); });
        rpt.compMap.hash = rpt.keys.hash;
        rpt.compMap.valid = true;
    }
    const std::vector<uint32_t> rows = rpt.compMap.rows;
    for (uint32_t row : rows) {
        if (node && !IsDBCompInSheetInstance(db, node, row)) continue;
        if (Visit(rpt, body, [&] { PushComponent(rpt, row, node == nullptr); })) break;
    }
}

void NetsLoop(ReportState& rpt) {
    Nest nest(rpt, kNestNets);
    ReadSortKeys(rpt);
    const uint32_t body = rpt.position;
    BuildDatabase(rpt);
    UnifiedDBRecord* db = DB(rpt);
    int32_t sheet = -1;
    if (rpt.currentNode) {
        sheet = SheetIndexOf(rpt, rpt.currentNode->sheetSpec);
        if (sheet < 0) return;
    }
    if (!rpt.pinsByNetValid) {
        rpt.pinsByNet = BuildNetMembersSortMap(db);
        rpt.pinsByNetValid = true;
    }
    if (!rpt.netMap.valid || rpt.netMap.hash != rpt.keys.hash) {
        std::vector<uint32_t> live;
        for (uint32_t id : db->netOrder) {
            if (db->nets[id].live) live.push_back(id);
        }
        rpt.netMap.rows = SortRows(rpt, live, [&rpt](uint32_t id) { PushNet(rpt, id, true); });
        rpt.netMap.hash = rpt.keys.hash;
        rpt.netMap.valid = true;
    }
    const std::vector<uint32_t> nets = rpt.netMap.rows;
    const bool formerInside = rpt.insideNets;
    rpt.insideNets = true;
    const OSStatus st = CatchSignals([&] {
        for (uint32_t id : nets) {
            if (sheet >= 0 && db->nets[id].sheetIndex != sheet) continue;
            if (Visit(rpt, body, [&] { PushNet(rpt, id, true); })) break;
        }
    });
    rpt.insideNets = formerInside;
    Signal(st);
}

void PinsLoop(ReportState& rpt) {
    Nest nest(rpt, kNestPins);
    ReadSortKeys(rpt);
    const uint32_t body = rpt.position;
    BuildDatabase(rpt);
    UnifiedDBRecord* db = DB(rpt);
    SheetNode* node = rpt.currentNode;
    std::vector<uint32_t> rows;
    const RptContext* net = rpt.insideNets ? Innermost(rpt, RptCtx::kNet) : nullptr;
    const RptContext* comp = rpt.insideNets ? nullptr : Innermost(rpt, RptCtx::kComponent);
    if (net) {
        int32_t count = 0;
        const int32_t first = GetNetGroupedPinsRange(db, rpt.pinsByNet, int32_t(net->item), nullptr, &count);
        for (int32_t i = 0; first >= 0 && i < count; ++i) {
            const uint32_t row = rpt.pinsByNet[size_t(first + i)];
            // Under a current node, only the pins of that instance (hidden-pin defaults have none).
            if (node && GetUDBPinNode(db, db->pins[row]) != node) continue;
            rows.push_back(row);
        }
    } else if (comp) {
        for (uint32_t row = 0; row < db->pins.size(); ++row) {
            if (db->pins[row].compRow == uint32_t(comp->item)) rows.push_back(row);
        }
    }
    const bool insideNets = rpt.insideNets;
    // A pin with its component inside a net loop, else with its net.
    const auto push = [&](uint32_t row) {
        const UDBPinEntry& p = db->pins[row];
        if (insideNets) PushComponent(rpt, p.compRow, false);
        else if (p.netId != kUDBNoNet) PushNet(rpt, uint32_t(p.netId), false);
        PushPin(rpt, row);
    };
    rows = SortRows(rpt, rows, push);
    for (uint32_t row : rows) {
        const UDBPinEntry& p = db->pins[row];
        // A pin of another instance is left out; a hidden-pin default counts where its
        // component stands in the instance.
        const SheetNode* pinNode = node ? GetUDBPinNode(db, p) : nullptr;
        if (node && !insideNets && pinNode != node &&
            !(pinNode == nullptr && IsDBCompInSheetInstance(db, node, p.compRow))) {
            continue;
        }
        if (Visit(rpt, body, [&] { push(row); })) break;
    }
}

// ---- Hierarchy traversal ----

// The instance nodes a hierarchy loop visits, in order.
std::vector<SheetNode*> BuildTraversalMap(ReportState& rpt, uint16_t kind, uint16_t order) {
    std::vector<SheetNode*> nodes;
    ProjectRecord* project = rpt.project;
    if (!project || !project->hierarchy) return nodes;
    SheetNode* root = DB(rpt)->rootNode;
    const bool descend = (rpt.baseFlags & kUDBDescend) != 0;
    // Depth first from the root node (or the top level), leaving out nodes kept from descent.
    std::vector<SheetNode*> walk;
    std::vector<SheetNode*> starts;
    if (root) {
        starts.push_back(root);
    } else {
        for (SheetNode* n = project->hierarchy->first; n; n = n->next) starts.push_back(n);
    }
    const auto add = [&](auto&& self, SheetNode* n) -> void {
        if (n->flags & (kSheetNodeNoDescent | kSheetNodeCircular)) return;
        if (n->sheetSpec) walk.push_back(n);
        if (!descend) return;
        for (SheetNode* c = n->firstChild; c; c = c->next) self(self, c);
    };
    for (SheetNode* s : starts) add(add, s);
    // Level by level keeps each level's depth-first order.
    if (order & kRptByLevel) {
        std::stable_sort(walk.begin(), walk.end(),
                         [](const SheetNode* a, const SheetNode* b) { return a->depth < b->depth; });
    }
    if (order & kRptBottomUp) std::reverse(walk.begin(), walk.end());
    if (kind == kRptComplexHierarchy) {
        // The first node of each sheet, in the traversal order.
        std::vector<const SheetSpec*> seen;
        for (SheetNode* n : walk) {
            if (std::find(seen.begin(), seen.end(), n->sheetSpec) != seen.end()) continue;
            seen.push_back(n->sheetSpec);
            nodes.push_back(n);
        }
        return nodes;
    }
    return walk;
}

void HierarchyLoop(ReportState& rpt) {
    Nest nest(rpt, kNestHierarchy);
    const uint16_t kind = RptReadU16(rpt);
    const uint16_t order = RptReadU16(rpt);
    const uint32_t body = rpt.position;
    if (!rpt.db) {
        rpt.dbFlags |= kFlagsModular;
        BuildDatabase(rpt);
    }
    UnifiedDBRecord* db = DB(rpt);
    if (!(db->flags & kFlagsModular) || !rpt.project->hierarchy || !rpt.project->hierarchy->first) return;
    const std::vector<SheetNode*> nodes = BuildTraversalMap(rpt, kind, order);
    const OSStatus st = CatchSignals([&] {
        for (SheetNode* n : nodes) {
            rpt.currentNode = n;
            const bool stop = Visit(rpt, body, [&] {
                Push(rpt, RptCtx::kTreeNode, int64_t(reinterpret_cast<intptr_t>(n)));
                PushSheet(rpt, SheetIndexOf(rpt, n->sheetSpec), false);
            });
            if (stop) break;
        }
    });
    rpt.currentNode = nullptr;
    Signal(st);
}

void PortsLoop(ReportState& rpt) {
    Nest nest(rpt, kNestPorts);
    ReadSortKeys(rpt);
    const uint32_t body = rpt.position;
    UnifiedDBRecord* db = DB(rpt);
    if (!db || !(db->flags & kFlagsModular) || !rpt.currentNode) return;
    const int32_t sheet = SheetIndexOf(rpt, rpt.currentNode->sheetSpec);
    std::vector<uint32_t> exports;
    UDBPortSpec spec;
    for (int32_t n = 0; GetNetExportSpec(db, sheet, n, &spec); ++n) exports.push_back(uint32_t(n));
    const auto push = [&](uint32_t n) {
        UDBPortSpec port{};
        if (GetNetExportSpec(db, sheet, int32_t(n), &port) && port.netId < db->nets.size()) {
            PushNet(rpt, port.netId, false, true);
        }
        Push(rpt, RptCtx::kPort, sheet, false, n);
    };
    exports = SortRows(rpt, exports, push);
    for (uint32_t n : exports) {
        if (Visit(rpt, body, [&] { push(n); })) break;
    }
}

void AttributesLoop(ReportState& rpt) {
    const uint16_t kind = RptReadU16(rpt);
    Nest nest(rpt, kNestAttributes, kind);
    const uint32_t body = rpt.position;
    static const RptCtx kKinds[] = {RptCtx::kPinAttributes, RptCtx::kCompAttributes,
                                    RptCtx::kNetAttributes, RptCtx::kSheetAttributes,
                                    RptCtx::kProjectAttributes};
    if (kind < 1 || kind > 5) Signal(status::kParamErr);
    const RptContext* found = Innermost(rpt, kKinds[kind - 1]);
    if (!found) return;
    const RptContext context = *found;
    const AttributeRun run = RunOf(rpt, context);
    for (int32_t i = 0; i < run.count; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        GetIndexedAttribute(run.block, run.handle, run.offset, i, name, value, nullptr, nullptr);
        if (name[0] == '~') continue;
        rpt.attributeNames.push_back(name);
        rpt.attributeValues.push_back(value);
        const size_t slot = rpt.attributeNames.size() - 1;
        bool stop = false;
        const OSStatus st = CatchSignals([&] { stop = Visit(rpt, body, [&] { Push(rpt, RptCtx::kAttribute, int64_t(slot)); }); });
        rpt.attributeNames.pop_back();
        rpt.attributeValues.pop_back();
        Signal(st);
        if (stop) break;
    }
}

// ---- Descent rules ----

struct DescentWalk {
    ReportState* rpt;
    uint32_t body;
};

bool IsSubSheetSymbol(const SymbolRecord* symbol) {
    return (symbol->flags & 0x0C00) && (symbol->flags & 0x2000);
}

OSStatus DescentSheet(ProjectRecord* project, SheetNode* root, bool, SheetSpec* spec, SheetRecord* sheet,
                      void* data) {
    if (!spec || !sheet) return status::kNoErr;
    const auto* walk = static_cast<DescentWalk*>(data);
    ReportState& rpt = *walk->rpt;
    return CatchSignals([&] {
        // The designators of the sheet's symbols in each instance being walked.
        Signal(LoadAnnotationTable(project, spec, 0));
        for (SheetNode* node = NextSheetNode(project->hierarchy, nullptr); node;
             node = NextSheetNode(project->hierarchy, node)) {
            if (node->sheetSpec != spec) continue;
            if (root) {
                bool below = false;
                for (SheetNode* n = node; n; n = n->parent) below = below || n == root;
                if (!below) continue;
            }
            rpt.currentInstance = node->instance;
            rpt.descentSpec = spec;
            for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
                 symbol = symbol->next) {
                if (!IsSubSheetSymbol(symbol)) continue;
                AssignToVariable(rpt, "NODESCENT", "0");
                rpt.descentSheet = sheet;
                rpt.descentSymbol = symbol;
                const size_t depth = rpt.contexts.size();
                Push(rpt, RptCtx::kSymbol, 0);
                rpt.position = walk->body;
                const OSStatus st = CatchSignals([&] { ProcessStatementBlock(rpt); });
                rpt.contexts.resize(depth);
                rpt.descentSymbol = nullptr;
                Signal(st);
                if (StringToSInt32(RptReadName(rpt, "NODESCENT").c_str(), nullptr, 10) != 0) {
                    for (SheetNode* child = node->firstChild; child; child = child->next) {
                        if (child->serial == symbol->serial) child->flags |= kSheetNodeNoDescent;
                    }
                }
            }
        }
        rpt.currentInstance = nullptr;
        rpt.descentSpec = nullptr;
    });
}

void DescentRules(ReportState& rpt) {
    Nest nest(rpt, kNestDescentRules);
    const uint32_t body = rpt.position;
    if (!rpt.db && rpt.project && rpt.project->hierarchy) {
        DescentWalk walk{&rpt, body};
        const uint32_t flags = (rpt.baseFlags & kUDBDescend) ? kWalkDescend : 0;
        Signal(ProcessHierarchySheets(rpt.project, rpt.rootInstance, flags, DescentSheet, nullptr, &walk));
    }
}

bool SymbolField(ReportState& rpt, const std::string& key, std::string* value) {
    const SymbolRecord* symbol = rpt.descentSymbol;
    if (!symbol) return false;
    if (key == "$$SERIALNUMBER$$") {
        *value = Number(symbol->serial);
        return true;
    }
    if (key == "SHEETFILE" && rpt.descentSpec) {
        char name[160] = {0};
        GetSheetSpecName(rpt.project, rpt.descentSpec, name, sizeof name);
        *value = name[0] ? name : "Untitled";
        return true;
    }
    if (key == "REFDES" || key == "REFDESNQ" || key == "REFDESPREFIX") {
        // As on its sheet, in the context of the instance being walked.
        char text[kAttributeTextSize] = {0};
        if (symbol->component || (symbol->flags & kSymbolFlagSheet))
            GetInstanceAnnotation(rpt.project, rpt.currentInstance, symbol->serial, text);
        else
            GetSymbolRefName(symbol, rpt.descentSheet->stringBlock, text);
        if (key == "REFDESPREFIX") RefDesToPrefix(text);
        *value = text;
        return true;
    }
    if (key == "COMPNAME") {
        char text[kAttributeTextSize] = {0};
        GetSymbolName(symbol, rpt.descentSheet->stringBlock, text);
        *value = text;
        return true;
    }
    if (key == "SUBSHEETFILE") {
        char name[kAttributeTextSize] = {0};
        if (GetSymbolHooks().getSheetSymbolFileName) {
            GetSymbolHooks().getSheetSymbolFileName(symbol, rpt.descentSheet->stringBlock, name);
        }
        *value = name;
        return true;
    }
    char text[kAttributeTextSize] = {0};
    if (symbol->attributes && symbol->attributeCount) {
        const int16_t index = GetAttributeValue(rpt.descentSheet->stringBlock, symbol->attributes, 0,
                                                symbol->attributeCount, key.c_str(), text, nullptr);
        if (!(index & kAttributeAbsent) && text[0]) {
            *value = text;
            return true;
        }
    }
    return false;
}

}  // namespace

// ---- Shared with the interpreter ----

bool RptContextValue(ReportState& rpt, const RptContext& context, const std::string& name, std::string* value) {
    const std::string key = RptUpper(name);
    switch (context.kind) {
        case RptCtx::kGlobals: return GlobalField(rpt, key, value);
        case RptCtx::kProject: return rpt.project && ProjectField(rpt, key, value);
        case RptCtx::kSheet: return SheetField(rpt, context.item, key, value);
        case RptCtx::kComponent: return ComponentField(rpt, context.item, key, value);
        case RptCtx::kNet: return NetField(rpt, context.item, key, value);
        case RptCtx::kPin: return PinField(rpt, context.item, key, value);
        case RptCtx::kTreeNode: return TreeNodeField(rpt, context.item, key, value);
        case RptCtx::kPort: return PortField(rpt, context, key, value);
        case RptCtx::kSymbol: return SymbolField(rpt, key, value);
        case RptCtx::kAttribute:
            if (key == "ATTRIBUTENAME") *value = rpt.attributeNames[size_t(context.item)];
            else if (key == "ATTRIBUTEVALUE") *value = rpt.attributeValues[size_t(context.item)];
            else return false;
            return true;
        default:
            return AttributeValue(rpt, context, name, value);
    }
}

void RptRunLoop(ReportState& rpt, uint16_t code) {
    const uint32_t hole = RptReadU32(rpt);
    switch (code) {
        case kRptComponents: ComponentsLoop(rpt); break;
        case kRptNets: NetsLoop(rpt); break;
        case kRptPins: PinsLoop(rpt); break;
        case kRptPorts: PortsLoop(rpt); break;
        case kRptHierarchy: HierarchyLoop(rpt); break;
        case kRptAttributes: AttributesLoop(rpt); break;
        case kRptDescentRules: DescentRules(rpt); break;
        default: Signal(status::kParamErr);
    }
    rpt.position = hole;
}

void RptDatabaseStatement(ReportState& rpt) {
    RptFreeDatabase(rpt);
    rpt.dbFlags = rpt.baseFlags;
    for (;;) {
        switch (RptPeekCode(rpt)) {
            case kRptNoComps: rpt.dbFlags |= kFlagsNoCompAttributes; break;
            case kRptNoNets: rpt.dbFlags |= kFlagsNoNets; break;
            case kRptNoPins: rpt.dbFlags |= kFlagsNoPins; break;
            case kRptModular: rpt.dbFlags |= kFlagsModular; break;
            case kRptCrossRef: rpt.dbFlags |= kFlagsSimulatorMaps; break;
            case kRptNoGrouping: rpt.dbFlags |= kFlagsNoGrouping; break;
            case kRptGraphics: rpt.dbFlags |= kFlagsGraphics; break;
            default: BuildDatabase(rpt); return;
        }
        RptReadCode(rpt);
    }
}

void RptBeginHierarchy(ReportState& rpt) {
    ProjectRecord* project = rpt.project;
    if (!project || !project->hierarchy) return;
    int32_t base = 0;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        if (n->instance && rpt.rootInstance && n->instance == rpt.rootInstance) base = n->depth;
    }
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        rpt.nodeFlags.push_back({n, n->flags});
        n->flags &= uint16_t(~kSheetNodeNoDescent);
        if (rpt.levelLimit < 9999 && n->depth - base > rpt.levelLimit) n->flags |= kSheetNodeNoDescent;
    }
}

void RptEndHierarchy(ReportState& rpt) {
    for (const auto& [node, flags] : rpt.nodeFlags) node->flags = flags;
    rpt.nodeFlags.clear();
}

void RptFreeDatabase(ReportState& rpt) {
    if (rpt.db) {
        DestroyUnifiedDB(rpt.db);
        delete rpt.db;
        rpt.db = nullptr;
    }
    rpt.compMap = RptSortMap();
    rpt.netMap = RptSortMap();
    rpt.pinsByNet.clear();
    rpt.pinsByNetValid = false;
}

}  // namespace plexa
