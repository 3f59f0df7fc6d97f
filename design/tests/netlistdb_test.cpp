// The unified netlist database and net joining, checked through the database's text dump on
// designs built in memory: a flat project of two sheets, the same as a modular build, and a
// hierarchical project whose child sheet is used twice.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "design/netlist_internal.h"
#include "design/netlistdb.h"
#include "design/tests/netlist_fixture.h"
#include "files/hierarchy.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/pindata.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using netfix::Design;
using netfix::Pin;

// Two sheets of a flat project: A holds a two-section gate package placed twice as U1 (one row,
// two slots) with hidden supply pins, a latch whose bussed pin meets the buss D[0..1], R1 placed
// twice under one designator, an unannotated resistor, and the port OUT; B holds R5 on OUT and
// the global GND.
struct FlatDesign {
    Design d{2};
    SheetRecord* a;
    SheetRecord* b;
    SheetNode* nodeA;
    SheetNode* nodeB;

    FlatDesign() {
        a = d.AddSheet("A.SHX");
        b = d.AddSheet("B.SHX");
        d.FinishSpecs();
        a->stored.scopeB = 2;  // hidden-pin signals are global
        nodeA = d.AddNode(nullptr, "A.SHX", 0);
        nodeB = d.AddNode(nullptr, "B.SHX", 0);

        ComponentRecord* gate = Design::MakeComponent(a, "7400", "U", 2, 2, {{"14", "VCC"}, {"7", "GND"}});
        ComponentRecord* res = Design::MakeComponent(a, "RES", "R", 1, 2);
        ComponentRecord* latch = Design::MakeComponent(a, "LATCH", "L", 1, 1);
        // The latch's pin is a bussed pin over D0 and D1.
        const uint32_t bus = Design::AddPinData(a, "D[0..1]", kPinInput);
        SetPinDataType(GetIndexedPinData(a->pinDataTable, int32_t(bus)), kPinBusFlag | kPinInput, true);
        GetCompSymbolPinDataIds(latch, 0)[0] = bus;
        CalcCompHash(latch, a->stringBlock);

        SymbolRecord* u1a = Design::Place(a, gate);
        SymbolRecord* u1b = Design::Place(a, gate);
        SymbolRecord* r1 = Design::Place(a, res);
        SymbolRecord* r1again = Design::Place(a, res);
        SymbolRecord* r3 = Design::Place(a, res);
        SymbolRecord* l1 = Design::Place(a, latch);
        SymbolRecord* out = Design::Port(a, "OUT");
        Design::SetAttribute(a, r1, "Value", "10k");
        d.Annotate("A.SHX", u1a, nodeA, "U1", 0);
        d.Annotate("A.SHX", u1b, nodeA, "U1", 1);
        d.Annotate("A.SHX", r1, nodeA, "R1");
        d.Annotate("A.SHX", r1again, nodeA, "R1");
        d.Annotate("A.SHX", l1, nodeA, "L1");
        Design::Net(a, "IN", {{u1a, 0}, {r1, 0}});
        Design::Net(a, "MID", {{u1a, 1}, {u1b, 0}});
        Design::Net(a, "OUT", {{r1, 1}, {out, 0}});
        Design::Net(a, "LOOSE", {{r3, 0}});
        Design::Net(a, "N2", {{r1again, 0}, {r1again, 1}, {u1b, 1}});
        SignalHandle d0 = Design::Net(a, "D0", {{r3, 1}});
        (*d0)->flags |= kSignalFlagBreakOut;
        BussHandle buss = CreateBuss(a->bussList);
        SetBussName(buss, a->stringBlock, "D[0..1]");
        AddPinToBuss(buss, l1, 0, 0);

        ComponentRecord* resB = Design::MakeComponent(b, "RES", "R", 1, 2);
        SymbolRecord* r5 = Design::Place(b, resB);
        SymbolRecord* outB = Design::Port(b, "OUT");
        SymbolRecord* ground = Design::Power(b);
        d.Annotate("B.SHX", r5, nodeB, "R5");
        Design::Net(b, "OUT", {{r5, 0}, {outB, 0}});
        Design::Net(b, "GND", {{r5, 1}, {ground, 0}});
    }
};

// A flat project of the one sheet S.SHX and its node.
struct OneSheet {
    Design d{2};
    SheetRecord* s = d.AddSheet("S.SHX");
    SheetNode* node = (d.FinishSpecs(), d.AddNode(nullptr, "S.SHX", 0));
};

std::string Build(Design& d, uint16_t flags, OSStatus* status = nullptr) {
    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    const OSStatus st = CreateUnifiedDB(d.project, nullptr, flags, &db);
    if (status) *status = st;
    std::string dump = st ? std::string() : DumpUnifiedDB(&db);
    DestroyUnifiedDB(&db);
    return dump;
}

