// The sheet pane: an update of a sheet in its window drawn through recording procedures (the
// layers in their order, hidden texts and value labels left out), the modified status by reason,
// the modification time, invalidation and the end of text editing.
#include "sheeteditor/sheetview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/datetime.h"
#include "foundation/ll.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "graphics/grafprocs.h"
#include "graphics/textedit.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/symboldraw.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "platform/window_platform.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/search.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/textframeedit.h"
#include "model/tests/net_fixture.h"
#include "model/tests/wire_driver.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

std::vector<std::string> gTrace;

void Note(const std::string& what) {
    if (gTrace.empty() || gTrace.back() != what) gTrace.push_back(what);
}
void RecText(const void* text, int32_t count, uint32_t) {
    std::string bytes(static_cast<const char*>(text), size_t(count));
    std::erase(bytes, '\0');  // the ASCII of a UTF-16 text
    Note("text \"" + bytes + "\"");
}
void RecLine(int16_t, int16_t) { Note("line"); }
void RecRect(const Rect*, int8_t) { Note("rect"); }
void RecOval(const Rect*, int8_t) { Note("oval"); }
void RecRRect(const Rect*, int16_t, int16_t, int8_t) { Note("round rect"); }
void RecArc(const Rect*, int16_t, int16_t, int8_t) { Note("arc"); }
void RecPoly(const Point*, int16_t, int8_t) { Note("poly"); }
void RecPixels(VXPixels*, const Rect*, const Rect*, int16_t) { Note("pixels"); }
void RecRoundLine(int16_t, int16_t, uint8_t) { Note("line"); }
void RecLLine(int32_t, int32_t) { Note("line"); }
void RecLRect(const LRect*, int8_t) { Note("rect"); }
void RecLOval(const LRect*, int8_t) { Note("oval"); }
void RecLArc(const LRect*, int16_t, int16_t, int8_t) { Note("arc"); }
void RecLPoly(const _LPNT*, const int32_t*, uint16_t, int8_t) { Note("poly"); }
void RecRenderRect(const _LPNT*, const _LPNT*, int32_t, int16_t, int8_t) { Note("rect"); }
void RecRenderEllipse(const _LPNT*, const _LPNT*, int16_t, int16_t, int16_t, int8_t) { Note("oval"); }

const VXGrafProcsRecord kRecorder = {RecText,  RecLine,  RecRect,  RecOval,  RecRRect,  RecArc,
                                     RecPoly,  RecPixels, RecRoundLine, RecText, RecLLine, RecLRect,
                                     RecLOval, RecLArc,  RecLPoly, RecRenderRect, RecRenderEllipse};

