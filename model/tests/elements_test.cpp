// Graphic elements: builders, the bounds of every kind, geometry helpers, duplication, the
// stored form in both byte orders (a hand-written fixture, damaged input, memory running out)
// and what drawing each kind records into a display list.
#include "model/elements.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/windowgeometry.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "graphics/regions.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/imagelist.h"
#include "model/tests/model_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

using Elements = ImageListTest;

std::string RectText(const Rect& r) {
    return std::to_string(r.top) + "," + std::to_string(r.left) + "," + std::to_string(r.bottom) +
           "," + std::to_string(r.right);
}

// The element's bytes from its flag word on (what a sheet stores of it).
std::string StoredBytes(const ElementRecord* e) {
    return std::string(reinterpret_cast<const char*>(e) + 8, ElementSize(e) - 8);
}

ElementRecord* Poly(std::vector<Point> points, int16_t pen, bool filled) {
    Handle h = AllocHandleWithData(nullptr, points.data(), uint32_t(points.size() * sizeof(Point)));
    ElementRecord* e = BuildPolyElement(int16_t(points.size()), h, pen, filled, false, 0, false, 0,
                                        false);
    MemFree(h);
    return e;
}

ElementRecord* Common(uint8_t kind, Point a, Point b, int16_t pen, int16_t x1 = 0, int16_t x2 = 0,
                      bool filled = false) {
    return BuildCommonElement(kind, a, b, pen, x1, x2, filled, false, 0, false, 0, false);
}

ElementRecord* Node(Point a, Point b, int16_t pen, uint8_t radius, bool filled = false) {
    return BuildNodeElement(a, b, pen, radius, filled, 7, false, 0, false, 0);
}

TEST_F(Elements, BoundsOfEveryKind) {
    struct Case {
        const char* name;
        std::function<ElementRecord*()> build;
        const char* bounds;
    };
    const Case cases[] = {
        // Spanned (10,10)-(10,50), + 1 at bottom and right, grown by 2.
        {"line width 1", [] { return Common(1, {10, 10}, {10, 50}, 1); }, "8,8,13,53"},
        {"line width 0 grows by 3", [] { return Common(1, {10, 10}, {10, 50}, 0); }, "7,7,13,53"},
        {"line width 4: half-pen offset, grown by 1",
         [] { return Common(1, {10, 50}, {30, 10}, 4); }, "7,7,33,53"},
        {"arrow shorter than its head is a line",
         [] { return Common(2, {10, 10}, {10, 18}, 1, 10, 23); }, "8,8,13,21"},
        {"arrow with a head", [] { return Common(2, {10, 10}, {10, 50}, 1, 10, 23); }, "5,8,15,53"},
        {"rectangle width 3", [] { return Common(3, {20, 10}, {5, 40}, 3); }, "4,9,22,42"},
        {"oval width 1", [] { return Common(4, {0, 0}, {10, 20}, 1); }, "0,0,11,21"},
        {"rounded rectangle width 2", [] { return Common(5, {0, 0}, {10, 20}, 2, 4, 4); }, "-1,-1,11,21"},
        {"arc, first quadrant", [] { return Common(6, {0, 0}, {20, 20}, 1, 0, 90); }, "-1,10,11,22"},
        {"arc, negative sweep covers the same arc",
         [] { return Common(6, {0, 0}, {20, 20}, 1, 90, -90); }, "-1,10,11,22"},
        {"filled arc reaches the centre", [] { return Common(6, {0, 0}, {20, 20}, 1, 0, 45, true); },
         "-1,10,11,19"},
        {"arc over three quadrants", [] { return Common(6, {0, 0}, {20, 20}, 1, 45, 225); },
         "2,-1,22,22"},
        {"polygon width 3", [] { return Poly({{5, 5}, {30, 10}, {5, 40}}, 3, false); }, "4,4,32,42"},
        {"node", [] { return Node({10, 40}, {10, 20}, 1, 0); }, "8,18,13,43"},
        {"node width 2", [] { return Node({10, 40}, {10, 20}, 2, 0); }, "7,17,13,43"},
        {"node bubble radius 2: bounds do not grow", [] { return Node({10, 40}, {10, 20}, 1, 2); },
         "8,18,13,43"},
        {"node bubble radius 3 grows across the pin", [] { return Node({10, 40}, {10, 20}, 1, 3); },
         "6,18,15,43"},
        {"vertical node bubble radius 3", [] { return Node({10, 20}, {40, 20}, 1, 3); }, "8,16,43,25"},
        {"slanted node has no bubble", [] { return Node({10, 40}, {12, 20}, 1, 3); }, "8,18,15,43"},
        {"image", [] {
             return BuildImageElement(nullptr, nullptr, 0, {10, 20}, 30, 15, 72, 72, false, false, 0,
                                      false, 0);
         }, "10,20,25,50"},
    };
    for (const Case& c : cases) {
        ElementRecord* e = c.build();
        ASSERT_TRUE(e) << c.name;
        EXPECT_EQ(RectText(e->bounds), c.bounds) << c.name;
        DestroyElement(e, nullptr);
    }
}

