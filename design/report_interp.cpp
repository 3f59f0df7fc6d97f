// The report interpreter: statement dispatch, expressions, variables, output files, COPY, RUN and
// CALL; see report_interp.h. The loops over the netlist database live in report_items.cpp, the
// built-in functions in report_builtins.cpp.
#include "design/report_interp.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <sys/stat.h>

#include "design/designstate.h"
#include "design/report_compiler.h"
#include "design/report_internal.h"
#include "design/report_tokens.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/datetime.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/strings.h"
#include "model/fieldexpand.h"
#include "model/waitcursor.h"

namespace plexa {

namespace {

constexpr int32_t kNameLimit = 127;     // variable names
constexpr int32_t kValueLimit = 255;    // stored values
constexpr int32_t kPathLimit = 2047;    // SETFILE, APPENDFILE
constexpr int32_t kCopyNameLimit = 299;
constexpr int32_t kRunNameLimit = 255;
constexpr int32_t kBlockNameLimit = 63;
constexpr int32_t kNotifyLimit = 255;

ReportHooks gHooks;

// The limit on the time a run may take (none when zero).
std::chrono::milliseconds gRunTimeLimit{0};

std::string Cut(std::string text, int32_t limit) {
    if (int32_t(text.size()) > limit) text.resize(size_t(limit));
    return text;
}

void DefaultAlert(const char* message) {
    std::string text = message;
    std::replace(text.begin(), text.end(), '\r', '\n');
    std::fprintf(stderr, "%s\n", text.c_str());
}

void Alert(const std::string& message) { (gHooks.alert ? gHooks.alert : DefaultAlert)(message.c_str()); }

// Names in variable terms resolve through the run's variables and item contexts.
bool ResolveReportName(DataContextChain* chain, const char* name, char* out, int32_t size) {
    if (!chain || !chain->owner) return false;  // not the run's chain
    ReportState& rpt = *static_cast<ReportState*>(chain->owner);
    const std::string value = RptReadName(rpt, name);
    const size_t n = std::min(value.size(), size_t(size > 0 ? size - 1 : 0));
    std::memcpy(out, value.data(), n);
    if (size > 0) out[n] = 0;
    return n > 0;
}

// A term popped off the stack, released when it goes out of scope.
struct PoppedTerm {
    ExpressionTerm* term = nullptr;
    explicit PoppedTerm(uint8_t target) {
        term = GetExpressionTerm(target, true);
        if (!term) Signal(status::kParamErr);
    }
    ~PoppedTerm() { ReleaseExpressionData(term); }
    PoppedTerm(const PoppedTerm&) = delete;
    PoppedTerm& operator=(const PoppedTerm&) = delete;
};

std::string TermText(ExpressionTerm* term, int32_t limit) {
    std::string out(size_t(std::min(limit, 0x10000)) + 1, '\0');
    const int32_t n = GetExpressionString(term, int32_t(out.size()), out.data());
    out.resize(size_t(n));
    return out;
}

void Need(ReportState& rpt, uint32_t count) {
    if (rpt.size - rpt.position < count || rpt.position > rpt.size) Signal(status::kParamErr);
}

// The token stream's bytes, read through the handle each time: the handle is not locked, so a
// compaction of its pool during the run may move it.
const uint8_t* StreamBytes(ReportState& rpt) { return reinterpret_cast<const uint8_t*>(*rpt.tokens); }

// An operand of the stream, copied out byte-wise (operands are not aligned).
template <typename T>
T ReadOperand(ReportState& rpt) {
    Need(rpt, sizeof(T));
    T v;
    std::memcpy(&v, StreamBytes(rpt) + rpt.position, sizeof(T));
    rpt.position += uint32_t(sizeof(T));
    return v;
}

// ---- Assignment ----

// The name of a variable operand at the position (" %" name or " `" expression).
std::string ReadVariableName(ReportState& rpt, uint16_t code) {
    if (code == kRptName) return RptReadString(rpt);
    if (code != kRptComputedName) Signal(status::kParamErr);
    std::string name = RptEvaluateString(rpt);
    if (name.empty()) Signal(kScriptNullName);
    return name;
}

bool IsAssignCode(uint16_t code) {
    return code == kRptAssign || code == kOpAddAssign || code == kOpSubtractAssign ||
           code == kOpMultiplyAssign || code == kOpDivideAssign || code == kRptJoinAssign;
}

// Applies an assignment operator: the value term is on the top of the stack. Leaves the stored
// value on the stack.
void Assign(ReportState& rpt, const std::string& name, uint16_t op) {
    if (op != kRptAssign) {
        // The variable's value below the right side, then the operator.
        PoppedTerm right(0);
        PushStringTerm(RptReadName(rpt, name).c_str());
        PushExpressionTerm(right.term);
        right.term = nullptr;
        Signal(op == kRptJoinAssign ? CatenateTerms() : MathOperator(op));
    }
    ExpressionTerm* top = GetExpressionTerm(0, false);
    if (!top) Signal(status::kParamErr);
    AssignToVariable(rpt, name, TermText(top, kValueLimit));
}

// ---- Output ----

// The output file the last run could not open or write (see GetReportOutputFailure).
std::string& gOutputFailure = gDesignState.reportOutputFailure;

std::string ResolveOutputPath(ReportState& rpt, const std::string& name) {
    std::string path = name;
    if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos &&
        path.find(':') != std::string::npos) {
        std::replace(path.begin(), path.end(), ':', '/');
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path.back() == '/') Signal(status::kParamErr);
    if (path[0] != '/') {
        if (rpt.baseFolder.empty()) Signal(status::kFolderNotFound);
        path = NormalizePath(path, rpt.baseFolder);
    }
    gOutputFailure = path;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) Signal(status::kFolderNotFound);
    return path;
}

