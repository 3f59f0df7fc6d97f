// The translation of version-3.6 sheets into current sheets, checked through the canonical sheet
// dump, and the conversion of sheets and projects into output projects: parts merged across
// sheets, a missing sheet asked for once, sheets of the same name written apart.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "converter/options.h"
#include "converter/report.h"
#include "converter/driver.h"
#include "converter/output.h"
#include "converter/tests/v36_project_builder.h"
#include "converter/tests/v36_sheet_builder.h"
#include "converter/v36parts.h"
#include "converter/v36projconvert.h"
#include "converter/v36project.h"
#include "converter/v36sheet.h"
#include "converter/v36sheetconvert.h"
#include "files/project.h"
#include "files/project_dump.h"
#include "files/sheetfile.h"
#include "files/sheetcontents.h"
#include "foundation/da.h"
#include "foundation/da_stream.h"
#include "foundation/dynfile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/signals.h"
#include "foundation/memory.h"
#include "foundation/stream.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/sheetdump.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/tests/model_fixture.h"
#include "model/texts.h"
#include "model/themes.h"
#include "model/wires.h"
#include "tests/support/foundation_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;
std::vector<OSStatus> gErrors;

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Compares a dump with the expected text in converter/tests/data/<name>; with PLEXA_WRITE_DUMPS
// set the file is written instead (look at it before keeping it).
void ExpectConvertedDump(const std::string& dump, const std::string& name) {
    const std::string path = SourcePath("converter/tests/data/" + name);
    if (std::getenv("PLEXA_WRITE_DUMPS")) {
        ASSERT_TRUE(WriteFile(path, dump)) << path;
        return;
    }
    std::string expected;
    ASSERT_TRUE(ReadFile(path, expected)) << path;
    EXPECT_EQ(dump, expected) << "the dump differs from " << path;
}

// The amplifier: a resistor that is a packaged one-section part, a diode that is no part (its
// pin at the origin points up, so its drawing is turned), a bus, a net from the resistor to a
// dangling end, one from the resistor to the diode, and one from the diode onto the bus.
V36SheetDesc Amplifier(bool bigEndian) {
    V36SheetDesc d;
    d.bigEndian = bigEndian;
    d.platform = bigEndian ? FourCC("PMac") : FourCC("IW32");
    d.styles = {{kTestFont, 10}, {kTestFont, 12, 1}};
    d.symbols = {
        {"RES", 96, 96, 1, 0x01, 5, 0,
         {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2, 0x0008), V36Box(-6, 12, 6, 36)}},
        {"DIODE", 96, 240, 2, 0x00, 6, 0,
         {V36Pin(0, 0, 12, 0, 1), V36Pin(48, 0, 36, 0, 2), V36Box(12, -6, 36, 6)}},
    };
    d.elements = {V36Elem{1, 300, 12, 300, 120, {0, 0, 0}}};
    d.texts = {
        {78, 96, 90, 120, "R1", "", -1, 0, 0, 1},
        {90, 96, 96, 102, "1", "", 1, 0x40, 0, 1},
        {90, 138, 96, 144, "2", "", 2, 0x40, 0, 1},
        {100, 100, 106, 110, "A", "", 1, 0, 0, 1},
        {100, 130, 106, 140, "B", "", 2, 0, 0, 1},
        {108, 96, 120, 130, "10k!", "", -2, 0, 0, 1, 0, 1},
        {0, 0, 0, 0, "\\V {x}", "", -7, 0, 0, 1},
        {0, 0, 0, 0, "SH{DIP8} PN{CF14}", "", -8, 0, 0, 1},
        {80, 250, 92, 280, "D1.A", "", -1, 0, 0, 2},
        {100, 236, 106, 240, "1", "", 1, 0x40, 0, 2},
        {140, 236, 146, 240, "2", "", 2, 0x40, 0, 2},
        {400, 12, 412, 120, "Date: \\DATS", "\\DATS", -3, 0x04, 0x40},
        {84, 60, 94, 84, "IN\xB5", "", -5, 0, 0, 0, 3},
        {180, 60, 190, 110, "D[0..1]", "", -6, 0, 0, 0, 7},
        {420, 12, 432, 60, "Note", "", -9},
    };
    d.parts = {{"RES\tR7\tAXIAL", {0x02}, {{1, 5}}}};
    d.pins = {{1, "VCC", "VCC\t+5V"}};
    d.busses = {{"D[0..1]", {{192, 48, 192, 300, 0x40, 7}}}};
    d.nets = {
        {"N1", 0, 5, {{96, 96, -1, 1}, {96, 48, 1, 2}}, {{96, 96, 96, 48, 1, 2, 0x10, 3, {}}}},
        {"", 0, 0, {{96, 144, -1, 1}, {96, 240, -2, 2}}, {{96, 144, 96, 240, 1, 2, 0, 0, {}}}},
        {"", 0, 0, {{144, 240, -2, 1}, {192, 252, 1, 2}}, {{144, 240, 192, 252, 1, 2, 0x02, 0, {{180, 240}}}}},
    };
    return d;
}

