// The converter on the toolkit: its start-up, menus and command preparation, its window with the
// menu bar and dropped files, the Convert command's panel and filter, the About box, the progress
// windows, what reaches the user from the shell's open requests, and whole launches of the program
// (closing its window, a termination signal while the About box is up).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "converter/app.h"
#include "converter/progress.h"
#include "converter/report.h"
#include "converter/shared_builds.h"
#include "converter/tests/converter_fixtures.h"
#include "converter/tests/v36_library_fixture.h"
#include "converter/tests/v36_project_builder.h"
#include "converter/tests/v36_sheet_builder.h"
#include "foundation/filespec.h"
#include "foundation/localized.h"
#include "foundation/memory.h"
#include "platform/control_platform.h"
#include "platform/defaults_store.h"
#include "platform/menu_platform.h"
#include "platform/panel_platform.h"
#include "platform/testseam_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_about.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

std::vector<std::string> gSeen;  // what a scripted answer found up

// Once a modal window is up: notes the front dialog's texts of the items, then dismisses it with
// a click into its content.
void NoteAndClick(std::vector<int16_t> items) {
    static std::vector<int16_t> gItems;
    gItems = std::move(items);
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        char text[256];
        for (int16_t item : gItems) {
            VXGetItemText(dialog, item, text);
            gSeen.push_back(text);
        }
        gSeen.push_back(VXGetItemVisible(dialog, kAboutLogoItem) ? "logo item shown" : "logo item hidden");
        WriteScreenshot(dialog, "converter_about.png");
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDown, dialog, 300, 20));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, dialog, 300, 20));
    }, nullptr, 0.001);
}

std::vector<int32_t> gDismissed;  // the alerts dismissed, each once

// Once a modal window is up: notes the front dialog's title, then types the character.
void NoteTitleAndType(uint16_t character) {
    static uint16_t gCharacter;
    gCharacter = character;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        char title[200];
        VXGetWindowTitle(dialog, title);
        gSeen.push_back(title);
        QueueKey(gCharacter);
    }, nullptr, 0.001);
}

// A version-3.6 sheet holding a resistor.
std::string ResistorSheet() {
    V36SheetDesc desc;
    desc.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0, {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    return WriteV36SheetDesc(desc);
}

// The lines the driver logs (outcomes go where the program sends them).
std::vector<std::string> gLogged;
void CaptureTheLog() {
    ConverterReportProcs procs = SetConverterReportProcs({});
    procs.log = [](const char* line) { gLogged.push_back(line); };
    procs.error = SchError;
    procs.outcome = ShowConversionOutcome;
    SetConverterReportProcs(procs);
}

// Dismisses an alert that comes up later in the test, noting its message and informative text.
// Several of these may wait for the same alert: each alert is noted and dismissed once.
void NoteAndDismissAlerts() {
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* alert = FrontDialog();
        if (!alert || std::find(gDismissed.begin(), gDismissed.end(), alert->windowID) != gDismissed.end())
            return;
        gDismissed.push_back(alert->windowID);
        char message[256], informative[512];
        VXGetItemText(alert, 1, message);
        VXGetItemText(alert, 2, informative);
        gSeen.push_back(std::string(message) + " | " + informative);
        if (std::string(message).find("could not be converted") != std::string::npos)
            WriteScreenshot(alert, "converter_failure_alert.png");
        QueueKey(13);
    }, nullptr, 0.001);
}

class ConverterApp : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitControls();
        setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
        DefaultsReload();
        SetAppStringsTableName("Converter");
        ASSERT_EQ(SelectUIFile("converter.gui"), 0);
        VXResetShellRequestsForTesting(true);
        TestResetFilePanels();
        gSeen.clear();
        gDismissed.clear();
        gLogged.clear();
    }
    void TearDown() override {
        DestroyProgressWindow();
        DestroyLibProgressWindow();
        TestResetFilePanels();
        VXResetShellRequestsForTesting(false);
        SetConverterReportProcs({});
        SetAppStringsTableName("Application");
        CloseUIFiles();
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
        DefaultsReload();
        unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(gModalWindowDepth, 0);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(WriteFile(dir_.file(name), bytes));
        return dir_.file(name);
    }
    // The whole program's run, in this process, with its own start-up (and what a test adds).
    static int Launch(std::vector<std::string> arguments, VXStartupHook startup) {
        std::vector<char*> argv;
        for (std::string& arg : arguments) argv.push_back(arg.data());
        argv.push_back(nullptr);
        return VXApplicationMain(int(arguments.size()), argv.data(), "converter.gui", startup);
    }
    TempDir dir_, config_;
};

