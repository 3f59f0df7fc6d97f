// The report interpreter's items: building the netlist database for a run, the item contexts
// through which scripts read the fields and attributes of the component, net, pin, sheet, port,
// hierarchy node and attribute being visited, the sort maps that order the visits, the traversal
// of hierarchy instances, and the loops themselves.
//
// Contexts form a stack (gRpt.contexts, innermost last). Visiting an item pushes its contexts and
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

UnifiedDBRecord* DB() { return gRpt.db; }

// ---- The attribute runs of items ----

struct AttributeRun {
    StringBlock block = nullptr;
    Handle handle = nullptr;
    uint32_t offset = 0;
    int32_t count = 0;
};

AttributeRun RunOf(const RptContext& c) {
    AttributeRun run;
    UnifiedDBRecord* db = DB();
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
            if (gRpt.project) {
                run = {gRpt.project->strings, gRpt.project->attributes, 0,
                       gRpt.project->settings.attributeCount};
            }
            break;
        default:
            break;
    }
    if (!run.handle) run.count = 0;
    return run;
}

bool AttributeValue(const RptContext& c, const std::string& name, std::string* value) {
    const AttributeRun run = RunOf(c);
    if (!run.count) return false;
    char text[kAttributeTextSize];
    const int16_t index =
        GetAttributeValue(run.block, run.handle, run.offset, run.count, name.c_str(), text, nullptr);
    if ((index & kAttributeAbsent) || !text[0]) return false;
    *value = text;
    return true;
}

// ---- Built-in fields ----

