// Display lists: recorded drawing kept as a compact byte stream that can be played into any
// window under any of the eight orientations, walked for its comment records, and converted
// in place from the other byte order. Symbol graphics are stored this way inside sheets and
// library items, so the byte form below is fixed.
//
// Stored form (every multi-byte field in the writer's byte order, told by the header's mark):
//   record  = u8 opcode, u8 parameter, payload; every record starts at an even offset, a
//             payload of odd length is followed by one zero byte.
//   point   = i16 v, i16 h.   rectangle = top, left, bottom, right.
//   The first record is the header (0x03, 6, u16 mark 0x1234, point origin); the list ends
//   with (0x00, 255). In records whose opcode has low nibble 6 a parameter byte of 0 means the
//   real parameter follows as a u16 at the start of the payload.
//   0x30 encoding (1 UTF-8, 0 Mac Roman)        0x10 draw mode      0x20 text mode
//   0x80 pen pattern, 8 bytes                   0x01 / 0x11 fore / back colour, u32
//   0x02 move to point   0x12 line to point     0x22 round-ended line to point, width = param
//   0x08 / 0x18 / 0x38   relative move / line / round line: i8 dv, i8 dh
//   0x13 font name: param n even, name + NUL (+ NUL), at most 253 name bytes
//   0x16 text size   0x06 pen width   0x28 face (u16 word)
//   0x04 polygon: param verb, u16 count, count points
//   0x05 rect, 0x15 oval, 0x85 rounded rect (+ i16 oval width, height), 0x95 arc (+ i16
//        start, arc angle): param = verb | 0x10 (top-left as two i8) | 0x20 (height, width as
//        two u8 added to the top-left), else words; so the rectangle takes 4, 6 or 8 bytes
//   0x26 / 0x36 / 0x46 comment without data / 2 bytes / 4 bytes; 0x56 u16 length + data + pad;
//   0x66 u32 length + data + pad (the kind is the parameter or the word)
//   0x86 text at the pen; 0x96 point + text; 0xA6 i8 dv, i8 dh + text: the counted length
//        (text, +4 for 0x96, +2 for 0xA6) is the parameter or the word; texts are cut to
//        32760 bytes at a character boundary.
//   Unknown opcodes are skipped by the size class of their low nibble (DLPayloadSize).
//
// Capture states of a window (`VXGrafState::displayList`):
//   none       no capture; drawing goes only to the window;
//   capturing  after `VXOpenDisplayList` (into a handle of its own) or `VXCaptureDisplayListStream`
//              (into a caller's stream): the header is written and every drawing call through the
//              window's procedures is recorded as well; a second open gives kDLAlreadyCapturing;
//   failed     capturing after a write failed: nothing more is recorded and the close gives no list
//              (the handle is freed) or the failing status;
//   closed     `VXEndCaptureDisplayList` / `VXCloseDisplayList` write the end record and return to
//              none; `VXDropDisplayList` (the window going) ends any capture without a list.
//
// Every walk first checks the whole list against its size: a record that runs past the end,
// a list without an end record, an unterminated font name or a text shorter than its point
// makes the list corrupt, and a corrupt list is neither played, walked nor swapped (result 0).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/heap.h"
#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct VXGrafState;
struct StreamRecord;

using DisplayList = Handle;

// Status codes of capturing.
constexpr OSStatus kDLAlreadyCapturing = 0x20002BC0;
constexpr OSStatus kDLNotCapturing = 0x20002BC1;

constexpr uint16_t kDLMark = 0x1234;
constexpr uint16_t kDLSwappedMark = 0x3412;
// Texts longer than this are cut (at a UTF-8 character boundary).
constexpr int32_t kDLMaxTextBytes = 32760;
// Font names longer than this are cut, so that name, NUL and pad fit the parameter byte.
constexpr int32_t kDLMaxFontNameBytes = 253;

// Capture flags (VXOpenDisplayList).
constexpr uint32_t kDLNoRelative = 0x00010000;
constexpr uint32_t kDLNoColors = 0x01000000;
constexpr uint32_t kDLNoPattern = 0x02000000;
constexpr uint32_t kDLNoModes = 0x04000000;
constexpr uint32_t kDLNoPenWidth = 0x08000000;
constexpr uint32_t kDLNoTextStyle = 0x10000000;
constexpr uint32_t kDLSymbolCapture = 0x07000000;

