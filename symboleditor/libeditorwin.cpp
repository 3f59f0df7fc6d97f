// The library editor's window: a tree view with one top row per item and a child row per alias,
// the rows' look, selection, finding, command enabling and the window's events (see
// libeditor.h).
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include <strings.h>

#include "foundation/assert.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "symboleditor/libcatalog.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/libeditor_internal.h"
#include "symboleditor/symboleditorstate.h"
#include "model/libitem.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_treeview.h"
#include "toolkit/vx_window.h"

namespace plexa {

// Row layout, set when a window is made.
int16_t& gLibVwWidth = gSymbolEditorState.libVwWidth;
int16_t& gLibVwBaseLineOffset = gSymbolEditorState.libVwBaseLineOffset;
int16_t& gStrikeOutOffset = gSymbolEditorState.strikeOutOffset;
// The last find.
char (&gFindItemString)[64] = gSymbolEditorState.findItemString;
bool& gFindPartials = gSymbolEditorState.findPartials;

namespace {

constexpr int16_t kRowHeight = 19;
constexpr int32_t kRowStyle = 4;
constexpr int16_t kTopIconX = 26, kTopNameX = 48, kChildIconX = 50, kChildNameX = 72;
constexpr uint32_t kModifiedRowColor = 0x01FF0000;
constexpr uint32_t kWhite = 0x00FFFFFF;
constexpr int16_t kCascade = 18;
constexpr uint32_t kWindowFlags = kVXFlagResizable | kVXFlagClosable | kVXFlagVerticalScroller;

VXTreeNode* TopNode(LibEditorRecord* editor, const LibEditorItemRef* ref) {
    if (!editor->window) return nullptr;
    for (VXTreeNode* node = VXGetTopLevelTreeNode(editor->window); node; node = node->next)
        if (node->userData == ref) return node;
    return nullptr;
}

int32_t ChildCount(const VXTreeNode* node) { return node->children ? int32_t(node->children->count) : 0; }

// The rows the item takes now: its top row and its visible child rows.
int32_t VisibleRows(const VXTreeNode* node) {
    return 1 + (node->children && node->children->expanded ? ChildCount(node) : 0);
}

void AddRows(LibEditorRecord* editor, LibEditorItemRef* ref) {
    VXTreeNode* node = VXInsertNewTreeNode(editor->window, nullptr, -1, ref);
    if (!node) return;
    for (int32_t i = 1; i < CountLibEditorItemNames(ref); ++i)
        VXInsertNewTreeNode(editor->window, node, -1, ref);
}

// The text of a row's name, "Unnamed Item" for an empty one.
std::string RowName(LibEditorRecord* editor, LibEditorItemRef* ref, int32_t nameIndex) {
    char name[256];
    GetLibEditorItemName(editor, ref, nameIndex, name);
    return name[0] ? name : kUnnamedLibItemRow;
}

int32_t TextWidth(const std::string& text) {
    return int32_t(VXMeasureTextBytes(text.data(), int32_t(text.size()), kEncodingUTF8, false));
}

// Whether saving will drop the item (its row is struck through).
bool WillBeDropped(LibEditorItemRef* ref) {
    if (!(ref->flags & kLibItemRefModified) || ref->symbolEditor) return false;
    return !ref->data || !IsFlattenedLibraryItemValid(ref->data);
}

void DrawRow(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    LibEditorRecord* editor = WindowToLibEditor(window);
    StdDrawHiliteEditListViewItem(window, record);
    if (!editor || !record->item) return;
    VXTreeNode* node = *static_cast<VXTreeNode**>(record->item);
    auto* ref = static_cast<LibEditorItemRef*>(node->userData);
    const bool alias = node->depth > 0;
    const int32_t nameIndex = alias ? VXGetTreeNodeChildIndex(window, node) + 1 : 0;
    const Rect& row = record->rect;
    const int16_t iconX = alias ? kChildIconX : kTopIconX;
    const int16_t nameX = alias ? kChildNameX : kTopNameX;
    const int16_t iconTop = int16_t(row.top + (row.bottom - row.top - 16) / 2);
    const Rect icon = {iconTop, iconX, int16_t(iconTop + 16), int16_t(iconX + 16)};
    VXDrawIcon(GetLibItemKindIconId(ref->kind, alias), &icon, 0);
    const std::string name = RowName(editor, ref, nameIndex);
    const bool modified = !alias && IsLibItemDirty(ref);
    const VXColor before = VXGetForeColor();
    if (modified) QZSetColor(nullptr, kModifiedRowColor, false);
    const int16_t baseline = int16_t(row.bottom - gLibVwBaseLineOffset);
    VXMoveTo(nameX, baseline);
    VXDrawTextWithEncoding(name.data(), int32_t(name.size()), kEncodingUTF8);
    if (modified && WillBeDropped(ref)) {
        VXMoveTo(nameX, baseline - gStrikeOutOffset);
        VXLineTo(int16_t(nameX + TextWidth(name)), int16_t(baseline - gStrikeOutOffset));
    }
    QZSetColor(nullptr, kWhite, false);
    VXMoveTo(row.left, row.bottom - 1);
    VXLineTo(row.right, int16_t(row.bottom - 1));
    QZSetColor(nullptr, before, false);
}

// The row of the first match after the start row, -1 when none (see FindAndSelectLibEditorItem).
int32_t FindRow(LibEditorRecord* editor, int32_t startRow, const char* text, int32_t mode,
                bool visibleOnly, bool* aliasHidden) {
    std::string wanted = text;
    for (char& c : wanted) c = char(std::toupper(uint8_t(c)));
    int32_t startItem = 0, startName = 0;
    if (startRow >= 0) {
        int32_t index = 0;
        LibEditorItemRef* ref = GetItemRefFromViewIndex(editor, startRow, &index);
        if (ref) {
            startItem = LLGetLinkPosition(editor->items, ref);
            startName = index + 1;
        }
    }
    int32_t position = 0;
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref;
         ref = ref->next, ++position) {
        if (position < startItem) continue;
        VXTreeNode* node = TopNode(editor, ref);
        if (!node) continue;
        const bool expanded = node->children && node->children->expanded;
        const int32_t names = (visibleOnly && !expanded) ? 1 : CountLibEditorItemNames(ref);
        for (int32_t i = position == startItem ? startName : 0; i < names; ++i) {
            char name[256];
            GetLibEditorItemName(editor, ref, i, name);
            std::string upper = name;
            for (char& c : upper) c = char(std::toupper(uint8_t(c)));
            const size_t at = upper.find(wanted);
            const bool match = mode == kLibFindAnywhere ? at != std::string::npos
                               : mode == kLibFindPrefix ? at == 0
                                                        : upper == wanted;
            if (!match) continue;
            const int32_t top = VXGetTreeNodeListViewIndex(node);
            if (i == 0) return top;
            if (!expanded) {
                if (aliasHidden) *aliasHidden = true;
                return top;
            }
            return top + i;
        }
    }
    return -1;
}

bool ModalWindowUp() { return VXIsModalWindowActive() != 0; }

void SetRevertTitle(LibEditorRecord* editor, const LibSelectionFlags& flags, char* title) {
    if (!title) return;
    if (flags.count > 1) {
        std::snprintf(title, 256, "Revert selected items");
        return;
    }
    char name[256] = "";
    if (flags.item) GetLibEditorItemName(editor, flags.item, 0, name);
    const std::string text = name[0] ? std::string("Revert ") + name : std::string("Revert selected item");
    std::memcpy(title, text.c_str(), std::min<size_t>(text.size() + 1, 256));
    title[255] = 0;
    TruncateUTF8ForByteSize(title, 256);
}

// A click on a row outside its icon and name clears the selection.
int32_t RowClick(VXWindowRecordTag* window, VXListViewHookRecord* record) {
    LibEditorRecord* editor = WindowToLibEditor(window);
    if (!editor || record->index < 0 || !record->event) return 0;
    if (record->event->kind != kVXMouseDownEvent && record->event->kind != kVXDoubleClickEvent) return 0;
    int32_t nameIndex = 0;
    LibEditorItemRef* ref = GetItemRefFromViewIndex(editor, record->index, &nameIndex);
    if (!ref) return 0;
    Rect row{};
    VXGetListViewItemRect(window, record->index, &row);
    VXSetTextStyle(VXGetListViewRecord(window)->textStyle);
    const int16_t iconX = nameIndex ? kChildIconX : kTopIconX;
    const int16_t nameX = nameIndex ? kChildNameX : kTopNameX;
    const int32_t right = nameX + TextWidth(RowName(editor, ref, nameIndex));
    const Point at = {record->event->u.mouse.v, record->event->u.mouse.h};
    if (at.h >= iconX - 3 && at.h < right + 3 && at.v >= row.top - 1 && at.v < row.bottom + 1) {
        // The list view selects; a double click opens the selection.
        return record->event->kind == kVXDoubleClickEvent ? kVXListClickSelectToo | kVXListClickAction : 0;
    }
    ClearLibEditorSelection(editor);
    return kVXListClickHandled;
}

}  // namespace

