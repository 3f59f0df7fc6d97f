// The application shell driven as a person drives it: real sheet, symbol-editor, project and log
// windows made by the functions that make them, the menus prepared through the toolkit's
// preparation chain, commands sent through its dispatch, and dialogs answered with keys.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "app/shell.h"
#include "files/sheetcontents.h"
#include "files/sheetstore.h"
#include "foundation/filespec.h"
#include "files/tests/files_testing.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/libitem.h"
#include "model/signals.h"
#include "model/wires.h"
#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"
#include "platform/panel_platform.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_menus.h"

namespace plexa::test {
namespace {

// ---- What the menus show ----

void DumpMenu(VXMenuRecord* menu, std::string* out) {
    const int32_t count = VXCountMenuItems(menu);
    for (int32_t i = 1; i <= count; ++i) {
        const uint16_t tag = VXGetMenuItemTag(menu, i);
        if (!tag) continue;
        *out += ' ';
        if (!VXGetMenuItemEnabled(menu, true, i)) *out += '-';
        *out += std::to_string(tag);
        if (VXGetMenuItemChecked(menu, true, i)) *out += '!';
        if (VXMenuRecord* sub = VXGetMenuItemChildMenu(menu, true, i)) {
            *out += '[';
            DumpMenu(sub, out);
            *out += " ]";
        }
    }
}

// The whole bar after the toolkit prepared it, one line a menu: the menu's title (with "-" when
// the menu is disabled), then each item's command, with "-" before a disabled one, "!" after a
// checked one and a submenu's items in brackets. The application menu comes first.
std::string MenuStates() {
    PrepareMenuBar();
    std::string out;
    VXMenuRecord* app = VXGetApplicationMenu();
    out += "App:";
    DumpMenu(app, &out);
    out += '\n';
    for (uint32_t m = 0; m < gCurrMenuBar->count; ++m) {
        VXMenuRecord* menu = gCurrMenuBar->menus[m];
        char title[128];
        VXGetMenuItemText(menu, true, 0, title);
        if (!menu->enabled) out += '-';
        out += title;
        out += ':';
        // The Window menu's items stand for windows: their titles tell more than their tags.
        if (menu->menuID == kWindowMenuTag) {
            for (int32_t i = 1; i <= VXCountMenuItems(menu); ++i) {
                char text[128];
                VXGetMenuItemText(menu, true, i, text);
                out += std::string(" ") + (VXGetMenuItemEnabled(menu, true, i) ? "" : "-") + "\"" + text + "\"" +
                       (VXGetMenuItemChecked(menu, true, i) ? "!" : "");
            }
        } else {
            DumpMenu(menu, &out);
        }
        out += '\n';
    }
    return out;
}

std::vector<std::string> WindowMenuTexts() {
    std::vector<std::string> texts;
    VXMenuRecord* menu = nullptr;
    for (uint32_t m = 0; m < gCurrMenuBar->count; ++m)
        if (gCurrMenuBar->menus[m]->menuID == kWindowMenuTag) menu = gCurrMenuBar->menus[m];
    for (int32_t i = 1; menu && i <= VXCountMenuItems(menu); ++i) {
        char text[128];
        VXGetMenuItemText(menu, true, i, text);
        texts.push_back(text);
    }
    return texts;
}

// ---- Answering the dialogs that come up ----

// Each dialog that comes up, in turn, gets the next key; the message of each (item 4 of the
// save question, item 1 of an alert) is kept. The answers wait for each dialog to be up.
struct Answers {
    std::vector<uint16_t> keys;
    std::vector<std::string> messages;
    int32_t lastDialog = 0;
    int16_t messageItem = 4;
};
Answers gAnswers;

void AnswerNext(void*) {
    VXWindowRecordTag* dialog = FrontDialog();
    if (dialog && dialog->windowID != gAnswers.lastDialog && gAnswers.messages.size() < gAnswers.keys.size()) {
        gAnswers.lastDialog = dialog->windowID;
        gAnswers.messages.push_back(DialogItemText(dialog, gAnswers.messageItem));
        QueueKey(gAnswers.keys[gAnswers.messages.size() - 1]);
    }
    if (gAnswers.messages.size() < gAnswers.keys.size()) VXPostDeferredAction(AnswerNext, nullptr, 0.001);
}

void AnswerDialogs(std::vector<uint16_t> keys, int16_t messageItem = 4) {
    gAnswers = Answers{std::move(keys), {}, 0, messageItem};
    VXPostDeferredAction(AnswerNext, nullptr, 0.001);
}

constexpr uint16_t kEscape = 27;

// ---- The fixture ----

class Shell : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        InitSheetWindows();
        InstallEditorHooks();
        VXSetPrepCommandProc(nullptr, PrepCommand);
        VXSetGlobalCommandProc(DoCommand);
        InitGlobals();
        InstallMenuBar(gStandardMenuBar);
        gGenFlags &= ~kGenMenusOff;
        ResetScrap(kScrapForeign);
        TestResetFilePanels();
    }
    void TearDown() override {
        for (VXTERecord* te : edits_) VXTEDispose(te);
        for (SheetRecord* sheet : SheetWindowSheets(true)) sheet->drawingTE = nullptr;
        while (CountSymbolEditors() > 0) DestroySymbolEditor(GetIndexedSymbolEditor(0));
        for (SheetRecord* sheet : SheetWindowSheets(true)) DestroySheet(sheet);
        for (SheetRecord* sheet : SheetWindowSheets(false)) DestroySheet(sheet);
        DisposeShellGlobals();
        TestResetFilePanels();
        InstallCoreHooks();
        AppDialogsTest::TearDown();
    }

