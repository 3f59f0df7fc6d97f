// Components: the package-level part behind one or more placed symbols, kept once per sheet in the
// sheet's component list (the clipboard and the netlist database keep lists of the same kind). A
// component holds its names, its reference-designator prefix, the symbols (drawings) it uses, its
// sections (the slots of a multi-part device, each with a suffix and pin numbers), its packages
// (footprints and pin sets) and, per pin set, its hidden pins. This module owns the record, its
// accessors, the identity hash, equality and compatibility, building components from library
// items, sheet symbols and graphic symbols, the designator strings and the stored form of a list.
//
// A component is one cleared pointer block of gGenPool: the head, then
//   symbols:           symbol count entries {i32 map id, i32 second map id, owned u32 pin-data ids}
//   sections:          section count owned pointers to ComponentSection
//   packages:          package count entries of 10 bytes {u32 name, u32 footprint, u8 pin set, u8}
//                      (the last byte comes from the library and is not interpreted)
//   hidden-pin tables: pin-set count owned pointers to blocks of {u32 number spec, u32 pin-data id}
//                      (the number of entries is the block's size / 8; none when the set has none)
//   names:             name count u32 string specs
// The pointer arrays start on 8-byte boundaries. Owned blocks are pointers of gGenPool whose
// requested size gives their entry count. A section is one block: {u16 pin count, u16 symbol
// index, u32 suffix spec}, then pin count x pin-set count pin-number specs, pin set by pin set.
// Every string spec lies in the string block of the list's owner.
//
// The hash is 0 until computed; its low 16 bits are the section signature. It covers string
// specs, so it is computed again whenever the strings move; equality compares specs as numbers
// and therefore holds within one string block.
//
// Stored form of a list (every field in the writer's byte order, one record per component in
// list order):
//   12 bytes  head bytes 12-23: u8 symbol count S, u8 section count T, u8 package count P,
//             u8 pin-set count N, i16 name count M, u16 flags, u32 prefix spec ("B4W2L")
//   M x u32   name specs
//   P x 10    packages ("L2B2")
//   S times   i32 map id, i32 second map id, u16 byte count B (4 x pins), B bytes of u32 ids
//   T times   u16 pin count K, u16 symbol index, u32 suffix ("W2L"), N x K u32 pin numbers
//   N times   u16 byte count B (8 x hidden pins), B bytes of {u32 number, u32 pin-data id}
// then u32 0xFFFFFFFF and u16 0xFFFF. The reader takes the first six bytes of a record and stops
// at 0xFFFFFFFF in the first four. The hash is not stored: the reader computes it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct LinkListHeader;
struct SheetRecord;
struct StreamRecord;
struct SymbolRecord;
struct LibraryItem;
struct LibSection;
using PinDataTable = DAHeader**;

struct ComponentRecord {
    ComponentRecord* next;  // link of the component list
    uint32_t hash;          // identity hash; 0 until computed
    uint8_t symbolCount;
    uint8_t sectionCount;
    uint8_t packageCount;
    uint8_t pinSetCount;
    int16_t nameCount;
    uint8_t tempFlags;      // bit 0: in use (component-list purge)
    uint8_t unused19;
    StringSpec refPrefix;
};
static_assert(sizeof(ComponentRecord) == 24);
static_assert(offsetof(ComponentRecord, symbolCount) == 12 && offsetof(ComponentRecord, refPrefix) == 20);

struct CompSymbolEntry {
    int32_t mapId;
    int32_t secondMapId;   // -1 when none
    uint32_t* pinDataIds;  // one per pin of the symbol; null when it has none
};
static_assert(sizeof(CompSymbolEntry) == 16);

#pragma pack(push, 2)
struct CompPackage {
    StringSpec name;
    StringSpec footprint;
    uint8_t pinSet;
    uint8_t extra;  // copied from the library
};
#pragma pack(pop)
static_assert(sizeof(CompPackage) == 10);

struct CompHiddenPin {
    StringSpec number;
    uint32_t pinDataId;
};
static_assert(sizeof(CompHiddenPin) == 8);

struct ComponentSection {
    uint16_t pinCount;
    uint16_t symbolIndex;  // the component symbol that draws this section
    StringSpec suffix;     // the slot suffix
    // pin count x pin-set count pin-number specs follow
};
static_assert(sizeof(ComponentSection) == 8);

