// Busses and break-outs. A buss is a thick line carrying a group of signals under one name: a
// `WireList` of wires with the buss flag whose terminals are buss terminals (symbol pins, usually
// buss ports, each with an optional name of its own). Signals leave a buss through break-outs:
// short strokes kept in the sheet's break-out table that signal wire ends refer to.
//
// This module owns the buss record and list, buss and terminal names, the member-range syntax
// NAME[a..b] and NAME[a:b], the break-out table with its compaction and purging, splitting a buss
// into its connected groups and combining two busses, buss labels, the collection of a buss's
// member names, hit testing and selection, and the naming sequence of consecutive break-outs.
//
// A buss is one handle from `gWiresPool`: the 32-byte head, then `terminalCount` terminals of 12
// bytes. The sheet file stores everything from `bounds` on.
//   0 link, 8 wire list, 16 bounds, 24 name spec, 28 flags u8, 29 reserved u8,
//   30 terminal count u16, 32 terminals {u32 symbol serial, u16 node, u8 flags, u8 0,
//   u32 name spec (0: shows the buss's name)}.
// Wire end words 0x0000-0x3FFF of a buss wire index the terminals. Only signal wire ends refer to
// break-out rows (0x8000 + row); a buss wire meets a break-out by geometry (the row's first point
// lies on it).
//
// The break-out table is a DA array of 18-byte rows {first point (on the buss line), second point
// (the end corner of the signal wire), owning buss handle, u16 flags}. Rows keep their index
// until the table is compacted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/da.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/wires.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct SignalRecord;

#pragma pack(push, 4)
struct BussRecord {
    void* link;            // the next buss handle of the list
    WireList wires;        // owned, kind 2
    Rect bounds;
    StringSpec name;       // 0: no name
    uint8_t flags;         // kBussFlag*
    uint8_t reserved;
    uint16_t terminalCount;
};
#pragma pack(pop)
static_assert(offsetof(BussRecord, wires) == offsetof(NetRecordHead, wires));
static_assert(offsetof(BussRecord, bounds) == 16 && offsetof(BussRecord, name) == 24);
static_assert(offsetof(BussRecord, flags) == 28 && offsetof(BussRecord, terminalCount) == 30);
static_assert(sizeof(BussRecord) == 32);
constexpr uint32_t kBussHeadSize = 32;
constexpr uint32_t kBussStoredOffset = 16;

struct BussTerminal {
    uint32_t serial;  // of the placed symbol
    uint16_t node;
    uint8_t flags;    // 0x01 selected
    uint8_t reserved;
    StringSpec name;  // 0: the terminal shows the buss's name
};
static_assert(sizeof(BussTerminal) == 12);

using BussHandle = BussRecord**;
using SignalHandle = SignalRecord**;
using BreakOutTable = DAHeader**;

constexpr uint8_t kBussFlagUndoCollected = 0x04;

#pragma pack(push, 2)
struct BreakOutRow {
    Point first;     // on the buss line
    Point second;    // the end corner of the signal wire
    BussHandle buss;
    uint16_t flags;  // kBreakOutInUse while purging; other bits the sheet editor's
};
#pragma pack(pop)
static_assert(sizeof(BreakOutRow) == 18);
constexpr uint16_t kBreakOutInUse = 0x0002;

inline BussTerminal* BussTerminals(BussHandle buss) {
    return reinterpret_cast<BussTerminal*>(reinterpret_cast<char*>(*buss) + kBussHeadSize);
}
inline int64_t BussOwnerWord(BussHandle buss) { return reinterpret_cast<intptr_t>(buss); }

// ---- Records and lists ----

BussHandle CreateBuss(LinkListHeader* list);
void DestroyBuss(BussHandle buss);
LinkListHeader* CreateBussList();
void DestroyBussList(LinkListHeader* list);
void FreeBussRecord(LinkListHeader* list, void* item, void* previous, uint32_t flag);
BussHandle DuplicateBuss(BussHandle buss);

