// Pixel images: the layer's raster images. A `VXPixels` owns a buffer of 8-bit grey or 32-bit
// colour pixels that can be drawn into a window (slot 7 of the drawing procedures), attached to
// an off-screen window as its drawing surface, rotated and flipped, compared, put on the system
// clipboard and stored as BMP (graphics/bmp.h).
//
// Pixels: grey images hold one byte a pixel (0 black, 255 white, no alpha); colour images hold
// premultiplied 32-bit words 0xAARRGGBB in host order (the renderer's format). Row bytes are the
// width times the bytes a pixel rounded up to a multiple of 4. A new grey image is white, a new
// colour image fully transparent. Sides run from 1 to 65535 pixels.
//
// A window here is its graphics state (`VXGrafState`), which the toolkit's window record
// contains. The toolkit makes off-screen windows and reaches the system clipboard; it installs
// `VXPixelsHooks` for the calls of this layer that need them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct VXGrafState;
struct QZBitmap;
class DrawImage;
struct MemPoolRecord;

struct VXPixels {
    uint16_t height = 0, width = 0;
    // The off-screen window whose drawing surface this image is, or null.
    VXGrafState* owner = nullptr;
    // The pixel buffer, allocated by this layer; drawing contexts are made over it.
    uint8_t* bits = nullptr;
    uint32_t rowBytes = 0;
    // Immutable copy of the pixels made on first use and dropped when the image is attached to
    // a window; the second slot holds the mask of an 8-bit image drawn in a mask mode.
    std::shared_ptr<DrawImage> cachedImage;
    std::shared_ptr<DrawImage> cachedMask;
    uint16_t depth = 8;  // bits per pixel: 8 or 32
};

// What the window owner does for pixel images.
struct VXPixelsHooks {
    // Makes an off-screen window drawing into the image (`VXSetWindowImage`) with the flags and
    // reference value and makes it current; null when it cannot.
    VXGrafState* (*createOffScreenWindow)(VXPixels* image, uint32_t flags, void* refCon) = nullptr;
    // Puts the picture on the system clipboard, with the plain text (UTF-8) beside it when one is
    // given.
    void (*writeImageToClipboard)(const DrawImage& picture, const char* text) = nullptr;
};
void VXSetPixelsHooks(const VXPixelsHooks& hooks);
const VXPixelsHooks& VXGetPixelsHooks();
// An off-screen window made by the window owner (its `VXCreateOffScreenWindow`) through the
// hook, as its graphics state; null without a hook.
VXGrafState* VXCreateOffScreenGrafState(VXPixels* image, uint32_t flags, void* refCon);

// Creation: colour 0 grey, 1 colour. Null for sides outside 1..65535 or when memory runs out.
VXPixels* VXCreateEmptyPixelImage(int32_t width, int32_t height, int32_t colour);
// Detaches the image from its owner window and frees everything it holds; null is ignored.
void VXDestroyPixelImage(VXPixels* image);

// An image of a picture file; grey when the stored picture has 8 bits a pixel or fewer, else
// colour. The dimmed form is drawn at opacity 0.75 and darkened by black at alpha 0.5 where
// it has pixels. The resolution (dots per inch, rounded) goes to `resolution` when given.
VXPixels* VXCreatePixelImageFromURL(const char* path, bool dimmed, Point* resolution);
// The path of a resource in a folder: the name, "_" and the number unless the number is
// negative, then "." and the extension.
std::string VXResourceImagePath(const std::string& folder, const char* name, int32_t number,
                                const char* extension);
// An image resource of a folder; an empty or null extension tries "png", then "bmp".
VXPixels* VXLoadImageResourceFrom(const std::string& folder, const char* name,
                                  const char* extension, int32_t number);
// The same in the application's image resources (the "images" folder of its resources).
VXPixels* VXLoadImageResource(const char* name, const char* extension, int32_t number);
// Resource "Icon" with the number, trying "ico", "png", then "icns".
VXPixels* VXLoadPixelImageFromIcon(int32_t number, bool dimmed);
std::string VXImageResourceFolder();

uint32_t VXGetPixelImageRowBytes(const VXPixels* image);
// The pixel buffer, or with `copy` a new copy of height x row bytes in the pool (pool null:
// the current pool; the caller frees it with MemFreePtr). Null without pixels or memory.
uint8_t* VXGetPixelImageBits(MemPoolRecord* pool, VXPixels* image, bool copy);
// Copies the bytes into the pixel buffer when size <= height x row bytes; else nothing.
void VXSetPixelImageBits(VXPixels* image, const void* bytes, uint32_t size);

// The bitmap the renderer draws an attached image through; false without an image.
bool VXGetPixelImageBitmap(const VXPixels* image, QZBitmap* out);
// The image attached to an off-screen window; null for any other window.
VXPixels* VXGetWindowImage(const VXGrafState* window);
// Attaches an image (null: none) to an off-screen window and returns the one it had; other
// windows: null and nothing done. The window owner calls it with null before it frees an
// off-screen window.
VXPixels* VXSetWindowImage(VXGrafState* window, VXPixels* image);

// The cached immutable picture, made on first use; null without pixels.
const DrawImage* CacheCGImageForPixels(VXPixels* image);
void FreeCachedImage(VXPixels* image);

// 0 for the same record; else depth, height, width differences, else the first differing row
// (top first, padding excluded) compared pixel by pixel: grey by byte, colour by word, so the
// order is that of the bytes A, R, G, B.
int32_t VXComparePixelImages(const VXPixels* a, const VXPixels* b);

// Replaces the system clipboard's contents with the picture and, when given, a plain text (UTF-8)
// to go with it; nothing without pixels or without the owner's hook.
void VXWriteImageToClipboard(VXPixels* image, const char* text = nullptr);

// New images (null when memory runs out); the source is unchanged.
VXPixels* VXRotatePixelImageRight(const VXPixels* image);
VXPixels* VXRotatePixelImageLeft(const VXPixels* image);
VXPixels* VXRotatePixelImage180(const VXPixels* image);
VXPixels* VXFlipPixelImageHorizontal(const VXPixels* image);
VXPixels* VXFlipPixelImageVertical(const VXPixels* image);
// Orientation codes (low 3 bits): 0 none (null), 1 rotate right, 2 rotate 180, 3 rotate left,
// 4 flip horizontal, 5 rotate left then flip vertical, 6 flip vertical, 7 rotate right then
// flip vertical.
VXPixels* VXTransformPixelImage(const VXPixels* image, uint32_t orientation);

// Draws an image into a window: the pixels procedure of the standard drawing procedures.
void VXDrawPixelsInWindow(VXGrafState* window, VXPixels* image, const Rect* source,
                          const Rect* dest, int16_t mode);

// Start-up: installs the pixels drawer and makes the shared scratch image (8 x 8 colour) once.
void VXInitPixelImages();

}  // namespace plexa
