// File specs and locations: how files and folders are named throughout the program.
//
// A location is an absolute POSIX path in UTF-8 (`std::string`); a folder's location has no
// trailing "/" except the root "/". There is no separate "file-reference" form: the reference
// form of a location is the same path, valid while the item exists.
//
// `DirectoryRef` (in memory only) holds a folder by its absolute path: u32 length, then the path
// bytes and a terminator. The path is made absolute and cleaned ("//" and "." dropped, ".." taken
// through the real folder) but symbolic links in it are kept as given. Paths of up to
// kDirectoryRefCapacity - 1 bytes fit; a longer one gives 0x20002713. A directory reference is
// valid only while its folder exists.
//
// `FileSpec` (in memory only): the containing folder's directory reference, the creator and the
// type as terminated four-character strings, and the file name (at most 159 bytes). An empty
// name names the folder of the directory reference.
//
// Choices for this platform, which fix what every sheet, project, library and preferences file
// stores (see also foundation/dirspec.h):
// - A stored "bookmark" is the program's own small form, in big-endian byte order so that it is
//   never swapped: the four bytes "PXBM", u16 version 1, u16 path length n, u64 device, u64
//   inode, then n bytes of the absolute path in UTF-8 (no terminator). It resolves by path: the
//   path must name an existing item; the identity {device, inode} only tells whether the item
//   at that path is still the one that was bookmarked (stale when not). A bookmark written by
//   another platform does not resolve.
// - There are no creator and type codes on disk. A file's codes are derived: a dynamic file
//   (content starting with "ORDF") gives creator "QPLX" and its stored file type; otherwise the
//   extension table below decides; anything else has zero codes. A folder is "MACS"/"Fldr".
//   Setting codes changes nothing and reports success when the item exists.
// - Type conformance ("public.text", ...) goes by the same extension table, and by the content
//   for files whose extension the table does not know.
// - A symbolic link stands for an alias file; resolving it gives its final target.
// - `FileIDStringFromURL` gives the inode number.
// - Comparing locations (`CompareURLs`) is a total order: reachable items by {device, inode}
//   (the same item through any path compares equal), then unreachable ones by their path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

constexpr uint32_t kDirectoryRefCapacity = 1024;
constexpr uint32_t kFileSpecNameCapacity = 160;

struct DirectoryRef {
    uint32_t length;  // path bytes, 0 = no folder
    char bytes[kDirectoryRefCapacity];
};

struct FileSpec {
    DirectoryRef directory;
    char creator[5];
    char type[5];
    char name[kFileSpecNameCapacity];
};

// Clearing and small accessors.
void ClearDirectoryRef(DirectoryRef* directory);
void ClearFileSpec(FileSpec* spec);
bool IsDirectoryInvalid(const DirectoryRef* directory);  // empty (or null) reference
// Stores a four-character code string (null or "" for the zero code; at most 4 bytes kept).
void SetFileSpecCode(char code[5], const char* value);

// A POSIX status for an errno value: -43 not found, -48 exists, -54 no permission, -47 not
// empty or busy, -34 disk full, else -50.
OSStatus StatusFromErrno(int error);

// Makes a path absolute (relative to `base`, or to the current folder when base is empty) and
// cleans it (see above). Empty for an empty path.
std::string NormalizePath(const std::string& path, const std::string& base = std::string());

// ---- Locations and file specs ----

OSStatus CreateURLFromFileSpec(const FileSpec* spec, bool allowFolder, std::string* location);
OSStatus CreateFileReferenceURLFromFileSpec(const FileSpec* spec, std::string* location);
OSStatus FileSpecFromURL(const std::string& location, FileSpec* spec, bool withCodes, bool* isFolder);
OSStatus DirectoryFromDirectoryURL(const std::string& location, DirectoryRef* directory);
OSStatus CreateDirectoryURLFromDirectory(const DirectoryRef* directory, std::string* location);
std::string CreatePathURLFromReferenceURL(const std::string& location);
OSStatus FolderSpecFromDirectory(const DirectoryRef* directory, FileSpec* spec);
OSStatus DirectoryFromFolderSpec(const FileSpec* spec, DirectoryRef* directory);

OSStatus FileSpecFromPathName(const DirectoryRef* base, const char* path, FileSpec* spec);
OSStatus DirectoryFromPathName(const DirectoryRef* base, const char* path, DirectoryRef* directory);
// The path of the file, or of its folder ending in "/" (folderOnly, or an empty name). The
// length needed (without terminator) goes to *needed; buffer may be null to ask for it only.
OSStatus PathNameFromFileSpec(const FileSpec* spec, bool folderOnly, char* buffer, size_t size,
                              uint32_t* needed);
OSStatus PathNameFromDirectory(const DirectoryRef* directory, char* buffer, size_t size, uint32_t* needed);

// Names are cut to 159 bytes (SetFileSpecName) or size - 1 bytes on a UTF-8 character boundary.
void SetFileSpecName(FileSpec* spec, const char* name);
void GetFileSpecName(const FileSpec* spec, char* buffer, size_t size);

OSStatus ResolveFileSpec(FileSpec* spec, bool allowFolder, bool* wasAlias, bool* isFolder);

// ---- Creator and type codes (derived, see above) ----

OSStatus SyncFileSpecCreatorAndType(FileSpec* spec);
OSStatus GetLegacyCreatorAndTypeForURL(const std::string& location, char creator[5], char type[5]);
OSStatus SetFileCreatorAndType(const FileSpec* spec, const char* creator, const char* type);
// Known identifiers: "public.item", "public.data", "public.folder", "public.directory",
// "public.text", "public.plain-text" and "com.orvix.plexa.drawing" (sheet, project, library).
bool IsConformingFile(const FileSpec* spec, const char* typeIdentifier);

// ---- Properties, identity and bookmarks ----

bool URLTargetExists(const std::string& location);
bool IsDirectoryURL(const std::string& location);
bool IsAliasURL(const std::string& location);
int CompareURLs(const std::string& a, const std::string& b);

// The bookmark of an existing item in a pointer block (freed with MemFreePtr); null on failure.
Ptr CreateBookmarkDataFromURL(const std::string& location, bool securityScoped);
// The location a bookmark resolves to, empty on failure; *isStale (optional) tells that the item
// now at the path is not the one that was bookmarked. Every length is checked.
std::string CreateURLFromBookmarkData(const void* bytes, uint32_t length, bool securityScoped,
                                      bool* isStale);
// The path stored in a well-formed bookmark (whether or not it resolves); false otherwise.
bool BookmarkDataPath(const void* bytes, uint32_t length, std::string* path);

OSStatus FileIDStringFromURL(const std::string& location, char* buffer, size_t size);

}  // namespace plexa
