// The application shell driven as a person drives it: real sheet, symbol-editor, project and log
// windows made by the functions that make them, the menus prepared through the toolkit's
// preparation chain, commands sent through its dispatch, and dialogs answered with keys.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/prefs.h"
#include "app/recentmenus.h"
#include "app/root.h"
#include "app/shell.h"
#include "sheeteditor/colorpopups.h"
#include "files/project.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetload.h"
#include "foundation/dynfile.h"
#include "files/sheetstore.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "files/tests/files_testing.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/selectionsummary.h"
#include "model/signals.h"
#include "model/wires.h"
#include "foundation/strings.h"
#include "platform/testseam_platform.h"
#include "platform/input_platform.h"
#include "foundation/ll.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"
#include "platform/panel_platform.h"
#include "sheeteditor/projectwindow.h"
#include "sheeteditor/savecommands.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symundo.h"
#include "symboleditor/symwindow.h"
#include "tests/support/unprivileged.h"
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
// The Edit menu's first item as prepared now.
std::string UndoTitle() {
    PrepareMenuBar();
    uint16_t index = 0;
    VXMenuRecord* menu = VXFindMenuItemWithTag(301, &index);
    if (!menu) return {};
    char text[128];
    VXGetMenuItemText(menu, true, index, text);
    return text;
}

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
        // Files an earlier test opened or saved are not this test's recent files.
        InitRecentFiles();
        RebuildRecentFilesMenu();
    }
    void TearDown() override {
        for (VXTERecord* te : edits_) VXTEDispose(te);
        for (SheetRecord* sheet : SheetWindowSheets(true)) sheet->drawingTE = nullptr;
        while (CountSymbolEditors() > 0) DestroySymbolEditor(GetIndexedSymbolEditor(0));
        for (SheetRecord* sheet : SheetWindowSheets(true)) DestroySheet(sheet);
        for (SheetRecord* sheet : SheetWindowSheets(false)) DestroySheet(sheet);
        DisposeShellGlobals();
        DisposePreferences();
        SetPreferencesHooks({});
        TestResetFilePanels();
        InstallCoreHooks();
        AppDialogsTest::TearDown();
    }
    // The start-up reads and the quit writes the preferences of a folder of the test's own.
    TempDir configHome_;
    test::EnvScope configEnv_{"XDG_CONFIG_HOME", configHome_.path()};

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
        EXPECT_TRUE(VXTESetText("Label", 5, 0, te));
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
              "App: 101 102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] -203 -204 -205 -220[ -221 -222 -225 ] -206 -207\n"
              "Edit: -301 -302 -303 -304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -316 -317 -318 -319\n"
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
              "Edit: -301 -302 -303 -304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -316 -317 -318 -319\n"
              "-Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525 -526 -527 -528 -529 -530! ] -540[ -541 -542 -543 ] -504 -505 -506\n"
              "-View: -601 -602 -603 -604 -605 -606 -607 -608 -609 -610\n"
              "-Tools: -401 -402 -403 -404 -405 -406 -407 -408 -409 -410 -411 -413 -414\n"
              "-Window: -\"None\"\n");
}

TEST_F(Shell, SheetWithOnlyWiresSelected) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    SelectNewWire(sheet);
    // Signal wires alone can be cleared, not cut, copied or duplicated.
    EXPECT_EQ(MenuStates(), "App: 101 102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 204 205 220[ 221 -222 225 ] 206 207\n"
              "Edit: -301 -302 -303 304 305 -311 306 -312 -313 -314 -315 1500[ 1598 -1599 ] -316 -317 318 -319\n"
              "Text: 501 502[ ] 520[ 521 522 523 524 525! 526 527 528 529 530 ] 540[ 541! 542 543 ] -504 -505 506\n"
              "View: 601! 602 603 604 605 606 607 608 609 610\n"
              "Tools: 401 402 -403 -404 -405 -406 -407 -408 409 410 -411 413 -414\n"
              "Window: \"Untitled 1\"!\n");
    EXPECT_EQ(FrontSelection().signals, 1);
}

