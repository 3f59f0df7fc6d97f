// The symbol editor's tools in the running program: a library item opened from its library,
// elements and pins made by dragging with the tools of its tools pane, the tabs switched, and the
// item saved back into the library, whose stored item shows what was done.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "model/attributes.h"
#include "model/libitem.h"
#include "model/libitemdump.h"
#include "model/pindata.h"
#include "model/texts.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SymToolsRun : public LibEditorTest {
protected:
    // Opens the library's first item, plays the steps in its window, saves it with the library,
    // closes it and the library and quits; the dump of the stored first item.
    // With a grid, the item's symbol keeps that grid (the editor takes it).
    // `before` plays first, with the files `more` opened beside the library; it ends with the
    // library's window in front.
    std::string Run(const std::string& steps, int grid = 0, bool wireSymbol = false,
                    const std::vector<std::string>& more = {}, const std::string& before = "") {
        path_ = dir_.file("Parts.LBX");
        std::remove(path_.c_str());
        MakeLibrary(path_);
        {
            Handle flat = BoxItem({"Gate"});
            if (wireSymbol) {
                MemFree(flat);
                // A wire symbol: a pin and a bar.
                LibraryItem* item = CreateLibraryItem(kLibItemWireSymbol);
                EXPECT_TRUE(SetLibraryItemNameInfo(item, kLibAppendName, "Gate", 0));
                LinkListHeader* list = CreateElementList(nullptr);
                LLAppend(list, BuildNodeElement(Point{0, 0}, Point{24, 0}, 1, 0, false, 0, false, 0, false, 0));
                LLAppend(list, BuildCommonElement(kElementLine, Point{24, -12}, Point{24, 12}, 1, 0, 0, false, false, 0,
                                                  false, 0, false));
                Handle drawing = ElementsToSymbolData(list, nullptr, nullptr, 0, false, nullptr);
                DestroyElementList(list);
                Ptr main = AllocPtrWithData(nullptr, *drawing, SizeOfHandle(drawing));
                MemFree(drawing);
                EXPECT_EQ(AddLibSymbolDef(item, "", main, nullptr, nullptr, nullptr), 0);
                AddSection(item, "", 0, {});
                flat = FlattenLibraryItem(item, false, 1, nullptr);
                DestroyLibraryItem(item);
            }
            if (grid) {
                LibraryItem* item = nullptr;
                EXPECT_EQ(InflateLibraryItem(flat, &item, true), 0);
                MemFree(flat);
                SetLibSymbolGrid(item, 0, uint8_t(grid));
                flat = FlattenLibraryItem(item, false, 1, nullptr);
                DestroyLibraryItem(item);
            }
            OpenLibrary library(path_, kLibraryOpenLoadMap);
            uint32_t id = 0;
            EXPECT_EQ(WriteLibraryFileItem(&library.record, flat, true, &id), 0);
            MemFree(flat);
        }
        ScriptedRun run(PLEXA_PROGRAM);
        std::vector<std::string> files{path_};
        files.insert(files.end(), more.begin(), more.end());
        result_ = run.Run(before +
                              "wait-window Parts\n"
                              "wait-drawn Parts\n"
                              "click 52 9 double\n"
                          "wait-window Parts : Gate\n"
                          "wait-drawn Parts : Gate\n" +
                              steps +
                              "key Ctrl+S\n"
                              "close Parts : Gate\n"
                              "wait-no-window Parts : Gate\n"
                              "key Ctrl+S\n"
                              "close Parts\n"
                              "wait-no-window Parts\n"
                              "quit\n",
                          files);
        EXPECT_TRUE(result_.Exited(0)) << result_.status << "\n" << result_.errors;
        LibraryItem* item = Stored();
        if (!item) return "";
        const std::string dump = DumpLibraryItem(item);
        DestroyLibraryItem(item);
        return dump;
    }
    // The item as the run stored it (the caller destroys it), or none.
    LibraryItem* Stored() {
        OpenLibrary library(path_, kLibraryOpenLoadMap);
        const std::string bytes = library.Load(library.Block("Gate"));
        if (bytes.empty()) return nullptr;
        Handle flat = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
        LibraryItem* item = nullptr;
        EXPECT_EQ(InflateLibraryItem(flat, &item, true), 0);
        MemFree(flat);
        return item;
    }
    // The value of an attribute of a pin data record of the item ("" when it has none).
    static std::string PinAttribute(LibraryItem* item, uint32_t id, const char* name) {
        Handle pin = GetIndexedPinData(item->pinTable, int32_t(id));
        char value[kAttributeTextSize] = "";
        const int16_t count = pin ? reinterpret_cast<PinDataRecord*>(*pin)->attributeCount : 0;
        if (GetAttributeValue(item->stringBlock, pin, sizeof(PinDataRecord), count, name, value, nullptr) != 0) return "";
        return value;
    }
    std::string path_;
    ScriptedRunResult result_;
};