class V36SheetConvertTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        InitSignals();
        SetDefaultConversionOptions();
        gLog.clear();
        gErrors.clear();
        ConverterReportProcs procs;
        procs.log = [](const char* line) { gLog.push_back(line); };
        procs.error = [](OSStatus code) { gErrors.push_back(code); };
        previous_ = SetConverterReportProcs(procs);
    }
    void TearDown() override {
        SetConverterReportProcs(previous_);
        SetDefaultConversionOptions();
        SetFindSheetPanel(nullptr, nullptr);
        ModelTest::TearDown();
    }

    // The sheet read from bytes and translated, or null with the failure.
    SheetRecord* Translate(const std::string& bytes, OSStatus* status = nullptr) {
        HandleStream in(bytes);
        V36Sheet* old = nullptr;
        OSStatus st = ReadV36Sheet(in.stream, nullptr, &old);
        SheetRecord* sheet = nullptr;
        if (st == status::kNoErr) {
            // As a single sheet's conversion does: its parts analysed first.
            V36ProjectData parts;
            EXPECT_TRUE(AllocProjectWideData(&parts));
            st = MergeSheetParts(*old, 0, &parts);
            BuildRefLinkParts(&parts);
            BuildPartListComps(&parts);
            if (st == status::kNoErr) st = TranslateV36Sheet(*old, 0, &parts, &sheet);
            FreeProjectWideData(&parts);
            DisposeV36Sheet(old);
        }
        if (status) *status = st;
        return sheet;
    }

    FileSpec Write(const std::string& name, const std::string& bytes) {
        EXPECT_TRUE(WriteFile(dir_.file(name), bytes));
        return Spec(name);
    }
    FileSpec Spec(const std::string& name) {
        FileSpec spec;
        EXPECT_EQ(FileSpecFromURL(dir_.file(name), &spec, true, nullptr), 0);
        return spec;
    }

    // A version-3.6 project listing the sheets, in this machine's order, folder aliases empty.
    FileSpec WriteProject(const std::string& name, const std::vector<std::string>& sheets) {
        FileSpec spec = Spec(name);
        WriteV36Project(&spec, sheets);
        return spec;
    }

    TempDir dir_;
    ConverterReportProcs previous_;
};

std::string PinName(SheetRecord* sheet, uint32_t id) {
    char name[256] = {};
    GetIndexedPinDataName(sheet->pinDataTable, int32_t(id), sheet->stringBlock, name);
    return name;
}

std::string Attribute(SheetRecord* sheet, SymbolRecord* symbol, const char* name) {
    char value[kSymbolTextSize] = {};
    GetSymbolAttribute(symbol, sheet->stringBlock, name, value);
    return value;
}

