// The library browser: the list of library files, the list of the selected file's items and a
// picture of the selected item's symbol, side by side, in a host window (a sheet window's library
// pane, or the browser tab of the parts dialog). The browser keeps no selection of its own: every
// choice is written into the item cache (library/itemcache.h) and the panes are redrawn from it.
// It also answers typed keys in its lists (type-ahead with a caption that shows the typed text),
// moves across files with the arrow keys, resizes its panes at the dividers, and shows the
// history button in the item list's caption of a sheet window. In a sheet window an item's row is
// also dragged onto a sheet (sheeteditor/libbrowserdrop.h).
//
// This module owns the browser records, their child windows (two caption bands, two list views,
// the symbol view) and the key timer. It calls the sheet editor's tools and wire tracking, and the
// symbol and library editors, directly.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "model/modelhooks.h"
#include "sheeteditor/libbrowserrecord.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXEventRecord;
struct VXPrepCommandRecord;

// The tools the browser chooses in a sheet window (model/modelhooks.h has its kind).
constexpr int32_t kSelectionTool = 2006;
constexpr int32_t kLibraryPartTool = 2029;
// "Open Selection" of the File menu.
constexpr uint16_t kOpenSelectionCommand = 211;
// What `OpenLibBrowserFile` answers.
constexpr int32_t kOpenedAsSheet = 101, kOpenedInLibraryEditor = 110;

constexpr int16_t kBrowserCaptionHeight = 17;
constexpr int32_t kBrowserKeyTextLimit = 29;
constexpr uint32_t kBrowserKeyTimeoutMs = 2500;
constexpr int16_t kBrowserPaneMinWidth = 65, kBrowserPaneMaxWidth = 300;
constexpr uint32_t kBrowserKeyTextColor = 0x01FF0000;
constexpr uint32_t kHistoryButtonDisabledColor = 0x09808080;
constexpr const char* kLibrariesCaption = "Libraries";
constexpr const char* kItemsCaption = "Items";


// Makes the browser's panes in the host (rectangles in the host's content; each list's caption
// band takes the top 17 points of its rectangle) and synchronises with the cache. None when a
// pane cannot be made.
LibBrowserRecord* CreateLibBrowser(VXWindowRecordTag* host, const Rect* fileRect, const Rect* itemRect,
                                   const Rect* symbolRect, int16_t partsControl, int16_t altControl,
                                   int16_t pathControl, bool multipleSelection, bool show);
// Destroys the panes and the key timer and frees the record; a second call while destroying does
// nothing.
void DestroyLibBrowser(LibBrowserRecord* browser);
// Command enabling of the library pane's lists: "Open Selection" (211) when a row is selected;
// 1 when it answered.
int32_t BrowserListPrepCommand(VXPrepCommandRecord* record);

// A list's caption band: the title in black, or the typed-key text in its colour when highlighted.
void DrawListCaption(const Rect& band, const char* title, bool highlighted);
// A row of a list: the highlight when selected, the text 3 points from the left, truncated to the
// row's width less 4 points.
struct VXListViewHookRecord;
void DrawHiliteBrowserListItem(VXWindowRecordTag* window, VXListViewHookRecord* record, const char* text);

// Fills a popup of the host with the names of the cached item's symbol definitions when it has at
// least two (empty otherwise), the cached one selected; answers the item's definition count.
int32_t FillCachedPartsPopup(VXWindowRecordTag* host, int16_t item);

void SynchBrowserWithCache(LibBrowserRecord* browser);
// The browser of the front sheet window is synchronised and its history button redrawn.
void InvalidateActiveBrowser();
// `fileIndex` counts in the active list; a negative item position selects the file's last item.
void SelectBrowserFile(LibBrowserRecord* browser, int32_t fileIndex, int32_t itemPosition, bool reveal);
void SelectBrowserItem(LibBrowserRecord* browser, int32_t itemIndex, bool reveal);
void SelectBrowserAlt(LibBrowserRecord* browser, bool on);
void SelectBrowserPart(LibBrowserRecord* browser, int32_t symbolIndex);
// Position 0 to 2: every folder; n >= 3: library folder n - 3.
void SelectBrowserDirectory(LibBrowserRecord* browser, int32_t popupPosition);
// Step -1 or 1 through the items, across files at either end.
void AdvanceCurrentBrowserItem(LibBrowserRecord* browser, int32_t step);

// Type-ahead. A printable ASCII character or backspace typed in one of the lists; false when the
// key is not one of those.
bool BrowserSelectionKey(LibBrowserRecord* browser, VXWindowRecordTag* list, uint16_t character);
void FindKeySelection(LibBrowserRecord* browser);
// The first entry of the cached item map that is not less than the text (item-name order; a plain
// comparison ignoring case for the empty text); -1 when none.
int32_t BrowserItemRowSearch(const char* text);

// The record's history: the cached item is recorded; the item list's caption shows the button
// when the history holds its first entry.
void RecordBrowserHistoryItem(LibBrowserRecord* browser);
// Recalls from the history (direction 1 from the oldest end); in a sheet window the browser is
// synchronised and the library-part tool chosen. True when an entry was recalled.
bool RecallBrowserHistoryItem(VXWindowRecordTag* sheetWindow, int32_t direction);
// The history button's box in the item caption band's coordinates.
void CalcRecentItemsBox(LibBrowserRecord* browser, Rect* box);

// Dividers: 0 right of the file list, 1 right of the item list, in host coordinates.
void GetBrowserDividerRects(LibBrowserRecord* browser, Rect dividers[2]);
// 0 or 1 for a divider under the point (inside it less 3 points at top and bottom), else -1.
int32_t HitTestBrowserViewDivider(LibBrowserRecord* browser, Point point);
// Sets the width of the pane left of a divider (held between 65 and 300) and moves every part to
// its right by the change; answers the width used.
int16_t ResizeBrowserPanel(LibBrowserRecord* browser, int32_t divider, int16_t width);
// Follows the mouse from a press at a divider until release; answers the final width.
int16_t TrackResizeBrowserPanel(VXWindowRecordTag* window, LibBrowserRecord* browser, int32_t divider,
                                Point start);

// The symbol view's scale for a drawing: the smaller of (width - 6) / drawing width and
// (height - 6) / drawing height, at most 1.0 and at least 0.01, in whole percent.
int32_t CalcSymbolViewScalePercent(int32_t viewWidth, int32_t viewHeight, const Rect& drawing);
void DrawCachedSymbolView(VXWindowRecordTag* view);

// Opens the cached file (101 as a sheet, 110 in the library editor, 0 nothing); the front sheet
// window gets the focus and its selection tool first.
int32_t OpenLibBrowserFile(VXWindowRecordTag** outWindow);
// Opens the cached item for editing; beeps when nothing opens.
void OpenCachedLibraryItemEditor();
// Opens the cached file: a sheet used as a library as a sheet (kOpenedAsSheet), a library file in
// the library editor (kOpenedInLibraryEditor), with the window in *outWindow; 0 when nothing
// opened (no cached file, or it failed to open, which is reported).
int32_t OpenCachedFileWindow(VXWindowRecordTag** outWindow);

}  // namespace plexa
