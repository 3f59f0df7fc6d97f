// List views: a window (usually a child window in a pane) turned into a vertically scrolling list
// of equal-height rows. The toolkit keeps the rows' data records, the selection, the scroll
// position (whole rows, the panel's own vertical scrolling switched off) and an optional in-place
// cell editor (toolkit/vx_celledit.h); what a row means (drawing, cell text, validation,
// reordering, type-ahead matching) is the business of a hook procedure installed by the client,
// which receives numbered messages with a VXListViewHookRecord.
//
// The record is attached to its window as class information 'list'. Indexes count from 0; an
// index outside the list is ignored by every call (no message, result 0). Columns of cells count
// from 1, column 0 meaning none.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "toolkit/vx_window.h"

namespace plexa {

struct VXEventRecord;
struct VXPrepCommandRecord;
struct VXTERecord;
struct txStyle;
struct sVXTimerRecord;
struct VXPanelScroller;
struct VXListViewHookRecord;

constexpr uint32_t kVXListViewClassCode = 0x6C697374;  // 'list'

// Feature bits.
constexpr uint32_t kVXListMultiSelect = 1, kVXListClickBelowKeepsSelection = 2,
                   kVXListTrimHeight = 4, kVXListEditCells = 8, kVXListExtendSelect = 16,
                   kVXListPartialRowVisible = 32, kVXListReportDeletions = 64;

// Hook messages.
enum : int32_t {
    kVXListDrawItem = 0, kVXListBeginDraw = 2, kVXListEndDraw = 3, kVXListMouseDown = 4,
    kVXListKey = 5, kVXListEditChar = 6, kVXListEditNavigate = 7, kVXListEditRect = 8,
    kVXListFetchText = 9, kVXListEditState = 10, kVXListCommit = 11, kVXListTypeAhead = 12,
    kVXListPaste = 13, kVXListDropIndicator = 14, kVXListReorderDrop = 15,
    kVXListClickInEditor = 16, kVXListDirtyTest = 17, kVXListMoveEditCell = 18,
    kVXListItemDeleted = 19, kVXListTextChanged = 20, kVXListTopRowChanged = 21,
    kVXListDisclosurePosition = 22, kVXListDragOut = 23,
};

// Answer bits of the mouse-down message (4). With kVXListClickDragOut a plain press on a row
// may drag the row out of the list onto another place (toolkit/vx_itemdrag.h): the row is
// selected as by a click; a release before the pointer has moved 3 points ends the click as
// usual; past that, the selection change is reported (the control action), then message 23 (drag
// out) gives the hook `param.pointer`, a VXItemDragClient to fill in, and the drag runs with
// that client (nothing, when the hook leaves it empty). The list tracks no further selection.
constexpr int32_t kVXListClickHandled = 1, kVXListClickSelectToo = 2, kVXListClickAction = 4,
                  kVXListClickKeepSelection = 0x100, kVXListClickDragRow = 0x200,
                  kVXListClickDragOut = 0x400;
// The distance a press on a row moves before it drags the row out of the list.
constexpr int32_t kVXListDragOutSlop = 3;
// Answer bits of the key and edit-key messages (5, 6, 7).
constexpr int32_t kVXListKeyHandled = 0x10000, kVXListKeyBeep = 0x20000,
                  kVXListKeyToEditor = 0x40000, kVXListKeyMoveFocus = 0x80000,
                  kVXListKeyNextCellOnly = 0x100000;

// The cell editor's text buffers: 255 bytes of UTF-8 and a terminator.
constexpr int32_t kVXListCellTextSize = 256;
// The most characters a paste may leave in a cell.
constexpr int32_t kVXListPasteLimit = 250;

using VXListViewHookProc = int32_t (*)(VXWindowRecordTag* window, int32_t message,
                                       VXListViewHookRecord* record);

// What the paste message (13) carries in `param`.
struct VXListViewPasteFilter {
    bool (*filter)(uint16_t character);
    int32_t limit;
};

// The message-specific value: a number, a pointer, single bytes (message 20: [0] edit command,
// [1] deletion) or a 16-bit point {v, h} (message 22).
union VXListViewParam {
    int64_t value;
    void* pointer;
    uint8_t bytes[8];
    Point point;
};

struct VXListViewHookRecord {
    int32_t index;
    void* item;
    Rect rect;
    VXEventRecord* event;
    VXTERecord* te;
    char* text;
    int16_t column;
    int16_t rowHeight;
    int16_t width;
    int16_t fieldWidth;
    VXListViewParam param;
    uint8_t above;
    VXWindowRecordTag* prevFocusWindow;
    int16_t nextFocusItem, prevFocusItem;
    uint8_t selected;
    uint8_t drawing;
};
static_assert(sizeof(VXListViewHookRecord) == 88);

struct VXListViewRecord : WindowClassInfoTag {
    VXPanelScroller* scroller = nullptr;
    Handle items = nullptr;
    std::vector<uint8_t> selection;  // one byte per item: 1 selected
    VXTERecord* editTE = nullptr;
    sVXTimerRecord* caretTimer = nullptr;
    VXEventProc nextHandler = nullptr;
    VXWindowPrepCommandProc nextPrep = nullptr;
    VXListViewHookProc hook = nullptr;
    txStyle* textStyle = nullptr;  // owned
    uint32_t features = 0;
    int32_t itemSize = 0;
    int32_t count = 0;
    int32_t selCount = 0;
    int32_t topRow = 0;
    int32_t visibleRows = 0;
    int32_t dragRow = -1;
    int32_t maxTopRow = 0;
    int32_t dirtyRow = 0x7FFFFFFF;
    int32_t editItem = -1;
    int16_t editColumn = 0;
    int16_t rowHeight = 0;
    int16_t width = 0;
    int16_t drawCount = 0;
    uint8_t showSelection = 0;
    uint32_t savedPanelFlags = 0;   // the panel's no-vertical-scroll bit before installation
    int32_t savedLineIncrement = 0;
    ~VXListViewRecord() override;
};

// The window's list-view record, or none.
VXListViewRecord* VXGetListViewRecord(VXWindowRecordTag* window);

// Installation and options. A row height below 1 means the text style's line height minus it.
// Returns the row height used (the requested one when the record cannot be made).
int16_t VXInstallListView(VXWindowRecordTag* window, const txStyle* style, int16_t rowHeight,
                          int32_t itemSize, uint32_t features, VXListViewHookProc hook);
void VXUnInstallListView(VXWindowRecordTag* window);
VXEventProc VXSetListViewEventHook(VXWindowRecordTag* window, VXEventProc proc);
VXWindowPrepCommandProc VXSetListViewPrepCommand(VXWindowRecordTag* window,
                                                 VXWindowPrepCommandProc proc);
// Only bits 1, 2 and 16 change; returns the old features.
uint32_t VXChangeListViewOptions(VXWindowRecordTag* window, uint32_t options, uint32_t mask);
bool VXSetListViewMultiSelect(VXWindowRecordTag* window, bool on);
bool VXSetListViewExtendSelect(VXWindowRecordTag* window, bool on);
void VXSetListViewTextStyle(VXWindowRecordTag* window, const txStyle* style);
int16_t VXGetListViewCellHeight(VXWindowRecordTag* window);
void VXSetListViewCellHeight(VXWindowRecordTag* window, int16_t height);
void VXAutoSizeListView(VXWindowRecordTag* window);

// Items.
int32_t VXCountListViewItems(VXWindowRecordTag* window);
Handle VXGetListViewCellData(VXWindowRecordTag* window);
// Inserts n records (none: zero-filled) before index (outside the list: at the end); returns the
// index used, -1 when nothing was inserted.
int32_t VXInsertListViewItemData(VXWindowRecordTag* window, int32_t index, const void* records,
                                 int32_t n);
// n negative or too large: to the end.
void VXDeleteListViewItemData(VXWindowRecordTag* window, int32_t first, int32_t n);
int32_t VXGetListViewItemData(VXWindowRecordTag* window, int32_t index, void* buffer);
void VXSetListViewItemData(VXWindowRecordTag* window, int32_t index, const void* record);

// Selection; index -1 means all.
bool VXSetListViewItemSelected(VXWindowRecordTag* window, int32_t index, bool select);
bool VXGetListViewItemSelected(VXWindowRecordTag* window, int32_t index);
int32_t VXCountListViewSelections(VXWindowRecordTag* window);
// The first selected index at or after `after` (below 1: from 0), -1 when none.
int32_t VXGetListViewSelection(VXWindowRecordTag* window, int32_t after);

// Geometry and scrolling.
void VXGetListViewVisRange(VXWindowRecordTag* window, int32_t* first, int32_t* last);
int32_t VXGetListViewItemRect(VXWindowRecordTag* window, int32_t index, Rect* rect);
// With clamp, bit 31 of the result is set when the point lay beyond the rows or the items.
int32_t VXListViewItemFromPoint(VXWindowRecordTag* window, int32_t v, bool clamp);
constexpr int32_t kVXListBeyondRows = int32_t(0x80000000u);
bool VXRevealListViewItem(VXWindowRecordTag* window, int32_t index, bool toTop);
void VXInvalListViewItem(VXWindowRecordTag* window, int32_t index);
bool VXSetListViewDrawingEnabled(VXWindowRecordTag* window, bool enable);

// Drawing and events.
void VXListViewUpdate(VXWindowRecordTag* window, const Rect* rect, int32_t flag);
int32_t VXListViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t VXListViewPrepCommand(VXPrepCommandRecord* record);
int32_t VXListViewClick(VXWindowRecordTag* window, VXEventRecord* event, bool track);
// Index -2 leaves the record's item fields as the caller filled them.
int32_t VXSendListViewHookMsg(VXWindowRecordTag* window, int32_t message, int32_t index,
                              VXListViewHookRecord* record);

// The standard look of a row for hooks: a selected row filled with the selection colour, an
// unselected one erased.
void StdDrawHiliteEditListViewItem(VXWindowRecordTag* window, VXListViewHookRecord* record);

}  // namespace plexa