// Window content coordinates: the drawing's point (h, v) and the tool buttons.
std::string At(int h, int v) { return std::to_string(178 + h) + " " + std::to_string(74 + v); }
std::string Tool(int button) { return "click 158 " + std::to_string(129 + 31 * button) + "\n"; }
std::string Drag(int h1, int v1, int h2, int v2, const std::string& mods = "") {
    return "drag " + At(h1, v1) + " " + At(h2, v2) + (mods.empty() ? "" : " " + mods) + "\n";
}
constexpr int kSelect = 0, kText = 1, kPin = 2, kRect = 4, kArc = 6, kPoly = 7, kTriangle = 8;

TEST_F(SymToolsRun, TheWindowWithEachTab) {
    std::string steps;
    struct Tab {
        const char* name;
        int x;
    };
    for (const Tab& tab : {Tab{"names", 149}, Tab{"packages", 244}, Tab{"attributes", 339}, Tab{"pins", 434},
                           Tab{"hidden-pins", 529}, Tab{"symbols", 54}}) {
        const std::string picture = OutputPath(std::string("symtools-tab-") + tab.name + ".png");
        std::remove(picture.c_str());
        steps += "click " + std::to_string(tab.x) + " 16\nwait-drawn Parts : Gate\nscreenshot " + picture + " Parts : Gate\n";
    }
    // The box selected by an area shows its handles, the middle ones too (it is 60 by 40).
    const std::string selected = OutputPath("symtools-handles.png");
    std::remove(selected.c_str());
    const std::string dump = Run(Drag(40, 40, 116, 96) + "wait-drawn Parts : Gate\nscreenshot " + selected +
                                 " Parts : Gate\n" + steps);
    EXPECT_NE(dump.find("Gate"), std::string::npos) << dump;
}



// Text > Hide/Show Text... in the symbol editor's window: a new pin's number text, shown, is
// hidden with "Pin numbers" ticked and Hide (a column of new pins, whose numbers show).
TEST_F(SymToolsRun, HideShowTextHidesANewPinsNumber) {
    // "hidden" or "shown" for each pin number text of the stored item.
    auto pinNumbers = [](const std::string& dump) {
        std::string states;
        for (const std::string& line : LinesStartingWith(dump, "T")) {
            if (line.find(" kind 0x40") == std::string::npos) continue;  // pin numbers, by pin
            const size_t flags = line.find(" flags 0x");
            const unsigned long value = flags == std::string::npos ? 0 : std::stoul(line.substr(flags + 9), nullptr, 16);
            states += value & kTextFlagHidden ? "hidden\n" : "shown\n";
        }
        return states;
    };
    const std::string pin = Tool(kPin) + Drag(288, 288, 336, 336, "Alt") + Tool(kSelect);
    const std::string made = Run(pin);
    ASSERT_NE(pinNumbers(made), "") << made;
    EXPECT_EQ(pinNumbers(made).find("hidden"), std::string::npos) << made;
    const std::string picture = OutputPath("symtools-hide-show-text.png");
    std::remove(picture.c_str());
    const std::string hidden = Run(pin + "menu Text > Hide/Show Text...\nwait-window Hide/Show Text\n"
                                         "wait-drawn Hide/Show Text\nclick 40 74\nscreenshot " + picture +
                                   " Hide/Show Text\nbutton Hide\nwait-no-window Hide/Show Text\n");
    EXPECT_EQ(pinNumbers(hidden).find("shown"), std::string::npos) << hidden;
    EXPECT_EQ(pinNumbers(hidden).size(), pinNumbers(made).size() + pinNumbers(made).size() / 6) << hidden;
}

