// Sheet symbols: port data, geometry, port rows, resizing, port editing and drawing (see
// sheetsymbols.h).
#include "model/sheetsymbols.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/byteswap.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "model/busses.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/signalindex.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/wires.h"

namespace plexa {

namespace {

SheetSymbolHooks gHooks;

constexpr uint32_t kHeadSize = sizeof(SheetSymbolPortsHead);
constexpr uint32_t kPortSize = sizeof(SheetSymbolPort);
constexpr int8_t kVerbFrame = 0, kVerbPaint = 1;

int32_t TransformOf(const SymbolRecord* symbol) { return int32_t(symbol->flags & kSymbolFlagTransform); }

Point Place(const SymbolRecord* symbol, Point p) {
    if (TransformOf(symbol)) VXTransformPoints(TransformOf(symbol), &p, 1);
    return Point{int16_t(p.v + symbol->position.v), int16_t(p.h + symbol->position.h)};
}

// A vector turned by the symbol's transform (no position).
Point Turn(const SymbolRecord* symbol, Point p) {
    if (TransformOf(symbol)) VXTransformPoints(TransformOf(symbol), &p, 1);
    return p;
}

int32_t Spacing(const SheetSymbolPortsHead* head) { return std::max<int32_t>(1, head->spacing); }

TextRecord* PortNameText(SheetRecord* sheet, const SymbolRecord* symbol, int32_t port) {
    if (!sheet) return nullptr;
    const int64_t owner = TextOwnerSerial(symbol->serial);
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link)
        if (text->owner == owner && text->kind == uint16_t(kTextKindPinName + port)) return text;
    return nullptr;
}

void PlacedBounds(const SymbolRecord* symbol, int32_t mode, int16_t grow, Rect* out) {
    GetSheetSymbolBounds(symbol, out, mode);
    if (TransformOf(symbol)) VXTransformGrafRect(TransformOf(symbol), out);
    VXOffsetRect(out, symbol->position.h, symbol->position.v);
    VXInsetRect(out, int16_t(-grow), int16_t(-grow));
}

void JoinArea(Rect* area, const Rect& r) {
    if (area) AddToUpdateRect(area, r);
}

// The outline polygons as (v, h): a flag pointing left, one pointing right, one pointing both
// ways, and a box.
constexpr Point kFlagLeft[] = {{0, 0}, {-4, 4}, {-4, 12}, {4, 12}, {4, 4}, {0, 0}};
constexpr Point kFlagRight[] = {{-4, 0}, {-4, 8}, {0, 12}, {4, 8}, {4, 0}, {-4, 0}};
constexpr Point kFlagBoth[] = {{0, 0}, {-4, 4}, {-4, 8}, {0, 12}, {4, 8}, {4, 4}, {0, 0}};
constexpr Point kFlagBox[] = {{-4, 0}, {-4, 8}, {4, 8}, {4, 0}, {-4, 0}};

// Moves the wire ends attached to a terminal by an offset; a neighbouring segment that ran
// across the move is dragged along so that it stays straight.
void MoveTerminalWireEnds(WireList wires, uint16_t terminal, Point offset, Rect* area) {
    for (WireHandle wire = FirstWire(wires); wire; wire = NextWire(wires, wire)) {
        const int32_t n = (*wire)->cornerCount;
        for (int32_t end = 0; end < 2 && n > 0; ++end) {
            if ((end ? (*wire)->end1 : (*wire)->end0) != terminal) continue;
            JoinArea(area, (*wire)->bounds);
            const int32_t corner = end ? n - 1 : 0;
            const int32_t neighbour = end ? n - 2 : 1;
            Point* corners = WireCorners(wire);
            const Point old = corners[corner];
            corners[corner].v = int16_t(old.v + offset.v);
            corners[corner].h = int16_t(old.h + offset.h);
            if (n > 2 || (n == 2 && neighbour != corner)) {
                Point& next = corners[neighbour];
                const bool across = offset.h ? next.h == old.h && next.v != old.v
                                             : next.v == old.v && next.h != old.h;
                if (across && n > 2) {
                    next.v = int16_t(next.v + offset.v);
                    next.h = int16_t(next.h + offset.h);
                }
            }
            CalcWireBounds(wire);
            JoinArea(area, (*wire)->bounds);
        }
    }
}

void MovePortWires(SheetRecord* sheet, SymbolRecord* symbol, int32_t port, Point offset, Rect* area) {
    if (GetSheetSymbolPortFlags(symbol, port) & kSheetPortBuss) {
        uint16_t index = 0xFFFF;
        BussHandle buss = GetConnectedBuss(sheet->bussList, symbol, uint16_t(port), nullptr, &index);
        if (!buss || index == 0xFFFF) return;
        MoveTerminalWireEnds((*buss)->wires, index, offset, area);
        CalcBussBounds(buss);
    } else {
        uint16_t index = 0xFFFF;
        SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, uint16_t(port), nullptr, &index);
        if (!signal || index == 0xFFFF) return;
        MoveTerminalWireEnds((*signal)->wires, index, offset, area);
        CalcSignalBounds(signal);
    }
}

