// The sheet contents blocks: a sheet with every kind of record saved, loaded and saved again;
// files written by hand in both byte orders and of older versions; the frames of block 5; style
// indexes; the limits of the block; truncated and mutated blocks.
#include <algorithm>
#include <random>

#include "files/tests/sheetcontents_testing.h"
#include "foundation/datetime.h"
#include "model/busses.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/themes.h"

namespace plexa::test {
namespace {

std::string FrameText(TextFrameHandle frame) {
    char text[256];
    GetTextFrameTextAsString(frame, false, sizeof text, text);
    return text;
}

std::vector<std::string> FrameTexts(SheetRecord* s) {
    std::vector<std::string> texts;
    for (void* f = LLFirst(s->textFrameList); f; f = LLGetNext(s->textFrameList, f))
        texts.push_back(FrameText(static_cast<TextFrameHandle>(f)));
    return texts;
}

TEST_F(SheetContentsTest, ASheetWithEveryKindOfRecordSavesLoadsAndSavesTheSame) {
    BuildRichSheet();
    const std::string first = dir.path() + "/first.SHX", second = dir.path() + "/second.SHX";
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    const std::string dump = DumpSheet(drawing);
    SheetRecord* back = Load(path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(DumpSheet(back), dump);
    ExpectSheetDump(DumpSheet(back), "rich_sheet.dump");
    WriteFile(OutputPath("rich_sheet.SHX"), Bytes(path));  // for sheet-dump and a person
    EXPECT_EQ(back->fileHeader.saveCounter, 1u);
    EXPECT_EQ(back->fileHeader.rank, 3);
    EXPECT_EQ(std::string(*back->opaqueData, SizeOfHandle(back->opaqueData)), "opaque");
    EXPECT_EQ(CountFileSymbols(back->fileSymbolList), 1);
    EXPECT_EQ(FrameTexts(back), FrameTexts(drawing));
    const FileSpec again = SheetSpecAt(second);
    ASSERT_EQ(WriteSheetFile(back, &again), 0);
    ASSERT_EQ(back->fileHeader.saveCounter, 2u);
    const FileSpec firstSpec = SheetSpecAt(first);
    ASSERT_EQ(WriteSheetFile(drawing, &firstSpec), 0);
    EXPECT_TRUE(BytesWithoutCounter(first) == BytesWithoutCounter(second))
        << "a loaded sheet saves other bytes than the sheet it came from";
    // The port data and the sub-sheet flag came back.
    auto* child = static_cast<SymbolRecord*>(LLGetIndexedLink(back->symbolList, 4));
    ASSERT_NE(child->sheetSymbolData, nullptr);
    EXPECT_EQ(SizeOfHandle(child->sheetSymbolData), kSheetSymbolPortsHeadSize + 2 * kSheetSymbolPortSize);
}

// What the model once lost on the way through a file: bold and italic texts, a text turned and
// mirrored by one code, an image's optional-fill flag and a pin's serial. Saved and reopened, the
// sheet dumps the same, with each of them in the dump.
TEST_F(SheetContentsTest, FacesTurnsFlagsAndSerialsComeBackFromTheFile) {
    SheetRecord* d = drawing;
    TextRecord* styled = DrawingText(kTextKindFree, 0, P(10, 10), "Bold italic", 12);
    txStyle* scratch = CreateTextStyle(gGenPool, styled->style);
    SetStyleFace(scratch, kFaceBold | kFaceItalic);
    styled->style = InstallStyleInList(scratch, d->styleList);
    DestroyTextStyle(scratch);
    TextRecord* turned = DrawingText(kTextKindFree, 0, P(80, 40), "Turned", 12);
    TransformTextElement(turned, nullptr, d->stringBlock, P(60, 60), 5);
    ElementRecord* image = BuildImageElement(d->imageList, GreyImage(6, 6, 3), 0, P(100, 400), 6, 6, 72, 72,
                                             true, false, 0, false, 0);
    image->flags |= kElementOptionalFill;
    LLAppend(d->elementList, image);
    LLAppend(d->elementList, BuildNodeElement(P(0, 300), P(20, 300), 1, 0, false, 7, false, 0, false, 0));
    const std::string dump = DumpSheet(d);
    EXPECT_NE(dump.find("\"Bold italic\" face 3"), std::string::npos) << dump;
    EXPECT_NE(dump.find("flags 0x0007 at (40,79) \"Turned\""), std::string::npos) << dump;  // turn 3, right-aligned
    EXPECT_NE(dump.find("kind 9 flags 0x1100"), std::string::npos) << dump;
    EXPECT_NE(dump.find(" serial 7"), std::string::npos) << dump;
    SheetRecord* back = SaveAndLoad(d, path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(DumpSheet(back), dump);
}

// Block 5 keeps the frames for older readers in Mac OS Roman: a file without block 16 gives
// each character the encoding cannot hold as "?", one per UTF-16 unit.
TEST_F(SheetContentsTest, FramesOfBlockFiveKeepOneByteForEachUnit) {
    BuildRichSheet();
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);
    DynamicFileRecord file;
    ASSERT_EQ(OpenSheetFile(&spec, false, &file, nullptr), 0);
    ASSERT_EQ(DeleteTypedFileBlocks(&file, kSheetTextFramesBlock), 0);
    ASSERT_EQ(CloseAndMaybeFlushDynamicFile(&file, true), 0);
    SheetRecord* back = Load(path);
    ASSERT_NE(back, nullptr);
    const std::vector<std::string> texts = FrameTexts(back);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Café ? ??"), texts.end());
    EXPECT_EQ(texts.size(), FrameTexts(drawing).size());
}

struct HandCase {
    const char* name;
    HandSheet sheet;
    const char* dump;
};

TEST_F(SheetContentsTest, HandWrittenFilesOfBothOrdersAndOlderVersions) {
    const HandCase cases[] = {
        {"this order", {false, 258, true, 64, "IMac"}, "hand_sheet.dump"},
        {"other order", {true, 258, true, 64, "PMac"}, "hand_sheet.dump"},
        {"frames only in block 5", {false, 257, false, 64, "IMac"}, "hand_sheet.dump"},
        {"other order, frames in block 5", {true, 257, false, 64, "PMac"}, "hand_sheet.dump"},
        {"settings of 48 bytes", {false, 258, true, 48, "IMac"}, "hand_sheet.dump"},
        {"settings of 80 bytes", {true, 258, true, 80, "PMac"}, "hand_sheet.dump"},
        {"version 256", {false, 256, false, 64, "IMac"}, "hand_sheet_256.dump"},
        {"version 256, other order", {true, 256, false, 64, "M68K"}, "hand_sheet_256.dump"},
    };
    for (const HandCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string at = dir.path() + "/" + std::to_string(&c - cases) + ".SHX";
        WriteHandFile(at, c.sheet);
        bool fixed = false;
        SheetRecord* back = Load(at, 0, &fixed);
        ASSERT_NE(back, nullptr);
        EXPECT_TRUE(fixed);  // the graphic symbol's sub-sheet flag without a "~SUB"
        EXPECT_EQ(back->fileHeader.swapped, c.sheet.big ? 1 : 0);
        ExpectSheetDump(DumpSheet(back), c.dump);
        EXPECT_EQ(back->currentTextStyle->size, 12);
        // A loaded legacy time is global time now, and saving keeps the flag.
        auto* first = static_cast<SymbolRecord*>(LLFirst(back->symbolList));
        EXPECT_EQ(first->changeTime, LocalToGlobalDateTime(VXLocalDateTimeFromLegacyPortableTime(0xB0000000)));
        EXPECT_EQ(first->component, nullptr);
    }
}

TEST_F(SheetContentsTest, AForeignPlatformHasItsStyleSizesAdjusted) {
    WriteHandFile(path, {false, 258, true, 64, "IW32"});
    SheetRecord* back = Load(path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->currentTextStyle->size, 14);
    EXPECT_EQ(static_cast<txStyle*>(LLFirst(back->styleList))->size, 12);
}

// The symbol map and the pin table store big-endian handle lengths; the attribute run after
// them is in the file's own order and reads whole only when that mode was put back.
TEST_F(SheetContentsTest, HandleLengthsAfterTheArraysAreInTheFilesOrder) {
    for (bool big : {false, true}) {
        const std::string at = dir.path() + (big ? "/big.SHX" : "/little.SHX");
        WriteHandFile(at, {big, 258, true, 64, big ? "PMac" : "IMac"});
        SheetRecord* back = Load(at);
        ASSERT_NE(back, nullptr);
        char name[kSymbolTextSize];
        GetSymbolRefName(static_cast<SymbolRecord*>(LLFirst(back->symbolList)), back->stringBlock, name);
        EXPECT_STREQ(name, "R1") << big;
    }
    // The contents stream itself leaves the read with its mode as it found it.
    BuildRichSheet();
    HandleStream out;
    ASSERT_EQ(WriteSheetContents(drawing, out.stream), 0);
    HandleStream in(out.bytes());
    SheetRecord* fresh = CreateDrawing();
    ASSERT_NE(fresh, nullptr);
    loaded.push_back(fresh);
    ASSERT_EQ(ReadSheetContents(fresh, in.stream, nullptr, 258, false, nullptr), 0);
    EXPECT_EQ(in.stream->flags & kStreamBigEndianHandles, 0);
}

// Style indexes count the sheet's default style as 0 on both sides: every text and frame keeps
// its style through any number of loads.
TEST_F(SheetContentsTest, StyleIndexesCountTheDefaultStyleOnBothSides) {
    TextRecord* big = DrawingText(kTextKindFree, 0, P(10, 10), "big", 20);
    TextRecord* small = DrawingText(kTextKindFree, 0, P(10, 40), "small", 8);
    TextRecord* plain = DrawingText(kTextKindFree, 0, P(10, 70), "plain", 12);
    plain->style = drawing->currentTextStyle;
    SetStyleSize(drawing->currentTextStyle, 11);
    TextFrameHandle frame = CreateTextFrame("frame", -1, kEncodingUTF8);
    (*frame)->style = small->style;
    LLPush(drawing->textFrameList, frame);
    (void)big;
    auto sizes = [](SheetRecord* s) {
        std::vector<int> out{s->currentTextStyle->size};
        for (auto* t = static_cast<TextRecord*>(LLFirst(s->textList)); t; t = t->link)
            out.push_back(t->style == s->currentTextStyle ? -t->style->size : t->style->size);
        out.push_back((*static_cast<TextFrameHandle>(LLFirst(s->textFrameList)))->style->size);
        return out;
    };
    const std::vector<int> expected = sizes(drawing);
    EXPECT_EQ(expected, (std::vector<int>{11, -11, 8, 20, 8}));
    SheetRecord* s = drawing;
    for (int round = 0; round < 3; ++round) {
        s = SaveAndLoad(s, dir.path() + "/round" + std::to_string(round) + ".SHX");
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(sizes(s), expected) << round;
        EXPECT_EQ(s->styleList->count, drawing->styleList->count) << round;
    }
}

TEST_F(SheetContentsTest, ASheetBeyondTheLimitsIsRefusedAndNothingIsWritten) {
    for (uint32_t i = 0; i < kSheetContentsListLimit + 1; ++i) {
        SymbolRecord* symbol = CreateSymbol();
        ASSERT_NE(symbol, nullptr);
        symbol->serial = i + 1;
        LLPush(drawing->symbolList, symbol);
    }
    LLReverse(drawing->symbolList);
    char message[200];
    EXPECT_EQ(WriteSheetFile(drawing, &spec, message, sizeof message), status::kParamErr);
    EXPECT_STREQ(message, "The sheet has 65536 symbols; a sheet file holds at most 65535.");
    std::string none;
    EXPECT_FALSE(ReadFile(path, none));
    HandleStream out;
    EXPECT_EQ(WriteSheetContents(drawing, out.stream), status::kParamErr);
    EXPECT_EQ(out.bytes().size(), 0u);

    // The largest that fits saves and opens whole.
    LLPop(drawing->symbolList, true);
    ASSERT_EQ(WriteSheetFile(drawing, &spec, message, sizeof message), 0) << message;
    SheetRecord* back = Load(path);
    ASSERT_NE(back, nullptr);
    ASSERT_EQ(back->symbolList->count, kSheetContentsListLimit);
    EXPECT_EQ(static_cast<SymbolRecord*>(LLFirst(back->symbolList))->serial, 2u);
    EXPECT_EQ(static_cast<SymbolRecord*>(LLLast(back->symbolList))->serial, kSheetContentsListLimit + 1);
}

TEST_F(SheetContentsTest, AComponentThatWouldReadAsTheEndIsRefused) {
    ComponentRecord* c = CreateComponent(255, 255, 255, 255, 0);
    ASSERT_NE(c, nullptr);
    LLPush(drawing->componentList, c);
    char message[200];
    EXPECT_EQ(WriteSheetFile(drawing, &spec, message, sizeof message), status::kParamErr);
    EXPECT_NE(std::string(message).find("255 symbols, sections, packages and pin sets"), std::string::npos);
    std::string none;
    EXPECT_FALSE(ReadFile(path, none));
}

// A string that starts just below 4 MiB is the last a spec reaches; the sheet saves and opens
// with it whole.
TEST_F(SheetContentsTest, AStringAtTheEndOfTheFourMegabytesComesBackWhole) {
    const std::string filler(1000, 'x');
    while (reinterpret_cast<StringBlockHeader*>(*drawing->stringBlock)->used + 2000 < kStringBlockOffsetLimit)
        ASSERT_NE(AppendStringBlock(drawing->stringBlock, filler.data(), uint32_t(filler.size()), nullptr), 0u);
    SymbolRecord* symbol = driver->AddSymbol(7);
    const std::string name(1000, 'N');
    SetSymbolRefName(symbol, drawing->stringBlock, (name + "END").c_str());
    SheetRecord* back = SaveAndLoad(drawing, path);
    ASSERT_NE(back, nullptr);
    char read[kSymbolTextSize];
    GetSymbolRefName(static_cast<SymbolRecord*>(LLFirst(back->symbolList)), back->stringBlock, read);
    char written[kSymbolTextSize];
    GetSymbolRefName(symbol, drawing->stringBlock, written);
    EXPECT_STREQ(read, written);
    EXPECT_GT(std::strlen(read), 200u);
}

// Every shorter block ends with a status; mutated blocks end with a status or a sheet that can be
// dumped and written again.
TEST_F(SheetContentsTest, TruncatedAndMutatedBlocksEndWithAStatus) {
    BuildRichSheet();
    HandleStream out;
    ASSERT_EQ(WriteSheetContents(drawing, out.stream), 0);
    const std::string bytes = out.bytes();
    auto read = [&](const std::string& block, bool swap) {
        SheetRecord* s = CreateDrawing();
        EXPECT_NE(s, nullptr);
        HandleStream in(block);
        const OSStatus st = ReadSheetContents(s, in.stream, nullptr, 258, swap, nullptr);
        if (st == 0) {
            (void)DumpSheet(s);  // mutated input: only no crash counts
            HandleStream again;
            (void)WriteSheetContents(s, again.stream);  // mutated input: only no crash counts
        }
        DestroySheet(s);
        return st;
    };
    ASSERT_EQ(read(bytes, false), 0);
    const size_t step = std::max<size_t>(1, bytes.size() / 400);
    for (size_t n = 0; n + 2 < bytes.size(); n += step) EXPECT_NE(read(bytes.substr(0, n), false), 0) << n;
    std::mt19937 rng(TestSeed());
    for (int i = 0; i < int(StressCount(150)); ++i) {
        std::string mutated = bytes;
        for (int k = 0; k < 1 + int(rng() % 4); ++k) mutated[rng() % mutated.size()] = char(rng());
        (void)read(mutated, (i & 1) != 0);  // damaged input: only no crash counts
    }
}

// The fuzz target's seeds: the rich sheet's block, and the hand-written block in the other order.
TEST_F(SheetContentsTest, FuzzSeeds) {
    BuildRichSheet();
    HandleStream out;
    ASSERT_EQ(WriteSheetContents(drawing, out.stream), 0);
    CheckFuzzSeed("files_sheetcontents", "rich", std::string(1, '\0') + out.bytes());
    HandStrings strings;
    std::string frames;
    HandSheet other;
    other.big = true;
    CheckFuzzSeed("files_sheetcontents", "hand-other-order",
                  std::string(1, '\1') + HandContents(other, strings, &frames));
}

}  // namespace
}  // namespace plexa::test
