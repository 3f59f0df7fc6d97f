// The sheet file container: the header block, the application header, telling a sheet file, the
// string block and text theme blocks, the in-place rewrites, a whole sheet written in the save's
// order and listed, and damaged files.
#include "app/root.h"
#include "files/sheetfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "files/sheet_services.h"
#include "files/sheetfile_dump.h"
#include "files/tests/files_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "foundation/datetime.h"
#include "foundation/geometry.h"
#include "model/annotation.h"
#include "files/sheetsave.h"

namespace plexa::test {
namespace {

class SheetFile : public SheetFileTest {
protected:
    std::string Path(const std::string& name) const { return dir_.file(name); }
    FileSpec Spec(const std::string& name) const { return SheetSpecOf(Path(name)); }
    // A sheet file whose only block is a header block of these bytes.
    FileSpec HeaderFile(const std::string& name, const std::string& block) {
        MakeSheetFile(Path(name), [&](DynamicFileRecord* file) { WriteRawBlock(file, kSheetHeaderBlock, block); });
        return Spec(name);
    }
    std::string Bytes(const std::string& name) const {
        std::string bytes;
        EXPECT_TRUE(ReadFile(Path(name), bytes));
        return bytes;
    }
    // The application header as stored (the 256 bytes from offset 64).
    std::string AppHeader(const std::string& name) const { return Bytes(name).substr(64, kSheetAppHeaderSize); }
};

// Header blocks written by hand: version, mark, platform characters, save counter, rank, the ten
// reserved bytes and the forty zero bytes.
const std::string kLittleHeader = Hex(
    "0201"       // version 258, little-endian
    "3412"       // mark 0x1234 in the writer's order
    "494D6163"   // "IMac", always big-endian
    "07000000"   // saved 7 times
    "0500"       // rank 5
    "00000000000000000000") + std::string(40, '\0');
const std::string kBigHeader = Hex(
    "0102"       // version 258, big-endian
    "1234"       // the mark reads 0x3412 here
    "504D6163"   // "PMac"
    "00000007"
    "0005"
    "00000000000000000000") + std::string(40, '\0');

TEST_F(SheetFile, HeaderBlocksOfBothOrdersRead) {
    struct Case {
        const std::string* block;
        uint16_t swapped;
        FourCharCode platform;
    };
    const Case cases[] = {{&kLittleHeader, 0, kPlatformIMac}, {&kBigHeader, 1, kPlatformPMac}};
    for (const Case& c : cases) {
        FileSpec spec = HeaderFile("h.SHX", *c.block);
        DynamicFileRecord file;
        SheetFileHeader header;
        ASSERT_EQ(OpenSheetFile(&spec, true, &file, &header), 0);
        EXPECT_EQ(header.version, 258);
        EXPECT_EQ(header.swapped, c.swapped);
        EXPECT_EQ(header.platform, c.platform);
        EXPECT_EQ(header.saveCounter, 7u);
        EXPECT_EQ(header.rank, 5);
        uint16_t rank = 0;
        EXPECT_EQ(ReadSheetFileRank(&spec, &rank), 0);
        EXPECT_EQ(rank, 5);
        EXPECT_EQ(CloseAndMaybeFlushDynamicFile(&file, false), 0);
    }
}

TEST_F(SheetFile, UnrecognisedPlatformsTakeTheAssumedOne) {
    struct Case {
        const char* code;
        bool big;
        FourCharCode platform;
        bool foreign;
    };
    const Case cases[] = {
        {"IMac", false, kPlatformIMac, false}, {"IW32", false, kPlatformIW32, true},
        {"M68K", true, kPlatformM68K, false},  {"PMac", true, kPlatformPMac, false},
        {"Xyz1", false, kPlatformIW32, true},  {"Xyz1", true, kPlatformPMac, false},
    };
    for (const Case& c : cases) {
        std::string block = c.big ? kBigHeader : kLittleHeader;
        block.replace(4, 4, c.code);
        FileSpec spec = HeaderFile("p.SHX", block);
        DynamicFileRecord file;
        SheetFileHeader header;
        ASSERT_EQ(OpenSheetFile(&spec, true, &file, &header), 0) << c.code;
        EXPECT_EQ(header.platform, c.platform) << c.code << c.big;
        EXPECT_EQ(IsForeignSheetPlatform(header.platform), c.foreign) << c.code << c.big;
        EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    }
}

TEST_F(SheetFile, OpeningFailsAndClosesForFilesThatAreNoSheets) {
    // A newer version is the loader's to refuse: the header still reads.
    std::string newer = kLittleHeader;
    newer[0] = 3;
    FileSpec spec = HeaderFile("newer.SHX", newer);
    DynamicFileRecord file;
    SheetFileHeader header;
    ASSERT_EQ(OpenSheetFile(&spec, true, &file, &header), 0);
    EXPECT_EQ(header.version, 259);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));

