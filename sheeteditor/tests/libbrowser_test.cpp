// The library browser and the parts dialog over fixture libraries, driven by scripted keys:
// type-ahead with its limit, backspace and time-out, moving across files with the arrows, the
// history button's recall in a sheet window, the dividers' limits, a picture of a previewed symbol
// (its field references left out), and the parts dialog cancelled (the selection comes back) or confirmed, on either tab.
#include "sheeteditor/libbrowser.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/displaylist.h"
#include "graphics/textstyle.h"
#include "library/libhistory.h"
#include "library/tests/libaccess_testing.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/symboldata.h"
#include "model/texts.h"
#include "platform/testseam_platform.h"
#include "model/sheet.h"
#include "sheeteditor/partsdialog.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/symbolimage.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/panels_fixture.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_timers.h"

namespace plexa::test {
namespace {

constexpr uint16_t kDown = 0xF701, kUp = 0xF700;

// The toolkit made for a test and cleaned after it.
struct Toolkit : PanelsTest {
    void TestBody() override {}
    void Up() { SetUp(); }
    void Down() { TearDown(); }
};

class LibBrowserTest : public LibraryAccessTest {
protected:
    void SetUp() override {
        toolkit_.Up();
        LibraryAccessTest::SetUp();
        VXInitStyles();
        VXInitControls();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        Library("libs/A.LBX", {{"ALPHA"}, {"BETA"}, {"BRAVO"}, {"CHARLIE"}});
        Library("libs/B.LBX", {{"DELTA"}, {"ECHO"}});
        AddPath("libs", kPathLibraryFiles);
        BuildLibraryFileList(nullptr, false);
        const Rect content = {100, 100, 340, 700};
        host_ = VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable, typeID_, 0, 0, &content, "Browser", 0,
                               nullptr, nullptr);
        ASSERT_NE(host_, nullptr);
        VXShowWindow(host_);
        VXSelectWindow(host_);
    }
    void TearDown() override {
        DestroyLibBrowser(browser_);
        browser_ = nullptr;
        CloseUIFiles();
        toolkit_.Down();
        DisposeLibHistory();
        LibraryAccessTest::TearDown();
    }
    void Make() {
        const Rect files = {10, 10, 230, 150}, items = {10, 160, 230, 300}, symbol = {10, 310, 230, 590};
        browser_ = CreateLibBrowser(host_, &files, &items, &symbol, 0, 0, 0, false, true);
        ASSERT_NE(browser_, nullptr);
    }
    void Type(VXWindowRecordTag* list, const std::string& keys) {
        for (char c : keys) VXSendCharacterEventToWindow(list, uint8_t(c), 0);
    }
    std::string Shown() const {
        return CachedFile() + ":" + CachedItem() + " rows " + std::to_string(VXCountListViewItems(browser_->itemList)) +
               " selected " + std::to_string(VXGetListViewSelection(browser_->itemList, 0));
    }