// The plain deletion of a port's wire: the wire ending at the port's terminal leaves its net with
// the terminal.
void RemovePortWire(SheetRecord* sheet, SymbolRecord* symbol, int32_t port) {
    Rect area{};
    if (GetSheetSymbolPortFlags(symbol, port) & kSheetPortBuss) {
        WireHandle wire = nullptr;
        uint16_t index = 0xFFFF;
        BussHandle buss = GetConnectedBuss(sheet->bussList, symbol, uint16_t(port), &wire, &index);
        if (!buss) return;
        if (wire) {
            area = (*wire)->bounds;
            RemoveWireFromBuss(buss, wire, true);
        } else if (index != 0xFFFF) {
            DeleteBussPinTerminal(buss, index);
        }
        CalcBussBounds(buss);
    } else {
        WireHandle wire = nullptr;
        uint16_t index = 0xFFFF;
        SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, uint16_t(port), &wire, &index);
        if (!signal) return;
        if (wire) {
            area = (*wire)->bounds;
            RemoveWireFromSignal(signal, wire, true);
        } else if (index != 0xFFFF) {
            DeleteSignalPin(signal, index);
        }
        CalcSignalBounds(signal);
    }
    InvalSheetView(sheet, &area);
}

void PlacePortTextPlainly(TextRecord* text, SheetRecord* sheet, SymbolRecord* symbol) {
    Point at{0, 0};
    int32_t side = kSheetPortSideLeft;
    GetSheetSymbolPortPos(symbol, text->kind & kTextKindNodeMask, &at, &side);
    int16_t offsets[4];
    GetDefaultPortLabelPositions(offsets);
    // Inside the box beside the flag: right-aligned against the right edge.
    text->flags &= uint16_t(~(kTextFlagRotation | kTextFlagRightAligned));
    if (side == kSheetPortSideRight) text->flags |= kTextFlagRightAligned;
    const Point offset = side == kSheetPortSideRight ? Point{offsets[0], offsets[1]} : Point{offsets[2], offsets[3]};
    SetTextElementPosition(text, Point{int16_t(at.v + offset.v), int16_t(at.h + offset.h)});
    CalcTextBounds(sheet->window, text, sheet->stringBlock);
}

void PositionPortText(TextRecord* text, SheetRecord* sheet, SymbolRecord* symbol) {
    if (gHooks.positionPortText) gHooks.positionPortText(text, sheet, symbol);
    else PlacePortTextPlainly(text, sheet, symbol);
}

// Hook adapters for model/symbols.h.
void HookGetName(const SymbolRecord* s, StringBlock b, char* out) { GetSheetSymbolName(s, b, out, kSymbolTextSize); }
void HookSetName(SymbolRecord* s, StringBlock b, const char* name) { SetSheetSymbolName(s, b, name); }
void HookGetFile(const SymbolRecord* s, StringBlock b, char* out) { GetSheetSymbolFileName(s, b, out, kSymbolTextSize); }
void HookSetFile(SymbolRecord* s, StringBlock b, const char* name) { SetSheetSymbolFileName(s, b, name); }
void HookPortName(const SymbolRecord* s, int32_t port, StringBlock b, char* out) {
    GetSheetSymbolPortName(s, port, b, out, kSymbolTextSize);
}

}  // namespace

void SetSheetSymbolHooks(const SheetSymbolHooks& hooks) { gHooks = hooks; }
const SheetSymbolHooks& GetSheetSymbolHooks() { return gHooks; }

void AddSheetSymbolPortHooks(SheetSymbolHooks& hooks) {
    hooks.positionPortText = PlacePortTextPlainly;
    hooks.deletePortWire = RemovePortWire;
}

void AddSheetSymbolModelHooks(SymbolHooks& hooks) {
    hooks.getSheetSymbolName = HookGetName;
    hooks.setSheetSymbolName = HookSetName;
    hooks.getSheetSymbolFileName = HookGetFile;
    hooks.setSheetSymbolFileName = HookSetFile;
    hooks.getDefaultSheetSymbolRefDes = GetDefaultSheetSymbolRefDes;
    hooks.getSheetSymbolBounds = GetSheetSymbolBounds;
    hooks.countSheetSymbolPorts = CountSheetSymbolPorts;
    hooks.getSheetSymbolPortFlags = GetSheetSymbolPortFlags;
    hooks.getSheetSymbolPortPinPos = GetSheetSymbolPortPinPos;
    hooks.getSheetSymbolPortName = HookPortName;
    hooks.changeSheetSymbolStringBlock = ChangeSheetSymbolStringBlock;
}

// ---- The port data ----

