// Template dialogs, the modal loop and the toolkit's ready-made dialogs.
//
// A modal run keeps a record on its window (a class-info extension, which the window frees with
// itself): when the window goes, the record ends the run's platform loop, or, when a run nested
// inside it is still going, marks it so that it ends as soon as the inner run is over. While a
// termination signal waits for the quit procedure, a run ends as cancelled as soon as control is
// back in it, and one that begins then ends so without being shown.
#include "toolkit/vx_dialogs.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "foundation/strings.h"
#include "foundation/types.h"
#include "graphics/colors.h"
#include "graphics/textedit.h"
#include "platform/app_platform.h"
#include "platform/control_platform.h"
#include "platform/window_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_timers.h"

namespace plexa {

int32_t gModalWindowDepth = 0;
int32_t gModalSession = 0;
VXWindowRecordTag* gModalSessionWindow = nullptr;

namespace {

constexpr uint32_t kModalRunCode = FourCC("MODL");
constexpr VXColor kDialogBackColor = 0x0C000000;  // theme brush 12
constexpr int32_t kUIFontStyle = 26;

struct ModalRun {
    int32_t windowID = 0;
    bool destroyed = false;
    bool looping = false;
};

// Ends a run's dialog as if cancelled (item 2) and destroys the window if its handler kept it.
void EndRunAsCancelled(const ModalRun& run) {
    if (VXWindowRecordTag* w = VXGetWindowFromId(run.windowID)) VXEndDialog(w, 2);
    if (VXWindowRecordTag* w = VXGetWindowFromId(run.windowID)) VXDestroyWindow(w);
}
std::vector<ModalRun*> gRuns;

struct ModalRunInfo : WindowClassInfoTag {
    ModalRun* run = nullptr;
    ~ModalRunInfo() override {
        if (!run) return;
        run->destroyed = true;
        if (run->looping && !gRuns.empty() && gRuns.back() == run) PlatformLeaveLoop(0);
    }
};

int32_t gStaticMessageID = 0;

bool AtModalPanelLevel(VXWindowRecordTag* window) {
    return window && !window->parent && window->platformWindow &&
           window->windowClass == kVXWindowDialog && (window->style == 2 || window->style == 3);
}

void SendDialogSizeEvent(VXWindowRecordTag* window) {
    int16_t height = 0, width = 0;
    VXGetClientSize(window, &height, &width);
    VXEventRecord event = VXClearedEvent(kVXSizeEvent);
    event.u.size.height = height;
    event.u.size.width = width;
    DispatchEvent(window, &event);
}

void SetItemText(VXWindowRecordTag* window, int16_t item, const char* text) {
    VXSetItemText(window, item, text ? text : "");
}

}  // namespace

int32_t DialogCreationHandler(VXWindowRecordTag*, VXEventRecord*) { return 1; }

void VXCalcDialogRect(uint8_t style, uint16_t dialogFlags, Rect* rect) {
    uint16_t kind = dialogFlags & kVXDialogPlacementMask;
    if (!rect || kind == kVXPlaceKeep) return;
    VXWindowRecordTag* front = nullptr;
    if ((dialogFlags & kVXDialogOnFrontScreen) || kind == kVXPlaceOnFrontWindow)
        front = VXGetNextVisibleWindow(nullptr, 7, false);
    // The platform does not report the mouse outside windows: the screen under the mouse is
    // taken to be the main screen, the same as no reference.
    Rect reference{};
    const bool haveReference = front != nullptr;
    if (front) VXGetWindowFrame(VXGetTopParent(front), &reference);
    Rect within{};
    const Rect* limit = nullptr;
    if (haveReference && kind == kVXPlaceOnFrontWindow) {
        within = reference;
        limit = &within;
    } else if (haveReference && VXGetScreenBoundsForRect(&reference, &within)) {
        limit = &within;
    }
    Rect area{};
    VXCalcMaxWindowRect(kVXWindowDialog, style, 0, limit, &area);
    const int32_t height = rect->bottom - rect->top, width = rect->right - rect->left;
    const int32_t free = (area.bottom - area.top) - height;
    const int32_t third = free / 3;
    if (free < 6) kind = kVXPlaceTop;
    int32_t top = area.top, bottom = area.bottom;
    if (kind == kVXPlaceTop) bottom = top + height;
    if (kind == kVXPlaceThird) bottom -= third;
    if (kind == kVXPlaceTwoThirds) top += third;
    const int32_t newTop = top + ((bottom - top) - height) / 2;
    const int32_t newLeft = area.left + ((area.right - area.left) - width) / 2;
    rect->top = int16_t(newTop);
    rect->left = int16_t(newLeft);
    rect->bottom = int16_t(newTop + height);
    rect->right = int16_t(newLeft + width);
}

VXWindowRecordTag* VXLoadDialogWindow(uint16_t templateID, uint8_t style, uint32_t creationFlags,
                                      uint16_t dialogFlags, uint32_t status, VXEventProc handler,
                                      void* userData) {
    VXViewTemplate* view = VXLoadDialogTemplate(templateID);
    if (!view) return nullptr;
    Rect rect = view->containerRect;
    VXCalcDialogRect(style, dialogFlags, &rect);
    char title[256];
    VXGetTemplateString(view, view->title, title, sizeof title);
    // A titled dialog without a title of its own (an alert) carries the application's name, so
    // the window list of the desktop says whose it is.
    if (!title[0] && style != 2) std::snprintf(title, sizeof title, "%s", VXGetAppDisplayName());
    VXWindowRecordTag* window = VXCreateWindow(kVXWindowDialog, style, creationFlags, 1, status, 0,
                                               &rect, title, templateID, userData,
                                               DialogCreationHandler);
    if (!window) {
        VXDestroyDialogTemplate(view);
        return nullptr;
    }
    const int32_t id = window->windowID;
    // The platform has no window animation to switch off (flag 0x2000 changes nothing here).
    VXWindowRecordTag* previous = VXSetWindow(window);
    QZSetColor(window->graf.port, kDialogBackColor, true);
    if (previous && VXGetWindowFromId(previous->windowID) == previous) VXSetWindow(previous);
    const bool small = (view->templateFlags & kVXTemplateSmallSize) != 0;
    VXSetDefaultControlSize(window, small);
    const int16_t focus = CreateControlsFromUITemplate(window, view, 0, 0);
    VXDestroyDialogTemplate(view);
    // Return and Escape reach items 1 and 2 through the default handling of characters
    // (VXDefaultButtonForCharacter), which stands for their key equivalents.
    VXSetWindowEventHandler(window, handler);
    VXSetWindowIdleInterval(window, kVXCaretInterval, 0);
    if (!SendCreateEvent(window, uint16_t(focus), false)) return nullptr;
    window = VXGetWindowFromId(id);
    if (!window) return nullptr;
    SendDialogSizeEvent(window);
    return VXGetWindowFromId(id);
}

int16_t VXModalDialog(uint16_t templateID, uint16_t dialogFlags, VXEventProc handler,
                      void* userData) {
    const uint8_t style = (dialogFlags & kVXDialogStyle2) ? 2 : 3;
    VXWindowRecordTag* window =
        VXLoadDialogWindow(templateID, style, 0, dialogFlags, 0, handler, userData);
    if (!window) return 2;
    return VXRunModalWindow(window);
}

int16_t VXRunModalWindow(VXWindowRecordTag* window) {
    int16_t* saved = vx.modalResult;
    int16_t result = 2;
    vx.modalResult = &result;
    if (AtModalPanelLevel(window)) {
        ModalRun run;
        run.windowID = window->windowID;
        auto* info = new (std::nothrow) ModalRunInfo;
        if (info) {
            info->run = &run;
            VXSetWindowClassInfo(window, info, kModalRunCode);
            gRuns.push_back(&run);
            window->status() |= kVXStatusModal;
            ++gModalWindowDepth;
            // The dialog takes the input of the window it belongs to while it runs.
            PlatformWindowSetModal(window->platformWindow, true);
            if (!VXTerminationSignalPending()) {
                VXShowWindow(window);
                VXSelectWindow(window);
            }
            while (!run.destroyed) {
                if (VXTerminationSignalPending()) {
                    EndRunAsCancelled(run);
                    break;
                }
                run.looping = true;
                const int code = PlatformRunLoop(kPlatformModeModalPanel);
                run.looping = false;
                if (run.destroyed) break;
                if (code == kPlatformLoopStalled) {
                    // Nothing is left that could end the run (a test without answers): it ends
                    // as cancelled.
                    EndRunAsCancelled(run);
                    break;
                }
            }
            gRuns.pop_back();
            if (VXWindowRecordTag* w = VXGetWindowFromId(run.windowID)) {
                w->status() &= ~kVXStatusModal;
                PlatformWindowSetModal(w->platformWindow, false);
                if (auto* kept = static_cast<ModalRunInfo*>(VXGetWindowClassInfo(w, kModalRunCode)))
                    kept->run = nullptr;
                VXDestroyWindowClassInfo(w, kModalRunCode);
            }
            --gModalWindowDepth;
            (void)VXPostShellRequestAction(0, nullptr, 0, 0);  // a wake-up only
            // An outer run whose window went while this one ran ends now.
            if (!gRuns.empty() && gRuns.back()->destroyed && gRuns.back()->looping)
                PlatformLeaveLoop(0);
        }
    }
    vx.modalResult = saved;
    return result;
}

void VXKillModalSession(VXWindowRecordTag* window) {
    if (!window || window != gModalSessionWindow) return;
    gModalSession = 0;
    gModalSessionWindow = nullptr;
}

void VXProcessPendingModalEvents() {
    VXWindowRecordTag* front = VXGetNextVisibleWindow(nullptr, kVXWindowDialog, false);
    if (gModalSession && (VXGetWindowFromId(gModalSession) != gModalSessionWindow ||
                          gModalSessionWindow != front)) {
        gModalSession = 0;
        gModalSessionWindow = nullptr;
    }
    if (front && !gModalSession) {
        gModalSession = front->windowID;
        gModalSessionWindow = front;
    }
    if (!gModalSession) return;
    // One pass of the modal-panel loop.
    PlatformRunLoop(kPlatformModeModalPanel, PlatformNowMicros());
    if (!VXGetWindowFromId(gModalSession)) {
        gModalSession = 0;
        gModalSessionWindow = nullptr;
    }
}

int16_t VXDefaultButtonForCharacter(uint16_t character) {
    if (character == 3 || character == 13) return 1;
    if (character == 27) return 2;
    return 0;
}

bool VXInvokePushButton(VXWindowRecordTag* window, int16_t item) {
    if (!window || item == 0) return false;
    const uint8_t type = VXGetControlType(window, item);
    if (type != kVXPushButton && type != kVXIconButton) return false;
    const int32_t id = window->windowID;
    VXSimulateButtonClick(window, item);
    window = VXGetWindowFromId(id);
    if (!window) return true;
    if (VXControlRecordTag* control = VXGetControl(window, item, nullptr))
        SendControlEvent(control, 0, 0, 0);
    return true;
}

int32_t VXAnyButtonDisimissalHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXControlEvent && event->u.control.controlType == kVXPushButton) {
        const int16_t item = int16_t(event->u.control.item);
        if (vx.modalResult) *vx.modalResult = item;
        VXEndDialog(VXGetTopParent(window), item);
        return 1;
    }
    if (event->kind == kVXEndModalEvent && window->refCon) {
        const int16_t item = event->u.endModal.item;
        std::memcpy(window->refCon, &item, sizeof item);
    }
    return 0;
}

