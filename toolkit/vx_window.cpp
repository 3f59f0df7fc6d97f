// Window records as the event and timer code needs them: ids, order, lookup, the current window,
// destruction and closing all windows.
#include "toolkit/vx_window.h"

#include <algorithm>

#include "platform/app_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_timers.h"

namespace plexa {

VXWindowDefaultHooks gVXWindowDefaultHooks;

namespace {

int32_t gNextWindowID = 1;                    // ids are never reused during a run
std::vector<VXWindowRecordTag*> gWindows;    // every record, front to back
int32_t gKeyWindowID = 0;

}  // namespace

VXWindowRecordTag* VXCreateBareWindow(uint8_t windowClass, uint8_t style, VXWindowRecordTag* parent,
                                      VXEventProc eventProc, void* refcon) {
    auto* window = new VXWindowRecordTag;
    window->windowClass = windowClass;
    window->style = style;
    window->parent = parent;
    window->eventProc = eventProc;
    window->refCon = refcon;
    window->windowID = gNextWindowID++;
    gWindows.insert(gWindows.begin(), window);
    return window;
}

void VXDestroyWindow(VXWindowRecordTag* window) {
    if (!window || VXGetWindowFromId(window->windowID) != window) return;
    const int32_t id = window->windowID;
    for (;;) {
        auto child = std::find_if(gWindows.begin(), gWindows.end(),
                                  [&](VXWindowRecordTag* w) { return w->parent == window; });
        if (child == gWindows.end()) break;
        VXDestroyWindow(*child);
    }
    SendDestroyEvent(window);
    if (VXGetWindowFromId(id) != window) return;  // the handler destroyed it itself
    VXKillTimer(window->idleTimer);
    window->idleTimer = nullptr;
    gWindows.erase(std::find(gWindows.begin(), gWindows.end(), window));
    if (vx.currentWindow == window) vx.currentWindow = nullptr;
    if (gKeyWindowID == id) gKeyWindowID = 0;
    delete window;
}

void VXSendGoAway(VXWindowRecordTag* window) {
    if (!window) return;
    VXEventRecord event = VXClearedEvent(kVXCloseEvent);
    DispatchEvent(window, &event);
}

bool VXCloseAllWindows() {
    vx.closeAllAborted = 0;
    for (VXWindowRecordTag* window : VXTopLevelWindows()) {
        if (vx.closeAllAborted) break;
        const int32_t id = window->windowID;
        if (!VXGetWindowFromId(id)) continue;
        VXSendGoAway(window);
        if (VXGetWindowFromId(id)) break;
    }
    bool all = VXTopLevelWindows().empty();
    vx.closeAllAborted = 0;
    return all;
}

void VXAbortCloseAll() { vx.closeAllAborted = 1; }

VXWindowRecordTag* VXGetWindowFromId(int32_t id) {
    if (id <= 0) return nullptr;
    for (VXWindowRecordTag* window : gWindows)
        if (window->windowID == id) return window;
    return nullptr;
}

VXWindowRecordTag* VXGetTopParent(VXWindowRecordTag* window) {
    while (window && window->parent) window = window->parent;
    return window;
}

std::vector<VXWindowRecordTag*> VXTopLevelWindows() {
    std::vector<VXWindowRecordTag*> result;
    for (VXWindowRecordTag* window : gWindows)
        if (!window->parent) result.push_back(window);
    return result;
}

void VXSelectWindow(VXWindowRecordTag* window) {
    window = VXGetTopParent(window);
    auto it = std::find(gWindows.begin(), gWindows.end(), window);
    if (it == gWindows.end()) return;
    std::rotate(gWindows.begin(), it, it + 1);
    gKeyWindowID = window->windowID;
}

VXWindowRecordTag* VXGetKeyWindow() { return VXGetWindowFromId(gKeyWindowID); }

VXEventProc VXSetWindowEventHandler(VXWindowRecordTag* window, VXEventProc proc) {
    if (!window) return nullptr;
    VXEventProc previous = window->eventProc;
    window->eventProc = proc;
    return previous;
}

VXWindowRecordTag* VXSetWindow(VXWindowRecordTag* window) {
    VXWindowRecordTag* previous = vx.currentWindow;
    vx.currentWindow = window;
    return previous;
}

bool VXIsDialogWindow(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = VXGetTopParent(window);
    return top && top->windowClass == kVXWindowDialog;
}

int32_t VXIsModalWindowActive() {
    if (PlatformModalDepth() > 0) return 1;
    VXWindowRecordTag* key = VXGetKeyWindow();
    return key && key->windowClass == kVXWindowDialog && (key->style == 2 || key->style == 3);
}

void VXEndDialog(VXWindowRecordTag* window, int16_t item) {
    if (!window) return;
    if (vx.modalResult) *vx.modalResult = item;
    VXEventRecord event = VXClearedEvent(kVXEndModalEvent);
    event.u.endModal.item = item;
    DispatchEvent(window, &event);
}

}  // namespace plexa