TEST_F(Elements, ArrowHeadAndNodeBubbleGeometry) {
    ElementRecord* arrow = Common(2, {10, 10}, {10, 50}, 1, 10, 23);
    Point head[4], shaft;
    ASSERT_TRUE(CalcArrowHead(arrow, head, &shaft));
    EXPECT_EQ(head[0].v, 10);
    EXPECT_EQ(head[0].h, 50);
    EXPECT_EQ(head[3].h, 50);
    EXPECT_EQ(head[1].h, 41);  // 10 back along the shaft, 23 degrees off it
    EXPECT_EQ(head[2].h, 41);
    EXPECT_EQ(head[1].v + head[2].v, 20);
    EXPECT_EQ(shaft.h, 44);  // 2 x (10 / 3) from the tip
    EXPECT_EQ(shaft.v, 10);
    DestroyElement(arrow, nullptr);

    struct Bubble {
        Point p1, p2;
        uint8_t radius;
        int32_t side;
        const char* point2;
        const char* square;
    };
    const Bubble bubbles[] = {
        {{10, 40}, {10, 20}, 3, 1, "10,27", "7,21,13,27"},
        {{10, 0}, {10, 20}, 3, 3, "10,13", "7,13,13,19"},
        {{0, 20}, {30, 20}, 3, 2, "23,20", "23,17,29,23"},
        {{40, 20}, {10, 20}, 3, 4, "17,20", "11,17,17,23"},
        {{10, 30}, {10, 20}, 3, 0, "", ""},  // no room: the line would keep 3 points or fewer
        {{10, 20}, {10, 20}, 3, 0, "", ""},
        {{10, 40}, {10, 20}, 0, 0, "", ""},
    };
    for (const Bubble& b : bubbles) {
        ElementRecord* node = Node(b.p1, b.p2, 1, b.radius);
        Point shortened{};
        Rect square{};
        EXPECT_EQ(CalcNodeBubbleInfo(node, &shortened, &square), b.side);
        if (b.side) {
            EXPECT_EQ(std::to_string(shortened.v) + "," + std::to_string(shortened.h), b.point2);
            EXPECT_EQ(RectText(square), b.square);
        }
        DestroyElement(node, nullptr);
    }
}

TEST_F(Elements, SmallGeometryHelpers) {
    const int16_t widths[] = {0, 1, 2, 3, 4, 9};
    const char* arrows[] = {"26/17", "10/23", "13/21", "19/19", "26/17", "26/17"};
    for (int i = 0; i < 6; ++i) {
        int16_t length = 0, angle = 0;
        GetDefaultArrow(widths[i], &length, &angle);
        EXPECT_EQ(std::to_string(length) + "/" + std::to_string(angle), arrows[i]);
    }
    EXPECT_EQ(CalcLineAngle({10, 10}, {0, 10}), 0);
    EXPECT_EQ(CalcLineAngle({10, 10}, {10, 30}), 90);
    EXPECT_EQ(CalcLineAngle({10, 10}, {20, 10}), 180);
    EXPECT_EQ(CalcLineAngle({10, 10}, {0, 0}), 315);
    EXPECT_EQ(CalcLineLength({0, 0}, {3, 4}), 5);
    EXPECT_EQ(CalcLineLength({0, 0}, {1, 1}), 1);
    struct Orient {
        Point p1, p2;
        int32_t code;
    };
    for (const Orient& o : {Orient{{0, 10}, {0, 0}, 1}, Orient{{0, 0}, {10, 0}, 2},
                            Orient{{0, 0}, {0, 10}, 3}, Orient{{10, 0}, {0, 0}, 4},
                            Orient{{5, 5}, {5, 5}, 4}}) {
        ElementRecord* node = Node(o.p1, o.p2, 1, 0);
        EXPECT_EQ(Node_Orient(node), o.code);
        DestroyElement(node, nullptr);
    }
    ElementRecord* open = Poly({{0, 0}, {5, 5}, {0, 9}}, 1, false);
    ElementRecord* closed = Poly({{0, 0}, {5, 5}, {0, 0}}, 1, false);
    EXPECT_FALSE(IsPolyClosed(open));
    EXPECT_TRUE(IsPolyClosed(closed));
    DestroyElement(open, nullptr);
    DestroyElement(closed, nullptr);

    WindowGeometry geometry{};
    EXPECT_EQ(CalcModiferBoxSize(&geometry), 7);  // unscaled
    EXPECT_EQ(CalcModiferBoxSize(nullptr), 7);
}

TEST_F(Elements, BuildersKeepWhatTheirKindUses) {
    // A line ignores fill; a rectangle stores the spanned rectangle and its fill colour.
    ElementRecord* line = BuildCommonElement(1, {9, 9}, {1, 1}, 2, 5, 6, true, true, 0x112233,
                                             true, 0x445566, true);
    EXPECT_EQ(line->flags, kElementOwnFrameColor);
    EXPECT_EQ(line->points.point1.v, 9);
    EXPECT_EQ(line->frameColor, 0x112233u);
    EXPECT_EQ(line->fillColor, 0u);
    ElementRecord* rect = BuildCommonElement(3, {9, 9}, {1, 1}, 2, 5, 6, true, false, 0, true,
                                             0x445566, true);
    EXPECT_EQ(rect->flags, kElementFilled | kElementOwnFillColor | kElementOptionalFill);
    EXPECT_EQ(RectText(rect->rect), "1,1,9,9");
    EXPECT_EQ(ElementSize(rect), 36u);
    DestroyElement(line, nullptr);
    DestroyElement(rect, nullptr);

    ElementParamRecord param{};
    param.kind = kElementRoundRect;
    param.penWidth = 1;
    param.point2 = {10, 10};
    param.extra[0] = 3;
    param.extra[1] = 4;
    param.flags = kElementOwnFrameColor | kElementOptionalFill | kElementHideable;
    param.frameColor = 0x0A0B0C;
    param.filled = 1;
    ElementRecord* rr = BuildElement(&param);
    ASSERT_TRUE(rr);
    EXPECT_EQ(param.flags, kElementHideable);  // the three colour and fill bits are taken
    EXPECT_EQ(rr->flags, kElementFilled | kElementOwnFrameColor | kElementOptionalFill |
                             kElementHideable);
    EXPECT_EQ(ElementAs<RoundRectElement>(rr)->ovalHeight, 4);
    DestroyElement(rr, nullptr);

    param = {};
    param.kind = kElementNode;
    param.extra[0] = 12;
    param.extra[1] = 0x0104;
    param.point1 = {0, 30};
    param.penWidth = 1;
    ElementRecord* node = BuildElement(&param);
    EXPECT_EQ(ElementAs<NodeElement>(node)->serial, 12);
    EXPECT_EQ(ElementAs<NodeElement>(node)->bubbleRadius, 4);
    DestroyElement(node, nullptr);

    param = {};
    param.kind = kElementEmptyQuad;
    ElementRecord* quad = BuildElement(&param);
    EXPECT_EQ(quad->kind, kElementPoly);
    EXPECT_EQ(ElementAs<PolyElement>(quad)->pointCount, 4);
    EXPECT_EQ(ElementSize(quad), 38u + 16u);
    DestroyElement(quad, nullptr);
    param.kind = 12;
    EXPECT_EQ(BuildElement(&param), nullptr);
    Handle two = AllocHandleClear(nullptr, 8);
    EXPECT_EQ(BuildPolyElement(3, two, 1, false, false, 0, false, 0, false), nullptr);  // short
    MemFree(two);
}

