// Pixel images: BMP layout and round trips, corrupted BMPs, rotations and flips, comparison,
// pixel access, attachment to off-screen windows, drawing through the pixels procedure, and
// images read from picture files.
#include "graphics/pixels.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/bmp.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/tests/pixels_testwindow.h"
#include "platform/draw_context.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::Hex;

using test::HandleStream;

struct ImageDeleter {
    void operator()(VXPixels* image) const { VXDestroyPixelImage(image); }
};
using Image = std::unique_ptr<VXPixels, ImageDeleter>;

uint32_t Px(const VXPixels* image, uint32_t x, uint32_t y) {
    const uint8_t* row = image->bits + size_t(y) * image->rowBytes;
    if (image->depth == 8) return row[x];
    uint32_t word;
    std::memcpy(&word, row + size_t(x) * 4, 4);
    return word;
}

void SetPx(VXPixels* image, uint32_t x, uint32_t y, uint32_t value) {
    uint8_t* row = image->bits + size_t(y) * image->rowBytes;
    if (image->depth == 8) row[x] = uint8_t(value);
    else std::memcpy(row + size_t(x) * 4, &value, 4);
}

// An image from rows of pixel values.
Image Make(bool colour, const std::vector<std::vector<uint32_t>>& rows) {
    Image image(VXCreateEmptyPixelImage(int32_t(rows[0].size()), int32_t(rows.size()), colour));
    for (uint32_t y = 0; y < rows.size(); y++)
        for (uint32_t x = 0; x < rows[y].size(); x++) SetPx(image.get(), x, y, rows[y][x]);
    return image;
}

std::vector<std::vector<uint32_t>> Rows(const VXPixels* image) {
    std::vector<std::vector<uint32_t>> rows(image->height);
    for (uint32_t y = 0; y < image->height; y++)
        for (uint32_t x = 0; x < image->width; x++) rows[y].push_back(Px(image, x, y));
    return rows;
}

std::string Write(const VXPixels* image, bool fileHeader, int32_t dpiH = 0, int32_t dpiV = 0) {
    HandleStream out;
    EXPECT_EQ(VXWriteBMP(out.stream, fileHeader, image, dpiH, dpiV), 0);
    return out.bytes();
}

OSStatus Read(const std::string& bytes, bool fileHeader, Image* image, Point* resolution = nullptr,
             bool swapping = false) {
    HandleStream in(bytes);
    EnableStreamReadByteSwap(in.stream, swapping);
    VXPixels* read = nullptr;
    const OSStatus result = VXReadBMP(in.stream, fileHeader, 0, resolution, &read);
    image->reset(read);
    return result;
}

class PixelsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(status::kNoErr, InitMemoryManager(-1)); }
};

TEST_F(PixelsTest, NewImagesAndRowBytes) {
    struct Case {
        int32_t width, height, colour;
        uint32_t rowBytes, fill;
    };
    for (const Case& c : {Case{10, 3, 0, 12, 0xFF}, Case{3, 2, 1, 12, 0}, Case{1, 1, 0, 4, 0xFF},
                          Case{65535, 1, 1, 262140, 0}}) {
        SCOPED_TRACE(c.width);
        Image image(VXCreateEmptyPixelImage(c.width, c.height, c.colour));
        ASSERT_TRUE(image);
        EXPECT_EQ(VXGetPixelImageRowBytes(image.get()), c.rowBytes);
        EXPECT_EQ(image->depth, c.colour ? 32 : 8);
        EXPECT_EQ(Px(image.get(), uint32_t(c.width - 1), uint32_t(c.height - 1)), c.fill);
    }
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-1, 5}, {65536, 1}, {65535, 65535}})
        EXPECT_EQ(VXCreateEmptyPixelImage(w, h, 1), nullptr) << w << "x" << h;
}

