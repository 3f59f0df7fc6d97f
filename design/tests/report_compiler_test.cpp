#include "design/report_compiler.h"

#include "design/report_tokens.h"
#include "design/tests/report_test_support.h"
#include "tests/support/foundation_testing.h"
#include "foundation/stream.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace plexa {
namespace {

using test::ReportScriptTest;
using test::ShownError;
using test::ShownErrors;

uint16_t CodeAt(const std::string& bytes, uint32_t offset) {
    uint16_t code = 0;
    if (offset + 2 <= bytes.size()) std::memcpy(&code, bytes.data() + offset, 2);
    return code;
}

uint32_t LongAt(const std::string& bytes, uint32_t offset) {
    uint32_t value = 0;
    if (offset + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + offset, 4);
    return value;
}

// ---- Emission ----

TEST_F(ReportScriptTest, IfElseBranchesPointAtTheElsePartAndBehindIt) {
    const test::CompileResult r = Compile("IF x WRITE \"a\" ELSE WRITE \"b\"");
    ASSERT_EQ(r.status, 0);
    // "IF", the condition, a hole, "WR" and its expression, "BR", a hole, "WR" and its expression.
    ASSERT_EQ(r.bytes.size(), 36u);
    EXPECT_EQ(CodeAt(r.bytes, 0), kRptIf);
    EXPECT_EQ(CodeAt(r.bytes, 12), kRptWrite);
    EXPECT_EQ(CodeAt(r.bytes, 20), kRptBranch);
    EXPECT_EQ(CodeAt(r.bytes, 26), kRptWrite);
    EXPECT_EQ(CodeAt(r.bytes, 34), kRptEndBlock);
    EXPECT_EQ(LongAt(r.bytes, 8), 26u);   // false branch: the second "WR"
    EXPECT_EQ(LongAt(r.bytes, 22), 34u);  // end of the THEN part: behind the ELSE statement
    EXPECT_EQ(r.listing,
              "     0  \"IF\"\n"
              "     2    \" %\" \"x\"\n"
              "     6    \". \"\n"
              "     8  -> 26\n"
              "    12  \"WR\"\n"
              "    14    \" $\" \"a\"\n"
              "    18    \". \"\n"
              "    20  \"BR\"\n"
              "    22  -> 34\n"
              "    26  \"WR\"\n"
              "    28    \" $\" \"b\"\n"
              "    32    \". \"\n"
              "    34  \"} \"\n");
}

TEST_F(ReportScriptTest, IfElseBytesAsLaidOutByHand) {
    if constexpr (std::endian::native != std::endian::little) GTEST_SKIP() << "fixture is little-endian";
    const test::CompileResult r = Compile("if x write \"a\" else write \"bc\"");
    ASSERT_EQ(r.status, 0);
    const std::string expected = test::Hex(
        "4649"        // "IF" (0x4946, low byte first)
        "2520 01 78"  // " %" name: length 1, "x" (even, no pad)
        "202E"        // ". " end of the condition
        "1A000000"    // hole: false branch at 26
        "5257"        // "WR"
        "2420 01 61"  // " $" string "a"
        "202E"        // ". "
        "5242"        // "BR"
        "24000000"    // hole: end at 36
        "5257"        // "WR"
        "2420 02 6263 00"  // " $" string "bc": length byte and two bytes are odd, one pad byte
        "202E"        // ". "
        "207D");      // "} " end of the script
    EXPECT_EQ(r.bytes, expected);
}

struct ShapeCase {
    const char* source;
    const char* shape;
};

TEST_F(ReportScriptTest, StatementsAndExpressionsAreWrittenInPostfixOrder) {
    const ShapeCase cases[] = {
        {"EXIT", R"("EX" | " #" 0 | ". " | "} ")"},
        {"EXIT 3", R"("EX" | " #" 3 | ". " | "} ")"},
        {"DATABASE", R"("DB" | "} ")"},
        {"DATABASE (NONETS, NOCOMPS, NOPINS, MODULAR, CROSSREF, NOGROUPING, GRAPHICS)",
         R"("DB" | "~N" | "~C" | "~P" | "MD" | "XR" | "~G" | "GR" | "} ")"},
        {"a = 1; a += 1; a -= 1",
         R"(" %" "a" | " #" 1 | ". " | "= " | " %" "a" | " #" 1 | ". " | "+=" | )"
         R"(" %" "a" | " #" 1 | ". " | "-=" | "} ")"},
        {"a *= 1; a /= 1; a := 1",
         R"(" %" "a" | " #" 1 | ". " | "*=" | " %" "a" | " #" 1 | ". " | "/=" | )"
         R"(" %" "a" | " #" 1 | ". " | ":=" | "} ")"},
        {"[\"n\" : 1] = 2",
         R"(" `" | " $" "n" | " #" 1 | "::" | ". " | " #" 2 | ". " | "= " | "} ")"},
        {"x = 1 : 2 + 3 - 4 * 5 / 6 % 7",
         R"(" %" "x" | " #" 1 | " #" 2 | " #" 3 | "+ " | " #" 4 | " #" 5 | "* " | " #" 6 | )"
         R"("/ " | " #" 7 | "% " | "- " | "::" | ". " | "= " | "} ")"},
        {"x = a == b && c < d || e >= f",
         R"(" %" "x" | " %" "a" | " %" "b" | "==" | " %" "c" | " %" "d" | "< " | "&&" | )"
         R"(" %" "e" | " %" "f" | ">=" | "||" | ". " | "= " | "} ")"},
        {"x = a <> b & c >< d | e != f",
         R"(" %" "x" | " %" "a" | " %" "b" | "!=" | " %" "c" | " %" "d" | "!=" | "&&" | )"
         R"(" %" "e" | " %" "f" | "!=" | "||" | ". " | "= " | "} ")"},
        {"x = a <= b > c",
         R"(" %" "x" | " %" "a" | " %" "b" | "<=" | " %" "c" | "> " | ". " | "= " | "} ")"},
        {"x = !a + -b",
         R"(" %" "x" | " %" "a" | " !" | " %" "b" | " -" | "+ " | ". " | "= " | "} ")"},
        {"x = -(1 + 2) * 3",
         R"(" %" "x" | " #" 1 | " #" 2 | "+ " | " -" | " #" 3 | "* " | ". " | "= " | "} ")"},
        // An assignment inside an expression takes everything to its right.
        {"x = 1 + y = 2 + 3",
         R"(" %" "x" | " #" 1 | " %" "y" | " #" 2 | " #" 3 | "+ " | "= " | "+ " | ". " | )"
         R"("= " | "} ")"},
        {"x = \"s\" : 2.5", R"(" %" "x" | " $" "s" | "fl" 2.5 | "::" | ". " | "= " | "} ")"},
        {"SETFILE a; APPENDFILE a; WRITE a; CALL a",
         R"(">_" | " %" "a" | ". " | "_>" | " %" "a" | ". " | "WR" | " %" "a" | ". " | )"
         R"("C>" | " %" "a" | ". " | "} ")"},
        {"COPY a; COPYEX a; RUN a; NOTIFY a",
         R"("CP" | " %" "a" | ". " | "CX" | " %" "a" | ". " | "RN" | " %" "a" | ". " | )"
         R"("NO" | " %" "a" | ". " | "} ")"},
        {"x = FLOAT(1) + INT(1, 2)",
         R"(" %" "x" | "FL" | " #" 1 | ". " | "IG" | " #" 1 | ". " | ".n" | " #" 2 | ". " | )"
         R"("+ " | ". " | "= " | "} ")"},
        {"JUSTIFY(a, 1); JUSTIFY(a, 1, LEFT)",
         R"("JU" | " %" "a" | ". " | " #" 1 | ". " | "JU" | " %" "a" | ". " | " #" 1 | ". " | )"
         R"("} ")"},
        {"JUSTIFY(a, 1, RIGHT); JUSTIFY(a, 1, FILL \"-\")",
         R"("JU" | " %" "a" | ". " | " #" 1 | ". " | "JR" | "JU" | " %" "a" | ". " | " #" 1 | )"
         R"(". " | "FC" | " $" "-" | ". " | "} ")"},
        {"JUSTIFY(a, 1, CENTER, FILL \"-\")",
         R"("JU" | " %" "a" | ". " | " #" 1 | ". " | "JC" | "FC" | " $" "-" | ". " | "} ")"},
        {"REPEAT(a, 1); TRUNC(a, 1); ASKSAVE(a, 1); ASKSAVEABORT(a, 1)",
         R"("RP" | " %" "a" | ". " | " #" 1 | ". " | "TR" | " %" "a" | ". " | " #" 1 | ". " | )"
         R"("SV" | " %" "a" | ". " | " #" 1 | ". " | "SA" | " %" "a" | ". " | " #" 1 | ". " | )"
         R"("} ")"},
        {"SUBSTRING(a, 1, 2); REPLACE(a, b, c)",
         R"("SS" | " %" "a" | ". " | " #" 1 | ". " | " #" 2 | ". " | )"
         R"("RC" | " %" "a" | ". " | " %" "b" | ". " | " %" "c" | ". " | "} ")"},
        {"x = POSITION(a, b, 1) + ASK(a, b, c)",
         R"(" %" "x" | "PO" | " %" "a" | ". " | " %" "b" | ". " | " #" 1 | ". " | )"
         R"("AK" | " %" "a" | ". " | " %" "b" | ". " | " %" "c" | ". " | "+ " | ". " | "= " | )"
         R"("} ")"},
        {"x = STRIPEXT(a, b, c) : LENGTH(a)",
         R"(" %" "x" | "SE" | " %" "a" | ". " | ", " | " %" "b" | ". " | ", " | " %" "c" | )"
         R"(". " | "LN" | " %" "a" | ". " | "::" | ". " | "= " | "} ")"},
        {"IF a WRITE 1; WRITE 2",
         R"("IF" | " %" "a" | ". " | -> 22 | "WR" | " #" 1 | ". " | "WR" | " #" 2 | ". " | "} ")"},
        // A dangling ELSE belongs to the nearest IF.
        {"IF a IF b WRITE 1 ELSE WRITE 2",
         R"("IF" | " %" "a" | ". " | -> 50 | "IF" | " %" "b" | ". " | -> 40 | "WR" | " #" 1 | )"
         R"(". " | "BR" | -> 50 | "WR" | " #" 2 | ". " | "} ")"},
    };
    for (const ShapeCase& c : cases) EXPECT_EQ(ShapeOf(c.source), c.shape) << c.source;
}

TEST_F(ReportScriptTest, LoopsArePatchedBehindTheirEnd) {
    const ShapeCase cases[] = {
        {"ITERATE SIMPLE HIERARCHY {}", R"("HL" | -> 12 | kind 0 | order 0 | "} " | "} ")"},
        {"ITERATE COMPLEX HIERARCHY TOPDOWN BY BRANCH {}",
         R"("HL" | -> 12 | kind 1 | order 0 | "} " | "} ")"},
        {"ITERATE SIMPLE HIERARCHY BOTTOMUP {}", R"("HL" | -> 12 | kind 0 | order 1 | "} " | "} ")"},
        {"ITERATE SIMPLE HIERARCHY BY LEVEL {}", R"("HL" | -> 12 | kind 0 | order 2 | "} " | "} ")"},
        {"ITERATE COMPLEX HIERARCHY BOTTOMUP BY LEVEL {}",
         R"("HL" | -> 12 | kind 1 | order 3 | "} " | "} ")"},
        {"ITERATE COMPONENTS {}", R"("CL" | -> 10 | "SK" | "} " | "} ")"},
        {"ITERATE NETS BY a, [b] {}",
         R"("NL" | -> 22 | " %" "a" | " `" | " %" "b" | ". " | "SK" | "} " | "} ")"},
        {"ITERATE COMPONENTS ITERATE PINS BY n {}",
         R"("CL" | -> 24 | "SK" | "PL" | -> 22 | " %" "n" | "SK" | "} " | "} " | "} ")"},
        {"ITERATE SIMPLE HIERARCHY ITERATE PORTS {}",
         R"("HL" | -> 22 | kind 0 | order 0 | "XL" | -> 20 | "SK" | "} " | "} " | "} ")"},
        {"ITERATE PROJECT ATTRIBUTES {}", R"("AL" | -> 10 | kind 5 | "} " | "} ")"},
        {"ITERATE COMPONENTS { ITERATE COMPONENT ATTRIBUTES {} }",
         R"("CL" | -> 20 | "SK" | "AL" | -> 18 | kind 2 | "} " | "} " | "} ")"},
        {"ITERATE NETS ITERATE PINS { ITERATE PIN ATTRIBUTES {}; ITERATE NET ATTRIBUTES {} }",
         R"("NL" | -> 40 | "SK" | "PL" | -> 38 | "SK" | "AL" | -> 26 | kind 1 | "} " | )"
         R"("AL" | -> 36 | kind 3 | "} " | "} " | "} " | "} ")"},
        {"ITERATE SIMPLE HIERARCHY ITERATE SHEET ATTRIBUTES {}",
         R"("HL" | -> 22 | kind 0 | order 0 | "AL" | -> 20 | kind 4 | "} " | "} " | "} ")"},
        {"DESCENTRULES {}", R"("->" | -> 8 | "} " | "} ")"},
        {"WHILE a { BREAK }",
         R"("WH" | -> 20 | " %" "a" | ". " | "BK" | -> 20 | "} " | "} ")"},
        // Each BREAK leaves its innermost loop.
        {"WHILE a { WHILE b BREAK; BREAK }",
         R"("WH" | -> 40 | " %" "a" | ". " | "WH" | -> 32 | " %" "b" | ". " | "BK" | -> 32 | )"
         R"("} " | "BK" | -> 40 | "} " | "} ")"},
        {"ITERATE COMPONENTS { WHILE 1 {}; BREAK }",
         R"("CL" | -> 32 | "SK" | "WH" | -> 24 | " #" 1 | ". " | "} " | "BK" | -> 32 | "} " | )"
         R"("} ")"},
        // DESCENTRULES is no loop of its own.
        {"WHILE 1 { DESCENTRULES { BREAK } }",
         R"("WH" | -> 30 | " #" 1 | ". " | "->" | -> 28 | "BK" | -> 30 | "} " | "} " | "} ")"},
        {"BLOCKDEF \"b\" { WRITE 1 }",
         R"("B{" | -> 24 | " $" "b" | ". " | "WR" | " #" 1 | ". " | "} " | "} ")"},
        // Iterators inside a block are checked when the block runs.
        {"BLOCKDEF \"b\" { ITERATE PINS {} }",
         R"("B{" | -> 24 | " $" "b" | ". " | "PL" | -> 22 | "SK" | "} " | "} " | "} ")"},
    };
    for (const ShapeCase& c : cases) EXPECT_EQ(ShapeOf(c.source), c.shape) << c.source;
}

