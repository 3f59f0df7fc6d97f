// Text in windows: a text-edit record in a window driven by scripted keys and clicks (typing,
// shift-arrow selection, drag and double-click selection, the caret blinking under the test clock,
// cut and paste through the system clipboard), and a text display view over a stream (appending,
// scrolling by its scroll bar and the wheel, following the window's size, release with the window).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "graphics/textview.h"
#include "platform/clipboard_platform.h"
#include "platform/input_platform.h"
#include "platform/panel_scrollers.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/panels_fixture.h"
#include "toolkit/vx_textedit.h"
#include "toolkit/vx_textview.h"
#include "toolkit/vx_timers.h"

namespace plexa::test {
namespace {

class TextWindowTest : public PanelsTest {
protected:
    void SetUp() override {
        PanelsTest::SetUp();
        VXInitStyles();
        VXTEInit();
        VXInstallTextEditHooks();
        VXInstallTextViewHooks();
        TestSetApplicationActive(true);
    }
    void TearDown() override {
        if (te) VXTEDispose(te);
        te = nullptr;
        PanelsTest::TearDown();
        VXTESetHooks(VXTEHooks{});
        TextViewSetHooks(TextViewHooks{});
    }

public:
    static inline VXTERecord* te = nullptr;

    // The window of the edit record: keys, clicks and drawing go to the record.
    static int32_t EditHandler(VXWindowRecordTag*, VXEventRecord* event) {
        if (!te) return 0;
        switch (event->kind) {
            case kVXCharEvent:
                VXTEKey(event->u.character.character, te);
                return 1;
            case kVXMouseDownEvent:
            case kVXDoubleClickEvent: {
                const _LPNT where{event->u.mouse.longV, event->u.mouse.longH};
                VXTEClick(&where, int16_t(event->u.mouse.button), event->u.mouse.shift != 0, te);
                return 1;
            }
            case kVXUpdateEvent: {
                const VXLongRect& r = event->u.update.longRect;
                const LRect rect{r.top, r.left, r.bottom, r.right};
                VXLTEUpdate(&rect, te);
                return 1;
            }
            default:
                return 0;
        }
    }

    static void Key(VXWindowRecordTag* window, uint16_t character, uint32_t modifiers = 0) {
        PlatformInputEvent event;
        event.kind = PlatformInputKind::kKeyDown;
        event.windowID = window->windowID;
        event.character = character;
        event.modifiers = modifiers;
        PlatformDeliverInput(event);
    }
    static void Type(VXWindowRecordTag* window, const char* text) {
        for (const char* p = text; *p; ++p) Key(window, uint16_t(uint8_t(*p)));
    }
    static PlatformInputEvent Mouse(PlatformInputKind kind, VXWindowRecordTag* window, _LPNT at) {
        return MouseInput(kind, window, at.h, at.v);
    }
    // The middle of the line at a character's left edge.
    static _LPNT PointOf(int32_t index) {
        _LPNT p{};
        VXLTEGetPoint(index, &p, te);
        p.v -= te->lineHeight / 2;
        return p;
    }
    static std::string Text() {
        char buffer[256];
        VXTEGetTextAsString(te, buffer, sizeof buffer);
        return buffer;
    }
    static void Screenshot(VXWindowRecordTag* window, const char* name) {
        VXUpdateWindow(window);
        const std::string png = WriteScreenshot(window, name);
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
    }
};

TEST_F(TextWindowTest, EditRecordTypedClickedAndDragged) {
    VXWindowRecordTag* window = Document("edit", EditHandler, {100, 100, 260, 420});
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    VXSelectWindow(window);
    VXSetWindow(window);
    const LRect box{10, 10, 150, 310};
    te = VXTENewUsingStyle(&box, &box, kTEStyleCurrent);
    ASSERT_NE(te, nullptr);
    VXTEActivate(te);
    EXPECT_EQ(VXGetWindowTextEdit(window), te);

    Type(window, "Hello world");
    Key(window, kTEKeyReturn);
    Type(window, "second line");
    EXPECT_EQ(Text(), "Hello world\rsecond line");
    EXPECT_EQ(te->lineCount, 2u);

    // Shift with the arrows moves one end only.
    Key(window, kTEKeyHome);
    for (int i = 0; i < 5; ++i) Key(window, kTEKeyRight);
    TestSetKeyDown(kPlatformKeyShift, true);
    for (int i = 0; i < 6; ++i) Key(window, kTEKeyRight, kPlatformModShift);
    TestSetKeyDown(kPlatformKeyShift, false);
    EXPECT_EQ(te->selStart, 5u);
    EXPECT_EQ(te->selEnd, 11u);

    // A drag from the start of "world" to the end of the first line; the tracking follows the
    // queued drags until the button goes up.
    TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, window, PointOf(8)));
    TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, window, PointOf(11)));
    TestQueueInput(Mouse(PlatformInputKind::kMouseUp, window, PointOf(11)));
    PlatformDeliverInput(Mouse(PlatformInputKind::kMouseDown, window, PointOf(6)));
    EXPECT_EQ(TestQueuedInputCount(), 0);
    EXPECT_EQ(te->selStart, 6u);
    EXPECT_EQ(te->selEnd, 11u);

    // A second click at the same character within the double-click time selects the word.
    const _LPNT inSecond = PointOf(14);
    PlatformDeliverInput(Mouse(PlatformInputKind::kMouseDown, window, inSecond));
    EXPECT_EQ(te->selStart, te->selEnd);
    PlatformDeliverInput(Mouse(PlatformInputKind::kMouseDown, window, inSecond));
    EXPECT_EQ(te->selStart, 12u);
    EXPECT_EQ(te->selEnd, 18u);
    Screenshot(window, "textedit-screenshot.png");

    // Deactivation forgets the window's active record.
    VXTEDeactivate(te);
    EXPECT_EQ(VXGetWindowTextEdit(window), nullptr);
    VXTEActivate(te);
    EXPECT_EQ(VXGetWindowTextEdit(window), te);
}

