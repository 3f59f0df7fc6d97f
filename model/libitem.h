// Library items: one entry of a symbol library in memory (a component, a graphic symbol, a wire
// symbol or a port) with its names, reference prefix, symbol definitions, sections, pin sets,
// packages, hidden pins, pin data, attributes, images and strings; the operations that edit it;
// and its self-contained stored form, the flattened item, which library files and the file-symbol
// block of sheets keep as it is. This module owns the item, the flattened form (writer, reader and
// the readers of single facts straight out of the bytes) and the purges that run before writing.
//
// The item (`LibraryItem`) is a record that owns every part of it:
//   head            the 12 bytes that the flattened form stores verbatim (LibItemHead)
//   sections        an LL list of LibSection pointer items in slot order
//   hiddenPins[4]   per pin set a handle of LibHiddenPin entries, none when the set has none
//   pinTable        pin data (model/pindata.h) bound to the string block; may be none after
//                   inflating an item that had no pin data
//   attributes      a handle of head.attributeCount AttributeRecord entries (model/attributes.h)
//   stringBlock     every StringSpec of the item points into it
//   imageList       a local image list that the drawings' image references name
//   symbols         a handle of head.symbolCount LibSymbolDef entries; each owns its pin-data ids
//                   and its main and alternate drawings (symbol display data, model/symboldata.h)
//   packages        a handle of head.packageCount LibPackage entries
//   names           a handle of names: each its UTF-8 bytes (1 to 255), a NUL and an info byte (the
//                   index of the package the name selects; one at or above the package count
//                   selects none); the list ends with an empty name and a zero info byte
// A pin set exists when the first section has its pin-number array. A section's symbol index is
// below the symbol count, or kLibNoSymbol. A section that uses a symbol definition has as many
// pins as the definition has pin-data ids whenever the definition has pins or the section has a
// pin-number array.
//
// Flattened form (a handle of bytes; multi-byte fields in the writer's byte order, told by the
// mark, except the time stamp, which is always big-endian):
//   0   u16  byte-order mark 0x1234 (reads 0x3412 when the writer had the other order)
//   2   u32  time stamp, big-endian: seconds since 2001-01-01 GMT (version 4); a legacy local
//            time, seconds since 1904 (versions 0-3)
//   6   u8   valid: 1 when the item was valid when flattened
//   7   u16  format version, 4 (versions 0 to 4 are read)
//   9   12   the head: u32 reference prefix spec, u8 symbol count, u8 package count, u8 kind,
//            u8 flags (bit 0: every string is UTF-8, else Mac Roman), i16 attribute count, 2 bytes
//            passed through ("LB4W")
//   21  12   zero
//   33  ..   names: for each, u8 length N (1..255), N bytes (no NUL), u16 package index; then 0
//   then:
//   u32 L (16 or more), then L bytes: the string block from its header on (its used size L)
//   attributes: i32 byte length (attribute count x 12; -1 for none with count 0), the records
//   packages: package count x 10 bytes {u32 name, u32 footprint, u8 pin set 0..3, u8} ("L2B2")
//   u16 pin-data record count P, then P records: 8-byte head ("B2WL"; its i16 attribute count A
//     is 0 or more) and A x 12 bytes of attributes; a pin-data id is a record's index here
//   u8 hidden-pin mask (bits 0-3): per set bit from bit 0, u16 byte length (a multiple of 8),
//     then LibHiddenPin entries (two u32 each)
//   version 3 and later: the image list as model/imagelist.h stores it
//   symbol definitions, symbol count times: u32 name spec, u32 child sheet name spec; three blobs
//     (pin-data ids as u16 words, main drawing, alternate drawing), each u32 byte length
//     (0xFFFFFFFF when absent; an even length for the ids) and the bytes; u32 flags; four bytes
//     {0, grid, placement options, resolution}. Versions 0 and 1 kept the placement options as
//     flag bits 15 and 16.
//   u16 section count; per section: u16 pin count (0 to 32767), u8 symbol index (below the symbol
//     count, or 255), u8 spare, u32 suffix spec ("WB2L"); u8 pin-set mask (bits 0-3); per set
//     bit from bit 0, pin count x u32 pin-number specs
// The reader trusts none of it: every count, length, index and id is checked against the bytes
// left and against what was read before, drawings must play, and sections and definitions must
// agree on their pins; a failure ends with a status and frees all it built. What is merely
// dangling is repaired: an image reference that names no image of the list becomes -1 (a missing
// image), and pins whose id names no record share one blank record.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct ImageList;
struct LinkListHeader;
using PinDataTable = DAHeader**;

