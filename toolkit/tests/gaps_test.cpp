// Where the windows, events, panels and display lists meet: captures end with their window,
// platform input becomes toolkit events as the panes allow, panel rectangles, divided children.
#include <cmath>
#include <vector>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "graphics/displaylist.h"
#include "platform/input_platform.h"
#include "platform/window_platform.h"
#include "toolkit/tests/panels_fixture.h"

namespace plexa::test {
namespace {

using Gaps = PanelsTest;

TEST_F(Gaps, ReleasingAWindowEndsItsCapture) {
    // A list of the window's own: dropped with the window (nothing leaks).
    VXWindowRecordTag* window = Scrolling();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(VXOpenDisplayList(&window->graf, nullptr, {0, 0}, 0));
    VXDestroyWindow(window);

    // A caller's stream: the capture is ended (its end record written), the stream stays.
    window = Scrolling();
    Handle handle = AllocHandle(nullptr, 0);
    ASSERT_NE(handle, nullptr);
    StreamRecord* stream = nullptr;
    ASSERT_EQ(CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream), status::kNoErr);
    ASSERT_EQ(VXCaptureDisplayListStream(&window->graf, {0, 0}, 0, stream), status::kNoErr);
    const int32_t opened = GetStreamPosition(stream);
    VXDestroyWindow(window);
    EXPECT_GT(GetStreamPosition(stream), opened);
    DisposeStream(stream);
    MemFree(handle);
}

}  // namespace
}  // namespace plexa::test
