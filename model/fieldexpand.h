// Data contexts and field expansion: the chain of contexts through which the field references
// ("{name}") and back-quoted expressions of texts, frames and attribute values are expanded, the
// built-in field tables and their values, the chain builders for sheets, symbols and pins, and the
// expansion of a data string.
//
// A chain is an LL list of DataContext items, innermost first: a lookup starts at the context
// pushed last. Each context answers names from an attribute run (of a pin, a symbol, a sheet or a
// project) or from the built-in field table of its kind; a built-in field's stored value is its
// four-character code, and the field function of the kind computes the value from it.
//
// Expansion markers (bytes that the preprocessing pass makes and expansion consumes; none is
// left in a string that expansion returns):
//   1 "{" opening a field reference   2 "}" closing one
//   3 "`" opening an expression        4 "`" closing one
#pragma once

#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "model/expression.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct ProjectRecord;
struct SheetInstance;

// Context kinds (the low byte of the kind word).
constexpr uint8_t kCtxSymbol = 0;
constexpr uint8_t kCtxSignal = 1;
constexpr uint8_t kCtxPin = 2;
constexpr uint8_t kCtxProject = 3;
constexpr uint8_t kCtxSheet = 4;
constexpr uint8_t kCtxTreeNode = 5;
constexpr uint8_t kCtxPort = 6;
constexpr uint8_t kCtxGlobal = 7;
constexpr uint8_t kCtxAttribute = 8;
constexpr uint8_t kCtxAttributeRun = 16;
constexpr int32_t kBuiltInCtxTableCount = 9;
// Flags of the kind word.
constexpr uint16_t kCtxNetlist = 0x1000;        // bound to a netlist-database item
constexpr uint16_t kCtxGroup = 0x2000;          // popped together with the context above it
constexpr uint16_t kCtxExpandValues = 0x4000;   // values found here are expanded again

// Owner kinds of attribute-run contexts.
constexpr uint16_t kCtxOwnerPin = 1;
constexpr uint16_t kCtxOwnerSymbol = 2;
constexpr uint16_t kCtxOwnerSheet = 4;
constexpr uint16_t kCtxOwnerProject = 5;

// Error bits of an expansion (GetDataExpansionErrors).
constexpr uint16_t kExpandBadExpression = 1;
constexpr uint16_t kExpandDivideByZero = 2;
constexpr uint16_t kExpandDepthExceeded = 4;
// Nesting levels of expansion allowed before the depth error.
constexpr int16_t kMaxExpansionDepth = 15;
// Every value and name handled by expansion fits this buffer (at most 255 characters are
// written by a field, 263 by a lookup).
constexpr int32_t kExpansionValueSize = 264;
constexpr int32_t kFieldValueSize = 256;

struct DataContext;
// The value procedure of a global or attribute-field context: true when it gave the value of the
// field whose code it is asked (out holds kFieldValueSize bytes).
using DataContextValueProc = bool (*)(DataContext* context, uint32_t code, char* out);

#pragma pack(push, 2)
struct DataContext {
    DataContext* link;
    Handle names;       // the built-in table of the kind, or the attribute run's handle
    StringBlock block;  // of the names (and values)
    int16_t start;      // byte offset of the run in the handle
    int16_t count;      // records of the run
    SheetRecord* sheet; // the bound record (symbol, pin, sheet and port contexts)
    // The symbol, the project, the netlist database, or a DataContextValueProc (global and
    // attribute-field contexts); for an attribute run the owner kind.
    void* object;
    uint64_t index;     // pin index, netlist item index, tree node, or a port's net and instance
    uint64_t root;      // root tree node; 0 is the top of the hierarchy
    uint16_t kind;      // kind in the low byte, kCtx... flags above
};
#pragma pack(pop)
static_assert(sizeof(DataContext) == 62);

// ---- What contexts read of the layers above the model ----

