// The symbol information dialog. Everything it edits lives in its record until OK: texts and
// states read from the symbol on entry, the Pins panel's pin data copies, the Port Pins panel's
// ports; applying them collects the sheet's change reasons.
#include "symboleditor/syminfodialog.h"
#include "symboleditor/symattributes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

#include "files/project.h"
#include "files/sheetfile.h"
#include "files/sheetports.h"
#include "files/symbolplace.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_colheader.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_popups.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_window.h"
#include "symboleditor/symlists.h"

namespace plexa {

int32_t gPinsListSortField[4] = {0, 0, 0, 0};

namespace {

constexpr int32_t kText = kSymbolTextSize;
constexpr int32_t kPinFieldPinName = 1, kPinFieldSignal = 2, kPinFieldPinType = 3, kPinFieldPinNumber = 4;
constexpr uint16_t kPortVisible = kSheetPortShowName, kPortBus = kSheetPortBuss;
constexpr uint32_t kRecordFlags = 0x4000 | 0x80 | 0x1000 | 0x2000;
// The attribute panel offers the names of the components' property-name list.
constexpr int32_t kComponentAttributeNames = 0;
// Change reasons of the sheet.
// The wells of the drawn fields, and the colour of a missing source.
constexpr VXColor kFieldWellColor = 0x00F0F0F0, kFieldFrameColor = 0x00909090, kMissingSourceColor = 0x01FF0000;
// The name list's chooser, up and pressed, and the rows its list shows at once.
constexpr VXColor kButtonColor = 0x00FCFCFC, kPressedButtonColor = 0x00D8D8D8;
constexpr int32_t kNameListRows = 16;
constexpr uint32_t kReasonContent = 1, kReasonHierarchy = 4, kReasonText = 8, kReasonSubSheet = 16;

// The panel last shown, by the tab count.
// The panel the dialog last closed on, by its count of tabs (a dialog opens where the last one of
// its kind was left).
int32_t gLastPanelId[8] = {-1, -1, -1, -1, -1, -1, -1, -1};

// A pin of the Pins panel: the sheet's pin data or, once changed, a copy of its own.
struct PinEntry {
    Handle data = nullptr;
    bool own = false;
    bool hidden = false;
    bool changed = false;
    int32_t index = 0;        // the pin's index in its symbol, or the hidden pin's in its pin set
    std::string signal;       // the connected net of a visible pin
};

struct SymbolInfoDialogRecord {
    SheetRecord* sheet = nullptr;
    SymbolRecord* symbol = nullptr;
    TextRecord* text = nullptr;
    bool newSymbol = false;
    int32_t tabCount = 0;
    int32_t panels[4] = {};
    int32_t current = -1;
    VXWindowRecordTag* dialog = nullptr;
    VXWindowRecordTag* tabView = nullptr;
    VXWindowRecordTag* list = nullptr;   // the Pins or Port Pins list pane
    VXWindowRecordTag* headerWindow = nullptr;
    VXColumnHeaderRecord header = nullptr;
    char designator[kText] = "";
    char name[kText] = "";
    char sheetName[kText] = "";
    char prefix[16] = "";
    int32_t slot = 0;
    int32_t nameIndex = 0;
    int32_t package = 0;
    int16_t choice = kSymChoiceNone;
    bool showDesignator = false;
    bool showName = false;
    uint32_t flags = 0;
    bool attributesChanged = false;
    Handle attributes = nullptr;       // the copy the Attributes panel edits
    int16_t attributeCount = 0;
    void* attributeEditor = nullptr;
    bool ok = false;
    bool loaded[7] = {};
    // The Pins panel.
    std::vector<PinEntry> pins;        // the section's pins
    std::vector<PinEntry> hidden[4];   // the hidden pins of each pin set
    int32_t pinSet = 0;
    std::vector<int16_t> map;          // rows to entries of Rows()
    bool pinsBuilt = false;
    // The drawn fields of the Component and Symbol panels, by item; whether the source is missing.
    std::string fields[kSymSourceField + 1];
    bool noSource = false;
    bool nameListUp = false;           // the name list is open under its arrow
    bool attributeRowStarted = false;  // the clicked attribute's row took the keys
    // The Port Pins panel.
    std::vector<PortRow> ports;
    bool portsEdited = false;
    FileSpec chosenSheet{};
    bool haveChosenSheet = false;
};
SymbolInfoDialogRecord* gInfo = nullptr;

bool IsComponent(const SymbolInfoDialogRecord& r) { return r.symbol->component != nullptr; }
bool IsSheet(const SymbolInfoDialogRecord& r) { return (r.symbol->flags & kSymbolFlagSheet) != 0; }

void Trim(char* text) { TrimSpacesC(text); }

// ---- Pins panel ----

int32_t CurrentPinSet(SymbolInfoDialogRecord& r) {
    ComponentRecord* c = r.symbol->component;
    return c && c->packageCount > 0 ? GetPackagePinSet(c, r.package) : 0;
}

std::vector<PinEntry*> Rows(SymbolInfoDialogRecord& r) {
    std::vector<PinEntry*> rows;
    for (PinEntry& e : r.pins) rows.push_back(&e);
    if (r.pinSet >= 0 && r.pinSet < 4)
        for (PinEntry& e : r.hidden[r.pinSet]) rows.push_back(&e);
    return rows;
}

void CreatePinListDataTables(SymbolInfoDialogRecord& r) {
    SheetRecord* sheet = r.sheet;
    ComponentRecord* c = r.symbol->component;
    const int32_t pinSet = GetSymbolsPinSet(r.symbol);
    const uint16_t symbolIndex = r.symbol->kind.comp.symbol;
    for (int32_t pin = 0; pin < CountCompSymbolPins(c, pinSet, symbolIndex); ++pin) {
        PinEntry e;
        e.index = pin;
        e.data = GetIndexedPinData(sheet->pinDataTable, int32_t(GetCompSymbolPinDataId(c, pinSet, symbolIndex, pin)));
        char name[kText] = "";
        if (e.data && (GetPinDataType(e.data, true) & 0x40)) {
            uint16_t terminal = 0;
            if (BussHandle buss = GetConnectedBuss(sheet->bussList, r.symbol, uint16_t(pin), nullptr, &terminal)) {
                GetBussTerminalName(buss, terminal, sheet->stringBlock, name, sizeof name);
                if (!*name) GetBussName(buss, sheet->stringBlock, name, sizeof name);
            }
        } else if (SignalHandle signal = GetConnectedSignal(sheet->signalList, r.symbol, uint16_t(pin), nullptr, nullptr)) {
            GetSignalName(signal, sheet->stringBlock, name, sizeof name);
        }
        e.signal = name;
        r.pins.push_back(e);
    }
    for (int32_t set = 0; set < 4 && set < c->pinSetCount; ++set)
        for (int32_t pin = 0; pin < CountCompSymbolPins(c, set, kCompHiddenPins); ++pin) {
            PinEntry e;
            e.index = pin;
            e.hidden = true;
            e.data = GetIndexedPinData(sheet->pinDataTable, int32_t(GetCompSymbolPinDataId(c, set, kCompHiddenPins, pin)));
            r.hidden[set].push_back(e);
        }
    r.pinsBuilt = true;
}

std::string PinField(SymbolInfoDialogRecord& r, const PinEntry& e, int32_t field) {
    char text[kText] = "";
    StringBlock block = r.sheet->stringBlock;
    switch (field) {
        case kPinFieldPinName: GetPinDataName(e.data, block, text); break;
        case kPinFieldPinType: GetPinTypeString(e.data ? GetPinDataType(e.data, false) : 0, text); break;
        case kPinFieldPinNumber:
            if (e.hidden) GetCompHiddenPinInfo(r.symbol->component, block, r.pinSet, e.index, text, nullptr);
            else GetCompPinInfo(r.symbol->component, block, r.pinSet, uint16_t(r.slot), e.index, text, nullptr);
            break;
        case kPinFieldSignal:
            if (e.hidden) GetHiddenPinSignalName(e.data, block, true, text);
            else std::snprintf(text, sizeof text, "%s", e.signal.c_str());
            break;
        default: break;
    }
    return text;
}

void BuildPinListSortMap(SymbolInfoDialogRecord& r) {
    if (gPinsListSortField[0] == 0) SetPinsListSortField(kPinFieldPinNumber);  // fills the table: 4, 3, 1, 2
    std::vector<PinEntry*> rows = Rows(r);
    r.map.clear();
    for (size_t i = 0; i < rows.size(); ++i) r.map.push_back(int16_t(i));
    std::stable_sort(r.map.begin(), r.map.end(), [&](int16_t a, int16_t b) {
        for (int32_t key : gPinsListSortField) {
            int32_t c = 0;
            if (key == kPinFieldPinType)
                c = (rows[size_t(a)]->data ? GetPinDataType(rows[size_t(a)]->data, false) : 0) -
                    (rows[size_t(b)]->data ? GetPinDataType(rows[size_t(b)]->data, false) : 0);
            else if (key != 0)
                c = StrCmpAlphaNumeric(PinField(r, *rows[size_t(a)], key).c_str(), PinField(r, *rows[size_t(b)], key).c_str(),
                                       false);
            if (c != 0) return c < 0;
        }
        return false;
    });
}

PinEntry* RowEntry(SymbolInfoDialogRecord& r, int32_t row) {
    std::vector<PinEntry*> rows = Rows(r);
    if (row < 0 || row >= int32_t(r.map.size()) || r.map[size_t(row)] >= int16_t(rows.size())) return nullptr;
    return rows[size_t(r.map[size_t(row)])];
}

// Changes a pin's name, signal name or type on its own copy of its data.
void ChangeSymbolPinData(SymbolInfoDialogRecord& r, PinEntry& e, int32_t type, bool signal, const char* text) {
    StringBlock block = r.sheet->stringBlock;
    if (!e.own) {
        Handle copy = e.data ? CloneHandle(nullptr, e.data) : CreateNewPinData();
        if (!copy) return;
        e.data = copy;
        e.own = true;
    }
    e.changed = true;
    char stored[kText] = "";
    GetHiddenPinSignalName(e.data, block, false, stored);
    if (text && !signal) {
        char old[kText];
        GetPinDataName(e.data, block, old);
        SetPinDataName(e.data, block, text);
        if (!*stored && *old) std::snprintf(stored, sizeof stored, "%s", old);
    } else if (text) {
        std::snprintf(stored, sizeof stored, "%s", text);
    }
    if (text) {
        char name[kText];
        GetPinDataName(e.data, block, name);
        if (std::strcmp(stored, name) == 0) *stored = 0;
        if (e.hidden) SetHiddenPinSignalName(e.data, block, stored);
    }
    if (type >= 0) SetPinDataType(e.data, uint8_t(type), false);
}

void FreePinEntries(SymbolInfoDialogRecord& r) {
    const auto free = [](std::vector<PinEntry>& entries) {
        for (PinEntry& e : entries)
            if (e.own && e.data) DestroyPinData(e.data);
        entries.clear();
    };
    free(r.pins);
    for (auto& set : r.hidden) free(set);
}

// Columns of the Pins panel: type (arrow 50..73), number, name, signal name.
constexpr int16_t kPinsColumns[4] = {0, 124, 190, 300};

void DrawText(const std::string& s, const Rect& row, int16_t left, int16_t right, VXColor color) {
    char text[kText];
    std::snprintf(text, sizeof text, "%s", s.c_str());
    VXTruncString(text, sizeof text, right - left - 2, 0);
    QZSetColor(nullptr, color, false);
    VXMoveTo(int16_t(row.left + left + 2), int16_t(row.bottom - 4));
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), 0x08000100);
}

