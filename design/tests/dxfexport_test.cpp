// DXF export of a sheet: a small sheet written to a file and read back as group-code pairs (one
// block per symbol, one reference per symbol at its position with y flipped, hidden texts left
// out), the proposed file name, the command through a scripted save panel, the failures, and a DXF
// reader's audit when one is installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "app/root.h"
#include "design/dxfexport.h"
#include "foundation/filespec.h"
#include "foundation/program.h"
#include "graphics/dxf.h"
#include "graphics/grafprocs.h"
#include "model/elements.h"
#include "model/sheetsymbols.h"
#include "model/symboldata.h"
#include "model/symboldraw.h"
#include "model/tests/net_fixture.h"
#include "platform/panel_platform.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

using Pairs = std::vector<std::pair<int, std::string>>;

// The file's group codes and values (CR LF line ends; a trailing odd line is dropped).
Pairs ReadPairs(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadFile(path, bytes)) << path;
    std::vector<std::string> lines;
    for (size_t at = 0; at < bytes.size();) {
        const size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos) break;
        lines.push_back(bytes.substr(at, end - at));
        at = end + 2;
    }
    Pairs pairs;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) pairs.emplace_back(std::atoi(lines[i].c_str()), lines[i + 1]);
    return pairs;
}

// One entity: its type and its groups.
struct Entity {
    std::string type;
    Pairs groups;
    std::string Value(int code) const {
        for (const auto& [c, v] : groups)
            if (c == code) return v;
        return {};
    }
};

// The entities of a section; for BLOCKS each block's entities follow its BLOCK entry.
std::vector<Entity> Section(const Pairs& pairs, const std::string& name) {
    std::vector<Entity> out;
    bool inside = false;
    for (size_t i = 0; i < pairs.size(); ++i) {
        const auto& [code, value] = pairs[i];
        if (!inside) {
            inside = code == 2 && value == name && i > 0 && pairs[i - 1].second == "SECTION";
            continue;
        }
        if (code == 0 && value == "ENDSEC") break;
        if (code == 0) out.push_back({value, {}});
        else if (!out.empty()) out.back().groups.emplace_back(code, value);
    }
    return out;
}

double Real(const std::string& value) { return std::strtod(value.c_str(), nullptr); }

class DXFExportTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        ASSERT_EQ(InitSymbolPool(), 0);
        drawing->stored.resolution = 100;  // one unit is 1/100 inch
        VXSetRect(&drawing->sheetBounds, 0, 0, 800, 1000);
        DXFHooks hooks;
        hooks.errorReport = [](OSStatus code) { Reported().push_back(code); };
        DXFSetHooks(&hooks);
        Reported().clear();
        TestResetFilePanels();
    }
    void TearDown() override {
        DXFSetHooks(nullptr);
        TestResetFilePanels();
        NetTest::TearDown();
    }

    static std::vector<OSStatus>& Reported() {
        static std::vector<OSStatus> codes;
        return codes;
    }

    // A symbol definition: one pin from (10, 0) to (10, 10) and a 20 x 30 frame.
    int32_t Definition() {
        LinkListHeader* elements = CreateElementList(drawing->imageList);
        LLAppend(elements, BuildNodeElement({10, 0}, {10, 10}, 1, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(kElementRect, {0, 10}, {20, 40}, 1, 0, 0, false, false, 0, false, 0,
                                              false));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, drawing->stringBlock, false,
                                           drawing->imageList);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        if (!data) return -1;
        const int32_t id = AddSymbolToMap(drawing->symbolMap, *data, int32_t(SizeOfHandle(data)), drawing->imageList);
        MemFree(data);
        return id;
    }

    SymbolRecord* Place(int32_t mapId, uint32_t serial, Point at, uint32_t flags = 0) {
        SymbolRecord* symbol = driver->AddSymbol(serial, flags);
        symbol->mapId = mapId;
        symbol->position = at;
        symbol->libraryName = kNoLibraryName;
        return symbol;
    }

    TextRecord* Text(uint16_t kind, uint16_t flags, Point at, const char* string, uint32_t owner = 0) {
        TextRecord* text = CreateDrawingText(drawing, kind, flags, at, string);
        EXPECT_NE(text, nullptr);
        if (owner) text->owner = TextOwnerSerial(owner);
        return text;
    }

    // The fixture sheet: two symbols with a visible and a hidden text each, a wire, elements in
    // both layers, a frame, a free text and a hidden free text.
    void BuildFixture() {
        const int32_t id = Definition();
        ASSERT_GE(id, 0);
        Place(id, 4, P(100, 50));
        Place(id, 7, P(300, 200), 1);
        Text(kTextKindCompDesignator, 0, P(100, 40), "R1", 4);
        Text(kTextKindSymbolAttribute, kTextFlagHidden, P(100, 30), "HIDDENATTR", 4);
        Text(kTextKindCompDesignator, 0, P(300, 190), "R2", 7);
        Text(kTextKindSymbolAttribute, kTextFlagHidden, P(300, 180), "HIDDENTOO", 7);
        Text(kTextKindFree, 0, P(400, 400), "Note");
        Text(kTextKindFree, kTextFlagHidden, P(400, 420), "SECRET");
        Draw({P(110, 50), P(110, 20), P(310, 20)});
        ElementRecord* back = BuildCommonElement(kElementRect, P(500, 500), P(540, 560), 1, 0, 0, false, false, 0,
                                                 false, 0, false);
        back->flags |= kElementBackLayer;
        LLAppend(drawing->elementList, back);
        LLAppend(drawing->elementList, BuildCommonElement(kElementLine, P(600, 500), P(700, 500), 1, 0, 0, false,
                                                          false, 0, false, 0, false));
        TextFrameHandle frame = CreateTextFrame("framed words", -1, kEncodingUTF8);
        ASSERT_NE(frame, nullptr);
        (*frame)->position = P(500, 700);
        LLPush(drawing->textFrameList, frame);
        CalcTextFrameBounds(nullptr, frame, true, 200);
    }

    FileSpec Spec(const std::string& path) {
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
        return spec;
    }

    // Every text of the file (blocks and entities) with where it was found.
    static std::vector<std::string> Texts(const std::vector<Entity>& entities) {
        std::vector<std::string> texts;
        for (const Entity& e : entities)
            if (e.type == "TEXT") texts.push_back(e.Value(1));
        return texts;
    }

    TempDir dir_;
};

