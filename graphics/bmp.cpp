// BMP reading and writing for pixel images.
//
// Stored form (every field little-endian):
//   file header (14 bytes, only when the caller asks for it): "BM", u32 file size, u32 0,
//     u32 offset of the pixel rows from the start;
//   information header (40 bytes, longer headers are skipped): u32 header size, i32 width,
//     i32 height (positive: bottom row first; negative: top row first), u16 planes (1),
//     u16 bits per pixel, u32 compression (0), u32 image size (row bytes x height, or 0),
//     i32 horizontal and vertical pixels per metre, u32 colours used, u32 important colours;
//   palette: colours used entries (2 to the bit depth when 0 and the depth is 8 or less) of
//     4 bytes: blue, green, red, 0;
//   pixel rows. 24-bit rows are blue, green, red a pixel, 32-bit rows blue, green, red and an
//     unused byte, 8-bit rows palette indices, all padded to 4 bytes. 1-bit rows hold 8 pixels a
//     byte, most significant bit first, 1 = white, and are padded to 2 bytes (not 4): the
//     stored pictures of image lists depend on this.
// Written pictures are 1-bit with the palette black, white (grey images: a pixel of 128 or more
// is white) or 24-bit without a palette (colour images: alpha dropped, premultiplied values as
// they are).
//
// The reader checks the header against itself and against the bytes left in the stream before
// it allocates anything: sides 1..65535 (a negative height means top row first), planes,
// compression, bit depth (1, 4, 8, 16, 24 or 32; 4- and 16-bit rows are read but not decoded),
// an image size that is 0 or covers the rows, a data offset that lies at or after the palette
// (rows after a gap are found there) and a file size that covers the rows.
#include "graphics/bmp.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/bytes.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "graphics/pixels.h"

