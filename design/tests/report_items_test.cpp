// Report scripts over projects built in memory: the shipped bill of materials and SPICE netlist
// scripts against expected output, the SPICE netlist of a resistor divider run through a circuit
// simulator when one is installed, sort keys, loops over components, nets, pins, the hierarchy,
// ports and attributes, and the descent rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "design/netlistdb.h"
#include "design/report_interp.h"
#include "design/tests/netlist_fixture.h"
#include "design/tests/report_test_support.h"
#include "files/hierarchy.h"

namespace plexa::test {
namespace {

using netfix::Design;

class ReportItemsTest : public ReportRunFixture {
protected:
    // Gives the project a file in the scratch folder, so that outputs go beside it.
    void PlaceProject(Design& d, const std::string& name = "divider.PRX") {
        ASSERT_EQ(FileSpecFromURL(dir_.file(name), &d.project->file.spec, false, nullptr), 0);
    }

    static void SetProjectAttribute(Design& d, const char* name, const char* value) {
        ProjectRecord* p = d.project;
        if (!p->attributes) p->attributes = AllocHandle(nullptr, 0);
        int16_t count = int16_t(p->settings.attributeCount);
        SetAttributeValue(p->strings, p->attributes, 0, &count, name, value, nullptr);
        p->settings.attributeCount = uint16_t(count);
    }

    // Runs a script file over the project; its output file's text in *out.
    OSStatus RunFile(Design& d, const std::string& script, std::string* out, bool descend = true) {
        FileSpec spec, output;
        EXPECT_EQ(FileSpecFromURL(script, &spec, false, nullptr), 0);
        const OSStatus st = RunReportScriptFile(d.project, nullptr, descend, 9999, &spec, &output);
        out->clear();
        std::string path;
        if (output.name[0] && CreateURLFromFileSpec(&output, false, &path) == 0) ReadFile(path, *out);
        return st;
    }

    // The text a script body writes (to "out.txt").
    std::string Output(Design& d, const std::string& body) {
        std::string out;
        EXPECT_EQ(RunFile(d, Write("t.SXP", "SETFILE \"out.txt\"; " + body), &out), 0) << body;
        for (const std::string& a : Alerts()) ADD_FAILURE() << a;
        Alerts().clear();
        return out;
    }

};

// One sheet: a source V1 driving the divider R1 (top) and R2 (bottom) to ground, and a
// decoupling capacitor; the resistors R3, R10 and R11 share a value so that the bill of
// materials groups them.
struct DividerDesign {
    Design d{2};
    SheetRecord* s;
    SheetNode* node;