TEST_F(DXFExportTest, BlocksPerSymbolInsertsAtTheirPositionsAndNoHiddenText) {
    BuildFixture();
    const std::string path = dir_.file("fixture.dxf");
    const FileSpec spec = Spec(path);
    ASSERT_EQ(WriteDXFSheet(drawing, &spec), 0);
    EXPECT_TRUE(Reported().empty());
    EXPECT_EQ(VXGetStaticMessageWindow(), nullptr);

    const Pairs pairs = ReadPairs(path);
    ASSERT_FALSE(pairs.empty());
    EXPECT_EQ(pairs.back(), (std::pair<int, std::string>(0, "EOF")));

    // One block a symbol, named by its serial, each holding the symbol's frame and its visible text.
    const std::vector<Entity> blocks = Section(pairs, "BLOCKS");
    std::vector<std::string> names;
    std::vector<std::vector<Entity>> contents;
    for (const Entity& e : blocks) {
        if (e.type == "BLOCK") {
            names.push_back(e.Value(2));
            contents.emplace_back();
        } else if (e.type != "ENDBLK" && !contents.empty()) {
            contents.back().push_back(e);
        }
    }
    std::vector<std::string> symbolBlocks;
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].rfind("DXF_BLK_", 0) != 0) continue;
        symbolBlocks.push_back(names[i]);
        EXPECT_FALSE(contents[i].empty()) << names[i];
    }
    EXPECT_EQ(symbolBlocks, (std::vector<std::string>{"DXF_BLK_4", "DXF_BLK_7"}));
    const auto block4 = std::find(names.begin(), names.end(), "DXF_BLK_4") - names.begin();
    // The pin, the frame and the visible text; no port markers (the export draws none).
    std::string kinds;
    for (const Entity& e : contents[size_t(block4)]) kinds += e.type + (e.type == "TEXT" ? " " + e.Value(1) : "") + "\n";
    EXPECT_EQ(kinds, "LINE\nPOLYLINE\nVERTEX\nVERTEX\nVERTEX\nVERTEX\nSEQEND\nTEXT R1\n");
    // The text is drawn relative to the symbol: (100, 40) - (100, 50) is 10 above the origin,
    // and inside a block y is 0 - v x unit.
    for (const Entity& e : contents[size_t(block4)]) {
        if (e.type == "TEXT") {
            EXPECT_GT(Real(e.Value(20)), 0.0);
        }
    }

    // One reference a symbol at its position: x = h / 100, y = (1000 - v) / 100.
    const std::vector<Entity> entities = Section(pairs, "ENTITIES");
    std::vector<std::pair<std::string, std::pair<double, double>>> inserts;
    for (const Entity& e : entities)
        if (e.type == "INSERT" && e.Value(2).rfind("DXF_BLK_", 0) == 0)
            inserts.push_back({e.Value(2), {Real(e.Value(10)), Real(e.Value(20))}});
    ASSERT_EQ(inserts.size(), 2u);
    EXPECT_EQ(inserts[0].first, "DXF_BLK_4");
    EXPECT_DOUBLE_EQ(inserts[0].second.first, 1.0);
    EXPECT_DOUBLE_EQ(inserts[0].second.second, 9.5);
    EXPECT_EQ(inserts[1].first, "DXF_BLK_7");
    EXPECT_DOUBLE_EQ(inserts[1].second.first, 3.0);
    EXPECT_DOUBLE_EQ(inserts[1].second.second, 8.0);

    // Free texts and the frame are entities; hidden texts appear nowhere.
    const std::vector<std::string> texts = Texts(entities);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "Note"), texts.end());
    EXPECT_NE(std::find(texts.begin(), texts.end(), "framed words"), texts.end());
    EXPECT_EQ(std::find(texts.begin(), texts.end(), "R1"), texts.end());  // only in its block
    std::string bytes;
    ASSERT_TRUE(ReadFile(path, bytes));
    for (const char* hidden : {"HIDDENATTR", "HIDDENTOO", "SECRET"})
        EXPECT_EQ(bytes.find(hidden), std::string::npos) << hidden;

    // The wire and the two elements are lines and polylines of the drawing.
    size_t strokes = 0;
    for (const Entity& e : entities) strokes += e.type == "LINE" || e.type == "POLYLINE" || e.type == "LWPOLYLINE";
    EXPECT_GE(strokes, 4u);
}

// The sheet editor draws sheet symbols; here a frame at the symbol's position stands for it.
struct SheetSymbolDrawn {
    Point position;
    bool markers;
};
std::vector<SheetSymbolDrawn>& SheetSymbolsDrawn() {
    static std::vector<SheetSymbolDrawn> drawn;
    return drawn;
}