TEST_F(SymToolsRun, AWireSymbolsWindowHasTheTwoTabsAndTheNarrowToolBar) {
    const std::string picture = OutputPath("symtools-wire-symbol-window.png");
    std::remove(picture.c_str());
    const std::string dump = Run("screenshot " + picture + " Parts : Gate\n", 0, true);
    EXPECT_EQ(LinesStartingWith(dump, "item").at(0).rfind("item kind 1", 0), 0u) << dump;
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
}

TEST_F(SymToolsRun, DragsMakeElementsTrianglesAndARowOfPins) {
    const std::string picture = OutputPath("symtools-drawn.png");
    std::remove(picture.c_str());
    // A drag that ends where it began makes nothing; the triangle's corners follow the drag's
    // direction: down, right, down-right, up-right, and mostly right (taken as right).
    const std::string dump = Run(Tool(kRect) + Drag(120, 120, 120, 120) + Drag(120, 120, 168, 144) + Tool(kTriangle) +
                                 Drag(240, 120, 240, 144) + Drag(300, 120, 324, 120) + Drag(360, 120, 384, 144) +
                                 Drag(120, 240, 144, 216) + Drag(240, 240, 312, 252) + Tool(kPin) +
                                 Drag(288, 288, 336, 336, "Alt") + Tool(kSelect) +
                                 // The new rectangle (48 by 24) selected: middle handles only on
                                 // its 48-unit sides.
                                 Drag(112, 112, 176, 152) + "wait-drawn Parts : Gate\nscreenshot " + picture +
                                 " Parts : Gate\n");
    // Points are (h, v) from the first pin at (288, 288), in the stored order.
    const std::vector<std::string> rects = LinesStartingWith(dump, "E");
    std::string shapes;
    for (const std::string& line : rects) {
        const size_t kind = line.find(' ') + 1;
        if (line.compare(kind, 4, "rect") == 0 || line.compare(kind, 4, "poly") == 0)
            shapes += line.substr(kind, line.find(" pen") - kind) + "\n";
    }
    EXPECT_EQ(shapes,
              "rect (-240,-240)-(-180,-200)\n"  // the box the item had
              "rect (-168,-168)-(-120,-144)\n"
              "poly (12,-168) (36,-192) (36,-144) (12,-168)\n"      // right
              "poly (-48,-168) (-72,-144) (-24,-144) (-48,-168)\n"  // down
              "poly (72,-168) (72,-120) (120,-168) (72,-168)\n"     // down-right
              "poly (-48,-48) (24,-120) (24,24) (-48,-48)\n"        // mostly right
              "poly (-168,-48) (-120,-48) (-168,-96) (-168,-48)\n")  // up-right
        << dump;
    // A column of five pins, one a grid step, with the numbers that were free.
    EXPECT_EQ(LinesStartingWith(dump, "E1 node").at(0), "E1 node (0,0)-(48,0) pen 1 flags 0x200 frame 0x00000000") << dump;
    EXPECT_EQ(LinesStartingWith(dump, "section").at(0), "section \"\" symbol 0 pins 5 set0 \"1\",\"2\",\"3\",\"4\",\"5\"") << dump;
}

// What a tool makes is the one undoable action: Undo gives back the item as it was before (the
// same stored dump), Redo the item as it was made.
TEST_F(SymToolsRun, EachCreationIsUndoneAndRedone) {
    // An item saved untouched keeps the grid and resolution it was written with, an edited one
    // takes the editor's: the symbol's line is left out of the comparison with it.
    auto drawing = [](const std::string& dump) {
        std::string kept;
        for (size_t at = 0, end; at < dump.size(); at = end + 1) {
            end = dump.find('\n', at);
            if (end == std::string::npos) end = dump.size();
            if (dump.compare(at, 7, "symbol ") != 0) kept += dump.substr(at, end - at) + "\n";
        }
        return kept;
    };
    const std::string before = drawing(Run(""));
    ASSERT_NE(before.find("Gate"), std::string::npos) << before;
    const struct Case {
        const char* name;
        std::string steps;
    } cases[] = {
        {"rectangle", Tool(kRect) + Drag(120, 120, 168, 144)},
        {"pin-column", Tool(kPin) + Drag(288, 288, 336, 336, "Alt")},
        {"polygon", Tool(kPoly) + "click " + At(240, 240) + "\nclick " + At(312, 240) + "\nclick " + At(276, 300) +
                        "\nclick " + At(276, 300) + "\n"},
        {"text", Tool(kText) + "click " + At(120, 300) + "\ntype hello\n" + Tool(kSelect)},
    };
    const std::string undo = "menu Edit > Undo Creation\n", redo = "menu Edit > Redo Creation\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string made = Run(c.steps);
        EXPECT_NE(drawing(made), before);
        EXPECT_EQ(drawing(Run(c.steps + undo)), before);
        EXPECT_EQ(Run(c.steps + undo + redo), made);
    }
}