TEST(NetlistDB, FlatProjectOfTwoSheets) {
    FlatDesign f;
    OSStatus st = -1;
    const std::string dump = Build(f.d, kUDBDescend, &st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(dump, R"(sheet 0 A.SHX
sheet 1 B.SHX
comp L1 part=LATCH slots=1 sheet=0
comp R1 part=RES slots=1 sheet=0 repeated attrs=Value=10k
comp R1 part=RES slots=1 sheet=0 repeated
comp R5 part=RES slots=1 sheet=1
comp R? part=RES slots=1 sheet=0 generated
comp U1 part=7400 slots=3 sheet=0
net D0 scope=local sheet=0 joined
net D1 scope=local sheet=0 single joined
net GND scope=global sheet=0
net IN scope=local sheet=0
net LOOSE scope=local sheet=0 single
net MID scope=local sheet=0
net N2 scope=local sheet=0
net OUT scope=global sheet=0
net VCC scope=global sheet=0 single
pin U1.1 name=A net=IN node=I1
pin U1.2 name=B net=MID node=I1
pin U1.3 name=A net=MID node=I1
pin U1.4 name=B net=N2 node=I1
pin U1.7 name=GND net=GND node=- hidden
pin U1.14 name=VCC net=VCC node=- hidden
pin R1.1 name=A net=IN node=I1
pin R1.2 name=B net=OUT node=I1
pin R1.1 name=A net=N2 node=I1
pin R1.2 name=B net=N2 node=I1
pin R?.1 name=A net=LOOSE node=I1
pin R?.2 name=B net=D0 node=I1
pin L1.1D0 name=D[0..1] net=D0 node=I1
pin L1.1D1 name=D[0..1] net=D1 node=I1
pin R5.1 name=A net=OUT node=I2
pin R5.2 name=B net=GND node=I2
)") << dump;
}

TEST(NetlistDB, WithoutGroupingEverySectionIsARowWithItsSuffix) {
    FlatDesign f;
    const std::string dump = Build(f.d, kUDBDescend | kUDBNoGrouping | kUDBNoNets | kUDBNoPins);
    EXPECT_NE(dump.find("comp U1.A part=7400 slots=0"), std::string::npos) << dump;
    EXPECT_NE(dump.find("comp U1.B part=7400 slots=0"), std::string::npos) << dump;
}

TEST(NetlistDB, BuildsAreTheSameEveryTime) {
    FlatDesign f;
    const std::string first = Build(f.d, kUDBDescend);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Build(f.d, kUDBDescend), first);
}

// A root sheet with two sheet symbols of one child sheet, chained A -> S1 -> B -> S2 -> C, and a
// global GND on both sheets.
struct HierarchicalDesign {
    Design d{1};
    SheetRecord* root;
    SheetRecord* child;
    SheetNode* top;
    SheetNode* first;
    SheetNode* second;

    HierarchicalDesign() {
        root = d.AddSheet("ROOT.SHX");
        child = d.AddSheet("CHILD.SHX");
        d.FinishSpecs();
        ComponentRecord* res = Design::MakeComponent(root, "RES", "R", 1, 2);
        SymbolRecord* r101 = Design::Place(root, res);
        SymbolRecord* r102 = Design::Place(root, res);
        SymbolRecord* s1 = Design::SheetSymbol(root, "CHILD.SHX", {"IN", "OUT"});
        SymbolRecord* s2 = Design::SheetSymbol(root, "CHILD.SHX", {"IN", "OUT"});
        SymbolRecord* gnd = Design::Power(root);
        Design::Net(root, "A", {{r101, 1}, {s1, 0}});
        Design::Net(root, "B", {{s1, 1}, {s2, 0}});
        Design::Net(root, "C", {{s2, 1}, {r102, 0}});
        Design::Net(root, "GND", {{r101, 0}, {r102, 1}, {gnd, 0}});

        ComponentRecord* cres = Design::MakeComponent(child, "RES", "R", 1, 2);
        SymbolRecord* c1 = Design::Place(child, cres);
        SymbolRecord* c2 = Design::Place(child, cres);
        SymbolRecord* c3 = Design::Place(child, cres);
        SymbolRecord* in = Design::Port(child, "IN");
        SymbolRecord* out = Design::Port(child, "OUT");
        SymbolRecord* cgnd = Design::Power(child);
        Design::Net(child, "IN", {{in, 0}, {c1, 0}});
        Design::Net(child, "MID", {{c1, 1}, {c2, 0}, {c3, 0}});
        Design::Net(child, "OUT", {{c2, 1}, {out, 0}});
        Design::Net(child, "GND", {{c3, 1}, {cgnd, 0}});

        top = d.AddNode(nullptr, "ROOT.SHX", 0);
        first = d.AddNode(top, "CHILD.SHX", s1->serial, "S1");
        second = d.AddNode(top, "CHILD.SHX", s2->serial, "S2");
        d.Annotate("ROOT.SHX", r101, top, "R101");
        d.Annotate("ROOT.SHX", r102, top, "R102");
        d.Annotate("CHILD.SHX", c1, first, "R1");
        d.Annotate("CHILD.SHX", c2, first, "R2");
        d.Annotate("CHILD.SHX", c3, first, "R3");
        d.Annotate("CHILD.SHX", c1, second, "R4");
        d.Annotate("CHILD.SHX", c2, second, "R5");
        d.Annotate("CHILD.SHX", c3, second, "R6");
    }
};