// Item kinds.
constexpr uint8_t kLibItemComponent = 0;   // a component or a graphic symbol
constexpr uint8_t kLibItemWireSymbol = 1;
constexpr uint8_t kLibItemPort = 2;

// Head flag bit 0: the strings of the item are UTF-8. Every flatten sets it.
constexpr uint8_t kLibItemFlagUTF8 = 0x01;

constexpr int32_t kLibPinSetCount = 4;
// The symbol index that names a pin set's hidden pins instead of a symbol definition's pins.
constexpr uint16_t kLibHiddenPins = 0xFFFF;
// The symbol index of a section that uses no symbol definition (a new section).
constexpr uint8_t kLibNoSymbol = 255;
// The name index that appends a name.
constexpr int32_t kLibAppendName = 9999;
// Names hold 1 to 255 bytes; longer ones are cut at a UTF-8 character boundary.
constexpr int32_t kLibItemNameMaxLength = 255;
// A buffer for a name, a symbol's name or sheet name, a suffix, a pin number, a package's name
// or footprint as the getters copy them (at most 255 bytes and the NUL).
constexpr int32_t kLibItemTextSize = 256;
// The reference prefix is read into a buffer of 15 bytes (at most 14 bytes, whole characters).
constexpr int32_t kLibRefPrefixSize = 15;

// Symbol definition flag bits that an item with pin data stores as 0.
constexpr uint32_t kLibSymbolFlagsClearedWithPinData = 0x30000;
// Placement options of versions 0 and 1, kept in the symbol flags.
constexpr uint32_t kLibSymbolOldPlacementBits = 0x18000;

// The flattened form.
constexpr uint16_t kFlatLibItemMark = 0x1234;
constexpr uint16_t kFlatLibItemVersion = 4;
constexpr uint32_t kFlatItemMarkOffset = 0;
constexpr uint32_t kFlatItemTimeStampOffset = 2;
constexpr uint32_t kFlatItemValidOffset = 6;
constexpr uint32_t kFlatItemVersionOffset = 7;
constexpr uint32_t kFlatItemHeadOffset = 9;
constexpr uint32_t kFlatItemKindOffset = 15;
constexpr uint32_t kFlatItemFlagsOffset = 16;
constexpr uint32_t kFlatItemNamesOffset = 33;
constexpr const char* kLibItemHeadTemplate = "LB4W";
constexpr const char* kLibPackageTemplate = "L2B2";
constexpr const char* kLibSectionTemplate = "WB2L";
// A buffer that holds any name read from a flattened item, with its terminator.
constexpr int32_t kFlatItemNameBufferSize = kLibItemTextSize;

// The status of a flattened item whose bytes are not a well-formed item.
constexpr OSStatus kLibItemCorrupt = status::kParamErr;

struct LibItemHead {
    StringSpec refPrefix;
    uint8_t symbolCount;
    uint8_t packageCount;
    uint8_t kind;
    uint8_t flags;
    int16_t attributeCount;  // the count that the attribute functions take
    uint8_t spare[2];        // passed through
};
static_assert(sizeof(LibItemHead) == 12);

struct LibSymbolDef {
    StringSpec name;
    StringSpec sheetName;    // the child sheet this symbol stands for; 0 when none
    uint16_t* pinDataIds;    // a pointer block, one id per pin (its size / 2); none without pins
    uint32_t flags;          // copied into the flags of symbols placed from it
    uint8_t spare;           // stored as 0
    uint8_t grid;
    uint8_t placementOptions;  // bits 0 and 1
    uint8_t resolution;
    Ptr mainData;            // symbol display data (a pointer block), none when absent
    Ptr alternateData;       // none when the item has no alternate symbol
};
static_assert(sizeof(LibSymbolDef) == 40);

struct LibSection {
    LibSection* next;                     // link of the section list
    Handle pinNumbers[kLibPinSetCount];   // pin count x StringSpec, none without that pin set
    int16_t pinCount;
    uint8_t symbolIndex;                  // kLibNoSymbol in a new section
    uint8_t spare;                        // passed through
    StringSpec suffix;                    // the slot's designator suffix
};

