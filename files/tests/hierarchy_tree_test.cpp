// The hierarchy tree of a fixture project on disk (a top sheet, a sheet used twice, a sheet that
// contains itself, a missing child, a missing top-level sheet): the printed tree with names and
// instance paths, the check's log codes; and the loader's refusal of a newer file.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/root.h"
#include "files/filesstate.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/pathspec.h"
#include "files/sheetload.h"
#include "files/tests/files_testing.h"
#include "files/tests/hierarchy_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "model/annotation.h"
#include "model/fieldexpand.h"
#include "model/sheetsymbols.h"
#include "model/symbols.h"
#include "model/texts.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;

class HierarchyTree : public SheetFileTest {
protected:
    void SetUp() override {
        StartModelForSheets();
        defaults.emplace();
        SheetFileTest::SetUp();
        gLog.clear();
        HierarchyHooks hooks = GetHierarchyHooks();
        hooks.log = [](ProjectRecord*, const HierarchyLogEntry& e) {
            char code[16];
            std::snprintf(code, sizeof code, "%08X", unsigned(e.code));
            gLog.push_back(std::string(code) + " " + e.text + " | " + e.detail);
        };
        hooks.logEmpty = [](ProjectRecord*) { return gLog.empty(); };
        SetHierarchyHooks(hooks);
    }
    void TearDown() override {
        SheetFileTest::TearDown();
        defaults.reset();
    }
    void SaveSheet(const std::string& name, const std::vector<std::string>& children,
                   const std::function<void(SheetRecord*)>& more = {}, const std::vector<std::string>& fileSymbols = {}) {
        tree.Folder("p");
        SaveHierarchySheet(tree.path("p/" + name), children, more, fileSymbols);
    }
    static std::string Print(ProjectRecord* project) {
        std::string out;
        for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
            char name[256], path[256];
            GetSheetNodeName(project, n, name, sizeof name);
            BuildSheetInstancePath(project, n, nullptr, nullptr, 2, path, sizeof path);
            out += std::string(size_t(n->depth) * 2, ' ') + name + " [" + path + "]" +
                   (n->flags & kSheetNodeCircular ? " circular" : "") + "\n";
        }
        return out;
    }
    std::optional<BuiltInDefaults> defaults;
    Tree tree;
};

// The fixture: Top holds Amp twice, Loop (which holds itself) and a missing Gone; a top-level
// sheet Missing has no file. The designators come from the top sheet's instance annotation.
class FixtureProject : public HierarchyTree {
protected:
    void SetUp() override {
        HierarchyTree::SetUp();
        SaveSheet("Top.SHX", {"Amp.SHX", "Amp.SHX", "Loop.SHX", "Gone.SHX"});
        SaveSheet("Amp.SHX", {});
        SaveSheet("Loop.SHX", {"Loop.SHX"});
        project = std::make_unique<TestProject>(tree.Dir("p"));
        (*project)->settings.annotationFlags = 0;  // annotation kept per instance by the project
        ASSERT_TRUE(AddPathSpecToList((*project)->paths, tree.Dir("p"), kPathRootDefault, 14, false));
        ASSERT_TRUE(AddSubSheetReference(P(), nullptr, "Top.SHX", "Top.SHX", 0, 0));
        ASSERT_TRUE(AddSubSheetReference(P(), nullptr, "Missing.SHX", "Missing.SHX", 0, 0));
        ASSERT_EQ(BuildProjectHierarchy(P(), 0), 0);
        Annotate(P()->hierarchy->first, {{1, "AMP10"}, {2, "AMP9"}, {3, "LOOP"}, {4, "GONE"}});
        Annotate(GetSheetNodeChildFromParentSerial(P()->hierarchy->first, 3), {{1, "SELF"}});
    }
    ProjectRecord* P() { return project->get(); }
    void Annotate(SheetNode* node, const std::vector<std::pair<uint32_t, const char*>>& designators) {
        SheetInstance* instance = RetrieveSheetInstance(P(), node, true);
        ASSERT_TRUE(instance);
        for (const auto& [serial, text] : designators)
            ASSERT_TRUE(SetInstanceAnnotation(P(), instance, serial, text, 0));
    }
    SheetNode* Named(const char* name) {
        for (SheetNode* n = NextSheetNode(P()->hierarchy, nullptr); n; n = NextSheetNode(P()->hierarchy, n)) {
            char text[256];
            GetSheetNodeName(P(), n, text, sizeof text);
            if (std::string(text) == name) return n;
        }
        return nullptr;
    }
    std::unique_ptr<TestProject> project;
};

