// Sheet symbols: the box that stands for a child sheet on its parent, with one port per export of
// the child. This module owns the port data of a sheet symbol (`SheetSymbolPorts`), its accessors,
// the geometry of the box, its port flags and their pin tails, the allocation of port rows on the
// two edges, resizing (dragging the wires of the right-edge ports), adding and deleting ports
// (renumbering the later ports' texts and wire terminals) and installing an edited port list.
// Drawing belongs to the sheet editor; the exports table and the port synchronisation with the
// child sheet belong to the sheet files.
//
// Port data (one handle; byte-swap templates "L2W4" for the head and "LW2" per port):
//   0 u32 symbol name (string spec in the sheet's string block)
//   4 u32 child sheet file name (string spec; read back at most 192 bytes)
//   8 u16 box height (default 54), 10 u16 box width (default 162), 12 u16 port spacing (default 9)
//   14 i16 port count n
//   16 + 8 i: u32 port name (string spec), u16 flags (kSheetPort*), u16 slot (the port's row on its
//   edge, 1 the first)
// Geometry is relative to the symbol's origin before its transform: v = slot x spacing, the left
// edge at h = 0, the right edge at h = width; a port's connection point lies one spacing outside.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct SymbolHooks;
struct TextRecord;
struct VXWindowRecordTag;
struct VXGrafState;
using BitArray = Handle;

#pragma pack(push, 2)
struct SheetSymbolPortsHead {
    StringSpec name;
    StringSpec fileName;
    uint16_t height;
    uint16_t width;
    uint16_t spacing;
    int16_t count;
};
struct SheetSymbolPort {
    StringSpec name;
    uint16_t flags;
    uint16_t slot;
};
#pragma pack(pop)
static_assert(sizeof(SheetSymbolPortsHead) == 16 && sizeof(SheetSymbolPort) == 8);

constexpr const char* kSheetSymbolPortsHeadTemplate = "L2W4";
constexpr const char* kSheetSymbolPortTemplate = "LW2";
constexpr uint16_t kSheetSymbolDefaultHeight = 54;
constexpr uint16_t kSheetSymbolDefaultWidth = 162;
constexpr uint16_t kSheetSymbolDefaultSpacing = 9;
constexpr int32_t kSheetSymbolFileNameLimit = 192;
constexpr int16_t kSheetSymbolMinWidth = 36;
// The flags of a new sheet symbol: a sheet symbol, and the bits 0x3000 of symbols that stand for
// a sub-sheet.
constexpr uint32_t kSheetSymbolFlags = 0x3400;

// Port flags.
constexpr uint16_t kSheetPortBuss = 0x0001;
constexpr uint16_t kSheetPortRight = 0x0002;
constexpr uint16_t kSheetPortShowName = 0x0004;
constexpr uint16_t kSheetPortTypeMask = 0x0030;
constexpr uint16_t kSheetPortRemove = 0x0100;  // only while synchronising
// Port types (the bits 0x30 of a port symbol's flags on the child sheet).
constexpr uint16_t kPortTypeNone = 0x00, kPortTypeInput = 0x10, kPortTypeOutput = 0x20,
                   kPortTypeBidirectional = 0x30;
// The slot of a port appended while synchronising, before it has a row.
constexpr uint16_t kSheetPortNewSlot = 0xFFFF;
// Port side codes.
constexpr int32_t kSheetPortSideRight = 1, kSheetPortSideLeft = 3;
// Colour indices of signal and buss ports.
constexpr int16_t kSheetPortSignalColor = 3, kSheetPortBussColor = 4;
// Change flags of InstallSheetSymbolPorts.
constexpr int32_t kSheetPortsChangedPorts = 1, kSheetPortsChangedTexts = 8;

// ---- The port data ----

// A port data handle with the defaults and no ports; none when memory fails.
Handle CreateSheetSymbolPorts();
// The head and ports of a handle, none when it is too short for its count.
SheetSymbolPortsHead* SheetSymbolPortsHeadOf(Handle ports);
SheetSymbolPort* SheetSymbolPortAt(Handle ports, int32_t port);
// Port data of a symbol (none for a symbol that is not a sheet symbol or has none).
Handle SheetSymbolPortsOf(const SymbolRecord* symbol);
// Whether a handle holds a whole port data record: its head, its count of ports (0 or more).
bool IsValidSheetSymbolPorts(Handle ports);
// Swaps port data in place into the other byte order: from this machine's order (to be written)
// or into it (read); false for a handle that does not hold the ports that its count says
// (nothing is swapped beyond the head then).
bool ByteSwapSheetSymbolPorts(Handle ports, bool fromNative);