// Names are copied at most size - 1 bytes, terminated.
StringSpec GetBussName(BussHandle buss, StringBlock block, char* buffer, int32_t size = 256);
StringSpec SetBussName(BussHandle buss, StringBlock block, const char* name);
// Terminal n's name, or the buss's name when it has none (returns 1 then, else 0).
int32_t GetBussTerminalName(BussHandle buss, int32_t n, StringBlock block, char* buffer,
                            int32_t size = 256);
StringSpec SetBussTerminalName(BussHandle buss, int32_t n, StringBlock block, const char* name);
// Moves the buss's name and its terminals' names into another block: all or nothing (on failure,
// -108 or kStringBlockFull, the buss is as it was).
OSStatus ChangeBussStringBlock(BussHandle buss, StringBlock from, StringBlock to);

BussTerminal* GetBussPinTerminal(BussHandle buss, int32_t n, BussTerminal* terminal);
SymbolRecord* GetBussPinSymbol(LinkListHeader* symbolList, BussHandle buss, int32_t n);
// The index of the terminal for the symbol's node, appended when missing; -1 when memory fails.
int32_t AddPinToBuss(BussHandle buss, const SymbolRecord* symbol, uint16_t node,
                     StringSpec nameSpec);
void DeleteBussPinTerminal(BussHandle buss, int32_t n);
void RemoveWireFromBuss(BussHandle buss, WireHandle wire, bool free);
void PurgeMissingBussPins(BussHandle buss, LinkListHeader* symbolList);
bool IsNonPortBussTerminal(SheetRecord* sheet, BussHandle buss, int32_t n);
// The terminal a segment leads to, or -1 (pt (-1, -1): no point).
int32_t IsBussTerminalSegment(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                              int32_t segment, Point pt);
BussHandle GetConnectedBuss(LinkListHeader* bussList, const SymbolRecord* symbol, uint16_t node,
                            WireHandle* wire, uint16_t* index);

void CalcBussBounds(BussHandle buss);
void TransformBuss(BussHandle buss, Point centre, int32_t code);
WireHandle CleanupBussWires(BussHandle buss, WireHandle referenceWire);
void SplitBussGroups(BussHandle buss, LinkListHeader* bussList, BreakOutTable table,
                     LinkListHeader* symbolList, LinkListHeader* textList,
                     LinkListHeader* discardTextList, Rect* rect);
void PurgeEmptyBuss(BussHandle buss, LinkListHeader* bussList, LinkListHeader* textList,
                    LinkListHeader* discardTextList, Rect* rect);
void CombineBusses(SheetRecord* sheet, BussHandle from, BussHandle to);
void UpdateBussNameLabels(SheetRecord* sheet, BussHandle buss, bool quiet);

// ---- Member ranges ----

// The longest base that GetNetNameRange looks at: a name is cut to this many characters before
// the "[" is looked for, so a range behind a longer base is not seen.
constexpr int32_t kNetNameBaseLength = 28;
constexpr int32_t kNetRangeLimit = 9999;       // bounds of a range run 0..9999
constexpr int32_t kBusMemberNameSize = 64;
// A collection holds at most this many members; further names are dropped.
constexpr int32_t kBusMembersLimit = 32768;

// 1 for NAME[a], NAME[a..b] or NAME[a:b] with the base (at most 28 characters, into a buffer of
// at least kNetNameBaseLength + 1 bytes when given), the first index and the count; else 0.
int32_t GetNetNameRange(const char* name, char* base, int32_t* first, int32_t* count);

// Source flags of a collected member.
constexpr uint8_t kMemberFromBussName = 0x01;
constexpr uint8_t kMemberFromBreakOut = 0x02;
constexpr uint8_t kMemberFromTerminal = 0x04;
constexpr uint8_t kMemberFromPort = 0x08;

#pragma pack(push, 2)
struct BusMemberEntry {
    StringSpec name;  // in the collection's own string block
    uint8_t source;
    uint8_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(BusMemberEntry) == 6);
