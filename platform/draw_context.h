// The drawing context of the platform layer: the renderer's context (current path built in
// device space, graphics-state stack, clip to rectangles, rectangle lists and grey masks,
// blend modes, transparency layers) that the renderer draws through. Coordinates are y-down;
// angles grow from +x toward +y. Plain C++ types only; the backing library stays inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plexa {

// Grey8: one byte a pixel. ARGB32: premultiplied 32-bit words 0xAARRGGBB in host order.
enum class DrawPixelFormat : uint8_t { kGrey8, kARGB32 };
enum class DrawBlend : uint8_t { kNormal, kOverlay, kDifference, kExclusion, kClear };
enum class DrawCap : uint8_t { kButt, kRound, kSquare };
enum class DrawJoin : uint8_t { kMiter, kRound, kBevel };
enum class DrawPathMode : uint8_t { kFill, kStroke, kFillStroke };

struct DrawColor {
    double red, green, blue, alpha;  // 0..1, sRGB
};

struct DrawRectF {
    double x, y, width, height;
};

// An immutable image to draw or to clip with; it holds its own copy of the pixels.
class DrawImage {
public:
    static std::shared_ptr<DrawImage> FromPixels(const uint8_t* pixels, int width, int height,
                                                 int rowBytes, DrawPixelFormat format);
    ~DrawImage();
    int width() const;
    int height() const;
    DrawPixelFormat format() const;
    // Writes the image as a PNG file; false when it cannot be written.
    [[nodiscard]] bool WritePNG(const std::string& path) const;

    struct Impl;
    const Impl& impl() const { return *impl_; }

private:
    explicit DrawImage(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// What a context laid straight into its pixels between BeginCapture and EndCapture: stamps,
// rectangle fills and glyphs, each with its colour and place, kept apart from the transform's
// whole-pixel move. Played again elsewhere it gives the pixels drawing the same again there
// would give.
class DrawCapture;

class DrawContext {
public:
    // A context over caller-owned pixels, which must outlive it. Null for bad sizes.
    static std::unique_ptr<DrawContext> ForPixels(uint8_t* pixels, int width, int height,
                                                  int rowBytes, DrawPixelFormat format);
    ~DrawContext();
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    int width() const;
    int height() const;

    // Graphics state: transform, clip, mask, line settings, colours, blend, alpha, anti-aliasing.
    void SaveState();
    void RestoreState();  // an unbalanced restore does nothing

    void Translate(double dx, double dy);
    void Scale(double sx, double sy);
    void Rotate(double radians);

    void SetLineWidth(double width);
    void SetLineCap(DrawCap cap);
    void SetLineJoin(DrawJoin join);
    // Dash lengths in user units alternating on and off; a count of 0 draws solid lines.
    void SetLineDash(double phase, const double* lengths, size_t count);
    void SetBlend(DrawBlend blend);
    void SetAlpha(double alpha);
    void SetAntialias(bool on);
    void SetFlatness(double flatness);
    void SetStrokeColor(const DrawColor& color);
    void SetFillColor(const DrawColor& color);

    // The current path; points are fixed by the transform in force when they are added, and
    // drawing or clipping with the path consumes it.
    void BeginPath();
    bool PathIsEmpty() const;
    void MoveTo(double x, double y);
    void LineTo(double x, double y);
    // Circular arc about (cx, cy); clockwise false runs from start to end with growing angles.
    // A line joins the current point to the arc's start.
    void AddArc(double cx, double cy, double radius, double start, double end, bool clockwise);
    // The arc of the radius tangent to the lines current point -> (x1, y1) -> (x2, y2).
    void AddArcToPoint(double x1, double y1, double x2, double y2, double radius);
    void AddRect(const DrawRectF& rect);
    void ClosePath();
    void DrawPath(DrawPathMode mode);  // fill (non-zero winding) and/or stroke
    // Strokes the one segment as a path of just it would be stroked; the current path is emptied.
    void StrokeLine(double x1, double y1, double x2, double y2);

    void FillRect(const DrawRectF& rect);
    void StrokeRect(const DrawRectF& rect);
    // Strokes the whole ellipse inscribed in the rectangle by filling the ring between the
    // curve's two edges (the ellipse moved by half a pen along its normals), or all inside the
    // outer edge when half the pen reaches the centre; false (nothing drawn) when the transform
    // turns or shears, the pen is dashed, or the inner edge would turn back on itself: the
    // caller strokes the ellipse's path then.
    bool StrokeEllipse(const DrawRectF& rect);

    // Clipping intersects the current clip; it lasts until the state is restored.
    void ClipToRect(const DrawRectF& rect);
    void ClipToRects(const DrawRectF* rects, size_t count);  // count 0 clips everything away
    // A grey mask (or the source part of it, in image pixels) over the rectangle: 255 lets
    // drawing through fully, 0 not at all; outside the rectangle nothing is drawn.
    void ClipToMask(const DrawImage& mask, const DrawRectF* source, const DrawRectF& rect);

    // Draws the image (or the source part of it, in image pixels) into the destination.
    void DrawImageIn(const DrawImage& image, const DrawRectF* source, const DrawRectF& dest);

    // Drawing between begin and end is composed apart and then laid down as one, with the
    // alpha, blend, clip and mask in force at the begin.
    void BeginTransparencyLayer();
    void EndTransparencyLayer();

    void Flush();

    // Capture: the operations drawn from now on are kept as well as drawn, in device pixels less
    // the transform's move at the begin. The capture fails (EndCapture gives null) when any of
    // them is not laid straight into the pixels or the clip changes, when the transform at the
    // begin is more than a move by whole pixels, or differs at the end. A second begin, or an
    // end without a begin, gives null too.
    void BeginCapture();
    std::shared_ptr<const DrawCapture> EndCapture();
    // Lays a capture down again moved by (dx, dy) whole pixels of user space, under the clip in
    // force now; false, with nothing drawn, when this target cannot take it now (the caller
    // draws anew then).
    [[nodiscard]] bool PlayCapture(const DrawCapture& capture, int dx, int dy);
    // Whether a capture could be played here now (and one begun now holds what is laid straight
    // into the pixels): premultiplied pixels, no mask, the normal blend at full alpha, at most one
    // clip rectangle, no transparency layer, a transform that moves by whole pixels.
    bool CanPlayCaptures() const;
    // How many operations a capture holds, and the box of the pixels they touch (less the move
    // they were drawn under; left, top, right, bottom, right and bottom outside; all 0 when none).
    static size_t CaptureSize(const DrawCapture& capture);
    static void CaptureBounds(const DrawCapture& capture, int* left, int* top, int* right, int* bottom);

    struct Impl;

private:
    explicit DrawContext(std::unique_ptr<Impl> impl);
    friend std::unique_ptr<DrawContext> MakeDrawContext(std::unique_ptr<Impl> impl);
    friend Impl& DrawContextImpl(DrawContext& ctx);
    std::unique_ptr<Impl> impl_;
};

}  // namespace plexa
