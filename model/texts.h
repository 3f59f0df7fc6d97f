// Text elements: the one-line texts of sheets and of the symbol editor. A `TextRecord` is a free
// text, a name, designator or attribute field of a symbol, a number, name or attribute field of a
// pin, a signal or buss label, or a simulator node value. Each document keeps its texts in one LL
// list whose strings live in the document's string block.
//
// This module owns the record and its two strings (the displayed string and the macro source),
// the drawing markup of the displayed string (overscore runs and escapes), the expansion of field
// references into the displayed string, bounds, moves and transformations, the creation helpers,
// the re-pointing of owners and the re-expansion of a whole sheet.
//
// Records come from the fixed-size pool `gTextRecordPool`, zero-filled; the list that holds a text
// owns it. Strings belong to the document's string block and are never freed one by one.
//
// Layout of the record (the sheet file stores the 20 bytes from `kind` to `extra` verbatim):
//   0 link, 8 owner (64-bit), 16 style, 24 kind u16, 26 flags u16, 28 position {v, h},
//   32 text spec, 36 macro spec, 40 extra u32, 44 bounds {top, left, bottom, right},
//   52 anchor offset i16.
//
// Drawing markup of a displayed string (flag kTextFlagSpecial):
//   '!'        toggles an overscore at the current output position; a toggle at position 0 is
//              dropped, a toggle at the position of the previous one cancels it, and an odd number
//              of toggles starts the first run at 0 ('!RESET!' and 'RESET!' overscore "RESET").
//   backslash  escapes the next character: "\t" a blank, "\n" U+00AC, "\r" U+00AB, "\l" U+2206
//              (the line-break marks, always valid UTF-8), "\f" stays as the two characters, a
//              final backslash is dropped, any other character stands for itself.
// Output positions count bytes of the plain UTF-8 string.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/expression.h"

