// Graphic elements: the drawn shapes of sheets and of symbol definitions (lines, arrows,
// rectangles, ovals, rounded rectangles, arcs, polygons, nodes (the pins of a symbol being
// edited) and images). This module owns the element record and its stored form, the element
// list, the builders, bounds, offsetting, duplication, byte swapping, and drawing and erasing
// one element. The element information dialog is the sheet editor's (sheeteditor/elementinfo.h).
//
// An element is one pointer block of the element pool, laid out as below whatever the kind,
// with a head common to all kinds and a tail by kind; sheet files store it from its flag word
// on (see elements.cpp for the stored form).
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct ImageList;
struct MemPoolRecord;
struct StreamRecord;
struct VXGrafState;
struct VXGrafProcsRecord;
struct VXPixels;
struct VXRgn;
struct WindowGeometry;

// Kinds.
constexpr uint8_t kElementLine = 1;
constexpr uint8_t kElementArrow = 2;
constexpr uint8_t kElementRect = 3;
constexpr uint8_t kElementOval = 4;
constexpr uint8_t kElementRoundRect = 5;
constexpr uint8_t kElementArc = 6;
constexpr uint8_t kElementPoly = 7;
constexpr uint8_t kElementNode = 8;
constexpr uint8_t kElementImage = 9;
constexpr uint8_t kElementEmptyQuad = 'A';  // BuildElement only: a polygon of 4 zero points

// Flag word bits.
constexpr uint16_t kElementSelected = 0x0001;
constexpr uint16_t kElementFilled = 0x0100;
constexpr uint16_t kElementOwnFrameColor = 0x0200;
constexpr uint16_t kElementOwnFillColor = 0x0400;
constexpr uint16_t kElementBackLayer = 0x0800;  // a sheet element drawn behind the symbols
constexpr uint16_t kElementOptionalFill = 0x1000;
constexpr uint16_t kElementHideable = 0x2000;

// Sizes of the records, head included.
constexpr uint32_t kElementHeadSize = 36;
constexpr uint32_t kElementPolyHeadSize = 38;
constexpr uint32_t kElementListItemSize = 56;
// The byte-swap template of the head.
constexpr const char* kElementHeadTemplate = "B8WB2W8L2";

#pragma pack(push, 2)
struct ElementPoints {
    Point point1;
    Point point2;
};

struct ElementRecord {
    ElementRecord* next;  // 0: the list link (not stored)
    uint16_t flags;       // 8
    uint8_t kind;         // 10: 1-9
    int8_t penWidth;      // 11: points
    Rect bounds;          // 12: kept by CalcElementBounds
    union {               // 20: the defining geometry
        ElementPoints points;  // line, arrow, node
        Rect rect;             // every other kind; for a polygon the bounds of its points
    };
    uint32_t frameColor;  // 28: VXColor, valid with kElementOwnFrameColor
    uint32_t fillColor;   // 32: VXColor, valid with kElementOwnFillColor
};

struct ArrowElement {
    ElementRecord head;
    int16_t headLength;  // 36
    int16_t headAngle;   // 38: half-angle in degrees
};

struct RoundRectElement {
    ElementRecord head;
    int16_t ovalWidth;   // 36
    int16_t ovalHeight;  // 38
};

struct ArcElement {
    ElementRecord head;
    int16_t startAngle;  // 36: degrees, 0 at the top, clockwise
    int16_t arcAngle;    // 38
};

// A polygon: the count at 36, then the points (v, h) at 38 (PolyPoints).
struct PolyElement {
    ElementRecord head;
    int16_t pointCount;  // 36
};

struct NodeElement {
    ElementRecord head;
    uint16_t serial;       // 36: the symbol editor's running pin number, 0 from symbol data
    uint8_t reserved;      // 38: 0
    uint8_t bubbleRadius;  // 39
    Handle pinData;        // 40: the node's own PinDataRecord, or none (not stored)
    Handle pinNumbers;     // 48: its pin-number table, or none (not stored)
};

struct ImageElement {
    ElementRecord head;
    int32_t imageId;      // 36: into the element list's image list, -1 none
    int16_t hResolution;  // 40: dots per inch
    int16_t vResolution;  // 42
    uint8_t orientation;  // 44: 0 as stored, else a transformation code
    uint8_t spare;        // 45
};
#pragma pack(pop)

static_assert(sizeof(ElementRecord) == kElementHeadSize);
static_assert(sizeof(ArrowElement) == 40 && sizeof(RoundRectElement) == 40 &&
              sizeof(ArcElement) == 40 && sizeof(PolyElement) == kElementPolyHeadSize);
static_assert(sizeof(NodeElement) == 56 && sizeof(ImageElement) == 46);

