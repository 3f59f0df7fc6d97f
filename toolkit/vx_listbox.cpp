// List boxes.
#include "toolkit/vx_listbox.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_panels.h"

namespace plexa {
namespace {

constexpr VXColor kAltHiliteBack = 0x0F000000, kAltHiliteText = 0x10000000;
constexpr VXColor kDimmedText = 0x15000000, kMarkFrame = 0x09808080;
constexpr VXColor kBrush11 = 0x0BFFFFFF, kBrush13 = 0x0D000000, kBrush14 = 0x0E000000;
// The list window's vertical scroll bar (flags 0x220: vertical scroller, framed child).
constexpr uint32_t kListWindowFlags = kVXFlagVerticalScroller | kVXFlagChildFrame;
constexpr int16_t kScrollBarWidth = 16;
constexpr int16_t kCheckSide = 10;  // the drawn check mark's box
// The record the create event of the list window last took over.
VXListBoxRecord* gAdopted = nullptr;

VXListBoxRecord* Info(VXWindowRecordTag* listWindow) {
    return static_cast<VXListBoxRecord*>(VXGetWindowClassInfo(listWindow, kVXListBoxClassCode));
}

VXWindowRecordTag* ListWindowOf(VXControlRecordTag* control) {
    return GetListViewFromListBoxControl(control);
}

// The row at index, false outside the rows.
bool GetRow(VXWindowRecordTag* listWindow, int32_t index, VXListBoxRow* row) {
    if (index < 0 || index >= VXCountListViewItems(listWindow)) return false;
    return VXGetListViewItemData(listWindow, index, row) > 0;
}

void PutRow(VXWindowRecordTag* listWindow, int32_t index, const VXListBoxRow& row) {
    VXSetListViewItemData(listWindow, index, &row);
    VXInvalListViewItem(listWindow, index);
}

void RowText(const VXListBoxRecord* info, const VXListBoxRow& row, char* buffer, int32_t size) {
    ExtractStringSpec(row.text, info->strings, buffer, size);
}

bool Dimmed(const VXListBoxRow& row) {
    return (row.flags & (kVXListRowDisabled | kVXListRowSeparator)) != 0;
}

// ---- Drawing a row ----

void DrawRow(VXWindowRecordTag* window, VXListBoxRecord* info, VXListViewHookRecord* record) {
    const auto* row = static_cast<const VXListBoxRow*>(record->item);
    if (!row) return;
    const uint32_t f = info->features;
    const Rect r = record->rect;
    const bool dimmed = Dimmed(*row);
    const bool hilite = record->selected != 0;
    const VXColor fore = VXGetForeColor();
    VXPenState pen{};
    VXGetPenState(&pen);
    VXPenNormal();
    QZSetColor(nullptr,
               hilite ? ((f & kVXListBoxAltColors) ? kAltHiliteBack : info->hiliteBackColor)
                      : info->backColor,
               false);
    VXRectDispatch(&r, 1);
    VXColor text = info->textColor;
    if (dimmed)
        text = kDimmedText;
    else if (row->flags & kVXListRowOwnColor)
        text = row->color;
    else if (hilite && (f & kVXListBoxAltColors))
        text = kAltHiliteText;
    else if (hilite)
        text = info->hiliteTextColor;
    StyleMetrics metrics{};
    if (VXListViewRecord* list = VXGetListViewRecord(window))
        GetStyleMetrics(list->textStyle, &metrics);
    const int32_t baseline = r.top + metrics.ascent + ((f & kVXListBoxCheckBoxes) ? 1 : 0);
    const int32_t checkTop = r.top + (r.bottom - r.top - kCheckSide) / 2;
    const Rect checkBox = {int16_t(checkTop), int16_t(r.left + 5),
                           int16_t(checkTop + kCheckSide), int16_t(r.left + 5 + kCheckSide)};
    QZSetColor(nullptr, text, false);
    if (row->flags & kVXListRowSeparator) {
        const int16_t middle = int16_t((r.top + r.bottom) / 2);
        VXMoveTo(r.left + 2, middle);
        VXLineTo(int16_t(r.right - 2), middle);
    } else {
        const bool indented =
            row->mark != 0 || (f & (kVXListBoxIndented | kVXListBoxCheckList)) != 0;
        const int32_t left = r.left + 5 + (indented ? info->markIndent : 0);
        char buffer[kStringSpecBufferSize];
        RowText(info, *row, buffer, sizeof buffer);
        // Cut to end 5 points before the row's right edge, at a character boundary.
        VXTruncString(buffer, sizeof buffer, std::max(0, r.right - 5 - left), 0);
        VXMoveTo(left, baseline);
        VXDrawTextWithEncoding(buffer, int32_t(std::strlen(buffer)), kEncodingUTF8);
        if (f & kVXListBoxCheckBoxes) {
            QZSetColor(nullptr, kMarkFrame, false);
            VXRectDispatch(&checkBox, 0);
            QZSetColor(nullptr, text, false);
        }
    }
    // Marks: 1 a check mark, 2 to 4 their characters, 5 a small filled circle.
    static const char* const kMarks[] = {"", "\xE2\x88\x9A", "\xE2\x97\x87", "\xE2\x97\x86", "-"};
    if (row->mark >= 1 && row->mark <= 4 &&
        (!(row->flags & kVXListRowSeparator) || row->mark == 1)) {
        VXMoveTo(r.left + 5, baseline);
        VXDrawTextWithEncoding(kMarks[row->mark], int32_t(std::strlen(kMarks[row->mark])),
                               kEncodingUTF8);
    } else if (row->mark == 5 && !(row->flags & kVXListRowSeparator)) {
        const int16_t top = int16_t(r.top + (r.bottom - r.top - 6) / 2);
        const Rect dot = {top, int16_t(r.left + 6), int16_t(top + 6), int16_t(r.left + 12)};
        VXOvalDispatch(&dot, 1);
    }
    QZSetColor(nullptr, fore, false);
    VXSetPenState(&pen);
}

// ---- Clicks and type-ahead ----

uint8_t NextMark(uint8_t mark, uint32_t features) {
    if (features & kVXListBoxCycleMarks) return mark == 2 ? 3 : mark == 3 ? 4 : 2;
    if (mark == 0) return (features & kVXListBoxDotMark) ? 5 : 1;
    if (mark == 2) return 3;
    if (mark == 3) return 2;
    return 0;
}

int32_t MouseDown(VXWindowRecordTag* window, VXListBoxRecord* info,
                  VXListViewHookRecord* record) {
    if (info->features & kVXListBoxNoSelection) return kVXListClickHandled;
    VXListBoxRow row{};
    if (!GetRow(window, record->index, &row)) return 0;
    if (!(info->features & kVXListBoxCheckList))
        return (row.flags & kVXListRowDisabled) ? kVXListClickHandled : 0;
    if (row.flags & kVXListRowDisabled) return kVXListClickHandled;
    row.mark = NextMark(row.mark, info->features);
    PutRow(window, record->index, row);
    return kVXListClickAction;
}

int32_t TypeAhead(VXWindowRecordTag* window, VXListBoxRecord* info,
                  VXListViewHookRecord* record) {
    if (!(info->features & kVXListBoxFocusRing) || (info->features & kVXListBoxNoSelection))
        return 0;
    const char* typed = record->text ? record->text : "";
    const int32_t count = VXCountListViewItems(window);
    record->index = 0;
    for (int32_t i = 0; i < count; ++i) {
        VXListBoxRow row{};
        if (!GetRow(window, i, &row) || Dimmed(row)) continue;
        char text[kStringSpecBufferSize];
        RowText(info, row, text, sizeof text);
        if (strcasecmp(text, typed) >= 0) {
            record->index = i;
            break;
        }
    }
    return 1;
}

// ---- The item calls ----

VXWindowRecordTag* Rows(VXControlRecordTag* control, VXListBoxRecord** info) {
    VXWindowRecordTag* listWindow = ListWindowOf(control);
    *info = Info(listWindow);
    return *info ? listWindow : nullptr;
}

int32_t ItemCount(VXControlRecordTag* control) {
    return VXCountListViewItems(ListWindowOf(control));
}

void ItemInsert(VXControlRecordTag* control, const char* text, int32_t index) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    VXListBoxRow row{};
    if (!listWindow || !BuildListBoxItem(control, text, -1, 255, 0, &row)) return;
    const int32_t count = VXCountListViewItems(listWindow);
    if (index < 0 || index > count) index = count;
    VXInsertListViewItemData(listWindow, index, &row, 1);
    if (info->state & kVXListBoxSizesToRows) VXAutoSizeListView(listWindow);
}

void ItemSet(VXControlRecordTag* control, int32_t index, const char* text) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    VXListBoxRow row{};
    if (!listWindow || !GetRow(listWindow, index, &row)) return;
    if (!BuildListBoxItem(control, text, row.mark, row.flags, row.reference, &row)) return;
    PutRow(listWindow, index, row);
}

