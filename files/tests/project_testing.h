// Test helpers for the project file: project files in a scratch folder, a project filled with
// something in every block, a text snapshot of everything a project reads from its file, the blocks
// of a file and files made of given blocks, a converter of stored blocks into the other byte order
// (written from the stored layouts, apart from the module's own readers), and writes that fail on
// demand.
#pragma once

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "files/project.h"
#include "files/tests/files_testing.h"
#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "graphics/printrec.h"
#include "model/annotation.h"
#include "model/attributes.h"

namespace plexa::test {

using Block = std::pair<uint8_t, std::string>;

// ---- Files ----

inline FileSpec SpecOf(const std::string& path) {
    FileSpec spec;
    EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
    return spec;
}

inline OSStatus CreateProjectFile(const std::string& path) {
    FileSpec spec = SpecOf(path);
    return CreateDynamicFile(&spec, kProjectCreator, kProjectFileTypeString, kProjectFileTypeString, 0);
}

// A record on the open file; none (and the failure) when it does not open.
inline ProjectRecord* OpenRecord(const std::string& path, bool readOnly = false, OSStatus* status = nullptr) {
    FileSpec spec = SpecOf(path);
    DynamicFileRecord file;
    const OSStatus st = OpenDynamicFile(&spec, readOnly, &file);
    if (status) *status = st;
    if (st) return nullptr;
    ProjectRecord* project = CreateProjectRecord(&file);
    if (!project) (void)CloseAndMaybeFlushDynamicFile(&file, false);  // the missing record is the failure
    return project;
}

inline void CloseRecord(ProjectRecord*& project) {
    if (!project) return;
    if (project->file.stream) {
        EXPECT_EQ(status::kNoErr, CloseProjectFile(project));
    }
    DestroyProjectRecord(project);
    project = nullptr;
}

// Loads what opening a project loads (blocks 1, 2, 8 or 5, 4 and 3), the simulator maps and the
// project-kept annotation of every sheet spec; the first failure.
inline OSStatus LoadEverything(ProjectRecord* project, ProjectWindowState* window) {
    ProjectWindowState ignored;
    OSStatus st = LoadProjectTopSheetRefs(project);
    if (!st) st = LoadProjectInstanceList(project);
    if (!st) st = LoadProjectPathList(project);
    if (!st) st = LoadProjectSettings(project);
    if (!st) st = LoadProjectWindowState(project, window ? window : &ignored);
    if (!st) st = LoadProjectSpiceMaps(project);
    const uint8_t flags = project->settings.annotationFlags;
    project->settings.annotationFlags &= uint8_t(~kAnnotationKeptInSheets);
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec && !st; spec = spec->next)
        st = LoadAnnotationTable(project, spec, 0);
    project->settings.annotationFlags = flags;
    return st;
}

// ---- Snapshots ----

inline std::string HexOf(const void* bytes, size_t size) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = static_cast<const uint8_t*>(bytes)[i];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

inline std::string MapSnapshot(const AnnotationMap* map) {
    if (!map) return "none";
    std::string out;
    AnnotationMapEntry entry;
    for (int32_t i = 0; i < CountAnnotationMapEntries(map); ++i) {
        if (!GetAnnotationMapEntry(map, i, &entry)) continue;
        out += " " + std::to_string(entry.symbolId) + ":";
        // Every read reverses the lists: the specs in the order of their instances.
        std::vector<std::pair<int32_t, std::string>> specs;
        for (const AnnotationSpec* s = entry.saved; s; s = s->next) {
            char text[kStringSpecBufferSize] = "-";
            if (s->designator != kNoDesignator)
                ExtractStringSpec(s->designator, GetAnnotationMapStringBlock(map), text, sizeof text);
            specs.emplace_back(s->instanceId, "[" + std::to_string(s->instanceId) + " " + text + " " +
                                                  std::to_string(s->slot) + "]");
        }
        std::sort(specs.begin(), specs.end());
        for (const auto& spec : specs) out += spec.second;
        if (entry.pending) out += "(pending)";
    }
    return out;
}

