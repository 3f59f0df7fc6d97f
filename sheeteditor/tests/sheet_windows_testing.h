// Test helpers for sheets in windows: the styles and sheet defaults a new sheet needs, new
// untitled sheets in their windows kept for the end of the test, and a window's title.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/memory.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/themes.h"
#include "sheeteditor/drawingwindow.h"
#include "sheeteditor/sheetrelease.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/wiredrag.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_window.h"

namespace plexa::test {

// The memory, image lists, element pool, styles and sheet defaults that sheets in windows need,
// as at launch (after the windows fixture's own set-up).
inline void InitSheetModelForWindows() {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    InitImageLists();
    ElementPool();
    VXInitStyles();
    SchStylesInit();
    ASSERT_EQ(InitSheetDefaults(), 0);
}

// What the sheet editor made on demand in a sheet goes with the sheet, as in the editor.
inline void ReleaseTestSheetEditorParts(SheetRecord* sheet) { ReleaseSheetEditorParts(sheet); }

// What NewSchematicDrawing needs, as at launch; the untitled windows count from 1 again.
inline void InitSheetWindows() {
    VXInitStyles();
    SchStylesInit();
    ASSERT_EQ(InitSheetDefaults(), 0);
    gUntitledDrawingCount = 0;
    // The model finds the sheets of windows, and a sheet lets its windows go, as in the editor.
    ModelHooks hooks;
    hooks.windowSheet = SheetOfWindow;
    hooks.detachSheetWindows = DetachSheetWindows;
    hooks.releaseSheetEditorParts = ReleaseTestSheetEditorParts;
    SetModelHooks(hooks);
}

inline std::string WindowTitle(VXWindowRecordTag* window) {
    char title[200];
    VXGetWindowTitle(window, title);
    return title;
}

// New sheets in their windows, destroyed with the list (before the windows go).
class SheetWindowList {
public:
    SheetRecord* New() {
        SheetRecord* sheet = NewSchematicDrawing();
        if (sheet) sheets_.push_back(sheet);
        return sheet;
    }
    // A sheet made otherwise, destroyed with the list.
    void Keep(SheetRecord* sheet) { sheets_.push_back(sheet); }
    void DestroyAll() {
        for (SheetRecord* sheet : sheets_) DestroySheet(sheet);
        sheets_.clear();
    }

private:
    std::vector<SheetRecord*> sheets_;
};

}  // namespace plexa::test
