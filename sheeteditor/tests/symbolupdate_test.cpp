// Updating placed symbols from fixture libraries (with and without force, missing files and
// items logged), from an open child sheet's file symbols when the child is saved (the sheets of
// the visible sheet windows), a project's sheets that the update changed shown in windows, the
// log texts, and the update dialog's opening state.
#include "sheeteditor/symbolupdate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "files/hierarchy.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "files/symbolplace.h"
#include "library/libhistory.h"
#include "library/tests/libaccess_testing.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/tests/model_fixture.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetrelease.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

// The model's start-up, as the model tests make it.
struct ModelStart : ModelTest {
    void TestBody() override {}
    static void Run() { SetUpTestSuite(); }
};

// The windows of the toolkit, for the sheet windows the update finds and opens.
struct Windows : WindowsTest {
    void TestBody() override {}
    void Up() { SetUp(); }
    void Down() { TearDown(); }
};

struct FakeLog {
    std::vector<ReplaceSymbolLogEntry> entries;
    int shown = 0;
};
FakeLog gLog;
std::vector<std::string> gMessages;
SheetRecord* gChild = nullptr;
// Sheets the store loads for a project update: each gets a stale library symbol.
std::vector<std::string> gSaved;
int32_t gLiveLoaded = 0;
SheetRecord* (*gMakeStale)(ProjectRecord* project, SheetSpec* spec) = nullptr;

std::string FirstLine(const ReplaceSymbolLogEntry& entry) {
    char first[512], second[512];
    CalcReplaceSymbolLogMessages(entry, first, second, sizeof first);
    return first;
}

constexpr int32_t kOlder = int32_t(kTestStamp) - 5;

class SymbolUpdateTest : public LibraryAccessTest {
protected:
    void SetUp() override {
        ModelStart::Run();
        windows_.Up();
        LibraryAccessTest::SetUp();
        InitSheetModelForWindows();
        // The model finds the sheets of windows, and a sheet lets its windows go, as in the editor.
        ModelHooks model = GetModelHooks();
        model.windowSheet = SheetOfWindow;
        model.detachSheetWindows = DetachSheetWindows;
        model.releaseSheetEditorParts = ReleaseSheetEditorParts;
        SetModelHooks(model);
        gLog = FakeLog{};
        gMessages.clear();
        gChild = nullptr;
        SymbolUpdateHooks hooks;
        hooks.getLog = [](ProjectRecord*, SheetRecord*, bool) { return reinterpret_cast<LogWindowRecord*>(&gLog); };
        hooks.appendLogEntry = [](LogWindowRecord*, const ReplaceSymbolLogEntry& e) { gLog.entries.push_back(e); };
        hooks.countLogEntries = [](LogWindowRecord*) { return int32_t(gLog.entries.size()); };
        hooks.showLog = [](LogWindowRecord*) { ++gLog.shown; };
        hooks.message = [](const char* text) { gMessages.push_back(text); };
        SetSymbolUpdateHooks(hooks);
        SetSymbolPlaceHooks({});
        SheetStoreHooks store;
        store.getLoaded = [](ProjectRecord* project, SheetSpec* spec) -> SheetRecord* {
            return gChild && gChild->project == project && gChild->sheetSpec == spec ? gChild : nullptr;
        };
        store.load = [](ProjectRecord* project, SheetSpec* spec, SheetRecord** out) -> OSStatus {
            if (!gMakeStale) return -43;
            *out = gMakeStale(project, spec);
            ++gLiveLoaded;
            return 0;
        };
        store.save = [](SheetRecord* sheet) -> OSStatus {
            gSaved.push_back(sheet->fileSpec.name);
            return 0;
        };
        store.release = [](SheetRecord* sheet) {
            --gLiveLoaded;
            DestroySheet(sheet);
        };
        SetSheetStoreHooks(store);
        gSaved.clear();
        gLiveLoaded = 0;
        gMakeStale = nullptr;
        Library("libs/PARTS.LBX", {{"R1K"}, {"C10"}});
        AddPath("libs", kPathLibraryFiles);
        BuildLibraryFileList(nullptr, false);
        sheet_ = CreateDrawing();
        ASSERT_NE(sheet_, nullptr);
    }
    void TearDown() override {
        for (SheetRecord* sheet : sheets_) {
            if (sheet->fileSymbolList) DestroyFileSymbolList(sheet->fileSymbolList);
            sheet->fileSymbolList = nullptr;
            DestroySheet(sheet);
        }
        DestroySheet(sheet_);
        // The sheets that the update showed in windows of their own.
        for (SheetRecord* sheet : InWindows()) DestroySheet(sheet);
        for (LibraryItem* item : items_) DestroyLibraryItem(item);
        SetSymbolUpdateHooks({});
        SetSheetStoreHooks({});
        LibraryAccessTest::TearDown();
        windows_.Down();
    }