TEST(NetlistDB, HierarchyQualifiesLocalNetsAndNamesPortsFromTheParent) {
    HierarchicalDesign h;
    OSStatus st = -1;
    const std::string dump = Build(h.d, kUDBDescend, &st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(dump, R"(sheet 0 ROOT.SHX
sheet 1 CHILD.SHX
comp R1 part=RES slots=1 sheet=1
comp R2 part=RES slots=1 sheet=1
comp R3 part=RES slots=1 sheet=1
comp R4 part=RES slots=1 sheet=1
comp R5 part=RES slots=1 sheet=1
comp R6 part=RES slots=1 sheet=1
comp R101 part=RES slots=1 sheet=0
comp R102 part=RES slots=1 sheet=0
net A scope=local sheet=0
net B scope=local sheet=0
net C scope=local sheet=0
net GND scope=global sheet=0
net I2:MID scope=local sheet=1 shared
net I3:MID scope=local sheet=1 copy shared
pin R101.1 name=A net=GND node=I1
pin R101.2 name=B net=A node=I1
pin R102.1 name=A net=C node=I1
pin R102.2 name=B net=GND node=I1
pin R1.1 name=A net=A node=I2
pin R1.2 name=B net=I2:MID node=I2
pin R4.1 name=A net=B node=I3
pin R4.2 name=B net=I3:MID node=I3
pin R2.1 name=A net=I2:MID node=I2
pin R2.2 name=B net=B node=I2
pin R5.1 name=A net=I3:MID node=I3
pin R5.2 name=B net=C node=I3
pin R3.1 name=A net=I2:MID node=I2
pin R3.2 name=B net=GND node=I2
pin R6.1 name=A net=I3:MID node=I3
pin R6.2 name=B net=GND node=I3
)") << dump;
}

// A modular build (as one with designators kept in the sheets) lists each instance's comp rows:
// each use of the child holds its three rows and no other, the root its two parts and its two
// sheet symbols, and each row finds its instance.
TEST(NetlistDB, EachInstanceListsItsOwnCompRows) {
    HierarchicalDesign h;
    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    ASSERT_EQ(CreateUnifiedDB(h.d.project, nullptr, kUDBDescend | kUDBModular, &db), 0);
    EXPECT_EQ(CountSheetInstanceDBComps(&db, h.top), 4);
    EXPECT_EQ(CountSheetInstanceDBComps(&db, h.first), 3);
    EXPECT_EQ(CountSheetInstanceDBComps(&db, h.second), 3);
    std::map<SheetNode*, int> rowsOf;
    for (uint32_t row = 0; row < db.comps.size(); ++row) {
        SheetNode* node = GetDBCompInstance(&db, row);
        ASSERT_NE(node, nullptr) << row;
        ++rowsOf[node];
        for (SheetNode* other : {h.top, h.first, h.second})
            EXPECT_EQ(IsDBCompInSheetInstance(&db, other, row), other == node) << row;
    }
    EXPECT_EQ(rowsOf, (std::map<SheetNode*, int>{{h.top, 4}, {h.first, 3}, {h.second, 3}}));
    EXPECT_FALSE(IsDBCompInSheetInstance(&db, h.first, uint32_t(db.comps.size())));
    DestroyUnifiedDB(&db);
}

// A symbol of a sheet used twice: each use makes a row of its own with the symbol's attributes.
TEST(NetlistDB, EveryUseOfASheetGivesItsRowTheSymbolsAttributes) {
    HierarchicalDesign h;
    auto* c1 = static_cast<SymbolRecord*>(LLFirst(h.child->symbolList));
    ASSERT_TRUE(c1 && c1->component);
    Design::SetAttribute(h.child, c1, "Value", "1k");
    Design::SetAttribute(h.child, c1, "Tolerance", "5%");
    OSStatus st = -1;
    const std::string dump = Build(h.d, kUDBDescend, &st);
    ASSERT_EQ(st, 0);
    for (const char* line : {"comp R1 part=RES slots=1 sheet=1 attrs=Value=1k,Tolerance=5%\n",
                             "comp R4 part=RES slots=1 sheet=1 attrs=Value=1k,Tolerance=5%\n",
                             "comp R2 part=RES slots=1 sheet=1\n", "comp R5 part=RES slots=1 sheet=1\n"})
        EXPECT_NE(dump.find(line), std::string::npos) << line << dump;
    // With instance references each row's run gets its own reference after the attributes.
    const std::string refs = Build(h.d, kUDBDescend | kUDBInstanceRefs, &st);
    ASSERT_EQ(st, 0);
    for (const char* line : {"comp R1 part=RES slots=1 sheet=1 attrs=Value=1k,Tolerance=5% refs=1\n",
                             "comp R4 part=RES slots=1 sheet=1 attrs=Value=1k,Tolerance=5% refs=1\n"})
        EXPECT_NE(refs.find(line), std::string::npos) << line << refs;
}

// Signal attributes: a local net of a sheet used twice keeps them in each instance's net, and
// global nets of one name joined from both sheets keep the attributes of both.
TEST(NetlistDB, NetsKeepTheirSignalsAttributesThroughCopiesAndJoins) {
    HierarchicalDesign h;
    auto attribute = [](SheetRecord* sheet, const char* signal, const char* name, const char* value) {
        SignalHandle s = RetrieveNextNamedSignal(sheet->signalList, nullptr, sheet->stringBlock, signal, 0);
        ASSERT_NE(s, nullptr) << signal;
        SetSignalAttribute(s, sheet->stringBlock, name, value);
    };
    attribute(h.child, "MID", "Width", "10");
    attribute(h.child, "GND", "Width", "20");
    attribute(h.root, "GND", "Class", "PWR");
    attribute(h.root, "C", "Class", "SIG");
    OSStatus st = -1;
    const std::string dump = Build(h.d, kUDBDescend, &st);
    ASSERT_EQ(st, 0);
    for (const char* line : {"net A scope=local sheet=0\n", "net C scope=local sheet=0 attrs=1\n",
                             "net GND scope=global sheet=0 attrs=2\n",
                             "net I2:MID scope=local sheet=1 shared attrs=1\n",
                             "net I3:MID scope=local sheet=1 copy shared attrs=1\n"})
        EXPECT_NE(dump.find(line), std::string::npos) << line << dump;
}

// Sorting rows by fields: packed into one word when the widths fit, compared field by field
// when they do not; both give the order of a stable sort on the fields.
TEST(NetlistDB, RowsSortByTheirFieldsWhetherOrNotTheyFitOneWord) {
    std::mt19937 rng(test::TestSeed());
    SCOPED_TRACE(testing::Message() << "seed " << test::TestSeed());
    struct Case {
        const char* what;
        std::array<uint64_t, 3> maxima;
        size_t rows;
    };
    // The largest cases sort in scratch arrays mapped from the system.
    const Case cases[] = {{"narrow", {3, 40, 1}, 5000},
                          {"one word exactly", {(1u << 20) - 1, (1u << 30) - 1, 1}, 5000},
                          {"too wide", {0xFFFFFFFF, 0xFFFFFFFF, 7}, 5000},
                          {"zero widths", {0, 5, 0}, 5000},
                          {"mapped keys", {1000, 1000, 1}, 300000},
                          {"mapped wide keys", {0xFFFFFFFF, 0xFFFFFFFF, 7}, 100000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::array<uint64_t, 3>> fields(c.rows);
        std::vector<uint32_t> rows;
        for (uint32_t id = 0; id < fields.size(); ++id) {
            for (size_t f = 0; f < 3; ++f) fields[id][f] = c.maxima[f] ? rng() % (c.maxima[f] + 1) : 0;
            if (id % 3) rows.push_back(id);  // not every row takes part
        }
        std::vector<uint32_t> expected = rows;
        std::stable_sort(expected.begin(), expected.end(),
                         [&](uint32_t a, uint32_t b) { return fields[a] < fields[b]; });
        EXPECT_EQ(SortRowsByFields(rows, c.maxima, [&](uint32_t id) { return fields[id]; }), expected);
    }
    EXPECT_TRUE(SortRowsByFields(std::vector<uint32_t>{}, std::array<uint64_t, 1>{9},
                                 [](uint32_t) { return std::array<uint64_t, 1>{0}; }).empty());
}

// A package of more sections than a word of slots holds keeps its sections in use in a bit
// array; both placed sections of U7 group into one row, pins of both included.
TEST(NetlistDB, AWidePackageGroupsItsSectionsInABitArray) {
    OneSheet one;
    ComponentRecord* wide = Design::MakeComponent(one.s, "WIDE", "U", 40, 1);
    SymbolRecord* low = Design::Place(one.s, wide);
    SymbolRecord* high = Design::Place(one.s, wide);
    one.d.Annotate("S.SHX", low, one.node, "U7", 2);
    one.d.Annotate("S.SHX", high, one.node, "U7", 35);
    Design::Net(one.s, "X", {{low, 0}, {high, 0}});
    OSStatus st = -1;
    const std::string dump = Build(one.d, kUDBDescend, &st);
    ASSERT_EQ(st, 0);
    EXPECT_NE(dump.find("comp U7 part=WIDE slots=[2+35] sheet=0\n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("pin U7.3 name=A net=X"), std::string::npos) << dump;
    EXPECT_NE(dump.find("pin U7.36 name=A net=X"), std::string::npos) << dump;
}

// The build's string pool gives equal texts one spec and new texts new ones, while its table
// grows; an empty text has none and an overlong one is kept cut, under one spec.
TEST(NetlistDB, StringPoolGivesEqualTextsOneSpec) {
    StringBlock block = CreateStringBlock(nullptr, 256);
    ASSERT_NE(block, nullptr);
    {
        UDBStringPool pool(block);
        OSStatus st = 0;
        EXPECT_EQ(pool.Add("", &st), 0u);
        EXPECT_EQ(pool.Add(nullptr, &st), 0u);
        std::vector<StringSpec> specs;
        for (int i = 0; i < 3000; ++i) specs.push_back(pool.Add(("/G" + std::to_string(i)).c_str(), &st));
        ASSERT_EQ(st, 0);
        std::vector<StringSpec> distinct = specs;
        std::sort(distinct.begin(), distinct.end());
        EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end());
        for (int i = 2999; i >= 0; --i) {
            const std::string text = "/G" + std::to_string(i);
            ASSERT_EQ(pool.Add(text.c_str(), &st), specs[size_t(i)]) << text;
            char back[kStringSpecBufferSize];
            ExtractStringSpec(specs[size_t(i)], block, back, sizeof back);
            EXPECT_EQ(text, back);
        }
        const std::string longText(1100, 'x');
        const StringSpec cut = pool.Add(longText.c_str(), &st);
        EXPECT_EQ(StringSpecLength(cut), kStringSpecMaxLength);
        EXPECT_EQ(pool.Add(longText.c_str(), &st), cut);
        EXPECT_EQ(pool.Add(longText.substr(0, kStringSpecMaxLength).c_str(), &st), cut);
        EXPECT_EQ(st, 0);
    }
    DestroyStringBlock(block);
}

TEST(NetlistDB, ModularBuildKeepsSheetsApart) {
    HierarchicalDesign h;
    OSStatus st = -1;
    const std::string dump = Build(h.d, kUDBDescend | kUDBModular, &st);
    ASSERT_EQ(st, 0);
    EXPECT_EQ(dump, R"(sheet 0 ROOT.SHX
sheet 1 CHILD.SHX
comp R1 part=RES slots=1 sheet=1
comp R2 part=RES slots=1 sheet=1
comp R3 part=RES slots=1 sheet=1
comp R4 part=RES slots=1 sheet=1
comp R5 part=RES slots=1 sheet=1
comp R6 part=RES slots=1 sheet=1
comp R101 part=RES slots=1 sheet=0
comp R102 part=RES slots=1 sheet=0
comp X? part= slots=1 sheet=0 generated repeated subsheet attrs=~SUB=CHILD.SHX
comp X? part= slots=1 sheet=0 generated repeated subsheet attrs=~SUB=CHILD.SHX
net A scope=local sheet=0
net B scope=local sheet=0
net C scope=local sheet=0
net GND scope=global sheet=0
net GND scope=global sheet=1 shared
net IN scope=port sheet=1 shared
net MID scope=local sheet=1 shared
net OUT scope=port sheet=1 shared
pin R101.1 name=A net=GND node=I1
pin R101.2 name=B net=A node=I1
pin R102.1 name=A net=C node=I1
pin R102.2 name=B net=GND node=I1
pin X?.IN name=IN net=A node=I1
pin X?.OUT name=OUT net=B node=I1
pin X?.IN name=IN net=B node=I1
pin X?.OUT name=OUT net=C node=I1
pin R1.1 name=A net=IN node=I2
pin R1.2 name=B net=MID node=I2
pin R4.1 name=A net=IN node=I3
pin R4.2 name=B net=MID node=I3
pin R2.1 name=A net=MID node=I2
pin R2.2 name=B net=OUT node=I2
pin R5.1 name=A net=MID node=I3
pin R5.2 name=B net=OUT node=I3
pin R3.1 name=A net=MID node=I2
pin R3.2 name=B net=GND node=I2
pin R6.1 name=A net=MID node=I3
pin R6.2 name=B net=GND node=I3
export sheet=1 OUT serial=5 net=OUT
export sheet=1 IN serial=4 net=IN
)") << dump;
}

TEST(NetlistDB, InstancePathsQualifyWhenTheProjectNamesInstancesByPath) {
    HierarchicalDesign h;
    h.d.project->settings.instanceNaming = 1;
    std::string dump = Build(h.d, kUDBDescend);
    EXPECT_NE(dump.find("net S1:MID scope=local"), std::string::npos) << dump;
    EXPECT_NE(dump.find("net S2:MID scope=local"), std::string::npos) << dump;
    // The qualifier follows the name, with the separator in front; designators too (byte 19).
    h.d.project->settings.instanceNamePlace = 1;
    h.d.project->settings.qualifyDesignators = 1;
    dump = Build(h.d, kUDBDescend);
    EXPECT_NE(dump.find("net MID:S1 scope=local"), std::string::npos) << dump;
    EXPECT_NE(dump.find("comp R4:S2 part=RES"), std::string::npos) << dump;
}

// Hidden-pin default rows stand in no node; they split with the instance of their comp row, so a
// local hidden-pin net of a sheet used twice becomes one net per instance.
TEST(NetlistDB, LocalHiddenPinNetsSplitPerInstance) {
    HierarchicalDesign h;
    h.child->stored.scopeB = 0;
    ComponentRecord* ic = Design::MakeComponent(h.child, "IC", "U", 1, 1, {{"9", "VLOC"}});
    SymbolRecord* u = Design::Place(h.child, ic);
    h.d.Annotate("CHILD.SHX", u, h.first, "U1");
    h.d.Annotate("CHILD.SHX", u, h.second, "U2");
    const std::string dump = Build(h.d, kUDBDescend);
    EXPECT_NE(dump.find("net I2:VLOC scope=local sheet=1 shared single"), std::string::npos) << dump;
    EXPECT_NE(dump.find("net I3:VLOC scope=local sheet=1 copy shared single"), std::string::npos) << dump;
    EXPECT_NE(dump.find("pin U1.9 name=VLOC net=I2:VLOC node=- hidden"), std::string::npos) << dump;
    EXPECT_NE(dump.find("pin U2.9 name=VLOC net=I3:VLOC node=- hidden"), std::string::npos) << dump;
}

TEST(NetlistDB, SimulatorBuildRestoresTheSettingsOnEveryPath) {
    HierarchicalDesign h;
    const ProjectSettings before = h.d.project->settings;
    EXPECT_FALSE(Build(h.d, kUDBDescend | kUDBSimulatorMaps | kUDBQualifyAllLocal).empty());
    EXPECT_EQ(std::memcmp(&before, &h.d.project->settings, sizeof before), 0);
    ASSERT_NE(h.d.project->compMap, nullptr);
    char designator[256];
    EXPECT_TRUE(GetSpiceCompMapRefDes(h.d.project->compMap, h.second->instance->id, 1, designator));
    EXPECT_STREQ(designator, "R4");

    // Annotation that cannot be loaded ends the build with its status; the settings are back.
    h.d.project->settings.annotationFlags = kAnnotationKeptInSheets;
    const ProjectSettings kept = h.d.project->settings;
    OSStatus st = 0;
    Build(h.d, kUDBDescend | kUDBSimulatorMaps, &st);
    EXPECT_EQ(st, status::kNotFound);
    EXPECT_EQ(std::memcmp(&kept, &h.d.project->settings, sizeof kept), 0);
}

// A simulator build makes its qualifiers follow the names; the names read from it afterwards keep
// that form although the project's own setting (qualifier in front) is back.
TEST(NetlistDB, NamesOfASimulatorBuildKeepItsQualifierForm) {
    HierarchicalDesign h;
    h.d.project->settings.instanceNamePlace = 0;
    std::memcpy(h.d.project->settings.separator, ":", 2);
    for (const uint16_t flags : {uint16_t(kUDBDescend), uint16_t(kUDBDescend | kUDBSimulatorMaps)}) {
        UnifiedDBRecord db;
        InitUnifiedDB(&db);
        ASSERT_EQ(CreateUnifiedDB(h.d.project, nullptr, flags, &db), 0);
        std::vector<std::string> names;
        char text[kUDBTextSize];
        for (size_t n = 0; n < db.nets.size(); ++n) {
            if (!db.nets[n].live || !db.nets[n].qualifier) continue;
            GetUDBNetName(&db, int32_t(n), nullptr, true, text);
            names.push_back(text);
            GetUDBNetName(&db, int32_t(n), nullptr, false, text);
            EXPECT_STREQ(text, "MID");
        }
        DestroyUnifiedDB(&db);
        std::sort(names.begin(), names.end());
        if (flags & kUDBSimulatorMaps)
            EXPECT_EQ(names, (std::vector<std::string>{"MID:S1", "MID:S2"}));
        else
            EXPECT_EQ(names, (std::vector<std::string>{"I2:MID", "I3:MID"}));
    }
}

// Two sheet symbols of one name over one child name both instances alike; in a simulator build
// the designators of the sheet symbols (X1, X2) stand in front of that name, so the child's local
// net MID stays two nets, and the designators of the instances' parts are qualified apart too.
TEST(NetlistDB, SimulatorBuildTellsApartUsesOfASheetWhoseSymbolsShareAName) {
    HierarchicalDesign h;
    h.first->displayName = h.second->displayName = AddProjectName(h.d.project, "RC");
    for (SheetNode* node : {h.first, h.second}) {
        auto* symbol = static_cast<SymbolRecord*>(LLFirst(h.root->symbolList));
        while (symbol && symbol->serial != node->serial) symbol = symbol->next;
        ASSERT_NE(symbol, nullptr);
        h.d.Annotate("ROOT.SHX", symbol, h.top, node == h.first ? "X1" : "X2");
    }
    h.d.project->settings.qualifyDesignators = 1;
    h.d.project->settings.instanceNamePlace = 0;  // the project puts qualifiers in front
    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    ASSERT_EQ(CreateUnifiedDB(h.d.project, nullptr, kUDBDescend | kUDBSimulatorMaps, &db), 0);
    std::vector<std::string> mids, designators;
    char text[kUDBTextSize];
    for (size_t n = 0; n < db.nets.size(); ++n) {
        if (!db.nets[n].live || !GetUDBNetName(&db, int32_t(n), nullptr, false, text) || std::string(text) != "MID")
            continue;
        GetUDBNetName(&db, int32_t(n), nullptr, true, text);
        mids.push_back(text);
    }
    for (uint32_t row = 0; row < db.comps.size(); ++row) {
        GetUDBRefDes(&db, row, nullptr, true, text);
        designators.push_back(text);
    }
    DestroyUnifiedDB(&db);
    std::sort(mids.begin(), mids.end());
    EXPECT_EQ(mids, (std::vector<std::string>{"MID:X1:RC", "MID:X2:RC"}));
    // Each designator keeps its element letter in front.
    std::sort(designators.begin(), designators.end());
    EXPECT_EQ(designators, (std::vector<std::string>{"R101", "R102", "R1:X1:RC", "R2:X1:RC", "R3:X1:RC", "R4:X2:RC",
                                                     "R5:X2:RC", "R6:X2:RC"}));
    // The sheet symbols are in the simulator's component map under their designators.
    ASSERT_NE(h.d.project->compMap, nullptr);
    EXPECT_TRUE(GetSpiceCompMapRefDes(h.d.project->compMap, h.top->instance->id, h.second->serial, text));
    EXPECT_STREQ(text, "X2");
    // The path of an instance puts the designator that the map holds in front of the name.
    char path[256];
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.second, nullptr, h.d.project->compMap, 1, path, sizeof path), 11);
    EXPECT_STREQ(path, "ROOT:X2:RC");
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.second, nullptr, nullptr, 1, path, sizeof path), 8);
    EXPECT_STREQ(path, "ROOT:RC");
}

