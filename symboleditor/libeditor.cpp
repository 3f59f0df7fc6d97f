// The library editor's records, item references, item data, saving, editing commands and closing
// (see libeditor.h). The window, its rows and its commands are in libeditorwin.cpp.
#include "symboleditor/libeditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/item_map.h"
#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/strings.h"
#include "files/pathspec.h"
#include "library/itemcache.h"
#include "library/libpaths.h"
#include "symboleditor/libeditor_internal.h"
#include "symboleditor/symboleditorstate.h"
#include "model/libitem.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

LibEditorRecord* gLibraryEditors = nullptr;
LibEditorRecord*& gLibEditorClip = gSymbolEditorState.libEditorClip;

namespace {

LibEditorHooks gHooks;

// The bytes of the flattened item that the compressed form keeps as they are.
constexpr uint32_t kFlatItemPlainHead = 7;

void ForgetEditor(LibEditorRecord* editor) {
    for (LibEditorRecord** link = &gLibraryEditors; *link; link = &(*link)->next)
        if (*link == editor) {
            *link = editor->next;
            editor->next = nullptr;
            return;
        }
}

// Frees what a reference owns (the lists' free procedure).
void FreeLibItemRefContents(LinkListHeader*, void* item, void*, uint32_t) {
    auto* ref = static_cast<LibEditorItemRef*>(item);
    if (ref->data) MemFree(ref->data);
    ref->data = nullptr;
    if ((ref->flags & kLibItemRefNameList) && ref->names.list) MemFree(ref->names.list);
    ref->names.list = nullptr;
    ref->flags &= uint8_t(~kLibItemRefNameList);
}

LinkListHeader* NewRefList() {
    LinkListHeader* list = LLCreate(gGenPool, sizeof(LibEditorItemRef), 0);
    if (list) LLSetFreeProc(list, FreeLibItemRefContents);
    return list;
}

// Copies a name into the editor's names block.
StringSpec AddName(LibEditorRecord* editor, const char* name) {
    if (!name || !*name) return 0;
    return AppendStringBlock(editor->names, name, uint32_t(std::strlen(name)), nullptr);
}

// Replaces the reference's names by these (the first is the primary name).
bool SetRefNames(LibEditorRecord* editor, LibEditorItemRef* ref, const std::vector<std::string>& names) {
    std::vector<StringSpec> specs;
    for (const std::string& name : names) specs.push_back(AddName(editor, name.c_str()));
    if (ref->flags & kLibItemRefNameList) MemFree(ref->names.list);
    ref->flags &= uint8_t(~kLibItemRefNameList);
    ref->names.list = nullptr;
    if (specs.size() < 2) {
        ref->names.spec = specs.empty() ? 0 : specs[0];
        return true;
    }
    Handle list = AllocHandleWithData(gGenPool, specs.data(), uint32_t(specs.size() * sizeof(StringSpec)));
    if (!list) {
        ref->names.spec = specs[0];
        return false;
    }
    ref->names.list = list;
    ref->flags |= kLibItemRefNameList;
    return true;
}

std::vector<std::string> FlatNames(Handle data) {
    std::vector<std::string> names;
    int32_t count = 0;
    if (CheckFlattenedLibraryItemNames(data, &count) != 0) return names;
    char name[kFlatItemNameBufferSize];
    for (int32_t i = 0; i < count; ++i) {
        GetFlattenedLibraryItemName(data, i, name, sizeof name);
        names.emplace_back(name);
    }
    return names;
}

std::vector<std::string> RefNames(const LibEditorRecord* editor, const LibEditorItemRef* ref) {
    std::vector<std::string> names;
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; i < CountLibEditorItemNames(ref); ++i) {
        GetLibEditorItemName(editor, ref, i, name);
        names.emplace_back(name);
    }
    return names;
}

LibraryFileRecord* FileOf(LibEditorRecord* editor) {
    return editor->library.file.stream ? &editor->library : nullptr;
}

}  // namespace

// ---- Hooks and small helpers shared with the window ----

void SetLibEditorHooks(const LibEditorHooks& hooks) { gHooks = hooks; }
const LibEditorHooks& GetLibEditorHooks() { return gHooks; }

void LibEditorReport(OSStatus status) {
    if (status == 0 || status == status::kUserCancelled) return;
    if (gHooks.reportError) gHooks.reportError(status);
    else VXErrorReport(status);
}

bool LibEditorConfirm(const char* message, const char* button, const char* other) {
    if (gHooks.confirm) return gHooks.confirm(message, button);
    return VXStandardAlert(message, nullptr, button, other) == kVXAlertFirstButton;
}

