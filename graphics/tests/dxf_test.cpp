// The DXF writer: drawing through the conversion port gives the expected entities; blocks and
// sections; the header put in front of the body; locale-independent numbers; write failures.
#include "graphics/dxf.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/filespec.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "tests/support/testing.h"

#include <sys/stat.h>

namespace plexa {
namespace {

// ---- An output in memory ----

std::string gOut;
int32_t gFailWritesFrom = -1;  // a write reaching past this many bytes fails (-1: never)
int32_t gWritesAfterFailure = 0;
bool gFailed = false;
int32_t gCloses = 0;

OSStatus MemoryIO(DXFPort*, int16_t op, int32_t* value, int32_t count, void* data) {
    switch (op) {
        case kDXFOpen:
            *value = 1;
            return 0;
        case kDXFClose:
            ++gCloses;
            return 0;
        case kDXFRead:
            if (*value < 0 || size_t(*value) + size_t(count) > gOut.size()) return -39;
            std::memcpy(data, gOut.data() + *value, size_t(count));
            return 0;
        case kDXFWrite:
            if (gFailed) ++gWritesAfterFailure;
            if (gFailWritesFrom >= 0 && *value + count > gFailWritesFrom) {
                gFailed = true;
                return -34;
            }
            if (size_t(*value) + size_t(count) > gOut.size())
                gOut.resize(size_t(*value) + size_t(count));
            std::memcpy(gOut.data() + *value, data, size_t(count));
            return 0;
        case kDXFSize:
            *value = int32_t(gOut.size());
            return 0;
    }
    return -50;
}

// Text measures 6 units a byte.
bool FixedLayout(const VXGrafState*, const void*, int32_t count, uint32_t, VXTextLayout* out) {
    out->starts = {0, uint32_t(count)};
    out->offsets = {0, 6.0 * count};
    out->width = 6.0 * count;
    return true;
}
const VXTextHooks kFixedText = {FixedLayout, nullptr};

std::vector<std::string> gMessages;
std::vector<OSStatus> gErrors;
const DXFHooks kHooks = {
    [](const char* m) { gMessages.push_back(m); },
    [](OSStatus s) { gErrors.push_back(s); },
    nullptr,
};

// Page bottom 1000 at scale 100: unit 0.01, page height 10.
constexpr LRect kPage = {0, 0, 1000, 1000};

// CR LF line ends become "\n"; a lone LF or CR shows as "<LF>" / "<CR>".
std::string Readable(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            out += '\n';
            ++i;
        } else if (s[i] == '\n') {
            out += "<LF>";
        } else if (s[i] == '\r') {
            out += "<CR>";
        } else {
            out += s[i];
        }
    }
    return out;
}