TEST_F(Elements, ImageElementsTakeTheirNaturalSizeAndAReference) {
    ImageList* list = CreateLocalImageList();
    // 200 pixels at 144 per inch, 72 points an inch: 100 points.
    ElementRecord* e = BuildImageElement(list, ColourImage(200, 50, 1, false), 0, {10, 20}, -72,
                                         -72, 144, 144, false, false, 0, false, 0);
    EXPECT_EQ(RectText(e->rect), "10,20,34,119");
    EXPECT_EQ(ElementAs<ImageElement>(e)->imageId, 0);
    EXPECT_EQ(GetImageListReferenceCount(list, 0), 1u);
    // A quarter turn measures the width from the image's height.
    ElementRecord* turned = BuildImageElement(list, ColourImage(200, 50, 1, false), 1, {0, 0}, -72,
                                              -72, 144, 72, false, false, 0, false, 0);
    EXPECT_EQ(RectText(turned->rect), "0,0,99,49");
    EXPECT_EQ(ElementAs<ImageElement>(turned)->imageId, 0);
    EXPECT_EQ(GetImageListReferenceCount(list, 0), 2u);
    ElementRecord* none = BuildImageElement(list, nullptr, 0, {0, 0}, 5, 5, 72, 72, false, false, 0,
                                            false, 0);
    EXPECT_EQ(ElementAs<ImageElement>(none)->imageId, -1);
    LinkListHeader* elements = CreateElementList(list);
    LLPush(elements, e);
    LLPush(elements, turned);
    LLPush(elements, none);
    DestroyElementList(elements);  // each element gives its reference back
    EXPECT_EQ(DACount(list->entries), 0);
    DestroyImageList(list);
}

TEST_F(Elements, OffsettingMovesGeometryBoundsAndPoints) {
    LinkListHeader* list = CreateElementList(nullptr);
    ElementRecord* poly = Poly({{0, 0}, {10, 20}}, 1, false);
    ElementRecord* line = Common(1, {0, 0}, {5, 5}, 1);
    LLPush(list, poly);
    LLPush(list, line);
    OffsetElementList(list, {3, -2});
    EXPECT_EQ(PolyPoints(poly)[1].v, 13);
    EXPECT_EQ(PolyPoints(poly)[1].h, 18);
    EXPECT_EQ(RectText(poly->rect), "3,-2,13,18");
    EXPECT_EQ(line->points.point2.h, 3);
    const Rect moved = line->bounds;
    CalcElementBounds(line);
    EXPECT_EQ(RectText(line->bounds), RectText(moved));
    DestroyElementList(list);
}

TEST_F(Elements, DuplicatesOwnTheirPinDataAndImageReferences) {
    ElementRecord* node = Node({0, 30}, {0, 0}, 1, 0);
    auto* n = ElementAs<NodeElement>(node);
    n->pinData = AllocHandleWithData(nullptr, "PDAT1234", 8);
    n->pinNumbers = AllocHandleClear(nullptr, 4);
    ElementRecord* deep = DuplicateElement(node, true, nullptr, nullptr);
    ElementRecord* shallow = DuplicateElement(node, false, nullptr, nullptr);
    ASSERT_TRUE(deep && shallow);
    EXPECT_NE(ElementAs<NodeElement>(deep)->pinData, n->pinData);
    EXPECT_EQ(std::memcmp(*ElementAs<NodeElement>(deep)->pinData, "PDAT1234", 8), 0);
    EXPECT_EQ(ElementAs<NodeElement>(shallow)->pinData, nullptr);  // never shared
    EXPECT_EQ(ElementAs<NodeElement>(shallow)->pinNumbers, nullptr);
    EXPECT_EQ(StoredBytes(deep).substr(0, 32), StoredBytes(node).substr(0, 32));
    for (ElementRecord* e : {node, deep, shallow}) DestroyElement(e, nullptr);

    ImageList* source = CreateLocalImageList();
    ImageList* destination = CreateLocalImageList();
    AddImageToImageList(destination, GreyImage(2, 2, 5));
    ElementRecord* image = BuildImageElement(source, GreyImage(6, 6, 1), 0, {0, 0}, 6, 6, 72, 72,
                                             false, false, 0, false, 0);
    ElementRecord* same = DuplicateElement(image, false, source, source);
    EXPECT_EQ(ElementAs<ImageElement>(same)->imageId, 0);
    EXPECT_EQ(GetImageListReferenceCount(source, 0), 2u);
    // Into another list: the source keeps its count, the destination gains the reference.
    ElementRecord* moved = DuplicateElement(image, false, source, destination);
    EXPECT_EQ(GetImageListReferenceCount(source, 0), 2u);
    EXPECT_EQ(ElementAs<ImageElement>(moved)->imageId, 1);
    EXPECT_EQ(GetImageListReferenceCount(destination, 1), 1u);
    EXPECT_EQ(GetImageFromImageList(destination, 1, false), GetImageFromImageList(source, 0, false));
    DestroyElement(moved, destination);
    DestroyElement(same, source);
    DestroyElement(image, source);
    EXPECT_EQ(DACount(source->entries), 0);
    DestroyImageList(source);
    DestroyImageList(destination);
}