    // The sheets in sheet windows, the visible ones first, and their file names.
    static std::vector<SheetRecord*> InWindows() {
        std::vector<SheetRecord*> sheets = SheetWindowSheets(true);
        for (SheetRecord* sheet : SheetWindowSheets(false)) sheets.push_back(sheet);
        return sheets;
    }
    static std::vector<std::string> WindowSheetNames() {
        std::vector<std::string> names;
        for (SheetRecord* sheet : InWindows()) names.push_back(sheet->fileSpec.name);
        return names;
    }

    LibraryItem* Item(const std::string& name) {
        FlatHandle flat(ItemBytes({name}));
        LibraryItem* item = nullptr;
        EXPECT_EQ(InflateLibraryItem(flat, &item, true), 0);
        items_.push_back(item);
        return item;
    }

    SymbolRecord* Place(SheetRecord* sheet, const std::string& name, const char* source, int32_t stamp,
                        uint32_t flags = 0) {
        SymbolRecord* symbol =
            PlaceLibSymbolInstance(sheet, {100, 100}, flags, Item(name), 0, -1, 0, false, source, stamp, nullptr, 0);
        EXPECT_NE(symbol, nullptr);
        return symbol;
    }

    // The sheets that the store loads for a project update: each of the spec's name, holding a
    // placed part of PARTS.LBX, older than its library item when `older` says so for the name.
    void LoadSheetsWithAPart(bool (*older)(const char* name)) {
        self_ = this;
        older_ = older;
        gMakeStale = [](ProjectRecord* project, SheetSpec* spec) {
            SheetRecord* sheet = CreateDrawing();
            char name[160];
            GetSheetSpecName(project, spec, name, sizeof name);
            self_->Name(sheet, name);
            sheet->project = project;
            sheet->sheetSpec = spec;
            self_->Place(sheet, "C10", "PARTS.LBX", older_(name) ? kOlder : int32_t(kTestStamp));
            sheet->modifiedFlags = 0;
            return sheet;
        };
    }
    static inline SymbolUpdateTest* self_ = nullptr;

    // The sheet's file: the name in the test's folder, as a sheet that was loaded has it.
    void Name(SheetRecord* sheet, const char* name) {
        ASSERT_EQ(FileSpecFromPathName(nullptr, Path(name).c_str(), &sheet->fileSpec), 0) << name;
    }
    static inline bool (*older_)(const char* name) = nullptr;

    // The serial numbers of the sheet's symbols with their change times.
    std::vector<std::string> Symbols(SheetRecord* sheet) {
        std::vector<std::string> out;
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
            out.push_back(std::to_string(s->serial) + (s->changeTime == int32_t(kTestStamp) ? " current" : " old"));
        return out;
    }

    std::vector<int32_t> Codes() {
        std::vector<int32_t> codes;
        for (const ReplaceSymbolLogEntry& e : gLog.entries) codes.push_back(e.code);
        return codes;
    }

    Windows windows_;
    SheetRecord* sheet_ = nullptr;
    std::vector<SheetRecord*> sheets_;
    std::vector<LibraryItem*> items_;
};

