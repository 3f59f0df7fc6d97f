// One annotation run: collection over the hierarchy, clearing, resequencing, assignment with slot
// packing, and the apply to the sheet specs' annotation maps.
#include "design/annotate.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>
#include <set>
#include <unordered_set>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/ll.h"
#include "foundation/signals.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"

namespace plexa {

const uint16_t gOperationTable[4] = {
    kAnnotAssignMissing | kAnnotClearConflicting,
    kAnnotAssignMissing | kAnnotResequence | kAnnotClearConflicting,
    kAnnotAssignMissing | kAnnotClearAll,
    kAnnotClearAll,
};
const char* const kAnnotationOperationNames[5] = {"Incremental Update", "Update and Resequence",
                                                  "Re-annotate All", "Remove Annotation", "Custom"};

namespace {

AnnotationHooks gHooks;

// A symbol with only graphic content that counts as a component.
constexpr uint32_t kSymbolFlagGraphicComponent = 0x10000;

// Entry flags.
constexpr uint16_t kEntryExistingOrder = 0x2;
constexpr uint16_t kEntryChanged = 0x4;
constexpr uint16_t kEntryReserved = 0x8;  // out of the run: read-only, numbers kept

// Prefix filter pieces are shorter than this.
constexpr size_t kFilterPieceLimit = 32;
constexpr int32_t kPrefixBits = 256;

struct AnnotationInstanceEntry {
    StringSpec designator;  // 0: none
    StringSpec prefix;      // as written before the trailing number; kept when cleared
    SheetNode* node;
    uint32_t symbolId;
    uint32_t componentIndex;
    int16_t slot;
    int64_t orderKey;       // location key, or the existing-order number
    uint16_t flags;
    uint16_t symbolIndex;   // the component symbol the placed symbol draws
    uint32_t sheetOrder;    // the node's number in the run's walk order
};

struct OpenSlotRecord {
    StringSpec designator;
    uint16_t used;  // mask mode: the used slots; count mode: the slots still open
};

struct AnnotationCompEntry {
    ComponentRecord* component;  // of the run's unified list
    std::vector<OpenSlotRecord> openSlots;
    uint16_t nameIndex;
    uint16_t variant;
};

struct PrefixEntry {
    std::vector<bool> used;       // assignment: numbers in use, bit n-1 for n
    std::unordered_set<int32_t> reserved;  // resequence: numbers of symbols outside the run
    int32_t highest = 0;
    bool hasBits = false;
};

enum class PrefixMode { kAssign, kResequence };

std::string Upper(const char* text) {
    std::string s(text);
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Everything one run builds; freed on every path by its destructor.
struct AnnotationRun {
    ProjectRecord* project = nullptr;
    uint16_t mask = 0;
    int32_t start = 1;
    bool noSuffix = false;
    bool sheetLocal = false;
    StringBlock labels = nullptr;
    // The unified component list: components of every sheet copied into one block.
    LinkListHeader* components = nullptr;
    StringBlock compStrings = nullptr;
    PinDataTable compPins = nullptr;
    std::vector<AnnotationCompEntry> compTable;
    std::vector<AnnotationInstanceEntry> entries;  // storage; ids are positions
    std::vector<int32_t> table;                    // the instance table: ids in table order
    std::unordered_map<std::string, PrefixEntry> prefixes;
    std::vector<std::string> filter;               // upper-cased; empty: every prefix
    std::unordered_map<StringSpec, std::string> texts;

    ~AnnotationRun() {
        if (components) DestroyCompList(components);
        if (compPins) DestroyPinDataTable(compPins);
        if (compStrings) DestroyStringBlock(compStrings);
        if (labels) DestroyStringBlock(labels);
    }

    const std::string& Text(StringSpec spec) {
        auto it = texts.find(spec);
        if (it != texts.end()) return it->second;
        char buffer[kAnnotationTextSize];
        buffer[0] = 0;
        if (spec) ExtractStringSpec(spec, labels, buffer, sizeof buffer);
        return texts.emplace(spec, buffer).first->second;
    }
    StringSpec Label(const char* text) {
        if (!text || !*text) return 0;
        const StringSpec spec = OverlayStringBlock(labels, text, -1, nullptr);
        if (spec == 0) Signal(status::kOutOfMemory);
        return spec;
    }
    ComponentRecord* Comp(const AnnotationInstanceEntry& e) { return compTable[e.componentIndex].component; }
};

void Busy() {
    if (gHooks.busy) gHooks.busy();
}

// ---- Order ----

int CompareDesignators(AnnotationRun& run, StringSpec a, StringSpec b) {
    if (a == b) return 0;
    if (a == 0) return -1;
    if (b == 0) return 1;
    const std::string& ta = run.Text(a);
    const std::string& tb = run.Text(b);
    const int order = StrCmpAlphaNumeric(ta.c_str(), tb.c_str(), false);
    if (order != 0) return order;
    // Texts that differ only in case: entries of one designator stay together.
    return std::strcmp(ta.c_str(), tb.c_str());
}

int CompareAssignmentOrders(const AnnotationInstanceEntry& a, const AnnotationInstanceEntry& b) {
    const bool ra = a.flags & kEntryExistingOrder, rb = b.flags & kEntryExistingOrder;
    if (ra != rb) return ra ? -1 : 1;
    if (!ra && a.sheetOrder != b.sheetOrder) return a.sheetOrder < b.sheetOrder ? -1 : 1;
    if (a.orderKey != b.orderKey) return a.orderKey < b.orderKey ? -1 : 1;
    return 0;
}

int AnnotInstanceTableCompareProc(AnnotationRun& run, const AnnotationInstanceEntry& a,
                                  const AnnotationInstanceEntry& b) {
    if (int d = CompareDesignators(run, a.designator, b.designator)) return d;
    if (a.componentIndex != b.componentIndex) return a.componentIndex < b.componentIndex ? -1 : 1;
    if (a.slot != b.slot) return a.slot < b.slot ? -1 : 1;
    return CompareAssignmentOrders(a, b);
}

void SortTable(AnnotationRun& run) {
    std::stable_sort(run.table.begin(), run.table.end(), [&](int32_t x, int32_t y) {
        return AnnotInstanceTableCompareProc(run, run.entries[size_t(x)], run.entries[size_t(y)]) < 0;
    });
}

// Takes an entry out of the table and adds it again at its place (after its equals).
void ReAdd(AnnotationRun& run, int32_t id) {
    run.table.erase(std::find(run.table.begin(), run.table.end(), id));
    const auto at = std::upper_bound(run.table.begin(), run.table.end(), id, [&](int32_t x, int32_t y) {
        return AnnotInstanceTableCompareProc(run, run.entries[size_t(x)], run.entries[size_t(y)]) < 0;
    });
    run.table.insert(at, id);
}

// ---- The hierarchy walk ----

void MarkDescent(ProjectRecord* project, int32_t depth) {
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        n->flags &= uint16_t(~kSheetNodeNoDescent);
        if (n->depth == 0) continue;
        if (!(n->flags & kAnnotWalkFlag) ||
            (depth >= 1 && n->sheetSpec && depth < int32_t(n->sheetSpec->rank)))
            n->flags |= kSheetNodeNoDescent;
    }
}

void NumberNodes(ProjectRecord* project, bool depthFirst) {
    SheetTree* tree = project->hierarchy;
    uint32_t number = 0;
    if (depthFirst) {
        for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) n->order = ++number;
        return;
    }
    std::vector<uint32_t> perLevel;
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) {
        const size_t level = size_t(std::max<int16_t>(n->depth, 0));
        if (perLevel.size() <= level) perLevel.resize(level + 1, 0);
        n->order = ++perLevel[level];
    }
    std::vector<uint32_t> before(perLevel.size(), 0);
    for (size_t i = 1; i < perLevel.size(); ++i) before[i] = before[i - 1] + perLevel[i - 1];
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n))
        n->order += before[size_t(std::max<int16_t>(n->depth, 0))];
}

