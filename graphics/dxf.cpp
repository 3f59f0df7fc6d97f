// The DXF writer: output state, sections, blocks, entities, the header and the conversion port.
#include "graphics/dxf.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/arcs.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

DXFPort* gCurrentDXF = nullptr;
DXFHooks gHooks;
VXGrafProcsRecord gConvertProcs{};

constexpr int32_t kMoveChunk = 1024;
constexpr int32_t kEmptyLow = 0x7FFFFFFF;
constexpr int32_t kEmptyHigh = -0x7FFFFFFF;
constexpr const char* kBlockPrefix = "DXF_BLK_";

void ShowMessage(const char* message) {
    if (gHooks.displayMessage) gHooks.displayMessage(message);
}

void ReportError(OSStatus status) {
    if (status != 0 && status != status::kUserCancelled && gHooks.errorReport)
        gHooks.errorReport(status);
}

// ---- Text of the output ----

// Group lines: a code line and a value line, each ended by CR LF.
class Lines {
public:
    void Raw(std::string_view value) {
        text_.append(value);
        text_.append("\r\n");
    }
    void Str(int32_t code, std::string_view value) {
        Int(code);
        Raw(value);
    }
    void Int(int32_t code) {
        char buffer[16];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, code);
        Raw(std::string_view(buffer, size_t(r.ptr - buffer)));
    }
    void Int(int32_t code, int32_t value) {
        Int(code);
        Int(value);
    }
    void Real(int32_t code, double value, int32_t decimals = 6) {
        Int(code);
        char buffer[64];
        const int32_t n = DXFFormatReal(value, decimals, buffer, sizeof buffer);
        Raw(std::string_view(buffer, size_t(n)));
    }
    // A run of fixed lines, e.g. {"0", "ENDSEC", "0", "EOF"}.
    void Words(std::initializer_list<const char*> words) {
        for (const char* w : words) Raw(w);
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

bool Failed(const DXFPort* d) { return d->status != 0; }

void Fail(DXFPort* d, OSStatus status) {
    if (d->status == 0) d->status = status;
}

// Appends text at the end of the output through the IO procedure.
OSStatus IOStream(DXFPort* d, const void* bytes, int32_t count) {
    int32_t size = 0;
    OSStatus st = d->ioProc(d, kDXFSize, &size, 0, nullptr);
    if (st != 0) return st;
    return d->ioProc(d, kDXFWrite, &size, count, const_cast<void*>(bytes));
}

// Sends text through the stream procedure; nothing more after the first failure.
void Stream(DXFPort* d, const Lines& lines) {
    if (Failed(d) || lines.text().empty() || !d->streamProc) return;
    if (lines.text().size() > size_t(INT32_MAX)) return Fail(d, status::kParamErr);
    Fail(d, d->streamProc(d, lines.text().data(), int32_t(lines.text().size())));
}

double X(const DXFPort* d, double h) { return h * d->unit; }

double Y(const DXFPort* d, double v) {
    if (d->flags & kDXFNoFlip) return v * d->unit;
    if (d->flags & kDXFBlockOpen) return 0 - v * d->unit;
    return d->pageHeight - v * d->unit;
}

void LayerAndLineType(Lines& out) {
    out.Str(8, "Layer_1");
    out.Str(6, "CONTINUOUS");
    out.Int(62, 7);
}

void StreamPoint(const DXFPort* d, Lines& out, double h, double v, int32_t xCode, int32_t yCode,
                 int32_t zCode) {
    out.Real(xCode, X(d, h));
    out.Real(yCode, Y(d, v));
    if (zCode) out.Real(zCode, 0.0);
}

void StreamPolyHeader(const DXFPort* d, Lines& out, int32_t width, bool closed) {
    out.Str(0, "POLYLINE");
    LayerAndLineType(out);
    out.Int(66, 1);
    if (closed) out.Int(70, 1);
    out.Real(40, width * d->unit);
    out.Real(41, width * d->unit);
}

// A vertex; bulge in tenths of a degree, positive for an arc that turns from the +h towards the
// +v direction (clockwise as seen on the screen). DXF counts bulges counter-clockwise in its own
// coordinates, so the bulge is written negated when the y axis is flipped.
void StreamPolyVertex(const DXFPort* d, Lines& out, double h, double v, int32_t bulge) {
    out.Str(0, "VERTEX");
    out.Str(8, "Layer_1");
    StreamPoint(d, out, h, v, 10, 20, 30);
    if (bulge == 0) return;
    if (!(d->flags & kDXFNoFlip)) bulge = -bulge;
    const double t = std::tan(double(std::abs(bulge) / 4) / kTenthsPerRadian);
    out.Real(42, bulge < 0 ? -t : t);
}

void StreamSeqEnd(Lines& out) { out.Str(0, "SEQEND"); }

// Bytes that would break the group structure: 1 to 26 become a caret and a letter, other
// control bytes "?", a caret "^ " (a literal caret).
std::string EscapeText(const void* bytes, uint32_t count) {
    std::string s;
    const auto* p = static_cast<const uint8_t*>(bytes);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t c = p[i];
        if (c >= 1 && c <= 26) {
            s += '^';
            s += char(c + 0x40);
        } else if (c < 32 || c == 127) {
            s += '?';
        } else if (c == '^') {
            s += "^ ";
        } else {
            s += char(c);
        }
    }
    return s;
}

void StreamBlockName(Lines& out, const char* name, int32_t number) {
    std::string s = EscapeText(name, uint32_t(std::strlen(name)));
    if (number >= 0) s += std::to_string(number);
    out.Str(2, s);
}

// ---- Extents ----

