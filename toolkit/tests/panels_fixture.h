// Windows with panels: the windows fixture with the panels connected, and a document window
// whose content is 400 x 300 with both scroll bars (its content view 384 x 284).
#pragma once

#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"

namespace plexa::test {

class PanelsTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        VXInitPanels();
    }

public:
    static VXWindowRecordTag* Scrolling(VXEventProc proc = nullptr, uint32_t bars = 0x30) {
        const Rect content = {100, 100, 400, 500};
        return VXCreateWindow(kVXWindowDocument, 0, kVXFlagResizable | bars, 101, 0, 0, &content,
                              "panels", 0, nullptr, proc);
    }
};

}  // namespace plexa::test
