// Catalogue printing: the tile grid and first-fit placing, the whole-percent scale of a box, the
// packing of items onto pages (an item that fits on no page is left out alone), the name lines
// below a box, and a fixture library printed into a PDF file.
#include "symboleditor/tests/libeditor_testing.h"

#include <set>

#include "graphics/printrec.h"
#include "platform/print_platform.h"

namespace plexa::test {
namespace {

class Catalogue : public LibEditorTest {
protected:
    void SetUp() override {
        LibEditorTest::SetUp();
        const double none[4] = {0, 0, 0, 0};
        TestSetPrinterInsets(none);
    }
    void TearDown() override {
        DisposeLibPrintRecord();
        TestSetPrinterInsets(nullptr);
        LibEditorTest::TearDown();
    }
};

TEST_F(Catalogue, TileGridRowsAndColumns) {
    const struct {
        Rect page;
        int16_t rows, columns;
    } cases[] = {
        {{0, 0, 400, 540}, 6, 5},
        {{10, 0, 130, 250}, 2, 2},   // rows = floor(130 / 58) - floor(10 / 58)
        {{60, 110, 174, 323}, 2, 1},
        {{0, 0, 57, 107}, 0, 0},
    };
    for (const auto& c : cases) {
        TileArea area{};
        ASSERT_NE(BuildTileArea(&area, kCatalogueTileWidth, kCatalogueTileHeight, &c.page), nullptr);
        EXPECT_EQ(area.rows, c.rows) << c.page.bottom;
        EXPECT_EQ(area.columns, c.columns) << c.page.right;
        DisposeTileArea(&area);
    }
}

TEST_F(Catalogue, FirstFitPlacingTable) {
    TileArea area{};
    const Rect page = {0, 0, 400, 540};  // 6 rows, 5 columns
    ASSERT_NE(BuildTileArea(&area, kCatalogueTileWidth, kCatalogueTileHeight, &page), nullptr);
    const struct {
        int16_t height, width;
        bool placed;
        Rect at;
    } cases[] = {
        {40, 60, true, {9, 24, 49, 84}},          // one tile, centred
        {40, 60, true, {9, 132, 49, 192}},        // the next tile of the row
        {100, 200, true, {8, 224, 108, 424}},     // 2 x 2 tiles at column 2
        {53, 103, true, {2, 434, 55, 537}},       // grown by 2 on each side it still fits one tile
        {54, 104, true, {89, 56, 143, 160}},      // grown, it needs 2 x 2 tiles: first free at row 1
        {300, 520, false, {0, 0, 300, 520}},      // 6 x 5 tiles: not free
        {400, 60, false, {0, 0, 400, 60}},        // taller than the page
    };
    for (const auto& c : cases) {
        Rect box = {0, 0, c.height, c.width};
        ASSERT_EQ(PlaceRectInArea(&area, &box), c.placed) << c.height << " x " << c.width;
        if (!c.placed) continue;
        EXPECT_EQ(box.top, c.at.top) << c.height << " x " << c.width;
        EXPECT_EQ(box.left, c.at.left);
        EXPECT_EQ(box.bottom, c.at.bottom);
        EXPECT_EQ(box.right, c.at.right);
        SetTileRect(&area, &box, true);
    }
    EXPECT_TRUE(TileState(&area, 2, 1));
    EXPECT_TRUE(TileState(&area, 0, 2));
    EXPECT_FALSE(TileState(&area, 4, 5));
    EXPECT_FALSE(TileState(&area, 9, 9));  // outside the grid
    SetTileState(&area, 9, 9, true);        // ignored
    EXPECT_FALSE(TileState(&area, 9, 9));
    DisposeTileArea(&area);
}

TEST_F(Catalogue, BoxScaleTable) {
    CatalogueRecord record{};
    record.area.rows = 6;      // largest height 340
    record.area.columns = 5;   // largest width 532
    record.nameLineHeight = 10;
    const struct {
        Rect bounds;
        int32_t names;
        int32_t percent;
    } cases[] = {
        {{0, 0, 40, 60}, 1, 100},
        {{0, 0, 326, 526}, 1, 100},     // 330 + 10 names = 340, 532: just fits
        {{0, 0, 40, 1000}, 1, 52},      // 532 / 1006
        {{0, 0, 656, 60}, 1, 50},       // (340 - 10) / 660
        {{0, 0, 100, 2000}, 8, 26},     // 532 / 2006 before (340 - 80) / 104
        {{0, 0, 20000, 20000}, 1, 1},   // never 0
        {{0, 0, 40, 60}, 40, 100},      // at most 8 lines of names count
    };
    for (const auto& c : cases)
        EXPECT_EQ(CatalogueBoxPercent(&record, &c.bounds, c.names), c.percent)
            << c.bounds.bottom << " x " << c.bounds.right << ", " << c.names << " names";
    // 8 lines of names taller than the page: 1 percent, never 0.
    record.nameLineHeight = 50;
    const Rect small = {0, 0, 40, 60};
    EXPECT_EQ(CatalogueBoxPercent(&record, &small, 8), 1);
    EXPECT_EQ(CatalogueBoxPercent(&record, &small, 1), 100);
}

TEST_F(Catalogue, PackingOntoPagesSkipsOnlyWhatFitsNowhere) {
    CatalogueRecord record{};
    record.captionBandHeight = 22;
    record.captionBaseline = 8;
    record.nameLineHeight = 30;  // 8 lines of names are taller than a page
    const LRect page = {0, 0, 254, 540};  // 232 high for tiles: 4 rows of 5 columns
    BeginCatalogueRun(&record, &page);
    EXPECT_EQ(record.captionBaseline, 246);
    ASSERT_EQ(record.area.rows, 4);
    ASSERT_EQ(record.area.columns, 5);
    const struct {
        int16_t height, width;
        uint16_t names;
        uint16_t page;
    } entries[] = {
        {150, 400, 1, 1},    // 4 x 4 tiles
        {150, 400, 1, 2},    // no room left beside it
        {30, 60, 1, 1},      // 2 x 1 tiles in the free column
        {30, 60, 8, 0},      // its names alone are taller than a page: left out alone
        {30, 60, 1, 1},      // fills page 1
        {30, 60, 1, 2},
        {30, 60, 1, 2},
        {30, 60, 1, 3},      // row 0 of page 3, from the left
        {30, 60, 1, 3},
        {30, 60, 1, 3},
        {30, 60, 1, 3},
        {2000, 3000, 2, 4},  // scaled to 8 percent: 4 x 3 tiles, only on an empty page
    };
    for (const auto& e : entries) {
        CatalogueEntry entry{};
        entry.bounds = Rect{0, 0, e.height, e.width};
        entry.nameCount = e.names;
        record.entries.push_back(entry);
    }
    EXPECT_EQ(CountCataloguePages(&record), 4);
    for (size_t i = 0; i < record.entries.size(); ++i)
        EXPECT_EQ(record.entries[i].page, entries[i].page) << "entry " << i;
    // Counted once.
    EXPECT_EQ(CountCataloguePages(&record), 4);
    DisposeCatalogueRecord(&record);
}

TEST_F(Catalogue, NameLinesBelowABox) {
    LibEditorRecord* clip = NewLibEditor(nullptr);
    std::vector<std::string> names;
    for (int i = 1; i <= 12; ++i) names.push_back("N" + std::to_string(i));
    LibEditorItemRef* ref = CreateLibEditorItemRef(clip, nullptr, BoxItem(names), 0, 0);
    LLAppend(clip->items, ref);
    CatalogueRecord record{};
    record.editor = clip;
    CatalogueEntry entry{};
    entry.ref = ref;
    entry.nameCount = 12;
    std::vector<std::string> lines;
    for (int32_t i = 0; i < kCatalogueMaxNameLines; ++i) {
        char line[256];
        GetCatalogueNameLine(&record, &entry, i, line);
        lines.push_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"N1", "N2", "N3", "N4", "N5", "N6", "N7", "and 5 others"}));
    entry.nameCount = 8;
    char line[256];
    GetCatalogueNameLine(&record, &entry, 7, line);
    EXPECT_STREQ(line, "N8");
    DestroyLibEditor(clip);
}

