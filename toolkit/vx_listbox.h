// List boxes (control type 7): a one-column list in a dialog, made of a child window of the
// dialog turned into a list view whose rows are short records of the list box (a text in the
// list box's string block, a reference value, a colour, flags and a mark). Rows are drawn and
// clicked through the list box's hook, so that a list box serves as a plain list, a list with
// separators and disabled rows, or a check list. The item calls of the controls work on it
// through the hooks this module installs (VXInitListBoxes).
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "graphics/colors.h"
#include "toolkit/vx_window.h"

namespace plexa {

struct VXControlRecordTag;
struct VXEventRecord;
struct VXListViewHookRecord;

constexpr uint32_t kVXListBoxClassCode = 0x6C626F78;  // 'lbox'

// Features (VXSetListBoxFeatures).
constexpr uint32_t kVXListBoxMultiple = 0x0001, kVXListBoxNoSelection = 0x0002,
                   kVXListBoxIndented = 0x0004, kVXListBoxCheckList = 0x0008,
                   kVXListBoxCycleMarks = 0x0010, kVXListBoxFocusRing = 0x0040,
                   kVXListBoxExtended = 0x0100, kVXListBoxAltColors = 0x0200,
                   kVXListBoxDotMark = 0x0400, kVXListBoxOption2 = 0x0800,
                   kVXListBoxNoFocus = 0x1000, kVXListBoxCheckBoxes = 0x2000;
// State flags.
constexpr uint32_t kVXListBoxSizesToRows = 0x2;
// Row flags.
constexpr uint8_t kVXListRowDisabled = 0x01, kVXListRowPlain = 0x02, kVXListRowSeparator = 0x04,
                  kVXListRowOwnColor = 0x08;

struct VXListBoxRecord : WindowClassInfoTag {
    VXControlRecordTag* control = nullptr;
    StringBlock strings = nullptr;
    VXColor textColor = 0x14000000;
    VXColor hiliteBackColor = 0x12000000;
    VXColor hiliteTextColor = 0x13000000;
    int16_t fontCode = 26;
    uint32_t features = 0;
    uint32_t state = 0;
    int16_t markIndent = 0;
    VXColor backColor = kVXDefaultBackColor;  // theme brush of the rows' background
    ~VXListBoxRecord() override;
};

// The list view's row record.
struct VXListBoxRow {
    StringSpec text;
    int64_t reference;
    VXColor color;
    uint8_t flags;
    uint8_t mark;
};

VXWindowRecordTag* CreateListBoxWindow(VXWindowRecordTag* parent, const Rect* rect,
                                       uint32_t features, VXControlRecordTag* control);
int32_t ListBoxEventHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t ListBoxHookProc(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record);
VXListBoxRecord* GetListBoxInfoFromListView(VXWindowRecordTag* listWindow);
VXListBoxRecord* GetListBoxInfoFromControl(VXControlRecordTag* control);
// Mark -1 gives 0; flags 255 the default. 1, or 0 without a list-box record (or when the text
// cannot be stored).
int32_t BuildListBoxItem(VXControlRecordTag* control, const char* text, int32_t mark,
                         int32_t flags, int64_t reference, VXListBoxRow* row);
void SetListBoxFont(VXWindowRecordTag* listWindow, int16_t fontCode, bool sizeToFit);
uint32_t VXGetListBoxFeatures(VXWindowRecordTag* window, int16_t item);
uint32_t VXSetListBoxFeatures(VXWindowRecordTag* window, int16_t item, uint32_t features);

// Installs the list-box hooks of the controls and of the item calls.
void VXInitListBoxes();

}  // namespace plexa
