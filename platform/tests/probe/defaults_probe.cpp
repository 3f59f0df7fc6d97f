// A small program for the user-defaults tests: a second process that reads the values the test
// wrote into the defaults file of $XDG_CONFIG_HOME and answers by writing "Child" = "seen".
// Exits 0 when every value read back as written, else 1 with the first mismatch on stderr.
#include <cstdio>
#include <string>

#include "platform/defaults_store.h"

int main() {
    using namespace plexa;
    int32_t grid = 0;
    std::string text, bytes;
    if (!DefaultsGetInt("Sheet Grid", &grid) || grid != 25) {
        std::fprintf(stderr, "defaults-probe: Sheet Grid is %d\n", int(grid));
        return 1;
    }
    if (!DefaultsGetString("Last Project", &text) || text != "/home/u/Amp.PRX") {
        std::fprintf(stderr, "defaults-probe: Last Project is \"%s\"\n", text.c_str());
        return 1;
    }
    if (!DefaultsGetBytes("Window State", &bytes) || bytes != std::string("\x00\x7F\xFF=", 4)) {
        std::fprintf(stderr, "defaults-probe: Window State has %zu bytes\n", bytes.size());
        return 1;
    }
    DefaultsSetString("Child", "seen");
    return 0;
}