// Everything a project holds of its file, as text.
inline std::string Snapshot(ProjectRecord* p, const ProjectWindowState* window = nullptr) {
    std::string out;
    char text[kStringSpecBufferSize];
    out += "top:";
    for (auto* r = static_cast<SubSheetReference*>(LLFirst(p->topLevelSheets)); r; r = r->next) {
        GetSheetSpecName(p, r->child, text, sizeof text);
        out += std::string(" ") + text;
    }
    out += "\nnext id " + std::to_string(p->nextInstanceId) + "\n";
    for (auto* i = static_cast<SheetInstance*>(LLFirst(p->instances)); i; i = i->next) {
        GetInstanceSheetName(p, i, text, sizeof text);
        out += "instance " + std::to_string(i->id) + " " + std::to_string(i->parentId) + " " +
               std::to_string(i->serial) + " " + std::to_string(i->flags) + " " + std::to_string(i->missCount) +
               " " + text + "\n";
    }
    for (auto* e = static_cast<PathSpec*>(LLFirst(p->paths)); e; e = e->next) {
        GetPathSpecPath(p->paths, e, text, sizeof text);
        out += "path " + std::to_string(e->rootKind) + " " + std::to_string(e->flags) + " " + text + "\n";
    }
    out += "settings " + HexOf(&p->settings, sizeof p->settings) + "\n";
    for (int32_t i = 0; i < p->settings.attributeCount; ++i) {
        char name[kAttributeTextSize], value[kAttributeTextSize];
        GetIndexedAttribute(p->strings, p->attributes, 0, i, name, value, nullptr, nullptr);
        out += std::string("attribute ") + name + "=" + value + "\n";
    }
    if (p->printRecord) {
        const VXPrintRec* r = p->printRecord;
        out += "print " + std::to_string(p->pageSetupWord) + " " + std::to_string(r->resolution) + " " +
               std::to_string(r->margins[0]) + " " + std::to_string(r->margins[1]) + " " +
               std::to_string(r->margins[2]) + " " + std::to_string(r->margins[3]) +
               (r->printInfo ? " settings" : " no settings") + "\n";
    } else {
        out += "print none\n";
    }
    if (window) {
        out += "window " + std::to_string(window->bounds.top) + " " + std::to_string(window->bounds.left) + " " +
               std::to_string(window->bounds.bottom) + " " + std::to_string(window->bounds.right) + "\n";
    }
    out += "signals " + std::to_string(DACount(p->signalMap));
    SpiceSignalMapEntry e;
    for (int32_t i = 0; i < DACount(p->signalMap); ++i) {
        if (!DAGet(p->signalMap, i, &e)) continue;
        char net[65], qualifier[65];
        ExtractSignalMapSignalName(p->signalMap, e.name, text);
        ExtractSignalMapSignalName(p->signalMap, e.netName, net);
        ExtractSignalMapSignalName(p->signalMap, e.qualifier, qualifier);
        out += std::string(" [") + text + ">" + net + "/" + qualifier + " " + std::to_string(e.key) + " " +
               std::to_string(e.buildReference) + "]";
    }
    out += "\ncomponents " + std::to_string(DACount(p->compMap));
    SpiceCompMapEntry c;
    for (int32_t i = 0; i < DACount(p->compMap); ++i)
        if (DAGet(p->compMap, i, &c)) {
            GetSpiceCompMapRefDes(p->compMap, c.instanceId, c.symbolSerial, text);
            out += " [" + std::to_string(c.instanceId) + " " + std::to_string(c.symbolSerial) + " " + text + "]";
        }
    out += "\nnetlist " + std::to_string(p->netlistRoot) + " " + std::to_string(p->netlistFlags) + " " +
           std::to_string(p->netlistLevelLimit) + " " + std::to_string(p->netlistDescend) + " " +
           std::string(p->netlistScript.directory.bytes, p->netlistScript.directory.length) + " " +
           p->netlistScript.name + "\n";
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(p->sheetSpecs)); spec; spec = spec->next) {
        GetSheetSpecName(p, spec, text, sizeof text);
        out += std::string("annotation ") + text + ":" + MapSnapshot(spec->annotationMap) + "\n";
    }
    return out;
}

// Opens a project file, loads everything and gives the snapshot ("fails N" when a load fails).
inline std::string SnapshotOfFile(const std::string& path) {
    OSStatus st = 0;
    ProjectRecord* project = OpenRecord(path, true, &st);
    if (!project) return "does not open " + std::to_string(st);
    ProjectWindowState window;
    st = LoadEverything(project, &window);
    const std::string out = st ? "fails " + std::to_string(st) : Snapshot(project, &window);
    CloseRecord(project);
    return out;
}

// ---- A project with something in every block ----

// What the project window would tell of its place.
inline void InstallWindowBounds() {
    ProjectServices services;
    services.windowBounds = [](ProjectRecord*, Rect* bounds) {
        *bounds = Rect{40, 50, 400, 600};
        return true;
    };
    SetProjectServices(services);
}

inline VXWindowRecordTag* FakeWindow() { return reinterpret_cast<VXWindowRecordTag*>(uintptr_t(0x3000)); }

