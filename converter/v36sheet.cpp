// The version-3.6 sheet reader.
#include "converter/v36sheet.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>
#include <vector>

#include "converter/detect.h"
#include "converter/v36read.h"
#include "foundation/bytes.h"
#include "foundation/byteswap.h"
#include "foundation/filespec.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/imagelist.h"

namespace plexa {
namespace {

using v36::AllocArray;
using v36::Fits;
using v36::Free;
using v36::ReadBytes;
using v36::ReadSized;
using v36::Remaining;
using v36::Seek;
using v36::Skip;

static_assert(ByteSwapTemplateSize(kV36HeaderTemplate) == 24);
static_assert(ByteSwapTemplateSize(kV36SettingsTemplate) == 86);
static_assert(ByteSwapTemplateSize(kV36SheetSettingsBlockTemplate) == 10);
static_assert(ByteSwapTemplateSize(kV36SymbolTemplate) == kV36SymbolSize);
static_assert(ByteSwapTemplateSize(kV36TextTemplate) == kV36TextSize);
static_assert(ByteSwapTemplateSize(kV36NetTemplate) == kV36NetSize);
static_assert(ByteSwapTemplateSize(kV36NodeTemplate) == kV36NodeSize);
static_assert(ByteSwapTemplateSize(kV36LinkTemplate) == kV36LinkSize);
static_assert(ByteSwapTemplateSize(kV36BusTemplate) == kV36BusSize);
static_assert(ByteSwapTemplateSize(kV36BusSegmentTemplate) == kV36BusSegmentSize);
static_assert(ByteSwapTemplateSize(kV36StyleTemplate) == kV36StyleSize);

constexpr bool kHostBigEndian = std::endian::native == std::endian::big;
constexpr uint32_t kStyleHeaderMinimum = 16;
constexpr uint32_t kStyleHeaderWithExtra = 20;
constexpr uint32_t kBusNameLimit = sizeof(V36BusRecord::name) - 1;

// An i32 length and that many bytes into a new pointer; a length of 0 or less gives none.
OSStatus ReadCounted(StreamRecord* stream, MemPool pool, uint32_t max, Ptr* out, uint32_t* length) {
    *out = nullptr;
    *length = 0;
    uint32_t stored = 0;
    if (OSStatus st = StreamReadLong(stream, &stored)) return st;
    if (int32_t(stored) <= 0) return status::kNoErr;
    if (stored > Remaining(stream)) return status::kEndOfFile;
    if (stored > max) return kV36BadRecord;
    Ptr bytes = AllocPtr(pool, stored);
    if (!bytes) return status::kOutOfMemory;
    if (OSStatus st = ReadBytes(stream, bytes, stored)) {
        MemFreePtr(bytes);
        return st;
    }
    *out = bytes;
    *length = stored;
    return status::kNoErr;
}

// A u32 length and that many bytes, skipped.
OSStatus SkipCounted(StreamRecord* stream) {
    uint32_t length = 0;
    if (OSStatus st = StreamReadLong(stream, &length)) return st;
    return Skip(stream, length);
}

bool SpecInLabels(const V36Sheet* sheet, StringSpec spec) {
    return V36SpecInBlock(sheet->labels, spec);
}

// Starts a section: the stream at its position and swapping as the body needs.
OSStatus Begin(StreamRecord* stream, const V36Sheet* sheet, uint32_t position) {
    EnableStreamReadByteSwap(stream, sheet->start.swap);
    return Seek(stream, position);
}

// ---- Elements ----

void FreeElement(V36Element* element) {
    Free(element->points);
    element->points = nullptr;
}

OSStatus ReadV36Element(StreamRecord* stream, MemPool pool, bool longHead, bool swap,
                        V36Element* element) {
    *element = V36Element{};
    uint32_t total = 0;
    if (OSStatus st = StreamReadLong(stream, &total)) return st;
    if (total < 4) return kV36BadRecord;  // the length counts itself
    const uint32_t length = total - 4;
    if (length > Remaining(stream)) return status::kEndOfFile;
    const int32_t start = GetStreamPosition(stream);
    const uint32_t head = longHead ? kV36LongHeadSize : kV36ShortHeadSize;
    uint8_t raw[kV36LongHeadSize + sizeof element->data] = {};
    const uint32_t held = std::min<uint32_t>(length, head + sizeof element->data);
    if (OSStatus st = ReadBytes(stream, raw, held)) return st;
    if (swap) ByteSwapV36Element(raw, held, longHead);
    std::memcpy(&element->head, raw, head);
    std::memcpy(element->data, raw + head, sizeof element->data);
    if (!longHead) {
        element->head.frameColor = kV36DefaultElementColor;
        element->head.fillColor = kV36DefaultElementColor;
    }
    if (element->head.kind == kV36Poly) {
        const uint32_t coordinates = element->data[0];
        if (coordinates % 2 != 0) return kV36BadRecord;
        if (head + 2 + uint64_t(coordinates) * 2 > length) return status::kEndOfFile;
        element->pointCount = uint16_t(coordinates / 2);
        if (element->pointCount) {
            element->points = AllocArray<Point>(pool, element->pointCount);
            if (!element->points) return status::kOutOfMemory;
            OSStatus st = SetStreamPosition(stream, start + int32_t(head) + 2);
            if (st == status::kNoErr)
                st = ReadBytes(stream, element->points, element->pointCount * uint32_t(sizeof(Point)));
            if (st) {
                FreeElement(element);
                return st;
            }
            if (swap) ByteSwapWordArray(element->points, element->pointCount * uint32_t(sizeof(Point)));
        }
    }
    if (OSStatus st = SetStreamPosition(stream, start + int32_t(length))) {
        FreeElement(element);
        return st;
    }
    return status::kNoErr;
}

// ---- Freeing what the section readers made ----

void FreeSymbols(V36Symbol* symbols, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) FreeV36ElementList(&symbols[i].graphics);
    Free(symbols);
}


void FreeParts(V36Part* parts, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
        Free(parts[i].fields);
        Free(parts[i].pinIds);
        Free(parts[i].sections);
    }
    Free(parts);
}

