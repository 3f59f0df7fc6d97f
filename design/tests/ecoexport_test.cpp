// ECO export and back-annotation on a design built in memory: the design state that the export
// builds and writes (read back, it compares equal), the design-rule problems that write nothing
// and keep an existing file, and back-annotation from an ECO file with a relabelled part and from
// a WAS-IS file.
#include "design/ecoexport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "app/root.h"
#include "design/ecodiff.h"
#include "design/ecostate.h"
#include "design/tests/eco_testing.h"
#include "design/tests/netlist_fixture.h"
#include "design/wasis.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using netfix::Design;
using test::TempDir;
using test::WriteFile;

std::string FileText(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(path.c_str(), &bytes)) return "<missing>";
    return std::string(bytes.begin(), bytes.end());
}

// What the hooks saw.
struct Seen {
    std::vector<std::string> alerts;
    std::vector<std::string> logs;  // "panel modal" and the log text when shown
    bool proceed = true;
    bool preview = false;
    std::string description;
};
Seen* gSeen = nullptr;

// The core's hooks with the windows, the dialog and the alerts answered here.
void InstallHooks(Seen* seen) {
    gSeen = seen;
    ECOHooks hooks = GetECOHooks();
    hooks.updateHierarchy = [](ProjectRecord*, uint32_t) {};  // the tree is built in memory
    hooks.showLog = [](const char*, int16_t panel, bool modal) {
        gSeen->logs.push_back(std::to_string(panel) + (modal ? " modal\n" : "\n") + gECOLog.text);
        return gSeen->proceed;
    };
    hooks.importDialog = [](const std::string& description, bool* preview) {
        gSeen->description = description;
        *preview = gSeen->preview;
        return true;
    };
    hooks.reportError = [](OSStatus status) { gSeen->alerts.push_back("error " + std::to_string(status)); };
    SetECOHooks(hooks);
    BackAnnotHooks back = GetBackAnnotHooks();
    back.alert = [](const char* text) { gSeen->alerts.push_back(text); };
    SetBackAnnotHooks(back);
}

void Relabel(DesignStateRecord* state, const char* from, const char* to) {
    for (StringSpec& designator : state->designators) {
        char text[kStringSpecBufferSize];
        GetECOText(state, designator, text);
        if (std::string(text) == from) designator = AppendStringBlock(state->strings, to, uint32_t(std::strlen(to)), nullptr);
    }
}

// One sheet: U1 (a 7400, footprint attribute DIP14) and R1, R2 (package PKG) on three nets.
struct Board {
    Design d{2};
    SheetRecord* sheet;
    SheetNode* node;
    SymbolRecord* u1;
    SymbolRecord* r1;
    SymbolRecord* r2;
    TempDir dir;
    Seen seen;