void LibEditorMessage(const char* text) {
    if (gHooks.message) gHooks.message(text);
    else VXDisplayMessage(text);
}

void LibEditorBeep() {
    if (gHooks.beep) gHooks.beep();
}

bool CloseItemEditor(SymbolEditorRecord* symbolEditor, bool save, bool ask) {
    return !gHooks.closeItemEditor || gHooks.closeItemEditor(symbolEditor, save, ask);
}

SymbolEditorRecord* OpenItemEditor(LibEditorRecord* editor, LibEditorItemRef* ref) {
    return gHooks.openItemEditor ? gHooks.openItemEditor(editor, ref) : nullptr;
}

void AddItemEditorSymbolFlags(SymbolEditorRecord* symbolEditor, uint32_t flags) {
    if (symbolEditor && flags && gHooks.addItemEditorSymbolFlags)
        gHooks.addItemEditorSymbolFlags(symbolEditor, flags);
}

// ---- Editors ----

void InitLibraryEditors() {}

void DisposeLibraryEditors() {
    while (gLibraryEditors) {
        LibEditorRecord* editor = gLibraryEditors;
        if (!CloseLibEditor(editor, true)) {
            ForgetEditor(editor);
            DestroyLibEditor(editor);
        }
    }
    DisposeLibEditorClip();
}

LibEditorRecord* GetOpenLibEditor(const FileSpec* spec) {
    for (LibEditorRecord* editor = gLibraryEditors; editor; editor = editor->next)
        if (editor->library.file.stream && EqualFileSpecs(&editor->library.file.spec, spec))
            return editor;
    return nullptr;
}

LibEditorRecord* NewLibEditor(LibraryFileRecord* library) {
    auto* editor = reinterpret_cast<LibEditorRecord*>(AllocPtrClear(gGenPool, sizeof(LibEditorRecord)));
    if (!editor) return nullptr;
    editor->items = NewRefList();
    editor->names = CreateStringBlock(gGenPool, 1024);
    if (library) editor->deletions = NewRefList();
    if (!editor->items || !editor->names || (library && !editor->deletions)) {
        if (editor->items) LLDispose(editor->items, true);
        if (editor->deletions) LLDispose(editor->deletions, true);
        if (editor->names) DestroyStringBlock(editor->names);
        MemFreePtr(editor);
        return nullptr;
    }
    if (library) {
        editor->library = *library;
        std::memset(library, 0, sizeof *library);
        editor->next = gLibraryEditors;
        gLibraryEditors = editor;
    }
    return editor;
}

