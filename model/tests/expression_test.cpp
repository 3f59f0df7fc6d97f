#include "model/expression.h"

#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace plexa {
namespace {

// A stand-in for the data-context lookup: names of one chain answered from a table.
struct FakeContext {
    std::map<std::string, std::string> fields;
    std::map<std::string, std::string> expressions;  // values computed by a nested evaluation
};

bool FakeResolve(DataContextChain* chain, const char* name, char* out, int32_t size) {
    auto* context = reinterpret_cast<FakeContext*>(chain);
    out[0] = 0;
    if (!context) return false;
    if (auto it = context->expressions.find(name); it != context->expressions.end()) {
        EvalExpression(chain, it->second.c_str(), out, size);
    } else if (auto f = context->fields.find(name); f != context->fields.end()) {
        std::snprintf(out, size_t(size), "%s", f->second.c_str());
    }
    return out[0] != 0;
}

class Expression : public ::testing::Test {
protected:
    void SetUp() override {
        former_ = SetExpressionNameResolver(FakeResolve);
        context_.fields = {{"RefDes", "U5"}, {"Value", "21"}, {"Half", "1.5"}, {"Ref Des", "R7"},
                           {"Empty", ""}};
        context_.expressions = {{"Inner", "2*3"}, {"Broken", "1+"}, {"Zero", "1/0"}};
    }
    void TearDown() override {
        SetExpressionNameResolver(former_);
        SetExpressionPrecision(0);
        EXPECT_EQ(gExpr.stack, nullptr);  // every evaluation frees the storage it made
    }
    DataContextChain* chain() { return reinterpret_cast<DataContextChain*>(&context_); }
    uint32_t Eval(const std::string& text, std::string& out, int32_t size = 256) {
        std::string buffer(size_t(size > 0 ? size : 1), '#');
        uint32_t bits = EvalExpression(chain(), text.c_str(), buffer.data(), size);
        out = size > 0 ? std::string(buffer.c_str()) : std::string();
        return bits;
    }