TEST_F(V36SheetConvertTest, TranslatesTheAmplifierInEitherByteOrder) {
    gConvert96DPI = 0;
    SheetRecord* little = Translate(WriteV36SheetDesc(Amplifier(false)));
    SheetRecord* big = Translate(WriteV36SheetDesc(Amplifier(true)));
    ASSERT_NE(little, nullptr);
    ASSERT_NE(big, nullptr);
    const std::string dump = DumpSheet(little);
    EXPECT_EQ(dump, DumpSheet(big));
    ExpectConvertedDump(dump, "amplifier.dump");

    // The resistor's component comes from its part: designator R7, hidden pin +5V of VCC.
    auto* resistor = static_cast<SymbolRecord*>(LLGetIndexedLink(little->symbolList, 0));
    ASSERT_TRUE(resistor->component);
    char text[kSymbolTextSize];
    GetSymbolsDisplayDesignator(little, resistor, text);
    EXPECT_STREQ(text, "R7");
    EXPECT_EQ(CountCompSymbolPins(resistor->component, 0, 0), 2);
    EXPECT_EQ(PinName(little, GetCompSymbolPinDataId(resistor->component, 0, 0, 0)), "A");
    EXPECT_EQ(PinName(little, GetCompSymbolPinDataId(resistor->component, 0, 0, 1)), "B");
    char number[kCompTextSize];
    GetCompHiddenPinInfo(resistor->component, little->stringBlock, 0, 0, number, nullptr);
    EXPECT_STREQ(number, "+5V");
    // Values escaped before the value macro goes in: its braces stay braces.
    EXPECT_EQ(Attribute(little, resistor, GetMappedAttributeName(0).c_str()), "10k\\!");
    EXPECT_EQ(Attribute(little, resistor, GetMappedAttributeName(2).c_str()), "{" + GetMappedAttributeName(0) + "} \\{x}");
    EXPECT_EQ(Attribute(little, resistor, "Footprint"), "DIP8\tCF14");
    // The diode is no part: its own component, named by the symbol, prefix from "D1.A".
    auto* diode = static_cast<SymbolRecord*>(LLGetIndexedLink(little->symbolList, 1));
    ASSERT_TRUE(diode->component);
    GetSymbolsDisplayDesignator(little, diode, text);
    EXPECT_STREQ(text, "D1");
    EXPECT_EQ(diode->flags & kSymbolFlagTransform, 1u);  // placed with the inverse of its turn
    // The parts' texts show what the sheet stores: the designators R7 and D1 (not the old texts
    // "R1" and "D1.A"), and the value through its field reference.
    EXPECT_NE(dump.find("kind 0x0011 owner serial 5 at (96,87) \"R7\"\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("kind 0x0011 owner serial 6 at (250,89) \"D1\"\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find(" macro \"{" + GetMappedAttributeName(0) + "}\""), std::string::npos) << dump;
    // The Mac Roman label is UTF-8 and belongs to the dangling net's tail symbol.
    EXPECT_NE(dump.find("\"IN\xC2\xB5\""), std::string::npos) << dump;
    EXPECT_NE(dump.find("{SheetModified}"), std::string::npos);
    DestroySheet(little);
    DestroySheet(big);
}

// Every wire end on a pin lies where the pin lies, and every break-out on its bus line.
void ExpectAttached(SheetRecord* sheet) {
    int ends = 0;
    for (void* item = LLFirst(sheet->signalList); item; item = LLGetNext(sheet->signalList, item)) {
        auto signal = static_cast<SignalHandle>(item);
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w))
            for (int end = 0; end < 2; ++end) {
                const uint16_t word = end ? (*w)->end1 : (*w)->end0;
                const Point corner = WireCorners(w)[end ? (*w)->cornerCount - 1 : 0];
                if (IsWireEndTerminal(word)) {
                    const SignalPinEntry pin = SignalPins(signal)[word];
                    SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, pin.serial);
                    Point at{};
                    GetNodeInstancePoint(sheet, symbol, pin.node, &at);
                    EXPECT_EQ(at.v, corner.v);
                    EXPECT_EQ(at.h, corner.h);
                    ++ends;
                } else if (IsWireEndBreakOut(word)) {
                    BreakOutRow row{};
                    ASSERT_TRUE(GetBreakOutRow(sheet->breakOutTable, word & kWireEndIndexMask, &row));
                    EXPECT_EQ(row.second.v, corner.v);
                    EXPECT_EQ(row.second.h, corner.h);
                    bool onBus = false;
                    for (WireHandle b = FirstWire((*row.buss)->wires); b; b = NextWire((*row.buss)->wires, b)) {
                        Point hit{};
                        onBus = onBus || HitTestWire(b, row.first, 0, &hit, false) >= 0;
                    }
                    EXPECT_TRUE(onBus);
                    ++ends;
                }
            }
    }
    EXPECT_EQ(ends, 6);  // five pin ends (one the tail symbol's) and one break-out
}

TEST_F(V36SheetConvertTest, WiresStayOnTheirPinsAndBreakOutsOnTheBusAfterScaling) {
    gConvert96DPI = 0;
    SheetRecord* at72 = Translate(WriteV36SheetDesc(Amplifier(false)));
    ASSERT_NE(at72, nullptr);
    ExpectAttached(at72);
    EXPECT_EQ(at72->stored.resolution, 72);
    gConvert96DPI = 1;
    SheetRecord* at96 = Translate(WriteV36SheetDesc(Amplifier(true)));
    ASSERT_NE(at96, nullptr);
    ExpectAttached(at96);
    EXPECT_EQ(at96->stored.resolution, 96);
    // Sizes are scaled once, with the sheet: 10 points at 72 become 12, not 16.
    EXPECT_EQ(at96->currentTextStyle->size, 12);
    EXPECT_EQ(at72->currentTextStyle->size, 10);
    DestroySheet(at72);
    DestroySheet(at96);
}