class SheetView : public WindowsTest {
protected:
    // Opens a text editor on the frame in the sheet's window, as typing into it does; null when
    // no editor could be made.
    VXTERecord* StartEditing(TextFrameHandle edited) {
        VXSetWindow(sheet->window);
        VXTERecord* te = CreateTextFrameEditor(sheet->window, edited);
        if (te) {
            sheet->drawingTE = te;
            sheet->editedTextFrame = edited;
        }
        return te;
    }
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSheetWindows();
        gTrace.clear();
        SheetColorHooks colours;
        colours.setForeColor = [](int16_t kind) { Note("colour " + std::to_string(kind)); };
        colours.setBackColor = [] {};
        colours.colorPreferred = [] { return true; };
        SetSheetColorHooks(colours);
        SymbolDrawHooks symbols;
        symbols.drawSheetSymbol = [](VXGrafState*, SymbolRecord*, bool) { Note("sheet symbol"); };
        SetSymbolDrawHooks(symbols);
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
    }
    void TearDown() override {
        sheets.DestroyAll();
        SetSymbolDrawHooks(SymbolDrawHooks{});
        SetSheetColorHooks(SheetColorHooks{});
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }

    TextRecord* AddText(uint16_t kind, Point at, const char* string, uint16_t flags = 0) {
        TextRecord* text = CreateTextElement();
        LLPush(sheet->textList, text);
        text->kind = kind;
        text->style = sheet->currentTextStyle;
        SetupTheText(text, sheet->stringBlock, at, nullptr, string);
        text->flags = flags;
        return text;
    }

    // A sheet of every layer: a back rectangle, a sheet symbol, a buss, a signal with a
    // junction, a front oval, a text frame, a text, a hidden text and a value label.
    void BuildLayers() {
        WireDriver driver(sheet);
        SymbolRecord* child = driver.AddSymbol(5, kSymbolFlagSheet);
        child->mapId = -1;
        child->position = {200, 300};
        driver.Draw({{100, 100}, {100, 200}});
        driver.Draw({{100, 150}, {140, 150}});
        BussHandle buss = CreateBuss(sheet->bussList);
        LLPush((*buss)->wires, MakeWire({{60, 100}, {60, 300}}, kWireEndFree, kWireEndFree, kWireFlagBuss));
        CalcBussBounds(buss);
        ElementRecord* back = BuildCommonElement(kElementRect, {10, 10}, {50, 50}, 1, 0, 0, false,
                                                 false, 0, false, 0, false);
        back->flags |= kElementBackLayer;
        LLPush(sheet->elementList, back);
        LLPush(sheet->elementList, BuildCommonElement(kElementOval, {10, 400}, {50, 450}, 1, 0, 0,
                                                      false, false, 0, false, 0, false));
        TextFrameHandle frame = CreateTextFrame("Frame", -1, kEncodingUTF8);
        (*frame)->position = {300, 20};
        (*frame)->style = sheet->currentTextStyle;
        CalcTextFrameBounds(sheet->window, frame, true, 200);
        LLPush(sheet->textFrameList, frame);
        AddText(kTextKindFree, {250, 20}, "Shown");
        AddText(kTextKindFree, {260, 20}, "Hidden", kTextFlagHidden);
        AddText(kTextKindSignal, {270, 20}, "1.5V", kTextFlagBoxed);
    }

    // Sends an update of the whole sheet with the recorder in place.
    void Update() {
        const VXGrafProcsRecord* saved = sheet->window->graf.grafProcs;
        sheet->window->graf.grafProcs = &kRecorder;
        VXEventRecord event = VXClearedEvent(kVXUpdateEvent);
        const Rect& b = sheet->sheetBounds;
        event.u.update.rect = {b.top, b.left, b.bottom, b.right};
        event.u.update.longRect = {b.top, b.left, b.bottom, b.right};
        gTrace.clear();
        EXPECT_EQ(SheetViewEventHandler(sheet->window, &event), 1);
        sheet->window->graf.grafProcs = saved;
    }

    static std::string Trace() {
        std::string out;
        for (const std::string& line : gTrace) out += line + "\n";
        return out;
    }

    SheetWindowList sheets;
    SheetRecord* sheet = nullptr;
};

TEST_F(SheetView, AnUpdateDrawsTheLayersInOrderWithoutHiddenTexts) {
    BuildLayers();
    sheet->selectedTool = 2024;  // no tool feedback of its own here
    Update();
    EXPECT_EQ(Trace(),
              // Elements draw through centre-line procedures of their own: their colour shows them.
              "rect\n"            // the background erased
              "colour 0\n"        // the back-layer rectangle
              "sheet symbol\n"
              "colour 4\n"        // the buss
              "line\n"
              "colour 3\n"        // the signal's three wires, then its junction dot
              "line\n"
              "colour 3\n"
              "line\n"
              "colour 3\n"
              "line\n"
              "rect\n"
              "colour 0\n"        // the front-layer oval
              "colour 2\n"        // the text frame
              "text \"Frame\"\n"
              "colour 0\n"        // the free text; the hidden text and the value label are not drawn
              "text \"Shown\"\n");
}

TEST_F(SheetView, PageBreaksComeBeforeTheElements) {
    BuildLayers();
    sheet->view.showPageBreaks = 1;
    sheet->stored.printScale = 100;
    Update();
    ASSERT_EQ(sheet->view.showPageBreaks, 1) << "the printer gives a page";
    const std::string trace = Trace();
    EXPECT_EQ(trace.rfind("rect\ncolour 6\nrect\n", 0), 0u) << trace;  // after the background
    EXPECT_GT(sheet->cachedPageSize.right, 0);
    EXPECT_GT(sheet->cachedPageSize.bottom, 0);
}