LibEditorRecord* OpenLibraryEditor(const FileSpec* spec, bool rebuildMap, bool show) {
    if (LibEditorRecord* open = GetOpenLibEditor(spec)) {
        if (show) DisplayLibEditor(open);
        return open;
    }
    // Option (Alt here) held: the item map is rebuilt from the items.
    rebuildMap = rebuildMap || VXTestKey(kLibRebuildMapKey);
    LibraryFileRecord library{};
    // The program's own libraries and those it cannot change are only read: nothing is ever
    // written into them (a save goes to a copy of the person's own).
    const bool forReading = IsLibraryFileReadOnly(spec);
    OSStatus status = OpenLibraryFile(spec, &library,
                                      kLibraryOpenLoadMap | kLibraryOpenRecoverCut |
                                          (rebuildMap ? kLibraryOpenRebuildMap : 0) |
                                          (forReading ? kLibraryOpenReadOnly : 0));
    if (status != 0) {
        if (status == status::kUserCancelled) return nullptr;
        if (gHooks.reportOpenError) gHooks.reportOpenError(status, spec->name);
        else VXOpenErrorReport(spec->name, status);
        return nullptr;
    }
    if (rebuildMap) LibraryFileChanged(&library.file.spec);
    LibEditorRecord* editor = NewLibEditor(&library);
    if (!editor) {
        (void)CloseLibraryFile(&library);  // out of memory is the status reported
        LibEditorReport(status::kOutOfMemory);
        return nullptr;
    }
    editor->openedForReading = forReading;
    // Primary names first (map order), then each alias joins its item by block id.
    LibraryItemMap map = editor->library.map;
    StringBlock mapNames = editor->library.names;
    struct Pending {
        LibEditorItemRef* ref;
        std::vector<std::pair<uint16_t, std::string>> names;
    };
    std::vector<Pending> pending;
    std::vector<std::pair<uint32_t, size_t>> byBlock;
    char name[kStringSpecBufferSize];
    const int32_t count = CountLibItemMapEntries(map);
    for (int32_t pass = 0; pass < 2; ++pass)
        for (int32_t i = 0; i < count; ++i) {
            LibraryItemMapEntry entry;
            GetLibItemMapEntry(map, i, &entry);
            const bool alias = (entry.flags & kItemMapAlias) != 0;
            if (alias != (pass == 1)) continue;
            ExtractStringSpec(entry.name, mapNames, name, sizeof name);
            if (!alias) {
                LibEditorItemRef* ref = CreateLibEditorItemRef(editor, nullptr, nullptr, entry.blockId,
                                                               uint8_t(entry.flags & kItemMapKindMask));
                if (!ref) continue;
                LLAppend(editor->items, ref);
                byBlock.emplace_back(entry.blockId, pending.size());
                pending.push_back({ref, {{entry.nameIndex, name}}});
                continue;
            }
            for (const auto& [block, index] : byBlock)
                if (block == entry.blockId) {
                    pending[index].names.emplace_back(entry.nameIndex, name);
                    break;
                }
        }
    for (Pending& item : pending) {
        std::stable_sort(item.names.begin(), item.names.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::string> names;
        for (auto& entry : item.names) names.push_back(std::move(entry.second));
        SetRefNames(editor, item.ref, names);
    }
    if (editor->library.flags & kLibraryCutShort) {
        char message[512];
        std::snprintf(message, sizeof message, kLibraryCutShortMessage, editor->library.file.spec.name,
                      unsigned(editor->library.cutBytes), int(editor->items->count));
        LibEditorMessage(message);
        LibraryFileChanged(&editor->library.file.spec);
    }
    if (show) DisplayLibEditor(editor);
    return editor;
}

void DestroyLibEditor(LibEditorRecord* editor) {
    if (!editor) return;
    ForgetEditor(editor);
    DestroyLibEditorWindow(editor);
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
        ref->symbolEditor = nullptr;
    LLDispose(editor->items, true);
    if (editor->deletions) LLDispose(editor->deletions, true);
    if (editor->library.file.stream) {
        editor->library.file.flags |= kDynamicFileReadOnly;
        (void)CloseLibraryFile(&editor->library);  // marked read only: nothing is written
    }
    DestroyStringBlock(editor->names);
    if (editor == gLibEditorClip) gLibEditorClip = nullptr;
    MemFreePtr(editor);
}

bool CloseAllItemEditors(LibEditorRecord* editor, bool save, bool ask) {
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
        if (ref->symbolEditor && !CloseItemEditor(ref->symbolEditor, save, ask)) return false;
    return true;
}

bool CloseLibEditor(LibEditorRecord* editor, bool force) {
    if (!editor) return true;
    LibSaveAnswer answer = LibSaveAnswer::kDontSave;
    if (force) {
        // The file is about to be replaced: nothing may be written back into it.
        editor->library.file.flags |= kDynamicFileReadOnly;
    } else if (IsLibEditorDirty(editor)) {
        char name[kFileSpecNameCapacity];
        GetFileSpecName(&editor->library.file.spec, name, sizeof name);
        answer = gHooks.askSave ? gHooks.askSave(editor, name) : LibSaveAnswer::kSave;
        if (answer == LibSaveAnswer::kCancel) {
            VXAbortCloseAll();
            return false;
        }
    }
    if (!CloseAllItemEditors(editor, answer == LibSaveAnswer::kSave, !force)) {
        VXAbortCloseAll();
        return false;
    }
    // A save that fails keeps the window and the changes.
    if (answer == LibSaveAnswer::kSave && SaveLibEditorChanges(editor) != 0) {
        VXAbortCloseAll();
        return false;
    }
    if (editor->library.file.stream) {
        const OSStatus status = CloseLibraryFile(&editor->library);
        if (status != 0 && !force) {
            LibEditorReport(status);
            VXAbortCloseAll();
            return false;
        }
    }
    DestroyLibEditor(editor);
    return true;
}

// ---- Dirty state ----

bool IsLibItemDirty(const LibEditorItemRef* ref) {
    if (!ref) return false;
    if (ref->flags & kLibItemRefModified) return true;
    if (!ref->symbolEditor) return false;
    return (gHooks.itemEditorChanged && gHooks.itemEditorChanged(ref->symbolEditor)) ||
           (gHooks.itemEditorEdited && gHooks.itemEditorEdited(ref->symbolEditor));
}

bool IsLibEditorDirty(const LibEditorRecord* editor) {
    if (!editor) return false;
    if (editor->deletions && editor->deletions->count) return true;
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
        if (IsLibItemDirty(ref)) return true;
    return false;
}

// ---- Item data ----

namespace {

// The data's head as it is, then its tail passed through the transform; none on failure.
Handle TransformItemTail(Handle data, Handle (*transform)(MemPool, const void*, uint32_t*)) {
    const uint32_t size = SizeOfHandle(data);
    if (size <= kFlatItemPlainHead) return nullptr;
    uint32_t length = size - kFlatItemPlainHead;
    Handle result = transform(gGenPool, *data + kFlatItemPlainHead, &length);
    if (result && !InsertInHandle(result, 0, *data, int32_t(kFlatItemPlainHead))) {
        MemFree(result);
        return nullptr;
    }
    return result;
}

}  // namespace

Handle CompressLibEditorItemData(Handle data) { return TransformItemTail(data, CompressDataBytes); }
Handle ExpandLibEditorItemData(Handle data) { return TransformItemTail(data, ExpandDataBytes); }

Handle GetLibEditorItemData(LibEditorRecord* editor, LibEditorItemRef* ref) {
    if (!ref) return nullptr;
    if (ref->data) {
        if (ref->useCount == 0) {
            Handle expanded = ExpandLibEditorItemData(ref->data);
            if (!expanded) {
                LibEditorReport(status::kOutOfMemory);
                return nullptr;
            }
            MemFree(ref->data);
            ref->data = expanded;
        }
        ++ref->useCount;
        return ref->data;
    }
    if (!ref->blockId) return nullptr;
    LibraryFileRecord* library = editor ? FileOf(editor) : nullptr;
    Handle loaded = nullptr;
    const OSStatus status = library ? LoadLibraryFileItem(library, ref->blockId, &loaded)
                                    : status::kFileNotOpen;
    if (status != 0) {
        LibEditorReport(status);
        return nullptr;
    }
    ref->data = loaded;
    ref->useCount = 1;
    return loaded;
}

void ReleaseLibEditorItemData(LibEditorItemRef* ref) {
    if (!ref || !ref->data) return;
    if (ref->useCount > 0) --ref->useCount;
    if (ref->useCount > 0) return;
    if (ref->blockId && !(ref->flags & kLibItemRefModified)) {
        // The stored block is the truth.
        MemFree(ref->data);
        ref->data = nullptr;
        return;
    }
    if (Handle packed = CompressLibEditorItemData(ref->data)) {
        MemFree(ref->data);
        ref->data = packed;
    } else {
        ref->useCount = 1;  // stays expanded
    }
}

void SetLibEditorItemData(LibEditorRecord*, LibEditorItemRef* ref, Handle data) {
    if (ref->data && ref->data != data) MemFree(ref->data);
    ref->data = data;
    ref->useCount = 1;
    ref->flags |= kLibItemRefModified;
}

void SetLibEditorItemBlock(LibEditorRecord* editor, LibEditorItemRef* ref, uint32_t blockId) {
    if (ref->data) MemFree(ref->data);
    ref->data = nullptr;
    ref->useCount = 0;
    if (ref->blockId && ref->blockId != blockId) {
        LibraryFileRecord* library = FileOf(editor);
        const OSStatus status = library ? DeleteLibraryFileItem(library, ref->blockId, true)
                                        : status::kFileNotOpen;
        LibEditorReport(status);
    }
    ref->blockId = blockId;
}

void KillLibEditorItemData(LibEditorItemRef* ref) {
    if (ref->data) MemFree(ref->data);
    ref->data = nullptr;
    ref->useCount = 0;
    ref->flags &= uint8_t(~kLibItemRefModified);
}

namespace {

// An item written by a library save, with what it was before: the save puts it back when the
// file does not take the save.
struct WrittenItem {
    LibEditorItemRef* ref;
    uint32_t oldBlock;
};

// FlushLibEditorItemData; with `written`, the item's data stays (the save may still be abandoned)
// and a written item is added to it.
OSStatus FlushItem(LibEditorRecord* editor, LibEditorItemRef* ref, std::vector<WrittenItem>* written) {
    if (!(ref->flags & kLibItemRefModified)) return 0;
    if (!ref->data) {
        ref->flags &= uint8_t(~kLibItemRefModified);
        return 0;
    }
    if (!IsFlattenedLibraryItemValid(ref->data)) {
        // A stored item keeps its block until it is valid again; a new one never reaches the file
        // (unless a symbol editor still edits it).
        if (!ref->blockId && !ref->symbolEditor) {
            RemoveItemFromLibEditor(editor, ref);
            DestroyLibEditorItemRef(editor, ref);
        }
        return 0;
    }
    LibraryFileRecord* library = FileOf(editor);
    if (!library) return status::kFileNotOpen;
    Handle flat = ref->data;
    if (ref->useCount == 0) {
        flat = ExpandLibEditorItemData(ref->data);
        if (!flat) return status::kOutOfMemory;
    }
    uint32_t newBlock = 0;
    OSStatus status = WriteLibraryFileItem(library, flat, true, &newBlock);
    if (flat != ref->data) MemFree(flat);
    if (status != 0) return status;
    // The new block is in the file: only now is the old one released.
    const uint32_t oldBlock = ref->blockId;
    ref->blockId = newBlock;
    ref->flags &= uint8_t(~kLibItemRefModified);
    if (written) {
        written->push_back({ref, oldBlock});
    } else if (ref->useCount == 0) {
        MemFree(ref->data);
        ref->data = nullptr;
    }
    if (oldBlock) status = DeleteLibraryFileItem(library, oldBlock, true);
    return status;
}

}  // namespace

OSStatus FlushLibEditorItemData(LibEditorRecord* editor, LibEditorItemRef* ref) {
    return FlushItem(editor, ref, nullptr);
}

// ---- References ----

LibEditorItemRef* CreateLibEditorItemRef(LibEditorRecord* editor, const char* name, Handle data,
                                         uint32_t blockId, uint8_t kind) {
    auto* ref = static_cast<LibEditorItemRef*>(LLAlloc(editor->items));
    if (!ref) {
        if (data) MemFree(data);
        return nullptr;
    }
    ref->kind = kind;
    ref->blockId = data ? 0 : blockId;
    if (name) ref->names.spec = AddName(editor, name);
    if (data) {
        SetLibEditorItemData(editor, ref, data);
        ref->kind = GetFlattenedLibraryItemKind(data);
        if (!name) SetRefNames(editor, ref, FlatNames(data));
        ReleaseLibEditorItemData(ref);
    }
    return ref;
}

void DestroyLibEditorItemRef(LibEditorRecord* editor, LibEditorItemRef* ref) {
    if (!ref) return;
    FreeLibItemRefContents(editor->items, ref, nullptr, 0);
    MemFreePtr(ref);
}

LibEditorItemRef* DuplicateLibEditorItemRef(LibEditorRecord* source, LibEditorRecord* target,
                                            LibEditorItemRef* ref) {
    Handle data = GetLibEditorItemData(source, ref);
    if (!data) return nullptr;
    Handle copy = CloneHandle(gGenPool, data);
    ReleaseLibEditorItemData(ref);
    if (!copy) {
        LibEditorReport(status::kOutOfMemory);
        return nullptr;
    }
    LibEditorItemRef* duplicate = CreateLibEditorItemRef(target, nullptr, nullptr, 0, ref->kind);
    if (!duplicate) {
        MemFree(copy);
        return nullptr;
    }
    SetRefNames(target, duplicate, RefNames(source, ref));
    SetLibEditorItemData(target, duplicate, copy);
    ReleaseLibEditorItemData(duplicate);
    return duplicate;
}

int32_t CountLibEditorItemNames(const LibEditorItemRef* ref) {
    if (ref->flags & kLibItemRefNameList) return int32_t(SizeOfHandle(ref->names.list) / sizeof(StringSpec));
    return 1;
}

bool GetLibEditorItemName(const LibEditorRecord* editor, const LibEditorItemRef* ref,
                          int32_t index, char* out) {
    out[0] = 0;
    if (index < 0 || index >= CountLibEditorItemNames(ref)) return false;
    const StringSpec spec = (ref->flags & kLibItemRefNameList)
                                ? reinterpret_cast<const StringSpec*>(*ref->names.list)[index]
                                : ref->names.spec;
    // At most 254 bytes, cut at a character boundary.
    char name[kStringSpecBufferSize];
    ExtractStringSpec(spec, editor->names, name, sizeof name);
    TruncateUTF8ForByteSize(name, 255);
    std::memcpy(out, name, std::strlen(name) + 1);
    return true;
}

void SetupLibEditorItemNames(LibEditorRecord* editor, LibEditorItemRef* ref) {
    Handle data = GetLibEditorItemData(editor, ref);
    if (!data) return;
    const std::vector<std::string> names = FlatNames(data);
    ref->kind = GetFlattenedLibraryItemKind(data);
    ReleaseLibEditorItemData(ref);
    if (!SetRefNames(editor, ref, names)) LibEditorReport(status::kOutOfMemory);
    SyncLibItemRows(editor, ref);
}

void SyncLibItemRefWithSymbolEditor(LibEditorRecord* editor, LibEditorItemRef* ref) {
    SymbolEditorRecord* symbolEditor = ref->symbolEditor;
    if (!symbolEditor || !gHooks.itemEditorChanged || !gHooks.itemEditorChanged(symbolEditor) ||
        !gHooks.flattenItemEditor)
        return;
    OSStatus status = 0;
    Handle flat = gHooks.flattenItemEditor(symbolEditor, &status);
    if (!flat) {
        LibEditorReport(status);
        return;
    }
    SetLibEditorItemData(editor, ref, flat);
    SetupLibEditorItemNames(editor, ref);
    if (gHooks.itemEditorTaken) gHooks.itemEditorTaken(symbolEditor);
    ReleaseLibEditorItemData(ref);
}

// ---- Saving ----

namespace {

// Offers the folder of a library to the library paths: unless it is among them, asks (when
// `ask`) and adds it. Whether the paths reach the folder now.
bool ListLibraryFolder(const FileSpec* spec, bool ask) {
    PathSpecList* paths = GetLibFilesPathList();
    if (!paths || FindPathSpec(paths, &spec->directory, true)) return true;
    if (ask && !LibEditorConfirm(kLibraryPathQuestion, kAddPathButton, kLeavePathButton)) return false;
    if (!AddPathSpecToList(paths, &spec->directory, kPathRootDefault,
                           kLibraryPathDefaultFlags | kPathSearchSubFolders, true))
        return false;
    if (gHooks.preferencesChanged) gHooks.preferencesChanged(kLibraryPathPreferenceChange);
    return true;
}

// The library cannot be changed: it is copied to a place the person chooses (the user's library
// folder to start with) and the editor carries on with the copy, which the library paths then
// reach. 0, kUserCancelled when no place was chosen, or the failure (the editor keeps its file).
OSStatus MoveToOwnCopy(LibEditorRecord* editor) {
    const FileSpec original = editor->library.file.spec;
    FileSpec copy{};
    std::snprintf(copy.name, sizeof copy.name, "%s", original.name);
    (void)GetUserLibrariesFolder(&copy.directory);  // the panel starts elsewhere when it cannot be made
    if (!gHooks.askLibraryCopy || !gHooks.askLibraryCopy(&copy)) return status::kUserCancelled;
    // The copy goes nowhere the program's own libraries lie, nor over a file it cannot change.
    if (EqualFileSpecs(&copy, &original) || IsInEssentialsFolder(&copy) ||
        (VXFileExists(&copy, nullptr) && !VXCanRewriteFile(&copy)))
        return status::kPermission;
    // Whatever was open on the place is about to be replaced: it writes nothing back.
    if (LibEditorRecord* open = GetOpenLibEditor(&copy)) CloseLibEditor(open, true);
    if (OSStatus st = VXCopyFile(&original, &copy, kCopyReplace)) return st;
    // The copy holds the same blocks: every reference stands as it is.
    LibraryFileRecord library{};
    if (OSStatus st = OpenLibraryFile(&copy, &library, kLibraryOpenLoadMap)) {
        (void)VXDeleteFile(&copy);  // best effort: the copy made in vain
        return st;
    }
    (void)CloseLibraryFile(&editor->library);  // opened for reading: nothing is written
    editor->library = library;
    editor->openedForReading = false;
    RetitleLibEditorWindow(editor);
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
        if (ref->symbolEditor && gHooks.itemEditorLibrarySaved) gHooks.itemEditorLibrarySaved(ref->symbolEditor);
    // The user's library folder joins the paths as a matter of course; another folder is asked for.
    DirectoryRef own;
    const bool ownFolder = GetUserLibrariesFolder(&own) == status::kNoErr && EqualDirectories(&own, &copy.directory);
    if (ListLibraryFolder(&copy, !ownFolder)) BuildLibraryFileList(GetLibFilesProject(), false);
    return status::kNoErr;
}

}  // namespace

OSStatus SaveLibEditorChanges(LibEditorRecord* editor) {
    // A library opened for reading is saved into the person's own copy.
    if (FileOf(editor) && editor->openedForReading) {
        if (!IsLibEditorDirty(editor)) return status::kNoErr;
        if (const OSStatus st = MoveToOwnCopy(editor)) {
            LibEditorReport(st);
            return st;
        }
    }
    OSStatus failure = 0;
    auto note = [&failure](OSStatus status) {
        if (status != 0 && failure == 0) failure = status;
    };
    // One library save: the file takes all of it or stays as it was. Until it has taken it, the
    // editor keeps what it would drop (the data of written items, the released deletions).
    LibraryFileRecord* library = FileOf(editor);
    std::vector<WrittenItem> written;
    std::vector<LibEditorItemRef*> released;
    const OSStatus begun = library ? BeginLibrarySave(library) : status::kFileNotOpen;
    note(begun);
    if (begun == 0) {
        note(CatchSignals([&] {
            // 1. Each deleted block is released once. A block that is not there any more has
            // nothing left to release.
            for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->deletions)); ref; ref = ref->next) {
                const OSStatus status = DeleteLibraryFileItem(library, ref->blockId, true);
                if (status == 0 || status == status::kBadPosition) released.push_back(ref);
                else note(status);
            }
            // 2. Every item in list order.
            for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref;) {
                auto* next = ref->next;
                if (SymbolEditorRecord* symbolEditor = ref->symbolEditor) {
                    if (gHooks.itemEditorValid && !gHooks.itemEditorValid(symbolEditor)) {
                        if (gHooks.itemEditorChanged && gHooks.itemEditorChanged(symbolEditor))
                            ref->flags |= kLibItemRefModified;
                        ref = next;
                        continue;
                    }
                    if (!gHooks.flushItemEditor || gHooks.flushItemEditor(symbolEditor))
                        SyncLibItemRefWithSymbolEditor(editor, ref);
                }
                note(FlushItem(editor, ref, &written));
                ref = next;
            }
            // 3.
            note(FlushLibraryFile(library));
        }));
        note(EndLibrarySave(library, failure));
        if (failure == 0) {
            // The file has it all: the released deletions leave the list, and the stored blocks
            // are the truth of the written items.
            for (LibEditorItemRef* ref : released) LLRemoveOrFree(editor->deletions, ref, nullptr, true);
            for (const WrittenItem& item : written) {
                if (item.ref->useCount == 0 && item.ref->data) {
                    MemFree(item.ref->data);
                    item.ref->data = nullptr;
                }
            }
        } else {
            // The file is as it was: so are the items written for it, still to be saved.
            for (const WrittenItem& item : written) {
                item.ref->blockId = item.oldBlock;
                item.ref->flags |= kLibItemRefModified;
            }
        }
    }
    LibraryFileChanged(&editor->library.file.spec);
    InvalLibEditorWindow(editor);
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(editor->items)); ref; ref = ref->next)
        if (ref->symbolEditor && gHooks.itemEditorLibrarySaved) gHooks.itemEditorLibrarySaved(ref->symbolEditor);
    LibEditorReport(failure);
    return failure;
}

