// The control item calls: each finds the control of a window by item number and acts on it when
// its type takes the call. List boxes answer through the list-box module's hooks.
#include "toolkit/vx_control_items.h"

#include <strings.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/pixels.h"
#include "graphics/textedit.h"
#include "platform/control_platform.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_controls_internal.h"
#include "toolkit/vx_rects.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXListItemHooks gVXListItemHooks;

namespace {

VXControlRecordTag* Find(VXWindowRecordTag* window, int16_t item, uint8_t type) {
    VXControlRecordTag* c = window ? VXGetControl(window, item, nullptr) : nullptr;
    return c && c->type == type ? c : nullptr;
}

VXControlRecordTag* FindEither(VXWindowRecordTag* window, int16_t item, uint8_t a, uint8_t b) {
    VXControlRecordTag* c = window ? VXGetControl(window, item, nullptr) : nullptr;
    return c && (c->type == a || c->type == b) ? c : nullptr;
}

// Copies a text into a buffer of `size` bytes, cut at a character boundary.
void CopyOut(const std::string& text, char* buffer, int32_t size) {
    if (!buffer || size < 1) return;
    std::string copy = text;
    TruncateUTF8ForByteSize(copy.data(), size);
    std::snprintf(buffer, size_t(size), "%s", copy.c_str());
}

// The byte length of the longest prefix of at most `max` bytes that ends on a character.
size_t CutLength(const std::string& text, size_t max) {
    if (text.size() <= max) return text.size();
    size_t n = max;
    while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

struct SelfChange {
    explicit SelfChange(VXControlRecordTag* c) : held(c) { ControlSetSelfChange(c, true); }
    ~SelfChange() {
        if (VXControlRecordTag* c = held.Get()) ControlSetSelfChange(c, false);
    }
    ControlHeld held;
};

// A count beyond any sensible row of tabs is a caller's mistake; it is limited so that it cannot
// stall the program making labels.
constexpr int32_t kMaxLabels = 1000;

void SetLabelCount(VXControlRecordTag* c, int32_t count, const char* newLabel) {
    count = std::clamp(count, 0, kMaxLabels);
    SelfChange change(c);
    int32_t now = PlatformControlTabCount(c->platform);
    while (now < count) PlatformControlInsertTab(c->platform, now++, newLabel);
    while (now > count) PlatformControlRemoveTab(c->platform, --now);
}

void SetLabel(VXControlRecordTag* c, int32_t index, const char* label) {
    if (index < 0 || index >= PlatformControlTabCount(c->platform)) return;
    PlatformControlSetTabLabel(c->platform, index, label ? label : "");
}

void SelectLabel(VXControlRecordTag* c, int32_t index) {
    SelfChange change(c);
    PlatformControlSelect(c->platform, index);
    c->typeData.value = uint32_t(PlatformControlSelected(c->platform));
}

struct Labels {
    std::vector<std::string> texts;
};

void CollectLabel(void* data, int32_t, const char* text, int32_t) {
    static_cast<Labels*>(data)->texts.emplace_back(text);
}

}  // namespace

int32_t VXParseTabLabels(const char* title,
                         void (*label)(void* data, int32_t index, const char* text, int32_t number),
                         void* data) {
    if (!title) return 0;
    constexpr int32_t kMaxCharacters = 61;
    int32_t count = 0;
    const char* p = title;
    while (*p) {
        std::string text;
        int32_t characters = 0, number = -1;
        bool ended = false;  // "#" seen: the rest up to "|" is dropped
        bool bar = false;
        auto keep = [&](char c) {
            const bool lead = (uint8_t(c) & 0xC0) != 0x80;
            if (lead && characters >= kMaxCharacters) return;
            if (!lead && characters > kMaxCharacters) return;
            if (lead) ++characters;
            if (characters <= kMaxCharacters) text.push_back(c);
        };
        while (*p) {
            const char c = *p++;
            if (c == '|') {
                bar = true;
                break;
            }
            if (ended) continue;
            if (c == '\\') {
                if (*p) keep(*p++);
                continue;
            }
            if (c == '#') {
                ended = true;
                if (*p >= '0' && *p <= '9') {
                    int64_t n = 0;
                    while (*p >= '0' && *p <= '9') {
                        n = std::min<int64_t>(n * 10 + (*p - '0'), INT32_MAX);
                        ++p;
                    }
                    number = int32_t(n);
                }
                continue;
            }
            keep(c);
        }
        // A last label that is empty and has no number is not made.
        if (!bar && !*p && text.empty() && number < 0) break;
        if (label) label(data, count, text.c_str(), number);
        ++count;
        if (bar && !*p) break;
    }
    return count;
}

// ---- Texts and numbers ----

void VXGetControlText(VXControlRecordTag* control, char* buffer) {
    if (!buffer) return;
    buffer[0] = 0;
    if (!control) return;
    switch (control->type) {
        case kVXPushButton:
        case kVXCheckBox:
        case kVXRadioButton:
        case kVXBox: CopyOut(PlatformControlTitle(control->platform), buffer, 256); return;
        case kVXEditText:
        case kVXStaticText: CopyOut(PlatformControlText(control->platform), buffer, 256); return;
        default: return;
    }
}

void VXGetItemText(VXWindowRecordTag* window, int16_t item, char* buffer) {
    VXGetControlText(window ? VXGetControl(window, item, nullptr) : nullptr, buffer);
}

void VXSetControlText(VXControlRecordTag* control, const char* text) {
    if (!control) return;
    if (!text) text = "";
    switch (control->type) {
        case kVXPushButton:
        case kVXCheckBox:
        case kVXRadioButton:
        case kVXBox: PlatformControlSetTitle(control->platform, text); return;
        case kVXTabView:
        case kVXSegmented: {
            Labels labels;
            VXParseTabLabels(text, CollectLabel, &labels);
            SetLabelCount(control, int32_t(labels.texts.size()),
                          control->type == kVXSegmented ? "empty" : "");
            for (size_t i = 0; i < labels.texts.size(); ++i)
                SetLabel(control, int32_t(i), labels.texts[i].c_str());
            control->typeData.value = uint32_t(PlatformControlSelected(control->platform));
            return;
        }
        case kVXListBox: return;
        default: PlatformControlSetText(control->platform, text);
    }
}

void VXSetItemText(VXWindowRecordTag* window, int16_t item, const char* text) {
    VXSetControlText(window ? VXGetControl(window, item, nullptr) : nullptr, text);
}

void VXSetItemInt(VXWindowRecordTag* window, int16_t item, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    VXSetItemText(window, item, text);
}

void VXSetItemUInt(VXWindowRecordTag* window, int16_t item, uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", value);
    VXSetItemText(window, item, text);
}

namespace {
// The number at the start of a text (after blanks), limited to the 32-bit range.
int64_t ParseNumber(const char* text, bool isSigned, const char** end) {
    errno = 0;
    char* stop = nullptr;
    long long value = std::strtoll(text, &stop, 10);
    if (end) *end = stop;
    if (isSigned) return std::clamp<long long>(value, INT32_MIN, INT32_MAX);
    return std::clamp<long long>(value, 0, UINT32_MAX);
}
}  // namespace

int32_t VXGetItemInt(VXWindowRecordTag* window, int16_t item) {
    char text[256];
    VXGetItemText(window, item, text);
    return int32_t(ParseNumber(text, true, nullptr));
}

uint32_t VXGetItemUInt(VXWindowRecordTag* window, int16_t item) {
    char text[256];
    VXGetItemText(window, item, text);
    return uint32_t(ParseNumber(text, false, nullptr));
}

int32_t VXTruncateItemText(VXWindowRecordTag* window, int16_t item, int32_t maxBytes) {
    VXControlRecordTag* c = Find(window, item, kVXEditText);
    if (!c) return 0;
    std::string text = PlatformControlText(c->platform);
    const size_t length = CutLength(text, size_t(std::max(maxBytes, 0)));
    if (length < text.size()) {
        text.resize(length);
        PlatformControlSetText(c->platform, text.c_str());
    }
    return int32_t(length);
}

bool VXEnforceItemIntRange(VXWindowRecordTag* window, int16_t item, int32_t minimum,
                           int32_t maximum, bool isSigned) {
    VXControlRecordTag* c = Find(window, item, kVXEditText);
    if (!c) return false;
    const std::string original = PlatformControlText(c->platform);
    std::string text = original;
    text.resize(std::min(text.size(), size_t(!text.empty() && text[0] == '-' ? 11 : 10)));
    const int64_t low = isSigned ? int64_t(minimum) : int64_t(uint32_t(minimum));
    const int64_t high = isSigned ? int64_t(maximum) : int64_t(uint32_t(maximum));
    const bool focused = PlatformControlHasFocus(c->platform);
    int64_t value = 0, clamped = 0;
    bool empty;
    if (isSigned && text == "-") {
        if (low < 0) return false;
        empty = true;
    } else {
        // Only the number stays: whatever follows it is cut from the field.
        size_t digitsAt = isSigned && !text.empty() && text[0] == '-' ? 1 : 0;
        size_t end = digitsAt;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        if (end == digitsAt) end = 0;
        text.resize(end);
        value = text.empty() ? 0 : ParseNumber(text.c_str(), isSigned, nullptr);
        clamped = value;
        if (clamped > high) clamped = high;
        if (clamped < low && low < 2) clamped = low;
        empty = text.empty();
    }
    int32_t start = 0, stop = 0;
    PlatformControlSelection(c->platform, &start, &stop);
    if (empty || (clamped == 0 && low <= 0)) {
        clamped = isSigned && low < 0 ? 0 : low;
        const std::string shown = std::to_string(clamped);
        if (shown != original) PlatformControlSetText(c->platform, shown.c_str());
        if (focused) PlatformControlSetSelection(c->platform, 0, int32_t(shown.size()));
    } else if (clamped != value || text != original) {
        const std::string shown = std::to_string(clamped);
        PlatformControlSetText(c->platform, shown.c_str());
        if (focused) PlatformControlSetSelection(c->platform, start, stop);
    }
    return clamped >= low && clamped <= high;
}

void VXSelectItemText(VXWindowRecordTag* window, int16_t item, int32_t start, int32_t end) {
    VXControlRecordTag* c = Find(window, item, kVXEditText);
    if (!c || start < 0 || end < 0) return;
    const ControlHeld held(c);
    VXSetFocusItem(window, item);
    if (!(c = held.Get())) return;
    const int32_t length = int32_t(PlatformControlText(c->platform).size());
    end = std::min(end, length);
    PlatformControlSetSelection(c->platform, std::min(start, end), end);
}

int32_t VXGetItemTextSelection(VXWindowRecordTag* window, int16_t item, int32_t* start,
                               int32_t* end) {
    if (start) *start = -1;
    if (end) *end = -1;
    VXControlRecordTag* c = Find(window, item, kVXEditText);
    if (!c || !PlatformControlHasFocus(c->platform)) return 0;
    PlatformControlSelection(c->platform, start, end);
    return 1;
}

bool VXEditControlClipCommand(VXWindowRecordTag* window, int16_t item, uint16_t command) {
    VXControlRecordTag* c = Find(window, item, kVXEditText);
    if (!c || command < 302 || command > 306) return false;
    if (command == 306) {
        VXSelectItemText(window, item, 0, 32767);
        return true;
    }
    if (command == 304) {
        if (VXTECountScrapCharacters() <= 0) return false;
    } else {
        int32_t start = 0, stop = 0;
        PlatformControlSelection(c->platform, &start, &stop);
        if (stop <= start) return false;
    }
    const int32_t operation = command == 302 ? 0 : command == 303 ? 1 : command == 304 ? 2 : 3;
    PlatformControlEditCommand(c->platform, operation);
    if (command == 302 || command == 303) VXTEFromScrap();
    return true;
}

void VXSetEditTextAllCaps(VXWindowRecordTag* window, int16_t item, bool on) {
    VXControlRecordTag* c = Find(window, item, kVXEditText);
    if (!c) return;
    if (on)
        c->flags |= kVXCtlAllCaps;
    else
        c->flags &= uint16_t(~kVXCtlAllCaps);
    PlatformControlSetAllCaps(c->platform, on);
}

void VXSetEditTextButtonKeyHook(VXWindowRecordTag* window, int16_t item, VXEditKeyHook hook) {
    if (VXControlRecordTag* c = Find(window, item, kVXEditText)) c->typeData.keyHook = hook;
}

// ---- Enabling, visibility, position ----

void VXSetItemEnabled(VXWindowRecordTag* window, int16_t item, bool enabled) {
    VXControlRecordTag* c = window ? VXGetControl(window, item, nullptr) : nullptr;
    if (!c) return;
    if (enabled)
        c->flags &= uint16_t(~kVXCtlItemDisabled);
    else
        c->flags |= kVXCtlItemDisabled;
    VXSetControlActive(c, enabled);
}

int32_t VXGetItemEnabled(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = window ? VXGetControl(window, item, nullptr) : nullptr;
    return c && !(c->flags & kVXCtlItemDisabled) ? 1 : 0;
}

void VXSetItemVisible(VXWindowRecordTag* window, int16_t item, bool visible) {
    VXSetControlVisibility(window ? VXGetControl(window, item, nullptr) : nullptr, visible);
}

int32_t VXGetItemVisible(VXWindowRecordTag* window, int16_t item) {
    return VXIsControlVisible(window ? VXGetControl(window, item, nullptr) : nullptr) ? 1 : 0;
}

void VXSetItemPosition(VXWindowRecordTag* window, int16_t item, const Rect* rect) {
    VXSetControlRect(window ? VXGetControl(window, item, nullptr) : nullptr, rect);
}

void VXGetItemPosition(VXWindowRecordTag* window, int16_t item, Rect* rect) {
    VXGetControlRect(window ? VXGetControl(window, item, nullptr) : nullptr, rect);
}

// ---- Buttons ----

void VXSetButtonState(VXWindowRecordTag* window, int16_t item, int32_t state) {
    VXControlRecordTag* c = FindEither(window, item, kVXPushButton, kVXIconButton);
    if (!c) return;
    PlatformControlSetState(c->platform, state == 1 ? 1 : 0);
    if (PlatformControlIsEnabled(c->platform)) PlatformControlSetHighlight(c->platform, state == 2);
}

int32_t VXGetButtonState(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = FindEither(window, item, kVXPushButton, kVXIconButton);
    return c ? PlatformControlState(c->platform) : 0;
}

int32_t VXSimulateButtonClick(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = FindEither(window, item, kVXPushButton, kVXIconButton);
    if (!c || (c->flags & kVXCtlItemDisabled) || !PlatformControlIsEnabled(c->platform) ||
        !VXIsControlVisible(c))
        return 0;
    const ControlHeld held(c);
    c->flags |= kVXCtlSimulatedClick;
    PlatformControlPerformClick(c->platform);
    if (!(c = held.Get())) return 1;
    c->flags &= uint16_t(~kVXCtlSimulatedClick);
    if (c->flags & kVXCtlToggles) PlatformControlSetState(c->platform, 1);
    return 1;
}

void VXSetItemChecked(VXWindowRecordTag* window, int16_t item, int32_t state) {
    VXControlRecordTag* c = FindEither(window, item, kVXCheckBox, kVXRadioButton);
    if (c) PlatformControlSetState(c->platform, state == 2 ? 2 : state & 1);
}

int32_t VXGetItemChecked(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = FindEither(window, item, kVXCheckBox, kVXRadioButton);
    return c ? PlatformControlState(c->platform) : 0;
}

int16_t VXGetRadioGroupInfo(VXWindowRecordTag* window, int16_t item, int16_t* first,
                            int16_t* last) {
    if (first) *first = -1;
    if (last) *last = -1;
    if (item < 1 || !Find(window, item, kVXRadioButton)) return -1;
    int16_t low = item;
    while (low > 1 && Find(window, int16_t(low - 1), kVXRadioButton)) --low;
    int16_t high = low, selected = 0;
    for (int32_t n = low; n <= INT16_MAX; ++n) {
        VXControlRecordTag* c = Find(window, int16_t(n), kVXRadioButton);
        if (!c) break;
        high = int16_t(n);
        if (PlatformControlState(c->platform) == 1 && !selected) selected = int16_t(n);
    }
    if (first) *first = low;
    if (last) *last = high;
    return selected;
}

int16_t VXSelectRadioButton(VXWindowRecordTag* window, int16_t item) {
    int16_t first = 0, last = 0;
    if (VXGetRadioGroupInfo(window, item, &first, &last) < 0 || first == last) return 0;
    int16_t turnedOff = 0;
    for (int32_t n = first; n <= last; ++n) {
        VXControlRecordTag* c = Find(window, int16_t(n), kVXRadioButton);
        if (!c || n == item || PlatformControlState(c->platform) != 1) continue;
        PlatformControlSetState(c->platform, 0);
        if (c->typeData.value >= 1 && c->typeData.value <= 8) {
            window->radioSlots = uint8_t(window->radioSlots & ~(1u << (c->typeData.value - 1)));
            c->typeData.value = 0;
        }
        if (!turnedOff) turnedOff = int16_t(n);
    }
    VXControlRecordTag* c = Find(window, item, kVXRadioButton);
    if (c->typeData.value == 0) {
        for (uint32_t slot = 1; slot <= 8; ++slot) {
            if (window->radioSlots & (1u << (slot - 1))) continue;
            window->radioSlots = uint8_t(window->radioSlots | (1u << (slot - 1)));
            c->typeData.value = slot;
            break;
        }
    }
    if (PlatformControlState(c->platform) != 1) PlatformControlSetState(c->platform, 1);
    return turnedOff;
}

int16_t VXGetSelectedRadioButton(VXWindowRecordTag* window, int16_t item) {
    return std::max<int16_t>(VXGetRadioGroupInfo(window, item, nullptr, nullptr), 0);
}

int32_t VXGetDisclosureState(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = Find(window, item, kVXDisclosure);
    return c && PlatformControlState(c->platform) == 1 ? 1 : 0;
}

void VXSetDisclosureState(VXWindowRecordTag* window, int16_t item, bool open) {
    if (VXControlRecordTag* c = Find(window, item, kVXDisclosure))
        PlatformControlSetState(c->platform, open ? 1 : 0);
}

// ---- List items ----

namespace {
VXControlRecordTag* ListBox(VXWindowRecordTag* window, int16_t item) {
    return Find(window, item, kVXListBox);
}
VXControlRecordTag* Popup(VXWindowRecordTag* window, int16_t item) {
    return Find(window, item, kVXPopup);
}
bool ValidIndex(VXControlRecordTag* popup, int32_t index) {
    return index >= 0 && index < PlatformControlItemCount(popup->platform);
}
std::string ItemText(VXWindowRecordTag* window, int16_t item, int32_t index) {
    char buffer[256];
    VXGetListItem(window, item, index, buffer);
    return buffer;
}
}  // namespace

int32_t VXCountListItems(VXWindowRecordTag* window, int16_t item) {
    if (VXControlRecordTag* c = Popup(window, item)) return PlatformControlItemCount(c->platform);
    if (VXControlRecordTag* c = ListBox(window, item))
        return gVXListItemHooks.count ? gVXListItemHooks.count(c) : 0;
    return 0;
}

void VXAddListItem(VXWindowRecordTag* window, int16_t item, const char* text, int32_t index) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        const int32_t count = PlatformControlItemCount(c->platform);
        if (index < 0 || index > count) index = count;
        PlatformControlInsertItem(c->platform, index, " ", false);
        VXSetListItem(window, item, index, text);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.insert) gVXListItemHooks.insert(list, text ? text : "", index);
    }
}