// Select All on a sheet: its contents and the frames no symbol owns, not the free texts; with
// Option only the texts (not hidden ones) and every frame.
TEST_F(Shell, SelectAllOnASheetWithAndWithoutOption) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    SelectNewWire(sheet);
    WireHandle wire = static_cast<WireHandle>(LLFirst((*static_cast<SignalHandle>(LLFirst(sheet->signalList)))->wires));
    (*wire)->flags &= uint16_t(~kWireFlagSelected);
    ElementRecord* element = BuildCommonElement(kElementRect, {10, 10}, {40, 60}, 1, 0, 0, false, false, 0, false, 0, false);
    ASSERT_NE(element, nullptr);
    LLPush(sheet->elementList, element);
    TextRecord* text = CreateDrawingText(sheet, kTextKindFree, 0, Point{100, 20}, "Free");
    TextRecord* hidden = CreateDrawingText(sheet, kTextKindFree, kTextFlagHidden, Point{120, 20}, "Hidden");
    ASSERT_TRUE(text && hidden);
    TextFrameHandle free = CreateTextFrame("Note", -1, kEncodingUTF8);
    TextFrameHandle owned = CreateTextFrame("Part", -1, kEncodingUTF8);
    ASSERT_TRUE(free && owned);
    (*owned)->owner = 7;
    LLPush(sheet->textFrameList, free);
    LLPush(sheet->textFrameList, owned);
    const auto selected = [&] {
        std::string out;
        out += ((*wire)->flags & kWireFlagSelected) ? "wire " : "";
        out += (element->flags & kElementSelected) ? "element " : "";
        out += (text->flags & kTextFlagSelected) ? "text " : "";
        out += (hidden->flags & kTextFlagSelected) ? "hidden " : "";
        out += ((*free)->flags & kFrameFlagSelected) ? "free-frame " : "";
        out += ((*owned)->flags & kFrameFlagSelected) ? "owned-frame " : "";
        return out;
    };
    EXPECT_EQ(DispatchCommand(sheet->window, 306, false, false, false), 1);
    EXPECT_EQ(selected(), "wire element free-frame ");
    TestSetKeyDown(kPlatformKeyOption, true);
    EXPECT_EQ(DispatchCommand(sheet->window, 306, false, false, false), 1);
    TestSetKeyDown(kPlatformKeyOption, false);
    EXPECT_EQ(selected(), "text free-frame owned-frame ");
}

TEST_F(Shell, ArrangeCommandsOrderTheSelectedElement) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    const std::string disabled = "-312 -313 -314 -315", enabled = " 312 313 314 315";
    EXPECT_NE(MenuStates().find(disabled), std::string::npos);
    // Two frames, the back one selected.
    ElementRecord* front = BuildCommonElement(kElementRect, {10, 10}, {50, 50}, 1, 0, 0, false, false, 0, false,
                                              0, false);
    ElementRecord* back = BuildCommonElement(kElementRect, {20, 20}, {60, 60}, 2, 0, 0, false, false, 0, false,
                                             0, false);
    ASSERT_TRUE(front && back);
    LLAppend(sheet->elementList, front);
    LLAppend(sheet->elementList, back);
    back->flags |= kElementSelected;
    EXPECT_NE(MenuStates().find(enabled), std::string::npos);
    sheet->modifiedFlags = 0;
    EXPECT_EQ(DispatchCommand(nullptr, 312, false, false, false), 1);
    EXPECT_EQ(LLFirst(sheet->elementList), back);
    EXPECT_NE(sheet->modifiedFlags, 0);
    EXPECT_EQ(DispatchCommand(nullptr, 315, false, false, false), 1);
    EXPECT_EQ(LLFirst(sheet->elementList), front);
    EXPECT_TRUE(back->flags & kElementBackLayer);
}