// ---- Static message ----

VXWindowRecordTag* VXGetStaticMessageWindow() { return VXGetWindowFromId(gStaticMessageID); }

int32_t StaticMessageDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind != kVXCreateEvent) return 0;
    const char* text = static_cast<const char*>(window->refCon);
    window->refCon = nullptr;  // the text belongs to the caller
    if (!text) text = "";
    Rect item{};
    if (VXGetControl(window, 1, nullptr)) {
        VXGetItemPosition(window, 1, &item);
        if (std::strchr(text, '\r') || std::strchr(text, '\n')) {
            LRect box{item.top, item.left, item.bottom, item.right};
            int32_t widestStart = 0, widestLength = 0, lines = 0;
            if (VXTECalcBoxWithStyle(text, int32_t(std::strlen(text)), kEncodingUTF8, kUIFontStyle,
                                     0, &box, &widestStart, &widestLength, &lines)) {
                item.bottom = int16_t(item.top + (box.bottom - box.top));
                VXSetItemPosition(window, 1, &item);
            }
        }
        Rect position;
        VXGetWindowPosition(window, &position);
        position.bottom = int16_t(position.top + item.bottom + item.top);
        position.right = int16_t(position.left + item.right + item.left);
        VXSetWindowPosition(window, &position);
    }
    SetItemText(window, 1, text);
    return 1;
}

