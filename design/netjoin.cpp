// Net joining and naming: the phases that turn the nets of single sheets into the nets of the
// design (joining through ports, sub-sheets, export names and global names; resolving port nets
// up the hierarchy; removing repeated pins and unused nets; per-instance copies of local nets;
// single-pin and conflict flags; instance qualifiers).
//
// Merged nets resolve through the merge map: each net's survivor, followed with path halving, so
// a chain of merges costs no rewriting of earlier entries. Port specs keep the ids they were made
// with and are resolved when read.
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <unordered_map>

#include "design/netlist_internal.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "foundation/heap.h"
#include "foundation/strings.h"
#include "model/attributes.h"

namespace plexa {

namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;

std::string NameText(const UnifiedDBRecord* db, uint32_t nameId) {
    char text[kStringSpecBufferSize] = "";
    if (nameId < db->netNames.size())
        ExtractStringSpec(db->netNames[nameId], db->netNameStrings, text, sizeof text);
    return text;
}

// Ranks of the name ids in name order (equal names share a rank).
std::vector<uint32_t> ComputeNameRanks(const UnifiedDBRecord* db) {
    const std::unordered_map<StringSpec, uint32_t> bySpec =
        RankStringSpecsByName(UDBScratch<StringSpec>(db->netNames.begin(), db->netNames.end()), db->netNameStrings);
    std::vector<uint32_t> rank;
    rank.reserve(db->netNames.size());
    for (StringSpec spec : db->netNames) rank.push_back(bySpec.at(spec));
    return rank;
}

// The ranks, kept with the database and computed again only when names were added since.
const std::vector<uint32_t>& NameRanks(UnifiedDBRecord* db) {
    if (db->nameRanks.size() != db->netNames.size()) db->nameRanks = ComputeNameRanks(db);
    return db->nameRanks;
}

}  // namespace

QualifierRankMap QualifierRanks(const UnifiedDBRecord* db) {
    UDBScratch<StringSpec> distinct;
    distinct.reserve(db->nets.size());
    for (const UDBNetEntry& n : db->nets)
        if (n.live) distinct.push_back(n.qualifier);
    return RankStringSpecsByName(std::move(distinct), db->netStrings);
}

namespace {

// The first export spec of a sheet with a name id, or none.
const UDBPortSpec* FirstExport(const UDBSheetPorts& ports, uint32_t nameId) {
    auto it = std::lower_bound(ports.exports.begin(), ports.exports.end(), nameId,
                               [](const UDBPortSpec& e, uint32_t id) { return e.nameId < id; });
    return it != ports.exports.end() && it->nameId == nameId ? &*it : nullptr;
}

}  // namespace

uint32_t ResolveMergeId(UDBBuild* build, uint32_t id) {
    std::vector<uint32_t>& parent = build->mergeParent;
    if (id >= parent.size()) return id;
    while (parent[id] != id) {
        parent[id] = parent[parent[id]];
        id = parent[id];
    }
    return id;
}

void MergeNet(UDBBuild* build, uint32_t a, uint32_t b) {
    a = ResolveMergeId(build, a);
    b = ResolveMergeId(build, b);
    if (a == b) return;
    UnifiedDBRecord* db = build->db;
    UDBNetEntry& keep = db->nets[a];
    UDBNetEntry& gone = db->nets[b];
    gone.flags |= kUDBNetMerged;
    if (gone.attributes) {
        if (!keep.attributes) {
            keep.attributes = gone.attributes;
        } else {
            const UDBAttributeRun& from = db->attributeRuns[gone.attributes];
            UDBAttributeRun& into = db->attributeRuns[keep.attributes];
            int16_t count = int16_t(into.count);
            MergeAttributes(db->netStrings, from.records, 0, from.count, db->netStrings, into.records, 0, &count,
                            kMergeEmptyValues);
            into.count = uint16_t(count);
            FreeAttributeRun(db, &gone.attributes);
        }
        gone.attributes = 0;
    }
    build->mergeParent[b] = a;
    build->merges.emplace_back(b, a);
}

