// The contents blocks of a sheet file (see sheetcontents.h for the stored forms).
#include "files/sheetcontents.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "files/filesymbols.h"
#include "files/sheet_services.h"
#include "files/sheetblocks.h"
#include "files/sheetexports.h"
#include "files/sheetfile.h"
#include "files/sheetports.h"
#include "foundation/assert.h"
#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/da.h"
#include "foundation/datafile.h"
#include "foundation/datetime.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/signals.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/printrec.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "model/waitcursor.h"
#include "model/wires.h"

namespace plexa {

namespace {

constexpr uint16_t kSettingsSize = sizeof(SheetStoredSettings);
constexpr uint16_t kViewSize = sizeof(SheetViewSettings);
constexpr uint32_t kSymbolStoredOffset = 32;
constexpr uint32_t kSymbolStoredSize = 34;
constexpr const char* kComponentSymbolTemplate = "W2L5LB2W2";
constexpr const char* kOtherSymbolTemplate = "W2L5L2W";
constexpr uint16_t kNoComponent = 0xFFFF;
constexpr const char* kSignalHeadTemplate = "W4LW4";
constexpr const char* kBussHeadTemplate = "W4LB2W";
constexpr const char* kTerminalTemplate = "LWB2L";  // signal pin entries and buss terminals
constexpr uint32_t kSignalStoredHead = kSignalHeadSize - kSignalStoredOffset;  // 20
constexpr uint32_t kBussStoredHead = kBussHeadSize - kBussStoredOffset;        // 16
constexpr uint32_t kTerminalSize = 12;
constexpr const char* kWireTemplate = "W8";
constexpr uint32_t kBreakOutStoredSize = 10;
constexpr uint16_t kNodeValueText = 0x0080;  // a signal text that shows a simulator value
constexpr uint16_t kFreeTextOwnedKind = 16;  // a free text that belongs to a symbol
constexpr int32_t kFrameScratchSize = 512;
constexpr int32_t kFrameScratchSlack = 32;
constexpr int32_t kContentsBufferSize = 4096;

static_assert(kSymbolStoredOffset + kSymbolStoredSize == offsetof(SymbolRecord, attributeCount) + 2);
static_assert(ByteSwapTemplateSize(kComponentSymbolTemplate) == kSymbolStoredSize);
static_assert(ByteSwapTemplateSize(kOtherSymbolTemplate) == kSymbolStoredSize);
static_assert(ByteSwapTemplateSize(kSignalHeadTemplate) == kSignalStoredHead);
static_assert(ByteSwapTemplateSize(kBussHeadTemplate) == kBussStoredHead);
static_assert(ByteSwapTemplateSize(kTerminalTemplate) == kTerminalSize);
static_assert(ByteSwapTemplateSize(kWireTemplate) == kWireStoredSize);
static_assert(ByteSwapTemplateSize(kTextStoredTemplate) == kTextStoredSize);
static_assert(ByteSwapTemplateSize(kTextFrameStoredTemplate) == kTextFrameStoredSize);
static_assert(ByteSwapTemplateSize(kSheetSymbolPortsHeadTemplate) == kSheetSymbolPortsHeadSize);
static_assert(ByteSwapTemplateSize(kSheetSymbolPortTemplate) == kSheetSymbolPortSize);
static_assert(ByteSwapTemplateSize(kSheetStoredSettingsTemplate) <= kSettingsSize);
static_assert(ByteSwapTemplateSize(kSheetViewSettingsTemplate) <= kViewSize);
static_assert(sizeof(SignalPinEntry) == kTerminalSize && sizeof(BussTerminal) == kTerminalSize);

// ---- Stream steps that leave to the open catcher ----

void Check(bool ok) {
    if (!ok) FailureSignal(status::kParamErr);
}

int64_t Left(StreamRecord* s) { return int64_t(GetStreamEnd(s)) - GetStreamPosition(s); }

// The block must still hold `bytes` (checked before anything is made for them).
void Need(StreamRecord* s, int64_t bytes) {
    if (bytes > Left(s)) FailureSignal(status::kEndOfFile);
}

void Read(StreamRecord* s, void* buffer, int64_t count) {
    Need(s, count);
    int32_t n = int32_t(count);
    if (n > 0) Signal(StreamRead(s, buffer, &n));
}

uint16_t ReadWord(StreamRecord* s) {
    uint16_t value = 0;
    Signal(StreamReadWord(s, &value));
    return value;
}

uint32_t ReadLong(StreamRecord* s) {
    uint32_t value = 0;
    Signal(StreamReadLong(s, &value));
    return value;
}

void Write(StreamRecord* s, const void* bytes, uint32_t count) {
    if (count) Signal(StreamWrite(s, bytes, int32_t(count)));
}
void WriteWord(StreamRecord* s, uint16_t value) { Signal(StreamWriteWord(s, value)); }
void WriteLong(StreamRecord* s, uint32_t value) { Signal(StreamWriteLong(s, value)); }

template <class T>
T Made(T made) {
    if (!made) FailureSignal(status::kOutOfMemory);
    return made;
}

void Resize(Handle handle, uint32_t size) {
    if (!ResizeHandle(handle, size)) FailureSignal(status::kOutOfMemory);
}

char* Bytes(void* handle) { return *reinterpret_cast<char**>(handle); }

// The items of a list in list order.
template <class T>
std::vector<T> ListItems(const LinkListHeader* list) {
    std::vector<T> items;
    if (list) items.reserve(list->count);
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) items.push_back(static_cast<T>(item));
    return items;
}

template <class T>
std::unordered_map<const void*, uint32_t> IndexOf(const std::vector<T>& items) {
    std::unordered_map<const void*, uint32_t> index;
    index.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) index.emplace(items[i], uint32_t(i));
    return index;
}

// The styles as their stored list has them: the sheet's default text style first.
std::vector<txStyle*> StyleTable(SheetRecord* sheet) {
    std::vector<txStyle*> table{sheet->currentTextStyle};
    for (txStyle* style : ListItems<txStyle*>(sheet->styleList)) table.push_back(style);
    return table;
}

std::unordered_map<const void*, uint32_t> StyleIndex(SheetRecord* sheet) {
    std::unordered_map<const void*, uint32_t> index;
    const std::vector<txStyle*> table = StyleTable(sheet);
    // The first occurrence counts (a style is in the list once).
    for (size_t i = table.size(); i-- > 0;) index[table[i]] = uint32_t(i);
    return index;
}

