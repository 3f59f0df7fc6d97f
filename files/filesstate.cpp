// The file layer's record of process-wide values; see filesstate.h.
#include "files/filesstate.h"

#include "files/sheetload.h"

namespace plexa {

FilesState gFilesState;

void ResetFilesForTesting() {
    while (!gFilesState.projectSheets.empty())
        ReleaseCachedProjectSheets(gFilesState.projectSheets.begin()->first);
    gFilesState = FilesState{};
}

}  // namespace plexa
