// WAS-IS lists: reading with every line end, quoting, comments and limits; applying a swap to a
// project whose child sheet is used twice; a failed table load changing nothing.
#include <gtest/gtest.h>

#include <string>

#include "app/root.h"
#include "design/tests/netlist_fixture.h"
#include "design/wasis.h"

namespace plexa {
namespace {

using netfix::Design;

std::string gAlert;

// The core's hooks with the alert kept.
struct Hooks {
    Hooks() {
        gAlert.clear();
        BackAnnotHooks hooks = GetBackAnnotHooks();
        hooks.alert = [](const char* text) { gAlert = text; };
        SetBackAnnotHooks(hooks);
    }
    ~Hooks() { InstallCoreHooks(); }
};

std::string Entries(const WasIsList& list) {
    std::string out;
    for (const auto& [was, is] : list.entries) out += "[" + was + "|" + is + "]";
    return out;
}

TEST(WasIs, ReadsEveryLineEnd) {
    Hooks hooks;
    const struct {
        const char* what;
        std::string text;
        OSStatus status;
        const char* entries;
    } cases[] = {
        {"CR", "WAS\tIS\rR1 R2\rR2 R1\r", 0, "[R1|R2][R2|R1]"},
        {"CR LF", "was is\r\nR1 R2\r\nC1\tC5 extra\r\n", 0, "[R1|R2][C1|C5]"},
        {"LF", "WAS IS\nR1 R2\nU1 U7", 0, "[R1|R2][U1|U7]"},
        {"quoted with blanks", "WAS IS\n\"U 1\"\t\"U 2\"\n", 0, "[U 1|U 2]"},
        {"empty line ends the list", "WAS IS\nR1 R2\n\nR3 R4\n", 0, "[R1|R2]"},
        {"comment line ends the list", "WAS IS\nR1 R2\n// note\nR3 R4\n", 0, "[R1|R2]"},
        {"comment after the pair", "WAS IS // header\nR1 R2 // swap\n", 0, "[R1|R2]"},
        {"NUL ends the input", std::string("WAS IS\nR1 R2\n\0R3 R4\n", 21), 0, "[R1|R2]"},
        {"no entries", "WAS IS\n", kUserCancelled, ""},
        {"bad header", "OLD NEW\nR1 R2\n", kUserCancelled, ""},
    };
    for (const auto& c : cases) {
        WasIsList list;
        gAlert.clear();
        EXPECT_EQ(LoadWasIsFile(c.text.data(), c.text.size(), &list), c.status) << c.what;
        EXPECT_EQ(Entries(list), c.entries) << c.what;
        EXPECT_EQ(gAlert.empty(), std::string(c.what) != "bad header") << c.what;
    }
}

TEST(WasIs, LongTokensKeepTheirFirst250Characters) {
    const std::string text = "WAS IS\n" + std::string(300, 'A') + " B\n";
    WasIsList list;
    ASSERT_EQ(LoadWasIsFile(text.data(), text.size(), &list), 0);
    ASSERT_EQ(list.entries.size(), 1u);
    EXPECT_EQ(list.entries[0].first, std::string(250, 'A'));
    EXPECT_EQ(list.entries[0].second, "B");
}

TEST(WasIs, WriteAndLookUp) {
    WasIsList list;
    list.entries = {{"R1", "R2"}, {"U 3", "U4"}};
    const std::string text = WriteWasIsText(list);
    EXPECT_EQ(text, "WAS\tIS\n\"R1\"\t\"R2\"\n\"U 3\"\t\"U4\"\n");
    WasIsList back;
    ASSERT_EQ(LoadWasIsFile(text.data(), text.size(), &back), 0);
    EXPECT_EQ(back.entries, list.entries);
    char designator[256] = "r1";
    EXPECT_TRUE(WasToIs(list, designator));
    EXPECT_STREQ(designator, "R2");
    std::strcpy(designator, "R9");
    EXPECT_FALSE(WasToIs(list, designator));
}

// A top sheet holding one child sheet twice; the child has R1 and R2, annotated per instance.
struct TwoInstances {
    Design d{1};
    SheetRecord* top;
    SheetRecord* child;
    SheetNode* nodes[2];
    SymbolRecord* r1;
    SymbolRecord* r2;

    TwoInstances() {
        top = d.AddSheet("TOP.SHX");
        child = d.AddSheet("CHILD.SHX");
        d.FinishSpecs();
        ComponentRecord* res = Design::MakeComponent(child, "RES", "R", 1, 2);
        r1 = Design::Place(child, res);
        r2 = Design::Place(child, res, 0, 90);
        SheetNode* root = d.AddNode(nullptr, "TOP.SHX", 0);
        nodes[0] = d.AddNode(root, "CHILD.SHX", 11, "CHILD1");
        nodes[1] = d.AddNode(root, "CHILD.SHX", 12, "CHILD2");
        d.Annotate("CHILD.SHX", r1, nodes[0], "R1");
        d.Annotate("CHILD.SHX", r2, nodes[0], "R2");
        d.Annotate("CHILD.SHX", r1, nodes[1], "R11");
        d.Annotate("CHILD.SHX", r2, nodes[1], "R12");
    }
    std::string Designators() {
        std::string out;
        AnnotationMap* map = d.specs.at("CHILD.SHX")->annotationMap;
        char text[kAnnotationTextSize];
        for (SheetNode* node : nodes)
            for (SymbolRecord* symbol : {r1, r2}) {
                GetAnnotation(map, symbol->serial, int32_t(node->instance->id), false, text);
                out += std::string(text) + " ";
            }
        return out;
    }
};

TEST(WasIs, SwapAppliesToEveryInstance) {
    TwoInstances t;
    ASSERT_EQ(t.Designators(), "R1 R2 R11 R12 ");
    const std::string text = "WAS\tIS\r\n\"R1\" \"R2\"\r\nR2 R1\r\n\"r12\"\t\"R 12\"\r\n";
    WasIsList list;
    ASSERT_EQ(LoadWasIsFile(text.data(), text.size(), &list), 0);
    ASSERT_EQ(ApplyWasIsList(t.d.project, list), 0);
    EXPECT_EQ(t.Designators(), "R2 R1 R11 R 12 ");
    EXPECT_FALSE(AnnotationMapHasChanges(t.d.specs.at("CHILD.SHX")->annotationMap));
}

TEST(WasIs, AFailedTableLoadChangesNothing) {
    TwoInstances t;
    // The top sheet's table cannot be found when annotation is kept in the sheets and the sheet
    // has no file: the apply ends before any change.
    t.d.project->settings.annotationFlags = kAnnotSheetLocal;
    WasIsList list;
    list.entries = {{"R1", "R5"}};
    EXPECT_NE(ApplyWasIsList(t.d.project, list), 0);
    t.d.project->settings.annotationFlags = 0;
    EXPECT_EQ(t.Designators(), "R1 R2 R11 R12 ");
}

}  // namespace
}  // namespace plexa