// A small down arrow from x, centred on the row.
void DrawPopupArrow(int16_t x, const Rect& row) {
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    const int16_t v = int16_t((row.top + row.bottom) / 2 - 2);
    for (int16_t i = 0; i < 4; ++i) {
        VXMoveTo(int16_t(x + i), int16_t(v + i));
        VXLineTo(int16_t(x + 6 - i), int16_t(v + i));
    }
}

// The rows a popup opened on `row` acts on: the row alone, or every selected row when the row is
// one of two or more selected.
std::vector<int32_t> Targets(VXWindowRecordTag* list, int32_t row) {
    std::vector<int32_t> selected;
    for (int32_t r = VXGetListViewSelection(list, -1); r >= 0; r = VXGetListViewSelection(list, r + 1)) selected.push_back(r);
    if (selected.size() >= 2 && std::find(selected.begin(), selected.end(), row) != selected.end()) return selected;
    return {row};
}

void SetPinTypeOfTargets(SymbolInfoDialogRecord& r, VXWindowRecordTag* list, int32_t row, int32_t type) {
    for (int32_t target : Targets(list, row)) {
        PinEntry* e = RowEntry(r, target);
        if (!e || (e->data && GetPinDataType(e->data, false) == type)) continue;
        ChangeSymbolPinData(r, *e, type, false, nullptr);
        VXInvalListViewItem(list, target);
    }
}

// A click's distance from its row's left edge.
int16_t ClickX(VXWindowRecordTag* window, const VXListViewHookRecord* record) {
    Rect row;
    VXGetListViewItemRect(window, record->index, &row);
    return int16_t(record->event->u.mouse.longH - row.left);
}

int32_t PinsPanelListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    SymbolInfoDialogRecord* r = gInfo;
    if (!r) return 0;
    PinEntry* e = RowEntry(*r, record->index);
    switch (message) {
        case kVXListDrawItem: {
            StdDrawHiliteEditListViewItem(window, record);
            if (!e) return 1;
            const Rect& row = record->rect;
            DrawListRowGrid(row, {kPinsColumns[1], kPinsColumns[2], kPinsColumns[3]});
            const VXColor hiddenColor = 0x030000FF, grey = 0x00666666;
            DrawPopupArrow(int16_t(row.left + 8), row);
            DrawText(PinField(*r, *e, kPinFieldPinType), row, 23, 122, e->hidden ? hiddenColor : kVXDefaultForeColor);
            DrawText(PinField(*r, *e, kPinFieldPinNumber), row, 126, 188, e->hidden ? hiddenColor : grey);
            if (!(record->te && record->column == kPinFieldPinName))
                DrawText(PinField(*r, *e, kPinFieldPinName), row, 192, 298, kVXDefaultForeColor);
            if (!(record->te && record->column == kPinFieldSignal)) {
                const std::string signal = PinField(*r, *e, kPinFieldSignal);
                if (!e->hidden && signal.empty()) DrawText("not connected", row, 302, row.right - row.left - 2, 0x01FF0000);
                else DrawText(signal, row, 302, row.right - row.left - 2, e->hidden ? kVXDefaultForeColor : grey);
            }
            QZSetColor(nullptr, kVXDefaultForeColor, false);
            return 1;
        }
        case kVXListMouseDown: {
            if (!record->event || !e) return 0;
            const int16_t x = ClickX(window, record);
            if (x < 23) {
                const uint8_t type = e->data ? GetPinDataType(e->data, true) : 0;
                Rect row;
                VXGetListViewItemRect(window, record->index, &row);
                const uint16_t command = TrackListPopupMenu(window, Point{row.bottom, int16_t(row.left + 4)}, "Pin Type",
                                                            kPinTypeMenuFirstItem, PinTypeNames(type), type & 0x3F);
                if (command) SetPinTypeOfTargets(*r, window, record->index, command - kPinTypeMenuFirstItem);
                return kVXListClickHandled;
            }
            if (x >= kPinsColumns[2] && x < kPinsColumns[3]) record->column = kPinFieldPinName;
            else if (x >= kPinsColumns[3] && e->hidden) record->column = kPinFieldSignal;
            return 0;
        }
        case kVXListClickInEditor: {
            // The edit field is wider than its cell: a click beside the cell belongs to the row.
            const int16_t x = ClickX(window, record);
            const bool name = record->column == kPinFieldPinName;
            return (name ? x < kPinsColumns[2] || x >= kPinsColumns[3] : x < kPinsColumns[3]) ? 2 : 0;
        }
        case kVXListEditRect: {
            const bool name = record->column == kPinFieldPinName;
            record->rect = Rect{1, name ? int16_t(192) : int16_t(302), 16, name ? int16_t(298) : int16_t(700)};
            record->fieldWidth = 400;
            return 0;
        }
        case kVXListFetchText:
            if (e) std::snprintf(record->text, kVXListCellTextSize, "%s", PinField(*r, *e, record->column).c_str());
            return 0;
        case kVXListEditState: return 2;
        case kVXListDirtyTest: return e && PinField(*r, *e, record->column) == record->text ? 1 : 0;
        case kVXListMoveEditCell: return e && !e->hidden && record->column == kPinFieldSignal ? 1 : 0;
        case kVXListCommit: {
            if (!e) return 1;
            char text[kText];
            std::snprintf(text, sizeof text, "%s", record->text);
            Trim(text);
            if (PinField(*r, *e, record->column) == text) return 1;
            if (record->column == kPinFieldPinName && !*text && e->hidden) {
                std::snprintf(record->text, kVXListCellTextSize, "%s", PinField(*r, *e, kPinFieldPinName).c_str());
                return 2;
            }
            ChangeSymbolPinData(*r, *e, -1, record->column == kPinFieldSignal, text);
            VXInvalListViewItem(window, record->index);
            return 1;
        }
        case kVXListEditNavigate: return VXFlushListViewEditField(window) ? 0x180002 : 0;
        default: return 0;
    }
}