TEST_F(ReportScriptTest, LeavingAnIteratorAllowsItAgain) {
    EXPECT_EQ(Compile("ITERATE COMPONENTS {}; ITERATE NETS {}; ITERATE COMPONENTS {}").status, 0);
    EXPECT_EQ(Compile("BLOCKDEF \"a\" {}; BLOCKDEF \"b\" {}; WHILE 1 {}; DESCENTRULES {}").status, 0);
    EXPECT_TRUE(ShownErrors().empty());
}

// ---- Lexer ----

TEST_F(ReportScriptTest, StatementsNeedNoSemicolonAfterABrace) {
    EXPECT_EQ(Compile("IF x { WRITE \"a\" } ELSE { WRITE \"b\" }").status, 0);
    EXPECT_EQ(Compile("{ WRITE \"a\" } WRITE \"b\"").status, 0);
    EXPECT_EQ(Compile("{ WRITE \"a\" }; WRITE \"b\"").status, 0);
    EXPECT_EQ(Compile("{ { WRITE \"a\" } }").status, 0);
    EXPECT_TRUE(ShownErrors().empty());
    EXPECT_EQ(ShapeOf("{ a = 1 } b = 2"),
              R"(" %" "a" | " #" 1 | ". " | "= " | " %" "b" | " #" 2 | ". " | "= " | "} ")");
    const ShownError e = ErrorOf("WRITE \"a\"\n  WRITE \"b\"");
    EXPECT_EQ(e.message, "Bad syntax.");
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 2);
}

