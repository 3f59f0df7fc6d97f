// What the sheet model measures and draws with, and what it needs of the layers above it.
//
// The model measures text in the graphics state of the window it is given (a sheet's), else in
// the graphics layer's measuring state (graphics/offscreen.h): fonts, not windows. It finds the
// sheet shown in a window, and reaches the sheet editor and the application shell only through
// the hooks that those layers install:
// the record of changed preference blocks, the undo collection of text
// owners, the Other Fonts dialog, a sheet's file-symbol list and the sheet editor's parts of a
// sheet. Without a hook the model does the plain thing: black text, nothing recorded, no font
// chosen, no file-symbol list, no editor parts to free.
#pragma once

#include <cstdint>

namespace plexa {

struct LinkListHeader;
struct SheetRecord;
struct TextRecord;
struct VXGrafState;
struct VXWindowRecordTag;
struct ProjectRecord;
struct Point;
struct Rect;

struct ModelHooks {
    // Adds bits to the mask of changed preference blocks (0x100: the excluded fonts). Optional:
    // the application's preferences file; a program without it has no blocks to write again.
    void (*changedPreferences)(uint32_t mask) = nullptr;
    // Records in the collecting undo action that a text's owner changed from oldOwner. Optional:
    // the sheet editor's undo; without it there is no action to record in.
    void (*collectTextOwnerChange)(SheetRecord* sheet, TextRecord* text, int64_t oldOwner) =
        nullptr;
    // Runs the Other Fonts dialog over name[256]: true with the chosen family in name.
    bool (*selectOtherFont)(char* name) = nullptr;
    // Paints a junction dot centred on the point in the current window.
    void (*drawJunctionDot)(Point pt, int32_t mode) = nullptr;
    // Invalidates an area of the sheet's view (grown by the handle size).
    void (*invalSheetView)(SheetRecord* sheet, const Rect* area) = nullptr;
    // The project's signal scope settings: the port scope level (1 export, 2 global) and whether
    // every signal attached to a buss break-out is global.
    void (*projectSignalScope)(ProjectRecord* project, int32_t* portLevel,
                               bool* breakOutsGlobal) = nullptr;
    // A sheet's list of file symbols (the files layer's records), and its disposal.
    LinkListHeader* (*createFileSymbolList)() = nullptr;
    void (*destroyFileSymbolList)(LinkListHeader* list) = nullptr;
    // Frees what the sheet editor made on demand in a sheet being destroyed (log window, text
    // editor, item modifiers, split-wire list, undo action) and clears those fields. Optional:
    // without the sheet editor nothing of it was made.
    void (*releaseSheetEditorParts)(SheetRecord* sheet) = nullptr;
    // The sheet of the sheet window that is the window's top parent, or null. A program without
    // windows has none.
    SheetRecord* (*windowSheet)(VXWindowRecordTag* window) = nullptr;
    // Lets the sheet's windows (its window, tool palette and top tool bar) go of the sheet being
    // destroyed. A program without windows has none.
    void (*detachSheetWindows)(SheetRecord* sheet) = nullptr;
};
void SetModelHooks(const ModelHooks& hooks);
const ModelHooks& GetModelHooks();

// The hooks' calls, as the model's modules make them.
void ChangedPreferences(uint32_t mask);
void CollectUndoSheetTextAltRef(SheetRecord* sheet, TextRecord* text, int64_t oldOwner);
// Without a hook: a filled 5 x 5 square in the current window (DrawSquareJunctionDot).
void DrawJunctionDot(Point pt, int32_t mode);
void DrawSquareJunctionDot(Point pt, int32_t mode);
// Without a hook: the area grown by the handle size, invalidated in the sheet's window.
void InvalSheetView(SheetRecord* sheet, const Rect* area);
// Without a hook or a project: port level 1, break-outs not global.
void GetProjectSignalScope(ProjectRecord* project, int32_t* portLevel, bool* breakOutsGlobal);

// The window kinds (type ids) of sheet, library-editor and symbol-editor windows.
constexpr int16_t kSheetWindowKind = 101;
constexpr int16_t kLibEditorWindowKind = 110;
constexpr int16_t kSymbolEditorWindowKind = 111;

// The sheet of the sheet window that is the window's top parent (through the hook), or null.
SheetRecord* WindowToDrawing(VXWindowRecordTag* window);

// The graphics state a text is measured or drawn in: the window's, or without a window the
// graphics layer's measuring state; null when there is none.
VXGrafState* WindowGrafState(VXWindowRecordTag* window);

}  // namespace plexa
