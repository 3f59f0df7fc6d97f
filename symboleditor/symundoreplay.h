// Undo in the symbol editor: the committed action's operations (symboleditor/symundo.h) are
// replayed newest first; each replay turns an operation into its inverse in place, so the same
// command then redoes, and so on alternately.
//
// Items removed from the view live in their existence operations until the record that holds
// them is freed; one that a replay took out goes back to the place it left. A replaced element
// enters at the head of the element list; when it is a pin, the pin texts of the editor and of the
// action's text operations follow the record that is in the view, and so do the pin's shared pin
// data and pin numbers.
#pragma once

namespace plexa {

struct SymbolEditorRecord;

// Replays the committed action (nothing without one). A text being typed and a polygon being
// clicked are finished first: each is then the action undone.
void UndoSymbolEditorAction(SymbolEditorRecord* editor);

}  // namespace plexa
