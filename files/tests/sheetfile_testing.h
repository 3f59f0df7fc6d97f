// Test helpers of sheet files: a sheet record with the lists that the header blocks read and
// write, a sheet file written from it block by block in the save's order, and the bytes of a
// file's blocks.
#pragma once

#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/root.h"
#include "files/filesymbols.h"
#include "files/sheetblocks.h"
#include "files/sheetexports.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "files/tests/flat_item_testing.h"
#include "foundation/da.h"
#include "foundation/dynfile.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/stringblock.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {

using Attributes = std::vector<std::pair<std::string, std::string>>;

// A sheet record with a string block, attributes, symbols, elements, an image list and file
// symbols, freed with the object.
class TestSheet {
public:
    TestSheet() {
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        sheet_.stringBlock = CreateStringBlock(gGenPool, 4096);
        sheet_.attributes = AllocHandle(gGenPool, 0);
        sheet_.symbolList = LLCreate(gGenPool, sizeof(SymbolRecord), 0);
        LLSetFreeProc(sheet_.symbolList, [](LinkListHeader*, void* item, void*, uint32_t) {
            if (Handle h = static_cast<SymbolRecord*>(item)->attributes) MemFree(h);
        });
        sheet_.imageList = CreateLocalImageList();
        sheet_.elementList = CreateElementList(sheet_.imageList);
        sheet_.fileSymbolList = CreateFileSymbolList();
        sheet_.fileHeader.rank = kSheetRankUnknown;
        sheet_.stored.nextSerial = 1;
    }
    ~TestSheet() {
        DestroyFileSymbolList(sheet_.fileSymbolList);
        DestroyElementList(sheet_.elementList);
        DestroyImageList(sheet_.imageList);
        LLDispose(sheet_.symbolList, true);
        MemFree(sheet_.attributes);
        DestroyStringBlock(sheet_.stringBlock);
    }
    TestSheet(const TestSheet&) = delete;
    TestSheet& operator=(const TestSheet&) = delete;

    SheetRecord* get() { return &sheet_; }
    SheetRecord* operator->() { return &sheet_; }

    void SheetAttributes(const Attributes& attributes) {
        int16_t count = int16_t(sheet_.stored.attributeCount);
        for (const auto& [name, value] : attributes)
            SetAttributeValue(sheet_.stringBlock, sheet_.attributes, 0, &count, name.c_str(), value.c_str(), nullptr);
        sheet_.stored.attributeCount = uint16_t(count);
    }
    // A placed symbol at the end of the list, with the next serial number.
    SymbolRecord* Symbol(uint32_t flags, const Attributes& attributes = {}) {
        auto* symbol = static_cast<SymbolRecord*>(LLAppend(sheet_.symbolList, nullptr));
        symbol->serial = sheet_.stored.nextSerial++;
        symbol->flags = flags;
        symbol->secondMapId = -1;
        symbol->libraryName = 0xFFFFFFFF;
        if (!attributes.empty()) {
            symbol->attributes = AllocHandle(gGenPool, 0);
            int16_t count = 0;
            for (const auto& [name, value] : attributes)
                SetAttributeValue(sheet_.stringBlock, symbol->attributes, 0, &count, name.c_str(), value.c_str(), nullptr);
            symbol->attributeCount = uint16_t(count);
        }
        return symbol;
    }
    void FileSymbol(const std::vector<std::string>& names) {
        auto* entry = static_cast<FileSymbolEntry*>(LLAppend(sheet_.fileSymbolList, nullptr));
        const std::string bytes = FlatItemBytes(names);
        entry->item = AllocHandleWithData(gGenPool, bytes.data(), uint32_t(bytes.size()));
    }
    ElementRecord* Element(uint8_t kind, Point a, Point b, int16_t pen = 1) {
        ElementRecord* e = BuildCommonElement(kind, a, b, pen, 10, 20, false, true, 0x00FF0000, false, 0, false);
        LLAppend(sheet_.elementList, e);
        return e;
    }
    // The elements as text: kind, flags, pen, the bounds, the tail bytes.
    std::vector<std::string> Elements() {
        std::vector<std::string> out;
        for (auto* e = static_cast<ElementRecord*>(LLFirst(sheet_.elementList)); e; e = e->next) {
            const uint32_t size = ElementSize(e);
            std::string tail(reinterpret_cast<const char*>(e) + kElementHeadSize, size - kElementHeadSize);
            char line[160];
            std::snprintf(line, sizeof line, "%u %u %d {%d %d %d %d} %08X", e->kind, e->flags, e->penWidth,
                          e->bounds.top, e->bounds.left, e->bounds.bottom, e->bounds.right, e->frameColor);
            out.push_back(line + (" " + Hex(tail)));
        }
        return out;
    }
    static std::string Hex(const std::string& bytes) {
        std::string out;
        char digits[3];
        for (unsigned char c : bytes) {
            std::snprintf(digits, sizeof digits, "%02x", c);
            out += digits;
        }
        return out;
    }

private:
    SheetRecord sheet_{};
};

