// Keys and clicks in the sheet pane by what they do (tool, key or button, modifiers and the item
// under the point), the snap table, the colour popups' tables, and a real sheet window with its
// rulers, grid and an open colour popup.
#include "sheeteditor/sheetkeys.h"
#include "sheeteditor/sheetundo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
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
#include "sheeteditor/elementtools.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/toolbars.h"
#include "sheeteditor/wiretracking.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

class SheetKeys : public AppDialogsTest {
protected:
    void SetUp() override {
        AppDialogsTest::SetUp();
        InitSheetWindows();
        ModelHooks hooks = GetModelHooks();
        hooks.releaseSheetEditorParts = ReleaseTestSheetEditorParts;  // handles, undo of a Delete key
        SetModelHooks(hooks);
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
    }
    void TearDown() override {
        if (IsWireCreationInProgress()) CancelWireCreation(sheet);
        DisposeColorPopups();
        ReleaseSheetUndo(sheet);  // what a key's deletion collected
        sheets.DestroyAll();
        SetModelHooks(ModelHooks{});
        AppDialogsTest::TearDown();
    }
    // A click at sheet point (h 300, v 200) of the kind, button and modifiers (the button is up
    // for whatever the click starts to track).
    VXEventRecord Click(uint8_t kind, uint16_t button, bool shift, bool option) {
        VXEventRecord e = VXClearedEvent(kind);
        e.u.mouse.button = button;
        e.u.mouse.shift = shift;
        e.u.mouse.option = option;
        e.u.mouse.v = e.u.mouse.longV = 200;
        e.u.mouse.h = e.u.mouse.longH = 300;
        return e;
    }

    ElementRecord* AddRect(Rect r) {
        ElementRecord* e = BuildCommonElement(kElementRect, {r.top, r.left}, {r.bottom, r.right}, 1, 0, 0, false,
                                              false, 0, false, 0, false);
        CalcElementBounds(e);
        LLAppend(sheet->elementList, e);
        return e;
    }
    TextFrameHandle AddFrame(Point at, uint16_t flags = 0) {
        TextFrameHandle frame = CreateTextFrame("Frame", -1, kEncodingUTF8);
        LLPush(sheet->textFrameList, frame);
        InstallStyleInFrame(frame, sheet->currentTextStyle, 0xFFFFFFFF, sheet->styleList);
        (*frame)->position = at;
        (*frame)->flags |= flags;
        CalcTextFrameBounds(sheet->window, frame, true, 200);
        return frame;
    }
    // What is selected, by kind: "E" an element, "T" a text, "F" a frame.
    std::string Selected() const {
        std::string out;
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet->elementList)); e; e = e->next)
            if (e->flags & kElementSelected) out += "E";
        for (void* t = LLFirst(sheet->textList); t; t = LLGetNext(sheet->textList, t))
            if (static_cast<TextRecord*>(t)->flags & kTextFlagSelected) out += "T";
        for (void* f = LLFirst(sheet->textFrameList); f; f = LLGetNext(sheet->textFrameList, f))
            if ((*static_cast<TextFrameHandle>(f))->flags & kFrameFlagSelected) out += "F";
        return out;
    }
    SheetRecord* sheet = nullptr;
    SheetWindowList sheets;
};

