// Graphic elements: records, lists, builders, bounds, byte swapping, drawing and the stored form.
//
// Stored form (one element of a sheet's element block; the block's framing is the sheet file's):
//   i32 T        tail length: the record's size less the 36-byte head
//   28 bytes     the head from its flag word on (offsets 8-35 of the record)
//   T bytes      the tail by kind:
//     1 line, 3 rectangle, 4 oval          none
//     2 arrow                              i16 head length, i16 head half-angle
//     5 rounded rectangle                  i16 corner oval width, i16 height
//     6 arc                                i16 start angle, i16 arc angle (degrees)
//     7 polygon                            i16 count n, n points (v, h): T = 2 + 4n
//     8 node                               u16 serial, u8 0, u8 bubble radius, 16 bytes that
//                                          hold in-memory references: written as zeros, read
//                                          as none
//     9 image                              i32 image id, i16 horizontal and vertical
//                                          resolution, u8 orientation code, u8 spare
// Multi-byte fields are in the writer's order; a reader of the other order swaps the head with
// "B8WB2W8L2" over the whole record head and the tail by kind (the polygon's count first, then
// as many points as the record holds).
//
// A reader trusts nothing: the tail must be as long as its kind needs (2 + 4n for a polygon of
// n points; nodes written with shorter reference fields are taken), no longer than the bytes
// left, and a node's references and an image's id are never taken from the file as they are.
// The bounds are worked out again from the geometry.
#include "model/elements.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "foundation/byteswap.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/regions.h"
#include "graphics/textline.h"
#include "model/drawglobals.h"
#include "model/imagelist.h"
#include "model/modelstate.h"
#include "model/sheetindex.h"
#include "model/themes.h"

