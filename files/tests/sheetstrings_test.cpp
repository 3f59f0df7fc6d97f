// A sheet's string block across edits, saves and opens: compaction keeps every live string of every
// kind of record and drops the rest, a long-edited sheet opens with a block of its live strings,
// texts of sheets stored before UTF-8 are recoded once, and a text that does not fit the block
// fails its edit and loses nothing.
#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "files/sheetload.h"
#include "files/sheetsave.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/statustext.h"
#include "model/busses.h"
#include "model/sheetsymbols.h"
#include "model/sheetstrings.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa::test {
namespace {

uint32_t Used(StringBlock block) { return reinterpret_cast<const StringBlockHeader*>(*block)->used; }

std::string Spec(StringSpec spec, StringBlock block) {
    char text[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, text, sizeof text);
    return text;
}

// The run's attributes as "name=value" lines.
void AddAttributes(std::vector<std::string>& out, const std::string& owner, StringBlock block, Handle run,
                   uint32_t offset, int32_t count) {
    for (int32_t i = 0; run && i < count; ++i) {
        char name[kStringSpecBufferSize], value[kStringSpecBufferSize];
        GetIndexedAttribute(block, run, offset, i, name, value, nullptr, nullptr);
        out.push_back(owner + " " + name + "=" + value);
    }
}

// The strings of the records that the sheet dump counts but does not show: the sheet's, symbols'
// and signals' attributes, library names, port symbols' and sheet symbols' names and ports, and the
// pin data's names and attributes.
std::vector<std::string> HiddenStrings(SheetRecord* s) {
    std::vector<std::string> out;
    AddAttributes(out, "sheet", s->stringBlock, s->attributes, 0, s->stored.attributeCount);
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(s->symbolList)); symbol; symbol = symbol->next) {
        const std::string owner = "symbol " + std::to_string(symbol->serial);
        AddAttributes(out, owner, s->stringBlock, symbol->attributes, 0, symbol->attributeCount);
        if (symbol->libraryName != kNoLibraryName) out.push_back(owner + " library " + Spec(symbol->libraryName, s->stringBlock));
        if (!symbol->component) out.push_back(owner + " kind " + Spec(symbol->kind.spec, s->stringBlock));
        if (symbol->flags & kSymbolFlagSheet) {
            char text[kSymbolTextSize];
            GetSheetSymbolName(symbol, s->stringBlock, text, sizeof text);
            out.push_back(owner + " sheet name " + text);
            GetSheetSymbolFileName(symbol, s->stringBlock, text, sizeof text);
            out.push_back(owner + " sheet file " + text);
            for (int32_t p = 0; p < CountSheetSymbolPorts(symbol); ++p) {
                GetSheetSymbolPortName(symbol, p, s->stringBlock, text, sizeof text);
                out.push_back(owner + " port " + text);
            }
        }
    }
    for (auto signal = static_cast<SignalHandle>(LLFirst(s->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(s->signalList, signal)))
        AddAttributes(out, "signal", s->stringBlock, (*signal)->attributes, 0, (*signal)->attributeCount);
    for (int32_t id = 0; s->pinDataTable && id < (*s->pinDataTable)->idLimit; ++id) {
        Handle record = GetIndexedPinData(s->pinDataTable, id);
        if (!record) continue;
        char name[kPinTextSize];
        GetPinDataName(record, s->stringBlock, name);
        const std::string owner = "pin data " + std::to_string(id);
        out.push_back(owner + " " + name);
        AddAttributes(out, owner, s->stringBlock, record, sizeof(PinDataRecord),
                      reinterpret_cast<const PinDataRecord*>(*record)->attributeCount);
    }
    return out;
}

std::string Everything(SheetRecord* s) {
    std::string all = DumpSheet(s);
    for (const std::string& line : HiddenStrings(s)) all += line + "\n";
    return all;
}

