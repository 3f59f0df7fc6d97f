// The preferences file: defaults written whole and read back block by block, files of the other
// byte order and of the older names, lists past their limits, damaged files, and a save killed
// half-way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "app/prefs.h"
#include "app/root.h"
#include "foundation/byteswap.h"
#include "graphics/colors.h"
#include "graphics/render.h"
#include "foundation/dirspec.h"
#include "foundation/dynfile.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "foundation/tempfiles.h"
#include "model/attributes.h"
#include "model/sheet.h"
#include "model/themes.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

std::string Hex(const void* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < size; i++) {
        const uint8_t b = static_cast<const uint8_t*>(bytes)[i];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string FolderText(Handle dirSpec) {
    if (!dirSpec) return "-";
    std::string location;
    EXPECT_EQ(status::kNoErr, DirSpecToDirectoryURL(dirSpec, &location));
    return location;
}

template <class Writer>
std::string Written(Writer&& write) {
    Handle h = AllocHandle(gGenPool, 0);
    StreamRecord* s = nullptr;
    EXPECT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(h), &s), 0);
    EXPECT_EQ(write(s), 0);
    std::string out = Hex(*h, SizeOfHandle(h));
    DisposeStream(s);
    MemFree(h);
    return out;
}

// Every preference global as text, by block.
std::map<std::string, std::string> Dump() {
    std::map<std::string, std::string> d;
    for (const char* block : {"4 scripts", "12 recent", "8 names", "11 shortcuts", "5 folders"}) d[block];
    d["1 main"] = Hex(gPrefs, sizeof *gPrefs);
    d["13 colours"] = Hex(gGrafColors, sizeof gGrafColors);
    for (int32_t i = 0; i < kPrefDirCount; i++)
        d["5 folders"] += FolderText(gDirectoryPrefs[i].dirSpec) + ";";
    const SheetSettings& s = gDefSheetSettings;
    std::string sheet = Hex(s.signalPrefix, 8) + " " + std::to_string(s.attributeCount) + " " +
                        std::to_string(s.gridSpacing) + " " + std::to_string(s.printScale) + " " +
                        std::to_string(s.digits) + " " + std::to_string(s.flags) + " " + std::to_string(s.sizeCode);
    for (int32_t i = 0; i < s.attributeCount; i++) {
        char name[1024], value[1024];
        GetIndexedAttribute(s.stringBlock, s.attributes, 0, i, name, value, nullptr, nullptr);
        sheet += std::string(" ") + name + "=" + value;
    }
    d["6 sheet"] = sheet;
    d["10 themes"] = Written([](StreamRecord* st) { return WriteTextThemes(st, &gDefaultTextThemes); });
    d["9 fonts"] = Written(WriteFontPrefs);
    for (int32_t k = 0; k < kPropertyNamesKinds; k++) {
        for (const auto& name : gPropertyNamesTable[k]) d["8 names"] += name + ",";
        d["8 names"] += ";";
    }
    for (const auto& group : gLibShortcuts) {
        for (const auto& entry : group) d["11 shortcuts"] += entry.item + "@" + entry.library + ",";
        d["11 shortcuts"] += ";";
    }
    for (const auto& entry : gScriptFilesList)
        d["4 scripts"] += entry.name + "|" + entry.target + "|" + FolderText(entry.dirSpec) + ";";
    for (const auto& list : gRecentFiles) {
        for (const auto& entry : list)
            d["12 recent"] += entry.name + "|" + std::to_string(entry.time) + "|" + FolderText(entry.dirSpec) + ",";
        d["12 recent"] += ";";
    }
    return d;
}

// Big-endian bytes for hand-written blocks.
struct BE {
    std::string bytes;
    BE& w(uint16_t v) {
        bytes += char(v >> 8);
        bytes += char(v);
        return *this;
    }
    BE& l(uint32_t v) { return w(uint16_t(v >> 16)).w(uint16_t(v)); }
    BE& s(const std::string& text) {
        bytes += text;
        return *this;
    }
};

class PrefsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartCore("app_tests"), 0);
        InstallCoreHooks();
        PreferencesHooks hooks;
        hooks.message = [](const char* text) { Log().push_back(std::string("message: ") + text); };
        hooks.errorReport = [](OSStatus st) { Log().push_back("status " + std::to_string(st)); };
        SetPreferencesHooks(hooks);
        Log().clear();
    }
    void TearDown() override {
        DisposePreferences();
        SetPreferencesHooks({});
        // The sheet defaults the preferences carried go back to the built-in ones for later tests.
        EXPECT_EQ(InitSheetDefaults(), status::kNoErr);
    }
    static std::vector<std::string>& Log() {
        static std::vector<std::string> log;
        return log;
    }
    std::string Folder() const { return config_.path() + "/plexa"; }
    std::string Current() const { return Folder() + "/Plexa 6.0 Preferences"; }

    // A dynamic file of type "pref" with the given blocks, as they stand.
    void MakeFile(const std::string& name, const std::vector<std::pair<uint8_t, std::string>>& blocks) {
        FileSpec spec;
        ASSERT_EQ(GetPreferencesFileSpec(&spec, 0, nullptr), 0);
        SetFileSpecName(&spec, name.c_str());
        ASSERT_EQ(CreateDynamicFile(&spec, "QPLX", "pref", "pref", 0), 0);
        DynamicFileRecord file{};
        ASSERT_EQ(OpenDynamicFile(&spec, false, &file), 0);
        for (const auto& [type, bytes] : blocks) {
            uint32_t offset = 0;
            ASSERT_EQ(WriteFileBlock(&file, type, uint32_t(bytes.size()), bytes.data(), &offset), 0);
        }
        ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
    }

    // Changes every block's settings away from the defaults.
    void ChangeEverything() {
        gPrefs->options = kPrefsColorDisplay | kPrefsHierarchicalDesign;
        gPrefs->zoomPercent = 350;
        gPrefs->colors[3] = 0x03123456;
        gPrefs->pinNameOffsets[2] = {7, -9};
        gPrefs->simulatorAddress = 0x0A000001;
        gPrefs->listenPort = 4000;
        SetIndexedGrafColor(5, 0x00ABCDEF);
        DirectoryRef folder;
        ASSERT_EQ(DirectoryFromDirectoryURL(config_.path(), &folder), 0);
        RecordPrefDirectory(kPrefDirOpen, &folder, 3);
        std::memcpy(gDefSheetSettings.signalPrefix, "\x03NET\0\0\0\0", 8);  // its length, then the letters
        gDefSheetSettings.digits = 5;
        gDefSheetSettings.gridSpacing = 12;
        AddDefaultSheetAttribute("Company", "Orvix");
        AppendPropertyNames(kPinNames, "PinType");
        AddShortcutToGroup(kComponentShortcuts, "Resistor", "Basic Parts");
        gScriptFilesList.push_back({"Netlist.SXP", "****", CreateDirSpec(&folder)});
        gScriptFilesList.push_back({"Other.SXP", "", nullptr});
        gRecentFiles[kRecentSheets].push_back({1000, CreateDirSpec(&folder), "a.SHX"});
        gRecentFiles[kRecentSheets].push_back({999, nullptr, "b.SHX"});
        gRecentFiles[kRecentLibraries].push_back({5, CreateDirSpec(&folder), "Basic Parts.LBX"});
        RecordChangedPreferences(kPrefsAllBlocks);
    }

    test::TempDir config_;
    test::EnvScope env_{"XDG_CONFIG_HOME", config_.path()};
};