void AddToRect(LRect* r, int32_t h, int32_t v) {
    r->top = std::min(r->top, v);
    r->left = std::min(r->left, h);
    r->bottom = std::max(r->bottom, v);
    r->right = std::max(r->right, h);
}

DXFBlockRecord* OpenBlock(DXFPort* d) {
    if (!(d->flags & kDXFBlockOpen)) return nullptr;
    const uint32_t n = VXChunkyCount(d->blocks);
    return n ? VXChunkyItemAs<DXFBlockRecord>(d->blocks, n - 1) : nullptr;
}

void ExtentPoint(DXFPort* d, int32_t h, int32_t v) {
    DXFBlockRecord* block = OpenBlock(d);
    AddToRect(block ? &block->bounds : &d->extents, h, v);
}

bool IsEmptyExtent(const LRect* r) { return r->top > r->bottom || r->left > r->right; }

int32_t Clamp32(int64_t x) { return int32_t(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)); }

// ---- Sections ----

void OpenEntities(DXFPort* d) {
    if (d->flags & (kDXFBlockOpen | kDXFEntitiesOpen)) return;
    Lines out;
    out.Words({"0", "ENDSEC", "0", "SECTION", "2", "ENTITIES"});
    Stream(d, out);
    d->flags |= kDXFEntitiesOpen;
}

// ---- Arcs and ellipses ----

int32_t Mod360(int32_t a) {
    a %= 360;
    return a < 0 ? a + 360 : a;
}

// The 1-based number of an ellipse-arc pair, added when new; 0 when memory fails.
int32_t EllipseArcNumber(DXFPort* d, uint16_t start, uint16_t end) {
    if (!d->ellipseArcs) d->ellipseArcs = AllocHandle(nullptr, 0);
    if (!d->ellipseArcs) return 0;
    const uint32_t n = SizeOfHandle(d->ellipseArcs) / 4;
    for (uint32_t i = 0; i < n; ++i) {
        uint16_t pair[2];
        std::memcpy(pair, *d->ellipseArcs + i * 4, sizeof pair);
        if (pair[0] == start && pair[1] == end) return int32_t(i + 1);
    }
    const uint16_t pair[2] = {start, end};
    if (!AppendHandle(d->ellipseArcs, pair, sizeof pair)) return 0;
    d->ellipseArcCount = int32_t(n + 1);
    return int32_t(n + 1);
}

// The point of an angle (degrees, 0 at the top, clockwise) on the ellipse of a rectangle.
void EllipsePoint(const LRect& r, double degrees, int32_t* h, int32_t* v) {
    const double a = degrees * kArcPi / 180.0;
    const double ch = (double(r.left) + r.right) / 2, cv = (double(r.top) + r.bottom) / 2;
    *h = RoundToInt32(ch + (double(r.right) - r.left) / 2 * std::sin(a));
    *v = RoundToInt32(cv - (double(r.bottom) - r.top) / 2 * std::cos(a));
}

void ArcExtents(DXFPort* d, const LRect& r, int32_t start, int32_t arc) {
    const int32_t near = arc > 0 ? start : start + arc;
    const int32_t far = arc > 0 ? start + arc : start;
    int32_t h, v;
    EllipsePoint(r, near, &h, &v);
    ExtentPoint(d, h, v);
    EllipsePoint(r, far, &h, &v);
    ExtentPoint(d, h, v);
    // Multiples of 90 degrees passed from near to far.
    int32_t k = near >= 0 ? (near + 89) / 90 : -((-near) / 90);
    for (int32_t a = k * 90; a < far && a - near < 720; a += 90) {
        if (a <= near) continue;
        EllipsePoint(r, a, &h, &v);
        ExtentPoint(d, h, v);
    }
}

void WriteOvalOrArc(DXFPort* d, const DXFEntityRecord* e, bool isArc, Lines& out) {
    const LRect r = {e->first.v, e->first.h, e->second.v, e->second.h};
    const double ch = (double(r.left) + r.right) / 2, cv = (double(r.top) + r.bottom) / 2;
    const double rx = (double(r.right) - r.left) / 2 * d->unit;
    const double ry = (double(r.bottom) - r.top) / 2 * d->unit;
    const int32_t s = e->angle1, a = e->angle2;
    const int32_t far = a > 0 ? s + a : s, near = a > 0 ? s : s + a;
    const int32_t dxfStart = Mod360(90 - far);
    int32_t dxfEnd = Mod360(90 - near);
    if (dxfEnd == 0) dxfEnd = 360;
    if (std::fabs(rx - ry) >= 1e-5) {
        out.Str(0, "INSERT");
        LayerAndLineType(out);
        if (isArc) {
            const int32_t n = EllipseArcNumber(d, uint16_t(dxfStart), uint16_t(dxfEnd));
            if (n == 0) return Fail(d, status::kOutOfMemory);
            out.Str(2, "ELLIPSEARC" + std::to_string(n));
        } else {
            out.Str(2, "ELLIPSE");
        }
        StreamPoint(d, out, ch, cv, 10, 20, 30);
        out.Real(41, rx);
        out.Real(42, ry);
    } else {
        out.Str(0, isArc ? "ARC" : "CIRCLE");
        LayerAndLineType(out);
        StreamPoint(d, out, ch, cv, 10, 20, 30);
        out.Real(40, rx);
        if (isArc) {
            out.Real(50, dxfStart);
            out.Real(51, dxfEnd);
        }
    }
    if (isArc) {
        ArcExtents(d, r, s, a);
    } else {
        ExtentPoint(d, r.left, r.top);
        ExtentPoint(d, r.right, r.bottom);
    }
}

