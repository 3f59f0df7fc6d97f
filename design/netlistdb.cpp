// The unified netlist database: the walk, the sheet and instance passes, pin rows, the
// conversion of the comp table and the accessors (see netlistdb.h).
#include "design/netlistdb.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <sys/mman.h>
#include <functional>
#include <memory>
#include <string_view>

#include "design/designstate.h"
#include "design/netlist_internal.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "foundation/bitarray.h"
#include "foundation/da.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/statustext.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/fieldexpand.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"

namespace plexa {

UnifiedDBRecord*& gCurrentDB = gDesignState.currentDB;
SheetInstance*& gDBRootInstance = gDesignState.dbRootInstance;
bool& gHeirarchyRebuilt = gDesignState.hierarchyRebuilt;

namespace {

constexpr uint32_t kNoOrder = 0xFFFFFFFF;
constexpr uint32_t kNoName = 0xFFFFFFFF;

std::string Upper(const char* text) {
    std::string s(text ? text : "");
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return s;
}

void TrimInPlace(char* text) {
    size_t n = std::strlen(text);
    while (n && (text[n - 1] == ' ' || text[n - 1] == '\t')) text[--n] = 0;
    size_t i = 0;
    while (text[i] == ' ' || text[i] == '\t') ++i;
    if (i) std::memmove(text, text + i, n - i + 1);
}

bool IsSubSheetSymbol(const SymbolRecord* symbol) {
    return (symbol->flags & (kSymbolFlagSheet | kSymbolFlagSubSheet)) != 0;
}

}  // namespace

// ---- Names and shared helpers ----

int CompareUDBNames(const char* a, const char* b) {
    if (int r = StrCmpAlphaNumeric(a, b, false)) return r;
    return StrCmpAlphaNumeric(a, b, true);
}

std::unordered_map<StringSpec, uint32_t> RankStringSpecsByName(UDBScratch<StringSpec> specs, StringBlock block,
                                                              int (*same)(const char*, const char*)) {
    if (!same) same = CompareUDBNames;
    // Repeats are the rule (the rows of an instance share a qualifier, every instance has the same
    // designators): a small table of the specs last seen drops most of them before the sort.
    std::array<StringSpec, 4096> seen{};
    size_t kept = 0;
    for (const StringSpec spec : specs) {
        StringSpec& last = seen[(spec * 0x9E3779B1u) >> 20];
        if (spec && last == spec) continue;
        last = spec;
        specs[kept++] = spec;
    }
    specs.resize(kept);
    std::sort(specs.begin(), specs.end());
    specs.erase(std::unique(specs.begin(), specs.end()), specs.end());
    // The texts one after another, each terminated, in one buffer.
    std::vector<char> texts;
    std::vector<size_t> at(specs.size());
    char buffer[kStringSpecBufferSize];
    for (size_t i = 0; i < specs.size(); ++i) {
        const int32_t length = ExtractStringSpec(specs[i], block, buffer, sizeof buffer);
        at[i] = texts.size();
        texts.insert(texts.end(), buffer, buffer + std::max<int32_t>(length, 0));
        texts.push_back(0);
    }
    auto text = [&](uint32_t i) { return texts.data() + at[i]; };
    std::vector<uint32_t> order(specs.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = uint32_t(i);
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const int r = CompareUDBNames(text(a), text(b));
        return r != 0 ? r < 0 : a < b;
    });
    std::unordered_map<StringSpec, uint32_t> ranks;
    ranks.reserve(order.size());
    uint32_t r = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        if (i && same(text(order[i - 1]), text(order[i])) != 0) ++r;
        ranks[specs[order[i]]] = r;
    }
    return ranks;
}

void* MapScratch(size_t bytes) {
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    return block;
}

void UnmapScratch(void* block, size_t bytes) { munmap(block, bytes); }

namespace {

size_t HashText(const char* text, uint32_t length) {
    return std::hash<std::string_view>()(std::string_view(text, length));
}

}  // namespace

size_t UDBStringPool::Slot(const char* text, uint32_t length, size_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const StringSpec spec = slots_[i];
        if (!spec) return i;
        if (StringSpecLength(spec) == length && std::memcmp(*block_ + StringSpecOffset(spec), text, length) == 0)
            return i;
    }
}

StringSpec UDBStringPool::Add(const char* text, OSStatus* status) {
    if (!text || !*text) return 0;
    const uint32_t length = ClampStringSpecLength(text, uint32_t(std::strlen(text)));
    const size_t hash = HashText(text, length);
    if (slots_.empty()) slots_.assign(64, 0);
    size_t slot = Slot(text, length, hash);
    if (slots_[slot]) return slots_[slot];
    auto fail = [status](OSStatus st) {
        if (status && *status == 0) *status = st ? st : status::kOutOfMemory;
        return StringSpec(0);
    };
    // At most half full: the table doubles before it would pass that.
    if ((count_ + 1) * 2 > slots_.size()) {
        std::vector<StringSpec> old;
        try {
            old.assign(slots_.size() * 2, 0);
        } catch (const std::bad_alloc&) {
            return fail(status::kOutOfMemory);
        }
        old.swap(slots_);
        for (StringSpec spec : old) {
            if (!spec) continue;
            const char* at = *block_ + StringSpecOffset(spec);
            slots_[Slot(at, StringSpecLength(spec), HashText(at, StringSpecLength(spec)))] = spec;
        }
        slot = Slot(text, length, hash);
    }
    const StringSpec spec = AppendStringBlock(block_, text, length, nullptr);
    if (!spec) return fail(StringBlockAddStatus());
    slots_[slot] = spec;
    ++count_;
    return spec;
}

UDBBuild::~UDBBuild() {
    delete compStrings;
    delete netStrings;
    delete pinStrings;
}

uint32_t UDBBuild::NameId(const char* name) {
    std::string key = Upper(name);
    auto it = nameIds.find(key);
    if (it != nameIds.end()) return it->second;
    StringSpec spec = 0;
    if (name && *name) {
        spec = AppendStringBlock(db->netNameStrings, name, uint32_t(std::strlen(name)), nullptr);
        if (!spec) {
            if (status == 0) status = StringBlockAddStatus() ? StringBlockAddStatus() : status::kOutOfMemory;
            return kNoName;
        }
    }
    const uint32_t id = uint32_t(db->netNames.size());
    db->netNames.push_back(spec);
    nameIds.emplace(std::move(key), id);
    return id;
}

uint32_t UDBBuild::AddNet(uint32_t nameId, uint16_t sheet, uint8_t scope, uint8_t flags) {
    UDBNetEntry row{};
    row.nameId = nameId;
    row.sheetIndex = sheet;
    row.scope = scope;
    row.flags = flags;
    row.live = true;
    db->nets.push_back(row);
    const uint32_t id = uint32_t(db->nets.size() - 1);
    mergeParent.push_back(id);
    return id;
}

uint32_t UDBBuild::NodeOrder(const SheetNode* node) const {
    if (!node) return kNoOrder;
    auto it = tree.order.find(node);
    return it == tree.order.end() ? kNoOrder : it->second;
}

StringSpec UDBBuild::Qualifier(SheetNode* node) {
    const uint32_t order = NodeOrder(node);
    // The last entry stands for a node the tree does not know.
    if (qualifiers.empty()) qualifiers.assign(tree.nodes.size() + 1, kNoQualifier);
    StringSpec& cached = qualifiers[order < tree.nodes.size() ? order : tree.nodes.size()];
    if (cached != kNoQualifier) return cached;
    const ProjectSettings& settings = project->settings;
    const bool suffix = settings.instanceNamePlace == 1;
    char text[kUDBTextSize] = "?";
    if (node) {
        if (settings.instanceNaming) {
            BuildSheetInstancePath(project, node, db->rootNode, compMap, suffix ? 4 : 0, text, 254);
        } else if (SheetInstance* instance = RetrieveSheetInstance(project, node, node != db->rootNode)) {
            std::snprintf(text, sizeof text, "I%u", instance->id);
        }
    }
    char stored[kUDBTextSize * 2];
    if (!text[0]) {
        stored[0] = 0;
    } else {
        char separator[sizeof settings.separator + 1] = {};
        std::memcpy(separator, settings.separator, sizeof settings.separator);
        separator[sizeof settings.separator] = 0;
        if (suffix)
            std::snprintf(stored, sizeof stored, "%s%s", separator, text);
        else
            std::snprintf(stored, sizeof stored, "%s%s", text, separator);
    }
    const StringSpec spec = netStrings->Add(stored, &status);
    cached = spec;
    return spec;
}

// ---- The hierarchy as the build walks it ----

namespace {

void VisitPostOrder(SheetNode* node, UDBTree* tree) {
    if (node->flags & (kSheetNodeCircular | kSheetNodeNoDescent)) return;
    for (SheetNode* child = node->firstChild; child; child = child->next) VisitPostOrder(child, tree);
    auto it = tree->sheetIndex.find(node->sheetSpec);
    if (it != tree->sheetIndex.end()) tree->visits[size_t(it->second)].push_back(node);
}

}  // namespace

void BuildUDBTree(ProjectRecord* project, SheetNode* root, bool descend, UDBTree* tree) {
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec;
         spec = static_cast<SheetSpec*>(LLGetNext(project->sheetSpecs, spec))) {
        tree->sheetIndex.emplace(spec, int32_t(tree->specs.size()));
        tree->specs.push_back(spec);
    }
    tree->visits.assign(tree->specs.size(), {});
    tree->treeVisits.assign(tree->specs.size(), {});
    tree->topLevel.assign(tree->specs.size(), false);
    SheetTree* hierarchy = project->hierarchy;
    if (!hierarchy) return;
    for (SheetNode* node = NextSheetNode(hierarchy, nullptr); node; node = NextSheetNode(hierarchy, node)) {
        tree->order.emplace(node, uint32_t(tree->nodes.size()));
        tree->nodes.push_back(node);
        if (!node->parent) {
            auto it = tree->sheetIndex.find(node->sheetSpec);
            if (it != tree->sheetIndex.end()) tree->topLevel[size_t(it->second)] = true;
        }
    }
    // Subtree ends: a node's subtree runs to the next node that is not below it.
    const size_t n = tree->nodes.size();
    tree->subtreeEnd.assign(n, uint32_t(n));
    std::vector<uint32_t> open;
    for (size_t i = 0; i < n; ++i) {
        const SheetNode* node = tree->nodes[i];
        while (!open.empty() && tree->nodes[open.back()] != node->parent) {
            tree->subtreeEnd[open.back()] = uint32_t(i);
            open.pop_back();
        }
        open.push_back(uint32_t(i));
    }
    if (root) {
        auto it = tree->sheetIndex.find(root->sheetSpec);
        if (it != tree->sheetIndex.end()) tree->visits[size_t(it->second)].push_back(root);
        if (descend)
            for (SheetNode* child = root->firstChild; child; child = child->next) VisitPostOrder(child, tree);
    } else {
        for (SheetNode* top = hierarchy->first; top; top = top->next) {
            if (descend) {
                VisitPostOrder(top, tree);
            } else if (!(top->flags & (kSheetNodeCircular | kSheetNodeNoDescent))) {
                auto it = tree->sheetIndex.find(top->sheetSpec);
                if (it != tree->sheetIndex.end()) tree->visits[size_t(it->second)].push_back(top);
            }
        }
    }
    for (size_t s = 0; s < tree->visits.size(); ++s) {
        for (SheetNode* node : tree->visits[s]) tree->treeVisits[s].push_back(tree->order[node]);
        std::sort(tree->treeVisits[s].begin(), tree->treeVisits[s].end());
    }
}

// ---- The sheet walk ----

namespace {
HierarchyWalkFailure gWalkFailure;
}  // namespace

const HierarchyWalkFailure& GetHierarchyWalkFailure() { return gWalkFailure; }