struct DataContextHooks {
    // A project field ("ProjectFile", "ProjectFolder", "PathDelimiter", "ProjectID", "TopCount")
    // by its code into out (size bytes, terminated).
    void (*projectField)(ProjectRecord* project, uint32_t code, char* out, int32_t size) = nullptr;
    // The project's attribute run; false when it has none.
    bool (*projectAttributes)(ProjectRecord* project, Handle* run, StringBlock* block,
                              int16_t* count) = nullptr;
    // The hierarchy tree node of a sheet instance, 0 for none.
    uint64_t (*sheetNodeWithInstance)(ProjectRecord* project, SheetInstance* instance) = nullptr;
    // A tree-node field ("InstancePath", "InstanceDepth", "SheetOrder") of the node under the
    // root (0: the top) into out.
    void (*treeNodeField)(ProjectRecord* project, uint64_t node, uint64_t root, uint32_t code,
                          char* out, int32_t size) = nullptr;
    // Any field of a context bound to a netlist-database item (flag kCtxNetlist) into out.
    // Optional: no netlist database binds a data context here (the report interpreter reads its
    // items' fields itself); without it such a context's fields are empty.
    void (*netlistField)(const DataContext* context, uint32_t code, char* out,
                         int32_t size) = nullptr;
};
// Without a hook the fields it serves are empty, and no project attributes or tree node are
// pushed.
void SetDataContextHooks(const DataContextHooks& hooks);
const DataContextHooks& GetDataContextHooks();

// ---- Built-in fields ----

// Makes the nine built-in tables on first use; false when memory fails.
[[nodiscard]] bool InitBuiltInContexts();
// The code of a built-in field of the kind's table, 0 when the table has no such name.
uint32_t BuiltInFieldCode(uint8_t kind, const char* name);

// ---- Chains ----

// An empty chain; null when out of memory.
DataContextChain* CreateDataCtxChain();
// Pops every context and frees the chain.
void DestroyDataCtxChain(DataContextChain* chain);
// Removes the top context and then every context at the top with the group flag; returns the new
// top (null: none). Removed contexts are kept for reuse (at most 16).
DataContext* PopDataCtxChain(DataContextChain* chain);

// Pushes a context of a built-in table (kCtx... kind); null when memory fails.
DataContext* PushBuiltInDataContext(DataContextChain* chain, uint8_t kind, SheetRecord* sheet,
                                    void* object, uint64_t index, bool group);
// The same bound to an item of a netlist database.
DataContext* PushBuiltInUDBContext(DataContextChain* chain, uint8_t kind, void* database,
                                   uint64_t item, bool group);
// Pushes an attribute run (count records at byte `start` of the handle) whose values are expanded
// again.
DataContext* PushAttributesContext(DataContextChain* chain, uint16_t ownerKind, Handle run,
                                   StringBlock block, int16_t start, int16_t count, bool group);

// A new chain for the sheet (and the project when given, else the sheet's own): the global
// fields; the project's fields, attributes and the tree node of the sheet's instance; the sheet's
// fields and attributes. Null when memory fails.
DataContextChain* BuildSheetContextChain(SheetRecord* sheet, ProjectRecord* project);
// Pushes the symbol's fields and attributes (onto a new sheet chain when none is given); returns
// the chain.
DataContextChain* BuildSymbolContextChain(DataContextChain* chain, SheetRecord* sheet,
                                          SymbolRecord* symbol, bool group);
// Pushes the pin's fields and its pin data's attributes (onto a new symbol chain when none is
// given); returns the chain.
DataContextChain* BuildPinContextChain(DataContextChain* chain, SheetRecord* sheet,
                                       SymbolRecord* symbol, int32_t pin, bool group);

// ---- Values ----

// The value of a name in one context into out (kFieldValueSize bytes). Built-in fields are found
// even when empty; an attribute is found only when its value is not empty.
bool GetDataContextValue(DataContext* context, const char* name, char* out);
// The value of a name through the chain from the top into out (size bytes, at least
// kFieldValueSize, terminated); true when out is not empty.
bool ExpandCtxChainValue(DataContextChain* chain, const char* name, char* out, int32_t size);

// ---- Expansion ----

// Rewrites buffer[0 .. length) in place: escapes, and the markers above. *newLength is the new
// length (never longer). True when a marker 1 or 3 was made.
bool PreprocessDataString(char* buffer, int32_t length, int32_t* newLength);
// Expands the references of buffer[0 .. *length) in place within capacity bytes and updates
// *length (no terminator is added); 1 when the string held a reference or expression, else 0.
// When the outermost expansion meets an error, the whole text becomes "<bad expression>",
// "<depth exceeded>" or "<division by zero>" (callers give at least 19 bytes).
int32_t ExpandDataString(char* buffer, int32_t* length, int32_t capacity, DataContextChain* chain);
// The error bits of the last outermost expansion.
uint16_t GetDataExpansionErrors();

}  // namespace plexa
