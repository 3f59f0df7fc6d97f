// The symbol editor record without a window: opening a library item and a sheet's file symbol,
// loading a symbol, adding to it, flushing it back and reading the stored item again; the names
// of new file symbols and their limit; the statuses of opening; closing, validation and saving.
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/libitemdump.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/sympins.h"
#include "symboleditor/tests/symeditor_testing.h"

namespace plexa::test {
namespace {

// A library editor's item reference as the hooks see it.
struct FakeRef {
    Handle data = nullptr;
    SymbolEditorRecord* editor = nullptr;
    int32_t uses = 0, syncs = 0, rowUpdates = 0;
};
FakeRef* AsFake(LibEditorItemRef* ref) { return reinterpret_cast<FakeRef*>(ref); }
LibEditorItemRef* AsRef(FakeRef* ref) { return reinterpret_cast<LibEditorItemRef*>(ref); }
LibEditorRecord* const kLibrary = reinterpret_cast<LibEditorRecord*>(uintptr_t(0x1000));

void InstallLibraryHooks(SymbolEditorHooks* hooks) {
    hooks->getLibItemData = [](LibEditorRecord*, LibEditorItemRef* ref) {
        ++AsFake(ref)->uses;
        return AsFake(ref)->data;
    };
    hooks->releaseLibItemData = [](LibEditorItemRef* ref) { --AsFake(ref)->uses; };
    hooks->setLibItemEditor = [](LibEditorItemRef* ref, SymbolEditorRecord* editor) { AsFake(ref)->editor = editor; };
    hooks->updateLibItemRow = [](LibEditorRecord*, LibEditorItemRef* ref, bool) { ++AsFake(ref)->rowUpdates; };
    hooks->syncLibItemRef = [](LibEditorRecord*, LibEditorItemRef* ref) {
        FakeRef* fake = AsFake(ref);
        ++fake->syncs;
        if (!(fake->editor->state & kSymEditItemModified)) return;
        Handle flat = FlattenSymbolEditorItem(fake->editor, nullptr);
        ASSERT_NE(flat, nullptr);
        MemFree(fake->data);
        fake->data = flat;
        fake->editor->state &= uint16_t(~kSymEditItemModified);
    };
}

class SymEdit : public SymEditTest {
protected:
    void TearDown() override {
        SymEditTest::TearDown();
        if (ref.data) MemFree(ref.data);
    }
    // A new component of the name, prefix "U", in the fake library, opened with the hooks given
    // and the library's.
    SymbolEditorRecord* OpenInLibrary(const char* name, SymbolEditorHooks hooks = {}) {
        InstallLibraryHooks(&hooks);
        SetSymbolEditorHooks(hooks);
        LibraryItem* item = NewItem(kLibItemComponent, {name});
        SetLibraryItemRefPrefix(item, "U");
        ref.data = Flat(item);
        DestroyLibraryItem(item);
        return OpenLibSymbolEditor(kLibrary, AsRef(&ref));
    }
    FakeRef ref;
};

TEST_F(SymEdit, ALibraryItemGetsARectangleAndAPinAndReadsBackThroughItsDump) {
    SymbolEditorRecord* editor = OpenInLibrary("Amp");
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(CurrEdit, editor);
    EXPECT_EQ(ref.editor, editor);
    EXPECT_EQ(ref.uses, 0);
    EXPECT_EQ(OpenLibSymbolEditor(kLibrary, AsRef(&ref)), editor);  // the same reference twice
    EXPECT_EQ(CountSymbolEditors(), 1);
    ASSERT_NE(editor->section, nullptr);  // a first symbol and section were made

    AddRect(editor, {48, 48}, {96, 120});
    ElementRecord* pin = AddPin(editor, {72, 24}, {72, 48}, "IN", "1");
    AddPinText(editor, pin, kTextKindPinNumber, {68, 30});
    EXPECT_TRUE(CloseLibrarySymbolEditor(editor, true, true));
    EXPECT_EQ(ref.syncs, 1);
    EXPECT_EQ(ref.editor, nullptr);
    EXPECT_EQ(CountSymbolEditors(), 0);
    EXPECT_EQ(Reread(ref.data),
              "item kind 0 prefix \"U\" flags 0x1\n"
              "name \"Amp\" package 0\n"
              "symbol 0 \"\" flags 0x0 grid 12 place 3 res 96\n"
              "  pin 0 \"IN\" type 0x01\n"
              "  main graphics (24,-24)-(97,25) all (-2,-24)-(97,25)\n"
              "    E1 node (0,0)-(24,0) pen 1\n"
              "    E2 rect (24,-24)-(96,24) pen 1\n"
              "    T1 kind 0x4000 at (6,-4) \"\"\n"
              "  alternate none\n"
              "section \"A\" symbol 0 pins 1 set0 \"1\"\n");
}

TEST_F(SymEdit, ReopeningLoadsThePinsWithTheirDataAndNumbers) {
    LibraryItem* item = NewItem(kLibItemComponent, {"Amp"});
    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {48, 48}, {96, 120});
    AddPin(editor, {72, 24}, {72, 48}, "IN", "3");
    AddPin(editor, {60, 144}, {60, 120}, "OUT", "7", kPinOutput);
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    Handle flat = FlattenSymbolEditorItem(editor, nullptr);
    DestroySymbolEditor(editor);
    LibraryItem* again = nullptr;
    ASSERT_EQ(InflateLibraryItem(flat, &again, true), 0);
    MemFree(flat);
    editor = CreateSymbolEditor(again, 0);
    ASSERT_NE(editor, nullptr);
    const std::vector<ElementRecord*> elements = Elements(editor->elementLists[0]);
    ASSERT_EQ(elements.size(), 3u);
    // Sorted: the upper pin first; the symbol's top-left lands on the grid 48 units in.
    EXPECT_EQ(PinName(editor, elements[0]), "OUT");
    EXPECT_EQ(PinNumber(editor, elements[0]), "7");
    EXPECT_EQ(PinName(editor, elements[1]), "IN");
    EXPECT_EQ(PinNumber(editor, elements[1]), "3");
    EXPECT_EQ(elements[2]->kind, kElementRect);
    EXPECT_EQ(elements[2]->rect.left % 12, 0);
    EXPECT_EQ(elements[1]->points.point1.h % 12, 0);
    EXPECT_EQ(editor->linkedPinCount, 2);
    EXPECT_FALSE(editor->state & kSymEditEdited);
}

TEST_F(SymEdit, LoadOffsetWithoutDrawingsIs48FromTheOriginOnTheGrid) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent), 0);
    ASSERT_NE(editor, nullptr);
    Point offset{};
    CalcSymbolLoadOffset(editor, 0, &offset);
    EXPECT_EQ(offset.v, 48);
    EXPECT_EQ(offset.h, 48);
    editor->grid = 10;
    CalcSymbolLoadOffset(editor, 0, &offset);
    EXPECT_EQ(offset.v, 50);
    EXPECT_EQ(offset.h, 50);
    editor->gridLock = false;
    CalcSymbolLoadOffset(editor, 0, &offset);
    EXPECT_EQ(offset.v, 48);
    // With a drawing: its top-left (texts and frames included) goes to 48 on the grid.
    editor->gridLock = true;
    editor->grid = 12;
    AddRect(editor, {100, 100}, {140, 150});
    AddFrame(editor, "Note", {90, 200});
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    const Ptr data = GetLibSymbolData(editor->item, 0, 0);
    ASSERT_NE(data, nullptr);
    CalcSymbolLoadOffset(editor, 0, &offset);
    const auto* head = reinterpret_cast<const SymbolDataHead*>(data);
    EXPECT_LT(-offset.v, head->all.top);  // the frame's top is above the rectangle's
    EXPECT_EQ(offset.v % 12, 0);
    EXPECT_EQ(offset.h % 12, 0);
}

