// Preparation and dispatch of menu commands: the application's end of the toolkit's preparation
// chain (PrepCommand) and its global command procedure (DoCommand), both finding the command's
// entry in the command table (commands.h), the one with its rule, the other with its action;
// what the front document is and what is selected in it; the Window menu; and what the
// clipboard holds.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "app/shell.h"
#include "app/shellutil.h"
#include "files/project.h"
#include "foundation/assert.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/busses.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"
#include "sheeteditor/ecowindows.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/sheetwindow.h"
#include "symboleditor/libeditor.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_window.h"

namespace plexa {

int16_t gCurrScrapType = kScrapForeign;
int64_t gLastPrivateScrap = -1;
uint32_t gCurrClipFlags = 0;

namespace {

// Style flag bits of a text or frame that the Text menu reads.
constexpr uint16_t kStyleDefaultTheme = 0x20;
constexpr uint16_t kStyleRightAligned = 0x04;

std::vector<WindowMenuEntry> gWindowMenuTable;

bool IsDocumentWindow(VXWindowRecordTag* window) {
    return window && window->windowClass == kVXWindowDocument && VXIsWindowVisible(window, false);
}

// ---- Counting what is selected ----

template <class Proc>
void ForEach(LinkListHeader* list, Proc proc) {
    if (!list) return;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) proc(item);
}

// The highlighted wires over a list of signals or busses, counting up to 2.
int32_t CountHiliteWires(LinkListHeader* owners) {
    int32_t count = 0;
    ForEach(owners, [&](void* item) {
        auto owner = static_cast<SignalHandle>(item);
        WireList wires = (*owner)->wires;
        for (WireHandle w = FirstWire(wires); w && count < 2; w = NextWire(wires, w))
            if ((*w)->flags & kWireFlagSelected) ++count;
    });
    return count;
}

void CountTextsAndFrames(SelectionSummary& sel, LinkListHeader* texts, LinkListHeader* frames,
                         LinkListHeader* elements) {
    ForEach(texts, [&](void* item) {
        auto* text = static_cast<TextRecord*>(item);
        if (!(text->flags & kTextFlagSelected)) return;
        if (!sel.textCount++) sel.text = text;
    });
    ForEach(frames, [&](void* item) {
        auto frame = static_cast<TextFrameHandle>(item);
        if (!((*frame)->flags & kFrameFlagSelected)) return;
        if (!sel.frameCount++) sel.frame = frame;
    });
    ForEach(elements, [&](void* item) {
        if (static_cast<ElementRecord*>(item)->flags & kElementSelected) ++sel.elementCount;
    });
}

void GetSheetSelection(SelectionSummary& sel, SheetRecord* sheet) {
    SymbolRecord* single = nullptr;
    ForEach(sheet->symbolList, [&](void* item) {
        auto* symbol = static_cast<SymbolRecord*>(item);
        if (!(symbol->flags & kSymbolFlagSelected)) return;
        if (!sel.symbolCount++) single = symbol;
    });
    sel.symbol = sel.symbolCount == 1 ? single : nullptr;
    CountTextsAndFrames(sel, sheet->textList, sheet->textFrameList, sheet->elementList);
}

// The style, default flag and alignment of one selected text or frame.
void TakeStyleOf(SelectionSummary& sel, const txStyle* style, uint16_t styleFlags) {
    sel.style = style;
    sel.defaultStyle = (styleFlags & kStyleDefaultTheme) != 0;
    sel.alignedRight = (styleFlags & kStyleRightAligned) != 0;
}
const TextRecord* SelText(const SelectionSummary& sel) { return static_cast<const TextRecord*>(sel.text); }
const TextFrameRecord* SelFrame(const SelectionSummary& sel) {
    if (!sel.frame) return nullptr;
    PLEXA_ASSERT(*static_cast<TextFrameHandle>(sel.frame));  // a listed frame's handle holds its record
    return *static_cast<TextFrameHandle>(sel.frame);
}

// The summary's single items are there exactly when its counts say so.
void CheckSelectionCounts([[maybe_unused]] const SelectionSummary& sel) {
    PLEXA_ASSERT((sel.symbol != nullptr) == (sel.symbolCount == 1));
    PLEXA_ASSERT((sel.text != nullptr) == (sel.textCount > 0));
    PLEXA_ASSERT((sel.frame != nullptr) == (sel.frameCount > 0));
}

// The edit state's summary of the document, none for another kind of window.
SelectionSummary* SelectionOf(SheetRecord* sheet, SymbolEditorRecord* editor) {
    if (sheet) return &SheetEditStateOf(sheet)->selection;
    return editor ? &editor->selection : nullptr;
}

// ---- The Window menu ----

void AddWindowEntry(VXWindowRecordTag* window) {
    WindowMenuEntry entry{};
    entry.window = window;
    VXGetWindowTitle(window, entry.title);
    switch (window->typeID) {
    case kProjectKind:
        entry.own = WindowToProject(window);
        entry.icon = kProjectIcon;
        entry.group = 1;
        break;
    case kSheetKind: {
        SheetRecord* sheet = WindowToDrawing(window);
        // A sheet is its message log's parent.
        entry.own = sheet;
        entry.parent = sheet ? sheet->project : nullptr;
        entry.icon = kSheetIcon;
        entry.group = 2;
        break;
    }
    case kLibEditorKind:
        entry.own = WindowToLibEditor(window);
        entry.icon = kLibEditorIcon;
        entry.group = 3;
        break;
    case kSymbolEditorKind:
    case kSymbolEditorListKind: {
        SymbolEditorRecord* editor = WindowToSymbolEditor(window);
        entry.parent = editor ? editor->libEditor : nullptr;
        entry.icon = editor ? GetSymbolWindowIconId(editor) : 0;
        entry.group = 4;
        break;
    }
    case kECOLogKind:
        entry.icon = kECOLogIcon;
        entry.group = 5;
        break;
    case kMessageLogKind:
        if (LogWindowRecord* log = WindowToLog(window)) entry.parent = log->owner;
        entry.icon = kMessageLogIcon;
        entry.group = 10;
        break;
    default:
        entry.group = 6;
        break;
    }
    gWindowMenuTable.push_back(entry);
}

// The order of the menu: each top-level entry followed by the entries it owns, two blanks deeper
// each level. An entry whose parent is not in the menu (a project without its window) stands at
// the top level, so that every window can be reached.
void OrderWindowMenu(std::vector<std::pair<int32_t, int32_t>>* rows) {
    const int32_t n = int32_t(gWindowMenuTable.size());
    auto isListed = [&](const void* record) {
        if (!record) return false;
        for (const WindowMenuEntry& e : gWindowMenuTable)
            if (e.own == record) return true;
        return false;
    };
    std::vector<bool> placed(size_t(n), false);
    std::function<void(int32_t, int32_t)> place = [&](int32_t index, int32_t depth) {
        placed[size_t(index)] = true;
        rows->push_back({index, depth});
        const void* own = gWindowMenuTable[size_t(index)].own;
        if (!own || depth > 2) return;
        for (int32_t j = 0; j < n; ++j)
            if (!placed[size_t(j)] && gWindowMenuTable[size_t(j)].parent == own) place(j, depth + 1);
    };
    for (int32_t i = 0; i < n; ++i)
        if (!placed[size_t(i)] && !isListed(gWindowMenuTable[size_t(i)].parent)) place(i, 0);
}

VXMenuRecord* CurrentWindowMenu() {
    if (gCurrMenuBar)
        for (uint32_t i = 0; i < gCurrMenuBar->count; ++i)
            if (gCurrMenuBar->menus[i]->menuID == kWindowMenuTag) return gCurrMenuBar->menus[i];
    return VXGetMenuWithTag(kWindowMenuTag);
}

void FillWindowMenu(VXMenuRecord* menu, VXWindowRecordTag* frontWindow, bool enable) {
    std::vector<std::pair<int32_t, int32_t>> rows;
    OrderWindowMenu(&rows);
    int32_t position = 0;
    auto setItem = [&](const char* text, uint16_t tag) {
        ++position;
        if (position > VXCountMenuItems(menu)) VXInsertMenuItem(menu, true, position, tag, text);
        VXSetMenuItemText(menu, true, position, text);
        VXSetMenuItemTag(menu, true, position, tag);
    };
    for (const auto& [index, depth] : rows) {
        const WindowMenuEntry& entry = gWindowMenuTable[size_t(index)];
        char text[256];
        std::snprintf(text, sizeof text, "%*s%s", int(depth * 2), "", entry.title);
        setItem(text, uint16_t(kWindowMenuFirstItem + index));
        VXSetMenuItemIcon(menu, true, position, entry.icon);
        VXSetMenuItemChecked(menu, true, position, entry.window == frontWindow);
        VXSetMenuItemEnabled(menu, true, position, enable);
    }
    if (rows.empty()) {
        setItem("None", kWindowMenuFirstItem);
        VXSetMenuItemIcon(menu, true, position, 0);
        VXSetMenuItemChecked(menu, true, position, false);
        VXSetMenuItemEnabled(menu, true, position, false);
    }
    while (VXCountMenuItems(menu) > position) VXDeleteMenuItem(menu, true, VXCountMenuItems(menu));
}

}  // namespace