// ---- Windows ----

bool FindAndSelectLibEditorItemNamed(VXWindowRecordTag* window, const char* name) {
    LibEditorRecord* editor = WindowToLibEditor(window);
    return editor && FindAndSelectLibEditorItem(editor, -1, name, kLibFindWhole, false, true);
}

void EditSelectedItemsOfWindow(VXWindowRecordTag* window) {
    if (LibEditorRecord* editor = WindowToLibEditor(window)) EditSelectedLibItems(editor);
}

LibEditorRecord* WindowToLibEditor(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top || top->typeID != kLibEditorWindowKind) return nullptr;
    for (LibEditorRecord* editor = gLibraryEditors; editor; editor = editor->next) {
        if (editor->window != top) continue;
        PLEXA_ASSERT(!top->refCon || top->refCon == editor);
        return editor;
    }
    return nullptr;
}

namespace {

// The file's name without ".LBX".
std::string WindowTitle(const LibEditorRecord* editor) {
    char name[kFileSpecNameCapacity];
    GetFileSpecName(&editor->library.file.spec, name, sizeof name);
    std::string title = name;
    if (title.size() > 4 && strcasecmp(title.c_str() + title.size() - 4, kLibraryExtension) == 0)
        title.resize(title.size() - 4);
    return title;
}

void SetFileProxy(LibEditorRecord* editor) {
    std::string path;
    if (CreateURLFromFileSpec(&editor->library.file.spec, false, &path) == 0)
        VXSetWindowFileProxy(editor->window, path.c_str(), FourCC("LIB4"));
}

// The title's mark of unsaved changes.
void ShowModified(LibEditorRecord* editor) {
    if (editor->window) VXSetWindowModified(editor->window, IsLibEditorDirty(editor));
}

}  // namespace