// The lines between the opening of the ENTITIES section and its end.
std::string Entities(const std::string& file) {
    const std::string text = Readable(file);
    const std::string open = "0\nSECTION\n2\nENTITIES\n", close = "0\nENDSEC\n0\nEOF\n";
    const size_t a = text.find(open);
    if (a == std::string::npos || text.size() < close.size() ||
        text.compare(text.size() - close.size(), close.size(), close) != 0)
        return "";
    return text.substr(a + open.size(), text.size() - close.size() - a - open.size());
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class DXFFixture : public ::testing::Test {
protected:
    void SetUp() override {
        VXInitGraf();
        gOut.clear();
        gFailWritesFrom = -1;
        gWritesAfterFailure = 0;
        gFailed = false;
        gCloses = 0;
        gMessages.clear();
        gErrors.clear();
        DXFSetHooks(&kHooks);
        previousText_ = VXSetTextHooks(&kFixedText);
        previous_ = VXGetCurrentGrafState();
    }
    void TearDown() override {
        Close();
        if (open_) (void)DXFEnd(&dxf_);  // teardown
        VXSetCurrentGrafState(previous_);
        VXSetTextHooks(previousText_);
        DXFSetHooks(nullptr);
    }
    void Begin(DXFIOProc io = MemoryIO) {
        ASSERT_TRUE(DXFBegin(&kPage, 100.0, io, &dxf_));
        open_ = true;
        port_ = DXFOpenPort(&dxf_);
        ASSERT_NE(port_, nullptr);
    }
    void Close() {
        if (port_) DXFClosePort(&dxf_, port_);
        port_ = nullptr;
    }
    OSStatus End() {
        Close();
        open_ = false;
        return DXFEnd(&dxf_);
    }
    // Draws into a fresh output and gives the entities written.
    std::string Draw(const std::function<void()>& draw) {
        gOut.clear();
        Begin();
        draw();
        EXPECT_EQ(End(), 0);
        return Entities(gOut);
    }

    DXFPort dxf_;
    VXGrafState* port_ = nullptr;
    bool open_ = false;
    VXGrafState* previous_ = nullptr;
    const VXTextHooks* previousText_ = nullptr;
};

#define ENTITY_HEAD(kind) kind "\n8\nLayer_1\n6\nCONTINUOUS\n62\n7\n"
#define POLY_HEAD(width) ENTITY_HEAD("0\nPOLYLINE") "66\n1\n40\n" width "\n41\n" width "\n"
#define CLOSED_POLY_HEAD(width) \
    ENTITY_HEAD("0\nPOLYLINE") "66\n1\n70\n1\n40\n" width "\n41\n" width "\n"
#define VERTEX(x, y) "0\nVERTEX\n8\nLayer_1\n10\n" x "\n20\n" y "\n30\n0.000000\n"
#define VERTEX_BULGE(x, y, b) VERTEX(x, y) "42\n" b "\n"
#define SEQEND "0\nSEQEND\n"

struct Case {
    const char* name;
    std::function<void()> draw;
    const char* expected;
};

const Rect kRect = {10, 20, 30, 60};  // top, left, bottom, right

const Case kCases[] = {
    {"line of width 1 (no centre-line shift)",
     [] { VXMoveTo(20, 10); VXLineTo(120, 10); },
     ENTITY_HEAD("0\nLINE") "10\n0.200000\n20\n9.900000\n30\n0.000000\n"
                            "11\n1.200000\n21\n9.900000\n31\n0.000000\n"},
    {"hairline (pen 0) as a line of width 0",
     [] { VXSetPenWidth(0); VXMoveTo(0, 0); VXLineTo(100, 0); },
     ENTITY_HEAD("0\nLINE") "10\n0.000000\n20\n10.000000\n30\n0.000000\n"
                            "11\n1.000000\n21\n10.000000\n31\n0.000000\n"},
    {"line of width 3 as a polyline, shifted onto its centre line",
     [] { VXSetPenWidth(3); VXMoveTo(20, 10); VXLineTo(120, 10); },
     POLY_HEAD("0.030000") VERTEX("0.210000", "9.890000") VERTEX("1.210000", "9.890000") SEQEND},
    {"framed rectangle",
     [] { VXRectDispatch(&kRect, 0); },
     CLOSED_POLY_HEAD("0.010000") VERTEX("0.200000", "9.710000") VERTEX("0.590000", "9.710000")
         VERTEX("0.590000", "9.900000") VERTEX("0.200000", "9.900000") SEQEND},
    {"painted rectangle with pen 0 gets width 1",
     [] { VXSetPenWidth(0); VXRectDispatch(&kRect, 1); },
     CLOSED_POLY_HEAD("0.010000") VERTEX("0.200000", "9.710000") VERTEX("0.590000", "9.710000")
         VERTEX("0.590000", "9.900000") VERTEX("0.200000", "9.900000") SEQEND},
    {"erased rectangle is not written", [] { VXRectDispatch(&kRect, 2); }, ""},
    {"circle",
     [] { const Rect r = {0, 0, 21, 21}; VXOvalDispatch(&r, 0); },
     ENTITY_HEAD("0\nCIRCLE") "10\n0.100000\n20\n9.900000\n30\n0.000000\n40\n0.100000\n"},
    {"20 by 10 oval as a scaled ELLIPSE block",
     [] { const Rect r = {0, 0, 11, 21}; VXOvalDispatch(&r, 0); },
     ENTITY_HEAD("0\nINSERT") "2\nELLIPSE\n10\n0.100000\n20\n9.950000\n30\n0.000000\n"
                              "41\n0.100000\n42\n0.050000\n"},
    {"circular arc from 0 over 90 degrees",
     [] { const Rect r = {0, 0, 21, 21}; VXArcDispatch(&r, 0, 90, 0); },
     ENTITY_HEAD("0\nARC") "10\n0.100000\n20\n9.900000\n30\n0.000000\n40\n0.100000\n"
                           "50\n0.000000\n51\n90.000000\n"},
    {"arc of negative extent",
     [] { const Rect r = {0, 0, 21, 21}; VXArcDispatch(&r, 0, -90, 0); },
     ENTITY_HEAD("0\nARC") "10\n0.100000\n20\n9.900000\n30\n0.000000\n40\n0.100000\n"
                           "50\n90.000000\n51\n180.000000\n"},
    {"elliptic arcs share a block per angle pair",
     [] {
         const Rect r = {0, 0, 11, 21};
         VXArcDispatch(&r, 0, 90, 0);
         VXArcDispatch(&r, 0, 90, 0);
         VXArcDispatch(&r, 90, 90, 0);
     },
     ENTITY_HEAD("0\nINSERT") "2\nELLIPSEARC1\n10\n0.100000\n20\n9.950000\n30\n0.000000\n"
                              "41\n0.100000\n42\n0.050000\n"
     ENTITY_HEAD("0\nINSERT") "2\nELLIPSEARC1\n10\n0.100000\n20\n9.950000\n30\n0.000000\n"
                              "41\n0.100000\n42\n0.050000\n"
     ENTITY_HEAD("0\nINSERT") "2\nELLIPSEARC2\n10\n0.100000\n20\n9.950000\n30\n0.000000\n"
                              "41\n0.100000\n42\n0.050000\n"},
    {"rounded rectangle: radius half the oval width, corners bulging outwards",
     [] { const Rect r = {0, 0, 41, 61}; VXRoundRectDispatch(&r, 20, 10, 0); },
     CLOSED_POLY_HEAD("0.010000") VERTEX("0.100000", "10.000000")
         VERTEX_BULGE("0.500000", "10.000000", "-0.414213") VERTEX("0.600000", "9.900000")
         VERTEX_BULGE("0.600000", "9.700000", "-0.414213") VERTEX("0.500000", "9.600000")
         VERTEX_BULGE("0.100000", "9.600000", "-0.414213") VERTEX("0.000000", "9.700000")
         VERTEX_BULGE("0.000000", "9.900000", "-0.414213") SEQEND},
    {"framed polygon",
     [] {
         const Point pts[] = {{10, 10}, {10, 30}, {30, 20}};
         VXPolyDispatch(pts, 3, 0);
     },
     POLY_HEAD("0.010000") VERTEX("0.100000", "9.900000") VERTEX("0.300000", "9.900000")
         VERTEX("0.200000", "9.700000") SEQEND},
    {"L polygon with a rounded corner",
     [] {
         const _LPNT pts[] = {{0, 0}, {0, 100}, {100, 100}};
         const int32_t radii[] = {0, 10, 0};
         VXLPolyDispatch(pts, radii, 3, 0);
     },
     POLY_HEAD("0.010000") VERTEX("0.000000", "10.000000")
         VERTEX_BULGE("0.900000", "10.000000", "-0.414213") VERTEX("1.000000", "9.900000")
         VERTEX("1.000000", "9.000000") SEQEND},
    {"text with a tab, a line break and a caret",
     [] {
         VXSetTextSize(12);
         VXMoveTo(100, 200);
         VXDrawTextWithEncoding("A\tB\r\nx^2", -1, 0x08000100);
     },
     ENTITY_HEAD("0\nTEXT") "10\n0.990000\n20\n8.000000\n30\n0.000000\n40\n0.093600\n"
                            "11\n1.470000\n21\n8.000000\n72\n5\n1\nA^IB^M^Jx^ 2\n"},
    {"text turned by 90 degrees",
     [] {
         VXSetTextSize(12);
         VXSetTextRotation(90);
         VXMoveTo(100, 200);
         VXDrawTextWithEncoding("AB", 2, 0);
     },
     ENTITY_HEAD("0\nTEXT") "10\n1.000000\n20\n8.010000\n30\n0.000000\n40\n0.093600\n"
                            "50\n270.000000\n11\n1.000000\n21\n7.890000\n72\n5\n1\nAB\n"},
    {"mirrored text outside ASCII",
     [] {
         VXSetTextSize(10);
         VXGetCurrentGrafState()->textMirror = 1;
         VXMoveTo(101, 100);
         VXDrawTextWithEncoding("\xC2\xB5m", -1, 0x08000100);
     },
     ENTITY_HEAD("0\nTEXT") "10\n1.000000\n20\n9.000000\n30\n0.000000\n40\n0.078000\n"
                            "11\n0.820000\n21\n9.000000\n72\n5\n71\n2\n1\n?m\n"},
    {"UTF-16 text",
     [] {
         VXSetTextSize(10);
         VXMoveTo(101, 100);
         VXDrawTextWithEncoding("A\0\xE9\0", 4, 0x14000100);
     },
     ENTITY_HEAD("0\nTEXT") "10\n1.000000\n20\n9.000000\n30\n0.000000\n40\n0.078000\n"
                            "11\n1.240000\n21\n9.000000\n72\n5\n1\nA?\n"},
    {"empty text is not written", [] { VXDrawTextWithEncoding("", -1, 0); }, ""},
};

TEST_F(DXFFixture, DrawingCallsGiveTheirEntities) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Draw(c.draw), c.expected);
    }
}