    struct Case {
        std::string name;
        OSStatus status;
    };
    HeaderFile("short.SHX", Hex("0201 34"));
    MakeSheetFile(Path("none.SHX"), [](DynamicFileRecord*) {});
    FileSpec library = Spec("lib.LBX");
    ASSERT_EQ(CreateDynamicFile(&library, "QPLX", "LIB4", "LIB4", 256), 0);
    ASSERT_TRUE(WriteFile(Path("text.SHX"), "not a dynamic file"));
    const Case cases[] = {{"short.SHX", status::kUnknownFileKind},
                          {"none.SHX", status::kUnknownFileKind},
                          {"lib.LBX", status::kUnknownFileKind},
                          {"text.SHX", status::kNotDynamicFile},
                          {"missing.SHX", status::kNotFound}};
    for (const Case& c : cases) {
        FileSpec s = Spec(c.name);
        header.rank = 77;
        EXPECT_EQ(OpenSheetFile(&s, true, &file, &header), c.status) << c.name;
        EXPECT_EQ(file.stream, nullptr) << c.name;
        EXPECT_EQ(header.rank, 0) << c.name;
        uint16_t rank = 0;
        EXPECT_EQ(ReadSheetFileRank(&s, &rank), c.status) << c.name;
        EXPECT_EQ(rank, kSheetRankUnknown) << c.name;
    }
    // Without a header buffer only the type counts.
    FileSpec none = Spec("none.SHX");
    ASSERT_EQ(OpenSheetFile(&none, true, &file, nullptr), 0);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    EXPECT_EQ(IsSheetFile(&none), 0);
    EXPECT_EQ(IsSheetFile(&library), status::kUnknownFileKind);
}

TEST_F(SheetFile, SavingTwiceRaisesTheCounterByTwoAndKeepsTheRest) {
    SheetFileHeader header{};
    header.version = 256;
    header.swapped = 1;
    header.platform = kPlatformIW32;
    header.saveCounter = 41;
    header.rank = 3;
    std::memset(header.reserved, 0xEE, sizeof header.reserved);
    MakeSheetFile(Path("s.SHX"), [&](DynamicFileRecord* file) {
        ASSERT_EQ(WriteSheetFileHeader(file, &header), 0);
        ASSERT_EQ(WriteSheetFileHeader(file, &header), 0);
    });
    EXPECT_EQ(header.saveCounter, 43u);
    EXPECT_EQ(header.version, 258);
    EXPECT_EQ(header.swapped, 0);
    EXPECT_EQ(header.platform, kPlatformIMac);
    EXPECT_EQ(header.reserved[0], 0);
    // The last block written holds what the hand-written fixture holds, with its own counter.
    const FileBlocks blocks = ReadBlocks(Path("s.SHX"));
    std::string expected = kLittleHeader;
    expected[8] = 43;
    expected[12] = 3;
    std::string last = Bytes("s.SHX");
    last = last.substr(last.size() - kSheetFileHeaderSize);
    EXPECT_EQ(last, expected);
    EXPECT_EQ(blocks.order, (std::vector<uint8_t>{1, 1}));
}

// The application header written by hand: the window state, then the file-symbols flag.
const std::string kLittleState = Hex(
    "3412"                  // mark
    "9600"                  // scale 150
    "0100"                  // tools expanded
    "0000"
    "2800 0A00 5802 2003"   // position 40, 10, 600, 800
    "0C00 1800"             // view origin 12, 24
    "C800 0000"             // panes 200 and the default
    "0000000000000000");