#pragma pack(push, 2)
struct LibPackage {
    StringSpec name;
    StringSpec footprint;
    uint8_t pinSet;  // 0..3
    uint8_t spare;
};
#pragma pack(pop)
static_assert(sizeof(LibPackage) == 10);

struct LibHiddenPin {
    StringSpec number;
    uint32_t pinDataId;
};
static_assert(sizeof(LibHiddenPin) == 8);

struct LibraryItem {
    LibItemHead head;
    uint32_t inflationInstance;  // not stored; tells one inflated copy from another
    LinkListHeader* sections;
    Handle hiddenPins[kLibPinSetCount];
    PinDataTable pinTable;
    Handle attributes;
    StringBlock stringBlock;
    ImageList* imageList;
    Handle symbols;
    Handle packages;
    Handle names;
};

// The number of the last inflation (0 before the first); each inflation takes the next.
extern uint32_t gInflationInstance;

// ---- The whole item ----

// A new item of the kind: no names, a 64-byte string block, an empty attribute handle, section
// list and image list, and a pin-data table bound to the block. None when memory fails (nothing
// is left allocated).
LibraryItem* CreateLibraryItem(uint8_t kind);
// Frees the item and all it owns; the drawings' image references are released first. None is
// ignored.
void DestroyLibraryItem(LibraryItem* item);

// The stored form of the item, or none on failure (the status in *status when asked: -108 when
// memory fails, -128 when allowEmpty is false and no symbol definition is left, -50 for an item
// whose parts disagree, see the top of this file).
// Flattening changes the item itself before it writes (the library editor and the sheets store
// only what a flattened item keeps, so the item in memory is made that): it deletes every symbol
// definition that has no main drawing or that no section uses (with the sections of the former),
// drops the pin sets no package or pin needs, keeps in the image list and the pin-data table only
// what the drawings and pins use, moves every string into a fresh string block and sets flag
// bit 0. A definition that the user has made but not yet given a drawing and a section therefore
// does not survive a flatten; the editors keep such a definition only while they hold the item.
// `timeStamp` is in seconds since 2001-01-01 GMT in this machine's order (stored big-endian);
// 0 stores the current time.
Handle FlattenLibraryItem(LibraryItem* item, bool allowEmpty, uint32_t timeStamp,
                          OSStatus* status = nullptr);
// Builds an item from its stored form. With makePinTable the item gets a pin-data table even
// when the stored item has none. -39 for no data or data that ends early, 0x20002711 for a
// version above 4, kLibItemCorrupt for data that is not well formed, -108 when memory fails.
// *item is set in every case: none on failure, when nothing built is left.
// Pin-data records are read into the table by interning, so that identical records become one;
// the pins keep naming the record they named (their ids are mapped to the interned ones), and
// a pin whose id names no record is given one blank record.
OSStatus InflateLibraryItem(Handle flat, LibraryItem** item, bool makePinTable);

// Its first name is not empty, it has a symbol definition and a section uses one. False for none.
bool IsLibraryItemValid(const LibraryItem* item);

// Moves every string of the item into the block and frees the old one. On failure (-108, -50)
// the item is unchanged and keeps its block; the new block stays the caller's.
OSStatus ChangeLibItemStringBlock(LibraryItem* item, StringBlock block);

// ---- Facts read straight from the flattened bytes ----

// 0 when the bytes hold the fixed head with a byte-order mark in either order and a name list
// that ends inside them, with at least one name; then *count (optional) is the number of names.
// -50 otherwise (no handle, too short, a bad mark, a list that runs off the end or is empty).
OSStatus CheckFlattenedLibraryItemNames(Handle flat, int32_t* count);
// Copies the name at the index (0 the primary name) as a NUL-terminated string into a buffer of
// `size` bytes, recoded from Mac Roman to UTF-8 when flag bit 0 is clear and cut to 255 bytes at
// a character boundary (as inflating does), and returns 1; 0 with an empty string when there is
// no such name (or the list is not well formed).
int32_t GetFlattenedLibraryItemName(Handle flat, int32_t index, char* out, int32_t size);
// The kind, flags and valid bytes; 0 for bytes too short to hold them.
uint8_t GetFlattenedLibraryItemKind(Handle flat);
uint8_t GetFlattenedLibraryItemFlags(Handle flat);
uint8_t IsFlattenedLibraryItemValid(Handle flat);
// The format version in the reader's order; -1 for bytes too short or without a mark.
int32_t GetFlattenedLibraryItemVersion(Handle flat);
// The time stamp as seconds since 2001-01-01 GMT; an older item's legacy local time is taken
// as a local date and shifted by the zone difference at that date. 0 when there is none.
int32_t GetFlattenedLibraryItemTimestamp(Handle flat);

