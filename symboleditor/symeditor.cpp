// The symbol editor record and its life; see symeditor.h.
#include "symboleditor/symeditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "foundation/assert.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/regions.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symboldata.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "model/waitcursor.h"
#include "symboleditor/symarea.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symselection.h"
#include "symboleditor/symundorecord.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

const SymbolEditorHooks& Hooks() { return GetSymbolEditorHooks(); }

std::vector<SymbolEditorRecord*>& Editors() {
    static std::vector<SymbolEditorRecord*> editors;
    return editors;
}

constexpr int32_t kLoadMargin = 48;                       // a loaded symbol's top-left, from the origin
constexpr int16_t kFileSymbolIconId = 2031;
constexpr int16_t kDefaultResolution = 96;
constexpr Point kFirstPinPoint = {55, 55};
constexpr uint32_t kBlack = 0x00000000;

// ---- Hooks with their defaults ----

// Typing, tools and the selection live in the window: an editor without one only takes the
// select tool.
void EndTextEditing(SymbolEditorRecord* editor) {
    if (editor->window) DestroySymbolEditorTE(editor);
}
void FinishTool(SymbolEditorRecord* editor) {
    if (editor->window) FinishSymbolEditorTool(editor);
    else editor->tool = kSymEditToolSelect;
}
void ClearSelection(SymbolEditorRecord* editor) {
    if (editor->window) ClearSymbolEditorSelection(editor);
}
void ClearUndo(SymbolEditorRecord* editor) {
    ClearSymbolEditorUndoAction(editor);
}
void ShowWindow(SymbolEditorRecord* editor, bool frontOnly) {
    if (Hooks().showWindow) Hooks().showWindow(editor, frontOnly);
}
void Report(OSStatus status, const char* message) {
    if (Hooks().reportError) Hooks().reportError(status, message);
}
// ---- Small helpers ----

bool WindowVisible(const SymbolEditorRecord* editor) {
    return editor->window && VXIsWindowVisible(editor->window, false);
}

// The frontmost visible editor window, other than the editor's, of an editor with the same owner.
VXWindowRecordTag* FrontmostSiblingWindow(const SymbolEditorRecord* editor) {
    for (VXWindowRecordTag* w = VXGetNextVisibleWindow(nullptr, 8, false); w;
         w = VXGetNextVisibleWindow(w, 8, false)) {
        const SymbolEditorRecord* other = WindowToSymbolEditor(w);
        if (!other || other == editor) continue;
        if ((editor->sheet && other->sheet == editor->sheet) ||
            (editor->libEditor && other->libEditor == editor->libEditor))
            return w;
    }
    return nullptr;
}

void PlaceNewWindow(SymbolEditorRecord* editor, VXWindowRecordTag* ownerWindow) {
    if (!editor->window) return;
    VXWindowRecordTag* anchor = FrontmostSiblingWindow(editor);
    if (!anchor) anchor = ownerWindow;
    if (anchor) PlaceSymbolEditorWindow(editor, anchor);
}

// Whether any name of the item equals the name, ignoring case.
bool ItemHasName(const LibraryItem* item, const char* name) {
    for (int32_t i = 0; i < CountLibraryItemNames(item); ++i)
        if (StrCINCmp(GetLibraryItemNamePtr(item, i), name, kLibItemTextSize) == 0) return true;
    return false;
}

FileSymbolEntry* FindFileSymbolByName(SheetRecord* sheet, const char* name) {
    if (!sheet || !name || !*name) return nullptr;
    for (auto* entry = static_cast<FileSymbolEntry*>(LLFirst(sheet->fileSymbolList)); entry;
         entry = entry->next) {
        if (entry->editor && entry->editor->item) {
            if (ItemHasName(entry->editor->item, name)) return entry;
            continue;
        }
        int32_t count = 0;
        if (!entry->item || CheckFlattenedLibraryItemNames(entry->item, &count) != 0) continue;
        for (int32_t i = 0; i < count; ++i) {
            char itemName[kFlatItemNameBufferSize];
            GetFlattenedLibraryItemName(entry->item, i, itemName, sizeof itemName);
            if (StrCINCmp(itemName, name, kFlatItemNameBufferSize) == 0) return entry;
        }
    }
    return nullptr;
}

// Cuts a UTF-8 string to at most `bytes` bytes of whole characters.
void CutName(std::string* name, size_t bytes) {
    if (name->size() <= bytes) return;
    size_t end = bytes;
    while (end > 0 && (uint8_t((*name)[end]) & 0xC0) == 0x80) --end;
    name->resize(end);
}

// The bounds that the stored drawings of the symbol take at (0, 0): every element, and the texts
// that are not hidden and the frames.
Rect StoredSymbolBounds(SymbolEditorRecord* editor, int32_t symbol) {
    Rect bounds = kSymbolDataEmptyRect;
    for (int32_t view = 0; view < 2; ++view) {
        const Ptr data = GetLibSymbolData(editor->item, symbol, view);
        if (!data || SizeOfPtr(data) < kSymbolDataHeadSize) continue;
        const auto* head = reinterpret_cast<const SymbolDataHead*>(data);
        VXUnionRect(&bounds, &head->all, &bounds);
        LinkListHeader* texts = CreateTextList();
        LinkListHeader* frames = CreateTextFrameList();
        StringBlock block = CreateStringBlock(gGenPool, 256);
        if (texts && frames && block &&
            SymbolDataToElements(data, SizeOfPtr(data), nullptr, {0, 0}, nullptr, texts, frames,
                                 editor->styleList, block, nullptr) == 0) {
            for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
                const auto* text = static_cast<const TextRecord*>(item);
                if (!(text->flags & kTextFlagHidden)) VXUnionRect(&bounds, &text->bounds, &bounds);
            }
            for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item))
                VXUnionRect(&bounds, &(*static_cast<TextFrameHandle>(item))->bounds, &bounds);
        }
        DestroyTextList(texts);
        DestroyTextFrameList(frames);
        if (block) DestroyStringBlock(block);
    }
    return bounds;
}