const std::string kBigState = Hex(
    "1234 0096 0001 0000 0028 000A 0258 0320 000C 0018 00C8 0000 0000000000000000");

TEST_F(SheetFile, TheWindowStateAndTheFlagAreWhereTheHeaderSays) {
    MakeSheetFile(Path("w.SHX"), [](DynamicFileRecord* file) {
        SheetWindowState state = TestWindowState();
        ASSERT_EQ(WriteSheetWindowState(nullptr, file, &state), 0);
        EXPECT_EQ(state.mark, kSheetFileMark);
        ASSERT_EQ(WriteSheetSymbolExportFlag(file, true), 0);
    });
    EXPECT_EQ(AppHeader("w.SHX"), kLittleState + Hex("FFFF") + std::string(222, '\0'));

    struct Case {
        std::string stored;
        uint16_t scale;
        bool emptyRect;
    };
    const Case cases[] = {{kLittleState, 150, false}, {kBigState, 150, true}, {std::string(32, '\0'), 0, true}};
    for (const Case& c : cases) {
        MakeSheetFile(Path("r.SHX"), [&](DynamicFileRecord* file) {
            int32_t length = 32;
            ASSERT_EQ(WriteDynamicFileHeader(file, 0, c.stored.data(), &length), 0);
        });
        FileSpec spec = Spec("r.SHX");
        DynamicFileRecord file;
        ASSERT_EQ(OpenSheetFile(&spec, true, &file, nullptr), 0);
        SheetWindowState state;
        EXPECT_EQ(ReadSheetWindowState(&file, &state), 0);
        EXPECT_EQ(state.scale, c.scale);
        if (c.scale) {
            EXPECT_EQ(state.toolsExpanded, 1);
            EXPECT_EQ(state.viewTop, 12);
            EXPECT_EQ(state.viewLeft, 24);
            EXPECT_EQ(state.paneWidths[0], 200);
            EXPECT_EQ(state.paneWidths[1], 0);
        }
        // A state from the other byte order restores no window position.
        EXPECT_EQ(VXEmptyRect(&state.position), c.emptyRect);
        if (!c.emptyRect && c.scale) {
            EXPECT_EQ(state.position.bottom, 600);
            EXPECT_EQ(state.position.right, 800);
        }
        EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    }

    // A file without an application header has no state to give.
    FileSpec bare = Spec("bare.SHX");
    ASSERT_EQ(CreateDynamicFile(&bare, "QPLX", "SCH4", "SCH4", 0), 0);
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&bare, true, &file, nullptr), 0);
    SheetWindowState state;
    EXPECT_EQ(ReadSheetWindowState(&file, &state), status::kOutsideAppHeader);
    EXPECT_EQ(state.scale, 0);
    EXPECT_TRUE(VXEmptyRect(&state.position));
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
}

TEST_F(SheetFile, SheetsWithAndWithoutFileSymbols) {
    for (const bool symbols : {false, true}) {
        MakeSheetFile(Path("f.SHX"), [&](DynamicFileRecord* file) {
            ASSERT_EQ(WriteSheetSymbolExportFlag(file, symbols), 0);
        });
        FileSpec spec = Spec("f.SHX");
        EXPECT_EQ(IsSheetFileWithSymbols(&spec), symbols ? status::kNoErr : kNoFileSymbolsErr);
    }
    FileSpec bare = Spec("bare.SHX");
    ASSERT_EQ(CreateDynamicFile(&bare, "QPLX", "SCH4", "SCH4", 0), 0);
    EXPECT_EQ(IsSheetFileWithSymbols(&bare), kNoFileSymbolsErr);
    FileSpec library = Spec("lib.LBX");
    ASSERT_EQ(CreateDynamicFile(&library, "QPLX", "LIB4", "LIB4", 256), 0);
    EXPECT_EQ(IsSheetFileWithSymbols(&library), status::kUnknownFileKind);
    ASSERT_TRUE(WriteFile(Path("text"), "plain text"));
    FileSpec text = Spec("text");
    EXPECT_EQ(IsSheetFileWithSymbols(&text), status::kNotDynamicFile);
}