std::vector<std::string> MenuItems(uint16_t menuID) {
    std::vector<std::string> items;
    VXMenuRecord* menu = VXGetMenuWithTag(menuID);
    if (!menu) return items;
    for (int32_t i = 1; i <= VXCountMenuItems(menu); ++i) {
        char text[128];
        VXGetMenuItemText(menu, true, i, text);
        items.push_back(std::to_string(VXGetMenuItemTag(menu, i)) + " " + text);
    }
    return items;
}

TEST_F(ConverterApp, StartUpBuildsTheMenusAndInstallsTheProcedures) {
    ASSERT_EQ(AppStartup(), 1);
    EXPECT_EQ(MenuItems(200), (std::vector<std::string>{"202 Convert...", "0 -", "210 Options..."}));
    EXPECT_EQ(MenuItems(300), (std::vector<std::string>{"302 Cut", "303 Copy", "304 Paste",
                                                         "305 Clear", "306 Select All"}));
    EXPECT_EQ(VXGetMenuItemWithTag(0, 103, nullptr), 0);
    EXPECT_EQ(VXGetMenuItemWithTag(0, 104, nullptr), 0);
    EXPECT_EQ(vx.quitProc, &QuitHandler);
    EXPECT_EQ(vx.globalPrepCommandProc, &PrepCommand);
    EXPECT_EQ(vx.globalCommandProc, &DoCommand);
    EXPECT_EQ(vx.shellOpenFileProc, &ShellOpenFileHandler);
    EXPECT_EQ(vx.shellLaunchedProc, &ShellApplicationLaunchedHandler);
}

