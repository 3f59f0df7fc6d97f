// Printing through the print window and the printer view into PDF files: the page procedure's
// calls, pages and their origins, the print panel answered by the test seam, and failures.
#include "toolkit/vx_print.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/grafprocs.h"
#include "graphics/printrec.h"
#include "platform/print_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

struct Job {
    uint32_t pages = 2;
    std::vector<int32_t> calls;
    std::vector<LRect> drawn;
    std::vector<double> scales;
    bool printWindow = true;
};

uint32_t PageProc(VXWindowRecordTag* window, VXPrintRec* record, int32_t operation, void* data,
                  void* refcon) {
    auto* job = static_cast<Job*>(refcon);
    job->calls.push_back(operation);
    VXPrintWindowInfo info;
    job->printWindow = job->printWindow && VXGetPrintWindowInfo(window, &info) &&
                       info.record == record && window->graf.geometry.kind == kWindowPrint;
    if (operation == 0) return job->pages;
    if (operation > 0) {
        // Pages lie one below the other in the document.
        auto* origin = static_cast<_LPNT*>(data);
        origin->v = (operation - 1) * VXGetPrinterPageSize(record, true, nullptr).v;
        return 0;
    }
    if (operation == -2) {
        const LRect page = *static_cast<LRect*>(data);
        job->drawn.push_back(page);
        job->scales.push_back(record->scale);
        const LRect box{page.top + 10, page.left + 10, page.top + 110, page.left + 210};
        VXLRectDispatch(&box, 1);
        VXLRectDispatch(&page, 0);
    }
    return 0;
}

class PrintingTest : public test::ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        VXInitWindows();
        const double none[4] = {0, 0, 0, 0};
        TestSetPrinterInsets(none);
        ASSERT_EQ(VXCreatePrintRecordEx(&record_, 72), 0);
        PlatformPrintSettingsSetPaper(record_->printInfo, 612, 792, false);
        VXSet72DpiPrintMargins(record_, 36, 36, 36, 36);
    }
    void TearDown() override {
        VXDestroyPrintRecord(record_);
        TestSetPrintPanelAnswer(nullptr, nullptr);
        TestSetPrinterInsets(nullptr);
        ToolkitTest::TearDown();
    }
    static std::string Pdf(const std::string& path) {
        std::string bytes;
        test::ReadFile(path, bytes);
        return bytes;
    }
    VXPrintRec* record_ = nullptr;
    test::TempDir dir_;
};

TEST_F(PrintingTest, TwoPagesIntoAPdfFile) {
    const std::string path = dir_.file("two.pdf");
    PlatformPrintSettingsSetOutputFile(record_->printInfo, path);
    Job job;
    const size_t windows = VXTopLevelWindows().size();
    ASSERT_EQ(VXRunPrintOperation(record_, nullptr, 0, PageProc, &job), 0);
    const std::string pdf = Pdf(path);
    if (getenv("KEEP_PDF")) test::WriteFile(getenv("KEEP_PDF"), pdf);
    ASSERT_GT(pdf.size(), 4u);
    EXPECT_EQ(pdf.substr(0, 4), "%PDF");
    EXPECT_NE(pdf.find("/Count 2"), std::string::npos);
    EXPECT_TRUE(job.printWindow);
    // Before, pages and each page's origin, drawing, after.
    ASSERT_GE(job.calls.size(), 3u);
    EXPECT_EQ(job.calls[0], -1);
    EXPECT_EQ(job.calls[1], -3);
    EXPECT_EQ(job.calls.back(), -4);
    ASSERT_EQ(job.drawn.size(), 2u);
    EXPECT_EQ(job.drawn[0].top, 0);
    EXPECT_EQ(job.drawn[0].bottom, 720);
    EXPECT_EQ(job.drawn[0].right, 540);
    EXPECT_EQ(job.drawn[1].top, 720);
    EXPECT_EQ(job.drawn[1].bottom, 1440);
    // The print window is gone afterwards.
    EXPECT_EQ(VXTopLevelWindows().size(), windows);
}

