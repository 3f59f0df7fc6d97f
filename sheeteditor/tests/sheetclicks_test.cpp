// Clicks of the sheet pane that drag or open a dialog, given to the pane's click dispatch on a
// sheet in its window and judged by what they did: a handle's drag resizes or reshapes its item,
// a double click opens the dialog of what lies under the point, the sub-sheet tool draws a sheet
// symbol, the simulator bar's graph tool asks a simulator at the other end of the link to graph the
// signal clicked.
#include "sheeteditor/sheetkeys.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "design/simlink.h"
#include "design/simlink_session.h"
#include "design/tests/fake_simora.h"
#include "design/tests/netlist_fixture.h"
#include "design/tests/simlink_testing.h"
#include "files/symbolplace.h"
#include "foundation/strings.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/libitem.h"
#include "model/sheetdump.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symboltexts.h"
#include "model/tests/libitem_testing.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/simtools.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "sheeteditor/tests/sheetselect_testing.h"
#include "symboleditor/pindialog.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

constexpr uint16_t kSelect = 2006;

class SheetClicks : public SelectionTest {
protected:
    void SetUp() override {
        SelectionTest::SetUp();
        VXInitControls();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        SymbolHooks hooks = GetSymbolHooks();
        AddSheetSymbolModelHooks(hooks);  // a sheet symbol's box, as in the editor
        SetSymbolHooks(hooks);
        sheet->view.snap = 0;
        sheet->viewScale = 400;  // the select tool takes the point as it is
        sheet->selectedTool = kSelect;
    }
    void TearDown() override {
        CloseUIFiles();
        SelectionTest::TearDown();
        SetSymbolHooks(SymbolHooks{});
        PlatformControlFlushDestroyed();
    }
    // The point of the handle with the id, or (-1, -1).
    Point Handle(int32_t id) const {
        const ItemModifier* m = SheetModifiers(sheet);
        for (int32_t i = 0; i < CountSheetModifiers(sheet); ++i)
            if (m[i].id == id) return {m[i].v, m[i].h};
        return {-1, -1};
    }
    // A select-tool press on the handle, dragged by (dv, dh) and released.
    Point DragHandle(int32_t id, int16_t dv, int16_t dh) {
        const Point from = Handle(id);
        EXPECT_GE(from.h, 0) << id;
        const Point to{int16_t(from.v + dv), int16_t(from.h + dh)};
        VXEventRecord down = Gesture({from, {int16_t(from.v + dv / 2), int16_t(from.h + dh / 2)}, to});
        DoMouseClick(sheet, &down);
        EXPECT_EQ(TestQueuedInputCount(), 0) << id;
        return to;
    }
    // A double click at the point with the modifiers, the dialog it opens given to the script
    // (when there is one) and then ended with the key (Cancel unless told); its title, "(none)"
    // when none opened, and " beep" when it beeped.
    std::string DoubleClick(Point at, bool shift = false, bool option = false,
                            void (*script)(VXWindowRecordTag* dialog) = nullptr, uint16_t key = 27) {
        const int beeps = TestBeepCount();
        const auto click = [&](uint8_t kind) {
            VXEventRecord e = VXClearedEvent(kind);
            e.u.mouse.v = e.u.mouse.longV = at.v;
            e.u.mouse.h = e.u.mouse.longH = at.h;
            e.u.mouse.shift = shift;
            e.u.mouse.option = option;
            DoMouseClick(sheet, &e);
        };
        click(kVXMouseDownEvent);
        static std::string title;
        static void (*act)(VXWindowRecordTag*);
        static uint16_t end;
        title = "(none)";
        act = script;
        end = key;
        VXPostDeferredAction([](void*) {
            if (VXWindowRecordTag* dialog = FrontDialog()) {
                title = WindowTitle(dialog);
                if (act) act(dialog);
                QueueKey(end);
            }
        }, nullptr, 0.001);
        click(kVXDoubleClickEvent);
        VXWaitUpdateWindows();  // the deferred look runs when no dialog opened
        return title + (TestBeepCount() > beeps ? " beep" : "");
    }
    // A fresh sheet in place of the one before.
    void Fresh() {
        driver.reset();
        sheets.DestroyAll();
        gUntitledDrawingCount = 0;
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        driver = std::make_unique<WireDriver>(sheet);
        sheet->view.snap = 0;
        sheet->viewScale = 400;
        sheet->selectedTool = kSelect;
    }
    // A component whose pin runs from (h 300, v 200) down to v 210, its body below.
    SymbolRecord* Part() {
        SymbolRecord* part = Place(Definition(), 300, 200);
        ComponentRecord* component = CreateComponent(1, 1, 1, 1, 1);
        LLAppend(sheet->componentList, component);
        part->component = component;
        return part;
    }
    // A part of a library item (prefix U) with pins 1 "IN" and 2 "OUT" whose names and numbers are
    // not shown, placed as "U1" with its origin at (h 300, v 200). Its pins run from their ends at
    // h -20 to the body at h 0, at v 10 and v 20; the body is a bar at h 0 from v 0 to v 30 ("CONN",
    // the pins' names stand clear of it), or a box from h 0 to h 40 ("BOX", they stand on it).
    SymbolRecord* NamedPinsPart(bool box) {
        LibraryItem* item = CreateLibraryItem(kLibItemComponent);
        EXPECT_NE(item, nullptr);
        if (!item) return nullptr;
        EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, box ? "BOX" : "CONN", 0));
        SetLibraryItemRefPrefix(item, "U");
        const auto in = uint16_t(AddPin(item, "IN", kPinInput));
        const auto out = uint16_t(AddPin(item, "OUT", kPinOutput));
        LinkListHeader* elements = CreateElementList(item->imageList);
        LLAppend(elements, BuildNodeElement({10, -20}, {10, 0}, 1, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildNodeElement({20, -20}, {20, 0}, 1, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(box ? kElementRect : kElementLine, {0, 0},
                                              {30, int16_t(box ? 40 : 0)}, 1, 0, 0, false, false, 0, false, 0,
                                              false));
        plexa::Handle data =
            ElementsToSymbolData(elements, nullptr, nullptr, item->stringBlock, false, nullptr);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        SymbolRecord* part = nullptr;
        if (data) {
            const std::string bytes(*data, SizeOfHandle(data));
            MemFree(data);
            EXPECT_EQ(AddLibSymbolDef(item, "PART", Block(bytes), nullptr, item->imageList, Ids({in, out})), 0);
            AddSection(item, "", 0, {{"1", "2"}});
            SetLibPackageName(item, AddNewPackageToLibItem(item, 0), "SIP2");
            // Placed as the files layer places parts by itself: the part takes a designator of its
            // own, whatever hooks an earlier test of the program installed.
            const SymbolPlaceHooks hooks = GetSymbolPlaceHooks();
            SetSymbolPlaceHooks({});
            part = PlaceLibSymbolInstance(sheet, {200, 300}, 0, item, 0, -1, 0, false, "PARTS.LBX", 1, nullptr,
                                          0);
            SetSymbolPlaceHooks(hooks);
        }
        DestroyLibraryItem(item);  // the sheet keeps its own copy of what it placed
        EXPECT_NE(part, nullptr);
        return part;
    }
    TextFrameHandle AddFrame(const char* text, Point at, int32_t width) {
        TextFrameHandle frame = CreateTextFrame(text, -1, kEncodingUTF8);
        EXPECT_NE(frame, nullptr);
        LLPush(sheet->textFrameList, frame);
        InstallStyleInFrame(frame, sheet->currentTextStyle, 0xFFFFFFFF, sheet->styleList);
        (*frame)->position = at;
        CalcTextFrameBounds(sheet->window, frame, true, width);
        return frame;
    }
    // A sheet symbol at (h 100, v 100) with one port.
    SymbolRecord* AddSheetSymbol() {
        SymbolRecord* s = CreateSheetSymbol();
        EXPECT_NE(s, nullptr);
        s->position = {100, 100};
        SheetSymbolPortsHeadOf(s->sheetSymbolData)->width = 100;
        SheetSymbolPortsHeadOf(s->sheetSymbolData)->height = 60;
        AddSymbolToSheet(sheet, s);
        EXPECT_EQ(CreateSheetSymbolPort(sheet, s, "A", 0), 0);
        return s;
    }
    // A buss from (h 100, v 300) to (h 300, v 300), both ends free.
    BussHandle AddBuss(uint16_t flags = 0) {
        BussHandle buss = CreateBuss(sheet->bussList);
        EXPECT_NE(buss, nullptr);
        SetBussName(buss, sheet->stringBlock, "D[0:7]");
        WireHandle wire = CreateWire(nullptr);
        (void)InsertWireCorner(wire, {300, 100}, -1);  // fails only out of memory
        (void)InsertWireCorner(wire, {300, 300}, -1);
        (*wire)->flags |= uint16_t(kWireFlagBuss | flags);
        CalcWireBounds(wire);
        LLPush((*buss)->wires, wire);
        CalcBussBounds(buss);
        return buss;
    }
};

