// The commands of lib-tool (see lib_tool.h).
#include "library/lib_tool.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "foundation/byteswap.h"
#include "foundation/bytes.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "foundation/statustext.h"
#include "graphics/displaylist.h"
#include "graphics/textstyle.h"
#include "library/libfile.h"
#include "model/attributes.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/symboldata.h"

namespace plexa {

namespace {

constexpr int kDone = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char* kUsageText =
    "usage: lib-tool create LIBRARY\n"
    "       lib-tool list [-l] LIBRARY\n"
    "       lib-tool add LIBRARY SOURCE [NAME...]\n"
    "       lib-tool extract LIBRARY NAME FILE\n"
    "       lib-tool delete LIBRARY NAME...\n"
    "       lib-tool check LIBRARY\n";

__attribute__((format(printf, 2, 3))) void Print(std::string* to, const char* format, ...) {
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    to->append(line);
}

bool SpecOf(const char* path, FileSpec* spec, std::string* err) {
    const OSStatus st = FileSpecFromURL(NormalizePath(path), spec, false, nullptr);
    if (st == status::kNoErr) return true;
    Print(err, "lib-tool: %s: the file cannot be named: %s\n", path, DescribeStatus(st).c_str());
    return false;
}

std::string EntryName(LibraryItemMap map, const LibraryItemMapEntry& entry) {
    char name[kStringSpecBufferSize];
    GetLibItemMapEntryName(map, &entry, name, sizeof name);
    return name;
}

std::vector<LibraryItemMapEntry> Entries(LibraryItemMap map) {
    std::vector<LibraryItemMapEntry> entries(size_t(CountLibItemMapEntries(map)));
    for (size_t i = 0; i < entries.size(); ++i) GetLibItemMapEntry(map, int32_t(i), &entries[i]);
    return entries;
}

// The block of the item that has the name (primary or alias), 0 when none.
uint32_t FindItem(LibraryItemMap map, const std::string& name) {
    for (const LibraryItemMapEntry& entry : Entries(map)) {
        if (EntryName(map, entry) == name) return entry.blockId;
    }
    return 0;
}

// The block of the item whose primary name it is, 0 when none.
uint32_t FindPrimary(LibraryItemMap map, const std::string& name) {
    for (const LibraryItemMapEntry& entry : Entries(map)) {
        if (entry.nameIndex == 0 && EntryName(map, entry) == name) return entry.blockId;
    }
    return 0;
}

OSStatus Open(const char* path, uint32_t mode, LibraryFileRecord* record, std::string* err) {
    FileSpec spec;
    if (!SpecOf(path, &spec, err)) return status::kParamErr;
    const OSStatus st = OpenLibraryFile(&spec, record, mode);
    if (st) Print(err, "lib-tool: %s: cannot be opened as a library: %s\n", path, DescribeStatus(st).c_str());
    return st;
}

int Finish(LibraryFileRecord* record, const char* path, int result, std::string* err) {
    const OSStatus st = CloseLibraryFile(record);
    if (st) {
        Print(err, "lib-tool: %s: the library cannot be saved: %s\n", path, DescribeStatus(st).c_str());
        return kFailed;
    }
    return result;
}

int Create(const char* path, std::string* err) {
    FileSpec spec;
    if (!SpecOf(path, &spec, err)) return kFailed;
    const OSStatus st = CreateLibraryFile(&spec);
    if (st) {
        Print(err, "lib-tool: %s: the library cannot be created: %s\n", path, DescribeStatus(st).c_str());
        return kFailed;
    }
    return kDone;
}

// ---- list ----

// The texts that a drawing records, each "text KIND \"string\" FONT SIZE [face FACE]" or
// "frame \"string\" FONT SIZE [face FACE]", walked from its display list without drawing it.
struct DrawingTexts {
    std::vector<std::string> lines;
    int pending = 0;  // 1: the next text is a text element of `kind`, 2: a frame, 0: neither
    uint16_t kind = 0;
    bool utf8 = false;
    std::string font;
    uint16_t size = 0;
    uint16_t face = 0;
};

DrawingTexts* gDrawingTexts = nullptr;

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

int32_t WalkEnd(uint8_t*, DLParseState* st) {
    if (st->opcode == 0x00) st->continueWalk = false;
    if (st->opcode == 0x30) gDrawingTexts->utf8 = st->parameter == 1;
    return st->payloadSize;
}

int32_t WalkClass3(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x03) DLParseHeader(payload, st, false);
    if (st->opcode == 0x13)
        gDrawingTexts->font.assign(reinterpret_cast<const char*>(payload),
                                   strnlen(reinterpret_cast<const char*>(payload), size_t(st->payloadSize)));
    return st->payloadSize;
}

int32_t WalkClass8(uint8_t* payload, DLParseState* st) {
    if (st->opcode == 0x28) gDrawingTexts->face = GetNative16(payload, st->swapped);
    return st->payloadSize;
}

void TakeText(const uint8_t* bytes, int32_t length) {
    DrawingTexts& t = *gDrawingTexts;
    if (length < 0 || t.pending == 0) return;
    std::string text(reinterpret_cast<const char*>(bytes), size_t(length));
    if (!t.utf8) {
        text.resize(size_t(length) * 3 + 1);
        RecodeString(text.data(), uint32_t(text.size()), kEncodingMacRoman, kEncodingUTF8);
        text.resize(std::strlen(text.c_str()));
    }
    char head[32];
    std::snprintf(head, sizeof head, "text 0x%04X ", t.kind);
    char look[48];
    std::snprintf(look, sizeof look, " %u", t.size);
    std::string line = (t.pending == 1 ? std::string(head) : std::string("frame ")) + Quote(text) + " " +
                       t.font + look;
    if (t.face) line += " face " + std::to_string(t.face);
    t.lines.push_back(line);
    t.pending = 0;
}

int32_t WalkClass6(uint8_t* payload, DLParseState* st) {
    uint8_t* data = payload + (st->parameterWord ? 2 : 0);
    const int32_t value = st->parameter;
    DrawingTexts& t = *gDrawingTexts;
    switch (st->opcode) {
        case 0x16: t.size = uint16_t(value); break;
        case 0x86: TakeText(data, value); break;
        case 0x96: TakeText(data + 4, value - 4); break;
        case 0xA6: TakeText(data + 2, value - 2); break;
        case 0x46:
        case 0x56:
        case 0x66: {
            const uint8_t* comment = st->opcode == 0x46 ? data : st->opcode == 0x56 ? data + 2 : data + 4;
            const int32_t length = st->opcode == 0x46   ? 4
                                   : st->opcode == 0x56 ? GetNative16(data, st->swapped)
                                                        : int32_t(GetNative32(data, st->swapped));
            if (value == kSymCommentText && length >= 4) {
                t.pending = 1;
                t.kind = GetNative16(comment, st->swapped);
            } else if (value == kSymCommentFrame && length >= 4) {
                t.pending = 2;
            }
            break;
        }
        default: break;
    }
    return st->payloadSize;
}

std::vector<std::string> TextsOfDrawing(Ptr data) {
    DrawingTexts texts;
    if (!data || SizeOfPtr(data) <= kSymbolDataHeadSize) return {};
    // A recording states only what differs from the style it starts with.
    txStyle start{};
    SetupDefaultStyle(&start, kStyleUser);
    char font[256] = {};
    GetStyleFont(&start, font);
    texts.font = font;
    texts.size = uint16_t(start.size);
    texts.face = uint16_t(start.face);
    static const DLParseHandler kHandlers[16] = {WalkEnd, nullptr, nullptr, WalkClass3, nullptr, nullptr,
                                                 WalkClass6, nullptr, WalkClass8};
    gDrawingTexts = &texts;
    VXParseDisplayListBytes(reinterpret_cast<uint8_t*>(data) + kSymbolDataHeadSize,
                            SizeOfPtr(data) - kSymbolDataHeadSize, kHandlers, Point{0, 0}, 0, nullptr,
                            nullptr);
    gDrawingTexts = nullptr;
    return texts.lines;
}

// What an item holds, two spaces in: prefix, attributes, each symbol definition with its pins and
// the texts of its drawing, each section with its pin numbers.
void DescribeItem(LibraryItem* item, std::string* out) {
    char text[kLibItemTextSize];
    char value[kAttributeTextSize];
    char prefix[kLibRefPrefixSize];
    GetLibraryItemRefPrefix(item, prefix);
    if (prefix[0]) Print(out, "  prefix %s\n", Quote(prefix).c_str());
    for (int32_t i = 0; i < item->head.attributeCount; ++i) {
        GetIndexedAttribute(item->stringBlock, item->attributes, 0, i, text, value, nullptr, nullptr);
        Print(out, "  attribute %s = %s\n", Quote(text).c_str(), Quote(value).c_str());
    }
    for (int32_t s = 0; s < item->head.symbolCount; ++s) {
        GetLibSymbolName(item, s, text);
        Print(out, "  symbol %s flags 0x%X placement %u\n", Quote(text).c_str(), GetLibSymbolFlags(item, s),
              GetLibSymbolPlacementOptions(item, s));
        const int32_t pins = CountLibSymbolPins(item, 0, s);
        for (int32_t p = 0; p < pins; ++p) {
            const uint32_t id = GetLibSymbolPinDataId(item, 0, s, p);
            const Handle record = GetIndexedPinData(item->pinTable, int32_t(id));
            char name[kPinTextSize] = {};
            if (record) GetPinDataName(record, item->stringBlock, name);
            Print(out, "    pin %d %s type %u\n", p, Quote(name).c_str(), record ? GetPinDataType(record, false) : 0);
        }
        for (const std::string& line : TextsOfDrawing(GetLibSymbolData(item, s, 0)))
            Print(out, "    %s\n", line.c_str());
    }
    for (void* entry = LLFirst(item->sections); entry; entry = LLGetNext(item->sections, entry)) {
        const auto* section = static_cast<const LibSection*>(entry);
        GetLibSectionSuffix(section, item->stringBlock, text);
        std::string numbers;
        for (int32_t p = 0; p < section->pinCount; ++p) {
            GetLibSectionPinNumber(section, item->stringBlock, 0, p, value);
            numbers += " " + Quote(value);
        }
        Print(out, "  section %s symbol %d pins%s\n", Quote(text).c_str(),
              section->symbolIndex == kLibNoSymbol ? -1 : section->symbolIndex, numbers.c_str());
    }
}

int List(const char* path, bool details, std::string* out, std::string* err) {
    LibraryFileRecord record;
    if (OSStatus st = Open(path, kLibraryOpenReadOnly | kLibraryOpenLoadMap, &record, err)) {
        const bool noLibrary =
            st == status::kNotDynamicFile || st == status::kUnknownFileKind || st == status::kNotFound;
        return noLibrary ? kUsage : kFailed;
    }
    const std::vector<LibraryItemMapEntry> entries = Entries(record.map);
    std::map<uint32_t, std::string> primaries;
    for (const LibraryItemMapEntry& entry : entries) {
        if (entry.nameIndex == 0) primaries[entry.blockId] = EntryName(record.map, entry);
    }
    int result = kDone;
    for (const LibraryItemMapEntry& entry : entries) {
        const std::string name = EntryName(record.map, entry);
        if (entry.nameIndex != 0) {
            Print(out, "%s (alias of %s)\n", name.c_str(), primaries[entry.blockId].c_str());
            continue;
        }
        Print(out, "%s\n", name.c_str());
        if (!details) continue;
        Handle flat = nullptr;
        LibraryItem* item = nullptr;
        OSStatus st = LoadLibraryFileItem(&record, entry.blockId, &flat);
        if (st == status::kNoErr) st = InflateLibraryItem(flat, &item, true);
        if (flat) MemFree(flat);
        if (st) {
            Print(out, "  unreadable (status %d / 0x%X)\n", int(st), uint32_t(st));
            Print(err, "lib-tool: %s: an item cannot be read: %s\n", path, DescribeStatus(st).c_str());
            result = kFailed;
            continue;
        }
        DescribeItem(item, out);
        DestroyLibraryItem(item);
    }
    return Finish(&record, path, result, err);
}

int Add(const char* path, const char* sourcePath, const std::vector<std::string>& names, std::string* out,
        std::string* err) {
    FileSpec target, source;
    if (!SpecOf(path, &target, err) || !SpecOf(sourcePath, &source, err)) return kFailed;
    std::string a, b;
    (void)CreateURLFromFileSpec(&target, false, &a);  // a spec made from a path has one
    (void)CreateURLFromFileSpec(&source, false, &b);  // a spec made from a path has one
    if (CompareURLs(a, b) == 0) {
        Print(err, "lib-tool: %s: is the library itself.\n", sourcePath);
        return kFailed;
    }
    LibraryFileRecord from;
    if (Open(sourcePath, kLibraryOpenReadOnly | kLibraryOpenLoadMap, &from, err)) return kFailed;
    // The items to copy, in the source's map order, each once, with their primary names.
    std::set<uint32_t> chosen;
    int result = kDone;
    for (const std::string& name : names) {
        const uint32_t block = FindItem(from.map, name);
        if (block == 0) {
            Print(err, "lib-tool: %s: has no item named %s.\n", sourcePath, name.c_str());
            result = kFailed;
        }
        chosen.insert(block);
    }
    std::vector<std::pair<uint32_t, std::string>> picked;
    for (const LibraryItemMapEntry& entry : Entries(from.map)) {
        if (entry.nameIndex == 0 && (names.empty() || chosen.count(entry.blockId)))
            picked.push_back({entry.blockId, EntryName(from.map, entry)});
    }
    LibraryFileRecord to;
    if (result != kDone || Open(path, kLibraryOpenLoadMap, &to, err)) {
        (void)CloseLibraryFile(&from);  // read only: the copy status is the one reported
        return kFailed;
    }
    for (const auto& [block, name] : picked) {
        Handle item = nullptr;
        OSStatus st = LoadLibraryFileItem(&from, block, &item);
        // The new item is written before the one it replaces goes.
        const uint32_t old = st == status::kNoErr ? FindPrimary(to.map, name) : 0;
        uint32_t written = 0;
        if (st == status::kNoErr) st = WriteLibraryFileItem(&to, item, true, &written);
        if (st == status::kNoErr && old != 0) st = DeleteLibraryFileItem(&to, old, true);
        if (item) MemFree(item);
        if (st) {
            Print(err, "lib-tool: %s: %s cannot be added: %s\n", path, name.c_str(), DescribeStatus(st).c_str());
            result = kFailed;
            break;
        }
        Print(out, "%s %s\n", old ? "replaced" : "added", name.c_str());
    }
    (void)CloseLibraryFile(&from);  // read only: the copy status is the one reported
    return Finish(&to, path, result, err);
}

int Extract(const char* path, const std::string& name, const char* outPath, std::string* err) {
    LibraryFileRecord record;
    if (Open(path, kLibraryOpenReadOnly | kLibraryOpenLoadMap, &record, err)) return kFailed;
    const uint32_t block = FindItem(record.map, name);
    int result = kDone;
    Handle item = nullptr;
    if (block == 0) {
        Print(err, "lib-tool: %s: has no item named %s.\n", path, name.c_str());
        result = kFailed;
    } else if (OSStatus st = LoadLibraryFileItem(&record, block, &item)) {
        Print(err, "lib-tool: %s: %s cannot be read: %s\n", path, name.c_str(), DescribeStatus(st).c_str());
        result = kFailed;
    } else {
        std::FILE* file = std::fopen(outPath, "wb");
        const size_t size = SizeOfHandle(item);
        const bool written = file && std::fwrite(*item, 1, size, file) == size;
        int error = errno;
        if (file && std::fclose(file) != 0) {
            error = errno;
            result = kFailed;
        }
        if (!written || result != kDone) {
            Print(err, "lib-tool: %s: cannot be written: %s\n", outPath, DescribeStatus(StatusFromErrno(error)).c_str());
            result = kFailed;
        }
        MemFree(item);
    }
    return Finish(&record, path, result, err);
}

int Delete(const char* path, const std::vector<std::string>& names, std::string* out, std::string* err) {
    LibraryFileRecord record;
    if (Open(path, kLibraryOpenLoadMap, &record, err)) return kFailed;
    std::vector<uint32_t> blocks;
    int result = kDone;
    for (const std::string& name : names) {
        const uint32_t block = FindItem(record.map, name);
        if (block == 0) {
            Print(err, "lib-tool: %s: has no item named %s.\n", path, name.c_str());
            result = kFailed;
        }
        blocks.push_back(block);
    }
    for (size_t i = 0; result == kDone && i < blocks.size(); ++i) {
        if (FindLibItemMapBlock(record.map, blocks[i]) < 0) continue;  // named twice
        if (OSStatus st = DeleteLibraryFileItem(&record, blocks[i], true)) {
            Print(err, "lib-tool: %s: %s cannot be deleted: %s\n", path, names[i].c_str(), DescribeStatus(st).c_str());
            result = kFailed;
        } else {
            Print(out, "deleted %s\n", names[i].c_str());
        }
    }
    return Finish(&record, path, result, err);
}

// ---- check ----

struct Checker {
    std::string* out;
    int problems = 0;

