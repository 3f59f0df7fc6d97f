// Symbol display data: round trips of whole symbols in both byte orders, the order the reader
// gives back, the comments the writer makes, a hand-written record, the pin walkers, image
// references, byte swapping, and damaged data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/displaylist.h"
#include "graphics/pixels.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/symboldata.h"
#include "model/tests/model_fixture.h"
#include "model/tests/model_testing.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using Bytes = std::string;

Bytes HandleBytes(Handle h) { return h ? Bytes(*h, SizeOfHandle(h)) : Bytes(); }

std::string RectText(const Rect& r) {
    return "(" + std::to_string(r.top) + "," + std::to_string(r.left) + "," +
           std::to_string(r.bottom) + "," + std::to_string(r.right) + ")";
}

std::string PointText(Point p) {
    return "(" + std::to_string(p.v) + "," + std::to_string(p.h) + ")";
}

std::string StyleText(const txStyle* style) {
    if (!style) return "no style";
    char font[256];
    GetStyleFont(style, font);
    return std::string(font) + " " + std::to_string(style->size) + " face " +
           std::to_string(style->face);
}

// One element, every field that the stored data keeps.
std::string ElementText(const ElementRecord* e, ImageList* images) {
    std::string s = "kind " + std::to_string(e->kind) + " flags " + std::to_string(e->flags) +
                    " pen " + std::to_string(e->penWidth) + " bounds " + RectText(e->bounds);
    if (e->flags & kElementOwnFrameColor) s += " frame " + std::to_string(e->frameColor);
    if (e->flags & kElementOwnFillColor) s += " fill " + std::to_string(e->fillColor);
    switch (e->kind) {
        case kElementLine:
        case kElementArrow:
        case kElementNode:
            s += " " + PointText(e->points.point1) + "-" + PointText(e->points.point2);
            break;
        default: s += " rect " + RectText(e->rect); break;
    }
    switch (e->kind) {
        case kElementArrow:
        case kElementRoundRect:
        case kElementArc: {
            const auto* words = ElementAs<ArrowElement>(e);
            s += " words " + std::to_string(words->headLength) + "," +
                 std::to_string(words->headAngle);
            break;
        }
        case kElementPoly: {
            const int16_t n = ElementAs<PolyElement>(e)->pointCount;
            s += " points";
            for (int16_t i = 0; i < n; ++i) s += " " + PointText(PolyPoints(e)[i]);
            break;
        }
        case kElementNode:
            s += " bubble " + std::to_string(ElementAs<NodeElement>(e)->bubbleRadius);
            break;
        case kElementImage: {
            const auto* image = ElementAs<ImageElement>(e);
            const VXPixels* pixels = GetImageFromImageList(images, image->imageId, false);
            s += " image " + (pixels ? std::to_string(pixels->width) + "x" +
                                           std::to_string(pixels->height) + "x" +
                                           std::to_string(pixels->depth)
                                     : std::string("none")) +
                 " res " + std::to_string(image->hResolution) + "," +
                 std::to_string(image->vResolution) + " turn " +
                 std::to_string(image->orientation);
            break;
        }
        default: break;
    }
    return s;
}

class SymbolData : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        globalImages_ = GlobalImageCount();
        editImages = CreateLocalImageList();
        dataImages = CreateLocalImageList();
        elements = CreateElementList(editImages);
        texts = CreateTextList();
        frames = CreateTextFrameList();
    }
    void TearDown() override {
        DestroyElementList(elements);
        DestroyTextList(texts);
        DestroyTextFrameList(frames);
        for (Lists* l : read_) l->Free();
        read_.clear();
        DestroyImageList(editImages);
        DestroyImageList(dataImages);
        EXPECT_EQ(GlobalImageCount(), globalImages_);
        ModelTest::TearDown();
    }

    // Lists that data is read into, freed with the test.
    struct Lists {
        LinkListHeader* elements = nullptr;
        LinkListHeader* texts = nullptr;
        LinkListHeader* frames = nullptr;
        ImageList* images = nullptr;
        void Free() {
            DestroyElementList(elements);
            DestroyTextList(texts);
            DestroyTextFrameList(frames);
            elements = texts = frames = nullptr;
        }
    };
    Lists* NewLists(ImageList* images) {
        auto* l = new Lists{CreateElementList(images), CreateTextList(), CreateTextFrameList(),
                            images};
        lists_.emplace_back(l);
        read_.push_back(l);
        return l;
    }

    ElementRecord* Add(ElementRecord* e) {
        EXPECT_NE(e, nullptr);
        LLAppend(elements, e);
        return e;
    }
    ElementRecord* Pin(Point connection, Point body, int16_t pen = 1, uint8_t bubble = 0,
                       bool filled = false) {
        return Add(BuildNodeElement(connection, body, pen, bubble, filled, 0, false, 0, false, 0));
    }
    ElementRecord* Shape(uint8_t kind, Point a, Point b, bool filled = false, int16_t extra1 = 0,
                         int16_t extra2 = 0) {
        return Add(BuildCommonElement(kind, a, b, 1, extra1, extra2, filled, false, 0, false, 0,
                                      false));
    }
    ElementRecord* Poly(std::vector<Point> points, bool filled) {
        Handle h = AllocHandleWithData(nullptr, points.data(), uint32_t(points.size() * 4));
        ElementRecord* e = BuildPolyElement(int16_t(points.size()), h, 1, filled, false, 0, false,
                                            0, false);
        MemFree(h);
        return Add(e);
    }
    TextRecord* Text(const char* string, uint16_t kind, uint16_t flags, Point position,
                     uint16_t size = 12) {
        TextRecord* text = CreateTextElement();
        text->kind = kind;
        text->flags = flags;
        text->style = flags & kTextFlagThemed
                          ? InstallStyleInList(GetTextThemeStyle(nullptr, text), sheet.styleList)
                          : Style(size);
        SetupTheText(text, sheet.stringBlock, position, nullptr, string);
        if (flags & kTextFlagMacro) SetTextRecordMacroString(text, sheet.stringBlock, string);
        LLAppend(texts, text);
        return text;
    }
    TextFrameHandle Frame(const char* utf8, uint16_t flags, Point position) {
        TextFrameHandle frame = CreateTextFrame(utf8, -1, kEncodingUTF8);
        (*frame)->flags = flags;
        (*frame)->style = flags & kFrameFlagThemed
                              ? InstallStyleInList(GetSheetThemeStyle(nullptr, kThemeSymbolOwned),
                                                   sheet.styleList)
                              : Style(12);
        (*frame)->position = position;
        CalcTextFrameBounds(nullptr, frame, true, kFrameDefaultWrapWidth);
        LLAppend(frames, frame);
        return frame;
    }

    // The data of the test's lists.
    Bytes Write(bool withTexts = true) {
        Handle data = ElementsToSymbolData(elements, withTexts ? texts : nullptr,
                                           withTexts ? frames : nullptr, sheet.stringBlock,
                                           false, dataImages);
        EXPECT_NE(data, nullptr);
        const Bytes bytes = HandleBytes(data);
        if (data) MemFree(data);
        return bytes;
    }
    // Reads data into new lists (their images in `images`, the edit list when none).
    Lists* Read(const Bytes& data, OSStatus expected = 0, Point at = {0, 0},
                ImageList* images = nullptr, SheetRecord* onSheet = nullptr) {
        Lists* l = NewLists(images ? images : editImages);
        EXPECT_EQ(SymbolDataToElements(data.data(), uint32_t(data.size()), dataImages, at,
                                       l->elements, l->texts, l->frames, sheet.styleList,
                                       sheet.stringBlock, onSheet),
                  expected);
        return l;
    }

    std::vector<std::string> ElementDump(LinkListHeader* list) {
        std::vector<std::string> out;
        ImageList* images = GetElementListImageList(list);
        for (void* e = LLFirst(list); e; e = LLGetNext(list, e))
            out.push_back(ElementText(static_cast<ElementRecord*>(e), images));
        return out;
    }
    std::vector<std::string> TextDump(LinkListHeader* list) {
        std::vector<std::string> out;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            const auto* t = static_cast<TextRecord*>(item);
            char macro[kTextStringSize];
            GetTextRecordMacroString(t, sheet.stringBlock, macro, sizeof macro);
            out.push_back("kind " + std::to_string(t->kind) + " flags " +
                          std::to_string(t->flags) + " at " + PointText(t->position) + " \"" +
                          String(t) + "\" source \"" + macro + "\" " + StyleText(t->style) +
                          " bounds " + RectText(t->bounds));
        }
        return out;
    }
    std::vector<std::string> FrameDump(LinkListHeader* list) {
        std::vector<std::string> out;
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
            auto f = static_cast<TextFrameHandle>(item);
            std::string starts;
            const auto* s = reinterpret_cast<const uint32_t*>(*(*f)->lineStarts);
            for (uint32_t i = 0; i < SizeOfHandle((*f)->lineStarts) / 4; ++i)
                starts += " " + std::to_string(s[i]);
            char text[512];
            GetTextFrameTextAsString(f, false, sizeof text, text);
            out.push_back("flags " + std::to_string((*f)->flags) + " at " +
                          PointText((*f)->position) + " lines " +
                          std::to_string((*f)->lineCount) + " starts" + starts + " \"" + text +
                          "\" " + StyleText((*f)->style) + " bounds " + RectText((*f)->bounds));
        }
        return out;
    }

    LinkListHeader* elements = nullptr;
    LinkListHeader* texts = nullptr;
    LinkListHeader* frames = nullptr;
    ImageList* editImages = nullptr;
    ImageList* dataImages = nullptr;

