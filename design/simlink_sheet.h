// The simulator's answers on the sheets: node-value labels (signal labels marked as node values)
// and "."-named attributes of symbols, which show simulator values; the device names that the
// simulator knows symbols by; the refresh of a sheet's simulator annotation and the marking of a
// project's sheets for the link timer's refresh.
//
// This module owns nothing: the labels and attributes belong to their sheets. What it needs of
// the windows (which sheets are visible, the front one, redrawing) it reaches through the hooks
// below; without them no sheet is visible and nothing is redrawn.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/chunky.h"
#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct SheetNode;
struct SheetRecord;
struct SignalRecord;
struct SpiceAnalysisRecord;
struct SymbolRecord;
struct TextRecord;
struct SpiceSessionHooks;
struct SpiceLinkHooks;
struct ReportHooks;
struct SymbolTextHooks;

// The reason a sheet is marked when its simulator annotation changes.
constexpr int32_t kSpiceAnnotationModified = 40;
// Device names and qualifiers are copied out through buffers of this size.
constexpr int32_t kSpiceDeviceNameSize = 256;
// The longest sheet qualifier.
constexpr int32_t kSpiceQualifierLimit = 240;
// What an annotation shows until the simulator answers.
constexpr const char* kSpiceUnknownValue = "?";

struct SpiceSheetHooks {
    // The visible sheets of the project, front to back.
    std::vector<SheetRecord*> (*visibleSheets)(ProjectRecord* project) = nullptr;
    // The sheet of the front window, none when the front window is not a sheet's.
    SheetRecord* (*frontSheet)() = nullptr;
    // Redraws the sheet after its annotation changed.
    void (*redraw)(SheetRecord* sheet) = nullptr;
};
void SetSpiceSheetHooks(const SpiceSheetHooks& hooks);
const SpiceSheetHooks& GetSpiceSheetHooks();

// Lets the link refresh sheets through this module (the session's and the link's refresh hooks),
// run netlist scripts through the report interpreter (whose circuit files are closed in the
// simulator before they are written), and the sheets find their simulator attribute texts.
// Other hooks stay as they are.
void AddSpiceSheetServices(SpiceSessionHooks& session, SpiceLinkHooks& link, ReportHooks& report,
                           SymbolTextHooks& texts);

// ---- Device names ----

// The qualifier of a node's sheet ("" when designators are not qualified): the instance path
// below the analysed root instance (when the node lies under it), at most kSpiceQualifierLimit
// characters, built with the project's separator and prefixed with it.
std::string GetSpiceSheetQualifier(ProjectRecord* project, SheetNode* node);
// The name the simulator knows a symbol by: the designator of the project's simulator component
// map, else the symbol's designator (component symbols) or reference name, with the qualifier
// (the given one, else the sheet's) appended. 1 when a name was found, else 0 and "".
int32_t GetSpiceDeviceName(SheetRecord* sheet, SymbolRecord* symbol, const char* qualifier,
                           char* text);
// The component symbol of the sheet whose device name (with the qualifier) equals the name,
// without regard to case; none when there is none.
SymbolRecord* LookupSpiceDeviceSymbol(SheetRecord* sheet, const char* qualifier, const char* name);

// Graphs the current of a component symbol's pin: its device name and the pin's first
// "."-attribute without the dot; true when sent.
bool GraphSpiceCurrent(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin, bool add);
// Graphs a signal's node: its name mapped through the project's simulator signal map for the
// sheet's instance; true when sent. With add the graph keeps what it shows, else it is replaced.
bool GraphSpiceNode(SheetRecord* sheet, SignalRecord** signal, bool add);

// ---- Annotation ----

// The node-value labels of the sheet (of one signal when given), in list order.
std::vector<TextRecord*> CollectSheetNodeLabels(SheetRecord* sheet, SignalRecord** signal);
// The symbol's "."-attributes ("." followed by at least one character) as a new chunky block of
// SpiceAnnotationAttribute items (model/symboltexts.h) that the caller destroys; none when the
// symbol has none.
VXChunkyBlock GetSpiceAnnotationAttributes(SheetRecord* sheet, SymbolRecord* symbol);

// Sets the values of the symbol's attributes (names with their dot) and rebuilds its texts.
void UpdateSymbolSpiceAnnotation(SheetRecord* sheet, SymbolRecord* symbol,
                                 const std::vector<std::pair<std::string, std::string>>& values);
// Every "."-attribute of the symbol shows "?".
void ResetSymbolSpiceAnnotation(SheetRecord* sheet, SymbolRecord* symbol);
// Every node-value label and "."-attribute of the sheet shows "?".
void ResetSheetSpiceAnnotation(SheetRecord* sheet);

// The node value of one signal (a click): its labels show "?", then the first value of the reply.
void Retrieve1SheetNodeValue(SheetRecord* sheet, SignalRecord** signal);
// The node values of every labelled signal of the sheet; false when the user cancelled the wait.
bool RetrieveSheetNodeValues(SheetRecord* sheet);
// The "."-attributes of the sheet's symbols from the simulator's device parameters.
void RetrieveSheetDeviceParameters(SheetRecord* sheet);
// Resets the sheet's annotation and, when the project has a current analysis that covers the
// sheet's instance, fetches node values and device parameters. The refresh mark is cleared; a
// sheet that was not modified stays so.
void RetrieveSheetSpiceAnnotation(SheetRecord* sheet);

// Acts only for the project's current analysis: with `now`, the project's sheet in the front
// window is refreshed at once; the other visible sheets of the project (all of them otherwise)
// are marked for the link timer's refresh.
void InvalidateProjectSpiceAnalysis(ProjectRecord* project, SpiceAnalysisRecord* analysis,
                                    bool now);
// Refreshes every visible sheet marked for it, front to back (the link timer's refresh).
void RefreshMarkedSpiceSheets();

}  // namespace plexa
