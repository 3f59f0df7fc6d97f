// Busses and break-outs: members of a buss, cutting and combining busses with their break-outs,
// the break-out table's purging and compaction, names and labels, hit tests and the naming
// sequence of consecutive break-outs.
#include <cstring>

#include "foundation/assert.h"
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

class BussTest : public NetTest {
protected:
    BussHandle Buss(const char* name, const std::vector<Point>& corners) {
        BussHandle buss = CreateBuss(drawing->bussList);
        SetBussName(buss, drawing->stringBlock, name);
        LLPush((*buss)->wires, MakeWire(corners, kWireEndFree, kWireEndFree, kWireFlagBuss));
        CalcBussBounds(buss);
        return buss;
    }
    // A signal leaving the buss at `at` through a break-out whose stub ends at `elbow`.
    SignalHandle BrokenOut(BussHandle buss, const char* name, Point at, Point elbow, Point end) {
        const int32_t row = AddBussBreakout(drawing->breakOutTable, buss, at, elbow);
        SignalHandle signal = CreateSignal(drawing->signalList);
        SetSignalName(signal, drawing->stringBlock, name);
        LLPush((*signal)->wires, MakeWire({elbow, end}, uint16_t(kWireEndBreakOut | row)));
        CleanupSignalWires(signal, nullptr);
        return signal;
    }
    std::string Members(BussHandle buss) {
        BusMembersCollection members = CollectBusMemberInfo(drawing, buss);
        std::string text;
        for (int32_t i = 0; i < CountBusMembers(members); ++i) {
            char name[kBusMemberNameSize];
            const int32_t source = GetCollectedBusMemberInfo(members, i, name);
            text += (i ? " " : "") + std::string(name) + ":" + std::to_string(source);
        }
        DestroyBusMembersCollection(members);
        return text;
    }
    std::string Text(const TextRecord* text) {
        char buffer[kStringSpecBufferSize];
        GetTextRecordString(text, drawing->stringBlock, buffer, sizeof buffer);
        return buffer;
    }
};

TEST_F(BussTest, ABussWithBreakOutsIsCutAndItsBreakOutTableCompacted) {
    BussHandle buss = Buss("A[0..3]", {P(0, 0), P(100, 0)});
    BrokenOut(buss, "A0", P(10, 0), P(15, 5), P(15, 40));
    AddBussBreakout(drawing->breakOutTable, buss, P(30, 0), P(35, 5));  // nothing uses it
    BrokenOut(buss, "A2", P(70, 0), P(75, 5), P(75, 40));
    EXPECT_EQ(Members(buss), "A0:3 A1:1 A2:3 A3:1");
    EXPECT_EQ(Nets(),
              "signals 2\n"
              "  S1 \"A2\" flags 0x0004 bounds (66,-4)-(84,41)\n"
              "    W1 breakout 2 - free: (75,5) (75,40)\n"
              "  S2 \"A0\" flags 0x0004 bounds (6,-4)-(24,41)\n"
              "    W1 breakout 0 - free: (15,5) (15,40)\n"
              "busses 1\n"
              "  B1 \"A[0..3]\" bounds (-1,-1)-(102,2)\n"
              "    W1 free - free flags 0x0002: (0,0) (100,0)\n"
              "breakouts 3\n"
              "  row 0: (10,0)-(15,5) buss B1\n"
              "  row 1: (30,0)-(35,5) buss B1\n"
              "  row 2: (70,0)-(75,5) buss B1\n");
    // Cut out the stretch (40,0)-(60,0): two busses of the same name, each keeping the break-outs
    // on its own wire.
    WireHandle line = FirstWire((*buss)->wires);
    WireHandle rest = SplitWire(line, 0, P(40, 0), false);
    WireHandle right = SplitWire(rest, 0, P(60, 0), false);
    LLPush((*buss)->wires, rest);
    LLPush((*buss)->wires, right);
    RemoveWireFromBuss(buss, rest, true);
    Rect area;
    VXSetEmptyRect(&area);
    SplitBussGroups(buss, drawing->bussList, drawing->breakOutTable, drawing->symbolList,
                    drawing->textList, nullptr, &area);
    EXPECT_EQ(DumpSheet(drawing, kDumpBusses),
              "busses 2\n"
              "  B1 \"A[0..3]\" bounds (-1,-1)-(42,2)\n"
              "    W1 free - free flags 0x0006: (0,0) (40,0)\n"
              "  B2 \"A[0..3]\" bounds (59,-1)-(102,2)\n"
              "    W1 free - free flags 0x0006: (60,0) (100,0)\n"
              "breakouts 3\n"
              "  row 0: (10,0)-(15,5) buss B1\n"
              "  row 1: (30,0)-(35,5) buss B1\n"
              "  row 2: (70,0)-(75,5) buss B2\n");
    EXPECT_EQ(Members(static_cast<BussHandle>(LLFirst(drawing->bussList))), "A0:3 A1:1 A2:1 A3:1");
    // Purge the row nothing uses and compact: the signal at row 2 now refers to row 1.
    PurgeUnusedBreakOuts(drawing->breakOutTable, drawing->signalList);
    CompactBreakOutTable(drawing->breakOutTable, drawing->signalList);
    EXPECT_EQ(Nets(),
              "signals 2\n"
              "  S1 \"A2\" flags 0x0004 bounds (66,-4)-(84,41)\n"
              "    W1 breakout 1 - free: (75,5) (75,40)\n"
              "  S2 \"A0\" flags 0x0004 bounds (6,-4)-(24,41)\n"
              "    W1 breakout 0 - free: (15,5) (15,40)\n"
              "busses 2\n"
              "  B1 \"A[0..3]\" bounds (-1,-1)-(42,2)\n"
              "    W1 free - free flags 0x0006: (0,0) (40,0)\n"
              "  B2 \"A[0..3]\" bounds (59,-1)-(102,2)\n"
              "    W1 free - free flags 0x0006: (60,0) (100,0)\n"
              "breakouts 2\n"
              "  row 0: (10,0)-(15,5) buss B1\n"
              "  row 1: (70,0)-(75,5) buss B2\n");
    // Every break-out end still names a row of its buss at its own corner.
    for (auto s = static_cast<SignalHandle>(LLFirst(drawing->signalList)); s;
         s = static_cast<SignalHandle>(LLGetNext(drawing->signalList, s))) {
        WireHandle w = FirstWire((*s)->wires);
        BreakOutRow row;
        ASSERT_TRUE(GetBreakOutRow(drawing->breakOutTable, (*w)->end0 & kWireEndIndexMask, &row));
        EXPECT_EQ(PointsText({row.second}), PointsText({WireCorners(w)[0]}));
    }
}