// The select tool's click, by what lies under the point (h 300, v 200), and the modifiers: the
// item is selected, the others are let go unless Shift keeps them; Option looks past graphics.
TEST_F(SheetKeys, TheSelectToolSelectsWhatLiesUnderThePoint) {
    struct Row {
        const char* name;
        const char* under;  // "E" an element, "T" a text, "F" a frame at the point; "" nothing
        bool shift, option;
        const char* selected;
    };
    const Row rows[] = {
        {"element", "E", false, false, "E"},
        {"element with Option is looked past", "E", false, true, ""},
        {"text", "T", false, false, "T"},
        {"frame", "F", false, false, "F"},
        {"nothing lets the selection go", "", false, false, ""},
        {"nothing with Shift keeps it", "", true, false, "E"},
    };
    for (const Row& row : rows) {
        sheets.DestroyAll();
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        sheet->selectedTool = 2006;
        sheet->viewScale = 400;  // the point is taken as it is
        // A selected rectangle away from the point, that the click keeps or lets go.
        ElementRecord* away = AddRect({20, 20, 60, 60});
        away->flags |= kElementSelected;
        const std::string under = row.under;
        if (under == "E") {
            AddRect({200, 300, 240, 360});  // its corner at the point
        } else if (under == "T") {
            ASSERT_NE(CreateDrawingText(sheet, kTextKindFree, 0, {205, 290}, "WWW"), nullptr);
        } else if (under == "F") {
            AddFrame({198, 290});
        }
        VXEventRecord e = Click(kVXMouseDownEvent, 0, row.shift, row.option);
        DoMouseClick(sheet, &e);
        EXPECT_EQ(Selected(), row.selected) << row.name;
        EXPECT_EQ((away->flags & kElementSelected) != 0, row.shift) << row.name;
    }
}

// The select tool's hit point lies two units above the click at 200 % or less: a rectangle whose
// bottom edge is four units above the click (beyond the reach of three) is hit there, and not
// above 200 %.
TEST_F(SheetKeys, TheSelectToolsHitPointLiesTwoUnitsUpAtTwoHundredPercentOrLess) {
    struct Row { uint16_t scale; bool hit; };
    const Row rows[] = {{25, true}, {200, true}, {201, false}, {400, false}};
    for (const Row& r : rows) {
        ClearDrawingSelection(sheet);
        ElementRecord* rect = LLFirst(sheet->elementList) ? static_cast<ElementRecord*>(LLFirst(sheet->elementList))
                                                         : AddRect({150, 250, 196, 350});
        sheet->viewScale = r.scale;
        sheet->selectedTool = 2006;
        VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
        DoMouseClick(sheet, &e);
        EXPECT_EQ((rect->flags & kElementSelected) != 0, r.hit) << r.scale;
    }
}

// Clicks by tool: what each starts or makes.
TEST_F(SheetKeys, ClicksActByTool) {
    // The text tool opens a free frame for editing; a locked frame, or any frame for a tool
    // without clicks, stays as it was.
    TextFrameHandle locked = AddFrame({198, 290}, 0x0001);
    for (int16_t tool : {int16_t(2007), int16_t(9), int16_t(2030)}) {
        sheet->selectedTool = uint16_t(tool);
        VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
        DoMouseClick(sheet, &e);
        EXPECT_EQ(sheet->drawingTE, nullptr) << tool;
        EXPECT_EQ(sheet->editedTextFrame, nullptr) << tool;
        EXPECT_EQ(Selected(), "") << tool;
    }
    (*locked)->flags = 0;
    sheet->selectedTool = 2007;
    VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
    DoMouseClick(sheet, &e);
    EXPECT_EQ(sheet->editedTextFrame, locked);
    EXPECT_NE(sheet->drawingTE, nullptr);
    DestroyDrawingTE(sheet);
}

