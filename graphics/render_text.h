// Text in the QZ renderer: one-line text made from a text style's attributes, measured, hit
// tested, split into character offsets and drawn at the pen under rotation, mirroring and
// scaling. The last line made from a short text is cached and reused while the text, its
// encoding and the attributes' generation stay the same.
//
// Text comes as bytes in an encoding: UTF-16 little-endian (0x14000100) as 16-bit units
// (count in bytes), any other encoding as bytes in that encoding. Decoding is tolerant: an
// invalid sequence or an embedded NUL becomes U+FFFD and the rest of the text is kept. A
// negative count asks for the length of the terminated text.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/text_layout.h"

namespace plexa {

struct QZPort;

// The attributes of a style's text: its font (retained) and whether the text takes the port's
// fore colour (otherwise it is black). Reference counted.
struct TextAttributeDict {
    int32_t refs;
    TextFont* font;
    bool colorFromContext;
};
// A dictionary holding its own reference to the font (which must not be null); one reference.
TextAttributeDict* TextAttributesCreate(TextFont* font, bool colorFromContext);
TextAttributeDict* TextAttributesRetain(TextAttributeDict* dict);  // null is allowed
void TextAttributesRelease(TextAttributeDict* dict);                // null is allowed

// The attributes record of a text style: the dictionary (null when no font could be made)
// and the generation it was built in.
struct QZTextAttributes {
    TextAttributeDict* dict;
    uint32_t generation;
};

using CTLineRef = std::shared_ptr<const TextLine>;

// The line of a text; null for an empty text or attributes without a dictionary. Texts
// shorter than 360 bytes go through the one-line cache.
CTLineRef CTLineFromText(const void* text, int32_t count, uint32_t encoding,
                         const QZTextAttributes& attributes);
// Drops the cached line (before the platform's fonts go away).
void QZFlushTextCache();

// The typographic width, times numerator / denominator when they differ, rounded.
int32_t MeasureCTLine(const TextLine* line, int32_t numerator, int32_t denominator);
int32_t QZMeasureText(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                      int32_t count, int32_t numerator, int32_t denominator);

// Draws the text with the pen at the start of its baseline, in the fore colour, rotated by
// rotation degrees (90 runs down the screen), mirrored left to right, scaled by numerator /
// denominator; the pen then advances by the width along the text's direction. Nothing
// happens without a context or a line.
void QZDrawText(QZPort* port, const QZTextAttributes& attributes, uint32_t encoding,
                const void* text, int32_t count, int32_t rotation, bool mirror,
                int32_t numerator, int32_t denominator);

// Rounded ascent and descent and the leading (at least 1) of the line; returns the line
// height floor(ascent + descent + leading). All 0 without a line.
int32_t QZGetFontHeights(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                         int32_t count, int16_t* ascent, int16_t* descent, int16_t* leading);

// The character boundary nearest to x (0 to the number of characters); -1 without a line.
int32_t QZPixelToChar(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                      int32_t count, double x);

// Character offsets: offsets[i] is the start of character i scaled by numerator / denominator
// and rounded, offsets[0] is 0 and offsets[n] the end of the last character. Writes at most
// capacity entries; returns n, the number of characters (grapheme clusters).
int32_t QZGetTextExtents(const QZTextAttributes& attributes, uint32_t encoding, const void* text,
                         int32_t count, int32_t numerator, int32_t denominator, uint32_t* offsets,
                         uint32_t capacity);

}  // namespace plexa