TEST_F(ReportScriptTest, ContextKeywordsAreNamesOutsideAnIterateHead) {
    EXPECT_EQ(ShapeOf("components = 1; Nets = 2"),
              R"(" %" "components" | " #" 1 | ". " | "= " | " %" "Nets" | " #" 2 | ". " | "= " | "} ")");
    EXPECT_EQ(ShapeOf("pins = 1; attributes = net : pin : component : sheet : project"),
              R"(" %" "pins" | " #" 1 | ". " | "= " | " %" "attributes" | " %" "net" | " %" "pin" | )"
              R"("::" | " %" "component" | "::" | " %" "sheet" | "::" | " %" "project" | "::" | ". " | )"
              R"("= " | "} ")");
    EXPECT_EQ(ShapeOf("ITERATE components BY components { components = 1 }"),
              R"("CL" | -> 48 | " %" "components" | "SK" | " %" "components" | " #" 1 | ". " | )"
              R"("= " | "} " | "} ")");
    // The keywords of the attributes loop stay keywords up to ATTRIBUTES.
    EXPECT_EQ(ShapeOf("ITERATE project Attributes { WRITE project }"),
              R"("AL" | -> 24 | kind 5 | "WR" | " %" "project" | ". " | "} " | "} ")");
}

TEST_F(ReportScriptTest, ReservedWordsNeedQuotesAsNames) {
    EXPECT_EQ(ErrorOf("left = 1").message, "Bad syntax.");
    EXPECT_EQ(ShapeOf("'left' = 1; 'a b\\'c' = 2"),
              R"(" %" "left" | " #" 1 | ". " | "= " | " %" "a b'c" | " #" 2 | ". " | "= " | "} ")");
    EXPECT_EQ(ShapeOf("include = 1"), R"(" %" "include" | " #" 1 | ". " | "= " | "} ")");
}

TEST_F(ReportScriptTest, StringEscapes) {
    // \t TAB, \n and \r CR, \l LF, in either case; any other character stands for itself.
    EXPECT_EQ(ShapeOf(R"(WRITE "\t\n\l\r\T\N\L\R\q\"\\")"),
              R"("WR" | " $" "\t\n\l\n\t\n\l\nq\"\\" | ". " | "} ")");
    const test::CompileResult r = Compile(R"(WRITE "\t\n\l")");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.bytes.substr(4, 4), std::string("\x03\x09\x0D\x0A", 4));
}

TEST_F(ReportScriptTest, StringsEndAtTheLineEndAndKeep250Characters) {
    EXPECT_EQ(ShapeOf("WRITE \"abc\n; WRITE 'x\n"),
              R"("WR" | " $" "abc" | ". " | "WR" | " %" "x" | ". " | "} ")");
    const test::CompileResult r = Compile("WRITE \"" + std::string(250, 'z') + "\"");
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(uint8_t(r.bytes[4]), 250);
    EXPECT_EQ(r.bytes.substr(5, 250), std::string(250, 'z'));
}