TEST(NetlistDB, BussRangesAreBounded) {
    Design d{2};
    SheetRecord* s = d.AddSheet("S.SHX");
    d.FinishSpecs();
    d.AddNode(nullptr, "S.SHX", 0);
    for (const char* name : {"HUGE[0..1000000000]", "WIDE[0..9999]"}) {
        BussHandle buss = CreateBuss(s->bussList);
        SetBussName(buss, s->stringBlock, name);
    }
    UnifiedDBRecord db;
    InitUnifiedDB(&db);
    ASSERT_EQ(CreateUnifiedDB(d.project, nullptr, kUDBDescend, &db), 0);
    // Members without pins are dead-stripped; the name table shows what was made.
    EXPECT_EQ(db.netNames.size(), 10000u);
    DestroyUnifiedDB(&db);
}

TEST(NetlistDB, APinOnTwoNetsKeepsBothRows) {
    OneSheet one;
    Design& d = one.d;
    SheetRecord* s = one.s;
    SheetNode* node = one.node;
    ComponentRecord* gate = Design::MakeComponent(s, "GATE", "U", 2, 1);
    SymbolRecord* a = Design::Place(s, gate);
    SymbolRecord* b = Design::Place(s, gate);
    // Both sections carry pin number 1 here: the second section's number is the first's.
    SetCompSectionPinNumber(GetCompSection(gate, 1), s->stringBlock, 0, 0, "1");
    d.Annotate("S.SHX", a, node, "U1", 0);
    d.Annotate("S.SHX", b, node, "U1", 1);
    Design::Net(s, "P", {{a, 0}});
    Design::Net(s, "Q", {{b, 0}});
    const std::string dump = Build(d, kUDBDescend);
    EXPECT_NE(dump.find("pin U1.1 name=A net=P node=I1 multinet"), std::string::npos) << dump;
    EXPECT_NE(dump.find("pin U1.1 name=A net=Q node=I1 multinet"), std::string::npos) << dump;
}

