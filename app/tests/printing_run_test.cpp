// Printing through the running program: File > Print with the fixture project's window in front
// asks which sheets to print and prints every sheet of the hierarchy into the file the print panel
// names, the child sheet that the root uses twice once for each use (or once, when the project is
// set to print each sheet once). A sheet prints on pages
// turned the way that suits it: a landscape sheet's content on one landscape page, a sheet no
// larger than the paper on one page even when the margins are in its way; its print scale holds
// for the job only.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/printing.h"
#include "files/project_dump.h"
#include "files/tests/sheetcontents_testing.h"
#include "graphics/printrec.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

// A field of a PDF file's information, as poppler's pdfinfo reads it ("" without one, "?" when
// the file cannot be read).
std::string PdfInfo(const std::string& pdf, const std::string& field) {
    const std::string out = pdf + ".info";
    if (std::system(("pdfinfo '" + pdf + "' > '" + out + "' 2>/dev/null").c_str()) != 0) return "?";
    std::string info;
    if (!ReadFile(out, info)) return "?";
    const size_t at = info.find(field + ":");
    if (at == std::string::npos) return "";
    const size_t start = info.find_first_not_of(' ', at + field.size() + 1), end = info.find('\n', at);
    return start == std::string::npos || start >= end ? "" : info.substr(start, end - start);
}

std::string PdfTitle(const std::string& pdf) { return PdfInfo(pdf, "Title"); }

// "landscape" or "portrait" by the page size pdfinfo reads ("W x H pts ...").
std::string PdfOrientation(const std::string& pdf) {
    const std::string size = PdfInfo(pdf, "Page size");
    double width = 0, height = 0;
    if (std::sscanf(size.c_str(), "%lf x %lf", &width, &height) != 2) return "? " + size;
    return width > height ? "landscape" : "portrait";
}

