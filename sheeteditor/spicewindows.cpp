// The simulator link's windows: setup dialog, wait window and the "Spice Parameters" window.
#include "sheeteditor/spicewindows.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "design/simlink_netlist.h"
#include "design/simlink_session.h"
#include "design/simlink_sheet.h"
#include "files/project.h"
#include "foundation/ll.h"
#include "foundation/socket.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textedit.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/sheeteditorstate.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr const char* kStatusConnected =
    "A connection with Simora has been established. Click Stop to terminate the connection.";
constexpr const char* kStatusListening = "Waiting for Simora to request a connection. Click Stop to "
                                         "prevent Simora from making a connection.";
constexpr const char* kStatusOff = "The Simora Interface is currently turned off. Click Start to "
                                   "turn on the Simora Interface.";
constexpr const char* kStatusError = "The Simora Interface cannot be turned on due to a problem with "
                                     "your computer's TCP/IP services (Code = %d).";
constexpr uint16_t kSetupDialogFlags = kVXPlaceThird | kVXDialogOnFrontScreen;
constexpr uint8_t kModelessStyle = 2;
constexpr int32_t kAddressLength = 15;
constexpr OSStatus kSystemCodeBit = 0x20000000;
constexpr uint16_t kSheetWindowKind = 101;
// The parameters window: 280 by 280 in the lower left of the usable screen.
constexpr int16_t kParamsWindowSize = 280, kParamsWindowMargin = 8;
constexpr const char* kParameterKinds[] = {"Device Parameters", "Model Parameters"};

SpiceWindowHooks gWindowHooks;
SpiceLinkPreferences& gKeptPreferences = gSheetEditorState.keptSpicePreferences;

// ---- Setup ----

// The setup dialog's record while it runs.
struct SpiceSetupRecord {
    SpiceCommSettings settings;
    OSStatus lastError;
    uint8_t differentComputer;
    uint8_t connected;
    uint8_t server;
    bool running;
    VXWindowRecordTag* dialog;
};
SpiceSetupRecord* gSetup = nullptr;