TEST_F(SymEdit, AStoredGridOutside1To72LeavesTheEditorsGrid) {
    for (const auto& [stored, expected] : std::vector<std::pair<uint8_t, int16_t>>{{0, 12}, {73, 12}, {8, 8}, {72, 72}}) {
        LibraryItem* item = NewItem(kLibItemComponent);
        ASSERT_EQ(AddLibSymbolDef(item, "P", nullptr, nullptr, nullptr, nullptr), 0);
        SetLibSymbolGrid(item, 0, stored);
        SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->grid, expected) << int(stored);
        EXPECT_EQ(editor->resolution, 96);  // a resolution of 0 is none
        DestroySymbolEditor(editor);
    }
}

TEST_F(SymEdit, ANewPortGetsOnePinAndPortFlags) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemPort, {"IN"}), 0);
    ASSERT_NE(editor, nullptr);
    const std::vector<ElementRecord*> elements = Elements(editor->elementLists[0]);
    ASSERT_EQ(elements.size(), 1u);
    EXPECT_EQ(elements[0]->kind, kElementNode);
    EXPECT_EQ(elements[0]->points.point1.v, 60);  // the grid point nearest (55, 55)
    EXPECT_EQ(elements[0]->points.point1.h, 60);
    EXPECT_EQ(elements[0]->points.point2.v, 78);
    EXPECT_TRUE(ValidateSymbolEditorSymbol(editor));
    EXPECT_EQ(GetSymbolWindowIconId(editor), 2041);
    SetEditModified(editor, true);
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    EXPECT_EQ(GetLibSymbolFlags(editor->item, 0), kSymFlagNetSymbol | kSymFlagPort);
    EXPECT_EQ(GetLibSymbolData(editor->item, 0, 0), nullptr);  // only a pin
    elements[0]->penWidth = 2;
    SetEditModified(editor, true);
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    EXPECT_EQ(GetLibSymbolFlags(editor->item, 0), kSymFlagNetSymbol | kSymFlagPort | kSymFlagBusPort);
}