void OpenOutput(ReportState& rpt, bool append) {
    const std::string name = RptEvaluateString(rpt, kPathLimit);
    gOutputFailure = name;
    const std::string path = ResolveOutputPath(rpt, name);
    if (NameHasExtension(path.c_str(), ".CIR") || rpt.targetBundleId == kSimulatorBundleId) {
        if (gHooks.closeCircuit) Signal(gHooks.closeCircuit(path.c_str()));
    }
    std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!file) Signal(StatusFromErrno(errno));
    gOutputFailure.clear();
    if (rpt.output) std::fclose(rpt.output);
    rpt.output = file;
    rpt.outputPath = path;
    rpt.linePos = 0;
}

// The line position follows the text written.
void AdvanceLinePos(ReportState& rpt, const char* text, size_t size) {
    for (size_t i = 0; i < size; ++i)
        rpt.linePos = (text[i] == '\r' || text[i] == '\n') ? 0 : rpt.linePos + 1;
}

void Write(ReportState& rpt, const std::string& text) {
    AdvanceLinePos(rpt, text.data(), text.size());
    if (rpt.output && !text.empty() &&
        std::fwrite(text.data(), 1, text.size(), rpt.output) != text.size()) {
        gOutputFailure = rpt.outputPath;
        Signal(StatusFromErrno(errno));
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void FileNotFound(ReportState& rpt, const std::string& name) {
    rpt.missingFile = name;
    Signal(kScriptFileNotFound);
}

void Copy(ReportState& rpt, bool ignoreMissing) {
    const std::string name = RptEvaluateString(rpt, kCopyNameLimit);
    const std::string path = ResolveScriptName(rpt.project, std::string(), rpt.baseFolder, name);
    if (path.empty()) {
        if (ignoreMissing) return;
        FileNotFound(rpt, name);
    }
    if (!rpt.output) return;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        if (ignoreMissing) return;
        FileNotFound(rpt, name);
    }
    char buffer[8192];
    OSStatus st = status::kNoErr;
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        if (std::fwrite(buffer, 1, n, rpt.output) != n) {
            st = StatusFromErrno(errno);
            break;
        }
        AdvanceLinePos(rpt, buffer, n);
    }
    std::fclose(in);
    Signal(st);
}

// ---- Nested streams: RUN and CALL ----

struct SavedStream {
    uint32_t size;
    Handle tokens;
    uint32_t position;
    std::string runningPath;
};

SavedStream SaveStream(ReportState& rpt) {
    return {rpt.size, rpt.tokens, rpt.position, rpt.runningPath};
}

void RestoreStream(ReportState& rpt, const SavedStream& s) {
    rpt.size = s.size;
    rpt.tokens = s.tokens;
    rpt.position = s.position;
    rpt.runningPath = s.runningPath;
    --rpt.nesting;
}

