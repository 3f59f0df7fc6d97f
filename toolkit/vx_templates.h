// UI template files: the view templates from which dialogs, panels and pop-up windows get their
// controls. Two files are open while the application runs: the application's own ("views.gui",
// named at launch) and the toolkit's "Framework.gui" with the standard dialogs. Both lie in the
// resources folder. This module opens them, finds a view by its 16-bit id, inflates it into a
// `VXViewTemplate` and creates a template's controls in a window.
//
// Stored form. A UI template file is a dynamic file (foundation/dynfile.h) opened read-only; each
// view is one block of type 1 (other blocks are ignored). A view block:
//
//   0            u16  body offset from the block's start      big-endian always
//   2            u16  view id                                 big-endian always
//   4            str  view name
//   body offset  u16  byte-order mark: 0x1234 in the writer's order; read as 0x3412 every later
//                     word (and the fixed part of each item) is swapped
//                str  title (the window title of a dialog built from the view)
//                u16  view word (kept, no meaning here)
//                u16  view flags: 0x0001 small controls, 0x4000 items have the extended fixed
//                     part; 0xFFFF marks an older body: a string and two u16 follow and are
//                     skipped, and the flags count as 0
//                u16  item count, then that many items
//                     trailer, only when at least 3 bytes remain: u16 n, and when n (signed) is
//                     above 0 a string, the view's trailing text
//
// A string ("str") is a big-endian u16 byte count, whatever the byte-order mark says, and that
// many UTF-8 bytes without a terminator. At most 255 bytes of a string are kept (63 of a tab
// label); the rest is skipped.
//
// Item: u16 type (a control type of toolkit/vx_controls.h, 1-18; 0 is invalid), then the fixed
// part: u16 options, 4 x i16 rectangle (top, left, bottom, right), i16 item number, u16 reserved
// (these seven words swap as "W7"), and in the extended form u32 value and u32 reserved (swapped as
// two longs in a swapped body); then str name; u16 flag, when nonzero followed by a string and two
// u16 that are skipped; then the type's tail:
//   1, 2, 3, 5, 9  str title (edit text: the initial text)      6  str text
//   4              none; created as a slider (type 18)           7, 8, 13-18  none
//   10             u16 icon id                                    12  u16 size word (0: small),
//   11             u16 size flag (nonzero: small), u16 tab count,     u16 icon id
//                  that many str labels, joined with "|" into the title (at most 255 bytes)
// Icon ids get 8001 added with option 0x0400 and are or-ed into the value as signed 16-bit
// numbers. Option 0x0200 marks the container item (the frame of the whole view, not a control);
// 0x0100 on static text and 0x2000 on list boxes and icon buttons set value bit 0x100000.
// Items of the older, non-extended form are inset on reading by the metrics of the older toolkit.
//
// Every count, length and offset is checked against the block: a block that ends early gives
// -39, an item of type 0 gives -128, and the view fails as a whole.
#pragma once

#include <cstdint>

#include "foundation/da.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/nametable.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct VXWindowRecordTag;

constexpr uint8_t kUIViewBlockType = 1;
constexpr uint16_t kUIByteOrderMark = 0x1234;
constexpr uint16_t kUIViewSmallControls = 0x0001;
constexpr uint16_t kUIViewExtendedItems = 0x4000;
constexpr uint16_t kUIViewOldBody = 0xFFFF;
// Template flags.
constexpr uint16_t kVXTemplateSmallSize = 0x0002;
// Item options that the toolkit reads.
constexpr uint16_t kUIItemRightAligned = 0x0100;
constexpr uint16_t kUIItemContainer = 0x0200;
constexpr uint16_t kUIItemSystemIcon = 0x0400;
constexpr uint16_t kUIItemAutoSize = 0x2000;
constexpr uint32_t kUIValueSmallSize = 0x40000;
constexpr uint32_t kUIValueOptionBit = 0x100000;
constexpr int16_t kUISystemIconBase = 8001;
// Statuses.
constexpr OSStatus kUIViewNotFound = -43;
constexpr OSStatus kUIEndOfData = -39;
constexpr OSStatus kUIBadItem = -128;