    SheetRecord* NewSheet() {
        SheetRecord* sheet = NewSchematicDrawing();
        EXPECT_NE(sheet, nullptr);
        return sheet;
    }
    // A wire of a new signal of the sheet, selected.
    void SelectNewWire(SheetRecord* sheet) {
        SignalHandle signal = CreateSignal(sheet->signalList);
        ASSERT_NE(signal, nullptr);
        WireHandle wire = CreateWire((*signal)->wires);
        ASSERT_NE(wire, nullptr);
        (*wire)->flags |= kWireFlagSelected;
    }
    // The text tool typing "Label" into the sheet, with "abe" selected.
    VXTERecord* EditText(SheetRecord* sheet) {
        const LRect rect = {10, 10, 40, 200};
        VXTERecord* te = VXTENewUsingStyle(&rect, &rect, kTEStyleCurrent);
        EXPECT_NE(te, nullptr);
        VXTESetText("Label", 5, 0, te);
        VXTESetSelect(1, 4, te);
        edits_.push_back(te);
        sheet->selectedTool = 2007;
        sheet->drawingTE = te;
        return te;
    }
    // A document window of the kind, shown in front.
    static VXWindowRecordTag* KindWindow(int16_t kind, const char* title, void* refCon = nullptr) {
        const Rect content = {60, 60, 360, 560};
        VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, kVXFlagResizable | kVXFlagClosable, kind,
                                                   0, 0, &content, title, 0, refCon, nullptr);
        EXPECT_NE(window, nullptr);
        VXShowWindow(window);
        VXSelectWindow(window);
        return window;
    }
    // A symbol editor of a component in its window.
    SymbolEditorRecord* NewSymbolEditor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(CreateLibraryItem(kLibItemComponent), 0);
        EXPECT_NE(editor, nullptr);
        if (editor) editor->window = KindWindow(kSymbolEditorKind, "Resistor");
        return editor;
    }
    // An empty sheet's file in the test's folder; its path.
    std::string SheetFile(const char* name) {
        const std::string path = dir.file(name);
        SheetRecord* sheet = CreateDrawing();
        EXPECT_NE(sheet, nullptr);
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromPathName(nullptr, path.c_str(), &spec), 0);
        EXPECT_EQ(WriteSheetFile(sheet, &spec), 0);
        DestroySheet(sheet);
        return path;
    }
    TempDir dir;
    std::vector<VXTERecord*> edits_;
};