void Enter(ReportState& rpt, Handle tokens, uint32_t position) {
    if (rpt.nesting >= kMaxReportNesting) Signal(kScriptNestTooDeep);
    ++rpt.nesting;
    rpt.tokens = tokens;
    rpt.size = uint32_t(SizeOfHandle(tokens));
    rpt.position = position;
}

void Call(ReportState& rpt) {
    const std::string name = RptUpper(RptEvaluateString(rpt));
    const auto block = std::find_if(rpt.blocks.begin(), rpt.blocks.end(),
                                    [&](const RptBlock& b) { return RptUpper(b.name) == name; });
    if (block == rpt.blocks.end()) return;
    const SavedStream saved = SaveStream(rpt);
    const RptBlock target = *block;
    const uint16_t nest = rpt.nestBits;
    const OSStatus st = CatchSignals([&] {
        Enter(rpt, target.tokens, target.position);
        ProcessStatementBlock(rpt);
    });
    RestoreStream(rpt, saved);
    rpt.nestBits = nest;
    Signal(st);
}

Handle CachedScript(ReportState& rpt, const std::string& path) {
    for (const RptCachedScript& s : rpt.scripts) {
        if (s.path == path) return s.tokens;
    }
    FileSpec spec;
    Signal(FileSpecFromURL(path, &spec, false, nullptr));
    Handle tokens = nullptr;
    Signal(TokenizeScript(rpt.project, &spec, &tokens));
    rpt.scripts.push_back({path, tokens, false});
    return tokens;
}

void Run(ReportState& rpt) {
    const std::string name = RptEvaluateString(rpt, kRunNameLimit);
    if (name.empty()) return;
    const std::string path =
        ResolveScriptName(rpt.project, FolderOf(rpt.runningPath), rpt.baseFolder, name);
    if (path.empty()) FileNotFound(rpt, name);
    Handle tokens = CachedScript(rpt, path);
    const SavedStream saved = SaveStream(rpt);
    const uint16_t nest = rpt.nestBits;
    OSStatus st = CatchSignals([&] {
        Enter(rpt, tokens, 0);
        rpt.runningPath = path;
        ProcessStatementBlock(rpt);
    });
    RestoreStream(rpt, saved);
    rpt.nestBits = nest;
    if (st == kScriptExit) st = status::kNoErr;
    else if (st == status::kNoErr) AssignToVariable(rpt, "STATUS", "0");
    Signal(st);
}

// ---- Statements ----

void BlockDef(ReportState& rpt) {
    const uint32_t hole = RptReadU32(rpt);
    const std::string name = RptEvaluateString(rpt, kBlockNameLimit);
    rpt.blocks.push_back({name, rpt.tokens, rpt.position});
    rpt.position = hole;
}

// Stops the run when the user asks or its time is up; looked at every few rounds of a loop.
void CheckStop(ReportState& rpt) {
    if (++rpt.loopRounds % kReportStopCheckStep != 0) return;
    if (gRunTimeLimit.count() > 0 && std::chrono::steady_clock::now() - rpt.started >= gRunTimeLimit)
        Signal(kScriptTimeLimit);
    if (gHooks.cancelKey && gHooks.cancelKey()) Signal(kScriptStopped);
}

void While(ReportState& rpt) {
    const uint32_t hole = RptReadU32(rpt);
    const uint32_t condition = rpt.position;
    for (;;) {
        rpt.position = condition;
        if (!RptEvaluateTruth(rpt)) break;
        CheckStop(rpt);
        if (ProcessStatementBlock(rpt) == 1) break;
    }
    rpt.position = hole;
}

void Exit(ReportState& rpt) {
    const std::string value = RptEvaluateString(rpt, kValueLimit);
    AssignToVariable(rpt, "STATUS", value);
    Signal(kScriptExit);
}

void AssignmentStatement(ReportState& rpt, uint16_t code) {
    const std::string name = ReadVariableName(rpt, code);
    RptEvaluate(rpt);
    const uint16_t op = RptReadCode(rpt);
    if (!IsAssignCode(op)) Signal(status::kParamErr);
    Assign(rpt, name, op);
    PoppedTerm drop(0);
}