// ---- Stored form ----

// One element of each kind, as a sheet stores it, written by hand in big-endian order: the i32
// tail length, then the record from its flag word on. Bounds are stored as they were.
const char* const kBigEndianElements[] = {
    // line: tail 0; flags 0x0200, kind 1, width 1; bounds; (10,10)-(10,50); frame, fill
    "00000000  0200 01 01  0008 0008 000D 0035  000A 000A 000A 0032  00FF0000 00000000",
    // arrow: tail 4; kind 2; (10,10)-(10,50); head 10, half-angle 23
    "00000004  0000 02 01  0005 0008 000F 0035  000A 000A 000A 0032  00000000 00000000"
    "  000A 0017",
    // rectangle: kind 3, width 3, filled with its own fill colour
    "00000000  0500 03 03  0004 0009 0016 002A  0005 000A 0014 0028  00000000 11223344",
    // oval: kind 4, width 1
    "00000000  0000 04 01  0000 0000 000B 0015  0000 0000 000A 0014  00000000 00000000",
    // rounded rectangle: kind 5, width 2; corners 4 x 6
    "00000004  1000 05 02  FFFF FFFF 000B 0015  0000 0000 000A 0014  00000000 00000000"
    "  0004 0006",
    // arc: kind 6, width 1; start 0, arc 90
    "00000004  0000 06 01  FFFF 000A 000B 0016  0000 0000 0014 0014  00000000 00000000"
    "  0000 005A",
    // polygon: tail 2 + 3 x 4; kind 7, width 3; points (5,5) (30,10) (5,40)
    "0000000E  0000 07 03  0004 0004 0020 002A  0005 0005 001E 0028  00000000 00000000"
    "  0003  0005 0005  001E 000A  0005 0028",
    // node: tail 20; kind 8, width 1; (10,40)-(10,20); serial 7, 0, bubble 3, references as 0
    "00000014  0000 08 01  0006 0012 000F 002B  000A 0028 000A 0014  00000000 00000000"
    "  0007 00 03  00000000 00000000  00000000 00000000",
    // image: tail 10; kind 9, width 1; (10,20)-(24,49); id 0, 72 x 96 dpi, orientation 1, spare
    "0000000A  0100 09 01  000A 0014 0019 0032  000A 0014 0018 0031  00000000 00000000"
    "  00000000 0048 0060 01 00",
};

// The same records in little-endian order: the fields by width as the layout gives them.
std::string LittleEndian(const std::string& big) {
    std::string out = big;
    auto swap = [&out](size_t at, size_t width) { std::reverse(out.begin() + long(at), out.begin() + long(at + width)); };
    swap(0, 4);
    swap(4, 2);  // flags; kind and width are bytes
    for (size_t at = 8; at < 24; at += 2) swap(at, 2);
    swap(24, 4);
    swap(28, 4);
    const uint8_t kind = uint8_t(out[6]);
    if (kind == 2 || kind == 5 || kind == 6) swap(32, 2), swap(34, 2);
    if (kind == 7)
        for (size_t at = 32; at < out.size(); at += 2) swap(at, 2);
    if (kind == 8) swap(32, 2);
    if (kind == 9) swap(32, 4), swap(36, 2), swap(38, 2);
    return out;
}

std::vector<ElementRecord*> FixtureElements(ImageList* images) {
    std::vector<ElementRecord*> out;
    out.push_back(BuildCommonElement(1, {10, 10}, {10, 50}, 1, 0, 0, false, true, 0xFF0000, false, 0,
                                     false));
    out.push_back(Common(2, {10, 10}, {10, 50}, 1, 10, 23));
    out.push_back(BuildCommonElement(3, {5, 10}, {20, 40}, 3, 0, 0, true, false, 0, true,
                                     0x11223344, false));
    out.push_back(Common(4, {0, 0}, {10, 20}, 1));
    out.push_back(BuildCommonElement(5, {0, 0}, {10, 20}, 2, 4, 6, false, false, 0, false, 0, true));
    out.push_back(Common(6, {0, 0}, {20, 20}, 1, 0, 90));
    out.push_back(Poly({{5, 5}, {30, 10}, {5, 40}}, 3, false));
    out.push_back(Node({10, 40}, {10, 20}, 1, 3));
    out.push_back(BuildImageElement(images, GreyImage(4, 4, 0), 1, {10, 20}, 30, 15, 72, 96, true,
                                    false, 0, false, 0));
    return out;
}

