// The list tabs' rows and their edits. The rows of Names, Packages and Hidden Pins are the item's
// names, packages and the current pin set's hidden pins by index; the Pins tab's rows are kept
// per editor in the order of the sort keys.
#include "symboleditor/symattributes.h"
#include "symboleditor/symlists.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselection.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

const int32_t gPinFieldMap[4] = {kPinFieldSlot, kPinFieldType, kPinFieldNumber, kPinFieldName};
int32_t gPinListSortField[4] = {0, 0, 0, 0};

namespace {

struct ListState {
    std::vector<PinListEntry> pins;
    int32_t listID = 0;  // the list view's window, by id: it may go before the editor forgets it
};
std::map<const SymbolEditorRecord*, ListState> gLists;

ListState& State(const SymbolEditorRecord* editor) { return gLists[editor]; }

VXWindowRecordTag* ListWindow(const SymbolEditorRecord* editor) {
    const int32_t id = State(editor).listID;
    return id ? VXGetWindowFromId(id) : nullptr;
}

void ToFront(int32_t field) {
    int32_t keys[4] = {field, 0, 0, 0};
    int32_t n = 1;
    for (int32_t key : gPinListSortField)
        if (key != field && n < 4) keys[n++] = key;
    std::memcpy(gPinListSortField, keys, sizeof keys);
}

void EnsureSortKeys() {
    if (gPinListSortField[0] != 0) return;
    for (int32_t field : {2, 1, 3, 4}) ToFront(field);
}

int32_t PinSet(const SymbolEditorRecord* editor) {
    return editor->pinSet >= 0 && editor->pinSet < kLibPinSetCount ? editor->pinSet : 0;
}

int32_t CountHiddenPins(SymbolEditorRecord* editor) {
    return CountLibSymbolPins(editor->item, PinSet(editor), -1);
}

void Trimmed(const char* text, char* out) {
    std::snprintf(out, kSymListCellSize, "%s", text ? text : "");
    TrimSpacesC(out);
}

bool IsBlank(const char* text) {
    char t[kSymListCellSize];
    Trimmed(text, t);
    return *t == 0;
}

std::string EntryNumber(SymbolEditorRecord* editor, const PinListEntry& e) {
    char number[kLibItemTextSize] = "";
    GetLibItemPinNumber(editor->item, e.section, PinSet(editor), e.pin, number);
    return number;
}

uint32_t EntryDataId(SymbolEditorRecord* editor, const PinListEntry& e) {
    const int32_t symbol = e.section ? e.section->symbolIndex : -1;
    return GetLibSymbolPinDataId(editor->item, PinSet(editor), symbol, e.pin);
}

std::string EntryName(SymbolEditorRecord* editor, const PinListEntry& e) {
    char name[kPinTextSize] = "";
    GetIndexedPinDataName(editor->item->pinTable, int32_t(EntryDataId(editor, e)), editor->item->stringBlock, name);
    return name;
}

int32_t EntryType(SymbolEditorRecord* editor, const PinListEntry& e) {
    Handle record = GetIndexedPinData(editor->item->pinTable, int32_t(EntryDataId(editor, e)));
    return record ? GetPinDataType(record, false) : 0;
}

std::string EntrySlot(SymbolEditorRecord* editor, const PinListEntry& e) {
    if (!e.section) return "zzz";
    char suffix[kLibItemTextSize] = "";
    GetLibSectionSuffix(e.section, editor->item->stringBlock, suffix);
    return suffix;
}

// The hidden pin's pin data changed through a copy: `change` edits the copy; the interned copy's
// id is set on the pin. False when the pin has no pin data or nothing changed.
template <typename Change>
bool ChangeHiddenPinData(SymbolEditorRecord* editor, int32_t index, Change change) {
    LibraryItem* item = editor->item;
    uint32_t id = 0xFFFFFFFF;
    GetLibItemHiddenPinInfo(item, PinSet(editor), index, nullptr, &id);
    Handle copy = GetPinDataCopy(item->pinTable, int32_t(id));
    if (!copy) return false;
    change(copy);
    const int32_t newId = AddPinDataToTable(item->pinTable, copy);
    DestroyPinData(copy);
    if (newId < 0 || uint32_t(newId) == id) return false;
    SetLibItemHiddenPinDataId(item, PinSet(editor), index, uint32_t(newId));
    return true;
}

bool CommitHiddenPinText(SymbolEditorRecord* editor, int32_t row, int32_t field, const char* text) {
    LibraryItem* item = editor->item;
    const StringBlock block = item->stringBlock;
    if (field == kHiddenFieldNumber) {
        SetSymbolLibItemModified(editor);
        SetLibItemHiddenPinNumber(item, PinSet(editor), row, text);
        return true;
    }
    SetSymbolLibItemModified(editor);
    (void)ChangeHiddenPinData(editor, row, [&](Handle copy) {
        char oldName[kPinTextSize], signal[kPinTextSize];
        GetPinDataName(copy, block, oldName);
        GetHiddenPinSignalName(copy, block, false, signal);
        if (field == kHiddenFieldName) {
            SetPinDataName(copy, block, text);
            // A pin renamed without a signal name of its own stays on its signal.
            if (!*signal && *oldName) std::snprintf(signal, sizeof signal, "%s", oldName);
        } else {
            std::snprintf(signal, sizeof signal, "%s", text);
        }
        char name[kPinTextSize];
        GetPinDataName(copy, block, name);
        if (std::strcmp(signal, name) == 0) *signal = 0;
        SetHiddenPinSignalName(copy, block, signal);
    });
    return true;
}

bool IsLastRowEmpty(SymbolEditorRecord* editor) {
    LibraryItem* item = editor->item;
    char a[kSymListCellSize], b[kSymListCellSize], c[kSymListCellSize];
    switch (editor->currentTab) {
        case kSymEditTabNames: {
            const int32_t n = CountLibraryItemNames(item);
            if (n == 0) return false;
            GetLibraryItemNameInfo(item, n - 1, a);
            return IsBlank(a);
        }
        case kSymEditTabPackages: {
            const int32_t n = item->head.packageCount;
            if (n == 0) return false;
            GetLibPackageName(item, n - 1, a);
            GetLibPackageFootprint(item, n - 1, b);
            return IsBlank(a) && IsBlank(b);
        }
        case kSymEditTabHiddenPins: {
            const int32_t n = CountHiddenPins(editor);
            if (n == 0) return false;
            GetSymbolEditorListText(editor, n - 1, kHiddenFieldNumber, a);
            GetSymbolEditorListText(editor, n - 1, kHiddenFieldName, b);
            uint32_t id = 0xFFFFFFFF;
            GetLibItemHiddenPinInfo(item, PinSet(editor), n - 1, nullptr, &id);
            *c = 0;
            if (Handle record = GetIndexedPinData(item->pinTable, int32_t(id)))
                GetHiddenPinSignalName(record, item->stringBlock, false, c);
            return IsBlank(a) && IsBlank(b) && IsBlank(c);
        }
        default: return true;
    }
}

void DeleteHiddenPinsIf(SymbolEditorRecord* editor, bool (*drop)(SymbolEditorRecord*, int32_t)) {
    for (int32_t i = CountHiddenPins(editor) - 1; i >= 0; --i)
        if (drop(editor, i)) DeleteHiddenPinFromLibItem(editor->item, PinSet(editor), i);
}

// The cell being edited in the tab's list view, committed; false when refused.
bool CommitEditedListCell(SymbolEditorRecord* editor) {
    VXWindowRecordTag* list = ListWindow(editor);
    return !list || VXFlushListViewEditField(list) != 0;
}

}  // namespace