// ---- Entities ----

void WriteRoundRect(DXFPort* d, const DXFEntityRecord* e, Lines& out) {
    const double top = e->first.v, left = e->first.h, bottom = e->second.v, right = e->second.h;
    // The corner radius is half the oval width, at most half the shorter side.
    double r = e->oval.h / 2.0;
    r = std::clamp(r, 0.0, std::min(right - left, bottom - top) / 2);
    StreamPolyHeader(d, out, e->lineWidth, true);
    StreamPolyVertex(d, out, left + r, top, 0);
    StreamPolyVertex(d, out, right - r, top, 900);
    StreamPolyVertex(d, out, right, top + r, 0);
    StreamPolyVertex(d, out, right, bottom - r, 900);
    StreamPolyVertex(d, out, right - r, bottom, 0);
    StreamPolyVertex(d, out, left + r, bottom, 900);
    StreamPolyVertex(d, out, left, bottom - r, 0);
    StreamPolyVertex(d, out, left, top + r, 900);
    StreamSeqEnd(out);
}

// A path: sharp corners are vertices; a corner with a radius is rounded by its fillet arc
// (arc start with the arc's bulge, then its end) when the fillet can be computed.
void WritePath(DXFPort* d, const DXFEntityRecord* e, Lines& out) {
    const auto* p = static_cast<const _LPNT*>(e->data);
    const uint16_t n = e->pointCount;
    StreamPolyHeader(d, out, e->lineWidth, false);
    for (uint16_t i = 0; i < n; ++i) {
        ExtentPoint(d, p[i].h, p[i].v);
        const int32_t radius = e->radii ? e->radii[i] : 0;
        if (i > 0 && i + 1 < n && radius > 0) {
            _LPNT t1{}, t2{};
            int16_t sweep = 0, direction = 0;
            if (GPathCalcFilletArcRawInfo(&p[i - 1], &p[i], &p[i + 1], radius, nullptr, &t1, &t2,
                                          nullptr, nullptr, &sweep, &direction)) {
                const int32_t angle = std::abs(int32_t(sweep));
                StreamPolyVertex(d, out, t1.h, t1.v,
                                 direction == kFilletClockwise ? angle : -angle);
                StreamPolyVertex(d, out, t2.h, t2.v, 0);
                continue;
            }
        }
        StreamPolyVertex(d, out, p[i].h, p[i].v, 0);
    }
    StreamSeqEnd(out);
}

void WriteText(DXFPort* d, const DXFEntityRecord* e, Lines& out) {
    const int32_t rotation = Mod360(e->angle1);
    const double x = X(d, e->first.h), y = Y(d, e->first.v);
    out.Str(0, "TEXT");
    LayerAndLineType(out);
    out.Real(10, x);
    out.Real(20, y);
    out.Real(30, 0.0);
    out.Real(40, -e->second.v * 0.78 * d->textHeightFactor * d->unit);
    if (rotation != 0) out.Real(50, Mod360(360 - rotation));
    // The second alignment point: the text width along the baseline, turned with the text.
    const double width = (e->mirrored ? -1.0 : 1.0) * e->second.h * d->unit;
    const double a = -rotation * kArcPi / 180.0;
    out.Real(11, x + width * std::cos(a));
    out.Real(21, y + width * std::sin(a));
    out.Int(72, 5);
    if (e->mirrored) out.Int(71, 2);
    out.Str(1, e->data ? EscapeText(e->data, e->pointCount) : std::string());

    ExtentPoint(d, e->first.h, e->first.v);
    _LPNT corner = {e->first.v + e->second.v, e->first.h + e->second.h};
    if (rotation != 0) VXLRotatePointTenthDegrees(&corner, &e->first, rotation * 10);
    ExtentPoint(d, corner.h, corner.v);
}

int32_t FindBlock(const DXFPort* d, const char* name, int32_t number) {
    const uint32_t n = VXChunkyCount(d->blocks);
    char buffer[kStringSpecBufferSize];
    for (uint32_t i = 0; i < n; ++i) {
        const auto* b = VXChunkyItemAs<DXFBlockRecord>(d->blocks, i);
        if (int64_t(b->number) != int64_t(number)) continue;
        ExtractStringSpec(b->name, d->blockNames, buffer, sizeof buffer);
        if (StrCINCmp(buffer, name, kStringSpecBufferSize) == 0) return int32_t(i);
    }
    return -1;
}

void WriteBlockReference(DXFPort* d, const DXFEntityRecord* e, Lines& out) {
    const char* name = e->name ? e->name : "";
    out.Str(0, "INSERT");
    LayerAndLineType(out);
    StreamBlockName(out, name, e->number);
    StreamPoint(d, out, e->first.h, e->first.v, 10, 20, 30);
    if (e->angle1 != 0) out.Real(50, e->angle1 / -10.0, 1);

    const int32_t index = FindBlock(d, name, e->number);
    if (index < 0) return;
    auto* b = VXChunkyItemAs<DXFBlockRecord>(d->blocks, uint32_t(index));
    b->used = 1;
    const LRect bounds = b->bounds;
    if (IsEmptyExtent(&bounds)) return ExtentPoint(d, e->first.h, e->first.v);
    ExtentPoint(d, Clamp32(int64_t(e->first.h) + bounds.left),
                Clamp32(int64_t(e->first.v) + bounds.top));
    ExtentPoint(d, Clamp32(int64_t(e->first.h) + bounds.right),
                Clamp32(int64_t(e->first.v) + bounds.bottom));
}

// ---- Conversion procedures ----

struct GrafState {
    DXFPort* dxf;
    VXGrafState* port;
    int32_t width;
    bool filled;
    bool centre;
};