TEST_F(SheetView, NoPrinterPageNoPageBreaks) {
    Point size{1, 1};
    EXPECT_EQ(CalcPrinterPageSize(nullptr, 100, &size), 0);
    EXPECT_EQ(size.v, 0);
    EXPECT_EQ(size.h, 0);
}

TEST_F(SheetView, ValueLabelsAppearOnlyWithTheSimulatorToolBar) {
    BuildLayers();
    sheet->simulatorTools = sheet->toolPalette;  // any child window stands for the tool bar
    Update();
    sheet->simulatorTools = nullptr;
    const std::string trace = Trace();
    EXPECT_NE(trace.find("text \"Shown\""), std::string::npos);
    EXPECT_NE(trace.find("text \"1.5V\""), std::string::npos);
    EXPECT_LT(trace.find("text \"Shown\""), trace.find("text \"1.5V\""));
    EXPECT_EQ(trace.find("Hidden"), std::string::npos);
}

TEST_F(SheetView, AnEmptyUpdateDrawsNothing) {
    BuildLayers();
    const VXGrafProcsRecord* saved = sheet->window->graf.grafProcs;
    sheet->window->graf.grafProcs = &kRecorder;
    gTrace.clear();
    const Rect empty{10, 10, 10, 10};
    DrawSheetContent(sheet, sheet->window, &empty);
    sheet->window->graf.grafProcs = saved;
    EXPECT_EQ(Trace(), "");
}

TEST_F(SheetView, ModifiedStatusByReason) {
    struct Case {
        int32_t reasons;
        uint8_t before;
        uint8_t after;
        bool marked;        // the window's modified mark afterwards
        const char* forgot; // what the change forgot: the undo action, the search position
    } cases[] = {
        {0x01, 0, kSheetModifiedContent, true, ""},
        {0x08, 0, kSheetModifiedDrawing, true, ""},
        {0x02, kSheetModifiedContent | kSheetModifiedDrawing, 0, false, ""},
        {0x03, kSheetModifiedDrawing, kSheetModifiedDrawing | kSheetModifiedContent, true, ""},
        {0x0A, 0, kSheetModifiedDrawing, true, ""},
        {40, 0, kSheetModifiedDrawing, true, "forget undo\n"},
        {104, 0, kSheetModifiedDrawing, true, "forget undo\nforget search\n"},
        {97, 0, kSheetModifiedContent, true, "forget undo\nforget search\n"},
        {33, 0, kSheetModifiedContent, true, "forget undo\n"},
        {72, 0, kSheetModifiedDrawing, true, "forget search\n"},
        {17, 0, kSheetModifiedContent, true, ""},
        {16, 0, 0, false, ""},
        {2, kSheetModifiedContent | kSheetModifiedFrameOption, kSheetModifiedFrameOption, false, ""},
    };
    SearchRecord* const lv = &SheetEditStateOf(sheet)->search;  // the sheet window's own search
    TextRecord* text = AddText(kTextKindFree, {10, 10}, "A");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reasons);
        sheet->modifiedFlags = c.before;
        VXSetWindowModified(sheet->window, c.before != 0);
        // A move to undo, and a search under way in the sheet.
        StartSheetUndoCollection(sheet, kUndoActionMove);
        CollectUndoMoveSheetItem(sheet, kUndoItemText, text, {0, 1}, 0);
        AcceptSheetUndoCollection(sheet);
        ASSERT_EQ(GetSheetUndoRecord(sheet)->actionKind, kUndoActionMove);
        lv->sheet = sheet;
        lv->nextText = text;
        lv->sheetStarted = true;
        SheetEditorModifiedStatus(sheet, c.reasons);
        EXPECT_EQ(sheet->modifiedFlags, c.after);
        EXPECT_EQ(PlatformWindowIsModified(sheet->window->platformWindow), c.marked);
        std::string forgot;
        if (GetSheetUndoRecord(sheet)->actionKind == kUndoActionNone) forgot += "forget undo\n";
        if (!lv->nextText && !lv->sheetStarted) forgot += "forget search\n";
        EXPECT_EQ(forgot, c.forgot);
    }
    SearchReset(lv, true);
}