void VXSetListItem(VXWindowRecordTag* window, int16_t item, int32_t index, const char* text) {
    if (!text) text = "";
    if (VXControlRecordTag* c = Popup(window, item)) {
        if (!ValidIndex(c, index)) return;
        const bool separator = PlatformControlItemIsSeparator(c->platform, index);
        const bool wantSeparator = std::strcmp(text, "-") == 0;
        if (separator == wantSeparator) {
            if (!separator) PlatformControlSetItemTitle(c->platform, index, text);
            return;
        }
        // The item changes kind: a new one in its place keeps the reference and the selection.
        const intptr_t reference = PlatformControlItemReference(c->platform, index);
        const int32_t selected = PlatformControlSelected(c->platform);
        PlatformControlRemoveItem(c->platform, index);
        PlatformControlInsertItem(c->platform, index, text, wantSeparator);
        PlatformControlSetItemReference(c->platform, index, reference);
        if (selected == index && !wantSeparator)
            PlatformControlSelect(c->platform, index);
        else if (selected != index)
            PlatformControlSelect(c->platform, selected);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.set) gVXListItemHooks.set(list, index, text);
    }
}

int32_t VXAddSortedListItem(VXWindowRecordTag* window, int16_t item, const char* text) {
    if (!Popup(window, item) && !ListBox(window, item)) return -1;
    if (!text) text = "";
    int32_t low = 0, high = VXCountListItems(window, item);
    while (low < high) {
        const int32_t middle = low + (high - low) / 2;
        if (StrCmpAlphaNumeric(text, ItemText(window, item, middle).c_str(), false) >= 0)
            low = middle + 1;
        else
            high = middle;
    }
    VXAddListItem(window, item, text, low);
    return low;
}

