// What the selection and move tests share: a sheet in its window, symbols drawn from a small
// definition (one pin at the origin, a body below it), wires drawn between pins, and scripted
// drags through the window given in sheet points.
#pragma once
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/tests/wire_driver.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

class SelectionTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSheetWindows();
        ModelHooks hooks = GetModelHooks();
        hooks.releaseSheetEditorParts = ReleaseTestSheetEditorParts;
        SetModelHooks(hooks);
        sheet = sheets.New();
        ASSERT_NE(sheet, nullptr);
        driver = std::make_unique<WireDriver>(sheet);
    }
    void TearDown() override {
        driver.reset();
        sheets.DestroyAll();
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }
    // The map id of a definition: a pin from (0, 0) down to (10, 0) and a body of the size below
    // it, centred on the pin.
    int32_t Definition(int16_t width = 20, int16_t height = 30) {
        LinkListHeader* elements = CreateElementList(sheet->imageList);
        LLAppend(elements, BuildNodeElement({0, 0}, {10, 0}, 1, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(kElementRect, {10, int16_t(-width / 2)},
                                              {int16_t(10 + height), int16_t(width / 2)}, 1, 0, 0, false,
                                              false, 0, false, 0, false));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, sheet->stringBlock, false, nullptr);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        if (!data) return -1;
        const int32_t id = AddSymbolToMap(sheet->symbolMap, *data, int32_t(SizeOfHandle(data)), nullptr);
        MemFree(data);
        return id;
    }
    // A symbol placed at (h, v) with its pin 0 known to the wire driver.
    SymbolRecord* Place(int32_t mapId, int16_t h, int16_t v, uint32_t flags = 0) {
        SymbolRecord* symbol = CreateSymbol();
        EXPECT_NE(symbol, nullptr);
        symbol->mapId = mapId;
        symbol->position = {v, h};
        symbol->flags = flags;
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(sheet, symbol);
        driver->AddPin({v, h}, symbol, 0);
        return symbol;
    }
    ElementRecord* AddRect(Rect r, uint16_t flags = 0) {
        ElementRecord* e = BuildCommonElement(kElementRect, {r.top, r.left}, {r.bottom, r.right}, 1, 0, 0,
                                              false, false, 0, false, 0, false);
        e->flags |= flags;
        CalcElementBounds(e);
        LLAppend(sheet->elementList, e);
        return e;
    }

    // The window content point under a sheet point (the view unscaled and unscrolled but for an
    // offset, found from the pad points of two content points).
    _LPNT ContentOf(Point p) {
        _LPNT a{}, b{}, panel{};
        // Two points well inside the sheet pane (clear of the rulers and the tool palette).
        VXWindowPointToPanelContent(sheet->window, 300, 300, &panel);
        PanelContentPointToPanesPad(sheet->window, panel.h, panel.v, &a);
        VXWindowPointToPanelContent(sheet->window, 400, 400, &panel);
        PanelContentPointToPanesPad(sheet->window, panel.h, panel.v, &b);
        EXPECT_EQ(b.h - a.h, 100);
        EXPECT_EQ(b.v - a.v, 100);
        return _LPNT{p.v - a.v + 300, p.h - a.h + 300};
    }
    // Queues a drag from the first point through the others, released at the last; the
    // mouse-down event of the first point, as the window hands it to the select tool.
    VXEventRecord Gesture(const std::vector<Point>& points, uint32_t modifiers = 0) {
        VXWaitUpdateWindows();  // the window laid out as it is shown
        for (Point p : points) {
            const _LPNT c = ContentOf(p);
            TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, sheet->window, c.h, c.v, modifiers));
        }
        const _LPNT last = ContentOf(points.back());
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, sheet->window, last.h, last.v, modifiers));
        VXEventRecord event{};
        event.kind = kVXMouseDownEvent;
        event.u.mouse.v = points.front().v;
        event.u.mouse.h = points.front().h;
        event.u.mouse.shift = (modifiers & kPlatformModShift) != 0;
        event.u.mouse.modifiers = modifiers;
        return event;
    }
    SheetWindowList sheets;
    SheetRecord* sheet = nullptr;
    std::unique_ptr<WireDriver> driver;
};

// "(h,v)" as the dump writes points.
inline std::string At(Point p) { return "(" + std::to_string(p.h) + "," + std::to_string(p.v) + ")"; }

}  // namespace plexa::test
