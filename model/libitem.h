// Library items: one entry of a symbol library held in memory (a component, graphic symbol, wire
// symbol or port) with its names, reference prefix, symbol definitions, sections, pin sets,
// packages, hidden pins, pin data, attributes, images and strings.
//
// This is a small in-memory item that the sheet model builds components from; it keeps only what
// building needs and has no flattened form. The item is one relocatable handle: the fixed part
// below, then the symbol definitions, the packages and the names inline, in that order. Each name
// is its UTF-8 bytes, a NUL and one info byte (the package the name selects); an empty name ends
// the list.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct ImageList;
struct LinkListHeader;
using PinDataTable = DAHeader**;

constexpr uint8_t kLibItemKindComponent = 0;  // a component or graphic symbol
constexpr uint8_t kLibItemKindWire = 1;
constexpr uint8_t kLibItemKindPort = 2;

constexpr int32_t kLibPinSetCount = 4;
constexpr uint16_t kLibHiddenPins = 0xFFFF;  // the symbol index that names a pin set's hidden pins
constexpr int32_t kLibItemPrefixSize = 15;   // GetLibraryItemRefPrefix's buffer

struct LibSymbolDef {
    StringSpec name;
    StringSpec sheetName;
    uint16_t* pinDataIds;  // pointer block, one id per pin; null without pins
    uint32_t flags;
    uint8_t spare;
    uint8_t grid;
    uint8_t placement;
    uint8_t resolution;
    Ptr main;              // symbol display data
    Ptr alternate;         // or null
};

#pragma pack(push, 2)
struct LibPackage {
    StringSpec name;
    StringSpec footprint;
    uint8_t pinSet;
    uint8_t spare;
};
#pragma pack(pop)
static_assert(sizeof(LibPackage) == 10);

struct LibHiddenPin {
    StringSpec number;
    uint32_t pinDataId;
};
static_assert(sizeof(LibHiddenPin) == 8);

struct LibSectionRecord {
    LibSectionRecord** next;
    Handle pinNumbers[kLibPinSetCount];  // pin count x StringSpec; null without that pin set
    int16_t pinCount;
    uint8_t symbolIndex;                 // 255 in a new section
    uint8_t spare;
    StringSpec suffix;
};
using LibSection = LibSectionRecord**;

struct LibraryItemRecord {
    StringSpec refPrefix;
    uint8_t symbolCount;
    uint8_t packageCount;
    uint8_t kind;
    uint8_t flags;
    uint16_t attributeCount;
    uint8_t pass[2];
    uint32_t inflationInstance;
    LinkListHeader* sections;                // LibSection handles in slot order
    Handle hiddenPins[kLibPinSetCount];      // LibHiddenPin tables, null when empty
    PinDataTable pinDataTable;
    Handle attributes;
    StringBlock stringBlock;
    ImageList* imageList;
};
using LibraryItem = LibraryItemRecord**;

// A new item of the kind with no names, an empty string block, section list, pin-data table and
// image list; null when any of them cannot be made.
LibraryItem CreateLibraryItem(uint8_t kind);
void DestroyLibraryItem(LibraryItem item);

uint8_t GetLibraryItemKind(LibraryItem item);

// Names. The getter copies the name (into a buffer of 256 bytes) and returns its info byte; an
// index past the last name gives an empty name and 0. The setter with a name replaces the name
// at the index, or appends it past the end.
int32_t CountLibraryItemNames(LibraryItem item);
uint8_t GetLibraryItemNameInfo(LibraryItem item, int32_t index, char* name);
void SetLibraryItemNameInfo(LibraryItem item, int32_t index, const char* name, uint8_t info);

// The prefix into a buffer of kLibItemPrefixSize bytes; setting returns whether it changed.
void GetLibraryItemRefPrefix(LibraryItem item, char* prefix);
bool SetLibraryItemRefPrefix(LibraryItem item, const char* prefix);

// Symbol definitions. AddLibSymbolDef takes over the drawings and the pin ids and takes their
// image references from `images` into the item's list; it returns the new index, -1 on failure
// (then nothing was taken over).
int32_t AddLibSymbolDef(LibraryItem item, const char* name, Ptr main, Ptr alternate,
                        ImageList* images, uint16_t* pinDataIds);
// Drawing 0 the main one, 1 the alternate; null when absent.
Ptr GetLibSymbolData(LibraryItem item, int32_t index, int32_t which);
uint16_t* GetLibSymbolPinDataIds(LibraryItem item, int32_t symbol);
// Pins of a symbol (id array size / 2), or with kLibHiddenPins the hidden pins of a pin set.
int32_t CountLibSymbolPins(LibraryItem item, int32_t pinSet, uint16_t symbol);

// Packages: the package table, and a new package with the pin set appended (its index; -1 on
// failure).
LibPackage* LibItemPackages(LibraryItem item);
int32_t AddNewPackageToLibItem(LibraryItem item, int32_t pinSet);
void SetLibPackageName(LibraryItem item, int32_t index, const char* name);
void SetLibPackageFootprint(LibraryItem item, int32_t index, const char* footprint);

// Sections.
LibSection CreateLibSection();
void DestroyLibSection(LibSection section);
// Appends (the list takes the section over) and returns its position; -1 on failure.
int32_t AddSectionToLibItem(LibraryItem item, LibSection section, bool sorted);
void SetLibSectionPinCount(LibSection section, int32_t count);
void CreateLibSectionPinSet(LibSection section, int32_t pinSet, int32_t sourceSet);
StringSpec GetLibSectionSuffix(LibSection section, StringBlock block, char* suffix);
void SetLibSectionSuffix(LibSection section, StringBlock block, const char* suffix);
StringSpec GetLibSectionPinNumber(LibSection section, StringBlock block, int32_t pinSet,
                                  int32_t pin, char* number);
StringSpec SetLibSectionPinNumber(LibSection section, StringBlock block, int32_t pinSet,
                                  int32_t pin, const char* number);
// Whether the first section has the pin set.
bool IsLibPinSetAllocated(LibraryItem item, int32_t pinSet);

// Hidden pins of a pin set.
int32_t AddNewHiddenPinToLibItem(LibraryItem item, int32_t pinSet, const char* number,
                                 uint32_t pinDataId);
StringSpec GetLibItemHiddenPinInfo(LibraryItem item, int32_t pinSet, int32_t index,
                                   char* number, uint32_t* pinDataId);

}  // namespace plexa