Handle CreateSheetSymbolPorts() {
    Handle ports = AllocHandleClear(nullptr, kHeadSize);
    if (!ports) return nullptr;
    auto* head = reinterpret_cast<SheetSymbolPortsHead*>(*ports);
    head->height = kSheetSymbolDefaultHeight;
    head->width = kSheetSymbolDefaultWidth;
    head->spacing = kSheetSymbolDefaultSpacing;
    return ports;
}

bool IsValidSheetSymbolPorts(Handle ports) {
    if (!ports || SizeOfHandle(ports) < kHeadSize) return false;
    const auto* head = reinterpret_cast<const SheetSymbolPortsHead*>(*ports);
    return head->count >= 0 && SizeOfHandle(ports) >= kHeadSize + kPortSize * uint32_t(head->count);
}

SheetSymbolPortsHead* SheetSymbolPortsHeadOf(Handle ports) {
    return IsValidSheetSymbolPorts(ports) ? reinterpret_cast<SheetSymbolPortsHead*>(*ports) : nullptr;
}

SheetSymbolPort* SheetSymbolPortAt(Handle ports, int32_t port) {
    SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(ports);
    if (!head || port < 0 || port >= head->count) return nullptr;
    return reinterpret_cast<SheetSymbolPort*>(*ports + kHeadSize) + port;
}

Handle SheetSymbolPortsOf(const SymbolRecord* symbol) {
    return symbol && (symbol->flags & kSymbolFlagSheet) ? symbol->sheetSymbolData : nullptr;
}

bool ByteSwapSheetSymbolPorts(Handle ports, bool fromNative) {
    if (!ports || SizeOfHandle(ports) < kHeadSize) return false;
    int16_t count = reinterpret_cast<SheetSymbolPortsHead*>(*ports)->count;
    ByteSwapTemplate(*ports, kSheetSymbolPortsHeadTemplate);
    if (!fromNative) count = reinterpret_cast<SheetSymbolPortsHead*>(*ports)->count;
    if (count < 0 || SizeOfHandle(ports) < kHeadSize + kPortSize * uint32_t(count)) return false;
    for (int32_t i = 0; i < count; ++i) ByteSwapTemplate(*ports + kHeadSize + kPortSize * uint32_t(i), kSheetSymbolPortTemplate);
    return true;
}

int32_t CountSubSheetPorts(Handle ports) {
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(ports);
    return head ? head->count : 0;
}

void GetSubSheetPortName(Handle ports, int32_t port, StringBlock block, char* name, int32_t size) {
    const SheetSymbolPort* entry = SheetSymbolPortAt(ports, port);
    ExtractStringSpec(entry ? entry->name : 0, block, name, size);
}

void SetSubSheetPortName(Handle ports, int32_t port, StringBlock block, const char* name) {
    if (!SheetSymbolPortAt(ports, port)) return;
    const StringSpec spec = name && *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
    if (spec == 0 && name && *name) return;  // not stored (the add status says why): kept
    SheetSymbolPortAt(ports, port)->name = spec;
}

int32_t AppendSubSheetPort(Handle ports, StringBlock block, const char* name, uint16_t flags, uint16_t slot) {
    if (!SheetSymbolPortsHeadOf(ports)) return -1;
    const StringSpec spec = name && *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
    if (name && *name && !spec) return -1;
    const SheetSymbolPort entry{spec, flags, slot};
    const int32_t index = SheetSymbolPortsHeadOf(ports)->count;
    if (!ResizeHandle(ports, kHeadSize + kPortSize * uint32_t(index + 1))) return -1;
    std::memcpy(*ports + kHeadSize + kPortSize * uint32_t(index), &entry, kPortSize);
    reinterpret_cast<SheetSymbolPortsHead*>(*ports)->count = int16_t(index + 1);
    return index;
}

void DeleteSubSheetPort(Handle ports, int32_t port) {
    if (!SheetSymbolPortAt(ports, port)) return;
    DeleteFromHandle(ports, int32_t(kHeadSize + kPortSize * uint32_t(port)), int32_t(kPortSize));
    reinterpret_cast<SheetSymbolPortsHead*>(*ports)->count--;
}

// ---- Sheet symbols ----

SymbolRecord* CreateSheetSymbol() {
    SymbolRecord* symbol = CreateSymbol();
    if (!symbol) return nullptr;
    symbol->sheetSymbolData = CreateSheetSymbolPorts();
    if (!symbol->sheetSymbolData) {
        DestroySymbol(symbol);
        return nullptr;
    }
    symbol->component = nullptr;
    symbol->mapId = -1;
    symbol->secondMapId = -1;
    symbol->flags = kSheetSymbolFlags;
    return symbol;
}

bool IsSheetSymbolRecord(const SymbolRecord* symbol) { return symbol && (symbol->flags & kSymbolFlagSheet); }

void GetSheetSymbolFileName(const SymbolRecord* symbol, StringBlock block, char* name, int32_t size) {
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol));
    ExtractStringSpec(head ? head->fileName : 0, block, name, std::min(size, kSheetSymbolFileNameLimit + 1));
}

