// Designs built in memory for the netlist database's tests and benchmark: a project record
// without a file, sheets made with the model, components, placed symbols, signals, ports, sheet
// symbols, the hierarchy tree with its instances, and annotation. The program's hooks are the
// caller's (a test starts the core's through the composition root first); the design replaces
// only the sheet services' look-up of loaded sheets, through which its sheets reach the build.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheet_services.h"
#include "files/sheetspec.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/sheetsymbols.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"

namespace plexa::netfix {

// The design the services find sheets in.
struct Design;
inline Design*& CurrentDesign() {
    static Design* design = nullptr;
    return design;
}

struct Pin {
    SymbolRecord* symbol;
    uint16_t node;
};

struct Design {
    ProjectRecord* project = nullptr;
    std::map<std::string, SheetRecord*> sheets;
    std::map<std::string, SheetSpec*> specs;
    SheetServices savedServices;

    // signalScope: 1 hierarchical, 2 flat.
    explicit Design(uint8_t signalScope) {
        (void)InitSymbolPool();  // fails only out of memory, which the build then reports
        DynamicFileRecord file{};
        project = CreateProjectRecord(&file);
        project->settings.signalScope = signalScope;
        project->settings.annotationFlags = 0;
        project->hierarchy = CreateSheetTree();
        savedServices = GetSheetServices();
        FindSheetsHere();
        CurrentDesign() = this;
    }
    // Makes the sheet services' look-up of loaded sheets find this design's sheets (again, after
    // the program's hooks were installed anew).
    static void FindSheetsHere() {
        SheetServices services = GetSheetServices();
        services.getLoadedSheet = [](const char* name, ProjectRecord*) -> SheetRecord* {
            Design* d = CurrentDesign();
            if (!d) return nullptr;
            auto it = d->sheets.find(name);
            return it == d->sheets.end() ? nullptr : it->second;
        };
        SetSheetServices(services);
    }
    ~Design() {
        CurrentDesign() = nullptr;
        SetSheetServices(savedServices);
        for (auto& [name, sheet] : sheets) DestroySheet(sheet);
        if (project->hierarchy) DestroySheetTree(project->hierarchy);
        project->hierarchy = nullptr;
        DestroyProjectRecord(project);
    }
    Design(const Design&) = delete;
    Design& operator=(const Design&) = delete;

    SheetRecord* AddSheet(const std::string& name) {
        SheetRecord* sheet = CreateDrawing();
        sheet->stored.nextSerial = 1;
        sheet->stored.scopeA = 2;  // power symbols make their signals global
        sheets[name] = sheet;
        SheetSpec* spec = AddSheetSpecToProject(project, name.c_str());
        specs[name] = spec;
        return sheet;
    }
    // Specs are pushed at the head of the list: this puts them in the order they were added.
    void FinishSpecs() { LLReverse(project->sheetSpecs); }

    // ---- Components and symbols ----

    static uint32_t AddPinData(SheetRecord* sheet, const char* name, uint8_t type, const char* hiddenSignal = nullptr) {
        Handle record = CreateNewPinData();
        SetPinDataName(record, sheet->stringBlock, name);
        SetPinDataType(record, type, false);
        if (hiddenSignal) SetHiddenPinSignalName(record, sheet->stringBlock, hiddenSignal);
        const int32_t id = AddPinDataToTable(sheet->pinDataTable, record);
        DestroyPinData(record);
        return uint32_t(id);
    }

    // A component of `sections` sections of `pins` pins each (numbers counting on across the
    // sections, pin names A, B, ...), one package and pin set; hidden pins name their signals.
    static ComponentRecord* MakeComponent(SheetRecord* sheet, const char* name, const char* prefix, int32_t sections,
                                          int32_t pins, const std::vector<std::pair<std::string, std::string>>& hidden = {}) {
        ComponentRecord* comp = CreateComponent(1, 1, 1, sections, 1);
        SetCompName(comp, sheet->stringBlock, 0, name);
        SetCompRefPrefix(comp, sheet->stringBlock, prefix);
        CompPackage* package = CompPackages(comp);
        package->name = AppendStringBlock(sheet->stringBlock, "PKG", 3, nullptr);
        package->footprint = 0;
        package->pinSet = 0;
        auto* ids = reinterpret_cast<uint32_t*>(AllocPtrClear(gGenPool, sizeof(uint32_t) * size_t(pins)));
        for (int32_t p = 0; p < pins; ++p) {
            const char pinName[2] = {char('A' + p), 0};
            ids[p] = AddPinData(sheet, pinName, kPinPassive);
        }
        SetCompSymbolPinDataIds(comp, 0, ids);
        for (int32_t s = 0; s < sections; ++s) {
            ComponentSection* section = CreateCompSection(1, pins);
            section->symbolIndex = 0;
            if (sections > 1) {
                const char suffix[2] = {char('A' + s), 0};
                section->suffix = AppendStringBlock(sheet->stringBlock, suffix, 1, nullptr);
            }
            for (int32_t p = 0; p < pins; ++p)
                SetCompSectionPinNumber(section, sheet->stringBlock, 0, p, std::to_string(s * pins + p + 1).c_str());
            SetCompSection(comp, s, section);
        }
        if (!hidden.empty()) {
            auto* table = reinterpret_cast<CompHiddenPin*>(AllocPtrClear(gGenPool, sizeof(CompHiddenPin) * hidden.size()));
            for (size_t h = 0; h < hidden.size(); ++h) {
                table[h].number = AppendStringBlock(sheet->stringBlock, hidden[h].first.c_str(),
                                                    uint32_t(hidden[h].first.size()), nullptr);
                table[h].pinDataId = AddPinData(sheet, hidden[h].second.c_str(), kPinPower, hidden[h].second.c_str());
            }
            CompHiddenPins(comp)[0] = table;
        }
        CalcCompHash(comp, sheet->stringBlock);
        LLPush(sheet->componentList, comp);
        return comp;
    }

