// The sheet record as CreateDrawing makes it, page sizes, and the canonical dump of every section.
#include "model/components.h"
#include "model/elements.h"
#include "model/tests/net_fixture.h"
#include "model/textframes.h"

namespace plexa::test {
namespace {

using SheetRecordTest = NetTest;

TEST_F(SheetRecordTest, ANewSheetHasEveryListAndTheDefaultSettings) {
    SheetRecord* s = drawing;
    const std::vector<const void*> parts = {
        s->componentList, s->symbolList,   s->textList,         s->textFrameList,
        s->styleList,     s->signalList,   s->bussList,         s->elementList,
        s->imageList,     s->pinDataTable, s->breakOutTable,    s->themeTable,
        s->stringBlock,   s->currentTextStyle, s->selectionRegion};
    for (const void* part : parts)
        EXPECT_NE(part, nullptr);
    EXPECT_EQ(DumpRect(s->sheetBounds), "(0,0)-(4416,3456)");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s->stored.signalPrefix), 4), "\003SIG");
    EXPECT_EQ(s->stored.signalDigits, 3);
    EXPECT_EQ(s->stored.flags & 1u, 1u);
    EXPECT_EQ(s->stored.nextSerial, 1u);
    EXPECT_EQ(s->stored.resolution, 96);
    EXPECT_EQ(s->stored.encodingLevel, 2);
    EXPECT_EQ(s->stored.compactionThreshold, 4096u);
    EXPECT_EQ(s->stored.scopeA, 2);
    EXPECT_EQ(s->view.gridSpacing, 12);
    EXPECT_EQ(s->view.snap, 1);
    EXPECT_EQ(s->view.outlineWidth, 1);
    EXPECT_EQ(s->viewScale, 100);
    EXPECT_EQ(s->selectedTool, 2006);
    char prefix[8];
    GetSheetSignalPrefix(s, prefix);
    EXPECT_STREQ(prefix, "SIG");
    EXPECT_EQ(DumpSheet(s), "");
}

TEST(SheetBoundsTest, PageSizes) {
    struct Case {
        int32_t code, orientation, resolution;
        const char* rect;
    };
    const Case cases[] = {
        {0, 0, 96, "(0,0)-(4416,3456)"}, {1, 0, 96, "(0,0)-(1056,816)"},
        {1, 1, 96, "(0,0)-(816,1056)"},  {1, 0, 97, "(0,0)-(1067,824)"},
        {2, 0, 96, "(0,0)-(1632,1056)"}, {5, 0, 96, "(0,0)-(4224,3264)"},
        {9, 0, 96, "(0,0)-(4416,3456)"},
    };
    for (const Case& c : cases) {
        Rect r;
        CalcSheetBounds(c.code, c.orientation, c.resolution, &r);
        EXPECT_EQ(DumpRect(r), c.rect) << c.code << " " << c.orientation << " " << c.resolution;
    }
}

TEST_F(SheetRecordTest, TheDumpShowsEverySection) {
    ComponentRecord* component = CreateComponent(1, 1, 1, 1, 1);
    component->refPrefix = OverlayStringBlock(drawing->stringBlock, "R", -1, nullptr);
    LLAppend(drawing->componentList, component);
    SymbolRecord* part = driver->AddSymbol(4);
    part->component = component;
    part->position = P(100, 50);
    SymbolRecord* port = driver->AddSymbol(5, kSymbolFlagPort);
    port->kindData = OverlayStringBlock(drawing->stringBlock, "VCC", -1, nullptr);
    driver->AddPin(P(0, 0), part, 1);
    SignalHandle signal = Draw({P(0, 0), P(30, 0)});
    CreateSignalWireLabel(drawing, signal, FirstWire((*signal)->wires), 0, false);
    BussHandle buss = CreateBuss(drawing->bussList);
    SetBussName(buss, drawing->stringBlock, "D[0:1]");
    AddPinToBuss(buss, port, 0, 0);
    LLPush((*buss)->wires, MakeWire({P(0, 40), P(60, 40)}, 0, kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    AddBussBreakout(drawing->breakOutTable, buss, P(20, 40), P(25, 45));
    TextRecord* name = CreateDrawingText(drawing, kTextKindSymbolName, 0, P(100, 40), "R1");
    name->owner = TextOwnerSerial(4);
    TextFrameHandle frame = CreateTextFrame("note", -1, 0x08000100);
    (*frame)->position = P(5, 70);
    LLPush(drawing->textFrameList, frame);
    ElementParamRecord param{};
    param.kind = kElementRect;
    param.penWidth = 1;
    param.point1 = P(0, 80);
    param.point2 = P(10, 90);
    LLPush(drawing->elementList, BuildElement(&param));
    const std::string dump = DumpSheet(drawing);
    EXPECT_EQ(dump.substr(0, dump.find("texts")),
              "components 1\n"
              "  C1 prefix \"R\" symbols 1 sections 1 packages 1 pin sets 1 names 1\n"
              "symbols 2\n"
              "  #1 serial 4 at (100,50) map 0 component C1\n"
              "  #2 serial 5 at (0,0) flags 0x00000200 map 0 port name \"VCC\"\n"
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(31,1)\n"
              "    pin 0: serial 4 node 1\n"
              "    W1 pin 0 - free: (0,0) (30,0)\n"
              "    label T2 \"SIG001\" on W1 segment 0\n"
              "busses 1\n"
              "  B1 \"D[0:1]\" bounds (-1,39)-(62,42)\n"
              "    terminal 0: serial 5 node 0\n"
              "    W1 terminal 0 - free flags 0x0002: (0,40) (60,40)\n"
              "breakouts 1\n"
              "  row 0: (20,40)-(25,45) buss B1\n");
    EXPECT_NE(dump.find("texts 2\n  T1 kind 0x0012 owner serial 4 flags 0x0020 at (100,40) \"R1\"\n"
                        "  T2 kind 0x0001 owner S1 flags 0x0020 at "),
              std::string::npos)
        << dump;
    EXPECT_NE(dump.find("frames 1\n  F1 at (5,70) lines 0 \"note\"\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("elements 1\n  E1 kind 3 pen 1 bounds "), std::string::npos) << dump;
}

}  // namespace
}  // namespace plexa::test