uint16_t StoredIndex(const std::unordered_map<const void*, uint32_t>& index, const void* item,
                     uint16_t missing) {
    const auto found = index.find(item);
    return found == index.end() ? missing : uint16_t(found->second);
}

// ---- Limits ----

struct Limit {
    const char* what;
    uint64_t count;
    uint64_t most;
};

uint32_t WireListLongest(WireList list, uint32_t* corners) {
    uint32_t wires = 0;
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        ++wires;
        *corners = std::max<uint32_t>(*corners, (*w)->cornerCount);
    }
    return wires;
}

// ---- Writing ----

void WriteWireList(StreamRecord* s, WireList list) {
    const uint32_t count = list ? list->count : 0;
    WriteWord(s, uint16_t(count));
    for (WireHandle w = FirstWire(list); w; w = NextWire(list, w)) {
        const uint32_t corners = (*w)->cornerCount;
        WriteWord(s, uint16_t(kWireStoredSize + 4 + 4 * corners));
        Write(s, Bytes(w) + kWireStoredOffset, kWireStoredSize + 4 * corners);
    }
}

void WriteSymbols(SheetRecord* sheet, StreamRecord* s) {
    const auto components = IndexOf(ListItems<ComponentRecord*>(sheet->componentList));
    WriteWord(s, uint16_t(sheet->symbolList->count));
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol; symbol = symbol->next) {
        symbol->flags |= kSymbolFlagGlobalTime;
        Write(s, reinterpret_cast<const char*>(symbol) + kSymbolStoredOffset, kSymbolStoredSize);
        WriteWord(s, symbol->component ? StoredIndex(components, symbol->component, kNoComponent) : kNoComponent);
        Signal(WriteAttributeRun(s, symbol->attributes, symbol->attributes ? symbol->attributeCount : 0));
        if (symbol->flags & kSymbolFlagSheet) Signal(StreamWriteHandle(s, symbol->sheetSymbolData));
    }
}

void WriteStyles(SheetRecord* sheet, StreamRecord* s) {
    Check(sheet->currentTextStyle != nullptr);
    LLPush(sheet->styleList, sheet->currentTextStyle);
    const OSStatus st = WriteStyleList(s, sheet->styleList);
    LLPop(sheet->styleList, false);
    Signal(st);
}

void WriteNets(SheetRecord* sheet, StreamRecord* s) {
    WriteWord(s, uint16_t(sheet->signalList->count));
    for (auto signal = static_cast<SignalHandle>(LLFirst(sheet->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(sheet->signalList, signal))) {
        const SignalRecord& r = **signal;
        const uint32_t dots = r.dotCount == kSignalDotsStale ? 0 : r.dotCount;
        const uint32_t length = kSignalStoredHead + kTerminalSize * r.pinCount + 4 * dots;
        PLEXA_ASSERT(kSignalStoredOffset + length <= SizeOfHandle(reinterpret_cast<Handle>(signal)));
        WriteLong(s, length);
        Write(s, Bytes(signal) + kSignalStoredOffset, length);
        Signal(WriteAttributeRun(s, r.attributes, r.attributes ? r.attributeCount : 0));
        WriteWireList(s, (*signal)->wires);
    }
}

void WriteBusses(SheetRecord* sheet, StreamRecord* s) {
    WriteWord(s, uint16_t(sheet->bussList->count));
    for (auto buss = static_cast<BussHandle>(LLFirst(sheet->bussList)); buss;
         buss = static_cast<BussHandle>(LLGetNext(sheet->bussList, buss))) {
        const uint32_t length = kBussStoredHead + kTerminalSize * (*buss)->terminalCount;
        PLEXA_ASSERT(kBussStoredOffset + length <= SizeOfHandle(reinterpret_cast<Handle>(buss)));
        WriteLong(s, length);
        Write(s, Bytes(buss) + kBussStoredOffset, length);
        WriteWireList(s, (*buss)->wires);
    }
}

void WriteBreakOutTable(SheetRecord* sheet, StreamRecord* s) {
    BreakOutTable table = sheet->breakOutTable;
    // Wire ends name rows by id: a table with free rows is compacted first.
    if (table && DACount(table) != (*table)->idLimit) CompactBreakOutTable(table, sheet->signalList);
    const auto busses = IndexOf(ListItems<BussHandle>(sheet->bussList));
    const int32_t count = DACount(table);
    WriteWord(s, uint16_t(count));
    for (int32_t id = 0; id < count; ++id) {
        BreakOutRow row{};
        Check(GetBreakOutRow(table, id, &row));
        const uint16_t words[5] = {uint16_t(row.first.v), uint16_t(row.first.h), uint16_t(row.second.v),
                                   uint16_t(row.second.h), StoredIndex(busses, row.buss, kNoComponent)};
        for (uint16_t word : words) WriteWord(s, word);
    }
}

void WriteTextElements(SheetRecord* sheet, StreamRecord* s) {
    const auto signals = IndexOf(ListItems<SignalHandle>(sheet->signalList));
    const auto busses = IndexOf(ListItems<BussHandle>(sheet->bussList));
    const auto styles = StyleIndex(sheet);
    WriteWord(s, uint16_t(sheet->textList->count));
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link) {
        TextRecord stored = *text;
        const void* owner = reinterpret_cast<const void*>(intptr_t(text->owner));
        if (text->kind == kTextKindSignal) {
            const auto found = signals.find(owner);
            stored.extra = found == signals.end() ? 0xFFFFFFFF : found->second;
        } else if (text->kind == kTextKindBuss) {
            const auto found = busses.find(owner);
            stored.extra = found == busses.end() ? 0xFFFFFFFF : found->second;
        } else {
            stored.extra = uint32_t(text->owner);
        }
        Write(s, reinterpret_cast<const char*>(&stored) + kTextStoredOffset, kTextStoredSize);
        WriteWord(s, StoredIndex(styles, text->style, 0));
    }
}

