// Colour values, the brush table in both appearances, the RGB cache and a port's colours.
#include "graphics/colors.h"

#include <gtest/gtest.h>

#include <cmath>

#include "graphics/render.h"

namespace plexa {
namespace {

uint32_t Rgb24(const QZColor& c) {
    uint32_t out = 0xDEADBEEF;
    EXPECT_TRUE(VXGetColorFromNSColor(c, &out));
    return out;
}

TEST(Colors, DecodesBrushesAndRgb) {
    struct Case {
        VXColor value;
        uint16_t brush;
        uint32_t rgb;  // resolved with brushes allowed
        double alpha;
    };
    const Case cases[] = {
        {0x07000000, 7, 0x000000, 1},  {0x0BFFFFFF, 11, 0xFFFFFF, 1}, {0x01000000, 1, 0xFF0000, 1},
        {0x00FF0000, 0, 0xFF0000, 1},  {0x00000000, 0, 0x000000, 1},  {0x1C000000, 28, 0x000000, 0},
        {0x1D000000, 0, 0x000000, 1},  {0xFF123456, 0, 0x123456, 1},  {0x09000000, 9, 0x808080, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.value);
        EXPECT_EQ(VXColorBrush(c.value), c.brush);
        const QZColor color = NSColorWithColor(c.value, true);
        EXPECT_EQ(Rgb24(color), c.rgb);
        EXPECT_EQ(color.alpha, c.alpha);
    }
    // Without brushes the low 24 bits are the colour.
    EXPECT_EQ(Rgb24(NSColorWithColor(0x0BFFFFFF, false)), 0xFFFFFFu);
    EXPECT_EQ(Rgb24(NSColorWithColor(0x07000000, false)), 0x000000u);
    EXPECT_EQ(GetCGColorForBrush(0)->alpha, 0.0);
    EXPECT_EQ(GetCGColorForBrush(40), GetCGColorForBrush(0));
    EXPECT_FALSE(VXGetColorFromNSColor({std::nan(""), 0, 0, 1}, nullptr));
}

TEST(Colors, FifthRgbColourEvictsTheFirstButHoldersKeepIt) {
    QZColorState holder{nullptr, 0, 0x010101, 0};
    QZColorRef first = GetCGColorForColorState(&holder);
    std::weak_ptr<const QZColor> watch = first;
    ASSERT_EQ(Rgb24(*first), 0x010101u);

    QZColorState temp{nullptr, 0, 0x010101, 0};
    EXPECT_EQ(GetCGColorForColorState(&temp), first);  // a hit shares the cached colour

    QZColorState others[4];
    for (uint32_t i = 0; i < 4; i++) {
        others[i] = {nullptr, 0, 0x020202 * (i + 1), 0};
        GetCGColorForColorState(&others[i]);
    }
    temp.color.reset();
    // The cache let the first colour go; the holder still has its own reference.
    EXPECT_EQ(holder.color, first);
    EXPECT_FALSE(watch.expired());
    holder.color.reset();
    first.reset();
    EXPECT_TRUE(watch.expired());

    // A state whose RGB word changed makes or finds a new colour.
    others[0].rgb = 0x0A0B0C;
    EXPECT_EQ(Rgb24(*GetCGColorForColorState(&others[0])), 0x0A0B0Cu);
}

TEST(Colors, BrushesFollowTheAppearance) {
    struct Case {
        int brush;
        uint32_t light, dark;
    };
    const Case cases[] = {{2, 0x008000, 0x00FF00}, {25, 0x000000, 0xFFFFFF},
                          {27, 0xFFFFFF, 0x000000}, {7, 0x000000, 0x000000}};
    VXSetAppearanceSerial(100);
    VXRefreshBrushColors(0);
    for (const Case& c : cases) EXPECT_EQ(Rgb24(*GetCGColorForBrush(c.brush)), c.light) << c.brush;

    // The same serial does nothing; a new one with a dark view rebuilds the brushes.
    VXRefreshBrushColors(1);
    EXPECT_FALSE(VXIsDarkAppearance());
    VXSetAppearanceSerial(101);
    VXRefreshBrushColors(1);
    EXPECT_TRUE(VXIsDarkAppearance());
    for (const Case& c : cases) EXPECT_EQ(Rgb24(*GetCGColorForBrush(c.brush)), c.dark) << c.brush;

    VXSetAppearanceSerial(102);
    VXRefreshBrushColors(0);
    EXPECT_FALSE(VXIsDarkAppearance());
}

TEST(Colors, CurrentPortColours) {
    QZSetCurrentPort(nullptr);
    EXPECT_EQ(VXGetForeColor(), 0x14000000u);
    EXPECT_EQ(VXGetBackColor(), 0x0D000000u);
    EXPECT_EQ(VXGetInvertedBackColor(), 0u);
    EXPECT_EQ(QZSetColor(nullptr, 0x00FF0000, false), nullptr);

    QZPort* port = QZPortAlloc(nullptr);
    QZSetCurrentPort(port);
    EXPECT_EQ(VXGetForeColor(), 0x07000000u);
    EXPECT_EQ(VXGetBackColor(), 0x0BFFFFFFu);
    EXPECT_EQ(VXGetInvertedBackColor(), 0u);  // white inverted
    QZSetColor(nullptr, 0x0C123456, false);
    EXPECT_EQ(VXGetForeColor(), 0x0C000000u);
    QZSetColor(port, 0xFF102030, true);
    EXPECT_EQ(VXGetBackColor(), 0x00102030u);
    EXPECT_EQ(VXGetInvertedBackColor(), 0xEFDFCFu);
    QZPortFree(port);
    EXPECT_EQ(QZGetCurrentPort(), nullptr);
}

}  // namespace
}  // namespace plexa
