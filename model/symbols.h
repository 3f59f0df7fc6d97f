// Symbol maps and placed symbols. A sheet stores each distinct symbol drawing once, in its
// `SymbolMap`, and places symbols as small `SymbolRecord`s that name a map entry by its map id
// and carry the placement (position and transform), the serial number, the attributes and the
// per-kind data. This module owns the map (de-duplication, the purge before saving and its stored
// form), the symbol record and its accessors (names, designators, ports, sub-sheet names),
// designator uniqueness on a sheet, the placement geometry of symbols and their nodes (pins and
// ports) and pin hit testing.
//
// The private clipboard has a symbol map of its own: every operation that takes a sheet accepts a
// null sheet and then uses `gClipSymbolMap`.
//
// SymbolRecord layout (the sheet file stores the 34 bytes from the position on):
//   0 next, 8 component, 16 attributes, 24 sheet-symbol data, 32 position {v, h},
//   36 serial u32, 40 change time i32, 44 map id i32, 48 second map id i32, 52 flags u32,
//   56 library name spec, 60 kind data (component symbols: u8 package, u8 symbol index, u16 name
//   index; other symbols: the spec of a reference prefix or a port name), 64 attribute count u16.
//
// The map is a DA array (flags 0x84: sorted with logical ids, bodies not in the array's stored
// form) of 22-byte entries ordered by hash, size and bytes; a map id is an entry's physical id and
// stays valid until the purge. Its stored form is the array's (foundation/da_stream.h, reference
// value stored as 0) followed by a body per entry in logical order, in the writer's byte order:
//   u32 definition size D, u16 node count Q, u16 0, D bytes of symbol display data
//   (model/symboldata.h), and only when Q > 0 the node map: u16 Q, Q points {v, h}, Q codes.
// The reader swaps the two head words, the definition (ByteSwapSymbolData) and the node map's
// count and points; it takes a definition only when it is whole display data and a node map only
// when it holds exactly Q nodes, and computes every hash again.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/symboldata.h"

