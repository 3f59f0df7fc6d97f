// The File menu's project commands: opening a project file (or bringing the open one forward),
// creating a new project with its settings dialog, and giving open sheets their place in a
// project that opens. Failures are reported here. This module installs what opening a project
// needs of the project window (placing it from its stored position, bringing it forward).
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ProjectOpenHooks;
struct ProjectRecord;
struct ProjectWindowState;
struct VXWindowRecordTag;

constexpr uint16_t kNewProjectCommand = 214;
constexpr const char* kCreateProjectTitle = "Create Project File:";
constexpr const char* kNewProjectName = "Untitled Project.PRX";

// Opens the project file, or brings the open project forward; reports failures. The project,
// none on failure.
ProjectRecord* OpenProject(const FileSpec* spec);
// Asks for the new project's file and creates it; kUserCancelled when the user cancels. The
// chosen file in *spec.
OSStatus CreateProjectFile(FileSpec* spec);
// The File menu's New Project: the file, the record and the settings dialog; failures other than
// a cancel are reported. The project, none when nothing was made.
ProjectRecord* CreateNewProject();

// Gives every sheet window whose sheet has no project and whose file is one of the project's
// sheets the context of the first tree node that uses it.
void ResolveSheetContexts(ProjectRecord* project);

// Places a project window from its stored position when that lies on a screen.
void PlaceProjectWindow(ProjectRecord* project, const ProjectWindowState* state);
// Puts the project window's placement and bringing an open project forward in the project
// opening's table.
void AddProjectCommands(ProjectOpenHooks& hooks);

}  // namespace plexa