void MergeSheetNets(UDBBuild* build) {
    const bool throughSubSheets =
        build->project->settings.signalScope == 1 && !(build->flags & kUDBModular);
    // Children before parents, each sheet once: the reverse of the tree order.
    std::vector<bool> done(build->ports.size(), false);
    std::vector<int32_t> order;
    for (auto it = build->tree.nodes.rbegin(); it != build->tree.nodes.rend(); ++it) {
        auto s = build->tree.sheetIndex.find((*it)->sheetSpec);
        if (s == build->tree.sheetIndex.end() || done[size_t(s->second)]) continue;
        done[size_t(s->second)] = true;
        order.push_back(s->second);
    }
    for (int32_t sheet : order) {
        UDBSheetPorts& ports = build->ports[size_t(sheet)];
        // Through ports: exports of one name join the first one's net.
        for (size_t i = 1; i < ports.exports.size(); ++i) {
            size_t first = i - 1;
            while (i < ports.exports.size() && ports.exports[i].nameId == ports.exports[first].nameId) {
                MergeNet(build, ports.exports[first].netId, ports.exports[i].netId);
                ++i;
            }
        }
        if (!throughSubSheets) continue;
        // Through sub-sheets: imports of one symbol that reach one child net join.
        bool joined = true;
        while (joined) {
            joined = false;
            size_t i = 0;
            while (i < ports.imports.size()) {
                size_t end = i;
                while (end < ports.imports.size() && ports.imports[end].serial == ports.imports[i].serial) ++end;
                std::unordered_map<uint32_t, uint32_t> reached;
                for (size_t k = i; k < end; ++k) {
                    const UDBPortSpec& imp = ports.imports[k];
                    if (imp.sheetOrType >= build->ports.size()) continue;
                    const UDBPortSpec* exp = FirstExport(build->ports[imp.sheetOrType], imp.nameId);
                    if (!exp) continue;
                    const uint32_t child = ResolveMergeId(build, exp->netId);
                    auto [it, added] = reached.emplace(child, imp.netId);
                    if (!added && ResolveMergeId(build, it->second) != ResolveMergeId(build, imp.netId)) {
                        MergeNet(build, it->second, imp.netId);
                        joined = true;
                    }
                }
                i = end;
            }
        }
    }
}

void MergeFlatProjectNets(UDBBuild* build) {
    const size_t sheets = build->ports.size();
    for (size_t i = 0; i < sheets; ++i) {
        const std::vector<UDBPortSpec>& exports = build->ports[i].exports;
        for (size_t k = 0; k < exports.size(); ++k) {
            if (k && exports[k].nameId == exports[k - 1].nameId) continue;
            for (size_t j = i + 1; j < sheets; ++j)
                if (const UDBPortSpec* other = FirstExport(build->ports[j], exports[k].nameId))
                    MergeNet(build, exports[k].netId, other->netId);
        }
    }
}

void MergeGlobalNets(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    SortNetTable(db);
    const std::vector<uint32_t>& ranks = NameRanks(db);
    uint32_t runRank = kNone, first = kNone;
    for (uint32_t id : db->netOrder) {
        const UDBNetEntry& n = db->nets[id];
        const uint32_t rank = ranks[n.nameId];
        if (rank != runRank) {
            runRank = rank;
            first = kNone;
        }
        if (n.scope != kUDBScopeGlobal || (n.flags & (kUDBNetNotGlobal | kUDBNetMerged))) continue;
        if (first == kNone)
            first = id;
        else
            MergeNet(build, first, id);
    }
}

void PinListMerge(UDBBuild* build) {
    for (UDBPinEntry& pin : build->db->pins)
        if (pin.netId != kUDBNoNet) pin.netId = int32_t(ResolveMergeId(build, uint32_t(pin.netId)));
}

