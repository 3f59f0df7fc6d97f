// The display-list recorder: while a window has a capture open, the standard drawing
// procedures hand their calls here and the calls become records (graphics/displaylist.h).
//
// The capture record caches what the list has said so far (pen position, colours, pattern,
// pen width, text style) so that state records are written only when something changed.
// Writes are sticky: after the first failing write nothing more is written and the capture
// ends with that status.
#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/assert.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/displaylist.h"
#include "graphics/fonts.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

// Flush masks.
constexpr uint32_t kFlushDrawMode = 1, kFlushPattern = 2, kFlushPenWidth = 4,
                   kFlushPenPosition = 8, kFlushColors = 16, kFlushTextStyle = 32;

struct DLRecordState {
    StreamRecord* stream;
    Point pen;
    uint8_t pattern[8];
    uint32_t foreColor;
    uint32_t backColor;
    uint32_t flags;
    int32_t status;
    // The text style the list has set so far: font-name reference, size and face.
    uint32_t fontName;
    uint16_t fontSize;
    uint16_t fontFace;
    uint8_t drawModePending;
    uint8_t textModePending;
    uint16_t penWidth;
    uint8_t penStale;
    uint8_t ownStream;  // the stream and its handle were made by VXOpenDisplayList
};

DLRecordState* CaptureOf(const VXGrafState* window) {
    auto* rs = window ? static_cast<DLRecordState*>(window->displayList) : nullptr;
    // A capture always has its stream until it is closed or dropped.
    PLEXA_ASSERT(!rs || rs->stream != nullptr);
    return rs;
}

void Put(DLRecordState* rs, const void* bytes, int32_t count) {
    PLEXA_ASSERT(rs != nullptr && rs->stream != nullptr);
    if (rs->status != status::kNoErr || count <= 0) return;
    rs->status = StreamWrite(rs->stream, bytes, count);
}

// A record under construction (head and fixed fields), written in one piece.
class Rec {
public:
    Rec(uint8_t opcode, uint8_t parameter) { b_[0] = opcode, b_[1] = parameter; }
    Rec& u8(uint8_t x) { Room(1); b_[n_++] = x; return *this; }
    Rec& i8(int32_t x) { return u8(uint8_t(int8_t(x))); }
    Rec& u16(uint16_t x) { Room(2); std::memcpy(b_ + n_, &x, 2); n_ += 2; return *this; }
    Rec& u32(uint32_t x) { Room(4); std::memcpy(b_ + n_, &x, 4); n_ += 4; return *this; }
    Rec& point(Point p) { return u16(uint16_t(p.v)).u16(uint16_t(p.h)); }
    void put(DLRecordState* rs) const { Put(rs, b_, n_); }

private:
    // The fixed part of every record fits the buffer; a longer one is a slip in this file.
    void Room([[maybe_unused]] int32_t bytes) const { PLEXA_ASSERT(n_ + bytes <= int32_t(sizeof b_)); }
    uint8_t b_[24];
    int32_t n_ = 2;
};

void DLPutOpCode(DLRecordState* rs, uint8_t opcode, uint8_t parameter) {
    Rec(opcode, parameter).put(rs);
}

// A record whose parameter is a value of 1 to 255 or, for others, 0 and a following word.
Rec ParamRec(uint8_t opcode, uint32_t value) {
    if (value >= 1 && value <= 255) return Rec(opcode, uint8_t(value));
    Rec r(opcode, 0);
    r.u16(uint16_t(value));
    return r;
}

void PutPad(DLRecordState* rs, int32_t length) {
    if (length & 1) {
        const uint8_t zero = 0;
        Put(rs, &zero, 1);
    }
}

bool InByteRange(int32_t d) { return d >= -127 && d <= 127; }

Point PenOf(const VXGrafState* window) {
    Point p{0, 0};
    if (window->port) Point32To16(&window->port->pen, &p);
    return p;
}

uint32_t ColorValue(const QZColorState& c) { return (uint32_t(c.brush) << 24) | c.rgb; }

void DLFlushTextStyle(DLRecordState* rs, const VXGrafState* window) {
    const txStyle* style = window->textStyle;
    if (!style) return;
    if (!SameFontName(style->fontName, rs->fontName)) {
        rs->fontName = style->fontName;
        const std::string_view name = FontNameOf(style->fontName);
        if (!name.empty()) {
            const int32_t length =
                DLCutUTF8(name.data(), int32_t(name.size()), kDLMaxFontNameBytes);
            const int32_t count = (length + 2) & ~1;  // name, NUL, pad to even
            uint8_t record[2 + 256] = {0x13, uint8_t(count)};
            std::memcpy(record + 2, name.data(), size_t(length));
            Put(rs, record, 2 + count);
        }
    }
    if (style->size != rs->fontSize) {
        rs->fontSize = style->size;
        ParamRec(0x16, style->size).put(rs);
    }
    if (style->face != rs->fontFace) {
        rs->fontFace = style->face;
        Rec(0x28, 0).u16(style->face).put(rs);
    }
}

