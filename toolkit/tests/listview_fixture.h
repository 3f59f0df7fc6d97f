// A shown dialog with a child window made a list view of int32_t records, a hook that logs its
// messages and answers through a replaceable procedure, and scripted mouse and key input.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "graphics/grafprocs.h"
#include "graphics/textstyle.h"
#include "platform/input_platform.h"
#include "platform/testseam_platform.h"
#include "toolkit/tests/panels_fixture.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_listview.h"

namespace plexa::test {

class ListViewTest : public PanelsTest {
protected:
    void SetUp() override {
        PanelsTest::SetUp();
        VXInitStyles();  // the text styles, as at launch
        Answer() = nullptr;
        Messages().clear();
        Actions().clear();
        Rect content = {100, 100, 400, 500};
        top = VXCreateWindow(kVXWindowDialog, 0, kVXFlagClosable, 1, 0, 0, &content, "Lists", 0,
                             nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        VXShowWindow(top);
        VXSelectWindow(top);
    }

public:
    // A child list of `rows` visible rows of 16 units, with a vertical bar.
    VXWindowRecordTag* MakeList(uint32_t features, int32_t rows = 10, int32_t items = 0) {
        const Rect rect = {20, 20, int16_t(20 + rows * 16), 236};
        list = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, top, &rect, nullptr, Next);
        if (!list) return nullptr;
        VXShowWindow(list);
        EXPECT_EQ(VXInstallListView(list, nullptr, 16, sizeof(int32_t), features, Hook), 16);
        for (int32_t i = 0; i < items; ++i) VXInsertListViewItemData(list, -1, &i, 1);
        Messages().clear();
        return list;
    }
    std::vector<int32_t> Values() const {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < VXCountListViewItems(list); ++i) {
            int32_t v = -1;
            VXGetListViewItemData(list, i, &v);
            out.push_back(v);
        }
        return out;
    }
    std::vector<int32_t> Selected() const {
        std::vector<int32_t> out;
        for (int32_t i = VXGetListViewSelection(list, 0); i >= 0;
             i = VXGetListViewSelection(list, i + 1))
            out.push_back(i);
        return out;
    }
    VXListViewRecord* Record() const { return VXGetListViewRecord(list); }

    static PlatformInputEvent Input(PlatformInputKind kind, VXWindowRecordTag* window, int32_t x,
                                    int32_t y, uint32_t modifiers = 0) {
        PlatformInputEvent event;
        event.kind = kind;
        event.windowID = window->windowID;
        event.x = x;
        event.y = y;
        event.clickCount = 1;
        event.modifiers = modifiers;
        return event;
    }
    // A click at a point of the list, dragged through the given vertical positions first.
    void Click(int32_t y, uint32_t modifiers = 0, std::vector<int32_t> dragTo = {},
               int32_t x = 30) {
        for (int32_t v : dragTo)
            TestQueueInput(Input(PlatformInputKind::kMouseDragged, list, x, v, modifiers));
        const int32_t last = dragTo.empty() ? y : dragTo.back();
        TestQueueInput(Input(PlatformInputKind::kMouseUp, list, x, last, modifiers));
        PlatformDeliverInput(Input(PlatformInputKind::kMouseDown, list, x, y, modifiers));
    }
    void Key(uint16_t character, uint32_t modifiers = 0) {
        VXSendCharacterEventToWindow(list, character, modifiers);
    }

    using AnswerProc = std::function<int32_t(int32_t message, VXListViewHookRecord* record)>;
    static AnswerProc& Answer() {
        static AnswerProc answer;
        return answer;
    }
    static std::vector<std::string>& Messages() {
        static std::vector<std::string> messages;
        return messages;
    }
    // The control actions the window's own handler received: "row" or "row+" (double click).
    static std::vector<std::string>& Actions() {
        static std::vector<std::string> actions;
        return actions;
    }
    static int32_t Hook(VXWindowRecordTag*, int32_t message, VXListViewHookRecord* record) {
        if (message != kVXListDrawItem && message != kVXListBeginDraw &&
            message != kVXListEndDraw && message != kVXListEditRect)
            Messages().push_back(std::to_string(message) + ":" + std::to_string(record->index));
        if (message == kVXListDrawItem) {
            StdDrawHiliteEditListViewItem(nullptr, record);
            if (record->item) {
                const std::string text = "Row " + std::to_string(*static_cast<int32_t*>(record->item));
                VXMoveTo(6, record->rect.bottom - 4);
                VXDrawTextWithEncoding(text.data(), int32_t(text.size()), 0x08000100);
            }
        }
        return Answer() ? Answer()(message, record) : 0;
    }
    static int32_t Next(VXWindowRecordTag*, VXEventRecord* event) {
        if (event->kind == kVXControlEvent && event->u.control.controlType == 7)
            Actions().push_back(std::to_string(event->u.control.values.listBox.first) +
                                (event->u.control.values.listBox.second ? "+" : ""));
        return 0;
    }

    VXWindowRecordTag* top = nullptr;
    VXWindowRecordTag* list = nullptr;
};

}  // namespace plexa::test
