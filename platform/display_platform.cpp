// Reaching the window system before Qt is asked to (see display_platform.h). The X server is asked
// through the same library that Qt's X11 platform connects with, loaded only for the question; a
// Wayland compositor is its listening socket.
#include "platform/display_platform.h"

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace plexa {
namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The last connection that answered, open until the application object has connected.
struct HeldProbe {
    void* connection = nullptr;
    void (*disconnect)(void*) = nullptr;
};

HeldProbe& Held() {
    static HeldProbe held;
    return held;
}

std::string XServerProblem() {
    const std::string display = Variable("DISPLAY");
    if (display.empty()) return "DISPLAY is not set";
    // Loaded for good: Qt's X11 platform, if it starts, loads the same library.
    void* library = dlopen("libxcb.so.1", RTLD_LAZY | RTLD_LOCAL);
    if (!library) return "the X11 client library libxcb.so.1 cannot be loaded";
    using Connect = void* (*)(const char*, int*);
    using HasError = int (*)(void*);
    using Disconnect = void (*)(void*);
    const auto connect = reinterpret_cast<Connect>(dlsym(library, "xcb_connect"));
    const auto hasError = reinterpret_cast<HasError>(dlsym(library, "xcb_connection_has_error"));
    const auto disconnect = reinterpret_cast<Disconnect>(dlsym(library, "xcb_disconnect"));
    if (!connect || !hasError || !disconnect) return "the X11 client library libxcb.so.1 cannot be used";
    void* connection = connect(nullptr, nullptr);  // never null: a failed one carries its error
    const bool failed = !connection || hasError(connection) != 0;
    // A server resets when its last client leaves, and a client that comes while it resets is
    // turned away: the answering connection is kept until the application object has its own
    // (PlatformReleaseDisplayProbe), so the probe never leaves the server without clients.
    HeldProbe& held = Held();
    if (failed) {
        if (connection) disconnect(connection);
    } else {
        if (held.connection) held.disconnect(held.connection);
        held.connection = connection;
        held.disconnect = disconnect;
    }
    return failed ? "no X server answers on DISPLAY \"" + display + "\"" : std::string();
}

std::string WaylandProblem() {
    std::string name = Variable("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    if (name[0] != '/') {
        const std::string runtime = Variable("XDG_RUNTIME_DIR");
        if (runtime.empty()) return "XDG_RUNTIME_DIR is not set, so the Wayland display \"" + name + "\" cannot be found";
        name = runtime + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= sizeof address.sun_path) return "the Wayland display's path \"" + name + "\" is too long";
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return "no socket can be made to reach the Wayland display";
    const bool reached = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return reached ? std::string() : "no Wayland compositor listens on \"" + name + "\"";
}

}  // namespace

std::string PlatformDisplayProblem() {
    std::string platforms = Variable("QT_QPA_PLATFORM");
    // Qt's own choice when none is named: X11, or Wayland first in a Wayland session.
    if (platforms.empty()) platforms = Variable("XDG_SESSION_TYPE") == "wayland" ? "wayland;xcb" : "xcb";
    std::string problem;
    size_t from = 0;
    while (from <= platforms.size()) {
        size_t end = platforms.find(';', from);
        if (end == std::string::npos) end = platforms.size();
        std::string name = platforms.substr(from, end - from);
        name = name.substr(0, name.find(':'));  // a platform's options follow a colon
        from = end + 1;
        if (name.empty()) continue;
        std::string here;
        if (name == "xcb") here = XServerProblem();
        else if (name.rfind("wayland", 0) == 0) here = WaylandProblem();
        else return {};  // offscreen, minimal and the like need no server
        if (here.empty()) return {};
        if (problem.empty()) problem = here;
    }
    return problem;
}

void PlatformReleaseDisplayProbe() {
    HeldProbe& held = Held();
    if (held.connection) held.disconnect(held.connection);
    held = HeldProbe{};
}

void PlatformFallBackToOffscreen() {
    if (!PlatformDisplayProblem().empty()) setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

}  // namespace plexa