TEST_F(SymToolsRun, TabsKeepThePinsAndTheLastSectionCannotGo) {
    const std::string dump = Run(Tool(kPin) + Drag(288, 288, 336, 312, "Alt") +
                                 // The list tabs and back: the pins were written into the item.
                                 "click 434 16\nwait-drawn Parts : Gate\nclick 149 16\nclick 54 16\n"
                                 "wait-drawn Parts : Gate\n"
                                 // The only section of the symbol is not deleted.
                                 "click 60 182\nkey Delete\n"
                                 // A second one made at once with Option, then deleted without asking,
                                 // and again, deleted by Edit > Clear.
                                 "click 70 126 Alt\nclick 60 198\nkey Shift+Delete\n"
                                 "click 70 126 Alt\nclick 60 198\nmenu Edit > Clear\n"
                                 // Another one that stays.
                                 "click 70 126 Alt\n");
    const std::vector<std::string> sections = LinesStartingWith(dump, "section");
    ASSERT_EQ(sections.size(), 2u) << dump;
    EXPECT_EQ(sections[0], "section \"\" symbol 0 pins 5 set0 \"1\",\"2\",\"3\",\"4\",\"5\"") << dump;
    EXPECT_EQ(sections[1].rfind("section \"A\" symbol 0 pins 5 set0", 0), 0u) << dump;
    EXPECT_EQ(LinesStartingWith(dump, "E").size(), 6u) << dump;
}

TEST_F(SymToolsRun, APastedPinWhoseNumberIsTakenGetsTheNextFreeOne) {
    // The first pin selected by an area around it, copied and pasted.
    const std::string dump = Run(Tool(kPin) + Drag(288, 288, 336, 336, "Alt") + Tool(kSelect) +
                                 Drag(280, 282, 344, 294) + "key Ctrl+C\nkey Ctrl+V\n");
    // It lands one paste step (36 at grid 12) down and right, with the next free number.
    EXPECT_EQ(LinesStartingWith(dump, "E5").at(0), "E5 node (36,36)-(84,36) pen 1 flags 0x200 frame 0x00000000") << dump;
    EXPECT_EQ(LinesStartingWith(dump, "section").at(0), "section \"\" symbol 0 pins 6 set0 \"1\",\"2\",\"3\",\"4\",\"6\",\"5\"") << dump;
}

TEST_F(SymToolsRun, APasteMovesByTheSmallestMultipleOfTheGridOf36OrMore) {
    // The box selected by an area around it, copied and pasted twice: each paste a step further
    // down and right. In items whose symbols keep the grids 8, 12 and 16.
    struct Case {
        int grid;
        const char* pasted;
    };
    for (const Case& c : {Case{8, "rect (40,40)-(100,80)\nrect (80,80)-(140,120)\n"},
                          Case{12, "rect (36,36)-(96,76)\nrect (72,72)-(132,112)\n"},
                          Case{16, "rect (48,48)-(108,88)\nrect (96,96)-(156,136)\n"}}) {
        const std::string dump = Run(Drag(40, 40, 116, 96) + "key Ctrl+C\nkey Ctrl+V\nkey Ctrl+V\n", c.grid);
        std::string rects;
        for (const std::string& line : LinesStartingWith(dump, "E"))
            if (line.find(" rect ") != std::string::npos) rects += line.substr(line.find("rect"), line.find(" pen") - line.find("rect")) + "\n";
        EXPECT_EQ(rects, "rect (0,0)-(60,40)\n" + std::string(c.pasted)) << c.grid << "\n" << dump;
    }
}