TEST_F(SymEdit, ASectionMadeForASingleSymbolItemAgreesWithItsDefinitionsPins) {
    // A port whose definition names pin data (as another writer may leave it) but no section.
    LibraryItem* item = NewItem(kLibItemPort, {"P"});
    const uint16_t ids[2] = {0, 0};
    ASSERT_EQ(AddLibSymbolDef(item, "", nullptr, nullptr, nullptr,
                              reinterpret_cast<uint16_t*>(AllocPtrWithData(nullptr, ids, 4))),
              0);
    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->section, nullptr);
    EXPECT_EQ(editor->section->pinCount, 2);
    AddRect(editor, {0, 0}, {10, 10});
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    OSStatus status = -1;
    Handle flat = FlattenSymbolEditorItem(editor, &status);
    EXPECT_EQ(status, 0);
    ASSERT_NE(flat, nullptr);
    MemFree(flat);
}

TEST_F(SymEdit, TitleAndIcon) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent), 0);
    ASSERT_NE(editor, nullptr);
    char title[64];
    GetSymbolEditorTitle(editor, title, sizeof title);
    EXPECT_STREQ(title, "Unnamed Item");
    EXPECT_TRUE(SetLibraryItemNameInfo(editor->item, kLibAppendName, "  Amp ", 0));
    GetSymbolEditorTitle(editor, title, sizeof title);
    EXPECT_STREQ(title, "Amp");
    GetSymbolEditorTitle(editor, title, 3);
    EXPECT_STREQ(title, "Am");
    EXPECT_EQ(GetSymbolWindowIconId(editor), 2036);
    editor->state |= kSymEditFileSymbol;
    EXPECT_EQ(GetSymbolWindowIconId(editor), 2031);
}

// ---- Validation and closing ----

InvalidSymbolAnswer gAnswer = InvalidSymbolAnswer::kEdit;
int32_t gAsked = 0;

TEST_F(SymEdit, ClosingAPinsOnlyComponentAsksAndItsButtonsDoWhatTheySay) {
    EXPECT_STREQ(kInvalidSymbolEditButton, "Edit");
    EXPECT_STREQ(kInvalidSymbolCloseButton, "Close Anyway");
    SymbolEditorHooks hooks;
    hooks.askInvalidSymbol = [](SymbolEditorRecord*) {
        ++gAsked;
        return gAnswer;
    };
    SymbolEditorRecord* editor = OpenInLibrary("Pins", hooks);
    ASSERT_NE(editor, nullptr);
    AddPin(editor, {48, 48}, {48, 72}, "A", "1");
    EXPECT_FALSE(ValidateSymbolEditorSymbol(editor));
    hooks = GetSymbolEditorHooks();

    gAsked = 0;
    gAnswer = InvalidSymbolAnswer::kEdit;
    EXPECT_FALSE(CloseLibrarySymbolEditor(editor, true, true));
    EXPECT_EQ(gAsked, 1);
    EXPECT_EQ(CountSymbolEditors(), 1);
    EXPECT_EQ(ref.syncs, 0);
    EXPECT_TRUE(editor->state & kSymEditEdited);  // nothing was flushed

    // Close Anyway keeps the edits: the pin reaches the item, whose view of only a pin is no
    // drawing.
    gAnswer = InvalidSymbolAnswer::kCloseAnyway;
    SymbolEditorHooks inspecting = hooks;
    inspecting.syncLibItemRef = [](LibEditorRecord*, LibEditorItemRef* r) {
        LibraryItem* synced = AsFake(r)->editor->item;
        EXPECT_EQ(GetLibSymbolData(synced, 0, 0), nullptr);
        EXPECT_EQ(CountLibSymbolPins(synced, 0, 0), 1);
        EXPECT_TRUE(AsFake(r)->editor->state & kSymEditItemModified);
        ++AsFake(r)->syncs;
    };
    SetSymbolEditorHooks(inspecting);
    EXPECT_TRUE(CloseLibrarySymbolEditor(editor, true, true));
    EXPECT_EQ(gAsked, 2);
    EXPECT_EQ(ref.syncs, 1);
    EXPECT_EQ(CountSymbolEditors(), 0);
}

