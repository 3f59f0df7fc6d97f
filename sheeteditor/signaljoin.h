// Finishing a signal wire: which signal the new wire belongs to (the one at its start, the one at
// its end, the two combined with the person choosing whose name survives when both carry chosen
// names, or a new one named by a net symbol, the bus's break-out sequence, the person or the
// sheet's automatic naming), attaching its ends to pins and break-outs and merging it into the
// signal's wires.
#pragma once

#include <cstdint>

#include "model/signals.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct TrackTerminal;
struct VXEventRecord;
struct VXWindowRecordTag;

// The combine question's dialog: 1 the message, 2 refuse, 3 and 4 the two names.
constexpr uint16_t kCombineDialogTemplate = 1044;

// 1 when the wire was finished (or there was nothing to finish), 0 when a question was refused:
// nothing has changed then, and the caller puts the wire back as it was before the click.
int32_t FinishSignalCreation(SheetRecord* sheet, const TrackTerminal* endTerminal);
// 0 refuse, 1 the first signal survives, 2 the second.
int32_t AskCombinedSurvivor(SheetRecord* sheet, SignalHandle first, SignalHandle second);
int32_t CombineDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event);
// Nonzero when the signal may take the name; with apply and a signal, a yes renames it too.
int32_t AskChangeAttachedSignalName(SheetRecord* sheet, SignalHandle signal, const char* newName,
                                    bool apply);
void ChangeAttachedSignalName(SheetRecord* sheet, SignalHandle signal, const char* newName);
// False when the person cancelled the name dialog.
bool GetNewSignalName(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* showFlag);
bool RetrievePinName(SheetRecord* sheet, const SymbolRecord* symbol, uint16_t node, char* name);
void AddConnectionScope(SheetRecord* sheet, SignalHandle signal, uint16_t scopeBit);
// The name a wire symbol being placed gives its signal (kSignalNameSize bytes); false when empty.
bool GetCachedNetSymbolSignalName(SheetRecord* sheet, char* name);

}  // namespace plexa