// ---- Port Pins panel ----

std::string PortTypeText(uint16_t flags) {
    static const char* const kTypes[] = {"Unspecified", "Input", "Output", "Bidirectional"};
    return kTypes[(flags & kSheetPortTypeMask) >> 4];
}

// Keeps the new-port row at the list's end (a row of its own in the list view too).
void EnsureNewPortRow(VXWindowRecordTag* window, SymbolInfoDialogRecord& r) {
    if (!CreatePortEntryIfNeeded(r.ports)) return;
    const int32_t index = int32_t(r.ports.size()) - 1;
    VXInsertListViewItemData(window, index, &index, 1);
}

int32_t PortListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    SymbolInfoDialogRecord* r = gInfo;
    if (!r) return 0;
    const bool valid = record->index >= 0 && record->index < int32_t(r->ports.size());
    PortRow* port = valid ? &r->ports[size_t(record->index)] : nullptr;
    switch (message) {
        case kVXListDrawItem: {
            StdDrawHiliteEditListViewItem(window, record);
            if (!port) return 1;
            const Rect& row = record->rect;
            DrawListRowGrid(row, {20, 220, 255, 290});
            if (!(record->te && record->column == 1)) DrawText(port->name, row, 22, 217, kVXDefaultForeColor);
            if (port->flags & kPortVisible) DrawText("\xE2\x9C\x93", row, 230, 255, kVXDefaultForeColor);
            if (port->flags & kPortBus) DrawText("\xE2\x9C\x93", row, 265, 290, kVXDefaultForeColor);
            DrawText(PortTypeText(port->flags), row, 292, row.right - row.left - 25, kVXDefaultForeColor);
            DrawPopupArrow(int16_t(row.right - 16), row);
            QZSetColor(nullptr, kVXDefaultForeColor, false);
            return 1;
        }
        case kVXListMouseDown: {
            if (!record->event || !port) return 0;
            const int16_t x = ClickX(window, record);
            Rect row;
            VXGetListViewItemRect(window, record->index, &row);
            if (x >= row.right - row.left - 19) {
                const uint16_t command =
                    TrackListPopupMenu(window, Point{row.bottom, int16_t(row.right - 19)}, "Port Type", 1,
                                       {"Unspecified", "Input", "Output", "Bidirectional"},
                                       (port->flags & kSheetPortTypeMask) >> 4);
                if (command >= 1 && command <= 4)
                    for (int32_t target : Targets(window, record->index)) {
                        PortRow& p = r->ports[size_t(target)];
                        const uint16_t bits = uint16_t((command - 1) << 4);
                        if ((p.flags & kSheetPortTypeMask) == bits) continue;
                        p.flags = uint16_t((p.flags & ~kSheetPortTypeMask) | bits);
                        r->portsEdited = true;
                        VXInvalListViewItem(window, target);
                    }
                return kVXListClickHandled;
            }
            if (x >= 220 && x < 290) {
                port->flags ^= x < 255 ? kPortVisible : kPortBus;
                r->portsEdited = true;
                VXInvalListViewItem(window, record->index);
                return kVXListClickHandled;
            }
            if (x >= 20 && x < 220) record->column = 1;
            return 0;
        }
        case kVXListClickInEditor: {
            const int16_t x = ClickX(window, record);
            return x < 20 || x >= 220 ? 2 : 0;
        }
        case kVXListEditRect:
            record->rect = Rect{1, 22, 16, 217};
            record->fieldWidth = 500;
            return 0;
        case kVXListFetchText:
            if (port) std::snprintf(record->text, kVXListCellTextSize, "%s", port->name.c_str());
            return 0;
        case kVXListEditState:
            if (record->param.value == 0) EnsureNewPortRow(window, *r);
            return 2;
        case kVXListDirtyTest: return port && port->name == record->text ? 1 : 0;
        case kVXListCommit: {
            if (!port) return 1;
            char text[kText];
            std::snprintf(text, sizeof text, "%s", record->text);
            Trim(text);
            if (!*text) {
                std::snprintf(record->text, kVXListCellTextSize, "%s", port->name.c_str());
                return port->name.empty() ? 1 : 2;
            }
            if (port->name != text) {
                port->name = text;
                r->portsEdited = true;
            }
            return 1;
        }
        case kVXListEditNavigate:
            // The name is stored first; a port named in the last row gets a new row after it, so
            // that Return and Tab go on into the new port.
            if (!VXFlushListViewEditField(window)) return 0;
            EnsureNewPortRow(window, *r);
            return 0x180001;
        default: return 0;
    }
}

void ReadPorts(SymbolInfoDialogRecord& r) {
    r.ports.clear();
    Handle ports = SheetSymbolPortsOf(r.symbol);
    char name[kText];
    for (int32_t i = 0; i < CountSubSheetPorts(ports); ++i) {
        GetSubSheetPortName(ports, i, r.sheet->stringBlock, name, sizeof name);
        r.ports.push_back({name, SheetSymbolPortAt(ports, i)->flags, i});
    }
}

// The edited ports as a port data handle of the sheet (the caller frees it); none when memory fails.
Handle PortsHandle(SymbolInfoDialogRecord& r) {
    Handle original = SheetSymbolPortsOf(r.symbol);
    Handle ports = original ? CloneHandle(nullptr, original) : CreateSheetSymbolPorts();
    if (!ports) return nullptr;
    while (CountSubSheetPorts(ports) > 0) DeleteSubSheetPort(ports, CountSubSheetPorts(ports) - 1);
    for (const PortRow& p : r.ports)
        if (!p.name.empty() &&
            AppendSubSheetPort(ports, r.sheet->stringBlock, p.name.c_str(), p.flags,
                               p.slot < 0 ? kSheetPortNewSlot : uint16_t(p.slot)) < 0) {
            MemFree(ports);
            return nullptr;
        }
    return ports;
}

void FillListPane(SymbolInfoDialogRecord& r, int32_t rows, int32_t editRow, int16_t column) {
    VXDeleteListViewItemData(r.list, 0, -1);
    for (int32_t i = 0; i < rows; ++i) VXInsertListViewItemData(r.list, i, &i, 1);
    if (rows > 0) (void)VXSetListViewEditFocus(r.list, std::clamp(editRow, 0, rows - 1), column);  // 0 when gone
}

int32_t ListPaneHandler(VXWindowRecordTag*, VXEventRecord*) { return 0; }

void RefillPins(SymbolInfoDialogRecord& r);

int32_t HeaderHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolInfoDialogRecord* r = gInfo;
    if (!r || !r->header) return 0;
    if (event->kind == kVXUpdateEvent) {
        VXSetWindow(window);
        VXDrawColumnHeader(r->header);
        return 1;
    }
    if (event->kind == kVXMouseDownEvent && r->current == kPanelPins) {
        static const int32_t kFields[4] = {kPinFieldPinType, kPinFieldPinNumber, kPinFieldPinName, kPinFieldSignal};
        const int16_t column = VXTrackColumnHeader(window, r->header, event);
        if (column < 0 || column > 3) return 1;
        SetPinsListSortField(kFields[column]);
        RefillPins(*r);
        return 1;
    }
    return 0;
}