// A longer literal is refused where it starts, never cut without a word.
TEST_F(ReportScriptTest, AStringLiteralLongerThan250CharactersIsRefusedWithItsPlace) {
    for (const size_t length : {251u, 300u, 1000u}) {
        SCOPED_TRACE(length);
        const ShownError e = ErrorOf("WRITE 1;\n  WRITE \"" + std::string(length, 'z') + "\"");
        EXPECT_EQ(e.code, kScriptStringTooLong);
        EXPECT_EQ(e.message, "A string literal is longer than 250 characters.");
        EXPECT_EQ(e.line, 2);
        EXPECT_EQ(e.column, 8);
    }
}

TEST_F(ReportScriptTest, NumbersWithAPointAreFloats) {
    EXPECT_EQ(ShapeOf("x = 1.5 : .5 : 5. : 42 : 007"),
              R"(" %" "x" | "fl" 1.5 | "fl" 0.5 | "::" | "fl" 5 | "::" | " #" 42 | "::" | " #" 7 | )"
              R"("::" | ". " | "= " | "} ")");
    // Integers are unsigned 32-bit; more digits than that stay exact as a float.
    EXPECT_EQ(ShapeOf("x = 4294967295 : 4294967296"),
              R"(" %" "x" | " #" 4294967295 | "fl" 4294967296 | "::" | ". " | "= " | "} ")");
}

TEST_F(ReportScriptTest, CommentsRunToTheLineEnd) {
    EXPECT_EQ(ShapeOf("// WRITE 1\r\nWRITE 2 // WRITE 3\n; x /= 4 // end"),
              R"("WR" | " #" 2 | ". " | " %" "x" | " #" 4 | ". " | "/=" | "} ")");
}

TEST_F(ReportScriptTest, AHashNotFollowedByIncludeIsASyntaxError) {
    const ShownError e = ErrorOf("WRITE 1;\n # WRITE 2");
    EXPECT_EQ(e.message, "Bad syntax.");
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 1);
    EXPECT_EQ(ErrorOf("###").message, "Bad syntax.");
}

TEST_F(ReportScriptTest, StrayBytesAreSyntaxErrors) {
    const ShownError zero = ErrorOf(std::string("WRITE 1;\0 WRITE 2", 17));
    EXPECT_EQ(zero.message, "Bad syntax.");
    EXPECT_EQ(zero.column, 8);
    EXPECT_EQ(ErrorOf("WRITE @").column, 6);
}

TEST_F(ReportScriptTest, LineNumbersFollowEveryLineEnd) {
    EXPECT_EQ(ErrorOf("WRITE 1;\r\nWRITE 2;\rWRITE 3;\nWRITE 4;\n\rBREAK").line, 5);
    EXPECT_EQ(ErrorOf("WRITE 1;\n\nBREAK").line, 3);
}

// ---- Errors ----

