// Updating and replacing placed symbols from their libraries and child sheets.
#include "sheeteditor/symbolupdate.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/filesymbols.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "files/symbolplace.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "library/itemcache.h"
#include "library/libhistory.h"
#include "library/libpaths.h"
#include "model/components.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/sheetselected.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "sheeteditor/partsdialog.h"
#include "sheeteditor/sheeteditorstate.h"
#include "sheeteditor/sheetopen.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_window.h"

namespace plexa {

bool& gSheetsHaveDirtyChildSymbols = gSheetEditorState.sheetsHaveDirtyChildSymbols;

namespace {

SymbolUpdateHooks gHooks;

bool Same(const char* a, const char* b) { return StrCINCmp(a, b, 0xFFFF) == 0; }

bool IsReplaceable(const SymbolRecord* symbol) {
    return !(symbol->flags & (kSymbolFlagSheet | kSymbolFlagPort));
}

// The symbol's name as its source knows it.
void SourceSymbolName(SheetRecord* sheet, SymbolRecord* symbol, char* name) {
    name[0] = 0;
    if (symbol->component) GetCompName(symbol->component, sheet->stringBlock, symbol->kind.comp.nameIndex, name);
    else GetSymbolName(symbol, sheet->stringBlock, name);
}

// The source: the library file's name, or a child-sheet symbol's sub-sheet name.
void SourceName(SheetRecord* sheet, SymbolRecord* symbol, char* name) {
    name[0] = 0;
    if (symbol->flags & kSymbolFlagFileSymbol) GetSymbolSheetName(symbol, sheet->stringBlock, name);
    else if (symbol->libraryName != kNoLibraryName)
        ExtractStringSpec(symbol->libraryName, sheet->stringBlock, name, kSymbolTextSize);
}

LogWindowRecord* GetLog(ProjectRecord* project, SheetRecord* sheet, bool create) {
    return gHooks.getLog ? gHooks.getLog(project, sheet, create) : nullptr;
}

int32_t CountEntries(LogWindowRecord* log) {
    return log && gHooks.countLogEntries ? gHooks.countLogEntries(log) : 0;
}

// Shows a log with entries, destroys an empty one.
void FinishLog(LogWindowRecord* log) {
    if (!log) return;
    if (CountEntries(log) > 0) {
        if (gHooks.showLog) gHooks.showLog(log);
    } else if (gHooks.destroyLog) {
        gHooks.destroyLog(log);
    }
}

void DeleteSelection(SheetRecord* sheet) {
    if (gHooks.deleteSelection) {
        gHooks.deleteSelection(sheet);
        return;
    }
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s;) {
        auto* next = static_cast<SymbolRecord*>(LLGetNext(sheet->symbolList, s));
        if (s->flags & kSymbolFlagSelected) {
            if (LinkListHeader* kept = DeleteSymbolsText(sheet, s, 0, nullptr)) DestroyTextList(kept);
            RemoveSymbolFromSheet(sheet, s, true);
        }
        s = next;
    }
}

void ClearSelection(SheetRecord* sheet) {
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        s->flags &= ~kSymbolFlagSelected;
}

std::vector<SheetRecord*> VisibleSheets() {
    std::vector<SheetRecord*> sheets;
    EnumVisibleSheetWindows(
        [](SheetRecord* sheet, void* data) { static_cast<std::vector<SheetRecord*>*>(data)->push_back(sheet); }, &sheets);
    return sheets;
}

// Keeps the item cache's library file and item and puts them back at the end (nested uses keep
// the outermost selection).
class CacheSelectionScope {
public:
    CacheSelectionScope() {
        GetCachedLibSelection(&saved_);
        ++depth_;
    }
    ~CacheSelectionScope() {
        if (--depth_ > 0) return;
        (void)SetCachedLibraryFile(kLibFilesAll, saved_.fileIndex);  // restoring the browser's choice: best effort
        if (saved_.fileIndex >= 0) {
            (void)SetCachedLibraryItem(saved_.itemIndex);  // restoring the browser's choice: best effort
            if (saved_.itemIndex >= 0) {
                SetCachedLibItemPart(saved_.part);
                SetCachedLibItemAlt(saved_.alternate);
            }
        }
    }
    CacheSelectionScope(const CacheSelectionScope&) = delete;
    CacheSelectionScope& operator=(const CacheSelectionScope&) = delete;

private:
    LibSelection saved_{};
    static inline int32_t depth_ = 0;
};

// Replaces the symbol from the current selection, selecting the old one; true when replaced.
bool ReplaceFromSelection(SheetRecord* sheet, ProjectRecord* project, SymbolRecord* symbol,
                          const SymbolSelection& selection, bool logUpdates, uint32_t options, Rect* changed,
                          int32_t* count) {
    const bool childSymbol = symbol->flags & kSymbolFlagFileSymbol;
    SymbolRecord* replacement =
        ReplaceSymbol(sheet, symbol, &selection, childSymbol || (symbol->flags & kSymbolFlagSubSheet), childSymbol,
                      options, changed);
    if (!replacement) return false;
    replacement->flags |= kSymbolFlagHandled;
    symbol->flags |= kSymbolFlagSelected;
    NoteSheetItemSelected(sheet, SheetItemKind::kSymbol, symbol);
    if (logUpdates) {
        AddReplaceSymbolLogEntry(project, sheet, replacement, kLogSymbolUpdated);
        ++*count;
    }
    return true;
}

// Every marked symbol of the source from one library file.
int32_t UpdateFromLibrary(SheetRecord* sheet, ProjectRecord* project, bool force, int32_t fileIndex,
                          const char* source, bool logUpdates, bool quiet, uint32_t options, Rect* changed) {
    if (SetCachedLibraryFile(kLibFilesAll, fileIndex) != 0 || !GetCachedLibraryFile()) return 0;
    int32_t count = 0;
    std::vector<SymbolRecord*> symbols;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        if ((s->flags & kSymbolFlagMarked) && !(s->flags & kSymbolFlagHandled)) symbols.push_back(s);
    for (SymbolRecord* symbol : symbols) {
        char name[kSymbolTextSize], symbolSource[kSymbolTextSize];
        SourceName(sheet, symbol, symbolSource);
        if (!Same(symbolSource, source)) continue;
        symbol->flags |= kSymbolFlagHandled;
        SourceSymbolName(sheet, symbol, name);
        const int32_t index = LibraryItemLookup(GetCachedLibraryFileItemMap(), GetCachedLibraryNamesData(), name);
        if (index < 0 || SetCachedLibraryItem(index) != 0 || !gItemCache.item) {
            if (!quiet) {
                AddReplaceSymbolLogEntry(project, sheet, symbol, kLogSymbolDefinitionMissing);
                ++count;
            }
            continue;
        }
        SetCachedLibItemPart(symbol->component ? symbol->kind.comp.symbol : 0);
        SetCachedLibItemAlt((symbol->flags & kSymbolFlagSecondMap) ? 1 : 0);
        SymbolSelection selection{};
        if (!ItemCacheSelection(&selection)) continue;
        const bool childSymbol = symbol->flags & kSymbolFlagFileSymbol;
        const bool replace = childSymbol ? symbol->changeTime != selection.timeStamp
                                         : force || uint32_t(symbol->changeTime) < uint32_t(selection.timeStamp);
        if (replace) ReplaceFromSelection(sheet, project, symbol, selection, logUpdates, options, changed, &count);
    }
    return count;
}

// Whether a selected row of the project tree, from the node and its siblings down, stands for
// the spec.
bool HasSelectedNode(const SheetNode* node, const SheetSpec* spec) {
    for (; node; node = node->next)
        if ((node->selected && node->sheetSpec == spec) || HasSelectedNode(node->firstChild, spec)) return true;
    return false;
}

SheetSpec* SpecOfSheet(ProjectRecord* project, SheetRecord* sheet) {
    if (!project || !sheet) return nullptr;
    if (sheet->sheetSpec && sheet->project == project) return sheet->sheetSpec;
    return GetSheetSpecFromSheet(sheet, project);
}

void ChildUpdateOfOpenSheet(SheetRecord* sheet) {
    ProjectRecord* project = sheet->project;
    const bool quiet = project && (project->settings.flags & kProjectFileSymbolWarningsOff);
    LogWindowRecord* log = GetLog(project, sheet, true);
    const int32_t before = CountEntries(log);
    if (project) SetLibFilesProject(project, false);
    UpdateSheetsSymbols(sheet, project, false, false, true, true, quiet, 1);
    if (log && CountEntries(log) > before && gHooks.showLog) gHooks.showLog(log);
    else if (log && CountEntries(log) == 0 && gHooks.destroyLog) gHooks.destroyLog(log);
}

}  // namespace

