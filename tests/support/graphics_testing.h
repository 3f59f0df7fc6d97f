// Test helpers over the graphics layer. Header-only: the test programs that include it link
// the graphics layer.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/memory.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"
#include "platform/text_layout.h"

namespace plexa::test {

// The application object, the memory manager and the text styles for tests that measure or
// draw text; register with ::testing::AddGlobalTestEnvironment(new TextTestEnvironment).
class TextTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        session_ = std::make_unique<TextPlatformSession>();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitStyles();
        VXInitGraf();
    }
    void TearDown() override {
        QZFlushTextCache();
        session_.reset();
    }

private:
    std::unique_ptr<TextPlatformSession> session_;
};

// The pixels of a picture file inside a rectangle (right and bottom outside) that pass a test of
// their red, green and blue: how many, and the box around them (all -1 when none). The count is
// -1 when the file cannot be read as a 32-bit picture.
struct PicturePixels {
    int count = -1;
    int left = -1, top = -1, right = -1, bottom = -1;
};
template <class Test>
PicturePixels FindPicturePixels(const std::string& path, Test&& test, int left = 0, int top = 0,
                                int right = INT_MAX, int bottom = INT_MAX) {
    PicturePixels found;
    VXPixels* picture = VXCreatePixelImageFromURL(path.c_str(), false, nullptr);
    if (!picture || picture->depth != 32) {
        if (picture) VXDestroyPixelImage(picture);
        return found;
    }
    found.count = 0;
    for (int y = std::max(top, 0); y < std::min<int>(bottom, picture->height); ++y)
        for (int x = std::max(left, 0); x < std::min<int>(right, picture->width); ++x) {
            uint32_t word = 0;
            std::memcpy(&word, picture->bits + size_t(y) * picture->rowBytes + 4 * size_t(x), 4);
            if (!test((word >> 16) & 0xFFu, (word >> 8) & 0xFFu, word & 0xFFu)) continue;
            if (found.count++ == 0) found.left = found.right = x, found.top = found.bottom = y;
            found.left = std::min(found.left, x), found.top = std::min(found.top, y);
            found.right = std::max(found.right, x + 1), found.bottom = std::max(found.bottom, y + 1);
        }
    VXDestroyPixelImage(picture);
    return found;
}
template <class Test>
int CountPicturePixels(const std::string& path, Test&& test, int left = 0, int top = 0, int right = INT_MAX,
                       int bottom = INT_MAX) {
    return FindPicturePixels(path, std::forward<Test>(test), left, top, right, bottom).count;
}

// An off-screen window whose image is a white buffer the test owns, with the renderer's port
// focused on it.
struct SurfaceWindow {
    QZBitmap bitmap{};
};
inline int32_t SurfaceKind(void*) { return kQZWindowOffScreen; }
inline bool SurfaceImage(void* w, QZBitmap* out) {
    *out = static_cast<SurfaceWindow*>(w)->bitmap;
    return out->pixels != nullptr;
}

class Surface {
public:
    Surface(int w, int h, DrawPixelFormat format = DrawPixelFormat::kGrey8) : w_(w), h_(h) {
        QZWindowHooks hooks;
        hooks.kind = SurfaceKind;
        hooks.image = SurfaceImage;
        QZSetWindowHooks(hooks);
        const int bytes = format == DrawPixelFormat::kGrey8 ? 1 : 4;
        pixels_.assign(size_t(w * h * bytes), 0xFF);
        window_.bitmap = {pixels_.data(), w, h, w * bytes, format};
        port_ = QZPortAlloc(&window_);
        EXPECT_NE(QZInstallContext(port_), nullptr);
        QZSetFocus(port_, -1);
    }
    ~Surface() {
        QZReleaseContext(port_);
        QZPortFree(port_);
    }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    QZPort* port() { return port_; }
    int w() const { return w_; }
    int h() const { return h_; }
    uint8_t grey(int x, int y) const { return pixels_[size_t(y * w_ + x)]; }
    uint32_t argb(int x, int y) const {
        uint32_t p;
        std::memcpy(&p, &pixels_[size_t((y * w_ + x) * 4)], 4);
        return p;
    }
    bool dark(int x, int y) const { return grey(x, y) < 24; }
    bool white(int x, int y) const { return grey(x, y) > 231; }
    // The bounding box of the ink of a grey surface: left, top, right, bottom (exclusive); all -1
    // when none.
    std::array<int, 4> Ink() const {
        std::array<int, 4> box{w_, h_, -1, -1};
        for (int y = 0; y < h_; y++)
            for (int x = 0; x < w_; x++)
                if (grey(x, y) < 128) {
                    box[0] = std::min(box[0], x), box[1] = std::min(box[1], y);
                    box[2] = std::max(box[2], x + 1), box[3] = std::max(box[3], y + 1);
                }
        if (box[2] < 0) box = {-1, -1, -1, -1};
        return box;
    }

private:
    int w_, h_;
    std::vector<uint8_t> pixels_;
    SurfaceWindow window_;
    QZPort* port_ = nullptr;
};

}  // namespace plexa::test
