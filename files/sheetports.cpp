// A sheet's exports and the sheet symbols that follow them (see sheetports.h).
#include "files/sheetports.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "foundation/da.h"
#include "foundation/ll.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symbols.h"

namespace plexa {

namespace {

SheetPortServices gServices;

void Busy() {
    if (gServices.busy) gServices.busy();
}

bool AddNamed(SheetExportsTable table, const char* name, uint32_t type, uint32_t serial, uint16_t pin, uint8_t kind) {
    SheetExportEntry entry{};
    entry.portType = type;
    entry.serial = serial;
    entry.pinIndex = pin;
    entry.kind = kind;
    return AddExportTableEntry(table, name, entry);
}

// The exports of one symbol; false when memory runs out.
bool AddSymbolExports(SheetRecord* sheet, SheetExportsTable table, SymbolRecord* symbol) {
    char name[kSymbolTextSize];
    if (symbol->flags & kSymbolFlagModulePort) {
        GetPortSymbolName(sheet, symbol, nullptr, name, sizeof name);
        if (!*name) return true;
        return AddNamed(table, name, symbol->flags & kSymbolFlagPortType, symbol->serial, 0,
                        (symbol->flags & kSymbolFlagBussPort) ? kExportBussPort : 0);
    }
    if ((symbol->flags & (kSymbolFlagPort | kSymbolFlagSheet)) == kSymbolFlagPort) {
        if (sheet->stored.scopeA != 1) return true;
        SignalHandle signal = GetConnectedSignal(sheet->signalList, symbol, 0, nullptr, nullptr);
        if (!signal) return true;
        GetSignalName(signal, sheet->stringBlock, name, sizeof name);
        return !*name || AddNamed(table, name, 0, symbol->serial, 0, kExportGlobalSignal);
    }
    if (!symbol->component || sheet->stored.scopeB != 1) return true;
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    const int32_t count = CountCompSymbolPins(symbol->component, pinSet, kCompHiddenPins);
    for (int32_t pin = 0; pin < count; ++pin) {
        uint32_t id = kCompNoPinData;
        GetCompHiddenPinInfo(symbol->component, sheet->stringBlock, pinSet, pin, nullptr, &id);
        Handle record = id == kCompNoPinData ? nullptr : GetIndexedPinData(sheet->pinDataTable, int32_t(id));
        if (!record) continue;
        GetHiddenPinSignalName(record, sheet->stringBlock, true, name);
        if (*name && !AddNamed(table, name, 0, symbol->serial, uint16_t(pin), kExportHiddenPinSignal)) return false;
    }
    return true;
}

void MergeExport(SheetExportEntry* old, const SheetExportEntry& add) {
    old->portType |= add.portType;
    const bool oldHidden = old->kind & kExportHiddenPinSignal;
    const bool newHidden = add.kind & kExportHiddenPinSignal;
    if (newHidden && !oldHidden) return;
    if (oldHidden && !newHidden) {
        old->serial = add.serial;
        old->pinIndex = add.pinIndex;
        old->kind = uint8_t((old->kind & ~kExportHiddenPinSignal) | add.kind);
        return;
    }
    old->kind |= add.kind;
    if (add.serial < old->serial) {
        old->serial = add.serial;
        old->pinIndex = add.pinIndex;
    } else if (add.serial == old->serial && add.pinIndex < old->pinIndex) {
        old->pinIndex = add.pinIndex;
    }
}

bool SameNameIgnoringCase(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

}  // namespace

void SetSheetPortServices(const SheetPortServices& services) { gServices = services; }
const SheetPortServices& GetSheetPortServices() { return gServices; }

// ---- The exports table ----

bool AddExportTableEntry(SheetExportsTable table, const char* name, const SheetExportEntry& entry) {
    if (!table || !name || !*name) return true;
    StringBlock strings = GetSheetExportsStrings(table);
    SheetExportEntry key = entry;
    key.pad = 0;
    key.name = OverlayStringBlock(strings, name, -1, nullptr);
    if (!key.name) return false;
    const int32_t found = DASearch(table, -1, &key, 0);
    if (!(uint32_t(found) & kDANotFound)) {
        SheetExportEntry old{};
        DAGet(table, found, &old);
        MergeExport(&old, entry);
        DAPut(table, found, &old);
        return true;
    }
    return DAAdd(table, &key) >= 0;
}

SheetExportsTable BuildSheetExportsTable(SheetRecord* sheet) {
    if (!sheet) return nullptr;
    SheetExportsTable table = CreateSheetExportsTable();
    if (!table) return nullptr;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next) {
        if (!AddSymbolExports(sheet, table, symbol)) {
            DestroySheetExportsTable(table);
            return nullptr;
        }
    }
    return table;
}

void GetSheetExportName(SheetExportsTable table, const SheetExportEntry* entry, int32_t index, char* name,
                        int32_t size) {
    if (entry) ExtractStringSpec(entry->name, GetSheetExportsStrings(table), name, size);
    else GetSheetExportEntry(table, index, nullptr, name, size);
}

int32_t FindSheetExportByName(SheetExportsTable table, const char* name) {
    char entryName[kStringSpecBufferSize];
    SheetExportEntry entry{};
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, entryName, sizeof entryName); ++i)
        if (SameNameIgnoringCase(entryName, name ? name : "")) return i;
    return -1;
}

// ---- Port link ids ----

void MakePortLinkIdString(char* text, uint32_t serial, uint16_t pinIndex) {
    std::snprintf(text, kPortLinkIdSize, "%d,%d", int32_t(serial), int32_t(pinIndex));
}

