// The running program and its resources folder (see program.h).
#include "foundation/program.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>

namespace plexa {
namespace {

bool IsFolder(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace

std::string GetProgramPath() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return {};
    return std::string(buffer, size_t(n));
}

std::string ResourceDirectoryForProgram(const std::string& programPath) {
    if (programPath.empty()) return {};
    const std::filesystem::path folder = std::filesystem::path(programPath).parent_path();
    for (const char* candidate : {"../resources", "../share/plexa"}) {
        const std::filesystem::path path = folder / candidate;
        if (IsFolder(path)) return path.lexically_normal().string();
    }
    return {};
}

std::string FindResourceDirectory() {
    if (const char* env = std::getenv("PLEXA_RESOURCE_DIR"); env && *env && IsFolder(env)) return env;
    return ResourceDirectoryForProgram(GetProgramPath());
}

}  // namespace plexa
