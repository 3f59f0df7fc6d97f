// Template dialogs and alerts: modal runs answered by scripted keys, nested runs, placement, the
// standard dialogs and the error reports.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>
#include <string>
#include <utility>

#include "foundation/localized.h"
#include "foundation/memory.h"
#include "platform/testseam_platform.h"
#include "platform/control_platform.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

// What the front dialog's items 1 to 4 showed when an answer was given ("item:text").
std::vector<std::string> gSeen;
std::string gSeenTitle;  // the title of the dialog that was answered

// Once the dialog is up: notes what its items show, then types the key.
void Answer(uint16_t character) {
    VXPostDeferredAction([](void* key) {
        gSeen.clear();
        gSeenTitle.clear();
        if (VXWindowRecordTag* dialog = FrontDialog()) {
            char title[200];
            VXGetWindowTitle(dialog, title);
            gSeenTitle = title;
            for (int16_t item = 1; item <= 4; ++item) {
                if (!VXGetControl(dialog, item, nullptr)) continue;
                char text[256];
                VXGetItemText(dialog, item, text);
                gSeen.push_back(std::to_string(item) + ":" + text);
            }
        }
        QueueKey(uint16_t(reinterpret_cast<uintptr_t>(key)));
    }, reinterpret_cast<void*>(uintptr_t(character)), 0.001);
}

class Dialogs : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        if (!gGenPool) {
            EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        }
        VXInitControls();
        gSeen.clear();
        gVXErrorTextProc = nullptr;
    }
    void TearDown() override {
        CloseUIFiles();
        gVXErrorTextProc = nullptr;
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
    }
};

// Records the events a dialog sees.
int32_t RecordingHandler(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind == kVXEndModalEvent)
        WindowsTest::Log().push_back("end " + std::to_string(event->u.endModal.item));
    if (event->kind == kVXCreateEvent) WindowsTest::Log().push_back("create");
    return 0;
}

TEST_F(Dialogs, AModalDialogEndsWithTheItemItsKeyPresses) {
    const std::pair<uint16_t, int16_t> cases[] = {{13, 1}, {3, 1}, {27, 2}};
    for (auto [key, item] : cases) {
        Log().clear();
        QueueKey('x');  // not a button key: the dialog stays
        QueueKey(key);
        EXPECT_EQ(VXModalDialog(kVXColorChoiceTemplate, 0x0803, RecordingHandler, nullptr), item);
        EXPECT_EQ(Log(), (std::vector<std::string>{"create", "end " + std::to_string(item)}));
        EXPECT_TRUE(VXTopLevelWindows().empty());
        EXPECT_EQ(vx.modalResult, nullptr);
    }
}

TEST_F(Dialogs, AMissingTemplateReadsAsCancelled) {
    QueueKey(13);
    EXPECT_EQ(VXModalDialog(4711, 3, RecordingHandler, nullptr), 2);
    EXPECT_TRUE(Log().empty());
    EXPECT_EQ(TestQueuedInputCount(), 1);
    EXPECT_EQ(VXLoadDialogWindow(4711, 3, 0, 0, 0, RecordingHandler, nullptr), nullptr);
}

