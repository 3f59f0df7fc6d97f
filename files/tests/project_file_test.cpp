// The project file's blocks: every block written and read back in this machine's byte order and in
// the other one, the stored array inside block 7 and the handle after it, print records without
// settings or with an empty archive, hand-written fixtures of the file's head and of a settings
// block, the padding, the blocks a file may lack, and the ids.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/tests/project_testing.h"
#include "foundation/hash.h"
#include "platform/print_platform.h"

namespace plexa::test {
namespace {

class ProjectFile : public ProjectFileTest {
protected:
    // A project on the file, filled and written whole; its snapshot as written.
    std::string WriteFilled(int variant = 0) {
        InstallWindowBounds();
        ProjectRecord* project = OpenRecord(path);
        EXPECT_TRUE(project);
        if (!project) return {};
        project->window = FakeWindow();
        Fill(project, tree.Dir("p"), variant);
        EXPECT_EQ(WriteEverything(project), 0);
        ProjectWindowState window{};
        window.bounds = Rect{40, 50, 400, 600};
        const std::string written = Snapshot(project, &window);
        CloseRecord(project);
        return written;
    }
};

TEST_F(ProjectFile, EveryBlockRoundTripsInBothByteOrders) {
    const std::string written = WriteFilled();
    const std::string native = SnapshotOfFile(path);
    EXPECT_EQ(native, written);
    EXPECT_NE(native.find("window 40 50 400 600"), std::string::npos);

    // The same blocks as a writer of the other byte order makes them.
    std::vector<Block> blocks = BlocksOf(path);
    ASSERT_EQ(blocks.size(), 8u);  // 1, 2, 8, 3, 4, 7 and two annotation blocks
    for (Block& b : blocks) {
        const std::string other = OtherOrder(b.first, b.second);
        EXPECT_NE(other, b.second) << int(b.first);
        b.second = other;
    }
    const std::string swappedPath = tree.path("p/Swapped.PRX");
    WriteProjectFileOf(swappedPath, blocks);
    std::string expected = native;
    // A window position written in the other order is moved out of sight.
    expected.replace(expected.find("window 40 50"), 12, "window 40 15000");
    EXPECT_EQ(SnapshotOfFile(swappedPath), expected);
}

TEST_F(ProjectFile, TheHandleAfterTheStoredSignalMapIsReadInTheBlocksOwnOrder) {
    // The stored DA array reads its counts big-endian, handle lengths included; the folder of the
    // netlist script that follows it is a handle in the block's own order.
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    Fill(project, tree.Dir("p"));
    ASSERT_EQ(WriteProjectSpiceMaps(project), 0);
    const std::string written = Snapshot(project);
    CloseRecord(project);
    std::vector<Block> blocks = BlocksOf(path);
    ASSERT_EQ(blocks.size(), 1u);
    const std::string swappedPath = tree.path("p/Swapped.PRX");
    WriteProjectFileOf(swappedPath, {{blocks[0].first, OtherOrder(blocks[0].first, blocks[0].second)}});
    for (const std::string& file : {path, swappedPath}) {
        project = OpenRecord(file, true);
        ASSERT_TRUE(project);
        ASSERT_EQ(LoadProjectSpiceMaps(project), 0) << file;
        EXPECT_EQ(std::string(project->netlistScript.name), "Spice0.SXP");
        EXPECT_EQ(PathOf(project->netlistScript.directory), tree.path("p") + "/");
        EXPECT_EQ(project->netlistLevelLimit, 3);
        EXPECT_EQ(project->netlistDescend, 1);
        EXPECT_EQ(DACount(project->signalMap), 2);
        EXPECT_EQ(DACount(project->compMap), 2);
        char designator[256];
        EXPECT_TRUE(GetSpiceCompMapRefDes(project->compMap, 2, 11, designator));
        EXPECT_STREQ(designator, "R1");
        // Reading does not leave the file's stream swapping or reading handles big-endian.
        EXPECT_EQ(project->file.stream->flags & (kStreamSwapOnRead | kStreamBigEndianHandles), 0);
        CloseRecord(project);
    }
    EXPECT_NE(written.find("signals 2 [data>D0/ 1 0] [CLK>NET_CLK/U0 2 0]"), std::string::npos) << written;
}

TEST_F(ProjectFile, TheScriptFolderKeepsItsPathBesideTheBookmark) {
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    Fill(project, tree.Dir("p"));
    ASSERT_EQ(WriteProjectSpiceMaps(project), 0);
    CloseRecord(project);
    // A bookmark that does not resolve here (made elsewhere): the stored path still finds the folder.
    std::vector<Block> blocks = BlocksOf(path);
    std::string& bytes = blocks[0].second;
    const std::string marker = "PXBM";
    const size_t bookmark = bytes.find(marker);
    ASSERT_NE(bookmark, std::string::npos);
    bytes.replace(bookmark, marker.size(), "XXXX");
    const std::string otherPath = tree.path("p/Other.PRX");
    WriteProjectFileOf(otherPath, blocks);
    project = OpenRecord(otherPath, true);
    ASSERT_TRUE(project);
    ASSERT_EQ(LoadProjectSpiceMaps(project), 0);
    EXPECT_EQ(PathOf(project->netlistScript.directory), tree.path("p") + "/");
    CloseRecord(project);
}

TEST_F(ProjectFile, APrintRecordWithoutSettingsReadsBackWithTheBlock) {
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    Fill(project, tree.Dir("p"));
    PlatformPrintSettingsDestroy(project->printRecord->printInfo);
    project->printRecord->printInfo = nullptr;
    ASSERT_EQ(WriteProjectSettings(project, true), 0);
    const ProjectSettings written = project->settings;
    CloseRecord(project);
    project = OpenRecord(path, true);
    ASSERT_EQ(LoadProjectSettings(project), 0);
    EXPECT_EQ(std::memcmp(&project->settings, &written, sizeof written), 0);
    ASSERT_TRUE(project->printRecord);
    EXPECT_EQ(project->printRecord->resolution, 144u);
    EXPECT_EQ(project->printRecord->margins[1], 20);
    EXPECT_EQ(project->settings.attributeCount, 2);
    CloseRecord(project);
}

// A settings block: record, no attributes, and a print record whose archive is empty
// (length 4: the tag alone), as an older writer left it. Little-endian.
std::string SettingsWithEmptyArchive() {
    std::string record(kProjectSettingsSize, '\0');
    record[0] = 0x34, record[1] = 0x12;  // mark
    record[3] = 2;                       // signal scope: flat
    record[17] = 3;                      // annotation flags
    return record + Hex("ffffffff"       // no attributes
                        "1111 0700"      // a print record follows; page-setup word 7
                        "04000000"       // length 4
                        "32504343"       // 'CCP2'
                        "14000000"       // own length 20
                        "48000000 01000000 02000000 03000000 04000000");  // 72 dpi, margins
}

TEST_F(ProjectFile, APrintRecordWithAnEmptyArchiveDoesNotCostTheBlock) {
    WriteProjectFileOf(path, {{kProjectSettingsBlock, SettingsWithEmptyArchive() + std::string(20, '\0')}});
    ProjectRecord* project = OpenRecord(path, true);
    ASSERT_TRUE(project);
    ASSERT_EQ(LoadProjectSettings(project), 0);
    EXPECT_EQ(project->settings.signalScope, 2);
    EXPECT_EQ(project->settings.annotationFlags, 3);
    EXPECT_EQ(project->printRecord, nullptr);
    CloseRecord(project);

    // A print record of an older kind leaves the project without one; a damaged one fails the block.
    std::string old = SettingsWithEmptyArchive();
    old.replace(kProjectSettingsSize + 8, 8, Hex("78000000 4d504243"));  // length 120, 'CBPM'
    old += std::string(120, '\0');
    std::string damaged = SettingsWithEmptyArchive();
    damaged.replace(kProjectSettingsSize + 12, 4, "ABCD");  // an unknown tag
    for (const auto& [bytes, status] : {std::pair{old, OSStatus(status::kNoErr)}, std::pair{damaged, OSStatus(kPrintRecordBadTag)}}) {
        const std::string other = tree.path("p/Other.PRX");
        std::remove(other.c_str());
        WriteProjectFileOf(other, {{kProjectSettingsBlock, bytes}});
        project = OpenRecord(other, true);
        EXPECT_EQ(LoadProjectSettings(project), status);
        EXPECT_EQ(project->printRecord, nullptr);
        EXPECT_EQ(project->settings.signalScope, status ? 1 : 2);  // a failed block changes nothing
        CloseRecord(project);
    }
}

// The head of an empty project file, by hand.
const std::string kEmptyProjectFile = Hex(
    "4f524446"   // "ORDF"
    "0102"       // version 258
    "50524a34"   // file type "PRJ4"
    "0000002e"   // header record of 46 bytes
    "00000000")  // no application header
    + std::string(46, '\0');  // header record: first-free 0, reserved

// A settings block by hand (little-endian), then its padding.
const std::string kSettingsFixture = Hex(
    "3412"       // byte-order mark
    "01"         // instance naming: by instance path
    "02"         // signal scope: flat
    "0000"       // no attributes
    "0200"       // flags: automatic annotation
    "00 01 00"   // qualify: all local no, conflicting yes, shared sheets no
    "01"         // instance name following
    "2f000000"   // separator "/"
    "01"         // global scope for flagged signals
    "01"         // annotation flags: no slot suffix, kept in the project
    "ab"         // byte 18, kept
    "01"         // qualify designators
    "e803"       // sheet-rank limit 1000
    "cdef"       // bytes 22 and 23, kept
    "78563412")  // last netlist time 0x12345678
    + std::string(232, '\0')  // bytes 28-259
    + Hex("ffffffff"          // no attributes
          "0000");            // no print record

TEST_F(ProjectFile, HandWrittenFixtures) {
    std::string bytes;
    ASSERT_TRUE(ReadFile(path, bytes));
    EXPECT_EQ(bytes, kEmptyProjectFile);

    // The settings fixture as written here: the fixture and zeros up to 506 bytes.
    static_assert(std::endian::native == std::endian::little);
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    std::memcpy(&project->settings, kSettingsFixture.data(), kProjectSettingsSize);
    ASSERT_EQ(WriteProjectSettings(project, true), 0);
    CloseRecord(project);
    const std::vector<Block> blocks = BlocksOf(path);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].first, kProjectSettingsBlock);
    EXPECT_EQ(blocks[0].second, kSettingsFixture + std::string(506 - kSettingsFixture.size(), '\0'));