TEST_F(BussTest, CombiningBussesMovesWiresBreakOutsAndLabels) {
    BussHandle left = Buss("D[0..7]", {P(0, 0), P(40, 0)});
    BussHandle right = Buss("", {P(40, 0), P(80, 0)});
    BrokenOut(right, "D5", P(60, 0), P(65, 5), P(65, 30));
    TextRecord* label = CreateBussWireLabel(drawing, left, FirstWire((*left)->wires), 0, true);
    ASSERT_NE(label, nullptr);
    CombineBusses(drawing, left, right);
    EXPECT_EQ(DumpSheet(drawing, kDumpBusses),
              "busses 1\n"
              "  B1 \"D[0..7]\" bounds (-1,-1)-(82,2)\n"
              "    W1 free - free flags 0x0002: (0,0) (80,0)\n"
              "    label T1 \"D[0..7]\" on W1 segment 0\n"
              "breakouts 1\n"
              "  row 0: (60,0)-(65,5) buss B1\n");
    EXPECT_EQ(label->owner, BussOwnerWord(right));
}

TEST_F(BussTest, LabelsShowTheBussOrTheirTerminalsName) {
    SymbolRecord* part = driver->AddSymbol(9);
    BussHandle buss = Buss("ADDR[0:15]", {P(0, 0), P(40, 0), P(40, 30)});
    const StringSpec a3 = OverlayStringBlock(drawing->stringBlock, "A3", -1, nullptr);
    (*FirstWire((*buss)->wires))->end0 = uint16_t(AddPinToBuss(buss, part, 4, a3));
    WireHandle wire = FirstWire((*buss)->wires);
    TextRecord* atTerminal = CreateBussWireLabel(drawing, buss, wire, 0, true);
    TextRecord* elsewhere = CreateBussWireLabel(drawing, buss, wire, 1, true);
    ASSERT_TRUE(atTerminal && elsewhere);
    EXPECT_EQ(Text(atTerminal), "A3");
    EXPECT_EQ(Text(elsewhere), "ADDR[0:15]");
    EXPECT_EQ(IsBussTerminalSegment(drawing, buss, wire, 0, gMinusOnePoint), 0);
    EXPECT_EQ(IsBussTerminalSegment(drawing, buss, wire, 1, gMinusOnePoint), -1);
    EXPECT_EQ(GetBussWireSegLabel(buss, wire, 1, drawing->textList), elsewhere);
    SetBussName(buss, drawing->stringBlock, "ADDR[0:7]");
    SetBussTerminalName(buss, 0, drawing->stringBlock, "A4");
    UpdateBussNameLabels(drawing, buss, true);
    EXPECT_EQ(Text(atTerminal), "A4");
    EXPECT_EQ(Text(elsewhere), "ADDR[0:7]");
    // A nameless buss keeps no label that shows its name.
    SetBussName(buss, drawing->stringBlock, "");
    UpdateBussNameLabels(drawing, buss, false);
    EXPECT_EQ(drawing->textList->count, 1u);
    EXPECT_EQ(LLFirst(drawing->textList), atTerminal);
}