    Toolkit toolkit_;
    int16_t typeID_ = 0;
    VXWindowRecordTag* host_ = nullptr;
    LibBrowserRecord* browser_ = nullptr;
};

TEST_F(LibBrowserTest, TypeAheadSelectsByPrefixAndTheTextTimesOut) {
    Make();
    EXPECT_EQ(Shown(), "A.LBX:ALPHA rows 4 selected 0");
    Type(browser_->itemList, "br");
    EXPECT_EQ(std::string(browser_->keyText), "br");
    EXPECT_EQ(Shown(), "A.LBX:BRAVO rows 4 selected 2");
    Type(browser_->itemList, "\b");
    EXPECT_EQ(Shown(), "A.LBX:BETA rows 4 selected 1");
    Type(browser_->itemList, "\b\b");  // backspace on empty text does nothing
    EXPECT_EQ(std::string(browser_->keyText), "");
    // At most 29 characters.
    Type(browser_->itemList, std::string(30, 'x'));
    EXPECT_EQ(std::string(browser_->keyText), std::string(29, 'x'));
    EXPECT_EQ(CachedItem(), "BETA");  // nothing matches
    // Keys in the other list start its own text.
    Type(browser_->fileList, "b");
    EXPECT_EQ(std::string(browser_->keyText), "b");
    EXPECT_EQ(browser_->keyWindow, browser_->fileList);
    EXPECT_EQ(Shown(), "B.LBX:DELTA rows 2 selected 0");
    // 2.5 seconds later the text is gone.
    TestClockAdvance(2'400'000);
    TestRunDueWork();
    EXPECT_EQ(std::string(browser_->keyText), "b");
    TestClockAdvance(200'000);
    TestRunDueWork();
    EXPECT_EQ(std::string(browser_->keyText), "");
    // Return with text pending only clears it.
    Type(browser_->itemList, "e");
    EXPECT_EQ(CachedItem(), "ECHO");
    Type(browser_->itemList, "\r");
    EXPECT_EQ(std::string(browser_->keyText), "");
    // The list view's own row search uses the item-name order.
    EXPECT_EQ(BrowserItemRowSearch("E"), 1);
    EXPECT_EQ(BrowserItemRowSearch("Z"), -1);
}

TEST_F(LibBrowserTest, ArrowsMoveAcrossFilesAtEitherEnd) {
    Make();
    VXSendCharacterEventToWindow(browser_->itemList, kUp, 0);  // first item of the first file
    EXPECT_EQ(Shown(), "A.LBX:ALPHA rows 4 selected 0");
    for (int i = 0; i < 3; ++i) VXSendCharacterEventToWindow(browser_->itemList, kDown, 0);
    EXPECT_EQ(Shown(), "A.LBX:CHARLIE rows 4 selected 3");
    VXSendCharacterEventToWindow(browser_->itemList, kDown, 0);
    EXPECT_EQ(Shown(), "B.LBX:DELTA rows 2 selected 0");
    VXSendCharacterEventToWindow(browser_->itemList, kUp, 0);
    EXPECT_EQ(Shown(), "A.LBX:CHARLIE rows 4 selected 3");
    SelectBrowserFile(browser_, 1, -1, true);
    EXPECT_EQ(Shown(), "B.LBX:ECHO rows 2 selected 1");
    VXSendCharacterEventToWindow(browser_->itemList, kDown, 0);  // the last item of the last file
    EXPECT_EQ(Shown(), "B.LBX:ECHO rows 2 selected 1");
}

TEST_F(LibBrowserTest, DividersHoldThePanesBetween65And300Points) {
    Make();
    Rect dividers[2];
    GetBrowserDividerRects(browser_, dividers);
    EXPECT_EQ(dividers[0].left, 150);
    EXPECT_EQ(dividers[0].right, 161);
    EXPECT_EQ(HitTestBrowserViewDivider(browser_, {100, 155}), 0);
    EXPECT_EQ(HitTestBrowserViewDivider(browser_, {11, 155}), -1);  // within 3 points of the top
    EXPECT_EQ(HitTestBrowserViewDivider(browser_, {100, 305}), 1);
    EXPECT_EQ(ResizeBrowserPanel(browser_, 0, 10), 65);
    GetBrowserDividerRects(browser_, dividers);
    EXPECT_EQ(dividers[0].left, 75);
    EXPECT_EQ(dividers[1].left, 225);  // the item list moved with it
    EXPECT_EQ(ResizeBrowserPanel(browser_, 1, 2000), 300);
    GetBrowserDividerRects(browser_, dividers);
    EXPECT_EQ(dividers[1].left, 385);
}

TEST(LibBrowserScale, TheSymbolFitsTheViewInWholePercent) {
    struct Case {
        int32_t width, height;
        Rect drawing;
        int32_t percent;
    } cases[] = {
        {206, 106, {0, 0, 50, 100}, 100},     // fits: never enlarged
        {106, 106, {0, 0, 200, 400}, 25},     // the width decides
        {56, 306, {-50, -50, 50, 50}, 50},    // the width again, a drawing around the origin
        {6, 6, {0, 0, 30000, 30000}, 1},      // at least 1 %
    };
    for (const Case& c : cases)
        EXPECT_EQ(CalcSymbolViewScalePercent(c.width, c.height, c.drawing), c.percent) << c.width;
}

// The browser in a sheet's window, as the sheet's library pane.
class SheetBrowserTest : public LibBrowserTest {
protected:
    void SetUp() override {
        typeID_ = kSheetWindowKind;
        LibBrowserTest::SetUp();
        InitSheetWindows();
        sheet_ = sheets_.New();
        ASSERT_TRUE(sheet_ && sheet_->window);
        host_ = sheet_->window;
    }
    void TearDown() override {
        if (sheet_) sheet_->libraryPane = nullptr;
        DestroyLibBrowser(browser_);
        browser_ = nullptr;
        sheets_.DestroyAll();
        LibBrowserTest::TearDown();
    }
    SheetWindowList sheets_;
    SheetRecord* sheet_ = nullptr;
};

TEST_F(SheetBrowserTest, TheHistoryButtonRecallsTheItemsInTurn) {
    Make();
    sheet_->libraryPane = browser_;
    EXPECT_EQ(browser_->historyState, -1);
    RecordBrowserHistoryItem(browser_);
    EXPECT_EQ(browser_->historyState, 0);
    SelectBrowserItem(browser_, 3, true);
    RecordBrowserHistoryItem(browser_);
    EXPECT_TRUE(RecallBrowserHistoryItem(host_, 0));
    EXPECT_EQ(Shown(), "A.LBX:ALPHA rows 4 selected 0");
    EXPECT_EQ(sheet_->selectedTool, kLibraryPartTool);
    Rect box;
    CalcRecentItemsBox(browser_, &box);
    EXPECT_EQ(box.top, 2);
    EXPECT_EQ(box.bottom, 14);
    EXPECT_EQ(box.right - box.left, 19);
}

// The part's picture that the library-part tool shows following the pointer is made anew for
// each item chosen in a sheet window's browser.
TEST_F(SheetBrowserTest, ChoosingAnotherItemRenewsThePlacingPicture) {
    Make();
    sheet_->libraryPane = browser_;
    const struct Case {
        const char* what;
        std::function<void()> choose;
    } cases[] = {
        {"an item", [this] { SelectBrowserItem(browser_, 2, true); }},
        {"the next item", [this] { AdvanceCurrentBrowserItem(browser_, 1); }},
        {"a file", [this] { SelectBrowserFile(browser_, 1, 0, true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        BuildTrackingSymbolImage(nullptr, 0);  // made for no sheet: not stale
        ASSERT_FALSE(GetTrackingSymbolImage().stale);
        c.choose();
        EXPECT_TRUE(GetTrackingSymbolImage().stale);
    }
}

// The item with the drawing as its one symbol ("Box", one section), stored as a library holds it;
// the item is destroyed.
std::string Flattened(LibraryItem* item, const std::string& drawing) {
    EXPECT_EQ(AddLibSymbolDef(item, "Box", Block(drawing), nullptr, item->imageList, nullptr), 0);
    AddSection(item, "A", 0, {});
    OSStatus st = 0;
    Handle flat = FlattenLibraryItem(item, false, kTestStamp, &st);
    std::string bytes = HandleBytes(flat);
    if (flat) MemFree(flat);
    DestroyLibraryItem(item);
    return bytes;
}

// An item whose drawing is a rectangle with its bounds in the head.
std::string BoxItem(const char* name) {
    std::string drawing = DrawingBytes(2);
    const int16_t bounds[8] = {0, 0, 30, 20, 0, 0, 30, 20};
    drawing.replace(0, 16, reinterpret_cast<const char*>(bounds), 16);
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name, 255));
    return Flattened(item, drawing);
}

TEST_F(LibBrowserTest, ScreenshotOfAPreviewedSymbol) {
    {
        OpenLibrary lib(Path("libs/A.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(BoxItem("BOX"));
    }
    BuildLibraryFileList(nullptr, false);
    Make();
    SelectBrowserItem(browser_, 2, true);
    EXPECT_EQ(CachedItem(), "BOX");
    VXUpdateWindow(host_);
    EXPECT_GT(WriteScreenshot(host_, "library-browser-screenshot.png").size(), 24u);
}

// An item whose drawing is a rectangle with its designator and the field reference of its value
// (recorded unmarked, as the symbol editor saves it), its value 10k.
std::string LabelledItem(const char* name) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, name, 255));
    SetLibraryItemRefPrefix(item, "U");
    LinkListHeader* elements = CreateElementList(item->imageList);
    LLAppend(elements, BuildCommonElement(kElementRect, {0, 0}, {30, 20}, 1, 0, 0, false, false, 0, false, 0, false));
    LinkListHeader* texts = CreateTextList();
    const std::pair<uint16_t, const char*> shown[] = {{kTextKindCompDesignator, "U?"},
                                                      {kTextKindSymbolAttribute, "{Value}"}};
    int16_t v = 40;
    for (const auto& [kind, string] : shown) {
        TextRecord* text = CreateTextElement();
        text->kind = kind;
        text->position = {v, 0};
        v = int16_t(v + 14);
        SetTextRecordString(text, item->stringBlock, string);
        LLAppend(texts, text);
    }
    Handle data = ElementsToSymbolData(elements, texts, nullptr, item->stringBlock, false, nullptr);
    DestroyTextList(texts);
    DestroyElementList(elements);
    EXPECT_NE(data, nullptr);
    const std::string drawing = data ? HandleBytes(data) : std::string();
    if (data) MemFree(data);
    int16_t count = item->head.attributeCount;
    SetAttributeValue(item->stringBlock, item->attributes, 0, &count, "Value", "10k", nullptr);
    item->head.attributeCount = count;
    return Flattened(item, drawing);
}

// The preview shows the part's graphics and its designator, and leaves out the field reference,
// whose value a placed part takes from its own attributes: no "{Value}" is drawn.
TEST_F(LibBrowserTest, ThePreviewLeavesOutTheFieldReferences) {
    {
        OpenLibrary lib(Path("libs/A.LBX"), kLibraryOpenLoadMap);
        ASSERT_EQ(lib.status, 0);
        lib.Write(LabelledItem("BOX"));
    }
    BuildLibraryFileList(nullptr, false);
    Make();
    SelectBrowserItem(browser_, 2, true);
    ASSERT_EQ(CachedItem(), "BOX");
    VXGrafState* graf = &browser_->symbolView->graf;
    ASSERT_TRUE(VXOpenDisplayList(graf, nullptr, Point{0, 0}, 0));
    DrawCachedSymbolView(browser_->symbolView);
    DisplayList drawn = VXCloseDisplayList(graf);
    ASSERT_NE(drawn, nullptr);
    const std::string dump = DLDumpDisplayList(reinterpret_cast<const uint8_t*>(*drawn), SizeOfHandle(drawn));
    MemFree(drawn);
    EXPECT_NE(dump.find("U?"), std::string::npos) << dump;
    EXPECT_EQ(dump.find("{Value}"), std::string::npos) << dump;
    VXUpdateWindow(host_);
    EXPECT_GT(WriteScreenshot(host_, "library-browser-field-reference.png").size(), 24u);
}

// ---- The parts dialog ----

void Later(void (*action)()) {
    VXPostDeferredAction([](void* data) { reinterpret_cast<void (*)()>(data)(); }, reinterpret_cast<void*>(action),
                         0.001);
}

TEST_F(LibBrowserTest, CancellingThePartsDialogRestoresTheSelection) {
    EXPECT_EQ(CachedItem(), "ALPHA");
    Later([] {
        LibBrowserRecord* browser = GetPartsDialogBrowser();
        ASSERT_NE(browser, nullptr);
        SelectBrowserFile(browser, 1, 0, true);
        SelectBrowserItem(browser, 1, true);
        EXPECT_EQ(CachedItem(), "ECHO");
        QueueKey(27);
    });
    std::vector<int32_t> items;
    EXPECT_FALSE(BrowsePartsDialog(nullptr, false, kBrowserPanel, nullptr, &items));
    EXPECT_EQ(CachedFile(), "A.LBX");
    EXPECT_EQ(CachedItem(), "ALPHA");
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(gModalWindowDepth, 0);

    // Confirmed: the item stays chosen and comes back in the set.
    Later([] {
        SelectBrowserItem(GetPartsDialogBrowser(), 2, true);
        QueueKey(13);
    });
    EXPECT_TRUE(BrowsePartsDialog("Choose Shortcut Target", false, kBrowserPanel, nullptr, &items));
    EXPECT_EQ(CachedItem(), "BRAVO");
    EXPECT_EQ(items, std::vector<int32_t>{2});
}

TEST_F(LibBrowserTest, TheFinderTabChoosesAFoundItem) {
    Library("libs/C.LBX", {{"CAB"}, {"XAB12"}, {"ab"}});
    BuildLibraryFileList(nullptr, false);
    Later([] {
        LibFinderRecord* finder = GetPartsDialogFinder();
        ASSERT_NE(finder, nullptr);
        EXPECT_FALSE(VXGetItemEnabled(VXGetTopParent(finder->host), 1));
        CollectMatchingItemsList(finder, "ab");
        EXPECT_EQ(VXCountListViewItems(finder->foundList), 3);
        EXPECT_EQ(finder->selectedEntry, 0);
        SelectFoundItem(finder, 2);
        EXPECT_EQ(CachedItem(), "XAB12");
        QueueKey(13);
    });
    int32_t option = -1;
    std::vector<int32_t> items;
    EXPECT_TRUE(BrowsePartsDialog("Select Replacement Part", true, kFinderPanel, &option, &items));
    EXPECT_EQ(CachedFile(), "C.LBX");
    EXPECT_EQ(CachedItem(), "XAB12");
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(option, 1);
    EXPECT_EQ(gLastBrowserPanel, kFinderPanel);
}

}  // namespace
}  // namespace plexa::test