    FakeContext context_;
    ExpressionNameResolver former_ = nullptr;
};

struct Case {
    const char* expression;
    const char* text;
    uint32_t bits;
};

TEST_F(Expression, Table) {
    const Case cases[] = {
        // arithmetic and precedence
        {"1+2*3", "7", 0}, {"(1+2)*3", "9", 0}, {"10-4-3", "3", 0}, {"2*3%4", "2", 0},
        {"7/2", "3", 0}, {"-7/2", "-3", 0}, {"7.0/2", "3.5", 0}, {"7.5%2", "1.5", 0},
        {"1.50+1", "2.5", 0}, {"1.0+1", "2.0", 0}, {".5", "0.5", 0}, {"5.", "5.0", 0},
        {"0.1+0.2", "0.3", 0}, {"1/3.0", "0.333333", 0}, {"-2*3", "-6", 0}, {"2--3", "5", 0},
        {"- 2 * - 3", "6", 0}, {"  12  ", "12", 0},
        // division by zero gives 0, carries its flag, and does not stop the evaluation
        {"7%0", "0", 2}, {"7/0", "0", 2}, {"7.5/0", "0.0", 2}, {"7.5%0.0", "0.0", 2},
        {"1/0+5", "5", 2}, {"(1/0):\"x\"", "0x", 2}, {"!(1/0)", "1", 2}, {"(1/0)>-1", "1", 2},
        // integers beyond 32 bits become floats instead of wrapping
        {"2147483647+1", "2147483648.0", 0}, {"-2147483647-1", "-2147483648", 0},
        {"2147483648", "2147483648.0", 0}, {"4294967297", "4294967297.0", 0},
        {"65536*65536", "4294967296.0", 0}, {"(-2147483647-1)/-1", "2147483648.0", 0},
        {"(-2147483647-1)%-1", "0", 0}, {"-(-2147483647-1)", "2147483648.0", 0},
        {"99999999999999999999", "100000000000000000000.0", 0},
        {"\"3000000000\"+0", "3000000000.0", 0},
        // comparisons
        {"10>9", "1", 0}, {"9>10", "0", 0}, {"\"R10\">\"R9\"", "1", 0}, {"\"10\"<\"9\"", "0", 0},
        {"\"abc\"==\"ABC\"", "1", 0}, {"1.5==1.50", "1", 0}, {"2==2.0", "1", 0},
        {"3>=3", "1", 0}, {"3<=2", "0", 0}, {"3!=3", "0", 0}, {"3<>4", "1", 0}, {"3><4", "1", 0},
        {"1+1==2", "1", 0}, {"1<2<3", "1", 0}, {"\"2\"==2", "1", 0},
        // logic
        {"!0", "1", 0}, {"!5", "0", 0}, {"!0+1", "2", 0}, {"\"\" && 1", "0", 0},
        {"\"x\" || 0", "1", 0}, {"1 & 0", "0", 0}, {"1 | 0", "1", 0}, {"1 || 0 && 0", "0", 0},
        {"1==1 && 2>1", "1", 0}, {"\" 0\" || 0", "0", 0}, {"\" \" || 0", "1", 0},
        {"\"0.0\" || 0", "0", 0}, {"\"12abc\" && 1", "1", 0}, {"0.5 && 1", "1", 0},
        // joining binds loosest
        {"\"abc\":1+1", "abc2", 0}, {"1+1:2*2", "24", 0}, {"1:2==2", "11", 0},
        {"\"a\\tb\"", "a\tb", 0}, {"\"\\n\\R\"", "\r\r", 0}, {"\"\\L\"", "\n", 0},
        {"\"\\q\\\"\"", "q\"", 0}, {"\"abc", "abc", 0}, {"\"\"", "", 0},
        // names through the chain
        {"RefDes", "U5", 0}, {"Nope:1", "1", 0}, {"[\"Ref\":\"Des\"]", "U5", 0},
        {"'Ref Des'", "R7", 0}, {"'Ref Des", "R7", 0}, {"Value*2", "42", 0},
        {"Half+1", "2.5", 0}, {"Empty || 0", "0", 0}, {"_x1", "", 0},
        {"Inner+1", "7", 0}, {"Broken:1", "<error>1", 0}, {"Zero+1", "1", 0},
        // syntax errors
        {"a=1", "<error>", 1}, {"1+", "<error>", 1}, {"", "<error>", 1}, {"(1", "<error>", 1},
        {"1)", "<error>", 1}, {"1 $ 2", "<error>", 1}, {"1 2", "<error>", 1},
        {"1.2.3", "<error>", 1}, {"[1", "<error>", 1}, {"1e5", "<error>", 1},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(Eval(c.expression, out), c.bits) << c.expression;
        EXPECT_EQ(out, c.text) << c.expression;
    }
}

TEST_F(Expression, Precision) {
    struct P { int16_t precision; const char* expression; const char* text; };
    const P cases[] = {
        {0, "1.50+1", "2.5"}, {2, "1.50+1", "2.50"}, {-1, "1.50+1", "2.500000"},
        {0, "4/2.0", "2.0"}, {3, "1/3.0", "0.333"}, {1, "2.25*1", "2.2"}, {2, "7/2", "3"},
        {40, "0.5", "0.5000000000000000000000000000000000000000"},
    };
    for (const P& c : cases) {
        SetExpressionPrecision(c.precision);
        std::string out;
        Eval(c.expression, out);
        EXPECT_EQ(out, c.text) << c.precision << " " << c.expression;
    }
    // The precision outlives the storage that each evaluation makes and frees.
    EXPECT_EQ(SetExpressionPrecision(2), 40);
    std::string out;
    Eval("1.5", out);
    Eval("1.5", out);
    EXPECT_EQ(out, "1.50");
    EXPECT_EQ(SetExpressionPrecision(0), 2);
    // Very large floats print whole.
    Eval("99999999999999999999*99999999999999999999", out);
    EXPECT_EQ(out.size(), 43u);
    EXPECT_EQ(out.substr(0, 2) + out.substr(41), "10.0");
}

// The program's locale may use a comma as its decimal point; expressions never do.
TEST_F(Expression, DecimalPointIgnoresLocale) {
    const std::string former = std::setlocale(LC_NUMERIC, nullptr);
    bool comma = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            comma = true;
            break;
        }
    }
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma";
    std::string out;
    Eval("1.25+Half", out);
    std::setlocale(LC_NUMERIC, former.c_str());
    EXPECT_EQ(out, "2.75");
}