void VXStaticMessage(uint16_t dialogFlags, const char* text) {
    VXWindowRecordTag* current = vx.currentWindow;
    const int32_t currentID = current ? current->windowID : 0;
    VXWindowRecordTag* window = VXGetStaticMessageWindow();
    if (text && std::strcmp(text, ".") == 0) {
        if (window) VXSelectWindow(window);
        VXWaitUpdateWindows();
    } else if (text && *text) {
        if (window) {
            SetItemText(window, 1, text);
        } else {
            window = VXLoadDialogWindow(kVXStaticMessageTemplate, 2, 0, 0, 0,
                                        StaticMessageDialogHandler, const_cast<char*>(text));
            if (window) {
                window->refCon = nullptr;
                gStaticMessageID = window->windowID;
                Rect position;
                VXGetWindowPosition(window, &position);
                VXCalcDialogRect(2, dialogFlags, &position);
                VXSetWindowPosition(window, &position);
                VXShowWindow(window);
            }
        }
        VXWaitUpdateWindows();
    } else {
        if (window) VXDestroyWindow(window);
        gStaticMessageID = 0;
    }
    window = VXGetStaticMessageWindow();
    if (current && current != window && VXGetWindowFromId(currentID) == current)
        VXSetWindow(current);
}

// ---- Confirmation ----