namespace plexa {

MemPoolRecord* gElementPool = nullptr;
VXRgn* gDrawElmtSelRgn = nullptr;
uint32_t& gDefaultColor = gModelState.defaultColor;

namespace {

constexpr uint32_t kElementPoolPage = 16 * 1024;
constexpr VXColor kSelectionBrush = kElementSelectionBrush;
constexpr int32_t kCommentFilled = 231;
// Pixel drawing modes of grey images: the black pixels in the fore colour, over the back colour
// first or over what is there.
// Stored tail lengths below which a kind cannot be read.
constexpr int32_t kNodeStoredMinimum = 4;

int32_t TailSize(uint8_t kind) {
    switch (kind) {
        case kElementArrow:
        case kElementRoundRect:
        case kElementArc: return 4;
        case kElementNode: return 20;
        case kElementImage: return 10;
        default: return 0;
    }
}

bool KnownKind(uint8_t kind) { return kind >= kElementLine && kind <= kElementImage; }

Rect ToRect(const LRect& r) {
    Rect out;
    Rect32To16(&r, &out);
    return out;
}

LRect ToLRect(const Rect& r) {
    LRect out;
    Rect16To32(&r, &out);
    return out;
}

// The rectangle spanned by two points, 32-bit.
LRect Span(int32_t v1, int32_t h1, int32_t v2, int32_t h2) {
    return {std::min(v1, v2), std::min(h1, h2), std::max(v1, v2), std::max(h1, h2)};
}

void Unite(LRect* into, const LRect& r) { UnionRect32(into, &r, into); }

int32_t PenOf(const ElementRecord* e) { return std::max<int32_t>(e->penWidth, 0); }

ElementRecord* AllocElement(uint8_t kind, uint32_t size) {
    MemPoolRecord* pool = ElementPool();
    if (!pool) return nullptr;
    auto* e = reinterpret_cast<ElementRecord*>(AllocPtrClear(pool, size));
    if (e) e->kind = kind;
    return e;
}

void SetColors(ElementRecord* e, bool frameGiven, uint32_t frameColor, bool fillGiven,
               uint32_t fillColor) {
    if (frameGiven) {
        e->flags |= kElementOwnFrameColor;
        e->frameColor = frameColor;
    }
    if (fillGiven) {
        e->flags |= kElementOwnFillColor;
        e->fillColor = fillColor;
    }
}

// Releases what an element holds besides its record.
void ReleaseContent(ElementRecord* e, ImageList* images) {
    if (e->kind == kElementNode) {
        auto* node = ElementAs<NodeElement>(e);
        if (Handle h = node->pinData) MemFree(h);
        if (Handle h = node->pinNumbers) MemFree(h);
        node->pinData = node->pinNumbers = nullptr;
    } else if (e->kind == kElementImage) {
        auto* image = ElementAs<ImageElement>(e);
        if (image->imageId >= 0 && images) ReleaseImageListImage(images, image->imageId);
    }
}

void ElementListFreeProc(LinkListHeader* list, void* item, void*, uint32_t) {
    ReleaseContent(static_cast<ElementRecord*>(item), static_cast<ImageList*>(list->owner));
}

// The count of a polygon as far as `size` bytes of its record hold points.
int32_t HeldPoints(const ElementRecord* e, uint32_t size) {
    if (size < kElementPolyHeadSize) return 0;
    const int32_t count = ElementAs<PolyElement>(e)->pointCount;
    return std::clamp<int32_t>(count, 0, int32_t((size - kElementPolyHeadSize) / 4));
}

// ---- Bounds ----

LRect LineBounds(const ElementRecord* e) {
    const int32_t p = PenOf(e), h = p / 2;
    const Point a = e->points.point1, b = e->points.point2;
    LRect r = Span(a.v - h, a.h - h, b.v - h, b.h - h);
    r.bottom += p;
    r.right += p;
    const int32_t grow = 3 - std::min(p, 2);
    InsetRect32(&r, -grow, -grow);
    return r;
}

LRect NodeBounds(const ElementRecord* e) {
    const Point a = e->points.point1, b = e->points.point2;
    LRect r = Span(a.v, a.h, b.v, b.h);
    InsetRect32(&r, -2, -2);
    r.bottom += 1;
    r.right += 1;
    const auto* node = ElementAs<NodeElement>(e);
    if (e->penWidth == 2) {
        r.top -= 1;
        r.left -= 1;
    } else if (node->bubbleRadius >= 3) {
        Point shortened;
        Rect bubble;
        const int32_t side = CalcNodeBubbleInfo(e, &shortened, &bubble);
        const int32_t grow = node->bubbleRadius - 1;
        if (side == 1 || side == 3) {
            r.top -= grow;
            r.bottom += grow;
        } else if (side == 2 || side == 4) {
            r.left -= grow;
            r.right += grow;
        }
    }
    return r;
}

// A rectangle-like shape: the rectangle, bottom and right + p, moved by (-h, -h).
LRect FramedBounds(const Rect& rect, int32_t p) {
    LRect r = ToLRect(rect);
    r.bottom += p;
    r.right += p;
    OffsetRect32(&r, -(p / 2), -(p / 2));
    return r;
}

// ---- Drawing ----

struct DrawSetup {
    bool setColors;   // DrawElement and EraseElement: colours of their own; RecordElement: none
    VXColor frame;
    VXColor fill;
};

void UseColor(const DrawSetup& s, VXColor color) {
    if (s.setColors) QZSetColor(nullptr, color, false);
}

bool SelectionMeets(const ElementRecord* e) {
    if (!gDrawElmtSelRgn) return false;
    const LRect bounds = ToLRect(e->bounds);
    return VXRectMeetsRgn(&bounds, gDrawElmtSelRgn);
}

// Paints again, clipped to the selection region, in the selection brush.
template <class Paint>
void PaintSelection(const DrawSetup& s, const ElementRecord* e, Paint paint) {
    VXGrafState* state = VXGetCurrentGrafState();
    if (!state || !SelectionMeets(e)) return;
    VXSectClipRgn(state, gDrawElmtSelRgn, true);
    UseColor(s, kSelectionBrush);
    paint();
    VXPopClip(state);
}

// A rectangle, oval, rounded rectangle or arc: the fill, then the frame.
template <class Shape>
void DrawShape(const DrawSetup& s, const ElementRecord* e, Shape shape) {
    if (e->flags & kElementFilled) {
        if (gGenFlags & kGenSymbolCapture) {
            VXAddDisplayComment(kCommentFilled, nullptr, 0);
        } else {
            UseColor(s, s.fill);
            shape(1);
            PaintSelection(s, e, [&] { shape(1); });
            if (gGenFlags & kGenDXFExport) return;
        }
    }
    UseColor(s, s.frame);
    shape(0);
}

void DrawPoly(const DrawSetup& s, ElementRecord* e) {
    const int16_t count = int16_t(HeldPoints(e, ElementSize(e)));
    if (count <= 0) return;
    const Point* points = PolyPoints(e);
    if (e->flags & kElementFilled) {
        if (gGenFlags & kGenSymbolCapture) {
            VXAddDisplayComment(kCommentFilled, nullptr, 0);
        } else {
            const int32_t pen = VXGetPenWidth();
            if (!(gGenFlags & kGenDXFExport)) VXSetPenWidth(1);
            UseColor(s, s.fill);
            VXPolyDispatch(points, count, 1);
            PaintSelection(s, e, [&] { VXPolyDispatch(points, count, 1); });
            VXSetPenWidth(pen);
        }
    }
    UseColor(s, s.frame);
    VXPolyDispatch(points, count, 0);
}

void DrawArrow(const DrawSetup& s, ElementRecord* e) {
    Point head[4], end = e->points.point2;
    UseColor(s, s.frame);
    if (CalcArrowHead(e, head, &end)) {
        const int32_t pen = VXGetPenWidth();
        VXSetPenWidth(1);
        VXPolyDispatch(head, 4, 0);
        VXPolyDispatch(head, 4, 1);
        VXSetPenWidth(pen);
    }
    VXMoveTo(e->points.point1.h, e->points.point1.v);
    VXLineTo(end.h, end.v);
}

void DrawNode(const DrawSetup& s, ElementRecord* e) {
    Point from = e->points.point2;
    const Point to = e->points.point1;
    if (e->penWidth == 1) {
        Point shortened;
        Rect bubble;
        if (CalcNodeBubbleInfo(e, &shortened, &bubble)) {
            const bool filled = e->flags & kElementFilled;
            UseColor(s, filled ? s.fill : s.frame);
            VXOvalDispatch(&bubble, filled ? 1 : 0);
            from = shortened;
        }
    }
    if (e->penWidth == 2 && !(gGenFlags & kGenSymbolCapture)) {
        const int32_t orientation = Node_Orient(e);
        if (orientation == 4) from.v = int16_t(from.v + 1);
        if (orientation == 1) from.h = int16_t(from.h + 1);
    }
    UseColor(s, s.frame);
    VXMoveTo(from.h, from.v);
    VXLineTo(to.h, to.v);
    if ((gGenFlags & kGenPortMarkers) && !(gGenFlags & kGenHidePortMarkers)) DrawPinPortMarker(e->penWidth, Node_Orient(e));
}

void DrawImage(const DrawSetup& s, ElementRecord* e, ImageList* images) {
    const Rect& r = e->rect;
    if (gGenFlags & kGenDXFExport) {
        const int32_t pen = VXGetPenWidth();
        VXSetPenWidth(1);
        UseColor(s, s.frame);
        VXRectDispatch(&e->bounds, 0);
        VXMoveTo(r.left, r.top);
        VXLineTo(r.right, r.bottom);
        VXMoveTo(r.right, r.top);
        VXLineTo(r.left, r.bottom);
        VXSetPenWidth(pen);
        return;
    }
    const auto* element = ElementAs<ImageElement>(e);
    VXPixels* pixels = GetImageFromImageList(images, element->imageId, false);
    if (!pixels) return;
    VXPixels* turned = nullptr;
    if (element->orientation != 0) {
        turned = VXTransformPixelImage(pixels, element->orientation);
        if (!turned) return;
        pixels = turned;
    }
    const Rect source{0, 0, int16_t(pixels->height), int16_t(pixels->width)};
    const Rect dest = e->bounds;
    const bool oneBit = pixels->depth == 8;
    VXGrafState* state = VXGetCurrentGrafState();
    const VXColor back = VXGetBackColor();
    int16_t mode = 0;
    if (oneBit) {
        UseColor(s, s.frame);
        if (e->flags & kElementFilled) {
            if (s.setColors) QZSetColor(nullptr, s.fill, true);
            mode = kPixelsMaskOnBack;
        } else {
            mode = state && state->drawMode ? state->drawMode : kPixelsMask;
        }
    }
    VXDrawPixels(pixels, &source, &dest, mode);
    if (state && SelectionMeets(e)) {
        VXSectClipRgn(state, gDrawElmtSelRgn, true);
        if (oneBit) {
            if (s.setColors) QZSetColor(nullptr, kSelectionBrush, true);
            VXDrawPixels(pixels, &source, &dest, kPixelsMaskOnBack);
        } else {
            UseColor(s, kSelectionBrush);
            VXSetStockPattern(2);
            const uint8_t previous = VXSetDrawMode(1);
            VXRectDispatch(&dest, 1);
            VXSetDrawMode(previous);
        }
        VXPopClip(state);
    }
    if (s.setColors) QZSetColor(nullptr, back, true);
    if (turned) VXDestroyPixelImage(turned);
}

void DrawBody(const DrawSetup& s, ElementRecord* e, ImageList* images) {
    switch (e->kind) {
        case kElementLine:
            UseColor(s, s.frame);
            VXMoveTo(e->points.point1.h, e->points.point1.v);
            VXLineTo(e->points.point2.h, e->points.point2.v);
            break;
        case kElementArrow: DrawArrow(s, e); break;
        case kElementRect: DrawShape(s, e, [e](int8_t verb) { VXRectDispatch(&e->rect, verb); }); break;
        case kElementOval: DrawShape(s, e, [e](int8_t verb) { VXOvalDispatch(&e->rect, verb); }); break;
        case kElementRoundRect: {
            const auto* rr = ElementAs<RoundRectElement>(e);
            DrawShape(s, e, [e, rr](int8_t verb) {
                VXRoundRectDispatch(&e->rect, rr->ovalWidth, rr->ovalHeight, verb);
            });
            break;
        }
        case kElementArc: {
            const auto* arc = ElementAs<ArcElement>(e);
            DrawShape(s, e, [e, arc](int8_t verb) {
                VXArcDispatch(&e->rect, arc->startAngle, arc->arcAngle, verb);
            });
            break;
        }
        case kElementPoly: DrawPoly(s, e); break;
        case kElementNode: DrawNode(s, e); break;
        case kElementImage: DrawImage(s, e, images); break;
        default: break;
    }
}

// The colour an element draws its frame (or fill) in.
VXColor ElementColor(const ElementRecord* e, uint16_t ownFlag, uint32_t own) {
    const bool colour = PrefsColorDrawing() && (gGenFlags & kGenColorDrawing);
    return (e->flags & ownFlag) && colour ? own : gDefaultColor;
}

}  // namespace

MemPoolRecord* ElementPool() {
    if (!gElementPool) gElementPool = CreatePool(kElementPoolPage);
    return gElementPool;
}

uint32_t ElementKindSize(uint8_t kind, int32_t pointCount) {
    if (kind == kElementPoly)
        return pointCount < 0 || pointCount > 0x7FFF ? 0 : kElementPolyHeadSize + 4 * uint32_t(pointCount);
    return KnownKind(kind) ? kElementHeadSize + uint32_t(TailSize(kind)) : 0;
}

uint32_t ElementSize(const ElementRecord* e) {
    return ElementKindSize(e->kind, e->kind == kElementPoly ? ElementAs<PolyElement>(e)->pointCount : 0);
}

// ---- Element lists ----

LinkListHeader* CreateElementList(ImageList* images) {
    LinkListHeader* list = LLCreate(gGenPool, kElementListItemSize, 0);
    if (!list) return nullptr;
    LLSetFreeProc(list, ElementListFreeProc);
    list->owner = images;
    return list;
}

ImageList* SetElementListImageList(LinkListHeader* list, ImageList* images) {
    if (!list) return nullptr;
    return static_cast<ImageList*>(std::exchange(list->owner, images));
}

ImageList* GetElementListImageList(const LinkListHeader* list) {
    return list ? static_cast<ImageList*>(list->owner) : nullptr;
}

void DestroyElementList(LinkListHeader* list) {
    if (list) LLDispose(list, true);
}

void DestroyElement(ElementRecord* e, ImageList* images) {
    if (!e) return;
    ReleaseContent(e, images);
    MemFreePtr(e);
}

ElementRecord* DuplicateElement(const ElementRecord* e, bool copyPinData, ImageList* source,
                                ImageList* destination) {
    if (!e) return nullptr;
    const uint32_t size = ElementSize(e);
    if (size == 0 || !ElementPool()) return nullptr;
    auto* copy = reinterpret_cast<ElementRecord*>(AllocPtrWithData(gElementPool, e, size));
    if (!copy) return nullptr;
    copy->next = nullptr;
    if (copy->kind == kElementNode) {
        auto* node = ElementAs<NodeElement>(copy);
        const auto* original = ElementAs<NodeElement>(e);
        node->pinData = node->pinNumbers = nullptr;
        if (copyPinData) {
            if (original->pinData && !(node->pinData = CloneHandle(nullptr, original->pinData))) {
                MemFreePtr(copy);
                return nullptr;
            }
            if (original->pinNumbers &&
                !(node->pinNumbers = CloneHandle(nullptr, original->pinNumbers))) {
                DestroyElement(copy, nullptr);
                return nullptr;
            }
        }
    } else if (copy->kind == kElementImage) {
        auto* image = ElementAs<ImageElement>(copy);
        if (image->imageId >= 0 && source) {
            if (!GetImageFromImageList(source, image->imageId, true)) {
                image->imageId = -1;
            } else if (destination && destination != source) {
                const int32_t id = TransferImageListReference(source, image->imageId, destination);
                if (id < 0) ReleaseImageListImage(source, image->imageId);
                image->imageId = id;
            }
        }
    }
    return copy;
}

void ByteSwapElementBytes(void* record, uint32_t size) {
    if (size < kElementHeadSize) return;
    auto* e = static_cast<ElementRecord*>(record);
    ByteSwapTemplate(record, kElementHeadTemplate);
    auto* tail = static_cast<char*>(record) + kElementHeadSize;
    const uint32_t tailBytes = size - kElementHeadSize;
    switch (e->kind) {
        case kElementArrow:
        case kElementRoundRect:
        case kElementArc:
            if (tailBytes >= 4) ByteSwapWordArray(tail, 4);
            break;
        case kElementPoly:
            if (tailBytes >= 2) {
                ByteSwapWord(tail);
                ByteSwapWordArray(tail + 2, 4 * uint32_t(HeldPoints(e, size)));
            }
            break;
        case kElementNode:
            if (tailBytes >= 2) ByteSwapWord(tail);
            break;
        case kElementImage:
            if (tailBytes >= 8) ByteSwapTemplate(tail, "LW2");
            break;
        default: break;
    }
}

void ByteSwapElement(ElementRecord* e) {
    if (!e) return;
    const uint32_t held = SizeOfPtr(e);
    ByteSwapElementBytes(e, held ? held : kElementHeadSize);
}

// ---- Builders ----

ElementRecord* BuildCommonElement(uint8_t kind, Point point1, Point point2, int16_t penWidth,
                                  int16_t extra1, int16_t extra2, bool filled, bool frameGiven,
                                  uint32_t frameColor, bool fillGiven, uint32_t fillColor,
                                  bool optionalFill) {
    if (kind < kElementLine || kind > kElementArc) return nullptr;
    ElementRecord* e = AllocElement(kind, ElementKindSize(kind, 0));
    if (!e) return nullptr;
    e->penWidth = int8_t(penWidth);
    if (kind == kElementLine || kind == kElementArrow) {
        e->points = {point1, point2};
    } else {
        VXPt2Rect(point1, point2, &e->rect);
        if (filled) e->flags |= kElementFilled;
        if (optionalFill) e->flags |= kElementOptionalFill;
    }
    SetColors(e, frameGiven, frameColor, fillGiven && kind >= kElementRect, fillColor);
    if (kind == kElementArrow || kind == kElementRoundRect || kind == kElementArc) {
        auto* words = ElementAs<ArrowElement>(e);  // the three tails share one layout
        words->headLength = extra1;
        words->headAngle = extra2;
    }
    CalcElementBounds(e);
    return e;
}

ElementRecord* BuildPolyElement(int16_t count, Handle points, int16_t penWidth, bool filled,
                                bool frameGiven, uint32_t frameColor, bool fillGiven,
                                uint32_t fillColor, bool optionalFill) {
    if (count < 0) return nullptr;
    const uint32_t bytes = 4 * uint32_t(count);
    if (points && SizeOfHandle(points) < bytes) return nullptr;
    ElementRecord* e = AllocElement(kElementPoly, kElementPolyHeadSize + bytes);
    if (!e) return nullptr;
    e->penWidth = int8_t(penWidth);
    ElementAs<PolyElement>(e)->pointCount = count;
    if (filled) e->flags |= kElementFilled;
    if (optionalFill) e->flags |= kElementOptionalFill;
    SetColors(e, frameGiven, frameColor, fillGiven, fillColor);
    if (points) {
        if (bytes) std::memcpy(PolyPoints(e), *points, bytes);
        CalcElementBounds(e);
    }
    return e;
}

ElementRecord* BuildNodeElement(Point point1, Point point2, int16_t penWidth, uint8_t bubbleRadius,
                                bool filled, uint16_t serial, bool frameGiven, uint32_t frameColor,
                                bool fillGiven, uint32_t fillColor) {
    ElementRecord* e = AllocElement(kElementNode, ElementKindSize(kElementNode, 0));
    if (!e) return nullptr;
    e->penWidth = int8_t(penWidth);
    e->points = {point1, point2};
    if (filled) e->flags |= kElementFilled;
    SetColors(e, frameGiven, frameColor, fillGiven, fillColor);
    auto* node = ElementAs<NodeElement>(e);
    node->serial = serial;
    node->bubbleRadius = bubbleRadius;
    CalcElementBounds(e);
    return e;
}

ElementRecord* BuildImageElement(ImageList* images, VXPixels* image, uint8_t orientation,
                                 Point topLeft, int16_t width, int16_t height,
                                 int16_t hResolution, int16_t vResolution, bool filled,
                                 bool frameGiven, uint32_t frameColor, bool fillGiven,
                                 uint32_t fillColor) {
    ElementRecord* e = AllocElement(kElementImage, ElementKindSize(kElementImage, 0));
    if (!e) {
        VXDestroyPixelImage(image);
        return nullptr;
    }
    const bool quarter = orientation & 1;
    if (image) {
        const int16_t across = int16_t(quarter ? image->height : image->width);
        const int16_t down = int16_t(quarter ? image->width : image->height);
        if (width < 0) width = MulDiv16(across, int16_t(-width), quarter ? vResolution : hResolution);
        if (height < 0) height = MulDiv16(down, int16_t(-height), quarter ? hResolution : vResolution);
    }
    e->penWidth = 1;
    e->rect = {topLeft.v, topLeft.h, int16_t(topLeft.v + height - 1), int16_t(topLeft.h + width - 1)};
    if (filled) e->flags |= kElementFilled;
    SetColors(e, frameGiven, frameColor, fillGiven, fillColor);
    auto* element = ElementAs<ImageElement>(e);
    element->hResolution = hResolution;
    element->vResolution = vResolution;
    element->orientation = orientation;
    element->imageId = -1;
    if (image && images) element->imageId = AddImageToImageList(images, image);
    else VXDestroyPixelImage(image);
    CalcElementBounds(e);
    return e;
}

ElementRecord* BuildElement(ElementParamRecord* param) {
    const uint16_t given = param->flags;
    param->flags &= uint16_t(~(kElementOwnFrameColor | kElementOwnFillColor | kElementOptionalFill));
    const bool frameGiven = given & kElementOwnFrameColor, fillGiven = given & kElementOwnFillColor;
    const bool optionalFill = given & kElementOptionalFill;
    ElementRecord* e = nullptr;
    switch (param->kind) {
        case kElementLine:
        case kElementArrow:
        case kElementRect:
        case kElementOval:
        case kElementRoundRect:
        case kElementArc:
            e = BuildCommonElement(param->kind, param->point1, param->point2, param->penWidth,
                                   param->extra[0], param->extra[1], param->filled, frameGiven,
                                   param->frameColor, fillGiven, param->fillColor, optionalFill);
            break;
        case kElementPoly:
            e = BuildPolyElement(param->pointCount, param->points, param->penWidth, param->filled,
                                 frameGiven, param->frameColor, fillGiven, param->fillColor,
                                 optionalFill);
            break;
        case kElementNode:
            e = BuildNodeElement(param->point1, param->point2, param->penWidth,
                                 uint8_t(param->extra[1] & 0xFF), param->filled,
                                 uint16_t(param->extra[0]), frameGiven, param->frameColor,
                                 fillGiven, param->fillColor);
            break;
        case kElementImage:
            e = BuildImageElement(param->images, param->image, param->orientation, param->point1,
                                  param->point2.h, param->point2.v, param->hResolution,
                                  param->vResolution, param->filled, frameGiven,
                                  param->frameColor, fillGiven, param->fillColor);
            break;
        case kElementEmptyQuad:
            e = BuildPolyElement(4, nullptr, param->penWidth, param->filled, frameGiven,
                                 param->frameColor, fillGiven, param->fillColor, optionalFill);
            break;
        default: return nullptr;
    }
    if (e) e->flags |= param->flags;
    // The image builder takes no optional-fill argument; an image keeps the flag all the same
    // (symbol data and the information dialog carry it).
    if (e && optionalFill && e->kind == kElementImage) e->flags |= kElementOptionalFill;
    return e;
}

// ---- Geometry ----

void CalcElementBounds(ElementRecord* e) {
    if (!e) return;
    const int32_t p = PenOf(e);
    LRect r{};
    switch (e->kind) {
        case kElementLine: r = LineBounds(e); break;
        case kElementArrow: {
            r = LineBounds(e);
            Point head[4], end;
            if (CalcArrowHead(e, head, &end)) {
                Rect hb;
                VXGetPointsBounds(head, 4, &hb);
                LRect grown = ToLRect(hb);
                InsetRect32(&grown, -1, -1);
                Unite(&r, grown);
            }
            break;
        }
        case kElementRect:
        case kElementOval:
        case kElementRoundRect: r = FramedBounds(e->rect, p); break;
        case kElementArc: {
            Rect arc;
            GetMinimumArcBounds(e, &arc);
            r = FramedBounds(arc, p);
            break;
        }
        case kElementPoly: {
            const int32_t count = HeldPoints(e, ElementSize(e));
            if (count == 0) {
                VXSetEmptyRect(&e->rect);
                VXSetEmptyRect(&e->bounds);
                return;
            }
            VXGetPointsBounds(PolyPoints(e), count, &e->rect);
            r = FramedBounds(e->rect, p);
            break;
        }
        case kElementNode: r = NodeBounds(e); break;
        case kElementImage:
            r = ToLRect(e->rect);
            r.bottom += 1;
            r.right += 1;
            break;
        default: return;
    }
    NoteSheetItemBounds(e->bounds, ToRect(r));
    e->bounds = ToRect(r);
}

void OffsetElement(ElementRecord* e, Point offset) {
    if (!e) return;
    VXOffsetRect(&e->rect, offset.h, offset.v);
    VXOffsetRect(&e->bounds, offset.h, offset.v);
    if (offset.h || offset.v) NoteSheetItemPlaces();
    if (e->kind == kElementPoly)
        VXOffsetPoints(PolyPoints(e), HeldPoints(e, ElementSize(e)), offset.h, offset.v);
}

void OffsetElementList(LinkListHeader* list, Point offset) {
    for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next) OffsetElement(e, offset);
}

