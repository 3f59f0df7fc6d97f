// run-unprivileged MODE PROGRAM [ARGUMENT...]: starts the program without the super-user's power
// over file permissions (tests/support/unprivileged.h). MODE "nobody" becomes the user `nobody`
// (its group, no other groups) first; "without-override" stays root but takes the powers that
// override file permissions out of the capabilities that the program can have. Exits with 126,
// saying why on standard error, when that cannot be done.
#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int Refuse(const char* what) {
    std::fprintf(stderr, "run-unprivileged: %s: %s\n", what, std::strerror(errno));
    return 126;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: run-unprivileged nobody|without-override PROGRAM [ARGUMENT...]\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "nobody") {
        errno = 0;
        const passwd* user = ::getpwnam("nobody");
        if (!user) return Refuse("no user \"nobody\"");
        if (::setgroups(0, nullptr) != 0) return Refuse("cannot leave the other groups");
        if (::setgid(user->pw_gid) != 0) return Refuse("cannot take the group of \"nobody\"");
        if (::setuid(user->pw_uid) != 0) return Refuse("cannot become \"nobody\"");
        if (::setuid(0) == 0) return Refuse("could become root again");
    } else if (mode == "without-override") {
        for (const int power : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            if (::prctl(PR_CAPBSET_DROP, power, 0, 0, 0) != 0) return Refuse("cannot give up a power over file permissions");
    } else {
        std::fprintf(stderr, "run-unprivileged: unknown mode \"%s\"\n", argv[1]);
        return 2;
    }
    ::execv(argv[2], argv + 2);
    return Refuse(argv[2]);
}