// The current output and conversion port with the pen's width for a verb: frames are written
// with the pen (0 a hairline), paints filled with a width of at least 1, other verbs not at all.
bool GetGrafState(GrafState* out, int8_t verb) {
    out->dxf = gCurrentDXF;
    out->port = VXGetCurrentGrafState();
    if (!out->dxf || !out->port || !out->port->port) return false;
    out->width = std::max(out->port->port->penSize, 0);
    out->centre = out->dxf->flags & kDXFCenterLines;
    out->filled = verb == 1;
    if (verb == 1) out->width = std::max(out->width, 1);
    return verb == 0 || verb == 1;
}

// A shape entity of the rectangle, moved onto the centre line of the pen; false for an
// empty rectangle.
bool SetupEntity(DXFEntityRecord* e, const GrafState& g, uint16_t kind, const Rect* r) {
    if (!r || RectIsEmpty(*r)) return false;
    e->kind = kind;
    e->filled = g.filled;
    e->lineWidth = g.width;
    e->first = {r->top, r->left};
    e->second = {r->bottom, r->right};
    if (g.centre) {
        const int32_t half = g.width / 2, rest = g.width - half;
        e->first.v += half;
        e->first.h += half;
        e->second.v -= rest;
        e->second.h -= rest;
    }
    return true;
}

void ConvertShape(uint16_t kind, const Rect* r, int8_t verb, int16_t a, int16_t b) {
    GrafState g;
    if (!GetGrafState(&g, verb)) return;
    DXFEntityRecord e;
    if (!SetupEntity(&e, g, kind, r)) return;
    if (kind == kDXFRoundRect) e.oval = {a, b};  // {height, width}
    if (kind == kDXFArc) {
        e.angle1 = a;
        e.angle2 = b;
    }
    DXFEntity(g.dxf, &e);
}

// A line from the pen to (h, v) with the pen's width; the pen moves to (h, v).
void ConvertLineFrom(int32_t h, int32_t v, bool adjust) {
    GrafState g;
    if (!GetGrafState(&g, 0)) return;
    QZPort* port = g.port->port;
    const int32_t shift = adjust && g.centre ? g.width / 2 : 0;
    DXFEntityRecord e;
    e.kind = kDXFLine;
    e.lineWidth = g.width;
    e.first = {port->pen.v + shift, port->pen.h + shift};
    e.second = {v + shift, h + shift};
    DXFEntity(g.dxf, &e);
    QZMoveTo(port, h, v);
}

// Only the entity just before counts as "the previous polygon".
void ForgetPolygon(DXFPort* d) {
    d->lastPolyCount = 0;
    d->lastPolyVerb = -1;
}

bool EqualsLastPoly(const DXFPort* d, const Point* points, int16_t count) {
    if (count != d->lastPolyCount || count > 32) return false;
    for (int16_t i = 0; i < count; ++i)
        if (points[i].h != d->lastPoly[i].h || points[i].v != d->lastPoly[i].v) return false;
    return true;
}

// Text as ASCII: characters outside it become "?".
std::string AsciiText(const void* text, int32_t count, uint32_t encoding) {
    const auto* p = static_cast<const uint8_t*>(text);
    bool ascii = encoding != kEncodingUTF16LE;
    for (int32_t i = 0; ascii && i < count; ++i) ascii = p[i] < 0x80;
    if (ascii) return std::string(reinterpret_cast<const char*>(p), size_t(count));
    std::string terminated(reinterpret_cast<const char*>(p), size_t(count));
    terminated.append(2, '\0');
    const std::u16string units = TempCFStringUsing(terminated.data(), encoding);
    std::string out;
    if (units.empty()) {
        for (int32_t i = 0; i < count; ++i) out += p[i] < 0x80 ? char(p[i]) : '?';
        return out;
    }
    for (char16_t u : units) {
        if (u >= 0xDC00 && u <= 0xDFFF) continue;  // the second half of a pair
        out += u < 0x80 ? char(u) : '?';
    }
    return out;
}

}  // namespace

// ---- Formatting ----

int32_t DXFFormatReal(double value, int32_t decimals, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return 0;
    if (!std::isfinite(value)) value = 0;
    char text[400];
    auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed,
                           std::clamp(decimals, 0, 17));
    int32_t n = r.ec == std::errc() ? int32_t(r.ptr - text) : 0;
    // A value that rounds to zero has no sign.
    const auto zero = [](char c) { return c == '0' || c == '.'; };
    if (n > 0 && text[0] == '-' && std::all_of(text + 1, text + n, zero))
        std::memmove(text, text + 1, size_t(--n));
    n = std::min(n, size - 1);
    std::memcpy(buffer, text, size_t(n));
    buffer[n] = 0;
    return n;
}

// ---- Output ----

void DXFSetHooks(const DXFHooks* hooks) { gHooks = hooks ? *hooks : DXFHooks{}; }
const DXFHooks& DXFGetHooks() { return gHooks; }

DXFPort* DXFGetCurrent() { return gCurrentDXF; }