void SetSheetSymbolFileName(SymbolRecord* symbol, StringBlock block, const char* name) {
    if (!SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol))) return;
    const StringSpec spec = name && *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
    if (spec == 0 && name && *name) return;  // not stored (the add status says why): kept
    SheetSymbolPortsHeadOf(symbol->sheetSymbolData)->fileName = spec;
}

void GetSheetSymbolName(const SymbolRecord* symbol, StringBlock block, char* name, int32_t size) {
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol));
    ExtractStringSpec(head ? head->name : 0, block, name, size);
}

void SetSheetSymbolName(SymbolRecord* symbol, StringBlock block, const char* name) {
    if (!SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol))) return;
    const StringSpec spec = name && *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
    if (spec == 0 && name && *name) return;  // not stored (the add status says why): kept
    SheetSymbolPortsHeadOf(symbol->sheetSymbolData)->name = spec;
}

void GetDefaultSheetSymbolRefDes(const SymbolRecord* symbol, StringBlock block, char* text) {
    char prefix[kSymbolTextSize] = "";
    GetSymbolRefPrefix(symbol, block, prefix);
    if (!*prefix) std::strcpy(prefix, "X");
    const size_t length = std::min(std::strlen(prefix), size_t(kSymbolTextSize - 2));
    std::memcpy(text, prefix, length);
    text[length] = '?';
    text[length + 1] = 0;
}

int32_t CountSheetSymbolPorts(const SymbolRecord* symbol) { return CountSubSheetPorts(SheetSymbolPortsOf(symbol)); }

uint16_t GetSheetSymbolPortFlags(const SymbolRecord* symbol, int32_t port) {
    const SheetSymbolPort* entry = SheetSymbolPortAt(SheetSymbolPortsOf(symbol), port);
    return entry ? entry->flags : 0;
}

uint16_t GetSheetSymbolPortType(const SymbolRecord* symbol, int32_t port) {
    return GetSheetSymbolPortFlags(symbol, port) & kSheetPortTypeMask;
}

int16_t GetSheetSymbolPortColor(const SymbolRecord* symbol, int32_t port) {
    return (GetSheetSymbolPortFlags(symbol, port) & kSheetPortBuss) ? kSheetPortBussColor : kSheetPortSignalColor;
}

void GetSheetSymbolPortName(const SymbolRecord* symbol, int32_t port, StringBlock block, char* name, int32_t size) {
    GetSubSheetPortName(SheetSymbolPortsOf(symbol), port, block, name, size);
}

int32_t GetNamedSheetSymbolPort(const SymbolRecord* symbol, StringBlock block, const char* name) {
    const int32_t count = CountSheetSymbolPorts(symbol);
    char portName[kStringSpecBufferSize];
    for (int32_t i = 0; i < count; ++i) {
        GetSheetSymbolPortName(symbol, i, block, portName, sizeof portName);
        if (strcasecmp(portName, name ? name : "") == 0) return i;
    }
    return -1;
}

OSStatus ChangeSheetSymbolStringBlock(SymbolRecord* symbol, StringBlock from, StringBlock to) {
    Handle ports = SheetSymbolPortsOf(symbol);
    const int32_t count = CountSubSheetPorts(ports);
    if (!SheetSymbolPortsHeadOf(ports)) return status::kNoErr;
    // Every string is moved first; the record takes the new specs only when all of them moved.
    std::vector<StringSpec> specs;
    specs.push_back(SheetSymbolPortsHeadOf(ports)->name);
    specs.push_back(SheetSymbolPortsHeadOf(ports)->fileName);
    for (int32_t i = 0; i < count; ++i) specs.push_back(SheetSymbolPortAt(ports, i)->name);
    for (StringSpec& spec : specs) {
        if (!spec) continue;
        spec = TransferStringSpec(spec, from, to, true);
        if (!spec && StringBlockAddStatus() != status::kNoErr) return StringBlockAddStatus();
    }
    SheetSymbolPortsHeadOf(ports)->name = specs[0];
    SheetSymbolPortsHeadOf(ports)->fileName = specs[1];
    for (int32_t i = 0; i < count; ++i) SheetSymbolPortAt(ports, i)->name = specs[size_t(i) + 2];
    return status::kNoErr;
}

void GetDefaultPortLabelPositions(int16_t positions[4]) {
    positions[0] = 4;
    positions[1] = -16;
    positions[2] = 4;
    positions[3] = 19;
}

// ---- Geometry ----

namespace {

// The port's edge point relative to the origin before the transform.
bool PortEdgePoint(const SymbolRecord* symbol, int32_t port, Point* point, bool* right) {
    Handle ports = SheetSymbolPortsOf(symbol);
    const SheetSymbolPort* entry = SheetSymbolPortAt(ports, port);
    if (!entry) return false;
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(ports);
    *right = entry->flags & kSheetPortRight;
    *point = Point{int16_t(int64_t(entry->slot) * Spacing(head)), int16_t(*right ? head->width : 0)};
    return true;
}

}  // namespace

