// The colour and line-width popups of the graphic element tools: the pen width menu, and the
// frame and fill colour popups with their grid of 64 palette colours, "Symbol Color" and (fill
// only) "Empty". A choice restyles the selected graphic elements of the sheet or symbol editor,
// or, with none selected, the defaults for new elements. This module owns the two popup windows
// and their tracking state.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "sheeteditor/elementdefaults.h"

namespace plexa {

struct SheetRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Colour choice indexes besides the palette's 0 to 63.
constexpr int32_t kColorChoiceSymbol = 100;
constexpr int32_t kColorChoiceEmpty = 101;
constexpr int32_t kColorChoiceNone = -1;
constexpr int32_t kPaletteSize = 64;
// The template of the popups and its items.
constexpr uint16_t kColorPopupTemplate = 2101;
constexpr int16_t kColorGridItem = 1, kSymbolColorItem = 2, kEmptyColorItem = 3;
constexpr uint16_t kLineWidthMenuId = 7900;

// What the popups need of the preferences and the symbol editor, installed by them.
struct ColorPopupHooks {
    // The palette's entries; without them the palette is the built-in one of this module.
    uint32_t (*getColor)(int32_t index) = nullptr;
    void (*setColor)(int32_t index, uint32_t color) = nullptr;
    // The symbol editor of a window: its defaults, its selected elements (the count, and the one
    // element's flags and colours when exactly one) and the restyling of its selection. Optional
    // but the restyling: the symbol editor's own buttons for the popups are not built yet.
    bool (*symbolEditorSelection)(VXWindowRecordTag* window, ElementDefaults* defaults,
                                  int32_t* selected, ElementDefaults* single) = nullptr;
    int32_t (*updateSymbolEditorElements)(VXWindowRecordTag* window, int32_t what,
                                          uint32_t value) = nullptr;
    void (*setSymbolEditorDefaults)(VXWindowRecordTag* window, const ElementDefaults& d) = nullptr;
};
void SetColorPopupHooks(const ColorPopupHooks& hooks);
const ColorPopupHooks& GetColorPopupHooks();

uint32_t GetPaletteColor(int32_t index);
// The first palette entry equal to the colour, or -1.
int32_t FindColorIndex(uint32_t color);
// The index to show as current: -1 with more than one selected; else from the single element
// or, with none, the defaults: 101 for an unfilled fill, the palette index of an own colour,
// else 100.
int32_t CalcCurrentColorIndex(const ElementDefaults& defaults, int32_t selectedCount,
                              const ElementDefaults* single, bool fill);

// Applies a choice to the selected elements of the window's sheet or symbol editor, or, with
// none selected, to its defaults (an own-colour flag is cleared for kNoOwnColor, else set with
// the colour).
void SetSelectionFromChoice(VXWindowRecordTag* window, int32_t what, uint32_t value);

// The popups, made once; the two windows (frame, fill) or none when they cannot be made.
bool CreateColorPopups();
void DisposeColorPopups();
VXWindowRecordTag* GetColorPopup(bool fill);

// Box geometry of a popup window: the box of an index (1 with it), and the index of a point
// (-1 for none).
int32_t CalcColorBoxFromIndex(VXWindowRecordTag* popup, int32_t index, Rect* rect);
int32_t HitTestColorBox(VXWindowRecordTag* popup, Point point);
void InvalColorSelectionBox(VXWindowRecordTag* popup, int32_t index);
// The same from the item rectangles alone.
int32_t CalcColorBoxInItems(const Rect& grid, const Rect& symbolItem, const Rect* emptyItem,
                            int32_t index, Rect* rect);
int32_t HitTestColorBoxInItems(const Rect& grid, const Rect& symbolItem, const Rect* emptyItem,
                               Point point);

// The highlighted index of a popup while it is tracked (for drawing).
int32_t GetColorPopupHighlight(VXWindowRecordTag* popup);
void SetColorPopupHighlight(VXWindowRecordTag* popup, int32_t index);

// Tracks the frame or fill popup below the button; the choice is applied.
void TrackColorPopup(VXWindowRecordTag* window, const Rect* button, bool fill);
// The pen-width menu below the button; the chosen width is applied.
void TrackLineWidthPopup(VXWindowRecordTag* window, const Rect* button, VXEventRecord* event,
                         int32_t currentWidth);

uint32_t ColorPopupHook(VXWindowRecordTag* popup, int32_t message, VXEventRecord* event,
                        int32_t inside, Point where, void* reference);
int32_t ColorPopupWindowHandler(VXWindowRecordTag* popup, VXEventRecord* event);
void DrawColorGrid(VXWindowRecordTag* popup, int16_t item);
void DrawLabeledColor(VXWindowRecordTag* popup, int16_t item);

}  // namespace plexa
