// BMP pictures (VXReadBMP). The first byte says whether the picture has its file header (bit 0);
// the rest is the picture. An image that reads is drawn into a window, as image lists draw their
// pictures, and written back and read again.
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "fuzz/fuzz_surface.h"
#include "graphics/bmp.h"
#include "graphics/pixels.h"

using namespace plexa;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    fuzz::EnsureGraphics();
    const bool fileHeader = data[0] & 1;
    fuzz::InputStream in(data + 1, size - 1);
    if (!in) return 0;
    VXPixels* image = nullptr;
    Point resolution{};
    if (VXReadBMP(in.get(), fileHeader, 0, &resolution, &image) != 0 || !image) return 0;
    {
        fuzz::Surface surface;
        if (surface.ready()) {
            const Rect source = {0, 0, int16_t(std::min<int>(image->height, 32767)),
                                 int16_t(std::min<int>(image->width, 32767))};
            const Rect dest = {2, 3, 60, 90};
            VXDrawPixelsInWindow(surface.state(), image, &source, &dest, int16_t(data[0] >> 1) & 3);
        }
    }
    fuzz::RoundTrip(
        [&](StreamRecord* out) { return VXWriteBMP(out, fileHeader, image, resolution.h, resolution.v); },
        [&](StreamRecord* in) {
            VXPixels* back = nullptr;
            const OSStatus status = VXReadBMP(in, fileHeader, 0, nullptr, &back);
            VXDestroyPixelImage(back);
            return status;
        });
    VXDestroyPixelImage(image);
    return 0;
}

std::vector<std::string> FuzzSeeds() {
    fuzz::EnsureGraphics();
    std::vector<std::string> seeds;
    struct Shape {
        int32_t width, height, colour, dpi;
        bool fileHeader;
    } shapes[] = {{5, 3, 0, 72, true}, {4, 4, 1, 96, true}, {9, 2, 0, 0, false}};
    for (const Shape& shape : shapes) {
        VXPixels* image = VXCreateEmptyPixelImage(shape.width, shape.height, shape.colour);
        if (!image) continue;
        for (uint32_t i = 0; i < image->rowBytes * image->height; ++i) image->bits[i] = uint8_t(i * 37);
        fuzz::OutputStream out;
        if (out && VXWriteBMP(out.get(), shape.fileHeader, image, shape.dpi, shape.dpi) == 0)
            seeds.push_back(std::string(1, char(shape.fileHeader)) + out.bytes());
        VXDestroyPixelImage(image);
    }
    return seeds;
}
