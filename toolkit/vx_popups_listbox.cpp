// Popup list boxes: a list-box control in a popup window, tracked as a popup.

#include <algorithm>
#include <string>

#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/textline.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kTakenOutFeatures = kVXListBoxMultiple | kVXListBoxCheckList |
                                       kVXListBoxCycleMarks | kVXListBoxExtended;
constexpr int16_t kWidth = 200;
constexpr int32_t kRowTextMargins = 10;

VXControlRecordTag* ListControl(VXWindowRecordTag* popup) {
    return popup ? VXGetControl(popup, kVXPopupListBoxItem, nullptr) : nullptr;
}

VXWindowRecordTag* ListWindowOf(VXWindowRecordTag* popup) {
    return GetListViewFromListBoxControl(ListControl(popup));
}

// Selects the row alone (none for -1).
void SelectOnly(VXWindowRecordTag* list, int32_t row) {
    for (int32_t i = VXGetListViewSelection(list, 0); i >= 0;
         i = VXGetListViewSelection(list, i + 1))
        if (i != row) VXSetListViewItemSelected(list, i, false);
    if (row >= 0 && row < VXCountListViewItems(list)) VXSetListViewItemSelected(list, row, true);
}

// A point of the popup in the list window's coordinates.
Point InList(VXWindowRecordTag* popup, VXWindowRecordTag* list, Point where) {
    VXTranslatePoints(popup, list, &where, 1);
    return where;
}

// Sets the list-box control to the popup's whole content; the list's panel follows its new
// frame at once (a hidden window gets no resize from the platform until it is shown).
void FitControl(VXWindowRecordTag* popup, VXControlRecordTag* control) {
    Rect r{};
    VXGetWindowPosition(popup, &r);
    const Rect inside = {0, 0, int16_t(r.bottom - r.top), int16_t(r.right - r.left)};
    VXSetControlRect(control, &inside);
    VXWindowRecordTag* list = GetListViewFromListBoxControl(control);
    if (VXPanelRecordTag* panel = VXGetWindowPanel(list)) {
        Rect frame{};
        VXGetWindowPosition(list, &frame);
        VXSetPanelStructFrame(panel, {double(frame.left), double(frame.top),
                                      double(frame.right - frame.left),
                                      double(frame.bottom - frame.top)});
        VXViewFrameChanged(panel, true);
    }
}

}  // namespace

VXWindowRecordTag* VXCreatePopupListBox(uint32_t features, int16_t fontCode, int32_t rows) {
    const Rect start = {0, 0, 100, kWidth};
    VXWindowRecordTag* popup =
        VXCreateWindow(kVXWindowPopup, 2, 0, 0, 0, 0, &start, "", 0, nullptr, nullptr);
    if (!popup) return nullptr;
    VXControlRecordTag* control =
        VXCreateControl(popup, kVXListBox, &start, "", kVXPopupListBoxItem, 0);
    VXWindowRecordTag* list = GetListViewFromListBoxControl(control);
    if (!list) {
        VXDestroyWindow(popup);
        return nullptr;
    }
    VXSetListBoxFeatures(popup, kVXPopupListBoxItem, features & ~kTakenOutFeatures);
    SetListBoxFont(list, fontCode, false);
    const int32_t rowHeight = std::max<int32_t>(1, VXGetListViewCellHeight(list));
    const int32_t height = std::clamp(rows, 1, 2000 / rowHeight) * rowHeight;
    Rect r{};
    VXGetWindowPosition(popup, &r);
    r.bottom = int16_t(r.top + height);
    r.right = int16_t(r.left + kWidth);
    VXSetWindowPosition(popup, &r);
    FitControl(popup, control);
    return popup;
}