VXWindowRecordTag* MakeListPane(SymbolInfoDialogRecord& r, const std::vector<std::pair<int16_t, const char*>>& columns,
                                VXListViewHookProc hook) {
    constexpr int16_t kHeaderHeight = 17;
    Rect area{};
    VXGetClientRect(r.tabView, &area);
    const int16_t bottomSpace = hook == PortListViewHook ? 40 : 0;
    const Rect band{int16_t(area.top + 6), int16_t(area.left + 6), int16_t(area.top + 6 + kHeaderHeight),
                    int16_t(area.right - 6)};
    const Rect local{0, 0, kHeaderHeight, int16_t(band.right - band.left)};
    r.header = VXCreateColumnHeader(nullptr, &local);
    for (const auto& [position, title] : columns)
        if (r.header) (void)VXAddHeaderColumnEx(r.header, uint16_t(position), title, 0);  // a title too long is cut
    r.headerWindow = VXCreateChildWindow(0, 0, 0, r.tabView, &band, nullptr, HeaderHandler);
    Rect pane{band.bottom, band.left, int16_t(area.bottom - 6 - bottomSpace), band.right};
    VXWindowRecordTag* list = VXCreateChildWindow(0, kVXFlagVerticalScroller, 0, r.tabView, &pane, nullptr, ListPaneHandler);
    if (!list) return nullptr;
    VXInstallListView(list, nullptr, 17, sizeof(int32_t), kVXListEditCells | kVXListMultiSelect, hook);
    if (r.headerWindow) VXShowWindow(r.headerWindow);
    VXShowWindow(list);
    return list;
}

void DestroyListPane(SymbolInfoDialogRecord& r) {
    if (r.list) {
        (void)VXFlushListViewEditField(r.list);  // a refused name keeps its old text
        VXDestroyWindow(r.list);
        r.list = nullptr;
    }
    if (r.headerWindow) VXDestroyWindow(r.headerWindow);
    r.headerWindow = nullptr;
    if (r.header) VXDestroyColumnHeader(r.header);
    r.header = nullptr;
}

void SetupPinsPanel(SymbolInfoDialogRecord& r) {
    if (!r.pinsBuilt) CreatePinListDataTables(r);
    r.pinSet = CurrentPinSet(r);
    BuildPinListSortMap(r);
    r.list = MakeListPane(r, {{0, "Pin Type"}, {124, "Pin No."}, {190, "Pin Name"}, {300, "Signal Name"}},
                          PinsPanelListViewHook);
    if (!r.list) return;
    int32_t editRow = 0;
    if (r.text && r.text->kind >= 0x4000 && r.text->kind < 0xC000)
        for (int32_t row = 0; row < int32_t(r.map.size()); ++row)
            if (PinEntry* e = RowEntry(r, row); e && !e->hidden && e->index == (r.text->kind & 0x0FFF)) editRow = row;
    FillListPane(r, int32_t(r.map.size()), editRow, kPinFieldPinName);
}

void RefillPins(SymbolInfoDialogRecord& r) {
    if (!r.list) return;
    (void)VXFlushListViewEditField(r.list);  // a refused name keeps its old text
    (void)VXSetListViewEditFocus(r.list, -1, 0);
    for (int32_t row = 0; row < VXCountListViewItems(r.list); ++row) VXSetListViewItemSelected(r.list, row, false);
    BuildPinListSortMap(r);
    VXInvalidateHierarchy(r.list);
}

void SetupPortsPanel(SymbolInfoDialogRecord& r) {
    r.list = MakeListPane(r, {{0, ""}, {20, "Port Name"}, {220, "Vis."}, {255, "Bus"}, {290, "Port Type"}},
                          PortListViewHook);
    if (!r.list) return;
    CreatePortEntryIfNeeded(r.ports);
    int32_t editRow = 0;
    if (r.text && (r.text->kind & 0xC000) == 0x8000) {
        const int32_t port = r.text->kind & 0x0FFF;
        for (int32_t i = 0; i < int32_t(r.ports.size()); ++i)
            if (r.ports[size_t(i)].slot == port) editRow = i;
    }
    FillListPane(r, int32_t(r.ports.size()), editRow, 1);
    VXSetItemEnabled(r.tabView, kPortsReread, r.sheetName[0] != 0);
}

void RereadPorts(SymbolInfoDialogRecord& r) {
    FileSpec spec{};
    const DirectoryRef* hint = r.haveChosenSheet ? &r.chosenSheet.directory : nullptr;
    if (!FindSubSheetFile(r.sheet->project, r.sheet, r.sheetName, hint, &spec)) {
        VXDisplayMessage(kSubSheetNotFoundMessage);
        return;
    }
    if (r.list) (void)VXSetListViewEditFocus(r.list, -1, 0);  // the focus leaves the list
    Handle ports = PortsHandle(r);
    if (!ports) return;
    if (OSStatus st = SynchSheetSymbolPorts(ports, r.sheet->stringBlock, &spec)) {
        VXErrorReport(st);
    } else {
        std::vector<PortRow> rows;
        char name[kText];
        for (int32_t i = 0; i < CountSubSheetPorts(ports); ++i) {
            GetSubSheetPortName(ports, i, r.sheet->stringBlock, name, sizeof name);
            const uint16_t slot = SheetSymbolPortAt(ports, i)->slot;
            rows.push_back({name, SheetSymbolPortAt(ports, i)->flags, slot == kSheetPortNewSlot ? -1 : int32_t(slot)});
        }
        r.ports = std::move(rows);
        r.portsEdited = true;
        CreatePortEntryIfNeeded(r.ports);
        if (r.list) FillListPane(r, int32_t(r.ports.size()), 0, 1);
    }
    MemFree(ports);
}

// ---- Panels ----

VXColor FieldColor(const SymbolInfoDialogRecord& r, int16_t item) {
    const bool source = item == kCompSourceField || item == kSymSourceField;
    return source && r.noSource ? kMissingSourceColor : kVXDefaultForeColor;
}

// A drawn field: its text cut to the well's width, the missing source in red.
void DrawComponentField(VXWindowRecordTag* window, int16_t item) {
    const SymbolInfoDialogRecord* r = gInfo;
    Rect well{};
    VXGetItemPosition(window, item, &well);
    VXSetWindow(window);
    QZSetColor(nullptr, kFieldWellColor, false);
    VXRectDispatch(&well, 1);
    QZSetColor(nullptr, kFieldFrameColor, false);
    VXFrameRect(&well);
    if (!r || item < 0 || item > kSymSourceField) return;
    char text[kText];
    std::snprintf(text, sizeof text, "%s", r->fields[item].c_str());
    (void)VXTruncString(text, sizeof text, well.right - well.left - 8, 0);  // cut or not, it is drawn
    QZSetColor(nullptr, FieldColor(*r, item), false);
    VXMoveTo(int16_t(well.left + 4), int16_t(well.bottom - 5));
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), 0x08000100);
}

void SetComponentField(SymbolInfoDialogRecord& r, int16_t item, const char* text) {
    if (r.fields[item] == text) return;
    r.fields[item] = text;
    Rect well{};
    VXGetItemPosition(r.tabView, item, &well);
    VXInvalRect(r.tabView, &well);
    if (item == kCompNameField) {  // the name list's chooser shows it too
        VXGetItemPosition(r.tabView, kCompNameList, &well);
        VXInvalRect(r.tabView, &well);
    }
}

void ShowComponentFields(SymbolInfoDialogRecord& r) {
    ComponentRecord* c = r.symbol->component;
    StringBlock block = r.sheet->stringBlock;
    char text[kText];
    GetCompName(c, block, r.nameIndex, text);
    SetComponentField(r, kCompNameField, text);
    if (c->sectionCount < 2) std::strcpy(text, "n/a");
    else if (AnnotSuffixEnabled(r.sheet->project)) GetCompSlotSuffix(c, r.slot, block, text);
    else std::strcpy(text, "Default");
    SetComponentField(r, kCompSlotField, text);
    if (c->packageCount == 0) std::strcpy(text, "None Defined");
    else GetCompPackageName(c, block, r.package, text);
    SetComponentField(r, kCompPackageField, text);
    char footprint[kText] = "";
    if (GetSymbolAttribute(r.symbol, block, "Footprint", footprint) & 0x8000) *footprint = 0;
    // The package's own footprint (its name when it has none): the field shows the footprint
    // alone, not the component's name run together with it.
    if (!*footprint && c->packageCount > 0) {
        GetCompPackageFootprint(c, block, r.package, footprint);
        if (!*footprint) GetCompPackageName(c, block, r.package, footprint);
    }
    SetComponentField(r, kCompFootprintField, footprint);
}

void ShowSource(SymbolInfoDialogRecord& r, int16_t item) {
    char text[kText] = "";
    r.noSource = r.symbol->libraryName == kNoLibraryName;
    if (r.noSource) {
        std::snprintf(text, sizeof text, "%s", kNoSourceText);
    } else if (*r.sheetName && (r.symbol->flags & kSymbolFlagFileSymbol)) {
        std::snprintf(text, sizeof text, "%s", r.sheetName);
    } else {
        ExtractStringSpec(r.symbol->libraryName, r.sheet->stringBlock, text, sizeof text);
        if (!*text) std::strcpy(text, "N/A");
    }
    SetComponentField(r, item, text);
}