OSStatus ProcessHierarchySheets(ProjectRecord* project, SheetInstance* root, uint32_t flags,
                                HierarchySheetProc proc, HierarchyFilterProc filter, void* data) {
    gWalkFailure = HierarchyWalkFailure{};
    if (!project || !proc) return status::kParamErr;
    SheetNode* rootNode = root ? GetSheetNodeWithInstance(project, root) : nullptr;
    if (root && !rootNode) return status::kNotFound;
    const bool descend = (flags & kWalkDescend) != 0;
    UDBTree tree;
    BuildUDBTree(project, rootNode, descend, &tree);
    const SheetServices& services = GetSheetServices();
    OSStatus st = status::kNoErr;
    gHeirarchyRebuilt = false;
    bool loadedAny = false;
    // The sheet of a spec the walk takes: from the open sheets, else loaded; none (and no error)
    // when the walk skips the spec.
    auto take = [&](size_t i, SheetRecord** sheet) -> OSStatus {
        *sheet = nullptr;
        SheetSpec* spec = tree.specs[i];
        if (tree.visits[i].empty()) return status::kNoErr;
        if (filter && !filter(project, spec, data)) return status::kNoErr;
        char name[kFileSpecNameCapacity];
        GetSheetSpecName(project, spec, name, sizeof name);
        *sheet = services.getLoadedSheet ? services.getLoadedSheet(name, project) : nullptr;
        if (*sheet) return status::kNoErr;
        FileSpec file;
        if (!ResolveSheetSpecFile(project, spec, &file, nullptr)) return status::kNoErr;
        if (!services.loadSheet) return kSheetServiceMissing;
        if (OSStatus loaded = services.loadSheet(project, spec, &file, sheet)) {
            // Named, so that the failure of what the walk served does not read as its own.
            gWalkFailure = HierarchyWalkFailure{name, loaded};
            LogHierarchyWarning(project, kHierSheetUnreadable, spec, nullptr, 0, name, DescribeStatus(loaded).c_str());
            return loaded;
        }
        loadedAny = true;
        return status::kNoErr;
    };
    // Pass 2: a sheet that does not belong to this project is given the project's context through
    // its first instance (file-symbol warnings suppressed meanwhile). A changed context may have
    // rebuilt the hierarchy: the root node and the tree are looked up again.
    if (flags & kWalkTwoPasses) {
        bool changed = false;
        for (size_t i = 0; i < tree.specs.size() && st == status::kNoErr; ++i) {
            SheetRecord* sheet = nullptr;
            if ((st = take(i, &sheet)) != status::kNoErr || !sheet || sheet->project == project) continue;
            SheetNode* first = GetSheetNodeUsingSheetSpec(project, tree.specs[i]);
            SheetInstance* instance = first ? RetrieveSheetInstance(project, first, true) : nullptr;
            if (!instance) continue;
            const bool warnings = SetFileSymbolWarningsSuppressed(project, true);
            st = SetSheetContext(sheet, project, instance, false);
            SetFileSymbolWarningsSuppressed(project, warnings);
            changed = true;
        }
        if (changed && st == status::kNoErr) {
            gHeirarchyRebuilt = true;
            rootNode = root ? GetSheetNodeWithInstance(project, root) : nullptr;
            if (root && !rootNode) st = status::kNotFound;
            tree = UDBTree{};
            BuildUDBTree(project, rootNode, descend, &tree);
        }
    }
    for (size_t i = 0; i < tree.specs.size() && st == status::kNoErr; ++i) {
        SheetRecord* sheet = nullptr;
        if ((st = take(i, &sheet)) != status::kNoErr || !sheet) continue;
        st = proc(project, rootNode, descend, tree.specs[i], sheet, data);
        if (loadedAny && !(flags & kWalkKeepLoaded) && services.releaseLoadedSheets) {
            services.releaseLoadedSheets(project);
            loadedAny = false;
        }
    }
    if (flags & kWalkFinalCall) {
        const OSStatus last = proc(project, rootNode, descend, nullptr, nullptr, &st);
        if (st == status::kNoErr) st = last;
    }
    if (loadedAny && services.releaseLoadedSheets) services.releaseLoadedSheets(project);
    return st;
}

// ---- The build ----

// The rows of the largest tables stay this small (a change of layout shows here).
static_assert(sizeof(UDBCompEntry) == 32);
static_assert(sizeof(UDBNetEntry) == 16);
static_assert(sizeof(UDBPinEntry) == 16);

namespace {

struct GroupKey {
    StringSpec designator;
    uint32_t instance;  // the node order + 1 of the row's instance when designators are qualified, else 0
    uint32_t collection;
    uint16_t nameIndex;
    uint8_t package;
    bool operator==(const GroupKey&) const = default;
};
struct GroupKeyHash {
    size_t operator()(const GroupKey& k) const {
        uint64_t h = k.designator * 0x9E3779B97F4A7C15ull;
        h ^= (uint64_t(k.instance) << 1) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
        h ^= (uint64_t(k.collection) << 20 | uint64_t(k.package) << 16 | k.nameIndex) + (h << 6) + (h >> 2);
        return size_t(h);
    }
};

// A component of the collection list with the package and name that a sheet component matched.
struct CollectedComp {
    ComponentRecord* component;
    uint32_t index;
    int32_t package;
};

// One pin of a symbol's section, ready for the rows of every instance: its definition and net.
struct PinPlan {
    uint32_t def;
    int32_t net;
};

struct PinDefKey {
    StringSpec number, name;
    uint32_t pinData;
    uint8_t type;
    bool operator==(const PinDefKey&) const = default;
};
struct PinDefKeyHash {
    size_t operator()(const PinDefKey& k) const {
        uint64_t h = (uint64_t(k.number) << 32 | k.name) * 0x9E3779B97F4A7C15ull;
        h ^= (uint64_t(k.pinData) << 8 | k.type) + 0x632BE59BD9B4E019ull + (h << 6) + (h >> 2);
        return size_t(h);
    }
};

// The collection data and the per-build indexes of the passes.
struct Collector {
    UDBBuild* build;
    LinkListHeader* list = nullptr;
    StringBlock strings = nullptr;
    PinDataTable pins = nullptr;
    std::unordered_map<ComponentRecord*, uint32_t> indexOf;
    uint32_t nextIndex = 0;
    std::unordered_map<GroupKey, uint32_t, GroupKeyHash> groups;
    UDBScratch<uint32_t> firstPin;  // per comp row: its first pin row, kNoOrder for none
    UDBScratch<uint32_t> nextPin;   // per pin row: the next pin row of its comp row
    std::unordered_map<uint32_t, uint32_t> pinDataCopies;
    std::unordered_map<PinDefKey, uint32_t, PinDefKeyHash> pinDefIds;
    std::vector<ComponentRecord*> components;  // by collection index
    SpiceCompMap compMap = nullptr;

    // Frees the indexes that only the passes use, before the later phases need room.
    void ReleaseScratch() {
        decltype(indexOf)().swap(indexOf);
        decltype(groups)().swap(groups);
        UDBScratch<uint32_t>().swap(firstPin);
        UDBScratch<uint32_t>().swap(nextPin);
        decltype(pinDataCopies)().swap(pinDataCopies);
        decltype(pinDefIds)().swap(pinDefIds);
        decltype(build->nameIds)().swap(build->nameIds);
    }
};

struct SheetPass {
    SheetRecord* sheet;
    SheetSpec* spec;
    uint16_t index;
    bool inner, shared, hierarchical;
    AnnotationMap* annotation;
    std::unordered_map<uint32_t, SymbolRecord*> symbols;
    std::unordered_map<uint64_t, int32_t> pinNets;      // serial << 16 | node -> net
    std::unordered_map<uint32_t, int32_t> namedNets;    // name id -> net (name-joined first)
    std::unordered_map<uint64_t, const AnnotationSpec*> annotations;  // serial << 32 | instance
    std::unordered_map<uint64_t, CollectedComp> collected;            // sheet comp and kind
    std::unordered_map<uint64_t, std::vector<PinPlan>> plans;         // serial << 16 | section
    std::vector<std::pair<uint32_t, uint32_t>> signalNets;            // {name id, net} of signals with pins
    DataContextChain* chain = nullptr;  // the sheet's data contexts, made on first use
    ProjectRecord* project = nullptr;
    ~SheetPass() {
        if (chain) DestroyDataCtxChain(chain);
    }
};

uint64_t PinKey(uint32_t serial, uint32_t node) { return uint64_t(serial) << 16 | (node & 0xFFFF); }

SheetNode* ChildOfSerial(SheetNode* node, uint32_t serial) {
    for (SheetNode* child = node ? node->firstChild : nullptr; child; child = child->next)
        if (child->serial == serial) return child;
    return nullptr;
}

AnnotationMap* SpecAnnotation(ProjectRecord* project, SheetSpec* spec) {
    if (project->settings.annotationFlags & kAnnotationKeptInSheets) {
        return spec->localAnnotation ? spec->localAnnotation->map : nullptr;
    }
    return spec->annotationMap;
}

// Both layers of a map: a pending spec stands before the saved one of its instance.
void IndexAnnotation(SheetPass* pass) {
    AnnotationMap* map = pass->annotation;
    if (!map) return;
    const int32_t n = CountAnnotationMapEntries(map);
    for (int32_t i = 0; i < n; ++i) {
        AnnotationMapEntry entry{};
        if (!GetAnnotationMapEntry(map, i, &entry)) continue;
        for (const AnnotationSpec* s = entry.pending; s; s = s->next)
            pass->annotations.emplace(uint64_t(entry.symbolId) << 32 | uint32_t(s->instanceId), s);
        for (const AnnotationSpec* s = entry.saved; s; s = s->next)
            pass->annotations.emplace(uint64_t(entry.symbolId) << 32 | uint32_t(s->instanceId), s);
    }
}

void AddImport(UDBBuild* build, uint16_t sheet, uint32_t nameId, uint32_t serial, uint32_t net,
               uint16_t child) {
    if (nameId == kNoName) return;
    build->ports[sheet].imports.push_back({nameId, serial, net, child});
}

void AddExport(UDBBuild* build, uint16_t sheet, uint32_t nameId, uint32_t serial, uint32_t net,
               uint16_t type) {
    if (nameId == kNoName) return;
    build->ports[sheet].exports.push_back({nameId, serial, net, type});
}

// The name of a sheet symbol's port, or of a file symbol's pin.
void SubSheetPortName(SheetPass* pass, SymbolRecord* symbol, uint32_t node, char* name) {
    name[0] = 0;
    if (symbol->flags & kSymbolFlagSheet) {
        const SymbolHooks& hooks = GetSymbolHooks();
        if (hooks.getSheetSymbolPortName)
            hooks.getSheetSymbolPortName(symbol, int32_t(node), pass->sheet->stringBlock, name);
        return;
    }
    if (ComponentRecord* comp = symbol->component) {
        const uint32_t id = GetCompSymbolPinDataId(comp, GetSymbolsPinSet(symbol), symbol->kind.comp.symbol,
                                                   int32_t(node));
        GetIndexedPinDataName(pass->sheet->pinDataTable, int32_t(id), pass->sheet->stringBlock, name);
    }
}

// The index of the sub-sheet that a symbol names, -1 when it names none the project knows.
int32_t SubSheetIndex(UDBBuild* build, SheetPass* pass, SymbolRecord* symbol) {
    if (!IsSubSheetSymbol(symbol)) return -1;
    char name[kSymbolTextSize];
    if (!GetSymbolSheetName(symbol, pass->sheet->stringBlock, name)) return -1;
    int32_t index = -1;
    if (!GetNamedSheetSpec(build->project, name, &index)) return -1;
    return index;
}

// The first net of a name answers name look-ups, unless a name-joined one comes later.
void RegisterNamedNet(SheetPass* pass, uint32_t nameId, int32_t net, bool nameJoined) {
    auto [it, added] = pass->namedNets.emplace(nameId, net);
    if (!added && nameJoined) it->second = net;
}

int32_t FindNamedNet(SheetPass* pass, const char* name, UDBBuild* build) {
    auto id = build->nameIds.find(Upper(name));
    if (id == build->nameIds.end()) return kUDBNoNet;
    auto it = pass->namedNets.find(id->second);
    return it == pass->namedNets.end() ? kUDBNoNet : it->second;
}

// Members "%s%d" of a range name, at most kNetRangeLimit + 1 of them; none for a plain name.
std::vector<std::string> RangeMembers(const char* name) {
    std::vector<std::string> members;
    char base[kNetNameBaseLength + 1];
    int32_t first = 0, count = 0;
    if (!GetNetNameRange(name, base, &first, &count) || count <= 0 || count > kNetRangeLimit + 1)
        return members;
    members.reserve(size_t(count));
    char member[kBusMemberNameSize + 16];
    for (int32_t i = 0; i < count; ++i) {
        std::snprintf(member, sizeof member, "%s%d", base, first + i);
        members.emplace_back(member);
    }
    return members;
}

// The nets a hidden pin names, as pairs {pin member, net name}: one pair with no member for a
// plain pin; for a bus pin whose name is a range, one per member, on the members of its signal's
// range (on the pin's own members when the signal names no range). The signal name has its fields
// expanded through the sheet's data contexts and is trimmed; an empty name gives no pair.
std::vector<std::pair<std::string, std::string>> HiddenPinNets(SheetPass* pass, Handle record, StringBlock block) {
    std::vector<std::pair<std::string, std::string>> nets;
    char signal[kPinTextSize];
    GetHiddenPinSignalName(record, block, true, signal);
    if (!pass->chain) pass->chain = BuildSheetContextChain(pass->sheet, pass->project);
    if (pass->chain) {
        int32_t length = int32_t(std::strlen(signal));
        ExpandDataString(signal, &length, kPinTextSize - 1, pass->chain);
        signal[std::clamp(length, 0, kPinTextSize - 1)] = 0;
    }
    TrimInPlace(signal);
    if (!signal[0]) return nets;
    std::vector<std::string> pinMembers;
    if (GetPinDataType(record, true) & kPinBusFlag) {
        char pinName[kPinTextSize];
        GetPinDataName(record, block, pinName);
        pinMembers = RangeMembers(pinName);
    }
    if (pinMembers.empty()) {
        nets.emplace_back(std::string(), signal);
        return nets;
    }
    std::vector<std::string> netMembers = RangeMembers(signal);
    if (netMembers.empty()) netMembers = pinMembers;
    for (size_t m = 0; m < pinMembers.size() && m < netMembers.size(); ++m)
        nets.emplace_back(pinMembers[m], netMembers[m]);
    return nets;
}

OSStatus SignalsPass(UDBBuild* build, SheetPass* pass) {
    SheetRecord* sheet = pass->sheet;
    ProjectRecord* project = build->project;
    UnifiedDBRecord* db = build->db;
    for (auto s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s))) {
        char name[kSignalNameSize];
        GetSignalName(s, sheet->stringBlock, name);
        int32_t named = 0;
        int32_t scope = CalcSignalScope(project, sheet, s, &named);
        if (scope == kScopeExport && !pass->inner) scope = kScopeLocal;
        uint8_t flags = pass->shared ? kUDBNetSharedSheet : 0;
        if (!named) flags |= kUDBNetNotGlobal;
        if ((*s)->flags & kSignalFlagBreakOut) flags |= kUDBNetNameJoined;
        const uint32_t nameId = build->NameId(name);
        if (nameId == kNoName) return build->status;
        const uint32_t net = build->AddNet(nameId, pass->index, uint8_t(scope), flags);
        if ((*s)->attributes && (*s)->attributeCount) {
            if (Handle run = AllocHandle(nullptr, 0)) {
                int16_t count = 0;
                MergeAttributes(sheet->stringBlock, (*s)->attributes, 0, (*s)->attributeCount, db->netStrings,
                                run, 0, &count, kMergeEmptyValues);
                db->nets[net].attributes = AddAttributeRun(db, run, uint16_t(count));
            }
        }
        RegisterNamedNet(pass, nameId, int32_t(net), (flags & kUDBNetNameJoined) != 0);
        const int32_t pins = (*s)->pinCount;
        if (pins > 0) pass->signalNets.emplace_back(nameId, net);
        for (int32_t i = 0; i < pins; ++i) {
            const SignalPinEntry entry = SignalPins(s)[i];
            pass->pinNets.emplace(PinKey(entry.serial, entry.node), int32_t(net));
            auto sym = pass->symbols.find(entry.serial);
            if (sym == pass->symbols.end()) continue;
            SymbolRecord* symbol = sym->second;
            if (pass->hierarchical) {
                const int32_t child = SubSheetIndex(build, pass, symbol);
                if (child >= 0) {
                    char port[kSymbolTextSize];
                    SubSheetPortName(pass, symbol, entry.node, port);
                    if (port[0])
                        AddImport(build, pass->index, build->NameId(port), symbol->serial, net, uint16_t(child));
                    continue;
                }
            }
            if (!pass->inner) continue;
            if (symbol->flags & kSymbolFlagModulePort) {
                char port[kSymbolTextSize];
                GetPortSymbolName(sheet, symbol, s, port);
                if (port[0])
                    AddExport(build, pass->index, build->NameId(port), symbol->serial, net,
                              uint16_t(GetPortSymbolType(symbol)));
            } else if ((symbol->flags & 0x300) == kSymbolFlagPort && sheet->stored.scopeA == 1) {
                AddExport(build, pass->index, nameId, symbol->serial, net, 0);
            }
        }
    }
    return build->status;
}

