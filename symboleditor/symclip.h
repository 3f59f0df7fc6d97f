// The symbol editor's edit commands: delete, copy, cut, paste and duplicate, each one undoable
// action of the editor.
//
// A copy fills the symbol editor's clip with copies of the selected elements, texts and text
// frames of the current view, made relative to a reference point (the selected pin nearest the
// view's origin, else the top-left of the selected elements, else the nearest selected text or
// frame). A copied pin keeps its pin data and, per section that uses the symbol, its numbers in
// the four pin sets. A paste puts the copies back one offset step (the smallest multiple of the
// grid of 36 or more) below and right of the reference point, selected, with pin numbers that are
// taken elsewhere renumbered and, for a clip of this editor, the pins' link indexes kept where
// they are still free.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct ElementRecord;
struct SheetRecord;
struct SymbolEditorRecord;
struct SymbolClip;
struct VXRgn;

// The clip's flag bits.
constexpr uint16_t kSymClipCut = 0x01, kSymClipFromEditor = 0x02, kSymClipPasted = 0x04;
constexpr uint16_t kSymClipSource = 111;
// A paste is moved at least this far from the copied place.
constexpr int32_t kPasteOffsetMinimum = 36;

// The clip of the run (none until the first copy).
extern SymbolClip* gSymbolClip;
// Flags, clip id, reference point and whether the clip holds items (for callers and tests).
uint16_t SymbolClipFlags();
uint32_t SymbolClipId();
Point SymbolClipReference();
bool SymbolClipHoldsItems();
// Where the next paste goes: the clip's reference point and the paste-at-position flag (a click
// with the select tool sets them).
void SetSymbolClipPastePoint(Point point);
// Empties the clip (and frees it with release).
void KillSymbolEditorClip(bool release);

// For the clip's picture on the system clipboard: adds the bounds of the clip's elements, text
// frames (grown by 2) and shown texts to `bounds` (empty rectangles add nothing); draws them into
// the current window in the order of a sheet's drawing: elements back to front, frames, texts.
// Pins show port markers only as the general flags ask. Nothing without a clip.
void MeasureSymbolClip(Rect* bounds);
void DrawSymbolClip();

// A clip copied from a sheet: what the symbol editor's paste takes of the sheet clipboard.
constexpr uint16_t kSheetClipSource = 101;
struct SheetClipInfo {
    uint32_t clipId;
    Rect bounds;      // of the copied objects, relative to the reference point
    Point reference;  // where the next paste puts the reference point
    uint16_t resolution;
    bool cut;     // made by Cut
    bool pasted;  // pasted at least once
};
// Makes the clip the drawing of the sheet clip's content (copied objects relative to the reference
// point): each symbol's drawing at its place with its pins (a component's pins numbered and named
// as the component gives them, their pin texts with them), a sheet symbol as its box with an
// outline and a pin per port, the graphic elements, texts and frames, and the wires and bus lines
// as lines and polygons of width 1 and 2.
void ConvertSheetClipToSymbolClip(SheetRecord* content, const SheetClipInfo& info);
// True when the clip is that sheet clip, converted already.
bool SymbolClipIsFromSheetClip(uint32_t clipId);

// The paste offset step of a grid: the smallest multiple of it that is kPasteOffsetMinimum or
// more (a grid below 1 counts as 1).
int32_t CalcPasteOffsetStep(int32_t grid);

// The reference point of the selection (see above), as minus the point.
void CalcEditorSelectionReferencePoint(SymbolEditorRecord* editor, Point* offset);

// Removes the selection as one action of the undo kind; pins (and their texts) go only with
// `withPins` or in the primary view of a component.
void DeleteSymbolEditorSelection(SymbolEditorRecord* editor, bool withPins, uint16_t undoKind);
// Copies the selection into the private clip. An item that cannot be copied fails the copy: the
// clip is left empty and the status says why (-108).
OSStatus CopySymbolEditorSelection(SymbolEditorRecord* editor);
// Copies the selection, then removes it as one undoable Cut; a failed copy removes nothing and
// is returned.
OSStatus CutSymbolEditorSelection(SymbolEditorRecord* editor);
void PasteIntoSymbolEditor(SymbolEditorRecord* editor, uint16_t undoKind);
// Copies and pastes the selection, leaving the clip as it was.
void DuplicateSymbolEditorSelection(SymbolEditorRecord* editor);
// Inverts the clip's cut flag when the clip has that id (undo and redo of a cut).
void ToggleCutClipFlag(uint32_t clipId);

// Gives the pasted or new pins numbers that no other pin has: in every section that uses the current symbol (the current one skipped when
// asked) and every pin set of the editor, a number that is empty or taken becomes the next free
// one. Number texts of the current section and set follow; their areas join `bounds`.
void SetUniquePinNumbers(SymbolEditorRecord* editor, const std::vector<ElementRecord*>& pins, VXRgn* region,
                         bool skipCurrent, Rect* bounds);

}  // namespace plexa