std::string AddressText(uint32_t address) {
    if (address == 0) return {};
    in_addr a{htonl(address)};
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

bool ParseAddress(const char* text, uint32_t* address) {
    in_addr a{};
    if (std::strlen(text) > size_t(kAddressLength) || inet_pton(AF_INET, text, &a) != 1) return false;
    *address = ntohl(a.s_addr);
    return true;
}

uint16_t PortOf(VXWindowRecordTag* dialog, int16_t item) {
    VXEnforceItemIntRange(dialog, item, 0, 65535, true);
    return uint16_t(VXGetItemInt(dialog, item));
}

bool DifferentChosen(VXWindowRecordTag* dialog) {
    return VXGetSelectedListItem(dialog, kSpiceSetupComputerItem, -1) == 1;
}

void ReadLinkState(SpiceSetupRecord* s) {
    OSStatus err = GetSpiceLinkStatus(false, &s->connected, &s->server);
    if (err != status::kNoErr) s->lastError = err;
    s->running = gSpiceSocket != nullptr;
}

// Title, enabling and status of the dialog for the record.
void SetStartStopButtonTitle(VXWindowRecordTag* dialog, const SpiceSetupRecord& s) {
    VXSetItemText(dialog, kSpiceSetupStartItem, s.running ? "Stop" : "Start");
}

void SetCommSettingsEnabled(VXWindowRecordTag* dialog, const SpiceSetupRecord& s) {
    const bool off = !s.running;
    for (int16_t item : {kSpiceSetupComputerItem, kSpiceSetupListenItem, kSpiceSetupConnectItem,
                         kSpiceSetupDefaultsItem})
        VXSetItemEnabled(dialog, item, off);
    VXSetItemEnabled(dialog, kSpiceSetupAddressItem, off && DifferentChosen(dialog));
    VXSetItemEnabled(dialog, 1, s.running);
}

void ShowSetupState(SpiceSetupRecord* s) {
    ReadLinkState(s);
    SetStartStopButtonTitle(s->dialog, *s);
    SetCommSettingsEnabled(s->dialog, *s);
    const bool listening = s->running && !s->connected;
    VXSetItemText(s->dialog, kSpiceSetupStatusItem,
                  CalcSpiceLinkStatusMsg(s->connected != 0, listening,
                                         s->running ? status::kNoErr : s->lastError)
                      .c_str());
}

void StartOrStop(SpiceSetupRecord* s) {
    if (s->running) {
        DisableSpiceLink();
        s->lastError = status::kNoErr;
    } else {
        SpiceCommSettings settings{};
        bool different = false;
        if (!GetUserCommSettings(s->dialog, &settings, &different)) return;
        s->settings = settings;
        s->differentComputer = different;
        // The progress runs in place of item 1 while the link starts.
        VXSetItemVisible(s->dialog, 1, false);
        VXSetItemVisible(s->dialog, kSpiceSetupProgressItem, true);
        s->lastError = EnableSpiceLink(&settings, different,
                                       different ? kSpiceRemoteConnectWait : kSpiceLocalConnectWait);
        VXSetItemVisible(s->dialog, kSpiceSetupProgressItem, false);
        VXSetItemVisible(s->dialog, 1, true);
    }
    ShowSetupState(s);
}

// On end: the choice and the settings as typed (the address is kept even for "This Computer").
void KeepTypedSettings(SpiceSetupRecord* s) {
    if (!VXGetItemEnabled(s->dialog, kSpiceSetupComputerItem)) return;
    s->differentComputer = DifferentChosen(s->dialog);
    s->settings.listenPort = PortOf(s->dialog, kSpiceSetupListenItem);
    s->settings.connectPort = PortOf(s->dialog, kSpiceSetupConnectItem);
    char text[256];
    VXGetItemText(s->dialog, kSpiceSetupAddressItem, text);
    uint32_t address = 0;
    if (ParseAddress(text, &address) || text[0] == 0) s->settings.address = address;
}

// ---- Waiting ----

struct WaitWindow {
    int32_t id = 0;
    bool cancelled = false;
};

// ---- The parameters window ----

struct DeviceParamsRecord {
    ProjectRecord* project = nullptr;
    VXWindowRecordTag* window = nullptr;
    VXWindowRecordTag* header = nullptr;  // the column header's band
    VXWindowRecordTag* list = nullptr;    // the list view of the rows
    VXColumnHeaderRecord columns = nullptr;
    uint16_t kind = 0;
    std::string device;  // lower case
    std::string message;
    std::vector<std::pair<std::string, std::string>> rows;
};
DeviceParamsRecord* gDeviceParams = nullptr;

// The parameters window's layout below its pop-up: the column header and the rows.
constexpr int16_t kParamsHeaderTop = 32, kParamsHeaderHeight = 17, kParamsRowHeight = 16;
constexpr uint16_t kParamsValueColumn = 130;
constexpr int16_t kParamsCellInset = 4, kParamsMessageInset = 8;
constexpr VXColor kParamsMessageColor = 0x1FF0000;  // red
constexpr uint32_t kUTF8TextEncoding = 0x08000100;
constexpr int32_t kUIFontKind = 5;

DeviceParamsRecord* ParamsOf(VXWindowRecordTag* window) {
    return gDeviceParams && (window == gDeviceParams->list || window == gDeviceParams->header)
               ? gDeviceParams
               : nullptr;
}

void DrawCellText(const std::string& text, int16_t left, int16_t right, int16_t baseline) {
    char shown[kVXListCellTextSize];
    std::snprintf(shown, sizeof shown, "%s", text.c_str());
    VXTruncString(shown, sizeof shown, right - left, 0);
    VXMoveTo(left, baseline);
    VXDrawTextWithEncoding(shown, int32_t(std::strlen(shown)), kUTF8TextEncoding);
}

// The rows: the name in the first column, the data in the second. With no rows, the message
// (an error or "No information available.") is drawn in red over the list area.
int32_t ParamListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    DeviceParamsRecord* r = ParamsOf(window);
    if (!r) return 0;
    if (message == kVXListDrawItem) {
        StdDrawHiliteEditListViewItem(window, record);
        int32_t row = -1;
        if (record->item) std::memcpy(&row, record->item, sizeof row);
        if (row < 0 || size_t(row) >= r->rows.size()) return 1;
        QZSetColor(nullptr, kVXDefaultForeColor, false);
        const Rect& cell = record->rect;
        const int16_t baseline = int16_t(cell.bottom - 4);
        const int16_t split = int16_t(cell.left + kParamsValueColumn);
        DrawCellText(r->rows[size_t(row)].first, int16_t(cell.left + kParamsCellInset),
                     int16_t(split - kParamsCellInset), baseline);
        DrawCellText(r->rows[size_t(row)].second, int16_t(split + kParamsCellInset),
                     int16_t(cell.right - kParamsCellInset), baseline);
        return 1;
    }
    if (message == kVXListEndDraw && r->rows.empty() && !r->message.empty()) {
        Rect area{};
        VXGetClientRect(window, &area);
        const LRect box{area.top + kParamsMessageInset, area.left + kParamsMessageInset,
                        area.bottom - kParamsMessageInset, area.right - kParamsMessageInset};
        const VXColor fore = VXGetForeColor();
        QZSetColor(nullptr, kParamsMessageColor, false);
        VXTETextBox(r->message.data(), int32_t(r->message.size()), &box, 0, 0, 0);
        QZSetColor(nullptr, fore, false);
        return 1;
    }
    return 0;
}