void SignalMapMerge(UDBBuild* build) {
    for (UDBSignalEntry& e : build->signalMap) e.net = ResolveMergeId(build, e.net);
}

void FlattenHierarchyNets(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    // Per sheet: the export names of each net, resolved.
    std::vector<std::unordered_multimap<uint32_t, uint32_t>> exportNames(build->ports.size());
    for (size_t s = 0; s < build->ports.size(); ++s)
        for (const UDBPortSpec& e : build->ports[s].exports)
            exportNames[s].emplace(ResolveMergeId(build, e.netId), e.nameId);
    // Imports of a sheet by (serial, name).
    auto findImport = [&](size_t sheet, uint32_t serial, uint32_t nameId) -> const UDBPortSpec* {
        const std::vector<UDBPortSpec>& imports = build->ports[sheet].imports;
        auto it = std::lower_bound(imports.begin(), imports.end(), serial,
                                   [](const UDBPortSpec& p, uint32_t s) { return p.serial < s; });
        for (; it != imports.end() && it->serial == serial; ++it)
            if (it->nameId == nameId) return &*it;
        return nullptr;
    };
    std::unordered_map<uint64_t, uint32_t> resolved;  // node order << 32 | net -> result
    std::vector<bool> found(db->nets.size(), false);
    std::vector<bool> port(db->nets.size(), false);
    for (size_t i = 0; i < db->nets.size(); ++i) port[i] = db->nets[i].scope == kUDBScopePort;
    // The highest net that a port net of an instance reaches through the imports of its parents.
    auto resolve = [&](uint32_t start, uint32_t nodeOrder) -> uint32_t {
        const uint64_t key = uint64_t(nodeOrder) << 32 | start;
        auto known = resolved.find(key);
        if (known != resolved.end()) {
            if (known->second != start) found[start] = true;
            return known->second;
        }
        uint32_t net = start;
        uint32_t best = net;
        SheetNode* node = nodeOrder < build->tree.nodes.size() ? build->tree.nodes[nodeOrder] : nullptr;
        bool climbing = true;
        while (climbing && node && node->parent) {
            climbing = false;
            const UDBNetEntry& row = db->nets[net];
            auto names = exportNames[row.sheetIndex].equal_range(net);
            auto parentSheet = build->tree.sheetIndex.find(node->parent->sheetSpec);
            if (parentSheet == build->tree.sheetIndex.end()) break;
            for (auto it = names.first; it != names.second; ++it) {
                const UDBPortSpec* imp = findImport(size_t(parentSheet->second), node->serial, it->second);
                if (!imp) continue;
                const uint32_t parentNet = ResolveMergeId(build, imp->netId);
                best = parentNet;
                if (port[parentNet]) {
                    net = parentNet;
                    node = node->parent;
                    climbing = true;
                }
                break;
            }
        }
        resolved.emplace(key, best);
        if (best != start) found[start] = true;
        return best;
    };
    for (UDBPinEntry& pin : db->pins) {
        if (pin.netId == kUDBNoNet || !port[size_t(pin.netId)] || (pin.flags & kUDBPinHiddenDefault)) continue;
        pin.netId = int32_t(resolve(uint32_t(pin.netId), pin.nodeOrder));
    }
    for (UDBSignalEntry& e : build->signalMap)
        if (port[e.net]) e.net = resolve(e.net, e.nodeOrder);
    // A port net that reached no parent is local.
    for (size_t i = 0; i < db->nets.size(); ++i)
        if (port[i] && !found[i]) db->nets[i].scope = kUDBScopeLocal;
}

