// Saving library items through the running program: the shipped library opens for reading, and
// saving a change to it asks for a place of the person's own and writes a copy there, never the
// program's file; a library opened and closed without a change is not written; Ctrl+S in a symbol
// editor saves its item, and the window shows it; closing a changed symbol editor asks first; a
// click of the pin tool makes a pin.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/pixels.h"
#include "library/lib_tool.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

namespace fs = std::filesystem;

// The shipped library of the build that the program belongs to.
std::string ShippedLibrary() {
    const std::string program = PLEXA_PROGRAM;
    return program.substr(0, program.rfind('/', program.rfind('/') - 1)) +
           "/resources/Essentials/Plexa/Libraries/Basic Parts.LBX";
}

// A file's bytes and its modification time, to tell whether anything wrote it.
struct FileState {
    std::string bytes;
    int64_t modified = 0;
    bool operator==(const FileState&) const = default;
};
FileState StateOf(const std::string& path) {
    FileState state;
    EXPECT_TRUE(ReadFile(path, state.bytes)) << path;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) state.modified = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return state;
}

// What lib-tool lists of a library in detail.
std::string Listing(const std::string& library) {
    const char* argv[] = {"lib-tool", "list", "-l", library.c_str()};
    std::string out, err;
    EXPECT_EQ(RunLibTool(4, argv, &out, &err), 0) << err;
    return out;
}

// The item's lines of a listing.
std::string ItemOf(const std::string& listing, const std::string& item) {
    const size_t at = listing.find("\n" + item + "\n");
    if (at == std::string::npos) return "";
    size_t end = at + item.size() + 2;
    while (end < listing.size() && listing[end] == ' ') {
        const size_t line = listing.find('\n', end);
        end = line == std::string::npos ? listing.size() : line + 1;
    }
    return listing.substr(at + 1, end - at - 1);
}

// A copy of the shipped library in the run's folder, which the person may change; its path.
std::string OwnCopy(const ScriptedRun& run) {
    const std::string mine = run.dir().file("Basic Parts.LBX");
    std::string bytes;
    EXPECT_TRUE(ReadFile(ShippedLibrary(), bytes) && WriteFile(mine, bytes));
    return mine;
}

// Points of the library "Basic Parts" and of a component's symbol editor: the Capacitor's row
// (the third), the pin and line tools and two places on the drawing.
const std::string kCapacitorRow = "52 47", kPinTool = "157 187", kLineTool = "157 218";
const std::string kOpenCapacitor = "wait-window Basic Parts\nwait-drawn Basic Parts\nclick " + kCapacitorRow +
                                   " double\nwait-window Basic Parts : Capacitor\nwait-drawn Basic Parts : Capacitor\n";
// The parts tree of its symbol editor, the rows below its caption.
constexpr int kTreeLeft = 8, kTreeRight = 130, kTreeTop = 180, kTreeBottom = 400;
const std::string kDrawLine = "click " + kLineTool + "\ndrag 300 300 400 300\n";