TEST_F(Shell, ArrangeCommandsInASymbolEditorTakeOneElement) {
    SymbolEditorRecord* editor = NewSymbolEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->elements, nullptr);
    DoSymbolEditorActivate(editor);
    ElementRecord* front = BuildCommonElement(kElementOval, {10, 10}, {50, 50}, 1, 0, 0, false, false, 0, false,
                                              0, false);
    ElementRecord* back = BuildCommonElement(kElementOval, {20, 20}, {60, 60}, 2, 0, 0, false, false, 0, false,
                                             0, false);
    ASSERT_TRUE(front && back);
    LLAppend(editor->elements, front);
    LLAppend(editor->elements, back);
    front->flags |= kElementSelected;
    back->flags |= kElementSelected;
    EXPECT_NE(MenuStates().find("-312 -313 -314 -315"), std::string::npos);  // two selected
    front->flags &= uint16_t(~kElementSelected);
    EXPECT_NE(MenuStates().find(" 312 313 314 315"), std::string::npos);
    EXPECT_EQ(DispatchCommand(nullptr, 313, false, false, false), 1);
    EXPECT_EQ(LLFirst(editor->elements), back);
    // A symbol editor has no back layer.
    EXPECT_EQ(DispatchCommand(nullptr, 315, false, false, false), 1);
    EXPECT_EQ(LLFirst(editor->elements), front);
    EXPECT_FALSE(back->flags & kElementBackLayer);
}

TEST_F(Shell, AColourChoiceRestylesTheSymbolEditorsSelection) {
    SymbolEditorRecord* editor = NewSymbolEditor();
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->elements, nullptr);
    ElementRecord* box = BuildCommonElement(kElementRect, {10, 10}, {50, 50}, 1, 0, 0, false, false, 0, false, 0,
                                            false);
    ASSERT_NE(box, nullptr);
    LLAppend(editor->elements, box);
    box->flags |= kElementSelected;
    SetSelectionFromChoice(editor->window, kChoiceFrameColor, 0x00FF8000);
    EXPECT_TRUE(box->flags & kElementOwnFrameColor);
    EXPECT_EQ(box->frameColor, 0x00FF8000u);
    SetSelectionFromChoice(editor->window, kChoiceWidth, 3);
    EXPECT_EQ(box->penWidth, 3);
}

TEST_F(Shell, SheetWithATextBeingEdited) {
    SheetRecord* sheet = NewSheet();
    ASSERT_NE(sheet, nullptr);
    EditText(sheet);
    EXPECT_EQ(MenuStates(), "App: 101 102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 204 205 220[ 221 -222 225 ] 206 207\n"
              "Edit: -301 302 303 304 305 -311 306 -312 -313 -314 -315 1500[ 1598 -1599 ] -316 -317 318 -319\n"
              "Text: 501 502[ ] 520[ 521 522 523 524 525! 526 527 528 529 530 ] 540[ 541! 542 543 ] 504! 505 506\n"
              "View: 601! 602 603 604 605 606 607 608 609 610\n"
              "Tools: 401 402 -403 -404 -405 -406 -407 -408 409 410 -411 413 -414\n"
              "Window: \"Untitled 1\"!\n");
    EXPECT_TRUE(FrontSelection().textEditing);
}