void ItemGet(VXControlRecordTag* control, int32_t index, char* buffer, int32_t size) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    VXListBoxRow row{};
    if (size > 0) buffer[0] = 0;
    if (!listWindow || !GetRow(listWindow, index, &row) || size <= 0) return;
    char text[kStringSpecBufferSize];
    RowText(info, row, text, sizeof text);
    TruncateUTF8ForByteSize(text, size);  // whole characters only
    std::memcpy(buffer, text, std::strlen(text) + 1);
}

void ItemRemove(VXControlRecordTag* control, int32_t index, int32_t count) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    if (!listWindow || index < 0 || index >= VXCountListViewItems(listWindow) || count == 0)
        return;
    VXDeleteListViewItemData(listWindow, index, count);
    if (info->state & kVXListBoxSizesToRows) VXAutoSizeListView(listWindow);
}

void ItemSelect(VXControlRecordTag* control, int32_t index, bool select) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    if (!listWindow) return;
    if (info->features & kVXListBoxNoSelection) select = false;
    if (index != -1 && (index < 0 || index >= VXCountListViewItems(listWindow))) return;
    VXSetListViewItemSelected(listWindow, index, select);
}

int32_t ItemSelected(VXControlRecordTag* control, int32_t after) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    if (!listWindow || (info->features & kVXListBoxNoSelection)) return -1;
    // Strictly after the given row, so that a caller can step through a multiple selection.
    for (int32_t i = VXGetListViewSelection(listWindow, std::max(after + 1, 0)); i >= 0;
         i = VXGetListViewSelection(listWindow, i + 1)) {
        VXListBoxRow row{};
        if (GetRow(listWindow, i, &row) && !(row.flags & kVXListRowDisabled)) return i;
    }
    return -1;
}