// One byte per UTF-16 unit, so that the text's length in units is its length in bytes.
std::string MacRomanUnits(const char16_t* text, uint32_t length) {
    std::string bytes(length, '?');
    for (uint32_t i = 0; i < length; ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            bytes[i] = char(unit);
        } else if (unit < 0xD800 || unit > 0xDFFF) {
            char one[2] = {};
            ExtractCFStringTo(std::u16string_view(&unit, 1), one, sizeof one, kEncodingMacRoman);
            if (one[0]) bytes[i] = one[0];
        }
    }
    return bytes;
}

void WriteFrames(SheetRecord* sheet, StreamRecord* s, bool block16) {
    const auto styles = StyleIndex(sheet);
    WriteWord(s, uint16_t(sheet->textFrameList->count));
    if (block16) {
        const uint8_t zero[kFramesBlockPadding] = {};
        Write(s, zero, sizeof zero);
    }
    for (auto frame = static_cast<TextFrameHandle>(LLFirst(sheet->textFrameList)); frame;
         frame = static_cast<TextFrameHandle>(LLGetNext(sheet->textFrameList, frame))) {
        ModelWaitCursor();
        Write(s, Bytes(frame) + kTextFrameStoredOffset, kTextFrameStoredSize);
        const uint32_t length = (*frame)->textLength;
        if (block16) {
            Write(s, TextFrameSource(frame), 2 * length);
        } else {
            const std::string bytes = MacRomanUnits(TextFrameSource(frame), length);
            Write(s, bytes.data(), length);
        }
        WriteWord(s, StoredIndex(styles, (*frame)->style, 0));
        if ((*frame)->lineCount >= 2) Signal(StreamWriteHandle(s, (*frame)->lineStarts));
    }
}

void WriteContents(SheetRecord* sheet, StreamRecord* s) {
    WriteWord(s, kSettingsSize);
    Write(s, &sheet->stored, kSettingsSize);
    Signal(WriteAttributeRun(s, sheet->attributes, sheet->attributes ? sheet->stored.attributeCount : 0));
    WriteWord(s, kViewSize);
    Write(s, &sheet->view, kViewSize);
    Signal(WriteComps(s, sheet->componentList));
    Signal(WriteSymbolMap(s, sheet->symbolMap));
    Signal(WritePinDataTable(s, sheet->pinDataTable));
    WriteSymbols(sheet, s);
    WriteStyles(sheet, s);
    WriteNets(sheet, s);
    WriteBusses(sheet, s);
    WriteBreakOutTable(sheet, s);
    WriteTextElements(sheet, s);
    WriteFrames(sheet, s, false);
    WriteWord(s, 0);
}

// ---- Reading ----

struct ReadState {
    SheetRecord* sheet = nullptr;
    StreamRecord* s = nullptr;
    uint16_t version = 0;
    bool swap = false;
    bool subSheetFlagsFixed = false;
    std::vector<ComponentRecord*> components;
    std::vector<SignalHandle> signals;
    std::vector<BussHandle> busses;
    std::vector<txStyle*> styles;
};

// Reads `size` bytes stored after a length word into a record of `keep` bytes: the bytes beyond
// the record are skipped, a shorter record keeps the rest of what it held.
void ReadSizedRecord(ReadState& r, void* record, uint16_t keep, const char* tmpl) {
    const uint16_t size = ReadWord(r.s);
    std::vector<uint8_t> bytes(keep);
    std::memcpy(bytes.data(), record, keep);
    const uint16_t read = std::min(size, keep);
    Read(r.s, bytes.data(), read);
    if (r.swap) ByteSwapTemplate(bytes.data(), tmpl);
    std::memcpy(record, bytes.data(), read);
    if (size > read) {
        Need(r.s, size - read);
        Signal(OffsetStreamPosition(r.s, size - read));
    }
}

void ReadSettings(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    ReadSizedRecord(r, &sheet->stored, kSettingsSize, kSheetStoredSettingsTemplate);
    if (sheet->stored.signalDigits == 0 || sheet->stored.signalDigits > 9) sheet->stored.signalDigits = 3;
    sheet->serialAtLoad = sheet->stored.nextSerial;
    Handle attributes = nullptr;
    Signal(ReadAttributeRun(r.s, gGenPool, sheet->stored.attributeCount, &attributes));
    if (sheet->attributes) MemFree(sheet->attributes);
    sheet->attributes = attributes;
    ReadSizedRecord(r, &sheet->view, kViewSize, kSheetViewSettingsTemplate);
}

void ReadComponents(ReadState& r) {
    Signal(ReadComps(r.s, r.sheet->componentList, r.sheet->stringBlock));
    r.components = ListItems<ComponentRecord*>(r.sheet->componentList);
}

void ReadSymbolMapAndPins(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    SymbolMap* map = nullptr;
    Signal(ReadSymbolMap(r.s, gGenPool, sheet->imageList, &map));
    DestroySymbolMap(sheet->symbolMap);
    sheet->symbolMap = map;
    // Every image that a definition shows takes one reference in the sheet's list.
    int32_t id = -1;
    char* address = nullptr;
    while (DANextAddress(map->entries, &id, &address)) {
        SymbolMapEntry entry;
        std::memcpy(&entry, address, sizeof entry);
        if (entry.definition)
            Signal(AdjustImageReferenceCountsFromSymbolData(entry.definition, entry.size, sheet->imageList,
                                                            kImageReferenceAdd));
    }
    PinDataTable pins = nullptr;
    Signal(ReadPinDataTable(r.s, gGenPool, sheet->stringBlock, &pins));
    DestroyPinDataTable(sheet->pinDataTable);
    sheet->pinDataTable = pins;
}

bool PortsFit(Handle ports) {
    const uint32_t size = SizeOfHandle(ports);
    if (size < kSheetSymbolPortsHeadSize) return false;
    int16_t count = 0;
    std::memcpy(&count, *ports + 14, 2);
    return count >= 0 && kSheetSymbolPortsHeadSize + uint64_t(count) * kSheetSymbolPortSize <= size;
}