TEST_F(Shell, SymbolEditorInFront) {
    SymbolEditorRecord* editor = NewSymbolEditor();
    ASSERT_NE(editor, nullptr);
    // Its activation puts up the symbol editor's bar, with the Grid menu.
    DoSymbolEditorActivate(editor);
    EXPECT_EQ(gCurrMenuBar, gSymbolEditMenuBar);
    editor->grid = 12;
    EXPECT_EQ(MenuStates(), "App: 101 102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 -204 -205 -220[ -221 -222 -225 ] -206 -207\n"
              "Edit: -301 -302 -303 304 -305 -311 306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -316 -317 -318 -319\n"
              "Text: 501! 502[ ] 520[ 521 522 523 524 525! 526 527 528 529 530 ] 540[ 541! 542 543 ] -504 -505 506\n"
              "View: 601! 602 603 604 605 -606 607 608 -609 610\n"
              "Grid: 701 702! 703 704 705 706 707 708\n"
              "Window: \"Resistor\"!\n");

    // A rotation gives Undo its action; the command undoes it and then offers to redo it.
    ElementRecord* box = BuildCommonElement(kElementRect, {48, 48}, {96, 120}, 1, 0, 0, false, false, 0, false, 0, false);
    box->flags |= kElementSelected;
    LLAppend(editor->elements, box);
    ASSERT_TRUE(TransformSymbolEditorSelection(editor, kSelectionCentre, 1));
    EXPECT_NE(MenuStates().find("Edit: 301 "), std::string::npos);
    EXPECT_EQ(UndoTitle(), "Undo Transformation");
    EXPECT_EQ(DispatchCommand(nullptr, 301, false, false, false), 1);
    EXPECT_EQ(box->rect.left, 48);
    EXPECT_EQ(UndoTitle(), "Redo Transformation");
}

