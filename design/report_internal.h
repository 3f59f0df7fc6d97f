// The report interpreter's state and the calls its modules share: the interpreter
// (report_interp.cpp), the built-in functions (report_builtins.cpp) and the items, sort maps and
// loops over the netlist database (report_items.cpp). Not for other folders.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/types.h"
#include "model/expression.h"

namespace plexa {

struct FileSpec;
struct ProjectRecord;
struct SheetInstance;
struct SheetNode;
struct SheetSpec;
struct SheetRecord;
struct SymbolRecord;
struct UnifiedDBRecord;

// Kinds of the item contexts pushed while a loop visits an item (the data-context kinds of the
// sheet model where there is one).
enum class RptCtx : uint8_t {
    kComponent,        // 0: a comp row
    kNet,              // 1: a net id
    kPin,              // 2: a pin row
    kProject,          // 3
    kSheet,            // 4: a sheet index
    kTreeNode,         // 5: a hierarchy node
    kPort,             // 6: a sheet index and an export index
    kGlobals,          // 7
    kAttribute,        // 8: the attribute visited by an attributes loop
    kPinAttributes,    // attribute kinds 1 to 5, in the order of the "AL" kind word
    kCompAttributes,
    kNetAttributes,
    kSheetAttributes,
    kProjectAttributes,
    kSymbol,  // the sheet symbol of the descent rules
};

struct RptContext {
    RptCtx kind;
    bool continuation;  // popped together with the context above it
    int64_t item;       // row, net id, sheet index, node
    int64_t extra;      // a port's export index
};

// A block defined by BLOCKDEF.
struct RptBlock {
    std::string name;
    Handle tokens;
    uint32_t position;
};

// A compiled script kept while the run lasts (RUN compiles each script once).
struct RptCachedScript {
    std::string path;
    Handle tokens;
    bool owned;  // the caller's: not freed with the cache
};

// Keys of a sort clause.
constexpr int32_t kMaxSortKeys = 8;
struct RptSortKeys {
    std::vector<std::string> names;  // at most kMaxSortKeys
    uint32_t hash = 0;
};

struct RptSortMap {
    std::vector<uint32_t> rows;
    uint32_t hash = 0;
    bool valid = false;
};

struct ReportState {
    ProjectRecord* project = nullptr;
    SheetInstance* rootInstance = nullptr;
    SheetNode* currentNode = nullptr;      // set by the hierarchy loop
    SheetInstance* currentInstance = nullptr;  // of the descent rules
    UnifiedDBRecord* db = nullptr;  // none until a loop or DATABASE builds it
    uint16_t dbFlags = 0;    // for the next build
    uint16_t baseFlags = 0;  // kUDBPartTypes, and kUDBDescend when sub-sheets are wanted
    uint16_t levelLimit = 9999;
    std::string targetBundleId;
    std::string scriptPath;   // the main script
    std::string runningPath;  // the script running now (RUN changes it)
    std::string baseFolder;   // the project file's folder (the script's without a project)
    std::vector<RptCachedScript> scripts;
    std::vector<RptBlock> blocks;
    std::vector<RptContext> contexts;
    // Variables by upper-cased name.
    std::unordered_map<std::string, std::string> variables;
    std::FILE* output = nullptr;
    std::string outputPath;
    uint32_t size = 0;
    Handle tokens = nullptr;
    uint32_t position = 0;
    uint32_t linePos = 0;
    uint16_t nestBits = 0;
    int32_t nesting = 0;  // RUN and CALL
    RptSortKeys keys;
    RptSortMap compMap, netMap;
    std::vector<uint32_t> pinsByNet;
    bool pinsByNetValid = false;
    bool insideNets = false;
    bool simulatorMapsBuilt = false;
    std::string missingFile;  // for the message of kScriptFileNotFound
    // The attributes being visited by attributes loops (one per open loop).
    std::vector<std::string> attributeNames, attributeValues;
    // The sheet symbol visited by the descent rules.
    SheetRecord* descentSheet = nullptr;
    SymbolRecord* descentSymbol = nullptr;
    SheetSpec* descentSpec = nullptr;  // the spec of the descent's sheet
    // The hierarchy nodes' flags as the run found them.
    std::vector<std::pair<SheetNode*, uint16_t>> nodeFlags;
    DataContextChain* chain = nullptr;  // handed to variable terms; its owner word is the run
    // When the run started, and the loop rounds since (the stop and the time limit are looked at
    // every few rounds).
    std::chrono::steady_clock::time_point started;
    uint32_t loopRounds = 0;
};

// Names of variables and fields compare with ASCII letters upper-cased.
inline std::string RptUpper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return text;
}

// ---- Reading the token stream (a stream that is not well formed signals -50) ----
uint16_t RptReadCode(ReportState& rpt);
uint16_t RptPeekCode(ReportState& rpt);
uint32_t RptReadU32(ReportState& rpt);
uint16_t RptReadU16(ReportState& rpt);
double RptReadF64(ReportState& rpt);
std::string RptReadString(ReportState& rpt);

// ---- Expressions ----
// Evaluates the expression at the position (up to its ". ") and leaves its value on the stack.
void RptEvaluate(ReportState& rpt);
// Evaluates the expression and returns its text, at most `limit` bytes.
std::string RptEvaluateString(ReportState& rpt, int32_t limit = 0x7FFFFFFF);
int32_t RptEvaluateInteger(ReportState& rpt);
bool RptEvaluateTruth(ReportState& rpt);
// Pops the top term as text, at most `limit` bytes.
std::string RptPopString(int32_t limit = 0x7FFFFFFF);

// ---- Variables and fields ----
// A variable, else the field or attribute of that name in the item contexts, innermost first.
std::string RptReadName(ReportState& rpt, const std::string& name);
void AssignToVariable(ReportState& rpt, const std::string& name, const std::string& value);
// The value of a built-in field or attribute in one context; false when the context does not know
// the name (built-in fields are known even when empty, attributes only when not empty).
bool RptContextValue(ReportState& rpt, const RptContext& context, const std::string& name, std::string* value);
// The fields the report answers itself ("LinePos", "RootFile", "RootId").
bool RptGlobalField(ReportState& rpt, const std::string& name, std::string* value);

// Runs statements from the position up to "} " (0) or a BREAK (1; the position is behind the
// loop).
int32_t ProcessStatementBlock(ReportState& rpt);

// Runs the built-in function of a code (its arguments follow at the position) and pushes its
// result; false when the code is no function.
bool CallBuiltInFunction(ReportState& rpt, uint16_t code);

// ---- Loops and the database (report_items.cpp) ----
// Runs the loop whose code was just read; the position is behind the construct afterwards.
void RptRunLoop(ReportState& rpt, uint16_t code);
// DATABASE with its option codes at the position.
void RptDatabaseStatement(ReportState& rpt);
// Frees the database and its sort maps.
void RptFreeDatabase(ReportState& rpt);
// Marks the nodes below the level limit as kept from descent for the run; the end of the run gives
// the nodes their flags back.
void RptBeginHierarchy(ReportState& rpt);
void RptEndHierarchy(ReportState& rpt);

}  // namespace plexa