// Hidden pins name their nets through the sheet's fields, and a hidden bus pin over a range
// stands for one row per member, each on the member of its signal's range.
TEST(NetlistDB, HiddenPinSignalsExpandFieldsAndBusPinsSplitIntoMembers) {
    OneSheet one;
    Design& d = one.d;
    SheetRecord* s = one.s;
    SheetNode* node = one.node;
    if (!s->attributes) s->attributes = AllocHandle(nullptr, 0);
    int16_t count = int16_t(s->stored.attributeCount);
    SetAttributeValue(s->stringBlock, s->attributes, 0, &count, "RAIL", "VDDA", nullptr);
    s->stored.attributeCount = uint16_t(count);
    ComponentRecord* ic = Design::MakeComponent(s, "IC", "U", 1, 1, {{"8", " {RAIL} "}, {"9", "Q[0..1]"}});
    // Hidden pin 8 is named PWR; hidden pin 9 is a bus pin named P[0..1].
    SetPinDataName(GetIndexedPinData(s->pinDataTable, int32_t(CompHiddenPins(ic)[0][0].pinDataId)), s->stringBlock,
                   "PWR");
    Handle bus = GetIndexedPinData(s->pinDataTable, int32_t(CompHiddenPins(ic)[0][1].pinDataId));
    SetPinDataName(bus, s->stringBlock, "P[0..1]");
    SetPinDataType(bus, kPinBusFlag | kPinPower, true);
    CalcCompHash(ic, s->stringBlock);
    SymbolRecord* u = Design::Place(s, ic);
    d.Annotate("S.SHX", u, node, "U1");
    Design::Net(s, "IN", {{u, 0}});
    const std::string dump = Build(d, kUDBDescend);
    EXPECT_EQ(dump, R"(sheet 0 S.SHX
comp U1 part=IC slots=1 sheet=0
net IN scope=local sheet=0 single
net Q0 scope=global sheet=0 single
net Q1 scope=global sheet=0 single
net VDDA scope=global sheet=0 single
pin U1.1 name=A net=IN node=I1
pin U1.8 name=PWR net=VDDA node=- hidden
pin U1.9P0 name=P[0..1] net=Q0 node=- hidden
pin U1.9P1 name=P[0..1] net=Q1 node=- hidden
)") << dump;
}