TEST_F(SheetFile, UpdatingTheWindowStateOfAClosedFileKeepsItsModificationTime) {
    MakeSheetFile(Path("c.SHX"), [](DynamicFileRecord* file) { WriteRawBlock(file, kSheetHeaderBlock, kLittleHeader); });
    FileSpec spec = Spec("c.SHX");
    VXFileTimes times{};
    times.modification = 600000000;  // 2020
    ASSERT_EQ(VXSetGlobalFileTimes(&spec, &times, kFileTimeModification), 0);
    SheetWindowState state{};
    state.scale = 75;
    state.position = Rect{1, 2, 300, 400};
    ASSERT_EQ(WriteSheetWindowState(&spec, nullptr, &state), 0);
    VXFileTimes after;
    ASSERT_EQ(VXGetGlobalFileTimes(&spec, &after), 0);
    EXPECT_EQ(after.modification, times.modification);
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&spec, true, &file, nullptr), 0);
    SheetWindowState read;
    ASSERT_EQ(ReadSheetWindowState(&file, &read), 0);
    EXPECT_EQ(read.scale, 75);
    EXPECT_EQ(read.position.right, 400);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));

    // Without a name, a folder or a sheet file there is nothing to update, and no failure.
    ASSERT_TRUE(WriteFile(Path("text.SHX"), "text"));
    FileSpec text = Spec("text.SHX");
    FileSpec unnamed = spec;
    unnamed.name[0] = 0;
    FileSpec homeless = spec;
    ClearDirectoryRef(&homeless.directory);
    for (const FileSpec* s : {&text, &unnamed, &homeless}) EXPECT_EQ(WriteSheetWindowState(s, nullptr, &state), 0);
    EXPECT_EQ(Bytes("text.SHX"), "text");

    // A sheet without a window keeps its file as it is.
    TestSheet sheet;
    sheet->fileSpec = spec;
    const std::string before = Bytes("c.SHX");
    EXPECT_EQ(SaveSheetWindowState(sheet.get(), nullptr), 0);
    EXPECT_EQ(Bytes("c.SHX"), before);
}

// The window's place comes from the sheet editor's hook; a window the hook does not know is left
// out of the file.
TEST_F(SheetFile, ASheetWindowsStateGoesIntoItsClosedFile) {
    MakeSheetFile(Path("win.SHX"), [](DynamicFileRecord* file) { WriteRawBlock(file, kSheetHeaderBlock, kLittleHeader); });
    TestSheet sheet;
    sheet->fileSpec = Spec("win.SHX");
    sheet->viewScale = 200;
    sheet->topToolsExpanded = 1;
    sheet->topToolPaneWidths[0] = 150;
    sheet->topToolPaneWidths[1] = 160;
    alignas(16) char window[16] = {};  // stands for the sheet's window, never looked into
    sheet->window = reinterpret_cast<VXWindowRecordTag*>(window);
    const SheetSaveHooks saved = GetSheetSaveHooks();
    SheetSaveHooks hooks = saved;
    hooks.windowPlace = [](SheetRecord*, Rect*, Rect*) { return false; };
    SetSheetSaveHooks(hooks);
    const std::string before = Bytes("win.SHX");
    const OSStatus unknown = SaveSheetWindowState(sheet.get(), nullptr);
    const std::string afterUnknown = Bytes("win.SHX");
    hooks.windowPlace = [](SheetRecord*, Rect* position, Rect* view) {
        *position = {100, 120, 400, 520};
        *view = {-30, 40, 270, 440};
        return true;
    };
    SetSheetSaveHooks(hooks);
    const OSStatus st = SaveSheetWindowState(sheet.get(), nullptr);
    SetSheetSaveHooks(saved);
    sheet->window = nullptr;
    EXPECT_EQ(unknown, 0);
    EXPECT_EQ(afterUnknown, before);
    ASSERT_EQ(st, 0);

    FileSpec spec = Spec("win.SHX");
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&spec, true, &file, nullptr), 0);
    SheetWindowState state;
    ASSERT_EQ(ReadSheetWindowState(&file, &state), 0);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    EXPECT_EQ(state.scale, 200);
    EXPECT_EQ(state.toolsExpanded, 1);
    const Rect position{100, 120, 400, 520};
    EXPECT_TRUE(VXEqualRect(&state.position, &position));
    EXPECT_EQ(state.viewTop, -30);
    EXPECT_EQ(state.viewLeft, 40);
    EXPECT_EQ(state.paneWidths[0], 150);
    EXPECT_EQ(state.paneWidths[1], 160);
}

