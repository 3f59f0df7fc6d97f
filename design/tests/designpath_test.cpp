// The design path end to end, headless: a small project built in code (a root sheet with a source
// and two resistors with values, a child sheet used twice with a local RC), its sheets saved to
// files and loaded back, annotated (missing designators only) in every instance, and the root sheet
// exported as DXF.
//
// Still to join this path as their parts arrive: the SPICE netlist written with the shipped
// script (and run through a simulator when one is installed), the ECO file, back-annotation of a
// relabelled part in a copy of the design state and its reversal with a WAS-IS list.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "design/annotate.h"
#include "design/dxfexport.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetcontents.h"
#include "files/sheetfile.h"
#include "files/sheetspec.h"
#include "files/tests/files_testing.h"
#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {
namespace {

struct Part {
    const char* name;
    const char* prefix;
    const char* value;
    Point at;
};

class DesignPathTest : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        ASSERT_EQ(InitSymbolPool(), 0);
        ASSERT_EQ(InitSheetLocalAnnotation(), 0);
        InstallSheetFileServices();
        tree.Folder("amp");
        project = std::make_unique<TestProject>(tree.Dir("amp"));
        (*project)->settings.annotationFlags = 0;  // designators kept in the project
        (*project)->annotationOptions.prefixFilter[0] = 0;
        current = this;
        AnnotationHooks hooks;
        hooks.openSheet = [](ProjectRecord*, SheetSpec* spec) -> SheetRecord* {
            auto it = current->open.find(spec);
            return it == current->open.end() ? nullptr : it->second;
        };
        hooks.reportError = [](OSStatus code) { current->reported.push_back(code); };
        SetAnnotationHooks(hooks);
    }
    void TearDown() override {
        SetAnnotationHooks({});
        for (auto& [spec, sheet] : open) DestroySheet(sheet);
        open.clear();
        project.reset();
        current = nullptr;
        ModelTest::TearDown();
    }

    ProjectRecord* P() { return project->get(); }
    static FileSpec SpecOf(const std::string& path) {
        FileSpec spec{};
        EXPECT_EQ(FileSpecFromURL(path, &spec, false, nullptr), 0) << path;
        return spec;
    }
    std::string Path(const char* name) { return tree.path(std::string("amp/") + name); }

    // A new sheet whose symbols all draw a 20 x 30 box with one pin.
    SheetRecord* NewSheet() {
        SheetRecord* s = CreateDrawing();
        EXPECT_NE(s, nullptr);
        if (!s) return nullptr;
        s->stored.nextSerial = 1;
        s->stored.resolution = 100;
        LinkListHeader* elements = CreateElementList(s->imageList);
        LLAppend(elements, BuildNodeElement({10, 0}, {10, 10}, 1, 0, false, 0, false, 0, false, 0));
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

    // A one-section part with its value attribute; its serial.
    uint32_t Place(SheetRecord* s, const Part& part) {
        ComponentRecord* c = CreateComponent(0, 1, 1, 1, 1);
        SetCompName(c, s->stringBlock, 0, part.name);
        SetCompRefPrefix(c, s->stringBlock, part.prefix);
        CompSymbols(c)[0].mapId = mapIds[s];
        SetCompSection(c, 0, CreateCompSection(1, 0));
        c = AddCompToList(s->componentList, s->stringBlock, c);
        CalcCompHash(c, s->stringBlock);
        SymbolRecord* symbol = CreateSymbol();
        symbol->component = c;
        symbol->mapId = mapIds[s];
        symbol->position = part.at;
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(s, symbol);
        SetSymbolAttribute(symbol, s->stringBlock, "Value", part.value, nullptr);
        return symbol->serial;
    }

    // A sheet symbol for the child sheet; its serial.
    uint32_t PlaceSheetSymbol(SheetRecord* s, Point at) {
        SymbolRecord* symbol = CreateSymbol();
        symbol->flags = kSymbolFlagSheet;
        symbol->position = at;
        symbol->libraryName = kNoLibraryName;
        AddSymbolToSheet(s, symbol);
        return symbol->serial;
    }

    // Saves the sheet into the project folder, frees it and loads it back as the spec's open sheet.
    SheetRecord* SaveAndReopen(SheetRecord* s, const char* name) {
        const FileSpec spec = SpecOf(Path(name));
        EXPECT_EQ(WriteSheetFile(s, &spec), 0) << name;
        DestroySheet(s);
        SheetRecord* back = nullptr;
        EXPECT_EQ(LoadSheetFile(&spec, &back), 0) << name;
        if (!back) return nullptr;
        back->fileSpec = spec;
        back->sheetSpec = project->Spec(name);
        back->project = P();
        open[back->sheetSpec] = back;
        return back;
    }

    // "designator" of every symbol with a component of the node's sheet, in its instance, and
    // "value" beside it.
    std::string Designators(SheetNode* node) {
        SheetRecord* s = open[node->sheetSpec];
        SheetInstance* instance = RetrieveSheetInstance(P(), node, false);
        AnnotationMap* map = instance ? GetInstanceAnnotMap(P(), instance, false) : nullptr;
        std::string out;
        for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(s->symbolList)); symbol; symbol = symbol->next) {
            if (!symbol->component) continue;
            char text[kAnnotationTextSize] = "";
            if (AnnotationSpec* spec = AnnotationMapLookup(map, GetAnnotationInstanceId(P(), instance), symbol->serial))
                ExtractAnnotationSpec(spec, GetAnnotationMapStringBlock(map), text);
            char value[kSymbolTextSize] = "";
            GetSymbolAttribute(symbol, s->stringBlock, "Value", value);
            out += std::string(out.empty() ? "" : " ") + (text[0] ? text : "?") + "=" + value;
        }
        return out;
    }

    Tree tree;
    std::unique_ptr<TestProject> project;
    std::map<SheetSpec*, SheetRecord*> open;
    std::map<SheetRecord*, int32_t> mapIds;
    std::vector<OSStatus> reported;
    static inline DesignPathTest* current = nullptr;
};

