// Small helpers shared by the test programs: a scratch folder that cleans up after itself,
// the stress-loop scale, and paths into the source tree.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace plexa::test {

// A fresh folder under the system's temporary directory, removed with its content
// (never following symbolic links) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets an environment variable for the scope (the standard folders of foundation/folders.h follow
// HOME and the XDG variables) and puts the old value back, or unsets it, when the object goes.
class EnvScope {
public:
    EnvScope(const char* name, const std::string& value);
    ~EnvScope();
    EnvScope(const EnvScope&) = delete;
    EnvScope& operator=(const EnvScope&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// Iterations for long randomized loops: `base` in CI, multiplied by PLEXA_STRESS
// (an integer) when that variable is set.
uint64_t StressCount(uint64_t base);

// A seed for randomized tests: PLEXA_SEED when set, else a fixed default, printed on failure.
uint32_t TestSeed();

// An absolute path of a file in the source tree.
std::string SourcePath(const std::string& relative);

// Where a test leaves a file for a person to look at (a screenshot, a PDF): "test-output/<name>"
// in the build folder, its folders made when missing. Never the source tree.
std::string OutputPath(const std::string& name);

// The text as one word of a POSIX shell's command line, in single quotes.
std::string ShellQuoted(const std::string& text);

// Reads or writes a whole file; ReadFile returns false when the file cannot be read.
bool ReadFile(const std::string& path, std::string& out);
bool WriteFile(const std::string& path, const std::string& bytes);
// The names in a folder (one level, without "." and ".."), sorted; empty when it cannot be read.
std::vector<std::string> FolderNames(const std::string& folder);
// The lines of a text (a dump, a tool's output) that hold the part, each with its line end.
std::string LinesHolding(const std::string& text, const std::string& part);
// The lines of a text that start with the prefix once their leading spaces are set aside, without
// those spaces.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix);

// A kept fuzzing input, fuzz/corpus/<stem>/<file>, made by the project's own writer: the check
// fails when the file no longer holds what the writer makes now; with PLEXA_WRITE_SEEDS set the
// file is written instead. A seed that holds something of the machine that wrote it (a folder's
// path) is only written, never compared (`exact` false).
void CheckFuzzSeed(const std::string& stem, const std::string& file, const std::string& bytes,
                   bool exact = true);

}  // namespace plexa::test