void ItemReveal(VXControlRecordTag* control, int32_t index) {
    VXRevealListViewItem(ListWindowOf(control), index, false);
}

// Changes one row through a procedure; nothing outside the rows.
template <typename Change>
void ChangeRow(VXControlRecordTag* control, int32_t index, Change change) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    VXListBoxRow row{};
    if (!listWindow || !GetRow(listWindow, index, &row)) return;
    change(row);
    PutRow(listWindow, index, row);
}

template <typename Read>
auto ReadRow(VXControlRecordTag* control, int32_t index, Read read) {
    VXListBoxRecord* info = nullptr;
    VXWindowRecordTag* listWindow = Rows(control, &info);
    VXListBoxRow row{};
    const bool found = listWindow && GetRow(listWindow, index, &row);
    return read(found, row);
}

void ItemSetEnabled(VXControlRecordTag* control, int32_t index, bool enabled) {
    ChangeRow(control, index, [enabled](VXListBoxRow& row) {
        row.flags = enabled ? uint8_t(row.flags & ~kVXListRowDisabled)
                            : uint8_t(row.flags | kVXListRowDisabled);
    });
}

int32_t ItemMarkCode(VXControlRecordTag* control, int32_t index) {
    return ReadRow(control, index, [](bool found, const VXListBoxRow& row) {
        return found ? int32_t(row.mark) : 0;
    });
}

void ItemSetMarkCode(VXControlRecordTag* control, int32_t index, int32_t code) {
    ChangeRow(control, index, [code](VXListBoxRow& row) { row.mark = uint8_t(code); });
}

intptr_t ItemReference(VXControlRecordTag* control, int32_t index) {
    return ReadRow(control, index, [](bool found, const VXListBoxRow& row) {
        return found ? intptr_t(row.reference) : intptr_t(0);
    });
}

void ItemSetReference(VXControlRecordTag* control, int32_t index, intptr_t value) {
    ChangeRow(control, index, [value](VXListBoxRow& row) { row.reference = value; });
}