// ---- Names ----

// The package table and the start of the names.
LibPackage* LibItemPackages(LibraryItem* item);
char* GetLibItemNamesBase(LibraryItem* item);
int32_t CountLibraryItemNames(const LibraryItem* item);
// The name at the index (NUL-terminated, its info byte behind the NUL); an index past the last
// name (or below 0) gives the empty ending. Valid until the names change.
const char* GetLibraryItemNamePtr(const LibraryItem* item, int32_t index);
// Copies the name into a buffer of kLibItemTextSize bytes (when given) and returns its info byte;
// an empty name and 0 past the end.
uint8_t GetLibraryItemNameInfo(const LibraryItem* item, int32_t index, char* name);
// With a name: replaces the name at the index, or appends it when the index is past the last
// name (kLibAppendName), with the info byte; a name longer than 255 bytes is cut at a character
// boundary. An empty name is refused (it would end the list). Without a name only the info byte
// of an existing name is set. False when nothing was done or memory failed.
[[nodiscard]] bool SetLibraryItemNameInfo(LibraryItem* item, int32_t index, const char* name, uint8_t info);
// Removes the name; an index outside 0 .. count - 1 does nothing.
void DeleteLibraryItemNameInfo(LibraryItem* item, int32_t index);

// ---- Prefix and kind ----

// Copies the prefix into a buffer of kLibRefPrefixSize bytes: at most 14 bytes, cut before a
// character that does not fit. Returns the bytes copied.
int32_t GetLibraryItemRefPrefix(const LibraryItem* item, char* prefix);
// Stores the text (sharing bytes already in the block); true when the spec changed.
bool SetLibraryItemRefPrefix(LibraryItem* item, const char* prefix);
uint8_t GetLibraryItemKind(const LibraryItem* item);

// ---- Symbol definitions ----
// An index that names no definition gives 0 or none and changes nothing.

// The spec; with a buffer (kLibItemTextSize bytes) the text too.
StringSpec GetLibSymbolName(LibraryItem* item, int32_t index, char* name);
void SetLibSymbolName(LibraryItem* item, int32_t index, const char* name);
StringSpec GetLibSymbolSheetName(LibraryItem* item, int32_t index, char* name);
void SetLibSymbolSheetName(LibraryItem* item, int32_t index, const char* name);
uint32_t GetLibSymbolFlags(LibraryItem* item, int32_t index);
void SetLibSymbolFlags(LibraryItem* item, int32_t index, uint32_t flags);
uint8_t GetLibSymbolPlacementOptions(LibraryItem* item, int32_t index);
void SetLibSymbolPlacementOptions(LibraryItem* item, int32_t index, uint8_t options);
uint8_t GetLibSymbolGrid(LibraryItem* item, int32_t index);
void SetLibSymbolGrid(LibraryItem* item, int32_t index, uint8_t grid);
uint8_t GetLibSymbolResolution(LibraryItem* item, int32_t index);
void SetLibSymbolResolution(LibraryItem* item, int32_t index, uint8_t resolution);
// The drawing (0 main, 1 alternate) and its size (SizeOfPtr); none when absent.
Ptr GetLibSymbolData(LibraryItem* item, int32_t index, int32_t which);
// Stores a drawing (none clears it); the item takes `data` over in every case (it is freed when
// it cannot be stored). The drawing's image references are taken into the item's list: from
// the item's own list one more reference each, from another list the images are added to the
// item's and the references renumbered in place; with no list given the references are the
// item's already and counted. The old drawing's images lose one reference each and it is freed.
// 0, or kSymbolDataCorrupt for a drawing that does not play, or -108; the old drawing stays then.
OSStatus SetLibSymbolData(LibraryItem* item, int32_t index, int32_t which, Ptr data,
                          ImageList* dataImages);
