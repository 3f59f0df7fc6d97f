// The simulator link's windows: the setup dialog (UI template 1025) that starts and stops the
// link, the wait window (template 1026) shown while a reply is long in coming, and the single
// "Spice Parameters" window that lists a device's or its model's parameters (its pop-up panel is
// template 2102). AddSpiceWindows gives the link, the exchange and the sheet side of the
// simulator their windows: alerts, the wait window, the setup dialog's status, the parameters
// window's reload and the visible sheets.
//
// This module owns the setup dialog's record while the dialog runs, the wait window and the
// parameters window with its rows. The link's settings and flags are kept in the preferences,
// which the application shell owns; until it installs its hooks they are kept here.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "design/simlink.h"
#include "sheeteditor/sheeteditorstate.h"

namespace plexa {

struct ProjectRecord;
struct SheetRecord;
struct SpiceNetlistHooks;
struct SpiceSessionHooks;
struct SpiceSheetHooks;
struct SymbolRecord;
struct VXEventRecord;
struct VXWindowRecordTag;

constexpr uint16_t kSpiceSetupTemplate = 1025;
constexpr uint16_t kSpiceWaitTemplate = 1026;
constexpr uint16_t kSpiceParametersTemplate = 2102;

// Items of the setup dialog.
constexpr int16_t kSpiceSetupStatusItem = 2, kSpiceSetupStartItem = 4, kSpiceSetupComputerItem = 5,
                  kSpiceSetupAddressItem = 7, kSpiceSetupListenItem = 9,
                  kSpiceSetupConnectItem = 11, kSpiceSetupDoneItem = 14,
                  kSpiceSetupDefaultsItem = 15, kSpiceSetupProgressItem = 16;
// The wait window's text.
constexpr int16_t kSpiceWaitTextItem = 1;
// The parameters window's kind pop-up; below it a column header and a list view of the rows.
constexpr int16_t kSpiceParamsKindItem = 10;

struct SpiceWindowHooks {
    // The preferences' record of the link, and storing it (the preferences then changed).
    // Optional: the preferences are not built yet; until then this module keeps the record for
    // the run.
    SpiceLinkPreferences (*preferences)() = nullptr;
    void (*storePreferences)(const SpiceLinkPreferences& preferences) = nullptr;
    // Shows or hides the simulator tool bars of the sheet windows.
    void (*showSimulatorTools)(bool show) = nullptr;
};
void SetSpiceWindowHooks(const SpiceWindowHooks& hooks);
const SpiceWindowHooks& GetSpiceWindowHooks();
SpiceLinkPreferences GetSpiceLinkPreferences();

// Puts the windows in the link's, the exchange's, the netlists' and the sheets' tables, leaving
// their other slots (the core's) as they are.
void AddSpiceWindows(SpiceLinkHooks& link, SpiceSessionHooks& session, SpiceNetlistHooks& netlist,
                     SpiceSheetHooks& sheets);

// ---- Setup ----

// The status line of the setup dialog for the link's state.
std::string CalcSpiceLinkStatusMsg(bool connected, bool server, OSStatus error);
// The settings typed into the dialog; false (the address selected, a beep) for an address that is
// not a dotted IPv4 address while "Different Computer" is chosen.
bool GetUserCommSettings(VXWindowRecordTag* dialog, SpiceCommSettings* settings,
                         bool* differentComputer);
int32_t SpiceSetupDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event);
// The Tools menu's simulator setup.
void SpiceSetup();
// The setup dialog, when open, shows the link's state again.
void UpdateConnectionStatusMessage();

// ---- Waiting ----

void* OpenSpiceWaitWindow(const char* title, const char* text);
// Runs the window's pending events; true when the user cancelled.
bool SpiceWaitWindowIdle(void* window);
void CloseSpiceWaitWindow(void* window);
int32_t WaitSpiceDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

// ---- The "Spice Parameters" window ----

// Opens (or reloads and retitles) the window for a component symbol's device; a selected sheet
// symbol clears the sheet's symbol selection instead, any other symbol does nothing.
void DisplayDeviceParameters(SheetRecord* sheet, SymbolRecord* symbol);
// A selection in a sheet: the window follows the selected device of its project.
void SpiceParametersSelection(SheetRecord* sheet, SymbolRecord* symbol);
// Reloads the window when it shows a device of the project.
void UpdateSpiceParameters(ProjectRecord* project);
// Closes the window (only when it belongs to the project, when one is given).
void CloseDeviceParametersWindow(ProjectRecord* project);
int32_t DeviceParamsViewHandler(VXWindowRecordTag* window, VXEventRecord* event);
// The window and its list view of the rows, none when it is closed.
VXWindowRecordTag* GetDeviceParametersWindow();
VXWindowRecordTag* GetDeviceParametersList();
// What it lists: the rows, or the message shown instead ("" when there are rows).
std::vector<std::pair<std::string, std::string>> GetDeviceParameterRows(std::string* message);

}  // namespace plexa
