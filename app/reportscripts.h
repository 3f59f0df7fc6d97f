// The report-script list of the preferences as the File > Export menu shows it, and the list's
// editing operations that the preferences dialog's scripts tab uses.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/commands.h"
#include "app/prefs.h"
#include "foundation/filespec.h"

namespace plexa {

constexpr uint16_t kFirstScriptCommand = cmd::kFirstScript;
constexpr int32_t kMaxScriptMenuItems = cmd::kLastScript - cmd::kFirstScript + 1;

// The name a script has in the menu: its file name less ".SXP", then less ".txt".
std::string ScriptMenuName(const std::string& fileName);
// Rebuilds the items after "DXF..." in the Export menu: a separator and one item a listed
// script, the command 1400 + the script's index in the list (a script with no name is skipped,
// and the ones after it keep their own index).
void RebuildScriptsMenu();
// The items RebuildScriptsMenu puts in: each command with its name, in list order.
std::vector<std::pair<uint16_t, std::string>> ScriptMenuItems();

// The entry of the same file name (the folder is not compared), -1 when none.
int32_t FindExistingScript(const std::vector<ScriptFileEntry>& list, const FileSpec* spec);
// Updates the entry of the same file name (its folder; the target only when one is given), else
// appends one; returns its index.
int32_t AddScriptFileToList(std::vector<ScriptFileEntry>& list, const FileSpec* spec, const char* target);
// 1 with the entry's file when it exists and is no folder, else 0.
int32_t GetScriptFileSpec(const ScriptFileEntry& entry, FileSpec* spec);
void RemoveScriptFileFromList(std::vector<ScriptFileEntry>& list, int32_t index);
// A deep copy (each entry with its own folder spec), and freeing one.
std::vector<ScriptFileEntry> CopyScriptFilesList(const std::vector<ScriptFileEntry>& list);
void FreeScriptFilesList(std::vector<ScriptFileEntry>& list);

}  // namespace plexa