TEST_F(FixtureProject, TreeAndCheck) {
    EXPECT_EQ(CheckProjectHierarchy(P(), true, true), 0);
    EXPECT_EQ(Print(P()),
              "Top.SHX [Test.:Top]\n"
              "  AMP9 [Test.:Top:AMP9]\n"
              "  AMP10 [Test.:Top:AMP10]\n"
              "  GONE [Test.:Top:GONE]\n"
              "  LOOP [Test.:Top:LOOP]\n"
              "    SELF [Test.:Top:LOOP:SELF] circular\n"
              "Missing.SHX [Test.:Missing]\n");
    EXPECT_EQ(gLog, (std::vector<std::string>{
                        "2000003A Top-Level sheet was not found. | Sheet Name: Missing.SHX",
                        "20000034 Symbol's child sheet was not found. | \"Gone.SHX\" referenced from \"GONE\" in Sheet \"Top.SHX\"",
                        "20000039 Circular reference in the project hierarchy | \"Loop.SHX\" referenced by \"Loop.SHX\"",
                    }));
}

TEST_F(FixtureProject, RebuildKeepsInstancesRowStatesAndNamesWithoutLoadingWhenAsked) {
    ASSERT_TRUE(UpdateProjectHierarchy(P(), kHierarchyRebuild));
    SheetNode* amp9 = Named("AMP9");
    ASSERT_TRUE(amp9);
    SheetInstance* kept = RetrieveSheetInstance(P(), amp9, true);
    P()->hierarchy->first->expanded = 1;
    Named("LOOP")->expanded = 1;
    amp9->selected = 1;
    // A new designator: a rebuild that names from the instances does not read the sheet.
    Annotate(P()->hierarchy->first, {{2, "AMP2"}});
    ASSERT_TRUE(UpdateProjectHierarchy(P(), kHierarchyBeforeReport));
    ASSERT_TRUE(Named("AMP9"));
    EXPECT_FALSE(Named("AMP2"));
    EXPECT_EQ(RetrieveSheetInstance(P(), Named("AMP9"), false), kept);
    ASSERT_TRUE(UpdateProjectHierarchy(P(), kHierarchyRebuild));
    SheetNode* renamed = Named("AMP2");
    ASSERT_TRUE(renamed);
    EXPECT_EQ(RetrieveSheetInstance(P(), renamed, false), kept);
    EXPECT_TRUE(renamed->selected);
    EXPECT_TRUE(P()->hierarchy->first->expanded);
    EXPECT_TRUE(Named("LOOP")->expanded);
    EXPECT_FALSE(Named("AMP10")->selected);
    // Nothing is rebuilt for a clean tree without reason bit 0.
    EXPECT_FALSE(UpdateProjectHierarchy(P(), kHierarchyKeepNames));
}

