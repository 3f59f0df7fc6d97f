// The panes of the symbol editor's window around its content: the tab bar that switches the
// content between the drawing ("Symbols") and the five list tabs, the tools pane on the left (the
// drawing tools, and for a component the reference prefix, the pin-set selector, the new-part
// button and the parts tree of symbol definitions and their sections), and the top tool bar
// (snap, zoom area, rotate and mirror, outline width and colours, "Alt. Symbol"). The tools pane
// and the top tool bar exist only while the drawing is shown. While a list tab is shown, the
// content is the list view of its rows (symlists), whose clicks, popup menus and keys are handled
// here since they switch views and pin sets.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct LibraryItem;
struct LibSection;
struct SymbolEditorRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXTreeNode;
struct VXWindowRecordTag;

// Pane sizes.
constexpr int16_t kSymTabBarHeight = 32, kSymTopToolsHeight = 37, kSymListHeaderHeight = 17;
constexpr int16_t kSymToolsWidthComponent = 177, kSymToolsWidthOther = 37;
// Item ids of the panes' controls.
constexpr int16_t kSymTabsItem = 10, kSymAltSymbolItem = 10, kSymPrefixItem = 21, kSymPinSetItem = 22,
                  kSymNewPartItem = 24, kSymPkgPinSetItem = 2, kSymPkgAttributesItem = 4;
// Top tool bar buttons.
constexpr int16_t kSymTopSnap = 2017, kSymTopZoomArea = 2019, kSymTopRotateLeft = 2020, kSymTopRotateRight = 2021,
                  kSymTopMirrorH = 2022, kSymTopMirrorV = 2023, kSymTopLineWidth = 2048, kSymTopOutlineColor = 2049,
                  kSymTopFillColor = 2050;
constexpr int32_t kSymToolCount = 11, kSymTopToolCount = 9;
extern const uint16_t gSymbolEditToolMap[kSymToolCount];
extern const int16_t gSymbolEditToolIconMap[kSymToolCount];
extern const int16_t gSymTopToolMap[kSymTopToolCount];
extern const int16_t gSymTopToolGroupMap[kSymTopToolCount];
extern const uint32_t gSymTopToolFlagsMap[kSymTopToolCount];
// The most sections an item may have.
constexpr int32_t kMaxSections = 250;
constexpr const char* kNoMorePartsMessage = "No more parts can be added.";
constexpr const char* kDeletePartsQuestion = "Are you sure you want to delete the selected part(s)";

// Switches the content pane to a tab (1 the drawing, 2 to 6 the lists); a pin set of 0 or more
// keeps the list tab and shows it for that pin set.
void SetSymbolEditorView(SymbolEditorRecord* editor, uint16_t view, int32_t pinSet);

// Makes the tab bar, tools pane, top tool bar and their tips of a new editor window.
bool CreateSymbolEditorPanes(SymbolEditorRecord* editor);
// Forgets what the panes keep of an editor whose window goes.
void ForgetSymbolEditorPanes(SymbolEditorRecord* editor);

// The tools pane's width (made when missing): 177 for a component, 37 otherwise.
int16_t CreateSymbolEditorTools(SymbolEditorRecord* editor, bool show);
// The top tool bar's height (made when missing).
int16_t CreateSymbolEditorTopTools(SymbolEditorRecord* editor, bool show);
void CreateSymbolEditorToolTips(SymbolEditorRecord* editor);
// The width the line-width popup marks: the single selected element's, the editor's own with
// nothing selected, none (0) when several elements are.
int32_t SymbolEditorMarkedLineWidth(SymbolEditorRecord* editor);
void SetSymbolEditorFocus(SymbolEditorRecord* editor);
// Enables or disables the Hidden Pins tab's "Pin Attributes..." button.
void EnableHiddenPinAttributes(SymbolEditorRecord* editor, bool enable);
// Fills the pin-set selector with "1 " to "4 ", the current one chosen; with an item, the pin sets
// that its packages use are marked.
void BuildPinSetSelector(LibraryItem* item, VXWindowRecordTag* pane, int16_t item_id, int32_t pinSet, bool redraw);

// ---- Parts tree ----
void BuildPartsTree(SymbolEditorRecord* editor);
void SetPartViewSelection(SymbolEditorRecord* editor, LibSection* section, bool reveal);
VXTreeNode* GetPartsTreeSymbolBranch(VXWindowRecordTag* tree, int32_t symbol);
int32_t GetPartsTreeSectionIndex(VXWindowRecordTag* tree, LibSection* section);
// Deleting the section of a node (refused with a beep for the last one of its definition) and
// the definition of a node (nothing for the item's last).
void DeletePartSection(SymbolEditorRecord* editor, VXTreeNode* node);
void DeletePartSymbol(SymbolEditorRecord* editor, VXTreeNode* node);
// The Clear command in the parts tree: deletes the selected row's definition or section; false
// when the tree has no selected row.
bool DeleteSelectedPart(SymbolEditorRecord* editor);
// Whether the keyboard is in the editor's parts tree.
bool PartsTreeHasFocus(SymbolEditorRecord* editor);
// The new-part button: with option a section is made at once.
void DoNewPart(SymbolEditorRecord* editor, bool option);

// Pane handlers.
int32_t SymbolEditTabsHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t SymbolEditToolsHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t SymbolEditTopToolsHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t SymbolEditPkgSelHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t SymbolEditListHeaderHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t InstanceListEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

// ---- The list view of the list tabs ----

// Shows the editor's current tab in a list view window (its rows, the new-entry row, editing in
// the first field of row 0).
void PrepareSymbolEditorList(SymbolEditorRecord* editor, VXWindowRecordTag* list);
// A click on header cell `column` of the tab: in the Pins tab its field becomes the first sort key
// and the tab is shown again; other tabs do nothing.
void ClickSymbolEditorListHeader(SymbolEditorRecord* editor, int32_t column);
// The list view's hook for every tab.
int32_t EditListsFunnelHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record);

// ---- Pin sets ----

// Asks kCreatePinSetMessage (with the set's number from 1) with the button kCreatePinSetButton
// beside Cancel; whether the user agreed.
bool AskCreatePinSet(int32_t pinSet);
// Chooses a pin set; one the item lacks is made, as a copy of the current set, when the user
// agrees (false when refused).
bool DoPinSetSelection(SymbolEditorRecord* editor, int32_t pinSet);

}  // namespace plexa