// After reading a view: themed texts take the editor's theme styles, field-reference texts become
// frames again and pin attribute texts keep their string as their macro.
void ReviseLoadedTexts(SymbolEditorRecord* editor, int32_t view) {
    LinkListHeader* texts = editor->textLists[view];
    std::vector<TextRecord*> references;
    for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
        auto* text = static_cast<TextRecord*>(item);
        if (text->flags & kTextFlagThemed) {
            const txStyle* theme = GetSymbolEditorTextThemeStyle(text);
            if (theme && (!text->style || !StyleFieldsMatch(text->style, theme, kStyleFont | kStyleSize | kStyleFace))) {
                InstallStyleInText(text, theme, kStyleFont | kStyleSize | kStyleFace, editor->styleList);
                CalcTextBounds(editor->window, text, editor->stringBlock);
            }
        }
        if (text->kind == kTextKindSymbolAttribute) references.push_back(text);
        else if (text->kind >= kTextKindPinAttribute) text->macroText = text->text;
    }
    for (TextRecord* text : references) {
        if (text->flags & kTextFlagHidden) {
            char string[kTextStringSize];
            const bool macro = GetTextRecordMacroString(text, editor->stringBlock, string, sizeof string);
            if (StrInsert("@", string, sizeof string, 1)) {
                if (macro) SetTextRecordMacroString(text, editor->stringBlock, string);
                else SetTextRecordString(text, editor->stringBlock, string);
            }
        }
        TextFrameHandle frame = CreateTextFrameFromTextElement(text, editor->stringBlock, editor->styleList,
                                                               true, editor->window);
        if (!frame) continue;  // the text stays a text rather than being lost
        LLRemoveOrFree(texts, text, nullptr, true);
        LLPush(editor->frameLists[view], frame);
    }
}

// Stores the view's drawing into the current symbol; an allocation failure keeps the old one.
void StoreView(SymbolEditorRecord* editor, int32_t view) {
    LibraryItem* item = editor->item;
    Handle data = FlattenSymbolView(editor->elementLists, editor->textLists, editor->frameLists,
                                    editor->stringBlock, view, item->imageList, nullptr);
    Ptr block = nullptr;
    if (data) {
        block = AllocPtrWithData(nullptr, *data, SizeOfHandle(data));
        if (!block)  // give back the references the data took
            (void)AdjustImageReferenceCountsFromSymbolData(*data, SizeOfHandle(data), item->imageList,  // corrupt data changes no counts
                                                     kImageReferenceRelease);
        MemFree(data);
        if (!block) return;
    }
    Report(SetLibSymbolData(item, editor->symbol, view, block, nullptr), nullptr);
}

void DestroyRecord(SymbolEditorRecord* editor) {
    for (int32_t view = 0; view < 2; ++view) {
        DestroyElementList(editor->elementLists[view]);
        DestroyTextList(editor->textLists[view]);
        DestroyTextFrameList(editor->frameLists[view]);
    }
    DestroyImageList(editor->images);
    if (editor->styleList) DestroyTextStyleList(editor->styleList);
    if (editor->stringBlock) DestroyStringBlock(editor->stringBlock);
    if (editor->defaultStyle) DestroyTextStyle(editor->defaultStyle);
    if (editor->selectionRegion) VXDestroyRgn(editor->selectionRegion);
    MemFreePtr(reinterpret_cast<Ptr>(editor));
}

// Marks the pin sets of a component's sections and gives the item every marked set.
void SetupPinSets(SymbolEditorRecord* editor) {
    LibraryItem* item = editor->item;
    int32_t lowest = -1;
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section;
         section = section->next)
        for (int32_t set = 0; set < kLibPinSetCount; ++set)
            if (section->pinNumbers[set]) editor->pinSets[set] = 1;
    for (int32_t set = kLibPinSetCount - 1; set >= 0; --set)
        if (editor->pinSets[set]) lowest = set;
    if (lowest < 0) {
        lowest = 0;
        editor->pinSets[0] = 1;
    }
    editor->pinSet = int16_t(lowest);
    for (int32_t set = 0; set < kLibPinSetCount; ++set)
        if (editor->pinSets[set]) (void)AllocateLibItemPinSet(item, set, lowest);  // out of memory leaves the set unallocated
}

// The index a definition will have after the flatten's purge, -1 when the purge removes it.
int32_t IndexAfterPurge(LibraryItem* item, int32_t symbol) {
    int32_t index = 0;
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        const bool kept = GetLibSymbolData(item, i, 0) && GetFirstLibSectionUsingSymbol(item, i);
        if (i == symbol) return kept ? index : -1;
        if (kept) ++index;
    }
    return -1;
}

}  // namespace

// ---- Open editors ----

int32_t CountSymbolEditors() { return int32_t(Editors().size()); }

SymbolEditorRecord* GetIndexedSymbolEditor(int32_t index) {
    if (index < 0 || index >= CountSymbolEditors()) return nullptr;
    SymbolEditorRecord* editor = Editors()[size_t(index)];
    PLEXA_ASSERT(editor != nullptr);  // the list holds open editors only
    return editor;
}

SymbolEditorRecord* WindowToSymbolEditor(VXWindowRecordTag* window) {
    if (!window) return nullptr;
    VXWindowRecordTag* top = VXGetTopParent(window);
    for (SymbolEditorRecord* editor : Editors()) {
        PLEXA_ASSERT(editor != nullptr);
        if (editor->window && (editor->window == window || editor->window == top)) return editor;
    }
    return nullptr;
}

// ---- Life ----