// The program's own library, changed and saved with Ctrl+S in the symbol editor: the save asks
// for a place, starting with the person's library folder, and the copy goes there; the program's
// file is not touched. The windows' titles show the change until the save, and after it the
// library editor follows the copy. The next change, closed with its question answered "Don't
// Save", leaves the copy as it was saved.
TEST(LibSaveRun, TheShippedLibraryIsReadOnlyAndASaveWritesThePersonsOwnCopy) {
    const std::string shipped = ShippedLibrary();
    const FileState before = StateOf(shipped);
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string copy = run.dir().file("data") + "/plexa/Libraries/Basic Parts.LBX";
    const std::string question = OutputPath("libsave-close-question.png");
    const ScriptedRunResult result = run.Run(
        kOpenCapacitor +
        "log-modified\n" + kDrawLine +
        "log-modified\n"
        "log-modified Basic Parts\n"
        "log-menu File\n"
        "panel " + copy + "\n"
        "key Ctrl+S\n"
        "wait-drawn Basic Parts : Capacitor\n"
        "log-modified\n"
        "log-modified Basic Parts\n"
        "drag 300 330 400 330\n"
        "close Basic Parts : Capacitor\n"
        "wait-window Plexa\n"
        "wait-drawn Plexa\n"
        "screenshot-screen " + question + "\n"
        "button Don't Save\n"
        "wait-no-window Basic Parts : Capacitor\n"
        "log-modified Basic Parts\n"
        "close Basic Parts\n",
        {shipped});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("modified "),
              (std::vector<std::string>{"modified no", "modified yes", "modified yes", "modified no", "modified no",
                                        "modified no"}));
    EXPECT_EQ(result.Lines("  Save\t"), std::vector<std::string>{"  Save\tenabled"});
    EXPECT_TRUE(fs::exists(question));
    EXPECT_TRUE(StateOf(shipped) == before) << "the program's own library was written";
    // The copy holds the saved change: the capacitor's drawing grew by the line.
    std::string saved, original;
    ASSERT_TRUE(ReadFile(copy, saved)) << result.errors;
    EXPECT_NE(saved, before.bytes);
    EXPECT_EQ(ItemOf(Listing(copy), "Resistor"), ItemOf(Listing(shipped), "Resistor"));
    // The copy's folder joined the library paths kept in the preferences.
    std::string preferences;
    ASSERT_TRUE(ReadFile(run.dir().file("config") + "/plexa/Plexa 6.0 Preferences", preferences));
    EXPECT_NE(preferences.find("plexa/Libraries"), std::string::npos);
}

// Once a change to the program's own library is saved into the person's copy, a sheet's library
// pane lists that library once (the copy) with the program's other libraries after it: its
// second row is "Wire Symbols", which a double click opens.
TEST(LibSaveRun, ThePersonsCopyOfTheShippedLibraryIsListedOnce) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string copy = run.dir().file("data") + "/plexa/Libraries/Basic Parts.LBX";
    const std::string pane = OutputPath("libsave-library-pane.png");
    const ScriptedRunResult result = run.Run(
        kOpenCapacitor + kDrawLine +
        "panel " + copy + "\n"
        "key Ctrl+S\n"
        "wait-drawn Basic Parts : Capacitor\n"
        "close Basic Parts : Capacitor\n"
        "wait-no-window Basic Parts : Capacitor\n"
        "menu File > New > Schematic Sheet\n"
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "screenshot " + pane + " Untitled 1\n"
        "click 257 43 double\n"  // the library list's second row
        "wait-window Wire Symbols\n"
        "log-windows\n"
        "close Wire Symbols\n"
        "close Basic Parts\n"
        "close Untitled 1\n",
        {ShippedLibrary()});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(copy));
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Wire Symbols | Untitled 1 | Basic Parts"});
    EXPECT_TRUE(fs::exists(pane));
}

// A library opened, its items opened in their symbol editors and closed again, and the library
// closed, all without a change, is not written: neither the program's own nor a copy.
TEST(LibSaveRun, ALibraryOpenedAndClosedWithoutAChangeIsNotWritten) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string mine = OwnCopy(run);
    for (const std::string& library : {ShippedLibrary(), mine}) {
        SCOPED_TRACE(library);
        const FileState before = StateOf(library);
        const ScriptedRunResult result = run.Run(
            "wait-window Basic Parts\n"
            "wait-drawn Basic Parts\n"
            "menu Edit > Select All\n"
            "key Return\n"
            "button Yes\n"  // 13 windows
            "wait-window Basic Parts : Voltage Source\n"
            "wait-drawn Basic Parts : Voltage Source\n"
            "close Basic Parts : Resistor\n"
            "wait-no-window Basic Parts : Resistor\n"
            "log-windows\n"
            "close Basic Parts\n",
            {library});
        ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
        // No question came up on the way.
        ASSERT_EQ(result.Lines("windows:").size(), 1u);
        EXPECT_EQ(result.Lines("windows:")[0].find("Plexa"), std::string::npos) << result.Lines("windows:")[0];
        EXPECT_TRUE(StateOf(library) == before);
    }
}

