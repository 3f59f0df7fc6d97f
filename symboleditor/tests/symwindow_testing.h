// Symbol editors in real windows of the toolkit, driven by the platform's input in-process.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symwindow.h"
#include "symboleditor/tests/symeditor_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

class SymWindowTest : public SymEditTest {
protected:
    void SetUp() override {
        SymEditTest::SetUp();
        VXInitWindows();
        VXInitControls();
        VXInstallInputSink();
        SymbolEditorHooks hooks;
        AddSymbolEditorWindowHooks(hooks);
        SetSymbolEditorHooks(hooks);
    }
    void TearDown() override {
        SymEditTest::TearDown();
        TestResetPlatform();
    }
    // The window point of a point of the drawing.
    static Point WindowPoint(SymbolEditorRecord* editor, Point p) {
        VXEventRecord probe{};
        const Point origin = EditorEventPoint(editor, &probe);
        return Point{int16_t(p.v - origin.v), int16_t(p.h - origin.h)};
    }
    // A press of the left button at a point of the drawing, the mouse then dragged through the
    // points and released at the last.
    static void Press(SymbolEditorRecord* editor, Point at, const std::vector<Point>& moves = {}) {
        const Point w = WindowPoint(editor, at);
        for (Point m : moves) {
            const Point mw = WindowPoint(editor, m);
            TestQueueInput(MouseInput(PlatformInputKind::kMouseDragged, editor->window, mw.h, mw.v));
        }
        const Point last = moves.empty() ? w : WindowPoint(editor, moves.back());
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, editor->window, last.h, last.v));
        PlatformDeliverInput(MouseInput(PlatformInputKind::kMouseDown, editor->window, w.h, w.v));
    }
    // The mouse-down event of a click at a point of the drawing (the release queued).
    static VXEventRecord ClickAt(SymbolEditorRecord* editor, Point at, bool shift) {
        const Point w = WindowPoint(editor, at);
        TestQueueInput(MouseInput(PlatformInputKind::kMouseUp, editor->window, w.h, w.v));
        VXEventRecord event{};
        event.kind = kVXMouseDownEvent;
        event.u.mouse.shift = shift ? 1 : 0;
        event.u.mouse.longH = event.u.mouse.h = w.h;
        event.u.mouse.longV = event.u.mouse.v = w.v;
        return event;
    }
};

}  // namespace plexa::test
