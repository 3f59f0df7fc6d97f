// Keys and clicks in the sheet pane: the dispatch table (tool, key or button, modifiers, item under
// the point -> operation), the snap table, the colour popups' tables, and a real sheet window with
// its rulers, grid and an open colour popup.
#include "sheeteditor/sheetkeys.h"
#include "sheeteditor/sheetundo.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "graphics/textedit.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "platform/input_platform.h"
#include "platform/menu_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/colorpopups.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

// ---- The recorder and the items it puts under the point ----

std::vector<std::string> gRan;
std::map<std::string, std::pair<void*, int32_t>> gUnder;

void Record(const char* operation) { gRan.emplace_back(operation); }
Point gProbedAt{};
void* Answer(const char* test, Point at, int32_t* index) {
    gProbedAt = at;
    const auto it = gUnder.find(test);
    if (it == gUnder.end()) return nullptr;
    *index = it->second.second;
    return it->second.first;
}

std::string Ran() {
    std::string all;
    for (const std::string& s : gRan) all += (all.empty() ? "" : ", ") + s;
    return all;
}

class SheetKeys : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        InitSheetWindows();
        ModelHooks hooks = GetModelHooks();
        hooks.releaseSheetEditorParts = ReleaseSheetUndo;  // a Delete key records its undo
        SetModelHooks(hooks);
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        gRan.clear();
        gUnder.clear();
        SetSheetDispatchSeam({Record, Answer});
    }
    void TearDown() override {
        SetSheetDispatchSeam({});
        DisposeColorPopups();
        ReleaseSheetUndo(sheet);  // what a key's deletion collected
        sheets.DestroyAll();
        SetModelHooks(ModelHooks{});
        AppDialogsTest::TearDown();
    }
    VXEventRecord Click(uint8_t kind, uint16_t button, bool shift, bool option) {
        VXEventRecord e = VXClearedEvent(kind);
        e.u.mouse.button = button;
        e.u.mouse.shift = shift;
        e.u.mouse.option = option;
        e.u.mouse.v = e.u.mouse.longV = 200;
        e.u.mouse.h = e.u.mouse.longH = 300;
        return e;
    }
    SheetRecord* sheet = nullptr;
    SheetWindowList sheets;
};

// Items the probe answers with (only their flags and kinds are read).
struct Items {
    ElementRecord element{};
    SymbolRecord symbol{}, sheetSymbol{}, portSymbol{}, busPortSymbol{};
    TextRecord signalLabel{}, pinName{}, symbolName{}, free{};
    TextFrameRecord frame{}, lockedFrame{};
    TextFrameRecord* framePtr = &frame;
    TextFrameRecord* lockedPtr = &lockedFrame;
    int signal = 0, buss = 0, wire = 0;
    Items() {
        sheetSymbol.flags = kSymbolFlagSheet | kSymbolFlagSubSheet;
        portSymbol.flags = kSymbolFlagPort | kSymbolFlagModulePort;
        busPortSymbol.flags = kSymbolFlagPort | kSymbolFlagBussPort;
        signalLabel.kind = 1;
        signalLabel.flags = 0x0100;
        pinName.kind = 0x8000 | 3;
        pinName.flags = 0x0100;
        symbolName.kind = 21;
        symbolName.flags = 0x0100;
        free.kind = 0;
        free.flags = 0x0100;
        lockedFrame.flags = 0x0001;
    }
};

