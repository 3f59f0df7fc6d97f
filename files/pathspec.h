// Search-path lists: ordered folders along which sheets, libraries and the files that report
// scripts include are found by name. A project keeps one list; the library search paths are
// another. An entry stores its folder relative to the owner's folder, relative to the
// application's folder, or as an absolute path, so that a project folder moved as a whole keeps
// working; it caches the folder it resolved to as an index into the list's directory list.
//
// A list is an LL list of `PathSpec` whose owner word holds its `PathListInfo`. A project's list
// (owner kind 102) uses the project's string block and directory list; any other list owns a
// string block (quantum 128) and a directory list. A copy made with `sameInfo` shares the info
// record, which goes with the last list that uses it.
//
// Paths are POSIX paths in UTF-8 ending in "/"; relative ones apply to the root of their kind.
// The application's folder is the folder that holds the running program.
//
// Folders whose name, with surrounding spaces trimmed, begins with "(" and ends with ")" are
// shielded: no search below an entry's folder enters them. Searches and walks follow symbolic
// links to folders but never enter a folder that is already on their own chain of folders, so a
// link loop ends.
//
// Stored form of a list (numbers in the stream's byte order):
//   u32 number of entries
//   per entry: u8 root kind (0 to 2), u8 flags (written with bit 4 set), u32 path length n
//   (at most 1023), then the n path bytes without a terminator.
#pragma once

#include <cstdint>

#include "foundation/dirspec.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/stringblock.h"

