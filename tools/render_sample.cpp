// render-sample <out.png>: draws one of every shape kind of the renderer into an off-screen
// ARGB bitmap and writes it as a PNG, for a person to look at.
#include <cstdio>
#include <vector>

#include "graphics/render.h"
#include "tools/sample_surface.h"

using namespace plexa;

namespace {

void Draw(QZPort* port) {
    // Background and a grid of cells.
    QZFillRectangle(port, {0, 0, 640, 400}, true);
    QZSetColor(port, 0x00E0E0E0, false);
    for (int x = 0; x <= 640; x += 160) {
        QZMoveTo(port, x, 0);
        QZLineTo(port, x, 400);
    }
    QZMoveTo(port, 0, 200);
    QZLineTo(port, 640, 200);

    // Lines: pens 1 to 4, a dashed line.
    QZSetColor(port, 0x07000000, false);
    for (int pen = 1; pen <= 4; pen++) {
        QZSetPenSize(port, pen);
        QZMoveTo(port, 10, 10 + pen * 14);
        QZLineTo(port, 150, 10 + pen * 30);
    }
    QZSetPenSize(port, 2);
    QZSetLineDash(port, 6, 4, 0);
    QZSetColor(port, 0x03000000, false);
    QZMoveTo(port, 10, 170);
    QZLineTo(port, 150, 150);
    QZSetLineDash(port, 0, 0, 0);

    // Rectangles: framed, filled, rotated with fill and stroke.
    QZSetPenSize(port, 3);
    QZSetColor(port, 0x01000000, false);
    QZStrokeRectangleInsideFrame(port, {170, 10, 60, 40});
    QZSetColor(port, 0x00FFC000, false);
    QZFillRectangle(port, {240, 10, 60, 40}, false);
    QZSetPenSize(port, 1);
    QZSetColor(port, 0x00208020, false);
    QZSetColor(port, 0x00C0FFC0, true);
    QZDrawRectangle(port, 190, 80, 270, 130, 300, 0x01 | 0x04);
    QZDrawRectangle(port, 190, 80, 270, 130, 300, 0x02);

    // Rounded rectangles.
    QZSetPenSize(port, 2);
    QZSetColor(port, 0x05000000, false);
    QZStrokeRoundedRectangleInsideFrame(port, {170, 150, 60, 40}, 10);
    QZSetColor(port, 0x00008080, false);
    QZFillRoundedRectangle(port, {240, 150, 60, 40}, 8, false);
    QZSetPenSize(port, 1);

    // Ovals and arcs.
    QZSetPenSize(port, 3);
    QZSetColor(port, 0x03000000, false);
    QZStrokeEllipticArcInsideFrame(port, {330, 10, 60, 40}, 0, 360);
    QZSetColor(port, 0x00FF8000, false);
    QZFillEllipticArc(port, {400, 10, 50, 50}, 45, 270, false);
    QZSetColor(port, 0x00800080, false);
    QZStrokeEllipticArcInsideFrame(port, {330, 70, 60, 60}, 270, 180);
    QZSetColor(port, 0x00008000, false);
    QZDrawEllipse(port, 425, 100, 60, 24, 0, 3600, 450, 0x02);
    QZSetColor(port, 0x000060C0, false);
    QZDrawEllipse(port, 360, 165, 50, 50, 900, -1800, 0, 0x01);
    QZSetColor(port, 0x00C00000, false);
    QZSetColor(port, 0x00FFD0D0, true);
    QZDrawRoundedRectangle(port, 395, 140, 465, 190, 20, 150, 0x01 | 0x04);
    QZDrawRoundedRectangle(port, 395, 140, 465, 190, 20, 150, 0x02);
    QZSetPenSize(port, 1);

    // Polygons and paths.
    const Point star[] = {{210, 400}, {290, 420}, {230, 340}, {230, 460}, {290, 380}, {210, 400}};
    QZSetColor(port, 0x00FFE060, false);
    QZFillPoly16(port, star, 6, 0, false);
    QZSetPenSize(port, 2);
    QZSetColor(port, 0x07000000, false);
    QZFramePoly16(port, star, 6);
    const _LPNT path[] = {{220, 170}, {220, 300}, {380, 300}, {300, 240}, {380, 180}};
    const int32_t radii[] = {0, 20, 20, 10, 0};
    QZSetColor(port, 0x00406080, false);
    QZFramePath(port, path, radii, 5);
    const _LPNT filled[] = {{330, 180}, {330, 220}, {390, 300}};
    QZSetColor(port, 0x0080A0FF, false);
    QZFillPath(port, filled, nullptr, 3, false);
    QZSetPenSize(port, 1);

    // Blends and alpha: overlapping squares.
    QZSetColor(port, 0x00FF0000, false);
    QZFillRectangle(port, {500, 20, 60, 60}, false);
    QZSetOpacity(port, 0.5);
    QZSetColor(port, 0x000000FF, false);
    QZFillRectangle(port, {530, 50, 60, 60}, false);
    QZSetOpacity(port, 1.0);
    QZSetDrawMode(port, 2);
    QZSetColor(port, 0x00FFFFFF, false);
    QZFillRectangle(port, {560, 80, 60, 60}, false);
    QZSetDrawMode(port, 9);
    QZSetColor(port, 0x0000FF00, false);
    QZFillRectangle(port, {500, 120, 40, 60}, false);
    QZSetDrawMode(port, 0);

    // Image and mask.
    std::vector<uint32_t> checker(16 * 16);
    std::vector<uint8_t> ramp(32 * 32);
    for (int y = 0; y < 16; y++)
        for (int x = 0; x < 16; x++) checker[size_t(y * 16 + x)] = ((x / 4 + y / 4) % 2) ? 0xFF3060C0 : 0xFFF0F0F0;
    for (int y = 0; y < 32; y++)
        for (int x = 0; x < 32; x++) ramp[size_t(y * 32 + x)] = uint8_t((x + y) * 4);
    auto image = DrawImage::FromPixels(reinterpret_cast<const uint8_t*>(checker.data()), 16, 16, 64,
                                       DrawPixelFormat::kARGB32);
    auto mask = DrawImage::FromPixels(ramp.data(), 32, 32, 32, DrawPixelFormat::kGrey8);
    QZDrawImage(port, image.get(), nullptr, Rect{220, 500, 284, 564});
    QZSetColor(port, 0x00A00000, false);
    QZDrawMask(port, mask.get(), nullptr, Rect{300, 570, 364, 634}, false);

    // A clip of many rectangles over a filled oval.
    VXRgn* clip = VXCreateRgn(nullptr);
    for (int i = 0; i < 12; i++) {
        const LRect r = {210 + i * 15, 10 + (i % 3) * 10, 220 + i * 15, 150};
        VXAddRectToRgn(clip, &r);
    }
    QZSetClipRgn(port, clip);
    QZSetColor(port, 0x00C04000, false);
    QZDrawEllipse(port, 80, 305, 140, 160, 0, 3600, 0, 0x01);
    QZSetClipRgn(port, nullptr);
    VXDestroyRgn(clip);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: render-sample <out.png>\n");
        return 2;
    }
    if (StartCore("render-sample") != 0) return tools::kFailed;
    return tools::DrawSampleToPNG("render-sample", 640, 400, Draw, argv[1]);
}