uint16_t* GetLibSymbolPinDataIds(LibraryItem* item, int32_t index);
// Takes the pointer block of u16 ids over (none: no pins) and frees the old one.
void SetLibSymbolPinDataIds(LibraryItem* item, int32_t index, uint16_t* ids);
// Both drawings and the ids, as the setters above do; the first failing status.
OSStatus StoreLibSymbol(LibraryItem* item, int32_t index, Ptr main, Ptr alternate,
                        ImageList* images, uint16_t* pinIds);
// Appends a definition with the name (shared bytes) and stores the rest with StoreLibSymbol;
// the new index, or -1 when the item holds 255 already or memory fails (the data is freed then).
int32_t AddLibSymbolDef(LibraryItem* item, const char* name, Ptr main, Ptr alternate,
                        ImageList* images, uint16_t* pinIds);
// Removes the definition with the sections that use it; the symbol indices above it move down.
void DeleteLibSymbolDef(LibraryItem* item, int32_t index);
// Moves the definition's name and sheet name between blocks (all or nothing).
OSStatus ChangeSymbolDefStringBlock(LibSymbolDef* symbol, StringBlock from, StringBlock to);

// ---- Sections ----

// A cleared section with symbol index kLibNoSymbol, from the current pool; none when memory fails.
LibSection* CreateLibSection();
// Frees a section that is in no list, with its arrays.
void DestroyLibSection(LibSection* section);
// The section list's free procedure: frees the section's four arrays.
void FreeLibSectionStructures(LinkListHeader* list, void* section, void* previous, uint32_t flag);
LinkListHeader* CreateLibSectionList();
void DestroyLibSectionList(LinkListHeader* list);
// Appends the section, or with `sorted` places it by its suffix (ignoring case: before the first
// when less than it, else behind the last one less or equal). Its position.
int32_t AddSectionToLibItem(LibraryItem* item, LibSection* section, bool sorted);
// Unlinks the section, and frees it with `destroy`.
void RemoveSectionFromLibItem(LibraryItem* item, LibSection* section, bool destroy);
LibSection* GetFirstLibSectionUsingSymbol(const LibraryItem* item, int32_t symbol);
StringSpec GetLibSectionSuffix(const LibSection* section, StringBlock block, char* suffix);
void SetLibSectionSuffix(LibSection* section, StringBlock block, const char* suffix);
// Moves the suffix and the pin numbers of the present pin sets (all or nothing).
OSStatus ChangeLibSectionStringBlock(LibSection* section, StringBlock from, StringBlock to);

// Pin numbers of a section: pin set 0..3 and pin index 0 .. pin count - 1; 0 for a pin set the
// section lacks or a pin outside. The getter copies into a buffer of kLibItemTextSize bytes.
StringSpec GetLibSectionPinNumber(const LibSection* section, StringBlock block, int32_t pinSet,
                                  int32_t pin, char* number);
StringSpec SetLibSectionPinNumber(LibSection* section, StringBlock block, int32_t pinSet,
                                  int32_t pin, const char* number);
void SetLibSectionPinNumberSpec(LibSection* section, int32_t pinSet, int32_t pin, StringSpec spec);
void GetLibSectionPinNumberSet(const LibSection* section, int32_t pin, StringSpec specs[4]);
// Each non-zero spec is moved from the source to the target block (when they differ); the first
// non-zero one is the default for the pin sets whose spec is 0.
void SetLibSectionPinNumberSet(LibSection* section, int32_t pin, const StringSpec specs[4],
                               StringBlock from, StringBlock to);
// Resizes every present array (new entries 0) and stores the count (0 to 32767); false when
// memory fails (nothing changed).
bool SetLibSectionPinCount(LibSection* section, int32_t count);

// ---- Pin sets ----

// Gives the section the pin set: a copy of the source set when that is 0 or more and present,
// else zeros. Nothing when set equals source. False when memory fails.
[[nodiscard]] bool CreateLibSectionPinSet(LibSection* section, int32_t pinSet, int32_t sourceSet);
void DestroyLibSectionPinSet(LibSection* section, int32_t pinSet);
bool IsLibPinSetAllocated(const LibraryItem* item, int32_t pinSet);
// The lowest allocated pin set, -1 when none is.
int32_t GetDefaultLibItemPinSet(const LibraryItem* item);
// CreateLibSectionPinSet in every section that lacks the set; false when memory fails.
[[nodiscard]] bool AllocateLibItemPinSet(LibraryItem* item, int32_t pinSet, int32_t sourceSet);

