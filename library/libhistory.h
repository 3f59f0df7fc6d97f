// The history of recently used library items and the lookup of a library item by file name and
// item name, which the history, the shortcuts and the parts dialog use to make a remembered item
// the cached selection (library/itemcache.h) again.
//
// This module owns `gLibItemHistory`: an LL list of at most 8 entries, newest first, each with
// its own copies of the library file name and the item name (freed by the list's free
// procedure). It is made on first use and lives until `DisposeLibHistory` (at quit).
#pragma once

#include <cstdint>

namespace plexa {

struct LinkListHeader;

constexpr int32_t kLibHistoryLimit = 8;

struct LibHistoryEntry {
    LibHistoryEntry* next;
    char* fileName;
    char* itemName;
};

extern LinkListHeader*& gLibItemHistory;

constexpr const char* kMissingLibFileMessage = "Could not find a library file named \"%s\".";
constexpr const char* kMissingLibItemMessage = "Could not find a library item named \"%s\".";

// What the history needs of the layers above.
struct LibHistoryHooks {
    // Shows a message to the user. Default: nothing.
    void (*message)(const char* text) = nullptr;
};
void SetLibHistoryHooks(const LibHistoryHooks& hooks);
const LibHistoryHooks& GetLibHistoryHooks();

// Records the cached file and item at the front of the history: an entry of the same two names
// (ignoring case) moves to the front; a ninth entry pushes out the oldest. Nothing (none) when no
// file or no item is cached or memory runs out.
LibHistoryEntry* RecordLibHistoryItem();
// Walks the history from the oldest end (direction 1) or from the newest (any other value): the
// first entry that can be found becomes the cached file and item and moves to the far end;
// entries naming the current selection are passed over (moved to the far end), entries that can
// no longer be found are dropped. True when an entry was made the cached selection.
bool RecallLibHistoryItem(int32_t direction);
int32_t CountLibHistory();
// The entry at a position from the newest (0); none outside.
const LibHistoryEntry* GetLibHistoryEntry(int32_t index);
void DisposeLibHistory();

// Finds an item by name in the library files of the full list whose name equals the file name
// (ignoring case), in list order; when none holds it and the name does not end in ".LBX", looks
// again with ".LBX" appended. True with the file index in the full list and the item-map index.
bool LocateLibraryFileItem(const char* fileName, const char* itemName, int32_t* fileIndex,
                           int32_t* itemIndex);
// The same for a symbol's library and item: both indexes -1 when no file of the list holds it.
void LocateLibraryFileItemOrNone(const char* fileName, const char* itemName, int32_t* fileIndex, int32_t* itemIndex);
// Makes a shortcut's file and item (as the preferences keep them) the cached ones; a missing file
// or item shows its message. True when both were selected.
bool SelectShortcutItem(const char* fileName, const char* itemName);

}  // namespace plexa