class SheetStringsTest : public SheetContentsTest {
protected:
    // The sheet saved as a person saves it (the tidying before the save included) into its file.
    void Save(SheetRecord* s, const std::string& at) {
        s->fileSpec = SheetSpecAt(at);
        ASSERT_EQ(SaveSchematicSheet(s), 0);
    }
    // The file opened as the editor opens it (the string-block upkeep included).
    SheetRecord* Open(const std::string& at) {
        const FileSpec from = SheetSpecAt(at);
        SheetRecord* s = nullptr;
        EXPECT_EQ(LoadSchematicSheet(&from, &s, nullptr), 0) << at;
        if (s) loaded.push_back(s);
        return s;
    }
};

// Every kind of record keeps its strings through a compaction, which drops what nothing uses any
// more: names given over and over, a deleted text. A second compaction finds nothing to drop.
TEST_F(SheetStringsTest, CompactionKeepsEveryRecordsStringsAndDropsTheDeadOnes) {
    BuildRichSheet();
    auto net = static_cast<SignalHandle>(LLFirst(drawing->signalList));
    for (int i = 0; i < 200; ++i) SetSignalName(net, drawing->stringBlock, ("RENAMED " + std::to_string(i)).c_str());
    SetSignalName(net, drawing->stringBlock, "CLK");
    TextRecord* gone = DrawingText(kTextKindFree, 0, P(10, 500), std::string(900, 'g').c_str(), 12);
    LLRemoveOrFree(drawing->textList, gone, nullptr, true);
    SheetRecord* stored = SaveAndLoad(drawing, dir.path() + "/before.SHX");
    ASSERT_NE(stored, nullptr);
    const std::string storedBefore = Everything(stored);
    const std::string before = Everything(drawing);
    const uint32_t grown = Used(drawing->stringBlock);

    ASSERT_EQ(CompactSheetStringBlock(drawing), 0);
    EXPECT_EQ(Everything(drawing), before);
    const uint32_t compact = Used(drawing->stringBlock);
    EXPECT_LT(compact + 900 + 200, grown);
    EXPECT_EQ(drawing->stored.compactionThreshold, compact + kSheetStringCompactionSlack);
    EXPECT_EQ(drawing->stored.encodingLevel, kSheetUTF8EncodingLevel);
    EXPECT_EQ(reinterpret_cast<const StringBlockHeader*>(*drawing->stringBlock)->quantum, kSheetStringBlockQuantum);

    ASSERT_EQ(CompactSheetStringBlock(drawing), 0);
    EXPECT_EQ(Used(drawing->stringBlock), compact);
    SheetRecord* back = SaveAndLoad(drawing, path);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Everything(back), storedBefore);
}

