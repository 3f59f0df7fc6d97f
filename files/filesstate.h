// The file layer's process-wide values that change while the program runs, in one record so that
// all of them can be put back at once (a test program does so after every test): whether the
// path search shows its wait message, and the sheets each project loaded without windows. The
// hook tables that the composition root installs and the list of open projects live with their
// modules.
#pragma once

#include <unordered_map>
#include <vector>

namespace plexa {

struct ProjectRecord;
struct SheetRecord;

struct FilesState {
    bool searchMessageUp = false;
    // The sheets each project loaded without windows, in load order; the cache owns them.
    std::unordered_map<ProjectRecord*, std::vector<SheetRecord*>> projectSheets;
};

extern FilesState gFilesState;

// Frees the cached project sheets and puts every value of the record back to its start.
void ResetFilesForTesting();

}  // namespace plexa
