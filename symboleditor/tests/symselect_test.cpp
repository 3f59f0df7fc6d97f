// The symbol editor's select tool: what a click hits, selecting by area, moving the selection.
#include "symboleditor/symselect.h"

#include <gtest/gtest.h>

#include "foundation/ll.h"
#include "graphics/grafprocs.h"
#include "graphics/pixels.h"
#include "model/elements.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "symboleditor/pending.h"
#include "symboleditor/symwindow.h"
#include "symboleditor/tests/symwindow_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class SymSelect : public SymWindowTest {
protected:
    SymbolEditorRecord* Editor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(NewItem(kLibItemComponent, {"Gate"}), 0);
        EXPECT_NE(editor, nullptr);
        return editor;
    }
};

TEST_F(SymSelect, AClickNearAnOutlineHitsItsElement) {
    if (!VXGetPixelsHooks().createOffScreenWindow) GTEST_SKIP() << "no off-screen windows for pixel hit tests";
    SymbolEditorRecord* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ElementRecord* box = AddRect(editor, {48, 48}, {88, 108});
    for (int16_t v : {46, 48, 51}) EXPECT_EQ(HitTestEditorElements(editor, Point{v, 78}), box) << v;
    EXPECT_EQ(HitTestEditorElements(editor, Point{68, 78}), nullptr);  // inside an unfilled box
    EXPECT_EQ(HitTestEditorElements(editor, Point{40, 78}), nullptr);
}

}  // namespace
}  // namespace plexa::test
