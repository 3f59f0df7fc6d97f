// Components: the package-level part behind one or more placed symbols, kept once per sheet in the
// sheet's component list. This header holds the record's layout, its making and freeing, and the
// pin-data ids of its symbols and hidden pins (the ids into the owner's pin-data table).
//
// A component is one cleared pointer block of gGenPool: the head, then
//   symbols:          symbol count entries {i32 map id, i32 second map id, owned u32 pin-data ids}
//   sections:         section count owned pointers to ComponentSection
//   packages:         package count entries of 10 bytes {u32 name, u32 footprint, u8 pin set, u8}
//   hidden-pin tables: pin-set count owned pointers to blocks of {u32 number spec, u32 pin-data id}
//                     (the number of entries is the block's size / 8; none when the set has none)
//   names:            name count u32 string specs
// The pointer arrays start on 8-byte boundaries. Owned blocks are pointers of gGenPool whose
// requested size gives their entry count.
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"

namespace plexa {

struct LinkListHeader;

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

struct CompSymbolEntry {
    int32_t mapId;
    int32_t secondMapId;   // -1 when none
    uint32_t* pinDataIds;  // one per pin of the symbol; null when it has none
};
static_assert(sizeof(CompSymbolEntry) == 16);

struct CompHiddenPin {
    StringSpec number;
    uint32_t pinDataId;
};
static_assert(sizeof(CompHiddenPin) == 8);

struct ComponentSection;

constexpr uint32_t kCompPackageSize = 10;
// The symbol index that names a pin set's hidden pins instead of a symbol's pins.
constexpr uint16_t kCompHiddenPins = 0xFFFF;

CompSymbolEntry* CompSymbols(ComponentRecord* component);
ComponentSection** CompSections(ComponentRecord* component);
uint8_t* CompPackages(ComponentRecord* component);
CompHiddenPin** CompHiddenPins(ComponentRecord* component);
StringSpec* CompNames(ComponentRecord* component);

// A cleared record with the counts set and room for every array; null when memory fails.
ComponentRecord* CreateComponent(int32_t packages, int32_t pinSets, int32_t symbols,
                                 int32_t sections, int32_t names);
// Frees every pin-data id array, section and hidden-pin table of the record (not the record).
void FreeInternalCompStructures(LinkListHeader* list, void* component, void* previous, uint32_t flag);
void FreeComponent(ComponentRecord* component);

// A component list of gGenPool whose items are freed with their structures; null on failure.
LinkListHeader* CreateComponentList();
void DestroyCompList(LinkListHeader* list);

// The pins of a symbol (its id array's size / 4), or with kCompHiddenPins the hidden pins of the
// pin set (its table's size / 8); 0 when the array or table is missing or the index is outside.
int32_t CountCompSymbolPins(ComponentRecord* component, int32_t pinSet, uint16_t symbol);
// The pin-data id of a symbol's pin, or with kCompHiddenPins of the pin set's hidden pin;
// 0xFFFFFFFF for a pin that does not exist.
uint32_t GetCompSymbolPinDataId(ComponentRecord* component, int32_t pinSet, uint16_t symbol,
                                int32_t pin);
void SetCompSymbolPinDataId(ComponentRecord* component, int32_t pinSet, uint16_t symbol,
                            int32_t pin, uint32_t id);

}  // namespace plexa
