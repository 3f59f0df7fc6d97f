// The check of the composition root's work: every slot of every hook table and every
// single-procedure hook of the program's layers, read after the start-up. A slot that the table's
// declaration calls optional (a default stands for it, or it is a test's fault seam) may stay
// empty; any other empty slot is a hook that nothing installs.
#pragma once

#include <string>
#include <vector>

namespace plexa {

// Which start-up filled the hooks: the core's entry point (InstallCoreHooks) for a program
// without windows, or the whole editor (the toolkit's layers, InstallEditorHooks and the
// preferences).
enum class HookStartUp { kCore, kEditor };

// One line a table or procedure with an empty slot that the start-up should have filled:
// "Name: empty slots at byte 8 24", or "Name: not installed".
std::vector<std::string> EmptyHookSlots(HookStartUp startUp);
// The names of the tables and single procedures checked, in layer order.
std::vector<std::string> CheckedHookNames();

// After the editor's whole start-up, in builds with the program's own checks on: says on
// standard error which hooks are empty, then stops the program.
void AssertEveryHookInstalled();

}  // namespace plexa
