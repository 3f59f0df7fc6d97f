// What the netlist build's modules share while a database is built: the build state with its
// indexes (name ids, interned strings, tree order, per-sheet nodes) and the phases that join and
// name nets (netjoin.cpp). Nothing here outlives a build.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "design/netlistdb.h"
#include "files/project.h"

namespace plexa {

struct LinkListHeader;

// Scratch arrays of the build's sorts: large ones are mapped from the system and handed back
// whole when freed, so that a phase's temporaries leave no holes in the heap that stay resident
// (the tables that outlive them are made in between). Throws std::bad_alloc as new does.
void* MapScratch(size_t bytes);
void UnmapScratch(void* block, size_t bytes);
constexpr size_t kScratchMappedBytes = size_t(1) << 20;

template <class T>
struct UDBScratchAllocator {
    using value_type = T;
    UDBScratchAllocator() = default;
    template <class U>
    UDBScratchAllocator(const UDBScratchAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        const size_t bytes = n * sizeof(T);
        return static_cast<T*>(bytes < kScratchMappedBytes ? ::operator new(bytes) : MapScratch(bytes));
    }
    void deallocate(T* block, size_t n) {
        const size_t bytes = n * sizeof(T);
        if (bytes < kScratchMappedBytes)
            ::operator delete(block);
        else
            UnmapScratch(block, bytes);
    }
    template <class U>
    bool operator==(const UDBScratchAllocator<U>&) const {
        return true;
    }
};
template <class T>
using UDBScratch = std::vector<T, UDBScratchAllocator<T>>;

// The hierarchy as the build sees it: nodes in tree order with the end of each node's subtree, and
// per sheet index the nodes the walk visits (in visiting order and in tree order).
struct UDBTree {
    std::vector<SheetNode*> nodes;                     // tree order
    std::vector<uint32_t> subtreeEnd;                  // one past the node's last descendant
    std::unordered_map<const SheetNode*, uint32_t> order;
    std::vector<std::vector<SheetNode*>> visits;       // per sheet: visiting order
    std::vector<std::vector<uint32_t>> treeVisits;     // per sheet: tree order of the visited nodes
    std::vector<SheetSpec*> specs;                     // the project's sheet specs in order
    std::unordered_map<const SheetSpec*, int32_t> sheetIndex;
    std::vector<bool> topLevel;                        // per sheet: it is a top-level sheet
};

// Collects the tree and the nodes that a walk from the root node (or from the top level) visits:
// the root node, then with descend its subtree, children before parents; nodes that are circular
// or kept from descent are skipped with their subtrees.
void BuildUDBTree(ProjectRecord* project, SheetNode* root, bool descend, UDBTree* tree);

// Interns strings into one string block: equal texts get one spec. The pool keeps only the specs
// it added, in an open-addressed table, and compares texts where they stand in the block.
class UDBStringPool {
public:
    explicit UDBStringPool(StringBlock block) : block_(block) {}
    // 0 for an empty text; 0 with *status set when the block refuses the string.
    StringSpec Add(const char* text, OSStatus* status);
    StringBlock block() const { return block_; }

private:
    // The slot of the text: the one holding its spec, else the empty one where it goes.
    size_t Slot(const char* text, uint32_t length, size_t hash) const;
    StringBlock block_;
    std::vector<StringSpec> slots_;  // 0: empty; a power of two in size
    size_t count_ = 0;
};

// A simulator signal map entry while the map is built: a signal of a sheet in one instance and the
// net it stands on.
struct UDBSignalEntry {
    uint32_t nameId;     // the signal's name
    uint32_t net;
    uint32_t nodeOrder;  // the instance's node
};

// The state of one build.
struct UDBBuild {
    UnifiedDBRecord* db = nullptr;
    ProjectRecord* project = nullptr;
    uint16_t flags = 0;
    UDBTree tree;
    // The net name table's index: upper-cased name -> name id.
    std::unordered_map<std::string, uint32_t> nameIds;
    UDBStringPool* compStrings = nullptr;
    UDBStringPool* netStrings = nullptr;
    UDBStringPool* pinStrings = nullptr;
    // Per sheet index: the sheet's import and export specs.
    std::vector<UDBSheetPorts> ports;
    // Merge map: each net's survivor (itself while live), and the pairs in the order made.
    std::vector<uint32_t> mergeParent;
    std::vector<std::pair<uint32_t, uint32_t>> merges;
    // Qualifier specs by node order, then one for no node (kNoQualifier: none made yet).
    static constexpr StringSpec kNoQualifier = 0xFFFFFFFF;
    std::vector<StringSpec> qualifiers;
    // The simulator signal map (a build with simulator maps only).
    std::vector<UDBSignalEntry> signalMap;
    // The simulator component map being built (a build with simulator maps only): its sheet
    // symbols' designators stand in front of the nodes' names in instance-path qualifiers.
    DAHeader** compMap = nullptr;
    OSStatus status = 0;

