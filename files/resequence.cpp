// Signal-name resequencing over a sheet or a project hierarchy. The sheet table and the prefix
// table live only during one `Resequence`; the sheets of the walk are held (pinned) from the
// collection to the end, so instances keep the handles of their signals and port symbols.
#include "files/resequence.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa {

namespace {

ResequenceHooks gHooks;

// SignalInstance::flags.
constexpr uint8_t kInstModulePort = 0x01;
constexpr uint8_t kInstNamedBySymbol = 0x02;
constexpr uint8_t kInstChanged = 0x04;
constexpr uint8_t kInstConflicting = 0x08;
constexpr uint8_t kInstExported = 0x10;
constexpr uint8_t kInstVisited = 0x20;
constexpr uint8_t kInstApplied = 0x40;

struct SignalInstance {
    uint32_t item;       // the signal's place in its sheet's list, or a module port's serial
    uint32_t number;     // current
    uint32_t newNumber;
    uint16_t sheet;      // sheet id
    uint8_t zeros;       // leading zeros of the current name
    uint8_t flags;
};
static_assert(sizeof(SignalInstance) == 16);

// An instance and the object it names, held while its sheet is pinned.
struct Instance {
    SignalInstance rec;
    void* ref;  // SignalHandle, or SymbolRecord* of a module port
};

struct PrefixEntry {
    std::string prefix;
    bool reserves = false;           // has a used-number table
    std::vector<bool> used;          // bit 0 set
    uint32_t counter = 0;            // the last number given
    void Reserve(int32_t n) {
        if (!reserves || n < 0 || n > kResequenceNumberLimit) return;
        if (size_t(n) >= used.size()) used.resize(size_t(n) + 128, false);
        used[size_t(n)] = true;
    }
    bool IsUsed(uint32_t n) const { return reserves && n < used.size() && used[n]; }
};

struct SheetEntry {
    SheetSpec* spec = nullptr;
    SheetRecord* sheet = nullptr;
    bool loadedHere = false;
    uint16_t prefixId = 0;
    uint32_t orderKey = 0;
    uint16_t width = 3;
};

struct Work {
    ProjectRecord* project = nullptr;
    bool resolve = false;
    int32_t firstNumber = 1;
    int32_t portLevel = 1;
    std::vector<SheetEntry> sheets;
    std::vector<PrefixEntry> prefixes;
    std::vector<Instance> instances;

    ~Work() {
        for (SheetEntry& entry : sheets)
            if (entry.loadedHere && entry.sheet) StoreReleaseSheet(entry.sheet);
    }
};

bool IsBelow(const SheetNode* node, const SheetNode* top) {
    for (const SheetNode* n = node; n; n = n->parent)
        if (n == top) return true;
    return false;
}

bool InCircularBranch(const SheetNode* node, const SheetNode* top) {
    for (const SheetNode* n = node; n; n = n->parent) {
        if (n->flags & kSheetNodeCircular) return true;
        if (n == top) break;
    }
    return false;
}

SheetSpec* SpecOfSheet(ProjectRecord* project, SheetRecord* sheet) {
    if (!sheet || !project) return nullptr;
    if (sheet->sheetSpec && sheet->project == project) return sheet->sheetSpec;
    return GetSheetSpecFromSheet(sheet, project);
}

// The sheets of the walk with their order keys, in walk order.
void ListSheets(Work& work, SheetRecord* activeSheet, uint16_t flags, bool descend, int32_t depth) {
    ProjectRecord* project = work.project;
    SheetSpec* activeSpec = SpecOfSheet(project, activeSheet);
    const bool activeOnly = (flags & kResequenceActiveSheet) && activeSheet;
    auto add = [&](SheetSpec* spec, uint32_t order) {
        for (SheetEntry& entry : work.sheets)
            if (entry.spec == spec) {
                entry.orderKey = std::min(entry.orderKey, order);
                return;
            }
        SheetEntry entry;
        entry.spec = spec;
        entry.orderKey = order;
        work.sheets.push_back(entry);
    };
    if (!project || (activeOnly && !activeSpec)) {
        if (activeSheet) {
            SheetEntry entry;
            entry.spec = activeSpec;
            entry.sheet = activeSheet;
            work.sheets.push_back(entry);
        }
        return;
    }
    SheetTree* tree = project->hierarchy;
    if (!tree || !tree->first) {
        uint32_t n = 0;
        for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec;
             spec = static_cast<SheetSpec*>(LLGetNext(project->sheetSpecs, spec)))
            if (!activeOnly || spec == activeSpec) add(spec, ++n);
        return;
    }
    SortProjectHierarchy(project, (flags & kResequenceDepthFirst) != 0);
    SheetNode* start = activeOnly ? GetSheetNodeUsingSheetSpec(project, activeSpec) : nullptr;
    if (activeOnly && !start) {
        add(activeSpec, 0);
        return;
    }
    const int32_t limit = descend ? depth : 0;
    for (SheetNode* node = NextSheetNode(tree, nullptr); node; node = NextSheetNode(tree, node)) {
        if (!node->sheetSpec) continue;
        if (start) {
            if (!IsBelow(node, start) || node->depth - start->depth > limit) continue;
            if (InCircularBranch(node, start) && node != start) continue;
        } else {
            if (node->depth > limit || InCircularBranch(node, nullptr)) continue;
        }
        add(node->sheetSpec, node->order);
    }
    // Every node of a visited sheet counts for its order key.
    for (SheetNode* node = NextSheetNode(tree, nullptr); node; node = NextSheetNode(tree, node))
        for (SheetEntry& entry : work.sheets)
            if (entry.spec == node->sheetSpec) entry.orderKey = std::min(entry.orderKey, node->order);
}