inline Point* PolyPoints(ElementRecord* e) {
    return reinterpret_cast<Point*>(reinterpret_cast<char*>(e) + kElementPolyHeadSize);
}
inline const Point* PolyPoints(const ElementRecord* e) {
    return reinterpret_cast<const Point*>(reinterpret_cast<const char*>(e) + kElementPolyHeadSize);
}
template <class T>
T* ElementAs(ElementRecord* e) {
    return reinterpret_cast<T*>(e);
}
template <class T>
const T* ElementAs(const ElementRecord* e) {
    return reinterpret_cast<const T*>(e);
}

// The record size of a kind (a polygon's with `pointCount` points); 0 for an unknown kind.
uint32_t ElementKindSize(uint8_t kind, int32_t pointCount);
// The size of an element by its kind and, for a polygon, its count.
uint32_t ElementSize(const ElementRecord* e);

// The pool elements come from; made on first use.
extern MemPoolRecord* gElementPool;
MemPoolRecord* ElementPool();

// Drawing state: the region whose elements draw highlighted (none: none), and the colour of the
// element being drawn when it has none of its own.
extern VXRgn* gDrawElmtSelRgn;
extern uint32_t& gDefaultColor;  // a member of the model's state record
// The brush that selected parts are painted again in.
constexpr uint32_t kElementSelectionBrush = 0x12000000;
// Pixel drawing modes of one-bit images: on the back colour, and transparently.
constexpr int16_t kPixelsMaskOnBack = 10;
constexpr int16_t kPixelsMask = 11;

// ---- Element lists ----

// A list whose owner word holds the image list its image elements refer to; freeing an element
// releases its pin data and its image reference. Null when memory runs out.
LinkListHeader* CreateElementList(ImageList* images);
// Returns the previous image list.
ImageList* SetElementListImageList(LinkListHeader* list, ImageList* images);
ImageList* GetElementListImageList(const LinkListHeader* list);
void DestroyElementList(LinkListHeader* list);

// Releases the element's content (pin data; one reference in `images` for an image element) and
// frees it.
void DestroyElement(ElementRecord* e, ImageList* images);
// A copy in the element pool, or null. A node's pin data is cloned with `copyPinData`, else the
// copy has none (it never shares the original's). An image element's copy holds its own
// reference: in `source`, or transferred to `destination` when that is another list (its id
// then names the image there); without a source list the id is copied as it is.
ElementRecord* DuplicateElement(const ElementRecord* e, bool copyPinData, ImageList* source,
                                ImageList* destination);

// Converts an element of the other byte order in place: the head, then the tail by kind. A
// polygon's points are swapped only as far as the record holds them.
void ByteSwapElement(ElementRecord* e);
// The same over `size` bytes of a record that is not a pointer block of its own.
void ByteSwapElementBytes(void* record, uint32_t size);

// ---- Builders (null when the pool cannot supply the record) ----

// Kinds 1-6. Lines and arrows keep the two points; other kinds store the rectangle they span.
// Fill, fill colour and optional fill apply to kinds 3-6 only; the extra words are stored for
// arrows (length, half-angle), rounded rectangles (corner sizes) and arcs (start, arc angle).
ElementRecord* BuildCommonElement(uint8_t kind, Point point1, Point point2, int16_t penWidth,
                                  int16_t extra1, int16_t extra2, bool filled, bool frameGiven,
                                  uint32_t frameColor, bool fillGiven, uint32_t fillColor,
                                  bool optionalFill);
// `count` points from the handle (which must hold them; null for a handle that is too short),
// or zero points, without bounds, when none is given.
ElementRecord* BuildPolyElement(int16_t count, Handle points, int16_t penWidth, bool filled,
                                bool frameGiven, uint32_t frameColor, bool fillGiven,
                                uint32_t fillColor, bool optionalFill);
ElementRecord* BuildNodeElement(Point point1, Point point2, int16_t penWidth, uint8_t bubbleRadius,
                                bool filled, uint16_t serial, bool frameGiven, uint32_t frameColor,
                                bool fillGiven, uint32_t fillColor);
// The element takes the image over (it goes to the image list, or is destroyed when there is
// none or the record cannot be had). A negative width or height asks for the natural size at
// -width (-height) points per resolution inch.
ElementRecord* BuildImageElement(ImageList* images, VXPixels* image, uint8_t orientation,
                                 Point topLeft, int16_t width, int16_t height,
                                 int16_t hResolution, int16_t vResolution, bool filled,
                                 bool frameGiven, uint32_t frameColor, bool fillGiven,
                                 uint32_t fillColor);