TEST_F(Elements, StoredFixtureReadsInBothByteOrdersAndWritesBack) {
    ImageList* images = CreateLocalImageList();
    std::vector<ElementRecord*> built = FixtureElements(images);
    for (size_t i = 0; i < built.size(); ++i) {
        SCOPED_TRACE(i);
        const std::string big = Hex(kBigEndianElements[i]);
        const std::string little = LittleEndian(big);
        HandleStream written;
        ASSERT_EQ(WriteStoredElement(written.stream, built[i]), 0);
        EXPECT_EQ(written.bytes(), little);
        for (const bool swap : {false, true}) {
            HandleStream in(swap ? big : little);
            uint32_t tail = 0;
            ASSERT_EQ(StreamReadLong(in.stream, &tail), 0);
            if (swap) ByteSwapLong(&tail);
            ElementRecord* read = nullptr;
            ASSERT_EQ(ReadStoredElement(in.stream, 28, int32_t(tail), swap, images, &read), 0);
            ASSERT_TRUE(read);
            EXPECT_EQ(StoredBytes(read), StoredBytes(built[i]));
            EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
            DestroyElement(read, images);
        }
        // The record in memory swaps the same way.
        auto* foreign = reinterpret_cast<ElementRecord*>(AllocPtrClear(nullptr, ElementSize(built[i])));
        std::memcpy(reinterpret_cast<char*>(foreign) + 8, big.data() + 4, big.size() - 4);
        ByteSwapElement(foreign);
        EXPECT_EQ(StoredBytes(foreign), StoredBytes(built[i]));
        MemFreePtr(foreign);
    }
    EXPECT_EQ(GetImageListReferenceCount(images, 0), 1u);
    std::string foreign(1, '\1');
    for (const char* record : kBigEndianElements) foreign += Hex(record);
    CheckFuzzSeed("model_elements", "foreign", foreign + Hex("FFFFFFFF"));
    for (ElementRecord* e : built) DestroyElement(e, images);
    DestroyImageList(images);
}

ElementRecord* ReadOne(const std::string& bytes, ImageList* images, OSStatus* status,
                       int32_t headLength = 28, bool swap = false) {
    HandleStream in(bytes);
    uint32_t tail = 0;
    *status = StreamReadLong(in.stream, &tail);
    if (*status) return nullptr;
    if (swap) ByteSwapLong(&tail);
    ElementRecord* e = nullptr;
    *status = ReadStoredElement(in.stream, headLength, int32_t(tail), swap, images, &e);
    if (*status) {
        EXPECT_EQ(e, nullptr);
    }
    return e;
}

TEST_F(Elements, StoredReferencesAreNeverTakenFromTheFile) {
    ImageList* images = CreateLocalImageList();
    AddImageToImageList(images, GreyImage(3, 3, 0));
    // A node whose reference fields hold what a careless writer left there.
    std::string node = LittleEndian(Hex(kBigEndianElements[7]));
    std::memset(node.data() + 36, 0x5A, 16);
    OSStatus status = 0;
    ElementRecord* e = ReadOne(node, images, &status);
    ASSERT_TRUE(e);
    EXPECT_EQ(ElementAs<NodeElement>(e)->pinData, nullptr);
    EXPECT_EQ(ElementAs<NodeElement>(e)->pinNumbers, nullptr);
    DestroyElement(e, images);
    // A node written with shorter reference fields.
    std::string shortNode = node.substr(0, 36 + 8);
    shortNode[0] = 12;
    e = ReadOne(shortNode, images, &status);
    ASSERT_TRUE(e);
    EXPECT_EQ(ElementSize(e), 56u);
    EXPECT_EQ(ElementAs<NodeElement>(e)->bubbleRadius, 3);
    EXPECT_EQ(ElementAs<NodeElement>(e)->pinData, nullptr);
    DestroyElement(e, images);
    // An image takes one reference when its id names an image, and -1 when it does not.
    std::string image = LittleEndian(Hex(kBigEndianElements[8]));
    e = ReadOne(image, images, &status);
    EXPECT_EQ(ElementAs<ImageElement>(e)->imageId, 0);
    EXPECT_EQ(GetImageListReferenceCount(images, 0), 2u);
    DestroyElement(e, images);
    image[32] = 9;
    e = ReadOne(image, images, &status);
    EXPECT_EQ(ElementAs<ImageElement>(e)->imageId, -1);
    DestroyElement(e, images);
    EXPECT_EQ(GetImageListReferenceCount(images, 0), 1u);
    DestroyImageList(images);
}

TEST_F(Elements, DamagedStoredElementsEndWithAStatus) {
    const std::string poly = LittleEndian(Hex(kBigEndianElements[6]));
    std::string tooMany = poly;
    tooMany[32] = 4;  // four points claimed, three stored
    std::string negative = poly;
    negative[33] = '\x80';
    std::string shortArrow = LittleEndian(Hex(kBigEndianElements[1]));
    shortArrow[0] = 2;
    std::string shortImage = LittleEndian(Hex(kBigEndianElements[8]));
    shortImage[0] = 9;
    std::string beyond = poly;
    beyond[2] = 1;  // a tail of 64 KB
    struct Case {
        const char* name;
        std::string bytes;
        OSStatus status;
    };
    const Case cases[] = {
        {"polygon count beyond its tail", tooMany, status::kUnknownFileKind},
        {"negative polygon count", negative, status::kUnknownFileKind},
        {"arrow without its words", shortArrow.substr(0, 34), status::kUnknownFileKind},
        {"image tail too short", shortImage.substr(0, 41), status::kUnknownFileKind},
        {"tail beyond the bytes", beyond, status::kEndOfFile},
    };
    for (const Case& c : cases) {
        OSStatus status = 0;
        EXPECT_EQ(ReadOne(c.bytes, nullptr, &status), nullptr) << c.name;
        EXPECT_EQ(status, c.status) << c.name;
    }
    // An unknown kind is passed over.
    std::string unknown = LittleEndian(Hex(kBigEndianElements[3]));
    unknown[6] = 12;
    OSStatus status = -1;
    EXPECT_EQ(ReadOne(unknown, nullptr, &status), nullptr);
    EXPECT_EQ(status, 0);
    // A longer stored head: its extra bytes are skipped.
    std::string longer = LittleEndian(Hex(kBigEndianElements[0]));
    longer.insert(32, "\xEE\xEE\xEE\xEE");
    ElementRecord* e = ReadOne(longer, nullptr, &status, 32);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->points.point2.h, 50);
    DestroyElement(e, nullptr);

    // Every cut and random damage ends with a status or a whole element.
    std::mt19937 rng(TestSeed());
    const uint64_t rounds = StressCount(4000);
    for (uint64_t i = 0; i < rounds; ++i) {
        std::string b = LittleEndian(Hex(kBigEndianElements[i % 9]));
        const bool swapped = rng() % 2;
        if (swapped) b = Hex(kBigEndianElements[i % 9]);
        if (rng() % 3 == 0) {
            b.resize(rng() % b.size());
        } else {
            for (int k = 1 + int(rng() % 3); k > 0; --k) b[4 + rng() % (b.size() - 4)] = char(rng());
        }
        if (ElementRecord* read = ReadOne(b, nullptr, &status, 28, swapped)) {
            EXPECT_LE(ElementSize(read), SizeOfPtr(read));
            DestroyElement(read, nullptr);
        }
    }
}

