// BMP pictures of pixel images: the stored form of the pictures of image lists, read and written
// through a stream. The layout is described at the top of graphics/bmp.cpp.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct StreamRecord;
struct VXPixels;

// Reads a BMP (with the 14-byte file header when `fileHeader` is set) into a new image. On
// failure *image is null and the status is returned: 0x20002712 for a picture that is not a
// BMP this reader takes or whose header contradicts itself, the stream's status (-39) when the
// data ends early, -108 when memory runs out. The resolution (dots per inch, vertical first)
// goes to `resolution` when given; (0, 0) when reading failed before it was known.
OSStatus VXReadBMP(StreamRecord* stream, bool fileHeader, int32_t ignored, Point* resolution,
                   VXPixels** image);

// Writes an image as a BMP: grey images as 1-bit pictures, colour images as 24-bit ones;
// resolutions in dots per inch (0 when unknown). Returns the first failing write's status,
// -50 without an image.
OSStatus VXWriteBMP(StreamRecord* stream, bool fileHeader, const VXPixels* image, int32_t dpiH,
                    int32_t dpiV);

}  // namespace plexa