void FreePins(V36Pin* pins, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) Free(pins[i].record);
    Free(pins);
}

void FreeBusses(V36Bus* busses, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) Free(busses[i].segments);
    Free(busses);
}

void FreeNet(V36Net* net) {
    for (uint32_t i = 0; i < net->linkCount; ++i) Free(net->links[i].corners);
    Free(net->links);
    Free(net->nodes);
    net->links = nullptr;
    net->nodes = nullptr;
}

void FreeNets(V36Net* nets, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) FreeNet(&nets[i]);
    Free(nets);
}

// ---- Sections ----

OSStatus ReadPart(StreamRecord* stream, V36Sheet* sheet, V36Part* part) {
    const bool swap = sheet->start.swap;
    if (OSStatus st = ReadSized(stream, &part->record, kV36PartSize, sheet->start.settings.partSize,
                                kV36PartTemplate, swap))
        return st;
    if (OSStatus st = ReadCounted(stream, sheet->pool, kV36MaxPartFieldsLength, &part->fields,
                                  &part->fieldsLength))
        return st;
    if (OSStatus st = ReadCounted(stream, sheet->pool, kV36MaxPinIdsLength, &part->pinIds,
                                  &part->pinIdsLength))
        return st;
    const uint16_t count = part->record.sectionCount;
    if (!Fits(stream, count, kV36PartSectionSize + 4)) return status::kEndOfFile;
    if (count) {
        part->sections = AllocArray<V36PartSection>(sheet->pool, count);
        if (!part->sections) return status::kOutOfMemory;
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (OSStatus st = ReadSized(stream, &part->sections[i], kV36PartSectionSize,
                                    kV36PartSectionSize, kV36PartSectionTemplate, swap))
            return st;
        // A section placed on this sheet names the symbol that shows it: one of this sheet's, of
        // the section's symbol id. Anything else is damage (sections laid out otherwise than here
        // read as such in either byte order).
        const V36PartSection& section = part->sections[i];
        const uint16_t placed = uint16_t(section.placement & 0xFFFF);
        if (placed != kV36NotPlaced) {
            const int32_t symbol = FindV36Symbol(sheet, placed);
            if (symbol < 0 || sheet->symbols[symbol].record.id != section.symbolId) return kV36BadRecord;
        }
        if (OSStatus st = SkipCounted(stream)) return st;
    }
    return status::kNoErr;
}

