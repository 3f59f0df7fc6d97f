// Blocks 3, 6 and 11 of a sheet file: the sub-sheet references (written in the reverse of the
// symbol list, read alone, names up to the stored limit), the exported attributes, and the graphic
// elements, from hand-written bytes, both byte orders and damaged input.
#include "files/sheetblocks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/tests/sheetfile_testing.h"

namespace plexa::test {
namespace {

using SheetBlocks = SheetFileTest;

// The references of a list as text: serial, names, flags.
std::vector<std::string> References(LinkListHeader* list) {
    std::vector<std::string> out;
    char subSheet[kSheetFileReferenceNameSize], symbol[kSheetFileReferenceNameSize];
    for (auto* r = static_cast<SheetFileReference*>(LLFirst(list)); r; r = r->next) {
        uint32_t serial = 0;
        uint16_t flags = 0;
        ExtractSheetFileReference(list, r, &serial, subSheet, symbol, &flags);
        char line[3 * kSheetFileReferenceNameSize];
        std::snprintf(line, sizeof line, "%u %s %s %04X", serial, subSheet, symbol, flags);
        out.push_back(line);
    }
    return out;
}

OSStatus ReadReferences(const std::string& bytes, bool swap, std::vector<std::string>* out) {
    HandleStream in(bytes);
    LinkListHeader* list = nullptr;
    const OSStatus st = ReadSheetFileReferences(in.stream, swap, &list);
    if (st != 0) {
        EXPECT_EQ(list, nullptr);
    }
    *out = References(list);
    DestroySheetFileReferences(list);
    return st;
}

// Block 3 written by hand: two sheet symbols, the later one first.
const std::string kReferences = Hex(
    "02000000"            // serial 2
    "09 5269676874 2E534858"  // "Right.SHX"
    "05 5249474854"       // "RIGHT"
    "0050"                // flags 0x5000: bit 0x1000 of the symbol, and a sheet symbol
    "01000000"            // serial 1
    "08 4C656674 2E534858"    // "Left.SHX"
    "04 4C454654"         // "LEFT"
    "0040"                // flags 0x4000
    "00000000");          // the end
const std::string kReferencesBig = Hex(
    "00000002 09 5269676874 2E534858 05 5249474854 5000"
    "00000001 08 4C656674 2E534858 04 4C454654 4000 00000000");
const std::vector<std::string> kReferenceLines = {"2 Right.SHX RIGHT 5000", "1 Left.SHX LEFT 4000"};

TEST_F(SheetBlocks, TwoSheetSymbolsAreStoredInReverseAndReadBackInThatOrder) {
    TestSheet sheet;
    sheet.Symbol(kSymbolSheetSymbol, {{"~SUB", "Left.SHX"}, {"~NAM", "LEFT"}});
    sheet.Symbol(kSymbolSheetSymbol | 0x1000, {{"~SUB", "Right.SHX"}, {"~NAM", "RIGHT"}});
    EXPECT_EQ(Written([&](StreamRecord* s) { return WriteSubSheetRefs(sheet.get(), s); }), kReferences);
    std::vector<std::string> lines;
    EXPECT_EQ(ReadReferences(kReferences, false, &lines), 0);
    EXPECT_EQ(lines, kReferenceLines);
    EXPECT_EQ(ReadReferences(kReferencesBig, true, &lines), 0);
    EXPECT_EQ(lines, kReferenceLines);
}

TEST_F(SheetBlocks, WhichSymbolsMakeReferencesAndWhichNameTheyCarry) {
    TestSheet sheet;
    sheet.Symbol(0, {{"~SUB", "Ignored.SHX"}});                               // no flag: no reference
    sheet.Symbol(kSymbolNamesSubSheet, {{"~SUB", ""}, {"~REF", "U1"}});       // empty name: none
    sheet.Symbol(kSymbolNamesSubSheet | 0x3000, {{"~SUB", "A.SHX"}, {"~REF", "U2"}, {"~NAM", "N2"}});
    sheet.Symbol(kSymbolNamesSubSheet, {{"~SUB", "B.SHX"}, {"~NAM", "N3"}});  // no reference name
    SymbolRecord* unnumbered = sheet.Symbol(kSymbolSheetSymbol, {{"~SUB", "C.SHX"}});
    unnumbered->serial = 0;  // cannot be stored: a serial of 0 ends the block
    std::vector<std::string> lines;
    const std::string bytes = Written([&](StreamRecord* s) { return WriteSubSheetRefs(sheet.get(), s); });
    EXPECT_EQ(ReadReferences(bytes, false, &lines), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"4 B.SHX N3 0000", "3 A.SHX U2 3000"}));

