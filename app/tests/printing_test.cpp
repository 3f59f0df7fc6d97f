// Printing: a sheet whose content spans two page heights and three page widths prints six pages
// into a PDF file, down the first column first; each page, rendered back to an image, shows what
// the sheet's own drawing shows of the same area. Pagination counts pages as the content reaches
// and a print record without a page prints none. The fixture project, whose child sheet is used
// twice, prints the child twice with each copy's own designators.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/printing.h"
#include "app/root.h"
#include "app/shell.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/tests/project_testing.h"
#include "foundation/ll.h"
#include "graphics/pixels.h"
#include "graphics/grafport.h"
#include "graphics/printrec.h"
#include "graphics/render.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "platform/print_platform.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetview.h"
#include "app/tests/editor_windows_testing.h"
#include "tests/support/testing.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

// The pages of a PDF file as images at the resolution, page 1 first; empty when they cannot be made.
std::vector<std::string> RenderPdf(const std::string& pdf, uint32_t dpi, const std::string& prefix) {
    const std::string command = "pdftoppm -r " + std::to_string(dpi) + " -png '" + pdf + "' '" + prefix + "'";
    if (std::system(command.c_str()) != 0) return {};
    std::vector<std::string> pages;
    for (int n = 1;; ++n) {
        std::string page;
        // pdftoppm pads the page numbers to the width of the last one.
        for (const char* format : {"%s-%d.png", "%s-%02d.png"}) {
            char name[1024];
            std::snprintf(name, sizeof name, format, prefix.c_str(), n);
            std::string bytes;
            if (ReadFile(name, bytes)) page = name;
            if (!page.empty()) break;
        }
        if (page.empty()) return pages;
        pages.push_back(page);
    }
}

// The text of one page of a PDF file.
std::string PdfPageText(const std::string& pdf, int page, const std::string& out) {
    const std::string command = "pdftotext -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf +
                                "' '" + out + "' 2>/dev/null";
    std::string text;
    if (std::system(command.c_str()) != 0 || !ReadFile(out, text)) return "";
    return text;
}

// Where an image has ink (dark, opaque pixels), row by row.
struct InkMask {
    int width = 0, height = 0;
    std::vector<bool> ink;
    bool At(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height && ink[size_t(y * width + x)]; }
    int Count() const { return int(std::count(ink.begin(), ink.end(), true)); }
};

InkMask MaskOf(const VXPixels* image) {
    InkMask mask;
    if (!image || image->depth != 32) return mask;
    mask.width = image->width;
    mask.height = image->height;
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x) {
            uint32_t word;
            std::memcpy(&word, image->bits + size_t(y) * image->rowBytes + size_t(x) * 4, 4);
            const uint32_t a = word >> 24, r = (word >> 16) & 0xFF, g = (word >> 8) & 0xFF, b = word & 0xFF;
            mask.ink.push_back(a > 127 && (r * 30 + g * 59 + b * 11) / 100 < 160);
        }
    return mask;
}

// Ink of one mask that the other has nowhere within `slack` pixels (edges are smoothed differently).
int Unmatched(const InkMask& a, const InkMask& b, int slack) {
    int count = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            if (!a.At(x, y)) continue;
            bool found = false;
            for (int dy = -slack; dy <= slack && !found; ++dy)
                for (int dx = -slack; dx <= slack && !found; ++dx) found = b.At(x + dx, y + dy);
            if (!found) ++count;
        }
    return count;
}

class Printing : public EditorWindowsTest {
protected:
    void SetUp() override {
        EditorWindowsTest::SetUp();
        const double none[4] = {0, 0, 0, 0};
        TestSetPrinterInsets(none);
    }
    void TearDown() override {
        TestResetPrinting();
        EditorWindowsTest::TearDown();
    }

    // A print record of the resolution whose printable page is width x height layout units,
    // printing into the file.
    static VXPrintRec* PageRecord(uint32_t resolution, int32_t width, int32_t height, const std::string& pdf) {
        VXPrintRec* record = nullptr;
        EXPECT_EQ(CreateDefaultPrintRef(resolution, &record, 0), 0);
        PlatformPrintSettingsSetPaper(record->printInfo, width * 72.0 / resolution, height * 72.0 / resolution, false);
        PlatformPrintSettingsSetOutputFile(record->printInfo, pdf);
        UpdateActualMargins(record);
        VXUpdatePrintScale(record);
        return record;
    }

