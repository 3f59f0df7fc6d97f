#include "tests/support/testing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <unistd.h>

namespace plexa::test {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/plexa-test.XXXXXX";
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);  // remove_all does not follow symbolic links
}

EnvScope::EnvScope(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
}

EnvScope::~EnvScope() {
    if (old_) ::setenv(name_, old_->c_str(), 1);
    else ::unsetenv(name_);
}

uint64_t StressCount(uint64_t base) {
    const char* scale = std::getenv("PLEXA_STRESS");
    if (!scale || !*scale) return base;
    long long n = std::atoll(scale);
    return n > 1 ? base * static_cast<uint64_t>(n) : base;
}

uint32_t TestSeed() {
    const char* s = std::getenv("PLEXA_SEED");
    return (s && *s) ? static_cast<uint32_t>(std::strtoul(s, nullptr, 0)) : 20261209u;
}

std::string SourcePath(const std::string& relative) {
    const char* root = std::getenv("PLEXA_SOURCE_DIR");
    return std::string(root && *root ? root : PLEXA_SOURCE_DIR) + "/" + relative;
}

std::string OutputPath(const std::string& name) {
    // A name with folders in it ("e2e/step1.png") has them made too.
    const std::string path = std::string(PLEXA_BINARY_DIR) + "/test-output/" + name;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    return path;
}

std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool ReadFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string LinesHolding(const std::string& text, const std::string& part) {
    std::string out;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        if (line.find(part) != std::string::npos) out += line + "\n";
    }
    return out;
}

std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        line.erase(0, line.find_first_not_of(' '));
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void CheckFuzzSeed(const std::string& stem, const std::string& file, const std::string& bytes,
                   bool exact) {
    const std::string path = SourcePath("fuzz/corpus/" + stem + "/" + file);
    if (std::getenv("PLEXA_WRITE_SEEDS")) {
        ASSERT_TRUE(WriteFile(path, bytes)) << path;
        return;
    }
    std::string kept;
    ASSERT_TRUE(ReadFile(path, kept)) << path;
    if (exact) {
        EXPECT_EQ(kept, bytes) << path;
    }
}

}  // namespace plexa::test