TEST_F(ReportScriptTest, BreakOutsideALoopShowsItsLineAndCaret) {
    const std::string path = Write("break.SXP", "WRITE \"a\";\n\tIF x  BREAK\n");
    const test::CompileResult r = CompileFile(path);
    EXPECT_EQ(r.status, status::kUserCancelled);
    ASSERT_EQ(ShownErrors().size(), 1u);
    const ShownError& e = ShownErrors()[0];
    EXPECT_EQ(e.kind, ScriptErrorKind::kScript);
    EXPECT_EQ(e.code, kScriptBadBreak);
    EXPECT_EQ(e.message, "Illegal use of a BREAK statement.");
    EXPECT_EQ(e.fileName, "break.SXP");
    EXPECT_EQ(e.path, path);
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 7);
    EXPECT_EQ(e.sourceLine, "\tIF x  BREAK");
    EXPECT_EQ(e.caretLine, "\t      ^");
}

TEST_F(ReportScriptTest, TheDefaultReportGoesToStandardError) {
    SetScriptErrorHook(nullptr);
    Write("top.SXP", "BREAK\n");
    testing::internal::CaptureStderr();
    const test::CompileResult r = CompileFile(dir_.file("top.SXP"));
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.status, status::kUserCancelled);
    EXPECT_EQ(shown, "top.SXP:1:1: Illegal use of a BREAK statement.\nBREAK\n^\n");
}

TEST_F(ReportScriptTest, FormattedReports) {
    ScriptErrorReport r{};
    r.kind = ScriptErrorKind::kScript;
    r.message = "Could not find file:\r    \"x\"";
    r.fileName = "a.SXP";
    r.line = 3;
    r.column = 4;
    r.sourceLine = "COPY x";
    r.caretLine = "    ^";
    EXPECT_EQ(FormatScriptError(r), "a.SXP:3:5: Could not find file:\n    \"x\"\nCOPY x\n    ^\n");
    r.kind = ScriptErrorKind::kStatus;
    r.code = -108;
    r.caretLine = "";
    EXPECT_EQ(FormatScriptError(r), "a.SXP:3:5: error -108\nCOPY x\n");
    r.kind = ScriptErrorKind::kAlert;
    r.message = "yacc stack overflow";
    r.line = 0;
    EXPECT_EQ(FormatScriptError(r), "a.SXP: yacc stack overflow\n");
}

TEST_F(ReportScriptTest, TheCaretSkipsTheTailBytesOfCharacters) {
    const ShownError e = ErrorOf("\tWRITE \"\xC3\xA9\" BREAK");
    EXPECT_EQ(e.column, 12);
    EXPECT_EQ(e.caretLine, "\t          ^");
}

TEST_F(ReportScriptTest, ASyntaxErrorAtTheEndPointsBehindTheText) {
    const ShownError e = ErrorOf("WRITE (1 +");
    EXPECT_EQ(e.message, "Bad syntax.");
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.column, 10);
    EXPECT_EQ(e.caretLine, "          ^");
}

struct ErrorCase {
    const char* source;
    OSStatus code;
};

TEST_F(ReportScriptTest, NestingErrors) {
    const ErrorCase cases[] = {
        {"ITERATE COMPONENTS ITERATE COMPONENTS {}", kScriptBadNesting},
        {"ITERATE NETS ITERATE COMPONENTS {}", kScriptBadNesting},
        {"ITERATE COMPONENTS ITERATE NETS {}", kScriptBadNesting},
        {"ITERATE PINS {}", kScriptBadPins},
        {"ITERATE PORTS {}", kScriptBadNesting},
        {"ITERATE SIMPLE HIERARCHY ITERATE COMPONENTS ITERATE PORTS {}", kScriptBadNesting},
        {"ITERATE SIMPLE HIERARCHY ITERATE PORTS ITERATE COMPONENTS {}", kScriptBadNesting},
        {"DESCENTRULES ITERATE COMPONENTS {}", kScriptBadNesting},
        {"DESCENTRULES DESCENTRULES {}", kScriptBadNesting},
        {"ITERATE COMPONENTS DESCENTRULES {}", kScriptBadDescentRules},
        {"ITERATE PIN ATTRIBUTES {}", kScriptBadAttributesScope},
        {"ITERATE COMPONENTS ITERATE NET ATTRIBUTES {}", kScriptBadAttributesScope},
        {"ITERATE NETS ITERATE COMPONENT ATTRIBUTES {}", kScriptBadAttributesScope},
        {"ITERATE SHEET ATTRIBUTES {}", kScriptBadAttributesScope},
        {"ITERATE SIMPLE HIERARCHY ITERATE PORTS ITERATE NET ATTRIBUTES {}", kScriptBadAttributesScope},
        {"ITERATE PROJECT ATTRIBUTES ITERATE PROJECT ATTRIBUTES {}", kScriptBadNesting},
        {"BREAK", kScriptBadBreak},
        {"DESCENTRULES BREAK", kScriptBadBreak},
        {"BLOCKDEF \"a\" { BREAK }", kScriptBadBreak},
        {"WHILE 1 BLOCKDEF \"a\" {}", kScriptBadBlock},
        {"BLOCKDEF \"a\" BLOCKDEF \"b\" {}", kScriptBadBlock},
        {"ITERATE COMPONENTS BLOCKDEF \"a\" {}", kScriptBadBlock},
        {"DESCENTRULES BLOCKDEF \"a\" {}", kScriptBadBlock},
        // The first error wins.
        {"BREAK; ITERATE PINS {}", kScriptBadBreak},
    };
    for (const ErrorCase& c : cases) {
        const ShownError e = ErrorOf(c.source);
        EXPECT_EQ(e.code, c.code) << c.source;
        EXPECT_EQ(e.kind, ScriptErrorKind::kScript) << c.source;
    }
    EXPECT_EQ(Compile("ITERATE SIMPLE HIERARCHY ITERATE PORTS ITERATE PROJECT ATTRIBUTES {}").status, 0);
    EXPECT_EQ(Compile("BLOCKDEF \"a\" { WHILE 1 BREAK }").status, 0);
}

