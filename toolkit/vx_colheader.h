// Column headers: a strip of titled columns above a list (attribute editors, library lists),
// held in one handle: a head with the title style, the strip's rectangle and the column count,
// then the column entries one after another. Columns are hit-tested by their left edges,
// tracked with the mouse and drawn in the platform's column-header style.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct txStyle;
struct VXWindowRecordTag;
struct VXEventRecord;

// The handle's head; the entries follow it.
struct VXColumnHeaderHead {
    txStyle* style;  // own copy, or none for the UI font 5
    Rect rect;       // top, left, bottom, right
    int16_t count;
};

// One column entry as read out: position (left edge), flags, pressed state and the title as a
// length byte plus up to 255 bytes. In the handle an entry takes 4 bytes plus its title's
// length byte and text rounded up to an even size.
struct VXColumnEntry {
    uint16_t position;
    uint8_t flags;
    uint8_t pressed;
    uint8_t title[256];
};

using VXColumnHeaderRecord = Handle;

VXColumnHeaderRecord VXCreateColumnHeader(const txStyle* style, const Rect* rect);
void VXDestroyColumnHeader(VXColumnHeaderRecord header);
// Appends a column; a title longer than 255 bytes is cut at a character boundary. False when
// out of memory or the header is missing.
bool VXAddHeaderColumnEx(VXColumnHeaderRecord header, uint16_t position, const char* title,
                         uint8_t flags);
int16_t VXCountHeaderColumns(VXColumnHeaderRecord header);
// Copies entry n (from 0) and returns its offset in the handle; -1 for a missing column.
int32_t VXGetColumnInfo(VXColumnHeaderRecord header, int16_t column, VXColumnEntry* entry);
uint16_t VXGetColumnPosition(VXColumnHeaderRecord header, int16_t column);
// The column under the point's horizontal coordinate, -1 left of 0 or without columns.
int16_t VXHitTestColumn(VXColumnHeaderRecord header, Point point);
// Follows a mouse-down on the header; the column clicked, or -1 when released outside it.
int16_t VXTrackColumnHeader(VXWindowRecordTag* window, VXColumnHeaderRecord header,
                            const VXEventRecord* mouseDown);
void VXSetColumnHilite(VXColumnHeaderRecord header, int16_t column, bool pressed,
                       VXWindowRecordTag* window, const Rect* rect);
// The rectangle of a column's cell (the header's, one point higher, between the column's left
// edge and the next column's or the header's right edge); false for a missing column.
bool VXGetColumnCellRect(VXColumnHeaderRecord header, int16_t column, Rect* rect);
void VXDrawColumnHeader(VXColumnHeaderRecord header);
// One cell: title (UTF-8) or none, style or none for the UI font 5.
void DrawThemeColumnHeader(const Rect* rect, const char* title, const txStyle* style,
                           bool pressed);
void VXDrawCaptionHeader(const Rect* rect, const char* title, const txStyle* style);

}  // namespace plexa