int32_t ParamHeaderHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    DeviceParamsRecord* r = ParamsOf(window);
    if (!r || event->kind != kVXUpdateEvent) return 0;
    VXSetWindow(window);
    VXDrawColumnHeader(r->columns);
    return 1;
}

// The column header and the list view below the pop-up; false when they cannot be made.
bool CreateParameterViews(DeviceParamsRecord* r) {
    Rect content{};
    VXGetClientRect(r->window, &content);
    const int16_t width = int16_t(content.right - content.left);
    const Rect band{kParamsHeaderTop, 0, int16_t(kParamsHeaderTop + kParamsHeaderHeight), width};
    const Rect local{0, 0, kParamsHeaderHeight, width};
    const Rect rows{band.bottom, 0, content.bottom, width};
    r->columns = VXCreateColumnHeader(nullptr, &local);
    if (!r->columns || !VXAddHeaderColumnEx(r->columns, 0, "Parameter Name", 0) ||
        !VXAddHeaderColumnEx(r->columns, kParamsValueColumn, "Parameter Data", 0))
        return false;
    r->header = VXCreateChildWindow(0, 0, 0, r->window, &band, r, ParamHeaderHandler);
    r->list = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, r->window, &rows, r, nullptr);
    if (!r->header || !r->list) return false;
    VXInstallListView(r->list, GetTempDefaultStyle(kUIFontKind), kParamsRowHeight, sizeof(int32_t),
                      0, ParamListViewHook);
    VXShowWindow(r->header);
    VXShowWindow(r->list);
    return true;
}

void ShowParameterRows(DeviceParamsRecord* r) {
    VXWindowRecordTag* list = r->list;
    if (!list) return;
    VXSetListViewDrawingEnabled(list, false);
    VXDeleteListViewItemData(list, 0, -1);
    for (int32_t row = 0; row < int32_t(r->rows.size()); ++row)
        VXInsertListViewItemData(list, -1, &row, 1);
    VXSetListViewDrawingEnabled(list, true);
    Rect area{};
    VXGetClientRect(list, &area);
    VXInvalRect(list, &area);
}

// Asks the simulator for the parameters and shows them.
void LoadDeviceParameterData(DeviceParamsRecord* r) {
    SpiceDeviceParameters reply;
    r->rows.clear();
    r->message.clear();
    RetrieveSpiceParameterList(r->project, r->device.c_str(), r->kind, &reply, &r->message);
    if (r->message.empty()) r->rows = std::move(reply.values);
    if (gDeviceParams == r && r->window) ShowParameterRows(r);
}

void FreeParameterData(DeviceParamsRecord* r) {
    r->rows.clear();
    r->message.clear();
    if (r->columns) VXDestroyColumnHeader(r->columns);
    r->columns = nullptr;
}

void RetitleParameters(DeviceParamsRecord* r, const char* name) {
    const std::string title = std::string(name && name[0] ? name : "Device") + " Parameters";
    VXSetWindowTitle(r->window, title.c_str());
}

Rect ParametersWindowRect() {
    Rect screen{};
    VXGetMainScreenBounds(&screen, false);
    Rect rect{int16_t(screen.bottom - kParamsWindowSize - kParamsWindowMargin),
              int16_t(screen.left + kParamsWindowMargin),
              int16_t(screen.bottom - kParamsWindowMargin),
              int16_t(screen.left + kParamsWindowMargin + kParamsWindowSize)};
    return rect;
}

// ---- Installed hooks ----