TEST_F(SheetView, IsSheetModifiedAsksByKind) {
    struct Case {
        uint8_t flags;
        uint32_t mask;
        int32_t answer;
    } cases[] = {
        {0, 0x1D, 0},
        {kSheetModifiedDrawing, 0x08, 1},
        {kSheetModifiedDrawing, 0x01, 0},
        {kSheetModifiedContent, 0x01, 1},
        {kSheetModifiedChildSymbols, 0x01, 1},
        {kSheetModifiedFrameOption, 0x0D, 0},  // the frame option is no change
        {kSheetModifiedContent, 0x10, 0},      // no project
    };
    for (const Case& c : cases) {
        sheet->modifiedFlags = c.flags;
        EXPECT_EQ(IsSheetModified(sheet, c.mask), c.answer) << int(c.flags) << " " << c.mask;
    }
}

TEST_F(SheetView, AContentChangeNeverMovesTheModificationTimeBack) {
    const auto now = uint32_t(VXGetCurrentDateTime(1));
    sheet->modificationTime = now + 3600;  // a clock set back an hour since the last change
    SheetEditorModifiedStatus(sheet, kSheetReasonContent);
    EXPECT_EQ(sheet->modificationTime, now + 3600);
    sheet->modificationTime = 0;
    SheetEditorModifiedStatus(sheet, kSheetReasonContent);
    EXPECT_GE(sheet->modificationTime, now);
}

TEST_F(SheetView, EndingAnEditThatYieldsNoFrameKeepsTheEditedFrame) {
    TextFrameHandle edited = CreateTextFrame("Kept text", -1, kEncodingUTF8);
    (*edited)->position = {100, 100};
    (*edited)->style = sheet->currentTextStyle;
    VXTERecord* te = StartEditing(edited);
    ASSERT_NE(te, nullptr);
    // The edit's text cannot become a frame (its text storage is gone), though it is not empty.
    Handle text = te->text;
    te->text = nullptr;
    DestroyDrawingTE(sheet);
    EXPECT_EQ(sheet->drawingTE, nullptr);
    EXPECT_EQ(sheet->editedTextFrame, nullptr);
    ASSERT_EQ(sheet->textFrameList->count, 1);
    EXPECT_EQ(LLFirst(sheet->textFrameList), static_cast<void*>(edited));
    MemFree(text);
}

TEST_F(SheetView, EndingAnEmptiedEditDropsTheEditedFrame) {
    TextFrameHandle edited = CreateTextFrame("x", -1, kEncodingUTF8);
    (*edited)->style = sheet->currentTextStyle;
    VXTERecord* te = StartEditing(edited);
    ASSERT_NE(te, nullptr);
    VXTESetSelect(0, te->length, te);
    VXTEDelete(te);
    DestroyDrawingTE(sheet);
    EXPECT_EQ(sheet->textFrameList->count, 0);
    EXPECT_EQ(sheet->editedTextFrame, nullptr);
}

TEST_F(SheetView, DeactivatingTheWindowCommitsTheTextBeingTyped) {
    TextFrameHandle edited = CreateTextFrame("Typed", -1, kEncodingUTF8);
    (*edited)->style = sheet->currentTextStyle;
    VXTERecord* te = StartEditing(edited);
    ASSERT_NE(te, nullptr);
    sheet->selectedTool = 2007;
    VXEventRecord event = VXClearedEvent(kVXActivateEvent);
    event.u.activate.activated = 0;
    SheetViewEventHandler(sheet->window, &event);
    EXPECT_EQ(sheet->drawingTE, nullptr);
    ASSERT_EQ(sheet->textFrameList->count, 1u);
    uint32_t length = 0;
    const char16_t* text =
        GetTextFrameUnicodeText(static_cast<TextFrameHandle>(LLFirst(sheet->textFrameList)), false, &length);
    EXPECT_EQ(std::u16string(text, length), u"Typed");
}

}  // namespace
}  // namespace plexa::test