TEST_F(Catalogue, AFixtureLibraryPrintsIntoAPdfFile) {
    std::vector<std::vector<std::string>> items;
    for (int i = 0; i < 30; ++i) items.push_back({"PART" + std::to_string(i), "ALIAS" + std::to_string(i)});
    FileSpec spec = Library("catalogue.LBX", items);
    LibEditorRecord* editor = OpenLibraryEditor(&spec, false, false);
    ASSERT_NE(editor, nullptr);
    // A drawing far larger than a page, and an item without a symbol (not printed).
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, BoxItem({"HUGE"}, 3000, 3000), 0, 0));
    LibraryItem* empty = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(empty, kLibAppendName, "EMPTY", 0));
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, FlattenLibraryItem(empty, true, 1), 0, 0));
    DestroyLibraryItem(empty);

    VXPrintRec* print = GetLibPrintRecord();
    ASSERT_NE(print, nullptr);
    PlatformPrintSettingsSetPaper(print->printInfo, 612, 792, false);
    const std::string path = dir_.file("catalogue.pdf");
    PlatformPrintSettingsSetOutputFile(print->printInfo, path);
    ASSERT_EQ(PrintLibrary(editor, 0), 0);
    EXPECT_EQ(print->resolution, kCatalogueResolution);
    std::string pdf;
    ReadFile(path, pdf);
    ASSERT_GT(pdf.size(), 4u);
    EXPECT_EQ(pdf.substr(0, 4), "%PDF");

    // The same packing, counted on the page the print run had.
    CatalogueRecord record{};
    ASSERT_TRUE(PrepareCatalogue(editor, &record));
    EXPECT_EQ(record.entries.size(), 31u);  // the item without a symbol is left out
    EXPECT_STREQ(record.libraryName, "catalogue");
    const Point size = VXGetPrinterPageSize(print, true, nullptr);
    const LRect page = {0, 0, size.v, size.h};
    BeginCatalogueRun(&record, &page);
    const uint16_t pages = CountCataloguePages(&record);
    EXPECT_GE(pages, 2);
    EXPECT_NE(pdf.find("/Count " + std::to_string(pages)), std::string::npos);
    // Every page has content, the large drawing a page of its own.
    std::vector<int> perPage(pages + 1, 0);
    for (const CatalogueEntry& entry : record.entries) {
        ASSERT_GE(entry.page, 1);
        ++perPage[entry.page];
    }
    for (uint16_t p = 1; p <= pages; ++p) EXPECT_GT(perPage[p], 0) << "page " << p;
    EXPECT_EQ(perPage[record.entries.back().page], 1);
    EXPECT_LT(CatalogueBoxPercent(&record, &record.entries.back().bounds, 1), 100);
    DisposeCatalogueRecord(&record);
}

TEST_F(Catalogue, ALibraryWithoutSymbolsPrintsNothing) {
    FileSpec spec = Library("none.LBX", {});
    LibEditorRecord* editor = OpenLibraryEditor(&spec, false, false);
    LibraryItem* empty = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(empty, kLibAppendName, "EMPTY", 0));
    AddItemToLibEditor(editor, CreateLibEditorItemRef(editor, nullptr, FlattenLibraryItem(empty, true, 1), 0, 0));
    DestroyLibraryItem(empty);
    const std::string path = dir_.file("none.pdf");
    VXPrintRec* print = GetLibPrintRecord();
    PlatformPrintSettingsSetOutputFile(print->printInfo, path);
    EXPECT_EQ(PrintLibrary(editor, 0), 0);
    std::string pdf;
    EXPECT_FALSE(ReadFile(path, pdf) && !pdf.empty());
    EXPECT_EQ(VXGetPrinterDepth(), 0);
}

}  // namespace
}  // namespace plexa::test
