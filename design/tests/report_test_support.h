// Compiling report scripts in tests: a scratch folder for the script and its include files, the
// errors that the compiler shows (caught through its hook), and the listing of the result.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "design/report_compiler.h"
#include "design/report_interp.h"
#include "design/report_tokens.h"
#include "foundation/filespec.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "tests/support/testing.h"

namespace plexa::test {

struct ShownError {
    ScriptErrorKind kind;
    OSStatus code;
    std::string message, fileName, path, sourceLine, caretLine;
    int32_t line, column;
};

inline std::vector<ShownError>& ShownErrors() {
    static std::vector<ShownError> errors;
    return errors;
}

inline void CatchScriptError(const ScriptErrorReport* r) {
    ShownErrors().push_back({r->kind, r->code, r->message ? r->message : "", r->fileName,
                             r->path ? r->path : "", r->sourceLine, r->caretLine, r->line,
                             r->column});
}

struct CompileResult {
    OSStatus status = 0;
    std::string bytes;    // the token stream
    std::string listing;  // its disassembly
};

class ReportScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ShownErrors().clear();
        former_ = SetScriptErrorHook(CatchScriptError);
    }
    void TearDown() override {
        SetScriptErrorHook(former_);
        SetScriptPathListSearch(nullptr);
    }

    // Writes a file (folders made as needed) relative to the scratch folder; returns its path.
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_.file(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(WriteFile(path, text));
        return path;
    }

    CompileResult CompileFile(const std::string& path, ProjectRecord* project = nullptr) {
        CompileResult result;
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0);
        Handle tokens = nullptr;
        result.status = TokenizeScript(project, &spec, &tokens);
        if (result.status == 0) {
            EXPECT_NE(tokens, nullptr);
            result.bytes.assign(*tokens, SizeOfHandle(tokens));
            // Whatever the compiler writes is a well-formed stream.
            EXPECT_EQ(DisassembleTokenStream(*tokens, SizeOfHandle(tokens), &result.listing), 0)
                << result.listing;
            MemFree(tokens);
        } else {
            EXPECT_EQ(tokens, nullptr);
        }
        return result;
    }

    CompileResult Compile(const std::string& source, const std::string& name = "main.SXP") {
        return CompileFile(Write(name, source));
    }

    // The listing without offsets and indentation, its lines joined by " | ".
    static std::string Shape(const std::string& listing) {
        std::string out;
        size_t start = 0;
        while (start < listing.size()) {
            size_t end = listing.find('\n', start);
            if (end == std::string::npos) end = listing.size();
            std::string line = listing.substr(start, end - start);
            line = line.size() > 8 ? line.substr(8) : std::string();
            line.erase(0, line.find_first_not_of(' '));
            if (!out.empty()) out += " | ";
            out += line;
            start = end + 1;
        }
        return out;
    }

    // Compiles a script that must compile and gives the shape of its listing.
    std::string ShapeOf(const std::string& source) {
        const CompileResult r = Compile(source);
        EXPECT_EQ(r.status, 0) << source;
        for (const ShownError& e : ShownErrors()) ADD_FAILURE() << e.message << " at " << e.line;
        return Shape(r.listing);
    }

    // Compiles a script that must fail and gives the one error shown.
    ShownError ErrorOf(const std::string& source) {
        const CompileResult r = Compile(source);
        EXPECT_EQ(r.status, status::kUserCancelled) << source;
        EXPECT_EQ(ShownErrors().size(), 1u) << source;
        ShownError e = ShownErrors().empty() ? ShownError{} : ShownErrors().back();
        ShownErrors().clear();
        return e;
    }

    TempDir dir_;
    ScriptErrorHook former_ = nullptr;
};

// Running scripts: the alerts a run shows are kept, and questions are answered "yes" only to the
// message "yes?".
inline std::vector<std::string>& Alerts() {
    static std::vector<std::string> alerts;
    return alerts;
}

class ReportRunFixture : public ReportScriptTest {
protected:
    void SetUp() override {
        ReportScriptTest::SetUp();
        Alerts().clear();
        ReportHooks hooks;
        hooks.alert = [](const char* m) { Alerts().push_back(m); };
        hooks.ask = [](const char* m, const char* a, const char* b) {
            Alerts().push_back(std::string("ask:") + m + "|" + a + "|" + b);
            return std::string(m) == "yes?";
        };
        formerHooks_ = SetReportHooks(hooks);
    }
    void TearDown() override {
        SetReportHooks(formerHooks_);
        ReportScriptTest::TearDown();
    }

    ReportHooks formerHooks_;
};

}  // namespace plexa::test
