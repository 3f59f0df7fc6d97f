// The window record as far as events, timers and dispatch need it: a window id that is never
// reused, the event procedure, the parent, the class and style, the update blocks, the idle timer
// and the dispatch counter, with creation, lookup by id, the window order, the current window and
// closing all windows. The platform window, panels and drawing port join the record with the
// windows themselves.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace plexa {

struct VXEventRecord;
struct VXWindowRecordTag;
struct sVXTimerRecord;

using VXEventProc = int32_t (*)(VXWindowRecordTag* window, VXEventRecord* event);

struct VXLongRect {
    int32_t top, left, bottom, right;
};

// A block run around a window's own drawing: phase 0 before, phase 1 after.
struct VXUpdateBlock {
    std::function<void(VXWindowRecordTag* window, void* refcon)> block;
    void* refcon = nullptr;
    VXLongRect rect{};
    uint8_t phase = 0;
};

// Window classes.
constexpr uint8_t kVXWindowDocument = 0, kVXWindowDialog = 1, kVXWindowFloating = 2,
                  kVXWindowPopup = 3, kVXWindowChild = 4, kVXWindowDividedChild = 5,
                  kVXWindowListBox = 6;

struct VXWindowRecordTag {
    uint8_t recordKind = 0;
    uint8_t windowClass = 0;
    uint8_t style = 0;
    int8_t currentPane = -1;
    VXWindowRecordTag* parent = nullptr;
    VXEventProc eventProc = nullptr;
    std::vector<VXUpdateBlock> updateBlocks;
    sVXTimerRecord* idleTimer = nullptr;
    int32_t windowID = 0;
    uint32_t status = 0;
    uint32_t creationFlags = 0;
    void* refCon = nullptr;
    int16_t typeID = 0;
    uint16_t dispatchCounter = 0;
    uint8_t created = 0;     // the create event has been delivered
    uint8_t visible = 0;
    uint8_t fullScreen = 0;
};

// Makes a window record without a platform window (the windows layer adds those); it goes in
// front of the others. A child needs a parent.
VXWindowRecordTag* VXCreateBareWindow(uint8_t windowClass, uint8_t style, VXWindowRecordTag* parent,
                                      VXEventProc eventProc, void* refcon);
// Sends the destroy event (children first), kills the idle timer and frees the record.
void VXDestroyWindow(VXWindowRecordTag* window);
// Sends a close request (kind 2).
void VXSendGoAway(VXWindowRecordTag* window);
// Sends close requests to the top-level windows front to back; stops at one that stays or when
// the pass is aborted. True when every window closed.
bool VXCloseAllWindows();
void VXAbortCloseAll();

VXWindowRecordTag* VXGetWindowFromId(int32_t id);
VXWindowRecordTag* VXGetTopParent(VXWindowRecordTag* window);
// The top-level windows, front to back.
std::vector<VXWindowRecordTag*> VXTopLevelWindows();
// Brings a top-level window to the front and makes it the key window.
void VXSelectWindow(VXWindowRecordTag* window);
// The key window, or none.
VXWindowRecordTag* VXGetKeyWindow();
VXEventProc VXSetWindowEventHandler(VXWindowRecordTag* window, VXEventProc proc);
// Makes a window current and returns the previous one.
VXWindowRecordTag* VXSetWindow(VXWindowRecordTag* window);
// Whether a window's top-level window is a dialog.
bool VXIsDialogWindow(VXWindowRecordTag* window);
// 1 while a modal loop runs or the key window is a modal dialog (dialog styles 2 and 3).
int32_t VXIsModalWindowActive();
// Ends a dialog with an item: stores it as the modal result and sends the end-modal event.
void VXEndDialog(VXWindowRecordTag* window, int16_t item);

// What the default handling asks of the controls, dialogs and panels, installed by them.
struct VXWindowDefaultHooks {
    // Gives the focus to a dialog item: a list box takes the focus, an edit text gets its whole
    // text selected.
    void (*focusItem)(VXWindowRecordTag* window, uint16_t item) = nullptr;
    void (*showWindow)(VXWindowRecordTag* window) = nullptr;
    // Activates or deactivates a dialog's controls.
    void (*activateControls)(VXWindowRecordTag* window, bool active) = nullptr;
    // Offers a character to a top-level window's default and cancel buttons.
    int32_t (*invokePushButton)(VXWindowRecordTag* window, uint16_t character) = nullptr;
    // Default scrolling of the main panel.
    int32_t (*defaultScroll)(VXWindowRecordTag* window, VXEventRecord* event) = nullptr;
    void (*selectRadioButton)(VXWindowRecordTag* window, uint16_t item) = nullptr;
    // The toolkit's own commands, after the application's.
    int32_t (*defaultCommand)(VXWindowRecordTag* window, VXEventRecord* event) = nullptr;
};
extern VXWindowDefaultHooks gVXWindowDefaultHooks;

}  // namespace plexa