TEST_F(SheetKeys, ClicksDispatchByToolButtonModifiersAndItemUnderThePoint) {
    Items it;
    struct Row {
        const char* name;
        int16_t tool;
        uint8_t kind;  // 9 down, 11 double
        uint16_t button;
        bool shift, option;
        std::map<std::string, std::pair<void*, int32_t>> under;
        const char* ran;
    };
    const Row rows[] = {
        {"other button pans", 2006, 9, 2, false, false, {}, "PanDrag"},
        {"line tool", 1, 9, 0, false, false, {}, "DragCreateElement"},
        {"arc tool", 6, 9, 0, false, false, {}, "DragCreateElement"},
        {"polygon tool", 7, 9, 0, false, false, {}, "CreateSheetPolyClick"},
        {"voltage label", 11, 9, 0, false, false, {}, "SetNodeValuesVisible, DragClickedWire"},
        {"graph on a pin", 14, 9, 0, false, false, {{"HitTestPins", {&it.symbol, 2}}},
         "GraphSpiceCurrent"},
        {"graph on a wire", 14, 9, 0, false, false, {{"HitTestSignalList", {&it.signal, 0}}},
         "GraphSpiceNode"},
        {"tool 9 does nothing", 9, 9, 0, false, false, {}, ""},
        {"wire tool", 2024, 9, 0, false, false, {}, "CreateSignalClick"},
        {"bus tool", 2027, 9, 0, false, false, {}, "CreateBussClick"},
        {"library part", 2029, 9, 0, false, false, {},
         "RecordLibHistoryItem, InstantiateLibraryItem"},
        {"library part double click", 2029, 11, 0, false, false, {}, ""},
        {"sub-sheet symbol", 2031, 9, 0, false, false, {}, "TrackCreateSheetSymbol"},
        {"tool 2030 does nothing", 2030, 9, 0, false, false, {}, ""},
        {"text tool, no frame", 2007, 9, 0, false, false, {}, "NewText"},
        {"text tool on a frame", 2007, 9, 0, false, false,
         {{"HitTestTextFrame", {&it.framePtr, 0}}}, "CreateTextFrameEditor"},
        {"text tool on a locked frame", 2007, 9, 0, false, false,
         {{"HitTestTextFrame", {&it.lockedPtr, 0}}}, ""},
        // The select tool, by what lies under the point.
        {"handle 15", 2006, 9, 0, false, false, {{"HitTestItemModifiers", {nullptr, 15}}},
         "DragBussWireEnd 0"},
        {"handle 16", 2006, 9, 0, false, false, {{"HitTestItemModifiers", {nullptr, 16}}},
         "DragBussWireEnd 1"},
        {"handle 14", 2006, 9, 0, false, false, {{"HitTestItemModifiers", {nullptr, 14}}},
         "ResizeTextFrame"},
        {"handle 17", 2006, 9, 0, false, false, {{"HitTestItemModifiers", {nullptr, 17}}},
         "ResizeSheetSymbol"},
        {"handle 3", 2006, 9, 0, false, false, {{"HitTestItemModifiers", {nullptr, 3}}},
         "ResizeSheetElement 3"},
        {"front element", 2006, 9, 0, false, false,
         {{"HitTestGrafElements", {&it.element, 0}}, {"HitTestSymbol", {&it.symbol, 0}}},
         "DoElementSelection"},
        {"front element with Option goes to the wires", 2006, 9, 0, false, true,
         {{"HitTestGrafElements", {&it.element, 0}}},
         "DragBussBreakOut, DragClickedWire, ClearDrawingSelection, VXTrackSelectRect"},
        {"inside an outline-only fill skips symbols and wires", 2006, 9, 0, false, false,
         {{"HitTestGrafElements", {nullptr, 1}}, {"HitTestSymbol", {&it.symbol, 0}},
          {"HitTestText", {&it.free, 0}}},
         "DoTextSelection"},
        {"inside a fill, nothing else", 2006, 9, 0, false, false,
         {{"HitTestGrafElements", {nullptr, 1}}, {"HitTestGrafElements back", {&it.element, 0}}},
         "ClearDrawingSelection, VXTrackSelectRect"},
        {"port of a sheet symbol", 2006, 9, 0, false, false,
         {{"HitTestSymbol", {&it.sheetSymbol, 0}}, {"HitTestSheetSymbolPort", {nullptr, 2}}},
         "DragSheetSymbolPort"},
        {"symbol", 2006, 9, 0, false, false, {{"HitTestSymbol", {&it.symbol, 0}}},
         "DragBussBreakOut, DragClickedWire, DoSymbolSelection"},
        {"symbol is not looked for with Option", 2006, 9, 0, true, true,
         {{"HitTestSymbol", {&it.symbol, 0}}},
         "DragBussBreakOut, DragClickedWire, VXTrackSelectRect"},
        {"text", 2006, 9, 0, false, false, {{"HitTestText", {&it.free, 0}}},
         "DragBussBreakOut, DragClickedWire, DoTextSelection"},
        {"frame", 2006, 9, 0, false, false, {{"HitTestTextFrame", {&it.framePtr, 0}}},
         "DragBussBreakOut, DragClickedWire, DoTextFrameSelection"},
        {"back element", 2006, 9, 0, false, false,
         {{"HitTestGrafElements back", {&it.element, 0}}},
         "DragBussBreakOut, DragClickedWire, DoElementSelection back"},
        {"nothing, Shift keeps the selection", 2006, 9, 0, true, false, {},
         "DragBussBreakOut, DragClickedWire, VXTrackSelectRect"},
        // Double clicks of the select tool.
        {"double: nothing", 2006, 11, 0, false, false, {}, ""},
        {"double: nothing with Option", 2006, 11, 0, false, true, {}, "EditSheetSettings"},
        {"double: front element", 2006, 11, 0, false, false,
         {{"HitTestGrafElements", {&it.element, 0}}}, "EditElementInfo"},
        {"double: component pin", 2006, 11, 0, false, false, {{"HitTestPins", {&it.symbol, 1}}},
         "EditCompSymbolPinInfo"},
        {"double: sheet symbol pin", 2006, 11, 0, false, false,
         {{"HitTestPins", {&it.sheetSymbol, 1}}}, "EditSymbolInformation"},
        {"double: signal", 2006, 11, 0, false, false, {{"HitTestSignalList", {&it.signal, 0}}},
         "EditSignalInfo"},
        {"double: bus", 2006, 11, 0, false, false, {{"HitTestBussList", {&it.buss, 0}}},
         "EditBussInfo"},
        {"double: component symbol", 2006, 11, 0, false, false,
         {{"HitTestSymbol", {&it.symbol, 0}}}, "EditSymbolInformation"},
        {"double: module port", 2006, 11, 0, false, false,
         {{"HitTestSymbol", {&it.portSymbol, 0}}, {"GetConnectedSignal", {&it.signal, 0}}},
         "EditSignalPortInfo"},
        {"double: bus port", 2006, 11, 0, false, false,
         {{"HitTestSymbol", {&it.busPortSymbol, 0}}, {"GetConnectedBuss", {&it.buss, 0}}},
         "EditBussPortInfo"},
        {"double: symbol with Option is not looked for", 2006, 11, 0, true, true,
         {{"HitTestSymbol", {&it.sheetSymbol, 0}}}, "EditSheetSettings"},
        {"double: sub-sheet name with Shift and Option", 2006, 11, 0, true, true,
         {{"HitTestText", {&it.symbolName, 0}},
          {"RetrieveSerializedSymbol", {&it.sheetSymbol, 0}}},
         "EnterSubSheet"},
        {"double: sub-sheet name", 2006, 11, 0, false, false,
         {{"HitTestText", {&it.symbolName, 0}},
          {"RetrieveSerializedSymbol", {&it.sheetSymbol, 0}}},
         "EditSymbolInformation"},
        {"double: signal label on no wire flashes", 2006, 11, 0, false, false,
         {{"HitTestText", {&it.signalLabel, 0}}}, "SetupFlashingSignal"},
        {"double: signal label on a wire", 2006, 11, 0, false, false,
         {{"HitTestText", {&it.signalLabel, 0}}, {"GetWireFromWireLabel", {&it.wire, 0}}},
         "EditSignalInfo"},
        {"double: pin name", 2006, 11, 0, false, false,
         {{"HitTestText", {&it.pinName, 0}}, {"RetrieveSerializedSymbol", {&it.symbol, 0}}},
         "EditCompSymbolPinInfo"},
        {"double: pin name with Option", 2006, 11, 0, false, true,
         {{"HitTestText", {&it.pinName, 0}}, {"RetrieveSerializedSymbol", {&it.symbol, 0}}},
         "EditSymbolInformation"},
        {"double: free frame", 2006, 11, 0, false, false, {{"HitTestTextFrame", {&it.framePtr, 0}}},
         "SetDrawingTool 2007, CreateTextFrameEditor"},
        {"double: back element", 2006, 11, 0, false, false,
         {{"HitTestGrafElements back", {&it.element, 0}}}, "EditElementInfo"},
    };
    for (const Row& row : rows) {
        sheet->selectedTool = uint16_t(row.tool);
        sheet->nodeValuesShown = 0;
        sheet->drawingTE = nullptr;
        gUnder = row.under;
        gRan.clear();
        VXEventRecord e = Click(row.kind, row.button, row.shift, row.option);
        DoMouseClick(sheet, &e);
        EXPECT_EQ(Ran(), row.ran) << row.name;
    }
}