void RefreshSymbolEditorList(SymbolEditorRecord* editor) {
    VXWindowRecordTag* list = ListWindow(editor);
    if (!list) return;
    const int32_t rows = CountSymbolEditorListRows(editor);
    const int32_t shown = VXCountListViewItems(list);
    if (shown > rows) VXDeleteListViewItemData(list, rows, shown - rows);
    for (int32_t row = shown; row < rows; ++row) {
        const int32_t index = row;
        VXInsertListViewItemData(list, row, &index, 1);
    }
    VXInvalidateHierarchy(list);
}

void SetSymbolEditorListWindow(SymbolEditorRecord* editor, VXWindowRecordTag* list) {
    State(editor).listID = list ? list->windowID : 0;
}

SymbolEditorRecord* SymbolEditorOfList(VXWindowRecordTag* window) {
    for (auto& [editor, state] : gLists)
        if (window && state.listID == window->windowID) return const_cast<SymbolEditorRecord*>(editor);
    return nullptr;
}

void SetPinListSortField(int32_t field) {
    EnsureSortKeys();
    if (field >= kPinFieldNumber && field <= kPinFieldSlot) ToFront(field);
}

void BuildPinListEditArray(SymbolEditorRecord* editor) {
    std::vector<PinListEntry>& pins = State(editor).pins;
    pins.clear();
    LibraryItem* item = editor->item;
    if (!item) return;
    const int32_t pinSet = PinSet(editor);
    for (int32_t k = 0; k < item->head.symbolCount; ++k)
        for (auto* s = static_cast<LibSection*>(LLFirst(item->sections)); s; s = s->next)
            if (s->symbolIndex == k)
                for (int32_t pin = 0; pin < CountLibSymbolPins(item, pinSet, k); ++pin) pins.push_back({s, pin});
    for (int32_t pin = 0; pin < CountHiddenPins(editor); ++pin) pins.push_back({nullptr, pin});
    EnsureSortKeys();
    std::stable_sort(pins.begin(), pins.end(), [editor](const PinListEntry& a, const PinListEntry& b) {
        return PinListViewSortProc(editor, a, b) < 0;
    });
}

