// In-place cell editing of list views: the editor and its caret timer, moving the edit focus
// between cells, committing through the hook, the keys and edit commands while a cell is edited.
#include "toolkit/vx_celledit.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/textedit.h"
#include "platform/clipboard_platform.h"
#include "platform/control_platform.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview_internal.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_timers.h"

namespace plexa {

namespace {

constexpr LRect kParkedRect = {-110, 0, -100, 10};
constexpr uint16_t kKeyUp = 0xF700, kKeyDown = 0xF701, kKeyHome = 0xF729, kKeyEnd = 0xF72B,
                   kKeyTab = 9, kKeyBackTab = 25, kKeyReturn = 13;
constexpr uint32_t kEditorLengthLimit = 65535;

VXListViewRecord* L(VXWindowRecordTag* window) { return VXGetListViewRecord(window); }

// Tab out of the list into a dialog's item: an edit field takes the focus with its whole text
// selected, as Tab along the dialog's items does.
bool TabIntoItem(VXWindowRecordTag* dialog, int16_t item) {
    if (!VXSetFocusItem(dialog, item)) return false;
    VXControlRecordTag* control = VXGetControl(dialog, item, nullptr);
    if (control && control->type == kVXEditText) VXSelectItemText(dialog, item, 0, 32767);
    return true;
}

bool Editing(const VXListViewRecord* list) {
    return list && list->editTE && list->editColumn > 0 && list->editItem >= 0;
}

// Cuts a string at its last whole UTF-8 character (a buffer filled to its end may end inside
// one).
void TrimPartialUTF8(char* text) {
    size_t n = std::strlen(text);
    size_t start = n;
    while (start > 0 && (uint8_t(text[start - 1]) & 0xC0) == 0x80 && n - start < 3) --start;
    if (start == 0 || start == n) {
        if (start == n && n > 0 && uint8_t(text[n - 1]) >= 0xC0) text[n - 1] = 0;
        return;
    }
    const uint8_t lead = uint8_t(text[start - 1]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (n - (start - 1) < need) text[start - 1] = 0;
}

void EditorText(VXListViewRecord* list, char (&buffer)[kVXListCellTextSize]) {
    std::memset(buffer, 0, sizeof buffer);
    if (list->editTE) VXTEGetTextAsString(list->editTE, buffer, sizeof buffer);
}

// Puts a text into the editor; a text that cannot be taken leaves the editor empty rather than
// showing another cell's text.
void SetEditorText(VXWindowRecordTag* window, VXListViewRecord* list, char* text) {
    text[kVXListCellTextSize - 1] = 0;
    TrimPartialUTF8(text);
    VXSetWindow(window);
    if (!VXTESetText(text, int32_t(std::strlen(text)), kEncodingUTF8, list->editTE))
        (void)VXTESetText("", 0, kEncodingUTF8, list->editTE);  // an empty text always fits
}

void SendTextChanged(VXWindowRecordTag* window, VXListViewRecord* list, char* text, bool command,
                     bool deletion) {
    VXListViewHookRecord record{};
    record.column = list->editColumn;
    record.te = list->editTE;
    record.text = text;
    record.param.bytes[0] = command ? 1 : 0;
    record.param.bytes[1] = deletion ? 1 : 0;
    SendListHook(window, list, kVXListTextChanged, list->editItem, &record);
}

void InvalCellFrame(VXWindowRecordTag* window, VXListViewRecord* list) {
    Rect frame;
    CalcEditCellFrame(window, list, &frame);
    InvalListRect(window, frame);
}

void IdleListViewTE(sVXTimerRecord*, uint64_t windowID) {
    VXWindowRecordTag* window = VXGetWindowFromId(int32_t(windowID));
    VXListViewRecord* list = L(window);
    if (!Editing(list) || !list->editTE->active || !VXIsWindowVisible(window, true)) return;
    VXSetWindow(window);
    VXTEIdle(list->editTE);
}

// The field rectangle from message 8 and the field's width.
bool EditField(VXWindowRecordTag* window, VXListViewRecord* list, Rect* rect, int16_t* width) {
    if (!Editing(list)) return false;
    VXListViewHookRecord record{};
    record.column = list->editColumn;
    SendListHook(window, list, kVXListEditRect, list->editItem, &record);
    if (!ListRowVisible(list, list->editItem)) {
        record.rect.top = -1020;
        record.rect.bottom = -1000;
    } else {
        const Rect row = ListRowRect(list, list->editItem);
        record.rect.top = int16_t(record.rect.top + row.top);
        record.rect.bottom = int16_t(record.rect.bottom + row.top);
    }
    *rect = record.rect;
    if (width) *width = record.fieldWidth;
    return true;
}

// The next cell for a navigation key; false when the keyboard focus went elsewhere instead.
struct NextCell {
    int32_t item;
    int32_t column;
    bool focusMoved;
};

NextCell WorkOutNextCell(VXWindowRecordTag* window, VXListViewRecord* list, uint16_t key,
                         int32_t columns, const VXListViewHookRecord& answer) {
    NextCell cell{list->editItem, list->editColumn, false};
    const int32_t count = list->count;
    const int64_t guard = int64_t(count) * columns + 2;
    uint16_t step = key;
    for (int64_t pass = 0; pass < guard; ++pass) {
        bool wrapped = false;
        switch (step) {
            case kKeyUp: --cell.item; break;
            case kKeyDown: ++cell.item; break;
            case kKeyHome:
                cell = {0, 1, false};
                step = kKeyDown;  // a skipped cell goes on downwards
                break;
            case kKeyEnd:
                cell = {count - 1, 1, false};
                step = kKeyUp;
                break;
            case kKeyBackTab:
                if (--cell.column < 1) {
                    cell.column = columns;
                    --cell.item;
                    wrapped = true;
                }
                break;
            default:  // Tab and Return
                if (++cell.column > columns) {
                    cell.column = 1;
                    ++cell.item;
                    wrapped = true;
                }
                break;
        }
        if (cell.item >= count) {
            // Leaving the list commits the cell first; a refused commit keeps the focus here.
            if (wrapped && key == kKeyTab && (answer.param.pointer || answer.nextFocusItem > 0) &&
                VXFlushListViewEditField(window)) {
                auto* target = static_cast<VXWindowRecordTag*>(answer.param.pointer);
                if (!target) target = VXGetTopParent(window);
                const bool moved = answer.nextFocusItem > 0
                                       ? TabIntoItem(target, answer.nextFocusItem)
                                       : (VXSetFocusWindow(target, true), true);
                if (moved) return {cell.item, cell.column, true};
            }
            cell.item = wrapped ? 0 : count - 1;
        } else if (cell.item < 0) {
            if (wrapped && key == kKeyBackTab &&
                (answer.prevFocusWindow || answer.prevFocusItem > 0) &&
                VXFlushListViewEditField(window)) {
                VXWindowRecordTag* target =
                    answer.prevFocusWindow ? answer.prevFocusWindow : VXGetTopParent(window);
                const bool moved = answer.prevFocusItem > 0
                                       ? TabIntoItem(target, answer.prevFocusItem)
                                       : (VXSetFocusWindow(target, true), true);
                if (moved) return {cell.item, cell.column, true};
            }
            cell.item = wrapped ? count - 1 : 0;
        }
        if (cell.item == list->editItem && cell.column == list->editColumn) break;
        VXListViewHookRecord skip{};
        skip.column = int16_t(cell.column);
        if (SendListHook(window, list, kVXListMoveEditCell, cell.item, &skip) != 1) break;
    }
    return cell;
}

}  // namespace

bool gVXListKeepSelection = false;

bool VXListViewEditCellPasteFilter(uint16_t character) {
    if (character == 9) return true;
    if (character < 0x20 || character == 0x7F) return false;
    if (character < 0x80) return true;
    return !VXIsFunctionalChar(character);
}

bool CreateListViewEditor(VXWindowRecordTag* window, VXListViewRecord* list) {
    if (!window || !list || list->editTE) return list && list->editTE;
    VXWindowRecordTag* previous = VXSetWindow(window);
    VXSetTextStyle(list->textStyle);
    list->editTE = VXTENewUsingStyle(&kParkedRect, &kParkedRect, kTEStyleCurrent);
    if (previous) VXSetWindow(previous);
    if (!list->editTE) return false;
    list->editTE->noWrap = 1;
    VXTEAutoView(true, list->editTE);
    const uint32_t ms = uint32_t(std::max(1, VXGetCaretTime())) * 510u / 60u;
    if (VXInstallTimerEx(ms, kVXTimerInModal, IdleListViewTE, uint64_t(window->windowID),
                         &list->caretTimer) != 0)
        list->caretTimer = nullptr;
    return true;
}

void DisposeListViewEditor(VXListViewRecord* list) {
    if (!list) return;
    if (list->caretTimer) VXKillTimer(list->caretTimer);
    list->caretTimer = nullptr;
    if (list->editTE) VXTEDispose(list->editTE);
    list->editTE = nullptr;
    list->editItem = -1;
    list->editColumn = 0;
}

bool CalcEditFieldRect(VXWindowRecordTag* window, VXListViewRecord* list, Rect* rect) {
    return rect && EditField(window, list, rect, nullptr);
}

void CalcEditCellFrame(VXWindowRecordTag* window, VXListViewRecord* list, Rect* rect) {
    if (!rect) return;
    if (!EditField(window, list, rect, nullptr)) {
        *rect = {0, 0, 0, 0};
        return;
    }
    rect->top = int16_t(rect->top - 2);
    rect->left = int16_t(rect->left - 2);
    rect->bottom = int16_t(rect->bottom + 2);
    rect->right = int16_t(rect->right + 2);
}

void SetupTERects(VXWindowRecordTag* window, VXListViewRecord* list, bool verticalOnly) {
    if (!list || !list->editTE) return;
    VXTERecord* te = list->editTE;
    Rect field;
    int16_t fieldWidth = 0;
    if (!EditField(window, list, &field, &fieldWidth)) {
        te->destRect = te->viewRect = kParkedRect;
        return;
    }
    if (verticalOnly) {
        const int32_t dv = field.top - te->viewRect.top;
        te->destRect.top += dv;
        te->destRect.bottom += dv;
        te->viewRect.top += dv;
        te->viewRect.bottom += dv;
    } else {
        te->destRect = {field.top, field.left, field.bottom, field.right};
        te->viewRect = te->destRect;
        if (fieldWidth > 0) te->viewRect.right = field.left + fieldWidth;
    }
    VXWindowRecordTag* previous = VXSetWindow(window);
    VXTECalText(te);
    if (previous) VXSetWindow(previous);
}

int32_t VXSetListViewEditFocus(VXWindowRecordTag* window, int32_t item, int32_t column) {
    VXListViewRecord* list = L(window);
    if (!list || !list->editTE) return 0;
    if (item < 0 || item >= list->count || column < 1) {
        item = -1;
        column = 0;
    }
    if (item == list->editItem && column == list->editColumn) return 1;
    if (list->editColumn <= 0 && column == 0) {
        list->editItem = -1;
        return 1;
    }
    if (!VXFlushListViewEditField(window)) return 0;
    const int32_t id = window->windowID;
    const auto gone = [&] { return !(window = VXGetWindowFromId(id)) || !(list = L(window)); };
    if (Editing(list)) {
        VXListViewHookRecord record{};
        record.column = list->editColumn;
        record.te = list->editTE;
        record.param.value = 0;
        const int32_t answer = SendListHook(window, list, kVXListEditState, list->editItem, &record);
        if (gone()) return 0;
        if (answer & 1) {
            if (record.drawing)
                InvalCellFrame(window, list);
            else
                InvalListRow(window, list, list->editItem);
        }
        if (answer & 2) {
            VXTEDeactivate(list->editTE);
            const int32_t dh = list->editTE->viewRect.left - list->editTE->destRect.left;
            if (dh != 0) {
                VXSetWindow(window);
                VXTEScroll(dh, 0, list->editTE);
            }
        }
        InvalListRow(window, list, list->editItem);
    } else if (list->selCount > 0 && !gVXListKeepSelection) {
        DeselectAllItems(window, list);
    }
    list->editItem = item;
    list->editColumn = int16_t(column);
    if (column == 0) {
        SetupTERects(window, list, false);
        return 1;
    }
    VXSetFocusWindow(window, true);
    if (gone()) return 0;
    // The keys typed next go to the cell, not to an edit field or another view that had them.
    if (window->platformWindow && !PlatformControlViewHasFocus(window->platformWindow))
        PlatformControlClearFocus(window->platformWindow);
    if (gone()) return 0;
    SetupTERects(window, list, false);
    char text[kVXListCellTextSize] = {};
    VXListViewHookRecord fetch{};
    fetch.column = int16_t(column);
    fetch.text = text;
    SendListHook(window, list, kVXListFetchText, item, &fetch);
    if (gone()) return 0;
    SetEditorText(window, list, text);
    if (list->drawCount >= 0) InvalCellFrame(window, list);
    VXListViewHookRecord state{};
    state.column = int16_t(column);
    state.te = list->editTE;
    state.param.value = 1;
    const int32_t answer = SendListHook(window, list, kVXListEditState, item, &state);
    if (gone()) return 0;
    if (answer & 1) InvalCellFrame(window, list);
    if (answer & 2) {
        VXSetWindow(window);
        VXTEActivate(list->editTE);
        VXTESetSelect(0, int32_t(kEditorLengthLimit), list->editTE);
    }
    InvalListRow(window, list, item);
    VXRevealListViewItem(window, item, false);
    return 1;
}

int32_t VXGetListViewEditFocus(VXWindowRecordTag* window, int16_t* column, int32_t* selStart,
                               int32_t* selEnd) {
    VXListViewRecord* list = L(window);
    const bool editing = Editing(list);
    if (column) *column = editing ? list->editColumn : 0;
    if (selStart) *selStart = editing ? int32_t(list->editTE->selStart) : 0;
    if (selEnd) *selEnd = editing ? int32_t(list->editTE->selEnd) : 0;
    return list ? list->editItem : -1;
}

int32_t VXIsListViewCellDirty(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    if (!Editing(list)) return 0;
    char text[kVXListCellTextSize];
    EditorText(list, text);
    VXListViewHookRecord record{};
    record.column = list->editColumn;
    record.te = list->editTE;
    record.text = text;
    return (SendListHook(window, list, kVXListDirtyTest, list->editItem, &record) & 1) ? 0 : 1;
}

int32_t VXFlushListViewEditField(VXWindowRecordTag* window) {
    VXListViewRecord* list = L(window);
    if (!Editing(list) || !VXIsListViewCellDirty(window)) return 1;
    const int32_t id = window->windowID;
    if (!(window = VXGetWindowFromId(id)) || !(list = L(window)) || !Editing(list)) return 1;
    char text[kVXListCellTextSize];
    EditorText(list, text);
    VXListViewHookRecord record{};
    record.column = list->editColumn;
    record.te = list->editTE;
    record.text = text;
    const int32_t answer = SendListHook(window, list, kVXListCommit, list->editItem, &record);
    if (!(window = VXGetWindowFromId(id)) || !(list = L(window)) || !Editing(list))
        return answer & 1;
    if (answer & 2) {
        // The hook's text, whether written into the buffer or given as its own string.
        char changed[kVXListCellTextSize] = {};
        if (record.text) std::strncpy(changed, record.text, sizeof changed - 1);
        SetEditorText(window, list, changed);
        InvalCellFrame(window, list);
    }
    if (answer & 4) VXTESetSelect(0, int32_t(kEditorLengthLimit), list->editTE);
    return answer & 1;
}

int32_t ListViewEditKey(VXWindowRecordTag* window, VXListViewRecord* list, VXEventRecord* event) {
    const uint16_t key = event->u.character.character;
    const bool navigation = key == kKeyUp || key == kKeyDown || key == kKeyHome ||
                            key == kKeyEnd || key == kKeyTab || key == kKeyBackTab ||
                            key == kKeyReturn;
    const int32_t id = window->windowID;
    const auto gone = [&] { return !(window = VXGetWindowFromId(id)) || !(list = L(window)); };
    VXListViewHookRecord record{};
    record.column = list->editColumn;
    record.te = list->editTE;
    record.event = event;
    const int32_t answer = SendListHook(window, list, navigation ? kVXListEditNavigate : kVXListEditChar,
                                        list->editItem, &record);
    if (gone()) return 1;
    if (answer & kVXListKeyHandled) {
        if (answer & kVXListKeyBeep) VXBeep();
        return 1;
    }
    if (!Editing(list)) return 1;
    if (!navigation || (answer & kVXListKeyToEditor)) {
        VXRevealListViewItem(window, list->editItem, false);
        char before[kVXListCellTextSize], after[kVXListCellTextSize];
        EditorText(list, before);
        const bool inserts = !VXIsDeletionChar(key) && !VXIsFunctionalChar(key);
        if (!(inserts && list->editTE->length >= kEditorLengthLimit)) {
            VXSetWindow(window);
            VXTEKey(key, list->editTE);
        }
        EditorText(list, after);
        if (std::strcmp(before, after) != 0)
            SendTextChanged(window, list, after, false, VXIsDeletionChar(key));
        if (gone() || !navigation) return 1;
    }
    if (!(answer & (kVXListKeyMoveFocus | kVXListKeyNextCellOnly)) || !Editing(list)) return 1;
    const int32_t columns = std::max(1, answer & 0xFFFF);
    const NextCell next = WorkOutNextCell(window, list, key, columns, record);
    if (gone()) return 1;
    // The keys went elsewhere: no cell is left in edit (it was committed before leaving).
    if (next.focusMoved) {
        if (Editing(list)) (void)VXSetListViewEditFocus(window, -1, 0);
        return 1;
    }
    if (!Editing(list)) return 1;
    if (next.item == list->editItem && next.column == list->editColumn) return 1;
    if ((answer & kVXListKeyMoveFocus) &&
        VXSetListViewEditFocus(window, next.item, next.column) && !gone() && list->editTE) {
        VXTESetSelect(0, int32_t(kEditorLengthLimit), list->editTE);
        VXRevealListViewItem(window, next.item, false);
    }
    return 1;
}

int32_t ListViewEditCommand(VXWindowRecordTag* window, VXListViewRecord* list, uint16_t command) {
    if (!Editing(list)) return 0;
    VXTERecord* te = list->editTE;
    char before[kVXListCellTextSize], after[kVXListCellTextSize];
    EditorText(list, before);
    const bool selection = te->selStart != te->selEnd;
    VXSetWindow(window);
    switch (command) {
        case 302:
        case 303:
            if (!selection) return 1;
            if (command == 302)
                VXTECut(te);
            else
                VXTECopy(te);
            VXTEToScrap();
            break;
        case 305:
            VXTEDelete(te);
            break;
        case 306:
            VXTESetSelect(0, int32_t(kEditorLengthLimit), te);
            return 1;
        case 304: {
            VXListViewPasteFilter filter{VXListViewEditCellPasteFilter, kVXListPasteLimit};
            VXListViewHookRecord record{};
            record.column = list->editColumn;
            record.te = te;
            record.param.pointer = &filter;
            const int32_t id = window->windowID;
            if (SendListHook(window, list, kVXListPaste, list->editItem, &record) == 1) return 1;
            if (!(window = VXGetWindowFromId(id)) || !(list = L(window)) || !Editing(list)) return 1;
            te = list->editTE;
            VXSetWindow(window);
            VXTEFromScrap();
            VXTEPasteOptions options;
            options.filter = [](uint16_t c, void*) { return VXListViewEditCellPasteFilter(c); };
            options.limit = kVXListPasteLimit;
            VXTEPasteEx(te, &options);
            break;
        }
        default:
            return 0;
    }
    if (command == 303) return 1;
    EditorText(list, after);
    if (std::strcmp(before, after) != 0)
        SendTextChanged(window, list, after, true, command != 304);
    return 1;
}

int32_t ListViewEditPrepCommand(VXListViewRecord* list, VXPrepCommandRecord* record) {
    if (!Editing(list) || !record) return 0;
    const bool selection = list->editTE->selStart != list->editTE->selEnd;
    switch (record->command) {
        case 300:
        case 306: record->enabled = 1; return 1;
        case 302:
        case 303:
        case 305: record->enabled = selection ? 1 : 0; return 1;
        case 304: {
            std::u16string text;
            record->enabled = PlatformClipboardGetText(&text) && !text.empty() ? 1 : 0;
            return 1;
        }
        default: return 0;
    }
}

void ListViewEditorActivate(VXListViewRecord* list, bool active) {
    if (!list || !list->editTE) return;
    if (active && Editing(list))
        VXTEActivate(list->editTE);
    else if (!active)
        VXTEDeactivate(list->editTE);
}

}  // namespace plexa