TEST_F(BussTest, LabelsAreFittedAlongTheLine) {
    BussHandle buss = Buss("B[0..3]", {P(0, 0), P(60, 0), P(60, 200)});
    WireHandle wire = FirstWire((*buss)->wires);
    TextRecord* label = CreateBussWireLabel(drawing, buss, wire, 0, false);
    const int32_t half = (label->bounds.right - label->bounds.left) / 2;
    AutoPositionBussLabel(drawing, wire, 0, gMinusOnePoint, label);
    EXPECT_EQ(label->position.v, -2);
    EXPECT_EQ(label->position.h, 30 - half);
    EXPECT_EQ(label->flags & 7, 0);
    label->flags |= 2;
    AutoPositionBussLabel(drawing, wire, 0, gMinusOnePoint, label);
    EXPECT_EQ(label->position.v, 1);
    EXPECT_EQ(label->position.h, 30 + half);
    EXPECT_EQ(label->flags & 7, 2);
    label->flags &= uint16_t(~7);
    CalcTextBounds(nullptr, label, drawing->stringBlock);
    AutoPositionBussLabel(drawing, wire, 1, gMinusOnePoint, label);
    EXPECT_EQ(label->position.h, 61);
    EXPECT_EQ(label->position.v, 100 - half);
    EXPECT_EQ(label->flags & 7, 1);
    TextRecord* shown = ShowBussWireSegLabel(drawing, buss, wire, 0, P(30, 0));
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(shown, label);
    EXPECT_TRUE(shown->flags & kLabelFlagShown);
}

TEST_F(BussTest, TerminalsAndNames) {
    SymbolRecord* port = driver->AddSymbol(3, kSymbolFlagPort | kSymbolFlagBussPort);
    SymbolRecord* part = driver->AddSymbol(4);
    BussHandle buss = Buss("DATA[0:7]", {P(0, 0), P(50, 0)});
    EXPECT_EQ(AddPinToBuss(buss, port, 0, 0), 0);
    EXPECT_EQ(AddPinToBuss(buss, part, 1, 0), 1);
    EXPECT_EQ(AddPinToBuss(buss, port, 0, 77), 0);
    char name[kSignalNameSize];
    EXPECT_EQ(GetBussTerminalName(buss, 1, drawing->stringBlock, name), 1);
    EXPECT_STREQ(name, "DATA[0:7]");
    const std::string longName(500, 'T');
    SetBussTerminalName(buss, 1, drawing->stringBlock, longName.c_str());
    char bounded[kSignalNameSize + 4];
    std::memset(bounded, 'x', sizeof bounded);
    EXPECT_EQ(GetBussTerminalName(buss, 1, drawing->stringBlock, bounded, kSignalNameSize), 0);
    EXPECT_EQ(std::strlen(bounded), size_t(kSignalNameSize - 1));
    EXPECT_EQ(bounded[kSignalNameSize], 'x');
    EXPECT_FALSE(IsNonPortBussTerminal(drawing, buss, 0));
    EXPECT_TRUE(IsNonPortBussTerminal(drawing, buss, 1));
    EXPECT_FALSE(IsNonPortBussTerminal(drawing, buss, 2));
    EXPECT_EQ(GetBussPinSymbol(drawing->symbolList, buss, 1), part);
    WireHandle wire = nullptr;
    uint16_t index = 0;
    (*FirstWire((*buss)->wires))->end1 = 1;
    EXPECT_EQ(GetConnectedBuss(drawing->bussList, part, 1, &wire, &index), buss);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(wire, FirstWire((*buss)->wires));
    EXPECT_EQ(GetConnectedBuss(drawing->bussList, part, 0, &wire, &index), nullptr);
    EXPECT_EQ(index, 0xFFFF);
    // The buss port shows the buss's name.
    EXPECT_EQ(GetPortSymbolName(drawing, port, nullptr, name), 1);
    EXPECT_STREQ(name, "DATA[0:7]");
    // Deleting terminal 0 frees its ends as 0xFFFF and renumbers the rest.
    (*FirstWire((*buss)->wires))->end0 = 0;
    DeleteBussPinTerminal(buss, 0);
    EXPECT_EQ((*FirstWire((*buss)->wires))->end0, kWireEndFreeZero);
    EXPECT_EQ((*FirstWire((*buss)->wires))->end1, 0);
    LLRemoveOrFree(drawing->symbolList, part, nullptr, true);
    PurgeMissingBussPins(buss, drawing->symbolList);
    EXPECT_EQ((*buss)->terminalCount, 0);
    EXPECT_EQ((*FirstWire((*buss)->wires))->end1, kWireEndFreeZero);
}

