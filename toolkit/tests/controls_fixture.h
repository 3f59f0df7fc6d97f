// A dialog window shown and active, with the controls connected, and a log of the control
// events its handler receives ("kind:item" plus values where the kind has them).
#pragma once

#include <string>
#include <vector>

#include "platform/control_platform.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"

namespace plexa::test {

class ControlsTest : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        VXInitControls();
        handled = 0;
        Rect content = {100, 100, 420, 620};
        window = VXCreateWindow(kVXWindowDialog, 0, kVXFlagClosable, 1, 0, 0, &content, "Controls",
                                0, nullptr, Handler);
        ASSERT_NE(window, nullptr);
        VXShowWindow(window);
        VXSelectWindow(window);
    }
    void TearDown() override {
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
    }

public:
    // Kinds the handler takes (answers 1) instead of leaving them to the default handling.
    static inline uint32_t handled = 0;
    static int32_t Handler(VXWindowRecordTag*, VXEventRecord* event) {
        std::string entry = std::to_string(event->kind) + ":";
        switch (event->kind) {
            case kVXTrackControlEvent:
                entry += std::to_string(event->u.track.item);
                if (event->u.track.tabValue1 || event->u.track.tabValue2)
                    entry += "," + std::to_string(event->u.track.tabValue1) + "," +
                             std::to_string(event->u.track.tabValue2);
                break;
            case kVXControlEvent: {
                const auto& c = event->u.control;
                entry += std::to_string(c.item);
                if (c.controlType == kVXPopup || c.controlType == kVXTabView ||
                    c.controlType == kVXSegmented)
                    entry += "," + std::to_string(int16_t(c.values.pair.first)) + "," +
                             std::to_string(c.values.pair.second);
                if (c.controlType == kVXScroller)
                    entry += ",p" + std::to_string(c.values.scroller.part);
                break;
            }
            case kVXTrackingEndEvent: entry += std::to_string(event->u.trackingEnd.item); break;
            case kVXEditFocusEvent:
                entry += std::to_string(event->u.editFocus.item) +
                         (event->u.editFocus.gaining ? "+" : "-");
                break;
            case kVXTabOutEvent: entry += std::to_string(event->u.tabOut.item); break;
            case kVXMouseDownEvent: entry += "mouse"; break;
            case kVXEndModalEvent: entry += std::to_string(event->u.endModal.item); break;
            default: return 0;
        }
        Log().push_back(entry);
        return (handled >> event->kind) & 1;
    }
    static std::string Joined() {
        std::string all;
        for (const std::string& s : Log()) all += (all.empty() ? "" : " ") + s;
        Log().clear();
        return all;
    }
    VXControlRecordTag* Make(uint8_t type, Rect rect, const char* title, int16_t item,
                             uint32_t value = 0) {
        return VXCreateControl(window, type, &rect, title, item, value);
    }
    VXWindowRecordTag* window = nullptr;
};

}  // namespace plexa::test