TEST_F(DXFFixture, PolygonPaintedThenFramedIsWrittenOnceUpTo32Points) {
    for (int16_t n : {10, 40}) {
        SCOPED_TRACE(n);
        std::vector<Point> pts;
        for (int16_t i = 0; i < n; ++i) pts.push_back({int16_t(i * 3), int16_t(i * 7 % 50)});
        const std::string out = Draw([&] {
            VXPolyDispatch(pts.data(), n, 1);
            VXPolyDispatch(pts.data(), n, 0);
        });
        EXPECT_EQ(Count(out, "POLYLINE"), n <= 32 ? 1u : 2u);
    }
    // Only the polygon just before counts: two blocks with the same filled polygon, and a
    // polygon drawn again after another entity, are each written.
    const Point tri[] = {{0, 0}, {0, 10}, {10, 5}};
    gOut.clear();
    Begin();
    for (int32_t block = 1; block <= 2; ++block) {
        DXFBlockBegin(&dxf_, block);
        VXPolyDispatch(tri, 3, 1);
        VXPolyDispatch(tri, 3, 0);
        DXFBlockEnd(&dxf_);
    }
    VXPolyDispatch(tri, 3, 1);
    VXMoveTo(0, 0);
    VXLineTo(5, 5);
    VXPolyDispatch(tri, 3, 0);
    EXPECT_EQ(End(), 0);
    EXPECT_EQ(Count(gOut, "POLYLINE"), 4u);
}

