// The hierarchy tree of a fixture project on disk (a top sheet, a sheet used twice, a sheet that
// contains itself, a missing child, a missing top-level sheet): the printed tree with names and
// instance paths, the check's log codes; and the loader's refusal of a newer file.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/hierarchy.h"
#include "files/sheetload.h"
#include "files/tests/files_testing.h"
#include "files/tests/sheetfile_testing.h"

namespace plexa::test {
namespace {

std::vector<std::string> gLog;

class HierarchyTree : public SheetFileTest {
protected:
    void SetUp() override {
        SheetFileTest::SetUp();
        InstallSheetFileServices();
        gLog.clear();
        HierarchyHooks hooks;
        hooks.log = [](ProjectRecord*, const HierarchyLogEntry& e) {
            char code[16];
            std::snprintf(code, sizeof code, "%08X", unsigned(e.code));
            gLog.push_back(std::string(code) + " " + e.text + " | " + e.detail);
        };
        hooks.logEmpty = [](ProjectRecord*) { return gLog.empty(); };
        SetHierarchyHooks(hooks);
    }
    void TearDown() override {
        SetHierarchyHooks(HierarchyHooks{});
        SheetFileTest::TearDown();
    }
    void SheetWithChildren(const std::string& name, const std::vector<std::pair<std::string, std::string>>& children) {
        TestSheet sheet;
        for (const auto& [child, ref] : children)
            sheet.Symbol(kSymbolSheetSymbol | 0x1000, {{"~SUB", child.c_str()}, {"~NAM", ref.c_str()}});
        tree.Folder("p");
        WriteTestSheetFile(tree.path("p/" + name), sheet, nullptr);
    }
    static std::string Print(ProjectRecord* project) {
        std::string out;
        for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
            char name[256], path[256];
            GetSheetNodeName(project, n, name, sizeof name);
            BuildSheetInstancePath(project, n, nullptr, 2, path, sizeof path);
            out += std::string(size_t(n->depth) * 2, ' ') + name + " [" + path + "]" +
                   (n->flags & kSheetNodeCircular ? " circular" : "") + "\n";
        }
        return out;
    }
    Tree tree;
};

TEST_F(HierarchyTree, FixtureProjectTreeAndCheck) {
    SheetWithChildren("Top.SHX", {{"Amp.SHX", "AMP10"}, {"Amp.SHX", "AMP9"}, {"Loop.SHX", "LOOP"}, {"Gone.SHX", "GONE"}});
    SheetWithChildren("Amp.SHX", {});
    SheetWithChildren("Loop.SHX", {{"Loop.SHX", "SELF"}});
    TestProject project(tree.Dir("p"));
    ASSERT_TRUE(AddPathSpecToList(project->paths, tree.Dir("p"), kPathRootDefault, 14, false));
    ASSERT_TRUE(AddSubSheetReference(project.get(), nullptr, "Top.SHX", "Top.SHX", 0, 0));
    ASSERT_TRUE(AddSubSheetReference(project.get(), nullptr, "Missing.SHX", "Missing.SHX", 0, 0));

    EXPECT_EQ(CheckProjectHierarchy(project.get(), true, true), 0);
    EXPECT_EQ(Print(project.get()), "");
    EXPECT_EQ(gLog, std::vector<std::string>{});
}

TEST_F(HierarchyTree, ANewerSheetFileIsRefusedAndLeavesNothing) {
    TestSheet sheet;
    sheet->fileHeader.version = 259;
    WriteTestSheetFile(dir_.path() + "/New.SHX", sheet, nullptr);
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