TEST(BussRangeTest, MemberRanges) {
    struct Case {
        const char* name;
        int32_t result;
        const char* base;
        int32_t first, count;
    };
    const Case cases[] = {
        {"D[0..7]", 1, "D", 0, 8},
        {"D [ 7 : 0 ]", 1, "D", 0, 8},
        {"D[3]", 1, "D", 3, 1},
        {"D[10000]", 0, "D", 0, 0},
        {"D[1..]", 0, "D", 0, 0},
        {"D", 0, "D", 0, 0},
        {"D[0..9999]", 1, "D", 0, 10000},
        {"D[0..10000]", 0, "D", 0, 0},
        {"D[99999999999999..1]", 0, "D", 0, 0},
        {"D[2-5]", 0, "D", 0, 0},
        {"D[2..5", 0, "D", 0, 0},
        {"BUS[4:5]x", 1, "BUS", 4, 2},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123[0..3]", 0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ01", 0, 0},
    };
    for (const Case& c : cases) {
        char base[kNetNameBaseLength + 1] = "?";
        int32_t first = -1, count = -1;
        EXPECT_EQ(GetNetNameRange(c.name, base, &first, &count), c.result) << c.name;
        EXPECT_STREQ(base, c.base) << c.name;
        EXPECT_EQ(first, c.first) << c.name;
        EXPECT_EQ(count, c.count) << c.name;
    }
}

TEST_F(BussTest, MembersAreNamesOfTheRangeAndOfBrokenOutSignalsInNaturalOrder) {
    BussHandle buss = Buss("A[0..1]", {P(0, 0), P(50, 0)});
    BrokenOut(buss, "B", P(20, 0), P(25, 5), P(25, 30));
    EXPECT_EQ(Members(buss), "A0:1 A1:1 B:2");
    BussHandle wide = Buss("R[12:8]", {P(0, 100), P(50, 100)});
    EXPECT_EQ(Members(wide), "R8:1 R9:1 R10:1 R11:1 R12:1");
    BussHandle plain = Buss("NONE", {P(0, 200), P(50, 200)});
    EXPECT_EQ(CollectBusMemberInfo(drawing, plain), nullptr);
}

TEST_F(BussTest, ACollectionOfMembersIsBounded) {
    BussHandle buss = Buss("W[0..9999]", {P(0, 0), P(50, 0)});
    for (uint32_t i = 0; i < 3; ++i) {
        SymbolRecord* part = driver->AddSymbol(10 + i);
        const std::string name = std::string(1, char('A' + i)) + "[0..9999]";
        AddPinToBuss(buss, part, 0, OverlayStringBlock(drawing->stringBlock, name.c_str(), -1, nullptr));
    }
    BusMembersCollection members = CollectBusMemberInfo(drawing, buss);
    EXPECT_EQ(CountBusMembers(members), kBusMembersLimit);
    char first[kBusMemberNameSize];
    EXPECT_EQ(GetCollectedBusMemberInfo(members, 0, first), kMemberFromTerminal);
    EXPECT_STREQ(first, "A0");
    EXPECT_EQ(GetCollectedBusMemberInfo(members, kBusMembersLimit, first), -1);
    DestroyBusMembersCollection(members);
}

