// The control item calls: dialogs and panels read and change their controls by window and item
// number. A call on a missing item, or on a control of a type the call does not take, does
// nothing and answers its "none" value (0, -1 or an empty text). Texts are zero-terminated UTF-8;
// numbers are written and read in base 10; list indexes count from 0.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "toolkit/vx_controls.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXPixels;

// Texts and numbers. Getters fill at most 255 bytes and a terminator (256-byte buffers), never
// cutting a UTF-8 character.
void VXGetItemText(VXWindowRecordTag* window, int16_t item, char* buffer);
void VXGetControlText(VXControlRecordTag* control, char* buffer);
void VXSetItemText(VXWindowRecordTag* window, int16_t item, const char* text);
void VXSetControlText(VXControlRecordTag* control, const char* text);
void VXSetItemInt(VXWindowRecordTag* window, int16_t item, int32_t value);
void VXSetItemUInt(VXWindowRecordTag* window, int16_t item, uint32_t value);
int32_t VXGetItemInt(VXWindowRecordTag* window, int16_t item);
uint32_t VXGetItemUInt(VXWindowRecordTag* window, int16_t item);
int32_t VXTruncateItemText(VXWindowRecordTag* window, int16_t item, int32_t maxBytes);
bool VXEnforceItemIntRange(VXWindowRecordTag* window, int16_t item, int32_t minimum,
                           int32_t maximum, bool isSigned);
void VXSelectItemText(VXWindowRecordTag* window, int16_t item, int32_t start, int32_t end);
int32_t VXGetItemTextSelection(VXWindowRecordTag* window, int16_t item, int32_t* start,
                               int32_t* end);
// 302 cut, 303 copy, 304 paste, 305 clear, 306 select all; true when the command was sent.
bool VXEditControlClipCommand(VXWindowRecordTag* window, int16_t item, uint16_t command);
void VXSetEditTextAllCaps(VXWindowRecordTag* window, int16_t item, bool on);
void VXSetEditTextButtonKeyHook(VXWindowRecordTag* window, int16_t item, VXEditKeyHook hook);

// Enabling, visibility, position.
void VXSetItemEnabled(VXWindowRecordTag* window, int16_t item, bool enabled);
int32_t VXGetItemEnabled(VXWindowRecordTag* window, int16_t item);
void VXSetItemVisible(VXWindowRecordTag* window, int16_t item, bool visible);
int32_t VXGetItemVisible(VXWindowRecordTag* window, int16_t item);
void VXSetItemPosition(VXWindowRecordTag* window, int16_t item, const Rect* rect);
void VXGetItemPosition(VXWindowRecordTag* window, int16_t item, Rect* rect);

// Buttons, check boxes, radio buttons, disclosure.
void VXSetButtonState(VXWindowRecordTag* window, int16_t item, int32_t state);
// 1 while a button is pressed (a toggling icon button on), else 0.
int32_t VXGetButtonState(VXWindowRecordTag* window, int16_t item);
int32_t VXSimulateButtonClick(VXWindowRecordTag* window, int16_t item);
void VXSetItemChecked(VXWindowRecordTag* window, int16_t item, int32_t state);
int32_t VXGetItemChecked(VXWindowRecordTag* window, int16_t item);
int16_t VXGetRadioGroupInfo(VXWindowRecordTag* window, int16_t item, int16_t* first, int16_t* last);
int16_t VXSelectRadioButton(VXWindowRecordTag* window, int16_t item);
int16_t VXGetSelectedRadioButton(VXWindowRecordTag* window, int16_t item);
int32_t VXGetDisclosureState(VXWindowRecordTag* window, int16_t item);
void VXSetDisclosureState(VXWindowRecordTag* window, int16_t item, bool open);

// Pop-ups (type 8) and list boxes (type 7). List boxes answer through the list-box module's
// hooks (gVXListItemHooks); without it they answer as a missing item.
int32_t VXCountListItems(VXWindowRecordTag* window, int16_t item);
void VXAddListItem(VXWindowRecordTag* window, int16_t item, const char* text, int32_t index);
void VXSetListItem(VXWindowRecordTag* window, int16_t item, int32_t index, const char* text);
int32_t VXAddSortedListItem(VXWindowRecordTag* window, int16_t item, const char* text);
// Pop-up titles fill at most 127 bytes, list-box rows 254 (buffers of 128 and 255 bytes).
void VXGetListItem(VXWindowRecordTag* window, int16_t item, int32_t index, char* buffer);
void VXRemoveListItem(VXWindowRecordTag* window, int16_t item, int32_t index, int32_t count);
void VXSelectListItem(VXWindowRecordTag* window, int16_t item, int32_t index, bool select);
int32_t VXGetSelectedListItem(VXWindowRecordTag* window, int16_t item, int32_t after);
void VXRevealListItem(VXWindowRecordTag* window, int16_t item, int32_t index, int32_t flag);
int32_t VXFindListItem(VXWindowRecordTag* window, int16_t item, const char* text, bool exact);
void VXSetListItemEnabled(VXWindowRecordTag* window, int16_t item, int32_t index, bool enabled);
int32_t VXGetListItemMarkCode(VXWindowRecordTag* window, int16_t item, int32_t index);
void VXSetListItemMarkCode(VXWindowRecordTag* window, int16_t item, int32_t index, int32_t code);
intptr_t VXGetListItemReference(VXWindowRecordTag* window, int16_t item, int32_t index);
void VXSetListItemReference(VXWindowRecordTag* window, int16_t item, int32_t index, intptr_t value);
bool VXSetListDrawingEnabled(VXWindowRecordTag* window, int16_t item, bool enabled);
void VXSetListButtonItemFace(VXWindowRecordTag* window, int16_t item, int32_t index, uint32_t face);
VXWindowRecordTag* VXGetListBoxWindow(VXWindowRecordTag* window, int16_t item);

