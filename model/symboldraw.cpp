// Symbol drawing; see symboldraw.h.
//
// The hook procedures replace slots 1-6 of a copy of the standard set and draw through the inner
// procedures (the centre-line set, or the window's own under DXF export). Each element's colour
// comments (229, 230), fill marker (231) and optional-fill flag (232) hold until the procedure
// that ends the element has drawn: a line, a frame, or a fill alone; an arrow's head polygons
// leave them to its shaft.
#include "model/symboldraw.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "foundation/geometry.h"
#include "graphics/capturecache.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/pixels.h"
#include "graphics/regions.h"
#include "graphics/render.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/symboldata.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr VXColor kWhite = 0x0BFFFFFF;

struct DrawDLState {
    ImageList* images = nullptr;
    VXGrafState* graf = nullptr;
    const VXGrafProcsRecord* inner = nullptr;
    VXGrafProcsRecord hooks{};
    VXGrafProcsRecord centre{};
    bool procsBuilt = false;
    Point playPoint{0, 0};
    VXPixels* pendingImage = nullptr;
    bool imagePending = false;
    uint32_t frameColor = 0;
    uint32_t fillColor = 0;
    int16_t pinColor = 0;
    int16_t bodyColor = 0;
    int32_t transform = 0;
    int32_t imageTransform = 0;
    bool inPinGroup = false;
    bool portMarkers = false;
    bool useFrameColor = false;
    bool useFillColor = false;
    bool colorChanged = false;
    bool arrowPending = false;
    bool fillMarker = false;
    bool optionalFill = false;
};

DrawDLState gDrawDL;
SymbolDrawHooks gSymbolDrawHooks;

// The group's index colour again after an element's own colour was set.
void GroupColor() {
    DrawDLState& s = gDrawDL;
    if (!s.colorChanged) return;
    Set_Fore_Color(s.inPinGroup ? s.pinColor : s.bodyColor);
    s.colorChanged = false;
}

void ConsumeElementFlags() {
    DrawDLState& s = gDrawDL;
    s.useFrameColor = s.useFillColor = s.fillMarker = false;
}

// Sets the colour a frame is drawn in; `consume` ends the element.
void FrameColor(bool consume) {
    DrawDLState& s = gDrawDL;
    if (s.useFrameColor) {
        QZSetColor(nullptr, s.frameColor, false);
        s.colorChanged = true;
    } else {
        GroupColor();
    }
    if (consume) ConsumeElementFlags();
}

// Whether the verb fills (paint, or frame after a fill marker), setting the fill colour when so.
bool PrepFillColor(int8_t verb) {
    DrawDLState& s = gDrawDL;
    bool fill = verb == 1 || (verb == 0 && s.fillMarker);
    s.fillMarker = false;
    if (std::exchange(s.optionalFill, false) && (gGenFlags & kGenOptionalFillsOff)) fill = false;
    if (!fill) return false;
    if (s.useFillColor) {
        QZSetColor(nullptr, s.fillColor, false);
        s.colorChanged = true;
    } else {
        GroupColor();
    }
    return true;
}

// Paints again, clipped to the selection region, in the selection brush.
template <class Paint>
void SelectionOverlay(const Rect& bounds, Paint paint) {
    if (!gDrawElmtSelRgn || !gDrawDL.graf) return;
    const LRect area{bounds.top, bounds.left, bounds.bottom, bounds.right};
    if (!VXRectMeetsRgn(&area, gDrawElmtSelRgn)) return;
    VXSectClipRgn(gDrawDL.graf, gDrawElmtSelRgn, true);
    QZSetColor(nullptr, kElementSelectionBrush, false);
    gDrawDL.colorChanged = true;
    paint();
    VXPopClip(gDrawDL.graf);
}