void AddSubtree(SheetNode* node, bool descend, std::vector<SheetNode*>* out) {
    if (node->flags & kSheetNodeCircular) return;
    out->push_back(node);
    if (!descend) return;
    for (SheetNode* c = node->firstChild; c; c = c->next)
        if (!(c->flags & (kSheetNodeCircular | kSheetNodeNoDescent))) AddSubtree(c, true, out);
}

// The nodes of the run: the start node (and its sub-tree), or the top-level nodes (and theirs).
std::vector<SheetNode*> RunNodes(ProjectRecord* project, SheetNode* root, bool descend) {
    std::vector<SheetNode*> nodes;
    if (root) {
        AddSubtree(root, descend, &nodes);
    } else if (project->hierarchy) {
        for (SheetNode* n = project->hierarchy->first; n; n = n->next) AddSubtree(n, descend, &nodes);
    }
    return nodes;
}

// ---- Collection ----

// The symbols collected so far: (node, or sheet spec when annotation is kept in the sheets; serial).
using SeenSet = std::set<std::pair<const void*, uint32_t>>;

struct SheetVisit {
    SheetSpec* spec;
    std::vector<std::pair<SheetNode*, bool>> nodes;  // and whether the node is in the run
};

bool PassesFilter(AnnotationRun& run, const char* prefix) {
    if (run.filter.empty()) return true;
    char trimmed[kAnnotationTextSize];
    std::snprintf(trimmed, sizeof trimmed, "%s", prefix);
    TrimSpacesC(trimmed);
    if (!trimmed[0]) return false;
    return std::find(run.filter.begin(), run.filter.end(), Upper(trimmed)) != run.filter.end();
}

// The component table entry of a symbol's kind (an equal entry is reused).
uint32_t CompIndexOf(AnnotationRun& run, SheetRecord* sheet, SymbolRecord* symbol, ComponentRecord* component) {
    const int32_t package = symbol->component ? symbol->kind.comp.package : 0;
    const int32_t nameIndex = symbol->component ? symbol->kind.comp.nameIndex : 0;
    int32_t variant = 0;
    ComponentRecord* unified =
        FindCompatibleComp(component, package, nameIndex, sheet->stringBlock, sheet->pinDataTable, run.components,
                           run.compStrings, run.compPins, true, &variant);
    if (!unified) {
        unified = DuplicateComponent(component);
        if (!unified) Signal(status::kOutOfMemory);
        OSStatus st = ChangeCompStringBlock(unified, sheet->stringBlock, run.compStrings);
        if (!st) st = TransferCompPinTable(unified, sheet->pinDataTable, run.compPins, true);
        if (st) {
            FreeComponent(unified);
            Signal(st);
        }
        CalcCompHash(unified, run.compStrings);
        LLPush(run.components, unified);
        variant = package;
        Busy();
    }
    for (size_t i = 0; i < run.compTable.size(); ++i) {
        const AnnotationCompEntry& c = run.compTable[i];
        if (c.component == unified && c.variant == uint16_t(variant) && c.nameIndex == uint16_t(nameIndex))
            return uint32_t(i);
    }
    run.compTable.push_back({unified, {}, uint16_t(nameIndex), uint16_t(variant)});
    return uint32_t(run.compTable.size() - 1);
}