const std::vector<PinListEntry>& GetPinListEditArray(const SymbolEditorRecord* editor) {
    return State(editor).pins;
}

void FreePinListEditArray(SymbolEditorRecord* editor) {
    gLists.erase(editor);
}

int32_t PinListViewSortProc(SymbolEditorRecord* editor, const PinListEntry& a, const PinListEntry& b) {
    for (int32_t key : gPinListSortField) {
        int32_t r = 0;
        switch (key) {
            case kPinFieldNumber:
                r = StrCmpAlphaNumeric(EntryNumber(editor, a).c_str(), EntryNumber(editor, b).c_str(), false);
                break;
            case kPinFieldName:
                r = StrCmpAlphaNumeric(EntryName(editor, a).c_str(), EntryName(editor, b).c_str(), false);
                break;
            case kPinFieldType: r = EntryType(editor, a) - EntryType(editor, b); break;
            case kPinFieldSlot:
                r = StrCmpAlphaNumeric(EntrySlot(editor, a).c_str(), EntrySlot(editor, b).c_str(), false);
                break;
            default: break;
        }
        if (r != 0) return r;
    }
    return 0;
}

uint32_t GetPinListDataId(SymbolEditorRecord* editor, int32_t row, PinListEntry* entry, int32_t* definition) {
    const std::vector<PinListEntry>& pins = State(editor).pins;
    if (row < 0 || row >= int32_t(pins.size())) return 0xFFFFFFFF;
    const PinListEntry& e = pins[size_t(row)];
    if (entry) *entry = e;
    if (definition) *definition = e.section ? e.section->symbolIndex : -1;
    return EntryDataId(editor, e);
}

bool ChangeLibItemPinData(SymbolEditorRecord* editor, int32_t row, int32_t type, const char* name,
                          std::vector<int32_t>* changedRows) {
    PinListEntry entry{};
    int32_t definition = -1;
    const uint32_t id = GetPinListDataId(editor, row, &entry, &definition);
    LibraryItem* item = editor->item;
    Handle copy = GetPinDataCopy(item->pinTable, int32_t(id));
    if (!copy) return false;
    if (name) SetPinDataName(copy, item->stringBlock, name);
    if (type >= 0) SetPinDataType(copy, uint8_t(type), false);
    const int32_t newId = AddPinDataToTable(item->pinTable, copy);
    DestroyPinData(copy);
    if (newId < 0 || uint32_t(newId) == id) return false;
    if (!SetLibSymbolPinDataId(item, PinSet(editor), definition, entry.pin, uint32_t(newId))) return false;
    if (changedRows) {
        const std::vector<PinListEntry>& pins = State(editor).pins;
        for (int32_t r = 0; r < int32_t(pins.size()); ++r) {
            const PinListEntry& e = pins[size_t(r)];
            const bool same = entry.section ? e.section && e.pin == entry.pin && e.section->symbolIndex == definition
                                            : r == row;
            if (same) changedRows->push_back(r);
        }
    }
    return true;
}

