// The report interpreter without a netlist database: statements, variables, EXIT, BREAK, RUN,
// CALL (with the nesting limit), COPY, output files and the built-in functions.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "design/report_interp.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "design/tests/report_test_support.h"

namespace plexa::test {
namespace {

class ReportRunTest : public ReportRunFixture {
protected:
    // Runs a script written to `name`; its output goes to "out.txt" beside it (the script opens
    // it with SETFILE unless it says otherwise). Returns the status; the output in *out.
    OSStatus RunScript(const std::string& source, std::string* out = nullptr,
                       const std::string& name = "main.SXP") {
        const std::string path = Write(name, source);
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0);
        FileSpec output;
        const OSStatus st = RunReportScriptFile(nullptr, nullptr, true, 9999, &spec, &output);
        if (out) {
            out->clear();
            ReadFile(dir_.file("out.txt"), *out);
        }
        return st;
    }

    // The text a script writes with its SETFILE prepended.
    std::string Output(const std::string& body) {
        std::string out;
        EXPECT_EQ(RunScript("SETFILE \"out.txt\"; " + body, &out), 0) << body;
        for (const std::string& a : Alerts()) ADD_FAILURE() << a;
        return out;
    }

};

TEST_F(ReportRunTest, VariablesAndAssignmentOperators) {
    EXPECT_EQ(Output("a = 5; a += 3; a *= 2; a -= 1; a /= 3; WRITE a"), "5");
    EXPECT_EQ(Output("s = \"ab\"; s := \"cd\"; s := 1; WRITE s"), "abcd1");
    // Names are case-insensitive; an empty value clears the variable.
    EXPECT_EQ(Output("Name = \"x\"; WRITE NAME; name = \"\"; WRITE \"[\" : nAmE : \"]\""), "x[]");
    // A computed name; an assignment inside an expression leaves its value.
    EXPECT_EQ(Output("n = \"v1\"; [n] = 7; WRITE v1 : (b = 2) : b"), "722");
    // Values are cut to 255 characters.
    EXPECT_EQ(Output("v = REPEAT(\"x\", 300); WRITE LENGTH(v)"), "255");
}

TEST_F(ReportRunTest, NullComputedNameIsARuntimeError) {
    EXPECT_EQ(RunScript("[\"\"] = 1"), status::kUserCancelled);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Alerts()[0],
              "Script Runtime Error:\r\r  A null variable name has been produced by an expression.");
}

TEST_F(ReportRunTest, IfElseAndWhileWithBreak) {
    EXPECT_EQ(Output("IF 1 > 2 WRITE \"a\" ELSE WRITE \"b\"; IF \"x\" WRITE \"c\""), "bc");
    EXPECT_EQ(Output("i = 0; WHILE i < 10 { i += 1; IF i == 4 BREAK; WRITE i }; WRITE \".\""),
              "123.");
    // A BREAK ends only the innermost loop.
    EXPECT_EQ(Output("i = 0; WHILE i < 2 { i += 1; j = 0; WHILE 1 { j += 1; IF j > 2 BREAK; "
                     "WRITE i : j } }"),
              "11122122");
}

// A script that never ends stops when the user asks (the cancel hook: a progress window's Cancel
// or the interrupt key) or when its time is up, with a message and what it wrote so far kept.
TEST_F(ReportRunTest, AScriptThatNeverEndsCanBeStopped) {
    static int32_t asked = 0;
    asked = 0;
    ReportHooks hooks = GetReportHooks();
    hooks.cancelKey = [] { return ++asked == 3; };
    const ReportHooks former = SetReportHooks(hooks);
    std::string out;
    EXPECT_EQ(RunScript("SETFILE \"out.txt\"; WRITE \"start\"; i = 0; WHILE 1 { i += 1 }", &out),
              status::kUserCancelled);
    EXPECT_EQ(asked, 3);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Alerts()[0], "Script Runtime Error:\r\r  The script was stopped before its end.");
    EXPECT_EQ(out, "start");
    SetReportHooks(former);

    Alerts().clear();
    const uint32_t formerLimit = SetReportRunTimeLimit(1);
    EXPECT_EQ(RunScript("WHILE 1 {}"), status::kUserCancelled);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Alerts()[0],
              "Script Runtime Error:\r\r  The script ran longer than its time limit and was stopped.");
    // A script that ends in time is not touched by the limit.
    EXPECT_EQ(SetReportRunTimeLimit(60000), 1u);
    Alerts().clear();
    EXPECT_EQ(Output("i = 0; WHILE i < 1000 { i += 1 }; WRITE i"), "1000");
    SetReportRunTimeLimit(formerLimit);
}

