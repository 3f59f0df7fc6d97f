// Scaling of element, text and frame lists.
#include "library/scaling.h"

#include <algorithm>
#include <iterator>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/rectmath.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {
namespace {

constexpr uint32_t kStyleFields = kStyleFont | kStyleSize | kStyleFace;
// A thin line stays below this width.
constexpr int16_t kThickPen = 5;
constexpr int16_t kLargestPinSize = 9;

struct SizePair {
    uint16_t from, to;
};
constexpr SizePair kSizeMap[] = {{7, 9},   {8, 9},   {9, 12},  {10, 12}, {11, 12}, {12, 14},
                                 {13, 14}, {14, 18}, {15, 18}, {16, 18}, {17, 18}, {18, 24}};

int16_t Scale(int16_t value, int16_t num, int16_t den) { return MulDiv16(value, num, den); }

void ScalePoint(Point* p, int16_t num, int16_t den) {
    VXScalePoints(p, 1, Point{num, num}, Point{den, den});
}

// A copy of the style (or the default style) scaled, installed through the list.
template <class Install>
void ScaleStyleOf(const txStyle* style, int16_t num, int16_t den, Install install) {
    txStyle* scratch = GetScratchStyle();
    if (!scratch) return;
    CopyTextStyle(style ? style : gDefaultStyle, scratch);
    ScaleTextStyle(scratch, num, den);
    install(scratch);
    ReleaseScratchStyle(scratch);
}

}  // namespace

void ScaleElement(ElementRecord* e, int16_t num, int16_t den) {
    if (!e) return;
    switch (e->kind) {
        case kElementLine:
        case kElementArrow:
        case kElementNode:
            ScalePoint(&e->points.point1, num, den);
            ScalePoint(&e->points.point2, num, den);
            break;
        default: {
            Point corners[2] = {{e->rect.top, e->rect.left}, {e->rect.bottom, e->rect.right}};
            VXScalePoints(corners, 2, Point{num, num}, Point{den, den});
            e->rect = {corners[0].v, corners[0].h, corners[1].v, corners[1].h};
            break;
        }
    }
    if (e->kind == kElementNode) {
        auto* node = ElementAs<NodeElement>(e);
        if (node->bubbleRadius != 0) {
            const int32_t s = MulDiv32(2 * int32_t(node->bubbleRadius), num, den);
            node->bubbleRadius = uint8_t(s < 2 ? 1 : s < 20 ? s / 2 : kLargestPinSize);
        }
    } else {
        const int16_t old = e->penWidth;
        int16_t width = std::max<int16_t>(Scale(old, num, den), 1);
        if (width >= kThickPen && old < kThickPen) width = kThickPen - 1;
        e->penWidth = int8_t(std::min<int16_t>(width, INT8_MAX));
    }
    switch (e->kind) {
        case kElementPoly:
            VXScalePoints(PolyPoints(e), ElementAs<PolyElement>(e)->pointCount, Point{num, num},
                          Point{den, den});
            break;
        case kElementRoundRect: {
            auto* r = ElementAs<RoundRectElement>(e);
            r->ovalWidth = Scale(r->ovalWidth, num, den);
            r->ovalHeight = Scale(r->ovalHeight, num, den);
            break;
        }
        case kElementArrow: {
            auto* a = ElementAs<ArrowElement>(e);
            a->headLength = Scale(a->headLength, num, den);
            if (a->headLength == 0 || a->headAngle == 0)
                GetDefaultArrow(e->penWidth, &a->headLength, &a->headAngle);
            break;
        }
        default: break;
    }
    CalcElementBounds(e);
}

void ScaleElementList(LinkListHeader* list, int16_t num, int16_t den) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
        ScaleElement(static_cast<ElementRecord*>(item), num, den);
}

void ScaleTextStyle(txStyle* style, int16_t num, int16_t den) {
    if (!style || den == 0) return;
    if (int32_t(num) * 72 == int32_t(den) * 96) {
        const auto found = std::find_if(std::begin(kSizeMap), std::end(kSizeMap),
                                        [style](const SizePair& p) { return p.from == style->size; });
        if (found != std::end(kSizeMap)) {
            SetStyleSize(style, found->to);
            return;
        }
    }
    const int32_t size = MulDiv32(style->size, num, den);
    SetStyleSize(style, uint16_t(std::clamp<int32_t>(size, 1, UINT16_MAX)));
}

void ScaleTextRecord(TextRecord* text, int16_t num, int16_t den, TextStyleList* styles) {
    if (!text) return;
    ScalePoint(&text->position, num, den);
    if (styles)
        ScaleStyleOf(text->style, num, den, [&](const txStyle* scaled) {
            InstallStyleInText(text, scaled, kStyleFields, styles);
        });
}

void ScaleTextList(LinkListHeader* texts, TextStyleList* styles, StringBlock block,
                   VXWindowRecordTag* window, int16_t num, int16_t den, bool allStyles) {
    for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
        auto* text = static_cast<TextRecord*>(item);
        const bool themed = text->flags & kTextFlagThemed;
        ScaleTextRecord(text, num, den, themed && !allStyles ? nullptr : styles);
    }
    for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item))
        CalcTextBounds(window, static_cast<TextRecord*>(item), block);
}

void ScaleTextFrame(TextFrameHandle frame, int16_t num, int16_t den, TextStyleList* styles) {
    if (!frame) return;
    ScalePoint(&(*frame)->position, num, den);
    if (styles)
        ScaleStyleOf((*frame)->style, num, den, [&](const txStyle* scaled) {
            InstallStyleInFrame(frame, scaled, kStyleFields, styles);
        });
}

void ScaleTextFrameList(LinkListHeader* frames, TextStyleList* styles, VXWindowRecordTag* window,
                        int16_t num, int16_t den, bool allStyles) {
    for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item)) {
        auto frame = static_cast<TextFrameHandle>(item);
        const bool themed = (*frame)->flags & kFrameFlagThemed;
        ScaleTextFrame(frame, num, den, themed && !allStyles ? nullptr : styles);
    }
    for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item))
        CalcTextFrameBounds(window, static_cast<TextFrameHandle>(item), true, -1);
}

}  // namespace plexa
