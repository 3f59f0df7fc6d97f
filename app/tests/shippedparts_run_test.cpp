// The shipped libraries through the running program: the power symbols and module ports of the
// default shortcut groups place out of the box, and a child sheet's port reaches its parent's
// sheet symbol; a shortcut whose library is missing says so and places nothing; the basic parts
// show their designator and value on the sheet, in print and in a DXF drawing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "files/tests/sheetcontents_testing.h"
#include "library/tests/library_testing.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/sheetdump.h"
#include "model/symboldata.h"
#include "model/symboltexts.h"
#include "model/tests/libitem_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

namespace fs = std::filesystem;

class ShippedPartsRun : public SheetContentsTest {
protected:
    // The canonical dump of a sheet file the run saved.
    std::string SavedSheet(const std::string& path) {
        SheetRecord* sheet = Load(path);
        EXPECT_NE(sheet, nullptr) << path;
        return sheet ? DumpSheet(sheet) : std::string();
    }
};

// Points of a new sheet's window (its top tool bar expanded, as a new sheet's comes): the library
// pane's item list, and the tools of the left bar (without the sub-sheet symbol tool).
const std::string kItemList = "470 29";
const std::string kSelectTool = "18 126", kPartTool = "18 188", kPowerTool = "18 281", kPortTool = "18 312";
// The library pane's list of library files: "Own Parts", after "Basic Parts".
const std::string kOwnParts = "300 45";

// The library pane's item that the typed start of its name finds, placed at the point.
std::string PlacePart(const std::string& typed, const std::string& at) {
    return "click " + kItemList + "\ntype " + typed + "\nclick " + kPartTool + "\nclick " + at + "\n";
}

// The shortcut tool's menu answered with its item.
std::string ChooseShortcut(const std::string& tool, int item) {
    return "popup " + std::to_string(item) + "\nclick " + tool + "\n";
}

// The build's resources folder, beside the program's folder.
std::string BuildResources() {
    const std::string program = PLEXA_PROGRAM;
    return program.substr(0, program.rfind('/', program.rfind('/') - 1)) + "/resources";
}

// On a new sheet, a resistor; from the Power Symbol Shortcuts the ground (its first item), wired
// from the resistor's left pin; from the Module Port Shortcuts a Signal Input Port (their second
// item), wired from its right pin, the new net named OUT, which the port shows. Saved as the child
// sheet, it is read by a sheet symbol on a second sheet, which takes the port OUT.
TEST_F(ShippedPartsRun, APowerSymbolAndAPortFromTheShortcutsGiveTheParentsSheetSymbolItsPort) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string child = run.dir().file("CHILD.SHX"), parent = run.dir().file("PARENT.SHX");
    const std::string shot = OutputPath("shipped-parts-child-sheet.png");
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n" +
        PlacePart("Res", "300 300") + ChooseShortcut(kPowerTool, 0) +
        "click 276 302\n"
        "move 276 330\n"
        "click 276 350\n" +
        ChooseShortcut(kPortTool, 1) +
        "click 324 302\n"
        "move 360 302\n"
        "click 380 302\n"
        "wait-window Signal Info\n"
        "key Ctrl+A\n"
        "type OUT\n"
        "key Return\n"
        "wait-no-window Signal Info\n"
        "click " + kSelectTool + "\n"
        "wait-drawn Untitled 1\n"
        "screenshot " + shot + " Untitled 1\n"
        "panel " + child + "\n"
        "menu File > Save\n"
        "wait-window CHILD\n"
        // The second sheet, with the sub-sheet symbol tool that hierarchical design brings.
        "menu Plexa > Preferences\xE2\x80\xA6\n"
        "wait-window Preferences\n"
        "wait-drawn Preferences\n"
        "click 30 100\n"
        "button OK\n"
        "wait-no-window Preferences\n"
        "menu File > New > Schematic Sheet\n"
        "wait-window Untitled 2\n"
        "wait-drawn Untitled 2\n"
        "click 18 219\n"
        "drag 300 200 420 280\n"
        "wait-window Symbol Information\n"
        "wait-drawn Symbol Information\n"
        "type X1\n"
        "panel " + child + "\n"
        "button Select...\n"
        "click 161 17\n"  // the Port Pins tab
        "button Read Sub-Sheet Ports\n"
        "wait-drawn Symbol Information\n"
        "button OK\n"
        "wait-no-window Symbol Information\n"
        "panel " + parent + "\n"
        "menu File > Save\n"
        "wait-window PARENT\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(shot));
    const std::string dump = SavedSheet(child);
    // The ground and the port come from "Wire Symbols": a global net symbol and an input port.
    EXPECT_EQ(LinesHolding(dump, "library \"Wire Symbols.LBX\""),
              "  #2 serial 2 at (240,240) flags 0x00080200 map 1 library \"Wire Symbols.LBX\"\n"
              "  #3 serial 3 at (348,192) flags 0x00080218 map 2 library \"Wire Symbols.LBX\"\n")
        << dump;
    EXPECT_NE(dump.find("  S1 \"OUT\" flags 0x0003 "), std::string::npos) << dump;
    EXPECT_NE(dump.find("  S2 \"GND\" flags 0x0001 "), std::string::npos) << dump;
    // The port shows the name of its net beside it; the ground shows none.
    EXPECT_EQ(LinesHolding(dump, "kind 0x0015"), "  T1 kind 0x0015 owner serial 3 flags 0x0020 at (380,197) \"OUT\"\n")
        << dump;
    // The parent's sheet symbol shows the child's port, and its designator above it.
    const std::string parentDump = SavedSheet(parent);
    EXPECT_EQ(LinesHolding(parentDump, "  T"), "  T1 kind 0x8000 owner serial 1 flags 0x0020 at (283,100) \"OUT\"\n"
                                               "  T2 kind 0x0011 owner serial 1 flags 0x0020 at (264,80) \"X1\"\n")
        << parentDump;
}

