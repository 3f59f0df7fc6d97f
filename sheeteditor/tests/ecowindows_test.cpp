// The ECO windows driven by scripted clicks, keys and file-panel answers: the log window shows the
// log under its panel and ends with the user's choice, the log is saved where the user says, the
// import dialog gives the preview choice, and the two commands ask for their files and run.
#include "sheeteditor/ecowindows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "design/ecodiff.h"
#include "design/ecoexport.h"
#include "design/ecostate.h"
#include "design/tests/netlist_fixture.h"
#include "design/wasis.h"
#include "foundation/memory.h"
#include "graphics/textstyle.h"
#include "graphics/textview.h"
#include "platform/control_platform.h"
#include "platform/panel_platform.h"
#include "platform/testseam_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_textview.h"

namespace plexa::test {
namespace {

using netfix::Design;

// What the window showed when the script acted.
std::string gShown;

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Once a dialog whose title ends with `title` is in front: notes its title and its text view's
// line count, then clicks the item (0: none) and types the key (0: none).
struct Script {
    std::string title;
    int16_t click;
    uint16_t key;
    int32_t tries = 0;
};
void Act(void* data) {
    auto* script = static_cast<Script*>(data);
    VXWindowRecordTag* window = FrontDialog();
    char title[200] = "";
    if (window) VXGetWindowTitle(window, title);
    if (!window || !EndsWith(title, script->title)) {
        // Not up yet; a script that waits too long gives up, so that the loop can end.
        if (++script->tries < 300) VXPostDeferredAction(Act, script, 0.01);
        else delete script;
        return;
    }
    gShown = title;
    if (VXWindowRecordTag* child = VXGetFirstChild(window))
        if (TextDisplayRecord* view = VXGetTextDisplayView(child))
            gShown += " lines " + std::to_string(view->lineCount);
    if (script->click) PlatformControlTestClick(VXGetControl(window, script->click, nullptr)->platform, 4, 4);
    if (script->key) QueueKey(script->key);
    delete script;
}
void Answer(const char* title, int16_t click, uint16_t key = 0) {
    VXPostDeferredAction(Act, new Script{title, click, key, 0}, 0.001);
}

class ECOWindows : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitStyles();
        VXInitControls();
        VXInstallTextViewHooks();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        InstallEditorHooks();
        gShown.clear();
        gECOPreviewFlag = false;
    }
    void TearDown() override {
        DestroyECOLog();
        InstallCoreHooks();
        CloseUIFiles();
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
        TextViewSetHooks(TextViewHooks{});
        EXPECT_EQ(gModalWindowDepth, 0);
    }
    static void Log(const char* text) {
        CreateECOLog();
        WriteECOLog(text, "");
        WriteECOLog("second line", "");
    }
    TempDir dir;
};

TEST_F(ECOWindows, TheTemplatesHoldTheItemsOfTheHandlers) {
    std::vector<int16_t> numbers;
    for (const auto& [number, type] : DialogTemplateItems(kECOImportDialogTemplate))
        if (number > 0) numbers.push_back(number);
    EXPECT_EQ(numbers, (std::vector<int16_t>{1, 2, 3, 4}));
    for (int16_t panel : {kECOPanelExportProblems, kECOPanelCompareProblems, kECOPanelDifferences, kECOPanelPreview}) {
        numbers.clear();
        for (const auto& [number, type] : DialogTemplateItems(uint16_t(panel)))
            if (number > 0) numbers.push_back(number);
        const bool choice = panel == kECOPanelDifferences || panel == kECOPanelPreview;
        const std::vector<int16_t> expected = choice ? std::vector<int16_t>{3, 4, 5, 6} : std::vector<int16_t>{3, 4, 6};
        EXPECT_EQ(numbers, expected) << panel;
    }
}

TEST_F(ECOWindows, AModalLogEndsWithTheUsersChoice) {
    Log("Annotation Changes:");
    Answer(".LOG", kECOLogProceedItem);
    EXPECT_TRUE(ShowECOLog(dir.file("PCB.ECO").c_str(), kECOPanelPreview, true));
    EXPECT_EQ(gShown, "PCB.ECO.LOG lines 3");
    EXPECT_EQ(GetECOLogWindow(), nullptr);
    EXPECT_FALSE(gECOLog.open);  // the window took the log with it

    Log("Deleted Components:");
    Answer(".LOG", kECOLogCloseItem);
    EXPECT_FALSE(ShowECOLog(dir.file("PCB.ECO").c_str(), kECOPanelDifferences, true));
    EXPECT_FALSE(gECOProceed);
    // Without a log there is nothing to show.
    EXPECT_TRUE(ShowECOLog(dir.file("PCB.ECO").c_str(), kECOPanelDifferences, true));
    EXPECT_EQ(GetECOLogWindow(), nullptr);
}