void RetitleLibEditorWindow(LibEditorRecord* editor) {
    if (!editor->window) return;
    VXSetWindowTitle(editor->window, WindowTitle(editor).c_str());
    SetFileProxy(editor);
}

void DisplayLibEditor(LibEditorRecord* editor) {
    if (!editor) return;
    if (!editor->window) {
        Rect rect{};
        VXCalcMaxWindowRect(kVXWindowDocument, 0, kWindowFlags, nullptr, &rect);
        if (rect.right - rect.left >= 801) {
            rect.left = int16_t(rect.left + 125);
            rect.right = int16_t(rect.right - 125);
        }
        for (LibEditorRecord* other = gLibraryEditors; other; other = other->next) {
            if (other == editor || !other->window) continue;
            Rect position{};
            VXGetWindowPosition(other->window, &position);
            VXOffsetRect(&position, kCascade, kCascade);
            if (VXWindowRectOnScreen(kVXWindowDocument, 0, kWindowFlags, &position) == 1) rect = position;
            break;
        }
        VXWindowRecordTag* window = VXCreateWindow(kVXWindowDocument, 0, kWindowFlags, kLibEditorWindowKind,
                                                   0, 0, &rect, WindowTitle(editor).c_str(), 0, editor,
                                                   LibEditorWindowEventHandler);
        if (!window) {
            LibEditorReport(status::kOutOfMemory);
            return;
        }
        editor->window = window;
        editor->windowID = window->windowID;
        VXSetPrepCommandProc(window, LibEditorPrepCommand);
        txStyle* style = GetTempDefaultStyle(kRowStyle);
        VXInstallTreeView(window, style, kRowHeight, kVXListMultiSelect | kVXListExtendSelect, 0,
                          LibEditorListViewHook);
        StyleMetrics metrics{};
        GetStyleMetrics(style, &metrics);
        gLibVwBaseLineOffset = int16_t(std::max(0, (kRowHeight - metrics.ascent - metrics.descent) / 2 +
                                                       metrics.descent));
        gStrikeOutOffset = int16_t(std::max(1, metrics.ascent / 3));
        VXSetTextStyle(style);
        gLibVwWidth = int16_t(TextWidth("12345678901234567890123456") + 98);
        SetFileProxy(editor);
        window->idealWidth = gLibVwWidth;
        for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
            AddRows(editor, ref);
        const int32_t rows = std::max<int32_t>(12, VXCountListViewItems(window));
        window->idealHeight = int16_t(std::min<int32_t>(rows * kRowHeight + 1, 0x7FFF));
    }
    VXShowWindow(editor->window);
    VXSelectWindow(editor->window);
}

