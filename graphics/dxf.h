// The DXF writer: turns drawing into a text DXF file of release AC1006.
//
// An export opens an output (`DXFBegin`), makes a conversion port (`DXFOpenPort`) whose drawing
// procedures write DXF entities instead of drawing, defines blocks by drawing between
// `DXFBlockBegin` and `DXFBlockEnd`, references them, draws the rest of the drawing into the
// port and ends the output (`DXFEnd`). The body is streamed to the output as it is produced;
// the HEADER and TABLES sections and the opening of the BLOCKS section depend on the drawing's
// extents, so `DXFEnd` builds them in memory and moves the body towards the end of the output
// (in chunks of at most 1 KB, last chunk first) to put them in front.
//
// Output text: every line ends in CR LF; a group code line ("%d") is followed by its value line.
// Reals are written with a "." as decimal point whatever the process locale ("%.6f" digits,
// "%.1f" for block-reference rotations). Every entity is on layer "Layer_1" with line type
// CONTINUOUS and colour 7. Coordinates: x = h x unit; y = page height - v x unit (inside a block
// definition 0 - v x unit; with kDXFNoFlip v x unit), unit = 1 / scale.
//
// Pens: a pen of width 0 is a hairline (as everywhere in the graphics layer); its strokes are
// written as entities of width 0, which DXF readers show one pixel wide. A line of width 2 or
// more becomes a polyline of that width. Painted shapes are written as their outlines with a
// width of at least 1. Centre-line adjustment (on unless turned off) moves strokes by half the
// pen because the pen hangs below and right of the path.
//
// Rounded rectangles take the corner radius from the oval width / 2 (the oval height is not
// used), at most half the shorter side; the renderer's own rounded rectangles use the scaled
// corner height instead, so an export may round corners differently from the screen when the
// two differ.
//
// The header's extents are those of every entity written outside blocks (a block reference
// counts with its block's bounds); a drawing without any reports 0, 0 for both corners.
//
// Polyline bulges: the drawing's vertical axis points down and DXF's up, so an arc that turns
// clockwise on the screen is written with a negative bulge (and the other way without the flip).
//
// Errors: the first failure of the IO procedure (or of memory) is kept in the output state;
// after it nothing more is written, the output is still closed by `DXFEnd`, which returns it.
//
// Main thread only: the current output and the shared conversion table are globals.
#pragma once

#include <cstdint>

#include "foundation/chunky.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DXFPort;
struct FileSpec;
struct VXGrafProcsRecord;
struct VXGrafState;
struct VXPixels;

// IO operations: 1 opens (sets *value to 1 when an output was opened), 2 closes, 3 reads count
// bytes at position *value, 4 writes count bytes at position *value (extending the output when
// the position is past its end), 5 reports the current size in *value.
constexpr int16_t kDXFOpen = 1;
constexpr int16_t kDXFClose = 2;
constexpr int16_t kDXFRead = 3;
constexpr int16_t kDXFWrite = 4;
constexpr int16_t kDXFSize = 5;

using DXFIOProc = OSStatus (*)(DXFPort* state, int16_t operation, int32_t* value, int32_t count,
                               void* data);
// Where all text goes: appended at the end of the output through the IO procedure.
using DXFStreamProc = OSStatus (*)(DXFPort* state, const void* bytes, int32_t count);

// Flags of the output state.
constexpr uint16_t kDXFEntitiesOpen = 0x01;
constexpr uint16_t kDXFBlockOpen = 0x02;
constexpr uint16_t kDXFImageDrawn = 0x08;  // a pixel image was drawn (images are not exported)
constexpr uint16_t kDXFCenterLines = 0x10;
constexpr uint16_t kDXFNoFlip = 0x20;      // y = v x unit

// A block definition: its name in the block-name string block, number, bounds (empty at
// start) and whether a reference to it was written.
struct DXFBlockRecord {
    StringSpec name;
    uint32_t number;
    LRect bounds;
    uint8_t used;
};

// The output state of one export, owned by the caller.
struct DXFPort {
    DXFIOProc ioProc = nullptr;
    DXFStreamProc streamProc = nullptr;
    VXChunkyBlock blocks = nullptr;      // DXFBlockRecord, made at the first block
    Handle ellipseArcs = nullptr;        // (u16 start, u16 end) pairs, numbered from 1
    StringBlock blockNames = nullptr;
    double unit = 1.0;
    double pageHeight = 0.0;
    double textHeightFactor = 1.0;
    int32_t fileRef = 0;                 // data file of the default IO procedure, 0 for none
    LRect page = {0, 0, 0, 0};
    LRect extents = {0, 0, 0, 0};
    int32_t ellipseArcCount = 0;
    uint16_t flags = 0;
    // The first failure of the output (IO or memory); nothing is written after it.
    OSStatus status = 0;
    // The file the default IO procedure creates, from DXFBeginToFile; null asks the save panel.
    const FileSpec* outputSpec = nullptr;
    // The last polygon of the conversion port (at most 32 points) and its verb, so that a
    // polygon painted and then framed is written once.
    int16_t lastPolyCount = 0;
    int8_t lastPolyVerb = -1;
    Point lastPoly[32] = {};
};