// A library of the person's own: a click of the pin tool makes a pin, of a new pin's type
// ("Unspecified"), confirmed in its dialog; closing the changed editor asks, "Cancel" keeps it
// open, "Save" writes the library, which then holds the new pin.
TEST(LibSaveRun, AClosedChangedSymbolEditorAsksAndSavesItsNewPin) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string mine = OwnCopy(run);
    const std::string pin = OutputPath("libsave-clicked-pin.png");
    const ScriptedRunResult result = run.Run(
        kOpenCapacitor +
        "click " + kPinTool + "\n"
        "click 300 300\n"
        "wait-window Pin Information\n"
        "wait-drawn Pin Information\n"
        "button OK\n"
        "wait-no-window Pin Information\n"
        "wait-drawn Basic Parts : Capacitor\n"
        "screenshot " + pin + " Basic Parts : Capacitor\n"
        "close Basic Parts : Capacitor\n"
        "button Cancel\n"
        "log-windows\n"
        "close Basic Parts : Capacitor\n"
        "button Save\n"
        "wait-no-window Basic Parts : Capacitor\n"
        "log-modified Basic Parts\n"
        "close Basic Parts\n",
        {mine});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Basic Parts : Capacitor | Basic Parts"});
    EXPECT_EQ(result.Lines("modified "), std::vector<std::string>{"modified no"});
    EXPECT_TRUE(fs::exists(pin));
    const std::string capacitor = ItemOf(Listing(mine), "Capacitor");
    EXPECT_NE(capacitor.find("    pin 0 \"1\" type 7\n    pin 1 \"2\" type 7\n    pin 2 \"\" type 0\n"), std::string::npos)
        << capacitor;
}

// The parts tree of a single-part item: under the symbol's row, the one part's row (selected, as
// the current part) is named "Default" though the part has no suffix, not left blank.
TEST(LibSaveRun, ThePartsTreeNamesThePartWithoutASuffix) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string shot = OutputPath("libsave-parts-tree.png");
    std::remove(shot.c_str());
    const ScriptedRunResult result = run.Run(kOpenCapacitor + "screenshot " + shot +
                                             " Basic Parts : Capacitor\n"
                                             "close Basic Parts : Capacitor\n"
                                             "close Basic Parts\n",
                                             {ShippedLibrary()});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    VXPixels* picture = VXCreatePixelImageFromURL(shot.c_str(), false, nullptr);
    ASSERT_NE(picture, nullptr);
    ASSERT_EQ(picture->depth, 32);
    const auto at = [&](int x, int y) {
        uint32_t word = 0;
        std::memcpy(&word, picture->bits + size_t(y) * picture->rowBytes + 4 * size_t(x), 4);
        return word & 0xFFFFFF;
    };
    // The selected row: the rows of the tree painted in one colour that is not white at their
    // left end; some pixel of them, its text, differs from that colour.
    int rows = 0, marked = 0;
    for (int y = kTreeTop; y < kTreeBottom; ++y) {
        const uint32_t paint = at(kTreeLeft, y);
        if (paint == 0xFFFFFF || paint != at(kTreeLeft + 1, y)) continue;
        ++rows;
        for (int x = kTreeLeft; x < kTreeRight; ++x)
            if (at(x, y) != paint) {
                ++marked;
                break;
            }
    }
    EXPECT_GT(rows, 10);
    EXPECT_GT(marked, 3);
    VXDestroyPixelImage(picture);
}

// File > New > Library... makes the library file where its panel says, offers the folder to the
// library paths and opens the new library in its window.
TEST(LibSaveRun, FileNewLibraryMakesTheLibraryThePanelNames) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string made = run.dir().file("Mine.LBX");
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n"
        "panel " + made + "\n"
        "menu File > New > Library...\n"
        "button Add it\n"
        "wait-window Mine\n"
        "log-windows\n"
        "close Mine\n"
        "wait-no-window Mine\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Mine | Untitled 1"});
    EXPECT_EQ(Listing(made), "");  // a library, of no items yet
}

#endif

}  // namespace
}  // namespace plexa::test