bool ItemSetDrawing(VXControlRecordTag* control, bool enabled) {
    return VXSetListViewDrawingEnabled(ListWindowOf(control), enabled);
}

int16_t ItemRowHeight(VXControlRecordTag* control) {
    return VXGetListViewCellHeight(ListWindowOf(control));
}

VXWindowRecordTag* HookCreate(VXWindowRecordTag* parent, const Rect* rect, uint32_t value,
                              VXControlRecordTag* control) {
    return CreateListBoxWindow(parent, rect, value, control);
}

void HookDestroy(VXWindowRecordTag* listWindow) { VXDestroyWindow(listWindow); }

void HookFont(VXControlRecordTag* control, int16_t fontCode) {
    VXWindowRecordTag* listWindow = ListWindowOf(control);
    if (VXListBoxRecord* info = Info(listWindow))
        SetListBoxFont(listWindow, fontCode, (info->state & kVXListBoxSizesToRows) != 0);
}

}  // namespace

VXListBoxRecord::~VXListBoxRecord() { DestroyStringBlock(strings); }

VXWindowRecordTag* CreateListBoxWindow(VXWindowRecordTag* parent, const Rect* rect,
                                       uint32_t features, VXControlRecordTag* control) {
    if (!parent || !rect) return nullptr;
    auto* info = new (std::nothrow) VXListBoxRecord;
    if (!info) return nullptr;
    info->control = control;
    info->strings = CreateStringBlock(nullptr, 128);
    if (!info->strings) {
        delete info;
        return nullptr;
    }
    // The control's rectangle holds the list and its scroll bar.
    Rect r = *rect;
    r.right = int16_t(std::max<int32_t>(r.left, r.right - kScrollBarWidth));
    gAdopted = nullptr;
    VXWindowRecordTag* window =
        VXCreateChildWindow(0, kListWindowFlags, 0, parent, &r, info, ListBoxEventHandler);
    // Once the create event took the record the window frees it; before that it is ours.
    const bool adopted = gAdopted == info;
    gAdopted = nullptr;
    if (!adopted) {
        if (window) VXDestroyWindow(window);
        delete info;
        return nullptr;
    }
    if (!window) return nullptr;
    VXInstallListView(window, nullptr, 0, sizeof(VXListBoxRow),
                      (features & 0xFFFF) & ~uint32_t(kVXListTrimHeight), ListBoxHookProc);
    if (!VXGetListViewRecord(window)) {
        VXDestroyWindow(window);
        return nullptr;
    }
    info->backColor = kBrush11;
    if (features & kVXListTrimHeight) info->state |= kVXListBoxSizesToRows;
    SetListBoxFont(window, 26, (info->state & kVXListBoxSizesToRows) != 0);
    return window;
}

int32_t ListBoxEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (!window || !event) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            if (auto* info = static_cast<VXListBoxRecord*>(window->refCon)) {
                window->windowClass = kVXWindowListBox;
                VXSetWindowClassInfo(window, info, kVXListBoxClassCode);
                gAdopted = info;
            }
            break;
        case kVXDestroyEvent:
            window->refCon = nullptr;
            VXDestroyWindowClassInfo(window, kVXListBoxClassCode);
            break;
        case kVXControlEvent:
            if (event->u.control.item == 0)
                if (VXListBoxRecord* info = Info(window))
                    SendControlEvent(info->control, event->u.control.values.listBox.first,
                                     uint8_t(event->u.control.values.listBox.second), 0);
            break;
        default: break;
    }
    return 0;
}

int32_t ListBoxHookProc(VXWindowRecordTag* window, int32_t message,
                        VXListViewHookRecord* record) {
    VXListBoxRecord* info = Info(window);
    if (!info || !record) return 0;
    switch (message) {
        case kVXListDrawItem: DrawRow(window, info, record); return 0;
        case kVXListMouseDown: return MouseDown(window, info, record);
        case kVXListTypeAhead: return TypeAhead(window, info, record);
        default: return 0;
    }
}

VXListBoxRecord* GetListBoxInfoFromListView(VXWindowRecordTag* listWindow) {
    return Info(listWindow);
}

VXListBoxRecord* GetListBoxInfoFromControl(VXControlRecordTag* control) {
    return Info(ListWindowOf(control));
}