SymbolEditorRecord* CreateSymbolEditor(LibraryItem* item, uint16_t stateFlags) {
    if (!item) return nullptr;
    auto* editor = reinterpret_cast<SymbolEditorRecord*>(AllocPtrClear(gGenPool, sizeof(SymbolEditorRecord)));
    if (!editor) return nullptr;
    bool made = (editor->images = CreateLocalImageList()) != nullptr;
    for (int32_t view = 0; made && view < 2; ++view)
        made = (editor->elementLists[view] = CreateElementList(editor->images)) != nullptr;
    for (int32_t view = 0; made && view < 2; ++view)
        made = (editor->textLists[view] = CreateTextList()) != nullptr;
    for (int32_t view = 0; made && view < 2; ++view)
        made = (editor->frameLists[view] = CreateTextFrameList()) != nullptr;
    made = made && (editor->styleList = CreateTextStyleList(gGenPool)) != nullptr;
    made = made && (editor->defaultStyle =
                        CreateTextStyle(gGenPool, gDefaultTextThemes.styles[kThemeSymbolOwned])) != nullptr;
    made = made && (editor->stringBlock = CreateStringBlock(gGenPool, 4096)) != nullptr;
    if (!made) {
        DestroyRecord(editor);
        return nullptr;
    }
    SetSymbolViewContext(editor, kSymbolViewPrimary);
    editor->symbol = -1;
    editor->currentTab = kSymEditTabDrawing;
    editor->tool = kSymEditToolSelect;
    editor->scale = 100;
    editor->resolution = kDefaultResolution;
    editor->state = uint16_t(stateFlags | kSymEditCreationFlags);
    editor->penWidth = 1;
    editor->frameColor = editor->fillColor = kBlack;
    editor->gridLock = editor->gridVisible = editor->rulers = true;
    editor->grid = gDefSheetSettings.gridSpacing > 0 ? gDefSheetSettings.gridSpacing : 1;
    editor->item = item;
    editor->kind = item->head.kind;
    if (editor->kind == kLibItemComponent) SetupPinSets(editor);
    if (Hooks().createWindow && !Hooks().createWindow(editor)) {
        DestroyRecord(editor);
        return nullptr;
    }
    Editors().push_back(editor);
    if (item->head.symbolCount == 0) {
        NewLibItemSymbol(editor, -1, nullptr);
        if (editor->kind != kLibItemComponent) {
            Point at = kFirstPinPoint;
            SnapPointToGrid(&at, editor->grid);
            ElementRecord* pin = BuildNodeElement(at, Point{int16_t(at.v + kNewPinLength), at.h}, 1, 0,
                                                  false, 0, false, kBlack, false, kBlack);
            if (pin) {
                pin->frameColor = pin->fillColor = kBlack;
                LLPush(editor->elementLists[kSymbolViewPrimary], pin);
            }
        }
    }
    SetSymbolEditorSymbol(editor, 0, nullptr);
    return editor;
}

SymbolEditorRecord* OpenLibSymbolEditor(LibEditorRecord* libEditor, LibEditorItemRef* ref) {
    for (SymbolEditorRecord* editor : Editors()) {
        if (editor->libEditor != libEditor || editor->itemRef != ref) continue;
        ShowWindow(editor, true);
        CurrEdit = editor;
        return editor;
    }
    Handle data = Hooks().getLibItemData ? Hooks().getLibItemData(libEditor, ref) : nullptr;
    if (!data) return nullptr;
    LibraryItem* item = nullptr;
    const OSStatus status = InflateLibraryItem(data, &item, true);
    if (Hooks().releaseLibItemData) Hooks().releaseLibItemData(ref);
    if (status != 0) {
        Report(status, status == status::kVersionTooNew ? kNewerItemMessage : nullptr);
        return nullptr;
    }
    SymbolEditorRecord* editor = CreateSymbolEditor(item, 0);
    if (!editor) {
        DestroyLibraryItem(item);
        Report(status::kOutOfMemory, nullptr);
        return nullptr;
    }
    CurrEdit = editor;
    editor->libEditor = libEditor;
    editor->itemRef = ref;
    if (Hooks().setLibItemEditor) Hooks().setLibItemEditor(ref, editor);
    PlaceNewWindow(editor, Hooks().libEditorWindow ? Hooks().libEditorWindow(libEditor) : nullptr);
    UpdateSymbolEditorTitle(editor);
    ShowWindow(editor, false);
    return editor;
}

bool IsFileSymbolNameTaken(SheetRecord* sheet, const char* name) {
    return FindFileSymbolByName(sheet, name) != nullptr;
}

void ProposeFileSymbolName(SheetRecord* sheet, char* name) {
    char base[kFileSpecNameCapacity] = "";
    if (sheet) {
        std::snprintf(base, sizeof base, "%s", sheet->fileSpec.name);
        RemoveExtension(".ASC", base);
        RemoveExtension(".SHX", base);
    }
    std::string proposal = base;
    CutName(&proposal, kFileSymbolNameLength);
    for (int32_t n = 1; !proposal.empty() && IsFileSymbolNameTaken(sheet, proposal.c_str()); ++n) {
        const std::string suffix = " " + std::to_string(n);
        proposal = base;
        CutName(&proposal, kFileSymbolNameLength - suffix.size());
        proposal += suffix;
    }
    std::memcpy(name, proposal.c_str(), proposal.size() + 1);
}

FileSymbolEntry* GetFileSymbolFromEditor(const SymbolEditorRecord* editor) {
    if (!editor->sheet) return nullptr;
    for (auto* entry = static_cast<FileSymbolEntry*>(LLFirst(editor->sheet->fileSymbolList)); entry;
         entry = entry->next)
        if (entry->editor == editor) return entry;
    return nullptr;
}