TEST_F(Elements, ReadingWithoutRoomForTheRecordReportsOutOfMemory) {
    MemPoolRecord* saved = ElementPool();
    MemPoolRecord* tiny = CreatePool(4096);
    std::vector<Ptr> fill;
    MemPoolSetCeiling(tiny, 8192);
    while (Ptr p = AllocPtr(tiny, 32)) fill.push_back(p);
    gElementPool = tiny;
    OSStatus status = 0;
    EXPECT_EQ(ReadOne(LittleEndian(Hex(kBigEndianElements[7])), nullptr, &status), nullptr);
    EXPECT_EQ(status, status::kOutOfMemory);
    EXPECT_EQ(Common(1, {0, 0}, {1, 1}, 1), nullptr);
    gElementPool = saved;
    for (Ptr p : fill) MemFreePtr(p);
    MemPoolFree(tiny);
}

// ---- Drawing ----

std::vector<std::string> gPixelsLog;

void LogPixels(VXGrafState*, VXPixels* pixels, const Rect*, const Rect* dest, int16_t mode) {
    gPixelsLog.push_back(std::to_string(pixels->width) + "x" + std::to_string(pixels->height) +
                         " into " + RectText(*dest) + " mode " + std::to_string(mode) +
                         " fore " + std::to_string(VXGetForeColor()) + " back " +
                         std::to_string(VXGetBackColor()));
}

class ElementDrawing : public ImageListTest {
protected:
    void SetUp() override {
        ImageListTest::SetUp();
        VXInitGraf();
        port_ = QZPortAlloc(nullptr);
        window_.port = port_;
        window_.textStyle = CreateTextStyle(nullptr, nullptr);
        VXSetCurrentGrafState(&window_);
        savedFlags_ = gGenFlags;
        gGenFlags = kGenColorDrawing;
        previousDrawer_ = VXSetPixelsDrawer(LogPixels);
        gPixelsLog.clear();
        images_ = CreateLocalImageList();
    }
    void TearDown() override {
        DestroyImageList(images_);
        VXSetPixelsDrawer(previousDrawer_);
        gGenFlags = savedFlags_;
        gDrawElmtSelRgn = nullptr;
        VXSetCurrentGrafState(nullptr);
        window_.port = nullptr;
        QZPortFree(port_);
        DestroyTextStyle(window_.textStyle);
        window_.textStyle = nullptr;
        ImageListTest::TearDown();
    }

    // The records that drawing the element leaves in a capture, without the header and end.
    std::string Record(ElementRecord* e, bool withoutFill = false) {
        QZSetDefaultGraphicsState(port_, true);
        window_.grafProcs = nullptr;
        EXPECT_TRUE(VXOpenDisplayList(&window_, nullptr, {0, 0}, 0));
        DrawElement(e, images_, withoutFill, false);
        EXPECT_EQ(window_.grafProcs, nullptr);  // the centre-line set is put back
        DisplayList list = VXCloseDisplayList(&window_);
        const std::string dump = DLDumpDisplayList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list));
        MemFree(list);
        DestroyElement(e, images_);
        // Each line without its offset; the header and the end record dropped.
        std::string out;
        size_t at = 0;
        while (at < dump.size()) {
            const size_t end = dump.find('\n', at);
            const std::string line = dump.substr(at + 8, end - at - 8);
            const bool kept = line.find("header") == std::string::npos &&
                              line.find("  end") == std::string::npos &&
                              line.find("encoding") == std::string::npos &&
                              line.find("pattern") == std::string::npos;
            if (kept) out += line + "\n";
            at = end + 1;
        }
        return out;
    }

    QZPort* port_ = nullptr;
    VXGrafState window_;
    uint32_t savedFlags_ = 0;
    VXPixelsDrawer previousDrawer_ = nullptr;
    ImageList* images_ = nullptr;
};

