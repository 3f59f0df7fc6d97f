// The attribute editor's private list and its rules.
#include "sheeteditor/attributeeditor.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/attributes.h"
#include "model/sheetstrings.h"
#include "model/symbols.h"
#include "sheeteditor/propertynames.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_alerts.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textedit.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

std::string SpecText(StringSpec spec, StringBlock block) {
    char buffer[kStringSpecBufferSize] = {};
    ExtractStringSpec(spec, block, buffer, int32_t(sizeof buffer));
    return buffer;
}

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.back())) s.pop_back();
    size_t i = 0;
    while (i < s.size() && blank(s[i])) i++;
    return s.substr(i);
}

// Characters of UTF-8 text (continuation bytes not counted).
int32_t CountCharacters(const std::string& text) {
    return int32_t(std::count_if(text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StrCINCmp(a.c_str(), b.c_str(), uint16_t(std::min<size_t>(a.size(), 0xFFFF))) == 0;
}

// Alphanumeric order: runs of digits compared by value, the rest ignoring case.
bool AlnumLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(uint8_t(a[i])) && std::isdigit(uint8_t(b[j]))) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(uint8_t(a[ei]))) ei++;
            while (ej < b.size() && std::isdigit(uint8_t(b[ej]))) ej++;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        const int ca = std::toupper(uint8_t(a[i])), cb = std::toupper(uint8_t(b[j]));
        if (ca != cb) return ca < cb;
        i++;
        j++;
    }
    return a.size() - i < b.size() - j;
}

void RestoreTrailingRow(AttributeEditor* editor) {
    if (editor->rows.empty() || !editor->rows.back().name.empty() || !editor->rows.back().value.empty())
        editor->rows.push_back({});
}

bool Refuse(const char* message) {
    VXDisplayMessage(message);
    return false;
}

}  // namespace

AttributeEditor* CreateAttributeEditor(StringBlock sourceBlock, Handle source, uint32_t start, int32_t count,
                                       int32_t listKind, bool readOnly) {
    auto* editor = new AttributeEditor{};
    editor->listKind = uint16_t(listKind);
    editor->readOnly = readOnly;
    if (source && sourceBlock) {
        const int32_t readable = std::min<int32_t>(count, int32_t((SizeOfHandle(source) - std::min(start, SizeOfHandle(source))) / kAttributeSize));
        for (int32_t i = 0; i < readable; i++) {
            AttributeRecord r;
            std::memcpy(&r, *source + start + uint32_t(i) * kAttributeSize, kAttributeSize);
            std::string name = Trimmed(SpecText(r.name, sourceBlock).c_str());
            if (name.empty() || name[0] == '~') continue;
            if (std::any_of(editor->rows.begin(), editor->rows.end(),
                            [&](const AttributeEditorRow& row) { return SameName(row.name, name); }))
                continue;
            editor->rows.push_back({name, SpecText(r.value, sourceBlock), r.flags});
        }
    }
    editor->rows.push_back({});
    editor->namesMenu = CreatePropertyNamesMenu(listKind);
    return editor;
}

void DestroyAttributeEditor(AttributeEditor* editor) {
    if (!editor) return;
    // Windows that outlive the editor no longer reach it.
    if (editor->listWindow) editor->listWindow->refCon = nullptr;
    if (editor->headerWindow) editor->headerWindow->refCon = nullptr;
    if (editor->header) VXDestroyColumnHeader(static_cast<VXColumnHeaderRecord>(editor->header));
    if (editor->namesMenu) VXDestroyMenuEx(editor->namesMenu, true);
    delete editor;
}

void CloseAttributeEditor(AttributeEditor* editor) {
    if (!editor) return;
    if (VXWindowRecordTag* header = editor->headerWindow) VXDestroyWindow(header);
    if (VXWindowRecordTag* list = editor->listWindow) VXDestroyWindow(list);  // frees the editor
    else DestroyAttributeEditor(editor);
}

std::string GetAttributeEditorName(const AttributeEditor* editor, int32_t row) {
    if (!editor || row < 0 || row >= int32_t(editor->rows.size())) return {};
    return editor->rows[size_t(row)].name;
}

