#include "tests/support/virtual_display.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/child_process.h"

namespace plexa::test {
namespace {

constexpr const char* kXServer = "/usr/bin/Xvfb";

}  // namespace

bool VirtualDisplay::Available() {
    struct stat info {};
    return stat(kXServer, &info) == 0;
}

VirtualDisplay::VirtualDisplay() {
    if (!Available()) return;
    // The server takes a display number that no other has and, once it takes connections, writes
    // it on the pipe; the number is never chosen here, where another run could choose it too.
    int ready[2];
    if (pipe(ready) != 0) return;
    fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    server_ = std::make_unique<ChildProcess>(
        kXServer,
        std::vector<std::string>{"-displayfd", std::to_string(ready[1]), "-nolisten", "tcp", "-screen", "0", "1280x1024x24"},
        std::vector<std::string>{});
    close(ready[1]);
    std::string number;
    for (char c; read(ready[0], &c, 1) == 1 && c != '\n';) number += c;
    close(ready[0]);
    if (!number.empty()) name_ = ":" + number;
}

VirtualDisplay::~VirtualDisplay() {
    // Ended as a person ends it, so it takes its lock file and socket away with it.
    if (server_ && server_->pid() > 0 && server_->Running()) {
        kill(server_->pid(), SIGTERM);
        server_->Wait();
    }
}

}  // namespace plexa::test