void SetSymbolUpdateHooks(const SymbolUpdateHooks& hooks) { gHooks = hooks; }

void EnumVisibleSheetWindows(void (*proc)(SheetRecord* sheet, void* data), void* data) {
    for (VXWindowRecordTag* window : VXTopLevelWindows())
        if (VXIsWindowVisible(window, false))
            if (SheetRecord* sheet = WindowToDrawing(window)) proc(sheet, data);
}
const SymbolUpdateHooks& GetSymbolUpdateHooks() { return gHooks; }

void CalcReplaceSymbolLogMessages(const ReplaceSymbolLogEntry& entry, char* first, char* second, int32_t size) {
    const char* kind = entry.fileSymbol ? "child sheet" : "library";
    const auto n = size_t(size);
    switch (entry.code) {
        case kLogSymbolUpdated:
            std::snprintf(first, n, "Updated symbol with newer version from the %s.", kind);
            std::snprintf(second, n, "Symbol \"%s\" in Sheet \"%s\"", entry.symName, entry.sheetName);
            return;
        case kLogSymbolFileMissing:
            std::snprintf(first, n, "Unable to find symbol's %s file: \"%s\"", kind, entry.libName);
            break;
        case kLogSymbolDefinitionMissing:
            std::snprintf(first, n, "Unable to find symbol definition in its referenced %s.", kind);
            break;
        default:
            first[0] = 0;
            break;
    }
    std::snprintf(second, n, "%s", first);
}