OSStatus BussesPass(UDBBuild* build, SheetPass* pass) {
    SheetRecord* sheet = pass->sheet;
    UnifiedDBRecord* db = build->db;
    int32_t portLevel = 1;
    bool breakOutsGlobal = false;
    GetProjectSignalScope(build->project, &portLevel, &breakOutsGlobal);
    const uint8_t memberScope = build->project->settings.globalFlagged ? kUDBScopeGlobal : kUDBScopeLocal;
    auto addMember = [&](const std::string& member) -> OSStatus {
        const uint32_t nameId = build->NameId(member.c_str());
        if (nameId == kNoName) return build->status;
        auto it = pass->namedNets.find(nameId);
        if (it != pass->namedNets.end() && (db->nets[size_t(it->second)].flags & kUDBNetNameJoined)) {
            UDBNetEntry& row = db->nets[size_t(it->second)];
            row.scope = std::max(row.scope, memberScope);
            return status::kNoErr;
        }
        uint8_t flags = kUDBNetNameJoined;
        if (pass->shared) flags |= kUDBNetSharedSheet;
        const uint32_t net = build->AddNet(nameId, pass->index, memberScope, flags);
        pass->namedNets[nameId] = int32_t(net);
        return status::kNoErr;
    };
    for (auto b = static_cast<BussHandle>(LLFirst(sheet->bussList)); b;
         b = static_cast<BussHandle>(LLGetNext(sheet->bussList, b))) {
        char name[256];
        GetBussName(b, sheet->stringBlock, name);
        for (const std::string& m : RangeMembers(name))
            if (OSStatus st = addMember(m)) return st;
        const int32_t terminals = (*b)->terminalCount;
        for (int32_t t = 0; t < terminals; ++t) {
            SymbolRecord* symbol = GetBussPinSymbol(sheet->symbolList, b, t);
            if (!symbol || (symbol->flags & kSymbolFlagPort)) continue;
            GetBussTerminalName(b, t, sheet->stringBlock, name);
            for (const std::string& m : RangeMembers(name))
                if (OSStatus st = addMember(m)) return st;
        }
        // Terminals pair the members of the pin's range with those of the terminal's name.
        for (int32_t t = 0; t < terminals; ++t) {
            BussTerminal terminal{};
            if (!GetBussPinTerminal(b, t, &terminal)) continue;
            auto sym = pass->symbols.find(terminal.serial);
            if (sym == pass->symbols.end()) continue;
            SymbolRecord* symbol = sym->second;
            const int32_t child = pass->hierarchical ? SubSheetIndex(build, pass, symbol) : -1;
            const bool exporting = child < 0 && pass->inner && (symbol->flags & kSymbolFlagModulePort);
            if (child < 0 && !exporting) continue;
            char pinName[kSymbolTextSize];
            if (child >= 0)
                SubSheetPortName(pass, symbol, terminal.node, pinName);
            else
                GetPortSymbolName(sheet, symbol, b, pinName);
            GetBussTerminalName(b, t, sheet->stringBlock, name);
            const std::vector<std::string> pinMembers = RangeMembers(pinName);
            std::vector<std::string> netMembers = RangeMembers(name);
            if (netMembers.empty()) netMembers = pinMembers;
            for (size_t i = 0; i < pinMembers.size() && i < netMembers.size(); ++i) {
                const int32_t net = FindNamedNet(pass, netMembers[i].c_str(), build);
                if (net == kUDBNoNet) continue;
                const uint32_t pinId = build->NameId(pinMembers[i].c_str());
                if (child >= 0) {
                    AddImport(build, pass->index, pinId, symbol->serial, uint32_t(net), uint16_t(child));
                } else {
                    AddExport(build, pass->index, pinId, symbol->serial, uint32_t(net),
                              uint16_t(GetPortSymbolType(symbol)));
                    UDBNetEntry& row = db->nets[size_t(net)];
                    row.scope = std::max<uint8_t>(row.scope, uint8_t(portLevel));
                }
            }
        }
    }
    return build->status;
}

OSStatus HiddenPinsPass(UDBBuild* build, SheetPass* pass) {
    SheetRecord* sheet = pass->sheet;
    // The packages of each component that the sheet's symbols use.
    std::unordered_map<ComponentRecord*, std::vector<bool>> used;
    std::vector<ComponentRecord*> order;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol))) {
        ComponentRecord* comp = symbol->component;
        if (!comp) continue;
        auto [it, added] = used.emplace(comp, std::vector<bool>(comp->packageCount ? comp->packageCount : 1));
        if (added) order.push_back(comp);
        const size_t package = symbol->kind.comp.package;
        if (package < it->second.size()) it->second[package] = true;
    }
    for (ComponentRecord* comp : order) {
        const std::vector<bool>& packages = used[comp];
        for (size_t p = 0; p < packages.size(); ++p) {
            if (!packages[p]) continue;
            const int32_t pinSet = GetPackagePinSet(comp, int32_t(p));
            const int32_t hidden = CountCompSymbolPins(comp, pinSet, kCompHiddenPins);
            for (int32_t h = 0; h < hidden; ++h) {
                uint32_t pinData = kCompNoPinData;
                GetCompHiddenPinInfo(comp, sheet->stringBlock, pinSet, h, nullptr, &pinData);
                Handle record = GetIndexedPinData(sheet->pinDataTable, int32_t(pinData));
                if (!record) continue;
                char pinName[kPinTextSize];
                GetPinDataName(record, sheet->stringBlock, pinName);
                for (const auto& [member, signal] : HiddenPinNets(pass, record, sheet->stringBlock)) {
                    const uint32_t nameId = build->NameId(signal.c_str());
                    if (nameId == kNoName) return build->status;
                    const std::string portName = member.empty() ? std::string(pinName) : member;
                    int32_t net = kUDBNoNet;
                    auto it = pass->namedNets.find(nameId);
                    uint8_t scope = sheet->stored.scopeB;
                    if (scope == kScopeExport && !pass->inner) scope = kScopeLocal;
                    if (it != pass->namedNets.end()) {
                        net = it->second;
                    } else {
                        uint8_t flags = pass->shared ? kUDBNetSharedSheet : 0;
                        net = int32_t(build->AddNet(nameId, pass->index, scope > 2 ? 0 : scope, flags));
                        pass->namedNets.emplace(nameId, net);
                        if (scope == kScopeExport)
                            AddExport(build, pass->index, build->NameId(portName.c_str()), kUDBHiddenPinSerial,
                                      uint32_t(net), GetPinDataType(record, false));
                    }
                    if (!pass->hierarchical) continue;
                    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
                         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol))) {
                        if (symbol->component != comp) continue;
                        const int32_t child = SubSheetIndex(build, pass, symbol);
                        if (child >= 0)
                            AddImport(build, pass->index, build->NameId(portName.c_str()), symbol->serial,
                                      uint32_t(net), uint16_t(child));
                    }
                }
            }
        }
    }
    return build->status;
}

// ---- Instance pass ----

