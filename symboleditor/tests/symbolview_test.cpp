// Symbol views: the canonical order of elements, texts and frames, the origin, and the stored
// form relative to it (pins-only views, the nearest pin, field-reference frames).
#include "symboleditor/symbolview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "symboleditor/tests/symeditor_testing.h"

namespace plexa::test {
namespace {

class SymbolView : public SymEditTest {
protected:
    void SetUp() override {
        SymEditTest::SetUp();
        images = CreateLocalImageList();
        for (int view = 0; view < 2; ++view) {
            elements[view] = CreateElementList(images);
            texts[view] = CreateTextList();
            frames[view] = CreateTextFrameList();
        }
    }
    void TearDown() override {
        for (int view = 0; view < 2; ++view) {
            DestroyElementList(elements[view]);
            DestroyTextList(texts[view]);
            DestroyTextFrameList(frames[view]);
        }
        DestroyImageList(images);
        SymEditTest::TearDown();
    }

    ElementRecord* Add(ElementRecord* e, int view = 0) {
        EXPECT_NE(e, nullptr);
        LLAppend(elements[view], e);
        return e;
    }
    ElementRecord* Pin(Point connection, Point body, int view = 0) {
        return Add(BuildNodeElement(connection, body, 1, 0, false, 0, false, 0, false, 0), view);
    }
    ElementRecord* Shape(uint8_t kind, Point a, Point b, bool filled = false, bool ownColour = false) {
        return Add(BuildCommonElement(kind, a, b, 1, 0, 90, filled, ownColour, 0xFF0000, false, 0, false));
    }
    TextRecord* Text(const char* string, uint16_t kind, uint16_t flags, Point at, uint16_t size = 12,
                     ElementRecord* pin = nullptr) {
        TextRecord* text = CreateTextElement();
        text->kind = kind;
        text->flags = flags;
        text->owner = reinterpret_cast<intptr_t>(pin);
        text->style = Style(size);
        SetupTheText(text, sheet.stringBlock, at, nullptr, string);
        LLAppend(texts[0], text);
        return text;
    }
    TextFrameHandle Frame(const char* utf8, Point at, uint16_t flags = 0, uint16_t size = 12) {
        TextFrameHandle frame = CreateTextFrame(utf8, -1, kEncodingUTF8);
        (*frame)->flags = flags;
        (*frame)->style = Style(size);
        (*frame)->position = at;
        CalcTextFrameBounds(nullptr, frame, true, kFrameDefaultWrapWidth);
        LLAppend(frames[0], frame);
        return frame;
    }

    std::vector<void*> Order(LinkListHeader* list) {
        std::vector<void*> items;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) items.push_back(item);
        return items;
    }
    std::string Strings(LinkListHeader* list) {
        std::string s;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            char text[kTextStringSize];
            GetTextRecordString(static_cast<TextRecord*>(item), sheet.stringBlock, text, sizeof text);
            s += (s.empty() ? "" : " ") + std::string(text);
        }
        return s;
    }

    // The data read back at (0, 0) into fresh lists, dumped.
    struct ReadBack {
        std::vector<std::string> elements, texts, frames;
    };
    ReadBack Read(Handle data) {
        ReadBack out;
        LinkListHeader* e = CreateElementList(nullptr);
        LinkListHeader* t = CreateTextList();
        LinkListHeader* f = CreateTextFrameList();
        EXPECT_EQ(SymbolDataToElements(*data, SizeOfHandle(data), nullptr, {0, 0}, e, t, f, sheet.styleList,
                                       sheet.stringBlock, nullptr),
                  0);
        for (auto* x = static_cast<ElementRecord*>(LLFirst(e)); x; x = x->next)
            out.elements.push_back(std::to_string(x->kind) + " " + std::to_string(x->points.point1.v) + "," +
                                   std::to_string(x->points.point1.h));
        for (void* x = LLFirst(t); x; x = LLGetNext(t, x)) {
            auto* text = static_cast<TextRecord*>(x);
            char string[kTextStringSize];
            GetTextRecordMacroString(text, sheet.stringBlock, string, sizeof string);
            out.texts.push_back(std::to_string(text->kind) + " " + std::to_string(text->flags & kTextFlagHidden) +
                                " " + string);
        }
        for (void* x = LLFirst(f); x; x = LLGetNext(f, x)) {
            char string[kTextStringSize];
            GetTextFrameTextAsString(static_cast<TextFrameHandle>(x), false, sizeof string, string);
            out.frames.push_back(string);
        }
        DestroyElementList(e);
        DestroyTextList(t);
        DestroyTextFrameList(f);
        return out;
    }