namespace plexa {

struct LinkListHeader;
struct txStyle;
struct SheetRecord;
struct SymbolRecord;
struct VXWindowRecordTag;
using TextStyleList = LinkListHeader;

struct TextRecord {
    TextRecord* link;
    int64_t owner;      // symbol serial (sign-extended), node element, signal or buss; 0 free
    txStyle* style;     // shared from the document's style list
    uint16_t kind;      // kTextKind*
    uint16_t flags;     // kTextFlag*
    Point position;     // left end of the base line (right end when right-aligned)
    StringSpec text;    // displayed string
    StringSpec macroText;  // macro source while kTextFlagMacro is set, else 0
    uint32_t extra;     // stored with the text (the sheet file's owner reference)
    Rect bounds;        // computed
    int16_t anchorOffset;  // 0, or minus the width when right-aligned
};
static_assert(offsetof(TextRecord, owner) == 8 && offsetof(TextRecord, style) == 16);
static_assert(offsetof(TextRecord, kind) == 24 && offsetof(TextRecord, flags) == 26);
static_assert(offsetof(TextRecord, position) == 28 && offsetof(TextRecord, text) == 32);
static_assert(offsetof(TextRecord, macroText) == 36 && offsetof(TextRecord, extra) == 40);
static_assert(offsetof(TextRecord, bounds) == 44 && offsetof(TextRecord, anchorOffset) == 52);
static_assert(sizeof(TextRecord) == 56);
// The stored part: kind, flags, position, text, macro text, extra.
constexpr uint32_t kTextStoredOffset = 24, kTextStoredSize = 20;
constexpr const char* kTextStoredTemplate = "W4L3";

// Kinds.
constexpr uint16_t kTextKindFree = 0;
constexpr uint16_t kTextKindSignal = 1;
constexpr uint16_t kTextKindBuss = 2;
constexpr uint16_t kTextKindCompDesignator = 17;  // of a component or sheet symbol
constexpr uint16_t kTextKindSymbolName = 18;
constexpr uint16_t kTextKindNetSymbol = 21;
constexpr uint16_t kTextKindSymbolAttribute = 22;
constexpr uint16_t kTextKindDesignator = 23;      // of any other symbol
constexpr uint16_t kTextKindPinNumber = 0x4000;   // + node
constexpr uint16_t kTextKindPinName = 0x8000;     // + node
constexpr uint16_t kTextKindPinAttribute = 0xC000;  // + node
constexpr uint16_t kTextKindNodeMask = 0x0FFF;
constexpr uint16_t kTextKindSymbolOwned = 0xC010;  // any of these bits

// Flags.
constexpr uint16_t kTextFlagRotation = 0x0003;
constexpr uint16_t kTextFlagRightAligned = 0x0004;
constexpr uint16_t kTextFlagHidden = 0x0008;
constexpr uint16_t kTextFlagMacro = 0x0010;
constexpr uint16_t kTextFlagThemed = 0x0020;
constexpr uint16_t kTextFlagSpecial = 0x0040;
constexpr uint16_t kTextFlagBoxed = 0x0080;
constexpr uint16_t kTextFlagSelected = 0x0100;
constexpr uint16_t kTextFlagMarked = 0x0400;

// Displayed strings are measured, marked up and expanded through buffers of this size: 255 bytes
// and the terminator.
constexpr int32_t kTextStringSize = 256;
// The plain form of a marked-up string can be longer than its source ("\l" is three bytes of
// UTF-8); a buffer of this size holds any plain form of a 255-byte source.
constexpr int32_t kTextPlainSize = 384;

// The owner word of a text owned by a symbol.
constexpr int64_t TextOwnerSerial(uint32_t serial) { return int64_t(int32_t(serial)); }

// The pool of text records, made at start-up (or on first use).
extern MemPool gTextRecordPool;
OSStatus InitTextRecordPool();

// ---- Lists and records ----

LinkListHeader* CreateTextList();
void DestroyTextList(LinkListHeader* list);
// A zero-filled record; null when out of memory.
TextRecord* CreateTextElement();
// A copy (strings shared, same block), not linked; null when out of memory.
TextRecord* DuplicateText2(const TextRecord* text);
void ClearTextMarkedFlags(LinkListHeader* list);
// delta: dh in the high half, dv in the low half.
void OffsetTextList(LinkListHeader* list, uint32_t delta);
// Bounds of every text of the list and every frame of the frame list (either may be null).
void CalcTextListBounds(VXWindowRecordTag* window, LinkListHeader* frameList,
                        LinkListHeader* textList, StringBlock block);

// ---- Strings ----

// Copies the displayed string (at most size - 1 bytes); returns the bytes copied.
int32_t GetTextRecordString(const TextRecord* text, StringBlock block, char* buffer,
                            int32_t size = kTextStringSize);
void SetTextRecordString(TextRecord* text, StringBlock block, const char* string);
// Whether a displayed string holds drawing markup.
bool CheckSpecialChars(const char* string);
void SetTextRecordMacroString(TextRecord* text, StringBlock block, const char* string);
// The macro text when the macro flag is set (returns 1), else the displayed string (returns 0).
int32_t GetTextRecordMacroString(const TextRecord* text, StringBlock block, char* buffer,
                                 int32_t size = kTextStringSize);
// Moves the text's strings into another block: all or nothing (on failure, -108 or
// kStringBlockFull, the text is as it was).
OSStatus ChangeTextElementStringBlock(TextRecord* text, StringBlock from, StringBlock to);

// The plain string of a marked-up source (into out, at most outSize - 1 bytes, cut at a whole
// character) and its overscore runs as pairs {first, end} of output positions ended by -1 (at
// most runCapacity values, the -1 included). Either output may be null. True when a run was
// recorded.
bool ExtractDrawSpecialString(const char* source, char* out, int32_t outSize, int16_t* runs,
                              int32_t runCapacity);
bool ExtractDrawSpecialText(const TextRecord* text, StringBlock block, char* out,
                            int32_t outSize, int16_t* runs, int32_t runCapacity);
// Width of the plain string in the current text style.
int32_t MeasureDrawSpecialText(const TextRecord* text, StringBlock block);

// ---- Macros ----

// Copies length bytes of an expansion into out (outSize bytes with the terminator) with line
// breaks and tabs escaped so that the text stays one line: TAB "\t", CR LF "\r\l", a lone CR
// "\n", a lone LF "\l". Never cuts an escape or a UTF-8 character; returns the bytes written.
int32_t EscapeTextLineBreaks(const char* source, int32_t length, char* out, int32_t outSize);
// Expands the field references of a terminated string (of a buffer of size bytes, at most 256
// used) in place through the chain, escaping line breaks; true when any reference was present.
bool GetExpandedTextString(char* string, DataContextChain* chain,
                           int32_t size = kTextStringSize);
bool ExpandTextRecordMacros(SheetRecord* sheet, TextRecord* text, DataContextChain* chain,
                            bool hideWhenEmpty);
void UnexpandTextRecordMacros(TextRecord* text, StringBlock block, VXWindowRecordTag* window);
// Re-expands the sheet's macro texts and frames (those of the symbol when one is given), adding
// the bounds before and after of what changed to the area when one is given.
void RebuildMacroizedText(SheetRecord* sheet, SymbolRecord* symbol, Rect* area);

// ---- Geometry ----

// window null: the measuring state (graphics/offscreen.h).
void CalcTextBounds(VXWindowRecordTag* window, TextRecord* text, StringBlock block);
Point GetTextElementPosition(const TextRecord* text);
void SetTextElementPosition(TextRecord* text, Point position);
void OffsetTextElement(TextRecord* text, int16_t dh, int16_t dv);
void TransformTextElement(TextRecord* text, VXWindowRecordTag* window, StringBlock block,
                          Point origin, int32_t code);
// Returns the former visibility (true = was visible).
bool SetTextVisibility(TextRecord* text, bool invalidate, bool visible);

// ---- Creation and updates ----

// The point that leaves a text's position as it is.
constexpr Point gMinusOnePoint = {-1, -1};
void SetupTheText(TextRecord* text, StringBlock block, Point position, VXWindowRecordTag* window,
                  const char* string);
// 0 when the displayed string already equals the string, else 1 after storing it.
int32_t ChangeSheetText(SheetRecord* sheet, TextRecord* text, const char* string, Rect* area);
// A new text at the head of the sheet's text list, themed; null when out of memory.
TextRecord* CreateDrawingText(SheetRecord* sheet, uint16_t kind, uint16_t flags, Point position,
                              const char* string);
// The same on the symbol editor's lists, with the default theme table.
TextRecord* CreateSymbolEditorText(LinkListHeader* textList, TextStyleList* styleList,
                                   StringBlock block, VXWindowRecordTag* window, uint16_t kind,
                                   Point position, const char* string);
// Re-points texts from one owner to another: those of the kind, or every pin text for kind
// 0xC000. With an undo sheet each change is reported to the sheet editor's undo collection.
void ChangeTextReferences(LinkListHeader* list, uint16_t kind, int64_t oldOwner, int64_t newOwner,
                          SheetRecord* undoSheet);
// 0 for a text no symbol owns; -1 without a symbol; else non-zero exactly when the symbol owns it.
int32_t IsTextOwnedBySymbol(const TextRecord* text, const SymbolRecord* symbol);

}  // namespace plexa