std::string Box(Rect r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// A press on a selected item's handle drags that handle: a rectangle's corner reshapes it, a text
// frame's and a sheet symbol's size handle resize them, a buss's free end moves that end.
TEST_F(SheetClicks, AHandleDraggedWithTheSelectToolResizesItsItem) {
    // The rectangle's bottom right corner, 40 right and 20 down.
    ElementRecord* rect = AddRect({100, 100, 140, 160}, kElementSelected);
    CalcSheetSelection(sheet, nullptr);
    int32_t corner = -1;
    for (int32_t i = 0; i < CountSheetModifiers(sheet); ++i) {
        const ItemModifier& m = SheetModifiers(sheet)[i];
        if (m.h == 160 && m.v == 140) corner = m.id;
    }
    ASSERT_GE(corner, 0);
    DragHandle(corner, 20, 40);
    EXPECT_EQ(Box(rect->rect), "(100,100)-(200,160)");
    (void)LLRemoveOrFree(sheet->elementList, rect, nullptr, true);
    ReleaseSheetUndo(sheet);

    // A text frame made 30 narrower.
    TextFrameHandle frame = AddFrame("a frame of text", {200, 100}, 200);
    (*frame)->flags |= kFrameFlagSelected;
    CalcSheetSelection(sheet, nullptr);
    const Rect oldFrame = (*frame)->bounds;
    Point to = DragHandle(kModTextFrameSize, 0, -30);
    // Its right edge follows the pointer, within its margin; the text wraps onto more lines.
    const Rect now = (*frame)->bounds;
    EXPECT_EQ(now.left, oldFrame.left);
    EXPECT_NEAR(now.right, to.h, 4) << Box(oldFrame) << Box(now);
    EXPECT_GT(now.bottom - now.top, oldFrame.bottom - oldFrame.top) << Box(oldFrame) << Box(now);
    (*frame)->flags &= uint16_t(~kFrameFlagSelected);
    CalcSheetSelection(sheet, nullptr);

    // A sheet symbol made 40 wider and 30 taller.
    SymbolRecord* box = AddSheetSymbol();
    box->flags |= kSymbolFlagSelected;
    CalcSheetSelection(sheet, nullptr);
    const SheetSymbolPortsHead before = *SheetSymbolPortsHeadOf(box->sheetSymbolData);
    to = DragHandle(kModSheetSymbolSize, 30, 40);
    const SheetSymbolPortsHead* after = SheetSymbolPortsHeadOf(box->sheetSymbolData);
    // The box's corner follows the pointer (the handle lies one unit beyond the corner).
    EXPECT_EQ(box->position.h + after->width, to.h) << before.width << "x" << before.height;
    EXPECT_EQ(box->position.v + after->height, to.v) << before.width << "x" << before.height;
    box->flags &= ~kSymbolFlagSelected;

    // Each free end of a selected buss, in turn.
    for (int32_t end : {0, 1}) {
        SCOPED_TRACE(end);
        while (void* b = LLFirst(sheet->bussList)) {
            (void)LLRemoveOrFree(sheet->bussList, b, nullptr, false);
            DestroyBuss(static_cast<BussHandle>(b));
        }
        BussHandle buss = AddBuss(kWireFlagSelected);
        CalcSheetSelection(sheet, nullptr);
        CalcBusLineModifiers(sheet, FirstWire((*buss)->wires));
        const Point from = Handle(kModBussEnd0 + end);
        ASSERT_GE(from.h, 0);
        VXEventRecord down = Gesture({from, {300, int16_t(from.h + (end ? 10 : -10))}, {300, int16_t(end ? 360 : 40)}});
        DoMouseClick(sheet, &down);
        WireHandle wire = FirstWire((*buss)->wires);
        Point first{}, last{};
        ASSERT_TRUE(GetWireCorner(wire, 0, &first));
        ASSERT_TRUE(GetWireCorner(wire, -1, &last));
        const int16_t lo = std::min(first.h, last.h), hi = std::max(first.h, last.h);
        EXPECT_EQ(end ? hi : lo, end ? 360 : 40);
        EXPECT_EQ(end ? lo : hi, end ? 100 : 300);  // the other end stays
    }
}

// A double click (its first click selects, as a person's does) opens the dialog of what lies under
// the point: a pin's, a symbol's, a signal's or a buss's, from the item itself or from a text of
// it; with Option a symbol is looked past and nothing under the point opens the sheet's settings.
TEST_F(SheetClicks, ADoubleClickOpensTheDialogOfWhatLiesUnderThePoint) {
    const auto middle = [](Rect r) { return Point{int16_t((r.top + r.bottom) / 2), int16_t((r.left + r.right) / 2)}; };
    // Each builds the item on a fresh sheet and answers the point to click.
    const std::function<Point()> body = [&] {
        Part();
        return Point{225, 300};
    };
    const std::function<Point()> pinName = [&] {
        SymbolRecord* part = Part();
        TextRecord* text = CreateDrawingText(sheet, kTextKindPinName | 0, 0, {520, 300}, "IN");
        text->owner = TextOwnerSerial(part->serial);
        return middle(text->bounds);
    };
    const std::function<Point()> sheetSymbol = [&] {
        SymbolRecord* box = AddSheetSymbol();
        return Point{int16_t(box->position.v + 30), int16_t(box->position.h + 50)};
    };
    // The net name text of a sheet symbol of a sub-sheet.
    const std::function<Point()> sheetSymbolText = [&] {
        SymbolRecord* box = AddSheetSymbol();
        box->flags |= kSymbolFlagSubSheet;
        TextRecord* text = CreateDrawingText(sheet, kTextKindNetSymbol, 0, {520, 300}, "CHILD");
        text->owner = TextOwnerSerial(box->serial);
        return middle(text->bounds);
    };
    const std::function<Point()> wire = [&] {
        SetSignalName(driver->Draw({{450, 100}, {450, 200}}), sheet->stringBlock, "NET");
        return Point{449, 150};
    };
    const std::function<Point()> label = [&] {
        SignalHandle net = driver->Draw({{450, 100}, {450, 200}});
        SetSignalName(net, sheet->stringBlock, "NET");
        TextRecord* text = CreateSignalWireLabel(sheet, net, FirstWire((*net)->wires), 0, false);
        return middle(text->bounds);
    };
    // A simulator node value: a boxed text of the signal, no name label.
    const std::function<Point()> value = [&] {
        SignalHandle net = driver->Draw({{450, 100}, {450, 200}});
        SetSignalName(net, sheet->stringBlock, "NET");
        TextRecord* text = CreateSignalWireLabel(sheet, net, FirstWire((*net)->wires), 0, false);
        text->flags |= kTextFlagBoxed;
        return middle(text->bounds);
    };
    const std::function<Point()> buss = [&] {
        AddBuss();
        return Point{299, 200};
    };
    const std::function<Point()> nothing = [] { return Point{500, 500}; };
    struct Row {
        const char* name;
        const std::function<Point()>& build;
        bool shift, option;
        const char* title;
    };
    const Row rows[] = {

        {"component body", body, false, false, "Symbol Information"},
        {"component body with Option is looked past", body, false, true, "Untitled 1 Settings"},

        {"pin name with Option", pinName, false, true, "Symbol Information"},
        {"sheet symbol", sheetSymbol, false, false, "Symbol Information"},
        {"sheet symbol with Shift and Option is looked past", sheetSymbol, true, true, "Untitled 1 Settings"},
        {"sheet symbol's text", sheetSymbolText, false, false, "Symbol Information"},
        {"sheet symbol's text with Shift and Option enters it: without a file, a beep", sheetSymbolText, true,
         true, "(none) beep"},
        {"signal wire", wire, false, false, "Signal Info"},
        {"signal label", label, false, false, "Signal Info"},
        {"simulator value", value, false, false, "(none)"},
        {"buss wire", buss, false, false, "Bus Info"},
        {"nothing", nothing, false, false, "(none)"},
        {"nothing with Option", nothing, false, true, "Untitled 1 Settings"},
    };
    for (const Row& row : rows) {
        Fresh();
        const Point at = row.build();
        EXPECT_EQ(DoubleClick(at, row.shift, row.option), row.title) << row.name;
    }
}

// A placed part's pin name, once shown, is a way into its pin's dialog where it stands clear of
// the part: a double click on it (its first click selects it, as a person's does) opens the
// dialog with the keyboard in the name, and a name typed there with OK renames the pin on the
// sheet; with Option the part's own dialog opens. A name standing on the part's body is the
// part's: a double click there opens the part's dialog.
TEST_F(SheetClicks, ADoubleClickOnAPinNameOpensThePinsDialogOnTheName) {
    static std::string field;
    static int16_t focus;
    for (bool box : {false, true}) {
        SCOPED_TRACE(box ? "box" : "bar");
        Fresh();
        SymbolRecord* part = NamedPinsPart(box);
        ASSERT_NE(part, nullptr);
        const auto name = [&](int32_t pin) {
            return RetrieveSymbolText(sheet, part, uint16_t(kTextKindPinName | pin));
        };
        ASSERT_EQ(name(0), nullptr);
        // IN's name shown through the pin's dialog, opened on the pin's end.
        EXPECT_EQ(DoubleClick({210, 280}, false, false, [](VXWindowRecordTag* dialog) {
            ClickItem(dialog, kPinInfoShowName);
        }, 13), "U1 - Pin information");
        TextRecord* shown = name(0);
        ASSERT_NE(shown, nullptr);
        EXPECT_FALSE(shown->flags & kTextFlagHidden);
        EXPECT_EQ(name(1), nullptr);
        ClearDrawingSelection(sheet);
        const std::string before = DumpSheet(sheet);
        ASSERT_NE(before.find("\"IN\""), std::string::npos) << before;
        const Point middle{int16_t((shown->bounds.top + shown->bounds.bottom) / 2),
                           int16_t((shown->bounds.left + shown->bounds.right) / 2)};
        if (box) {
            EXPECT_EQ(DoubleClick(middle), "Symbol Information");
            continue;
        }

        // Opened on the name, the dialog shows it with the keyboard in it; cancelled, it leaves the
        // sheet as it was but for the name's selection.
        field.clear();
        focus = -1;
        EXPECT_EQ(DoubleClick(middle, false, false, [](VXWindowRecordTag* dialog) {
            char text[256];
            VXGetItemText(dialog, kPinInfoName, text);
            field = text;
            focus = VXGetFocusItem(dialog, nullptr);
        }), "U1 - Pin information");
        EXPECT_EQ(field, "IN");
        EXPECT_EQ(focus, kPinInfoName);
        EXPECT_TRUE(shown->flags & kTextFlagSelected);
        ClearDrawingSelection(sheet);
        EXPECT_EQ(DumpSheet(sheet), before);

        // With Option: the part's own dialog.
        EXPECT_EQ(DoubleClick(middle, false, true), "Symbol Information");

        // A new name with OK: the name shown on the sheet takes it.
        EXPECT_EQ(DoubleClick(middle, false, false, [](VXWindowRecordTag* dialog) {
            VXSetItemText(dialog, kPinInfoName, "VIN");
        }, 13), "U1 - Pin information");
        shown = name(0);
        ASSERT_NE(shown, nullptr);
        char text[kStringSpecBufferSize];
        GetTextRecordString(shown, sheet->stringBlock, text, sizeof text);
        EXPECT_STREQ(text, "VIN");
        EXPECT_NE(DumpSheet(sheet).find("\"VIN\""), std::string::npos);
    }
}

// The sub-sheet tool draws a sheet symbol over the rectangle dragged.
TEST_F(SheetClicks, TheSubSheetToolDrawsASheetSymbolOverTheDraggedRectangle) {
    sheet->selectedTool = 2031;
    VXEventRecord down = Gesture({{100, 100}, {130, 160}, {160, 220}});
    DoMouseClick(sheet, &down);
    auto* made = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList));
    ASSERT_NE(made, nullptr);
    EXPECT_TRUE(made->flags & kSymbolFlagSheet);
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(made->sheetSymbolData);
    EXPECT_EQ(At(made->position), "(100,100)");
    EXPECT_EQ(head->width, 120);
    EXPECT_EQ(head->height, 60);
}