namespace {

struct ConfirmState {
    const char* question;
    const char* confirm;
    const char* cancel;
    uint32_t keyFlags;
    bool confirmed;
};

struct ColorState {
    const char* title;
    uint32_t color;
    bool confirmed;
};

}  // namespace

int32_t AskConfirmDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* state = static_cast<ConfirmState*>(window->refCon);
    if (!state) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            window->status() |= kVXStatusNoButtonKeys;
            SetItemText(window, 3, state->question);
            SetItemText(window, 1, state->confirm && *state->confirm ? state->confirm : "Confirm");
            SetItemText(window, 2, state->cancel && *state->cancel ? state->cancel : "Cancel");
            return 0;
        case kVXCharEvent: {
            const uint16_t c = event->u.character.character;
            if (c == 3 || c == 13) {
                VXInvokePushButton(window, 1);
                return 1;
            }
            if (c == 27) {
                if (state->keyFlags & kVXConfirmEscapeToDefault) return 0;
                VXInvokePushButton(window, (state->keyFlags & kVXConfirmEscapeConfirms) ? 1 : 2);
                return 1;
            }
            return 0;
        }
        case kVXEndModalEvent:
            state->confirmed = event->u.endModal.item == 1;
            return 0;
        default:
            return 0;
    }
}

bool VXAskConfirm(const char* question, const char* confirmLabel, const char* cancelLabel,
                  uint32_t keyFlags) {
    ConfirmState state{question, confirmLabel, cancelLabel, keyFlags, false};
    VXModalDialog(kVXConfirmTemplate, 0x0902, AskConfirmDialogHandler, &state);
    return state.confirmed;
}

// ---- Colour choice ----

int32_t ColorChoiceDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* state = static_cast<ColorState*>(window->refCon);
    if (!state) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            if (state->title && *state->title) VXSetWindowTitle(window, state->title);
            if (VXGetControl(window, 3, nullptr)) {
                Rect rect{};
                VXGetItemPosition(window, 3, &rect);
                VXDestroyControl(window, 3);
                // The platform opens its shared colour panel for a well when the well is clicked;
                // it cannot be opened for the well beforehand.
                VXCreateControl(window, kVXColorWell, &rect, "", 3, 0);
                VXSetColorWellColor(window, 3, state->color);
            }
            return 0;
        }
        case kVXEndModalEvent:
            state->confirmed = event->u.endModal.item == 1;
            if (state->confirmed) state->color = VXGetColorWellColor(window, 3) & 0xFFFFFF;
            VXCloseColorPanel();
            return 0;
        default:
            return 0;
    }
}

bool VXChooseColorDialog(const char* title, uint32_t* color) {
    ColorState state{title, color ? *color : 0, false};
    VXModalDialog(kVXColorChoiceTemplate, 0x0802, ColorChoiceDialogHandler, &state);
    if (state.confirmed && color) *color = state.color;
    return state.confirmed;
}

void VXCloseColorPanel() {
    if (PlatformControlColorPanelIsOpen()) PlatformControlCloseColorPanel();
}

}  // namespace plexa