    // The sheet's own drawing of the area, as the ink of an image of the area's size.
    static InkMask ScreenDrawing(SheetRecord* sheet, const Rect& area) {
        const int width = area.right - area.left, height = area.bottom - area.top;
        std::vector<uint32_t> pixels(size_t(width * height), 0);
        QZBitmap bitmap{reinterpret_cast<uint8_t*>(pixels.data()), width, height, width * 4, DrawPixelFormat::kARGB32};
        VXWindowRecordTag* previous = VXSetWindow(nullptr);
        VXWindowRecordTag* window = VXCreateOffScreenWindow(&bitmap, 0, nullptr);
        VXSetOrigin(&window->graf, area.left, area.top);
        QZInstallContext(window->graf.port);
        QZSetFocus(window->graf.port, -1);
        DrawSheetContent(sheet, window, &area);
        VXFlushGraphics(&window->graf);
        QZReleaseFocus(window->graf.port);
        QZReleaseContext(window->graf.port);
        VXDestroyWindow(window);
        VXSetWindow(previous);
        VXPixels image;
        image.width = uint16_t(width);
        image.height = uint16_t(height);
        image.bits = reinterpret_cast<uint8_t*>(pixels.data());
        image.rowBytes = uint32_t(width * 4);
        image.depth = 32;
        InkMask mask = MaskOf(&image);
        image.bits = nullptr;
        return mask;
    }
};

TEST_F(Printing, PaginationCountsThePagesTheContentReaches) {
    const LRect page{0, 0, 200, 300};
    struct Case {
        Rect bounds;
        uint16_t pages;
        int16_t rows;
    } const cases[] = {
        {{0, 0, 150, 250}, 1, 1},    // within the first page
        {{0, 0, 350, 650}, 6, 2},    // two page heights, three page widths
        {{0, 0, 200, 300}, 4, 2},    // an edge on the next page's first line
        {{210, 310, 390, 590}, 1, 1},  // away from the origin, within one page
    };
    for (const Case& c : cases) {
        int16_t rows = -1;
        EXPECT_EQ(CalcPaginationForSheet(c.bounds, false, page, &rows), c.pages);
        EXPECT_EQ(rows, c.rows);
    }
    int16_t rows = -1;
    EXPECT_EQ(CalcPaginationForSheet(Rect{0, 0, 5000, 5000}, true, page, &rows), 1) << "fitting: one page";
    // A print record that gives no page: no pages, and no division by nothing.
    EXPECT_EQ(CalcPaginationForSheet(Rect{0, 0, 350, 650}, false, LRect{0, 0, 0, 300}, &rows), 0);
    EXPECT_EQ(CalcPaginationForSheet(Rect{0, 0, 350, 650}, false, LRect{0, 0, 200, 0}, &rows), 0);
    // Pages run down each column first, then across.
    const _LPNT origins[] = {{0, 0}, {200, 0}, {0, 300}, {200, 300}, {0, 600}, {200, 600}};
    for (int n = 1; n <= 6; ++n) {
        const _LPNT at = SheetPageOrigin(n, 2, page);
        EXPECT_EQ(at.v, origins[n - 1].v) << n;
        EXPECT_EQ(at.h, origins[n - 1].h) << n;
    }
}