// ---- The front document ----

ProjectRecord* WindowToProject(VXWindowRecordTag* window) {
    if (!window) return nullptr;
    VXWindowRecordTag* top = VXGetTopParent(window);
    for (ProjectRecord* project = gProjectList; project; project = project->next)
        if (project->window && (project->window == window || project->window == top)) return project;
    return nullptr;
}

LogWindowRecord* WindowToLog(VXWindowRecordTag* window) {
    if (!window) return nullptr;
    VXWindowRecordTag* top = VXGetTopParent(window);
    return top->typeID == kMessageLogKind ? static_cast<LogWindowRecord*>(top->refCon) : nullptr;
}

int16_t GetFrontWindowsDataRecord(SheetRecord** sheet, SymbolEditorRecord** editor, ProjectRecord** project,
                                  VXWindowRecordTag** window) {
    *sheet = nullptr;
    *editor = nullptr;
    *project = nullptr;
    if (window) *window = nullptr;
    if (VXIsModalWindowActive()) return kModalInFrontKind;
    // While a window's menu (or its keys) prepares or runs a command, that window's document is
    // the front one, wherever the window stands.
    VXWindowRecordTag* front = VXCommandWindow();
    if (!IsDocumentWindow(front)) front = nullptr;
    for (VXWindowRecordTag* w : VXTopLevelWindows())
        if (!front && IsDocumentWindow(w)) {
            front = w;
            break;
        }
    if (!front) return kNoDocumentKind;
    if (window) *window = front;
    switch (front->typeID) {
    case kSymbolEditorKind:
    case kSymbolEditorListKind: *editor = WindowToSymbolEditor(front); break;
    case kProjectKind: *project = WindowToProject(front); break;
    case kSheetKind: *sheet = WindowToDrawing(front); break;
    default: break;
    }
    return front->typeID;
}

