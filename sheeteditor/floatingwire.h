// The command that connects the free end of the sheet's flashing wire to what lies under it. It
// chooses the select tool first (which stops the flashing), so it sits above the drawing tools;
// whether there is such a terminal is CanConnectFloatingWire (sheeteditor/wiretracking.h).
#pragma once

namespace plexa {

struct SheetRecord;

void ConnectFloatingWire(SheetRecord* sheet);

}  // namespace plexa