// ---- Packages ----

// Appends a zero package with the pin set; its index, -1 when 255 exist or memory fails.
int32_t AddNewPackageToLibItem(LibraryItem* item, int32_t pinSet);
// Removes the package; names that selected it select package 0, later ones move down by one.
void DeleteLibItemPackage(LibraryItem* item, int32_t index);
StringSpec GetLibPackageName(LibraryItem* item, int32_t index, char* name);
void SetLibPackageName(LibraryItem* item, int32_t index, const char* name);
StringSpec GetLibPackageFootprint(LibraryItem* item, int32_t index, char* footprint);
void SetLibPackageFootprint(LibraryItem* item, int32_t index, const char* footprint);
// The pin set; -1 for no such package.
int32_t GetLibPackagePinSet(LibraryItem* item, int32_t index);
// A pin set outside 0..3 is refused.
void SetLibPackagePinSet(LibraryItem* item, int32_t index, int32_t pinSet);
OSStatus ChangeLibPackageStringBlock(LibPackage* package, StringBlock from, StringBlock to);

// ---- Hidden pins ----

// Appends a hidden pin (the table is made on the first); its index, or -1 for a pin set outside
// 0..3, a table that is full (8191 pins, what the stored form holds) or failed memory.
int32_t AddNewHiddenPinToLibItem(LibraryItem* item, int32_t pinSet, const char* number,
                                 uint32_t pinDataId);
// Removes one; the table is freed with its last pin.
void DeleteHiddenPinFromLibItem(LibraryItem* item, int32_t pinSet, int32_t index);
// The number's spec, and the number (kLibItemTextSize bytes) and id when asked; 0 and id
// 0xFFFFFFFF for no such pin.
StringSpec GetLibItemHiddenPinInfo(LibraryItem* item, int32_t pinSet, int32_t index, char* number,
                                   uint32_t* pinDataId);
void SetLibItemHiddenPinNumber(LibraryItem* item, int32_t pinSet, int32_t index, const char* number);
void SetLibItemHiddenPinNumberSpec(LibraryItem* item, int32_t pinSet, int32_t index, StringSpec spec);
void SetLibItemHiddenPinDataId(LibraryItem* item, int32_t pinSet, int32_t index, uint32_t pinDataId);
OSStatus ChangeLibItemHiddenPinsStringBlock(LibraryItem* item, StringBlock from, StringBlock to);

// ---- Pins ----
// A symbol index of kLibHiddenPins or -1 means the hidden pins of the pin set; any other index a
// symbol definition's pins (the pin set does not count then).

int32_t CountLibSymbolPins(LibraryItem* item, int32_t pinSet, int32_t symbol);
// 0xFFFFFFFF for a pin that does not exist.
uint32_t GetLibSymbolPinDataId(LibraryItem* item, int32_t pinSet, int32_t symbol, int32_t pin);
// False for a pin that does not exist, or an id above 0xFFFF for a symbol definition's pin.
bool SetLibSymbolPinDataId(LibraryItem* item, int32_t pinSet, int32_t symbol, int32_t pin,
                           uint32_t pinDataId);
// The pin number of a section's pin, or with no section of a hidden pin.
StringSpec GetLibItemPinNumber(LibraryItem* item, const LibSection* section, int32_t pinSet,
                               int32_t pin, char* number);
StringSpec SetLibItemPinNumber(LibraryItem* item, LibSection* section, int32_t pinSet, int32_t pin,
                               const char* number);

// ---- The purges that flattening runs ----

// Deletes every symbol definition that has no main drawing or that no section uses.
void PurgeEmptyUnusedParts(LibraryItem* item);
// Keeps the pin sets that packages or pins need and destroys the others. -108 when memory fails.
OSStatus PurgeUnusedPinSets(LibraryItem* item);
// A new list with exactly the images the drawings use (renumbered); all or nothing.
OSStatus CompactLibItemImageList(LibraryItem* item);
// A new table with exactly the records the pins use (a pin naming none gets a blank record), the
// hidden pins of sets 0..3 first, then each definition's, each from its last pin to its first;
// every id is renumbered. All or nothing.
OSStatus CompactLibItemPinTable(LibraryItem* item);

// Applies "WB2L" to a stored section head (8 bytes).
void ByteSwapSectionRecord(void* record);

}  // namespace plexa