namespace {

void FreeTables(DXFPort* d) {
    VXDestroyChunkyBlock(d->blocks);
    d->blocks = nullptr;
    DestroyStringBlock(d->blockNames);
    d->blockNames = nullptr;
    if (d->ellipseArcs) MemFree(d->ellipseArcs);
    d->ellipseArcs = nullptr;
    d->ellipseArcCount = 0;
}

bool BeginOutput(const LRect* page, double scale, DXFIOProc io, const FileSpec* spec,
                 DXFPort* state) {
    if (!state) return false;
    FreeTables(state);  // of an earlier output that was never ended
    *state = DXFPort{};
    state->outputSpec = spec;
    state->streamProc = IOStream;
    state->ioProc = io ? io : DXFDefaultIOProc;
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
    state->unit = 1.0 / scale;
    state->textHeightFactor = 1.0;
    if (page) state->page = *page;
    state->pageHeight = state->page.bottom * state->unit;
    state->extents = {kEmptyLow, kEmptyLow, kEmptyHigh, kEmptyHigh};
    int32_t opened = 0;
    const OSStatus st = state->ioProc(state, kDXFOpen, &opened, 0, nullptr);
    gCurrentDXF = state;
    state->flags |= kDXFCenterLines;
    if (st != 0) Fail(state, st);
    return st == 0 && opened == 1;
}

}  // namespace

bool DXFBegin(const LRect* page, double scale, DXFIOProc io, DXFPort* state) {
    return BeginOutput(page, scale, io, nullptr, state);
}

bool DXFBeginToFile(const LRect* page, double scale, const FileSpec* spec, DXFPort* state) {
    return BeginOutput(page, scale, DXFDefaultIOProc, spec, state);
}

OSStatus DXFDefaultIOProc(DXFPort* state, int16_t operation, int32_t* value, int32_t count,
                          void* data) {
    if (!state) return status::kParamErr;
    OSStatus st = status::kNoErr;
    switch (operation) {
        case kDXFOpen: {
            if (value) *value = 0;
            FileSpec spec{};
            if (state->outputSpec) spec = *state->outputSpec;
            else if (gHooks.askSaveFile)
                st = gHooks.askSaveFile("Save DXF file as:", "R*ch", "TEXT", &spec);
            else st = status::kUserCancelled;
            if (st == 0) st = CreateDataFile(&spec, "R*ch", "TEXT", false);
            DataFileRef ref = 0;
            if (st == 0) st = OpenDataFile(&spec, false, &ref);
            if (st == 0 && (st = SetFileEOF(ref, 0)) != 0)
                (void)CloseAndOrFlushDataFile(ref, true, false);  // the truncation status is the one reported
            if (st == 0) {
                state->fileRef = ref;
                if (value) *value = 1;
            }
            break;
        }
        case kDXFClose:
            if (state->fileRef == 0) return status::kNoErr;
            st = CloseAndOrFlushDataFile(state->fileRef, true, true);
            state->fileRef = 0;
            break;
        case kDXFRead:
        case kDXFWrite: {
            if (!value || count < 0 || (count > 0 && !data)) return status::kParamErr;
            st = SetFileMark(state->fileRef, *value, false);
            if (st == status::kEndOfFile && operation == kDXFWrite) st = status::kNoErr;
            int32_t n = count;
            if (st == 0)
                st = operation == kDXFRead ? ReadFromFile(state->fileRef, data, &n)
                                           : WriteToFile(state->fileRef, data, &n);
            break;
        }
        case kDXFSize: {
            if (!value) return status::kParamErr;
            int64_t size = 0;
            st = GetFileEndEx(state->fileRef, &size);
            if (st == 0 && size > INT32_MAX) st = status::kParamErr;
            *value = st == 0 ? int32_t(size) : 0;
            break;
        }
        default:
            return status::kParamErr;
    }
    ReportError(st);
    return st;
}

bool DXFEnableCenterLineAdjustment(bool on) {
    DXFPort* d = gCurrentDXF;
    if (!d) return false;
    const bool previous = d->flags & kDXFCenterLines;
    if (on) d->flags |= kDXFCenterLines;
    else d->flags &= uint16_t(~kDXFCenterLines);
    return previous;
}

// ---- Blocks ----

void DXFBlockBeginEx(DXFPort* state, const char* name, int32_t number) {
    if (!state) return;
    gCurrentDXF = state;
    ForgetPolygon(state);
    if (state->flags & kDXFBlockOpen) return ShowMessage("ERROR: Nested blocks not allowed.");
    if (state->flags & kDXFEntitiesOpen)
        return ShowMessage("ERROR: Blocks cannot be defined in the Entities section.");
    if (!name) name = "";
    if (!state->blocks) {
        state->blocks = VXCreateChunkyBlock(nullptr, sizeof(DXFBlockRecord), 16, 0);
        state->blockNames = CreateStringBlock(nullptr, 256);
    }
    DXFBlockRecord record{};
    record.number = uint32_t(number);
    record.bounds = {kEmptyLow, kEmptyLow, kEmptyHigh, kEmptyHigh};
    if (state->blockNames)
        record.name =
            OverlayStringBlock(state->blockNames, name, int32_t(std::strlen(name)), nullptr);
    if (!state->blocks || !state->blockNames || VXChunkyAdd(state->blocks, &record) < 0)
        return Fail(state, status::kOutOfMemory);
    state->flags |= kDXFBlockOpen;
    Lines out;
    out.Words({"0", "BLOCK"});
    out.Str(8, "Layer_1");
    StreamBlockName(out, name, number);
    out.Int(70, 0);
    out.Real(10, 0.0);
    out.Real(20, 0.0);
    out.Real(30, 0.0);
    Stream(state, out);
}

void DXFBlockBegin(DXFPort* state, int32_t number) { DXFBlockBeginEx(state, kBlockPrefix, number); }

void DXFBlockEnd(DXFPort* state) {
    if (!state) return;
    gCurrentDXF = state;
    ForgetPolygon(state);
    if (!(state->flags & kDXFBlockOpen))
        return ShowMessage("ERROR: No matching \"BlockBegin\" for a \"BlockEnd\".");
    Lines out;
    out.Words({"0", "ENDBLK"});
    Stream(state, out);
    state->flags &= uint16_t(~kDXFBlockOpen);
}