std::string GetAttributeEditorValue(const AttributeEditor* editor, int32_t row) {
    if (!editor || row < 0 || row >= int32_t(editor->rows.size())) return {};
    return editor->rows[size_t(row)].value;
}

bool IsAttributeNameCharacter(uint32_t c) {
    return c != '`' && c != '{' && c != '}' && c != '~' && c != ' ' && c != '\t' && c != 0xA0;
}

std::string AttributeNamePasteFilter(const std::string& pasted) {
    std::string out;
    for (char c : pasted) {
        switch (c) {
            case '`': out += '\''; break;
            case '{': out += '<'; break;
            case '}': out += '>'; break;
            case '~': out += '^'; break;
            case ' ': case '\t': out += '_'; break;
            default: out += c;
        }
    }
    return out;
}

int32_t CommitAttributeField(AttributeEditor* editor, int32_t row, int32_t column, const char* text) {
    if (!editor || editor->readOnly || row < 0 || row >= int32_t(editor->rows.size())) return 0;
    AttributeEditorRow& entry = editor->rows[size_t(row)];
    const std::string typed = Trimmed(text);
    if (column == 1) {
        if (typed == entry.value) return 1;
        if (CountCharacters(typed) > kMaxAttributeValueChars)
            return Refuse("An attribute value can hold at most 1000 characters.");
        if (typed.size() > kStringSpecMaxLength)
            return Refuse("This attribute value is too long to be stored: it takes more than 1023 bytes.");
        entry.value = typed;
    } else {
        if (typed.empty() || typed == entry.name) return 1;
        if (CountCharacters(typed) > kMaxAttributeNameChars)
            return Refuse("An attribute name can hold at most 200 characters.");
        if (!std::all_of(typed.begin(), typed.end(), [](char c) { return IsAttributeNameCharacter(uint8_t(c)); }))
            return Refuse("An attribute name cannot hold blanks or the characters ` { } ~.");
        entry.name = typed;
    }
    editor->changed = 1;
    RestoreTrailingRow(editor);
    return 1;
}

std::string AutoCompleteAttributeName(const AttributeEditor* editor, int32_t row, const char* typed) {
    if (!editor || !typed || !*typed) return {};
    const size_t n = std::strlen(typed);
    std::string best;
    const int32_t kind = editor->listKind;
    if (kind < 0 || kind >= kPropertyNamesKinds || !editor->namesMenu) return {};
    for (const std::string& name : gPropertyNamesTable[kind]) {
        if (name.size() <= n || StrCINCmp(name.c_str(), typed, uint16_t(n)) != 0) continue;
        bool used = false;
        for (size_t r = 0; r < editor->rows.size() && !used; r++)
            used = int32_t(r) != row && SameName(editor->rows[r].name, name);
        if (used) continue;
        if (best.empty() || AlnumLess(name, best)) best = name;
    }
    return best;
}

uint16_t gClipAttrKind = 65535;

namespace {
AttributeClipHooks gAttributeClipHooks;
}  // namespace

void SetAttributeClipHooks(const AttributeClipHooks& hooks) { gAttributeClipHooks = hooks; }
const AttributeClipHooks& GetAttributeClipHooks() { return gAttributeClipHooks; }

bool AttributeClipIsCurrent() {
    if (gClipAttrKind == 65535 || !gClipAttributes || gClipAttrCount <= 0) return false;
    return !gAttributeClipHooks.clipboardIsCurrent || gAttributeClipHooks.clipboardIsCurrent();
}