TEST_F(V36SheetConvertTest, ABusLabelTakesItsBusFromTheSegmentsLabelWord) {
    gConvert96DPI = 0;
    V36SheetDesc d = Amplifier(false);
    // A second bus whose segment carries label 8; the label of 8 must go to it, not to the first.
    d.busses.push_back({"A[0..3]", {{260, 48, 260, 300, 0x40, 8}}});
    d.texts.push_back({248, 60, 258, 110, "A[0..3]", "", -6, 0, 0, 0, 8});
    SheetRecord* sheet = Translate(WriteV36SheetDesc(d));
    ASSERT_NE(sheet, nullptr);
    int labels = 0;
    for (void* item = LLFirst(sheet->textList); item; item = LLGetNext(sheet->textList, item)) {
        auto* t = static_cast<TextRecord*>(item);
        if (t->kind != kTextKindBuss) continue;
        char text[kTextStringSize];
        GetTextRecordString(t, sheet->stringBlock, text, sizeof text);
        auto buss = reinterpret_cast<BussHandle>(intptr_t(t->owner));
        char name[256];
        GetBussName(buss, sheet->stringBlock, name);
        EXPECT_STREQ(name, text);
        ++labels;
    }
    EXPECT_EQ(labels, 2);
    DestroySheet(sheet);
}

