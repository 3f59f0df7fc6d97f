// Walking display lists: the bounds check every walk starts with, the walker shared by playing
// and byte swapping, the play handlers (which call the current window's drawing procedures
// under an orientation and an offset) and the swap handlers (which turn a list of the other
// byte order into this machine's in place).
//
// A walk never trusts the list: DLCheckDisplayList steps through every record by its size
// class, reading counts and lengths in the list's order, and refuses a list whose records run
// past its size, that ends without an end record, or whose records are malformed (a font
// name without its NUL, a text shorter than its point or move, a polygon of more than 32767
// points, a class-6 opcode with no size rule). Only a whole list is walked, so handlers may
// read all of a record's payload.
#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/capturecache.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

Point ReadPoint(const uint8_t* p, bool swap) {
    return {int16_t(GetNative16(p, swap)), int16_t(GetNative16(p + 2, swap))};
}

uint64_t Even(uint64_t n) { return (n + 1) & ~uint64_t(1); }

}  // namespace

int32_t DLPayloadSize(uint8_t opcode, uint8_t parameter, const uint8_t* payload, uint32_t available,
                      bool swapped) {
    const uint64_t avail = std::min<uint64_t>(available, 0x7FFFFFF0);
    auto fits = [&](uint64_t n) { return n <= avail ? int32_t(n) : -1; };
    switch (opcode & 0x0F) {
        case 0x0: return fits(opcode & 0x80 ? 8 : 0);
        case 0x1:
        case 0x2: return fits(4);
        case 0x3:
            if (opcode == 0x03 && parameter < 6) return -1;
            if (parameter > avail) return -1;
            if (opcode == 0x13 && !std::memchr(payload, 0, parameter)) return -1;
            return parameter;
        case 0x4: {
            if (avail < 2) return -1;
            const uint16_t count = GetNative16(payload, swapped);
            if (opcode == 0x04 && count > 0x7FFF) return -1;
            return fits(2 + uint64_t(count) * 4);
        }
        case 0x5:
            return fits((parameter & 0x10 ? 2 : 4) + (parameter & 0x20 ? 2 : 4) +
                        (opcode & 0x80 ? 4 : 0));
        case 0x6: {
            uint64_t head = 0;
            uint32_t value = parameter;
            if (parameter == 0) {
                if (avail < 2) return -1;
                value = GetNative16(payload, swapped);
                head = 2;
            }
            if (opcode & 0x80) {
                if ((opcode == 0x96 && value < 4) || (opcode == 0xA6 && value < 2)) return -1;
                return fits(head + Even(value));
            }
            switch (opcode) {
                case 0x06:
                case 0x16:
                case 0x26: return fits(head);
                case 0x36: return fits(head + 2);
                case 0x46: return fits(head + 4);
                case 0x56:
                    if (avail < head + 2) return -1;
                    return fits(head + 2 + Even(GetNative16(payload + head, swapped)));
                case 0x66:
                    if (avail < head + 4) return -1;
                    return fits(head + 4 + Even(GetNative32(payload + head, swapped)));
                default: return -1;
            }
        }
        case 0x7: return 0;
        case 0x8: return fits(2);
        case 0x9: return fits(4);
        case 0xA: return fits(8);
        case 0xB: return fits(parameter);
        case 0xC: return fits(Even(parameter));
        case 0xD:
        case 0xE: {
            if (avail < 2) return -1;
            const uint16_t length = GetNative16(payload, swapped);
            return fits(2 + ((opcode & 0x0F) == 0xE ? Even(length) : length));
        }
        default: {  // 0xF
            if (avail < 4) return -1;
            return fits(4 + Even(GetNative32(payload, swapped)));
        }
    }
}