    DividerDesign(const char* top = "1k", const char* bottom = "3k") {
        s = d.AddSheet("DIVIDER.SHX");
        d.FinishSpecs();
        node = d.AddNode(nullptr, "DIVIDER.SHX", 0);
        ComponentRecord* vsrc = Design::MakeComponent(s, "VSOURCE", "V", 1, 2);
        ComponentRecord* res = Design::MakeComponent(s, "RES", "R", 1, 2);
        ComponentRecord* cap = Design::MakeComponent(s, "CAP", "C", 1, 2);
        SymbolRecord* v1 = Design::Place(s, vsrc);
        SymbolRecord* r1 = Design::Place(s, res);
        SymbolRecord* r2 = Design::Place(s, res);
        SymbolRecord* c1 = Design::Place(s, cap);
        SymbolRecord* r10 = Design::Place(s, res);
        SymbolRecord* r3 = Design::Place(s, res);
        SymbolRecord* r11 = Design::Place(s, res);
        SymbolRecord* ground = Design::Power(s);
        Design::SetAttribute(s, v1, "Value", "DC 12");
        Design::SetAttribute(s, r1, "Value", top);
        Design::SetAttribute(s, r2, "Value", bottom);
        Design::SetAttribute(s, c1, "Value", "100n");
        for (SymbolRecord* r : {r3, r10, r11}) Design::SetAttribute(s, r, "Value", "10k");
        d.Annotate("DIVIDER.SHX", v1, node, "V1");
        d.Annotate("DIVIDER.SHX", r1, node, "R1");
        d.Annotate("DIVIDER.SHX", r2, node, "R2");
        d.Annotate("DIVIDER.SHX", c1, node, "C1");
        d.Annotate("DIVIDER.SHX", r10, node, "R10");
        d.Annotate("DIVIDER.SHX", r3, node, "R3");
        d.Annotate("DIVIDER.SHX", r11, node, "R11");
        Design::Net(s, "IN", {{v1, 0}, {r1, 0}, {r3, 0}});
        Design::Net(s, "OUT", {{r1, 1}, {r2, 0}, {c1, 0}, {r10, 0}});
        Design::Net(s, "GND", {{r2, 1}, {v1, 1}, {c1, 1}, {ground, 0}, {r3, 1}});
        Design::Net(s, "X", {{r10, 1}, {r11, 0}, {r11, 1}});
    }
};

std::string Shipped(const char* name) { return SourcePath(std::string("resources/scripts/") + name); }

TEST_F(ReportItemsTest, ShippedBillOfMaterials) {
    DividerDesign f;
    PlaceProject(f.d);
    std::string out;
    ASSERT_EQ(RunFile(f.d, Shipped("Bill of Materials.SXP"), &out), 0) << (Alerts().empty() ? "" : Alerts()[0]);
    EXPECT_TRUE(std::filesystem::exists(dir_.file("divider BOM.txt")));
    EXPECT_EQ(out,
              "Bill of Materials for divider.PRX\n"
              "Qty\tValue\tPart\tFootprint\tDesignators\n"
              "1\t100n\tCAP\tPKG\tC1\n"
              "1\t1k\tRES\tPKG\tR1\n"
              "1\t3k\tRES\tPKG\tR2\n"
              "3\t10k\tRES\tPKG\tR3, R10, R11\n"
              "1\tDC 12\tVSOURCE\tPKG\tV1\n");
}

// Footprint is the package's footprint, else the package's name; Package is the package's name.
// The component's name is no part of either.
TEST_F(ReportItemsTest, FootprintAndPackageAreThePackages) {
    struct Case {
        const char* footprint;  // of the package, none for nullptr
        const char* expected;
    };
    for (const Case& c : {Case{nullptr, "PKG|PKG"}, Case{"SMD0805", "SMD0805|PKG"}}) {
        SCOPED_TRACE(c.footprint ? c.footprint : "no footprint");
        DividerDesign f;
        PlaceProject(f.d);
        if (c.footprint) {
            for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(f.s->symbolList)); symbol; symbol = symbol->next)
                if (symbol->component)
                    CompPackages(symbol->component)->footprint =
                        AppendStringBlock(f.s->stringBlock, c.footprint, uint32_t(std::strlen(c.footprint)), nullptr);
        }
        EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY RefDes { IF RefDes == \"R1\" "
                              "WRITE Footprint : \"|\" : Package }"),
                  c.expected);
    }
}

TEST_F(ReportItemsTest, ShippedSpiceNetlist) {
    DividerDesign f;
    PlaceProject(f.d);
    SetProjectAttribute(f.d, "SpiceCommands", ".op");
    std::string out;
    ASSERT_EQ(RunFile(f.d, Shipped("SPICE Netlist.SXP"), &out), 0) << (Alerts().empty() ? "" : Alerts()[0]);
    EXPECT_TRUE(std::filesystem::exists(dir_.file("divider.cir")));
    EXPECT_EQ(out,
              "* divider\n"
              "C1 OUT 0 100n\n"
              "R1 IN OUT 1k\n"
              "R2 OUT 0 3k\n"
              "R3 IN 0 10k\n"
              "R10 OUT X 10k\n"
              "R11 X X 10k\n"
              "V1 IN 0 DC 12\n"
              ".op\n"
              ".end\n");
}

TEST_F(ReportItemsTest, ShippedPlainNetlist) {
    DividerDesign f;
    PlaceProject(f.d);
    std::string out;
    ASSERT_EQ(RunFile(f.d, Shipped("Netlist.SXP"), &out), 0) << (Alerts().empty() ? "" : Alerts()[0]);
    EXPECT_EQ(out,
              "Netlist for divider.PRX\n\n"
              "Components\n"
              "  C1       CAP              100n\n"
              "  R1       RES              1k\n"
              "  R2       RES              3k\n"
              "  R3       RES              10k\n"
              "  R10      RES              10k\n"
              "  R11      RES              10k\n"
              "  V1       VSOURCE          DC 12\n"
              "\nNets\n"
              "  GND: C1.2 R2.2 R3.2 V1.2\n"
              "  IN: R1.1 R3.1 V1.1\n"
              "  OUT: C1.1 R1.2 R2.1 R10.1\n"
              "  X: R10.2 R11.1 R11.2\n");
}