uint32_t PinDataForRow(Collector* c, uint32_t id) {
    if (id == kCompNoPinData) return kUDBNoPinData;
    auto it = c->pinDataCopies.find(id);
    if (it != c->pinDataCopies.end()) return it->second;
    uint32_t result = kUDBNoPinData;
    Handle record = GetIndexedPinData(c->pins, int32_t(id));
    if (record) {
        auto* head = reinterpret_cast<PinDataRecord*>(*record);
        if (head->attributeCount > 0 &&
            CountUserAttributes(c->strings, record, sizeof(PinDataRecord), head->attributeCount) > 0) {
            Handle copy = GetPinDataCopy(c->pins, int32_t(id));
            if (copy) {
                SetPinDataType(copy, 1, true);
                SetPinDataName(copy, c->strings, "");
                const int32_t added = AddPinDataToTable(c->pins, copy);
                if (added >= 0) result = uint32_t(added);
                DestroyPinData(copy);
            }
        }
    }
    c->pinDataCopies.emplace(id, result);
    return result;
}

// The database's pin definition of these fields, added when new; kNoOrder with the build's status
// set when the table is full.
uint32_t PinDefId(Collector* c, StringSpec number, StringSpec name, uint32_t pinData, uint8_t type) {
    UnifiedDBRecord* db = c->build->db;
    const PinDefKey key{number, name, pinData, type};
    auto it = c->pinDefIds.find(key);
    if (it != c->pinDefIds.end()) return it->second;
    if (db->pinDefs.size() >= kUDBMaxPinDefs) {
        if (!c->build->status) c->build->status = status::kOutOfMemory;
        return kNoOrder;
    }
    const uint32_t id = uint32_t(db->pinDefs.size());
    db->pinDefs.push_back({number, name, pinData, type});
    c->pinDefIds.emplace(key, id);
    return id;
}

// Adds a pin row unless the comp row holds the pin already in a way that wins.
void AddPinRow(Collector* c, const UDBPinEntry& pin) {
    UnifiedDBRecord* db = c->build->db;
    const bool modular = (c->build->flags & kUDBModular) != 0;
    const StringSpec pinNumber = db->pinDefs[pin.def].number;
    char number[kUDBTextSize];
    bool haveNumber = false;
    for (uint32_t p = c->firstPin[pin.compRow]; p != kNoOrder; p = c->nextPin[p]) {
        UDBPinEntry& old = db->pins[p];
        const StringSpec oldNumber = db->pinDefs[old.def].number;
        if (oldNumber != pinNumber) {
            if (!haveNumber) {
                ExtractStringSpec(pinNumber, c->strings, number, sizeof number);
                haveNumber = true;
            }
            char other[kUDBTextSize];
            ExtractStringSpec(oldNumber, c->strings, other, sizeof other);
            if (!(strcasecmp(number, other) == 0)) continue;
        }
        if (pin.flags & kUDBPinHiddenDefault) return;
        if (old.flags & kUDBPinHiddenDefault) {
            const uint32_t next = c->nextPin[p];
            old = pin;
            c->nextPin[p] = next;
            return;
        }
        if (old.netId == kUDBNoNet && pin.netId != kUDBNoNet) {
            const uint8_t keep = old.flags;
            const uint32_t next = c->nextPin[p];
            old = pin;
            old.flags = old.flags | (keep & (kUDBPinMultiNet | kUDBPinMultiInstance));
            c->nextPin[p] = next;
            return;
        }
        if (modular && old.nodeOrder != pin.nodeOrder && (pin.netId == kUDBNoNet || pin.netId == old.netId)) {
            old.flags |= kUDBPinMultiInstance;
            UDBPinEntry copy = pin;
            copy.flags |= kUDBPinMultiInstance;
            db->pins.push_back(copy);
            c->nextPin.push_back(c->firstPin[pin.compRow]);
            c->firstPin[pin.compRow] = uint32_t(db->pins.size() - 1);
            return;
        }
        if (pin.netId == kUDBNoNet || pin.netId == old.netId) return;
        old.flags |= kUDBPinMultiNet;
        UDBPinEntry copy = pin;
        copy.flags |= kUDBPinMultiNet;
        db->pins.push_back(copy);
        c->nextPin.push_back(c->firstPin[pin.compRow]);
        c->firstPin[pin.compRow] = uint32_t(db->pins.size() - 1);
        return;
    }
    db->pins.push_back(pin);
    c->nextPin.push_back(c->firstPin[pin.compRow]);
    c->firstPin[pin.compRow] = uint32_t(db->pins.size() - 1);
}

// The pins of one section of a symbol, with their nets on the sheet.
const std::vector<PinPlan>& PlanPins(Collector* c, SheetPass* pass, SymbolRecord* symbol,
                                     const CollectedComp& cc, int32_t section) {
    const uint64_t key = uint64_t(symbol->serial) << 16 | uint16_t(section);
    auto found = pass->plans.find(key);
    if (found != pass->plans.end()) return found->second;
    std::vector<PinPlan>& plan = pass->plans[key];
    UDBBuild* build = c->build;
    const bool noNets = (build->flags & kUDBNoNets) != 0;
    ComponentRecord* comp = cc.component;
    const int32_t pinSet = GetPackagePinSet(comp, cc.package);
    const ComponentSection* s = GetCompSection(comp, section);
    const uint16_t symbolIndex = s ? s->symbolIndex : symbol->kind.comp.symbol;
    const int32_t count = CountCompSymbolPins(comp, pinSet, symbolIndex);
    const bool isSheetSymbol = (symbol->flags & kSymbolFlagSheet) != 0;
    for (int32_t pin = 0; pin < count; ++pin) {
        char number[kUDBTextSize];
        uint32_t pinData = kCompNoPinData;
        const StringSpec numberSpec =
            GetCompPinInfo(comp, c->strings, pinSet, uint16_t(section), pin, number, &pinData);
        if (pinData == kCompNoPinData) pinData = GetCompSymbolPinDataId(comp, pinSet, symbolIndex, pin);
        Handle record = GetIndexedPinData(c->pins, int32_t(pinData));
        char name[kPinTextSize] = "";
        StringSpec nameSpec = 0;
        uint8_t type = 0, whole = 0;
        if (record) {
            nameSpec = reinterpret_cast<PinDataRecord*>(*record)->name;
            GetPinDataName(record, c->strings, name);
            type = GetPinDataType(record, false);
            whole = GetPinDataType(record, true);
        }
        const uint32_t rowData = PinDataForRow(c, pinData);
        std::vector<std::string> members;
        if (whole & kPinBusFlag)
            members = RangeMembers(name);
        if (members.empty()) {
            int32_t net = kUDBNoNet;
            if (!noNets) {
                auto it = pass->pinNets.find(PinKey(symbol->serial, uint32_t(pin)));
                if (it != pass->pinNets.end()) net = it->second;
            }
            plan.push_back({PinDefId(c, numberSpec, nameSpec, rowData, type), net});
            if (build->status) return plan;
            continue;
        }
        // A bussed pin: one row per member of its range, on the member of the connected
        // terminal's range.
        std::vector<std::string> netMembers;
        if (BussHandle b = GetConnectedBuss(pass->sheet->bussList, symbol, uint16_t(pin), nullptr, nullptr)) {
            uint16_t t = 0xFFFF;
            GetConnectedBuss(pass->sheet->bussList, symbol, uint16_t(pin), nullptr, &t);
            char terminal[256];
            GetBussTerminalName(b, t, pass->sheet->stringBlock, terminal);
            netMembers = RangeMembers(terminal);
        }
        for (size_t m = 0; m < members.size(); ++m) {
            char memberNumber[kUDBTextSize * 2];
            if (isSheetSymbol)
                std::snprintf(memberNumber, sizeof memberNumber, "%s", members[m].c_str());
            else
                std::snprintf(memberNumber, sizeof memberNumber, "%s%s", number, members[m].c_str());
            const StringSpec spec = build->pinStrings->Add(memberNumber, &build->status);
            int32_t net = kUDBNoNet;
            if (!noNets && m < netMembers.size()) net = FindNamedNet(pass, netMembers[m].c_str(), build);
            plan.push_back({PinDefId(c, spec, nameSpec, rowData, type), net});
            if (build->status) return plan;
        }
    }
    return plan;
}

void AddHiddenPinDefaults(Collector* c, SheetPass* pass, const CollectedComp& cc, uint32_t row,
                          uint32_t nodeOrder, bool sheetSymbol) {
    UDBBuild* build = c->build;
    ComponentRecord* comp = cc.component;
    const int32_t pinSet = GetPackagePinSet(comp, cc.package);
    const int32_t hidden = CountCompSymbolPins(comp, pinSet, kCompHiddenPins);
    for (int32_t h = 0; h < hidden; ++h) {
        uint32_t pinData = kCompNoPinData;
        char number[kUDBTextSize];
        const StringSpec numberSpec = GetCompHiddenPinInfo(comp, c->strings, pinSet, h, number, &pinData);
        Handle record = GetIndexedPinData(c->pins, int32_t(pinData));
        if (!record) continue;
        const StringSpec name = reinterpret_cast<PinDataRecord*>(*record)->name;
        const uint32_t rowData = PinDataForRow(c, pinData);
        const uint8_t type = GetPinDataType(record, false);
        UDBPinEntry pin{};
        pin.def = PinDefId(c, numberSpec, name, rowData, type) & (kUDBMaxPinDefs - 1);
        if (build->status) return;
        pin.compRow = row;
        pin.flags = kUDBPinHiddenDefault;
        pin.nodeOrder = nodeOrder;
        std::vector<std::pair<std::string, std::string>> nets = HiddenPinNets(pass, record, c->strings);
        if (nets.empty()) nets.emplace_back(std::string(), std::string());
        for (const auto& [member, signal] : nets) {
            pin.netId = kUDBNoNet;
            if (!signal.empty() && !(build->flags & kUDBNoNets)) pin.netId = FindNamedNet(pass, signal.c_str(), build);
            if (!member.empty()) {
                // A bus pin's member: its name follows the pin number (stands for it on a sheet symbol).
                const std::string memberNumber = sheetSymbol ? member : std::string(number) + member;
                const StringSpec memberSpec = build->pinStrings->Add(memberNumber.c_str(), &build->status);
                if (build->status) return;
                pin.def = PinDefId(c, memberSpec, name, rowData, type) & (kUDBMaxPinDefs - 1);
                if (build->status) return;
            }
            AddPinRow(c, pin);
        }
    }
}

// The component of a list that is of the same kind as a sheet's component (`FindCompatibleComp`,
// with equal reference prefixes when asked), and the package in it; when none is, a copy of the
// component moved into the list's string block and pin data table, hashed and pushed onto it.
OSStatus FindOrCopyIntoList(LinkListHeader* list, StringBlock strings, PinDataTable pins, SheetRecord* sheet,
                            ComponentRecord* comp, int32_t package, int32_t nameIndex, bool samePrefix,
                            ComponentRecord** found, int32_t* listPackage) {
    *listPackage = -1;
    *found = FindCompatibleComp(comp, package, nameIndex, sheet->stringBlock, sheet->pinDataTable, list, strings, pins,
                                samePrefix, listPackage);
    if (*found && *listPackage >= 0 && *listPackage != 0xFFFF) return status::kNoErr;
    ComponentRecord* copy = DuplicateComponent(comp);
    if (!copy) return status::kOutOfMemory;
    if (OSStatus st = ChangeCompStringBlock(copy, sheet->stringBlock, strings)) {
        FreeComponent(copy);
        return st;
    }
    if (OSStatus st = TransferCompPinTable(copy, sheet->pinDataTable, pins, true)) {
        FreeComponent(copy);
        return st;
    }
    CalcCompHash(copy, strings);
    LLPush(list, copy);
    *found = copy;
    *listPackage = package;
    return status::kNoErr;
}

// The collection list's component for a symbol's component (found compatible, or copied in).
OSStatus Collect(Collector* c, SheetPass* pass, SymbolRecord* symbol, ComponentRecord* comp,
                 CollectedComp* out) {
    const int32_t package = (symbol->flags & kSymbolFlagSheet) ? 0 : symbol->kind.comp.package;
    const int32_t nameIndex = (symbol->flags & kSymbolFlagSheet) ? 0 : symbol->kind.comp.nameIndex;
    const uint64_t key = uint64_t(reinterpret_cast<uintptr_t>(comp)) ^ (uint64_t(package) << 56) ^
                         (uint64_t(nameIndex) << 40);
    const bool temporary = comp != symbol->component;
    if (!temporary) {
        auto it = pass->collected.find(key);
        if (it != pass->collected.end()) {
            *out = it->second;
            return status::kNoErr;
        }
    }
    int32_t listPackage = -1;
    ComponentRecord* found = nullptr;
    if (OSStatus st = FindOrCopyIntoList(c->list, c->strings, c->pins, pass->sheet, comp, package, nameIndex, false,
                                         &found, &listPackage))
        return st;
    if (c->indexOf.emplace(found, c->nextIndex).second) {
        c->components.push_back(found);
        ++c->nextIndex;
    }
    out->component = found;
    out->index = c->indexOf[found];
    out->package = listPackage;
    if (!temporary) pass->collected.emplace(key, *out);
    return status::kNoErr;
}