void VXGetListItem(VXWindowRecordTag* window, int16_t item, int32_t index, char* buffer) {
    if (!buffer) return;
    buffer[0] = 0;
    if (VXControlRecordTag* c = Popup(window, item)) {
        if (!ValidIndex(c, index)) return;
        if (PlatformControlItemIsSeparator(c->platform, index))
            CopyOut("-", buffer, 128);
        else
            CopyOut(PlatformControlItemTitle(c->platform, index), buffer, 128);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.get) gVXListItemHooks.get(list, index, buffer, 255);
    }
}

void VXRemoveListItem(VXWindowRecordTag* window, int16_t item, int32_t index, int32_t count) {
    if (count == 0) return;
    if (VXControlRecordTag* c = Popup(window, item)) {
        if (!ValidIndex(c, index)) return;
        const int32_t remain = PlatformControlItemCount(c->platform) - index;
        if (count < 0 || count > remain) count = remain;
        for (int32_t i = 0; i < count; ++i) PlatformControlRemoveItem(c->platform, index);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.remove) gVXListItemHooks.remove(list, index, count);
    }
}

void VXSelectListItem(VXWindowRecordTag* window, int16_t item, int32_t index, bool select) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        if (!select || !ValidIndex(c, index)) return;
        PlatformControlSelect(c->platform, index);
        c->typeData.value = uint32_t(index);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.select) gVXListItemHooks.select(list, index, select);
    }
}

