// ECO export and back-annotation, headless. The design state of a project is built from the
// unified netlist database and checked for design-rule problems; the export writes it as an ECO
// file. Back-annotation compares the project with an ECO file that the layout program wrote and
// turns the relabelled parts into a WAS-IS text, or reads a WAS-IS file, and applies the renames
// to the project. What needs the user (the log window, the import dialog, alerts) goes through
// `ECOHooks` and the back-annotation hooks of design/wasis.h, which the editor installs.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct BackAnnotHooks;
struct DesignStateRecord;
struct ProjectRecord;

// Descent masks of the two callers.
constexpr uint16_t kECOExportDescentMask = 0x2000;
constexpr uint16_t kECOCompareDescentMask = 0x3000;
// The netlist database build of a design state: descend, instance references, part types.
constexpr uint16_t kECOBuildFlags = 0x031;

// Message panels of the log window.
constexpr int16_t kECOPanelExportProblems = 2050;
constexpr int16_t kECOPanelCompareProblems = 2051;
constexpr int16_t kECOPanelDifferences = 2052;
constexpr int16_t kECOPanelPreview = 2053;

constexpr const char* kECONoProjectMessage =
    "The sheet's project file must be opened before this command can be used.";
constexpr const char* kECOMemoryMessage =
    "There was not enough memory available to complete the operation.";
constexpr const char* kECOSharedAnnotationMessage =
    "An ECO file cannot be used to back-annotate a project which shares annotation among multiple "
    "instances.";
constexpr const char* kECOUnsynchronisedMessage =
    "The selected ECO file cannot be used because it was created from an un-synchronized PCB design.";
constexpr const char* kECONoChangesMessage = "No changes necessary!";
constexpr const char* kECOCreatingMessage = "Creating ECO File...";
constexpr const char* kECOComparingMessage = "Comparing project with ECO file...";

// Texts of the design-rule problems.
constexpr const char* kECONetTwiceText = "Net name used more than once:  ";
constexpr const char* kECONoRefDesText = "Component has no reference designator:  ";
constexpr const char* kECORefDesTwiceText = "Reference designator used more than once:  ";
constexpr const char* kECOPinTwiceText = "Pin is contained in more than one net:  ";

struct ECOHooks {
    // Rebuilds the project's hierarchy for the reasons. Default: UpdateProjectHierarchy.
    void (*updateHierarchy)(ProjectRecord* project, uint32_t reasons) = nullptr;
    // Brings the project's sheets up to date with their file symbols. Default: nothing.
    void (*synchFileSymbols)(ProjectRecord* project) = nullptr;
    void (*beep)() = nullptr;
    // Shows the ECO log in its window, titled after the file (`path`) with the message panel;
    // a modal window answers whether the user chose to continue. Default: false.
    bool (*showLog)(const char* path, int16_t panel, bool modal) = nullptr;
    // The import dialog over the description of an ECO file; *preview is the preview check box
    // (in and out). True to continue. Default: true.
    bool (*importDialog)(const std::string& description, bool* preview) = nullptr;
    // Reports a status that is not a message of its own. Default: nothing.
    void (*reportError)(OSStatus status) = nullptr;
};
void SetECOHooks(const ECOHooks& hooks);
const ECOHooks& GetECOHooks();
// Puts in what the ECO commands need of the layers below: the hierarchy's rebuild, and the reset
// of an open sheet's context after back-annotation changed its annotation. The windows, the
// dialogs and the file symbols' synchronisation stay as they are.
void AddECOServices(ECOHooks& eco, BackAnnotHooks& back);

// The preview choice of the import dialog, kept between runs.
extern bool& gECOPreviewFlag;  // a member of design processing's state record

// Fills a state (made with InitDesignState mode 1) from the project and logs the design-rule
// problems into the ECO log; *errorFlag is set when there was one. The status of the netlist
// build. The state's info is not set.
OSStatus BuildDesignState(ProjectRecord* project, uint16_t descentMask, DesignStateRecord* state,
                          bool* errorFlag);

// The export after the file was chosen: builds, checks and writes the ECO file. A design-rule
// problem writes nothing and shows the log (-128); an existing file is replaced only when the
// whole state is written. Memory and other errors are reported through the hooks and returned.
OSStatus ExportECOFile(ProjectRecord* project, const char* path);

// Compares the project with the ECO file and gives the WAS-IS text of its designator changes.
// -128 when the run ended without a list (cancelled, no changes, a message already shown).
OSStatus CreateWasIsFromECO(ProjectRecord* project, const char* ecoPath, std::string* wasIs);

// Back-annotation from a chosen ECO or WAS-IS file: the renames applied to every sheet and
// instance. -128 when nothing was applied without an error.
OSStatus BackAnnotateFile(ProjectRecord* project, const char* path);

}  // namespace plexa