TEST_F(V36SheetConvertTest, SuffixesAndFields) {
    EXPECT_EQ(SectionSuffix(0), "A");
    EXPECT_EQ(SectionSuffix(25), "Z");
    EXPECT_EQ(SectionSuffix(26), "AA");
    EXPECT_EQ(SectionSuffix(27), "AB");
    EXPECT_EQ(SectionSuffix(199), "GR");
    std::string out;
    EXPECT_TRUE(ExtractDelimitedString("a\tb\t\tc", 3, '\t', &out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(ExtractDelimitedString("a\tb\t\tc", 4, '\t', &out));
    EXPECT_EQ(out, "c");
    EXPECT_FALSE(ExtractDelimitedString("a\tb", 3, '\t', &out));
    EXPECT_EQ(UniqueSheetOutputNames({"A.SCM", "a.scm", "B", "A.SCM"}),
              (std::vector<std::string>{"A.SHX", "a 2.SHX", "B", "A 3.SHX"}));
}

// Two sheets that each place two sections of the same four-section part.
V36SheetDesc GateSheet(bool first) {
    V36SheetDesc d;
    d.styles = {{kTestFont, 10}};
    const uint32_t base = first ? 0x101 : 0x103;
    const int pin = first ? 1 : 9;
    for (int g = 0; g < 2; ++g)
        d.symbols.push_back({"7400", 96, 96 + 120 * g, g + 1, 0x10, base + uint32_t(g), 0,
                             {V36Pin(0, 0, 0, 12, 1), V36Pin(24, 0, 24, 12, 2), V36Pin(12, 60, 12, 48, 3),
                              V36Box(-6, 12, 30, 48)}});
    for (int g = 0; g < 2; ++g)
        for (int p = 0; p < 3; ++p)
            d.texts.push_back({90, 96, 96, 102, std::to_string(pin + 3 * g + p), "", p + 1, 0x40, 0, g + 1});
    const uint32_t none = 0xFFFFFFFF;
    if (first)
        d.parts = {{"7400\tU3\tDIP14", {0x02}, {{1, 0x101}, {2, 0x102}, {none, 0x103}, {none, 0x104}}}};
    else
        d.parts = {{"7400\tU3\tDIP14", {0x02}, {{none, 0x101}, {none, 0x102}, {1, 0x103}, {2, 0x104}}}};
    d.pins = {{1, "VCC", "VCC\t+5V"}};
    return d;
}

TEST_F(V36SheetConvertTest, APartOnTwoSheetsBecomesOneComponent) {
    gConvert96DPI = 0;
    Write("A.SCM", WriteV36SheetDesc(GateSheet(true)));
    Write("B.SCM", WriteV36SheetDesc(GateSheet(false)));
    const FileSpec project = WriteProject("Logic.SPR", {"A.SCM", "B.SCM"});
    ProjectConversion result;
    result.keepSheets = true;
    EXPECT_EQ(ConvertV36ProjectFile(&project, &result), status::kNoErr);
    ASSERT_EQ(result.sheets.size(), 2u);
    EXPECT_EQ(result.sheetNames, (std::vector<std::string>{"A.SHX", "B.SHX"}));
    EXPECT_EQ(result.projectPath, dir_.file("Logic (Plexa)/Logic.PRX"));
    std::vector<std::string> designators;
    for (size_t i = 0; i < result.sheets.size(); ++i) {
        SheetRecord* sheet = result.sheets[i];
        // The written file opens with the editor's reader to the sheet that was translated.
        const FileSpec written = Spec("Logic (Plexa)/" + result.sheetNames[i]);
        SheetRecord* reopened = nullptr;
        ASSERT_EQ(LoadSheetFile(&written, &reopened), 0);
        EXPECT_EQ(DumpSheet(reopened), DumpSheet(sheet));
        DestroySheet(reopened);
        ASSERT_EQ(sheet->componentList->count, 1u);
        auto* c = static_cast<ComponentRecord*>(LLFirst(sheet->componentList));
        ASSERT_EQ(c->sectionCount, 4);
        char number[kCompTextSize];
        GetCompSectionPinNumber(GetCompSection(c, 3), sheet->stringBlock, 0, 2, number);
        EXPECT_STREQ(number, "13");  // the last gate's second input (its pins in view order)
        GetCompSectionPinNumber(GetCompSection(c, 0), sheet->stringBlock, 0, 0, number);
        EXPECT_STREQ(number, "1");   // the first gate's input, numbered on the first sheet
        for (void* item = LLFirst(sheet->symbolList); item; item = LLGetNext(sheet->symbolList, item)) {
            auto* symbol = static_cast<SymbolRecord*>(item);
            EXPECT_EQ(symbol->component, c);
            char text[kSymbolTextSize];
            GetSymbolsDisplayDesignator(sheet, symbol, text);
            designators.push_back(text);
        }
        DestroySheet(sheet);
    }
    EXPECT_EQ(designators, (std::vector<std::string>{"U3.A", "U3.B", "U3.C", "U3.D"}));
    ASSERT_EQ(gLog.size(), 3u);
    EXPECT_NE(gLog[0].find("wrote"), std::string::npos);
}

// ---- The fixture set: sheets, a project and damaged twins, in both byte orders ----

// An L-shaped bus: a horizontal segment and a vertical one that meet at (192,300), each with its
// end pulled back where it meets nothing; its label on the first segment, and a wire from the
// resistor that breaks out onto the second.
V36SheetDesc LBus(bool bigEndian) {
    V36SheetDesc d;
    d.bigEndian = bigEndian;
    d.platform = bigEndian ? FourCC("M68K") : FourCC("IMac");
    d.styles = {{kTestFont, 10}};
    d.symbols = {{"RES", 96, 96, 1, 0x01, 5, 0,
                  {V36Pin(0, 0, 0, 12, 1), V36Pin(0, 48, 0, 36, 2), V36Box(-6, 12, 6, 36)}}};
    d.texts = {{78, 96, 90, 120, "R1", "", -1, 0, 0, 1},
               {180, 60, 190, 110, "D[0..7]", "", -6, 0, 0, 0, 7}};
    d.parts = {{"RES\tR7\tAXIAL", {}, {{1, 5}}}};
    d.busses = {{"D[0..7]", {{192, 48, 192, 300, 0, 7}, {192, 300, 400, 300, 0, 0}}}};
    d.nets = {{"", 0, 0, {{96, 144, -1, 1}, {312, 300, 1, 2}},
               {{96, 144, 312, 300, 1, 2, 0x02, 0, {{96, 288}, {300, 288}}}}}};
    return d;
}

std::vector<BussHandle> Busses(SheetRecord* sheet) {
    std::vector<BussHandle> busses;
    for (void* item = LLFirst(sheet->bussList); item; item = LLGetNext(sheet->bussList, item))
        busses.push_back(static_cast<BussHandle>(item));
    return busses;
}

TEST_F(V36SheetConvertTest, AnLShapedBusStaysOneBusWithItsLabelAndBreakOut) {
    gConvert96DPI = 0;
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        SheetRecord* sheet = Translate(WriteV36SheetDesc(LBus(big)));
        ASSERT_NE(sheet, nullptr);
        const std::vector<BussHandle> busses = Busses(sheet);
        ASSERT_EQ(busses.size(), 1u) << DumpSheet(sheet);
        // Both segments are the bus's, joined where they meet.
        int segments = 0;
        for (WireHandle w = FirstWire((*busses[0])->wires); w; w = NextWire((*busses[0])->wires, w))
            segments += (*w)->cornerCount - 1;
        EXPECT_EQ(segments, 2);
        int labels = 0;
        for (void* item = LLFirst(sheet->textList); item; item = LLGetNext(sheet->textList, item)) {
            auto* t = static_cast<TextRecord*>(item);
            if (t->kind != kTextKindBuss) continue;
            EXPECT_EQ(reinterpret_cast<BussHandle>(intptr_t(t->owner)), busses[0]);
            ++labels;
        }
        EXPECT_EQ(labels, 1);
        BreakOutRow row{};
        ASSERT_TRUE(GetBreakOutRow(sheet->breakOutTable, 0, &row));
        EXPECT_EQ(row.buss, busses[0]);
        DestroySheet(sheet);
    }
}

// The fixtures, converted as the user converts them (written files read back with the editor's
// reader): a sheet gives the same sheet in either byte order.
TEST_F(V36SheetConvertTest, TheFixtureSetConvertsAlikeInEitherByteOrder) {
    struct Fixture {
        const char* name;
        V36SheetDesc (*desc)(bool bigEndian);
    };
    const Fixture fixtures[] = {{"Amplifier", Amplifier}, {"LBus", LBus}};
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        std::string dumps[2];
        for (int big = 0; big < 2; ++big) {
            const std::string name = std::string(f.name) + (big ? "BE" : "LE");
            Write(name + ".SCM", WriteV36SheetDesc(f.desc(big != 0)));
            const ConversionReport report = ConvertDocument(dir_.file(name + ".SCM"));
            ASSERT_EQ(report.outcome, ConversionOutcome::kWritten) << FormatConversionReport(report);
            EXPECT_EQ(report.output, dir_.file(name + " (Plexa)/" + name + ".PRX"));
            const FileSpec written = Spec(name + " (Plexa)/" + name + ".SHX");
            SheetRecord* sheet = nullptr;
            ASSERT_EQ(LoadSheetFile(&written, &sheet), 0);
            dumps[big] = DumpSheet(sheet);
            DestroySheet(sheet);
        }
        EXPECT_EQ(dumps[0], dumps[1]);
        std::string lower = f.name;
        for (char& c : lower) c = char(std::tolower(uint8_t(c)));
        ExpectConvertedDump(dumps[0], lower + "_96.dump");
    }
}

