// The drag of an item out of its window; see vx_itemdrag.h.
#include "toolkit/vx_itemdrag.h"

#include "platform/cursor_platform.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

struct DragState {
    VXItemDragClient client;
    VXItemDragTarget target;
    bool takes = false;
    int32_t overlayID = 0;  // the window whose overlay shows the feedback, 0 none
    int32_t cursor = kVXCursorForbidden;
};

void DrawFeedback(VXWindowRecordTag* window, void* data) {
    auto* state = static_cast<DragState*>(data);
    if (!state->takes || state->target.window != window) return;
    state->client.proc(kVXItemDragFeedback, &state->target, state->client.refcon);
}

// The overlay of the drag's own, if that window still has it.
VXWindowRecordTag* OverlayWindow(const DragState& state) {
    VXWindowRecordTag* window = state.overlayID ? VXGetWindowFromId(state.overlayID) : nullptr;
    return window && window->overlayProc == DrawFeedback && window->overlayData == &state ? window : nullptr;
}

void EndFeedback(DragState& state) {
    if (VXWindowRecordTag* window = OverlayWindow(state)) VXEndOverlay(window);
    state.overlayID = 0;
}

// A step: the target under the pointer now, asked whether it takes the item; the feedback moves
// to its window (or goes), and the cursor tells.
void Follow(DragState& state) {
    _LPNT screen{};
    VXLGlobalMouse(&screen, true);
    state.target = VXItemDragTargetAt(screen, PlatformLastMouse().modifiers);
    state.takes = state.target.window &&
                  state.client.proc(kVXItemDragOver, &state.target, state.client.refcon) != 0;
    // The client may have closed windows meanwhile.
    if (state.target.window && !VXGetWindowFromId(state.target.window->windowID)) {
        state.target = VXItemDragTarget{};
        state.takes = false;
    }
    VXWindowRecordTag* wanted = state.takes ? state.target.window : nullptr;
    VXWindowRecordTag* shown = OverlayWindow(state);
    if (shown != wanted) {
        EndFeedback(state);
        if (wanted) {
            VXBeginOverlayForPanes(wanted, kVXOverlayMainPane, DrawFeedback, &state);
            // A window that shows another overlay keeps it: no feedback there.
            if (wanted->overlayProc == DrawFeedback && wanted->overlayData == &state)
                state.overlayID = wanted->windowID;
        }
    } else if (wanted) {
        VXUpdateOverlay(wanted);
    }
    const int32_t cursor = state.takes ? kVXCursorDragCopy : kVXCursorForbidden;
    if (cursor != state.cursor) {
        VXPopCursor();
        VXPushCursor(cursor);
        state.cursor = cursor;
    }
}

}  // namespace

VXItemDragTarget VXItemDragTargetAt(const _LPNT& screenPoint, uint32_t modifiers) {
    VXItemDragTarget target;
    target.screenPoint = screenPoint;
    target.modifiers = modifiers;
    VXMouseContainer container;
    if (!VXGetContainerFromPoint(&container, &screenPoint, true)) return target;
    target.topWindow = container.window;
    if (!container.panel || !container.inContent || !container.panel->window) return target;
    target.window = container.panel->window;
    target.pane = TranslateMousePt(target.window, &container.point, &target.padPoint);
    return target;
}

bool VXTrackItemDrag(VXWindowRecordTag* source, int32_t mode, const VXItemDragClient& client) {
    if (!client.proc) return false;
    const int32_t sourceID = source ? source->windowID : 0;
    DragState state;
    state.client = client;
    VXPushCursor(state.cursor);
    Follow(state);
    int32_t result = kVXTrackMouseUp;
    for (;;) {
        VXWindowRecordTag* window = sourceID ? VXGetWindowFromId(sourceID) : nullptr;
        if (sourceID && !window) {
            result = kVXTrackEscape;  // the source went: nothing is dropped
            break;
        }
        result = RunMouseTrackingLoop(window, mode, 0, nullptr, nullptr, nullptr, -1);
        if (sourceID && !VXGetWindowFromId(sourceID)) result = kVXTrackEscape;
        if (result == kVXTrackMouseUp || result == kVXTrackEscape) break;
        if (result == kVXTrackDragged || result == kVXTrackMoved || result == kVXTrackModifiers)
            Follow(state);
    }
    // The release point decides.
    if (result == kVXTrackMouseUp) Follow(state);
    const bool drop = result == kVXTrackMouseUp && state.takes;
    EndFeedback(state);
    VXPopCursor();
    if (drop) client.proc(kVXItemDragDrop, &state.target, client.refcon);
    client.proc(kVXItemDragEnd, &state.target, client.refcon);
    if (VXWindowRecordTag* window = sourceID ? VXGetWindowFromId(sourceID) : nullptr)
        VXInvalWindowCursor(window);
    return drop;
}

}  // namespace plexa
