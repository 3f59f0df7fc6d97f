// The order, origin and stored form of symbol views; see symbolview.h.
#include "symboleditor/symbolview.h"

#include <algorithm>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/symrecord.h"

namespace plexa {

namespace {

int32_t Order(int32_t a, int32_t b) { return a < b ? 1 : a > b ? -1 : 0; }  // ascending

// Font name (ignoring case), size and face, ascending; a missing style has an empty name.
int32_t CompareStyles(const txStyle* a, const txStyle* b) {
    char nameA[256] = "", nameB[256] = "";
    if (a) GetStyleFont(a, nameA);
    if (b) GetStyleFont(b, nameB);
    if (const int names = StrCINCmp(nameA, nameB, sizeof nameA)) return names < 0 ? 1 : -1;
    if (const int32_t size = Order(a ? a->size : 0, b ? b->size : 0)) return size;
    return Order(a ? a->face : 0, b ? b->face : 0);
}

int32_t ComparePositions(Point a, Point b) { return -ComparePointsVH(a, b); }

template <class Item>
std::vector<Item*> Items(LinkListHeader* list) {
    std::vector<Item*> items;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
        items.push_back(static_cast<Item*>(item));
    return items;
}

// Sorts the list with `before` (stable); true when the order changed.
template <class Item, class Before>
bool SortList(LinkListHeader* list, Before before) {
    std::vector<Item*> items = Items<Item>(list);
    // A stable sort leaves a list without an adjacent pair out of order as it is.
    if (std::is_sorted(items.begin(), items.end(), before)) return false;
    std::stable_sort(items.begin(), items.end(), before);
    LLRemoveOrFreeAll(list, false);
    void* previous = nullptr;
    for (Item* item : items) previous = LLInsert(list, previous, item);
    return true;
}

bool KeepsGraphicsOrder(LinkListHeader* elements) {
    bool fillOrImage = false, ownColour = false;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e; e = e->next) {
        fillOrImage |= e->kind == kElementImage || (e->flags & kElementFilled);
        ownColour |= (e->flags & (kElementOwnFrameColor | kElementOwnFillColor)) != 0;
    }
    return fillOrImage && ownColour;
}

// The rectangle an element counts with for the origin.
Rect OriginRect(const ElementRecord* e) {
    Rect r;
    if (e->kind == kElementArc) GetMinimumArcBounds(e, &r);
    else if (e->kind == kElementPoly) r = e->rect;
    else VXPt2Rect(e->points.point1, e->points.point2, &r);
    if (RectIsEmpty(r)) {
        r.bottom = int16_t(r.top + 1);
        r.right = int16_t(r.left + 1);
    }
    return r;
}

bool HasGraphics(LinkListHeader* elements) {
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e; e = e->next)
        if (e->kind != kElementNode) return true;
    return false;
}

}  // namespace

int32_t SortSymbolElmtCompareProc(const ElementRecord* a, const ElementRecord* b,
                                  bool keepGraphicsOrder) {
    const bool pinA = a->kind == kElementNode, pinB = b->kind == kElementNode;
    if (pinA != pinB) return pinA ? 1 : -1;
    if (!pinA && keepGraphicsOrder) return 0;
    if (const int32_t kind = Order(a->kind, b->kind)) return kind;
    const Point a1 = a->points.point1, a2 = a->points.point2;
    const Point b1 = b->points.point1, b2 = b->points.point2;
    if (const int32_t top = Order(a1.v, b1.v)) return top;
    if (const int32_t left = Order(a1.h, b1.h)) return left;
    if (const int32_t height = Order(a2.v - a1.v, b2.v - b1.v)) return height;
    return Order(a2.h - a1.h, b2.h - b1.h);
}

int32_t SortSymbolTextCompareProc(const TextRecord* a, const TextRecord* b) {
    const bool themedA = a->flags & kTextFlagThemed, themedB = b->flags & kTextFlagThemed;
    if (themedA != themedB) return themedA ? -1 : 1;
    if (!themedA)
        if (const int32_t styles = CompareStyles(a->style, b->style)) return styles;
    if (const int32_t length = Order(StringSpecLength(b->text), StringSpecLength(a->text)))
        return length;  // longer first
    return ComparePositions(a->position, b->position);
}

int32_t SortSymbolFramesCompareProc(TextFrameHandle a, TextFrameHandle b) {
    const bool themedA = (*a)->flags & kFrameFlagThemed, themedB = (*b)->flags & kFrameFlagThemed;
    if (themedA != themedB) return themedA ? -1 : 1;
    if (!themedA)
        if (const int32_t styles = CompareStyles((*a)->style, (*b)->style)) return styles;
    Point anchorA, anchorB;
    GetTextFrameAnchorPoint(a, true, &anchorA);
    GetTextFrameAnchorPoint(b, true, &anchorB);
    return ComparePositions(anchorA, anchorB);
}