    // Read back in both byte orders.
    const std::string big = OtherOrder(kProjectSettingsBlock, kSettingsFixture);
    EXPECT_EQ(big.substr(0, 8), Hex("1234 01 02 0000 0002"));
    for (const std::string& fixture : {kSettingsFixture, big}) {
        const std::string file = tree.path("p/Fixture.PRX");
        std::remove(file.c_str());
        WriteProjectFileOf(file, {{kProjectSettingsBlock, fixture}});
        project = OpenRecord(file, true);
        ASSERT_EQ(LoadProjectSettings(project), 0);
        const ProjectSettings& s = project->settings;
        EXPECT_EQ(s.mark, 0x1234);
        EXPECT_EQ(s.instanceNaming, 1);
        EXPECT_EQ(s.signalScope, 2);
        EXPECT_EQ(s.flags, kProjectAutoAnnotate);
        EXPECT_EQ(s.qualifyConflicting, 1);
        EXPECT_STREQ(s.separator, "/");
        EXPECT_EQ(s.annotationFlags, kAnnotationNoSlotSuffix);
        EXPECT_EQ(s.reserved18, 0xab);
        EXPECT_EQ(s.rankLimit, 1000);
        EXPECT_EQ(s.reserved22[0], 0xcd);
        EXPECT_EQ(s.lastNetlistTime, 0x12345678u);
        EXPECT_FALSE(AnnotSuffixEnabled(project));
        EXPECT_EQ(project->attributes, nullptr);
        CloseRecord(project);
    }
    // A signal scope outside 1..2 reads as 1.
    std::string odd = kSettingsFixture;
    odd[3] = 7;
    const std::string file = tree.path("p/Odd.PRX");
    WriteProjectFileOf(file, {{kProjectSettingsBlock, odd}});
    project = OpenRecord(file, true);
    ASSERT_EQ(LoadProjectSettings(project), 0);
    EXPECT_EQ(project->settings.signalScope, 1);
    CloseRecord(project);
}