TEST_F(SheetFile, TheAnnotationBlockIsRewrittenInPlaceAndReadBack) {
    TestSheet sheet;
    WriteTestSheetFile(Path("a.SHX"), sheet, nullptr);
    FileSpec spec = Spec("a.SHX");
    const FileBlocks before = ReadBlocks(Path("a.SHX"));
    EXPECT_EQ(WriteSheetAnnotation(&spec, nullptr), status::kParamErr);

    AnnotationMap* map = CreateAnnotationMap(true);
    ASSERT_NE(map, nullptr);
    ASSERT_TRUE(SetAnnotation(map, 7, 3, "U12", 1));
    ASSERT_TRUE(SetAnnotation(map, 9, 3, "R4", -1));
    ApplyAnnotationMapChanges(map, nullptr);
    // A full disk at any byte of the rewrite leaves the file byte for byte.
    std::string old;
    ASSERT_TRUE(ReadFile(Path("a.SHX"), old));
    int64_t total = 0;
    {
        FullDisk measure(-1);
        ASSERT_EQ(WriteSheetAnnotation(&spec, map), 0);
        total = GetFileBytesWritten();
        ASSERT_TRUE(WriteFile(Path("a.SHX"), old));
    }
    for (int64_t room : FullDiskPoints(total, 12)) {
        SCOPED_TRACE(room);
        {
            FullDisk disk(room);
            EXPECT_NE(WriteSheetAnnotation(&spec, map), 0);
        }
        std::string bytes;
        ASSERT_TRUE(ReadFile(Path("a.SHX"), bytes));
        EXPECT_TRUE(bytes == old);
    }
    ASSERT_EQ(WriteSheetAnnotation(&spec, map), 0);
    FileBlocks after = ReadBlocks(Path("a.SHX"));
    EXPECT_EQ(after.content[kSheetAnnotationBlock],
              Written([&](StreamRecord* s) { return WriteAnnotationMap(s, map); }));
    EXPECT_EQ(std::count(after.order.begin(), after.order.end(), kSheetAnnotationBlock), 1);
    for (const auto& [type, bytes] : before.content)
        if (type != kSheetAnnotationBlock) {
            EXPECT_EQ(after.content[type], bytes) << int(type);
        }
    DestroyAnnotationMap(map);

    // The block reads back as a map; a file without the block gives none.
    AnnotationMap* read = nullptr;
    ASSERT_EQ(ReadSheetAnnotation(&spec, &read), 0);
    ASSERT_NE(read, nullptr);
    char text[kAnnotationTextSize];
    EXPECT_EQ(GetAnnotation(read, 7, 3, false, text), 1);
    EXPECT_STREQ(text, "U12");
    EXPECT_EQ(GetAnnotation(read, 9, 3, false, text), -1);
    EXPECT_STREQ(text, "R4");
    DestroyAnnotationMap(read);
    MakeSheetFile(Path("bare.SHX"), [](DynamicFileRecord* file) {
        std::string header = Hex("0201 3412 494D6163 01000000 0500");
        header.resize(kSheetFileHeaderSize);
        WriteRawBlock(file, kSheetHeaderBlock, header);
    });
    FileSpec bare = Spec("bare.SHX");
    read = reinterpret_cast<AnnotationMap*>(1);
    EXPECT_EQ(ReadSheetAnnotation(&bare, &read), 0);
    EXPECT_EQ(read, nullptr);

    // A spec without a file changes nothing.
    FileSpec unnamed = spec;
    unnamed.name[0] = 0;
    EXPECT_EQ(WriteSheetAnnotation(&unnamed, nullptr), 0);
}

