// The parts dialog and the library finder's pane. The dialog shows a library browser on its first
// tab and the finder on its second; the finder lists the items whose names contain a text (the
// search itself is library/libfinder.h) and makes the chosen one the cached selection. Cancelling
// the dialog recalls the item that was selected before it opened.
//
// This module owns the finder records (their found list, caption band and symbol view) and the
// dialog's state while it runs.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "library/libfinder.h"
#include "sheeteditor/sheeteditorstate.h"

namespace plexa {

struct VXWindowRecordTag;
struct LibBrowserRecord;
struct FileSpec;

constexpr uint16_t kPartsDialogTemplate = 1015, kPartsDialogAttributesTemplate = 1046;
constexpr uint16_t kPartsLayerTemplateBase = 2020;
constexpr int16_t kPartsTabsItem = 3, kPartsFirstAttributeItem = 4;
constexpr int16_t kBrowserFileItem = 10, kBrowserListItem = 11, kBrowserSymbolItem = 12,
                  kBrowserPartsItem = 13, kBrowserAltItem = 14, kBrowserPathItem = 15, kBrowserFoldersItem = 16;
constexpr int16_t kFinderFieldItem = 20, kFinderButtonItem = 21, kFinderListItem = 22, kFinderSymbolItem = 23,
                  kFinderPartsItem = 24, kFinderAltItem = 25, kFinderPathItem = 26;
constexpr const char* kItemsFoundCaption = "Items Found";
constexpr const char* kNoDigestFileMessage = "Could not open the library index file.\rError number: %d";

struct LibFinderRecord {
    VXWindowRecordTag* foundList = nullptr;
    VXWindowRecordTag* symbolView = nullptr;
    VXWindowRecordTag* caption = nullptr;
    FoundItems found;
    uint32_t shownSelection = 0;
    int32_t selectedEntry = -1;
    VXWindowRecordTag* host = nullptr;
};

// Makes the found list (with its caption band in the top 17 points of the rectangle) and the
// symbol view in the host, both shown; false (nothing left made) on failure.
bool CreateLibFinder(VXWindowRecordTag* host, const Rect* foundRect, const Rect* symbolRect,
                     LibFinderRecord* record);
void DestroyLibFinder(LibFinderRecord* record);
// Searches and fills the found list; the first hit is selected. With none, OK is disabled, the
// find field focused and the alert sound played.
void CollectMatchingItemsList(LibFinderRecord* record, const char* text);
void ClearFoundItemRows(LibFinderRecord* record);
void ClearFoundSelection(LibFinderRecord* record);
void SelectFoundItem(LibFinderRecord* record, int32_t row);

// The path caption of a library file: its path, relative to the user's Documents folder with the
// prefix "{Documents}" when it lies inside it.
void GetLibraryPathString(const FileSpec* spec, char* out, int32_t size);

// Runs the parts dialog (title none: the template's). Panel 0 or 1 chooses the tab, any other the
// one shown last. With an attribute option, the radio buttons show it and OK stores the choice.
// With an item set, the chosen item indexes are given back. True when OK was chosen.
bool BrowsePartsDialog(const char* title, bool withAttributeOption, int32_t panel, int32_t* outAttributeOption,
                       std::vector<int32_t>* outItemSet);
// While the dialog runs: its browser and finder (none otherwise, or before their tab was shown).
LibBrowserRecord* GetPartsDialogBrowser();
LibFinderRecord* GetPartsDialogFinder();
// The tab the dialog showed last, and the last attribute option chosen.
extern int32_t& gLastBrowserPanel;
extern int32_t& attrOptionPrefs;

}  // namespace plexa