// The 2 x 2 fixtures: the grey image's rows are 1-bit, padded to 2 bytes, bottom row first.
TEST_F(PixelsTest, BmpLayoutOfTwoByTwoImages) {
    Image grey = Make(false, {{0, 255}, {200, 10}});
    EXPECT_EQ(Write(grey.get(), false, 72, 72),
              Hex("28000000 02000000 02000000 0100 0100 00000000 04000000 130B0000 130B0000"
                  " 00000000 00000000 00000000 FFFFFF00 8000 4000"));
    Image colour = Make(true, {{0xFF112233, 0xFF445566}, {0xFF778899, 0xFFAABBCC}});
    EXPECT_EQ(Write(colour.get(), true),
              Hex("424D 46000000 00000000 36000000"
                  " 28000000 02000000 02000000 0100 1800 00000000 10000000 00000000 00000000"
                  " 00000000 00000000 998877CCBBAA0000 3322116655440000"));
}

TEST_F(PixelsTest, GreyTenByThreeIsFiftyFourBytes) {
    Image image(VXCreateEmptyPixelImage(10, 3, 0));
    SetPx(image.get(), 9, 0, 0);
    const std::string bytes = Write(image.get(), false);
    ASSERT_EQ(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(20, 4), Hex("06000000"));
    EXPECT_EQ(bytes.substr(48), Hex("FFC0 FFC0 FF80"));  // the top row, last, lacks its last pixel
}

TEST_F(PixelsTest, BmpRoundTrips) {
    std::mt19937 random(plexa::test::TestSeed());
    for (bool colour : {false, true}) {
        for (int32_t width : {1, 2, 7, 10, 15, 16, 17, 33}) {
            for (bool fileHeader : {false, true}) {
                SCOPED_TRACE(testing::Message() << colour << " " << width << " " << fileHeader);
                Image image(VXCreateEmptyPixelImage(width, 3, colour));
                for (uint32_t y = 0; y < 3; y++)
                    for (uint32_t x = 0; x < uint32_t(width); x++)
                        SetPx(image.get(), x, y,
                              colour ? 0xFF000000u | (random() & 0xFFFFFF) : (random() & 1) * 255);
                // The picture is little-endian whatever order the stream swaps words from.
                for (bool swapping : {false, true}) {
                    Image back;
                    Point resolution{};
                    ASSERT_EQ(Read(Write(image.get(), fileHeader, 300, 150), fileHeader, &back,
                                   &resolution, swapping), 0);
                    EXPECT_EQ(VXComparePixelImages(image.get(), back.get()), 0);
                    EXPECT_EQ(resolution.h, 300);
                    EXPECT_EQ(resolution.v, 150);
                }
            }
        }
    }
}

TEST_F(PixelsTest, WrittenPixelsAreOpaqueOrThresholdedWhenReadBack) {
    Image colour = Make(true, {{0x80402010, 0x00000000}});
    Image back;
    ASSERT_EQ(Read(Write(colour.get(), false), false, &back), 0);
    EXPECT_EQ(Rows(back.get()), (std::vector<std::vector<uint32_t>>{{0xFF402010, 0xFF000000}}));
    Image grey = Make(false, {{127, 128, 0, 255}});
    ASSERT_EQ(Read(Write(grey.get(), false), false, &back), 0);
    EXPECT_EQ(Rows(back.get()), (std::vector<std::vector<uint32_t>>{{0, 255, 0, 255}}));
}