// What the list-box module installs for the list calls on list boxes (type 7); each member may
// be null (the call then answers as for a missing item).
struct VXListItemHooks {
    int32_t (*count)(VXControlRecordTag* control) = nullptr;
    void (*insert)(VXControlRecordTag* control, const char* text, int32_t index) = nullptr;
    void (*set)(VXControlRecordTag* control, int32_t index, const char* text) = nullptr;
    void (*get)(VXControlRecordTag* control, int32_t index, char* buffer, int32_t size) = nullptr;
    void (*remove)(VXControlRecordTag* control, int32_t index, int32_t count) = nullptr;
    void (*select)(VXControlRecordTag* control, int32_t index, bool select) = nullptr;
    int32_t (*selected)(VXControlRecordTag* control, int32_t after) = nullptr;
    void (*reveal)(VXControlRecordTag* control, int32_t index) = nullptr;
    void (*setEnabled)(VXControlRecordTag* control, int32_t index, bool enabled) = nullptr;
    int32_t (*markCode)(VXControlRecordTag* control, int32_t index) = nullptr;
    void (*setMarkCode)(VXControlRecordTag* control, int32_t index, int32_t code) = nullptr;
    intptr_t (*reference)(VXControlRecordTag* control, int32_t index) = nullptr;
    void (*setReference)(VXControlRecordTag* control, int32_t index, intptr_t value) = nullptr;
    bool (*setDrawingEnabled)(VXControlRecordTag* control, bool enabled) = nullptr;
    int16_t (*rowHeight)(VXControlRecordTag* control) = nullptr;
};
extern VXListItemHooks gVXListItemHooks;
int16_t VXGetListBoxItemHeight(VXWindowRecordTag* window, int16_t item);

// Tab views (type 11) and segmented controls (type 17).
int32_t VXGetTabCount(VXWindowRecordTag* window, int16_t item);
void VXSetTabCount(VXWindowRecordTag* window, int16_t item, int32_t count);
void VXSetTabName(VXWindowRecordTag* window, int16_t item, int32_t index, const char* label);
void VXSetSelectedTab(VXWindowRecordTag* window, int16_t item, int32_t index);
bool VXGetTabControlRects(VXControlRecordTag* control, Rect* frame, Rect* content);
// Margins: top, left, bottom, right.
void VXGetTabControlOuterMetrics(VXControlRecordTag* control, int16_t margins[4]);
int32_t VXGetSegmentCount(VXWindowRecordTag* window, int16_t item);
void VXSetSegmentCount(VXWindowRecordTag* window, int16_t item, int32_t count);
void VXSetSegmentName(VXWindowRecordTag* window, int16_t item, int32_t index, const char* label);
int32_t VXGetSelectedSegment(VXWindowRecordTag* window, int16_t item);
void VXSetSelectedSegment(VXWindowRecordTag* window, int16_t item, int32_t index);

// Progress indicators (type 14): a determinate one's range and a step of its value.
void VXSetProgressBarRange(VXWindowRecordTag* window, int16_t item, double minimum, double maximum);
void VXStepProgressBar(VXWindowRecordTag* window, int16_t item, double delta);

// Images, icons, colour wells, user-drawn controls.
void VXSetIconId(VXWindowRecordTag* window, int16_t item, int32_t iconID);
void SetIconImageForControl(VXControlRecordTag* control, int32_t iconID);
// The pixel image of an icon id (none for 0 or a missing resource); the caller destroys it.
VXPixels* LoadIconImageForControlOrMenu(int32_t iconID);
void VXSetItemImageFromResource(VXWindowRecordTag* window, int16_t item, const char* name,
                                const char* type, int32_t flags);
void VXDrawIcon(int32_t iconID, const Rect* rect, int32_t variant);
void VXSetColorWellColor(VXWindowRecordTag* window, int16_t item, uint32_t color);
uint32_t VXGetColorWellColor(VXWindowRecordTag* window, int16_t item);
void VXSetUserItemProcWithInset(VXWindowRecordTag* window, int16_t item, VXUserItemProc proc,
                                int16_t inset);
VXUserItemProc VXGetUserItemProc(VXWindowRecordTag* window, int16_t item);

// The labels of a "|"-separated title ("\" escapes, "#" ends a label's text): calls the
// procedure with each label (at most 61 bytes) and the number after its "#" (-1 without one).
// Returns the number of labels.
int32_t VXParseTabLabels(const char* title,
                         void (*label)(void* data, int32_t index, const char* text, int32_t number),
                         void* data);

}  // namespace plexa