inline AnnotationMap* MapOf(std::initializer_list<std::tuple<uint32_t, int32_t, const char*, int16_t>> specs) {
    AnnotationMap* map = CreateAnnotationMap(true);
    for (const auto& [symbol, instance, text, slot] : specs) SetAnnotation(map, symbol, instance, text, slot);
    ApplyAnnotationMapChanges(map, nullptr);
    return map;
}

// Fills every block's part of the project; `variant` changes every value.
inline void Fill(ProjectRecord* p, const DirectoryRef* folder, int variant = 0) {
    const std::string v = std::to_string(variant);
    AddSubSheetReference(p, nullptr, ("Top" + v + ".SHX").c_str(), "", 0, 0);
    AddSubSheetReference(p, nullptr, "Second.SHX", "", 0, 0);
    SheetSpec* top = GetNamedSheetSpec(p, ("Top" + v + ".SHX").c_str(), nullptr);
    SheetSpec* second = GetNamedSheetSpec(p, "Second.SHX", nullptr);
    SheetInstance* a = CreateSheetInstance(p, nullptr, 0, top);
    CreateSheetInstance(p, a, uint32_t(7 + variant), second);
    for (auto* i = static_cast<SheetInstance*>(LLFirst(p->instances)); i; i = i->next) i->flags = 1;
    p->dirtyFlags |= kProjectInstancesChanged;
    ResetPathSpecList(p->paths, true);
    LLRemoveOrFreeAll(p->paths, true);
    AddPathSpecToList(p->paths, folder, kPathRootOwner, kPathFileKinds, false);
    PathSpec* absolute = CreatePathSpec(uint8_t(kPathLibraryFiles | (variant & 1)));
    EXPECT_EQ(SetPathSpecFromDir(p->paths, absolute, folder, kPathRootAbsolute), kPathRootAbsolute);
    LLAppend(p->paths, absolute);
    p->dirtyFlags |= kProjectPathsChanged;
    ProjectSettings& s = p->settings;
    s.instanceNaming = 1;
    s.signalScope = 2;
    s.flags = uint16_t(3 + variant);
    s.qualifyAllLocal = 1;
    s.qualifyConflicting = uint8_t(variant);
    s.instanceNamePlace = 1;
    std::strcpy(s.separator, variant ? "." : "::");
    s.globalFlagged = 1;
    s.annotationFlags = uint8_t(1 + variant % 2);
    s.reserved18 = 0x18;
    s.qualifyDesignators = 1;
    s.rankLimit = uint16_t(1234 + variant);
    s.reserved22[0] = 0x22;
    s.lastNetlistTime = uint32_t(0x01020304 + variant);
    for (int i = 0; i < 232; i += 29) s.reserved28[i] = uint8_t(i + variant);
    if (!p->attributes) p->attributes = AllocHandle(nullptr, 0);
    int16_t count = int16_t(s.attributeCount);
    SetAttributeValue(p->strings, p->attributes, 0, &count, "ProjectTitle", ("{ProjectFile} " + v).c_str(), nullptr);
    SetAttributeValue(p->strings, p->attributes, 0, &count, "Maker", "Orvix", nullptr);
    s.attributeCount = uint16_t(count);
    VXDestroyPrintRecord(p->printRecord);
    EXPECT_EQ(status::kNoErr, VXCreatePrintRecordEx(&p->printRecord, uint32_t(144 + variant)));
    VXSet72DpiPrintMargins(p->printRecord, 10, 20 + variant, 30, 40);
    p->pageSetupWord = uint16_t(0x0102 + variant);
    // Simulator maps: two signals, one component, the script that made the netlist.
    DestroySpiceSignalMap(p->signalMap);
    p->signalMap = CreateSpiceSignalMap(CreateStringBlock(nullptr, 64), nullptr);
    StringBlock names = GetSignalMapInfo(p->signalMap, nullptr);
    SpiceSignalMapEntry e1{OverlayStringBlock(names, "CLK", -1, nullptr), OverlayStringBlock(names, "NET_CLK", -1, nullptr),
                           OverlayStringBlock(names, ("U" + v).c_str(), -1, nullptr), 2, 0};
    SpiceSignalMapEntry e2{OverlayStringBlock(names, "data", -1, nullptr), OverlayStringBlock(names, "D0", -1, nullptr), 0,
                           1, 0};
    DAAdd(p->signalMap, &e1);
    DAAdd(p->signalMap, &e2);
    DestroySpiceCompMap(p->compMap);
    p->compMap = CreateSpiceCompMap();
    AddSpiceCompMapEntry(p->compMap, 2, uint32_t(11 + variant), "R1");
    AddSpiceCompMapEntry(p->compMap, 1, 5, "C7");
    p->netlistRoot = uint32_t(variant);
    p->netlistFlags = kNetlistQualifiedAllLocal | kNetlistCompMapFollows;  // as a read leaves them
    p->netlistLevelLimit = uint16_t(3 + variant);
    p->netlistDescend = 1;
    ClearFileSpec(&p->netlistScript);
    p->netlistScript.directory = *folder;
    SetFileSpecName(&p->netlistScript, ("Spice" + v + ".SXP").c_str());
    // Annotation of both sheets.
    DestroyAnnotationMap(top->annotationMap);
    top->annotationMap = MapOf({{5, 1, "R1", 0}, {5, 2, ("R" + v).c_str(), 1}, {9, 1, "U3", -1}});
    DestroyAnnotationMap(second->annotationMap);
    second->annotationMap = MapOf({{3, 0, "C12", 2}});
    top->flags |= kSheetSpecAnnotationDirty;
    second->flags |= kSheetSpecAnnotationDirty;
}

