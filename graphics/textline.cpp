// Text slots, measuring, tabs, bullets, one-line drawing and truncation over the text hooks.
#include "graphics/textline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

// ---- The renderer's text hooks ----

// The byte offset of each UTF-16 unit the renderer decodes the text into, then the byte count;
// empty when the text is not well-formed (the renderer then substitutes characters).
std::vector<uint32_t> UnitBytes(const uint8_t* text, int32_t count, uint32_t encoding) {
    std::vector<uint32_t> map;
    if (encoding == kEncodingUTF16LE) {
        for (int32_t i = 0; i + 1 < count; i += 2) map.push_back(uint32_t(i));
    } else if (encoding == kEncodingUTF8) {
        for (int32_t i = 0; i < count;) {
            const uint8_t b = text[i];
            const int32_t n = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3
                            : (b & 0xF8) == 0xF0 ? 4 : 0;
            if (n == 0 || i + n > count) return {};
            for (int32_t k = 1; k < n; k++)
                if ((text[i + k] & 0xC0) != 0x80) return {};
            map.push_back(uint32_t(i));
            if (n == 4) map.push_back(uint32_t(i));
            i += n;
        }
    } else {
        for (int32_t i = 0; i < count; i++) map.push_back(uint32_t(i));
    }
    map.push_back(uint32_t(count));
    return map;
}

const QZTextAttributes* StateAttributes(const VXGrafState* s) {
    return s && s->textStyle ? EstablishAttributesForStyle(s->textStyle) : nullptr;
}

bool RendererLayout(const VXGrafState* s, const void* text, int32_t count, uint32_t encoding,
                    VXTextLayout* out) {
    const QZTextAttributes* attributes = StateAttributes(s);
    if (!attributes) return false;
    CTLineRef line = CTLineFromText(text, count, encoding, *attributes);
    if (!line) return false;
    out->width = line->width();
    const std::vector<uint32_t> map = UnitBytes(static_cast<const uint8_t*>(text), count, encoding);
    const size_t n = line->characterCount();
    if (map.size() != line->text().size() + 1) {
        // Text the renderer had to mend: one character for the whole run.
        out->starts = {0, uint32_t(count)};
        out->offsets = {0, out->width};
        return true;
    }
    for (size_t i = 0; i <= n; i++) {
        out->starts.push_back(map[std::min(line->characterStart(i), map.size() - 1)]);
        out->offsets.push_back(line->characterOffset(i));
    }
    out->starts.back() = uint32_t(count);
    return true;
}

void RendererDraw(VXGrafState* s, const void* text, int32_t count, uint32_t encoding,
                  int32_t rotation, bool mirror, int32_t numerator, int32_t denominator) {
    if (const QZTextAttributes* attributes = StateAttributes(s))
        QZDrawText(s->port, *attributes, encoding, text, count, rotation, mirror, numerator,
                   denominator);
}

const VXTextHooks kRendererTextHooks = {RendererLayout, RendererDraw};
const VXTextHooks* gTextHooks = &kRendererTextHooks;

constexpr uint8_t kBulletMacRoman = 0xA5;
constexpr uint8_t kBulletUTF16[2] = {0x22, 0x20};   // U+2022
constexpr char kEllipsis[] = "\xE2\x80\xA6";       // U+2026
constexpr int32_t kPasswordStackChars = 32;
constexpr int32_t kTabMinGap = 5;
constexpr uint16_t kTab = 9;

int32_t UnitSize(uint32_t encoding) { return encoding == kEncodingUTF16LE ? 2 : 1; }

// Lays out a run; false without hooks, for an empty run, or when the hooks give a layout
// that does not cover the run.
bool Layout(const VXGrafState* s, const void* text, int32_t count, uint32_t encoding,
            VXTextLayout* out) {
    *out = VXTextLayout{};
    if (!s || !text || count <= 0 || !gTextHooks || !gTextHooks->layout) return false;
    if (!gTextHooks->layout(s, text, count, encoding, out)) return false;
    const size_t n = out->starts.size();
    if (n < 1 || out->offsets.size() != n || out->starts.front() != 0 ||
        out->starts.back() != uint32_t(count))
        return false;
    for (size_t i = 1; i < n; i++)
        if (out->starts[i] < out->starts[i - 1]) return false;
    return true;
}

// The size ratio of measuring at the window's zoom: (vertical percent) / 100 when asked for,
// in the content pane, at a scale or box other than 100 %; else 100 / 100.
bool ZoomRatio(const VXGrafState* s, bool scaled, int32_t* numerator) {
    *numerator = 100;
    if (!scaled || s->geometry.pane != -1) return false;
    const Point box = s->geometry.scaledBox;
    if (!(s->geometry.flags & kWindowFlagScaled) && box.v == 100 && box.h == 100) return false;
    *numerator = box.v;
    return true;
}