// A framed shape: the fill, then the frame with the recorded verb (a paint is the fill alone).
// `consume` false keeps the element's flags (a pin's bubble leaves them to its line).
template <class Draw>
void Shape(const Rect& bounds, int8_t verb, bool consume, Draw draw) {
    if (PrepFillColor(verb)) {
        draw(int8_t(1));
        SelectionOverlay(bounds, [&] { draw(int8_t(1)); });
        if (verb == 1) {
            if (consume) ConsumeElementFlags();
            return;
        }
    }
    FrameColor(consume);
    draw(verb);
}

void DrawPendingImage(const Rect* r) {
    DrawDLState& s = gDrawDL;
    VXPixels* pixels = std::exchange(s.pendingImage, nullptr);
    s.imagePending = false;
    const int32_t pen = VXGetPenWidth();
    if (gGenFlags & kGenDXFExport) {
        VXSetPenWidth(1);
        FrameColor(true);
        s.inner->rect(r, 0);
        VXMoveTo(r->left, r->top);
        s.inner->line(r->right, r->bottom);
        VXMoveTo(r->right, r->top);
        s.inner->line(r->left, r->bottom);
        VXSetPenWidth(pen);
        return;
    }
    if (!pixels) return;
    VXPixels* turned = nullptr;
    if (s.imageTransform & 7) {
        turned = VXTransformPixelImage(pixels, uint32_t(s.imageTransform & 7));
        if (!turned) {
            ConsumeElementFlags();
            return;
        }
        pixels = turned;
    }
    const Rect source{0, 0, int16_t(pixels->height), int16_t(pixels->width)};
    const Rect dest{r->top, r->left, int16_t(r->bottom + 1), int16_t(r->right + 1)};
    const bool oneBit = pixels->depth == 8;
    const VXColor back = VXGetBackColor();
    int16_t mode = 0;
    if (oneBit) {
        VXColor fill = kWhite;
        if (s.fillMarker) {
            if (s.useFillColor) {
                fill = s.fillColor;
            } else if (PrefsColorDrawing() && (gGenFlags & kGenColorDrawing)) {
                Set_Fore_Color(s.bodyColor);
                fill = VXGetForeColor();
            }
        }
        FrameColor(false);
        s.colorChanged = true;
        if (s.fillMarker) {
            QZSetColor(nullptr, fill, true);
            mode = kPixelsMaskOnBack;
        } else {
            mode = kPixelsMask;
        }
    }
    VXDrawPixels(pixels, &source, &dest, mode);
    if (gDrawElmtSelRgn) {
        const LRect area{dest.top, dest.left, dest.bottom, dest.right};
        if (VXRectMeetsRgn(&area, gDrawElmtSelRgn)) {
            VXSectClipRgn(s.graf, gDrawElmtSelRgn, true);
            if (oneBit) {
                QZSetColor(nullptr, kElementSelectionBrush, true);
                VXDrawPixels(pixels, &source, &dest, kPixelsMaskOnBack);
            } else {
                QZSetColor(nullptr, kElementSelectionBrush, false);
                VXSetStockPattern(2);
                const uint8_t previous = VXSetDrawMode(1);
                s.inner->rect(&dest, 1);
                VXSetDrawMode(previous);
            }
            s.colorChanged = true;
            VXPopClip(s.graf);
        }
    }
    QZSetColor(nullptr, back, true);
    ConsumeElementFlags();
    if (turned) VXDestroyPixelImage(turned);
}

// ---- Hooks ----

void HookLine(int16_t h, int16_t v) {
    DrawDLState& s = gDrawDL;
    FrameColor(true);
    Point from;
    VXGetPenPosition(&from);
    const Point to{v, h};
    const int32_t pen = VXGetPenWidth();
    const int32_t orientation = PinLineOrient(to, from);
    if (s.inPinGroup && pen == 2 && (orientation == 4 || orientation == 1)) {
        if (orientation == 4) from.v = int16_t(from.v + 1);
        if (orientation == 1) from.h = int16_t(from.h + 1);
        VXMoveTo(from.h, from.v);
    }
    s.inner->line(h, v);
    if (s.inPinGroup && s.portMarkers && s.graf) {
        // The marker's own strokes go straight to the inner procedures.
        const VXGrafProcsRecord* hooks = std::exchange(s.graf->grafProcs, s.inner);
        DrawPinPortMarker(pen, orientation);
        s.graf->grafProcs = hooks;
        VXMoveTo(h, v);
    }
    s.arrowPending = false;
}