TEST_F(TextWindowTest, DragBelowTheViewKeepsScrollingUntilRelease) {
    VXWindowRecordTag* window = Document("scroll", EditHandler, {100, 100, 300, 400});
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    VXSetWindow(window);
    const LRect box{10, 10, 70, 280};
    te = VXTENewUsingStyle(&box, &box, kTEStyleCurrent);
    ASSERT_NE(te, nullptr);
    VXTEAutoView(true, te);
    VXTEActivate(te);
    std::string text;
    for (int i = 0; i < 30; ++i) text += "row " + std::to_string(i) + "\r";
    ASSERT_TRUE(VXTESetText(text.data(), int32_t(text.size()), kEncodingUTF8, te));
    // The pointer rests below the view while the button stays down; the release comes 0.1 s
    // later (a deferred action queues it), meanwhile the record scrolls a line every tick.
    const _LPNT below{box.bottom + 20, 50};
    TestQueueInput(Mouse(PlatformInputKind::kMouseDragged, window, below));
    static PlatformInputEvent release;
    release = Mouse(PlatformInputKind::kMouseUp, window, below);
    VXPostDeferredAction([](void*) { TestQueueInput(release); }, nullptr, 0.1);
    PlatformDeliverInput(Mouse(PlatformInputKind::kMouseDown, window, PointOf(0)));
    const int32_t scrolled = -(te->destRect.top - box.top) / te->lineHeight;
    EXPECT_GE(scrolled, 3);
    EXPECT_LT(scrolled, 30);
    EXPECT_EQ(te->selStart, 0u);
    EXPECT_GT(te->selEnd, 0u);
}

TEST_F(TextWindowTest, CaretBlinksUnderTheTestClock) {
    VXWindowRecordTag* window = Document("caret", EditHandler);
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    VXSelectWindow(window);
    VXSetWindow(window);
    const LRect box{10, 10, 60, 200};
    te = VXTENewUsingStyle(&box, &box, kTEStyleCurrent);
    ASSERT_NE(te, nullptr);
    VXTEActivate(te);
    ASSERT_EQ(te->caretShown, 1);
    const int64_t interval = int64_t(VXGetCaretTime()) * 1000000 / 60;
    // Each firing of the window's caret timer turns the caret over.
    TestClockAdvance(interval + 1000);
    EXPECT_EQ(te->caretShown, 0);
    TestClockAdvance(interval);
    EXPECT_EQ(te->caretShown, 1);
    // An inactive record has no timer and shows no caret.
    VXTEDeactivate(te);
    EXPECT_EQ(te->caretShown, 0);
    TestClockAdvance(3 * interval);
    EXPECT_EQ(te->caretShown, 0);
    // The window takes its timer with it when it goes.
    VXTEActivate(te);
    VXTEDispose(te);
    te = nullptr;
    TestClockAdvance(3 * interval);
}

