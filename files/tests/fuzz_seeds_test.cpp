// The seed inputs of the files folder's fuzz targets (fuzz/corpus/files_*), made by the modules'
// own writers: checked against what the writers make now, written when PLEXA_WRITE_SEEDS is set.
#include <gtest/gtest.h>

#include <string>

#include "files/tests/files_testing.h"
#include "files/tests/project_testing.h"
#include "files/tests/sheetfile_testing.h"
#include "model/tests/model_testing.h"

namespace plexa::test {
namespace {

TEST(FuzzSeeds, PathLists) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    Tree tree;
    tree.Folder("p/sheets");
    TestProject project(tree.Dir("p"));
    PathSpecList* list = project->paths;
    HandleStream empty;
    ASSERT_EQ(WritePathSpecList(empty.stream, list), 0);
    CheckFuzzSeed("files_pathspeclist", "empty", std::string(1, '\0') + empty.bytes());
    AddPathSpecToList(list, tree.Dir("p"), kPathRootDefault, 14, false);
    AddPathSpecToList(list, tree.Dir("p/sheets"), kPathRootDefault, kPathSheetFiles | kPathSearchSubFolders, false);
    PathSpec* absolute = CreatePathSpec(kPathLibraryFiles);
    ASSERT_EQ(SetPathSpecFromDir(list, absolute, tree.Dir("p"), kPathRootAbsolute), kPathRootAbsolute);
    LLAppend(list, absolute);
    HandleStream out;
    ASSERT_EQ(WritePathSpecList(out.stream, list), 0);
    CheckFuzzSeed("files_pathspeclist", "three", std::string(1, '\0') + out.bytes(), false);
    // An older colon-separated entry, for the converting reader.
    CheckFuzzSeed("files_pathspeclist", "colons",
                 std::string(1, '\2') + Hex("01000000 0082 0c000000") + ":Sheets:Sub:");
    HandleStream in(out.bytes());
    PathSpecList* back = CreatePathSpecList(nullptr, 0);
    EXPECT_EQ(ReadPathSpecList(in.stream, back, 14, true), 0);
    DestroyPathSpecList(back);
}

TEST(FuzzSeeds, InstanceLists) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    Tree tree;
    tree.Folder("p");
    TestProject project(tree.Dir("p"));
    SheetNode* top = project.Node(nullptr, "Top.SHX", 0);
    SheetNode* child = project.Node(top, "Child.SHX", 5);
    project.Node(top, "Child.SHX", 9);
    ASSERT_TRUE(RetrieveSheetInstance(project.get(), child, true));
    ASSERT_TRUE(RetrieveSheetInstance(project.get(), top->lastChild, true));
    HandleStream out;
    ASSERT_EQ(WriteInstanceList(out.stream, project.get()), 0);
    CheckFuzzSeed("files_instancelist", "three", std::string(1, '\0') + out.bytes());
    // Read until the end mark.
    std::string until = out.bytes();
    const size_t countAt = until.size() - 4 - 3 * 20 - 4;
    until[countAt] = char(0xFF);
    until[countAt + 1] = char(0x7F);
    CheckFuzzSeed("files_instancelist", "until-end", std::string(1, '\0') + until);
    TestProject back(tree.Dir("p"));
    HandleStream in(until);
    EXPECT_EQ(ReadInstanceList(in.stream, back.get()), 0);
    EXPECT_EQ(LLFirst(back->instances) != nullptr, true);
}

TEST(FuzzSeeds, ProjectFiles) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    Tree tree;
    tree.Folder("p");
    // Nothing of this machine in it: no absolute paths, no print settings, no script folder.
    const std::string small = tree.path("p/Small.PRX");
    ASSERT_EQ(CreateProjectFile(small), 0);
    ProjectRecord* project = OpenRecord(small);
    ASSERT_TRUE(project);
    Fill(project, tree.Dir("p"));
    LLRemoveOrFree(project->paths, LLLast(project->paths), nullptr, true);
    VXDestroyPrintRecord(project->printRecord);
    project->printRecord = nullptr;
    ClearFileSpec(&project->netlistScript);
    ASSERT_EQ(WriteEverything(project), 0);
    CloseRecord(project);
    std::string bytes;
    ASSERT_TRUE(ReadFile(small, bytes));
    CheckFuzzSeed("files_project", "small", bytes);
    // Every block, the other byte order.
    std::vector<Block> blocks = BlocksOf(small);
    for (Block& b : blocks) b.second = OtherOrder(b.first, b.second);
    const std::string swapped = tree.path("p/Swapped.PRX");
    WriteProjectFileOf(swapped, blocks);
    ASSERT_TRUE(ReadFile(swapped, bytes));
    CheckFuzzSeed("files_project", "swapped", bytes);
    // With a print record and the script's folder.
    const std::string full = tree.path("p/Full.PRX");
    ASSERT_EQ(CreateProjectFile(full), 0);
    project = OpenRecord(full);
    Fill(project, tree.Dir("p"));
    ASSERT_EQ(WriteEverything(project), 0);
    CloseRecord(project);
    ASSERT_TRUE(ReadFile(full, bytes));
    CheckFuzzSeed("files_project", "full", bytes, false);
}

TEST(FuzzSeeds, SheetFiles) {
    EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
    InitImageLists();
    TempDir dir;
    TestSheet rich;
    WriteRichSheetFile(dir.file("rich.SHX"), rich);
    std::string bytes;
    ASSERT_TRUE(ReadFile(dir.file("rich.SHX"), bytes));
    CheckFuzzSeed("files_sheetfile", "rich", bytes);
    TestSheet plain;
    plain.Symbol(kSymbolSheetSymbol, {{"~SUB", "Child.SHX"}});
    WriteTestSheetFile(dir.file("plain.SHX"), plain, nullptr);
    ASSERT_TRUE(ReadFile(dir.file("plain.SHX"), bytes));
    CheckFuzzSeed("files_sheetfile", "plain", bytes);

    // One block each: references, exports, elements, file symbols (the first byte chooses).
    const std::string references = Written([&](StreamRecord* s) { return WriteSubSheetRefs(rich.get(), s); });
    CheckFuzzSeed("files_sheetblocks", "references", std::string(1, '\0') + references);
    SheetExportsTable exports = MakeExports({{"IN", 0x10, 5, 0, kExportBussPort}, {"CLK", 0, 6, 2, 0}});
    const std::string table = Written([&](StreamRecord* s) { return WriteSheetExportsTable(s, exports); });
    CheckFuzzSeed("files_sheetblocks", "exports", std::string(1, '\1') + table);
    const std::string elements = Written([&](StreamRecord* s) { return WriteSheetElements(rich.get(), s); });
    CheckFuzzSeed("files_sheetblocks", "elements", std::string(1, '\2') + elements);
    const std::string symbols = Written([&](StreamRecord* s) { return WriteFileSymbolsBlock(s, rich->fileSymbolList); });
    CheckFuzzSeed("files_sheetblocks", "file-symbols", std::string(1, '\3') + symbols);
    DestroySheetExportsTable(exports);
}

}  // namespace
}  // namespace plexa::test
