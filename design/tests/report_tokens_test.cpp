#include "design/report_tokens.h"

#include "design/tests/report_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace plexa {
namespace {

using test::ReportScriptTest;

// Builds a token stream by hand, in the machine's byte order.
struct StreamBuilder {
    std::string bytes;
    StreamBuilder& Code(const char (&code)[3]) {
        const uint16_t word = ExprOperator(code[0], code[1]);
        bytes.append(reinterpret_cast<const char*>(&word), 2);
        return *this;
    }
    StreamBuilder& Long(uint32_t value) {
        bytes.append(reinterpret_cast<const char*>(&value), 4);
        return *this;
    }
    StreamBuilder& Word(uint16_t value) {
        bytes.append(reinterpret_cast<const char*>(&value), 2);
        return *this;
    }
    StreamBuilder& String(const std::string& text) {
        bytes += char(text.size());
        bytes += text;
        if ((text.size() & 1) == 0) bytes += '\0';
        return *this;
    }
    StreamBuilder& Integer(uint32_t value) { return Code(" #").Long(value); }
};

OSStatus List(const std::string& bytes, std::string* listing) {
    return DisassembleTokenStream(bytes.data(), uint32_t(bytes.size()), listing);
}

std::string LastLine(const std::string& listing) {
    const size_t end = listing.size() > 0 ? listing.size() - 1 : 0;
    const size_t start = listing.rfind('\n', end > 0 ? end - 1 : 0);
    return listing.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

const char kFullScript[] =
    "// a netlist\n"
    "DATABASE (MODULAR, NOPINS, CROSSREF);\n"
    "SETFILE \"out.net\";\n"
    "count = 0;\n"
    "ITERATE COMPLEX HIERARCHY BOTTOMUP BY LEVEL {\n"
    "  ITERATE components BY RefDes, [ \"Val\" : \"ue\" ] {\n"
    "    count += 1;\n"
    "    WRITE JUSTIFY(RefDes, 8, RIGHT, FILL \"*\") : \"\\n\";\n"
    "    ITERATE PINS BY PinNumber {\n"
    "      IF PinNumber == \"1\" BREAK ELSE WRITE PinName;\n"
    "      ITERATE PIN ATTRIBUTES WRITE AttributeName\n"
    "    }\n"
    "  }\n"
    "  ITERATE PORTS { WRITE PortName }\n"
    "}\n"
    "WHILE count > 0 { count -= 1; IF count < 2 BREAK }\n"
    "BLOCKDEF \"blk\" { WRITE SUBSTRING(\"abc\", -1, 2.5) }\n"
    "DESCENTRULES { NODESCENT = 1 }\n"
    "CALL \"blk\";\n"
    "x = y := 3 + -z * !w;\n"
    "WRITE STRIPEXT(name, \".sch\", \".SHX\") : ASK(\"q\", \"\", \"\");\n"
    "WRITE FLOAT(1.5, 2) : INT(.5) : LENGTH(\"\\t\\l\\n\") : REPEAT(\"a\", 3);\n"
    "EXIT\n";

TEST_F(ReportScriptTest, EveryCutOfAStreamIsRefused) {
    const test::CompileResult r = Compile(kFullScript);
    ASSERT_EQ(r.status, 0);
    for (size_t size = 0; size < r.bytes.size(); ++size) {
        std::string listing;
        EXPECT_EQ(List(r.bytes.substr(0, size), &listing), status::kParamErr) << size;
        EXPECT_EQ(LastLine(listing).rfind("error at ", 0), 0u) << size << "\n" << listing;
    }
}

// Whether a run must write the project: a DATABASE option anywhere in the script, not a name or
// a string that reads like one, nor a stream that is not well formed.
TEST_F(ReportScriptTest, DatabaseOptionsAreFoundInTheStream) {
    const struct {
        const char* script;
        bool crossRef;
    } cases[] = {
        {kFullScript, true},
        {"DATABASE (NOPINS);\nWRITE \"CROSSREF\"", false},
        {"IF 1 { DATABASE (CROSSREF) }", true},
        {"CROSSREFX = 1", false},
    };
    for (const auto& c : cases) {
        const test::CompileResult r = Compile(c.script);
        ASSERT_EQ(r.status, 0) << c.script;
        EXPECT_EQ(TokenStreamHasDatabaseOption(r.bytes.data(), uint32_t(r.bytes.size()), kRptCrossRef), c.crossRef)
            << c.script;
    }
    const test::CompileResult r = Compile(kFullScript);
    EXPECT_FALSE(TokenStreamHasDatabaseOption(r.bytes.data(), uint32_t(r.bytes.size() - 2), kRptCrossRef));
}

TEST_F(ReportScriptTest, ChangedStreamsEndWithAStatus) {
    const test::CompileResult r = Compile(kFullScript);
    ASSERT_EQ(r.status, 0);
    std::mt19937 random(test::TestSeed());
    const uint64_t rounds = test::StressCount(3000);
    for (uint64_t i = 0; i < rounds; ++i) {
        std::string bytes = r.bytes;
        const int changes = 1 + int(random() % 4);
        for (int k = 0; k < changes; ++k) bytes[random() % bytes.size()] = char(random());
        std::string listing;
        const OSStatus st = List(bytes, &listing);
        EXPECT_TRUE(st == status::kNoErr || st == status::kParamErr) << st;
    }
}

TEST(ReportTokens, MalformedStreams) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* error;
    };
    const Case cases[] = {
        {"empty", "", "error at 0: the stream ends where a code is due"},
        {"trailing bytes", StreamBuilder().Code("} ").Code("} ").bytes,
         "error at 2: bytes follow the end of the script"},
        {"unknown statement", StreamBuilder().Code("ZZ").Code("} ").bytes,
         "error at 0: not a code of a statement"},
        {"two values", StreamBuilder().Code("WR").Integer(1).Integer(2).Code(". ").Code("} ").bytes,
         "error at 14: an expression does not leave one value"},
        {"no value", StreamBuilder().Code("WR").Code(". ").Code("} ").bytes,
         "error at 2: an expression does not leave one value"},
        {"missing operand", StreamBuilder().Code("WR").Integer(1).Code("+ ").Code(". ").Code("} ").bytes,
         "error at 8: an operator lacks an operand"},
        {"unary without operand", StreamBuilder().Code("WR").Code(" -").Code(". ").Code("} ").bytes,
         "error at 2: an operator lacks an operand"},
        {"statement code in an expression", StreamBuilder().Code("WR").Code("IF").bytes,
         "error at 2: not a code of an expression"},
        {"hole into an expression",
         StreamBuilder().Code("IF").Integer(1).Code(". ").Long(4).Code("} ").bytes,
         "error at 10: a hole does not point at a statement"},
        {"hole past the end", StreamBuilder().Code("IF").Integer(1).Code(". ").Long(400).Code("} ").bytes,
         "error at 10: a hole does not point at a statement"},
        {"hole cut", StreamBuilder().Code("BK").Word(0).bytes,
         "error at 2: the stream ends inside an operand"},
        {"string past the end", StreamBuilder().Code("WR").Code(" $").bytes + "\x05" "ab",
         "error at 4: a string runs past the end of the stream"},
        {"not an assignment",
         StreamBuilder().Code(" %").String("a").Integer(1).Code(". ").Code("+ ").Code("} ").bytes,
         "error at 12: not an assignment operator"},
        {"sort key not a variable", StreamBuilder().Code("CL").Long(0).Integer(1).bytes,
         "error at 6: not a variable"},
        {"unclosed loop",
         StreamBuilder().Code("WH").Long(14).Integer(1).Code(". ").Code("} ").bytes,
         "error at 16: the stream ends where a code is due"},
    };
    for (const Case& c : cases) {
        std::string listing;
        EXPECT_EQ(List(c.bytes, &listing), status::kParamErr) << c.what;
        EXPECT_EQ(LastLine(listing), c.error) << c.what << "\n" << listing;
    }
}