int32_t SheetIndexOf(const SheetSpec* spec) {
    UnifiedDBRecord* db = DB();
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

std::string FolderText(int32_t directory) {
    if (!gRpt.project || directory < 0) return std::string();
    DirectoryRef ref;
    std::string path;
    if (!GetDirectoryListDirectory(gRpt.project->directories, directory, &ref) ||
        CreateDirectoryURLFromDirectory(&ref, &path) != status::kNoErr) {
        return std::string();
    }
    return path;
}

bool GlobalField(const std::string& key, std::string* value) {
    const uint32_t now = uint32_t(VXGetCurrentDateTime(1));
    if (key == "TRUE") *value = "1";
    else if (key == "FALSE") *value = "0";
    else if (key == "DATE") *value = DateText(now, 0);
    else if (key == "DATEEX") *value = DateText(now, 2);
    else if (key == "TIME") *value = TimeText(now);
    else return RptGlobalField(key, value);
    return true;
}

bool ProjectField(const std::string& key, std::string* value) {
    ProjectRecord* project = gRpt.project;
    char text[kFileSpecNameCapacity] = {0};
    if (key == "PROJECTFILE") {
        GetFileSpecName(&project->file.spec, text, sizeof text);
        *value = text;
    } else if (key == "PROJECTFOLDER") {
        *value = gRpt.baseFolder;
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

bool SheetField(int64_t index, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB();
    const UDBSheetEntry& s = db->sheets[size_t(index)];
    if (key == "SHEETFILE") {
        char name[160];
        GetSheetSpecName(db->project, s.spec, name, sizeof name);
        *value = name[0] ? name : "Untitled";
    } else if (key == "SHEETFOLDER") {
        *value = FolderText(s.directory);
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

bool ComponentField(int64_t row, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB();
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

bool NetField(int64_t id, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB();
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

bool PinField(int64_t row, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB();
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

bool TreeNodeField(int64_t item, const std::string& key, std::string* value) {
    auto* node = reinterpret_cast<SheetNode*>(item);
    SheetNode* root = DB() ? DB()->rootNode : nullptr;
    if (key == "INSTANCEPATH") {
        char text[kUDBTextSize] = {0};
        BuildSheetInstancePath(gRpt.project, node, root, nullptr, 1, text, kUDBTextSize - 1);
        *value = text;
    } else if (key == "INSTANCEDEPTH") {
        int32_t depth = 0;
        for (SheetNode* n = node; n && n != root && n->parent; n = n->parent) ++depth;
        *value = Number(depth);
    } else if (key == "SHEETORDER") {
        int32_t order = 0, i = 0;
        if (gRpt.project && gRpt.project->hierarchy) {
            for (SheetNode* n = gRpt.project->hierarchy->first; n; n = n->next) {
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

bool PortField(const RptContext& c, const std::string& key, std::string* value) {
    UnifiedDBRecord* db = DB();
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

void ReadSortKeys() {
    RptSortKeys keys;
    uint32_t seed;
    std::memcpy(&seed, "tros", 4);
    keys.hash = seed;
    for (uint16_t code = RptReadCode(); code != kRptSortKeys; code = RptReadCode()) {
        std::string name;
        if (code == kRptName) {
            name = RptReadString();
        } else if (code == kRptComputedName) {
            name = RptEvaluateString(127);
            if (name.empty()) Signal(kScriptNullName);
        } else {
            Signal(status::kParamErr);
        }
        if (int32_t(keys.names.size()) < kMaxSortKeys) {
            keys.hash = HashMem(keys.hash, name.data(), uint32_t(name.size()));
            keys.names.push_back(name);
        }
    }
    gRpt.keys = keys;
}

// Orders rows by the sort keys; `push` pushes one row's contexts. Rows with equal keys keep
// their order.
template <typename Push>
std::vector<uint32_t> SortRows(std::vector<uint32_t> rows, Push push) {
    const size_t keyCount = gRpt.keys.names.size();
    if (keyCount == 0 || rows.size() < 2) return rows;
    std::vector<std::vector<std::string>> values(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t depth = gRpt.contexts.size();
        push(rows[i]);
        for (const std::string& key : gRpt.keys.names) values[i].push_back(RptReadName(key).substr(0, 255));
        gRpt.contexts.resize(depth);
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

void Push(RptCtx kind, int64_t item, bool continuation = false, int64_t extra = 0) {
    gRpt.contexts.push_back({kind, continuation, item, extra});
}

void PushSheet(int32_t index, bool continuation) {
    UnifiedDBRecord* db = DB();
    if (index < 0 || size_t(index) >= db->sheets.size()) return;
    Push(RptCtx::kSheet, index, continuation);
    if (db->sheets[size_t(index)].attributeCount) Push(RptCtx::kSheetAttributes, index, continuation);
}

void PushComponent(uint32_t row, bool withSheet) {
    const UDBCompEntry& r = DB()->comps[row];
    if (withSheet) PushSheet(r.sheetIndex, true);
    Push(RptCtx::kComponent, row);
    if (GetUDBAttributeCount(DB(), r.attributes)) Push(RptCtx::kCompAttributes, row);
}

void PushNet(uint32_t id, bool withSheet, bool continuation = false) {
    const UDBNetEntry& n = DB()->nets[id];
    if (withSheet) PushSheet(n.sheetIndex, true);
    Push(RptCtx::kNet, id, continuation);
    if (GetUDBAttributeCount(DB(), n.attributes)) Push(RptCtx::kNetAttributes, id, continuation);
}

void PushPin(uint32_t row) {
    const UDBPinEntry& p = DB()->pins[row];
    Push(RptCtx::kPin, row);
    if (GetUDBPinDef(DB(), p).pinDataId != kUDBNoPinData) Push(RptCtx::kPinAttributes, row);
}

const RptContext* Innermost(RptCtx kind) {
    for (auto c = gRpt.contexts.rbegin(); c != gRpt.contexts.rend(); ++c) {
        if (c->kind == kind) return &*c;
    }
    return nullptr;
}

// ---- The database ----

void BuildDatabase() {
    if (gRpt.db) return;
    if (!gRpt.project) Signal(status::kParamErr);
    uint16_t flags = gRpt.dbFlags;
    auto* db = new UnifiedDBRecord;
    InitUnifiedDB(db);
    const OSStatus st = CatchSignals([&] {
        if ((flags & kFlagsSimulatorMaps) && (flags & kFlagsModular)) {
            // The simulator's maps come from a flat build; the report then reads the modular one.
            UnifiedDBRecord maps;
            InitUnifiedDB(&maps);
            Signal(CreateUnifiedDB(gRpt.project, gRpt.rootInstance,
                                   uint16_t((flags & ~kFlagsModular) | kFlagsQualifyAll), &maps));
            DestroyUnifiedDB(&maps);
            flags &= uint16_t(~kFlagsSimulatorMaps);
            gRpt.simulatorMapsBuilt = true;
        } else if (flags & kFlagsSimulatorMaps) {
            flags &= uint16_t(~(kFlagsNoCompAttributes | kFlagsNoNets | kFlagsNoPins));
            gRpt.simulatorMapsBuilt = true;
        }
        Signal(CreateUnifiedDB(gRpt.project, gRpt.rootInstance, flags, db));
    });
    if (st) {
        delete db;
        Signal(st);
    }
    gRpt.db = db;
    gRpt.dbFlags = gRpt.baseFlags;
}

// Runs the body once for the item whose contexts `push` pushes; true when a BREAK ended it.
template <typename PushItem>
bool Visit(uint32_t body, PushItem push) {
    const size_t depth = gRpt.contexts.size();
    push();
    gRpt.position = body;
    const OSStatus st = CatchSignals([&] {
        const int32_t result = ProcessStatementBlock();
        if (result == 1) SetSignal(1);
    });
    gRpt.contexts.resize(depth);
    if (st == 1) return true;
    Signal(st);
    return false;
}

// Opens an iterator: checks its nesting, and restores the nest bits when it ends.
struct Nest {
    uint16_t saved;
    explicit Nest(uint16_t bit, uint16_t attributesKind = 0) : saved(gRpt.nestBits) {
        Signal(ValidateNest(bit, &gRpt.nestBits, attributesKind));
    }
    ~Nest() { gRpt.nestBits = saved; }
};

void ComponentsLoop() {
    Nest nest(kNestComponents);
    ReadSortKeys();
    const uint32_t body = gRpt.position;
    BuildDatabase();
    UnifiedDBRecord* db = DB();
    SheetNode* node = gRpt.currentNode;
    if (node && CountSheetInstanceDBComps(db, node) == 0) return;
    if (!gRpt.compMap.valid || gRpt.compMap.hash != gRpt.keys.hash) {
        gRpt.compMap.rows = SortRows(db->compOrder, [](uint32_t row) { PushComponent(row, true); });
        gRpt.compMap.hash = gRpt.keys.hash;
        gRpt.compMap.valid = true;
    }
    const std::vector<uint32_t> rows = gRpt.compMap.rows;
    for (uint32_t row : rows) {
        if (node && !IsDBCompInSheetInstance(db, node, row)) continue;
        if (Visit(body, [&] { PushComponent(row, node == nullptr); })) break;
    }
}

void NetsLoop() {
    Nest nest(kNestNets);
    ReadSortKeys();
    const uint32_t body = gRpt.position;
    BuildDatabase();
    UnifiedDBRecord* db = DB();
    int32_t sheet = -1;
    if (gRpt.currentNode) {
        sheet = SheetIndexOf(gRpt.currentNode->sheetSpec);
        if (sheet < 0) return;
    }
    if (!gRpt.pinsByNetValid) {
        gRpt.pinsByNet = BuildNetMembersSortMap(db);
        gRpt.pinsByNetValid = true;
    }
    if (!gRpt.netMap.valid || gRpt.netMap.hash != gRpt.keys.hash) {
        std::vector<uint32_t> live;
        for (uint32_t id : db->netOrder) {
            if (db->nets[id].live) live.push_back(id);
        }
        gRpt.netMap.rows = SortRows(live, [](uint32_t id) { PushNet(id, true); });
        gRpt.netMap.hash = gRpt.keys.hash;
        gRpt.netMap.valid = true;
    }
    const std::vector<uint32_t> nets = gRpt.netMap.rows;
    const bool formerInside = gRpt.insideNets;
    gRpt.insideNets = true;
    const OSStatus st = CatchSignals([&] {
        for (uint32_t id : nets) {
            if (sheet >= 0 && db->nets[id].sheetIndex != sheet) continue;
            if (Visit(body, [&] { PushNet(id, true); })) break;
        }
    });
    gRpt.insideNets = formerInside;
    Signal(st);
}

void PinsLoop() {
    Nest nest(kNestPins);
    ReadSortKeys();
    const uint32_t body = gRpt.position;
    BuildDatabase();
    UnifiedDBRecord* db = DB();
    SheetNode* node = gRpt.currentNode;
    std::vector<uint32_t> rows;
    const RptContext* net = gRpt.insideNets ? Innermost(RptCtx::kNet) : nullptr;
    const RptContext* comp = gRpt.insideNets ? nullptr : Innermost(RptCtx::kComponent);
    if (net) {
        int32_t count = 0;
        const int32_t first = GetNetGroupedPinsRange(db, gRpt.pinsByNet, int32_t(net->item), nullptr, &count);
        for (int32_t i = 0; first >= 0 && i < count; ++i) {
            const uint32_t row = gRpt.pinsByNet[size_t(first + i)];
            // Under a current node, only the pins of that instance (hidden-pin defaults have none).
            if (node && GetUDBPinNode(db, db->pins[row]) != node) continue;
            rows.push_back(row);
        }
    } else if (comp) {
        for (uint32_t row = 0; row < db->pins.size(); ++row) {
            if (db->pins[row].compRow == uint32_t(comp->item)) rows.push_back(row);
        }
    }
    const bool insideNets = gRpt.insideNets;
    // A pin with its component inside a net loop, else with its net.
    const auto push = [&](uint32_t row) {
        const UDBPinEntry& p = db->pins[row];
        if (insideNets) PushComponent(p.compRow, false);
        else if (p.netId != kUDBNoNet) PushNet(uint32_t(p.netId), false);
        PushPin(row);
    };
    rows = SortRows(rows, push);
    for (uint32_t row : rows) {
        const UDBPinEntry& p = db->pins[row];
        // A pin of another instance is left out; a hidden-pin default counts where its
        // component stands in the instance.
        const SheetNode* pinNode = node ? GetUDBPinNode(db, p) : nullptr;
        if (node && !insideNets && pinNode != node &&
            !(pinNode == nullptr && IsDBCompInSheetInstance(db, node, p.compRow))) {
            continue;
        }
        if (Visit(body, [&] { push(row); })) break;
    }
}

// ---- Hierarchy traversal ----

// The instance nodes a hierarchy loop visits, in order.
std::vector<SheetNode*> BuildTraversalMap(uint16_t kind, uint16_t order) {
    std::vector<SheetNode*> nodes;
    ProjectRecord* project = gRpt.project;
    if (!project || !project->hierarchy) return nodes;
    SheetNode* root = DB()->rootNode;
    const bool descend = (gRpt.baseFlags & kUDBDescend) != 0;
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

void HierarchyLoop() {
    Nest nest(kNestHierarchy);
    const uint16_t kind = RptReadU16();
    const uint16_t order = RptReadU16();
    const uint32_t body = gRpt.position;
    if (!gRpt.db) {
        gRpt.dbFlags |= kFlagsModular;
        BuildDatabase();
    }
    UnifiedDBRecord* db = DB();
    if (!(db->flags & kFlagsModular) || !gRpt.project->hierarchy || !gRpt.project->hierarchy->first) return;
    const std::vector<SheetNode*> nodes = BuildTraversalMap(kind, order);
    const OSStatus st = CatchSignals([&] {
        for (SheetNode* n : nodes) {
            gRpt.currentNode = n;
            const bool stop = Visit(body, [&] {
                Push(RptCtx::kTreeNode, int64_t(reinterpret_cast<intptr_t>(n)));
                PushSheet(SheetIndexOf(n->sheetSpec), false);
            });
            if (stop) break;
        }
    });
    gRpt.currentNode = nullptr;
    Signal(st);
}

void PortsLoop() {
    Nest nest(kNestPorts);
    ReadSortKeys();
    const uint32_t body = gRpt.position;
    UnifiedDBRecord* db = DB();
    if (!db || !(db->flags & kFlagsModular) || !gRpt.currentNode) return;
    const int32_t sheet = SheetIndexOf(gRpt.currentNode->sheetSpec);
    std::vector<uint32_t> exports;
    UDBPortSpec spec;
    for (int32_t n = 0; GetNetExportSpec(db, sheet, n, &spec); ++n) exports.push_back(uint32_t(n));
    const auto push = [&](uint32_t n) {
        UDBPortSpec port{};
        if (GetNetExportSpec(db, sheet, int32_t(n), &port) && port.netId < db->nets.size()) {
            PushNet(port.netId, false, true);
        }
        Push(RptCtx::kPort, sheet, false, n);
    };
    exports = SortRows(exports, push);
    for (uint32_t n : exports) {
        if (Visit(body, [&] { push(n); })) break;
    }
}

void AttributesLoop() {
    const uint16_t kind = RptReadU16();
    Nest nest(kNestAttributes, kind);
    const uint32_t body = gRpt.position;
    static const RptCtx kKinds[] = {RptCtx::kPinAttributes, RptCtx::kCompAttributes,
                                    RptCtx::kNetAttributes, RptCtx::kSheetAttributes,
                                    RptCtx::kProjectAttributes};
    if (kind < 1 || kind > 5) Signal(status::kParamErr);
    const RptContext* found = Innermost(kKinds[kind - 1]);
    if (!found) return;
    const RptContext context = *found;
    const AttributeRun run = RunOf(context);
    for (int32_t i = 0; i < run.count; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        GetIndexedAttribute(run.block, run.handle, run.offset, i, name, value, nullptr, nullptr);
        if (name[0] == '~') continue;
        gRpt.attributeNames.push_back(name);
        gRpt.attributeValues.push_back(value);
        const size_t slot = gRpt.attributeNames.size() - 1;
        bool stop = false;
        const OSStatus st = CatchSignals([&] { stop = Visit(body, [&] { Push(RptCtx::kAttribute, int64_t(slot)); }); });
        gRpt.attributeNames.pop_back();
        gRpt.attributeValues.pop_back();
        Signal(st);
        if (stop) break;
    }
}

// ---- Descent rules ----

struct DescentWalk {
    uint32_t body;
};

bool IsSubSheetSymbol(const SymbolRecord* symbol) {
    return (symbol->flags & 0x0C00) && (symbol->flags & 0x2000);
}

OSStatus DescentSheet(ProjectRecord* project, SheetNode* root, bool, SheetSpec* spec, SheetRecord* sheet,
                      void* data) {
    if (!spec || !sheet) return status::kNoErr;
    const auto* walk = static_cast<DescentWalk*>(data);
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
            gRpt.currentInstance = node->instance;
            gRpt.descentSpec = spec;
            for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
                 symbol = symbol->next) {
                if (!IsSubSheetSymbol(symbol)) continue;
                AssignToVariable("NODESCENT", "0");
                gRpt.descentSheet = sheet;
                gRpt.descentSymbol = symbol;
                const size_t depth = gRpt.contexts.size();
                Push(RptCtx::kSymbol, 0);
                gRpt.position = walk->body;
                const OSStatus st = CatchSignals([&] { ProcessStatementBlock(); });
                gRpt.contexts.resize(depth);
                gRpt.descentSymbol = nullptr;
                Signal(st);
                if (StringToSInt32(RptReadName("NODESCENT").c_str(), nullptr, 10) != 0) {
                    for (SheetNode* child = node->firstChild; child; child = child->next) {
                        if (child->serial == symbol->serial) child->flags |= kSheetNodeNoDescent;
                    }
                }
            }
        }
        gRpt.currentInstance = nullptr;
        gRpt.descentSpec = nullptr;
    });
}

void DescentRules() {
    Nest nest(kNestDescentRules);
    const uint32_t body = gRpt.position;
    if (!gRpt.db && gRpt.project && gRpt.project->hierarchy) {
        DescentWalk walk{body};
        const uint32_t flags = (gRpt.baseFlags & kUDBDescend) ? kWalkDescend : 0;
        Signal(ProcessHierarchySheets(gRpt.project, gRpt.rootInstance, flags, DescentSheet, nullptr, &walk));
    }
}

bool SymbolField(const std::string& key, std::string* value) {
    const SymbolRecord* symbol = gRpt.descentSymbol;
    if (!symbol) return false;
    if (key == "$$SERIALNUMBER$$") {
        *value = Number(symbol->serial);
        return true;
    }
    if (key == "SHEETFILE" && gRpt.descentSpec) {
        char name[160] = {0};
        GetSheetSpecName(gRpt.project, gRpt.descentSpec, name, sizeof name);
        *value = name[0] ? name : "Untitled";
        return true;
    }
    if (key == "REFDES" || key == "REFDESNQ" || key == "REFDESPREFIX") {
        // As on its sheet, in the context of the instance being walked.
        char text[kAttributeTextSize] = {0};
        if (symbol->component || (symbol->flags & kSymbolFlagSheet))
            GetInstanceAnnotation(gRpt.project, gRpt.currentInstance, symbol->serial, text);
        else
            GetSymbolRefName(symbol, gRpt.descentSheet->stringBlock, text);
        if (key == "REFDESPREFIX") RefDesToPrefix(text);
        *value = text;
        return true;
    }
    if (key == "COMPNAME") {
        char text[kAttributeTextSize] = {0};
        GetSymbolName(symbol, gRpt.descentSheet->stringBlock, text);
        *value = text;
        return true;
    }
    if (key == "SUBSHEETFILE") {
        char name[kAttributeTextSize] = {0};
        if (GetSymbolHooks().getSheetSymbolFileName) {
            GetSymbolHooks().getSheetSymbolFileName(symbol, gRpt.descentSheet->stringBlock, name);
        }
        *value = name;
        return true;
    }
    char text[kAttributeTextSize] = {0};
    if (symbol->attributes && symbol->attributeCount) {
        const int16_t index = GetAttributeValue(gRpt.descentSheet->stringBlock, symbol->attributes, 0,
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

bool RptContextValue(const RptContext& context, const std::string& name, std::string* value) {
    const std::string key = RptUpper(name);
    switch (context.kind) {
        case RptCtx::kGlobals: return GlobalField(key, value);
        case RptCtx::kProject: return gRpt.project && ProjectField(key, value);
        case RptCtx::kSheet: return SheetField(context.item, key, value);
        case RptCtx::kComponent: return ComponentField(context.item, key, value);
        case RptCtx::kNet: return NetField(context.item, key, value);
        case RptCtx::kPin: return PinField(context.item, key, value);
        case RptCtx::kTreeNode: return TreeNodeField(context.item, key, value);
        case RptCtx::kPort: return PortField(context, key, value);
        case RptCtx::kSymbol: return SymbolField(key, value);
        case RptCtx::kAttribute:
            if (key == "ATTRIBUTENAME") *value = gRpt.attributeNames[size_t(context.item)];
            else if (key == "ATTRIBUTEVALUE") *value = gRpt.attributeValues[size_t(context.item)];
            else return false;
            return true;
        default:
            return AttributeValue(context, name, value);
    }
}

void RptRunLoop(uint16_t code) {
    const uint32_t hole = RptReadU32();
    switch (code) {
        case kRptComponents: ComponentsLoop(); break;
        case kRptNets: NetsLoop(); break;
        case kRptPins: PinsLoop(); break;
        case kRptPorts: PortsLoop(); break;
        case kRptHierarchy: HierarchyLoop(); break;
        case kRptAttributes: AttributesLoop(); break;
        case kRptDescentRules: DescentRules(); break;
        default: Signal(status::kParamErr);
    }
    gRpt.position = hole;
}

void RptDatabaseStatement() {
    RptFreeDatabase();
    gRpt.dbFlags = gRpt.baseFlags;
    for (;;) {
        switch (RptPeekCode()) {
            case kRptNoComps: gRpt.dbFlags |= kFlagsNoCompAttributes; break;
            case kRptNoNets: gRpt.dbFlags |= kFlagsNoNets; break;
            case kRptNoPins: gRpt.dbFlags |= kFlagsNoPins; break;
            case kRptModular: gRpt.dbFlags |= kFlagsModular; break;
            case kRptCrossRef: gRpt.dbFlags |= kFlagsSimulatorMaps; break;
            case kRptNoGrouping: gRpt.dbFlags |= kFlagsNoGrouping; break;
            case kRptGraphics: gRpt.dbFlags |= kFlagsGraphics; break;
            default: BuildDatabase(); return;
        }
        RptReadCode();
    }
}

void RptBeginHierarchy() {
    ProjectRecord* project = gRpt.project;
    if (!project || !project->hierarchy) return;
    int32_t base = 0;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        if (n->instance && gRpt.rootInstance && n->instance == gRpt.rootInstance) base = n->depth;
    }
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        gRpt.nodeFlags.push_back({n, n->flags});
        n->flags &= uint16_t(~kSheetNodeNoDescent);
        if (gRpt.levelLimit < 9999 && n->depth - base > gRpt.levelLimit) n->flags |= kSheetNodeNoDescent;
    }
}

void RptEndHierarchy() {
    for (const auto& [node, flags] : gRpt.nodeFlags) node->flags = flags;
    gRpt.nodeFlags.clear();
}

void RptFreeDatabase() {
    if (gRpt.db) {
        DestroyUnifiedDB(gRpt.db);
        delete gRpt.db;
        gRpt.db = nullptr;
    }
    gRpt.compMap = RptSortMap();
    gRpt.netMap = RptSortMap();
    gRpt.pinsByNet.clear();
    gRpt.pinsByNetValid = false;
}

}  // namespace plexa
