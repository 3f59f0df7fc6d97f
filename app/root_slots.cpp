#include "app/root_slots.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>

#include "app/editor_tables.h"
#include "foundation/assert.h"
#include "foundation/folders.h"
#include "foundation/socket.h"
#include "foundation/timers.h"
#include "foundation/windowgeometry.h"
#include "graphics/grafport.h"
#include "graphics/pixels.h"
#include "graphics/render.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "graphics/textview.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

using Slot = void (*)();

// The byte offsets of the table's empty slots that are not in `optional`.
template <class T>
std::vector<size_t> EmptySlots(const T& table, const std::set<size_t>& optional) {
    static_assert(sizeof(T) % sizeof(Slot) == 0, "a hook table holds only function pointers");
    std::vector<size_t> empty;
    for (size_t offset = 0; offset < sizeof(T); offset += sizeof(Slot)) {
        Slot slot;
        std::memcpy(&slot, reinterpret_cast<const char*>(&table) + offset, sizeof slot);
        if (!slot && !optional.count(offset)) empty.push_back(offset);
    }
    return empty;
}

struct HookCase {
    const char* name;
    bool core;       // filled by the core's entry point too, not only by the editor's start-up
    bool procedure;  // a single procedure, not a table
    std::function<std::vector<size_t>()> emptySlots;
};