// Takes every sheet of the walk from memory or from its file; the first failure stops it.
OSStatus PinSheets(Work& work, SheetRecord* activeSheet) {
    for (SheetEntry& entry : work.sheets) {
        if (entry.sheet) continue;
        if (activeSheet && entry.spec && SpecOfSheet(work.project, activeSheet) == entry.spec) {
            entry.sheet = activeSheet;
            continue;
        }
        if ((entry.sheet = StoreGetLoadedSheet(work.project, entry.spec))) continue;
        const OSStatus st = StoreLoadSheet(work.project, entry.spec, &entry.sheet);
        if (st != 0) return st;
        entry.loadedHere = true;
    }
    return 0;
}

uint16_t PrefixIdOf(Work& work, const char* prefix) {
    for (size_t i = 0; i < work.prefixes.size(); ++i)
        if (StrCINCmp(work.prefixes[i].prefix.c_str(), prefix, 0xFFFF) == 0) return uint16_t(i);
    PrefixEntry entry;
    entry.prefix = prefix;
    entry.counter = uint32_t(work.firstNumber - 1);
    entry.reserves = work.resolve || work.portLevel == kScopeExport;
    if (entry.reserves) entry.used.assign(128, false), entry.used[0] = true;
    work.prefixes.push_back(std::move(entry));
    return uint16_t(work.prefixes.size() - 1);
}

void CollectSheet(Work& work, uint16_t sheetId) {
    SheetEntry& entry = work.sheets[sheetId];
    SheetRecord* sheet = entry.sheet;
    char prefix[8];
    GetSheetSignalPrefix(sheet, prefix);
    entry.prefixId = PrefixIdOf(work, prefix);
    entry.width = std::clamp<uint16_t>(sheet->stored.signalDigits, 1, 9);
    PrefixEntry& table = work.prefixes[entry.prefixId];
    auto add = [&](uint32_t item, void* ref, int32_t number, int32_t zeros, uint8_t flags) {
        Instance inst{};
        inst.rec.item = item;
        inst.rec.number = uint32_t(number);
        inst.rec.newNumber = uint32_t(number);
        inst.rec.sheet = sheetId;
        inst.rec.zeros = uint8_t(std::clamp(zeros, 0, 255));
        inst.rec.flags = flags;
        inst.ref = ref;
        work.instances.push_back(inst);
    };
    uint32_t position = 0;
    for (auto signal = static_cast<SignalHandle>(LLFirst(sheet->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(sheet->signalList, signal)), ++position) {
        int32_t zeros = 0;
        const int32_t number = IsPrefixedSignalName(sheet, signal, nullptr, &zeros);
        if (number < 0) continue;
        int32_t named = 0;
        const int32_t scope = CalcSignalScope(work.project, sheet, signal, &named);
        if (work.portLevel != kScopeExport || scope != kScopeExport) {
            add(position, signal, number, zeros, named && scope != kScopeLocal ? kInstNamedBySymbol : 0);
            if (work.resolve) table.Reserve(number);
        } else {
            if (work.resolve) add(position, signal, number, zeros, kInstExported);
            table.Reserve(number);
        }
    }
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, symbol))) {
        if ((symbol->flags & (kSymbolFlagModulePort | kSymbolFlagBussPort)) != kSymbolFlagModulePort) continue;
        SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, 0, nullptr, nullptr);
        if (!signal) continue;
        char name[kSymbolTextSize];
        if (GetPortSymbolName(sheet, symbol, signal, name) != 0) continue;  // not a name of its own
        int32_t zeros = 0;
        const int32_t number = IsPrefixedSignalName(sheet, nullptr, name, &zeros);
        if (number < 0) continue;
        if (work.portLevel != kScopeExport) {
            add(symbol->serial, symbol, number, zeros, kInstModulePort | kInstNamedBySymbol);
            if (work.resolve) table.Reserve(number);
        } else {
            table.Reserve(number);
        }
    }
}

