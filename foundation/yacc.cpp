// LALR(1) parser engine over classic yacc tables.
#include "foundation/yacc.h"

#include "foundation/heap.h"
#include "foundation/memory.h"

#include <cstddef>
#include <cstring>

namespace plexa {
namespace {

constexpr uint32_t kDefaultInitialDepth = 200;
constexpr uint32_t kDefaultMaxDepth = 10000;

// The packed-table test: n = base + symbol lies inside the tables and checks to the symbol.
bool PackedIndex(const YaccEngineContext* c, int32_t base, int32_t symbol, int32_t* n) {
    if (base == 0) return false;
    int32_t i = base + symbol;
    if (i < 0 || i > c->tableSize || c->check[i] != symbol) return false;
    *n = i;
    return true;
}

bool Push(YaccStack* s, const YaccEngineContext* c, int32_t state, int64_t value) {
    if (s->stateTop >= s->stateLimit && yygrowstack(s, c) != 0) return false;
    *++s->stateTop = static_cast<int16_t>(state);
    *++s->valueTop = value;
    return true;
}

}  // namespace

void InitYaccEngineContext(YaccEngineContext* c, uint32_t initialDepth, uint32_t maxDepth,
                           int32_t tableSize, const int16_t* lhs, const int16_t* len,
                           const int16_t* defred, const int16_t* dgoto, const int16_t* sindex,
                           const int16_t* rindex, const int16_t* gindex, const int16_t* table,
                           const int16_t* check, int32_t finalState, int16_t errorToken) {
    std::memset(c, 0, sizeof *c);
    c->lhs = lhs;
    c->len = len;
    c->defred = defred;
    c->dgoto = dgoto;
    c->sindex = sindex;
    c->rindex = rindex;
    c->gindex = gindex;
    c->table = table;
    c->check = check;
    c->initialDepth = initialDepth ? initialDepth : kDefaultInitialDepth;
    c->maxDepth = maxDepth ? maxDepth : kDefaultMaxDepth;
    if (c->maxDepth < c->initialDepth) c->maxDepth = c->initialDepth;
    c->tableSize = tableSize;
    c->lookAhead = -1;
    c->finalState = finalState;
    c->errorToken = errorToken;
}

int32_t yygrowstack(YaccStack* s, const YaccEngineContext* c) {
    uint32_t newSize;
    if (s->capacity == 0) {
        newSize = c->initialDepth;
    } else if (s->capacity >= c->maxDepth) {
        return -2;
    } else {
        newSize = s->capacity * 2 > c->maxDepth ? c->maxDepth : s->capacity * 2;
    }
    std::ptrdiff_t used = s->stateBase ? s->stateTop - s->stateBase : -1;
    // Both stacks come from the current pool, cleared when first made.
    if (s->capacity == 0) {
        s->stateBase = reinterpret_cast<int16_t*>(AllocPtrClear(nullptr, newSize * sizeof(int16_t)));
        s->valueBase = reinterpret_cast<int64_t*>(AllocPtrClear(nullptr, newSize * sizeof(int64_t)));
        if (!s->stateBase || !s->valueBase) {
            DestroyYaccStack(s);
            return -2;
        }
    } else {
        // The tops follow each stack as it moves; the limit changes only when both have grown.
        Ptr states = reinterpret_cast<Ptr>(s->stateBase);
        if (!ResizePtr(&states, newSize * sizeof(int16_t))) return -2;
        s->stateBase = reinterpret_cast<int16_t*>(states);
        s->stateTop = s->stateBase + used;
        s->stateLimit = s->stateBase + s->capacity - 1;
        Ptr values = reinterpret_cast<Ptr>(s->valueBase);
        if (!ResizePtr(&values, newSize * sizeof(int64_t))) return -2;
        s->valueBase = reinterpret_cast<int64_t*>(values);
    }
    int16_t* states = s->stateBase;
    int64_t* values = s->valueBase;
    s->stateTop = states + used;
    s->valueTop = values + used;
    s->stateLimit = states + newSize - 1;
    s->capacity = newSize;
    return 0;
}

void DestroyYaccStack(YaccStack* s) {
    if (s->stateBase) MemFreePtr(s->stateBase);
    if (s->valueBase) MemFreePtr(s->valueBase);
    std::memset(s, 0, sizeof *s);
}

int32_t RunYaccEngine(YaccEngineContext* c, YaccLexProc lexer, YaccErrorProc error,
                      YaccActionProc action, void* userData) {
    YaccStack stack{};
    // A failure signal raised inside an action leaves through here: the stacks go with it.
    struct StackOwner {
        YaccStack* stack;
        ~StackOwner() { DestroyYaccStack(stack); }
    } owner{&stack};
    int64_t lexValue = 0;
    c->errorCount = 0;
    c->recovery = 0;
    c->lookAhead = -1;
    int32_t result = 1;

    auto readToken = [&] {
        int32_t t = lexer(userData, &lexValue);
        c->lookAhead = static_cast<int16_t>(t < 0 ? 0 : t);
    };
    auto overflow = [&] {
        if (error) error(userData, "yacc stack overflow");
    };

    if (yygrowstack(&stack, c) != 0) {
        overflow();
        return 1;
    }
    stack.stateTop = stack.stateBase;
    stack.valueTop = stack.valueBase;
    *stack.stateTop = 0;
    *stack.valueTop = 0;

    for (;;) {
        int32_t state = *stack.stateTop;
        int32_t rule = c->defred[state];
        int32_t n = 0;
        if (rule == 0) {
            if (c->lookAhead < 0) readToken();
            if (PackedIndex(c, c->sindex[state], c->lookAhead, &n)) {
                if (!Push(&stack, c, c->table[n], lexValue)) { overflow(); break; }
                c->lookAhead = -1;
                if (c->recovery > 0) --c->recovery;
                continue;
            }
            if (PackedIndex(c, c->rindex[state], c->lookAhead, &n)) {
                rule = c->table[n];
            } else {
                // Syntax error: report once per recovery, then look for a state that shifts
                // the error token.
                if (c->recovery == 0) {
                    if (error) error(userData, "syntax error");
                    ++c->errorCount;
                }
                if (c->recovery < 3) {
                    c->recovery = 3;
                    bool recovered = false;
                    bool failed = false;
                    for (;;) {
                        if (PackedIndex(c, c->sindex[*stack.stateTop], c->errorToken, &n)) {
                            if (!Push(&stack, c, c->table[n], lexValue)) { overflow(); failed = true; }
                            recovered = true;
                            break;
                        }
                        if (stack.stateTop <= stack.stateBase) break;
                        --stack.stateTop;
                        --stack.valueTop;
                    }
                    if (failed || !recovered) break;
                    continue;
                }
                if (c->lookAhead == 0) break;
                c->lookAhead = -1;
                continue;
            }
        }

        // Reduce by `rule`.
        int32_t m = c->len[rule];
        int64_t value = m ? stack.valueTop[1 - m] : 0;
        if (rule != 0 && action) action(rule, &stack, userData, &value);
        c->value = value;
        stack.stateTop -= m;
        stack.valueTop -= m;
        int32_t uncovered = *stack.stateTop;
        int32_t lhs = c->lhs[rule];
        if (lhs < 0) break;  // only the start rule has no left side; it is never reduced
        if (uncovered == 0 && lhs == 0) {
            if (!Push(&stack, c, c->finalState, value)) { overflow(); break; }
            if (c->lookAhead < 0) readToken();
            if (c->lookAhead == 0) { result = 0; break; }
            continue;
        }
        int32_t next = PackedIndex(c, c->gindex[lhs], uncovered, &n) ? c->table[n] : c->dgoto[lhs];
        if (!Push(&stack, c, next, value)) { overflow(); break; }
    }
    return result;
}

}  // namespace plexa