// Ports of a port data handle (the symbol information dialog edits a copy).
int32_t CountSubSheetPorts(Handle ports);
void GetSubSheetPortName(Handle ports, int32_t port, StringBlock block, char* name, int32_t size);
void SetSubSheetPortName(Handle ports, int32_t port, StringBlock block, const char* name);
// Appends a port; its index, -1 when memory fails.
int32_t AppendSubSheetPort(Handle ports, StringBlock block, const char* name, uint16_t flags,
                           uint16_t slot);
void DeleteSubSheetPort(Handle ports, int32_t port);

// ---- Sheet symbols ----

// A new sheet symbol: flags 0x3400, no component, map ids -1, and new port data; none when
// memory runs out (nothing is left).
SymbolRecord* CreateSheetSymbol();
bool IsSheetSymbolRecord(const SymbolRecord* symbol);
// Names, into buffers of `size` bytes (the file name at most 192 bytes).
void GetSheetSymbolFileName(const SymbolRecord* symbol, StringBlock block, char* name, int32_t size);
void SetSheetSymbolFileName(SymbolRecord* symbol, StringBlock block, const char* name);
void GetSheetSymbolName(const SymbolRecord* symbol, StringBlock block, char* name, int32_t size);
void SetSheetSymbolName(SymbolRecord* symbol, StringBlock block, const char* name);
// The reference prefix, or "X" when it has none, followed by "?" (kSymbolTextSize bytes).
void GetDefaultSheetSymbolRefDes(const SymbolRecord* symbol, StringBlock block, char* text);
int32_t CountSheetSymbolPorts(const SymbolRecord* symbol);
uint16_t GetSheetSymbolPortFlags(const SymbolRecord* symbol, int32_t port);
// Bits 4-5 of the port's flags.
uint16_t GetSheetSymbolPortType(const SymbolRecord* symbol, int32_t port);
int16_t GetSheetSymbolPortColor(const SymbolRecord* symbol, int32_t port);
void GetSheetSymbolPortName(const SymbolRecord* symbol, int32_t port, StringBlock block, char* name,
                            int32_t size);
// The first port whose name equals `name` ignoring case; -1 when none.
int32_t GetNamedSheetSymbolPort(const SymbolRecord* symbol, StringBlock block, const char* name);
// Moves the two names and every port name into another block; -108 (nothing moved on) when the
// block cannot grow.
OSStatus ChangeSheetSymbolStringBlock(SymbolRecord* symbol, StringBlock from, StringBlock to);
// The default port label offsets: 4, -16, 4, 19.
void GetDefaultPortLabelPositions(int16_t positions[4]);

// ---- Geometry ----

// The port's point on its edge, placed on the sheet, and its side (1 right, 3 left).
void GetSheetSymbolPortPos(const SymbolRecord* symbol, int32_t port, Point* point, int32_t* side);
// The connection point relative to the symbol's origin, before its transform.
void GetSheetSymbolPortPinPos(const SymbolRecord* symbol, int32_t port, Point* point);
// The port's outline, placed: at most 7 points into `points`; returns the count (0 for no port).
int32_t BuildSheetSymbolPortPoly(const SymbolRecord* symbol, int32_t port, Point points[7]);
// The pin tail, placed: from the edge point to the connection point.
void BuildSheetSymbolPortPinTail(const SymbolRecord* symbol, int32_t port, Point tail[2]);
// (0, 0) to (height + 1, width + 1) relative to the origin; mode 1 widened by one spacing on the
// left and right.
void GetSheetSymbolBounds(const SymbolRecord* symbol, Rect* bounds, int32_t mode);
// The bottom-right corner of the mode-0 bounds, placed.
void GetSheetSymbolSizePoint(const SymbolRecord* symbol, Point* point);
// Width 36; height the larger of 12 and every port's slot x spacing + 6.
void GetMinimumSheetSymbolSize(const SymbolRecord* symbol, int16_t* width, int16_t* height);
// Clamps to the minimum and sets the size. When the width changes on a sheet, the right-edge
// ports' wires and name texts move with the edge. True when anything changed; changed areas join
// *changed when given.
bool SetSheetSymbolSize(SheetRecord* sheet, SymbolRecord* symbol, int16_t width, int16_t height,
                        Rect* changed);