TEST_F(SymEdit, WithoutAQuestionHookAnInvalidSymbolClosesKeepingItsEdits) {
    SymbolEditorRecord* editor = OpenInLibrary("Pins");
    ASSERT_NE(editor, nullptr);
    AddPin(editor, {48, 48}, {48, 72}, "A", "1");
    EXPECT_TRUE(CloseLibrarySymbolEditor(editor, true, true));
    EXPECT_EQ(ref.syncs, 1);
    EXPECT_EQ(CountSymbolEditors(), 0);
}

int32_t gListFlushes = 0;

TEST_F(SymEdit, AListTabThatRefusesItsEditsKeepsTheEditorOpen) {
    SymbolEditorHooks hooks;
    hooks.flushList = [](SymbolEditorRecord*, bool) {
        ++gListFlushes;
        return false;
    };
    SymbolEditorRecord* editor = OpenInLibrary("Amp", hooks);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {0, 0}, {10, 10});
    editor->currentTab = kSymEditTabPins;
    gListFlushes = 0;
    EXPECT_FALSE(CloseLibrarySymbolEditor(editor, true, true));
    EXPECT_EQ(gListFlushes, 1);
    EXPECT_EQ(ref.syncs, 0);
    EXPECT_EQ(CountSymbolEditors(), 1);
    // Closing without flushing closes.
    EXPECT_TRUE(CloseLibrarySymbolEditor(editor, false, false));
    EXPECT_EQ(ref.syncs, 0);
}

// Switching to another symbol, or copying the open one, stores the open symbol first; while its
// list tab refuses the edits, the symbol stays open with them and no copy of the stale drawing is made.
TEST_F(SymEdit, AListTabThatRefusesItsEditsKeepsItsSymbolOpen) {
    SymbolEditorHooks hooks;
    hooks.flushList = [](SymbolEditorRecord*, bool) { return false; };
    SymbolEditorRecord* editor = OpenInLibrary("Amp", hooks);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {0, 0}, {10, 10});
    const int32_t other = AddLibSymbolDef(editor->item, "B", nullptr, nullptr, nullptr, nullptr);
    ASSERT_GT(other, editor->symbol);
    const int32_t symbol = editor->symbol;
    const int32_t symbols = editor->item->head.symbolCount;
    editor->currentTab = kSymEditTabPins;
    EXPECT_EQ(NewLibItemSymbol(editor, symbol, "Copy"), -1);
    EXPECT_EQ(editor->item->head.symbolCount, symbols);
    SetSymbolEditorSymbol(editor, other, nullptr);
    EXPECT_EQ(editor->symbol, symbol);
    EXPECT_EQ(Elements(editor->elementLists[kSymbolViewPrimary]).size(), 1u);
    EXPECT_TRUE(CloseLibrarySymbolEditor(editor, false, false));
}

TEST_F(SymEdit, AnItemFromANewerVersionIsRefusedWithItsMessage) {
    static OSStatus reported = 0;
    static std::string message;
    SymbolEditorHooks hooks;
    InstallLibraryHooks(&hooks);
    hooks.reportError = [](OSStatus status, const char* text) {
        reported = status;
        message = text ? text : "";
    };
    SetSymbolEditorHooks(hooks);
    LibraryItem* item = NewItem(kLibItemComponent, {"Amp"});
    ref.data = Flat(item);
    DestroyLibraryItem(item);
    (*ref.data)[kFlatItemVersionOffset] = 5;  // little-endian version 5
    EXPECT_EQ(OpenLibSymbolEditor(kLibrary, AsRef(&ref)), nullptr);
    EXPECT_EQ(reported, status::kVersionTooNew);
    EXPECT_EQ(message, kNewerItemMessage);
    EXPECT_EQ(ref.uses, 0);
    EXPECT_EQ(CountSymbolEditors(), 0);
    // A reference without data opens nothing and says nothing.
    MemFree(ref.data);
    ref.data = nullptr;
    reported = 0;
    EXPECT_EQ(OpenLibSymbolEditor(kLibrary, AsRef(&ref)), nullptr);
    EXPECT_EQ(reported, 0);
}

// ---- File symbols ----