void ReadSymbols(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    const uint16_t count = ReadWord(r.s);
    Need(r.s, int64_t(count) * (kSymbolStoredSize + 2 + 4));
    for (uint32_t i = 0; i < count; ++i) {
        ModelWaitCursor();
        SymbolRecord* symbol = Made(CreateSymbol());
        LLPush(sheet->symbolList, symbol);
        uint8_t bytes[kSymbolStoredSize];
        Read(r.s, bytes, sizeof bytes);
        const uint16_t component = ReadWord(r.s);
        if (r.swap) ByteSwapTemplate(bytes, component != kNoComponent ? kComponentSymbolTemplate : kOtherSymbolTemplate);
        std::memcpy(reinterpret_cast<char*>(symbol) + kSymbolStoredOffset, bytes, sizeof bytes);
        if (component != kNoComponent) {
            Check(component < r.components.size());
            symbol->component = r.components[component];
        }
        if (!(symbol->flags & kSymbolFlagGlobalTime)) {
            if (symbol->changeTime < 0)
                symbol->changeTime = LocalToGlobalDateTime(VXLocalDateTimeFromLegacyPortableTime(uint32_t(symbol->changeTime)));
            symbol->flags |= kSymbolFlagGlobalTime;
        }
        if (r.version < kSheetFramesBlockVersion) symbol->flags &= ~kSymbolFlagsSince257;
        const bool sheetSymbol = symbol->flags & kSymbolFlagSheet;
        symbol->sheetSymbolData = nullptr;
        Signal(ReadAttributeRun(r.s, gGenPool, symbol->attributeCount, &symbol->attributes));
        if (!sheetSymbol) {
            char name[kSymbolTextSize];
            const bool named = GetSymbolSheetName(symbol, sheet->stringBlock, name) != 0;
            const uint32_t flags = named ? symbol->flags | kSymbolFlagSubSheet : symbol->flags & ~kSymbolFlagSubSheet;
            if (flags != symbol->flags) r.subSheetFlagsFixed = true;
            symbol->flags = flags;
        } else {
            Signal(StreamReadHandle(r.s, gGenPool, &symbol->sheetSymbolData));
            if (Handle ports = symbol->sheetSymbolData) Check(r.swap ? ByteSwapSheetSymbolData(ports) : PortsFit(ports));
            symbol->libraryName = 0;
        }
    }
    LLReverse(sheet->symbolList);
}

void ReadStyles(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    TextStyleList* list = nullptr;
    Signal(ReadStyleList(gGenPool, r.s, &list));
    DestroyTextStyleList(sheet->styleList);
    sheet->styleList = list;
    if (list->count > 0) {
        DestroyTextStyle(sheet->currentTextStyle);
        sheet->currentTextStyle = static_cast<txStyle*>(LLPop(list, false));
    }
    if (IsForeignSheetPlatform(sheet->fileHeader.platform)) {
        AdjustStyleSizes(nullptr, sheet->currentTextStyle, nullptr);
        LLEnum(list, AdjustStyleSizes, nullptr);
    }
    // The independent-text theme follows the sheet's default text style.
    if ((sheet->stored.flags & kSheetFlagNewTextFrames) && sheet->themeTable &&
        sheet->themeTable->styles[kThemeIndependentText])
        InstallStyleInStyle(sheet->currentTextStyle, sheet->themeTable->styles[kThemeIndependentText],
                            kStyleFont | kStyleSize | kStyleFace);
    r.styles = StyleTable(sheet);
}

txStyle* StoredStyle(ReadState& r, uint16_t index) {
    return index < r.styles.size() ? r.styles[index] : r.styles[0];
}

void ReadWireList(ReadState& r, WireList list, uint32_t terminals) {
    const uint16_t count = ReadWord(r.s);
    Need(r.s, int64_t(count) * (2 + kWireStoredSize));
    for (uint32_t i = 0; i < count; ++i) {
        ReadWord(r.s);  // the wire's size, which its corner count says again
        uint8_t head[kWireStoredSize];
        Read(r.s, head, sizeof head);
        if (r.swap) ByteSwapTemplate(head, kWireTemplate);
        WireHandle wire = Made(CreateWire(list));
        std::memcpy(Bytes(wire) + kWireStoredOffset, head, sizeof head);
        const uint32_t corners = (*wire)->cornerCount;
        Need(r.s, 4 * int64_t(corners));
        Resize(reinterpret_cast<Handle>(wire), kWireHeadSize + 4 * corners);
        Read(r.s, WireCorners(wire), 4 * corners);
        if (r.swap) ByteSwapWordArray(WireCorners(wire), 4 * corners);
        for (uint16_t end : {(*wire)->end0, (*wire)->end1})
            Check(!IsWireEndTerminal(end) || end < terminals);
    }
    LLReverse(list);
}

// The L bytes of a net after its unstored head: its stored head, `terminals` entries and the rest.
uint32_t ReadNetBytes(ReadState& r, Handle net, uint32_t unstored, uint32_t storedHead) {
    const uint32_t length = ReadLong(r.s);
    Check(length >= storedHead);
    Need(r.s, length);
    Resize(net, unstored + length);
    Read(r.s, *net + unstored, length);
    if (r.swap) ByteSwapTemplate(*net + unstored, storedHead == kSignalStoredHead ? kSignalHeadTemplate : kBussHeadTemplate);
    return length;
}

void SwapTerminals(char* entries, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) ByteSwapTemplate(entries + i * kTerminalSize, kTerminalTemplate);
}

void ReadNets(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    const uint16_t count = ReadWord(r.s);
    Need(r.s, int64_t(count) * (4 + kSignalStoredHead + 4 + 2));
    for (uint32_t i = 0; i < count; ++i) {
        ModelWaitCursor();
        SignalHandle signal = Made(CreateSignal(sheet->signalList));
        Handle bytes = reinterpret_cast<Handle>(signal);
        const uint32_t length = ReadNetBytes(r, bytes, kSignalStoredOffset, kSignalStoredHead);
        const uint32_t pins = (*signal)->pinCount;
        Check(kSignalStoredHead + uint64_t(pins) * kTerminalSize <= length);
        const uint32_t rest = length - kSignalStoredHead - pins * kTerminalSize;
        Check(rest % 4 == 0);
        if (r.swap) {
            SwapTerminals(reinterpret_cast<char*>(SignalPins(signal)), pins);
            ByteSwapWordArray(SignalDots(signal), rest);
        }
        // Dots that do not match their count are dropped: the cache is made again when needed.
        if ((*signal)->dotCount == kSignalDotsStale || 4u * (*signal)->dotCount != rest) {
            (*signal)->dotCount = kSignalDotsStale;
            Resize(bytes, kSignalHeadSize + pins * kTerminalSize);
        }
        Signal(ReadAttributeRun(r.s, gGenPool, (*signal)->attributeCount, &(*signal)->attributes));
        ReadWireList(r, (*signal)->wires, pins);
    }
    LLReverse(sheet->signalList);
    r.signals = ListItems<SignalHandle>(sheet->signalList);
}