std::vector<SheetRecord*> VisibleSheets(ProjectRecord* project) {
    std::vector<SheetRecord*> sheets;
    for (VXWindowRecordTag* w : VXTopLevelWindows()) {
        if (w->typeID != kSheetWindowKind || !w->refCon || !VXIsWindowVisible(w, false)) continue;
        auto* sheet = static_cast<SheetRecord*>(w->refCon);
        if (!project || sheet->project == project) sheets.push_back(sheet);
    }
    return sheets;
}

SheetRecord* FrontSheet() {
    VXWindowRecordTag* window = FrontSheetWindow();
    return window ? static_cast<SheetRecord*>(window->refCon) : nullptr;
}

void ClearSymbolSelection(SheetRecord* sheet) {
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        s->flags &= ~kSymbolFlagSelected;
    RedrawSheetWindow(sheet);
}

int32_t DialogAlert(const std::vector<std::string>& s) {
    const std::string message = s[1].empty() ? s[0] : s[1];
    return VXStandardAlert(message.c_str(), s[2].c_str(), s[3].empty() ? "OK" : s[3].c_str(),
                           s[4].c_str());
}

}  // namespace

void SetSpiceWindowHooks(const SpiceWindowHooks& hooks) { gWindowHooks = hooks; }
const SpiceWindowHooks& GetSpiceWindowHooks() { return gWindowHooks; }

SpiceLinkPreferences GetSpiceLinkPreferences() {
    return gWindowHooks.preferences ? gWindowHooks.preferences() : gKeptPreferences;
}

namespace {
void StorePreferences(const SpiceLinkPreferences& preferences) {
    if (gWindowHooks.storePreferences) gWindowHooks.storePreferences(preferences);
    else gKeptPreferences = preferences;
}
}  // namespace

void AddSpiceWindows(SpiceLinkHooks& link, SpiceSessionHooks& session, SpiceNetlistHooks& netlist,
                     SpiceSheetHooks& sheets) {
    link.updateSetupStatus = UpdateConnectionStatusMessage;
    link.errorReport = VXErrorReport;
    link.openWaitWindow = OpenSpiceWaitWindow;
    link.waitWindowIdle = SpiceWaitWindowIdle;
    link.closeWaitWindow = CloseSpiceWaitWindow;
    link.linkOnPreference = [] { return GetSpiceLinkPreferences().linkOn; };
    link.setLinkOnPreference = [](bool on) {
        SpiceLinkPreferences p = GetSpiceLinkPreferences();
        p.linkOn = on;
        StorePreferences(p);
    };
    link.differentComputer = [] { return GetSpiceLinkPreferences().differentComputer; };
    link.linkLost = [] {
        if (gWindowHooks.showSimulatorTools) gWindowHooks.showSimulatorTools(false);
    };
    session.updateParameters = UpdateSpiceParameters;
    session.showMessage = VXDisplayMessage;
    session.alert = DialogAlert;
    session.applicationActive = VXIsApplicationActive;
    netlist.alert = VXDisplayMessage;
    netlist.errorReport = VXErrorReport;
    netlist.applicationActive = VXIsApplicationActive;
    netlist.confirmDiscard = [](const char* text) {
        return VXStandardAlert(text, "", "Discard", "Cancel") == kVXAlertFirstButton;
    };
    sheets.visibleSheets = VisibleSheets;
    sheets.frontSheet = FrontSheet;
    sheets.redraw = RedrawSheetWindow;
}

// ---- Setup ----

std::string CalcSpiceLinkStatusMsg(bool connected, bool server, OSStatus error) {
    if (error != status::kNoErr) {
        if (error > 0 && (error & kSystemCodeBit)) error = error & ~kSystemCodeBit;
        char text[256];
        std::snprintf(text, sizeof text, kStatusError, int(error));
        return text;
    }
    if (connected) return kStatusConnected;
    if (server) return kStatusListening;
    return kStatusOff;
}

bool GetUserCommSettings(VXWindowRecordTag* dialog, SpiceCommSettings* settings,
                         bool* differentComputer) {
    settings->listenPort = PortOf(dialog, kSpiceSetupListenItem);
    settings->connectPort = PortOf(dialog, kSpiceSetupConnectItem);
    settings->address = 0;
    *differentComputer = DifferentChosen(dialog);
    if (!*differentComputer) return true;
    char text[256];
    VXGetItemText(dialog, kSpiceSetupAddressItem, text);
    if (!ParseAddress(text, &settings->address)) {
        VXSelectItemText(dialog, kSpiceSetupAddressItem, 0, 32767);
        VXBeep();
        return false;
    }
    return true;
}