TEST_F(ECOWindows, AModelessLogStaysUpAndSavesItsText) {
    Log("Reference designator used more than once:  U1");
    EXPECT_TRUE(ShowECOLog(dir.file("BOARD.ECO").c_str(), kECOPanelExportProblems, false));
    VXWindowRecordTag* window = GetECOLogWindow();
    ASSERT_TRUE(window);
    EXPECT_TRUE(VXIsWindowVisible(window, false));
    // A second log window is not made.
    EXPECT_TRUE(ShowECOLog(dir.file("OTHER.ECO").c_str(), kECOPanelExportProblems, false));
    EXPECT_EQ(GetECOLogWindow(), window);

    TestQueueFilePanelAnswer(true, {dir.file("saved.LOG")});
    ASSERT_EQ(SaveECOLogWindow(window), 0);
    EXPECT_EQ(TestLastFilePanelRequest()->defaultName, "BOARD.ECO.LOG");
    EXPECT_EQ(TestLastFilePanelRequest()->folder, dir.path());
    std::string saved;
    ASSERT_TRUE(ReadFile(dir.file("saved.LOG"), saved));
    EXPECT_EQ(saved, "Reference designator used more than once:  U1\nsecond line\n");
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(SaveECOLogWindow(window), kUserCancelled);

    PlatformControlTestClick(VXGetControl(window, kECOLogCloseItem, nullptr)->platform, 4, 4);
    EXPECT_EQ(GetECOLogWindow(), nullptr);
    EXPECT_FALSE(gECOLog.open);
}

TEST_F(ECOWindows, TheImportDialogGivesThePreviewChoice) {
    bool preview = false;
    Answer("Back-Annotate", kECOImportPreviewItem, 13);
    EXPECT_TRUE(RunECOImportDialog("ECO SOURCE DESIGN:\n  Name:   BOARD\n", &preview));
    EXPECT_TRUE(preview);
    // Cancel keeps the choice as it was.
    Answer("Back-Annotate", kECOImportPreviewItem, 27);
    EXPECT_FALSE(RunECOImportDialog("", &preview));
    EXPECT_TRUE(preview);
}

// The commands on a one-sheet project: R1 and R2 on two nets.
struct Board {
    Design d{2};
    SheetNode* node;
    SymbolRecord* r1;
    SymbolRecord* r2;
    explicit Board(const std::string& folder) {
        SheetRecord* sheet = d.AddSheet("MAIN.SHX");
        d.FinishSpecs();
        EXPECT_EQ(status::kNoErr, FileSpecFromURL(folder + "/BOARD.PRX", &d.project->file.spec, false, nullptr));
        node = d.AddNode(nullptr, "MAIN.SHX", 0);
        ComponentRecord* res = Design::MakeComponent(sheet, "RES", "R", 1, 2);
        r1 = Design::Place(sheet, res);
        r2 = Design::Place(sheet, res, 0, 100);
        d.Annotate("MAIN.SHX", r1, node, "R1");
        d.Annotate("MAIN.SHX", r2, node, "R2");
        Design::Net(sheet, "A", {{r1, 0}, {r2, 0}});
        Design::Net(sheet, "B", {{r1, 1}, {r2, 1}});
        ECOHooks hooks = GetECOHooks();
        hooks.updateHierarchy = [](ProjectRecord*, uint32_t) {};
        SetECOHooks(hooks);
    }
    std::string Designators() {
        std::string out;
        char text[kAnnotationTextSize];
        for (SymbolRecord* symbol : {r1, r2}) {
            GetAnnotation(d.specs.at("MAIN.SHX")->annotationMap, symbol->serial, int32_t(node->instance->id), false,
                          text);
            out += std::string(text) + " ";
        }
        return out;
    }
};

TEST_F(ECOWindows, TheCommandsAskForTheirFilesAndRun) {
    Board b(dir.path());
    TestQueueFilePanelAnswer(true, {dir.file("OUT.ECO")});
    ExportECO(b.d.project);
    EXPECT_EQ(TestLastFilePanelRequest()->defaultName, "BOARD.ECO");
    EXPECT_EQ(IsDesignStateFile(dir.file("OUT.ECO").c_str()), 0);
    // Cancelled: nothing is written.
    TestQueueFilePanelAnswer(false, {});
    ExportECO(b.d.project);
    std::string ignored;
    EXPECT_FALSE(ReadFile(dir.file("BOARD.ECO"), ignored));

    ASSERT_TRUE(WriteFile(dir.file("SWAP.TXT"), "WAS\tIS\r\nR2\tR5\r\n"));
    TestQueueFilePanelAnswer(true, {dir.file("SWAP.TXT")});
    BackAnnotate(b.d.project);
    EXPECT_EQ(b.Designators(), "R1 R5 ");

    // The ECO file written before, chosen for back-annotation: the import dialog comes up first;
    // the project now differs only by a label, shown modally for the preview.
    TestQueueFilePanelAnswer(true, {dir.file("OUT.ECO")});
    Answer("Back-Annotate", kECOImportPreviewItem, 13);
    Answer(".LOG", kECOLogProceedItem);
    BackAnnotate(b.d.project);
    EXPECT_EQ(gShown, "OUT.ECO.LOG lines 6");
    EXPECT_EQ(b.Designators(), "R1 R2 ");
}

}  // namespace
}  // namespace plexa::test
