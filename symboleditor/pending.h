// Functions of the symbol editor that later work provides: the window calls them now and they do
// the least until then.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"

namespace plexa {

struct ElementRecord;
struct LibSection;
struct SymbolEditorRecord;
struct TextRecord;
struct VXEventRecord;
struct VXListViewHookRecord;
struct VXWindowRecordTag;

// ---- Tools, tabs, dialogs ----
// The list tabs: the content pane's handler and row hook while a list is shown; writing a list's
// pending edits into the item (false when they are invalid); the Pins tab's rows (their count);
// the list's preparation after its rows are in; the hidden pins' attributes.
int32_t EditListViewHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t EditListsFunnelHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record);
bool FlushSymbolEditorList(SymbolEditorRecord* editor, bool listFlag);
int32_t BuildPinListEditArray(SymbolEditorRecord* editor);
void PrepareSymbolEditorList(SymbolEditorRecord* editor);
void EditHiddenPinAttributes(SymbolEditorRecord* editor);
// The part dialogs: a new part (section) and a definition's or section's name.
void NewPartSlotDialog(SymbolEditorRecord* editor);
void PartNameDialog(SymbolEditorRecord* editor, LibSection* section);
// The pin dialog; whether it changed the pin.
bool EditSymbolEditorPinInfo(SymbolEditorRecord* editor, ElementRecord* pin, TextRecord* text, int32_t item);
// The net symbol, port and part symbol dialogs; whether they changed something.
bool NetSymbolInfoDialog(SymbolEditorRecord* editor);
bool PortInfoDialog(SymbolEditorRecord* editor);
bool PartSymbolDialog(SymbolEditorRecord* editor, int32_t symbol);

}  // namespace plexa