// ---- Every command's state for each kind of front document ----

TEST_F(Shell, NoDocumentWindow) {
    // No document window.
    EXPECT_EQ(MenuStates(),
              "App: -101 -102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] -203 -204 -205 -220[ -221 -222 -225 ] -206 -207\n"
              "Edit: -301 -302 -303 -304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -317 -318 -319\n"
              "-Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525 -526 -527 -528 -529 -530! ] -540[ -541 -542 -543 ] "
              "-504 -505 -506\n"
              "-View: -601 -602 -603 -604 -605 -606 -607 -608 -609 -610\n"
              "Tools: -401 -402 -403 -404 -405 -406 -407 -408 -409 410 -411 413 -414\n"
              "Window: -\"None\"\n");
}


TEST_F(Shell, ModalDialogInFront) {
    std::string states;
    InDialog(
        [&](VXWindowRecordTag* dialog) {
            states = MenuStates();
            EXPECT_FALSE(WriteScreenshot(dialog, "save-question.png").empty());
        },
        kEscape);
    bool save = true;
    EXPECT_FALSE(AskSaveDialog("A.SHX", kSheetKind, &save));
    EXPECT_EQ(states, "App: -101 -102 -105\n"
              "-File: -212[ -201 -214 -215 ] -202 -211 -219[ -899 ] -203 -204 -205 -220[ -221 -222 -225 ] -206 -207\n"
              "Edit: -301 -302 -303 -304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -317 -318 -319\n"
              "-Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525 -526 -527 -528 -529 -530! ] -540[ -541 -542 -543 ] -504 -505 -506\n"
              "-View: -601 -602 -603 -604 -605 -606 -607 -608 -609 -610\n"
              "-Tools: -401 -402 -403 -404 -405 -406 -407 -408 -409 -410 -411 -413 -414\n"
              "-Window: -\"None\"\n");
}

TEST_F(Shell, SheetWithOnlyWiresSelected) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    SelectNewWire(sheet);
    EXPECT_EQ(MenuStates(), "App: -101 -102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 204 205 220[ 221 -222 225 ] -206 -207\n"
              "Edit: -301 -302 -303 304 -305 -311 -306 -312 -313 -314 -315 1500[ 1598 1599 ] -317 -318 -319\n"
              "Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525! -526 -527 -528 -529 -530 ] -540[ -541! -542 -543 ] -504 -505 506\n"
              "View: -601! -602 -603 -604 -605 606 607 608 609 610\n"
              "Tools: -401 -402 -403 -404 -405 -406 -407 -408 -409 410 -411 413 -414\n"
              "Window: \"Untitled 1\"!\n");
    EXPECT_EQ(gSignalSelection, 1);
}

TEST_F(Shell, SheetWithATextBeingEdited) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    EditText(sheet);
    EXPECT_EQ(MenuStates(), "App: -101 -102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 204 205 220[ 221 -222 225 ] -206 -207\n"
              "Edit: -301 302 303 304 305 -311 306 -312 -313 -314 -315 1500[ 1598 1599 ] -317 -318 -319\n"
              "Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525! -526 -527 -528 -529 -530 ] -540[ -541! -542 -543 ] -504! -505 506\n"
              "View: -601! -602 -603 -604 -605 606 607 608 609 610\n"
              "Tools: -401 -402 -403 -404 -405 -406 -407 -408 -409 410 -411 413 -414\n"
              "Window: \"Untitled 1\"!\n");
    EXPECT_TRUE(gIsTESelection);
}

TEST_F(Shell, SymbolEditorInFront) {
    SymbolEditorRecord* editor = NewSymbolEditor();
    ASSERT_NE(editor, nullptr);
    // Its activation puts up the symbol editor's bar, with the Grid menu.
    DoSymbolEditorActivate(editor);
    EXPECT_EQ(gCurrMenuBar, gSymbolEditMenuBar);
    editor->grid = 12;
    EXPECT_EQ(MenuStates(), "App: -101 -102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 -204 -205 -220[ -221 -222 -225 ] -206 -207\n"
              "Edit: -301 -302 -303 304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -317 -318 -319\n"
              "Text: -501! -502[ ] -520[ -521 -522 -523 -524 -525! -526 -527 -528 -529 -530 ] -540[ -541! -542 -543 ] -504 -505 506\n"
              "View: -601! -602 -603 -604 -605 -606 607 -608 -609 610\n"
              "Grid: -701 -702! -703 -704 -705 -706 -707 -708\n"
              "Window: \"Resistor\"!\n");
}