TEST_F(FixtureProject, RemovingAMissingTopLevelSheetAsksTheRenameQuestionEvenWhenQuiet) {
    static std::vector<std::string> asked;
    static bool answer;
    asked.clear();
    HierarchyHooks hooks = GetHierarchyHooks();
    hooks.ask = [](const char* message, const char*, const char* second) {
        asked.push_back(std::string(message) + " / " + second);
        return answer;
    };
    SetHierarchyHooks(hooks);
    SheetNode* missing = P()->hierarchy->first->next;
    missing->selected = 1;
    answer = false;
    RemoveSelectedProjectSheets(P(), true);
    EXPECT_EQ(asked, std::vector<std::string>{"If you are removing a sheet because its name has changed, you should "
                                              "Cancel and Rename it instead. / Remove"});
    EXPECT_EQ(GetTopLevelSheetOrder(P(), missing->sheetSpec), 2);
    answer = true;
    RemoveSelectedProjectSheets(P(), true);
    EXPECT_EQ(P()->topLevelSheets->count, 1u);
    EXPECT_EQ(Print(P()).find("Missing"), std::string::npos);
    // A present sheet, quiet: no question.
    asked.clear();
    P()->hierarchy->first->selected = 1;
    RemoveSelectedProjectSheets(P(), true);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(P()->topLevelSheets->count, 0u);
    EXPECT_EQ(P()->hierarchy->count, 0u);
}

// A project whose string block is full (its strings must start within 4 MiB) cannot take the
// name of a new designator: the build says why, with kStringBlockFull, and keeps every node.
TEST_F(FixtureProject, ANameThatDoesNotFitTheProjectsStringsStopsTheBuildAndSaysWhy) {
    static std::vector<std::string> reported;
    reported.clear();
    HierarchyHooks hooks = GetHierarchyHooks();
    hooks.report = [](OSStatus status, const char* message) {
        reported.push_back(std::string(message) + " / " + std::to_string(status));
    };
    SetHierarchyHooks(hooks);
    const std::string filler(kStringSpecMaxLength, '#');
    while (reinterpret_cast<const StringBlockHeader*>(*P()->strings)->used < kStringBlockOffsetLimit)
        ASSERT_NE(AppendStringBlock(P()->strings, filler.data(), uint32_t(filler.size()), nullptr), 0u);
    // The third child (by serial) takes a new name, after two that are named already.
    Annotate(P()->hierarchy->first, {{3, "LOOP77"}});

    EXPECT_EQ(BuildProjectHierarchy(P(), 0), status::kStringBlockFull);
    EXPECT_EQ(reported, (std::vector<std::string>{"The names of the project's sheet instances could not be stored / " +
                                                  std::to_string(status::kStringBlockFull)}));
    int32_t children = 0;
    SheetNode* last = nullptr;
    for (SheetNode* n = P()->hierarchy->first->firstChild; n; n = n->next, ++children) last = n;
    EXPECT_EQ(children, 4);
    EXPECT_EQ(P()->hierarchy->first->lastChild, last);
}

TEST_F(FixtureProject, TopLevelSheetsAreAddedAndRenamed) {
    tree.Folder("q");
    SaveSheet("../q/Extra.SHX", {});
    FileSpec extra = SheetSpecOf(tree.path("q/Extra.SHX"));
    EXPECT_TRUE(AddTopLevelSheetToProject(P(), &extra));
    EXPECT_FALSE(AddTopLevelSheetToProject(P(), &extra));
    // The sheet's folder joined the project's sheet paths.
    SheetSpec* spec = GetNamedSheetSpec(P(), "Extra.SHX", nullptr);
    FileSpec found;
    EXPECT_TRUE(ResolveSheetSpecFile(P(), spec, &found, nullptr));
    EXPECT_EQ(GetTopLevelSheetOrder(P(), spec), 3);
    // Renamed to the missing file's name's replacement: the instance moves along.
    SheetNode* top = P()->hierarchy->first;
    SheetInstance* instance = RetrieveSheetInstance(P(), top, true);
    EXPECT_TRUE(ChangeTopLevelSheetName(P(), top, "top.shx"));
    EXPECT_FALSE(ChangeTopLevelSheetName(P(), P()->hierarchy->first, "Extra.SHX"));
    EXPECT_TRUE(ChangeTopLevelSheetName(P(), P()->hierarchy->first, "Amp.SHX"));
    char name[160];
    GetSheetNodeName(P(), P()->hierarchy->first, name, sizeof name);
    EXPECT_STREQ(name, "Amp.SHX");
    EXPECT_EQ(RetrieveSheetInstance(P(), P()->hierarchy->first, false), instance);
    EXPECT_EQ(P()->hierarchy->first->firstChild, nullptr);
}