TEST_F(SheetFile, TextThemesFromBlockEightElseNineAndTheStringBlock) {
    struct Case {
        bool eight, nine;
        OSStatus status;
        bool found;
    };
    const Case cases[] = {{true, false, 0, false},
                          {false, true, 0, true},
                          {true, true, 0, false},
                          {false, false, status::kUnknownFileKind, false}};
    for (const Case& c : cases) {
        uint32_t eight = 0, nine = 0;
        MakeSheetFile(Path("t.SHX"), [&](DynamicFileRecord* file) {
            if (c.eight) {
                ASSERT_EQ(WriteFileBlock(file, kSheetTextThemesBlock, 6, "themes", &eight), 0);
            }
            if (c.nine) {
                ASSERT_EQ(WriteFileBlock(file, kSheetOpaqueDataBlock, 6, "opaque", &nine), 0);
            }
        });
        FileSpec spec = Spec("t.SHX");
        DynamicFileRecord file;
        ASSERT_EQ(OpenSheetFile(&spec, true, &file, nullptr), 0);
        bool found = true;
        uint32_t offset = 1;
        EXPECT_EQ(GetSheetFileTextThemeBlock(&file, &found, nullptr, &offset), c.status);
        EXPECT_EQ(found, c.found);
        EXPECT_EQ(offset, c.eight ? eight : nine);
        // With a handle only block 9 counts, and its absence is no failure.
        Handle opaque = nullptr;
        EXPECT_EQ(GetSheetFileTextThemeBlock(&file, &found, &opaque), 0);
        EXPECT_EQ(found, c.nine);
        EXPECT_EQ(HandleBytes(opaque), c.nine ? "opaque" : "");
        if (opaque) MemFree(opaque);
        StringBlock strings = nullptr;
        EXPECT_EQ(ReadSheetFileStringBlock(&file, &strings), status::kUnknownFileKind);
        EXPECT_EQ(strings, nullptr);
        EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
    }
    TestSheet sheet;
    const StringSpec kept = OverlayStringBlock(sheet->stringBlock, "Kept", -1, nullptr);
    WriteTestSheetFile(Path("s.SHX"), sheet, nullptr);
    FileSpec spec = Spec("s.SHX");
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&spec, true, &file, nullptr), 0);
    StringBlock strings = nullptr;
    ASSERT_EQ(ReadSheetFileStringBlock(&file, &strings), 0);
    char text[16];
    ExtractStringSpec(kept, strings, text, sizeof text);
    EXPECT_STREQ(text, "Kept");
    DestroyStringBlock(strings);
    EXPECT_EQ(status::kNoErr, CloseAndMaybeFlushDynamicFile(&file, false));
}