#define PLEXA_TABLE(core, Type, getter, ...) \
    HookCase { #Type, core, false, [] { return EmptySlots<Type>(getter, {__VA_ARGS__}); } }
#define PLEXA_PROC(core, name, getter) \
    HookCase { name, core, true, [] { return getter ? std::vector<size_t>{} : std::vector<size_t>{0}; } }
#define OPTIONAL(Type, slot) offsetof(Type, slot)

// Every hook table, with its optional slots, and every single-procedure hook, in layer order.
// Not here: per-object procedures (a window's event handler, a list's hook, a socket's idle
// procedure), the fault seams of tests (SetSheetSaveFaultHook, SetCopyChunkHook) and the hooks
// whose default is the program's answer (VXSetTextHooks: the renderer's text; the simulator
// frames' problem reports and the refused shell requests: a line on standard error; gVXErrorTextProc: the status messages; the memory alert sound and the
// termination procedure and the crash clean-up: none).
std::vector<HookCase> Hooks() {
    return {
        // foundation/, set by the toolkit
        PLEXA_TABLE(false, TimerHooks, GetTimerHooks()),
        PLEXA_PROC(false, "SocketTicksHook", GetSocketTicksHook()),
        PLEXA_PROC(false, "FolderChooserHook", GetFolderChooserHook()),
        PLEXA_PROC(false, "PaneBoundsHook", GetPaneBoundsHook()),
        PLEXA_PROC(false, "PointsToScreenHook", GetPointsToScreenHook()),
        // graphics/
        PLEXA_PROC(false, "CurrentTextStyleProc", GetCurrentTextStyleProc()),
        PLEXA_TABLE(false, VXGrafHooks, VXGetGrafHooks()),
        PLEXA_TABLE(false, QZWindowHooks, QZGetWindowHooks()),
        PLEXA_TABLE(false, VXPixelsHooks, VXGetPixelsHooks()),
        PLEXA_TABLE(false, VXTEHooks, VXTEGetHooks()),
        PLEXA_TABLE(false, TextViewHooks, TextViewGetHooks()),
        PLEXA_TABLE(true, DXFHooks, DXFGetHooks()),
        // toolkit/
        PLEXA_TABLE(false, VXWindowDefaultHooks, gVXWindowDefaultHooks),
        PLEXA_TABLE(false, VXCommandHooks, gVXCommandHooks),
        PLEXA_TABLE(false, VXListBoxHooks, gVXListBoxHooks),
        PLEXA_TABLE(false, VXListItemHooks, gVXListItemHooks),
        PLEXA_PROC(false, "VXKeyEquivalentProc", VXGetKeyEquivalentProc()),
        // model/
        PLEXA_TABLE(true, ModelHooks, GetModelHooks(),
                    OPTIONAL(ModelHooks, changedPreferences),
                    OPTIONAL(ModelHooks, collectTextOwnerChange),
                    OPTIONAL(ModelHooks, releaseSheetEditorParts)),
        PLEXA_TABLE(true, SymbolHooks, GetSymbolHooks(),
                    OPTIONAL(SymbolHooks, clearSheetUndoAction)),
        PLEXA_TABLE(true, SheetSymbolHooks, GetSheetSymbolHooks()),
        PLEXA_TABLE(true, SymbolDrawHooks, GetSymbolDrawHooks()),
        PLEXA_TABLE(true, SymbolTextHooks, GetSymbolTextHooks(),
                    OPTIONAL(SymbolTextHooks, preferences),
                    OPTIONAL(SymbolTextHooks, buildDrawingSelectRgn)),
        PLEXA_TABLE(true, DataContextHooks, GetDataContextHooks(),
                    OPTIONAL(DataContextHooks, netlistField)),
        PLEXA_TABLE(true, ImageListSheetHooks, GetImageListSheetHooks(),
                    OPTIONAL(ImageListSheetHooks, clearUndoAction)),
        PLEXA_TABLE(true, SheetColorHooks, GetSheetColorHooks()),
        PLEXA_TABLE(true, AnnotationContextHooks, GetAnnotationContextHooks()),
        PLEXA_PROC(false, "ModelWaitCursorProc", GetModelWaitCursorProc()),
        // files/
        PLEXA_TABLE(true, SheetServices, GetSheetServices()),
        PLEXA_TABLE(true, SheetPortServices, GetSheetPortServices()),
        PLEXA_TABLE(true, SheetStoreHooks, GetSheetStoreHooks()),
        PLEXA_TABLE(true, SheetLoadHooks, GetSheetLoadHooks()),
        PLEXA_TABLE(true, SheetSaveHooks, GetSheetSaveHooks(),
                    OPTIONAL(SheetSaveHooks, prepare)),
        PLEXA_TABLE(true, PathSearchHooks, GetPathSearchHooks()),
        PLEXA_TABLE(true, ProjectServices, GetProjectServices(),
                    OPTIONAL(ProjectServices, createWindow),
                    OPTIONAL(ProjectServices, signalMapBuildKey),
                    OPTIONAL(ProjectServices, releaseEditState)),
        PLEXA_TABLE(true, ProjectOpenHooks, GetProjectOpenHooks()),
        PLEXA_TABLE(true, HierarchyHooks, GetHierarchyHooks()),
        PLEXA_TABLE(true, ResequenceHooks, GetResequenceHooks(),
                    OPTIONAL(ResequenceHooks, keepUnsaved)),
        PLEXA_TABLE(true, SymbolPlaceHooks, GetSymbolPlaceHooks()),
        // library/
        PLEXA_TABLE(true, LibraryAccessHooks, GetLibraryAccessHooks(),
                    OPTIONAL(LibraryAccessHooks, folderChoiceChanged)),
        PLEXA_TABLE(true, ItemCacheHooks, GetItemCacheHooks(),
                    OPTIONAL(ItemCacheHooks, resetPlaceTransformation)),
        PLEXA_TABLE(true, LibHistoryHooks, GetLibHistoryHooks()),
        PLEXA_TABLE(true, LibFinderHooks, GetLibFinderHooks()),
        PLEXA_PROC(false, "LibraryWaitProc", GetLibraryWaitProc()),
        PLEXA_PROC(false, "PromptCreateLibraryProc", GetPromptCreateLibraryProc()),
        // design/
        PLEXA_TABLE(true, AnnotationHooks, GetAnnotationHooks()),
        PLEXA_TABLE(true, ReportHooks, GetReportHooks()),
        PLEXA_PROC(true, "ScriptErrorHook", GetScriptErrorHook()),
        PLEXA_TABLE(true, ECOHooks, GetECOHooks()),
        PLEXA_TABLE(true, BackAnnotHooks, GetBackAnnotHooks()),
        PLEXA_TABLE(true, SpiceLinkHooks, GetSpiceLinkHooks()),
        PLEXA_TABLE(true, SpiceSessionHooks, GetSpiceSessionHooks(),
                    OPTIONAL(SpiceSessionHooks, updateToolbar), OPTIONAL(SpiceSessionHooks, setRunning)),
        PLEXA_TABLE(true, SpiceNetlistHooks, GetSpiceNetlistHooks()),
        PLEXA_TABLE(true, SpiceSheetHooks, GetSpiceSheetHooks()),
        PLEXA_TABLE(true, DXFExportHooks, GetDXFExportHooks()),
        // sheeteditor/
        PLEXA_TABLE(false, SheetWindowHooks, GetSheetWindowHooks()),
        PLEXA_TABLE(false, WireTrackingHooks, GetWireTrackingHooks()),
        PLEXA_TABLE(false, WireStretchHooks, GetWireStretchHooks()),
        PLEXA_TABLE(false, SheetOpenHooks, GetSheetOpenHooks(),
                    OPTIONAL(SheetOpenHooks, detectFileType),
                    OPTIONAL(SheetOpenHooks, checkSheet), OPTIONAL(SheetOpenHooks, reportCheck),
                    OPTIONAL(SheetOpenHooks, nodeValuesWanted),
                    OPTIONAL(SheetOpenHooks, revealSymbol)),
        PLEXA_TABLE(false, FileSelectHooks, GetFileSelectHooks(),
                    OPTIONAL(FileSelectHooks, clearAsciiBatchMode)),
        PLEXA_TABLE(false, ScriptCommandHooks, GetScriptCommandHooks()),
        PLEXA_TABLE(false, SheetSymbolUIHooks, GetSheetSymbolUIHooks()),
        PLEXA_TABLE(false, SymbolUpdateHooks, GetSymbolUpdateHooks(),
                    OPTIONAL(SymbolUpdateHooks, deleteSelection)),
        PLEXA_TABLE(false, SheetToolsHooks, GetSheetToolsHooks(),
                    OPTIONAL(SheetToolsHooks, revealProjectSheetNode),
                    OPTIONAL(SheetToolsHooks, cancelSymbolEditorZoom),
                    OPTIONAL(SheetToolsHooks, searchWindowActive)),
        PLEXA_TABLE(false, AttributeClipHooks, GetAttributeClipHooks()),
        PLEXA_TABLE(false, SearchLogHooks, GetSearchLogHooks()),
        PLEXA_TABLE(false, ColorPopupHooks, GetColorPopupHooks(),
                    OPTIONAL(ColorPopupHooks, symbolEditorSelection),
                    OPTIONAL(ColorPopupHooks, setSymbolEditorDefaults)),
        PLEXA_TABLE(false, SpiceWindowHooks, GetSpiceWindowHooks()),
        // symboleditor/
        PLEXA_TABLE(false, SymbolEditorHooks, GetSymbolEditorHooks(),
                    OPTIONAL(SymbolEditorHooks, flushList),
                    OPTIONAL(SymbolEditorHooks, askFileSymbolName)),
        PLEXA_TABLE(false, FileSymbolPinHooks, GetFileSymbolPinHooks(),
                    OPTIONAL(FileSymbolPinHooks, positionPinText),
                    OPTIONAL(FileSymbolPinHooks, setListDrawing),
                    OPTIONAL(FileSymbolPinHooks, redrawPinLists)),
        PLEXA_TABLE(false, LibEditorHooks, GetLibEditorHooks(),
                    OPTIONAL(LibEditorHooks, confirm), OPTIONAL(LibEditorHooks, askNewItem),
                    OPTIONAL(LibEditorHooks, askFind)),
        // app/
        PLEXA_TABLE(false, PreferencesHooks, GetPreferencesHooks()),
    };
}

}  // namespace

std::vector<std::string> EmptyHookSlots(HookStartUp startUp) {
    std::vector<std::string> lines;
    for (const HookCase& hook : Hooks()) {
        if (startUp == HookStartUp::kCore && !hook.core) continue;
        const std::vector<size_t> empty = hook.emptySlots();
        if (empty.empty()) continue;
        std::string line = hook.name;
        if (hook.procedure) {
            line += ": not installed";
        } else {
            line += ": empty slots at byte";
            for (size_t offset : empty) line += " " + std::to_string(offset);
        }
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> CheckedHookNames() {
    std::vector<std::string> names;
    for (const HookCase& hook : Hooks()) names.push_back(hook.name);
    return names;
}

void AssertEveryHookInstalled() {
#if PLEXA_ASSERTS_ON
    const std::vector<std::string> empty = EmptyHookSlots(HookStartUp::kEditor);
    for (const std::string& line : empty) std::fprintf(stderr, "hook not installed: %s\n", line.c_str());
    PLEXA_ASSERT(empty.empty());
#endif
}

}  // namespace plexa
