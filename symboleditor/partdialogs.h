// The symbol editor's small dialogs over symbol definitions: the net symbol and port dialogs
// (the flags and placement options of a wire symbol or port), the part symbol dialog (name,
// sub-sheet and flags of one definition of a component), the new part or slot dialog and the
// slot designator dialog of the parts tree.
//
// Designators and symbol names typed into these dialogs must be new to the item (ignoring case):
// OK stays disabled while the text is empty or names a slot or symbol that exists already.
#pragma once

#include <cstdint>

namespace plexa {

struct SymbolEditorRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

// Templates.
constexpr uint16_t kNewPartSlotTemplate = 1024, kNetSymbolInfoTemplate = 1029, kPartNameTemplate = 1033,
                   kPartSymbolTemplate = 1035, kPortInfoTemplate = 1055;
// Items of the net symbol dialog: 3 to 5 check boxes, 7 and 8 the net choice.
constexpr int16_t kNetSymbolBox1 = 3, kNetSymbolBox2 = 4, kNetSymbolBox3 = 5, kNetSymbolGlobal = 7,
                  kNetSymbolLocal = 8;
// Items of the port dialog: 3 and 4 check boxes, 6 the port type.
constexpr int16_t kPortBox1 = 3, kPortBox2 = 4, kPortTypeList = 6;
// Items of the part symbol dialog.
constexpr int16_t kPartSymbolName = 3, kPartSymbolSheet = 4, kPartSymbolSelect = 5, kPartSymbolBox1000 = 6,
                  kPartSymbolBox2000 = 7, kPartSymbolChoiceNone = 8, kPartSymbolChoice20000 = 9,
                  kPartSymbolChoice10000 = 10, kPartSymbolOption1 = 11, kPartSymbolOption2 = 12,
                  kPartSymbolBox80 = 13;
// Items of the new part or slot dialog.
constexpr int16_t kNewPartMode = 3, kNewPartText = 4, kNewPartLabel = 5, kNewPartSymbols = 6,
                  kNewPartSymbolLabel = 7, kNewPartBasedOn = 8, kNewPartEmpty = 9;
// Items of the slot designator dialog.
constexpr int16_t kPartNameText = 3, kPartNameLabel = 4;

// Lengths typed texts are cut to.
constexpr int32_t kPartSymbolNameLength = 12;
constexpr int32_t kSlotDesignatorLength = 13;

constexpr const char* kSelectSheetPrompt = "Select Sheet File";
constexpr const char* kSelectSheetButton = "Select";

// Symbol definition flags and placement options the dialogs edit.
constexpr uint32_t kSymDefFlagLocal = 0x100;
constexpr uint32_t kSymDefPortTypeMask = 0x30;
constexpr int32_t kSymDefPortTypeShift = 4;

// 1 when ended with OK (the values are then written back), else 0.
int32_t NetSymbolInfoDialog(uint32_t* flags, uint8_t* options);
int32_t PortInfoDialog(uint32_t* flags, uint8_t* options);
// Edits definition `symbol` of the editor's item; 1 on OK.
int32_t PartSymbolDialog(SymbolEditorRecord* editor, int32_t symbol);
// Adds a slot or a symbol definition to the editor's item as the user chooses.
void NewPartSlotDialog(SymbolEditorRecord* editor);
// The dialog of a parts-tree node: a section's designator (node < 0: section -node - 1) or a
// definition's part symbol dialog (node >= 0: that definition). `tree` is redrawn at `row` on OK.
void PartNameDialog(SymbolEditorRecord* editor, VXWindowRecordTag* tree, int32_t row, int32_t node);

int32_t NetSymbolInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t PortInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t PartSymbolDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t NewPartSlotDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);
int32_t PartNameDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

}  // namespace plexa