TEST_F(SheetKeys, ClicksOutsideTheDrawingAreaOrTheSheetPaneAreIgnored) {
    VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
    e.u.mouse.v = int16_t(sheet->sheetBounds.bottom + 5);
    DoMouseClick(sheet, &e);
    sheet->window->graf.geometry.pane = 0;  // a ruler
    VXEventRecord inside = Click(kVXMouseDownEvent, 2, false, false);
    DoMouseClick(sheet, &inside);
    sheet->window->graf.geometry.pane = -1;
    EXPECT_EQ(Ran(), "");
}

TEST_F(SheetKeys, TheSelectToolsHitPointLiesTwoUnitsUpAtTwoHundredPercentOrLess) {
    struct Row { uint16_t scale; int16_t v; };
    const Row rows[] = {{25, 198}, {200, 198}, {201, 200}, {400, 200}};
    for (const Row& r : rows) {
        sheet->viewScale = r.scale;
        sheet->selectedTool = 2006;
        gProbedAt = {};
        VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
        DoMouseClick(sheet, &e);
        EXPECT_EQ(gProbedAt.v, r.v) << r.scale;
        EXPECT_EQ(gProbedAt.h, 300) << r.scale;
    }
}

TEST_F(SheetKeys, KeysDispatchByTool) {
    struct Row {
        const char* name;
        int16_t tool;
        uint16_t key;
        bool shift;
        int32_t result;
        const char* ran;
    };
    const Row rows[] = {
        {"Escape, select tool", 2006, 27, false, 0, "BackOutOfCurrentMode"},
        {"Escape, wire tool", 2024, 27, false, 1, "BackOutOfCurrentMode, SetDrawingTool 2006"},
        {"Delete", 2006, 8, false, 1, "DeleteSheetSelection"},
        {"Shift Delete", 2006, 0xF728, true, 1, "DeleteSheetSelection shift"},
        {"Delete, wire tool", 2024, 8, false, 1, ""},
        {"up", 2006, 0xF700, false, 1, "MoveDrawingSelection 0 -1"},
        {"down", 2006, 0xF701, false, 1, "MoveDrawingSelection 0 1"},
        {"left", 2006, 0xF702, false, 1, "MoveDrawingSelection -1 0"},
        {"right", 2006, 0xF703, false, 1, "MoveDrawingSelection 1 0"},
        {"t", 2006, 't', false, 1, "SetDrawingTool 2007"},
        {"W", 2006, 'W', false, 1, "SetDrawingTool 2024"},
        {"b", 2006, 'b', false, 1, "SetDrawingTool 2027"},
        {"Tab with the library pane", 2006, 9, false, 1, "SetDrawingTool 2029, VXSetFocusWindow"},
        {"x", 2006, 'x', false, 1, ""},
        {"w with the wire tool", 2024, 'w', false, 1, "SetDrawingTool 2024"},
        {"t with the bus tool", 2027, 't', false, 1, "SetDrawingTool 2007"},
        {"arrow with the wire tool", 2024, 0xF700, false, 1, ""},
        {"library part: left", 2029, 0xF702, false, 1, "Turn left"},
        {"library part: right", 2029, 0xF703, false, 1, "Turn right"},
        {"library part: Return", 2029, 13, false, 1, "CancelWireCreation, BrowsePartsDialog"},
        {"library part: up", 2029, 0xF700, false, 1, ""},
        {"text tool swallows keys", 2007, 'w', false, 1, ""},
        {"line tool swallows keys", 1, 0xF700, false, 1, ""},
    };
    for (const Row& row : rows) {
        sheet->selectedTool = uint16_t(row.tool);
        gRan.clear();
        VXEventRecord e = VXClearedEvent(kVXCharEvent);
        e.u.character.character = row.key;
        e.u.character.shift = row.shift;
        EXPECT_EQ(DoKey(sheet, &e), row.result) << row.name;
        EXPECT_EQ(Ran(), row.ran) << row.name;
    }
    // Left then right turns the placed symbol by three quarter turns, then one: back where it was.
    gPlaceTransformation = 0;
    sheet->selectedTool = 2029;
    for (uint16_t key : {uint16_t(0xF702), uint16_t(0xF702), uint16_t(0xF703), uint16_t(0xF703)}) {
        VXEventRecord e = VXClearedEvent(kVXCharEvent);
        e.u.character.character = key;
        DoKey(sheet, &e);
    }
    EXPECT_EQ(gPlaceTransformation, 0);
}

