#include "tests/support/unprivileged.h"

#include <pwd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

namespace plexa::test {
namespace {

// How run-unprivileged runs programs for this process.
enum class Mode { kAsIs, kNobody, kWithoutOverride };

// Whether a user other than the owner may pass through every folder down to the path.
bool OthersReach(const std::string& path) {
    std::filesystem::path at = std::filesystem::absolute(path);
    for (;;) {
        struct stat info {};
        if (::stat(at.c_str(), &info) != 0 || !(info.st_mode & S_IXOTH)) return false;
        if (at == at.root_path()) return true;
        at = at.parent_path();
    }
}

Mode CurrentMode() {
    static const Mode mode = [] {
        if (::geteuid() != 0) return Mode::kAsIs;
        if (::getpwnam("nobody") && OthersReach(PLEXA_BINARY_DIR) && OthersReach(PLEXA_SOURCE_DIR))
            return Mode::kNobody;
        return Mode::kWithoutOverride;
    }();
    return mode;
}

}  // namespace

std::vector<std::string> UnprivilegedCommand(const std::string& program,
                                             const std::vector<std::string>& arguments) {
    std::vector<std::string> command;
    const Mode mode = CurrentMode();
    if (mode != Mode::kAsIs) {
        command = {PLEXA_RUN_UNPRIVILEGED, mode == Mode::kNobody ? "nobody" : "without-override"};
    }
    command.push_back(program);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

bool GiveToUnprivilegedUser(const std::string& path) {
    if (CurrentMode() != Mode::kNobody) return true;
    const passwd* user = ::getpwnam("nobody");
    if (!user) return false;
    const uid_t uid = user->pw_uid;
    const gid_t gid = user->pw_gid;
    bool given = ::lchown(path.c_str(), uid, gid) == 0;
    std::error_code error;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path, error)))
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error))
            given = ::lchown(entry.path().c_str(), uid, gid) == 0 && given;
    return given && !error;
}

WithoutPermissionOverride::WithoutPermissionOverride() {
    if (::geteuid() != 0 || syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct lowered[2];
    std::memcpy(lowered, saved_, sizeof lowered);
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    lowered_ = syscall(SYS_capset, &header_, lowered) == 0;
}

WithoutPermissionOverride::~WithoutPermissionOverride() {
    if (lowered_) syscall(SYS_capset, &header_, saved_);
}

}  // namespace plexa::test