int32_t SpiceSetupDialogHandler(VXWindowRecordTag* dialog, VXEventRecord* event) {
    SpiceSetupRecord* s = gSetup;
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            s->dialog = dialog;
            VXAddListItem(dialog, kSpiceSetupComputerItem, "This Computer", -1);
            VXAddListItem(dialog, kSpiceSetupComputerItem, "Different Computer", -1);
            VXSelectListItem(dialog, kSpiceSetupComputerItem, s->differentComputer ? 1 : 0, true);
            VXSetItemText(dialog, kSpiceSetupAddressItem, AddressText(s->settings.address).c_str());
            VXSetItemInt(dialog, kSpiceSetupListenItem, s->settings.listenPort);
            VXSetItemInt(dialog, kSpiceSetupConnectItem, s->settings.connectPort);
            ShowSetupState(s);
            if (s->lastError != status::kNoErr && !s->running)
                VXSetItemEnabled(dialog, kSpiceSetupStartItem, false);
            return 0;
        case kVXControlEvent:
            switch (event->u.control.item) {
                case kSpiceSetupStartItem:
                    StartOrStop(s);
                    return 1;
                case kSpiceSetupComputerItem:
                    SetCommSettingsEnabled(dialog, *s);
                    return 1;
                case kSpiceSetupDefaultsItem:
                    VXSetItemInt(dialog, kSpiceSetupListenItem, kSpiceDefaultListenPort);
                    VXSetItemInt(dialog, kSpiceSetupConnectItem, kSpiceDefaultConnectPort);
                    return 1;
                case kSpiceSetupDoneItem:
                    VXEndDialog(dialog, kSpiceSetupDoneItem);
                    return 1;
                default:
                    return 0;
            }
        case kVXEndModalEvent:
            KeepTypedSettings(s);
            return 0;
        default:
            return 0;
    }
}

void SpiceSetup() {
    const SpiceLinkPreferences before = GetSpiceLinkPreferences();
    SpiceSetupRecord record{};
    record.settings = before.settings;
    record.differentComputer = before.differentComputer;
    // Starting the socket layer: a failure shows in the status and disables Start.
    record.lastError = GetSpiceLinkStatus(true, &record.connected, &record.server);
    SpiceSetupRecord* saved = std::exchange(gSetup, &record);
    VXModalDialog(kSpiceSetupTemplate, kSetupDialogFlags, SpiceSetupDialogHandler, nullptr);
    gSetup = saved;

    SpiceLinkPreferences after = before;
    after.settings = record.settings;
    after.differentComputer = record.differentComputer != 0;
    uint8_t connected = 0, server = 0;
    (void)GetSpiceLinkStatus(false, &connected, &server);  // without begin it cannot fail
    after.linkOn = gSpiceSocket && (gSpiceSocket->state == kSocketStateListening ||
                                    gSpiceSocket->state == kSocketStateConnected);
    if (std::memcmp(&after.settings, &before.settings, sizeof after.settings) != 0 ||
        after.differentComputer != before.differentComputer || after.linkOn != before.linkOn)
        StorePreferences(after);
    if (gWindowHooks.showSimulatorTools) gWindowHooks.showSimulatorTools(after.linkOn);
}

void UpdateConnectionStatusMessage() {
    if (!gSetup || !gSetup->dialog) return;
    const uint8_t connected = gSetup->connected, running = gSetup->running;
    ReadLinkState(gSetup);
    if (connected != gSetup->connected || running != gSetup->running) ShowSetupState(gSetup);
}

// ---- Waiting ----

int32_t WaitSpiceDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* wait = static_cast<WaitWindow*>(window->refCon);
    if (wait && event->kind == kVXControlEvent) {
        wait->cancelled = true;
        return 1;
    }
    return 0;
}

void* OpenSpiceWaitWindow(const char* title, const char* text) {
    auto* wait = new WaitWindow;
    VXWindowRecordTag* window = VXLoadDialogWindow(kSpiceWaitTemplate, kModelessStyle, 0,
                                                   kVXPlaceThird, 0, WaitSpiceDialogHandler, wait);
    if (!window) {
        delete wait;
        return nullptr;
    }
    wait->id = window->windowID;
    VXSetWindowTitle(window, title ? title : "");
    VXSetItemText(window, kSpiceWaitTextItem, text ? text : "");
    VXShowWindow(window);
    return wait;
}