OSStatus ReadPin(StreamRecord* stream, V36Sheet* sheet, V36Pin* pin) {
    uint32_t length = 0;
    if (OSStatus st = StreamReadLong(stream, &length)) return st;
    if (length > Remaining(stream)) return status::kEndOfFile;
    if (length > kV36MaxPinRecordLength) return kV36BadRecord;
    if (length == 0) return status::kNoErr;
    pin->record = AllocPtr(sheet->pool, length);
    if (!pin->record) return status::kOutOfMemory;
    pin->recordLength = length;
    if (OSStatus st = ReadBytes(stream, pin->record, length)) return st;
    uint8_t id[2] = {};
    std::memcpy(id, pin->record, std::min<uint32_t>(length, 2));
    if (sheet->start.swap) ByteSwapWord(id);
    std::memcpy(&pin->id, id, 2);
    if (length >= 2) std::memcpy(pin->record, &pin->id, 2);
    // The counted name must lie inside the record.
    if (length > 2 && 3u + uint8_t(pin->record[2]) > length) return kV36BadRecord;
    return status::kNoErr;
}

OSStatus ReadBus(StreamRecord* stream, V36Sheet* sheet, V36Bus* bus) {
    const V36Settings& settings = sheet->start.settings;
    const bool swap = sheet->start.swap;
    if (OSStatus st = ReadSized(stream, &bus->record, kV36BusSize, settings.busSize,
                                kV36BusTemplate, swap))
        return st;
    if (bus->record.name[0] > kBusNameLimit) return kV36BadRecord;
    uint32_t length = 0;
    if (OSStatus st = StreamReadLong(stream, &length)) return st;
    if (int32_t(length) < 0) length = 0;
    if (length > Remaining(stream)) return status::kEndOfFile;
    if (length > kV36MaxSegmentsLength) return kV36BadRecord;
    const uint16_t count = bus->record.segmentCount;
    const uint32_t stride = settings.memberSize;
    if (uint64_t(count) * std::max<uint32_t>(stride, 1) > length) return status::kEndOfFile;
    const int32_t end = GetStreamPosition(stream) + int32_t(length);
    if (count) {
        bus->segments = AllocArray<V36BusSegment>(sheet->pool, count);
        if (!bus->segments) return status::kOutOfMemory;
    }
    for (uint32_t i = 0; i < count; ++i)
        if (OSStatus st = ReadSized(stream, &bus->segments[i], kV36BusSegmentSize, stride,
                                    kV36BusSegmentTemplate, swap))
            return st;
    if (OSStatus st = SetStreamPosition(stream, end)) return st;
    return Skip(stream, uint64_t(bus->record.skipCount) * 4);
}

OSStatus ReadNet(StreamRecord* stream, V36Sheet* sheet, std::vector<uint8_t>& indexes, V36Net* net) {
    const V36Settings& settings = sheet->start.settings;
    const bool swap = sheet->start.swap;
    MemPool pool = sheet->pool;
    if (OSStatus st = ReadSized(stream, &net->record, kV36NetSize, settings.netSize,
                                kV36NetTemplate, swap))
        return st;
    if (!SpecInLabels(sheet, net->record.name)) return kV36BadRecord;
    if (OSStatus st = Skip(stream, 4)) return st;

    uint16_t nodeCount = 0;
    if (OSStatus st = StreamReadWord(stream, &nodeCount)) return st;
    if (!Fits(stream, nodeCount, settings.nodeSize)) return status::kEndOfFile;
    if (nodeCount) {
        net->nodes = AllocArray<V36NodeEntry>(pool, nodeCount);
        if (!net->nodes) return status::kOutOfMemory;
    }
    std::fill(indexes.begin(), indexes.end(), 0);
    for (net->nodeCount = 0; net->nodeCount < nodeCount; ++net->nodeCount) {
        V36NodeEntry& node = net->nodes[net->nodeCount];
        if (OSStatus st = ReadSized(stream, &node, kV36NodeSize, settings.nodeSize,
                                    kV36NodeTemplate, swap))
            return st;
        indexes[node.index / 8] |= uint8_t(1 << (node.index % 8));
    }

    uint16_t linkCount = 0;
    if (OSStatus st = StreamReadWord(stream, &linkCount)) return st;
    if (!Fits(stream, linkCount, uint64_t(settings.linkSize) + 4)) return status::kEndOfFile;
    if (linkCount) {
        net->links = AllocArray<V36Link>(pool, linkCount);
        if (!net->links) return status::kOutOfMemory;
    }
    auto names = [&indexes](uint32_t index) {
        return index == 0 || (index <= 0xFFFF && (indexes[index / 8] >> (index % 8) & 1) != 0);
    };
    for (net->linkCount = 0; net->linkCount < linkCount;) {
        V36Link& link = net->links[net->linkCount++];
        if (OSStatus st = ReadSized(stream, &link.record, kV36LinkSize, settings.linkSize,
                                    kV36LinkTemplate, swap))
            return st;
        if (!names(link.record.startNode) || !names(link.record.endNode)) return kV36BadRecord;
        Ptr corners = nullptr;
        uint32_t length = 0;
        if (OSStatus st = ReadCounted(stream, pool, kV36MaxCornersLength, &corners, &length))
            return st;
        link.corners = reinterpret_cast<Point*>(corners);
        link.cornerCount = length / uint32_t(sizeof(Point));
        if (length % sizeof(Point) != 0) return kV36BadRecord;
        if (swap) ByteSwapWordArray(link.corners, length);
    }
    return status::kNoErr;
}

