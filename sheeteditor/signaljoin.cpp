#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/signaljoin.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "library/itemcache.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/sheetindex.h"
#include "model/sheetsymbols.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/wireintegrate.h"
#include "platform/input_platform.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetselect.h"
#include "sheeteditor/sheetchange.h"
#include "sheeteditor/signaldialogs.h"
#include "sheeteditor/sheetundo.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/wirestate.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

// Whether the library item being placed shows its net's name when placed as a net symbol (its
// placement option to show the name).
bool ItemShowsNetName() { return gItemCache.item && (gItemCache.placementOptions & kSymbolTextShowName); }

// A wire made: content changed, the search starts again (the wire is the undoable action).
constexpr int32_t kWireMadeModified = 0x41;
constexpr uint16_t kScopeNetSymbol = 1;
constexpr uint16_t kScopeBreakOut = 4;
constexpr uint16_t kOptionKey = 58;

// The combine question's record.
struct CombineQuestion {
    char first[kSignalNameSize];
    char second[kSignalNameSize];
    uint16_t answer;
    uint8_t buss;
};

std::string NameOf(SheetRecord* sheet, SignalHandle signal) {
    char name[kSignalNameSize] = "";
    if (signal) GetSignalName(signal, sheet->stringBlock, name, sizeof name);
    return name;
}

// Copies a name into a 256-byte buffer, cut to fit.
void CopyName(char* to, const char* from) {
    const size_t n = strnlen(from, kSignalNameSize - 1);
    std::memcpy(to, from, n);
    to[n] = 0;
}

bool SameName(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

void InvalArea(SheetRecord* sheet, const Rect& area) {
    if (!VXEmptyRect(&area)) InvalSheetWindowArea(sheet, &area);
}

// The signal a wire's end joins there: the wire's own at a wire point, and at a pin the signal
// that holds the pin already, with or without a wire ending on it (a net joined by name).
SignalHandle TerminalSignal(SheetRecord* sheet, const TrackTerminal& t) {
    if (t.kind == kTermSignalWire) return static_cast<SignalHandle>(t.object);
    if (t.kind != kTermSignalPin || !t.object) return nullptr;
    return GetConnectedSignal(sheet->signalList, static_cast<SymbolRecord*>(t.object), t.node, nullptr, nullptr);
}

void FreeNewSignal(SheetRecord* sheet, SignalHandle signal) {
    RemoveSignalFromList(sheet->signalList, signal);
    DestroySignal(signal);
}

}  // namespace

int32_t CombineDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event) {
    auto* question = static_cast<CombineQuestion*>(dialog->refCon);
    if (!question) return 0;
    if (event->kind == kVXCreateEvent) {
        VXSetItemText(dialog, 3, question->first);
        VXSetItemText(dialog, 4, question->second);
        VXSetItemText(dialog, 1, question->buss ? "You are combining two Busses."
                                                : "You are combining two named Signals.");
        return 0;
    }
    if (event->kind == kVXControlEvent && event->u.control.controlType == kVXPushButton) {
        const auto item = int16_t(event->u.control.item);
        if (item >= 2 && item <= 4) {
            VXEndDialog(VXGetTopParent(dialog), item);
            return 1;
        }
    }
    if (event->kind == kVXEndModalEvent) {
        const int16_t item = event->u.endModal.item;
        question->answer = uint16_t(item >= 2 && item <= 4 ? item - 2 : 0);
    }
    return 0;
}

int32_t AskCombinedSurvivor(SheetRecord* sheet, SignalHandle first, SignalHandle second) {
    const std::string a = NameOf(sheet, first), b = NameOf(sheet, second);
    if (!a.empty() && !b.empty()) {
        const int32_t pa = IsPrefixedSignalName(sheet, nullptr, a.c_str(), nullptr);
        const int32_t pb = IsPrefixedSignalName(sheet, nullptr, b.c_str(), nullptr);
        if (pa >= 0 && pb >= 0) return pa <= pb ? 1 : 2;
        if (pa >= 0) return 2;
        if (pb >= 0) return 1;
    }
    if (b.empty()) return 1;
    if (a.empty()) return 2;
    if (SameName(a.c_str(), b.c_str())) return 1;
    CombineQuestion question{};
    CopyName(question.first, a.c_str());
    CopyName(question.second, b.c_str());
    question.answer = 0;
    (void)VXModalDialog(kCombineDialogTemplate, kVXPlaceCentre, CombineDialogHandler, &question);  // the handler keeps the answer
    return question.answer;
}

