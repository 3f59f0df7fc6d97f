#include "symboleditor/pending.h"

#include "toolkit/vx_events.h"

namespace plexa {

int32_t EditListViewHandler(VXWindowRecordTag* window, VXEventRecord* event) {  // the list tabs' events
    return VXDefaultEventHandler(window, event);
}
int32_t EditListsFunnelHook(VXWindowRecordTag*, int32_t, VXListViewHookRecord*) { return 0; }  // draws rows
bool FlushSymbolEditorList(SymbolEditorRecord*, bool) { return true; }  // writes a list's edits
int32_t BuildPinListEditArray(SymbolEditorRecord*) { return 0; }        // the Pins tab's rows
void PrepareSymbolEditorList(SymbolEditorRecord*) {}                    // prepares the list
void EditHiddenPinAttributes(SymbolEditorRecord*) {}                    // hidden pins' attributes
void NewPartSlotDialog(SymbolEditorRecord*) {}                          // the new part dialog
void PartNameDialog(SymbolEditorRecord*, LibSection*) {}                // the part name dialog
bool EditSymbolEditorPinInfo(SymbolEditorRecord*, ElementRecord*, TextRecord*, int32_t) { return false; }  // pin dialog
bool NetSymbolInfoDialog(SymbolEditorRecord*) { return false; }          // net symbol dialog
bool PortInfoDialog(SymbolEditorRecord*) { return false; }               // port dialog
bool PartSymbolDialog(SymbolEditorRecord*, int32_t) { return false; }    // part symbol dialog

}  // namespace plexa