TEST_F(Dialogs, ADialogWithoutAnswersEndsCancelledWhenNothingIsLeft) {
    EXPECT_EQ(VXModalDialog(kVXColorChoiceTemplate, 0x0803, RecordingHandler, nullptr), 2);
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

int16_t gInnerResult = 0;
int32_t gDepthInside = 0;

int32_t OuterHandler(VXWindowRecordTag*, VXEventRecord* event) {
    if (event->kind == kVXCharEvent && event->u.character.character == 'n') {
        gInnerResult = VXModalDialog(
            kVXColorChoiceTemplate, 0x0803,
            [](VXWindowRecordTag*, VXEventRecord* e) {
                if (e->kind == kVXCreateEvent) gDepthInside = gModalWindowDepth;
                return int32_t(0);
            },
            nullptr);
        return 1;
    }
    return 0;
}

TEST_F(Dialogs, NestedModalDialogsEachKeepTheirOwnResult) {
    QueueKey('n');  // the outer dialog opens the inner one
    QueueKey(13);   // ends the inner one with 1
    QueueKey(27);   // ends the outer one with 2
    EXPECT_EQ(VXModalDialog(kVXColorChoiceTemplate, 0x0803, OuterHandler, nullptr), 2);
    EXPECT_EQ(gInnerResult, 1);
    EXPECT_EQ(gDepthInside, 1);  // counted once the inner run starts
    EXPECT_EQ(TestQueuedInputCount(), 0);
}

int32_t gOuterID = 0;

int32_t OuterClosedByInner(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXCharEvent && event->u.character.character == 'n') {
        gOuterID = window->windowID;
        gInnerResult = VXModalDialog(
            kVXColorChoiceTemplate, 0x0803,
            [](VXWindowRecordTag*, VXEventRecord* e) {
                // The inner dialog closes the outer one under it.
                if (e->kind == kVXCharEvent && e->u.character.character == 'k')
                    VXDestroyWindow(VXGetWindowFromId(gOuterID));
                return int32_t(0);
            },
            nullptr);
        return 1;
    }
    return 0;
}

TEST_F(Dialogs, AnOuterDialogClosedDuringAnInnerRunEndsAfterIt) {
    QueueKey('n');
    QueueKey('k');
    QueueKey(13);  // ends the inner run; the outer one then ends at once
    QueueKey(13);  // left over
    EXPECT_EQ(VXModalDialog(kVXColorChoiceTemplate, 0x0803, OuterClosedByInner, nullptr), 2);
    EXPECT_EQ(gInnerResult, 1);
    EXPECT_EQ(TestQueuedInputCount(), 1);
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

TEST_F(Dialogs, AnyPushButtonEndsTheDialogAndStoresItsItem) {
    int16_t stored = 0;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        EXPECT_FALSE(VXInvokePushButton(dialog, 0));
        EXPECT_FALSE(VXInvokePushButton(dialog, 2));  // static text, not a button
        EXPECT_TRUE(VXInvokePushButton(dialog, 4));
    }, nullptr, 0.01);
    EXPECT_EQ(VXModalDialog(kVXAccessibleLocationsTemplate, 0x0803, VXAnyButtonDisimissalHandler,
                            &stored),
              4);
    EXPECT_EQ(stored, 4);
}

TEST_F(Dialogs, PlacementByKind) {
    Rect area;
    VXCalcMaxWindowRect(kVXWindowDialog, 3, 0, nullptr, &area);
    const int16_t width = 200, height = int16_t(area.bottom - area.top - 90);
    const std::pair<uint16_t, int16_t> cases[] = {{1, 0}, {2, 30}, {3, 45}, {4, 60}};
    for (auto [kind, below] : cases) {
        Rect rect{0, 0, height, width};
        VXCalcDialogRect(3, kind, &rect);
        EXPECT_EQ(rect.top, area.top + below) << kind;
        EXPECT_EQ(rect.bottom - rect.top, height);
        EXPECT_EQ(rect.left, area.left + (area.right - area.left - width) / 2);
    }
    Rect tall{0, 0, int16_t(area.bottom - area.top - 5), width};
    VXCalcDialogRect(3, 3, &tall);
    EXPECT_EQ(tall.top, area.top);
    // Kind 5: centred within the front window's frame.
    Rect content = {200, 300, 500, 800}, frame, within;
    VXWindowRecordTag* front = Document("front", nullptr, content);
    VXShowWindow(front);
    VXGetWindowFrame(front, &frame);
    VXCalcMaxWindowRect(kVXWindowDialog, 3, 0, &frame, &within);
    Rect small{0, 0, 50, 100};
    VXCalcDialogRect(3, 5, &small);
    EXPECT_EQ(small.top, within.top + (within.bottom - within.top - 50) / 2);
    EXPECT_EQ(small.left, within.left + (within.right - within.left - 100) / 2);
    Rect kept{7, 8, 9, 10};
    VXCalcDialogRect(3, 0, &kept);
    EXPECT_EQ(kept.top, 7);
    EXPECT_EQ(kept.left, 8);
}