TEST_F(ProjectFile, BlocksFillWholeUnitsOf512Bytes) {
    EXPECT_EQ(ProjectBlockPadding(506), 0u);
    EXPECT_EQ(ProjectBlockPadding(507), 511u);
    EXPECT_EQ(ProjectBlockPadding(1), 505u);
    EXPECT_EQ(ProjectBlockPadding(1018), 0u);
    WriteFilled();
    for (const Block& b : BlocksOf(path)) EXPECT_EQ((b.second.size() + 6) % 512, 0u) << int(b.first);
}

TEST_F(ProjectFile, BlocksAFileMayLack) {
    // No path block at all: the project searches its own folder and stores that at the next update.
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    ASSERT_EQ(LoadProjectPathList(project), 0);
    ASSERT_EQ(project->paths->count, 1u);
    EXPECT_TRUE(project->dirtyFlags & kProjectPathsChanged);
    const auto* entry = static_cast<PathSpec*>(LLFirst(project->paths));
    EXPECT_EQ(entry->rootKind, kPathRootOwner);
    EXPECT_EQ(entry->flags & kPathFileKinds, kPathFileKinds);
    ProjectWindowState window;
    window.mark = 99;
    EXPECT_EQ(LoadProjectWindowState(project, &window), 0);
    EXPECT_EQ(window.mark, 0);  // zero-filled
    EXPECT_EQ(LoadProjectTopSheetRefs(project), 0);
    EXPECT_EQ(LoadProjectSettings(project), 0);
    EXPECT_EQ(LoadProjectInstanceList(project), 0);
    ASSERT_EQ(UpdateProjectFile(project, true), 0);
    EXPECT_FALSE(project->dirtyFlags & kProjectPathsChanged);
    CloseRecord(project);
    ASSERT_EQ(BlocksOf(path).size(), 1u);
    EXPECT_EQ(BlocksOf(path)[0].first, kProjectPathsBlock);

    // An older file's block 5 serves when there is no block 8; block 8 wins when both are there.
    const std::string paths = BlocksOf(path)[0].second;
    std::string otherPaths = paths;
    const std::string older = tree.path("p/Older.PRX");
    WriteProjectFileOf(older, {{kProjectOldPathsBlock, paths}});
    project = OpenRecord(older, true);
    ASSERT_EQ(LoadProjectPathList(project), 0);
    EXPECT_EQ(project->paths->count, 1u);
    EXPECT_FALSE(project->dirtyFlags & kProjectPathsChanged);
    CloseRecord(project);

    // An instance block without the string-block magic adds no instances and does not fail.
    const std::string noMagic = tree.path("p/NoMagic.PRX");
    WriteProjectFileOf(noMagic, {{kProjectInstancesBlock, Hex("3412 09000000 00000000")}});
    project = OpenRecord(noMagic, true);
    ASSERT_EQ(LoadProjectInstanceList(project), 0);
    EXPECT_EQ(LLFirst(project->instances), nullptr);
    EXPECT_EQ(project->nextInstanceId, 9u);
    CloseRecord(project);
}