    ImageList* images = nullptr;
    LinkListHeader* elements[2] = {};
    LinkListHeader* texts[2] = {};
    LinkListHeader* frames[2] = {};
};

TEST_F(SymbolView, AViewOfOnlyPinsStoresNoData) {
    Pin({0, 0}, {0, 20});
    Pin({24, 0}, {24, 20});
    Point origin{7, 7};
    EXPECT_EQ(FlattenSymbolView(elements, texts, frames, sheet.stringBlock, 0, images, &origin), nullptr);
    EXPECT_EQ(origin.v, 0);
    EXPECT_EQ(origin.h, 0);
    // The empty alternate view stores nothing either.
    EXPECT_EQ(FlattenSymbolView(elements, texts, frames, sheet.stringBlock, 1, images, nullptr), nullptr);
}

TEST_F(SymbolView, TheNearestPinIsStoredAtTheOrigin) {
    Shape(kElementRect, {40, 60}, {120, 160});
    ElementRecord* far = Pin({100, 200}, {100, 160});
    ElementRecord* near = Pin({60, 48}, {60, 60});
    Point origin{};
    Handle data = FlattenSymbolView(elements, texts, frames, sheet.stringBlock, 0, images, &origin);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(origin.v, 60);
    EXPECT_EQ(origin.h, 48);
    NodeMap map = ExtractSymbolNodePositions(*data, SizeOfHandle(data), {0, 0});
    ASSERT_EQ(NodeMapCount(map), 2);
    const auto* points = reinterpret_cast<const Point*>(map + 2);
    EXPECT_EQ(points[0].v, 0);   // the pins are stored sorted: the upper one first
    EXPECT_EQ(points[0].h, 0);
    EXPECT_EQ(points[1].v, 40);
    EXPECT_EQ(points[1].h, 152);
    MemFreePtr(map);
    const ReadBack back = Read(data);
    EXPECT_EQ(back.elements, (std::vector<std::string>{"8 0,0", "8 40,152", "3 -20,12"}));
    MemFree(data);
    // The view is where it was, in the stored order.
    EXPECT_EQ(Order(elements[0]), (std::vector<void*>{near, far, LLLast(elements[0])}));
    EXPECT_EQ(near->points.point1.v, 60);
    EXPECT_EQ(far->points.point1.h, 200);
}

TEST_F(SymbolView, OriginTable) {
    struct Case {
        const char* what;
        std::vector<std::pair<Point, Point>> pins;
        std::vector<std::pair<Point, Point>> lines;
        int v, h;
    };
    const Case cases[] = {
        {"nothing", {}, {}, 0, 0},
        {"a line's corner", {}, {{{30, 50}, {10, 90}}}, 10, 50},
        {"a flat line counts", {}, {{{30, 50}, {30, 90}}, {{40, 70}, {40, 20}}}, 30, 20},
        {"negative places", {}, {{{-30, 50}, {10, -90}}}, -30, -90},
        {"a pin wins over graphics", {{{50, 50}, {50, 30}}}, {{{0, 0}, {5, 5}}}, 50, 50},
        {"the nearest pin", {{{50, 50}, {50, 30}}, {{-10, 20}, {-10, 40}}}, {}, -10, 20},
        {"the first of equally near", {{{0, 5}, {0, 30}}, {{5, 0}, {30, 0}}}, {}, 0, 5},
        {"distance rounds", {{{3, 3}, {3, 30}}, {{0, 4}, {0, 30}}}, {}, 3, 3},  // 4.24 and 4
    };
    for (const Case& c : cases) {
        LLRemoveOrFreeAll(elements[0], true);
        for (auto [a, b] : c.pins) Pin(a, b);
        for (auto [a, b] : c.lines) Shape(kElementLine, a, b);
        Point origin{99, 99};
        GetSymbolViewOrigin(elements, 0, false, &origin);
        EXPECT_EQ(origin.v, c.v) << c.what;
        EXPECT_EQ(origin.h, c.h) << c.what;
    }
    // An arc counts with its bounds; only selected elements count when asked.
    LLRemoveOrFreeAll(elements[0], true);
    ElementRecord* arc = Shape(kElementArc, {0, 0}, {100, 100});  // the quarter from the top, clockwise
    Shape(kElementRect, {-40, -40}, {-20, -20});
    Rect bounds;
    GetMinimumArcBounds(arc, &bounds);
    arc->flags |= kElementSelected;
    Point origin;
    GetSymbolViewOrigin(elements, 0, true, &origin);
    EXPECT_EQ(origin.v, bounds.top);
    EXPECT_EQ(origin.h, bounds.left);
    EXPECT_GT(origin.h, 0);
    GetSymbolViewOrigin(elements, 0, false, &origin);
    EXPECT_EQ(origin.v, -40);
}