TEST_F(TextWindowTest, CutAndPasteThroughTheClipboard) {
    VXWindowRecordTag* window = Document("clip", EditHandler);
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    VXSetWindow(window);
    const LRect box{10, 10, 60, 280};
    te = VXTENewUsingStyle(&box, &box, kTEStyleCurrent);
    ASSERT_NE(te, nullptr);
    VXTEActivate(te);
    Type(window, "cut me\rhere");
    VXTESetSelect(0, 7, te);
    VXTECut(te);
    VXTEToScrap();
    std::u16string clip;
    ASSERT_TRUE(PlatformClipboardGetText(&clip));
    EXPECT_EQ(clip, u"cut me\n");  // a paragraph break leaves as LF
    EXPECT_EQ(Text(), "here");

    // What another program put on the clipboard comes in (and its LF becomes the break).
    ASSERT_TRUE(PlatformClipboardSetText(u"the\nend "));
    VXTEFromScrap();
    EXPECT_EQ(VXTECountScrapCharacters(), 8);
    VXTESetSelect(0, 0, te);
    VXTEPaste(te);
    EXPECT_EQ(Text(), "the\rend here");
    // An empty clipboard leaves the scrap as it was.
    ASSERT_TRUE(PlatformClipboardSetText(u""));
    VXTEFromScrap();
    EXPECT_EQ(VXTECountScrapCharacters(), 8);
}

class TextViewWindowTest : public TextWindowTest {
protected:
    void SetUp() override {
        TextWindowTest::SetUp();
        handle = AllocHandle(nullptr, 0);
        ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream),
                  status::kNoErr);
    }
    void TearDown() override {
        // The views go with their windows, before the stream.
        TextWindowTest::TearDown();
        DisposeStream(stream);
        MemFree(handle);
    }
    static int32_t Lines(VXWindowRecordTag* window, int32_t from, int32_t count, bool reveal) {
        std::string text;
        for (int32_t i = from; i < from + count; ++i)
            text += "Log line " + std::to_string(i) + (i % 7 == 3 ? "\twith a tab\r\n" : "\n");
        return AppendTextDisplayData(window, text.data(), int32_t(text.size()), reveal);
    }

    Handle handle = nullptr;
    StreamRecord* stream = nullptr;
};