void GetMinimumArcBounds(const ElementRecord* arc, Rect* out) {
    const Rect& d = arc->rect;
    const Point centre{int16_t((d.top + d.bottom) / 2), int16_t((d.left + d.right) / 2)};
    const int16_t vRadius = int16_t(d.bottom - centre.v + 1), hRadius = int16_t(d.right - centre.h + 1);
    const auto* a = ElementAs<ArcElement>(arc);
    // A negative sweep covers the same arc as the positive one that ends where it starts.
    int32_t start = a->startAngle, sweep = a->arcAngle;
    if (sweep < 0) {
        start += sweep;
        sweep = -sweep;
    }
    sweep = std::min(sweep, 360);
    start = NormalizeRotationDegrees(start);
    const int32_t end = start + sweep;
    const bool filled = arc->flags & kElementFilled;
    auto pointAt = [&](int32_t degrees) {
        Point p;
        GetRadiusPoint(centre, hRadius, vRadius, degrees, &p);
        return p;
    };
    Point previous = pointAt(start);
    LRect r = Span(previous.v, previous.h, previous.v, previous.h);
    if (filled) Unite(&r, Span(previous.v, previous.h, centre.v, centre.h));
    for (int32_t angle = start; angle != end;) {
        const int32_t next = (angle / 90 + 1) * 90;
        angle = next < end ? next : end;
        const Point p = pointAt(angle);
        Unite(&r, Span(previous.v, previous.h, p.v, p.h));
        if (filled) Unite(&r, Span(p.v, p.h, centre.v, centre.h));
        previous = p;
    }
    *out = ToRect(r);
}

