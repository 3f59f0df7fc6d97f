// The unified netlist database: the connectivity of a whole project, or of one sheet instance and
// its sub-tree, gathered into tables: one row per component (package), one row per net, one row
// per pin instance, and per sheet the port names that carry nets between sheets. It is built on
// demand by `CreateUnifiedDB` and freed by `DestroyUnifiedDB`; nothing of it is stored.
//
// This module owns the record, its build (the hierarchy walk, the sheet and instance passes, the
// pin rows, the conversion of the comp table) and its accessors. The joining and naming of nets
// across sheets is netjoin.cpp's; the text dump is netlistdump.cpp's.
//
// Orders never depend on memory addresses: where two rows are otherwise equal, components are
// told apart by their place in the collection list (the order in which the build first met them)
// and then by row id, hierarchy nodes by their place in the tree's order. A build therefore gives
// the same tables, in the same order, on every run.
//
// Rows are kept in vectors. A comp row and a net row are addressed by their physical id (the index
// in `comps` and `nets`), which never changes once the row exists; `compOrder` and `netOrder` list
// the physical ids of the live rows in table order. Pin rows are kept in table order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct ComponentRecord;
struct DAHeader;
struct LinkListHeader;
struct SymbolRecord;
struct ProjectRecord;
struct SheetInstance;
struct SheetNode;
struct SheetRecord;
struct SheetSpec;
using PinDataTable = DAHeader**;
using SpiceCompMap = DAHeader**;

// Build flags.
constexpr uint16_t kUDBDescend = 0x001;
constexpr uint16_t kUDBNoCompAttributes = 0x002;
constexpr uint16_t kUDBNoNets = 0x004;
constexpr uint16_t kUDBNoPins = 0x008;
constexpr uint16_t kUDBInstanceRefs = 0x010;
constexpr uint16_t kUDBPartTypes = 0x020;
constexpr uint16_t kUDBModular = 0x040;
constexpr uint16_t kUDBSimulatorMaps = 0x080;
constexpr uint16_t kUDBQualifyAllLocal = 0x100;
constexpr uint16_t kUDBNoGrouping = 0x200;
constexpr uint16_t kUDBGraphics = 0x400;

// `UDBCompEntry::flags`.
constexpr uint8_t kUDBCompGenerated = 0x01;  // the designator was generated (not annotated)
constexpr uint8_t kUDBCompRepeated = 0x02;   // another row has the same designator and qualifier
constexpr uint8_t kUDBCompSubSheet = 0x04;   // a sub-sheet symbol (modular build)
constexpr uint8_t kUDBCompSlotArray = 0x08;  // the slots are the index of a bit array (`slotArrays`)
// The attributes run is shared with other rows: a change to the row's attributes copies it first.
constexpr uint8_t kUDBCompSharedAttributes = 0x10;

// `UDBNetEntry::scope`.
constexpr uint8_t kUDBScopeLocal = 0, kUDBScopePort = 1, kUDBScopeGlobal = 2;
// `UDBNetEntry::flags`.
constexpr uint8_t kUDBNetMark = 0x01;
constexpr uint8_t kUDBNetCopy = 0x02;         // a per-instance copy sharing its attributes
constexpr uint8_t kUDBNetSharedSheet = 0x04;  // its sheet is used more than once
constexpr uint8_t kUDBNetMerged = 0x08;
constexpr uint8_t kUDBNetConflict = 0x10;
constexpr uint8_t kUDBNetSinglePin = 0x20;
constexpr uint8_t kUDBNetNameJoined = 0x40;   // a buss member or a name-joined signal
constexpr uint8_t kUDBNetNotGlobal = 0x80;    // takes no part in joining of global names

// `UDBPinEntry::flags`.
constexpr uint8_t kUDBPinMultiNet = 0x01;       // the same pin is on different nets
constexpr uint8_t kUDBPinMultiInstance = 0x02;  // the same pin stands in different instances
constexpr uint8_t kUDBPinHiddenDefault = 0x80;

constexpr int32_t kUDBNoNet = -1;
constexpr uint32_t kUDBNoPinData = 0xFFFFFFFF;
// The symbol serial of a port spec made for a hidden pin.
constexpr uint32_t kUDBHiddenPinSerial = 0xFFFFFFFF;
// Texts of names and designators: at most 255 characters and a terminator.
constexpr int32_t kUDBTextSize = 256;