TEST_F(Dialogs, ConfirmationLabelsAndKeys) {
    struct Case {
        const char* confirm;
        uint32_t keyFlags;
        uint16_t key;
        bool confirmed;
    };
    const Case cases[] = {
        {nullptr, 0, 13, true},
        {nullptr, 0, 3, true},
        {"Merge", 0, 27, false},
        {"Merge", kVXConfirmEscapeConfirms, 27, true},
        {nullptr, kVXConfirmEscapeToDefault, 27, false},
    };
    for (const Case& c : cases) {
        Answer(c.key);
        EXPECT_EQ(VXAskConfirm("Rename anyway?", c.confirm, "", c.keyFlags), c.confirmed) << c.key;
        EXPECT_EQ(gSeen,
                  (std::vector<std::string>{std::string("1:") + (c.confirm ? c.confirm : "Confirm"),
                                            "2:Cancel", "3:Rename anyway?"}));
    }
}

TEST_F(Dialogs, ColourChoiceReplacesItemThreeByAWell) {
    uint32_t color = 0x123456;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        EXPECT_EQ(VXGetControlType(dialog, 3), kVXColorWell);
        char title[200];
        VXGetWindowTitle(dialog, title);
        EXPECT_STREQ(title, "Customize Color");
        EXPECT_EQ(VXGetColorWellColor(dialog, 3), 0x123456u);
        VXControlRecordTag* well = VXGetControl(dialog, 3, nullptr);
        PlatformControlTestClick(well->platform, 4, 4);
        EXPECT_TRUE(PlatformControlColorPanelIsOpen());
        PlatformControlTestPickColor(0x00AA10);
        QueueKey(13);
    }, nullptr, 0.001);
    EXPECT_TRUE(VXChooseColorDialog("Customize Color", &color));
    EXPECT_EQ(color, 0x00AA10u);
    EXPECT_FALSE(PlatformControlColorPanelIsOpen());
    QueueKey(27);
    EXPECT_FALSE(VXChooseColorDialog(nullptr, &color));
}

TEST_F(Dialogs, StaticMessageIsOneWindowUntilAnEmptyText) {
    VXStaticMessage(2, ".");
    EXPECT_EQ(VXGetStaticMessageWindow(), nullptr);
    VXStaticMessage(2, "Reading…");
    VXWindowRecordTag* window = VXGetStaticMessageWindow();
    ASSERT_TRUE(window);
    VXStaticMessage(2, "Writing…");
    EXPECT_EQ(VXGetStaticMessageWindow(), window);
    char text[256];
    VXGetItemText(window, 1, text);
    EXPECT_STREQ(text, "Writing…");
    EXPECT_EQ(VXTopLevelWindows().size(), 1u);
    Rect item, content;
    VXGetItemPosition(window, 1, &item);
    VXGetWindowPosition(window, &content);
    EXPECT_EQ(content.bottom - content.top, item.bottom + item.top);  // margins as item 1's offsets
    VXStaticMessage(2, ".");
    VXStaticMessage(0, nullptr);
    EXPECT_EQ(VXGetStaticMessageWindow(), nullptr);
    // Lines of text make item 1, and the window with it, taller.
    VXStaticMessage(2, "one\ntwo\nthree\nfour");
    window = VXGetStaticMessageWindow();
    ASSERT_TRUE(window);
    Rect tall, tallContent;
    VXGetItemPosition(window, 1, &tall);
    VXGetWindowPosition(window, &tallContent);
    EXPECT_GT(tall.bottom - tall.top, item.bottom - item.top);
    EXPECT_EQ(tallContent.bottom - tallContent.top, tall.bottom + tall.top);
    VXStaticMessage(0, "");
    EXPECT_TRUE(VXTopLevelWindows().empty());
}

