// The element information dialog and its logic.
#include "sheeteditor/elementinfo.h"

#include "model/elements.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

struct ElementInfoState {
    ElementInfoItems items;
    bool confirmed = false;
};

int32_t ElementInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* state = static_cast<ElementInfoState*>(window->refCon);
    if (!state) return 0;
    ElementInfoItems& items = state->items;
    if (event->kind == kVXCreateEvent) {
        VXSetItemChecked(window, kElementInfoOptionalFillItem, items.optionalFill);
        VXSetItemEnabled(window, kElementInfoOptionalFillItem, items.optionalFillEnabled);
        VXSetItemChecked(window, kElementInfoAlwaysShownItem, items.alwaysShown);
        VXSetItemEnabled(window, kElementInfoAlwaysShownItem, items.alwaysShownEnabled);
    } else if (event->kind == kVXEndModalEvent) {
        state->confirmed = event->u.endModal.item == 1;
        if (state->confirmed) {
            items.optionalFill = VXGetItemChecked(window, kElementInfoOptionalFillItem) != 0;
            items.alwaysShown = VXGetItemChecked(window, kElementInfoAlwaysShownItem) != 0;
        }
    }
    return 0;
}

}  // namespace

ElementInfoItems ElementInfoOpening(const ElementRecord* e, bool onSheet) {
    ElementInfoItems items;
    items.optionalFill = e->flags & kElementOptionalFill;
    const bool outlineOnly =
        e->kind == kElementLine || e->kind == kElementArrow || e->kind == kElementImage;
    items.optionalFillEnabled = !(onSheet && outlineOnly);
    items.alwaysShown = !(e->flags & kElementHideable);
    items.alwaysShownEnabled = onSheet;
    return items;
}

uint16_t ElementInfoFlagsAfterOK(uint16_t flags, bool onSheet, const ElementInfoItems& items) {
    flags = uint16_t(items.optionalFill ? flags | kElementOptionalFill : flags & ~kElementOptionalFill);
    if (onSheet)
        flags = uint16_t(items.alwaysShown ? flags & ~kElementHideable : flags | kElementHideable);
    return flags;
}

bool EditElementInfo(ElementRecord* e, bool onSheet) {
    if (!e) return false;
    ElementInfoState state{ElementInfoOpening(e, onSheet), false};
    VXModalDialog(kElementInfoTemplate, kVXPlaceCentre, ElementInfoDialogHandler, &state);
    if (state.confirmed) e->flags = ElementInfoFlagsAfterOK(e->flags, onSheet, state.items);
    return state.confirmed;
}

}  // namespace plexa
