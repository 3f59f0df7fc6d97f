// The ids of a sheet window's drawing tools and top tool bar controls, which tool's shortcut menu
// is open, the placing tool's transformation, whether the current tool draws wires or busses, and
// what the tools need of the application shell (`SheetToolsHooks`). Changing the tool and
// everything it does is in sheeteditor/sheettools.h; this part is what the modules below the
// tools read.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ProjectRecord;
struct SheetNode;
struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Tool ids; each is also the command id of its button.
constexpr uint16_t kDrawToolSelect = 2006, kDrawToolText = 2007, kDrawToolLibraryPart = 2029,
                   kDrawToolSubSheet = 2031, kDrawToolWire = 2024, kDrawToolBuss = 2027,
                   kDrawToolPowerShortcuts = 2032, kDrawToolPortShortcuts = 2030,
                   kDrawToolComponentShortcuts = 2040;
constexpr uint16_t kDrawToolLine = 1, kDrawToolArrow = 2, kDrawToolRectangle = 3, kDrawToolOval = 4,
                   kDrawToolRoundRect = 5, kDrawToolArc = 6, kDrawToolPolygon = 7;
constexpr uint16_t kDrawToolVoltageLabels = 10, kDrawToolVoltageLabel = 11, kDrawToolRunAnalysis = 12,
                   kDrawToolUpdateAnalysis = 13, kDrawToolGraphSignals = 14;

// The top tool bar's buttons and controls.
constexpr int16_t kTopToolSnap = 2017, kTopToolZoomArea = 2019, kTopToolRotateLeft = 2020,
                  kTopToolRotateRight = 2021, kTopToolMirrorH = 2022, kTopToolMirrorV = 2023,
                  kTopToolLineWidth = 2048, kTopToolLineColor = 2049, kTopToolFillColor = 2050,
                  kTopToolSearchLibraries = 2035, kTopToolLibraryFolders = 2028;
constexpr int16_t kTopToolPartPopup = 10, kTopToolAltSymbol = 11, kTopToolProjectContext = 20,
                  kTopToolDisclosure = 21;

// Cursors of the sheet pane.
constexpr int32_t kZoomCursor = 1002, kVoltageLabelCursor = 1010, kGraphSignalsCursor = 1011;

// Transformation codes of the rotate and mirror buttons.
constexpr int32_t kRotateLeftCode = 3, kRotateRightCode = 1, kMirrorHorizontalCode = 4,
                  kMirrorVerticalCode = 6;

// Shortcut menus: the menu id and the command of item n (from 0).
constexpr uint16_t kShortcutMenuId = 1200, kFirstShortcutCommand = 1201, kLastShortcutCommand = 1299;
constexpr int32_t kShortcutMenuLimit = 99;

// 1 when the tool draws busses (the bus tool, or the library-part tool with a bus symbol), else 0.
int32_t IsBussLineMode(SheetRecord* sheet);
// 1 when the tool draws signal wires (the wire tool, or the library-part tool with a wire symbol).
int32_t IsSignalWireMode(SheetRecord* sheet);

// The tool whose shortcut menu is open (2030, 2032 or 2040; 0 none).
extern uint16_t gShortcutTool;
// The transformation of the symbol that the library-part tool places.
extern int32_t gPlaceTransformation;

struct SheetToolsHooks {
    // The entries of a shortcut group (0 power symbols, 1 module ports, 2 components): the count
    // and an entry's name. Default: no entries.
    int32_t (*shortcutCount)(int32_t group) = nullptr;
    void (*shortcutName)(int32_t group, int32_t index, char* name, int32_t size) = nullptr;
    // Makes a group's entry the cached library selection; true when it became so. Default: false.
    bool (*selectShortcut)(int32_t group, int32_t index) = nullptr;
    // Whether the preferences ask for the sub-sheet symbol tool. Default: false.
    bool (*subSheetTool)() = nullptr;
    // Opens the preferences dialog at a panel (1 the library folders). Default: nothing.
    void (*editPrefs)(int32_t panel) = nullptr;
    // Shows the window's view at the scale with the rectangle's centre in the middle; answers the
    // scale shown. Default: nothing, the scale is kept.
    int32_t (*setScaledViewPosition)(VXWindowRecordTag* window, int32_t scale, const Rect& rect) = nullptr;
    // The zoom tool's click in the window: zooms to the rectangle drawn, or a step at a click;
    // nonzero when a rectangle was drawn. Default: nothing, 0.
    int32_t (*trackZoomRect)(VXWindowRecordTag* window, const VXEventRecord* event) = nullptr;
    // Shows the node in the project window's tree. Default: nothing.
    // Optional: the project window does not reveal nodes yet.
    void (*revealProjectSheetNode)(ProjectRecord* project, SheetNode* node) = nullptr;
    // Ends the zoom-area mode of a symbol editor window (kind 111). Default: nothing.
    // Optional: the symbol editor's tools are not built yet; until then it has no zoom mode.
    void (*cancelSymbolEditorZoom)(VXWindowRecordTag* window) = nullptr;
    // Whether the search window is the active window. Default: false.
    // Optional: the search window is not built yet.
    bool (*searchWindowActive)() = nullptr;
};
void SetSheetToolsHooks(const SheetToolsHooks& hooks);
const SheetToolsHooks& GetSheetToolsHooks();

}  // namespace plexa
