// Print records: stored round trips in both byte orders, older and corrupted records, scale and
// margin arithmetic, page metrics, the page-setup dialog through the test seam, and the printer
// nesting depth.
#include "graphics/printrec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "foundation/byteswap.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "platform/print_platform.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::HandleStream;

struct Record {
    VXPrintRec* p = nullptr;
    ~Record() { VXDestroyPrintRecord(p); }
};

std::string Long(uint32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
std::string Swapped(uint32_t value) {
    return Long((value >> 24) | ((value >> 8) & 0xFF00) | ((value << 8) & 0xFF0000) | (value << 24));
}

class PrintRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        const double none[4] = {0, 0, 0, 0};
        TestSetPrinterInsets(none);  // whatever printers this machine has
    }
    void TearDown() override {
        TestSetPrinterInsets(nullptr);
        TestSetPageLayoutAnswer(nullptr, nullptr);
    }
    static std::string Write(const VXPrintRec* record) {
        HandleStream out;
        EXPECT_EQ(VXWritePrintRecord(out.stream, record), 0);
        return out.bytes().substr(0, size_t(GetStreamEnd(out.stream)));
    }
    static void ExpectDefaults(const VXPrintRec* record) {
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->resolution, 72u);
        EXPECT_EQ(record->margins[0] | record->margins[1] | record->margins[2] | record->margins[3], 0);
        EXPECT_NE(record->printInfo, nullptr);
        EXPECT_DOUBLE_EQ(record->scale, 1.0);
    }
};

// A record with settings that differ from every default.
void Customise(VXPrintRec* record) {
    PlatformPrintSettingsSetPaper(record->printInfo, 612, 792, true);
    PlatformPrintSettingsSetScaling(record->printInfo, 0.8);
    PlatformPrintSettingsSetPrinter(record->printInfo, "Lab %20 printer\nsecond");
    PlatformPrintSettingsSetOutputFile(record->printInfo, "/tmp/out.pdf");
    VXSetApplicationPrintDPI(record, 300);
    VXSet72DpiPrintMargins(record, 10, 20, 30, 40);
}

TEST_F(PrintRecordTest, NullRecordIsAZeroLength) {
    const std::string bytes = Write(nullptr);
    EXPECT_EQ(bytes, Long(0));
    HandleStream in(bytes);
    Record read;
    EXPECT_EQ(VXReadPrintRecord(in.stream, &read.p), 0);
    ExpectDefaults(read.p);
}

TEST_F(PrintRecordTest, RecordWithoutSettingsStoresTheDefaults) {
    Record original;
    ASSERT_EQ(VXCreatePrintRecordEx(&original.p, 144), 0);
    PlatformPrintSettingsDestroy(original.p->printInfo);
    original.p->printInfo = nullptr;
    HandleStream in(Write(original.p));
    Record read;
    ASSERT_EQ(VXReadPrintRecord(in.stream, &read.p), 0);
    EXPECT_EQ(read.p->resolution, 144u);
}

TEST_F(PrintRecordTest, RoundTripInBothByteOrders) {
    Record original;
    ASSERT_EQ(VXCreatePrintRecordEx(&original.p, 0), 0);
    Customise(original.p);
    const std::string native = Write(original.p);
    const std::string archive = PlatformPrintSettingsArchive(original.p->printInfo);
    ASSERT_EQ(native.size(), 4 + 4 + archive.size() + 4 + 20);

    // The same record as a writer of the other byte order stores it.
    std::string other = Swapped(uint32_t(archive.size() + 4)) + Swapped(kPrintRecordTag) + archive +
                        Swapped(20) + Swapped(300);
    for (int32_t margin : {10, 20, 30, 40}) other += Swapped(uint32_t(margin));

    for (bool swap : {false, true}) {
        SCOPED_TRACE(swap);
        HandleStream in((swap ? other : native) + "tail");
        EnableStreamReadByteSwap(in.stream, swap);
        Record read;
        ASSERT_EQ(VXReadPrintRecord(in.stream, &read.p), 0);
        EXPECT_EQ(GetStreamPosition(in.stream), int32_t(native.size()));
        EXPECT_EQ(read.p->resolution, 300u);
        EXPECT_EQ(read.p->margins[0], 10);
        EXPECT_EQ(read.p->margins[3], 40);
        EXPECT_DOUBLE_EQ(read.p->scale, 72.0 / 300 * 0.8);
        EXPECT_EQ(PlatformPrintSettingsArchive(read.p->printInfo), archive);
    }
}

