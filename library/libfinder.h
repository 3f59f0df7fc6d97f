// The search of the library finder: every library file of the full list is searched for item
// names that contain a text (ignoring ASCII case, anywhere in the name), up to 200 hits, kept in
// item-name order (equal names in the order found). The names digest of each file, taken from
// the library digest file (library/libdigest.h), lets the search pass over files that cannot hold
// a match without opening them. The digest is only a shortcut: a file whose digest cannot be had
// (the digest file is not open, its record cannot be read or written, the file has no readable
// digest) is searched by reading it, so that a broken index never hides a match.
//
// The module keeps the item maps its searches read until `ReleaseLibFinderMaps`.
// `FoundItems` owns its entries (a sorted DA array) and the names block that holds their names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct DAHeader;

constexpr int32_t kMaxFoundItems = 200;
constexpr int32_t kFoundNamesQuantum = 128;
constexpr const char* kTooManyFoundMessage =
    "More than 200 items were found.  Only the first 200 matches will be displayed.";
constexpr const char* kSearchingLibrariesStatus = "Searching Libraries...";
constexpr const char* kLibIndexWriteFailedMessage = "Error:\rUnable to create the library index.";

#pragma pack(push, 2)
struct FoundItemEntry {
    uint32_t entryIndex;  // the item-map entry in its file
    StringSpec name;      // in the found names block
    uint16_t fileIndex;   // in the full list
};
#pragma pack(pop)
static_assert(sizeof(FoundItemEntry) == 10 && offsetof(FoundItemEntry, fileIndex) == 8);

struct FoundItems {
    DAHeader** entries = nullptr;  // FoundItemEntry, in item-name order
    StringBlock names = nullptr;
};

// What the search needs of the layers above.
struct LibFinderHooks {
    // Shows a message to the user. Default: nothing.
    void (*message)(const char* text) = nullptr;
    // Shows the static status text (none: removes it). Default: nothing.
    void (*status)(const char* text) = nullptr;
    // Shows the wait cursor. Default: nothing.
    void (*waitCursor)() = nullptr;
};
void SetLibFinderHooks(const LibFinderHooks& hooks);
const LibFinderHooks& GetLibFinderHooks();

// Makes the entries and the names block; -108 (nothing made) when memory fails.
OSStatus CreateFoundItems(FoundItems* found);
void DestroyFoundItems(FoundItems* found);
// Removes every entry and empties the names block.
void ClearFoundItems(FoundItems* found);
int32_t CountFoundItems(const FoundItems* found);
// The entry at a position and its name (kStringSpecBufferSize bytes; may be none); false outside.
bool GetFoundItem(const FoundItems* found, int32_t index, FoundItemEntry* entry, char* name);

// Whether a name contains the upper-cased text, folding the name's ASCII letters to upper case
// (bytes of 128 and above compare exactly).
bool ItemNameContains(const char* name, const char* upperText);

// Runs the search for a text (an empty text finds nothing): a text of one character searches
// every file without the digest file; a longer one tests each file's digest first. With more than
// 200 matches the first 200 are kept, *more is set and the message says so; exactly 200 matches
// are no more. Every file is searched at most once; a file that cannot be read gives no hits.
// The digest file's rebuild mark is cleared afterwards. Returns the number of hits.
int32_t CollectMatchingItems(FoundItems* found, const char* text, bool* more);

// Searches keep the item maps they read, each with the identity of its file, so that the next
// query (a type-ahead) reads only the files that changed; this frees them (when the finder closes).
void ReleaseLibFinderMaps();

// Makes a found entry the cached file and item (by the entry's name when the file's map changed
// since the search); false when it cannot be selected.
bool SelectFoundItemInCache(const FoundItems* found, int32_t index);

}  // namespace plexa