    // The sheet symbol layer gives the names when it is there.
    SheetServices services;
    services.symbolSubSheetName = [](SheetRecord*, SymbolRecord* symbol, char* out, int32_t size) {
        std::snprintf(out, size_t(size), "Child%u.SHX", symbol->serial);
    };
    services.symbolName = [](SheetRecord*, SymbolRecord*, char* out, int32_t size) {
        std::snprintf(out, size_t(size), "FROM-MODEL");
    };
    SetSheetServices(services);
    unnumbered->serial = 9;
    EXPECT_EQ(ReadReferences(Written([&](StreamRecord* s) { return WriteSubSheetRefs(sheet.get(), s); }), false,
                             &lines), 0);
    EXPECT_EQ(lines, (std::vector<std::string>{"9 Child9.SHX FROM-MODEL 4000", "4 Child4.SHX FROM-MODEL 0000",
                                                "3 Child3.SHX U2 3000", "2 Child2.SHX U1 0000"}));

    // A sheet without references stores the end alone and reads as no list.
    TestSheet empty;
    const std::string none = Written([&](StreamRecord* s) { return WriteSubSheetRefs(empty.get(), s); });
    EXPECT_EQ(none, Hex("00000000"));
    HandleStream in(none);
    LinkListHeader* list = reinterpret_cast<LinkListHeader*>(1);
    EXPECT_EQ(ReadSheetFileReferences(in.stream, false, &list), 0);
    EXPECT_EQ(list, nullptr);
}

// The sub-sheet map of an open sheet names the references that its block 3 would store, in the
// block's order, with each symbol's own flags.
TEST_F(SheetBlocks, AnOpenSheetsMapGivesTheReferencesItsBlockWouldStore) {
    TestSheet sheet;
    sheet.Symbol(kSymbolSheetSymbol, {{"~SUB", "Left.SHX"}, {"~NAM", "LEFT"}});
    sheet.Symbol(0, {{"~SUB", "Ignored.SHX"}});
    sheet.Symbol(kSymbolNamesSubSheet | 0x1000, {{"~SUB", "Right.SHX"}, {"~REF", "U7"}, {"~NAM", "RIGHT"}});
    std::vector<std::string> open;
    EnumOpenSheetSubSheets(sheet.get(), [](const OpenSubSheetEntry& e, void* data) {
        char line[3 * kSheetFileReferenceNameSize];
        std::snprintf(line, sizeof line, "%u %s %s %04X%s", e.serial, e.subSheetName, e.referenceName,
                      unsigned(e.symbolFlags & 0xFFFF), e.componentOrSheetSymbol ? " component or sheet" : "");
        static_cast<std::vector<std::string>*>(data)->push_back(line);
    }, &open);
    EXPECT_EQ(open, (std::vector<std::string>{"3 Right.SHX U7 1800", "1 Left.SHX LEFT 0400 component or sheet"}));
    std::vector<std::string> stored;
    ASSERT_EQ(ReadReferences(Written([&](StreamRecord* s) { return WriteSubSheetRefs(sheet.get(), s); }), false,
                             &stored), 0);
    EXPECT_EQ(stored, (std::vector<std::string>{"3 Right.SHX U7 1000", "1 Left.SHX LEFT 4000"}));
}

