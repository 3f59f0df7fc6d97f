// Symbol drawing: placed symbols recorded through a display-list capture, read back as text: the
// colours of pins and body, port markers, element colours and fills, images, and the symbol
// kinds that draw otherwise.
#include <gtest/gtest.h>

#include <string>

#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "model/drawglobals.h"
#include "model/symboldraw.h"
#include "model/tests/symbol_testing.h"

namespace plexa::test {
namespace {

// Preference colour i draws as 0xA000i0.
constexpr VXColor IndexColor(int16_t index) { return 0x00A00000 | uint32_t(index) << 4; }

class SymbolDrawing : public SheetTest {
protected:
    void SetUp() override {
        SheetTest::SetUp();
        SheetColorHooks hooks;
        hooks.setForeColor = [](int16_t index) { QZSetColor(nullptr, IndexColor(index), false); };
        hooks.colorPreferred = [] { return colour; };
        SetSheetColorHooks(hooks);
        colour = true;
        flags = gGenFlags;
        gGenFlags = kGenColorDrawing;
    }
    void TearDown() override {
        gGenFlags = flags;
        SetSymbolDrawHooks({});
        SheetTest::TearDown();
    }

    // The symbol's drawing as recorded, one record a line.
    std::string Recorded(SymbolRecord* symbol, bool portMarkers) {
        Canvas canvas(120, 120);
        VXGrafState* graf = canvas.state();
        EXPECT_TRUE(VXOpenDisplayList(graf, gGenPool, {0, 0}, 0));
        DrawSymbol(&sheet, symbol, sheet.imageList, canvas.state(), portMarkers);
        DisplayList list = VXCloseDisplayList(graf);
        EXPECT_NE(list, nullptr);
        if (!list) return {};
        const std::string dump = DLDumpDisplayList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list));
        MemFree(list);
        // The records' descriptions, without the set-up the capture starts with.
        std::string out;
        auto setUp = [](const std::string& line) {
            for (const char* word : {"header", "encoding", "pattern", "end"})
                if (line.rfind(word, 0) == 0) return true;
            return false;
        };
        for (size_t at = 0, end; (end = dump.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::string line = dump.substr(at + 15, end - at - 15);
            if (!setUp(line)) out += line + "\n";
        }
        return out;
    }

    // A symbol of one pin from (10, 0) to (10, 10) and the elements after it.
    SymbolRecord* PlaceDefinition(const std::vector<ElementRecord*>& body, uint32_t flags = 0,
                                  std::vector<PinLine> pins = {{{10, 0}, {10, 10}}}) {
        LinkListHeader* elements = CreateElementList(sheet.imageList);
        for (const PinLine& pin : pins)
            LLAppend(elements, BuildNodeElement(pin.connection, pin.body, pin.pen, 0, false, 0, false, 0, false, 0));
        for (ElementRecord* e : body) LLAppend(elements, e);
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet.stringBlock, false, sheet.imageList);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        const int32_t id = AddSymbolToMap(sheet.symbolMap, *data, int32_t(SizeOfHandle(data)), sheet.imageList);
        MemFree(data);
        return Place(id, {20, 30}, flags);
    }

    static ElementRecord* Box(bool filled, bool fillGiven = false, uint32_t fill = 0, bool optional = false) {
        return BuildCommonElement(kElementRect, {0, 10}, {20, 40}, 1, 0, 0, filled, false, 0, fillGiven, fill,
                                  optional);
    }

    static inline bool colour = true;
    uint32_t flags = 0;
};

TEST_F(SymbolDrawing, PinsAndBodyTakeTheirPreferenceColours) {
    SymbolRecord* symbol = PlaceDefinition({Box(false)});
    EXPECT_EQ(Recorded(symbol, false),
              "fore colour 00A00010\n"
              "move by (30,40)\n"
              "line by (0,-10)\n"
              "fore colour 00A00000\n"
              "rect verb 0 (20,40,41,71)\n");
}

TEST_F(SymbolDrawing, APortSymbolDrawsInThePortColourWithoutMarkers) {
    SymbolRecord* port = PlaceDefinition({Box(false)}, kSymbolFlagPort);
    const char* const drawing =
        "move by (30,40)\n"
        "line by (0,-10)\n"
        "rect verb 0 (20,40,41,71)\n";
    EXPECT_EQ(Recorded(port, true), std::string("fore colour 00A00030\n") + drawing);
    port->flags |= kSymbolFlagBussPort;
    EXPECT_EQ(Recorded(port, true), std::string("fore colour 00A00040\n") + drawing);
}

TEST_F(SymbolDrawing, PortMarkersAtTheConnectionEnds) {
    SymbolRecord* symbol = PlaceDefinition({Box(false)}, 0, {{{10, 0}, {10, 10}}, {{0, 25}, {10, 25}, 2}});
    // A diamond at the end of a pin of width 1; strokes of a 1-point pen at a wider pin's.
    EXPECT_EQ(Recorded(symbol, true),
              "fore colour 00A00010\n"
              "move by (30,40)\n"
              "line by (0,-10)\n"
              "polygon verb 0 count 5: (32,30) (30,32) (28,30) (30,28) (32,30)\n"
              "pen width 2\n"
              "move by (-3,24)\n"
              "line by (-10,0)\n"
              "pen width 1\n"
              "move by (1,-2)\n"
              "line by (2,2)\n"
              "move by (0,1)\n"
              "line by (-2,2)\n"
              "move by (-1,0)\n"
              "line by (-2,-2)\n"
              "move by (0,-1)\n"
              "line by (2,-2)\n"
              "fore colour 00A00000\n"
              "rect verb 0 (20,40,41,71)\n");
    // The caller's choice: none.
    EXPECT_EQ(Recorded(symbol, false).find("polygon"), std::string::npos);
}