TEST_F(FixtureProject, AFileSymbolThatItsChildDoesNotDefineIsLogged) {
    SaveSheet("Chip.SHX", {}, {}, {"DEFINED"});
    SaveSheet("Top.SHX", {}, [](SheetRecord* sheet) {
        PlaceFileSymbolOn(sheet, "Chip.SHX", "UNDEFINED");
        PlaceFileSymbolOn(sheet, "Chip.SHX", "defined");
    });
    gLog.clear();
    EXPECT_EQ(CheckProjectHierarchy(P(), true, true), 0);
    EXPECT_EQ(gLog, (std::vector<std::string>{
                        "2000003A Top-Level sheet was not found. | Sheet Name: Missing.SHX",
                        "20000038 Symbol's definition was not found in its referenced child sheet. | "
                        "\"UNDEFINED\" referenced from \"AMP10\" in Sheet \"Top.SHX\"",
                    }));
}

// A sheet symbol on Top whose ports are compared with its child Chip.SHX.
class PortCheck : public FixtureProject {
protected:
    void SetUp() override {
        FixtureProject::SetUp();
        top.emplace();
        symbol = top->Symbol(kSymbolSheetSymbol);
        symbol->sheetSymbolData = CreateSheetSymbolPorts();
        (*top)->sheetSpec = GetNamedSheetSpec(P(), "Top.SHX", nullptr);
        chipSpec = AddSheetSpecToProject(P(), "Chip.SHX");
    }
    void TearDown() override {
        ReleaseCachedProjectSheets(P());
        MemFree(symbol->sheetSymbolData);
        symbol->sheetSymbolData = nullptr;
        top.reset();
        FixtureProject::TearDown();
    }
    void SymbolPorts(std::initializer_list<std::pair<const char*, int>> ports) {
        for (const auto& [name, flags] : ports)
            ASSERT_GE(AppendSubSheetPort(symbol->sheetSymbolData, (*top)->stringBlock, name, uint16_t(flags), kSheetPortNewSlot), 0);
    }
    // Places the named module ports on a sheet.
    static void PlacePorts(SheetRecord* sheet, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            SymbolRecord* port = CreateSymbol();
            ASSERT_TRUE(port);
            port->flags = kSymbolFlagPort | kSymbolFlagModulePort;
            SetPortSymbolName(sheet, port, name);
            AddSymbolToSheet(sheet, port);
        }
    }
    std::vector<std::string> Check() {
        FileSpec child = SheetSpecOf(tree.path("p/Chip.SHX"));
        gLog.clear();
        CheckSymbolsSubSheetConnections(P(), top->get(), nullptr, symbol, "X1", &child, chipSpec, nullptr);
        return gLog;
    }
    std::optional<TestSheet> top;
    SymbolRecord* symbol = nullptr;
    SheetSpec* chipSpec = nullptr;
};

TEST_F(PortCheck, PortsThatDifferBetweenASymbolAndItsChildAreLogged) {
    SheetExportsTable exports = MakeExports({{"CLK", 0, 7, 0, 0}, {"D[0:1]", 0, 8, 0, kExportBussPort}, {"RST", 0, 9, 0, 0}});
    TestSheet chip;
    WriteTestSheetFile(tree.path("p/Chip.SHX"), chip, exports);
    DestroySheetExportsTable(exports);
    SymbolPorts({{"clk", 0}, {"D[0:1]", kSheetPortBuss}, {"EN", 0}, {"", 0}});
    EXPECT_EQ(Check(), (std::vector<std::string>{
                           "20000033 Port missing from child sheet. | Port \"EN\" on Symbol \"X1\" in Sheet \"Top.SHX\"",
                           "20000032 Port is not referenced from parent sheet. | Port \"RST\" in Sheet \"Chip.SHX\"",
                       }));
}

