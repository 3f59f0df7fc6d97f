// Kept drawings; see capturecache.h.
#include "graphics/capturecache.h"

#include <cstring>
#include <utility>

#include "foundation/geometry.h"
#include "foundation/windowgeometry.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "platform/draw_context.h"

namespace plexa {

namespace {

uint64_t Pack(uint32_t hi, uint32_t lo) { return (uint64_t(hi) << 32) | lo; }

// Scaling rounds magnitudes, so a whole-pixel move keeps a drawing's pixels only while all of it
// stays on the positive side; this far in, pens and anti-aliasing stay there too.
constexpr int32_t kScaledMargin = 4;

bool Scaled(const VXGrafState* graf) { return graf->geometry.flags & kWindowFlagScaled; }

}  // namespace

bool CaptureKey::operator==(const CaptureKey& o) const { return std::memcmp(words, o.words, sizeof words) == 0; }

size_t CaptureKeyHash::operator()(const CaptureKey& k) const {
    uint64_t h = 0x9E3779B97F4A7C15ull;
    for (uint64_t w : k.words) h = (h ^ w) * 0x100000001B3ull + (h >> 29);
    return size_t(h);
}

const CapturedDrawing* CaptureCache::Find(const CaptureKey& key, const void* bytes, uint32_t size) const {
    auto found = map_.find(key);
    if (found == map_.end()) return nullptr;
    const CapturedDrawing& d = found->second;
    if (d.bytes.size() != size || std::memcmp(d.bytes.data(), bytes, size) != 0) return nullptr;
    return &d;
}

size_t CaptureCache::KeptCount() const {
    size_t n = 0;
    for (const auto& entry : map_) n += entry.second.capture != nullptr;
    return n;
}

void CaptureCache::Keep(const CaptureKey& key, CapturedDrawing drawing) {
    if (auto found = map_.find(key); found != map_.end()) {
        found->second = std::move(drawing);
        return;
    }
    if (map_.size() >= most_) map_.clear();
    map_.emplace(key, std::move(drawing));
}

bool VXCapturePlace(VXGrafState* graf, Point playPoint, _LPNT* device, uint32_t* phase) {
    if (!graf || !graf->port || !graf->port->context || graf->displayList) return false;
    // Drawing procedures of the window's own (logging, measuring) do more than lay pixels down.
    if (graf->grafProcs && graf->grafProcs != VXGetStdGrafProcs()) return false;
    const QZPort* port = graf->port;
    if (port->opacity != 1.0 || port->layerState != 0) return false;
    *device = {playPoint.v, playPoint.h};
    *phase = 0;
    if (!Scaled(graf)) return true;
    LPointsToScale(&graf->geometry, device, 1);
    _LPNT fine{int32_t(playPoint.v) * 1024, int32_t(playPoint.h) * 1024};
    LPointsToScale(&graf->geometry, &fine, 1);
    *phase = (uint32_t(fine.v) & 1023u) << 10 | (uint32_t(fine.h) & 1023u);
    return true;
}

void VXCaptureWindowWords(const VXGrafState* graf, uint32_t phase, uint64_t* words) {
    const WindowGeometry& g = graf->geometry;
    const QZPort* port = graf->port;
    words[0] = Pack(g.flags, uint32_t(uint8_t(g.pane)) | uint32_t(uint16_t(graf->textRotation)) << 8 |
                                 uint32_t(graf->textMirror) << 24);
    words[1] = Pack(uint32_t(g.scaleV), uint32_t(g.scaleH));
    words[2] = Pack(uint32_t(uint16_t(g.wholeScaleV)) | uint32_t(uint16_t(g.wholeScaleH)) << 16, phase);
    words[3] = Pack(port->blendMode, uint32_t(port->antialias) | uint32_t(port->roundCaps) << 1 |
                                         uint32_t(port->clearMode) << 2 | uint32_t(VXIsDarkAppearance()) << 3 |
                                         uint32_t(port->dashOn) << 8 | uint32_t(port->dashOff) << 16 |
                                         uint32_t(port->dashPhase) << 24);
    words[4] = reinterpret_cast<uintptr_t>(graf->grafProcs);
}

bool VXBeginKeptDrawing(VXGrafState* graf) { return graf && graf->port && QZBeginCapture(graf->port); }

KeptOutcome VXEndKeptDrawing(VXGrafState* graf, Point playPoint, const void* bytes, uint32_t size,
                             const _LPNT& device, bool withStyle, CapturedDrawing* kept) {
    std::shared_ptr<const DrawCapture> capture = QZEndCapture(graf->port);
    const auto* from = static_cast<const uint8_t*>(bytes);
    kept->bytes.assign(from, from + size);
    if (!capture) return KeptOutcome::kNever;
    int left, top, right, bottom;
    DrawContext::CaptureBounds(*capture, &left, &top, &right, &bottom);
    if (Scaled(graf) && (left < kScaledMargin || top < kScaledMargin)) return KeptOutcome::kNotHere;
    VXGrafStateScope scope(graf);
    kept->capture = std::move(capture);
    kept->device = device;
    kept->reach = {top - device.v, left - device.h, bottom - device.v, right - device.h};
    kept->fore = VXGetForeColor();
    kept->back = VXGetBackColor();
    kept->penWidth = VXGetPenWidth();
    kept->drawMode = graf->drawMode;
    Point pen;
    VXGetPenPosition(&pen);
    kept->penOffset = {int16_t(pen.v - playPoint.v), int16_t(pen.h - playPoint.h)};
    if (withStyle && graf->textStyle) {
        char font[256] = {};
        GetStyleFont(graf->textStyle, font);
        kept->withStyle = true;
        kept->font = font;
        kept->size = graf->textStyle->size;
        kept->face = graf->textStyle->face;
    }
    return KeptOutcome::kKept;
}

bool VXPlayKeptDrawing(VXGrafState* graf, Point playPoint, const _LPNT& device, const CapturedDrawing& kept) {
    if (!kept.capture) return false;
    if (Scaled(graf) && (kept.reach.left + device.h < kScaledMargin || kept.reach.top + device.v < kScaledMargin))
        return false;
    if (!QZPlayCapture(graf->port, *kept.capture, device.h - kept.device.h, device.v - kept.device.v)) return false;
    VXGrafStateScope scope(graf);
    VXSetPenWidth(kept.penWidth);
    VXSetDrawMode(kept.drawMode);
    QZSetColor(nullptr, kept.back, true);
    QZSetColor(nullptr, kept.fore, false);
    if (kept.withStyle && graf->textStyle) {
        SetupDefaultStyle(graf->textStyle, kStyleUser);
        if (!kept.font.empty()) (void)SetStyleFont(graf->textStyle, kept.font.c_str());  // a name the play set before
        SetStyleSize(graf->textStyle, kept.size);
        SetStyleFace(graf->textStyle, kept.face);
    }
    VXMoveTo(playPoint.h + kept.penOffset.h, playPoint.v + kept.penOffset.v);
    return true;
}

}  // namespace plexa