void ClearState(ReportState& rpt) {
    for (RptCachedScript& s : rpt.scripts) {
        if (!s.owned) MemFree(s.tokens);
    }
    if (rpt.output) std::fclose(rpt.output);
    if (rpt.chain) DestroyDataCtxChain(rpt.chain);
    rpt = ReportState();
}

std::string ProjectFolder(ProjectRecord* project) {
    if (!project) return std::string();
    std::string path;
    if (CreateURLFromFileSpec(&project->file.spec, false, &path) != status::kNoErr) return std::string();
    return FolderOf(path);
}

}  // namespace

// ---- The token stream ----

uint16_t RptReadCode(ReportState& rpt) { return ReadOperand<uint16_t>(rpt); }

uint16_t RptPeekCode(ReportState& rpt) {
    if (rpt.size - rpt.position < 2 || rpt.position > rpt.size) return 0;
    uint16_t code;
    std::memcpy(&code, StreamBytes(rpt) + rpt.position, 2);
    return code;
}

uint32_t RptReadU32(ReportState& rpt) {
    const uint32_t v = ReadOperand<uint32_t>(rpt);
    if (v > rpt.size) Signal(status::kParamErr);  // every u32 read here is a hole
    return v;
}

uint16_t RptReadU16(ReportState& rpt) { return ReadOperand<uint16_t>(rpt); }

double RptReadF64(ReportState& rpt) { return ReadOperand<double>(rpt); }

std::string RptReadString(ReportState& rpt) {
    Need(rpt, 1);
    const uint8_t length = StreamBytes(rpt)[rpt.position++];
    Need(rpt, length);
    std::string text(reinterpret_cast<const char*>(StreamBytes(rpt) + rpt.position), length);
    rpt.position += length;
    if ((length & 1) == 0) {
        Need(rpt, 1);
        ++rpt.position;
    }
    return text;
}

// ---- Expressions ----

void RptEvaluate(ReportState& rpt) {
    for (;;) {
        const uint16_t code = RptReadCode(rpt);
        switch (code) {
            case kRptEndExpression:
                return;
            case kRptString:
                if (!PushStringTerm(RptReadString(rpt).c_str())) Signal(status::kOutOfMemory);
                break;
            case kRptFloat:
                if (!PushFloatTerm(RptReadF64(rpt))) Signal(status::kOutOfMemory);
                break;
            case kRptInteger:
                if (!PushIntegerTerm(int32_t(ReadOperand<uint32_t>(rpt)))) Signal(status::kOutOfMemory);
                break;
            case kRptName:
            case kRptComputedName: {
                const std::string name = Cut(ReadVariableName(rpt, code), kNameLimit);
                if (!PushVariableTerm(name.c_str(), rpt.chain)) Signal(status::kOutOfMemory);
                break;
            }
            case kOpAdd: case kOpSubtract: case kOpMultiply: case kOpDivide: case kOpRemainder:
            case kOpNegate:
                Signal(MathOperator(code));
                break;
            case kOpEqual: case kOpNotEqual: case kOpLess: case kOpGreater: case kOpLessEqual:
            case kOpGreaterEqual:
                Signal(RelationalOperator(code));
                break;
            case kOpAnd: case kOpOr: case kOpNot:
                Signal(LogicalOperator(code));
                break;
            case kRptJoin:
                Signal(CatenateTerms());
                break;
            default:
                if (IsAssignCode(code)) {
                    // The variable lies below the value.
                    char name[256];
                    if (ExtractVariableName(nullptr, 1, name, sizeof name) == 0) Signal(kScriptNullName);
                    PoppedTerm value(0);
                    { PoppedTerm variable(kExprVariable); }
                    PushExpressionTerm(value.term);
                    value.term = nullptr;
                    Assign(rpt, name, code);
                } else if (!CallBuiltInFunction(rpt, code)) {
                    Signal(status::kParamErr);
                }
        }
    }
}

std::string RptPopString(int32_t limit) {
    PoppedTerm term(kExprString);
    return TermText(term.term, limit);
}

std::string RptEvaluateString(ReportState& rpt, int32_t limit) {
    RptEvaluate(rpt);
    return RptPopString(limit);
}

int32_t RptEvaluateInteger(ReportState& rpt) {
    RptEvaluate(rpt);
    PoppedTerm term(kExprInteger);
    return term.term->value.integer;
}