TEST_F(SheetFile, ASheetWithSheetSymbolsAndFileSymbolsIsWrittenInOrderAndListed) {
    TestSheet sheet;
    WriteRichSheetFile(Path("top.SHX"), sheet);
    EXPECT_EQ(ReadBlocks(Path("top.SHX")).order,
              (std::vector<uint8_t>{1, 3, 10, 7, 12, 6, 4, 8, 9, 5, 16, 11, 13}));
    FileSpec spec = Spec("top.SHX");
    EXPECT_EQ(IsSheetFileWithSymbols(&spec), 0);

    std::string listing;
    ASSERT_EQ(ListSheetFileBlocks(&spec, &listing), 0);
    // Offsets and sizes vary with the blocks' slack: compare the lines without them.
    std::vector<std::string> lines;
    for (size_t start = 0; start < listing.size();) {
        size_t end = listing.find('\n', start);
        std::string line = listing.substr(start, end - start);
        const size_t at = line.find(" at ");
        const size_t colon = line.find(':', at == std::string::npos ? 0 : at);
        if (line.rfind("block", 0) == 0 && at != std::string::npos) line.erase(at, colon - at);
        lines.push_back(line);
        start = end + 1;
    }
    const size_t first = FlatItemBytes({"TOP", "TOP-ALIAS"}).size();
    const size_t second = FlatItemBytes({"PORTS"}).size();
    const auto* strings = reinterpret_cast<const StringBlockHeader*>(*sheet->stringBlock);
    const std::vector<std::string> expected = {
        "window state: scale 150, tools expanded, position 40 10 600 800, view at 12 24, panes 200 0",
        "file symbols flag: 0xFFFF",
        "block 1 header: version 258, this order, platform IMac, saved 1 times, rank 2",
        "block 3 sub-sheet references: 3 references",
        "    serial 3, sub-sheet \"Sub.SHX\", symbol \"U7\", flags 0x2000",
        "    serial 2, sub-sheet \"Right.SHX\", symbol \"RIGHT\", flags 0x5000",
        "    serial 1, sub-sheet \"Left.SHX\", symbol \"LEFT\", flags 0x4000",
        "block 10 annotation map: this order, 0 updates without the sheet",
        "block 7 exports table: 2 exports",
        "    \"CLK\", port type 0x0, serial 6, pin 2, kind 0x0",
        "    \"IN\", port type 0x10, serial 5, pin 0, kind 0x1",
        "block 12 file symbols: 2 file symbols",
        "    at 512, " + std::to_string(first) + " bytes, \"TOP\"",
        "    at " + std::to_string(512 + 6 + first) + ", " + std::to_string(second) + " bytes, \"PORTS\"",
        "block 6 exported attributes: 5 runs, 9 attributes",
        "block 4 string block: " + std::to_string(strings->used) + " of " + std::to_string(strings->allocated) +
            " bytes used",
        "block 8 text themes:",
        "block 9 opaque sheet data:",
        "block 5 contents:",
        "block 16 text frames:",
        "block 11 graphic elements: head of 28 bytes, 2 elements",
        "block 13 image list: 0 images",
    };
    EXPECT_EQ(lines, expected) << listing;

    // The same sheet without file symbols has no block 12 and a clear flag.
    TestSheet plain;
    plain.Symbol(kSymbolSheetSymbol, {{"~SUB", "Left.SHX"}});
    WriteTestSheetFile(Path("plain.SHX"), plain, nullptr);
    FileSpec plainSpec = Spec("plain.SHX");
    EXPECT_EQ(IsSheetFileWithSymbols(&plainSpec), kNoFileSymbolsErr);
    const FileBlocks blocks = ReadBlocks(Path("plain.SHX"));
    EXPECT_EQ(blocks.content.count(kSheetFileSymbolsBlock), 0u);
}

TEST_F(SheetFile, ProjectsReadReferencesAndRanksThroughTheInstalledReaders) {
    TestSheet sheet;
    BuildRichSheet(sheet);
    Tree tree;
    tree.Folder("p");
    WriteTestSheetFile(tree.path("p/Top.SHX"), sheet, nullptr);
    InstallCoreHooks();
    TestProject project(tree.Dir("p"), false);
    ASSERT_TRUE(AddPathSpecToList(project->paths, tree.Dir("p"), kPathRootDefault, kPathSheetFiles, false));
    SheetSpec* top = project.Spec("Top.SHX");
    ASSERT_EQ(RetrieveSubSheetReferences(project.get(), top), 0);
    std::vector<std::string> children;
    char name[kFileSpecNameCapacity];
    for (auto* r = static_cast<SubSheetReference*>(LLFirst(top->subSheets)); r; r = r->next) {
        GetSheetSpecName(project.get(), r->child, name);
        children.push_back(name + (" " + std::to_string(r->serial)));
    }
    EXPECT_EQ(children, (std::vector<std::string>{"Sub.SHX 3", "Right.SHX 2", "Left.SHX 1"}));
    SetupSheetSpecRanks(project.get());
    EXPECT_EQ(top->rank, 2);
}