DLCheckResult DLCheckDisplayList(const uint8_t* bytes, uint32_t size) {
    DLCheckResult result{};
    if (!bytes) return result;
    bool swapped = false, first = true;
    uint32_t pos = 0;
    for (;;) {
        result.badOffset = pos;
        if (size - pos < 2) return result;
        const uint8_t opcode = bytes[pos], parameter = bytes[pos + 1];
        const int32_t n =
            DLPayloadSize(opcode, parameter, bytes + pos + 2, size - pos - 2, swapped);
        if (n < 0) return result;
        if (opcode == 0x03) {
            const uint16_t mark = GetNative16(bytes + pos + 2, false);
            if (mark != kDLMark && mark != kDLSwappedMark) break;  // the walk stops here
            swapped = mark == kDLSwappedMark;
            if (first) result.validHeader = true, result.swapped = swapped;
        } else if (first || opcode == 0x00) {
            break;  // no header: the walk stops after the first record; or the end
        }
        first = false;
        pos += 2 + uint32_t(n);
    }
    result.whole = true;
    result.badOffset = 0;
    return result;
}

int32_t DecodeRectangleOp(uint8_t* payload, uint16_t parameter, bool swap, bool inPlace,
                          Rect* out) {
    Rect r{};
    int32_t n = 0;
    if (parameter & 0x10) {
        r.top = int8_t(payload[0]);
        r.left = int8_t(payload[1]);
        n = 2;
    } else {
        r.top = int16_t(GetNative16(payload, swap));
        r.left = int16_t(GetNative16(payload + 2, swap));
        if (swap && inPlace) ByteSwapWordArray(payload, 4);
        n = 4;
    }
    if (parameter & 0x20) {
        r.bottom = int16_t(r.top + payload[n]);
        r.right = int16_t(r.left + payload[n + 1]);
        n += 2;
    } else {
        r.bottom = int16_t(GetNative16(payload + n, swap));
        r.right = int16_t(GetNative16(payload + n + 2, swap));
        if (swap && inPlace) ByteSwapWordArray(payload + n, 4);
        n += 4;
    }
    if (out) *out = r;
    return n;
}

void DLParseHeader(uint8_t* payload, DLParseState* state, bool writeBack) {
    const uint16_t mark = GetNative16(payload, false);
    if (mark != kDLMark && mark != kDLSwappedMark) {
        state->continueWalk = false;
        return;
    }
    state->swapped = mark == kDLSwappedMark;
    const Point origin = ReadPoint(payload + 2, state->swapped);
    if (state->swapped && writeBack) ByteSwapWordArray(payload, 6);
    state->offset = {int16_t(state->playPoint.v - origin.v),
                     int16_t(state->playPoint.h - origin.h)};
    state->validHeader = 1;
    state->continueWalk = true;
}

int32_t VXParseDisplayListBytes(uint8_t* bytes, uint32_t size, const DLParseHandler handlers[16],
                                Point point, uint32_t flags, DLCommentProc commentProc,
                                void* refCon) {
    if (!bytes || !handlers) return 0;
    const DLCheckResult check = DLCheckDisplayList(bytes, size);
    if (!check.whole || !check.validHeader) return 0;
    DLParseState st{};
    st.commentProc = commentProc;
    st.refCon = refCon;
    st.playPoint = point;
    st.offset = point;
    st.orientation = uint16_t(flags & kDLPlayOrientationMask);
    st.exactGeometry = flags & kDLPlayExactGeometry;
    st.trackPen = flags & kDLPlayTrackPen;
    st.textFace = flags & kDLPlayTextFace;
    uint32_t pos = 0;
    do {
        if (size - pos < 2) return 0;
        st.opcode = bytes[pos];
        st.parameter = bytes[pos + 1];
        uint8_t* payload = bytes + pos + 2;
        st.payloadSize = DLPayloadSize(uint8_t(st.opcode), uint8_t(st.parameter), payload,
                                       size - pos - 2, st.swapped);
        if (st.payloadSize < 0) return 0;
        st.parameterWord = (st.opcode & 0x0F) == 6 && st.parameter == 0;
        if (st.parameterWord) st.parameter = GetNative16(payload, st.swapped);
        const DLParseHandler handler = handlers[st.opcode & 0x0F];
        const int32_t used = handler ? handler(payload, &st) : st.payloadSize;
        if (used < 0 || uint32_t(used) > size - pos - 2) return 0;
        pos += 2 + uint32_t(used);
    } while (st.continueWalk);
    return st.validHeader;
}