void AddReplaceSymbolLogEntry(ProjectRecord* project, SheetRecord* sheet, SymbolRecord* symbol, int32_t code) {
    if (!sheet || !symbol) return;
    LogWindowRecord* log = GetLog(project, sheet, true);
    if (!log || !gHooks.appendLogEntry) return;
    ReplaceSymbolLogEntry entry{};
    entry.code = code;
    entry.error = code != 0;
    entry.serial = symbol->serial;
    entry.fileSymbol = symbol->flags & kSymbolFlagFileSymbol;
    if (project) {
        SheetSpec* spec = SpecOfSheet(project, sheet);
        if (!spec) return;
        GetSheetSpecName(project, spec, entry.sheetName, sizeof entry.sheetName);
    } else {
        GetFileSpecName(&sheet->fileSpec, entry.sheetName, sizeof entry.sheetName);
        if (!entry.sheetName[0]) std::snprintf(entry.sheetName, sizeof entry.sheetName, "%s", kUntitledSheetName);
    }
    SourceSymbolName(sheet, symbol, entry.symName);
    if (code == kLogSymbolFileMissing) SourceName(sheet, symbol, entry.libName);
    gHooks.appendLogEntry(log, entry);
}

int32_t UpdateFileSymbolsFromChildSheet(SheetRecord* sheet, ProjectRecord* project, SheetRecord* child,
                                        const char* childName, bool logUpdates, bool quiet, Rect* changed) {
    if (!sheet || !child || !childName) return 0;
    int32_t count = 0;
    bool replaced = false;
    std::vector<SymbolRecord*> symbols;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        if ((s->flags & kSymbolFlagMarked) && (s->flags & kSymbolFlagFileSymbol) && !(s->flags & kSymbolFlagHandled))
            symbols.push_back(s);
    for (SymbolRecord* symbol : symbols) {
        char sub[kSymbolTextSize], name[kSymbolTextSize];
        GetSymbolSheetName(symbol, sheet->stringBlock, sub);
        if (!Same(sub, childName)) continue;
        symbol->flags |= kSymbolFlagHandled;
        SourceSymbolName(sheet, symbol, name);
        int32_t nameIndex = 0;
        FileSymbolEntry* entry = FindNamedFileSymbol(child, name, &nameIndex);
        if (!entry || !entry->item) {
            if (!quiet) {
                AddReplaceSymbolLogEntry(project, sheet, symbol, kLogSymbolDefinitionMissing);
                ++count;
            }
            continue;
        }
        const int32_t stamp = GetFlattenedLibraryItemTimestamp(entry->item);
        if (stamp == symbol->changeTime) continue;
        LibraryItem* item = nullptr;
        if (InflateLibraryItem(entry->item, &item, true) != 0 || !item) continue;
        char fileName[kFileSpecNameCapacity];
        GetFileSpecName(&child->fileSpec, fileName, sizeof fileName);
        SymbolSelection selection{};
        selection.item = item;
        selection.nameIndex = nameIndex;
        selection.symbolIndex = symbol->component ? symbol->kind.comp.symbol : 0;
        selection.alternate = (symbol->flags & kSymbolFlagSecondMap) && GetLibSymbolData(item, selection.symbolIndex, 1);
        selection.sourceName = fileName;
        selection.timeStamp = stamp;
        if (ReplaceFromSelection(sheet, project, symbol, selection, logUpdates, 17, changed, &count)) replaced = true;
        DestroyLibraryItem(item);
    }
    if (replaced && project) {
        if (const auto& place = GetSymbolPlaceHooks(); place.updateProjectHierarchy)
            place.updateProjectHierarchy(project, kHierarchySymbolsChanged);
    }
    return count;
}

