// The sheet editor's process-wide values that change while the program runs, in one record so
// that all of them can be put back at once (a test program does so after every test): the panels
// the parts and project-settings dialogs open on, the attribute option last chosen, the answer of
// the ECO dialog, whether sheets wait for their child symbols' update, the simulator-link
// preferences kept while no preferences file holds them and the folders the file dialogs
// remember for the run. The records of open dialogs and windows, the nesting of a running
// operation and the hook tables that the composition root installs live with their modules.
#pragma once

#include <cstdint>
#include <map>

#include "design/simlink.h"
#include "foundation/filespec.h"

namespace plexa {

// The panels of the parts dialog (sheeteditor/partsdialog.h) and of the project settings dialog
// (sheeteditor/projectsettings.h).
constexpr int32_t kBrowserPanel = 0, kFinderPanel = 1;
constexpr int32_t kProjectNamesPanel = 0, kProjectAnnotationPanel = 1, kProjectSignalsPanel = 2,
                  kProjectAttributesPanel = 3, kProjectPathsPanel = 4;

// The simulator link's part of the preferences (sheeteditor/spicewindows.h): the settings (bytes
// 92 to 99), "Different Computer" (flag 0x4) and link on (flag 0x40).
struct SpiceLinkPreferences {
    SpiceCommSettings settings{0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
    bool differentComputer = false;
    bool linkOn = false;
};

struct SheetEditorState {
    int32_t lastBrowserPanel = kBrowserPanel;
    int32_t attrOptionPrefs = 1;
    int32_t lastProjInfoTab = kProjectNamesPanel;
    bool ecoProceed = false;
    bool sheetsHaveDirtyChildSymbols = false;
    SpiceLinkPreferences keptSpicePreferences{};
    // The run's remembered folders of the file dialogs, by dialog, while the preferences keep none.
    std::map<int32_t, DirectoryRef> runFolders;
};

extern SheetEditorState gSheetEditorState;

// Puts every value of the record back to its start.
void ResetSheetEditorForTesting();

}  // namespace plexa