OSStatus OpenSheetFileSymbolEditor(SheetRecord* sheet, const char* name, int32_t index, bool show,
                                   SymbolEditorRecord** out) {
    if (out) *out = nullptr;
    if (!sheet) return status::kParamErr;
    FileSymbolEntry* entry = nullptr;
    bool created = false;
    char itemName[kFileSymbolNameLength + 1] = "";
    if (name && *name) {
        if (!(entry = FindFileSymbolByName(sheet, name))) return status::kNotFound;
        std::snprintf(itemName, sizeof itemName, "%s", name);
    } else if (index >= 0) {
        if (!(entry = GetIndexedFileSymbol(sheet, index))) return status::kNotFound;
    } else {
        if (CountFileSymbols(sheet) > kMaxFileSymbols) return kFileSymbolListFull;
        ProposeFileSymbolName(sheet, itemName);
        const bool named = Hooks().askFileSymbolName ? Hooks().askFileSymbolName(itemName) : true;
        itemName[kFileSymbolNameLength] = 0;
        if (!named || !*itemName) return status::kUserCancelled;
        if (!(entry = CreateFileSymbol(sheet))) return status::kOutOfMemory;
        created = true;
    }
    if (SymbolEditorRecord* open = entry->editor) {
        if (show) {
            ShowWindow(open, true);
            CurrEdit = open;
        }
        if (out) *out = open;
        return kFileSymbolEditorWasOpen;
    }
    const bool fresh = !entry->item;
    LibraryItem* item = nullptr;
    OSStatus status = status::kNoErr;
    if (!fresh) {
        status = InflateLibraryItem(entry->item, &item, true);
    } else if ((item = CreateLibraryItem(kLibItemComponent))) {
        if (*itemName) (void)SetLibraryItemNameInfo(item, kLibAppendName, itemName, 0);  // out of memory leaves the new item unnamed
        SetLibraryItemRefPrefix(item, "U");
    } else {
        status = status::kOutOfMemory;
    }
    SymbolEditorRecord* editor = item ? CreateSymbolEditor(item, kSymEditFileSymbol) : nullptr;
    if (!editor) {
        if (item) DestroyLibraryItem(item);
        if (created) DestroyFileSymbol(sheet, entry);
        if (status == status::kNoErr) status = status::kOutOfMemory;
        Report(status, status == status::kVersionTooNew ? kNewerItemMessage : nullptr);
        return status;
    }
    editor->sheet = sheet;
    editor->fileSymbol = entry;
    entry->editor = editor;
    PlaceNewWindow(editor, sheet->window);
    if (fresh) {
        if (Hooks().buildStandardFileSymbol) Hooks().buildStandardFileSymbol(editor);
        editor->symbolFlags |= kSymFlagsStandardSymbol;
    } else if (Hooks().updateFileSymbolPins) {
        Hooks().updateFileSymbolPins(editor);
    }
    UpdateSymbolEditorTitle(editor);
    if (show) {
        CurrEdit = editor;
        ShowWindow(editor, false);
    }
    if (out) *out = editor;
    return status::kNoErr;
}

bool OpenFileSymbolEditorNamed(SheetRecord* sheet, const char* name) {
    const OSStatus st = OpenSheetFileSymbolEditor(sheet, name, -1, true, nullptr);
    return st == status::kNoErr || st == kFileSymbolEditorWasOpen;
}

void MarkFileSymbolEditorsStale(const SheetRecord* sheet) {
    if (!sheet) return;
    VXWindowRecordTag* front = VXGetNextVisibleWindow(nullptr, 7, false);
    for (int32_t i = 0; i < CountSymbolEditors(); ++i) {
        SymbolEditorRecord* editor = GetIndexedSymbolEditor(i);
        if (editor->sheet == sheet && (editor->state & kSymEditFileSymbol) && (!front || editor->window != front))
            editor->state |= kSymEditSheetPortsChanged;
    }
}

void DoSymbolEditorActivate(SymbolEditorRecord* editor) {
    CurrEdit = editor;
    if (Hooks().activated) Hooks().activated(editor);
    UpdateSymbolEditorLibItemRow(editor, true);
    if (editor->sheet && (editor->state & kSymEditSheetPortsChanged)) {
        editor->state &= uint16_t(~kSymEditSheetPortsChanged);
        ModelWaitCursor();
        if (Hooks().updateFileSymbolPins) Hooks().updateFileSymbolPins(editor);
    }
}

void GetSymbolEditorTitle(const SymbolEditorRecord* editor, char* title, int32_t size) {
    if (!title || size < 1) return;
    std::string text;
    VXWindowRecordTag* owner = editor->sheet ? editor->sheet->window
                               : editor->libEditor && Hooks().libEditorWindow
                                   ? Hooks().libEditorWindow(editor->libEditor)
                                   : nullptr;
    if (owner) {
        char ownerTitle[200];
        VXGetWindowTitle(owner, ownerTitle);
        text = std::string(ownerTitle) + " : ";
    }
    char name[kLibItemTextSize] = "";
    for (int32_t i = 0; i < CountLibraryItemNames(editor->item) && !*name; ++i) {
        std::snprintf(name, sizeof name, "%s", GetLibraryItemNamePtr(editor->item, i));
        TrimSpacesC(name);
    }
    text += *name ? name : kUnnamedItemTitle;
    CutName(&text, size_t(size - 1));
    std::memcpy(title, text.c_str(), text.size() + 1);
}

void UpdateSymbolEditorTitle(SymbolEditorRecord* editor) {
    if (!editor->window) return;
    char title[kLibItemTextSize + 200];
    GetSymbolEditorTitle(editor, title, sizeof title);
    VXSetWindowTitle(editor->window, title);
}

int16_t GetSymbolWindowIconId(const SymbolEditorRecord* editor) {
    if (editor->state & kSymEditFileSymbol) return kFileSymbolIconId;
    switch (editor->kind) {
        case kLibItemWireSymbol: return 2042;
        case kLibItemPort: return 2041;
        default: return 2036;
    }
}

bool SymbolEditorHasChanges(const SymbolEditorRecord* editor) {
    return editor && (editor->state & (kSymEditEdited | kSymEditItemModified)) != 0;
}

bool ValidateSymbolEditorSymbol(const SymbolEditorRecord* editor) {
    if (editor->kind != kLibItemComponent) return true;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(editor->elementLists[kSymbolViewPrimary])); e; e = e->next)
        if (e->kind != kElementNode) return true;
    return false;
}

void SetSymbolViewContext(SymbolEditorRecord* editor, int32_t view) {
    if (view < 0 || view > 1) return;
    if (view != editor->viewContext) {
        if (editor->constructed && editor->window) FinishSymbolEditorTool(editor);
        ClearUndo(editor);
    }
    const bool changed = view != editor->viewContext;
    editor->viewContext = int16_t(view);
    editor->elements = editor->elementLists[view];
    editor->texts = editor->textLists[view];
    editor->frames = editor->frameLists[view];
    // The pins of the drawing left are brought into the one shown.
    if (changed && editor->elementLists[1 - view]) SynchAltSymbolNodes(editor, 1 - view);
}