TEST_F(SheetKeys, KeysAndClicksReachTheDispatchThroughTheWindow) {
    sheet->selectedTool = 2006;
    PlatformInputEvent key;
    key.kind = PlatformInputKind::kKeyDown;
    key.windowID = sheet->window->windowID;
    key.character = 'w';
    key.keyCode = 13;  // the W key
    PlatformDeliverInput(key);
    EXPECT_EQ(Ran(), "SetDrawingTool 2024");
    gRan.clear();
    PlatformInputEvent down = MouseInput(PlatformInputKind::kMouseDown, sheet->window, 300, 300);
    down.button = 2;
    PlatformDeliverInput(down);
    down.kind = PlatformInputKind::kMouseUp;
    PlatformDeliverInput(down);
    EXPECT_EQ(Ran(), "PanDrag");
}

// ---- Grid ----

TEST(SheetGrid, SnapTable) {
    SheetRecord sheet{};
    struct Row { int16_t grid; uint8_t snap; int16_t v, h; int v2, h2; };
    const Row rows[] = {
        {8, 1, 13, 12, 16, 16},   {8, 1, 11, 3, 8, 0},      {8, 1, -5, -3, -8, 0},
        {8, 1, -12, -13, -8, -16}, {8, 1, -4, -20, 0, -16},  {0, 1, -7, 7, -7, 7},
        {-3, 1, 5, -5, 5, -5},    {8, 0, -5, 13, -5, 13},   {12, 1, -18, 18, -12, 24},
        {8, 1, 32767, -32768, 32767, -32768},
    };
    for (const Row& r : rows) {
        sheet.view.gridSpacing = r.grid;
        sheet.view.snap = r.snap;
        Point p{r.v, r.h};
        GetSheetGridPoint(&sheet, &p);
        EXPECT_EQ(p.v, r.v2) << r.grid << " " << r.v;
        EXPECT_EQ(p.h, r.h2) << r.grid << " " << r.h;
    }
}