TEST_F(PrefsFile, DefaultsAreWrittenWholeAndEveryBlockReadsBack) {
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(gDirtyPrefs, 0u);
    std::string bytes;
    ASSERT_TRUE(test::ReadFile(Current(), bytes));
    const auto defaults = Dump();

    // The new file holds every block: reading it over changed globals gives the defaults again.
    ChangeEverything();
    const auto changed = Dump();
    for (const auto& [block, text] : changed)
        if (block != "9 fonts" && block != "10 themes") {
            EXPECT_NE(text, defaults.at(block)) << block;
        }
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_EQ(Dump(), defaults);

    // Changed settings saved and read back, block by block.
    ChangeEverything();
    ASSERT_EQ(SavePreferences(), 0);
    EXPECT_EQ(gDirtyPrefs, 0u);
    SetDefaultPreferences();
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_EQ(gDirtyPrefs, 0u);
    const auto loaded = Dump();
    for (const auto& [block, text] : changed) EXPECT_EQ(loaded.at(block), text) << block;
    EXPECT_TRUE(Log().empty());

    // Only what changed is written again; nothing to write writes nothing.
    ASSERT_EQ(SavePreferences(), 0);
    AppendPropertyNames(kSignalNames, "Net Class");
    RecordChangedPreferences(kPrefsPropertyNamesBlock);
    ASSERT_EQ(SavePreferences(), 0);
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_NE(Dump().at("8 names").find("Net Class"), std::string::npos);
    EXPECT_EQ(Dump().at("12 recent"), changed.at("12 recent"));
}

// A new file is made under a temporary name of its own (O_EXCL) and renamed into place: the
// temporary file of another program writing its preferences meanwhile (under the one name that
// every writer once used) is left as it is.
TEST_F(PrefsFile, ANewFileLeavesAnotherWritersTemporaryFileAlone) {
    ASSERT_EQ(::mkdir(Folder().c_str(), 0700), 0);
    const std::string other = Folder() + "/.Plexa 6.0 Preferences.new";
    ASSERT_TRUE(test::WriteFile(other, "another program's preferences, half written"));
    ASSERT_EQ(LoadPreferences(), 0);
    std::string bytes;
    ASSERT_TRUE(test::ReadFile(other, bytes));
    EXPECT_EQ(bytes, "another program's preferences, half written");
    EXPECT_EQ(test::FolderNames(Folder()), (std::vector<std::string>{".Plexa 6.0 Preferences.new", "Plexa 6.0 Preferences"}));
}

TEST_F(PrefsFile, ABigEndianFileWithoutItsPlatformTagIsSwappedAndWrittenAgainNatively) {
    SetDefaultPreferences();
    PrefsRecord expected = *gPrefs;
    BE main;
    main.w(0x0023).w(0).w(1).w(150);
    uint32_t colors[9] = {0x02112233, 0x07000000, 0x01FF0000, 0x030000FF, 0x07000000,
                          0x0BFFFFFF, 0x09808080, 0x05FF00FF, 0x06FFFF00};
    for (uint32_t c : colors) main.l(c);
    for (int i = 0; i < 10; i++) main.w(uint16_t(i)).w(uint16_t(-i));
    main.s(std::string("\0\1ttxt\0\0", 8)).l(0xC0A80001).w(5000).w(5001).s(std::string(156, '\0'));
    ASSERT_EQ(main.bytes.size(), 256u);
    BE recent;
    recent.w(0).w(5).s("x.SHX").l(77).l(0xFFFFFFFF).w(0).w(0).w(0xFFFF);
    BE table;
    for (uint32_t i = 0; i < 64; i++) table.l(i * 0x010101);
    BE names;
    names.w(1).w(0).l(0xFFFFFFFF).l(0xFFFFFFFF);
    MakeFile("Plexa 6.0 Preferences", {{1, main.bytes}, {12, recent.bytes}, {13, table.bytes}, {8, names.bytes}});

    ASSERT_EQ(LoadPreferences(), 0) << ::testing::PrintToString(Log());
    expected.options = 0x0023;
    expected.silentNewSignal = 0;
    expected.zoomPercent = 150;
    std::memcpy(expected.colors, colors, sizeof colors);
    for (int i = 0; i < 10; i++) {
        Point* points = expected.pinNumberOffsets;
        points[i] = {int16_t(i), int16_t(-i)};
    }
    expected.reserved84 = 0;
    expected.isNew = 1;
    expected.simulatorAddress = 0xC0A80001;
    expected.listenPort = 5000;
    expected.connectPort = 5001;
    EXPECT_EQ(Hex(gPrefs, 256), Hex(&expected, 256));
    EXPECT_EQ(gGrafColors[63], 63u * 0x010101);
    ASSERT_EQ(gRecentFiles[kRecentSheets].size(), 1u);
    EXPECT_EQ(gRecentFiles[kRecentSheets][0].name, "x.SHX");
    EXPECT_EQ(gRecentFiles[kRecentSheets][0].time, 77u);
    EXPECT_TRUE(gPropertyNamesTable[kComponentNames].empty());
    EXPECT_EQ(gDirtyPrefs, uint32_t(kPrefsAllBlocks));

    // The next save writes the whole file in this machine's order.
    const auto swapped = Dump();
    ASSERT_EQ(SavePreferences(), 0);
    SetDefaultPreferences();
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_EQ(gDirtyPrefs, 0u);
    EXPECT_EQ(Dump(), swapped);
}