int32_t VXGetSelectedListItem(VXWindowRecordTag* window, int16_t item, int32_t after) {
    if (VXControlRecordTag* c = Popup(window, item)) return PlatformControlSelected(c->platform);
    if (VXControlRecordTag* list = ListBox(window, item))
        return gVXListItemHooks.selected ? gVXListItemHooks.selected(list, after) : -1;
    return -1;
}

void VXRevealListItem(VXWindowRecordTag* window, int16_t item, int32_t index, int32_t) {
    if (Popup(window, item)) {
        VXSelectListItem(window, item, index, true);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.reveal) gVXListItemHooks.reveal(list, index);
    }
}

int32_t VXFindListItem(VXWindowRecordTag* window, int16_t item, const char* text, bool exact) {
    if (!text || (!Popup(window, item) && !ListBox(window, item))) return -1;
    const int32_t count = VXCountListItems(window, item);
    for (int32_t i = 0; i < count; ++i) {
        const std::string title = ItemText(window, item, i);
        if (exact ? title == text : strcasecmp(title.c_str(), text) == 0) return i;
    }
    return -1;
}

void VXSetListItemEnabled(VXWindowRecordTag* window, int16_t item, int32_t index, bool enabled) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        PlatformControlSetItemEnabled(c->platform, index, enabled);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.setEnabled) gVXListItemHooks.setEnabled(list, index, enabled);
    }
}

