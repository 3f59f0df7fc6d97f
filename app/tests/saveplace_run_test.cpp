// A save that the file system refuses (a folder its user may not write into) says which sheet
// could not be saved in which folder and why, and offers another place: the save panel again,
// where the sheet is then saved; declined, nothing is written and the sheet stays modified.
// Root writes into any folder, so when the tests run as root the program runs as the user nobody.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "model/tests/gate_symbol.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"
#include "tests/support/unprivileged.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// A scripted run of the program as an unprivileged user (as root, the user nobody, its scratch
// folder and everything in it given to that user).
struct UnprivilegedRun {
    UnprivilegedRun() : command(UnprivilegedCommand(PLEXA_PROGRAM, {})), run(command.front()) {}
    ScriptedRunResult Run(const std::string& script, const std::string& file) {
        EXPECT_TRUE(GiveToUnprivilegedUser(run.dir().path()));
        std::vector<std::string> arguments(command.begin() + 1, command.end());
        arguments.push_back(file);
        return run.Run(script, arguments);
    }
    std::vector<std::string> command;
    ScriptedRun run;
};

class SavePlaceRun : public SheetContentsTest {
protected:
    void SetUp() override {
        SheetContentsTest::SetUp();
        readOnly = unprivileged.run.dir().file("ro");
        elsewhere = unprivileged.run.dir().file("elsewhere");
        ASSERT_EQ(mkdir(readOnly.c_str(), 0755), 0);
        ASSERT_EQ(mkdir(elsewhere.c_str(), 0755), 0);
        const int32_t id = AddGateSymbolDefinition(drawing);
        ASSERT_GE(id, 0);
        SymbolRecord* gate = driver->AddSymbol(1);
        gate->mapId = id;
        gate->libraryName = kNoLibraryName;
        gate->position = P(96, 96);
        drawing->stored.nextSerial = 2;
        sheet = readOnly + "/Held.SHX";
        const FileSpec to = SheetSpecAt(sheet);
        ASSERT_EQ(WriteSheetFile(drawing, &to), 0);
        ASSERT_TRUE(ReadFile(sheet, before));
    }
    void TearDown() override {
        chmod(readOnly.c_str(), 0755);  // the scratch folder goes whole
        SheetContentsTest::TearDown();
    }
    // Runs the script after the sheet was changed (its gate moved one unit right) and saved into
    // its folder, now read-only.
    ScriptedRunResult Run(const std::string& script) {
        EXPECT_EQ(chmod(readOnly.c_str(), 0555), 0);
        const std::string start = "wait-window Held\nwait-drawn Held\nmenu Edit > Select All\nkey Right\n"
                                  "menu File > Save\nwait-window Plexa\nlog-texts\n";
        return unprivileged.Run(start + script, sheet);
    }
    // The alert's texts in the log.
    static std::string AlertTexts(const ScriptedRunResult& result) {
        std::string texts;
        for (const std::string& line : result.Lines("text ")) texts += line.substr(5) + "\n";
        return texts;
    }

    UnprivilegedRun unprivileged;
    std::string readOnly, elsewhere, sheet, before;
};

TEST_F(SavePlaceRun, ARefusedSaveNamesTheFolderAndOffersAnotherPlace) {
    const std::string moved = elsewhere + "/Held.SHX";
    // The picture is taken into the scratch folder, which the program's user may write.
    const std::string picture = unprivileged.run.dir().file("alert.png");
    const ScriptedRunResult result =
        Run("screenshot-screen " + picture + "\npanel " + moved +
            "\nbutton Save As...\nwait-no-window Plexa\nlog-title Held\nclose Held\nwait-no-window Held\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    std::filesystem::copy_file(picture, OutputPath("save-refused-alert.png"),
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(AlertTexts(result), "\"Held.SHX\" could not be saved in the folder \"" + readOnly +
                                      "\".\nYou do not have permission to write there. Save it in another place?\n");
    // Saved in the other place, which the window now shows: nothing left unsaved, no question.
    EXPECT_EQ(result.Lines("title "), std::vector<std::string>{"title Held"});
    SheetRecord* saved = Load(moved);
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(DumpSheet(saved, kDumpSymbols), "symbols 1\n  #1 serial 1 at (97,96) flags 0x01080000 map 0\n");
    std::string after;
    ASSERT_TRUE(ReadFile(sheet, after));
    EXPECT_EQ(after, before);
}

TEST_F(SavePlaceRun, DeclinedTheSheetStaysModifiedAndNothingIsWritten) {
    const ScriptedRunResult result = Run("button Cancel\nwait-no-window Plexa\nlog-title Held\nclose Held\n"
                                         "button Don't Save\nwait-no-window Held\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_EQ(result.Lines("title "), std::vector<std::string>{"title Held*"});
    std::string after;
    ASSERT_TRUE(ReadFile(sheet, after));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(std::filesystem::is_empty(elsewhere));
}

#endif

}  // namespace
}  // namespace plexa::test