int32_t Round(double x) { return RoundToInt32(x); }

// The character boundary nearest to x: 0 to the number of characters.
int32_t CharacterAt(const VXTextLayout& l, double x) {
    const size_t n = l.starts.size() - 1;
    for (size_t i = 0; i < n; i++)
        if (x < (l.offsets[i] + l.offsets[i + 1]) / 2) return int32_t(i);
    return int32_t(n);
}

// The number of characters (code points) in a run, for bullets.
int32_t CodePoints(const uint8_t* text, int32_t bytes, uint32_t encoding) {
    int32_t n = 0;
    if (encoding == kEncodingUTF8) {
        for (int32_t i = 0; i < bytes; i++) n += (text[i] & 0xC0) != 0x80;
    } else if (encoding == kEncodingUTF16LE) {
        for (int32_t i = 0; i + 1 < bytes; i += 2) {
            const uint16_t u = uint16_t(text[i] | (text[i + 1] << 8));
            n += !(u >= 0xDC00 && u <= 0xDFFF);
        }
    } else {
        n = bytes;
    }
    return n;
}

uint16_t UnitAt(const uint8_t* text, int32_t unit, uint32_t encoding) {
    if (encoding == kEncodingUTF16LE) return uint16_t(text[2 * unit] | (text[2 * unit + 1] << 8));
    return text[unit];
}

// Runs a procedure with a buffer of count bullets (on the stack up to 32); without a buffer
// the procedure gets null.
template <class F>
auto WithBullets(int32_t count, F&& f) {
    uint8_t local[kPasswordStackChars];
    std::unique_ptr<uint8_t[]> heap;
    uint8_t* buffer = local;
    if (count > kPasswordStackChars) {
        heap.reset(new (std::nothrow) uint8_t[size_t(count)]);
        buffer = heap.get();
    }
    if (buffer) std::memset(buffer, kBulletMacRoman, size_t(count));
    return f(buffer);
}

}  // namespace

const VXTextHooks* VXSetTextHooks(const VXTextHooks* hooks) {
    const VXTextHooks* previous = gTextHooks;
    gTextHooks = hooks ? hooks : &kRendererTextHooks;
    return previous;
}

const VXTextHooks* VXGetTextHooks() { return gTextHooks; }

bool VXLayoutText(const void* text, int32_t count, uint32_t encoding, VXTextLayout* out) {
    return Layout(VXGetCurrentGrafState(), text, count, encoding, out);
}

int32_t VXResolveTextCount(const void* text, int32_t count, uint32_t encoding) {
    if (count >= 0 || !text) return std::max(count, 0);
    const auto* p = static_cast<const uint8_t*>(text);
    if (encoding == kEncodingUTF16LE) {
        int32_t i = 0;
        while ((p[i] | p[i + 1]) != 0 && i < INT32_MAX - 2) i += 2;
        return i;
    }
    return int32_t(std::strlen(static_cast<const char*>(text)));
}

void VXStdText(const void* text, int32_t count, uint32_t encoding) {
    VXGrafState* s = VXGetCurrentGrafState();
    if (s && s->displayList) {
        const VXDisplayListRecorder* recorder = VXGetDisplayListRecorder();
        if (recorder && recorder->text) recorder->text(s, text, count, encoding);
        return;
    }
    VXLStdText(text, count, encoding);
}

void VXLStdText(const void* text, int32_t count, uint32_t encoding) {
    VXGrafState* s = VXGetCurrentGrafState();
    if (!s || !s->port || !text) return;
    count = VXResolveTextCount(text, count, encoding);
    if (count == 0 || !gTextHooks || !gTextHooks->draw) return;
    QZPort* port = s->port;
    const bool mirror = s->textMirror;
    if (!(s->geometry.flags & kWindowFlagScaled)) {
        gTextHooks->draw(s, text, count, encoding, s->textRotation, mirror, 100, 100);
        return;
    }
    // Text is not a stroke: the pen size stays; only its location goes to the window's scale.
    _LPNT pen = port->pen;
    LPointsToScale(&s->geometry, &pen, 1);
    QZMoveTo(port, pen.h, pen.v);
    const int32_t numerator = s->geometry.pane == -1 ? s->geometry.scaledBox.v : 100;
    gTextHooks->draw(s, text, count, encoding, s->textRotation, mirror, numerator, 100);
    pen = port->pen;
    LPointsFromScale(&s->geometry, &pen, 1);
    QZMoveTo(port, pen.h, pen.v);
}

