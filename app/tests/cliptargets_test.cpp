// Cutting a sheet symbol takes the occurrences of its child sheet along: pasted into another sheet
// of the project, the child's occurrence below the pasted symbol keeps the designators it had.
// The fixture project's top-level sheet ROOT.SHX uses RC.SHX twice; TOP2.SHX, a copy of ROOT.SHX
// added as a second top-level sheet, receives the cut symbol.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "app/tests/editor_windows_testing.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/sheetspec.h"
#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "sheeteditor/sheetclip.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetpaste.h"

namespace plexa::test {
namespace {

using ClipTargets = EditorWindowsTest;

SheetInstance* ChildInstance(ProjectRecord* project, uint32_t parentId, uint32_t serial) {
    for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next)
        if (i->parentId == parentId && i->serial == serial) return i;
    return nullptr;
}

SheetInstance* TopInstance(ProjectRecord* project, const char* sheetName) {
    for (auto* i = static_cast<SheetInstance*>(LLFirst(project->instances)); i; i = i->next) {
        char name[256];
        GetInstanceSheetName(project, i, name);
        if (i->parentId == 0 && std::string(name) == sheetName) return i;
    }
    return nullptr;
}

// The designators of the child sheet's parts at an occurrence, by serial number.
std::map<uint32_t, std::string> Designators(ProjectRecord* project, SheetInstance* instance, SheetRecord* child) {
    std::map<uint32_t, std::string> designators;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(child->symbolList)); s; s = s->next) {
        if (!s->component) continue;
        char text[kAnnotationTextSize] = {};
        (void)GetInstanceAnnotation(project, instance, s->serial, text);  // the slot is not compared
        designators[s->serial] = text;
    }
    return designators;
}

SymbolRecord* SheetSymbol(SheetRecord* sheet, int which) {
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next)
        if ((s->flags & kSymbolFlagSheet) && which-- == 0) return s;
    return nullptr;
}

TEST_F(ClipTargets, ACutSheetSymbolPastedIntoAnotherSheetKeepsItsChildsDesignators) {
    OpenFixtureProject();
    ASSERT_EQ(std::system(("cp '" + folder + "/ROOT.SHX' '" + folder + "/TOP2.SHX'").c_str()), 0);
    const FileSpec top2File = SpecOf(folder + "/TOP2.SHX");
    ASSERT_TRUE(AddTopLevelSheetToProject(project, &top2File));
    (void)UpdateProjectHierarchy(project, 8);  // whether the tree changed

    const FileSpec rootFile = SpecOf(folder + "/ROOT.SHX"), childFile = SpecOf(folder + "/RC.SHX");
    SheetRecord* root = OpenSchematicSheet(&rootFile, kOpenSetContext);
    SheetRecord* top2 = OpenSchematicSheet(&top2File, kOpenSetContext);
    SheetRecord* child = OpenSchematicSheet(&childFile, kOpenSetContext);
    ASSERT_TRUE(root && top2 && child);
    SheetInstance* rootInstance = TopInstance(project, "ROOT.SHX");
    ASSERT_NE(rootInstance, nullptr);
    SymbolRecord* x2 = SheetSymbol(root, 1);
    ASSERT_NE(x2, nullptr);
    SheetInstance* before = ChildInstance(project, rootInstance->id, x2->serial);
    ASSERT_NE(before, nullptr);
    const std::map<uint32_t, std::string> expected = Designators(project, before, child);
    ASSERT_FALSE(expected.empty());
    ASSERT_FALSE(expected.begin()->second.empty()) << "the fixture's child is annotated";

    x2->flags |= kSymbolFlagSelected;
    CutSheetSelection(root, false);
    ASSERT_EQ(SheetSymbol(root, 1), nullptr) << "the symbol was cut";
    PasteIntoSheet(top2);
    SymbolRecord* pasted = SheetSymbol(top2, 2);
    ASSERT_NE(pasted, nullptr) << "TOP2 has its own two sheet symbols and the pasted one";
    SheetInstance* top2Instance = TopInstance(project, "TOP2.SHX");
    ASSERT_NE(top2Instance, nullptr);
    SheetInstance* after = ChildInstance(project, top2Instance->id, pasted->serial);
    ASSERT_NE(after, nullptr) << "the child's occurrence came along below the pasted symbol";
    EXPECT_EQ(Designators(project, after, child), expected);
}

// A part cut from the child sheet and pasted back keeps its designator at both occurrences.
TEST_F(ClipTargets, APartCutFromASheetUsedTwiceAndPastedBackKeepsBothDesignators) {
    OpenFixtureProject();
    const FileSpec rootFile = SpecOf(folder + "/ROOT.SHX"), childFile = SpecOf(folder + "/RC.SHX");
    SheetRecord* root = OpenSchematicSheet(&rootFile, kOpenSetContext);
    SheetRecord* child = OpenSchematicSheet(&childFile, kOpenSetContext);
    ASSERT_TRUE(root && child);
    SheetInstance* rootInstance = TopInstance(project, "ROOT.SHX");
    ASSERT_NE(rootInstance, nullptr);
    SheetInstance* occurrences[2] = {ChildInstance(project, rootInstance->id, SheetSymbol(root, 0)->serial),
                                     ChildInstance(project, rootInstance->id, SheetSymbol(root, 1)->serial)};
    ASSERT_TRUE(occurrences[0] && occurrences[1]);
    const std::map<uint32_t, std::string> expected[2] = {Designators(project, occurrences[0], child),
                                                         Designators(project, occurrences[1], child)};
    ASSERT_NE(expected[0], expected[1]) << "each occurrence has its own designators";
    SymbolRecord* part = nullptr;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(child->symbolList)); s && !part; s = s->next)
        if (s->component) part = s;
    ASSERT_NE(part, nullptr);
    const uint32_t serial = part->serial;
    part->flags |= kSymbolFlagSelected;
    CutSheetSelection(child, false);
    PasteIntoSheet(child);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Designators(project, occurrences[i], child), expected[i]) << "occurrence " << i;
        char text[kAnnotationTextSize] = {};
        (void)GetInstanceAnnotation(project, occurrences[i], serial, text);  // the slot is not compared
        EXPECT_EQ(text, expected[i].at(serial));
    }
}

}  // namespace
}  // namespace plexa::test