// Double clicks of the select tool: a free frame is opened for editing with the text tool; a
// rectangle opens its information dialog; nothing under the point does nothing, with Option it
// opens the sheet's settings.
TEST_F(SheetKeys, DoubleClicksOpenWhatLiesUnderThePoint) {
    sheet->selectedTool = 2006;
    sheet->viewScale = 400;
    VXEventRecord plain = Click(kVXDoubleClickEvent, 0, false, false);
    EXPECT_EQ(DoDoubleClick(sheet, &plain), 0);
    std::string title;
    InDialog([&](VXWindowRecordTag* dialog) { title = WindowTitle(dialog); }, 27);
    VXEventRecord option = Click(kVXDoubleClickEvent, 0, false, true);
    DoMouseClick(sheet, &option);
    EXPECT_EQ(title, "Untitled 1 Settings");

    ElementRecord* rect = AddRect({200, 300, 240, 360});
    title.clear();
    InDialog([&](VXWindowRecordTag* dialog) { title = WindowTitle(dialog); }, 27);
    EXPECT_EQ(DoDoubleClick(sheet, &plain), 1);
    EXPECT_EQ(title, "Element Info");
    (void)LLRemoveOrFree(sheet->elementList, rect, nullptr, true);

    TextFrameHandle frame = AddFrame({198, 290});
    EXPECT_EQ(DoDoubleClick(sheet, &plain), 1);
    EXPECT_EQ(sheet->selectedTool, 2007);
    EXPECT_EQ(sheet->editedTextFrame, frame);
    DestroyDrawingTE(sheet);
}

TEST_F(SheetKeys, ClicksOutsideTheDrawingAreaOrTheSheetPaneAreIgnored) {
    sheet->selectedTool = 2007;  // a click that is handled starts a new text
    VXEventRecord e = Click(kVXMouseDownEvent, 0, false, false);
    e.u.mouse.v = int16_t(sheet->sheetBounds.bottom + 5);
    DoMouseClick(sheet, &e);
    EXPECT_EQ(sheet->drawingTE, nullptr);
    sheet->window->graf.geometry.pane = 0;  // a ruler
    VXEventRecord inside = Click(kVXMouseDownEvent, 0, false, false);
    DoMouseClick(sheet, &inside);
    sheet->window->graf.geometry.pane = -1;
    EXPECT_EQ(sheet->drawingTE, nullptr);
}