TEST_F(PrintingTest, ResetScalingPrintsAtOneAndRestores) {
    PlatformPrintSettingsSetOutputFile(record_->printInfo, dir_.file("scaled.pdf"));
    PlatformPrintSettingsSetScaling(record_->printInfo, 0.5);
    VXSetApplicationPrintDPI(record_, 144);
    Job job;
    job.pages = 0;  // a procedure that cannot tell prints one page
    ASSERT_EQ(VXRunPrintOperation(record_, nullptr, kVXPrintResetScaling, PageProc, &job), 0);
    ASSERT_EQ(job.scales.size(), 1u);
    EXPECT_DOUBLE_EQ(job.scales[0], 0.5);
    EXPECT_DOUBLE_EQ(record_->scale, 0.25);
    EXPECT_EQ(record_->resolution, 144u);
    EXPECT_NE(Pdf(dir_.file("scaled.pdf")).find("/Count 1"), std::string::npos);
}

uint32_t ZoomedProc(VXWindowRecordTag* window, VXPrintRec* record, int32_t operation, void* data,
                   void* refcon) {
    if (operation == -1) VXSetScalePercent(window, 200, 200);
    return PageProc(window, record, operation, data, refcon);
}

TEST_F(PrintingTest, AZoomedPrintWindowDrawsAPointBeyondThePage) {
    PlatformPrintSettingsSetOutputFile(record_->printInfo, dir_.file("zoomed.pdf"));
    Job job;
    job.pages = 1;
    ASSERT_EQ(VXRunPrintOperation(record_, nullptr, 0, ZoomedProc, &job), 0);
    ASSERT_EQ(job.drawn.size(), 1u);
    EXPECT_EQ(job.drawn[0].top, -1);
    EXPECT_EQ(job.drawn[0].left, -1);
    EXPECT_EQ(job.drawn[0].bottom, 721);
    EXPECT_EQ(job.drawn[0].right, 541);
}

bool CancelPanel(PlatformPrintSettings*, void*) { return false; }
bool ChoosePdf(PlatformPrintSettings* settings, void* refcon) {
    PlatformPrintSettingsSetOutputFile(settings, *static_cast<std::string*>(refcon));
    return true;
}

TEST_F(PrintingTest, PrintPanelAnsweredByTheSeam) {
    Job cancelled;
    TestSetPrintPanelAnswer(CancelPanel, nullptr);
    EXPECT_EQ(VXRunPrintOperation(record_, nullptr, kVXPrintShowPanel, PageProc, &cancelled), -128);
    EXPECT_TRUE(cancelled.drawn.empty());
    EXPECT_EQ(cancelled.calls.back(), -4);

    std::string path = dir_.file("chosen.pdf");
    TestSetPrintPanelAnswer(ChoosePdf, &path);
    Job job;
    EXPECT_EQ(VXRunPrintOperation(record_, nullptr, kVXPrintShowPanel, PageProc, &job), 0);
    EXPECT_EQ(Pdf(path).substr(0, 4), "%PDF");
}

TEST_F(PrintingTest, FailuresAreReported) {
    PlatformPrintSettingsSetOutputFile(record_->printInfo, dir_.file("missing/folder/out.pdf"));
    Job job;
    EXPECT_EQ(VXRunPrintOperation(record_, nullptr, 0, PageProc, &job), -54);
    EXPECT_TRUE(job.drawn.empty());
    EXPECT_EQ(VXRunPrintOperation(nullptr, nullptr, 0, PageProc, &job), -50);
    EXPECT_EQ(VXRunPrintOperation(record_, nullptr, 0, nullptr, &job), -50);
}

TEST_F(PrintingTest, PrinterViewWithoutWindow) {
    VXPrinterView* view = VXPrinterViewInitWithFrame(0, 0, 100, 100);
    double rect[4];
    VXPrinterViewRectForPage(view, 1, rect);
    EXPECT_EQ(rect[0], 0);
    EXPECT_EQ(rect[1], 0);
    EXPECT_EQ(rect[2], 576);
    EXPECT_EQ(rect[3], 720);
    int32_t first = 0, count = 0;
    EXPECT_FALSE(VXPrinterViewKnowsPageRange(view, &first, &count));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(VXPrinterViewIsFlipped(view));
    EXPECT_FALSE(VXPrinterViewAcceptsFirstResponder(view));
    VXPrinterViewRelease(view);
}

}  // namespace
}  // namespace plexa
