// Scaling of element, text and frame lists (see listscale.h).
#include "model/listscale.h"

#include <algorithm>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/sheetindex.h"
#include "model/texts.h"
#include "model/textframes.h"
#include "model/themes.h"

namespace plexa {

namespace {

// Old and new sizes at 96 / 72.
constexpr struct {
    uint16_t from, to;
} kSizeMap[] = {{7, 9},   {8, 9},   {9, 12},  {10, 12}, {11, 12}, {12, 14},
                {13, 14}, {14, 18}, {15, 18}, {16, 18}, {17, 18}, {18, 24}};

int16_t ScaleLength(int16_t value, int16_t num, int16_t den) { return MulDiv16(value, num, den); }

int8_t ScalePenWidth(int8_t width, int16_t num, int16_t den) {
    int32_t scaled = std::max<int32_t>(1, ScaleLength(width, num, den));
    if (scaled >= 5 && width < 5) scaled = 4;
    return int8_t(std::min<int32_t>(scaled, 127));
}

uint8_t ScalePinSize(uint8_t size, int16_t num, int16_t den) {
    if (size == 0) return 0;
    const int32_t s = MulDiv32(2 * size, num, den);
    if (s < 2) return 1;
    if (s < 20) return uint8_t(s / 2);
    return 9;
}

// A copy of the style (none: the default style) scaled and installed from the list; none when
// no style can be had.
txStyle* ScaledStyle(const txStyle* style, int16_t num, int16_t den, TextStyleList* styles) {
    txStyle* scratch = GetScratchStyle();
    if (!scratch) return nullptr;
    if (const txStyle* base = style ? style : gDefaultStyle) CopyTextStyle(base, scratch);
    else SetupDefaultStyle(scratch, kStyleUser);
    ScaleTextStyle(scratch, num, den);
    txStyle* installed = InstallStyleInList(scratch, styles);
    ReleaseScratchStyle(scratch);
    return installed;
}

}  // namespace

void ScalePoints(Point* points, int32_t count, int16_t num, int16_t den) {
    // Rounded half away from zero, and held at the ends of the 16-bit range rather than wrapped.
    const auto scale = [num, den](int16_t c) {
        return int16_t(std::clamp<int32_t>(MulDiv32(c, num, den), INT16_MIN, INT16_MAX));
    };
    for (int32_t i = 0; i < count; ++i) points[i] = Point{scale(points[i].v), scale(points[i].h)};
}

void Scale1Point(Point* point, int16_t num, int16_t den) { ScalePoints(point, 1, num, den); }

void ScaleElement(ElementRecord* element, int16_t num, int16_t den) {
    if (!element) return;
    ScalePoints(&element->points.point1, 2, num, den);
    if (element->kind == kElementNode) {
        auto* node = ElementAs<NodeElement>(element);
        node->bubbleRadius = ScalePinSize(node->bubbleRadius, num, den);
    } else {
        element->penWidth = ScalePenWidth(element->penWidth, num, den);
    }
    switch (element->kind) {
        case kElementPoly: {
            const int32_t count = std::max<int32_t>(0, ElementAs<PolyElement>(element)->pointCount);
            ScalePoints(PolyPoints(element), count, num, den);
            break;
        }
        case kElementRoundRect: {
            auto* round = ElementAs<RoundRectElement>(element);
            round->ovalWidth = ScaleLength(round->ovalWidth, num, den);
            round->ovalHeight = ScaleLength(round->ovalHeight, num, den);
            break;
        }
        case kElementArrow: {
            auto* arrow = ElementAs<ArrowElement>(element);
            arrow->headLength = ScaleLength(arrow->headLength, num, den);
            if (arrow->headLength == 0 || arrow->headAngle == 0)
                GetDefaultArrow(element->penWidth, &arrow->headLength, &arrow->headAngle);
            break;
        }
        default: break;
    }
    CalcElementBounds(element);
}

void ScaleElementList(LinkListHeader* list, int16_t num, int16_t den) {
    for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next)
        ScaleElement(e, num, den);
}

void ScaleTextStyle(txStyle* style, int16_t num, int16_t den) {
    if (!style) return;
    if (num == 96 && den == 72) {
        for (const auto& entry : kSizeMap)
            if (entry.from == style->size) {
                SetStyleSize(style, entry.to);
                return;
            }
    }
    const int32_t size = MulDiv32(style->size, num, den);
    SetStyleSize(style, uint16_t(std::clamp<int32_t>(size, 1, 0xFFFF)));
}

void ScaleTextRecord(TextRecord* text, int16_t num, int16_t den, TextStyleList* styles) {
    if (!text) return;
    Scale1Point(&text->position, num, den);
    NoteSheetItemPlaces();
    if (!styles) return;
    if (txStyle* style = ScaledStyle(text->style, num, den, styles)) text->style = style;
}

void ScaleTextList(LinkListHeader* list, TextStyleList* styles, StringBlock block,
                   VXWindowRecordTag* window, int16_t num, int16_t den, bool allStyles) {
    for (auto* t = static_cast<TextRecord*>(LLFirst(list)); t; t = t->link) {
        const bool keepStyle = (t->flags & kScaleKeepsStyleFlag) && !allStyles;
        ScaleTextRecord(t, num, den, keepStyle ? nullptr : styles);
    }
    CalcTextListBounds(window, nullptr, list, block);
}

void ScaleTextFrame(TextFrameHandle frame, int16_t num, int16_t den, TextStyleList* styles) {
    if (!frame) return;
    Scale1Point(&(*frame)->position, num, den);
    if (!styles) return;
    if (txStyle* style = ScaledStyle((*frame)->style, num, den, styles)) (*frame)->style = style;
}

void ScaleTextFrameList(LinkListHeader* list, TextStyleList* styles, VXWindowRecordTag* window,
                        int16_t num, int16_t den, bool allStyles) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto frame = static_cast<TextFrameHandle>(item);
        const bool keepStyle = ((*frame)->flags & kScaleKeepsStyleFlag) && !allStyles;
        ScaleTextFrame(frame, num, den, keepStyle ? nullptr : styles);
        CalcTextFrameBounds(window, frame, false, -1);
    }
}

}  // namespace plexa