void GetSymbolEditorGridPoint(const SymbolEditorRecord* editor, Point* point) {
    if (editor->gridLock) SnapPointToGrid(point, editor->grid);
}

// ---- Reading back and writing out ----

void EmptySymbolEditor(SymbolEditorRecord* editor) {
    if (editor == CurrEdit) {
        EndTextEditing(editor);
        ClearSelection(editor);
    }
    // The undo action refers to the items about to be freed.
    ClearUndo(editor);
    AbortSymbolEditorUndoCollection(editor);
    DetachAlternatePins(editor);
    for (int32_t view = 0; view < 2; ++view) {
        LLRemoveOrFreeAll(editor->elementLists[view], true);
        LLRemoveOrFreeAll(editor->textLists[view], true);
        LLRemoveOrFreeAll(editor->frameLists[view], true);
    }
    editor->constructed = editor->selectedElement = nullptr;
    editor->selectedFrame = nullptr;
    EmptyStringBlock(editor->stringBlock, false);
    editor->section = nullptr;
}

void CalcSymbolLoadOffset(SymbolEditorRecord* editor, int32_t symbol, Point* offset) {
    const Rect bounds = StoredSymbolBounds(editor, symbol);
    *offset = {kLoadMargin, kLoadMargin};
    if (!VXEmptyRect(&bounds))
        *offset = {int16_t(kLoadMargin - bounds.top), int16_t(kLoadMargin - bounds.left)};
    GetSymbolEditorGridPoint(editor, offset);
}

void SetSymbolEditorSymbol(SymbolEditorRecord* editor, int32_t symbol, LibSection* section) {
    LibraryItem* item = editor->item;
    if (symbol == editor->symbol || symbol < 0 || symbol >= item->head.symbolCount) return;
    if (editor->symbol >= 0) {
        if (!FlushSymbolEditor(editor, false)) return;  // the edits stay until they can be stored
        EmptySymbolEditor(editor);
    }
    SetSymbolViewContext(editor, kSymbolViewPrimary);
    editor->symbol = symbol;
    if (const uint8_t resolution = GetLibSymbolResolution(item, symbol)) editor->resolution = resolution;
    const uint8_t grid = GetLibSymbolGrid(item, symbol);
    if (grid >= 1 && grid <= 72) editor->grid = grid;
    Point offset;
    CalcSymbolLoadOffset(editor, symbol, &offset);
    editor->symbolFlags = GetLibSymbolFlags(item, symbol);
    editor->placementOptions = GetLibSymbolPlacementOptions(item, symbol);
    for (int32_t view = 0; view < 2; ++view) {
        const Ptr data = GetLibSymbolData(item, symbol, view);
        if (!data) continue;
        (void)SymbolDataToElements(data, SizeOfPtr(data), item->imageList, offset, editor->elementLists[view],  // a drawing that does not play shows nothing
                             editor->textLists[view], editor->frameLists[view], editor->styleList,
                             editor->stringBlock, nullptr);
        ReviseLoadedTexts(editor, view);
    }
    AssignAlternateNodeLinks(editor);
    if (editor->kind == kLibItemComponent) {
        InstallPinDataCopiesInNodes(editor);
        SetCtxPinText(editor, kTextKindPinName);
    }
    InstallPinNumbersInNodes(editor);
    if (!section) section = GetFirstLibSectionUsingSymbol(item, symbol);
    if (!section) section = NewLibItemSection(editor, symbol, nullptr);
    SetSymbolEditorSlot(editor, section);
}

void FlushNodeDataToLibItem(SymbolEditorRecord* editor) {
    LibraryItem* item = editor->item;
    if (editor->kind != kLibItemComponent || editor->symbol < 0) return;
    if (editor->viewContext == kSymbolViewAlternate) SynchAltSymbolNodes(editor, kSymbolViewAlternate);
    else if (HasAltSymbol(editor->elementLists)) SynchAltSymbolNodes(editor, kSymbolViewPrimary);
    const bool primaryMoved = SortSymbolView(editor->elementLists, editor->textLists, nullptr, 0);
    const bool alternateMoved = SortSymbolView(editor->elementLists, editor->textLists, nullptr, 1);
    if (!primaryMoved && !alternateMoved && !(editor->state & kSymEditEdited)) return;
    // Pins in a new order are pins with new indexes: the drawings must be stored in that order
    // too, or the pin numbers and pin data would name other pins.
    if (primaryMoved || alternateMoved) SetEditModified(editor, false);
    ModelWaitCursor();
    SetSymbolLibItemModified(editor);
    const int32_t count = CountSymbolEditorNodes(editor);
    std::vector<NodeElement*> pins;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(editor->elementLists[kSymbolViewPrimary])); e; e = e->next)
        if (e->kind == kElementNode && int32_t(pins.size()) < count) pins.push_back(ElementAs<NodeElement>(e));
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section; section = section->next) {
        if (section->symbolIndex != editor->symbol) continue;
        if (!SetLibSectionPinCount(section, count)) continue;
        for (int32_t set = 0; set < kLibPinSetCount; ++set)
            if (editor->pinSets[set] && !section->pinNumbers[set]) (void)CreateLibSectionPinSet(section, set, -1);  // out of memory leaves the set unallocated
        const uint64_t key = uint64_t(reinterpret_cast<uintptr_t>(section));
        for (size_t i = 0; i < pins.size(); ++i) {
            StringSpec specs[kLibPinSetCount];
            GetNodesPinNumberSet(pins[i]->pinNumbers, key, specs);
            SetLibSectionPinNumberSet(section, int32_t(i), specs, editor->stringBlock, item->stringBlock);
        }
    }
    if (!item->pinTable) item->pinTable = CreatePinDataTable(item->stringBlock);
    uint16_t* ids = pins.empty() ? nullptr
                                 : reinterpret_cast<uint16_t*>(AllocPtrClear(nullptr, uint32_t(pins.size() * 2)));
    if (!pins.empty() && (!ids || !item->pinTable)) {
        if (ids) MemFreePtr(reinterpret_cast<Ptr>(ids));
        return;  // the ids stay as they were
    }
    for (size_t i = 0; i < pins.size(); ++i) {
        NodeElement* pin = pins[i];
        if (pin->pinData) ValidatePinDataType(pin->pinData, pin->head.penWidth >= 2);
        Handle clone = pin->pinData ? CloneHandle(nullptr, pin->pinData) : CreateNewPinData();
        int32_t id = -1;
        if (clone && (!pin->pinData || ChangePinDataStringBlock(clone, editor->stringBlock, item->stringBlock) == 0))
            id = AddPinDataToTable(item->pinTable, clone);
        if (clone) DestroyPinData(clone);
        ids[i] = uint16_t(std::max(id, 0));
    }
    SetLibSymbolPinDataIds(item, editor->symbol, ids);
}

