// The record of a library browser (sheeteditor/libbrowser.h), the library pane of a sheet window,
// and clearing the text typed into the browser's lists: what the browser's item drag
// (sheeteditor/libbrowserdrop.h) and the sheet's keys need of it without the browser itself.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct VXWindowRecordTag;
struct sVXTimerRecord;

constexpr int32_t kBrowserKeyTextSize = 32;

struct LibBrowserRecord {
    VXWindowRecordTag* fileList;
    VXWindowRecordTag* itemList;
    VXWindowRecordTag* symbolView;
    VXWindowRecordTag* keyWindow;   // the list that holds the typed text
    sVXTimerRecord* keyTimer;
    uint32_t shownSelection;        // the cache's change counter when last synchronised
    int16_t partsControl, altControl, pathControl;
    int16_t historyState;           // -1 no history, 0 up, 1 pressed
    char keyText[kBrowserKeyTextSize];
    uint8_t destroying;
    // Beyond the stored fields: the host and the caption bands above the two lists.
    VXWindowRecordTag* host;
    VXWindowRecordTag* fileCaption;
    VXWindowRecordTag* itemCaption;
    bool inSheet;
    // While one of its items is dragged out: where it would land (the sheet window's id, 0 none,
    // and the grid point in sheet units).
    int32_t dragSheetWindowID;
    Point dragAt;
};

// The library pane of the sheet window that is the window's top parent, or none.
LibBrowserRecord* SheetLibraryPane(VXWindowRecordTag* window);
// Drops the text typed into the lists and its caption.
void ClearBrowserKeyText(LibBrowserRecord* browser);
// After an item from the pane is placed: the typed text is done with.
inline void ClearBrowserKeySelection(LibBrowserRecord* browser) { ClearBrowserKeyText(browser); }

}  // namespace plexa
