// Placed symbols: the `SymbolRecord` of a sheet's symbol list and what the texts and frames of the
// model ask of it. A record lives in the sheet's symbol list and is found by its serial number.
//
// Layout (the sheet file stores the 34 bytes from the position on):
//   0 next, 8 component, 16 attributes, 24 sheet-symbol data, 32 position {v, h},
//   36 serial u32, 40 change time i32, 44 map id i32, 48 second map id i32, 52 flags u32,
//   56 library name spec, 60 kind data u32, 64 attribute count u16.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct ComponentRecord;
struct SheetRecord;

struct SymbolRecord {
    SymbolRecord* next;
    ComponentRecord* component;   // null for graphic, port and sheet symbols
    Handle attributes;            // AttributeRecord run, made on first use
    Handle sheetSymbolData;       // ports of a sheet symbol
    Point position;
    uint32_t serial;              // unique within the sheet
    int32_t changeTime;
    int32_t mapId;
    int32_t secondMapId;          // -1 when none
    uint32_t flags;               // kSymbolFlag*, bits 0-2 the placement transform
    StringSpec libraryName;       // 0xFFFFFFFF when none
    uint32_t kindData;
    uint16_t attributeCount;
};
static_assert(offsetof(SymbolRecord, position) == 32 && offsetof(SymbolRecord, serial) == 36);
static_assert(offsetof(SymbolRecord, flags) == 52 && offsetof(SymbolRecord, attributeCount) == 64);

constexpr uint32_t kSymbolFlagTransform = 0x7;
constexpr uint32_t kSymbolFlagModulePort = 0x8;  // a port exported to the parent sheet
constexpr uint32_t kSymbolFlagBussPort = 0x40;   // the port names a buss
constexpr uint32_t kSymbolFlagLocal = 0x100;     // a port symbol that does not make its net global
constexpr uint32_t kSymbolFlagPort = 0x200;      // a net symbol
constexpr uint32_t kSymbolFlagSheet = 0x400;     // a sheet symbol

// A symbol list of gGenPool whose items are freed with their attribute and sheet-symbol handles;
// null when memory fails.
LinkListHeader* CreateSymbolList();
void DestroySymbolList(LinkListHeader* list);

// The first symbol of the list with that serial number, or null.
SymbolRecord* RetrieveSerializedSymbol(const LinkListHeader* list, uint32_t serial);
// The number of nodes (pins or ports) of a placed symbol. Node maps are not kept yet: 0.
int32_t CountSymbolNodes(SheetRecord* sheet, const SymbolRecord* symbol);
// The orientation code (1 right, 2 up, 3 left, 4 down) of a node after the symbol's transform.
// Node maps are not kept yet: 0 (no orientation).
int32_t GetNodeInstanceOrient(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node);
// A port symbol's name (at most size - 1 bytes): its own name (result 0), else (result 1) the name
// of the given net, or of the buss (a buss port) or signal connected to its pin 0; empty with
// result 1 when nothing is connected. net is a signal or buss handle, or null.
int32_t GetPortSymbolName(SheetRecord* sheet, const SymbolRecord* symbol, void* net, char* out,
                          int32_t size = 256);

}  // namespace plexa