TEST_F(PrintRecordTest, OlderAndUnknownRecords) {
    const std::string body116(116, 'x');
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus status;
        int32_t position;  // -1: not checked
    } cases[] = {
        {"old fixed record", Long(120) + Long(0x12345678) + body116, kPrintRecordOldKind, 124},
        {"CBPM", Long(10) + Long(kPrintRecordTagOldBPM) + "123456", kPrintRecordOldKind, 14},
        {"CCPI", Long(6) + Long(kPrintRecordTagOldCPI) + "12", kPrintRecordOldKind, 10},
        {"unknown tag", Long(10) + Long(0x41424344) + "123456", kPrintRecordBadTag, -1},
        {"empty body", Long(4) + Long(kPrintRecordTag), kPrintRecordBadTag, -1},
        {"length under the tag", Long(3) + Long(kPrintRecordTag), kPrintRecordBadTag, -1},
        {"old body cut short", Long(10) + Long(kPrintRecordTagOldBPM) + "12", status::kEndOfFile, -1},
        {"body beyond the data", Long(0xFFFFFFF0) + Long(kPrintRecordTag), status::kEndOfFile, -1},
        {"unreadable archive", Long(12) + Long(kPrintRecordTag) + "garbage!" + Long(20) +
                                   Long(300) + std::string(16, '\0'),
         kPrintRecordOldKind, 40},
        {"archive too long to read", Long(100004) + Long(kPrintRecordTag) + std::string(100000, 'a') +
                                         Long(0),
         kPrintRecordOldKind, 100012},
        {"resolution out of range", "", kPrintRecordOldKind, -1},
    };
    {
        // A well-formed record whose resolution no layout uses.
        Record r;
        ASSERT_EQ(VXCreatePrintRecordEx(&r.p, 0), 0);
        const std::string archive = PlatformPrintSettingsArchive(r.p->printInfo);
        cases[10].bytes = Long(uint32_t(archive.size() + 4)) + Long(kPrintRecordTag) + archive +
                         Long(20) + Long(70000) + std::string(16, '\0');
        cases[10].position = int32_t(cases[10].bytes.size());
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HandleStream in(c.bytes);
        Record read;
        EXPECT_EQ(VXReadPrintRecord(in.stream, &read.p), c.status);
        ExpectDefaults(read.p);
        if (c.position >= 0) {
            EXPECT_EQ(GetStreamPosition(in.stream), c.position);
        }
    }
}

TEST_F(PrintRecordTest, ShortOwnSettingsAndZeroResolution) {
    Record r;
    ASSERT_EQ(VXCreatePrintRecordEx(&r.p, 0), 0);
    const std::string archive = PlatformPrintSettingsArchive(r.p->printInfo);
    const std::string head = Long(uint32_t(archive.size() + 4)) + Long(kPrintRecordTag) + archive;
    struct Case {
        std::string own;
        uint32_t resolution;
        int32_t top;
    } cases[] = {
        {Long(0), 72, 0},                                   // nothing of its own
        {Long(6) + Long(144) + "zz", 144, 0},               // a resolution only
        {Long(28) + Long(0) + Long(5) + Long(6) + Long(7) + Long(8) + "moremore", 72, 5},
    };
    for (const Case& c : cases) {
        HandleStream in(head + c.own);
        Record read;
        ASSERT_EQ(VXReadPrintRecord(in.stream, &read.p), 0);
        EXPECT_EQ(read.p->resolution, c.resolution);
        EXPECT_EQ(read.p->margins[0], c.top);
        EXPECT_EQ(GetStreamPosition(in.stream), int32_t(head.size() + c.own.size()));
    }
}

