// A sheet in a real sheet window for the wire and buss drag tests: sheet points mapped to the
// window's points, scripted drags through the platform's input, the wires of a sheet as text, and
// a connectivity summary (each signal's pins and whether its wires still hang together).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "model/busses.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/wire_driver.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/tests/sheet_windows_testing.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/wiredrag.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

// A tool whose clicks in the sheet pane do nothing.
constexpr uint16_t kInertTool = 8;

class WireDragTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        InitSheetWindows();
        // A sheet going takes with it what the editor made for it (handles, split markers, undo),
        // as the program's composition has it.
        ModelHooks hooks = GetModelHooks();
        hooks.releaseSheetEditorParts = [](SheetRecord* s) {
            ClearSheetModifiers(s);
            ReleaseWireSplitState(s);
            ReleaseSheetUndo(s);
        };
        SetModelHooks(hooks);
        NewSheet();
        ASSERT_NE(sheet, nullptr);
        // Where the sheet's pad lies in the window: a click that the tracking reads back.
        const int32_t x = 300, y = 300;
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, sheet->window, x, y));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, sheet->window, x, y));
        _LPNT pad{};
        int16_t pane = 0;
        (void)VXTrackMouseState(sheet->window, kVXTrackLeft, 0, nullptr, nullptr, &pad, &pane, -1);  // only the point is wanted
        dx = pad.h - x;
        dy = pad.v - y;
    }
    void TearDown() override {
        CleanupSplitWireList(sheet);
        driver.reset();
        sheets.DestroyAll();
        SetModelHooks(ModelHooks{});
        WindowsTest::TearDown();
    }

    // A fresh sheet (the one before goes) on a grid of 10 with snapping, with the test symbol.
    void NewSheet() {
        sheets.DestroyAll();
        sheet = sheets.New();
        if (!sheet) return;
        sheet->view.gridSpacing = 10;
        sheet->view.snap = 1;
        // The tests run each drag themselves: the window's own click handling is given a tool
        // whose clicks do nothing, so that it does not take the scripted input first.
        sheet->selectedTool = kInertTool;
        driver = std::make_unique<WireDriver>(sheet);
        symbol = driver->AddSymbol(7);
        pinPoints.clear();
        nextNode = 1;
    }

    // A pin of the test symbol at the point.
    void Pin(Point at) {
        driver->AddPin(at, symbol, nextNode);
        pinPoints[nextNode++] = at;
    }

    PlatformInputEvent Input(PlatformInputKind kind, Point at, uint32_t modifiers = 0) {
        return MouseInput(kind, sheet->window, at.h - dx, at.v - dy, modifiers);
    }
    // A mouse-down at `from`, drags through the points, release at the last one; the event that
    // the click handling receives.
    VXEventRecord Drag(Point from, const std::vector<Point>& through, uint32_t modifiers = 0) {
        for (Point p : through) TestQueueInput(Input(PlatformInputKind::kMouseDragged, p, modifiers));
        TestQueueInput(Input(PlatformInputKind::kMouseUp, through.empty() ? from : through.back(), modifiers));
        PlatformDeliverInput(Input(PlatformInputKind::kMouseDown, from, modifiers));
        VXEventRecord event;
        SetupMouseEvent(from.h, from.v, 0, modifiers, &event);
        return event;
    }

    // A click that tracks nothing: the button goes down and up at once.
    VXEventRecord Click(Point at, uint32_t modifiers = 0) {
        PlatformDeliverInput(Input(PlatformInputKind::kMouseDown, at, modifiers));
        PlatformDeliverInput(Input(PlatformInputKind::kMouseUp, at, modifiers));
        VXEventRecord event;
        SetupMouseEvent(at.h, at.v, 0, modifiers, &event);
        return event;
    }

    // The wires of every signal and buss, one line per wire: "S0: (h,v) (h,v) ... [ends]".
    std::string Wires() const {
        std::string out;
        auto list = [&](const char* tag, int32_t n, WireList wires) {
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
                out += tag + std::to_string(n) + ":";
                for (int32_t i = 0; i < (*w)->cornerCount; ++i) {
                    const Point c = WireCorners(w)[i];
                    out += " (" + std::to_string(c.h) + "," + std::to_string(c.v) + ")";
                }
                out += "\n";
            }
        };
        int32_t n = 0;
        for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
            list("S", n++, (*static_cast<SignalHandle>(s))->wires);
        n = 0;
        for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b))
            list("B", n++, (*static_cast<BussHandle>(b))->wires);
        return out;
    }

    // Per signal: its pins by node, sorted, each with "@" when a wire end sits on the pin's point,
    // and "split" when its wires do not all hang together.
    std::string Netlist() const {
        std::vector<std::string> nets;
        for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s)) {
            auto signal = static_cast<SignalHandle>(s);
            std::vector<std::string> pins;
            WireList wires = (*signal)->wires;
            for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) {
                for (int32_t end = 0; end < 2; ++end) {
                    uint16_t node = 0;
                    SymbolRecord* at = GetWireTerminalPin(w, signal, end, sheet->symbolList, &node);
                    if (!at) continue;
                    Point c{};
                    (void)GetWireCorner(w, end ? -1 : 0, &c);  // the corner exists
                    const auto found = pinPoints.find(node);
                    const bool on = found != pinPoints.end() && found->second.h == c.h &&
                                    found->second.v == c.v;
                    pins.push_back("p" + std::to_string(node) + (on ? "@" : "?"));
                }
            }
            std::sort(pins.begin(), pins.end());
            std::string net;
            for (const std::string& p : pins) net += p + " ";
            if (IsWireListFragmented(wires, nullptr)) net += "split";
            nets.push_back(net);
        }
        std::sort(nets.begin(), nets.end());
        std::string out;
        for (const std::string& n : nets) out += n + "\n";
        return out;
    }

    SheetWindowList sheets;
    SheetRecord* sheet = nullptr;
    std::unique_ptr<WireDriver> driver;
    SymbolRecord* symbol = nullptr;
    std::map<uint16_t, Point> pinPoints;
    uint16_t nextNode = 1;
    int32_t dx = 0, dy = 0;
};

}  // namespace plexa::test
