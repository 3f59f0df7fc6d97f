// The item cache: the program's one library selection (a file of the full library list, an item of
// it, one of the item's parts, and its alternate symbol) with the file open, the item inflated and
// the selected symbol's display data and texts at hand. The browser, the finder and the placing
// tools read and write it instead of keeping selections of their own, and notice a change by its
// change counter, which rises by one each time the published item instance, part or alternate
// changes.
//
// This module owns `gItemCache`: the open library file, the inflated item, and the text, frame
// and style lists and the string block of the display texts.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "library/libfile.h"

namespace plexa {

struct LibraryItem;
struct LinkListHeader;
struct SheetRecord;
struct SymbolSelection;
struct VXWindowRecordTag;
using TextStyleList = LinkListHeader;

// The message for an item stored by a newer version of the program.
constexpr const char* kNewerItemMessage =
    "Unable to access the selected item. It has been modified in a newer version of the application.";
// The size of the display texts' string block, and of a cached file name.
constexpr int32_t kCacheStringQuantum = 128;
constexpr int32_t kCachedFileNameSize = 120;
// The kind of window whose texts are not measured.
constexpr int16_t kUnmeasuredWindowKind = 100;

struct LibSelection {
    uint32_t changeCount;     // 1 at start
    int32_t fileIndex;        // in the full list, -1 none
    int32_t activeFileIndex;  // in the active list, -1 none
    int32_t itemIndex;        // item-map index, -1 none
    uint32_t blockId;
    uint16_t part;            // the item's symbol definition
    uint16_t nameIndex;       // which of the item's names the entry is
    uint8_t alternate;
};

struct CachedLibData {
    LibraryItem* item;       // the cache's (none when no item is selected)
    Ptr symbolData;          // the item's drawing of the part (or its alternate); none
    Rect bounds;             // of the drawing, pins included
    uint32_t symbolFlags;
    uint8_t placementOptions;
    uint8_t hasAlternate;
    LinkListHeader* texts;
    LinkListHeader* frames;
    TextStyleList* styles;
    StringBlock strings;
    uint32_t timeStamp;
};

struct ItemCache {
    // What was last announced.
    uint32_t publishedInstance;
    uint16_t publishedPart;
    uint8_t publishedAlternate;
    LibSelection selection;
    LibraryItem* item;
    // From the item, for the selected part: non-zero while cached data exists.
    uint32_t instance;
    Ptr symbolData;
    Rect bounds;
    uint32_t symbolFlags;
    uint8_t placementOptions;
    uint8_t hasAlternate;
    uint32_t timeStamp;
    LinkListHeader* texts;
    LinkListHeader* frames;
    TextStyleList* styles;
    StringBlock strings;
    LibraryFileRecord file;
};

extern ItemCache gItemCache;

// What the cache needs of the layers above.
struct ItemCacheHooks {
    // Shows a message to the user. Default: nothing.
    void (*message)(const char* text) = nullptr;
    // Reports a failure (the toolkit's error report). Default: nothing.
    void (*reportError)(OSStatus status) = nullptr;
    // Resets the placing tool's transformation. Default: nothing.
    // Optional: only the sheet editor's library-part tool keeps a placement transformation;
    // without that tool there is none to reset.
    void (*resetPlaceTransformation)() = nullptr;
};
void SetItemCacheHooks(const ItemCacheHooks& hooks);
const ItemCacheHooks& GetItemCacheHooks();

// Clears the record (freeing what an earlier one held), makes its lists and string block and sets
// the initial selection (counter 1, no file, no item).
OSStatus InitItemCache();
// Closes the file and frees everything the cache holds.
void DisposeItemCache();

// Selects a file by its index in the full list (which 0) or the active list (which 1); -1
// deselects. Nothing when it is selected already. A file of the full list outside the active
// folder makes its folder the active one. A failure to open leaves no file selected.
OSStatus SetCachedLibraryFile(int32_t which, int32_t index);
// Selects an item by its item-map index; -1 deselects. An item stored by a newer version shows its
// message and counts as no failure; no item is then selected.
OSStatus SetCachedLibraryItem(int32_t index);
// Clamped to the item's parts.
void SetCachedLibItemPart(int32_t part);
// Kept at 0 for a part without an alternate symbol.
void SetCachedLibItemAlt(int32_t alternate);

void GetCachedLibSelection(LibSelection* out);
void GetCachedLibData(CachedLibData* out);
int32_t CountCachedLibraryItems();
LibraryItemMap GetCachedLibraryFileItemMap();
StringBlock GetCachedLibraryNamesData();
// The entry's name (kStringSpecBufferSize bytes); false outside the map.
bool GetIndexedItemNameFromCachedLibrary(int32_t index, char* name);
// None when no file is selected.
LibraryFileRecord* GetCachedLibraryFile();
// At most 119 bytes and the terminator; empty when no file is selected.
void GetCachedLibraryFileName(char* name);
// The name of the selected entry; empty when none.
void GetCachedLibraryItemName(char* name);
// The selection as the placing of symbols takes it (files/symbolplace.h): the cached item, the
// selected name, part and alternate, the file's name (kept until the next call) and the item's
// time stamp; false when no item is selected.
bool ItemCacheSelection(SymbolSelection* out);

// Builds the display texts of the selected symbol for a view (none: the measuring state): pin
// texts show the pin numbers of the first section that uses the part (in the pin set of the
// selected name's package, else the default pin set) and the pin names; then every text and text
// frame is turned by transform bits 0-1 and mirrored by bit 2. Without `measure` (a view of the kind
// kUnmeasuredWindowKind) the texts' bounds are left as they are.
void LoadLibCacheTextList(VXWindowRecordTag* view, int32_t transform, bool measure = true);

// After a library file was written: its digest record is rewritten, and when it is the selected
// file it is opened again and the item of the same name selected (the first item when it went).
void LibraryFileChanged(const FileSpec* spec);
// A sheet save over the selected library file: lets go of the file (remembering the selected
// item's name) and answers true; false when the target is not the selected file.
bool ReleaseCachedLibraryForSave(const FileSpec* target);
// After that save: when the sheet has file symbols, the saved file is the selected library again
// with the remembered item selected (the first one when it went or none was selected).
void ReopenCachedLibraryAfterSave(SheetRecord* sheet, const FileSpec* target);

void ClearCacheData(bool destroyItem);
void UpdateCacheData();
// Announces a changed instance, part or alternate by raising the change counter.
void SynchCacheSelection();

// The first entry of the map whose name equals the name ignoring case; -1 when none (also without
// a map or names).
int32_t LibraryItemLookup(LibraryItemMap map, StringBlock names, const char* name);

}  // namespace plexa