// The rows are kept small: a design of a million components holds a million comp rows and some
// millions of pin rows. Handles (attribute runs, slot arrays) stand in tables of the database and
// the rows hold their indexes; what the pins of a component kind share is one pin definition.
struct UDBCompEntry {
    // After the conversion: the part-type index, or the name's spec (pin string block). Before
    // it: the component's name index (the component itself is the collection index's).
    uint32_t partId;
    // Sections in use (fewer than 33 sections); with kUDBCompSlotArray the index of a bit array
    // in `slotArrays` instead.
    uint32_t slots;
    StringSpec designator;       // comp string block
    StringSpec qualifier;        // net string block, 0 when unqualified
    uint32_t attributes;         // in `attributeRuns` (merged attribute records, then the
                                 // instance references); 0 when none
    uint32_t collectionIndex;    // the component's place in the collection list (order key)
    uint32_t nodeOrder;          // tree order of the instance that made the row
    uint16_t sheetIndex;
    uint8_t flags;
    uint8_t packageIndex;        // cleared by the conversion
};

struct UDBNetEntry {
    uint32_t nameId;        // in the net name table
    StringSpec qualifier;   // net string block, 0 when none
    uint32_t attributes;    // in `attributeRuns`: merged signal attributes (net string block), 0 when none
    uint16_t sheetIndex;
    uint8_t flags;
    uint8_t scope : 7;
    bool live : 1;          // false once dead-stripped
};

// An attribute run of comp and net rows: the rows that share it share its counts.
struct UDBAttributeRun {
    Handle records;          // the attribute records, then a comp row's instance references
    uint16_t count;          // attribute records
    uint16_t instanceRefs;   // instance references (id and serial, 8 bytes each) after them
};

// What the pin rows of one pin of a component kind share.
struct UDBPinDef {
    StringSpec number;   // pin string block
    StringSpec name;     // pin string block
    uint32_t pinDataId;  // in the database's pin data table, kUDBNoPinData when none
    uint8_t pinType;
};

// The most pin definitions a build can hold.
constexpr uint32_t kUDBMaxPinDefs = 1u << 24;

struct UDBPinEntry {
    uint32_t def : 24;   // in `pinDefs`
    uint32_t flags : 8;
    uint32_t compRow;    // physical id in the comp table
    int32_t netId;       // kUDBNoNet when unconnected
    uint32_t nodeOrder;  // tree order of the instance the pin stands in (a hidden-pin default,
                         // which stands in none: of its comp row's instance); see GetUDBPinNode
};

struct UDBSheetEntry {
    SheetSpec* spec;
    int32_t directory;         // the spec's folder index in the project's directory list
    uint32_t creationTime;
    uint32_t modificationTime;
    Handle attributes;         // the sheet's attributes in the net string block, none when none
    uint16_t attributeCount;
    bool walked;               // the build took the sheet
};

struct UDBPortSpec {
    uint32_t nameId;
    uint32_t serial;           // sheet symbol (import), port symbol (export), or kUDBHiddenPinSerial
    uint32_t netId;
    uint16_t sheetOrType;      // the child sheet's index (import) or the port type (export)
};

// Imports in ascending serial (among equal serials the spec whose net has the higher scope
// first); exports in ascending name id, then net id, without duplicates.
struct UDBSheetPorts {
    std::vector<UDBPortSpec> imports;
    std::vector<UDBPortSpec> exports;
};

struct UDBInstanceComps {
    SheetNode* node;
    uint32_t nodeOrder;
    // The instance's comp rows, ascending. A list, not a bit array over all rows: an instance
    // holds a few rows of a table that grows with every instance.
    std::vector<uint32_t> rows;
};

struct UDBPartType {
    StringSpec name;       // pin string block (the collection's)
    uint32_t packageId;
    StringSpec footprint;  // comp string block
    StringSpec packageName;  // comp string block; 0 when the package has none
    StringSpec packageFootprint;  // comp string block; 0 when the package has none
};