bool FlushSymbolEditor(SymbolEditorRecord* editor, bool listFlag) {
    if (editor == CurrEdit) {
        if (editor->currentTab != kSymEditTabDrawing) {
            if (Hooks().flushList && !Hooks().flushList(editor, listFlag)) return false;
        } else {
            EndTextEditing(editor);
            ClearSelection(editor);
        }
    }
    if (editor->symbol < 0) return true;
    if (editor->currentTab == kSymEditTabDrawing) FlushNodeDataToLibItem(editor);
    if (!(editor->state & kSymEditEdited)) return true;
    ModelWaitCursor();
    SetSymbolLibItemModified(editor);
    StoreView(editor, kSymbolViewPrimary);
    StoreView(editor, kSymbolViewAlternate);
    uint32_t flags = editor->symbolFlags & ~kSymFlagsFlushCleared;
    if (editor->state & kSymEditFileSymbol) flags |= kSymFlagFileSymbol;
    if (editor->kind != kLibItemComponent) flags |= kSymFlagNetSymbol;
    if (editor->kind == kLibItemPort) {
        flags |= kSymFlagPort;
        const auto* first = static_cast<const ElementRecord*>(LLFirst(editor->elementLists[kSymbolViewPrimary]));
        if (first && first->penWidth >= 2) flags |= kSymFlagBusPort;
    }
    editor->symbolFlags = flags;
    LibraryItem* item = editor->item;
    SetLibSymbolFlags(item, editor->symbol, flags);
    SetLibSymbolPlacementOptions(item, editor->symbol, editor->placementOptions);
    SetLibSymbolGrid(item, editor->symbol, uint8_t(std::clamp<int32_t>(editor->grid, 0, 255)));
    SetLibSymbolResolution(item, editor->symbol, uint8_t(std::clamp<int32_t>(editor->resolution, 0, 255)));
    editor->state &= uint16_t(~kSymEditEdited);
    return true;
}

Handle FlattenSymbolEditorItem(SymbolEditorRecord* editor, OSStatus* status) {
    LibraryItem* item = editor->item;
    const int32_t loaded = editor->symbol;
    // A library item being edited keeps every definition, the loaded one included; a sheet's
    // file symbol is stored without the definitions not drawn or not used.
    if (!(editor->state & kSymEditFileSymbol)) return FlattenLibraryItem(item, true, 0, status);
    const int32_t kept = loaded >= 0 ? IndexAfterPurge(item, loaded) : -1;
    PurgeEmptyUnusedParts(item);
    Handle flat = FlattenLibraryItem(item, true, 0, status);
    if (loaded < 0) return flat;
    if (kept >= 0) {
        editor->symbol = kept;  // its sections are the same records
        return flat;
    }
    // The loaded definition had no primary drawing: the item no longer holds it. The editor shows
    // what the item holds now.
    editor->symbol = -1;
    EmptySymbolEditor(editor);
    if (item->head.symbolCount > 0) SetSymbolEditorSymbol(editor, 0, nullptr);
    else NewLibItemSymbol(editor, -1, nullptr);
    return flat;
}

// ---- Closing and saving ----

bool CloseLibrarySymbolEditor(SymbolEditorRecord* editor, bool flush, bool validate) {
    if (editor->currentTab == kSymEditTabDrawing) FinishTool(editor);
    if (flush) {
        if (validate && !ValidateSymbolEditorSymbol(editor)) {
            ShowWindow(editor, true);
            const InvalidSymbolAnswer answer = Hooks().askInvalidSymbol
                                                   ? Hooks().askInvalidSymbol(editor)
                                                   : InvalidSymbolAnswer::kCloseAnyway;
            if (answer == InvalidSymbolAnswer::kEdit) return false;
        }
        if (!FlushSymbolEditor(editor, false)) return false;
        if (Hooks().syncLibItemRef) Hooks().syncLibItemRef(editor->libEditor, editor->itemRef);
    }
    DestroySymbolEditor(editor);
    return true;
}

bool CloseLibrarySymbolEditorWindow(SymbolEditorRecord* editor) {
    if (editor->currentTab == kSymEditTabDrawing) FinishTool(editor);
    if (!SymbolEditorHasChanges(editor) || !Hooks().askSaveItem) return CloseLibrarySymbolEditor(editor, true, true);
    switch (Hooks().askSaveItem(editor)) {
        case SaveItemAnswer::kCancel: return false;
        case SaveItemAnswer::kDontSave: return CloseLibrarySymbolEditor(editor, false, false);
        case SaveItemAnswer::kSave:
            // A save that fails (or finds no place) keeps the window and its changes.
            if (!Hooks().saveLibrary || !Hooks().saveLibrary(editor->libEditor)) return false;
            return CloseLibrarySymbolEditor(editor, true, true);
    }
    return false;
}

bool CloseSheetSymbolEditor(SymbolEditorRecord* editor, bool discard) {
    if (editor->currentTab == kSymEditTabDrawing) FinishTool(editor);
    if (!discard) {
        if (!FlushSymbolEditor(editor, false)) return false;
        // An item that cannot be stored keeps its editor, unless its file symbol is gone.
        if ((editor->state & kSymEditItemModified) && !StoreSheetSymbolEditorData(editor) &&
            GetFileSymbolFromEditor(editor))
            return false;
    }
    DestroySymbolEditor(editor);
    return true;
}