TEST_F(SheetBlocks, NamesUpToTheStoredLimitAreKeptWhole) {
    // 300 bytes of two-byte characters are cut to 127 whole characters; 255 single bytes stay.
    std::string accented;
    for (int i = 0; i < 150; ++i) accented += "\xC3\xA9";
    const std::string plain(255, 'p');
    TestSheet sheet;
    sheet.Symbol(kSymbolSheetSymbol, {{"~SUB", accented}, {"~NAM", plain}});
    std::vector<std::string> lines;
    ASSERT_EQ(ReadReferences(Written([&](StreamRecord* s) { return WriteSubSheetRefs(sheet.get(), s); }), false,
                             &lines), 0);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "1 " + accented.substr(0, 254) + " " + plain + " 4000");
}

TEST_F(SheetBlocks, ReferencesReadAloneFromAFile) {
    const std::string path = dir_.file("r.SHX");
    for (const bool big : {false, true}) {
        MakeSheetFile(path, [&](DynamicFileRecord* file) {
            std::string header = Hex(big ? "0102 1234 494D6163 00000001 0005" : "0201 3412 494D6163 01000000 0500");
            header.resize(kSheetFileHeaderSize);
            WriteRawBlock(file, kSheetHeaderBlock, header);
            WriteRawBlock(file, kSheetSubSheetRefsBlock, big ? kReferencesBig : kReferences);
        });
        FileSpec spec = SheetSpecOf(path);
        LinkListHeader* list = nullptr;
        ASSERT_EQ(LoadSheetFileReferences(&spec, &list), 0);
        EXPECT_EQ(References(list), kReferenceLines) << big;
        DestroySheetFileReferences(list);
    }
    // A file without the block has none, and that is no failure.
    MakeSheetFile(path, [](DynamicFileRecord* file) {
        WriteRawBlock(file, kSheetHeaderBlock, Hex("0201 3412 494D6163") + std::string(56, '\0'));
    });
    FileSpec spec = SheetSpecOf(path);
    LinkListHeader* list = reinterpret_cast<LinkListHeader*>(1);
    EXPECT_EQ(LoadSheetFileReferences(&spec, &list), 0);
    EXPECT_EQ(list, nullptr);
}

TEST_F(SheetBlocks, DamagedReferencesEndWithAStatus) {
    std::vector<std::string> lines;
    for (size_t n = 0; n < kReferences.size(); ++n) {
        CappedPool pool(1u << 20);
        EXPECT_NE(ReadReferences(kReferences.substr(0, n), false, &lines), 0) << n;
        EXPECT_TRUE(lines.empty());
    }
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0, rounds = StressCount(2000); round < rounds; ++round) {
        std::string bytes = kReferences;
        for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        CappedPool pool(1u << 20);
        if (ReadReferences(bytes, random() % 2, &lines) == 0) {
            EXPECT_LE(lines.size(), 2u);
        }
        EXPECT_FALSE(pool.hitCeiling());
    }
}

// Block 6 read the way the layout says: the mark, the runs, the end, the block's own strings.
struct ExportedRun {
    uint32_t serial;
    std::vector<std::string> attributes;  // "name=value"
};
std::vector<ExportedRun> ParseExported(const std::string& bytes) {
    std::vector<ExportedRun> runs;
    HandleStream in(bytes);
    uint16_t word = 0;
    EXPECT_EQ(StreamReadWord(in.stream, &word), 0);
    EXPECT_EQ(word, kSheetFileMark);
    std::vector<std::pair<ExportedRun, std::vector<AttributeRecord>>> stored;
    for (;;) {
        EXPECT_EQ(StreamReadWord(in.stream, &word), 0);
        if (word == 0) break;
        uint32_t serial = 0;
        EXPECT_EQ(StreamReadLong(in.stream, &serial), 0);
        std::vector<AttributeRecord> records(word);
        int32_t n = int32_t(word * sizeof(AttributeRecord));
        EXPECT_EQ(StreamRead(in.stream, records.data(), &n), 0);
        stored.push_back({ExportedRun{serial, {}}, records});
    }
    StringBlock strings = nullptr;
    EXPECT_EQ(ReadStringBlock(in.stream, nullptr, &strings), 0);
    EXPECT_EQ(GetStreamPosition(in.stream), GetStreamEnd(in.stream));
    char name[kStringSpecBufferSize], value[kStringSpecBufferSize];
    for (auto& [run, records] : stored) {
        for (const AttributeRecord& r : records) {
            ExtractStringSpec(r.name, strings, name, sizeof name);
            ExtractStringSpec(r.value, strings, value, sizeof value);
            EXPECT_EQ(r.nameHash, uint8_t(CalcNameHash(name)));
            run.attributes.push_back(std::string(name) + "=" + value);
        }
        runs.push_back(run);
    }
    if (strings) DestroyStringBlock(strings);
    return runs;
}