namespace plexa {

struct DAHeader;
struct DALoopRecord;
struct LinkListHeader;
struct ComponentRecord;
struct SheetRecord;
struct ImageList;
struct ProjectRecord;
struct StreamRecord;
struct LibraryItem;
struct VXWindowRecordTag;
using BitArray = Handle;

// ---- Placed symbols ----

union SymbolKindData {
    struct Component {
        uint8_t package;
        uint8_t symbol;      // the symbol index within the component
        uint16_t nameIndex;  // the component name the symbol shows
    } comp;
    StringSpec spec;         // the reference prefix, or a port symbol's name (0 when none)
};
static_assert(sizeof(SymbolKindData) == 4);

struct SymbolRecord {
    SymbolRecord* next;
    ComponentRecord* component;   // null for graphic, port and sheet symbols
    Handle attributes;            // AttributeRecord run, made on first use
    Handle sheetSymbolData;       // ports of a sheet symbol
    Point position;
    uint32_t serial;              // unique within the sheet
    int32_t changeTime;           // kept with the record
    int32_t mapId;
    int32_t secondMapId;          // -1 when none
    uint32_t flags;               // kSymbolFlag*, bits 0-2 the placement transform
    StringSpec libraryName;       // 0xFFFFFFFF when none
    SymbolKindData kind;
    uint16_t attributeCount;
};
static_assert(offsetof(SymbolRecord, position) == 32 && offsetof(SymbolRecord, serial) == 36);
static_assert(offsetof(SymbolRecord, mapId) == 44 && offsetof(SymbolRecord, kind) == 60);
static_assert(offsetof(SymbolRecord, flags) == 52 && offsetof(SymbolRecord, attributeCount) == 64);

constexpr uint32_t kSymbolFlagTransform = 0x7;
constexpr uint32_t kSymbolFlagModulePort = 0x8;    // a port exported to the parent sheet
constexpr uint32_t kSymbolFlagPortType = 0x30;
constexpr uint32_t kSymbolFlagBussPort = 0x40;     // the port names a buss
constexpr uint32_t kSymbolFlagLocal = 0x100;       // a port symbol that does not make its net global
constexpr uint32_t kSymbolFlagPort = 0x200;        // a net symbol
constexpr uint32_t kSymbolFlagSheet = 0x400;       // a sheet symbol
constexpr uint32_t kSymbolFlagSubSheet = 0x800;    // has a sub-sheet name ("~SUB")
constexpr uint32_t kSymbolFlagSecondMap = 0x4000;  // the second map id is in use
constexpr uint32_t kSymbolFlagFileSymbol = 0x8000; // comes from a sub-sheet
constexpr uint32_t kSymbolFlagSelected = 0x1000000;
constexpr StringSpec kNoLibraryName = 0xFFFFFFFF;

// Texts copied out of a symbol, at most 255 characters, into buffers of this size.
constexpr int32_t kSymbolTextSize = 256;

// The pool of symbol records, made at start-up (or on first use).
extern MemPool gSymbolPool;
OSStatus InitSymbolPool();

// A cleared record with second map id -1; null when memory fails.
SymbolRecord* CreateSymbol();
// Frees the attribute handle and, for a sheet symbol, its sheet-symbol data (the free procedure
// of symbol lists).
void FreeSymbolStructures(LinkListHeader* list, void* symbol, void* previous, uint32_t flag);
void DestroySymbol(SymbolRecord* symbol);
// A copy, not linked, with its own attribute and sheet-symbol handles; null when memory fails.
SymbolRecord* DuplicateSymbol(const SymbolRecord* symbol);
LinkListHeader* CreateSymbolList();
void DestroySymbolList(LinkListHeader* list);
// Gives the symbol the sheet's next serial number and appends it.
void AddSymbolToSheet(SheetRecord* sheet, SymbolRecord* symbol);
void RemoveSymbolFromSheet(SheetRecord* sheet, SymbolRecord* symbol, bool freeSymbol);
void AddSymbolToClipboard(LinkListHeader* clipSymbols, SymbolRecord* symbol);
// The first symbol of the list with that serial number, or null. A list of 32 symbols or more
// made by CreateSymbolList answers through an index of its numbers (on the list's owner word,
// made again whenever the list's version moves), so a lookup costs the same on any sheet. A
// number written into a linked symbol is found too; only a number written into a symbol while a
// later one holds it still finds the later one until the list changes (no sheet holds one number
// twice).
SymbolRecord* RetrieveSerializedSymbol(const LinkListHeader* list, uint32_t serial);
// Moves the symbol's strings into another block. On failure (-108, -50) the symbol is as it was.
OSStatus ChangeSymbolStringBlock(SymbolRecord* symbol, StringBlock from, StringBlock to);

// The second map id when flag 0x4000 is set, else the map id.
int32_t GetSymbolMapId(const SymbolRecord* symbol);

// Names and attributes; texts out go into buffers of kSymbolTextSize bytes.
StringSpec GetSymbolRefPrefix(const SymbolRecord* symbol, StringBlock block, char* prefix);
void SetSymbolRefPrefix(SymbolRecord* symbol, StringBlock block, const char* prefix);
void GetSymbolName(const SymbolRecord* symbol, StringBlock block, char* name);
void SetSymbolName(SymbolRecord* symbol, StringBlock block, const char* name);
// The index of the attribute, or (count | 0x8000) when absent.
int16_t GetSymbolAttribute(const SymbolRecord* symbol, StringBlock block, const char* name,
                           char* value);
// SetAttributeValue over the symbol's run, made when missing; with no run and no value nothing
// changes and the result is kAttributeAbsent (0xFFFF8000 as 32 bits).
int16_t SetSymbolAttribute(SymbolRecord* symbol, StringBlock block, const char* name,
                           const char* value, const uint16_t* flags);
void GetSymbolRefName(const SymbolRecord* symbol, StringBlock block, char* name);
void SetSymbolRefName(SymbolRecord* symbol, StringBlock block, const char* name);
// 1 when the sub-sheet name is not empty.
int32_t GetSymbolSheetName(const SymbolRecord* symbol, StringBlock block, char* name);
void SetSymbolSheetName(SymbolRecord* symbol, StringBlock block, const char* name);
int32_t GetPortSymbolType(const SymbolRecord* symbol);
void SetPortSymbolType(SymbolRecord* symbol, int32_t type);
// A port symbol's name (at most size - 1 bytes): its own name (result 0), else (result 1) the name
// of the given net, or of the buss (a buss port) or signal connected to its pin 0; empty with
// result 1 when nothing is connected. net is a signal or buss handle, or null.
int32_t GetPortSymbolName(SheetRecord* sheet, const SymbolRecord* symbol, void* net, char* name,
                          int32_t size = kSymbolTextSize);
StringSpec SetPortSymbolName(SheetRecord* sheet, SymbolRecord* symbol, const char* name);
int32_t GetSymbolsPinSet(const SymbolRecord* symbol);
int32_t GetSymbolSlotIndex(SheetRecord* sheet, const SymbolRecord* symbol);

// ---- Designators ----

int32_t DoesRefDesExistInSheet(SheetRecord* sheet, const SymbolRecord* skip, const char* designator);
// The lowest free designator of the prefix in `text` (kSymbolTextSize bytes; empty: the
// component's or the symbol's prefix, else "Item"), written back into it. `bits`, when given, is
// cleared and used as the table of numbers in use.
void GetUniqueSheetRefDes(SheetRecord* sheet, const SymbolRecord* symbol, char* text, BitArray bits);
void GetSymbolsDisplayDesignator(SheetRecord* sheet, const SymbolRecord* symbol, char* designator);
// 0 when nothing changed, 5 when the designator or slot did; changed areas join *area.
int32_t ChangeSymbolsAnnotation(SheetRecord* sheet, SymbolRecord* symbol, const char* designator,
                                int32_t slot, Rect* area);
// The attribute clipboard that the attribute editor's copy command fills.
extern Handle gClipAttributes;
extern int16_t gClipAttrCount;
extern StringBlock gClipAttrStringBlock;
void ApplyClipAttributesToSymbols(SheetRecord* sheet);

// ---- Placement geometry and nodes ----

// Node orientation codes: 0 none, 1 right, 2 up, 3 left, 4 down; bit 7 of a node code a wide pin.
int32_t TransformNodeOrient(int32_t code, int32_t transform);
void TransformSymbolInstance(SymbolRecord* symbol, Point origin, int32_t transform);
struct SymbolMapEntry;
// which 0: the bounds of the graphics without pins; 1: of everything. Empty when the symbol has
// no definition.
void GetSymbolInstanceBounds(SheetRecord* sheet, const SymbolRecord* symbol, int32_t which, Rect* bounds);
void GetSymbolInstanceInfo(SheetRecord* sheet, const SymbolRecord* symbol, SymbolMapEntry** entry,
                           Rect* bounds, int32_t which);
NodeMap GetSymbolNodeMap(SheetRecord* sheet, const SymbolRecord* symbol);
int32_t CountSymbolNodes(SheetRecord* sheet, const SymbolRecord* symbol);
void GetNodeMapPoint(NodeMap map, int32_t node, int32_t transform, Point* point);
void GetNodeInstancePoint(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node, Point* point);
void GetNodeInstanceTailPos(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node, Point* point);
uint8_t GetNodeMapOrientWidth(NodeMap map, int32_t node, int32_t transform);
void SetNodeMapOrient(NodeMap map, int32_t node, uint8_t code);
int32_t GetNodeInstanceOrient(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node);
int32_t GetNodeInstanceWidth(SheetRecord* sheet, const SymbolRecord* symbol, int32_t node);
int32_t GetSheetSymbolPortOrient(const SymbolRecord* symbol, int32_t port);
int32_t GetSheetSymbolPortWidth(const SymbolRecord* symbol, int32_t port);

// Hit testing: the node index or -1. On a hit the point moves onto the node; the symbol tests
// give the caller the node's sheet position when the tolerance is not 0.
int32_t HitTestNodeMap(NodeMap map, Point* point, int32_t tolerance);
int32_t HitTestPortPins(const SymbolRecord* symbol, Point* point, int32_t tolerance);
int32_t HitTestSymbolPin(SheetRecord* sheet, const SymbolRecord* symbol, Point* point, int32_t tolerance);
int32_t HitTestPins(SheetRecord* sheet, Point* point, int32_t tolerance, SymbolRecord** symbol);

// ((top >> 5) x 256 + (left / 18 mod 256)) of the placed bounds without pins. Not cut to 16 bits:
// symbols further down than row band 255 (a top of 8192) keep ranking after those above them.
int32_t GetSymbolLocationRank(SheetRecord* sheet, const SymbolRecord* symbol);
#pragma pack(push, 4)
struct SubSheetsMapItem {
    uint32_t key;  // GetSymbolLocationRank, compared as a signed 32-bit value
    SymbolRecord* symbol;
};
#pragma pack(pop)
static_assert(sizeof(SubSheetsMapItem) == 12);
// A packed DA array of SubSheetsMapItem for every sheet symbol or symbol with a sub-sheet name
// whose sub-sheet name is not empty, ordered by key and, for equal keys, in symbol-list order.
DAHeader** BuildSubSheetsMap(SheetRecord* sheet);

// ---- Library items and pin texts ----

// With a component: adds both drawings of every symbol of the item to the sheet's map, storing
// the ids (-1 for a missing drawing) and the widened pin-data ids into the component. Without
// one: the two drawings of one symbol, their ids into `ids`. -108 when a drawing could not be
// added (memory, or a damaged drawing); what was stored before stays.
OSStatus AddLibItemSymbolsToSheet(SheetRecord* sheet, LibraryItem* item, ComponentRecord* component,
                                  int32_t symbolIndex, int32_t ids[2]);
// Sets the symbol's pin-number and pin-name texts from its section and package pin set.
void SetSymbolInstancePinText(SheetRecord* sheet, SymbolRecord* symbol, int32_t section);
// Opens what the symbol came from: its library item, a sheet's file symbol or its sub-sheet.
void OpenSymbolSourceItem(SheetRecord* sheet, SymbolRecord* symbol);

// ---- The symbol map ----

#pragma pack(push, 2)
struct SymbolMapEntry {
    Ptr definition;   // symbol display data, owned
    NodeMap nodeMap;  // owned; null for a definition without pins
    uint32_t size;    // bytes of the definition
    uint16_t hash;    // CalcSymbolHash of the definition
};
#pragma pack(pop)
static_assert(sizeof(SymbolMapEntry) == 22);

struct SymbolMap {
    DAHeader** entries;
};

constexpr uint32_t kSymbolMapFlags = 0x84;
// A purge renumbers the map only when at least this many ids are free below the highest one.
constexpr int32_t kSymbolMapPurgeFreeIds = 16;

// The private clipboard's map, installed by the application; used for a null sheet.
extern SymbolMap* gClipSymbolMap;

// A map bound to the image list; null when memory fails.
SymbolMap* CreateSymbolMap(ImageList* images);
// Installs the image list and the procedures (a map read from a file too) and puts its order
// right again.
void SetupSymbolMap(SymbolMap* map, ImageList* images);
void SetSymbolMapImageList(SymbolMap* map, ImageList* images);
ImageList* GetSymbolMapImageList(SymbolMap* map);
// Frees every entry (releasing its images) and the map.
void DestroySymbolMap(SymbolMap* map);
// The 16-bit sum of the bytes; size -1 is the whole pointer block.
uint16_t CalcSymbolHash(const void* bytes, int32_t size);
// The map id of an identical definition, or of a copy added with its images taken into the map's
// list; -1 for a null or damaged definition or when memory fails.
int32_t AddSymbolToMap(SymbolMap* map, const void* definition, int32_t size, ImageList* images);
// The map id of an identical definition, or the search's insertion result (top bit set).
int32_t FindIdenticalSymbol(const void* definition, int32_t size, SymbolMap* map);
// The entry of a map id, null when there is none. Valid until the map next changes.
SymbolMapEntry* GetSymbolMapEntryPtr(SymbolMap* map, int32_t id);
// Frees the node map and the definition (dropping its image references from the list when one
// is given) and clears the entry.
void EmptySymbolMapEntry(SymbolMapEntry* entry, ImageList* images);
// Before saving: frees the entries that nothing of the sheet uses and renumbers the map, the
// components and the symbols when at least 16 ids are free below the highest.
void PurgeSymbolMap(SheetRecord* sheet);
// Rewrites the image references of every definition of the sheet's map from one list into
// another and binds the map to it (the image-list compaction's hook).
void MapSheetSymbolImages(SheetRecord* sheet, ImageList* from, ImageList* to);
// Swaps a stored node map (its count word, then its points) of `size` bytes in place; false when
// the bytes do not hold the count they claim.
bool ByteSwapNodePositionMap(void* map, uint32_t size);

int SymbolMapEntryCompareProc(const void* a, const void* b);
void SymbolMapEntryFreeProc(DAHeader** array, int32_t id, DALoopRecord* loop);
void WriteSymbolMapLoopProc(DAHeader** array, int32_t id, DALoopRecord* loop);
void ReadSymbolMapLoopProc(DAHeader** array, int32_t id, DALoopRecord* loop);
OSStatus WriteSymbolMap(StreamRecord* stream, SymbolMap* map);
// Reads a map into a new one bound to the image list. -50 for a damaged form, -39 when the stream
// ends early, -108 when memory fails; on failure *map is null and nothing is left allocated.
OSStatus ReadSymbolMap(StreamRecord* stream, MemPool pool, ImageList* images, SymbolMap** map);

// ---- What placed symbols need of the layers above ----

struct SymbolHooks {
    // Sheet symbols (their port data belongs to the sheet-file layer).
    void (*getSheetSymbolName)(const SymbolRecord* symbol, StringBlock block, char* name) = nullptr;
    void (*setSheetSymbolName)(SymbolRecord* symbol, StringBlock block, const char* name) = nullptr;
    void (*getSheetSymbolFileName)(const SymbolRecord* symbol, StringBlock block, char* name) = nullptr;
    void (*setSheetSymbolFileName)(SymbolRecord* symbol, StringBlock block, const char* name) = nullptr;
    void (*getDefaultSheetSymbolRefDes)(const SymbolRecord* symbol, StringBlock block, char* text) = nullptr;
    // The box relative to the symbol's origin (which 1 takes in the pin tails).
    void (*getSheetSymbolBounds)(const SymbolRecord* symbol, Rect* bounds, int32_t which) = nullptr;
    int32_t (*countSheetSymbolPorts)(const SymbolRecord* symbol) = nullptr;
    // A port's flags: bit 0 width 2, bit 1 right edge, bits 4-5 the port type.
    uint16_t (*getSheetSymbolPortFlags)(const SymbolRecord* symbol, int32_t port) = nullptr;
    // A port's connection point relative to the symbol's origin, before its transform.
    void (*getSheetSymbolPortPinPos)(const SymbolRecord* symbol, int32_t port, Point* point) = nullptr;
    void (*getSheetSymbolPortName)(const SymbolRecord* symbol, int32_t port, StringBlock block,
                                   char* name) = nullptr;
    OSStatus (*changeSheetSymbolStringBlock)(SymbolRecord* symbol, StringBlock from, StringBlock to) = nullptr;
    // Projects and annotation contexts.
    bool (*annotSuffixEnabled)(ProjectRecord* project) = nullptr;
    // Loads the annotation map of the sheet's hierarchy context before it is read.
    void (*loadContextAnnotation)(SheetRecord* sheet) = nullptr;
    void (*setSymbolCtxText)(SheetRecord* sheet, SymbolRecord* symbol, int32_t slot,
                             const char* designator, Rect* area) = nullptr;
    // The sheet editor. Optional (clearSheetUndoAction): without the sheet editor's undo there is
    // no action to drop.
    void (*clearSheetUndoAction)(SheetRecord* sheet) = nullptr;
    void (*invalSheetView)(SheetRecord* sheet, const Rect* area) = nullptr;
    // Opening what a symbol came from (the library browser and the editors).
    void (*locateLibraryFileItem)(const char* library, const char* item, int32_t* fileIndex,
                                  int32_t* itemIndex) = nullptr;
    void (*setCachedLibraryFile)(int32_t fileIndex) = nullptr;
    void (*setCachedLibraryItem)(int32_t itemIndex) = nullptr;
    // The kind of window it opened: 110 a library editor, 101 a sheet; anything else: none.
    int32_t (*openLibBrowserFile)(int32_t fileIndex, VXWindowRecordTag** window) = nullptr;
    bool (*findAndSelectLibEditorItem)(VXWindowRecordTag* editor, const char* name) = nullptr;
    void (*editSelectedLibItems)(VXWindowRecordTag* editor) = nullptr;
    // Opens the sheet's file-symbol editor; false when the sheet has no such definition.
    bool (*openSheetFileSymbolEditor)(SheetRecord* sheet, const char* name) = nullptr;
    SheetRecord* (*enterSubSheet)(SheetRecord* sheet, SymbolRecord* symbol) = nullptr;
    void (*invalidateActiveBrowser)() = nullptr;
    // Shows a message after pending window updates.
    void (*showMessage)(const char* message) = nullptr;
};
void SetSymbolHooks(const SymbolHooks& hooks);
const SymbolHooks& GetSymbolHooks();

}  // namespace plexa