FrontDocument CurrentFront() {
    FrontDocument front{};
    front.kind = GetFrontWindowsDataRecord(&front.sheet, &front.editor, &front.project, &front.window);
    front.modal = front.kind == kModalInFrontKind;
    if (front.editor) CurrEdit = front.editor;
    return front;
}

ProjectRecord* FrontProject(const FrontDocument& front) {
    if (front.project) return front.project;
    return front.sheet ? front.sheet->project : nullptr;
}

SheetRecord* FrontSheetOf(const FrontDocument& front) {
    if (front.sheet) return front.sheet;
    return front.editor && (front.editor->state & kSymEditFileSymbol) ? front.editor->sheet : nullptr;
}

void GetCurrentSelectionInfo(bool full) {
    SheetRecord* sheet;
    SymbolEditorRecord* editor;
    ProjectRecord* project;
    GetFrontWindowsDataRecord(&sheet, &editor, &project);
    SelectionSummary* summary = SelectionOf(sheet, editor);
    if (!summary) return;
    SelectionSummary& sel = *summary;
    sel = SelectionSummary{};
    VXTERecord* te = nullptr;
    if (sheet) {
        GetSheetSelection(sel, sheet);
        sel.scale = sheet->viewScale;
        sel.grid = sheet->view.gridSpacing;
        sel.style = sheet->currentTextStyle;
        if (sel.textCount || sel.frameCount) {
            sel.style = nullptr;
            if (full && (sel.textCount == 1) != (sel.frameCount == 1) && sel.textCount + sel.frameCount == 1) {
                if (const TextRecord* text = SelText(sel)) TakeStyleOf(sel, text->style, text->flags);
                else if (const TextFrameRecord* frame = SelFrame(sel)) TakeStyleOf(sel, frame->style, frame->flags);
            }
        }
        sel.signals = CountHiliteWires(sheet->signalList);
        sel.busses = CountHiliteWires(sheet->bussList);
        te = static_cast<VXTERecord*>(sheet->drawingTE);
    } else {
        CountTextsAndFrames(sel, editor->texts, editor->frames, editor->elements);
        sel.scale = editor->scale;
        sel.grid = editor->grid;
        sel.style = editor->defaultStyle;
        sel.defaultStyle = (editor->state & kSymEditThemedText) != 0;
        if (sel.textCount || sel.frameCount) {
            sel.style = nullptr;
            sel.defaultStyle = false;
            if (full) {
                if (const TextFrameRecord* frame = SelFrame(sel)) TakeStyleOf(sel, frame->style, frame->flags);
                else if (sel.textCount == 1) TakeStyleOf(sel, SelText(sel)->style, SelText(sel)->flags);
            }
        }
        te = editor->textEdit;
    }
    CheckSelectionCounts(sel);
    sel.textEditing = te != nullptr;
    if (te) {
        sel.style = te->style;
        sel.alignedRight = te->just == kTEJustRight;
        sel.defaultStyle = editor ? (editor->state & kSymEditEditedThemed) != 0 : false;
    }
}