std::string ListSignalMap(ProjectRecord* project) {
    std::string out;
    SpiceSignalMapEntry e{};
    for (int32_t i = 0; i < DACount(project->signalMap); ++i) {
        if (!DAGet(project->signalMap, i, &e)) continue;
        char name[65], net[65], qualifier[65];
        ExtractSignalMapSignalName(project->signalMap, e.name, name);
        ExtractSignalMapSignalName(project->signalMap, e.netName, net);
        ExtractSignalMapSignalName(project->signalMap, e.qualifier, qualifier);
        out += "I" + std::to_string(e.key) + " " + name + " -> " + net + qualifier + "\n";
    }
    return out;
}

// The simulator signal map records, per instance, the signals whose nets are named otherwise
// (port nets named from the parent) or qualified (local nets split per instance).
TEST(NetlistDB, SimulatorSignalMapNamesEachInstancesSignals) {
    HierarchicalDesign h;
    EXPECT_FALSE(Build(h.d, kUDBDescend | kUDBSimulatorMaps | kUDBQualifyAllLocal).empty());
    ASSERT_NE(h.d.project->signalMap, nullptr);
    EXPECT_EQ(ListSignalMap(h.d.project), R"(I2 IN -> A
I2 MID -> MID:S1
I2 OUT -> B
I3 IN -> B
I3 MID -> MID:S2
I3 OUT -> C
)");
    char text[kUDBTextSize] = "mid";
    EXPECT_TRUE(GetMappedSignalName(h.d.project, h.second->instance->id, text));
    EXPECT_STREQ(text, "MID:S2");
    std::snprintf(text, sizeof text, "OUT");
    EXPECT_TRUE(GetMappedSignalName(h.d.project, h.first->instance->id, text));
    EXPECT_STREQ(text, "B");
    // No entry: the text stays.
    for (uint32_t instance : {h.top->instance->id, h.first->instance->id, 99u}) {
        std::snprintf(text, sizeof text, "GND");
        EXPECT_FALSE(GetMappedSignalName(h.d.project, instance, text));
        EXPECT_STREQ(text, "GND");
    }
    // A project without a map in memory or in a file maps nothing.
    DestroySpiceSignalMap(h.d.project->signalMap);
    h.d.project->signalMap = nullptr;
    std::snprintf(text, sizeof text, "MID");
    EXPECT_FALSE(GetMappedSignalName(h.d.project, h.second->instance->id, text));
    EXPECT_STREQ(text, "MID");
}