void DestroyLibEditorWindow(LibEditorRecord* editor) {
    VXWindowRecordTag* window = editor->window;
    if (!window) return;
    editor->window = nullptr;
    window->refCon = nullptr;
    VXDestroyWindow(window);
}

void InvalLibEditorWindow(LibEditorRecord* editor) {
    if (!editor->window) return;
    ShowModified(editor);
    Rect all{};
    VXGetClientRect(editor->window, &all);
    VXInvalRect(editor->window, &all);
}

// ---- Rows ----

int32_t AddItemToLibEditor(LibEditorRecord* editor, LibEditorItemRef* ref) {
    LLAppend(editor->items, ref);
    if (!editor->window) return -1;
    AddRows(editor, ref);
    return GetLibItemRefRow(editor, ref);
}

void RemoveItemFromLibEditor(LibEditorRecord* editor, LibEditorItemRef* ref) {
    if (VXTreeNode* node = TopNode(editor, ref)) VXDeleteTreeNode(editor->window, node, true);
    LLRemoveOrFree(editor->items, ref, nullptr, false);
}

int32_t GetLibItemRefRow(LibEditorRecord* editor, const LibEditorItemRef* ref) {
    VXTreeNode* node = TopNode(editor, ref);
    return node ? VXGetTreeNodeListViewIndex(node) : -1;
}

LibEditorItemRef* GetItemRefFromViewIndex(LibEditorRecord* editor, int32_t row, int32_t* nameIndex) {
    if (nameIndex) *nameIndex = 0;
    if (!editor->window) return nullptr;
    VXTreeNode* node = VXGetIndexedTreeViewNode(editor->window, row);
    if (!node) return nullptr;
    if (nameIndex && node->depth > 0) *nameIndex = VXGetTreeNodeChildIndex(editor->window, node) + 1;
    return static_cast<LibEditorItemRef*>(node->userData);
}

void SyncLibItemRows(LibEditorRecord* editor, LibEditorItemRef* ref) {
    VXTreeNode* node = TopNode(editor, ref);
    if (!node) return;
    const int32_t wanted = CountLibEditorItemNames(ref) - 1;
    while (ChildCount(node) > wanted)
        VXDeleteTreeNode(editor->window, node->children->last, false);
    while (ChildCount(node) < wanted)
        if (!VXInsertNewTreeNode(editor->window, node, -1, ref)) break;
    UpdateLibEditorListItem(editor, ref);
}

void UpdateLibEditorListItem(LibEditorRecord* editor, LibEditorItemRef* ref) {
    ShowModified(editor);
    VXTreeNode* node = TopNode(editor, ref);
    if (!node) return;
    const int32_t row = VXGetTreeNodeListViewIndex(node);
    for (int32_t i = 0; i < VisibleRows(node); ++i) VXInvalListViewItem(editor->window, row + i);
}

void RevealLibEditorItem(LibEditorRecord* editor, LibEditorItemRef* ref) {
    const int32_t row = GetLibItemRefRow(editor, ref);
    if (row >= 0) VXRevealListViewItem(editor->window, row, false);
}

void SelectLibEditorItem(LibEditorRecord* editor, LibEditorItemRef* ref, bool only) {
    if (!editor->window) return;
    if (only) ClearLibEditorSelection(editor);
    const int32_t row = GetLibItemRefRow(editor, ref);
    if (row >= 0) VXSetListViewItemSelected(editor->window, row, true);
}

void ClearLibEditorSelection(LibEditorRecord* editor) {
    if (editor->window) VXSetListViewItemSelected(editor->window, -1, false);
}

LibEditorItemRef* GetNextSelectedItem(LibEditorRecord* editor, LibEditorItemRef* after) {
    if (!editor->window) return nullptr;
    int32_t from = 0;
    if (after) {
        VXTreeNode* node = TopNode(editor, after);
        if (!node) return nullptr;
        from = VXGetTreeNodeListViewIndex(node) + VisibleRows(node);
    }
    const int32_t row = VXGetListViewSelection(editor->window, from);
    if (row < 0 || row < from) return nullptr;
    return GetItemRefFromViewIndex(editor, row, nullptr);
}