TEST_F(DXFExportTest, ASheetSymbolIsDrawnAtTheOriginAndKeepsItsPosition) {
    SymbolDrawHooks hooks;
    hooks.drawSheetSymbol = [](VXWindowRecordTag*, SymbolRecord* symbol, bool markers) {
        SheetSymbolsDrawn().push_back({symbol->position, markers});
        const Rect box = {symbol->position.v, symbol->position.h, int16_t(symbol->position.v + 20),
                          int16_t(symbol->position.h + 30)};
        VXRectDispatch(&box, 0);
    };
    SetSymbolDrawHooks(hooks);
    SheetSymbolsDrawn().clear();
    SymbolRecord* child = Place(-1, 9, P(250, 300), kSymbolFlagSheet);
    const std::string path = dir_.file("sheetsymbol.dxf");
    const FileSpec spec = Spec(path);
    const OSStatus result = WriteDXFSheet(drawing, &spec);
    SetSymbolDrawHooks({});
    ASSERT_EQ(result, 0);
    ASSERT_EQ(SheetSymbolsDrawn().size(), 1u);
    EXPECT_EQ(SheetSymbolsDrawn()[0].position.h, 0);
    EXPECT_EQ(SheetSymbolsDrawn()[0].position.v, 0);
    EXPECT_FALSE(SheetSymbolsDrawn()[0].markers);
    EXPECT_EQ(child->position.h, 250);
    EXPECT_EQ(child->position.v, 300);

    const Pairs pairs = ReadPairs(path);
    std::vector<std::pair<double, double>> vertices;
    bool inBlock = false;
    for (const Entity& e : Section(pairs, "BLOCKS")) {
        if (e.type == "BLOCK") inBlock = e.Value(2) == "DXF_BLK_9";
        if (inBlock && e.type == "VERTEX") vertices.push_back({Real(e.Value(10)), Real(e.Value(20))});
    }
    ASSERT_EQ(vertices.size(), 4u);
    // The frame's strokes lie inside the 30 x 20 box: from 0 to 29 and 0 to 19 units.
    for (const auto& [x, y] : vertices) {
        EXPECT_TRUE(x == 0.0 || std::abs(x - 0.29) < 1e-9) << x;
        EXPECT_TRUE(y == 0.0 || std::abs(y + 0.19) < 1e-9) << y;
    }
    for (const Entity& e : Section(pairs, "ENTITIES")) {
        if (e.type != "INSERT") continue;
        EXPECT_EQ(e.Value(2), "DXF_BLK_9");
        EXPECT_DOUBLE_EQ(Real(e.Value(10)), 2.5);
        EXPECT_DOUBLE_EQ(Real(e.Value(20)), 7.0);
    }
}

// As the core starts, a sheet symbol is drawn by the model whatever started the export: its box
// and, in the block, each port's outline and pin tail.
TEST_F(DXFExportTest, AsTheCoreStartsItASheetSymbolDrawsItsBoxAndPorts) {
    InstallCoreHooks();
    SymbolRecord* child = Place(-1, 9, P(250, 300), kSymbolFlagSheet);
    child->sheetSymbolData = CreateSheetSymbolPorts();
    ASSERT_GE(AppendSubSheetPort(child->sheetSymbolData, drawing->stringBlock, "IN", 0, 1), 0);
    ASSERT_GE(AppendSubSheetPort(child->sheetSymbolData, drawing->stringBlock, "OUT", kSheetPortRight, 2), 0);
    SetSheetSymbolSize(nullptr, child, 60, 40, nullptr);
    const std::string path = dir_.file("core.dxf");
    const FileSpec spec = Spec(path);
    ASSERT_EQ(WriteDXFSheet(drawing, &spec), 0);
    size_t vertices = 0, lines = 0;
    bool inBlock = false;
    for (const Entity& e : Section(ReadPairs(path), "BLOCKS")) {
        if (e.type == "BLOCK") inBlock = e.Value(2) == "DXF_BLK_9";
        if (!inBlock) continue;
        vertices += e.type == "VERTEX";
        lines += e.type == "LINE";
    }
    EXPECT_GT(vertices, 4u) << "the box and the ports' outlines";
    EXPECT_GE(lines, 2u) << "a pin tail for each port";
    EXPECT_TRUE(Reported().empty());
}

TEST_F(DXFExportTest, ASheetWithoutSymbolsWritesNoBlocksAndNoReferences) {
    Text(kTextKindFree, 0, P(50, 50), "Alone");
    const std::string path = dir_.file("empty.dxf");
    const FileSpec spec = Spec(path);
    ASSERT_EQ(WriteDXFSheet(drawing, &spec), 0);
    const Pairs pairs = ReadPairs(path);
    for (const Entity& e : Section(pairs, "BLOCKS")) {
        if (e.type == "BLOCK") {
            EXPECT_EQ(e.Value(2).rfind("DXF_BLK_", 0), std::string::npos) << e.Value(2);
        }
    }
    for (const Entity& e : Section(pairs, "ENTITIES")) EXPECT_NE(e.type, "INSERT");
    EXPECT_EQ(Texts(Section(pairs, "ENTITIES")), (std::vector<std::string>{"Alone"}));
}