// A project whose sheets the user found in another folder: that folder becomes one of the new
// project's search paths for sheet files, beside the project's own folder.
TEST_F(V36SheetConvertTest, TheOldSheetFoldersBecomeSearchPathsOfTheProject) {
    ASSERT_EQ(std::system(("mkdir -p '" + dir_.file("Old Sheets") + "'").c_str()), 0);
    Write("Old Sheets/A.SCM", WriteV36SheetDesc(GateSheet(true)));
    Write("Old Sheets/B.SCM", WriteV36SheetDesc(GateSheet(false)));
    const FileSpec project = WriteProject("Logic.SPR", {"A.SCM", "B.SCM"});
    static FileSpec chosen;
    chosen = Spec("Old Sheets/A.SCM");
    SetFindSheetPanel([](const char*, const char*, FileSpec* out, void*) -> OSStatus {
        *out = chosen;
        return status::kNoErr;
    }, nullptr);
    const ConversionReport report = ConvertDocument(dir_.file("Logic.SPR"));
    ASSERT_EQ(report.outcome, ConversionOutcome::kWritten) << FormatConversionReport(report);
    std::string out, err;
    const std::string prx = report.output;
    const char* argv[] = {"project-dump", prx.c_str()};
    EXPECT_EQ(RunProjectDump(2, argv, &out, &err), 0) << err;
    EXPECT_NE(out.find("path kind 0 flags 0x9E \"./\"\n    path kind 0 flags 0x92 \"../Old Sheets/\"\n"),
              std::string::npos) << out;
    (void)project;
}

