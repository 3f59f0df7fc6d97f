// Functions of the sheet editor that other parts of it provide, declared here with their final
// signatures until those parts arrive; pending.cpp gives each the least body.
#pragma once

#include <cstdint>

#include "model/signals.h"

namespace plexa {

struct SheetRecord;

// 1 for the bus tool, or the library part tool with a bus symbol.
int32_t IsBussLineMode(SheetRecord* sheet);
// 1 for the wire tool, or the library part tool with a signal wire symbol.
int32_t IsSignalWireMode(SheetRecord* sheet);
// Makes the tool current.
void SetDrawingTool(SheetRecord* sheet, int32_t tool);
// The signal information dialog; nonzero when accepted.
int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, void* validationProc);
// Chooses a member name of the buss (256-byte buffer, in and out); nonzero when accepted.
int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name);

}  // namespace plexa