int32_t VXGetListItemMarkCode(VXWindowRecordTag* window, int16_t item, int32_t index) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        const int32_t state = PlatformControlItemState(c->platform, index);
        return state == 1 ? 1 : state == 2 ? 4 : 0;
    }
    if (VXControlRecordTag* list = ListBox(window, item))
        return gVXListItemHooks.markCode ? gVXListItemHooks.markCode(list, index) : 0;
    return 0;
}

void VXSetListItemMarkCode(VXWindowRecordTag* window, int16_t item, int32_t index, int32_t code) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        PlatformControlSetItemState(c->platform, index, code == 1 ? 1 : code == 4 ? 2 : 0);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.setMarkCode) gVXListItemHooks.setMarkCode(list, index, code);
    }
}

intptr_t VXGetListItemReference(VXWindowRecordTag* window, int16_t item, int32_t index) {
    if (VXControlRecordTag* c = Popup(window, item))
        return PlatformControlItemReference(c->platform, index);
    if (VXControlRecordTag* list = ListBox(window, item))
        return gVXListItemHooks.reference ? gVXListItemHooks.reference(list, index) : 0;
    return 0;
}

void VXSetListItemReference(VXWindowRecordTag* window, int16_t item, int32_t index,
                            intptr_t value) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        PlatformControlSetItemReference(c->platform, index, value);
    } else if (VXControlRecordTag* list = ListBox(window, item)) {
        if (gVXListItemHooks.setReference) gVXListItemHooks.setReference(list, index, value);
    }
}