void VXAutoSizePopupListBox(VXWindowRecordTag* popup) {
    VXControlRecordTag* control = ListControl(popup);
    VXWindowRecordTag* list = GetListViewFromListBoxControl(control);
    if (!list) return;
    VXWindowRecordTag* previous = VXSetWindow(list);
    // Measured in the style the rows are drawn in.
    txStyle* saved = VXPreserveTextStyle();
    if (VXListViewRecord* record = VXGetListViewRecord(list))
        if (record->textStyle) VXSetTextStyle(record->textStyle);
    const auto measure = [](const std::string& text) {
        return int32_t(VXMeasureTextBytes(text.data(), int32_t(text.size()), kEncodingUTF8, false));
    };
    int32_t width = measure(" 123 ");
    char buffer[255];
    const int32_t count = VXCountListItems(popup, kVXPopupListBoxItem);
    for (int32_t i = 0; i < count; ++i) {
        buffer[0] = 0;
        VXGetListItem(popup, kVXPopupListBoxItem, i, buffer);
        // The rows' texts sit 5 units from either edge of the list: two spaces may be
        // narrower than that, and the longest text must not come out cut.
        width = std::max({width, measure(std::string(buffer) + "  "),
                          measure(buffer) + kRowTextMargins});
    }
    if (VXListBoxRecord* info = GetListBoxInfoFromControl(control))
        if (info->features & kVXListBoxIndented) width += info->markIndent;
    VXRestoreTextStyle(saved);
    VXSetWindow(previous);
    Rect r{};
    VXGetWindowPosition(popup, &r);
    r.right = int16_t(std::min<int32_t>(r.left + width + kVXPanelBarWidth, 32767));
    VXSetWindowPosition(popup, &r);
    FitControl(popup, control);
    // The rows must get the whole width, whatever the list keeps for its scroll bar and frame.
    if (VXPanelRecordTag* panel = VXGetWindowPanel(list)) {
        const int32_t rowsWidth = int32_t(panel->contFrame.width);
        if (rowsWidth > 0 && rowsWidth < width) {
            r.right = int16_t(std::min<int32_t>(r.right + width - rowsWidth, 32767));
            VXSetWindowPosition(popup, &r);
            FitControl(popup, control);
        }
    }
}

int32_t VXTrackPopupListBox(VXWindowRecordTag* popup, VXWindowRecordTag* parent, Point global,
                            uint32_t flags, int32_t initialItem) {
    if (!ListWindowOf(popup)) return -1;
    uint32_t features = VXGetListBoxFeatures(popup, kVXPopupListBoxItem);
    if (flags & kVXPopupListAltColors)
        features |= kVXListBoxAltColors;
    else
        features &= ~kVXListBoxAltColors;
    VXSetListBoxFeatures(popup, kVXPopupListBoxItem, features);
    int32_t current = initialItem;
    return VXTrackPopupWindow(popup, parent, global, flags, VXPoupupListBoxHook, &current);
}

uint32_t VXPoupupListBoxHook(VXWindowRecordTag* popup, int32_t message, VXEventRecord* event,
                             int32_t inside, Point where, void* reference) {
    auto* current = static_cast<int32_t*>(reference);
    VXWindowRecordTag* list = ListWindowOf(popup);
    if (!list || !current)
        return message == kVXPopupFinish || message == kVXPopupCancel ? uint32_t(-1) : 0;
    switch (message) {
        case kVXPopupOpen:
            SelectOnly(list, *current);
            if (*current >= 0) VXRevealListViewItem(list, *current, false);
            *current = -1;
            VXUpdateWindow(list);
            return 0;
        case kVXPopupMouseDown:
            // Over the list's scroll bar the bar tracks the press itself; the loop then reads
            // the button again.
            return inside == 2 ? kVXPopupRecheckButton | 1 : 0;
        case kVXPopupEntered:
        case kVXPopupMoved:
        case kVXPopupLeft: {
            int32_t row = -1;
            if (message != kVXPopupLeft) {
                const int32_t v = InList(popup, list, where).v;
                const int32_t hit = VXListViewItemFromPoint(list, v, true);
                // Below the last row: the last row.
                row = hit == -1 ? -1 : (hit & ~kVXListBeyondRows);
            }
            if (row != *current) {
                *current = row;
                SelectOnly(list, row);
                VXUpdateWindow(list);
            }
            return 0;
        }
        case kVXPopupWheel:
            SelectOnly(list, -1);
            *current = -1;
            if (event) {
                VXEventRecord wheel = *event;
                wheel.kind = kVXWheelEvent;
                DispatchEvent(list, &wheel);
            }
            return 0;
        case kVXPopupAutoScroll: {
            // A row further in the direction of the mouse, when there is one.
            const int32_t v = InList(popup, list, where).v;
            int32_t first = 0, last = -1;
            VXGetListViewVisRange(list, &first, &last);
            int16_t height = 0, width = 0;
            VXGetClientSize(list, &height, &width);
            int32_t target = -1;
            if (v < 0 && first > 0) target = first - 1;
            if (v >= height && last + 1 < VXCountListViewItems(list)) target = last + 1;
            if (target < 0) return 0;
            VXRevealListViewItem(list, target, false);
            VXUpdateWindow(list);
            return 1;
        }
        case kVXPopupFinish: {
            const int32_t row = VXGetListViewSelection(list, 0);
            if (row < 0) return uint32_t(-1);
            for (int blink = 0; blink < 2; ++blink) {
                VXSetListViewItemSelected(list, row, false);
                VXUpdateWindow(list);
                VXDelay(3);
                VXSetListViewItemSelected(list, row, true);
                VXUpdateWindow(list);
                VXDelay(3);
            }
            return uint32_t(row);
        }
        case kVXPopupCancel:
            return uint32_t(-1);
        default:
            return 0;
    }
}

}  // namespace plexa