// A sheet's parts, copied in the sheet window and pasted into the symbol editor, arrive as its
// drawing: each part's drawing with its pins (numbered and named as the part's component gives
// them), and the wires as lines.
TEST_F(SymToolsRun, ASheetsPartsPastedIntoTheSymbolEditorBecomeItsDrawingAndPins) {
    const std::string sheet = dir_.file("RC.SHX");
    std::string bytes;
    ASSERT_TRUE(ReadFile(SourcePath("tools/tests/fixtures/amp/RC.SHX"), bytes));
    ASSERT_TRUE(WriteFile(sheet, bytes));
    const std::string picture = OutputPath("symtools-pasted-sheet.png");
    std::remove(picture.c_str());
    const std::string dump = Run("menu Edit > Paste\nwait-drawn Parts : Gate\nscreenshot " + picture + " Parts : Gate\n",
                                 0, false, {sheet},
                                 "wait-window RC*\nwait-drawn RC*\nmenu Edit > Select All\nmenu Edit > Copy\n"
                                 "close RC*\nwait-no-window RC*\n");
    ASSERT_TRUE(result_.Exited(0)) << result_.errors;
    // The resistor's and the capacitor's two pins, named as their components name them, each
    // with a number of its own; their boxes beside the item's own box.
    EXPECT_EQ(LinesStartingWith(dump, "pin ").size(), 4u) << dump;
    EXPECT_EQ(LinesStartingWith(dump, "pin 2 \"A\"").size(), 1u) << dump;
    EXPECT_EQ(LinesStartingWith(dump, "pin 3 \"B\"").size(), 1u) << dump;
    EXPECT_EQ(LinesStartingWith(dump, "E").size(), 7u) << dump;
    const std::vector<std::string> section = LinesStartingWith(dump, "section ");
    ASSERT_EQ(section.size(), 1u) << dump;
    for (const char* number : {"\"1\"", "\"2\"", "\"3\"", "\"4\""})
        EXPECT_NE(section[0].find(number), std::string::npos) << section[0];
}

// The Pins tab's column titles: a click on "Pin Number" sorts the rows by their numbers, so the
// row edited next is the pin with the lowest number.
TEST_F(SymToolsRun, AClickOnAPinsColumnTitleSortsTheRowsByIt) {
    const std::string picture = OutputPath("symtools-pins-sorted.png");
    std::remove(picture.c_str());
    const std::string dump = Run(Tool(kPin) + Drag(288, 288, 336, 312, "Alt") +
                                 // The first row is pin 1: numbered 9, it goes last once sorted.
                                 "click 434 16\nwait-drawn Parts : Gate\ntype 9\n"
                                 "click 220 81\nwait-drawn Parts : Gate\ntype 8\n"
                                 "screenshot " + picture + " Parts : Gate\n"
                                 "click 54 16\nwait-drawn Parts : Gate\n");
    EXPECT_EQ(LinesStartingWith(dump, "section").at(0), "section \"\" symbol 0 pins 5 set0 \"9\",\"8\",\"3\",\"4\",\"5\"") << dump;
}

// A pin set chosen in the Pins tab's selector, and created when asked, shows its list
// (symtools-pinset2.png).
TEST_F(SymToolsRun, APinSetChosenInThePinsTabIsMadeAndListed) {
    const std::string dump = Run(Tool(kPin) + Drag(288, 288, 336, 312, "Alt") +
                                 "click 434 16\nwait-drawn Parts : Gate\n"
                                 "popup 1\nclick 43 52\nbutton Create\nwait-drawn Parts : Gate\nscreenshot " + OutputPath("symtools-pinset2.png") + " Parts : Gate\n"
                                 "click 54 16\nwait-drawn Parts : Gate\n");
    // The list is rebuilt for the new set (it used to call the pin set's selection again without
    // end, and the program ran out of stack).
    ASSERT_TRUE(result_.Exited(0)) << result_.status;
    EXPECT_EQ(LinesStartingWith(dump, "section").at(0), "section \"\" symbol 0 pins 5 set0 \"1\",\"2\",\"3\",\"4\",\"5\"") << dump;
}