TEST_F(PortCheck, AnOpenChildIsComparedWithItsUnsavedPorts) {
    // The save writes the child's ports into its file.
    SaveSheet("Chip.SHX", {}, [](SheetRecord* sheet) { PlacePorts(sheet, {"CLK", "RST"}); });
    SymbolPorts({{"clk", 0}, {"EN", 0}});
    EXPECT_EQ(Check(), (std::vector<std::string>{
                           "20000033 Port missing from child sheet. | Port \"EN\" on Symbol \"X1\" in Sheet \"Top.SHX\"",
                           "20000032 Port is not referenced from parent sheet. | Port \"RST\" in Sheet \"Chip.SHX\"",
                       }));
    // Open, with a port added and not saved: the open sheet is what counts.
    FileSpec file = SheetSpecOf(tree.path("p/Chip.SHX"));
    SheetRecord* open = nullptr;
    ASSERT_EQ(LoadProjectCacheSheet(P(), chipSpec, &file, &open), 0);
    PlacePorts(open, {"EN"});
    EXPECT_EQ(Check(), (std::vector<std::string>{
                           "20000032 Port is not referenced from parent sheet. | Port \"RST\" in Sheet \"Chip.SHX\"",
                       }));
}

// Resetting the file layer frees the sheets a project loaded without windows: a later project at
// the same address must not find them.
TEST_F(PortCheck, ResettingTheFileLayerFreesTheSheetsAProjectCached) {
    SaveSheet("Chip.SHX", {});
    FileSpec file = SheetSpecOf(tree.path("p/Chip.SHX"));
    SheetRecord* cached = nullptr;
    ASSERT_EQ(LoadProjectCacheSheet(P(), chipSpec, &file, &cached), 0);
    EXPECT_EQ(GetCachedProjectSheet(P(), &file, false), cached);
    ResetFilesForTesting();
    EXPECT_EQ(GetCachedProjectSheet(P(), &file, false), nullptr);
}

// A sheet's fields in its context: the project's and those of its instance's tree node.
TEST_F(FixtureProject, TheFieldsOfTheProjectAndOfTheTreeNodeOfASheetsInstance) {
    FileSpec file = SheetSpecOf(tree.path("p/Amp.SHX"));
    SheetRecord* sheet = nullptr;
    ASSERT_EQ(LoadSchematicSheet(&file, &sheet, nullptr), 0);
    ASSERT_EQ(CheckProjectHierarchy(P(), true, true), 0);  // the nodes take their designators' names
    SheetNode* top = P()->hierarchy->first;
    for (SheetNode* node : {Named("AMP10"), top}) {
        ASSERT_NE(node, nullptr);
        sheet->project = P();
        sheet->hierarchyContext = RetrieveSheetInstance(P(), node, true);
        DataContextChain* chain = BuildSheetContextChain(sheet, P());
        ASSERT_NE(chain, nullptr);
        std::string values;
        for (const char* name : {"ProjectFile", "ProjectFolder", "TopCount", "InstancePath", "InstanceDepth",
                                 "SheetOrder"}) {
            char value[kFieldValueSize];
            ExpandCtxChainValue(chain, name, value, sizeof value);
            values += std::string(name) + "=" + value + ";";
        }
        DestroyDataCtxChain(chain);
        const std::string folder = tree.path("p") + "/";  // a folder path ends in its delimiter
        EXPECT_EQ(values, node == top ? "ProjectFile=Test.PRX;ProjectFolder=" + folder +
                                            ";TopCount=2;InstancePath=Top;InstanceDepth=0;SheetOrder=1;"
                                      : "ProjectFile=Test.PRX;ProjectFolder=" + folder +
                                            ";TopCount=2;InstancePath=Top:AMP10;InstanceDepth=1;SheetOrder=;");
    }
    sheet->project = nullptr;
    sheet->hierarchyContext = nullptr;
    DestroySheet(sheet);
}