// ---- Editing ----

void AddItemToLibEditorDeletions(LibEditorRecord* editor, LibEditorItemRef* ref) {
    if (editor->deletions) LLAppend(editor->deletions, ref);
    else DestroyLibEditorItemRef(editor, ref);
}

void DeleteLibraryItem(LibEditorRecord* editor, LibEditorItemRef* ref) {
    if (ref->symbolEditor) CloseItemEditor(ref->symbolEditor, false, false);
    ref->symbolEditor = nullptr;
    RemoveItemFromLibEditor(editor, ref);
    if (ref->blockId) {
        KillLibEditorItemData(ref);
        AddItemToLibEditorDeletions(editor, ref);
    } else {
        DestroyLibEditorItemRef(editor, ref);
    }
}

void DisposeLibEditorClip() {
    if (!gLibEditorClip) return;
    LibEditorRecord* clip = gLibEditorClip;
    gLibEditorClip = nullptr;
    DestroyLibEditor(clip);
}

void ResetClipboard() {
    if (gHooks.claimClipboard) gHooks.claimClipboard();
    DisposeLibEditorClip();
    gLibEditorClip = NewLibEditor(nullptr);
}

namespace {

// Copies the selected items into the clipboard record.
void CopyInto(LibEditorRecord* editor, LibEditorRecord* clip) {
    for (LibEditorItemRef* ref : SelectedItems(editor)) {
        // An open symbol editor's changes go with the copy.
        SyncLibItemRefWithSymbolEditor(editor, ref);
        if (LibEditorItemRef* copy = DuplicateLibEditorItemRef(editor, clip, ref))
            LLAppend(clip->items, copy);
    }
}

void PasteFrom(LibEditorRecord* editor, LibEditorRecord* clip) {
    ClearLibEditorSelection(editor);
    LibEditorItemRef* last = nullptr;
    for (auto* ref = static_cast<LibEditorItemRef*>(LLFirst(clip->items)); ref; ref = ref->next) {
        LibEditorItemRef* copy = DuplicateLibEditorItemRef(clip, editor, ref);
        if (!copy) continue;
        AddItemToLibEditor(editor, copy);
        SelectLibEditorItem(editor, copy, false);
        last = copy;
    }
    if (last) RevealLibEditorItem(editor, last);
}

}  // namespace

