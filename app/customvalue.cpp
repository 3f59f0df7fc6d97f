// The custom value dialog (see customvalue.h).
#include "app/customvalue.h"

#include <cctype>
#include <string>

#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int16_t kPromptItem = 3, kValueItem = 4, kUnitsItem = 5, kMessageItem = 6;

struct CustomValueState {
    const char* title;
    const char* prompt;
    const char* units;
    int32_t maximum;
    int32_t value;
    bool confirmed = false;
};

// OK only for a number in range; the message line says why not.
void CheckValue(VXWindowRecordTag* dialog, const CustomValueState* s) {
    char text[256] = "";
    VXGetItemText(dialog, kValueItem, text);
    const bool ok = ParseCustomValue(text, s->maximum) >= 0;
    VXSetItemEnabled(dialog, 1, ok);
    const std::string message = "Enter a whole number from 1 to " + std::to_string(s->maximum) + ".";
    VXSetItemText(dialog, kMessageItem, ok ? "" : message.c_str());
}

int32_t CustomValueHandler(VXWindowRecordTag* dialog, VXEventRecord* event) {
    auto* s = static_cast<CustomValueState*>(dialog->refCon);
    if (!s) return 0;
    switch (event->kind) {
    case kVXCreateEvent: {
        VXSetWindowTitle(dialog, s->title);
        VXSetItemText(dialog, kPromptItem, s->prompt);
        VXSetItemText(dialog, kUnitsItem, s->units);
        VXSetItemText(dialog, kValueItem, CustomValueText(s->value).c_str());
        VXSetFocusItem(dialog, kValueItem);
        VXSelectItemText(dialog, kValueItem, 0, 255);
        CheckValue(dialog, s);
        return 0;
    }
    case kVXControlEvent:
        if (event->u.control.item == kValueItem) CheckValue(dialog, s);
        return 0;
    case kVXEndModalEvent: {
        if (event->u.endModal.item != 1) return 0;
        char text[256] = "";
        VXGetItemText(dialog, kValueItem, text);
        const int32_t value = ParseCustomValue(text, s->maximum);
        if (value < 0) {
            // Refused: the dialog stays open, its message line saying which numbers are taken.
            CheckValue(dialog, s);
            return 1;
        }
        s->confirmed = true;
        s->value = value;
        return 0;
    }
    default: return 0;
    }
}

}  // namespace

int32_t ParseCustomValue(const char* text, int32_t maximum) {
    if (!text) return -1;
    const std::string s = text;
    const size_t begin = s.find_first_not_of(' ');
    if (begin == std::string::npos) return -1;
    const size_t end = s.find_last_not_of(' ') + 1;
    int64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return -1;
        value = value * 10 + (s[i] - '0');
        if (value > maximum) return -1;
    }
    return value >= 1 ? int32_t(value) : -1;
}

std::string CustomValueText(int32_t value) { return std::to_string(value); }

int32_t AskCustomDialog(const char* title, const char* prompt, const char* units, int32_t maximum, int32_t value) {
    CustomValueState state{title, prompt, units, maximum, value};
    (void)VXModalDialog(kCustomValueTemplate, kVXPlaceCentre, CustomValueHandler, &state);  // the state holds the answer
    return state.confirmed ? state.value : -1;
}

}  // namespace plexa