TEST_F(PrintRecordTest, TruncatedAndMutatedRecordsNeverCrash) {
    Record original;
    ASSERT_EQ(VXCreatePrintRecordEx(&original.p, 0), 0);
    Customise(original.p);
    const std::string bytes = Write(original.p);
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        HandleStream in(bytes.substr(0, cut));
        Record read;
        const OSStatus status = VXReadPrintRecord(in.stream, &read.p);
        EXPECT_NE(status, 0) << cut;
        ASSERT_NE(read.p, nullptr);
    }
    std::mt19937 random(test::TestSeed());
    const int rounds = test::StressCount(300);
    for (int round = 0; round < rounds; ++round) {
        std::string mutated = bytes;
        for (int flips = 1 + int(random() % 4); flips > 0; --flips)
            mutated[random() % mutated.size()] = char(random());
        HandleStream in(mutated);
        Record read;
        (void)VXReadPrintRecord(in.stream, &read.p);  // a mutated record may be refused; the record read stands
        ASSERT_NE(read.p, nullptr);
        EXPECT_TRUE(std::isfinite(read.p->scale) && read.p->scale > 0);
        EXPECT_LE(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
    }
}

TEST_F(PrintRecordTest, ScalingAndResolution) {
    Record r;
    ASSERT_EQ(VXCreatePrintRecordEx(&r.p, 0), 0);
    PlatformPrintSettingsSetScaling(r.p->printInfo, 0.9);
    EXPECT_EQ(VXSetApplicationPrintScaling(r.p, 0.5), 144u);
    EXPECT_DOUBLE_EQ(r.p->scale, 0.5 * 0.9);
    // Factors that give no resolution change nothing.
    for (double bad : {0.0, -1.0, double(NAN), double(INFINITY)}) EXPECT_EQ(VXSetApplicationPrintScaling(r.p, bad), 144u);
    EXPECT_EQ(VXSetApplicationPrintScaling(r.p, 1000.0), 1u);  // never below one dot per inch
    EXPECT_EQ(VXSetApplicationPrintDPI(r.p, 0), 72u);
}

TEST_F(PrintRecordTest, ActualMarginsAreAtLeastThePrinterInsets) {
    const double insets[4] = {18, 18, 18, 18};
    TestSetPrinterInsets(insets);
    Record r;
    ASSERT_EQ(VXCreatePrintRecordEx(&r.p, 0), 0);
    PlatformPrintSettingsSetPaper(r.p->printInfo, 612, 792, false);
    VXSet72DpiPrintMargins(r.p, 10, 36, 0, 50);
    VXPrintingMetrics m;
    ASSERT_TRUE(VXGetPrintingMetrics(r.p, &m));
    EXPECT_EQ(m.marginTop, 18);
    EXPECT_EQ(m.marginLeft, 36);
    EXPECT_EQ(m.marginBottom, 18);
    EXPECT_EQ(m.marginRight, 50);
    EXPECT_EQ(m.insetTop, 18);
    EXPECT_EQ(m.insetRight, 18);
    EXPECT_EQ(m.pageWidth, 612 - 36 - 50);
    EXPECT_EQ(m.pageHeight, 792 - 36);
}

TEST_F(PrintRecordTest, PageSizeScaledAndUnscaled) {
    Record r;
    ASSERT_EQ(VXCreatePrintRecordEx(&r.p, 144), 0);
    PlatformPrintSettingsSetPaper(r.p->printInfo, 612, 792, false);
    VXSet72DpiPrintMargins(r.p, 36, 36, 36, 36);
    _LPNT size32{};
    const Point scaled = VXGetPrinterPageSize(r.p, true, &size32);
    EXPECT_EQ(scaled.v, 1440);
    EXPECT_EQ(scaled.h, 1080);
    EXPECT_EQ(size32.v, 1440);
    const Point points = VXGetPrinterPageSize(r.p, false, nullptr);
    EXPECT_EQ(points.v, 720);
    EXPECT_EQ(points.h, 540);
    // A layout too fine for 16 bits is clamped, not wrapped.
    VXSetApplicationPrintDPI(r.p, 65535);
    EXPECT_EQ(VXGetPrinterPageSize(r.p, true, &size32).v, INT16_MAX);
    EXPECT_GT(size32.v, INT16_MAX);
}

