// The recent files: an eleventh sheet takes the place of the sheet opened longest ago, a file
// already listed only has its time renewed, a listed file that is gone leaves the list; played
// on the running editor over three runs, whose lists the preferences file carries between them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "app/prefs.h"
#include "app/recentmenus.h"
#include "app/shell.h"
#include "foundation/bitarray.h"
#include "foundation/datetime.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/types.h"
#include "graphics/fonts.h"
#include "graphics/textstyle.h"
#include "model/themes.h"
#include "toolkit/vx_menus.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

std::vector<std::string> Names(int32_t list) {
    std::vector<std::string> names;
    for (const auto& entry : gRecentFiles[list]) names.push_back(entry.name);
    return names;
}

// With the toolkit up, as the menu is rebuilt on every change.
class RecentFiles : public AppDialogsTest {};

TEST_F(RecentFiles, ListedOnceInOrderAndTheOldestGoesWhenFull) {
    TempDir dir;
    InitRecentFiles();
    auto open = [&](const std::string& name) {
        ASSERT_TRUE(WriteFile(dir.file(name), "x"));
        FileSpec spec;
        ASSERT_EQ(FileSpecFromPathName(nullptr, dir.file(name).c_str(), &spec), 0);
        UpdateRecentFilesMenu(&spec, FourCC("SCH4"));
    };
    for (const char* name : {"b.SHX", "d.SHX", "a.SHX", "c.SHX"}) open(name);
    // Each new name goes before the first that sorts below it.
    EXPECT_EQ(Names(kRecentSheets), (std::vector<std::string>{"d.SHX", "c.SHX", "b.SHX", "a.SHX"}));
    gRecentFiles[kRecentSheets][2].time = 5;  // b.SHX the oldest
    open("b.SHX");
    EXPECT_EQ(Names(kRecentSheets).size(), 4u);
    EXPECT_GT(gRecentFiles[kRecentSheets][2].time, 5u);
    for (int i = 0; i < 6; ++i) open("s" + std::to_string(i) + ".SHX");
    ASSERT_EQ(Names(kRecentSheets).size(), 10u);
    for (auto& entry : gRecentFiles[kRecentSheets]) entry.time = entry.name == "c.SHX" ? 7 : 9;
    open("e.SHX");
    const std::vector<std::string> names = Names(kRecentSheets);
    EXPECT_EQ(names.size(), 10u);
    EXPECT_EQ(std::count(names.begin(), names.end(), "c.SHX"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "e.SHX"), 1);
    // Another type of file is not listed.
    FileSpec other;
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir.file("e.SHX").c_str(), &other), 0);
    UpdateRecentFilesMenu(&other, FourCC("TEXT"));
    EXPECT_EQ(Names(kRecentSheets).size(), 10u);
    InitRecentFiles();
}

// The Font menu: the system's fonts less the excluded ones. With some excluded, a separator and
// "Others..." end it, and "Others..." is checked for a style whose font is left out; with every
// font excluded "Select..." stands alone; with none excluded neither is added.
TEST_F(RecentFiles, TheFontMenuLeavesOutTheExcludedFonts) {
    SchStylesInit();
    auto items = [] {
        std::vector<std::string> texts;
        VXMenuRecord* menu = VXBuildMenu(&gFontMenuDef);
        for (int32_t item = 1; menu && item <= VXCountMenuItems(menu); ++item) {
            char text[128];
            VXGetMenuItemText(menu, true, item, text);
            texts.emplace_back(text);
        }
        return texts;
    };
    auto exclude = [](const std::vector<uint16_t>& indexes) {
        BitArray bits = CreateBitArray(gGenPool, VXCountFonts() + 8);
        for (uint16_t index : indexes) BitArraySet(bits, index);
        RecordFontPreferences(bits);
        DisposeBitArray(bits);
        BuildFontMenu();
    };
    exclude({});
    const std::vector<std::string> all = items();
    const std::vector<uint16_t> indexes = FontMenuIndexes();
    ASSERT_GE(all.size(), 2u);
    ASSERT_EQ(indexes.size(), all.size());
    EXPECT_EQ(std::count(all.begin(), all.end(), "Others..."), 0);
    txStyle style{};
    style.fontName = InternFontName(all[0]);
    EXPECT_EQ(GetFontMenuItemNumber(&style), 1);
    EXPECT_EQ(MarkFontMenuItem(VXBuildMenu(&gFontMenuDef), &style), 1);

    exclude({indexes[0]});
    std::vector<std::string> shown = items();
    ASSERT_EQ(shown.size(), all.size() + 1) << "one font less, a separator and Others... more";
    EXPECT_TRUE(std::equal(all.begin() + 1, all.end(), shown.begin()));
    EXPECT_EQ(shown.back(), "Others...");
    EXPECT_EQ(FontMenuIndexes().size(), all.size() - 1);
    EXPECT_EQ(GetFontMenuItemNumber(&style), 0) << "the excluded font has no item";
    VXMenuRecord* menu = VXBuildMenu(&gFontMenuDef);
    const int32_t others = VXCountMenuItems(menu);
    EXPECT_EQ(MarkFontMenuItem(menu, &style), others);
    EXPECT_TRUE(VXGetMenuItemChecked(menu, true, others));

    exclude(indexes);
    EXPECT_EQ(items(), std::vector<std::string>{"Select..."});
    EXPECT_TRUE(FontMenuIndexes().empty());

    exclude({});
    EXPECT_EQ(items(), all);
}

