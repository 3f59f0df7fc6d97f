// Data files and file operations: byte access to open files under small reference numbers,
// data files with (derived) creator and type codes, delete, rename, copy, move and atomic
// replace, folder creation, deletion and enumeration, and relative and colon-separated paths.
//
// Open files live in a process-wide table of 128 slots; a reference is a slot index + 10
// (10..137) and the first free slot in index order is taken. A slot holds a file descriptor.
//
// On this platform:
// - Creation dates cannot be set: wherever dates are "set back" only the modification time is.
// - Copy and move with replace (flag 1) go through a temporary file in the destination's folder
//   that is renamed over the destination, so a failed copy never loses the old destination.
// - Renaming never overwrites an existing item (-48).
// - Folder removal never follows symbolic links: a link inside is removed, not its target, and a
//   folder given as a link is not a folder here.
// - `BuildRelativePath` compares paths case-sensitively, as the file systems here do.
// - `HFSPathToPosixPath` makes an absolute colon path into an absolute POSIX path under
//   "/Volumes/" ("Disk:Folder:File" gives "/Volumes/Disk/Folder/File").
#pragma once

#include <cstdint>
#include <string>

#include "foundation/filespec.h"

namespace plexa {

using DataFileRef = int32_t;

constexpr int32_t kDataFileSlots = 128;
constexpr DataFileRef kFirstDataFileRef = 10;

// ---- Data files ----

OSStatus OpenDataFile(const FileSpec* spec, bool readOnly, DataFileRef* reference);
OSStatus CloseAndOrFlushDataFile(DataFileRef reference, bool close, bool flush);
OSStatus ReadFromFile(DataFileRef reference, void* buffer, int32_t* count);
OSStatus WriteToFile(DataFileRef reference, const void* buffer, int32_t* count);
OSStatus GetFileMarkEx(DataFileRef reference, int64_t* mark);
OSStatus GetFileEndEx(DataFileRef reference, int64_t* size);
OSStatus SetFileMark(DataFileRef reference, int64_t offset, bool fromCurrent);
OSStatus SetFileEOF(DataFileRef reference, int64_t length);
// The descriptor of an open data file (for streams over it), -1 for a bad reference.
int32_t GetDataFileDescriptor(DataFileRef reference);

// Creates the file; one that exists is kept when its codes match (or it is empty), else replaced
// by an empty one with its dates kept.
OSStatus CreateDataFile(FileSpec* spec, const char* creator, const char* type, bool keepOtherCreator);
// Like CreateDataFile for a file that must not exist yet: -48 when it does (O_EXCL).
OSStatus CreateNewDataFile(FileSpec* spec, const char* creator, const char* type);

// ---- File operations ----

bool VXFileExists(const FileSpec* spec, bool* isFolder);
// Whether the file can be changed where it lies: it and its folder (in which a save makes the
// file's replacement) can be written. False for a missing file.
bool VXCanRewriteFile(const FileSpec* spec);
OSStatus VXDeleteFile(const FileSpec* spec);
// Removes a file, or a folder with its content; up to 3 attempts 2 ticks apart.
OSStatus DeleteItemAtURL(const std::string& location);
OSStatus FileRename(const FileSpec* spec, const char* newName);

constexpr uint32_t kCopyReplace = 1;
constexpr uint32_t kCopyKeepDates = 2;
OSStatus VXCopyFile(const FileSpec* source, const FileSpec* destination, uint32_t flags);
OSStatus VXMoveFile(const FileSpec* source, const FileSpec* destination, uint32_t flags);
OSStatus CopyOrMoveFile(const FileSpec* source, const FileSpec* destination, uint32_t flags, bool move);
// Test seam: called before each chunk of a copy is written with the bytes copied so far; a
// non-zero result fails the copy with that status. Null (the default) for none.
using CopyChunkHook = OSStatus (*)(int64_t copiedSoFar);
void SetCopyChunkHook(CopyChunkHook hook);

OSStatus VXReplaceFile(const FileSpec* target, const FileSpec* replacement);

bool EqualDirectories(const DirectoryRef* a, const DirectoryRef* b);
// Equal directories and equal names; names that differ (also only in case) are equal only
// when both name the same existing item, as on a file system that ignores case.
bool EqualFileSpecs(const FileSpec* a, const FileSpec* b);

// Makes the folder that the spec names (an existing folder is fine): -48 when a file has the name,
// -120 when a folder on the way is missing, -54 when making it is refused.
OSStatus VXCreateDirectory(FileSpec* spec);
constexpr uint32_t kDeleteFolder = 1;
constexpr uint32_t kDeleteContent = 2;
OSStatus VXDeleteDirectory(const DirectoryRef* directory, uint32_t flags);
bool GetDirectoryName(const DirectoryRef* directory, char* name, size_t size);

// Called per item of a folder, in name order; false stops the walk (-128).
using EnumFilesProc = bool (*)(const FileSpec* spec, bool isFolder, bool wasAlias,
                               const std::string& location, void* userData);
OSStatus EnumFiles(const DirectoryRef* directory, EnumFilesProc proc, bool resolveAliases, void* userData);

OSStatus GetApplicationFileSpec(FileSpec* spec);

// ---- Paths ----

bool BuildRelativePath(const std::string& basePath, const std::string& targetPath, std::string* out,
                       bool backslashes);
bool ResolveRelativePath(std::string* basePath, const std::string& relativePath, bool backslashes);
bool HFSPathToPosixPath(std::string* path);

}  // namespace plexa