TEST_F(BussTest, OnlySignalWireEndsReferToBreakOuts) {
    BussHandle buss = Buss("X[0:1]", {P(0, 0), P(50, 0)});
    (*FirstWire((*buss)->wires))->end1 = kWireEndBreakOut | 2;
    if (PLEXA_ASSERTS_ON) {
        EXPECT_DEATH(CalcBussBounds(buss), "IsWireEndBreakOut");
        (*FirstWire((*buss)->wires))->end1 = kWireEndFree;
    } else {
        CalcBussBounds(buss);
        EXPECT_EQ((*FirstWire((*buss)->wires))->end1, kWireEndFree);
    }
}

TEST_F(BussTest, BreakOutRowsOnLines) {
    BussHandle buss = Buss("Q[0:3]", {P(0, 0), P(60, 0), P(60, 60)});
    LLPush((*buss)->wires, MakeWire({P(60, 60), P(100, 60)}, kWireEndFree, kWireEndFree, kWireFlagBuss));
    WireHandle bent = WireAt((*buss)->wires, 1), straight = WireAt((*buss)->wires, 0);
    BreakOutTable table = drawing->breakOutTable;
    const int32_t onCorner = AddBussBreakout(table, buss, P(60, 0), P(65, 5));
    const int32_t shared = AddBussBreakout(table, buss, P(60, 60), P(65, 65));
    EXPECT_TRUE(BussLineHasBreakOuts(table, buss, bent));
    EXPECT_TRUE(BussLineHasExclusiveBreakOuts(table, buss, bent));
    EXPECT_TRUE(BussLineHasBreakOuts(table, buss, straight));
    EXPECT_FALSE(BussLineHasExclusiveBreakOuts(table, buss, straight));
    EXPECT_EQ(WireAt((*buss)->wires, 1), bent);  // put back where it was
    int32_t segment = -1;
    EXPECT_EQ(GetBussLineSegWithBreakOut(table, onCorner, 0, false, &segment), bent);
    EXPECT_EQ(segment, 1);
    EXPECT_EQ(GetBussLineSegWithBreakOut(table, onCorner, 1, false, &segment), bent);
    EXPECT_EQ(segment, 0);
    EXPECT_EQ(GetBussLineSegWithBreakOut(table, shared, 1, false, &segment), straight);
    EXPECT_EQ(GetBussLineSegWithBreakOut(table, shared, -1, true, &segment), nullptr);
    void* owner = nullptr;
    EXPECT_EQ(HitTestBreakOut(table, P(62, 2), 0, &owner), onCorner);
    EXPECT_EQ(owner, buss);
    EXPECT_EQ(HitTestBreakOut(table, P(62, 4), 0, &owner), -1);
    EXPECT_EQ(HitTestBreakOut(table, P(62, 3), 1, &owner), onCorner);
    OffsetBreakOutTable(table, 10, -10);
    BreakOutRow row;
    ASSERT_TRUE(GetBreakOutRow(table, shared, &row));
    EXPECT_EQ(PointsText({row.first, row.second}), "(70,50) (75,55)");
    BussHandle other = CreateBuss(drawing->bussList);
    ChangeBreakoutReferences(table, buss, other);
    ASSERT_TRUE(GetBreakOutRow(table, onCorner, &row));
    EXPECT_EQ(row.buss, other);
    EXPECT_FALSE(GetBreakOutRow(table, 7, &row));
}

TEST_F(BussTest, HitTestsAndSelection) {
    BussHandle buss = Buss("H[0:1]", {P(0, 0), P(60, 0), P(80, 20)});
    // Two screen pixels at every zoom (beside the thick pen's unit), in sheet units, at least one.
    EXPECT_EQ(CalcDefaultBussWireHitTestSlop(drawing), 2);
    for (auto [zoom, slop] : {std::pair{25, 8}, {50, 4}, {150, 2}, {200, 1}, {400, 1}, {800, 1}}) {
        drawing->viewScale = uint16_t(zoom);
        EXPECT_EQ(CalcDefaultBussWireHitTestSlop(drawing), slop) << zoom;
    }
    drawing->viewScale = 100;
    WireHandle wire = nullptr;
    int32_t segment = -1;
    EXPECT_EQ(HitTestBussList(drawing, P(30, 3), -1, false, &wire, &segment, nullptr), buss);
    EXPECT_EQ(segment, 0);
    EXPECT_EQ(HitTestBussList(drawing, P(30, -3), -1, false, &wire, &segment, nullptr), buss);
    EXPECT_EQ(HitTestBussList(drawing, P(30, 5), -1, false, &wire, &segment, nullptr), nullptr);
    EXPECT_EQ(segment, 0xFFFF);
    EXPECT_EQ(HitTestBussList(drawing, P(70, 10), -1, false, &wire, &segment, nullptr), buss);
    EXPECT_EQ(HitTestBussList(drawing, P(70, 10), -1, true, &wire, &segment, nullptr), nullptr);
    (*FirstWire((*buss)->wires))->flags |= kWireFlagSelected;
    BussHandle owner = nullptr;
    EXPECT_EQ(GetSelectedBussLine(drawing, &owner), FirstWire((*buss)->wires));
    EXPECT_EQ(owner, buss);
    Rect area;
    VXSetEmptyRect(&area);
    ClearBussHilite(drawing, &area);
    EXPECT_EQ(GetSelectedBussLine(drawing, &owner), nullptr);
    EXPECT_FALSE(VXEmptyRect(&area));
}