// Texts typed, changed and deleted, signals named again and attributes set, edit after edit
// through the model's editing calls: saved and opened again, the sheet's block holds no more than
// its live strings, and saving it then writes that block.
TEST_F(SheetStringsTest, ALongEditedSheetOpensWithABlockOfItsLiveStrings) {
    std::mt19937 rng(TestSeed());
    SignalHandle nets[3] = {Draw({P(0, 0), P(100, 0)}), Draw({P(0, 50), P(100, 50)}), Draw({P(0, 90), P(100, 90)})};
    SymbolRecord* part = driver->AddSymbol(5);
    std::vector<TextRecord*> texts;
    const auto word = [&] {
        std::string w = "t" + std::to_string(rng() % 100000);
        w += std::string(rng() % 24, char('a' + rng() % 26));
        return w;
    };
    const int edits = int(StressCount(10000));
    for (int i = 0; i < edits; ++i) {
        switch (rng() % 6) {
        case 0:  // a text typed
            texts.push_back(CreateDrawingText(drawing, kTextKindFree, 0, P(int16_t(rng() % 800), int16_t(rng() % 600)),
                                              word().c_str()));
            break;
        case 1:  // a text changed
        case 2:
            if (!texts.empty()) ChangeSheetText(drawing, texts[rng() % texts.size()], word().c_str(), nullptr);
            break;
        case 3:  // a text deleted
            if (!texts.empty()) {
                const size_t n = rng() % texts.size();
                LLRemoveOrFree(drawing->textList, texts[n], nullptr, true);
                texts.erase(texts.begin() + std::ptrdiff_t(n));
            }
            break;
        case 4:
            SetSignalName(nets[rng() % 3], drawing->stringBlock, ("N" + word()).c_str());
            break;
        default:
            SetSymbolAttribute(part, drawing->stringBlock, ("A" + std::to_string(rng() % 4)).c_str(), word().c_str(),
                               nullptr);
            break;
        }
    }
    // The live strings, each once: what a block of them holds at most.
    std::set<std::string> live;
    char text[kStringSpecBufferSize], value[kStringSpecBufferSize];
    for (TextRecord* t : texts) {
        GetTextRecordString(t, drawing->stringBlock, text, sizeof text);
        live.insert(text);
    }
    for (SignalHandle net : nets) {
        GetSignalName(net, drawing->stringBlock, text, sizeof text);
        live.insert(text);
    }
    for (auto [run, count] : {std::pair{part->attributes, int32_t(part->attributeCount)},
                              std::pair{drawing->attributes, int32_t(drawing->stored.attributeCount)}}) {
        for (int32_t i = 0; i < count; ++i) {
            GetIndexedAttribute(drawing->stringBlock, run, 0, i, text, value, nullptr, nullptr);
            live.insert(text);
            live.insert(value);
        }
    }
    uint32_t liveBytes = kStringBlockHeaderSize;
    for (const std::string& s : live) liveBytes += uint32_t(s.size());
    ASSERT_GT(Used(drawing->stringBlock), liveBytes + kSheetStringCompactionSlack) << "the edits left too little behind";

    Save(drawing, path);
    EXPECT_GT(StoredStringBlockHeader(path).used, liveBytes);  // saving keeps the block as it is
    SheetRecord* read = Load(path);                // as stored, without the upkeep of opening
    ASSERT_NE(read, nullptr);
    const std::string before = Everything(read);
    SheetRecord* opened = Open(path);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(Everything(opened), before);
    const uint32_t used = Used(opened->stringBlock);
    EXPECT_LE(used, liveBytes);
    EXPECT_EQ(opened->stored.compactionThreshold, used + kSheetStringCompactionSlack);

    const std::string again = dir.path() + "/again.SHX";
    Save(opened, again);
    EXPECT_EQ(StoredStringBlockHeader(again).used, used);
    SheetRecord* reopened = Open(again);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(Used(reopened->stringBlock), used);  // within its growth limit: not compacted again
    EXPECT_EQ(Everything(reopened), before);
}

// A hand-written file of settings version 1 (texts in Mac OS Roman), in either byte order, opens
// with its texts in UTF-8; saved, it is of version 2 and opens with the same texts, not recoded a
// second time.
TEST_F(SheetStringsTest, TextsOfASheetStoredBeforeUTF8AreRecodedOnce) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        HandSheet old;
        old.big = big;
        old.settingsVersion = 1;
        old.macRoman = true;
        const std::string at = dir.path() + (big ? "/big.SHX" : "/little.SHX");
        WriteHandFile(at, old);
        SheetRecord* opened = Open(at);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(opened->stored.encodingLevel, kSheetUTF8EncodingLevel);
        EXPECT_EQ(opened->stored.compactionThreshold, Used(opened->stringBlock) + kSheetStringCompactionSlack);
        const std::string dump = DumpSheet(opened);
        EXPECT_NE(dump.find("\"Café Ω 5°\""), std::string::npos) << dump;    // a free text
        EXPECT_NE(dump.find("S1 \"µCLK\""), std::string::npos) << dump;       // a signal name
        EXPECT_NE(dump.find("B1 \"D[0:1]≈\""), std::string::npos) << dump;    // a buss name
        EXPECT_NE(dump.find("port name \"VCC†\""), std::string::npos) << dump;  // a port symbol's name
        char ref[kSymbolTextSize];
        GetSymbolRefName(static_cast<SymbolRecord*>(LLFirst(opened->symbolList)), opened->stringBlock, ref);
        EXPECT_STREQ(ref, "R1·");  // an attribute value

        const std::string saved = dir.path() + "/saved.SHX";
        Save(opened, saved);
        SheetRecord* again = Open(saved);
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(again->stored.encodingLevel, kSheetUTF8EncodingLevel);
        EXPECT_EQ(DumpSheet(again), dump);
    }
}