void HookRect(const Rect* r, int8_t verb) {
    if (gDrawDL.imagePending) return DrawPendingImage(r);
    Shape(*r, verb, true, [r](int8_t v) { gDrawDL.inner->rect(r, v); });
}

void HookOval(const Rect* r, int8_t verb) {
    Shape(*r, verb, !gDrawDL.inPinGroup, [r](int8_t v) { gDrawDL.inner->oval(r, v); });
}

void HookRRect(const Rect* r, int16_t width, int16_t height, int8_t verb) {
    Shape(*r, verb, true, [=](int8_t v) { gDrawDL.inner->rRect(r, width, height, v); });
}

void HookArc(const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    Shape(*r, verb, true, [=](int8_t v) { gDrawDL.inner->arc(r, start, arc, v); });
}

void HookPoly(const Point* points, int16_t count, int8_t verb) {
    DrawDLState& s = gDrawDL;
    if (s.arrowPending) {
        // An arrow's head: in the frame colour, its flags kept for the shaft.
        FrameColor(false);
        s.inner->poly(points, count, verb);
        return;
    }
    if (PrepFillColor(verb)) {
        const int32_t pen = VXGetPenWidth();
        if (!(gGenFlags & kGenDXFExport)) VXSetPenWidth(1);
        s.inner->poly(points, count, 1);
        Rect bounds = kSymbolDataEmptyRect;
        for (int16_t i = 0; i < count; i++) {
            bounds.top = std::min(bounds.top, points[i].v);
            bounds.left = std::min(bounds.left, points[i].h);
            bounds.bottom = std::max(bounds.bottom, points[i].v);
            bounds.right = std::max(bounds.right, points[i].h);
        }
        SelectionOverlay(bounds, [&] { s.inner->poly(points, count, 1); });
        VXSetPenWidth(pen);
        if (verb == 1) {
            ConsumeElementFlags();
            return;
        }
    }
    if (s.inPinGroup)
        GroupColor();
    else
        FrameColor(true);
    s.inner->poly(points, count, verb);
}

uint32_t CommentLong(const void* data, bool swapped) {
    uint32_t value;
    std::memcpy(&value, data, 4);
    return swapped ? __builtin_bswap32(value) : value;
}

bool DrawComment(int16_t kind, void* data, int32_t length, bool swapped, void*) {
    DrawDLState& s = gDrawDL;
    const bool ownColors = PrefsColorDrawing() && (gGenFlags & kGenColorDrawing);
    switch (kind) {
        case kSymCommentPinsEnd:
            s.inPinGroup = false;
            s.portMarkers = false;
            Set_Fore_Color(s.bodyColor);
            s.colorChanged = false;
            break;
        case kSymCommentArrow: s.arrowPending = true; break;
        case kSymCommentText:
        case kSymCommentFrame: return true;  // the texts are the sheet's
        case kSymCommentFrameColor:
            if (length < 4 || !data) break;
            s.frameColor = CommentLong(data, swapped);
            s.useFrameColor = ownColors;
            break;
        case kSymCommentFillColor:
            if (length < 4 || !data) break;
            s.fillColor = CommentLong(data, swapped);
            s.useFillColor = ownColors;
            break;
        case kSymCommentFilled: s.fillMarker = true; break;
        case kSymCommentOptionalFill: s.optionalFill = true; break;
        case kSymCommentImage: {
            if (length < 10 || !data) break;
            const auto id = int32_t(CommentLong(data, swapped));
            const uint8_t orientation = static_cast<const uint8_t*>(data)[8];
            s.pendingImage = GetImageFromImageList(s.images, id, false);
            s.imagePending = s.pendingImage || (gGenFlags & kGenDXFExport);
            s.imageTransform = VXTransformTransformation(orientation & 7, s.transform) & 7;
            break;
        }
        default: break;
    }
    return false;
}

}  // namespace