TEST_F(SheetKeys, GridDotsAndRulerTicksThinOutWhenZoomedOut) {
    struct Row { int scale, grid, dot, tick; };
    const Row rows[] = {{100, 8, 8, 8}, {50, 8, 8, 8}, {25, 8, 16, 16}, {10, 8, 64, 64},
                        {100, 0, 4, 4}, {100, -5, 4, 4}, {100, 1, 4, 4},  {400, 1, 1, 2}};
    for (const Row& r : rows) {
        VXSetScalePercent(sheet->window, r.scale, r.scale);
        EXPECT_EQ(GetWindowScale(sheet->window), r.scale);
        EXPECT_EQ(CalcGridDotStep(sheet->window, r.grid), r.dot) << r.scale << " " << r.grid;
        EXPECT_EQ(CalcRulerStep(sheet->window, r.grid), r.tick) << r.scale << " " << r.grid;
    }
    VXSetScalePercent(sheet->window, 100, 100);
    SetGridPattern(0);  // a grid of 0 or less builds a dot at every unit, and ends
    EXPECT_EQ(GridPatternInterval(), 1);
}

TEST_F(SheetKeys, RulerGuidesFollowThePointerAndHideOutsideTheView) {
    HideShowRulers(sheet->window, true);
    sheet->view.snap = 1;
    sheet->view.gridSpacing = 8;
    Rect view;
    VXGetViewRect(sheet->window, &view);
    SetRulerGuidePositions(sheet->window, view.left + 21, view.top + 34);
    EXPECT_TRUE(GetRulerGuides().shown);
    EXPECT_EQ(GetRulerGuides().h % 8, 0);
    EXPECT_EQ(GetRulerGuides().v % 8, 0);
    SetRulerGuidePositions(sheet->window, view.right + 50, view.top + 10);
    EXPECT_FALSE(GetRulerGuides().shown);
    HideShowRulers(sheet->window, false);
    SetRulerGuidePositions(sheet->window, view.left + 21, view.top + 34);  // no rulers: nothing
    EXPECT_FALSE(GetRulerGuides().shown);
}