int16_t FirstSlotUsing(ComponentRecord* component, int32_t symbolIndex) {
    const int32_t s = GetFirstCompSectionUsingSymbol(component, symbolIndex, nullptr);
    return int16_t(s < 0 ? 0 : s);
}

void CollectSymbol(AnnotationRun& run, SheetRecord* sheet, SymbolRecord* symbol, const SheetVisit& visit,
                   SeenSet* seen) {
    ComponentRecord* temporary = nullptr;
    ComponentRecord* component = symbol->component;
    if (!component) {
        if (symbol->flags & kSymbolFlagSheet)
            temporary = CreateCompFromSheetSymbol(sheet, symbol, sheet->stringBlock);
        else if (symbol->flags & kSymbolFlagGraphicComponent)
            temporary = CreateCompFromGraphicSymbol(sheet, symbol, sheet->stringBlock);
        else
            return;
        if (!temporary) Signal(status::kOutOfMemory);
        component = temporary;
    }
    uint32_t compIndex = 0;
    const OSStatus st = CatchSignals([&] { compIndex = CompIndexOf(run, sheet, symbol, component); });
    if (temporary) FreeComponent(temporary);
    if (st) Signal(st);
    ComponentRecord* unified = run.compTable[compIndex].component;
    const uint16_t symbolIndex = symbol->component ? symbol->kind.comp.symbol : 0;
    const int64_t key = AnnotationLocationKey(sheet, symbol);
    const bool selected = (symbol->flags & kSymbolFlagSelected) != 0;
    for (const auto& [node, inRun] : visit.nodes) {
        // With annotation kept in the sheets every instance shares one annotation.
        const void* owner = run.sheetLocal ? static_cast<const void*>(visit.spec) : node;
        if (!seen->emplace(owner, symbol->serial).second) continue;
        SheetInstance* instance = RetrieveSheetInstance(run.project, node, inRun);
        char text[kAnnotationTextSize];
        text[0] = 0;
        int32_t slot = -1;
        if (instance) slot = GetInstanceAnnotation(run.project, instance, symbol->serial, text);
        if (slot < 0) slot = FirstSlotUsing(unified, symbolIndex);
        AnnotationInstanceEntry e{};
        e.node = node;
        e.symbolId = symbol->serial;
        e.componentIndex = compIndex;
        e.slot = int16_t(slot);
        e.orderKey = key;
        e.symbolIndex = symbolIndex;
        e.sheetOrder = node->order;
        e.designator = run.Label(text);
        char prefix[kAnnotationTextSize];
        std::snprintf(prefix, sizeof prefix, "%s", text);
        if (e.designator && SplitAlphaNumericString(prefix, true, nullptr, nullptr, 0) >= 0)
            e.prefix = run.Label(prefix);
        else
            prefix[0] = 0;
        if (!prefix[0]) GetCompRefPrefix(unified, run.compStrings, prefix);
        bool taken = inRun && (!(run.mask & kAnnotSelectedSymbols) || selected);
        if (taken && !PassesFilter(run, e.prefix ? run.Text(e.prefix).c_str() : prefix)) taken = false;
        if (!taken) {
            // Outside the run: kept as it is, and only a designator matters.
            if (!e.designator) continue;
            e.flags = kEntryReserved;
        }
        run.entries.push_back(e);
        run.table.push_back(int32_t(run.entries.size() - 1));
    }
}

SheetRecord* OpenSheetOf(ProjectRecord* project, SheetSpec* spec) {
    return gHooks.openSheet ? gHooks.openSheet(project, spec) : GetOpenSheetFromSheetSpec(project, spec);
}

// Lets every sheet spec's annotation table go.
void FreeAnnotationTables(ProjectRecord* project) {
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
        FreeAnnotationTable(project, spec);
}

void CollectSheet(AnnotationRun& run, const SheetVisit& visit, SeenSet* seen) {
    SheetRecord* sheet = OpenSheetOf(run.project, visit.spec);
    bool loaded = false;
    if (!sheet) {
        OSStatus st = kSheetServiceMissing;
        if (gHooks.loadSheet) st = gHooks.loadSheet(run.project, visit.spec, &sheet);
        if (st == status::kNoErr && !sheet) st = status::kNotFound;
        if (st) Signal(st);
        loaded = true;
    }
    const OSStatus st = CatchSignals([&] {
        Signal(LoadAnnotationTable(run.project, visit.spec, 0));
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
            CollectSymbol(run, sheet, s, visit, seen);
    });
    if (loaded) {
        if (gHooks.releaseSheet)
            gHooks.releaseSheet(run.project, visit.spec, sheet);
        else
            DestroySheet(sheet);
    }
    if (st) Signal(st);
}

