// Forgetting what library access collected during a run; see librarystate.h.
#include "library/librarystate.h"

#include "library/libfinder.h"
#include "library/libhistory.h"

namespace plexa {

LibraryState gLibraryState;

void ResetLibraryForTesting() {
    ReleaseLibFinderMaps();
    DisposeLibHistory();
    gLibraryState = LibraryState{};
}

}  // namespace plexa
