// Token streams: the compiled form of a report script, written by the compiler
// (design/report_compiler.h) and executed by the report interpreter, and a disassembler that turns
// one into a listing for tests and tools.
//
// Stream format (native byte order; made and read on one machine, never stored in a file):
// - a code is a u16 whose high byte is its first character and whose low byte is its second
//   ("IF" is 0x4946), always at an even offset;
// - an integer operand is a u32, a float operand an f64, a kind or order operand a u16;
// - a string operand is a length byte and that many bytes (at most 255), followed by a zero byte
//   when length byte and text together are odd, so that the next code starts at an even offset;
// - a hole is a u32 stream offset: where a jump goes, always the offset of a code or the end of
//   the stream.
// Operands are not aligned beyond the even offset of codes: readers copy them out byte-wise.
//
// Layout by construct (an expression is written in postfix order and ends with ". "):
//   statements     "IF" expr hole stmt ["BR" hole stmt]; "WH" hole expr body "} ";
//                  "BK" hole; "CL"/"NL"/"PL"/"XL" hole {variable} "SK" body "} ";
//                  "HL" hole u16 kind u16 order body "} "; "AL" hole u16 kind body "} ";
//                  "->" hole body "} "; "B{" hole expr body "} "; "EX" expr;
//                  "DB" {option}; "C>" "CP" "CX" ">_" "_>" "WR" "RN" "NO" expr;
//                  variable expr assign-op; a function; "} " ends the script.
//   variables      " %" string (a name), or " `" expr (a computed name).
//   operands       " $" string, "fl" f64, " #" u32, a variable, a function.
//   functions      "FL"/"IG" expr [".n" expr]; "JU" expr expr ["JR"|"JC"] ["FC" expr];
//                  "RP" "TR" "SV" "SA" expr expr; "SS" "RC" "PO" "AK" expr expr expr;
//                  "SE" expr {", " expr}; "LN" expr.
// A loop's hole and the holes of the BREAKs inside it hold the offset behind its "} ".
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"
#include "model/expression.h"