// The pin dialog of a pin just drawn: Tab out of the pin name goes into the attribute list, Tab
// out of its last field back to the pin number (symtools-pin-attributes.png).
TEST_F(SymToolsRun, TabLeadsFromThePinNameThroughItsAttributesToItsNumber) {
    const std::string picture = OutputPath("symtools-pin-attributes.png");
    std::remove(picture.c_str());
    const std::string dump =
        Run(Tool(kPin) + Drag(288, 288, 336, 288) +
            "wait-window Pin Information\nwait-drawn Pin Information\n"
            "click 200 56\ntype CLK\n"                     // the pin name
            "key Tab\ntype Speed\nkey Tab\ntype fast\n"  // row 0 of the attributes
            "key Tab\nkey Tab\nkey Tab\n"                  // past the empty row, out of the list
            "type 9\n"
            "screenshot " + picture + " Pin Information\n"
            "button OK\nwait-no-window Pin Information\n");
    EXPECT_EQ(LinesStartingWith(dump, "pin 0").at(0), "pin 0 \"CLK\" type 0x00") << dump;
    EXPECT_EQ(LinesStartingWith(dump, "section").at(0), "section \"\" symbol 0 pins 1 set0 \"9\"") << dump;
    // The attribute typed into the list.
    LibraryItem* item = Stored();
    ASSERT_NE(item, nullptr);
    const uint32_t id = GetLibSymbolPinDataId(item, 0, 0, 0);
    Handle pin = GetIndexedPinData(item->pinTable, int32_t(id));
    EXPECT_EQ(pin ? reinterpret_cast<PinDataRecord*>(*pin)->attributeCount : 0, 1);
    EXPECT_EQ(PinAttribute(item, id, "Speed"), "fast");
    DestroyLibraryItem(item);
}

// A double click on the connecting end of a selected pin opens its pin dialog, as one on the pin
// does; the pin keeps its ends (symtools-pin-end-dialog.png).
TEST_F(SymToolsRun, ADoubleClickOnAPinsConnectingEndOpensItsDialog) {
    const std::string picture = OutputPath("symtools-pin-end-dialog.png");
    std::remove(picture.c_str());
    const std::string dump = Run(Tool(kPin) + Drag(288, 288, 336, 288) +
                                 "wait-window Pin Information\nbutton OK\nwait-no-window Pin Information\n" + Tool(kSelect) +
                                 // The pin lies at 282 (the grid takes the drag's points 6 up).
                                 "click " + At(312, 282) + "\n"             // the pin selected: its end handles
                                 "click " + At(288, 282) + " double\n"      // the connecting end's
                                 "wait-window Pin Information\nwait-drawn Pin Information\n"
                                 "screenshot " + picture + " Pin Information\n"
                                 "click 200 56\ntype CLK\n"  // the pin name
                                 "button OK\nwait-no-window Pin Information\n");
    EXPECT_EQ(LinesStartingWith(dump, "pin 0").at(0), "pin 0 \"CLK\" type 0x00") << dump;
    EXPECT_EQ(LinesStartingWith(dump, "E1 node").at(0), "E1 node (0,0)-(48,0) pen 1 flags 0x200 frame 0x00000000") << dump;
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
}

// While an arc's end handle is dragged, its angle shows beside the handle
// (symtools-arc-angle.png, taken during the drag); released, the arc keeps the new end.
TEST_F(SymToolsRun, AnArcsEndAngleShowsWhileItsHandleIsDragged) {
    const std::string picture = OutputPath("symtools-arc-angle.png");
    std::remove(picture.c_str());
    // A quarter arc from the top (120, 114) to the right (168, 162) of the ellipse around (120,
    // 162) (the grid takes the drag's points 6 up); picked with the right button it shows its
    // angle handles. Its end is dragged to the bottom, 180 degrees.
    const std::string dump = Run(Tool(kArc) + Drag(120, 120, 168, 168) +
                                 "click " + At(154, 128) + " right\n" +
                                 "drag " + At(168, 162) + " " + At(120, 210) + " hold\n"
                                 "wait-drawn Parts : Gate\n"
                                 "screenshot " + picture + " Parts : Gate\n"
                                 "release " + At(120, 210) + "\n");
    std::vector<std::string> arcs;
    for (const std::string& line : LinesStartingWith(dump, "E"))
        if (line.find(" arc ") != std::string::npos) arcs.push_back(line);
    ASSERT_EQ(arcs.size(), 1u) << dump;
    EXPECT_NE(arcs[0].find(" words 0,180"), std::string::npos) << arcs[0];
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
}