OSStatus ReadSymbol(StreamRecord* stream, V36Sheet* sheet, V36Symbol* symbol) {
    const V36Settings& settings = sheet->start.settings;
    if (OSStatus st = ReadSized(stream, &symbol->record, kV36SymbolSize, settings.symbolSize,
                                kV36SymbolTemplate, sheet->start.swap))
        return st;
    if (!SpecInLabels(sheet, symbol->record.name)) return kV36BadRecord;
    if (OSStatus st = Skip(stream, 4)) return st;
    if (OSStatus st = SkipCounted(stream)) return st;
    uint16_t elements = 0;
    if (OSStatus st = StreamReadWord(stream, &elements)) return st;
    return LoadV36ElementList(stream, sheet->pool, elements, IsV36GraphicsVersion(sheet->start),
                              sheet->start.swap, &symbol->graphics);
}


// A section of `count` records at `position`, each taking at least `each` bytes of the file:
// the records are read one by one with `read`; on failure `release` frees the whole table (its
// records cleared where they were not read) and nothing is kept.
template <class T, class Read, class Release>
OSStatus LoadTable(StreamRecord* stream, V36Sheet* sheet, uint32_t position, uint16_t count,
                   uint64_t each, Read read, Release release, T** table, uint16_t* tableCount) {
    if (count == 0) return status::kNoErr;
    if (OSStatus st = Begin(stream, sheet, position)) return st;
    if (!Fits(stream, count, each)) return status::kEndOfFile;
    T* records = AllocArray<T>(sheet->pool, count);
    if (!records) return status::kOutOfMemory;
    OSStatus st = status::kNoErr;
    for (uint32_t i = 0; i < count && st == status::kNoErr; ++i) st = read(&records[i]);
    if (st) {
        release(records, count);
        return st;
    }
    *table = records;
    *tableCount = count;
    return status::kNoErr;
}

}  // namespace

// ---- Start ----

OSStatus ReadV36SheetStart(StreamRecord* stream, V36SheetStart* start) {
    if (!stream || !start) return status::kParamErr;
    *start = V36SheetStart{};
    FileLeaderInfo leader;
    OSStatus st = ReadFileLeader(stream, &leader);
    if (st == kNoFileLeader) return status::kUnknownFileKind;
    if (st) return st;
    if (leader.type != kV36SheetType) return status::kUnknownFileKind;
    // The platform, not the leader's marker, says how the body was written.
    const bool swap = (GetPlatformByteOrder(leader.platform) == 1) != kHostBigEndian;
    V36Header header;
    if ((st = ReadSized(stream, &header, kV36HeaderSize, kV36HeaderSize, kV36HeaderTemplate, swap)))
        return st;
    const int32_t content = GetStreamPosition(stream);
    V36Settings settings;
    if ((st = Seek(stream, header.settingsPosition))) return st;
    if ((st = ReadSized(stream, &settings, kV36SettingsSize, kV36SettingsSize, kV36SettingsTemplate,
                        swap)))
        return st;
    if ((st = SetStreamPosition(stream, content))) return st;
    EnableStreamReadByteSwap(stream, swap);
    start->leader = leader;
    start->header = header;
    start->settings = settings;
    start->swap = swap;
    start->contentPosition = content;
    return status::kNoErr;
}

