// Library search paths and library file lists: the global library search paths, the full list of
// the library files found along them (plus those of the project of the front window, merged in),
// the active list of one chosen folder, the table of library folders and the folder choice (a menu,
// or a popup list box for many folders). The browser, the finder, the placing tools and the item
// cache use the lists by index.
//
// This module owns the one library access state: the global path list (with its directory list and
// string block, which also hold the full list's names and folders), the full list, the active
// list, the folder table and the folder choice. A project's own list and folder table live in
// its record (files/project.h) with names and folders in the project's string block and directory
// list; the full list keeps copies of the merged entries.
//
// Lists are LL lists of `LibraryFileEntry`; the full list is in file-name order (natural order,
// without regard to case; equal names in the order found). A folder table is a sorted DA array of
// `LibraryFolderEntry` (logical ids are table indexes) in display-name order, whose reference
// value is its own string block.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;
struct LinkListHeader;
struct ProjectRecord;
struct SheetRecord;
struct StreamRecord;
using PathSpecList = LinkListHeader;

// `which` of the list calls: the full list, or the active list (the full list when there is none).
constexpr int32_t kLibFilesAll = 0;
constexpr int32_t kLibFilesActive = 1;

struct LibraryFileEntry {
    LibraryFileEntry* next;
    StringSpec name;     // the file name
    int32_t directory;   // the file's folder in the owner's directory list
    uint8_t isSheet;     // a sheet with file symbols serving as a library
    uint8_t merged;      // merged in from the active project
};
static_assert(offsetof(LibraryFileEntry, name) == 8 && offsetof(LibraryFileEntry, merged) == 17);

#pragma pack(push, 2)
struct LibraryFolderEntry {
    StringSpec name;     // the display name, in the table's string block
    int32_t directory;
    uint8_t merged;
    uint8_t zero;
};
#pragma pack(pop)
static_assert(sizeof(LibraryFolderEntry) == 10);

using LibraryFolderTable = DAHeader**;

// The folder choice.
constexpr int16_t kLibDirMenuId = 1600;
constexpr const char* kLibDirMenuTitle = "libDir";
constexpr const char* kAllLibrariesTitle = "All Libraries";
// Up to this many folders the choice is a menu, with more a popup list box.
constexpr int32_t kLibDirMenuLimit = 32;
// Menu items: 1 all libraries, 2 a separator, 3 onward the folders in table order.
constexpr int32_t kLibDirAllItem = 1;
constexpr int32_t kLibDirFirstFolderItem = 3;
enum class LibDirChoice : uint8_t { kNone, kMenu, kPopupList };

constexpr const char* kSearchingLibrariesMessage = "Searching For Libraries.\r\rTo cancel, press the Escape key.";
// After this many ticks the walk shows its message; skipped files test the cancel key in steps
// of this many.
constexpr uint64_t kLibSearchMessageTicks = 66;
constexpr uint32_t kLibSearchCancelStep = 16;
// The flags of the essentials folder's "Libraries" folder: sub-folders, sheets and libraries.
constexpr uint8_t kEssentialLibrariesFlags = 7;
// The default flags of stored library paths.
constexpr uint8_t kLibraryPathDefaultFlags = 6;

// What the library lists need of the layers above. The walk's message, cancel key and clock are
// the path searches' own (files/pathspec.h, SetPathSearchHooks).
struct LibraryAccessHooks {
    // The program's essentials folder (FindEssentialsFolder). Default: none (no "Libraries" folder
    // is added).
    bool (*essentialsFolder)(DirectoryRef* folder) = nullptr;
    // The folder choice was made again: the browser rebuilds its menu or popup list box from
    // `GetLibDirMenuItem`. Default: nothing.
    // Optional: only the library browser's folder menu listens; without it there is nothing to
    // rebuild.
    void (*folderChoiceChanged)(LibDirChoice choice) = nullptr;
};
void SetLibraryAccessHooks(const LibraryAccessHooks& hooks);
const LibraryAccessHooks& GetLibraryAccessHooks();

// ---- The essentials folder ----

// The folder of the program's essentials (default libraries, report scripts, templates): the
// folder "Essentials/Plexa/", else "Essentials/Plexa+/", in the program's own folder, else in its
// resources folder (foundation/program.h: the build's resources, or <prefix>/share/plexa), else in
// the "Orvix" folder of the Applications folder. 0, or -120 when none of them exists.
OSStatus FindEssentialsFolder(DirectoryRef* folder);
// The same search from one base folder (given by its path): "Essentials/Plexa/", then
// "Essentials/Plexa+/".
OSStatus FindEssentialsFolderIn(const char* base, DirectoryRef* folder);

// ---- Libraries of the program and of the person ----