// Stored forms that the writer does not make: top-down rows, palettes, 32-bit rows, a gap
// before the rows.
TEST_F(PixelsTest, ReadsOtherStoredForms) {
    const char* info = "28000000 02000000";
    struct Case {
        const char* name;
        std::string bytes;
        bool fileHeader;
        std::vector<std::vector<uint32_t>> rows;
    };
    const Case cases[] = {
        {"24-bit top-down", Hex(info) + Hex("FEFFFFFF 0100 1800 00000000 00000000 00000000 00000000"
                                            " 00000000 00000000 010203040506 0000"
                                            " 0708090A0B0C 0000"),
         false, {{0xFF030201, 0xFF060504}, {0xFF090807, 0xFF0C0B0A}}},
        {"8-bit palette", Hex(info) + Hex("01000000 0100 0800 00000000 00000000 00000000 00000000"
                                          " 02000000 00000000 30201000 60504000 0105 0000"),
         false, {{0xFF405060, 0xFF000000}}},
        {"32-bit bottom-up", Hex(info) + Hex("02000000 0100 2000 00000000 00000000 00000000 00000000"
                                             " 00000000 00000000 01020300 04050600 0708097F 0A0B0CFF"),
         false, {{0xFF090807, 0xFF0C0B0A}, {0xFF030201, 0xFF060504}}},
        {"32-bit top-down", Hex(info) + Hex("FEFFFFFF 0100 2000 00000000 00000000 00000000 00000000"
                                            " 00000000 00000000 01020300 04050600 0708097F 0A0B0CFF"),
         false, {{0xFF030201, 0xFF060504}, {0xFF090807, 0xFF0C0B0A}}},
        {"gap before the rows", Hex("424D 00000000 00000000 3A000000") + Hex(info) +
                                    Hex("01000000 0100 1800 00000000 00000000 00000000 00000000"
                                        " 00000000 00000000 EEEEEEEE 010203040506 0000"),
         true, {{0xFF030201, 0xFF060504}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image image;
        ASSERT_EQ(Read(c.bytes, c.fileHeader, &image), 0);
        EXPECT_EQ(image->depth, 32);
        EXPECT_EQ(Rows(image.get()), c.rows);
    }
}

TEST_F(PixelsTest, ResolutionFromPixelsPerMetre) {
    Image image = Make(false, {{0}});
    std::string bytes = Write(image.get(), false);
    std::memcpy(&bytes[24], Hex("232E0000").data(), 4);  // 11811
    std::memcpy(&bytes[28], Hex("130B0000").data(), 4);  // 2835
    Image back;
    Point resolution{};
    ASSERT_EQ(Read(bytes, false, &back, &resolution), 0);
    EXPECT_EQ(resolution.h, 300);
    EXPECT_EQ(resolution.v, 72);
}

TEST_F(PixelsTest, CorruptHeadersFailWithAStatus) {
    Image image = Make(true, {{0xFF000000, 0xFFFFFFFF}, {0xFF000000, 0xFFFFFFFF}});
    const std::string good = Write(image.get(), true);
    auto patch = [](std::string bytes, size_t offset, const char* hex) {
        const std::string with = Hex(hex);
        bytes.replace(offset, with.size(), with);
        return bytes;
    };
    auto with = [&](size_t offset, const char* hex) { return patch(good, offset, hex); };
    // No file or image size to contradict the rows.
    const std::string sizeless = patch(patch(good, 2, "00000000"), 34, "00000000");
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus expect;
    };
    const Case cases[] = {
        {"not BM", with(0, "424E"), status::kUnknownFileKind},
        {"header size 12", with(14, "0C000000"), status::kUnknownFileKind},
        {"header longer than the file", with(14, "00010000"), status::kEndOfFile},
        {"width 0", with(18, "00000000"), status::kUnknownFileKind},
        {"width -2", with(18, "FEFFFFFF"), status::kUnknownFileKind},
        {"width 65536", with(18, "00000100"), status::kUnknownFileKind},
        {"height 0", with(22, "00000000"), status::kUnknownFileKind},
        {"height INT_MIN", with(22, "00000080"), status::kUnknownFileKind},
        {"planes 2", with(26, "0200"), status::kUnknownFileKind},
        {"bits 2", with(28, "0200"), status::kUnknownFileKind},
        {"bits 0", with(28, "0000"), status::kUnknownFileKind},
        {"compressed", with(30, "01000000"), status::kUnknownFileKind},
        {"image size too small", with(34, "08000000"), status::kUnknownFileKind},
        {"palette longer than the file", with(46, "FFFFFFFF"), status::kEndOfFile},
        {"data offset inside the header", with(10, "20000000"), status::kUnknownFileKind},
        {"data offset past the end", patch(sizeless, 10, "FF000000"), status::kEndOfFile},
        {"data offset beyond the file size", with(10, "FF000000"), status::kUnknownFileKind},
        {"file size short of the rows", with(2, "40000000"), status::kUnknownFileKind},
        {"rows beyond the file", patch(sizeless, 22, "FFFF0000"), status::kEndOfFile},
        {"truncated row", good.substr(0, good.size() - 1), status::kEndOfFile},
        {"truncated header", good.substr(0, 30), status::kEndOfFile},
        {"empty", std::string(), status::kEndOfFile},
    };
    // In a pool with a small ceiling: an image made before its rows were checked against the
    // stream runs into it, though the read would fail either way.
    test::CappedPool capped(128 * 1024);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image out;
        Point resolution{1, 1};
        capped.clear();
        EXPECT_EQ(Read(c.bytes, true, &out, &resolution), c.expect);
        EXPECT_FALSE(capped.hitCeiling());
        EXPECT_FALSE(out);
    }
    Image out;
    EXPECT_EQ(Read(good, true, &out), 0);
    out.reset();
}

