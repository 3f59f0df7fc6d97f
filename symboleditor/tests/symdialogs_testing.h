// The symbol editor's dialog tests: an editor without a window over a copy of a rich component
// (a gate used by four slots and a power symbol in one, two packages, hidden pins), the
// application's templates, and the toolkit's scripted dialogs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "model/tests/libitem_testing.h"
#include "platform/control_platform.h"
#include "platform/testseam_platform.h"
#include "sheeteditor/tests/dialogs_testing.h"
#include "symboleditor/tests/symeditor_testing.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

// Types into an edit field and tells the window, as typing would.
inline void TypeIntoItem(VXWindowRecordTag* window, int16_t item, const char* text) {
    VXSetItemText(window, item, text);
    VXEventRecord change = VXClearedEvent(kVXControlEvent);
    change.u.control.item = uint16_t(item);
    change.u.control.controlType = uint8_t(kVXEditText);
    DispatchEvent(window, &change);
}

class SymDialogsTest : public SymEditTest {
protected:
    void SetUp() override {
        SymEditTest::SetUp();
        VXInitWindows();
        VXInitMenus();
        VXInitControls();
        VXInstallInputSink();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
    }
    void TearDown() override {
        CloseUIFiles();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
        SymEditTest::TearDown();
        TestResetPlatform();
    }
    // An editor of the rich gate without a window, on the gate symbol's slot "A".
    static SymbolEditorRecord* GateEditor() {
        SymbolEditorRecord* editor = CreateSymbolEditor(RichItem(false), 0);
        EXPECT_NE(editor, nullptr);
        return editor;
    }
    // The suffixes of the item's sections in list order.
    static std::string Slots(LibraryItem* item) {
        std::string out;
        for (auto* s = static_cast<LibSection*>(LLFirst(item->sections)); s; s = s->next) {
            char suffix[kLibItemTextSize];
            GetLibSectionSuffix(s, item->stringBlock, suffix);
            out += std::string(out.empty() ? "" : " ") + suffix;
        }
        return out;
    }
    static void Type(VXWindowRecordTag* dialog, int16_t item, const char* text) { TypeIntoItem(dialog, item, text); }
};

}  // namespace plexa::test
