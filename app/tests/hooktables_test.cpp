// Every slot of every hook table is filled by the composition root's entry points, but for the
// slots that their declarations call optional: a hook that nothing installs fails here instead of
// silently doing nothing.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/editor_tables.h"
#include "app/root.h"

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

struct TableCase {
    const char* name;
    bool core;  // filled by the core's entry point too, not only by the editor's
    std::function<std::vector<size_t>()> emptySlots;
};

#define PLEXA_TABLE(core, Type, getter, ...) \
    TableCase { #Type, core, [] { return EmptySlots<Type>(getter(), {__VA_ARGS__}); } }
#define OPTIONAL(Type, slot) offsetof(Type, slot)

// The table of the tables, each with its optional slots.
std::vector<TableCase> Tables() {
    return {
        PLEXA_TABLE(true, DXFHooks, DXFGetHooks),
        PLEXA_TABLE(true, ModelHooks, GetModelHooks,
                    OPTIONAL(ModelHooks, changedPreferences),
                    OPTIONAL(ModelHooks, collectTextOwnerChange),
                    OPTIONAL(ModelHooks, releaseSheetEditorParts)),
        PLEXA_TABLE(true, SymbolHooks, GetSymbolHooks,
                    OPTIONAL(SymbolHooks, clearSheetUndoAction)),
        PLEXA_TABLE(true, SheetSymbolHooks, GetSheetSymbolHooks),
        PLEXA_TABLE(true, SymbolDrawHooks, GetSymbolDrawHooks),
        PLEXA_TABLE(true, SymbolTextHooks, GetSymbolTextHooks,
                    OPTIONAL(SymbolTextHooks, preferences),
                    OPTIONAL(SymbolTextHooks, buildDrawingSelectRgn)),
        PLEXA_TABLE(true, DataContextHooks, GetDataContextHooks,
                    OPTIONAL(DataContextHooks, netlistField)),
        PLEXA_TABLE(true, ImageListSheetHooks, GetImageListSheetHooks,
                    OPTIONAL(ImageListSheetHooks, clearUndoAction)),
        PLEXA_TABLE(true, SheetColorHooks, GetSheetColorHooks),
        PLEXA_TABLE(true, AnnotationContextHooks, GetAnnotationContextHooks),
        PLEXA_TABLE(true, SheetServices, GetSheetServices),
        PLEXA_TABLE(true, SheetPortServices, GetSheetPortServices),
        PLEXA_TABLE(true, SheetStoreHooks, GetSheetStoreHooks),
        PLEXA_TABLE(true, SheetLoadHooks, GetSheetLoadHooks),
        PLEXA_TABLE(true, SheetSaveHooks, GetSheetSaveHooks,
                    OPTIONAL(SheetSaveHooks, prepare)),
        PLEXA_TABLE(true, PathSearchHooks, GetPathSearchHooks),
        PLEXA_TABLE(true, ProjectServices, GetProjectServices,
                    OPTIONAL(ProjectServices, createWindow),
                    OPTIONAL(ProjectServices, signalMapBuildKey)),
        PLEXA_TABLE(true, ProjectOpenHooks, GetProjectOpenHooks),
        PLEXA_TABLE(true, HierarchyHooks, GetHierarchyHooks),
        PLEXA_TABLE(true, ResequenceHooks, GetResequenceHooks,
                    OPTIONAL(ResequenceHooks, keepUnsaved)),
        PLEXA_TABLE(true, SymbolPlaceHooks, GetSymbolPlaceHooks),
        PLEXA_TABLE(true, LibraryAccessHooks, GetLibraryAccessHooks,
                    OPTIONAL(LibraryAccessHooks, folderChoiceChanged)),
        PLEXA_TABLE(true, ItemCacheHooks, GetItemCacheHooks,
                    OPTIONAL(ItemCacheHooks, resetPlaceTransformation)),
        PLEXA_TABLE(true, LibHistoryHooks, GetLibHistoryHooks),
        PLEXA_TABLE(true, LibFinderHooks, GetLibFinderHooks),
        PLEXA_TABLE(true, AnnotationHooks, GetAnnotationHooks),
        PLEXA_TABLE(true, ReportHooks, GetReportHooks),
        PLEXA_TABLE(true, ECOHooks, GetECOHooks),
        PLEXA_TABLE(true, BackAnnotHooks, GetBackAnnotHooks),
        PLEXA_TABLE(true, SpiceLinkHooks, GetSpiceLinkHooks),
        PLEXA_TABLE(true, SpiceSessionHooks, GetSpiceSessionHooks,
                    OPTIONAL(SpiceSessionHooks, updateToolbar), OPTIONAL(SpiceSessionHooks, setRunning)),
        PLEXA_TABLE(true, SpiceNetlistHooks, GetSpiceNetlistHooks),
        PLEXA_TABLE(true, SpiceSheetHooks, GetSpiceSheetHooks),
        PLEXA_TABLE(true, DXFExportHooks, GetDXFExportHooks),
        PLEXA_TABLE(false, SheetWindowHooks, GetSheetWindowHooks,
                    OPTIONAL(SheetWindowHooks, setSymbolEditorRulers)),
        PLEXA_TABLE(false, WireTrackingHooks, GetWireTrackingHooks),
        PLEXA_TABLE(false, SheetOpenHooks, GetSheetOpenHooks,
                    OPTIONAL(SheetOpenHooks, detectFileType),
                    OPTIONAL(SheetOpenHooks, checkOnOpen),
                    OPTIONAL(SheetOpenHooks, checkSheet), OPTIONAL(SheetOpenHooks, reportCheck),
                    OPTIONAL(SheetOpenHooks, nodeValuesWanted),
                    OPTIONAL(SheetOpenHooks, revealSymbol)),
        PLEXA_TABLE(false, FileSelectHooks, GetFileSelectHooks,
                    OPTIONAL(FileSelectHooks, getPrefDirectory),
                    OPTIONAL(FileSelectHooks, recordPrefDirectory),
                    OPTIONAL(FileSelectHooks, clearAsciiBatchMode)),
        PLEXA_TABLE(false, ScriptCommandHooks, GetScriptCommandHooks,
                    OPTIONAL(ScriptCommandHooks, getScript),
                    OPTIONAL(ScriptCommandHooks, replaceScript),
                    OPTIONAL(ScriptCommandHooks, textEditorApplication)),
        PLEXA_TABLE(false, SheetSymbolUIHooks, GetSheetSymbolUIHooks),
        PLEXA_TABLE(false, SymbolUpdateHooks, GetSymbolUpdateHooks,
                    OPTIONAL(SymbolUpdateHooks, deleteSelection)),
        PLEXA_TABLE(false, LibBrowserHooks, GetLibBrowserHooks),
        PLEXA_TABLE(false, SheetToolsHooks, GetSheetToolsHooks,
                    OPTIONAL(SheetToolsHooks, revealProjectSheetNode),
                    OPTIONAL(SheetToolsHooks, cancelSymbolEditorZoom),
                    OPTIONAL(SheetToolsHooks, searchWindowActive)),
        PLEXA_TABLE(false, SheetGridHooks, GetSheetGridHooks),
        PLEXA_TABLE(false, AttributeClipHooks, GetAttributeClipHooks),
        PLEXA_TABLE(false, SearchLogHooks, GetSearchLogHooks),
        PLEXA_TABLE(false, ColorPopupHooks, GetColorPopupHooks,
                    OPTIONAL(ColorPopupHooks, symbolEditorSelection),
                    OPTIONAL(ColorPopupHooks, setSymbolEditorDefaults)),
        PLEXA_TABLE(false, SpiceWindowHooks, GetSpiceWindowHooks,
                    OPTIONAL(SpiceWindowHooks, preferences),
                    OPTIONAL(SpiceWindowHooks, storePreferences)),
        PLEXA_TABLE(false, SymbolEditorHooks, GetSymbolEditorHooks,
                    OPTIONAL(SymbolEditorHooks, flushList),
                    OPTIONAL(SymbolEditorHooks, askFileSymbolName)),
        PLEXA_TABLE(false, FileSymbolPinHooks, GetFileSymbolPinHooks,
                    OPTIONAL(FileSymbolPinHooks, positionPinText),
                    OPTIONAL(FileSymbolPinHooks, setListDrawing),
                    OPTIONAL(FileSymbolPinHooks, redrawPinLists)),
        PLEXA_TABLE(false, LibEditorHooks, GetLibEditorHooks,
                    OPTIONAL(LibEditorHooks, confirm), OPTIONAL(LibEditorHooks, askNewItem),
                    OPTIONAL(LibEditorHooks, askFind)),
    };
}

std::string Describe(const TableCase& table, const std::vector<size_t>& empty) {
    std::string text = std::string(table.name) + ": empty slots at byte";
    for (size_t offset : empty) text += " " + std::to_string(offset);
    return text;
}

TEST(HookTablesTest, CoreEntryFillsEveryCoreSlot) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    InstallCoreHooks();
    for (const TableCase& table : Tables()) {
        if (!table.core) continue;
        const std::vector<size_t> empty = table.emptySlots();
        EXPECT_TRUE(empty.empty()) << Describe(table, empty);
    }
}

TEST(HookTablesTest, EditorEntryFillsEverySlot) {
    ASSERT_EQ(StartCore("app_tests"), 0);
    InstallEditorHooks();
    for (const TableCase& table : Tables()) {
        const std::vector<size_t> empty = table.emptySlots();
        EXPECT_TRUE(empty.empty()) << Describe(table, empty);
    }
    InstallCoreHooks();
}

}  // namespace
}  // namespace plexa