TEST_F(ProjectFile, SimulatorMaps) {
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    // Looked for once and missing: later loads return at once, until maps are written.
    ASSERT_EQ(LoadProjectSpiceMaps(project), 0);
    EXPECT_TRUE(project->noStoredMaps);
    // A map of no entries is still stored, with its strings and flags.
    project->signalMap = CreateSpiceSignalMap(CreateStringBlock(nullptr, 64), nullptr);
    project->netlistFlags = kNetlistQualifiedAllLocal;
    ASSERT_EQ(WriteProjectSpiceMaps(project), 0);
    EXPECT_FALSE(project->noStoredMaps);
    ASSERT_EQ(LoadProjectSpiceMaps(project), 0);
    ASSERT_TRUE(project->signalMap);
    EXPECT_EQ(DACount(project->signalMap), 0);
    EXPECT_EQ(project->netlistFlags, kNetlistQualifiedAllLocal);
    EXPECT_EQ(project->compMap, nullptr);
    // Without a signal map every block 7 goes.
    DestroySpiceSignalMap(project->signalMap);
    project->signalMap = nullptr;
    ASSERT_EQ(WriteProjectSpiceMaps(project), 0);
    CloseRecord(project);
    EXPECT_TRUE(BlocksOf(path).empty());

    // Lookups and order of the maps in memory.
    SpiceCompMap comp = CreateSpiceCompMap();
    AddSpiceCompMapEntry(comp, 3, 1, "R10");
    AddSpiceCompMapEntry(comp, 1, 9, "R10");
    AddSpiceCompMapEntry(comp, 1, 2, "C1");
    char text[256];
    EXPECT_TRUE(GetSpiceCompMapRefDes(comp, 1, 9, text));
    EXPECT_STREQ(text, "R10");
    EXPECT_FALSE(GetSpiceCompMapRefDes(comp, 2, 9, text));
    EXPECT_STREQ(text, "");
    SpiceCompMapEntry first;
    ASSERT_TRUE(DAGet(comp, 0, &first));
    EXPECT_EQ(first.instanceId, 1u);
    EXPECT_EQ(first.symbolSerial, 2u);
    DestroySpiceCompMap(comp);

    SpiceSignalMap signals = CreateSpiceSignalMap(CreateStringBlock(nullptr, 64), nullptr);
    StringBlock names = GetSignalMapInfo(signals, nullptr);
    for (const auto& [name, key] : {std::pair{"b", 2}, std::pair{"B2", 1}, std::pair{"a", 2}, std::pair{"A1", 1}}) {
        SpiceSignalMapEntry e{OverlayStringBlock(names, name, -1, nullptr), 0, 0, key, 0};
        DAAdd(signals, &e);
    }
    std::string order;
    SpiceSignalMapEntry e;
    for (int32_t i = 0; i < DACount(signals); ++i) {
        DAGet(signals, i, &e);
        ExtractSignalMapSignalName(signals, e.name, text);
        order += std::string(text) + " ";
    }
    EXPECT_EQ(order, "A1 B2 a b ");
    DestroySpiceSignalMap(signals);
}

