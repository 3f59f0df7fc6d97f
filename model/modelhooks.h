// What the sheet model measures and draws with, and what it needs of the layers above it.
//
// The model measures text outside any visible window in `gOffScreenWindow` (made at start-up by
// the application, or here on first use), finds the sheet shown in a window, and reaches the
// sheet editor and the application shell only through the hooks that those layers install:
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

extern VXWindowRecordTag* gOffScreenWindow;
// gOffScreenWindow, made on first use when the application has not made it; null when it
// cannot be made.
VXWindowRecordTag* GetOffScreenWindow();

// The sheet of the sheet window that is the window's top parent, or null.
SheetRecord* WindowToDrawing(VXWindowRecordTag* window);

// Makes a window (null: the off-screen window) current for the scope and restores the former
// current window afterwards.
class ModelWindowScope {
public:
    explicit ModelWindowScope(VXWindowRecordTag* window);
    ~ModelWindowScope();
    ModelWindowScope(const ModelWindowScope&) = delete;
    ModelWindowScope& operator=(const ModelWindowScope&) = delete;
    VXWindowRecordTag* window() const { return window_; }

private:
    VXWindowRecordTag* window_;
    VXWindowRecordTag* previous_;
};

}  // namespace plexa