namespace {

// Runs a walk over a handle, locked for its duration.
int32_t ParseHandle(DisplayList list, const DLParseHandler handlers[16], Point point,
                    uint32_t flags, DLCommentProc commentProc, void* refCon) {
    const uint32_t size = list ? SizeOfHandle(list) : 0;
    if (size < 2) return 0;
    auto* bytes = reinterpret_cast<uint8_t*>(MemLock(list));
    if (!bytes) return 0;
    const int32_t result =
        VXParseDisplayListBytes(bytes, size, handlers, point, flags, commentProc, refCon);
    MemUnlock(list);
    return result;
}

// ---- Playing ----

const VXGrafProcsRecord* Procs() {
    const VXGrafState* s = VXGetCurrentGrafState();
    return s && s->grafProcs ? s->grafProcs : VXGetStdGrafProcs();
}

Point Add(Point a, Point b) { return {int16_t(a.v + b.v), int16_t(a.h + b.h)}; }

// A vector turned by the orientation.
Point Turn(const DLParseState* st, Point p) {
    if (st->orientation) VXTransformPoints(st->orientation, &p, 1);
    return p;
}

// A stored point on the window: turned, then offset.
Point Place(const DLParseState* st, Point p) { return Add(Turn(st, p), st->offset); }

// Where the pen-width compensation moves lines and polygons under the orientation.
Point CompensationShift(const DLParseState* st) {
    const int16_t c = st->penCompensation;
    const uint16_t o = st->orientation;
    const bool mirror = o & 4;
    switch (o & 3) {
        case 0: return {0, int16_t(mirror ? c : 0)};
        case 1: return {0, int16_t(mirror ? 0 : c)};
        case 2: return {c, int16_t(mirror ? 0 : c)};
        default: return {c, int16_t(mirror ? c : 0)};
    }
}

Point Pen() {
    Point p;
    VXGetPenPosition(&p);
    return p;
}

void MoveTo(Point p) { VXMoveTo(p.h, p.v); }

// A line from the pen to the point, moved by the compensation; the pen ends at the point.
void PlayLine(const DLParseState* st, Point to) {
    const VXGrafProcsRecord* procs = Procs();
    if (st->penCompensation == 0) {
        if (procs->line) procs->line(to.h, to.v);
    } else {
        const Point shift = CompensationShift(st);
        VXMove(shift.h, shift.v);
        if (procs->line) procs->line(int16_t(to.h + shift.h), int16_t(to.v + shift.v));
        MoveTo(to);
    }
    if (st->trackPen) MoveTo(to);
}

void PlayRoundLine(const DLParseState* st, Point to, uint8_t width) {
    const VXGrafProcsRecord* procs = Procs();
    if (procs->roundLine) procs->roundLine(to.h, to.v, width);
    if (st->trackPen) MoveTo(to);
}

void PlayText(const DLParseState* st, const uint8_t* text, int32_t length) {
    const VXGrafProcsRecord* procs = Procs();
    if (st->orientation == 0 && procs->text) procs->text(text, length, st->encoding);
}

int32_t Play0(uint8_t*, DLParseState* st) {
    switch (st->opcode) {
        case 0x00: st->continueWalk = false; break;
        case 0x10: VXSetDrawMode(uint8_t(st->parameter)); break;
        case 0x20: VXSetTextMode(st->parameter); break;
        case 0x30: st->encoding = st->parameter == 1 ? kEncodingUTF8 : kEncodingMacRoman; break;
        default: break;
    }
    return st->payloadSize;
}

int32_t Play1(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x01 || st->opcode == 0x11) {
        const VXGrafState* s = VXGetCurrentGrafState();
        if (s && s->port) QZSetColor(s->port, GetNative32(payload, st->swapped), st->opcode == 0x11);
    }
    return st->payloadSize;
}