struct UnifiedDBRecord {
    ProjectRecord* project;
    SheetNode* rootNode;
    uint16_t flags;
    uint32_t latestChange;
    std::vector<UDBSheetEntry> sheets;  // one per sheet spec, in the project's order
    std::vector<UDBCompEntry> comps;
    std::vector<uint32_t> compOrder;
    std::vector<UDBPartType> partTypes;
    std::vector<UDBNetEntry> nets;
    std::vector<uint32_t> netOrder;
    std::vector<UDBPinEntry> pins;
    std::vector<UDBInstanceComps> instanceComps;  // in tree order of the nodes
    // The attribute runs of comp and net rows (owned here; entry 0 is none, a freed run none).
    std::vector<UDBAttributeRun> attributeRuns;
    std::vector<Handle> slotArrays;               // slot bit arrays of comp rows (owned here)
    std::vector<UDBPinDef> pinDefs;
    std::vector<UDBSheetPorts> sheetPorts;        // kept only by a modular build (exports)
    std::vector<StringSpec> netNames;             // the net name table: name id -> spec
    std::vector<uint32_t> nameRanks;              // name id -> place in name order (made on demand)
    StringBlock netNameStrings;
    StringBlock compStrings;
    StringBlock netStrings;
    StringBlock pinStrings;
    PinDataTable pinData;
    SpiceCompMap compMap;                          // only while building with simulator maps
    // The qualifiers follow the names: the project's setting during the build (a build with
    // simulator maps forces it), which the names read afterwards must keep.
    bool qualifierFollows;
    std::vector<SheetNode*> nodes;                 // the hierarchy in tree order
    // Look-up of a node's tree order (sorted by address, for searching only).
    std::vector<std::pair<const SheetNode*, uint32_t>> nodeIndex;
};

// The database being built or last built (its compare procedures read through it), the root
// instance of that build, and whether a sheet context had to be re-established during the walk.
// Members of design processing's state record.
extern UnifiedDBRecord*& gCurrentDB;
extern SheetInstance*& gDBRootInstance;
extern bool& gHeirarchyRebuilt;

void InitUnifiedDB(UnifiedDBRecord* db);
// Builds into a caller-owned record; 0 or a status, the record freed again on failure. The
// project's settings are the same afterwards in every case.
OSStatus CreateUnifiedDB(ProjectRecord* project, SheetInstance* root, uint16_t flags,
                         UnifiedDBRecord* db);
void DestroyUnifiedDB(UnifiedDBRecord* db);

// ---- The sheet walk ----

constexpr uint32_t kWalkDescend = 0x1;
constexpr uint32_t kWalkTwoPasses = 0x2;
constexpr uint32_t kWalkKeepLoaded = 0x4;
constexpr uint32_t kWalkFinalCall = 0x8;

// A procedure of the walk: a non-zero result ends it and is returned. The final call (flag 8)
// has no spec and no sheet and gets the walk's status as `status`.
using HierarchySheetProc = OSStatus (*)(ProjectRecord* project, SheetNode* root, bool descend,
                                        SheetSpec* spec, SheetRecord* sheet, void* data);
using HierarchyFilterProc = bool (*)(ProjectRecord* project, SheetSpec* spec, void* data);
// Takes every sheet spec of the project in order that has a node and that the walk allows
// (descend: used at or below the root node; else the root node's sheet, or a top-level sheet),
// from the open sheets or loaded through the sheet services. A spec whose file cannot be found
// is skipped; a failed load ends the walk with its status.
// A sheet that cannot be loaded is named in the project's log (kHierSheetUnreadable) and kept
// as the walk's failure.
OSStatus ProcessHierarchySheets(ProjectRecord* project, SheetInstance* root, uint32_t flags,
                                HierarchySheetProc proc, HierarchyFilterProc filter, void* data);
// The sheet that the last walk could not load and why (an empty name when it loaded every sheet
// it took), so that a failure of the work the walk served can name the sheet.
struct HierarchyWalkFailure {
    std::string sheet;
    OSStatus status = 0;
};
const HierarchyWalkFailure& GetHierarchyWalkFailure();

// ---- The unified component list ----

// `BuildUnifiedCompList` flags.
constexpr uint32_t kUCLDescend = 0x01;
constexpr uint32_t kUCLMarkedGraphics = 0x02;  // symbols flagged 0x20000 count as graphic components
constexpr uint32_t kUCLSheetSymbols = 0x04;    // sheet symbols count as components
constexpr uint32_t kUCLSamePrefix = 0x08;      // one kind only with equal reference prefixes
constexpr uint32_t kUCLTwoPasses = 0x10;

// The components of the sheets a walk takes, each kind once: a component list with its string
// block and pin data table.
struct UnifiedCompsData {
    LinkListHeader* list;
    StringBlock strings;
    PinDataTable pins;
};
// False when memory fails (nothing is left made).
[[nodiscard]] bool InitUnifiedCompsData(UnifiedCompsData* data);
void FreeUnifiedCompsData(UnifiedCompsData* data);

// Called once per sheet with no symbol, no component and package -1, then once per symbol that
// counts as a component with the list's component and its package in it.
using UnifiedCompSheetProc = OSStatus (*)(UnifiedCompsData* data, SheetRecord* sheet, SymbolRecord* symbol,
                                          ComponentRecord* component, int32_t package, void* user);