TEST_F(SymbolView, ElementOrderAndASecondSortReportsNoChange) {
    ElementRecord* oval = Shape(kElementOval, {0, 0}, {10, 10});
    ElementRecord* rightRect = Shape(kElementRect, {20, 50}, {30, 60});
    ElementRecord* leftRect = Shape(kElementRect, {20, 10}, {30, 60});
    ElementRecord* tallRect = Shape(kElementRect, {20, 10}, {50, 60});
    ElementRecord* line = Shape(kElementLine, {90, 0}, {95, 5});
    ElementRecord* lowPin = Pin({40, 0}, {40, 20});
    ElementRecord* highPin = Pin({-40, 0}, {-40, 20});
    EXPECT_TRUE(SortSymbolView(elements, nullptr, nullptr, 0));
    EXPECT_EQ(Order(elements[0]),
              (std::vector<void*>{highPin, lowPin, line, leftRect, tallRect, rightRect, oval}));
    EXPECT_FALSE(SortSymbolView(elements, nullptr, nullptr, 0));
    EXPECT_FALSE(SortSymbolView(elements, texts, frames, 1));  // the empty view
}

TEST_F(SymbolView, ElementCompareTable) {
    struct Case { uint8_t kindA; Point a1, a2; uint8_t kindB; Point b1, b2; int sign; };
    const Case cases[] = {
        {kElementNode, {90, 90}, {90, 99}, kElementLine, {0, 0}, {1, 1}, 1},     // pins first
        {kElementLine, {90, 90}, {99, 99}, kElementRect, {0, 0}, {1, 1}, 1},     // lower kinds first
        {kElementRect, {5, 0}, {9, 9}, kElementRect, {-5, 9}, {9, 9}, -1},      // by top, signed
        {kElementRect, {5, -3}, {9, 9}, kElementRect, {5, 3}, {9, 9}, 1},        // then left
        {kElementRect, {5, 3}, {9, 9}, kElementRect, {5, 3}, {19, 9}, 1},       // then height
        {kElementRect, {5, 3}, {9, 19}, kElementRect, {5, 3}, {9, 9}, -1},      // then width
        {kElementRect, {5, 3}, {9, 9}, kElementRect, {5, 3}, {9, 9}, 0},
        {kElementLine, {5, 3}, {1, 9}, kElementLine, {5, 3}, {2, 9}, 1},        // a line's height is signed
    };
    for (const Case& c : cases) {
        ElementRecord* a = c.kindA == kElementNode
                               ? BuildNodeElement(c.a1, c.a2, 1, 0, false, 0, false, 0, false, 0)
                               : BuildCommonElement(c.kindA, c.a1, c.a2, 1, 0, 0, false, false, 0, false, 0, false);
        ElementRecord* b = BuildCommonElement(c.kindB, c.b1, c.b2, 1, 0, 0, false, false, 0, false, 0, false);
        const int32_t r = SortSymbolElmtCompareProc(a, b, false);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << int(c.kindA) << " " << int(c.kindB);
        const int32_t back = SortSymbolElmtCompareProc(b, a, false);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign);
        DestroyElement(a, nullptr);
        DestroyElement(b, nullptr);
    }
}

TEST_F(SymbolView, FilledAndColouredGraphicsKeepTheirStacking) {
    ElementRecord* top = Shape(kElementOval, {0, 0}, {10, 10}, true);
    ElementRecord* under = Shape(kElementRect, {-20, -20}, {30, 30}, false, true);
    ElementRecord* pin2 = Pin({30, 0}, {30, 20});
    ElementRecord* pin1 = Pin({10, 0}, {10, 20});
    EXPECT_TRUE(SortSymbolView(elements, nullptr, nullptr, 0));
    EXPECT_EQ(Order(elements[0]), (std::vector<void*>{pin1, pin2, top, under}));
    // Without the fill the kinds are ordered.
    top->flags &= uint16_t(~kElementFilled);
    EXPECT_TRUE(SortSymbolView(elements, nullptr, nullptr, 0));
    EXPECT_EQ(Order(elements[0]), (std::vector<void*>{pin1, pin2, under, top}));
}