TEST_F(SymbolDrawing, FillsTakeTheBodyColourOrTheirOwn) {
    const char* const pin =
        "fore colour 00A00010\n"
        "move by (30,40)\n"
        "line by (0,-10)\n";
    const char* const bodyFill =
        "fore colour 00A00000\n"
        "rect verb 1 (20,40,41,71)\n"
        "rect verb 0 (20,40,41,71)\n";
    SymbolRecord* plain = PlaceDefinition({Box(true)});
    EXPECT_EQ(Recorded(plain, false), std::string(pin) + bodyFill);
    SymbolRecord* own = PlaceDefinition({Box(true, true, 0x00123456)});
    EXPECT_EQ(Recorded(own, false), std::string(pin) +
                                        "fore colour 00123456\n"
                                        "rect verb 1 (20,40,41,71)\n"
                                        "fore colour 00A00000\n"
                                        "rect verb 0 (20,40,41,71)\n");
    colour = false;  // the preferences draw without colour: the body colour fills
    EXPECT_EQ(Recorded(own, false), std::string(pin) + bodyFill);
}

TEST_F(SymbolDrawing, OptionalFillsAreLeftOutWhileTurnedOff) {
    SymbolRecord* symbol = PlaceDefinition({Box(true, false, 0, true)});
    EXPECT_NE(Recorded(symbol, false).find("rect verb 1"), std::string::npos);
    gGenFlags |= kGenOptionalFillsOff;
    EXPECT_EQ(Recorded(symbol, false),
              "fore colour 00A00010\n"
              "move by (30,40)\n"
              "line by (0,-10)\n"
              "fore colour 00A00000\n"
              "rect verb 0 (20,40,41,71)\n");
}

TEST_F(SymbolDrawing, ImagesAndTextsOfTheDefinition) {
    // An image whose picture is not in the list: the rectangle is framed as an ordinary one.
    ImageList* other = CreateLocalImageList();
    VXPixels* picture = GreyImage(4, 4, 7);
    ElementRecord* image = BuildImageElement(other, picture, 0, {0, 10}, 4, 4, 72, 72, false, false, 0, false, 0);
    ASSERT_NE(image, nullptr);
    LinkListHeader* elements = CreateElementList(other);
    LLAppend(elements, image);
    Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet.stringBlock, false, nullptr);
    DestroyElementList(elements);
    ASSERT_NE(data, nullptr);
    const int32_t id = AddSymbolToMap(sheet.symbolMap, *data, int32_t(SizeOfHandle(data)), nullptr);
    MemFree(data);
    DestroyImageList(other);
    SymbolRecord* symbol = Place(id, {20, 30});
    EXPECT_EQ(Recorded(symbol, false),
              "fore colour 00A00000\n"
              "rect verb 0 (20,40,24,44)\n");
    // Under DXF export an image is a frame and both diagonals.
    SymbolRecord* shown = PlaceDefinition({BuildImageElement(sheet.imageList, GreyImage(4, 4, 9), 0, {0, 10}, 4, 4,
                                                             72, 72, false, false, 0, false, 0)});
    const std::string drawn = Recorded(shown, false);
    EXPECT_EQ(drawn.find("rect verb 0"), std::string::npos) << drawn;
    gGenFlags |= kGenDXFExport;
    EXPECT_EQ(Recorded(shown, false),
              "fore colour 00A00010\n"
              "move by (30,40)\n"
              "line by (0,-10)\n"
              "fore colour 00A00000\n"
              "rect verb 0 (20,40,23,43)\n"
              "move by (-10,10)\n"
              "line by (3,3)\n"
              "move by (-3,0)\n"
              "line by (3,-3)\n");
}

TEST_F(SymbolDrawing, TheDefinitionsTextsAreLeftToTheSheet) {
    LinkListHeader* elements = CreateElementList(sheet.imageList);
    LLAppend(elements, Box(false));
    LinkListHeader* texts = CreateTextList();
    TextRecord* text = CreateTextElement();
    text->kind = kTextKindSymbolAttribute;
    text->style = Style(12);
    SetupTheText(text, sheet.stringBlock, {40, 10}, nullptr, "{Value}");
    LLAppend(texts, text);
    LLAppend(elements, BuildCommonElement(kElementLine, {0, 0}, {5, 5}, 1, 0, 0, false, false, 0, false, 0, false));
    Handle data = ElementsToSymbolData(elements, texts, nullptr, sheet.stringBlock, false, sheet.imageList);
    DestroyTextList(texts);
    DestroyElementList(elements);
    ASSERT_NE(data, nullptr);
    const int32_t id = AddSymbolToMap(sheet.symbolMap, *data, int32_t(SizeOfHandle(data)), sheet.imageList);
    MemFree(data);
    const std::string drawn = Recorded(Place(id, {20, 30}), false);
    EXPECT_NE(drawn.find("rect verb 0"), std::string::npos) << drawn;
    EXPECT_EQ(drawn.find("text"), std::string::npos) << drawn;
}

TEST_F(SymbolDrawing, SheetSymbolsGoToTheirHook) {
    static SymbolRecord* drawn = nullptr;
    static bool markers = false;
    SymbolDrawHooks hooks;
    hooks.drawSheetSymbol = [](VXGrafState*, SymbolRecord* symbol, bool portMarkers) {
        drawn = symbol;
        markers = portMarkers;
    };
    SetSymbolDrawHooks(hooks);
    SymbolRecord* symbol = Place(-1, {0, 0}, kSymbolFlagSheet);
    EXPECT_EQ(Recorded(symbol, true), "");
    EXPECT_EQ(drawn, symbol);
    EXPECT_TRUE(markers);
}

}  // namespace
}  // namespace plexa::test