int32_t Play2(uint8_t* payload, DLParseState* st) {
    const Point p = Place(st, ReadPoint(payload, st->swapped));
    switch (st->opcode) {
        case 0x02: MoveTo(p); break;
        case 0x12: PlayLine(st, p); break;
        case 0x22: PlayRoundLine(st, p, uint8_t(st->parameter)); break;
        default: break;
    }
    return st->payloadSize;
}

int32_t Play3(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x03) {
        DLParseHeader(payload, st, false);
        if (st->continueWalk) MoveTo(st->offset);
    } else if (st->opcode == 0x13) {
        const VXGrafState* s = VXGetCurrentGrafState();
        if (s) SetStyleFont(s->textStyle, reinterpret_cast<const char*>(payload));
    }
    return st->payloadSize;
}

// Polygons are worked on in a copy (on the stack up to 64 points), never in the list.
int32_t Play4(uint8_t* payload, DLParseState* st) {
    if (st->opcode != 0x04) return st->payloadSize;
    const uint16_t count = GetNative16(payload, st->swapped);
    if (count == 0) return st->payloadSize;
    Point local[64];
    std::vector<Point> heap;
    Point* points = local;
    if (count > 64) {
        heap.resize(count);
        points = heap.data();
    }
    const Point shift = st->penCompensation ? CompensationShift(st) : Point{0, 0};
    for (uint32_t i = 0; i < count; ++i)
        points[i] = Add(Place(st, ReadPoint(payload + 2 + 4 * i, st->swapped)), shift);
    const Point last = Add(points[count - 1], {int16_t(-shift.v), int16_t(-shift.h)});
    const VXGrafProcsRecord* procs = Procs();
    if (procs->poly) procs->poly(points, int16_t(count), int8_t(st->parameter));
    if (st->trackPen) MoveTo(last);
    return st->payloadSize;
}

int32_t Play5(uint8_t* payload, DLParseState* st) {
    Rect r;
    const int32_t n = DecodeRectangleOp(payload, st->parameter, st->swapped, false, &r);
    const uint16_t o = st->orientation;
    if (o && st->exactGeometry) {
        Point corners[2] = {{r.top, r.left}, {r.bottom, r.right}};
        VXTransformPoints(o, corners, 2);
        VXPt2Rect(corners[0], corners[1], &r);
    } else if (o) {
        VXTransformGrafRect(o, &r);
    }
    VXOffsetRect(&r, st->offset.h, st->offset.v);
    const int8_t verb = int8_t(st->parameter & 0x0F);
    const VXGrafProcsRecord* procs = Procs();
    switch (st->opcode) {
        case 0x05:
            if (procs->rect) procs->rect(&r, verb);
            break;
        case 0x15:
            if (procs->oval) procs->oval(&r, verb);
            break;
        case 0x85: {
            int16_t w = int16_t(GetNative16(payload + n, st->swapped));
            int16_t h = int16_t(GetNative16(payload + n + 2, st->swapped));
            if (o & 1) std::swap(w, h);  // a quarter turn turns the corners too
            if (procs->rRect) procs->rRect(&r, w, h, verb);
            break;
        }
        case 0x95: {
            int16_t start = int16_t(GetNative16(payload + n, st->swapped));
            const int16_t arc = int16_t(GetNative16(payload + n + 2, st->swapped));
            if (o) VXTransformArc(o, &start, arc);
            if (procs->arc) procs->arc(&r, start, arc, verb);
            break;
        }
        default: break;
    }
    return st->payloadSize;
}