TEST_F(ConverterApp, TheWindowCarriesTheMenuBarAndTakesDroppedFiles) {
    ASSERT_EQ(AppStartup(), 1);
    CaptureTheLog();
    VXWindowRecordTag* window = ConverterWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(CreateConverterWindow(), window);  // one window only
    EXPECT_EQ(window->windowClass, kVXWindowDocument);
    EXPECT_TRUE(VXIsWindowVisible(window, false));
    char text[256];
    VXGetWindowTitle(window, text);
    EXPECT_STREQ(text, "Plexa Document Converter");
    VXGetItemText(window, kConverterWindowTextItem, text);
    EXPECT_STREQ(text, "Choose File > Convert... or drop files here.");
    const std::vector<std::string> titles = PlatformWindowMenuTitles(window->platformWindow);
    ASSERT_EQ(titles.size(), 3u);  // the application menu, File and Edit
    EXPECT_EQ(titles[1], "File");
    EXPECT_EQ(titles[2], "Edit");
    EXPECT_FALSE(WriteScreenshot(window, "converter_window.png").empty());

    // The commands are chosen from the window's menu bar.
    VXMenuRecord* file = VXGetMenuWithTag(kCommandFileMenu);
    ASSERT_NE(file, nullptr);
    TestOpenMenu(file->menu);
    EXPECT_TRUE(VXGetMenuItemEnabled(file, false, kCommandConvert));
    EXPECT_TRUE(VXGetMenuItemEnabled(file, false, kCommandOptions));
    NoteTitleAndType(27);
    TestChooseMenuItem(file->menu, VXCommandToMenuIndex(file, kCommandOptions) - 1);
    EXPECT_EQ(gSeen, std::vector<std::string>{"Conversion Options"});
    const std::string sheet = Write("Amplifier.SCM", ResistorSheet());
    TestQueueFilePanelAnswer(true, {sheet});
    TestOpenMenu(file->menu);
    TestChooseMenuItem(file->menu, VXCommandToMenuIndex(file, kCommandConvert) - 1);
    TestClockAdvance(200'000);
    ASSERT_EQ(gLogged.size(), 2u);
    EXPECT_EQ(gLogged[0].rfind("\"" + sheet + "\": wrote", 0), 0u) << gLogged[0];

    // Dropped files go the way of open requests: the sheet is converted, the text file and the
    // folder pass without a word.
    const std::string notes = Write("Notes.TXT", TextFile());
    NoteAndDismissAlerts();
    EXPECT_TRUE(TestDropFiles(window->platformWindow, {notes, sheet, dir_.path()}));
    TestClockAdvance(200'000);
    ASSERT_EQ(gLogged.size(), 5u);  // again, and the older project file's replacement
    EXPECT_EQ(gLogged[2], gLogged[0]);
    EXPECT_EQ(gSeen, std::vector<std::string>{"Conversion Options"});
}

// Launches of the program in this process.
std::vector<std::string> gLaunch;
int64_t gSignalledAt = 0;

// The top-level windows a person sees: the off-screen window in which conversions measure texts
// is left out.
std::vector<VXWindowRecordTag*> ShownWindows() {
    std::vector<VXWindowRecordTag*> shown;
    for (VXWindowRecordTag* window : VXTopLevelWindows())
        if (window->graf.geometry.kind != kWindowOffScreen) shown.push_back(window);
    return shown;
}

void NoteTheWindows(const char* when) {
    std::string line = when;
    for (VXWindowRecordTag* window : ShownWindows()) {
        char title[200];
        VXGetWindowTitle(window, title);
        if (window == ConverterWindow()) std::snprintf(title, sizeof title, "the window");
        if (window->windowClass == kVXWindowDialog) {
            VXGetItemText(window, kAboutNameItem, title);
            line += std::string(" | about: ") + title;
        } else {
            line += std::string(" | ") + title;
        }
    }
    gLaunch.push_back(line);
}

void CloseTheWindow(void*) {
    NoteTheWindows("before closing");
    gLaunch.push_back(VXSendGoAway(ConverterWindow()) ? "closed" : "stays until the quit");
}
void ClickTheAboutBoxAway(void*) {
    NoteTheWindows("at launch");
    if (VXWindowRecordTag* about = FrontDialog()) {
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDown, about, 300, 20));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, about, 300, 20));
    }
    VXPostDeferredAction(CloseTheWindow, nullptr, 0.5);
}
int32_t StartupThenClose() {
    const int32_t result = AppStartup();
    CaptureTheLog();
    VXPostDeferredAction(ClickTheAboutBoxAway, nullptr, 0.5);
    return result;
}

TEST_F(ConverterApp, LaunchedWithoutDocumentsItShowsItsWindowAndTheAboutBoxAndClosingTheWindowQuits) {
    gLaunch.clear();
    EXPECT_EQ(Launch({"plexa-convert"}, StartupThenClose), 0);
    EXPECT_EQ(gLaunch, (std::vector<std::string>{
                           "at launch | about: Plexa Document Converter | the window",
                           "before closing | the window", "stays until the quit"}));
    EXPECT_EQ(ConverterWindow(), nullptr);
    EXPECT_TRUE(VXTopLevelWindows().empty());
    EXPECT_TRUE(gLogged.empty());
}

TEST_F(ConverterApp, LaunchedWithDocumentsItConvertsThemUnderItsWindow) {
    gLaunch.clear();
    const std::string sheet = Write("Amplifier.SCM", ResistorSheet());
    EXPECT_EQ(Launch({"plexa-convert", sheet}, StartupThenClose), 0);
    EXPECT_EQ(gLaunch, (std::vector<std::string>{"at launch | the window",
                                                 "before closing | the window",
                                                 "stays until the quit"}));
    ASSERT_EQ(gLogged.size(), 2u);
    EXPECT_NE(gLogged[0].find("wrote"), std::string::npos);
    EXPECT_TRUE(ShownWindows().empty());
}