TEST_F(Expression, OutputIsCut) {
    struct C { const char* expression; int32_t size; const char* text; uint32_t bits; };
    const C cases[] = {
        {"12345", 4, "123", 0}, {"12345", 6, "12345", 0}, {"12345", 1, "", 0},
        {"1+", 4, "<er", 1}, {"\"a\xC3\xA9\"", 3, "a", 0}, {"\"a\xC3\xA9\"", 4, "a\xC3\xA9", 0},
        {"\"\xE2\x82\xAC\xE2\x82\xAC\"", 6, "\xE2\x82\xAC", 0},
        {"1/0", 1, "", 2},
    };
    for (const C& c : cases) {
        std::string out;
        EXPECT_EQ(Eval(c.expression, out, c.size), c.bits) << c.expression;
        EXPECT_EQ(out, c.text) << c.expression << " " << c.size;
    }
    // Size 0 writes nothing at all.
    char none = '#';
    EXPECT_EQ(EvalExpression(chain(), "1", &none, 0), 0u);
    EXPECT_EQ(none, '#');
}

TEST_F(Expression, LongTextsFailInsteadOfBeingCut) {
    const std::string s250(250, 's');
    std::string out;
    EXPECT_EQ(Eval("\"" + s250 + "\"", out), 0u);
    EXPECT_EQ(out, s250);
    EXPECT_EQ(Eval("\"" + s250 + "t\"", out), 1u);
    EXPECT_EQ(out, "<error>");
    context_.fields[std::string(250, 'n')] = "long";
    EXPECT_EQ(Eval(std::string(250, 'n'), out), 0u);
    EXPECT_EQ(out, "long");
    EXPECT_EQ(Eval(std::string(251, 'n'), out), 1u);
    EXPECT_EQ(Eval("'" + std::string(251, 'n') + "'", out), 1u);
    // A computed name holds at most 127 characters.
    const std::string n127(127, 'c');
    context_.fields[n127] = "found";
    EXPECT_EQ(Eval("[\"" + n127 + "\"]", out), 0u);
    EXPECT_EQ(out, "found");
    EXPECT_EQ(Eval("[\"" + n127 + "\":\"c\"]", out), 1u);
    EXPECT_EQ(out, "<error>");
    // Joins may grow past every lexer limit.
    std::string joined = "\"" + s250 + "\"";
    for (int i = 0; i < 7; ++i) joined += ":\"" + s250 + "\"";
    EXPECT_EQ(Eval(joined, out, 4096), 0u);
    EXPECT_EQ(out.size(), 2000u);
}

TEST_F(Expression, ManyLiteralsInOneExpression) {
    std::string floats = "0.5";
    std::string strings = "\"s0\"";
    for (int i = 1; i < 100; ++i) {
        floats += "+0.5";
        strings += ":\"s" + std::to_string(i % 10) + "\"";
    }
    std::string out;
    EXPECT_EQ(Eval(floats, out), 0u);
    EXPECT_EQ(out, "50.0");
    EXPECT_EQ(Eval(strings, out), 0u);
    std::string expected;
    for (int i = 0; i < 100; ++i) expected += "s" + std::to_string(i % 10);
    EXPECT_EQ(out, expected);
    // Floats and names mixed, with nested evaluations between them.
    EXPECT_EQ(Eval("1.25*Inner+0.75+Half+Inner*0.5", out), 0u);
    EXPECT_EQ(out, "12.75");
}

