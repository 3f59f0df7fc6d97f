// Layered views in a dialog: layers taken from a tab view or segmented control, switching layers
// with their controls and child windows, the focus kept when the layer does not change, and the
// release of every layer's controls with the window. Content views: the page of a page window
// and the frames of child windows, read from pictures of the windows.

#include <cstdio>
#include <string>

#include "platform/pixels_platform.h"
#include "platform/window_platform.h"
#include "tests/support/testing.h"
#include "toolkit/tests/controls_fixture.h"
#include "toolkit/vx_views.h"

namespace plexa::test {
namespace {

class LayeredViews : public ControlsTest {
public:
    static inline std::string seen;
    static int32_t UserProc(VXWindowRecordTag*, VXEventRecord* event) {
        if (event->kind == kVXCreateEvent || event->kind == kVXDestroyEvent)
            seen += std::to_string(event->kind) + " ";
        return 0;
    }
    void SetUp() override {
        ControlsTest::SetUp();
        seen.clear();
    }
    VXControlRecordTag* In(VXWindowRecordTag* layered, uint8_t type, Rect rect, int16_t item) {
        return VXCreateControl(layered, type, &rect, "x", item, 0);
    }
};

TEST_F(LayeredViews, LayersOfATabViewKeepTheirOwnControlsAndChildren) {
    ASSERT_NE(Make(kVXTabView, {10, 10, 300, 480}, "", 30), nullptr);
    VXSetTabCount(window, 30, 3);
    int refcon = 0;
    VXWindowRecordTag* layered =
        VXCreateLayeredView(window, nullptr, 0, 30, UserProc, &refcon, 77);
    ASSERT_NE(layered, nullptr);
    EXPECT_EQ(seen, "1 ");
    EXPECT_EQ(layered->refCon, &refcon);
    EXPECT_EQ(VXCountViewLayers(layered), 3);
    EXPECT_EQ(VXGetLayeredViewValue(layered), 77);
    Rect content{}, position{};
    VXGetTabControlRects(VXGetControl(window, 30, nullptr), nullptr, &content);
    VXGetWindowPosition(layered, &position);
    EXPECT_EQ(position.top, content.top);
    EXPECT_EQ(position.left, content.left);
    EXPECT_EQ(position.bottom, content.bottom);

    VXControlRecordTag* first = In(layered, kVXEditText, {10, 10, 32, 200}, 20);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(VXIsViewLayerEmpty(layered, 1));
    // Switching to the current layer changes nothing and keeps the focus item.
    ASSERT_TRUE(VXSetFocusItem(layered, 20));
    EXPECT_EQ(VXSetCurrentViewLayer(layered, 0), 0);
    EXPECT_EQ(VXGetFocusItem(layered, nullptr), 20);

    EXPECT_EQ(VXSetCurrentViewLayer(layered, 1), 0);
    EXPECT_EQ(VXGetControl(layered, 20, nullptr), nullptr);
    EXPECT_EQ(VXGetFocusItem(layered, nullptr), 0);
    EXPECT_FALSE(VXIsViewLayerEmpty(layered, 0));
    EXPECT_TRUE(VXIsViewLayerEmpty(layered, 1));
    ASSERT_NE(In(layered, kVXRadioButton, {10, 10, 30, 200}, 21), nullptr);
    const Rect childRect = {40, 10, 100, 200};
    VXWindowRecordTag* child =
        VXCreateChildWindow(0, 0, 0, layered, &childRect, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    VXShowWindow(child);
    EXPECT_FALSE(VXIsViewLayerEmpty(layered, 1));

    EXPECT_EQ(VXSetCurrentViewLayer(layered, 0), 1);
    EXPECT_EQ(VXGetControl(layered, 20, nullptr), first);
    EXPECT_TRUE(VXIsControlVisible(first));
    EXPECT_EQ(VXGetControl(layered, 21, nullptr), nullptr);
    EXPECT_FALSE(VXIsWindowVisible(child, false));

    EXPECT_EQ(VXSetCurrentViewLayer(layered, 1), 0);
    EXPECT_FALSE(VXIsControlVisible(first));
    EXPECT_TRUE(VXIsWindowVisible(child, false));
    EXPECT_NE(VXGetControl(layered, 21, nullptr), nullptr);

    EXPECT_EQ(VXSetCurrentViewLayer(layered, 3), -1);
    EXPECT_EQ(VXGetCurrentViewLayer(layered), 1);
    // A layer loaded from a view the templates do not have stays as it was.
    EXPECT_EQ(VXLoadControlsForViewLayer(layered, 2, 4242, 0, 0, 0), 0);
    EXPECT_EQ(VXGetCurrentViewLayer(layered), 1);

    // Destroying it releases the controls of every layer, not only the visible one.
    VXDestroyWindow(layered);
    EXPECT_EQ(seen, "1 3 ");
    EXPECT_EQ(window->radioSlots, 0);
}

TEST_F(LayeredViews, ASegmentedControlGivesOneLayerPerSegment) {
    ASSERT_NE(Make(kVXSegmented, {10, 10, 34, 300}, "", 31), nullptr);
    VXSetSegmentCount(window, 31, 4);
    const Rect rect = {40, 10, 200, 300};
    VXWindowRecordTag* layered = VXCreateLayeredView(window, &rect, 0, 31, nullptr, nullptr);
    ASSERT_NE(layered, nullptr);
    EXPECT_EQ(VXCountViewLayers(layered), 4);
    Rect position{};
    VXGetWindowPosition(layered, &position);
    EXPECT_EQ(position.top, 40);
    // A plain child window is not layered.
    VXWindowRecordTag* plain = VXCreateChildWindow(0, 0, 0, window, &rect, nullptr, nullptr);
    EXPECT_EQ(VXSetCurrentViewLayer(plain, 0), -1);
    EXPECT_TRUE(VXInstallLayeredViewInChildWindow(plain, 2));
    EXPECT_FALSE(VXInstallLayeredViewInChildWindow(plain, 2));
    EXPECT_EQ(VXSetCurrentViewLayer(plain, 1), 0);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

TEST_F(LayeredViews, Screenshot) {
    ASSERT_NE(Make(kVXTabView, {40, 10, 230, 400}, "", 30), nullptr);
    VXSetTabCount(window, 30, 2);
    VXSetTabName(window, 30, 0, "General");
    VXSetTabName(window, 30, 1, "Grid");
    VXWindowRecordTag* layered = VXCreateLayeredView(window, nullptr, 0, 30, nullptr, nullptr);
    ASSERT_NE(layered, nullptr);
    In(layered, kVXCheckBox, {10, 10, 30, 200}, 20);
    VXSetCurrentViewLayer(layered, 1);
    In(layered, kVXEditText, {10, 10, 32, 200}, 21);
    VXSetCurrentViewLayer(layered, 0);
    VXUpdateWindow(window);
    EXPECT_GT(WriteScreenshot(window, "layered-views-screenshot.png").size(), 24u);
}

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

using ContentViews = ControlsTest;

// The pixel at a point of a window's content in its picture (below its menu bar).
uint32_t PixelAt(const PlatformDecodedImage& image, int32_t top, int32_t x, int32_t y) {
    return image.argb[size_t(y + top) * size_t(image.width) + size_t(x)] & 0xFFFFFF;
}

TEST_F(ContentViews, APageWindowShowsTheAreaBeyondThePageGreyWithAnEdge) {
    const Rect content = {100, 100, 400, 500};
    VXWindowRecordTag* page = VXCreateWindow(
        kVXWindowDocument, 0, kVXFlagHorizontalScroller | kVXFlagVerticalScroller, 1,
        kVXStatusPage, 0, &content, "Page", 0, nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    VXShowWindow(page);
    VXSetPadSize(page, 200, 150, true);
    VXUpdateWindow(page);
    const std::string path = OutputPath("page-window-screenshot.png");
    ASSERT_TRUE(PlatformWindowGrabPNG(page->platformWindow, path));
    PlatformDecodedImage image;
    ASSERT_TRUE(PlatformDecodeImageFile(path, &image));
    ASSERT_GE(image.width, 300);
    const int32_t top = PlatformMenuBarHeight(page->platformWindow);
    EXPECT_EQ(PixelAt(image, top, 100, 75), 0xFFFFFFu);   // on the page
    EXPECT_EQ(PixelAt(image, top, 300, 200), 0x444444u);  // beyond it
    EXPECT_EQ(PixelAt(image, top, 202, 100), 0x000000u);  // the right edge line
    EXPECT_EQ(PixelAt(image, top, 100, 152), 0x000000u);  // the bottom edge line
}

TEST_F(ContentViews, ChildWindowsWithAFrameAreFramed) {
    const Rect framed = {40, 40, 100, 200}, plain = {140, 40, 200, 200};
    ASSERT_NE(VXCreateChildWindow(0, 0, 0, window, &framed, nullptr, nullptr), nullptr);
    ASSERT_NE(VXCreateChildWindow(5, 0, 0, window, &plain, nullptr, nullptr), nullptr);
    for (VXWindowRecordTag* child = VXGetFirstChild(window); child; child = VXGetNextWindow(child))
        VXShowWindow(child);
    VXUpdateWindow(window);
    const std::string path = OutputPath("child-frames-screenshot.png");
    ASSERT_TRUE(PlatformWindowGrabPNG(window->platformWindow, path));
    PlatformDecodedImage image;
    ASSERT_TRUE(PlatformDecodeImageFile(path, &image));
    const int32_t top = PlatformMenuBarHeight(window->platformWindow);
    EXPECT_NE(PixelAt(image, top, 100, 40), 0xFFFFFFu);   // the frame's top edge
    EXPECT_EQ(PixelAt(image, top, 100, 60), 0xFFFFFFu);   // inside
    EXPECT_EQ(PixelAt(image, top, 100, 140), 0xFFFFFFu);  // no frame
}

}  // namespace
}  // namespace plexa::test