void SortPinTable(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    // Ranks of the pin numbers in natural order.
    UDBScratch<StringSpec> distinct;
    distinct.reserve(db->pinDefs.size());
    for (const UDBPinDef& d : db->pinDefs) distinct.push_back(d.number);
    const auto natural = [](const char* a, const char* b) { return StrCmpAlphaNumeric(a, b, false); };
    std::unordered_map<StringSpec, uint32_t> rank = RankStringSpecsByName(std::move(distinct), db->pinStrings, natural);
    // The rank of each definition's number, and the order: comp row, number, then row.
    std::vector<uint32_t> defRank(db->pinDefs.size());
    std::array<uint64_t, 2> maxima{};
    for (size_t d = 0; d < defRank.size(); ++d) {
        defRank[d] = rank[db->pinDefs[d].number];
        maxima[1] = std::max<uint64_t>(maxima[1], defRank[d]);
    }
    UDBScratch<uint32_t> rows(db->pins.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i] = uint32_t(i);
        maxima[0] = std::max<uint64_t>(maxima[0], db->pins[i].compRow);
    }
    const UDBScratch<uint32_t> order = SortRowsByFields(std::move(rows), maxima, [db, &defRank](uint32_t id) {
        const UDBPinEntry& p = db->pins[id];
        return std::array<uint64_t, 2>{p.compRow, defRank[p.def]};
    });
    // Rows move into place along the permutation's cycles, without a second table.
    std::vector<UDBPinEntry>& pins = db->pins;
    std::vector<bool> placed(pins.size(), false);
    for (size_t i = 0; i < order.size(); ++i) {
        if (placed[i] || order[i] == i) continue;
        UDBPinEntry held = pins[i];
        size_t at = i;
        while (order[at] != i) {
            pins[at] = pins[order[at]];
            placed[at] = true;
            at = order[at];
        }
        pins[at] = held;
        placed[at] = true;
    }
}

void CleanupMultiPinInstances(UDBBuild* build) {
    // Rows of one comp row and pin number follow each other. Where they were flagged as on
    // different nets, rows repeating a net are removed; the flag stays on the rows left when
    // they are still on more than one net.
    std::vector<UDBPinEntry>& pins = build->db->pins;
    const std::vector<UDBPinDef>& defs = build->db->pinDefs;
    std::vector<bool> remove(pins.size(), false);
    size_t i = 0;
    while (i < pins.size()) {
        size_t end = i + 1;
        while (end < pins.size() && pins[end].compRow == pins[i].compRow &&
               defs[pins[end].def].number == defs[pins[i].def].number)
            ++end;
        bool flagged = false;
        for (size_t k = i; k < end; ++k) flagged |= (pins[k].flags & kUDBPinMultiNet) != 0;
        if (flagged) {
            for (size_t k = i; k < end; ++k)
                for (size_t m = k + 1; m < end; ++m)
                    if (!remove[k] && !remove[m] && pins[m].netId == pins[k].netId) remove[m] = true;
            size_t kept = 0;
            for (size_t k = i; k < end; ++k) kept += remove[k] ? 0 : 1;
            for (size_t k = i; k < end; ++k) {
                if (kept > 1)
                    pins[k].flags = pins[k].flags | kUDBPinMultiNet;
                else
                    pins[k].flags = pins[k].flags & uint8_t(~kUDBPinMultiNet);
            }
        }
        i = end;
    }
    size_t out = 0;
    for (size_t k = 0; k < pins.size(); ++k)
        if (!remove[k]) pins[out++] = pins[k];
    pins.resize(out);
}