// The same through the project's own writer: a sheet of encoding level 1 with Mac OS Roman bytes
// in every kind of string is written and opened; each string comes back in UTF-8.
TEST_F(SheetStringsTest, TheWritersOlderLevelIsRecodedInEveryKindOfRecord) {
    BuildRichSheet();
    SheetRecord* current = SaveAndLoad(drawing, dir.path() + "/current.SHX");
    ASSERT_NE(current, nullptr);
    const std::string utf8 = Everything(current);
    // The rich sheet's only text of its block beyond ASCII, "Ünïcode" (its frames are not in the
    // block), given again in Mac OS Roman (0x86 "Ü", 0x95 "ï"); and two more: 0xA5 "•", 0x8C "å".
    SymbolRecord* graphic = nullptr;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(drawing->symbolList)); s; s = s->next)
        if (s->serial == 20) graphic = s;
    ASSERT_NE(graphic, nullptr);
    SetSymbolAttribute(graphic, drawing->stringBlock, "Value", "\x86n\x95\x63ode", nullptr);
    auto net = static_cast<SignalHandle>(LLFirst(drawing->signalList));
    SetSignalName(net, drawing->stringBlock, "CLK\xA5");
    SetSignalAttribute(net, drawing->stringBlock, "Speed", "f\x8Cst");
    drawing->stored.encodingLevel = 1;
    ASSERT_EQ(WriteSheetFile(drawing, &spec), 0);

    SheetRecord* opened = Open(path);
    ASSERT_NE(opened, nullptr);
    std::string expected = utf8;
    const auto replace = [&](const std::string& from, const std::string& to) {
        size_t at = 0;
        while ((at = expected.find(from, at)) != std::string::npos) {
            expected.replace(at, from.size(), to);
            at += to.size();
        }
    };
    replace("\"CLK\" flags", "\"CLK•\" flags");
    replace("Speed=fast", "Speed=fåst");
    EXPECT_EQ(Everything(opened), expected);
    EXPECT_EQ(opened->stored.encodingLevel, kSheetUTF8EncodingLevel);
}

// A block filled to the 4 MiB that specs address (as a long session fills it): a new text does
// not fit, so each edit fails with kStringBlockFull (whose message says why) and every text stays
// as it was; a text already in the block still fits. The saved file holds every text, and opened
// again the sheet has room: its block holds its live strings only.
TEST_F(SheetStringsTest, ATextThatDoesNotFitFailsItsEditAndLosesNothing) {
    SignalHandle net = Draw({P(0, 0), P(100, 0)});
    SetSignalName(net, drawing->stringBlock, "CLK");
    TextRecord* label = CreateSignalWireLabel(drawing, net, FirstWire((*net)->wires), 0, false);
    ASSERT_NE(label, nullptr);
    TextRecord* note = CreateDrawingText(drawing, kTextKindFree, 0, P(10, 10), "Note");
    SymbolRecord* part = driver->AddSymbol(5);
    SetSymbolRefName(part, drawing->stringBlock, "R1");
    BussHandle buss = CreateBuss(drawing->bussList);
    SetBussName(buss, drawing->stringBlock, "D[0:3]");
    const std::string filler(kStringSpecMaxLength, '#');
    while (Used(drawing->stringBlock) < kStringBlockOffsetLimit)
        ASSERT_NE(AppendStringBlock(drawing->stringBlock, filler.data(), uint32_t(filler.size()), nullptr), 0u);
    const std::string before = Everything(drawing);

    EXPECT_EQ(ReserveSheetString(drawing, "Renamed"), status::kStringBlockFull);
    EXPECT_NE(DescribeStatus(status::kStringBlockFull).find("4 MB"), std::string::npos);
    EXPECT_EQ(ChangeSheetText(drawing, note, "Changed note", nullptr), 0);
    EXPECT_EQ(StringBlockAddStatus(), status::kStringBlockFull);
    SetSignalName(net, drawing->stringBlock, "Renamed");
    SetBussName(buss, drawing->stringBlock, "Renamed");
    SetSymbolRefName(part, drawing->stringBlock, "Renamed");
    SetTextRecordString(label, drawing->stringBlock, "Renamed");
    SetSymbolAttribute(part, drawing->stringBlock, "Value", "10k", nullptr);
    EXPECT_EQ(Everything(drawing), before);
    // A text that is in the block already is found there.
    EXPECT_EQ(ReserveSheetString(drawing, "Note"), 0);
    EXPECT_EQ(ChangeSheetText(drawing, label, "Note", nullptr), 1);

    Save(drawing, path);
    const std::string after = Everything(drawing);
    SheetRecord* opened = Open(path);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(Everything(opened), after);
    EXPECT_LT(Used(opened->stringBlock), 100u);
    EXPECT_EQ(ReserveSheetString(opened, "Renamed"), 0);
}