std::string gCompListTrace;

std::string CompName(ComponentRecord* comp, StringBlock block) {
    char name[kStringSpecBufferSize] = "";
    if (comp && comp->nameCount) GetCompName(comp, block, 0, name);
    return name;
}

OSStatus TraceCompListSheet(UnifiedCompsData* data, SheetRecord*, SymbolRecord* symbol, ComponentRecord* comp,
                            int32_t package, void*) {
    gCompListTrace += symbol ? "symbol " + std::to_string(symbol->serial) + " " + CompName(comp, data->strings) + " " +
                                   std::to_string(package) + "\n"
                             : "sheet\n";
    return 0;
}

OSStatus TraceCompListInstance(UnifiedCompsData*, SheetRecord*, SymbolRecord* symbol, SheetNode*,
                               SheetInstance* instance, void* user) {
    gCompListTrace += "  in I" + std::to_string(instance ? instance->id : 0u) +
                      (symbol ? "" : " (sheet)") + "\n";
    const uint32_t stopAt = user ? *static_cast<uint32_t*>(user) : 0;
    return symbol && symbol->serial == stopAt ? OSStatus(-1234) : OSStatus(0);
}

// The unified component list walks the sheets once each and dispatches every instance; one kind
// of component gathered from two sheets is one list entry.
TEST(NetlistDB, UnifiedCompListCollectsEachKindOnce) {
    HierarchicalDesign h;
    UnifiedCompsData data{};
    ASSERT_TRUE(InitUnifiedCompsData(&data));
    gCompListTrace.clear();
    ASSERT_EQ(BuildUnifiedCompList(h.d.project, &data, nullptr, kUCLDescend, TraceCompListSheet,
                                   TraceCompListInstance, nullptr),
              0);
    EXPECT_EQ(gCompListTrace, R"(sheet
  in I1 (sheet)
symbol 1 RES 0
  in I1
symbol 2 RES 0
  in I1
sheet
  in I2 (sheet)
  in I3 (sheet)
symbol 1 RES 0
  in I2
  in I3
symbol 2 RES 0
  in I2
  in I3
symbol 3 RES 0
  in I2
  in I3
)");
    EXPECT_EQ(data.list->count, 1u);
    FreeUnifiedCompsData(&data);

    // Sheet symbols count with kUCLSheetSymbols; a procedure's failure ends the walk, freeing the data.
    ASSERT_TRUE(InitUnifiedCompsData(&data));
    gCompListTrace.clear();
    uint32_t stopAt = 4;
    EXPECT_EQ(BuildUnifiedCompList(h.d.project, &data, h.top, kUCLSheetSymbols, TraceCompListSheet,
                                   TraceCompListInstance, &stopAt),
              -1234);
    EXPECT_EQ(data.list, nullptr);
    EXPECT_NE(gCompListTrace.find("symbol 3 "), std::string::npos) << gCompListTrace;
    EXPECT_EQ(gCompListTrace.find("(sheet)\n  in I2"), std::string::npos) << gCompListTrace;
}