private:
    int32_t globalImages_ = 0;
    std::vector<std::unique_ptr<Lists>> lists_;
    std::vector<Lists*> read_;
};

// The comments of some data, one "kind:length" a comment, and their payloads.
struct CommentLog {
    std::vector<std::string> kinds;
    std::vector<Bytes> payloads;
};
CommentLog Comments(Bytes data) {
    CommentLog log;
    EXPECT_EQ(VXWalkDisplayListComments(reinterpret_cast<uint8_t*>(data.data()) + 16,
                                        uint32_t(data.size() - 16),
                                        [](int16_t kind, void* d, int32_t length, bool, void* ref) {
                                            auto* l = static_cast<CommentLog*>(ref);
                                            l->kinds.push_back(std::to_string(kind) + ":" +
                                                               std::to_string(length));
                                            l->payloads.emplace_back(static_cast<char*>(d),
                                                                     size_t(length));
                                            return false;
                                        },
                                        &log),
              1);
    return log;
}

// The payload of the first comment of a kind, in place in the data; null when there is none.
uint8_t* FindComment(Bytes& data, int16_t kind) {
    struct Find {
        int16_t kind;
        uint8_t* at = nullptr;
    } find{kind};
    VXWalkDisplayListComments(reinterpret_cast<uint8_t*>(data.data()) + 16,
                              uint32_t(data.size() - 16),
                              [](int16_t k, void* d, int32_t, bool, void* ref) {
                                  auto* f = static_cast<Find*>(ref);
                                  if (k != f->kind) return false;
                                  f->at = static_cast<uint8_t*>(d);
                                  return true;
                              },
                              &find);
    return find.at;
}

SymbolDataHead HeadOf(const Bytes& data) {
    SymbolDataHead head;
    std::memcpy(&head, data.data(), sizeof head);
    return head;
}

// ---- Round trips ----