TEST_F(ReportRunTest, ExitEndsTheRunAndKeepsStatus) {
    std::string out;
    EXPECT_EQ(RunScript("SETFILE \"out.txt\"; i = 0; WHILE 1 { i += 1; IF i == 3 { EXIT 42 }; "
                        "WRITE i }; WRITE \"never\"",
                        &out),
              0);
    EXPECT_EQ(out, "12");
}

TEST_F(ReportRunTest, RunnerAndStatus) {
    Write("child.SXP", "WRITE \"child \"; IF stop EXIT \"7\"; WRITE \"end \"");
    // A script started by RUN that ends normally leaves STATUS "0"; an EXIT in it ends only it.
    EXPECT_EQ(Output("RUN \"child.SXP\"; WRITE STATUS : \" \"; stop = 1; RUN \"child.SXP\"; "
                     "WRITE STATUS"),
              "child end 0 child 7");
    // RUN of an empty name does nothing; of a missing one stops with the file message.
    EXPECT_EQ(Output("RUN \"\"; WRITE \"ok\""), "ok");
    EXPECT_EQ(RunScript("RUN \"missing.SXP\""), status::kUserCancelled);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Alerts()[0], "Script Runtime Error:\r\r  Could not find file:\r    \"missing.SXP\"");
}

TEST_F(ReportRunTest, RunFindsScriptsByPathWithAnySeparator) {
    Write("sub/inner.SXP", "WRITE \"in\"");
    EXPECT_EQ(Output("RUN \"sub/inner.SXP\"; RUN \":sub:inner.SXP\"; RUN \"sub:inner.SXP\"; "
                     "RUN \"sub\\\\inner.SXP\"; RUN \"inner.SXP\""),
              "ininininin");
}

TEST_F(ReportRunTest, ScriptRunningItselfStopsAtTheNestingLimit) {
    EXPECT_EQ(RunScript("depth += 1; RUN \"main.SXP\""), status::kUserCancelled);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_NE(Alerts()[0].find("nest too deep"), std::string::npos) << Alerts()[0];
}

TEST_F(ReportRunTest, BlocksAndCall) {
    EXPECT_EQ(Output("BLOCKDEF \"Greet\" { WRITE \"hi \" : who }; who = \"a\"; CALL \"greet\"; "
                     "who = \"b\"; CALL \"GREET\"; CALL \"unknown\"; WRITE \".\""),
              "hi ahi b.");
    // A block calling itself stops at the limit instead of overflowing the stack.
    EXPECT_EQ(RunScript("BLOCKDEF \"r\" { n += 1; CALL \"r\" }; CALL \"r\""), status::kUserCancelled);
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_NE(Alerts()[0].find("nest too deep"), std::string::npos);
    // A bounded recursion runs; EXIT inside a block ends the whole script.
    Alerts().clear();
    std::string out;
    EXPECT_EQ(RunScript("SETFILE \"out.txt\"; BLOCKDEF \"r\" { n += 1; WRITE n; IF n < 5 CALL \"r\"; "
                        "IF n == 5 EXIT 1 }; CALL \"r\"; WRITE \"never\"",
                        &out),
              0);
    EXPECT_EQ(out, "12345");
}