TEST(ReportTokens, ExpressionsNestAtMostAThousandDeep) {
    for (int depth : {1000, 1001}) {
        StreamBuilder b;
        b.Code("WR");
        for (int i = 1; i < depth; ++i) b.Code(" `");
        b.Code(" %").String("x");
        for (int i = 0; i < depth; ++i) b.Code(". ");
        b.Code("} ");
        std::string listing;
        const OSStatus st = List(b.bytes, &listing);
        if (depth == 1000) {
            EXPECT_EQ(st, 0) << LastLine(listing);
        } else {
            EXPECT_EQ(st, status::kParamErr);
            EXPECT_NE(LastLine(listing).find("expressions nest too deep"), std::string::npos);
        }
    }
}

TEST(ReportTokens, ListingOfOperands) {
    StreamBuilder b;
    b.Code("DB").Code("~G").Code("GR");
    b.Code(" `").Code(" $").String(std::string("q\"\\\x01", 4)).Code(". ");
    b.Code("fl");
    const double v = -0.25;
    b.bytes.append(reinterpret_cast<const char*>(&v), 8);
    b.Code(". ").Code(":=").Code("} ");
    std::string listing;
    ASSERT_EQ(List(b.bytes, &listing), 0) << listing;
    EXPECT_EQ(listing,
              "     0  \"DB\"\n"
              "     2  \"~G\"\n"
              "     4  \"GR\"\n"
              "     6  \" `\"\n"
              "     8    \" $\" \"q\\\"\\\\\\x01\"\n"
              "    16    \". \"\n"
              "    18    \"fl\" -0.25\n"
              "    28    \". \"\n"
              "    30  \":=\"\n"
              "    32  \"} \"\n");
}

}  // namespace
}  // namespace plexa