namespace plexa {
namespace {

constexpr uint32_t kFileHeaderSize = 14, kInfoHeaderSize = 40;
constexpr double kInchesPerMetre = 39.37;
constexpr uint32_t kWriteRunBytes = 65536;

uint32_t PixelWord(const uint8_t* p) {
    uint32_t word;
    std::memcpy(&word, p, 4);
    return word;
}
void SetPixelWord(uint8_t* p, uint32_t word) { std::memcpy(p, &word, 4); }

// Reads count bytes (skips them when bytes is null); any shortfall signals the stream's status.
void BMPStreamHook(StreamRecord* stream, void* bytes, uint64_t count) {
    if (count > uint64_t(INT32_MAX)) Signal(status::kEndOfFile);
    int32_t n = int32_t(count);
    const OSStatus result = StreamRead(stream, bytes, &n);
    Signal(result);
    if (uint64_t(n) != count) Signal(status::kEndOfFile);
}

uint64_t Remaining(const StreamRecord* stream) {
    return uint64_t(std::max(0, GetStreamEnd(stream) - GetStreamPosition(stream)));
}

// Stored bytes of one row.
uint64_t StoredRowBytes(uint32_t bits, uint32_t width) {
    if (bits == 1) return (uint64_t(width) + 15) / 16 * 2;
    return (uint64_t(width) * bits + 31) / 32 * 4;
}

int16_t DpiFromPixelsPerMetre(int32_t ppm) {
    const double dpi = std::round(double(ppm) / kInchesPerMetre);
    return int16_t(std::clamp(dpi, 0.0, 32767.0));
}

uint32_t PixelsPerMetreFromDpi(int32_t dpi) {
    const double ppm = std::round(double(dpi) * kInchesPerMetre);
    return uint32_t(int32_t(std::clamp(ppm, double(INT32_MIN), double(INT32_MAX))));
}

struct Header {
    uint32_t bits;
    uint32_t width, height;
    bool topDown;
    uint32_t paletteCount;  // entries read into the table
    uint32_t palette[256];  // 0x00RRGGBB
};

void DecodeRow(const Header& h, const uint8_t* in, uint8_t* out) {
    switch (h.bits) {
        case 1:
            for (uint32_t x = 0; x < h.width; x++)
                out[x] = (in[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
            break;
        case 8:
            for (uint32_t x = 0; x < h.width; x++) {
                const uint32_t index = in[x];
                const uint32_t rgb = index < h.paletteCount ? h.palette[index] : 0;
                SetPixelWord(out + size_t(x) * 4, 0xFF000000u | rgb);
            }
            break;
        case 24:
        case 32: {
            const uint32_t step = h.bits / 8;
            for (uint32_t x = 0; x < h.width; x++) {
                const uint8_t* p = in + size_t(x) * step;
                SetPixelWord(out + size_t(x) * 4,
                             0xFF000000u | (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0]);
            }
            break;
        }
        default:  // 4 and 16 bits: no conversion
            break;
    }
}

// Reads and checks the headers and the palette; leaves the stream at the first pixel row and
// returns the stored bytes of a row.
uint64_t ReadBMPRecord(StreamRecord* stream, bool fileHeader, Header* h, Point* resolution) {
    uint32_t fileSize = 0, dataOffset = 0;
    if (fileHeader) {
        uint8_t fh[kFileHeaderSize];
        BMPStreamHook(stream, fh, sizeof fh);
        if (fh[0] != 'B' || fh[1] != 'M') Signal(status::kUnknownFileKind);
        fileSize = GetLE32(fh + 2);
        dataOffset = GetLE32(fh + 10);
    }
    uint8_t ih[kInfoHeaderSize];
    BMPStreamHook(stream, ih, sizeof ih);
    const uint32_t headerSize = GetLE32(ih);
    const int32_t width = int32_t(GetLE32(ih + 4)), height = int32_t(GetLE32(ih + 8));
    const uint32_t planes = GetLE16(ih + 12), bits = GetLE16(ih + 14), compression = GetLE32(ih + 16);
    const uint32_t imageSize = GetLE32(ih + 20), colorsUsed = GetLE32(ih + 32);
    const int32_t ppmH = int32_t(GetLE32(ih + 24)), ppmV = int32_t(GetLE32(ih + 28));
    if (headerSize < kInfoHeaderSize || planes != 1 || compression != 0)
        Signal(status::kUnknownFileKind);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Signal(status::kUnknownFileKind);
    if (width < 1 || width > 65535 || height == 0 || height < -65535 || height > 65535)
        Signal(status::kUnknownFileKind);
    BMPStreamHook(stream, nullptr, headerSize - kInfoHeaderSize);

    const uint64_t entries = colorsUsed ? colorsUsed : (bits <= 8 ? uint64_t(1) << bits : 0);
    const uint64_t paletteBytes = entries * 4;
    if (paletteBytes > Remaining(stream)) Signal(status::kEndOfFile);
    h->paletteCount = 0;
    if (entries <= 256) {
        uint8_t table[256 * 4];
        BMPStreamHook(stream, table, paletteBytes);
        for (uint32_t i = 0; i < entries; i++)
            h->palette[i] = GetLE32(table + 4 * i) & 0x00FFFFFF;
        h->paletteCount = uint32_t(entries);
    } else {
        BMPStreamHook(stream, nullptr, paletteBytes);
    }
    if (resolution) *resolution = {DpiFromPixelsPerMetre(ppmV), DpiFromPixelsPerMetre(ppmH)};

    h->bits = bits;
    h->width = uint32_t(width);
    h->height = uint32_t(height < 0 ? -height : height);
    h->topDown = height < 0;
    const uint64_t rowBytes = StoredRowBytes(bits, h->width);
    const uint64_t pixelBytes = rowBytes * h->height;
    if (imageSize != 0 && imageSize < pixelBytes) Signal(status::kUnknownFileKind);
    if (fileHeader) {
        const uint64_t headersEnd = kFileHeaderSize + uint64_t(headerSize) + paletteBytes;
        if (dataOffset < headersEnd) Signal(status::kUnknownFileKind);
        if (fileSize != 0 && fileSize < uint64_t(dataOffset) + pixelBytes)
            Signal(status::kUnknownFileKind);
        BMPStreamHook(stream, nullptr, dataOffset - headersEnd);
    }
    if (pixelBytes > Remaining(stream)) Signal(status::kEndOfFile);
    return rowBytes;
}

}  // namespace

OSStatus VXReadBMP(StreamRecord* stream, bool fileHeader, int32_t, Point* resolution,
                   VXPixels** image) {
    if (resolution) *resolution = {0, 0};
    if (!image) return status::kParamErr;
    *image = nullptr;
    if (!stream) return status::kParamErr;
    VXPixels* built = nullptr;
    const OSStatus result = CatchSignals(
        [&] {
            Header h;
            const uint64_t rowBytes = ReadBMPRecord(stream, fileHeader, &h, resolution);
            built = VXCreateEmptyPixelImage(int32_t(h.width), int32_t(h.height), h.bits >= 5);
            if (!built) FailureSignal(status::kOutOfMemory);
            if (h.bits == 32 && h.topDown) {
                // Raw rows of exactly the image's row bytes: one read, then made opaque.
                BMPStreamHook(stream, built->bits, rowBytes * h.height);
                for (uint32_t y = 0; y < h.height; y++)
                    DecodeRow(h, built->bits + y * built->rowBytes, built->bits + y * built->rowBytes);
                return;
            }
            std::vector<uint8_t> row(rowBytes);
            for (uint32_t i = 0; i < h.height; i++) {
                BMPStreamHook(stream, row.data(), rowBytes);
                const uint32_t y = h.topDown ? i : h.height - 1 - i;
                DecodeRow(h, row.data(), built->bits + size_t(y) * built->rowBytes);
            }
        },
        [&] {
            VXDestroyPixelImage(built);
            built = nullptr;
        });
    *image = result ? nullptr : built;
    return result;
}

OSStatus VXWriteBMP(StreamRecord* stream, bool fileHeader, const VXPixels* image, int32_t dpiH,
                    int32_t dpiV) {
    if (!stream || !image || !image->bits) return status::kParamErr;
    const bool colour = image->depth == 32;
    const uint32_t bits = colour ? 24 : 1;
    const uint32_t width = image->width, height = image->height;
    const uint32_t rowBytes = uint32_t(StoredRowBytes(bits, width));
    const uint32_t imageSize = rowBytes * height;
    const uint32_t paletteBytes = colour ? 0 : 8;
    return CatchSignals([&] {
        if (fileHeader) {
            const uint32_t dataOffset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
            uint8_t fh[kFileHeaderSize] = {'B', 'M'};
            PutLE32(fh + 2, dataOffset + imageSize);
            PutLE32(fh + 10, dataOffset);
            Signal(StreamWrite(stream, fh, sizeof fh));
        }
        uint8_t ih[kInfoHeaderSize] = {};
        PutLE32(ih, kInfoHeaderSize);
        PutLE32(ih + 4, width);
        PutLE32(ih + 8, height);
        PutLE16(ih + 12, 1);
        PutLE16(ih + 14, uint16_t(bits));
        PutLE32(ih + 20, imageSize);
        PutLE32(ih + 24, PixelsPerMetreFromDpi(dpiH));
        PutLE32(ih + 28, PixelsPerMetreFromDpi(dpiV));
        Signal(StreamWrite(stream, ih, sizeof ih));
        if (!colour) {
            static const uint8_t kPalette[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};
            Signal(StreamWrite(stream, kPalette, sizeof kPalette));
        }
        // Rows are written in runs of about 64 KB: streams that grow by each write (handle
        // streams) would otherwise copy their content once a row.
        const uint32_t rowsPerRun = std::clamp<uint32_t>(kWriteRunBytes / rowBytes, 1, height);
        std::vector<uint8_t> run(size_t(rowsPerRun) * rowBytes);
        uint32_t inRun = 0;
        for (uint32_t i = 0; i < height; i++) {
            const uint8_t* in = image->bits + size_t(height - 1 - i) * image->rowBytes;
            uint8_t* row = run.data() + size_t(inRun) * rowBytes;
            std::fill(row, row + rowBytes, 0);
            for (uint32_t x = 0; x < width; x++) {
                if (colour) {
                    const uint32_t p = PixelWord(in + size_t(x) * 4);
                    row[3 * x] = uint8_t(p);
                    row[3 * x + 1] = uint8_t(p >> 8);
                    row[3 * x + 2] = uint8_t(p >> 16);
                } else if (in[x] >= 128) {
                    row[x >> 3] |= uint8_t(0x80 >> (x & 7));
                }
            }
            if (++inRun == rowsPerRun || i + 1 == height) {
                Signal(StreamWrite(stream, run.data(), int32_t(inRun * rowBytes)));
                inRun = 0;
            }
        }
    });
}

}  // namespace plexa
