// The pin information dialog: one pin's number, name and type, whether its number and name texts
// are shown, and its attributes. It edits a pin element of the symbol editor, or a pin of a
// component symbol placed on a sheet (whose number is shown but not edited, and whose changed pin
// data gives the symbol a component of its own).
#pragma once

#include <cstdint>

#include "foundation/types.h"
#include "model/pindata.h"

namespace plexa {

struct ElementRecord;
struct SheetRecord;
struct SymbolEditorRecord;
struct SymbolRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kPinInfoTemplate = 1057;
// Items: 3 the number, 4 show it, 5 the name, 6 show it, 7 the type, 8 the attributes' place.
constexpr int16_t kPinInfoNumber = 3, kPinInfoShowNumber = 4, kPinInfoName = 5, kPinInfoShowName = 6,
                  kPinInfoType = 7, kPinInfoAttributes = 8;
constexpr const char* kPinInfoTitleSuffix = " - Pin information";
// The types a bus pin may take: the first four.
constexpr int32_t kBusPinTypeCount = 4;

// The symbol editor's pin; `text` the pin text clicked to open it (or none); a new pin's check
// boxes start from, and are kept as, the editor's defaults for new pins. Whether OK was pressed.
bool EditSymbolEditorPinInfo(SymbolEditorRecord* editor, ElementRecord* pin, TextRecord* text, int32_t newPin);
// A pin of a component symbol placed on the sheet.
void EditCompSymbolPinInfo(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin, TextRecord* text);

int32_t PinInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

}  // namespace plexa