// Every reader of a whole file, over damaged bytes: each ends with a status or a result, and a
// failed single-block read gives none.
void ReadEverything(const std::string& path) {
    FileSpec spec = SheetSpecOf(path);
    DynamicFileRecord file;
    SheetFileHeader header;
    if (OpenSheetFile(&spec, true, &file, &header) == 0) {
        SheetWindowState state;
        (void)ReadSheetWindowState(&file, &state);  // damaged input: only no crash counts
        StringBlock strings = nullptr;
        if (ReadSheetFileStringBlock(&file, &strings) == 0) {
            DestroyStringBlock(strings);
        } else {
            EXPECT_EQ(strings, nullptr);
        }
        bool found = false;
        (void)GetSheetFileTextThemeBlock(&file, &found, nullptr);  // damaged input: only no crash counts
        Handle opaque = nullptr;
        if (GetSheetFileTextThemeBlock(&file, &found, &opaque) == 0 && opaque) MemFree(opaque);
        SheetBlockStream block;
        if (OpenSheetBlockStream(&file, kSheetElementsBlock, header.swapped, &block) == 0 && block.stream) {
            TestSheet sheet;
            if (ReadSheetElements(sheet.get(), block.stream, header.swapped) != 0) {
                EXPECT_EQ(LLFirst(sheet->elementList), nullptr);
            }
            sheet.Elements();
        }
        CloseSheetBlockStream(&block);
        (void)CloseAndMaybeFlushDynamicFile(&file, false);  // damaged input: only no crash counts
    }
    (void)IsSheetFileWithSymbols(&spec);  // damaged input: only no crash counts
    LinkListHeader* references = nullptr;
    if (LoadSheetFileReferences(&spec, &references) != 0) {
        EXPECT_EQ(references, nullptr);
    }
    char a[kSheetFileReferenceNameSize], b[kSheetFileReferenceNameSize];
    for (auto* r = static_cast<SheetFileReference*>(LLFirst(references)); r; r = r->next)
        ExtractSheetFileReference(references, r, nullptr, a, b, nullptr);
    DestroySheetFileReferences(references);
    SheetExportsTable exports = nullptr;
    if (LoadSheetExportsTable(&spec, &exports) != 0) {
        EXPECT_EQ(exports, nullptr);
    }
    ExportLines(exports);
    DestroySheetExportsTable(exports);
    FileSymbolList* symbols = CreateFileSymbolList();
    if (LoadSheetFileSymbols(&spec, symbols) != 0) {
        EXPECT_EQ(LLFirst(symbols), nullptr);
    }
    ItemNamesDigest digest;
    (void)BuildFileSymbolsDigest(symbols, &digest, nullptr);  // damaged input: only no crash counts
    DestroyFileSymbolList(symbols);
    std::string listing;
    (void)ListSheetFileBlocks(&spec, &listing);  // damaged input: only no crash counts
}

// The listing checks the lengths of an element in 64 bits before it adds them: a head and a tail
// whose sum passes 2^31 are a damaged block, not an overflow.
TEST_F(SheetFile, AnElementLengthPast31BitsListsAsDamaged) {
    const std::string hex =
        "4f5244460102534348340000002e00000000000000000000006f6d702000004d696e6728666f722049534f31"
        "3036343629222200000b000000000000000000000b0600000008636f6d7020302022";
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) bytes.push_back(char(std::stoi(hex.substr(i, 2), nullptr, 16)));
    ASSERT_EQ(bytes.size(), 78u);
    ASSERT_TRUE(WriteFile(Path("overflow.SHX"), bytes));
    FileSpec spec = Spec("overflow.SHX");
    std::string listing;
    EXPECT_EQ(status::kNoErr, ListSheetFileBlocks(&spec, &listing));
    EXPECT_NE(listing.find("block 11 graphic elements at 70, 8 bytes: damaged (status -39)"), std::string::npos)
        << listing;
}

TEST_F(SheetFile, TruncatedAndMutatedFilesEndWithAStatus) {
    TestSheet sheet;
    WriteRichSheetFile(Path("whole.SHX"), sheet);
    const std::string whole = Bytes("whole.SHX");
    const std::string path = Path("damaged.SHX");
    for (size_t n = 0; n < whole.size(); n += 7) {
        ASSERT_TRUE(WriteFile(path, whole.substr(0, n)));
        CappedPool pool(8u << 20);
        ReadEverything(path);
    }
    std::mt19937 random(TestSeed());
    const uint64_t rounds = StressCount(300);
    for (uint64_t round = 0; round < rounds; ++round) {
        std::string bytes = whole;
        const int flips = 1 + int(random() % 6);
        for (int i = 0; i < flips; ++i) {
            // Mostly inside the blocks, where the readers of this module look.
            const size_t at = 64 + random() % (bytes.size() - 64);
            bytes[at] = char(random());
        }
        ASSERT_TRUE(WriteFile(path, bytes));
        CappedPool pool(8u << 20);
        ReadEverything(path);
        EXPECT_FALSE(pool.hitCeiling()) << round;
    }
}

}  // namespace
}  // namespace plexa::test