int32_t CountSymbolEditorListRows(SymbolEditorRecord* editor) {
    if (!editor->item) return 0;
    switch (editor->currentTab) {
        case kSymEditTabNames: return CountLibraryItemNames(editor->item);
        case kSymEditTabPackages: return editor->item->head.packageCount;
        case kSymEditTabPins: return int32_t(State(editor).pins.size());
        case kSymEditTabHiddenPins: return CountHiddenPins(editor);
        default: return 0;
    }
}

void GetSymbolEditorListText(SymbolEditorRecord* editor, int32_t row, int32_t field, char* text) {
    *text = 0;
    LibraryItem* item = editor->item;
    if (!item || row < 0 || row >= CountSymbolEditorListRows(editor)) return;
    char buffer[kPinTextSize] = "";
    switch (editor->currentTab) {
        case kSymEditTabNames: GetLibraryItemNameInfo(item, row, buffer); break;
        case kSymEditTabPackages:
            if (field == kPackageFieldName) GetLibPackageName(item, row, buffer);
            else GetLibPackageFootprint(item, row, buffer);
            break;
        case kSymEditTabPins: {
            const PinListEntry& e = State(editor).pins[size_t(row)];
            switch (field) {
                case kPinFieldNumber: std::snprintf(buffer, sizeof buffer, "%s", EntryNumber(editor, e).c_str()); break;
                case kPinFieldName: std::snprintf(buffer, sizeof buffer, "%s", EntryName(editor, e).c_str()); break;
                case kPinFieldType: GetPinTypeString(uint8_t(EntryType(editor, e)), buffer); break;
                case kPinFieldSlot:
                    std::snprintf(buffer, sizeof buffer, "%s", e.section ? EntrySlot(editor, e).c_str() : "n/a");
                    break;
                default: break;
            }
            break;
        }
        case kSymEditTabHiddenPins: {
            uint32_t id = 0xFFFFFFFF;
            GetLibItemHiddenPinInfo(item, PinSet(editor), row, field == kHiddenFieldNumber ? buffer : nullptr, &id);
            Handle record = GetIndexedPinData(item->pinTable, int32_t(id));
            if (field == kHiddenFieldName && record) GetPinDataName(record, item->stringBlock, buffer);
            if (field == kHiddenFieldSignal && record) GetHiddenPinSignalName(record, item->stringBlock, true, buffer);
            break;
        }
        default: break;
    }
    std::snprintf(text, kSymListCellSize, "%s", buffer);
}