// A double click on a symbol definition's row of the parts tree opens the part symbol dialog of
// that definition (symtools-part-symbol-dialog.png); its OK names the definition.
TEST_F(SymToolsRun, ADoubleClickOnADefinitionsRowOpensItsPartSymbolDialog) {
    const std::string picture = OutputPath("symtools-part-symbol-dialog.png");
    std::remove(picture.c_str());
    const std::string dump = Run("click 60 166 double\n"
                                 "wait-window Part Symbol\nwait-drawn Part Symbol\n"
                                 "click 220 26\ntype Main\n"
                                 "screenshot " + picture + " Part Symbol\n"
                                 "button OK\nwait-no-window Part Symbol\n");
    EXPECT_EQ(LinesStartingWith(dump, "symbol 0").at(0).rfind("symbol 0 \"Main\"", 0), 0u) << dump;
    std::string bytes;
    EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000);
}

// The Hidden Pins tab's "Pin Attributes..." button: on while a cell of a hidden pin is edited and
// while exactly one row is chosen, off with two rows chosen (a click on it then opens nothing);
// it edits the chosen pin's attributes (symtools-pin-attributes-on.png, -off.png, -dialog.png).
TEST_F(SymToolsRun, ThePinAttributesButtonFollowsTheChosenHiddenPin) {
    const std::string on = OutputPath("symtools-pin-attributes-on.png"), off = OutputPath("symtools-pin-attributes-off.png");
    const std::string dialog = OutputPath("symtools-pin-attributes-dialog.png");
    for (const std::string& picture : {on, off, dialog}) std::remove(picture.c_str());
    const std::string rowOne = "10 95", rowTwo = "10 113", button = "161 50";
    // A pin first: the hidden pins are those of the pin set that the pins use.
    const std::string dump = Run(Tool(kPin) + Drag(288, 288, 336, 288) +
                                 "wait-window Pin Information\nbutton OK\nwait-no-window Pin Information\n"
                                 "click 529 16\nwait-drawn Parts : Gate\n"
                                 "type 5\nkey Tab\ntype VCC\nkey Tab\nkey Tab\n"  // row 1, and on into row 2
                                 "type 6\nkey Tab\ntype GND\n"
                                 "click " + rowOne + "\nclick " + rowTwo + " Shift\nwait-drawn Parts : Gate\n"
                                 "screenshot " + off + " Parts : Gate\n"
                                 "click " + button + "\nlog-windows\n"
                                 "click " + rowOne + "\nwait-drawn Parts : Gate\n"
                                 "screenshot " + on + " Parts : Gate\n"
                                 "button Pin Attributes...\n"
                                 "wait-window Pin 5 - Attributes\nwait-drawn Pin 5 - Attributes\n"
                                 "type Speed\nkey Tab\ntype fast\n"
                                 "screenshot " + dialog + " Pin 5 - Attributes\n"
                                 "button OK\nwait-no-window Pin 5 - Attributes\n"
                                 "click 54 16\nwait-drawn Parts : Gate\n");
    // Two rows chosen, the click on the button opened nothing.
    const std::vector<std::string> windows = result_.Lines("windows:");
    ASSERT_EQ(windows.size(), 1u);
    EXPECT_EQ(windows[0].rfind("windows: Parts : Gate | Parts", 0), 0u) << windows[0];
    EXPECT_EQ(LinesStartingWith(dump, "hidden"),
              (std::vector<std::string>{"hidden set0 \"5\" \"VCC\" type 0x08", "hidden set0 \"6\" \"GND\" type 0x08"}))
        << dump;
    LibraryItem* item = Stored();
    ASSERT_NE(item, nullptr);
    char number[kLibItemTextSize];
    uint32_t first = 0, second = 0;
    GetLibItemHiddenPinInfo(item, 0, 0, number, &first);
    GetLibItemHiddenPinInfo(item, 0, 1, number, &second);
    EXPECT_EQ(PinAttribute(item, first, "Speed"), "fast");
    EXPECT_EQ(PinAttribute(item, second, "Speed"), "");
    DestroyLibraryItem(item);
    std::string bytes;
    for (const std::string& picture : {on, off, dialog}) EXPECT_TRUE(ReadFile(picture, bytes) && bytes.size() > 1000) << picture;
}

#endif

}  // namespace
}  // namespace plexa::test