TEST_F(Printing, ASheetOfTwoByThreePagesPrintsSixPagesDownEachColumnFirst) {
    SheetRecord* sheet = sheets.New();
    ASSERT_NE(sheet, nullptr);
    const uint32_t dpi = sheet->stored.resolution ? sheet->stored.resolution : 72;
    constexpr int16_t kWidth = 300, kHeight = 200;
    ASSERT_GE(sheet->sheetBounds.right, 3 * kWidth);
    ASSERT_GE(sheet->sheetBounds.bottom, 2 * kHeight);
    // One filled block on each page, each of its own place and size, numbered in print order.
    for (int k = 0; k < 6; ++k) {
        const int row = k % 2, column = k / 2;
        const int16_t top = int16_t(row * kHeight + 20 + 8 * k), left = int16_t(column * kWidth + 20 + 12 * k);
        ElementRecord* block = BuildCommonElement(kElementRect, Point{top, left},
                                                  Point{int16_t(top + 50 + 5 * k), int16_t(left + 70)}, 1, 0, 0,
                                                  true, false, 0, false, 0, false);
        ASSERT_NE(block, nullptr);
        CalcElementBounds(block);
        LLPush(sheet->elementList, block);
    }
    const std::string pdf = dir.file("sheet.pdf");
    if (sheet->printRecord) VXDestroyPrintRecord(sheet->printRecord);
    sheet->printRecord = PageRecord(dpi, kWidth, kHeight, pdf);
    VXPrintingMetrics metrics{};
    ASSERT_TRUE(VXGetPrintingMetrics(sheet->printRecord, &metrics));
    ASSERT_EQ(metrics.pageWidth, kWidth);
    ASSERT_EQ(metrics.pageHeight, kHeight);

    Rect bounds{};
    CalcViewSizeForSheet(nullptr, sheet, false, Point{kHeight, kWidth}, &bounds);
    int16_t rows = 0;
    EXPECT_EQ(CalcPaginationForSheet(bounds, false, LRect{0, 0, kHeight, kWidth}, &rows), 6);
    EXPECT_EQ(rows, 2);
    ASSERT_EQ(PrintSheet(sheet, 0), 0);
    std::string bytes;
    ASSERT_TRUE(ReadFile(pdf, bytes));
    EXPECT_NE(bytes.find("/Count 6"), std::string::npos);
    EXPECT_TRUE(WriteFile(OutputPath("printed-sheet-2x3.pdf"), bytes));
    const std::vector<std::string> pages = RenderPdf(pdf, dpi, dir.file("page"));
    ASSERT_EQ(pages.size(), 6u) << "pdftoppm (poppler-utils) renders the pages";
    for (int n = 1; n <= 6; ++n) {
        const int row = (n - 1) % 2, column = (n - 1) / 2;
        const Rect area{int16_t(row * kHeight), int16_t(column * kWidth), int16_t(row * kHeight + kHeight),
                        int16_t(column * kWidth + kWidth)};
        const InkMask want = ScreenDrawing(sheet, area);
        VXPixels* printed = VXCreatePixelImageFromURL(pages[size_t(n - 1)].c_str(), false, nullptr);
        ASSERT_NE(printed, nullptr) << pages[size_t(n - 1)];
        const InkMask got = MaskOf(printed);
        EXPECT_NEAR(got.width, kWidth, 1);
        EXPECT_NEAR(got.height, kHeight, 1);
        EXPECT_GT(want.Count(), 2000) << "page " << n << " holds its block";
        EXPECT_LT(Unmatched(want, got, 2), want.Count() / 50) << "page " << n << ": the drawing is missing";
        EXPECT_LT(Unmatched(got, want, 2), got.Count() / 50) << "page " << n << ": the page shows more";
        VXDestroyPixelImage(printed);
    }
}

TEST_F(Printing, FitToOnePagePrintsOnePageWhateverTheSize) {
    SheetRecord* sheet = sheets.New();
    ASSERT_NE(sheet, nullptr);
    const uint32_t dpi = sheet->stored.resolution ? sheet->stored.resolution : 72;
    // Blocks at the far corners of two page heights and three page widths.
    for (const Point& at : {Point{10, 10}, Point{340, 820}}) {
        ElementRecord* block = BuildCommonElement(kElementRect, at, Point{int16_t(at.v + 40), int16_t(at.h + 60)}, 1,
                                                  0, 0, true, false, 0, false, 0, false);
        ASSERT_NE(block, nullptr);
        CalcElementBounds(block);
        LLPush(sheet->elementList, block);
    }
    sheet->stored.printScale = -1;
    const std::string pdf = dir.file("fit.pdf");
    if (sheet->printRecord) VXDestroyPrintRecord(sheet->printRecord);
    sheet->printRecord = PageRecord(dpi, 300, 200, pdf);
    ASSERT_EQ(PrintSheet(sheet, 0), 0);
    EXPECT_EQ(sheet->printRecord->resolution, dpi) << "the record's own resolution is kept";
    const std::vector<std::string> pages = RenderPdf(pdf, dpi, dir.file("fit"));
    ASSERT_EQ(pages.size(), 1u);
    VXPixels* printed = VXCreatePixelImageFromURL(pages[0].c_str(), false, nullptr);
    ASSERT_NE(printed, nullptr);
    const InkMask ink = MaskOf(printed);
    VXDestroyPixelImage(printed);
    // Both blocks on the page: ink near its top-left and near its far edge.
    int left = ink.width, right = 0;
    for (int y = 0; y < ink.height; ++y)
        for (int x = 0; x < ink.width; ++x)
            if (ink.At(x, y)) left = std::min(left, x), right = std::max(right, x);
    EXPECT_LT(left, 30);
    EXPECT_GT(right, 200);
}