bool SaveSheetSymbolEditor(SymbolEditorRecord* editor, bool listFlag) {
    if (!FlushSymbolEditor(editor, listFlag)) return false;
    if (editor->state & kSymEditItemModified) {
        if (!StoreSheetSymbolEditorData(editor)) return false;
        editor->state &= uint16_t(~(kSymEditEdited | kSymEditItemModified));
    }
    ShowSymbolEditorUnsaved(editor, false);
    return true;
}

bool StoreSheetSymbolEditorData(SymbolEditorRecord* editor) {
    FileSymbolEntry* entry = GetFileSymbolFromEditor(editor);
    if (!entry) return false;
    OSStatus status = status::kNoErr;
    Handle flat = FlattenSymbolEditorItem(editor, &status);
    if (!flat) {
        Report(status, nullptr);
        return false;
    }
    if (entry->item) MemFree(entry->item);
    entry->item = flat;
    SymbolEditorSheetModified(editor->sheet, kSheetFileSymbolStored);
    if (Hooks().markSheetsWithChildSymbols) Hooks().markSheetsWithChildSymbols(editor->sheet);
    return true;
}

void DestroySymbolEditor(SymbolEditorRecord* editor) {
    if (!editor) return;
    EndTextEditing(editor);
    if (editor == CurrEdit) ClearSelection(editor);
    DetachAlternatePins(editor);
    ClearUndo(editor);
    AbortSymbolEditorUndoCollection(editor);
    if (FileSymbolEntry* entry = GetFileSymbolFromEditor(editor)) {
        entry->editor = nullptr;
        if (!entry->item) DestroyFileSymbol(editor->sheet, entry);
    }
    if (editor->libEditor) {
        if (Hooks().setLibItemEditor) Hooks().setLibItemEditor(editor->itemRef, nullptr);
        UpdateSymbolEditorLibItemRow(editor, false);
    }
    DestroyLibraryItem(editor->item);
    editor->item = nullptr;
    if (Hooks().destroyWindow) Hooks().destroyWindow(editor);
    std::erase(Editors(), editor);
    if (CurrEdit == editor) {
        CurrEdit = nullptr;
        for (SymbolEditorRecord* other : Editors())
            if (WindowVisible(other)) {
                CurrEdit = other;
                break;
            }
    }
    DestroyRecord(editor);
}

void UpdateSymbolEditorDefaultStyles() {
    for (SymbolEditorRecord* editor : Editors()) {
        if (editor->kind != kLibItemComponent || !WindowVisible(editor)) continue;
        for (int32_t view = 0; view < 2; ++view) {
            Rect area = kSymbolDataEmptyRect;
            RebuildDefaultStyleText(editor->textLists[view], editor->frameLists[view], editor->styleList,
                                    editor->stringBlock, nullptr, editor->window, &area);
            if (editor->currentTab == kSymEditTabDrawing && view == editor->viewContext &&
                !VXEmptyRect(&area))
                InvalSymbolEditorView(editor, &area);
        }
    }
}

void ResetSymbolEditorPinText(SymbolEditorRecord* editor) {
    SetCtxPinText(editor, kTextKindPinName);
    SetCtxPinText(editor, kTextKindPinNumber);
}

// ---- Pins, sections and symbols that load or mark the editor ----

void SetSymbolEditorSlot(SymbolEditorRecord* editor, LibSection* section) {
    if (!section || section == editor->section) return;
    if (section->symbolIndex != editor->symbol) {
        SetSymbolEditorSymbol(editor, section->symbolIndex, section);
        return;
    }
    editor->section = section;
    SetCtxPinText(editor, kTextKindPinNumber);
    InvalSymbolEditorView(editor, nullptr);
}

void SynchAltSymbolNodes(SymbolEditorRecord* editor, int32_t fromView) {
    if (fromView < 0 || fromView > 1) return;
    const int32_t other = 1 - fromView;
    LinkListHeader* fromTexts = editor->textLists[fromView];
    LinkListHeader* otherElements = editor->elementLists[other];
    LinkListHeader* otherTexts = editor->textLists[other];
    ImageList* images = GetElementListImageList(otherElements);
    bool changed = false;
    std::vector<ElementRecord*> companions;
    for (ElementRecord* pin : ViewPins(editor->elementLists[fromView])) {
        NodeElement* from = ElementAs<NodeElement>(pin);
        ElementRecord* companion = GetCompanionNode(editor, pin, fromView);
        if (!companion) {
            companion = DuplicateElement(pin, false, images, images);
            if (!companion) continue;
            LLPush(otherElements, companion);
            for (TextRecord* text : PinTexts(fromTexts, pin)) {
                TextRecord* copy = DuplicateText2(text);
                if (!copy) continue;
                copy->owner = reinterpret_cast<intptr_t>(companion);
                LLPush(otherTexts, copy);
            }
            changed = true;
        } else if (companion->penWidth != pin->penWidth ||
                   ComparePointsVH(companion->points.point1, pin->points.point1) != 0) {
            companion->penWidth = pin->penWidth;
            companion->points.point1 = pin->points.point1;
            changed = true;
        }
        NodeElement* to = ElementAs<NodeElement>(companion);
        if (other == kSymbolViewPrimary) {  // the primary pin owns what it shares
            if (to->pinData && to->pinData != from->pinData) DestroyPinData(to->pinData);
            if (to->pinNumbers && to->pinNumbers != from->pinNumbers) MemFree(to->pinNumbers);
        }
        to->pinData = from->pinData;
        to->pinNumbers = from->pinNumbers;
        CalcElementBounds(companion);
        companions.push_back(companion);
    }
    for (ElementRecord* pin : ViewPins(otherElements)) {
        if (std::find(companions.begin(), companions.end(), pin) != companions.end()) continue;
        for (TextRecord* text : PinTexts(otherTexts, pin)) LLRemoveOrFree(otherTexts, text, nullptr, true);
        if (fromView == kSymbolViewPrimary) {
            ElementAs<NodeElement>(pin)->pinData = nullptr;
            ElementAs<NodeElement>(pin)->pinNumbers = nullptr;
        }
        LLRemoveOrFree(otherElements, pin, nullptr, true);
        changed = true;
    }
    editor->texts = editor->textLists[editor->viewContext];
    if (changed) SetEditModified(editor, true);
}