// The chooser of the name list: the chosen name and an arrow, pressed while the list is open.
void DrawNameListButton(VXWindowRecordTag* window, int16_t item) {
    const SymbolInfoDialogRecord* r = gInfo;
    Rect button{};
    VXGetItemPosition(window, item, &button);
    VXSetWindow(window);
    QZSetColor(nullptr, r && r->nameListUp ? kPressedButtonColor : kButtonColor, false);
    VXRectDispatch(&button, 1);
    QZSetColor(nullptr, kFieldFrameColor, false);
    VXFrameRect(&button);
    if (!r) return;
    char text[kText];
    std::snprintf(text, sizeof text, "%s", r->fields[kCompNameField].c_str());
    (void)VXTruncString(text, sizeof text, button.right - button.left - 30, 0);  // cut or not, it is drawn
    QZSetColor(nullptr, kVXDefaultForeColor, false);
    VXMoveTo(int16_t(button.left + 6), int16_t(button.bottom - 5));
    VXDrawTextWithEncoding(text, int32_t(std::strlen(text)), 0x08000100);
    DrawPopupArrow(int16_t(button.right - 16), button);
}

void InvalItem(VXWindowRecordTag* w, int16_t item) {
    Rect rect{};
    VXGetItemPosition(w, item, &rect);
    VXInvalRect(w, &rect);
}

// The names in a scrolling list below the chooser, the chosen one marked; a pick chooses it.
void TrackNameList(SymbolInfoDialogRecord& r) {
    ComponentRecord* c = r.symbol->component;
    VXWindowRecordTag* w = r.tabView;
    VXWindowRecordTag* popup = VXCreatePopupListBox(kVXListBoxIndented, 0, kNameListRows);
    if (!popup) return;
    char name[kText];
    for (int32_t i = 0; i < c->nameCount; ++i) {
        GetCompName(c, r.sheet->stringBlock, i, name);
        VXAddListItem(popup, kVXPopupListBoxItem, name, i);
    }
    VXSetListItemMarkCode(popup, kVXPopupListBoxItem, r.nameIndex, 0x12);
    VXAutoSizePopupListBox(popup);
    Rect button{};
    VXGetItemPosition(w, kCompNameList, &button);
    Point where{button.bottom, button.left};
    VXTranslatePoints(w, nullptr, &where, 1);
    r.nameListUp = true;
    InvalItem(w, kCompNameList);
    VXUpdateWindow(w);
    const int32_t chosen = VXTrackPopupListBox(popup, w, where, 0, r.nameIndex);
    VXDestroyWindow(popup);
    r.nameListUp = false;
    if (chosen >= 0 && chosen < c->nameCount) r.nameIndex = chosen;
    ShowComponentFields(r);
    InvalItem(w, kCompNameList);
}

void InstallDrawnFields(SymbolInfoDialogRecord& r, std::initializer_list<int16_t> items) {
    for (int16_t item : items) VXSetUserItemProcWithInset(r.tabView, item, DrawComponentField, 0);
}

void FillPopup(VXWindowRecordTag* w, int16_t item, const std::vector<std::string>& entries, int32_t chosen) {
    for (int32_t i = 0; i < int32_t(entries.size()); ++i) VXAddListItem(w, item, entries[size_t(i)].c_str(), i);
    if (chosen >= 0 && chosen < int32_t(entries.size())) VXSelectListItem(w, item, chosen, true);
    VXSetItemEnabled(w, item, entries.size() >= 2);
}

void LoadComponentPanel(SymbolInfoDialogRecord& r) {
    VXWindowRecordTag* w = r.tabView;
    ComponentRecord* c = r.symbol->component;
    StringBlock block = r.sheet->stringBlock;
    char text[kText];
    VXSetItemText(w, kCompDesignator, r.designator);
    VXSetItemChecked(w, kCompShowDesignator, r.showDesignator);
    VXSetItemChecked(w, kCompShowName, r.showName);
    std::vector<std::string> names, slots, packages;
    for (int32_t i = 0; i < c->nameCount; ++i) {
        GetCompName(c, block, i, text);
        names.push_back(text);
    }
    // The slot menu lists the sections that this drawing serves; its entries carry section indexes.
    std::vector<int32_t> sections;
    if (c->sectionCount >= 2)
        for (int32_t s = 0; s < c->sectionCount; ++s)
            if (DoesCompSectionUseSymbol(c, s, r.symbol->kind.comp.symbol)) {
                GetCompSlotSuffix(c, s, block, text);
                slots.push_back(text);
                sections.push_back(s);
            }
    for (int32_t p = 0; p < c->packageCount; ++p) {
        GetCompPackageName(c, block, p, text);
        packages.push_back(text);
    }
    const bool nameList = int32_t(names.size()) > kNameMenuLimit;
    if (nameList) VXSetUserItemProcWithInset(w, kCompNameList, DrawNameListButton, 0);
    else FillPopup(w, kCompNamePopup, names, r.nameIndex);
    VXSetItemVisible(w, kCompNamePopup, !nameList);
    VXSetItemVisible(w, kCompNameList, nameList);
    const auto at = std::find(sections.begin(), sections.end(), r.slot);
    FillPopup(w, kCompSlotPopup, slots, at == sections.end() ? -1 : int32_t(at - sections.begin()));
    for (int32_t i = 0; i < int32_t(sections.size()); ++i) VXSetListItemReference(w, kCompSlotPopup, i, sections[size_t(i)]);
    if (!AnnotSuffixEnabled(r.sheet->project)) VXSetItemEnabled(w, kCompSlotPopup, false);
    FillPopup(w, kCompPackagePopup, packages, r.package);
    InstallDrawnFields(r, {kCompNameField, kCompSlotField, kCompPackageField, kCompFootprintField, kCompSourceField});
    ShowComponentFields(r);
    ShowSource(r, kCompSourceField);
}

void LoadPanel(SymbolInfoDialogRecord& r, int32_t panel) {
    VXWindowRecordTag* w = r.tabView;
    switch (panel) {
        case kPanelComponent: LoadComponentPanel(r); break;
        case kPanelSymbol:
            if (*r.designator) VXSetItemText(w, kSymDesignator, r.designator);
            VXSetItemText(w, kSymName, r.name);
            VXSetItemChecked(w, kSymShowName, r.showName || r.newSymbol);
            VXSetItemChecked(w, kSymShowDesignator, r.showDesignator);
            VXSelectRadioButton(w, r.choice);
            InstallDrawnFields(r, {kSymSourceField});
            ShowSource(r, kSymSourceField);
            break;
        case kPanelSheetSymbol:
            VXSetItemText(w, kSheetSymDesignator, r.designator);
            VXSetItemText(w, kSheetSymPrefix, r.prefix);
            VXSetItemText(w, kSheetSymFile, r.sheetName);
            VXSetItemText(w, kSheetSymName, r.name);
            // A sheet symbol just drawn shows its designator: it is what tells the instances
            // of a child sheet apart on the parent.
            VXSetItemChecked(w, kSheetSymShowName, r.showName || r.newSymbol);
            VXSetItemChecked(w, kSheetSymShowDesignator, r.showDesignator || r.newSymbol);
            break;
        case kPanelSubSheet:
            VXSetItemText(w, kSubSheetName, r.sheetName);
            VXSetItemChecked(w, kSubSheetBox1000, (r.flags & 0x1000) != 0);
            VXSetItemChecked(w, kSubSheetBox2000, (r.flags & 0x2000) != 0);
            break;
        default: break;
    }
}

uint16_t PanelTemplate(int32_t panel) {
    switch (panel) {
        case kPanelComponent: return kComponentPanelTemplate;
        case kPanelSymbol: return kSymbolPanelTemplate;
        case kPanelSheetSymbol: return kSheetSymbolPanelTemplate;
        case kPanelPortPins: return kPortPinsPanelTemplate;
        case kPanelSubSheet: return kSubSheetPanelTemplate;
        default: return 0;
    }
}

void ReadText(VXWindowRecordTag* w, int16_t item, char* out, size_t size, bool trim) {
    char text[kText];
    VXGetItemText(w, item, text);
    if (trim) Trim(text);
    if (size == 0) return;
    const size_t length = std::min(std::strlen(text), size - 1);  // a longer text is cut at the field's size
    std::memcpy(out, text, length);
    out[length] = 0;
}