void DXFBlockReference(DXFPort* state, int32_t number, const _LPNT* point) {
    if (!state || !point) return;
    DXFEntityRecord e;
    e.kind = kDXFBlockRef;
    e.name = kBlockPrefix;
    e.number = number;
    e.first = *point;
    DXFEntity(state, &e);
}

// ---- Entities ----

void DXFEntity(DXFPort* state, const DXFEntityRecord* e) {
    if (!state || !e) return;
    gCurrentDXF = state;
    ForgetPolygon(state);
    if (e->kind < kDXFLine || e->kind > kDXFBlockRef) return;
    if ((e->kind == kDXFPolyline || e->kind == kDXFPath) && e->pointCount > 0 && !e->data) return;
    OpenEntities(state);
    Lines out;
    switch (e->kind) {
        case kDXFLine:
            if (e->lineWidth < 2) {
                out.Str(0, "LINE");
                LayerAndLineType(out);
                StreamPoint(state, out, e->first.h, e->first.v, 10, 20, 30);
                StreamPoint(state, out, e->second.h, e->second.v, 11, 21, 31);
            } else {
                StreamPolyHeader(state, out, e->lineWidth, false);
                StreamPolyVertex(state, out, e->first.h, e->first.v, 0);
                StreamPolyVertex(state, out, e->second.h, e->second.v, 0);
                StreamSeqEnd(out);
            }
            ExtentPoint(state, e->first.h, e->first.v);
            ExtentPoint(state, e->second.h, e->second.v);
            break;
        case kDXFRect:
            StreamPolyHeader(state, out, e->lineWidth, true);
            StreamPolyVertex(state, out, e->first.h, e->second.v, 0);
            StreamPolyVertex(state, out, e->second.h, e->second.v, 0);
            StreamPolyVertex(state, out, e->second.h, e->first.v, 0);
            StreamPolyVertex(state, out, e->first.h, e->first.v, 0);
            StreamSeqEnd(out);
            ExtentPoint(state, e->first.h, e->first.v);
            ExtentPoint(state, e->second.h, e->second.v);
            break;
        case kDXFRoundRect:
            WriteRoundRect(state, e, out);
            ExtentPoint(state, e->first.h, e->first.v);
            ExtentPoint(state, e->second.h, e->second.v);
            break;
        case kDXFOval:
        case kDXFArc:
            WriteOvalOrArc(state, e, e->kind == kDXFArc, out);
            break;
        case kDXFPolyline: {
            const auto* p = static_cast<const _LPNT*>(e->data);
            StreamPolyHeader(state, out, e->lineWidth, false);
            for (uint16_t i = 0; i < e->pointCount; ++i) {
                StreamPolyVertex(state, out, p[i].h, p[i].v, 0);
                ExtentPoint(state, p[i].h, p[i].v);
            }
            StreamSeqEnd(out);
            break;
        }
        case kDXFPath:
            WritePath(state, e, out);
            break;
        case kDXFText:
            WriteText(state, e, out);
            break;
        case kDXFBlockRef:
            WriteBlockReference(state, e, out);
            break;
    }
    Stream(state, out);
}

// ---- Finishing ----

