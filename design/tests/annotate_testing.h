// Fixture projects for the annotation tests: a project record without windows, sheets built in
// memory with component symbols of a few kinds placed at given positions, a hierarchy tree over
// them, and the hooks that let a run see the sheets (open ones, and closed ones "loaded" from
// memory). Results are read back as one line per tree node.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "design/annotate.h"
#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "files/tests/files_testing.h"
#include "foundation/ll.h"
#include "model/annotation.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/tests/model_fixture.h"

namespace plexa::test {

// The kinds of component the fixtures place: name, prefix, sections (symbol index of each).
struct Kind {
    const char* name;
    const char* prefix;
    int sections;
};
inline const Kind kResistor{"RES", "R", 1};
inline const Kind kCapacitor{"CAP", "C", 1};
inline const Kind kQuadGate{"NAND4", "U", 4};
inline const Kind kRegulator{"REG", "U", 1};

// One sheet in memory.
struct FixtureSheet {
    SheetRecord sheet{};
    int32_t mapId = -1;
    std::map<std::string, ComponentRecord*> components;
};

class AnnotateTest : public ModelTest {
public:
    void SetUp() override {
        ModelTest::SetUp();
        InitImageLists();
        ASSERT_EQ(InitSymbolPool(), 0);
        ASSERT_EQ(InitSheetLocalAnnotation(), 0);
        tree.Folder("p");
        project = std::make_unique<TestProject>(tree.Dir("p"));
        (*project)->settings.annotationFlags = 0;
        (*project)->annotationOptions.prefixFilter[0] = 0;
        current = this;
        AnnotationHooks hooks;
        hooks.openSheet = [](ProjectRecord*, SheetSpec* spec) -> SheetRecord* {
            return current->open.count(spec) ? &current->sheets[spec]->sheet : nullptr;
        };
        hooks.loadSheet = [](ProjectRecord*, SheetSpec* spec, SheetRecord** sheet) -> OSStatus {
            if (current->failLoad == spec) return -36;
            auto it = current->sheets.find(spec);
            if (it == current->sheets.end()) return status::kNotFound;
            ++current->loads;
            *sheet = &it->second->sheet;
            return status::kNoErr;
        };
        hooks.releaseSheet = [](ProjectRecord*, SheetSpec*, SheetRecord*) {};
        hooks.setSheetContext = [](SheetRecord* sheet, ProjectRecord*, SheetInstance*, uint32_t) {
            current->contextsReset.push_back(sheet);
        };
        hooks.reportError = [](OSStatus code) { current->reported.push_back(code); };
        SetAnnotationHooks(hooks);
    }

    void TearDown() override {
        SetAnnotationHooks({});
        for (auto& [spec, fixture] : sheets) {
            if (fixture->sheet.annotationMap) DestroyAnnotationMap(fixture->sheet.annotationMap);
            LLDispose(fixture->sheet.symbolList, true);
            DestroyCompList(fixture->sheet.componentList);
            DestroySymbolMap(fixture->sheet.symbolMap);
            DestroyPinDataTable(fixture->sheet.pinDataTable);
            DestroyImageList(fixture->sheet.imageList);
            DestroyStringBlock(fixture->sheet.stringBlock);
        }
        sheets.clear();
        project.reset();
        current = nullptr;
        ModelTest::TearDown();
    }

    ProjectRecord* P() { return project->get(); }


    // The sheet of that file name, made on first use.
    FixtureSheet& Sheet(const char* name) {
        SheetSpec* spec = project->Spec(name);
        auto& slot = sheets[spec];
        if (slot) return *slot;
        slot = std::make_unique<FixtureSheet>();
        SheetRecord& s = slot->sheet;
        s.stringBlock = CreateStringBlock(gGenPool, 1024);
        s.symbolList = CreateSymbolList();
        s.componentList = CreateComponentList();
        s.imageList = CreateLocalImageList();
        s.pinDataTable = CreatePinDataTable(s.stringBlock);
        s.symbolMap = CreateSymbolMap(s.imageList);
        s.stored.nextSerial = 1;
        s.sheetSpec = spec;
        // Every symbol draws a 20 by 30 box.
        LinkListHeader* elements = CreateElementList(s.imageList);
        LLAppend(elements, BuildCommonElement(kElementRect, {0, 0}, {20, 30}, 1, 0, 0, false, false, 0, false, 0,
                                              false));
        Handle data = ElementsToSymbolData(elements, nullptr, nullptr, s.stringBlock, false, s.imageList);
        DestroyElementList(elements);
        EXPECT_NE(data, nullptr);
        if (data) {
            slot->mapId = AddSymbolToMap(s.symbolMap, *data, int32_t(SizeOfHandle(data)), s.imageList);
            MemFree(data);
        }
        return *slot;
    }