TEST(PrintingRun, FilePrintWithTheProjectInFrontPrintsEachUseOfItsSheets) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string pdf = folder + "/amp.pdf";
    const ScriptedRunResult result = run.Run("wait-window amp\n"
                                             "wait-drawn amp\n"
                                             "print-panel " + pdf + "\n"
                                             "menu File > Print...\n"
                                             "wait-window Print Project\n"
                                             "screenshot " + OutputPath("print-project-dialog.png") + " Print Project\n"
                                             "button Print\n"
                                             "wait-no-window Print Project\n"
                                             "close amp\n",
                                             {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    std::string bytes;
    ASSERT_TRUE(ReadFile(pdf, bytes)) << result.errors;
    EXPECT_NE(bytes.find("/Count 3"), std::string::npos) << "the root and the child twice";
    EXPECT_EQ(PdfTitle(pdf), "amp") << "the job is titled with the project's name";
}

// With "Print each sheet only once" checked, the child sheet that the root uses twice prints once;
// the choice is kept with the project's page setup in its file, and the dialog offers it checked
// the next time.
TEST(PrintingRun, PrintingEachSheetOnceIsAChoiceKeptWithTheProject) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string pdf = folder + "/amp.pdf", again = folder + "/again.pdf";
    const ScriptedRunResult result = run.Run("wait-window amp\n"
                                             "wait-drawn amp\n"
                                             "print-panel " + pdf + "\n"
                                             "menu File > Print...\n"
                                             "wait-window Print Project\n"
                                             "wait-drawn Print Project\n"
                                             "click 40 131\n"
                                             "screenshot " + OutputPath("print-project-once.png") + " Print Project\n"
                                             "button Print\n"
                                             "wait-no-window Print Project\n"
                                             "wait-file " + pdf + "\n"
                                             "close amp\n"
                                             "wait-no-window amp\n",
                                             {"amp.PRX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    std::string bytes;
    ASSERT_TRUE(ReadFile(pdf, bytes)) << result.errors;
    EXPECT_NE(bytes.find("/Count 2"), std::string::npos) << "the root, and the child once";
    std::string dump, errors;
    const std::string project = folder + "/amp.PRX";
    const char* argv[] = {"project-dump", project.c_str()};
    EXPECT_EQ(RunProjectDump(2, argv, &dump, &errors), 0) << errors;
    EXPECT_NE(dump.find("page-setup word 0x0001"), std::string::npos) << dump;

    // Opened again, the project prints each sheet once unless the box is cleared.
    ScriptedRun second(PLEXA_PROGRAM);
    const ScriptedRunResult printed = second.Run("wait-window amp\n"
                                                 "wait-drawn amp\n"
                                                 "print-panel " + again + "\n"
                                                 "menu File > Print...\n"
                                                 "wait-window Print Project\n"
                                                 "button Print\n"
                                                 "wait-no-window Print Project\n"
                                                 "wait-file " + again + "\n"
                                                 "close amp\n",
                                                 {"amp.PRX"}, folder);
    ASSERT_TRUE(printed.Exited(0)) << printed.status << printed.errors;
    ASSERT_TRUE(ReadFile(again, bytes)) << printed.errors;
    EXPECT_NE(bytes.find("/Count 2"), std::string::npos);
}

// A sheet printed alone: the job is titled with the sheet's name.
TEST(PrintingRun, FilePrintWithASheetInFrontTitlesTheJobWithTheSheetsName) {
    ScriptedRun run(PLEXA_PROGRAM);
    const std::string folder = run.CopyFixture("tools/tests/fixtures/amp");
    ASSERT_FALSE(folder.empty());
    const std::string pdf = folder + "/root.pdf";
    const ScriptedRunResult result = run.Run("wait-window ROOT\n"
                                             "wait-drawn ROOT\n"
                                             "print-panel " + pdf + "\n"
                                             "menu File > Print...\n"
                                             "close ROOT\n",
                                             {"ROOT.SHX"}, folder);
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(PdfTitle(pdf), "ROOT");
}

// A letter-sized landscape sheet (1056 by 816 at 96 dpi) with a gate near its top left and one
// the content reaches out to.
class SheetPrintingRun : public SheetContentsTest {
protected:
    std::string WriteSheet(Point far, int16_t printScale = 100, double marginInches = 0) {
        drawing->stored.sizeCode = 1;
        drawing->stored.orientation = 0;
        drawing->stored.printScale = printScale;
        CalcSheetBounds(1, 0, drawing->stored.resolution, &drawing->sheetBounds);
        const int32_t id = AddGateSymbolDefinition(drawing);
        EXPECT_GE(id, 0);
        uint32_t serial = 1;
        for (Point at : {P(40, 40), far}) {
            SymbolRecord* gate = driver->AddSymbol(serial++);
            gate->mapId = id;
            gate->libraryName = kNoLibraryName;
            gate->position = at;
        }
        drawing->stored.nextSerial = serial;
        if (marginInches > 0) {
            EXPECT_EQ(CreateDefaultPrintRef(96, &drawing->printRecord, marginInches), 0);
        }
        return WriteSheetAtScale("Small.SHX", 50);
    }
    // Prints the sheet into the PDF file (and, with a copy's path, saves a copy afterwards).
    void Print(const std::string& sheet, const std::string& pdf, const std::string& copy = "") {
        ScriptedRun run(PLEXA_PROGRAM);
        const ScriptedRunResult result = run.Run(
            "wait-window Small\nwait-drawn Small\nprint-panel " + pdf + "\nmenu File > Print...\n" +
                (copy.empty() ? "" : "print-panel " + pdf + ".again.pdf\nmenu File > Print...\npanel " + copy +
                                         "\nmenu File > Save a Copy...\n") +
                "close Small\n",
            {sheet});
        ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    }
};

// The content spans more than a portrait page's width but fits a landscape page: one landscape
// page (portrait pages would take two, the right-hand gate alone on the second).
TEST_F(SheetPrintingRun, ALandscapeSheetPrintsOnOneLandscapePage) {
    const std::string pdf = dir.path() + "/small.pdf";
    Print(WriteSheet(P(900, 600)), pdf);
    EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
    EXPECT_EQ(PdfOrientation(pdf), "landscape");
    ASSERT_EQ(std::system(("pdftoppm -r 40 -png -singlefile '" + pdf + "' '" + OutputPath("print-landscape-sheet") +
                           "'").c_str()), 0);
}

// Printed at 90 % the sheet is smaller than the paper, but with margins of an inch its content,
// reaching the sheet's far corner, takes two pages either way round: it prints on one page,
// shrunk, and on the page turned the way it prints larger.
TEST_F(SheetPrintingRun, ASheetSmallerThanThePaperPrintsOnOnePage) {
    const std::string pdf = dir.path() + "/small.pdf";
    Print(WriteSheet(P(960, 740), 90, 1.0), pdf);
    EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
    EXPECT_EQ(PdfOrientation(pdf), "landscape");
    ASSERT_EQ(std::system(("pdftoppm -r 40 -png -singlefile '" + pdf + "' '" + OutputPath("print-sheet-within-paper") +
                           "'").c_str()), 0);
}

// Printing twice at half size prints the same pages twice, and the sheet's print record keeps
// the sheet's resolution: the print scale holds for the job alone.
TEST_F(SheetPrintingRun, ThePrintScaleHoldsForTheJobOnly) {
    const std::string pdf = dir.path() + "/small.pdf", copy = dir.path() + "/copy.SHX";
    Print(WriteSheet(P(900, 600), 50, 0.1), pdf, copy);
    EXPECT_EQ(PdfInfo(pdf, "Pages"), "1");
    std::string first, second;
    ASSERT_TRUE(ReadFile(pdf, first));
    ASSERT_TRUE(ReadFile(pdf + ".again.pdf", second));
    EXPECT_EQ(PdfInfo(pdf + ".again.pdf", "Pages"), "1");
    EXPECT_EQ(PdfInfo(pdf + ".again.pdf", "Page size"), PdfInfo(pdf, "Page size"));
    SheetRecord* saved = Load(copy);
    ASSERT_NE(saved, nullptr);
    ASSERT_NE(saved->printRecord, nullptr);
    EXPECT_EQ(saved->printRecord->resolution, 96u);
}

#endif

}  // namespace
}  // namespace plexa::test