void DLFlushState(DLRecordState* rs, VXGrafState* window, uint32_t mask) {
    const uint32_t flags = rs->flags;
    QZPort* port = window->port;
    if ((mask & kFlushColors) && !(flags & kDLNoColors) && port) {
        const uint32_t fore = ColorValue(port->fore), back = ColorValue(port->back);
        if (fore != rs->foreColor) {
            rs->foreColor = fore;
            Rec(0x01, 0).u32(fore).put(rs);
        }
        if (back != rs->backColor) {
            rs->backColor = back;
            Rec(0x11, 0).u32(back).put(rs);
        }
    }
    if ((mask & kFlushPattern) && !(flags & kDLNoPattern)) {
        // This layer has no pen patterns: the current one is all zeros.
        static constexpr uint8_t kPattern[8] = {};
        if (std::memcmp(rs->pattern, kPattern, 8) != 0) {
            std::memcpy(rs->pattern, kPattern, 8);
            Rec r(0x80, 0);
            for (uint8_t b : kPattern) r.u8(b);
            r.put(rs);
        }
    }
    if ((mask & kFlushDrawMode) && !(flags & kDLNoModes) && rs->drawModePending) {
        rs->drawModePending = 0;
        DLPutOpCode(rs, 0x10, 0);
    }
    if ((mask & kFlushTextStyle) && !(flags & kDLNoTextStyle)) {
        DLFlushTextStyle(rs, window);
        if (!(flags & kDLNoModes) && rs->textModePending) {
            rs->textModePending = 0;
            DLPutOpCode(rs, 0x20, 0);
        }
    }
    if ((mask & kFlushPenWidth) && !(flags & kDLNoPenWidth) && port) {
        const uint16_t width = uint16_t(port->penSize);
        if (width != rs->penWidth) {
            rs->penWidth = width;
            ParamRec(0x06, width).put(rs);
        }
    }
    if (mask & kFlushPenPosition) {
        const Point pen = PenOf(window);
        if (!rs->penStale && pen.v == rs->pen.v && pen.h == rs->pen.h) return;
        const int32_t dv = pen.v - rs->pen.v, dh = pen.h - rs->pen.h;
        if (!rs->penStale && !(flags & kDLNoRelative) && InByteRange(dv) && InByteRange(dh)) {
            Rec(0x08, 0).i8(dv).i8(dh).put(rs);
        } else {
            rs->penStale = 0;
            Rec(0x02, 0).point(pen).put(rs);
        }
        rs->pen = pen;
    }
}

// Shapes flush what their verb draws with: frame colours, pen width, pattern and draw mode;
// paint colours, pattern and draw mode; erase colours; other verbs nothing.
void FlushForVerb(DLRecordState* rs, VXGrafState* window, int8_t verb) {
    static constexpr uint32_t kMaskByVerb[3] = {
        kFlushColors | kFlushPenWidth | kFlushPattern | kFlushDrawMode,
        kFlushColors | kFlushPattern | kFlushDrawMode,
        kFlushColors,
    };
    if (verb >= 0 && verb <= 2) DLFlushState(rs, window, kMaskByVerb[verb]);
}

void DLPutShapeHeader(DLRecordState* rs, VXGrafState* window, uint8_t opcode, uint8_t parameter,
                      int8_t verb) {
    FlushForVerb(rs, window, verb);
    DLPutOpCode(rs, opcode, parameter);
}

// Head and rectangle form of a shape; extra words (oval size, angles) follow.
Rec DLPutFramedShapeHeader(DLRecordState* rs, VXGrafState* window, const Rect* r, int8_t verb,
                           uint8_t opcode) {
    uint8_t flags = 0;
    const bool byteCorner = InByteRange(r->top) && InByteRange(r->left);
    const int32_t height = r->bottom - r->top, width = r->right - r->left;
    const bool byteSize = height > 0 && width > 0 && height < 256 && width < 256;
    if (byteCorner) flags |= 0x10;
    if (byteSize) flags |= 0x20;
    FlushForVerb(rs, window, verb);
    Rec rec(opcode, uint8_t((verb & 0x0F) | flags));
    if (byteCorner) rec.i8(r->top).i8(r->left);
    else rec.u16(uint16_t(r->top)).u16(uint16_t(r->left));
    if (byteSize) rec.u8(uint8_t(height)).u8(uint8_t(width));
    else rec.u16(uint16_t(r->bottom)).u16(uint16_t(r->right));
    return rec;
}