    ComponentRecord* Component(FixtureSheet& f, const Kind& kind) {
        auto it = f.components.find(kind.name);
        if (it != f.components.end()) return it->second;
        ComponentRecord* c = CreateComponent(0, 1, 1, kind.sections, 1);
        SetCompName(c, f.sheet.stringBlock, 0, kind.name);
        SetCompRefPrefix(c, f.sheet.stringBlock, kind.prefix);
        CompSymbols(c)[0].mapId = f.mapId;
        for (int i = 0; i < kind.sections; ++i) SetCompSection(c, i, CreateCompSection(1, 0));
        c = AddCompToList(f.sheet.componentList, f.sheet.stringBlock, c);
        CalcCompHash(c, f.sheet.stringBlock);
        f.components[kind.name] = c;
        return c;
    }

    // Places a symbol of the kind at (v, h); its serial.
    uint32_t Place(const char* sheet, const Kind& kind, int16_t v, int16_t h, uint32_t flags = 0) {
        FixtureSheet& f = Sheet(sheet);
        SymbolRecord* s = CreateSymbol();
        s->component = Component(f, kind);
        s->mapId = f.mapId;
        s->position = {v, h};
        s->flags = flags;
        AddSymbolToSheet(&f.sheet, s);
        return s->serial;
    }

    SheetNode* Top(const char* sheet) {
        Sheet(sheet);
        return project->Node(nullptr, sheet, 0);
    }
    SheetNode* Child(SheetNode* parent, const char* sheet, uint32_t serial, uint16_t flags = kAnnotWalkFlag) {
        Sheet(sheet);
        SheetNode* node = project->Node(parent, sheet, serial);
        node->flags |= flags;
        return node;
    }

    // Sets a designator (committed) of a symbol in the node's instance.
    void Annotated(SheetNode* node, uint32_t serial, const char* designator, int16_t slot = 0) {
        SheetInstance* instance = RetrieveSheetInstance(P(), node, true);
        ASSERT_TRUE(instance);
        ASSERT_TRUE(SetInstanceAnnotation(P(), instance, serial, designator, slot));
        ApplyAnnotationMapChanges(GetSheetSpecAnnotMap(P(), node->sheetSpec, false), node->sheetSpec);
    }

    // "serial=designator/slot" of every component symbol of the node's sheet in its instance.
    std::string Of(SheetNode* node) {
        std::string out;
        // Annotation kept in the sheets is the same in every instance, made or not.
        const bool local = P()->settings.annotationFlags & kAnnotationKeptInSheets;
        SheetInstance* instance = RetrieveSheetInstance(P(), node, local);
        FixtureSheet& f = *sheets[node->sheetSpec];
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(f.sheet.symbolList)); s; s = s->next) {
            char text[kAnnotationTextSize] = "";
            AnnotationMap* map = instance ? GetInstanceAnnotMap(P(), instance, false) : nullptr;
            int32_t slot = -1;
            if (AnnotationSpec* spec = AnnotationMapLookup(map, GetAnnotationInstanceId(P(), instance), s->serial))
                slot = ExtractAnnotationSpec(spec, GetAnnotationMapStringBlock(map), text);
            if (!out.empty()) out += " ";
            out += std::to_string(s->serial) + "=" + (text[0] ? text : "-");
            if (text[0] && (slot != 0 || s->component->sectionCount > 1)) out += "/" + std::to_string(slot);
        }
        return out;
    }

    OSStatus Run(uint16_t mask, int32_t start = 1, SheetRecord* sheet = nullptr, bool limit = true,
                 int32_t depth = kAnnotUnlimitedDepth) {
        return Annotate(P(), sheet, mask, start, limit, depth);
    }

    bool Pending(SheetNode* node) {
        return AnnotationMapHasChanges(GetSheetSpecAnnotMap(P(), node->sheetSpec, false));
    }

    Tree tree;
    std::unique_ptr<TestProject> project;
    std::map<SheetSpec*, std::unique_ptr<FixtureSheet>> sheets;
    std::set<SheetSpec*> open;
    SheetSpec* failLoad = nullptr;
    int loads = 0;
    std::vector<SheetRecord*> contextsReset;
    std::vector<OSStatus> reported;
    static inline AnnotateTest* current = nullptr;
};

}  // namespace plexa::test