TEST_F(DXFFixture, ImagesAreNotExportedButNoted) {
    Begin();
    const Rect r = {0, 0, 10, 10};
    VXDrawPixels(nullptr, &r, &r, 0);
    EXPECT_TRUE(dxf_.flags & kDXFImageDrawn);
    EXPECT_EQ(End(), 0);
    EXPECT_EQ(Entities(gOut), "");
}

TEST_F(DXFFixture, BlocksAreDefinedAheadOfEntitiesAndReferenced) {
    Begin();
    DXFBlockBegin(&dxf_, 7);
    VXMoveTo(0, 0);
    VXLineTo(100, 10);
    DXFBlockEnd(&dxf_);
    const _LPNT at = {100, 200};
    DXFBlockReference(&dxf_, 7, &at);
    EXPECT_EQ(End(), 0);
    const std::string text = Readable(gOut);
    const std::string body =
        "0\nBLOCK\n8\nLayer_1\n2\nDXF_BLK_7\n70\n0\n10\n0.000000\n20\n0.000000\n30\n0.000000\n"
        ENTITY_HEAD("0\nLINE") "10\n0.000000\n20\n0.000000\n30\n0.000000\n"
                               "11\n1.000000\n21\n-0.100000\n31\n0.000000\n"
        "0\nENDBLK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
        ENTITY_HEAD("0\nINSERT") "2\nDXF_BLK_7\n10\n2.000000\n20\n9.000000\n30\n0.000000\n"
        "0\nENDSEC\n0\nEOF\n";
    ASSERT_GE(text.size(), body.size());
    EXPECT_EQ(text.substr(text.size() - body.size()), body);
    // Extents: the block's bounds at the reference point.
    EXPECT_NE(text.find("9\n$EXTMIN\n10\n2.000000\n20\n8.900000\n"), std::string::npos);
    EXPECT_NE(text.find("9\n$EXTMAX\n10\n3.000000\n20\n9.000000\n"), std::string::npos);
    EXPECT_TRUE(gMessages.empty());
}

