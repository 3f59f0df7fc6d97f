// Alerts and modal dialogs in the running editor belong to the window that caused them: the
// window system keeps each in front of that window, and it takes that window's input while it
// runs (an alert over a dialog over a sheet, the save question over its sheet).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using DialogOwnersRun = SheetContentsTest;

TEST_F(DialogOwnersRun, AlertsAndDialogsBelongToTheWindowThatCausedThem) {
    // A sheet symbol whose sub-sheet file does not exist: rereading its ports shows an alert over
    // the symbol's information.
    (void)AddSheetSymbolBox(P(200, 200), "Missing.SHX");
    const std::string at = WriteSheetAtScale("Owners.SHX", 100);
    const std::string screen = OutputPath("dialog-owners-screen.png");
    std::remove(screen.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Owners\n"
        "wait-drawn Owners\n"
        "click 318 265 double\n"
        "wait-window Symbol Information\n"
        "click 130 17\n"  // the Port Pins tab
        "button Read Sub-Sheet Ports\n"
        "wait-window Plexa\n"
        "wait-drawn Plexa\n"
        "log-owners\n"
        "log-windows\n"
        "screenshot-screen " + screen + "\n"
        "button OK\n"
        "wait-no-window Plexa\n"
        "log-owners\n"
        "button Cancel\n"
        "wait-no-window Symbol Information\n"
        "log-owners\n"
        // A text typed on the sheet: closing it asks whether to save.
        "key t\nclick 338 398\ntype x\nkey Escape\n"
        "close Owners\n"
        "wait-window Plexa\n"
        "log-owners\n"
        "button Don't Save\n",
        {at});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("owner "),
              (std::vector<std::string>{"owner Plexa: Symbol Information, modal",
                                        "owner Symbol Information: Owners, modal",
                                        "owner Symbol Information: Owners, modal",
                                        "owner Plexa: Owners, modal"}))
        << result.errors;
    EXPECT_EQ(result.Lines("windows:"), std::vector<std::string>{"windows: Plexa | Symbol Information | Owners"});
}

#endif

}  // namespace
}  // namespace plexa::test
