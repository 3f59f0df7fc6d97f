// The report-script compiler (see report_compiler.h): lexer, reductions, include files, nesting
// checks and error messages.
#include "design/report_compiler.h"

#include "design/report_tokens.h"
#include "foundation/assert.h"
#include "foundation/filespec.h"
#include "foundation/lexer.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "foundation/yacc.h"

#include "report_script_tables.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace plexa {

namespace {

namespace g = grammar::report_script;

// ---- Error messages ----

struct ScriptMessage {
    OSStatus code;
    const char* text;
};

constexpr ScriptMessage kScriptMessages[] = {
    {kScriptBadSyntax, "Bad syntax"},
    {kScriptBadNesting, "Illegal nesting of an Iterator statement"},
    {kScriptBadPins, "Illegal use of a PINS Iterator"},
    {kScriptBadDescentRules, "Illegal use of a DESCENTRULES statement"},
    {kScriptBadBreak, "Illegal use of a BREAK statement"},
    {kScriptBadBlock, "Cannot define a BLOCK at this location"},
    {kScriptIncludesTooDeep, "Too many nested include files"},
    {kScriptIncludeNotFound, "Could not find include file"},
    {kScriptNullName, "A null variable name has been produced by an expression"},
    {kScriptBadAttributesScope, "Invalid scope for an ATTRIBUTES iterator"},
    {kScriptNestTooDeep, "Scripts run by RUN or blocks run by CALL nest too deep"},
    {kScriptStringTooLong, "A string literal is longer than 250 characters"},
    {kScriptStopped, "The script was stopped before its end"},
    {kScriptTimeLimit, "The script ran longer than its time limit and was stopped"},
};

ScriptErrorHook gErrorHook = nullptr;
ScriptPathListSearch gPathListSearch = nullptr;

void PrintScriptError(const ScriptErrorReport* report) {
    const std::string text = FormatScriptError(*report);
    std::fputs(text.c_str(), stderr);
}

}  // namespace

bool GetScriptErrorMessage(OSStatus code, char* text, int32_t size, const char* fileName) {
    if (!text || size <= 0) return false;
    text[0] = 0;
    if (code == kScriptFileNotFound) {
        char name[64];
        StrNCpy(name, sizeof name, fileName ? fileName : "", 63);
        std::snprintf(text, size_t(size), "Could not find file:\r    \"%s\"", name);
        return true;
    }
    for (const ScriptMessage& m : kScriptMessages) {
        if (m.code == code) {
            std::snprintf(text, size_t(size), "%s.", m.text);
            return true;
        }
    }
    return false;
}

OSStatus ValidateNest(uint16_t bit, uint16_t* nestBits, uint16_t attributesKind) {
    const uint16_t n = *nestBits;
    if ((n & kNestDescentRules) || ((n & kNestPorts) && bit != kNestAttributes)) return kScriptBadNesting;
    if (n & bit) return kScriptBadNesting;
    if ((bit == kNestComponents && (n & kNestNets)) || (bit == kNestNets && (n & kNestComponents)))
        return kScriptBadNesting;
    if (bit == kNestPins && !(n & (kNestComponents | kNestNets))) return kScriptBadPins;
    if (bit == kNestPorts && (!(n & kNestHierarchy) || (n & (kNestComponents | kNestPins))))
        return kScriptBadNesting;
    if (bit == kNestDescentRules && n) return kScriptBadDescentRules;
    if (bit == kNestAttributes) {
        uint16_t needed;
        switch (attributesKind) {
            case kRptPinAttributes: needed = kNestPins; break;
            case kRptComponentAttributes: needed = kNestComponents | kNestPins; break;
            case kRptNetAttributes: needed = kNestNets | kNestPins; break;
            case kRptSheetAttributes: needed = kNestHierarchy; break;
            case kRptProjectAttributes: needed = 0; break;
            default: return kScriptBadAttributesScope;
        }
        if (needed && !(n & needed)) return kScriptBadAttributesScope;
    }
    *nestBits = uint16_t(n | bit);
    return status::kNoErr;
}

ScriptErrorHook SetScriptErrorHook(ScriptErrorHook hook) {
    ScriptErrorHook former = gErrorHook;
    gErrorHook = hook;
    return former;
}

ScriptErrorHook GetScriptErrorHook() { return gErrorHook; }

ScriptPathListSearch SetScriptPathListSearch(ScriptPathListSearch search) {
    ScriptPathListSearch former = gPathListSearch;
    gPathListSearch = search;
    return former;
}

std::string FormatScriptError(const ScriptErrorReport& r) {
    std::string message;
    if (r.kind == ScriptErrorKind::kStatus) {
        message = "error " + std::to_string(r.code);
    } else {
        message = r.message ? r.message : "";
        std::replace(message.begin(), message.end(), '\r', '\n');
    }
    std::string out = r.fileName ? r.fileName : "";
    if (r.line > 0) out += ":" + std::to_string(r.line) + ":" + std::to_string(r.column + 1);
    out += ": " + message + "\n";
    if (r.line > 0 && r.sourceLine) {
        out += r.sourceLine;
        out += "\n";
        if (r.caretLine && r.caretLine[0]) {
            out += r.caretLine;
            out += "\n";
        }
    }
    return out;
}