void ReadBusses(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    const uint16_t count = ReadWord(r.s);
    Need(r.s, int64_t(count) * (4 + kBussStoredHead + 2));
    for (uint32_t i = 0; i < count; ++i) {
        ModelWaitCursor();
        BussHandle buss = Made(CreateBuss(sheet->bussList));
        Handle bytes = reinterpret_cast<Handle>(buss);
        const uint32_t length = ReadNetBytes(r, bytes, kBussStoredOffset, kBussStoredHead);
        const uint32_t terminals = (*buss)->terminalCount;
        Check(kBussStoredHead + uint64_t(terminals) * kTerminalSize <= length);
        Resize(bytes, kBussHeadSize + terminals * kTerminalSize);
        if (r.swap) SwapTerminals(reinterpret_cast<char*>(BussTerminals(buss)), terminals);
        ReadWireList(r, (*buss)->wires, terminals);
    }
    LLReverse(sheet->bussList);
    r.busses = ListItems<BussHandle>(sheet->bussList);
}

void ReadBreakOutTable(ReadState& r) {
    BreakOutTable table = r.sheet->breakOutTable;
    DARemoveAll(table);
    const uint16_t count = ReadWord(r.s);
    Need(r.s, int64_t(count) * kBreakOutStoredSize);
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t words[5];
        for (uint16_t& word : words) word = ReadWord(r.s);
        Check(words[4] < r.busses.size());
        const Point first{int16_t(words[0]), int16_t(words[1])}, second{int16_t(words[2]), int16_t(words[3])};
        if (AddBussBreakout(table, r.busses[words[4]], first, second) < 0) FailureSignal(status::kOutOfMemory);
    }
    // Signal wire ends name rows of the table.
    for (SignalHandle signal : r.signals)
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w))
            for (uint16_t end : {(*w)->end0, (*w)->end1})
                Check(!IsWireEndBreakOut(end) || (end & kWireEndIndexMask) < count);
}

void ReadTextElements(ReadState& r) {
    SheetRecord* sheet = r.sheet;
    const uint16_t count = ReadWord(r.s);
    Need(r.s, int64_t(count) * (kTextStoredSize + 2));
    for (uint32_t i = 0; i < count; ++i) {
        ModelWaitCursor();
        TextRecord* text = Made(CreateTextElement());
        LLPush(sheet->textList, text);
        uint8_t bytes[kTextStoredSize];
        Read(r.s, bytes, sizeof bytes);
        if (r.swap) ByteSwapTemplate(bytes, kTextStoredTemplate);
        std::memcpy(reinterpret_cast<char*>(text) + kTextStoredOffset, bytes, sizeof bytes);
        text->style = StoredStyle(r, ReadWord(r.s));
        const uint32_t reference = text->extra;
        text->extra = 0;
        bool owned = true;
        if (text->kind == kTextKindSignal) {
            if (text->flags & kNodeValueText) SetupTheText(text, sheet->stringBlock, gMinusOnePoint, nullptr, "?");
            owned = reference < r.signals.size();
            if (owned) text->owner = SignalOwnerWord(r.signals[reference]);
        } else if (text->kind == kTextKindBuss) {
            owned = reference < r.busses.size();
            if (owned) text->owner = BussOwnerWord(r.busses[reference]);
        } else {
            text->owner = TextOwnerSerial(reference);
        }
        if (!owned) {
            // A label whose net is not there becomes a free frame.
            text->owner = 0;
            TextFrameHandle frame =
                Made(CreateTextFrameFromTextElement(text, sheet->stringBlock, sheet->styleList, false, nullptr));
            LLPush(sheet->textFrameList, frame);
            LLRemoveOrFree(sheet->textList, text, nullptr, true);
        }
    }
    LLReverse(sheet->textList);
}

void ReadTextFrames(ReadState& r, StreamRecord* s, bool block16) {
    SheetRecord* sheet = r.sheet;
    const uint16_t count = ReadWord(s);
    if (block16) {
        Need(s, kFramesBlockPadding);
        Signal(OffsetStreamPosition(s, kFramesBlockPadding));
    }
    Need(s, int64_t(count) * (kTextFrameStoredSize + 2));
    const uint32_t unit = block16 ? 2 : 1;
    std::vector<char> scratch(kFrameScratchSize);
    for (uint32_t i = 0; i < count; ++i) {
        ModelWaitCursor();
        uint8_t head[kTextFrameStoredSize];
        Read(s, head, sizeof head);
        if (r.swap) ByteSwapTemplate(head, kTextFrameStoredTemplate);
        uint32_t length = 0;
        std::memcpy(&length, head + 12, 4);
        const int64_t bytes = int64_t(length) * unit;
        Need(s, bytes + 2);
        if (bytes > int64_t(scratch.size())) scratch.resize(size_t(bytes) + kFrameScratchSlack);
        Read(s, scratch.data(), bytes);
        TextFrameHandle frame =
            Made(CreateTextFrame(scratch.data(), int32_t(bytes), block16 ? kEncodingUTF16LE : kEncodingMacRoman));
        LLPush(sheet->textFrameList, frame);
        const uint32_t made = (*frame)->textLength;
        std::memcpy(Bytes(frame) + kTextFrameStoredOffset, head, sizeof head);
        (*frame)->textLength = made;
        (*frame)->expandedLength = 0;
        (*frame)->style = StoredStyle(r, ReadWord(s));
        Handle starts = nullptr;
        if ((*frame)->lineCount >= 2) {
            Signal(StreamReadHandle(s, nullptr, &starts));
            if (starts && r.swap) ByteSwapLongArray(*starts, SizeOfHandle(starts) / 4 * 4);
        }
        // Line starts run from 0 to the text's end, one more than the lines; anything else is
        // replaced by one line over the whole text.
        const uint32_t lines = (*frame)->lineCount;
        bool whole = starts && SizeOfHandle(starts) == 4 * (lines + 1);
        for (uint32_t k = 0; whole && k <= lines; ++k) {
            uint32_t at = 0, before = 0;
            std::memcpy(&at, *starts + 4 * k, 4);
            if (k) std::memcpy(&before, *starts + 4 * (k - 1), 4);
            whole = at <= made && (k ? at >= before : at == 0) && (k < lines || at == made);
        }
        if (!whole) {
            if (starts) MemFree(starts);
            starts = Made(AllocHandle(nullptr, 8));
            const uint32_t table[2] = {0, made};
            std::memcpy(*starts, table, sizeof table);
            if (lines >= 2) (*frame)->lineCount = 1;
        }
        if ((*frame)->lineStarts) MemFree((*frame)->lineStarts);
        (*frame)->lineStarts = starts;
    }
    LLReverse(sheet->textFrameList);
}

