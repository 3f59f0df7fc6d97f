// Signals: the nets of one sheet. A signal is the wires drawn connected (its `WireList`), the
// symbol pins those wires end on, a name, optional attributes, a cache of junction dots and the
// scope flags that say whether net-naming symbols or break-outs are attached.
//
// This module owns the signal record and the sheet's signal list: pin entries kept in step with
// the wire end words, merging two signals when a wire joins them, splitting and regrouping a
// signal after wires were removed, the scope of a signal's name, generated names from the sheet's
// prefix, the name labels along the wires, hit testing, the junction-dot cache and flashing.
//
// A signal is one handle from `gWiresPool`: the 44-byte head, then `pinCount` pin entries of 12
// bytes, then the cached junction dots (one point each; none while the cache is stale). The sheet
// file stores everything from `bounds` on.
//   0 link, 8 wire list, 16 attribute handle, 24 bounds, 32 name spec, 36 flags u16,
//   38 attribute count u16, 40 junction-dot count u16 (0xFFFF stale), 42 pin count u16,
//   44 pin entries {u32 symbol serial, u16 node, u8 flags, u8 0, u32 0}, then the dots.
// Wire end words 0x0000-0x3FFF of a signal wire index the pin entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/wires.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TextRecord;
struct ProjectRecord;
struct BussRecord;
struct sVXTimerRecord;

#pragma pack(push, 4)
struct SignalRecord {
    void* link;              // the next signal handle of the list
    WireList wires;          // owned, kind 1
    Handle attributes;       // AttributeRecord run, none until the first attribute is set
    Rect bounds;             // union of the wires' bounds
    StringSpec name;         // 0: no name
    uint16_t flags;          // kSignalFlag*
    uint16_t attributeCount;
    uint16_t dotCount;       // cached junction dots; kSignalDotsStale when stale
    uint16_t pinCount;
};
#pragma pack(pop)
static_assert(offsetof(SignalRecord, wires) == offsetof(NetRecordHead, wires));
static_assert(offsetof(SignalRecord, wires) == 8 && offsetof(SignalRecord, bounds) == 24);
static_assert(offsetof(SignalRecord, name) == 32 && offsetof(SignalRecord, flags) == 36);
static_assert(offsetof(SignalRecord, dotCount) == 40 && offsetof(SignalRecord, pinCount) == 42);
static_assert(sizeof(SignalRecord) == 44);
constexpr uint32_t kSignalHeadSize = 44;
// The stored part of the head; swapped by "W4LW4".
constexpr uint32_t kSignalStoredOffset = 24;

struct SignalPinEntry {
    uint32_t serial;  // of the placed symbol
    uint16_t node;    // pin of that symbol
    uint8_t flags;    // kPinEntry*
    uint8_t reserved;
    uint32_t reserved2;
};
static_assert(sizeof(SignalPinEntry) == 12);

using SignalHandle = SignalRecord**;
using BussHandle = BussRecord**;

// Signal flags. The first three are recomputed from the wires and pins.
constexpr uint16_t kSignalFlagPort = 0x0001;        // a pin entry belongs to a port symbol
constexpr uint16_t kSignalFlagModulePort = 0x0002;  // a pin entry belongs to a module port
constexpr uint16_t kSignalFlagBreakOut = 0x0004;    // a wire end is attached to a break-out
constexpr uint16_t kSignalScopeFlags = 0x0007;
constexpr uint16_t kSignalFlagUndoCollected = 0x0020;

// Pin entry flags.
constexpr uint8_t kPinEntrySelected = 0x01;
constexpr uint8_t kPinEntryPort = 0x02;        // the symbol is a port symbol
constexpr uint8_t kPinEntryModulePort = 0x04;  // the symbol is a module port

constexpr uint16_t kSignalDotsStale = 0xFFFF;

// Flags of signal and buss labels (text elements of owner kind 1 or 2).
constexpr uint16_t kLabelFlagHiddenPin = 0x0080;  // a hidden pin's label, showing "?"
constexpr uint16_t kLabelFlagShown = 0x0400;      // made by ShowSignalWireSegLabel
constexpr uint16_t kLabelFlagOwnText = 0x8000;    // does not show the net's name

// Scope codes of signal names.
constexpr int32_t kScopeLocal = 0, kScopeExport = 1, kScopeGlobal = 2;

// Names are copied out through buffers of this size unless a size is given.
constexpr int32_t kSignalNameSize = 256;

