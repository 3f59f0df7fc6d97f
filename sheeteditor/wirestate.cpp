#include "sheeteditor/wirestate.h"

#include "foundation/ll.h"
#include "model/busses.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/signals.h"

namespace plexa {

namespace {

WireTrackingHooks gHooks;

}  // namespace

void SetWireTrackingHooks(const WireTrackingHooks& hooks) { gHooks = hooks; }
const WireTrackingHooks& GetWireTrackingHooks() { return gHooks; }

bool IsInSheetList(LinkListHeader* list, const void* item) {
    for (void* link = LLFirst(list); link; link = LLGetNext(list, link))
        if (link == item) return true;
    return false;
}

bool IsWireInList(WireList list, WireHandle wire, int16_t segment) {
    if (!IsInSheetList(list, wire)) return false;
    return segment < 0 || segment < CountWireSegments(wire);
}

bool IsTrackTerminalOnSheet(SheetRecord* sheet, const TrackTerminal& t) {
    if (!sheet) return false;
    switch (t.kind) {
        case kTermNone:
            return true;
        case kTermSignalPin:
        case kTermBussPin:
            return SheetListHolds(sheet, SheetItemKind::kSymbol, t.object);
        case kTermSignalWire:
            return SheetListHolds(sheet, SheetItemKind::kSignal, t.object) &&
                   IsWireInList((*static_cast<SignalHandle>(t.object))->wires, t.wire, t.segment);
        case kTermBussWire:
        case kTermBreakOut:
            return SheetListHolds(sheet, SheetItemKind::kBuss, t.object) &&
                   IsWireInList((*static_cast<BussHandle>(t.object))->wires, t.wire, t.segment);
        default:
            return false;
    }
}

}  // namespace plexa