TEST_F(SymbolUpdateTest, WithoutForceOnlySymbolsOlderThanTheirItemAreReplaced) {
    Place(sheet_, "R1K", "PARTS.LBX", int32_t(kTestStamp));  // serial 1: current
    Place(sheet_, "C10", "parts.lbx", kOlder);               // serial 2: older, the file named in other case
    const int32_t count = UpdateSheetsSymbols(sheet_, nullptr, false, false, false, true, false, 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(Symbols(sheet_), (std::vector<std::string>{"1 current", "3 current"}));
    ASSERT_EQ(gLog.entries.size(), 1u);
    EXPECT_EQ(gLog.entries[0].code, kLogSymbolUpdated);
    EXPECT_STREQ(gLog.entries[0].symName, "C10");
    EXPECT_STREQ(gLog.entries[0].sheetName, "Untitled");
    EXPECT_EQ(FirstLine(gLog.entries[0]), "Updated symbol with newer version from the library.");
}

TEST_F(SymbolUpdateTest, WithForceEveryFoundSymbolIsReplaced) {
    Place(sheet_, "R1K", "PARTS.LBX", int32_t(kTestStamp));
    Place(sheet_, "C10", "PARTS.LBX", kOlder);
    EXPECT_EQ(UpdateSheetsSymbols(sheet_, nullptr, true, false, false, true, false, 0), 2);
    EXPECT_EQ(Symbols(sheet_), (std::vector<std::string>{"3 current", "4 current"}));
}

TEST_F(SymbolUpdateTest, OnlyTheSelectedSymbolsWhenAsked) {
    Place(sheet_, "R1K", "PARTS.LBX", kOlder);
    SymbolRecord* chosen = Place(sheet_, "C10", "PARTS.LBX", kOlder);
    chosen->flags |= kSymbolFlagSelected;
    EXPECT_EQ(UpdateSheetsSymbols(sheet_, nullptr, false, true, false, true, false, 0), 1);
    EXPECT_EQ(Symbols(sheet_), (std::vector<std::string>{"1 old", "3 current"}));
}

TEST_F(SymbolUpdateTest, MissingFilesAndItemsAreLoggedUnlessQuiet) {
    Place(sheet_, "R1K", "GONE.LBX", kOlder);
    Place(sheet_, "R9", "PARTS.LBX", kOlder);  // the file lacks the item
    EXPECT_EQ(UpdateSheetsSymbols(sheet_, nullptr, false, false, false, true, false, 0), 2);
    EXPECT_EQ(Codes(), (std::vector<int32_t>{kLogSymbolFileMissing, kLogSymbolDefinitionMissing}));
    EXPECT_TRUE(gLog.entries[0].error);
    EXPECT_EQ(FirstLine(gLog.entries[0]), "Unable to find symbol's library file: \"GONE.LBX\"");
    EXPECT_EQ(FirstLine(gLog.entries[1]), "Unable to find symbol definition in its referenced library.");
    EXPECT_EQ(Symbols(sheet_), (std::vector<std::string>{"1 old", "2 old"}));
    gLog.entries.clear();
    EXPECT_EQ(UpdateSheetsSymbols(sheet_, nullptr, false, false, false, true, true, 0), 0);
    EXPECT_TRUE(gLog.entries.empty());
}

TEST_F(SymbolUpdateTest, NothingToUpdateShowsTheMessage) {
    Place(sheet_, "R1K", "PARTS.LBX", int32_t(kTestStamp));
    EXPECT_EQ(RunUpdatePartSymbols(sheet_, nullptr, {kUpdateScopeSheet, 0, false}), 0);
    EXPECT_EQ(gMessages, (std::vector<std::string>{kNoSymbolsUpdatedMessage}));
    EXPECT_EQ(RunUpdatePartSymbols(sheet_, nullptr, {kUpdateScopeSheet, 0, true}), 1);
    EXPECT_EQ(gMessages.size(), 1u);
}

TEST_F(SymbolUpdateTest, TheItemCacheSelectionIsRestoredAfterAnUpdate) {
    int32_t fileIndex = -1, itemIndex = -1;
    ASSERT_TRUE(LocateLibraryFileItem("PARTS.LBX", "R1K", &fileIndex, &itemIndex));
    ASSERT_EQ(SetCachedLibraryFile(kLibFilesAll, fileIndex), 0);
    ASSERT_EQ(SetCachedLibraryItem(itemIndex), 0);
    Place(sheet_, "C10", "PARTS.LBX", kOlder);
    EXPECT_EQ(UpdateSheetsSymbols(sheet_, nullptr, false, false, false, true, false, 0), 1);
    EXPECT_EQ(CachedItem(), "R1K");
}

TEST_F(SymbolUpdateTest, SavingAChildSheetUpdatesAnOpenParentAndLogsIt) {
    LibTestProject project(Path(""));
    SheetSpec* topSpec = AddSheetSpecToProject(project.get(), "TOP.SHT");
    SheetSpec* childSpec = AddSheetSpecToProject(project.get(), "CHILD.SHT");
    SheetRecord* parent = sheet_;
    parent->project = project.get();
    parent->sheetSpec = topSpec;
    Name(parent, "TOP.SHT");
    SheetRecord* child = CreateDrawing();
    sheets_.push_back(child);
    child->project = project.get();
    child->sheetSpec = childSpec;
    Name(child, "CHILD.SHT");
    FileSymbolEntry* entry = CreateFileSymbol(child);
    ASSERT_NE(entry, nullptr);
    const std::string bytes = ItemBytes({"BLOCK"});
    entry->item = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
    gChild = child;

    SymbolRecord* stale = Place(parent, "BLOCK", "CHILD.SHT", kOlder, kSymbolFlagFileSymbol);
    SymbolRecord* other = Place(parent, "R1K", "PARTS.LBX", kOlder);  // a library symbol: left alone
    EXPECT_TRUE(DoesSheetContainChildSymbolFromSheet(parent, child));
    EXPECT_FALSE(DoesSheetContainChildSymbolFromSheet(child, parent));
    EXPECT_FALSE(DoesSheetContainChildSymbolFromSheet(parent, parent));
    ASSERT_TRUE(ShowSheetInWindow(parent));
    ASSERT_TRUE(ShowSheetInWindow(child));
    ASSERT_EQ(SheetWindowSheets(true).size(), 2u);
    const uint32_t staleSerial = stale->serial, otherSerial = other->serial;
    UpdateSheetsContainingChildSymbolFromSheet(child);
    EXPECT_EQ(RetrieveSerializedSymbol(parent->symbolList, staleSerial), nullptr);
    EXPECT_NE(RetrieveSerializedSymbol(parent->symbolList, otherSerial), nullptr);
    auto* replacement = static_cast<SymbolRecord*>(LLLast(parent->symbolList));
    EXPECT_TRUE(replacement->flags & kSymbolFlagFileSymbol);
    EXPECT_EQ(replacement->changeTime, int32_t(kTestStamp));
    char sub[kSymbolTextSize];
    EXPECT_EQ(GetSymbolSheetName(replacement, parent->stringBlock, sub), 1);
    EXPECT_STREQ(sub, "CHILD.SHT");
    ASSERT_EQ(gLog.entries.size(), 1u);
    EXPECT_TRUE(gLog.entries[0].fileSymbol);
    EXPECT_STREQ(gLog.entries[0].sheetName, "TOP.SHT");
    EXPECT_EQ(FirstLine(gLog.entries[0]), "Updated symbol with newer version from the child sheet.");
    EXPECT_EQ(gLog.shown, 1);
    // Up to date now: a second save changes nothing.
    UpdateSheetsContainingChildSymbolFromSheet(child);
    EXPECT_EQ(gLog.entries.size(), 1u);

    // The periodic task updates only marked sheets, then clears the marks.
    gLog.entries.clear();
    replacement->changeTime = kOlder;
    UpdateSheetsWithDirtyChildSymbols();
    EXPECT_TRUE(gLog.entries.empty());
    MarkSheetsContainingChildSymbolFromSheet(child);
    EXPECT_TRUE(parent->modifiedFlags & kSheetModifiedChildSymbols);
    EXPECT_FALSE(child->modifiedFlags & kSheetModifiedChildSymbols);
    UpdateSheetsWithDirtyChildSymbols();
    EXPECT_EQ(gLog.entries.size(), 1u);
    EXPECT_FALSE(parent->modifiedFlags & kSheetModifiedChildSymbols);
    EXPECT_FALSE(gSheetsHaveDirtyChildSymbols);
    parent->project = nullptr;
    child->project = nullptr;
}

TEST_F(SymbolUpdateTest, AProjectUpdateLoadsItsSheetsAndShowsOnlyTheChangedOnesInWindows) {
    LibTestProject project(Path(""));
    AddSheetSpecToProject(project.get(), "B.SHT");
    AddSheetSpecToProject(project.get(), "A.SHT");
    // Only A holds a symbol older than its library item.
    LoadSheetsWithAPart([](const char* name) { return name[0] == 'A'; });
    EXPECT_EQ(UpdateProjectsLibrarySymbols(project.get(), false, 0, false), 1);
    // The changed sheet is not saved behind the person's back: it stays, modified, in a window of
    // its own; the unchanged one is released.
    EXPECT_TRUE(gSaved.empty());
    EXPECT_EQ(WindowSheetNames(), (std::vector<std::string>{"A.SHT"}));
    ASSERT_EQ(SheetWindowSheets(true).size(), 1u);
    EXPECT_NE(SheetWindowSheets(true)[0]->modifiedFlags, 0);
    EXPECT_EQ(gLiveLoaded, 1);
    ASSERT_EQ(gLog.entries.size(), 1u);
    EXPECT_STREQ(gLog.entries[0].sheetName, "A.SHT");
    EXPECT_EQ(gLog.shown, 1);
}

// From the project window with rows of its tree selected, only the sheets of the selected rows
// are updated.
TEST_F(SymbolUpdateTest, TheProjectsSelectedSheetsAloneAreUpdated) {
    LibTestProject project(Path(""));
    SheetSpec* b = AddSheetSpecToProject(project.get(), "B.SHT");
    SheetSpec* a = AddSheetSpecToProject(project.get(), "A.SHT");
    project.get()->hierarchy = CreateSheetTree();
    ASSERT_NE(project.get()->hierarchy, nullptr);
    SheetNode* top = AddSheetNode(project.get()->hierarchy, nullptr, a, 0, 0);
    ASSERT_NE(AddSheetNode(project.get()->hierarchy, nullptr, b, 0, 0), nullptr);
    // B's row is a child of A's too; that one is selected, A's row is not.
    SheetNode* child = AddSheetNode(project.get()->hierarchy, top, b, 7, 0);
    ASSERT_NE(child, nullptr);
    child->selected = 1;
    // Both hold a symbol older than its library item.
    LoadSheetsWithAPart([](const char*) { return true; });
    EXPECT_EQ(UpdateProjectsLibrarySymbols(project.get(), false, 0, true), 1);
    EXPECT_TRUE(gSaved.empty());
    EXPECT_EQ(WindowSheetNames(), (std::vector<std::string>{"B.SHT"}));
    ASSERT_EQ(gLog.entries.size(), 1u);
    EXPECT_STREQ(gLog.entries[0].sheetName, "B.SHT");
}

TEST(SymbolUpdateDialog, OpeningStateFollowsTheWindowAndTheSelection) {
    const struct {
        bool fromProject, hasProject, selected, treeSelection;
        int32_t scope;
        bool enabled3, enabled4, enabled5;
    } cases[] = {
        {false, true, true, false, kUpdateScopeSelected, true, true, true},
        {false, true, false, false, kUpdateScopeSheet, false, true, true},
        {false, false, true, false, kUpdateScopeSelected, true, true, false},
        {true, true, false, true, kUpdateScopeSheet, false, true, true},
        {true, true, false, false, kUpdateScopeProject, false, false, true},
    };
    for (const auto& c : cases) {
        const UpdateSymbolsDialogState s = SetupUpdateSymbolsDialog(c.fromProject, c.hasProject, c.selected,
                                                                    c.treeSelection);
        EXPECT_EQ(s.scope, c.scope);
        EXPECT_EQ(s.enabled[kUpdateScopeSelected], c.enabled3);
        EXPECT_EQ(s.enabled[kUpdateScopeSheet], c.enabled4);
        EXPECT_EQ(s.enabled[kUpdateScopeProject], c.enabled5);
        EXPECT_EQ(s.projectSheetsText, c.fromProject);
    }
}

}  // namespace
}  // namespace plexa::test
