// Text styles: a txStyle names the look of a run of text (a font family or a user interface
// font, a size and face bits) and caches the platform font, the text attributes and the
// metrics computed from them. Documents keep their styles in a TextStyleList, one record per
// distinct font, size and face; this module also owns the default style kinds, scratch and
// temporary styles, and the stored form of a style list.
//
// Fonts are named by references into the global font-name table (graphics/fonts.h), so two
// styles have the same font exactly when their references are equal; reference 0 is "no
// name". Face bit 0 is bold and bit 1 italic; other bits are stored and compared but do not
// change the font. Bold is never applied to a user interface font.
//
// Stored style list (in the writer's byte order; a reader takes either):
//   mark   u16  0x1234 (read as 0x3412: every later word is swapped; any other value: refused)
//   count  u16  number of styles, 0 when there is no list
//   per style, in list order:
//     length u8    n, 0 to 255
//     name   n bytes, the font name in UTF-8, no terminator (cut at a character boundary)
//     size   u16
//     face   u16
#pragma once

#include <cstdint>

#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/types.h"
#include "graphics/render_text.h"

namespace plexa {

struct StreamRecord;

// Fields of InstallStyleInStyle and StyleFieldsMatch.
constexpr uint32_t kStyleFont = 0x1, kStyleSize = 0x2, kStyleFace = 0x4, kStyleToggleFace = 0x8;
constexpr uint16_t kFaceBold = 0x1, kFaceItalic = 0x2;
constexpr uint16_t kStyleMetricsStale = 0x04;

// Default style kinds: 0 to 26 the user interface fonts, then these.
constexpr int32_t kStyleSmallUser = 27, kStyleSmallFixed = 28, kStyleUser = 29,
                  kStyleFixed = 30, kStyleSystem = 31, kStyleNoName = 32;

// The status a reader gives for a style list whose byte-order mark is neither order's.
constexpr OSStatus kStyleListBadMark = status::kParamErr;

struct StyleMetrics {
    int16_t ascent, descent, width, leading, lineHeight, overscore;
};

struct txStyle {
    void* link[2];                 // used by the list that holds the style
    TextFont* font;                // cached (retained), null until needed
    QZTextAttributes attributes;   // cached dictionary (retained) and its generation
    StyleMetrics metrics;
    uint32_t fontName;             // font-name reference, 0 = no name
    uint16_t size;                 // points; 1 for a user interface font's own size
    uint16_t face;
    uint16_t flags;                // kStyleMetricsStale
};

using TextStyleList = LinkListHeader;

// A cleared record from the pool (null: the current pool) with the source's font, size and
// face, or default kind 29; metrics stale. Null when out of memory.
txStyle* CreateTextStyle(MemPool pool, const txStyle* source);
void DestroyTextStyle(txStyle* style);
// Releases the cached font and attributes of a style (the pool is not needed).
void FreeTextStyleSuballocations(MemPool pool, txStyle* style);

TextStyleList* CreateTextStyleList(MemPool pool);
void DestroyTextStyleList(TextStyleList* list);  // frees the list and its styles

void InstallStyleInStyle(const txStyle* source, txStyle* destination, uint32_t fields);
void SetupDefaultStyle(txStyle* style, int32_t kind);
bool StyleFieldsMatch(const txStyle* a, const txStyle* b, uint32_t fields);
txStyle* FindMatchingStyleInList(const TextStyleList* list, const txStyle* style);
// The list's style matching the given one, or a copy of it pushed at the head; null when out
// of memory (the list is then unchanged).
txStyle* InstallStyleInList(const txStyle* style, TextStyleList* list);

// The font name, terminated, into buffer[256].
void GetStyleFont(const txStyle* style, char* buffer);
// Interns the name (up to 255 bytes, cut at a character boundary); empty sets the default
// font. Returns 1.
int32_t SetStyleFont(txStyle* style, const char* name);
void SetStyleSize(txStyle* style, uint16_t size);
void SetStyleFace(txStyle* style, uint16_t face);

// Copies font, size, face, metrics and caches unless they already match; the destination
// keeps its own list links.
void CopyTextStyle(const txStyle* source, txStyle* destination);

// The style's platform font, cached; null when none can be made.
TextFont* GetCTFontForTextStyle(txStyle* style);
// New attributes (one reference) or null when no font can be made.
TextAttributeDict* BuildAttributesForTextStyle(txStyle* style, bool colorFromContext);
// The style's cached attributes, built (with the port's colour) and given the next
// generation when missing.
const QZTextAttributes* EstablishAttributesForStyle(txStyle* style);
int16_t GetLineHeightForCTFont(const TextFont* font);
// The metrics of a style; with null, of the current window's style (all 0 without one).
void GetStyleMetrics(txStyle* style, StyleMetrics* metrics);

// The window owner tells which style is the current window's (null when there is none).
void SetCurrentTextStyleProc(txStyle* (*proc)());
using CurrentTextStyleProc = txStyle* (*)();
CurrentTextStyleProc GetCurrentTextStyleProc();

// Scratch styles are recycled, never freed.
txStyle* GetScratchStyle();
void ReleaseScratchStyle(txStyle* style);
// The next of a ring of 8 styles, set to the kind; valid until 8 more calls.
txStyle* GetTempDefaultStyle(int32_t kind);

// Stored form (see above). Reading makes the list in the pool; on failure *list is null and
// the status is returned (the stream's, or kStyleListBadMark).
OSStatus WriteStyleList(StreamRecord* stream, const TextStyleList* list);
OSStatus ReadStyleList(MemPool pool, StreamRecord* stream, TextStyleList** list);

// Once per run, at launch: font tables, scratch list and template style. A second call does
// nothing.
void VXInitStyles();

}  // namespace plexa
