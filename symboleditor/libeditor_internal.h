// What the library editor's records (libeditor.cpp) and its window (libeditorwin.cpp) share.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/types.h"

namespace plexa {

struct LibEditorItemRef;
struct LibEditorRecord;
struct SymbolEditorRecord;

// Reports through the hooks (nothing for 0 and user cancel).
void LibEditorReport(OSStatus status);
bool LibEditorConfirm(const char* message, const char* button, const char* other = "Cancel");
void LibEditorMessage(const char* text);
void LibEditorBeep();
// The symbol editors of the items (through the hooks).
bool CloseItemEditor(SymbolEditorRecord* symbolEditor, bool save, bool ask);
SymbolEditorRecord* OpenItemEditor(LibEditorRecord* editor, LibEditorItemRef* ref);
void AddItemEditorSymbolFlags(SymbolEditorRecord* symbolEditor, uint32_t flags);

// The selected items in list order.
std::vector<LibEditorItemRef*> SelectedItems(LibEditorRecord* editor);

// The window's part: nothing without a window.
void DestroyLibEditorWindow(LibEditorRecord* editor);
// Redraws the window, its title's mark of unsaved changes following the editor.
void InvalLibEditorWindow(LibEditorRecord* editor);
// The title and the file of the window follow the editor's file (after it moved to a copy).
void RetitleLibEditorWindow(LibEditorRecord* editor);
// Child rows to match the names, and the row redrawn.
void SyncLibItemRows(LibEditorRecord* editor, LibEditorItemRef* ref);
void RevealLibEditorItem(LibEditorRecord* editor, LibEditorItemRef* ref);

}  // namespace plexa