bool CalcArrowHead(const ElementRecord* arrow, Point head[4], Point* shaftEnd) {
    const auto* a = ElementAs<ArrowElement>(arrow);
    const int16_t h = int16_t(PenOf(arrow) / 2);
    const Point tail{int16_t(arrow->points.point1.v - h), int16_t(arrow->points.point1.h - h)};
    const Point tip{int16_t(arrow->points.point2.v - h), int16_t(arrow->points.point2.h - h)};
    const int32_t length = a->headLength;
    if (CalcLineLength(tail, tip) < length || length <= 0) return false;
    const int32_t angle = CalcLineAngle(tip, tail);
    head[0] = head[3] = tip;
    GetRadiusPoint(tip, int16_t(length), int16_t(length), angle - a->headAngle, &head[1]);
    GetRadiusPoint(tip, int16_t(length), int16_t(length), angle + a->headAngle, &head[2]);
    const int16_t shaft = int16_t(2 * (length / 3));
    if (shaftEnd) GetRadiusPoint(tip, shaft, shaft, angle, shaftEnd);
    return true;
}

int32_t CalcNodeBubbleInfo(const ElementRecord* node, Point* newPoint2, Rect* bubble) {
    const Point p1 = node->points.point1, p2 = node->points.point2;
    const int32_t r = ElementAs<NodeElement>(node)->bubbleRadius;
    if (r == 0 || (p1.v == p2.v) == (p1.h == p2.h)) return 0;
    const int32_t d = 2 * r + 1;
    int32_t side, v = p2.v, h = p2.h, top, left;
    if (p1.v == p2.v) {
        side = p1.h > p2.h ? 1 : 3;
        h = side == 1 ? p2.h + d : p2.h - d;
        left = side == 1 ? p2.h + 1 : h;
        top = p2.v - r;
        if (side == 1 ? !(h + 3 < p1.h) : !(h - 3 > p1.h)) return 0;
    } else {
        side = p1.v < p2.v ? 2 : 4;
        v = side == 2 ? p2.v - d : p2.v + d;
        top = side == 2 ? v : p2.v + 1;
        left = p2.h - r;
        if (side == 2 ? !(v - 3 > p1.v) : !(v + 3 < p1.v)) return 0;
    }
    *newPoint2 = {int16_t(v), int16_t(h)};
    *bubble = ToRect({top, left, top + 2 * r, left + 2 * r});
    return side;
}