    Board() {
        sheet = d.AddSheet("MAIN.SHX");
        d.FinishSpecs();
        SetFileSpecName(&d.project->file.spec, "BOARD.PRX");
        node = d.AddNode(nullptr, "MAIN.SHX", 0);
        ComponentRecord* gate = Design::MakeComponent(sheet, "7400", "U", 1, 3);
        ComponentRecord* res = Design::MakeComponent(sheet, "RES", "R", 1, 2);
        u1 = Design::Place(sheet, gate);
        r1 = Design::Place(sheet, res, 0, 100);
        r2 = Design::Place(sheet, res, 0, 200);
        Design::SetAttribute(sheet, u1, "Footprint", "DIP14");
        d.Annotate("MAIN.SHX", u1, node, "U1");
        d.Annotate("MAIN.SHX", r1, node, "R1");
        d.Annotate("MAIN.SHX", r2, node, "R2");
        Design::Net(sheet, "IN", {{u1, 0}, {r1, 0}});
        Design::Net(sheet, "OUT", {{u1, 2}, {r2, 0}});
        Design::Net(sheet, "MID", {{r1, 1}, {r2, 1}});
        InstallHooks(&seen);
        gECOPreviewFlag = false;
    }
    ~Board() {
        InstallCoreHooks();
        DestroyECOLog();
        gSeen = nullptr;
    }
    // The project's state as the layout program would write it.
    void LayoutState(DesignStateRecord* state) {
        ASSERT_EQ(InitDesignState(state, kStateInitTexts), 0);
        bool problem = false;
        CreateECOLog();
        ASSERT_EQ(BuildDesignState(d.project, kECOExportDescentMask, state, &problem), 0);
        DestroyECOLog();
        SetDesignStateInfo(state, "BOARD", 0, kStateKindPCB);
    }
    // The project's state as the export builds it, dumped; no design-rule problem is expected.
    std::string ExportState() {
        DesignStateRecord built;
        EXPECT_EQ(InitDesignState(&built, kStateInitTexts), 0);
        bool problem = false;
        CreateECOLog();
        EXPECT_EQ(BuildDesignState(d.project, kECOExportDescentMask, &built, &problem), 0);
        EXPECT_FALSE(problem);
        const std::string dump = DumpDesignState(&built);
        EmptyDesignState(&built);
        return dump;
    }
    std::string Designators() {
        std::string out;
        char text[kAnnotationTextSize];
        for (SymbolRecord* symbol : {u1, r1, r2}) {
            GetAnnotation(d.specs.at("MAIN.SHX")->annotationMap, symbol->serial, int32_t(node->instance->id), false,
                          text);
            out += std::string(text) + " ";
        }
        return out;
    }
};

TEST(ECOExport, TheBuiltStateWrittenAndReadBackComparesEqual) {
    Board b;
    const std::string built = b.ExportState();
    EXPECT_EQ(gECOLog.text, "");
    const std::string iid = std::to_string(b.node->instance->id);
    EXPECT_EQ(built,
              "design \"\" time=0 kind=0 flags=0\n"
              "text 0 \"R1\" \"RES\"\n"
              "text 1 \"R2\" \"RES\"\n"
              "text 2 \"U1\" \"7400\"\n"
              "comp 2 \"DIP14\t\t\t\"\n"
              "comp 1 \"PKG\t\t\t\"\n"
              "comp 0 \"PKG\t\t\t\"\n"
              "serial " + iid + " " + std::to_string(b.u1->serial) + " comp 2\n"
              "serial " + iid + " " + std::to_string(b.r2->serial) + " comp 1\n"
              "serial " + iid + " " + std::to_string(b.r1->serial) + " comp 0\n"
              "net \"OUT\"\n"
              "net \"MID\"\n"
              "net \"IN\"\n"
              "member \"IN\" 0 \"1\"\n"
              "member \"MID\" 0 \"2\"\n"
              "member \"OUT\" 1 \"1\"\n"
              "member \"MID\" 1 \"2\"\n"
              "member \"IN\" 2 \"1\"\n"
              "member \"OUT\" 2 \"3\"\n");
    bool problem = false;

    const std::string path = b.dir.file("BOARD.ECO");
    ASSERT_EQ(ExportECOFile(b.d.project, path.c_str()), 0);
    EXPECT_TRUE(b.seen.alerts.empty());
    EXPECT_TRUE(b.seen.logs.empty());
    DesignStateRecord back, again;
    ASSERT_EQ(ReadDesignStateFile(path.c_str(), &back, false), 0);
    ASSERT_EQ(InitDesignState(&again, kStateInitTexts), 0);
    CreateECOLog();
    ASSERT_EQ(BuildDesignState(b.d.project, kECOExportDescentMask, &again, &problem), 0);
    std::string dump = DumpDesignState(&back);
    ASSERT_EQ(dump.substr(0, dump.find('\n')), "design \"BOARD\" time=0 kind=2 flags=0");
    std::string expected = DumpDesignState(&again);
    dump.erase(0, dump.find('\n'));
    expected.erase(0, expected.find('\n'));
    EXPECT_EQ(SortedLines(dump), SortedLines(expected));
    // Compared with the project, the file holds no difference.
    back.flags |= kStateSynchByName | kStateSynchByFootprint;
    DiffAnylise(&again, &back, false);
    LogAllDifferences(&again, &back);
    EXPECT_EQ(gECOLog.text, "");
    EmptyDesignState(&back);
    EmptyDesignState(&again);
}