// A double click on a port opens the port's dialog through the signal or buss it is connected to:
// a module port's and a buss port's; a port that no wire reaches opens nothing.
TEST_F(SheetClicks, ADoubleClickOnAPortOpensItsDialog) {
    // A port at (h 300, v 200) whose pin 0 takes a wire up to v 100.
    const std::function<Point()> modulePort = [&] {
        Place(Definition(), 300, 200, kSymbolFlagPort | kSymbolFlagModulePort);
        SetSignalName(driver->Draw({{200, 300}, {100, 300}}), sheet->stringBlock, "OUT");
        return Point{225, 300};
    };
    // A buss port at (h 300, v 200) whose pin 0 is the terminal of a buss up to v 100.
    const std::function<Point()> bussPort = [&] {
        SymbolRecord* port = Place(Definition(), 300, 200, kSymbolFlagPort | kSymbolFlagBussPort);
        BussHandle buss = CreateBuss(sheet->bussList);
        SetBussName(buss, sheet->stringBlock, "D[0:7]");
        const int32_t terminal = AddPinToBuss(buss, port, 0, 0);
        EXPECT_GE(terminal, 0);
        WireHandle wire = CreateWire(nullptr);
        (void)InsertWireCorner(wire, {200, 300}, -1);  // fails only out of memory
        (void)InsertWireCorner(wire, {100, 300}, -1);
        (*wire)->flags |= kWireFlagBuss;
        (*wire)->end0 = uint16_t(terminal);
        CalcWireBounds(wire);
        LLPush((*buss)->wires, wire);
        CalcBussBounds(buss);
        return Point{225, 300};
    };
    // A port that no wire reaches opens nothing.
    const std::function<Point()> loosePort = [&] {
        Place(Definition(), 300, 200, kSymbolFlagPort | kSymbolFlagModulePort);
        return Point{225, 300};
    };
    struct Row {
        const char* name;
        const std::function<Point()>& build;
        const char* title;
    };
    const Row rows[] = {
        {"module port", modulePort, "Port Info"},
        {"buss port", bussPort, "Port Info"},
        {"port on no wire", loosePort, "(none)"},
    };
    for (const Row& row : rows) {
        Fresh();
        const Point at = row.build();
        EXPECT_EQ(DoubleClick(at), row.title) << row.name;
    }
}