namespace plexa {

// Codes besides the operators of model/expression.h.
constexpr uint16_t kRptEndBlock = ExprOperator('}', ' ');
constexpr uint16_t kRptEndExpression = ExprOperator('.', ' ');
constexpr uint16_t kRptString = ExprOperator(' ', '$');
constexpr uint16_t kRptFloat = ExprOperator('f', 'l');
constexpr uint16_t kRptInteger = ExprOperator(' ', '#');
constexpr uint16_t kRptName = ExprOperator(' ', '%');
constexpr uint16_t kRptComputedName = ExprOperator(' ', '`');
constexpr uint16_t kRptJoin = ExprOperator(':', ':');
constexpr uint16_t kRptAssign = ExprOperator('=', ' ');
constexpr uint16_t kRptJoinAssign = ExprOperator(':', '=');

constexpr uint16_t kRptIf = ExprOperator('I', 'F');
constexpr uint16_t kRptBranch = ExprOperator('B', 'R');
constexpr uint16_t kRptWhile = ExprOperator('W', 'H');
constexpr uint16_t kRptBreak = ExprOperator('B', 'K');
constexpr uint16_t kRptComponents = ExprOperator('C', 'L');
constexpr uint16_t kRptNets = ExprOperator('N', 'L');
constexpr uint16_t kRptPins = ExprOperator('P', 'L');
constexpr uint16_t kRptPorts = ExprOperator('X', 'L');
constexpr uint16_t kRptSortKeys = ExprOperator('S', 'K');
constexpr uint16_t kRptHierarchy = ExprOperator('H', 'L');
constexpr uint16_t kRptAttributes = ExprOperator('A', 'L');
constexpr uint16_t kRptDescentRules = ExprOperator('-', '>');
constexpr uint16_t kRptBlockDef = ExprOperator('B', '{');
constexpr uint16_t kRptExit = ExprOperator('E', 'X');
constexpr uint16_t kRptDatabase = ExprOperator('D', 'B');
constexpr uint16_t kRptNoNets = ExprOperator('~', 'N');
constexpr uint16_t kRptNoComps = ExprOperator('~', 'C');
constexpr uint16_t kRptNoPins = ExprOperator('~', 'P');
constexpr uint16_t kRptModular = ExprOperator('M', 'D');
constexpr uint16_t kRptCrossRef = ExprOperator('X', 'R');
constexpr uint16_t kRptNoGrouping = ExprOperator('~', 'G');
constexpr uint16_t kRptGraphics = ExprOperator('G', 'R');
constexpr uint16_t kRptCall = ExprOperator('C', '>');
constexpr uint16_t kRptCopy = ExprOperator('C', 'P');
constexpr uint16_t kRptCopyEx = ExprOperator('C', 'X');
constexpr uint16_t kRptSetFile = ExprOperator('>', '_');
constexpr uint16_t kRptAppendFile = ExprOperator('_', '>');
constexpr uint16_t kRptWrite = ExprOperator('W', 'R');
constexpr uint16_t kRptRun = ExprOperator('R', 'N');
constexpr uint16_t kRptNotify = ExprOperator('N', 'O');

constexpr uint16_t kRptFloatFn = ExprOperator('F', 'L');
constexpr uint16_t kRptIntFn = ExprOperator('I', 'G');
constexpr uint16_t kRptSecondArgument = ExprOperator('.', 'n');
constexpr uint16_t kRptJustify = ExprOperator('J', 'U');
constexpr uint16_t kRptJustifyRight = ExprOperator('J', 'R');
constexpr uint16_t kRptJustifyCenter = ExprOperator('J', 'C');
constexpr uint16_t kRptFillCharacter = ExprOperator('F', 'C');
constexpr uint16_t kRptRepeat = ExprOperator('R', 'P');
constexpr uint16_t kRptTrunc = ExprOperator('T', 'R');
constexpr uint16_t kRptAskSave = ExprOperator('S', 'V');
constexpr uint16_t kRptAskSaveAbort = ExprOperator('S', 'A');
constexpr uint16_t kRptSubstring = ExprOperator('S', 'S');
constexpr uint16_t kRptReplace = ExprOperator('R', 'C');
constexpr uint16_t kRptPosition = ExprOperator('P', 'O');
constexpr uint16_t kRptAsk = ExprOperator('A', 'K');
constexpr uint16_t kRptStripExt = ExprOperator('S', 'E');
constexpr uint16_t kRptNextArgument = ExprOperator(',', ' ');
constexpr uint16_t kRptLength = ExprOperator('L', 'N');

// Hierarchy kinds and order bits of "HL", attribute kinds of "AL".
constexpr uint16_t kRptSimpleHierarchy = 0;
constexpr uint16_t kRptComplexHierarchy = 1;
constexpr uint16_t kRptBottomUp = 1;
constexpr uint16_t kRptByLevel = 2;
constexpr uint16_t kRptPinAttributes = 1;
constexpr uint16_t kRptComponentAttributes = 2;
constexpr uint16_t kRptNetAttributes = 3;
constexpr uint16_t kRptSheetAttributes = 4;
constexpr uint16_t kRptProjectAttributes = 5;

// A listing of a token stream: one line per code, "offset  code  operands", with loop bodies
// indented; holes as "-> offset". Every operand, hole and nesting is checked against the bytes:
// a stream that is not well formed gives -50 and a listing that ends with a line
// "error at <offset>: <reason>". Expressions may nest at most 1000 deep.
OSStatus DisassembleTokenStream(const void* bytes, uint32_t size, std::string* listing);
// Whether a well-formed stream has a DATABASE statement with the option (kRptCrossRef: the run
// stores the simulator's maps in the project file, which must then be open for writing).
bool TokenStreamHasDatabaseOption(const void* bytes, uint32_t size, uint16_t option);

}  // namespace plexa