// Mutated and truncated pictures end with a status or a sound image, never a crash or leak.
TEST_F(PixelsTest, FuzzedBmpsEndWithAStatus) {
    Image grey = Make(false, {{0, 255, 0, 255, 0, 255, 0, 255, 0, 255}, {255, 0, 255, 0, 255, 0, 255, 0, 255, 0}});
    Image colour = Make(true, {{0xFF112233, 0xFF445566, 0xFF778899}, {0xFF000000, 0xFFFFFFFF, 0xFF808080}});
    const std::string seeds[] = {
        Write(grey.get(), true), Write(grey.get(), false), Write(colour.get(), true),
        Write(colour.get(), false),
        Hex("28000000 02000000 FFFFFFFF 0100 0800 00000000 00000000 00000000 00000000"
            " 02000000 00000000 30201000 60504000 0105 0000"),
    };
    std::mt19937 random(plexa::test::TestSeed());
    const uint64_t rounds = plexa::test::StressCount(20000);
    uint64_t read = 0;
    // An image is made only for rows the input holds: never more than a small ceiling.
    test::CappedPool capped(128 * 1024);
    for (uint64_t i = 0; i < rounds; i++) {
        const size_t which = random() % std::size(seeds);
        std::string bytes = seeds[which];
        const int changes = 1 + int(random() % 4);
        for (int k = 0; k < changes; k++) {
            const size_t at = (random() % 2) ? random() % 64 : random() % bytes.size();
            if (at < bytes.size()) bytes[at] = char(random());
        }
        if (random() % 4 == 0) bytes.resize(random() % (bytes.size() + 1));
        Image image;
        Point resolution{};
        const OSStatus result = Read(bytes, which < 4 && which % 2 == 0, &image, &resolution);
        ASSERT_FALSE(capped.hitCeiling()) << i;
        if (result == 0) {
            ASSERT_TRUE(image);
            EXPECT_GE(image->width, 1);
            EXPECT_GE(image->height, 1);
            EXPECT_GE(resolution.h, 0);
            read++;
        } else {
            EXPECT_FALSE(image);
        }
    }
    EXPECT_GT(read, 0u);
}

OSStatus FailingWrite(StreamRecord*, const void*, int32_t) { return status::kPermission; }

TEST_F(PixelsTest, WriteFailuresAreReturned) {
    Image image = Make(false, {{0, 255}});
    HandleStream out;
    out.stream->writeProc = FailingWrite;
    EXPECT_EQ(VXWriteBMP(out.stream, true, image.get(), 0, 0), status::kPermission);
    EXPECT_EQ(VXWriteBMP(out.stream, true, nullptr, 0, 0), status::kParamErr);
}

using Grid = std::vector<std::vector<uint32_t>>;

