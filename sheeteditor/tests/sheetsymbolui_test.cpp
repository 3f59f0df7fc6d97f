// The file-symbols menu of a sheet, the deletion of file symbols and its dialog's template, and
// drawing a sheet symbol into an off-screen window.
#include "sheeteditor/sheetsymbolui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "files/tests/flat_item_testing.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/sheet.h"
#include "model/sheetsymbols.h"
#include "model/symbols.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

class SheetSymbolUI : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        sheet_.fileSymbolList = CreateFileSymbolList();
        SetSheetSymbolUIHooks(SheetSymbolUIHooks{});
    }
    void TearDown() override {
        SetSheetSymbolUIHooks(SheetSymbolUIHooks{});
        DestroyFileSymbolList(sheet_.fileSymbolList);
        WindowsTest::TearDown();
    }
    void AddFileSymbol(const std::vector<std::string>& names) {
        FileSymbolEntry* entry = CreateFileSymbol(&sheet_);
        const std::string bytes = FlatItemBytes(names);
        entry->item = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
    }
    static std::vector<std::string> Items(VXMenuRecord* menu) {
        std::vector<std::string> items;
        for (int32_t i = 1; i <= VXCountMenuItems(menu); ++i) {
            char text[128];
            VXGetMenuItemText(menu, true, i, text);
            items.push_back(std::string(text) + " " + std::to_string(VXGetMenuItemTag(menu, i)) +
                            (VXGetMenuItemEnabled(menu, true, i) ? "" : " disabled"));
        }
        return items;
    }
    SheetRecord sheet_{};
};

TEST_F(SheetSymbolUI, TheMenuListsTheFileSymbolsThenNewAndDelete) {
    VXInstallDefaultMenuBar();
    VXMenuRecord* menu = VXNewMenu(kFileSymbolsMenuTag, "Symbols");
    VXInsertMenu(menu, 0);
    ASSERT_EQ(VXGetMenuWithTag(kFileSymbolsMenuTag), menu);
    BuildFileSymbolsMenu(&sheet_);
    EXPECT_EQ(Items(menu), (std::vector<std::string>{"New... 1598", "Delete... 1599 disabled"}));
    AddFileSymbol({"Amplifier"});
    AddFileSymbol({});
    BuildFileSymbolsMenu(&sheet_);
    EXPECT_EQ(Items(menu), (std::vector<std::string>{"Amplifier 1501", "Unnamed Symbol 1502", "- 0", "New... 1598",
                                                     "Delete... 1599"}));
}

TEST_F(SheetSymbolUI, DeletingFileSymbolsMarksTheSheetAndItsParents) {
    AddFileSymbol({"A"});
    AddFileSymbol({"B"});
    AddFileSymbol({"C"});
    static std::vector<uint32_t> kinds;
    static int32_t marks = 0;
    kinds.clear();
    marks = 0;
    SheetSymbolUIHooks hooks;
    hooks.setSheetModified = [](SheetRecord*, uint32_t kind) { kinds.push_back(kind); };
    hooks.markSheetsWithChildSymbols = [](SheetRecord*) { ++marks; };
    SetSheetSymbolUIHooks(hooks);
    DeleteFileSymbolsAt(&sheet_, {0, 2});
    ASSERT_EQ(CountFileSymbols(&sheet_), 1);
    char name[64];
    GetFlattenedLibraryItemName(GetIndexedFileSymbol(&sheet_, 0)->item, 0, name, sizeof name);
    EXPECT_STREQ(name, "B");
    EXPECT_EQ(kinds, (std::vector<uint32_t>{33, 33}));
    EXPECT_EQ(marks, 2);
}

TEST_F(SheetSymbolUI, TheDeleteDialogHoldsAListAndItsButtons) {
    VXInitControls();
    ASSERT_EQ(SelectUIFile("views.gui"), 0);
    VXViewTemplate* view = VXLoadDialogTemplate(kDeleteFileSymbolsTemplate);
    ASSERT_TRUE(view);
    std::vector<std::pair<int16_t, uint16_t>> items;
    VXControlItemTemplate item;
    for (int32_t i = 0; VXGetTemplateItem(view, i, &item); ++i)
        if (!(item.options & kUIItemContainer)) items.emplace_back(item.itemNumber, item.itemType);
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::pair<int16_t, uint16_t>>{{1, kVXPushButton}, {2, kVXPushButton}, {3, kVXListBox}}));
    VXDestroyDialogTemplate(view);
    CloseUIFiles();
}

}  // namespace
}  // namespace plexa::test