bool VXSetListDrawingEnabled(VXWindowRecordTag* window, int16_t item, bool enabled) {
    if (VXControlRecordTag* c = Popup(window, item)) {
        VXSetControlVisibility(c, enabled);
        return enabled;
    }
    if (VXControlRecordTag* list = ListBox(window, item))
        return gVXListItemHooks.setDrawingEnabled
                   ? gVXListItemHooks.setDrawingEnabled(list, enabled)
                   : false;
    return false;
}

void VXSetListButtonItemFace(VXWindowRecordTag* window, int16_t item, int32_t index,
                             uint32_t face) {
    if (VXControlRecordTag* c = Popup(window, item))
        PlatformControlSetItemFace(c->platform, index, face);
}

VXWindowRecordTag* VXGetListBoxWindow(VXWindowRecordTag* window, int16_t item) {
    return GetListViewFromListBoxControl(ListBox(window, item));
}

int16_t VXGetListBoxItemHeight(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* list = ListBox(window, item);
    return list && gVXListItemHooks.rowHeight ? gVXListItemHooks.rowHeight(list) : 0;
}

// ---- Tab views and segmented controls ----

int32_t VXGetTabCount(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = Find(window, item, kVXTabView);
    return c ? PlatformControlTabCount(c->platform) : 0;
}