TEST_F(Expression, DeepNesting) {
    std::string out;
    auto nested = [](int depth, const char* open, const char* close) {
        std::string s;
        for (int i = 0; i < depth; ++i) s += open;
        s += "1";
        for (int i = 0; i < depth; ++i) s += close;
        return s;
    };
    EXPECT_EQ(Eval(nested(300, "(", ")"), out), 0u);
    EXPECT_EQ(out, "1");
    EXPECT_EQ(Eval(nested(300, "(1+", ")"), out), 0u);
    EXPECT_EQ(out, "301");
    EXPECT_EQ(Eval(nested(20000, "(", ")"), out), 1u);
    EXPECT_EQ(out, "<error>");
    EXPECT_EQ(Eval(nested(20000, "-", ""), out), 1u);
    EXPECT_EQ(Eval(nested(20000, "(1+", ")"), out), 1u);
    EXPECT_EQ(out, "<error>");
    // A name whose value evaluates itself ends instead of recursing without bound: the innermost
    // evaluation fails and each level above adds its 1.
    context_.expressions["Self"] = "Self+1";
    EXPECT_EQ(Eval("Self", out), 0u);
    EXPECT_EQ(out, "31");
}

TEST_F(Expression, KeptStorageIsReused) {
    ASSERT_EQ(InitExpressionStorage(), 0);
    std::string out;
    for (const char* text : {"1+2*3", "a=1", "Inner*(1/0)", "\"x\":RefDes", "1+(2"}) {
        Eval(text, out);
        EXPECT_EQ(gExpr.stack->count, 0u) << text;
        EXPECT_EQ(gExpr.inUse->count, 0u) << text;
    }
    const uint32_t terms = gExpr.freeList->count;
    for (int i = 0; i < 5; ++i) Eval("1+2*3-Inner", out);
    EXPECT_EQ(gExpr.freeList->count, terms);
    EXPECT_EQ(out, "1");
    FreeExpressionStorage();
}

TEST_F(Expression, StackOperations) {
    ASSERT_EQ(InitExpressionStorage(), 0);
    char text[64];
    PushIntegerTerm(5);
    PushStringTerm("3");
    EXPECT_EQ(MathOperator(kOpAddAssign), 0);
    EXPECT_EQ(GetExpressionString(nullptr, sizeof text, text), 1);
    EXPECT_STREQ(text, "8");
    PushFloatTerm(0.25);
    EXPECT_EQ(MathOperator(kOpMultiply), 0);
    PushVariableTerm("Value", chain());
    EXPECT_EQ(ExtractVariableName(nullptr, 0, text, sizeof text), 5);
    EXPECT_STREQ(text, "Value");
    EXPECT_EQ(ExtractVariableName(nullptr, 1, text, sizeof text), 0);
    EXPECT_EQ(RelationalOperator(kOpLess), 0);
    ExpressionTerm* t = GetExpressionTerm(kExprInteger, true);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->type, kExprInteger);
    EXPECT_EQ(t->value.integer, 1);  // 2.0 < 21
    ReleaseExpressionData(t);
    // Missing operands and unknown operators fail and push nothing.
    EXPECT_EQ(MathOperator(kOpAdd), -50);
    PushIntegerTerm(1);
    EXPECT_EQ(LogicalOperator(kOpAdd), -50);
    EXPECT_EQ(CatenateTerms(), -50);
    EXPECT_EQ(gExpr.stack->count, 0u);
    EXPECT_EQ(gExpr.inUse->count, 0u);
    // Conversions of one term.
    t = PushStringTerm("  42 ");
    CastData(t, kExprTruth);
    EXPECT_EQ(t->value.integer, 1);
    ReleaseExpressionData(t);
    t = PushStringTerm("2.75");
    CastData(t, kExprInteger);
    EXPECT_EQ(t->value.integer, 2);
    ReleaseExpressionData(t);
    t = PushVariableTerm("Half", chain());
    CastData(t, kExprVariable);
    EXPECT_EQ(t->type, kExprVariable);
    CastData(t, kExprNumber);
    EXPECT_EQ(t->type, kExprFloat);
    EXPECT_EQ(t->value.real, 1.5);
    ReleaseExpressionData(t);
    EXPECT_EQ(PushVariableTerm(std::string(256, 'v').c_str(), chain()), nullptr);
    EXPECT_EQ(gExpr.stack->count, 0u);
    FreeExpressionStorage();
    EXPECT_EQ(PushIntegerTerm(1), nullptr);  // no storage
}

