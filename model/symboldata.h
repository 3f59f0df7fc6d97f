// Symbol display data: the stored graphics of a symbol definition (on a sheet through its symbol
// map, and in library items). This module owns that stored form: the writer that records an
// editable element list, text list and frame list into it, the reader that turns it back into
// editable lists, the walkers that take pin positions and image references out of it, and the
// byte swapping of its comments.
//
// Stored form (one block, in this machine's order once it has been read; data of the other order
// is turned with ByteSwapSymbolData, or read as it is):
//   0   8 bytes   rectangle (top, left, bottom, right, i16) of every element except the pins of
//                 the pin group
//   8   8 bytes   rectangle of every element, pins included
//   16  the rest  a display list (graphics/displaylist.h) captured with flags 0x07000000 (no
//                 colour, pattern or mode records) at origin (0, 0)
// Both rectangles are element bounds (texts and frames do not count); an empty rectangle is
// {32767, 32767, -32767, -32767}.
//
// Comments carry what the drawing cannot say (multi-byte fields in the list's byte order):
//   224  8 bytes   u16 version 257, u16 pin count n, u32 0; the first record after the header
//   225  none      end of the pin group: the records since 224 draw the n pins in order, each an
//                  optional bubble oval (painted when filled) and its line from the body end to
//                  the connection end
//   226  8 bytes   i16 dv, i16 dh (tip minus tail), i16 head length, i16 head half-angle: the
//                  next line is an arrow (its head polygons come before it)
//   227  4 bytes   u16 text kind, u16 text flags: the next text record is a text element
//   228  4 bytes   u16 frame flags, u16 line count n, and for n >= 2 then n + 1 u32 line starts
//                  in UTF-16 units, non-decreasing, the last the text's length: the next text
//                  record is a text frame
//   229  4 bytes   u32 frame colour of the next element (flag 0x200)
//   230  4 bytes   u32 fill colour of the next element (flag 0x400)
//   231  none      the next shape or polygon is filled
//   232  none      the next element has the optional-fill flag 0x1000
//   233  10 bytes  u32 image id, u16 horizontal and vertical resolution, u8 orientation code 0-7,
//                  u8 0: the next rectangle is an image of the owner's image list
// Other kinds are ignored. The graphics other than pins are recorded from the last element to
// the first; texts and frames follow them, themed ones (flag 0x20) first, texts before frames.
//
// Readers trust nothing: the list must be whole, every comment at least as long as its kind
// needs (the bytes beyond are ignored), a frame's line starts must fit its text, an image must
// have a size and an orientation code 0-7, and the pin group must hold exactly its pin lines.
// Data that fails is refused with kSymbolDataCorrupt and nothing read is kept.
//
// Node map: the pins of a definition, a pointer block of 2 + 5n bytes: u16 n; n points {v, h},
// the connection end of each pin; n codes: bit 7 a pin line of pen width 2 or more, low bits 1
// the connection end right of the line's start, 3 left of it, 2 above, 4 below, 0 slanted.
//
// Conversion is not reentrant: one runs at a time, on the main thread.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct ImageList;
struct SheetRecord;
using TextStyleList = LinkListHeader;

struct SymbolDataHead {
    Rect graphics;  // every element but the pins of the pin group
    Rect all;       // pins included
};
static_assert(sizeof(SymbolDataHead) == 16);

constexpr uint32_t kSymbolDataHeadSize = sizeof(SymbolDataHead);
constexpr uint16_t kSymbolDataVersion = 257;
constexpr Rect kSymbolDataEmptyRect = {32767, 32767, -32767, -32767};

// Comment kinds.
constexpr int16_t kSymCommentHeader = 224;
constexpr int16_t kSymCommentPinsEnd = 225;
constexpr int16_t kSymCommentArrow = 226;
constexpr int16_t kSymCommentText = 227;
constexpr int16_t kSymCommentFrame = 228;
constexpr int16_t kSymCommentFrameColor = 229;
constexpr int16_t kSymCommentFillColor = 230;
constexpr int16_t kSymCommentFilled = 231;
constexpr int16_t kSymCommentOptionalFill = 232;
constexpr int16_t kSymCommentImage = 233;