// Part sections laid out otherwise (one length behind all of them): the sections read then name
// symbols the sheet lacks, which is damage in either byte order, reported with the file's name. A
// section of the usual layout that names a symbol the sheet lacks is damage as well.
TEST_F(V36SheetConvertTest, PartSectionsThatNameNoSymbolAreDamageInEitherByteOrder) {
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        V36SheetDesc d = GateSheet(true);
        d.bigEndian = big;
        d.platform = big ? FourCC("PMac") : FourCC("IW32");
        const std::string good = std::string("Good") + (big ? "BE" : "LE") + ".SCM";
        Write(good, WriteV36SheetDesc(d));
        EXPECT_EQ(ConvertDocument(dir_.file(good)).outcome, ConversionOutcome::kWritten);
        // Both sections placed here: read with a length behind each, the second one's placement
        // is taken for a length and what follows lands inside the file, naming symbol 0.
        d.parts[0].sections = {{1, 0x101}, {2, 0x102}};
        d.oneLengthSections = true;
        const std::string name = std::string("OneLength") + (big ? "BE" : "LE") + ".SCM";
        Write(name, WriteV36SheetDesc(d));
        const ConversionReport report = ConvertDocument(dir_.file(name));
        EXPECT_EQ(report.outcome, ConversionOutcome::kFailed);
        EXPECT_EQ(report.status, kV36DamagedFile);
        EXPECT_EQ(FormatConversionReport(report),
                  "\"" + dir_.file(name) +
                      "\": failed: The file is damaged: it holds a record that no version-3.6 writer makes.");
        EXPECT_FALSE(FileExists(dir_.file(OutputProjectFolderName(name.c_str(), false))));
    }
    V36SheetDesc d = GateSheet(true);
    d.parts[0].sections[1].placement = 9;  // no symbol 9 on the sheet
    HandleStream in(WriteV36SheetDesc(d));
    V36Sheet* old = nullptr;
    EXPECT_EQ(ReadV36Sheet(in.stream, nullptr, &old), kV36BadRecord);
    d = GateSheet(true);
    d.parts[0].sections[1].symbolId = 0x999;  // symbol 2 is of another id
    HandleStream other(WriteV36SheetDesc(d));
    EXPECT_EQ(ReadV36Sheet(other.stream, nullptr, &old), kV36BadRecord);
}

TEST_F(V36SheetConvertTest, AMissingSheetIsAskedForOnceAndCancelStopsSilently) {
    Write("A.SCM", WriteV36SheetDesc(GateSheet(true)));
    const FileSpec project = WriteProject("Lost.SPR", {"A.SCM", "Gone.SCM"});
    static std::vector<std::string> asked;
    asked.clear();
    SetFindSheetPanel(
        [](const char* prompt, const char*, FileSpec*, void*) -> OSStatus {
            asked.push_back(prompt);
            return status::kUserCancelled;
        },
        nullptr);
    ConvertV36Project(&project);
    EXPECT_EQ(asked, (std::vector<std::string>{"Please find \"Gone.SCM\""}));
    EXPECT_TRUE(gErrors.empty());
    EXPECT_FALSE(FileExists(dir_.file("Lost (Plexa)/Lost.PRX")));

    // Found by the user: the chosen file's folder is looked in for the next sheets too.
    ASSERT_EQ(std::system(("mkdir -p '" + dir_.file("elsewhere") + "'").c_str()), 0);
    Write("elsewhere/Gone.SCM", WriteV36SheetDesc(GateSheet(false)));
    static FileSpec chosen;
    chosen = Spec("elsewhere/Gone.SCM");
    asked.clear();
    SetFindSheetPanel(
        [](const char* prompt, const char*, FileSpec* out, void*) -> OSStatus {
            asked.push_back(prompt);
            *out = chosen;
            return status::kNoErr;
        },
        nullptr);
    ProjectConversion result;
    EXPECT_EQ(ConvertV36ProjectFile(&project, &result), status::kNoErr);
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(FileExists(dir_.file("Lost (Plexa)/Lost.PRX")));
}

TEST_F(V36SheetConvertTest, SheetsOfTheSameNameGetDistinctOutputs) {
    Write("A.SCM", WriteV36SheetDesc(GateSheet(true)));
    const FileSpec project = WriteProject("Twice.SPR", {"A.SCM", "A.SCM"});
    ProjectConversion result;
    EXPECT_EQ(ConvertV36ProjectFile(&project, &result), status::kNoErr);
    EXPECT_EQ(result.sheetNames, (std::vector<std::string>{"A.SHX", "A 2.SHX"}));
}

