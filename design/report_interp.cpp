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
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/strings.h"
#include "model/fieldexpand.h"
#include "model/waitcursor.h"

namespace plexa {

ReportState gRpt;

namespace {

constexpr int32_t kNameLimit = 127;     // variable names
constexpr int32_t kValueLimit = 255;    // stored values
constexpr int32_t kPathLimit = 2047;    // SETFILE, APPENDFILE
constexpr int32_t kCopyNameLimit = 299;
constexpr int32_t kRunNameLimit = 255;
constexpr int32_t kBlockNameLimit = 63;
constexpr int32_t kNotifyLimit = 255;

ReportHooks gHooks;

// When the running script started, the limit on its time, and the loop rounds since the start.
struct RunStop {
    std::chrono::steady_clock::time_point start;
    std::chrono::milliseconds limit{0};
    uint32_t rounds = 0;
} gRunStop;

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
bool ResolveReportName(DataContextChain*, const char* name, char* out, int32_t size) {
    const std::string value = RptReadName(name);
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

void Need(uint32_t count) {
    if (gRpt.size - gRpt.position < count || gRpt.position > gRpt.size) Signal(status::kParamErr);
}

// The token stream's bytes, read through the handle each time: the handle is not locked, so a
// compaction of its pool during the run may move it.
const uint8_t* StreamBytes() { return reinterpret_cast<const uint8_t*>(*gRpt.tokens); }

// An operand of the stream, copied out byte-wise (operands are not aligned).
template <typename T>
T ReadOperand() {
    Need(sizeof(T));
    T v;
    std::memcpy(&v, StreamBytes() + gRpt.position, sizeof(T));
    gRpt.position += uint32_t(sizeof(T));
    return v;
}

// ---- Assignment ----

// The name of a variable operand at the position (" %" name or " `" expression).
std::string ReadVariableName(uint16_t code) {
    if (code == kRptName) return RptReadString();
    if (code != kRptComputedName) Signal(status::kParamErr);
    std::string name = RptEvaluateString();
    if (name.empty()) Signal(kScriptNullName);
    return name;
}

bool IsAssignCode(uint16_t code) {
    return code == kRptAssign || code == kOpAddAssign || code == kOpSubtractAssign ||
           code == kOpMultiplyAssign || code == kOpDivideAssign || code == kRptJoinAssign;
}

// Applies an assignment operator: the value term is on the top of the stack. Leaves the stored
// value on the stack.
void Assign(const std::string& name, uint16_t op) {
    if (op != kRptAssign) {
        // The variable's value below the right side, then the operator.
        PoppedTerm right(0);
        PushStringTerm(RptReadName(name).c_str());
        PushExpressionTerm(right.term);
        right.term = nullptr;
        Signal(op == kRptJoinAssign ? CatenateTerms() : MathOperator(op));
    }
    ExpressionTerm* top = GetExpressionTerm(0, false);
    if (!top) Signal(status::kParamErr);
    AssignToVariable(name, TermText(top, kValueLimit));
}

// ---- Output ----

// The output file the last run could not open or write (see GetReportOutputFailure).
std::string& gOutputFailure = gDesignState.reportOutputFailure;

std::string ResolveOutputPath(const std::string& name) {
    std::string path = name;
    if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos &&
        path.find(':') != std::string::npos) {
        std::replace(path.begin(), path.end(), ':', '/');
    }
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path.back() == '/') Signal(status::kParamErr);
    if (path[0] != '/') {
        if (gRpt.baseFolder.empty()) Signal(status::kFolderNotFound);
        path = NormalizePath(path, gRpt.baseFolder);
    }
    gOutputFailure = path;
    const size_t slash = path.rfind('/');
    const std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) Signal(status::kFolderNotFound);
    return path;
}