int32_t AskChangeAttachedSignalName(SheetRecord* sheet, SignalHandle signal, const char* newName, bool apply) {
    if (!sheet || !newName) return 0;
    const std::string old = NameOf(sheet, signal);
    if (SameName(old.c_str(), newName)) return 1;
    int32_t answer = 1;
    if (!old.empty() && IsPrefixedSignalName(sheet, nullptr, old.c_str(), nullptr) < 0) {
        char question[2 * kSignalNameSize + 32];
        std::snprintf(question, sizeof question, "Rename \"%s\" to \"%s\"?", old.c_str(), newName);
        answer = VXAskConfirm(question, "Rename", nullptr, 0) ? 1 : 0;
    } else {
        SignalHandle named = RetrieveNextNamedSignal(sheet->signalList, nullptr, sheet->stringBlock, newName,
                                                     kScopeNetSymbol);
        if (named && !((*named)->flags & kScopeNetSymbol))
            answer = VXAskConfirm("The symbol name conflicts with an existing signal.  Connect anyway?",
                                  "Connect", nullptr, 0)
                         ? 1
                         : 0;
    }
    if (answer && apply && signal) ChangeAttachedSignalName(sheet, signal, newName);
    return answer;
}

void ChangeAttachedSignalName(SheetRecord* sheet, SignalHandle signal, const char* newName) {
    if (!sheet || !signal || !newName) return;
    if (SameName(NameOf(sheet, signal).c_str(), newName) || !SheetTextsFit(sheet, {newName})) return;
    SetSignalName(signal, sheet->stringBlock, newName);
    if (!FirstWire((*signal)->wires) && !(*signal)->pinCount) return;
    Rect area;
    VXSetEmptyRect(&area);
    UpdateSignalNames(sheet, signal, &area);
    InvalArea(sheet, area);
}

bool GetNewSignalName(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* showFlag) {
    GetUniqueSignalName(sheet, nullptr, name, kSignalNameSize);
    char symbolName[kSignalNameSize];
    bool wanted = GetWireTrackingHooks().askNewSignalName && GetWireTrackingHooks().askNewSignalName();
    if (sheet->selectedTool == kDrawToolLibraryPart && gItemCache.item) {
        wanted = wanted || (gItemCache.symbolFlags & 8);
        if (GetCachedNetSymbolSignalName(sheet, symbolName)) CopyName(name, symbolName);
    }
    return !wanted || SignalInfoDialog(sheet, signal, name, showFlag, nullptr, 1, nullptr) != 0;
}

bool RetrievePinName(SheetRecord* sheet, const SymbolRecord* symbol, uint16_t node, char* name) {
    *name = 0;
    if (!sheet || !symbol) return false;
    if (symbol->flags & kSymbolFlagSheet) {
        GetSheetSymbolPortName(symbol, node, sheet->stringBlock, name, kSignalNameSize);
    } else if (symbol->component) {
        const uint32_t id = GetCompSymbolPinDataId(symbol->component, GetSymbolsPinSet(symbol), symbol->kind.comp.symbol, node);
        if (Handle record = GetIndexedPinData(sheet->pinDataTable, int32_t(id))) {
            char pin[kStringSpecBufferSize] = "";
            GetPinDataName(record, sheet->stringBlock, pin);
            CopyName(name, pin);
        }
    }
    return *name != 0;
}

void AddConnectionScope(SheetRecord* sheet, SignalHandle signal, uint16_t scopeBit) {
    if (!sheet || !signal || ((*signal)->flags & scopeBit)) return;
    const std::string name = NameOf(sheet, signal);
    if (name.empty()) return;
    bool again = true;
    while (again) {
        again = false;
        for (auto other = static_cast<SignalHandle>(LLFirst(sheet->signalList)); other;
             other = static_cast<SignalHandle>(LLGetNext(sheet->signalList, other))) {
            if (other == signal || !((*other)->flags & scopeBit)) continue;
            if (!SameName(NameOf(sheet, other).c_str(), name.c_str())) continue;
            CollectUndoCombinedNet(sheet, kUndoItemSignal, other);
            CombineSignals(sheet, other, signal);
            again = true;
            break;
        }
    }
}

bool GetCachedNetSymbolSignalName(SheetRecord* sheet, char* name) {
    *name = 0;
    if (!sheet || sheet->selectedTool != kDrawToolLibraryPart) return false;
    if (!gItemCache.item || gItemCache.item->head.kind != kLibItemWireSymbol) return false;
    char cached[kStringSpecBufferSize] = "";
    GetCachedLibraryItemName(cached);
    TrimSpacesC(cached);
    if (gItemCache.symbolFlags & 4) *cached = 0;
    CopyName(name, cached);
    return *name != 0;
}