LibSection* NewLibItemSection(SymbolEditorRecord* editor, int32_t symbol, const char* suffix) {
    LibraryItem* item = editor->item;
    LibSection* section = CreateLibSection();
    if (!section) return nullptr;
    section->symbolIndex = uint8_t(symbol);
    if (item->head.kind == kLibItemComponent) {
        char designator[3];
        if (!suffix) {
            GetUniqueSectionDesignator(item, designator);
            suffix = designator;
        }
        SetLibSectionSuffix(section, item->stringBlock, suffix);
        int32_t pins;
        if (symbol == editor->symbol) {
            if (editor->section) FlushNodeDataToLibItem(editor);
            pins = CountSymbolEditorNodes(editor);
        } else {
            pins = CountLibSymbolPins(item, editor->pinSet, symbol);
        }
        bool made = SetLibSectionPinCount(section, pins);
        for (int32_t set = 0; made && set < kLibPinSetCount; ++set)
            if (editor->pinSets[set]) made = CreateLibSectionPinSet(section, set, -1);
        if (!made) {
            DestroyLibSection(section);
            return nullptr;
        }
    } else if (!SetLibSectionPinCount(section, CountLibSymbolPins(item, 0, symbol))) {
        // The item's sections agree with their definitions' pins, whatever the kind.
        DestroyLibSection(section);
        return nullptr;
    }
    AddSectionToLibItem(item, section, true);
    InstallDefaultSectionPinNumbers(editor, section);
    SetSymbolLibItemModified(editor);
    return section;
}

int32_t NewLibItemSymbol(SymbolEditorRecord* editor, int32_t source, const char* name) {
    LibraryItem* item = editor->item;
    char unique[kLibItemTextSize] = "";
    if (!name) {
        if (editor->partsTree) GetUniquePartSymbolName(item, unique);
        name = unique;
    }
    // A copy of the open symbol is made from its stored drawing, so the edits are stored first.
    if (source >= 0 && source == editor->symbol && !FlushSymbolEditor(editor, false)) return -1;
    int32_t index = -1;
    if (source >= 0 && source < item->head.symbolCount) {
        const Ptr main = GetLibSymbolData(item, source, 0);
        const Ptr alternate = GetLibSymbolData(item, source, 1);
        const uint16_t* ids = GetLibSymbolPinDataIds(item, source);
        Ptr mainCopy = main ? ClonePtr(nullptr, main) : nullptr;
        Ptr alternateCopy = alternate ? ClonePtr(nullptr, alternate) : nullptr;
        auto* idsCopy = ids ? reinterpret_cast<uint16_t*>(ClonePtr(nullptr, ids)) : nullptr;
        if ((main && !mainCopy) || (alternate && !alternateCopy) || (ids && !idsCopy)) {
            for (Ptr p : {mainCopy, alternateCopy, reinterpret_cast<Ptr>(idsCopy)})
                if (p) MemFreePtr(p);
            return -1;
        }
        index = AddLibSymbolDef(item, name, mainCopy, alternateCopy, item->imageList, idsCopy);
        if (index < 0) return -1;
        char sheetName[kLibItemTextSize];
        GetLibSymbolSheetName(item, source, sheetName);
        SetLibSymbolSheetName(item, index, sheetName);
        SetLibSymbolFlags(item, index, GetLibSymbolFlags(item, source));
        SetLibSymbolPlacementOptions(item, index, GetLibSymbolPlacementOptions(item, source));
    } else {
        index = AddLibSymbolDef(item, name, nullptr, nullptr, nullptr, nullptr);
        if (index < 0) return -1;
        SetLibSymbolPlacementOptions(item, index, 3);
    }
    SetSymbolEditorSymbol(editor, index, nullptr);
    SetSymbolLibItemModified(editor);
    return index;
}
void AlignNodes(SymbolEditorRecord* editor) {
    Rect pins{}, graphics{};
    const auto add = [](Rect* to, const Rect& r) {
        if (VXEmptyRect(to)) *to = r;
        else VXUnionRect(to, &r, to);
    };
    for (auto* e = static_cast<ElementRecord*>(LLFirst(editor->elements)); e; e = e->next)
        add(e->kind == kElementNode ? &pins : &graphics, e->bounds);
    if (VXEmptyRect(&graphics)) return;
    const Rect before = pins;
    VXInsetRect(&graphics, int16_t(-editor->grid), int16_t(-editor->grid));
    Point topLeft{graphics.top, graphics.left}, bottomRight{graphics.bottom, graphics.right};
    SnapPointToGrid(&topLeft, editor->grid);
    SnapPointToGrid(&bottomRight, editor->grid);
    const Rect box{topLeft.v, topLeft.h, bottomRight.v, bottomRight.h};
    bool moved = false;
    for (ElementRecord* pin : ViewPins(editor->elements)) {
        Point& connection = pin->points.point1;
        const Point end = pin->points.point2;
        const Point old = connection;
        if (connection.v == end.v) {
            connection.h = connection.h < end.h ? box.left : box.right;
        } else if (connection.h == end.h) {
            connection.v = connection.v >= end.v ? box.bottom : box.top;
        } else {
            connection.h = pins.right - connection.h < connection.h - pins.left ? box.right : box.left;
            connection.v = connection.v - pins.top < pins.bottom - connection.v ? box.top : box.bottom;
        }
        if (connection.v == old.v && connection.h == old.h) continue;
        CalcElementBounds(pin);
        moved = true;
    }
    if (!moved) return;
    SetEditModified(editor, true);
    Rect area = before;
    add(&area, graphics);
    VXInsetRect(&area, -10, -10);
    InvalSymbolEditorView(editor, &area);
}

}  // namespace plexa