// Every sheet of the project once, with the nodes of the run first and then every other node
// (those only to keep their designators).
void Collect(AnnotationRun& run, const std::vector<SheetNode*>& runNodes) {
    std::vector<SheetVisit> visits;
    std::unordered_map<SheetSpec*, size_t> bySpec;
    std::unordered_set<SheetNode*> inRun(runNodes.begin(), runNodes.end());
    auto add = [&](SheetNode* node, bool taken) {
        if (!node->sheetSpec) return;
        auto [it, fresh] = bySpec.emplace(node->sheetSpec, visits.size());
        if (fresh) visits.push_back({node->sheetSpec, {}});
        visits[it->second].nodes.emplace_back(node, taken);
    };
    for (SheetNode* n : runNodes) add(n, true);
    SheetTree* tree = run.project->hierarchy;
    for (SheetNode* n = NextSheetNode(tree, nullptr); n; n = NextSheetNode(tree, n)) {
        if (inRun.count(n) || (n->flags & kSheetNodeCircular)) continue;
        bool under = false;
        for (SheetNode* p = n->parent; p; p = p->parent) under = under || (p->flags & kSheetNodeCircular);
        if (!under) add(n, false);
    }
    SeenSet seen;
    for (const SheetVisit& visit : visits) CollectSheet(run, visit, &seen);
    SortTable(run);
}

// ---- Clearing ----

int16_t GetDefaultSlot(AnnotationRun& run, const AnnotationInstanceEntry& e) {
    ComponentRecord* c = run.Comp(e);
    const ComponentSection* section = GetCompSection(c, e.slot);
    return FirstSlotUsing(c, section ? section->symbolIndex : e.symbolIndex);
}

void ClearEntry(AnnotationRun& run, AnnotationInstanceEntry& e) {
    e.designator = 0;
    e.slot = GetDefaultSlot(run, e);
    e.flags |= kEntryChanged;
}

void ClearAllDesignators(AnnotationRun& run) {
    for (AnnotationInstanceEntry& e : run.entries)
        if (e.designator && !(e.flags & kEntryReserved)) ClearEntry(run, e);
    SortTable(run);
}

// Within one designator the first kind keeps it, each slot once; symbols outside the run come
// first, since they cannot change.
void ClearConflictingDesignators(AnnotationRun& run) {
    std::vector<int32_t> cleared;
    size_t i = 0;
    while (i < run.table.size()) {
        const StringSpec d = run.entries[size_t(run.table[i])].designator;
        size_t j = i;
        while (j < run.table.size() && run.entries[size_t(run.table[j])].designator == d) ++j;
        if (d != 0) {
            bool held = false;
            uint32_t holder = 0;
            std::vector<int16_t> slots;
            for (size_t k = i; k < j; ++k) {
                const AnnotationInstanceEntry& e = run.entries[size_t(run.table[k])];
                if (!(e.flags & kEntryReserved)) continue;
                if (!held) holder = e.componentIndex;
                held = true;
                slots.push_back(e.slot);
            }
            for (size_t k = i; k < j; ++k) {
                const AnnotationInstanceEntry& e = run.entries[size_t(run.table[k])];
                if (e.flags & kEntryReserved) continue;
                if (!held) {
                    held = true;
                    holder = e.componentIndex;
                    slots.push_back(e.slot);
                } else if (e.componentIndex == holder &&
                           std::find(slots.begin(), slots.end(), e.slot) == slots.end()) {
                    slots.push_back(e.slot);
                } else {
                    cleared.push_back(run.table[k]);
                }
            }
        }
        i = j;
    }
    for (int32_t id : cleared) ClearEntry(run, run.entries[size_t(id)]);
    if (!cleared.empty()) SortTable(run);
}

void RecordExistingAssignmentOrder(AnnotationRun& run) {
    int64_t order = 0;
    for (int32_t id : run.table) {
        AnnotationInstanceEntry& e = run.entries[size_t(id)];
        if (!e.designator || (e.flags & kEntryReserved)) continue;
        e.flags |= kEntryExistingOrder;
        e.orderKey = ++order;
    }
}

// ---- Prefixes and numbers ----

void BuildRefDesPrefixTable(AnnotationRun& run, PrefixMode mode) {
    run.prefixes.clear();
    StringSpec previous = 0;
    bool first = true;
    for (int32_t id : run.table) {
        const AnnotationInstanceEntry& e = run.entries[size_t(id)];
        char prefix[kAnnotationTextSize];
        int32_t number = 0;
        if (e.designator) {
            if (!first && e.designator == previous) continue;
            previous = e.designator;
            first = false;
            std::snprintf(prefix, sizeof prefix, "%s", run.Text(e.designator).c_str());
            number = SplitAlphaNumericString(prefix, true, nullptr, nullptr, 0);
            if (number < 0) continue;
        } else if (e.prefix) {
            std::snprintf(prefix, sizeof prefix, "%s", run.Text(e.prefix).c_str());
        } else if (mode == PrefixMode::kAssign) {
            GetCompRefPrefix(run.Comp(e), run.compStrings, prefix);
        } else {
            continue;
        }
        auto [it, fresh] = run.prefixes.try_emplace(Upper(prefix));
        PrefixEntry& p = it->second;
        if (mode == PrefixMode::kAssign) {
            if (fresh) {
                p.hasBits = true;
                p.used.assign(kPrefixBits, false);
                for (int32_t n = 1; n < run.start && n <= kAnnotMaxNumber; ++n) {
                    if (size_t(n) > p.used.size()) p.used.resize(size_t(n), false);
                    p.used[size_t(n - 1)] = true;
                }
                p.highest = std::max(number, run.start);
            } else {
                p.highest = std::max(p.highest, number);
            }
            if (number >= 1 && number <= kAnnotMaxNumber) {
                if (size_t(number) > p.used.size()) p.used.resize(size_t(number), false);
                p.used[size_t(number - 1)] = true;
            }
        } else {
            if (fresh) p.highest = run.start - 1;
            if (e.flags & kEntryReserved) p.reserved.insert(number);
        }
    }
}

