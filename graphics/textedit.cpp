// The text-edit record: creation, text, line layout with word wrap, hit testing, points of
// indexes, drawing, scrolling and text boxes. Keys, mouse and scrap are in textedit_keys.cpp.
#include "graphics/textedit.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/assert.h"
#include "foundation/datetime.h"
#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textedit_internal.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"

namespace plexa {

VXTEHooks gTEHooks;
namespace {

constexpr uint32_t kInitialTextUnits = 124;
constexpr uint32_t kSpareLines = 17;
constexpr int32_t kTabMinGap = 5;
constexpr int32_t kSegmentCap = 256;  // units laid out at once between breaks

int32_t gWidestWidth = 0, gWidestLine = 0;
int16_t gBoxRotation = 0;
_LPNT gBoxOrigin{};

bool IsBreakUnit(char16_t c) { return c == kTECR || c == kTELF || c == kTETab; }

// Units of the first Unicode blocks (below the combining marks): each is a character of its
// own, whatever stands next to it (a CR LF pair apart).
bool SimpleUnit(char16_t c) { return c < 0x300; }

bool IsCombining(char16_t c) {
    return (c >= 0x300 && c <= 0x36F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0xFE20 && c <= 0xFE2F) || c == 0x200D;
}

}  // namespace

// ---- Small accessors ----

char16_t* TEUnits(VXTERecord* te) { return reinterpret_cast<char16_t*>(*te->text); }
char16_t TEUnitAt(VXTERecord* te, int32_t i) {
    return i >= 0 && uint32_t(i) < te->length ? TEUnits(te)[i] : 0;
}
uint32_t* TEStarts(VXTERecord* te) { return reinterpret_cast<uint32_t*>(*te->lineStarts); }
// Whether the line-start table holds entry `entry` (callers ask only for lines that exist).
[[maybe_unused]] static bool HasLineStart(VXTERecord* te, int32_t entry) {
    return entry >= 0 && SizeOfHandle(te->lineStarts) >= (uint64_t(entry) + 1) * 4;
}
int32_t TELineStart(VXTERecord* te, int32_t line) {
    PLEXA_ASSERT(HasLineStart(te, line));
    return int32_t(std::min(TEStarts(te)[line], te->length));
}
int32_t TELineEnd(VXTERecord* te, int32_t line) {
    PLEXA_ASSERT(HasLineStart(te, line + 1));
    return int32_t(std::min(TEStarts(te)[line + 1], te->length));
}
bool TEEndsWithCR(VXTERecord* te) { return te->length > 0 && TEUnits(te)[te->length - 1] == kTECR; }
int32_t TELayoutEnd(VXTERecord* te) { return int32_t(te->length) + (TEEndsWithCR(te) ? 1 : 0); }
int32_t TEWrapWidth(const VXTERecord* te) { return te->destRect.right - 1 - te->destRect.left; }

void TEInvalRect(VXTERecord* te, const LRect* rect) {
    if (gTEHooks.invalRect) gTEHooks.invalRect(te->window, rect);
}

uint32_t TETicks() {
    return gTEHooks.ticks ? gTEHooks.ticks() : uint32_t(MonotonicTicks());
}

// ---- Port preparation ----

// The record prepared by the innermost full scope; scopes nested inside it for the same record
// only set its style again.
VXTERecord* gPreparedTE = nullptr;

TEPortScope::TEPortScope(VXTERecord* record) : te(record) {
    if (gPreparedTE == te) {
        if (te->style) VXSetTextStyle(te->style);
        return;
    }
    full = true;
    previousTE = gPreparedTE;
    gPreparedTE = te;
    savedWindow = VXSetCurrentGrafState(te->window);
    savedStyle = VXPreserveTextStyle();
    if (te->window && gBoxRotation == 0 && !(te->features & kTEFeatureNoClip)) {
        // The box is in document units, the clip in the window's: at a zoom it is scaled.
        LRect clip = te->viewRect;
        if (te->window->geometry.flags & kWindowFlagScaled) LRectToNoEmptyScale(&te->window->geometry, &clip);
        VXLSectClipRect(te->window, &clip, true);
        clipped = true;
    }
    if (te->window && te->window->port) {
        QZSetColor(te->window->port, te->backColor, true);
        QZSetColor(te->window->port, te->foreColor, false);
        QZSetAntialias(te->window->port, true);
    }
    if (te->style) VXSetTextStyle(te->style);
}

TEPortScope::~TEPortScope() {
    if (!full) return;
    if (clipped) VXPopClip(te->window);
    VXRestoreTextStyle(savedStyle);
    VXSetCurrentGrafState(savedWindow);
    gPreparedTE = previousTE;
}

// ---- Characters and their widths ----

// Lays out [from, to) (no CR, LF or TAB inside): absolute character starts and rounded
// offsets from 0, one entry more than characters. Without a layout the characters are code
// points with their combining marks, of width 0.
void TELayoutRun(VXTERecord* te, int32_t from, int32_t to, TERun* run) {
    run->starts.clear();
    run->offsets.clear();
    if (to <= from) {
        run->starts.push_back(uint32_t(from));
        run->offsets.push_back(0);
        return;
    }
    VXTextLayout layout;
    const char16_t* units = TEUnits(te);
    if (VXLayoutText(units + from, (to - from) * 2, kEncodingUTF16LE, &layout)) {
        for (size_t i = 0; i < layout.starts.size(); i++) {
            run->starts.push_back(uint32_t(from) + layout.starts[i] / 2);
            run->offsets.push_back(int32_t(layout.offsets[i] + 0.5));
        }
    } else {
        for (int32_t i = from; i < to;) {
            run->starts.push_back(uint32_t(i));
            run->offsets.push_back(0);
            i += (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < to) ? 2 : 1;
            while (i < to && IsCombining(units[i])) i++;
        }
        run->starts.push_back(uint32_t(to));
        run->offsets.push_back(0);
    }
    if (te->features & kTEFeaturePassword) {
        // Every code point is a bullet.
        const int32_t bullet = int32_t(VXMeasurePasswordChars(1, false));
        int32_t x = 0;
        for (size_t k = 0; k + 1 < run->starts.size(); k++) {
            run->offsets[k] = x;
            for (uint32_t i = run->starts[k]; i < run->starts[k + 1]; i++)
                x += (units[i] >= 0xDC00 && units[i] <= 0xDFFF) ? 0 : bullet;
        }
        run->offsets.back() = x;
    }
}

int32_t TEPrevBoundary(VXTERecord* te, int32_t i) {
    if (i <= 0) return 0;
    i = std::min(i, int32_t(te->length));
    const char16_t* u = TEUnits(te);
    if (u[i - 1] == kTELF && i >= 2 && u[i - 2] == kTECR) return i - 2;
    if (IsBreakUnit(u[i - 1])) return i - 1;
    // Two letters of the first Unicode blocks are always two characters.
    if (SimpleUnit(u[i - 1]) && (i == 1 || SimpleUnit(u[i - 2]))) return i - 1;
    int32_t from = i - 1;
    while (from > 0 && !IsBreakUnit(u[from - 1]) && i - from < kSegmentCap) from--;
    if (u[from] >= 0xDC00 && u[from] <= 0xDFFF && from > 0 && !IsBreakUnit(u[from - 1])) from--;
    TERun run;
    TELayoutRun(te, from, i, &run);
    const int32_t previous = int32_t(run.starts[run.starts.size() - 2]);
    return previous < i ? previous : i - 1;
}

int32_t TENextBoundary(VXTERecord* te, int32_t i) {
    const int32_t length = int32_t(te->length);
    if (i >= length) return length;
    i = std::max(i, 0);
    const char16_t* u = TEUnits(te);
    if (u[i] == kTECR && i + 1 < length && u[i + 1] == kTELF) return i + 2;
    if (IsBreakUnit(u[i])) return i + 1;
    if (SimpleUnit(u[i]) && (i + 1 == length || SimpleUnit(u[i + 1]))) return i + 1;
    int32_t to = i + 1;
    while (to < length && !IsBreakUnit(u[to]) && to - i < kSegmentCap) to++;
    TERun run;
    TELayoutRun(te, i, to, &run);
    const int32_t next = int32_t(run.starts[1]);
    return next > i ? next : i + 1;
}

namespace {

// Units that never join the character before or after them: letters of the first Unicode blocks,
// Greek and Cyrillic letters, kana, CJK ideographs and Hangul syllables.
bool Plain(char16_t c) {
    return c < 0x300 || (c >= 0x370 && c <= 0x482) || (c >= 0x3041 && c <= 0x3096) ||
           (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) ||
           (c >= 0xAC00 && c <= 0xD7A3);
}

}  // namespace

bool TECertainBoundary(VXTERecord* te, int32_t i) {
    if (i <= 0 || i >= int32_t(te->length)) return true;
    const char16_t* u = TEUnits(te);
    const char16_t a = u[i - 1], b = u[i];
    if (a == kTECR) return b != kTELF;
    if (IsBreakUnit(a) || IsBreakUnit(b)) return true;
    return Plain(a) && Plain(b);
}

// The character [p, n) that holds i inside it, or p == n == i at a boundary.
static void CharacterAround(VXTERecord* te, int32_t i, int32_t* p, int32_t* n) {
    *p = *n = i;
    if (TECertainBoundary(te, i)) return;
    const int32_t start = TEPrevBoundary(te, i), end = TENextBoundary(te, start);
    if (start < i && end > i) {
        *p = start;
        *n = end;
    }
}

int32_t TECharacterStart(VXTERecord* te, int32_t i) {
    int32_t p, n;
    CharacterAround(te, std::clamp(i, 0, int32_t(te->length)), &p, &n);
    return p;
}

int32_t TECharacterEnd(VXTERecord* te, int32_t i) {
    int32_t p, n;
    CharacterAround(te, std::clamp(i, 0, int32_t(te->length)), &p, &n);
    return n;
}

int32_t TETabAdvance(VXTERecord* te, int32_t x) {
    const int32_t stop = te->just != kTEJustLeft ? te->fixedTabWidth : te->tabWidth;
    return VXCalcTabCharacterWidth(x, stop, kTabMinGap);
}

namespace {

// ---- Word layouts ----
//
// Fitting measures a chunk of text as its words with their following spaces, each laid out
// once and kept: a long paragraph repeats its words, so re-wrapping after an edit measures by
// lookups. The positions of a chunk's characters are the segments' positions joined end to
// end, rounded as one run's, as a layout of the whole chunk gives them; the chunk is cut where
// a space is followed by a letter of the first Unicode blocks, which never share a character
// (or a ligature) across that boundary.

struct TESegment {
    std::vector<uint16_t> starts;  // character starts from the segment's start, then its length
    std::vector<double> offsets;   // their positions from the segment's start
    // A word and then spaces (either may be empty), the spaces starting at character
    // spaceCharacter; or anything else (mixed).
    bool mixed;
    bool increasing;               // no character moves the position back
    uint16_t spaceCharacter;
};

struct TESegmentKey {
    const void* hooks;
    uint32_t font;  // TextFontIdentity
    uint32_t generation;  // of attributes without a font
    std::u16string_view text;
    size_t hash;  // of all the above (SegmentEnd makes it while it scans the text)
};

struct TESegmentHash {
    using is_transparent = void;
    size_t operator()(const TESegmentKey& k) const { return k.hash; }
};
struct TESegmentEqual {
    using is_transparent = void;
    bool operator()(const TESegmentKey& a, const TESegmentKey& b) const {
        return a.hooks == b.hooks && a.font == b.font && a.generation == b.generation &&
               a.text.size() == b.text.size() &&
               std::memcmp(a.text.data(), b.text.data(), a.text.size() * sizeof(char16_t)) == 0;
    }
};

// Segments laid out so far; the keys' texts live in the stored strings. Past the limit the
// cache starts again.
class TESegmentCache {
public:
    const TESegment* Find(const TESegmentKey& key) const {
        const auto it = map_.find(key);
        return it == map_.end() ? nullptr : &it->second;
    }
    const TESegment* Add(const TESegmentKey& key, TESegment segment) {
        if (map_.size() >= kLimit) {
            map_.clear();
            texts_.clear();
        }
        texts_.emplace_back(key.text);
        const TESegmentKey stored{key.hooks, key.font, key.generation, texts_.back(), key.hash};
        return &map_.emplace(stored, std::move(segment)).first->second;
    }

private:
    static constexpr size_t kLimit = 16384;
    std::deque<std::u16string> texts_;
    std::unordered_map<TESegmentKey, TESegment, TESegmentHash, TESegmentEqual> map_;
};

TESegmentCache& SegmentCache() {
    static TESegmentCache* cache = new TESegmentCache;
    return *cache;
}

constexpr uint64_t kHashPrime = 0x100000001B3ull;

// The end of the segment that starts at s, at most limit: before the next CR, LF or TAB, or
// the next simple letter that follows a space. The segment's text is hashed into *hash, which
// starts as the hash of what else its layout depends on.
int32_t SegmentEnd(const char16_t* u, int32_t s, int32_t limit, uint64_t* hash) {
    uint64_t h = (*hash ^ u[s]) * kHashPrime;
    int32_t e = s + 1;
    for (; e < limit; e++) {
        const char16_t c = u[e];
        if ((c <= kTECR && IsBreakUnit(c)) || (u[e - 1] == kTESpace && c != kTESpace && SimpleUnit(c)))
            break;
        h = (h ^ c) * kHashPrime;
    }
    *hash = h ^ (h >> 29);
    return e;
}

// What a segment's layout depends on besides its text: the text hooks and the current
// window's font.
TESegmentKey LayoutIdentity() {
    const VXGrafState* state = VXGetCurrentGrafState();
    const QZTextAttributes* attributes =
        state && state->textStyle ? EstablishAttributesForStyle(state->textStyle) : nullptr;
    const TextAttributeDict* dict = attributes ? attributes->dict : nullptr;
    const uint32_t font = dict ? TextFontIdentity(dict->font) : 0;
    TESegmentKey key{VXGetTextHooks(), font, font || !attributes ? 0 : attributes->generation, {}, 0};
    key.hash = 0xCBF29CE484222325ull ^ uint64_t(key.font) ^ (uint64_t(key.generation) << 32) ^
               uint64_t(reinterpret_cast<uintptr_t>(key.hooks));
    return key;
}

// The layout of [s, e) in the identity's style (its hash made with the text), from the cache;
// null when the text cannot be laid out.
const TESegment* SegmentLayout(VXTERecord* te, TESegmentKey key, uint64_t hash, int32_t s, int32_t e) {
    const char16_t* u = TEUnits(te);
    key.text = std::u16string_view(u + s, size_t(e - s));
    key.hash = size_t(hash);
    if (const TESegment* found = SegmentCache().Find(key)) return found;
    VXTextLayout layout;
    if (!VXLayoutText(u + s, (e - s) * 2, kEncodingUTF16LE, &layout)) return nullptr;
    TESegment segment;
    segment.increasing = true;
    for (size_t i = 0; i < layout.starts.size(); i++) {
        segment.starts.push_back(uint16_t(layout.starts[i] / 2));
        segment.offsets.push_back(layout.offsets[i]);
        if (i > 0 && layout.offsets[i] < layout.offsets[i - 1]) segment.increasing = false;
    }
    // A word and then spaces, the first space starting a character.
    int32_t space = s;
    while (space < e && u[space] != kTESpace) space++;
    segment.mixed = false;
    for (int32_t i = space; i < e; i++) segment.mixed |= u[i] != kTESpace;
    const auto at = std::find(segment.starts.begin(), segment.starts.end(), uint16_t(space - s));
    segment.mixed |= at == segment.starts.end();
    segment.spaceCharacter = segment.mixed ? 0 : uint16_t(at - segment.starts.begin());
    return SegmentCache().Add(key, std::move(segment));
}

int32_t RoundHalfUp(double x) { return int32_t(x + 0.5); }

}  // namespace

// Fits the characters of [from, to) into width; see TEFit in the internal header.
TEFit TEFitChars(VXTERecord* te, int32_t from, int32_t to, int32_t width) {
    TEFit fit{};
    fit.end = to;
    const char16_t* u = TEUnits(te);
    int32_t x = 0;
    bool inSpaces = false;
    int32_t spaceRunWidth = 0;
    TERun run;
    int32_t chunk = kSegmentCap;
    if (te->barWidth > 0 && width > 0 && width < INT32_MAX / 2)
        chunk = std::clamp(width / te->barWidth + 2, 8, kSegmentCap);
    auto overflow = [&](int32_t at, int32_t atEnd, int32_t charWidth) {
        fit.overflow = true;
        fit.end = at;
        fit.overflowEnd = atEnd;
        fit.width = x;
        fit.firstHalf = int64_t(width - x) * 2 < charWidth;
        return fit;
    };
    // One character of width w at [start, end): false when it overflows.
    auto step = [&](int32_t start, int32_t end, int32_t w) {
        if (int64_t(x) + w > width) return false;
        if (TEUnits(te)[start] == kTESpace) {
            if (!inSpaces) spaceRunWidth = x;
            inSpaces = true;
            fit.afterLastSpace = end;
            fit.widthBeforeSpaces = spaceRunWidth;
        } else {
            inSpaces = false;
        }
        x += w;
        return true;
    };
    const bool bySegments = !(te->features & kTEFeaturePassword);
    const TESegmentKey identity = bySegments ? LayoutIdentity() : TESegmentKey{};
    // A chunk that one character fills and goes on past is laid out again twice as long (as often
    // as needed): a character is never measured, nor a line broken, in pieces.
    int32_t grow = 0;
    int32_t i = from;
    while (i < to) {
        u = TEUnits(te);
        const char16_t c = u[i];
        if (c == kTECR) {
            fit.end = i + 1;
            fit.hitCR = true;
            fit.width = x;
            return fit;
        }
        if (c == kTELF) {  // the tail of a CR LF: no width
            i++;
            continue;
        }
        if (c == kTETab) {
            const int32_t advance = TETabAdvance(te, x);
            if (int64_t(x) + advance > width) return overflow(i, i + 1, advance);
            x += advance;
            inSpaces = false;
            i++;
            continue;
        }
        // A chunk of at most chunk units up to the next CR, LF or TAB. When it is cut short
        // (capped), its last character may go on past its end and is measured with the next.
        const int32_t limit = int32_t(std::min<int64_t>(to, int64_t(i) + (int64_t(chunk) << grow)));

        // The chunk by its segments: whole segments that fit at once, the rest character by
        // character.
        if (bySegments) {
            const int32_t chunkX = x;
            const TEFit before = fit;
            const bool wasInSpaces = inSpaces;
            const int32_t spaceRunBefore = spaceRunWidth;
            double base = 0;  // the chunk's position before the segment, unrounded
            int32_t next = limit;
            bool several = false, measured = true, longer = false;
            for (int32_t s = i;;) {
                u = TEUnits(te);
                uint64_t hash = identity.hash;
                const int32_t e = SegmentEnd(u, s, limit, &hash);
                const TESegment* segment = SegmentLayout(te, identity, hash, s, e);
                if (!segment) {  // measured as one run below
                    fit = before;
                    x = chunkX;
                    inSpaces = wasInSpaces;
                    spaceRunWidth = spaceRunBefore;
                    measured = false;
                    break;
                }
                const bool last = e == limit || IsBreakUnit(u[e]);
                const bool capped = last && e < to && !IsBreakUnit(u[e]);
                const size_t count = segment->starts.size() - 1;
                several |= count > 1 || s != i;
                if (capped && !several) {  // one character fills the chunk
                    longer = true;
                    break;
                }
                const bool dropLast = capped && several;
                const double end = segment->offsets.back();
                if (!dropLast && segment->increasing && !segment->mixed) {
                    const int32_t after = chunkX + RoundHalfUp(base + end);
                    if (after <= width) {
                        const uint16_t spaces = segment->spaceCharacter;
                        if (spaces > 0) inSpaces = false;  // the word
                        if (spaces < count) {             // the spaces after it
                            if (!inSpaces) spaceRunWidth = chunkX + RoundHalfUp(base + segment->offsets[spaces]);
                            inSpaces = true;
                            fit.afterLastSpace = e;
                            fit.widthBeforeSpaces = spaceRunWidth;
                        }
                        x = after;
                        base += end;
                        s = e;
                        if (last) {
                            next = e;
                            break;
                        }
                        continue;
                    }
                }
                const size_t n = count - (dropLast ? 1 : 0);
                for (size_t k = 0; k < n; k++) {
                    const int32_t start = s + segment->starts[k], stop = s + segment->starts[k + 1];
                    const int32_t w = RoundHalfUp(base + segment->offsets[k + 1]) -
                                      RoundHalfUp(base + segment->offsets[k]);
                    if (!step(start, stop, w)) return overflow(start, stop, w);
                }
                if (last) {
                    next = s + segment->starts[n];
                    break;
                }
                base += end;
                s = e;
            }
            if (longer) {
                grow++;
                continue;
            }
            if (measured) {
                i = std::max(next, i + 1);  // always forward
                grow = 0;
                continue;
            }
        }

        int32_t j = i + 1;
        while (j < limit && !IsBreakUnit(u[j])) j++;
        const bool capped = j < to && !IsBreakUnit(u[j]);
        TELayoutRun(te, i, j, &run);
        size_t clusters = run.starts.size() - 1;
        if (capped && clusters == 1) {  // one character fills the chunk
            grow++;
            continue;
        }
        grow = 0;
        if (capped && clusters > 1) clusters--;  // its last character may go on past j
        for (size_t k = 0; k < clusters; k++) {
            const int32_t start = int32_t(run.starts[k]);
            const int32_t w = run.offsets[k + 1] - run.offsets[k];
            if (!step(start, int32_t(run.starts[k + 1]), w))
                return overflow(start, int32_t(run.starts[k + 1]), w);
        }
        i = std::max(int32_t(run.starts[clusters]), i + 1);  // always forward
    }
    fit.width = x;
    return fit;
}

int32_t TEMeasureRange(VXTERecord* te, int32_t from, int32_t to) {
    return TEFitChars(te, from, to, INT32_MAX / 2).width;
}

// ---- Lines ----

namespace {

// The end of the line that starts at start (> start unless start is the end of the text) and
// the width of its content.
int32_t LineEndFrom(VXTERecord* te, int32_t start, int32_t* width) {
    const int32_t length = int32_t(te->length);
    const char16_t* u = TEUnits(te);
    *width = 0;
    if (start >= length) return start;
    if (te->noWrap) {
        int32_t e = start;
        while (e < length && u[e] != kTECR) e++;
        const TEFit fit = TEFitChars(te, start, e, INT32_MAX / 2);
        *width = fit.width;
        return e < length ? e + 1 : length;
    }
    int32_t p = start;
    if (u[p] == kTELF && p > 0 && u[p - 1] == kTECR) p++;
    const TEFit fit = TEFitChars(te, p, length, TEWrapWidth(te));
    u = TEUnits(te);
    if (!fit.overflow) {
        *width = fit.width;
        return std::max(fit.end, start + 1);
    }
    const int32_t o = fit.end;
    if (u[o] == kTESpace) {
        int32_t e = o;
        while (e < length && u[e] == kTESpace) e++;
        e = TECharacterEnd(te, e);  // a mark on the last space stays with it
        u = TEUnits(te);
        // A break right after the spaces stays on this line rather than making an empty one.
        if (e < length && u[e] == kTECR) e += (e + 1 < length && u[e + 1] == kTELF) ? 2 : 1;
        *width = fit.afterLastSpace == o ? fit.widthBeforeSpaces : fit.width;
        return e;
    }
    if (u[o] == kTETab) {
        *width = fit.width;
        return o + 1;
    }
    if (fit.afterLastSpace > p) {
        *width = fit.widthBeforeSpaces;
        return fit.afterLastSpace;
    }
    if (o <= p) {
        *width = fit.width;  // nothing fits: the one character
        return std::max(fit.overflowEnd, start + 1);
    }
    *width = fit.width;
    return o;
}

// The next line end for the layout loop: the empty last line after a final CR ends one past
// the text.
int32_t NextLineEnd(VXTERecord* te, int32_t pos, int32_t* width) {
    if (pos >= int32_t(te->length)) {
        *width = 0;
        return pos + 1;
    }
    return LineEndFrom(te, pos, width);
}

// Makes room for count lines (count + 1 entries and spare); false when it cannot.
bool EnsureLines(VXTERecord* te, uint32_t count) {
    const uint64_t need = (uint64_t(count) + 1) * 4;
    if (SizeOfHandle(te->lineStarts) >= need) return true;
    const uint64_t want = (uint64_t(count) + 1 + kSpareLines) * 4;
    if (want > UINT32_MAX) return false;
    return ResizeHandle(te->lineStarts, uint32_t(want));
}

// Stores a new line-start table; when it cannot grow, the lines that fit are kept and the
// last one runs to the end of the text.
void StoreLines(VXTERecord* te, std::vector<uint32_t>& starts) {
    if (!EnsureLines(te, uint32_t(starts.size() - 1))) {
        const uint32_t room = SizeOfHandle(te->lineStarts) / 4;
        const uint32_t end = starts.back();
        starts.resize(std::max<uint32_t>(room, 2));
        starts.back() = end;
    }
    std::memcpy(TEStarts(te), starts.data(), starts.size() * 4);
    te->lineCount = uint32_t(starts.size() - 1);
}

}  // namespace

bool TEEnsureLineRoom(VXTERecord* te, uint32_t count) { return EnsureLines(te, count); }

void VXTECalText(VXTERecord* te) {
    if (!te) return;
    TEPortScope port(te);
    const int32_t target = TELayoutEnd(te);
    std::vector<uint32_t> starts{0};
    gWidestWidth = 0;
    gWidestLine = 0;
    int32_t pos = 0;
    while (pos < target) {
        int32_t width;
        const int32_t next = NextLineEnd(te, pos, &width);
        if (next <= pos) break;
        if (width > gWidestWidth) {
            gWidestWidth = width;
            gWidestLine = int32_t(starts.size() - 1);
        }
        starts.push_back(uint32_t(next));
        pos = next;
    }
    if (starts.size() == 1) starts.push_back(uint32_t(target));
    starts.back() = uint32_t(target);
    StoreLines(te, starts);
}

// Re-lays the lines after [at, at + removed) became inserted units: from the line before the
// edit until a recomputed end meets an old line start beyond the edit (at the latest the start
// that follows the paragraph's CR, or the end of the text); invalidates what moved.
void TEReflowAfterEdit(VXTERecord* te, const std::vector<uint32_t>& oldStarts, int32_t at,
                       int32_t removed, int32_t inserted) {
    TEPortScope port(te);
    const int32_t oldCount = int32_t(oldStarts.size() - 1);
    // An edit may join or part characters around it (a mark or the half of a flag on either side):
    // the lines are laid again from a boundary before the edit that holds whatever stands around
    // it, and the old lines are taken again only from such a boundary after it on.
    // Before the edit that boundary is also one where the measuring cuts the text (a break, or a
    // space and a letter of the first blocks): what is measured before it is measured alike,
    // whatever follows (a joiner, say, is as wide as the character after it makes it).
    const int32_t length = int32_t(te->length);
    int32_t settledBefore = at, settledAfter = std::min(at + inserted + 1, length);
    {
        const char16_t* u = TEUnits(te);
        for (; settledBefore > 0; settledBefore--) {
            const int32_t p = settledBefore;
            const char16_t before = u[p - 1], here = p < length ? u[p] : 0;
            if (before == kTECR && here == kTELF) continue;
            if (IsBreakUnit(before)) break;
            if (p < at && (IsBreakUnit(here) || (before == kTESpace && here != kTESpace && SimpleUnit(here))))
                break;
        }
    }
    while (settledAfter < length && !TECertainBoundary(te, settledAfter)) settledAfter++;
    // The last line that starts at or before the edit.
    const auto after =
        std::upper_bound(oldStarts.begin() + 1, oldStarts.begin() + oldCount, uint32_t(settledBefore));
    const int32_t line = int32_t(after - oldStarts.begin()) - 1;
    // A line before the edit keeps its end when the text from its start to the edit already
    // overflows the wrap width with something other than spaces after the overflow, or holds
    // a CR. Short lines (a long word broken up, a TAB) can let an edit move words up several
    // lines, so the search goes back as far as that is not so.
    int32_t first = line;
    while (first > 0 && !te->noWrap) {
        const int32_t s = int32_t(oldStarts[first - 1]);
        const TEFit fit = TEFitChars(te, s, settledBefore, TEWrapWidth(te));
        if (fit.hitCR) break;
        if (fit.overflow) {
            const char16_t* u = TEUnits(te);
            int32_t k = fit.end;
            while (k < settledBefore && u[k] == kTESpace) k++;
            if (k < settledBefore) k = TECharacterEnd(te, k);  // as a line takes the spaces
            if (k < settledBefore) break;
        }
        first--;
    }
    // The old start of line k after the edit, shifted; -1 for one inside the removed range.
    auto shifted = [&](int32_t k) -> int64_t {
        const int64_t s = oldStarts[size_t(k)];
        return s > at + removed ? s + inserted - removed : s > at ? -1 : s;
    };
    const int32_t target = TELayoutEnd(te);
    std::vector<uint32_t> fresh;
    int32_t pos = int32_t(oldStarts[first]);
    int32_t syncLine = -1;
    int32_t candidate = first + 1;  // old lines are passed once: new ends only grow
    bool done = false;
    while (!done) {
        if (pos >= target) {  // the line at pos is gone
            done = true;
            break;
        }
        int32_t width;
        const int32_t next = NextLineEnd(te, pos, &width);
        if (next <= pos) break;
        fresh.push_back(uint32_t(next));
        if (next >= target) {
            done = true;
            break;
        }
        if (next > at + inserted && next >= settledAfter) {
            while (candidate < oldCount && shifted(candidate) < next) candidate++;
            if (candidate < oldCount && shifted(candidate) == next) {
                syncLine = candidate;
                done = true;
            }
        }
        pos = next;
    }
    std::vector<uint32_t> starts;
    if (!done) {
        VXTECalText(te);
        LRect all = te->viewRect;
        VXLTEInvalRect(te, &all);
        return;
    }
    starts.assign(oldStarts.begin(), oldStarts.begin() + first + 1);
    starts.insert(starts.end(), fresh.begin(), fresh.end());
    if (syncLine >= 0)
        for (int32_t k = syncLine + 1; k <= oldCount; k++) starts.push_back(uint32_t(shifted(k)));
    if (starts.size() == 1) starts.push_back(uint32_t(target));
    starts.back() = uint32_t(target);
    StoreLines(te, starts);
    const int32_t top = te->destRect.top + te->scrollOffset;
    LRect r{top + first * te->lineHeight, te->viewRect.left, te->viewRect.bottom,
            te->viewRect.right};
    if (syncLine >= 0 && int32_t(te->lineCount) == oldCount)
        r.bottom = top + (first + int32_t(fresh.size())) * te->lineHeight + 1;
    VXLTEInvalRect(te, &r);
}

int32_t VXTELineNumberFromCharIndex(int32_t index, VXTERecord* te) {
    if (!te || index <= 0 || te->length == 0 || te->lineCount <= 1) return 0;
    if (uint32_t(index) >= te->length) return int32_t(te->lineCount) - 1;
    const uint32_t* starts = TEStarts(te);
    int32_t lo = 0, hi = int32_t(te->lineCount) - 1;
    while (lo < hi) {
        const int32_t mid = (lo + hi + 1) / 2;
        if (starts[mid] <= uint32_t(index)) lo = mid;
        else hi = mid - 1;
    }
    return lo;
}

int32_t GetLineContentCount(VXTERecord* te, int32_t line, bool trim, int32_t* start) {
    int32_t s = TELineStart(te, line), e = TELineEnd(te, line);
    const char16_t* u = TEUnits(te);
    if (s < e && u[s] == kTELF && s > 0 && u[s - 1] == kTECR) s++;
    const bool endsWithCR = e > s && u[e - 1] == kTECR;
    if (endsWithCR) e--;
    if (trim && !endsWithCR && !te->noWrap && line + 1 < int32_t(te->lineCount)) {
        while (e > s && u[e - 1] == kTESpace) e--;
        if (e > s && u[e - 1] == kTETab) e--;
    }
    if (start) *start = s;
    return e - s;
}

int32_t TELineLeft(VXTERecord* te, int32_t line) {
    int32_t h = te->destRect.left + 1;
    if (te->just == kTEJustLeft) return h;
    int32_t s;
    const int32_t n = GetLineContentCount(te, line, true, &s);
    const int32_t slack = te->destRect.right - te->destRect.left - TEMeasureRange(te, s, s + n) - 1;
    return h + (te->just == kTEJustRight ? slack : slack / 2);
}

int32_t TELineTop(VXTERecord* te, int32_t line) {
    return te->destRect.top + te->scrollOffset + line * te->lineHeight;
}

bool TEWrapsAt(VXTERecord* te, int32_t line) {
    if (te->noWrap || line + 1 >= int32_t(te->lineCount)) return false;
    const int32_t e = TELineEnd(te, line);
    return e > 0 && TEUnits(te)[e - 1] != kTECR;
}

int32_t VXLTEGetCharIndex(const _LPNT* point, VXTERecord* te) {
    if (!te || !point) return 0;
    TEPortScope port(te);
    te->caretBeforeWrap = 0;
    if (te->length == 0) return 0;
    const int32_t dy = point->v - te->destRect.top - te->scrollOffset;
    if (dy < 0) return 0;
    const int32_t line = dy / std::max<int32_t>(te->lineHeight, 1);
    if (line >= int32_t(te->lineCount)) return int32_t(te->length);
    int32_t s;
    const int32_t n = GetLineContentCount(te, line, false, &s);
    const int32_t x = point->h - TELineLeft(te, line);
    if (x <= 0) return s;
    const TEFit fit = TEFitChars(te, s, s + n, x);
    int32_t index = fit.overflow ? (fit.firstHalf ? fit.end : fit.overflowEnd) : s + n;
    if (index >= s + n) {
        index = s + n;
        if (TEWrapsAt(te, line)) {
            index = TELineEnd(te, line);
            te->caretBeforeWrap = 1;
        }
    }
    return index;
}

void VXLTEGetPoint(int32_t index, _LPNT* out, VXTERecord* te) {
    if (!te) return;
    TEPortScope port(te);
    const bool caret = index < 0 && !out;
    if (index < 0) index = int32_t(te->selStart);
    index = std::min(index, int32_t(te->length));
    int32_t line = VXTELineNumberFromCharIndex(index, te);
    // An index at the end of the text after a final CR stands on the empty last line.
    if (TEEndsWithCR(te) && index == int32_t(te->length)) line = int32_t(te->lineCount) - 1;
    if (line > 0 && index == TELineStart(te, line) && te->caretBeforeWrap && !te->noWrap &&
        TEUnitAt(te, index - 1) != kTECR)
        line--;
    _LPNT p;
    p.v = TELineTop(te, line) + te->baseLineOffset;
    int32_t s;
    const int32_t n = GetLineContentCount(te, line, true, &s);
    p.h = TELineLeft(te, line) + TEMeasureRange(te, s, std::clamp(index, s, s + n));
    if (out) *out = p;
    if (caret || !out) te->caretPoint = p;
}

bool VXTEGetVisibleRectForRange(VXTERecord* te, int32_t start, int32_t end, LRect* out) {
    if (!te || !out) return false;
    const int32_t a = VXTELineNumberFromCharIndex(start, te);
    const int32_t b = VXTELineNumberFromCharIndex(end < 0 ? int32_t(te->length) : end, te);
    LRect r{TELineTop(te, std::min(a, b)), te->destRect.left,
            TELineTop(te, std::max(a, b) + 1), te->destRect.right};
    if (te->features & kTEFeatureNoClip) {
        *out = r;
        return !EmptyRect32(out);
    }
    return SectRect32(&r, &te->viewRect, out);
}

bool VXLTELinesVisible(const LRect* rect, VXTERecord* te, int32_t* first, int32_t* last) {
    LRect area;
    const LRect whole = rect ? *rect : te->viewRect;
    if (!SectRect32(&whole, &te->viewRect, &area)) {
        *first = -1;
        *last = -2;
        return false;
    }
    const int32_t lh = std::max<int32_t>(te->lineHeight, 1);
    const int32_t origin = te->destRect.top + te->scrollOffset;
    *first = std::max(0, (area.top - origin) / lh);
    *last = std::min((area.bottom - origin - 1) / lh, int32_t(te->lineCount) - 1);
    return *first <= *last;
}

void VXLTEInvalRect(VXTERecord* te, const LRect* rect) {
    if (!te) return;
    LRect r;
    if (!rect) r = te->viewRect;
    else if (!SectRect32(rect, &te->viewRect, &r)) return;
    TEInvalRect(te, &r);
}

void VXLTEGetAlignmentPoint(VXTERecord* te, _LPNT* out) {
    out->v = te->destRect.top + te->baseLineOffset + te->scrollOffset;
    out->h = te->destRect.left + 1;
    const int32_t inner = te->destRect.right - te->destRect.left - 1;
    if (te->just == kTEJustRight) out->h += inner;
    else if (te->just == kTEJustCenter) out->h += inner / 4;
}

// ---- Drawing ----

namespace {

void FillSelection(VXTERecord* te, const LRect& r) {
    LRect clipped;
    if (!SectRect32(&r, &te->viewRect, &clipped)) return;
    VXLRectDispatch(&clipped, 1);
}

void DrawSelection(VXTERecord* te) {
    if (!te->window || !te->window->port) return;
    QZSetColor(te->window->port, te->active ? kTESelectionBrush : te->hiliteColor, false);
    _LPNT a, b;
    VXLTEGetPoint(int32_t(te->selStart), &a, te);
    VXLTEGetPoint(int32_t(te->selEnd), &b, te);
    const int32_t lh = te->lineHeight;
    const int32_t topA = a.v - te->baseLineOffset, topB = b.v - te->baseLineOffset;
    if (topA == topB) {
        FillSelection(te, {topA, a.h, topA + lh, b.h});
    } else {
        FillSelection(te, {topA, a.h, topA + lh, te->viewRect.right});
        if (topB > topA + lh) FillSelection(te, {topA + lh, te->viewRect.left, topB, te->viewRect.right});
        FillSelection(te, {topB, te->viewRect.left, topB + lh, b.h});
    }
    QZSetColor(te->window->port, te->foreColor, false);
}

}  // namespace

namespace {

// A point turned by the text-box rotation about its origin.
_LPNT Turned(_LPNT p, int16_t rotation) {
    VXLRotatePointTenthDegrees(&p, &gBoxOrigin, int32_t(rotation) * 10);
    return p;
}

// Erases the area turned by the rotation: a rectangle for quarter turns (its excluded edges
// stay excluded after the turn), else a polygon.
void EraseTurned(const LRect& area, int16_t rotation) {
    const _LPNT corners[4] = {Turned({area.top, area.left}, rotation),
                              Turned({area.top, area.right}, rotation),
                              Turned({area.bottom, area.right}, rotation),
                              Turned({area.bottom, area.left}, rotation)};
    if (rotation % 90 == 0) {
        const _LPNT& a = corners[0];
        const _LPNT& c = corners[2];
        LRect r{std::min(a.v, c.v), std::min(a.h, c.h), std::max(a.v, c.v), std::max(a.h, c.h)};
        if (c.v < a.v) OffsetRect32(&r, 0, 1);
        if (c.h < a.h) OffsetRect32(&r, 1, 0);
        VXLRectDispatch(&r, 2);
        return;
    }
    VXLPolyDispatch(corners, nullptr, 4, 2);
}

}  // namespace

void VXLTEUpdate(const LRect* rect, VXTERecord* te) {
    if (!te) return;
    TEPortScope port(te);
    VXLTEGetPoint(-1, nullptr, te);
    LRect area;
    const LRect whole = rect ? *rect : te->viewRect;
    if (!SectRect32(&whole, &te->viewRect, &area)) return;
    const int16_t rotation = NormalizeRotationDegrees(gBoxRotation);
    if (!(te->features & kTEFeatureNoErase)) {
        if (rotation) EraseTurned(area, rotation);
        else VXLRectDispatch(&area, 2);
    }
    if (rotation == 0 && te->selStart != te->selEnd &&
        (te->active || (te->features & kTEFeatureDrawInactiveSelection)))
        DrawSelection(te);
    int32_t first, last;
    if (VXLTELinesVisible(&area, te, &first, &last)) {
        const int16_t tab = te->just != kTEJustLeft ? 0 : int16_t(te->tabWidth);
        const uint16_t flags = uint16_t((te->just != kTEJustLeft ? 4 : 0) |
                                        (te->features & kTEFeaturePassword));
        for (int32_t line = first; line <= last; line++) {
            int32_t s;
            const int32_t n = GetLineContentCount(te, line, false, &s);
            if (n <= 0) continue;
            const _LPNT origin = Turned({TELineTop(te, line) + te->baseLineOffset, TELineLeft(te, line)}, rotation);
            VXDrawTextLine(&origin, 0, TEUnits(te) + s, n, kEncodingUTF16LE, tab, uint16_t(rotation), flags);
        }
    }
    if (rotation == 0 && te->caretShown && te->active && te->selStart == te->selEnd) {
        VXPenNormal();
        VXSetCapRound(false);
        gDrawingCaretLine = true;
        VXMoveTo(te->caretPoint.h, te->caretPoint.v - te->baseLineOffset);
        VXLLine(0, te->lineHeight - 1);
        gDrawingCaretLine = false;
    }
}

void VXTEScroll(int32_t dh, int32_t dv, VXTERecord* te) {
    if (!te) return;
    dv = std::min(dv, te->viewRect.top - te->destRect.top);
    dh = std::min(dh, te->viewRect.left - te->destRect.left);
    if (dh == 0 && dv == 0) return;
    OffsetRect32(&te->destRect, dh, dv);
    te->caretPoint.h += dh;
    te->caretPoint.v += dv;
    VXLTEInvalRect(te, nullptr);
}

// ---- Record ----

void VXTEInit() { TEClearScrap(); }

void VXTESetHooks(const VXTEHooks& hooks) { gTEHooks = hooks; }
const VXTEHooks& VXTEGetHooks() { return gTEHooks; }

void VXTECalcStyleMetrics(txStyle* style, int16_t* lineHeight, int16_t* ascent, int16_t* descent) {
    StyleMetrics m{};
    GetStyleMetrics(style, &m);
    const int16_t a = int16_t(m.ascent + 2), d = int16_t(m.descent + 1);
    if (ascent) *ascent = a;
    if (descent) *descent = d;
    if (lineHeight) *lineHeight = int16_t(a + d);
}

void VXTESetStyle(const txStyle* style, uint32_t mask, VXTERecord* te) {
    if (!te || !te->style) return;
    if (style) InstallStyleInStyle(style, te->style, mask & (kStyleFont | kStyleSize | kStyleFace));
    int16_t lh, ascent, descent;
    VXTECalcStyleMetrics(te->style, &lh, &ascent, &descent);
    te->lineHeight = uint16_t(std::max<int16_t>(lh, 1));
    te->baseLineOffset = uint16_t(ascent);
    te->descentPart = uint16_t(descent);
    TEPortScope port(te);
    te->fixedTabWidth = uint8_t(std::clamp<int16_t>(VXCalcFixedTabCharacterWidth(), 0, 255));
    te->barWidth = uint16_t(std::min<uint32_t>(VXMeasureTextBytes("|", 1, kEncodingMacRoman, false), 65535));
    if (te->tabChars) te->tabWidth = uint16_t(te->tabChars * te->fixedTabWidth);
}

VXTERecord* VXTENewUsingStyle(const LRect* dest, const LRect* view, int32_t styleKind) {
    auto* te = reinterpret_cast<VXTERecord*>(AllocPtrClear(nullptr, sizeof(VXTERecord)));
    if (!te) return nullptr;
    te->window = VXGetCurrentGrafState();
    te->text = AllocHandle(nullptr, kInitialTextUnits * 2);
    te->lineStarts = AllocHandleClear(nullptr, (2 + kSpareLines) * 4);
    te->style = CreateTextStyle(nullptr, nullptr);
    if (!te->text || !te->lineStarts || !te->style) {
        VXTEDispose(te);
        return nullptr;
    }
    if (styleKind == kTEStyleCurrent && te->window && te->window->textStyle)
        CopyTextStyle(te->window->textStyle, te->style);
    else
        SetupDefaultStyle(te->style, styleKind == kTEStyleCurrent ? kStyleUser : styleKind);
    te->destRect = *dest;
    te->viewRect = *view;
    te->foreColor = te->window ? VXGetForeColor() : kVXDefaultForeColor;
    te->backColor = te->window ? VXGetBackColor() : kVXDefaultBackColor;
    te->hiliteColor = kTEHighlightColor;
    te->tabChars = 4;
    te->lineCount = 1;
    te->clickIndex = -1;
    te->nextBlink = TETicks();
    te->clickTime = te->nextBlink;
    te->textMode = uint8_t(VXGetTextMode());
    VXTESetStyle(nullptr, kStyleFont | kStyleSize | kStyleFace, te);
    VXLTEGetPoint(-1, nullptr, te);
    return te;
}

void VXTEDispose(VXTERecord* te) {
    if (!te) return;
    if (gTEHooks.getActive && gTEHooks.setActive && gTEHooks.getActive(te->window) == te)
        gTEHooks.setActive(te->window, nullptr);
    if (te->text) MemFree(te->text);
    if (te->lineStarts) MemFree(te->lineStarts);
    if (te->style) DestroyTextStyle(te->style);
    MemFreePtr(reinterpret_cast<Ptr>(te));
}

bool TEDecode(const void* bytes, int32_t byteCount, uint32_t encoding, std::u16string* out) {
    out->clear();
    if (!bytes) return byteCount == 0;
    byteCount = VXResolveTextCount(bytes, byteCount, encoding);
    if (encoding == kEncodingUTF16LE) {
        out->resize(size_t(byteCount / 2));
        std::memcpy(out->data(), bytes, out->size() * 2);
        return true;
    }
    // Decoded in pieces between NULs, so that an embedded NUL neither cuts the text nor fails.
    const char* p = static_cast<const char*>(bytes);
    int32_t from = 0;
    for (int32_t i = 0; i <= byteCount; i++) {
        if (i < byteCount && p[i] != 0) continue;
        if (i > from) {
            const std::string piece(p + from, size_t(i - from));
            const std::u16string decoded = TempCFStringUsing(piece.c_str(), encoding);
            if (decoded.empty()) return false;
            *out += decoded;
        }
        if (i < byteCount) out->push_back(0);
        from = i + 1;
    }
    return true;
}

void TEApplyLFRule(std::u16string* text) {
    char16_t previous = 0;  // as the text had it, before this pass turned it
    for (char16_t& unit : *text) {
        const char16_t original = unit;
        if (unit == kTELF && previous != kTECR) unit = kTECR;
        previous = original;
    }
}

bool TEEnsureTextRoom(VXTERecord* te, uint64_t units) {
    if (units > UINT32_MAX / 2 - kInitialTextUnits) return false;
    if (SizeOfHandle(te->text) >= units * 2) return true;
    return ResizeHandle(te->text, uint32_t(units + kInitialTextUnits) * 2);
}

bool VXTESetText(const void* bytes, int32_t byteCount, uint32_t encoding, VXTERecord* te) {
    if (!te) return false;
    std::u16string text;
    if (!TEDecode(bytes, byteCount, encoding, &text)) return false;
    TEApplyLFRule(&text);
    if (!TEEnsureTextRoom(te, text.size())) return false;
    std::memcpy(*te->text, text.data(), text.size() * 2);
    te->length = uint32_t(text.size());
    te->selStart = te->selEnd = te->length;
    te->caretBeforeWrap = 0;
    VXTECalText(te);
    VXLTEGetPoint(-1, nullptr, te);
    return true;
}

Handle VXTEGetTextDataForRange(VXTERecord* te, int32_t start, int32_t end, uint32_t encoding) {
    if (!te) return nullptr;
    if (end < 0 || uint32_t(end) > te->length) end = int32_t(te->length);
    start = std::max(start, 0);
    if (end < start) return nullptr;
    const std::u16string_view text(TEUnits(te) + start, size_t(end - start));
    if (encoding == kEncodingUTF16LE) return AllocHandleWithData(nullptr, text.data(), uint32_t(text.size() * 2));
    const uint32_t size = GetCFStringByteSize(text, encoding);
    const uint32_t terminator = 1;
    Handle h = AllocHandle(nullptr, size);
    if (!h) return nullptr;
    ExtractCFStringTo(text, *h, size, encoding);
    ResizeHandle(h, size - terminator);
    return h;
}

void VXTEGetTextAsString(VXTERecord* te, char* buffer, uint32_t size) {
    if (!te || !buffer || size == 0) return;
    ExtractCFStringTo(std::u16string_view(TEUnits(te), te->length), buffer, size, kEncodingUTF8);
}

void VXTESetTabWidth(int32_t characters, int32_t pixels, VXTERecord* te) {
    if (!te) return;
    const int32_t width = characters != 0 ? characters * te->fixedTabWidth : pixels;
    te->tabWidth = uint16_t(std::clamp(width, 0, 65535));
}

bool VXTEFeatureFlag(uint16_t flags, int32_t op, VXTERecord* te) {
    if (!te) return false;
    if (op == 1) te->features |= flags;
    else if (op == 0) te->features &= uint16_t(~flags);
    return (te->features & flags) != 0;
}

void VXTEAutoView(bool on, VXTERecord* te) { VXTEFeatureFlag(kTEFeatureAutoView, on ? 1 : 0, te); }

void VXTEBaseLineFromTopLeft(_LPNT* point, txStyle* style) {
    txStyle* s = style ? style : GetScratchStyle();
    int16_t ascent;
    VXTECalcStyleMetrics(s, nullptr, &ascent, nullptr);
    if (!style) ReleaseScratchStyle(s);
    point->v += ascent;
    point->h += 1;
}

void VXTETopLeftFromBaseLine(_LPNT* point, txStyle* style) {
    txStyle* s = style ? style : GetScratchStyle();
    int16_t ascent;
    VXTECalcStyleMetrics(s, nullptr, &ascent, nullptr);
    if (!style) ReleaseScratchStyle(s);
    point->v -= ascent;
    point->h -= 1;
}

void VXTESetTextBoxRotation(int16_t degrees, const _LPNT* origin) {
    gBoxRotation = degrees;
    if (origin) gBoxOrigin = *origin;
}

void VXTEGetWidestLine(int32_t* width, int32_t* line) {
    if (width) *width = gWidestWidth;
    if (line) *line = gWidestLine;
}

// ---- Text boxes ----

namespace {

// A temporary record over the rectangle in the current style with the text box's tab rule.
VXTERecord* BoxRecord(const LRect* rect, int32_t styleKind, int32_t tab) {
    VXTERecord* te = VXTENewUsingStyle(rect, rect, styleKind);
    if (!te) return nullptr;
    if (tab < 0) VXTESetTabWidth(0, -tab, te);
    else if (tab > 0) VXTESetTabWidth(tab, 0, te);
    return te;
}

}  // namespace

bool VXTECalcBoxWithStyle(const void* text, int32_t byteCount, uint32_t encoding,
                          int32_t styleKind, int32_t tab, LRect* rect, int32_t* widestStart,
                          int32_t* widestLength, int32_t* lineCount) {
    VXTERecord* te = BoxRecord(rect, styleKind, tab);
    if (!te) return false;
    if (!VXTESetText(text, byteCount, encoding, te)) {
        VXTEDispose(te);
        return false;
    }
    VXTECalText(te);
    int32_t width, line;
    VXTEGetWidestLine(&width, &line);
    rect->right = int32_t(std::min<int64_t>(int64_t(rect->left) + width + 1, 32767));
    rect->bottom = int32_t(std::min<int64_t>(int64_t(rect->top) + int64_t(te->lineHeight) * te->lineCount, 32767));
    int32_t start = 0;
    const int32_t count = GetLineContentCount(te, line, true, &start);
    if (widestStart) *widestStart = start;
    if (widestLength) *widestLength = count;
    if (lineCount) *lineCount = int32_t(te->lineCount);
    VXTEDispose(te);
    return true;
}

void VXTETextBox(const void* text, int32_t byteCount, const LRect* rect, int16_t just,
                 int32_t tab, uint16_t flags) {
    if (!rect) return;
    const int32_t count = text ? VXResolveTextCount(text, byteCount, kEncodingUTF8) : 0;
    VXGrafState* state = VXGetCurrentGrafState();
    if (count == 0) {
        if (!(flags & kTEFeatureNoErase)) VXLRectDispatch(rect, 2);
        return;
    }
    const auto* bytes = static_cast<const char*>(text);
    const bool simple = (flags & 0x2000) && gBoxRotation == 0 && just == kTEJustLeft &&
                        !std::memchr(bytes, kTECR, size_t(count)) &&
                        !std::memchr(bytes, kTETab, size_t(count));
    if (simple && state) {
        const bool clip = !(flags & kTEFeatureNoClip);
        if (clip) VXLSectClipRect(state, rect, true);
        if (!(flags & kTEFeatureNoErase)) VXLRectDispatch(rect, 2);
        int16_t ascent;
        VXTECalcStyleMetrics(state->textStyle, nullptr, &ascent, nullptr);
        const bool previous = VXAntialiasGraphics(!(flags & 0x4000));
        VXMoveTo(rect->left + 1, rect->top + ascent);
        VXLDrawTextWithEncoding(text, count, kEncodingUTF8);
        VXAntialiasGraphics(previous);
        if (clip) VXPopClip(state);
        return;
    }
    VXTERecord* te = BoxRecord(rect, kTEStyleCurrent, tab);
    if (!te) return;
    te->just = uint16_t(just);
    te->noWrap = (flags & 0x2000) ? 1 : 0;
    te->features |= uint16_t(flags & 0x9FFF);
    if (VXTESetText(text, count, kEncodingUTF8, te)) VXLTEUpdate(rect, te);
    VXTEDispose(te);
}

}  // namespace plexa