// Called for each instance of the sheet: once with no symbol, then once per symbol that counts.
using UnifiedCompSymbolProc = OSStatus (*)(UnifiedCompsData* data, SheetRecord* sheet, SymbolRecord* symbol,
                                           SheetNode* node, SheetInstance* instance, void* user);
// Walks the sheets at the root node (with kUCLDescend, and below it; the top-level sheets
// without one) and collects their components into the data. The first non-zero result of a
// procedure ends the walk and is returned; on any failure the data is freed.
OSStatus BuildUnifiedCompList(ProjectRecord* project, UnifiedCompsData* data, SheetNode* root, uint32_t flags,
                              UnifiedCompSheetProc sheetProc, UnifiedCompSymbolProc symbolProc, void* user);

// ---- Accessors ----

// A row's attribute run (an index into `attributeRuns`): its records (none for 0) and the number
// of attribute records and instance references in it.
inline Handle GetUDBAttributeRun(const UnifiedDBRecord* db, uint32_t run) {
    return run < db->attributeRuns.size() ? db->attributeRuns[run].records : nullptr;
}
inline uint16_t GetUDBAttributeCount(const UnifiedDBRecord* db, uint32_t run) {
    return run < db->attributeRuns.size() ? db->attributeRuns[run].count : 0;
}
inline uint16_t GetUDBInstanceRefCount(const UnifiedDBRecord* db, uint32_t run) {
    return run < db->attributeRuns.size() ? db->attributeRuns[run].instanceRefs : 0;
}
inline const UDBPinDef& GetUDBPinDef(const UnifiedDBRecord* db, const UDBPinEntry& pin) { return db->pinDefs[pin.def]; }

// The net's name (at most 255 characters); with qualify and a qualifier, the qualifier appended
// when the build made qualifiers that follow the name, else put in front, cut to the room left.
// `row` may be none; returns false for a net that does not exist.
bool GetUDBNetName(const UnifiedDBRecord* db, int32_t netId, const UDBNetEntry* row, bool qualify,
                   char* text);
// The designator, qualified the same way.
bool GetUDBRefDes(const UnifiedDBRecord* db, uint32_t compRow, const UDBCompEntry* row,
                  bool qualify, char* text);
// The name of the package of a comp row's part type (a build with part types) into text
// (kUDBTextSize bytes); false when it has none.
bool GetUDBPackageName(const UnifiedDBRecord* db, const UDBCompEntry& row, char* text);
// The n-th export spec of a sheet (kept by a modular build); false when there is none.
bool GetNetExportSpec(const UnifiedDBRecord* db, int32_t sheetIndex, int32_t n, UDBPortSpec* spec);
// In a sort map of pin indices ordered by net id and then node (`BuildNetMembersSortMap`), the
// first position of the pins of a net (of that node's, when a node is given) and their number;
// -1 and a count of 0 when there are none.
std::vector<uint32_t> BuildNetMembersSortMap(const UnifiedDBRecord* db);
int32_t GetNetGroupedPinsRange(const UnifiedDBRecord* db, const std::vector<uint32_t>& map,
                               int32_t netId, const SheetNode* node, int32_t* count);
// The instance's comp rows, ascending (made empty when asked; none when it has none and none is
// asked for).
std::vector<uint32_t>* GetSheetInstCompIds(UnifiedDBRecord* db, SheetNode* node, bool create);
int32_t CountSheetInstanceDBComps(UnifiedDBRecord* db, SheetNode* node);
bool IsDBCompInSheetInstance(UnifiedDBRecord* db, SheetNode* node, uint32_t compRow);
// The first instance in tree order whose comp rows hold the row, or none.
SheetNode* GetDBCompInstance(UnifiedDBRecord* db, uint32_t compRow);
// Replaces a signal name (text: 256 bytes) by the net name, with its qualifier appended, that the
// project's simulator signal map gives for that signal in that instance; the map is loaded from
// the project file when it is not in memory. True when an entry matched; else the text is left
// as it is.
bool GetMappedSignalName(ProjectRecord* project, uint32_t instanceId, char* text);
// The tree order of a node in the build, or 0xFFFFFFFF when the build does not know it.
uint32_t GetUDBNodeOrder(const UnifiedDBRecord* db, const SheetNode* node);
// The instance a pin row stands in: the node of its tree order; none for a hidden-pin default.
SheetNode* GetUDBPinNode(const UnifiedDBRecord* db, const UDBPinEntry& pin);

// ---- The text dump ----

// Sheets, comp rows, net rows, pin rows (and a modular build's exports) as text, one row a line,
// in table order.
std::string DumpUnifiedDB(const UnifiedDBRecord* db);

}  // namespace plexa
