// The expression evaluator; see expression.h.
#include "model/expression.h"
#include "model/modelstate.h"

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "foundation/yacc.h"

#include "expression_tables.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <type_traits>

namespace plexa {

ExpressionStorage gExpr = {};

namespace {

namespace g = grammar::expression;

constexpr uint32_t kTermChunk = 64;
// The longest string literal or name the lexer keeps; a longer one makes the expression fail
// rather than be cut.
constexpr int32_t kSavedStringLimit = 250;
// The longest name that a bracketed expression may compute.
constexpr int32_t kComputedNameLimit = 127;
// Names and looked-up values.
constexpr int32_t kValueSize = 256;
constexpr int32_t kCacheSlots = 32;
// Evaluations inside evaluations (names whose values hold expressions) beyond this fail.
constexpr int32_t kMaxNesting = 32;
// What the lexer returns after it failed: no parse table has an entry for it, so the parse stops.
constexpr int32_t kLexFailed = 0x7FFF;

ExpressionNameResolver gResolver = nullptr;
int32_t& gNesting = gModelState.expressionNesting;

// ---- Term texts ----

int32_t TermLength(const ExpressionTerm* t) { return GetStreamPosition(t->stream); }

void SetTermText(ExpressionTerm* t, const char* bytes, int32_t length) {
    Signal(SetStreamPosition(t->stream, 0));
    Signal(StreamWrite(t->stream, bytes, length));
}

// Writes a terminator after the text (not counted in its length) so that it reads as a C string
// through *t->text until the next change of any handle.
void TerminateTermText(ExpressionTerm* t) {
    static const char zero = 0;
    Signal(StreamWrite(t->stream, &zero, 1));
    Signal(OffsetStreamPosition(t->stream, -1));
}

const char* TermCString(ExpressionTerm* t) {
    TerminateTermText(t);
    return *t->text;
}

// The longest head of at most `limit` bytes that does not split a UTF-8 character (the cut stays
// at `limit` when the bytes around it are not UTF-8).
int32_t CharacterCut(const char* s, int32_t length, int32_t limit) {
    if (length <= limit) return length;
    if (limit <= 0) return 0;
    int32_t i = limit;
    while (i > 0 && limit - i < 3 && (uint8_t(s[i]) & 0xC0) == 0x80) --i;
    if (i == limit) return limit;
    const uint8_t lead = uint8_t(s[i]);
    const int32_t n = lead >= 0xF8 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    return n && i + n > limit && i + n <= length ? i : limit;
}

int32_t CopyCut(char* out, int32_t size, const char* text, int32_t length) {
    if (!out || size < 1) return 0;
    const int32_t n = CharacterCut(text, length, size - 1);
    std::memcpy(out, text, size_t(n));
    out[n] = 0;
    return n;
}

// ---- Terms and lists ----

void FreeTermParts(ExpressionTerm* t) {
    if (t->stream) DisposeStream(t->stream);
    if (t->text) MemFree(t->text);
    t->stream = nullptr;
    t->text = nullptr;
}

void TermFreeProc(LinkListHeader*, void* item, void*, uint32_t) {
    FreeTermParts(static_cast<ExpressionTerm*>(item));
}

void ResetTerm(ExpressionTerm* t) {
    (void)SetStreamPosition(t->stream, 0);  // the start is always a valid position
    t->value.real = 0;
    t->type = kExprString;
    t->error = 0;
}

// A term off every list, from the free list or new; signals -108 when none can be had.
ExpressionTerm* TakeTerm() {
    if (auto* t = static_cast<ExpressionTerm*>(LLPop(gExpr.freeList, false))) return t;
    auto* t = static_cast<ExpressionTerm*>(LLAlloc(gExpr.freeList));
    if (t) {
        t->text = AllocHandle(gGenPool, kTermChunk);
        if (t->text &&
            CreateStream(kStreamHandle, StreamTarget::OfHandle(t->text), &t->stream) == 0) {
            SetHandleStreamChunkSize(t->stream, kTermChunk);
            ResetTerm(t);
            return t;
        }
        FreeTermParts(t);
        MemFreePtr(t);
    }
    FailureSignal(status::kOutOfMemory);
    return nullptr;
}

void GiveBack(ExpressionTerm* t) {
    ResetTerm(t);
    LLPush(gExpr.freeList, t);
}

// Fills a fresh term and pushes it; on failure the term goes back to the free list.
template <class Fill>
ExpressionTerm* PushNewTerm(Fill&& fill) {
    if (!gExpr.stack) {
        SignalIfCaught(status::kParamErr);
        return nullptr;
    }
    ExpressionTerm* term = nullptr;
    OSStatus st = CatchSignals([&] {
        term = TakeTerm();
        fill(term);
    }, [&] {
        if (term) GiveBack(term);
    });
    if (st) {
        SignalIfCaught(st);
        return nullptr;
    }
    LLPush(gExpr.stack, term);
    return term;
}

// Runs an operator's body in its own catcher: the failure is returned and signalled on, and
// operands popped but not yet pushed again are released.
template <class Body>
OSStatus RunOperator(Body&& body) {
    ExpressionTerm* popped[2] = {nullptr, nullptr};
    OSStatus st = CatchSignals([&] { body(popped); }, [&] {
        for (ExpressionTerm* t : popped) {
            if (t) ReleaseExpressionData(t);
        }
    });
    SignalIfCaught(st);
    return st;
}

// Pops the top term converted to `target` into popped[index]; signals -50 when there is none.
ExpressionTerm* PopOperand(ExpressionTerm** popped, int index, uint8_t target) {
    ExpressionTerm* t = GetExpressionTerm(target, true);
    if (!t) FailureSignal(status::kParamErr);
    popped[index] = t;
    return t;
}

// The result goes back onto the stack in place of its left operand.
void PushResult(ExpressionTerm** popped, ExpressionTerm* result, uint8_t errorBits) {
    result->error = errorBits;
    for (int i = 0; i < 2; ++i) {
        if (popped[i] && popped[i] != result) ReleaseExpressionData(popped[i]);
        popped[i] = nullptr;
    }
    PushExpressionTerm(result);
}

// ---- Conversions ----

// Floats are read and written with "." as the decimal point whatever locale the program runs in.
class CNumericLocale {
public:
    CNumericLocale() {
        static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", locale_t(0));
        if (c) former_ = uselocale(c);
    }
    ~CNumericLocale() {
        if (former_) uselocale(former_);
    }
    CNumericLocale(const CNumericLocale&) = delete;
    CNumericLocale& operator=(const CNumericLocale&) = delete;

private:
    locale_t former_ = locale_t(0);
};

double ReadFloat(const char* text) {
    CNumericLocale c;
    return std::strtod(text, nullptr);
}

void FormatFloat(ExpressionTerm* t, double v) {
    const int16_t precision = gExpr.precision;
    const int decimals = precision > 0 ? precision : 6;
    CNumericLocale c;
    char small[64];
    int n = std::snprintf(small, sizeof small, "%.*f", decimals, v);
    if (n < 0) n = 0;
    Ptr big = nullptr;
    const char* text = small;
    if (n >= int(sizeof small)) {
        big = AllocPtr(gGenPool, uint32_t(n) + 1);
        if (!big) {
            FailureSignal(status::kOutOfMemory);
            return;
        }
        std::snprintf(big, size_t(n) + 1, "%.*f", decimals, v);
        text = big;
    }
    if (precision == 0) {
        if (const char* dot = static_cast<const char*>(std::memchr(text, '.', size_t(n)))) {
            const int keep = int(dot - text) + 2;  // one decimal at least
            while (n > keep && text[n - 1] == '0') --n;
        }
    }
    const OSStatus st = CatchSignals([&] { SetTermText(t, text, n); });
    if (big) MemFreePtr(big);
    Signal(st);
}

void SetInteger(ExpressionTerm* t, int32_t v) {
    t->type = kExprInteger;
    t->value.integer = v;
}

void SetFloat(ExpressionTerm* t, double v) {
    t->type = kExprFloat;
    t->value.real = v;
}

void LookUp(ExpressionTerm* t) {
    char name[kValueSize];
    CopyCut(name, sizeof name, TermCString(t), TermLength(t));
    char value[kValueSize] = {0};
    if (gResolver) gResolver(t->value.chain, name, value, sizeof value);
    value[kValueSize - 1] = 0;
    SetTermText(t, value, int32_t(std::strlen(value)));
    t->type = kExprString;
    t->value.real = 0;
}

void ToString(ExpressionTerm* t) {
    if (t->type == kExprVariable) LookUp(t);
    if (t->type == kExprInteger) {
        char text[16];
        const int n = std::snprintf(text, sizeof text, "%d", t->value.integer);
        SetTermText(t, text, n);
    } else if (t->type == kExprFloat) {
        FormatFloat(t, t->value.real);
    }
    t->type = kExprString;
}

// The number a text reads as: a float when it holds "."; else a signed decimal integer, or a float
// when the integer does not fit 32 bits.
void TextToNumber(ExpressionTerm* t, const char* text) {
    if (std::strchr(text, '.')) {
        SetFloat(t, ReadFloat(text));
        return;
    }
    errno = 0;
    const int32_t v = StringToSInt32(text, nullptr, 10);
    if (errno == ERANGE) {
        SetFloat(t, ReadFloat(text));
    } else {
        SetInteger(t, v);
    }
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

namespace {

// Converts in place; a failure is signalled.
void Cast(ExpressionTerm* t, uint8_t target) {
    if (t->type == kExprVariable && target != kExprVariable) LookUp(t);
    switch (target) {
        case kExprString:
            ToString(t);
            break;
        case kExprInteger:
            if (t->type != kExprInteger) {
                ToString(t);
                SetInteger(t, StringToSInt32(TermCString(t), nullptr, 10));
            }
            break;
        case kExprFloat:
            if (t->type != kExprFloat) {
                ToString(t);
                SetFloat(t, ReadFloat(TermCString(t)));
            }
            break;
        case kExprTruth: {
            bool truth = false;
            if (t->type == kExprInteger) {
                truth = t->value.integer != 0;
            } else if (t->type == kExprFloat) {
                truth = t->value.real != 0.0;
            } else {
                const char* text = TermCString(t);
                truth = TermLength(t) != 0;
                while (*text == ' ') ++text;
                if (IsDigit(*text)) {
                    TextToNumber(t, text);
                    truth = t->type == kExprInteger ? t->value.integer != 0 : t->value.real != 0.0;
                }
            }
            SetInteger(t, truth ? 1 : 0);
            break;
        }
        case kExprNumber:
            if (t->type == kExprString) TextToNumber(t, TermCString(t));
            break;
        default:
            break;
    }
}

}  // namespace

void CastData(ExpressionTerm* t, uint8_t target) {
    if (t) Signal(CatchSignals([&] { Cast(t, target); }));
}

ExpressionNameResolver SetExpressionNameResolver(ExpressionNameResolver resolver) {
    ExpressionNameResolver former = gResolver;
    gResolver = resolver;
    return former;
}

int16_t SetExpressionPrecision(int16_t decimals) {
    const int16_t former = gExpr.precision;
    gExpr.precision = decimals;
    return former;
}

OSStatus InitExpressionStorage() {
    FreeExpressionStorage();
    LinkListHeader** lists[] = {&gExpr.inUse, &gExpr.freeList, &gExpr.stack};
    for (LinkListHeader** list : lists) {
        *list = LLCreate(gGenPool, sizeof(ExpressionTerm), 0);
        if (!*list) {
            FreeExpressionStorage();
            return status::kOutOfMemory;
        }
        LLSetFreeProc(*list, TermFreeProc);
    }
    return status::kNoErr;
}

void FreeExpressionStorage() {
    LLDispose(gExpr.inUse, true);
    LLDispose(gExpr.freeList, true);
    LLDispose(gExpr.stack, true);
    gExpr.inUse = gExpr.freeList = gExpr.stack = nullptr;
}

ExpressionTerm* PushStringTerm(const char* text) {
    return PushNewTerm([&](ExpressionTerm* t) {
        SetTermText(t, text ? text : "", text ? int32_t(std::strlen(text)) : 0);
    });
}

ExpressionTerm* PushIntegerTerm(int32_t value) {
    return PushNewTerm([&](ExpressionTerm* t) { SetInteger(t, value); });
}

ExpressionTerm* PushFloatTerm(double value) {
    return PushNewTerm([&](ExpressionTerm* t) { SetFloat(t, value); });
}

ExpressionTerm* PushVariableTerm(const char* name, DataContextChain* chain) {
    const size_t length = name ? std::strlen(name) : 0;
    if (length >= size_t(kValueSize)) {
        SignalIfCaught(status::kParamErr);
        return nullptr;
    }
    return PushNewTerm([&](ExpressionTerm* t) {
        SetTermText(t, name ? name : "", int32_t(length));
        t->type = kExprVariable;
        t->value.chain = chain;
    });
}

ExpressionTerm* PushExpressionTerm(ExpressionTerm* term) {
    if (!term || !gExpr.stack) return nullptr;
    LLRemoveOrFree(gExpr.inUse, term, nullptr, false);
    LLPush(gExpr.stack, term);
    return term;
}

ExpressionTerm* GetExpressionTerm(uint8_t target, bool pop) {
    auto* t = static_cast<ExpressionTerm*>(LLFirst(gExpr.stack));
    if (!t) return nullptr;
    const OSStatus st = CatchSignals([&] { Cast(t, target); });
    if (st) {
        SignalIfCaught(st);
        return nullptr;
    }
    if (pop) {
        LLPop(gExpr.stack, false);
        LLPush(gExpr.inUse, t);
    }
    return t;
}

void ReleaseExpressionData(ExpressionTerm* term) {
    if (!term || !gExpr.freeList) return;
    if (!LLRemoveOrFree(gExpr.inUse, term, nullptr, false)) {
        LLRemoveOrFree(gExpr.stack, term, nullptr, false);
    }
    GiveBack(term);
}

int32_t GetExpressionString(ExpressionTerm* term, int32_t size, char* out) {
    if (out && size > 0) out[0] = 0;
    if (!term) term = static_cast<ExpressionTerm*>(LLFirst(gExpr.stack));
    if (!term) return 0;
    int32_t n = 0;
    OSStatus st = CatchSignals([&] {
        Cast(term, kExprString);
        n = CopyCut(out, size, TermCString(term), TermLength(term));
    });
    SignalIfCaught(st);
    return n;
}

int32_t ExtractVariableName(ExpressionTerm* term, int32_t depth, char* out, int32_t size) {
    if (out && size > 0) out[0] = 0;
    if (!term && depth >= 0) {
        term = static_cast<ExpressionTerm*>(LLGetIndexedLink(gExpr.stack, uint32_t(depth)));
    }
    if (!term || term->type != kExprVariable) return 0;
    return CopyCut(out, size, *term->text, TermLength(term));
}

namespace {

// A number term's value as a double.
double RealOf(const ExpressionTerm* t) { return t->type == kExprFloat ? t->value.real : double(t->value.integer); }

// One binary arithmetic operator over integers (64 bits, so that no 32-bit operands overflow) or
// doubles. A zero divisor of / or % gives 0 and sets the divide-by-zero error bit.
template <class T>
T Arithmetic(uint16_t op, T a, T b, uint8_t* error) {
    switch (op) {
        case kOpAdd: return a + b;
        case kOpSubtract: return a - b;
        case kOpMultiply: return a * b;
        default: break;
    }
    if (b == T(0)) {
        *error |= kExprDivideByZero;
        return T(0);
    }
    if (op == kOpDivide) return a / b;
    if constexpr (std::is_floating_point_v<T>) {
        return std::fmod(a, b);
    } else {
        return a % b;
    }
}

}  // namespace

OSStatus MathOperator(uint16_t op) {
    switch (op) {
        case kOpAddAssign: op = kOpAdd; break;
        case kOpSubtractAssign: op = kOpSubtract; break;
        case kOpMultiplyAssign: op = kOpMultiply; break;
        case kOpDivideAssign: op = kOpDivide; break;
        default: break;
    }
    return RunOperator([op](ExpressionTerm** popped) {
        if (op == kOpNegate) {
            ExpressionTerm* t = PopOperand(popped, 1, kExprNumber);
            if (t->type == kExprFloat) {
                t->value.real = -t->value.real;
            } else if (t->value.integer == INT32_MIN) {
                SetFloat(t, -double(INT32_MIN));  // not representable as an integer
            } else {
                t->value.integer = -t->value.integer;
            }
            PushResult(popped, t, t->error);
            return;
        }
        if (op != kOpAdd && op != kOpSubtract && op != kOpMultiply && op != kOpDivide &&
            op != kOpRemainder) {
            FailureSignal(status::kParamErr);
        }
        ExpressionTerm* r = PopOperand(popped, 0, kExprNumber);
        ExpressionTerm* l = PopOperand(popped, 1, kExprNumber);
        uint8_t error = l->error | r->error;
        if (l->type == kExprInteger && r->type == kExprInteger) {
            // Exact in 64 bits; a result outside 32 bits becomes a float rather than wrapping.
            const int64_t v = Arithmetic<int64_t>(op, l->value.integer, r->value.integer, &error);
            if (v < INT32_MIN || v > INT32_MAX) {
                SetFloat(l, double(v));
            } else {
                SetInteger(l, int32_t(v));
            }
        } else {
            SetFloat(l, Arithmetic<double>(op, RealOf(l), RealOf(r), &error));
        }
        PushResult(popped, l, error);
    });
}

OSStatus RelationalOperator(uint16_t op) {
    return RunOperator([op](ExpressionTerm** popped) {
        if (op != kOpEqual && op != kOpNotEqual && op != kOpLess && op != kOpGreater &&
            op != kOpLessEqual && op != kOpGreaterEqual) {
            FailureSignal(status::kParamErr);
        }
        ExpressionTerm* r = PopOperand(popped, 0, 0);
        ExpressionTerm* l = PopOperand(popped, 1, 0);
        int order;
        if (l->type == kExprString || r->type == kExprString) {
            Cast(l, kExprString);
            Cast(r, kExprString);
            TerminateTermText(l);
            TerminateTermText(r);
            order = StrCmpAlphaNumeric(*l->text, *r->text, false);
        } else if (l->type == kExprFloat || r->type == kExprFloat) {
            const double a = RealOf(l);
            const double b = RealOf(r);
            // NaN is neither less nor greater nor equal: only != holds.
            order = a < b ? -1 : a > b ? 1 : a == b ? 0 : 2;
            if (order == 2) {
                SetInteger(l, op == kOpNotEqual ? 1 : 0);
                PushResult(popped, l, l->error | r->error);
                return;
            }
        } else {
            const int32_t a = l->value.integer;
            const int32_t b = r->value.integer;
            order = a < b ? -1 : a > b ? 1 : 0;
        }
        bool result = false;
        switch (op) {
            case kOpEqual: result = order == 0; break;
            case kOpNotEqual: result = order != 0; break;
            case kOpLess: result = order < 0; break;
            case kOpGreater: result = order > 0; break;
            case kOpLessEqual: result = order <= 0; break;
            case kOpGreaterEqual: result = order >= 0; break;
        }
        const uint8_t error = l->error | r->error;
        SetInteger(l, result ? 1 : 0);
        PushResult(popped, l, error);
    });
}

OSStatus LogicalOperator(uint16_t op) {
    return RunOperator([op](ExpressionTerm** popped) {
        if (op == kOpNot) {
            ExpressionTerm* t = PopOperand(popped, 1, kExprTruth);
            t->value.integer = !t->value.integer;
            PushResult(popped, t, t->error);
            return;
        }
        if (op != kOpAnd && op != kOpOr) FailureSignal(status::kParamErr);
        ExpressionTerm* r = PopOperand(popped, 0, kExprTruth);
        ExpressionTerm* l = PopOperand(popped, 1, kExprTruth);
        const bool a = l->value.integer != 0;
        const bool b = r->value.integer != 0;
        l->value.integer = (op == kOpAnd ? a && b : a || b) ? 1 : 0;
        PushResult(popped, l, l->error | r->error);
    });
}

OSStatus CatenateTerms() {
    return RunOperator([](ExpressionTerm** popped) {
        ExpressionTerm* r = PopOperand(popped, 0, kExprString);
        ExpressionTerm* l = PopOperand(popped, 1, kExprString);
        // The right text stays where it is while the left one grows.
        MemLock(r->text);
        const OSStatus st = StreamWrite(l->stream, *r->text, TermLength(r));
        MemUnlock(r->text);
        Signal(st);
        PushResult(popped, l, l->error | r->error);
    });
}

// ---- Lexer and reductions ----

namespace {

// The state of one evaluation: the text, the strings of its tokens and its failure.
struct ExpressionRun {
    Ptr text;
    int32_t position;
    DataContextChain* chain;
    StringCache* cache;
    char saved[kSavedStringLimit + 1];
    int32_t savedLength;
    bool savedOverflow;
    OSStatus failure;
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void Save(ExpressionRun* run, char c) {
    if (run->savedLength >= kSavedStringLimit) {
        run->savedOverflow = true;
        return;
    }
    run->saved[run->savedLength++] = c;
}

// Puts the saved string into the cache; its slot becomes the token's value.
int32_t SavedToken(ExpressionRun* run, int32_t token, int64_t* value) {
    if (run->savedOverflow) {
        run->failure = status::kParamErr;
        return kLexFailed;
    }
    run->saved[run->savedLength] = 0;
    const int32_t slot = AddStringToCache(run->cache, run->saved);
    if (StringBlockAddStatus() != status::kNoErr) {
        run->failure = StringBlockAddStatus();
        return kLexFailed;
    }
    *value = slot;
    return token;
}

int32_t FloatToken(double v, int64_t* value) {
    static_assert(sizeof(double) == sizeof(int64_t));
    std::memcpy(value, &v, sizeof v);
    return g::FLOAT;
}

double TokenFloat(int64_t value) {
    double v;
    std::memcpy(&v, &value, sizeof v);
    return v;
}

int32_t LexNumber(ExpressionRun* run, int64_t* value) {
    const char* start = run->text + run->position;
    const char* p = start;
    while (IsDigit(*p)) ++p;
    const bool isFloat = *p == '.';
    if (isFloat) {
        ++p;
        while (IsDigit(*p)) ++p;
    }
    const int32_t length = int32_t(p - start);
    run->position += length;
    // The number's text, with a "0" before and after it for a float (".5", "5.").
    Ptr text = AllocPtr(gGenPool, uint32_t(length) + 3);
    if (!text) {
        run->failure = status::kOutOfMemory;
        return kLexFailed;
    }
    int32_t token = g::INT;
    if (isFloat) {
        text[0] = '0';
        std::memcpy(text + 1, start, size_t(length));
        std::memcpy(text + 1 + length, "0", 2);
        token = FloatToken(ReadFloat(text), value);
    } else {
        std::memcpy(text, start, size_t(length));
        text[length] = 0;
        // Base 10, unsigned; a value beyond the integers becomes a float rather than wrapping.
        errno = 0;
        const uint32_t v = StringToUInt32(text, nullptr, 10);
        if (errno == ERANGE || v > uint32_t(INT32_MAX)) {
            token = FloatToken(ReadFloat(text), value);
        } else {
            *value = int32_t(v);
        }
    }
    MemFreePtr(text);
    return token;
}

int32_t LexExpression(void* user, int64_t* value) {
    auto* run = static_cast<ExpressionRun*>(user);
    *value = 0;
    if (run->failure) return kLexFailed;
    const char* p = run->text + run->position;
    while (*p && std::isspace(uint8_t(*p))) ++p;
    run->position = int32_t(p - run->text);
    const char c = *p;
    if (!c) return 0;
    auto take = [&](int32_t count, int32_t token) {
        run->position += count;
        return token;
    };
    switch (c) {
        case '&': return take(p[1] == '&' ? 2 : 1, g::AND);
        case '|': return take(p[1] == '|' ? 2 : 1, g::OR);
        case '=': return p[1] == '=' ? take(2, g::EQ) : take(1, '=');
        case '>':
            if (p[1] == '=') return take(2, g::GE);
            if (p[1] == '<') return take(2, g::NE);
            return take(1, '>');
        case '<':
            if (p[1] == '=') return take(2, g::LE);
            if (p[1] == '>') return take(2, g::NE);
            return take(1, '<');
        case '!': return p[1] == '=' ? take(2, g::NE) : take(1, g::NOT);
        default: break;
    }
    if (IsDigit(c) || (c == '.' && IsDigit(p[1]))) return LexNumber(run, value);
    run->savedLength = 0;
    run->savedOverflow = false;
    if (c == '"' || c == '\'') {
        ++p;
        while (*p && *p != c) {
            char ch = *p++;
            if (ch == '\\') {
                if (!*p) break;
                ch = *p++;
                if (c == '"') {
                    switch (ch) {
                        case 'l': case 'L': ch = 10; break;
                        case 'n': case 'N': case 'r': case 'R': ch = 13; break;
                        case 't': case 'T': ch = 9; break;
                        default: break;
                    }
                }
            }
            Save(run, ch);
        }
        if (*p == c) ++p;
        run->position = int32_t(p - run->text);
        return SavedToken(run, c == '"' ? g::STRING : g::NAME, value);
    }
    if (IsLetter(c) || c == '_') {
        while (IsLetter(*p) || IsDigit(*p) || *p == '_') Save(run, *p++);
        run->position = int32_t(p - run->text);
        return SavedToken(run, g::NAME, value);
    }
    return take(1, uint8_t(c));
}

void CacheString(ExpressionRun* run, int64_t slot, char* out) {
    GetStringCacheString(run->cache, int32_t(slot), out, kValueSize);
}

void Reduce(ExpressionRun* run, int32_t rule, const int64_t* top, int64_t* value) {
    static const uint16_t kMath[] = {kOpAdd, kOpSubtract, kOpMultiply, kOpDivide, kOpRemainder};
    static const uint16_t kRelations[] = {kOpEqual, kOpLess, kOpGreater, kOpLessEqual,
                                          kOpGreaterEqual, kOpNotEqual};
    char text[kValueSize] = {0};
    switch (rule) {
        case 2: (void)CatenateTerms(); break;  // a failure signals
        case 3: case 4: case 5: case 6: case 7: (void)MathOperator(kMath[rule - 3]); break;  // a failure signals
        case 8: case 9: case 10: case 11: case 12: case 13:
            (void)RelationalOperator(kRelations[rule - 8]);  // a failure signals
            break;
        case 14: (void)LogicalOperator(kOpAnd); break;  // a failure signals
        case 15: (void)LogicalOperator(kOpOr); break;  // a failure signals
        case 16: (void)LogicalOperator(kOpNot); break;  // a failure signals
        case 17: (void)MathOperator(kOpNegate); break;  // a failure signals
        case 19:
            CacheString(run, top[0], text);
            PushStringTerm(text);
            break;
        case 20: PushFloatTerm(TokenFloat(top[0])); break;
        case 21: PushIntegerTerm(int32_t(top[0])); break;
        case 22:
            CacheString(run, top[0], text);
            PushVariableTerm(text, run->chain);
            break;
        case 24: {
            // name : '[' expr ']': the value names the field; a name too long to be one fails.
            ExpressionTerm* t = GetExpressionTerm(kExprString, true);
            if (!t) FailureSignal(status::kParamErr);
            const int32_t length = TermLength(t);
            if (length <= kComputedNameLimit) CopyCut(text, sizeof text, *t->text, length);
            ReleaseExpressionData(t);
            if (length > kComputedNameLimit) FailureSignal(status::kParamErr);
            *value = AddStringToCache(run->cache, text);
            Signal(StringBlockAddStatus());
            break;
        }
        default: break;  // 1, 18, 23: the value stays
    }
}

void ReduceExpression(int32_t rule, YaccStack* stack, void* user, int64_t* value) {
    auto* run = static_cast<ExpressionRun*>(user);
    if (run->failure) return;
    // A failure must not leave through the engine: it is kept, and stops the parse at the next
    // token.
    const int64_t* top = stack->valueTop;
    OSStatus st = CatchSignals([&] { Reduce(run, rule, top, value); });
    if (st) run->failure = st;
}

// Pops and releases what an evaluation left above the depths it started at.
void Unwind(uint32_t stackDepth, uint32_t inUseCount) {
    while (gExpr.stack && gExpr.stack->count > stackDepth) {
        ReleaseExpressionData(static_cast<ExpressionTerm*>(LLFirst(gExpr.stack)));
    }
    while (gExpr.inUse && gExpr.inUse->count > inUseCount) {
        ReleaseExpressionData(static_cast<ExpressionTerm*>(LLFirst(gExpr.inUse)));
    }
}

}  // namespace

uint32_t EvalExpression(DataContextChain* chain, const char* expression, char* out, int32_t size) {
    static const char kError[] = "<error>";
    if (out && size > 0) out[0] = 0;
    bool made = false;
    if (!gExpr.stack) {
        if (InitExpressionStorage() != status::kNoErr) {
            CopyCut(out, size, kError, int32_t(sizeof kError - 1));
            return kExprFailed;
        }
        made = true;
    }
    const uint32_t stackDepth = gExpr.stack->count;
    const uint32_t inUseCount = gExpr.inUse->count;

    ExpressionRun run{};
    run.chain = chain;
    run.text = AllocateString(expression ? expression : "");
    run.cache = CreateStringCache(kCacheSlots, kTermChunk, false);
    uint32_t result = kExprFailed;
    if (run.text && run.cache && gNesting < kMaxNesting) {
        ++gNesting;
        YaccEngineContext context;
        InitYaccEngineContext(&context, 0, 0, g::kYYTABLESIZE, g::k_lhs, g::k_len, g::k_defred,
                              g::k_dgoto, g::k_sindex, g::k_rindex, g::k_gindex, g::k_table,
                              g::k_check, g::kYYFINAL, int16_t(g::kYYERRCODE));
        const int32_t parsed =
            RunYaccEngine(&context, LexExpression, nullptr, ReduceExpression, &run);
        if (parsed == 0 && run.failure == status::kNoErr && gExpr.stack->count == stackDepth + 1) {
            // The result may still be a name to look up.
            OSStatus st = CatchSignals([&] {
                ExpressionTerm* t = GetExpressionTerm(kExprString, true);
                CopyCut(out, size, TermCString(t), TermLength(t));
                result = t->error & kExprDivideByZero;
                ReleaseExpressionData(t);
            });
            if (st) result = kExprFailed;
        }
        --gNesting;
    }
    if (result == kExprFailed) {
        Unwind(stackDepth, inUseCount);
        CopyCut(out, size, kError, int32_t(sizeof kError - 1));
    }
    if (run.text) MemFreePtr(run.text);
    if (run.cache) DestroyStringCache(run.cache);
    if (made) FreeExpressionStorage();
    return result;
}

}  // namespace plexa