void CopySelectedItems(LibEditorRecord* editor) {
    ResetClipboard();
    if (gLibEditorClip) CopyInto(editor, gLibEditorClip);
}

void DeleteSelectedItems(LibEditorRecord* editor) {
    for (LibEditorItemRef* ref : SelectedItems(editor)) DeleteLibraryItem(editor, ref);
    InvalLibEditorWindow(editor);
}

void PasteItems(LibEditorRecord* editor) {
    if (gLibEditorClip) PasteFrom(editor, gLibEditorClip);
}

void DuplicateSelectedItems(LibEditorRecord* editor) {
    LibEditorRecord* temporary = NewLibEditor(nullptr);
    if (!temporary) {
        LibEditorReport(status::kOutOfMemory);
        return;
    }
    CopyInto(editor, temporary);
    PasteFrom(editor, temporary);
    DestroyLibEditor(temporary);
}

void RevertSelectedItems(LibEditorRecord* editor) {
    for (LibEditorItemRef* ref : SelectedItems(editor)) {
        if (ref->symbolEditor) CloseItemEditor(ref->symbolEditor, false, false);
        ref->symbolEditor = nullptr;
        if (!ref->blockId) {
            DeleteLibraryItem(editor, ref);
            continue;
        }
        KillLibEditorItemData(ref);
        SetupLibEditorItemNames(editor, ref);
    }
    InvalLibEditorWindow(editor);
}