TEST_F(Shell, ProjectWindowInFront) {
    Tree tree;
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    project.List();
    project->window = KindWindow(kProjectKind, "Test.PRX");
    EXPECT_EQ(MenuStates(), "App: -101 -102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 -204 -205 220[ 221 -222 -225 ] -206 -207\n"
              "Edit: -301 -302 -303 -304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -317 -318 319\n"
              "-Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525 -526 -527 -528 -529 -530! ] -540[ -541 -542 -543 ] -504 -505 -506\n"
              "-View: -601 -602 -603 -604 -605 -606 -607 -608 -609 -610\n"
              "Tools: -401 -402 -403 -404 405 406 -407 -408 -409 410 411 413 -414\n"
              "Window: \"Test.PRX\"!\n");
    project->window = nullptr;
}

// The real project window: Open Selection and Clear need a selected row, Select All a top-level
// sheet in the tree.
TEST_F(Shell, ProjectWindowRowsEnableOpenClearAndSelectAll) {
    Tree tree;
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    project.List();
    ASSERT_NE(CreateProjectWindow(project.get()), nullptr);
    VXShowWindow(project->window);
    VXSelectWindow(project->window);
    const auto states = [&](std::initializer_list<uint16_t> ids) {
        const std::string all = MenuStates();
        std::string text;
        for (uint16_t id : ids) {
            // The item as the table writes it: " ID" enabled, " -ID" disabled.
            const std::string digits = std::to_string(id);
            for (size_t at = all.find(digits); at != std::string::npos; at = all.find(digits, at + 1)) {
                const char after = at + digits.size() < all.size() ? all[at + digits.size()] : '\n';
                if (std::isdigit(uint8_t(after)) || at == 0 || std::isdigit(uint8_t(all[at - 1]))) continue;
                text += all[at - 1] == '-' ? " -" + digits : " " + digits;
                break;
            }
        }
        return text;
    };
    EXPECT_EQ(states({211, 305, 306}), " -211 -305 -306") << "an empty tree";
    SheetNode* top = AddSheetNode(project->hierarchy, nullptr, nullptr, 0, 0);
    ASSERT_NE(AddSheetNode(project->hierarchy, top, nullptr, 1, 0), nullptr);
    SyncProjectTree(project.get());
    EXPECT_EQ(CountProjectRows(project.get()), 1) << "the sub-sheet's branch starts closed";
    EXPECT_EQ(states({211, 305, 306}), " -211 -305 306");
    DispatchCommand(project->window, 306, false, false, false);
    EXPECT_EQ(CountSelectedProjectRows(project.get()), 1);
    EXPECT_EQ(states({211, 305, 306}), " 211 305 306");
    // The window's ideal height: a few rows take 115 pixels, more their rows.
    EXPECT_EQ(ProjectWindowIdealHeight(3), 115);
    EXPECT_EQ(ProjectWindowIdealHeight(10), 229);
    VXDestroyWindow(project->window);
    EXPECT_EQ(project->window, nullptr);
}

// ---- The Window menu ----

TEST_F(Shell, TheWindowMenuListsTheFirstEightyWindowsFrontToBack) {
    std::vector<VXWindowRecordTag*> windows;
    for (int i = 0; i < 81; ++i) windows.push_back(KindWindow(130, ("W" + std::to_string(i)).c_str()));
    MenuStates();
    const std::vector<std::string> texts = WindowMenuTexts();
    ASSERT_EQ(texts.size(), 80u);
    // The first made is the back-most: it is the one left out.
    for (const std::string& text : texts) EXPECT_NE(text, "W0");
    EXPECT_EQ(CountWindowMenuEntries(), 80);
    // Choosing an item brings its window to the front.
    const WindowMenuEntry* entry = GetWindowMenuEntry(5);
    ASSERT_NE(entry, nullptr);
    VXWindowRecordTag* chosen = entry->window;
    DispatchCommand(nullptr, uint16_t(kWindowMenuFirstItem + 5), false, false, false);
    EXPECT_EQ(VXTopLevelWindows().front(), chosen);
}