void DeadStripNets(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    for (UDBNetEntry& n : db->nets) n.flags &= uint8_t(~kUDBNetMark);
    for (const UDBPinEntry& p : db->pins)
        if (p.netId != kUDBNoNet) db->nets[size_t(p.netId)].flags |= kUDBNetMark;
    if (build->flags & kUDBModular)
        for (const UDBSheetPorts& ports : build->ports)
            for (const UDBPortSpec& e : ports.exports) db->nets[ResolveMergeId(build, e.netId)].flags |= kUDBNetMark;
    for (UDBNetEntry& n : db->nets) {
        if (!n.live) continue;
        if (!(n.flags & kUDBNetMark)) {
            if (n.attributes && !(n.flags & kUDBNetCopy)) FreeAttributeRun(db, &n.attributes);
            n.attributes = 0;
            n.live = false;
        }
        n.flags &= uint8_t(~kUDBNetMark);
    }
    std::vector<UDBSignalEntry>& map = build->signalMap;
    map.erase(std::remove_if(map.begin(), map.end(), [db](const UDBSignalEntry& e) { return !db->nets[e.net].live; }),
              map.end());
}

OSStatus AddSubsequentInstNets(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    UDBScratch<uint32_t> map;
    try {
        map = NetMembersSortMap<UDBScratch<uint32_t>>(db);
    } catch (const std::bad_alloc&) {
        return status::kOutOfMemory;
    }
    const size_t netCount = db->nets.size();
    // The copies made, per net: {first node, end of its subtree, copy}, for the signal map.
    struct Split {
        uint32_t first, end, copy;
    };
    std::unordered_map<uint32_t, std::vector<Split>> splits;
    // Calls split(net, row, node, end of its subtree, first pin, end pin) for every instance after
    // the first that holds pins of a local net of a sheet used more than once.
    auto eachFurtherInstance = [&](auto&& split) {
        size_t pos = 0;
        while (pos < map.size()) {
            const int32_t net = db->pins[map[pos]].netId;
            size_t end = pos;
            while (end < map.size() && db->pins[map[end]].netId == net) ++end;
            if (net == kUDBNoNet || size_t(net) >= netCount) {
                pos = end;
                continue;
            }
            const UDBNetEntry row = db->nets[size_t(net)];
            const std::vector<uint32_t>& nodes = build->tree.treeVisits[row.sheetIndex];
            if (!row.live || row.scope != kUDBScopeLocal || (row.flags & kUDBNetCopy) || nodes.size() < 2) {
                pos = end;
                continue;
            }
            bool kept = false;
            size_t at = pos;
            for (uint32_t node : nodes) {
                const uint32_t last = build->tree.subtreeEnd[node];
                while (at < end && db->pins[map[at]].nodeOrder < node) ++at;
                size_t stop = at;
                while (stop < end && db->pins[map[stop]].nodeOrder < last) ++stop;
                if (stop == at) continue;
                if (kept) split(net, node, last, at, stop);
                kept = true;
                at = stop;
            }
            pos = end;
        }
    };
    // The copies are counted first so that the net table grows once, to its final size. They
    // are merged with nothing: the merge map does not hold them (an id past its end resolves to
    // itself).
    size_t copies = 0;
    eachFurtherInstance([&](int32_t, uint32_t, uint32_t, size_t, size_t) { ++copies; });
    try {
        db->nets.reserve(db->nets.size() + copies);
    } catch (const std::bad_alloc&) {
        return status::kOutOfMemory;
    }
    eachFurtherInstance([&](int32_t net, uint32_t node, uint32_t last, size_t at, size_t stop) {
        UDBNetEntry copy = db->nets[size_t(net)];
        copy.flags |= kUDBNetCopy;
        db->nets.push_back(copy);
        const int32_t id = int32_t(db->nets.size() - 1);
        for (size_t k = at; k < stop; ++k) db->pins[map[k]].netId = id;
        if (!build->signalMap.empty()) splits[uint32_t(net)].push_back({node, last, uint32_t(id)});
    });
    for (UDBSignalEntry& e : build->signalMap) {
        auto it = splits.find(e.net);
        if (it == splits.end()) continue;
        for (const Split& split : it->second)
            if (e.nodeOrder >= split.first && e.nodeOrder < split.end) e.net = split.copy;
    }
    return status::kNoErr;
}

