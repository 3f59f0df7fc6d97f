// The off-screen surface of the sample tools: a white ARGB bitmap standing for a window, drawn
// by a procedure through the renderer and written as a PNG.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "graphics/render.h"
#include "platform/draw_context.h"

namespace plexa::tools {

struct SampleWindow {
    QZBitmap bitmap;
};

inline int32_t SampleKind(void*) { return kQZWindowOffScreen; }
inline bool SampleImage(void* w, QZBitmap* out) {
    *out = static_cast<SampleWindow*>(w)->bitmap;
    return true;
}

// Returns the program's exit status: 0 when the PNG was written.
inline int DrawSampleToPNG(const char* tool, int w, int h, void (*draw)(QZPort*), const char* path) {
    std::vector<uint32_t> pixels(size_t(w) * size_t(h), 0xFFFFFFFF);
    SampleWindow window{{reinterpret_cast<uint8_t*>(pixels.data()), w, h, w * 4, DrawPixelFormat::kARGB32}};
    QZWindowHooks hooks;
    hooks.kind = SampleKind;
    hooks.image = SampleImage;
    QZSetWindowHooks(hooks);
    QZPort* port = QZPortAlloc(&window);
    if (!port || !QZInstallContext(port)) {
        std::fprintf(stderr, "%s: no drawing context\n", tool);
        return 1;
    }
    QZSetFocus(port, -1);
    draw(port);
    QZReleaseContext(port);
    QZPortFree(port);
    auto image = DrawImage::FromPixels(reinterpret_cast<const uint8_t*>(pixels.data()), w, h, w * 4,
                                       DrawPixelFormat::kARGB32);
    if (!image || !image->WritePNG(path)) {
        std::fprintf(stderr, "%s: cannot write %s\n", tool, path);
        return 1;
    }
    return 0;
}

}  // namespace plexa::tools
