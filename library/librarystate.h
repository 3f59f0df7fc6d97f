// Library access keeps its process-wide state in records of its modules (the item cache, the
// library lists, the digest file); the other values that change while the program runs are in
// the record below: the history of placed items, the name of the cached item while a save holds
// its file released and the file name of the last library selection handed out. What a run
// collects on the way, the finder's kept item maps and the item history, is forgotten with that
// record in one call (a test program does so after every test).
#pragma once

#include "library/itemcache.h"
#include "model/libitem.h"

namespace plexa {

struct LinkListHeader;

struct LibraryState {
    LinkListHeader* itemHistory = nullptr;
    char releasedItemName[kLibItemTextSize] = {};
    char selectionFileName[kCachedFileNameSize] = {};
};

extern LibraryState gLibraryState;

// Frees the finder's kept maps and the item history and puts the record back to its start.
void ResetLibraryForTesting();

}  // namespace plexa