TEST_F(FixtureProject, ASheetInContextShowsItsInstancesDesignatorsAndUpdatesItsChildrenOnce) {
    static int updates;
    updates = 0;
    HierarchyHooks hooks = GetHierarchyHooks();
    hooks.updateChildSymbols = [](SheetRecord*, bool interactive, bool) {
        EXPECT_FALSE(interactive);
        ++updates;
        return OSStatus(0);
    };
    SetHierarchyHooks(hooks);
    FileSpec file = SheetSpecOf(tree.path("p/Top.SHX"));
    SheetRecord* sheet = nullptr;
    ASSERT_EQ(LoadSchematicSheet(&file, &sheet, nullptr), 0);
    TextRecord* text = CreateDrawingText(sheet, kTextKindCompDesignator, 0, Point{10, 10}, "X?");
    ASSERT_TRUE(text);
    text->owner = TextOwnerSerial(2);
    auto shown = [&] {
        char string[kTextStringSize];
        ExtractStringSpec(text->text, sheet->stringBlock, string, sizeof string);
        return std::string(string);
    };
    SheetInstance* instance = RetrieveSheetInstance(P(), P()->hierarchy->first, false);
    EXPECT_EQ(SetSheetContext(sheet, P(), instance, true), 0);
    EXPECT_EQ(shown(), "AMP9");
    EXPECT_EQ(SetSheetContext(sheet, P(), instance, true), 0);
    EXPECT_EQ(updates, 1);
    // Without a context the sheet's own annotation has none: the default designator.
    EXPECT_EQ(SetSheetContext(sheet, nullptr, nullptr, false), 0);
    EXPECT_EQ(sheet->project, nullptr);
    EXPECT_EQ(shown(), "X?");
    DestroySheet(sheet);
}

TEST_F(HierarchyTree, ANewerSheetFileIsRefusedAndLeavesNothing) {
    // The header block as this build writes it, with the version one above what it reads.
    SheetFileHeader header{};
    header.version = 259;
    std::string bytes(kSheetFileHeaderSize, '\0');
    std::memcpy(bytes.data(), &header, bytes.size());
    std::memcpy(bytes.data() + 2, &kSheetFileMark, 2);
    bytes[4] = char(kPlatformIMac >> 24), bytes[5] = char(kPlatformIMac >> 16);
    bytes[6] = char(kPlatformIMac >> 8), bytes[7] = char(kPlatformIMac);
    MakeSheetFile(dir_.path() + "/New.SHX",
                  [&](DynamicFileRecord* file) { WriteRawBlock(file, kSheetHeaderBlock, bytes); });
    FileSpec spec = SheetSpecOf(dir_.path() + "/New.SHX");
    SheetRecord* loaded = reinterpret_cast<SheetRecord*>(1);
    SheetWindowState state;
    EXPECT_EQ(LoadSchematicSheet(&spec, &loaded, &state), status::kVersionTooNew);
    EXPECT_EQ(loaded, nullptr);
    EXPECT_EQ(GetLoadedSheet(&spec, nullptr, false), nullptr);
}

TEST(AsciiDatabase, KeywordSearchIsBoundedAndIgnoresCase) {
    struct Case {
        std::string bytes;
        bool database, library;
    } cases[] = {
        {"*orvix_plexa text", true, false},
        {std::string("\0\0*ORVIX_PLEXA\n*library", 23), true, true},
        {std::string(1024, 'x') + "*ORVIX_PLEXA", false, false},
        {std::string(1012, 'x') + "*ORVIX_PLEXA", true, false},
        {std::string(1013, 'x') + "*ORVIX_PLEXA", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        bool library = true;
        EXPECT_EQ(IsASCIIDatabaseText(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size(), &library),
                  c.database) << c.bytes.size();
        EXPECT_EQ(library, c.library);
    }
}

}  // namespace
}  // namespace plexa::test
