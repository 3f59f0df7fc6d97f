// text-sample <out.png>: draws text through the renderer into an off-screen ARGB bitmap (plain,
// rotated, mirrored, scaled, in several faces and with combining marks) and writes it as a
// PNG, for a person to look at. Each sample marks its pen with a small cross.
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/strings.h"
#include "graphics/render.h"
#include "tools/sample_surface.h"
#include "graphics/render_text.h"
#include "graphics/textstyle.h"

using namespace plexa;

namespace {

void Cross(QZPort* port, int32_t h, int32_t v) {
    QZSetColor(port, 0x00E02020, false);
    QZMoveTo(port, h - 4, v);
    QZLineTo(port, h + 4, v);
    QZMoveTo(port, h, v - 4);
    QZLineTo(port, h, v + 4);
}

void Text(QZPort* port, txStyle* style, int32_t h, int32_t v, const char* text, int32_t rotation,
          bool mirror, int32_t numerator = 1, int32_t denominator = 1, uint32_t color = 0x00000000) {
    Cross(port, h, v);
    QZSetColor(port, color, false);
    QZMoveTo(port, h, v);
    QZDrawText(port, *EstablishAttributesForStyle(style), kEncodingUTF8, text, -1, rotation, mirror,
               numerator, denominator);
}

void Draw(QZPort* port) {
    QZFillRectangle(port, {0, 0, 640, 480}, true);
    QZSetColor(port, 0x00E0E0E0, false);
    for (int x = 0; x <= 640; x += 160) {
        QZMoveTo(port, x, 0);
        QZLineTo(port, x, 480);
    }
    for (int y = 0; y <= 480; y += 160) {
        QZMoveTo(port, 0, y);
        QZLineTo(port, 640, y);
    }

    txStyle* style = CreateTextStyle(nullptr, nullptr);
    SetStyleFont(style, "DejaVu Sans");
    SetStyleSize(style, 14);

    // The four right angles about one point, then mirrored about another.
    Text(port, style, 80, 80, "0 right", 0, false);
    Text(port, style, 80, 80, "90 down", 90, false, 1, 1, 0x00206020);
    Text(port, style, 80, 80, "180 left", 180, false, 1, 1, 0x00202080);
    Text(port, style, 80, 80, "270 up", 270, false, 1, 1, 0x00802080);
    Text(port, style, 240, 80, "0 mirrored", 0, true);
    Text(port, style, 240, 80, "90 mirrored", 90, true, 1, 1, 0x00206020);
    Text(port, style, 240, 80, "180 mirrored", 180, true, 1, 1, 0x00202080);
    Text(port, style, 240, 80, "270 mirrored", 270, true, 1, 1, 0x00802080);

    // Other angles: a fan.
    for (int32_t r = 0; r < 360; r += 45)
        Text(port, style, 400, 80, "     fan", r, false, 1, 1, r % 90 ? 0x00C06000 : 0x00000000);

    // Faces, sizes and scaling.
    SetStyleFace(style, kFaceBold);
    Text(port, style, 330, 190, "Bold", 0, false);
    SetStyleFace(style, kFaceItalic);
    Text(port, style, 400, 190, "Italic", 0, false);
    SetStyleFace(style, kFaceBold | kFaceItalic);
    Text(port, style, 470, 190, "Both", 0, false);
    SetStyleFace(style, 0);
    Text(port, style, 330, 230, "Scaled 2/1", 0, false, 2, 1);
    Text(port, style, 330, 270, "Scaled 1/2", 0, false, 1, 2);

    // Characters of several code units; a user interface font.
    SetStyleSize(style, 24);
    Text(port, style, 20, 250, "Caf\x65\xCC\x81 \xE2\x86\x92 \xF0\x9D\x90\x80 \xC3\xA5\xCC\x88", 0, false);
    SetStyleFont(style, "<uifont_3>");
    SetStyleSize(style, 1);
    Text(port, style, 20, 300, "Emphasized system font", 0, false);

    // Rotated and mirrored together, large.
    SetStyleFont(style, "DejaVu Serif");
    SetStyleSize(style, 28);
    Text(port, style, 120, 420, "Mirror 30", 30, true, 1, 1, 0x00800000);
    Text(port, style, 400, 420, "Turned -30", -30, false, 1, 1, 0x00000080);
    DestroyTextStyle(style);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: text-sample <out.png>\n");
        return 2;
    }
    if (StartCore("text-sample") != 0) return tools::kFailed;
    const int status = tools::DrawSampleToPNG("text-sample", 640, 480, Draw, argv[1]);
    QZFlushTextCache();
    return status;
}