bool RptEvaluateTruth(ReportState& rpt) {
    RptEvaluate(rpt);
    PoppedTerm term(kExprTruth);
    return term.term->value.integer != 0;
}

// ---- Variables ----

void AssignToVariable(ReportState& rpt, const std::string& name, const std::string& value) {
    const std::string key = RptUpper(Cut(name, kNameLimit));
    if (value.empty()) {
        rpt.variables.erase(key);
    } else {
        rpt.variables[key] = Cut(value, kValueLimit);
    }
}

std::string RptReadName(ReportState& rpt, const std::string& name) {
    const std::string key = RptUpper(name);
    const auto it = rpt.variables.find(key);
    if (it != rpt.variables.end()) return it->second;
    std::string value;
    for (auto c = rpt.contexts.rbegin(); c != rpt.contexts.rend(); ++c) {
        if (RptContextValue(rpt, *c, name, &value)) return value;
    }
    return std::string();
}

bool RptGlobalField(ReportState& rpt, const std::string& name, std::string* value) {
    const std::string key = RptUpper(name);
    char text[32];
    if (key == "LINEPOS") {
        std::snprintf(text, sizeof text, "%u", unsigned(rpt.linePos));
    } else if (key == "ROOTID") {
        std::snprintf(text, sizeof text, "%d", rpt.rootInstance ? int(rpt.rootInstance->id) : 0);
    } else if (key == "ROOTFILE") {
        char name256[256] = {0};
        if (rpt.rootInstance && rpt.project) {
            ExtractStringSpec(rpt.rootInstance->sheetName, rpt.project->strings, name256,
                              sizeof name256);
        } else if (rpt.project) {
            GetFileSpecName(&rpt.project->file.spec, name256, sizeof name256);
        }
        *value = name256;
        return true;
    } else {
        return false;
    }
    *value = text;
    return true;
}

// ---- Statements ----

int32_t ProcessStatementBlock(ReportState& rpt) {
    for (;;) {
        ModelWaitCursor();
        const uint16_t code = RptReadCode(rpt);
        switch (code) {
            case kRptEndBlock:
                return 0;
            case kRptBreak:
                rpt.position = RptReadU32(rpt);
                return 1;
            case kRptBranch:
                rpt.position = RptReadU32(rpt);
                break;
            case kRptIf: {
                const bool truth = RptEvaluateTruth(rpt);
                const uint32_t hole = RptReadU32(rpt);
                if (!truth) rpt.position = hole;
                break;
            }
            case kRptWhile:
                While(rpt);
                break;
            case kRptComponents: case kRptNets: case kRptPins: case kRptPorts:
            case kRptHierarchy: case kRptAttributes: case kRptDescentRules:
                RptRunLoop(rpt, code);
                break;
            case kRptBlockDef:
                BlockDef(rpt);
                break;
            case kRptCall:
                Call(rpt);
                break;
            case kRptCopy:
            case kRptCopyEx:
                Copy(rpt, code == kRptCopyEx);
                break;
            case kRptDatabase:
                RptDatabaseStatement(rpt);
                break;
            case kRptExit:
                Exit(rpt);
                break;
            case kRptSetFile:
            case kRptAppendFile:
                OpenOutput(rpt, code == kRptAppendFile);
                break;
            case kRptWrite:
                Write(rpt, RptEvaluateString(rpt));
                break;
            case kRptRun:
                Run(rpt);
                break;
            case kRptNotify: {
                const std::string text = RptEvaluateString(rpt, kNotifyLimit);
                if (!text.empty()) Alert(text);
                break;
            }
            case kRptName:
            case kRptComputedName:
                AssignmentStatement(rpt, code);
                break;
            default: {
                if (!CallBuiltInFunction(rpt, code)) Signal(status::kParamErr);
                PoppedTerm drop(0);
            }
        }
    }
}

// ---- Runs ----

ReportHooks SetReportHooks(const ReportHooks& hooks) {
    const ReportHooks former = gHooks;
    gHooks = hooks;
    return former;
}

const ReportHooks& GetReportHooks() { return gHooks; }

uint32_t SetReportRunTimeLimit(uint32_t milliseconds) {
    const auto former = uint32_t(gRunTimeLimit.count());
    gRunTimeLimit = std::chrono::milliseconds(milliseconds);
    return former;
}