void VXSetTabCount(VXWindowRecordTag* window, int16_t item, int32_t count) {
    if (VXControlRecordTag* c = Find(window, item, kVXTabView)) SetLabelCount(c, count, "");
}

void VXSetTabName(VXWindowRecordTag* window, int16_t item, int32_t index, const char* label) {
    if (VXControlRecordTag* c = Find(window, item, kVXTabView)) SetLabel(c, index, label);
}

void VXSetSelectedTab(VXWindowRecordTag* window, int16_t item, int32_t index) {
    if (VXControlRecordTag* c = Find(window, item, kVXTabView)) SelectLabel(c, index);
}

bool VXGetTabControlRects(VXControlRecordTag* control, Rect* frame, Rect* content) {
    if (!control || control->type != kVXTabView) return false;
    if (frame) VXGetControlBounds(control, frame);
    if (content) VXGetControlRect(control, content);
    return true;
}

void VXGetTabControlOuterMetrics(VXControlRecordTag* control, int16_t margins[4]) {
    if (!margins) return;
    margins[0] = margins[1] = margins[2] = margins[3] = 0;
    if (!control || control->type != kVXTabView) return;
    Rect frame, content;
    VXGetTabControlRects(control, &frame, &content);
    margins[0] = int16_t(content.top - frame.top);
    margins[1] = int16_t(content.left - frame.left);
    margins[2] = int16_t(frame.bottom - content.bottom);
    margins[3] = int16_t(frame.right - content.right);
}

int32_t VXGetSegmentCount(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = Find(window, item, kVXSegmented);
    return c ? PlatformControlTabCount(c->platform) : 0;
}

void VXSetSegmentCount(VXWindowRecordTag* window, int16_t item, int32_t count) {
    if (VXControlRecordTag* c = Find(window, item, kVXSegmented)) SetLabelCount(c, count, "empty");
}

void VXSetSegmentName(VXWindowRecordTag* window, int16_t item, int32_t index, const char* label) {
    if (VXControlRecordTag* c = Find(window, item, kVXSegmented)) SetLabel(c, index, label);
}

int32_t VXGetSelectedSegment(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = Find(window, item, kVXSegmented);
    return c ? PlatformControlSelected(c->platform) : -1;
}

void VXSetSelectedSegment(VXWindowRecordTag* window, int16_t item, int32_t index) {
    if (VXControlRecordTag* c = Find(window, item, kVXSegmented)) SelectLabel(c, index);
}

// ---- Progress indicators ----

void VXSetProgressBarRange(VXWindowRecordTag* window, int16_t item, double minimum,
                           double maximum) {
    if (VXControlRecordTag* c = Find(window, item, kVXProgress))
        PlatformControlSetRange(c->platform, minimum, maximum);
}

void VXStepProgressBar(VXWindowRecordTag* window, int16_t item, double delta) {
    if (VXControlRecordTag* c = Find(window, item, kVXProgress))
        PlatformControlSetValue(c->platform, PlatformControlValue(c->platform) + delta);
}