TEST_F(SymEdit, AFileSymbolNameIsMadeUniqueAmongTheSheets) {
    SetFileSpecName(&sheet.fileSpec, "Amp.SHX");
    char name[kFileSymbolNameLength + 1];
    ProposeFileSymbolName(&sheet, name);
    EXPECT_STREQ(name, "Amp");
    AddFileSymbol({"Amp"});
    AddFileSymbol({"Other", "amp 1"});
    ProposeFileSymbolName(&sheet, name);
    EXPECT_STREQ(name, "Amp 2");
    AddFileSymbol({"AMP 2"});
    ProposeFileSymbolName(&sheet, name);
    EXPECT_STREQ(name, "Amp 3");
    SetFileSpecName(&sheet.fileSpec, "Filter.asc");
    ProposeFileSymbolName(&sheet, name);
    EXPECT_STREQ(name, "Filter");
    SetFileSpecName(&sheet.fileSpec, "");
    ProposeFileSymbolName(&sheet, name);
    EXPECT_STREQ(name, "");
    // A long name keeps its number within the limit.
    const std::string longName(80, 'x');
    SetFileSpecName(&sheet.fileSpec, (longName + ".SHX").c_str());
    AddFileSymbol({std::string(63, 'x').c_str()});
    ProposeFileSymbolName(&sheet, name);
    EXPECT_EQ(std::string(name), std::string(61, 'x') + " 1");
}

std::string gProposed;

TEST_F(SymEdit, ANewFileSymbolIsNamedAskedForAndLinked) {
    static int32_t built = 0;
    SymbolEditorHooks hooks;
    hooks.askFileSymbolName = [](char* name) {
        gProposed = name;
        return true;
    };
    hooks.buildStandardFileSymbol = [](SymbolEditorRecord*) { ++built; };
    SetSymbolEditorHooks(hooks);
    SetFileSpecName(&sheet.fileSpec, "Amp.SHX");
    AddFileSymbol({"Amp"});
    AddFileSymbol({"Amp 1"});
    SymbolEditorRecord* editor = nullptr;
    built = 0;
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, true, &editor), status::kNoErr);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(gProposed, "Amp 2");
    EXPECT_EQ(built, 1);
    EXPECT_EQ(CountFileSymbols(&sheet), 3);
    FileSymbolEntry* entry = GetIndexedFileSymbol(&sheet, 2);
    EXPECT_EQ(entry->editor, editor);
    EXPECT_EQ(entry->item, nullptr);
    EXPECT_EQ(GetFileSymbolFromEditor(editor), entry);
    EXPECT_EQ(editor->sheet, &sheet);
    EXPECT_EQ(CurrEdit, editor);
    EXPECT_TRUE(editor->state & kSymEditFileSymbol);
    EXPECT_EQ(editor->symbolFlags & kSymFlagsStandardSymbol, kSymFlagsStandardSymbol);
    char title[64];
    GetSymbolEditorTitle(editor, title, sizeof title);
    EXPECT_STREQ(title, "Amp 2");
    // Its name counts while it is open and not yet stored.
    EXPECT_TRUE(IsFileSymbolNameTaken(&sheet, "amp 2"));
    SymbolEditorRecord* again = nullptr;
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, "AMP 2", -1, true, &again), kFileSymbolEditorWasOpen);
    EXPECT_EQ(again, editor);
    // Discarded, the never-stored entry goes with it.
    EXPECT_TRUE(CloseSheetSymbolEditor(editor, true));
    EXPECT_EQ(CountFileSymbols(&sheet), 2);
}

TEST_F(SymEdit, ASheetWith97FileSymbolsGetsNoNewOne) {
    for (int i = 0; i < kMaxFileSymbols; ++i) CreateFileSymbol(&sheet)->item = nullptr;
    // Entries without items count; the 97th can still be made.
    SymbolEditorHooks hooks;
    hooks.askFileSymbolName = [](char* name) {
        std::strcpy(name, "Sym");
        return true;
    };
    SetSymbolEditorHooks(hooks);
    SymbolEditorRecord* editor = nullptr;
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &editor), status::kNoErr);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(CountFileSymbols(&sheet), 97);
    SymbolEditorRecord* refused = reinterpret_cast<SymbolEditorRecord*>(uintptr_t(1));
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &refused), kFileSymbolListFull);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(CountFileSymbols(&sheet), 97);
    EXPECT_EQ(CurrEdit, nullptr);  // opened without showing
}

