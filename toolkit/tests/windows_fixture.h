// A clean toolkit with the windows and menus connected to the platform, for the window, command
// and menu tests; every window and menu goes at the end of each test.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

// The text of a window's item (up to 255 bytes).
inline std::string DialogItemText(VXWindowRecordTag* window, int16_t item) {
    char text[256];
    VXGetItemText(window, item, text);
    return text;
}

class WindowsTest : public ToolkitTest {
protected:
    void SetUp() override {
        ToolkitTest::SetUp();
        VXInitWindows();
        VXInitMenus();
        VXInstallInputSink();
        gVXCommandHooks = VXCommandHooks{};
        Log().clear();
    }
    void TearDown() override {
        Clean();
        VXDisposeMenus();
        gVXCommandHooks = VXCommandHooks{};
        ToolkitTest::TearDown();
    }

public:
    static std::vector<std::string>& Log() {
        static std::vector<std::string> log;
        return log;
    }
    static VXWindowRecordTag* Document(const char* name, VXEventProc proc,
                                       Rect content = {100, 100, 300, 400}) {
        return VXCreateWindow(kVXWindowDocument, 0, kVXFlagResizable | kVXFlagClosable, 101, 0,
                              0, &content, name, 0, const_cast<char*>(name), proc);
    }
    static std::string Name(VXWindowRecordTag* window) {
        return window && window->refCon ? static_cast<const char*>(window->refCon) : "none";
    }
};

// The front-most visible dialog, none when no dialog is up.
inline VXWindowRecordTag* FrontDialog() {
    return VXGetNextVisibleWindow(nullptr, kVXWindowDialog, false);
}

// The numbered items of a dialog template as (item number, item type), sorted; empty when the
// template cannot be loaded.
inline std::vector<std::pair<int16_t, uint16_t>> DialogTemplateItems(uint16_t templateID) {
    std::vector<std::pair<int16_t, uint16_t>> items;
    VXViewTemplate* view = VXLoadDialogTemplate(templateID);
    if (!view) return items;
    VXControlItemTemplate item;
    for (int32_t i = 0; VXGetTemplateItem(view, i, &item); ++i)
        if (!(item.options & kUIItemContainer)) items.emplace_back(item.itemNumber, item.itemType);
    std::sort(items.begin(), items.end());
    VXDestroyDialogTemplate(view);
    return items;
}

// Queues a key press with the character, for the running loop to deliver.
inline void QueueKey(uint16_t character) {
    PlatformInputEvent event;
    event.kind = PlatformInputKind::kKeyDown;
    event.character = character;
    TestQueueInput(event);
}

}  // namespace plexa::test