bool SortSymbolView(LinkListHeader* const elements[2], LinkListHeader* const texts[2],
                    LinkListHeader* const frames[2], int32_t view) {
    LinkListHeader* list = elements[view];
    const bool keep = KeepsGraphicsOrder(list);
    const bool changed = SortList<ElementRecord>(list, [keep](const ElementRecord* a, const ElementRecord* b) {
        return SortSymbolElmtCompareProc(a, b, keep) > 0;
    });
    if (texts && texts[view]) {
        std::vector<ElementRecord*> order = Items<ElementRecord>(list);
        for (TextRecord* text : Items<TextRecord>(texts[view])) {
            if (text->kind < kTextKindPinNumber) continue;
            const auto* pin = reinterpret_cast<const ElementRecord*>(text->owner);
            const auto found = std::find(order.begin(), order.end(), pin);
            if (found == order.end()) continue;
            text->kind = uint16_t((text->kind & ~kPinTextIndexMask) |
                                  (uint16_t(found - order.begin()) & kPinTextIndexMask));
        }
        SortList<TextRecord>(texts[view], [](const TextRecord* a, const TextRecord* b) {
            return SortSymbolTextCompareProc(a, b) > 0;
        });
    }
    if (frames && frames[view]) {
        SortList<TextFrameRecord*>(frames[view], [](TextFrameHandle a, TextFrameHandle b) {
            return SortSymbolFramesCompareProc(a, b) > 0;
        });
    }
    return changed;
}

void GetSymbolViewOrigin(LinkListHeader* const elements[2], int32_t view, bool selectedOnly,
                         Point* origin) {
    Rect all;
    VXSetEmptyRect(&all);
    const ElementRecord* nearest = nullptr;
    int32_t nearestDistance = 0;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements[view])); e; e = e->next) {
        if (selectedOnly && !(e->flags & kElementSelected)) continue;
        const Rect r = OriginRect(e);
        all.top = std::min(all.top, r.top);
        all.left = std::min(all.left, r.left);
        all.bottom = std::max(all.bottom, r.bottom);
        all.right = std::max(all.right, r.right);
        if (e->kind != kElementNode) continue;
        const Point p = e->points.point1;
        const int32_t distance = VXCalcDistance(0, 0, p.h, p.v);
        if (!nearest || distance < nearestDistance) {
            nearest = e;
            nearestDistance = distance;
        }
    }
    if (nearest) *origin = nearest->points.point1;
    else if (VXEmptyRect(&all)) *origin = {0, 0};
    else *origin = {all.top, all.left};
}

void OffsetSymbolView(LinkListHeader* const elements[2], LinkListHeader* const texts[2],
                      LinkListHeader* const frames[2], int32_t view, int16_t dv, int16_t dh) {
    if (dv == 0 && dh == 0) return;
    if (elements && elements[view]) OffsetElementList(elements[view], Point{dv, dh});
    if (texts && texts[view]) OffsetTextList(texts[view], uint32_t(uint16_t(dh)) << 16 | uint16_t(dv));
    if (frames && frames[view]) OffsetTextFrameList(frames[view], dh, dv);
}

Handle FlattenSymbolView(LinkListHeader* const elements[2], LinkListHeader* const texts[2],
                         LinkListHeader* const frames[2], StringBlock block, int32_t view,
                         ImageList* images, Point* origin) {
    if (origin) *origin = {0, 0};
    if (!HasGraphics(elements[view])) return nullptr;
    LinkListHeader* textList = texts ? texts[view] : nullptr;
    LinkListHeader* frameList = frames ? frames[view] : nullptr;
    // Frames that hold a field reference are stored as field-reference texts.
    std::vector<TextFrameHandle> held;
    std::vector<TextRecord*> references;
    bool failed = false;
    if (textList) {
        for (TextFrameHandle frame : Items<TextFrameRecord*>(frameList)) {
            char name[kTextStringSize];
            if (!ExtractTextFrameAttrName(frame, name, sizeof name, nullptr)) continue;
            TextRecord* text = CreateTextElementFromTextFrame(frame, kTextKindSymbolAttribute, block,
                                                              nullptr, nullptr, false, nullptr);
            if (!text) {
                failed = true;
                break;
            }
            LLRemoveOrFree(frameList, frame, nullptr, false);
            LLPush(textList, text);
            held.push_back(frame);
            references.push_back(text);
        }
    }
    Handle data = nullptr;
    if (!failed) {
        SortSymbolView(elements, texts, frames, view);
        Point at;
        GetSymbolViewOrigin(elements, view, false, &at);
        if (origin) *origin = at;
        OffsetSymbolView(elements, texts, frames, view, int16_t(-at.v), int16_t(-at.h));
        data = ElementsToSymbolData(elements[view], textList, frameList, block, false, images);
        OffsetSymbolView(elements, texts, frames, view, at.v, at.h);
    }
    for (TextRecord* text : references) LLRemoveOrFree(textList, text, nullptr, true);
    for (auto frame = held.rbegin(); frame != held.rend(); ++frame) LLPush(frameList, *frame);
    return data;
}

void CalcSymbolViewBounds(const SymbolEditorRecord* editor, Rect* bounds) {
    VXSetEmptyRect(bounds);
    const int32_t view = editor->viewContext;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(editor->elementLists[view])); e; e = e->next)
        VXUnionRect(bounds, &e->bounds, bounds);
    for (void* item = LLFirst(editor->textLists[view]); item; item = LLGetNext(editor->textLists[view], item))
        VXUnionRect(bounds, &static_cast<TextRecord*>(item)->bounds, bounds);
    for (void* item = LLFirst(editor->frameLists[view]); item; item = LLGetNext(editor->frameLists[view], item))
        VXUnionRect(bounds, &(*static_cast<TextFrameHandle>(item))->bounds, bounds);
    if (!VXEmptyRect(bounds)) VXInsetRect(bounds, -2, -2);
}

}  // namespace plexa