TEST_F(DesignPathTest, BuildSaveReopenAnnotateAndExport) {
    // The root: a source and two resistors, and the child sheet used twice.
    SheetRecord* root = NewSheet();
    ASSERT_NE(root, nullptr);
    Place(root, {"VSRC", "V", "DC 5", {100, 50}});
    Place(root, {"RES", "R", "1k", {100, 150}});
    Place(root, {"RES", "R", "2k", {100, 250}});
    const uint32_t firstUse = PlaceSheetSymbol(root, {300, 100});
    const uint32_t secondUse = PlaceSheetSymbol(root, {300, 300});
    // The child: a local RC.
    SheetRecord* child = NewSheet();
    ASSERT_NE(child, nullptr);
    Place(child, {"RES", "R", "10k", {100, 100}});
    Place(child, {"CAP", "C", "100n", {100, 200}});

    root = SaveAndReopen(root, "ROOT.SHX");
    child = SaveAndReopen(child, "RC.SHX");
    ASSERT_NE(root, nullptr);
    ASSERT_NE(child, nullptr);
    size_t symbols = 0;
    for (void* item = LLFirst(root->symbolList); item; item = LLGetNext(root->symbolList, item)) ++symbols;
    EXPECT_EQ(symbols, 5u);

    SheetNode* top = project->Node(nullptr, "ROOT.SHX", 0);
    SheetNode* first = project->Node(top, "RC.SHX", firstUse);
    SheetNode* second = project->Node(top, "RC.SHX", secondUse);
    first->flags |= kAnnotWalkFlag;
    second->flags |= kAnnotWalkFlag;

    // Incremental annotation: only missing designators are given, in every instance.
    ASSERT_EQ(Annotate(P(), nullptr, kAnnotAssignMissing, 1, true, kAnnotUnlimitedDepth), 0);
    EXPECT_TRUE(reported.empty());
    EXPECT_EQ(Designators(top), "V1=DC 5 R1=1k R2=2k");
    const std::string a = Designators(first), b = Designators(second);
    EXPECT_EQ(a.substr(a.find(' ')), " C1=100n");
    EXPECT_EQ(b.substr(b.find(' ')), " C2=100n");
    EXPECT_NE(a, b);
    EXPECT_TRUE((a == "R3=10k C1=100n" && b == "R4=10k C2=100n") ||
                (a == "R4=10k C1=100n" && b == "R3=10k C2=100n"))
        << a << " / " << b;

    // Again: nothing is missing, nothing changes.
    ASSERT_EQ(Annotate(P(), nullptr, kAnnotAssignMissing, 1, true, kAnnotUnlimitedDepth), 0);
    EXPECT_EQ(Designators(first), a);
    EXPECT_EQ(Designators(second), b);

    // The root sheet as DXF: one block and one reference per placed symbol.
    const FileSpec dxf = SpecOf(Path("ROOT.DXF"));
    ASSERT_EQ(WriteDXFSheet(root, &dxf), 0);
    std::string bytes;
    ASSERT_TRUE(ReadFile(Path("ROOT.DXF"), bytes));
    size_t blocks = 0, inserts = 0;
    for (size_t at = bytes.find("\r\n2\r\nDXF_BLK_"); at != std::string::npos;
         at = bytes.find("\r\n2\r\nDXF_BLK_", at + 1)) {
        const size_t entity = bytes.rfind("\r\n0\r\n", at);
        const std::string type = bytes.substr(entity + 5, bytes.find("\r\n", entity + 5) - entity - 5);
        blocks += type == "BLOCK";
        inserts += type == "INSERT";
    }
    EXPECT_EQ(blocks, 5u);
    EXPECT_EQ(inserts, 5u);
}

}  // namespace
}  // namespace plexa::test