TEST_F(Shell, SheetsAndTheirLogsAreListedUnderTheirProject) {
    Tree tree;
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    project.List();
    SheetRecord* b = NewSheet();
    SheetRecord* a = NewSheet();
    SheetRecord* alone = NewSheet();
    ASSERT_TRUE(a && b && alone);
    VXSetWindowTitle(a->window, "Amp");
    VXSetWindowTitle(b->window, "Bias");
    VXSetWindowTitle(alone->window, "Loose");
    a->project = b->project = project.get();
    // A log of a sheet and a log of the project: each under its owner, not lost.
    LogWindowRecord sheetLog{nullptr, alone, kSheetKind, 0};
    sheetLog.window = KindWindow(kMessageLogKind, "Loose Messages", &sheetLog);
    LogWindowRecord ampLog{nullptr, a, kSheetKind, 0};
    ampLog.window = KindWindow(kMessageLogKind, "Amp Messages", &ampLog);
    LogWindowRecord projectLog{nullptr, project.get(), kProjectKind, 0};
    projectLog.window = KindWindow(kMessageLogKind, "Test Messages", &projectLog);
    project->window = KindWindow(kProjectKind, "Test.PRX");
    MenuStates();
    EXPECT_EQ(WindowMenuTexts(), (std::vector<std::string>{"Test.PRX", "  Amp", "    Amp Messages", "  Bias",
                                                           "  Test Messages", "Loose", "  Loose Messages"}));
    // Without its project's window a sheet stands at the top level among the sheets.
    VXDestroyWindow(project->window);
    project->window = nullptr;
    MenuStates();
    EXPECT_EQ(WindowMenuTexts(), (std::vector<std::string>{"Amp", "  Amp Messages", "Bias", "Loose",
                                                           "  Loose Messages", "Test Messages"}));
    a->project = b->project = nullptr;
}

// ---- The clipboard kind ----

TEST_F(Shell, AnotherApplicationsCopyMakesTheClipboardForeignUntilTheProgramWritesIt) {
    ResetScrap(kScrapPrivateClip);
    EXPECT_EQ(GetScrapType(), kScrapPrivateClip);
    gCurrClipFlags = kClipFlagReported;
    EXPECT_EQ(GetScrapType(), kScrapPrivateClipFlagged);
    gCurrClipFlags = 0;
    // Another application copies text.
    ASSERT_TRUE(PlatformClipboardSetText(u"from elsewhere"));
    EXPECT_EQ(GetScrapType(), kScrapForeign);
    EXPECT_EQ(GetScrapType(), kScrapForeign);
    // Paste on a sheet takes note of it and pastes nothing.
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    const size_t symbols = sheet->symbolList->count;
    EXPECT_EQ(DispatchCommand(nullptr, 304, false, false, false), 1);
    EXPECT_EQ(GetScrapType(), kScrapPrivateClip);
    EXPECT_EQ(sheet->symbolList->count, symbols);
    EXPECT_FALSE(IsSheetModifiedForSave(sheet));
}

// ---- The general flag that turns the menus off ----

TEST_F(Shell, TheMenusOffFlagDisablesEveryItem) {
    NewSheet();
    gGenFlags |= kGenMenusOff;
    const std::string states = MenuStates();
    gGenFlags &= ~kGenMenusOff;
    // Every item and menu is marked disabled; the Window menu keeps the items it had.
    std::string enabled;
    size_t at = 0;
    while ((at = states.find_first_of(" :", at)) != std::string::npos) {
        ++at;
        if (at < states.size() && std::isdigit(static_cast<unsigned char>(states[at]))) enabled += states.substr(at, 4) + " ";
    }
    EXPECT_EQ(enabled, "") << states;
    for (const char* menu : {"\nFile:", "\nEdit:", "\nText:", "\nView:", "\nTools:"})
        EXPECT_EQ(states.find(menu), std::string::npos) << menu << " is enabled:\n" << states;
}