TEST_F(PrefsFile, AMainRecordFromTheOtherByteOrderKeepsItsDefaultsPastTheBytesRead) {
    // The platform tag of the other order; block 1 cut at each length.
    const uint32_t otherTag = std::endian::native == std::endian::little ? FourCC("PMac") : FourCC("IMac");
    SetDefaultPreferences();
    const PrefsRecord defaults = *gPrefs;
    PrefsRecord stored = defaults;
    stored.options = 0x0201;
    stored.colors[0] = 0x02445566;
    stored.colors[8] = 0x06010203;
    stored.portLabelPositions[1] = {9, 9};
    stored.simulatorAddress = 0x7F000002;
    stored.listenPort = 6000;
    stored.connectPort = 6001;
    PrefsRecord swapped = stored;
    ByteSwapTemplate(&swapped, kPrefsRecordTemplate);
    struct Case {
        size_t length;
        uint16_t listen, connect;
        uint32_t address;
    };
    const Case cases[] = {{96, 32005, 32001, 0x7F000002}, {97, 32005, 32001, 0x7F000002},
                          {98, 6000, 32001, 0x7F000002}, {94, 32005, 32001, 0},
                          {100, 6000, 6001, 0x7F000002}, {256, 6000, 6001, 0x7F000002}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        BE tag;
        tag.l(otherTag);
        MakeFile("Plexa 6.0 Preferences",
                 {{14, tag.bytes}, {1, std::string(reinterpret_cast<const char*>(&swapped), c.length)}});
        ASSERT_EQ(LoadPreferences(), 0);
        EXPECT_EQ(gPrefs->options, 0x0201);
        EXPECT_EQ(gPrefs->colors[0], 0x02445566u);
        EXPECT_EQ(gPrefs->colors[8], 0x06010203u);
        EXPECT_EQ(gPrefs->portLabelPositions[1].v, 9);
        EXPECT_EQ(gPrefs->simulatorAddress, c.address);
        EXPECT_EQ(gPrefs->listenPort, c.listen);
        EXPECT_EQ(gPrefs->connectPort, c.connect);
        EXPECT_EQ(gDirtyPrefs, uint32_t(kPrefsAllBlocks));
        std::remove(Current().c_str());
    }

    // A colour 8 out of range brings back colour 8 and the text offsets, and keeps the rest.
    stored.colors[8] = 0x10000000;
    swapped = stored;
    ByteSwapTemplate(&swapped, kPrefsRecordTemplate);
    BE tag;
    tag.l(otherTag);
    MakeFile("Plexa 6.0 Preferences", {{14, tag.bytes}, {1, std::string(reinterpret_cast<const char*>(&swapped), 256)}});
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_EQ(gPrefs->colors[8], 0x06FFFF00u);
    EXPECT_EQ(gPrefs->portLabelPositions[1].v, defaults.portLabelPositions[1].v);
    EXPECT_EQ(gPrefs->colors[0], 0x02445566u);
    EXPECT_EQ(gPrefs->listenPort, 6000);
}