OSStatus OpenV36SheetFile(const FileSpec* spec, StreamRecord** stream, V36SheetStart* start) {
    if (!stream) return status::kParamErr;
    *stream = nullptr;
    if (!spec || !start) return status::kParamErr;
    std::string path;
    if (OSStatus st = CreateURLFromFileSpec(spec, false, &path)) return st;
    StreamRecord* opened = nullptr;
    if (OSStatus st = OpenFileStream(path.c_str(), true, &opened)) return st;
    if (OSStatus st = ReadV36SheetStart(opened, start)) {
        (void)CloseAndMaybeFlushFileStream(opened, false);  // the read status is the one reported
        return st;
    }
    *stream = opened;
    return status::kNoErr;
}

bool IsV36GraphicsVersion(const V36SheetStart& start) {
    return start.header.version >= kV36FirstElementVersion;
}

// ---- The record ----

V36Sheet* NewV36Sheet(MemPool pool, const V36SheetStart& start) {
    void* memory = AllocPtrClear(pool, sizeof(V36Sheet));
    if (!memory) return nullptr;
    V36Sheet* sheet = new (memory) V36Sheet{};
    sheet->start = start;
    sheet->pool = pool;
    return sheet;
}

void DisposeV36Sheet(V36Sheet* sheet) {
    if (!sheet) return;
    DestroyStringBlock(sheet->labels);
    DestroyImageList(sheet->images);
    FreeSymbols(sheet->symbols, sheet->symbolCount);
    FreeV36ElementList(&sheet->elements);
    FreeV36StyleList(&sheet->styles);
    Free(sheet->texts);
    FreeParts(sheet->parts, sheet->partCount);
    FreePins(sheet->pins, sheet->pinCount);
    FreeBusses(sheet->busses, sheet->busCount);
    FreeNets(sheet->nets, sheet->netCount);
    MemFreePtr(sheet);
}

// ---- Sections ----

OSStatus LoadV36SheetSettings(StreamRecord* stream, V36Sheet* sheet) {
    if (OSStatus st = Begin(stream, sheet, uint32_t(sheet->start.contentPosition))) return st;
    V36SheetSettingsBlock block;
    if (OSStatus st = ReadSized(stream, &block, kV36SheetSettingsBlockSize,
                                kV36SheetSettingsBlockSize, kV36SheetSettingsBlockTemplate,
                                sheet->start.swap))
        return st;
    uint8_t text[kV36SettingsTextSize];
    if (OSStatus st = ReadBytes(stream, text, sizeof text)) return st;
    sheet->settingsBlock = block;
    std::memcpy(sheet->settingsText, text, sizeof text);
    return status::kNoErr;
}

OSStatus LoadV36SheetLabels(StreamRecord* stream, V36Sheet* sheet) {
    const uint32_t position = sheet->start.settings.labelsPosition;
    if (position == 0) return status::kNoErr;
    if (OSStatus st = Begin(stream, sheet, position)) return st;
    uint32_t length = 0;
    if (OSStatus st = StreamReadLong(stream, &length)) return st;
    if (int32_t(length) <= 0) return status::kNoErr;
    return ReadV36StringBlock(stream, sheet->pool, length, sheet->start.swap, &sheet->labels);
}

OSStatus LoadV36ImageList(StreamRecord* stream, V36Sheet* sheet) {
    const uint32_t position = sheet->start.settings.imagePosition;
    if (!IsV36GraphicsVersion(sheet->start) || position == 0) return status::kNoErr;
    if (OSStatus st = Begin(stream, sheet, position)) return st;
    return ReadV36ImageList(stream, &sheet->images);
}