// Compaction is all or nothing. Texts that name overlapping runs of one block, in an order in
// which no run can share the bytes of the one before, need far more room apart than together: more
// than specs address. The compaction fails with kStringBlockFull after moving the sheet's other
// records, and every record is as it was.
TEST_F(SheetStringsTest, ACompactionThatCannotFinishLeavesTheSheetAsItWas) {
    BuildRichSheet();
    std::mt19937 rng(TestSeed());
    std::string bytes(64 * 1024, ' ');
    for (char& c : bytes) c = char('!' + rng() % 90);
    const StringSpec all = AppendStringBlock(drawing->stringBlock, bytes.data(), 1023, nullptr);
    const uint32_t start = StringSpecOffset(all);
    for (size_t at = 1023; at < bytes.size(); at += 1023)
        AppendStringBlock(drawing->stringBlock, bytes.data() + at, uint32_t(std::min<size_t>(1023, bytes.size() - at)),
                          nullptr);
    // Runs of 1000 bytes starting 13 bytes apart, the later ones first in the list.
    for (uint32_t at = 0; at + 1000 < bytes.size() && at / 13 < 5000; at += 13) {
        TextRecord* text = CreateTextElement();
        text->text = ((start + at) << 10) | 1000;
        LLPush(drawing->textList, text);
    }
    const std::string before = Everything(drawing);
    const StringBlock block = drawing->stringBlock;
    const uint32_t used = Used(block);
    const SheetStoredSettings stored = drawing->stored;

    EXPECT_EQ(CompactSheetStringBlock(drawing), status::kStringBlockFull);
    EXPECT_EQ(drawing->stringBlock, block);
    EXPECT_EQ(Used(block), used);
    EXPECT_EQ(drawing->stored.compactionThreshold, stored.compactionThreshold);
    EXPECT_EQ(Everything(drawing), before);
}

// Texts of an older sheet whose recoding would not fit what specs address: the sheet is compacted
// but keeps its texts and its level (kStringBlockFull), to be recoded when there is room.
TEST_F(SheetStringsTest, TextsWhoseRecodingDoesNotFitStayAsTheyWere) {
    std::mt19937 rng(TestSeed());
    // Mac OS Roman characters of three bytes each in UTF-8 ("†", "•", "™", "≠", "∞", ...).
    const uint8_t wide[] = {0xA0, 0xA5, 0xAA, 0xAD, 0xB0, 0xB2, 0xB3, 0xB6, 0xB7, 0xB8, 0xBA, 0xC3, 0xC5, 0xC6, 0xC9, 0xD0,
                            0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD7, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE0, 0xE2, 0xE3, 0xE4};
    for (int i = 0; i < 1500; ++i) {
        std::string roman(1000, ' ');
        for (char& c : roman) c = char(wide[rng() % std::size(wide)]);
        TextRecord* text = CreateTextElement();
        SetTextRecordString(text, drawing->stringBlock, roman.c_str());
        LLPush(drawing->textList, text);
    }
    SetSignalName(Draw({P(0, 0), P(100, 0)}), drawing->stringBlock, "CLK");
    drawing->stored.encodingLevel = 1;
    const std::string before = Everything(drawing);

    EXPECT_EQ(CompactSheetStringBlock(drawing), status::kStringBlockFull);
    EXPECT_EQ(drawing->stored.encodingLevel, 1);
    EXPECT_EQ(Everything(drawing), before);
}

}  // namespace
}  // namespace plexa::test