TEST_F(PrefsFile, AnOlderFileIsCopiedWithoutItsOldBlocksAndKept) {
    SetDefaultPreferences();
    ChangeEverything();
    // Written under the oldest name.
    FileSpec old;
    ASSERT_EQ(GetPreferencesFileSpec(&old, 2, nullptr), 0);
    ASSERT_EQ(CreateDynamicFile(&old, "QPLX", "pref", "pref", 0), 0);
    DynamicFileRecord file{};
    ASSERT_EQ(OpenDynamicFile(&old, false, &file), 0);
    ASSERT_EQ(WritePreferences(&file, kPrefsAllBlocks), 0);
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
    const auto changed = Dump();
    std::string oldBytes;
    ASSERT_TRUE(test::ReadFile(Folder() + "/Plexa 5.0 Preferences", oldBytes));

    SetDefaultPreferences();
    const auto defaults = Dump();
    ASSERT_EQ(LoadPreferences(), 0);
    const auto migrated = Dump();
    EXPECT_EQ(migrated.at("1 main"), changed.at("1 main"));
    EXPECT_EQ(migrated.at("12 recent"), changed.at("12 recent"));
    EXPECT_EQ(migrated.at("4 scripts"), defaults.at("4 scripts"));
    EXPECT_EQ(migrated.at("5 folders"), defaults.at("5 folders"));
    EXPECT_EQ(gDirtyPrefs, uint32_t(kPrefsAllBlocks));
    std::string kept;
    ASSERT_TRUE(test::ReadFile(Folder() + "/Plexa 5.0 Preferences", kept));
    EXPECT_EQ(kept, oldBytes);
    EXPECT_EQ(test::FolderNames(Folder()), (std::vector<std::string>{"Plexa 5.0 Preferences", "Plexa 6.0 Preferences"}));

    ASSERT_EQ(SavePreferences(), 0);
    SetDefaultPreferences();
    ASSERT_EQ(LoadPreferences(), 0);
    EXPECT_EQ(gDirtyPrefs, 0u);
    EXPECT_EQ(Dump(), migrated);
}

TEST_F(PrefsFile, ListsPastTheirLimitsLoadClamped) {
    BE recent;
    for (int i = 0; i < 7; i++) recent.w(6).s("p" + std::to_string(i) + ".PRX").l(uint32_t(100 + i)).l(0xFFFFFFFF);
    recent.w(0);
    for (int i = 0; i < 12; i++) recent.w(7).s("s" + std::to_string(i % 10) + std::to_string(i / 10) + ".SHX").l(uint32_t(i == 3 ? 900 : 200 + i)).l(0xFFFFFFFF);
    recent.w(0).w(0);
    recent.w(5).s("dropd").l(1).l(0xFFFFFFFF).w(0).w(0xFFFF);
    BE groups;
    groups.w(4);
    {
        // One string block holding "AB".
        BE block;
        block.l(kStringBlockMagic).l(64).l(18).w(64).w(0).s("AB");
        groups.s(block.bytes);
        const uint32_t a = (16u << 10) | 1, b = (17u << 10) | 1;
        for (int g = 0; g < 4; g++) groups.l(12).w(1).w(0).l(a).l(b);
    }
    BE names;
    names.w(7);
    for (int k = 0; k < 7; k++) names.w(0).l(0xFFFFFFFF).l(0xFFFFFFFF);
    MakeFile("Plexa 6.0 Preferences", {{14, BE().s("PMac").bytes}, {12, recent.bytes}, {11, groups.bytes}, {8, names.bytes}});
    ASSERT_EQ(LoadPreferences(), 0) << ::testing::PrintToString(Log());

    ASSERT_EQ(gRecentFiles[kRecentProjects].size(), 5u);
    EXPECT_EQ(gRecentFiles[kRecentProjects].front().name, "p2.PRX");  // the two oldest dropped
    ASSERT_EQ(gRecentFiles[kRecentSheets].size(), 10u);
    EXPECT_EQ(gRecentFiles[kRecentSheets][0].name, "s20.SHX");  // the two oldest dropped, file order kept
    EXPECT_EQ(gRecentFiles[kRecentSheets][1].name, "s30.SHX");
    EXPECT_TRUE(gRecentFiles[kRecentLibraries].empty());
    for (const auto& group : gLibShortcuts) {
        ASSERT_EQ(group.size(), 1u);
        EXPECT_EQ(group[0].item, "B");
        EXPECT_EQ(group[0].library, "A");
    }
    for (const auto& list : gPropertyNamesTable) EXPECT_TRUE(list.empty());
}