constexpr uint32_t kCompPackageSize = 10;
// The symbol or section index that names a pin set's hidden pins.
constexpr uint16_t kCompHiddenPins = 0xFFFF;
constexpr uint8_t kCompTempInUse = 0x1;
// The pin-data id of a pin that has none.
constexpr uint32_t kCompNoPinData = 0xFFFFFFFF;
// Designator texts are copied out at most 255 characters, into buffers of this size.
constexpr int32_t kCompTextSize = 256;
// The longest prefix that a built designator takes.
constexpr int32_t kRefDesPrefixMax = 64;

// ---- Layout ----

CompSymbolEntry* CompSymbols(ComponentRecord* component);
ComponentSection** CompSections(ComponentRecord* component);
CompPackage* CompPackages(ComponentRecord* component);
CompHiddenPin** CompHiddenPins(ComponentRecord* component);
StringSpec* CompNames(ComponentRecord* component);

// ---- Names, prefix and packages ----

// The name at the index into a buffer of kCompTextSize bytes (empty outside); returns its spec.
StringSpec GetCompName(ComponentRecord* component, StringBlock block, int32_t index, char* name);
void SetCompName(ComponentRecord* component, StringBlock block, int32_t index, const char* name);
// The index of a name (without case), -1 when absent.
int32_t GetCompNameIndex(ComponentRecord* component, StringBlock block, const char* name);
StringSpec GetCompRefPrefix(ComponentRecord* component, StringBlock block, char* prefix);
void SetCompRefPrefix(ComponentRecord* component, StringBlock block, const char* prefix);
// A package's name or footprint spec (copied out when a buffer is given); 0 when the component
// has no such package.
StringSpec GetCompPackageName(ComponentRecord* component, StringBlock block, int32_t package,
                              char* name);
StringSpec GetCompPackageFootprint(ComponentRecord* component, StringBlock block, int32_t package,
                                   char* footprint);
int32_t FindCompPackageWithName(ComponentRecord* component, StringBlock block, const char* name);
// The pin set of a package; 0 without packages (or for a package out of range).
int32_t GetPackagePinSet(ComponentRecord* component, int32_t package);
// The package's footprint, else its name, with the component's name at the index in front.
void GetCompFootprintString(ComponentRecord* component, int32_t package, int32_t nameIndex,
                            StringBlock block, char* out);

// ---- Symbols and pins ----

uint32_t* GetCompSymbolPinDataIds(ComponentRecord* component, int32_t symbol);
// The component takes the array over (freeing the one it had).
void SetCompSymbolPinDataIds(ComponentRecord* component, int32_t symbol, uint32_t* ids);
// Both map ids of a symbol; -1 and -1 for a symbol out of range.
void GetCompSymbolMapIds(ComponentRecord* component, int32_t symbol, int32_t ids[2]);

// The pins of a symbol (its id array's size / 4), or with kCompHiddenPins the hidden pins of the
// pin set (its table's size / 8); 0 when the array or table is missing or the index is outside.
int32_t CountCompSymbolPins(ComponentRecord* component, int32_t pinSet, uint16_t symbol);
// The pin-data id of a symbol's pin, or with kCompHiddenPins of the pin set's hidden pin;
// 0xFFFFFFFF for a pin that does not exist.
uint32_t GetCompSymbolPinDataId(ComponentRecord* component, int32_t pinSet, uint16_t symbol,
                                int32_t pin);
void SetCompSymbolPinDataId(ComponentRecord* component, int32_t pinSet, uint16_t symbol,
                            int32_t pin, uint32_t id);
// A hidden pin's number spec (copied out when given) and pin-data id (0xFFFFFFFF when none).
StringSpec GetCompHiddenPinInfo(ComponentRecord* component, StringBlock block, int32_t pinSet,
                                int32_t hiddenPin, char* number, uint32_t* pinDataId);
// The pin set's hidden pin whose number (or, by name, whose pin data's name) equals the text
// without case; -1 for an empty text, a set without hidden pins or no match.
int32_t FindCompHiddenPin(ComponentRecord* component, StringBlock block, int32_t pinSet,
                          bool byName, PinDataTable pins, const char* text);