int32_t UpdateSheetsSymbols(SheetRecord* sheet, ProjectRecord* project, bool force, bool selectedOnly,
                            bool childSymbolsOnly, bool logUpdates, bool quiet, uint32_t options) {
    if (!sheet) return 0;
    LogWindowRecord* ownLog = !project && sheet->window ? GetLog(nullptr, sheet, true) : nullptr;
    int32_t count = 0;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        s->flags &= ~(kSymbolFlagHandled | kSymbolFlagMarked);
        char source[kSymbolTextSize];
        SourceName(sheet, s, source);
        const bool childSymbol = s->flags & kSymbolFlagFileSymbol;
        if ((!selectedOnly || (s->flags & kSymbolFlagSelected)) && s->changeTime && source[0] && IsReplaceable(s) &&
            childSymbol == childSymbolsOnly)
            s->flags |= kSymbolFlagMarked;
    }
    ClearSelection(sheet);
    Rect changed;
    VXSetEmptyRect(&changed);
    {
        CacheSelectionScope keep;
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
            if (!(s->flags & kSymbolFlagMarked) || (s->flags & kSymbolFlagHandled)) continue;
            char source[kSymbolTextSize], name[kSymbolTextSize];
            SourceName(sheet, s, source);
            SourceSymbolName(sheet, s, name);
            if (s->flags & kSymbolFlagFileSymbol) {
                SheetSpec* spec = project ? GetNamedSheetSpec(project, source, nullptr) : nullptr;
                SheetRecord* child = spec ? StoreGetLoadedSheet(project, spec) : nullptr;
                if (child) {
                    count += UpdateFileSymbolsFromChildSheet(sheet, project, child, source, logUpdates, quiet, &changed);
                    s->flags |= kSymbolFlagHandled;
                    continue;
                }
            }
            int32_t fileIndex = -1, itemIndex = -1;
            if (!LocateLibraryFileItem(source, name, &fileIndex, &itemIndex)) {
                // A file of that name that lacks the item: its update logs the missing item.
                fileIndex = -1;
                for (int32_t i = 0; i < CountLibraryFiles(kLibFilesAll) && fileIndex < 0; ++i) {
                    char fileName[kFileSpecNameCapacity];
                    if (GetIndexedLibFileName(kLibFilesAll, i, fileName) && Same(fileName, source)) fileIndex = i;
                }
            }
            if (fileIndex < 0) {
                if (!quiet) {
                    FileSpec file;
                    SheetSpec* spec = project ? GetNamedSheetSpec(project, source, nullptr) : nullptr;
                    const bool sheetExists = spec && ResolveSheetSpecFile(project, spec, &file, nullptr);
                    AddReplaceSymbolLogEntry(project, sheet, s,
                                             sheetExists ? kLogSymbolDefinitionMissing : kLogSymbolFileMissing);
                    ++count;
                }
                s->flags |= kSymbolFlagHandled;
                continue;
            }
            count += UpdateFromLibrary(sheet, project, force, fileIndex, source, logUpdates, quiet, options, &changed);
            s->flags |= kSymbolFlagHandled;
        }
    }
    if (sheet->window && !VXEmptyRect(&changed)) InvalSheetView(sheet, &changed);
    DeleteSelection(sheet);
    if (!project && ownLog) FinishLog(ownLog);
    if (childSymbolsOnly) sheet->modifiedFlags &= ~kSheetModifiedChildSymbols;
    return count;
}

