// Table-driven LALR(1) parser engine. Each grammar owns parse tables in the classic yacc form
// (generated at build time from a grammar file, see cmake/YaccTables.cmake) and runs them here
// with its own lexer, error and action procedures. All state lives in the context and the stack
// record, so parsers may run inside each other's actions.
#pragma once

#include <cstdint>

namespace plexa {

struct YaccEngineContext {
    const int16_t* lhs;
    const int16_t* len;
    const int16_t* defred;
    const int16_t* dgoto;
    const int16_t* sindex;
    const int16_t* rindex;
    const int16_t* gindex;
    const int16_t* table;
    const int16_t* check;
    int64_t value;            // value of the last reduction
    uint32_t maxDepth;
    uint32_t initialDepth;
    int32_t tableSize;        // largest valid index into table and check
    int16_t lookAhead;        // -1: none read
    int32_t finalState;
    int32_t errorCount;
    int16_t recovery;         // error-recovery countdown, 0..3
    int16_t errorToken;
};

struct YaccStack {
    int16_t* stateBase;
    int16_t* stateTop;
    int16_t* stateLimit;
    int64_t* valueBase;
    int64_t* valueTop;
    uint32_t capacity;
};

// Returns a token number; a negative number counts as 0, the end of the input.
using YaccLexProc = int32_t (*)(void* userData, int64_t* value);
using YaccErrorProc = void (*)(void* userData, const char* message);
// Called for every reduction by a rule other than rule 0. On entry *value holds the value of
// the rule's first symbol (0 for an empty rule); the symbols' values lie on the value stack,
// the last one at its top. What is left in *value becomes the value of the rule's left side.
using YaccActionProc = void (*)(int32_t rule, YaccStack* stack, void* userData, int64_t* value);

// An initial depth of 0 means 200, a maximum of 0 means 10000; the maximum is raised to the
// initial depth when smaller.
void InitYaccEngineContext(YaccEngineContext* context, uint32_t initialDepth, uint32_t maxDepth,
                           int32_t tableSize, const int16_t* lhs, const int16_t* len,
                           const int16_t* defred, const int16_t* dgoto, const int16_t* sindex,
                           const int16_t* rindex, const int16_t* gindex, const int16_t* table,
                           const int16_t* check, int32_t finalState, int16_t errorToken);

// 0 when the input is accepted, 1 when the parse is aborted (syntax error without recovery,
// "yacc stack overflow").
[[nodiscard]] int32_t RunYaccEngine(YaccEngineContext* context, YaccLexProc lexer, YaccErrorProc error,
                      YaccActionProc action, void* userData);

// Grows both stacks to twice their capacity (at most the context's maximum depth): 0, or -2
// when they cannot grow.
int32_t yygrowstack(YaccStack* stack, const YaccEngineContext* context);
void DestroyYaccStack(YaccStack* stack);

}  // namespace plexa