// A block 7 by hand (little-endian), its signal map stored with slots of `stride` bytes: 16 and
// 20 in a packed array, 24 in a sorted array with logical ids (as older writers stored it).
std::string SpiceMapsBlock(uint32_t stride) {
    const bool packed = stride != 24;
    std::string bytes = Hex(
        "ffff 3412"                // lead and byte-order mark
        "d1be7ada 40000000 22000000 4000 0000"  // string block: 64 allocated, 34 used, quantum 64
        "434c4b 4e45545f434c4b 64617461 4430 5530"  // "CLK" "NET_CLK" "data" "D0" "U0"
        "fffffffe 00000048"        // the array: current form, 72 header bytes
        "00000010");               // item size 16
    for (const uint32_t word : {stride, 2u, 2u, packed ? 0u : 2725u, 1u, 0xFFFFFFFFu, 0u,
                                packed ? uint32_t(kDAPacked | kDASorted) : uint32_t(kDASorted | kDALogicalIds),
                                0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u, 0u})
        for (int shift = 24; shift >= 0; shift -= 8) bytes += char(uint8_t(word >> shift));
    if (!packed) {  // the logical id map: 64 entries, ids 0 and 1 in order
        bytes += Hex("00000100 00000000 00000001");
        for (int i = 2; i < 64; ++i) bytes += Hex("ffffffff");
    }
    bytes += Hex("00000002 00000002");  // one cluster: two slots, one run of two used slots
    const std::string entries[] = {
        Hex("04680000 02780000 00000000 01000000"),  // "data" > "D0", no qualifier, instance 1
        Hex("03400000 074c0000 02800000 02000000"),  // "CLK" > "NET_CLK" / "U0", instance 2
    };
    for (const std::string& entry : entries) bytes += entry + std::string(stride - 16, '\0');  // status byte 0: used
    return bytes + Hex("00000000 00000000");  // netlist root 0, flags 0: nothing follows
}

