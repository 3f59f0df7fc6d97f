// In-place editing of a text frame: a text-edit record laid over the frame, drawn with a dashed
// frame and a grow handle at its bottom right; the box grows while the text is typed past its
// edges, and the handle is dragged to size it.
//
// The display frame is the record's view grown by 2 on every side; the grow handle is a square
// of the window's handle size centred on the display frame's bottom right corner.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "model/textframes.h"

namespace plexa {

struct VXEventRecord;
struct VXTERecord;
struct VXWindowRecordTag;

// The smallest size of a frame dragged with the grow handle.
constexpr int32_t kTextFrameEditMinimumSize = 9;
// The tab width of an edited frame, in units.
constexpr int32_t kTextFrameEditTabWidth = 36;

// A new active record in the window over the frame's text; null when it cannot be made. The
// frame is left as it is.
VXTERecord* CreateTextFrameEditor(VXWindowRecordTag* window, TextFrameHandle frame);

void CalcTEDisplayFrame(const VXTERecord* te, LRect* rect);
void CalcTEGrowHandle(const VXTERecord* te, LRect* rect);
// Draws the display frame and the grow handle in the record's window.
void FrameEditTE(VXTERecord* te);
// Draws a dashed frame around the rectangle in the current window.
void FrameTextEditBoundsRect(const LRect* rect);

// Passes a key (0: none, after a paste) to the record and grows its view to hold the text.
void ApplyTEKey(VXTERecord* te, uint16_t key);

// Across a change of the window's scale: the record's box as it was drawn (GetTESizingInfo,
// before the change), then the record measured again in the window at its new scale
// (UpdateTESize): its lines and caret laid out again and its view grown, with 3 units of slack,
// to hold its widest line and the caret (an unbounded destination keeps its width marker); the
// old and the new box are redrawn.
struct TESizingInfo {
    LRect display;  // the display frame with the grow handle
};
void GetTESizingInfo(const VXTERecord* te, TESizingInfo* info);
void UpdateTESize(VXTERecord* te, const TESizingInfo& info);
// The frame a grow drag shows for a point: from the frame's top left to the point, at least
// kTextFrameEditMinimumSize in each direction.
LRect TEGrowFrameForPoint(const LRect& frame, const _LPNT& point);
// Follows a drag of the grow handle; at the end the view and the destination take the new frame.
// True when the frame changed.
bool TrackTEGrowBox(VXTERecord* te, const VXEventRecord* mouseDown);

}  // namespace plexa
