// Design processing's process-wide values that change while the program runs, in one record so
// that all of them can be put back at once (a test program does so after every test): the
// netlist database being built or last built with its root instance and whether the walk had to
// re-establish a sheet context, whether an ECO export only previews, and the report output that
// the last run could not write. The simulator link keeps its own record (design/simlink.h); the
// hook tables that the composition root installs live with their modules.
#pragma once

#include <string>

namespace plexa {

struct UnifiedDBRecord;
struct SheetInstance;

struct DesignState {
    UnifiedDBRecord* currentDB = nullptr;
    SheetInstance* dbRootInstance = nullptr;
    bool hierarchyRebuilt = false;
    bool ecoPreview = false;
    std::string reportOutputFailure;
};

extern DesignState gDesignState;

// Puts every value of the record back to its start.
void ResetDesignForTesting();

}  // namespace plexa
