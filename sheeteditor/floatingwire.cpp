// Connecting a flashing wire's free end; see floatingwire.h.
#include "sheeteditor/floatingwire.h"

#include "foundation/geometry.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/signaljoin.h"
#include "sheeteditor/wirestate.h"
#include "sheeteditor/wiretracking.h"

namespace plexa {

void ConnectFloatingWire(SheetRecord* sheet) {
    if (!sheet) return;
    WireInProgress& w = WireStateOf(sheet);
    if (w.wire || !CanConnectFloatingWire(sheet, true)) return;
    RecordMouseClickTrackingState(sheet);
    const TrackTerminal t = w.atClick.terminal;
    // Choosing the select tool stops the flashing: the wire and its signal are taken first.
    WireHandle wire = sheet->flashingWire;
    SignalHandle signal = sheet->flashingSignal;
    SetDrawingTool(sheet, kSelectTool);
    // The free end joined and the wire made are one action; the signal is taken as it is before
    // its end changes.
    ClearSheetUndoAction(sheet);
    StartSheetUndoCollection(sheet, kUndoActionWireChange);
    CollectUndoSwapSheetItem(sheet, kUndoItemSignal, signal);
    const int32_t end = GetFloatingWireEnd(wire, 0, nullptr);
    Point at{};
    GetWireCorner(wire, end ? -1 : 0, &at);
    if (end) (*wire)->end1 = kWireEndJunction;
    else (*wire)->end0 = kWireEndJunction;
    TrackTerminal start;
    start.kind = kTermSignalWire;
    start.point = at;
    start.object = signal;
    start.wire = wire;
    start.segment = int16_t(end ? CountWireSegments(wire) - 1 : 0);
    WireHandle link = CreateWire(nullptr);
    if (!link) {
        AcceptSheetUndoCollection(sheet);
        return;
    }
    if (!InsertWireCorner(link, at, -1) || !InsertWireCorner(link, t.point, -1)) {
        DestroyWire(link);
        AcceptSheetUndoCollection(sheet);
        return;
    }
    (*link)->end0 = kWireEndJunction;
    if (t.kind == kTermSignalWire) {
        (*link)->end1 = kWireEndJunction;
        if (t.junction) InvalJunctionDot(sheet, t.point);
    }
    CalcWireBounds(link);
    w.start = start;
    w.wire = link;
    PlayConnectSound();
    if (!FinishSignalCreation(sheet, &t) && w.wire) {
        DestroyWire(w.wire);
        w.wire = nullptr;
    }
    AcceptSheetUndoCollection(sheet);
}

}  // namespace plexa
