// ECO design states: the connectivity of a whole design as the schematic editor and a PCB layout
// program exchange it for engineering change orders. A state holds the components (designator,
// name, footprint), the placed symbols of each component (serial members: instance id and symbol
// id), the nets, and which component pins sit on which net. This module owns the record, its
// building operations and the ECO file format.
//
// Lists are kept in vectors in the order their items were added; the list order of the stored
// form (newest first) is the reverse of that. Components, serial members and net members refer to
// one another by vector index. All texts live in the state's one string block.
//
// ECO file (type "QECO"), all numbers in the writer's byte order:
//   u16 version 2
//   u32 flags, with the marker 0x808000 added (a reader that sees none of the marker bits swaps
//       every word and long that follows, the version word too)
//   12-byte info {text ref of the design name (u32 offset, u16 length), u32 revision time,
//       u16 kind} ("LWLW")
//   u32 N, then N string bytes (the string block's bytes behind its header)
//   designator handle: u32 byte length (0xFFFFFFFF = none), then one 6-byte text ref per
//       component text index
//   component-name handle in the same form
//   components, newest first: {u16 id, 6-byte text ref of the footprint}, then u16 0xFFFF
//   serial members, newest first: {u16 component id, u32 instance id, i32 symbol id}, then 0xFFFF
//   nets, newest first: {u16 index (0, 1, ... in this order), 6-byte text ref of the name}, 0xFFFF
//   u32 net member count - 1 (0xFFFFFFFF = no member array), then per member in array order
//       {u16 net index, u16 component text index, 6-byte text ref of the pin}
// A text ref is an offset into the N string bytes and a length; length 0 is the empty text.
// This writer gives a handle's byte length as 6 per text ref; a length of 4 per text ref (the
// size of the handle in memory) is read as well.
//
// The reader checks every text ref against N, every component text index against both handles,
// every net index against the nets read and every count against the bytes left; any failure
// gives 0x20002712 (or -39 for a file cut short, -108 for memory) and an empty state. Serial
// members swap with the rest in a file of the other byte order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

constexpr uint16_t kDesignStateVersion = 2;
constexpr uint32_t kDesignStateMarker = 0x808000;
constexpr OSStatus kNotKnownFileKind = 0x20002712;

// State flags.
constexpr uint32_t kStateUnsynchronised = 0x1;  // both states of a comparison must agree
constexpr uint32_t kStateSynchByName = 0x2;
constexpr uint32_t kStateSynchByFootprint = 0x4;

// Kinds.
constexpr uint16_t kStateKindPCB = 1;
constexpr uint16_t kStateKindSchematic = 2;

constexpr uint16_t kECONoPartner = 0xFFFF;
constexpr uint16_t kECOListEnd = 0xFFFF;
// Component text indices are u16 with 0xFFFF reserved: at most this many components.
constexpr int32_t kECOMaxComponents = 0xFFFF;

// `ECOComponent::diffFlags`.
constexpr uint32_t kECOCompLinked = 0x2;
constexpr uint32_t kECOCompLinkedOnly = 0x1;
constexpr uint32_t kECOCompHasPartnerMember = 0x4;
constexpr uint32_t kECOCompPartnerUnlinked = 0x8;
constexpr uint32_t kECOCompAllLinked = 0x10;
constexpr uint32_t kECOCompDeleted = 0x20;
constexpr uint32_t kECOCompRelabelled = 0x40;
constexpr uint32_t kECOCompAdded = 0x80;
constexpr uint32_t kECOCompNameDiffers = 0x100;
constexpr uint32_t kECOCompFootprintDiffers = 0x200;
constexpr uint32_t kECOCompLateMatch = 0x1000;
constexpr uint32_t kECOCompExcluded = 0x2000;

// `ECONet::flags`.
constexpr uint32_t kECONetSameName = 0x1;
constexpr uint32_t kECONetOtherName = 0x2;
constexpr uint32_t kECONetSplit = 0x8;
constexpr uint32_t kECONetUnmatched = 0x10;
constexpr uint32_t kECONetDeleted = 0x20;
constexpr uint32_t kECONetRegrouped = 0x40;
constexpr uint32_t kECONetRegroupedAgain = 0x80;
constexpr uint32_t kECONetRenamed = 0x100;
constexpr uint32_t kECONetMerged = 0x200;

// `ECONetMember::flags`.
constexpr uint16_t kECOMemberMarkedPin = 0x40;

struct ECOComponent {
    uint16_t mark = 0;
    uint16_t id = 0;               // the component text index
    StringSpec footprint = 0;
    uint32_t diffFlags = 0;
    uint16_t partnerId = kECONoPartner;
    StringSpec originalDesignator = 0;
    int32_t relabelPartner = -1;   // index of the component in the other state, -1 none
};