// The divider's netlist given to the simulator: OUT must sit at 12 V * 3k / (1k + 3k) = 9 V.
TEST_F(ReportItemsTest, SpiceNetlistSimulatesTheDivider) {
    if (std::system("command -v ngspice >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "no circuit simulator (ngspice) is installed; the simulation step is skipped";
    }
    DividerDesign f;
    PlaceProject(f.d);
    SetProjectAttribute(f.d, "SpiceCommands", ".op");
    std::string out;
    ASSERT_EQ(RunFile(f.d, Shipped("SPICE Netlist.SXP"), &out), 0);
    // Print the operating point's node voltages.
    const std::string control = ".control\nop\nprint v(in) v(out) v(x)\n.endc\n";
    const size_t end = out.rfind(".end\n");
    ASSERT_NE(end, std::string::npos);
    WriteFile(dir_.file("sim.cir"), out.substr(0, end) + control + ".end\n");
    const std::string command = "ngspice -b \"" + dir_.file("sim.cir") + "\" > \"" + dir_.file("sim.log") + "\" 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string log;
    ReadFile(dir_.file("sim.log"), log);
    const auto voltage = [&](const char* node) {
        const std::string key = std::string("v(") + node + ") = ";
        const size_t at = log.find(key);
        return at == std::string::npos ? -1e9 : std::strtod(log.c_str() + at + key.size(), nullptr);
    };
    EXPECT_NEAR(voltage("in"), 12.0, 1e-6) << log;
    EXPECT_NEAR(voltage("out"), 9.0, 1e-6) << log;
    EXPECT_NEAR(voltage("x"), 9.0, 1e-6) << log;
}

TEST_F(ReportItemsTest, LoopsWithoutKeysFollowTheTableAndKeysSortStably) {
    DividerDesign f;
    PlaceProject(f.d);
    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    ASSERT_EQ(CreateUnifiedDB(f.d.project, nullptr, kUDBDescend | kUDBPartTypes, &db), 0);
    std::string table;
    char text[kUDBTextSize];
    for (uint32_t row : db.compOrder) {
        GetUDBRefDes(&db, row, nullptr, true, text);
        table += std::string(text) + " ";
    }
    DestroyUnifiedDB(&db);
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS { WRITE RefDes : \" \" }"), table);
    // Designators compare by their numbers; equal first keys fall back on the second.
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY RefDes { WRITE RefDes : \" \" }"),
              "C1 R1 R2 R3 R10 R11 V1 ");
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY Value, RefDes { WRITE RefDes : \" \" }"),
              "R1 R2 R3 R10 R11 C1 V1 ");
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY CompName, Value { WRITE RefDes : \" \" }"),
              Output(f.d, "ITERATE COMPONENTS BY CompName, Value, x { WRITE RefDes : \" \" }"));
    // A ninth key is ignored: with eight keys that say nothing, the table order stands.
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY a, b, c, d, e, f, g, h, RefDes { WRITE RefDes : \" \" }"),
              table);
}

TEST_F(ReportItemsTest, FieldsOfComponentsNetsAndPins) {
    DividerDesign f;
    PlaceProject(f.d);
    EXPECT_EQ(Output(f.d, "ITERATE NETS BY SignalName { WRITE SignalName : \"=\" : SignalScope : "
                          "SinglePinNet : \" \" }"),
              "GND=Global0 IN=Local0 OUT=Local0 X=Local0 ");
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY RefDes { IF RefDes == \"R1\" { WRITE RefDesPrefix : "
                          "CompName : RefDesMissing : RefDesConflict : \" \"; ITERATE PINS { WRITE "
                          "PinNumber : PinName : \"@\" : SignalName : \" \" } } }"),
              "RRES00 1A@IN 2B@OUT ");
    // Inside a nets loop a pin sees its component.
    EXPECT_EQ(Output(f.d, "ITERATE NETS BY SignalName { IF SignalName == \"X\" { ITERATE PINS BY "
                          "RefDes, PinNumber { WRITE RefDes : \".\" : PinNumber : \" \" } } }"),
              "R10.2 R11.1 R11.2 ");
    // Variables hold across loops; a BREAK ends only the pins loop; EXIT inside a loop keeps STATUS.
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY RefDes { n += 1; ITERATE PINS { WRITE RefDes; BREAK }; "
                          "IF n == 3 EXIT 5 }"),
              "C1R1R2");
}

TEST_F(ReportItemsTest, AttributesLoop) {
    DividerDesign f;
    PlaceProject(f.d);
    SetProjectAttribute(f.d, "Owner", "lab");
    SetProjectAttribute(f.d, "~hidden", "x");
    EXPECT_EQ(Output(f.d, "ITERATE PROJECT ATTRIBUTES { WRITE AttributeName : \"=\" : AttributeValue : \";\" }"),
              "Owner=lab;");
    EXPECT_EQ(Output(f.d, "ITERATE COMPONENTS BY RefDes { IF RefDes == \"C1\" ITERATE COMPONENT ATTRIBUTES "
                          "{ WRITE AttributeName : \"=\" : AttributeValue } }"),
              "Value=100n");
    // Project attributes are readable by name.
    EXPECT_EQ(Output(f.d, "WRITE Owner"), "lab");
}

struct Hierarchy {
    Design d{1};
    SheetNode* top;
    SheetNode* first;
    SheetNode* second;