uint32_t VXMeasureTextBytes(const void* text, int32_t count, uint32_t encoding, bool scaled) {
    VXGrafState* s = VXGetCurrentGrafState();
    if (!s) return 0;
    VXTextLayout l;
    if (!Layout(s, text, VXResolveTextCount(text, count, encoding), encoding, &l)) return 0;
    int32_t numerator;
    if (!ZoomRatio(s, scaled, &numerator)) return uint32_t(std::max(0, Round(l.width)));
    const int32_t width = Round(l.width * numerator / 100.0);
    return uint32_t(std::max(0, MulDiv32(width, kFixed24One, s->geometry.scaleV)));
}

int32_t VXGetTextExtents(const void* text, int32_t count, uint32_t encoding, uint32_t* offsets,
                         size_t capacity, bool scaled) {
    if (!offsets) capacity = 0;
    if (capacity > 0) offsets[0] = 0;
    VXGrafState* s = VXGetCurrentGrafState();
    VXTextLayout l;
    if (!s || !Layout(s, text, VXResolveTextCount(text, count, encoding), encoding, &l)) return 0;
    int32_t numerator;
    const bool zoom = ZoomRatio(s, scaled, &numerator);
    const int32_t horizontal = s->geometry.scaledBox.h;
    const size_t n = l.starts.size() - 1;
    for (size_t i = 1; i <= n && i < capacity; i++) {
        int32_t offset = Round(std::round(float(l.offsets[i] * numerator / 100.0)));
        if (zoom) offset = MulDiv32(offset, 100, horizontal);
        offsets[i] = uint32_t(std::max(0, offset));
    }
    return int32_t(n);
}

uint32_t VXMeasurePasswordChars(int32_t count, bool scaled) {
    if (count <= 0) return 0;
    return WithBullets(count, [&](const uint8_t* bullets) -> uint32_t {
        if (bullets) return VXMeasureTextBytes(bullets, count, kEncodingMacRoman, scaled);
        return uint32_t(count) * VXMeasureTextBytes(kBulletUTF16, 2, kEncodingUTF16LE, scaled);
    });
}

void VXDrawPasswordChars(int32_t count) {
    if (count <= 0) return;
    WithBullets(count, [&](const uint8_t* bullets) {
        if (bullets) VXDrawTextWithEncoding(bullets, count, kEncodingMacRoman);
    });
}

int16_t VXCalcFixedTabCharacterWidth() {
    const uint32_t w = VXMeasureTextBytes("W", 1, kEncodingMacRoman, false);
    const uint32_t underscore = VXMeasureTextBytes("_", 1, kEncodingMacRoman, false);
    return int16_t(std::min<uint32_t>(std::max(w, underscore), 32767));
}

int32_t VXCalcTabCharacterWidth(int32_t x, int32_t tabStop, int32_t minGap) {
    if (tabStop < 1) return minGap;
    int32_t r = x % tabStop;
    if (r < 0) r += tabStop;
    int32_t advance = tabStop - r;
    if (advance < minGap) advance += tabStop;
    return advance;
}

namespace {

// Walks the runs between TABs of a line: run(bytes, byte count) for each run, tab() after each
// TAB, the final run last.
template <class Run, class Tab>
void WalkLine(const uint8_t* text, int32_t units, uint32_t encoding, Run&& run, Tab&& tab) {
    const int32_t unit = UnitSize(encoding);
    int32_t start = 0;
    for (int32_t i = 0; i < units; i++) {
        if (UnitAt(text, i, encoding) != kTab) continue;
        run(text + start * unit, (i - start) * unit);
        tab();
        start = i + 1;
    }
    run(text + start * unit, (units - start) * unit);
}

// The tab stop of a line: the caller's, or the fixed width (measured once) with flags 0x07.
class TabStop {
public:
    TabStop(int16_t stop, uint16_t flags) : stop_(stop), fixed_(flags & kTextLineFixedTabs) {}
    int32_t get() {
        if (fixed_) {
            stop_ = VXCalcFixedTabCharacterWidth();
            fixed_ = false;
        }
        return stop_;
    }

private:
    int32_t stop_;
    bool fixed_;
};

// The units of a line: count, or the terminated string's for a negative count.
int32_t LineUnits(const void* text, int32_t count, uint32_t encoding) {
    return count >= 0 ? count : VXResolveTextCount(text, count, encoding) / UnitSize(encoding);
}

uint32_t MeasureRun(const uint8_t* run, int32_t bytes, uint32_t encoding, bool password,
                    bool scaled) {
    if (bytes <= 0) return 0;
    if (password) return VXMeasurePasswordChars(CodePoints(run, bytes, encoding), scaled);
    return VXMeasureTextBytes(run, bytes, encoding, scaled);
}

}  // namespace