// A "Footprint" attribute gives the footprint with its fields expanded in its symbol's context
// (the symbol's own attributes, its designator in the instance); without one the footprint is the
// package's name, whatever footprint text the package holds.
TEST(ECOExport, FootprintsAreExpandedAttributesElsePackageNames) {
    Board b;
    Design::SetAttribute(b.sheet, b.u1, "Pins", "14");
    Design::SetAttribute(b.sheet, b.u1, "Footprint", "DIP{Pins}");
    Design::SetAttribute(b.sheet, b.r1, "Footprint", "R_{RefDes}");
    CompPackages(b.r2->component)->footprint = AppendStringBlock(b.sheet->stringBlock, "RES_0805", 8, nullptr);
    std::vector<std::string> comps;
    const std::string dump = b.ExportState();
    for (size_t at = dump.find("\ncomp "); at != std::string::npos; at = dump.find("\ncomp ", at + 1))
        comps.push_back(dump.substr(at + 1, dump.find('\n', at + 1) - at - 1));
    EXPECT_EQ(comps, (std::vector<std::string>{"comp 2 \"DIP14\t\t\t\"", "comp 1 \"PKG\t\t\t\"",
                                               "comp 0 \"R_R1\t\t\t\""}))
        << dump;
}

TEST(ECOExport, DesignRuleProblemsWriteNothingAndKeepTheFile) {
    Board b;
    // A second U1, and an unannotated resistor.
    SymbolRecord* u1again = Design::Place(b.sheet, b.u1->component, 100, 0);
    Design::Place(b.sheet, b.r1->component, 100, 100);
    b.d.Annotate("MAIN.SHX", u1again, b.node, "u1");
    const std::string path = b.dir.file("OLD.ECO");
    ASSERT_TRUE(WriteFile(path, "kept"));
    EXPECT_EQ(ExportECOFile(b.d.project, path.c_str()), kUserCancelled);
    EXPECT_EQ(FileText(path), "kept");
    ASSERT_EQ(b.seen.logs.size(), 1u);
    EXPECT_EQ(b.seen.logs[0],
              "2050\n"
              "Component has no reference designator:  RES\n"
              "Reference designator used more than once:  U1\n");
    // The log stays for its window.
    EXPECT_TRUE(gECOLog.open);
}

