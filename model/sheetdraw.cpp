// Drawing of a sheet's texts, text frames and graphic elements; see sheetdraw.h.
#include "model/sheetdraw.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {

namespace {

// Preference colour kinds of sheet texts.
constexpr int16_t kTextColorPlain = 0, kTextColorPinNumber = 1, kTextColorFree = 2,
                  kTextColorSignal = 3, kTextColorBuss = 4, kTextColorBackground = 5;
constexpr VXColor kValueBoxColor = 0x00FFFFCC;  // pale yellow, plain RGB
constexpr VXColor kBlack = 0x07000000;
// Overscore ranges of a special text: pairs and the terminator.
constexpr int32_t kMaxOverscoreRuns = 64;

bool AdmitElement(const ElementRecord* e, const Rect* area, int32_t mode) {
    if ((mode & kGrafSkipHideable) && (e->flags & kElementHideable)) return false;
    const bool selected = e->flags & kElementSelected;
    if ((mode & kGrafSelectedOnly) && !selected) return false;
    if ((mode & kGrafUnselectedOnly) && selected) return false;
    const bool back = e->flags & kElementBackLayer;
    if ((mode & kGrafBackLayer) && !back) return false;
    if ((mode & kGrafFrontLayer) && back) return false;
    return !area || VXRectsOverlap(&e->bounds, area);
}

// The width of the first `count` bytes of the plain string in the current style.
int32_t PrefixWidth(const char* plain, int32_t count) {
    return count > 0 ? int32_t(VXMeasureTextBytes(plain, count, kEncodingUTF8, false)) : 0;
}

// Draws the elements (front to back, in list order) from the back-most one.
template <class Elements>
void DrawBackToFront(ImageList* images, const Elements& order, const Rect* area, int32_t mode) {
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        auto* e = static_cast<ElementRecord*>(*it);
        if (!AdmitElement(e, area, mode)) continue;
        const bool outline = (mode & kGrafSelectedOutline) && (e->flags & kElementSelected);
        DrawElement(e, images, outline, false);
    }
}

}  // namespace

void DrawGrafElements(LinkListHeader* list, const Rect* area, int32_t mode) {
    if (!list) return;
    // The list is kept front to back and is walked from its back-most element without being
    // touched, so that a drawing call that leaves through a failure signal cannot leave it out
    // of order.
    std::vector<ElementRecord*> order;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(list)); e; e = e->next) order.push_back(e);
    DrawBackToFront(GetElementListImageList(list), order, area, mode);
}

void DrawSheetGrafElements(SheetRecord* sheet, const Rect* area, int32_t mode) {
    if (!sheet || !sheet->elementList) return;
    if (!area) {
        DrawGrafElements(sheet->elementList, area, mode);
        return;
    }
    std::vector<void*> near;
    SheetItemsMeeting(sheet, SheetItemKind::kElement, *area, &near);
    DrawBackToFront(GetElementListImageList(sheet->elementList), near, area, mode);
}

void DrawSheetTextFrames(SheetRecord* sheet, VXGrafState* graf, const Rect* area) {
    if (!sheet || !sheet->textFrameList) return;
    if (area && VXEmptyRect(area)) return;
    if (graf) {
        VXGrafStateScope scope(graf);
        DrawSheetTextFrames(sheet, nullptr, area);
        return;
    }
    std::vector<void*> frames;
    if (area) {
        SheetItemsMeeting(sheet, SheetItemKind::kTextFrame, *area, &frames);
    } else {
        for (void* item = LLFirst(sheet->textFrameList); item; item = LLGetNext(sheet->textFrameList, item))
            frames.push_back(item);
    }
    for (void* item : frames) {
        auto frame = static_cast<TextFrameHandle>(item);
        if (area) {
            Rect grown = (*frame)->bounds;
            VXInsetRect(&grown, -2, -2);
            if (!VXRectsOverlap(&grown, area)) continue;
        }
        DrawTextFrame(frame, false);
    }
}

void CalcRotatedTextOrigin(const TextRecord* text, int32_t degrees, Point* out) {
    Point at = text->position;
    if (text->flags & kTextFlagRightAligned) {
        const int16_t o = text->anchorOffset;
        switch (degrees) {
            case 270: at.v = int16_t(at.v - o); break;
            case 180: at.h = int16_t(at.h - o); break;
            case 90: at.v = int16_t(at.v + o); break;
            default: break;
        }
    }
    *out = at;
}