void Nothing(void*) {}
void SignalWhileTheAboutBoxIsUp(void*) {
    NoteTheWindows("at launch");
    // Were the box waited for, someone would click it away only much later.
    if (VXWindowRecordTag* about = FrontDialog())
        VXPostDeferredAction([](void* id) {
            if (VXWindowRecordTag* box = VXGetWindowFromId(int32_t(reinterpret_cast<intptr_t>(id))))
                VXEndDialog(box, 1);
        }, reinterpret_cast<void*>(intptr_t(about->windowID)), 100);
    gSignalledAt = PlatformNowMicros();
    raise(SIGTERM);
    VXPostDeferredAction(Nothing, nullptr, 0.01);
}
int32_t StartupThenSignal() {
    const int32_t result = AppStartup();
    VXPostDeferredAction(SignalWhileTheAboutBoxIsUp, nullptr, 0.5);
    return result;
}

TEST_F(ConverterApp, ATerminationSignalWhileTheAboutBoxIsUpQuitsAtOnce) {
    gLaunch.clear();
    EXPECT_EQ(Launch({"plexa-convert"}, StartupThenSignal), 0);
    EXPECT_EQ(gLaunch, std::vector<std::string>{
                           "at launch | about: Plexa Document Converter | the window"});
    EXPECT_LT(PlatformNowMicros() - gSignalledAt, 1'000'000);
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

TEST_F(ConverterApp, CommandPreparationByModalState) {
    struct Case {
        uint16_t command;
        int enabledPlain, enabledModal;  // -1: left to the rest of the chain
    };
    const Case cases[] = {
        {101, 1, 0}, {102, 1, 0}, {105, 1, 0}, {200, 1, 0}, {202, 1, 0}, {210, 1, 0},
        {300, 0, 1}, {301, 0, 0}, {306, 0, 0}, {302, -1, -1}, {305, -1, -1}, {103, -1, -1},
    };
    for (const Case& c : cases) {
        for (int modal = 0; modal < 2; ++modal) {
            VXPrepCommandRecord record{};
            record.command = c.command;
            record.enabled = 7;
            record.modalInFront = uint8_t(modal);
            const int32_t handled = PrepCommand(&record);
            const int expected = modal ? c.enabledModal : c.enabledPlain;
            EXPECT_EQ(handled, expected < 0 ? 0 : 1) << c.command;
            EXPECT_EQ(record.enabled, expected < 0 ? 7 : expected) << c.command << " " << modal;
        }
    }
    VXEventRecord other = VXClearedEvent(kVXCommandEvent);
    other.u.command.command = 302;
    EXPECT_EQ(DoCommand(nullptr, &other), 0);
}

TEST_F(ConverterApp, AboutBoxShowsTheConverterAndClosesOnAClick) {
    NoteAndClick({kAboutNameItem, kAboutVersionItem});
    VXEventRecord about = VXClearedEvent(kVXCommandEvent);
    about.u.command.command = kCommandAbout;
    EXPECT_EQ(DoCommand(nullptr, &about), 1);
    ASSERT_EQ(gSeen.size(), 3u);
    EXPECT_EQ(gSeen[0], "Plexa Document Converter");
    EXPECT_EQ(gSeen[1].rfind("Version ", 0), 0u) << gSeen[1];
    EXPECT_EQ(gSeen[1].substr(gSeen[1].size() - 11), "  for Linux");
    EXPECT_EQ(gSeen[2], "logo item hidden");
    EXPECT_TRUE(VXTopLevelWindows().empty());
    // Launched without documents, the converter shows the same box.
    gSeen.clear();
    NoteAndClick({kAboutNameItem});
    ShellApplicationLaunchedHandler();
    ASSERT_FALSE(gSeen.empty());
    EXPECT_EQ(gSeen[0], "Plexa Document Converter");
}

TEST_F(ConverterApp, ConvertFilesOffersTheOldKindsAndHandsThemToTheShell) {
    const std::string sheet = Write("Amplifier", LittleEndianSheetLeader());
    const std::string text = Write("Notes.TXT", TextFile());
    const std::string library = Write("Parts.SLB", BigEndianLibrary(864, 1));
    TestQueueFilePanelAnswer(true, {sheet, text, library});
    VXEventRecord convert = VXClearedEvent(kVXCommandEvent);
    convert.u.command.command = kCommandConvert;
    EXPECT_EQ(DoCommand(nullptr, &convert), 1);
    const PlatformFilePanelRequest* request = TestLastFilePanelRequest();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->title, "Convert Files");
    EXPECT_TRUE(request->multiple);
    // The text file could not be chosen; the other two became open requests.
    EXPECT_EQ(VXCountShellRequests(), 2);
    DirectoryRef remembered;
    uint16_t value = 0;
    GetPrefDirectory(0, &remembered, &value);
    std::string folder;
    ASSERT_EQ(CreateDirectoryURLFromDirectory(&remembered, &folder), 0);
    EXPECT_EQ(folder, dir_.path());
    EXPECT_EQ(value, 1);

    // A cancelled panel changes nothing and says nothing.
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(DoCommand(nullptr, &convert), 1);
    EXPECT_EQ(VXCountShellRequests(), 2);
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

// Three names typed into the Convert Files panel, quoted, convert three files.
TEST_F(ConverterApp, ThreeNamesTypedIntoTheConvertPanelConvertThreeFiles) {
    ASSERT_EQ(AppStartup(), 1);
    CaptureTheLog();
    Write("First.SCM", ResistorSheet());
    Write("Second Sheet.SCM", ResistorSheet());
    Write("Parts.SLB", WriteV36Library().bytes);
    TestQueueFilePanelTypedAnswer("\"First.SCM\" \"Second Sheet.SCM\" \"Parts.SLB\"", dir_.path());
    VXMenuRecord* file = VXGetMenuWithTag(kCommandFileMenu);
    ASSERT_NE(file, nullptr);
    TestOpenMenu(file->menu);
    TestChooseMenuItem(file->menu, VXCommandToMenuIndex(file, kCommandConvert) - 1);
    TestClockAdvance(500'000);
    std::vector<std::string> written;
    for (const std::string& line : gLogged)
        if (line.find("\": wrote \"") != std::string::npos && line.find(".SHX\"") == std::string::npos)
            written.push_back(line.substr(0, line.find("\": wrote")));
    EXPECT_EQ(written, (std::vector<std::string>{"\"" + dir_.file("First.SCM"), "\"" + dir_.file("Second Sheet.SCM"),
                                                 "\"" + dir_.file("Parts.SLB")}));
    for (const char* output : {"First (Plexa)/First.PRX", "Second Sheet (Plexa)/Second Sheet.PRX",
                               "Converted Libraries (Plexa)/Parts.LBX"}) {
        std::string bytes;
        EXPECT_TRUE(ReadFile(dir_.file(output), bytes)) << output;
    }
}

// The program asks for a sheet of a project that is not where the project says: an open panel
// titled with the prompt that offers only version-3.6 sheets of that name. Cancelling it ends the
// conversion without a word and without output; a sheet found converts the project.
TEST_F(ConverterApp, TheProgramAsksForAMissingSheetOfAProject) {
    ASSERT_EQ(AppStartup(), 1);
    CaptureTheLog();
    FileSpec project;
    ASSERT_EQ(FileSpecFromURL(dir_.file("Lost.SPR"), &project, true, nullptr), 0);
    WriteV36Project(&project, {"Gone.SCM"});
    ASSERT_EQ(::mkdir(dir_.file("elsewhere").c_str(), 0755), 0);
    const std::string found = Write("elsewhere/Gone.SCM", ResistorSheet());
    const std::string other = Write("elsewhere/Other.SCM", ResistorSheet());
    gSeen.clear();
    NoteAndDismissAlerts();
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(ShellOpenFileHandler(dir_.file("Lost.SPR").c_str(), 0, 1), 1);
    const PlatformFilePanelRequest* request = TestLastFilePanelRequest();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->title, "Please find \"Gone.SCM\"");
    EXPECT_TRUE(gSeen.empty());
    EXPECT_TRUE(gLogged.empty());
    struct stat info {};
    EXPECT_NE(::stat(dir_.file("Lost (Plexa)").c_str(), &info), 0);

    // The panel offers the sheet of that name only: the other one cannot be chosen.
    TestQueueFilePanelAnswer(true, {other, found});
    EXPECT_EQ(ShellOpenFileHandler(dir_.file("Lost.SPR").c_str(), 0, 1), 1);
    EXPECT_EQ(::stat(dir_.file("Lost (Plexa)/Lost.PRX").c_str(), &info), 0);
    EXPECT_EQ(::stat(dir_.file("Lost (Plexa)/Gone.SHX").c_str(), &info), 0);
    EXPECT_NE(::stat(dir_.file("Lost (Plexa)/Other.SHX").c_str(), &info), 0);
    EXPECT_TRUE(gSeen.empty());
}

// A failure reported while an alert is up waits for it: it comes up in an alert of its own once
// the first is dismissed, and the report returns at once.
TEST_F(ConverterApp, AFailureWhileAnAlertIsUpWaitsForIt) {
    CaptureTheLog();
    static std::string gSecond;
    const std::string first = Write("Cut.SCM", OverlongLeader());
    gSecond = Write("Cut Again.SCM", OverlongLeader());
    VXPostDeferredAction([](void*) {
        ASSERT_NE(FrontDialog(), nullptr);
        gSeen.push_back("first up");
        EXPECT_EQ(ShellOpenFileHandler(gSecond.c_str(), 0, 1), 1);
        gSeen.push_back("reported");
        NoteAndDismissAlerts();
        QueueKey(13);  // the first alert goes
    }, nullptr, 0.001);
    EXPECT_EQ(ShellOpenFileHandler(first.c_str(), 0, 1), 1);
    EXPECT_EQ(gSeen, (std::vector<std::string>{
                         "first up", "reported",
                         "\"Cut Again.SCM\" could not be converted. | The end of the file was reached unexpectedly.\n\n" +
                             gSecond}));
    EXPECT_EQ(gModalWindowDepth, 0);
}

TEST_F(ConverterApp, OpenFilesFilterByKindNameAndContent) {
    const std::string files[][2] = {
        {"a.SHX", "x"},        {"b.PRX", "x"},       {"c.LBX", "x"},
        {"d.ASC", "x"},        {"e.SXP", "x"},       {"f.SCM", "x"},
        {"g.SPR", "x"},        {"h.slb", "x"},       {"Amplifier", LittleEndianSheetLeader()},
        {"Parts", BigEndianLibrary(864, 1)},        {"Mixer", DynamicFile("QSPR")},
        {"notes.txt", TextFile()},                  {".SCM", TextFile()},
        {"Current", CurrentSheetLeader()},
    };
    struct Case {
        uint32_t mask;
        std::vector<std::string> offered;
    };
    const Case cases[] = {
        {kFilterV36Documents, {"f.SCM", "g.SPR", "h.slb", "Amplifier", "Parts", "Mixer"}},
        {kFilterV36Sheets, {"f.SCM", "Amplifier"}},
        {kFilterV36Libraries, {"h.slb", "Parts"}},
        {kFilterSheets, {"a.SHX"}},
        {kFilterSheets | kFilterProjects | kFilterLibraries, {"a.SHX", "b.PRX", "c.LBX"}},
        {kFilterDatabases, {"d.ASC"}},
        {kFilterScripts, {"d.ASC", "e.SXP", "notes.txt"}},  // ".ASC" files are text
    };
    for (const auto& [name, bytes] : files) Write(name, bytes);
    for (const Case& c : cases) {
        std::vector<std::string> offered;
        for (const auto& [name, bytes] : files) {
            FileSpec spec;
            ASSERT_EQ(FileSpecFromURL(dir_.file(name), &spec, true, nullptr), 0);
            uint32_t mask = c.mask;
            if (MacOpenFilesFilter(&spec, &mask)) offered.push_back(name);
        }
        EXPECT_EQ(offered, c.offered) << c.mask;
    }
}

// What reaches the user from open requests: a file whose name or content makes no claim to be a
// version-3.6 document passes with a line on the standard error only; one that claims to be one
// (its extension, an empty file, a library of another version) and every failure come up in an
// alert that names the file and says why, also while the converter is not in front.
TEST_F(ConverterApp, OpenRequestsTellWhatWasSkippedAndWhatFailed) {
    std::vector<std::string> log;
    static std::vector<std::string>* gLog;
    gLog = &log;
    ConverterReportProcs procs;
    procs.log = [](const char* line) { gLog->push_back(line); };
    procs.error = SchError;
    procs.outcome = ShowConversionOutcome;
    SetConverterReportProcs(procs);
    struct Case {
        std::string name, bytes, alert;  // alert "": none
    };
    const Case cases[] = {
        {"Notes.TXT", TextFile(), ""},
        {"Renamed.SCM", TextFile(), "\"Renamed.SCM\" was not converted. | The file is not a version-3.6 sheet, project or library."},
        {"New.SCM", CurrentSheetLeader(), "\"New.SCM\" was not converted. | The file is a document of another kind, not a version-3.6 one."},
        {"Old.SLB", BigEndianLibrary(863, 1), "\"Old.SLB\" was not converted. | The file was written by a version too old to be converted."},
        {"Nothing.SCM", "", "\"Nothing.SCM\" was not converted. | The file is empty."},
        {"Cut.SCM", OverlongLeader(), "\"Cut.SCM\" could not be converted. | The end of the file was reached unexpectedly."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(c.name, c.bytes);
        for (bool active : {true, false}) {
            TestSetApplicationActive(active);
            gSeen.clear();
            NoteAndDismissAlerts();
            EXPECT_EQ(ShellOpenFileHandler(path.c_str(), 0, 1), 1);
            EXPECT_EQ(gSeen, c.alert.empty() ? std::vector<std::string>{}
                                             : std::vector<std::string>{c.alert + "\n\n" + path});
        }
        TestSetApplicationActive(true);
    }
    // A folder handed in is no file.
    gSeen.clear();
    NoteAndDismissAlerts();
    ShellOpenFileHandler(dir_.path().c_str(), 0, 1);
    const size_t slash = dir_.path().rfind('/');
    EXPECT_EQ(gSeen, std::vector<std::string>{"\"" + dir_.path().substr(slash + 1) +
                                              "\" was not converted. | It is a folder, not a file.\n\n" + dir_.path()});
    EXPECT_TRUE(log.empty());
    const std::string sheet = Write("Amplifier.SCM", ResistorSheet());
    EXPECT_EQ(ShellOpenFileHandler(sheet.c_str(), 0, 1), 1);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_EQ(ShellPrintFileHandler(sheet.c_str(), 0, 1), 1);
    EXPECT_EQ(log.size(), 2u);
    EXPECT_TRUE(ShownWindows().empty());
}

TEST_F(ConverterApp, ProgressWindows) {
    const auto message = [](VXWindowRecordTag* window) {
        char text[256];
        VXGetItemText(window, kProgressMessageItem, text);
        return std::string(text);
    };
    // Nothing happens while there is no window.
    StepProjectProgressBar();
    SetProjectProgressMessage("x");
    IdleProgressBar();
    StepLibProgressBar();
    SetProgressMessage("x");
    EXPECT_TRUE(VXTopLevelWindows().empty());

    CreateProgressWindow(2, "Analyzing Sheet...");
    ASSERT_TRUE(gPrjProgressWindow);
    VXWindowRecordTag* project = gPrjProgressWindow;
    EXPECT_TRUE(VXIsWindowVisible(project, false));
    EXPECT_EQ(message(project), "Analyzing Sheet...");
    CreateProgressWindow(5, "again");
    EXPECT_EQ(gPrjProgressWindow, project);
    EXPECT_EQ(message(project), "Analyzing Sheet...");
    SetProjectProgressMessage("Converting Sheet: Amplifier.SCM");
    StepProjectProgressBar();
    IdleProgressBar();
    EXPECT_EQ(message(project), "Converting Sheet: Amplifier.SCM");

    CreateLibProgressWindow(3, "Converting: Parts.SLB", 0);
    ASSERT_TRUE(gLibProgressWindow);
    SetProgressMessage("Converting: R");
    StepLibProgressBar();
    EXPECT_EQ(message(gLibProgressWindow), "Converting: R");
    DestroyLibProgressWindow();
    EXPECT_EQ(gLibProgressWindow, nullptr);
    // A window that goes another way is forgotten too.
    EXPECT_TRUE(QuitHandler());
    EXPECT_EQ(gPrjProgressWindow, nullptr);
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

}  // namespace
}  // namespace plexa::test