TEST_F(ReportRunTest, CopyAndCopyEx) {
    Write("part.txt", "copied\n");
    EXPECT_EQ(Output("WRITE \"<\"; COPY \"./part.txt\"; COPYEX \"./missing.txt\"; WRITE \">\" : LinePos"),
              "<copied\n>0");
    Write("tail.txt", "ab\ncd");
    EXPECT_EQ(Output("COPY \"./tail.txt\"; WRITE LinePos"), "ab\ncd2");
    std::string out;
    EXPECT_EQ(RunScript("SETFILE \"out.txt\"; WRITE \"a\"; COPY \"./missing.txt\"; WRITE \"b\"", &out),
              status::kUserCancelled);
    EXPECT_EQ(out, "a");
    ASSERT_EQ(Alerts().size(), 1u);
    EXPECT_EQ(Alerts()[0], "Script Runtime Error:\r\r  Could not find file:\r    \"./missing.txt\"");
}

TEST_F(ReportRunTest, OutputFilesAndLinePos) {
    // SETFILE empties, APPENDFILE appends; a text ending in CR sets LinePos to 0.
    Write("out.txt", "old");
    EXPECT_EQ(Output("WRITE \"abc\"; WRITE LinePos; WRITE \"\\n\"; WRITE LinePos"), "abc3\r0");
    EXPECT_EQ(RunScript("APPENDFILE \"out.txt\"; WRITE \"+\""), 0);
    std::string out;
    ReadFile(dir_.file("out.txt"), out);
    EXPECT_EQ(out, "abc3\r0+");
    // A folder that does not exist.
    EXPECT_EQ(RunScript("SETFILE \"nowhere/out.txt\""), status::kFolderNotFound);
}

TEST_F(ReportRunTest, CircuitFilesAreClosedInTheSimulatorFirst) {
    ReportHooks hooks = GetReportHooks();
    hooks.closeCircuit = [](const char* path) -> OSStatus {
        Alerts().push_back(std::string("close ") + std::filesystem::path(path).filename().string());
        return std::string(path).find("keep") != std::string::npos ? status::kUserCancelled : status::kNoErr;
    };
    SetReportHooks(hooks);
    EXPECT_EQ(RunScript("SETFILE \"a.txt\"; SETFILE \"net.cir\"; WRITE \"x\""), 0);
    EXPECT_EQ(Alerts(), std::vector<std::string>{"close net.cir"});
    // Declining the question ends the run silently and leaves the file alone.
    Alerts().clear();
    WriteFile(dir_.file("keep.CIR"), "old");
    EXPECT_EQ(RunScript("SETFILE \"keep.CIR\"; WRITE \"new\""), status::kUserCancelled);
    EXPECT_EQ(Alerts(), std::vector<std::string>{"close keep.CIR"});
    std::string text;
    ReadFile(dir_.file("keep.CIR"), text);
    EXPECT_EQ(text, "old");
}

TEST_F(ReportRunTest, NotifyAndAsk) {
    EXPECT_EQ(RunScript("NOTIFY \"\"; NOTIFY \"hello\"; a = ASK(\"yes?\", \"\", \"\"); "
                        "b = ASK(\"no?\", \"Go\", \"Stop\"); c = ASK(\"\", \"x\", \"y\"); "
                        "NOTIFY a : b : c"),
              0);
    EXPECT_EQ(Alerts(), (std::vector<std::string>{"hello", "ask:yes?|OK|Cancel", "ask:no?|Go|Stop",
                                                  "100"}));
}

// The run's token stream lives in a handle that a compaction of its pool may move while the run
// goes on (here: while a notice is shown); the run keeps reading the moved stream.
TEST_F(ReportRunTest, TheTokenStreamMayMoveDuringTheRun) {
    static Handle gap = nullptr;
    gap = AllocHandle(gGenPool, 4096);
    ASSERT_NE(gap, nullptr);
    ReportHooks hooks = GetReportHooks();
    hooks.alert = [](const char* m) {
        Alerts().push_back(m);
        if (gap) MemFree(gap);
        gap = nullptr;
        MemPoolCompact(gGenPool, 0x7FFFFFFF);
    };
    const ReportHooks former = SetReportHooks(hooks);
    std::string out;
    EXPECT_EQ(RunScript("SETFILE \"out.txt\"; NOTIFY \"moving\"; a = \"after\"; WRITE a : \" the move\"", &out), 0);
    SetReportHooks(former);
    EXPECT_EQ(out, "after the move");
    if (gap) MemFree(gap);
    gap = nullptr;
    EXPECT_EQ(Alerts(), (std::vector<std::string>{"moving"}));
}