TEST(ECOExport, BackAnnotationFromAnECOFileWithARelabelledPart) {
    Board b;
    // The layout program's file: R2 became R7.
    DesignStateRecord state;
    ASSERT_NO_FATAL_FAILURE(b.LayoutState(&state));
    Relabel(&state, "R2", "R7");
    const std::string path = b.dir.file("PCB.ECO");
    ASSERT_EQ(WriteDesignStateFile(path.c_str(), &state), 0);

    std::string wasIs;
    b.seen.preview = true;
    b.seen.proceed = false;  // the preview is cancelled
    EXPECT_EQ(CreateWasIsFromECO(b.d.project, path.c_str(), &wasIs), kUserCancelled);
    EXPECT_EQ(b.seen.description, "ECO SOURCE DESIGN:\n  Name:   BOARD\n  Kind:   PCB\n  Rev:    Unknown\n");
    ASSERT_EQ(b.seen.logs.size(), 1u);
    EXPECT_EQ(b.seen.logs[0],
              "2053 modal\n"
              "The ECO file indicates the following differences:\n\n"
              "Annotation Changes:\n"
              "    R2                  -->  R7\n\n");
    EXPECT_TRUE(gECOPreviewFlag);
    EXPECT_EQ(wasIs, "");

    b.seen.preview = false;
    ASSERT_EQ(CreateWasIsFromECO(b.d.project, path.c_str(), &wasIs), 0);
    EXPECT_EQ(wasIs, "WAS\tIS\n\"R2\"\t\"R7\"\n");
    EXPECT_EQ(b.seen.logs.size(), 1u);

    ASSERT_EQ(BackAnnotateFile(b.d.project, path.c_str()), 0);
    EXPECT_EQ(b.Designators(), "U1 R1 R7 ");
    EXPECT_TRUE(b.seen.alerts.empty());
    // Now the project matches the file.
    EXPECT_EQ(BackAnnotateFile(b.d.project, path.c_str()), kUserCancelled);
    EXPECT_EQ(b.seen.alerts, std::vector<std::string>{kECONoChangesMessage});

    // A file from an un-synchronised layout is refused before the dialog.
    state.flags |= kStateUnsynchronised;
    ASSERT_EQ(WriteDesignStateFile(path.c_str(), &state), 0);
    b.seen.description.clear();
    EXPECT_EQ(BackAnnotateFile(b.d.project, path.c_str()), kUserCancelled);
    EXPECT_EQ(b.seen.alerts.back(), kECOUnsynchronisedMessage);
    EXPECT_EQ(b.seen.description, "");
    EmptyDesignState(&state);
}

TEST(ECOExport, AModifiedComponentIsShownBeforeTheRenames) {
    Board b;
    DesignStateRecord state;
    ASSERT_NO_FATAL_FAILURE(b.LayoutState(&state));
    // U1 changed its footprint, R1 became R9.
    for (ECOComponent& c : state.components) {
        char text[kStringSpecBufferSize];
        GetECOCompRefDes(&state, c.id, text);
        if (std::string(text) == "U1") c.footprint = AppendStringBlock(state.strings, "SO14", 4, nullptr);
    }
    Relabel(&state, "R1", "R9");
    const std::string path = b.dir.file("PCB.ECO");
    ASSERT_EQ(WriteDesignStateFile(path.c_str(), &state), 0);
    EmptyDesignState(&state);

    std::string wasIs;
    b.seen.proceed = true;
    ASSERT_EQ(CreateWasIsFromECO(b.d.project, path.c_str(), &wasIs), 0);
    ASSERT_EQ(b.seen.logs.size(), 1u);
    EXPECT_EQ(b.seen.logs[0],
              "2052 modal\n"
              "The ECO file indicates the following differences:\n\n"
              "Annotation Changes:\n"
              "    R1                  -->  R9\n\n"
              "Modified Components:\n"
              "    U1                  7400\n\n");
    EXPECT_EQ(wasIs, "WAS\tIS\n\"R1\"\t\"R9\"\n");
}

TEST(ECOExport, BackAnnotationFromAWasIsFile) {
    Board b;
    const std::string path = b.dir.file("RENAME.TXT");
    ASSERT_TRUE(WriteFile(path, "WAS IS\n\"R1\" \"R2\"\nR2 R1\n"));
    ASSERT_EQ(BackAnnotateFile(b.d.project, path.c_str()), 0);
    EXPECT_EQ(b.Designators(), "U1 R2 R1 ");
    // Not a WAS-IS list: the message, and nothing changes.
    ASSERT_TRUE(WriteFile(path, "FROM TO\nR1 R5\n"));
    EXPECT_EQ(BackAnnotateFile(b.d.project, path.c_str()), kUserCancelled);
    EXPECT_EQ(b.seen.alerts, std::vector<std::string>{kWasIsInvalidMessage});
    EXPECT_EQ(b.Designators(), "U1 R2 R1 ");
    // A missing file is reported.
    EXPECT_EQ(BackAnnotateFile(b.d.project, b.dir.file("NONE.TXT").c_str()), -43);
    EXPECT_EQ(b.seen.alerts.back(), "error -43");
}

}  // namespace
}  // namespace plexa