int32_t FindSheetExportByLinkId(SheetExportsTable table, const char* id) {
    if (!id || !*id) return -1;
    SheetExportEntry entry{};
    char text[kPortLinkIdSize];
    for (int32_t i = 0; GetSheetExportEntry(table, i, &entry, nullptr, 0); ++i) {
        MakePortLinkIdString(text, entry.serial, entry.pinIndex);
        if (std::strcmp(text, id) == 0) return i;
    }
    return -1;
}

// ---- Sheet symbol ports and their child ----

OSStatus SynchSheetSymbolPorts(Handle ports, StringBlock block, const FileSpec* child) {
    if (!SheetSymbolPortsHeadOf(ports) || !child) return status::kParamErr;
    SheetExportsTable table = nullptr;
    const SheetServices& services = GetSheetServices();
    if (SheetRecord* open = services.getLoadedSheet ? services.getLoadedSheet(child->name, nullptr) : nullptr) {
        if (!(table = BuildSheetExportsTable(open))) return status::kOutOfMemory;
    } else if (OSStatus st = LoadSheetExportsTable(child, &table)) {
        return st;
    }
    for (int32_t i = 0; i < CountSubSheetPorts(ports); ++i) SheetSymbolPortAt(ports, i)->flags |= kSheetPortRemove;
    OSStatus result = status::kNoErr;
    SheetExportEntry entry{};
    char name[kStringSpecBufferSize], portName[kStringSpecBufferSize];
    for (int32_t e = 0; table && GetSheetExportEntry(table, e, &entry, name, sizeof name); ++e) {
        const uint16_t buss = (entry.kind & kExportBussPort) ? kSheetPortBuss : 0;
        const uint16_t type = uint16_t(entry.portType & kSheetPortTypeMask);
        int32_t port = -1;
        for (int32_t i = 0; i < CountSubSheetPorts(ports) && port < 0; ++i) {
            GetSubSheetPortName(ports, i, block, portName, sizeof portName);
            if (SameNameIgnoringCase(portName, name)) port = i;
        }
        if (port >= 0) {
            SheetSymbolPort* target = SheetSymbolPortAt(ports, port);
            target->flags = uint16_t((target->flags & ~(kSheetPortRemove | kSheetPortBuss | kSheetPortTypeMask)) | buss | type);
        } else if (AppendSubSheetPort(ports, block, name, uint16_t(buss | type | kSheetPortShowName), kSheetPortNewSlot) < 0) {
            result = status::kOutOfMemory;
            break;
        }
    }
    for (int32_t i = CountSubSheetPorts(ports) - 1; i >= 0; --i)
        if (SheetSymbolPortAt(ports, i)->flags & kSheetPortRemove) {
            if (result == status::kNoErr) DeleteSubSheetPort(ports, i);
            else SheetSymbolPortAt(ports, i)->flags &= uint16_t(~kSheetPortRemove);
        }
    DestroySheetExportsTable(table);
    return result;
}

bool FindSubSheetFile(ProjectRecord* project, SheetRecord* parent, const char* name, const DirectoryRef* hint,
                      FileSpec* spec) {
    if (!name || !*name || !spec) return false;
    if (project) return FindProjectSheetFile(project, name, spec);
    DirectoryRef application{};
    const bool haveApplication = GetApplicationFolder(&application);
    const DirectoryRef* places[3] = {hint, parent ? &parent->fileSpec.directory : nullptr,
                                     haveApplication ? &application : nullptr};
    for (const DirectoryRef* folder : places) {
        if (!folder || IsDirectoryInvalid(folder)) continue;
        FileSpec candidate{};
        candidate.directory = *folder;
        SetFileSpecName(&candidate, name);
        if (IsSheetFile(&candidate) == status::kNoErr) {
            *spec = candidate;
            return true;
        }
    }
    return false;
}

SheetNode* GetSheetNodeFromSymbol(SheetRecord* sheet, const SymbolRecord* symbol) {
    if (!sheet || !symbol || !sheet->project || !sheet->hierarchyContext || !sheet->project->hierarchy) return nullptr;
    const SheetTree* tree = sheet->project->hierarchy;
    for (SheetNode* node = NextSheetNode(tree, nullptr); node; node = NextSheetNode(tree, node)) {
        const bool isContext = node->instance ? node->instance == sheet->hierarchyContext
                                              : false;
        if (!isContext) continue;
        for (SheetNode* child = node->firstChild; child; child = child->next)
            if (child->serial == symbol->serial) return child;
        return nullptr;
    }
    return nullptr;
}

SheetRecord* EnterSubSheet(SheetRecord* sheet, SymbolRecord* symbol) {
    if (!sheet || !symbol) return nullptr;
    Busy();
    if (sheet->project && sheet->hierarchyContext) {
        for (int32_t attempt = 0; attempt < 2; ++attempt) {
            if (attempt) {
                if (!gServices.updateProjectHierarchy) break;
                gServices.updateProjectHierarchy(sheet->project, kEnterSubSheetRebuildMode);
            }
            SheetNode* node = GetSheetNodeFromSymbol(sheet, symbol);
            SheetRecord* opened = node && gServices.openSheetContext ? gServices.openSheetContext(sheet->project, node)
                                                                     : nullptr;
            if (opened) return opened;
        }
        return nullptr;
    }
    char name[kSymbolTextSize];
    GetSymbolSheetName(symbol, sheet->stringBlock, name);
    FileSpec spec{};
    if (!FindSubSheetFile(nullptr, sheet, name, nullptr, &spec) || !gServices.openSheetFile) return nullptr;
    return gServices.openSheetFile(&spec, kEnterSubSheetOpenOptions);
}

}  // namespace plexa