struct ECOCompMember {
    uint32_t instanceId = 0;  // 0 when none, 0xFFFFFFFF when the symbol id is negative
    int32_t symbolId = 0;
    int32_t component = -1;   // index into the components, -1 none
    int32_t partner = -1;     // index of the member in the other state, -1 none
};

struct ECONetPartner {
    int32_t net;       // index in the other state
    int32_t hits;
};

struct ECONet {
    uint16_t mark = 0;
    uint16_t index = 0;
    StringSpec name = 0;
    uint32_t flags = 0;
    std::vector<ECONetPartner> partners;
    int32_t best = -1;  // into partners
};

struct ECONetMember {
    uint16_t flags = 0;
    uint16_t compIndex = 0;   // component text index
    StringSpec pin = 0;
    int32_t net = -1;         // index into the nets, -1 none
    int32_t partner = -1;     // index of the member in the other state, -1 none
    uint32_t sortPosition = 0;
};

struct DesignStateRecord {
    StringSpec name = 0;
    uint32_t revisionTime = 0;  // seconds since 1904, local time; 0 unknown
    uint16_t kind = 0;
    std::vector<ECOComponent> components;
    std::vector<ECOCompMember> members;
    std::vector<ECONet> nets;
    std::vector<ECONetMember> netMembers;
    bool hasNetMembers = false;
    std::vector<StringSpec> designators;     // component text index -> designator
    std::vector<StringSpec> componentNames;  // component text index -> name
    bool hasTextHandles = false;
    StringBlock strings = nullptr;
    uint32_t flags = 0;
};

// Mode bit 1: the text handles and the string block (1024 bytes) are made.
constexpr uint32_t kStateInitTexts = 0x1;
// Clears the state; with kStateInitTexts makes the string block. -108 when it cannot be made.
OSStatus InitDesignState(DesignStateRecord* state, uint32_t mode);
void EmptyDesignState(DesignStateRecord* state);

StringSpec SetDesignStateInfo(DesignStateRecord* state, const char* name, uint32_t revisionTime,
                              uint16_t kind);
// The new component text index, or -1 when there is no room (-108 from the strings is -1 too).
int32_t AddECOCompText(DesignStateRecord* state, const char* designator, const char* name);
// Index of the new component.
int32_t AddECOComp(DesignStateRecord* state, uint16_t id, const char* footprint);
int32_t AddECOCompMember(DesignStateRecord* state, uint32_t instanceId, int32_t symbolId,
                         int32_t component);
int32_t AddECONet(DesignStateRecord* state, const char* name);
int32_t AddECONetMember(DesignStateRecord* state, int32_t net, uint16_t compIndex, const char* pin);
// The first component (in list order, newest first) with the id, -1 none.
int32_t RetrieveECOComp(const DesignStateRecord* state, uint16_t id);
// The net (exact, case-sensitive name), -1 none.
int32_t RetrieveECONet(const DesignStateRecord* state, const char* name);
// Copy out into a buffer of kStringSpecBufferSize bytes; empty for an index out of range.
void GetECOCompRefDes(const DesignStateRecord* state, int32_t index, char* text);
void GetECOCompName(const DesignStateRecord* state, int32_t index, char* text);
void GetECOText(const DesignStateRecord* state, StringSpec spec, char* text);
int32_t GetECOPinListSize(const DesignStateRecord* state);

// Tabs and commas become the separator, trailing separators go, a leading "\F." (any case) goes.
void NormalizeFootprintString(char* text, char separator);

// The stored form. Reading with infoOnly stops after the strings.
std::vector<uint8_t> FlattenDesignState(const DesignStateRecord* state);
OSStatus InflateDesignState(const uint8_t* bytes, size_t size, DesignStateRecord* state,
                            bool infoOnly);

// 0 when the file's first word is version 2 (in either byte order), else 0x20002712 or the open
// error.
OSStatus IsDesignStateFile(const char* path);
OSStatus ReadDesignStateFile(const char* path, DesignStateRecord* state, bool infoOnly);
// Writes a temporary file beside the target and renames it over the target on success: a failed
// write leaves an existing target as it was.
OSStatus WriteDesignStateFile(const char* path, const DesignStateRecord* state);

// The state as text, lists in list order (newest first): for tests and tools.
std::string DumpDesignState(const DesignStateRecord* state);

// File helpers shared by the ECO modules: a whole file's bytes (-43 missing, -36 read error), and
// writing bytes through a temporary file renamed into place.
OSStatus ReadWholeFile(const char* path, std::vector<uint8_t>* bytes);
OSStatus ReplaceFileContents(const char* path, const void* bytes, size_t size);

}  // namespace plexa