int32_t FinishSignalCreation(SheetRecord* sheet, const TrackTerminal* endTerminal) {
    if (!sheet) return 1;
    WireInProgress& w = WireStateOf(sheet);
    WireHandle wire = w.wire;
    if (!wire || ((*wire)->flags & kWireFlagBuss)) return 1;
    TrackTerminal start = w.start;
    if (!IsTrackTerminalOnSheet(sheet, start)) start = TrackTerminal{};
    TrackTerminal end = endTerminal ? *endTerminal : TrackTerminal{};
    if (!IsTrackTerminalOnSheet(sheet, end)) end = TrackTerminal{};
    Rect area;
    VXSetEmptyRect(&area);
    if (CountWireSegments(wire) == 0) {
        // Only the wire goes: a net symbol placed for its start is a part the person placed, and
        // stays.
        DestroyWire(wire);
        if (start.kind == kTermSignalWire && start.junction) {
            const Rect dot{int16_t(start.point.v - 4), int16_t(start.point.h - 4), int16_t(start.point.v + 5),
                           int16_t(start.point.h + 5)};
            InvalArea(sheet, dot);
        }
    } else {
        char symbolName[kSignalNameSize];
        GetCachedNetSymbolSignalName(sheet, symbolName);
        SignalHandle startSignal = TerminalSignal(sheet, start);
        SignalHandle signal = nullptr;
        uint8_t show = 0;
        bool placedShow = false;  // show is the one the name dialog used
        // The wire is the undoable action (with a net symbol placed for its end, when the click
        // that ends it collects already). It is collected once every question is answered, each
        // net record as it is before it changes: a net joined keeps its record (a copy of it goes
        // back on undo), a net combined into another goes (a copy of it comes back), a new net
        // comes and goes.
        const bool own = !IsCollectingSheetUndo(sheet);
        SheetLabelStrings labels;
        const auto begin = [&]() {
            if (own) {
                ClearSheetUndoAction(sheet);
                StartSheetUndoCollection(sheet, kUndoActionWireChange);
            }
            labels = TakeSheetLabelStrings(sheet);
        };
        if (SignalHandle endSignal = TerminalSignal(sheet, end)) {
            if (startSignal == endSignal) {
                begin();
                CollectUndoSwapSheetItem(sheet, kUndoItemSignal, endSignal);
                signal = endSignal;
            } else if (startSignal) {
                const int32_t survivor = AskCombinedSurvivor(sheet, startSignal, endSignal);
                if (survivor != 1 && survivor != 2) return 0;
                signal = survivor == 1 ? startSignal : endSignal;
                SignalHandle other = survivor == 1 ? endSignal : startSignal;
                begin();
                CollectUndoSwapSheetItem(sheet, kUndoItemSignal, signal);
                CollectUndoCombinedNet(sheet, kUndoItemSignal, other);
                CombineSignals(sheet, other, signal);
            } else {
                if (*symbolName && !AskChangeAttachedSignalName(sheet, endSignal, symbolName, false)) return 0;
                begin();
                CollectUndoSwapSheetItem(sheet, kUndoItemSignal, endSignal);
                if (*symbolName) ChangeAttachedSignalName(sheet, endSignal, symbolName);
                signal = endSignal;
            }
        } else if (startSignal) {
            begin();
            CollectUndoSwapSheetItem(sheet, kUndoItemSignal, startSignal);
            signal = startSignal;
            if (*symbolName) ChangeAttachedSignalName(sheet, signal, symbolName);
        } else {
            signal = CreateSignal(sheet->signalList);
            if (!signal) return 0;
            char name[kSignalNameSize] = "";
            if (*symbolName) {
                if (start.kind == kTermSignalPin && !start.netSymbol) {
                    SetSignalName(signal, sheet->stringBlock, symbolName);
                } else if (!AskChangeAttachedSignalName(sheet, signal, symbolName, true)) {
                    FreeNewSignal(sheet, signal);
                    return 0;
                }
            } else if (end.kind == kTermBreakOut) {
                auto* buss = static_cast<BussHandle>(end.object);
                if (PlatformIsKeyDown(kOptionKey)) ClearBreakoutSequence(sheet);
                if (!AdvanceBreakoutSequenceName(sheet, buss, name, sizeof name)) {
                    if (start.kind == kTermSignalPin)
                        RetrievePinName(sheet, static_cast<SymbolRecord*>(start.object), start.node, name);
                    else
                        *name = 0;
                    if (!ChooseBusMemberNameDialog(sheet, buss, name)) {
                        FreeNewSignal(sheet, signal);
                        return 0;
                    }
                }
                SetSignalName(signal, sheet->stringBlock, name);
            } else {
                // With the place tool the item's own choice starts the dialog's show choice.
                placedShow = sheet->selectedTool == kDrawToolLibraryPart;
                show = uint8_t(placedShow && ItemShowsNetName());
                if (!GetNewSignalName(sheet, signal, name, &show)) {
                    FreeNewSignal(sheet, signal);
                    return 0;
                }
                SetSignalName(signal, sheet->stringBlock, name);
            }
            begin();
            CollectUndoSheetItemExistance(sheet, kUndoItemSignal, signal, 1);
        }
        // From here every wire changed is the new one or one of the signal's (a net combined into
        // it reports itself), so the sheets' indexes learn of them by the signal.
        const SheetNetScope scope(signal);
        // The ends; a net symbol placed for either end shows the signal's name.
        SymbolRecord* netSymbol = nullptr;
        if (start.kind == kTermSignalPin) {
            const int32_t index = AddPinToSignal(signal, static_cast<SymbolRecord*>(start.object), start.node);
            if (index >= 0) (*wire)->end0 = uint16_t(index);
            if (start.netSymbol) {
                netSymbol = static_cast<SymbolRecord*>(start.object);
                AddConnectionScope(sheet, signal, kScopeNetSymbol);
            }
        }
        if (end.kind == kTermBreakOut) {
            // The diagonal stub is drawn from the break-out row from now on.
            Point entry, elbow;
            GetWireCorner(wire, -1, &entry);
            RemoveWireCorners(wire, (*wire)->cornerCount - 1, 1);
            GetWireCorner(wire, -1, &elbow);
            CollectUndoAltBOTable(sheet);
            const int32_t row = AddBussBreakout(sheet->breakOutTable, static_cast<BussHandle>(end.object), entry, elbow);
            if (row >= 0) (*wire)->end1 = uint16_t(kWireEndBreakOut | row);
            AddConnectionScope(sheet, signal, kScopeBreakOut);
            CalcWireBounds(wire);
            if (CountWireSegments(wire) > 0) {
                if (TextRecord* label = CreateSignalWireLabel(sheet, signal, wire, CountWireSegments(wire) - 1, false)) {
                    AddToUpdateRect(&area, label->bounds);
                    CollectUndoSheetItemExistance(sheet, kUndoItemText, label, 1);
                }
            }
        } else if (end.kind == kTermSignalPin) {
            const int32_t index = AddPinToSignal(signal, static_cast<SymbolRecord*>(end.object), end.node);
            if (index >= 0) (*wire)->end1 = uint16_t(index);
            if (end.netSymbol) {
                netSymbol = static_cast<SymbolRecord*>(end.object);
                AddConnectionScope(sheet, signal, kScopeNetSymbol);
            }
        }
        // Into the signal's wires.
        RemoveExtraWireCorners(wire, &area);
        CalcWireBounds(wire);
        AddToUpdateRect(&area, (*wire)->bounds);
        IntegrateWire(wire, (*signal)->wires, kIntegrateRecalcBounds, sheet, &area);
        CleanupSignalWires(signal, nullptr);
        CalcSignalScopeFlags(signal);
        CalcSignalBounds(signal);
        if (netSymbol) {
            if (!placedShow) show = uint8_t(ItemShowsNetName() || PlatformIsKeyDown(kPlatformKeyShift));
            if (show) {
                TextRecord* shown = RetrieveSymbolText(sheet, netSymbol, kTextKindNetSymbol);
                if (shown && (shown->flags & kTextFlagHidden)) CollectUndoHideSheetText(sheet, shown);
                TextRecord* made = nullptr;
                (void)SetSymbolTextVisible(sheet, netSymbol, nullptr, kTextKindNetSymbol, true, &area, &made);  // shown already: nothing to do
                if (made && made != shown) CollectUndoSheetItemExistance(sheet, kUndoItemText, made, 1);
            }
            UpdateSignalNames(sheet, signal, &area);
        }
        CollectUndoChangedLabelStrings(sheet, labels);
        InvalArea(sheet, area);
        CollectUndoInvalSheetRect(sheet, &area);
        SetSheetModifiedStatus(sheet, kWireMadeModified | kSheetChangePlacesReported);
        if (own) AcceptSheetUndoCollection(sheet);
    }
    ClearMouseTrackingState(sheet);
    w.wire = nullptr;
    return 1;
}

}  // namespace plexa