void GetSheetSymbolPortPos(const SymbolRecord* symbol, int32_t port, Point* point, int32_t* side) {
    Point p{0, 0};
    bool right = false;
    if (!PortEdgePoint(symbol, port, &p, &right)) {
        *point = symbol ? symbol->position : Point{0, 0};
        if (side) *side = kSheetPortSideLeft;
        return;
    }
    *point = Place(symbol, p);
    if (side) *side = right ? kSheetPortSideRight : kSheetPortSideLeft;
}

void GetSheetSymbolPortPinPos(const SymbolRecord* symbol, int32_t port, Point* point) {
    Point p{0, 0};
    bool right = false;
    *point = Point{0, 0};
    if (!PortEdgePoint(symbol, port, &p, &right)) return;
    const int32_t spacing = Spacing(SheetSymbolPortsHeadOf(symbol->sheetSymbolData));
    p.h = int16_t(right ? p.h + spacing : p.h - spacing);
    *point = p;
}

int32_t BuildSheetSymbolPortPoly(const SymbolRecord* symbol, int32_t port, Point points[7]) {
    Point edge{0, 0};
    bool right = false;
    if (!PortEdgePoint(symbol, port, &edge, &right)) return 0;
    const uint16_t type = GetSheetSymbolPortType(symbol, port);
    const Point* shape = kFlagBox;
    int32_t count = 5;
    if (type == kPortTypeBidirectional) {
        shape = kFlagBoth;
        count = 7;
    } else if (type == kPortTypeOutput || type == kPortTypeInput) {
        const bool pointsLeft = (type == kPortTypeOutput) != right;
        shape = pointsLeft ? kFlagLeft : kFlagRight;
        count = 6;
    }
    const int16_t width = int16_t(SheetSymbolPortsHeadOf(symbol->sheetSymbolData)->width);
    const int16_t h = right ? int16_t(width - (type == kPortTypeNone ? 9 : 13)) : int16_t(1);
    for (int32_t i = 0; i < count; ++i)
        points[i] = Place(symbol, Point{int16_t(shape[i].v + edge.v), int16_t(shape[i].h + h)});
    return count;
}

void BuildSheetSymbolPortPinTail(const SymbolRecord* symbol, int32_t port, Point tail[2]) {
    Point edge{0, 0}, pin{0, 0};
    bool right = false;
    PortEdgePoint(symbol, port, &edge, &right);
    GetSheetSymbolPortPinPos(symbol, port, &pin);
    tail[0] = Place(symbol, edge);
    tail[1] = Place(symbol, pin);
}

void GetSheetSymbolBounds(const SymbolRecord* symbol, Rect* bounds, int32_t mode) {
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol));
    if (!head) {
        VXSetEmptyRect(bounds);
        return;
    }
    *bounds = Rect{0, 0, int16_t(head->height + 1), int16_t(head->width + 1)};
    if (mode == 1) {
        bounds->left = int16_t(bounds->left - Spacing(head));
        bounds->right = int16_t(bounds->right + Spacing(head));
    }
}

void GetSheetSymbolSizePoint(const SymbolRecord* symbol, Point* point) {
    Rect bounds;
    GetSheetSymbolBounds(symbol, &bounds, 0);
    *point = Place(symbol, Point{bounds.bottom, bounds.right});
}

void GetMinimumSheetSymbolSize(const SymbolRecord* symbol, int16_t* width, int16_t* height) {
    Handle ports = SheetSymbolPortsOf(symbol);
    int64_t lowest = 12;
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(ports);
    for (int32_t i = 0; head && i < head->count; ++i)
        lowest = std::max<int64_t>(lowest, int64_t(SheetSymbolPortAt(ports, i)->slot) * Spacing(head) + 6);
    *width = kSheetSymbolMinWidth;
    *height = int16_t(std::min<int64_t>(lowest, 32000));
}

bool SetSheetSymbolSize(SheetRecord* sheet, SymbolRecord* symbol, int16_t width, int16_t height, Rect* changed) {
    SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol));
    if (!head) return false;
    int16_t minWidth = 0, minHeight = 0;
    GetMinimumSheetSymbolSize(symbol, &minWidth, &minHeight);
    width = std::max(width, minWidth);
    height = std::max(height, minHeight);
    if (width == int16_t(head->width)) {
        const bool different = height != int16_t(head->height);
        head->height = uint16_t(height);
        return different;
    }
    if (sheet) {
        const Point offset = Turn(symbol, Point{0, int16_t(width - int16_t(head->width))});
        const int32_t count = head->count;
        for (int32_t port = 0; port < count; ++port) {
            if (!(GetSheetSymbolPortFlags(symbol, port) & kSheetPortRight)) continue;
            MovePortWires(sheet, symbol, port, offset, changed);
            if (TextRecord* text = PortNameText(sheet, symbol, port)) {
                InvalSheetView(sheet, &text->bounds);
                JoinArea(changed, text->bounds);
                OffsetTextElement(text, offset.h, offset.v);
                InvalSheetView(sheet, &text->bounds);
                JoinArea(changed, text->bounds);
            }
        }
        if (changed) InvalSheetView(sheet, changed);
    }
    head = SheetSymbolPortsHeadOf(symbol->sheetSymbolData);
    head->width = uint16_t(width);
    head->height = uint16_t(height);
    return true;
}

