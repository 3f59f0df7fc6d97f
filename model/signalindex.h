// The index of a signal list, so that the questions the sheet editor asks of a sheet's nets cost
// what the nets concerned cost, not what the whole sheet costs: which signals hold a pin of a
// symbol (by serial number), where a signal stands in its list (the predecessor, to unlink it),
// and which generated name numbers are in use. (Which signals lie near a point the sheet's item
// index answers.)
//
// An index hangs on the owner word of a list made by CreateSignalList; it is made on the first
// question and freed with the list. It never trusts itself: it is rebuilt from the list whenever
// the list's version shows a change that did not come through SignalListPush or SignalListRemove,
// predecessor hints are checked before use, and every candidate is tested against the signal as
// it is. Changes to a member's pin entries and name reach the index through
// NoteSignalChange, which the signal module calls wherever it changes them.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/stringblock.h"

namespace plexa {

struct LinkListHeader;
struct SignalRecord;
using SignalHandle = SignalRecord**;

constexpr uint32_t kSignalChangedPins = 0x2;
constexpr uint32_t kSignalChangedName = 0x4;

// Tells the index of the list that holds the signal (if any) what changed.
void NoteSignalChange(SignalHandle signal, uint32_t what);
// The signal is being freed: no index may keep it.
void ForgetSignal(SignalHandle signal);
void DestroySignalIndex(LinkListHeader* list);

// Pushes the signal at the head of the list / unlinks it (without freeing), keeping the list's
// index in step. Unlinking returns false when the signal is not in the list.
void SignalListPush(LinkListHeader* list, SignalHandle signal);
bool SignalListRemove(LinkListHeader* list, SignalHandle signal);

// The signals that may hold a pin entry of the symbol serial number; false without an index.
bool SignalsWithSerial(LinkListHeader* list, uint32_t serial, std::vector<SignalHandle>* out);
// The lowest number from 1 up that no name of the list (prefix, then a number: IsPrefixedString
// ignoring case) and no entry of alsoUsed uses; -1 when the list has no index.
int32_t LowestUnusedNameNumber(LinkListHeader* list, StringBlock block, const char* prefix,
                               const std::vector<int32_t>& alsoUsed);

// Test support: whether the list's index (when it has one and is in step with the list) holds
// exactly what a fresh one would; whether it is in step (no rebuild due).
bool CheckSignalIndex(LinkListHeader* list);
bool SignalIndexInStep(LinkListHeader* list);

}  // namespace plexa