std::vector<LibEditorItemRef*> SelectedItems(LibEditorRecord* editor) {
    std::vector<LibEditorItemRef*> items;
    for (LibEditorItemRef* ref = GetNextSelectedItem(editor, nullptr); ref;
         ref = GetNextSelectedItem(editor, ref))
        items.push_back(ref);
    return items;
}

LibSelectionFlags SetSelectionFlags(LibEditorRecord* editor) {
    LibSelectionFlags flags{};
    flags.any = editor->window && VXCountListViewSelections(editor->window) > 0;
    for (LibEditorItemRef* ref = GetNextSelectedItem(editor, nullptr); ref;
         ref = GetNextSelectedItem(editor, ref)) {
        if (!flags.item) flags.item = ref;
        ++flags.count;
        if (IsLibItemDirty(ref)) flags.modified = true;
        if (flags.modified && flags.count >= 2) break;
    }
    return flags;
}

bool FindAndSelectLibEditorItem(LibEditorRecord* editor, int32_t startRow, const char* text,
                                int32_t mode, bool visibleOnly, bool primaryRow) {
    bool aliasHidden = false;
    int32_t row = FindRow(editor, startRow, text, mode, visibleOnly, &aliasHidden);
    if (row < 0) return false;
    int32_t nameIndex = 0;
    LibEditorItemRef* ref = GetItemRefFromViewIndex(editor, row, &nameIndex);
    if (aliasHidden && !primaryRow) {
        // The alias row that matched: open its branch and find it again.
        VXExposeTreeViewBranch(editor->window, TopNode(editor, ref));
        row = FindRow(editor, startRow, text, mode, visibleOnly, nullptr);
    }
    if (primaryRow) row = GetLibItemRefRow(editor, ref);
    ClearLibEditorSelection(editor);
    VXSetListViewItemSelected(editor->window, row, true);
    VXRevealListViewItem(editor->window, row, false);
    return true;
}

void FindLibEditorItem(LibEditorRecord* editor, bool ask) {
    if (ask || !gFindItemString[0]) {
        char text[sizeof gFindItemString];
        std::snprintf(text, sizeof text, "%s", gFindItemString);
        bool partial = gFindPartials;
        const LibEditorHooks& hooks = GetLibEditorHooks();
        if (!hooks.askFind || !hooks.askFind(text, &partial) || !text[0]) return;
        std::snprintf(gFindItemString, sizeof gFindItemString, "%s", text);
        gFindPartials = partial;
    }
    const int32_t start = editor->window ? VXGetListViewSelection(editor->window, 0) : -1;
    if (!FindAndSelectLibEditorItem(editor, start, gFindItemString,
                                    gFindPartials ? kLibFindAnywhere : kLibFindWhole, false, false)) {
        ClearLibEditorSelection(editor);
        LibEditorBeep();
    }
}

bool SelectAndOpenLibEditorItem(LibEditorRecord* editor, uint32_t blockId) {
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
        if (ref->blockId == blockId) {
            SelectLibEditorItem(editor, ref, true);
            RevealLibEditorItem(editor, ref);
            return true;
        }
    return false;
}

// ---- Commands and events ----

int16_t GetLibItemKindIconId(uint8_t kind, bool aliasRow) {
    switch (kind) {
        case kLibItemWireSymbol: return aliasRow ? kLibIconWireSymbolAlias : kLibIconWireSymbol;
        case kLibItemPort: return aliasRow ? kLibIconPortAlias : kLibIconPort;
        default: return aliasRow ? kLibIconComponentAlias : kLibIconComponent;
    }
}

int32_t LibEditorPrepCommand(VXPrepCommandRecord* record) {
    LibEditorRecord* editor = WindowToLibEditor(record->window);
    if (!editor) return 0;
    const bool hasItems = editor->items->count > 0;
    auto decide = [record](bool enabled) {
        record->enabled = enabled;
        return 1;
    };
    switch (record->command) {
        case kCmdLibCut:
        case kCmdLibCopy:
        case kCmdLibClear:
        case kCmdLibDuplicate: return decide(SetSelectionFlags(editor).count > 0);
        case kCmdLibPaste: return decide(gLibEditorClip != nullptr);
        case kCmdLibSelectAll: return decide(hasItems);
        case kCmdLibSave: return decide(IsLibEditorDirty(editor));
        case kCmdLibPageSetup:
        case kCmdLibPrint:
        case kCmdLibNewItem:
        case kCmdLibMenu: return decide(true);
        case kCmdLibOpenSelection: return decide(SetSelectionFlags(editor).any);
        case kCmdLibRevert: {
            const LibSelectionFlags flags = SetSelectionFlags(editor);
            SetRevertTitle(editor, flags, record->title);
            return decide(flags.modified);
        }
        case kCmdLibFind: return decide(hasItems);
        case kCmdLibFindAgain: return decide(gFindItemString[0] && hasItems);
        default: return 0;
    }
}