OSStatus NoteSheetProject(ProjectRecord* project, SheetNode*, bool, SheetSpec* spec, SheetRecord* sheet, void* data) {
    if (spec) *static_cast<std::string*>(data) += sheet->project == project ? "mine " : "other ";
    return 0;
}

// The walk's second pass gives sheets that belong to no project the project's context before the
// first pass sees them.
TEST(NetlistDB, TwoPassWalkGivesSheetsTheProjectsContext) {
    HierarchicalDesign h;
    h.root->project = nullptr;
    h.child->project = nullptr;
    std::string seen;
    ASSERT_EQ(ProcessHierarchySheets(h.d.project, nullptr, kWalkDescend, NoteSheetProject, nullptr, &seen), 0);
    EXPECT_EQ(seen, "other other ");
    EXPECT_FALSE(gHeirarchyRebuilt);
    seen.clear();
    ASSERT_EQ(ProcessHierarchySheets(h.d.project, nullptr, kWalkDescend | kWalkTwoPasses, NoteSheetProject, nullptr,
                                     &seen),
              0);
    EXPECT_EQ(seen, "mine mine ");
    EXPECT_TRUE(gHeirarchyRebuilt);
    EXPECT_EQ(h.child->hierarchyContext, h.first->instance);
    // Sheets of the project already are left as they are.
    h.child->hierarchyContext = h.second->instance;
    seen.clear();
    ASSERT_EQ(ProcessHierarchySheets(h.d.project, nullptr, kWalkDescend | kWalkTwoPasses, NoteSheetProject, nullptr,
                                     &seen),
              0);
    EXPECT_FALSE(gHeirarchyRebuilt);
    EXPECT_EQ(h.child->hierarchyContext, h.second->instance);
}

TEST(NetlistDB, InstancePathsFollowTheirFlags) {
    HierarchicalDesign h;
    char path[256];
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.top, nullptr, nullptr, 0, path, sizeof path), 0);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.top, nullptr, nullptr, 1, path, sizeof path), 5);
    EXPECT_STREQ(path, "ROOT");
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.first, nullptr, nullptr, 1, path, sizeof path), 8);
    EXPECT_STREQ(path, "ROOT:S1");
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.first, nullptr, nullptr, 5, path, sizeof path), 8);
    EXPECT_STREQ(path, "S1:ROOT");
    // A part that does not fit is left out; the length still counts it.
    EXPECT_EQ(BuildSheetInstancePath(h.d.project, h.first, nullptr, nullptr, 1, path, 6), 8);
    EXPECT_STREQ(path, "ROOT");
}

}  // namespace
}  // namespace plexa