// ---- Port rows ----

PortRowRange CalcPortRangeSpacing(int32_t spacing, int32_t height) {
    spacing = std::max<int32_t>(1, spacing);
    PortRowRange range{};
    range.first = std::max<int32_t>(1, (6 + spacing - 1) / spacing);
    range.clearance = std::max<int32_t>(1, (10 + spacing - 1) / spacing);
    int32_t n = range.first;
    while (n * spacing + 6 < height) ++n;
    range.rows = n - 1;
    return range;
}

BitArray BuildPortPositionTable(const SymbolRecord* symbol, int32_t excluded, int32_t* rows) {
    if (rows) *rows = 0;
    Handle ports = SheetSymbolPortsOf(symbol);
    const SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(ports);
    if (!head) return nullptr;
    const PortRowRange range = CalcPortRangeSpacing(head->spacing, head->height);
    if (range.first > range.rows) return nullptr;
    BitArray table = CreateBitArray(nullptr, 2 * range.rows);
    if (!table) return nullptr;
    for (int32_t row = 1; row < range.first; ++row) {
        BitArraySet(table, row - 1);
        BitArraySet(table, range.rows + row - 1);
    }
    head = SheetSymbolPortsHeadOf(ports);
    for (int32_t i = 0; i < head->count; ++i) {
        if (i == excluded) continue;
        const SheetSymbolPort* port = SheetSymbolPortAt(ports, i);
        const int32_t base = (port->flags & kSheetPortRight) ? range.rows : 0;
        for (int32_t row = port->slot - (range.clearance - 1); row <= port->slot + (range.clearance - 1); ++row)
            if (row >= 1 && row <= range.rows) BitArraySet(table, base + row - 1);
    }
    if (rows) *rows = range.rows;
    return table;
}

int32_t GetAvailablePortPosition(const SymbolRecord* symbol, bool isInput, bool isOutputOnly) {
    int32_t rows = 0;
    BitArray table = BuildPortPositionTable(symbol, -1, &rows);
    if (!table) return 0;
    int32_t left = 0, right = 0;
    for (int32_t row = 1; row <= rows && !left; ++row)
        if (!BitArrayTest(table, row - 1)) left = row;
    for (int32_t row = 1; row <= rows && !right; ++row)
        if (!BitArrayTest(table, rows + row - 1)) right = row;
    DisposeBitArray(table);
    if (isInput && left) return left;
    if (isOutputOnly && right) return -right;
    if (left && (!right || left <= right)) return left;
    return right ? -right : 0;
}

int32_t CreateSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, const char* name, uint16_t flags) {
    Handle ports = SheetSymbolPortsOf(symbol);
    if (!SheetSymbolPortsHeadOf(ports)) return -1;
    const bool input = flags & kPortTypeInput;
    const bool outputOnly = (flags & kPortTypeOutput) && !input;
    int32_t position = GetAvailablePortPosition(symbol, input, outputOnly);
    while (!position) {
        SheetSymbolPortsHead* head = SheetSymbolPortsHeadOf(ports);
        // A box this tall has rows to spare unless the row table cannot be had at all.
        if (head->height > 32000 - head->spacing) return -1;
        head->height = uint16_t(head->height + Spacing(head));
        position = GetAvailablePortPosition(symbol, input, outputOnly);
    }
    const uint16_t portFlags = uint16_t((flags & (kSheetPortBuss | kSheetPortTypeMask)) | (position < 0 ? kSheetPortRight : 0));
    const int32_t index = AppendSubSheetPort(ports, sheet ? sheet->stringBlock : nullptr, name, portFlags,
                                             uint16_t(position < 0 ? -position : position));
    if (index >= 0 && sheet) {
        Rect area;
        PlacedBounds(symbol, 1, 2, &area);
        InvalSheetView(sheet, &area);
    }
    return index;
}

// ---- Deleting and installing ports ----

void AdjustPinIndexes(void* entries, int32_t count, uint32_t serial, int32_t deleted) {
    auto* bytes = static_cast<uint8_t*>(entries);
    for (int32_t i = 0; i < count; ++i) {
        SignalPinEntry entry;
        std::memcpy(&entry, bytes + 12 * size_t(i), sizeof entry);
        if (entry.serial != serial || int32_t(entry.node) <= deleted) continue;
        entry.node = uint16_t(entry.node - 1);
        std::memcpy(bytes + 12 * size_t(i), &entry, sizeof entry);
    }
}
static_assert(sizeof(SignalPinEntry) == 12 && sizeof(BussTerminal) == 12);

