// Two ARGB surfaces over the same background, drawn alike: one as it is, the other clipped by two
// rectangles that together cover it, which makes the context leave every operation to the painter
// (no stamps, no fills straight into the pixels). Comparing them shows what the shortcuts change.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/draw_context.h"

namespace plexa::test {

struct TwinSurfaces {
    int width, height;
    std::vector<uint32_t> plain, painter;
    std::unique_ptr<DrawContext> plainContext, painterContext;

    // Every pixel of the background is the first colour but every period-th, the second.
    TwinSurfaces(int w, int h, uint32_t colour, uint32_t every, size_t period)
        : width(w), height(h), plain(size_t(w * h)), painter(size_t(w * h)) {
        for (size_t i = 0; i < plain.size(); i++) plain[i] = painter[i] = i % period ? colour : every;
        plainContext = Over(plain);
        painterContext = Over(painter);
        const DrawRectF halves[2] = {{0, 0, w / 2.0, double(h)}, {w / 2.0, 0, w / 2.0, double(h)}};
        painterContext->ClipToRects(halves, 2);
    }

    // Runs draw on both contexts.
    template <class Draw>
    void Both(Draw draw) {
        draw(*plainContext);
        draw(*painterContext);
    }

    size_t Differing() const {
        size_t n = 0;
        for (size_t i = 0; i < plain.size(); i++) n += plain[i] != painter[i];
        return n;
    }
    // The largest difference of one channel of one pixel.
    int Worst() const {
        int worst = 0;
        for (size_t i = 0; i < plain.size(); i++)
            for (int shift = 0; shift < 32; shift += 8)
                worst = std::max(worst, std::abs(int((plain[i] >> shift) & 255) - int((painter[i] >> shift) & 255)));
        return worst;
    }

private:
    std::unique_ptr<DrawContext> Over(std::vector<uint32_t>& pixels) const {
        return DrawContext::ForPixels(reinterpret_cast<uint8_t*>(pixels.data()), width, height, width * 4,
                                      DrawPixelFormat::kARGB32);
    }
};

}  // namespace plexa::test