OSStatus ReadV36ImageList(StreamRecord* stream, ImageList** list) {
    const int32_t start = GetStreamPosition(stream);
    const OSStatus read = InflateImageList(stream, list);
    if (read != status::kUnknownFileKind) return read;
    // The bitmap reader refused an image (or the stored ids are out of order): the images are
    // read again, bitmap by bitmap, to tell which and why.
    uint8_t stored[4];
    if (SetStreamPosition(stream, start) != status::kNoErr || v36::ReadBytes(stream, stored, 4) != status::kNoErr)
        return read;
    const uint32_t count = GetBE32(stored);
    for (uint32_t i = 0; i < count; ++i) {
        Handle bitmap = nullptr;
        uint32_t storedId = 0;
        if (ReadStoredImageBitmap(stream, &bitmap, &storedId) != status::kNoErr) return kV36DamagedImage;
        const bool header = SizeOfHandle(bitmap) >= 2 && (*bitmap)[0] == 'B' && (*bitmap)[1] == 'M';
        MemFree(bitmap);
        if (!header) return kV36ImageWithoutFileHeader;
    }
    return kV36DamagedImage;
}

OSStatus LoadV36Symbols(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    return LoadTable(
        stream, sheet, settings.symbolPosition, settings.symbolCount,
        uint64_t(settings.symbolSize) + 10,
        [&](V36Symbol* symbol) { return ReadSymbol(stream, sheet, symbol); }, FreeSymbols,
        &sheet->symbols, &sheet->symbolCount);
}

OSStatus LoadV36SheetElements(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    if (!IsV36GraphicsVersion(sheet->start) || settings.elementCount == 0) return status::kNoErr;
    if (OSStatus st = Begin(stream, sheet, settings.elementPosition)) return st;
    return LoadV36ElementList(stream, sheet->pool, settings.elementCount, true, sheet->start.swap,
                              &sheet->elements);
}

OSStatus ReadOldFormatStyleList(StreamRecord* stream, V36Sheet* sheet) {
    const uint32_t position = sheet->start.settings.stylePosition;
    if (position == 0) return status::kNoErr;
    if (OSStatus st = Begin(stream, sheet, position)) return st;
    return ReadV36StyleList(stream, sheet->pool, sheet->start.swap, &sheet->styles);
}

OSStatus LoadV36Texts(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    return LoadTable(
        stream, sheet, settings.textPosition, settings.textCount, settings.textSize,
        [&](V36TextRecord* text) {
            return ReadV36TextRecord(stream, settings.textSize, sheet->start.swap, sheet->labels, text);
        },
        [](V36TextRecord* texts, uint32_t) { MemFreePtr(texts); }, &sheet->texts, &sheet->textCount);
}

OSStatus LoadV36Parts(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    return LoadTable(
        stream, sheet, settings.partPosition, settings.partCount, uint64_t(settings.partSize) + 8,
        [&](V36Part* part) { return ReadPart(stream, sheet, part); }, FreeParts, &sheet->parts,
        &sheet->partCount);
}

OSStatus LoadV36Pins(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    return LoadTable(
        stream, sheet, settings.pinPosition, settings.pinCount, 4,
        [&](V36Pin* pin) { return ReadPin(stream, sheet, pin); }, FreePins, &sheet->pins,
        &sheet->pinCount);
}

OSStatus LoadV36Busses(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    return LoadTable(
        stream, sheet, settings.busPosition, settings.busCount, uint64_t(settings.busSize) + 4,
        [&](V36Bus* bus) { return ReadBus(stream, sheet, bus); }, FreeBusses, &sheet->busses,
        &sheet->busCount);
}

OSStatus LoadV36Nets(StreamRecord* stream, V36Sheet* sheet) {
    const V36Settings& settings = sheet->start.settings;
    // Which node indexes the net being read has: one bit for each 16-bit index.
    std::vector<uint8_t> indexes(0x10000 / 8);
    return LoadTable(
        stream, sheet, settings.netPosition, settings.netCount, uint64_t(settings.netSize) + 8,
        [&](V36Net* net) { return ReadNet(stream, sheet, indexes, net); }, FreeNets, &sheet->nets,
        &sheet->netCount);
}

// ---- Elements ----

