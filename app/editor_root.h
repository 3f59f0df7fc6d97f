// The editor's entry point of the composition root (app/root.h): the core's tables with the
// editors' windows and dialogs in the place of the quiet answers, and the tables of the toolkit and
// the editors themselves.
#pragma once

namespace plexa {

// Fills every hook table for the editor program. Called once at start-up, after the toolkit is up.
void InstallEditorHooks();

}  // namespace plexa