// The designator that the sheet's annotation gives the symbol in an instance into out
// (kUDBTextSize bytes; left alone without one), and its slot; -1 without one.
int32_t AnnotatedDesignator(SheetPass* pass, uint32_t serial, int32_t annotationId, char* out) {
    auto it = pass->annotations.find(uint64_t(serial) << 32 | uint32_t(annotationId));
    if (it == pass->annotations.end() || it->second->designator == kNoDesignator) return -1;
    ExtractStringSpec(it->second->designator, GetAnnotationMapStringBlock(pass->annotation), out, kUDBTextSize);
    return it->second->slot;
}

struct InstanceContext {
    SheetNode* node;
    uint32_t nodeOrder;
    int32_t instanceId;
    int32_t annotationId;  // 0 where the project keeps annotation in the sheets
};

// Whether a symbol naming a sub-sheet stands for no component in the instance: always a sheet
// symbol, and a file symbol whose child is entered; in a modular build neither.
bool SkippedAsSubSheet(const SymbolRecord* symbol, bool subSheet, bool modular, const InstanceContext& inst) {
    if (!subSheet || modular) return false;
    if (symbol->flags & kSymbolFlagSheet) return true;
    const SheetNode* child = ChildOfSerial(inst.node, symbol->serial);
    return !child || !(child->flags & (kSheetNodeCircular | kSheetNodeNoDescent));
}

// Gives the row an attributes handle of its own to change: a new empty one, or a copy of the
// shared run it reads. False when memory fails.
bool OwnAttributes(UnifiedDBRecord* db, UDBCompEntry& r) {
    if (r.attributes && !(r.flags & kUDBCompSharedAttributes)) return true;
    Handle shared = GetUDBAttributeRun(db, r.attributes);
    Handle own = shared ? CloneHandle(nullptr, shared) : AllocHandle(nullptr, 0);
    if (!own) return false;
    const uint32_t run =
        AddAttributeRun(db, own, GetUDBAttributeCount(db, r.attributes), GetUDBInstanceRefCount(db, r.attributes));
    if (!run) return false;
    r.attributes = run;
    r.flags &= uint8_t(~kUDBCompSharedAttributes);
    return true;
}

OSStatus InstancePass(Collector* c, SheetPass* pass, SymbolRecord* symbol,
                      const std::vector<InstanceContext>& instances) {
    UDBBuild* build = c->build;
    UnifiedDBRecord* db = build->db;
    ProjectRecord* project = build->project;
    const uint16_t flags = build->flags;
    const bool modular = (flags & kUDBModular) != 0;
    SheetRecord* sheet = pass->sheet;
    const bool subSheet = IsSubSheetSymbol(symbol) && SubSheetIndex(build, pass, symbol) >= 0;
    const bool portOnly = (symbol->flags & kSymbolFlagPort) != 0;
    // A symbol of a sub-sheet that is entered is no component, but the simulator still names the
    // sub-sheet's instance by its designator.
    if (c->compMap && subSheet && !modular) {
        char ownRef[kSymbolTextSize];
        GetSymbolRefName(symbol, sheet->stringBlock, ownRef);
        for (const InstanceContext& inst : instances) {
            if (!SkippedAsSubSheet(symbol, subSheet, modular, inst)) continue;
            char designator[kUDBTextSize] = "";
            if (ownRef[0]) std::snprintf(designator, sizeof designator, "%s", ownRef);
            else AnnotatedDesignator(pass, symbol->serial, inst.annotationId, designator);
            if (AddSpiceCompMapEntry(c->compMap, uint32_t(inst.instanceId), symbol->serial, designator) < 0)
                return status::kOutOfMemory;
        }
    }
    ComponentRecord* comp = symbol->component;
    ComponentRecord* temporary = nullptr;
    struct TempFree {
        ComponentRecord*& comp;
        ~TempFree() {
            if (comp) FreeComponent(comp);
        }
    } tempFree{temporary};
    if (!comp) {
        if (symbol->flags & kSymbolFlagSheet) {
            if (!modular) return status::kNoErr;
            temporary = CreateCompFromSheetSymbol(sheet, symbol, sheet->stringBlock);
        } else if ((flags & kUDBGraphics) && !(flags & kUDBInstanceRefs) && !(symbol->flags & kSymbolFlagPort) &&
                   symbol->mapId >= 0) {
            temporary = CreateCompFromGraphicSymbol(sheet, symbol, sheet->stringBlock);
        } else {
            return status::kNoErr;
        }
        if (!temporary) return status::kOutOfMemory;
        comp = temporary;
    }
    CollectedComp cc{};
    bool collected = false;
    char ownRef[kSymbolTextSize];
    GetSymbolRefName(symbol, sheet->stringBlock, ownRef);
    const bool grouping = !(flags & kUDBNoGrouping) && !(project->settings.annotationFlags & kAnnotationNoSlotSuffix);
    const bool appendSuffix = (flags & kUDBNoGrouping) && !(project->settings.annotationFlags & kAnnotationNoSlotSuffix);
    const bool qualify = project->settings.qualifyDesignators && !modular;
    const bool pins = !(flags & kUDBNoPins);
    const bool attributes = !(flags & kUDBNoCompAttributes);
    char subName[kSymbolTextSize] = "";
    if (subSheet) GetSymbolSheetName(symbol, sheet->stringBlock, subName);
    // The symbol's attributes as merged into a new row, made at the first such row.
    uint32_t freshRun = 0;
    int16_t freshCount = 0;

    for (const InstanceContext& inst : instances) {
        if (SkippedAsSubSheet(symbol, subSheet, modular, inst)) continue;
        if (!collected) {
            if (OSStatus st = Collect(c, pass, symbol, comp, &cc)) return st;
            collected = true;
        }
        // Designator and section.
        char designator[kUDBTextSize * 2] = "";
        int32_t section = 0;
        if (ownRef[0]) {
            std::snprintf(designator, sizeof designator, "%s", ownRef);
        } else {
            section = AnnotatedDesignator(pass, symbol->serial, inst.annotationId, designator);
            if (section < 0 || section >= cc.component->sectionCount) {
                const int32_t first = GetFirstCompSectionUsingSymbol(cc.component, symbol->kind.comp.symbol, nullptr);
                section = first < 0 ? 0 : first;
            }
        }
        if (appendSuffix && cc.component->sectionCount >= 2 && designator[0])
            AppendRefDesSuffix(cc.component, section, c->strings, designator);
        const StringSpec designatorSpec = build->compStrings->Add(designator, &build->status);
        // Rows of one instance group together; their qualifiers are made once the collection
        // is complete (a node's path may need the designator of a sheet symbol not yet seen).
        const uint32_t instanceKey = qualify ? inst.nodeOrder + 1 : 0;
        if (build->status) return build->status;
        if (c->compMap)
            AddSpiceCompMapEntry(c->compMap, uint32_t(inst.instanceId), symbol->serial, designator);
        // The row: reused for another section of a grouped package, else new.
        const GroupKey key{designatorSpec, instanceKey, cc.index, uint16_t(symbol->kind.comp.nameIndex),
                           uint8_t(cc.package)};
        uint32_t row = kNoOrder;
        const bool isSubSheetRow = subSheet || (symbol->flags & kSymbolFlagSheet);
        const uint32_t slotBit = uint32_t(section);
        // Only a package of two or more sections can take a further section into a row.
        const bool groupable = grouping && cc.component->sectionCount > 1;
        if (groupable && !ownRef[0]) {
            auto it = c->groups.find(key);
            if (it != c->groups.end()) {
                UDBCompEntry& r = db->comps[it->second];
                const bool taken = (r.flags & kUDBCompSlotArray)
                                       ? BitArrayTest(db->slotArrays[r.slots], int32_t(slotBit)) != 0
                                       : slotBit < 32 && (r.slots >> slotBit & 1);
                if (cc.component->sectionCount > 1 && !(r.flags & kUDBCompSubSheet) && !taken && designator[0])
                    row = it->second;
            }
        }
        const bool newRow = row == kNoOrder;
        if (newRow) {
            UDBCompEntry r{};
            r.designator = designatorSpec;
            r.sheetIndex = pass->index;
            r.packageIndex = uint8_t(cc.package);
            r.partId = uint16_t((symbol->flags & kSymbolFlagSheet) ? 0 : symbol->kind.comp.nameIndex);
            r.collectionIndex = cc.index;
            r.nodeOrder = inst.nodeOrder;
            if (isSubSheetRow && modular) r.flags |= kUDBCompSubSheet;
            if (grouping && cc.component->sectionCount >= 33) {
                Handle bits = CreateBitArray(nullptr, 32);
                if (!bits) return status::kOutOfMemory;
                r.slots = uint32_t(db->slotArrays.size());
                db->slotArrays.push_back(bits);
                r.flags |= kUDBCompSlotArray;
            }
            db->comps.push_back(r);
            row = uint32_t(db->comps.size() - 1);
            c->firstPin.push_back(kNoOrder);
            if (groupable) c->groups[key] = row;
            if (pins && !portOnly)
                AddHiddenPinDefaults(c, pass, cc, row, inst.nodeOrder, (symbol->flags & kSymbolFlagSheet) != 0);
        }
        UDBCompEntry& r = db->comps[row];
        if (grouping) {
            if (r.flags & kUDBCompSlotArray)
                BitArraySet(db->slotArrays[r.slots], int32_t(slotBit));
            else if (slotBit < 32)
                r.slots |= 1u << slotBit;
        }
        if (attributes) {
            if (modular || (project->settings.annotationFlags & kAnnotationKeptInSheets)) {
                std::vector<uint32_t>* rows = GetSheetInstCompIds(db, inst.node, true);
                if (rows->empty() || rows->back() < row) {
                    rows->push_back(row);
                } else if (auto at = std::lower_bound(rows->begin(), rows->end(), row); *at != row) {
                    rows->insert(at, row);  // a row of a part whose sections an earlier symbol began
                }
            }
            if (symbol->attributes && symbol->attributeCount) {
                // Merged into a new row, the symbol's attributes come out the same in every
                // instance: merged once into a run that the new rows of the symbol share.
                const bool fresh = !r.attributes;
                if (fresh && !freshRun) {
                    Handle run = AllocHandle(nullptr, 0);
                    if (!run) return status::kOutOfMemory;
                    MergeAttributes(sheet->stringBlock, symbol->attributes, 0, symbol->attributeCount,
                                    db->compStrings, run, 0, &freshCount, kMergeEmptyValues);
                    if (!(freshRun = AddAttributeRun(db, run, uint16_t(freshCount)))) return status::kOutOfMemory;
                }
                if (fresh) {
                    r.attributes = freshRun;
                    r.flags |= kUDBCompSharedAttributes;
                } else {
                    if (!OwnAttributes(db, r)) return status::kOutOfMemory;
                    UDBAttributeRun& run = db->attributeRuns[r.attributes];
                    int16_t count = int16_t(run.count);
                    MergeAttributes(sheet->stringBlock, symbol->attributes, 0, symbol->attributeCount,
                                    db->compStrings, run.records, 0, &count, kMergeEmptyValues);
                    run.count = uint16_t(count);
                }
            }
            if (subName[0]) {
                if (!OwnAttributes(db, r)) return status::kOutOfMemory;
                UDBAttributeRun& run = db->attributeRuns[r.attributes];
                int16_t count = int16_t(run.count);
                SetAttributeValue(db->compStrings, run.records, 0, &count, kAttrSubSheetName, subName, nullptr);
                run.count = uint16_t(count);
            }
            if (flags & kUDBInstanceRefs) {
                if (!OwnAttributes(db, r)) return status::kOutOfMemory;
                const uint32_t reference[2] = {uint32_t(inst.instanceId), symbol->serial};
                UDBAttributeRun& run = db->attributeRuns[r.attributes];
                const int32_t at =
                    int32_t(run.count) * int32_t(sizeof(AttributeRecord)) + int32_t(run.instanceRefs) * 8;
                if (!ResizeHandle(run.records, uint32_t(at + 8))) return status::kOutOfMemory;
                std::memcpy(*run.records + at, reference, 8);
                ++run.instanceRefs;
            }
        }
        if (pins) {
            const std::vector<PinPlan>& plan = PlanPins(c, pass, symbol, cc, section);
            if (build->status) return build->status;
            for (const PinPlan& p : plan) {
                UDBPinEntry pin{};
                pin.def = p.def & (kUDBMaxPinDefs - 1);
                pin.compRow = row;
                pin.netId = p.net;
                pin.nodeOrder = inst.nodeOrder;
                AddPinRow(c, pin);
            }
        }
    }
    return build->status;
}