void FlagSinglePinNets(UnifiedDBRecord* db, bool localOnly) {
    for (UDBNetEntry& n : db->nets) n.flags &= uint8_t(~(kUDBNetMark | kUDBNetSinglePin));
    for (const UDBPinEntry& p : db->pins) {
        if (p.netId == kUDBNoNet) continue;
        UDBNetEntry& n = db->nets[size_t(p.netId)];
        if (localOnly && n.scope != kUDBScopeLocal) continue;
        if (!(n.flags & kUDBNetMark))
            n.flags |= kUDBNetMark | kUDBNetSinglePin;
        else
            n.flags &= uint8_t(~kUDBNetSinglePin);
    }
    for (UDBNetEntry& n : db->nets) n.flags &= uint8_t(~kUDBNetMark);
}

void SortNetTable(UnifiedDBRecord* db, const QualifierRankMap* ranks) {
    const std::vector<uint32_t>& names = NameRanks(db);
    const QualifierRankMap made = ranks ? QualifierRankMap() : QualifierRanks(db);
    const QualifierRankMap& qualifiers = ranks ? *ranks : made;
    // The old order goes first: the sort's keys take its room.
    std::vector<uint32_t>().swap(db->netOrder);
    std::vector<uint32_t> rows;
    rows.reserve(size_t(std::count_if(db->nets.begin(), db->nets.end(), [](const UDBNetEntry& n) { return n.live; })));
    std::array<uint64_t, 3> maxima = {0, qualifiers.size(), 0};
    for (uint32_t rank : names) maxima[0] = std::max<uint64_t>(maxima[0], rank);
    for (size_t i = 0; i < db->nets.size(); ++i) {
        const UDBNetEntry& n = db->nets[i];
        if (!n.live) continue;
        rows.push_back(uint32_t(i));
        maxima[2] = std::max<uint64_t>(maxima[2], n.sheetIndex);
    }
    db->netOrder = SortRowsByFields(std::move(rows), maxima, [&](uint32_t id) {
        const UDBNetEntry& n = db->nets[id];
        return std::array<uint64_t, 3>{names[n.nameId], qualifiers.at(n.qualifier), n.sheetIndex};
    });
}

void FlagNetNameConflicts(UnifiedDBRecord* db, bool compareQualifiers, bool perSheet, const QualifierRankMap* ranks) {
    const std::vector<uint32_t>& names = NameRanks(db);
    // Ranking the qualifiers sorts their texts: only when they are compared.
    const QualifierRankMap made = compareQualifiers && !ranks ? QualifierRanks(db) : QualifierRankMap();
    const QualifierRankMap& qualifiers = ranks ? *ranks : made;
    const UDBNetEntry* previous = nullptr;
    for (uint32_t id : db->netOrder) {
        UDBNetEntry& n = db->nets[id];
        n.flags &= uint8_t(~(kUDBNetMark | kUDBNetConflict));
        if (n.flags & kUDBNetMerged) continue;
        if (previous && names[previous->nameId] == names[n.nameId]) {
            bool conflict = true;
            if (perSheet && previous->sheetIndex != n.sheetIndex) conflict = false;
            if (compareQualifiers && qualifiers.at(previous->qualifier) != qualifiers.at(n.qualifier))
                conflict = false;
            if (conflict) {
                const_cast<UDBNetEntry*>(previous)->flags |= kUDBNetConflict;
                n.flags |= kUDBNetConflict;
            }
        }
        previous = &n;
    }
}