TEST_F(SymbolData, AWholeSymbolComesBackFieldByFieldInEitherByteOrder) {
    ElementRecord* p1 = Pin({10, 40}, {10, 0}, 1, 4);
    p1->flags |= kElementOwnFrameColor;
    p1->frameColor = 0x00FF0000;
    Pin({60, 20}, {40, 20}, 2);
    Pin({30, -20}, {30, 0}, 1, 3, true);
    ElementRecord* rect = Shape(kElementRect, {0, 0}, {40, 30}, true);
    rect->flags |= kElementOwnFillColor | kElementOptionalFill;
    rect->fillColor = 0x0000FF00;
    int16_t length, angle;
    GetDefaultArrow(1, &length, &angle);
    Shape(kElementArrow, {50, 0}, {50, 40}, false, length, angle);
    Add(BuildImageElement(editImages, GreyImage(10, 3, 1), 0, {70, 0}, 20, 6, 72, 72, true, true,
                          0x01000000, true, 0x0B000000));
    Add(BuildImageElement(editImages, ColourImage(4, 4, 9, true), 3, {80, 30}, 8, 8, 96, 144,
                          false, false, 0, false, 0));
    Shape(kElementLine, {0, 50}, {30, 80});
    Shape(kElementOval, {0, 90}, {20, 110});
    Shape(kElementRoundRect, {30, 90}, {50, 120}, true, 6, 8);
    Shape(kElementArc, {60, 90}, {80, 110}, false, 45, 180);
    Poly({{90, 0}, {100, 20}, {90, 40}, {90, 0}}, true);
    Text("U1", kTextKindCompDesignator, kTextFlagThemed, {-10, 0});
    Text("Note", kTextKindFree, 0, {-30, 5}, 14);
    Text("{Value}", kTextKindSymbolAttribute, kTextFlagMacro, {-50, 5});
    Frame("first line\rsecond\rthird", 0, {120, 10});

    const Bytes data = Write();
    const SymbolDataHead head = HeadOf(data);
    Rect graphics = kSymbolDataEmptyRect, all = kSymbolDataEmptyRect;
    for (void* e = LLFirst(elements); e; e = LLGetNext(elements, e)) {
        const auto* element = static_cast<ElementRecord*>(e);
        Rect& into = element->kind == kElementNode ? all : graphics;
        VXUnionRect(&into, &element->bounds, &into);
    }
    VXUnionRect(&all, &graphics, &all);
    EXPECT_EQ(RectText(head.graphics), RectText(graphics));
    EXPECT_EQ(RectText(head.all), RectText(all));
    const CommentLog log = Comments(data);
    ASSERT_FALSE(log.kinds.empty());
    EXPECT_EQ(log.kinds[0], "224:8");
    EXPECT_EQ(log.payloads[0], Hex("0101 0300 00000000"));  // version 257, three pins

    // The writer's destination holds each image once more; the reader's image list once more.
    EXPECT_EQ(GetImageListReferenceCount(dataImages, 0), 1u);
    const std::vector<std::string> expectedElements = ElementDump(elements);
    const std::vector<std::string> expectedTexts = TextDump(texts);
    const std::vector<std::string> expectedFrames = FrameDump(frames);
    const Bytes other = OtherOrder(data);
    EXPECT_NE(other, data);
    for (const Bytes* input : {&data, &other}) {
        SCOPED_TRACE(input == &data ? "native" : "other order");
        Lists* back = Read(*input);
        EXPECT_EQ(ElementDump(back->elements), expectedElements);
        EXPECT_EQ(TextDump(back->texts), expectedTexts);
        EXPECT_EQ(FrameDump(back->frames), expectedFrames);
    }
    // Swapped in place, the other order gives back the very bytes.
    Bytes swapped = other;
    EXPECT_EQ(ByteSwapSymbolData(swapped.data(), uint32_t(swapped.size())), 0);
    EXPECT_EQ(swapped, data);
    EXPECT_EQ(ByteSwapSymbolData(swapped.data(), uint32_t(swapped.size())), 0);
    EXPECT_EQ(swapped, data);  // data in this order is left alone
    // Written again from what was read, the data is the same.
    Lists* back = Read(data);
    Handle again = ElementsToSymbolData(back->elements, back->texts, back->frames,
                                        sheet.stringBlock, false, dataImages);
    EXPECT_EQ(HandleBytes(again), data);
    MemFree(again);
}

TEST_F(SymbolData, ReadingAtAPointMovesEverything) {
    Pin({10, 40}, {10, 0});
    Shape(kElementRect, {0, 0}, {20, 30});
    Text("R1", kTextKindDesignator, 0, {-10, 0});
    Frame("a\rb", 0, {50, 0});
    const Bytes data = Write();
    Lists* at = Read(data, 0, {100, 200});
    Lists* origin = Read(data);
    OffsetElementList(origin->elements, {100, 200});
    for (void* e = LLFirst(origin->elements); e; e = LLGetNext(origin->elements, e))
        CalcElementBounds(static_cast<ElementRecord*>(e));
    OffsetTextList(origin->texts, uint32_t(200) << 16 | 100);
    OffsetTextFrameList(origin->frames, 200, 100);
    EXPECT_EQ(ElementDump(at->elements), ElementDump(origin->elements));
    EXPECT_EQ(TextDump(at->texts), TextDump(origin->texts));
    EXPECT_EQ(FrameDump(at->frames), FrameDump(origin->frames));
}

// ---- Order ----

TEST_F(SymbolData, PinsComeBackFirstInTheirOrderThenTheGraphicsInListOrder) {
    struct Case {
        const char* name;
        bool withText;  // a text comment reverses the elements early; without one they are
                        // reversed at the end
    };
    for (const Case c : {Case{"without texts", false}, Case{"with texts", true}}) {
        SCOPED_TRACE(c.name);
        DestroyElementList(elements);
        elements = CreateElementList(editImages);
        DestroyTextList(texts);
        texts = CreateTextList();
        Pin({10, 40}, {10, 0});
        Pin({20, 40}, {20, 0});
        Pin({30, 40}, {30, 0});
        Shape(kElementRect, {0, 0}, {40, 30});
        Shape(kElementLine, {0, 0}, {30, 30});
        Shape(kElementOval, {5, 5}, {15, 15});
        Poly({{1, 1}, {9, 9}, {1, 9}}, false);
        Shape(kElementRect, {50, 50}, {60, 60}, true);
        if (c.withText) {
            Text("one", kTextKindFree, 0, {0, 0});
            Text("two", kTextKindFree, 0, {10, 0});
        }
        const Bytes data = Write();
        EXPECT_EQ(Comments(data).payloads[0], Hex("0101 0300 00000000"));
        Lists* back = Read(data);
        EXPECT_EQ(ElementDump(back->elements), ElementDump(elements));
        EXPECT_EQ(TextDump(back->texts), TextDump(texts));
    }
}

TEST_F(SymbolData, AReadGoesInFrontOfWhatTheListsHold) {
    Pin({10, 40}, {10, 0});
    Shape(kElementRect, {0, 0}, {40, 30});
    Text("one", kTextKindFree, 0, {0, 0});
    Frame("f", 0, {20, 0});
    const Bytes data = Write();
    Lists* l = Read(data);
    const std::vector<std::string> once = ElementDump(l->elements);
    OffsetElementList(elements, {0, 100});
    for (void* e = LLFirst(elements); e; e = LLGetNext(elements, e))
        CalcElementBounds(static_cast<ElementRecord*>(e));
    const Bytes moved = Write();
    ASSERT_EQ(SymbolDataToElements(moved.data(), uint32_t(moved.size()), dataImages, {0, 0},
                                   l->elements, l->texts, l->frames, sheet.styleList,
                                   sheet.stringBlock, nullptr),
              0);
    std::vector<std::string> expected = ElementDump(elements);
    expected.insert(expected.end(), once.begin(), once.end());
    EXPECT_EQ(ElementDump(l->elements), expected);
    EXPECT_EQ(l->texts->count, 2u);
    EXPECT_EQ(l->frames->count, 2u);
}

TEST_F(SymbolData, APinAmongTheGraphicsJoinsThePinGroup) {
    Pin({10, 40}, {10, 0});
    Shape(kElementRect, {0, 0}, {40, 30});
    Pin({20, 40}, {20, 0});
    const Bytes data = Write();
    EXPECT_EQ(Comments(data).payloads[0], Hex("0101 0200 00000000"));
    Lists* back = Read(data);
    const std::vector<std::string> was = ElementDump(elements);
    EXPECT_EQ(ElementDump(back->elements), (std::vector<std::string>{was[0], was[2], was[1]}));
}