namespace {

void WriteHeader(const DXFPort* d, Lines& out) {
    const double u = d->unit;
    const bool empty = IsEmptyExtent(&d->extents);
    const LRect& x = d->extents;
    out.Words({"0", "SECTION", "2", "HEADER", "9", "$ACADVER", "1", "AC1006", "9", "$INSBASE",
               "10", "0.0", "20", "0.0", "30", "0.0", "9", "$EXTMIN"});
    out.Real(10, empty ? 0.0 : x.left * u);
    out.Real(20, empty ? 0.0 : d->pageHeight - x.bottom * u);
    out.Str(9, "$EXTMAX");
    out.Real(10, empty ? 0.0 : x.right * u);
    out.Real(20, empty ? 0.0 : d->pageHeight - x.top * u);
    out.Str(9, "$LIMMIN");
    out.Real(10, d->page.left * u);
    out.Real(20, d->page.top * u);
    out.Str(9, "$LIMMAX");
    out.Real(10, d->page.right * u);
    out.Real(20, d->page.bottom * u);

    struct Variable {
        const char* name;
        int32_t code;
        const char* value;
    };
    static const Variable kFixed[] = {
        {"$AXISMODE", 70, "0"},         {"$CHAMFERA", 40, "0.088388"},
        {"$CHAMFERB", 40, "0.088388"},  {"$DIMALT", 70, "0"},
        {"$DIMASZ", 40, "0.180000"},    {"$DIMCEN", 40, "0.250000"},
        {"$DIMDLE", 40, "0.000000"},    {"$DIMDLI", 40, "0.250000"},
        {"$DIMEXE", 40, "0.125000"},    {"$DIMEXO", 40, "0.062500"},
        {"$DIMLIM", 70, "0"},           {"$DIMRND", 40, "0.000000"},
        {"$DIMSCALE", 40, "1.000000"},  {"$DIMSE1", 70, "0"},
        {"$DIMSE2", 70, "0"},           {"$DIMTAD", 70, "0"},
        {"$DIMTIH", 70, "1"},           {"$DIMTM", 40, "-0.005000"},
        {"$DIMTOH", 70, "1"},           {"$DIMTOL", 70, "0"},
        {"$DIMTP", 40, "0.005000"},     {"$FILLETRAD", 40, "0.250000"},
        {"$FILLMODE", 70, "1"},         {"$GRIDMODE", 70, "1"},
        {"$LTSCALE", 40, "1.000000"},   {"$LUNITS", 70, "2"},
        {"$LUPREC", 70, "3"},           {"$SNAPMODE", 70, "0"},
    };
    for (const Variable& v : kFixed) {
        out.Str(9, v.name);
        out.Str(v.code, v.value);
    }
    out.Words({"0", "ENDSEC", "0", "SECTION", "2", "TABLES",
               "0", "TABLE", "2", "LTYPE", "70", "7",
               "0", "LTYPE", "2", "CONTINUOUS", "70", "0", "3", "Solid Line", "72", "65", "73", "0",
               "40", "0.000000", "0", "ENDTAB",
               "0", "TABLE", "2", "LAYER", "70", "1",
               "0", "LAYER", "2", "Layer_1", "70", "0", "62", "7", "6", "CONTINUOUS",
               "0", "ENDTAB",
               "0", "TABLE", "2", "STYLE", "70", "0", "0", "ENDTAB",
               "0", "TABLE", "2", "VIEW", "70", "0", "0", "ENDTAB",
               "0", "ENDSEC",
               "0", "SECTION", "2", "BLOCKS",
               "0", "BLOCK", "8", "0", "2", "ELLIPSE", "70", "0",
               "10", "0.000000", "20", "0.000000", "30", "0.000000",
               "0", "CIRCLE", "8", "0", "6", "BYBLOCK", "62", "0",
               "10", "0.000000", "20", "0.000000", "30", "0.000000", "40", "1.000000",
               "0", "ENDBLK"});
    const uint32_t arcs = d->ellipseArcs ? SizeOfHandle(d->ellipseArcs) / 4 : 0;
    for (uint32_t i = 0; i < arcs; ++i) {
        uint16_t pair[2];
        std::memcpy(pair, *d->ellipseArcs + i * 4, sizeof pair);
        out.Words({"0", "BLOCK", "8", "0"});
        out.Str(2, "ELLIPSEARC" + std::to_string(i + 1));
        out.Words({"70", "0", "10", "0.000000", "20", "0.000000", "30", "0.000000",
                   "0", "ARC", "8", "0", "6", "BYBLOCK", "62", "0",
                   "10", "0.000000", "20", "0.000000", "30", "0.000000", "40", "1.000000"});
        out.Real(50, pair[0]);
        out.Real(51, pair[1]);
        out.Words({"0", "ENDBLK"});
    }
}

// Moves the body towards the end by the header's size, last chunk first, and writes the
// header in front.
OSStatus PutHeaderInFront(DXFPort* d, const std::string& header) {
    int32_t size = 0;
    OSStatus st = d->ioProc(d, kDXFSize, &size, 0, nullptr);
    if (st != 0) return st;
    if (header.size() > size_t(INT32_MAX - size)) return status::kParamErr;
    const int32_t shift = int32_t(header.size());
    char chunk[kMoveChunk];
    for (int32_t end = size; end > 0;) {
        const int32_t n = std::min(end, kMoveChunk);
        const int32_t from = end - n;
        int32_t at = from;
        if ((st = d->ioProc(d, kDXFRead, &at, n, chunk)) != 0) return st;
        at = from + shift;
        if ((st = d->ioProc(d, kDXFWrite, &at, n, chunk)) != 0) return st;
        end = from;
    }
    int32_t at = 0;
    return d->ioProc(d, kDXFWrite, &at, shift, const_cast<char*>(header.data()));
}

}  // namespace

OSStatus DXFEnd(DXFPort* state) {
    if (!state || !state->ioProc) return status::kParamErr;
    gCurrentDXF = state;
    if (state->flags & kDXFBlockOpen) DXFBlockEnd(state);
    // Every block never referenced is referenced once at the origin.
    const uint32_t blocks = VXChunkyCount(state->blocks);
    for (uint32_t i = 0; i < blocks; ++i) {
        const auto* b = VXChunkyItemAs<DXFBlockRecord>(state->blocks, i);
        if (b->used) continue;
        char name[kStringSpecBufferSize];
        ExtractStringSpec(b->name, state->blockNames, name, sizeof name);
        DXFEntityRecord e;
        e.kind = kDXFBlockRef;
        e.name = name;
        e.number = int32_t(b->number);
        DXFEntity(state, &e);
    }
    Lines tail;
    tail.Words({"0", "ENDSEC", "0", "EOF"});
    Stream(state, tail);

    if (!Failed(state)) {
        Lines header;
        WriteHeader(state, header);
        Fail(state, PutHeaderInFront(state, header.text()));
    }
    FreeTables(state);
    int32_t unused = 0;
    const OSStatus closed = state->ioProc(state, kDXFClose, &unused, 0, nullptr);
    Fail(state, closed);
    if (gCurrentDXF == state) gCurrentDXF = nullptr;
    return state->status;
}

// ---- Conversion port ----

const VXGrafProcsRecord* DXFGetGrafProcs() {
    if (!gConvertProcs.text) {
        VXSetNullGrafProcs(&gConvertProcs);
        gConvertProcs.text = ConvertText;
        gConvertProcs.line = ConvertLine;
        gConvertProcs.rect = ConvertRect;
        gConvertProcs.oval = ConvertOval;
        gConvertProcs.rRect = ConvertRoundRect;
        gConvertProcs.arc = ConvertArc;
        gConvertProcs.poly = ConvertPoly;
        gConvertProcs.pixels = ConvertBits;
        gConvertProcs.roundLine = ConvertRoundLine;
        gConvertProcs.lLine = ConvertLLine;
        gConvertProcs.lPoly = ConvertLPoly;
    }
    return &gConvertProcs;
}

