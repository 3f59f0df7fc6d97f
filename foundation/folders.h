// Standard folders and access points.
//
// Standard folders on this platform follow the XDG conventions: the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share) stands for the application-support folder, the config
// folder ($XDG_CONFIG_HOME, else ~/.config) for the preferences folder, the cache folder
// ($XDG_CACHE_HOME, else ~/.cache) for the caches; the resources folder of the program stands for
// the bundle's resources, and /usr/share/applications for the Applications folder. Variables that
// do not hold an absolute path are ignored. The application's library folder is
// <data>/<folder name>/<bundle identifier> ("Orvix/com.orvix.Plexa" for the application).
//
// Access points are folders the user has made accessible to a sandboxed application. The
// application is never sandboxed on this platform, so the list is never loaded from nor saved to
// the user-defaults store: it starts empty each run and lives in memory for the access-point
// dialog, whose UI template belongs to the dialogs and is reached through a hook.
//
// Names of subfolders are single path components: a name that is empty, ".", "..", holds a "/"
// or has 160 bytes or more is refused, so no caller can reach outside the folder it names.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"

namespace plexa {

// Kinds of the user domain's standard folders.
enum : uint32_t {
    kVXFolderHome = 1,
    kVXFolderApplicationSupport = 2,
    kVXFolderPreferences = 3,
    kVXFolderCaches = 4,
    kVXFolderDocuments = 5,
    kVXFolderDesktop = 6,
};

// Each clears the directory first and returns true on success.
bool VXGetBundleResourcesDirectory(DirectoryRef* directory);
// With a subfolder name, that subfolder (created when missing and `create` is set).
bool VXGetUserDomainDirectory(uint32_t kind, const char* subfolder, bool create,
                              DirectoryRef* directory);
// The Applications folder, or a subfolder of it (never created).
bool VXGetApplicationsDirectory(const char* subfolder, DirectoryRef* directory);
// <data>/<folder name or "Anonymous">/<bundle identifier>, each created when missing (the data
// folder too).
bool VXGetAppLibraryDirectory(const char* folderName, DirectoryRef* directory);
// The folder at the location with the name appended (none: the location itself): an existing
// folder is resolved; a missing one is created when asked, else -120; a file there gives -48.
OSStatus FindOrCreateSubFolder(const char* location, const char* name, bool create,
                               DirectoryRef* directory);
// The named file in the application's library folder; -120 with a cleared spec when that folder
// cannot be had.
OSStatus VXBuildPreferenceFileSpec(const char* name, const char* folderName, uint32_t flags1,
                                   uint32_t flags2, FileSpec* spec);

// ---- Access points ----

// Loading does nothing (nothing is stored outside a sandbox); saving stores nothing and, with
// `dispose`, frees the list.
void VXLoadAccessPoints();
void VXSaveAccessPoints(bool dispose);
int32_t VXCountAccessPoints();
// The entry's folder; false (and a cleared directory) for an index outside the list.
bool VXGetIndexedAccessPoint(int32_t index, DirectoryRef* directory);
// Runs the folder chooser ("Choose Accessible Location", button "Choose", starting at the folder
// of mounted volumes) and adds the chosen folder: -48 when it is one already, the chooser's
// status when cancelled. The chosen folder is returned when asked.
OSStatus VXChooseAccessPoint(DirectoryRef* directory);
// Removes the entry at the index (the dialog's Remove); false for an index outside the list.
bool VXRemoveIndexedAccessPoint(int32_t index);

// ---- Hooks of the toolkit ----

// The folder chooser (the toolkit's file panels): fills the directory, -128 when cancelled.
using FolderChooserHook = OSStatus (*)(DirectoryRef* directory, const char* title,
                                       const char* prompt, const DirectoryRef* start);
void SetFolderChooserHook(FolderChooserHook hook);
FolderChooserHook GetFolderChooserHook();

}  // namespace plexa
