// Library items cut in one library editor of the running program and pasted into another and back:
// the clipboard then holds library items, so a sheet has nothing to paste, and both saved files
// hold the item as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "foundation/memory.h"
#include "library/tests/library_testing.h"
#include "model/libitem.h"
#include "model/libitemdump.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// The dump of the library's item of the name; empty when there is none.
std::string ItemDump(const std::string& path, const std::string& name) {
    OpenLibrary library(path, kLibraryOpenLoadMap);
    const uint32_t block = library.Block(name);
    if (!block) return {};
    const std::string bytes = library.Load(block);
    Handle flat = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
    LibraryItem* item = nullptr;
    const OSStatus status = InflateLibraryItem(flat, &item, true);
    MemFree(flat);
    if (status != 0 || !item) return {};
    std::string dump = DumpLibraryItem(item);
    DestroyLibraryItem(item);
    return dump;
}

using LibraryClipRun = SheetContentsTest;

TEST_F(LibraryClipRun, ItemsCutInALibraryPasteIntoLibrariesButNotIntoASheet) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string first = run.dir().file("Gates.LBX"), second = run.dir().file("Spare.LBX");
    WriteBoxLibrary(first, {"Gate"});
    WriteBoxLibrary(second, {"Other"});
    const std::string original = ItemDump(first, "Gate");
    ASSERT_FALSE(original.empty());

    const std::string cut = OutputPath("library-clip-cut.png"), pasted = OutputPath("library-clip-pasted.png");
    const ScriptedRunResult result = run.Run(
        "wait-window Gates\nwait-drawn Gates\nwait-window Spare\nwait-drawn Spare\n"
        "menu File > New > Schematic Sheet\nwait-window Untitled*\nwait-drawn Untitled*\n"
        "log-menu Edit\n"
        "menu Window > Gates\nwait-drawn Gates\n"
        "click 52 9\n"  // Gate's row
        "menu Edit > Cut\n"
        "screenshot " + cut + " Gates\n"
        "menu Window > Untitled 1\nwait-drawn Untitled*\n"
        "log-menu Edit\n"
        "menu Window > Spare\nwait-drawn Spare\n"
        "log-menu Edit\n"
        "menu Edit > Paste\n"
        "screenshot " + pasted + " Spare\n"
        "key Ctrl+S\n"
        "menu Window > Gates\nwait-drawn Gates\n"
        "menu Edit > Paste\n"
        "key Ctrl+S\n"
        "close Gates\nwait-no-window Gates\nclose Spare\nwait-no-window Spare\nquit\n",
        {first, second});
    std::string log;
    for (const std::string& line : result.log) log += line + "\n";
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors << log;
    // The sheet's Paste before the Cut (whatever the system clipboard held) and after it; the
    // library's after it.
    EXPECT_EQ(result.Lines("  Paste\t"),
              (std::vector<std::string>{"  Paste\tenabled", "  Paste\tdisabled", "  Paste\tenabled"}))
        << log;
    EXPECT_EQ(ItemDump(second, "Gate"), original);
    EXPECT_FALSE(ItemDump(second, "Other").empty());
    EXPECT_EQ(ItemDump(first, "Gate"), original);
}

#endif

}  // namespace
}  // namespace plexa::test