    static SymbolRecord* Place(SheetRecord* sheet, ComponentRecord* comp, int16_t v = 0, int16_t h = 0) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->component = comp;
        symbol->mapId = -1;
        symbol->position = {v, h};
        symbol->kind.comp = {0, 0, 0};
        AddSymbolToSheet(sheet, symbol);
        return symbol;
    }

    static void SetAttribute(SheetRecord* sheet, SymbolRecord* symbol, const char* name, const char* value) {
        SetSymbolAttribute(symbol, sheet->stringBlock, name, value, nullptr);
    }

    // A module port exported to the parent sheet.
    static SymbolRecord* Port(SheetRecord* sheet, const char* name, uint32_t type = 0x30) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->mapId = -1;
        symbol->flags = kSymbolFlagModulePort | (type & 0x30);
        symbol->kind.spec = AppendStringBlock(sheet->stringBlock, name, uint32_t(std::strlen(name)), nullptr);
        AddSymbolToSheet(sheet, symbol);
        return symbol;
    }

    // A power symbol: a net symbol whose signal is global on a sheet with global power scope.
    static SymbolRecord* Power(SheetRecord* sheet) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->mapId = -1;
        symbol->flags = kSymbolFlagPort;
        AddSymbolToSheet(sheet, symbol);
        return symbol;
    }

    static SymbolRecord* SheetSymbol(SheetRecord* sheet, const char* child, const std::vector<std::string>& ports) {
        SymbolRecord* symbol = CreateSheetSymbol();
        SetSheetSymbolFileName(symbol, sheet->stringBlock, child);
        for (size_t i = 0; i < ports.size(); ++i)
            AppendSubSheetPort(symbol->sheetSymbolData, sheet->stringBlock, ports[i].c_str(), 0, uint16_t(i + 1));
        AddSymbolToSheet(sheet, symbol);
        return symbol;
    }

    // A named signal over the pins; port and power symbols among them mark the signal's scope.
    static SignalHandle Net(SheetRecord* sheet, const char* name, const std::vector<Pin>& pins) {
        SignalHandle signal = CreateSignal(sheet->signalList);
        SetSignalName(signal, sheet->stringBlock, name);
        for (const Pin& pin : pins) {
            const int32_t n = AddPinToSignal(signal, pin.symbol, pin.node);
            SignalPinEntry* entry = SignalPins(signal) + n;
            if (pin.symbol->flags & kSymbolFlagModulePort) {
                entry->flags |= kPinEntryModulePort;
                (*signal)->flags |= kSignalFlagPort | kSignalFlagModulePort;
            } else if (pin.symbol->flags & kSymbolFlagPort) {
                entry->flags |= kPinEntryPort;
                (*signal)->flags |= kSignalFlagPort;
            }
        }
        return signal;
    }

    // ---- Hierarchy and annotation ----

    SheetNode* AddNode(SheetNode* parent, const std::string& sheet, uint32_t serial, const char* displayName = nullptr) {
        SheetSpec* spec = specs.at(sheet);
        SheetNode* node = AddSheetNode(project->hierarchy, parent, spec, serial, 0);
        node->instance = CreateSheetInstance(project, parent ? parent->instance : nullptr, serial, spec);
        const char* shown = displayName ? displayName : sheet.c_str();
        node->displayName = AppendStringBlock(project->strings, shown, uint32_t(std::strlen(shown)), nullptr);
        ++spec->nodeCount;
        return node;
    }

    void Annotate(const std::string& sheet, SymbolRecord* symbol, SheetNode* node, const char* designator,
                  int16_t slot = 0) {
        SheetSpec* spec = specs.at(sheet);
        if (!spec->annotationMap) spec->annotationMap = CreateAnnotationMap(true);
        SetAnnotation(spec->annotationMap, symbol->serial, int32_t(node->instance->id), designator, slot);
    }
};

}  // namespace plexa::netfix