bool ChooseLandscape(PlatformPrintSettings* settings, void*) {
    PlatformPrintSettingsSetPaper(settings, 612, 792, true);
    PlatformPrintSettingsSetScaling(settings, 2.0);
    return true;
}
bool Cancel(PlatformPrintSettings* settings, void*) {
    PlatformPrintSettingsSetScaling(settings, 3.0);  // what a cancelled panel leaves is not used
    return false;
}

TEST_F(PrintRecordTest, PageSetupDialog) {
    Record r;
    ASSERT_EQ(VXCreatePrintRecordEx(&r.p, 0), 0);
    VXSet72DpiPrintMargins(r.p, 10, 10, 10, 10);
    r.p->pageData = DACreate(nullptr, 4, 0, 0);
    TestSetPageLayoutAnswer(ChooseLandscape, nullptr);
    EXPECT_TRUE(VXRunPageSetupDialog(r.p));
    EXPECT_EQ(r.p->pageData, nullptr);
    EXPECT_DOUBLE_EQ(r.p->scale, 2.0);
    EXPECT_EQ(VXGetPrinterPageSize(r.p, false, nullptr).h, int16_t((792 - 20) / 1));
    EXPECT_EQ(VXGetPrinterDepth(), 0);
    TestSetPageLayoutAnswer(Cancel, nullptr);
    EXPECT_FALSE(VXRunPageSetupDialog(r.p));
    EXPECT_DOUBLE_EQ(r.p->scale, 2.0);
    EXPECT_EQ(VXGetPrinterDepth(), 0);
}

TEST_F(PrintRecordTest, PrinterNesting) {
    EXPECT_EQ(VXClosePrinter(), kPrinterNotOpen);
    EXPECT_EQ(VXOpenPrinter(), 0);
    EXPECT_EQ(VXOpenPrinter(), 0);
    EXPECT_EQ(VXClosePrinter(), 0);
    EXPECT_EQ(VXClosePrinter(), 0);
    EXPECT_EQ(VXClosePrinter(), kPrinterNotOpen);
}

TEST(PrintSettingsArchive, MalformedArchivesAreRefused) {
    const std::string good = "PlexaPrintSettings 1\npaper=612x792\nmargins=1,2,3,4\n";
    PlatformPrintSettings* read = PlatformPrintSettingsUnarchive(good.data(), good.size());
    ASSERT_NE(read, nullptr);
    PlatformPrintSettingsDestroy(read);
    const char* bad[] = {
        "",
        "PlexaPrintSettings 2\n",
        "Other 1\npaper=612x792\n",
        "PlexaPrintSettings 1\npaper=0x792\n",
        "PlexaPrintSettings 1\npaper=612x\n",
        "PlexaPrintSettings 1\npaper=612x792x3\n",
        "PlexaPrintSettings 1\nmargins=1,2,3\n",
        "PlexaPrintSettings 1\nmargins=-1,0,0,0\n",
        "PlexaPrintSettings 1\npaper=100x100\nmargins=60,0,60,0\n",
        "PlexaPrintSettings 1\nscaling=nan\n",
        "PlexaPrintSettings 1\nscaling=0\n",
        "PlexaPrintSettings 1\norientation=sideways\n",
        "PlexaPrintSettings 1\nprinter=bad%2\n",
        "PlexaPrintSettings 1\nno equals sign\n",
    };
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_EQ(PlatformPrintSettingsUnarchive(text, std::strlen(text)), nullptr);
    }
}

}  // namespace
}  // namespace plexa