TEST_F(SymEdit, OpeningStatusesTellOpenedFromFoundFromFailed) {
    static int32_t updates = 0;
    static OSStatus reported = 0;
    SymbolEditorHooks hooks;
    hooks.updateFileSymbolPins = [](SymbolEditorRecord*) {
        ++updates;
        return false;
    };
    hooks.reportError = [](OSStatus status, const char*) { reported = status; };
    hooks.askFileSymbolName = [](char*) { return false; };
    SetSymbolEditorHooks(hooks);
    AddFileSymbol({"Amp", "Amplifier"});
    FileSymbolEntry* damaged = CreateFileSymbol(&sheet);
    damaged->item = AllocHandleWithData(nullptr, "\x34\x12\0\0\0\0\1\4\0", 9);

    SymbolEditorRecord* editor = nullptr;
    updates = 0;
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, "amplifier", -1, false, &editor), status::kNoErr);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(updates, 1);  // an existing file symbol follows the sheet's ports
    SymbolEditorRecord* found = nullptr;
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, 0, false, &found), kFileSymbolEditorWasOpen);
    EXPECT_EQ(found, editor);
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, "Filter", -1, false, &found), status::kNotFound);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, 5, false, &found), status::kNotFound);
    EXPECT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &found), status::kUserCancelled);
    EXPECT_EQ(CountFileSymbols(&sheet), 2);
    reported = 0;
    const OSStatus bad = OpenSheetFileSymbolEditor(&sheet, nullptr, 1, false, &found);
    EXPECT_LT(bad, 0);
    EXPECT_EQ(reported, bad);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(damaged->editor, nullptr);
    EXPECT_EQ(CountFileSymbols(&sheet), 2);  // a stored entry stays
    EXPECT_EQ(OpenSheetFileSymbolEditor(nullptr, "Amp", -1, false, &found), status::kParamErr);
}

TEST_F(SymEdit, ClosingAFileSymbolStoresItIntoTheSheet) {
    static int32_t marks = 0;
    SymbolEditorHooks hooks;
    hooks.markSheetsWithChildSymbols = [](SheetRecord*) { ++marks; };
    SetSymbolEditorHooks(hooks);
    SetFileSpecName(&sheet.fileSpec, "Amp.SHX");
    SymbolEditorRecord* editor = nullptr;
    ASSERT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &editor), status::kNoErr);
    FileSymbolEntry* entry = GetIndexedFileSymbol(&sheet, 0);
    sheet.modifiedFlags = 0;
    AddRect(editor, {0, 0}, {48, 96});
    EXPECT_EQ(sheet.modifiedFlags & 1, 1);  // the first edit tells the sheet
    marks = 0;
    EXPECT_TRUE(CloseSheetSymbolEditor(editor, false));
    EXPECT_EQ(marks, 1);
    EXPECT_EQ(CountSymbolEditors(), 0);
    ASSERT_NE(entry->item, nullptr);
    EXPECT_EQ(entry->editor, nullptr);
    EXPECT_EQ(Reread(entry->item),
              "item kind 0 prefix \"U\" flags 0x1\n"
              "name \"Amp\" package 0\n"
              "symbol 0 \"\" flags 0xB000 grid 12 place 3 res 96\n"
              "  main graphics (0,0)-(97,49) all (0,0)-(97,49)\n"
              "    E1 rect (0,0)-(96,48) pen 1\n"
              "  alternate none\n"
              "section \"A\" symbol 0 pins 0\n");
}

