// Drawing and deleting signal wires as the sheet editor does it, for the tests and benchmarks of
// wires and signals: a new wire joins the signal found at its start and at its end (combining two
// signals when both ends find one), attaches its ends to pins, and is integrated into the
// signal's wire list and cleaned up; deleting a wire repairs cut ends and regroups its signal.
// Pins are placed by point, since the model keeps no node positions of symbols yet.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/wireintegrate.h"
#include "model/wires.h"

namespace plexa::test {

struct PinRef {
    SymbolRecord* symbol = nullptr;
    uint16_t node = 0;
};

inline uint32_t PointKey(Point p) { return (uint32_t(uint16_t(p.v)) << 16) | uint16_t(p.h); }

class WireDriver {
public:
    explicit WireDriver(SheetRecord* sheet) : sheet_(sheet) {}

    // A placed symbol appended to the sheet's symbol list.
    SymbolRecord* AddSymbol(uint32_t serial, uint32_t flags = 0) {
        auto* symbol = static_cast<SymbolRecord*>(LLInsert(sheet_->symbolList, lastSymbol_, nullptr));
        lastSymbol_ = symbol;
        symbol->serial = serial;
        symbol->flags = flags;
        symbol->secondMapId = -1;
        return symbol;
    }
    void AddPin(Point at, SymbolRecord* symbol, uint16_t node) { pins_[PointKey(at)] = {symbol, node}; }
    const PinRef* PinAt(Point at) const {
        auto found = pins_.find(PointKey(at));
        return found == pins_.end() ? nullptr : &found->second;
    }

    // Draws a signal wire through the corners; returns the signal it joined.
    SignalHandle Draw(const std::vector<Point>& corners) {
        const Terminal start = Find(corners.front());
        const Terminal end = Find(corners.back());
        SignalHandle signal = nullptr;
        if (end.signal) {
            if (start.signal && start.signal != end.signal) {
                CombineSignals(sheet_, end.signal, start.signal);
                signal = start.signal;
            } else {
                signal = end.signal;
            }
        } else if (start.signal) {
            signal = start.signal;
        } else {
            signal = CreateSignal(sheet_->signalList);
            if (nameNewSignals) {
                char name[kSignalNameSize];
                GetUniqueSignalName(sheet_, nullptr, name, sizeof name);
                SetSignalName(signal, sheet_->stringBlock, name);
            }
        }
        // The new wire belongs to the signal it joins.
        const SheetNetScope scope(signal);
        WireHandle wire = CreateWire(nullptr);
        for (Point p : corners) (void)InsertWireCorner(wire, p, -1);  // fails only out of memory
        if (start.pin) (*wire)->end0 = uint16_t(AddPinToSignal(signal, start.pin->symbol, start.pin->node));
        if (end.pin) (*wire)->end1 = uint16_t(AddPinToSignal(signal, end.pin->symbol, end.pin->node));
        Rect area;
        VXSetEmptyRect(&area);
        RemoveExtraWireCorners(wire, &area);
        CalcWireBounds(wire);
        IntegrateWire(wire, (*signal)->wires, kIntegrateRecalcBounds, sheet_, &area);
        CleanupSignalWires(signal, nullptr);
        return signal;
    }

    // Deletes one wire of a signal as deleting a selected wire does.
    void Delete(SignalHandle signal, WireHandle wire) {
        RemoveWireFromSignal(signal, wire, true);
        Rect area;
        VXSetEmptyRect(&area);
        FixSnippedSignal(sheet_, signal, &area);
        RegroupSignal(signal, sheet_->signalList, sheet_->textList, nullptr, sheet_, &area);
    }

    // A new signal takes the sheet's next generated name, as the editor names it.
    bool nameNewSignals = true;

private:
    struct Terminal {
        const PinRef* pin = nullptr;
        SignalHandle signal = nullptr;
    };
    Terminal Find(Point p) const {
        Terminal t;
        t.pin = PinAt(p);
        if (t.pin) {
            t.signal = GetConnectedSignal(sheet_->signalList, t.pin->symbol, t.pin->node, nullptr,
                                          nullptr);
            return t;
        }
        t.signal = HitTestSignalList(sheet_, p, 0, nullptr, nullptr, nullptr);
        return t;
    }

    SheetRecord* sheet_;
    void* lastSymbol_ = nullptr;  // symbols are appended after it (the list starts empty)
    std::unordered_map<uint32_t, PinRef> pins_;
};

}  // namespace plexa::test
