// The sheet record as CreateDrawing makes it (with the built-in defaults, with the user's, and
// when memory runs out), page sizes, tool tips, and the canonical dump of every section.
#include "foundation/memory.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/tests/model_testing.h"
#include "model/tests/net_fixture.h"
#include "model/textframes.h"

namespace plexa::test {
namespace {

using SheetRecordTest = NetTest;

std::string Attribute(SheetRecord* sheet, const char* name) {
    char value[kAttributeTextSize];
    GetAttributeValue(sheet->stringBlock, sheet->attributes, 0, sheet->stored.attributeCount, name,
                      value, nullptr);
    return value;
}

TEST_F(SheetRecordTest, ANewSheetWithTheBuiltInDefaults) {
    BuiltInDefaults defaults;
    ASSERT_EQ(InitSheetDefaults(), 0);  // again: what the first made is freed
    EXPECT_EQ(gDefSheetSettings.attributeCount, 2);
    char font[256];
    GetStyleFont(gDefaultTextThemes.styles[0], font);
    EXPECT_STREQ(font, "Times");
    const int sizes[] = {12, 12, 12, 10, 10, 12, 10, 12, 10};
    for (int i = 0; i < kTextThemeCount; ++i)
        EXPECT_EQ(gDefaultTextThemes.styles[i]->size, sizes[i]) << i;
    SheetRecord* s = CreateDrawing();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Attribute(s, "DrawingTitle"), "{SheetFile}");
    EXPECT_EQ(Attribute(s, "SheetNumber"), "1");
    EXPECT_NE(s->stringBlock, gDefSheetSettings.stringBlock);
    EXPECT_NE(s->annotationMap, nullptr);
    EXPECT_EQ(s->sheetLocalAnnotation, nullptr);
    EXPECT_EQ(s->signalPanelNumber, 1);
    EXPECT_EQ(s->stored.printInColour, 1);
    EXPECT_EQ(s->stored.printScale, 100);
    EXPECT_EQ(s->stored.scopeB, 2);
    EXPECT_EQ(s->view.showGrid, 0);
    EXPECT_EQ(s->view.showRulers, 0);
    EXPECT_EQ(s->view.showPageBreaks, 0);
    EXPECT_EQ(s->topToolsExpanded, 1);
    EXPECT_EQ(s->project, nullptr);
    EXPECT_EQ(s->printRecord, nullptr);
    EXPECT_EQ(DumpSheet(s),
              "sheet page 0 landscape (0,0)-(4416,3456) serial 1 flags 0x00000001 prefix \"SIG\" "
              "digits 3\n"
              "  attribute \"DrawingTitle\" = \"{SheetFile}\"\n"
              "  attribute \"SheetNumber\" = \"1\"\n");
    EXPECT_EQ(s->opaqueData, nullptr);
    // The file's opaque data that a loaded sheet keeps goes with the sheet.
    s->opaqueData = AllocHandleWithData(nullptr, "opaque", 6);
    DestroySheet(s);
}

TEST_F(SheetRecordTest, TheUsersSettingsHoldForEveryNewSheet) {
    struct Case {
        uint16_t digits;
        uint8_t expected;
    };
    const SheetSettings saved = gDefSheetSettings;
    gDefSheetSettings.sizeCode = 1;
    gDefSheetSettings.orientation = 1;
    gDefSheetSettings.flags = kSheetFlagSignalPanel;
    gDefSheetSettings.gridSpacing = 24;
    for (const Case c : {Case{5, 5}, Case{1, 1}, Case{9, 9}, Case{0, 1}, Case{12, 9}}) {
        gDefSheetSettings.digits = c.digits;
        SheetRecord* s = CreateDrawing();
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->stored.signalDigits, c.expected) << c.digits;
        EXPECT_EQ(gDefSheetSettings.digits, c.digits);  // the defaults keep the user's count
        EXPECT_EQ(DumpRect(s->sheetBounds), "(0,0)-(816,1056)");
        EXPECT_EQ(s->stored.flags, kSheetFlagNewTextFrames | kSheetFlagSignalPanel);
        EXPECT_EQ(s->view.gridSpacing, 24);
        DestroySheet(s);
    }
    gDefSheetSettings = saved;
}