int32_t Node_Orient(const ElementRecord* node) { return PinLineOrient(node->points.point1, node->points.point2); }

int32_t PinLineOrient(Point connection, Point body) {
    if (connection.h == body.h) return connection.v >= body.v ? 4 : 2;
    return connection.h < body.h ? 3 : 1;
}

bool IsPolyClosed(const ElementRecord* e) {
    if (!e || e->kind != kElementPoly) return false;
    const int32_t count = HeldPoints(e, ElementSize(e));
    if (count < 2) return false;
    const Point* p = PolyPoints(e);
    return p[0].v == p[count - 1].v && p[0].h == p[count - 1].h;
}

void GetDefaultArrow(int16_t penWidth, int16_t* length, int16_t* halfAngle) {
    static const int16_t kTable[3][2] = {{10, 23}, {13, 21}, {19, 19}};
    const bool listed = penWidth >= 1 && penWidth <= 3;
    *length = listed ? kTable[penWidth - 1][0] : 26;
    *halfAngle = listed ? kTable[penWidth - 1][1] : 17;
}

int16_t CalcLineAngle(Point a, Point b) {
    const int32_t m = std::max(std::abs(b.v - a.v), std::abs(b.h - a.h));
    const Rect square = ToRect({a.v - m, a.h - m, a.v + m, a.h + m});
    return AngleFromPoint(&square, b);
}