void FlushSymbolInfoTabPanel(SymbolInfoDialogRecord& r) {
    VXWindowRecordTag* w = r.tabView;
    switch (r.current) {
        case kPanelComponent: {
            ReadText(w, kCompDesignator, r.designator, sizeof r.designator, true);
            if (char* dot = std::strchr(r.designator, '.')) *dot = 0;  // a slot is chosen in its menu
            r.showDesignator = VXGetItemChecked(w, kCompShowDesignator) != 0;
            r.showName = VXGetItemChecked(w, kCompShowName) != 0;
            break;
        }
        case kPanelSymbol:
            ReadText(w, kSymDesignator, r.designator, sizeof r.designator, true);
            ReadText(w, kSymName, r.name, sizeof r.name, true);
            r.showDesignator = VXGetItemChecked(w, kSymShowDesignator) != 0 && *r.designator;
            r.showName = VXGetItemChecked(w, kSymShowName) != 0 && *r.name;
            r.choice = VXGetSelectedRadioButton(w, kSymChoiceNone);
            break;
        case kPanelSheetSymbol:
            ReadText(w, kSheetSymPrefix, r.prefix, sizeof r.prefix, false);
            ReadText(w, kSheetSymFile, r.sheetName, sizeof r.sheetName, false);
            ReadText(w, kSheetSymDesignator, r.designator, sizeof r.designator, true);
            ReadText(w, kSheetSymName, r.name, sizeof r.name, true);
            // An empty designator still shows: the default one ("X?") until it is annotated.
            r.showDesignator = VXGetItemChecked(w, kSheetSymShowDesignator) != 0;
            r.showName = VXGetItemChecked(w, kSheetSymShowName) != 0 && *r.name;
            break;
        case kPanelPins:
        case kPanelPortPins: DestroyListPane(r); break;
        case kPanelAttributes:
            if (r.attributeEditor &&
                TakeSymbolEditorAttributes(r.attributeEditor, &r.attributes, 0, &r.attributeCount, r.sheet->stringBlock, false))
                r.attributesChanged = true;
            r.attributeEditor = nullptr;  // its window goes with the panel's layer
            break;
        case kPanelSubSheet:
            ReadText(w, kSubSheetName, r.sheetName, sizeof r.sheetName, false);
            r.flags = (r.flags & ~uint32_t(0x3000)) | (VXGetItemChecked(w, kSubSheetBox1000) ? 0x1000u : 0u) |
                      (VXGetItemChecked(w, kSubSheetBox2000) ? 0x2000u : 0u);
            break;
        default: break;
    }
}

void SetSymbolInfoTabPanel(SymbolInfoDialogRecord& r, int32_t tab) {
    if (tab < 0 || tab >= r.tabCount) return;
    const int32_t panel = r.panels[tab];
    if (panel == r.current || panel < 0 || panel >= int32_t(std::size(r.loaded))) return;
    if (r.current >= 0) FlushSymbolInfoTabPanel(r);
    VXSetCurrentViewLayer(r.tabView, tab);
    VXSetSelectedTab(r.dialog, kSymInfoTabs, tab);
    r.current = panel;
    if (!r.loaded[panel]) {
        if (const uint16_t view = PanelTemplate(panel)) VXLoadControlsForViewLayer(r.tabView, tab, view, 0, 0, 0);
        LoadPanel(r, panel);
        r.loaded[panel] = true;
    }
    if (panel == kPanelAttributes) {
        r.attributeEditor = SymbolEditorAttributePanel(r.tabView, r.attributes, 0, r.attributeCount, r.sheet->stringBlock,
                                                       kComponentAttributeNames, true, false);
        // Opened on an attribute text: editing starts on that attribute's row, once.
        if (r.text && r.text->kind == kTextKindSymbolAttribute) {
            r.attributeRowStarted = EditSymbolEditorAttributeOfText(r.attributeEditor, r.text, r.sheet->stringBlock,
                                                                    r.attributes, 0, r.attributeCount);
            r.text = nullptr;  // not found: row 0 stays in edit
        }
    }
    if (panel == kPanelPins) SetupPinsPanel(r);
    if (panel == kPanelPortPins) SetupPortsPanel(r);
    if (panel == kPanelComponent) ShowComponentFields(r);
    const int16_t main = panel == kPanelComponent     ? kCompDesignator
                         : panel == kPanelSymbol      ? kSymDesignator
                         : panel == kPanelSheetSymbol ? kSheetSymDesignator
                         : panel == kPanelSubSheet    ? kSubSheetName
                                                      : 0;
    if (main) VXSelectItemText(r.tabView, main, 0, 32767);
}

// A sheet file chosen for an edit field; false (with a beep) for another file.
bool ChooseSheetFile(SymbolInfoDialogRecord& r, int16_t item) {
    FileSpec spec{};
    if (!VXAskFileOpen("Select Sheet File", "", 0, &spec, nullptr)) return false;
    if (IsSheetFile(&spec) != 0) {
        VXBeep();
        return false;
    }
    VXSetItemText(r.tabView, item, spec.name);
    VXSelectItemText(r.tabView, item, 0, 32767);
    r.chosenSheet = spec;
    r.haveChosenSheet = true;
    return true;
}

// ---- Applying ----

bool FixOverlappingNameAndRefDes(SheetRecord* sheet, SymbolRecord* symbol, TextRecord* name, TextRecord* designator,
                                 Rect* area) {
    if (!name || !designator) return false;
    if (std::abs(name->position.h - designator->position.h) > 3 || std::abs(name->position.v - designator->position.v) > 3)
        return false;
    AutoPositionSymbolText(sheet, symbol, name, false);
    AutoPositionSymbolText(sheet, symbol, designator, false);
    VXUnionRect(area, &name->bounds, area);
    VXUnionRect(area, &designator->bounds, area);
    return true;
}

uint32_t ShowText(SymbolInfoDialogRecord& r, uint16_t kind, bool show, Rect* area) {
    TextRecord* text = RetrieveSymbolText(r.sheet, r.symbol, kind);
    if (!text && !show) return 0;
    return SetSymbolTextVisible(r.sheet, r.symbol, nullptr, kind, show, area, nullptr) ? kReasonText : 0;
}

uint32_t UpdateCompSymbolInformation(SymbolInfoDialogRecord& r, Rect* area) {
    SheetRecord* sheet = r.sheet;
    SymbolRecord* symbol = r.symbol;
    ComponentRecord* c = symbol->component;
    uint32_t bits = 0;
    if (r.nameIndex != symbol->kind.comp.nameIndex) {
        symbol->kind.comp.nameIndex = uint16_t(r.nameIndex);
        if (TextRecord* text = RetrieveSymbolText(sheet, symbol, kTextKindSymbolName))
            BuildSymbolNameText(sheet, symbol, text, false);
        bits |= kReasonContent;
    }
    bool packageChanged = false;
    if (c->packageCount > 0 && r.package != symbol->kind.comp.package) {
        symbol->kind.comp.package = uint8_t(r.package);
        packageChanged = true;
        bits |= kReasonContent;
    }
    const int32_t annotation = ChangeSymbolsAnnotation(sheet, symbol, r.designator, r.slot, area);
    bits |= uint32_t(annotation);
    if (packageChanged && !annotation)
        if (TextRecord* text = RetrieveSymbolText(sheet, symbol, kTextKindCompDesignator))
            BuildSymbolReferenceText(sheet, symbol, text, false);
    // Edited pins make a component of the symbol's own.
    ComponentRecord* copy = nullptr;
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    const auto intern = [&](PinEntry& e, int32_t set, uint16_t symbolIndex) {
        if (!e.changed || !e.data) return;
        const int32_t id = AddPinDataToTable(sheet->pinDataTable, e.data);
        if (id < 0) return;
        if (!copy && !(copy = DuplicateComponent(c))) return;
        SetCompSymbolPinDataId(copy, set, symbolIndex, e.index, uint32_t(id));
    };
    for (PinEntry& e : r.pins) intern(e, pinSet, symbol->kind.comp.symbol);
    for (int32_t set = 0; set < 4; ++set)
        for (PinEntry& e : r.hidden[set]) intern(e, set, kCompHiddenPins);
    if (copy) {
        symbol->component = InstallCompInSheet(sheet, copy);
        char name[kText];
        for (PinEntry& e : r.pins) {
            if (!e.changed) continue;
            if (TextRecord* text = RetrieveSymbolText(sheet, symbol, uint16_t(kTextKindPinName | uint16_t(e.index)))) {
                GetPinDataName(e.data, sheet->stringBlock, name);
                (void)ChangeSheetText(sheet, text, name, area);  // 0 when it showed the name already
            }
        }
        bits |= kReasonContent;
    }
    bits |= ShowText(r, kTextKindSymbolName, r.showName, area);
    bits |= ShowText(r, kTextKindCompDesignator, r.showDesignator, area);
    if (FixOverlappingNameAndRefDes(sheet, symbol, RetrieveSymbolText(sheet, symbol, kTextKindSymbolName),
                                    RetrieveSymbolText(sheet, symbol, kTextKindCompDesignator), area))
        bits |= kReasonText;
    return bits;
}