// A section's pin number in the pin set and the pin-data id of its symbol's pin; with
// kCompHiddenPins the hidden pin's. Returns the number spec (0 when there is none).
StringSpec GetCompPinInfo(ComponentRecord* component, StringBlock block, int32_t pinSet,
                          uint16_t section, int32_t pin, char* number, uint32_t* pinDataId);

// ---- Sections ----

// A cleared section for the pin sets and pins; null when memory fails.
ComponentSection* CreateCompSection(int32_t pinSets, int32_t pins);
void DestroyCompSection(ComponentSection* section);
ComponentSection* DuplicateCompSection(const ComponentSection* section);
// The number of pin sets a section holds numbers for (from its size).
int32_t CompSectionPinSets(const ComponentSection* section);
ComponentSection* GetCompSection(ComponentRecord* component, int32_t index);
// The component takes the section over (freeing the one it had).
void SetCompSection(ComponentRecord* component, int32_t index, ComponentSection* section);
StringSpec GetCompSectionSuffix(const ComponentSection* section, StringBlock block, char* suffix);
int32_t FindCompSectionWithSuffix(ComponentRecord* component, StringBlock block,
                                  const char* suffix);
StringSpec GetCompSectionPinNumber(const ComponentSection* section, StringBlock block,
                                   int32_t pinSet, int32_t pin, char* number);
void SetCompSectionPinNumber(ComponentSection* section, StringBlock block, int32_t pinSet,
                             int32_t pin, const char* number);
void SetCompSectionPinNumberSpec(ComponentSection* section, int32_t pinSet, int32_t pin,
                                 StringSpec spec);
bool DoesCompSectionUseSymbol(ComponentRecord* component, int32_t section, int32_t symbol);
// The next section index after `after` whose symbol index is the symbol (-1 starts), or -1.
int32_t GetNextCompSectionUsingSymbol(ComponentRecord* component, int32_t symbol, int32_t after,
                                      ComponentSection** section);
int32_t GetFirstCompSectionUsingSymbol(ComponentRecord* component, int32_t symbol,
                                       ComponentSection** section);
int32_t CountCompSectionsUsingSymbol(ComponentRecord* component, int32_t symbol);
// Whether the slot suits the placed symbol: slot 0 for a symbol without a component, else a
// section of its component that this very symbol draws.
bool IsLegalSymbolSlot(const SymbolRecord* symbol, int32_t slot);

// ---- Life cycle ----

// A cleared record with the counts set and room for every array; null when memory fails.
ComponentRecord* CreateComponent(int32_t packages, int32_t pinSets, int32_t symbols,
                                 int32_t sections, int32_t names);
// A deep copy whose hash is 0; null when memory fails.
ComponentRecord* DuplicateComponent(ComponentRecord* component);
// Frees every pin-data id array, section and hidden-pin table of the record (not the record).
void FreeInternalCompStructures(LinkListHeader* list, void* component, void* previous, uint32_t flag);
void FreeComponent(ComponentRecord* component);
// A component list of gGenPool whose items are freed with their structures; null on failure.
LinkListHeader* CreateComponentList();
void DestroyCompList(LinkListHeader* list);
void ClearCompListTempFlags(LinkListHeader* list);
// Removes and frees every component of the list that no symbol of the symbol list uses.
void PurgeComponentList(LinkListHeader* components, LinkListHeader* symbols);

// Move the strings into another block and compute the hash again. On failure (-108, -50) the
// component is as it was.
OSStatus ChangeCompStringBlock(ComponentRecord* component, StringBlock from, StringBlock to);

// Re-interns a symbol's pin data (-1: the hidden pins of every pin set) into another table; with
// `store` the new ids replace the old ones. On failure (-108, -50) no id has changed.
OSStatus TransferCompSymbolPinTable(ComponentRecord* component, int32_t symbol, PinDataTable from,
                                    PinDataTable to, bool store);
OSStatus TransferCompPinTable(ComponentRecord* component, PinDataTable from, PinDataTable to,
                              bool store);

// Sorts each hidden-pin table, then returns an identical component of the list (freeing the
// given one) or pushes the given one and returns it.
ComponentRecord* AddCompToList(LinkListHeader* list, StringBlock block, ComponentRecord* component);
ComponentRecord* InstallCompInSheet(SheetRecord* sheet, ComponentRecord* component);

// ---- Building ----