bool CommitSymbolEditorListText(SymbolEditorRecord* editor, int32_t row, int32_t field, const char* typed) {
    LibraryItem* item = editor->item;
    if (!item || row < 0 || row >= CountSymbolEditorListRows(editor)) return true;
    char text[kSymListCellSize], old[kSymListCellSize];
    Trimmed(typed, text);
    GetSymbolEditorListText(editor, row, field, old);
    if (std::strcmp(text, old) == 0) return true;
    switch (editor->currentTab) {
        case kSymEditTabNames: {
            if (!*text) std::strcpy(text, " ");
            const uint8_t info = GetLibraryItemNameInfo(item, row, nullptr);
            if (SetLibraryItemNameInfo(item, row, text, info)) SetSymbolLibItemModified(editor);
            return true;
        }
        case kSymEditTabPackages:
            if (field == kPackageFieldName) SetLibPackageName(item, row, text);
            else SetLibPackageFootprint(item, row, text);
            SetSymbolLibItemModified(editor);
            return true;
        case kSymEditTabPins: {
            const PinListEntry e = State(editor).pins[size_t(row)];
            if (field == kPinFieldNumber) {
                if (!*text) return false;
                // A number another pin of the pin set has already is kept, with a warning.
                const std::vector<PinListEntry>& pins = State(editor).pins;
                for (size_t other = 0; other < pins.size(); ++other)
                    if (int32_t(other) != row && EntryNumber(editor, pins[other]) == text) {
                        VXBeep();
                        break;
                    }
                (void)SetLibItemPinNumber(item, e.section, PinSet(editor), e.pin, text);  // the number's StringSpec is not needed
                SetSymbolLibItemModified(editor);
                return true;
            }
            if (field != kPinFieldName) return true;
            if (!*text && !e.section) return false;
            if (ChangeLibItemPinData(editor, row, -1, text)) SetSymbolLibItemModified(editor);
            return true;
        }
        case kSymEditTabHiddenPins: return CommitHiddenPinText(editor, row, field, text);
        default: return true;
    }
}

void CreateNewListEntryIfNeeded(SymbolEditorRecord* editor) {
    LibraryItem* item = editor->item;
    if (!item) return;
    const int32_t rows = CountSymbolEditorListRows(editor);
    if (rows > 0 && IsLastRowEmpty(editor)) return;
    switch (editor->currentTab) {
        case kSymEditTabNames: (void)SetLibraryItemNameInfo(item, kLibAppendName, " ", 0); break;  // no row when memory fails
        case kSymEditTabPackages:
            if (item->head.packageCount < kMaxListPackages) (void)AddNewPackageToLibItem(item, PinSet(editor));
            break;
        case kSymEditTabHiddenPins: {
            Handle record = CreateNewPinData();
            if (!record) return;
            SetPinDataType(record, kPinPower, false);
            const int32_t id = AddPinDataToTable(item->pinTable, record);
            DestroyPinData(record);
            if (id >= 0) (void)AddNewHiddenPinToLibItem(item, PinSet(editor), "", uint32_t(id));
            break;
        }
        default: break;
    }
}

void DeleteSymbolEditorListRows(SymbolEditorRecord* editor, std::vector<int32_t> rows) {
    LibraryItem* item = editor->item;
    if (!item) return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    bool deleted = false;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        const int32_t row = *it;
        if (row < 0 || row >= CountSymbolEditorListRows(editor)) continue;
        switch (editor->currentTab) {
            case kSymEditTabNames:
                DeleteLibraryItemNameInfo(item, row);
                if (row <= editor->primaryName) --editor->primaryName;
                break;
            case kSymEditTabPackages: DeleteLibItemPackage(item, row); break;
            case kSymEditTabHiddenPins: DeleteHiddenPinFromLibItem(item, PinSet(editor), row); break;
            default: continue;
        }
        deleted = true;
    }
    if (deleted) SetSymbolLibItemModified(editor);
    CreateNewListEntryIfNeeded(editor);
    if (editor->primaryName < 0) editor->primaryName = 0;
}

bool SetDefaultItemName(SymbolEditorRecord* editor, int32_t row) {
    if (row < 0 || row >= CountLibraryItemNames(editor->item) || row == editor->primaryName) return false;
    editor->primaryName = int16_t(row);
    SetSymbolLibItemModified(editor);
    return true;
}

bool DoSymbolEditorListCommand(SymbolEditorRecord* editor, uint16_t command, int32_t row,
                               const std::vector<int32_t>& selected) {
    LibraryItem* item = editor->item;
    if (!item || command < kListMenuFirstCommand) return false;
    const int32_t value = command - kListMenuFirstCommand;
    std::vector<int32_t> targets{row};
    if (selected.size() >= 2 && std::find(selected.begin(), selected.end(), row) != selected.end()) targets = selected;
    bool changed = false;
    if (editor->currentTab == kSymEditTabPins && value <= kPinPower) {
        for (int32_t r : targets) {
            PinListEntry e{};
            if (GetPinListDataId(editor, r, &e, nullptr) == 0xFFFFFFFF || EntryType(editor, e) == value) continue;
            changed |= ChangeLibItemPinData(editor, r, value, nullptr);
        }
    } else if (editor->currentTab == kSymEditTabNames && value < item->head.packageCount) {
        for (int32_t r : targets) {
            if (r < 0 || r >= CountLibraryItemNames(item) || GetLibraryItemNameInfo(item, r, nullptr) == value) continue;
            changed |= SetLibraryItemNameInfo(item, r, nullptr, uint8_t(value));
        }
    }
    if (changed) SetSymbolLibItemModified(editor);
    return changed;
}

