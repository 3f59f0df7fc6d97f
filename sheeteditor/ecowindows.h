// The ECO commands' windows: the ECO log window (a read-only view of the log over a message panel
// that says what the log is about), saving the log, the import dialog that describes an ECO file
// before it is compared, and the File menu's ECO export and the Tools menu's back-annotation,
// which ask for their files and run design/ecoexport.h.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct BackAnnotHooks;
struct ECOHooks;
struct ProjectRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// UI templates.
constexpr uint16_t kECOImportDialogTemplate = 1038;
// The log window's templates are its message panels, 2050 to 2053 (design/ecoexport.h): item 3
// holds the place of the log's text, 4 the ECO file icon, 5 Continue (ends the window with the
// choice to go on), 6 closes.
constexpr int16_t kECOLogTextItem = 3, kECOLogIconItem = 4, kECOLogProceedItem = 5, kECOLogCloseItem = 6;
// The import dialog: 1 Continue, 2 Cancel, 3 the preview check box, 4 the description.
constexpr int16_t kECOImportPreviewItem = 3, kECOImportDescriptionItem = 4;

constexpr const char* kECOExportPrompt = "Export ECO File:";
constexpr const char* kECOBackAnnotatePrompt = "Select Back-Annotation File";
constexpr const char* kECOSaveLogPrompt = "Save ECO Log File:";

// Whether the user chose to continue in the last modal log window.
extern bool& gECOProceed;

// Shows the ECO log (none when no log is open or a log window is up already), titled with the
// file's name and ".LOG" and with the panel; a modeless window answers true at once, a modal one
// runs until a button ends it and answers `gECOProceed`.
bool ShowECOLog(const char* path, int16_t panel, bool modal);
// The open log window, or none.
VXWindowRecordTag* GetECOLogWindow();
int32_t ECOLogWindowHandler(VXWindowRecordTag* window, VXEventRecord* event);
// Asks for a file in the log window's folder under its title and writes the log into it. The
// status (-128 when cancelled).
OSStatus SaveECOLogWindow(VXWindowRecordTag* window);

int32_t ECOImportDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
// Runs the import dialog over the description; true to continue, *preview the check box.
bool RunECOImportDialog(const std::string& description, bool* preview);

// The commands.
void ExportECO(ProjectRecord* project);
void BackAnnotate(ProjectRecord* project);

// Puts the windows, messages and error reports of the ECO runs and of back-annotation in their
// tables.
void AddECOWindowHooks(ECOHooks& eco, BackAnnotHooks& backAnnotation);

}  // namespace plexa