inline SignalPinEntry* SignalPins(SignalHandle signal) {
    return reinterpret_cast<SignalPinEntry*>(reinterpret_cast<char*>(*signal) + kSignalHeadSize);
}
// The cached dots; valid while the count is not stale.
inline Point* SignalDots(SignalHandle signal) {
    return reinterpret_cast<Point*>(reinterpret_cast<char*>(SignalPins(signal)) +
                                    sizeof(SignalPinEntry) * (*signal)->pinCount);
}
// The owner word of a signal's labels.
inline int64_t SignalOwnerWord(SignalHandle signal) { return reinterpret_cast<intptr_t>(signal); }

// ---- Records and lists ----

// A zero-filled record with an empty wire list, pushed at the head of the list when one is given;
// null when memory fails.
SignalHandle CreateSignal(LinkListHeader* list);
void DestroySignal(SignalHandle signal);
LinkListHeader* CreateSignalList();
void DestroySignalList(LinkListHeader* list);
void FreeSignalRecord(LinkListHeader* list, void* item, void* previous, uint32_t flag);
// A copy of the whole record with its own attributes and copies of the wires; null on failure.
SignalHandle DuplicateSignal(SignalHandle signal);
// Unlinks a signal from a signal list (without freeing it); false when it is not there.
bool RemoveSignalFromList(LinkListHeader* list, SignalHandle signal);

// The name spec; the name is copied (at most size - 1 bytes, terminated) when a buffer is given.
StringSpec GetSignalName(SignalHandle signal, StringBlock block, char* buffer,
                         int32_t size = kSignalNameSize);
StringSpec SetSignalName(SignalHandle signal, StringBlock block, const char* name);
int16_t GetSignalAttribute(SignalHandle signal, StringBlock block, const char* name, char* value,
                           int32_t size = kSignalNameSize);
int16_t SetSignalAttribute(SignalHandle signal, StringBlock block, const char* name,
                           const char* value);
// Moves the signal's name and attributes into another block: all or nothing (on failure, -108 or
// kStringBlockFull, the signal is as it was).
OSStatus ChangeSignalStringBlock(SignalHandle signal, StringBlock from, StringBlock to);
// The next signal after `after` (from the first when none) named like name, ignoring case; with
// (mask & 7) set, preferring one whose flags share a bit with it, else the last match.
SignalHandle RetrieveNextNamedSignal(LinkListHeader* list, SignalHandle after, StringBlock block,
                                     const char* name, uint16_t mask);

// ---- Pin entries ----

// Entry n, copied when asked; null when there is no such entry.
SignalPinEntry* GetSignalPinTerminal(SignalHandle signal, int32_t n, SignalPinEntry* entry);
SymbolRecord* GetSignalPinSymbol(LinkListHeader* symbolList, SignalHandle signal, int32_t n);
// The index of the entry for the symbol's node, appended when missing; -1 when memory fails.
int32_t AddPinToSignal(SignalHandle signal, const SymbolRecord* symbol, uint16_t node);
int32_t AppendSignalPin(SignalHandle signal, const SignalPinEntry* entry);
// Removes entry n and renumbers the wire ends that refer to later entries; ends that referred to
// it become free (0xFFFF for entry 0, else 0xC000).
void DeleteSignalPin(SignalHandle signal, int32_t n);
void RemoveWireFromSignal(SignalHandle signal, WireHandle wire, bool free);
void PurgeMissingSignalPins(SignalHandle signal, LinkListHeader* symbolList);
// The signal with an entry for the symbol's node, the entry's index and the first wire ending
// there; none, 0xFFFF and none when not found.
SignalHandle GetConnectedSignal(LinkListHeader* signalList, const SymbolRecord* symbol,
                                uint16_t node, WireHandle* wire, uint16_t* index);

// ---- Geometry and upkeep ----

void CalcSignalBounds(SignalHandle signal);
WireHandle CleanupSignalWires(SignalHandle signal, WireHandle referenceWire);
void TransformSignal(SignalHandle signal, Point centre, int32_t code);
void CalcSignalScopeFlags(SignalHandle signal);
// The scope code of the name; namedBySymbol (when asked) says whether a symbol names it.
int32_t CalcSignalScope(ProjectRecord* project, SheetRecord* sheet, SignalHandle signal,
                        int32_t* namedBySymbol);
