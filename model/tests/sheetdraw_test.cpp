// The sheet's drawing helpers recorded through a display-list capture: graphic elements back to
// front with the layer, selection and hideable filters; texts by rotation and alignment, hidden
// value labels, overscored texts.
#include <gtest/gtest.h>

#include <string>

#include "foundation/ll.h"
#include "foundation/signals.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheetdraw.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

class SheetDrawing : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        images = CreateLocalImageList();
        sheet.elementList = CreateElementList(images);
    }
    void TearDown() override {
        DestroyElementList(sheet.elementList);
        DestroyImageList(images);
        ModelTest::TearDown();
    }

    // What the procedure drew, one record a line, without the capture's set-up.
    template <typename Draw>
    std::string Recorded(Draw draw) {
        Canvas canvas(200, 200);
        VXGrafState* graf = canvas.state();
        VXGrafStateScope scope(canvas.state());
        EXPECT_TRUE(VXOpenDisplayList(graf, gGenPool, {0, 0}, 0));
        draw();
        DisplayList list = VXCloseDisplayList(graf);
        EXPECT_NE(list, nullptr);
        if (!list) return {};
        const std::string dump = DLDumpDisplayList(reinterpret_cast<uint8_t*>(*list), SizeOfHandle(list));
        MemFree(list);
        std::string out;
        for (size_t at = 0, end; (end = dump.find('\n', at)) != std::string::npos; at = end + 1) {
            const std::string line = dump.substr(at + 15, end - at - 15);
            bool setUp = false;
            for (const char* word : {"header", "encoding", "pattern", "end", "fore colour", "back colour"})
                setUp = setUp || line.rfind(word, 0) == 0;
            if (!setUp) out += line + "\n";
        }
        return out;
    }

    // A 10 x 10 frame at (left, top) with the flags.
    ElementRecord* Box(int16_t left, int16_t top, uint16_t flags) {
        ElementRecord* e = BuildCommonElement(kElementRect, {top, left}, {int16_t(top + 10), int16_t(left + 10)}, 1,
                                              0, 0, false, false, 0, false, 0, false);
        e->flags |= flags;
        LLAppend(sheet.elementList, e);
        return e;
    }

    ImageList* images = nullptr;
};

// A drawing procedure that leaves through a failure signal on its second rectangle.
int gRectsDrawn = 0;
void FailingRect(const Rect*, int8_t) {
    if (++gRectsDrawn == 2) Signal(status::kOutOfMemory);
}

TEST_F(SheetDrawing, ElementListKeepsItsOrderWhenDrawingLeavesThroughAFailure) {
    Box(0, 0, 0);
    Box(20, 0, 0);
    Box(40, 0, 0);
    Canvas canvas(200, 200);
    VXGrafProcsRecord procs = *VXGetStdGrafProcs();
    procs.rect = FailingRect;
    canvas.state()->grafProcs = &procs;
    const uint32_t savedFlags = gGenFlags;
    gGenFlags |= kGenDXFExport;  // elements draw through the window's own procedures
    gRectsDrawn = 0;
    {
        VXGrafStateScope scope(canvas.state());
        EXPECT_EQ(CatchSignals([&] { DrawGrafElements(sheet.elementList, nullptr, 0); }),
                  status::kOutOfMemory);
    }
    gGenFlags = savedFlags;
    canvas.state()->grafProcs = nullptr;
    std::string lefts;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet.elementList)); e; e = e->next)
        lefts += std::to_string(e->rect.left) + " ";
    EXPECT_EQ(lefts, "0 20 40 ");
    EXPECT_EQ(sheet.elementList->count, 3u);
}

