// Display lists played again from the pixels their first play laid down: the same pixels and
// the same state left behind as playing each anew, at 100 % and at a quarter, and a list changed
// in place is played anew.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/windowgeometry.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

constexpr int kWidth = 480, kHeight = 320;

// An off-screen window of premultiplied pixels over a background that shows every blend.
class PixelWindow {
public:
    explicit PixelWindow(int32_t scale) : pixels_(size_t(kWidth) * kHeight) {
        for (int y = 0; y < kHeight; y++)
            for (int x = 0; x < kWidth; x++)
                pixels_[size_t(y * kWidth + x)] =
                    0xFF000000u | uint32_t((x * 7) & 255) << 16 | uint32_t((y * 5) & 255) << 8 | uint32_t((x + y) * 3 & 255);
        bitmap_ = {reinterpret_cast<uint8_t*>(pixels_.data()), kWidth, kHeight, kWidth * 4, DrawPixelFormat::kARGB32};
        state_ = VXNewOffScreenState(&bitmap_);
        if (state_ && QZInstallContext(state_->port)) QZSetFocus(state_->port, -1);
        if (state_ && scale != kFixed24One) SetWindowScaleFactors(&state_->geometry, scale, scale);
    }
    ~PixelWindow() { VXDisposeOffScreenState(state_); }
    PixelWindow(const PixelWindow&) = delete;
    PixelWindow& operator=(const PixelWindow&) = delete;

    VXGrafState* state() const { return state_; }
    const std::vector<uint32_t>& pixels() const { return pixels_; }

private:
    std::vector<uint32_t> pixels_;
    QZBitmap bitmap_{};
    VXGrafState* state_ = nullptr;
};

// What a play leaves behind in a window.
std::string StateOf(VXGrafState* window) {
    VXGrafStateScope scope(window);
    Point pen;
    VXGetPenPosition(&pen);
    char font[256] = {};
    GetStyleFont(window->textStyle, font);
    return std::to_string(pen.h) + "," + std::to_string(pen.v) + " pen " + std::to_string(VXGetPenWidth()) +
           " fore " + std::to_string(VXGetForeColor()) + " back " + std::to_string(VXGetBackColor()) + " " + font +
           " " + std::to_string(window->textStyle->size) + " mode " + std::to_string(window->drawMode);
}

class KeptLists : public ::testing::Test {
protected:
    void SetUp() override {
        VXInitGraf();
        VXForgetKeptDisplayLists();
    }
    void TearDown() override {
        for (DisplayList list : lists_) MemFree(list);
        VXForgetKeptDisplayLists();
    }

    // A symbol-like list: a frame, pins, a bubble, a filled box in a colour, a wider pen, two labels.
    DisplayList Record(VXGrafState* window, int i) {
        VXGrafStateScope scope(window);
        EXPECT_TRUE(VXOpenDisplayList(window, nullptr, {0, 0}, 0));
        const Rect body{0, 10, 30, 50}, bubble{12, 50, 18, 56}, box{4, 14, 12, 26};
        VXFrameRect(&body);
        for (int16_t v : {8, 22}) {
            VXMoveTo(0, v);
            VXLineTo(10, v);
        }
        VXFrameOval(&bubble);
        QZSetColor(nullptr, 0x00C02040, false);
        VXRectDispatch(&box, 1);
        VXSetPenWidth(2);
        VXMoveTo(56, 15);
        VXLineTo(66, 15);
        VXSetTextFont("DejaVu Sans");
        VXSetTextSize(uint16_t(9 + i % 3));
        const std::string label = "U" + std::to_string(i);
        VXMoveTo(12, -2);
        VXDrawTextWithEncoding(label.data(), int32_t(label.size()), kEncodingUTF8);
        DisplayList list = VXCloseDisplayList(window);
        EXPECT_NE(list, nullptr);
        lists_.push_back(list);
        return list;
    }

    // Plays every list at its places in both windows: `kept` as it comes, `anew` through a copy
    // of the standard procedures (which keeps nothing). The states left behind agree after each.
    void PlayBoth(PixelWindow& kept, PixelWindow& anew, const std::vector<DisplayList>& lists,
                  const std::vector<Point>& places) {
        VXGrafProcsRecord copy{};
        VXSetStdGrafProcs(&copy);
        anew.state()->grafProcs = &copy;
        for (size_t i = 0; i < places.size(); i++) {
            DisplayList list = lists[i % lists.size()];
            EXPECT_EQ(VXPlayDisplayList(kept.state(), list, places[i], 0, nullptr, nullptr), 1);
            EXPECT_EQ(VXPlayDisplayList(anew.state(), list, places[i], 0, nullptr, nullptr), 1);
            EXPECT_EQ(StateOf(kept.state()), StateOf(anew.state())) << "play " << i;
        }
        anew.state()->grafProcs = nullptr;
    }

    static size_t Differing(const PixelWindow& a, const PixelWindow& b) {
        size_t n = 0;
        for (size_t i = 0; i < a.pixels().size(); i++) n += a.pixels()[i] != b.pixels()[i];
        return n;
    }

    std::vector<DisplayList> lists_;
};

TEST_F(KeptLists, KeptPlaysAreThePlaysAnew) {
    for (const int32_t scale : {kFixed24One, kFixed24One / 4}) {
        SCOPED_TRACE(testing::Message() << "scale " << scale);
        PixelWindow kept(scale), anew(scale);
        const std::vector<DisplayList> lists{Record(kept.state(), 1), Record(kept.state(), 2)};
        std::vector<Point> places;
        for (int i = 0; i < 24; i++)
            places.push_back({int16_t(30 + (i / 6) * (scale == kFixed24One ? 60 : 240) + i % 3),
                              int16_t(40 + (i % 6) * (scale == kFixed24One ? 70 : 280) + i % 4)});
        PlayBoth(kept, anew, lists, places);
        EXPECT_GT(VXKeptDisplayListCount(), 0u);
        EXPECT_EQ(Differing(kept, anew), 0u);
        // Played again: now all from kept pixels, still the same.
        PlayBoth(kept, anew, lists, places);
        EXPECT_EQ(Differing(kept, anew), 0u);
        VXForgetKeptDisplayLists();
    }
}

TEST_F(KeptLists, AListChangedInPlaceIsPlayedAnew) {
    PixelWindow kept(kFixed24One), anew(kFixed24One);
    DisplayList first = Record(kept.state(), 1), second = Record(kept.state(), 2);
    ASSERT_EQ(SizeOfHandle(first), SizeOfHandle(second));
    PlayBoth(kept, anew, {first}, {{40, 40}, {120, 60}});
    std::memcpy(*first, *second, SizeOfHandle(first));  // another label, and another text size
    PlayBoth(kept, anew, {first}, {{200, 40}, {40, 200}});
    EXPECT_EQ(Differing(kept, anew), 0u);
}

}  // namespace
}  // namespace plexa