TEST_F(BussTest, DuplicatesAndStringBlockMoves) {
    SymbolRecord* part = driver->AddSymbol(2);
    BussHandle buss = Buss("S[0:3]", {P(0, 0), P(60, 0)});
    AddPinToBuss(buss, part, 0, OverlayStringBlock(drawing->stringBlock, "S2", -1, nullptr));
    BussHandle copy = DuplicateBuss(buss);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ((*copy)->terminalCount, 1);
    EXPECT_NE(FirstWire((*copy)->wires), FirstWire((*buss)->wires));
    int32_t kind = 0;
    EXPECT_EQ(GetWireListOwner((*copy)->wires, &kind), copy);
    EXPECT_EQ(kind, 2);
    StringBlock fresh = CreateStringBlock(gGenPool, 256);
    ASSERT_EQ(ChangeBussStringBlock(copy, drawing->stringBlock, fresh), 0);
    char name[kSignalNameSize];
    GetBussName(copy, fresh, name);
    EXPECT_STREQ(name, "S[0:3]");
    GetBussTerminalName(copy, 0, fresh, name);
    EXPECT_STREQ(name, "S2");
    DestroyStringBlock(fresh);
    DestroyBuss(copy);
    TransformBuss(buss, P(0, 0), 2);
    EXPECT_EQ(DumpRect((*buss)->bounds), "(-61,-1)-(2,2)");
}

TEST_F(BussTest, BreakOutNamingSequence) {
    BussHandle buss = Buss("D[0..15]", {P(0, 0), P(60, 0)});
    BussHandle other = Buss("E[0..3]", {P(0, 20), P(60, 20)});
    char next[kSignalNameSize];
    struct Case {
        const char* last;
        const char* next;  // null: no sequence
    };
    const Case cases[] = {
        {"D07", "D08"}, {"D9", "D10"}, {"D099", "D100"}, {"X", nullptr}, {"7", "8"},
        {"D1A", nullptr}, {"D2147483647", nullptr},
    };
    for (const Case& c : cases) {
        SetBreakoutSequence(drawing, buss, c.last);
        EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, buss, next), c.next ? 1 : 0) << c.last;
        EXPECT_STREQ(next, c.next ? c.next : "") << c.last;
        if (!c.next) {
            EXPECT_EQ(drawing->breakoutSequenceBuss, nullptr);
        }
    }
    SetBreakoutSequence(drawing, buss, "D3");
    EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, buss, next), 1);
    EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, buss, next), 1);
    EXPECT_STREQ(next, "D5");
    EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, other, next), 0);
    EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, buss, next), 0);
    // Names of any length: a long one advances, one that would outgrow a string ends the run.
    const std::string longName = std::string(600, 'L') + "9";
    SetBreakoutSequence(drawing, buss, longName.c_str());
    char whole[kStringSpecBufferSize];
    EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, buss, whole, sizeof whole), 1);
    EXPECT_EQ(std::string(whole), std::string(600, 'L') + "10");
    const std::string longest = std::string(kStringSpecMaxLength - 1, 'L') + "9";
    SetBreakoutSequence(drawing, buss, longest.c_str());
    EXPECT_EQ(AdvanceBreakoutSequenceName(drawing, buss, whole, sizeof whole), 0);
    ClearBreakoutSequence(drawing);
    EXPECT_EQ(drawing->breakoutSequenceName[0], 0);
}

}  // namespace
}  // namespace plexa::test