// Makes (and destroys) a sheet with the general pool in a pool of its own that can grow by a
// budget; false when the sheet could not be made. Either way the pool must end with no more
// pages than it began with (the pages of small blocks, which the pool keeps, are there first).
bool MakeSheetWithin(uint32_t budget) {
    MemPool pool = CreatePool(4096);
    MemPoolPreAllocateHandles(pool, 256);
    MemFreePtr(AllocPtr(pool, 8));
    MemPoolInfoRecord empty{}, after{};
    MemPoolInfo(pool, nullptr, &empty);
    MemPoolSetCeiling(pool, empty.totalBytes + budget);
    SheetRecord* s;
    {
        GeneralPoolScope general(pool);
        s = CreateDrawing();
        if (s) DestroySheet(s);
    }
    MemPoolInfo(pool, nullptr, &after);
    EXPECT_EQ(after.totalBytes, empty.totalBytes) << budget;
    MemPoolFree(pool);
    return s != nullptr;
}

TEST_F(SheetRecordTest, ASheetThatCannotBeMadeFreesWhatItMade) {
    BuiltInDefaults defaults;
    // Too little memory, up to enough.
    int failures = 0;
    for (uint32_t budget = 0; !MakeSheetWithin(budget); budget += 1024) {
        ASSERT_LT(budget, 1u << 22);
        ++failures;
    }
    EXPECT_GT(failures, 0);
    // A list that cannot be made late in the making, when most of the record is there.
    ModelHooks hooks;
    hooks.createFileSymbolList = []() -> LinkListHeader* { return nullptr; };
    SetModelHooks(hooks);
    EXPECT_FALSE(MakeSheetWithin(1u << 20));
    // Made, the file-symbol list is the sheet's and goes with it.
    hooks.createFileSymbolList = [] { return LLCreate(gGenPool, 16, 0); };
    hooks.destroyFileSymbolList = [](LinkListHeader* list) { LLDispose(list, true); };
    SetModelHooks(hooks);
    EXPECT_TRUE(MakeSheetWithin(1u << 20));
}

TEST(SheetToolTips, TheTextOfEachTool) {
    const std::pair<int32_t, const char*> cases[] = {
        {1, "Place Line"},         {7, "Place Polygon"},          {64, "Select and Move Objects"},
        {2006, "Select and Move Objects"}, {2007, "Place Text  [T]"}, {2034, "Search Libraries"},
        {2035, "Search Libraries"}, {2053, "Check Project"},       {9, ""},
        {0, ""},                   {2005, ""},
    };
    for (const auto& [id, text] : cases) {
        char buffer[64] = "junk";
        EXPECT_STREQ(RetrieveToolTipMessage(id, buffer), text) << id;
    }
}