bool EqualInstances(const SignalInstance& a, const SignalInstance& b, const Work& work) {
    return a.number == b.number && a.zeros == b.zeros &&
           work.sheets[a.sheet].prefixId == work.sheets[b.sheet].prefixId;
}

void SortInstances(Work& work) {
    std::stable_sort(work.instances.begin(), work.instances.end(), [&](const Instance& x, const Instance& y) {
        const SignalInstance &a = x.rec, &b = y.rec;
        const SheetEntry &sa = work.sheets[a.sheet], &sb = work.sheets[b.sheet];
        if (sa.prefixId != sb.prefixId) return sa.prefixId < sb.prefixId;
        if (a.number != b.number) return a.number < b.number;
        if (a.zeros != b.zeros) return a.zeros > b.zeros;
        const bool na = a.flags & kInstNamedBySymbol, nb = b.flags & kInstNamedBySymbol;
        if (na != nb) return na;
        return sa.orderKey < sb.orderKey;
    });
}

// Indexes into the sorted array, in assignment order.
std::vector<size_t> AssignmentOrder(const Work& work) {
    std::vector<size_t> order(work.instances.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](size_t i, size_t j) {
        const SignalInstance &a = work.instances[i].rec, &b = work.instances[j].rec;
        const bool ea = a.flags & kInstExported, eb = b.flags & kInstExported;
        if (ea != eb) return ea;
        const uint32_t ka = work.sheets[a.sheet].orderKey, kb = work.sheets[b.sheet].orderKey;
        if (ka != kb) return ka < kb;
        if (a.number != b.number) return a.number < b.number;
        if (a.zeros != b.zeros) return a.zeros > b.zeros;
        return i < j;
    });
    return order;
}

size_t FindBaseInstance(const Work& work, size_t i) {
    while (i > 0 && EqualInstances(work.instances[i - 1].rec, work.instances[i].rec, work)) --i;
    return i;
}

void MarkConflictingInstances(Work& work, const std::vector<size_t>& order) {
    auto& inst = work.instances;
    for (size_t k : order) {
        SignalInstance& first = inst[k].rec;
        if (first.flags & kInstVisited) continue;
        first.flags |= kInstVisited;
        for (size_t j = FindBaseInstance(work, k); j < inst.size() && EqualInstances(inst[j].rec, first, work); ++j) {
            SignalInstance& other = inst[j].rec;
            if (j == k || (other.flags & kInstVisited)) continue;
            other.flags |= kInstVisited;
            if (other.flags & kInstExported) continue;
            if ((other.flags & kInstNamedBySymbol) && (first.flags & kInstNamedBySymbol)) continue;
            other.flags |= kInstConflicting;
        }
    }
}

bool AssignNewNumbers(Work& work, const std::vector<size_t>& order) {
    bool changed = false;
    for (size_t k : order) {
        SignalInstance& rec = work.instances[k].rec;
        if (work.resolve && !(rec.flags & kInstConflicting)) continue;
        const size_t base = FindBaseInstance(work, k);
        PrefixEntry& prefix = work.prefixes[work.sheets[rec.sheet].prefixId];
        if ((rec.flags & kInstNamedBySymbol) && base < k) {
            rec.newNumber = work.instances[base].rec.newNumber;
        } else {
            do ++prefix.counter;
            while (prefix.IsUsed(prefix.counter));
            rec.newNumber = prefix.counter;
        }
        const int32_t zeros = ConstructPrefixedSignalName("", int32_t(rec.newNumber),
                                                          work.sheets[rec.sheet].width, nullptr, 0);
        if (rec.newNumber != rec.number || zeros != rec.zeros) {
            rec.flags |= kInstChanged;
            changed = true;
        }
    }
    return changed;
}