OSStatus ExecuteReportScript(ProjectRecord* project, SheetInstance* root, bool descend,
                             uint16_t levelLimit, Handle tokens, const char* targetBundleId,
                             const FileSpec* script, FileSpec* output) {
    if (output) ClearFileSpec(output);
    gOutputFailure.clear();
    if (!tokens || !*tokens) return status::kParamErr;
    // The run's state, handed to the interpreter and the item walks.
    ReportState rpt;
    rpt.started = std::chrono::steady_clock::now();
    rpt.project = project;
    rpt.rootInstance = root;
    rpt.levelLimit = levelLimit;
    rpt.targetBundleId = targetBundleId ? targetBundleId : kNoTargetBundleId;
    if (script) (void)CreateURLFromFileSpec(script, false, &rpt.scriptPath);  // a script without a path has no folder of its own
    rpt.runningPath = rpt.scriptPath;
    rpt.baseFolder = project ? ProjectFolder(project) : FolderOf(rpt.scriptPath);
    rpt.baseFlags = descend ? 0x21 : 0x20;
    rpt.dbFlags = rpt.baseFlags;
    rpt.scripts.push_back({rpt.scriptPath, tokens, true});

    // The model installs its own resolver when it first makes its built-in tables (which a sheet
    // loaded by the run may do): make them now, so that the run's resolver stays in place.
    (void)InitBuiltInContexts();  // without them the built-in fields expand to nothing
    const ExpressionNameResolver formerResolver = SetExpressionNameResolver(ResolveReportName);
    OSStatus st = CatchSignals([&] {
        rpt.chain = CreateDataCtxChain();
        if (!rpt.chain) Signal(status::kOutOfMemory);
        rpt.chain->owner = &rpt;  // how the name resolver finds the run
        Signal(InitExpressionStorage());
        rpt.contexts.push_back({RptCtx::kGlobals, false, 0, 0});
        if (project) {
            rpt.contexts.push_back({RptCtx::kProject, false, 0, 0});
            if (project->attributes) rpt.contexts.push_back({RptCtx::kProjectAttributes, false, 0, 0});
        }
        RptBeginHierarchy(rpt);
        Enter(rpt, tokens, 0);
        ProcessStatementBlock(rpt);
    });
    if (st == kScriptExit) st = status::kNoErr;
    RptEndHierarchy(rpt);
    if (st == status::kNoErr && rpt.simulatorMapsBuilt && project) {
        // What the simulator link needs to make this netlist again.
        if (script) project->netlistScript = *script;
        project->netlistDescend = descend ? 1 : 0;
        project->netlistLevelLimit = levelLimit;
        project->settings.lastNetlistTime = uint32_t(VXGetCurrentDateTime(1));
        if (project->file.stream) {
            st = WriteProjectSettings(project, true);
            if (st == status::kNoErr) st = WriteProjectSpiceMaps(project);
        }
    }

    if (output && !rpt.outputPath.empty()) (void)FileSpecFromURL(rpt.outputPath, output, false, nullptr);  // a path that names no file leaves the spec empty
    const std::string missing = rpt.missingFile;
    if (rpt.output) {
        if (std::fclose(rpt.output) != 0 && st == status::kNoErr) {
            st = StatusFromErrno(errno);
            gOutputFailure = rpt.outputPath;
        }
        rpt.output = nullptr;
    }
    RptFreeDatabase(rpt);
    FreeExpressionStorage();
    SetExpressionNameResolver(formerResolver);
    ClearState(rpt);

    char message[300];
    if (st != status::kNoErr && GetScriptErrorMessage(st, message, sizeof message, missing.c_str())) {
        Alert(std::string("Script Runtime Error:\r\r  ") + message);
        return status::kUserCancelled;
    }
    return st;
}

OSStatus RunReportScriptFile(ProjectRecord* project, SheetInstance* root, bool descend,
                             uint16_t levelLimit, const FileSpec* script, FileSpec* output) {
    Handle tokens = nullptr;
    if (OSStatus st = TokenizeScript(project, script, &tokens)) return st;
    const OSStatus st =
        ExecuteReportScript(project, root, descend, levelLimit, tokens, nullptr, script, output);
    MemFree(tokens);
    return st;
}

const std::string& GetReportOutputFailure() { return gOutputFailure; }

}  // namespace plexa