TEST_F(TextViewWindowTest, AppendScrollAndResize) {
    VXWindowRecordTag* window = Scrolling(nullptr, kVXFlagVerticalScroller);
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    char dummy = 0;
    EXPECT_EQ(AppendTextDisplayData(window, &dummy, 1, false), status::kParamErr);
    InstallTextDisplayView(window, 600, 4, stream);
    TextDisplayRecord* view = VXGetTextDisplayView(window);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(window->textViewFlags & kVXTextView);
    // A second installation changes nothing.
    InstallTextDisplayView(window, 600, 4, stream);
    EXPECT_EQ(VXGetTextDisplayView(window), view);
    VXPanelRecordTag* panel = VXGetWindowPanel(window);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(view->viewHeight, int32_t(std::lround(panel->paneBounds.height)));
    EXPECT_EQ(panel->scrollers[0].enabled, 0);  // fewer lines than fit

    ASSERT_EQ(Lines(window, 0, 150, false), status::kNoErr);
    ASSERT_EQ(Lines(window, 150, 50, true), status::kNoErr);
    EXPECT_EQ(view->lineCount, 201);  // the final break leaves an empty last line
    ASSERT_GT(view->lastFirstLine, 0);
    EXPECT_EQ(view->firstLine, view->lastFirstLine);  // the end revealed
    EXPECT_EQ(panel->scrollers[0].enabled, 1);
    EXPECT_NEAR(panel->scrollers[0].value, 1.0, 1e-3);
    EXPECT_NEAR(panel->scrollers[0].knobProportion, double(view->visibleLines) / 201, 1e-3);

    // The knob dragged to the middle: the lines follow and the bar stays where it was put.
    ASSERT_NE(panel->scrollers[0].native, nullptr);
    PlatformScrollerTrigger(panel->scrollers[0].native, 5, 0.5);
    EXPECT_EQ(view->firstLine, int32_t(std::lround(0.5 * view->lastFirstLine)));
    EXPECT_NEAR(panel->scrollers[0].value, double(view->firstLine) / view->lastFirstLine, 1e-3);
    EXPECT_EQ(panel->bounds.y, 0);  // the panel itself never scrolls vertically
    const int32_t middle = view->firstLine;
    PlatformScrollerTrigger(panel->scrollers[0].native, 1, 0);
    EXPECT_EQ(view->firstLine, middle + 1);
    PlatformScrollerTrigger(panel->scrollers[0].native, 3, 0);
    EXPECT_EQ(view->firstLine, middle + view->visibleLines);

    // A wheel movement smaller than a line still moves one line.
    PlatformInputEvent wheel;
    wheel.kind = PlatformInputKind::kWheel;
    wheel.windowID = window->windowID;
    wheel.x = wheel.y = 50;
    wheel.wheelDeltaV = -1;
    const int32_t before = view->firstLine;
    PlatformDeliverInput(wheel);
    EXPECT_EQ(view->firstLine, before + 1);
    wheel.wheelDeltaV = 1;
    PlatformDeliverInput(wheel);
    EXPECT_EQ(view->firstLine, before);
    // Scrolling to a document point and a horizontal bar leave the lines where they are.
    VXScrollTo(window, 0, 500);
    VXEventRecord sideways = VXClearedEvent(kVXScrollEvent);
    sideways.u.scroll.part = 1;
    sideways.u.scroll.axis = 1;
    DispatchEvent(window, &sideways);
    EXPECT_EQ(view->firstLine, before);
    EXPECT_EQ(panel->bounds.y, 0);
    // Scrolling to a line past the end stops at the last first line.
    DoScroll(view, kTextScrollToLine, 0, 100000);
    EXPECT_EQ(view->firstLine, view->lastFirstLine);
    TextDisplayMarkLine(view, view->firstLine + 2, true);
    VXLInvalRect(window, nullptr);
    Screenshot(window, "textview-screenshot.png");

    // A taller window shows more lines; the bar follows.
    const int16_t visible = view->visibleLines;
    Rect taller;
    VXGetWindowPosition(window, &taller);
    taller.bottom += 120;
    VXSetWindowPosition(window, &taller);
    EXPECT_EQ(view->viewHeight, int32_t(std::lround(VXGetWindowPanel(window)->paneBounds.height)));
    EXPECT_GT(view->visibleLines, visible);
    EXPECT_EQ(view->visibleLines, view->viewHeight / view->lineHeight);
    EXPECT_EQ(view->lastFirstLine, 201 - view->visibleLines);
    EXPECT_EQ(view->firstLine, view->lastFirstLine);

    EXPECT_GT(VXGetTextDisplayViewTabWidth(window), 0);
    VXSetTextViewFontKind(window, 4);
    EXPECT_EQ(view->lineCount, 201);
    VXDestroyWindow(window);
}

TEST_F(TextViewWindowTest, ViewGoesWithItsWindowAndKeepsTheOwnProcedure) {
    static int calls = 0;
    calls = 0;
    VXWindowRecordTag* window = Scrolling(
        [](VXWindowRecordTag*, VXEventRecord* event) -> int32_t {
            ++calls;
            // The window's own procedure takes the size event: the view still follows.
            return event->kind == kVXSizeEvent ? 1 : 0;
        },
        kVXFlagVerticalScroller);
    ASSERT_NE(window, nullptr);
    VXShowWindow(window);
    InstallTextDisplayView(window, 400, 4, stream);
    TextDisplayRecord* view = VXGetTextDisplayView(window);
    ASSERT_NE(view, nullptr);
    ASSERT_EQ(Lines(window, 0, 100, false), status::kNoErr);
    const int32_t callsBefore = calls;
    Rect smaller;
    VXGetWindowPosition(window, &smaller);
    smaller.bottom -= 60;
    VXSetWindowPosition(window, &smaller);
    EXPECT_GT(calls, callsBefore);
    EXPECT_EQ(view->viewHeight, int32_t(std::lround(VXGetWindowPanel(window)->paneBounds.height)));
    // A stream that cannot be written reports its error and leaves the lines as they were.
    StreamRecord failing = *stream;
    failing.writeProc = [](StreamRecord*, const void*, int32_t) -> OSStatus { return status::kBusy; };
    view->stream = &failing;
    EXPECT_EQ(Lines(window, 100, 3, true), status::kBusy);
    view->stream = stream;
    EXPECT_EQ(view->lineCount, 101);
    VXDestroyWindow(window);  // frees the view (no leak under the sanitizers)
}

}  // namespace
}  // namespace plexa::test
