// What the menus see of a document's selection: the counts of the selected items by kind, the one
// selected symbol, text and frame when there is one, and the style, alignment and view that the
// Text and View menus show. Each open sheet window and symbol editor keeps its own in its edit
// state; the application's command preparation fills it for the front document.
#pragma once

#include <cstdint>

namespace plexa {

struct txStyle;

struct SelectionSummary {
    void* symbol = nullptr;            // the selected symbol when exactly one is
    int32_t symbolCount = 0;
    void* text = nullptr;              // the first selected text
    int32_t textCount = 0;
    void* frame = nullptr;             // the first selected text frame
    int32_t frameCount = 0;
    int32_t elementCount = 0;
    int32_t signals = 0, busses = 0;   // selected wires, counted up to 2
    const txStyle* style = nullptr;    // the style the Text menu shows, none when mixed
    bool defaultStyle = false;         // the style is the theme's default
    bool alignedRight = false;
    bool textEditing = false;          // the selection is in a text being edited
    int32_t scale = 100, grid = 0;     // the document's view scale (percent) and grid
};

}  // namespace plexa