// Play flags (VXPlayDisplayList): an orientation code in bits 0-2, then these; bits 24-28 keep
// the window's colours, pattern, modes, pen width and text style as the capture flags name them.
constexpr uint32_t kDLPlayOrientationMask = 0x07;
constexpr uint32_t kDLPlayTrackPen = 0x08;
constexpr uint32_t kDLPlayExactGeometry = 0x10;
// Face records (0x28) are skipped on play unless this is set; readers that take texts back out
// of a list (symbol data) set it so that bold and italic come back with the texts.
constexpr uint32_t kDLPlayTextFace = 0x20;

// ---- Recording ----

// Starts a capture on the window into a new handle of the pool; false (nothing left made)
// when the handle, its stream or the capture cannot be made.
[[nodiscard]] bool VXOpenDisplayList(VXGrafState* window, MemPool pool, Point origin, uint32_t flags);
// Starts a capture into a caller's stream: kDLAlreadyCapturing, -108, or the status of writing
// the header (the window is then left without a capture).
OSStatus VXCaptureDisplayListStream(VXGrafState* window, Point origin, uint32_t flags,
                                    StreamRecord* stream);
// Ends the capture (writes the end record unless a write failed) and returns the first failing
// write's status; kDLNotCapturing without a capture.
OSStatus VXEndCaptureDisplayList(VXGrafState* window);
// Ends a capture made by VXOpenDisplayList and returns its list, cut to size, or null (no
// capture, a caller's stream, or a failed write: the handle is then freed).
DisplayList VXCloseDisplayList(VXGrafState* window);
// Ends whatever capture the window has, as its window goes: a list VXOpenDisplayList made is
// closed and freed; a caller's stream is only ended (it stays the caller's).
void VXDropDisplayList(VXGrafState* window);
// Appends a comment to the current window's capture; nothing for a kind below 1, a negative
// length or without a capture.
void VXAddDisplayComment(int16_t kind, const void* data, int32_t length);

// The recording operations the standard drawing procedures call while a capture is open.
void DLRecordText(VXGrafState* window, const void* text, int32_t length, uint32_t encoding);
void DLRecordLine(VXGrafState* window, int16_t h, int16_t v, uint8_t width, uint8_t round);
void DLRecordRect(VXGrafState* window, const Rect* r, int8_t verb);
void DLRecordOval(VXGrafState* window, const Rect* r, int8_t verb);
void DLRecordRRect(VXGrafState* window, const Rect* r, int16_t ovalWidth, int16_t ovalHeight,
                   int8_t verb);
void DLRecordArc(VXGrafState* window, const Rect* r, int16_t start, int16_t arc, int8_t verb);
void DLRecordPoly(VXGrafState* window, const Point* points, int16_t count, int8_t verb);

// ---- Walking, playing and swapping ----

// Called for each comment: the kind, the data (null for length 0) in the list's order, its
// length, whether the list is in the other byte order, and the caller's value. True stops the
// walk. While a list is swapped the procedure swaps the data in place (its result is ignored).
using DLCommentProc = bool (*)(int16_t kind, void* data, int32_t length, bool swapped,
                               void* refCon);

struct DLParseState {
    uint16_t opcode;
    uint16_t parameter;      // the parameter word when one follows
    uint16_t orientation;
    int16_t penCompensation;
    DLCommentProc commentProc;
    void* refCon;
    Point offset;            // the play point, then play point minus origin
    uint32_t encoding;       // 0 Mac Roman until a 0x30 record says UTF-8
    bool continueWalk;
    bool swapped;            // the header's mark read 0x3412
    bool exactGeometry;
    bool trackPen;
    bool textFace;           // apply face records (kDLPlayTextFace)
    int32_t validHeader;
    int32_t payloadSize;     // bytes of the current record after its two head bytes
    bool parameterWord;      // the parameter came from a word at the start of the payload
    Point playPoint;
};

// A handler gets the payload (after opcode and parameter) and returns its length.
using DLParseHandler = int32_t (*)(uint8_t* payload, DLParseState* state);