// Whether a library file is to be opened for reading only: a library of the essentials (the
// program's own, shared once it is installed), or a file the program cannot change where it lies.
bool IsLibraryFileReadOnly(const FileSpec* spec);
// Whether the file (which need not exist) lies in the essentials folder.
bool IsInEssentialsFolder(const FileSpec* spec);
// The folder for the person's own libraries: "plexa/Libraries" in the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share), made when missing. 0, or the status of the making.
OSStatus GetUserLibrariesFolder(DirectoryRef* folder);

// ---- The library access state ----

// Makes the global path list, the full list and the item cache (nothing when made already), and
// adds the essentials folder's "Libraries" folder to the paths, absolute, with flags 7.
void InitLibraryAccess();
// Frees the state and the item cache and deletes the digest file (at quit).
void DisposeLibraryAccess();

// The global paths in the stored form of path lists, read with default flags 6 and without colon
// conversion.
OSStatus SaveLibraryPathList(StreamRecord* stream);
OSStatus LoadLibraryPathList(StreamRecord* stream);
PathSpecList* GetLibFilesPathList();

// Walks the paths for library and sheet files: the global list (project none) or the project's
// own list, with its folder table. With checkAllFiles every file is looked at by content, not
// only the names ending in ".LBX" or ".SHX".
void BuildLibraryFileList(ProjectRecord* project, bool checkAllFiles);
// Rebuilds one project's list (the "Re-search for Libraries" command runs it over every project).
void RebuildProjectLibraryFiles(ProjectRecord* project, bool checkAllFiles);
// Merges the project's libraries into the full list (none: unmerges); nothing when that project
// is active already. Keeps the selected folder, file and item when they are still there.
void SetLibFilesProject(ProjectRecord* project, bool force);
// Unsets the project when it is the active one and frees its list and folder table.
void DisposeProjectLibraryFiles(ProjectRecord* project);
// True when the project was the active one; it is then unset.
bool UnsetLibFilesProject(ProjectRecord* project);
ProjectRecord* GetLibFilesProject();
// After a sheet was saved: rebuilds the lists of the open projects that use it and whose paths
// cover its folder, when the sheet gained or lost its file symbols for them. True when a list was
// rebuilt.
bool UpdateProjectLibraryListsForSheet(SheetRecord* sheet);

// ---- Lists ----

// Chooses the active folder by its directory index (-1 all); deselects the cached file when it
// changes. False when it was that already.
bool SetActiveLibFiles(int32_t directory);
int32_t GetActiveLibDirectory();
LinkListHeader* GetLibFilesList(int32_t which);
int32_t CountLibraryFiles(int32_t which);
// The entry's name (kFileSpecNameCapacity bytes), directory index, folder and sheet mark; each
// output may be none. False for an index outside the list.
bool GetIndexedLibFileInfo(int32_t which, int32_t index, char* name, int32_t* directory,
                           DirectoryRef* folder, bool* isSheet);
bool GetIndexedLibFileName(int32_t which, int32_t index, char* name);
// The file's spec with type "SCH4" for a sheet, else "LIB4" (creator "QPLX").
bool GetIndexedLibFileSpec(int32_t which, int32_t index, FileSpec* spec, bool* isSheet);
int32_t GetIndexedLibFileDirId(int32_t which, int32_t index);
// The entry whose name equals the spec's ignoring case and whose folder is the spec's; -1 when none.
int32_t GetLibFileIndex(int32_t which, const FileSpec* spec);
// The index in the active list of a file of the full list (the same without an active list, -1
// when it is not in the active folder), and back.
int32_t GetActiveLibFilesIndex(int32_t fullIndex);
int32_t GetAllLibFilesIndex(int32_t activeIndex);

// ---- Folders ----

LibraryFolderTable GetLibDirTable();
int32_t CountLibDirs();
// The display name (kStringSpecBufferSize bytes) of a table entry; false outside the table.
bool GetIndexedLibDirName(int32_t tableIndex, char* name);
// The directory index of a table entry, -1 outside the table.
int32_t GetIndexedLibDirId(int32_t tableIndex);
// The menu item that shows the active folder: 1 for all, table index + 3 for a folder.
int32_t GetActiveLibDirSelectionIndex();
// Frees a table and its string block (none is ignored).
void DestroyLibDirTable(LibraryFolderTable table);

// Makes the folder choice again from the table: none without folders, a menu (id 1600, title
// "libDir") up to 32 folders, else a popup list box; tells the hook.
void BuildLibDirectoryMenu();
LibDirChoice GetLibDirChoice();
// The rows of the choice (1 onward): item 1 "All Libraries", item 2 a disabled separator ("-"),
// then the folders. False for an item outside.
int32_t CountLibDirMenuItems();
bool GetLibDirMenuItem(int32_t item, char* title, int32_t size, bool* enabled);

}  // namespace plexa