TEST_F(PixelsTest, RotationsAndFlips) {
    const Grid source = {{1, 2, 3}, {4, 5, 6}};
    struct Case {
        const char* name;
        VXPixels* (*op)(const VXPixels*);
        Grid expect;
    };
    const Case cases[] = {
        {"rotate right", VXRotatePixelImageRight, {{4, 1}, {5, 2}, {6, 3}}},
        {"rotate left", VXRotatePixelImageLeft, {{3, 6}, {2, 5}, {1, 4}}},
        {"rotate 180", VXRotatePixelImage180, {{6, 5, 4}, {3, 2, 1}}},
        {"flip horizontal", VXFlipPixelImageHorizontal, {{3, 2, 1}, {6, 5, 4}}},
        {"flip vertical", VXFlipPixelImageVertical, {{4, 5, 6}, {1, 2, 3}}},
    };
    for (bool colour : {false, true}) {
        auto word = [&](uint32_t v) { return colour ? 0xFF000000u | (v * 0x010101u) : v; };
        Grid in = source;
        for (auto& row : in)
            for (auto& v : row) v = word(v);
        Image image = Make(colour, in);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.name << " colour " << colour);
            Grid expect = c.expect;
            for (auto& row : expect)
                for (auto& v : row) v = word(v);
            Image out(c.op(image.get()));
            ASSERT_TRUE(out);
            EXPECT_EQ(out->depth, image->depth);
            EXPECT_EQ(Rows(out.get()), expect);
        }
        EXPECT_EQ(Rows(image.get()), in);
    }
}

TEST_F(PixelsTest, TransformCodes) {
    Image image = Make(false, {{1, 2, 3}, {4, 5, 6}});
    const Grid expect[8] = {
        {},
        {{4, 1}, {5, 2}, {6, 3}},
        {{6, 5, 4}, {3, 2, 1}},
        {{3, 6}, {2, 5}, {1, 4}},
        {{3, 2, 1}, {6, 5, 4}},
        {{1, 4}, {2, 5}, {3, 6}},  // rotate left, then flip vertical
        {{4, 5, 6}, {1, 2, 3}},
        {{6, 3}, {5, 2}, {4, 1}},  // rotate right, then flip vertical
    };
    EXPECT_EQ(VXTransformPixelImage(image.get(), 0), nullptr);
    EXPECT_EQ(VXTransformPixelImage(image.get(), 8), nullptr);
    for (uint32_t code = 1; code < 8; code++) {
        SCOPED_TRACE(code);
        Image out(VXTransformPixelImage(image.get(), code | 0x10));
        ASSERT_TRUE(out);
        EXPECT_EQ(Rows(out.get()), expect[code]);
    }
    Image single = Make(true, {{7, 8}});
    Image out(VXTransformPixelImage(single.get(), 5));
    EXPECT_EQ(Rows(out.get()), (Grid{{7}, {8}}));
}

TEST_F(PixelsTest, Comparison) {
    Image grey(VXCreateEmptyPixelImage(10, 10, 0)), colour(VXCreateEmptyPixelImage(10, 10, 1));
    EXPECT_EQ(VXComparePixelImages(grey.get(), colour.get()), -24);
    EXPECT_EQ(VXComparePixelImages(grey.get(), grey.get()), 0);
    Image tall(VXCreateEmptyPixelImage(10, 12, 0)), wide(VXCreateEmptyPixelImage(13, 10, 0));
    EXPECT_EQ(VXComparePixelImages(grey.get(), tall.get()), -2);
    EXPECT_EQ(VXComparePixelImages(wide.get(), grey.get()), 3);
    // Padding bytes do not count; pixels compare as A, R, G, B.
    Image a = Make(true, {{0xFF000001, 0x00FFFFFF}}), b = Make(true, {{0xFF000001, 0x00FFFFFF}});
    Image g1 = Make(false, {{1, 2, 3}}), g2 = Make(false, {{1, 2, 3}});
    g2->bits[3] = 99;
    EXPECT_EQ(VXComparePixelImages(g1.get(), g2.get()), 0);
    EXPECT_EQ(VXComparePixelImages(a.get(), b.get()), 0);
    SetPx(b.get(), 1, 0, 0x01000000);
    EXPECT_LT(VXComparePixelImages(a.get(), b.get()), 0);
    EXPECT_GT(VXComparePixelImages(b.get(), a.get()), 0);
}

