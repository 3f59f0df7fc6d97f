// An item of the library pane dragged onto the sheet with the real pointer (X events through
// xdotool, the window manager's grab and stacking as a person has them): released over the sheet
// it is placed; released beyond the window it is not. The saved sheet is read back with
// sheet-dump. A picture of the drop goes to <build>/test-output/e2e-real/.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e-real/x_desktop.h"
#include "tests/support/child_process.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

// Content coordinates of the sheet window (below its menu bar of 21): the top tool bar's
// disclosure, the item list's rows "Capacitor" and "Diode" of the default library once it is
// expanded, and the sheet pad's point (h, v) at 100 %.
constexpr int kMenuBar = 21;
struct At {
    int x, y;
};
constexpr At kDisclosure{16, 20}, kCapacitorRow{440, 62}, kDiodeRow{440, 94};
At Pad(int h, int v) { return {h + 38, v + 111}; }

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(RealLibraryDrag, AnItemDraggedWithThePointerIsPlacedWhereReleasedOverTheSheetOnly) {
    if (const std::string missing = XDesktop::Missing(); !missing.empty())
        GTEST_SKIP() << "missing for a desktop (scripts/setup installs it): " << missing;
    TempDir dir;
    for (const char* folder : {"home", "config", "data", "cache", "runtime", "work"})
        fs::create_directories(dir.file(folder));
    fs::permissions(dir.file("runtime"), fs::perms::owner_all);
    const std::string sheet = dir.file("work/RC.SHX");
    fs::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    fs::create_directories(OutputPath("e2e-real"));
    XDesktop desk(dir.file("home"));
    ASSERT_TRUE(desk.Ready()) << desk.Error();
    ChildProcess plexa(PLEXA_PROGRAM, {sheet},
                       {"QT_QPA_PLATFORM=xcb", "DISPLAY=" + desk.Display(), "HOME=" + dir.file("home"),
                        "XDG_CONFIG_HOME=" + dir.file("config"), "XDG_DATA_HOME=" + dir.file("data"),
                        "XDG_CACHE_HOME=" + dir.file("cache"), "XDG_RUNTIME_DIR=" + dir.file("runtime"),
                        // The window system's keyboard library reads past the end of its strings.
                        "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0:"
                        "detect_stack_use_after_return=1"},
                       dir.file("errors"), dir.file("work"));
    ASSERT_GT(plexa.pid(), 0);
    const std::string window = desk.WaitWindow("RC");
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(desk.Activate(window));
    ASSERT_TRUE(desk.WaitStill(window));
    const XBox box = desk.Geometry(window);
    auto x = [&box](At at) { return box.x + at.x; };
    auto y = [&box](At at) { return box.y + kMenuBar + at.y; };
    desk.Click(x(kDisclosure), y(kDisclosure));
    ASSERT_TRUE(desk.WaitStill(window));
    // "Diode" onto the sheet; "Capacitor" beyond the window's right edge, where no window is.
    const At drop = Pad(242, 301);
    desk.Drag(x(kDiodeRow), y(kDiodeRow), x(drop), y(drop));
    ASSERT_TRUE(desk.WaitStill(window));
    desk.Drag(x(kCapacitorRow), y(kCapacitorRow), box.x + box.width + 10, y(drop));
    ASSERT_TRUE(desk.WaitStill(window));
    EXPECT_TRUE(desk.Shot(OutputPath("e2e-real/library-drag.png")));
    desk.Key("ctrl+s");
    ASSERT_TRUE(desk.WaitStill(window));
    desk.CloseBox(window);
    const int status = plexa.Wait(seconds(240));
    std::string errors;
    ReadFile(dir.file("errors"), errors);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << errors;
    for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"})
        EXPECT_EQ(errors.find(report), std::string::npos) << errors;
    const std::string out = dir.file("work/dump.txt");
    const std::string command =
        std::string(PLEXA_TOOLS_DIR) + "/sheet-dump '" + sheet + "' >'" + out + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::string dump;
    ASSERT_TRUE(ReadFile(out, dump));
    EXPECT_EQ(Count(dump, "name 0 \"Diode\""), 1u) << dump;
    EXPECT_NE(dump.find("at (240,300)"), std::string::npos) << dump;
    EXPECT_EQ(Count(dump, "\"Capacitor\""), 0u) << dump;
}

}  // namespace
}  // namespace plexa::test