TEST_F(Printing, AChildSheetUsedTwicePrintsTwiceWithItsOwnDesignators) {
    OpenFixtureProject();
    // The child, open without its window, names the occurrence it is drawn for.
    const FileSpec childFile = SpecOf(folder + "/RC.SHX");
    SheetRecord* child = OpenSchematicSheet(&childFile, kOpenSetContext);
    ASSERT_NE(child, nullptr);
    // Each symbol of the child shows its designator, which depends on the occurrence.
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(child->symbolList)); symbol; symbol = symbol->next) {
        TextRecord* label = CreateDrawingText(child, kTextKindSymbolAttribute, 0,
                                              Point{int16_t(symbol->position.v - 20), symbol->position.h}, "?");
        ASSERT_NE(label, nullptr);
        label->owner = symbol->serial;
        SetTextRecordMacroString(label, child->stringBlock, "{RefDes}");
    }
    RebuildMacroizedText(child, nullptr, nullptr);
    SheetInstance* before = child->hierarchyContext;
    const std::string pdf = dir.file("amp.pdf");
    ASSERT_EQ(CreateDefaultPrintRef(96, &project->printRecord, 0), 0);
    PlatformPrintSettingsSetPaper(project->printRecord->printInfo, 11 * 72, 8.5 * 72, true);
    PlatformPrintSettingsSetOutputFile(project->printRecord->printInfo, pdf);

    ASSERT_EQ(PrintProjectSheets(project, kPrintAllSheets, 0), 0);
    std::vector<std::string> texts;
    for (int page = 1;; ++page) {
        const std::string text = PdfPageText(pdf, page, dir.file("page.txt"));
        if (text.find_first_not_of(" \n\f") == std::string::npos) break;
        texts.push_back(text);
    }
    ASSERT_EQ(texts.size(), 3u) << "the root and the child twice";
    EXPECT_NE(texts[0].find("Divider"), std::string::npos) << texts[0];
    // The two copies of the child: the same drawing, each with its own designators.
    const auto has = [](const std::string& text, const char* what) { return text.find(what) != std::string::npos; };
    for (const std::string& text : {texts[1], texts[2]}) {
        EXPECT_TRUE(has(text, "RC low-pass")) << text;
        EXPECT_TRUE((has(text, "R3") && has(text, "C1")) != (has(text, "R4") && has(text, "C2"))) << text;
    }
    EXPECT_NE(has(texts[1], "R3"), has(texts[2], "R3"));
    EXPECT_EQ(child->hierarchyContext, before) << "the child shows the occurrence it showed before";
}

// Page setup with a project window in front: the project's record (made at 96 dpi) goes through
// the page-layout panel and, confirmed, is stored with the project's settings; cancelled, nothing.
TEST_F(Printing, AProjectsPageSetupIsKeptInItsFileWhenConfirmed) {
    OpenFixtureProject();
    ASSERT_EQ(project->printRecord, nullptr);
    TestSetPageLayoutAnswer([](PlatformPrintSettings*, void*) { return false; }, nullptr);
    DoProjectPageSetup(project);
    ASSERT_NE(project->printRecord, nullptr);
    EXPECT_EQ(project->printRecord->resolution, 96u);
    std::string before, after;
    ASSERT_TRUE(ReadFile(folder + "/amp.PRX", before));
    TestSetPageLayoutAnswer([](PlatformPrintSettings* settings, void*) {
        PlatformPrintSettingsSetPaper(settings, 612, 792, true);
        return true;
    }, nullptr);
    DoProjectPageSetup(project);
    ASSERT_TRUE(ReadFile(folder + "/amp.PRX", after));
    EXPECT_NE(after, before);
    // Opened again, the project has the landscape page.
    ASSERT_EQ(CloseProject(project, kCloseProjectDiscard), 0);
    OpenFixtureProject();
    ASSERT_NE(project->printRecord, nullptr);
    PlatformPaperGeometry paper{};
    PlatformPrintSettingsGeometry(project->printRecord->printInfo, &paper);
    EXPECT_GT(paper.paperWidth, paper.paperHeight);
}

}  // namespace
}  // namespace plexa::test