void ReadContents(ReadState& r, StreamRecord* block16) {
    ReadSettings(r);
    ReadComponents(r);
    ReadSymbolMapAndPins(r);
    ReadSymbols(r);
    ReadStyles(r);
    ReadNets(r);
    ReadBusses(r);
    ReadBreakOutTable(r);
    ReadTextElements(r);
    if (r.version >= kSheetFramesBlockVersion && block16) ReadTextFrames(r, block16, true);
    else ReadTextFrames(r, r.s, false);
    SheetRecord* sheet = r.sheet;
    if (r.swap)
        RebuildDefaultStyleText(sheet->textList, sheet->textFrameList, sheet->styleList, sheet->stringBlock,
                                sheet, sheet->window, nullptr);
    if (r.version < kSheetFramesBlockVersion) FreehandTextToFrames(sheet);
    // Labels are found on their wires by their bounds; the other texts get theirs with a window.
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link)
        if (text->kind == kTextKindSignal || text->kind == kTextKindBuss)
            CalcTextBounds(sheet->window, text, sheet->stringBlock);
}

// A block of the open file as a stream (none when the block is missing), freed with the object.
class BlockStream {
public:
    BlockStream(DynamicFileRecord* file, uint8_t type, bool swap) {
        status_ = OpenSheetBlockStream(file, type, swap, &block_);
    }
    ~BlockStream() { CloseSheetBlockStream(&block_); }
    BlockStream(const BlockStream&) = delete;
    BlockStream& operator=(const BlockStream&) = delete;
    OSStatus status() const { return status_; }
    StreamRecord* stream() const { return block_.stream; }

private:
    SheetBlockStream block_;
    OSStatus status_;
};

OSStatus ReadImageList(SheetRecord* sheet, DynamicFileRecord* file) {
    BlockStream block(file, kSheetImageListBlock, false);
    if (block.status() || !block.stream()) return block.status();
    ImageList* images = nullptr;
    if (OSStatus st = InflateImageList(block.stream(), &images)) return st;
    SetElementListImageList(sheet->elementList, images);
    SetSymbolMapImageList(sheet->symbolMap, images);
    DestroyImageList(sheet->imageList);
    sheet->imageList = images;
    return status::kNoErr;
}

OSStatus ReadPrintRecordBlock(SheetRecord* sheet, DynamicFileRecord* file, bool swap) {
    BlockStream block(file, kSheetPrintRecordBlock, swap);
    if (block.status() || !block.stream()) return block.status();
    VXPrintRec* record = nullptr;
    const OSStatus st = VXReadPrintRecord(block.stream(), &record);
    if (st != status::kNoErr && st != kPrintRecordOldKind) {
        VXDestroyPrintRecord(record);
        return st;
    }
    VXDestroyPrintRecord(sheet->printRecord);
    sheet->printRecord = record;
    return status::kNoErr;
}

// Runs one block writer into a new block of the type.
OSStatus WriteOneBlock(DynamicFileRecord* file, uint8_t type, int32_t bufferSize,
                       const std::function<OSStatus(StreamRecord*)>& write) {
    StreamRecord* stream = nullptr;
    if (OSStatus st = BeginFileBlockWrite(file, bufferSize, &stream)) return st;
    if (OSStatus st = write(stream)) return st;
    return EndFileBlockWrite(file, 0, type, nullptr);
}

}  // namespace

// ---- Limits ----

OSStatus CheckSheetContentsLimits(SheetRecord* sheet, char* message, int32_t size) {
    if (message && size > 0) message[0] = 0;
    uint32_t wires = 0, corners = 0;
    for (void* s = LLFirst(sheet->signalList); s; s = LLGetNext(sheet->signalList, s))
        wires = std::max(wires, WireListLongest((*static_cast<SignalHandle>(s))->wires, &corners));
    for (void* b = LLFirst(sheet->bussList); b; b = LLGetNext(sheet->bussList, b))
        wires = std::max(wires, WireListLongest((*static_cast<BussHandle>(b))->wires, &corners));
    const Limit limits[] = {
        {"components", sheet->componentList ? sheet->componentList->count : 0, kSheetContentsListLimit},
        {"symbols", sheet->symbolList->count, kSheetContentsListLimit},
        {"signals", sheet->signalList->count, kSheetContentsListLimit},
        {"busses", sheet->bussList->count, kSheetContentsListLimit},
        {"break-outs", uint64_t(DACount(sheet->breakOutTable)), kSheetContentsListLimit},
        {"texts", sheet->textList->count, kSheetContentsListLimit},
        {"text frames", sheet->textFrameList->count, kSheetContentsListLimit},
        {"text styles", uint64_t(sheet->styleList->count) + 1, kSheetContentsListLimit},
        {"wires in one net", wires, kSheetContentsListLimit},
        {"corners in one wire", corners, (kSheetContentsListLimit - kWireStoredSize - 4) / 4},
    };
    for (const Limit& limit : limits) {
        if (limit.count <= limit.most) continue;
        if (message && size > 0)
            std::snprintf(message, size_t(size), "The sheet has %llu %s; a sheet file holds at most %llu.",
                          static_cast<unsigned long long>(limit.count), limit.what,
                          static_cast<unsigned long long>(limit.most));
        return status::kParamErr;
    }
    for (auto* c = static_cast<ComponentRecord*>(LLFirst(sheet->componentList)); c; c = c->next) {
        if (c->symbolCount == 255 && c->sectionCount == 255 && c->packageCount == 255 && c->pinSetCount == 255) {
            if (message && size > 0)
                std::snprintf(message, size_t(size),
                              "A component with 255 symbols, sections, packages and pin sets cannot be "
                              "stored in a sheet file.");
            return status::kParamErr;
        }
    }
    return status::kNoErr;
}