// The comment of a class-6 record at data (after the parameter word); false when the record
// is no comment.
bool CommentOf(const DLParseState* st, uint8_t* data, uint8_t** out, int32_t* length) {
    switch (st->opcode) {
        case 0x26: *out = data, *length = 0; return true;
        case 0x36: *out = data, *length = 2; return true;
        case 0x46: *out = data, *length = 4; return true;
        case 0x56: *out = data + 2, *length = GetNative16(data, st->swapped); return true;
        case 0x66: *out = data + 4, *length = int32_t(GetNative32(data, st->swapped)); return true;
        default: return false;
    }
}

int32_t Play6(uint8_t* payload, DLParseState* st) {
    uint8_t* data = payload + (st->parameterWord ? 2 : 0);
    const uint16_t value = st->parameter;
    const VXGrafState* s = VXGetCurrentGrafState();
    uint8_t* comment;
    int32_t length;
    switch (st->opcode) {
        case 0x06:
            VXSetPenWidth(value);
            st->penCompensation =
                st->orientation && !st->exactGeometry ? int16_t(1 - int32_t(value)) : 0;
            break;
        case 0x16:
            if (s) SetStyleSize(s->textStyle, value);
            break;
        case 0x86: PlayText(st, data, value); break;
        case 0x96:
            MoveTo(Place(st, ReadPoint(data, st->swapped)));
            PlayText(st, data + 4, value - 4);
            break;
        case 0xA6: {
            const Point d = Turn(st, {int8_t(data[0]), int8_t(data[1])});
            VXMove(d.h, d.v);
            PlayText(st, data + 2, value - 2);
            break;
        }
        default:
            if (CommentOf(st, data, &comment, &length) && st->commentProc &&
                st->commentProc(int16_t(value), length ? comment : nullptr, length, st->swapped,
                                st->refCon))
                st->continueWalk = false;
            break;
    }
    return st->payloadSize;
}

int32_t Play8(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x28) {
        const VXGrafState* s = VXGetCurrentGrafState();
        if (st->textFace && s && st->payloadSize >= 2)
            SetStyleFace(s->textStyle, GetNative16(payload, st->swapped));
        return st->payloadSize;
    }
    const Point d = Turn(st, {int8_t(payload[0]), int8_t(payload[1])});
    switch (st->opcode) {
        case 0x08: VXMove(d.h, d.v); break;
        case 0x18: PlayLine(st, Add(Pen(), d)); break;
        case 0x38: PlayRoundLine(st, Add(Pen(), d), uint8_t(st->parameter)); break;
        default: break;
    }
    return st->payloadSize;
}

int32_t Skip(uint8_t*, DLParseState* st) { return st->payloadSize; }

}  // namespace

const DLParseHandler kDLPlayHandlers[16] = {
    Play0, Play1, Play2, Play3, Play4, Play5, Play6, Skip,
    Play8, Skip,  Skip,  Skip,  Skip,  Skip,  Skip,  Skip,
};

namespace {

// ---- Byte swapping (the list is in the other order while these run) ----

int32_t Swap0(uint8_t*, DLParseState* st) {
    if (st->opcode == 0x00) st->continueWalk = false;
    return st->payloadSize;
}

int32_t Swap1(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x01 || st->opcode == 0x11) ByteSwapLong(payload);
    return st->payloadSize;
}

int32_t Swap2(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x02 || st->opcode == 0x12 || st->opcode == 0x22)
        ByteSwapWordArray(payload, 4);
    return st->payloadSize;
}

int32_t Swap3(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x03) {
        DLParseHeader(payload, st, true);
        if (!st->swapped) st->continueWalk = false;  // a list in this order is left alone
    }
    return st->payloadSize;
}

int32_t Swap4(uint8_t* payload, DLParseState* st) {
    ByteSwapWordArray(payload, uint32_t(st->payloadSize));  // count and points are words
    return st->payloadSize;
}

int32_t Swap5(uint8_t* payload, DLParseState* st) {
    const int32_t n = DecodeRectangleOp(payload, st->parameter, true, true, nullptr);
    if (st->opcode & 0x80) ByteSwapWordArray(payload + n, 4);
    return st->payloadSize;
}