TEST_F(SymbolData, WithoutAPinGroupPinsAreRecordedAsLines) {
    Pin({10, 40}, {10, 0});
    Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet.stringBlock, true, nullptr);
    const Bytes bytes = HandleBytes(data);
    MemFree(data);
    EXPECT_EQ(Comments(bytes).payloads[0], Hex("0101 0000 00000000"));
    Lists* back = Read(bytes);
    ASSERT_EQ(back->elements->count, 1u);
    EXPECT_EQ(static_cast<ElementRecord*>(LLFirst(back->elements))->kind, kElementLine);
}

// ---- What the writer records ----

TEST_F(SymbolData, AFilledRectangleIsAFillCommentAndAFrame) {
    Shape(kElementRect, {5, 5}, {20, 30}, true);
    const Bytes data = Write();
    EXPECT_EQ(Comments(data).kinds, (std::vector<std::string>{"224:8", "225:0", "231:0"}));
    // After the header, the encoding, 224 and 225: 231, then the framed rectangle.
    EXPECT_EQ(data.substr(16 + 8 + 2 + 12 + 2), Hex("26E7 0530 0505 0F19 00FF"));
    Lists* back = Read(data);
    ASSERT_EQ(back->elements->count, 1u);
    EXPECT_EQ(ElementDump(back->elements), ElementDump(elements));
}

TEST_F(SymbolData, ABubbleIsAnOvalBeforeThePinLineAndComesBackAsTheFullPin) {
    Pin({10, 40}, {10, 0}, 1, 4);
    const Bytes data = Write();
    // The oval (verb 0, byte corners) spans 9 pixels: 2 x 4 + 1.
    const size_t oval = data.find(Hex("1530"));
    ASSERT_NE(oval, std::string::npos);
    EXPECT_EQ(data.substr(oval, 6), Hex("1530 06 01 08 08"));
    EXPECT_LT(oval, data.find(Hex("26E1")));
    Lists* back = Read(data);
    ASSERT_EQ(back->elements->count, 1u);
    const auto* pin = static_cast<ElementRecord*>(LLFirst(back->elements));
    EXPECT_EQ(PointText(pin->points.point2), "(10,0)");
    EXPECT_EQ(ElementAs<NodeElement>(pin)->bubbleRadius, 4);
    EXPECT_EQ(ElementDump(back->elements), ElementDump(elements));
}

TEST_F(SymbolData, FrameCommentsCarryTheLineStartsOfFramesOfTwoOrMoreLines) {
    TextFrameHandle one = Frame("single", 0, {10, 10});
    TextFrameHandle three = Frame("a\rbb\rccc", kFrameFlagThemed, {40, 10});
    ASSERT_EQ((*one)->lineCount, 1);
    ASSERT_EQ((*three)->lineCount, 3);
    const Bytes data = Write();
    const CommentLog log = Comments(data);
    // The themed frame first.
    EXPECT_EQ(log.kinds, (std::vector<std::string>{"224:8", "225:0", "228:20", "228:4"}));
    EXPECT_EQ(log.payloads[2], Hex("2000 0300  00000000 02000000 05000000 08000000"));
    EXPECT_EQ(log.payloads[3], Hex("0000 0100"));
    Lists* back = Read(data);
    const std::vector<std::string> was = FrameDump(frames);
    EXPECT_EQ(FrameDump(back->frames), (std::vector<std::string>{was[1], was[0]}));
}

TEST_F(SymbolData, AFrameTooLongForATextRecordKeepsTheLinesThatFit) {
    const std::string text = std::string(20000, 'x') + "\r" + std::string(20000, 'y');
    TextFrameHandle frame = CreateTextFrame(text.data(), int32_t(text.size()), kEncodingUTF8);
    (*frame)->style = Style(12);
    const uint32_t starts[3] = {0, 20001, 40001};
    ASSERT_TRUE(SetHandleContent((*frame)->lineStarts, starts, sizeof starts));
    (*frame)->lineCount = 2;
    LLAppend(frames, frame);
    const Bytes data = Write();
    Lists* back = Read(data);
    ASSERT_EQ(back->frames->count, 1u);
    auto read = static_cast<TextFrameHandle>(LLFirst(back->frames));
    EXPECT_EQ((*read)->textLength, uint32_t(kDLMaxTextBytes));
    EXPECT_EQ((*read)->lineCount, 2);
    const auto* readStarts = reinterpret_cast<const uint32_t*>(*(*read)->lineStarts);
    EXPECT_EQ(readStarts[1], 20001u);
    EXPECT_EQ(readStarts[2], uint32_t(kDLMaxTextBytes));
}

TEST_F(SymbolData, TextsAreRecordedAsTheirKindSays) {
    Pin({10, 40}, {10, 0});
    Pin({20, 40}, {20, 0});
    Text("{@Value}", kTextKindSymbolAttribute, kTextFlagMacro, {0, 0});
    Text("{Part}", kTextKindSymbolAttribute, kTextFlagMacro, {10, 0});
    Text("7", kTextKindPinNumber + 1, 0, {20, 0});
    Text("IN", kTextKindPinName + 0, 0, {30, 0});
    TextRecord* empty = Text("x", kTextKindFree, 0, {40, 0});
    empty->text = 0;  // no string: nothing is recorded
    const Bytes data = Write();
    const CommentLog log = Comments(data);
    ASSERT_EQ(log.kinds.size(), 6u);
    EXPECT_EQ(log.payloads[2], Hex("1600 1800"));  // the at-sign adds the hidden flag
    EXPECT_EQ(log.payloads[3], Hex("1600 1000"));
    EXPECT_EQ(log.payloads[4], Hex("0140 0000"));
    EXPECT_EQ(log.payloads[5], Hex("0080 0000"));
    EXPECT_NE(data.find("{Value}"), std::string::npos);
    EXPECT_EQ(data.find("{@Value}"), std::string::npos);

    Lists* back = Read(data);
    std::vector<TextRecord*> read;
    for (void* t = LLFirst(back->texts); t; t = LLGetNext(back->texts, t))
        read.push_back(static_cast<TextRecord*>(t));
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(String(read[0]), "{Value}");
    EXPECT_EQ(read[0]->flags & (kTextFlagHidden | kTextFlagMacro), kTextFlagHidden | kTextFlagMacro);
    char macro[kTextStringSize];
    EXPECT_EQ(GetTextRecordMacroString(read[0], sheet.stringBlock, macro, sizeof macro), 1);
    EXPECT_STREQ(macro, "{Value}");
    // Pin texts have no string and belong to their pin.
    EXPECT_EQ(read[2]->text, 0u);
    EXPECT_EQ(read[2]->owner, int64_t(reinterpret_cast<intptr_t>(LLGetIndexedLink(back->elements, 1))));
    EXPECT_EQ(read[3]->owner, int64_t(reinterpret_cast<intptr_t>(LLFirst(back->elements))));
}

