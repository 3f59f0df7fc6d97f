// Opening and closing project files, and the project settings as the settings dialog edits them:
// a copy of the settings, the attributes, the search paths and the page setup that the dialog
// changes and imports into, and that only OK puts into the project. Cancel leaves the project as
// it was, imported page setup included. The dialog's window and the project window are the
// layers above's; they install the hooks below.
#pragma once

#include <cstdint>

#include "files/project.h"
#include "files/pathspec.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;

constexpr const char* kProjectSelfImportMessage = "You can only import settings from a different project file.";

// Opens the project file read-write (read-only when asked): kUnknownFileKind (and the file
// closed) unless it is "PRJ4".
OSStatus OpenProjectFile(const FileSpec* spec, DynamicFileRecord* file, bool readOnly = false);
// What opening a project needs of the project window, installed by its module; without a hook
// its step is left out.
struct ProjectOpenHooks {
    // An open project asked for again: its window comes to the front.
    void (*bringForward)(ProjectRecord* project) = nullptr;
    // Places the new window from the stored position (block 3).
    void (*placeWindow)(ProjectRecord* project, const ProjectWindowState* state) = nullptr;
    // Switches the tree view's drawing off and on around the build.
    void (*treeDrawing)(ProjectRecord* project, bool on) = nullptr;
    // Gives the tree view's nodes the states their instances keep (expanded, selected).
    void (*restoreTreeStates)(ProjectRecord* project) = nullptr;
};
void SetProjectOpenHooks(const ProjectOpenHooks& hooks);
const ProjectOpenHooks& GetProjectOpenHooks();

// Opens the project at the spec or finds it open (*project then the open one, brought
// forward); loads blocks 1, 2, 8 or 5, 4 and 3 (the stored window position into windowState
// when given), makes and places the window and builds the hierarchy. On failure nothing stays
// open. A project opened read-only (a tool that only reads it) is closed with
// kCloseProjectDiscard.
OSStatus OpenProjectAt(const FileSpec* spec, ProjectRecord** project, ProjectWindowState* windowState = nullptr,
                       bool readOnly = false);
// Creates the project file (type "PRJ4", no application header) and its record with the
// attribute "ProjectTitle" = "{ProjectFile}"; the settings are written once `edit` (when given)
// accepts them. On failure or cancel (kUserCancelled) the file is deleted.
OSStatus CreateProjectAt(const FileSpec* spec, bool (*edit)(ProjectRecord* project), ProjectRecord** project);

// Closing modes.
constexpr int32_t kCloseProjectAsk = 1;
constexpr int32_t kCloseProjectDiscard = 4;
// Answers the question whether to save annotation changes: 1 save, 0 don't, kUserCancelled.
using AskSaveProjectProc = int32_t (*)(ProjectRecord* project);
// Closes the project: brings its file up to date (mode 4: nothing saved, nothing asked; mode 1:
// asks through `ask` when annotation changed) and destroys the record. A failure while writing
// leaves the project open.
OSStatus CloseProject(ProjectRecord* project, int32_t mode, AskSaveProjectProc ask = nullptr);

// Replaces the entries of `to` by copies of the list's, their paths moved from `from` into
// `into` (the same block for lists that share their info); false when memory runs out.
bool CopyPathSpecEntries(PathSpecList* to, const PathSpecList* list, StringBlock from, StringBlock into);

// The sheet's own automatic-annotation setting (`SheetStoredSettings::flags`), used when the
// sheet belongs to no project.
constexpr uint32_t kSheetFlagAutoAnnotate = 0x4;
// Whether a symbol placed on the sheet gets a designator of its own: never a symbol excluded from
// annotation (flag 0x200); always a graphic symbol. In a project only while annotation is kept in
// the sheets and automatic annotation is on, then every symbol when designators have no slot
// suffix; without a project only while the sheet's own setting is on. Past those, a symbol
// without a component, or one that exactly one section of its component draws.
bool CanAutoAnnotateSymbol(SheetRecord* sheet, SymbolRecord* symbol);

// ---- Settings dialog record ----

struct ProjectSettingsDialog {
    ProjectRecord* project;
    ProjectSettings settings;
    Handle attributes;        // in the project's string block
    uint16_t attributeCount;
    PathSpecList* paths;      // shares the project's info
    VXPrintRec* printRecord;  // imported; none until an import brings one
    uint16_t pageSetupWord;
    bool printImported;
    bool autoAnnotate;
    int32_t panel;
    bool attributesChanged, pathsChanged, annotationStorageChanged;
    uint16_t savedDirtyFlags;
};

// Copies the project's settings into the dialog; false when memory runs out.
bool BeginProjectSettings(ProjectRecord* project, ProjectSettingsDialog* dialog);
// Reads another project file's settings, attributes, paths and page setup into the dialog;
// kParamErr for the project's own file.
OSStatus ImportProjectSettings(ProjectSettingsDialog* dialog, const FileSpec* from);
// OK: the dialog's settings go into the project (block 8 written when the paths changed).
OSStatus CommitProjectSettings(ProjectSettingsDialog* dialog);
// Frees the dialog's copies; without a commit the project's dirty flags are put back.
void EndProjectSettings(ProjectSettingsDialog* dialog);

}  // namespace plexa