    __attribute__((format(printf, 2, 3))) void Problem(const char* format, ...) {
        char line[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        ++problems;
        Print(out, "problem: %s\n", line);
    }
};

void ReportStructure(const char* message, void* context) {
    static_cast<Checker*>(context)->Problem("%s", message);
}

// The names of every readable item block, by block id.
struct ItemNames {
    uint8_t kind;
    std::vector<std::string> names;
};

void CheckBlocks(DynamicFileRecord* file, const LibraryFileHeader& header, Checker& check,
                 std::map<uint32_t, ItemNames>* items) {
    uint32_t offset = 0, size = 0;
    for (;;) {
        uint8_t type = 0;
        if (ScanFileBlocks(file, &offset, &size, &type) != status::kNoErr || offset == 0) return;
        if (type == kLibraryItemBlockType) {
            Handle item = nullptr;
            int32_t count = 0;
            if (LoadFileBlock(file, offset, &item) != status::kNoErr ||
                CheckFlattenedLibraryItemNames(item, &count) != status::kNoErr) {
                check.Problem("block %u is not a library item with names", offset);
            } else {
                // The names alone do not make an item: it must inflate, as a user of it does.
                LibraryItem* inflated = nullptr;
                const OSStatus st = InflateLibraryItem(item, &inflated, true);
                if (st != status::kNoErr)
                    check.Problem("block %u holds an item that cannot be read (status %d / 0x%X)", offset, int(st),
                                  uint32_t(st));
                DestroyLibraryItem(inflated);
                ItemNames& found = (*items)[offset];
                found.kind = GetFlattenedLibraryItemKind(item) & kItemMapKindMask;
                char name[kFlatItemNameBufferSize];
                for (int32_t i = 0; i < count; ++i) {
                    GetFlattenedLibraryItemName(item, i, name, sizeof name);
                    found.names.push_back(name);
                }
            }
            if (item) MemFree(item);
        } else if (type == kLibraryPendingItemBlockType) {
            check.Problem("block %u is an item whose writing was interrupted", offset);
        } else if (type == kLibraryMapBlockType) {
            if (offset != header.mapBlockId) check.Problem("block %u is an item map the header does not name", offset);
        } else if (type != kFreeBlockType) {
            check.Problem("block %u has type %u, which no library uses", offset, type);
        }
    }
}

void CheckMap(DynamicFileRecord* file, const LibraryFileHeader& header, const std::map<uint32_t, ItemNames>& items,
              Checker& check) {
    if (header.mapInvalid) {
        check.Problem("the item map is marked invalid: the last change was not saved (the map is rebuilt "
                      "when the library is opened)");
        return;
    }
    if (header.mapBlockId == 0) {
        check.Problem("the library has no item map");
        return;
    }
    LibraryItemMap map = nullptr;
    StringBlock names = nullptr;
    if (OSStatus st = ReadItemMap(file, &header, &map, &names)) {
        check.Problem("the item map cannot be read (status %d / 0x%X)", int(st), uint32_t(st));
        return;
    }
    const std::vector<LibraryItemMapEntry> entries = Entries(map);
    std::set<std::pair<uint32_t, uint16_t>> listed;
    for (const LibraryItemMapEntry& entry : entries) {
        const std::string name = EntryName(map, entry);
        auto item = items.find(entry.blockId);
        if (item == items.end()) {
            check.Problem("the item map lists %s in block %u, which holds no item", name.c_str(), entry.blockId);
            continue;
        }
        const ItemNames& found = item->second;
        const uint8_t flags = uint8_t(found.kind | (entry.nameIndex > 0 ? kItemMapAlias : 0));
        if (entry.nameIndex >= found.names.size() || found.names[entry.nameIndex] != name || entry.flags != flags)
            check.Problem("the item map's entry %s does not agree with block %u", name.c_str(), entry.blockId);
        listed.insert({entry.blockId, entry.nameIndex});
    }
    for (const auto& [block, found] : items) {
        for (size_t i = 0; i < found.names.size(); ++i) {
            if (!listed.count({block, uint16_t(i)}))
                check.Problem("the item map lacks %s of block %u", found.names[i].c_str(), block);
        }
    }
    if (header.namesUTF8) {
        ItemNamesDigest stored, built;
        int32_t length = kItemNamesDigestSize;
        BuildItemNamesDigest(map, names, &built);
        if (ReadFileBlock(file, header.mapBlockId, stored.bytes, &length) != status::kNoErr ||
            std::memcmp(stored.bytes, built.bytes, sizeof built.bytes) != 0)
            check.Problem("the names digest does not agree with the item map");
    }
    DestroyLibraryItemMap(map, names);
}

int Check(const char* path, std::string* out, std::string* err) {
    FileSpec spec;
    if (!SpecOf(path, &spec, err)) return kUsage;
    DynamicFileRecord file;
    OSStatus st = OpenDynamicFile(&spec, true, &file);
    if (st) {
        Print(err, "lib-tool: %s: cannot be opened: %s\n", path, DescribeStatus(st).c_str());
        return kUsage;
    }
    LibraryFileHeader header;
    st = file.fileType == StringToFourChar(kLibraryFileType) ? ReadLibraryFileHeader(&file, &header)
                                                            : status::kUnknownFileKind;
    if (st) {
        Print(err, "lib-tool: %s: is not a library file: %s\n", path, DescribeStatus(st).c_str());
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
        return kUsage;
    }
    Checker check{out};
    (void)CheckDynamicFile(&file, ReportStructure, &check);  // the problems are printed as found
    std::map<uint32_t, ItemNames> items;
    CheckBlocks(&file, header, check, &items);
    CheckMap(&file, header, items, check);
    (void)CloseAndMaybeFlushDynamicFile(&file, false);  // read only: nothing to flush
    size_t names = 0;
    for (const auto& item : items) names += item.second.names.size();
    Print(out, "%zu items, %zu names: %s\n", items.size(), names, check.problems ? "damaged" : "sound");
    return check.problems ? kFailed : kDone;
}

}  // namespace

int RunLibTool(int argc, const char* const* argv, std::string* out, std::string* err) {
    const std::string command = argc >= 2 ? argv[1] : "";
    std::vector<std::string> rest;
    for (int i = 3; i < argc; ++i) rest.push_back(argv[i]);
    if (command == "create" && argc == 3) return Create(argv[2], err);
    if (command == "list" && argc == 3) return List(argv[2], false, out, err);
    if (command == "list" && argc == 4 && std::string(argv[2]) == "-l") return List(argv[3], true, out, err);
    if (command == "add" && argc >= 4) {
        return Add(argv[2], argv[3], std::vector<std::string>(rest.begin() + 1, rest.end()), out, err);
    }
    if (command == "extract" && argc == 5) return Extract(argv[2], argv[3], argv[4], err);
    if (command == "delete" && argc >= 4) return Delete(argv[2], rest, out, err);
    if (command == "check" && argc == 3) return Check(argv[2], out, err);
    err->append(kUsageText);
    return kUsage;
}

}  // namespace plexa