    ~UDBBuild();
    // The name's id, added when new; 0xFFFFFFFF when the name table cannot take it.
    uint32_t NameId(const char* name);
    uint32_t AddNet(uint32_t nameId, uint16_t sheet, uint8_t scope, uint8_t flags);
    uint32_t NodeOrder(const SheetNode* node) const;
    // The qualifier of a node (see BuildQualifierSpec); 0 for an empty one.
    StringSpec Qualifier(SheetNode* node);
};

// Puts a run into the database's attribute runs and gives its index; the database owns it from
// then on (it is freed when it cannot be taken in, and 0 returned).
uint32_t AddAttributeRun(UnifiedDBRecord* db, Handle run, uint16_t count = 0, uint16_t instanceRefs = 0);
// Frees a run of the database and clears the index (runs that rows share are freed once).
void FreeAttributeRun(UnifiedDBRecord* db, uint32_t* run);

// BuildNetMembersSortMap into a scratch array.
template <class Map>
Map NetMembersSortMap(const UnifiedDBRecord* db);
extern template UDBScratch<uint32_t> NetMembersSortMap(const UnifiedDBRecord* db);

// Net joining and naming, in the build's order.
uint32_t ResolveMergeId(UDBBuild* build, uint32_t id);
void MergeNet(UDBBuild* build, uint32_t a, uint32_t b);
void MergeSheetNets(UDBBuild* build);
void MergeFlatProjectNets(UDBBuild* build);
void MergeGlobalNets(UDBBuild* build);
void PinListMerge(UDBBuild* build);
void SignalMapMerge(UDBBuild* build);
void FlattenHierarchyNets(UDBBuild* build);
void SortPinTable(UDBBuild* build);
void CleanupMultiPinInstances(UDBBuild* build);
void DeadStripNets(UDBBuild* build);
OSStatus AddSubsequentInstNets(UDBBuild* build);
void FlagSinglePinNets(UnifiedDBRecord* db, bool localOnly);
// Sorts the net table (live rows) by name, qualifier, sheet and id.
// The rank of each live net's qualifier in name order.
using QualifierRankMap = std::unordered_map<StringSpec, uint32_t>;
QualifierRankMap QualifierRanks(const UnifiedDBRecord* db);
// Both take the qualifier ranks when the caller has them for the table as it stands, else
// make them.
void SortNetTable(UnifiedDBRecord* db, const QualifierRankMap* ranks = nullptr);
void FlagNetNameConflicts(UnifiedDBRecord* db, bool compareQualifiers, bool perSheet,
                          const QualifierRankMap* ranks = nullptr);
void QualifyNetNames(UDBBuild* build);
// The finished simulator signal map: the entries whose net is named otherwise than the signal or
// qualified, keyed by instance id, with their texts in a string block of the map's own; none
// when memory fails.
SpiceSignalMap BuildSignalMapPhase2(UDBBuild* build);

// Natural, then case-blind order of two texts (the tables' name order).
int CompareUDBNames(const char* a, const char* b);
// The rank of each distinct spec of a block when their texts are put in name order; texts that
// `same` finds equal share a rank (CompareUDBNames when none is given).
std::unordered_map<StringSpec, uint32_t> RankStringSpecsByName(UDBScratch<StringSpec> specs,
                                                              StringBlock block,
                                                              int (*same)(const char*, const char*) = nullptr);

// The rows (ids in ascending order) sorted by fields compared in turn, then by id. `fieldsOf(id)`
// gives a row's fields, each at most its entry of `maxima`. When the fields and the row's place
// fit one 64-bit word together they are packed into it, so that the sort moves single words;
// else the sort compares the fields one by one. The rows are sorted in their own vector, which is
// returned.
template <size_t N, class FieldsOf, class Rows = std::vector<uint32_t>>
Rows SortRowsByFields(Rows rows, const std::array<uint64_t, N>& maxima, FieldsOf fieldsOf) {
    auto bits = [](uint64_t v) { return v ? 64 - __builtin_clzll(v) : 0; };
    std::array<int, N> widths{};
    int total = bits(rows.size());
    for (size_t f = 0; f < N; ++f) total += widths[f] = bits(maxima[f]);
    if (total <= 64) {
        const int placeBits = bits(rows.size());
        UDBScratch<uint64_t> keys(rows.size());
        for (size_t k = 0; k < rows.size(); ++k) {
            const std::array<uint64_t, N> fields = fieldsOf(rows[k]);
            uint64_t key = 0;
            for (size_t f = 0; f < N; ++f) key = widths[f] ? key << widths[f] | fields[f] : key;
            keys[k] = key << placeBits | k;
        }
        std::sort(keys.begin(), keys.end());
        const uint64_t mask = placeBits ? ~uint64_t(0) >> (64 - placeBits) : 0;
        for (uint64_t& key : keys) key = rows[size_t(key & mask)];
        for (size_t k = 0; k < keys.size(); ++k) rows[k] = uint32_t(keys[k]);
        return rows;
    }
    struct Key {
        std::array<uint64_t, N> fields;
        uint32_t id;
    };
    UDBScratch<Key> keys(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) keys[k] = {fieldsOf(rows[k]), rows[k]};
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.fields != b.fields ? a.fields < b.fields : a.id < b.id;
    });
    for (size_t k = 0; k < keys.size(); ++k) rows[k] = keys[k].id;
    return rows;
}

}  // namespace plexa
