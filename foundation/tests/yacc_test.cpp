#include "foundation/yacc.h"

#include "foundation/signals.h"

#include "calc_tables.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace plexa {
namespace {

namespace g = grammar::calc;

struct ParseRun {
    std::string input;
    size_t pos = 0;
    int32_t endToken = 0;           // what the lexer returns at the end of the input
    std::vector<int64_t> results;   // one value per accepted line
    std::vector<std::string> errors;
    uint32_t largestCapacity = 0;
};

int32_t Lex(void* user, int64_t* value) {
    auto* run = static_cast<ParseRun*>(user);
    while (run->pos < run->input.size() && run->input[run->pos] == ' ') ++run->pos;
    if (run->pos >= run->input.size()) return run->endToken;
    char c = run->input[run->pos];
    if (c >= '0' && c <= '9') {
        int64_t v = 0;
        while (run->pos < run->input.size() && run->input[run->pos] >= '0' && run->input[run->pos] <= '9')
            v = v * 10 + (run->input[run->pos++] - '0');
        *value = v;
        return g::NUM;
    }
    ++run->pos;
    *value = 0;
    return static_cast<unsigned char>(c);
}

void Error(void* user, const char* message) { static_cast<ParseRun*>(user)->errors.push_back(message); }

void Action(int32_t rule, YaccStack* stack, void* user, int64_t* value) {
    auto* run = static_cast<ParseRun*>(user);
    if (stack->capacity > run->largestCapacity) run->largestCapacity = stack->capacity;
    const int64_t* top = stack->valueTop;
    switch (rule) {
        case 3: run->results.push_back(top[-1]); break;   // line : expr ';'
        case 5: *value = top[-2] + top[0]; break;
        case 6: *value = top[-2] - top[0]; break;
        case 7: *value = top[-2] * top[0]; break;
        case 8: *value = top[-1]; break;                   // '(' expr ')'
        default: break;
    }
}

int32_t Parse(ParseRun& run, uint32_t initial = 0, uint32_t max = 0) {
    YaccEngineContext c;
    InitYaccEngineContext(&c, initial, max, g::kYYTABLESIZE, g::k_lhs, g::k_len, g::k_defred,
                          g::k_dgoto, g::k_sindex, g::k_rindex, g::k_gindex, g::k_table, g::k_check,
                          g::kYYFINAL, static_cast<int16_t>(g::kYYERRCODE));
    return RunYaccEngine(&c, Lex, Error, Action, &run);
}

TEST(YaccEngine, Defaults) {
    YaccEngineContext c;
    InitYaccEngineContext(&c, 0, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, 1, 256);
    EXPECT_EQ(c.initialDepth, 200u);
    EXPECT_EQ(c.maxDepth, 10000u);
    EXPECT_EQ(c.lookAhead, -1);
    InitYaccEngineContext(&c, 500, 300, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                          nullptr, nullptr, nullptr, 1, 256);
    EXPECT_EQ(c.maxDepth, 500u);
}

TEST(YaccEngine, EvaluatesAndAccepts) {
    struct Case { const char* input; int32_t endToken; int32_t result; std::vector<int64_t> values; };
    const Case cases[] = {
        {"", 0, 0, {}},                                 // empty input accepted at once
        {"1+2*3; (1+2)*3; 10-4-3;", 0, 0, {7, 9, 3}},
        {"2*3;", -5, 0, {6}},                           // a negative token is the end
        {"1+;", 0, 0, {}},                              // error, then recovery through error ';'
        {"1+2", 0, 1, {}},                              // cannot recover at the end
    };
    for (const auto& c : cases) {
        ParseRun run;
        run.input = c.input;
        run.endToken = c.endToken;
        EXPECT_EQ(Parse(run), c.result) << c.input;
        EXPECT_EQ(run.results, c.values) << c.input;
    }
}

TEST(YaccEngine, OneMessageForErrorsCloseTogether) {
    ParseRun close;
    close.input = "1 ) ; ) 2 ; 4 ;";   // second error within three shifted tokens
    EXPECT_EQ(Parse(close), 0);
    EXPECT_EQ(close.errors, std::vector<std::string>{"syntax error"});
    EXPECT_EQ(close.results, std::vector<int64_t>{4});

    ParseRun apart;
    apart.input = "1 ) ; 1 ; 2 ; 3 ; ) ;";
    EXPECT_EQ(Parse(apart), 0);
    EXPECT_EQ(apart.errors.size(), 2u);
    EXPECT_EQ(apart.results, (std::vector<int64_t>{1, 2, 3}));
}

TEST(YaccEngine, StackGrowsThenOverflows) {
    auto nested = [](int depth) {
        return std::string(depth, '(') + "7" + std::string(depth, ')') + ";";
    };
    ParseRun deep;
    deep.input = nested(250);
    EXPECT_EQ(Parse(deep), 0);
    EXPECT_EQ(deep.results, std::vector<int64_t>{7});
    EXPECT_EQ(deep.largestCapacity, 400u);
    EXPECT_TRUE(deep.errors.empty());

    ParseRun tooDeep;
    tooDeep.input = nested(12000);
    EXPECT_EQ(Parse(tooDeep), 1);
    EXPECT_EQ(tooDeep.errors, std::vector<std::string>{"yacc stack overflow"});
}

// A failure signalled from an action leaves the parse for the caller's catcher.
TEST(YaccEngine, SignalFromAnActionReachesTheCatcher) {
    ParseRun run;
    run.input = "1+2;";
    YaccEngineContext c;
    InitYaccEngineContext(&c, 0, 0, g::kYYTABLESIZE, g::k_lhs, g::k_len, g::k_defred, g::k_dgoto,
                          g::k_sindex, g::k_rindex, g::k_gindex, g::k_table, g::k_check, g::kYYFINAL,
                          static_cast<int16_t>(g::kYYERRCODE));
    auto failing = [](int32_t rule, YaccStack*, void*, int64_t*) {
        if (rule == 5) Signal(-108);
    };
    int32_t depth = GetSignalDepth();
    OSStatus err = CatchSignals([&] { (void)RunYaccEngine(&c, Lex, Error, failing, &run); });  // the failing action signals
    EXPECT_EQ(err, -108);
    EXPECT_EQ(GetSignalDepth(), depth);
}

// A parser may run inside another's action: all state is in the context and stack record.
TEST(YaccEngine, Reentrant) {
    struct Outer { ParseRun run; int64_t inner = 0; };
    Outer outer;
    outer.run.input = "5;";
    YaccEngineContext c;
    InitYaccEngineContext(&c, 0, 0, g::kYYTABLESIZE, g::k_lhs, g::k_len, g::k_defred, g::k_dgoto,
                          g::k_sindex, g::k_rindex, g::k_gindex, g::k_table, g::k_check, g::kYYFINAL,
                          static_cast<int16_t>(g::kYYERRCODE));
    auto action = [](int32_t rule, YaccStack* stack, void* user, int64_t* value) {
        auto* o = static_cast<Outer*>(user);
        if (rule == 3) {
            ParseRun inner;
            inner.input = "(2+3)*4;";
            EXPECT_EQ(Parse(inner), 0);
            o->inner = inner.results.at(0);
        }
        Action(rule, stack, &o->run, value);
    };
    auto lex = [](void* user, int64_t* value) { return Lex(&static_cast<Outer*>(user)->run, value); };
    EXPECT_EQ(RunYaccEngine(&c, lex, nullptr, action, &outer), 0);
    EXPECT_EQ(outer.inner, 20);
    EXPECT_EQ(outer.run.results, std::vector<int64_t>{5});
}

}  // namespace
}  // namespace plexa