int32_t UpdateProjectsLibrarySymbols(ProjectRecord* project, bool force, uint32_t options, bool selectedSheetsOnly) {
    if (!project) return 0;
    LogWindowRecord* log = GetLog(project, nullptr, true);
    int32_t count = 0;
    std::vector<SheetSpec*> specs;
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec;
         spec = static_cast<SheetSpec*>(LLGetNext(project->sheetSpecs, spec))) {
        if (selectedSheetsOnly) {
            if (project->hierarchy && HasSelectedNode(project->hierarchy->first, spec)) specs.push_back(spec);
        } else if (GetSheetNodeUsingSheetSpec(project, spec) || !project->hierarchy) {
            specs.push_back(spec);
        }
    }
    for (SheetSpec* spec : specs) {
        if (SheetRecord* open = StoreGetLoadedSheet(project, spec)) {
            count += UpdateSheetsSymbols(open, project, force, false, false, true, false, options);
            continue;
        }
        SheetRecord* sheet = nullptr;
        if (StoreLoadSheet(project, spec, &sheet) != 0) continue;
        const uint8_t before = sheet->modifiedFlags;
        sheet->modifiedFlags = 0;
        count += UpdateSheetsSymbols(sheet, project, force, false, false, true, false, options);
        const bool modified = sheet->modifiedFlags != 0;
        sheet->modifiedFlags |= before;
        // A sheet that was not open and changed is shown in a window of its own, which takes it
        // over; when no window can be made it is saved here, and a failed save is told, not
        // dropped with it.
        if (modified && ShowSheetInWindow(sheet)) continue;
        if (modified) VXErrorReport(StoreSaveSheet(sheet));
        StoreReleaseSheet(sheet);
    }
    FinishLog(log);
    return count;
}

// ---- Child-sheet symbols ----

bool DoesSheetContainChildSymbolFromSheet(SheetRecord* sheet, SheetRecord* child) {
    if (!sheet || !child || sheet == child || !sheet->project) return false;
    if (!SpecOfSheet(sheet->project, child)) return false;
    char childName[kFileSpecNameCapacity];
    GetFileSpecName(&child->fileSpec, childName, sizeof childName);
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        if (!(s->flags & kSymbolFlagFileSymbol)) continue;
        char sub[kSymbolTextSize];
        GetSymbolSheetName(s, sheet->stringBlock, sub);
        if (Same(sub, childName)) return true;
    }
    return false;
}

void MarkSheetAsHavingDirtyChildSymbols(SheetRecord* sheet) {
    if (!sheet) return;
    sheet->modifiedFlags |= kSheetModifiedChildSymbols;
    gSheetsHaveDirtyChildSymbols = true;
}

void MarkSheetsContainingChildSymbolFromSheet(SheetRecord* child) {
    for (SheetRecord* sheet : VisibleSheets())
        if (DoesSheetContainChildSymbolFromSheet(sheet, child)) MarkSheetAsHavingDirtyChildSymbols(sheet);
}

void UpdateSheetsContainingChildSymbolFromSheet(SheetRecord* child) {
    if (!child || !child->fileSpec.name[0]) return;
    CacheSelectionScope keep;
    ProjectRecord* libraryProject = GetLibFilesProject();
    for (SheetRecord* sheet : VisibleSheets())
        if (DoesSheetContainChildSymbolFromSheet(sheet, child)) ChildUpdateOfOpenSheet(sheet);
    SetLibFilesProject(libraryProject, false);
}

void UpdateSheetsWithDirtyChildSymbols() {
    if (!gSheetsHaveDirtyChildSymbols) return;
    CacheSelectionScope keep;
    ProjectRecord* libraryProject = GetLibFilesProject();
    for (SheetRecord* sheet : VisibleSheets()) {
        if (!(sheet->modifiedFlags & kSheetModifiedChildSymbols)) continue;
        if (sheet->project) ChildUpdateOfOpenSheet(sheet);
        sheet->modifiedFlags &= ~kSheetModifiedChildSymbols;
    }
    SetLibFilesProject(libraryProject, false);
    gSheetsHaveDirtyChildSymbols = false;
}