// Writes every block of the project; the first failure.
inline OSStatus WriteEverything(ProjectRecord* p) {
    OSStatus st = WriteProjectTopSheetRefs(p, false);
    if (!st) st = WriteProjectInstanceList(p, false);
    if (!st) st = WriteProjectPathList(p, false);
    if (!st) st = WriteProjectWindowState(p);
    if (!st) st = WriteProjectSettings(p, false);
    if (!st) st = WriteProjectSpiceMaps(p);
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(p->sheetSpecs)); spec && !st; spec = spec->next)
        st = WriteProjectSheetAnnotationMap(p, spec, false);
    if (!st) st = FlushDynamicFile(&p->file, false);
    return st;
}

// ---- Blocks ----

// Every used block of a file, in file order.
inline std::vector<Block> BlocksOf(const std::string& path) {
    std::vector<Block> blocks;
    FileSpec spec = SpecOf(path);
    DynamicFileRecord file;
    EXPECT_EQ(OpenDynamicFile(&spec, true, &file), 0);
    uint32_t offset = 0, size = 0;
    for (uint8_t type = 0; ScanFileBlocks(&file, &offset, &size, &type) == 0 && offset != 0; type = 0) {
        if (type == kFreeBlockType) continue;
        Handle h = nullptr;
        EXPECT_EQ(LoadFileBlock(&file, offset, &h), 0);
        blocks.emplace_back(type, std::string(*h, size));
        MemFree(h);
    }
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    return blocks;
}

inline void WriteProjectFileOf(const std::string& path, const std::vector<Block>& blocks) {
    ASSERT_EQ(CreateProjectFile(path), 0);
    FileSpec spec = SpecOf(path);
    DynamicFileRecord file;
    ASSERT_EQ(OpenDynamicFile(&spec, false, &file), 0);
    for (const Block& b : blocks) {
        uint32_t offset = 0;
        ASSERT_EQ(WriteFileBlock(&file, b.first, uint32_t(b.second.size()), b.second.data(), &offset), 0);
    }
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
}

// ---- The other byte order ----

// Converts stored bytes field by field, in place, from this machine's order into the other one.
class Swapper {
public:
    explicit Swapper(std::string& bytes) : b_(bytes) {}
    size_t at = 0;

