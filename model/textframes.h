// Text frames: multi-line blocks of styled text placed on a sheet or inside a symbol definition.
// A frame wraps at a width, may be turned in quarter turns or right-aligned, and may hold field
// references that are expanded against the sheet and its owning symbol.
//
// This module owns the frame record, the frame list, creation and text setting, line breaking,
// bounds, anchor and size points, moving and transforming, macro evaluation, drawing, and the
// conversions between frames, text elements and in-place text editing.
//
// A frame is one handle: a 52-byte head, then the source text and, when the frame shows an
// expansion, the expanded text, both UTF-16 little-endian without terminator. The handle's size
// is always 52 + 2 x (text length + expanded length). Head (the sheet file stores the 16 bytes
// from the position on verbatim):
//   0 link, 8 style, 16 line starts (handle of line count + 1 u32 offsets into the displayed
//   text, in UTF-16 units, the last equal to its length), 24 bounds, 32 expanded length u32,
//   36 position {v, h}, 40 owner serial u32, 44 flags u16, 46 line count u16,
//   48 text length u32.
// The displayed text is the expanded text when there is one, else the source text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/expression.h"

namespace plexa {

struct LinkListHeader;
struct txStyle;
struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct VXTERecord;
struct VXWindowRecordTag;
using TextStyleList = LinkListHeader;

#pragma pack(push, 4)
struct TextFrameRecord {
    void* link;
    txStyle* style;        // shared from the document's style list
    Handle lineStarts;
    Rect bounds;           // computed
    uint32_t expandedLength;  // 0: the frame shows its source text
    Point position;        // left end of the first base line (right end when right-aligned)
    uint32_t owner;        // serial of the owning symbol; 0 for a free frame
    uint16_t flags;        // kFrameFlag*
    uint16_t lineCount;
    uint32_t textLength;   // UTF-16 units
};
#pragma pack(pop)
static_assert(offsetof(TextFrameRecord, lineStarts) == 16 &&
              offsetof(TextFrameRecord, bounds) == 24);
static_assert(offsetof(TextFrameRecord, expandedLength) == 32);
static_assert(offsetof(TextFrameRecord, position) == 36 && offsetof(TextFrameRecord, owner) == 40);
static_assert(offsetof(TextFrameRecord, flags) == 44 && offsetof(TextFrameRecord, lineCount) == 46);
static_assert(offsetof(TextFrameRecord, textLength) == 48 && sizeof(TextFrameRecord) == 52);

using TextFrameHandle = TextFrameRecord**;

constexpr uint32_t kTextFrameHeadSize = 52;
// The stored part: position, owner, flags, line count, text length.
constexpr uint32_t kTextFrameStoredOffset = 36, kTextFrameStoredSize = 16;
constexpr const char* kTextFrameStoredTemplate = "W2LW2L";

// Flags.
constexpr uint16_t kFrameFlagRotation = 0x0003;
constexpr uint16_t kFrameFlagRightAligned = 0x0004;
constexpr uint16_t kFrameFlagThemed = 0x0020;
constexpr uint16_t kFrameFlagSelected = 0x0100;
constexpr uint16_t kFrameFlagsShared = 0x0127;  // carried over to and from text elements

// The tab width of frames, in units.
constexpr int16_t kFrameTabWidth = 36;
// The width that a one-line frame wraps at outside a sheet window.
constexpr int32_t kFrameDefaultWrapWidth = 4416;

// The source text and the expanded text of a frame.
inline char16_t* TextFrameSource(TextFrameHandle frame) {
    return reinterpret_cast<char16_t*>(reinterpret_cast<char*>(*frame) + kTextFrameHeadSize);
}

// ---- Creation and text ----

// byteLength negative: the terminated text. Null when the handle cannot be made.
TextFrameHandle CreateTextFrame(const void* text, int32_t byteLength, uint32_t encoding);
// Converts the text to UTF-16 (a byte that is no character becomes "?"; an unknown encoding gives
// an empty text), resizes the handle, drops any expanded text. False (frame unchanged) when the
// handle cannot be resized.
bool SetTextFrameText(TextFrameHandle frame, const void* text, int32_t byteLength,
                      uint32_t encoding);
// 52 + 2 x the UTF-16 length (52 for an empty or unconvertible text); the UTF-16 text into
// *string when given.
uint32_t CalcTextFrameAllocSize(const void* text, int32_t byteLength, uint32_t encoding,
                                std::u16string* string);
// Characters x 2 for UTF-16, else x 1.
uint32_t VXGetStringSizeInBytes(const void* text, uint32_t encoding);

TextFrameHandle DuplicateTextFrame(TextFrameHandle frame);
void DestroyTextFrame(TextFrameHandle frame);
LinkListHeader* CreateTextFrameList();
void DestroyTextFrameList(LinkListHeader* list);

// The UTF-16 text: with displayed set and an expansion present, the expanded text, else the
// source. The pointer is valid until the handle changes.
const char16_t* GetTextFrameUnicodeText(TextFrameHandle frame, bool displayed, uint32_t* length);
// A new handle with the text in the encoding ("?" for characters it cannot hold), 512 bytes
// larger when room is asked and the text is not empty; null when out of memory.
Handle GetTextFrameTextAsHandle(TextFrameHandle frame, uint32_t encoding, bool displayed,
                                bool withRoom);
// UTF-8, at most size - 1 bytes (whole characters), terminated.
void GetTextFrameTextAsString(TextFrameHandle frame, bool displayed, int32_t size, char* out);

// Without a symbol the owner serial; with one, the serial when it is that symbol's, else 0.
uint32_t IsTextFrameOwnedBySymbol(TextFrameHandle frame, const SymbolRecord* symbol);

// ---- Style, layout and bounds ----

void InstallStyleInFrame(TextFrameHandle frame, const txStyle* style, uint32_t mask,
                         TextStyleList* list);
void ModifyTextFrameStyle(VXWindowRecordTag* window, TextFrameHandle frame, const txStyle* style,
                          uint32_t mask, TextStyleList* list);
// window null: the measuring state (graphics/offscreen.h).
void CalcTextFrameLineBreaks(VXWindowRecordTag* window, TextFrameHandle frame, int32_t width);
// width negative: keep the current width.
void CalcTextFrameBounds(VXWindowRecordTag* window, TextFrameHandle frame, bool reBreak,
                         int32_t width);
void GetTextFrameAnchorPoint(TextFrameHandle frame, bool outer, Point* point);
void GetTextFrameSizePoint(TextFrameHandle frame, Point* point);
void OffsetTextFrame(TextFrameHandle frame, int16_t dh, int16_t dv);
void OffsetTextFrameList(LinkListHeader* list, int16_t dh, int16_t dv);
void TransformTextFrame(TextFrameHandle frame, VXWindowRecordTag* window, Point origin,
                        int32_t code);

// ---- Macros, conversions and drawing ----

// Whether the text held macros; the expanded text is set or removed accordingly.
bool EvaluateTextFrameText(SheetRecord* sheet, TextFrameHandle frame, DataContextChain* chain);
// A new frame from an edit's text, or null when the edit holds no text.
TextFrameHandle CreateTextFrameFromTE(VXTERecord* te, SheetRecord* sheet, TextFrameHandle replaced,
                                      TextStyleList* list);
TextFrameHandle CreateTextFrameFromTextElement(const TextRecord* text, StringBlock block,
                                               TextStyleList* list, bool computeBounds,
                                               VXWindowRecordTag* window);
TextRecord* CreateTextElementFromTextFrame(TextFrameHandle frame, uint16_t kind,
                                           StringBlock block, SheetRecord* sheet,
                                           VXWindowRecordTag* window, bool hideWhenEmpty,
                                           TextStyleList* list);
// Whether the frame's source text (its first 64 UTF-16 units) is a field reference {name} or
// {@name} (see ParseAttrTextName): true with the name in a buffer of nameSize bytes and the at
// flag when asked; otherwise false and the name emptied.
bool ExtractTextFrameAttrName(TextFrameHandle frame, char* name, int32_t nameSize, bool* at);
// Draws in the current window.
void DrawTextFrame(TextFrameHandle frame, bool plainColor);

}  // namespace plexa