TEST_F(DXFFixture, MisplacedBlocksAreRefusedAndWriteNothing) {
    Begin();
    DXFBlockEnd(&dxf_);
    DXFBlockBegin(&dxf_, 1);
    DXFBlockBegin(&dxf_, 2);
    DXFBlockEnd(&dxf_);
    VXMoveTo(0, 0);
    VXLineTo(10, 0);
    const size_t before = gOut.size();
    DXFBlockBegin(&dxf_, 3);
    EXPECT_EQ(gOut.size(), before);
    EXPECT_EQ(gMessages, (std::vector<std::string>{
                             "ERROR: No matching \"BlockBegin\" for a \"BlockEnd\".",
                             "ERROR: Nested blocks not allowed.",
                             "ERROR: Blocks cannot be defined in the Entities section."}));
    EXPECT_EQ(End(), 0);
    // The block never referenced is referenced once at the origin; block 2 was never made.
    const std::string entities = Entities(gOut);
    EXPECT_EQ(Count(entities, "DXF_BLK_1\n10\n0.000000\n20\n10.000000\n"), 1u);
    EXPECT_EQ(Count(Readable(gOut), "DXF_BLK_2"), 0u);
}

TEST_F(DXFFixture, BlockNamesKeepTheGroupStructureAndMatchWithoutCase) {
    Begin();
    DXFBlockBeginEx(&dxf_, "Pin\nA", 3);
    VXMoveTo(0, 0);
    VXLineTo(10, 10);
    DXFBlockEnd(&dxf_);
    DXFEntityRecord ref;
    ref.kind = kDXFBlockRef;
    ref.name = "PIN\na";
    ref.number = 3;
    ref.first = {500, 500};
    ref.angle1 = 450;
    DXFEntity(&dxf_, &ref);
    EXPECT_EQ(End(), 0);
    const std::string text = Readable(gOut);
    EXPECT_NE(text.find("0\nBLOCK\n8\nLayer_1\n2\nPin^JA3\n"), std::string::npos);
    EXPECT_NE(text.find("2\nPIN^Ja3\n10\n5.000000\n20\n5.000000\n30\n0.000000\n50\n-45.0\n"),
              std::string::npos);
    // The block counts as used (no extra reference at the origin) and its bounds give the extents.
    EXPECT_EQ(Count(text, "0\nINSERT\n"), 1u);
    EXPECT_NE(text.find("9\n$EXTMAX\n10\n5.100000\n20\n5.000000\n"), std::string::npos);
}

TEST_F(DXFFixture, BlockOpenAtTheEndIsClosed) {
    Begin();
    DXFBlockBegin(&dxf_, 5);
    EXPECT_EQ(End(), 0);
    const std::string text = Readable(gOut);
    EXPECT_NE(text.find("2\nDXF_BLK_5\n70\n0\n10\n0.000000\n20\n0.000000\n30\n0.000000\n"
                        "0\nENDBLK\n"),
              std::string::npos);
}

TEST_F(DXFFixture, OutputWithoutEntitiesHasNoEntitiesSection) {
    Begin();
    EXPECT_EQ(End(), 0);
    const std::string text = Readable(gOut);
    EXPECT_EQ(text.find("ENTITIES"), std::string::npos);
    const std::string tail = "0\nENDBLK\n0\nENDSEC\n0\nEOF\n";
    EXPECT_EQ(text.rfind(tail), text.size() - tail.size());
    // An empty drawing reports empty extents at the origin.
    EXPECT_NE(text.find("9\n$EXTMIN\n10\n0.000000\n20\n0.000000\n9\n$EXTMAX\n10\n0.000000\n"),
              std::string::npos);
}