int32_t FlushSymbolEditorList(SymbolEditorRecord* editor, bool keepRows) {
    LibraryItem* item = editor->item;
    if (!item) return 1;
    if (!CommitEditedListCell(editor)) return 0;
    char a[kSymListCellSize], b[kSymListCellSize];
    switch (editor->currentTab) {
        case kSymEditTabNames: {
            int32_t primary = editor->primaryName;
            for (int32_t i = CountLibraryItemNames(item) - 1; i >= 0; --i) {
                GetLibraryItemNameInfo(item, i, a);
                if (!IsBlank(a)) continue;
                DeleteLibraryItemNameInfo(item, i);
                if (i == primary) primary = 0;
                else if (i < primary) --primary;
            }
            if (primary < 0 || primary >= CountLibraryItemNames(item)) primary = 0;
            if (primary > 0) {
                const uint8_t infoFirst = GetLibraryItemNameInfo(item, 0, a);
                const uint8_t infoPrimary = GetLibraryItemNameInfo(item, primary, b);
                (void)SetLibraryItemNameInfo(item, 0, b, infoPrimary);  // both names exist: no growth fails
                (void)SetLibraryItemNameInfo(item, primary, a, infoFirst);
                primary = 0;
            }
            editor->primaryName = int16_t(primary);
            UpdateSymbolEditorTitle(editor);
            break;
        }
        case kSymEditTabPackages:
            for (int32_t i = item->head.packageCount - 1; i >= 0; --i) {
                GetLibPackageName(item, i, a);
                GetLibPackageFootprint(item, i, b);
                if (IsBlank(a) && IsBlank(b)) DeleteLibItemPackage(item, i);
            }
            break;
        case kSymEditTabHiddenPins:
            DeleteHiddenPinsIf(editor, [](SymbolEditorRecord* e, int32_t i) {
                char number[kSymListCellSize], name[kSymListCellSize], signal[kSymListCellSize] = "";
                GetSymbolEditorListText(e, i, kHiddenFieldNumber, number);
                GetSymbolEditorListText(e, i, kHiddenFieldName, name);
                uint32_t id = 0xFFFFFFFF;
                GetLibItemHiddenPinInfo(e->item, PinSet(e), i, nullptr, &id);
                if (Handle record = GetIndexedPinData(e->item->pinTable, int32_t(id)))
                    GetHiddenPinSignalName(record, e->item->stringBlock, false, signal);
                return IsBlank(number) && IsBlank(name) && IsBlank(signal);
            });
            break;
        default: break;
    }
    if (keepRows) {
        CreateNewListEntryIfNeeded(editor);
        RefreshSymbolEditorList(editor);
    }
    return 1;
}

// ---- The list view ----

uint16_t TrackListPopupMenu(VXWindowRecordTag* window, Point where, const char* title, uint16_t firstCommand,
                            const std::vector<std::string>& items, int32_t checked) {
    VXMenuRecord* menu = VXNewMenu(kPinTypeMenuId, title);
    if (!menu) return 0;
    for (size_t i = 0; i < items.size(); ++i)
        (void)VXInsertMenuItem(menu, true, int32_t(i) + 1, uint16_t(firstCommand + i), items[i].c_str());  // appended
    if (checked >= 0 && checked < int32_t(items.size())) VXSetMenuItemChecked(menu, true, checked + 1, true);
    const uint16_t chosen = VXPopupMenuClick(window, where, 0, false, menu, true, checked >= 0 ? checked + 1 : 0);
    VXDestroyMenuEx(menu, true);
    return chosen;
}

