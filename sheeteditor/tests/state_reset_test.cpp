// Every test of this program ends with the process-wide values of the model, of the file layer,
// of design processing and of the sheet editor put back, what library access collected forgotten
// and the simulator link off, its state at its start.
#include "design/designstate.h"
#include "design/simlink.h"
#include "files/filesstate.h"
#include "library/librarystate.h"
#include "model/modelstate.h"
#include "sheeteditor/sheeteditorstate.h"
#include "sheeteditor/wiretracking.h"
#include "tests/support/state_reset.h"

namespace {
const bool kResets = plexa::test::ResetAfterEachTest({plexa::ResetSheetEditorForTesting, plexa::ResetWireTrackingForTesting,
                                                      plexa::ResetSpiceLinkForTesting,
                                                      plexa::ResetDesignForTesting, plexa::ResetLibraryForTesting,
                                                      plexa::ResetFilesForTesting, plexa::ResetModelForTesting});
}  // namespace