OSStatus UpdateDirtyChildSymbolsInSheet(SheetRecord* sheet, bool logUpdates, bool quiet) {
    if (!sheet) return status::kParamErr;
    bool hasChildSymbols = false;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s && !hasChildSymbols; s = s->next)
        hasChildSymbols = s->flags & kSymbolFlagFileSymbol;
    if (!sheet->project || !sheet->hierarchyContext || !hasChildSymbols) {
        sheet->modifiedFlags &= ~kSheetModifiedChildSymbols;
        return 0;
    }
    const uint32_t serial = sheet->stored.nextSerial;
    UpdateSheetsSymbols(sheet, sheet->project, false, false, true, logUpdates, quiet, 17);
    if (sheet->stored.nextSerial != serial)
        if (const auto& place = GetSymbolPlaceHooks(); place.updateProjectHierarchy)
            place.updateProjectHierarchy(sheet->project, kHierarchySymbolsChanged);
    return 0;
}

// ---- Commands ----

void ReplaceSelectedSymbols(SheetRecord* sheet) {
    if (!sheet) return;
    std::vector<SymbolRecord*> marked;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        s->flags &= ~kSymbolFlagMarked;
        if ((s->flags & kSymbolFlagSelected) && IsReplaceable(s)) {
            s->flags |= kSymbolFlagMarked;
            marked.push_back(s);
        }
    }
    if (marked.empty()) return;
    if (!BrowsePartsDialog(kReplacementPartTitle, false, -1, nullptr, nullptr)) return;
    SymbolSelection selection{};
    if (!ItemCacheSelection(&selection)) return;
    ClearSelection(sheet);
    Rect changed;
    VXSetEmptyRect(&changed);
    for (SymbolRecord* symbol : marked) {
        symbol->flags &= ~kSymbolFlagMarked;
        if (ReplaceSymbol(sheet, symbol, &selection, symbol->flags & kSymbolFlagSubSheet,
                          symbol->flags & kSymbolFlagFileSymbol, 0, &changed)) {
            symbol->flags |= kSymbolFlagSelected;
            NoteSheetItemSelected(sheet, SheetItemKind::kSymbol, symbol);
        }
    }
    if (sheet->window && !VXEmptyRect(&changed)) InvalSheetView(sheet, &changed);
    DeleteSelection(sheet);
}

UpdateSymbolsDialogState SetupUpdateSymbolsDialog(bool fromProjectWindow, bool hasProject, bool symbolsSelected,
                                                  bool treeHasSelection) {
    UpdateSymbolsDialogState state{};
    for (bool& e : state.enabled) e = true;
    if (!fromProjectWindow) {
        if (!hasProject) state.enabled[kUpdateScopeProject] = false;
        state.scope = kUpdateScopeSelected;
        if (!symbolsSelected) {
            state.enabled[kUpdateScopeSelected] = false;
            state.scope = kUpdateScopeSheet;
        }
        return state;
    }
    state.projectSheetsText = true;
    state.enabled[kUpdateScopeSelected] = false;
    if (treeHasSelection) {
        state.scope = kUpdateScopeSheet;
    } else {
        state.enabled[kUpdateScopeSheet] = false;
        state.scope = kUpdateScopeProject;
    }
    return state;
}

int32_t RunUpdatePartSymbols(SheetRecord* sheet, ProjectRecord* project, const UpdateSymbolsChoice& choice) {
    int32_t count = 0;
    const uint32_t options = uint32_t(choice.attributeMode) & kPlaceAttributeModeMask;
    {
        CacheSelectionScope keep;
        if (project && !sheet) SetLibFilesProject(project, false);
        if (choice.scope == kUpdateScopeProject && project) {
            count = UpdateProjectsLibrarySymbols(project, choice.force, options, false);
        } else if (choice.scope == kUpdateScopeSheet && !sheet && project) {
            count = UpdateProjectsLibrarySymbols(project, choice.force, options, true);
        } else if (sheet) {
            count = UpdateSheetsSymbols(sheet, project, choice.force, choice.scope == kUpdateScopeSelected, false, true,
                                        false, options);
        }
    }
    LogWindowRecord* log = GetLog(project, sheet, false);
    if (count == 0 && CountEntries(log) == 0 && gHooks.message) gHooks.message(kNoSymbolsUpdatedMessage);
    return count;
}

}  // namespace plexa
