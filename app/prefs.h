// The user's preferences: the main record (`gPrefs`), the colour table, the remembered folders,
// the recent files, the shortcut groups, the report-script list and the property-name lists, and
// the preferences file that keeps them between runs (its layout: app/prefs.cpp). Every module that
// changes a setting calls `ChangedPreferences` with the bit of the block that holds it; quitting
// writes the changed blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "sheeteditor/propertynames.h"

namespace plexa {

struct StreamRecord;

// ---- The main record (block 1) ----

#pragma pack(push, 2)
struct PrefsRecord {
    uint16_t options;          // kPrefs... flags
    uint16_t silentNewSignal;  // bit 0: a new signal takes its generated name without the dialog
    uint16_t connectSound;     // bit 0: the connection click plays
    int16_t zoomPercent;       // last "Zoom Percent" entry
    uint32_t colors[9];        // sheet colours, index 0 to 8
    Point pinNumberOffsets[4];  // per pin orientation 1 to 4
    Point pinNameOffsets[4];
    Point portLabelPositions[2];
    uint8_t reserved84;
    uint8_t isNew;            // 1 in a new record
    char textCreator[6];      // creator code of written text files, NUL-terminated
    uint32_t simulatorAddress;  // IPv4 of the simulator's computer
    uint16_t listenPort;
    uint16_t connectPort;
    uint8_t reserved[156];
};
#pragma pack(pop)
static_assert(sizeof(PrefsRecord) == 256);
static_assert(offsetof(PrefsRecord, colors) == 8 && offsetof(PrefsRecord, pinNumberOffsets) == 44 &&
              offsetof(PrefsRecord, pinNameOffsets) == 60 && offsetof(PrefsRecord, portLabelPositions) == 76 &&
              offsetof(PrefsRecord, isNew) == 85 && offsetof(PrefsRecord, textCreator) == 86 &&
              offsetof(PrefsRecord, simulatorAddress) == 92 && offsetof(PrefsRecord, listenPort) == 96 &&
              offsetof(PrefsRecord, reserved) == 100);
constexpr const char* kPrefsRecordTemplate = "W4L9W20B8LW2";

// Option flags (PrefsRecord::options).
constexpr uint16_t kPrefsHighlightTerminals = 0x0001;
constexpr uint16_t kPrefsColorDisplay = 0x0002;
constexpr uint16_t kPrefsSimulatorRemote = 0x0004;
constexpr uint16_t kPrefsKeepWiresOrthogonal = 0x0010;
constexpr uint16_t kPrefsToolTips = 0x0020;
constexpr uint16_t kPrefsSimulatorLinkOn = 0x0040;
constexpr uint16_t kPrefsCheckOnOpen = 0x0100;
constexpr uint16_t kPrefsHierarchicalDesign = 0x0200;
constexpr uint16_t kPrefsDefaultOptions = 0x0133;

extern PrefsRecord* gPrefs;
extern uint32_t gGrafColors[64];

// The nine default sheet colours, in slot order.
extern const uint32_t kDefaultSheetColors[9];
// The sheet colours of the preferences (the defaults before they are loaded), and whether the
// preferences show them (colour display).
const uint32_t* SheetColorTable();
bool SheetColorDisplay();
// The current graphics state's drawing colour for items of the kind, and its background colour,
// from the preferred sheet colours.
void SetPreferredSheetForeColor(int16_t kind);
void SetPreferredSheetBackColor();
void SetDefaultColors(uint32_t colors[9]);
// Entry index & 63; index 100 is sheet colour 0 of the main record.
uint32_t GetIndexedGrafColor(int32_t index);
// Sets change bit 0x400 only when the value differs.
void SetIndexedGrafColor(int32_t index, uint32_t color);

// ---- Change mask ----

// Block change bits.
constexpr uint32_t kPrefsMainBlock = 0x001, kPrefsRecentBlock = 0x002, kPrefsScriptsBlock = 0x008,
                   kPrefsFoldersBlock = 0x010, kPrefsSheetDefaultsBlock = 0x020,
                   kPrefsLibraryPathsBlock = 0x040, kPrefsPropertyNamesBlock = 0x080,
                   kPrefsFontsBlock = 0x100, kPrefsShortcutsBlock = 0x200, kPrefsColorTableBlock = 0x400,
                   kPrefsPlatformBlock = 0x800, kPrefsAllBlocks = 0xFFF;
extern uint32_t gDirtyPrefs;
// Ors the bits in; 0 clears the mask. The model's `ChangedPreferences` reaches it through the
// hook the editor installs.
void RecordChangedPreferences(uint32_t bits);

// ---- Remembered folders (block 5) ----

enum PrefDirectoryKind : int32_t {
    kPrefDirSheets = 0,
    kPrefDirLibraries = 1,
    kPrefDirScripts = 2,
    kPrefDirOpen = 3,
    kPrefDirTemplates = 4,
    kPrefDirCount = 5,
};
struct DirectoryPrefs {
    Handle dirSpec;  // none when unset
    uint16_t value;
};
extern DirectoryPrefs gDirectoryPrefs[kPrefDirCount];
void RecordPrefDirectory(int32_t kind, const DirectoryRef* directory, int32_t value);
// An unset entry gives the application's own folder and value 1.
void GetPrefDirectory(int32_t kind, DirectoryRef* directory, int32_t* value);

// ---- Recent files (block 12) ----

struct RecentFileEntry {
    uint32_t time;  // local date-time of the last opening
    Handle dirSpec;
    std::string name;
};
enum RecentList : int32_t { kRecentProjects = 0, kRecentSheets = 1, kRecentLibraries = 2, kRecentListCount = 3 };
constexpr int32_t kRecentListLimits[kRecentListCount] = {5, 10, 5};
extern std::vector<RecentFileEntry> gRecentFiles[kRecentListCount];
void InitRecentFiles();
void ClearRecentFiles(int32_t list);
OSStatus InflateRecentFiles(StreamRecord* stream);
OSStatus WriteRecentFiles(StreamRecord* stream);

// ---- Shortcut groups (block 11) ----

struct Shortcut {
    std::string item;
    std::string library;
};
enum ShortcutGroupKind : int32_t { kPowerShortcuts = 0, kPortShortcuts = 1, kComponentShortcuts = 2, kShortcutGroupCount = 3 };
extern std::vector<Shortcut> gLibShortcuts[kShortcutGroupCount];
// 0 when the pair is there already, else 1.
int32_t AddShortcutToGroup(int32_t group, const char* itemName, const char* libraryName);
OSStatus ReadShortcutGroups(StreamRecord* stream);
OSStatus WriteShortcutGroups(StreamRecord* stream);

// ---- Property-name lists (block 8) ----

// The lists themselves: sheeteditor/propertynames.h.
OSStatus ReadPropertyNamesTable(StreamRecord* stream);
OSStatus WritePropertyNamesTable(StreamRecord* stream);

// ---- Report script list (block 4) ----

struct ScriptFileEntry {
    std::string name;
    std::string target;  // "****": the text editor of the preferences; empty: none
    Handle dirSpec;      // the script's folder
};
extern std::vector<ScriptFileEntry> gScriptFilesList;
void ClearScriptFilesList();
// Makes the list of the default scripts found in the essentials folder's "Scripts" folder.
void BuildDefaultScriptsList(const DirectoryRef* essentials);
OSStatus ReadScriptFileList(StreamRecord* stream);
OSStatus WriteScriptFileList(StreamRecord* stream);

// A folder's dir spec as the blocks store it: a handle whose kind is big-endian whatever wrote
// it; a stored spec of fewer than 5 or implausibly many bytes is damaged (-40).
OSStatus ReadStoredDirSpec(StreamRecord* stream, Handle* dirSpec);
OSStatus WriteStoredDirSpec(StreamRecord* stream, Handle dirSpec);

// ---- The file ----

// The program's settings folder, which the user-default keys share (platform/defaults_store.h).
constexpr const char* kPrefsFolderName = "plexa";
constexpr const char* kPrefsMessageNoAccess = "The Preferences file could not be accessed!";
// Index 0 to 2 into the names, newest first; -50 for another index. The file lies in
// $XDG_CONFIG_HOME/plexa/ (~/.config/plexa/ by default), made when missing.
OSStatus GetPreferencesFileSpec(FileSpec* spec, int32_t index, uint16_t* version);
// 1 on success, 0 on failure (reported when `report` is set).
int32_t OpenPreferencesFile(bool report, bool writable, bool* swap, uint16_t* version, DynamicFileRecord* file);
OSStatus WritePreferences(DynamicFileRecord* file, uint32_t mask);
void ClosePreferencesFile(DynamicFileRecord* file);
// Drops the blocks an older file (up to version 0x051F) keeps differently; the first failure.
OSStatus DeleteOldVersionPrefs(DynamicFileRecord* file, uint16_t version);
int32_t GetPlatformByteOrder(uint32_t code);
// The platform tag of this machine's byte order.
uint32_t NativePlatformTag();

void SetDefaultPreferences();
// Defaults, then the file; failures are reported and the defaults stay. Returns the first
// failure (0 when all was read).
OSStatus LoadPreferences();
// Writes the changed blocks, atomically: the file is replaced whole or not at all. The mask stays
// set on failure.
OSStatus SavePreferences();
// Frees what the preference globals hold (the end of a run or of a test).
void DisposePreferences();

// Where failures go: a message (the file could not be accessed) and an error report. Defaults:
// the quiet answers (standard error); the editor puts its alerts in.
struct PreferencesHooks {
    void (*message)(const char* text) = nullptr;
    void (*errorReport)(OSStatus status) = nullptr;
};
void SetPreferencesHooks(const PreferencesHooks& hooks);
const PreferencesHooks& GetPreferencesHooks();

}  // namespace plexa