// The text as UTF-8; false when it cannot be converted.
bool TextToUTF8(const void* text, int32_t length, uint32_t encoding, std::string* out) {
    if (encoding == kEncodingUTF8) {
        out->assign(static_cast<const char*>(text), size_t(length));
        return true;
    }
    // The conversion reads a terminated run; half a UTF-16 unit is no character.
    if (encoding == kEncodingUTF16LE) length &= ~1;
    std::string terminated(static_cast<const char*>(text), size_t(length));
    terminated.append(2, '\0');
    const std::u16string string = TempCFStringUsing(terminated.data(), encoding);
    if (string.empty()) return false;
    const uint32_t size = GetCFStringByteSize(string, kEncodingUTF8);
    out->assign(size, '\0');
    ExtractCFStringTo(string, out->data(), size, kEncodingUTF8);
    out->resize(std::strlen(out->c_str()));
    return true;
}

const VXDisplayListRecorder kRecorder = {
    DLRecordText, DLRecordLine, DLRecordRect, DLRecordOval, DLRecordRRect, DLRecordArc,
    DLRecordPoly,
};

}  // namespace

// A character has at most three continuation bytes.
int32_t DLCutUTF8(const char* text, int32_t length, int32_t max) {
    if (length <= max) return length;
    for (int32_t cut = max; cut > 0 && cut >= max - 3; --cut)
        if ((uint8_t(text[cut]) & 0xC0) != 0x80) return cut;
    return max;
}

bool VXOpenDisplayList(VXGrafState* window, MemPool pool, Point origin, uint32_t flags) {
    if (!window || window->displayList) return false;
    Handle handle = AllocHandle(pool, 0);
    if (!handle) return false;
    StreamRecord* stream = nullptr;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(handle), &stream) != status::kNoErr) {
        MemFree(handle);
        return false;
    }
    SetHandleStreamChunkSize(stream, 512);
    if (VXCaptureDisplayListStream(window, origin, flags, stream) != status::kNoErr) {
        DisposeStream(stream);
        MemFree(handle);
        return false;
    }
    CaptureOf(window)->ownStream = 1;
    return true;
}

void VXDropDisplayList(VXGrafState* window) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs) return;
    if (rs->ownStream)
        MemFree(VXCloseDisplayList(window));
    else
        (void)VXEndCaptureDisplayList(window);  // dropped: what was recorded is not wanted
}

OSStatus VXCaptureDisplayListStream(VXGrafState* window, Point origin, uint32_t flags,
                                    StreamRecord* stream) {
    if (!window || !stream) return status::kParamErr;
    if (window->displayList) return kDLAlreadyCapturing;
    auto* rs = reinterpret_cast<DLRecordState*>(AllocPtrClear(nullptr, sizeof(DLRecordState)));
    if (!rs) return status::kOutOfMemory;
    rs->stream = stream;
    std::memset(rs->pattern, 0xFF, sizeof rs->pattern);
    rs->foreColor = kVXDefaultForeColor;
    rs->backColor = kVXDefaultBackColor;
    rs->flags = flags;
    txStyle defaults{};
    SetupDefaultStyle(&defaults, kStyleUser);
    rs->fontName = defaults.fontName;
    rs->fontSize = defaults.size;
    rs->fontFace = defaults.face;
    rs->textModePending = 1;
    rs->penWidth = 1;
    Rec(0x03, 6).u16(kDLMark).point(origin).put(rs);
    DLPutOpCode(rs, 0x30, 1);
    if (rs->status != status::kNoErr) {
        const OSStatus st = rs->status;
        MemFreePtr(rs);
        return st;
    }
    VXSetDisplayListRecorder(&kRecorder);
    window->displayList = rs;
    return status::kNoErr;
}

OSStatus VXEndCaptureDisplayList(VXGrafState* window) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs) return kDLNotCapturing;
    if (rs->status == status::kNoErr) DLPutOpCode(rs, 0x00, 0xFF);
    const OSStatus st = rs->status;
    MemFreePtr(rs);
    window->displayList = nullptr;
    return st;
}

DisplayList VXCloseDisplayList(VXGrafState* window) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs || rs->stream->kind != kStreamHandle) return nullptr;
    StreamRecord* stream = rs->stream;
    Handle handle = stream->target.handle;
    OSStatus st = VXEndCaptureDisplayList(window);
    if (st == status::kNoErr) {
        SetHandleStreamChunkSize(stream, 0);
        st = SetStreamEnd(stream, GetStreamPosition(stream));
    }
    DisposeStream(stream);
    if (st != status::kNoErr) {
        MemFree(handle);
        return nullptr;
    }
    return handle;
}

