// Pixel images: creation, pixel access, attachment to off-screen windows, drawing through the
// pixels procedure, comparison, rotations and flips, and images read from picture files.
//
// The images attached to windows are kept in one list, so that a window (whose record this
// layer does not own) finds its image through the image's owner field.
#include "graphics/pixels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/program.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "platform/draw_context.h"
#include "platform/pixels_platform.h"
#include "platform/services_platform.h"

namespace plexa {
namespace {

// Largest pixel buffer: sides of 65535 pixels would pass 4 GB.
constexpr uint64_t kMaxPixelBytes = uint64_t(1) << 30;

VXPixelsHooks gHooks;
std::vector<VXPixels*> gAttached;
VXPixels* gScratchImage = nullptr;

uint32_t BytesPerPixel(const VXPixels* image) { return image->depth == 32 ? 4 : 1; }

uint32_t BufferSize(const VXPixels* image) { return image->rowBytes * image->height; }

DrawPixelFormat FormatOf(const VXPixels* image) {
    return image->depth == 32 ? DrawPixelFormat::kARGB32 : DrawPixelFormat::kGrey8;
}

uint8_t* Row(const VXPixels* image, uint32_t y) { return image->bits + size_t(y) * image->rowBytes; }

// Releases the cached pictures, the buffer and the record (the image is detached already).
void FreePixelImageData(VXPixels* image) {
    FreeCachedImage(image);
    if (image->bits) MemFreePtr(image->bits);
    image->bits = nullptr;
}

// The destination of a rotation or flip: the same kind, sides exchanged for quarter turns.
VXPixels* PrepareDestinationImage(const VXPixels* source, bool swapSize) {
    if (!source || !source->bits) return nullptr;
    const int32_t w = swapSize ? source->height : source->width;
    const int32_t h = swapSize ? source->width : source->height;
    return VXCreateEmptyPixelImage(w, h, source->depth == 32 ? 1 : 0);
}

// Copies every source pixel (row y, column x) to the destination place the map gives.
template <class Map>
VXPixels* Remap(const VXPixels* source, bool swapSize, Map map) {
    VXPixels* out = PrepareDestinationImage(source, swapSize);
    if (!out) return nullptr;
    const uint32_t bpp = BytesPerPixel(source), h = source->height, w = source->width;
    for (uint32_t y = 0; y < h; y++) {
        const uint8_t* from = Row(source, y);
        for (uint32_t x = 0; x < w; x++) {
            const auto [row, column] = map(y, x, h, w);
            std::memcpy(Row(out, row) + size_t(column) * bpp, from + size_t(x) * bpp, bpp);
        }
    }
    return out;
}

struct Place {
    uint32_t row, column;
};

// Swaps rows top with bottom in place.
void FlipRowsInPlace(VXPixels* image) {
    if (image->height < 2) return;
    const size_t bytes = size_t(image->width) * BytesPerPixel(image);
    for (uint32_t top = 0, bottom = image->height - 1u; top < bottom; top++, bottom--)
        std::swap_ranges(Row(image, top), Row(image, top) + bytes, Row(image, bottom));
}

// The mask of a grey image for the mask modes: black pixels paint, white ones do not.
const DrawImage* CachedMask(VXPixels* image) {
    if (image->cachedMask) return image->cachedMask.get();
    std::vector<uint8_t> inverted(BufferSize(image));
    for (size_t i = 0; i < inverted.size(); i++) inverted[i] = uint8_t(255 - image->bits[i]);
    image->cachedMask = DrawImage::FromPixels(inverted.data(), image->width, image->height,
                                              int(image->rowBytes), DrawPixelFormat::kGrey8);
    return image->cachedMask.get();
}

// Dimming of a decoded picture: drawn at opacity 0.75, then black at alpha 0.5 laid over it
// with source-atop, which keeps the alpha and halves the colour.
void Dim(std::vector<uint32_t>& argb) {
    for (uint32_t& p : argb) {
        const auto part = [&](int shift, double factor) {
            return uint32_t(std::lround(double((p >> shift) & 0xFF) * factor)) << shift;
        };
        p = part(24, 0.75) | part(16, 0.375) | part(8, 0.375) | part(0, 0.375);
    }
}

VXPixels* ImageFromDecoded(const PlatformDecodedImage& decoded) {
    const bool colour = decoded.sourceDepth > 8;
    VXPixels* image = VXCreateEmptyPixelImage(decoded.width, decoded.height, colour ? 1 : 0);
    if (!image) return nullptr;
    if (colour) {
        for (uint32_t y = 0; y < image->height; y++)
            std::memcpy(Row(image, y), decoded.argb.data() + size_t(y) * image->width,
                        size_t(image->width) * 4);
        return image;
    }
    // Grey: the picture is drawn over the white of the new image.
    const auto picture = DrawImage::FromPixels(reinterpret_cast<const uint8_t*>(decoded.argb.data()),
                                               decoded.width, decoded.height, decoded.width * 4,
                                               DrawPixelFormat::kARGB32);
    auto ctx = DrawContext::ForPixels(image->bits, image->width, image->height,
                                      int(image->rowBytes), DrawPixelFormat::kGrey8);
    if (!picture || !ctx) {
        VXDestroyPixelImage(image);
        return nullptr;
    }
    ctx->DrawImageIn(*picture, nullptr, {0, 0, double(image->width), double(image->height)});
    return image;
}

void Detach(VXPixels* image) {
    gAttached.erase(std::remove(gAttached.begin(), gAttached.end(), image), gAttached.end());
    image->owner = nullptr;
}

}  // namespace

void VXSetPixelsHooks(const VXPixelsHooks& hooks) { gHooks = hooks; }
const VXPixelsHooks& VXGetPixelsHooks() { return gHooks; }

VXGrafState* VXCreateOffScreenGrafState(VXPixels* image, uint32_t flags, void* refCon) {
    return gHooks.createOffScreenWindow ? gHooks.createOffScreenWindow(image, flags, refCon)
                                        : nullptr;
}

VXPixels* VXCreateEmptyPixelImage(int32_t width, int32_t height, int32_t colour) {
    if (width < 1 || height < 1 || width > 65535 || height > 65535) return nullptr;
    const uint32_t bpp = colour ? 4 : 1;
    const uint64_t rowBytes = (uint64_t(width) * bpp + 3) & ~uint64_t(3);
    const uint64_t size = rowBytes * uint64_t(height);
    if (size > kMaxPixelBytes) return nullptr;
    VXPixels* image = new (std::nothrow) VXPixels;
    if (!image) return nullptr;
    image->bits = reinterpret_cast<uint8_t*>(AllocPtr(nullptr, uint32_t(size)));
    if (!image->bits) {
        delete image;
        return nullptr;
    }
    image->width = uint16_t(width);
    image->height = uint16_t(height);
    image->rowBytes = uint32_t(rowBytes);
    image->depth = colour ? 32 : 8;
    std::memset(image->bits, colour ? 0x00 : 0xFF, size_t(size));
    return image;
}

void VXDestroyPixelImage(VXPixels* image) {
    if (!image) return;
    if (image->owner) VXSetWindowImage(image->owner, nullptr);
    Detach(image);
    if (gScratchImage == image) gScratchImage = nullptr;
    FreePixelImageData(image);
    delete image;
}

VXPixels* VXCreatePixelImageFromURL(const char* path, bool dimmed, Point* resolution) {
    if (resolution) *resolution = {0, 0};
    PlatformDecodedImage decoded;
    if (!path || !PlatformDecodeImageFile(path, &decoded)) return nullptr;
    if (dimmed) Dim(decoded.argb);
    VXPixels* image = ImageFromDecoded(decoded);
    if (image && resolution) *resolution = {int16_t(decoded.dpiV), int16_t(decoded.dpiH)};
    return image;
}

std::string VXResourceImagePath(const std::string& folder, const char* name, int32_t number,
                                const char* extension) {
    std::string path = folder + "/" + (name ? name : "");
    if (number >= 0) path += "_" + std::to_string(number);
    return path + "." + (extension ? extension : "");
}

VXPixels* VXLoadImageResourceFrom(const std::string& folder, const char* name,
                                  const char* extension, int32_t number) {
    if (folder.empty() || !name) return nullptr;
    if (extension && extension[0])
        return VXCreatePixelImageFromURL(
            VXResourceImagePath(folder, name, number, extension).c_str(), false, nullptr);
    for (const char* tried : {"png", "bmp"})
        if (VXPixels* image = VXLoadImageResourceFrom(folder, name, tried, number)) return image;
    return nullptr;
}

std::string VXImageResourceFolder() {
    const std::string resources = FindResourceDirectory();
    return resources.empty() ? resources : resources + "/images";
}

VXPixels* VXLoadImageResource(const char* name, const char* extension, int32_t number) {
    return VXLoadImageResourceFrom(VXImageResourceFolder(), name, extension, number);
}

VXPixels* VXLoadPixelImageFromIcon(int32_t number, bool dimmed) {
    const std::string folder = VXImageResourceFolder();
    if (folder.empty()) return nullptr;
    for (const char* extension : {"ico", "png", "icns"}) {
        const std::string path = VXResourceImagePath(folder, "Icon", number, extension);
        if (VXPixels* image = VXCreatePixelImageFromURL(path.c_str(), dimmed, nullptr)) return image;
    }
    return nullptr;
}

uint32_t VXGetPixelImageRowBytes(const VXPixels* image) { return image ? image->rowBytes : 0; }

uint8_t* VXGetPixelImageBits(MemPoolRecord* pool, VXPixels* image, bool copy) {
    if (!image || !image->bits) return nullptr;
    if (!copy) return image->bits;
    return reinterpret_cast<uint8_t*>(AllocPtrWithData(pool, image->bits, BufferSize(image)));
}

void VXSetPixelImageBits(VXPixels* image, const void* bytes, uint32_t size) {
    if (!image || !image->bits || !bytes || size > BufferSize(image)) return;
    std::memcpy(image->bits, bytes, size);
    FreeCachedImage(image);
}

bool VXGetPixelImageBitmap(const VXPixels* image, QZBitmap* out) {
    if (!image || !image->bits || !out) return false;
    *out = {image->bits, image->width, image->height, int32_t(image->rowBytes), FormatOf(image)};
    return true;
}

VXPixels* VXGetWindowImage(const VXGrafState* window) {
    if (!window || window->geometry.kind != kWindowOffScreen) return nullptr;
    for (VXPixels* image : gAttached)
        if (image->owner == window) return image;
    return nullptr;
}

VXPixels* VXSetWindowImage(VXGrafState* window, VXPixels* image) {
    if (!window || window->geometry.kind != kWindowOffScreen) return nullptr;
    VXPixels* previous = VXGetWindowImage(window);
    if (previous) {
        QZReleaseContext(window->port);
        Detach(previous);
    }
    if (image) {
        FreeCachedImage(image);
        if (image->owner) VXSetWindowImage(image->owner, nullptr);
        image->owner = window;
        gAttached.push_back(image);
        if (window->port && QZInstallContext(window->port)) QZSetFocus(window->port, -1);
    }
    return previous;
}

const DrawImage* CacheCGImageForPixels(VXPixels* image) {
    if (!image || !image->bits) return nullptr;
    if (!image->cachedImage)
        image->cachedImage = DrawImage::FromPixels(image->bits, image->width, image->height,
                                                   int(image->rowBytes), FormatOf(image));
    return image->cachedImage.get();
}

void FreeCachedImage(VXPixels* image) {
    if (!image) return;
    image->cachedImage.reset();
    image->cachedMask.reset();
}

int32_t VXComparePixelImages(const VXPixels* a, const VXPixels* b) {
    if (a == b) return 0;
    if (!a || !b) return a ? 1 : -1;
    if (int32_t d = int32_t(a->depth) - int32_t(b->depth)) return d;
    if (int32_t d = int32_t(a->height) - int32_t(b->height)) return d;
    if (int32_t d = int32_t(a->width) - int32_t(b->width)) return d;
    if (!a->bits || !b->bits) return a->bits ? 1 : b->bits ? -1 : 0;
    for (uint32_t y = 0; y < a->height; y++) {
        const uint8_t *ra = Row(a, y), *rb = Row(b, y);
        if (a->depth != 32) {
            if (int d = std::memcmp(ra, rb, a->width)) return d < 0 ? -1 : 1;
            continue;
        }
        for (uint32_t x = 0; x < a->width; x++) {
            uint32_t pa, pb;
            std::memcpy(&pa, ra + size_t(x) * 4, 4);
            std::memcpy(&pb, rb + size_t(x) * 4, 4);
            if (pa != pb) return pa < pb ? -1 : 1;
        }
    }
    return 0;
}

void VXWriteImageToClipboard(VXPixels* image, const char* text) {
    const DrawImage* picture = CacheCGImageForPixels(image);
    if (picture && gHooks.writeImageToClipboard) gHooks.writeImageToClipboard(*picture, text);
}

VXPixels* VXRotatePixelImageRight(const VXPixels* image) {
    return Remap(image, true, [](uint32_t y, uint32_t x, uint32_t h, uint32_t) {
        return Place{x, h - 1 - y};
    });
}

VXPixels* VXRotatePixelImageLeft(const VXPixels* image) {
    return Remap(image, true, [](uint32_t y, uint32_t x, uint32_t, uint32_t w) {
        return Place{w - 1 - x, y};
    });
}

VXPixels* VXRotatePixelImage180(const VXPixels* image) {
    return Remap(image, false, [](uint32_t y, uint32_t x, uint32_t h, uint32_t w) {
        return Place{h - 1 - y, w - 1 - x};
    });
}

VXPixels* VXFlipPixelImageHorizontal(const VXPixels* image) {
    return Remap(image, false, [](uint32_t y, uint32_t x, uint32_t, uint32_t w) {
        return Place{y, w - 1 - x};
    });
}

VXPixels* VXFlipPixelImageVertical(const VXPixels* image) {
    return Remap(image, false, [](uint32_t y, uint32_t x, uint32_t h, uint32_t) {
        return Place{h - 1 - y, x};
    });
}

VXPixels* VXTransformPixelImage(const VXPixels* image, uint32_t orientation) {
    VXPixels* out = nullptr;
    switch (orientation & 7) {
        case 1: return VXRotatePixelImageRight(image);
        case 2: return VXRotatePixelImage180(image);
        case 3: return VXRotatePixelImageLeft(image);
        case 4: return VXFlipPixelImageHorizontal(image);
        case 5: out = VXRotatePixelImageLeft(image); break;
        case 6: return VXFlipPixelImageVertical(image);
        case 7: out = VXRotatePixelImageRight(image); break;
        default: return nullptr;
    }
    if (out) FlipRowsInPlace(out);
    return out;
}

void VXDrawPixelsInWindow(VXGrafState* window, VXPixels* image, const Rect* source,
                          const Rect* dest, int16_t mode) {
    if (!window || !window->port || !image || !dest || image->owner == window) return;
    // An image drawing into another window is detached while it is read.
    VXGrafState* other = image->owner;
    if (other) VXSetWindowImage(other, nullptr);
    Rect target = *dest;
    RectToNoEmptyScale(&window->geometry, &target);
    if (const DrawImage* picture = CacheCGImageForPixels(image)) {
        if (image->depth == 8 && (mode == 10 || mode == 11)) {
            if (const DrawImage* mask = CachedMask(image))
                QZDrawMask(window->port, mask, source, target, mode == 10);
        } else {
            QZDrawImage(window->port, picture, source, target);
        }
    }
    if (other) VXSetWindowImage(other, image);
}

void VXInitPixelImages() {
    VXSetPixelsDrawer(VXDrawPixelsInWindow);
    if (!gScratchImage) gScratchImage = VXCreateEmptyPixelImage(8, 8, 1);
}

}  // namespace plexa
