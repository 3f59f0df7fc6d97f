// A sheet's clip pasted into the symbol editor, in the running program: a sheet symbol with three
// ports arrives as its box, three port outlines and three pins named after the ports; a wire of
// three corners as a polygon; a wire whose two corners are one point as nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "files/sheetcontents.h"
#include "files/tests/sheetcontents_testing.h"
#include "foundation/memory.h"
#include "library/tests/library_testing.h"
#include "model/libitem.h"
#include "model/libitemdump.h"
#include "model/sheetsymbols.h"
#include "model/signals.h"
#include "model/wires.h"
#include "symboleditor/tests/libeditor_testing.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

class SheetClipToSymbolRun : public SheetContentsTest {};

TEST_F(SheetClipToSymbolRun, ASheetSymbolAndWiresBecomeABoxPortOutlinesPinsAndLines) {
    SymbolRecord* block = CreateSheetSymbol();
    ASSERT_NE(block, nullptr);
    block->serial = 1;
    block->position = P(96, 96);
    SetSheetSymbolFileName(block, drawing->stringBlock, "CHILD.SHX");
    SetSheetSymbolName(block, drawing->stringBlock, "X1");
    AddSymbolToSheet(drawing, block);
    for (const char* port : {"CLK", "DATA", "OUT"}) ASSERT_GE(CreateSheetSymbolPort(drawing, block, port, 0), 0);
    SignalHandle net = CreateSignal(drawing->signalList);
    ASSERT_NE(net, nullptr);
    WireHandle bent = CreateWire((*net)->wires);
    for (Point p : {P(300, 300), P(360, 300), P(360, 360)}) ASSERT_TRUE(InsertWireCorner(bent, p, -1));
    WireHandle dot = CreateWire((*net)->wires);
    for (Point p : {P(400, 400), P(400, 400)}) ASSERT_TRUE(InsertWireCorner(dot, p, -1));
    CalcSignalBounds(net);
    drawing->stored.nextSerial = 2;
    const std::string sheetPath = dir.path() + "/Block.SHX";
    const FileSpec sheetSpec = SheetSpecAt(sheetPath);
    ASSERT_EQ(WriteSheetFile(drawing, &sheetSpec), 0);

    const std::string libraryPath = dir.path() + "/Parts.LBX";
    WriteBoxLibrary(libraryPath, {"Gate"});
    const std::string picture = OutputPath("sheet-clip-in-symbol-editor.png");
    std::remove(picture.c_str());
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Block*\nwait-drawn Block*\n"
                                             "menu Edit > Select All\nmenu Edit > Copy\n"
                                             "close Block*\nwait-no-window Block*\n"
                                             "wait-window Parts\nwait-drawn Parts\n"
                                             "click 52 9 double\n"
                                             "wait-window Parts : Gate\nwait-drawn Parts : Gate\n"
                                             "menu Edit > Paste\nwait-drawn Parts : Gate\n"
                                             "screenshot " + picture + " Parts : Gate\n"
                                             "key Ctrl+S\nclose Parts : Gate\nwait-no-window Parts : Gate\n"
                                             "close Parts\nwait-no-window Parts\nquit\n",
                                             {libraryPath, sheetPath});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;

    OpenLibrary library(libraryPath, kLibraryOpenLoadMap);
    const std::string bytes = library.Load(library.Block("Gate"));
    ASSERT_FALSE(bytes.empty());
    Handle flat = AllocHandleWithData(nullptr, bytes.data(), uint32_t(bytes.size()));
    LibraryItem* item = nullptr;
    ASSERT_EQ(InflateLibraryItem(flat, &item, true), 0);
    MemFree(flat);
    const std::string dump = DumpLibraryItem(item);
    DestroyLibraryItem(item);
    const std::vector<std::string> pins = LinesStartingWith(dump, "pin ");
    ASSERT_EQ(pins.size(), 3u) << dump;
    std::string names;
    for (const std::string& line : pins) names += line.substr(line.find('"')) + "\n";
    EXPECT_NE(names.find("\"CLK\""), std::string::npos) << dump;
    EXPECT_NE(names.find("\"DATA\""), std::string::npos) << dump;
    EXPECT_NE(names.find("\"OUT\""), std::string::npos) << dump;
    // The item's own box and the sheet symbol's box; three port outlines and the bent wire.
    const auto count = [&](const char* kind) {
        int n = 0;
        for (const std::string& line : LinesStartingWith(dump, "E"))
            if (line.find(kind) != std::string::npos) ++n;
        return n;
    };
    EXPECT_EQ(count(" rect "), 2) << dump;
    EXPECT_EQ(count(" poly "), 4) << dump;
    EXPECT_EQ(count(" node "), 3) << dump;
    EXPECT_EQ(count(" line "), 0) << "a wire of one point pastes nothing\n" << dump;
}

#endif

}  // namespace
}  // namespace plexa::test