void DeleteSheetSymbolPortWire(SheetRecord* sheet, SymbolRecord* symbol, int32_t port) {
    if (!sheet || port < 0 || port >= CountSheetSymbolPorts(symbol)) return;
    if (gHooks.deletePortWire) gHooks.deletePortWire(sheet, symbol, port);
    else RemovePortWire(sheet, symbol, port);
}

void DeleteSheetSymbolPort(SheetRecord* sheet, SymbolRecord* symbol, int32_t port) {
    const int32_t count = CountSheetSymbolPorts(symbol);
    if (port < 0 || port >= count) return;
    if (sheet) {
        DeleteSheetSymbolPortWire(sheet, symbol, port);
        if (port < count - 1) {
            for (auto s = static_cast<SignalHandle>(LLFirst(sheet->signalList)); s;
                 s = static_cast<SignalHandle>(LLGetNext(sheet->signalList, s))) {
                AdjustPinIndexes(SignalPins(s), (*s)->pinCount, symbol->serial, port);
                NoteSignalChange(s, kSignalChangedPins);
            }
            for (auto b = static_cast<BussHandle>(LLFirst(sheet->bussList)); b;
                 b = static_cast<BussHandle>(LLGetNext(sheet->bussList, b)))
                AdjustPinIndexes(BussTerminals(b), (*b)->terminalCount, symbol->serial, port);
        }
        if (TextRecord* text = PortNameText(sheet, symbol, port)) {
            InvalSheetView(sheet, &text->bounds);
            LLRemoveOrFree(sheet->textList, text, nullptr, true);
        }
        const int64_t owner = TextOwnerSerial(symbol->serial);
        for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link) {
            if (text->owner != owner || (text->kind & 0xF000) != kTextKindPinName) continue;
            if (int32_t(text->kind & kTextKindNodeMask) > port) text->kind = uint16_t(text->kind - 1);
        }
    }
    DeleteSubSheetPort(symbol->sheetSymbolData, port);
}

int32_t InstallSheetSymbolPorts(SheetRecord* sheet, SymbolRecord* symbol, Handle edited, Rect* changed) {
    if (!sheet || !SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol)) || !SheetSymbolPortsHeadOf(edited)) return 0;
    const StringBlock block = sheet->stringBlock;
    const int32_t original = CountSheetSymbolPorts(symbol);
    int32_t editedCount = CountSubSheetPorts(edited);
    std::vector<bool> kept(size_t(original), false);
    for (int32_t i = 0; i < editedCount; ++i) {
        const uint16_t from = SheetSymbolPortAt(edited, i)->slot;
        if (from < original) kept[from] = true;
    }
    // 1: the ports that left the list go, highest first, so that the indexes still to be
    // deleted and the kept ones below them stay where they were.
    std::vector<int32_t> newIndex(size_t(original), -1);
    for (int32_t port = original - 1; port >= 0; --port)
        if (!kept[size_t(port)]) DeleteSheetSymbolPort(sheet, symbol, port);
    for (int32_t port = 0, next = 0; port < original; ++port)
        if (kept[size_t(port)]) newIndex[size_t(port)] = next++;
    int32_t flags = 0;
    // 2: the kept ports take their edits, the new ones are made; each port remembers its entry.
    std::vector<int32_t> entryOfPort(size_t(CountSheetSymbolPorts(symbol)), -1);
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; i < editedCount;) {
        SheetSymbolPort entry = *SheetSymbolPortAt(edited, i);
        GetSubSheetPortName(edited, i, block, name, sizeof name);
        if (entry.slot < original && newIndex[entry.slot] >= 0) {
            const int32_t port = newIndex[entry.slot];
            SheetSymbolPort* target = SheetSymbolPortAt(symbol->sheetSymbolData, port);
            const bool bussChanged = (target->flags ^ entry.flags) & kSheetPortBuss;
            target->name = *name ? OverlayStringBlock(block, name, -1, nullptr) : 0;
            target->flags = uint16_t((target->flags & ~(kSheetPortBuss | kSheetPortTypeMask)) |
                                     (entry.flags & (kSheetPortBuss | kSheetPortTypeMask)));
            if (bussChanged) DeleteSheetSymbolPortWire(sheet, symbol, port);
            entryOfPort[size_t(port)] = i;
            flags |= kSheetPortsChangedPorts;
            ++i;
        } else if (*name) {
            const int32_t port = CreateSheetSymbolPort(sheet, symbol, name, entry.flags);
            if (port >= 0) {
                entryOfPort.resize(size_t(port) + 1, -1);
                entryOfPort[size_t(port)] = i;
                flags |= kSheetPortsChangedPorts;
            }
            ++i;
        } else {
            DeleteSubSheetPort(edited, i);
            --editedCount;
        }
    }
    // 3
    Rect area;
    PlacedBounds(symbol, 1, 3, &area);
    InvalSheetView(sheet, &area);
    JoinArea(changed, area);
    flags |= kSheetPortsChangedPorts;
    // 4: the existing name texts follow their ports' names and show bits.
    const int64_t owner = TextOwnerSerial(symbol->serial);
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;) {
        TextRecord* next = text->link;
        const int32_t port = text->kind & kTextKindNodeMask;
        if (text->owner == owner && (text->kind & 0xF000) == kTextKindPinName && port < int32_t(entryOfPort.size()) &&
            entryOfPort[size_t(port)] >= 0) {
            SheetSymbolPort* entry = SheetSymbolPortAt(edited, entryOfPort[size_t(port)]);
            const bool show = entry->flags & kSheetPortShowName;
            entry->flags &= uint16_t(~kSheetPortShowName);
            GetSheetSymbolPortName(symbol, port, block, name, sizeof name);
            if (!*name) {
                InvalSheetView(sheet, &text->bounds);
                JoinArea(changed, text->bounds);
                LLRemoveOrFree(sheet->textList, text, nullptr, true);
                flags |= kSheetPortsChangedTexts;
            } else {
                if (ChangeSheetText(sheet, text, name, changed)) flags |= kSheetPortsChangedTexts;
                const bool wasShown = !(text->flags & kTextFlagHidden);
                SetTextVisibility(text, true, show);
                if (wasShown != show) flags |= kSheetPortsChangedTexts;
            }
        }
        text = next;
    }
    // 5: the ports still asking for a name text get one.
    for (int32_t port = 0; port < int32_t(entryOfPort.size()); ++port) {
        if (entryOfPort[size_t(port)] < 0) continue;
        if (!(SheetSymbolPortAt(edited, entryOfPort[size_t(port)])->flags & kSheetPortShowName)) continue;
        GetSheetSymbolPortName(symbol, port, block, name, sizeof name);
        if (!*name) continue;
        TextRecord* text = CreateDrawingText(sheet, uint16_t(kTextKindPinName + port), 0, gMinusOnePoint, name);
        if (!text) continue;
        text->owner = owner;
        PositionPortText(text, sheet, symbol);
        InvalSheetView(sheet, &text->bounds);
        JoinArea(changed, text->bounds);
        flags |= kSheetPortsChangedTexts;
    }
    return flags;
}