    uint16_t W() {
        uint16_t v;
        std::memcpy(&v, &b_[at], 2);
        ByteSwapWord(&b_[at]);
        at += 2;
        return v;
    }
    uint32_t L() {
        uint32_t v;
        std::memcpy(&v, &b_[at], 4);
        ByteSwapLong(&b_[at]);
        at += 4;
        return v;
    }
    uint32_t BigL() {
        const uint32_t v = (uint32_t(uint8_t(b_[at])) << 24) | (uint32_t(uint8_t(b_[at + 1])) << 16) |
                           (uint32_t(uint8_t(b_[at + 2])) << 8) | uint8_t(b_[at + 3]);
        at += 4;
        return v;
    }
    void Skip(size_t n) { at += n; }
    void Template(const char* tmpl) {
        ByteSwapTemplate(&b_[at], tmpl);
        at += size_t(ByteSwapTemplateSize(tmpl));
    }
    void ShortString() { at += 1 + uint8_t(b_[at]); }
    void StringBlock() {
        uint32_t used;
        std::memcpy(&used, &b_[at + 8], 4);
        Template("L3W");
        at += 2 + used - kStringBlockHeaderSize;
    }
    // A stored DA array: everything big-endian but the items, swapped by the template.
    void DA(const char* itemTemplate) {
        EXPECT_EQ(BigL(), 0xFFFFFFFEu);
        const uint32_t headerSize = BigL();
        const size_t header = at;
        const uint32_t itemSize = Word(header, 0), stride = Word(header, 1), clusters = Word(header, 5),
                       flags = Word(header, 8);
        EXPECT_EQ(size_t(ByteSwapTemplateSize(itemTemplate)), size_t(itemSize));
        at += headerSize;
        if (flags & kDALogicalIds) at += BigL();
        for (uint32_t c = 0; c < clusters; ++c) {
            int32_t slots = int32_t(BigL());
            while (slots > 0) {
                const int32_t run = int32_t(BigL());
                if (run == 0) break;
                if (run < 0) {
                    slots += run;
                    continue;
                }
                for (int32_t i = 0; i < run; ++i) {
                    if (!(flags & kDANoBodies)) ByteSwapTemplate(&b_[at], itemTemplate);
                    if (!(flags & kDANoBodies)) at += stride;
                }
                slots -= run;
            }
        }
    }

private:
    uint32_t Word(size_t header, int n) {
        const size_t keep = at;
        at = header + size_t(n) * 4;
        const uint32_t v = BigL();
        at = keep;
        return v;
    }
    std::string& b_;
};

inline void SwapPrintRecord(Swapper& s) {
    const uint32_t length = s.L();
    if (length == 0) return;
    s.L();
    s.Skip(length - 4);
    const uint32_t own = s.L();
    for (uint32_t i = 0; i < own / 4; ++i) s.L();
}

inline void SwapAnnotationMap(Swapper& s) {
    s.W();
    s.W();
    s.StringBlock();
    while (s.L() != 0) {
        const uint32_t count = s.L();
        for (uint32_t i = 0; i < count; ++i) s.Template("L2W");
    }
}

// A project block as a writer of the other byte order would have written it.
inline std::string OtherOrder(uint8_t type, std::string bytes) {
    Swapper s(bytes);
    switch (type) {
        case kProjectTopSheetsBlock: {
            s.W();
            const uint16_t count = s.W();
            for (uint16_t i = 0; i < count; ++i) s.ShortString();
            break;
        }
        case kProjectInstancesBlock: {
            s.W();
            s.L();
            s.StringBlock();
            s.W();
            s.W();
            while (s.L() != 0xFFFFFFFF) {
                s.Template("L2W2");
                s.L();
            }
            break;
        }
        case kProjectWindowBlock:
            s.W();
            s.L();
            s.Template("W12");
            break;
        case kProjectSettingsBlock: {
            s.Template(kProjectSettingsTemplate);
            s.Skip(kProjectSettingsSize - 28);
            const int32_t length = int32_t(s.L());
            if (length >= 0) {
                for (int32_t i = 0; i < length / 12; ++i) {
                    s.Template("L2W");
                    s.Skip(2);  // name hash and spare byte
                }
                s.StringBlock();
            }
            if (s.W() == kPrintRecordFollows) {
                s.W();
                SwapPrintRecord(s);
            }
            break;
        }
        case kProjectOldPathsBlock:
        case kProjectPathsBlock: {
            s.W();
            const uint32_t count = s.L();
            for (uint32_t i = 0; i < count; ++i) {
                s.Skip(2);
                s.Skip(s.L());
            }
            break;
        }
        case kProjectSpiceMapsBlock: {
            s.Skip(2);
            s.W();
            s.StringBlock();
            s.DA("L4");
            s.L();
            const uint32_t flags = s.L();
            if (flags & kNetlistRunFollows) {
                s.W();
                s.Skip(1);
                const uint32_t handle = s.L();  // the dir spec's own bytes stay as they are
                s.Skip(handle);
                s.Skip(2 + ((uint8_t(bytes[s.at]) << 8) | uint8_t(bytes[s.at + 1])));
            }
            if (flags & kNetlistCompMapFollows) {
                s.StringBlock();
                s.DA("L3");
            }
            break;
        }
        default:
            s.ShortString();
            SwapAnnotationMap(s);
    }
    return bytes;
}

// ---- A fixture ----

// A scratch folder "p" with an empty project file "p/Test.PRX"; the core's hooks are put back
// after each test.
class ProjectFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartCore("files_tests"), 0);
        InstallCoreHooks();
        tree.Folder("p");
        path = tree.path("p/Test.PRX");
        ASSERT_EQ(CreateProjectFile(path), 0);
    }
    void TearDown() override { InstallCoreHooks(); }

    Tree tree;
    std::string path;
};

}  // namespace plexa::test