TEST_F(ElementDrawing, EachKindRecordsItsShapes) {
    struct Case {
        const char* name;
        std::function<ElementRecord*()> build;
        const char* records;
    };
    const Case cases[] = {
        {"line", [] { return Common(1, {10, 10}, {10, 50}, 1); },
         "08 00  move by (10,10)\n"
         "18 00  line by (0,40)\n"},
        {"arrow: head framed and painted, shaft shortened to 2 x (10 / 3) from the tip",
         [] { return Common(2, {10, 10}, {10, 50}, 1, 10, 23); },
         "04 00  polygon verb 0 count 4: (10,50) (14,41) (6,41) (10,50)\n"
         "04 01  polygon verb 1 count 4: (10,50) (14,41) (6,41) (10,50)\n"
         "08 00  move by (0,-40)\n"
         "18 00  line by (0,34)\n"},
        {"short arrow: shaft only", [] { return Common(2, {10, 10}, {10, 15}, 1, 10, 23); },
         "08 00  move by (10,10)\n"
         "18 00  line by (0,5)\n"},
        {"rectangle", [] { return Common(3, {5, 10}, {20, 40}, 1); },
         "05 30  rect verb 0 (5,10,21,41)\n"},
        {"filled oval in its own colours: fill, then frame",
         [] {
             return BuildCommonElement(4, {0, 0}, {10, 20}, 1, 0, 0, true, true, 0xFF0000, true,
                                       0x00FF00, false);
         },
         "01 00  fore colour 0000FF00\n"
         "15 31  oval verb 1 (0,0,11,21)\n"
         "01 00  fore colour 00FF0000\n"
         "15 30  oval verb 0 (0,0,11,21)\n"},
        {"rounded rectangle centred on its pen", [] { return Common(5, {0, 0}, {10, 20}, 2, 4, 6); },
         "06 02  pen width 2\n"
         "85 30  round rect verb 0 (-1,-1,11,21) oval 4 6\n"},
        {"arc", [] { return Common(6, {0, 0}, {20, 20}, 1, 0, 90); },
         "95 30  arc verb 0 (0,0,21,21) angles 0 90\n"},
        {"filled polygon: painted with a 1-point pen, framed with its own",
         [] { return Poly({{5, 5}, {30, 10}, {5, 40}}, 3, true); },
         "04 01  polygon verb 1 count 3: (5,5) (30,10) (5,40)\n"
         "06 03  pen width 3\n"
         "04 00  polygon verb 0 count 3: (4,4) (29,9) (4,39)\n"},
        {"pin with a bubble: the bubble, then the shortened line",
         [] { return Node({10, 40}, {10, 20}, 1, 3); },
         "15 30  oval verb 0 (7,21,14,28)\n"
         "08 00  move by (10,27)\n"
         "18 00  line by (0,13)\n"},
        {"pin of width 2 pointing right starts one further right",
         [] { return Node({10, 40}, {10, 20}, 2, 0); },
         "06 02  pen width 2\n"
         "08 00  move by (9,20)\n"
         "18 00  line by (0,19)\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Record(c.build()), c.records) << c.name;
    }
}

TEST_F(ElementDrawing, FlagsOfTheApplicationSteerTheDrawing) {
    auto filledRect = [] {
        return BuildCommonElement(3, {0, 0}, {10, 10}, 1, 0, 0, true, true, 0xFF0000, true, 0x00FF00,
                                  false);
    };
    struct Case {
        const char* name;
        uint32_t flags;
        std::function<ElementRecord*()> build;
        const char* records;
    };
    const Case cases[] = {
        {"colour drawing off: the default colour for frame and fill", 0, filledRect,
         "05 31  rect verb 1 (0,0,11,11)\n"
         "05 30  rect verb 0 (0,0,11,11)\n"},
        {"symbol capture: the fill becomes comment 231", kGenColorDrawing | kGenSymbolCapture,
         filledRect,
         "26 E7  comment kind 231 length 0\n"
         "01 00  fore colour 00FF0000\n"
         "05 30  rect verb 0 (0,0,11,11)\n"},
        {"DXF export: filled shapes are painted and not framed", kGenColorDrawing | kGenDXFExport,
         filledRect,
         "01 00  fore colour 0000FF00\n"
         "05 31  rect verb 1 (0,0,10,10)\n"},
        {"port marker of a 1-point pin: a diamond at its connection end",
         kGenColorDrawing | kGenPortMarkers, [] { return Node({10, 40}, {10, 20}, 1, 0); },
         "08 00  move by (10,20)\n"
         "18 00  line by (0,20)\n"
         "04 00  polygon verb 0 count 5: (12,40) (10,42) (8,40) (10,38) (12,40)\n"},
        {"hidden port markers", kGenColorDrawing | kGenPortMarkers | kGenHidePortMarkers,
         [] { return Node({10, 40}, {10, 20}, 1, 0); },
         "08 00  move by (10,20)\n"
         "18 00  line by (0,20)\n"},
        {"port marker of a wider vertical pin: strokes of a 1-point pen",
         kGenColorDrawing | kGenPortMarkers, [] { return Node({0, 20}, {30, 20}, 3, 0); },
         "06 03  pen width 3\n"
         "08 00  move by (29,19)\n"
         "18 00  line by (-30,0)\n"
         "06 01  pen width 1\n"
         "08 00  move by (1,-2)\n"
         "18 00  line by (2,2)\n"
         "08 00  move by (0,1)\n"
         "18 00  line by (-2,2)\n"
         "08 00  move by (-1,0)\n"
         "18 00  line by (-2,-2)\n"
         "08 00  move by (0,-1)\n"
         "18 00  line by (2,-2)\n"},
    };
    for (const Case& c : cases) {
        gGenFlags = c.flags;
        EXPECT_EQ(Record(c.build()), c.records) << c.name;
    }
}

TEST_F(ElementDrawing, OutlinesXorSelectionErasingAndRecording) {
    auto filledRect = [] {
        return BuildCommonElement(3, {0, 0}, {10, 10}, 1, 0, 0, true, true, 0xFF0000, true, 0x00FF00,
                                  false);
    };
    EXPECT_EQ(Record(filledRect(), true),
              "01 00  fore colour 00FF0000\n"
              "05 30  rect verb 0 (0,0,11,11)\n");
    // Optional fills off: an element whose fill is optional draws as an outline.
    gGenFlags = kGenColorDrawing | kGenOptionalFillsOff;
    ElementRecord* optional = filledRect();
    optional->flags |= kElementOptionalFill;
    EXPECT_EQ(Record(optional),
              "01 00  fore colour 00FF0000\n"
              "05 30  rect verb 0 (0,0,11,11)\n");
    EXPECT_EQ(Record(filledRect()),
              "01 00  fore colour 0000FF00\n"
              "05 31  rect verb 1 (0,0,11,11)\n"
              "01 00  fore colour 00FF0000\n"
              "05 30  rect verb 0 (0,0,11,11)\n");
    gGenFlags = kGenColorDrawing;
    // The selection region meets the element: the fill is painted again in the selection brush.
    const LRect area{0, 0, 5, 5};
    gDrawElmtSelRgn = VXCreateRgn(&area);
    EXPECT_EQ(Record(filledRect()),
              "01 00  fore colour 0000FF00\n"
              "05 31  rect verb 1 (0,0,11,11)\n"
              "01 00  fore colour 12000000\n"
              "05 31  rect verb 1 (0,0,11,11)\n"
              "01 00  fore colour 00FF0000\n"
              "05 30  rect verb 0 (0,0,11,11)\n");
    VXDestroyRgn(gDrawElmtSelRgn);
    gDrawElmtSelRgn = nullptr;

    auto capture = [this](const std::function<void()>& draw) {
        QZSetDefaultGraphicsState(port_, true);
        EXPECT_TRUE(VXOpenDisplayList(&window_, nullptr, {0, 0}, 0));
        draw();
        DisplayList list = VXCloseDisplayList(&window_);
        std::string dump = DLDumpDisplayList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list));
        MemFree(list);
        return dump;
    };
    ElementRecord* e = filledRect();
    // Xor: draw mode 2, outline only; seen through the window's own procedures, which DXF export
    // leaves in place.
    static std::vector<std::string> shapes;
    shapes.clear();
    VXGrafProcsRecord logging;
    VXSetNullGrafProcs(&logging);
    logging.rect = [](const Rect*, int8_t verb) {
        shapes.push_back("rect verb " + std::to_string(verb) + " mode " +
                         std::to_string(VXGetCurrentGrafState()->drawMode));
    };
    window_.grafProcs = &logging;
    gGenFlags = kGenColorDrawing | kGenDXFExport;
    DrawElement(e, images_, false, true);
    EXPECT_EQ(shapes, (std::vector<std::string>{"rect verb 0 mode 2"}));
    EXPECT_EQ(window_.drawMode, 0);
    EXPECT_EQ(window_.grafProcs, &logging);
    window_.grafProcs = nullptr;
    gGenFlags = kGenColorDrawing;
    // Erasing draws in the background colour and ignores the element's own colours.
    std::string erased = capture([&] { EraseElement(e); });
    EXPECT_NE(erased.find("fore colour 0B000000"), std::string::npos) << erased;  // brush 11
    EXPECT_EQ(erased.find("00FF0000"), std::string::npos) << erased;
    EXPECT_EQ(e->flags, kElementFilled | kElementOwnFrameColor | kElementOwnFillColor);
    // Recording sets no colour at all.
    std::string recorded = capture([&] { RecordElement(e, images_); });
    EXPECT_EQ(recorded.find("fore colour"), std::string::npos) << recorded;
    EXPECT_NE(recorded.find("rect verb 1 (0,0,10,10)"), std::string::npos) << recorded;
    DestroyElement(e, images_);
}