void QualifyNetNames(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    const ProjectSettings& settings = build->project->settings;
    SortNetTable(db);
    FlagNetNameConflicts(db, false, false);
    bool changed = false;
    for (const UDBPinEntry& pin : db->pins) {
        if (pin.netId == kUDBNoNet) continue;
        UDBNetEntry& n = db->nets[size_t(pin.netId)];
        if ((n.flags & kUDBNetMark) || n.scope != kUDBScopeLocal) continue;
        n.flags |= kUDBNetMark;
        const bool qualify = settings.qualifyAllLocal || (settings.qualifyConflicting && (n.flags & kUDBNetConflict)) ||
                             (settings.qualifyShared && (n.flags & kUDBNetSharedSheet));
        if (!qualify) continue;
        // The instance: the pin's node (a hidden-pin default's comp row's), or the nearest
        // ancestor whose sheet is the net's.
        SheetNode* node = pin.nodeOrder < build->tree.nodes.size() ? build->tree.nodes[pin.nodeOrder] : nullptr;
        while (node && build->tree.sheetIndex[node->sheetSpec] != n.sheetIndex) node = node->parent;
        const StringSpec q = build->Qualifier(node);
        if (q != n.qualifier) {
            n.qualifier = q;
            changed = true;
        }
    }
    for (UDBNetEntry& n : db->nets) n.flags &= uint8_t(~kUDBNetMark);
    if (changed) {
        const QualifierRankMap ranks = QualifierRanks(db);
        SortNetTable(db, &ranks);
        FlagNetNameConflicts(db, true, false, &ranks);
    }
}

SpiceSignalMap BuildSignalMapPhase2(UDBBuild* build) {
    UnifiedDBRecord* db = build->db;
    StringBlock strings = CreateStringBlock(nullptr, 256);
    if (!strings) return nullptr;
    SpiceSignalMap map = CreateSpiceSignalMap(strings, nullptr);
    if (!map) {
        DestroyStringBlock(strings);
        return nullptr;
    }
    UDBStringPool pool(strings);
    OSStatus st = status::kNoErr;
    struct Mapped {
        SpiceSignalMapEntry entry;
        std::string name;
    };
    std::vector<Mapped> mapped;
    char qualifier[kUDBTextSize];
    for (const UDBSignalEntry& e : build->signalMap) {
        const UDBNetEntry& net = db->nets[e.net];
        // An entry records something only where the net is named otherwise or qualified.
        if (!net.live || (net.nameId == e.nameId && !net.qualifier)) continue;
        SheetNode* node = e.nodeOrder < build->tree.nodes.size() ? build->tree.nodes[e.nodeOrder] : nullptr;
        SheetInstance* instance = node ? RetrieveSheetInstance(build->project, node, false) : nullptr;
        ExtractStringSpec(net.qualifier, db->netStrings, qualifier, sizeof qualifier);
        Mapped m{};
        m.name = NameText(db, e.nameId);
        m.entry.name = pool.Add(m.name.c_str(), &st);
        m.entry.netName = pool.Add(NameText(db, net.nameId).c_str(), &st);
        m.entry.qualifier = pool.Add(qualifier, &st);
        m.entry.key = instance ? int32_t(instance->id) : 0;
        mapped.push_back(std::move(m));
    }
    // In the map's order (instance id, then the name without case), each signal of an instance once.
    std::stable_sort(mapped.begin(), mapped.end(), [](const Mapped& a, const Mapped& b) {
        if (a.entry.key != b.entry.key) return a.entry.key < b.entry.key;
        return strcasecmp(a.name.c_str(), b.name.c_str()) < 0;
    });
    mapped.erase(std::unique(mapped.begin(), mapped.end(),
                             [](const Mapped& a, const Mapped& b) {
                                 return a.entry.key == b.entry.key && strcasecmp(a.name.c_str(), b.name.c_str()) == 0;
                             }),
                 mapped.end());
    std::vector<SpiceSignalMapEntry> entries;
    entries.reserve(mapped.size());
    for (const Mapped& m : mapped) entries.push_back(m.entry);
    if (st || (!entries.empty() && DAAddItems(map, entries.data(), int32_t(entries.size())) < 0)) {
        if (!build->status) build->status = st ? st : status::kOutOfMemory;
        DestroySpiceSignalMap(map);
        return nullptr;
    }
    return map;
}

}  // namespace plexa