TEST_F(SheetRecordTest, ANewSheetHasEveryListAndTheDefaultSettings) {
    SheetRecord* s = drawing;
    const std::vector<const void*> parts = {
        s->componentList, s->symbolList,   s->textList,         s->textFrameList,
        s->styleList,     s->signalList,   s->bussList,         s->elementList,
        s->imageList,     s->pinDataTable, s->breakOutTable,    s->themeTable,
        s->stringBlock,   s->currentTextStyle, s->selectionRegion, s->symbolMap};
    for (const void* part : parts)
        EXPECT_NE(part, nullptr);
    EXPECT_EQ(GetSymbolMapImageList(s->symbolMap), s->imageList);
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
    EXPECT_EQ(DumpSheet(s, kDumpAll & ~kDumpSheet), "");
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

// A buss "D[0:1]" along (0,40)-(60,40) with the port's pin 0 and one break-out.
void AddBussWithBreakout(SheetRecord* drawing, SymbolRecord* port) {
    BussHandle buss = CreateBuss(drawing->bussList);
    SetBussName(buss, drawing->stringBlock, "D[0:1]");
    AddPinToBuss(buss, port, 0, 0);
    LLPush((*buss)->wires, MakeWire({P(0, 40), P(60, 40)}, 0, kWireEndFree, kWireFlagBuss));
    CalcBussBounds(buss);
    AddBussBreakout(drawing->breakOutTable, buss, P(20, 40), P(25, 45));
}

TEST_F(SheetRecordTest, TheDumpShowsEverySection) {
    ComponentRecord* component = CreateComponent(1, 1, 1, 1, 1);
    component->refPrefix = OverlayStringBlock(drawing->stringBlock, "R", -1, nullptr);
    LLAppend(drawing->componentList, component);
    SymbolRecord* part = driver->AddSymbol(4);
    part->component = component;
    part->position = P(100, 50);
    SymbolRecord* port = driver->AddSymbol(5, kSymbolFlagPort);
    port->kind.spec = OverlayStringBlock(drawing->stringBlock, "VCC", -1, nullptr);
    driver->AddPin(P(0, 0), part, 1);
    SignalHandle signal = Draw({P(0, 0), P(30, 0)});
    CreateSignalWireLabel(drawing, signal, FirstWire((*signal)->wires), 0, false);
    AddBussWithBreakout(drawing, port);
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
    const std::string dump = DumpSheet(drawing, kDumpAll & ~kDumpSheet);
    EXPECT_EQ(dump.substr(0, dump.find("texts")),
              "components 1\n"
              "  C1 prefix \"R\" symbols 1 sections 1 packages 1 pin sets 1 names 1\n"
              "symbols 2\n"
              "  #1 serial 4 at (100,50) map 0 component C1 package 0 symbol 0 name 0 designator \"R?\" slot -1\n"
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
    EXPECT_NE(dump.find("elements 1\n  E1 kind 3 pen 1 (0,80)-(10,90) bounds "), std::string::npos) << dump;
}

// A small sheet with one of each kind of item, built by hand: its dump is kept beside this test
// (model/tests/data/small_sheet.dump).
TEST_F(SheetRecordTest, TheDumpOfASmallSheet) {
    BuiltInDefaults defaults;
    for (txStyle* style : gDefaultTextThemes.styles) SetStyleFont(style, kTestFont);
    driver.reset();
    DestroySheet(drawing);
    drawing = CreateDrawing();
    ASSERT_NE(drawing, nullptr);
    driver = std::make_unique<WireDriver>(drawing);
    drawing->stored.nextSerial = 10;

    auto component = [&](const char* prefix, int32_t sections) {
        ComponentRecord* c = CreateComponent(1, 1, 1, sections, 1);
        c->refPrefix = OverlayStringBlock(drawing->stringBlock, prefix, -1, nullptr);
        return static_cast<ComponentRecord*>(LLAppend(drawing->componentList, c));
    };
    ComponentRecord* gate = component("U", 2);
    ComponentRecord* resistor = component("R", 1);
    SymbolRecord* first = driver->AddSymbol(4);
    first->component = gate;
    first->position = P(100, 50);
    SymbolRecord* second = driver->AddSymbol(5, 0x1);
    second->component = gate;
    second->position = P(100, 90);
    SymbolRecord* third = driver->AddSymbol(6);
    third->component = resistor;
    third->position = P(200, 50);
    SymbolRecord* port = driver->AddSymbol(7, kSymbolFlagPort);
    port->kind.spec = OverlayStringBlock(drawing->stringBlock, "VCC", -1, nullptr);
    // Saved designators, then changes not yet applied: a new slot, and a removal.
    SetSymbolAnnotation(drawing, 4, "U1", 0);
    SetSymbolAnnotation(drawing, 6, "R3", -1);
    SetSymbolAnnotation(drawing, 9, "X9", -1);  // of a symbol no longer on the sheet
    ApplyAnnotationMapChanges(drawing->annotationMap, nullptr);
    SetSymbolAnnotation(drawing, 5, "U1", 1);
    SetSymbolAnnotation(drawing, 6, nullptr, -1);

    driver->AddPin(P(0, 0), first, 1);
    Draw({P(0, 0), P(30, 0), P(30, 20)});
    AddBussWithBreakout(drawing, port);

    CreateDrawingText(drawing, kTextKindCompDesignator, 0, P(100, 40), "U1A")->owner =
        TextOwnerSerial(4);
    CreateDrawingText(drawing, kTextKindFree, 0, P(300, 20), "Note");
    TextFrameHandle frame = CreateTextFrame("first line", -1, 0x08000100);
    (*frame)->position = P(5, 70);
    LLPush(drawing->textFrameList, frame);

    LinkListHeader* elements = drawing->elementList;
    LLAppend(elements, BuildCommonElement(kElementRect, P(0, 80), P(10, 90), 1, 0, 0, true, false,
                                          0, true, 0x00FF8000, false));
    LLAppend(elements, BuildCommonElement(kElementArrow, P(0, 100), P(40, 100), 2, 10, 23, false,
                                          true, 0x01000000, false, 0, false));
    LLAppend(elements, BuildCommonElement(kElementArc, P(50, 80), P(70, 100), 1, 0, 90, false,
                                          false, 0, false, 0, false));
    const Point corners[] = {P(5, 105), P(30, 110), P(5, 140)};
    Handle points = AllocHandleWithData(nullptr, corners, sizeof corners);
    LLAppend(elements, BuildPolyElement(3, points, 1, false, false, 0, false, 0, false));
    MemFree(points);

    ExpectDumpFile(DumpSheet(drawing), "small_sheet.dump");
}

}  // namespace
}  // namespace plexa::test
