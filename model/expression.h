// The expression evaluator: the text between back-quotes in a data string is evaluated to a text.
// Numbers, strings and named fields are combined by arithmetic, comparison, logic and joining; a
// name is looked up through the data-context chain of the object that the text belongs to.
//
// This module owns the lexer, the grammar's reductions (expression.y, run on the project's LALR
// engine), the typed evaluation stack with its conversions, and the error results. The lookup of a
// name belongs to the data-context module, which installs it with `SetExpressionNameResolver`.
//
// Terms move between three lists of `gExpr`: the stack (its head is the top), the in-use list
// (terms popped by a caller and not yet released) and the free list. Every term owns a text handle
// written through a handle stream; the stream's position is the text's length.
//
// Everything here runs on the main thread. An evaluation may run inside another one (a name whose
// value holds an expression): each evaluation keeps its lexer state to itself and leaves the shared
// stack at the depth it found.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct LinkListHeader;
struct StreamRecord;
// The data-context chain: an LL list of data contexts, innermost first.
using DataContextChain = LinkListHeader;

// Term types. 4 and 5 are conversion targets only, never stored.
constexpr uint8_t kExprString = 1;
constexpr uint8_t kExprInteger = 2;
constexpr uint8_t kExprFloat = 3;
constexpr uint8_t kExprTruth = 4;     // integer 0 or 1
constexpr uint8_t kExprNumber = 5;    // integer or float, as the value reads
constexpr uint8_t kExprVariable = 6;  // a name not looked up yet

// Error bits of a term and of an evaluation.
constexpr uint32_t kExprFailed = 1;        // evaluation only: the expression could not be evaluated
constexpr uint32_t kExprDivideByZero = 2;  // a division or remainder by zero gave 0

// Operator codes: two characters in one word, the first in the high byte, a blank as the second
// when there is none.
constexpr uint16_t ExprOperator(char first, char second) {
    return uint16_t((uint8_t(first) << 8) | uint8_t(second));
}
constexpr uint16_t kOpAdd = ExprOperator('+', ' ');
constexpr uint16_t kOpSubtract = ExprOperator('-', ' ');
constexpr uint16_t kOpMultiply = ExprOperator('*', ' ');
constexpr uint16_t kOpDivide = ExprOperator('/', ' ');
constexpr uint16_t kOpRemainder = ExprOperator('%', ' ');
constexpr uint16_t kOpNegate = ExprOperator(' ', '-');
constexpr uint16_t kOpEqual = ExprOperator('=', '=');
constexpr uint16_t kOpNotEqual = ExprOperator('!', '=');
constexpr uint16_t kOpLess = ExprOperator('<', ' ');
constexpr uint16_t kOpGreater = ExprOperator('>', ' ');
constexpr uint16_t kOpLessEqual = ExprOperator('<', '=');
constexpr uint16_t kOpGreaterEqual = ExprOperator('>', '=');
constexpr uint16_t kOpAnd = ExprOperator('&', '&');
constexpr uint16_t kOpOr = ExprOperator('|', '|');
constexpr uint16_t kOpNot = ExprOperator(' ', '!');
// Act as "+ ", "- ", "* " and "/ ".
constexpr uint16_t kOpAddAssign = ExprOperator('+', '=');
constexpr uint16_t kOpSubtractAssign = ExprOperator('-', '=');
constexpr uint16_t kOpMultiplyAssign = ExprOperator('*', '=');
constexpr uint16_t kOpDivideAssign = ExprOperator('/', '=');

// One value on the evaluation stack.
struct ExpressionTerm {
    ExpressionTerm* link;
    Handle text;           // the characters, no terminator; grows in chunks of 64 bytes
    StreamRecord* stream;  // over `text`; its position is the text's length
    union {
        int32_t integer;
        double real;
        DataContextChain* chain;  // of a variable
    } value;
    uint8_t type;   // kExprString, kExprInteger, kExprFloat or kExprVariable
    uint8_t error;  // kExprDivideByZero; a result carries the OR of its operands' bits
};

struct ExpressionStorage {
    LinkListHeader* inUse;
    LinkListHeader* freeList;
    LinkListHeader* stack;  // the head is the top
    int16_t precision;      // see SetExpressionPrecision
};

extern ExpressionStorage gExpr;

// Resolves a name in a chain into out (size bytes, terminated); true when out is not empty. An
// unknown name leaves out empty.
using ExpressionNameResolver = bool (*)(DataContextChain* chain, const char* name, char* out,
                                        int32_t size);
// Installs the lookup of names (the data-context module installs its own); returns the former one.
// Without one every name reads as the empty string.
ExpressionNameResolver SetExpressionNameResolver(ExpressionNameResolver resolver);

// Evaluates an expression with its names bound to `chain`. Writes the result (at most size - 1
// bytes, never splitting a UTF-8 character, terminated), or "<error>" when the expression cannot
// be evaluated. Returns 0, kExprFailed, or kExprDivideByZero when a division by zero gave 0 on the
// way to the result.
uint32_t EvalExpression(DataContextChain* chain, const char* expression, char* out, int32_t size);

// 0 (the initial value): six decimals with trailing zeros removed down to one decimal; a positive
// value: exactly that many decimals; a negative value: six decimals. Returns the former value.
// The precision lasts until it is set again, whether or not the storage is kept.
int16_t SetExpressionPrecision(int16_t decimals);

// (Re)creates the three lists, freeing any terms of the former ones. -108 (and no storage) when
// memory fails.
OSStatus InitExpressionStorage();
// Frees every term with its stream and handle, and the lists.
void FreeExpressionStorage();

// The stack. Pushes return the pushed term, or nothing after signalling -108 when a term cannot be
// had, or -50 when there is no storage or a name is 256 bytes or longer. A term starts as an empty
// string with no error bits.
ExpressionTerm* PushStringTerm(const char* text);
ExpressionTerm* PushIntegerTerm(int32_t value);
ExpressionTerm* PushFloatTerm(double value);
ExpressionTerm* PushVariableTerm(const char* name, DataContextChain* chain);
// Moves a term from the in-use list to the top of the stack.
ExpressionTerm* PushExpressionTerm(ExpressionTerm* term);
// The top term converted to `target` (0: none, but a variable is looked up; kExprVariable: a
// variable stays one), moved to the in-use list when `pop` is set. Nothing when the stack is empty,
// or after signalling the failure of the conversion (the term then stays on the stack).
ExpressionTerm* GetExpressionTerm(uint8_t target, bool pop);
// Returns a term to the free list as an empty string.
void ReleaseExpressionData(ExpressionTerm* term);
// Converts a term (the top one when none) to a string and copies at most size - 1 bytes of it,
// never splitting a UTF-8 character; returns the bytes copied.
int32_t GetExpressionString(ExpressionTerm* term, int32_t size, char* out);
// The name of a variable term (or of the term at depth 0 or 1 of the stack when none is given),
// at most size - 1 bytes; 0 and the empty string for a term that is not a variable.
int32_t ExtractVariableName(ExpressionTerm* term, int32_t depth, char* out, int32_t size);
// Converts a term in place to a type or a target (see GetExpressionTerm); -108 is signalled when
// its text cannot grow.
void CastData(ExpressionTerm* term, uint8_t target);

// Operators: each pops its operands and pushes the result. -50 for an unknown operator or missing
// operands (nothing pushed), -108 when memory fails; the failure is also signalled.
OSStatus MathOperator(uint16_t op);
OSStatus RelationalOperator(uint16_t op);
OSStatus LogicalOperator(uint16_t op);
OSStatus CatenateTerms();

}  // namespace plexa
