// The custom value dialog (see customvalue.h).
#include "app/customvalue.h"

#include <string>

#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int16_t kOKItem = 1, kValueItem = 3, kLabelItem = 4, kUnitItem = 5;

struct CustomValueState {
    const char* title;
    const char* label;
    const char* unit;
    int32_t maximum;
    int32_t value;
    bool confirmed = false;
};

// The field keeps a number from 0 to the maximum; OK is offered while it is not 0.
void EnforceValue(VXWindowRecordTag* dialog, const CustomValueState* s) {
    (void)VXEnforceItemIntRange(dialog, kValueItem, 0, s->maximum, false);  // the field now holds one
    VXSetItemEnabled(dialog, kOKItem, VXGetItemInt(dialog, kValueItem) != 0);
}

int32_t CustomValueHandler(VXWindowRecordTag* dialog, VXEventRecord* event) {
    auto* s = static_cast<CustomValueState*>(dialog->refCon);
    if (!s) return 0;
    switch (event->kind) {
    case kVXCreateEvent:
        VXSetWindowTitle(dialog, s->title);
        VXSetItemText(dialog, kLabelItem, s->label);
        VXSetItemText(dialog, kUnitItem, s->unit);
        VXSetItemInt(dialog, kValueItem, s->value);
        VXSetFocusItem(dialog, kValueItem);
        VXSelectItemText(dialog, kValueItem, 0, 255);
        VXSetItemEnabled(dialog, kOKItem, s->value != 0);
        return 0;
    case kVXControlEvent:
        if (event->u.control.item == kValueItem) EnforceValue(dialog, s);
        return 0;
    case kVXEndModalEvent:
        s->confirmed = event->u.endModal.item == kOKItem;
        if (s->confirmed) s->value = VXGetItemInt(dialog, kValueItem);
        return 0;
    default: return 0;
    }
}

}  // namespace

int32_t AskCustomDialog(const char* title, const char* label, const char* unit, int32_t maximum, int32_t value) {
    CustomValueState state{title, label, unit, maximum, value};
    (void)VXModalDialog(kCustomValueTemplate, kVXPlaceCentre, CustomValueHandler, &state);  // the state holds the answer
    return state.confirmed ? state.value : -1;
}

}  // namespace plexa