// One item of an inflated view.
struct VXControlItemTemplate {
    uint16_t itemType;
    uint16_t options;
    Rect rect;
    int16_t itemNumber;
    uint16_t reserved;
    uint32_t value;
    uint32_t reserved2;
    StringSpec name;
    StringSpec title;  // 0 when the type has no title
};

// One inflated view, owned by the caller until `FreeUIViewTemplate` / `VXDestroyDialogTemplate`.
struct VXViewTemplate {
    DAArray items;        // VXControlItemTemplate, in file order
    StringBlock strings;  // names, titles and texts
    StringSpec title;
    StringSpec viewName;
    StringSpec trailingText;  // 0 when none
    uint16_t viewWord;
    uint16_t templateFlags;   // kVXTemplateSmallSize
    int16_t originTop, originLeft;  // the container rectangle's top-left corner
    Rect containerRect;             // all zero without a container item
};

// One view of an open file; its block is loaded at the first use and cached until the file closes.
struct VXUIViewRef {
    VXUIViewRef* next;
    uint32_t blockID;
    Handle data;
    uint16_t viewID;
};

// One open UI template file.
struct VXUIFileRecord {
    LinkListHeader* views;  // VXUIViewRef, new references at the head
    VXNameTable names;      // item name -> item number, case-sensitive, first number kept
    DynamicFileRecord file;
};

extern VXUIFileRecord* gMainUIFile;    // the application's file
extern VXUIFileRecord* gSystemUIFile;  // "Framework.gui"

// Opens the dynamic file read-only, lists its views and fills the name table. A list cluster of
// 0 means 32 references per cluster. None when the file cannot be opened or scanned.
VXUIFileRecord* OpenUIFile(const FileSpec* spec, int32_t listCluster, int32_t openMode);
void CloseUIFile(VXUIFileRecord* record);
// Clears the template, finds the view and inflates it. -43 without a view list, without a view
// of that id, or when its block yields no data; -39 / -128 for a damaged view (nothing kept).
OSStatus LoadUIViewTemplate(VXUIFileRecord* record, uint16_t viewID, VXViewTemplate* view);
void FreeUIViewTemplate(VXViewTemplate* view);
// The named file of the resources folder, read-only; none when it cannot be opened.
VXUIFileRecord* OpenBundledUIFile(const char* name);
// Opens "Framework.gui" when it is not open, replaces the application's file by the named one.
// -43 for an empty or missing name, or when the file cannot be opened.
OSStatus SelectUIFile(const char* name);
void CloseUIFiles();
// The view from the application's file, else (when that answers -43) from "Framework.gui".
// While no file is open and none has been selected, the first call selects the file named at
// launch. None when neither file has the view or the view is damaged.
VXViewTemplate* VXLoadDialogTemplate(uint16_t viewID);
void VXDestroyDialogTemplate(VXViewTemplate* view);
// The item at an index of a template (false when the index is outside).
bool VXGetTemplateItem(const VXViewTemplate* view, int32_t index, VXControlItemTemplate* item);
// A string of the template, at most size - 1 bytes.
void VXGetTemplateString(const VXViewTemplate* view, StringSpec spec, char* buffer, int32_t size);

// Creates the template's controls in the window, item rectangles offset so that the container's
// top-left corner lands at (h, v). Returns the initial focus item: the first edit text, else the
// first list box, else 0.
int16_t CreateControlsFromUITemplate(VXWindowRecordTag* window, const VXViewTemplate* view,
                                     int16_t h, int16_t v);
// `VXLoadControls` options.
constexpr uint32_t kVXLoadKeepControlSize = 0x2;
constexpr uint32_t kVXLoadSizeToContainer = 0x8;
// Loads a view's controls into a window; 0 when the view is not found.
int16_t VXLoadControls(VXWindowRecordTag* window, uint16_t viewID, int16_t h, int16_t v,
                       uint32_t options);

}  // namespace plexa