uint32_t UpdateNonCompSymbolInformation(SymbolInfoDialogRecord& r, Rect* area) {
    SheetRecord* sheet = r.sheet;
    SymbolRecord* symbol = r.symbol;
    StringBlock block = sheet->stringBlock;
    uint32_t bits = 0;
    const bool sheetSymbol = IsSheet(r);
    char old[kText];
    if (sheetSymbol) GetSheetSymbolName(symbol, block, old, sizeof old);
    else GetSymbolName(symbol, block, old);
    if (std::strcmp(old, r.name) != 0) {
        if (sheetSymbol) SetSheetSymbolName(symbol, block, r.name);
        else SetSymbolName(symbol, block, r.name);
        if (TextRecord* text = RetrieveSymbolText(sheet, symbol, kTextKindSymbolName)) {
            if (*r.name) BuildSymbolNameText(sheet, symbol, text, false);
        }
        bits |= kReasonContent;
    }
    bits |= ShowText(r, kTextKindSymbolName, r.showName && *r.name, area);
    if (sheetSymbol) {
        char prefix[kText];
        GetSymbolRefPrefix(symbol, block, prefix);
        if (std::strncmp(prefix, r.prefix, 15) != 0) {
            SetSymbolRefPrefix(symbol, block, r.prefix);
            bits |= kReasonText;
        }
    }
    bits |= uint32_t(ChangeSymbolsAnnotation(sheet, symbol, r.designator, 0, area));
    bits |= ShowText(r, SymbolDesignatorKind(symbol), r.showDesignator, area);
    if (FixOverlappingNameAndRefDes(sheet, symbol, RetrieveSymbolText(sheet, symbol, kTextKindSymbolName),
                                    RetrieveSymbolText(sheet, symbol, SymbolDesignatorKind(symbol)), area))
        bits |= kReasonText;
    if (!sheetSymbol) {
        const uint32_t choice = r.choice == kSymChoice10000 ? 0x10000u : r.choice == kSymChoice20000 ? 0x20000u : 0u;
        if ((symbol->flags & 0x30000) != choice) {
            symbol->flags = (symbol->flags & ~0x30000u) | choice;
            bits |= kReasonContent;
        }
    } else if (r.portsEdited) {
        if (Handle ports = PortsHandle(r)) {
            bits |= uint32_t(InstallSheetSymbolPorts(sheet, symbol, ports, area));
            MemFree(ports);
        }
    }
    return bits;
}

void ApplySymbolInformation(SymbolInfoDialogRecord& r) {
    SheetRecord* sheet = r.sheet;
    SymbolRecord* symbol = r.symbol;
    Rect area{};
    uint32_t bits = 0;
    if (r.attributesChanged && r.attributes) {
        // The edited list replaces the symbol's, less the tracking copies of attributes it dropped.
        int16_t count = r.attributeCount;
        Handle kept = PurgeTrackingAttributes(r.attributes, 0, &count, sheet->stringBlock, true);
        r.attributes = nullptr;
        if (symbol->attributes) MemFree(symbol->attributes);
        symbol->attributes = kept;
        symbol->attributeCount = uint16_t(kept ? count : 0);
        bits |= kReasonContent;
    }
    bits |= IsComponent(r) ? UpdateCompSymbolInformation(r, &area) : UpdateNonCompSymbolInformation(r, &area);
    char old[kText] = "";
    const bool hadSheet = GetSymbolSheetName(symbol, sheet->stringBlock, old) != 0;
    if (std::strcmp(old, r.sheetName) != 0) {
        SetSymbolSheetName(symbol, sheet->stringBlock, r.sheetName);
        bits |= kReasonSubSheet | kReasonContent;
    } else if (hadSheet && (bits & kReasonHierarchy)) {
        bits |= kReasonSubSheet;
    }
    if ((symbol->flags & 0x80) != (r.flags & 0x80)) {
        symbol->flags ^= 0x80;
        bits |= kReasonText;
    }
    if ((symbol->flags & 0x3000) != (r.flags & 0x3000)) {
        symbol->flags = (symbol->flags & ~0x3000u) | (r.flags & 0x3000);
        bits |= kReasonContent;
    }
    if ((symbol->flags & 0x4000) != (r.flags & 0x4000)) {
        Rect bounds{};
        GetSymbolInstanceBounds(sheet, symbol, 1, &bounds);
        VXUnionRect(&area, &bounds, &area);
        symbol->flags ^= 0x4000;
        GetSymbolInstanceBounds(sheet, symbol, 1, &bounds);
        VXUnionRect(&area, &bounds, &area);
        ReplaceSymbolsText(sheet, symbol, &area);
        if (IsComponent(r))
            if (TextRecord* text = RetrieveSymbolText(sheet, symbol, kTextKindCompDesignator))
                BuildSymbolReferenceText(sheet, symbol, text, false);
        bits |= kReasonText;
    }
    if (!bits) return;
    if (bits & (kReasonContent | kReasonHierarchy | kReasonText)) RebuildMacroizedText(sheet, symbol, &area);
    const SymbolTextHooks& hooks = GetSymbolTextHooks();
    if (hooks.buildDrawingSelectRgn) hooks.buildDrawingSelectRgn(sheet);
    if (hooks.setSheetModifiedStatus) hooks.setSheetModifiedStatus(sheet, (bits & ~uint32_t(4 | 32 | 64)) | 96);
    if (sheet->window) VXInvalidateHierarchy(sheet->window);
}

// ---- Entry ----

void CollectTextVisibilityStates(SymbolInfoDialogRecord& r) {
    for (auto* text = static_cast<TextRecord*>(LLFirst(r.sheet->textList)); text; text = text->link) {
        if (IsTextOwnedBySymbol(text, r.symbol) <= 0) continue;
        const bool shown = !(text->flags & kTextFlagHidden);
        if (text->kind == kTextKindSymbolName) r.showName = shown;
        else if (text->kind == kTextKindCompDesignator || text->kind == kTextKindDesignator) r.showDesignator = shown;
        else if (IsSheet(r) && (text->kind & 0xC000) == 0x8000)
            for (PortRow& p : r.ports)
                if (p.slot == (text->kind & 0x0FFF))
                    p.flags = uint16_t(shown ? p.flags | kPortVisible : p.flags & ~kPortVisible);
    }
}

}  // namespace

void SetPinsListSortField(int32_t field) {
    const auto shiftIn = [](int32_t f) {
        for (int32_t i = 3; i > 0; --i)
            gPinsListSortField[i] = gPinsListSortField[i - 1] == f ? 0 : gPinsListSortField[i - 1];
        gPinsListSortField[0] = f;
    };
    if (gPinsListSortField[0] == 0)
        for (int32_t f : {2, 1, 3, 4}) shiftIn(f);
    shiftIn(field);
}

bool CreatePortEntryIfNeeded(std::vector<PortRow>& ports) {
    if (!ports.empty() && ports.back().name.empty()) return false;
    const uint16_t flags = ports.empty() ? kPortVisible : ports.back().flags;
    ports.push_back({"", flags, -1});
    return true;
}

VXWindowRecordTag* GetSymbolInfoPanels() { return gInfo ? gInfo->tabView : nullptr; }
VXWindowRecordTag* GetSymbolInfoList() { return gInfo ? gInfo->list : nullptr; }

std::string GetSymbolInfoField(int16_t item, VXColor* color) {
    if (color) *color = kVXDefaultForeColor;
    if (!gInfo || item < 0 || item > kSymSourceField) return "";
    if (color) *color = FieldColor(*gInfo, item);
    return gInfo->fields[item];
}