TEST_F(DXFExportTest, AFileThatCannotBeMadeEndsTheOutputWithoutASecondError) {
    BuildFixture();
    // A folder that is gone by the time the file is made.
    std::filesystem::create_directories(dir_.file("missing"));
    const FileSpec spec = Spec(dir_.file("missing/folder.dxf"));
    std::filesystem::remove(dir_.file("missing"));
    const OSStatus result = WriteDXFSheet(drawing, &spec);
    EXPECT_NE(result, 0);
    // The default procedure found no file to write or close, so it reported nothing; the
    // message is down and nothing was made.
    EXPECT_TRUE(Reported().empty());
    EXPECT_EQ(VXGetStaticMessageWindow(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("missing")));
    EXPECT_EQ(DXFGetCurrent(), nullptr);

    // The same sheet exports again afterwards.
    const FileSpec good = Spec(dir_.file("again.dxf"));
    EXPECT_EQ(WriteDXFSheet(drawing, &good), 0);
}

TEST_F(DXFExportTest, AnExistingFileIsReplacedWhole) {
    const std::string path = dir_.file("old.dxf");
    ASSERT_TRUE(WriteFile(path, std::string(100000, 'x')));
    const FileSpec spec = Spec(path);
    ASSERT_EQ(WriteDXFSheet(drawing, &spec), 0);
    std::string bytes;
    ASSERT_TRUE(ReadFile(path, bytes));
    EXPECT_EQ(bytes.find('x' + std::string(10, 'x')), std::string::npos);
    EXPECT_EQ(bytes.substr(bytes.size() - 8), "0\r\nEOF\r\n");
}

TEST(DXFExportName, ListedExtensionsAreReplacedInAnyCase) {
    const std::pair<const char*, const char*> cases[] = {
        {"AMP.SHX", "AMP.DXF"},         {"amp.shx", "amp.DXF"},   {"Board.Pict", "Board.DXF"},
        {"old.ASC", "old.DXF"},         {"x.scm", "x.DXF"},       {"again.dxf", "again.DXF"},
        {"notes.txt", "notes.txt.DXF"}, {"AMP", "AMP.DXF"},       {"two.SHX.SHX", "two.SHX.DXF"},
        {".SHX", ".SHX.DXF"},           {"", ".DXF"},             {"Untitled 3", "Untitled 3.DXF"},
    };
    for (const auto& [name, expected] : cases) {
        char out[kFileSpecNameCapacity];
        MakeDXFExportName(name, out, int32_t(sizeof out));
        EXPECT_STREQ(out, expected) << name;
    }
    // A long name is cut at a whole character so that the extension fits.
    std::string longName;
    while (longName.size() < 200) longName += "\xC3\xA9";  // e acute
    char out[kFileSpecNameCapacity];
    MakeDXFExportName(longName.c_str(), out, int32_t(sizeof out));
    const std::string made = out;
    ASSERT_GE(made.size(), 4u);
    EXPECT_EQ(made.substr(made.size() - 4), ".DXF");
    EXPECT_LT(made.size(), sizeof out);
    EXPECT_EQ((made.size() - 4) % 2, 0u);
    char tiny[4];
    MakeDXFExportName("AMP", tiny, int32_t(sizeof tiny));
    EXPECT_STREQ(tiny, "");
}