void DrawSpecialText(TextRecord* text, StringBlock block, bool rotated) {
    char plain[kTextPlainSize];
    int16_t runs[kMaxOverscoreRuns];
    const bool hasRuns =
        ExtractDrawSpecialText(text, block, plain, sizeof plain, runs, kMaxOverscoreRuns);
    Point start{};
    VXGetPenPosition(&start);
    VXDrawTextWithEncoding(plain, int32_t(std::strlen(plain)), kEncodingUTF8);
    if (!hasRuns) return;

    int32_t ascent = text->style ? text->style->metrics.overscore : 0;
    if (ascent == 0 && text->style) ascent = AutoCalcOverscoreAscent(text->style);
    const int32_t q = (ascent * 3641) / 65536;
    const int32_t pen = q + 1;
    const auto length = int32_t(std::strlen(plain));
    const int32_t rotation = text->flags & kTextFlagRotation;
    const int32_t savedPen = VXGetPenWidth();
    VXSetPenWidth(pen);
    for (int32_t i = 0; i + 1 < kMaxOverscoreRuns && runs[i] >= 0; i += 2) {
        const int32_t first = std::min<int32_t>(runs[i], length);
        const int32_t last = runs[i + 1] < 0 ? length : std::min<int32_t>(runs[i + 1], length);
        const auto v = int16_t(start.v - ascent - 2 * pen);
        Point ends[2] = {{v, int16_t(start.h + PrefixWidth(plain, first))},
                         {v, int16_t(start.h + PrefixWidth(plain, last) - pen)}};
        if (rotated && rotation) {
            for (Point& p : ends) {
                p.v = int16_t(p.v - start.v);
                p.h = int16_t(p.h - start.h);
            }
            // A text turned r quarters clockwise on the screen turns its points the same way.
            VXTransformPoints(rotation, ends, 2);
            for (Point& p : ends) {
                p.v = int16_t(p.v + start.v - (rotation == 3 ? pen : 0));
                p.h = int16_t(p.h + start.h - (rotation == 2 ? pen : 0));
            }
        }
        VXMoveTo(ends[0].h, ends[0].v);
        VXLineTo(ends[1].h, ends[1].v);
        if (runs[i + 1] < 0) break;
    }
    VXSetPenWidth(savedPen);
}

void DrawTextElement(TextRecord* text, StringBlock block) {
    if (!text) return;
    const bool hidden = text->flags & kTextFlagHidden;
    const bool valueLabel = text->flags & kTextFlagBoxed;
    if (hidden && valueLabel) {
        Rect box = text->bounds;
        VXInsetRect(&box, 2, 2);
        VXEraseRect(&box);
        return;
    }
    if (hidden) {
        Set_Fore_Color(kTextColorBackground);
    } else if (text->kind == kTextKindNetSymbol || text->kind == kTextKindSignal) {
        if (text->kind == kTextKindSignal && valueLabel) {
            Rect box = text->bounds;
            VXInsetRect(&box, 2, 2);
            QZSetColor(nullptr, kValueBoxColor, false);
            VXRectDispatch(&box, 1);
            QZSetColor(nullptr, kBlack, false);
            VXRectDispatch(&box, 0);
        } else {
            Set_Fore_Color(kTextColorSignal);
        }
    } else if (text->kind == kTextKindBuss) {
        Set_Fore_Color(kTextColorBuss);
    } else {
        Set_Fore_Color((text->kind & kTextKindPinAttribute) == kTextKindPinNumber
                           ? kTextColorPinNumber
                           : kTextColorPlain);
    }
    if (text->style) VXSetTextStyle(text->style);
    VXSetTextMode(1);

    const int32_t degrees = (text->flags & kTextFlagRotation) * 90;
    if (degrees) {
        VXSetTextRotation(int16_t(degrees));
        Point at{};
        CalcRotatedTextOrigin(text, degrees, &at);
        VXMoveTo(at.h, at.v);
    } else {
        VXMoveTo(text->position.h + text->anchorOffset, text->position.v);
    }
    if (text->flags & kTextFlagSpecial) {
        DrawSpecialText(text, block, degrees != 0);
    } else {
        char string[kStringSpecBufferSize];
        const int32_t length = GetTextRecordString(text, block, string, sizeof string);
        if (length > 0) VXDrawTextWithEncoding(string, length, kEncodingUTF8);
    }
    VXSetTextRotation(0);
    if (hidden) Set_Fore_Color(kTextColorFree);
}

}  // namespace plexa