void CopySelectedAttributes(AttributeEditor* editor, const std::vector<int32_t>& selected) {
    if (!editor) return;
    if (gClipAttributes) MemFree(gClipAttributes);
    gClipAttributes = AllocHandle(gGenPool, 0);
    gClipAttrCount = 0;
    if (gClipAttrStringBlock) EmptyStringBlock(gClipAttrStringBlock, false);
    else gClipAttrStringBlock = CreateStringBlock(gGenPool, 256);
    if (gClipAttributes && gClipAttrStringBlock) {
        for (int32_t row : selected) {
            if (row < 0 || row >= int32_t(editor->rows.size()) || editor->rows[size_t(row)].name.empty()) continue;
            const AttributeEditorRow& r = editor->rows[size_t(row)];
            SetAttributeValue(gClipAttrStringBlock, gClipAttributes, 0, &gClipAttrCount, r.name.c_str(),
                              r.value.empty() ? kAttributeEmptyValue : r.value.c_str(), &r.flags);
        }
    }
    gClipAttrKind = gClipAttrCount > 0 ? editor->listKind : 65535;
}

std::vector<int32_t> PasteAttributes(AttributeEditor* editor, int32_t at) {
    std::vector<int32_t> pasted;
    if (!editor || editor->readOnly || !gClipAttributes || gClipAttrCount <= 0) return pasted;
    int32_t insert = (at < 0 || at >= int32_t(editor->rows.size())) ? int32_t(editor->rows.size()) - 1 : at;
    for (int32_t i = gClipAttrCount - 1; i >= 0; i--) {
        if (uint32_t(i + 1) * kAttributeSize > SizeOfHandle(gClipAttributes)) continue;
        AttributeRecord r;
        std::memcpy(&r, *gClipAttributes + uint32_t(i) * kAttributeSize, kAttributeSize);
        const AttributeEditorRow clip{SpecText(r.name, gClipAttrStringBlock), SpecText(r.value, gClipAttrStringBlock),
                                      r.flags};
        const auto same = std::find_if(editor->rows.begin(), editor->rows.end(),
                                       [&](const AttributeEditorRow& row) { return SameName(row.name, clip.name); });
        if (same != editor->rows.end()) {
            same->value = clip.value;
            same->flags = clip.flags;
            pasted.push_back(int32_t(same - editor->rows.begin()));
            continue;
        }
        editor->rows.insert(editor->rows.begin() + insert, clip);
        for (int32_t& row : pasted)
            if (row >= insert) row++;
        pasted.push_back(insert);
    }
    editor->changed = 1;
    RestoreTrailingRow(editor);
    std::sort(pasted.begin(), pasted.end());
    return pasted;
}

int32_t ChangeAttributeIndex(AttributeEditor* editor, int32_t from, int32_t to) {
    if (!editor || editor->readOnly) return from;
    const int32_t last = int32_t(editor->rows.size()) - 2;  // the last real row
    if (from < 0 || from > last) return from;
    to = std::clamp(to, 0, last);
    if (to == from) return from;
    AttributeEditorRow moved = std::move(editor->rows[size_t(from)]);
    editor->rows.erase(editor->rows.begin() + from);
    editor->rows.insert(editor->rows.begin() + to, std::move(moved));
    editor->changed = 1;
    return to;
}

void DeleteSelectedAttributes(AttributeEditor* editor, std::vector<int32_t> selected) {
    if (!editor || editor->readOnly) return;
    std::sort(selected.begin(), selected.end());
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        if (*it >= 0 && *it + 1 < int32_t(editor->rows.size())) editor->rows.erase(editor->rows.begin() + *it);
    editor->changed = 1;
    RestoreTrailingRow(editor);
}

void DeleteUserAttributes(Handle list, uint32_t start, int16_t* count, StringBlock block) {
    if (!list || !count) return;
    for (int32_t i = *count - 1; i >= 0; i--) {
        if (start + uint32_t(i + 1) * kAttributeSize > SizeOfHandle(list)) continue;
        AttributeRecord r;
        std::memcpy(&r, *list + start + uint32_t(i) * kAttributeSize, kAttributeSize);
        if (SpecText(r.name, block).rfind('~', 0) != 0) DeleteIndexedAttribute(list, start, count, i);
    }
}