TEST_F(PixelsTest, PixelBits) {
    Image image = Make(false, {{1, 2, 3}, {4, 5, 6}});
    EXPECT_EQ(VXGetPixelImageBits(nullptr, image.get(), false), image->bits);
    uint8_t* copy = VXGetPixelImageBits(nullptr, image.get(), true);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(SizeOfPtr(copy), 8u);
    EXPECT_EQ(std::memcmp(copy, image->bits, 8), 0);
    copy[0] = 9;
    VXSetPixelImageBits(image.get(), copy, 8);
    EXPECT_EQ(Px(image.get(), 0, 0), 9u);
    const uint8_t big[9] = {7, 7, 7, 7, 7, 7, 7, 7, 7};
    VXSetPixelImageBits(image.get(), big, 9);
    EXPECT_EQ(Px(image.get(), 0, 0), 9u);
    MemFreePtr(copy);
    EXPECT_EQ(VXGetPixelImageBits(nullptr, nullptr, true), nullptr);
}

int gClipboardWidth = 0;
std::string gClipboardText;

TEST_F(PixelsTest, ClipboardGetsThePictureAndItsText) {
    Image image = Make(true, {{0xFF000000, 0xFFFFFFFF, 0xFF000000}});
    VXWriteImageToClipboard(image.get());  // no hook: nothing
    VXPixelsHooks hooks;
    hooks.writeImageToClipboard = [](const DrawImage& picture, const char* text) {
        gClipboardWidth = picture.width();
        gClipboardText = text ? text : "(none)";
    };
    VXSetPixelsHooks(hooks);
    VXWriteImageToClipboard(image.get());
    EXPECT_EQ(gClipboardWidth, 3);
    EXPECT_EQ(gClipboardText, "(none)");
    VXWriteImageToClipboard(image.get(), "R1\n");
    EXPECT_EQ(gClipboardText, "R1\n");
    VXSetPixelsHooks({});
}

class PixelWindowTest : public PixelsTest {
protected:
    void SetUp() override {
        PixelsTest::SetUp();
        plexa::test::InstallTestOffScreenWindows();
        saved_ = VXGetCurrentGrafState();
    }
    void TearDown() override { VXSetCurrentGrafState(saved_); }
    VXGrafState* saved_ = nullptr;
};

TEST_F(PixelWindowTest, AnAttachedImageIsTheWindowsDrawingSurface) {
    Image image(VXCreateEmptyPixelImage(20, 20, 0));
    VXGrafState* first = plexa::test::NewTestOffScreenWindow(image.get());
    VXGrafState* second = plexa::test::NewTestOffScreenWindow(nullptr);
    EXPECT_EQ(VXGetWindowImage(first), image.get());
    EXPECT_EQ(image->owner, first);

    VXSetCurrentGrafState(first);
    VXSetOrigin(first, 10, 10);
    const Rect r = {12, 12, 15, 15};  // v first: pixels 2..4 after the origin
    VXRectDispatch(&r, 1);
    EXPECT_EQ(Px(image.get(), 3, 3), 0u);
    EXPECT_EQ(Px(image.get(), 5, 5), 255u);

    // Attaching to a second window detaches from the first.
    EXPECT_EQ(VXSetWindowImage(second, image.get()), nullptr);
    EXPECT_EQ(VXGetWindowImage(first), nullptr);
    EXPECT_EQ(VXGetWindowImage(second), image.get());
    VXSetCurrentGrafState(second);
    const Rect s = {0, 0, 1, 1};
    VXRectDispatch(&s, 1);
    EXPECT_EQ(Px(image.get(), 0, 0), 0u);

    // Other kinds of window have no image.
    VXGrafState onScreen;
    EXPECT_EQ(VXSetWindowImage(&onScreen, image.get()), nullptr);
    EXPECT_EQ(VXGetWindowImage(&onScreen), nullptr);
    EXPECT_EQ(image->owner, second);

    // Destroying an attached image detaches it.
    image.reset();
    EXPECT_EQ(VXGetWindowImage(second), nullptr);
    VXSetCurrentGrafState(nullptr);
    plexa::test::FreeTestOffScreenWindow(first);
    plexa::test::FreeTestOffScreenWindow(second);
}

