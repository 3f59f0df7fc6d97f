// Plain text, and a picture with its plain text, on the system clipboard. Every call needs the
// application object; without it the clipboard is out of reach and they fail.
#pragma once

#include <string>
#include <string_view>

namespace plexa {

class DrawImage;

// Replaces the clipboard's contents with one string; false without an application object.
[[nodiscard]] bool PlatformClipboardSetText(std::u16string_view text);
// The clipboard's string into out; false (out emptied) when there is none or no application.
[[nodiscard]] bool PlatformClipboardGetText(std::u16string* out);

// Replaces the clipboard's contents with a picture: as an image, as PNG bytes and as an SVG
// document of the picture's size that holds those PNG bytes, with the plain text beside them
// when there is some; false without an application object or when the picture cannot be
// encoded.
[[nodiscard]] bool PlatformClipboardSetImage(const DrawImage& picture, std::u16string_view text);

// What another program finds on the clipboard: the PNG bytes (from the image the clipboard
// holds), the SVG bytes and the plain text, each emptied when absent; false without an
// application object.
[[nodiscard]] bool PlatformClipboardGetPicture(std::string* png, std::string* svg, std::u16string* text);

}  // namespace plexa