Handle GetAttributeEditorData(AttributeEditor* editor, Handle target, uint32_t start, int16_t* targetCount,
                              StringBlock targetBlock, bool freeWhenEmpty) {
    if (!editor || !targetCount || !targetBlock) return target;
    // Every name and value must fit the block before the old attributes go: one that does not
    // leaves the target as it was.
    for (const AttributeEditorRow& row : editor->rows) {
        if (row.name.empty()) continue;
        OSStatus st = ReserveBlockString(targetBlock, row.name.c_str());
        if (!st) st = ReserveBlockString(targetBlock, row.value.c_str());
        if (st) {
            VXErrorReport(st);
            return target;
        }
    }
    if (target) DeleteUserAttributes(target, start, targetCount, targetBlock);
    else {
        target = AllocHandle(gGenPool, 0);
        *targetCount = 0;
        if (!target) return nullptr;
    }
    for (const AttributeEditorRow& row : editor->rows) {
        if (row.name.empty()) continue;
        const uint16_t flags = row.flags;
        SetAttributeValue(targetBlock, target, start, targetCount, row.name.c_str(),
                          row.value.empty() ? kAttributeEmptyValue : row.value.c_str(), &flags);
    }
    if (freeWhenEmpty && *targetCount == 0) {
        MemFree(target);
        return nullptr;
    }
    return target;
}

// ---- The editor in a window ----