TEST_F(SheetDrawing, ElementsBackToFrontByLayerSelectionAndHiding) {
    // The list runs front to back: the first element is drawn last.
    Box(0, 0, 0);
    Box(20, 0, kElementBackLayer);
    Box(40, 0, kElementHideable);
    Box(60, 0, kElementSelected);
    struct Case {
        int32_t mode;
        const char* lefts;  // the elements drawn, in drawing order
    } cases[] = {
        {kGrafFrontLayer, "60 40 0"},
        {kGrafBackLayer, "20"},
        {kGrafFrontLayer | kGrafSkipHideable, "60 0"},
        {kGrafSelectedOnly, "60"},
        {kGrafUnselectedOnly, "40 20 0"},
        {0, "60 40 20 0"},
    };
    for (const Case& c : cases) {
        const std::string drawn = Recorded([&] { DrawGrafElements(sheet.elementList, nullptr, c.mode); });
        std::string lefts;
        for (size_t at = drawn.find("rect verb 0 ("); at != std::string::npos;
             at = drawn.find("rect verb 0 (", at + 1)) {
            const size_t comma = drawn.find(',', at);
            lefts += (lefts.empty() ? "" : " ") + drawn.substr(comma + 1, drawn.find(',', comma + 1) - comma - 1);
        }
        EXPECT_EQ(lefts, c.lefts) << c.mode << "\n" << drawn;
    }
    // The list keeps its order, and an area leaves out what it does not meet.
    auto* first = static_cast<ElementRecord*>(LLFirst(sheet.elementList));
    EXPECT_EQ(first->rect.left, 0);
    const Rect area = {0, 15, 10, 35};
    EXPECT_EQ(Recorded([&] { DrawGrafElements(sheet.elementList, &area, 0); }).find("(0,0,"), std::string::npos);
}

TEST_F(SheetDrawing, TextsByRotationAndAlignment) {
    // Rotated right-aligned texts start at their position moved by the offset along the turn.
    TextRecord* text = AddText("Turned", 0, kTextFlagRightAligned | 1, {100, 50});
    text->anchorOffset = -30;
    const struct {
        int32_t degrees;
        Point at;
    } cases[] = {{90, {70, 50}}, {180, {100, 80}}, {270, {130, 50}}};
    for (const auto& c : cases) {
        Point at{};
        CalcRotatedTextOrigin(text, c.degrees, &at);
        EXPECT_EQ(at.v, c.at.v) << c.degrees;
        EXPECT_EQ(at.h, c.at.h) << c.degrees;
    }
    text->flags &= uint16_t(~kTextFlagRightAligned);
    Point at{};
    CalcRotatedTextOrigin(text, 90, &at);
    EXPECT_EQ(at.v, 100);

    // An unturned text is drawn at its position plus the offset.
    TextRecord* plain = AddText("Plain", 0, 0, {100, 50});
    plain->anchorOffset = -10;
    const std::string drawn = Recorded([&] { DrawTextElement(plain, sheet.stringBlock); });
    EXPECT_NE(drawn.find("text after (100,40) \"Plain\""), std::string::npos) << drawn;
}

TEST_F(SheetDrawing, AHiddenValueLabelOnlyErasesItsBox) {
    TextRecord* label = AddText("4.7V", kTextKindSignal, kTextFlagHidden | kTextFlagBoxed, {100, 50});
    const std::string drawn = Recorded([&] { DrawTextElement(label, sheet.stringBlock); });
    EXPECT_EQ(drawn.find("text"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("rect verb 2"), std::string::npos) << drawn;
}

TEST_F(SheetDrawing, OverscoresAreLinesAboveTheirCharacters) {
    TextRecord* text = AddText("!RESET! n", 0, 0, {100, 50});
    ASSERT_TRUE(text->flags & kTextFlagSpecial);
    const std::string drawn = Recorded([&] { DrawTextElement(text, sheet.stringBlock); });
    // The overscore runs over "RESET" only, above the base line, one unit short of its end.
    EXPECT_NE(drawn.find("text after (100,50) \"RESET n\"\nmove to (88,50)\nline by (0,37)\n"),
              std::string::npos)
        << drawn;
}

}  // namespace
}  // namespace plexa::test