// Kinds of DXFEntityRecord.
enum : uint16_t {
    kDXFLine = 1,
    kDXFRect = 2,
    kDXFRoundRect = 3,
    kDXFOval = 4,
    kDXFArc = 5,
    kDXFPolyline = 6,
    kDXFPath = 7,
    kDXFText = 8,
    kDXFBlockRef = 9,
};

// One entity for DXFEntity.
//  - data: polyline and path points (_LPNT, count in pointCount), text bytes (count in
//    pointCount), nothing else;
//  - first: line start, rectangle top-left, text position, reference point;
//  - second: line end, rectangle bottom-right; for text (-size, width);
//  - name: block name (kind 9); oval: corner oval height and width (kind 3);
//  - angle1: arc start in degrees, text rotation in degrees, reference rotation in tenths;
//  - angle2: arc extent in degrees;
//  - radii: corner radii of a path (kind 7), one a point, 0 for a sharp corner.
struct DXFEntityRecord {
    uint16_t kind = 0;
    uint8_t filled = 0;
    uint8_t mirrored = 0;
    const void* data = nullptr;
    _LPNT first = {0, 0};
    _LPNT second = {0, 0};
    const char* name = nullptr;
    Point oval = {0, 0};
    int32_t number = 0;
    int32_t lineWidth = 0;
    int16_t angle1 = 0;
    int16_t angle2 = 0;
    uint16_t pointCount = 0;
    const int32_t* radii = nullptr;
};

// What the window owner (the toolkit) does for the writer: messages, error alerts and the
// save panel. Without hooks messages and alerts are dropped and the default IO procedure
// cannot ask for a file (-128).
struct DXFHooks {
    void (*displayMessage)(const char* message) = nullptr;
    void (*errorReport)(OSStatus status) = nullptr;
    // Asks for the file to save (prompt, creator and type codes); 0 and *out, or a status.
    OSStatus (*askSaveFile)(const char* prompt, const char* creator, const char* type,
                            FileSpec* out) = nullptr;
};
void DXFSetHooks(const DXFHooks* hooks);  // null removes them
const DXFHooks& DXFGetHooks();

// Starts an output: clears the state, unit = 1 / scale (a scale that is not above 0 counts as
// 1), opens it through the IO procedure (null: DXFDefaultIOProc) and makes it current with
// centre-line adjustment on. True when the output was opened.
[[nodiscard]] bool DXFBegin(const LRect* page, double scale, DXFIOProc io, DXFPort* state);
// DXFBegin with the default IO procedure writing the given file (no save panel).
[[nodiscard]] bool DXFBeginToFile(const LRect* page, double scale, const FileSpec* spec, DXFPort* state);
// Opens: creates the state's output file ("R*ch"/"TEXT"), opens and empties it; close flushes
// and closes it; read, write and size work on it. Failures are reported and returned.
OSStatus DXFDefaultIOProc(DXFPort* state, int16_t operation, int32_t* value, int32_t count,
                          void* data);
// Previous setting; false when no output is current.
bool DXFEnableCenterLineAdjustment(bool on);

// The conversion port: an off-screen graphics state (pen, text style, rotation) whose drawing
// procedures write entities into the output, made current. Null when memory fails.
VXGrafState* DXFOpenPort(DXFPort* state);
void DXFClosePort(DXFPort* state, VXGrafState* port);
// The shared table of the conversion port: the null set with the converters in slots 0-6, 7,
// 8, 10 and 14.
const VXGrafProcsRecord* DXFGetGrafProcs();

void DXFBlockBeginEx(DXFPort* state, const char* name, int32_t number);
void DXFBlockBegin(DXFPort* state, int32_t number);  // name "DXF_BLK_"
void DXFBlockEnd(DXFPort* state);
void DXFBlockReference(DXFPort* state, int32_t number, const _LPNT* point);
void DXFEntity(DXFPort* state, const DXFEntityRecord* entity);
// Finishes (an open block is ended first), puts the header in front and closes the output;
// frees what the state holds. Returns the first failure of the output, else the close status.
OSStatus DXFEnd(DXFPort* state);

// The current output, or null.
DXFPort* DXFGetCurrent();

// A real in fixed notation with the given decimals and "." as decimal point, whatever the
// locale; a value that is not finite is written as 0. Returns the length written (at most
// size - 1; the buffer is always terminated when size > 0).
int32_t DXFFormatReal(double value, int32_t decimals, char* buffer, int32_t size);

// Converters of the conversion port.
void ConvertText(const void* text, int32_t count, uint32_t encoding);
void ConvertLine(int16_t h, int16_t v);
void ConvertRect(const Rect* r, int8_t verb);
void ConvertOval(const Rect* r, int8_t verb);
void ConvertRoundRect(const Rect* r, int16_t ovalWidth, int16_t ovalHeight, int8_t verb);
void ConvertArc(const Rect* r, int16_t start, int16_t arc, int8_t verb);
void ConvertPoly(const Point* points, int16_t count, int8_t verb);
void ConvertBits(VXPixels* pixels, const Rect* source, const Rect* dest, int16_t mode);
void ConvertRoundLine(int16_t h, int16_t v, uint8_t width);
void ConvertLLine(int32_t h, int32_t v);
void ConvertLPoly(const _LPNT* points, const int32_t* radii, uint16_t count, int8_t verb);

}  // namespace plexa