// ---- Images, icons, colour wells, user-drawn controls ----

VXPixels* LoadIconImageForControlOrMenu(int32_t iconID) {
    return iconID ? VXLoadPixelImageFromIcon(iconID, false) : nullptr;
}

void SetIconImageForControl(VXControlRecordTag* control, int32_t iconID) {
    if (!control) return;
    control->typeData.value = uint32_t(iconID);
    if (iconID == 8002 || iconID == 8003) {
        PlatformControlSetStandardImage(control->platform, iconID == 8002 ? 1 : 2);
        return;
    }
    VXPixels* image = LoadIconImageForControlOrMenu(iconID);
    PlatformControlSetImage(control->platform, image ? CacheCGImageForPixels(image) : nullptr);
    VXDestroyPixelImage(image);
}

void VXSetIconId(VXWindowRecordTag* window, int16_t item, int32_t iconID) {
    VXControlRecordTag* c = FindEither(window, item, kVXImage, kVXIconButton);
    if (!c || c->typeData.value == uint32_t(iconID)) return;
    SetIconImageForControl(c, iconID);
    ControlSizeIconImage(c);
}

void VXSetItemImageFromResource(VXWindowRecordTag* window, int16_t item, const char* name,
                                const char* type, int32_t) {
    VXControlRecordTag* c = FindEither(window, item, kVXImage, kVXIconButton);
    if (!c) return;
    VXPixels* image = name && *name ? VXLoadImageResource(name, type, -1) : nullptr;
    PlatformControlSetImage(c->platform, image ? CacheCGImageForPixels(image) : nullptr);
    VXDestroyPixelImage(image);
}

void VXDrawIcon(int32_t iconID, const Rect* rect, int32_t variant) {
    struct Cached {
        int32_t id, variant;
        VXPixels* image;
    };
    // The last 8 loaded, oldest first; kept for the whole run (never destroyed at exit, so that
    // the images it holds stay reachable rather than leak).
    static std::vector<Cached>& cache = *new std::vector<Cached>;
    VXWindowRecordTag* window = vx.currentWindow;
    if (!window || !rect) return;
    VXPixels* image = nullptr;
    for (const Cached& c : cache)
        if (c.id == iconID && c.variant == variant) image = c.image;
    if (!image) {
        image = VXLoadPixelImageFromIcon(iconID, variant != 0);
        if (!image) return;
        if (cache.size() == 8) {
            VXDestroyPixelImage(cache.front().image);
            cache.erase(cache.begin());
        }
        cache.push_back({iconID, variant, image});
    }
    VXDrawPixelsInWindow(&window->graf, image, nullptr, rect, 0);
}

void VXSetColorWellColor(VXWindowRecordTag* window, int16_t item, uint32_t color) {
    VXControlRecordTag* c = Find(window, item, kVXColorWell);
    if (!c) return;
    uint32_t rgb = 0;
    if (!VXGetColorFromNSColor(NSColorWithColor(color, true), &rgb)) rgb = 0;
    PlatformControlSetColor(c->platform, rgb);
}

uint32_t VXGetColorWellColor(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = Find(window, item, kVXColorWell);
    return c ? PlatformControlColor(c->platform) : 0x07000000;
}

void VXSetUserItemProcWithInset(VXWindowRecordTag* window, int16_t item, VXUserItemProc proc,
                                int16_t inset) {
    VXControlRecordTag* c = Find(window, item, kVXUserDrawn);
    if (!c) return;
    c->drawProc = proc;
    if (int16_t(c->typeData.value) != inset) {
        Rect rect;
        VXGetControlRect(c, &rect);
        c->typeData.value = uint32_t(uint16_t(inset));
        const Rect frame = {int16_t(rect.top + inset), int16_t(rect.left + inset),
                            int16_t(rect.bottom - inset), int16_t(rect.right - inset)};
        PlatformControlSetFrame(c->platform, ToPlatformRect(frame));
    }
    VXInvalidateControl(c);
}

VXUserItemProc VXGetUserItemProc(VXWindowRecordTag* window, int16_t item) {
    VXControlRecordTag* c = Find(window, item, kVXUserDrawn);
    return c ? c->drawProc : nullptr;
}

}  // namespace plexa