// ---- Drawing ----

// Frames the box in colour 0 and, unless only the box is asked for, draws every port in its
// colour, with node marks when asked. Draws into the current graphics state (the window's, or a
// conversion port's such as the DXF export's); nothing without a state or port data.
void DrawSheetSymbol(VXGrafState* graf, SymbolRecord* symbol, bool boxOnly, bool nodeMarks);
// One port: its outline framed and filled (its bounds grown by one erased first when asked),
// then its pin tail, 2 wide for a buss port, with its node mark (the fat one for a buss) when
// asked.
void DrawSheetSymbolPort(SymbolRecord* symbol, int32_t port, bool nodeMarks, bool erase);

// ---- Port rows ----

struct PortRowRange {
    int32_t first;      // the first usable row
    int32_t clearance;  // rows kept free around a port
    int32_t rows;       // rows per edge
};
PortRowRange CalcPortRangeSpacing(int32_t spacing, int32_t height);
// A table of 2 x rows bits (left edge first), set where a row is taken; none when no row is
// usable or memory fails. `excluded` (or -1) takes no rows.
BitArray BuildPortPositionTable(const SymbolRecord* symbol, int32_t excluded, int32_t* rows);
// A free row: positive on the left, negative on the right, 0 none.
int32_t GetAvailablePortPosition(const SymbolRecord* symbol, bool isInput, bool isOutputOnly);
// Adds a port, growing the box until a row is free; its index, -1 when memory fails.
int32_t CreateSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, const char* name,
                              uint16_t flags);

// ---- Deleting and installing ports ----

// In a run of 12-byte wire terminals ({u32 serial, u16 node, ...}: signal pin entries and buss
// terminals), lowers by one the nodes above `deleted` of the symbol with that serial.
void AdjustPinIndexes(void* entries, int32_t count, uint32_t serial, int32_t deleted);
// Deletes the wire at the port (see SheetSymbolHooks::deletePortWire).
void DeleteSheetSymbolPortWire(SheetRecord* sheet, SymbolRecord* symbol, int32_t port);
// Deletes the port's wire, its name text and the port; the later ports' texts and wire terminals
// move down by one.
void DeleteSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, int32_t port);
// Applies an edited port list (a port data handle whose slots hold the index of the symbol port
// each entry came from, 0xFFFF or -1 for a new one; its names in the sheet's string block) and
// returns the change flags. Ports that left the list are deleted first, from the highest
// original index down, so that no deletion shifts one still to come.
int32_t InstallSheetSymbolPorts(SheetRecord* sheet, SymbolRecord* symbol, Handle edited,
                                Rect* changed);

// ---- What sheet symbols need of the layers above ----

struct SheetSymbolHooks {
    // Places a port's name text beside its port. Default: at the port's edge point moved by the
    // default label offsets (outwards by the side), right-aligned on the right edge.
    void (*positionPortText)(TextRecord* text, SheetRecord* sheet, SymbolRecord* symbol) = nullptr;
    // Deletes what is connected at a port: the buss (bussPort) or signal wire there, as the sheet
    // editor deletes a selection. Default: the wire ending at the port's terminal is removed
    // from its net with the terminal.
    void (*deletePortWire)(SheetRecord* sheet, SymbolRecord* symbol, int32_t port) = nullptr;
};
void SetSheetSymbolHooks(const SheetSymbolHooks& hooks);
const SheetSymbolHooks& GetSheetSymbolHooks();

// Puts this module's calls in the placed symbols' hooks (model/symbols.h), keeping the others.
void AddSheetSymbolModelHooks(SymbolHooks& hooks);
// Puts the plain placing of a port's name text and removal of its wire (the defaults above) in
// the hooks, for a program without the sheet editor.
void AddSheetSymbolPortHooks(SheetSymbolHooks& hooks);


}  // namespace plexa