OSStatus LoadV36ElementList(StreamRecord* stream, MemPool pool, uint16_t count, bool longHead,
                            bool swap, V36ElementList* list) {
    *list = V36ElementList{};
    if (count == 0) return status::kNoErr;
    if (!Fits(stream, count, 4)) return status::kEndOfFile;
    V36Element* items = AllocArray<V36Element>(pool, count);
    if (!items) return status::kOutOfMemory;
    const bool swapWas = EnableStreamReadByteSwap(stream, swap);
    OSStatus st = status::kNoErr;
    uint32_t read = 0;
    for (; read < count && st == status::kNoErr; ++read)
        st = ReadV36Element(stream, pool, longHead, swap, &items[read]);
    EnableStreamReadByteSwap(stream, swapWas);
    if (st) {
        for (uint32_t i = 0; i < read; ++i) FreeElement(&items[i]);
        MemFreePtr(items);
        return st;
    }
    list->items = items;
    list->count = count;
    return status::kNoErr;
}

void FreeV36ElementList(V36ElementList* list) {
    for (uint32_t i = 0; i < list->count; ++i) FreeElement(&list->items[i]);
    Free(list->items);
    *list = V36ElementList{};
}

void ByteSwapV36Element(void* record, uint32_t length, bool longHead) {
    uint8_t* bytes = static_cast<uint8_t*>(record);
    const uint32_t head = longHead ? kV36LongHeadSize : kV36ShortHeadSize;
    if (length > 2) ByteSwapWordArray(bytes + 2, std::min<uint32_t>(length, 18) - 2);
    if (length > head) ByteSwapWordArray(bytes + head, length - head);
}

// ---- The whole sheet ----

OSStatus ReadV36Sheet(StreamRecord* stream, MemPool pool, V36Sheet** out) {
    if (!out) return status::kParamErr;
    *out = nullptr;
    V36SheetStart start;
    if (OSStatus st = ReadV36SheetStart(stream, &start)) return st;
    V36Sheet* sheet = NewV36Sheet(pool, start);
    if (!sheet) return status::kOutOfMemory;
    using Loader = OSStatus (*)(StreamRecord*, V36Sheet*);
    static constexpr Loader kLoaders[] = {
        LoadV36SheetSettings, LoadV36SheetLabels, LoadV36ImageList, LoadV36Symbols,
        LoadV36SheetElements, ReadOldFormatStyleList, LoadV36Texts, LoadV36Parts,
        LoadV36Pins, LoadV36Busses, LoadV36Nets,
    };
    for (Loader load : kLoaders) {
        if (OSStatus st = load(stream, sheet)) {
            DisposeV36Sheet(sheet);
            return st;
        }
    }
    *out = sheet;
    return status::kNoErr;
}

// ---- Records shared with the other version-3.6 files ----

bool V36SpecInBlock(StringBlock block, StringSpec spec) {
    if (spec == 0) return true;
    if (!block) return false;
    StringBlockHeader header;
    std::memcpy(&header, *block, sizeof header);
    const uint64_t offset = StringSpecOffset(spec);
    return offset >= kStringBlockHeaderSize && offset + StringSpecLength(spec) <= header.used;
}

OSStatus ReadV36StringBlock(StreamRecord* stream, MemPool pool, uint32_t length, bool swap,
                            StringBlock* block) {
    *block = nullptr;
    if (length > Remaining(stream)) return status::kEndOfFile;
    if (length < kStringBlockHeaderSize || length > kStringBlockMaxAllocated) return kV36BadRecord;
    Handle bytes = AllocHandle(pool, length);
    if (!bytes) return status::kOutOfMemory;
    if (OSStatus st = ReadBytes(stream, *bytes, length)) {
        MemFree(bytes);
        return st;
    }
    StringBlockHeader header;
    std::memcpy(&header, *bytes, sizeof header);
    if (swap) ByteSwapStringBlockHeader(&header);
    if (header.used < kStringBlockHeaderSize || header.used > length) {
        MemFree(bytes);
        return kV36BadRecord;
    }
    // The header then describes the block as it is held here.
    header.magic = kStringBlockMagic;
    header.allocated = length;
    header.quantum = std::max<uint16_t>(header.quantum, kStringBlockMinQuantum);
    header.zero = 0;
    std::memcpy(*bytes, &header, sizeof header);
    *block = bytes;
    return status::kNoErr;
}