TEST_F(ReportScriptTest, PinsOutsideComponentsAndNetsShowsItsMessage) {
    const ShownError e = ErrorOf("ITERATE PINS BY PinNumber { WRITE PinNumber }");
    EXPECT_EQ(e.message, "Illegal use of a PINS Iterator.");
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.column, 8);
}

TEST_F(ReportScriptTest, ValidateNestRules) {
    struct Case {
        uint16_t bits, bit, kind;
        OSStatus result;
    };
    const Case cases[] = {
        {0, kNestComponents, 0, 0},
        {kNestComponents, kNestComponents, 0, kScriptBadNesting},
        {kNestNets, kNestComponents, 0, kScriptBadNesting},
        {kNestComponents, kNestNets, 0, kScriptBadNesting},
        {kNestHierarchy, kNestComponents, 0, 0},
        {0, kNestPins, 0, kScriptBadPins},
        {kNestHierarchy, kNestPins, 0, kScriptBadPins},
        {kNestComponents, kNestPins, 0, 0},
        {kNestNets, kNestPins, 0, 0},
        {0, kNestPorts, 0, kScriptBadNesting},
        {kNestHierarchy, kNestPorts, 0, 0},
        {kNestHierarchy | kNestComponents, kNestPorts, 0, kScriptBadNesting},
        {kNestHierarchy | kNestNets | kNestPins, kNestPorts, 0, kScriptBadNesting},
        {kNestHierarchy | kNestNets, kNestPorts, 0, 0},
        {kNestHierarchy | kNestPorts, kNestComponents, 0, kScriptBadNesting},
        {kNestHierarchy | kNestPorts, kNestAttributes, kRptSheetAttributes, 0},
        {kNestDescentRules, kNestAttributes, kRptProjectAttributes, kScriptBadNesting},
        {kNestDescentRules, kNestDescentRules, 0, kScriptBadNesting},
        {kNestHierarchy, kNestDescentRules, 0, kScriptBadDescentRules},
        {0, kNestDescentRules, 0, 0},
        {0, kNestAttributes, kRptPinAttributes, kScriptBadAttributesScope},
        {kNestPins, kNestAttributes, kRptPinAttributes, 0},
        {kNestComponents, kNestAttributes, kRptComponentAttributes, 0},
        {kNestNets | kNestPins, kNestAttributes, kRptComponentAttributes, 0},
        {kNestNets, kNestAttributes, kRptComponentAttributes, kScriptBadAttributesScope},
        {kNestNets, kNestAttributes, kRptNetAttributes, 0},
        {kNestComponents | kNestPins, kNestAttributes, kRptNetAttributes, 0},
        {kNestComponents, kNestAttributes, kRptNetAttributes, kScriptBadAttributesScope},
        {kNestHierarchy, kNestAttributes, kRptSheetAttributes, 0},
        {kNestComponents, kNestAttributes, kRptSheetAttributes, kScriptBadAttributesScope},
        {0, kNestAttributes, kRptProjectAttributes, 0},
        {0, kNestAttributes, 6, kScriptBadAttributesScope},
        {kNestAttributes, kNestAttributes, kRptProjectAttributes, kScriptBadNesting},
    };
    for (const Case& c : cases) {
        uint16_t bits = c.bits;
        EXPECT_EQ(ValidateNest(c.bit, &bits, c.kind), c.result) << c.bits << " " << c.bit;
        EXPECT_EQ(bits, c.result ? c.bits : uint16_t(c.bits | c.bit));
    }
}

TEST_F(ReportScriptTest, ScriptErrorMessages) {
    struct Case {
        OSStatus code;
        const char* text;
    };
    const Case cases[] = {
        {kScriptBadSyntax, "Bad syntax."},
        {kScriptBadNesting, "Illegal nesting of an Iterator statement."},
        {kScriptBadPins, "Illegal use of a PINS Iterator."},
        {kScriptBadDescentRules, "Illegal use of a DESCENTRULES statement."},
        {kScriptBadBreak, "Illegal use of a BREAK statement."},
        {kScriptBadBlock, "Cannot define a BLOCK at this location."},
        {kScriptIncludesTooDeep, "Too many nested include files."},
        {kScriptIncludeNotFound, "Could not find include file."},
        {kScriptNullName, "A null variable name has been produced by an expression."},
        {kScriptBadAttributesScope, "Invalid scope for an ATTRIBUTES iterator."},
    };
    char text[256];
    for (const Case& c : cases) {
        EXPECT_TRUE(GetScriptErrorMessage(c.code, text, sizeof text, nullptr));
        EXPECT_STREQ(text, c.text);
    }
    const std::string longName(100, 'n');
    EXPECT_TRUE(GetScriptErrorMessage(kScriptFileNotFound, text, sizeof text, longName.c_str()));
    EXPECT_EQ(std::string(text), "Could not find file:\r    \"" + std::string(63, 'n') + "\"");
    EXPECT_FALSE(GetScriptErrorMessage(kScriptExit, text, sizeof text, nullptr));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(GetScriptErrorMessage(-108, text, sizeof text, nullptr));
    // A small buffer gets a cut message.
    EXPECT_TRUE(GetScriptErrorMessage(kScriptBadSyntax, text, 4, nullptr));
    EXPECT_STREQ(text, "Bad");
}

TEST_F(ReportScriptTest, AStackOverflowIsShownAsAMessage) {
    const ShownError e = ErrorOf("x = " + std::string(12000, '('));
    EXPECT_EQ(e.kind, ScriptErrorKind::kAlert);
    EXPECT_EQ(e.message, "yacc stack overflow");
}

