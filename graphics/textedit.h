// The text-edit engine: a multi-line plain-text editor in one text style. A VXTERecord holds a
// UTF-16 text, wraps it into lines inside a destination rectangle, shows it through a view
// rectangle of its window, draws the selection and a blinking caret, and is driven by keys,
// clicks and a private scrap that is exchanged with the system clipboard on request.
// VXTETextBox draws a wrapped text once without keeping a record.
//
// Indexes (selection, line starts, length) count UTF-16 units. The caret, the selection ends,
// line breaks and deletions only ever fall on character boundaries (a base with its combining
// marks, a surrogate pair, a CR LF pair): a step or a deletion never splits a character.
//
// The paragraph separator is CR (13). Text set or inserted from outside has every LF that does
// not follow a CR turned into CR; a CR LF pair counts as one break (the LF is never drawn and
// is never a caret stop). A line that follows a CR LF starts at the LF.
//
// The record's window is the graphics state of its owner window; the window's own record (its
// active text-edit record, invalidation, mouse tracking) is reached through VXTEHooks, which
// the window owner installs.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "graphics/colors.h"

namespace plexa {

struct VXGrafState;
struct txStyle;

// Feature flags.
constexpr uint16_t kTEFeatureDrawInactiveSelection = 0x0001;
constexpr uint16_t kTEFeatureAutoView = 0x0004;
constexpr uint16_t kTEFeaturePassword = 0x0008;  // passed on to text line measuring and drawing
constexpr uint16_t kTEFeatureNoClip = 0x0010;
constexpr uint16_t kTEFeatureDragFlag = 0x0020;  // passed to the drag tracking of clicks
constexpr uint16_t kTEFeatureNoErase = 0x1000;

constexpr uint16_t kTEJustLeft = 0, kTEJustRight = 1, kTEJustCenter = 2;
constexpr int32_t kTEStyleCurrent = 33;  // style kind: the window's current text style
constexpr VXColor kTEHighlightColor = 0xDDDDDD;
constexpr VXColor kTESelectionBrush = 0x12000000;

// Key codes.
constexpr uint16_t kTEKeyUp = 0xF700, kTEKeyDown = 0xF701, kTEKeyLeft = 0xF702,
                   kTEKeyRight = 0xF703, kTEKeyForwardDelete = 0xF728, kTEKeyHome = 0xF729,
                   kTEKeyEnd = 0xF72B, kTEKeyPageUp = 0xF72C, kTEKeyPageDown = 0xF72D,
                   kTEKeyClear = 0xF73A, kTEKeyBackspace = 8, kTEKeyTab = 9, kTEKeyReturn = 13;

struct VXTERecord {
    LRect destRect;
    LRect viewRect;
    VXGrafState* window;
    Handle text;          // UTF-16 units, with spare room for growth
    txStyle* style;       // owned
    uint32_t reserved;
    VXColor foreColor, backColor;
    VXColor hiliteColor;  // the selection while inactive
    uint32_t length;
    uint32_t selStart, selEnd;
    _LPNT caretPoint;     // base-line point of the selection start
    int32_t scrollOffset;
    uint16_t lineHeight;      // ascent + descent + 3
    uint16_t baseLineOffset;  // ascent + 2
    uint16_t descentPart;     // descent + 1
    uint16_t just;
    uint32_t clickTime;
    int32_t clickIndex;       // -1 when none
    uint32_t nextBlink;
    uint8_t caretShown;
    uint16_t tabWidth;        // pixels
    uint16_t tabChars;        // not 0: tab width = this many fixed tab character widths
    uint16_t noWrap;          // not 0: lines end only at CR
    uint16_t pageHeight;
    uint16_t features;
    uint8_t active;
    uint8_t caretBeforeWrap;
    uint8_t selectMode;       // 0 characters, 1 words, 2 lines
    uint8_t fixedTabWidth;
    uint8_t textMode;
    uint32_t lineCount;       // at least 1
    // u32 × (lineCount + 1): the first index of each line, then the end of the text (length,
    // plus 1 when the text ends with CR: an empty last line).
    Handle lineStarts;
    uint32_t anchorStart, anchorEnd;  // the first word or line of a drag
    uint16_t barWidth;                // the width of "|", for the fitting's chunks
};

// What the window owner does for the engine; every hook may be null.
struct VXTEHooks {
    void (*invalRect)(VXGrafState* window, const LRect* rect) = nullptr;
    VXTERecord* (*getActive)(VXGrafState* window) = nullptr;
    void (*setActive)(VXGrafState* window, VXTERecord* te) = nullptr;
    // Runs while the mouse button stays down, calling track with each pointer position (in the
    // window's coordinates). The flags are the record's kTEFeatureDragFlag bit.
    void (*trackDrag)(VXGrafState* window, uint16_t flags,
                      void (*track)(void* data, const _LPNT* where), void* data) = nullptr;
    bool (*shiftDown)() = nullptr;             // the shift key of the key being handled
    uint32_t (*ticks)() = nullptr;             // default: the monotonic clock
    uint32_t (*doubleClickTicks)() = nullptr;  // default: the platform's interval
    uint32_t (*caretTicks)() = nullptr;        // default: 30
};
void VXTESetHooks(const VXTEHooks& hooks);
const VXTEHooks& VXTEGetHooks();

// ---- Record, layout and drawing ----

// Clears the scrap state (once at start-up).
void VXTEInit();
// A new inactive record in the current window; null when memory runs out.
VXTERecord* VXTENewUsingStyle(const LRect* dest, const LRect* view, int32_t styleKind);
void VXTEDispose(VXTERecord* te);
void VXTESetStyle(const txStyle* style, uint32_t mask, VXTERecord* te);
// Replaces the text; false (record unchanged) when it cannot be decoded or memory runs out.
[[nodiscard]] bool VXTESetText(const void* bytes, int32_t byteCount, uint32_t encoding, VXTERecord* te);
// A new handle with the characters [start, end) encoded; end -1 or past the length means the
// length; null when end < start.
Handle VXTEGetTextDataForRange(VXTERecord* te, int32_t start, int32_t end, uint32_t encoding);
// The whole text as terminated UTF-8 cut (at a character boundary) to the buffer.
void VXTEGetTextAsString(VXTERecord* te, char* buffer, uint32_t size);
void VXTECalText(VXTERecord* te);
int32_t VXTELineNumberFromCharIndex(int32_t index, VXTERecord* te);
// Index -1 without an out point: the selection start, stored as the caret point.
void VXLTEGetPoint(int32_t index, _LPNT* out, VXTERecord* te);
int32_t VXLTEGetCharIndex(const _LPNT* point, VXTERecord* te);
bool VXTEGetVisibleRectForRange(VXTERecord* te, int32_t start, int32_t end, LRect* out);
bool VXLTELinesVisible(const LRect* rect, VXTERecord* te, int32_t* first, int32_t* last);
void VXLTEInvalRect(VXTERecord* te, const LRect* rect);
void VXLTEUpdate(const LRect* rect, VXTERecord* te);
void VXTEScroll(int32_t dh, int32_t dv, VXTERecord* te);
void VXTESetTabWidth(int32_t characters, int32_t pixels, VXTERecord* te);
// op -1 tests (any bit set), 1 sets, 0 clears; returns whether any bit is set afterwards.
bool VXTEFeatureFlag(uint16_t flags, int32_t op, VXTERecord* te);
void VXTEAutoView(bool on, VXTERecord* te);
void VXTECalcStyleMetrics(txStyle* style, int16_t* lineHeight, int16_t* ascent, int16_t* descent);
void VXTEBaseLineFromTopLeft(_LPNT* point, txStyle* style);
void VXTETopLeftFromBaseLine(_LPNT* point, txStyle* style);
void VXLTEGetAlignmentPoint(VXTERecord* te, _LPNT* out);
// The characters of a line without its break (and, with trim, without the spaces and TAB
// where a wrapped line ends); returns the count and its first index in *start.
int32_t GetLineContentCount(VXTERecord* te, int32_t line, bool trim, int32_t* start);
// The box a text needs at the rectangle's width; false when no record could be made.
bool VXTECalcBoxWithStyle(const void* text, int32_t byteCount, uint32_t encoding,
                          int32_t styleKind, int32_t tab, LRect* rect, int32_t* widestStart,
                          int32_t* widestLength, int32_t* lineCount);
void VXTETextBox(const void* text, int32_t byteCount, const LRect* rect, int16_t just,
                 int32_t tab, uint16_t flags);
// The rotation and its origin of text boxes drawn by callers that turn them.
void VXTESetTextBoxRotation(int16_t degrees, const _LPNT* origin);
// The widest line of the last layout: its width and line number.
void VXTEGetWidestLine(int32_t* width, int32_t* line);

// ---- Keys, mouse and scrap ----

void VXTEActivate(VXTERecord* te);
void VXTEDeactivate(VXTERecord* te);
void VXTEIdle(VXTERecord* te);
void VXTEKey(uint16_t key, VXTERecord* te);
void VXTEClick(const _LPNT* point, int16_t button, bool shift, VXTERecord* te);
void VXTESetSelect(int32_t a, int32_t b, VXTERecord* te);
void VXTESelView(VXTERecord* te);
void VXTEDelete(VXTERecord* te);
// False (text unchanged) when the text cannot be decoded or memory runs out.
[[nodiscard]] bool VXTEInsert(const void* bytes, int32_t byteCount, uint32_t encoding, VXTERecord* te);
void VXTECut(VXTERecord* te);
void VXTECopy(VXTERecord* te);
void VXTEPaste(VXTERecord* te);
struct VXTEPasteOptions {
    bool (*filter)(uint16_t character, void* data) = nullptr;  // null accepts every character
    void* data = nullptr;
    int32_t limit = -1;  // the most characters the text may hold; -1 no limit
};
void VXTEPasteEx(VXTERecord* te, const VXTEPasteOptions* options);
void VXTESetScrap(const void* bytes, int32_t byteCount, uint32_t encoding);
void VXTEFromScrap();
void VXTEToScrap();
int32_t VXTECountScrapCharacters();
// Replaces the system clipboard's contents with one string; false when it cannot.
[[nodiscard]] bool VXWriteTextToClipboard(const void* bytes, int32_t byteCount, uint32_t encoding);

}  // namespace plexa