// A drawing whose body is many kilobytes, so that the header is put in front chunk by chunk.
void DrawMany() {
    for (int16_t i = 0; i < 150; ++i) {
        VXMoveTo(i, 0);
        VXLineTo(i, 500);
    }
    const Rect r = {0, 0, 51, 101};
    VXArcDispatch(&r, 45, 90, 0);
}

TEST_F(DXFFixture, HeaderIsPutInFrontOfTheBody) {
    Begin();
    DrawMany();
    ASSERT_EQ(End(), 0);
    const std::string text = Readable(gOut);
    const char* order[] = {"0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1006\n",
                           "9\n$EXTMIN\n10\n0.000000\n20\n5.000000\n",
                           "9\n$EXTMAX\n10\n1.490000\n20\n10.000000\n",
                           "9\n$LIMMIN\n10\n0.000000\n20\n0.000000\n",
                           "9\n$LIMMAX\n10\n10.000000\n20\n10.000000\n",
                           "9\n$SNAPMODE\n70\n0\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n",
                           "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n8\n0\n2\nELLIPSE\n",
                           "2\nELLIPSEARC1\n",
                           "50\n315.000000\n51\n45.000000\n0\nENDBLK\n0\nENDSEC\n"
                           "0\nSECTION\n2\nENTITIES\n",
                           "0\nENDSEC\n0\nEOF\n"};
    size_t at = 0;
    for (const char* part : order) {
        SCOPED_TRACE(part);
        const size_t found = text.find(part, at);
        ASSERT_NE(found, std::string::npos);
        at = found;
    }
    EXPECT_EQ(text.find("0\nSECTION\n2\nHEADER\n"), 0u);
    EXPECT_EQ(Count(text, "0\nLINE\n"), 150u);
    EXPECT_EQ(text.find('<'), std::string::npos) << "a line end that is not CR LF";
}

TEST_F(DXFFixture, DefaultIOProcedureWritesTheSameFile) {
    Begin();
    DrawMany();
    ASSERT_EQ(End(), 0);
    const std::string inMemory = gOut;

    test::TempDir dir;
    FileSpec spec{};
    ASSERT_EQ(FileSpecFromURL(dir.file("out.dxf"), &spec, false, nullptr), 0);
    // An older, longer file in its place is emptied first.
    ASSERT_TRUE(test::WriteFile(dir.file("out.dxf"), std::string(100000, 'x')));
    ASSERT_TRUE(DXFBeginToFile(&kPage, 100.0, &spec, &dxf_));
    open_ = true;
    port_ = DXFOpenPort(&dxf_);
    DrawMany();
    EXPECT_EQ(End(), 0);
    std::string written;
    ASSERT_TRUE(test::ReadFile(dir.file("out.dxf"), written));
    EXPECT_EQ(written, inMemory);
    EXPECT_TRUE(gErrors.empty());
}

TEST_F(DXFFixture, WriteFailureIsReturnedAndStopsTheOutput) {
    for (int32_t limit : {0, 300, 5000}) {
        SCOPED_TRACE(limit);
        gOut.clear();
        gFailed = false;
        gWritesAfterFailure = 0;
        gCloses = 0;
        gFailWritesFrom = limit;
        ASSERT_TRUE(DXFBegin(&kPage, 100.0, MemoryIO, &dxf_));
        open_ = true;
        port_ = DXFOpenPort(&dxf_);
        DrawMany();
        EXPECT_EQ(End(), -34);
        EXPECT_EQ(gWritesAfterFailure, 0);
        EXPECT_EQ(gCloses, 1);
        EXPECT_EQ(DXFGetCurrent(), nullptr);
    }
}

