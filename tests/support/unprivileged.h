// Tests that meet file permissions as an ordinary user does. The super-user reads every file and
// writes into every folder, and CI runs the tests as root: a test of what an unreadable file or a
// read-only folder refuses takes that power away, from a second process or from its own thread,
// so that it asserts the same thing in CI as on a desktop.
#pragma once

#include <linux/capability.h>

#include <string>
#include <vector>

namespace plexa::test {

// The command (the program to start, then its arguments) that runs `program` with `arguments`
// as an unprivileged user: when the tests run as root, through the helper program
// run-unprivileged, which becomes the user `nobody` before it starts the program (or, where that
// user cannot reach the build folder, stays root without the powers that override file
// permissions); otherwise the program itself.
std::vector<std::string> UnprivilegedCommand(const std::string& program,
                                             const std::vector<std::string>& arguments);

// Gives the file or folder, and everything a folder holds, to the user that UnprivilegedCommand
// runs programs as (nothing changes unless that is `nobody`): call it once the folder holds what
// the program is to meet, before locking files in it, so that a locked file is locked for its
// owner. True when done.
bool GiveToUnprivilegedUser(const std::string& path);

// While alive, this thread works without the super-user's power over file permissions (reading,
// writing and searching past them, acting as any file's owner), so that an unreadable or
// read-only file or folder refuses it as it refuses its owner on a desktop. Nothing changes when
// the tests do not run as root.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride();
    ~WithoutPermissionOverride();
    WithoutPermissionOverride(const WithoutPermissionOverride&) = delete;
    WithoutPermissionOverride& operator=(const WithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

}  // namespace plexa::test
