// The symbol editor record and its life: one editor edits one library item's symbols on a private
// inflated copy of the item, which comes from one of two owners:
//   - a library editor's item reference: closing writes the item back into the reference;
//   - a sheet's file symbol (files/filesymbols.h): saving flattens the item back into the
//     sheet's entry and marks the sheet modified.
// This module owns the record's life (the record itself, its flags and its hooks are
// symboleditor/symrecord.h): its making over an item, the loading of one
// symbol definition into editable element, text and frame lists for both drawings (reading back),
// the flushing of those lists into the item (writing out), validation, saving into the owner,
// closing and destruction, and the list of open editors with the current one (`CurrEdit`).
//
// The record lives with or without a window. What needs the window, the user or a module above
// this one goes through the hooks of symboleditor/symrecord.h, which the window layer and the application install; each
// hook has a default that lets the record work without them (named beside it), so that the sheet
// files and the document converter can open, flush, save and close editors with no window.
//
// Words: the editor edits one of two drawings of the current symbol, its view context (0 the
// primary drawing, 1 the alternate, symboleditor/symbolview.h); its window shows one of six tabs
// (1 the drawing, 2 Names, 3 Packages, 4 Attributes, 5 Pins, 6 Hidden Pins).
#pragma once

#include <cstdint>

#include "symboleditor/symrecord.h"