TEST_F(ReportScriptTest, FilesThatCannotBeReadAreNotCompiled) {
    FileSpec spec;
    ASSERT_EQ(FileSpecFromURL(dir_.file("missing.SXP"), &spec, false, nullptr), 0);
    Handle tokens = reinterpret_cast<Handle>(1);
    EXPECT_EQ(TokenizeScript(nullptr, &spec, &tokens), status::kNotFound);
    EXPECT_EQ(tokens, nullptr);
    std::filesystem::create_directory(dir_.file("folder.SXP"));
    ASSERT_EQ(FileSpecFromURL(dir_.file("folder.SXP"), &spec, false, nullptr), 0);
    EXPECT_EQ(TokenizeScript(nullptr, &spec, &tokens), status::kNotFound);
    EXPECT_TRUE(ShownErrors().empty());
}

TEST_F(ReportScriptTest, AnEmptyScriptIsTheEndAlone) {
    EXPECT_EQ(ShapeOf(""), R"("} ")");
    EXPECT_EQ(ShapeOf(" ;;\n// nothing\n{}"), R"("} ")");
}

TEST_F(ReportScriptTest, CompilingFromAStream) {
    test::HandleStream source("WRITE 1");
    FileSpec spec;
    ClearFileSpec(&spec);
    SetFileSpecName(&spec, "memory.SXP");
    Handle tokens = nullptr;
    ASSERT_EQ(TokenizeScriptStream(nullptr, &spec, source.stream, &tokens), 0);
    std::string listing;
    EXPECT_EQ(DisassembleTokenStream(*tokens, SizeOfHandle(tokens), &listing), 0);
    EXPECT_EQ(Shape(listing), R"("WR" | " #" 1 | ". " | "} ")");
    MemFree(tokens);
    // With no folder of its own a script finds include files by absolute path only.
    test::HandleStream include("#include \"x.inc\"");
    EXPECT_EQ(TokenizeScriptStream(nullptr, &spec, include.stream, &tokens), status::kUserCancelled);
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0].message, "Could not find include file.");
    EXPECT_EQ(ShownErrors()[0].fileName, "memory.SXP");
}

// ---- Include files ----

TEST_F(ReportScriptTest, IncludedTokensFollowTheIncludeStatement) {
    Write("lib.inc", "WRITE \"lib\"");
    EXPECT_EQ(ShapeOf("WRITE 1;\n#include \"lib.inc\"\n; WRITE 2"),
              R"("WR" | " #" 1 | ". " | "WR" | " $" "lib" | ". " | "WR" | " #" 2 | ". " | "} ")");
    // The name is looked up without regard to case.
    EXPECT_EQ(ShapeOf("# INCLUDE \"LIB.INC\""), R"("WR" | " $" "lib" | ". " | "} ")");
    Write("block.inc", "IF x { WRITE 3 }");
    EXPECT_EQ(ShapeOf("#include \"block.inc\"\nWRITE 4"),
              R"("IF" | " %" "x" | ". " | -> 22 | "WR" | " #" 3 | ". " | "WR" | " #" 4 | ". " | "} ")");
}

TEST_F(ReportScriptTest, IncludePathsAreRelativeToTheIncludingFile) {
    Write("inc/a.inc", "WRITE \"a\";\n#include \"b.inc\"");
    Write("inc/b.inc", "WRITE \"b\"");
    Write("inc/deeper/c.inc", "WRITE \"c\"");
    Write("up.inc", "WRITE \"up\"");
    const char* expected = R"("WR" | " $" "a" | ". " | "WR" | " $" "b" | ". " | "} ")";
    EXPECT_EQ(ShapeOf("#include \"inc/a.inc\""), expected);
    EXPECT_EQ(ShapeOf("#include \"inc\\\\a.inc\""), expected);
    EXPECT_EQ(ShapeOf("#include \":inc:a.inc\""), expected);
    EXPECT_EQ(ShapeOf("#include \"./inc/deeper/../a.inc\""), expected);
    Write("inc/d.inc", "#include \"../up.inc\"");
    EXPECT_EQ(ShapeOf("#include \"inc/d.inc\""), R"("WR" | " $" "up" | ". " | "} ")");
    // An absolute path stays absolute.
    EXPECT_EQ(ShapeOf("#include \"" + dir_.file("inc/deeper/c.inc") + "\""),
              R"("WR" | " $" "c" | ". " | "} ")");
}

TEST_F(ReportScriptTest, APlainNameIsSearchedInSubFolders) {
    Write("x/a/deep.inc", "WRITE \"deep\"");
    Write("x/b/deep.inc", "WRITE \"other\"");
    EXPECT_EQ(ShapeOf("#include \"deep.inc\""), R"("WR" | " $" "deep" | ". " | "} ")");
}