// ---- Writing ----

OSStatus WriteSheetContents(SheetRecord* sheet, StreamRecord* stream) {
    if (!sheet || !stream) return status::kParamErr;
    if (OSStatus st = CheckSheetContentsLimits(sheet, nullptr, 0)) return st;
    (void)SetStreamBufferSize(stream, kContentsBufferSize);  // a smaller buffer only slows the write
    return CatchSignals([&] { WriteContents(sheet, stream); });
}

OSStatus WriteTextFrames(SheetRecord* sheet, StreamRecord* stream, bool block16) {
    if (!sheet || !stream) return status::kParamErr;
    if (OSStatus st = CheckSheetContentsLimits(sheet, nullptr, 0)) return st;
    (void)SetStreamBufferSize(stream, kContentsBufferSize);  // a smaller buffer only slows the write
    return CatchSignals([&] { WriteFrames(sheet, stream, block16); });
}

bool ByteSwapSheetSymbolData(Handle ports) {
    if (!ports || SizeOfHandle(ports) < kSheetSymbolPortsHeadSize) return false;
    uint8_t head[kSheetSymbolPortsHeadSize];
    std::memcpy(head, *ports, sizeof head);
    ByteSwapTemplate(head, kSheetSymbolPortsHeadTemplate);
    int16_t count = 0;
    std::memcpy(&count, head + 14, 2);
    if (count < 0 || kSheetSymbolPortsHeadSize + uint64_t(count) * kSheetSymbolPortSize > SizeOfHandle(ports))
        return false;
    std::memcpy(*ports, head, sizeof head);
    for (int32_t i = 0; i < count; ++i)
        ByteSwapTemplate(*ports + kSheetSymbolPortsHeadSize + i * kSheetSymbolPortSize, kSheetSymbolPortTemplate);
    return true;
}

// ---- Reading ----

OSStatus ReadSheetContents(SheetRecord* sheet, StreamRecord* block5, StreamRecord* block16, uint16_t version,
                           bool swap, bool* subSheetFlagsFixed) {
    if (subSheetFlagsFixed) *subSheetFlagsFixed = false;
    if (!sheet || !block5) return status::kParamErr;
    ReadState r;
    r.sheet = sheet;
    r.s = block5;
    r.version = version;
    r.swap = swap;
    const bool was5 = EnableStreamReadByteSwap(block5, swap);
    const bool was16 = block16 ? EnableStreamReadByteSwap(block16, swap) : false;
    const OSStatus st = CatchSignals([&] { ReadContents(r, block16); });
    EnableStreamReadByteSwap(block5, was5);
    if (block16) EnableStreamReadByteSwap(block16, was16);
    if (subSheetFlagsFixed) *subSheetFlagsFixed = r.subSheetFlagsFixed;
    return st;
}

OSStatus LoadSheetContents(SheetRecord* sheet, DynamicFileRecord* file, uint16_t version, bool swap,
                           bool* subSheetFlagsFixed) {
    if (subSheetFlagsFixed) *subSheetFlagsFixed = false;
    if (!sheet || !file) return status::kParamErr;
    // Block 4: the string block, which the pin-data table is bound to.
    StringBlock strings = nullptr;
    if (OSStatus st = ReadSheetFileStringBlock(file, &strings)) return st;
    DestroyStringBlock(sheet->stringBlock);
    sheet->stringBlock = strings;
    SetupPinDataTable(sheet->pinDataTable, strings);
    // Block 8, or block 9 standing in for it (the themes then stay the defaults), then block 9.
    bool opaqueOnly = false;
    if (OSStatus st = GetSheetFileTextThemeBlock(file, &opaqueOnly, nullptr)) return st;
    if (!opaqueOnly) {
        BlockStream themes(file, kSheetTextThemesBlock, swap);
        if (themes.status()) return themes.status();
        if (OSStatus st = ReadTextThemes(themes.stream(), sheet->themeTable)) return st;
    }
    if (sheet->opaqueData) MemFree(sheet->opaqueData);
    sheet->opaqueData = nullptr;
    bool found = false;
    if (OSStatus st = GetSheetFileTextThemeBlock(file, &found, &sheet->opaqueData)) return st;
    if (OSStatus st = ReadImageList(sheet, file)) return st;
    // Blocks 5 and 16.
    {
        BlockStream contents(file, kSheetContentsBlock, swap);
        if (contents.status()) return contents.status();
        if (!contents.stream()) return status::kUnknownFileKind;
        BlockStream frames(file, kSheetTextFramesBlock, swap);
        if (frames.status()) return frames.status();
        if (OSStatus st = ReadSheetContents(sheet, contents.stream(), frames.stream(), version, swap,
                                            subSheetFlagsFixed))
            return st;
    }
    if (OSStatus st = ReadPrintRecordBlock(sheet, file, swap)) return st;
    {
        BlockStream elements(file, kSheetElementsBlock, swap);
        if (elements.status()) return elements.status();
        if (elements.stream())
            if (OSStatus st = ReadSheetElements(sheet, elements.stream(), swap)) return st;
    }
    {
        BlockStream symbols(file, kSheetFileSymbolsBlock, swap);
        if (symbols.status()) return symbols.status();
        if (symbols.stream()) {
            if (!sheet->fileSymbolList) sheet->fileSymbolList = CreateFileSymbolList();
            if (!sheet->fileSymbolList) return status::kOutOfMemory;
            if (OSStatus st = ReadFileSymbols(symbols.stream(), sheet->fileSymbolList, true)) return st;
        }
    }
    CalcSheetBounds(sheet->stored.sizeCode, sheet->stored.orientation, sheet->stored.resolution, &sheet->sheetBounds);
    return status::kNoErr;
}

