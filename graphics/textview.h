// The text display view: a read-only, vertically scrolling viewer of a text that lives in a
// stream and can grow while it is shown (a log). It keeps the byte offsets of all line starts,
// reads only the bytes of the lines on screen into a cache, draws them line by line in the
// window's text style, scrolls by whole lines and can mark lines.
//
// A line ends after LF, after CR, or after a CR LF pair (one break, also when the pair is
// split between two appends).
//
// This module is the view's engine over the window's graphics state; the window glue (the
// extension record of the window, its event procedure, its scroll bar control and document
// size) belongs to the toolkit, which installs TextViewHooks and calls in here from its event
// handling: size events call UpdateScrollBar after setting the view height, content updates
// call DoDrawContent, scroll events call DoScroll, destroy calls DestroyTextViewStructures.
#pragma once

#include <cstdint>

#include "foundation/bitarray.h"
#include "foundation/heap.h"
#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct VXGrafState;
struct StreamRecord;

// What the window owner does for the view; every hook may be null.
struct TextViewHooks {
    void (*invalRect)(VXGrafState* window, const LRect* rect) = nullptr;
    // The vertical scroll bar: value 0..1, knob proportion, enabled; and its value.
    void (*setScrollBar)(void* bar, double value, double proportion, bool enabled) = nullptr;
    double (*scrollBarValue)(void* bar) = nullptr;
    // Moves the content's pixels and the pending update region by dv, invalidates the exposed
    // strip and updates the window at once; without it the whole view is invalidated.
    void (*scrollPixels)(VXGrafState* window, int32_t dv) = nullptr;
};
void TextViewSetHooks(const TextViewHooks& hooks);
const TextViewHooks& TextViewGetHooks();

constexpr int32_t kTextViewFollowEnd = 0x7FFFFFFF;

// Scroll parts of DoScroll.
enum : int16_t {
    kTextScrollLineUp = 0, kTextScrollLineDown = 1, kTextScrollPageUp = 2, kTextScrollPageDown = 3,
    kTextScrollThumb = 4, kTextScrollThumbTrack = 5, kTextScrollWheel = 7, kTextScrollToLine = 15
};

struct TextDisplayRecord {
    MemPool pool;
    Handle cache;            // bytes [cacheStart, cacheEnd) of the stream
    StreamRecord* stream;    // the text, not owned
    Handle lineStarts;       // u32 entries (lines + 2, this word included), starts, end offset
    BitArray marks;          // bit n: line n is drawn highlighted
    void* previousProc;      // the window's event procedure before installation (the glue's)
    void* scrollBar;         // the window's vertical scroll bar, or null
    uint32_t encoding;
    int32_t cacheStart, cacheEnd;
    uint32_t cacheSize;
    int32_t followLine;
    int32_t firstLine;
    int32_t lastFirstLine;   // line count - visible lines, at least 0
    int32_t lineCount;
    int16_t visibleLines;
    int16_t lineHeight;
    int16_t baseLineLift;    // descent + leading
    int16_t tabWidth;        // 0: the width of "WWWW"
    uint8_t expandTabs;
    VXGrafState* window;
    int32_t viewHeight;      // the content's height, set by the glue
    int32_t viewWidth;
};

// A view over the stream in the window (null when memory runs out): marks of 1 bit, UTF-8,
// following the end, the window's style set to UI font fontKind and everything computed.
TextDisplayRecord* CreateTextDisplay(VXGrafState* window, StreamRecord* stream, int32_t fontKind,
                                     int32_t viewWidth, int32_t viewHeight, void* scrollBar);
// Frees the cache, the line starts, the marks and the record (and the shared scan buffer with
// the last view).
void DestroyTextViewStructures(TextDisplayRecord* view);

// UI font N as the window's style, then TextDisplayRecalc.
void TextDisplaySetFontKind(TextDisplayRecord* view, int32_t fontKind);
// Clears the marks, drops the cache, takes the metrics, recomputes all line starts, updates the
// scroll bar and invalidates the window.
void TextDisplayRecalc(TextDisplayRecord* view);
// Writes the bytes at the stream's end (its error is returned at once, nothing else changing),
// recomputes the line starts from the last line on and updates the scroll bar; reveal keeps the
// end in view.
OSStatus TextDisplayAppend(TextDisplayRecord* view, const void* bytes, int32_t count, bool reveal);
int32_t TextDisplayTabWidth(TextDisplayRecord* view);
void TextDisplayMarkLine(TextDisplayRecord* view, int32_t line, bool marked);

// The start of a line (0..lineCount; lineCount gives the end offset).
int32_t TextDisplayLineStart(const TextDisplayRecord* view, int32_t line);
void RecalcLineStarts(TextDisplayRecord* view, int32_t fromLine);
// Makes the cache hold the lines; false when it cannot (nothing is drawn then).
bool BufferRange(TextDisplayRecord* view, int32_t firstLine, int32_t lastLine);
// The visible lines of a rectangle of the view (last < first when none).
void TextDisplayVisibleRange(const TextDisplayRecord* view, const LRect* rect, int32_t* first,
                             int32_t* last);
void DoDrawContent(TextDisplayRecord* view, const LRect* rect);
void DoScroll(TextDisplayRecord* view, int16_t part, int32_t delta, int32_t line);
void RevealTextLine(TextDisplayRecord* view, int32_t line);
void UpdateScrollBar(TextDisplayRecord* view);

}  // namespace plexa