// The signal map is stored with 16-byte slots, its entry size, whatever it was read from or made
// in; maps stored with slots of 20 and 24 bytes keep reading, in either byte order.
TEST_F(ProjectFile, TheSignalMapIsStoredWithSixteenByteSlotsAndOlderOnesRead) {
    const auto storedForm = [&](const std::string& file) {
        const std::vector<Block> blocks = BlocksOf(file);
        for (const Block& b : blocks) {
            if (b.first != kProjectSpiceMapsBlock) continue;
            const std::string& bytes = b.second;
            const uint32_t used = uint8_t(bytes[12]) | uint8_t(bytes[13]) << 8 | uint8_t(bytes[14]) << 16;
            const size_t array = 4 + used + 8;  // behind the string block, the mark and the header size
            std::string words;
            for (size_t w = 0; w < 2; ++w)
                words += std::to_string(uint8_t(bytes[array + 4 * w + 2]) << 8 | uint8_t(bytes[array + 4 * w + 3])) + " ";
            return words;
        }
        return std::string("none");
    };
    const std::string expected = "signals 2 [data>D0/ 1 0] [CLK>NET_CLK/U0 2 0]";
    for (const uint32_t stride : {16u, 20u, 24u}) {
        SCOPED_TRACE(stride);
        const std::string block = SpiceMapsBlock(stride);
        for (const std::string& bytes : {block, OtherOrder(kProjectSpiceMapsBlock, block)}) {
            const std::string file = tree.path("p/Stored.PRX");
            std::remove(file.c_str());
            WriteProjectFileOf(file, {{kProjectSpiceMapsBlock, bytes}});
            ProjectRecord* project = OpenRecord(file);
            ASSERT_TRUE(project);
            ASSERT_EQ(LoadProjectSpiceMaps(project), 0);
            EXPECT_NE(Snapshot(project).find(expected), std::string::npos) << Snapshot(project);
            // Stored again: 16-byte items in 16-byte slots.
            ASSERT_EQ(WriteProjectSpiceMaps(project), 0);
            ASSERT_EQ(LoadProjectSpiceMaps(project), 0);
            EXPECT_NE(Snapshot(project).find(expected), std::string::npos) << Snapshot(project);
            CloseRecord(project);
            EXPECT_EQ(storedForm(file), "16 16 ");
        }
    }
    // A map as the netlist build makes it (20-byte entries in memory) is stored the same way.
    ProjectRecord* project = OpenRecord(path);
    ASSERT_TRUE(project);
    Fill(project, tree.Dir("p"));
    ASSERT_EQ(WriteProjectSpiceMaps(project), 0);
    CloseRecord(project);
    EXPECT_EQ(storedForm(path), "16 16 ");
}

TEST(ProjectIds, IgnoreTheCaseOfNamesAndExtensions) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    Tree tree;
    tree.Folder("one");
    tree.Folder("two");
    auto id = [&](const std::string& folder, const char* name) {
        FileSpec spec;
        spec.directory = *tree.Dir(folder);
        SetFileSpecName(&spec, name);
        return ProjectId(&spec);
    };
    const uint32_t base = id("one", "Design.PRX");
    EXPECT_EQ(id("one", "DESIGN.prx"), base);
    EXPECT_EQ(id("one", "design.Prx"), base);
    EXPECT_EQ(id("one", "Design"), base);  // ".PRX" is cut off
    EXPECT_NE(id("one", "Design.TXT"), base);
    EXPECT_EQ(base & 0x80000000u, 0u);
    // Another folder: the same low 16 bits.
    const uint32_t elsewhere = id("two", "Design.PRX");
    EXPECT_EQ(elsewhere & 0xFFFF, base & 0xFFFF);
    EXPECT_NE(elsewhere, base);
    // The low half is the hash of the upper-cased name; letters beyond ASCII stay as they are.
    EXPECT_EQ(base & 0xFFFF, HashMem(kProjectIdSeed, "DESIGN", 6) & 0xFFFF);
    EXPECT_EQ(id("one", "d\xC3\xA4.PRX") & 0xFFFF, HashMem(kProjectIdSeed, "D\xC3\xA4", 3) & 0xFFFF);
    EXPECT_NE(id("one", "d\xC3\xA4.PRX"), id("one", "d\xC3\x84.PRX"));

    // The simulator link finds a project by its id, else by its low 16 bits.
    ProjectRecord a{}, b{};
    a.projectId = base;
    b.projectId = elsewhere;
    a.next = &b;
    ProjectRecord* saved = gProjectList;
    gProjectList = &a;
    EXPECT_EQ(GetSpiceProject(elsewhere), &b);
    EXPECT_EQ(GetSpiceProject(base), &a);
    EXPECT_EQ(GetSpiceProject((elsewhere & 0xFFFF) | 0x12340000), &a);
    EXPECT_EQ(GetSpiceProject(base ^ 1), nullptr);
    gProjectList = saved;

    // Annotation block ids lie in 16..143 and ignore case.
    for (const char* name : {"", "A.SHX", "Main Sheet.SHX", "x"}) {
        const uint8_t block = AnnotationBlockId(name);
        EXPECT_GE(block, kFirstAnnotationBlock);
        EXPECT_LE(block, kLastAnnotationBlock);
    }
    EXPECT_EQ(AnnotationBlockId("main.shx"), AnnotationBlockId("MAIN.SHX"));
    EXPECT_EQ(AnnotationBlockId("MAIN.SHX"), 16 + (HashMem(kAnnotationIdSeed, "MAIN.SHX", 8) & 127));
}

}  // namespace
}  // namespace plexa::test