TEST_F(ElementDrawing, ImagesDrawTheirPixelsIntoTheirBounds) {
    ElementRecord* colour = BuildImageElement(images_, ColourImage(8, 4, 1, false), 0, {10, 20}, 16,
                                              8, 72, 72, false, false, 0, false, 0);
    ElementRecord* turned = BuildImageElement(images_, ColourImage(8, 4, 1, false), 1, {0, 0}, 8, 16,
                                              72, 72, false, false, 0, false, 0);
    ElementRecord* oneBit = BuildImageElement(images_, GreyImage(5, 5, 0), 0, {0, 0}, 5, 5, 72, 72,
                                              true, true, 0xFF0000, true, 0x00FF00);
    ElementRecord* mask = BuildImageElement(images_, GreyImage(5, 5, 0), 0, {0, 0}, 5, 5, 72, 72,
                                            false, false, 0, false, 0);
    ElementRecord* missing = BuildImageElement(images_, nullptr, 0, {0, 0}, 5, 5, 72, 72, false,
                                               false, 0, false, 0);
    for (ElementRecord* e : {colour, turned, oneBit, mask, missing}) DrawElement(e, images_, false, false);
    const std::string black = std::to_string(kVXDefaultForeColor);
    const std::string white = std::to_string(kVXDefaultBackColor);
    EXPECT_EQ(gPixelsLog,
              (std::vector<std::string>{
                  "8x4 into 10,20,18,36 mode 0 fore " + black + " back " + white,
                  "4x8 into 0,0,16,8 mode 0 fore " + black + " back " + white,
                  "5x5 into 0,0,5,5 mode 10 fore " + std::to_string(0xFF0000) + " back " +
                      std::to_string(0x00FF00),
                  "5x5 into 0,0,5,5 mode 11 fore " + black + " back " + white,
              }));
    // Under DXF export an image is a frame with its diagonals.
    gGenFlags = kGenColorDrawing | kGenDXFExport;
    EXPECT_EQ(Record(DuplicateElement(colour, false, images_, images_)),
              "05 30  rect verb 0 (10,20,18,36)\n"
              "08 00  move by (10,20)\n"
              "18 00  line by (7,15)\n"
              "08 00  move by (-7,0)\n"
              "18 00  line by (7,-15)\n");
    for (ElementRecord* e : {colour, turned, oneBit, mask, missing}) DestroyElement(e, images_);
}

}  // namespace
}  // namespace plexa::test