TEST_F(ReportScriptTest, TheSubFolderSearchDoesNotFollowLinkedFolders) {
    test::TempDir outside;
    test::WriteFile(outside.file("hidden.inc"), "WRITE 1");
    std::filesystem::create_directory(dir_.file("sub"));
    std::filesystem::create_directory_symlink(dir_.path(), dir_.file("sub/loop"));
    std::filesystem::create_directory_symlink(outside.path(), dir_.file("sub/link"));
    const ShownError e = ErrorOf("WRITE 0;\n#include \"missing.inc\"");
    EXPECT_EQ(e.message, "Could not find include file.");
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 9);
    EXPECT_EQ(e.caretLine, "         ^");
    EXPECT_EQ(ErrorOf("#include \"hidden.inc\"").code, kScriptIncludeNotFound);
    // A path through the link is taken as it is written.
    EXPECT_EQ(ShapeOf("#include \"sub/link/hidden.inc\""), R"("WR" | " #" 1 | ". " | "} ")");
    // A linked file is a file.
    Write("target.txt", "WRITE 2");
    std::filesystem::create_symlink(dir_.file("target.txt"), dir_.file("linked.inc"));
    EXPECT_EQ(ShapeOf("#include \"linked.inc\""), R"("WR" | " #" 2 | ". " | "} ")");
}

TEST_F(ReportScriptTest, OnlyRegularFilesAreIncluded) {
    std::filesystem::create_directory(dir_.file("folder.inc"));
    EXPECT_EQ(ErrorOf("#include \"folder.inc\"").code, kScriptIncludeNotFound);
    EXPECT_EQ(ErrorOf("#include \"/dev/null\"").code, kScriptIncludeNotFound);
    EXPECT_EQ(ErrorOf("#include \"inc/none.inc\"").code, kScriptIncludeNotFound);
    EXPECT_EQ(ErrorOf("#include \"\"").code, kScriptIncludeNotFound);
    EXPECT_EQ(ErrorOf("#include \"Disk:Folder:none.inc\"").code, kScriptIncludeNotFound);
}

TEST_F(ReportScriptTest, EightNestedIncludesAreTheMost) {
    for (int i = 1; i <= 9; ++i) {
        const std::string next = i < 9 ? "#include \"f" + std::to_string(i + 1) + ".inc\"" : "WRITE 9";
        Write("f" + std::to_string(i) + ".inc", "\n" + next);
    }
    Write("eight.SXP", "#include \"f2.inc\"");
    EXPECT_EQ(CompileFile(dir_.file("eight.SXP")).status, 0);
    EXPECT_TRUE(ShownErrors().empty());
    const ShownError e = ErrorOf("#include \"f1.inc\"");
    EXPECT_EQ(e.message, "Too many nested include files.");
    EXPECT_EQ(e.fileName, "f8.inc");
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.sourceLine, "#include \"f9.inc\"");
}

TEST_F(ReportScriptTest, AnIncludeOfItselfEndsWithAnError) {
    const std::string path = Write("self.SXP", "WRITE 1;\n#include \"self.SXP\"\n");
    EXPECT_EQ(CompileFile(path).status, status::kUserCancelled);
    ASSERT_EQ(ShownErrors().size(), 1u);
    EXPECT_EQ(ShownErrors()[0].message, "Too many nested include files.");
    EXPECT_EQ(ShownErrors()[0].fileName, "self.SXP");
    EXPECT_EQ(ShownErrors()[0].line, 2);
    ShownErrors().clear();
    Write("a.inc", "#include \"b.inc\"");
    Write("b.inc", "#include \"A.INC\"");
    EXPECT_EQ(ErrorOf("#include \"a.inc\"").fileName, "b.inc");
    // The same file may be included again once it has ended.
    Write("once.inc", "WRITE 1");
    EXPECT_EQ(ShapeOf("#include \"once.inc\"\n;#include \"once.inc\""),
              R"("WR" | " #" 1 | ". " | "WR" | " #" 1 | ". " | "} ")");
}

TEST_F(ReportScriptTest, ErrorsInIncludeFilesNameTheirFile) {
    Write("lib/bad.inc", "WRITE 1;\n\n  ITERATE PINS {}");
    const ShownError e = ErrorOf("WRITE 0;\n#include \"lib/bad.inc\"\nWRITE 2");
    EXPECT_EQ(e.message, "Illegal use of a PINS Iterator.");
    EXPECT_EQ(e.fileName, "bad.inc");
    EXPECT_EQ(e.path, dir_.file("lib/bad.inc"));
    EXPECT_EQ(e.line, 3);
    EXPECT_EQ(e.column, 10);
    EXPECT_EQ(e.sourceLine, "  ITERATE PINS {}");
    EXPECT_EQ(e.caretLine, "          ^");
    // A syntax error at the end of an include file shows in the including file.
    Write("open.inc", "WRITE (");
    const ShownError end = ErrorOf("#include \"open.inc\"\n;WRITE 1");
    EXPECT_EQ(end.fileName, "main.SXP");
    EXPECT_EQ(end.line, 2);
}

ProjectRecord* const kProject = reinterpret_cast<ProjectRecord*>(0x1000);
std::string gPathListFolder;
std::vector<std::string> gPathListNames;

bool SearchPathList(ProjectRecord* project, const char* name, FileSpec* found) {
    EXPECT_EQ(project, kProject);
    gPathListNames.push_back(name);
    const std::string path = gPathListFolder + "/" + name;
    return std::filesystem::exists(path) && FileSpecFromURL(path, found, false, nullptr) == 0;
}

TEST_F(ReportScriptTest, IncludesAreSearchedInTheProjectsPathList) {
    test::TempDir other;
    gPathListFolder = other.path();
    gPathListNames.clear();
    test::WriteFile(other.file("shared.inc"), "WRITE \"shared\"");
    Write("here.inc", "WRITE \"here\"");
    Write("sub/shared.inc", "WRITE \"sub\"");
    SetScriptPathListSearch(SearchPathList);
    const std::string path = Write("p.SXP", "#include \"shared.inc\"; #include \"here.inc\"");
    const test::CompileResult r = CompileFile(path, kProject);
    ASSERT_EQ(r.status, 0);
    // The path list comes after the script's own folder and before its sub-folders.
    EXPECT_EQ(Shape(r.listing), R"("WR" | " $" "shared" | ". " | "WR" | " $" "here" | ". " | "} ")");
    EXPECT_EQ(gPathListNames, std::vector<std::string>{"shared.inc"});
    // Without a project the path list is not asked.
    EXPECT_EQ(Shape(CompileFile(path).listing), R"("WR" | " $" "sub" | ". " | "WR" | " $" "here" | ". " | "} ")");
    EXPECT_EQ(gPathListNames.size(), 1u);
}

}  // namespace
}  // namespace plexa