void SetSymbolDrawHooks(const SymbolDrawHooks& hooks) { gSymbolDrawHooks = hooks; }
const SymbolDrawHooks& GetSymbolDrawHooks() { return gSymbolDrawHooks; }

int32_t DrawSymbolGraphics(VXGrafState* graf, const void* data, uint32_t size,
                           ImageList* images, Point playPoint, int16_t pinColor, int16_t bodyColor,
                           int32_t transform, bool portMarkers) {
    if (!graf || !data || size <= kSymbolDataHeadSize) return 0;
    DrawDLState& s = gDrawDL;
    if (!s.procsBuilt) {
        VXSetCenterGrafProcs(&s.centre);
        VXSetStdGrafProcs(&s.hooks);
        s.hooks.line = HookLine;
        s.hooks.rect = HookRect;
        s.hooks.oval = HookOval;
        s.hooks.rRect = HookRRect;
        s.hooks.arc = HookArc;
        s.hooks.poly = HookPoly;
        s.procsBuilt = true;
    }
    s.pendingImage = nullptr;
    s.imagePending = s.useFrameColor = s.useFillColor = s.colorChanged = false;
    s.arrowPending = s.fillMarker = s.optionalFill = false;
    s.images = images;
    s.playPoint = playPoint;
    s.pinColor = pinColor;
    s.bodyColor = bodyColor;
    s.transform = transform & 7;
    s.portMarkers = portMarkers;

    VXGrafStateScope scope(graf);
    s.graf = graf;
    const VXGrafProcsRecord* saved = graf->grafProcs;
    s.inner = (gGenFlags & kGenDXFExport) ? (saved ? saved : VXGetStdGrafProcs()) : &s.centre;
    graf->grafProcs = &s.hooks;
    VXPenNormal();
    s.inPinGroup = true;
    Set_Fore_Color(pinColor);
    auto* bytes = const_cast<uint8_t*>(static_cast<const uint8_t*>(data)) + kSymbolDataHeadSize;
    const int32_t result =
        VXPlayDisplayListBytes(graf, bytes, size - kSymbolDataHeadSize, playPoint,
                               kDLNoColors | kDLPlayExactGeometry | uint32_t(s.transform),
                               DrawComment, nullptr);
    graf->grafProcs = saved;
    s.graf = nullptr;
    s.pendingImage = nullptr;
    s.imagePending = false;
    return result;
}

