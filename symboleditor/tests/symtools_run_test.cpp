// The symbol editor's tools in the running program: a library item opened from its library,
// elements and pins made by dragging with the tools of its tools pane, the tabs switched, and the
// item saved back into the library, whose stored item shows what was done.
#include <gtest/gtest.h>

#include <string>

#include "foundation/memory.h"
#include "model/libitem.h"
#include "model/libitemdump.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SymToolsRun : public LibEditorTest {
protected:
    // Opens the library's first item, plays the steps in its window, closes it back into the
    // library, saves and quits; the dump of the stored first item.
    std::string Run(const std::string& steps, const std::string& extraChecks = "") {
        Library("Parts.LBX", {{"Gate"}});
        path_ = dir_.file("Parts.LBX");
        ScriptedRun run(PLEXA_PROGRAM);
        result_ = run.Run("wait-window Parts\n"
                          "wait-drawn Parts\n"
                          "click 52 9 double\n"
                          "wait-window Parts : Gate\n"
                          "wait-drawn Parts : Gate\n" +
                              steps + extraChecks +
                              "close Parts : Gate\n"
                              "wait-no-window Parts : Gate\n"
                              "key Ctrl+S\n"
                              "close Parts\n"
                              "wait-no-window Parts\n"
                              "quit\n",
                          {path_});
        EXPECT_TRUE(result_.Exited(0)) << result_.status << "\n" << result_.errors;
        OpenLibrary library(path_, kLibraryOpenLoadMap);
        const std::string bytes = library.Load(library.Block("Gate"));
        if (bytes.empty()) return "";
        Handle flat = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        LibraryItem* item = nullptr;
        EXPECT_EQ(InflateLibraryItem(flat, &item, true), 0);
        MemFree(flat);
        if (!item) return "";
        const std::string dump = DumpLibraryItem(item);
        DestroyLibraryItem(item);
        return dump;
    }
    std::string path_;
    ScriptedRunResult result_;
};

TEST_F(SymToolsRun, TheWindowWithEachTab) {
    std::string steps;
    struct Tab {
        const char* name;
        int x;
    };
    for (const Tab& tab : {Tab{"names", 149}, Tab{"packages", 244}, Tab{"attributes", 339}, Tab{"pins", 434},
                           Tab{"hidden-pins", 529}, Tab{"symbols", 54}}) {
        const std::string picture = OutputPath(std::string("symtools-tab-") + tab.name + ".png");
        std::remove(picture.c_str());
        steps += "click " + std::to_string(tab.x) + " 16\nwait-drawn Parts : Gate\nscreenshot " + picture + " Parts : Gate\n";
    }
    const std::string dump = Run(steps);
    EXPECT_NE(dump.find("Gate"), std::string::npos) << dump;
}

#endif

}  // namespace
}  // namespace plexa::test