    Hierarchy() {
        SheetRecord* root = d.AddSheet("ROOT.SHX");
        SheetRecord* child = d.AddSheet("CHILD.SHX");
        d.FinishSpecs();
        ComponentRecord* res = Design::MakeComponent(root, "RES", "R", 1, 2);
        SymbolRecord* r101 = Design::Place(root, res);
        SymbolRecord* s1 = Design::SheetSymbol(root, "CHILD.SHX", {"IN", "OUT"});
        SymbolRecord* s2 = Design::SheetSymbol(root, "CHILD.SHX", {"IN", "OUT"});
        Design::Net(root, "A", {{r101, 1}, {s1, 0}});
        Design::Net(root, "B", {{s1, 1}, {s2, 0}});
        Design::Net(root, "C", {{s2, 1}, {r101, 0}});
        ComponentRecord* cres = Design::MakeComponent(child, "RES", "R", 1, 2);
        SymbolRecord* c1 = Design::Place(child, cres);
        SymbolRecord* in = Design::Port(child, "IN");
        SymbolRecord* out = Design::Port(child, "OUT");
        Design::Net(child, "IN", {{in, 0}, {c1, 0}});
        Design::Net(child, "OUT", {{c1, 1}, {out, 0}});
        top = d.AddNode(nullptr, "ROOT.SHX", 0);
        first = d.AddNode(top, "CHILD.SHX", s1->serial, "S1");
        second = d.AddNode(top, "CHILD.SHX", s2->serial, "S2");
        Design::SetAttribute(root, s2, "Skip", "1");
        d.Annotate("ROOT.SHX", r101, top, "R101");
        d.Annotate("ROOT.SHX", s1, top, "S1");
        d.Annotate("ROOT.SHX", s2, top, "SB2");
        d.Annotate("CHILD.SHX", c1, first, "R1");
        d.Annotate("CHILD.SHX", c1, second, "R2");
    }
};

TEST_F(ReportItemsTest, HierarchyAndPorts) {
    Hierarchy h;
    PlaceProject(h.d, "h.PRX");
    EXPECT_EQ(Output(h.d, "ITERATE SIMPLE HIERARCHY { WRITE \"[\" : SheetFile : \" \" : InstanceDepth : \"]\"; "
                          "ITERATE COMPONENTS BY RefDes { IF !Descend WRITE \" \" : RefDes }; "
                          "ITERATE PORTS BY PortName { WRITE \" \" : PortName } }"),
              "[ROOT.SHX 0] R101[CHILD.SHX 1] R1 IN OUT[CHILD.SHX 1] R2 IN OUT");
    EXPECT_EQ(Output(h.d, "ITERATE COMPLEX HIERARCHY BOTTOMUP { WRITE SheetFile : \" \" }"),
              "CHILD.SHX ROOT.SHX ");
    // A database built without MODULAR: the hierarchy loop, and so the ports loop, visit nothing.
    EXPECT_EQ(Output(h.d, "DATABASE; ITERATE SIMPLE HIERARCHY { ITERATE PORTS { WRITE PortName } }; WRITE \".\""),
              ".");
}

TEST_F(ReportItemsTest, DescentRulesKeepMarkedInstancesOut) {
    Hierarchy h;
    PlaceProject(h.d, "h.PRX");
    EXPECT_EQ(Output(h.d, "DESCENTRULES { IF Skip == \"1\" NODESCENT = 1 }; "
                          "ITERATE COMPONENTS BY RefDes { WRITE RefDes : \" \" }"),
              "R1 R101 ");
    // The marks last for the run only.
    EXPECT_EQ(h.second->flags & kSheetNodeNoDescent, 0);
    EXPECT_EQ(Output(h.d, "ITERATE COMPONENTS BY RefDes { WRITE RefDes : \" \" }"), "R1 R2 R101 ");
    // A sheet symbol answers its fields as on its sheet, in the context of the instance being
    // walked: a rule that names a sheet symbol by designator matches.
    EXPECT_EQ(Output(h.d, "DESCENTRULES { WRITE RefDes : \",\" : RefDesNQ : \",\" : RefDesPrefix : \",\" : "
                          "CompName : \",\" : SheetFile : \",\" : SubSheetFile : \";\" }"),
              "S1,S1,S,,ROOT.SHX,CHILD.SHX;SB2,SB2,SB,,ROOT.SHX,CHILD.SHX;");
    EXPECT_EQ(Output(h.d, "DESCENTRULES { IF RefDes == \"SB2\" NODESCENT = 1 }; "
                          "ITERATE COMPONENTS BY RefDes { WRITE RefDes : \" \" }"),
              "R1 R101 ");
}

}  // namespace
}  // namespace plexa::test
