// Symbol editors in real windows of the toolkit, driven by the platform's input in-process.
#pragma once

#include <gtest/gtest.h>

#include "platform/testseam_platform.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symwindow.h"
#include "symboleditor/tests/symeditor_testing.h"
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
};

}  // namespace plexa::test