int32_t CalcLineLength(Point a, Point b) {
    const double dv = double(b.v) - a.v, dh = double(b.h) - a.h;
    return int32_t(std::floor(std::sqrt(dv * dv + dh * dh) + 0.5));
}

int16_t CalcModiferBoxSize(const WindowGeometry* window) {
    Point size{7, 7};
    PointsFromScale(window, &size, 1);
    if (size.h > 100) return 0;
    return size.h < 3 ? 2 : size.h;
}

// ---- Drawing ----

const VXGrafProcsRecord* SetCenterLineProcs(VXGrafState* window) {
    static VXGrafProcsRecord centre = [] {
        VXGrafProcsRecord table;
        VXSetCenterGrafProcs(&table);
        return table;
    }();
    if (!window) return nullptr;
    return std::exchange(window->grafProcs, &centre);
}

void RestoreGrafProcs(VXGrafState* window, const VXGrafProcsRecord* procs) {
    if (window) window->grafProcs = procs;
}

void DrawElement(ElementRecord* e, ImageList* images, bool withoutFill, bool xorMode) {
    VXGrafState* state = VXGetCurrentGrafState();
    if (!e || !state) return;
    VXPenNormal();
    uint8_t previousMode = 0;
    if (xorMode) {
        previousMode = VXSetDrawMode(2);
        withoutFill = true;
    }
    const bool centred = !(gGenFlags & kGenDXFExport);
    const VXGrafProcsRecord* procs = centred ? SetCenterLineProcs(state) : nullptr;
    Set_Fore_Color(e->kind == kElementNode ? kColorIndexPins : kColorIndexGraphics);
    gDefaultColor = VXGetForeColor();
    const uint16_t flags = e->flags;
    if ((gGenFlags & kGenOptionalFillsOff) && (flags & kElementOptionalFill)) withoutFill = true;
    if (withoutFill) e->flags &= uint16_t(~kElementFilled);
    VXSetPenWidth(e->penWidth);
    const DrawSetup setup{true, ElementColor(e, kElementOwnFrameColor, e->frameColor),
                          ElementColor(e, kElementOwnFillColor, e->fillColor)};
    DrawBody(setup, e, images);
    e->flags = flags;
    if (centred) RestoreGrafProcs(state, procs);
    if (xorMode) VXSetDrawMode(previousMode);
}

