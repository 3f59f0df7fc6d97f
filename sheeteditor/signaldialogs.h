// The dialogs that name nets on a sheet: the signal dialog, the port name dialog, the buss dialog
// and the buss terminal dialog. Each returns whether it was confirmed; the callers apply the
// answers (sheeteditor/signalinfo.h).
#pragma once

#include <cstdint>

#include "model/signals.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;

// Whether a name may be given to the net (signal or buss handle); 0 keeps the dialog open.
using NetNameValidationProc = int32_t (*)(SheetRecord* sheet, void* net, const char* name);

// Limits of the names typed, in bytes (cut on a UTF-8 character boundary while typing).
constexpr int32_t kSignalNameLimit = 17;
constexpr int32_t kBussNameLimit = 31;

constexpr uint16_t kSignalInfoTemplate = 1030, kPortNameTemplate = 1031, kBusInfoTemplate = 1004,
                   kBusTerminalTemplate = 1014, kChooseBusMemberTemplate = 1013;

// The signal dialog over the name (in and out, 256 bytes) and the two options (in and out, or
// none); with a validation the signal's attributes take the edited list on OK.
int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, NetNameValidationProc validation);

// What the port name dialog answers; all cleared when cancelled.
struct PortNameResult {
    char netName[256];
    char displayName[256];
    bool sameAsNet;
    uint16_t portType;  // 0 Unspecified, 1 Input, 2 Output, 3 Bidirectional
    bool labelShown;
};
// The net is the buss for a buss port or buss net symbol, else the signal.
int32_t PortNameDialog(SheetRecord* sheet, SymbolRecord* symbol, void* net, NetNameValidationProc validation,
                       uint8_t* option, PortNameResult* result);

// The buss dialog over the name (in and out, 256 bytes) and the option (in and out, or none).
int32_t BusInfoDialog(SheetRecord* sheet, BussHandle buss, char* name, int32_t* option, bool showItem2);
// The buss terminal dialog: on OK the names are stored in the buss; the flag (in and out).
int32_t BusTerminalDialog(SheetRecord* sheet, BussHandle buss, int32_t terminal, uint8_t* flag);

// The member name given to a wire that ends on the buss (256 bytes, in and out; emptied when
// cancelled). On OK the name starts the sheet's break-out naming sequence, with the buss when the
// sequence is to continue.
int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name);

// The text of an item cut to the limit on a character boundary and trimmed of blanks.
void ReadTrimmedItem(struct VXWindowRecordTag* window, int16_t item, char* out, int32_t limit);

}  // namespace plexa