TEST_F(SymbolView, TextOrderAndPinTextIndexes) {
    ElementRecord* pinB = Pin({50, 0}, {50, 20});
    ElementRecord* pinA = Pin({10, 0}, {10, 20});
    TextRecord* name = Text("B", kTextKindPinName | 5, 0, {45, 25}, 12, pinB);
    TextRecord* number = Text("1", kTextKindPinNumber | 9, 0, {5, 25}, 12, pinA);
    Text("themed", kTextKindFree, kTextFlagThemed, {0, 0});
    Text("small", kTextKindFree, 0, {200, 0}, 9);
    Text("long text", kTextKindFree, 0, {300, 0});
    Text("short", kTextKindFree, 0, {300, 0});
    Text("upper", kTextKindFree, 0, {-300, 50});
    Text("same", kTextKindFree, 0, {-300, -50});
    SortSymbolView(elements, texts, frames, 0);
    EXPECT_EQ(name->kind, kTextKindPinName | 1);     // pinB is the second pin now
    EXPECT_EQ(number->kind, kTextKindPinNumber | 0);
    // Size 9 before 12; then longer strings first, then by position (v, h), signed.
    EXPECT_EQ(Strings(texts[0]), "small long text upper short same 1 B themed");
}

TEST_F(SymbolView, FramesFollowStyleAndAnchor) {
    Frame("themed", {0, 0}, kFrameFlagThemed);
    Frame("below", {100, -50});
    Frame("above", {-100, 50});
    Frame("small", {300, 0}, 0, 9);
    SortSymbolView(elements, nullptr, frames, 0);
    std::string s;
    for (void* item = LLFirst(frames[0]); item; item = LLGetNext(frames[0], item)) {
        char text[64];
        GetTextFrameTextAsString(static_cast<TextFrameHandle>(item), false, sizeof text, text);
        s += std::string(s.empty() ? "" : " ") + text;
    }
    EXPECT_EQ(s, "small above below themed");
}

TEST_F(SymbolView, AFieldReferenceFrameIsStoredAsAReferenceAndStaysAFrame) {
    Shape(kElementRect, {0, 0}, {40, 40});
    TextFrameHandle value = Frame("{Value}", {20, 50});
    TextFrameHandle hidden = Frame("{@Part}", {30, 50});
    TextFrameHandle note = Frame("Note", {10, 50});
    Text("label", kTextKindFree, 0, {50, 0});
    Handle data = FlattenSymbolView(elements, texts, frames, sheet.stringBlock, 0, images, nullptr);
    ASSERT_NE(data, nullptr);
    const ReadBack back = Read(data);
    MemFree(data);
    EXPECT_EQ(back.texts, (std::vector<std::string>{"22 0 {Value}", "22 8 {Part}", "0 0 label"}));
    EXPECT_EQ(back.frames, (std::vector<std::string>{"Note"}));
    // The frames are the view's again: the references at the head, and no text was left behind.
    EXPECT_EQ(Order(frames[0]), (std::vector<void*>{value, hidden, note}));
    EXPECT_EQ(Strings(texts[0]), "label");
}

TEST_F(SymbolView, OffsetMovesEverythingOfTheView) {
    ElementRecord* rect = Shape(kElementRect, {0, 0}, {40, 40});
    TextRecord* text = Text("t", kTextKindFree, 0, {50, 5});
    TextFrameHandle frame = Frame("f", {60, 6});
    ElementRecord* other = Pin({1, 1}, {1, 9}, 1);
    OffsetSymbolView(elements, texts, frames, 0, -10, 20);
    EXPECT_EQ(rect->rect.top, -10);
    EXPECT_EQ(rect->rect.left, 20);
    EXPECT_EQ(text->position.v, 40);
    EXPECT_EQ(text->position.h, 25);
    EXPECT_EQ((*frame)->position.v, 50);
    EXPECT_EQ((*frame)->position.h, 26);
    EXPECT_EQ(other->points.point1.h, 1);
}

}  // namespace
}  // namespace plexa::test