LibEditorItemRef* NewLibraryItem(LibEditorRecord* editor, const char* name, uint8_t kind,
                                 uint32_t flags) {
    LibraryItem* item = CreateLibraryItem(kind);
    if (!item) {
        LibEditorReport(status::kOutOfMemory);
        return nullptr;
    }
    OSStatus status = 0;
    Handle flat = nullptr;
    if (SetLibraryItemNameInfo(item, kLibAppendName, name, 0))
        flat = FlattenLibraryItem(item, true, 0, &status);
    else
        status = status::kParamErr;
    DestroyLibraryItem(item);
    if (!flat) {
        LibEditorReport(status);
        return nullptr;
    }
    LibEditorItemRef* ref = CreateLibEditorItemRef(editor, nullptr, flat, 0, kind);
    if (!ref) {
        LibEditorReport(status::kOutOfMemory);
        return nullptr;
    }
    AddItemToLibEditor(editor, ref);
    SelectLibEditorItem(editor, ref, true);
    RevealLibEditorItem(editor, ref);
    AddItemEditorSymbolFlags(OpenItemEditor(editor, ref), flags);
    return ref;
}

bool VerifyWindowCount(int32_t count) {
    if (count >= kLibOpenRefuseCount) {
        LibEditorMessage(kTooManyWindowsMessage);
        return false;
    }
    if (count >= kLibOpenAskCount) {
        char question[128];
        std::snprintf(question, sizeof question, kOpenWindowsQuestion, int(count));
        return LibEditorConfirm(question, kYesButton);
    }
    return true;
}

void EditSelectedLibItems(LibEditorRecord* editor) {
    std::vector<LibEditorItemRef*> items = SelectedItems(editor);
    if (items.size() > size_t(kLibOpenCountLimit)) items.resize(kLibOpenCountLimit);
    if (items.empty() || !VerifyWindowCount(int32_t(items.size()))) return;
    for (LibEditorItemRef* ref : items) OpenItemEditor(editor, ref);
}

LibEditorRecord* CreateNewLibrary() {
    FileSpec spec{};
    if (!PromptCreateLibrary(&spec)) return nullptr;
    // The file is about to be replaced: an editor open on it writes nothing back.
    if (LibEditorRecord* open = GetOpenLibEditor(&spec)) CloseLibEditor(open, true);
    const OSStatus status = CreateLibraryFile(&spec);
    if (status != 0) {
        LibEditorReport(status);
        return nullptr;
    }
    const bool listed = ListLibraryFolder(&spec, true);
    LibEditorRecord* editor = OpenLibraryEditor(&spec);
    LibraryFileChanged(&spec);
    if (listed && GetLibFilesPathList()) BuildLibraryFileList(GetLibFilesProject(), false);
    return editor;
}

}  // namespace plexa