TEST_F(SheetBlocks, ExportedAttributesAreRunsOverTheirOwnStrings) {
    TestSheet sheet;
    sheet.SheetAttributes({{"DrawingTitle", "Top"}, {"SheetNumber", "1"}});
    sheet.Symbol(kSymbolSheetSymbol, {{"~SUB", "Left.SHX"}});
    sheet.Symbol(0);  // no attributes: no run
    sheet.Symbol(0, {{"Value", "10k"}, {"Footprint", "0805"}});
    const std::string bytes = Written([&](StreamRecord* s) { return WriteExportedAttributes(sheet.get(), s); });
    const std::vector<ExportedRun> runs = ParseExported(bytes);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].serial, 0u);
    EXPECT_EQ(runs[0].attributes, (std::vector<std::string>{"DrawingTitle=Top", "SheetNumber=1"}));
    EXPECT_EQ(runs[1].serial, 1u);
    EXPECT_EQ(runs[1].attributes, (std::vector<std::string>{"~SUB=Left.SHX"}));
    EXPECT_EQ(runs[2].serial, 3u);
    EXPECT_EQ(runs[2].attributes, (std::vector<std::string>{"Value=10k", "Footprint=0805"}));

    // A sheet without attributes: the mark, the end and an empty block.
    TestSheet empty;
    EXPECT_TRUE(ParseExported(Written([&](StreamRecord* s) { return WriteExportedAttributes(empty.get(), s); }))
                    .empty());
    // A count beyond what the handle holds writes only the records it has.
    SymbolRecord* short_ = sheet.Symbol(0, {{"A", "1"}});
    short_->attributeCount = 5;
    EXPECT_EQ(ParseExported(Written([&](StreamRecord* s) { return WriteExportedAttributes(sheet.get(), s); }))
                  .back()
                  .attributes,
              (std::vector<std::string>{"A=1"}));
}

// Block 11 written by hand: the head length mark, one rectangle, the end.
const std::string kElements = Hex(
    "20000000"            // stored head length 28, plus 4
    "00000000"            // tail length 0
    "0002"                // flags: its own frame colour
    "03 01"               // kind 3 (rectangle), pen 1
    "0000000000000000"    // bounds (worked out again when read)
    "0A00 1400 1E00 2800" // rectangle 10, 20, 30, 40
    "0000FF00"            // frame colour 0x00FF0000
    "00000000"            // fill colour
    "FFFFFFFF");          // the end