// The argument record of BuildElement.
struct ElementParamRecord {
    uint8_t kind;        // 1-9, or kElementEmptyQuad
    uint8_t filled;
    int16_t penWidth;
    Point point1;        // top-left for rectangle-like kinds and images
    Point point2;        // bottom-right; for an image (height, width)
    uint32_t frameColor;
    uint32_t fillColor;
    uint16_t flags;      // 0x200 frame colour given, 0x400 fill colour given, 0x1000 optional
                         // fill (cleared here by BuildElement); the rest goes to the element
    int16_t extra[2];    // arrow length and half-angle, corner sizes, arc start and angle; a
                         // node's serial and (low byte of the second) bubble radius
    Handle points;       // polygon
    int16_t pointCount;  // polygon
    ImageList* images;   // image
    VXPixels* image;     // image, none for no image
    int16_t hResolution, vResolution;
    uint8_t orientation;
};
ElementRecord* BuildElement(ElementParamRecord* param);

// ---- Geometry ----

void CalcElementBounds(ElementRecord* e);
void OffsetElement(ElementRecord* e, Point offset);
void OffsetElementList(LinkListHeader* list, Point offset);
// The arc's bounds from its defining rectangle and angles (a negative sweep covers the same
// arc as its positive form).
void GetMinimumArcBounds(const ElementRecord* arc, Rect* out);
// The closed head polygon of an arrow (q, left, right, q), and the end of its shaft; false when
// the arrow is too short to carry a head.
bool CalcArrowHead(const ElementRecord* arrow, Point head[4], Point* shaftEnd);
// A node's bubble: the side of point 2 it sits on (1-4), the shortened point 2 and the bubble's
// square; 0 (nothing written) when the node has none or it would not fit.
int32_t CalcNodeBubbleInfo(const ElementRecord* node, Point* newPoint2, Rect* bubble);
// 1 the connection end (point 1) lies right of the body end (point 2), 2 above, 3 left, 4 below.
int32_t Node_Orient(const ElementRecord* node);
// The same for a pin line given by its ends: a line whose ends have equal h is vertical (4 for a
// pin of no length), any other one horizontal (1 or 3, a slanted one by its h too).
int32_t PinLineOrient(Point connection, Point body);
bool IsPolyClosed(const ElementRecord* e);
void GetDefaultArrow(int16_t penWidth, int16_t* length, int16_t* halfAngle);
int16_t CalcLineAngle(Point a, Point b);
int32_t CalcLineLength(Point a, Point b);
// The size of an element's modifier handle box in the window's coordinates.
int16_t CalcModiferBoxSize(const WindowGeometry* window);

// ---- Drawing (into the current graphics state) ----

// Installs the centre-line procedures on the state and returns the ones it had.
const VXGrafProcsRecord* SetCenterLineProcs(VXGrafState* window);
void RestoreGrafProcs(VXGrafState* window, const VXGrafProcsRecord* procs);

// Draws with the centre-line procedures (the window's own under DXF export) in the element's
// colours; `withoutFill` (and, while optional fills are off, the optional-fill flag) leaves out
// the fill; `xorMode` draws the outline in draw mode 2.
void DrawElement(ElementRecord* e, ImageList* images, bool withoutFill, bool xorMode);
// Draws the element in the background colour (an image: its rectangle painted).
void EraseElement(ElementRecord* e);
// Draws an angle in degrees ("%d°") beside an arc: in the default style and the graphics colour,
// centred 4 below the point at that angle on the arc's ellipse grown by 13.
void DrawArcAngle(const ElementRecord* arc, int32_t angle);
// Draws through the current procedures without setting any colour (symbol-data capture).
void RecordElement(ElementRecord* e, ImageList* images);
// The port marker of a pin drawn with this pen width and orientation (Node_Orient's codes) at the
// pen position, through the current procedures.
void DrawPinPortMarker(int32_t penWidth, int32_t orientation);

// ---- Stored form ----

// Writes one element of a sheet's element block: i32 tail length, then the record from its flag
// word on; references that only mean something in memory are written as zeros.
OSStatus WriteStoredElement(StreamRecord* stream, const ElementRecord* e);
// Reads the element that follows its tail length (already read, 0 or more): `storedHeadLength`
// is the head's stored length (28 for current files). With `swap` the record is converted from
// the other byte order. An image element takes one reference in `images` (when given) or, when
// its id names no image there, id -1. An element of an unknown kind is skipped (*element null,
// status 0). On failure *element is null and nothing is kept.
OSStatus ReadStoredElement(StreamRecord* stream, int32_t storedHeadLength, int32_t tailLength,
                           bool swap, ImageList* images, ElementRecord** element);

}  // namespace plexa