struct WalkData {
    Collector* collector;
};

OSStatus BuildSheetProc(ProjectRecord* project, SheetNode*, bool, SheetSpec* spec, SheetRecord* sheet,
                        void* data) {
    auto* walk = static_cast<WalkData*>(data);
    Collector* c = walk->collector;
    UDBBuild* build = c->build;
    UnifiedDBRecord* db = build->db;
    if (OSStatus st = LoadAnnotationTable(project, spec, 0)) return st;
    const int32_t index = build->tree.sheetIndex[spec];
    UDBSheetEntry& entry = db->sheets[size_t(index)];
    entry.spec = spec;
    entry.directory = spec->directory;
    entry.creationTime = sheet->fileTimes[0];
    entry.modificationTime = sheet->fileTimes[1];
    entry.walked = true;
    db->latestChange = std::max(db->latestChange, entry.modificationTime);
    if (sheet->attributes && sheet->stored.attributeCount) {
        entry.attributes = AllocHandle(nullptr, 0);
        int16_t count = 0;
        if (entry.attributes)
            MergeAttributes(sheet->stringBlock, sheet->attributes, 0, sheet->stored.attributeCount, db->netStrings,
                            entry.attributes, 0, &count, kMergeEmptyValues);
        entry.attributeCount = uint16_t(count);
    }
    SheetPass pass{};
    pass.sheet = sheet;
    pass.spec = spec;
    pass.index = uint16_t(index);
    pass.hierarchical = project->settings.signalScope == 1;
    const bool flat = !pass.hierarchical;
    pass.inner = flat || (db->rootNode ? db->rootNode->sheetSpec != spec : !build->tree.topLevel[size_t(index)]);
    const std::vector<SheetNode*>& visits = build->tree.visits[size_t(index)];
    pass.shared = visits.size() >= 2;
    pass.project = project;
    pass.annotation = SpecAnnotation(project, spec);
    IndexAnnotation(&pass);
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol)))
        pass.symbols.emplace(symbol->serial, symbol);
    if (!(build->flags & kUDBNoNets)) {
        if (OSStatus st = SignalsPass(build, &pass)) return st;
        if (OSStatus st = BussesPass(build, &pass)) return st;
        if (OSStatus st = HiddenPinsPass(build, &pass)) return st;
    }
    std::vector<InstanceContext> instances;
    instances.reserve(visits.size());
    for (SheetNode* node : visits) {
        SheetInstance* instance = RetrieveSheetInstance(project, node, node != db->rootNode);
        // A project that keeps annotation in the sheets annotates the sheet itself (instance 0).
        const bool local = (project->settings.annotationFlags & kAnnotationKeptInSheets) != 0;
        const int32_t id = instance ? int32_t(instance->id) : 0;
        instances.push_back({node, build->NodeOrder(node), id, local ? 0 : id});
    }
    // The instance pass without a symbol: the sheet's signals in each instance.
    if (build->flags & kUDBSimulatorMaps)
        for (const InstanceContext& inst : instances)
            for (const auto& [nameId, net] : pass.signalNets) build->signalMap.push_back({nameId, net, inst.nodeOrder});
    // Room for this sheet's rows at once: growing by doubling would hold up to twice the rows
    // (and both copies while moving) in the largest designs.
    size_t symbols = 0, pins = 0;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol))) {
        if (!symbol->component) continue;
        ++symbols;
        const int32_t pinSet = GetSymbolsPinSet(symbol);
        pins += size_t(CountCompSymbolPins(symbol->component, pinSet, symbol->kind.comp.symbol)) +
                size_t(CountCompSymbolPins(symbol->component, pinSet, kCompHiddenPins));
    }
    auto reserve = [](auto& rows, size_t more) {
        const size_t needed = rows.size() + more;
        if (needed > rows.capacity()) rows.reserve(std::max(needed, rows.capacity() + rows.capacity() / 4));
    };
    reserve(db->comps, symbols * instances.size());
    reserve(c->firstPin, symbols * instances.size());
    reserve(db->pins, pins * instances.size());
    reserve(c->nextPin, pins * instances.size());
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol))) {
        if (OSStatus st = InstancePass(c, &pass, symbol, instances)) return st;
    }
    return status::kNoErr;
}

// Order of the comp table: designator, qualifier, component (by collection order), package,
// name, flag 4, row id. Before the conversion the rows keep their name index where the part id
// goes; after it package and name are 0.
void SortCompTable(UnifiedDBRecord* db, bool converted) {
    UDBScratch<StringSpec> designators, qualifiers;
    designators.reserve(db->comps.size());
    qualifiers.reserve(db->comps.size());
    for (const UDBCompEntry& r : db->comps) {
        designators.push_back(r.designator);
        qualifiers.push_back(r.qualifier);
    }
    auto dRank = RankStringSpecsByName(std::move(designators), db->compStrings);
    auto qRank = RankStringSpecsByName(std::move(qualifiers), db->netStrings);
    std::vector<uint32_t> rows(db->comps.size());
    std::array<uint64_t, 6> maxima = {dRank.size(), qRank.size(), 0, 0, 0, kUDBCompSubSheet};
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = uint32_t(i);
        const UDBCompEntry& r = db->comps[i];
        maxima[2] = std::max<uint64_t>(maxima[2], r.collectionIndex);
        maxima[3] = std::max<uint64_t>(maxima[3], r.packageIndex);
        maxima[4] = std::max<uint64_t>(maxima[4], converted ? 0 : r.partId);
    }
    std::vector<uint32_t>().swap(db->compOrder);
    db->compOrder = SortRowsByFields(std::move(rows), maxima, [&](uint32_t id) {
        const UDBCompEntry& r = db->comps[id];
        return std::array<uint64_t, 6>{dRank[r.designator], qRank[r.qualifier], r.collectionIndex, r.packageIndex,
                                       converted ? 0 : r.partId, uint64_t(r.flags & kUDBCompSubSheet)};
    });
}

OSStatus ConvertCompTable(UDBBuild* build, Collector* c) {
    UnifiedDBRecord* db = build->db;
    ProjectRecord* project = build->project;
    SortCompTable(db, false);
    const bool perInstance = (build->flags & kUDBModular) && (project->settings.annotationFlags & kAnnotationKeptInSheets);
    const bool partTypes = (build->flags & kUDBPartTypes) != 0;
    std::unordered_map<ComponentRecord*, uint32_t> lastType;
    for (size_t i = 0; i < db->compOrder.size(); ++i) {
        UDBCompEntry& r = db->comps[db->compOrder[i]];
        if (i > 0) {
            UDBCompEntry& p = db->comps[db->compOrder[i - 1]];
            char a[kUDBTextSize], b[kUDBTextSize];
            bool same = p.designator == r.designator && p.qualifier == r.qualifier;
            if (!same) {
                ExtractStringSpec(p.designator, db->compStrings, a, sizeof a);
                ExtractStringSpec(r.designator, db->compStrings, b, sizeof b);
                same = (strcasecmp(a, b) == 0);
                if (same) {
                    ExtractStringSpec(p.qualifier, db->netStrings, a, sizeof a);
                    ExtractStringSpec(r.qualifier, db->netStrings, b, sizeof b);
                    same = (strcasecmp(a, b) == 0);
                }
            }
            if (same && perInstance && p.nodeOrder != r.nodeOrder) same = false;
            if (same) {
                p.flags |= kUDBCompRepeated;
                r.flags |= kUDBCompRepeated;
            }
        }
    }
    for (UDBCompEntry& r : db->comps) {
        ComponentRecord* comp = c->components[r.collectionIndex];
        const int32_t nameIndex = int32_t(r.partId);
        if (partTypes) {
            char footprint[kUDBTextSize * 2];
            GetCompFootprintString(comp, r.packageIndex, nameIndex, c->strings, footprint);
            const StringSpec name = CompNames(comp)[nameIndex < comp->nameCount ? nameIndex : 0];
            const StringSpec fp = build->compStrings->Add(footprint, &build->status);
            char packageName[kUDBTextSize * 2] = "";
            GetCompPackageName(comp, c->strings, r.packageIndex, packageName);
            const StringSpec package = packageName[0] ? build->compStrings->Add(packageName, &build->status) : 0;
            char packageFootprint[kUDBTextSize * 2] = "";
            GetCompPackageFootprint(comp, c->strings, r.packageIndex, packageFootprint);
            const StringSpec ownFootprint =
                packageFootprint[0] ? build->compStrings->Add(packageFootprint, &build->status) : 0;
            // The joined footprint string only keys the part type.
            const UDBPartType type{name, r.packageIndex, fp, package, ownFootprint};
            const auto same = [&type](const UDBPartType& t) {
                return t.name == type.name && t.packageId == type.packageId && t.footprint == type.footprint &&
                       t.packageName == type.packageName;
            };
            uint32_t found = kNoOrder;
            auto last = lastType.find(comp);
            if (last != lastType.end() && same(db->partTypes[last->second])) found = last->second;
            if (found == kNoOrder) {
                for (size_t t = 0; t < db->partTypes.size(); ++t) {
                    if (same(db->partTypes[t])) {
                        found = uint32_t(t);
                        break;
                    }
                }
            }
            if (found == kNoOrder) {
                db->partTypes.push_back(type);
                found = uint32_t(db->partTypes.size() - 1);
            }
            lastType[comp] = found;
            r.partId = found;
        } else {
            r.partId = comp->nameCount > 0 ? CompNames(comp)[nameIndex < comp->nameCount ? nameIndex : 0] : 0;
        }
        if (!r.designator) {
            char generated[kUDBTextSize];
            int32_t section = 0;
            if (!(r.flags & kUDBCompSlotArray))
                for (int32_t s = 0; s < 32; ++s)
                    if (r.slots >> s & 1) {
                        section = s;
                        break;
                    }
            BuildRefDesString(comp, c->strings, -1, section, false, generated);
            r.designator = build->compStrings->Add(generated, &build->status);
            r.flags |= kUDBCompGenerated;
        }
        r.packageIndex = 0;
    }
    SortCompTable(db, true);
    return build->status;
}

// Saves the project's settings and restores them when the build ends, however it ends.
class SettingsGuard {
public:
    SettingsGuard(ProjectRecord* project, bool active) : project_(project), active_(active) {
        if (active_) saved_ = project->settings;
    }
    ~SettingsGuard() {
        if (active_) project_->settings = saved_;
    }
    SettingsGuard(const SettingsGuard&) = delete;
    SettingsGuard& operator=(const SettingsGuard&) = delete;

private:
    ProjectRecord* project_;
    bool active_;
    ProjectSettings saved_{};
};

}  // namespace

uint32_t AddAttributeRun(UnifiedDBRecord* db, Handle run, uint16_t count, uint16_t instanceRefs) {
    try {
        if (db->attributeRuns.empty()) db->attributeRuns.push_back({});
        db->attributeRuns.push_back({run, count, instanceRefs});
    } catch (const std::bad_alloc&) {
        MemFree(run);
        return 0;
    }
    return uint32_t(db->attributeRuns.size() - 1);
}

void FreeAttributeRun(UnifiedDBRecord* db, uint32_t* run) {
    if (*run < db->attributeRuns.size() && db->attributeRuns[*run].records) {
        MemFree(db->attributeRuns[*run].records);
        db->attributeRuns[*run] = {};
    }
    *run = 0;
}