TEST_F(SymEdit, SavingKeepsTheEditorOnItsSymbolWhenFlatteningDropsAnother) {
    SetFileSpecName(&sheet.fileSpec, "Amp.SHX");
    SymbolEditorRecord* editor = nullptr;
    ASSERT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &editor), status::kNoErr);
    // Symbol 0 stays empty; symbol 1 gets a drawing. Flattening drops symbol 0.
    ASSERT_EQ(NewLibItemSymbol(editor, -1, "Real"), 1);
    EXPECT_EQ(editor->symbol, 1);
    AddRect(editor, {0, 0}, {48, 96});
    ASSERT_TRUE(SaveSheetSymbolEditor(editor, false));
    EXPECT_EQ(editor->symbol, 0);
    EXPECT_FALSE(editor->state & (kSymEditEdited | kSymEditItemModified));
    FileSymbolEntry* entry = GetIndexedFileSymbol(&sheet, 0);
    AddRect(editor, {60, 0}, {72, 96});
    ASSERT_TRUE(SaveSheetSymbolEditor(editor, false));
    const std::string dump = Reread(entry->item);
    EXPECT_NE(dump.find("symbol 0 \"Real\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("E2 rect"), std::string::npos) << dump;  // the second rectangle is there
    EXPECT_EQ(dump.find("symbol 1"), std::string::npos) << dump;
}

TEST_F(SymEdit, SavingASymbolOfOnlyPinsShowsWhatTheItemHolds) {
    SetFileSpecName(&sheet.fileSpec, "Amp.SHX");
    SymbolEditorRecord* editor = nullptr;
    ASSERT_EQ(OpenSheetFileSymbolEditor(&sheet, nullptr, -1, false, &editor), status::kNoErr);
    AddPin(editor, {0, 0}, {0, 24}, "A", "1");
    ASSERT_TRUE(SaveSheetSymbolEditor(editor, false));
    // The drawing of only a pin is no drawing: the item dropped the symbol; the editor shows a new
    // empty one.
    EXPECT_EQ(editor->item->head.symbolCount, 1);
    EXPECT_EQ(editor->symbol, 0);
    EXPECT_TRUE(Elements(editor->elementLists[0]).empty());
    EXPECT_EQ(Reread(GetIndexedFileSymbol(&sheet, 0)->item),
              "item kind 0 prefix \"U\" flags 0x1\nname \"Amp\" package 0\n");
}

TEST_F(SymEdit, ActivationBringsTheFileSymbolsPinsInLineWhenThePortsChanged) {
    static int32_t updates = 0;
    SymbolEditorHooks hooks;
    hooks.updateFileSymbolPins = [](SymbolEditorRecord*) {
        ++updates;
        return true;
    };
    SetSymbolEditorHooks(hooks);
    AddFileSymbol({"Amp"});
    SymbolEditorRecord* editor = nullptr;
    ASSERT_EQ(OpenSheetFileSymbolEditor(&sheet, "Amp", -1, false, &editor), status::kNoErr);
    updates = 0;
    DoSymbolEditorActivate(editor);
    EXPECT_EQ(updates, 0);
    EXPECT_EQ(CurrEdit, editor);
    editor->state |= kSymEditSheetPortsChanged;
    DoSymbolEditorActivate(editor);
    EXPECT_EQ(updates, 1);
    EXPECT_FALSE(editor->state & kSymEditSheetPortsChanged);
    DestroySymbolEditor(editor);
    EXPECT_EQ(CurrEdit, nullptr);
    EXPECT_EQ(CountFileSymbols(&sheet), 1);  // a stored file symbol stays
}

// ---- Both views ----

TEST_F(SymEdit, AnAlternateViewOfOnlyPinsStoresNoAlternateDrawing) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"X"}), 0);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {0, 0}, {48, 48});
    AddPin(editor, {24, -24}, {24, 0}, "A", "1");
    SynchAltSymbolNodes(editor, kSymbolViewPrimary);
    ASSERT_EQ(Elements(editor->elementLists[1]).size(), 1u);
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    EXPECT_NE(GetLibSymbolData(editor->item, 0, 0), nullptr);
    EXPECT_EQ(GetLibSymbolData(editor->item, 0, 1), nullptr);
}

TEST_F(SymEdit, PinsOfTheAlternateViewFollowThePrimary) {
    SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"X"}), 0);
    ASSERT_NE(editor, nullptr);
    AddRect(editor, {0, 0}, {48, 48});
    ElementRecord* a = AddPin(editor, {12, -24}, {12, 0}, "A", "1");
    ElementRecord* b = AddPin(editor, {36, -24}, {36, 0}, "B", "2");
    AddPinText(editor, a, kTextKindPinName, {8, -20});
    AddPinText(editor, b, kTextKindPinName, {32, -20});
    SetSymbolViewContext(editor, kSymbolViewAlternate);
    AddRect(editor, {0, 0}, {60, 60});
    SetSymbolViewContext(editor, kSymbolViewPrimary);
    ASSERT_TRUE(FlushSymbolEditor(editor, false));  // the primary view is current: it leads
    std::vector<ElementRecord*> alternate = Elements(editor->elementLists[1]);
    ASSERT_EQ(alternate.size(), 3u);
    EXPECT_EQ(alternate[0]->kind, kElementNode);
    EXPECT_EQ(ElementAs<NodeElement>(alternate[0])->pinData, ElementAs<NodeElement>(a)->pinData);
    EXPECT_EQ(ElementAs<NodeElement>(alternate[1])->pinNumbers, ElementAs<NodeElement>(b)->pinNumbers);
    EXPECT_EQ(GetCompanionNode(editor, a, kSymbolViewPrimary), alternate[0]);
    EXPECT_EQ(GetCompanionNode(editor, alternate[1], kSymbolViewAlternate), b);
    EXPECT_EQ(editor->textLists[1]->count, 2u);  // the pin texts were copied
    EXPECT_NE(GetLibSymbolData(editor->item, 0, 1), nullptr);

    // A pin deleted from the primary view leaves the alternate one with its texts.
    for (void* item = LLFirst(editor->textLists[0]); item;) {
        auto* text = static_cast<TextRecord*>(item);
        item = LLGetNext(editor->textLists[0], item);
        if (text->owner == reinterpret_cast<intptr_t>(a)) LLRemoveOrFree(editor->textLists[0], text, nullptr, true);
    }
    LLRemoveOrFree(editor->elementLists[0], a, nullptr, true);
    SetEditModified(editor, true);
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    alternate = Elements(editor->elementLists[1]);
    ASSERT_EQ(alternate.size(), 2u);
    EXPECT_EQ(ElementAs<NodeElement>(alternate[0])->pinData, ElementAs<NodeElement>(b)->pinData);
    EXPECT_EQ(editor->textLists[1]->count, 1u);
    EXPECT_EQ(CountLibSymbolPins(editor->item, 0, 0), 1);

    // A pin added to the alternate view reaches the primary one with its text.
    SetSymbolViewContext(editor, kSymbolViewAlternate);
    ElementRecord* c = AddPin(editor, {60, 72}, {60, 60}, "C", "3");
    AddPinText(editor, c, kTextKindPinName, {56, 76});
    ASSERT_TRUE(FlushSymbolEditor(editor, false));
    const std::vector<ElementRecord*> primary = Elements(editor->elementLists[0]);
    ASSERT_EQ(primary.size(), 3u);
    ElementRecord* companion = GetCompanionNode(editor, c, kSymbolViewAlternate);
    ASSERT_NE(companion, nullptr);
    EXPECT_EQ(PinName(editor, companion), "C");
    EXPECT_EQ(editor->textLists[0]->count, 2u);
    EXPECT_EQ(CountLibSymbolPins(editor->item, 0, 0), 2);
}