namespace {

// ---- Compiler state ----

constexpr int32_t kLexBufferSize = 512;
constexpr int32_t kTokenTextLimit = 250;  // longest string, quoted name or word kept
constexpr size_t kMaxSavedReaders = 8;    // include files open inside each other
constexpr int32_t kStringCacheSlots = 32;
constexpr int32_t kStringCacheQuantum = 512;
constexpr int32_t kOutputChunk = 256;
constexpr int32_t kSourceLineSize = 200;
// The search of an include file below its folder: levels of sub-folders, and folders in all.
constexpr int32_t kSubFolderDepth = 16;
constexpr int32_t kSubFolderLimit = 4096;
// What the lexer returns for a zero byte in the text: no table entry accepts it.
constexpr int32_t kStrayToken = 1;

// One file being read: the main script, or an include file inside it.
struct SourceLevel {
    VXLexRecord* lex = nullptr;
    StreamRecord* stream = nullptr;  // owned for include files
    bool ownsStream = false;
    std::string folder;  // where its includes are looked for first
    int32_t serial = 0;  // index into Compiler::names and paths
    dev_t device = 0;
    ino_t inode = 0;
    bool identified = false;  // device and inode are known
};

// Where a token starts: the file (by serial), line from 1, byte column from 0, line start.
struct TokenPosition {
    int32_t serial = 0;
    int32_t line = 0;
    int32_t column = 0;
    int32_t lineStart = 0;
};

// An open loop, DESCENTRULES or BLOCKDEF: the hole to patch when it closes and, for loops, the
// holes of the BREAKs that leave it.
struct Construct {
    uint16_t bit = 0;      // nest bit it set, 0 when none
    bool loop = false;
    bool block = false;
    int32_t hole = 0;
    std::vector<int32_t> breaks;
};

struct Compiler {
    ProjectRecord* project = nullptr;
    std::vector<SourceLevel> levels;  // [0] is the main script
    std::vector<std::string> names;   // file names by serial
    std::vector<std::string> paths;   // full paths by serial (may be empty)
    StringCache* cache = nullptr;
    Handle output = nullptr;
    StreamRecord* out = nullptr;
    std::vector<Construct> constructs;
    uint16_t nestBits = 0;
    bool inBlock = false;
    OSStatus error = status::kNoErr;
    bool shown = false;
    int32_t pending = -1;  // a token read ahead, -1 for none
    int64_t pendingValue = 0;
    bool afterBrace = false;
    bool context = false;  // context keywords are keywords
    TokenPosition position;
    char text[kTokenTextLimit + 1] = {};
};

void SetError(Compiler* c, OSStatus code) {
    if (c->error == status::kNoErr) c->error = code;
}

// ---- Keywords ----

struct Keyword {
    const char* text;
    int16_t token;
};

// Sorted by text for the binary search.
constexpr Keyword kKeyWordsTable[] = {
    {"APPENDFILE", g::K_APPENDFILE}, {"ASK", g::K_ASK},
    {"ASKSAVE", g::K_ASKSAVE},       {"ASKSAVEABORT", g::K_ASKSAVEABORT},
    {"ATTRIBUTES", g::K_ATTRIBUTES}, {"BLOCKDEF", g::K_BLOCKDEF},
    {"BOTTOMUP", g::K_BOTTOMUP},     {"BRANCH", g::K_BRANCH},
    {"BREAK", g::K_BREAK},           {"BY", g::K_BY},
    {"CALL", g::K_CALL},             {"CENTER", g::K_CENTER},
    {"COMPLEX", g::K_COMPLEX},       {"COMPONENT", g::K_COMPONENT},
    {"COMPONENTS", g::K_COMPONENTS}, {"COPY", g::K_COPY},
    {"COPYEX", g::K_COPYEX},         {"CROSSREF", g::K_CROSSREF},
    {"DATABASE", g::K_DATABASE},     {"DESCENTRULES", g::K_DESCENTRULES},
    {"ELSE", g::K_ELSE},             {"EXIT", g::K_EXIT},
    {"FILL", g::K_FILL},             {"FLOAT", g::K_FLOAT},
    {"GRAPHICS", g::K_GRAPHICS},     {"HIERARCHY", g::K_HIERARCHY},
    {"IF", g::K_IF},                 {"INCLUDE", g::K_INCLUDE},
    {"INT", g::K_INT},               {"ITERATE", g::K_ITERATE},
    {"JUSTIFY", g::K_JUSTIFY},       {"LEFT", g::K_LEFT},
    {"LENGTH", g::K_LENGTH},         {"LEVEL", g::K_LEVEL},
    {"MODULAR", g::K_MODULAR},       {"NET", g::K_NET},
    {"NETS", g::K_NETS},             {"NOCOMPS", g::K_NOCOMPS},
    {"NOGROUPING", g::K_NOGROUPING}, {"NONETS", g::K_NONETS},
    {"NOPINS", g::K_NOPINS},         {"NOTIFY", g::K_NOTIFY},
    {"PIN", g::K_PIN},               {"PINS", g::K_PINS},
    {"PORTS", g::K_PORTS},           {"POSITION", g::K_POSITION},
    {"PROJECT", g::K_PROJECT},       {"REPEAT", g::K_REPEAT},
    {"REPLACE", g::K_REPLACE},       {"RIGHT", g::K_RIGHT},
    {"RUN", g::K_RUN},               {"SETFILE", g::K_SETFILE},
    {"SHEET", g::K_SHEET},           {"SIMPLE", g::K_SIMPLE},
    {"STRIPEXT", g::K_STRIPEXT},     {"SUBSTRING", g::K_SUBSTRING},
    {"TOPDOWN", g::K_TOPDOWN},       {"TRUNC", g::K_TRUNC},
    {"WHILE", g::K_WHILE},           {"WRITE", g::K_WRITE},
};
static_assert(std::size(kKeyWordsTable) == 60);

constexpr bool KeywordsSorted() {
    for (size_t i = 1; i < std::size(kKeyWordsTable); ++i) {
        if (std::string_view(kKeyWordsTable[i - 1].text) >= std::string_view(kKeyWordsTable[i].text))
            return false;
    }
    return true;
}
static_assert(KeywordsSorted());

bool IsContextKeyword(int32_t token) {
    switch (token) {
        case g::K_COMPONENTS: case g::K_NETS: case g::K_PINS: case g::K_ATTRIBUTES:
        case g::K_NET: case g::K_COMPONENT: case g::K_PIN: case g::K_SHEET: case g::K_PROJECT:
            return true;
        default:
            return false;
    }
}

// The keyword token of a word, ignoring case; 0 when it is none.
int32_t FindKeyword(const char* word) {
    char upper[kTokenTextLimit + 1];
    StrNCpy(upper, sizeof upper, word, kTokenTextLimit);
    StrToUpper(upper);
    size_t low = 0, high = std::size(kKeyWordsTable);
    while (low < high) {
        const size_t middle = (low + high) / 2;
        const int order = std::strcmp(upper, kKeyWordsTable[middle].text);
        if (order == 0) return kKeyWordsTable[middle].token;
        if (order < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return 0;
}

// ---- Lexer ----

bool IsLetter(uint8_t ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || ch == '_'; }
bool IsDigit(uint8_t ch) { return ch >= '0' && ch <= '9'; }

// The next character of the current file; false at its end.
bool Next(VXLexRecord* lex, uint8_t* ch) {
    *ch = VXGetNextChar(lex);
    return !(*ch == 0 && lex->status != status::kNoErr);
}

// Takes the next character when it is `expected`.
bool Accept(VXLexRecord* lex, uint8_t expected) {
    uint8_t ch;
    if (!Next(lex, &ch)) return false;
    if (ch == expected) return true;
    VXUnGetChar(lex, ch);
    return false;
}

void RecordPosition(Compiler* c, const SourceLevel& level, int32_t start) {
    c->position.serial = level.serial;
    c->position.line = level.lex->line;
    c->position.lineStart = level.lex->lineStart;
    c->position.column = std::max(0, start - level.lex->lineStart);
}

// Keeps the token text in the string cache; its slot is the token's value.
int32_t CachedToken(Compiler* c, int32_t token, int32_t length, int64_t* value) {
    c->text[length] = 0;
    const int32_t slot = AddStringToCache(c->cache, c->text);
    if (StringBlockAddStatus() != status::kNoErr) {
        SetError(c, StringBlockAddStatus());
        return 0;
    }
    *value = slot;
    return token;
}

int64_t FloatBits(double v) {
    int64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

double BitsFloat(int64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

int32_t LexNumber(VXLexRecord* lex, uint8_t first, int64_t* value) {
    std::string digits(1, char(first));
    bool isFloat = first == '.';
    uint8_t ch;
    bool more = Next(lex, &ch);
    while (more && IsDigit(ch)) {
        digits += char(ch);
        more = Next(lex, &ch);
    }
    if (more && ch == '.' && !isFloat) {
        isFloat = true;
        digits += '.';
        more = Next(lex, &ch);
        while (more && IsDigit(ch)) {
            digits += char(ch);
            more = Next(lex, &ch);
        }
    }
    if (more) VXUnGetChar(lex, ch);
    if (!isFloat) {
        errno = 0;
        const uint32_t v = StringToUInt32(digits.c_str(), nullptr, 10);
        if (errno != ERANGE) {
            *value = v;
            return g::T_INTEGER;
        }
        // Beyond 32 bits the digits are kept as a float rather than clamped.
    }
    // ".5" and "5." read as "0.5" and "05.0".
    std::string text = "0" + digits;
    if (text.back() == '.') text += '0';
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    *value = FloatBits(v);
    return g::T_FLOAT;
}

// Reads a quoted string (terminator '"') or quoted name ('\'') after its opening quote.
int32_t LexQuoted(Compiler* c, VXLexRecord* lex, uint8_t quote, int64_t* value) {
    int32_t length = 0;
    uint8_t ch;
    while (Next(lex, &ch) && ch != quote && ch != 13) {
        if (ch == '\\') {
            if (!Next(lex, &ch)) break;
            if (quote == '"') {
                switch (ch) {
                    case 'l': case 'L': ch = 10; break;
                    case 'n': case 'N': case 'r': case 'R': ch = 13; break;
                    case 't': case 'T': ch = 9; break;
                    default: break;
                }
            }
        }
        if (length < kTokenTextLimit) {
            c->text[length++] = char(ch);
        } else if (quote == '"') {
            // Never cut without a word: the literal is refused where it starts.
            SetError(c, kScriptStringTooLong);
            return 0;
        }
    }
    return CachedToken(c, quote == '"' ? g::T_STRING : g::T_NAME, length, value);
}

void PopInclude(Compiler* c);

// The next token of the text, include files spliced in; 0 at the end or once an error is set.
int32_t ReadToken(Compiler* c, bool afterHash, int64_t* value) {
    *value = 0;
    for (;;) {
        if (c->error) return 0;
        SourceLevel& level = c->levels.back();
        VXLexRecord* lex = level.lex;
        uint8_t ch;
        if (!Next(lex, &ch)) {
            if (lex->status != status::kEndOfFile) {
                SetError(c, lex->status);
                return 0;
            }
            if (c->levels.size() > 1) {
                PopInclude(c);
                continue;
            }
            RecordPosition(c, level, lex->position);
            return 0;
        }
        if (ch == ' ' || ch == 9 || ch == 10 || ch == 11 || ch == 12 || ch == 13) continue;
        RecordPosition(c, level, lex->position - 1);
        switch (ch) {
            case '/':
                if (Accept(lex, '/')) {
                    while (Next(lex, &ch) && ch != 13) {
                    }
                    continue;
                }
                return Accept(lex, '=') ? int32_t(g::T_DIV_ASSIGN) : '/';
            case '!': return Accept(lex, '=') ? g::T_NE : g::T_NOT;
            case '<':
                if (Accept(lex, '>')) return g::T_NE;
                return Accept(lex, '=') ? int32_t(g::T_LE) : '<';
            case '>':
                if (Accept(lex, '<')) return g::T_NE;
                return Accept(lex, '=') ? int32_t(g::T_GE) : '>';
            case '=': return Accept(lex, '=') ? g::T_EQ : g::T_ASSIGN;
            case '*': return Accept(lex, '=') ? int32_t(g::T_MUL_ASSIGN) : '*';
            case '+': return Accept(lex, '=') ? int32_t(g::T_ADD_ASSIGN) : '+';
            case '-': return Accept(lex, '=') ? int32_t(g::T_SUB_ASSIGN) : '-';
            case ':': return Accept(lex, '=') ? int32_t(g::T_CAT_ASSIGN) : ':';
            case '&': Accept(lex, '&'); return g::T_AND;
            case '|': Accept(lex, '|'); return g::T_OR;
            case '"':
            case '\'':
                return LexQuoted(c, lex, ch, value);
            case '#': {
                if (afterHash) return '#';
                const TokenPosition hash = c->position;
                const int32_t token = ReadToken(c, true, value);
                if (token == g::K_INCLUDE) return token;
                if (token == 0 && c->error) return 0;
                c->position = hash;
                *value = 0;
                return '#';
            }
            case 0:
                return kStrayToken;
            default:
                break;
        }
        if (IsDigit(ch) || ch == '.') return LexNumber(lex, ch, value);
        if (!IsLetter(ch)) return ch;
        int32_t length = 0;
        do {
            if (length < kTokenTextLimit) c->text[length++] = char(ch);
        } while (Next(lex, &ch) && (IsLetter(ch) || IsDigit(ch)));
        if (!(ch == 0 && lex->status)) VXUnGetChar(lex, ch);
        c->text[length] = 0;
        const int32_t keyword = FindKeyword(c->text);
        const bool isKeyword = keyword != 0 && (keyword != g::K_INCLUDE || afterHash) &&
                               (!IsContextKeyword(keyword) || c->context);
        if (isKeyword) return keyword;
        return CachedToken(c, g::T_NAME, length, value);
    }
}

// The engine's lexer: ReadToken, with a ";" put in after a "}" unless another "}", ELSE, ";" or
// the end follows, and with the token queued by an include.
int32_t LexReportScript(void* user, int64_t* value) {
    auto* c = static_cast<Compiler*>(user);
    *value = 0;
    try {
        if (c->error) return 0;
        int32_t token;
        if (c->pending >= 0) {
            token = c->pending;
            *value = c->pendingValue;
            c->pending = -1;
        } else if (c->afterBrace) {
            c->afterBrace = false;
            token = ReadToken(c, false, value);
            if (token != '}' && token != g::K_ELSE && token != ';' && token != 0) {
                c->pending = token;
                c->pendingValue = *value;
                *value = 0;
                return ';';
            }
        } else {
            token = ReadToken(c, false, value);
        }
        if (token == '}') c->afterBrace = true;
        return token;
    } catch (const std::bad_alloc&) {
        SetError(c, status::kOutOfMemory);
        return 0;
    }
}

// ---- Include files ----

bool RegularFile(const std::string& path, struct stat* info) {
    return !path.empty() && ::stat(path.c_str(), info) == 0 && S_ISREG(info->st_mode);
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StrCINCmp(a.c_str(), b.c_str(), uint16_t(std::min<size_t>(a.size(), 65535))) == 0;
}

// The file of that name in the folder (the exact name first, else the first name equal to it
// without regard to case); empty when there is none.
std::string FindInFolder(const std::string& folder, const std::string& name) {
    namespace fs = std::filesystem;
    struct stat info;
    const std::string exact = folder + "/" + name;
    if (RegularFile(exact, &info)) return exact;
    std::string best;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (!EqualIgnoringCase(entry, name) || (!best.empty() && entry >= best)) continue;
        if (RegularFile(it->path().string(), &info)) best = entry;
    }
    return best.empty() ? std::string() : folder + "/" + best;
}

// Searches the sub-folders of a folder, in name order, each before its own sub-folders; linked
// folders are not entered, so a link back up the tree cannot make the search go round.
std::string FindInSubFolders(const std::string& folder, const std::string& name, int32_t depth,
                             int32_t* visited) {
    namespace fs = std::filesystem;
    if (depth > kSubFolderDepth) return std::string();
    std::vector<std::string> subFolders;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_symlink(typeError) || !it->is_directory(typeError)) continue;
        subFolders.push_back(it->path().string());
    }
    std::sort(subFolders.begin(), subFolders.end());
    for (const std::string& sub : subFolders) {
        if (++*visited > kSubFolderLimit) return std::string();
        std::string found = FindInFolder(sub, name);
        if (found.empty()) found = FindInSubFolders(sub, name, depth + 1, visited);
        if (!found.empty()) return found;
    }
    return std::string();
}

// The path of an include file named in a script read from `folder`; empty when not found.
std::string ResolveInclude(Compiler* c, const std::string& folder, const std::string& name) {
    return ResolveScriptName(c->project, folder, folder, name);
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int32_t AddSource(Compiler* c, const std::string& name, const std::string& path) {
    c->names.push_back(name);
    c->paths.push_back(path);
    return int32_t(c->names.size() - 1);
}

void CloseLevel(SourceLevel* level) {
    VXDestroyLex(level->lex);
    level->lex = nullptr;
    if (level->ownsStream && level->stream) (void)CloseAndMaybeFlushFileStream(level->stream, false);  // read only: nothing to flush
    level->stream = nullptr;
}

void PopInclude(Compiler* c) {
    PLEXA_ASSERT(c->levels.size() > 1);
    CloseLevel(&c->levels.back());
    c->levels.pop_back();
}

// Opens an include file and reads on in it; a ";" is queued to end the include statement.
void IncludeFile(Compiler* c, const char* name) {
    if (c->levels.size() > kMaxSavedReaders) {
        SetError(c, kScriptIncludesTooDeep);
        return;
    }
    const std::string path = ResolveInclude(c, c->levels.back().folder, name);
    if (c->error) return;
    struct stat info;
    if (path.empty() || !RegularFile(path, &info)) {
        SetError(c, kScriptIncludeNotFound);
        return;
    }
    // A file that is being read already would include itself again and again.
    for (const SourceLevel& level : c->levels) {
        if (level.identified && level.device == info.st_dev && level.inode == info.st_ino) {
            SetError(c, kScriptIncludesTooDeep);
            return;
        }
    }
    SourceLevel level;
    if (OSStatus st = OpenFileStream(path.c_str(), true, &level.stream)) {
        SetError(c, st);
        return;
    }
    level.ownsStream = true;
    level.lex = VXCreateLex(level.stream, kLexBufferSize);
    if (!level.lex) {
        CloseLevel(&level);
        SetError(c, status::kOutOfMemory);
        return;
    }
    level.folder = FolderOf(path);
    level.device = info.st_dev;
    level.inode = info.st_ino;
    level.identified = true;
    level.serial = AddSource(c, NameOf(path), path);
    c->levels.push_back(level);
    PLEXA_ASSERT(c->pending < 0);
    c->pending = ';';
    c->pendingValue = 0;
}

// ---- Output ----

void Emit(Compiler* c, const void* bytes, int32_t count) {
    if (c->error) return;
    if (OSStatus st = StreamWrite(c->out, bytes, count)) SetError(c, st);
}

void EmitCode(Compiler* c, uint16_t code) { Emit(c, &code, 2); }
void EmitWord(Compiler* c, uint16_t value) { Emit(c, &value, 2); }
void EmitLong(Compiler* c, uint32_t value) { Emit(c, &value, 4); }

void EmitString(Compiler* c, const char* text) {
    const size_t length = std::min<size_t>(std::strlen(text), 255);
    uint8_t bytes[257];
    bytes[0] = uint8_t(length);
    std::memcpy(bytes + 1, text, length);
    int32_t count = int32_t(length) + 1;
    if (count & 1) bytes[count++] = 0;
    Emit(c, bytes, count);
}

int32_t Here(Compiler* c) { return GetStreamPosition(c->out); }

// Writes a hole and returns its offset.
int32_t EmitHole(Compiler* c) {
    const int32_t hole = Here(c);
    EmitLong(c, 0);
    return hole;
}

void Patch(Compiler* c, int32_t hole, int32_t target) {
    if (c->error) return;
    const int32_t here = Here(c);
    OSStatus st = SetStreamPosition(c->out, hole);
    if (st == status::kNoErr) st = StreamWriteLong(c->out, uint32_t(target));
    const OSStatus back = SetStreamPosition(c->out, here);
    if (st == status::kNoErr) st = back;
    if (st) SetError(c, st);
}

// ---- Reductions ----

enum class Act : uint8_t {
    kCode,             // writes the rule's code
    kValue,            // the rule's value is its parameter
    kSecondValue,      // the value of the second symbol
    kSecondOrValue,    // the value of the second symbol, or the parameter
    kEndScript,
    kExitWithoutValue,
    kAssign,           // variable assign-op value: the operator from the second symbol
    kIfCondition,
    kElse,
    kIfEnd,
    kIfElseEnd,
    kBreak,
    kInclude,
    kContextOn,
    kHierarchyKind,
    kOpenHierarchy,
    kOpenList,
    kAttributeKind,
    kOpenAttributes,
    kOpenDescentRules,
    kOpenWhile,
    kOpenBlock,
    kClose,
    kName,
    kString,
    kFloat,
    kInteger,
};

struct RuleAction {
    const char* rule;
    Act act;
    uint16_t parameter;
};

constexpr RuleAction kRuleActions[] = {
    {"script : statements", Act::kEndScript, 0},
    {"statement : exit_head", Act::kExitWithoutValue, 0},
    {"statement : variable assign_op expression", Act::kAssign, 0},
    {"statement : descent_head statement", Act::kClose, 0},
    {"statement : if_cond statement", Act::kIfEnd, 0},
    {"statement : if_cond statement else_mark statement", Act::kIfElseEnd, 0},
    {"statement : while_head expression statement", Act::kClose, 0},
    {"statement : K_BREAK", Act::kBreak, 0},
    {"statement : block_head expression statement", Act::kClose, 0},
    {"statement : K_INCLUDE T_STRING", Act::kInclude, 0},
    {"exit_head : K_EXIT", Act::kCode, kRptExit},
    {"db_head : K_DATABASE", Act::kCode, kRptDatabase},
    {"option : K_NONETS", Act::kCode, kRptNoNets},
    {"option : K_NOCOMPS", Act::kCode, kRptNoComps},
    {"option : K_NOPINS", Act::kCode, kRptNoPins},
    {"option : K_MODULAR", Act::kCode, kRptModular},
    {"option : K_CROSSREF", Act::kCode, kRptCrossRef},
    {"option : K_NOGROUPING", Act::kCode, kRptNoGrouping},
    {"option : K_GRAPHICS", Act::kCode, kRptGraphics},
    {"out_head : K_SETFILE", Act::kCode, kRptSetFile},
    {"out_head : K_APPENDFILE", Act::kCode, kRptAppendFile},
    {"out_head : K_WRITE", Act::kCode, kRptWrite},
    {"out_head : K_CALL", Act::kCode, kRptCall},
    {"out_head : K_COPY", Act::kCode, kRptCopy},
    {"out_head : K_COPYEX", Act::kCode, kRptCopyEx},
    {"out_head : K_RUN", Act::kCode, kRptRun},
    {"out_head : K_NOTIFY", Act::kCode, kRptNotify},
    {"descent_head : K_DESCENTRULES", Act::kOpenDescentRules, 0},
    {"if_head : K_IF", Act::kCode, kRptIf},
    {"if_cond : if_head expression", Act::kIfCondition, 0},
    {"else_mark : K_ELSE", Act::kElse, 0},
    {"while_head : K_WHILE", Act::kOpenWhile, 0},
    {"block_head : K_BLOCKDEF", Act::kOpenBlock, 0},
    {"iterate_kw : K_ITERATE", Act::kContextOn, 0},
    {"iteration : hier_head statement", Act::kClose, 0},
    {"iteration : list_head statement", Act::kClose, 0},
    {"iteration : attr_head statement", Act::kClose, 0},
    {"hier_head : hier_kind hier_order", Act::kOpenHierarchy, 0},
    {"hier_kind : K_SIMPLE K_HIERARCHY", Act::kHierarchyKind, kRptSimpleHierarchy},
    {"hier_kind : K_COMPLEX K_HIERARCHY", Act::kHierarchyKind, kRptComplexHierarchy},
    {"hier_order : K_TOPDOWN grouping", Act::kSecondValue, 0},
    {"hier_order : K_BOTTOMUP grouping", Act::kSecondOrValue, kRptBottomUp},
    {"grouping : K_BY K_BRANCH", Act::kValue, 0},
    {"grouping : K_BY K_LEVEL", Act::kValue, kRptByLevel},
    {"list_head : list_kind sort_clause", Act::kCode, kRptSortKeys},
    {"list_kind : K_PORTS", Act::kOpenList, kRptPorts},
    {"list_kind : K_COMPONENTS", Act::kOpenList, kRptComponents},
    {"list_kind : K_NETS", Act::kOpenList, kRptNets},
    {"list_kind : K_PINS", Act::kOpenList, kRptPins},
    {"attr_head : attr_kind K_ATTRIBUTES", Act::kOpenAttributes, 0},
    {"attr_kind : K_PIN", Act::kAttributeKind, kRptPinAttributes},
    {"attr_kind : K_COMPONENT", Act::kAttributeKind, kRptComponentAttributes},
    {"attr_kind : K_NET", Act::kAttributeKind, kRptNetAttributes},
    {"attr_kind : K_SHEET", Act::kAttributeKind, kRptSheetAttributes},
    {"attr_kind : K_PROJECT", Act::kAttributeKind, kRptProjectAttributes},
    {"assign_op : T_ASSIGN", Act::kValue, kRptAssign},
    {"assign_op : T_ADD_ASSIGN", Act::kValue, kOpAddAssign},
    {"assign_op : T_SUB_ASSIGN", Act::kValue, kOpSubtractAssign},
    {"assign_op : T_MUL_ASSIGN", Act::kValue, kOpMultiplyAssign},
    {"assign_op : T_DIV_ASSIGN", Act::kValue, kOpDivideAssign},
    {"assign_op : T_CAT_ASSIGN", Act::kValue, kRptJoinAssign},
    {"variable : T_NAME", Act::kName, 0},
    {"bracket_mark : '['", Act::kCode, kRptComputedName},
    {"expression : term", Act::kCode, kRptEndExpression},
    {"term : term ':' term", Act::kCode, kRptJoin},
    {"term : term '+' term", Act::kCode, kOpAdd},
    {"term : term '-' term", Act::kCode, kOpSubtract},
    {"term : term '*' term", Act::kCode, kOpMultiply},
    {"term : term '/' term", Act::kCode, kOpDivide},
    {"term : term '%' term", Act::kCode, kOpRemainder},
    {"term : term T_EQ term", Act::kCode, kOpEqual},
    {"term : term '<' term", Act::kCode, kOpLess},
    {"term : term '>' term", Act::kCode, kOpGreater},
    {"term : term T_LE term", Act::kCode, kOpLessEqual},
    {"term : term T_GE term", Act::kCode, kOpGreaterEqual},
    {"term : term T_NE term", Act::kCode, kOpNotEqual},
    {"term : term T_AND term", Act::kCode, kOpAnd},
    {"term : term T_OR term", Act::kCode, kOpOr},
    {"term : variable assign_op term", Act::kAssign, 0},
    {"term : T_NOT term", Act::kCode, kOpNot},
    {"term : '-' term", Act::kCode, kOpNegate},
    {"operand : T_STRING", Act::kString, 0},
    {"operand : T_FLOAT", Act::kFloat, 0},
    {"operand : T_INTEGER", Act::kInteger, 0},
    {"number_head : K_FLOAT", Act::kCode, kRptFloatFn},
    {"number_head : K_INT", Act::kCode, kRptIntFn},
    {"second_mark : ','", Act::kCode, kRptSecondArgument},
    {"justify_head : K_JUSTIFY", Act::kCode, kRptJustify},
    {"fill_mark : ',' K_FILL", Act::kCode, kRptFillCharacter},
    {"alignment : K_RIGHT", Act::kCode, kRptJustifyRight},
    {"alignment : K_CENTER", Act::kCode, kRptJustifyCenter},
    {"pair_head : K_REPEAT", Act::kCode, kRptRepeat},
    {"pair_head : K_TRUNC", Act::kCode, kRptTrunc},
    {"pair_head : K_ASKSAVE", Act::kCode, kRptAskSave},
    {"pair_head : K_ASKSAVEABORT", Act::kCode, kRptAskSaveAbort},
    {"triple_head : K_SUBSTRING", Act::kCode, kRptSubstring},
    {"triple_head : K_REPLACE", Act::kCode, kRptReplace},
    {"triple_head : K_POSITION", Act::kCode, kRptPosition},
    {"triple_head : K_ASK", Act::kCode, kRptAsk},
    {"stripext_head : K_STRIPEXT", Act::kCode, kRptStripExt},
    {"extension_mark : ','", Act::kCode, kRptNextArgument},
    {"length_head : K_LENGTH", Act::kCode, kRptLength},
};

constexpr size_t kRuleCount = std::size(g::k_rules);
constexpr int16_t kNoAction = -1;

// For each rule number, the index of its entry in kRuleActions (kNoAction: the value passes on).
const int16_t* RuleActionIndex() {
    static const std::vector<int16_t> index = [] {
        std::vector<int16_t> map(kRuleCount, kNoAction);
        for (size_t a = 0; a < std::size(kRuleActions); ++a) {
            bool found = false;
            for (size_t r = 0; r < kRuleCount; ++r) {
                if (std::strcmp(g::k_rules[r], kRuleActions[a].rule) == 0) {
                    map[r] = int16_t(a);
                    found = true;
                    break;
                }
            }
            PLEXA_ASSERT(found);  // the grammar has every rule named here
            (void)found;
        }
        return map;
    }();
    return index.data();
}

uint16_t NestBitOfList(uint16_t code) {
    switch (code) {
        case kRptComponents: return kNestComponents;
        case kRptNets: return kNestNets;
        case kRptPins: return kNestPins;
        default: return kNestPorts;
    }
}

// Opens a loop or other construct: checks the nesting of iterators (not inside a block
// definition, where they are checked when the block runs), writes its code and hole.
void OpenConstruct(Compiler* c, uint16_t code, uint16_t bit, bool loop, uint16_t attributesKind) {
    Construct construct;
    if (bit && !c->inBlock) {
        if (OSStatus st = ValidateNest(bit, &c->nestBits, attributesKind)) {
            SetError(c, st);
            return;
        }
        construct.bit = bit;
    }
    construct.loop = loop;
    EmitCode(c, code);
    construct.hole = EmitHole(c);
    c->constructs.push_back(std::move(construct));
}

// Closes the innermost construct: "} ", then its hole and its BREAKs go behind it.
void CloseConstruct(Compiler* c) {
    PLEXA_ASSERT(!c->constructs.empty());
    EmitCode(c, kRptEndBlock);
    const Construct& construct = c->constructs.back();
    const int32_t here = Here(c);
    Patch(c, construct.hole, here);
    for (int32_t hole : construct.breaks) Patch(c, hole, here);
    c->nestBits = uint16_t(c->nestBits & ~construct.bit);
    if (construct.block) c->inBlock = false;
    c->constructs.pop_back();
}

void Reduce(Compiler* c, int32_t rule, const int64_t* top, int64_t* value) {
    const int16_t index = RuleActionIndex()[rule];
    if (index == kNoAction) return;
    const RuleAction& action = kRuleActions[index];
    const int32_t length = g::k_len[rule];
    // $k of the rule (from 1).
    auto symbol = [&](int32_t k) { return top[k - length]; };
    char text[kTokenTextLimit + 1];
    switch (action.act) {
        case Act::kCode: EmitCode(c, action.parameter); break;
        case Act::kValue: *value = action.parameter; break;
        case Act::kSecondValue: *value = symbol(2); break;
        case Act::kSecondOrValue: *value = symbol(2) | action.parameter; break;
        case Act::kEndScript: EmitCode(c, kRptEndBlock); break;
        case Act::kExitWithoutValue:
            EmitCode(c, kRptInteger);
            EmitLong(c, 0);
            EmitCode(c, kRptEndExpression);
            break;
        case Act::kAssign: EmitCode(c, uint16_t(symbol(2))); break;
        case Act::kIfCondition: *value = EmitHole(c); break;
        case Act::kElse:
            EmitCode(c, kRptBranch);
            *value = EmitHole(c);
            break;
        case Act::kIfEnd: Patch(c, int32_t(symbol(1)), Here(c)); break;
        case Act::kIfElseEnd:
            // The false branch starts behind the jump over the ELSE part.
            Patch(c, int32_t(symbol(1)), int32_t(symbol(3)) + 4);
            Patch(c, int32_t(symbol(3)), Here(c));
            break;
        case Act::kBreak: {
            auto loop = std::find_if(c->constructs.rbegin(), c->constructs.rend(),
                                     [](const Construct& k) { return k.loop; });
            if (loop == c->constructs.rend()) {
                SetError(c, kScriptBadBreak);
                break;
            }
            EmitCode(c, kRptBreak);
            loop->breaks.push_back(EmitHole(c));
            break;
        }
        case Act::kInclude:
            GetStringCacheString(c->cache, int32_t(symbol(2)), text, sizeof text);
            IncludeFile(c, text);
            break;
        case Act::kContextOn: c->context = true; break;
        case Act::kHierarchyKind:
            c->context = false;
            *value = action.parameter;
            break;
        case Act::kOpenHierarchy:
            OpenConstruct(c, kRptHierarchy, kNestHierarchy, true, 0);
            EmitWord(c, uint16_t(symbol(1)));
            EmitWord(c, uint16_t(symbol(2)));
            break;
        case Act::kOpenList:
            c->context = false;
            OpenConstruct(c, action.parameter, NestBitOfList(action.parameter), true, 0);
            break;
        case Act::kAttributeKind: *value = action.parameter; break;
        case Act::kOpenAttributes: {
            c->context = false;
            const uint16_t kind = uint16_t(symbol(1));
            OpenConstruct(c, kRptAttributes, kNestAttributes, true, kind);
            EmitWord(c, kind);
            break;
        }
        case Act::kOpenDescentRules:
            OpenConstruct(c, kRptDescentRules, kNestDescentRules, false, 0);
            break;
        case Act::kOpenWhile: OpenConstruct(c, kRptWhile, 0, true, 0); break;
        case Act::kOpenBlock:
            if (c->inBlock || !c->constructs.empty()) {
                SetError(c, kScriptBadBlock);
                break;
            }
            OpenConstruct(c, kRptBlockDef, 0, false, 0);
            if (!c->error) {
                c->constructs.back().block = true;
                c->inBlock = true;
            }
            break;
        case Act::kClose: CloseConstruct(c); break;
        case Act::kName:
            GetStringCacheString(c->cache, int32_t(symbol(1)), text, sizeof text);
            EmitCode(c, kRptName);
            EmitString(c, text);
            break;
        case Act::kString:
            GetStringCacheString(c->cache, int32_t(symbol(1)), text, sizeof text);
            EmitCode(c, kRptString);
            EmitString(c, text);
            break;
        case Act::kFloat: {
            EmitCode(c, kRptFloat);
            const double v = BitsFloat(symbol(1));
            Emit(c, &v, 8);
            break;
        }
        case Act::kInteger:
            EmitCode(c, kRptInteger);
            EmitLong(c, uint32_t(symbol(1)));
            break;
    }
}

void YaccActionDispatcher(int32_t rule, YaccStack* stack, void* user, int64_t* value) {
    auto* c = static_cast<Compiler*>(user);
    // After the first error nothing more is written; the parse is ending.
    if (c->error) return;
    try {
        Reduce(c, rule, stack->valueTop, value);
    } catch (const std::bad_alloc&) {
        SetError(c, status::kOutOfMemory);
    }
}

// ---- Showing the error ----

void ShowError(const ScriptErrorReport& report) {
    (gErrorHook ? gErrorHook : PrintScriptError)(&report);
}

void ReportScriptError(void* user, const char* message) {
    auto* c = static_cast<Compiler*>(user);
    if (c->shown) return;
    c->shown = true;
    ScriptErrorReport report{};
    const TokenPosition& p = c->position;
    const size_t serial = size_t(p.serial);
    report.fileName = serial < c->names.size() ? c->names[serial].c_str() : "";
    report.path = serial < c->paths.size() ? c->paths[serial].c_str() : "";
    report.line = p.line;
    report.column = p.column;
    char source[kSourceLineSize] = {};
    char caret[kSourceLineSize + 1] = {};
    for (const SourceLevel& level : c->levels) {
        if (level.serial != p.serial || !level.lex) continue;
        int32_t size = kSourceLineSize;
        if (VXGetLexDataLine(level.lex, p.lineStart, source, &size) != status::kNoErr) size = 0;
        source[size] = 0;
        if (p.column <= size) {
            // Blanks under the text (tabs under tabs, none for the tail bytes of a character).
            int32_t n = 0;
            for (int32_t i = 0; i < p.column; ++i) {
                const uint8_t ch = uint8_t(source[i]);
                if ((ch & 0xC0) == 0x80) continue;
                caret[n++] = ch == 9 ? char(9) : ' ';
            }
            caret[n++] = '^';
            caret[n] = 0;
        }
    }
    report.sourceLine = source;
    report.caretLine = caret;
    char text[256];
    if (StrCINCmp(message, "syntax error", 13) == 0) {
        report.code = c->error ? c->error : kScriptBadSyntax;
        if (GetScriptErrorMessage(report.code, text, sizeof text, report.fileName)) {
            report.kind = ScriptErrorKind::kScript;
            report.message = text;
        } else {
            report.kind = ScriptErrorKind::kStatus;
        }
    } else {
        report.kind = ScriptErrorKind::kAlert;
        report.code = c->error;
        report.message = message;
    }
    ShowError(report);
}

// ---- Compiling ----

OSStatus Compile(Compiler* c, StreamRecord* source, Handle* tokens) {
    SourceLevel& main = c->levels.front();
    main.stream = source;
    main.lex = VXCreateLex(source, kLexBufferSize);
    c->cache = CreateStringCache(kStringCacheSlots, kStringCacheQuantum, false);
    c->output = AllocHandle(gGenPool, 0);
    if (!main.lex || !c->cache || !c->output) return status::kOutOfMemory;
    if (CreateStream(kStreamHandle, StreamTarget::OfHandle(c->output), &c->out) != status::kNoErr)
        return status::kOutOfMemory;
    SetHandleStreamChunkSize(c->out, kOutputChunk);

    YaccEngineContext engine;
    InitYaccEngineContext(&engine, 0, 0, g::kYYTABLESIZE, g::k_lhs, g::k_len, g::k_defred,
                          g::k_dgoto, g::k_sindex, g::k_rindex, g::k_gindex, g::k_table,
                          g::k_check, g::kYYFINAL, int16_t(g::kYYERRCODE));
    const int32_t parsed =
        RunYaccEngine(&engine, LexReportScript, ReportScriptError, YaccActionDispatcher, c);
    if (parsed != 0 || c->error) {
        // A parse that ended at an error set by the lexer or a reduction reads as a syntax error.
        ReportScriptError(c, "syntax error");
        return status::kUserCancelled;
    }
    SetHandleStreamChunkSize(c->out, 0);
    if (OSStatus st = SetStreamEnd(c->out, Here(c))) return st;
    DisposeStream(c->out);
    c->out = nullptr;
    *tokens = c->output;
    c->output = nullptr;
    return status::kNoErr;
}

void Release(Compiler* c) {
    while (c->levels.size() > 1) PopInclude(c);
    if (!c->levels.empty()) CloseLevel(&c->levels.front());
    if (c->cache) DestroyStringCache(c->cache);
    if (c->out) DisposeStream(c->out);
    if (c->output) MemFree(c->output);
}

OSStatus TokenizeAt(ProjectRecord* project, const FileSpec* script, const std::string& path,
                    StreamRecord* source, Handle* tokens) {
    *tokens = nullptr;
    OSStatus st;
    try {
        Compiler c;
        c.project = project;
        SourceLevel main;
        main.serial = AddSource(&c, script->name, path);
        std::string folder;
        if (CreateDirectoryURLFromDirectory(&script->directory, &folder) == status::kNoErr) {
            main.folder = folder;
        }
        struct stat info;
        if (RegularFile(path, &info)) {
            main.device = info.st_dev;
            main.inode = info.st_ino;
            main.identified = true;
        }
        c.levels.push_back(main);
        struct Releaser {
            Compiler* c;
            ~Releaser() { Release(c); }
        } releaser{&c};
        st = Compile(&c, source, tokens);
    } catch (const std::bad_alloc&) {
        st = status::kOutOfMemory;
    }
    return st;
}

}  // namespace

OSStatus TokenizeScriptStream(ProjectRecord* project, const FileSpec* script, StreamRecord* source,
                              Handle* tokens) {
    if (!tokens) return status::kParamErr;
    *tokens = nullptr;
    if (!script || !source) return status::kParamErr;
    std::string path;
    if (CreateURLFromFileSpec(script, false, &path) != status::kNoErr) path.clear();
    return TokenizeAt(project, script, path, source, tokens);
}

OSStatus TokenizeScript(ProjectRecord* project, const FileSpec* script, Handle* tokens) {
    if (!tokens) return status::kParamErr;
    *tokens = nullptr;
    if (!script) return status::kParamErr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(script, false, &path)) return st;
    struct stat info;
    if (!RegularFile(path, &info)) return status::kNotFound;
    StreamRecord* source = nullptr;
    if (OSStatus st = OpenFileStream(path.c_str(), true, &source)) return st;
    const OSStatus st = TokenizeAt(project, script, path, source, tokens);
    (void)CloseAndMaybeFlushFileStream(source, false);  // read only: nothing to flush
    return st;
}

std::string ResolveScriptName(ProjectRecord* project, const std::string& folder,
                              const std::string& pathBase, const std::string& name) {
    if (name.empty()) return std::string();
    struct stat info;
    if (name.find_first_of(":/\\") != std::string::npos) {
        // A path: absolute as it stands, else relative to pathBase. "\\" and ":" separate
        // folders as "/" does (a colon path's leading ":" only says that it is relative).
        std::string path = name;
        if (path.find('/') == std::string::npos && path.find('\\') == std::string::npos) {
            if (path[0] == ':') path.erase(0, 1);
            std::replace(path.begin(), path.end(), ':', '/');
            if (path.empty()) return std::string();
        }
        std::replace(path.begin(), path.end(), '\\', '/');
        if (path[0] != '/' && pathBase.empty()) return std::string();
        path = NormalizePath(path, pathBase);
        return RegularFile(path, &info) ? path : std::string();
    }
    // Without a folder of its own (a script that is no file) a name is looked up in the path
    // list only.
    if (!folder.empty()) {
        std::string found = FindInFolder(folder, name);
        if (!found.empty()) return found;
    }
    if (gPathListSearch && project) {
        FileSpec spec;
        ClearFileSpec(&spec);
        std::string path;
        if (gPathListSearch(project, name.c_str(), &spec) &&
            CreateURLFromFileSpec(&spec, false, &path) == status::kNoErr && RegularFile(path, &info)) {
            return path;
        }
    }
    if (folder.empty()) return std::string();
    int32_t visited = 0;
    return FindInSubFolders(folder, name, 1, &visited);
}

}  // namespace plexa