// The next number of a prefix, or -1 when none is left.
int32_t GetNextAvailablePrefixNumber(AnnotationRun& run, const char* prefix, bool consume) {
    auto it = run.prefixes.find(Upper(prefix));
    if (it == run.prefixes.end()) return run.start;
    PrefixEntry& p = it->second;
    if (p.hasBits) {
        for (int32_t b = 0; b < kAnnotMaxNumber; ++b) {
            if (size_t(b) < p.used.size() && p.used[size_t(b)]) continue;
            if (consume) {
                if (size_t(b) >= p.used.size()) p.used.resize(size_t(b) + 1, false);
                p.used[size_t(b)] = true;
            }
            return b + 1;
        }
    }
    if (p.highest >= INT32_MAX) return -1;
    const int32_t next = std::max(p.highest + 1, run.start);
    if (consume) p.highest = next;
    return next;
}

// ---- Resequencing ----

void DefragmentizeDesignators(AnnotationRun& run) {
    size_t i = 0;
    while (i < run.table.size()) {
        const StringSpec old = run.entries[size_t(run.table[i])].designator;
        size_t j = i + 1;
        while (j < run.table.size() && run.entries[size_t(run.table[j])].designator == old) ++j;
        bool held = false;
        for (size_t k = i; k < j; ++k) held = held || (run.entries[size_t(run.table[k])].flags & kEntryReserved);
        if (old && !held) {
            char prefix[kAnnotationTextSize];
            char suffix[kAnnotationTextSize] = {0};
            std::snprintf(prefix, sizeof prefix, "%s", run.Text(old).c_str());
            const int32_t number = SplitAlphaNumericString(prefix, true, nullptr, suffix, int32_t(sizeof suffix));
            auto it = number >= 0 ? run.prefixes.find(Upper(prefix)) : run.prefixes.end();
            if (it != run.prefixes.end()) {
                PrefixEntry& p = it->second;
                int64_t next = int64_t(p.highest) + 1;
                while (next <= INT32_MAX && p.reserved.count(int32_t(next))) ++next;
                if (next <= INT32_MAX) {
                    p.highest = int32_t(next);
                    if (next != number) {
                        // The text after the old number stays behind the new one (R5X -> R1X).
                        char text[2 * kAnnotationTextSize + 16];
                        std::snprintf(text, sizeof text, "%s%d%s", prefix, int32_t(next), suffix);
                        text[kAnnotationTextSize - 1] = 0;
                        const StringSpec renamed = run.Label(text);
                        for (size_t k = i; k < j; ++k) {
                            AnnotationInstanceEntry& e = run.entries[size_t(run.table[k])];
                            e.designator = renamed;
                            e.flags |= kEntryChanged;
                        }
                    }
                }
            }
        }
        i = j;
    }
    SortTable(run);
}

// ---- Slots ----

bool MaskMode(ComponentRecord* c) { return c->symbolCount == 1 && c->sectionCount <= 16; }

int CompareOpenSlots(AnnotationRun& run, StringSpec a, StringSpec b) {
    return StrCmpAlphaNumeric(run.Text(a).c_str(), run.Text(b).c_str(), false);
}

void AddOpenSlot(AnnotationRun& run, AnnotationCompEntry& comp, OpenSlotRecord record) {
    auto at = std::upper_bound(comp.openSlots.begin(), comp.openSlots.end(), record,
                               [&](const OpenSlotRecord& x, const OpenSlotRecord& y) {
                                   return CompareOpenSlots(run, x.designator, y.designator) < 0;
                               });
    comp.openSlots.insert(at, record);
}

std::vector<bool> UsedSlotsOf(AnnotationRun& run, StringSpec designator, uint32_t compIndex) {
    std::vector<bool> used(run.compTable[compIndex].component->sectionCount, false);
    for (const AnnotationInstanceEntry& e : run.entries)
        if (e.designator == designator && e.componentIndex == compIndex && e.slot >= 0 && size_t(e.slot) < used.size())
            used[size_t(e.slot)] = true;
    return used;
}

