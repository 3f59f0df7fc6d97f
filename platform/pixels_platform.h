// Decoding of image files (PNG, BMP, ICO and whatever else the platform reads) into plain
// pixels for the graphics layer's pixel images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexa {

struct PlatformDecodedImage {
    int32_t width = 0, height = 0;
    // Bits per pixel of the stored picture (1, 8, 24, 32, ...).
    int32_t sourceDepth = 0;
    // Resolution in dots per inch as the platform reads it (its default when the file gives
    // none; 72 when that is out of range).
    int32_t dpiH = 72, dpiV = 72;
    // Premultiplied 32-bit words 0xAARRGGBB, rows top first, width words a row.
    std::vector<uint32_t> argb;
};

// Reads the picture of a file (the first one of a file holding several); false when the file
// cannot be read or decoded. Pictures above 65535 pixels on a side are refused.
[[nodiscard]] bool PlatformDecodeImageFile(const std::string& path, PlatformDecodedImage* out);

}  // namespace plexa