int32_t LibEditorDoCommand(LibEditorRecord* editor, VXEventRecord* event) {
    const LibEditorHooks& hooks = GetLibEditorHooks();
    switch (event->u.command.command) {
        case kCmdLibSave: (void)SaveLibEditorChanges(editor); return 1;  // it reports its own failure
        case kCmdLibPageSetup: LibraryPageSetup(); return 1;
        case kCmdLibPrint: (void)PrintLibrary(editor); return 1;  // it reports its own failure
        case kCmdLibOpenSelection: EditSelectedLibItems(editor); return 1;
        case kCmdLibCut:
            CopySelectedItems(editor);
            DeleteSelectedItems(editor);
            return 1;
        case kCmdLibCopy: CopySelectedItems(editor); return 1;
        case kCmdLibPaste: PasteItems(editor); return 1;
        case kCmdLibClear: {
            const bool modifiers = event->u.command.shift || event->u.command.option;
            if (!modifiers && !LibEditorConfirm(kRemoveItemsQuestion, kRemoveButton)) return 1;
            DeleteSelectedItems(editor);
            return 1;
        }
        case kCmdLibSelectAll:
            if (editor->window) VXSetListViewItemSelected(editor->window, -1, true);
            return 1;
        case kCmdLibDuplicate: DuplicateSelectedItems(editor); return 1;
        case kCmdLibNewItem: {
            char name[64] = "";
            uint8_t kind = kLibItemComponent;
            uint32_t flags = 0;
            if (hooks.askNewItem && hooks.askNewItem(name, &kind, &flags) && name[0])
                NewLibraryItem(editor, name, kind, flags);
            return 1;
        }
        case kCmdLibRevert: RevertSelectedItems(editor); return 1;
        case kCmdLibFind: FindLibEditorItem(editor, true); return 1;
        case kCmdLibFindAgain: FindLibEditorItem(editor, false); return 1;
        default: return 0;
    }
}

int32_t LibEditorWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* editor = static_cast<LibEditorRecord*>(window->refCon);
    if (!editor) return 0;
    switch (event->kind) {
        case kVXCloseEvent:
            CloseLibEditor(editor, false);
            return 1;
        case kVXDestroyEvent:
            editor->window = nullptr;
            return 0;
        case kVXActivateEvent:
            if (event->u.activate.activated && GetLibEditorHooks().activated) GetLibEditorHooks().activated(editor);
            if (!event->u.activate.activated && !ModalWindowUp()) ClearLibEditorSelection(editor);
            return 0;
        case kVXCharEvent: {
            const uint16_t key = event->u.character.character;
            if (VXIsDeletionChar(key)) {
                if (VXCountListViewSelections(window) == 0) return 0;
                DispatchCommand(window, kCmdLibClear, true, event->u.character.shift != 0,
                                event->u.character.option != 0);
                return 1;
            }
            if (key == 13 || key == 3) {
                EditSelectedLibItems(editor);
                return 1;
            }
            return 0;
        }
        case kVXControlEvent:
            if (event->u.control.controlType == 7 && event->u.control.values.listBox.second) {
                EditSelectedLibItems(editor);
                return 1;
            }
            return 0;
        case kVXCommandEvent: return LibEditorDoCommand(editor, event);
        default: return 0;
    }
}

int32_t LibEditorListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    switch (message) {
        case kVXListDrawItem: DrawRow(window, record); return 0;
        case kVXListMouseDown: return RowClick(window, record);
        case kVXListTypeAhead: {
            LibEditorRecord* editor = WindowToLibEditor(window);
            if (!editor || !record->text) return 0;
            record->index = FindRow(editor, -1, record->text, kLibFindPrefix, true, nullptr);
            return record->index >= 0 ? 1 : 0;
        }
        default: return 0;
    }
}

}  // namespace plexa
