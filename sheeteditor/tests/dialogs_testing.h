// Test helpers for the application's dialogs: a clean toolkit with the application's templates
// ("views.gui"), and scripts that act in a modal dialog once it is up (clicks on its controls,
// tabs and pop-ups through the platform's own controls) and then end it with a key.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "foundation/memory.h"
#include "platform/control_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {

// Clicks a control of the window at a point inside it.
inline void ClickItem(VXWindowRecordTag* window, int16_t item, int32_t x = 4, int32_t y = 4) {
    VXControlRecordTag* control = VXGetControl(window, item, nullptr);
    ASSERT_NE(control, nullptr) << item;
    PlatformControlTestClick(control->platform, x, y);
}

// Chooses a pop-up's entry as the user would.
inline void ChooseItem(VXWindowRecordTag* window, int16_t item, int32_t index) {
    VXControlRecordTag* control = VXGetControl(window, item, nullptr);
    ASSERT_NE(control, nullptr) << item;
    PlatformControlTestChoose(control->platform, index);
}

// Clicks along the tab bar of a tab view until the tab is the selected one.
inline void ClickTab(VXWindowRecordTag* window, int16_t item, int32_t tab) {
    VXControlRecordTag* tabs = VXGetControl(window, item, nullptr);
    ASSERT_NE(tabs, nullptr);
    Rect frame;
    VXGetControlBounds(tabs, &frame);
    for (int32_t at = 5; at < frame.right - frame.left && PlatformControlSelected(tabs->platform) != tab; at += 8)
        PlatformControlTestClick(tabs->platform, at, 8);
    ASSERT_EQ(PlatformControlSelected(tabs->platform), tab);
}

// Once the next dialog is up: runs the script on it, then types the key (13 OK, 27 Cancel).
inline void InDialog(std::function<void(VXWindowRecordTag* dialog)> script, uint16_t key) {
    static std::function<void(VXWindowRecordTag*)> gScript;
    static uint16_t gKey;
    gScript = std::move(script);
    gKey = key;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        EXPECT_NE(dialog, nullptr);
        if (dialog && gScript) gScript(dialog);
        QueueKey(gKey);
    }, nullptr, 0.001);
}

class AppDialogsTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitControls();
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
    }
    void TearDown() override {
        CloseUIFiles();
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
    }
};

}  // namespace plexa::test
