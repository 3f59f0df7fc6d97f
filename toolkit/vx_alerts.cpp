// Alerts and error reports.
#include "toolkit/vx_alerts.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/statustext.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXErrorTextProc gVXErrorTextProc = nullptr;

namespace {

struct AlertState {
    const char* message;
    const char* informative;
    const char* first;
    const char* second;
};

bool Given(const char* text) { return text && *text; }

int32_t AlertDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* state = static_cast<AlertState*>(window->refCon);
    if (!state) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            const char* texts[4] = {state->message, state->informative, state->first,
                                    state->second};
            for (int16_t item = 1; item <= 4; ++item) {
                if (Given(texts[item - 1]))
                    VXSetItemText(window, item, texts[item - 1]);
                else if (item != 3)
                    VXDestroyControl(window, item);  // the first button is always there
            }
            return 0;
        }
        case kVXCharEvent: {
            const uint16_t c = event->u.character.character;
            int16_t button = 0;
            if (c == 3 || c == 13) button = 3;
            if (c == 27) button = Given(state->second) ? 4 : 3;
            if (!button) return 0;
            VXEndDialog(window, button == 3 ? kVXAlertFirstButton : kVXAlertSecondButton);
            return 1;
        }
        case kVXControlEvent:
            if (event->u.control.item == 3 || event->u.control.item == 4) {
                VXEndDialog(VXGetTopParent(window), event->u.control.item == 3
                                                        ? kVXAlertFirstButton
                                                        : kVXAlertSecondButton);
                return 1;
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int16_t VXStandardAlert(const char* message, const char* informative, const char* firstButton,
                        const char* secondButton) {
    AlertState state{message, informative, Given(firstButton) ? firstButton : "OK", secondButton};
    // Without the alert's template the message still reaches the user's terminal.
    VXViewTemplate* view = VXLoadDialogTemplate(kVXAlertTemplate);
    if (!view) {
        std::fprintf(stderr, "%s%s%s\n", Given(message) ? message : "",
                     Given(informative) ? "\n" : "", Given(informative) ? informative : "");
        return kVXAlertSecondButton;
    }
    VXDestroyDialogTemplate(view);
    const int16_t answer = VXModalDialog(kVXAlertTemplate, 0x0803, AlertDialogHandler, &state);
    return answer == kVXAlertFirstButton ? kVXAlertFirstButton : kVXAlertSecondButton;
}

void VXDisplayMessage(const char* text) { VXStandardAlert(text, nullptr, "OK", nullptr); }

void VXDisplayMessageOverUpdatedWindows(const char* text) {
    VXWaitUpdateWindows();
    VXDisplayMessage(text);
}

char* VXGetErrorString(OSStatus code, char* buffer) {
    if (!buffer || code == 0 || code == -128) return nullptr;
    buffer[0] = 0;
    if (gVXErrorTextProc) {
        if (!gVXErrorTextProc(code, buffer)) return nullptr;
        buffer[255] = 0;
        return buffer[0] ? buffer : nullptr;
    }
    return GetStatusMessage(code, buffer, 256);
}

void VXErrorReport(OSStatus code) {
    if (code == 0 || code == -128) return;
    char text[256];
    VXDisplayMessage(StatusReportText(code, VXGetErrorString(code, text)).c_str());
}

void VXOpenErrorReport(const char* fileName, OSStatus code) {
    if (code == 0 || code == -128) return;
    char text[256];
    const std::string message =
        std::string("The document \"") + (fileName ? fileName : "") + "\" could not be opened.";
    VXStandardAlert(message.c_str(), StatusReportText(code, VXGetErrorString(code, text)).c_str(), "OK", nullptr);
}

}  // namespace plexa
