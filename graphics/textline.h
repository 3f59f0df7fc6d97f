// Window-level text: the text slots of the standard drawing procedures, measuring at the
// window's zoom, per-character offsets, tab stops, password bullets, one-line drawing with
// alignment and rotation, and shortening a string to a width with an ellipsis.
//
// Text is a byte run with a byte count and an encoding: 0 Mac Roman, 0x08000100 UTF-8,
// 0x14000100 UTF-16 little-endian. A negative byte count means the terminated string (its
// length doubled for UTF-16). A character is what the reader sees as one (a grapheme cluster:
// a base with its combining marks, a surrogate pair); offsets are per character, never per
// glyph.
//
// Laying out and drawing a line in the current state's text style is the text renderer's work,
// reached through VXTextHooks (by default the renderer's own; tests install others). Without a
// text style, text measures 0 and draws nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct VXGrafState;

// Text-line flags.
constexpr uint16_t kTextLineRightAligned = 0x01;   // starts one line width before the origin
constexpr uint16_t kTextLineQuarterBefore = 0x02;  // starts a quarter line width before it
constexpr uint16_t kTextLineFixedTabs = 0x07;      // any of these bits: tab stops of fixed width
constexpr uint16_t kTextLinePassword = 0x08;       // every character shown as a bullet
constexpr uint16_t kTextLineScaled = 0x10;         // measure at the window's zoom

// A line of text laid out at 100 % in a state's text style.
struct VXTextLayout {
    double width = 0;                // typographic width, trailing spaces included
    std::vector<uint32_t> starts;    // byte offset of each character's start, then the byte count
    std::vector<double> offsets;     // position of each character's start, then the width
};

struct VXTextHooks {
    // Lays out count bytes (count >= 1) in the state's style; false when the text cannot be
    // made into a line. Fills starts and offsets with one entry per character plus the end.
    bool (*layout)(const VXGrafState* state, const void* text, int32_t count, uint32_t encoding,
                   VXTextLayout* out) = nullptr;
    // Draws at the port's pen, turned by rotation degrees, mirrored, at the size ratio
    // numerator / denominator, and advances the port's pen by the drawn width.
    void (*draw)(VXGrafState* state, const void* text, int32_t count, uint32_t encoding,
                 int32_t rotation, bool mirror, int32_t numerator, int32_t denominator) = nullptr;
};
// Null restores the renderer's hooks; returns the previous hooks.
const VXTextHooks* VXSetTextHooks(const VXTextHooks* hooks);
// The hooks in force.
const VXTextHooks* VXGetTextHooks();

// Lays out count bytes (count >= 1) in the current state's text style through the hooks;
// false without a state, a style or a layout that covers the run.
bool VXLayoutText(const void* text, int32_t count, uint32_t encoding, VXTextLayout* out);

// The byte count of a run: a negative count gives the terminated length (UTF-16: 2 bytes a
// unit up to a 0 unit).
int32_t VXResolveTextCount(const void* text, int32_t count, uint32_t encoding);

// Slot 0: records while a display-list capture is open, else as VXLStdText.
void VXStdText(const void* text, int32_t count, uint32_t encoding);
// Slot 9: draws at the pen and advances it; at zoom the pen ends at the unscaled position.
void VXLStdText(const void* text, int32_t count, uint32_t encoding);

// Width in window units; with scaled, at the window's zoom converted back to document units.
uint32_t VXMeasureTextBytes(const void* text, int32_t count, uint32_t encoding, bool scaled);
// Character offsets: offsets[0] = 0 and offsets[i] the rounded position after character i.
// Writes at most capacity entries (never past them) and returns the number of characters;
// empty text gives 0 with offsets[0] = 0.
int32_t VXGetTextExtents(const void* text, int32_t count, uint32_t encoding, uint32_t* offsets,
                         size_t capacity, bool scaled);

uint32_t VXMeasurePasswordChars(int32_t count, bool scaled);
void VXDrawPasswordChars(int32_t count);

// The wider of "W" and "_" at 100 %.
int16_t VXCalcFixedTabCharacterWidth();
// The advance from x to the next tab stop, one stop more when that is below minGap. A stop
// below 1 has no stops to reach: the advance is minGap.
int32_t VXCalcTabCharacterWidth(int32_t x, int32_t tabStop, int32_t minGap);

// count is in units: bytes, or 16-bit units for UTF-16 (negative: the terminated string).
uint32_t VXMeasureTextLine(const void* text, int32_t count, uint32_t encoding, int16_t tabStop,
                           uint16_t flags);
void VXDrawTextLine(const _LPNT* origin, int16_t startX, const void* text, int32_t count,
                    uint32_t encoding, int16_t tabStop, uint16_t rotation, uint16_t flags);

// Truncation modes (low 16 bits): 0x4000 cuts in the middle, anything else at the end.
constexpr uint32_t kTruncMiddle = 0x4000;
// Shortens the UTF-8 string in a buffer of capacity bytes (terminator included) to maxWidth
// with an ellipsis: 0 when it fits (or is empty), 1 when shortened, -1 when it cannot be
// shortened or the result does not fit the capacity (the buffer is then unchanged).
int32_t VXTruncString(char* utf8, size_t capacity, int32_t maxWidth, uint32_t mode);

}  // namespace plexa