void OpenOutput(bool append) {
    const std::string name = RptEvaluateString(kPathLimit);
    gOutputFailure = name;
    const std::string path = ResolveOutputPath(name);
    if (NameHasExtension(path.c_str(), ".CIR") || gRpt.targetBundleId == kSimulatorBundleId) {
        if (gHooks.closeCircuit) Signal(gHooks.closeCircuit(path.c_str()));
    }
    std::FILE* file = std::fopen(path.c_str(), append ? "ab" : "wb");
    if (!file) Signal(StatusFromErrno(errno));
    gOutputFailure.clear();
    if (gRpt.output) std::fclose(gRpt.output);
    gRpt.output = file;
    gRpt.outputPath = path;
    gRpt.linePos = 0;
}

// The line position follows the text written.
void AdvanceLinePos(const char* text, size_t size) {
    for (size_t i = 0; i < size; ++i)
        gRpt.linePos = (text[i] == '\r' || text[i] == '\n') ? 0 : gRpt.linePos + 1;
}

void Write(const std::string& text) {
    AdvanceLinePos(text.data(), text.size());
    if (gRpt.output && !text.empty() &&
        std::fwrite(text.data(), 1, text.size(), gRpt.output) != text.size()) {
        gOutputFailure = gRpt.outputPath;
        Signal(StatusFromErrno(errno));
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void FileNotFound(const std::string& name) {
    gRpt.missingFile = name;
    Signal(kScriptFileNotFound);
}

void Copy(bool ignoreMissing) {
    const std::string name = RptEvaluateString(kCopyNameLimit);
    const std::string path = ResolveScriptName(gRpt.project, std::string(), gRpt.baseFolder, name);
    if (path.empty()) {
        if (ignoreMissing) return;
        FileNotFound(name);
    }
    if (!gRpt.output) return;
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        if (ignoreMissing) return;
        FileNotFound(name);
    }
    char buffer[8192];
    OSStatus st = status::kNoErr;
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) {
        if (std::fwrite(buffer, 1, n, gRpt.output) != n) {
            st = StatusFromErrno(errno);
            break;
        }
        AdvanceLinePos(buffer, n);
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

SavedStream SaveStream() {
    return {gRpt.size, gRpt.tokens, gRpt.position, gRpt.runningPath};
}

void RestoreStream(const SavedStream& s) {
    gRpt.size = s.size;
    gRpt.tokens = s.tokens;
    gRpt.position = s.position;
    gRpt.runningPath = s.runningPath;
    --gRpt.nesting;
}

void Enter(Handle tokens, uint32_t position) {
    if (gRpt.nesting >= kMaxReportNesting) Signal(kScriptNestTooDeep);
    ++gRpt.nesting;
    gRpt.tokens = tokens;
    gRpt.size = uint32_t(SizeOfHandle(tokens));
    gRpt.position = position;
}

void Call() {
    const std::string name = RptUpper(RptEvaluateString());
    const auto block = std::find_if(gRpt.blocks.begin(), gRpt.blocks.end(),
                                    [&](const RptBlock& b) { return RptUpper(b.name) == name; });
    if (block == gRpt.blocks.end()) return;
    const SavedStream saved = SaveStream();
    const RptBlock target = *block;
    const uint16_t nest = gRpt.nestBits;
    const OSStatus st = CatchSignals([&] {
        Enter(target.tokens, target.position);
        ProcessStatementBlock();
    });
    RestoreStream(saved);
    gRpt.nestBits = nest;
    Signal(st);
}

Handle CachedScript(const std::string& path) {
    for (const RptCachedScript& s : gRpt.scripts) {
        if (s.path == path) return s.tokens;
    }
    FileSpec spec;
    Signal(FileSpecFromURL(path, &spec, false, nullptr));
    Handle tokens = nullptr;
    Signal(TokenizeScript(gRpt.project, &spec, &tokens));
    gRpt.scripts.push_back({path, tokens, false});
    return tokens;
}

void Run() {
    const std::string name = RptEvaluateString(kRunNameLimit);
    if (name.empty()) return;
    const std::string path =
        ResolveScriptName(gRpt.project, FolderOf(gRpt.runningPath), gRpt.baseFolder, name);
    if (path.empty()) FileNotFound(name);
    Handle tokens = CachedScript(path);
    const SavedStream saved = SaveStream();
    const uint16_t nest = gRpt.nestBits;
    OSStatus st = CatchSignals([&] {
        Enter(tokens, 0);
        gRpt.runningPath = path;
        ProcessStatementBlock();
    });
    RestoreStream(saved);
    gRpt.nestBits = nest;
    if (st == kScriptExit) st = status::kNoErr;
    else if (st == status::kNoErr) AssignToVariable("STATUS", "0");
    Signal(st);
}

// ---- Statements ----

void BlockDef() {
    const uint32_t hole = RptReadU32();
    const std::string name = RptEvaluateString(kBlockNameLimit);
    gRpt.blocks.push_back({name, gRpt.tokens, gRpt.position});
    gRpt.position = hole;
}

// Stops the run when the user asks or its time is up; looked at every few rounds of a loop.
void CheckStop() {
    if (++gRunStop.rounds % kReportStopCheckStep != 0) return;
    if (gRunStop.limit.count() > 0 && std::chrono::steady_clock::now() - gRunStop.start >= gRunStop.limit)
        Signal(kScriptTimeLimit);
    if (gHooks.cancelKey && gHooks.cancelKey()) Signal(kScriptStopped);
}

void While() {
    const uint32_t hole = RptReadU32();
    const uint32_t condition = gRpt.position;
    for (;;) {
        gRpt.position = condition;
        if (!RptEvaluateTruth()) break;
        CheckStop();
        if (ProcessStatementBlock() == 1) break;
    }
    gRpt.position = hole;
}

void Exit() {
    const std::string value = RptEvaluateString(kValueLimit);
    AssignToVariable("STATUS", value);
    Signal(kScriptExit);
}

void AssignmentStatement(uint16_t code) {
    const std::string name = ReadVariableName(code);
    RptEvaluate();
    const uint16_t op = RptReadCode();
    if (!IsAssignCode(op)) Signal(status::kParamErr);
    Assign(name, op);
    PoppedTerm drop(0);
}

void ClearState() {
    for (RptCachedScript& s : gRpt.scripts) {
        if (!s.owned) MemFree(s.tokens);
    }
    if (gRpt.output) std::fclose(gRpt.output);
    if (gRpt.chain) DestroyDataCtxChain(gRpt.chain);
    gRpt = ReportState();
}

std::string ProjectFolder(ProjectRecord* project) {
    if (!project) return std::string();
    std::string path;
    if (CreateURLFromFileSpec(&project->file.spec, false, &path) != status::kNoErr) return std::string();
    return FolderOf(path);
}

}  // namespace

// ---- The token stream ----

uint16_t RptReadCode() { return ReadOperand<uint16_t>(); }

uint16_t RptPeekCode() {
    if (gRpt.size - gRpt.position < 2 || gRpt.position > gRpt.size) return 0;
    uint16_t code;
    std::memcpy(&code, StreamBytes() + gRpt.position, 2);
    return code;
}

uint32_t RptReadU32() {
    const uint32_t v = ReadOperand<uint32_t>();
    if (v > gRpt.size) Signal(status::kParamErr);  // every u32 read here is a hole
    return v;
}

uint16_t RptReadU16() { return ReadOperand<uint16_t>(); }

double RptReadF64() { return ReadOperand<double>(); }

std::string RptReadString() {
    Need(1);
    const uint8_t length = StreamBytes()[gRpt.position++];
    Need(length);
    std::string text(reinterpret_cast<const char*>(StreamBytes() + gRpt.position), length);
    gRpt.position += length;
    if ((length & 1) == 0) {
        Need(1);
        ++gRpt.position;
    }
    return text;
}

// ---- Expressions ----

void RptEvaluate() {
    for (;;) {
        const uint16_t code = RptReadCode();
        switch (code) {
            case kRptEndExpression:
                return;
            case kRptString:
                if (!PushStringTerm(RptReadString().c_str())) Signal(status::kOutOfMemory);
                break;
            case kRptFloat:
                if (!PushFloatTerm(RptReadF64())) Signal(status::kOutOfMemory);
                break;
            case kRptInteger:
                if (!PushIntegerTerm(int32_t(ReadOperand<uint32_t>()))) Signal(status::kOutOfMemory);
                break;
            case kRptName:
            case kRptComputedName: {
                const std::string name = Cut(ReadVariableName(code), kNameLimit);
                if (!PushVariableTerm(name.c_str(), gRpt.chain)) Signal(status::kOutOfMemory);
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
                    Assign(name, code);
                } else if (!CallBuiltInFunction(code)) {
                    Signal(status::kParamErr);
                }
        }
    }
}

std::string RptPopString(int32_t limit) {
    PoppedTerm term(kExprString);
    return TermText(term.term, limit);
}

std::string RptEvaluateString(int32_t limit) {
    RptEvaluate();
    return RptPopString(limit);
}

int32_t RptEvaluateInteger() {
    RptEvaluate();
    PoppedTerm term(kExprInteger);
    return term.term->value.integer;
}

bool RptEvaluateTruth() {
    RptEvaluate();
    PoppedTerm term(kExprTruth);
    return term.term->value.integer != 0;
}

// ---- Variables ----

void AssignToVariable(const std::string& name, const std::string& value) {
    const std::string key = RptUpper(Cut(name, kNameLimit));
    if (value.empty()) {
        gRpt.variables.erase(key);
    } else {
        gRpt.variables[key] = Cut(value, kValueLimit);
    }
}

std::string RptReadName(const std::string& name) {
    const std::string key = RptUpper(name);
    const auto it = gRpt.variables.find(key);
    if (it != gRpt.variables.end()) return it->second;
    std::string value;
    for (auto c = gRpt.contexts.rbegin(); c != gRpt.contexts.rend(); ++c) {
        if (RptContextValue(*c, name, &value)) return value;
    }
    return std::string();
}

bool RptGlobalField(const std::string& name, std::string* value) {
    const std::string key = RptUpper(name);
    char text[32];
    if (key == "LINEPOS") {
        std::snprintf(text, sizeof text, "%u", unsigned(gRpt.linePos));
    } else if (key == "ROOTID") {
        std::snprintf(text, sizeof text, "%d", gRpt.rootInstance ? int(gRpt.rootInstance->id) : 0);
    } else if (key == "ROOTFILE") {
        char name256[256] = {0};
        if (gRpt.rootInstance && gRpt.project) {
            ExtractStringSpec(gRpt.rootInstance->sheetName, gRpt.project->strings, name256,
                              sizeof name256);
        } else if (gRpt.project) {
            GetFileSpecName(&gRpt.project->file.spec, name256, sizeof name256);
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

int32_t ProcessStatementBlock() {
    for (;;) {
        ModelWaitCursor();
        const uint16_t code = RptReadCode();
        switch (code) {
            case kRptEndBlock:
                return 0;
            case kRptBreak:
                gRpt.position = RptReadU32();
                return 1;
            case kRptBranch:
                gRpt.position = RptReadU32();
                break;
            case kRptIf: {
                const bool truth = RptEvaluateTruth();
                const uint32_t hole = RptReadU32();
                if (!truth) gRpt.position = hole;
                break;
            }
            case kRptWhile:
                While();
                break;
            case kRptComponents: case kRptNets: case kRptPins: case kRptPorts:
            case kRptHierarchy: case kRptAttributes: case kRptDescentRules:
                RptRunLoop(code);
                break;
            case kRptBlockDef:
                BlockDef();
                break;
            case kRptCall:
                Call();
                break;
            case kRptCopy:
            case kRptCopyEx:
                Copy(code == kRptCopyEx);
                break;
            case kRptDatabase:
                RptDatabaseStatement();
                break;
            case kRptExit:
                Exit();
                break;
            case kRptSetFile:
            case kRptAppendFile:
                OpenOutput(code == kRptAppendFile);
                break;
            case kRptWrite:
                Write(RptEvaluateString());
                break;
            case kRptRun:
                Run();
                break;
            case kRptNotify: {
                const std::string text = RptEvaluateString(kNotifyLimit);
                if (!text.empty()) Alert(text);
                break;
            }
            case kRptName:
            case kRptComputedName:
                AssignmentStatement(code);
                break;
            default: {
                if (!CallBuiltInFunction(code)) Signal(status::kParamErr);
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
    const auto former = uint32_t(gRunStop.limit.count());
    gRunStop.limit = std::chrono::milliseconds(milliseconds);
    return former;
}

OSStatus ExecuteReportScript(ProjectRecord* project, SheetInstance* root, bool descend,
                             uint16_t levelLimit, Handle tokens, const char* targetBundleId,
                             const FileSpec* script, FileSpec* output) {
    if (output) ClearFileSpec(output);
    gOutputFailure.clear();
    if (!tokens || !*tokens) return status::kParamErr;
    ClearState();
    gRunStop.start = std::chrono::steady_clock::now();
    gRunStop.rounds = 0;
    gRpt.project = project;
    gRpt.rootInstance = root;
    gRpt.levelLimit = levelLimit;
    gRpt.targetBundleId = targetBundleId ? targetBundleId : kNoTargetBundleId;
    if (script) (void)CreateURLFromFileSpec(script, false, &gRpt.scriptPath);  // a script without a path has no folder of its own
    gRpt.runningPath = gRpt.scriptPath;
    gRpt.baseFolder = project ? ProjectFolder(project) : FolderOf(gRpt.scriptPath);
    gRpt.baseFlags = descend ? 0x21 : 0x20;
    gRpt.dbFlags = gRpt.baseFlags;
    gRpt.scripts.push_back({gRpt.scriptPath, tokens, true});

    // The model installs its own resolver when it first makes its built-in tables (which a sheet
    // loaded by the run may do): make them now, so that the run's resolver stays in place.
    (void)InitBuiltInContexts();  // without them the built-in fields expand to nothing
    const ExpressionNameResolver formerResolver = SetExpressionNameResolver(ResolveReportName);
    OSStatus st = CatchSignals([&] {
        gRpt.chain = CreateDataCtxChain();
        if (!gRpt.chain) Signal(status::kOutOfMemory);
        Signal(InitExpressionStorage());
        gRpt.contexts.push_back({RptCtx::kGlobals, false, 0, 0});
        if (project) {
            gRpt.contexts.push_back({RptCtx::kProject, false, 0, 0});
            if (project->attributes) gRpt.contexts.push_back({RptCtx::kProjectAttributes, false, 0, 0});
        }
        RptBeginHierarchy();
        Enter(tokens, 0);
        ProcessStatementBlock();
    });
    if (st == kScriptExit) st = status::kNoErr;
    RptEndHierarchy();
    if (st == status::kNoErr && gRpt.simulatorMapsBuilt && project) {
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

    if (output && !gRpt.outputPath.empty()) (void)FileSpecFromURL(gRpt.outputPath, output, false, nullptr);  // a path that names no file leaves the spec empty
    const std::string missing = gRpt.missingFile;
    if (gRpt.output) {
        if (std::fclose(gRpt.output) != 0 && st == status::kNoErr) {
            st = StatusFromErrno(errno);
            gOutputFailure = gRpt.outputPath;
        }
        gRpt.output = nullptr;
    }
    RptFreeDatabase();
    FreeExpressionStorage();
    SetExpressionNameResolver(formerResolver);
    ClearState();

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