// Terms that cannot be had end the evaluation with "<error>", the stack unwound.
TEST_F(Expression, OutOfMemory) {
    ASSERT_EQ(InitExpressionStorage(), 0);
    // Pages for pointers and for handles exist before the pool is held to what it has.
    std::vector<Ptr> pointers{AllocPtr(gGenPool, 1024)};
    std::vector<Handle> handles{AllocHandle(gGenPool, 1024)};
    MemPoolInfoRecord info{};
    ASSERT_TRUE(MemPoolInfo(gGenPool, nullptr, &info));
    const uint32_t ceiling = MemPoolSetCeiling(gGenPool, info.totalBytes);
    // Fill what the pool has left, then give a little back: enough to start, not to finish.
    for (bool more = true; more;) {
        more = false;
        if (Ptr p = AllocPtr(gGenPool, 1024)) pointers.push_back(p), more = true;
        if (Handle h = AllocHandle(gGenPool, 1024)) handles.push_back(h), more = true;
    }
    for (int i = 0; i < 24 && pointers.size() > 1; ++i, pointers.pop_back()) {
        MemFreePtr(pointers.back());
    }
    for (int i = 0; i < 24 && handles.size() > 1; ++i, handles.pop_back()) MemFree(handles.back());
    std::string text;
    for (int i = 0; i < 400; ++i) text += "(1+";
    text += "1" + std::string(400, ')');
    std::string out;
    EXPECT_EQ(Eval(text, out), 1u);
    EXPECT_EQ(out, "<error>");
    EXPECT_EQ(gExpr.stack->count, 0u);
    EXPECT_EQ(gExpr.inUse->count, 0u);
    EXPECT_GT(gExpr.freeList->count, 10u);  // it got under way before it ran out
    for (Ptr p : pointers) MemFreePtr(p);
    for (Handle h : handles) MemFree(h);
    MemPoolSetCeiling(gGenPool, ceiling);
    EXPECT_EQ(Eval(text, out), 0u);
    EXPECT_EQ(out, "401");
    FreeExpressionStorage();
}

// ---- Random integer expressions against a reference evaluation ----

struct Value {
    bool isFloat = false;
    int64_t i = 0;
    double f = 0;
    double AsFloat() const { return isFloat ? f : double(i); }
};

Value FromInt(int64_t v) {
    Value r;
    if (v < INT32_MIN || v > INT32_MAX) {
        r.isFloat = true;
        r.f = double(v);
    } else {
        r.i = v;
    }
    return r;
}

Value FromFloat(double v) {
    Value r;
    r.isFloat = true;
    r.f = v;
    return r;
}

bool Truth(const Value& v) { return v.isFloat ? v.f != 0.0 : v.i != 0; }

struct Operator {
    const char* text;
    int level;  // binding, higher binds tighter
};
const Operator kBinary[] = {{"&&", 1}, {"||", 1}, {"==", 2}, {"!=", 2}, {"<", 2},  {">", 2},
                            {"<=", 2}, {">=", 2}, {"+", 3},  {"-", 3},  {"*", 4},  {"/", 4},
                            {"%", 4}};

struct Generated {
    std::string text;
    int level;  // 5: a literal, a unary or a parenthesised expression
    Value value;
    bool divideByZero = false;
};