VXGrafState* DXFOpenPort(DXFPort* state) {
    if (!state) return nullptr;
    gCurrentDXF = state;
    auto* port = new (std::nothrow) VXGrafState;
    if (!port) return nullptr;
    port->geometry.kind = kWindowOffScreen;
    port->port = QZPortAlloc(nullptr);
    port->textStyle = CreateTextStyle(nullptr, nullptr);
    if (!port->port || !port->textStyle) {
        DXFClosePort(state, port);
        return nullptr;
    }
    port->grafProcs = DXFGetGrafProcs();
    VXSetCurrentGrafState(port);
    return port;
}

void DXFClosePort(DXFPort*, VXGrafState* port) {
    if (!port) return;
    if (VXGetCurrentGrafState() == port) VXSetCurrentGrafState(nullptr);
    DestroyTextStyle(port->textStyle);
    port->textStyle = nullptr;
    QZPortFree(port->port);
    port->port = nullptr;
    delete port;
}

void ConvertText(const void* text, int32_t count, uint32_t encoding) {
    DXFPort* d = gCurrentDXF;
    VXGrafState* s = VXGetCurrentGrafState();
    if (!d || !s || !s->port || !text) return;
    count = VXResolveTextCount(text, count, encoding);
    const std::string ascii = AsciiText(text, count, encoding);
    if (ascii.empty() || ascii.size() > 0xFFFF) return;
    _LPNT at = s->port->pen;
    const int16_t rotation = NormalizeRotationDegrees(s->textRotation);
    switch (rotation) {
        case 0: at.h -= 1; break;
        case 90: at.v -= 1; break;
        case 180: at.h += 1; break;
        case 270: at.v += 1; break;
        default: break;
    }
    const int32_t size = s->textStyle ? s->textStyle->size : 0;
    const uint32_t width = VXMeasureTextBytes(text, count, encoding, false);
    DXFEntityRecord e;
    e.kind = kDXFText;
    e.mirrored = s->textMirror ? 1 : 0;
    e.data = ascii.data();
    e.pointCount = uint16_t(ascii.size());
    e.first = at;
    e.second = {-size, int32_t(std::min<uint32_t>(width, INT32_MAX))};
    e.angle1 = rotation;
    DXFEntity(d, &e);
}

void ConvertLine(int16_t h, int16_t v) { ConvertLineFrom(h, v, true); }
void ConvertRoundLine(int16_t h, int16_t v, uint8_t) { ConvertLineFrom(h, v, false); }
void ConvertLLine(int32_t h, int32_t v) { ConvertLineFrom(h, v, false); }

void ConvertRect(const Rect* r, int8_t verb) { ConvertShape(kDXFRect, r, verb, 0, 0); }
void ConvertOval(const Rect* r, int8_t verb) { ConvertShape(kDXFOval, r, verb, 0, 0); }
void ConvertRoundRect(const Rect* r, int16_t ovalWidth, int16_t ovalHeight, int8_t verb) {
    ConvertShape(kDXFRoundRect, r, verb, ovalHeight, ovalWidth);
}
void ConvertArc(const Rect* r, int16_t start, int16_t arc, int8_t verb) {
    ConvertShape(kDXFArc, r, verb, start, arc);
}

void ConvertPoly(const Point* points, int16_t count, int8_t verb) {
    GrafState g;
    if (!points || count <= 0) return;
    const bool write = GetGrafState(&g, verb);
    if (!g.dxf || !g.port || !g.port->port) return;
    if (verb == 0) QZMoveTo(g.port->port, points[count - 1].h, points[count - 1].v);
    if (!write) return;
    DXFPort* d = g.dxf;
    if (!EqualsLastPoly(d, points, count) || d->lastPolyVerb == verb) {
        std::unique_ptr<_LPNT[]> pts(new (std::nothrow) _LPNT[size_t(count)]);
        if (!pts) return Fail(d, status::kOutOfMemory);
        const int32_t shift = g.centre ? g.width / 2 : 0;
        for (int16_t i = 0; i < count; ++i) pts[i] = {points[i].v + shift, points[i].h + shift};
        DXFEntityRecord e;
        e.kind = kDXFPolyline;
        e.filled = g.filled;
        e.lineWidth = g.width;
        e.data = pts.get();
        e.pointCount = uint16_t(count);
        DXFEntity(d, &e);  // forgets the previous polygon
    }
    d->lastPolyCount = count <= 32 ? count : 0;
    if (count <= 32) std::copy(points, points + count, d->lastPoly);
    d->lastPolyVerb = verb;
}

void ConvertLPoly(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb) {
    GrafState g;
    if (!points || count == 0) return;
    const bool write = GetGrafState(&g, verb);
    if (!g.dxf || !g.port || !g.port->port) return;
    if (verb == 0) QZMoveTo(g.port->port, points[count - 1].h, points[count - 1].v);
    if (!write) return;
    bool rounded = false;
    for (uint16_t i = 1; radii && i + 1 < count; ++i) rounded |= radii[i] > 0;
    DXFEntityRecord e;
    e.kind = rounded ? kDXFPath : kDXFPolyline;
    e.filled = g.filled;
    e.lineWidth = g.width;
    e.data = points;
    e.pointCount = count;
    e.radii = rounded ? radii : nullptr;
    DXFEntity(g.dxf, &e);
}

void ConvertBits(VXPixels*, const Rect*, const Rect*, int16_t) {
    if (gCurrentDXF) gCurrentDXF->flags |= kDXFImageDrawn;
}

}  // namespace plexa