void FreehandTextToFrames(SheetRecord* sheet) {
    TextRecord* previous = nullptr;
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;) {
        TextRecord* next = text->link;
        if ((text->kind & ~kFreeTextOwnedKind) != kTextKindFree) {
            previous = text;
            text = next;
            continue;
        }
        TextFrameHandle frame =
            CreateTextFrameFromTextElement(text, sheet->stringBlock, sheet->styleList, false, nullptr);
        if (!frame) {  // the text stays rather than being lost
            previous = text;
            text = next;
            continue;
        }
        if (text->kind == kFreeTextOwnedKind) (*frame)->owner = uint32_t(text->owner);
        LLPush(sheet->textFrameList, frame);
        LLRemoveOrFree(sheet->textList, text, previous, true);
        text = next;
    }
}

// ---- Whole files ----

OSStatus WriteSheetFile(SheetRecord* sheet, const FileSpec* spec, char* message, int32_t messageSize) {
    if (!sheet || !spec) return status::kParamErr;
    if (OSStatus st = CheckSheetContentsLimits(sheet, message, messageSize)) return st;
    FileSpec target = *spec;
    (void)VXDeleteFile(&target);  // there may be no old file
    if (OSStatus st = CreateDynamicFile(&target, kSheetFileCreator, kSheetFileTypeName, kSheetFileTypeName,
                                        kSheetAppHeaderSize))
        return st;
    DynamicFileRecord file;
    if (OSStatus st = OpenSheetFile(&target, false, &file, nullptr)) {
        (void)VXDeleteFile(&target);  // the open status is the one reported
        return st;
    }
    const bool fileSymbols = sheet->fileSymbolList && CountFileSymbols(sheet->fileSymbolList) > 0;
    OSStatus st = SaveSheetWindowState(sheet, &file);
    if (!st) st = WriteSheetSymbolExportFlag(&file, fileSymbols);
    if (!st) st = WriteSheetFileHeader(&file, &sheet->fileHeader);
    if (!st) st = WriteOneBlock(&file, kSheetSubSheetRefsBlock, -1, [&](StreamRecord* s) { return WriteSubSheetRefs(sheet, s); });
    if (!st && sheet->annotationMap)
        st = WriteOneBlock(&file, kSheetAnnotationBlock, -1,
                           [&](StreamRecord* s) { return WriteAnnotationMap(s, sheet->annotationMap); });
    if (!st) {
        const SheetServices& services = GetSheetServices();
        SheetExportsTable exports = services.buildExportsTable ? services.buildExportsTable(sheet) : BuildSheetExportsTable(sheet);
        st = exports ? WriteOneBlock(&file, kSheetExportsBlock, -1,
                                     [&](StreamRecord* s) { return WriteSheetExportsTable(s, exports); })
                     : status::kOutOfMemory;
        DestroySheetExportsTable(exports);
    }
    if (!st && fileSymbols)
        st = WriteOneBlock(&file, kSheetFileSymbolsBlock, -1,
                           [&](StreamRecord* s) { return WriteFileSymbolsBlock(s, sheet->fileSymbolList); });
    if (!st) st = WriteOneBlock(&file, kSheetExportedAttributesBlock, -1, [&](StreamRecord* s) { return WriteExportedAttributes(sheet, s); });
    if (!st) st = WriteOneBlock(&file, kSheetStringBlock, -1, [&](StreamRecord* s) { return WriteStringBlock(s, sheet->stringBlock); });
    if (!st) st = WriteOneBlock(&file, kSheetTextThemesBlock, -1, [&](StreamRecord* s) { return WriteTextThemes(s, sheet->themeTable); });
    if (!st && sheet->opaqueData) {
        uint32_t offset = 0;
        st = WriteFileBlock(&file, kSheetOpaqueDataBlock, SizeOfHandle(sheet->opaqueData), *sheet->opaqueData, &offset);
    }
    if (!st) st = WriteOneBlock(&file, kSheetContentsBlock, kContentsBufferSize, [&](StreamRecord* s) { return WriteSheetContents(sheet, s); });
    if (!st) st = WriteOneBlock(&file, kSheetTextFramesBlock, kContentsBufferSize, [&](StreamRecord* s) { return WriteTextFrames(sheet, s, true); });
    if (!st && sheet->printRecord)
        st = WriteOneBlock(&file, kSheetPrintRecordBlock, -1, [&](StreamRecord* s) { return VXWritePrintRecord(s, sheet->printRecord); });
    if (!st) st = WriteOneBlock(&file, kSheetElementsBlock, 1024, [&](StreamRecord* s) { return WriteSheetElements(sheet, s); });
    if (!st) st = WriteOneBlock(&file, kSheetImageListBlock, kContentsBufferSize, [&](StreamRecord* s) { return FlattenImageList(s, sheet->imageList); });
    const OSStatus closed = CloseAndMaybeFlushDynamicFile(&file, st == status::kNoErr);
    if (!st) st = closed;
    if (st) (void)VXDeleteFile(&target);  // best effort: the save status is the one reported
    return st;
}

OSStatus LoadSheetFile(const FileSpec* spec, SheetRecord** sheet, bool* subSheetFlagsFixed) {
    *sheet = nullptr;
    if (subSheetFlagsFixed) *subSheetFlagsFixed = false;
    DynamicFileRecord file;
    SheetFileHeader header;
    if (OSStatus st = OpenSheetFile(spec, true, &file, &header)) return st;
    SheetRecord* made = header.version > kSheetFileVersion ? nullptr : CreateDrawing();
    OSStatus st = header.version > kSheetFileVersion ? status::kVersionTooNew
                  : made                             ? status::kNoErr
                                                     : status::kOutOfMemory;
    if (!st) {
        made->fileHeader = header;
        made->fileSpec = *spec;
        st = LoadSheetContents(made, &file, header.version, header.swapped != 0, subSheetFlagsFixed);
    }
    if (!st) {
        BlockStream annotation(&file, kSheetAnnotationBlock, false);
        st = annotation.status();
        if (!st && annotation.stream()) {
            AnnotationMap* map = nullptr;
            st = ReadAnnotationMap(annotation.stream(), 0, &map);
            if (!st) {
                DestroyAnnotationMap(made->annotationMap);
                made->annotationMap = map;
            }
        }
    }
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    if (st) {
        DestroySheet(made);
        if (subSheetFlagsFixed) *subSheetFlagsFixed = false;
        return st;
    }
    *sheet = made;
    return status::kNoErr;
}

}  // namespace plexa