void InitUnifiedDB(UnifiedDBRecord* db) {
    db->project = nullptr;
    db->rootNode = nullptr;
    db->flags = 0;
    db->latestChange = 0;
    db->qualifierFollows = true;
    db->sheets.clear();
    db->comps.clear();
    db->compOrder.clear();
    db->partTypes.clear();
    db->nets.clear();
    db->netOrder.clear();
    db->pins.clear();
    db->instanceComps.clear();
    db->attributeRuns.clear();
    db->slotArrays.clear();
    db->pinDefs.clear();
    db->sheetPorts.clear();
    db->netNames.clear();
    db->nameRanks.clear();
    db->nodes.clear();
    db->nodeIndex.clear();
    db->netNameStrings = db->compStrings = db->netStrings = db->pinStrings = nullptr;
    db->pinData = nullptr;
    db->compMap = nullptr;
}

void DestroyUnifiedDB(UnifiedDBRecord* db) {
    if (!db) return;
    for (UDBSheetEntry& s : db->sheets)
        if (s.attributes) MemFree(s.attributes);
    for (const UDBAttributeRun& run : db->attributeRuns)
        if (run.records) MemFree(run.records);
    for (Handle bits : db->slotArrays) DisposeBitArray(bits);
    std::vector<UDBAttributeRun>().swap(db->attributeRuns);
    std::vector<Handle>().swap(db->slotArrays);
    std::vector<UDBPinDef>().swap(db->pinDefs);
    if (db->compMap) DestroySpiceCompMap(db->compMap);
    if (db->pinData) DestroyPinDataTable(db->pinData);
    for (StringBlock b : {db->netNameStrings, db->compStrings, db->netStrings, db->pinStrings})
        if (b) DestroyStringBlock(b);
    if (gCurrentDB == db) gCurrentDB = nullptr;
    InitUnifiedDB(db);
    std::vector<UDBCompEntry>().swap(db->comps);
    std::vector<UDBNetEntry>().swap(db->nets);
    std::vector<UDBPinEntry>().swap(db->pins);
    std::vector<uint32_t>().swap(db->compOrder);
    std::vector<uint32_t>().swap(db->netOrder);
}

OSStatus CreateUnifiedDB(ProjectRecord* project, SheetInstance* root, uint16_t flags, UnifiedDBRecord* db) {
    if (!project || !db) return status::kParamErr;
    InitUnifiedDB(db);
    db->project = project;
    db->flags = flags;
    gCurrentDB = db;
    gDBRootInstance = root;
    if (root) {
        db->rootNode = GetSheetNodeWithInstance(project, root);
        if (!db->rootNode) return status::kNotFound;
    }
    const bool simulator = (flags & kUDBSimulatorMaps) != 0;
    SettingsGuard guard(project, simulator);
    if (simulator) {
        project->settings.instanceNaming = 1;
        project->settings.instanceNamePlace = 1;
        project->settings.qualifyAllLocal = (flags & kUDBQualifyAllLocal) ? 1 : 0;
    }
    db->qualifierFollows = project->settings.instanceNamePlace == 1;
    auto build = std::make_unique<UDBBuild>();
    build->db = db;
    build->project = project;
    build->flags = flags;
    Collector collector;
    collector.build = build.get();
    auto fail = [&](OSStatus st) {
        if (collector.list) DestroyCompList(collector.list);
        if (collector.pins && collector.pins != db->pinData) DestroyPinDataTable(collector.pins);
        if (collector.strings && collector.strings != db->pinStrings) DestroyStringBlock(collector.strings);
        if (collector.compMap) DestroySpiceCompMap(collector.compMap);
        DestroyUnifiedDB(db);
        gCurrentDB = db;
        return st;
    };
    db->compStrings = CreateStringBlock(nullptr, 256);
    db->netStrings = CreateStringBlock(nullptr, 256);
    db->netNameStrings = CreateStringBlock(nullptr, 256);
    collector.list = CreateComponentList();
    collector.strings = CreateStringBlock(nullptr, 256);
    collector.pins = collector.strings ? CreatePinDataTable(collector.strings) : nullptr;
    if (simulator) collector.compMap = CreateSpiceCompMap();
    build->compMap = collector.compMap;
    if (!db->compStrings || !db->netStrings || !db->netNameStrings || !collector.list || !collector.strings ||
        !collector.pins || (simulator && !collector.compMap))
        return fail(status::kOutOfMemory);
    build->compStrings = new UDBStringPool(db->compStrings);
    build->netStrings = new UDBStringPool(db->netStrings);
    build->pinStrings = new UDBStringPool(collector.strings);
    BuildUDBTree(project, db->rootNode, (flags & kUDBDescend) != 0, &build->tree);
    db->nodes = build->tree.nodes;
    db->nodeIndex.reserve(db->nodes.size());
    for (size_t i = 0; i < db->nodes.size(); ++i) db->nodeIndex.emplace_back(db->nodes[i], uint32_t(i));
    std::sort(db->nodeIndex.begin(), db->nodeIndex.end());
    db->sheets.assign(build->tree.specs.size(), UDBSheetEntry{});
    for (size_t i = 0; i < db->sheets.size(); ++i) {
        db->sheets[i].spec = build->tree.specs[i];
        db->sheets[i].directory = build->tree.specs[i]->directory;
    }
    build->ports.assign(build->tree.specs.size(), {});

    // Collection.
    WalkData walk{&collector};
    uint32_t walkFlags = kWalkTwoPasses | kWalkKeepLoaded;
    if (flags & kUDBDescend) walkFlags |= kWalkDescend;
    OSStatus st = ProcessHierarchySheets(project, root, walkFlags, BuildSheetProc, nullptr, &walk);
    if (st) return fail(st);
    collector.ReleaseScratch();
    if (project->settings.qualifyDesignators && !(flags & kUDBModular)) {
        for (UDBCompEntry& r : db->comps)
            if (r.nodeOrder < db->nodes.size()) r.qualifier = build->Qualifier(db->nodes[r.nodeOrder]);
        if (build->status) return fail(build->status);
    }

    // Conversion; the collection's pin data and strings become the database's.
    if ((st = ConvertCompTable(build.get(), &collector))) return fail(st);
    DestroyCompList(collector.list);
    collector.list = nullptr;
    db->pinData = collector.pins;
    db->pinStrings = collector.strings;

    // Port specs in their orders.
    for (UDBSheetPorts& ports : build->ports) {
        std::stable_sort(ports.imports.begin(), ports.imports.end(), [db](const UDBPortSpec& a, const UDBPortSpec& b) {
            if (a.serial != b.serial) return a.serial < b.serial;
            return db->nets[a.netId].scope > db->nets[b.netId].scope;
        });
        std::sort(ports.exports.begin(), ports.exports.end(), [](const UDBPortSpec& a, const UDBPortSpec& b) {
            if (a.nameId != b.nameId) return a.nameId < b.nameId;
            return a.netId < b.netId;
        });
        ports.exports.erase(std::unique(ports.exports.begin(), ports.exports.end(),
                                        [](const UDBPortSpec& a, const UDBPortSpec& b) {
                                            return a.nameId == b.nameId && a.netId == b.netId;
                                        }),
                            ports.exports.end());
    }

    const bool modular = (flags & kUDBModular) != 0;
    const bool hierarchical = project->settings.signalScope == 1;
    MergeSheetNets(build.get());
    if (!modular) {
        if (project->settings.signalScope == 2) MergeFlatProjectNets(build.get());
        MergeGlobalNets(build.get());
    }
    PinListMerge(build.get());
    SignalMapMerge(build.get());
    if (hierarchical && !modular) FlattenHierarchyNets(build.get());
    SortPinTable(build.get());
    CleanupMultiPinInstances(build.get());
    DeadStripNets(build.get());
    if (modular) {
        db->sheetPorts.resize(build->ports.size());
        for (size_t i = 0; i < build->ports.size(); ++i) {
            db->sheetPorts[i].exports = std::move(build->ports[i].exports);
            for (UDBPortSpec& e : db->sheetPorts[i].exports) e.netId = ResolveMergeId(build.get(), e.netId);
        }
        const QualifierRankMap ranks = QualifierRanks(db);
        SortNetTable(db, &ranks);
        FlagNetNameConflicts(db, true, true, &ranks);
        FlagSinglePinNets(db, true);
    } else {
        if ((st = AddSubsequentInstNets(build.get()))) return fail(st);
        // No net is merged from here on.
        std::vector<uint32_t>().swap(build->mergeParent);
        std::vector<std::pair<uint32_t, uint32_t>>().swap(build->merges);
        FlagSinglePinNets(db, false);
        QualifyNetNames(build.get());
    }
    if (build->status) return fail(build->status);
    if (simulator) {
        SpiceSignalMap map = BuildSignalMapPhase2(build.get());
        if (!map) return fail(build->status ? build->status : status::kOutOfMemory);
        if (project->signalMap) DestroySpiceSignalMap(project->signalMap);
        project->signalMap = map;
    }
    if (simulator && collector.compMap) {
        if (DACount(collector.compMap) > 0) {
            if (project->compMap) DestroySpiceCompMap(project->compMap);
            project->compMap = collector.compMap;
        } else {
            DestroySpiceCompMap(collector.compMap);
        }
        collector.compMap = nullptr;
        build->compMap = nullptr;
        project->netlistRoot = root ? root->id : 0;
        project->netlistFlags = (flags & kUDBQualifyAllLocal) ? kNetlistQualifiedAllLocal : 0;
    }
    return status::kNoErr;
}


// ---- The unified component list ----

namespace {

// Symbol flags of graphic symbols: graphic content only, and marked to count as such.
constexpr uint32_t kSymbolFlagGraphicOnly = 0x10000;
constexpr uint32_t kSymbolFlagGraphicMarked = 0x20000;

struct CompListWalk {
    UnifiedCompsData* data;
    uint32_t flags;
    UnifiedCompSheetProc sheetProc;
    UnifiedCompSymbolProc symbolProc;
    void* user;
    SheetNode* root;
    UDBTree tree;
};

OSStatus CompListSheetProc(ProjectRecord* project, SheetNode*, bool, SheetSpec* spec, SheetRecord* sheet, void* data) {
    auto* walk = static_cast<CompListWalk*>(data);
    UnifiedCompsData* list = walk->data;
    auto index = walk->tree.sheetIndex.find(spec);
    if (index == walk->tree.sheetIndex.end()) return status::kNoErr;
    // The instance dispatch: the sheet's nodes in visiting order, each with its instance.
    std::vector<std::pair<SheetNode*, SheetInstance*>> instances;
    for (SheetNode* node : walk->tree.visits[size_t(index->second)])
        instances.emplace_back(node, RetrieveSheetInstance(project, node, node != walk->root));
    auto dispatch = [&](SymbolRecord* symbol) -> OSStatus {
        if (!walk->symbolProc) return status::kNoErr;
        for (const auto& [node, instance] : instances)
            if (OSStatus st = walk->symbolProc(list, sheet, symbol, node, instance, walk->user)) return st;
        return status::kNoErr;
    };
    if (walk->sheetProc)
        if (OSStatus st = walk->sheetProc(list, sheet, nullptr, nullptr, -1, walk->user)) return st;
    if (OSStatus st = dispatch(nullptr)) return st;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol))) {
        ComponentRecord* comp = symbol->component;
        ComponentRecord* temporary = nullptr;
        if (!comp) {
            if ((symbol->flags & kSymbolFlagSheet) && (walk->flags & kUCLSheetSymbols))
                temporary = CreateCompFromSheetSymbol(sheet, symbol, sheet->stringBlock);
            else if ((symbol->flags & kSymbolFlagGraphicOnly) ||
                     ((symbol->flags & kSymbolFlagGraphicMarked) && (walk->flags & kUCLMarkedGraphics)))
                temporary = CreateCompFromGraphicSymbol(sheet, symbol, sheet->stringBlock);
            else
                continue;
            if (!temporary) return status::kOutOfMemory;
            comp = temporary;
        }
        const bool sheetSymbol = (symbol->flags & kSymbolFlagSheet) != 0;
        ComponentRecord* found = nullptr;
        int32_t package = -1;
        OSStatus st = FindOrCopyIntoList(list->list, list->strings, list->pins, sheet, comp,
                                         sheetSymbol ? 0 : symbol->kind.comp.package,
                                         sheetSymbol ? 0 : symbol->kind.comp.nameIndex,
                                         (walk->flags & kUCLSamePrefix) != 0, &found, &package);
        if (!st && walk->sheetProc) st = walk->sheetProc(list, sheet, symbol, found, package, walk->user);
        if (!st) st = dispatch(symbol);
        if (temporary) FreeComponent(temporary);
        if (st) return st;
    }
    return status::kNoErr;
}

}  // namespace