// ---- Text > Size ----

TEST_F(Shell, TheSizeMenuMarksExactlyOneItem) {
    SheetRecord* sheet = NewSheet();
    ASSERT_TRUE(sheet && sheet->currentTextStyle);
    struct Case {
        uint16_t size;
        uint16_t marked;
    };
    for (const Case c : {Case{12, 525}, Case{7, 521}, Case{36, 529}, Case{11, 530}, Case{0, 530}}) {
        sheet->currentTextStyle->size = c.size;
        MenuStates();
        VXMenuRecord* sizes = VXGetMenuWithTag(kFontSizeMenuTag);
        std::vector<uint16_t> marked;
        for (int32_t i = 1; i <= VXCountMenuItems(sizes); ++i)
            if (VXGetMenuItemChecked(sizes, true, i)) marked.push_back(VXGetMenuItemTag(sizes, i));
        EXPECT_EQ(marked, std::vector<uint16_t>{c.marked}) << c.size;
    }
}

// ---- Menu bars ----

TEST_F(Shell, InstallingTheCurrentBarAgainDoesNothing) {
    // Another bar put up behind the shell's back stays: the shell's bar is current for it.
    VXSetCurrentMenuBar(gLibEditMenuBar);
    InstallMenuBar(gStandardMenuBar);
    ASSERT_EQ(gCurrentMenuBar->count, 4u);
    EXPECT_EQ(gCurrentMenuBar->menus[2]->menuID, 1000);
    // A different bar is installed.
    InstallMenuBar(gSymbolEditMenuBar);
    ASSERT_EQ(gCurrentMenuBar->count, 6u);
    EXPECT_EQ(gCurrentMenuBar->menus[4]->menuID, 700);
    EXPECT_EQ(gCurrMenuBar, gSymbolEditMenuBar);
}

// ---- Quitting ----

TEST_F(Shell, CancelAtTheSecondModifiedSheetStopsTheQuitAndWritesNothing) {
    SheetRecord* first = NewSheet();
    SheetRecord* second = NewSheet();
    ASSERT_TRUE(first && second);
    SetSheetModifiedStatus(first, kSheetModifiedContent);
    SetSheetModifiedStatus(second, kSheetModifiedContent);
    const int32_t secondWindow = second->window->windowID;
    const int32_t firstWindow = first->window->windowID;
    const int32_t writes = PreferencesWriteCount();
    vx.quitProc = QuitHandler;
    // The front sheet is asked first: Don't Save; the other: Cancel.
    AnswerDialogs({'d', kEscape});
    // The toolkit's termination step: the quitting flag is up while the quit procedure runs.
    vx.terminationInProgress = 1;
    const int32_t quit = vx.quitProc();
    vx.terminationInProgress = 0;
    EXPECT_EQ(quit, 0);
    EXPECT_EQ(gAnswers.messages, (std::vector<std::string>{"Save changes to \"Untitled 2\" before quitting?",
                                                           "Save changes to \"Untitled 1\" before quitting?"}));
    EXPECT_EQ(VXGetWindowFromId(secondWindow), nullptr);
    ASSERT_NE(VXGetWindowFromId(firstWindow), nullptr);
    EXPECT_EQ(SheetWindowSheets(true), std::vector<SheetRecord*>{first});
    EXPECT_TRUE(IsSheetModifiedForSave(first));
    EXPECT_EQ(PreferencesWriteCount(), writes);
}

TEST_F(Shell, QuittingWithNoWindowsWritesThePreferences) {
    const int32_t writes = PreferencesWriteCount();
    EXPECT_EQ(AttemptAppClosure(false), 1);
    EXPECT_EQ(PreferencesWriteCount(), writes + 1);
}