using BusMembersCollection = DAHeader**;

// The members of a buss (sorted), or null when there are none.
BusMembersCollection CollectBusMemberInfo(SheetRecord* sheet, BussHandle buss);
void CollectRangeMembers(const char* name, uint8_t source, BusMembersCollection collection,
                         StringBlock block);
void CollectOneBusMember(const char* name, uint8_t source, BusMembersCollection collection,
                         StringBlock block);
int CompareBusMembersProc(DAHeader** collection, const void* a, const void* b);
int32_t CountBusMembers(BusMembersCollection collection);
// Member i's name (at most 64 bytes with the terminator) and its source flags; -1 when there is
// no such member.
int32_t GetCollectedBusMemberInfo(BusMembersCollection collection, int32_t i, char* buffer);
void DestroyBusMembersCollection(BusMembersCollection collection);

// ---- Break-outs ----

BreakOutTable CreateBreakOutTable();
// Calls fn(id, row) with a copy of each live row of the table, in id order.
template <class Fn>
void ForEachBreakOutRow(BreakOutTable table, Fn fn) {
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(table, &id, &address)) {
        BreakOutRow row;
        std::memcpy(&row, address, sizeof row);
        fn(id, row);
    }
}
void DestroyBreakOutTable(BreakOutTable table);
// Appends a row with flags 0; its index or -1.
int32_t AddBussBreakout(BreakOutTable table, BussHandle buss, Point first, Point second);
bool GetBreakOutRow(BreakOutTable table, int32_t row, BreakOutRow* out);
bool BussLineHasBreakOuts(BreakOutTable table, BussHandle buss, WireHandle wire);
bool BussLineHasExclusiveBreakOuts(BreakOutTable table, BussHandle buss, WireHandle wire);
// horizontal: 1 horizontal, 0 vertical, negative any direction.
WireHandle GetBussLineSegWithBreakOut(BreakOutTable table, int32_t row, int32_t horizontal,
                                      bool markedOnly, int32_t* segment);
// Compacts the table and renumbers every break-out end of the wires of the list's signals.
void CompactBreakOutTable(BreakOutTable table, LinkListHeader* signalList);
void PurgeUnusedBreakOuts(BreakOutTable table, LinkListHeader* signalList);
void OffsetBreakOutTable(BreakOutTable table, int16_t dh, int16_t dv);
void ChangeBreakoutReferences(BreakOutTable table, BussHandle oldBuss, BussHandle newBuss);

// ---- Labels ----

TextRecord* CreateBussWireLabel(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                                int32_t segment, bool place);
TextRecord* ShowBussWireSegLabel(SheetRecord* sheet, BussHandle buss, WireHandle wire,
                                 int32_t segment, Point pt);
TextRecord* GetBussWireSegLabel(BussHandle buss, WireHandle wire, int32_t segment,
                                LinkListHeader* textList);
void AutoPositionBussLabel(SheetRecord* sheet, WireHandle wire, int32_t segment, Point pt,
                           TextRecord* label);

// ---- Selection and hit testing ----

BussHandle HitTestBussList(SheetRecord* sheet, Point pt, int32_t slop, bool orthogonalOnly,
                           WireHandle* wire, int32_t* segment, Point* hitPt);
int32_t CalcDefaultBussWireHitTestSlop(const SheetRecord* sheet);
void ClearBussHilite(SheetRecord* sheet, Rect* rect);
WireHandle GetSelectedBussLine(SheetRecord* sheet, BussHandle* buss);

// ---- Break-out naming sequence ----

void ClearBreakoutSequence(SheetRecord* sheet);
// Remembers the buss and the name just given to a break-out.
void SetBreakoutSequence(SheetRecord* sheet, BussHandle buss, const char* name);
// 1 with the next name of the sequence in buffer (size bytes); else 0 with the sequence cleared.
int32_t AdvanceBreakoutSequenceName(SheetRecord* sheet, BussHandle buss, char* buffer,
                                    int32_t size = 256);

}  // namespace plexa