TEST_F(ReportRunTest, AskSaveCancelled) {
    std::string out;
    EXPECT_EQ(Output("WRITE \"[\" : ASKSAVE(\"Save as\", \"x.txt\") : \"]\""), "[]");
    EXPECT_EQ(RunScript("x = ASKSAVEABORT(\"Save as\", \"x.txt\"); NOTIFY \"never\""),
              status::kUserCancelled);
    EXPECT_TRUE(Alerts().empty());
}

struct BuiltInCase {
    const char* expression;
    const char* result;
};

TEST_F(ReportRunTest, BuiltInFunctions) {
    const BuiltInCase cases[] = {
        {"JUSTIFY(\"abc\", 8, CENTER, FILL \"*\")", "**abc***"},
        {"JUSTIFY(\"abc\", 6)", "abc   "},
        {"JUSTIFY(\"abc\", 6, RIGHT, FILL \"0x\")", "000abc"},
        {"JUSTIFY(\"abcdef\", 3, RIGHT)", "abcdef"},
        {"LENGTH(JUSTIFY(\"a\", 1000))", "301"},
        {"SUBSTRING(\"abcdefgh\", -2, 5)", "abc"},
        {"SUBSTRING(\"abcdefgh\", 6, 10)", "gh"},
        {"SUBSTRING(\"abc\", 5, 1)", ""},
        {"LENGTH(REPEAT(REPEAT(\"x\", 1000), 10))", "4000"},
        {"REPEAT(\"ab\", 3)", "ababab"},
        {"REPEAT(\"ab\", 0)", ""},
        {"LENGTH(REPEAT(REPEAT(\"x\", 4000) : REPEAT(\"y\", 200), 2))", "4200"},
        {"REPLACE(\"abcabd\", \"abc\", \"x\")", "xxd"},
        {"REPLACE(\"a-b\", \"-\", \"_\")", "a_b"},
        {"POSITION(\"Hello\", \"LL\", 0)", "2"},
        {"POSITION(\"Hello\", \"LL\", 1)", "-1"},
        {"POSITION(\"ab\", \"abc\", 1)", "-1"},
        {"STRIPEXT(\"net.SXP\", \".txt\", \".sxp\", \".p\")", "net"},
        {"STRIPEXT(\"a.b.c\", \".c\", \".b.c\")", "a.b"},
        {"STRIPEXT(\"name\", \".txt\")", "name"},
        {"TRUNC(\"abcdef\", 3)", "abc"},
        {"TRUNC(\"ab\", 5)", "ab"},
        {"LENGTH(\"abcd\")", "4"},
        {"INT(\"42.9\")", "42"},
        {"INT(7, 1 / 0)", "7"},
        {"FLOAT(\"2.5\", 3)", "2.500"},
        {"FLOAT(\"2.5\", 0)", "2"},
        {"FLOAT(3) + 0.5", "3.5"},
        {"FLOAT(1, 20)", "1.000000000000"},
        {"\"a\" : 1 + 2", "a3"},
        {"TRUE : FALSE", "10"},
    };
    for (const BuiltInCase& c : cases) {
        EXPECT_EQ(Output(std::string("WRITE ") + c.expression), c.result) << c.expression;
    }
}

TEST_F(ReportRunTest, BuiltInAsStatementDiscardsItsValue) {
    EXPECT_EQ(Output("LENGTH(\"abc\"); WRITE \"ok\""), "ok");
}

}  // namespace
}  // namespace plexa::test