int32_t Swap6(uint8_t* payload, DLParseState* st) {
    const bool word = st->parameterWord;
    if (word) ByteSwapWord(payload);
    uint8_t* data = payload + (word ? 2 : 0);
    if (st->opcode == 0x96) ByteSwapWordArray(data, 4);
    uint8_t* comment;
    int32_t length;
    if (st->opcode != 0x26 && CommentOf(st, data, &comment, &length)) {
        if (st->opcode == 0x56) ByteSwapWord(data);
        if (st->opcode == 0x66) ByteSwapLong(data);
        if (st->commentProc)
            st->commentProc(int16_t(st->parameter), length ? comment : nullptr, length, true,
                            st->refCon);
    }
    return st->payloadSize;
}

int32_t Swap8(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x28) ByteSwapWord(payload);
    return st->payloadSize;
}

int32_t SwapLengthWord(uint8_t* payload, DLParseState* st) {
    ByteSwapWord(payload);
    return st->payloadSize;
}

int32_t SwapLengthLong(uint8_t* payload, DLParseState* st) {
    ByteSwapLong(payload);
    return st->payloadSize;
}

}  // namespace

const DLParseHandler kDLSwapHandlers[16] = {
    Swap0, Swap1, Swap2, Swap3, Swap4, Swap5,          Swap6,          Skip,
    Swap8, Skip, Skip,  Skip,  Skip,  SwapLengthWord, SwapLengthWord, SwapLengthLong,
};

int32_t VXParseDisplayList(DisplayList list, const DLParseHandler handlers[16], Point point,
                           uint32_t flags, DLCommentProc commentProc, void* refCon) {
    return ParseHandle(list, handlers, point, flags, commentProc, refCon);
}

namespace {

// Resets the window's state as the play flags allow, makes it current and runs the walk; the
// previous window is current again afterwards.
template <class Walk>
int32_t PlayInto(VXGrafState* window, uint32_t flags, Walk walk) {
    if (!window) return 0;
    VXGrafState* previous = VXSetCurrentGrafState(window);
    if (!(flags & kDLNoColors) && window->port) {
        QZSetColor(window->port, kVXDefaultBackColor, true);
        QZSetColor(window->port, kVXDefaultForeColor, false);
    }
    if (!(flags & kDLNoPattern)) VXSetStockPattern(1);
    if (!(flags & kDLNoPenWidth)) VXSetPenWidth(1);
    if (!(flags & kDLNoModes)) {
        VXSetDrawMode(0);
        VXSetTextMode(1);
    }
    if (!(flags & kDLNoTextStyle)) SetupDefaultStyle(window->textStyle, kStyleUser);
    const int32_t result = walk();
    VXSetCurrentGrafState(previous);
    return result;
}

}  // namespace

// ---- Kept lists ----
//
// A list played again and again (at every redraw of a window) is kept as the pixels its play laid
// down (capturecache.h) when its play depends on nothing but the list and the window: every
// setting reset by the play and no comment procedure. A draw mode other than the normal one
// lays nothing straight into the pixels, so such a list is never kept.

namespace {

constexpr size_t kKeptListsMost = 32768;
// Larger lists are played each time: a kept list holds a copy of its bytes.
constexpr uint32_t kKeptListMostBytes = 16384;
constexpr uint32_t kKeptPlayFlags = kDLPlayOrientationMask | kDLPlayExactGeometry | kDLPlayTextFace;

CaptureCache& KeptLists() {
    static auto* cache = new CaptureCache(kKeptListsMost);
    return *cache;
}

}  // namespace