void CollectAvailableSlots(AnnotationRun& run) {
    size_t i = 0;
    while (i < run.table.size()) {
        const AnnotationInstanceEntry& first = run.entries[size_t(run.table[i])];
        size_t j = i + 1;
        while (j < run.table.size() && run.entries[size_t(run.table[j])].designator == first.designator &&
               run.entries[size_t(run.table[j])].componentIndex == first.componentIndex)
            ++j;
        AnnotationCompEntry& comp = run.compTable[first.componentIndex];
        ComponentRecord* c = comp.component;
        if (first.designator && c->sectionCount >= 2) {
            std::vector<bool> used(c->sectionCount, false);
            for (size_t k = i; k < j; ++k) {
                const int16_t s = run.entries[size_t(run.table[k])].slot;
                if (s >= 0 && s < c->sectionCount) used[size_t(s)] = true;
            }
            const auto free = std::count(used.begin(), used.end(), false);
            if (free > 0) {
                uint16_t info = uint16_t(free);
                if (MaskMode(c)) {
                    info = 0;
                    for (size_t s = 0; s < used.size(); ++s)
                        if (used[s]) info |= uint16_t(1u << s);
                }
                AddOpenSlot(run, comp, {first.designator, info});
            }
        }
        i = j;
    }
}

// A free slot of a designated package for the entry: true with the slot and designator set.
bool FindAvailableSlot(AnnotationRun& run, AnnotationInstanceEntry& e, const char* prefix) {
    AnnotationCompEntry& comp = run.compTable[e.componentIndex];
    ComponentRecord* c = comp.component;
    const ComponentSection* own = GetCompSection(c, e.slot);
    const uint16_t symbolIndex = own ? own->symbolIndex : e.symbolIndex;
    const bool maskMode = MaskMode(c);
    for (size_t r = 0; r < comp.openSlots.size();) {
        OpenSlotRecord& record = comp.openSlots[r];
        std::vector<bool> used(c->sectionCount, false);
        if (maskMode) {
            for (size_t s = 0; s < used.size(); ++s) used[s] = (record.used >> s) & 1;
        } else {
            used = UsedSlotsOf(run, record.designator, e.componentIndex);
            if (std::find(used.begin(), used.end(), true) == used.end()) {
                comp.openSlots.erase(comp.openSlots.begin() + std::ptrdiff_t(r));
                continue;
            }
        }
        int32_t slot = -1;
        for (int32_t s = 0; s < c->sectionCount && slot < 0; ++s) {
            const ComponentSection* section = GetCompSection(c, s);
            if (section && section->symbolIndex == symbolIndex && !used[size_t(s)]) slot = s;
        }
        if (slot < 0) {
            ++r;
            continue;
        }
        char text[kAnnotationTextSize];
        std::snprintf(text, sizeof text, "%s", run.Text(record.designator).c_str());
        const int32_t number = SplitAlphaNumericString(text, false, nullptr, nullptr, 0);
        const int32_t next = GetNextAvailablePrefixNumber(run, prefix, false);
        if (next >= 0 && number > next) return false;
        e.slot = int16_t(slot);
        e.designator = record.designator;
        // Consumes the slot.
        if (maskMode) {
            record.used |= uint16_t(1u << slot);
            if (record.used == uint16_t((1u << c->sectionCount) - 1))
                comp.openSlots.erase(comp.openSlots.begin() + std::ptrdiff_t(r));
        } else if (--record.used == 0) {
            comp.openSlots.erase(comp.openSlots.begin() + std::ptrdiff_t(r));
        }
        return true;
    }
    return false;
}

void AssignMissingDesignators(AnnotationRun& run) {
    const bool pack = !run.noSuffix;
    if (pack) CollectAvailableSlots(run);
    std::vector<int32_t> order = run.table;
    std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) {
        return CompareAssignmentOrders(run.entries[size_t(x)], run.entries[size_t(y)]) < 0;
    });
    for (int32_t id : order) {
        AnnotationInstanceEntry& e = run.entries[size_t(id)];
        if (e.designator || (e.flags & kEntryReserved)) continue;
        ComponentRecord* c = run.Comp(e);
        char prefix[kAnnotationTextSize];
        if (e.prefix)
            std::snprintf(prefix, sizeof prefix, "%s", run.Text(e.prefix).c_str());
        else
            GetCompRefPrefix(c, run.compStrings, prefix);
        const bool multi = c->sectionCount >= 2 && pack;
        if (!(multi && FindAvailableSlot(run, e, prefix))) {
            const int32_t number = GetNextAvailablePrefixNumber(run, prefix, true);
            if (number < 0) continue;  // every number of the prefix is taken: left without one
            const ComponentSection* own = GetCompSection(c, e.slot);
            e.slot = FirstSlotUsing(c, own ? own->symbolIndex : e.symbolIndex);
            char text[kAnnotationTextSize + 16];
            std::snprintf(text, sizeof text, "%s%d", prefix, number);
            text[kAnnotationTextSize - 1] = 0;
            e.designator = run.Label(text);
            if (multi) {
                AnnotationCompEntry& comp = run.compTable[e.componentIndex];
                const uint16_t info =
                    MaskMode(c) ? uint16_t(1u << e.slot) : uint16_t(c->sectionCount - 1);
                AddOpenSlot(run, comp, {e.designator, info});
            }
        }
        e.flags |= kEntryChanged;
        ReAdd(run, id);
        Busy();
    }
}

// ---- Applying ----

struct UndoRecord {
    SheetInstance* instance;
    uint32_t symbolId;
    std::string text;
    int32_t slot;
    bool had;
};

void ClearMarks(ProjectRecord* project) { ClearSheetSpecListTempFlags(project); }