namespace plexa {

// ---- Open editors ----

// The open editors, oldest first.
int32_t CountSymbolEditors();
// The sheet changed: the editors open on its file symbols bring their pins up to date from the
// sheet when next activated, but for one whose window is the front-most visible window.
void MarkFileSymbolEditorsStale(const SheetRecord* sheet);
SymbolEditorRecord* GetIndexedSymbolEditor(int32_t index);
// The editor of a window (or of one of its child windows), or none.
SymbolEditorRecord* WindowToSymbolEditor(VXWindowRecordTag* window);

// ---- Life ----

// A new editor on the item (which it takes over only when it returns an editor) with the state
// flags given and kSymEditCreationFlags; its first symbol is loaded. None when memory fails or
// the window cannot be made.
SymbolEditorRecord* CreateSymbolEditor(LibraryItem* item, uint16_t stateFlags);
// Opens the editor of a library editor's item, or brings the one open on it forward. None when
// the reference has no data, the data does not inflate (reported) or the editor cannot be made.
SymbolEditorRecord* OpenLibSymbolEditor(LibEditorRecord* libEditor, LibEditorItemRef* ref);
// Opens the editor of a sheet's file symbol: by name (ignoring case) when one is given, by list
// index when it is 0 or more, else a new file symbol, named as the user confirms (see
// ProposeFileSymbolName). *editor (when asked) is the editor, none on failure. See
// kFileSymbolEditorWasOpen for the statuses.
OSStatus OpenSheetFileSymbolEditor(SheetRecord* sheet, const char* name, int32_t index, bool show,
                                   SymbolEditorRecord** editor);
// Opens (or brings forward) the editor of the sheet's file symbol of that name; false when none
// could be opened.
bool OpenFileSymbolEditorNamed(SheetRecord* sheet, const char* name);
// The name proposed for a new file symbol of the sheet: the sheet file's name less ".ASC" and
// ".SHX" (empty without a file), made unique among the sheet's file symbols with " 1", " 2", ...;
// at most kFileSymbolNameLength bytes, in a buffer of kFileSymbolNameLength + 1.
void ProposeFileSymbolName(SheetRecord* sheet, char* name);
// Whether a name is one of any of the sheet's file symbols (ignoring case), an open editor's
// item counting with its names as they are now.
bool IsFileSymbolNameTaken(SheetRecord* sheet, const char* name);
// The entry of the editor's sheet that the editor edits, or none.
FileSymbolEntry* GetFileSymbolFromEditor(const SymbolEditorRecord* editor);

// Makes the editor current and, for a file symbol whose sheet's ports changed, brings its pins
// in line first.
void DoSymbolEditorActivate(SymbolEditorRecord* editor);

// The title: the item's first non-empty name, trimmed, or kUnnamedItemTitle, behind the owner
// window's title and " : " when the owner has a window; at most size - 1 bytes.
void GetSymbolEditorTitle(const SymbolEditorRecord* editor, char* title, int32_t size);
void UpdateSymbolEditorTitle(SymbolEditorRecord* editor);
// Whether the editor holds changes not yet taken by its owner (drawn, or flushed into its item).
bool SymbolEditorHasChanges(const SymbolEditorRecord* editor);
// Closing the window of a library item's editor: a changed item asks whether to save it first
// (askSaveItem); false when the window stays open.
bool CloseLibrarySymbolEditorWindow(SymbolEditorRecord* editor);
// The window icon: 2031 for a file-symbol editor, else the icon of the item's kind.
int16_t GetSymbolWindowIconId(const SymbolEditorRecord* editor);

// True for the single-symbol kinds; a component needs an element other than a pin in its
// primary drawing.
bool ValidateSymbolEditorSymbol(const SymbolEditorRecord* editor);

// Loads a symbol definition (and the section, or its first, or a new one) into the lists,
// flushing the one loaded before. Nothing for the symbol loaded already.
void SetSymbolEditorSymbol(SymbolEditorRecord* editor, int32_t symbol, LibSection* section);
// Where a symbol's stored drawings are played when it is loaded: the offset that puts their
// top-left (elements, texts that are not hidden and frames of both drawings) on the grid point
// nearest 48 units below and right of the view's origin; (48, 48) on the grid when the symbol has
// no drawing.
void CalcSymbolLoadOffset(SymbolEditorRecord* editor, int32_t symbol, Point* offset);
// Empties the six lists and the string block and forgets the section.
void EmptySymbolEditor(SymbolEditorRecord* editor);
// Writes the editor's lists into its item; false only when a list tab refuses its edits.
[[nodiscard]] bool FlushSymbolEditor(SymbolEditorRecord* editor, bool listFlag);
// Writes the pins' numbers and pin data into the item's sections and symbol (components).
void FlushNodeDataToLibItem(SymbolEditorRecord* editor);

// The item flattened for its owner (empty items allowed), or none with the status. Flattening
// drops the definitions without a primary drawing or a section (model/libitem.h); the editor
// follows: it keeps its symbol under the symbol's new index, or, when its own symbol was dropped,
// shows the item's first symbol (or a new one) instead.
Handle FlattenSymbolEditorItem(SymbolEditorRecord* editor, OSStatus* status);

// Closing and saving; each true when the editor was closed (saved). Closing a library item's
// editor that is to be flushed and validated asks, for an invalid symbol, whether to go on
// editing (false) or to close anyway, keeping the edits. A list tab that refuses its edits
// keeps every editor open (false); so does a file symbol that cannot be stored while its entry
// is there.
bool CloseLibrarySymbolEditor(SymbolEditorRecord* editor, bool flush, bool validate);
bool CloseSheetSymbolEditor(SymbolEditorRecord* editor, bool discard);
[[nodiscard]] bool SaveSheetSymbolEditor(SymbolEditorRecord* editor, bool listFlag);
// Flattens the item into the editor's file-symbol entry; false when the entry is gone or the
// item cannot be flattened (the entry then keeps what it held).
[[nodiscard]] bool StoreSheetSymbolEditorData(SymbolEditorRecord* editor);
void DestroySymbolEditor(SymbolEditorRecord* editor);

// Rebuilds the theme-styled texts of every visible component editor from the default themes.
void UpdateSymbolEditorDefaultStyles();
// Refreshes the pin-name and then the pin-number texts of both views.
void ResetSymbolEditorPinText(SymbolEditorRecord* editor);

// Switches the drawing that the editor edits (0 primary, 1 alternate), finishing a polygon being
// built and dropping the undo action when it changes.
void SetSymbolViewContext(SymbolEditorRecord* editor, int32_t view);
// The point snapped to the editor's grid when its grid lock is on.
void GetSymbolEditorGridPoint(const SymbolEditorRecord* editor, Point* point);

// ---- Pins, sections and symbols that load or mark the editor (the rest of the pin data is
// symboleditor/sympins.h) ----

// Makes the section current (loading its symbol when that is another one).
void SetSymbolEditorSlot(SymbolEditorRecord* editor, LibSection* section);
// Brings the other view's pins in step with the pins of `fromView`: companions take the pin's
// width, connection point and shared references; missing companions are made (with copies of
// the pin's texts); pins without a companion in `fromView` go with their texts. Any change marks
// the editor edited (undo dropped).
void SynchAltSymbolNodes(SymbolEditorRecord* editor, int32_t fromView);
// A new section of the symbol, added in suffix order, with default pin numbers; none when memory
// fails.
LibSection* NewLibItemSection(SymbolEditorRecord* editor, int32_t symbol, const char* suffix);
// A new symbol definition, a copy of `source` (0 or more) or empty, loaded into the editor; its
// index, -1 when it cannot be added.
int32_t NewLibItemSymbol(SymbolEditorRecord* editor, int32_t source, const char* name);
// Moves every pin's connection point of the current view onto the box one grid step around the
// graphics (its end point stays), marking the editor edited; nothing without graphics.
void AlignNodes(SymbolEditorRecord* editor);

}  // namespace plexa