TEST_F(PrefsFile, BadLengthsInTheRecentFilesEndTheBlockWithAStatus) {
    // A name past the limit, a folder handle that is not a dir spec, a list cut short.
    const std::string cases[] = {
        BE().w(300).s(std::string(300, 'x')).l(0).l(0xFFFFFFFF).w(0xFFFF).bytes,
        BE().w(1).s("x").l(0).l(2).s("ab").w(0xFFFF).bytes,
        BE().w(4).s("ab").bytes,
    };
    for (const auto& bytes : cases) {
        MakeFile("Plexa 6.0 Preferences", {{14, BE().s("PMac").bytes}, {12, bytes}});
        Log().clear();
        EXPECT_NE(LoadPreferences(), 0);
        EXPECT_EQ(Log().size(), 1u);
        for (const auto& list : gRecentFiles) EXPECT_TRUE(list.empty());
        std::remove(Current().c_str());
    }
}

TEST_F(PrefsFile, TruncatedAndMutatedFilesEndWithDefaultsOrTheirOwnSettingsAndALoggedStatus) {
    ASSERT_EQ(LoadPreferences(), 0);
    const auto defaults = Dump();
    ChangeEverything();
    ASSERT_EQ(SavePreferences(), 0);
    const auto saved = Dump();
    std::string whole;
    ASSERT_TRUE(test::ReadFile(Current(), whole));

    // Cut anywhere: each block holds either its saved settings or the defaults.
    for (size_t length = 0; length < whole.size(); length += 1 + length / 16) {
        SCOPED_TRACE(length);
        ASSERT_TRUE(test::WriteFile(Current(), whole.substr(0, length)));
        Log().clear();
        const OSStatus st = LoadPreferences();
        if (st) {
            EXPECT_FALSE(Log().empty());
        }
        for (const auto& [block, text] : Dump())
            EXPECT_TRUE(text == defaults.at(block) || text == saved.at(block)) << block;
    }

    // Bytes changed at random: no crash, a failure is reported, and what loaded saves and loads.
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(60);
    for (uint64_t round = 0; round < rounds; round++) {
        std::string bytes = whole;
        for (int i = 0, n = 1 + int(rng() % 8); i < n; i++) bytes[rng() % bytes.size()] = char(rng());
        ASSERT_TRUE(test::WriteFile(Current(), bytes));
        Log().clear();
        if (LoadPreferences()) {
            EXPECT_FALSE(Log().empty());
        }
    }
}