bool InitUnifiedCompsData(UnifiedCompsData* data) {
    data->list = CreateComponentList();
    data->strings = CreateStringBlock(nullptr, 256);
    data->pins = data->strings ? CreatePinDataTable(data->strings) : nullptr;
    if (data->list && data->strings && data->pins) return true;
    FreeUnifiedCompsData(data);
    return false;
}

void FreeUnifiedCompsData(UnifiedCompsData* data) {
    if (data->list) DestroyCompList(data->list);
    if (data->pins) DestroyPinDataTable(data->pins);
    if (data->strings) DestroyStringBlock(data->strings);
    data->list = nullptr;
    data->pins = nullptr;
    data->strings = nullptr;
}

OSStatus BuildUnifiedCompList(ProjectRecord* project, UnifiedCompsData* data, SheetNode* root, uint32_t flags,
                              UnifiedCompSheetProc sheetProc, UnifiedCompSymbolProc symbolProc, void* user) {
    if (!project || !data || !data->list) return status::kParamErr;
    CompListWalk walk{data, flags, sheetProc, symbolProc, user, root, {}};
    BuildUDBTree(project, root, (flags & kUCLDescend) != 0, &walk.tree);
    uint32_t walkFlags = kWalkKeepLoaded;
    if (flags & kUCLDescend) walkFlags |= kWalkDescend;
    if (flags & kUCLTwoPasses) walkFlags |= kWalkTwoPasses;
    const OSStatus st = ProcessHierarchySheets(project, root ? root->instance : nullptr, walkFlags, CompListSheetProc,
                                               nullptr, &walk);
    if (st) FreeUnifiedCompsData(data);
    return st;
}

// ---- Accessors ----

namespace {

// The base cut to the text's room, with the qualifier (cut to what room is left) before or after
// it. Called once for every name of a netlist's output: copies, no formatting.
bool Qualified(const UnifiedDBRecord* db, const char* base, StringSpec qualifier, bool qualify, char* text) {
    const size_t baseLength = strnlen(base, kUDBTextSize - 1);
    if (!qualify || !qualifier) {
        std::memcpy(text, base, baseLength);
        text[baseLength] = 0;
        return true;
    }
    char q[kUDBTextSize];
    const size_t qLength = size_t(std::max<int16_t>(ExtractStringSpec(qualifier, db->netStrings, q, sizeof q), 0));
    const size_t cut = std::min(kUDBTextSize - 1 - baseLength, strnlen(q, qLength));
    if (db->qualifierFollows) {
        std::memcpy(text, base, baseLength);
        std::memcpy(text + baseLength, q, cut);
    } else {
        std::memcpy(text, q, cut);
        std::memcpy(text + cut, base, baseLength);
    }
    text[baseLength + cut] = 0;
    return true;
}

}  // namespace

bool GetUDBNetName(const UnifiedDBRecord* db, int32_t netId, const UDBNetEntry* row, bool qualify, char* text) {
    text[0] = 0;
    if (!row) {
        if (!db || netId < 0 || size_t(netId) >= db->nets.size()) return false;
        row = &db->nets[size_t(netId)];
    }
    char name[kUDBTextSize] = "";
    if (row->nameId < db->netNames.size())
        ExtractStringSpec(db->netNames[row->nameId], db->netNameStrings, name, sizeof name);
    return Qualified(db, name, row->qualifier, qualify, text);
}

bool GetUDBRefDes(const UnifiedDBRecord* db, uint32_t compRow, const UDBCompEntry* row, bool qualify, char* text) {
    text[0] = 0;
    if (!row) {
        if (!db || compRow >= db->comps.size()) return false;
        row = &db->comps[compRow];
    }
    char designator[kUDBTextSize];
    ExtractStringSpec(row->designator, db->compStrings, designator, sizeof designator);
    return Qualified(db, designator, row->qualifier, qualify, text);
}

bool GetUDBPackageName(const UnifiedDBRecord* db, const UDBCompEntry& row, char* text) {
    text[0] = 0;
    if (!db || !(db->flags & kUDBPartTypes) || row.partId >= db->partTypes.size()) return false;
    const StringSpec spec = db->partTypes[row.partId].packageName;
    if (spec) ExtractStringSpec(spec, db->compStrings, text, kUDBTextSize);
    return text[0] != 0;
}

bool GetNetExportSpec(const UnifiedDBRecord* db, int32_t sheetIndex, int32_t n, UDBPortSpec* spec) {
    if (!db || sheetIndex < 0 || size_t(sheetIndex) >= db->sheetPorts.size()) return false;
    const std::vector<UDBPortSpec>& exports = db->sheetPorts[size_t(sheetIndex)].exports;
    if (n < 0 || size_t(n) >= exports.size()) return false;
    *spec = exports[size_t(n)];
    return true;
}

template <class Map>
Map NetMembersSortMap(const UnifiedDBRecord* db) {
    // Pins of one net and node keep the table's order (a sort on the full key needs no buffer).
    // The keys are gathered first, so that the sort does not reach into the pin rows: the net
    // (one more, so that no net comes first), the node's order and the row, each in as many bits
    // as its largest value needs, in one word when they fit.
    const size_t n = db->pins.size();
    uint64_t netMax = 0, orderMax = 0;
    for (const UDBPinEntry& p : db->pins) {
        netMax = std::max<uint64_t>(netMax, uint64_t(int64_t(p.netId) + 1));
        orderMax = std::max<uint64_t>(orderMax, p.nodeOrder);
    }
    auto bits = [](uint64_t v) { return v ? 64 - __builtin_clzll(v) : 0; };
    const int rowBits = bits(n), orderBits = bits(orderMax);
    Map map(n);
    if (bits(netMax) + orderBits + rowBits <= 64) {
        UDBScratch<uint64_t> keys(n);
        for (size_t i = 0; i < n; ++i) {
            const UDBPinEntry& p = db->pins[i];
            keys[i] = (uint64_t(int64_t(p.netId) + 1) << orderBits | p.nodeOrder) << rowBits | i;
        }
        std::sort(keys.begin(), keys.end());
        const uint64_t rowMask = rowBits ? ~uint64_t(0) >> (64 - rowBits) : 0;
        for (size_t i = 0; i < n; ++i) map[i] = uint32_t(keys[i] & rowMask);
        return map;
    }
    struct Key {
        uint64_t key;
        uint32_t pin;
    };
    UDBScratch<Key> keys(n);
    for (size_t i = 0; i < n; ++i) {
        const UDBPinEntry& p = db->pins[i];
        keys[i] = {uint64_t(uint32_t(p.netId) ^ 0x80000000u) << 32 | p.nodeOrder, uint32_t(i)};
    }
    std::sort(keys.begin(), keys.end(),
              [](const Key& a, const Key& b) { return a.key != b.key ? a.key < b.key : a.pin < b.pin; });
    for (size_t i = 0; i < n; ++i) map[i] = keys[i].pin;
    return map;
}

template UDBScratch<uint32_t> NetMembersSortMap(const UnifiedDBRecord* db);

std::vector<uint32_t> BuildNetMembersSortMap(const UnifiedDBRecord* db) {
    return NetMembersSortMap<std::vector<uint32_t>>(db);
}

int32_t GetNetGroupedPinsRange(const UnifiedDBRecord* db, const std::vector<uint32_t>& map, int32_t netId,
                               const SheetNode* node, int32_t* count) {
    *count = 0;
    if (!db || map.empty()) return -1;
    const uint32_t order = node ? GetUDBNodeOrder(db, node) : 0;
    auto less = [&](uint32_t pin, std::pair<int32_t, uint32_t> key) {
        const UDBPinEntry& p = db->pins[pin];
        if (p.netId != key.first) return p.netId < key.first;
        return node && p.nodeOrder < key.second;
    };
    auto lo = std::lower_bound(map.begin(), map.end(), std::make_pair(netId, order), less);
    auto hi = lo;
    while (hi != map.end() && db->pins[*hi].netId == netId && (!node || db->pins[*hi].nodeOrder == order)) ++hi;
    if (hi == lo) return -1;
    *count = int32_t(hi - lo);
    return int32_t(lo - map.begin());
}

bool GetMappedSignalName(ProjectRecord* project, uint32_t instanceId, char* text) {
    if (!project || !text) return false;
    if (!project->signalMap && project->file.stream && LoadProjectSpiceMaps(project) != status::kNoErr) return false;
    SpiceSignalMap map = project->signalMap;
    if (!map) return false;
    // The map is ordered by instance id, then by the names without case (64 characters compared).
    char name[65];
    std::snprintf(name, sizeof name, "%s", text);
    auto compare = [&](int32_t id) {
        SpiceSignalMapEntry e{};
        DAGet(map, id, &e);
        if (e.key != int32_t(instanceId)) return e.key < int32_t(instanceId) ? -1 : 1;
        char other[65];
        ExtractSignalMapSignalName(map, e.name, other);
        return StrCINCmp(other, name, sizeof other);
    };
    int32_t lo = 0, hi = DACount(map);
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (compare(mid) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo >= DACount(map) || compare(lo) != 0) return false;
    SpiceSignalMapEntry e{};
    DAGet(map, lo, &e);
    char net[65], qualifier[65];
    ExtractSignalMapSignalName(map, e.netName, net);
    ExtractSignalMapSignalName(map, e.qualifier, qualifier);
    std::snprintf(text, kUDBTextSize, "%s%s", net, qualifier);
    return true;
}

uint32_t GetUDBNodeOrder(const UnifiedDBRecord* db, const SheetNode* node) {
    if (!db || !node) return kNoOrder;
    auto it = std::lower_bound(db->nodeIndex.begin(), db->nodeIndex.end(), node,
                               [](const std::pair<const SheetNode*, uint32_t>& e, const SheetNode* n) {
                                   return std::less<const SheetNode*>()(e.first, n);
                               });
    return it != db->nodeIndex.end() && it->first == node ? it->second : kNoOrder;
}

SheetNode* GetUDBPinNode(const UnifiedDBRecord* db, const UDBPinEntry& pin) {
    if (!db || (pin.flags & kUDBPinHiddenDefault) || pin.nodeOrder >= db->nodes.size()) return nullptr;
    return db->nodes[pin.nodeOrder];
}

std::vector<uint32_t>* GetSheetInstCompIds(UnifiedDBRecord* db, SheetNode* node, bool create) {
    if (!db || !node) return nullptr;
    const uint32_t order = GetUDBNodeOrder(db, node);
    auto it = std::lower_bound(db->instanceComps.begin(), db->instanceComps.end(), order,
                               [](const UDBInstanceComps& e, uint32_t o) { return e.nodeOrder < o; });
    if (it != db->instanceComps.end() && it->node == node) return &it->rows;
    if (!create) return nullptr;
    return &db->instanceComps.insert(it, {node, order, {}})->rows;
}

int32_t CountSheetInstanceDBComps(UnifiedDBRecord* db, SheetNode* node) {
    const std::vector<uint32_t>* rows = GetSheetInstCompIds(db, node, false);
    return rows ? int32_t(rows->size()) : 0;
}

bool IsDBCompInSheetInstance(UnifiedDBRecord* db, SheetNode* node, uint32_t compRow) {
    const std::vector<uint32_t>* rows = GetSheetInstCompIds(db, node, false);
    return rows && std::binary_search(rows->begin(), rows->end(), compRow);
}

SheetNode* GetDBCompInstance(UnifiedDBRecord* db, uint32_t compRow) {
    if (!db) return nullptr;
    for (const UDBInstanceComps& e : db->instanceComps)
        if (std::binary_search(e.rows.begin(), e.rows.end(), compRow)) return e.node;
    return nullptr;
}

}  // namespace plexa