void EraseElement(ElementRecord* e) {
    VXGrafState* state = VXGetCurrentGrafState();
    if (!e || !state) return;
    const VXGrafProcsRecord* procs = SetCenterLineProcs(state);
    VXPenNormal();
    Set_Fore_Color(kColorIndexBackground);
    gDefaultColor = VXGetForeColor();
    const uint16_t flags = e->flags;
    e->flags &= uint16_t(~(kElementOwnFrameColor | kElementOwnFillColor));
    if (e->kind == kElementImage) {
        VXRectDispatch(&e->rect, 1);
    } else {
        VXSetPenWidth(e->penWidth);
        const DrawSetup setup{true, gDefaultColor, gDefaultColor};
        DrawBody(setup, e, nullptr);
    }
    e->flags = flags;
    RestoreGrafProcs(state, procs);
}

void DrawArcAngle(const ElementRecord* arc, int32_t angle) {
    if (!arc) return;
    Rect around = arc->rect;
    VXInsetRect(&around, -13, -13);
    const Point centre{int16_t((around.top + around.bottom) / 2), int16_t((around.left + around.right) / 2)};
    Point at{};
    GetRadiusPoint(centre, int16_t((around.right - around.left) / 2), int16_t((around.bottom - around.top) / 2),
                   angle, &at);
    char text[16];
    std::snprintf(text, sizeof text, "%d%s", int(angle), "\xC2\xB0");
    const auto length = int32_t(std::strlen(text));
    if (gDefaultStyle) VXSetTextStyle(gDefaultStyle);
    Set_Fore_Color(kColorIndexGraphics);
    const auto width = int32_t(VXMeasureTextBytes(text, length, kEncodingUTF8, false));
    VXMoveTo(at.h - width / 2, at.v + 4);
    VXDrawTextWithEncoding(text, length, kEncodingUTF8);
}