// The bytes a writer puts on a stream.
inline std::string Written(const std::function<OSStatus(StreamRecord*)>& write) {
    HandleStream out;
    EXPECT_EQ(write(out.stream), 0);
    return out.bytes();
}

inline FileSpec SheetSpecOf(const std::string& path) {
    FileSpec spec;
    EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
    return spec;
}

// A new sheet file (a dynamic file of type "SCH4" with its 256-byte application header) whose
// blocks are written by `blocks`, the file open for writing.
inline void MakeSheetFile(const std::string& path, const std::function<void(DynamicFileRecord*)>& blocks) {
    FileSpec spec = SheetSpecOf(path);
    ASSERT_EQ(CreateDynamicFile(&spec, kSheetFileCreator, kSheetFileTypeName, kSheetFileTypeName,
                                kSheetAppHeaderSize), 0);
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&spec, false, &file, nullptr), 0);
    blocks(&file);
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
}

// Writes a block of the type through the block stream.
inline void WriteBlock(DynamicFileRecord* file, uint8_t type, const std::function<OSStatus(StreamRecord*)>& write) {
    StreamRecord* stream = nullptr;
    ASSERT_EQ(BeginFileBlockWrite(file, -1, &stream), 0);
    ASSERT_EQ(write(stream), 0) << int(type);
    ASSERT_EQ(EndFileBlockWrite(file, 0, type, nullptr), 0) << int(type);
}

inline void WriteRawBlock(DynamicFileRecord* file, uint8_t type, const std::string& bytes) {
    uint32_t offset = 0;
    ASSERT_EQ(WriteFileBlock(file, type, uint32_t(bytes.size()), bytes.data(), &offset), 0);
}

// The stand-in for an annotation map's stored form: its mark, no dead sessions, one byte.
inline std::string AnnotationBytes(uint8_t tag) { return Hex("3412 0000") + std::string(1, char(tag)); }

// A window state: scale 150, the tools expanded, at 40, 10, 600, 800, the view at 12, 24, the
// first pane 200 wide.
inline SheetWindowState TestWindowState() {
    SheetWindowState state{};
    state.scale = 150;
    state.toolsExpanded = 1;
    state.position = Rect{40, 10, 600, 800};
    state.viewTop = 12;
    state.viewLeft = 24;
    state.paneWidths[0] = 200;
    return state;
}

// Writes the whole sheet in the save's order. Blocks whose content belongs to other modules (the
// annotation map, text themes, contents, text frames, print record) hold stand-in bytes; `exports`
// may be none.
inline void WriteTestSheetFile(const std::string& path, TestSheet& sheet, SheetExportsTable exports,
                               const std::string& opaque = {}) {
    MakeSheetFile(path, [&](DynamicFileRecord* file) {
        SheetWindowState state = TestWindowState();
        ASSERT_EQ(WriteSheetWindowState(nullptr, file, &state), 0);
        const bool symbols = CountFileSymbols(sheet->fileSymbolList) > 0;
        ASSERT_EQ(WriteSheetSymbolExportFlag(file, symbols), 0);
        ASSERT_EQ(WriteSheetFileHeader(file, &sheet->fileHeader), 0);
        WriteBlock(file, kSheetSubSheetRefsBlock, [&](StreamRecord* s) { return WriteSubSheetRefs(sheet.get(), s); });
        WriteRawBlock(file, kSheetAnnotationBlock, AnnotationBytes(1));
        if (exports)
            WriteBlock(file, kSheetExportsBlock, [&](StreamRecord* s) { return WriteSheetExportsTable(s, exports); });
        if (symbols)
            WriteBlock(file, kSheetFileSymbolsBlock,
                       [&](StreamRecord* s) { return WriteFileSymbolsBlock(s, sheet->fileSymbolList); });
        WriteBlock(file, kSheetExportedAttributesBlock, [&](StreamRecord* s) { return WriteExportedAttributes(sheet.get(), s); });
        WriteBlock(file, kSheetStringBlock, [&](StreamRecord* s) { return WriteStringBlock(s, sheet->stringBlock); });
        WriteRawBlock(file, kSheetTextThemesBlock, "themes");
        if (!opaque.empty()) WriteRawBlock(file, kSheetOpaqueDataBlock, opaque);
        WriteRawBlock(file, kSheetContentsBlock, "contents");
        WriteRawBlock(file, kSheetTextFramesBlock, "frames");
        WriteBlock(file, kSheetElementsBlock, [&](StreamRecord* s) { return WriteSheetElements(sheet.get(), s); });
        WriteBlock(file, kSheetImageListBlock, [&](StreamRecord* s) { return FlattenImageList(s, sheet->imageList); });
    });
}