TEST_F(Shell, ProjectWindowInFront) {
    Tree tree;
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    project.List();
    project->window = KindWindow(kProjectKind, "Test.PRX");
    EXPECT_EQ(MenuStates(), "App: 101 102 105\n"
              "File: 212[ 201 214 215 ] 202 -211 -219[ -899 ] 203 -204 -205 220[ 221 -222 -225 ] 206 207\n"
              "Edit: -301 -302 -303 -304 -305 -311 -306 -312 -313 -314 -315 -1500[ -1598 -1599 ] -316 -317 -318 319\n"
              "-Text: -501 -502[ ] -520[ -521 -522 -523 -524 -525 -526 -527 -528 -529 -530! ] -540[ -541 -542 -543 ] -504 -505 -506\n"
              "-View: -601 -602 -603 -604 -605 -606 -607 -608 -609 -610\n"
              "Tools: 401 402 -403 -404 405 406 407 -408 409 410 411 413 -414\n"
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

// ---- Telling a file's kind and opening it ----

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string Copy(const std::string& from, const std::string& to) {
    WriteBytes(to, ReadBytes(from));
    return to;
}
FileSpec SpecOf(const std::string& path) {
    FileSpec spec{};
    EXPECT_EQ(FileSpecFromPathName(nullptr, path.c_str(), &spec), 0) << path;
    return spec;
}
std::vector<std::string> FolderListing(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string FourCCText(FourCharCode code) {
    std::string text;
    for (int shift = 24; code && shift >= 0; shift -= 8) text += char((code >> shift) & 0xFF);
    return text;
}

TEST_F(Shell, EachKindOfFileIsToldByItsContentAndNothingIsWrittenIntoIt) {
    const std::string amp = SourcePath("tools/tests/fixtures/amp/"), corpus = SourcePath("fuzz/corpus/");
    FileSpec folder = SpecOf(dir.path());
    // Dynamic files of other kinds, made as their writers make them.
    const auto dynamicFile = [&](const char* name, const char* type) {
        FileSpec spec = SpecOf(dir.file(name));
        EXPECT_EQ(CreateDynamicFile(&spec, "QPLX", type, type, 0), 0);
        return dir.file(name);
    };
    (void)folder;
    WriteBytes(dir.file("Notes.txt"), "Parts to order:\n\tR1 10k\n");
    WriteBytes(dir.file("Junk.bin"), std::string("\x01\x02\x00\x7F", 4));
    WriteBytes(dir.file("Empty.SHX"), "");
    struct Case {
        std::string path;
        OSStatus status;
        const char* type;
        DocumentKind kind;
        bool library;
    };
    const Case cases[] = {
        {amp + "RC.SHX", 0, "SCH4", DocumentKind::kSheet, false},
        // The name does not decide: a sheet under another name is a sheet.
        {Copy(amp + "RC.SHX", dir.file("rc sheet.dat")), 0, "SCH4", DocumentKind::kSheet, false},
        {amp + "amp.PRX", 0, "PRJ4", DocumentKind::kProject, false},
        {corpus + "library_file/items.LBX", 0, "LIB4", DocumentKind::kLibrary, false},
        {dynamicFile("Plexa 6.0 Preferences", "pref"), status::kUnknownFileKind, "", DocumentKind::kOtherDynamicFile,
         false},
        {dynamicFile("Old.SPR", "QSPR"), 0, "QSPR", DocumentKind::kOldProject, false},
        {corpus + "converter_v36sheet/amplifier", 0, "QSCM", DocumentKind::kOldSheet, false},
        {corpus + "converter_v36sheet/little", 0, "QSCM", DocumentKind::kOldSheet, false},
        {corpus + "converter_v36library/big", 0, "QLIB", DocumentKind::kOldLibrary, false},
        {corpus + "converter_v36library/little", 0, "QLIB", DocumentKind::kOldLibrary, false},
        {corpus + "files_sheetload/ascii-library", 0, "TEXT", DocumentKind::kLibraryDatabase, true},
        {SourcePath("resources/scripts/Netlist.SXP"), 0, "TEXT", DocumentKind::kReportScript, false},
        {dir.file("Notes.txt"), status::kUserCancelled, "TEXT", DocumentKind::kText, false},
        // Text named as a sheet is still text.
        {Copy(dir.file("Notes.txt"), dir.file("Notes.SHX")), status::kUserCancelled, "TEXT", DocumentKind::kText,
         false},
        {dir.file("Junk.bin"), status::kNotDynamicFile, "", DocumentKind::kNone, false},
        {dir.file("Empty.SHX"), status::kUserCancelled, "TEXT", DocumentKind::kText, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string before = ReadBytes(c.path);
        struct stat was {};
        ASSERT_EQ(stat(c.path.c_str(), &was), 0);
        const FileSpec spec = SpecOf(c.path);
        FourCharCode type = 1;
        bool library = !c.library;
        DocumentKind kind = DocumentKind::kNone;
        EXPECT_EQ(AutoDetectFileType(&spec, &type, &library, &kind), c.status);
        EXPECT_EQ(FourCCText(type), c.type);
        EXPECT_EQ(kind, c.kind);
        EXPECT_EQ(library, c.library);
        struct stat now {};
        ASSERT_EQ(stat(c.path.c_str(), &now), 0);
        EXPECT_EQ(ReadBytes(c.path), before);
        EXPECT_EQ(now.st_mtim.tv_sec, was.st_mtim.tv_sec);
        EXPECT_EQ(now.st_mtim.tv_nsec, was.st_mtim.tv_nsec);
    }
    // A file that is not there.
    FileSpec missing = SpecOf(dir.path());
    std::snprintf(missing.name, sizeof missing.name, "%s", "Gone.SHX");
    EXPECT_EQ(AutoDetectFileType(&missing, nullptr, nullptr), status::kNotFound);
}

// Opens the file as the desktop hands it in, answering every alert with Return; the alerts' texts.
std::vector<std::string> OpenHandedIn(const std::string& path) {
    AnswerDialogs({13, 13}, 1);
    const FileSpec spec = SpecOf(path);
    ReportOpenFailure(&spec, OpenFileProcessor(&spec));
    std::vector<std::string> shown = gAnswers.messages;
    gAnswers = Answers{};
    return shown;
}

TEST_F(Shell, WhatCannotBeOpenedIsToldWithTheFilesNameAndNothingStaysHalfOpen) {
    const std::string amp = SourcePath("tools/tests/fixtures/amp/");
    // Half a sheet: its blocks end before their records do.
    const std::string whole = ReadBytes(amp + "RC.SHX");
    WriteBytes(dir.file("Damaged.SHX"), whole.substr(0, whole.size() * 2 / 3));
    WriteBytes(dir.file("Notes.txt"), "plain text\n");
    FileSpec pref = SpecOf(dir.file("Plexa 6.0 Preferences"));
    ASSERT_EQ(CreateDynamicFile(&pref, "QPLX", "pref", "pref", 0), 0);

    EXPECT_EQ(OpenHandedIn(dir.file("Damaged.SHX")),
              std::vector<std::string>{"The document \"Damaged.SHX\" could not be opened."});
    const auto old = OpenHandedIn(SourcePath("fuzz/corpus/converter_v36sheet/amplifier"));
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(old[0].rfind("\"amplifier\" is a version-3.6 sheet.", 0), 0u) << old[0];
    EXPECT_NE(old[0].find("plexa-convert"), std::string::npos) << old[0];
    const auto database = OpenHandedIn(SourcePath("fuzz/corpus/files_sheetload/ascii-library"));
    ASSERT_EQ(database.size(), 1u);
    EXPECT_EQ(database[0].rfind("\"ascii-library\" is an ASCII database file.", 0), 0u) << database[0];
    // The preferences file and plain text: nothing opens and nothing is said.
    EXPECT_TRUE(OpenHandedIn(dir.file("Plexa 6.0 Preferences")).empty());
    EXPECT_TRUE(OpenHandedIn(dir.file("Notes.txt")).empty());
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    EXPECT_TRUE(SheetWindowSheets(false).empty());
    // A sheet opens in its window.
    EXPECT_TRUE(OpenHandedIn(Copy(amp + "RC.SHX", dir.file("RC.SHX"))).empty());
    ASSERT_EQ(SheetWindowSheets(true).size(), 1u);
    EXPECT_EQ(WindowTitle(SheetWindowSheets(true)[0]->window), "RC");
}

// ---- Closing a sheet that has a file ----

class ClosingSheets : public Shell {
protected:
    // A copy of the fixture sheet open in its window, in a folder of its own.
    SheetRecord* OpenCopy() {
        std::filesystem::create_directory(folder);
        path = Copy(SourcePath("tools/tests/fixtures/amp/RC.SHX"), folder + "/RC.SHX");
        const FileSpec spec = SpecOf(path);
        EXPECT_EQ(OpenFileProcessor(&spec), 0);
        EXPECT_EQ(SheetWindowSheets(true).size(), 1u);
        return SheetWindowSheets(true).empty() ? nullptr : SheetWindowSheets(true)[0];
    }
    uint16_t StoredScale() {
        const FileSpec spec = SpecOf(path);
        SheetRecord* sheet = nullptr;
        SheetWindowState state{};
        bool fixed = false;
        EXPECT_EQ(LoadSchematicSheet(&spec, &sheet, &state, &fixed), 0);
        DestroySheet(sheet);
        return state.scale;
    }
    void TearDown() override {
        chmod(folder.c_str(), 0755);
        Shell::TearDown();
    }
    std::string folder = dir.file("sheets"), path;
};

TEST_F(ClosingSheets, AnUnchangedSheetAsksNothingAndKeepsItsWindowStateInItsFileReplacedInOneStep) {
    SheetRecord* sheet = OpenCopy();
    ASSERT_NE(sheet, nullptr);
    sheet->viewScale = 200;
    struct stat was {};
    ASSERT_EQ(stat(path.c_str(), &was), 0);
    EXPECT_TRUE(VXSendGoAway(sheet->window));
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    // Written to a copy that took the file's place: nothing beside it is left over.
    struct stat now {};
    ASSERT_EQ(stat(path.c_str(), &now), 0);
    EXPECT_NE(now.st_ino, was.st_ino);
    EXPECT_EQ(now.st_mtim.tv_sec, was.st_mtim.tv_sec);
    EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"RC.SHX"});
    EXPECT_EQ(StoredScale(), 200);
}

TEST_F(ClosingSheets, AReadOnlySheetOrFolderIsLeftAsItWas) {
    for (const bool lockFolder : {false, true}) {
        SCOPED_TRACE(lockFolder ? "read-only folder" : "read-only file");
        SheetRecord* sheet = OpenCopy();
        ASSERT_NE(sheet, nullptr);
        sheet->viewScale = 300;
        const std::string before = ReadBytes(path);
        ASSERT_EQ(chmod((lockFolder ? folder : path).c_str(), lockFolder ? 0555 : 0444), 0);
        {
            WithoutPermissionOverride locked;
            EXPECT_TRUE(VXSendGoAway(sheet->window));
        }
        EXPECT_TRUE(SheetWindowSheets(true).empty());
        EXPECT_EQ(ReadBytes(path), before);
        EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"RC.SHX"});
        ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
        ASSERT_EQ(chmod(path.c_str(), 0644), 0);
        std::filesystem::remove(path);
    }
}