Value Apply(const std::string& op, const Value& a, const Value& b, bool& zero) {
    if (op == "&&") return FromInt(Truth(a) && Truth(b));
    if (op == "||") return FromInt(Truth(a) || Truth(b));
    if (op.size() == 2 || op == "<" || op == ">") {
        int order;
        if (a.isFloat || b.isFloat) {
            const double x = a.AsFloat(), y = b.AsFloat();
            if (std::isnan(x) || std::isnan(y)) return FromInt(op == "!=");
            order = x < y ? -1 : x > y ? 1 : 0;
        } else {
            order = a.i < b.i ? -1 : a.i > b.i ? 1 : 0;
        }
        if (op == "==") return FromInt(order == 0);
        if (op == "!=") return FromInt(order != 0);
        if (op == "<") return FromInt(order < 0);
        if (op == ">") return FromInt(order > 0);
        if (op == "<=") return FromInt(order <= 0);
        return FromInt(order >= 0);
    }
    if (!a.isFloat && !b.isFloat) {
        if ((op == "/" || op == "%") && b.i == 0) {
            zero = true;
            return FromInt(0);
        }
        if (op == "+") return FromInt(a.i + b.i);
        if (op == "-") return FromInt(a.i - b.i);
        if (op == "*") return FromInt(a.i * b.i);
        if (op == "/") return FromInt(a.i / b.i);
        return FromInt(a.i % b.i);
    }
    const double x = a.AsFloat(), y = b.AsFloat();
    if ((op == "/" || op == "%") && y == 0.0) {
        zero = true;
        return FromFloat(0);
    }
    if (op == "+") return FromFloat(x + y);
    if (op == "-") return FromFloat(x - y);
    if (op == "*") return FromFloat(x * y);
    if (op == "/") return FromFloat(x / y);
    return FromFloat(std::fmod(x, y));
}

Generated Generate(std::mt19937& rng, int depth) {
    std::uniform_int_distribution<int> pick(0, 99);
    const int choice = pick(rng);
    if (depth == 0 || choice < 20) {
        const int64_t v = choice < 3 ? 0 : pick(rng) * (choice % 2 ? 1 : 1000);
        return {std::to_string(v), 5, FromInt(v)};
    }
    if (choice < 28) {
        Generated inner = Generate(rng, depth - 1);
        if (inner.level < 5) inner.text = "(" + inner.text + ")";
        bool minus = choice < 24;
        Generated g{std::string(minus ? "-" : "!") + inner.text, 5, {}, inner.divideByZero};
        if (!minus) {
            g.value = FromInt(!Truth(inner.value));
        } else if (inner.value.isFloat) {
            g.value = FromFloat(-inner.value.f);
        } else {
            g.value = FromInt(-inner.value.i);
        }
        return g;
    }
    if (choice < 33) {
        Generated inner = Generate(rng, depth - 1);
        inner.text = "(" + inner.text + ")";
        inner.level = 5;
        return inner;
    }
    const Operator& op = kBinary[size_t(pick(rng)) % std::size(kBinary)];
    Generated left = Generate(rng, depth - 1);
    Generated right = Generate(rng, depth - 1);
    // Left-associative: a left operand of the same level needs no parentheses, a right one does.
    if (left.level < op.level) left.text = "(" + left.text + ")";
    if (right.level <= op.level) right.text = "(" + right.text + ")";
    Generated g;
    g.text = left.text + " " + op.text + " " + right.text;
    g.level = op.level;
    g.divideByZero = left.divideByZero || right.divideByZero;
    g.value = Apply(op.text, left.value, right.value, g.divideByZero);
    return g;
}

std::string Expected(const Value& v) {
    char text[512];
    if (!v.isFloat) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(v.i));
        return text;
    }
    std::snprintf(text, sizeof text, "%.6f", v.f);
    std::string s = text;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
    }
    return s;
}

TEST_F(Expression, RandomAgainstReference) {
    std::mt19937 rng(test::TestSeed());
    const uint64_t count = test::StressCount(400);
    for (uint64_t n = 0; n < count; ++n) {
        Generated g = Generate(rng, 6);
        std::string out;
        const uint32_t bits = Eval(g.text, out, 1024);
        ASSERT_EQ(out, Expected(g.value)) << g.text << " seed " << test::TestSeed();
        ASSERT_EQ(bits, g.divideByZero ? 2u : 0u) << g.text;
    }
}

}  // namespace
}  // namespace plexa