TEST_F(SymEdit, PinsLoadedOutOfOrderAreStoredInOrderWithTheirNumbersAndData) {
    // A drawing whose pins are not in the canonical order (as an older writer left it), with the
    // ids and numbers in that order.
    LibraryItem* item = NewItem(kLibItemComponent, {"Old"});
    LinkListHeader* elements = CreateElementList(nullptr);
    LLAppend(elements, BuildNodeElement({40, 0}, {40, 20}, 1, 0, false, 0, false, 0, false, 0));   // LOW
    LLAppend(elements, BuildNodeElement({0, 0}, {0, 20}, 1, 0, false, 0, false, 0, false, 0));     // HIGH
    LLAppend(elements, BuildCommonElement(kElementRect, {0, 20}, {40, 60}, 1, 0, 0, false, false, 0, false, 0, false));
    Handle data = ElementsToSymbolData(elements, nullptr, nullptr, item->stringBlock, false, nullptr);
    DestroyElementList(elements);
    ASSERT_NE(data, nullptr);
    Handle record = CreateNewPinData();
    SetPinDataName(record, item->stringBlock, "LOW");
    const auto low = uint16_t(AddPinDataToTable(item->pinTable, record));
    SetPinDataName(record, item->stringBlock, "HIGH");
    const auto high = uint16_t(AddPinDataToTable(item->pinTable, record));
    DestroyPinData(record);
    const uint16_t ids[2] = {low, high};
    ASSERT_EQ(AddLibSymbolDef(item, "P", AllocPtrWithData(nullptr, *data, SizeOfHandle(data)), nullptr, nullptr,
                              reinterpret_cast<uint16_t*>(AllocPtrWithData(nullptr, ids, 4))),
              0);
    MemFree(data);
    LibSection* section = CreateLibSection();
    section->symbolIndex = 0;
    SetLibSectionSuffix(section, item->stringBlock, "A");
    ASSERT_TRUE(SetLibSectionPinCount(section, 2));
    ASSERT_TRUE(CreateLibSectionPinSet(section, 0, -1));
    SetLibSectionPinNumber(section, item->stringBlock, 0, 0, "10");
    SetLibSectionPinNumber(section, item->stringBlock, 0, 1, "20");
    AddSectionToLibItem(item, section, true);

    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(PinName(editor, Elements(editor->elementLists[0])[0]), "LOW");
    ASSERT_TRUE(FlushSymbolEditor(editor, false));  // nothing edited, but the order changed
    Handle flat = FlattenSymbolEditorItem(editor, nullptr);
    const std::string dump = Reread(flat);
    MemFree(flat);
    EXPECT_NE(dump.find("  pin 0 \"HIGH\" type 0x00\n  pin 1 \"LOW\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("E1 node (0,0)-(20,0)"), std::string::npos) << dump;  // HIGH first, at the origin
    EXPECT_NE(dump.find("section \"A\" symbol 0 pins 2 set0 \"20\",\"10\""), std::string::npos) << dump;
}

}  // namespace
}  // namespace plexa::test