namespace {

constexpr int16_t kRowHeight = 17, kHeaderHeight = 17;
constexpr int16_t kNameLeft = 43, kNameRight = 158, kValueLeft = 163, kArrowLeft = 18, kArrowRight = 41;
constexpr int32_t kUIFontKind = 5;
constexpr int16_t kNameColumn = 1, kValueColumn = 2;
constexpr int32_t kScrollBarWidth = 15;

// The right end of the value field: before the "Vis" column, else the row's end.
int16_t ValueRight(const AttributeEditor* editor, int16_t rowWidth) {
    return editor->visColumn ? int16_t(editor->visColumn - 2) : int16_t(rowWidth - 2);
}

AttributeEditor* EditorOf(VXWindowRecordTag* window) {
    return window ? static_cast<AttributeEditor*>(window->refCon) : nullptr;
}

void DrawField(const std::string& text, int16_t left, int16_t right, int16_t baseline) {
    char shown[kVXListCellTextSize];
    std::snprintf(shown, sizeof shown, "%s", text.c_str());
    VXTruncString(shown, sizeof shown, right - left, 0);
    VXMoveTo(left, baseline);
    VXDrawTextWithEncoding(shown, int32_t(std::strlen(shown)), kEncodingUTF8);
}

// What the cell editor shows of a text: at most what its buffer holds.
std::string CellForm(const std::string& text) {
    char cell[kVXListCellTextSize] = {};
    std::snprintf(cell, sizeof cell, "%s", text.c_str());
    return cell;
}

void SyncRows(VXWindowRecordTag* list, AttributeEditor* editor) {
    const int32_t have = VXCountListViewItems(list);
    for (int32_t row = have; row < int32_t(editor->rows.size()); row++) VXInsertListViewItemData(list, -1, &row, 1);
}

int32_t AttributeListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    AttributeEditor* editor = EditorOf(window);
    if (!editor) return 0;
    const int32_t row = record->index;
    const bool real = row >= 0 && row < int32_t(editor->rows.size());
    const int16_t column = record->column;
    switch (message) {
        case kVXListDrawItem: {
            StdDrawHiliteEditListViewItem(window, record);
            if (!real) return 1;
            const Rect& cell = record->rect;
            const int16_t baseline = int16_t(cell.bottom - 4);
            int16_t editColumn = 0;
            const int32_t editing = VXGetListViewEditFocus(window, &editColumn, nullptr, nullptr);
            if (editor->namesMenu && row + 1 < int32_t(editor->rows.size()))
                DrawField("\xE2\x96\xBE", int16_t(cell.left + kArrowLeft + 6), int16_t(cell.left + kArrowRight), baseline);
            if (!(editing == row && editColumn == kNameColumn))
                DrawField(editor->rows[size_t(row)].name, int16_t(cell.left + kNameLeft), int16_t(cell.left + kNameRight),
                          baseline);
            if (!(editing == row && editColumn == kValueColumn))
                DrawField(editor->rows[size_t(row)].value, int16_t(cell.left + kValueLeft),
                          int16_t(cell.left + ValueRight(editor, int16_t(cell.right - cell.left))), baseline);
            if (editor->visColumn && (editor->rows[size_t(row)].flags & 1))
                DrawField("\xE2\x9C\x93", int16_t(cell.left + editor->visColumn + 8), int16_t(cell.right), baseline);
            return 1;
        }
        case kVXListMouseDown: {
            if (editor->readOnly || !real || !record->event) return kVXListClickHandled;
            const int16_t h = record->event->u.mouse.h;
            if (h < kArrowLeft) {
                // The drag area: a real row is dragged to another place; the empty row stays.
                if (!VXSetListViewEditFocus(window, -1, 0)) return kVXListClickHandled;
                return row + 1 < int32_t(editor->rows.size()) ? kVXListClickDragRow : kVXListClickHandled;
            }
            if (h >= kArrowLeft && h < kArrowRight) {
                // The names pop-up: a chosen name replaces the row's, and its value is edited next.
                if (!editor->namesMenu || row + 1 >= int32_t(editor->rows.size())) return kVXListClickHandled;
                (void)VXSetListViewEditFocus(window, -1, 0);  // a refused field keeps its focus
                const Point at{record->event->u.mouse.v, h};
                const uint16_t chosen = VXPopupMenuClick(window, at, 0, false, editor->namesMenu, false, 0);
                const std::string name =
                    GetIndexedPropertyName(&gPropertyNamesTable[editor->listKind], int32_t(chosen) - kPropertyNamesFirstCommand);
                if (!name.empty() && CommitAttributeField(editor, row, 0, name.c_str())) {
                    SyncRows(window, editor);
                    VXInvalListViewItem(window, row);
                    (void)VXSetListViewEditFocus(window, row, kValueColumn);  // the value is edited next
                }
                return kVXListClickHandled;
            }
            if (editor->visColumn && h >= editor->visColumn) {
                // The "Vis" column flips the row's visibility.
                if (row + 1 >= int32_t(editor->rows.size())) return kVXListClickHandled;
                (void)VXSetListViewEditFocus(window, -1, 0);  // a refused field keeps its focus
                for (int32_t i = VXGetListViewSelection(window, -1); i >= 0; i = VXGetListViewSelection(window, i + 1))
                    (void)VXSetListViewItemSelected(window, i, false);
                editor->rows[size_t(row)].flags ^= 1;
                editor->changed = 1;
                VXInvalListViewItem(window, row);
                return kVXListClickHandled;
            }
            // The list starts editing the column given.
            record->column = record->event->u.mouse.h >= kValueLeft - 3 ? kValueColumn : kNameColumn;
            return 0;
        }
        case kVXListEditRect:
            record->rect = {1, column == kNameColumn ? kNameLeft : kValueLeft, int16_t(kRowHeight - 2),
                            column == kNameColumn ? kNameRight : ValueRight(editor, record->width)};
            return 1;
        case kVXListFetchText:
            if (real && record->text)
                std::snprintf(record->text, kVXListCellTextSize, "%s",
                              (column == kNameColumn ? editor->rows[size_t(row)].name : editor->rows[size_t(row)].value)
                                  .c_str());
            return 1;
        case kVXListEditState:
            return 3;
        case kVXListDirtyTest: {
            if (!real || !record->text) return 1;
            const std::string& stored =
                column == kNameColumn ? editor->rows[size_t(row)].name : editor->rows[size_t(row)].value;
            return std::string(record->text) == CellForm(stored) ? 1 : 0;
        }
        case kVXListCommit: {
            if (!real || !record->text) return 1;
            // A text longer than the cell holds comes back cut: unchanged, it keeps the whole.
            const std::string& stored =
                column == kNameColumn ? editor->rows[size_t(row)].name : editor->rows[size_t(row)].value;
            if (std::string(record->text) == CellForm(stored)) return 1;
            const int32_t ok = CommitAttributeField(editor, row, column == kNameColumn ? 0 : 1, record->text);
            SyncRows(window, editor);
            VXInvalListViewItem(window, row);
            return ok ? 1 : 0;
        }
        case kVXListReorderDrop: {
            const int32_t to = ChangeAttributeIndex(editor, row, int32_t(record->param.value));
            (void)VXSetListViewItemSelected(window, to, true);
            return 1;
        }
        case kVXListEditNavigate:
            // Tab out of the last field and Shift-Tab out of the first leave for the dialog's items.
            if (editor->dialog) {
                record->param.pointer = editor->dialog;
                record->prevFocusWindow = editor->dialog;
                record->nextFocusItem = int16_t(editor->nextItem);
                record->prevFocusItem = int16_t(editor->previousItem);
            }
            return kVXListKeyMoveFocus | 2;
        case kVXListEditChar: {
            if (column != kNameColumn || !record->event) return 0;
            const uint16_t c = record->event->u.character.character;
            return c >= 32 && !IsAttributeNameCharacter(c) ? (kVXListKeyHandled | kVXListKeyBeep) : 0;
        }
        case kVXListTextChanged: {
            if (column != kNameColumn || !record->text || !record->te || record->param.bytes[1]) return 0;
            const std::string typed = record->text;
            if (typed.empty()) return 0;
            const std::string completion = AutoCompleteAttributeName(editor, row, typed.c_str());
            if (completion.size() <= typed.size()) return 0;
            const std::string tail = completion.substr(typed.size());
            if (!VXTEInsert(tail.c_str(), int32_t(tail.size()), kEncodingUTF8, record->te)) return 0;
            VXTESetSelect(int32_t(typed.size()), int32_t(completion.size()), record->te);
            return 1;
        }
        default:
            return 0;
    }
}