namespace plexa {

struct ProjectRecord;
struct StreamRecord;

// Root kinds.
constexpr uint8_t kPathRootOwner = 0;        // the project file's folder, else the application's
constexpr uint8_t kPathRootApplication = 1;  // the application's folder
constexpr uint8_t kPathRootAbsolute = 2;
// For `AddPathSpecToList`: relative to the project when possible, else absolute.
constexpr int32_t kPathRootDefault = -1;

// `PathSpec::flags`.
constexpr uint8_t kPathSearchSubFolders = 0x01;
constexpr uint8_t kPathSheetFiles = 0x02;
constexpr uint8_t kPathLibraryFiles = 0x04;
constexpr uint8_t kPathScriptFiles = 0x08;
constexpr uint8_t kPathFileKinds = 0x0E;
constexpr uint8_t kPathPosixForm = 0x10;
constexpr uint8_t kPathFlagsValid = 0x80;

constexpr uint32_t kPathSpecMaxLength = 1023;
constexpr uint32_t kPathListStringQuantum = 128;

// What a walk callback returns to skip the rest of the folder it is in.
constexpr int32_t kPathWalkSkipFolder = int32_t(FourCC("skpd"));

struct PathSpec {
    PathSpec* next;
    int32_t directory;  // index in the list's directory list; -1 while unresolved
    StringSpec path;    // in the list's string block
    uint8_t rootKind;
    uint8_t flags;
};

struct PathListInfo {
    void* owner;            // the project, or none
    uint32_t ownerKind;     // 102 for a project, else 0
    StringBlock strings;    // own block; none for a project's list
    DirectoryList directories;  // own list; none for a project's list
    uint32_t users;         // lists that share this record
};

using PathSpecList = LinkListHeader;

// ---- Lists and entries ----

// None when memory runs out. A project owner must have its string block and directory list.
PathSpecList* CreatePathSpecList(void* owner, uint32_t ownerKind);
void DestroyPathSpecList(PathSpecList* list);
// A copy of every entry in order. With sameInfo the copy shares the list's info record (and
// keeps the resolved folders); otherwise it gets a new one for the same owner and its entries
// start unresolved. None when memory runs out.
PathSpecList* DuplicatePathSpecList(PathSpecList* list, bool sameInfo);
// An unlinked entry with the flags and bits 4 and 7, unresolved; none when memory runs out.
// The entry is freed with `MemFreePtr` unless a list takes it.
PathSpec* CreatePathSpec(uint8_t flags);

PathListInfo* GetPathListInfo(const PathSpecList* list);
DirectoryList GetPathListDirList(const PathSpecList* list);
StringBlock GetPathListStringBlock(const PathSpecList* list);
// The entry's path (at most 1023 bytes) into a buffer of kStringSpecBufferSize bytes.
void GetPathSpecPath(const PathSpecList* list, const PathSpec* entry, char* buffer, int32_t size);

// Adds the folder with the flags and returns its entry. When an entry for the folder is there
// already (with searchSubFolders also one whose sub-folders hold it), that entry only gains the
// file-kind bits of the flags. Kind -1: relative to the project for a project's list when
// possible, else absolute. None when the folder gives no path or memory runs out. A change to a
// project's list sets its path-list dirty flag.
PathSpec* AddPathSpecToList(PathSpecList* list, const DirectoryRef* folder, int32_t rootKind,
                            uint8_t flags, bool searchSubFolders);
// Stores the folder in the entry: absolute for kind 2; otherwise relative to the kind's root,
// or absolute (kind 2) when no relative path can be made. The entry becomes unresolved. Returns
// the kind stored, -1 (entry unchanged) when the folder gives no path that fits.
int32_t SetPathSpecFromDir(PathSpecList* list, PathSpec* entry, const DirectoryRef* folder,
                           int32_t rootKind);
// The same for a folder named by a file spec (its directory and name).
int32_t SetPathSpecFromFileSpec(PathSpecList* list, PathSpec* entry, const FileSpec* folder,
                                int32_t rootKind);

// The root path of a kind, ending in "/", into out; returns its length, 0 for kind 2 or when
// the root is unknown or does not fit.
int32_t GetRootPath(const PathSpecList* list, int32_t rootKind, char* out, int32_t size);
// The folder that holds the running program.
bool GetApplicationFolder(DirectoryRef* folder);

// Whether the entry's folder exists; it is then in outFolder (optional). A resolved entry whose
// folder went away is resolved afresh from its path.
bool ResolvePathSpec(PathSpecList* list, PathSpec* entry, DirectoryRef* outFolder);
// The full path of the entry's folder, ending in "/"; its length, or -1 when the entry does not
// resolve or the path does not fit.
int32_t PathSpecToFullPath(PathSpecList* list, PathSpec* entry, int32_t size, char* out);
// Every entry unresolved; with clearDirectories the directory list is emptied too (every index
// into it, also those kept outside the list, is then void).
void ResetPathSpecList(PathSpecList* list, bool clearDirectories);
// The entry of the folder (see AddPathSpecToList), none when there is none.
PathSpec* FindPathSpec(PathSpecList* list, const DirectoryRef* folder, bool searchSubFolders);

bool IsShieldedName(const char* name);

// ---- Searching ----

// Finds a file by its name (ignoring case; an exact match in a folder is taken first) and,
// unless the spec's type is "*", by its type, along the entries that have one of the file-kind
// bits of `kinds`: in each entry's folder, then, when the entry searches sub-folders, below it.
// With mustExist a hit counts only when it resolves to a file that is not a folder. On success
// the spec names the item found (a symbolic link stays named as the link, in the folder searched);
// otherwise it is left as it was. A search cancelled by the user finds nothing and sets
// *outCancelled (optional). A search that runs long shows its message through the search hooks;
// the caller takes it down with ClearPathSearchMessage.
bool ResolveFilePath(PathSpecList* list, uint8_t kinds, FileSpec* fileSpec, bool mustExist,
                     bool* outCancelled);

// The same search in one folder alone (not below it).
bool FindFileInFolder(const DirectoryRef* folder, FileSpec* fileSpec, bool mustExist);

// Called for each file of a walk (a symbolic link gives its target and wasAlias): 0 goes on,
// kPathWalkSkipFolder skips the rest of the current folder, anything else ends the walk of this
// entry's folder tree.
using PathWalkProc = int32_t (*)(const FileSpec* file, PathSpec* entry, bool wasAlias,
                                 void* walkData, void* procData);
// Walks the files of every entry that resolves and has one of the file-kind bits of `kinds`,
// with their sub-folders for entries that search them. Returns the result of the last call.
int32_t EnumPathSpecList(PathSpecList* list, uint8_t kinds, PathWalkProc proc, void* procData,
                         void* walkData);

// What a search shows the user; the application installs it. Without `ticks` the monotonic
// clock counts; without the others nothing is shown and the search cannot be cancelled.
struct PathSearchHooks {
    void (*busy)() = nullptr;                         // the wait cursor, once per file visited
    void (*showMessage)(const char* text) = nullptr;  // an empty text takes the message down
    bool (*cancelKey)() = nullptr;                    // whether the cancel key is down
    uint64_t (*ticks)() = nullptr;                    // sixtieths of a second
};
void SetPathSearchHooks(const PathSearchHooks& hooks);
const PathSearchHooks& GetPathSearchHooks();
// Takes down the message that a search put up, when one is up.
void ClearPathSearchMessage();

// ---- Stored form ----

// An empty list is written as the u32 0 alone.
OSStatus WritePathSpecList(StreamRecord* stream, const PathSpecList* list);
// Empties the list, then reads entries into it: stored flags without bit 7 become flags | D |
// 0x80; with convert a path without bit 4 that holds ":" is taken from the colon-separated form.
// Every count and length is checked before anything is allocated; a failure empties the list
// and is returned (-39 truncated, -50 a bad kind or length, -108 out of memory).
OSStatus ReadPathSpecList(StreamRecord* stream, PathSpecList* list, uint8_t defaultFlags,
                          bool convert);

}  // namespace plexa
