// Template dialogs: dialog windows built from a view template (toolkit/vx_templates.h), their
// placement on the screen, the modal loop that runs them until an end-modal event, the default
// and cancel buttons, and the toolkit's ready-made dialogs: the modeless static message
// (template 8000), the confirmation (8002) and the colour choice (8004).
//
// A modal run lasts from `VXRunModalWindow` until its window is destroyed; runs nest, each with
// its own result, which starts at 2 (cancel) and which the end-modal event sets.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "toolkit/vx_window.h"

namespace plexa {

// Dialog flags: the placement kind in the low byte, then the bits below.
constexpr uint16_t kVXPlaceKeep = 0, kVXPlaceTop = 1, kVXPlaceThird = 2, kVXPlaceCentre = 3,
                   kVXPlaceTwoThirds = 4, kVXPlaceOnFrontWindow = 5;
constexpr uint16_t kVXDialogPlacementMask = 0x00FF;
constexpr uint16_t kVXDialogStyle2 = 0x0100;            // VXModalDialog: window style 2, not 3
constexpr uint16_t kVXDialogOnFrontScreen = 0x0400;     // the screen of the front window
constexpr uint16_t kVXDialogOnMouseScreen = 0x0800;     // else the screen under the mouse
constexpr uint16_t kVXDialogKeepAnimation = 0x2000;

// Standard dialog templates.
constexpr uint16_t kVXStaticMessageTemplate = 8000;
constexpr uint16_t kVXConfirmTemplate = 8002;
constexpr uint16_t kVXAccessibleLocationsTemplate = 8003;
constexpr uint16_t kVXColorChoiceTemplate = 8004;

// Nested modal runs, and the modeless session of `VXProcessPendingModalEvents` (the id of its
// window, 0 when none is open).
extern int32_t gModalWindowDepth;
extern int32_t gModalSession;
extern VXWindowRecordTag* gModalSessionWindow;

// Builds a dialog window (class 1, type id 1) from a template; none when the template is missing,
// the window cannot be made, or the handler destroys it while it is created. The window is not
// shown.
VXWindowRecordTag* VXLoadDialogWindow(uint16_t templateID, uint8_t style, uint32_t creationFlags,
                                      uint16_t dialogFlags, uint32_t status, VXEventProc handler,
                                      void* userData);
// The event procedure while a dialog window is being made: accepts every event.
int32_t DialogCreationHandler(VXWindowRecordTag* window, VXEventRecord* event);
// Places a content rectangle as the dialog flags say; kind 0 leaves it as it is.
void VXCalcDialogRect(uint8_t style, uint16_t dialogFlags, Rect* rect);
// Loads and runs a dialog; the item that ended it, 2 when it could not be loaded.
int16_t VXModalDialog(uint16_t templateID, uint16_t dialogFlags, VXEventProc handler,
                      void* userData);
// Runs a dialog window (class 1, style 2 or 3) until it is destroyed and returns the modal
// result; any other window is not run and gives 2.
int16_t VXRunModalWindow(VXWindowRecordTag* window);
// Lets the front-most visible dialog take events during a long operation.
void VXProcessPendingModalEvents();
void VXKillModalSession(VXWindowRecordTag* window);

// Enter and Return give 1, Escape 2, other characters 0.
int16_t VXDefaultButtonForCharacter(uint16_t character);
// Presses a push button or icon button as a click would; true when pressed.
bool VXInvokePushButton(VXWindowRecordTag* window, int16_t item);
// A handler under which any push button ends the dialog; the item is stored as an int16_t at the
// window's user data when there is one.
int32_t VXAnyButtonDisimissalHandler(VXWindowRecordTag* window, VXEventRecord* event);

// The single modeless message window: "." brings it to the front, another text shows or changes
// it, an empty or missing text removes it.
void VXStaticMessage(uint16_t dialogFlags, const char* text);
int32_t StaticMessageDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
// The static message window, none when it is not up.
VXWindowRecordTag* VXGetStaticMessageWindow();

// Key flags of `VXAskConfirm`.
constexpr uint32_t kVXConfirmEscapeToDefault = 0x1;
constexpr uint32_t kVXConfirmEscapeConfirms = 0x2;
// True when the user confirmed. Labels default to "Confirm" and "Cancel".
bool VXAskConfirm(const char* question, const char* confirmLabel, const char* cancelLabel,
                  uint32_t keyFlags);
int32_t AskConfirmDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

// True when the user confirmed; *color (0x00RRGGBB) is then the chosen colour.
bool VXChooseColorDialog(const char* title, uint32_t* color);
int32_t ColorChoiceDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
void VXCloseColorPanel();

}  // namespace plexa