TEST_F(SymbolData, ThemedTextsTakeTheSheetsThemes) {
    Text("U1", kTextKindCompDesignator, kTextFlagThemed, {0, 0});
    Frame("frame", kFrameFlagThemed, {20, 0});
    const Bytes data = Write();
    SetStyleSize(themes.styles[kThemeRefDesignators], 20);
    SetStyleSize(themes.styles[kThemeSymbolOwned], 22);
    Lists* l = Read(data, 0, {0, 0}, nullptr, &sheet);
    EXPECT_EQ(static_cast<TextRecord*>(LLFirst(l->texts))->style->size, 20);
    EXPECT_EQ((*static_cast<TextFrameHandle>(LLFirst(l->frames)))->style->size, 22);
}

// A text records only the style fields that differ from the text before it, so reading a text
// (measuring it in its theme) must leave the style that the list has set up for the next one.
TEST_F(SymbolData, AThemedTextDoesNotLendItsStyleToTheTextAfterIt) {
    Text("U1", kTextKindCompDesignator, kTextFlagThemed, {0, 0});
    TextRecord* plain = Text("plain", kTextKindFree, 0, {20, 0});
    txStyle* scratch = CreateTextStyle(gGenPool, GetTempDefaultStyle(kStyleUser));
    SetStyleSize(scratch, 17);
    plain->style = InstallStyleInList(scratch, sheet.styleList);
    DestroyTextStyle(scratch);
    CalcTextBounds(nullptr, plain, sheet.stringBlock);
    const Bytes data = Write();
    SetStyleFont(themes.styles[kThemeRefDesignators], "DejaVu Serif");
    SetStyleSize(themes.styles[kThemeRefDesignators], 9);
    Lists* back = Read(data, 0, {0, 0}, nullptr, &sheet);
    const std::vector<std::string> read = TextDump(back->texts);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_NE(read[0], TextDump(texts)[0]);  // the sheet's theme
    EXPECT_EQ(read[1], TextDump(texts)[1]);
}

// Unthemed texts and frames keep their face: the list records it and reading takes it back.
TEST_F(SymbolData, BoldAndItalicOfUnthemedTextsComeBack) {
    const uint16_t faces[] = {kFaceBold, kFaceItalic, kFaceBold | kFaceItalic, 0};
    int16_t v = 0;
    for (const uint16_t face : faces) {
        TextRecord* text = Text("face", kTextKindFree, 0, {v, 0});
        text->style = Style(12, face);
        CalcTextBounds(nullptr, text, sheet.stringBlock);
        TextFrameHandle frame = Frame("frame", 0, {int16_t(v + 100), 0});
        (*frame)->style = Style(12, face);
        v = int16_t(v + 20);
    }
    const Bytes data = Write();
    const Bytes other = OtherOrder(data);
    for (const Bytes* input : {&data, &other}) {
        Lists* back = Read(*input);
        std::vector<uint16_t> textFaces, frameFaces;
        for (void* t = LLFirst(back->texts); t; t = LLGetNext(back->texts, t))
            textFaces.push_back(static_cast<TextRecord*>(t)->style->face);
        for (void* f = LLFirst(back->frames); f; f = LLGetNext(back->frames, f))
            frameFaces.push_back((*static_cast<TextFrameHandle>(f))->style->face);
        const std::vector<uint16_t> expected(std::begin(faces), std::end(faces));
        EXPECT_EQ(textFaces, expected);
        EXPECT_EQ(frameFaces, expected);
    }
}

TEST_F(SymbolData, AnImageKeepsItsOptionalFillFlag) {
    ElementRecord* image = Add(BuildImageElement(editImages, GreyImage(3, 3, 1), 0, {0, 0}, 3, 3,
                                                 72, 72, true, false, 0, false, 0));
    image->flags |= kElementOptionalFill;
    const Bytes data = Write(false);
    Lists* back = Read(data);
    ASSERT_EQ(back->elements->count, 1u);
    const auto* read = static_cast<ElementRecord*>(LLFirst(back->elements));
    EXPECT_EQ(read->flags & (kElementFilled | kElementOptionalFill),
              kElementFilled | kElementOptionalFill);
}