OSStatus ApplyAnnotationToProject(AnnotationRun& run, std::vector<UndoRecord>* undo) {
    ProjectRecord* project = run.project;
    return CatchSignals(
        [&] {
            ClearMarks(project);
            for (const AnnotationInstanceEntry& e : run.entries) {
                if (!(e.flags & kEntryChanged)) continue;
                SheetInstance* instance = RetrieveSheetInstance(project, e.node, e.designator != 0);
                SheetSpec* spec = e.node->sheetSpec;
                if (!instance || !spec || (spec->flags & kSheetSpecMark)) continue;
                spec->flags |= kSheetSpecMark;
                if (OSStatus st = LoadAnnotationTable(project, spec, 0)) {
                    ClearMarks(project);
                    Signal(st);
                }
            }
            ClearMarks(project);
            for (const AnnotationInstanceEntry& e : run.entries) {
                if (!(e.flags & kEntryChanged)) continue;
                SheetInstance* instance = RetrieveSheetInstance(project, e.node, false);
                if (!instance) continue;
                UndoRecord before{instance, e.symbolId, {}, -1, false};
                AnnotationMap* map = GetInstanceAnnotMap(project, instance, false);
                if (AnnotationSpec* spec =
                        AnnotationMapLookup(map, GetAnnotationInstanceId(project, instance), e.symbolId)) {
                    char text[kAnnotationTextSize];
                    before.slot = ExtractAnnotationSpec(spec, GetAnnotationMapStringBlock(map), text);
                    before.text = text;
                    before.had = spec->designator != kNoDesignator;
                }
                bool changed;
                if (e.designator) {
                    changed = SetInstanceAnnotation(project, instance, e.symbolId, run.Text(e.designator).c_str(),
                                                    e.slot);
                    if (!changed && !AnnotationMapLookup(GetInstanceAnnotMap(project, instance, false),
                                                         GetAnnotationInstanceId(project, instance), e.symbolId))
                        Signal(status::kOutOfMemory);
                } else {
                    changed = SetInstanceAnnotation(project, instance, e.symbolId, nullptr, -1);
                }
                if (!changed) continue;
                undo->push_back(before);
                SheetSpec* spec = e.node->sheetSpec;
                if (spec && !(spec->flags & kSheetSpecMark)) {
                    spec->flags |= kSheetSpecMark;
                    SetSheetSpecDirtyTime(spec, nullptr);
                }
                Busy();
            }
        },
        [&] {
            for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
                if (!(spec->flags & kSheetSpecMark)) FreeAnnotationTable(project, spec);
        });
}

// After the apply: open sheets keep their changes pending and show them; the others commit (or,
// after a failure, drop) theirs; sheets the run did not change let their tables go.
void FinishApply(AnnotationRun& run, OSStatus applied, const std::vector<UndoRecord>& undo) {
    ProjectRecord* project = run.project;
    const bool failed = applied != status::kNoErr;
    if (failed) {
        // Open sheets go back to what they showed: pending changes made before the run stay.
        for (auto it = undo.rbegin(); it != undo.rend(); ++it) {
            SheetSpec* spec = ResolveInstanceSheet(project, it->instance);
            if (!spec || !OpenSheetOf(project, spec)) continue;
            SetInstanceAnnotation(project, it->instance, it->symbolId, it->had ? it->text.c_str() : nullptr,
                                  it->slot);
        }
    }
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next) {
        if (!(spec->flags & kSheetSpecMark)) {
            FreeAnnotationTable(project, spec);
            continue;
        }
        SheetRecord* open = OpenSheetOf(project, spec);
        if (open) {
            if (failed) continue;
            if (gHooks.setSheetModified)
                gHooks.setSheetModified(open);
            else
                open->modifiedFlags |= kSheetModifiedContent;
            if (open->project == project) ResetSheetContext(project, open, 0);
        } else if (failed) {
            DiscardAnnotationChanges(project, spec, false);
        } else {
            ApplyAnnotationMapChanges(GetSheetSpecAnnotMap(project, spec, false), spec);
        }
    }
    ClearMarks(project);
}

void BuildFilter(AnnotationRun& run, const char* text) {
    std::string piece;
    auto flush = [&] {
        char trimmed[kAnnotationTextSize];
        std::snprintf(trimmed, sizeof trimmed, "%s", piece.c_str());
        TrimSpacesC(trimmed);
        if (trimmed[0] && std::strlen(trimmed) < kFilterPieceLimit) run.filter.push_back(Upper(trimmed));
        piece.clear();
    };
    for (const char* p = text; p && *p; ++p) {
        if (*p == ',')
            flush();
        else
            piece += *p;
    }
    flush();
}

}  // namespace

void SetAnnotationHooks(const AnnotationHooks& hooks) { gHooks = hooks; }
const AnnotationHooks& GetAnnotationHooks() { return gHooks; }

namespace {

// A failure is reported once, user cancel never.
void ReportFailure(OSStatus st) {
    if (st && st != status::kUserCancelled && gHooks.reportError) gHooks.reportError(st);
}

}  // namespace

