// What the text-edit record's modules share: accessors, port preparation, character
// boundaries, fitting and re-wrapping. Not for other modules.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/textedit.h"

namespace plexa {

extern VXTEHooks gTEHooks;

constexpr char16_t kTECR = 13, kTELF = 10, kTETab = 9, kTESpace = 32;

char16_t* TEUnits(VXTERecord* te);
char16_t TEUnitAt(VXTERecord* te, int32_t i);  // 0 outside the text
uint32_t* TEStarts(VXTERecord* te);
// A line's first index and its end (the next line's start), both within the text.
int32_t TELineStart(VXTERecord* te, int32_t line);
int32_t TELineEnd(VXTERecord* te, int32_t line);
int32_t TELineTop(VXTERecord* te, int32_t line);
int32_t TELineLeft(VXTERecord* te, int32_t line);
// Whether a line ends at a wrap (not the last line, no CR, wrapping on).
bool TEWrapsAt(VXTERecord* te, int32_t line);
bool TEEndsWithCR(VXTERecord* te);
int32_t TELayoutEnd(VXTERecord* te);
uint32_t TETicks();
void TEInvalRect(VXTERecord* te, const LRect* rect);

// Selects the record's window, colours, style and clip, and restores the window and its
// style at the end; a scope nested in one for the same record only sets the style again.
struct TEPortScope {
    explicit TEPortScope(VXTERecord* te);
    ~TEPortScope();
    TEPortScope(const TEPortScope&) = delete;
    TEPortScope& operator=(const TEPortScope&) = delete;
    VXTERecord* te;
    VXTERecord* previousTE = nullptr;
    VXGrafState* savedWindow = nullptr;
    txStyle* savedStyle = nullptr;
    bool full = false, clipped = false;
};

// Characters of a run: absolute starts and offsets from 0 (one entry more than characters).
struct TERun {
    std::vector<uint32_t> starts;
    std::vector<int32_t> offsets;
};
void TELayoutRun(VXTERecord* te, int32_t from, int32_t to, TERun* run);
// The neighbouring character boundaries (a CR LF is one character).
int32_t TEPrevBoundary(VXTERecord* te, int32_t i);
int32_t TENextBoundary(VXTERecord* te, int32_t i);
// Whether i is a boundary whatever the text around it (the text's ends, beside a CR, LF or TAB
// but inside no CR LF, or between two units that never join a neighbour), known without a
// layout.
bool TECertainBoundary(VXTERecord* te, int32_t i);
// The start and the end of the character that holds i inside it; i itself at a boundary.
int32_t TECharacterStart(VXTERecord* te, int32_t i);
int32_t TECharacterEnd(VXTERecord* te, int32_t i);

// The characters of [from, to) that fit a width from x = 0. Without overflow, end is to or the
// index after a CR (hitCR). With overflow, end is the overflowing character's start and
// overflowEnd its end; firstHalf tells whether the width ends in its first half. width is the
// width before end; afterLastSpace the index after the last space (0 without one) and
// widthBeforeSpaces the width before that run of spaces.
struct TEFit {
    int32_t end, overflowEnd, width, widthBeforeSpaces, afterLastSpace;
    bool overflow, firstHalf, hitCR;
};
TEFit TEFitChars(VXTERecord* te, int32_t from, int32_t to, int32_t width);
int32_t TEMeasureRange(VXTERecord* te, int32_t from, int32_t to);

[[nodiscard]] bool TEDecode(const void* bytes, int32_t byteCount, uint32_t encoding, std::u16string* out);
// Every LF that does not follow a CR becomes CR.
void TEApplyLFRule(std::u16string* text);
[[nodiscard]] bool TEEnsureTextRoom(VXTERecord* te, uint64_t units);
[[nodiscard]] bool TEEnsureLineRoom(VXTERecord* te, uint32_t count);
void TEReflowAfterEdit(VXTERecord* te, const std::vector<uint32_t>& oldStarts, int32_t at,
                       int32_t removed, int32_t inserted);
void TEClearScrap();

}  // namespace plexa
