// The difference analysis and the ECO log: a current design against an ECO file that differs in
// every way the log lists, the WAS-IS text of its relabelled parts, and a comparison that finds
// only added pin connections.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "design/ecodiff.h"
#include "design/ecostate.h"
#include "design/wasis.h"

namespace plexa {
namespace {

struct Part {
    const char* designator;
    const char* name;
    const char* footprint;
    std::vector<std::pair<const char*, const char*>> pins;  // {pin, net}
};

void Build(DesignStateRecord* s, const std::vector<Part>& parts, uint32_t flags) {
    ASSERT_EQ(InitDesignState(s, kStateInitTexts), 0);
    SetDesignStateInfo(s, "Board", 0, kStateKindSchematic);
    s->flags = flags;
    for (const Part& p : parts) {
        const int32_t id = AddECOCompText(s, p.designator, p.name);
        AddECOComp(s, uint16_t(id), p.footprint);
        for (const auto& [pin, net] : p.pins) {
            int32_t n = RetrieveECONet(s, net);
            if (n < 0) n = AddECONet(s, net);
            AddECONetMember(s, n, uint16_t(id), pin);
        }
    }
}

TEST(ECODiff, LogsEveryCategory) {
    DesignStateRecord a, b;
    Build(&a,
          {{"U1", "7400", "DIP14", {{"1", "N1"}, {"2", "N2"}, {"3", "N1"}, {"4", "N5"}, {"5", "N5"}, {"6", "M1"}, {"7", "M2"}}},
           {"R1", "RES", "R0805", {{"1", "N1"}, {"2", "GONE"}}},
           {"R2", "RES", "R0805", {{"1", "N3"}, {"2", "N4"}}},
           {"C1", "CAP", "C0805", {}},
           {"U2", "7404", "DIP14", {}}},
          0);
    Build(&b,
          {{"U1", "7400", "DIP14\t\t\t", {{"1", "N1"}, {"2", "N2B"}, {"4", "N5"}, {"5", "N6"}, {"6", "MX"}, {"7", "MX"}}},
           {"R1", "RES", "R0805", {{"1", "N1"}}},
           {"R7", "RES", "R0805", {{"1", "N3"}, {"2", "N4"}}},
           {"D1", "DIODE", "SOD", {{"1", "N1"}}},
           {"U2", "74HC04", "DIP14", {}}},
          kStateSynchByName | kStateSynchByFootprint);
    CreateECOLog();
    DiffAnylise(&a, &b, false);
    LogAllDifferences(&a, &b);
    EXPECT_EQ(gECOLog.text,
              "The ECO file indicates the following differences:\n"
              "\n"
              "Deleted Components:\n"
              "    C1                  CAP\n"
              "\n"
              "Annotation Changes:\n"
              "    R2                  -->  R7\n"
              "\n"
              "Modified Components:\n"
              "    U2                  74HC04\n"
              "\n"
              "Added Components:\n"
              "    D1                  DIODE\n"
              "\n"
              "Deleted Signals:\n"
              "    GONE\n"
              "\n"
              "Disconnected Pins:\n"
              "    U1  pin  3\n"
              "\n"
              "Pins connected to Different Signals:\n"
              "    U1  pin  5  from  N5  to  N6\n"
              "\n"
              "Renamed Signals:\n"
              "    M2                  -->  MX\n"
              "    N2                  -->  N2B\n"
              "\n"
              "Merged Signals:\n"
              "    M1  into  MX\n"
              "\n"
              "Added Pin Connections:\n"
              "    N1                  D1  pin  1\n"
              "\n");
    EXPECT_TRUE(gECOLog.otherDifferences);
    EXPECT_TRUE(gECOLog.hasLabelChanges);
    WasIsList list;
    CollectRelabels(&a, &list);
    EXPECT_EQ(WriteWasIsText(list), "WAS\tIS\n\"R2\"\t\"R7\"\n");
    DestroyECOLog();
    EmptyDesignState(&a);
    EmptyDesignState(&b);
}

// A net whose pins went to two nets of equal weight keeps the one of its own name as its partner:
// only the pin that left is listed, and never as moving from a signal to one of the same name.
TEST(ECODiff, ATieGoesToThePartnerOfTheSameName) {
    DesignStateRecord a, b;
    Build(&a, {{"U1", "7400", "DIP14", {{"1", "VIN"}, {"2", "VIN"}}}}, 0);
    Build(&b, {{"U1", "7400", "DIP14", {{"1", "VCC"}, {"2", "VIN"}}}}, kStateSynchByName | kStateSynchByFootprint);
    CreateECOLog();
    DiffAnylise(&a, &b, false);
    LogAllDifferences(&a, &b);
    EXPECT_NE(gECOLog.text.find("Pins connected to Different Signals:\n    U1  pin  1  from  VIN  to  VCC\n\n"),
              std::string::npos)
        << gECOLog.text;
    EXPECT_EQ(gECOLog.text.find("from  VIN  to  VIN"), std::string::npos) << gECOLog.text;
    EXPECT_EQ(gECOLog.text.find("Renamed Signals:"), std::string::npos) << gECOLog.text;
    DestroyECOLog();
    EmptyDesignState(&a);
    EmptyDesignState(&b);
}

// The WAS-IS text lists the relabelled parts by their old designators, ignoring case.
TEST(ECODiff, WasIsListsTheDesignatorsInOrder) {
    DesignStateRecord a, b;
    Build(&a,
          {{"r10", "RES", "R0805", {{"1", "N10"}}},
           {"R2", "RES", "R0805", {{"1", "N2"}}},
           {"C5", "CAP", "C0805", {{"1", "N5"}}}},
          0);
    Build(&b,
          {{"R20", "RES", "R0805", {{"1", "N10"}}},
           {"R7", "RES", "R0805", {{"1", "N2"}}},
           {"C6", "CAP", "C0805", {{"1", "N5"}}}},
          kStateSynchByName | kStateSynchByFootprint);
    DiffAnylise(&a, &b, false);
    WasIsList list;
    CollectRelabels(&a, &list);
    EXPECT_EQ(WriteWasIsText(list), "WAS\tIS\n\"C5\"\t\"C6\"\n\"r10\"\t\"R20\"\n\"R2\"\t\"R7\"\n");
    EmptyDesignState(&a);
    EmptyDesignState(&b);
}

TEST(ECODiff, AZeroScoreNeverRelabels) {
    // R2 and R7 share footprint and name but no pin on a like-named net: R2 is deleted and R7
    // added, never R2 renamed to R7.
    DesignStateRecord a, b;
    Build(&a, {{"R2", "RES", "R0805", {{"1", "N3"}}}}, 0);
    Build(&b, {{"R7", "RES", "R0805", {{"1", "OTHER"}}}}, kStateSynchByName | kStateSynchByFootprint);
    DiffAnylise(&a, &b, false);
    EXPECT_TRUE(a.components[0].diffFlags & kECOCompDeleted);
    EXPECT_TRUE(b.components[0].diffFlags & kECOCompAdded);
    WasIsList list;
    CollectRelabels(&a, &list);
    EXPECT_TRUE(list.entries.empty());
    EmptyDesignState(&a);
    EmptyDesignState(&b);
}

TEST(ECODiff, OnlyAddedPinConnections) {
    DesignStateRecord a, b;
    Build(&a, {{"U1", "7400", "DIP14", {{"1", "N1"}}}}, 0);
    Build(&b, {{"U1", "7400", "DIP14", {{"1", "N1"}, {"2", "N1"}}}}, kStateSynchByName | kStateSynchByFootprint);
    CreateECOLog();
    DiffAnylise(&a, &b, false);
    LogAllDifferences(&a, &b);
    EXPECT_FALSE(gECOLog.otherDifferences);
    EXPECT_FALSE(gECOLog.hasLabelChanges);
    EXPECT_NE(gECOLog.text.find("Added Pin Connections:\n    N1                  U1  pin  2\n"), std::string::npos);
    DestroyECOLog();
    EmptyDesignState(&a);
    EmptyDesignState(&b);
}

TEST(ECODiff, StateInfo) {
    DesignStateRecord s;
    Build(&s, {}, 0);
    s.revisionTime = 2082844800u + 86400u;  // 1970-01-02
    EXPECT_EQ(WriteDesignStateInfo(&s),
              "ECO SOURCE DESIGN:\n  Name:   Board\n  Kind:   Schematic\n  Rev:    1970-01-02  00:00:00\n");
    s.kind = 7;
    s.revisionTime = 0;
    EXPECT_NE(WriteDesignStateInfo(&s).find("Kind:   Unknown\n  Rev:    Unknown\n"), std::string::npos);
    EmptyDesignState(&s);
}

}  // namespace
}  // namespace plexa
