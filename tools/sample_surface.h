// The off-screen surface of the sample tools: a white ARGB bitmap standing for a window, drawn
// by a procedure through the renderer and written as a PNG.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "graphics/render.h"
#include "platform/draw_context.h"
#include "tools/tool_support.h"

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
    // The image writer says only whether it wrote: find out first whether the file can be made.
    if (std::FILE* out = std::fopen(path, "wb")) {
        std::fclose(out);
    } else {
        return Fail(tool, path, "the image file cannot be made", StatusFromErrno(errno));
    }
    std::vector<uint32_t> pixels(size_t(w) * size_t(h), 0xFFFFFFFF);
    SampleWindow window{{reinterpret_cast<uint8_t*>(pixels.data()), w, h, w * 4, DrawPixelFormat::kARGB32}};
    QZWindowHooks hooks;
    hooks.kind = SampleKind;
    hooks.image = SampleImage;
    QZSetWindowHooks(hooks);
    QZPort* port = QZPortAlloc(&window);
    if (!port || !QZInstallContext(port)) {
        if (port) QZPortFree(port);
        std::remove(path);
        return Fail(tool, path, "no drawing context for the image", status::kOutOfMemory);
    }
    QZSetFocus(port, -1);
    draw(port);
    QZReleaseContext(port);
    QZPortFree(port);
    auto image = DrawImage::FromPixels(reinterpret_cast<const uint8_t*>(pixels.data()), w, h, w * 4,
                                       DrawPixelFormat::kARGB32);
    if (!image || !image->WritePNG(path)) {
        std::remove(path);
        return Fail(tool, path, "the image could not be written");
    }
    return 0;
}

}  // namespace plexa::tools
