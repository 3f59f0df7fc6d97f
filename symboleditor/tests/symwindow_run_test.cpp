// The symbol editor's window in the running program: a library item opened from its library's
// window by a double click, drawn, closed back into the library, and the library saved and listed.
#include <gtest/gtest.h>

#include <string>

#include <filesystem>

#include "files/filesymbols.h"
#include "files/sheetfile.h"
#include "foundation/memory.h"
#include "library/lib_tool.h"
#include "model/libitemdump.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SymWindowRun : public LibEditorTest {
protected:
    static std::string List(const std::string& path) {
        const char* argv[] = {"lib-tool", "list", "-l", path.c_str()};
        std::string out, err;
        EXPECT_EQ(RunLibTool(4, argv, &out, &err), 0) << err;
        return out;
    }
};

TEST_F(SymWindowRun, ALibraryItemOpensInItsWindowAndClosesBackIntoTheLibrary) {
    Library("Parts.LBX", {{"Gate"}, {"Latch"}});
    const std::string path = dir_.file("Parts.LBX");
    const std::string before = List(path);
    const std::string picture = OutputPath("symwindow-program.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Parts\n"
        "wait-drawn Parts\n"
        "click 52 9 double\n"
        "wait-window Parts : Gate\n"
        "wait-drawn Parts : Gate\n"
        "screenshot " + picture + " Parts : Gate\n"
        "log-windows\n"
        "close Parts : Gate\n"
        "wait-no-window Parts : Gate\n"
        "key Ctrl+S\n"
        "close Parts\n"
        "wait-no-window Parts\n"
        "quit\n",
        {path});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    const std::vector<std::string> windows = result.Lines("windows:");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].rfind("windows: Parts : Gate | Parts", 0), 0u) << windows[0];
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
    // Nothing was edited: the library lists as it did.
    EXPECT_EQ(List(path), before);
}

TEST_F(SymWindowRun, ASheetsNewFileSymbolGetsItsPortsAsPinsAndIsSavedWithTheSheet) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string sheet = run.dir().file("RC.SHX");
    std::filesystem::copy_file(SourcePath("tools/tests/fixtures/amp/RC.SHX"), sheet);
    const std::string picture = OutputPath("symwindow-file-symbol.png");
    std::remove(picture.c_str());
    const ScriptedRunResult result = run.Run(
        "wait-window RC\n"
        "wait-drawn RC\n"
        "menu Edit > Sheet Symbols > New...\n"
        "wait-window RC : RC\n"
        "wait-drawn RC : RC\n"
        "screenshot " + picture + " RC : RC\n"
        "close RC : RC\n"
        "wait-no-window RC : RC\n"
        "key Ctrl+S\n"
        "close RC\n"
        "wait-no-window RC\n"
        "quit\n",
        {sheet});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);

    // The saved sheet holds the file symbol: a box with a pin for each of the sheet's ports.
    FileSymbolList* list = CreateFileSymbolList();
    const FileSpec spec = SpecOf(sheet);
    ASSERT_EQ(ReadSheetFileBlockAlone(&spec, kSheetFileSymbolsBlock,
                                      [](StreamRecord* stream, bool, void* data) {
                                          return ReadFileSymbols(stream, static_cast<FileSymbolList*>(data), true);
                                      },
                                      list),
              0);
    ASSERT_EQ(CountFileSymbols(list), 1);
    auto* entry = static_cast<FileSymbolEntry*>(LLFirst(list));
    LibraryItem* item = nullptr;
    ASSERT_EQ(InflateLibraryItem(entry->item, &item, true), 0);
    const std::string dump = DumpLibraryItem(item);
    DestroyLibraryItem(item);
    DestroyFileSymbolList(list);
    EXPECT_NE(dump.find("name \"RC\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("  pin 0 \"IN\" type 0x01\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("section \"A\" symbol 0 pins 1 set0 \"1\""), std::string::npos) << dump;
}

#endif

}  // namespace
}  // namespace plexa::test