// A sheet with two sheet symbols, a symbol that names a sub-sheet, a plain symbol, attributes,
// elements and two file symbols.
inline void BuildRichSheet(TestSheet& sheet) {
    sheet->fileHeader.rank = 2;
    sheet.SheetAttributes({{"DrawingTitle", "Top"}});
    sheet.Symbol(kSymbolSheetSymbol, {{"~SUB", "Left.SHX"}, {"~NAM", "LEFT"}});
    sheet.Symbol(kSymbolSheetSymbol | 0x1000, {{"~SUB", "Right.SHX"}, {"~NAM", "RIGHT"}});
    sheet.Symbol(kSymbolNamesSubSheet | 0x2000, {{"~SUB", "Sub.SHX"}, {"~REF", "U7"}, {"Value", "1k"}});
    sheet.Symbol(0, {{"~REF", "R1"}});
    sheet.Element(kElementRect, {10, 20}, {30, 40});
    sheet.Element(kElementArrow, {0, 0}, {50, 60}, 2);
    sheet.FileSymbol({"TOP", "TOP-ALIAS"});
    sheet.FileSymbol({"PORTS"});
}

// A table of exports with the names, in the order given (each with its serial and kind).
struct ExportRow {
    const char* name;
    uint32_t portType;
    uint32_t serial;
    uint16_t pin;
    uint8_t kind;
};
inline SheetExportsTable MakeExports(const std::vector<ExportRow>& rows) {
    SheetExportsTable table = CreateSheetExportsTable();
    EXPECT_NE(table, nullptr);
    for (const ExportRow& row : rows) {
        SheetExportEntry entry{};
        entry.name = OverlayStringBlock(GetSheetExportsStrings(table), row.name, -1, nullptr);
        entry.portType = row.portType;
        entry.serial = row.serial;
        entry.pinIndex = row.pin;
        entry.kind = row.kind;
        EXPECT_GE(DAAdd(table, &entry), 0);
    }
    return table;
}
inline std::vector<std::string> ExportLines(SheetExportsTable table) {
    std::vector<std::string> lines;
    SheetExportEntry entry;
    char name[kStringSpecBufferSize];
    for (int32_t i = 0; table && GetSheetExportEntry(table, i, &entry, name, sizeof name); ++i) {
        char line[kStringSpecBufferSize + 64];
        std::snprintf(line, sizeof line, "%s %X %X %u %u", name, entry.portType, entry.serial, entry.pinIndex,
                      entry.kind);
        lines.push_back(line);
    }
    return lines;
}

// The rich sheet's file, with two exports and opaque data.
inline void WriteRichSheetFile(const std::string& path, TestSheet& sheet) {
    BuildRichSheet(sheet);
    SheetExportsTable exports = MakeExports({{"IN", 0x10, 5, 0, kExportBussPort}, {"CLK", 0, 6, 2, 0}});
    WriteTestSheetFile(path, sheet, exports, "opaque");
    DestroySheetExportsTable(exports);
}

// What the tests of sheet files share: the core started once (its image lists and pools outside
// the capped pools of the damage tests), its hooks installed afresh around each test so that a
// test replaces only what it fakes, a scratch folder.
class SheetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(StartCore("files_tests"), 0);
        InstallCoreHooks();
        ElementPool();
    }
    void TearDown() override { InstallCoreHooks(); }
    TempDir dir_;
};

// The content of each block of a file by type (the first block of each type), and the order of
// the types.
struct FileBlocks {
    std::vector<uint8_t> order;
    std::map<uint8_t, std::string> content;
};
inline FileBlocks ReadBlocks(const std::string& path) {
    FileBlocks blocks;
    FileSpec spec = SheetSpecOf(path);
    DynamicFileRecord file;
    EXPECT_EQ(OpenDynamicFile(&spec, true, &file), 0);
    for (uint32_t offset = 0;;) {
        uint32_t size = 0;
        uint8_t type = 0;
        if (ScanFileBlocks(&file, &offset, &size, &type) != 0 || offset == 0) break;
        std::string bytes(size, '\0');
        int32_t length = int32_t(size);
        EXPECT_EQ(ReadFileBlock(&file, offset, bytes.data(), &length), 0);
        blocks.order.push_back(type);
        blocks.content.emplace(type, bytes);
    }
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    return blocks;
}

}  // namespace plexa::test