TEST_F(PrefsFile, ASaveKilledHalfWayLeavesAFileThatLoads) {
    DirectoryRef temporary;
    ASSERT_EQ(VXGetTempDirectory(&temporary), 0);
    ASSERT_EQ(LoadPreferences(), 0);
    ChangeEverything();
    ASSERT_EQ(SavePreferences(), 0);
    const auto saved = Dump();
    std::mt19937 rng(test::TestSeed());
    const uint64_t rounds = test::StressCount(4);
    for (uint64_t round = 0; round < rounds; round++) {
        int pipeEnds[2];
        ASSERT_EQ(::pipe(pipeEnds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeEnds[0]);
            // Saves the same settings over and over, saying so after each.
            for (;;) {
                RecordChangedPreferences(kPrefsAllBlocks);
                if (SavePreferences() != 0) ::_exit(3);
                if (::write(pipeEnds[1], "s", 1) != 1) ::_exit(4);
            }
        }
        ::close(pipeEnds[1]);
        const int savesBeforeKill = 1 + int(rng() % 5);
        char c;
        for (int saves = 0; saves < savesBeforeKill && ::read(pipeEnds[0], &c, 1) == 1;) saves++;
        ::usleep(useconds_t(rng() % 3000));
        ::kill(child, SIGKILL);
        int exitStatus = 0;
        ASSERT_EQ(::waitpid(child, &exitStatus, 0), child);
        ::close(pipeEnds[0]);
        ASSERT_TRUE(WIFSIGNALED(exitStatus)) << WEXITSTATUS(exitStatus);

        SetDefaultPreferences();
        Log().clear();
        ASSERT_EQ(LoadPreferences(), 0) << ::testing::PrintToString(Log());
        EXPECT_EQ(Dump(), saved);
    }
}

TEST_F(PrefsFile, SmallRules) {
    SetDefaultPreferences();
    RecordChangedPreferences(0);
    SetIndexedGrafColor(64 + 3, gGrafColors[3]);
    EXPECT_EQ(gDirtyPrefs, 0u);
    SetIndexedGrafColor(3, 0x123456);
    EXPECT_EQ(gDirtyPrefs, uint32_t(kPrefsColorTableBlock));
    EXPECT_EQ(GetIndexedGrafColor(67), 0x123456u);
    EXPECT_EQ(GetIndexedGrafColor(100), gPrefs->colors[0]);
    FileSpec spec;
    EXPECT_EQ(GetPreferencesFileSpec(&spec, 3, nullptr), -50);
    EXPECT_EQ(GetPlatformByteOrder(FourCC("M68K")), 1);
    EXPECT_EQ(GetPlatformByteOrder(FourCC("IW32")), 0);
    EXPECT_EQ(AddShortcutToGroup(kPowerShortcuts, "GND", "Wire Symbols"), 0);
    EXPECT_EQ(AddShortcutToGroup(kPowerShortcuts, "GND", "Other"), 1);

    // A folder that cannot hold the file: the message, and the defaults stay.
    ASSERT_TRUE(test::WriteFile(Folder() + "x", ""));
    test::EnvScope env("XDG_CONFIG_HOME", Folder() + "x");
    EXPECT_NE(LoadPreferences(), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{std::string("message: ") + kPrefsMessageNoAccess}));
}

}  // namespace
}  // namespace plexa

namespace plexa {
namespace {

// Block 8 read from its bytes: with swap set, the bytes are big-endian as another machine wrote
// them.
OSStatus ReadNames(const std::string& bytes, bool swap) {
    Handle h = AllocHandleWithData(gGenPool, bytes.data(), uint32_t(bytes.size()));
    StreamRecord* s = nullptr;
    EXPECT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(h), &s), 0);
    if (swap) s->flags |= kStreamSwapOnRead;
    const OSStatus st = ReadPropertyNamesTable(s);
    DisposeStream(s);
    MemFree(h);
    return st;
}

std::string NamesText() {
    std::string out;
    for (const auto& list : gPropertyNamesTable) {
        for (const auto& name : list) out += name + ",";
        out += "|";
    }
    return out;
}