namespace {

// ---- Kept symbols ----
//
// A sheet repeats few definitions many times: a definition's play is kept (graphics/capturecache.h)
// for its orientation, colours and pen settings and the window's scale, and other symbols of it
// are laid down from that. Whatever cannot be kept (images, selected elements, print, export, a
// capture being recorded) is played as before.

// Sheet units around a play point beyond the definition's bounds that port markers and pens
// may reach.
constexpr int32_t kCaptureMargin = 32;
constexpr size_t kCapturedSymbolsKept = 4096;

CaptureCache& CapturedSymbols() {
    static auto* cache = new CaptureCache(kCapturedSymbolsKept);
    return *cache;
}

// Plays a definition through the kept drawings; false when it has to be played as before.
bool DrawCapturedSymbol(VXGrafState* graf, const void* data, uint32_t size, ImageList* images,
                        Point playPoint, int16_t pinColor, int16_t bodyColor, int32_t transform,
                        bool portMarkers) {
    if (!data || size <= kSymbolDataHeadSize) return false;
    if (gGenFlags & (kGenPrinting | kGenDXFExport | kGenSymbolCapture)) return false;
    _LPNT device{};
    uint32_t phase = 0;
    if (!VXCapturePlace(graf, playPoint, &device, &phase)) return false;
    if (gDrawElmtSelRgn) {
        // Selected elements are painted over in the selection brush: not kept.
        SymbolDataHead head;
        std::memcpy(&head, data, sizeof head);
        int32_t reach = 0;
        for (int32_t v : {head.all.top, head.all.left, head.all.bottom, head.all.right})
            reach = std::max(reach, std::abs(v));
        reach += kCaptureMargin;
        const LRect around{playPoint.v - reach, playPoint.h - reach, playPoint.v + reach, playPoint.h + reach};
        if (VXRectMeetsRgn(&around, gDrawElmtSelRgn)) return false;
    }
    VXGrafStateScope scope(graf);
    VXPenNormal();  // as the play begins, kept or not
    Set_Fore_Color(pinColor);
    const VXColor pinRGB = VXGetForeColor();
    Set_Fore_Color(bodyColor);
    const VXColor bodyRGB = VXGetForeColor();
    CaptureKey key;
    VXCaptureWindowWords(graf, phase, key.words);
    key.words[5] = reinterpret_cast<uintptr_t>(data);
    key.words[6] = uint64_t(size) << 32 | uint32_t(transform & 7) | (portMarkers ? 8u : 0u) |
                   (PrefsColorDrawing() ? 16u : 0u);
    key.words[7] = uint64_t(uint16_t(pinColor)) << 16 | uint16_t(bodyColor);
    key.words[8] = uint64_t(pinRGB) << 32 | bodyRGB;
    key.words[9] = gGenFlags;
    CaptureCache& cache = CapturedSymbols();
    if (const CapturedDrawing* kept = cache.Find(key, data, size))
        return VXPlayKeptDrawing(graf, playPoint, device, *kept);
    if (!VXBeginKeptDrawing(graf)) return false;
    DrawSymbolGraphics(graf, data, size, images, playPoint, pinColor, bodyColor, transform, portMarkers);
    CapturedDrawing kept;
    if (VXEndKeptDrawing(graf, playPoint, data, size, device, true, &kept) != KeptOutcome::kNotHere)
        cache.Keep(key, std::move(kept));
    return true;
}

}  // namespace

void ForgetCapturedSymbols() { CapturedSymbols().Clear(); }
size_t CapturedSymbolCount() { return CapturedSymbols().KeptCount(); }

void DrawSymbol(SheetRecord* sheet, SymbolRecord* symbol, ImageList* images, VXGrafState* graf,
                bool portMarkers) {
    if (!symbol || !graf) return;
    if (symbol->flags & kSymbolFlagSheet) {
        if (gSymbolDrawHooks.drawSheetSymbol)
            gSymbolDrawHooks.drawSheetSymbol(graf, symbol, portMarkers);
        return;
    }
    SymbolMapEntry* entry = nullptr;
    GetSymbolInstanceInfo(sheet, symbol, &entry, nullptr, 1);
    if (!entry || !entry->definition) return;
    int16_t pins = kColorIndexPins, body = kColorIndexGraphics;
    if (symbol->flags & kSymbolFlagPort) {
        pins = body = (symbol->flags & kSymbolFlagBussPort) ? kColorIndexBussPort : kColorIndexPort;
        portMarkers = false;
    }
    const auto transform = int32_t(symbol->flags & kSymbolFlagTransform);
    if (DrawCapturedSymbol(graf, entry->definition, entry->size, images, symbol->position, pins, body,
                           transform, portMarkers))
        return;
    DrawSymbolGraphics(graf, entry->definition, entry->size, images, symbol->position, pins, body,
                       transform, portMarkers);
}

}  // namespace plexa