std::vector<std::string> PinTypeNames(uint8_t typeValue) {
    std::vector<std::string> names;
    char name[kPinTextSize];
    const int32_t count = (typeValue & 0x40) ? 4 : kPinTypeCount;
    for (int32_t type = 0; type < count; ++type) {
        GetPinTypeString(uint8_t(type), name);
        names.push_back(name);
    }
    return names;
}

void DrawListRowGrid(const Rect& row, std::span<const int16_t> columns) {
    QZSetColor(nullptr, 0x0ABBBBBB, false);
    VXMoveTo(row.left, int16_t(row.bottom - 1));
    VXLineTo(int16_t(row.left + 2000), int16_t(row.bottom - 1));
    for (int16_t x : columns) {
        VXMoveTo(int16_t(row.left + x), row.top);
        VXLineTo(int16_t(row.left + x), int16_t(row.bottom - 1));
    }
}


namespace {

struct HiddenPinAttributesRecord {
    Handle data;
    StringBlock block;
    const char* title;
    void* attributeEditor = nullptr;
    bool changed = false;
};
HiddenPinAttributesRecord* gPinAttributes = nullptr;

}  // namespace

int32_t PinAttributesDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    HiddenPinAttributesRecord* r = gPinAttributes;
    if (!r) return 0;
    auto* head = reinterpret_cast<PinDataRecord*>(*r->data);
    if (event->kind == kVXCreateEvent) {
        VXSetWindowTitle(window, r->title);
        Rect area{};
        VXGetItemPosition(window, kPinAttributesListItem, &area);
        r->attributeEditor = SymbolEditorAttributeWindow(window, &area, r->data, sizeof(PinDataRecord),
                                                         head->attributeCount, r->block, 8, false, false);
        (void)EditSymbolEditorAttributeRow(r->attributeEditor, 0);  // editing starts in the first row
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        int16_t count = head->attributeCount;
        r->changed = TakeSymbolEditorAttributes(r->attributeEditor, &r->data, sizeof(PinDataRecord), &count, r->block, false);
        if (r->changed) reinterpret_cast<PinDataRecord*>(*r->data)->attributeCount = count;  // the run may have moved
    }
    return 0;
}

void EditHiddenPinAttributes(SymbolEditorRecord* editor) {
    VXWindowRecordTag* list = ListWindow(editor);
    if (list && !VXFlushListViewEditField(list)) return;
    int32_t row = list ? VXGetListViewSelection(list, -1) : -1;
    if (row < 0 && list) row = VXGetListViewEditFocus(list, nullptr, nullptr, nullptr);
    if (row < 0 || row >= CountHiddenPins(editor)) return;
    LibraryItem* item = editor->item;
    char number[kLibItemTextSize] = "";
    uint32_t id = 0xFFFFFFFF;
    GetLibItemHiddenPinInfo(item, PinSet(editor), row, number, &id);
    HiddenPinAttributesRecord record{GetPinDataCopy(item->pinTable, int32_t(id)), item->stringBlock, nullptr};
    if (!record.data) return;
    char title[kLibItemTextSize + 32];
    if (*number) std::snprintf(title, sizeof title, "Pin %s - Attributes", number);
    else std::snprintf(title, sizeof title, "Pin Attributes");
    record.title = title;
    HiddenPinAttributesRecord* saved = std::exchange(gPinAttributes, &record);
    const int16_t ended = VXModalDialog(kPinAttributesTemplate, kVXPlaceCentre, PinAttributesDialogHandler, nullptr);
    gPinAttributes = saved;
    if (ended == 1 && record.changed) {
        const int32_t newId = AddPinDataToTable(item->pinTable, record.data);
        if (newId >= 0 && uint32_t(newId) != id) {
            SetLibItemHiddenPinDataId(item, PinSet(editor), row, uint32_t(newId));
            SetSymbolLibItemModified(editor);
        }
    }
    DestroyPinData(record.data);
}


}  // namespace plexa
