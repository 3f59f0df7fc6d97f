// A small program on the toolkit for the termination tests. It writes "running" to $PROBE_LOG once
// its run loop runs, "quit" each time its quit procedure is asked (it refuses while the file
// $PROBE_REFUSE exists, and writes "still running" from the run loop's next pass after a refusal),
// and "terminated" from its termination procedure. With $PROBE_ABORT set it
// aborts once running.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "toolkit/vx_app.h"

namespace {

void Log(const char* line) {
    if (const char* path = std::getenv("PROBE_LOG")) {
        if (FILE* file = std::fopen(path, "a")) {
            std::fprintf(file, "%s\n", line);
            std::fclose(file);
        }
    }
}

int32_t Quit() {
    Log("quit");
    const char* refuse = std::getenv("PROBE_REFUSE");
    if (!refuse || access(refuse, F_OK) != 0) return 1;
    plexa::VXPostDeferredAction([](void*) { Log("still running"); }, nullptr, 0);
    return 0;
}

void Terminated() { Log("terminated"); }

void Launched() {
    Log("running");
    if (std::getenv("PROBE_ABORT")) std::abort();
}

int32_t Startup() {
    plexa::vx.quitProc = Quit;
    plexa::VXSetTerminationProc(Terminated);
    plexa::VXSetShellMessageProcs(Launched, nullptr, nullptr, nullptr, nullptr);
    return 1;
}

}  // namespace

int main(int argc, char** argv) { return plexa::VXApplicationMain(argc, argv, nullptr, Startup); }