int32_t SymbolInfoTabPanelHandler(VXWindowRecordTag*, VXEventRecord* event) {
    SymbolInfoDialogRecord* r = gInfo;
    if (r && event->kind == kVXMouseDownEvent && r->current == kPanelComponent &&
        VXGetItemVisible(r->tabView, kCompNameList)) {
        Rect button{};
        VXGetItemPosition(r->tabView, kCompNameList, &button);
        const Point at{event->u.mouse.v, event->u.mouse.h};
        if (VXPtInRect(at, &button)) {
            TrackNameList(*r);
            return 1;
        }
    }
    if (!r || event->kind != kVXControlEvent) return 0;
    VXWindowRecordTag* w = r->tabView;
    switch (event->u.control.item) {
        case kCompNamePopup: {
            const int32_t chosen = VXGetSelectedListItem(w, kCompNamePopup, -1);
            if (chosen >= 0) r->nameIndex = chosen;
            ShowComponentFields(*r);
            return 1;
        }
        case kCompSlotPopup: {
            const int32_t chosen = VXGetSelectedListItem(w, kCompSlotPopup, -1);
            if (chosen >= 0) r->slot = int32_t(VXGetListItemReference(w, kCompSlotPopup, chosen));
            ShowComponentFields(*r);
            return 1;
        }
        case kCompPackagePopup: {
            const int32_t chosen = VXGetSelectedListItem(w, kCompPackagePopup, -1);
            if (chosen >= 0) r->package = chosen;
            ShowComponentFields(*r);
            return 1;
        }
        case kSubSheetName: VXTruncateItemText(w, kSubSheetName, 31); return 1;
        case kCompDesignator: VXTruncateItemText(w, kCompDesignator, 63); return 1;
        case kSymDesignator: VXTruncateItemText(w, kSymDesignator, 63); return 1;
        case kSheetSymDesignator: VXTruncateItemText(w, kSheetSymDesignator, 63); return 1;
        case kSheetSymPrefix: VXTruncateItemText(w, kSheetSymPrefix, 15); return 1;
        case kSheetSymFile: VXTruncateItemText(w, kSheetSymFile, 31); return 1;
        case kSubSheetSelect: (void)ChooseSheetFile(*r, kSubSheetName); return 1;  // false: nothing taken
        case kSheetSymSelect: (void)ChooseSheetFile(*r, kSheetSymFile); return 1;
        case kPortsReread: RereadPorts(*r); return 1;
        default: return 0;
    }
}

void ForgetSymbolInfoPanels() {
    for (int32_t& panel : gLastPanelId) panel = -1;
}

int32_t SymbolInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SymbolInfoDialogRecord* r = gInfo;
    if (!r) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            r->dialog = window;
            VXSetItemChecked(window, kSymInfoBox80, (r->flags & 0x80) != 0);
            VXSetItemChecked(window, kSymInfoAlternate, (r->flags & 0x4000) != 0);
            VXSetItemVisible(window, kSymInfoAlternate, r->symbol->secondMapId >= 0 && !IsSheet(*r));
            if (IsSheet(*r)) VXSetItemVisible(window, kSymInfoBox80, false);
            static const char* const kTitles[7] = {"Component", "Symbol", "Sheet Symbol", " Pins ",
                                                   "Port Pins", "Attributes", "Sub-Sheet"};
            VXSetTabCount(window, kSymInfoTabs, r->tabCount);
            for (int32_t i = 0; i < r->tabCount; ++i) VXSetTabName(window, kSymInfoTabs, i, kTitles[r->panels[i]]);
            r->tabView = VXCreateLayeredView(window, nullptr, r->tabCount, kSymInfoTabs, SymbolInfoTabPanelHandler, nullptr);
            if (!r->tabView) return 0;
            int32_t& last = gLastPanelId[r->tabCount];
            if (r->newSymbol) {
                last = kPanelSheetSymbol;
            } else if (r->text) {
                if (r->text->kind >= 0x4000) last = IsSheet(*r) ? kPanelPortPins : kPanelPins;
                else if (r->text->kind == kTextKindSymbolAttribute) last = kPanelAttributes;
                else last = IsComponent(*r) ? kPanelComponent : IsSheet(*r) ? kPanelSheetSymbol : kPanelSymbol;
                if (r->text->kind < 0x4000 && r->text->kind != kTextKindSymbolAttribute) r->text = nullptr;
            }
            int32_t tab = 0;
            for (int32_t t = r->tabCount - 1; t >= 1; --t)
                if (r->panels[t] == last) {
                    tab = t;
                    break;
                }
            SetSymbolInfoTabPanel(*r, tab);
            if (r->attributeRowStarted) event->u.create.focusItem = 0;  // the keys stay in its row
            return 0;
        }
        case kVXControlEvent:
            if (event->u.control.item == kSymInfoTabs) {
                SetSymbolInfoTabPanel(*r, event->u.control.values.pair.second);
                return 1;
            }
            return 0;
        case kVXEndModalEvent:
            gLastPanelId[r->tabCount] = r->current;
            if (event->u.endModal.item == 1) {
                FlushSymbolInfoTabPanel(*r);
                r->flags = (r->flags & ~uint32_t(0x4080)) | (VXGetItemChecked(window, kSymInfoBox80) ? 0x80u : 0u) |
                           (VXGetItemChecked(window, kSymInfoAlternate) ? 0x4000u : 0u);
                r->ok = true;
            }
            return 0;
        case kVXDestroyEvent:
            r->list = nullptr;
            r->headerWindow = nullptr;
            if (r->header) VXDestroyColumnHeader(r->header);
            r->header = nullptr;
            r->tabView = nullptr;
            return 0;
        default: return 0;
    }
}

void EditSymbolInformation(SheetRecord* sheet, SymbolRecord* symbol, int32_t newSymbol, TextRecord* text) {
    if (!sheet || !symbol) return;
    SymbolInfoDialogRecord r;
    r.sheet = sheet;
    r.symbol = symbol;
    r.text = text;
    r.newSymbol = newSymbol != 0;
    StringBlock block = sheet->stringBlock;
    r.flags = symbol->flags & kRecordFlags;
    GetSymbolSheetName(symbol, block, r.sheetName);
    if (symbol->component) {
        r.nameIndex = symbol->kind.comp.nameIndex;
        r.package = symbol->kind.comp.package;
        r.slot = GetSymbolAnnotation(sheet, symbol->serial, r.designator);
        if (r.slot < 0) r.slot = std::max(0, GetFirstCompSectionUsingSymbol(symbol->component, symbol->kind.comp.symbol, nullptr));
        const int32_t panels[4] = {kPanelComponent, kPanelAttributes, kPanelPins, kPanelSubSheet};
        std::memcpy(r.panels, panels, sizeof panels);
        r.tabCount = 4;
    } else {
        char prefix[kText] = "";
        GetSymbolRefPrefix(symbol, block, prefix);
        (void)TruncateUTF8ForByteSize(prefix, int32_t(sizeof r.prefix));  // whether it was cut does not matter
        std::memcpy(r.prefix, prefix, sizeof r.prefix);
        if (IsSheet(r)) {
            GetSheetSymbolName(symbol, block, r.name, sizeof r.name);
            (void)GetSymbolAnnotation(sheet, symbol->serial, r.designator);  // empty without one
            ReadPorts(r);
            const int32_t panels[3] = {kPanelSheetSymbol, kPanelPortPins, kPanelAttributes};
            std::memcpy(r.panels, panels, sizeof panels);
        } else {
            GetSymbolName(symbol, block, r.name);
            GetSymbolRefName(symbol, block, r.designator);
            r.choice = (symbol->flags & 0x10000) ? kSymChoice10000 : (symbol->flags & 0x20000) ? kSymChoice20000 : kSymChoiceNone;
            const int32_t panels[3] = {kPanelSymbol, kPanelAttributes, kPanelSubSheet};
            std::memcpy(r.panels, panels, sizeof panels);
        }
        r.tabCount = 3;
    }
    if (symbol->attributes) r.attributes = CloneHandle(nullptr, symbol->attributes);
    r.attributeCount = int16_t(symbol->attributeCount);
    CollectTextVisibilityStates(r);
    SymbolInfoDialogRecord* saved = std::exchange(gInfo, &r);
    (void)VXModalDialog(kSymbolInfoTemplate, kVXPlaceCentre, SymbolInfoDialogHandler, nullptr);  // r.ok says how it ended
    gInfo = saved;
    if (r.ok) ApplySymbolInformation(r);
    FreePinEntries(r);
    if (r.attributes) MemFree(r.attributes);
}

}  // namespace plexa