bool SpiceWaitWindowIdle(void* handle) {
    auto* wait = static_cast<WaitWindow*>(handle);
    if (!wait) return false;
    if (!wait->cancelled && VXGetWindowFromId(wait->id)) VXProcessPendingModalEvents();
    return wait->cancelled;
}

void CloseSpiceWaitWindow(void* handle) {
    auto* wait = static_cast<WaitWindow*>(handle);
    if (!wait) return;
    if (VXWindowRecordTag* window = VXGetWindowFromId(wait->id)) {
        window->refCon = nullptr;
        VXDestroyWindow(window);
    }
    delete wait;
}

// ---- The parameters window ----

int32_t DeviceParamsViewHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    DeviceParamsRecord* r = gDeviceParams;
    if (!r || r->window != window) return 0;
    switch (event->kind) {
        case kVXControlEvent:
            if (event->u.control.item == kSpiceParamsKindItem) {
                const int32_t kind = VXGetSelectedListItem(window, kSpiceParamsKindItem, -1);
                if (kind >= 0 && uint16_t(kind) != r->kind) {
                    r->kind = uint16_t(kind);
                    LoadDeviceParameterData(r);
                }
                return 1;
            }
            return 0;
        case kVXDestroyEvent:
            FreeParameterData(r);
            gDeviceParams = nullptr;
            delete r;
            return 0;
        default:
            return 0;
    }
}

void DisplayDeviceParameters(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!sheet || !symbol) return;
    if ((symbol->flags & kSymbolFlagSheet) && (symbol->flags & kSymbolFlagSelected)) {
        ClearSymbolSelection(sheet);
        return;
    }
    if (!symbol->component) return;
    char name[kSpiceDeviceNameSize];
    GetSpiceDeviceName(sheet, symbol, nullptr, name);
    if (gDeviceParams && gDeviceParams->project != sheet->project)
        CloseDeviceParametersWindow(nullptr);
    DeviceParamsRecord* r = gDeviceParams;
    if (!r) {
        r = new DeviceParamsRecord;
        r->project = sheet->project;
        gDeviceParams = r;
        VXWindowRecordTag* window =
            VXLoadDialogWindow(kSpiceParametersTemplate, kModelessStyle, kVXFlagClosable,
                               kVXPlaceKeep, 0, DeviceParamsViewHandler, nullptr);
        if (!window) {
            gDeviceParams = nullptr;
            delete r;
            return;
        }
        r->window = window;
        if (!CreateParameterViews(r)) {
            VXDestroyWindow(window);
            return;
        }
        for (const char* kind : kParameterKinds)
            VXAddListItem(window, kSpiceParamsKindItem, kind, -1);
        VXSelectListItem(window, kSpiceParamsKindItem, 0, true);
        const Rect rect = ParametersWindowRect();
        VXSetWindowPosition(window, &rect);
        VXShowWindow(window);
    }
    r->device = LowerSpiceName(name);
    RetitleParameters(r, name);
    LoadDeviceParameterData(r);
}

void SpiceParametersSelection(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!gDeviceParams || !sheet || !symbol || !symbol->component) return;
    char name[kSpiceDeviceNameSize];
    if (!GetSpiceDeviceName(sheet, symbol, nullptr, name)) return;
    if (gDeviceParams->project == sheet->project && gDeviceParams->device == LowerSpiceName(name))
        return;
    DisplayDeviceParameters(sheet, symbol);
}

void UpdateSpiceParameters(ProjectRecord* project) {
    if (gDeviceParams && gDeviceParams->project == project) LoadDeviceParameterData(gDeviceParams);
}

void CloseDeviceParametersWindow(ProjectRecord* project) {
    if (!gDeviceParams || (project && gDeviceParams->project != project)) return;
    VXDestroyWindow(gDeviceParams->window);
}

VXWindowRecordTag* GetDeviceParametersWindow() {
    return gDeviceParams ? gDeviceParams->window : nullptr;
}

VXWindowRecordTag* GetDeviceParametersList() {
    return gDeviceParams ? gDeviceParams->list : nullptr;
}

std::vector<std::pair<std::string, std::string>> GetDeviceParameterRows(std::string* message) {
    if (!gDeviceParams) {
        if (message) message->clear();
        return {};
    }
    if (message) *message = gDeviceParams->message;
    return gDeviceParams->rows;
}

}  // namespace plexa