void AddAnnotationServices(AnnotationHooks& hooks) {
    hooks.updateHierarchy = [](ProjectRecord* project, uint32_t reasons) { UpdateProjectHierarchy(project, reasons); };
    hooks.updateTreeInstanceNames = [](ProjectRecord* project, uint32_t flags) {
        ReportFailure(UpdateTreeInstanceNames(project, flags));
    };
    hooks.setSheetContext = [](SheetRecord* sheet, ProjectRecord* project, SheetInstance* instance, uint32_t flags) {
        ReportFailure(SetSheetContext(sheet, project, instance, flags != 0));
    };
    hooks.openSheet = StoreGetLoadedSheet;
    hooks.loadSheet = StoreLoadSheet;
    hooks.releaseSheet = [](ProjectRecord*, SheetSpec*, SheetRecord* sheet) { StoreReleaseSheet(sheet); };
    hooks.setSheetModified = [](SheetRecord* sheet) { SetSheetModifiedStatus(sheet, kSheetChangeContent); };
}

int64_t AnnotationLocationKey(SheetRecord* sheet, const SymbolRecord* symbol) {
    Rect bounds;
    GetSymbolInstanceBounds(sheet, symbol, 0, &bounds);
    return (int64_t(int32_t(bounds.top) >> 5) << 32) + (int64_t(int32_t(bounds.left) / 18) + 0x80000000LL);
}

int32_t AnnotationRunDepth(const AnnotationSettings& settings) {
    return settings.limitHierarchy && settings.depthLimit > 0 ? settings.depthLimit : kAnnotUnlimitedDepth;
}

void DeleteInstanceAnnotation(ProjectRecord* project, SheetInstance* instance, uint32_t symbolId) {
    SetInstanceAnnotation(project, instance, symbolId, nullptr, -1);
}

void ResetSheetContext(ProjectRecord* project, SheetRecord* sheet, uint32_t flags) {
    if (!project || !sheet || sheet->project != project || !sheet->hierarchyContext) return;
    if (!GetSheetNodeWithInstance(project, sheet->hierarchyContext)) return;
    if (gHooks.setSheetContext) gHooks.setSheetContext(sheet, project, sheet->hierarchyContext, flags & 0xFF);
}

OSStatus Annotate(ProjectRecord* project, SheetRecord* sheet, uint16_t mask, int32_t start, bool limitHierarchy,
                  int32_t depth) {
    if (!project) return status::kParamErr;
    if (gHooks.showMessage)
        gHooks.showMessage((mask & (kAnnotAssignMissing | kAnnotClearAll)) == kAnnotClearAll ? kRemovingAnnotationMessage
                                                                                             : kAnnotatingMessage);
    if (gHooks.updateHierarchy) gHooks.updateHierarchy(project, 3);
    OSStatus result = status::kNoErr;
    if (project->hierarchy) {
        if (depth < kAnnotUnlimitedDepth) SetupSheetSpecRanks(project);
        MarkDescent(project, depth);
        NumberNodes(project, (mask & kAnnotDepthFirst) != 0);

        AnnotationRun run;
        run.project = project;
        run.mask = mask;
        run.start = std::clamp<int32_t>(start, 1, kAnnotMaxNumber);
        run.noSuffix = (project->settings.annotationFlags & kAnnotationNoSlotSuffix) != 0;
        run.sheetLocal = (project->settings.annotationFlags & kAnnotationKeptInSheets) != 0;
        run.labels = CreateStringBlock(nullptr, 256);
        run.components = CreateComponentList();
        run.compStrings = CreateStringBlock(nullptr, 256);
        run.compPins = run.compStrings ? CreatePinDataTable(run.compStrings) : nullptr;
        if (!run.labels || !run.components || !run.compStrings || !run.compPins) {
            result = status::kOutOfMemory;
        } else {
            BuildFilter(run, project->annotationOptions.prefixFilter);
            SheetNode* root = nullptr;
            if ((mask & kAnnotCurrentSheet) && sheet && sheet->hierarchyContext)
                root = GetSheetNodeWithInstance(project, sheet->hierarchyContext);
            result = CatchSignals([&] { Collect(run, RunNodes(project, root, limitHierarchy)); });
            if (result) {
                FreeAnnotationTables(project);
            } else {
                std::vector<UndoRecord> undo;
                OSStatus applied = status::kNoErr;
                result = CatchSignals([&] {
                    if ((mask & kAnnotAssignMissing) && (mask & kAnnotKeepOrder)) RecordExistingAssignmentOrder(run);
                    if (mask & kAnnotClearAll)
                        ClearAllDesignators(run);
                    else if (mask & kAnnotClearConflicting)
                        ClearConflictingDesignators(run);
                    if ((mask & kAnnotResequenceFirst) && (mask & kAnnotResequence)) {
                        BuildRefDesPrefixTable(run, PrefixMode::kResequence);
                        DefragmentizeDesignators(run);
                    }
                    if (mask & kAnnotAssignMissing) {
                        BuildRefDesPrefixTable(run, PrefixMode::kAssign);
                        AssignMissingDesignators(run);
                    }
                    if ((mask & kAnnotResequence) && !(mask & kAnnotResequenceFirst)) {
                        BuildRefDesPrefixTable(run, PrefixMode::kResequence);
                        DefragmentizeDesignators(run);
                    }
                    run.prefixes.clear();
                    applied = ApplyAnnotationToProject(run, &undo);
                    FinishApply(run, applied, undo);
                    Signal(applied);
                });
                if (result && applied == status::kNoErr && undo.empty()) {
                    // A failure before the apply: no map was touched.
                    FreeAnnotationTables(project);
                }
            }
        }
    }
    if (gHooks.showMessage) gHooks.showMessage(nullptr);
    ReportFailure(result);
    return result;
}

}  // namespace plexa