TEST_F(ClosingSheets, DontSaveLeavesTheFileUntouchedAndCancelKeepsTheSheet) {
    SheetRecord* sheet = OpenCopy();
    ASSERT_NE(sheet, nullptr);
    const std::string before = ReadBytes(path);
    sheet->viewScale = 200;
    SetSheetModifiedStatus(sheet, kSheetModifiedContent);
    AnswerDialogs({kEscape});
    EXPECT_FALSE(VXSendGoAway(sheet->window) && SheetWindowSheets(true).empty());
    EXPECT_EQ(gAnswers.messages, std::vector<std::string>{"Save changes to \"RC\" before closing?"});
    ASSERT_EQ(SheetWindowSheets(true), std::vector<SheetRecord*>{sheet});
    EXPECT_TRUE(IsSheetModifiedForSave(sheet));
    AnswerDialogs({'D'});
    VXSendGoAway(sheet->window);
    EXPECT_EQ(gAnswers.messages.size(), 1u);
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"RC.SHX"});
}

TEST_F(ClosingSheets, ASaveThatFailsKeepsTheWindowTheChangesAndTheOldFile) {
    SheetRecord* sheet = OpenCopy();
    ASSERT_NE(sheet, nullptr);
    const std::string before = ReadBytes(path);
    SetSheetModifiedStatus(sheet, kSheetModifiedContent);
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    // Save in the question, then Cancel in the alert that offers another place.
    AnswerDialogs({'s', kEscape});
    {
        WithoutPermissionOverride locked;
        VXSendGoAway(sheet->window);
    }
    EXPECT_EQ(gAnswers.messages.size(), 2u);
    ASSERT_EQ(SheetWindowSheets(true), std::vector<SheetRecord*>{sheet});
    EXPECT_TRUE(IsSheetModifiedForSave(sheet));
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(FolderListing(folder), std::vector<std::string>{"RC.SHX"});
    // Once the folder may be written, the same close saves and goes.
    ASSERT_EQ(chmod(folder.c_str(), 0755), 0);
    AnswerDialogs({'s'});
    VXSendGoAway(sheet->window);
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    EXPECT_NE(ReadBytes(path), before);
}

TEST_F(Shell, AProjectOpenedFromAFileClosesWhenTheApplicationDoes) {
    const std::string folder = dir.file("amp");
    std::filesystem::copy(SourcePath("tools/tests/fixtures/amp"), folder, std::filesystem::copy_options::recursive);
    EXPECT_TRUE(OpenHandedIn(folder + "/amp.PRX").empty());
    ASSERT_NE(gProjectList, nullptr);
    EXPECT_TRUE(SheetWindowSheets(true).empty());
    EXPECT_EQ(AttemptAppClosure(false), 1);
    EXPECT_EQ(gProjectList, nullptr);
}

}  // namespace
}  // namespace plexa::test