// ---- Colour popups ----

TEST(ColorPopups, CurrentIndexTable) {
    ColorPopupHooks hooks;
    hooks.getColor = [](int32_t index) { return uint32_t(index * 0x010101); };
    SetColorPopupHooks(hooks);
    struct Row { uint16_t flags; uint32_t frame, fill; int32_t count; bool fill_; int32_t want; };
    const Row rows[] = {
        {0, 0, 0, 0, false, 100},                                     // no own frame colour
        {kElementOwnFrameColor, 5 * 0x010101, 0, 0, false, 5},
        {kElementOwnFrameColor, 0x123456, 0, 0, false, -1},           // not in the palette
        {0, 0, 0, 0, true, 101},                                      // not filled
        {kElementFilled, 0, 0, 0, true, 100},
        {kElementFilled | kElementOwnFillColor, 0, 63 * 0x010101, 0, true, 63},
        {kElementFilled | kElementOwnFillColor, 0, 0, 0, true, 0},
        {kElementFilled | kElementOwnFillColor, 0, 9 * 0x010101, 2, true, -1},  // two selected
        {kElementOwnFrameColor, 7 * 0x010101, 0, 1, false, 7},      // the one selected
    };
    for (const Row& r : rows) {
        ElementDefaults d;
        d.flags = r.flags;
        d.frameColor = r.frame;
        d.fillColor = r.fill;
        ElementDefaults none;
        const ElementDefaults& defaults = r.count == 1 ? none : d;
        EXPECT_EQ(CalcCurrentColorIndex(defaults, r.count, &d, r.fill_), r.want)
            << r.flags << " " << r.count;
    }
    EXPECT_EQ(FindColorIndex(3 * 0x010101), 3);
    EXPECT_EQ(FindColorIndex(0x00ABCDEF), -1);
    SetColorPopupHooks({});
}