void CombineSignals(SheetRecord* sheet, SignalHandle from, SignalHandle to);
// Cuts the wires marked by the last connectivity test off into a new signal (in no list).
SignalHandle SplitSignal(SignalHandle signal, LinkListHeader* textList);
void RegroupSignal(SignalHandle signal, LinkListHeader* signalList, LinkListHeader* textList,
                   LinkListHeader* discardTextList, SheetRecord* sheet, Rect* rect);
// Splits the signal into its connected pieces; a temporary list holding them all (the signal
// taken out of the signal list), or null when it was not fragmented.
LinkListHeader* SplitSignalFragments(SignalHandle signal, LinkListHeader* signalList,
                                     LinkListHeader* textList);
void PurgeNoPinSignals(LinkListHeader* list, LinkListHeader* textList,
                       LinkListHeader* discardTextList, Rect* rect);
void AssignNewSignalName(SheetRecord* sheet, SignalHandle signal, LinkListHeader* extraList,
                         Rect* rect);
void UpdateSignalNames(SheetRecord* sheet, SignalHandle signal, Rect* rect);

// ---- Junction dots ----

void CacheSignalJunctionDots(SignalHandle signal);
void InvalidateSignalJunctions(SignalHandle signal);
void DrawSignalJunctions(SignalHandle signal, int32_t mode, const Rect* updateRect);

// ---- Names ----

// The decimal number that ends the string, its digits starting at `from` or later; -1 when the
// string does not end in a digit there. Values beyond 32 bits saturate.
int32_t GetTrailingNumber(const char* string, int32_t from, int32_t* digitsStart);
// The number that ends a name beginning with the prefix (of any length), or -1. zeros receives
// the '0' characters directly after the prefix (one less for an all-zero number).
int32_t IsPrefixedString(const char* name, const char* prefix, bool caseSensitive,
                         int32_t* zeros);
// On the signal's name (the given name when no signal is given), with the sheet's prefix.
int32_t IsPrefixedSignalName(SheetRecord* sheet, SignalHandle signal, const char* name,
                             int32_t* zeros);
// "%s%0*d" into out (size bytes); the count of padding zeros.
int32_t ConstructPrefixedSignalName(const char* prefix, int32_t number, int32_t width, char* out,
                                    int32_t size);
// The sheet's prefix (a C string).
void GetSheetSignalPrefix(const SheetRecord* sheet, char prefix[8]);
// The prefix with the lowest number that no signal of the sheet or of extraList uses.
void GetUniqueSignalName(SheetRecord* sheet, LinkListHeader* extraList, char* out,
                         int32_t size = kSignalNameSize);

// ---- Labels ----

TextRecord* CreateSignalWireLabel(SheetRecord* sheet, SignalHandle signal, WireHandle wire,
                                  int32_t segment, bool hiddenPin);
TextRecord* ShowSignalWireSegLabel(SheetRecord* sheet, SignalHandle signal, WireHandle wire,
                                   int32_t segment, Point pt, bool hiddenPin);
TextRecord* GetSignalWireSegLabel(SignalHandle signal, WireHandle wire, int32_t segment,
                                  bool hiddenPin, LinkListHeader* textList);
// pt (-1, -1): no point.
void AutoPositionSignalLabel(SheetRecord* sheet, WireHandle wire, int32_t segment, Point pt,
                             TextRecord* label);

// ---- Selection and hit testing ----

SignalHandle HitTestSignalList(SheetRecord* sheet, Point pt, int32_t slop, WireHandle* wire,
                               int32_t* segment, Point* hitPt);
int32_t CalcDefaultSignalWireHitTestSlop(const SheetRecord* sheet);
WireHandle GetSelectedSignalWire(SheetRecord* sheet, SignalHandle* signal);
// The first wire with end 1 or end 0 (in that order) on the break-out row; end is 1 or 0.
WireHandle GetBreakOutWire(LinkListHeader* signalList, int32_t row, SignalHandle* signal,
                           int32_t* end);
void ClearSignalHilite(SheetRecord* sheet, Rect* rect);
int32_t GetFloatingWireEnd(WireHandle wire, int32_t slop, Rect* rect);

// ---- Flashing ----

constexpr uint8_t kSheetFlashPhase = 0x10;  // bit of the sheet's modified flags
constexpr uint32_t kFlashIntervalMs = 125;
void SetupFlashingSignal(SheetRecord* sheet, SignalHandle signal, BussHandle buss);
void FlashSignalTimerProc(sVXTimerRecord* timer, uint64_t sheet);

}  // namespace plexa