// ---- Drawing ----

void DrawSheetSymbol(VXGrafState* graf, SymbolRecord* symbol, bool boxOnly, bool nodeMarks) {
    if (!graf || !symbol || !SheetSymbolPortsHeadOf(SheetSymbolPortsOf(symbol))) return;
    VXPenNormal();
    Set_Fore_Color(0);
    Rect box;
    GetSymbolInstanceBounds(nullptr, symbol, 0, &box);
    VXFrameRect(&box);
    if (boxOnly) return;
    for (int32_t port = 0; port < CountSheetSymbolPorts(symbol); ++port)
        DrawSheetSymbolPort(symbol, port, nodeMarks, false);
    VXPenNormal();
}

void DrawSheetSymbolPort(SymbolRecord* symbol, int32_t port, bool nodeMarks, bool erase) {
    Point outline[7];
    const int32_t count = BuildSheetSymbolPortPoly(symbol, port, outline);
    if (!count) return;
    if (erase) {
        Rect bounds;
        VXGetPointsBounds(outline, count, &bounds);
        VXInsetRect(&bounds, -1, -1);
        VXEraseRect(&bounds);
    }
    Set_Fore_Color(GetSheetSymbolPortColor(symbol, port));
    VXPenNormal();
    VXPolyDispatch(outline, int16_t(count), kVerbPaint);
    VXPolyDispatch(outline, int16_t(count), kVerbFrame);
    Point tail[2];
    BuildSheetSymbolPortPinTail(symbol, port, tail);
    const bool buss = GetSheetSymbolPortFlags(symbol, port) & kSheetPortBuss;
    if (buss) {
        VXSetPenWidth(2);
        VXMoveTo(tail[0].h - 1, tail[0].v - 1);
        VXLineTo(int16_t(tail[1].h - 1), int16_t(tail[1].v - 1));
    } else {
        VXSetPenWidth(1);
        VXMoveTo(tail[0].h, tail[0].v);
        VXLineTo(tail[1].h, tail[1].v);
    }
    if (nodeMarks) {
        int32_t side = kSheetPortSideLeft;
        Point edge;
        GetSheetSymbolPortPos(symbol, port, &edge, &side);
        DrawPinPortMarker(buss ? 2 : 1, TransformNodeOrient(side, TransformOf(symbol)));
    }
    VXPenNormal();
}

}  // namespace plexa