// The component of a library item installed in the sheet (possibly an identical one it had),
// with the item's drawings in the sheet's symbol map and its pin data in the sheet's pin table;
// null when memory fails or the item is damaged (nothing is left in the component list).
ComponentRecord* AddLibComponentToSheet(LibraryItem* item, SheetRecord* sheet);
// Interns the item's pin data into the sheet's table and rewrites every id of the component.
OSStatus AddLibItemPinDataToSheet(LibraryItem* item, ComponentRecord* component, SheetRecord* sheet);
// Builds section `index` of the component from a library section; `pinSetMap` maps the item's
// pin sets to the component's (-1 for none). -108 when the section cannot be made.
OSStatus SectionRefToComp(LibraryItem* item, LibSection* section, int32_t index, int32_t pinSets,
                          const int32_t pinSetMap[4], SheetRecord* sheet, ComponentRecord* component);
// A temporary component standing for a sheet symbol (one pin per port) or a graphic symbol (no
// pins); null when memory fails.
ComponentRecord* CreateCompFromSheetSymbol(SheetRecord* sheet, SymbolRecord* symbol, StringBlock block);
ComponentRecord* CreateCompFromGraphicSymbol(SheetRecord* sheet, SymbolRecord* symbol,
                                             StringBlock block);

// ---- Designators ----

// The section's suffix, empty when the component has fewer than 2 sections.
void GetCompSlotSuffix(ComponentRecord* component, int32_t section, StringBlock block, char* suffix);
// Appends "." and the suffix to a text of kCompTextSize bytes when the suffix is not empty.
void AppendRefDesSuffix(ComponentRecord* component, int32_t section, StringBlock block, char* text);
// The prefix (at most 64 characters), the number as unsigned 16 bits or "?" when negative, and
// the slot suffix when asked; into a buffer of kCompTextSize bytes.
void BuildRefDesString(ComponentRecord* component, StringBlock block, int32_t number,
                       int32_t section, bool withSuffix, char* out);
// The first section that uses the symbol, and the designator built with no number.
int32_t GetDefaultCompRefDes(ComponentRecord* component, int32_t symbol, StringBlock block,
                             bool withSuffix, char* out);
// Cuts the text after its last character that is neither a digit nor "?"; empty becomes "?".
void RefDesToPrefix(char* text);
// Sorts a hidden-pin table of at most 32 entries by pin number in natural order.
void SortCompHiddenPins(CompHiddenPin* table, StringBlock block);

// ---- Identity and compatibility ----

// Computes and stores the hash; the block is the one the component's strings lie in (the section
// suffixes enter the signature).
uint32_t CalcCompHash(ComponentRecord* component, StringBlock block);
bool EqualComps(ComponentRecord* a, ComponentRecord* b);
ComponentRecord* FindIdenticalComp(LinkListHeader* list, ComponentRecord* component, StringBlock block);
// The package index of b that a (with its package and name index) matches, or -1.
int32_t AreCompsCompatible(ComponentRecord* a, int32_t packageA, int32_t nameIndexA,
                           StringBlock blockA, PinDataTable pinsA, ComponentRecord* b,
                           StringBlock blockB, PinDataTable pinsB, bool comparePrefix);
bool AreSectionsCompatible(const ComponentSection* a, StringBlock blockA, int32_t pinSetA,
                           const ComponentSection* b, StringBlock blockB, int32_t pinSetB);
// The first component of the list compatible with the given one; its package in *package
// (0xFFFF when the list is empty).
ComponentRecord* FindCompatibleComp(ComponentRecord* component, int32_t package, int32_t nameIndex,
                                    StringBlock block, PinDataTable pins, LinkListHeader* list,
                                    StringBlock listBlock, PinDataTable listPins, bool comparePrefix,
                                    int32_t* listPackage);
bool DoSymbolsHaveSimilarComps(SheetRecord* sheet, SymbolRecord* a, SymbolRecord* b);

// ---- Stored form ----

// Writes the list and its end mark.
OSStatus WriteComps(StreamRecord* stream, LinkListHeader* list);
// Appends the stored components to the list in their stored order, each hashed over the block its
// strings lie in. -50 for a damaged record, -39 for a stream that ends early, -108 when memory
// fails; on failure nothing read is kept.
OSStatus ReadComps(StreamRecord* stream, LinkListHeader* list, StringBlock block);

}  // namespace plexa
