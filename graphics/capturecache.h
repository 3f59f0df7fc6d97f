// Kept drawings: a drawing that repeats (a symbol definition placed many times, a display list
// played at every redraw) is kept as the pixel operations its first play laid down
// (QZBeginCapture) and laid down again from them at other places, which gives the pixels playing
// it there gives: the operations are moved by whole pixels, and a capture is kept apart for
// every place inside a scaled pixel (to a thousandth of a pixel) the play point can take.
//
// This module owns the cache record, its key words for a window, the play point's place, and the
// state a kept drawing leaves behind (pen, colours, text style), laid back when it is replayed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/rectmath.h"
#include "graphics/colors.h"

namespace plexa {

class DrawCapture;
struct VXGrafState;

struct CaptureKey {
    static constexpr int kWords = 12;
    uint64_t words[kWords] = {};
    bool operator==(const CaptureKey& o) const;
};

struct CaptureKeyHash {
    size_t operator()(const CaptureKey& k) const;
};

struct CapturedDrawing {
    std::vector<uint8_t> bytes;  // what was drawn from, to tell a changed drawing
    std::shared_ptr<const DrawCapture> capture;  // null: the drawing cannot be kept
    _LPNT device{};              // the play point's place in the window when captured
    LRect reach{};               // the operations' pixels less that place
    // The state the play left behind.
    VXColor fore = 0, back = 0;
    int32_t penWidth = 1;
    uint8_t drawMode = 0;
    Point penOffset{};           // the pen less the play point
    bool withStyle = false;      // the window's text style, when kept: font, size and face
    std::string font;
    uint16_t size = 0, face = 0;
};

// Kept drawings under their keys, at most `most` of them (all are dropped when one more comes).
class CaptureCache {
public:
    // Buckets are kept four times as many as drawings, so that a look-up rarely walks a chain.
    explicit CaptureCache(size_t most) : most_(most) { map_.max_load_factor(0.25f); }
    // The drawing kept under the key, when it was drawn from these bytes.
    const CapturedDrawing* Find(const CaptureKey& key, const void* bytes, uint32_t size) const;
    void Keep(const CaptureKey& key, CapturedDrawing drawing);
    void Clear() { map_.clear(); }
    // How many drawings are kept with their pixels (not those marked as not to be kept).
    size_t KeptCount() const;

private:
    size_t most_;
    std::unordered_map<CaptureKey, CapturedDrawing, CaptureKeyHash> map_;
};

// Where a play point lies in the window, as its scaling rounds it, and its place inside a pixel
// (in 1/1024, both axes in one word); false when the window's drawing cannot be kept now (no
// context, drawing procedures of its own, a display list being recorded, translucent drawing or
// a transparency layer).
bool VXCapturePlace(VXGrafState* graf, Point playPoint, _LPNT* device, uint32_t* phase);

// Five key words of what a window's drawing depends on besides what is drawn: its scale, pane
// and flags, its port's pen, dash, blend and anti-aliasing, its text rotation and drawing
// procedures, the appearance, and the play point's place inside a pixel.
void VXCaptureWindowWords(const VXGrafState* graf, uint32_t phase, uint64_t* words);

// Begins a capture on the window's port (QZBeginCapture); false when none can begin.
bool VXBeginKeptDrawing(VXGrafState* graf);
// Ends the capture and fills `kept` with the drawing's bytes and, when the capture holds the
// drawing, the capture and the state the play left behind (read from the window, its text style
// too with `withStyle`). Kept: keep it; NotHere: the drawing can be kept, but not from this
// place (scaled, too near the origin), so keep nothing; Never: keep `kept` without a capture, so
// that the drawing is played without trying again.
enum class KeptOutcome : uint8_t { kKept, kNotHere, kNever };
KeptOutcome VXEndKeptDrawing(VXGrafState* graf, Point playPoint, const void* bytes, uint32_t size,
                             const _LPNT& device, bool withStyle, CapturedDrawing* kept);
// Lays a kept drawing down at the play point and leaves the window's state as its play did (pen
// width and place, colours, draw mode, and when kept the text style: the user's default style
// with the font, size and face the play left);
// false, with nothing drawn, when the window cannot take it (the caller plays anew).
bool VXPlayKeptDrawing(VXGrafState* graf, Point playPoint, const _LPNT& device, const CapturedDrawing& kept);

}  // namespace plexa
