#include "sheeteditor/pending.h"

#include "model/sheet.h"

namespace plexa {

// The tool bars' mode tests: the bus and wire tools themselves; the library part tool's wire
// symbols come with the tools.
int32_t IsBussLineMode(SheetRecord* sheet) { return sheet && sheet->selectedTool == 2027 ? 1 : 0; }
int32_t IsSignalWireMode(SheetRecord* sheet) { return sheet && sheet->selectedTool == 2024 ? 1 : 0; }

// Will make the tool current with its palette button and cursor; until then the sheet takes it.
void SetDrawingTool(SheetRecord* sheet, int32_t tool) {
    if (sheet) sheet->selectedTool = uint16_t(tool);
}

// Will show the signal's name for editing; until then the name is accepted as offered.
int32_t SignalInfoDialog(SheetRecord*, SignalHandle, char*, uint8_t*, uint8_t*, int32_t, void*) {
    return 1;
}

// Will let the person choose a member name of the buss; until then nothing is chosen.
int32_t ChooseBusMemberNameDialog(SheetRecord*, BussHandle, char*) { return 0; }

}  // namespace plexa
