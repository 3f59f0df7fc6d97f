// The sheet model's process-wide values that change while the program runs, in one record so
// that all of them can be put back at once (a test program does so after every test): the
// drawing flag word and default colour, the attribute-merge switch, the image that a sheet
// misses, the depth and errors of the running field expansion, the depth of nested expression
// evaluations and the wire that a wire merge follows. The memory pools, the lists that own
// records and the hook tables that the composition root installs live with their modules.
#pragma once

#include <cstdint>

#include "graphics/colors.h"
#include "model/drawglobals.h"
#include "model/wires.h"

namespace plexa {

struct ModelState {
    uint32_t genFlags = kGenColorDrawing;
    uint32_t defaultColor = kVXDefaultForeColor;
    bool dontOverwriteExistingAttrs = false;
    int32_t missingImageId = -1;
    int16_t expansionDepth = 0;
    uint16_t expansionErrors = 0;
    int32_t expressionNesting = 0;
    WireHandle referenceWire = nullptr;
};

extern ModelState gModelState;

// Puts every value of the record back to its start.
void ResetModelForTesting();

}  // namespace plexa