TEST_F(Shell, ShiftCloseClosesEverySheetAskingForEachModifiedOne) {
    SheetRecord* first = NewSheet();
    SheetRecord* second = NewSheet();
    ASSERT_TRUE(first && second);
    SetSheetModifiedStatus(first, kSheetModifiedContent);
    AnswerDialogs({'d'});
    EXPECT_EQ(DispatchCommand(nullptr, 203, false, true, false), 1);
    EXPECT_EQ(gAnswers.messages, std::vector<std::string>{"Save changes to \"Untitled 1\" before closing?"});
    EXPECT_TRUE(SheetWindowSheets(true).empty());
}

// ---- Start-up ----

TEST_F(Shell, ADocumentHandedInAtLaunchOpensOnceTheEditorsServicesAreUp) {
    const std::string path = SheetFile("Amp.SHX");
    DisposeShellGlobals();
    VXResetShellRequestsForTesting(true);
    StartShell();
    ASSERT_EQ(VXPostShellRequestAction(kVXShellOpenFile, path.c_str(), 0, 1), 0);
    // Held: nothing opens before the editor's services.
    TestRunDueWork();
    EXPECT_EQ(VXCountShellRequests(), 1);
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    EXPECT_EQ(gCurrMenuBar, nullptr);
    // The deferred start-up runs, then the request: the sheet opens under the standard bar.
    for (int step = 0; step < 100 && SheetWindowSheets(true).empty(); ++step) TestClockAdvance(10'000);
    ASSERT_EQ(SheetWindowSheets(true).size(), 1u);
    EXPECT_EQ(WindowTitle(SheetWindowSheets(true)[0]->window), "Amp");
    EXPECT_EQ(gCurrMenuBar, gStandardMenuBar);
    EXPECT_EQ(VXCountShellRequests(), 0);
    EXPECT_EQ(VXShellRequestsHoldCount(), 0);
}

// ---- Edit > synchronising a file symbol with its sheet ----

TEST_F(Shell, AFileSymbolThatFollowsItsSheetAlreadySaysNoChangesWereRequired) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    SymbolEditorRecord* editor = NewSymbolEditor();
    ASSERT_NE(editor, nullptr);
    editor->sheet = sheet;
    editor->state |= kSymEditFileSymbol;
    AnswerDialogs({13}, 1);
    EXPECT_EQ(DispatchCommand(nullptr, 316, false, false, false), 1);
    EXPECT_EQ(gAnswers.messages, std::vector<std::string>{"No changes were required."});
    editor->sheet = nullptr;
}

// ---- File > Open ----

TEST_F(Shell, OpenOpensEverySheetChosenInThePanel) {
    const std::string amp = SheetFile("Amp.SHX"), bias = SheetFile("Bias.SHX");
    TestQueueFilePanelAnswer(true, {amp, bias});
    EXPECT_EQ(DispatchCommand(nullptr, 202, false, false, false), 1);
    std::vector<std::string> titles;
    for (SheetRecord* sheet : SheetWindowSheets(true)) titles.push_back(WindowTitle(sheet->window));
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"Amp", "Bias"}));
    ASSERT_NE(TestLastFilePanelRequest(), nullptr);
    // A cancelled panel opens nothing and says nothing.
    TestQueueFilePanelAnswer(false, {});
    EXPECT_EQ(DispatchCommand(nullptr, 202, false, false, false), 1);
    EXPECT_EQ(SheetWindowSheets(true).size(), 2u);
}

TEST_F(Shell, SaveInTheQuestionWritesTheSheetBeforeItsWindowGoes) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    SetSheetModifiedStatus(sheet, kSheetModifiedContent);
    const std::string path = dir.file("Kept.SHX");
    TestQueueFilePanelAnswer(true, {path});
    AnswerDialogs({'s'});
    EXPECT_TRUE(VXSendGoAway(sheet->window));
    EXPECT_EQ(gAnswers.messages, std::vector<std::string>{"Save changes to \"Untitled 1\" before closing?"});
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    EXPECT_EQ(access(path.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace plexa::test