TEST_F(SheetBlocks, ElementsFromHandWrittenBytesAndRoundTrips) {
    TestSheet built;
    built.Element(kElementRect, {10, 20}, {30, 40});
    const std::vector<std::string> one = built.Elements();
    // The bounds are the element's own (a reader works them out again).
    const auto withoutBounds = [](std::string bytes) { return bytes.replace(12, 8, 8, '\0'); };
    EXPECT_EQ(withoutBounds(Written([&](StreamRecord* s) { return WriteSheetElements(built.get(), s); })), kElements);
    struct Case {
        std::string bytes;
        bool swap;
    };
    // The same in the other order: the words and longs reversed, the bytes as they are.
    const std::string big = Hex("00000020 00000000 0200 03 01 0000000000000000 000A 0014 001E 0028 00FF0000 00000000 FFFFFFFF");
    // A longer stored head: its extra bytes are skipped.
    std::string longer = Hex("28000000 00000000") + kElements.substr(8, 28) + Hex("EEEEEEEEEEEEEEEE FFFFFFFF");
    const Case cases[] = {{kElements, false}, {big, true}, {longer, false}};
    for (const Case& c : cases) {
        TestSheet sheet;
        HandleStream in(c.bytes);
        ASSERT_EQ(ReadSheetElements(sheet.get(), in.stream, c.swap), 0);
        EXPECT_EQ(sheet.Elements(), one);
    }

    // Every kind's tail survives a round trip, after the elements the sheet had.
    TestSheet many;
    many.Element(kElementLine, {1, 2}, {3, 4});
    many.Element(kElementArrow, {0, 0}, {50, 60}, 2);
    many.Element(kElementRoundRect, {5, 5}, {40, 80});
    many.Element(kElementArc, {0, 0}, {100, 100});
    const std::string bytes = Written([&](StreamRecord* s) { return WriteSheetElements(many.get(), s); });
    TestSheet back;
    back.Element(kElementOval, {0, 0}, {9, 9});
    HandleStream in(bytes);
    ASSERT_EQ(ReadSheetElements(back.get(), in.stream, false), 0);
    std::vector<std::string> expected = {back.Elements()[0]};
    for (const std::string& line : many.Elements()) expected.push_back(line);
    EXPECT_EQ(back.Elements(), expected);
}

TEST_F(SheetBlocks, DamagedElementsEndWithAStatusAndAddNothing) {
    struct Case {
        std::string bytes;
        OSStatus status;
    };
    const Case cases[] = {
        {Hex("03000000 FFFFFFFF"), status::kUnknownFileKind},            // a head shorter than its length word
        {Hex("FFFFFFFF FFFFFFFF"), status::kUnknownFileKind},            // a head length beyond any block
        {Hex("FFFFFF7F 00000000 FFFFFFFF"), status::kEndOfFile},         // an element head beyond the block
        {Hex("20000000 FFFFFF7F") + kElements.substr(8), status::kEndOfFile},  // a tail beyond the block
        {kElements.substr(0, kElements.size() - 4), status::kEndOfFile}, // no end
    };
    for (const Case& c : cases) {
        TestSheet sheet;
        HandleStream in(c.bytes);
        EXPECT_EQ(ReadSheetElements(sheet.get(), in.stream, false), c.status);
        EXPECT_EQ(LLFirst(sheet->elementList), nullptr);
    }
    // Without elements the head length is never used: the block is the mark and the end.
    for (const char* empty : {"20000000 FFFFFFFF", "FFFFFF7F FFFFFFFF"}) {
        TestSheet none;
        HandleStream stream(Hex(empty));
        EXPECT_EQ(ReadSheetElements(none.get(), stream.stream, false), 0) << empty;
    }
    // A head of four bytes holds no kind: its elements are skipped.
    TestSheet sheet;
    HandleStream in(Hex("04000000 00000000 00000000 FFFFFFFF"));
    EXPECT_EQ(ReadSheetElements(sheet.get(), in.stream, false), 0);
    EXPECT_EQ(LLFirst(sheet->elementList), nullptr);

    TestSheet source;
    source.Element(kElementRect, {10, 20}, {30, 40});
    source.Element(kElementArrow, {0, 0}, {50, 60}, 2);
    const std::string whole = Written([&](StreamRecord* s) { return WriteSheetElements(source.get(), s); });
    std::mt19937 random(TestSeed());
    for (uint64_t round = 0, rounds = StressCount(2000); round < rounds; ++round) {
        std::string bytes = whole;
        for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i) bytes[random() % bytes.size()] = char(random());
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        CappedPool pool(1u << 20);
        {
            TestSheet damaged;
            HandleStream stream(bytes);
            if (ReadSheetElements(damaged.get(), stream.stream, random() % 2) != 0) {
                EXPECT_EQ(LLFirst(damaged->elementList), nullptr);
            }
            damaged.Elements();
        }
        EXPECT_FALSE(pool.hitCeiling());
    }
}

}  // namespace
}  // namespace plexa::test
