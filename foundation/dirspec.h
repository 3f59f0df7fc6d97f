// Dir specs and directory lists: folders as stored in documents, and the sorted, unique lists of
// them that projects, libraries, report scripts and preferences keep.
//
// Dir spec (a handle; written whole into sheet, project, library and preferences files):
//   u32 kind, then a NUL-terminated name (written empty), then the folder's bookmark bytes.
//   Kind 0xFFFFFFFE is the bookmark form, the only one that resolves; kind 0 with an empty name
//   (5 bytes) is the empty dir spec; 0xFFFFFFFF is invalid. The kind is native in memory and
//   big-endian in stored files (`ByteSwapDirSpec` swaps it); the bookmark bytes are the
//   program's own big-endian form (foundation/filespec.h) and are never swapped.
//
// Directory list: a DA array of dir-spec handles (unique and sorted) whose physical ids serve as
// indexes; the list owns its handles and frees them with itself. Entries are ordered by a key
// computed once, when an entry is added, so that the order never changes under the list and a
// comparison does no disk access: bookmark forms that resolve go by the {device, inode} of their
// folder (the same folder reached through a symbolic link is one entry), those that do not by
// their stored path; other forms by kind and name (see `CompareDirSpecs`).
#pragma once

#include <cstdint>

#include "foundation/da.h"
#include "foundation/filespec.h"

namespace plexa {

constexpr uint32_t kDirSpecEmpty = 0;
constexpr uint32_t kDirSpecBookmark = 0xFFFFFFFE;
constexpr uint32_t kDirSpecInvalid = 0xFFFFFFFF;

// Makes the handle the dir spec of a folder. An empty directory gives the empty dir spec and 0;
// a folder that cannot be bookmarked gives the empty dir spec and the failure.
OSStatus DirectoryToDirSpec(const DirectoryRef* directory, Handle dirSpec);
// A new empty dir spec from the general pool, filled from the directory when one is given;
// null when out of memory.
Handle CreateDirSpec(const DirectoryRef* directory);
// -35 for anything but a well-formed bookmark form, -120 when it does not resolve.
OSStatus DirSpecToDirectoryURL(Handle dirSpec, std::string* location);
OSStatus DirSpecToDirectory(Handle dirSpec, DirectoryRef* directory);
// A total order: name length, then kind, then for bookmark forms the folder's identity (as
// above), else the names without regard to case. Resolves the folders of bookmark forms.
int CompareDirSpecs(Handle a, Handle b);
void ByteSwapDirSpec(Handle dirSpec);

using DirectoryList = DAArray;

DirectoryList CreateDirectoryList();
void DestroyDirectoryList(DirectoryList list);
// Adds the handle unless an equal entry is there; returns whether it was added and gives the
// entry's physical id (-1 on failure). The list takes the handle only when it was added.
[[nodiscard]] bool AddDirSpecToList(DirectoryList list, Handle dirSpec, int32_t* index);
// The index of the folder's entry, adding one when absent; -1 when the folder gives no
// bookmark dir spec (empty, unreachable) or memory runs out.
int32_t AddDirectoryToList(DirectoryList list, const DirectoryRef* directory);
int32_t GetDirectoryListIndex(DirectoryList list, const DirectoryRef* directory);
Handle GetDirectoryListSpec(DirectoryList list, int32_t index);
bool GetDirectoryListDirectory(DirectoryList list, int32_t index, DirectoryRef* directory);

}  // namespace plexa