TEST(ColorPopups, BoxGeometryAndHitTestTable) {
    const Rect grid{4, 6, 132, 134}, symbol{136, 6, 156, 134}, empty{158, 6, 178, 134};
    struct Row { int32_t index; Rect box; };
    const Row boxes[] = {
        {0, {5, 7, 20, 22}},     {7, {5, 119, 20, 134}},  {8, {21, 7, 36, 22}},
        {63, {117, 119, 132, 134}}, {100, {138, 7, 155, 133}}, {101, {160, 7, 177, 133}},
    };
    for (const Row& r : boxes) {
        Rect box{};
        EXPECT_EQ(CalcColorBoxInItems(grid, symbol, &empty, r.index, &box), 1) << r.index;
        EXPECT_TRUE(box.top == r.box.top && box.left == r.box.left && box.bottom == r.box.bottom &&
                    box.right == r.box.right)
            << r.index << ": " << box.top << " " << box.left << " " << box.bottom << " " << box.right;
    }
    Rect unused;
    EXPECT_EQ(CalcColorBoxInItems(grid, symbol, nullptr, 101, &unused), 0);  // frame popup
    EXPECT_EQ(CalcColorBoxInItems(grid, symbol, &empty, 64, &unused), 0);
    struct Hit { int16_t v, h; bool fill; int32_t want; };
    const Hit hits[] = {
        {10, 10, true, 0},   {10, 130, true, 7},   {125, 130, true, 63}, {30, 30, true, 9},
        {140, 40, true, 100}, {170, 40, true, 101}, {170, 40, false, -1}, {2, 2, true, -1},
        {190, 40, true, -1},
    };
    for (const Hit& h : hits)
        EXPECT_EQ(HitTestColorBoxInItems(grid, symbol, h.fill ? &empty : nullptr, Point{h.v, h.h}),
                  h.want)
            << h.v << "," << h.h;
}

TEST(ColorPopups, ChoicesChangeTheDefaultsWhenNothingIsSelected) {
    struct Row { int32_t what; uint32_t value; uint16_t flags; int32_t width; uint32_t frame, fill; };
    const Row rows[] = {
        {kChoiceWidth, 3, kElementFilled, 3, 0x11, 0x22},
        {kChoiceFill, 0, 0, 1, 0x11, 0x22},  // "Empty" keeps the fill colour
        {kChoiceFrameColor, 0xFF0000, kElementFilled | kElementOwnFrameColor, 1, 0xFF0000, 0x22},
        {kChoiceFrameColor, kNoOwnColor, kElementFilled, 1, 0x11, 0x22},
        {kChoiceFillColor, 0x00FF00, kElementFilled | kElementOwnFillColor, 1, 0x11, 0x00FF00},
    };
    for (const Row& r : rows) {
        ElementDefaults d;
        d.flags = kElementFilled;
        d.frameColor = 0x11;
        d.fillColor = 0x22;
        ApplyChoiceToDefaults(&d, r.what, r.value);
        EXPECT_EQ(d.flags, r.flags) << r.what;
        EXPECT_EQ(d.penWidth, r.width) << r.what;
        EXPECT_EQ(d.frameColor, r.frame) << r.what;
        EXPECT_EQ(d.fillColor, r.fill) << r.what;
    }
}

VXWindowRecordTag* gShotPopup = nullptr;
std::string gPopupShot;