// Keys by tool, with a selected rectangle: Escape backs out of the tool, Delete deletes the
// selection, the arrows move it by one unit, letters choose tools, Tab goes to the library pane;
// the placing tool turns its part with the arrows; the other tools swallow keys.
TEST_F(SheetKeys, KeysActByTool) {
    struct Row {
        const char* name;
        int16_t tool;
        uint16_t key;
        bool shift;
        int32_t result;
        int16_t toolAfter;
        const char* rect;  // where the rectangle is, "" when it was deleted
    };
    const Row rows[] = {
        {"Escape, select tool", 2006, 27, false, 0, 2006, "100,100"},
        {"Escape, wire tool", 2024, 27, false, 1, 2006, "100,100"},
        {"Delete", 2006, 8, false, 1, 2006, ""},
        {"Shift Delete", 2006, 0xF728, true, 1, 2006, ""},
        {"Delete, wire tool", 2024, 8, false, 1, 2024, "100,100"},
        {"up", 2006, 0xF700, false, 1, 2006, "100,99"},
        {"down", 2006, 0xF701, false, 1, 2006, "100,101"},
        {"left", 2006, 0xF702, false, 1, 2006, "99,100"},
        {"right", 2006, 0xF703, false, 1, 2006, "101,100"},
        {"t", 2006, 't', false, 1, 2007, "100,100"},
        {"W", 2006, 'W', false, 1, 2024, "100,100"},
        {"b", 2006, 'b', false, 1, 2027, "100,100"},
        {"x", 2006, 'x', false, 1, 2006, "100,100"},
        {"w with the wire tool", 2024, 'w', false, 1, 2024, "100,100"},
        {"t with the bus tool", 2027, 't', false, 1, 2007, "100,100"},
        {"arrow with the wire tool", 2024, 0xF700, false, 1, 2024, "100,100"},
        {"library part: up", 2029, 0xF700, false, 1, 2029, "100,100"},
        {"text tool swallows keys", 2007, 'w', false, 1, 2007, "100,100"},
        {"line tool swallows keys", 1, 0xF700, false, 1, 1, "100,100"},
    };
    for (const Row& row : rows) {
        ReleaseSheetUndo(sheet);
        while (void* e = LLFirst(sheet->elementList)) (void)LLRemoveOrFree(sheet->elementList, e, nullptr, true);
        ElementRecord* rect = AddRect({100, 100, 140, 160});
        rect->flags |= kElementSelected;
        CalcSheetSelection(sheet, nullptr);
        sheet->selectedTool = uint16_t(row.tool);
        VXEventRecord e = VXClearedEvent(kVXCharEvent);
        e.u.character.character = row.key;
        e.u.character.shift = row.shift;
        EXPECT_EQ(DoKey(sheet, &e), row.result) << row.name;
        EXPECT_EQ(int16_t(sheet->selectedTool), row.toolAfter) << row.name;
        auto* left = static_cast<ElementRecord*>(LLFirst(sheet->elementList));
        const std::string at = left ? std::to_string(left->rect.left) + "," + std::to_string(left->rect.top) : "";
        EXPECT_EQ(at, row.rect) << row.name;
    }
    // Tab goes to the library pane's list with the placing tool.
    SetDrawingTool(sheet, 2006);
    VXEventRecord tab = VXClearedEvent(kVXCharEvent);
    tab.u.character.character = 9;
    EXPECT_EQ(DoKey(sheet, &tab), 1);
    EXPECT_EQ(sheet->selectedTool, 2029);
    LibBrowserRecord* browser = SheetLibraryPane(sheet->window);
    ASSERT_NE(browser, nullptr);
    VXWindowRecordTag* focus = nullptr;
    (void)VXGetFocusWindow(VXGetTopParent(browser->itemList), &focus, nullptr);  // the keys' window is wanted
    EXPECT_EQ(focus, browser->itemList);
    // Left then right turns the placed symbol by three quarter turns, then one: back where it was.
    gPlaceTransformation = 0;
    sheet->selectedTool = 2029;
    for (uint16_t key : {uint16_t(0xF702), uint16_t(0xF702), uint16_t(0xF703), uint16_t(0xF703)}) {
        VXEventRecord e = VXClearedEvent(kVXCharEvent);
        e.u.character.character = key;
        DoKey(sheet, &e);
        if (key == 0xF702) {
            EXPECT_NE(gPlaceTransformation, 0);
        }
    }
    EXPECT_EQ(gPlaceTransformation, 0);
    // Return with the placing tool asks for a part; cancelled, the select tool comes back.
    std::string title;
    InDialog([&](VXWindowRecordTag* dialog) { title = WindowTitle(dialog); }, 27);
    VXEventRecord ret = VXClearedEvent(kVXCharEvent);
    ret.u.character.character = 13;
    EXPECT_EQ(DoKey(sheet, &ret), 1);
    EXPECT_EQ(title, "Parts");
    EXPECT_EQ(sheet->selectedTool, 2006);
}

TEST_F(SheetKeys, KeysAndClicksReachTheDispatchThroughTheWindow) {
    sheet->selectedTool = 2006;
    PlatformInputEvent key;
    key.kind = PlatformInputKind::kKeyDown;
    key.windowID = sheet->window->windowID;
    key.character = 'w';
    key.keyCode = 13;  // the W key
    PlatformDeliverInput(key);
    EXPECT_EQ(sheet->selectedTool, 2024);
    sheet->selectedTool = 2007;
    PlatformInputEvent down = MouseInput(PlatformInputKind::kMouseDown, sheet->window, 300, 300);
    PlatformDeliverInput(down);
    down.kind = PlatformInputKind::kMouseUp;
    PlatformDeliverInput(down);
    EXPECT_NE(sheet->drawingTE, nullptr);  // a new text at the click
    DestroyDrawingTE(sheet);
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
    VXEventRecord away = Click(kVXMouseDownEvent, 0, false, false);
    away.u.mouse.v = away.u.mouse.longV = 600;
    DoMouseClick(sheet, &away);
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