TEST_F(V36SheetConvertTest, ASingleSheetMakesAProjectOfItsOwn) {
    const FileSpec sheet = Write("Amplifier.SCM", WriteV36SheetDesc(Amplifier(false)));
    ConvertV36Sheet(&sheet);
    EXPECT_TRUE(FileExists(dir_.file("Amplifier (Plexa)/Amplifier.PRX")));
    EXPECT_TRUE(FileExists(dir_.file("Amplifier (Plexa)/Amplifier.SHX")));
    EXPECT_TRUE(gErrors.empty());
    ASSERT_EQ(gLog.size(), 2u);
    EXPECT_NE(gLog[0].find("wrote"), std::string::npos);
}

TEST_F(V36SheetConvertTest, ADamagedProjectIsReportedOnceWithItsMessage) {
    FileSpec spec = Spec("Broken.SPR");
    ASSERT_EQ(CreateDynamicFile(&spec, "QPLX", "QSPR", "QSPR", 0), 0);
    ConvertV36Project(&spec);
    EXPECT_EQ(gErrors, std::vector<OSStatus>{kV36ProjectDamaged});
    EXPECT_TRUE(gLog.empty());
    EXPECT_EQ(ConversionFailureText(kV36ProjectDamaged), "The project file is damaged and cannot be converted.");
    EXPECT_FALSE(FileExists(dir_.file("Broken (Plexa)")));
}

TEST_F(V36SheetConvertTest, DamagedSheetListsEndWithStatus) {
    V36ProjectFile project;
    project.version = 864;
    EXPECT_NE(ParseV36ProjectSheets("", 0, &project), 0);
    std::string header(24, '\0');
    header[2] = 0x10;
    header += std::string("\x00\x00\x02\x00", 4);  // an alias longer than any
    EXPECT_EQ(ParseV36ProjectHeader(header.data(), uint32_t(header.size()), &project), kV36DamagedFile);
    header.resize(10);
    EXPECT_EQ(ParseV36ProjectHeader(header.data(), uint32_t(header.size()), &project), status::kEndOfFile);
}

// The project's two blocks as the fuzz target takes them: a byte with block 1's length, block 1,
// then block 3.
std::string ProjectSeed(const std::vector<std::string>& sheets) {
    const std::string header = ProjectHeaderBlock();
    return std::string(1, char(header.size())) + header + ProjectSheetListBlock(sheets);
}

TEST_F(V36SheetConvertTest, ProjectBlocksReadAndSeedTheFuzzer) {
    const std::string seed = ProjectSeed({"A.SCM", "Power supply.SCM"});
    V36ProjectFile project;
    const size_t headerSize = uint8_t(seed[0]);
    ASSERT_EQ(ParseV36ProjectHeader(seed.data() + 1, uint32_t(headerSize), &project), 0);
    EXPECT_EQ(project.version, 864);
    EXPECT_FALSE(project.swapped);
    ASSERT_EQ(ParseV36ProjectSheets(seed.data() + 1 + headerSize, uint32_t(seed.size() - 1 - headerSize), &project), 0);
    EXPECT_EQ(project.sheets, (std::vector<std::string>{"A.SCM", "Power supply.SCM"}));
    CheckFuzzSeed("converter_v36project", "two", seed);
    CheckFuzzSeed("converter_v36sheet", "amplifier", WriteV36SheetDesc(Amplifier(true)));
    CheckFuzzSeed("converter_v36sheet", "gates", WriteV36SheetDesc(GateSheet(true)));
}

TEST_F(V36SheetConvertTest, TruncatedSheetsEndWithStatus) {
    const std::string bytes = WriteV36SheetDesc(Amplifier(false));
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        OSStatus st = status::kNoErr;
        SheetRecord* sheet = Translate(bytes.substr(0, cut), &st);
        EXPECT_EQ(sheet, nullptr);
        EXPECT_NE(st, status::kNoErr);
    }
}

TEST_F(V36SheetConvertTest, MutatedSheetsTranslateOrEndWithStatus) {
    const std::string bytes = WriteV36SheetDesc(Amplifier(false));
    std::mt19937 rng(TestSeed());
    const int rounds = StressCount(200);
    for (int round = 0; round < rounds; ++round) {
        std::string mutated = bytes;
        const int flips = 1 + int(rng() % 8);
        for (int i = 0; i < flips; ++i) mutated[rng() % mutated.size()] = char(rng());
        OSStatus st = status::kNoErr;
        SheetRecord* sheet = Translate(mutated, &st);
        EXPECT_EQ(sheet == nullptr, st != status::kNoErr);
        if (sheet) {
            EXPECT_FALSE(DumpSheet(sheet).empty());
            DestroySheet(sheet);
        }
    }
}

}  // namespace
}  // namespace plexa::test
