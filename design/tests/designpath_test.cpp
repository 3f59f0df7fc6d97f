// The design path end to end, headless, in steps: a small project built in code (a root sheet
// with a source and two resistors with values, a child sheet used twice with a local RC), its
// sheets saved to files and loaded back, the project file made with the root as its top-level
// sheet and its hierarchy read from the sheet files, annotated (missing designators only) in every
// instance, the project file closed and opened again with the annotation in it, the SPICE netlist
// written with the shipped script (and run through a circuit simulator when one is installed),
// and the root sheet exported as DXF.
//
// Then the ECO path: the project exported as an ECO file, a part relabelled in a copy of that
// design state and carried back into every instance, and the rename reversed with a WAS-IS list.
// Each step is a member of the fixture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/root.h"
#include "design/annotate.h"
#include "design/dxfexport.h"
#include "design/ecoexport.h"
#include "design/ecostate.h"
#include "design/netlistdb.h"
#include "design/report_interp.h"
#include "design/tests/netlist_fixture.h"
#include "design/wasis.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetsave.h"
#include "files/sheetspec.h"
#include "files/tests/files_testing.h"
#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheetsymbols.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

using netfix::Design;

struct Part {
    const char* prefix;
    const char* value;
    Point at;
};

// The placed symbols of the design, by role.
struct Root {
    SymbolRecord *source, *upper, *lower, *ground, *firstUse, *secondUse;
};
struct Child {
    SymbolRecord *resistor, *capacitor, *in, *ground;
};

class DesignPathTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        ASSERT_EQ(InitSymbolPool(), 0);
        ASSERT_EQ(InitSheetLocalAnnotation(), 0);
        InstallCoreHooks();
        tree.Folder("amp");
        current = this;
        AnnotationHooks hooks = GetAnnotationHooks();
        hooks.openSheet = [](ProjectRecord* p, SheetSpec* spec) -> SheetRecord* {
            return current->OpenSheet(p, spec);
        };
        hooks.reportError = [](OSStatus code) { current->reported.push_back(code); };
        SetAnnotationHooks(hooks);
        ReportHooks report = GetReportHooks();
        report.alert = [](const char* message) { current->alerts.push_back(message); };
        SetReportHooks(report);
    }
    void TearDown() override {
        if (project) {
            EXPECT_EQ(status::kNoErr, CloseProject(project, kCloseProjectDiscard));
        }
        project = nullptr;
        for (auto& [name, sheet] : open) DestroySheet(sheet);
        open.clear();
        InstallCoreHooks();
        current = nullptr;
        ModelTest::TearDown();
    }

    static FileSpec SpecOf(const std::string& path) {
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
        return spec;
    }
    std::string Path(const std::string& name) { return tree.path("amp/" + name); }
    std::string NameOf(SheetSpec* spec) {
        char name[kFileSpecNameCapacity] = "";
        GetSheetSpecName(project, spec, name, sizeof name);
        return name;
    }
    // The loaded sheet of a spec of the project, given the spec and the project as its context.
    SheetRecord* OpenSheet(ProjectRecord* p, SheetSpec* spec) {
        if (p != project) return nullptr;
        auto it = open.find(NameOf(spec));
        if (it == open.end()) return nullptr;
        it->second->sheetSpec = spec;
        it->second->project = p;
        return it->second;
    }

    // ---- Drawing ----

    // A new sheet whose symbols all draw a 20 x 40 box with a pin at either end; power symbols
    // make their nets global.
    SheetRecord* NewSheet() {
        SheetRecord* s = CreateDrawing();
        EXPECT_NE(s, nullptr);
        if (!s) return nullptr;
        s->stored.nextSerial = 1;
        s->stored.resolution = 100;
        s->stored.scopeA = 2;
        LinkListHeader* elements = CreateElementList(s->imageList);
        LLAppend(elements, BuildNodeElement({10, 0}, {10, 10}, 1, 0, false, 0, false, 0, false, 0));
        LLAppend(elements, BuildNodeElement({10, 50}, {10, 40}, 1, 0, false, 1, false, 0, false, 0));
        LLAppend(elements, BuildCommonElement(kElementRect, {0, 10}, {20, 40}, 1, 0, 0, false, false, 0, false, 0,
                                              false));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, s->stringBlock, false, s->imageList);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        if (data) {
            mapIds[s] = AddSymbolToMap(s->symbolMap, *data, int32_t(SizeOfHandle(data)), s->imageList);
            MemFree(data);
        }
        return s;
    }

    // A two-pin part (pins numbered 1 and 2) drawn with the sheet's symbol.
    ComponentRecord* PartType(SheetRecord* s, const char* name, const char* prefix) {
        ComponentRecord* c = Design::MakeComponent(s, name, prefix, 1, 2);
        CompSymbols(c)[0].mapId = mapIds[s];
        CalcCompHash(c, s->stringBlock);
        return c;
    }
    SymbolRecord* Place(SheetRecord* s, ComponentRecord* type, const Part& part) {
        SymbolRecord* symbol = Design::Place(s, type, part.at.v, part.at.h);
        symbol->mapId = mapIds[s];
        symbol->libraryName = kNoLibraryName;
        Design::SetAttribute(s, symbol, "Value", part.value);
        return symbol;
    }
    // A sheet symbol for RC.SHX with its input port; its name names the instance.
    SymbolRecord* PlaceChildSheet(SheetRecord* s, const char* name, Point at) {
        SymbolRecord* symbol = CreateSheetSymbol();
        EXPECT_NE(symbol, nullptr);
        symbol->position = at;
        SetSheetSymbolFileName(symbol, s->stringBlock, "RC.SHX");
        SetSheetSymbolName(symbol, s->stringBlock, name);
        AddSymbolToSheet(s, symbol);
        EXPECT_EQ(CreateSheetSymbolPort(s, symbol, "IN", kPortTypeInput), 0);
        return symbol;
    }

    // The root: V1 (DC 5) from VIN to ground, the divider R1 (1k) VIN-A and R2 (2k) A-ground;
    // the first use of the child (LP1) takes A, the second (LP2) VIN.
    Root DrawRoot(SheetRecord* s) {
        ComponentRecord* vsrc = PartType(s, "VSRC", "V");
        ComponentRecord* res = PartType(s, "RES", "R");
        Root r{};
        r.source = Place(s, vsrc, {"V", "DC 5", {100, 50}});
        r.upper = Place(s, res, {"R", "1k", {100, 150}});
        r.lower = Place(s, res, {"R", "2k", {100, 250}});
        r.ground = Design::Power(s);
        r.firstUse = PlaceChildSheet(s, "LP1", {300, 100});
        r.secondUse = PlaceChildSheet(s, "LP2", {300, 300});
        Design::Net(s, "VIN", {{r.source, 0}, {r.upper, 0}, {r.secondUse, 0}});
        Design::Net(s, "A", {{r.upper, 1}, {r.lower, 0}, {r.firstUse, 0}});
        Design::Net(s, "GND", {{r.source, 1}, {r.lower, 1}, {r.ground, 0}});
        return r;
    }
    // The child: an RC low-pass from its port IN through the local net MID to ground.
    Child DrawChild(SheetRecord* s) {
        Child c{};
        c.resistor = Place(s, PartType(s, "RES", "R"), {"R", "10k", {100, 100}});
        c.capacitor = Place(s, PartType(s, "CAP", "C"), {"C", "100n", {100, 200}});
        c.in = Design::Port(s, "IN", kPortTypeInput);
        c.ground = Design::Power(s);
        Design::Net(s, "IN", {{c.in, 0}, {c.resistor, 0}});
        Design::Net(s, "MID", {{c.resistor, 1}, {c.capacitor, 0}});
        Design::Net(s, "GND", {{c.capacitor, 1}, {c.ground, 0}});
        return c;
    }

    // Saves the sheet into the project folder, frees it and loads it back as the open sheet of
    // that name.
    SheetRecord* SaveAndReload(SheetRecord* s, const std::string& name) {
        const FileSpec spec = SpecOf(Path(name));
        EXPECT_EQ(WriteSheetFile(s, &spec), 0) << name;
        DestroySheet(s);
        SheetRecord* back = nullptr;
        EXPECT_EQ(LoadSheetFile(&spec, &back), 0) << name;
        if (!back) return nullptr;
        back->fileSpec = spec;
        open[name] = back;
        return back;
    }

    // Step: both sheets drawn, saved and loaded back.
    void DrawAndSaveSheets() {
        SheetRecord* root = NewSheet();
        SheetRecord* child = NewSheet();
        ASSERT_TRUE(root && child);
        const Root r = DrawRoot(root);
        DrawChild(child);
        firstUse = r.firstUse->serial;
        secondUse = r.secondUse->serial;
        root = SaveAndReload(root, "ROOT.SHX");
        child = SaveAndReload(child, "RC.SHX");
        ASSERT_TRUE(root && child);
        EXPECT_EQ(int32_t(root->symbolList->count), 6);
        EXPECT_EQ(int32_t(child->symbolList->count), 4);
    }

    // ---- The project ----

    // The project's nodes: the root and its two uses of the child, by the sheet symbols' serials.
    struct Nodes {
        SheetNode *top = nullptr, *first = nullptr, *second = nullptr;
    };
    Nodes FindNodes() {
        Nodes n;
        n.top = project->hierarchy ? NextSheetNode(project->hierarchy, nullptr) : nullptr;
        n.first = GetSheetNodeChildFromParentSerial(n.top, firstUse);
        n.second = GetSheetNodeChildFromParentSerial(n.top, secondUse);
        return n;
    }

    // Step: the project file made beside the sheets, keeping designators itself, with the root as
    // its top-level sheet and the tree read from the sheet files.
    void CreateProject() {
        const FileSpec spec = SpecOf(Path("amp.PRX"));
        ASSERT_EQ(CreateProjectAt(&spec, [](ProjectRecord* p) {
                      p->settings.annotationFlags = 0;  // designators kept in the project
                      p->annotationOptions.prefixFilter[0] = 0;
                      int16_t count = int16_t(p->settings.attributeCount);
                      SetAttributeValue(p->strings, p->attributes, 0, &count, "SpiceCommands", ".op", nullptr);
                      p->settings.attributeCount = uint16_t(count);
                      return true;
                  }, &project),
                  0);
        ASSERT_NE(AddSubSheetReference(project, nullptr, "ROOT.SHX", "", 0, 0), nullptr);
        ASSERT_EQ(WriteProjectTopSheetRefs(project, true), 0);  // as the project window does
        ASSERT_EQ(BuildProjectHierarchy(project, 0), 0);
        const Nodes n = FindNodes();
        ASSERT_NE(n.top, nullptr);
        ASSERT_NE(n.first, nullptr) << "the sheet symbols' references are read from the root's file";
        ASSERT_NE(n.second, nullptr);
        EXPECT_EQ(NameOf(n.first->sheetSpec), "RC.SHX");
        EXPECT_EQ(n.first->sheetSpec, n.second->sheetSpec);
    }

    // Step: the project file written and closed, then opened again with its tree rebuilt.
    void SaveAndReopenProject() {
        for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
            ASSERT_EQ(SaveSheetInstancesAnnotation(project, spec, OpenSheet(project, spec)), 0) << NameOf(spec);
        for (auto& [name, sheet] : open) {
            EXPECT_EQ(status::kNoErr, SetSheetContext(sheet, nullptr, nullptr, false));
            sheet->sheetSpec = nullptr;
        }
        ASSERT_EQ(CloseProject(project, kCloseProjectAsk), 0);
        project = nullptr;
        ASSERT_EQ(gProjectList, nullptr);
        const FileSpec spec = SpecOf(Path("amp.PRX"));
        ASSERT_EQ(OpenProjectAt(&spec, &project), 0);
        EXPECT_EQ(project->settings.annotationFlags, 0);
        ASSERT_EQ(BuildProjectHierarchy(project, 0), 0);
        const Nodes n = FindNodes();
        ASSERT_NE(n.top, nullptr);
        ASSERT_NE(n.first, nullptr);
        ASSERT_NE(n.second, nullptr);
    }

    // ---- Annotation ----

    // "designator=value" of every part of the node's sheet, as the sheet shows them in the node's
    // instance.
    std::string Designators(SheetNode* node) {
        SheetRecord* s = OpenSheet(project, node->sheetSpec);
        if (!s) return "no sheet";
        SheetInstance* instance = RetrieveSheetInstance(project, node, false);
        if (!instance) return "no instance";
        EXPECT_EQ(SetSheetContext(s, project, instance, false), 0);
        std::string out;
        for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(s->symbolList)); symbol; symbol = symbol->next) {
            if (!symbol->component) continue;
            char text[kAnnotationTextSize] = "";
            GetSymbolAnnotation(s, symbol->serial, text);
            char value[kSymbolTextSize] = "";
            GetSymbolAttribute(symbol, s->stringBlock, "Value", value);
            out += std::string(out.empty() ? "" : " ") + (text[0] ? text : "?") + "=" + value;
        }
        return out;
    }
    std::string AllDesignators() {
        const Nodes n = FindNodes();
        return Designators(n.top) + " | " + Designators(n.first) + " | " + Designators(n.second);
    }

    // Step: missing designators given in every instance; a second run changes nothing.
    void AnnotateMissing() {
        ASSERT_EQ(Annotate(project, nullptr, kAnnotAssignMissing, 1, true, kAnnotUnlimitedDepth), 0);
        EXPECT_TRUE(reported.empty());
        const Nodes n = FindNodes();
        EXPECT_EQ(Designators(n.top), "V1=DC 5 R1=1k R2=2k");
        const std::string a = Designators(n.first), b = Designators(n.second);
        EXPECT_TRUE((a == "R3=10k C1=100n" && b == "R4=10k C2=100n") ||
                    (a == "R4=10k C2=100n" && b == "R3=10k C1=100n"))
            << a << " / " << b;
        const std::string all = AllDesignators();
        ASSERT_EQ(Annotate(project, nullptr, kAnnotAssignMissing, 1, true, kAnnotUnlimitedDepth), 0);
        EXPECT_EQ(AllDesignators(), all);
    }

    // ---- The SPICE netlist ----

    // Step: the shipped script's netlist beside the project file; its text.
    std::string WriteSpiceNetlist() {
        FileSpec script = SpecOf(SourcePath("resources/scripts/SPICE Netlist.SXP")), output{};
        EXPECT_EQ(RunReportScriptFile(project, nullptr, true, 9999, &script, &output), 0)
            << (alerts.empty() ? "" : alerts[0]);
        EXPECT_TRUE(alerts.empty()) << alerts[0];
        EXPECT_STREQ(output.name, "amp.cir");
        std::string text;
        EXPECT_TRUE(ReadFile(Path("amp.cir"), text));
        return text;
    }

    // Step: the netlist's operating point. Its node voltages ("name" -> volts), empty when no
    // simulator is installed.
    std::map<std::string, double> Simulate(const std::string& netlist, const std::vector<std::string>& nodes) {
        std::map<std::string, double> volts;
        if (std::system("command -v ngspice >/dev/null 2>&1") != 0) return volts;
        std::string control = ".control\nop\nprint";
        for (const std::string& node : nodes) control += " v(" + node + ")";
        control += "\n.endc\n";
        const size_t end = netlist.rfind(".end\n");
        EXPECT_NE(end, std::string::npos);
        if (end == std::string::npos) return volts;
        WriteFile(Path("sim.cir"), netlist.substr(0, end) + control + ".end\n");
        const std::string command = "ngspice -b \"" + Path("sim.cir") + "\" > \"" + Path("sim.log") + "\" 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0);
        std::string log;
        ReadFile(Path("sim.log"), log);
        for (const std::string& node : nodes) {
            std::string key = "v(" + node + ") = ";
            for (char& c : key) c = char(std::tolower(static_cast<unsigned char>(c)));
            const size_t at = log.find(key);
            EXPECT_NE(at, std::string::npos) << key << "\n" << log;
            if (at != std::string::npos) volts[node] = std::strtod(log.c_str() + at + key.size(), nullptr);
        }
        return volts;
    }

    // The name of the node as the tree shows it, which qualifies its local nets.
    std::string NodeName(SheetNode* node) {
        char name[kFileSpecNameCapacity] = "";
        GetSheetNodeName(project, node, name, sizeof name);
        std::string text = name;
        if (text.size() > 4 && text.substr(text.size() - 4) == ".SHX") text.resize(text.size() - 4);
        return text;
    }
    // The local node MID of each use of the child, by the instances' names.
    std::pair<std::string, std::string> ChildMids() {
        const Nodes n = FindNodes();
        return {"MID:" + NodeName(n.first), "MID:" + NodeName(n.second)};
    }

    // Step: the netlist's lines. The child's RC comes once per instance, its local node MID
    // qualified with the instance's name; the ports take the parent's nets.
    void CheckSpiceNetlist(const std::string& netlist) {
        const Nodes n = FindNodes();
        const auto [mid1, mid2] = ChildMids();
        EXPECT_NE(mid1, mid2);
        const std::string a = Designators(n.first), b = Designators(n.second);
        const bool firstIsThree = a.rfind("R3=", 0) == 0;
        EXPECT_EQ(b.rfind(firstIsThree ? "R4=" : "R3=", 0), 0u) << a << " / " << b;
        const std::string r1 = firstIsThree ? "R3" : "R4", r2 = firstIsThree ? "R4" : "R3";
        const std::string c1 = firstIsThree ? "C1" : "C2", c2 = firstIsThree ? "C2" : "C1";
        std::map<std::string, std::string> lines = {
            {"V1", "V1 VIN 0 DC 5"},
            {"R1", "R1 VIN A 1k"},
            {"R2", "R2 A 0 2k"},
            {r1, r1 + " A " + mid1 + " 10k"},
            {c1, c1 + " " + mid1 + " 0 100n"},
            {r2, r2 + " VIN " + mid2 + " 10k"},
            {c2, c2 + " " + mid2 + " 0 100n"},
        };
        std::string expected = "* amp\n";
        for (const auto& [refdes, line] : lines) expected += line + "\n";  // C1 C2 R1 ... V1: by designator
        expected += ".op\n.end\n";
        EXPECT_EQ(netlist, expected);
    }

    // The database's dump for the build flags.
    std::string DatabaseDump(uint16_t flags) {
        UnifiedDBRecord db;
        InitUnifiedDB(&db);
        EXPECT_EQ(CreateUnifiedDB(project, nullptr, flags, &db), 0);
        std::string dump = DumpUnifiedDB(&db);
        DestroyUnifiedDB(&db);
        return dump;
    }

    // Step: a plain build keeps the child's local net apart per use, one qualified net each; a
    // modular build keeps one net per sheet and gives the sheet-symbol rows their names as parts.
    void CheckPlainAndModularNetlists() {
        const std::string plain = DatabaseDump(kUDBDescend);
        std::vector<std::string> mids;
        for (size_t at = plain.find("\nnet "); at != std::string::npos; at = plain.find("\nnet ", at + 1)) {
            const std::string line = plain.substr(at + 1, plain.find('\n', at + 1) - at - 1);
            if (line.find("MID scope=local") != std::string::npos) mids.push_back(line.substr(4, line.find(' ', 4) - 4));
        }
        ASSERT_EQ(mids.size(), 2u) << plain;
        EXPECT_NE(mids[0], mids[1]);
        for (const std::string& mid : mids) EXPECT_NE(mid, "MID") << plain;
        const std::string modular = DatabaseDump(kUDBDescend | kUDBModular);
        EXPECT_NE(modular.find("part=LP1 slots=1 sheet=1 subsheet attrs=~SUB=RC.SHX"), std::string::npos) << modular;
        EXPECT_NE(modular.find("part=LP2 slots=1 sheet=1 subsheet attrs=~SUB=RC.SHX"), std::string::npos) << modular;
        EXPECT_NE(modular.find("net MID scope=local sheet=0 shared\n"), std::string::npos) << modular;
    }

    // Step: the shipped bill of materials over both uses of the child: the child's parts once per
    // use, footprints from the packages (which have no footprint of their own: their names).
    void CheckBillOfMaterials() {
        FileSpec script = SpecOf(SourcePath("resources/scripts/Bill of Materials.SXP")), output{};
        ASSERT_EQ(RunReportScriptFile(project, nullptr, true, 9999, &script, &output), 0)
            << (alerts.empty() ? "" : alerts[0]);
        std::string text;
        ASSERT_TRUE(ReadFile(Path("amp BOM.txt"), text));
        EXPECT_EQ(text,
                  "Bill of Materials for amp.PRX\n"
                  "Qty\tValue\tPart\tFootprint\tDesignators\n"
                  "2\t100n\tCAP\tPKG\tC1, C2\n"
                  "1\t1k\tRES\tPKG\tR1\n"
                  "1\t2k\tRES\tPKG\tR2\n"
                  "2\t10k\tRES\tPKG\tR3, R4\n"
                  "1\tDC 5\tVSRC\tPKG\tV1\n");
    }

    // Step: with designators qualified and the project's qualifiers in front, every element line
    // of the netlist still starts with its designator's element letter: the simulator's build puts
    // the qualifiers behind the names. The child's parts carry their instance's name.
    void CheckQualifiedDesignatorsKeepTheirLetters() {
        const ProjectSettings kept = project->settings;
        project->settings.qualifyDesignators = 1;
        project->settings.instanceNamePlace = 0;
        const std::string netlist = WriteSpiceNetlist();
        project->settings = kept;
        const Nodes n = FindNodes();
        const std::string first = ":" + NodeName(n.first), second = ":" + NodeName(n.second);
        int32_t elements = 0, qualified = 0;
        for (size_t at = 0, end; at < netlist.size(); at = end + 1) {
            end = netlist.find('\n', at);
            if (end == std::string::npos) end = netlist.size();
            const std::string line = netlist.substr(at, end - at);
            if (line.empty() || line[0] == '*' || line[0] == '.') continue;
            ++elements;
            EXPECT_NE(std::string("RCV").find(line[0]), std::string::npos) << line;
            const std::string name = line.substr(0, line.find(' '));
            qualified += name.find(first) != std::string::npos || name.find(second) != std::string::npos;
        }
        EXPECT_EQ(elements, 7) << netlist;
        EXPECT_EQ(qualified, 4) << netlist;  // R and C of each use of the child
    }

    // Step: the operating point when a simulator is installed: the divider gives A = 5 V * 2k / 3k,
    // and each instance's MID sits at its own input (no current flows into the capacitors).
    void SimulateSpiceNetlist(const std::string& netlist) {
        const auto [mid1, mid2] = ChildMids();
        const std::map<std::string, double> volts = Simulate(netlist, {"VIN", "A", mid1, mid2});
        if (volts.empty()) {
            std::cout << "no circuit simulator (ngspice) is installed; the simulation step is skipped\n";
            return;
        }
        const auto at = [&](const std::string& node) {
            const auto it = volts.find(node);
            return it == volts.end() ? -1e9 : it->second;
        };
        EXPECT_NEAR(at("VIN"), 5.0, 1e-6);
        EXPECT_NEAR(at("A"), 10.0 / 3.0, 1e-6);
        EXPECT_NEAR(at(mid1), 10.0 / 3.0, 1e-6);
        EXPECT_NEAR(at(mid2), 5.0, 1e-6);
    }

    // ---- DXF ----

    // Step: the root sheet as DXF, one block and one reference per placed symbol.
    void ExportRootAsDXF() {
        SheetRecord* root = open["ROOT.SHX"];
        const FileSpec dxf = SpecOf(Path("ROOT.DXF"));
        ASSERT_EQ(WriteDXFSheet(root, &dxf), 0);
        std::string bytes;
        ASSERT_TRUE(ReadFile(Path("ROOT.DXF"), bytes));
        int32_t blocks = 0, inserts = 0;
        for (size_t at = bytes.find("\r\n2\r\nDXF_BLK_"); at != std::string::npos;
             at = bytes.find("\r\n2\r\nDXF_BLK_", at + 1)) {
            const size_t entity = bytes.rfind("\r\n0\r\n", at);
            const std::string type = bytes.substr(entity + 5, bytes.find("\r\n", entity + 5) - entity - 5);
            blocks += type == "BLOCK";
            inserts += type == "INSERT";
        }
        EXPECT_EQ(blocks, int32_t(root->symbolList->count));
        EXPECT_EQ(inserts, int32_t(root->symbolList->count));
    }

    // ---- ECO ----

    // Step: the project exported as an ECO file; the layout program renames R3 (in one use of the
    // child sheet) to R30, back-annotation carries that into the project, and a WAS-IS list
    // carries it back.
    void ExportECOAndBackAnnotate() {
        ECOHooks eco = GetECOHooks();
        eco.reportError = [](OSStatus code) { current->reported.push_back(code); };
        SetECOHooks(eco);
        BackAnnotHooks back = GetBackAnnotHooks();
        back.alert = [](const char* message) { current->alerts.push_back(message); };
        SetBackAnnotHooks(back);

        const std::string ecoPath = Path("amp.ECO");
        ASSERT_EQ(ExportECOFile(project, ecoPath.c_str()), 0);
        DesignStateRecord state;
        ASSERT_EQ(ReadDesignStateFile(ecoPath.c_str(), &state, false), 0);
        std::vector<std::string> designators;
        int32_t relabelled = -1;
        for (size_t i = 0; i < state.designators.size(); ++i) {
            char text[kStringSpecBufferSize];
            GetECOCompRefDes(&state, int32_t(i), text);
            designators.push_back(text);
            if (std::string(text) == "R3") relabelled = int32_t(i);
        }
        std::sort(designators.begin(), designators.end());
        EXPECT_EQ(designators, (std::vector<std::string>{"C1", "C2", "R1", "R2", "R3", "R4", "V1"}));
        EXPECT_GT(GetECOPinListSize(&state), 0);
        ASSERT_GE(relabelled, 0);

        state.designators[size_t(relabelled)] = AppendStringBlock(state.strings, "R30", 3, nullptr);
        SetDesignStateInfo(&state, "amp", 0, kStateKindPCB);
        const std::string pcbPath = Path("PCB.ECO");
        ASSERT_EQ(WriteDesignStateFile(pcbPath.c_str(), &state), 0);
        EmptyDesignState(&state);

        const std::string before = AllDesignators();
        const size_t at = before.find("R3=");
        ASSERT_NE(at, std::string::npos);
        const std::string after = std::string(before).replace(at, 3, "R30=");
        ASSERT_EQ(BackAnnotateFile(project, pcbPath.c_str()), 0);
        EXPECT_TRUE(reported.empty());
        EXPECT_TRUE(alerts.empty()) << alerts[0];
        EXPECT_EQ(AllDesignators(), after);

        ASSERT_TRUE(WriteFile(Path("BACK.TXT"), "WAS\tIS\n\"R30\"\t\"R3\"\n"));
        ASSERT_EQ(BackAnnotateFile(project, Path("BACK.TXT").c_str()), 0);
        EXPECT_EQ(AllDesignators(), before);
        EXPECT_TRUE(reported.empty());
    }

    Tree tree;
    ProjectRecord* project = nullptr;
    std::map<std::string, SheetRecord*> open;
    std::map<SheetRecord*, int32_t> mapIds;
    uint32_t firstUse = 0, secondUse = 0;
    std::vector<OSStatus> reported;
    std::vector<std::string> alerts;
    static inline DesignPathTest* current = nullptr;
};

TEST_F(DesignPathTest, BuildSaveReopenAnnotateNetlistAndExport) {
    ASSERT_NO_FATAL_FAILURE(DrawAndSaveSheets());
    ASSERT_NO_FATAL_FAILURE(CreateProject());
    ASSERT_NO_FATAL_FAILURE(AnnotateMissing());
    const std::string annotated = AllDesignators();

    ASSERT_NO_FATAL_FAILURE(SaveAndReopenProject());
    EXPECT_EQ(AllDesignators(), annotated) << "the designators come back from the project file";

    const std::string netlist = WriteSpiceNetlist();
    CheckSpiceNetlist(netlist);
    CheckPlainAndModularNetlists();
    CheckBillOfMaterials();
    SimulateSpiceNetlist(netlist);
    CheckQualifiedDesignatorsKeepTheirLetters();

    ASSERT_NO_FATAL_FAILURE(ExportRootAsDXF());

    ASSERT_NO_FATAL_FAILURE(ExportECOAndBackAnnotate());
}

}  // namespace
}  // namespace plexa::test