// Sets the new names in memory; returns the count of names set.
int32_t ApplyInMemory(Work& work, std::vector<bool>& touched) {
    int32_t count = 0;
    touched.assign(work.sheets.size(), false);
    for (Instance& inst : work.instances) {
        SignalInstance& rec = inst.rec;
        if (!(rec.flags & kInstChanged) || (rec.flags & kInstApplied)) continue;
        SheetEntry& entry = work.sheets[rec.sheet];
        SheetRecord* sheet = entry.sheet;
        if (!touched[rec.sheet]) {
            touched[rec.sheet] = true;
            SetSheetModifiedStatus(sheet, kSheetChangeSignalNames);
        }
        rec.flags |= kInstApplied;
        char name[kSignalNameSize];
        ConstructPrefixedSignalName(work.prefixes[entry.prefixId].prefix.c_str(), int32_t(rec.newNumber),
                                    entry.width, name, sizeof name);
        Rect area;
        VXSetEmptyRect(&area);
        if (rec.flags & kInstModulePort) {
            auto* symbol = static_cast<SymbolRecord*>(inst.ref);
            SetPortSymbolName(sheet, symbol, name);
            for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;
                 text = static_cast<TextRecord*>(LLGetNext(sheet->textList, text)))
                if (text->kind == kTextKindNetSymbol && text->owner == TextOwnerSerial(symbol->serial))
                    ChangeSheetText(sheet, text, name, &area);
        } else {
            auto signal = static_cast<SignalHandle>(inst.ref);
            SetSignalName(signal, sheet->stringBlock, name);
            UpdateSignalNames(sheet, signal, &area);
        }
        if (sheet->window && !VXEmptyRect(&area)) InvalSheetView(sheet, &area);
        ++count;
    }
    return count;
}

void SheetName(const SheetEntry& entry, char* name, size_t size) {
    GetFileSpecName(&entry.sheet->fileSpec, name, size);
}

}  // namespace

void SetResequenceHooks(const ResequenceHooks& hooks) { gHooks = hooks; }
const ResequenceHooks& GetResequenceHooks() { return gHooks; }

OSStatus Resequence(ProjectRecord* project, SheetRecord* sheet, uint16_t flags, int32_t firstNumber,
                    bool descend, int32_t depth, ResequenceSummary* summary) {
    if (summary) *summary = ResequenceSummary{};
    if (!project && sheet) project = sheet->project;
    if (!project && !sheet) return status::kParamErr;
    const bool resolve = !(flags & kResequenceNames);
    if (gHooks.showMessage) gHooks.showMessage(resolve ? kResolvingMessage : kResequencingMessage);
    OSStatus result = 0;
    {
        Work work;
        work.project = project;
        work.resolve = resolve;
        work.firstNumber = std::clamp(firstNumber, 1, kResequenceNumberLimit);
        GetProjectSignalScope(project, &work.portLevel, nullptr);
        ListSheets(work, sheet, flags, descend, std::clamp(depth, 0, kResequenceNoDepthLimit));
        result = PinSheets(work, sheet);
        if (result == 0) {
            for (size_t i = 0; i < work.sheets.size(); ++i) CollectSheet(work, uint16_t(i));
            SortInstances(work);
            const std::vector<size_t> order = AssignmentOrder(work);
            if (resolve) MarkConflictingInstances(work, order);
            if (AssignNewNumbers(work, order)) {
                std::vector<bool> touched;
                const int32_t names = ApplyInMemory(work, touched);
                if (summary) summary->namesChanged = names;
                for (size_t i = 0; i < work.sheets.size(); ++i) {
                    if (!touched[i]) continue;
                    SheetEntry& entry = work.sheets[i];
                    if (summary) ++summary->sheetsChanged;
                    if (entry.sheet->window) continue;  // stays open, modified
                    const OSStatus st = StoreSaveSheet(entry.sheet);
                    if (st == 0) {
                        if (summary) ++summary->sheetsSaved;
                        continue;
                    }
                    if (result == 0) result = st;
                    if (summary) ++summary->saveFailures;
                    char name[kFileSpecNameCapacity];
                    SheetName(entry, name, sizeof name);
                    if (gHooks.saveFailed) gHooks.saveFailed(name, st);
                    if (entry.loadedHere && gHooks.keepUnsaved && gHooks.keepUnsaved(entry.sheet))
                        entry.loadedHere = false;
                }
            }
        }
    }  // sheets loaded only for the work are released here
    if (gHooks.closeMessage) gHooks.closeMessage();
    if (result != 0 && result != status::kUserCancelled && gHooks.reportError) gHooks.reportError(result);
    return result;
}

OSStatus ResequenceWithOptions(ProjectRecord* project, SheetRecord* sheet, const ResequenceOptions& options,
                               ResequenceSummary* summary) {
    const bool descend = options.limitHierarchy != 0;
    const int32_t depth = descend && options.depthLimit > 0 ? options.depthLimit : kResequenceNoDepthLimit;
    return Resequence(project, sheet, options.optionBits, options.startNumber, descend, depth, summary);
}

}  // namespace plexa