// One list of block 8 in big-endian form: the count, a string block holding the names, and the
// attribute records (empty values) of `records` of them.
std::string BigEndianList(const std::vector<std::string>& names, uint16_t count, size_t records,
                          uint32_t blockBytes = 0) {
    std::string strings;
    std::vector<uint32_t> specs;
    for (const auto& n : names) {
        specs.push_back(((16u + uint32_t(strings.size())) << 10) | uint32_t(n.size()));
        strings += n;
    }
    BE block;
    block.l(kStringBlockMagic).l(64).l(uint32_t(16 + strings.size())).w(64).w(0).s(strings);
    if (blockBytes) block.bytes.resize(blockBytes);
    BE attributes;
    for (size_t i = 0; i < records; i++) attributes.l(specs[i % specs.size()]).l(0).w(0).w(0);
    BE list;
    list.w(count).l(uint32_t(block.bytes.size())).s(block.bytes).l(uint32_t(attributes.bytes.size())).s(attributes.bytes);
    return list.bytes;
}

TEST_F(PrefsFile, TheNamesBlockReadsInBothByteOrdersAndRefusesCountsItsHandlesCannotHold) {
    // From a big-endian writer: list 0 and list 2 with names, the rest empty.
    BE block;
    block.w(5).s(BigEndianList({"Value", "Tolerance"}, 2, 2)).w(0).l(0xFFFFFFFF).l(0xFFFFFFFF);
    block.s(BigEndianList({"Priority"}, 1, 1));
    for (int k = 3; k < 5; k++) block.w(0).l(0xFFFFFFFF).l(0xFFFFFFFF);
    ASSERT_EQ(ReadNames(block.bytes, true), 0);
    EXPECT_EQ(NamesText(), "Value,Tolerance,||Priority,|||");
    // Written in this machine's order and read back: the same lists.
    const std::string native = Written([](StreamRecord* s) { return WritePropertyNamesTable(s); });
    std::string bytes;
    for (size_t i = 0; i + 1 < native.size(); i += 2) bytes += char(std::stoi(native.substr(i, 2), nullptr, 16));
    for (auto& list : gPropertyNamesTable) list.clear();
    ASSERT_EQ(ReadNames(bytes, false), 0);
    EXPECT_EQ(NamesText(), "Value,Tolerance,||Priority,|||");

    // A count beyond the attribute handle, or a string block shorter than its header: the list
    // being read ends empty, those read before stay, and the read fails.
    struct Case {
        const char* what;
        std::string second;
    };
    const Case cases[] = {
        {"count beyond the records", BigEndianList({"Rating"}, 3, 1)},
        {"block shorter than its header", BigEndianList({"Rating"}, 1, 1, 8)},
    };
    for (const Case& c : cases) {
        AppendPropertyNames(kPinNames, "Stale");
        BE bad;
        bad.w(5).s(BigEndianList({"Value"}, 1, 1)).s(c.second);
        EXPECT_NE(ReadNames(bad.bytes, true), 0) << c.what;
        EXPECT_EQ(NamesText(), "Value,||Priority,|||") << c.what;
    }
}

// The drawing colours of the sheet kinds come from the preferred colour table: each kind draws in
// its own colour, the background in the table's.
TEST(PreferredSheetColours, EachKindDrawsInItsTableColour) {
    PrefsRecord* saved = gPrefs;
    gPrefs = nullptr;  // the table and the colour display of a run without preferences
    QZPort* port = QZPortAlloc(nullptr);
    QZSetCurrentPort(port);
    for (int16_t kind : {0, 2, 3, 7}) {
        SetPreferredSheetForeColor(kind);
        // The brush of the colour names it.
        EXPECT_EQ(VXGetForeColor() & 0xFF000000u, SheetColorTable()[kind] & 0xFF000000u) << kind;
    }
    QZSetColor(nullptr, 0x00102030, true);
    SetPreferredSheetBackColor();
    EXPECT_EQ(VXGetBackColor() & 0xFF000000u, SheetColorTable()[5] & 0xFF000000u);
    QZSetCurrentPort(nullptr);
    QZPortFree(port);
    gPrefs = saved;
}

}  // namespace
}  // namespace plexa