TEST_F(DXFFixture, FileThatCannotBeCreatedIsReportedAndReturned) {
    test::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("taken").c_str(), 0700), 0);  // a folder in the file's place
    FileSpec spec{};
    ASSERT_EQ(FileSpecFromURL(dir.file("taken"), &spec, false, nullptr), 0);
    EXPECT_FALSE(DXFBeginToFile(&kPage, 100.0, &spec, &dxf_));
    ASSERT_EQ(gErrors.size(), 1u);
    EXPECT_NE(gErrors[0], 0);
    EXPECT_EQ(DXFEnd(&dxf_), gErrors[0]);

    // Without a file and without a save panel nothing is opened, and nothing is reported.
    gErrors.clear();
    EXPECT_FALSE(DXFBegin(&kPage, 100.0, nullptr, &dxf_));
    EXPECT_EQ(DXFEnd(&dxf_), status::kUserCancelled);
    EXPECT_TRUE(gErrors.empty());
}

TEST_F(DXFFixture, DefaultIOProcedureAsksTheSavePanelForTheFile) {
    test::TempDir dir;
    static FileSpec asked;
    static std::string prompt;
    ASSERT_EQ(FileSpecFromURL(dir.file("asked.dxf"), &asked, false, nullptr), 0);
    DXFHooks withPanel = kHooks;
    withPanel.askSaveFile = [](const char* p, const char* creator, const char* type,
                               FileSpec* out) {
        prompt = std::string(p) + "|" + creator + "|" + type;
        *out = asked;
        return OSStatus(0);
    };
    DXFSetHooks(&withPanel);
    EXPECT_TRUE(DXFBegin(&kPage, 100.0, nullptr, &dxf_));
    EXPECT_EQ(DXFEnd(&dxf_), 0);
    EXPECT_EQ(prompt, "Save DXF file as:|R*ch|TEXT");
    std::string written;
    ASSERT_TRUE(test::ReadFile(dir.file("asked.dxf"), written));
    const std::string tail = "0\r\nENDSEC\r\n0\r\nEOF\r\n";
    EXPECT_EQ(written.rfind(tail), written.size() - tail.size());
}

TEST_F(DXFFixture, CentreLineAdjustmentCanBeTurnedOff) {
    EXPECT_FALSE(DXFEnableCenterLineAdjustment(false));  // no output current
    const std::string out = Draw([] {
        VXSetPenWidth(4);
        EXPECT_TRUE(DXFEnableCenterLineAdjustment(false));
        VXMoveTo(20, 10);
        VXLineTo(120, 10);
        EXPECT_FALSE(DXFEnableCenterLineAdjustment(true));
        VXMoveTo(20, 10);
        VXLineTo(120, 10);
    });
    EXPECT_EQ(Count(out, VERTEX("0.200000", "9.900000")), 1u);
    EXPECT_EQ(Count(out, VERTEX("0.220000", "9.880000")), 1u);
}

// ---- Numbers ----

TEST(DXFFormat, RealsHaveAPointWhateverTheLocale) {
    const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8",
                                  "nl_NL.UTF-8", "ru_RU.UTF-8", "de_DE"};
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : commaLocales) {
        if (std::setlocale(LC_NUMERIC, name) &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            comma = true;
            break;
        }
    }
    if (!comma) std::setlocale(LC_NUMERIC, "C");

    struct Number {
        double value;
        int32_t decimals;
        const char* text;
    };
    const Number kNumbers[] = {
        {0.2, 6, "0.200000"},       {-0.005, 6, "-0.005000"},      {9.9, 6, "9.900000"},
        {0.4142135623, 6, "0.414214"}, {21474836.47, 6, "21474836.470000"},
        {-4.5, 1, "-4.5"},          {0.0, 1, "0.0"},               {NAN, 6, "0.000000"},
        {-1e-9, 6, "0.000000"},     {-0.0, 6, "0.000000"},
        {INFINITY, 6, "0.000000"},
    };
    for (const Number& n : kNumbers) {
        char buffer[64];
        EXPECT_EQ(DXFFormatReal(n.value, n.decimals, buffer, sizeof buffer),
                  int32_t(std::strlen(n.text)));
        EXPECT_STREQ(buffer, n.text);
        if (!comma && std::isfinite(n.value) && std::fabs(n.value) >= 1e-6) {
            char printed[64];
            std::snprintf(printed, sizeof printed, "%.*f", n.decimals, n.value);
            EXPECT_STREQ(buffer, printed);
        }
    }
    char small[4];
    EXPECT_EQ(DXFFormatReal(12.5, 6, small, sizeof small), 3);
    EXPECT_STREQ(small, "12.");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace plexa
