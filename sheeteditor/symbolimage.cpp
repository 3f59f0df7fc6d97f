// Sheet items drawn into grey pixel images; see symbolimage.h.
#include "sheeteditor/symbolimage.h"

#include <algorithm>

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/offscreen.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "model/drawglobals.h"
#include "model/sheet.h"
#include "model/symboldraw.h"
#include "model/symbols.h"

namespace plexa {

namespace {

// A pixel darker than this counts as drawn.
constexpr uint8_t kInk = 128;
// The largest box whose drawing is looked at (sides of 4096 units); a larger one is decided by
// its box.
constexpr int64_t kLargestLookedAtArea = int64_t(4096) * 4096;

int32_t Width(const Rect& r) { return r.right - r.left; }
int32_t Height(const Rect& r) { return r.bottom - r.top; }

bool Inked(const VXPixels* image, int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height) return false;
    return image->bits[size_t(y) * image->rowBytes + size_t(x)] < kInk;
}

// Whether anything is drawn in the columns x0..x1 and rows y0..y1 (kept inside the image).
bool AnyInked(const VXPixels* image, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min<int32_t>(x1, image->width - 1);
    y1 = std::min<int32_t>(y1, image->height - 1);
    for (int32_t y = y0; y <= y1; ++y)
        for (int32_t x = x0; x <= x1; ++x)
            if (Inked(image, x, y)) return true;
    return false;
}

}  // namespace

VXPixels* DrawSheetAreaImage(const Rect& area, const std::function<void(VXGrafState*)>& draw) {
    if (Width(area) <= 0 || Height(area) <= 0) return nullptr;
    VXPixels* image = VXCreateEmptyPixelImage(Width(area), Height(area), 0);
    if (!image) return nullptr;
    QZBitmap bitmap{};
    VXGrafState* graf = VXGetPixelImageBitmap(image, &bitmap) ? VXNewOffScreenState(&bitmap) : nullptr;
    if (!graf || !QZInstallContext(graf->port)) {
        VXDisposeOffScreenState(graf);
        VXDestroyPixelImage(image);
        return nullptr;
    }
    QZSetFocus(graf->port, -1);
    const uint32_t flags = gGenFlags;
    gGenFlags &= ~kGenColorDrawing;
    {
        VXGrafStateScope scope(graf);
        VXSetOrigin(graf, area.left, area.top);
        const bool smooth = VXAntialiasGraphics(false);
        QZSetColor(nullptr, kVXDefaultForeColor, false);
        draw(graf);
        VXFlushGraphics(graf);
        VXAntialiasGraphics(smooth);
    }
    gGenFlags = flags;
    VXDisposeOffScreenState(graf);
    FreeCachedImage(image);  // the pixels changed under any picture made of them
    return image;
}

bool IsAreaImageInked(const VXPixels* image, const Rect& area, Point point) {
    return image && Inked(image, point.h - area.left, point.v - area.top);
}

SymbolDrawingHit HitTestSymbolDrawing(SheetRecord* sheet, SymbolRecord* symbol, const Rect& box,
                                      Point point, int32_t tolerance) {
    if (!sheet || !symbol || (symbol->flags & kSymbolFlagSheet)) return SymbolDrawingHit::kBox;
    const int32_t corner = std::min(Width(box), Height(box)) / 8;
    if (corner < kEmptyCornerSide || int64_t(Width(box)) * Height(box) > kLargestLookedAtArea)
        return SymbolDrawingHit::kBox;
    SymbolMapEntry* entry = nullptr;
    GetSymbolInstanceInfo(sheet, symbol, &entry, nullptr, 0);
    if (!entry || !entry->definition) return SymbolDrawingHit::kBox;
    const int32_t transform = int32_t(symbol->flags & kSymbolFlagTransform);
    // The box with a margin: the drawing's edges and the tolerance around the point fit in.
    const int16_t margin = int16_t(std::clamp(tolerance, 0, 16) + 1);
    Rect area = box;
    VXInsetRect(&area, int16_t(-margin), int16_t(-margin));
    VXPixels* image = DrawSheetAreaImage(area, [&](VXGrafState* graf) {
        DrawSymbolGraphics(graf, entry->definition, entry->size, sheet->imageList, symbol->position, 0, 0,
                           transform, false);
    });
    if (!image) return SymbolDrawingHit::kBox;
    // The corner squares of the box, each with the box's edge lines.
    const int32_t left = margin - 1, top = margin - 1;
    const int32_t right = margin + Width(box), bottom = margin + Height(box);
    bool emptyCorner = false;
    for (int32_t x0 : {left, right - corner})
        for (int32_t y0 : {top, bottom - corner})
            emptyCorner = emptyCorner || !AnyInked(image, x0, y0, x0 + corner, y0 + corner);
    SymbolDrawingHit hit = SymbolDrawingHit::kBox;
    if (emptyCorner) {
        const int32_t x = point.h - area.left, y = point.v - area.top;
        const int32_t w = image->width, h = image->height;
        const bool near = AnyInked(image, x - tolerance, y - tolerance, x + tolerance, y + tolerance);
        const bool enclosed = AnyInked(image, 0, y, x - 1, y) && AnyInked(image, x + 1, y, w - 1, y) &&
                              AnyInked(image, x, 0, x, y - 1) && AnyInked(image, x, y + 1, x, h - 1);
        hit = near || enclosed ? SymbolDrawingHit::kHit : SymbolDrawingHit::kMiss;
    }
    VXDestroyPixelImage(image);
    return hit;
}

}  // namespace plexa
