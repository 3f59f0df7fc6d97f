// Data contexts: the chains, the built-in field tables and the field values; see fieldexpand.h.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "foundation/byteswap.h"
#include "foundation/datetime.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/fieldexpand.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"

namespace plexa {

namespace {

constexpr uint32_t kDataContextSize = sizeof(DataContext);
constexpr uint32_t kMaxSpareContexts = 16;
constexpr int32_t kFieldChars = kFieldValueSize - 1;

struct BuiltInField {
    const char* name;
    const char (&code)[5];
};

// The tables by kind 0-8, fields in order.
const BuiltInField kSymbolFields[] = {
    {"RefDes", "RDES"},        {"RefDesNQ", "RDNQ"},       {"RefDesPrefix", "RPFX"},
    {"RefDesConflict", "REFX"}, {"RefDesMissing", "REF?"}, {"CompName", "SYNM"},
    {"Footprint", "FOOT"},     {"Package", "PAKG"},        {"Slot", "SLOT"},
    {"SubSheetFile", "SBNM"},  {"Descend", "DOWN"},        {"$$SerialNumber$$", "SRNO"},
};
const BuiltInField kSignalFields[] = {
    {"SignalName", "SGNM"},     {"SignalNameNQ", "SNNQ"}, {"SignalScope", "SSCP"},
    {"SignalConflict", "SIGX"}, {"SinglePinNet", "1PIN"},
};
const BuiltInField kPinFields[] = {
    {"PinNumber", "PNUM"},    {"PinName", "PNAM"},         {"PinType", "PTYP"},
    {"PinConflict", "PINX"},  {"PinRedundant", "PNRD"},    {"PinNotPlaced", "PNPL"},
    {"SpiceOrder", "PNUM"},
};
const BuiltInField kProjectFields[] = {
    {"ProjectFile", "PRNM"},   {"ProjectFolder", "PDIR"}, {"PathDelimiter", "PDLM"},
    {"ProjectID", "PRID"},     {"TopCount", "TOPC"},
};
const BuiltInField kSheetFields[] = {
    {"SheetFile", "SHNM"},           {"SheetFolder", "SDIR"},
    {"SheetDateCreatedEx", "SHCX"},  {"SheetDateCreated", "SHCD"},
    {"SheetTimeCreated", "SHCT"},    {"SheetDateModifiedEx", "SHMX"},
    {"SheetDateModified", "SHMD"},   {"SheetTimeModified", "SHMT"},
};
const BuiltInField kTreeNodeFields[] = {
    {"InstancePath", "PATH"}, {"InstanceDepth", "DEEP"}, {"SheetOrder", "ORDR"},
};
const BuiltInField kPortFields[] = {
    {"PortName", "XNAM"}, {"PortType", "XTYP"}, {"$$PortSerialNumber$$", "XSNO"},
};
const BuiltInField kGlobalFields[] = {
    {"TRUE", "TRUE"},    {"FALSE", "FALS"},   {"Date", "DATE"},     {"DateEx", "DATX"},
    {"Time", "TIME"},    {"LinePos", "LPOS"}, {"RootFile", "ROOT"}, {"RootId", "RTID"},
};
const BuiltInField kAttributeFields[] = {
    {"AttributeName", "ATRN"}, {"AttributeValue", "ATRV"},
};

struct TableSource {
    const BuiltInField* fields;
    int32_t count;
};
template <size_t N>
constexpr TableSource Source(const BuiltInField (&fields)[N]) {
    return {fields, int32_t(N)};
}
const TableSource kTables[kBuiltInCtxTableCount] = {
    Source(kSymbolFields),   Source(kSignalFields), Source(kPinFields),
    Source(kProjectFields),  Source(kSheetFields),  Source(kTreeNodeFields),
    Source(kPortFields),     Source(kGlobalFields), Source(kAttributeFields),
};

DataContextHooks gHooks;

void Clear(char* out) { out[0] = 0; }

void Copy(char* out, const char* text) {
    std::snprintf(out, kFieldValueSize, "%s", text);
}

void Number(char* out, int64_t value) { std::snprintf(out, kFieldValueSize, "%lld", (long long)value); }

void Flag(char* out, bool value) { Copy(out, value ? "1" : "0"); }

void DateText(int32_t time, int32_t style, char* out) {
    VXLocalTimeToDateString(time, style, out, size_t(kFieldValueSize));
}

void TimeText(int32_t time, char* out) {
    VXLocalTimeToTimeString(time, false, out, size_t(kFieldValueSize));
}

uint8_t KindOf(const DataContext* context) { return uint8_t(context->kind & 0xFF); }

// ---- Field functions ----

bool GlobalField(DataContext* context, uint32_t code, char* out) {
    auto proc = reinterpret_cast<DataContextValueProc>(context->object);
    if (proc && proc(context, code, out)) return true;
    Clear(out);
    switch (code) {
        case FourCC("DATE"): DateText(VXGetCurrentDateTime(1), 0, out); break;
        case FourCC("DATX"): DateText(VXGetCurrentDateTime(1), 2, out); break;
        case FourCC("TIME"): TimeText(VXGetCurrentDateTime(1), out); break;
        case FourCC("TRUE"): Flag(out, true); break;
        case FourCC("FALS"): Flag(out, false); break;
        default: break;
    }
    return true;
}

void SymbolField(DataContext* context, uint32_t code, char* out) {
    SheetRecord* sheet = context->sheet;
    auto* symbol = static_cast<SymbolRecord*>(context->object);
    if (!sheet || !symbol) return;
    const StringBlock block = sheet->stringBlock;
    ComponentRecord* component = symbol->component;
    char text[kSymbolTextSize] = {};
    switch (code) {
        case FourCC("FOOT"):
            // The package's footprint, else its name (never the component's name in front).
            if (component) {
                GetCompPackageFootprint(component, block, symbol->kind.comp.package, text);
                if (!text[0]) GetCompPackageName(component, block, symbol->kind.comp.package, text);
            }
            break;
        case FourCC("PAKG"):
            if (component) GetCompPackageName(component, block, symbol->kind.comp.package, text);
            break;
        case FourCC("RDES"):
        case FourCC("RDNQ"):
        case FourCC("RPFX"):
            if (component || (symbol->flags & kSymbolFlagSheet))
                GetSymbolAnnotation(sheet, symbol->serial, text);
            else
                GetSymbolRefName(symbol, block, text);
            if (code == FourCC("RPFX")) RefDesToPrefix(text);
            break;
        case FourCC("SBNM"): GetSymbolSheetName(symbol, block, text); break;
        case FourCC("SLOT"):
            if (component) GetCompSlotSuffix(component, GetSymbolSlotIndex(sheet, symbol), block, text);
            break;
        case FourCC("SRNO"): Number(text, symbol->serial); break;
        case FourCC("SYNM"): GetSymbolName(symbol, block, text); break;
        default: break;  // RefDesConflict, RefDesMissing and Descend belong to netlists
    }
    Copy(out, text);
}

void SignalField(DataContext* context, uint32_t code, char* out) {
    if (!context->sheet || !context->object) return;
    if (code == FourCC("SGNM") || code == FourCC("SNNQ"))
        GetSignalName(static_cast<SignalHandle>(context->object), context->sheet->stringBlock, out,
                      kFieldValueSize);
}

void PinField(DataContext* context, uint32_t code, char* out) {
    SheetRecord* sheet = context->sheet;
    auto* symbol = static_cast<SymbolRecord*>(context->object);
    if (!sheet || !symbol || !symbol->component) return;
    ComponentRecord* component = symbol->component;
    const auto pin = int32_t(context->index);
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    char text[kCompTextSize] = {};
    if (code == FourCC("PNUM")) {
        const int32_t section = GetSymbolSlotIndex(sheet, symbol);
        if (section >= 0)
            GetCompPinInfo(component, sheet->stringBlock, pinSet, uint16_t(section), pin, text,
                           nullptr);
    } else if (code == FourCC("PNAM") || code == FourCC("PTYP")) {
        const uint32_t id = GetCompSymbolPinDataId(component, pinSet, symbol->kind.comp.symbol, pin);
        Handle record = id == kCompNoPinData ? nullptr : GetIndexedPinData(sheet->pinDataTable, int32_t(id));
        if (!record) return;
        if (code == FourCC("PNAM"))
            GetPinDataName(record, sheet->stringBlock, text);
        else
            GetPinTypeString(GetPinDataType(record, false), text);
    }
    Copy(out, text);
}

void SheetField(DataContext* context, uint32_t code, char* out) {
    SheetRecord* sheet = context->sheet;
    if (!sheet) return;
    const auto created = int32_t(sheet->fileTimes[0]);
    auto modified = int32_t(sheet->fileTimes[1]);
    if (modified == 0) modified = VXGetCurrentDateTime(1);
    switch (code) {
        case FourCC("SHNM"):
            GetFileSpecName(&sheet->fileSpec, out, size_t(kFieldValueSize));
            if (!out[0]) Copy(out, "Untitled");
            break;
        case FourCC("SDIR"):
            if (!IsDirectoryInvalid(&sheet->fileSpec.directory) &&
                PathNameFromDirectory(&sheet->fileSpec.directory, out, size_t(kFieldValueSize),
                                      nullptr) != 0)
                Clear(out);
            break;
        case FourCC("SHCD"): DateText(created, 0, out); break;
        case FourCC("SHCX"): DateText(created, 2, out); break;
        case FourCC("SHCT"): TimeText(created, out); break;
        case FourCC("SHMD"): DateText(modified, 0, out); break;
        case FourCC("SHMX"): DateText(modified, 2, out); break;
        case FourCC("SHMT"): TimeText(modified, out); break;
        default: break;
    }
}

// The value of a built-in field of the context's kind.
void BuiltInValue(DataContext* context, uint32_t code, char* out) {
    Clear(out);
    if (context->kind & kCtxNetlist) {
        if (gHooks.netlistField) gHooks.netlistField(context, code, out, kFieldValueSize);
    } else {
        switch (KindOf(context)) {
            case kCtxSymbol: SymbolField(context, code, out); break;
            case kCtxSignal: SignalField(context, code, out); break;
            case kCtxPin: PinField(context, code, out); break;
            case kCtxProject:
                if (gHooks.projectField && context->object)
                    gHooks.projectField(static_cast<ProjectRecord*>(context->object), code, out,
                                        kFieldValueSize);
                break;
            case kCtxSheet: SheetField(context, code, out); break;
            case kCtxTreeNode:
                if (gHooks.treeNodeField && context->object)
                    gHooks.treeNodeField(static_cast<ProjectRecord*>(context->object),
                                         context->index, context->root, code, out,
                                         kFieldValueSize);
                break;
            case kCtxGlobal:
            case kCtxAttribute: GlobalField(context, code, out); break;
            default: break;  // ports exist only in netlist databases
        }
    }
    out[kFieldChars] = 0;
}

// ---- Tables and the spare contexts ----

Handle gBuiltInCtxTables[kBuiltInCtxTableCount];
int16_t gBuiltInCtxCounts[kBuiltInCtxTableCount];
StringBlock gBuiltInCtxStringBlock = nullptr;
LinkListHeader* gFreeDataCtxList = nullptr;

DataContext* NewContext(DataContextChain* chain) {
    if (!chain) return nullptr;
    auto* context = gFreeDataCtxList ? static_cast<DataContext*>(LLPop(gFreeDataCtxList, false))
                                     : nullptr;
    if (context)
        std::memset(context, 0, sizeof *context);
    else
        context = static_cast<DataContext*>(LLAlloc(chain));
    return context ? static_cast<DataContext*>(LLPush(chain, context)) : nullptr;
}

// Unlinks the top context, keeping it for reuse while fewer than 16 are kept.
void DropTop(DataContextChain* chain) {
    if (!gFreeDataCtxList) gFreeDataCtxList = LLCreate(gGenPool, kDataContextSize, 0);
    if (!gFreeDataCtxList || gFreeDataCtxList->count >= kMaxSpareContexts) {
        LLPop(chain, true);
        return;
    }
    void* context = LLPop(chain, false);
    if (context) LLPush(gFreeDataCtxList, context);
}

bool ResolveName(DataContextChain* chain, const char* name, char* out, int32_t size) {
    return ExpandCtxChainValue(chain, name, out, size);
}

}  // namespace

void SetDataContextHooks(const DataContextHooks& hooks) { gHooks = hooks; }
const DataContextHooks& GetDataContextHooks() { return gHooks; }

bool InitBuiltInContexts() {
    if (gBuiltInCtxStringBlock) return true;
    SetExpressionNameResolver(ResolveName);
    StringBlock block = CreateStringBlock(gGenPool, 64);
    if (!block) return false;
    Handle tables[kBuiltInCtxTableCount] = {};
    int16_t counts[kBuiltInCtxTableCount] = {};
    bool made = true;
    for (int32_t kind = 0; kind < kBuiltInCtxTableCount && made; kind++) {
        tables[kind] = AllocHandle(gGenPool, 0);
        made = tables[kind] != nullptr;
        for (int32_t i = 0; made && i < kTables[kind].count; i++) {
            const BuiltInField& field = kTables[kind].fields[i];
            SetAttributeValue(block, tables[kind], 0, &counts[kind], field.name, field.code,
                              nullptr);
            made = counts[kind] == i + 1;
        }
    }
    if (!made) {
        for (Handle table : tables)
            if (table) MemFree(table);
        DestroyStringBlock(block);
        return false;
    }
    std::copy(std::begin(tables), std::end(tables), gBuiltInCtxTables);
    std::copy(std::begin(counts), std::end(counts), gBuiltInCtxCounts);
    gBuiltInCtxStringBlock = block;
    return true;
}

uint32_t BuiltInFieldCode(uint8_t kind, const char* name) {
    if (kind >= kBuiltInCtxTableCount || !InitBuiltInContexts()) return 0;
    char value[kAttributeTextSize];
    const int16_t index = GetAttributeValue(gBuiltInCtxStringBlock, gBuiltInCtxTables[kind], 0,
                                            gBuiltInCtxCounts[kind], name, value, nullptr);
    return index < 0 ? 0 : StringToFourChar(value);
}

DataContextChain* CreateDataCtxChain() {
    if (!InitBuiltInContexts()) return nullptr;
    return LLCreate(gGenPool, kDataContextSize, 0);
}

void DestroyDataCtxChain(DataContextChain* chain) {
    if (!chain) return;
    while (LLFirst(chain)) DropTop(chain);
    LLDispose(chain, true);
}

DataContext* PopDataCtxChain(DataContextChain* chain) {
    if (!chain || !LLFirst(chain)) return nullptr;
    DropTop(chain);
    for (auto* top = static_cast<DataContext*>(LLFirst(chain)); top && (top->kind & kCtxGroup);
         top = static_cast<DataContext*>(LLFirst(chain)))
        DropTop(chain);
    return static_cast<DataContext*>(LLFirst(chain));
}

DataContext* PushBuiltInDataContext(DataContextChain* chain, uint8_t kind, SheetRecord* sheet,
                                    void* object, uint64_t index, bool group) {
    if (kind >= kBuiltInCtxTableCount || !InitBuiltInContexts()) return nullptr;
    DataContext* context = NewContext(chain);
    if (!context) return nullptr;
    context->names = gBuiltInCtxTables[kind];
    context->block = gBuiltInCtxStringBlock;
    context->count = gBuiltInCtxCounts[kind];
    context->sheet = sheet;
    context->object = object;
    context->index = index;
    context->kind = uint16_t(kind | (group ? kCtxGroup : 0));
    return context;
}

DataContext* PushBuiltInUDBContext(DataContextChain* chain, uint8_t kind, void* database,
                                   uint64_t item, bool group) {
    DataContext* context = PushBuiltInDataContext(chain, kind, nullptr, database, item, group);
    if (context) context->kind |= kCtxNetlist;
    return context;
}

DataContext* PushAttributesContext(DataContextChain* chain, uint16_t ownerKind, Handle run,
                                   StringBlock block, int16_t start, int16_t count, bool group) {
    DataContext* context = NewContext(chain);
    if (!context) return nullptr;
    context->names = run;
    context->block = block;
    context->start = start;
    context->count = count;
    context->object = reinterpret_cast<void*>(uintptr_t(ownerKind));
    context->kind = uint16_t(kCtxAttributeRun | kCtxExpandValues | (group ? kCtxGroup : 0));
    return context;
}

DataContextChain* BuildSheetContextChain(SheetRecord* sheet, ProjectRecord* project) {
    DataContextChain* chain = CreateDataCtxChain();
    if (!chain) return nullptr;
    PushBuiltInDataContext(chain, kCtxGlobal, sheet, nullptr, 0, false);
    if (!project && sheet) project = sheet->project;
    if (project) {
        PushBuiltInDataContext(chain, kCtxProject, sheet, project, 0, false);
        Handle run = nullptr;
        StringBlock block = nullptr;
        int16_t count = 0;
        if (gHooks.projectAttributes && gHooks.projectAttributes(project, &run, &block, &count) &&
            run && count > 0)
            PushAttributesContext(chain, kCtxOwnerProject, run, block, 0, count, false);
        if (sheet && sheet->hierarchyContext && gHooks.sheetNodeWithInstance) {
            const uint64_t node = gHooks.sheetNodeWithInstance(project, sheet->hierarchyContext);
            if (node) PushBuiltInDataContext(chain, kCtxTreeNode, sheet, project, node, false);
        }
    }
    if (sheet) {
        PushBuiltInDataContext(chain, kCtxSheet, sheet, nullptr, 0, false);
        if (sheet->attributes && sheet->stored.attributeCount > 0)
            PushAttributesContext(chain, kCtxOwnerSheet, sheet->attributes, sheet->stringBlock, 0,
                                  int16_t(std::min<int32_t>(sheet->stored.attributeCount,
                                                            kMaxAttributeCount)),
                                  false);
    }
    return chain;
}

DataContextChain* BuildSymbolContextChain(DataContextChain* chain, SheetRecord* sheet,
                                          SymbolRecord* symbol, bool group) {
    if (!chain) chain = BuildSheetContextChain(sheet, nullptr);
    if (!chain || !symbol) return chain;
    PushBuiltInDataContext(chain, kCtxSymbol, sheet, symbol, 0, group);
    if (symbol->attributes && symbol->attributeCount > 0 && sheet)
        PushAttributesContext(chain, kCtxOwnerSymbol, symbol->attributes, sheet->stringBlock, 0,
                              int16_t(std::min<int32_t>(symbol->attributeCount, kMaxAttributeCount)),
                              group);
    return chain;
}

DataContextChain* BuildPinContextChain(DataContextChain* chain, SheetRecord* sheet,
                                       SymbolRecord* symbol, int32_t pin, bool group) {
    if (!chain) chain = BuildSymbolContextChain(nullptr, sheet, symbol, group);
    if (!chain || !symbol) return chain;
    PushBuiltInDataContext(chain, kCtxPin, sheet, symbol, uint64_t(uint32_t(pin)), group);
    ComponentRecord* component = symbol->component;
    if (!component || !sheet || pin < 0) return chain;
    const uint32_t id = GetCompSymbolPinDataId(component, GetSymbolsPinSet(symbol),
                                               symbol->kind.comp.symbol, pin);
    Handle record = id == kCompNoPinData ? nullptr : GetIndexedPinData(sheet->pinDataTable, int32_t(id));
    if (!record || SizeOfHandle(record) < sizeof(PinDataRecord)) return chain;
    const int16_t count = reinterpret_cast<const PinDataRecord*>(*record)->attributeCount;
    if (count > 0)
        PushAttributesContext(chain, kCtxOwnerPin, record, sheet->stringBlock,
                              int16_t(sizeof(PinDataRecord)), count, group);
    return chain;
}

bool GetDataContextValue(DataContext* context, const char* name, char* out) {
    Clear(out);
    if (!context || !name || !context->names) return false;
    const int16_t index = GetAttributeValue(context->block, context->names, uint32_t(std::max<int16_t>(context->start, 0)),
                                            context->count, name, out, nullptr, kFieldValueSize);
    if (index < 0) {
        Clear(out);
        return false;
    }
    if (KindOf(context) == kCtxAttributeRun) return out[0] != 0;
    BuiltInValue(context, StringToFourChar(out), out);
    return true;
}

bool ExpandCtxChainValue(DataContextChain* chain, const char* name, char* out, int32_t size) {
    if (!out || size < 1) return false;
    out[0] = 0;
    if (!chain || !name || size < kFieldValueSize) return false;
    for (auto* context = static_cast<DataContext*>(LLFirst(chain)); context;
         context = static_cast<DataContext*>(LLGetNext(chain, context))) {
        if (!GetDataContextValue(context, name, out)) continue;
        if (context->kind & kCtxExpandValues) {
            auto length = int32_t(strnlen(out, size_t(kFieldChars)));
            ExpandDataString(out, &length, size - 1, chain);
            out[std::clamp(length, 0, size - 1)] = 0;
        }
        break;
    }
    return out[0] != 0;
}

}  // namespace plexa