std::vector<int32_t> SelectedRows(VXWindowRecordTag* list) {
    std::vector<int32_t> rows;
    for (int32_t i = VXGetListViewSelection(list, -1); i >= 0; i = VXGetListViewSelection(list, i + 1)) rows.push_back(i);
    return rows;
}

// Cut, copy, paste, clear and select all on the rows while no field is edited.
int32_t AttributeListCommands(VXWindowRecordTag* window, VXEventRecord* event) {
    AttributeEditor* editor = EditorOf(window);
    if (editor && event->kind == kVXDestroyEvent) {
        // The editor lives as long as its list.
        editor->listWindow = nullptr;
        DestroyAttributeEditor(editor);
        return 0;
    }
    if (!editor || editor->readOnly || event->kind != kVXCommandEvent) return 0;
    int16_t column = 0;
    (void)VXGetListViewEditFocus(window, &column, nullptr, nullptr);
    if (column > 0) return 0;
    const uint16_t command = event->u.command.command;
    const std::vector<int32_t> selected = SelectedRows(window);
    switch (command) {
        case 302:
        case 303:
            if (selected.empty()) return 1;
            CopySelectedAttributes(editor, selected);
            if (gAttributeClipHooks.claimClipboard) gAttributeClipHooks.claimClipboard();
            if (command == 303) return 1;
            [[fallthrough]];
        case 305:
            DeleteSelectedAttributes(editor, selected);
            break;
        case 304:
            if (!AttributeClipIsCurrent()) return 1;
            (void)PasteAttributes(editor, selected.empty() ? -1 : selected.back() + 1);
            break;
        case 306:
            for (int32_t row = 0; row + 1 < int32_t(editor->rows.size()); row++)
                (void)VXSetListViewItemSelected(window, row, true);
            return 1;
        default:
            return 0;
    }
    VXDeleteListViewItemData(window, 0, -1);
    SyncRows(window, editor);
    Rect area{};
    VXGetClientRect(window, &area);
    VXInvalRect(window, &area);
    return 1;
}

}  // namespace

