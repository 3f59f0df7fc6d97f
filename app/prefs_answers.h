// The preferences' answers to the layers that read or change them: the symbol text offsets, the
// options the sheet editor asks about, the simulator link's settings, the remembered folders of
// the file panels, the report scripts, the text editor and the library shortcuts. The composition
// root puts them in the hook slots that ask; each reads the preferences when it is called, so
// the answers follow the preferences once they are loaded or changed.
#pragma once

#include <cstdint>

namespace plexa {

struct DirectoryRef;
struct FileSpec;
struct SpiceLinkPreferences;
struct SymbolTextOffsets;

// The pin text offsets of new symbols; none before the preferences are loaded.
const SymbolTextOffsets* PreferredSymbolTextOffsets();

// The options, each false before the preferences are loaded.
bool PreferOrthogonalRubberband();
bool PreferCheckOnOpen();
bool PreferTerminalMarks();
bool PreferHierarchicalDesign();
// A new signal name is asked for unless the preferences say it takes the generated one.
bool PreferAskingNewSignalName();

// The simulator link's record, and storing it (the main block then changed).
SpiceLinkPreferences PreferredSpiceLink();
void StorePreferredSpiceLink(const SpiceLinkPreferences& link);

// A file panel's remembered folder by index (cleared when there is none), and recording one.
void PreferredFolder(int32_t index, DirectoryRef* directory);
void RecordPreferredFolder(int32_t index, const DirectoryRef* directory);

// The report script at index: its file and the application it targets (255 bytes and the
// terminator); false for an index out of range.
bool PreferredScript(int32_t index, FileSpec* file, char* bundleId);
// The script file put in place of the one at index (or found already in the list): the index it
// has, -1 when it could not be put in.
int32_t ReplacePreferredScript(int32_t index, const FileSpec* file);
// The text editor the user chose, none when there is none.
const char* PreferredTextEditor();

// The library shortcuts of a group: their count, an entry's item name (empty for an index out of
// range) and choosing the entry's item in the library browser.
int32_t ShortcutCount(int32_t group);
void ShortcutName(int32_t group, int32_t index, char* name, int32_t size);
bool SelectShortcut(int32_t group, int32_t index);

}  // namespace plexa
