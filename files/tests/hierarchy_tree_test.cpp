// The hierarchy tree of a fixture project on disk (a top sheet, a sheet used twice, a sheet that
// contains itself, a missing child, a missing top-level sheet): the printed tree with names and
// instance paths, the check's log codes; and the loader's refusal of a newer file.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <cstring>

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
    EXPECT_EQ(Print(project.get()),
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
                        "20000039 Circular reference in the project hierarchy | \"Loop.SHX\" refernced by \"Loop.SHX\"",
                    }));
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
