// What the tests of the sheet clipboard and sheet undo share: a sheet in its window with the
// editor's undo installed, placed symbols with pins at points, wires drawn between them as the
// editor draws them, and the sheet dump.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/busses.h"
#include "model/modelhooks.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/wire_driver.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetundoaction.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"

namespace plexa::test {

inline Point At(int16_t h, int16_t v) { return Point{v, h}; }

class SheetClipTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSheetWindows();
        ModelHooks hooks = GetModelHooks();
        hooks.releaseSheetEditorParts = ReleaseSheetUndo;
        hooks.collectTextOwnerChange = CollectUndoSheetTextOwner;
        hooks.invalSheetView = [](SheetRecord*, const Rect*) {};
        SetModelHooks(hooks);
        sheet = NewSheet();
        ASSERT_NE(sheet, nullptr);
    }
    void TearDown() override {
        ReleaseClipboard();
        drivers.clear();
        sheets.DestroyAll();
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }

    SheetRecord* NewSheet() {
        SheetRecord* made = sheets.New();
        if (!made) return nullptr;
        made->view.gridSpacing = 12;
        drivers.emplace_back(made, std::make_unique<WireDriver>(made));
        return made;
    }
    WireDriver& DriverOf(SheetRecord* s) {
        for (auto& [of, driver] : drivers)
            if (of == s) return *driver;
        return *drivers.front().second;
    }

    // A symbol with a designator and pins at the points (node by node), appended to the sheet.
    SymbolRecord* Part(const char* designator, Point at, const std::vector<Point>& pins, uint32_t flags = 0,
                       SheetRecord* on = nullptr) {
        SheetRecord* s = on ? on : sheet;
        SymbolRecord* symbol = CreateSymbol();
        symbol->position = at;
        symbol->flags = flags;
        symbol->mapId = -1;
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(s, symbol);
        if (designator) SetSymbolRefName(symbol, s->stringBlock, designator);
        for (size_t i = 0; i < pins.size(); ++i) DriverOf(s).AddPin(pins[i], symbol, uint16_t(i));
        return symbol;
    }
    SignalHandle Wire(const std::vector<Point>& corners, SheetRecord* on = nullptr) {
        return DriverOf(on ? on : sheet).Draw(corners);
    }
    // A buss of straight lines (each from, to) on the sheet, with the lines' flags.
    BussHandle Buss(const char* name, const std::vector<std::pair<Point, Point>>& lines, uint16_t flags = 0) {
        BussHandle buss = CreateBuss(sheet->bussList);
        SetBussName(buss, sheet->stringBlock, name);
        for (const auto& [from, to] : lines) {
            WireHandle line = CreateWire((*buss)->wires);
            EXPECT_TRUE(InsertWireCorner(line, from, -1) && InsertWireCorner(line, to, -1));
            (*line)->flags = uint16_t(kWireFlagBuss | flags);
            CalcWireBounds(line);
        }
        CalcBussBounds(buss);
        return buss;
    }
    // A signal of one wire from a row of the break-out table to another point.
    SignalHandle BreakOutWire(const char* name, int32_t row, Point from, Point to) {
        SignalHandle signal = CreateSignal(sheet->signalList);
        SetSignalName(signal, sheet->stringBlock, name);
        WireHandle wire = CreateWire((*signal)->wires);
        EXPECT_TRUE(InsertWireCorner(wire, from, -1) && InsertWireCorner(wire, to, -1));
        (*wire)->end0 = uint16_t(kWireEndBreakOut | row);
        CalcWireBounds(wire);
        CalcSignalScopeFlags(signal);
        CalcSignalBounds(signal);
        return signal;
    }

    std::string Dump(SheetRecord* s = nullptr, uint32_t sections = kDumpAll) { return DumpSheet(s ? s : sheet, sections); }
    std::string ClipDump(uint32_t sections = kDumpAll & ~kDumpSheet) {
        return CurrClip->content ? DumpSheet(CurrClip->content, sections) : std::string("no clip");
    }

    void Select(SymbolRecord* symbol) { symbol->flags |= kSymbolFlagSelected; }
    // Unselects everything, as a click on an empty place does.
    static void Unselect(SheetRecord* s) {
        for (void* i = LLFirst(s->symbolList); i; i = LLGetNext(s->symbolList, i))
            static_cast<SymbolRecord*>(i)->flags &= ~kSymbolFlagSelected;
        for (void* i = LLFirst(s->textList); i; i = LLGetNext(s->textList, i))
            static_cast<TextRecord*>(i)->flags &= uint16_t(~kTextFlagSelected);
        for (LinkListHeader* nets : {s->signalList, s->bussList})
            for (void* n = LLFirst(nets); n; n = LLGetNext(nets, n)) {
                WireList wires = static_cast<NetRecordHead**>(n)[0]->wires;
                for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
                    (*w)->flags &= uint16_t(~kWireFlagSelected);
            }
    }
    std::string UndoText() {
        char text[64];
        GetUndoMenuItemText(GetSheetUndoRecord(sheet), text);
        return text;
    }

    SheetWindowList sheets;
    std::vector<std::pair<SheetRecord*, std::unique_ptr<WireDriver>>> drivers;
    SheetRecord* sheet = nullptr;
};

}  // namespace plexa::test