#ifdef PLEXA_PROGRAM

// The items of Open Recent in a logged File menu ("log-menu File"), each followed by a blank.
std::string RecentListed(const ScriptedRunResult& result) {
    std::string listed;
    bool inRecent = false;
    for (const std::string& line : result.log) {
        if (line.find("Open Recent") != std::string::npos) inRecent = true;
        else if (inRecent && line.find("Clear History") != std::string::npos) break;
        else if (inRecent) listed += line.substr(line.find_first_not_of(' '), line.find('\t') - line.find_first_not_of(' ')) + " ";
    }
    return listed;
}

TEST(RecentFilesRun, TheEleventhSheetEvictsTheOldestInTheRunningEditor) {
    ScriptedRun run(PLEXA_PROGRAM);
    auto sheet = [&](int i) {
        const std::string name = std::string("S") + (i < 10 ? "0" : "") + std::to_string(i);
        const std::string at = run.dir().file(name + ".SHX");
        return std::make_pair(name, at);
    };
    // Empty sheets made by the editor itself: the first run saves eleven new sheets.
    std::string make = "wait-window Untitled 1\nwait-drawn Untitled 1\n";
    for (int i = 1; i <= 11; ++i)
        make += "panel " + sheet(i).second + "\nmenu File > Save\nwait-window " + sheet(i).first +
                "\nkey Ctrl+N\nwait-window Untitled*\n";
    make += "quit\n";
    ASSERT_TRUE(run.Run(make).Exited(0));

    // The second run opens S01, the third S02 to S10 (a later second), the fourth S11.
    auto openRun = [&](int from, int to, bool show) {
        std::vector<std::string> files;
        std::string script;
        for (int i = from; i <= to; ++i) {
            files.push_back(sheet(i).second);
            script += "wait-window " + sheet(i).first + "\n";
        }
        if (show) script += "screenshot-menu " + OutputPath("recent-files-menu.png") + " File\nlog-menu File\n";
        script += "quit\n";
        return run.Run(script, files);
    };
    // Opening times are kept in whole seconds: each run starts once the second has turned.
    auto nextSecond = [] {
        const int32_t now = VXGetCurrentDateTime(1);
        while (VXGetCurrentDateTime(1) == now) std::this_thread::yield();
    };
    ASSERT_TRUE(openRun(1, 1, false).Exited(0));
    nextSecond();
    ASSERT_TRUE(openRun(2, 10, false).Exited(0));
    nextSecond();
    const ScriptedRunResult result = openRun(11, 11, true);
    ASSERT_TRUE(result.Exited(0)) << result.errors;
    const std::string listed = RecentListed(result);
    // The newest first in name order; S01, opened longest ago, is gone.
    EXPECT_EQ(listed, "S11 S10 S09 S08 S07 S06 S05 S04 S03 S02 - ");
}

// A sheet saved for the first time and a project made in this run are in Open Recent at once,
// without waiting for a later run to open them.
TEST(RecentFilesRun, SheetsSavedAndProjectsMadeNowAreListed) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\nwait-drawn Untitled 1\n"
        "panel " + run.dir().file("Fresh.SHX") + "\nmenu File > Save\nwait-window Fresh\n"
        "panel " + run.dir().file("Made.PRX") + "\nmenu File > New > Project...\nwait-window Made Settings\n"
        "button OK\nwait-window Made\n"
        "screenshot-menu " + OutputPath("recent-files-made-now.png") + " File\nlog-menu File\nquit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::string listed = RecentListed(result);
    EXPECT_EQ(listed, "Made - Fresh - ");
}

#endif

}  // namespace
}  // namespace plexa::test