int32_t VXPlayDisplayList(VXGrafState* window, DisplayList list, Point point, uint32_t flags,
                          DLCommentProc commentProc, void* refCon) {
    const auto play = [&] {
        return PlayInto(window, flags, [&] {
            return ParseHandle(list, kDLPlayHandlers, point, flags, commentProc, refCon);
        });
    };
    _LPNT device{};
    uint32_t phase = 0;
    const uint32_t size = list ? SizeOfHandle(list) : 0;
    if (commentProc || (flags & ~kKeptPlayFlags) || size < 2 || size > kKeptListMostBytes || !*list ||
        !VXCapturePlace(window, point, &device, &phase))
        return play();
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(*list);
    CaptureKey key;
    VXCaptureWindowWords(window, phase, key.words);
    key.words[5] = reinterpret_cast<uintptr_t>(list);
    key.words[6] = uint64_t(size) << 32 | flags;
    CaptureCache& cache = KeptLists();
    if (const CapturedDrawing* kept = cache.Find(key, bytes, size)) {
        if (VXPlayKeptDrawing(window, point, device, *kept)) return 1;
        return play();
    }
    const DLCheckResult check = DLCheckDisplayList(bytes, size);
    if (!check.whole || !check.validHeader || !VXBeginKeptDrawing(window)) return play();
    const int32_t result = play();
    CapturedDrawing kept;
    const KeptOutcome outcome = VXEndKeptDrawing(window, point, bytes, size, device, true, &kept);
    if (outcome == KeptOutcome::kNever || (outcome == KeptOutcome::kKept && result == 1))
        cache.Keep(key, std::move(kept));
    return result;
}

void VXForgetKeptDisplayLists() { KeptLists().Clear(); }
size_t VXKeptDisplayListCount() { return KeptLists().KeptCount(); }


int32_t VXPlayDisplayListBytes(VXGrafState* window, uint8_t* bytes, uint32_t size, Point point,
                               uint32_t flags, DLCommentProc commentProc, void* refCon) {
    return PlayInto(window, flags, [&] {
        return VXParseDisplayListBytes(bytes, size, kDLPlayHandlers, point, flags, commentProc,
                                       refCon);
    });
}

int32_t VXByteSwapDisplayListBytes(uint8_t* bytes, uint32_t size, DLCommentProc commentProc,
                                   void* refCon) {
    if (!bytes || size < 2) return 0;
    const DLCheckResult check = DLCheckDisplayList(bytes, size);
    if (!check.whole || !check.validHeader) return 0;
    if (!check.swapped) return 1;
    return VXParseDisplayListBytes(bytes, size, kDLSwapHandlers, Point{0, 0}, 0, commentProc,
                                   refCon);
}

int32_t VXByteSwapDisplayList(DisplayList list, DLCommentProc commentProc, void* refCon) {
    const uint32_t size = list ? SizeOfHandle(list) : 0;
    if (size < 2) return 0;
    auto* bytes = reinterpret_cast<uint8_t*>(MemLock(list));
    if (!bytes) return 0;
    const int32_t result = VXByteSwapDisplayListBytes(bytes, size, commentProc, refCon);
    MemUnlock(list);
    return result;
}

namespace {

// ---- Walking comments only ----

int32_t Walk3(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x03) DLParseHeader(payload, st, false);
    return st->payloadSize;
}

int32_t Walk6(uint8_t* payload, DLParseState* st) {
    uint8_t* comment;
    int32_t length;
    if (CommentOf(st, payload + (st->parameterWord ? 2 : 0), &comment, &length) &&
        st->commentProc &&
        st->commentProc(int16_t(st->parameter), length ? comment : nullptr, length, st->swapped,
                        st->refCon))
        st->continueWalk = false;
    return st->payloadSize;
}

const DLParseHandler kDLCommentHandlers[16] = {
    Swap0, nullptr, nullptr, Walk3,   nullptr, nullptr, Walk6,   nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

}  // namespace

int32_t VXWalkDisplayListComments(uint8_t* bytes, uint32_t size, DLCommentProc commentProc,
                                  void* refCon) {
    return VXParseDisplayListBytes(bytes, size, kDLCommentHandlers, Point{0, 0}, 0, commentProc,
                                   refCon);
}

}  // namespace plexa
