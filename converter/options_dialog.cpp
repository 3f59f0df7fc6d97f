// The options dialog: the 13 attribute names and the four switches, edited in place and saved
// when the dialog ends with OK.
#include "converter/app.h"
#include "converter/options.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

struct SwitchItem {
    int16_t item;
    uint8_t* value;
};
const SwitchItem kSwitchItems[] = {
    {kOptionsClassIDItem, &gConvertClassID},
    {kOptions96DPIItem, &gConvert96DPI},
    {kOptionsShowRefDesItem, &gConvertShowRefDes},
    {kOptionsShowNameItem, &gConvertShowName},
};

int16_t NameItem(int32_t entry) { return int16_t(kOptionsFirstNameItem + 2 * entry); }

bool IsNameItem(int32_t item) {
    return item >= kOptionsFirstNameItem && item <= NameItem(kAttrNamesMapCount - 1) &&
           (item - kOptionsFirstNameItem) % 2 == 0;
}

}  // namespace

void ShowOptionsDialog() {
    VXModalDialog(kOptionsTemplate, kVXPlaceThird, OptionsDialogHandler, nullptr);
}

int32_t OptionsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    switch (event->kind) {
        case kVXCreateEvent:
            for (int32_t k = 0; k < kAttrNamesMapCount; ++k)
                VXSetItemText(window, NameItem(k), GetMappedAttributeName(k).c_str());
            for (const SwitchItem& s : kSwitchItems) VXSetItemChecked(window, s.item, *s.value ? 1 : 0);
            return 0;
        case kVXControlEvent:
            if (IsNameItem(event->u.control.item))
                VXTruncateItemText(window, int16_t(event->u.control.item), kAttrNameMaxBytes);
            return 0;
        case kVXEndModalEvent:
            if (event->u.endModal.item != 1) return 0;
            for (int32_t k = 0; k < kAttrNamesMapCount; ++k) {
                char name[256];
                VXGetItemText(window, NameItem(k), name);
                // An emptied entry keeps the name it had.
                if (FixAttrNameString(name)) SetMappedAttributeName(k, name);
            }
            for (const SwitchItem& s : kSwitchItems) *s.value = VXGetItemChecked(window, s.item) ? 1 : 0;
            SaveConversionOptions();
            return 0;
        default:
            return 0;
    }
}

}  // namespace plexa