// Without "Wire Symbols" among the essentials, the Module Port Shortcuts' item is not found: the
// alert says which library is missing, and the next click on the sheet places nothing, not the
// resistor placed just before.
TEST_F(ShippedPartsRun, AShortcutWhoseLibraryIsMissingPlacesNothing) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string resources = run.dir().file("resources");
    fs::copy(BuildResources(), resources, fs::copy_options::recursive);
    ASSERT_TRUE(fs::remove(resources + "/Essentials/Plexa/Libraries/Wire Symbols.LBX"));
    run.SetEnvironment("PLEXA_RESOURCE_DIR=" + resources);
    const std::string saved = run.dir().file("saved.SHX");
    const std::string alert = OutputPath("shipped-parts-missing-library.png");
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n" +
        PlacePart("Res", "300 300") + ChooseShortcut(kPortTool, 1) +
        "wait-window Plexa\n"
        "wait-drawn Plexa\n"
        "screenshot-screen " + alert + "\n"
        "button OK\n"
        "wait-no-window Plexa\n"
        "click 300 450\n"
        "click 500 450\n"
        "panel " + saved + "\n"
        "menu File > Save\n"
        "wait-window saved\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(alert));
    const std::string dump = SavedSheet(saved);
    EXPECT_EQ(LinesHolding(dump, "  #"),
              "  #1 serial 1 at (264,192) flags 0x00080000 map 0 library \"Basic Parts.LBX\" component C1 package 0 "
              "symbol 0 name 0 attributes 2 designator \"R?\" slot 0\n")
        << dump;
}

// A library file at the path with one part, "Widget" (prefix U): a box with a pin on either side,
// whose drawing has no texts and whose placement shows its name and its designator.
void WriteWidgetLibrary(const std::string& path) {
    LibraryItem* item = CreateLibraryItem(kLibItemComponent);
    EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "Widget", 0));
    SetLibraryItemRefPrefix(item, "U");
    LinkListHeader* elements = CreateElementList(nullptr);
    LLAppend(elements, BuildNodeElement(Point{12, -12}, Point{12, 0}, 1, 0, false, 0, false, 0, false, 0));
    LLAppend(elements, BuildNodeElement(Point{12, 60}, Point{12, 48}, 1, 0, false, 0, false, 0, false, 0));
    LLAppend(elements, BuildCommonElement(kElementRect, Point{0, 0}, Point{24, 48}, 1, 0, 0, false, false, 0, false,
                                          0, false));
    Handle drawing = ElementsToSymbolData(elements, nullptr, nullptr, item->stringBlock, false, nullptr);
    DestroyElementList(elements);
    ASSERT_NE(drawing, nullptr);
    const std::string bytes(*drawing, SizeOfHandle(drawing));
    MemFree(drawing);
    const std::vector<uint16_t> pins{uint16_t(AddPin(item, "IN")), uint16_t(AddPin(item, "OUT"))};
    ASSERT_EQ(AddLibSymbolDef(item, "Widget", Block(bytes), nullptr, item->imageList, Ids(pins)), 0);
    SetLibSymbolPlacementOptions(item, 0, kSymbolTextShowName | kSymbolTextShowDesignator);
    AddSection(item, "", 0, {{"1", "2"}});
    Handle flat = FlattenLibraryItem(item, false, 1, nullptr);
    DestroyLibraryItem(item);
    ASSERT_NE(flat, nullptr);
    MakeLibrary(path);
    OpenLibrary library(path, kLibraryOpenLoadMap);
    uint32_t id = 0;
    EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
    MemFree(flat);
}