TEST_F(PixelWindowTest, PixelsProcedureDrawsImagesAndMasks) {
    Image source = Make(false, {{255, 255}, {255, 0}});
    struct Case {
        int16_t mode;
        uint32_t dark, light;
    };
    for (const Case& c : {Case{0, 0xFF000000, 0xFFFFFFFF}, Case{11, 0xFF000000, 0},
                          Case{10, 0xFF000000, 0xFFFFFFFF}}) {
        SCOPED_TRACE(c.mode);
        Image target(VXCreateEmptyPixelImage(4, 4, 1));
        VXGrafState* window = plexa::test::NewTestOffScreenWindow(target.get());
        const Rect dest = {0, 0, 2, 2};
        VXDrawPixels(source.get(), nullptr, &dest, c.mode);
        EXPECT_EQ(Px(target.get(), 1, 1), c.dark);
        EXPECT_EQ(Px(target.get(), 0, 0), c.light);
        EXPECT_EQ(Px(target.get(), 3, 3), 0u);
        VXSetCurrentGrafState(nullptr);
        plexa::test::FreeTestOffScreenWindow(window);
    }
}

TEST_F(PixelWindowTest, DrawingAnImageOfAnotherWindowKeepsItAttached) {
    Image source = Make(false, {{0, 0}, {0, 0}});
    Image target(VXCreateEmptyPixelImage(4, 4, 0));
    VXGrafState* owner = plexa::test::NewTestOffScreenWindow(source.get());
    VXGrafState* window = plexa::test::NewTestOffScreenWindow(target.get());
    const Rect source1 = {0, 0, 1, 1}, dest = {2, 2, 4, 4};  // part of the image, scaled up
    VXDrawPixels(source.get(), &source1, &dest, 0);
    EXPECT_EQ(Px(target.get(), 3, 3), 0u);
    EXPECT_EQ(Px(target.get(), 1, 1), 255u);
    EXPECT_EQ(VXGetWindowImage(owner), source.get());

    // A window's own image is not drawn into itself; the other window's image is, and stays
    // attached to it.
    VXSetCurrentGrafState(owner);
    const Rect own = {0, 0, 2, 2};
    VXDrawPixels(source.get(), nullptr, &own, 0);
    EXPECT_EQ(VXGetWindowImage(owner), source.get());
    VXDrawPixels(target.get(), nullptr, &own, 0);
    EXPECT_EQ(VXGetWindowImage(window), target.get());
    EXPECT_EQ(Px(source.get(), 0, 0), 255u);
    VXSetCurrentGrafState(nullptr);
    plexa::test::FreeTestOffScreenWindow(owner);
    plexa::test::FreeTestOffScreenWindow(window);
}