uint32_t VXMeasureTextLine(const void* text, int32_t count, uint32_t encoding, int16_t tabStop,
                           uint16_t flags) {
    if (!VXGetCurrentGrafState() || !text) return 0;
    const int32_t units = LineUnits(text, count, encoding);
    const bool scaled = flags & kTextLineScaled, password = flags & kTextLinePassword;
    TabStop stop(tabStop, flags);
    int64_t width = 0;
    WalkLine(
        static_cast<const uint8_t*>(text), units, encoding,
        [&](const uint8_t* run, int32_t bytes) { width += MeasureRun(run, bytes, encoding, password, scaled); },
        [&] { width += VXCalcTabCharacterWidth(int32_t(std::min<int64_t>(width, INT32_MAX)), stop.get(), kTabMinGap); });
    return uint32_t(std::min<int64_t>(width, UINT32_MAX));
}

void VXDrawTextLine(const _LPNT* origin, int16_t startX, const void* text, int32_t count,
                    uint32_t encoding, int16_t tabStop, uint16_t rotation, uint16_t flags) {
    VXGrafState* s = VXGetCurrentGrafState();
    if (!s || !s->port || !origin || !text || count == 0) return;
    const int32_t units = LineUnits(text, count, encoding);
    if (units == 0) return;
    const int16_t savedRotation = s->textRotation;
    s->textRotation = int16_t(rotation);
    const bool password = flags & kTextLinePassword;
    const bool alignBefore = flags & (kTextLineRightAligned | kTextLineQuarterBefore);

    _LPNT start = *origin;
    if (alignBefore || rotation != 0) {
        const int32_t width =
            int32_t(VXMeasureTextLine(text, count, encoding, tabStop, flags | kTextLineScaled));
        if (alignBefore) {
            const int32_t d = (flags & kTextLineQuarterBefore) ? width >> 2 : width;
            LGetRadiusPointTenthDegrees(origin, d, d, int32_t(rotation) * 10 - 900, &start);
        }
    }

    TabStop stop(tabStop, flags);
    int32_t x = startX;
    QZPort* port = s->port;
    auto drawRun = [&](const uint8_t* run, int32_t bytes) {
        if (bytes <= 0) return;
        if (rotation == 0 || x == 0) {
            QZMoveTo(port, start.h + x, start.v);
        } else {
            _LPNT at{};
            LGetRadiusPointTenthDegrees(&start, x, x, int32_t(rotation) * 10 + 900, &at);
            QZMoveTo(port, at.h, at.v);
        }
        if (password) {
            const int32_t chars = CodePoints(run, bytes, encoding);
            VXDrawPasswordChars(chars);
            x += int32_t(VXMeasurePasswordChars(chars, true));
        } else if (rotation != 0) {
            x += int32_t(VXMeasureTextBytes(run, bytes, encoding, true));
            VXDrawTextWithEncoding(run, bytes, encoding);
        } else {
            const int32_t before = port->pen.h;
            VXDrawTextWithEncoding(run, bytes, encoding);
            x += port->pen.h - before;
        }
    };
    WalkLine(static_cast<const uint8_t*>(text), units, encoding, drawRun,
             [&] { x += VXCalcTabCharacterWidth(x, stop.get(), kTabMinGap); });
    s->textRotation = savedRotation;
}

int32_t VXTruncString(char* utf8, size_t capacity, int32_t maxWidth, uint32_t mode) {
    if (!utf8 || capacity == 0) return 0;
    const size_t length = strnlen(utf8, capacity);
    if (length == capacity) return -1;  // not terminated within its buffer
    if (length == 0 || TempCFStringUsing(utf8, kEncodingUTF8).empty()) return 0;
    VXGrafState* s = VXGetCurrentGrafState();
    VXTextLayout l;
    if (length > size_t(INT32_MAX) || !Layout(s, utf8, int32_t(length), kEncodingUTF8, &l)) return -1;
    const int32_t characters = int32_t(l.starts.size() - 1);
    if (CharacterAt(l, maxWidth) == characters) return 0;

    const int64_t available = int64_t(maxWidth) - VXMeasureTextBytes(kEllipsis, 3, kEncodingUTF8, false);
    if (available < 2) return -1;
    const int32_t kept = CharacterAt(l, double(available));
    if (kept < 2) return -1;
    const int32_t cut = characters - kept;
    const int32_t first = (mode & 0xFFFF) == kTruncMiddle ? characters / 2 - cut / 2 : kept;

    std::string result(utf8, l.starts[size_t(first)]);
    result += kEllipsis;
    result.append(utf8 + l.starts[size_t(first + cut)], length - l.starts[size_t(first + cut)]);
    if (result.size() + 1 > capacity) return -1;
    std::memcpy(utf8, result.c_str(), result.size() + 1);
    return 1;
}

}  // namespace plexa