const SelectionSummary& FrontSelection() {
    static const SelectionSummary kNone{};
    SheetRecord* sheet;
    SymbolEditorRecord* editor;
    ProjectRecord* project;
    GetFrontWindowsDataRecord(&sheet, &editor, &project);
    const SelectionSummary* summary = SelectionOf(sheet, editor);
    return summary ? *summary : kNone;
}

// ---- Preparation ----

int32_t PrepCommand(VXPrepCommandRecord* record) {
    if (gGenFlags & kGenMenusOff) {
        record->enabled = 0;
        record->checked = 0;
        return 1;
    }
    const FrontDocument front = CurrentFront();
    // The selection is gathered once per menu: at the File menu (the first of the bar) and at the
    // head of every menu; an item prepared on its own (a key equivalent) gathers it for itself.
    if (record->command == cmd::kFileMenu || record->itemIndex == 0 || record->onDemand) GetCurrentSelectionInfo(true);
    if (const CommandEntry* entry = FindCommand(record->command); entry && entry->rule) entry->rule(record, front);
    return 1;
}

// ---- Dispatch ----

int32_t DoCommand(VXWindowRecordTag* window, VXEventRecord* event) {
    (void)window;
    if (!event || event->kind != kVXCommandEvent) return 0;
    const CommandEntry* entry = FindCommand(event->u.command.command);
    const FrontDocument front = CurrentFront();
    // The actions act on the selection as it is now, not as the menu last saw it.
    GetCurrentSelectionInfo(false);
    // The front document's window is the current drawing port of the action.
    if (front.editor && front.editor->window) VXSetWindow(front.editor->window);
    else if (front.sheet && front.sheet->window) VXSetWindow(front.sheet->window);
    else if (front.window) VXSetWindow(front.window);
    if (!entry || !entry->action) return 0;
    const auto& command = event->u.command;
    return entry->action(CommandCall{command.command, command.itemIndex, front, command.fromKey != 0,
                                     command.shift != 0, command.option != 0});
}

// ---- The Window menu ----

void PrepWindowMenu(VXWindowRecordTag* frontWindow, bool enable) {
    gWindowMenuTable.clear();
    for (VXWindowRecordTag* w : VXTopLevelWindows()) {
        if (int32_t(gWindowMenuTable.size()) >= kMaxWindowMenuEntries) break;
        if (IsDocumentWindow(w)) AddWindowEntry(w);
    }
    std::stable_sort(gWindowMenuTable.begin(), gWindowMenuTable.end(),
                     [](const WindowMenuEntry& a, const WindowMenuEntry& b) {
                         if (a.group != b.group) return a.group < b.group;
                         return StrCmpAlphaNumeric(a.title, b.title, false) < 0;
                     });
    if (VXMenuRecord* menu = CurrentWindowMenu()) FillWindowMenu(menu, frontWindow, enable);
}

void DoWindowMenuCommand(uint16_t id) {
    const int32_t index = int32_t(id) - kWindowMenuFirstItem;
    if (index < 0 || index >= CountWindowMenuEntries()) return;
    VXWindowRecordTag* window = gWindowMenuTable[size_t(index)].window;
    // The window may have gone since the menu was prepared.
    for (VXWindowRecordTag* w : VXTopLevelWindows())
        if (w == window) {
            VXSelectWindow(window);
            return;
        }
}

int32_t CountWindowMenuEntries() { return int32_t(gWindowMenuTable.size()); }
const WindowMenuEntry* GetWindowMenuEntry(int32_t index) {
    return index >= 0 && index < CountWindowMenuEntries() ? &gWindowMenuTable[size_t(index)] : nullptr;
}

// ---- The clipboard kind ----

void RecordCurrentScrapRef() {
    uint32_t count = 0;
    (void)VXGetCurrentScrap(&count);  // never fails: it only reads the change count
    gLastPrivateScrap = count;
}

void ResetScrap(int16_t kind) {
    VXClearScrap(nullptr);
    VXTESetScrap(nullptr, 0, 0);
    RecordCurrentScrapRef();
    gCurrScrapType = kind;
}

int16_t GetScrapType() {
    uint32_t count = 0;
    (void)VXGetCurrentScrap(&count);  // never fails: it only reads the change count
    if (int64_t(count) != gLastPrivateScrap) return kScrapForeign;
    if (gCurrScrapType == kScrapPrivateClip && (gCurrClipFlags & kClipFlagReported)) return kScrapPrivateClipFlagged;
    return gCurrScrapType;
}

}  // namespace plexa