TEST_F(PixelWindowTest, DrawnPicturesFollowTheImageAndTheWindowScale) {
    Image source = Make(false, {{0, 0}, {0, 0}});
    Image target(VXCreateEmptyPixelImage(8, 8, 0));
    VXGrafState* owner = plexa::test::NewTestOffScreenWindow(source.get());
    VXGrafState* window = plexa::test::NewTestOffScreenWindow(target.get());
    SetWindowScaleFactors(&window->geometry, 2 * kFixed24One, 2 * kFixed24One);
    const Rect dest = {0, 0, 2, 2};
    VXDrawPixels(source.get(), nullptr, &dest, 0);
    EXPECT_EQ(Px(target.get(), 3, 3), 0u);  // scaled to 4 x 4
    EXPECT_EQ(Px(target.get(), 4, 4), 255u);

    // Drawing into the image through its window shows in the next drawing of it.
    VXSetCurrentGrafState(owner);
    const Rect all = {0, 0, 2, 2};
    VXEraseRect(&all);
    VXSetCurrentGrafState(window);
    VXDrawPixels(source.get(), nullptr, &dest, 0);
    EXPECT_EQ(Px(target.get(), 3, 3), 255u);
    // So do new bits set into it.
    const uint8_t black[8] = {};
    VXSetPixelImageBits(source.get(), black, sizeof black);
    VXDrawPixels(source.get(), nullptr, &dest, 11);
    EXPECT_EQ(Px(target.get(), 3, 3), 0u);
    VXSetCurrentGrafState(nullptr);
    plexa::test::FreeTestOffScreenWindow(owner);
    plexa::test::FreeTestOffScreenWindow(window);
}

bool WritePicture(const std::string& path, const uint8_t* pixels, int width, int height,
                  int rowBytes, DrawPixelFormat format) {
    auto picture = DrawImage::FromPixels(pixels, width, height, rowBytes, format);
    return picture && picture->WritePNG(path);
}

TEST_F(PixelsTest, ImagesFromPictureFiles) {
    plexa::test::TempDir dir;
    const uint32_t argb[2] = {0xFFFF0000, 0x80404040};
    ASSERT_TRUE(WritePicture(dir.file("Tool_3.png"), reinterpret_cast<const uint8_t*>(argb), 2, 1,
                             8, DrawPixelFormat::kARGB32));
    const uint8_t grey[4] = {0, 200, 0, 0};
    ASSERT_TRUE(WritePicture(dir.file("Grey.png"), grey, 2, 1, 4, DrawPixelFormat::kGrey8));

    Point resolution{};
    Image colour(VXCreatePixelImageFromURL(dir.file("Tool_3.png").c_str(), false, &resolution));
    ASSERT_TRUE(colour);
    EXPECT_EQ(colour->depth, 32);
    EXPECT_EQ(Rows(colour.get()), (Grid{{0xFFFF0000, 0x80404040}}));
    EXPECT_GT(resolution.h, 0);

    Image dimmed(VXCreatePixelImageFromURL(dir.file("Tool_3.png").c_str(), true, nullptr));
    ASSERT_TRUE(dimmed);
    EXPECT_EQ(Px(dimmed.get(), 0, 0), 0xBF600000u);

    Image fromGrey(VXLoadImageResourceFrom(dir.path(), "Grey", "", -1));
    ASSERT_TRUE(fromGrey);
    EXPECT_EQ(fromGrey->depth, 8);
    EXPECT_EQ(Rows(fromGrey.get()), (Grid{{0, 200}}));

    Image resource(VXLoadImageResourceFrom(dir.path(), "Tool", nullptr, 3));
    ASSERT_TRUE(resource);
    EXPECT_EQ(VXComparePixelImages(resource.get(), colour.get()), 0);
    EXPECT_EQ(VXResourceImagePath("/r", "Icon", 7, "ico"), "/r/Icon_7.ico");

    resolution = {5, 5};
    EXPECT_EQ(VXCreatePixelImageFromURL(dir.file("missing.png").c_str(), false, &resolution), nullptr);
    EXPECT_EQ(resolution.h, 0);
    ASSERT_TRUE(plexa::test::WriteFile(dir.file("junk.png"), "not a picture"));
    EXPECT_EQ(VXCreatePixelImageFromURL(dir.file("junk.png").c_str(), false, nullptr), nullptr);
    EXPECT_EQ(VXLoadImageResourceFrom(dir.path(), "Tool", "", 4), nullptr);
}

}  // namespace
}  // namespace plexa