void VXAddDisplayComment(int16_t kind, const void* data, int32_t length) {
    DLRecordState* rs = CaptureOf(VXGetCurrentGrafState());
    if (!rs || kind <= 0 || length < 0 || (length > 0 && !data)) return;
    uint8_t opcode;
    switch (length) {
        case 0: opcode = 0x26; break;
        case 2: opcode = 0x36; break;
        case 4: opcode = 0x46; break;
        default: opcode = length < 32768 ? 0x56 : 0x66; break;
    }
    Rec rec = ParamRec(opcode, uint16_t(kind));
    if (opcode == 0x56) rec.u16(uint16_t(length));
    if (opcode == 0x66) rec.u32(uint32_t(length));
    rec.put(rs);
    Put(rs, data, length);
    PutPad(rs, length);
}

void DLRecordText(VXGrafState* window, const void* text, int32_t length, uint32_t encoding) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs || !text) return;
    if (length < 0) length = VXResolveTextCount(text, length, encoding);
    std::string utf8;
    if (length == 0 || !TextToUTF8(text, length, encoding, &utf8) || utf8.empty()) return;
    DLFlushState(rs, window, kFlushColors | kFlushTextStyle);
    const Point pen = PenOf(window);
    const int32_t count = DLCutUTF8(utf8.data(), int32_t(utf8.size()), kDLMaxTextBytes);
    const int32_t dv = pen.v - rs->pen.v, dh = pen.h - rs->pen.h;
    Rec rec(0, 0);
    if (!rs->penStale && dv == 0 && dh == 0) {
        rec = ParamRec(0x86, uint32_t(count));
    } else if (!rs->penStale && !(rs->flags & kDLNoRelative) && InByteRange(dv) &&
               InByteRange(dh)) {
        rec = ParamRec(0xA6, uint32_t(count + 2));
        rec.i8(dv).i8(dh);
    } else {
        rec = ParamRec(0x96, uint32_t(count + 4));
        rec.point(pen);
    }
    rec.put(rs);
    Put(rs, utf8.data(), count);
    PutPad(rs, count);
    if (window->port)
        QZMove(window->port, int32_t(VXMeasureTextBytes(utf8.data(), count, kEncodingUTF8, false)),
               0);
    rs->penStale = 1;
}

void DLRecordLine(VXGrafState* window, int16_t h, int16_t v, uint8_t width, uint8_t round) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs) return;
    constexpr uint32_t kLineMask =
        kFlushColors | kFlushPattern | kFlushDrawMode | kFlushPenWidth | kFlushPenPosition;
    DLFlushState(rs, window, kLineMask);
    const Point start = rs->pen;
    rs->pen = {v, h};
    if (window->port) QZMoveTo(window->port, h, v);
    const int32_t dv = v - start.v, dh = h - start.h;
    if (!(rs->flags & kDLNoRelative) && InByteRange(dv) && InByteRange(dh)) {
        Rec(round ? 0x38 : 0x18, round ? width : 0).i8(dv).i8(dh).put(rs);
    } else {
        Rec(round ? 0x22 : 0x12, round ? width : 0).point({v, h}).put(rs);
    }
}

void DLRecordRect(VXGrafState* window, const Rect* r, int8_t verb) {
    DLRecordState* rs = CaptureOf(window);
    if (rs && r) DLPutFramedShapeHeader(rs, window, r, verb, 0x05).put(rs);
}

void DLRecordOval(VXGrafState* window, const Rect* r, int8_t verb) {
    DLRecordState* rs = CaptureOf(window);
    if (rs && r) DLPutFramedShapeHeader(rs, window, r, verb, 0x15).put(rs);
}

void DLRecordRRect(VXGrafState* window, const Rect* r, int16_t ovalWidth, int16_t ovalHeight,
                   int8_t verb) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs || !r) return;
    DLPutFramedShapeHeader(rs, window, r, verb, 0x85)
        .u16(uint16_t(ovalWidth))
        .u16(uint16_t(ovalHeight))
        .put(rs);
}

void DLRecordArc(VXGrafState* window, const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs || !r) return;
    DLPutFramedShapeHeader(rs, window, r, verb, 0x95)
        .u16(uint16_t(start))
        .u16(uint16_t(arc))
        .put(rs);
}

// The pen ends at the last point whatever the verb, as the standard polygon leaves it, so
// that what follows a filled polygon plays from where it was drawn.
void DLRecordPoly(VXGrafState* window, const Point* points, int16_t count, int8_t verb) {
    DLRecordState* rs = CaptureOf(window);
    if (!rs || !points || count <= 0) return;
    DLPutShapeHeader(rs, window, 0x04, uint8_t(verb), verb);
    const uint16_t n = uint16_t(count);
    Put(rs, &n, 2);
    static_assert(sizeof(Point) == 4);
    Put(rs, points, int32_t(count) * 4);
    const Point last = points[count - 1];
    rs->pen = last;
    if (window->port) QZMoveTo(window->port, last.h, last.v);
}

}  // namespace plexa