// The status of data that is not whole or not well formed.
constexpr OSStatus kSymbolDataCorrupt = status::kUnknownFileKind;

// Records the lists into new data (a handle of the general pool), or null when the capture could
// not be made or memory ran out. Texts and frames are recorded when their list is given. With
// `noPinGroup` the pins are recorded as plain lines (every caller passes false). Each image
// element whose image is in the element list's image list is added to `destination` (one
// reference each; without a destination the data keeps the element's id); the others are left
// out. Elements get their bounds computed; an image deeper than one bit loses its fill flag.
Handle ElementsToSymbolData(LinkListHeader* elements, LinkListHeader* texts,
                            LinkListHeader* frames, StringBlock block, bool noPinGroup,
                            ImageList* destination);

// Reads `size` bytes of data into the lists that are given, moved to the play point: the new
// elements (pins first, then the other elements in the order they were written), texts and
// frames (themed first) go in front of what the lists hold, in that order. Image elements are
// made only when both the source list and the element list's image list exist (one reference
// each in the latter). Texts take their style from the sheet's themes (the default themes
// without a sheet) when themed, else from the data, installed in the style list. 0, or
// kSymbolDataCorrupt or -108 with the lists left as they were.
OSStatus SymbolDataToElements(const void* data, uint32_t size, ImageList* sourceImages,
                              Point playPoint, LinkListHeader* elements, LinkListHeader* texts,
                              LinkListHeader* frames, TextStyleList* styles, StringBlock block,
                              SheetRecord* sheet);

using NodeMap = Ptr;

constexpr uint32_t NodeMapSize(uint32_t count) { return 2 + 5 * count; }
// The pin count of a node map: 0 for none, or for a block too small for the count it claims.
int32_t NodeMapCount(const void* map);

// The pins of the data at the play point in a new node map (from the current pool), or null:
// when the data has no pins (status 0), is corrupt (kSymbolDataCorrupt) or the map cannot be
// allocated (-108), the status telling which when asked for.
NodeMap ExtractSymbolNodePositions(const void* data, uint32_t size, Point playPoint,
                                   OSStatus* status = nullptr);
// The start (the body end) of pin line `pinIndex` (from 0) at the play point; (0, 0) when the
// index is not below the pin count (status 0) or the data is corrupt.
OSStatus ExtractSymbolNodeTailPosition(const void* data, uint32_t size, Point playPoint,
                                       int32_t pinIndex, Point* point);

// For every image comment whose image is in `from`, adds that image to `to` and writes the new
// id into the comment. All or nothing: on failure (kSymbolDataCorrupt, -108) the data and both
// lists are as they were.
OSStatus MapSymbolDataImageReferences(void* data, uint32_t size, ImageList* from, ImageList* to);
// Sets every image comment whose id names no image of `list` to -1 (a missing image), so that
// the reference cannot come to name another picture when images are added later. Nothing
// changes for corrupt data (kSymbolDataCorrupt).
OSStatus ClearMissingImageReferences(void* data, uint32_t size, ImageList* list);
// For every image comment: mode bit 1 adds one reference in the list, bit 2 releases one. Nothing
// changes for corrupt data.
constexpr int32_t kImageReferenceAdd = 1, kImageReferenceRelease = 2;
OSStatus AdjustImageReferenceCountsFromSymbolData(const void* data, uint32_t size,
                                                  ImageList* list, int32_t mode);

// Swaps one comment's payload in place as its kind says, as far as its length holds whole fields;
// kinds outside 224-233, and 225, 231 and 232, are left alone.
void ByteSwapSymbolDispalyComment(int16_t kind, void* data, int32_t length);
// Turns data of the other byte order (its list's mark reads 0x3412) into this machine's, in
// place: the rectangles, the list and its comments. Data already in this order is left alone
// (0); corrupt data too (kSymbolDataCorrupt).
OSStatus ByteSwapSymbolData(void* data, uint32_t size);

}  // namespace plexa
