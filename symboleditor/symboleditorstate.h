// The symbol and library editors' process-wide values that change while the program runs, in one
// record so that all of them can be put back at once (symboleditorreset.h; a test program does so
// after every test): the row layout of the library windows, the last find, the library editors'
// clipboard and the catalogue's print record. The lists of open editors, which own their records,
// and the hook tables that the composition root installs live with their modules.
#pragma once

#include <cstdint>

namespace plexa {

struct LibEditorRecord;
struct VXPrintRec;

struct SymbolEditorState {
    // Row layout of the library windows, set when a window is made.
    int16_t libVwWidth = 0;
    int16_t libVwBaseLineOffset = 0;
    int16_t strikeOutOffset = 0;
    // The last find.
    char findItemString[64] = "";
    bool findPartials = true;
    LibEditorRecord* libEditorClip = nullptr;  // owned
    VXPrintRec* libPrintRec = nullptr;         // owned
};

extern SymbolEditorState gSymbolEditorState;

}  // namespace plexa