// The fill popup opened over a sheet window, pictured while it is open (the sheet window with its
// rulers and grid is pictured by the running program: app/tests/sheetrulers_screens_test.cpp).
TEST_F(SheetKeys, AnOpenColourPopupOverASheetWindow) {
    HideShowRulers(sheet->window, true);
    sheet->view.showGrid = 1;
    sheet->view.gridSpacing = 16;
    RedrawSheetWindow(sheet);
    VXWindowRecordTag* popup = GetColorPopup(true);
    ASSERT_NE(popup, nullptr);
    // The fill popup has its "Empty" item, the frame popup not.
    Rect box;
    EXPECT_EQ(CalcColorBoxFromIndex(popup, kColorChoiceEmpty, &box), 1);
    EXPECT_EQ(CalcColorBoxFromIndex(GetColorPopup(false), kColorChoiceEmpty, &box), 0);
    EXPECT_EQ(HitTestColorBox(popup, Point{10, 10}), 0);
    gShotPopup = popup;
    PlatformPostDeferred(
        [](void*) {
            SetColorPopupHighlight(gShotPopup, 10);
            VXUpdateWindow(gShotPopup);
            gPopupShot = WriteScreenshot(gShotPopup, "colour-popup.png");
            PlatformInputEvent escape;
            escape.kind = PlatformInputKind::kKeyDown;
            escape.keyCode = kPlatformKeyEscape;
            TestQueueInput(escape);
        },
        nullptr, 300'000);
    const Rect button{100, 200, 120, 220};
    TrackColorPopup(sheet->window, &button, true);
    ASSERT_GT(gPopupShot.size(), 24u);
    // A cancelled popup changes nothing.
    EXPECT_EQ(GetSheetElementDefaults(sheet).flags, 0);
}

// A text tool click on empty sheet space starts a new text at the grid point under it; a second
// click elsewhere only ends it (an empty text leaves nothing behind), and a key typed while it is
// open marks the sheet's drawing changed.
TEST_F(SheetKeys, TheTextToolStartsAndEndsANewText) {
    SetSheetDispatchSeam({Record, nullptr});
    sheet->selectedTool = 2007;
    sheet->view.snap = 1;
    sheet->view.gridSpacing = 8;
    VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
    e.u.mouse.v = 203;
    e.u.mouse.h = 301;
    DoMouseClick(sheet, &e);
    auto* te = static_cast<VXTERecord*>(sheet->drawingTE);
    ASSERT_NE(te, nullptr);
    EXPECT_EQ(te->viewRect.left, 304);
    EXPECT_EQ(te->destRect.right, 32767);
    VXEventRecord key = VXClearedEvent(kVXCharEvent);
    key.u.character.character = 'a';
    EXPECT_EQ(DoKey(sheet, &key), 1);
    EXPECT_NE(sheet->modifiedFlags & (kSheetModifiedContent | kSheetModifiedDrawing), 0);
    gRan.clear();
    VXEventRecord away = Click(kVXMouseDownEvent, 0, false, false);
    away.u.mouse.v = away.u.mouse.longV = 600;
    DoMouseClick(sheet, &away);
    EXPECT_EQ(Ran(), "DestroyDrawingTE");
    EXPECT_EQ(sheet->drawingTE, nullptr);
}

// With nothing selected, choices go to the sheet's defaults for new elements; choosing what is
// already current changes nothing.
TEST_F(SheetKeys, PopupChoicesBecomeTheDefaultsOfNewElements) {
    ColorPopupHooks hooks;
    hooks.getColor = [](int32_t index) { return uint32_t(index * 0x030201); };
    SetColorPopupHooks(hooks);
    const Rect button{100, 200, 120, 220};
    TestScriptPopupChoice(2);  // "3"
    TrackLineWidthPopup(sheet->window, &button, nullptr, 1);
    EXPECT_EQ(GetSheetElementDefaults(sheet).penWidth, 3);

    VXWindowRecordTag* popup = GetColorPopup(true);
    ASSERT_NE(popup, nullptr);
    Rect box;
    ASSERT_EQ(CalcColorBoxFromIndex(popup, 9, &box), 1);
    const auto choose = [&](const Rect& at) {
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, sheet->window, 210, 110));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, sheet->window, 210, 110));
        const int x = (at.left + at.right) / 2, y = (at.top + at.bottom) / 2;
        TestQueueInput(MouseInput(PlatformInputKind::kMouseMoved, popup, x, y));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseDown, popup, x, y));
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, popup, x, y));
        TrackColorPopup(sheet->window, &button, true);
    };
    choose(box);
    ElementDefaults d = GetSheetElementDefaults(sheet);
    EXPECT_EQ(d.flags, kElementFilled | kElementOwnFillColor);
    EXPECT_EQ(d.fillColor, 9u * 0x030201);
    ASSERT_EQ(CalcColorBoxFromIndex(popup, kColorChoiceEmpty, &box), 1);
    choose(box);  // "Empty": no fill, the fill colour kept
    d = GetSheetElementDefaults(sheet);
    EXPECT_EQ(d.flags, kElementOwnFillColor);
    EXPECT_EQ(d.fillColor, 9u * 0x030201);
    SetColorPopupHooks({});
}

}  // namespace
}  // namespace plexa::test