TEST_F(Dialogs, ErrorReportsShowTheMessageOrTheNumber) {
    char six[256];
    VXLoadStringEx(kVXErrorStringTable, 6, six, sizeof six);
    ASSERT_NE(six[0], 0);
    const std::pair<OSStatus, std::string> cases[] = {
        {-43, std::string("Error:  ") + six},
        {0x20002715, "Error:  #10005"},
        {-7, "Error:  #-7"},
    };
    for (const auto& [code, text] : cases) {
        Answer(13);
        VXErrorReport(code);
        ASSERT_FALSE(gSeen.empty());
        EXPECT_EQ(gSeen[0], "1:" + text);
        EXPECT_EQ(TestQueuedInputCount(), 0);
    }
    VXErrorReport(0);
    VXErrorReport(-128);
    EXPECT_TRUE(VXTopLevelWindows().empty());

    char buffer[256];
    EXPECT_EQ(VXGetErrorString(0x20002715, buffer), nullptr);
    EXPECT_EQ(VXGetErrorString(-128, buffer), nullptr);
    gVXErrorTextProc = [](OSStatus code, char* out) {
        if (code != -7) return int32_t(0);
        std::strcpy(out, "seven");
        return int32_t(1);
    };
    EXPECT_STREQ(VXGetErrorString(-7, buffer), "seven");
    EXPECT_EQ(VXGetErrorString(-43, buffer), nullptr);  // the procedure's answer is taken
}

TEST_F(Dialogs, StandardAlertAnswersByButton) {
    Answer(13);
    EXPECT_EQ(VXStandardAlert("Continue?", "Details", "Go", "Stop"), kVXAlertFirstButton);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"1:Continue?", "2:Details", "3:Go", "4:Stop"}));
    Answer(27);
    EXPECT_EQ(VXStandardAlert("Continue?", "", "Go", "Stop"), kVXAlertSecondButton);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"1:Continue?", "3:Go", "4:Stop"}));
    Answer(27);  // one button: Escape presses it
    EXPECT_EQ(VXStandardAlert("Done", nullptr, nullptr, nullptr), kVXAlertFirstButton);
    EXPECT_EQ(gSeen, (std::vector<std::string>{"1:Done", "3:OK"}));
}

int32_t LogsDrawing(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXUpdateEvent)
        WindowsTest::Log().push_back("drawn " + WindowsTest::Name(window) + (FrontDialog() ? " under an alert" : ""));
    return 0;
}

// A message over updated windows comes up once a window waiting for its drawing is drawn, not
// with the window drawn under it.
TEST_F(Dialogs, AMessageOverUpdatedWindowsComesAfterTheirDrawing) {
    VXWindowRecordTag* window = Document("sheet", LogsDrawing);
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    VXUpdateWindow(window);
    Log().clear();
    VXInvalRect(window, nullptr);
    VXPostDeferredAction([](void*) {
        WindowsTest::Log().push_back("alert");
        QueueKey(13);
    }, nullptr, 0.001);
    VXDisplayMessageOverUpdatedWindows("Symbols updated.");
    ASSERT_FALSE(Log().empty());
    EXPECT_EQ(Log().front(), "drawn sheet");
    EXPECT_NE(std::find(Log().begin(), Log().end(), "alert"), Log().end());
}

// A desktop lists windows by their titles: an alert, whose template has none, carries the
// application's name.
TEST_F(Dialogs, AlertsCarryTheApplicationsName) {
    std::snprintf(vx.appDisplayName, sizeof vx.appDisplayName, "%s", "Plexa Test");
    Answer(13);
    VXDisplayMessage("Done");
    EXPECT_EQ(gSeenTitle, "Plexa Test");
    vx.appDisplayName[0] = 0;
    vx.appName[0] = 0;
    Answer(13);
    VXStandardAlert("Continue?", nullptr, "Go", "Stop");
    EXPECT_EQ(gSeenTitle, "Plexa");
}

TEST_F(Dialogs, ModelessDialogTakesEventsDuringALongOperation) {
    VXWindowRecordTag* window =
        VXLoadDialogWindow(kVXColorChoiceTemplate, 1, 0, 3, 0, RecordingHandler, nullptr);
    ASSERT_TRUE(window);
    VXShowWindow(window);
    VXProcessPendingModalEvents();
    EXPECT_EQ(gModalSessionWindow, window);
    VXKillModalSession(window);
    EXPECT_EQ(gModalSession, 0);
    VXDestroyWindow(window);
    VXProcessPendingModalEvents();
    EXPECT_EQ(gModalSession, 0);
    EXPECT_EQ(VXRunModalWindow(nullptr), 2);
}

}  // namespace
}  // namespace plexa::test