TEST_F(SymbolData, ImagesOutsideTheListAreLeftOutByTheWriterAndTheReader) {
    ElementRecord* kept = Add(BuildImageElement(editImages, GreyImage(3, 3, 2), 0, {0, 0}, 3, 3,
                                                72, 72, false, false, 0, false, 0));
    ElementRecord* lost = Add(BuildImageElement(editImages, nullptr, 0, {10, 10}, 5, 5, 72, 72,
                                                false, false, 0, false, 0));
    ASSERT_EQ(ElementAs<ImageElement>(lost)->imageId, -1);
    const Bytes data = Write(false);
    EXPECT_EQ(Comments(data).kinds, (std::vector<std::string>{"224:8", "225:0", "233:10"}));
    EXPECT_EQ(RectText(HeadOf(data).graphics), RectText(kept->bounds));
    // Read without the source list's image, nothing is made.
    Bytes other = data;
    uint8_t* id = FindComment(other, kSymCommentImage);
    ASSERT_TRUE(id);
    std::memset(id, 0x7F, 4);
    EXPECT_EQ(Read(other)->elements->count, 0u);
    EXPECT_EQ(Read(data)->elements->count, 1u);
    // Without an image list on the element list neither.
    Lists* bare = NewLists(nullptr);
    EXPECT_EQ(SymbolDataToElements(data.data(), uint32_t(data.size()), dataImages, {0, 0},
                                   bare->elements, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(bare->elements->count, 0u);
}

TEST_F(SymbolData, ADeepImageLosesItsFillAndColours) {
    ElementRecord* image = Add(BuildImageElement(editImages, ColourImage(3, 3, 5, false), 0,
                                                 {0, 0}, 3, 3, 72, 72, true, true, 0x01000000,
                                                 false, 0));
    const Bytes data = Write(false);
    EXPECT_FALSE(image->flags & kElementFilled);
    EXPECT_EQ(Comments(data).kinds, (std::vector<std::string>{"224:8", "225:0", "233:10"}));
}

// ---- Older data ----

// Data of a hand-made list: the 16-byte head (zeros), then the records after the list header.
Bytes Data(const std::string& records) {
    return Bytes(16, '\0') + Hex("0306 3412 0000 0000  3001") + Hex(records) + Hex("00FF");
}

TEST_F(SymbolData, ARepeatedPolygonOfOlderListsIsOneFilledPolygon) {
    const std::string points = "0300 0000 0000 0A00 0A00 0000 0A00";
    struct Case {
        const char* name;
        std::string records;
    };
    const Case cases[] = {
        {"paint then frame", "56E0 0800 0101 0000 00000000  26E1  0401" + points + "0400" + points},
        {"frame then paint", "56E0 0800 0101 0000 00000000  26E1  0400" + points + "0401" + points},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lists* l = Read(Data(c.records));
        ASSERT_EQ(l->elements->count, 1u);
        const auto* poly = static_cast<ElementRecord*>(LLFirst(l->elements));
        EXPECT_EQ(poly->kind, kElementPoly);
        EXPECT_TRUE(poly->flags & kElementFilled);
    }
}

TEST_F(SymbolData, AFrameTextOfDataBeforeVersion257IsAFrame) {
    Text("old frame", 16, 0, {10, 10});
    Text("text", kTextKindFree, 0, {30, 10});
    Bytes data = Write();
    Lists* current = Read(data);
    EXPECT_EQ(current->texts->count, 2u);
    EXPECT_EQ(current->frames->count, 0u);
    uint8_t* header = FindComment(data, kSymCommentHeader);
    ASSERT_TRUE(header);
    header[0] = 0;  // version 256
    Lists* old = Read(data);
    EXPECT_EQ(old->texts->count, 1u);
    ASSERT_EQ(old->frames->count, 1u);
    auto frame = static_cast<TextFrameHandle>(LLFirst(old->frames));
    EXPECT_EQ(FrameSource(frame), u"old frame");
    EXPECT_EQ(PointText((*frame)->position), "(10,10)");
}

// ---- A record written by hand ----

// The record of model_testing.h (kHandData) is the writer's own.
TEST_F(SymbolData, AHandWrittenRecordReadsInBothOrdersAndIsWhatTheWriterWrites) {
    Pin({10, 20}, {10, 0});
    ElementRecord* rect = Shape(kElementRect, {0, 0}, {20, 30}, true);
    rect->flags |= kElementOwnFillColor;
    rect->fillColor = 0x00FF0000;
    EXPECT_EQ(Write(false), Hex(kHandData));
    for (const char* hex : {kHandData, kHandDataOtherOrder}) {
        SCOPED_TRACE(hex == kHandData ? "native" : "other order");
        Lists* l = Read(Hex(hex));
        EXPECT_EQ(ElementDump(l->elements), ElementDump(elements));
        NodeMap map = ExtractSymbolNodePositions(Hex(hex).data(), uint32_t(Hex(hex).size()),
                                                 {0, 0});
        ASSERT_TRUE(map);
        EXPECT_EQ(Bytes(map, SizeOfPtr(map)), Hex("0100 0A00 1400 01"));
        MemFreePtr(map);
    }
    Bytes other = Hex(kHandDataOtherOrder);
    EXPECT_EQ(ByteSwapSymbolData(other.data(), uint32_t(other.size())), 0);
    EXPECT_EQ(other, Hex(kHandData));
}

// ---- Pin walkers ----

TEST_F(SymbolData, TheNodeMapHoldsEachPinsEndAndOrientation) {
    Pin({10, 40}, {10, 0});         // right
    Pin({0, 20}, {30, 20}, 2);      // up, pen width 2
    Pin({40, -30}, {40, 0}, 1, 3);  // left, with a bubble
    Pin({80, 5}, {50, 5});          // down
    Pin({70, 70}, {60, 60});        // slanted, its connection end to the right
    Pin({90, 90}, {90, 90});        // no length, as a converted tail symbol's pin
    Pin({60, 10}, {70, 30});        // slanted, its connection end to the left
    Shape(kElementLine, {0, 0}, {5, 5});
    const Bytes data = Write(false);
    OSStatus status = -1;
    NodeMap map = ExtractSymbolNodePositions(data.data(), uint32_t(data.size()), {100, 200},
                                             &status);
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(map);
    EXPECT_EQ(NodeMapCount(map), 7);
    EXPECT_EQ(SizeOfPtr(map), NodeMapSize(7));
    const auto* points = reinterpret_cast<const Point*>(map + 2);
    EXPECT_EQ(PointText(points[0]), "(110,240)");
    EXPECT_EQ(PointText(points[2]), "(140,170)");
    // Each pin's orientation is its node's (Node_Orient), the wide one marked.
    EXPECT_EQ(Bytes(map + 30, 7), Hex("01 82 03 04 01 04 03"));
    for (const ElementRecord* e = static_cast<const ElementRecord*>(LLFirst(elements)); e; e = e->next) {
        if (e->kind != kElementNode) continue;
        const Point end = e->points.point1;
        int32_t n = 0;
        while (n < 7 && !(points[n].v == end.v + 100 && points[n].h == end.h + 200)) ++n;
        ASSERT_LT(n, 7);
        EXPECT_EQ(map[30 + n] & 0x7F, Node_Orient(e)) << n;
    }
    MemFreePtr(map);

    // The tails: the body end, or the bubble's side of a pin with a bubble.
    const struct {
        int32_t index;
        const char* point;
        OSStatus status;
    } tails[] = {{0, "(10,0)", 0}, {1, "(30,20)", 0}, {2, "(40,-7)", 0}, {4, "(60,60)", 0},
                 {5, "(90,90)", 0}, {7, "(0,0)", 0},  {-1, "(0,0)", 0}};
    for (const auto& t : tails) {
        Point p{1, 1};
        EXPECT_EQ(ExtractSymbolNodeTailPosition(data.data(), uint32_t(data.size()), {0, 0},
                                                t.index, &p),
                  t.status)
            << t.index;
        EXPECT_EQ(PointText(p), t.point) << t.index;
    }
}

TEST_F(SymbolData, DataWithoutPinsHasNoNodeMap) {
    Shape(kElementRect, {0, 0}, {10, 10});
    const Bytes data = Write(false);
    OSStatus status = -1;
    EXPECT_EQ(ExtractSymbolNodePositions(data.data(), uint32_t(data.size()), {0, 0}, &status),
              nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(NodeMapCount(nullptr), 0);
}

TEST_F(SymbolData, ANodeMapThatCannotBeAllocatedIsAFailureNotAnEmptyMap) {
    for (int i = 0; i < 2000; ++i) Pin({int16_t(i), 40}, {int16_t(i), 0});
    const Bytes data = Write(false);
    CappedPool capped(8192);
    OSStatus status = 0;
    EXPECT_EQ(ExtractSymbolNodePositions(data.data(), uint32_t(data.size()), {0, 0}, &status),
              nullptr);
    EXPECT_EQ(status, status::kOutOfMemory);
    EXPECT_TRUE(capped.hitCeiling());
}

// ---- Images ----

TEST_F(SymbolData, ImageReferencesAreMappedAndCounted) {
    Add(BuildImageElement(editImages, GreyImage(4, 4, 1), 0, {0, 0}, 4, 4, 72, 72, false, false,
                          0, false, 0));
    Add(BuildImageElement(editImages, GreyImage(5, 5, 2), 0, {10, 0}, 5, 5, 72, 72, false, false,
                          0, false, 0));
    Handle h = ElementsToSymbolData(elements, nullptr, nullptr, sheet.stringBlock, false,
                                    editImages);
    Bytes data = HandleBytes(h);
    MemFree(h);
    EXPECT_EQ(GetImageListReferenceCount(editImages, 0), 2u);
    EXPECT_EQ(AdjustImageReferenceCountsFromSymbolData(data.data(), uint32_t(data.size()),
                                                       editImages, kImageReferenceRelease),
              0);
    EXPECT_EQ(GetImageListReferenceCount(editImages, 0), 1u);
    EXPECT_EQ(GetImageListReferenceCount(editImages, 1), 1u);

    // Into another list: one reference each there, and the new ids in the data.
    ImageList* other = CreateLocalImageList();
    AddImageToImageList(other, GreyImage(7, 7, 3));  // id 0 is taken there
    EXPECT_EQ(MapSymbolDataImageReferences(data.data(), uint32_t(data.size()), editImages, other),
              0);
    EXPECT_EQ(GetImageListReferenceCount(other, 1) + GetImageListReferenceCount(other, 2), 2u);
    Lists* l = NewLists(other);
    ASSERT_EQ(SymbolDataToElements(data.data(), uint32_t(data.size()), other, {0, 0},
                                   l->elements, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(ElementDump(l->elements), ElementDump(elements));
    l->Free();
    EXPECT_EQ(AdjustImageReferenceCountsFromSymbolData(data.data(), uint32_t(data.size()), other,
                                                       kImageReferenceAdd | kImageReferenceRelease),
              0);
    EXPECT_EQ(AdjustImageReferenceCountsFromSymbolData(data.data(), uint32_t(data.size()), other,
                                                       kImageReferenceRelease),
              0);
    EXPECT_EQ(GetImageListReferenceCount(other, 1) + GetImageListReferenceCount(other, 2), 0u);
    DestroyImageList(other);
}

TEST_F(SymbolData, MappingThatRunsOutOfMemoryChangesNothing) {
    Add(BuildImageElement(editImages, GreyImage(4, 4, 1), 0, {0, 0}, 4, 4, 72, 72, false, false,
                          0, false, 0));
    Add(BuildImageElement(editImages, GreyImage(5, 4, 1), 0, {10, 0}, 5, 4, 72, 72, false, false,
                          0, false, 0));
    const Bytes data = Write(false);
    CappedPool capped(256 * 1024);
    ImageList* other = CreateLocalImageList();  // its array in the capped pool
    ASSERT_TRUE(other);
    // 63 images: the array's table of ids has to grow for the 65th, in a pool that is full.
    for (int width = 20; DACount(other->entries) < 63; ++width)
        ASSERT_GE(AddImageToImageList(other, GreyImage(width, 1, 0)), 0);
    std::vector<Handle> fill;
    while (Handle h = AllocHandle(nullptr, 64)) fill.push_back(h);
    Bytes mapped = data;
    EXPECT_EQ(MapSymbolDataImageReferences(mapped.data(), uint32_t(mapped.size()), dataImages,
                                           other),
              status::kOutOfMemory);
    EXPECT_EQ(mapped, data);
    EXPECT_EQ(DACount(other->entries), 63);
    DestroyImageList(other);
    for (Handle h : fill) MemFree(h);
}

// ---- Damaged data ----

TEST_F(SymbolData, DamagedDataIsRefusedWithAStatusAndNothingKept) {
    const std::string header = "56E0 0800 0101 0100 00000000";
    const std::string pin = "0800 0A00  1800 0014";
    struct Case {
        const char* name;
        Bytes data;
        OSStatus read, nodes;
        bool whole = true;  // the list itself is whole (it swaps)
    };
    const Bytes whole = Data(header + pin + "26E1");
    const Case cases[] = {
        {"whole", whole, 0, 0},
        {"shorter than its head", whole.substr(0, 12), kSymbolDataCorrupt, kSymbolDataCorrupt, false},
        {"list cut short", whole.substr(0, whole.size() - 3), kSymbolDataCorrupt,
         kSymbolDataCorrupt, false},
        {"list without its end", whole.substr(0, whole.size() - 2), kSymbolDataCorrupt,
         kSymbolDataCorrupt, false},
        {"header comment too short", Data("46E0 0101 0100" + pin + "26E1"), kSymbolDataCorrupt,
         kSymbolDataCorrupt},
        {"two header comments", Data(header + header + pin + "26E1"), 0, kSymbolDataCorrupt},
        {"more pin lines than pins", Data(header + pin + pin + "26E1"), 0, kSymbolDataCorrupt},
        {"fewer pin lines than pins", Data("56E0 0800 0101 0200 00000000" + pin + "26E1"), 0,
         kSymbolDataCorrupt},
        {"pin group without its end", Data(header + pin), 0, kSymbolDataCorrupt},
        {"arrow comment too short", Data(header + pin + "26E1 46E2 0000 0000 1800 0014"),
         kSymbolDataCorrupt, 0},
        {"text comment too short", Data(header + pin + "26E1 36E3 0000 8601 4100"),
         kSymbolDataCorrupt, 0},
        {"frame comment too short", Data(header + pin + "26E1 36E4 0000"), kSymbolDataCorrupt,
         0},
        {"line starts beyond the comment",
         Data(header + pin + "26E1 56E4 0C00 0000 0300 00000000 01000000"), kSymbolDataCorrupt,
         0},
        {"line starts past the text",
         Data(header + pin + "26E1 56E4 1000 0000 0200 00000000 01000000 09000000 8603 414243 00"),
         kSymbolDataCorrupt, 0},
        {"line starts going back",
         Data(header + pin + "26E1 56E4 1000 0000 0200 00000000 02000000 01000000 8603 414243 00"),
         kSymbolDataCorrupt, 0},
        {"colour comment too short", Data(header + pin + "26E1 36E5 0000"), kSymbolDataCorrupt,
         0},
        {"image comment too short", Data(header + pin + "26E1 56E9 0800 0000 0000 4800 4800"),
         kSymbolDataCorrupt, 0},
        {"image orientation past 7",
         Data(header + pin + "26E1 56E9 0A00 0000 0000 4800 4800 0900 0530 0000 0303"),
         kSymbolDataCorrupt, 0},
        {"image without a size",
         Data(header + pin + "26E1 56E9 0A00 0000 0000 4800 4800 0000 0500 0A00 0A00 0000 0000"),
         kSymbolDataCorrupt, 0},
        {"unknown comments are passed over", Data(header + pin + "26E1 56F0 0300 010203 00"), 0,
         0},
    };
    AddImageToImageList(dataImages, GreyImage(3, 3, 1));  // id 0 of the image comments
    // Read in a pool with a small ceiling: nothing is allocated for what a record only claims.
    CappedPool capped(256 * 1024);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lists* l = Read(c.data, c.read);
        if (c.read) {
            EXPECT_EQ(l->elements->count + l->texts->count + l->frames->count, 0u);
        }
        OSStatus status = -1;
        NodeMap map = ExtractSymbolNodePositions(c.data.data(), uint32_t(c.data.size()), {0, 0},
                                                 &status);
        EXPECT_EQ(status, c.nodes);
        EXPECT_EQ(map != nullptr, c.nodes == 0);
        if (map) MemFreePtr(map);
        Bytes swapped = c.data;
        EXPECT_EQ(ByteSwapSymbolData(swapped.data(), uint32_t(swapped.size())),
                  c.whole ? status::kNoErr : kSymbolDataCorrupt);
        EXPECT_EQ(swapped, c.data);
        l->Free();
    }
    EXPECT_FALSE(capped.hitCeiling());
    EXPECT_EQ(SymbolDataToElements(nullptr, 0, nullptr, {0, 0}, nullptr, nullptr, nullptr,
                                   nullptr, nullptr, nullptr),
              kSymbolDataCorrupt);
    Point p{1, 1};
    EXPECT_EQ(ExtractSymbolNodeTailPosition(nullptr, 0, {0, 0}, 0, &p), kSymbolDataCorrupt);
    EXPECT_EQ(PointText(p), "(0,0)");
}

// Mutated and cut data: every read, walk and swap ends with a status or a whole result, never a
// fault; a failed read leaves the lists empty.
TEST_F(SymbolData, MutatedDataIsReadWalkedAndSwappedSafely) {
    Pin({10, 40}, {10, 0}, 1, 4);
    Pin({60, 20}, {40, 20}, 2);
    ElementRecord* rect = Shape(kElementRect, {0, 0}, {40, 30}, true);
    rect->flags |= kElementOwnFillColor;
    int16_t length, angle;
    GetDefaultArrow(1, &length, &angle);
    Shape(kElementArrow, {50, 0}, {50, 40}, false, length, angle);
    Poly({{90, 0}, {100, 20}, {90, 40}}, true);
    Add(BuildImageElement(editImages, GreyImage(6, 2, 1), 0, {70, 0}, 6, 2, 72, 72, true, false, 0,
                          false, 0));
    Text("U1", kTextKindCompDesignator, kTextFlagThemed, {-10, 0});
    Text("#", kTextKindPinNumber + 1, 0, {-20, 0});
    Frame("a\rb\rc", 0, {120, 10});
    const Bytes native = Write();
    const std::vector<Bytes> seeds = {native, OtherOrder(native), Hex(kHandData),
                                      Hex(kHandDataOtherOrder)};
    std::mt19937 rng(TestSeed());
    const uint64_t rounds = StressCount(100000);
    uint64_t read = 0;
    Lists* l = NewLists(editImages);
    for (uint64_t i = 0; i < rounds; ++i) {
        Bytes b = seeds[i % seeds.size()];
        if (rng() % 4 == 0) {
            b.resize(rng() % b.size());
        } else {
            for (int k = 1 + int(rng() % 4); k > 0; --k) b[rng() % b.size()] = char(rng());
        }
        const auto size = uint32_t(b.size());
        const OSStatus status = SymbolDataToElements(b.data(), size, dataImages, {3, -4},
                                                     l->elements, l->texts, l->frames,
                                                     sheet.styleList, sheet.stringBlock, nullptr);
        if (status == 0) {
            ++read;
            for (void* e = LLFirst(l->elements); e; e = LLGetNext(l->elements, e))
                ASSERT_LE(ElementSize(static_cast<ElementRecord*>(e)), SizeOfPtr(e));
        } else {
            ASSERT_EQ(l->elements->count + l->texts->count + l->frames->count, 0u);
        }
        LLRemoveOrFreeAll(l->elements, true);
        LLRemoveOrFreeAll(l->texts, true);
        LLRemoveOrFreeAll(l->frames, true);
        OSStatus nodes = 0;
        if (NodeMap map = ExtractSymbolNodePositions(b.data(), size, {0, 0}, &nodes)) {
            ASSERT_EQ(SizeOfPtr(map), NodeMapSize(uint32_t(NodeMapCount(map))));
            MemFreePtr(map);
        }
        Point tail;
        (void)ExtractSymbolNodeTailPosition(b.data(), size, {0, 0}, int32_t(rng() % 4), &tail);  // random data: only no crash counts
        if (AdjustImageReferenceCountsFromSymbolData(b.data(), size, dataImages,
                                                     kImageReferenceAdd) == 0) {
            ASSERT_EQ(AdjustImageReferenceCountsFromSymbolData(b.data(), size, dataImages,
                                                               kImageReferenceRelease),
                      0);
        }
        (void)ByteSwapSymbolData(b.data(), size);  // random data: only no crash counts
    }
    EXPECT_GT(read, 0u);
    EXPECT_EQ(GetImageListReferenceCount(dataImages, 0), 1u);
}

// The seeds of the fuzz target (fuzz/corpus/model_symboldata) when PLEXA_FUZZ_SEEDS names the
// corpus folder. Their image ids 0 and 1 name the target's two images.
TEST_F(SymbolData, FuzzSeeds) {
    Pin({10, 40}, {10, 0}, 1, 3);
    Pin({30, 20}, {40, 20}, 2);
    ElementRecord* rect = Shape(kElementRect, {0, 0}, {20, 30}, true);
    rect->flags |= kElementOwnFillColor;
    rect->fillColor = 0x0000FF00;
    Shape(kElementArrow, {50, 0}, {50, 30}, false, 10, 23);
    Poly({{60, 0}, {70, 10}, {60, 20}}, true);
    Add(BuildImageElement(editImages, VXCreateEmptyPixelImage(4, 2, 1), 0, {80, 0}, 4, 2, 72, 72,
                          false, false, 0, false, 0));
    Add(BuildImageElement(editImages, VXCreateEmptyPixelImage(3, 2, 0), 0, {90, 0}, 3, 2, 72, 72,
                          true, true, 0x01000000, false, 0));
    Text("U1", kTextKindCompDesignator, kTextFlagThemed, {-10, 0});
    Text("#", kTextKindPinNumber, 0, {5, 30});
    Text("old", 16, 0, {-20, 0});
    Frame("a\rb\rc", 0, {100, 0});
    Bytes data = Write();
    EXPECT_EQ(Bytes(reinterpret_cast<char*>(FindComment(data, kSymCommentImage)), 10),
              Hex("00000000 4800 4800 0000"));  // the last image first
    CheckFuzzSeed("model_symboldata", "symbol", data);
    CheckFuzzSeed("model_symboldata", "other_order", OtherOrder(data));
    CheckFuzzSeed("model_symboldata", "hand", Hex(kHandData));
    FindComment(data, kSymCommentHeader)[0] = 0;
    CheckFuzzSeed("model_symboldata", "version_256", data);
}

}  // namespace
}  // namespace plexa::test