int32_t AttributeEditorPrepCommand(VXPrepCommandRecord* record) {
    if (!record || !record->window) return 0;
    AttributeEditor* editor = EditorOf(record->window);
    if (!editor || editor->readOnly) return 0;
    int16_t column = 0;
    (void)VXGetListViewEditFocus(record->window, &column, nullptr, nullptr);
    if (column > 0) return 0;
    switch (record->command) {
        case 306: record->enabled = 1; return 1;
        case 302:
        case 303:
        case 305: record->enabled = VXGetListViewSelection(record->window, -1) >= 0 ? 1 : 0; return 1;
        case 304: record->enabled = AttributeClipIsCurrent() ? 1 : 0; return 1;
        default: return 0;
    }
}

namespace {

int32_t AttributeHeaderHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    AttributeEditor* editor = EditorOf(window);
    if (editor && event->kind == kVXDestroyEvent) {
        editor->headerWindow = nullptr;
        return 0;
    }
    if (!editor || event->kind != kVXUpdateEvent || !editor->header) return 0;
    VXSetWindow(window);
    VXDrawColumnHeader(static_cast<VXColumnHeaderRecord>(editor->header));
    return 1;
}

}  // namespace

AttributeEditor* CreateAttributeEditorWindow(VXWindowRecordTag* parent, const Rect* rect, StringBlock sourceBlock,
                                             Handle source, uint32_t start, int32_t count, int32_t listKind,
                                             bool visibilityColumn, bool readOnly) {
    if (!parent || !rect) return nullptr;
    AttributeEditor* editor = CreateAttributeEditor(sourceBlock, source, start, count, listKind, readOnly);
    if (!editor) return nullptr;
    const int16_t width = int16_t(rect->right - rect->left);
    const Rect band{rect->top, rect->left, int16_t(rect->top + kHeaderHeight), rect->right};
    const Rect local{0, 0, kHeaderHeight, width};
    const Rect rows{band.bottom, rect->left, rect->bottom, rect->right};
    auto header = VXCreateColumnHeader(nullptr, &local);
    editor->header = header;
    if (header) {
        (void)VXAddHeaderColumnEx(header, 0, "", 0);  // the names pop-up arrows' column
        (void)VXAddHeaderColumnEx(header, 18, "", 0);
        (void)VXAddHeaderColumnEx(header, 40, "Attribute Name", 0);
        (void)VXAddHeaderColumnEx(header, 160, "Attribute Data", 0);
    }
    if (visibilityColumn) {
        editor->visColumn = uint16_t(std::max(width - kScrollBarWidth - 30, 200));
        if (header) (void)VXAddHeaderColumnEx(header, editor->visColumn, "Vis", 0);
    }
    editor->headerWindow = VXCreateChildWindow(0, 0, 0, parent, &band, editor, AttributeHeaderHandler);
    editor->listWindow = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, parent, &rows, editor, nullptr);
    if (!editor->headerWindow || !editor->listWindow) {
        // Without its windows the editor would have no owner: none is made.
        if (editor->headerWindow) VXDestroyWindow(editor->headerWindow);
        if (editor->listWindow) VXDestroyWindow(editor->listWindow);
        DestroyAttributeEditor(editor);
        return nullptr;
    }
    VXInstallListView(editor->listWindow, GetTempDefaultStyle(kUIFontKind), kRowHeight, sizeof(int32_t),
                      readOnly ? 0 : kVXListEditCells, AttributeListViewHook);
    SyncRows(editor->listWindow, editor);
    (void)VXSetListViewEventHook(editor->listWindow, AttributeListCommands);  // none before it
    if (!readOnly) (void)VXSetListViewPrepCommand(editor->listWindow, AttributeEditorPrepCommand);  // none before it
    VXShowWindow(editor->headerWindow);
    VXShowWindow(editor->listWindow);
    return editor;
}

AttributeEditor* CreateAttributeDialogPanel(VXWindowRecordTag* panel, StringBlock sourceBlock, Handle source,
                                            uint32_t start, int32_t count, int32_t listKind, bool visibilityColumn,
                                            bool readOnly) {
    if (!panel) return nullptr;
    Rect area{};
    VXGetClientRect(panel, &area);
    VXInsetRect(&area, 6, 6);
    AttributeEditor* editor = CreateAttributeEditorWindow(panel, &area, sourceBlock, source, start, count, listKind,
                                                          visibilityColumn, readOnly);
    if (editor && editor->listWindow && !readOnly) (void)VXSetListViewEditFocus(editor->listWindow, 0, kNameColumn);
    return editor;
}