// A placed part gets the name and designator texts that its definition asks for: the widget,
// whose drawing has none, both, above its box, the designator over the name; the resistor, whose
// drawing shows its designator, that one where the drawing has it and no other
// (shipped-parts-placed-texts.png).
TEST_F(ShippedPartsRun, APlacedPartHasTheNameAndDesignatorTextsItsDefinitionAsksFor) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string resources = run.dir().file("resources");
    fs::copy(BuildResources(), resources, fs::copy_options::recursive);
    WriteWidgetLibrary(resources + "/Essentials/Plexa/Libraries/Own Parts.LBX");
    run.SetEnvironment("PLEXA_RESOURCE_DIR=" + resources);
    const std::string saved = run.dir().file("placed.SHX");
    const std::string shot = OutputPath("shipped-parts-placed-texts.png");
    std::remove(shot.c_str());
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled 1\n"
        "wait-drawn Untitled 1\n" +
        PlacePart("Res", "300 300") + "click " + kOwnParts + "\n" + PlacePart("Wid", "420 300") +
        "click " + kSelectTool + "\n"
        "wait-drawn Untitled 1\n"
        "screenshot " + shot + " Untitled 1\n"
        "panel " + saved + "\n"
        "menu File > Save\n"
        "wait-window placed\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    EXPECT_TRUE(fs::exists(shot));
    const std::string dump = SavedSheet(saved);
    EXPECT_EQ(LinesHolding(dump, "owner serial"),
              "  T1 kind 0x0011 owner serial 1 flags 0x0020 at (254,184) \"R?\"\n"
              "  T2 kind 0x0016 owner serial 1 flags 0x0030 at (254,210) \"1k\" macro \"{Value}\"\n"
              "  T3 kind 0x0012 owner serial 2 flags 0x0020 at (384,188) \"Widget\"\n"
              "  T4 kind 0x0011 owner serial 2 flags 0x0020 at (384,170) \"U?\"\n")
        << dump;
}

// What a command writes on its standard output ("" when it fails).
std::string CommandOutput(const std::string& command, const std::string& file) {
    if (std::system((command + " > '" + file + "' 2>/dev/null").c_str()) != 0) return "";
    std::string text;
    return ReadFile(file, text) ? text : "";
}

// On the fixture project's root sheet, a resistor and a voltage source from the basic parts are
// annotated with the project: the sheet shows "R5 1k" and "V2 DC 5", the page printed into a PDF
// file and the DXF drawing carry the same texts, and the saved sheet holds them.
TEST_F(ShippedPartsRun, ThePartsShowTheirDesignatorAndValueOnTheSheetInPrintAndInADrawing) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string pdf = folder + "/ROOT.pdf", dxf = folder + "/ROOT.dxf";
    const std::string shot = OutputPath("shipped-parts-annotated.png");
    const std::string zoomed = OutputPath("shipped-parts-annotated-200.png");
    const ScriptedRunResult result = run.Run(
        "wait-window ROOT\n"
        "wait-drawn ROOT\n"
        "click 16 16\n"  // the top tool bar expanded: the library pane
        "wait-drawn ROOT\n" +
        PlacePart("Res", "300 170") + PlacePart("Vol", "200 170") +
        "click " + kSelectTool + "\n"
        "menu Tools > Annotate...\n"
        "wait-window Annotate\n"
        "wait-drawn Annotate\n"
        "button OK\n"
        "wait-no-window Annotate\n"
        "wait-drawn ROOT\n"
        "screenshot " + shot + " ROOT\n"
        "menu View > Zoom In\n"
        "wait-drawn ROOT\n"
        "screenshot " + zoomed + " ROOT\n"
        "print-panel " + pdf + "\n"
        "menu File > Print...\n"
        "panel " + dxf + "\n"
        "menu File > Export > DXF...\n"
        "close ROOT\n"
        "button Save\n"
        "wait-no-window ROOT\n"
        "close amp\n"
        "button Save\n",
        {"amp.PRX", "ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    for (const std::string& picture : {shot, zoomed}) EXPECT_TRUE(fs::exists(picture)) << picture;
    const std::string dump = SavedSheet(folder + "/ROOT.SHX");
    EXPECT_EQ(LinesHolding(dump, "owner serial"),
              "  T2 kind 0x0011 owner serial 7 flags 0x0020 at (254,52) \"R5\"\n"
              "  T3 kind 0x0016 owner serial 7 flags 0x0030 at (254,78) \"1k\" macro \"{Value}\"\n"
              "  T4 kind 0x0011 owner serial 8 flags 0x0020 at (182,58) \"V2\"\n"
              "  T5 kind 0x0016 owner serial 8 flags 0x0030 at (182,70) \"DC 5\" macro \"{Value}\"\n")
        << dump;
    const std::string printed = CommandOutput("pdftotext '" + pdf + "' -", folder + "/pdf.txt");
    std::string drawing;
    ASSERT_TRUE(ReadFile(dxf, drawing)) << result.errors;
    // Each a line of its own (the drawing's lines end in CR LF).
    for (const std::string text : {"R5", "1k", "V2", "DC 5"}) {
        EXPECT_NE(printed.find(text + "\n"), std::string::npos) << text << printed;
        EXPECT_NE(drawing.find("\n" + text + "\r\n"), std::string::npos) << text;
    }
}

#endif

}  // namespace
}  // namespace plexa::test