OSStatus ReadV36TextRecord(StreamRecord* stream, uint32_t storedSize, bool swap,
                           StringBlock strings, V36TextRecord* text) {
    if (OSStatus st = ReadSized(stream, text, kV36TextSize, storedSize, kV36TextTemplate, swap))
        return st;
    if (!V36SpecInBlock(strings, text->text)) return kV36BadRecord;
    if ((text->flagsB & kV36TextMacro) && !V36SpecInBlock(strings, text->macro)) return kV36BadRecord;
    return status::kNoErr;
}

OSStatus ReadV36StyleList(StreamRecord* stream, MemPool pool, bool swap, V36StyleList* out) {
    *out = V36StyleList{};
    uint8_t values[kStyleHeaderMinimum];
    if (OSStatus st = ReadBytes(stream, values, sizeof values)) return st;
    V36StyleList list{};
    list.headerLength = GetBE32(values) & 0xFFF;
    list.recordSize = GetBE32(values + 4);
    const uint32_t count = GetBE32(values + 8);
    list.flags = GetBE32(values + 12);
    if (list.headerLength < kStyleHeaderMinimum) return kV36BadRecord;
    if (list.headerLength >= kStyleHeaderWithExtra) {
        uint8_t extra[4];
        if (OSStatus st = ReadBytes(stream, extra, sizeof extra)) return st;
        list.extra = GetBE32(extra);
        if (OSStatus st = Skip(stream, list.headerLength - kStyleHeaderWithExtra)) return st;
    } else if (OSStatus st = Skip(stream, list.headerLength - kStyleHeaderMinimum)) {
        return st;
    }
    // Each style takes its record and at least the length byte of its font name.
    if (!Fits(stream, count, uint64_t(list.recordSize) + 1)) return status::kEndOfFile;
    list.styles = AllocArray<V36Style>(pool, count);
    if (count && !list.styles) return status::kOutOfMemory;
    list.count = count;
    OSStatus st = status::kNoErr;
    for (uint32_t i = 0; i < count && st == status::kNoErr; ++i)
        st = ReadSized(stream, &list.styles[i].record, kV36StyleSize, list.recordSize,
                       kV36StyleTemplate, swap);
    for (uint32_t i = 0; i < count && st == status::kNoErr; ++i) {
        uint8_t name[256];
        st = ReadBytes(stream, name, 1);
        if (st == status::kNoErr) st = ReadBytes(stream, name + 1, name[0]);
        if (st == status::kNoErr && name[0] > 0) {
            list.styles[i].fontName = AllocPtrWithData(pool, name, name[0] + 1u);
            if (!list.styles[i].fontName) st = status::kOutOfMemory;
        }
    }
    if (st) {
        FreeV36StyleList(&list);
        return st;
    }
    *out = list;
    return status::kNoErr;
}

void FreeV36StyleList(V36StyleList* list) {
    for (uint32_t i = 0; i < list->count; ++i) Free(list->styles[i].fontName);
    Free(list->styles);
    *list = V36StyleList{};
}

// ---- Looking up ----

int32_t FindV36Symbol(const V36Sheet* sheet, uint16_t number) {
    for (uint32_t i = 0; sheet && i < sheet->symbolCount; ++i)
        if (sheet->symbols[i].record.number == number) return int32_t(i);
    return -1;
}

const V36Style* V36TextStyle(const V36Sheet* sheet, uint32_t index) {
    return sheet && index < sheet->styles.count ? &sheet->styles.styles[index] : nullptr;
}

const uint8_t* V36PinName(const V36Pin* pin) {
    return pin && pin->recordLength > 2 ? reinterpret_cast<const uint8_t*>(pin->record) + 2 : nullptr;
}

const char* V36PinFields(const V36Pin* pin, uint32_t* length) {
    *length = 0;
    const uint8_t* name = V36PinName(pin);
    if (!name) return nullptr;
    const uint32_t start = 3u + name[0];
    if (start >= pin->recordLength) return nullptr;
    *length = pin->recordLength - start;
    return pin->record + start;
}

uint8_t TranslatePinType(int16_t flags) {
    if (flags & 0x2) return 7;
    if (flags & 0x8) return 2;
    return uint8_t(flags & 0x1);
}

}  // namespace plexa