void SetAttributeEditorNavigation(AttributeEditor* editor, VXWindowRecordTag* dialog, uint16_t nextItem,
                                  uint16_t previousItem) {
    if (!editor) return;
    editor->dialog = dialog;
    editor->nextItem = nextItem;
    editor->previousItem = previousItem;
}

int32_t NavigateIntoAttributeEditor(AttributeEditor* editor, const VXEventRecord* event) {
    if (!editor || !editor->listWindow || editor->readOnly || !event || event->kind != kVXTabOutEvent) return 0;
    const bool back = event->u.tabOut.backwards != 0;
    const uint16_t from = event->u.tabOut.item;
    if (back ? from != editor->nextItem : from != editor->previousItem) return 0;
    VXSetFocusWindow(editor->listWindow, true);
    const int32_t row = back ? int32_t(editor->rows.size()) - 1 : 0;
    return VXSetListViewEditFocus(editor->listWindow, row, back ? kValueColumn : kNameColumn) ? 1 : 0;
}

bool FlushAttributeEditor(AttributeEditor* editor) {
    if (!editor || !editor->listWindow) return true;
    return VXFlushListViewEditField(editor->listWindow) != 0;
}

// The attribute editor's list edits a row's name in its cell column 1.
constexpr int32_t kAttributeEditorNameColumn = 1;

bool TakeChangedAttributeEditorData(void* opened, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                    bool freeWhenEmpty) {
    auto* attributes = static_cast<AttributeEditor*>(opened);
    if (!FlushAttributeEditor(attributes) || !attributes->changed) return false;
    *target = GetAttributeEditorData(attributes, *target, uint32_t(start), count, block, freeWhenEmpty);
    return true;
}

bool EditAttributeEditorRowName(void* opened, int32_t row) {
    auto* attributes = static_cast<AttributeEditor*>(opened);
    if (!attributes || !attributes->listWindow || attributes->readOnly) return false;
    VXSetFocusWindow(attributes->listWindow, true);
    return VXSetListViewEditFocus(attributes->listWindow, row, kAttributeEditorNameColumn) != 0;
}

namespace {

void* OpenAttributeEditorWindow(VXWindowRecordTag* parent, const Rect* rect, Handle source, int32_t start,
                                int32_t count, StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly) {
    return CreateAttributeEditorWindow(parent, rect, block, source, uint32_t(start), count, kind, visibilityColumn,
                                       readOnly);
}

void* OpenAttributeEditorPanel(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                               StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly) {
    return CreateAttributeDialogPanel(panel, block, source, uint32_t(start), count, kind, visibilityColumn, readOnly);
}

void AttributeEditorNavigation(void* opened, VXWindowRecordTag* dialog, uint16_t next, uint16_t previous) {
    SetAttributeEditorNavigation(static_cast<AttributeEditor*>(opened), dialog, next, previous);
}

int32_t NavigateIntoOpenedAttributeEditor(void* opened, const VXEventRecord* tabOut) {
    return NavigateIntoAttributeEditor(static_cast<AttributeEditor*>(opened), tabOut);
}

}  // namespace

void AddSymbolEditorAttributeHooks(SymbolEditorHooks& hooks) {
    hooks.attributeEditorWindow = OpenAttributeEditorWindow;
    hooks.attributeEditorPanel = OpenAttributeEditorPanel;
    hooks.takeAttributeEditorData = TakeChangedAttributeEditorData;
    hooks.attributeEditorNavigation = AttributeEditorNavigation;
    hooks.navigateIntoAttributeEditor = NavigateIntoOpenedAttributeEditor;
    hooks.editAttributeEditorRow = EditAttributeEditorRowName;
}

}  // namespace plexa