// The handler tables of playing (into the current window) and of byte swapping (in place, the
// list being in the other order).
extern const DLParseHandler kDLPlayHandlers[16];
extern const DLParseHandler kDLSwapHandlers[16];

// Walks a list with a table of 16 handlers (by the opcode's low nibble); returns 1 when the
// list began with a valid header and is whole, else 0 (null, corrupt, no header).
int32_t VXParseDisplayList(DisplayList list, const DLParseHandler handlers[16], Point point,
                           uint32_t flags, DLCommentProc commentProc, void* refCon);
// The same over bytes the caller holds.
int32_t VXParseDisplayListBytes(uint8_t* bytes, uint32_t size, const DLParseHandler handlers[16],
                                Point point, uint32_t flags, DLCommentProc commentProc,
                                void* refCon);

// Plays the list into the window through its drawing procedures at the point; 1 for a valid
// list, else 0. The previous current window is current again afterwards. Polygons are
// transformed in a copy (on the stack up to 64 points), never in the list. A list whose play
// depends only on it and the window (no comment procedure, every setting reset, no pattern or
// mode records) is kept as the pixels its play laid down and laid down from them when it is
// played again unchanged (capturecache.h).
int32_t VXPlayDisplayList(VXGrafState* window, DisplayList list, Point point, uint32_t flags,
                          DLCommentProc commentProc, void* refCon);
// Drops the kept plays, and how many are kept with their pixels.
void VXForgetKeptDisplayLists();
size_t VXKeptDisplayListCount();
// The same over bytes the caller holds (a list inside a larger record); they are not changed.
int32_t VXPlayDisplayListBytes(VXGrafState* window, uint8_t* bytes, uint32_t size, Point point,
                               uint32_t flags, DLCommentProc commentProc, void* refCon);
// Converts a list of the other byte order to this machine's, in place; a native list is left
// as it is (result 1); a corrupt list is left as it is (result 0).
int32_t VXByteSwapDisplayList(DisplayList list, DLCommentProc commentProc, void* refCon);
int32_t VXByteSwapDisplayListBytes(uint8_t* bytes, uint32_t size, DLCommentProc commentProc,
                                   void* refCon);
// Walks only the comments of a list (in the list's order, the swapped flag telling which):
// nothing is drawn and no window is needed. 1 for a whole list with a valid header, else 0.
int32_t VXWalkDisplayListComments(uint8_t* bytes, uint32_t size, DLCommentProc commentProc,
                                  void* refCon);

// Reads the header at payload (6 bytes); swaps its words in place when writeBack is set and
// the mark reads 0x3412.
void DLParseHeader(uint8_t* payload, DLParseState* state, bool writeBack);
// Decodes the rectangle form of a shape parameter; returns the bytes it takes (4, 6 or 8).
// swap: the words are in the other order; inPlace: they are swapped in the list too.
int32_t DecodeRectangleOp(uint8_t* payload, uint16_t parameter, bool swap, bool inPlace, Rect* out);

// The payload length of a record whose head is (opcode, parameter) and whose payload has
// `available` bytes in the list's order (`swapped`); -1 when it does not fit or is malformed.
int32_t DLPayloadSize(uint8_t opcode, uint8_t parameter, const uint8_t* payload, uint32_t available,
                      bool swapped);

// Outcome of checking a list's bytes.
struct DLCheckResult {
    bool whole;          // a walk ends inside the list (end record, or a header that stops it)
    bool validHeader;    // it begins with a header of either mark
    bool swapped;        // that header's mark reads 0x3412
    uint32_t badOffset;  // where the first bad record starts when not whole
};
DLCheckResult DLCheckDisplayList(const uint8_t* bytes, uint32_t size);

// The bytes of UTF-8 text of `length` bytes that a record keeps of it when at most `max` fit:
// cut without splitting a character (text that is no UTF-8 there is cut at max).
int32_t DLCutUTF8(const char* text, int32_t length, int32_t max);

// One line a record ("offset: opcode parameter  what"), then a line for a corrupt tail.
std::string DLDumpDisplayList(const uint8_t* bytes, uint32_t size);

}  // namespace plexa