int32_t BuildListBoxItem(VXControlRecordTag* control, const char* text, int32_t mark,
                         int32_t flags, int64_t reference, VXListBoxRow* row) {
    VXListBoxRecord* info = GetListBoxInfoFromControl(control);
    if (!info || !row) return 0;
    if (!text) text = "";
    const StringSpec spec = OverlayStringBlock(info->strings, text, -1, nullptr);
    if (*text && spec == 0) return 0;  // the block could not take the text
    *row = VXListBoxRow{};
    row->text = spec;
    row->reference = reference;
    row->mark = mark < 0 ? 0 : uint8_t(mark);
    uint8_t f = flags == 255 ? ((info->features & kVXListBoxIndented) ? kVXListRowPlain : 0)
                             : uint8_t(flags);
    if (std::strcmp(text, "-") == 0)
        f |= kVXListRowSeparator;
    else
        f &= uint8_t(~kVXListRowSeparator);
    row->flags = f;
    return 1;
}

void SetListBoxFont(VXWindowRecordTag* listWindow, int16_t fontCode, bool sizeToFit) {
    VXListBoxRecord* info = Info(listWindow);
    VXListViewRecord* list = VXGetListViewRecord(listWindow);
    if (!info || !list) return;
    info->fontCode = fontCode;
    txStyle* style = CreateTextStyle(nullptr, nullptr);
    if (!style) return;
    SetupDefaultStyle(style, fontCode);
    VXSetListViewTextStyle(listWindow, style);
    StyleMetrics metrics{};
    GetStyleMetrics(style, &metrics);
    VXSetListViewCellHeight(
        listWindow,
        int16_t(std::max<int32_t>(1, metrics.lineHeight +
                                         ((info->features & kVXListBoxCheckBoxes) ? 1 : 0))));
    VXWindowRecordTag* previous = VXSetWindow(listWindow);
    VXSetTextStyle(style);
    info->markIndent = int16_t(VXMeasureTextBytes("Wl  ", 4, kEncodingUTF8, false) - 2);
    VXSetWindow(previous);
    DestroyTextStyle(style);
    if (sizeToFit) VXAutoSizeListView(listWindow);
}

uint32_t VXGetListBoxFeatures(VXWindowRecordTag* window, int16_t item) {
    VXListBoxRecord* info = Info(VXGetListBoxWindow(window, item));
    return info ? info->features : 0;
}

uint32_t VXSetListBoxFeatures(VXWindowRecordTag* window, int16_t item, uint32_t features) {
    VXWindowRecordTag* listWindow = VXGetListBoxWindow(window, item);
    VXListBoxRecord* info = Info(listWindow);
    if (!info) return 0;
    const uint32_t former = info->features;
    if (former == features) return former;
    info->features = features;
    VXSetListViewMultiSelect(listWindow, (features & kVXListBoxMultiple) != 0);
    VXSetListViewExtendSelect(listWindow, (features & kVXListBoxExtended) != 0);
    VXChangeListViewOptions(listWindow, (features & kVXListBoxOption2) ? 2u : 0u, 2u);
    if ((former ^ features) & kVXListBoxCheckBoxes)
        SetListBoxFont(listWindow, info->fontCode, (info->state & kVXListBoxSizesToRows) != 0);
    VXSetHasFocusRing(listWindow, (features & kVXListBoxFocusRing) != 0);
    info->backColor = (features & kVXListBoxAltColors) ? kBrush14 : kBrush13;
    VXInvalRect(listWindow, nullptr);
    return former;
}

void VXInitListBoxes() {
    gVXListBoxHooks.create = HookCreate;
    gVXListBoxHooks.destroy = HookDestroy;
    gVXListBoxHooks.setFont = HookFont;
    VXListItemHooks& h = gVXListItemHooks;
    h.count = ItemCount;
    h.insert = ItemInsert;
    h.set = ItemSet;
    h.get = ItemGet;
    h.remove = ItemRemove;
    h.select = ItemSelect;
    h.selected = ItemSelected;
    h.reveal = ItemReveal;
    h.setEnabled = ItemSetEnabled;
    h.markCode = ItemMarkCode;
    h.setMarkCode = ItemSetMarkCode;
    h.reference = ItemReference;
    h.setReference = ItemSetReference;
    h.setDrawingEnabled = ItemSetDrawing;
    h.rowHeight = ItemRowHeight;
}

}  // namespace plexa