TEST_F(DXFExportTest, TheProposalFollowsTheSheetFileOrTheWindowTitle) {
    // A saved sheet: its folder, its name with the extension replaced.
    FileSpec saved = Spec(dir_.file("AMP.SHX"));
    drawing->fileSpec = saved;
    FileSpec proposal;
    GetDXFExportProposal(drawing, &proposal);
    EXPECT_STREQ(proposal.name, "AMP.DXF");
    EXPECT_EQ(std::string(proposal.directory.bytes, proposal.directory.length), dir_.path());

    // An untitled sheet: the window title in the Documents folder.
    ClearFileSpec(&drawing->fileSpec);
    EnvScope home("HOME", dir_.path());
    std::filesystem::create_directories(dir_.file("Documents"));
    VXWindowRecordTag* previous = vx.currentWindow;
    const Rect content = {100, 100, 300, 400};
    drawing->window = VXCreateWindow(kVXWindowDocument, 0, 0, kSheetWindowKind, 0, 0, &content, "Untitled 2", 0,
                                     nullptr, nullptr);
    VXSetWindow(previous);
    ASSERT_NE(drawing->window, nullptr);
    GetDXFExportProposal(drawing, &proposal);
    EXPECT_STREQ(proposal.name, "Untitled 2.DXF");
    EXPECT_EQ(std::string(proposal.directory.bytes, proposal.directory.length), dir_.file("Documents"));

    // No Documents folder: the program's folder.
    std::filesystem::remove(dir_.file("Documents"));
    GetDXFExportProposal(drawing, &proposal);
    std::string program = GetProgramPath();
    program.resize(program.rfind('/'));
    EXPECT_EQ(std::string(proposal.directory.bytes, proposal.directory.length), program);
    VXDestroyWindow(drawing->window);
    drawing->window = nullptr;
}

TEST_F(DXFExportTest, TheCommandWritesTheChosenFileAndCancelWritesNothing) {
    BuildFixture();
    drawing->fileSpec = Spec(dir_.file("AMP.SHX"));
    TestQueueFilePanelAnswer(true, {dir_.file("chosen.DXF")});
    ExportDXFFile(drawing);
    const PlatformFilePanelRequest* request = TestLastFilePanelRequest();
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(request->defaultName, "AMP.DXF");
    EXPECT_EQ(request->folder, dir_.path());
    EXPECT_EQ(request->title, "Export DXF File:");
    EXPECT_TRUE(std::filesystem::exists(dir_.file("chosen.DXF")));
    EXPECT_EQ(VXGetStaticMessageWindow(), nullptr);

    TestQueueFilePanelAnswer(false, {});
    ExportDXFFile(drawing);
    EXPECT_FALSE(std::filesystem::exists(dir_.file("AMP.DXF")));
}

// A DXF reader's audit of the fixture's file (python3-ezdxf), when one is installed.
TEST_F(DXFExportTest, AReaderAuditsTheFileWithoutErrors) {
    // The system's Python first: the Debian package installs the reader for it.
    std::string python;
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        if (std::system((std::string(candidate) + " -c 'import ezdxf' >/dev/null 2>&1").c_str()) == 0) {
            python = candidate;
            break;
        }
    }
    if (python.empty()) GTEST_SKIP() << "python3-ezdxf is not installed: the DXF reader's audit is skipped";
    BuildFixture();
    const std::string path = dir_.file("audit.dxf");
    const FileSpec spec = Spec(path);
    ASSERT_EQ(WriteDXFSheet(drawing, &spec), 0);
    const std::string script = dir_.file("audit.py");
    ASSERT_TRUE(WriteFile(script,
                          "import sys\n"
                          "from ezdxf import recover\n"
                          "doc, auditor = recover.readfile(sys.argv[1])\n"
                          "auditor = doc.audit()\n"
                          "for e in auditor.errors: print('error:', e)\n"
                          "inserts = [e for e in doc.modelspace() if e.dxftype() == 'INSERT' and\n"
                          "           e.dxf.name.startswith('DXF_BLK_')]\n"
                          "print('inserts', len(inserts))\n"
                          "sys.exit(1 if auditor.has_errors else 0)\n"));
    const std::string out = dir_.file("audit.txt");
    const int status = std::system((python + " '" + script + "' '" + path + "' > '" + out + "' 2>&1").c_str());
    std::string report;
    ReadFile(out, report);
    EXPECT_EQ(status, 0) << report;
    EXPECT_NE(report.find("inserts 2"), std::string::npos) << report;
}

}  // namespace
}  // namespace plexa::test