constexpr uint32_t kGraphProjectId = 0x4567;
constexpr uint32_t kGraphAnalysisId = 55;

// A sheet window of a project's top sheet with the simulator link up to a fake simulator, in the
// editor's composition (the link's messages, the simulator bar and its tools).
class SheetGraphTool : public SheetClicks {
protected:
    void SetUp() override {
        SheetClicks::SetUp();
        if (HasFatalFailure()) return;
        InstallEditorHooks();
        design = std::make_unique<netfix::Design>(1);
        project = design->project;
        ASSERT_NE(project->analyses, nullptr);
        project->projectId = kGraphProjectId;
        project->noStoredMaps = 1;  // the signals go by their own names
        (void)design->AddSheet("top");
        design->FinishSpecs();
        sheet->project = project;
        sheet->hierarchyContext = design->AddNode(nullptr, "top", 0)->instance;
        project->next = gProjectList;
        gProjectList = project;
    }
    void TearDown() override {
        DisableSpiceLink();
        if (design) {
            gProjectList = project->next;
            sheet->project = nullptr;
            sheet->hierarchyContext = nullptr;
            design.reset();
        }
        // The sheets go while the editor's hooks let their windows go with them.
        driver.reset();
        sheets.DestroyAll();
        InstallCoreHooks();
        gSpiceLinkSettings = {0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
        SheetClicks::TearDown();
    }
    // The link up to the peer, the windows told as the setup dialog tells them, and an analysis
    // of the simulator's for the project: the sheet's simulator bar.
    VXWindowRecordTag* LinkWithAnAnalysis() {
        ConnectSpiceLinkTo(peer);
        GetSpiceWindowHooks().showSimulatorTools(true);
        EXPECT_TRUE(peer.Send(PeerFrameBytes(FourCC("AddA"), 1, kGraphProjectId, {kGraphAnalysisId, 0, 1, 0},
                                             PeerStringList(4, {PeerEntry{"tran1", kGraphAnalysisId}}))));
        EXPECT_TRUE(TickSpiceLinkUntil([&] { return CountSpiceAnalyses(project) == 1; }));
        return sheet->simulatorTools;
    }
    // A press of the graph tool at the point, with Shift or not.
    void Click(Point at, bool shift = false) {
        VXEventRecord e = VXClearedEvent(kVXMouseDownEvent);
        e.u.mouse.v = e.u.mouse.longV = at.v;
        e.u.mouse.h = e.u.mouse.longH = at.h;
        e.u.mouse.shift = shift;
        DoMouseClick(sheet, &e);
    }
    // The graph requests the peer has had: the request's kind, the analysis and the names.
    std::vector<std::string> GraphRequests() {
        std::vector<std::string> out;
        for (const PeerFrame& f : peer.frames()) {
            if (f.type != FourCC("AGph") && f.type != FourCC("RGph")) continue;
            std::string line = std::string(f.type == FourCC("AGph") ? "add" : "replace") + " analysis " +
                               std::to_string(f.arguments[0]) + " project " + std::to_string(f.projectId) + ":";
            for (const PeerEntry& e : f.entries) line += " " + e.text;
            out.push_back(line);
        }
        return out;
    }
    std::unique_ptr<netfix::Design> design;
    ProjectRecord* project = nullptr;
    FakeSimora peer;
};

// The graph tool, chosen on the simulator bar, asks the simulator to graph the signal of the wire
// clicked (by the name the simulator knows it by), in place of the graph's signals or, with Shift,
// added to them; a click off every wire asks nothing. The tool stays chosen and the sheet is left
// as it was.
TEST_F(SheetGraphTool, AClickOnASignalsWireAsksTheSimulatorToGraphIt) {
    VXWindowRecordTag* bar = LinkWithAnAnalysis();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(VXGetItemEnabled(bar, kSpiceGraphSignals));
    ClickItem(bar, kSpiceGraphSignals);
    EXPECT_EQ(sheet->selectedTool, kDrawToolGraphSignals);
    EXPECT_EQ(VXGetButtonState(bar, kSpiceGraphSignals), 1);
    EXPECT_STREQ(VXGetNamedCursorForWindow(sheet->window), "Cursor_1011");

    // CLK from (h 100) to (h 200) at v 450; below it a wire whose signal has the name a new signal
    // takes.
    SetSignalName(driver->Draw({{450, 100}, {450, 200}}), sheet->stringBlock, "CLK");
    (void)driver->Draw({{500, 100}, {500, 200}});
    const std::string before = DumpSheet(sheet);
    ASSERT_NE(before.find("\"SIG001\""), std::string::npos) << before;

    Click({450, 150});
    ASSERT_TRUE(peer.WaitFrames(2));  // "AllA", then the request
    Click({450, 120}, true);
    ASSERT_TRUE(peer.WaitFrames(3));
    Click({500, 180});
    ASSERT_TRUE(peer.WaitFrames(4));
    Click({300, 150});  // nothing there
    ASSERT_TRUE(peer.WaitQuiet());
    EXPECT_EQ(GraphRequests(), (std::vector<std::string>{"replace analysis 55 project 17767: clk",
                                                         "add analysis 55 project 17767: clk",
                                                         "replace analysis 55 project 17767: sig001"}));
    EXPECT_EQ(peer.frames().size(), 4u);

    EXPECT_EQ(sheet->selectedTool, kDrawToolGraphSignals);
    EXPECT_EQ(VXGetButtonState(bar, kSpiceGraphSignals), 1);
    EXPECT_EQ(DumpSheet(sheet), before);
}

}  // namespace
}  // namespace plexa::test