void DrawPinPortMarker(int32_t penWidth, int32_t orientation) {
    if (penWidth == 1) {
        Point pen;
        VXGetPenPosition(&pen);
        Point diamond[5] = {{2, 0}, {0, 2}, {-2, 0}, {0, -2}, {2, 0}};
        for (Point& p : diamond) p = {int16_t(p.v + pen.v), int16_t(p.h + pen.h)};
        VXPolyDispatch(diamond, 5, 0);
        return;
    }
    // Relative (dh, dv) steps: a move, then a line, four times.
    static const int8_t kOdd[8][2] = {{-1, -3}, {-2, 2}, {0, 1}, {2, 2},
                                      {1, 0},   {2, -2}, {0, -1}, {-2, -2}};
    static const int8_t kEven[8][2] = {{-3, 0}, {2, 2}, {1, 0},  {2, -2},
                                       {0, -1}, {-2, -2}, {-1, 0}, {-2, 2}};
    const auto& steps = (orientation & 1) ? kOdd : kEven;
    const int32_t pen = VXGetPenWidth();
    VXSetPenWidth(1);
    for (int i = 0; i < 8; i += 2) {
        VXMove(steps[i][0], steps[i][1]);
        VXLine(steps[i + 1][0], steps[i + 1][1]);
    }
    VXSetPenWidth(pen);
}

void RecordElement(ElementRecord* e, ImageList* images) {
    if (!e || !VXGetCurrentGrafState()) return;
    VXSetPenWidth(e->penWidth);
    const DrawSetup setup{false, 0, 0};
    DrawBody(setup, e, images);
}

// ---- Stored form ----

OSStatus WriteStoredElement(StreamRecord* stream, const ElementRecord* e) {
    const uint32_t size = ElementSize(e);
    if (size == 0) return status::kParamErr;
    if (OSStatus status = StreamWriteLong(stream, size - kElementHeadSize)) return status;
    uint8_t node[sizeof(NodeElement)];
    const void* bytes = e;
    if (e->kind == kElementNode) {
        std::memcpy(node, e, sizeof node);
        std::memset(node + offsetof(NodeElement, pinData), 0, 2 * sizeof(Handle));
        bytes = node;
    }
    return StreamWrite(stream, static_cast<const char*>(bytes) + sizeof(void*),
                       int32_t(size - sizeof(void*)));
}

OSStatus ReadStoredElement(StreamRecord* stream, int32_t storedHeadLength, int32_t tailLength,
                           bool swap, ImageList* images, ElementRecord** element) {
    *element = nullptr;
    if (storedHeadLength < 0 || tailLength < 0) return status::kUnknownFileKind;
    const int32_t left = GetStreamEnd(stream) - GetStreamPosition(stream);
    if (int64_t(storedHeadLength) + tailLength > left) return status::kEndOfFile;
    // The head, as far as it was stored; a longer head's extra bytes are skipped.
    uint8_t head[kElementHeadSize] = {};
    const int32_t headBytes = std::min<int32_t>(storedHeadLength, kElementHeadSize - 8);
    int32_t count = headBytes;
    if (OSStatus status = StreamRead(stream, head + 8, &count)) return status;
    count = storedHeadLength - headBytes;
    if (count > 0)
        if (OSStatus status = StreamRead(stream, nullptr, &count)) return status;
    const uint8_t kind = head[offsetof(ElementRecord, kind)];  // a byte: the same in either order
    if (!KnownKind(kind)) {
        count = tailLength;
        return StreamRead(stream, nullptr, &count);
    }
    const int32_t needed = kind == kElementPoly ? 2 : kind == kElementNode ? kNodeStoredMinimum
                                                                           : TailSize(kind);
    if (tailLength < needed) return status::kUnknownFileKind;
    const uint32_t size = kElementHeadSize + uint32_t(std::max(tailLength, TailSize(kind)));
    ElementRecord* e = AllocElement(kind, size);
    if (!e) return status::kOutOfMemory;
    std::memcpy(reinterpret_cast<char*>(e) + 8, head + 8, kElementHeadSize - 8);
    count = tailLength;
    if (OSStatus status = StreamRead(stream, reinterpret_cast<char*>(e) + kElementHeadSize, &count)) {
        MemFreePtr(e);
        return status;
    }
    e->next = nullptr;
    if (swap) ByteSwapElementBytes(e, kElementHeadSize + uint32_t(tailLength));
    if (kind == kElementPoly) {
        const int32_t n = ElementAs<PolyElement>(e)->pointCount;
        if (n < 0 || int64_t(n) * 4 + 2 > tailLength) {
            MemFreePtr(e);
            return status::kUnknownFileKind;
        }
    } else if (kind == kElementNode) {
        auto* node = ElementAs<NodeElement>(e);
        node->pinData = node->pinNumbers = nullptr;
    } else if (kind == kElementImage && images) {
        auto* image = ElementAs<ImageElement>(e);
        if (image->imageId < 0 || !GetImageFromImageList(images, image->imageId, true))
            image->imageId = -1;
    }
    CalcElementBounds(e);
    *element = e;
    return status::kNoErr;
}

}  // namespace plexa
