// Plain text, and a picture with its plain text, on the system clipboard. Every call needs the
// application object; without it the clipboard is out of reach and they fail.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plexa {

// Replaces the clipboard's contents with one string; false without an application object.
[[nodiscard]] bool PlatformClipboardSetText(std::u16string_view text);
// The clipboard's string into out; false (out emptied) when there is none or no application.
[[nodiscard]] bool PlatformClipboardGetText(std::u16string* out);

// A picture in pixels on a white ground: black line segments, rectangle outlines, junction dots
// and texts (their base line's left end at x, y).
struct PlatformClipPicture {
    struct Line {
        int x0, y0, x1, y1;
    };
    struct Box {
        int left, top, right, bottom;
    };
    struct Label {
        int x, y;
        std::u16string text;
    };
    struct Dot {
        int x, y;
    };
    int width = 0, height = 0;
    std::vector<Line> lines;
    std::vector<Box> boxes;
    std::vector<Label> labels;
    std::vector<Dot> dots;
};
// Replaces the clipboard's contents with the picture (as an image and as PNG bytes), the SVG
// document given (when not empty) and the plain text; false without an application object or
// when the picture cannot be drawn.
[[nodiscard]] bool PlatformClipboardSetPicture(const PlatformClipPicture& picture, std::string_view svg,
                                               std::u16string_view text);
// What another program finds on the clipboard: the PNG bytes (from the image the clipboard
// holds), the SVG bytes and the plain text, each emptied when absent; false without an
// application object.
[[nodiscard]] bool PlatformClipboardGetPicture(std::string* png, std::string* svg, std::u16string* text);

}  // namespace plexa
