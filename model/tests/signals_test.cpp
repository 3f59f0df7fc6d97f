// Signals: pin entries, names, merging and regrouping with their labels, scope, junction dots,
// labels along wires, hit testing and flashing.
#include <cstring>

#include "foundation/timers.h"
#include "model/tests/net_fixture.h"

namespace plexa::test {
namespace {

class SignalTest : public NetTest {
protected:
    // A net drawn between two new pins, renamed.
    SignalHandle Net(const char* name, Point from, Point to, uint32_t serial) {
        driver->AddPin(from, driver->AddSymbol(serial), 0);
        driver->AddPin(to, driver->AddSymbol(serial + 1), 0);
        SignalHandle signal = Draw({from, to});
        SetSignalName(signal, drawing->stringBlock, name);
        return signal;
    }
    TextRecord* Label(SignalHandle signal, int32_t wire = 0, int32_t segment = 0) {
        return CreateSignalWireLabel(drawing, signal, WireAt((*signal)->wires, wire), segment,
                                     false);
    }
    std::string LabelText(const TextRecord* label) {
        char buffer[kStringSpecBufferSize];
        GetTextRecordString(label, drawing->stringBlock, buffer, sizeof buffer);
        return buffer;
    }
    int32_t LabelCount(SignalHandle signal) {
        int32_t n = 0;
        for (void* t = LLFirst(drawing->textList); t; t = LLGetNext(drawing->textList, t))
            n += static_cast<TextRecord*>(t)->owner == SignalOwnerWord(signal) ? 1 : 0;
        return n;
    }
};

TEST_F(SignalTest, TwoNamedNetsJoinedByAWireBecomeOneAndSplitAgainWithAFreshName) {
    SignalHandle clk = Net("CLK", P(0, 0), P(60, 0), 1);
    SignalHandle data = Net("DATA", P(0, 40), P(60, 40), 3);
    TextRecord* clkLabel = Label(clk);
    TextRecord* dataLabel = Label(data);
    EXPECT_EQ(LabelText(dataLabel), "DATA");
    Draw({P(30, 0), P(30, 40)});
    // DATA's wires and pins (end 1 first) joined CLK's; its label (T1) now shows CLK.
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"CLK\" bounds (0,0)-(61,41) dots (30,40) (30,0)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0\n"
              "    pin 2: serial 4 node 0\n"
              "    pin 3: serial 3 node 0\n"
              "    W1 junction - junction: (30,40) (30,0)\n"
              "    W2 junction - pin 1: (30,0) (60,0)\n"
              "    W3 junction - pin 2: (30,40) (60,40)\n"
              "    W4 pin 3 - junction: (0,40) (30,40)\n"
              "    W5 pin 0 - junction: (0,0) (30,0)\n"
              "    label T1 \"CLK\" on W3 segment 0\n"
              "    label T2 \"CLK\" on W2 segment 0\n");
    EXPECT_EQ(dataLabel->owner, SignalOwnerWord(clk));
    EXPECT_EQ(LabelText(dataLabel), "CLK");
    // Deleting the joining wire: two pieces with pins and no scope flags. The piece taken first
    // from the regrouping (the one cut off last: DATA's old wires) keeps the name; the other
    // gets the sheet's next generated name, and so does its label (T2, once CLK's own).
    driver->Delete(clk, WireAt((*clk)->wires, 0));
    EXPECT_EQ(Nets(),
              "signals 2\n"
              "  S1 \"SIG001\" bounds (0,0)-(61,1)\n"
              "    pin 0: serial 1 node 0\n"
              "    pin 1: serial 2 node 0\n"
              "    W1 pin 0 - pin 1 flags 0x0004: (0,0) (60,0)\n"
              "    label T2 \"SIG001\" on W1 segment 0\n"
              "  S2 \"CLK\" bounds (0,40)-(61,41)\n"
              "    pin 0: serial 4 node 0\n"
              "    pin 1: serial 3 node 0\n"
              "    W1 pin 1 - pin 0 flags 0x0004: (0,40) (60,40)\n"
              "    label T1 \"CLK\" on W1 segment 0\n");
    EXPECT_EQ(LabelText(clkLabel), "SIG001");
}

TEST_F(SignalTest, CombiningANamedSignalIntoANamelessOneGivesItTheName) {
    SignalHandle named = Net("RESET", P(0, 0), P(40, 0), 1);
    driver->nameNewSignals = false;
    SignalHandle nameless = Net("", P(0, 20), P(40, 20), 3);
    SetSignalAttribute(named, drawing->stringBlock, "Width", "8");
    CombineSignals(drawing, named, nameless);
    ASSERT_EQ(drawing->signalList->count, 1u);
    EXPECT_EQ(Name(nameless), "RESET");
    char value[kSignalNameSize];
    EXPECT_EQ(GetSignalAttribute(nameless, drawing->stringBlock, "width", value), 0);
    EXPECT_STREQ(value, "8");
    EXPECT_EQ((*nameless)->pinCount, 4);
    // Combined wires are integrated with the list's ends spliced in: still two pieces.
    EXPECT_TRUE(IsWireListFragmented((*nameless)->wires, nullptr));
}

// A pin held with no wire ending on it (a net joined by name) is not lost when its signal is
// combined into another, nor held twice when the other holds it already.
TEST_F(SignalTest, CombiningKeepsThePinsHeldWithoutAWire) {
    SignalHandle from = Net("GND", P(0, 0), P(40, 0), 1);
    SignalHandle into = Net("GND", P(0, 20), P(40, 20), 3);
    SymbolRecord* far = driver->AddSymbol(9);
    ASSERT_GE(AddPinToSignal(from, far, 2), 0);
    ASSERT_GE(AddPinToSignal(from, far, 3), 0);
    ASSERT_GE(AddPinToSignal(into, far, 3), 0);
    CombineSignals(drawing, from, into);
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"GND\" bounds (0,0)-(41,21)\n"
              "    pin 0: serial 3 node 0\n"
              "    pin 1: serial 4 node 0\n"
              "    pin 2: serial 9 node 3\n"
              "    pin 3: serial 2 node 0\n"
              "    pin 4: serial 1 node 0\n"
              "    pin 5: serial 9 node 2\n"
              "    W1 pin 4 - pin 3: (0,0) (40,0)\n"
              "    W2 pin 0 - pin 1: (0,20) (40,20)\n");
}

TEST_F(SignalTest, RegroupingDropsPinlessPiecesWithTheirLabels) {
    driver->AddPin(P(0, 0), driver->AddSymbol(1), 0);
    SignalHandle signal = Draw({P(0, 0), P(40, 0)});
    Draw({P(20, 0), P(20, 30)});
    Draw({P(30, 0), P(30, 30)});
    auto wireWith = [&](Point a, Point b) -> WireHandle {
        for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w)) {
            bool hasA = false, hasB = false;
            for (Point c : Corners(w)) {
                hasA = hasA || (c.h == a.h && c.v == a.v);
                hasB = hasB || (c.h == b.h && c.v == b.v);
            }
            if (hasA && hasB) return w;
        }
        return nullptr;
    };
    // Cutting between the two stubs leaves the right-hand piece without a pin.
    TextRecord* label = CreateSignalWireLabel(drawing, signal, wireWith(P(30, 0), P(30, 30)), 0, false);
    ASSERT_NE(label, nullptr);
    WireHandle middle = wireWith(P(20, 0), P(30, 0));
    ASSERT_NE(middle, nullptr);
    RemoveWireFromSignal(signal, middle, true);
    LinkListHeader* discarded = CreateTextList();
    Rect area;
    VXSetEmptyRect(&area);
    RegroupSignal(signal, drawing->signalList, drawing->textList, discarded, drawing, &area);
    EXPECT_EQ(Nets(),
              "signals 1\n"
              "  S1 \"SIG001\" bounds (0,0)-(21,31)\n"
              "    pin 0: serial 1 node 0\n"
              "    W1 free - pin 0 flags 0x0004: (20,30) (20,0) (0,0)\n");
    EXPECT_EQ(discarded->count, 1u);
    EXPECT_EQ(LLFirst(discarded), label);
    EXPECT_EQ(drawing->textList->count, 0u);
    // The area holds the dropped piece (30,0)-(40,0) with its stub, and its label.
    EXPECT_TRUE(area.left <= 30 && area.top <= 0 && area.right >= 41 && area.bottom >= 31)
        << DumpRect(area);
    // Losing its last pin, a whole signal goes.
    RemoveWireFromSignal(signal, FirstWire((*signal)->wires), true);
    RegroupSignal(signal, drawing->signalList, drawing->textList, nullptr, drawing, nullptr);
    EXPECT_EQ(Nets(), "");
    DestroyTextList(discarded);
}

TEST_F(SignalTest, DeletingPinEntriesRenumbersTheWireEnds) {
    SignalHandle signal = CreateSignal(drawing->signalList);
    for (uint32_t serial = 1; serial <= 6; ++serial)
        AddPinToSignal(signal, driver->AddSymbol(serial), 0);
    for (uint16_t end = 0; end < 6; ++end)
        LLAppend((*signal)->wires, MakeWire({P(int16_t(end * 10), 0), P(int16_t(end * 10), 9)}, end));
    DeleteSignalPin(signal, 3);
    DeleteSignalPin(signal, 0);
    DeleteSignalPin(signal, 9);  // no such entry: nothing
    std::vector<uint16_t> ends;
    for (WireHandle w = FirstWire((*signal)->wires); w; w = NextWire((*signal)->wires, w))
        ends.push_back((*w)->end0);
    EXPECT_EQ(ends, (std::vector<uint16_t>{0xFFFF, 0, 1, 0xC000, 2, 3}));
    EXPECT_EQ((*signal)->pinCount, 4);
    EXPECT_EQ(SignalPins(signal)[0].serial, 2u);
    EXPECT_EQ(SignalPins(signal)[2].serial, 5u);
}

TEST_F(SignalTest, PinEntriesAreFoundAddedOnceAndPurgedWithTheirSymbols) {
    SymbolRecord* part = driver->AddSymbol(10);
    SymbolRecord* port = driver->AddSymbol(11, kSymbolFlagPort | kSymbolFlagModulePort);
    driver->AddPin(P(0, 0), part, 2);
    SignalHandle signal = Draw({P(0, 0), P(30, 0)});
    EXPECT_EQ(AddPinToSignal(signal, part, 2), 0);
    EXPECT_EQ(AddPinToSignal(signal, port, 0), 1);
    EXPECT_EQ(SignalPins(signal)[1].flags, kPinEntryPort | kPinEntryModulePort);
    WireHandle wire = nullptr;
    uint16_t index = 0;
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, part, 2, &wire, &index), signal);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(wire, FirstWire((*signal)->wires));
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, port, 0, &wire, &index), signal);
    EXPECT_EQ(wire, nullptr);
    EXPECT_EQ(GetConnectedSignal(drawing->signalList, part, 1, &wire, &index), nullptr);
    EXPECT_EQ(index, 0xFFFF);
    EXPECT_EQ(GetSignalPinSymbol(drawing->symbolList, signal, 1), port);
    EXPECT_EQ(GetSignalPinTerminal(signal, 2, nullptr), nullptr);
    LLRemoveOrFree(drawing->symbolList, part, nullptr, true);
    PurgeMissingSignalPins(signal, drawing->symbolList);
    EXPECT_EQ((*signal)->pinCount, 1);
    EXPECT_EQ(SignalPins(signal)[0].serial, 11u);
    EXPECT_EQ((*FirstWire((*signal)->wires))->end0, kWireEndFreeZero);
}

TEST_F(SignalTest, GeneratedNames) {
    for (const char* name : {"SIG001", "sig3", "SIGA", "SIG10000", "N5"})
        SetSignalName(CreateSignal(drawing->signalList), drawing->stringBlock, name);
    char next[kSignalNameSize];
    GetUniqueSignalName(drawing, nullptr, next);
    EXPECT_STREQ(next, "SIG002");
    LinkListHeader* extra = CreateSignalList();
    SetSignalName(CreateSignal(extra), drawing->stringBlock, "SIG2");
    GetUniqueSignalName(drawing, extra, next);
    EXPECT_STREQ(next, "SIG004");
    DestroySignalList(extra);
    // Four digits; a buffer too small for the name gets as much as fits.
    drawing->stored.signalDigits = 4;
    GetUniqueSignalName(drawing, nullptr, next);
    EXPECT_STREQ(next, "SIG0002");
    char small[5];
    GetUniqueSignalName(drawing, nullptr, small, sizeof small);
    EXPECT_STREQ(small, "SIG0");
    EXPECT_EQ(ConstructPrefixedSignalName("N", 7, 3, next, sizeof next), 2);
    EXPECT_STREQ(next, "N007");
}

TEST_F(SignalTest, BeyondTenThousandSignalsGeneratedNamesStayUnique) {
    for (int i = 1; i <= 10005; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "SIG%03d", i);
        SetSignalName(CreateSignal(drawing->signalList), drawing->stringBlock, name);
    }
    char next[kSignalNameSize];
    GetUniqueSignalName(drawing, nullptr, next);
    EXPECT_STREQ(next, "SIG10006");
}

TEST(SignalNameTest, PrefixedNames) {
    struct Case {
        const char* name;
        const char* prefix;
        bool caseSensitive;
        int32_t number, zeros;
    };
    const Case cases[] = {
        {"SIG0012", "SIG", false, 12, 2}, {"SIG12X", "SIG", false, -1, 0},
        {"SIG000", "SIG", false, 0, 2},   {"sig7", "SIG", false, 7, 0},
        {"sig7", "SIG", true, -1, 0},     {"SIG", "SIG", false, -1, 0},
        {"N1002", "N1", false, 2, 2},     {"R15", "", false, 15, 0},
        {"SI", "SIG", false, -1, 0},      {"SIG99999999999", "SIG", false, INT32_MAX, 0},
    };
    for (const Case& c : cases) {
        int32_t zeros = -5;
        EXPECT_EQ(IsPrefixedString(c.name, c.prefix, c.caseSensitive, &zeros), c.number) << c.name;
        EXPECT_EQ(zeros, c.zeros) << c.name;
    }
}

TEST(SignalNameTest, PrefixedNamesOfAnyLength) {
    const std::string prefix(40, 'P');
    const std::string name = prefix + std::string(300, '0') + "42";
    int32_t zeros = 0;
    EXPECT_EQ(IsPrefixedString(name.c_str(), prefix.c_str(), true, &zeros), 42);
    EXPECT_EQ(zeros, 300);
    EXPECT_EQ(IsPrefixedString(prefix.c_str(), (prefix + "Q").c_str(), true, nullptr), -1);
}

TEST_F(SignalTest, NamesAreCopiedBoundedAndTerminated) {
    SignalHandle signal = CreateSignal(drawing->signalList);
    const std::string longName(600, 'n');
    SetSignalName(signal, drawing->stringBlock, longName.c_str());
    char buffer[kSignalNameSize + 8];
    std::memset(buffer, 'x', sizeof buffer);
    GetSignalName(signal, drawing->stringBlock, buffer, kSignalNameSize);
    EXPECT_EQ(std::strlen(buffer), size_t(kSignalNameSize - 1));
    EXPECT_EQ(buffer[kSignalNameSize], 'x');  // nothing written past the buffer
    char whole[kStringSpecBufferSize];
    GetSignalName(signal, drawing->stringBlock, whole, sizeof whole);
    EXPECT_EQ(std::string(whole), longName);
    char tiny[1] = {'x'};
    GetSignalName(signal, drawing->stringBlock, tiny, 1);
    EXPECT_EQ(tiny[0], 0);
}

TEST_F(SignalTest, NextNamedSignalPrefersAScopeFlag) {
    SignalHandle a = CreateSignal(drawing->signalList);
    SignalHandle b = CreateSignal(drawing->signalList);
    SignalHandle c = CreateSignal(drawing->signalList);
    for (SignalHandle s : {a, b, c}) SetSignalName(s, drawing->stringBlock, "Vcc");
    (*b)->flags = kSignalFlagBreakOut;
    LinkListHeader* list = drawing->signalList;  // c, b, a
    const StringBlock block = drawing->stringBlock;
    EXPECT_EQ(RetrieveNextNamedSignal(list, nullptr, block, "VCC", 0), c);
    EXPECT_EQ(RetrieveNextNamedSignal(list, c, block, "vcc", 0), b);
    EXPECT_EQ(RetrieveNextNamedSignal(list, nullptr, block, "VCC", kSignalFlagBreakOut), b);
    EXPECT_EQ(RetrieveNextNamedSignal(list, nullptr, block, "VCC", kSignalFlagPort), a);
    EXPECT_EQ(RetrieveNextNamedSignal(list, a, block, "VCC", 0), nullptr);
    EXPECT_EQ(RetrieveNextNamedSignal(list, nullptr, block, "GND", 0), nullptr);
}

TEST_F(SignalTest, Scope) {
    static bool breakOutsGlobal = false;
    ModelHooks hooks;
    hooks.projectSignalScope = [](ProjectRecord*, int32_t* level, bool* global) {
        *level = 2;
        *global = breakOutsGlobal;
    };
    SetModelHooks(hooks);
    auto* project = reinterpret_cast<ProjectRecord*>(this);  // only handed to the hook
    SymbolRecord* power = driver->AddSymbol(1, kSymbolFlagPort);
    SymbolRecord* local = driver->AddSymbol(2, kSymbolFlagPort | kSymbolFlagLocal);
    SymbolRecord* module = driver->AddSymbol(3, kSymbolFlagPort | kSymbolFlagModulePort);
    driver->AddPin(P(0, 0), power, 0);
    driver->AddPin(P(0, 20), local, 0);
    driver->AddPin(P(0, 40), module, 0);
    SignalHandle powered = Draw({P(0, 0), P(30, 0)});
    SignalHandle localOnly = Draw({P(0, 20), P(30, 20)});
    SignalHandle exported = Draw({P(0, 40), P(30, 40)});
    int32_t named = -1;
    drawing->stored.scopeA = 1;
    EXPECT_EQ(CalcSignalScope(project, drawing, powered, &named), 1);
    EXPECT_EQ(named, 1);
    drawing->stored.scopeA = 2;
    EXPECT_EQ(CalcSignalScope(project, drawing, powered, nullptr), 2);
    EXPECT_EQ(CalcSignalScope(project, drawing, localOnly, &named), 0);
    EXPECT_EQ(named, 0);
    // A module port showing its signal's name names it.
    EXPECT_EQ(CalcSignalScope(project, drawing, exported, &named), 2);
    EXPECT_EQ(named, 1);
    module->kind.spec = OverlayStringBlock(drawing->stringBlock, "OTHER", -1, nullptr);
    EXPECT_EQ(CalcSignalScope(project, drawing, exported, &named), 2);
    EXPECT_EQ(named, 0);
    EXPECT_EQ(CalcSignalScope(nullptr, drawing, exported, nullptr), 1);
    // Attached to a break-out, with the project's option on: global.
    (*localOnly)->flags |= kSignalFlagBreakOut;
    EXPECT_EQ(CalcSignalScope(project, drawing, localOnly, nullptr), 0);
    breakOutsGlobal = true;
    EXPECT_EQ(CalcSignalScope(project, drawing, localOnly, &named), 2);
    EXPECT_EQ(named, 1);
}

TEST_F(SignalTest, PortSymbolsShowTheirSignalsName) {
    SymbolRecord* port = driver->AddSymbol(7, kSymbolFlagPort);
    driver->AddPin(P(0, 0), port, 0);
    SignalHandle signal = Draw({P(0, 0), P(30, 0)});
    TextRecord* text = CreateDrawingText(drawing, kTextKindNetSymbol, 0, P(0, -10), "?");
    text->owner = TextOwnerSerial(7);
    SetSignalName(signal, drawing->stringBlock, "VDD");
    Rect area;
    VXSetEmptyRect(&area);
    UpdateSignalNames(drawing, signal, &area);
    EXPECT_EQ(LabelText(text), "VDD");
    EXPECT_FALSE(VXEmptyRect(&area));
    char name[kSignalNameSize];
    EXPECT_EQ(GetPortSymbolName(drawing, port, nullptr, name), 1);
    EXPECT_STREQ(name, "VDD");
}

TEST_F(SignalTest, ThreeWiresMeetingGiveOneDotAndDotsAreDrawnNearTheUpdateArea) {
    SignalHandle signal = Draw({P(0, 0), P(40, 0)});
    Draw({P(20, 0), P(20, 20)});
    ASSERT_EQ((*signal)->dotCount, 1);
    static std::vector<Point> drawn;
    drawn.clear();
    ModelHooks hooks;
    hooks.drawJunctionDot = [](Point pt, int32_t) { drawn.push_back(pt); };
    SetModelHooks(hooks);
    const Rect away{0, 26, 10, 40};  // 6 units right of the dot
    DrawSignalJunctions(signal, 0, &away);
    EXPECT_TRUE(drawn.empty());
    const Rect near{0, 25, 10, 40};
    DrawSignalJunctions(signal, 0, &near);
    EXPECT_EQ(drawn.size(), 1u);
    InvalidateSignalJunctions(signal);
    EXPECT_EQ((*signal)->dotCount, kSignalDotsStale);
    DrawSignalJunctions(signal, 0, nullptr);
    EXPECT_EQ(drawn.size(), 2u);
    EXPECT_EQ((*signal)->dotCount, 1);
}

// A net whose wires end only on pins has no dots, whether its dots were stale or held one
// before; the net's pins stay as they were.
TEST_F(SignalTest, ANetWithoutJunctionEndsCachesNoDots) {
    SignalHandle plain = Net("A", P(0, 100), P(40, 100), 10);
    const int32_t pins = (*plain)->pinCount;
    InvalidateSignalJunctions(plain);
    ASSERT_EQ((*plain)->dotCount, kSignalDotsStale);
    CacheSignalJunctionDots(plain);
    EXPECT_EQ((*plain)->dotCount, 0);
    EXPECT_EQ((*plain)->pinCount, pins);
    CacheSignalJunctionDots(plain);  // again, unchanged
    EXPECT_EQ((*plain)->dotCount, 0);

    SignalHandle signal = Draw({P(0, 0), P(40, 0)});
    Draw({P(20, 0), P(20, 20)});
    ASSERT_EQ((*signal)->dotCount, 1);
    WireList wires = (*signal)->wires;
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w)) (*w)->end0 = (*w)->end1 = kWireEndFree;
    CacheSignalJunctionDots(signal);
    EXPECT_EQ((*signal)->dotCount, 0);
    static std::vector<Point> drawn;
    drawn.clear();
    ModelHooks hooks;
    hooks.drawJunctionDot = [](Point pt, int32_t) { drawn.push_back(pt); };
    SetModelHooks(hooks);
    DrawSignalJunctions(signal, 0, nullptr);
    DrawSignalJunctions(plain, 0, nullptr);
    EXPECT_TRUE(drawn.empty());
}

TEST_F(SignalTest, LabelsAreFoundOnTheirSegmentsAndTransferredByMode) {
    SignalHandle signal = Draw({P(0, 0), P(100, 0), P(100, 60)});
    Draw({P(50, 0), P(50, 40)});
    WireList wires = (*signal)->wires;
    // Wires: the stub (50,0)-(50,40), the bent piece from (50,0), the piece from (0,0).
    std::vector<TextRecord*> labels;
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
        for (int32_t s = 0; s < CountWireSegments(w); ++s)
            labels.push_back(CreateSignalWireLabel(drawing, signal, w, s, false));
    ASSERT_EQ(labels.size(), 4u);
    for (TextRecord* label : labels) {
        int32_t segment = -1;
        EXPECT_NE(GetWireFromWireLabel(label, &segment), nullptr);
    }
    WireHandle bent = nullptr;
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
        if (CountWireSegments(w) == 2) bent = w;
    ASSERT_NE(bent, nullptr);
    EXPECT_NE(GetSignalWireSegLabel(signal, bent, 1, false, drawing->textList), nullptr);
    EXPECT_EQ(GetSignalWireSegLabel(signal, bent, 1, true, drawing->textList), nullptr);
    LinkListHeader* moved = CreateTextList();
    TransferWireLabels(signal, kTextKindSignal, drawing->textList, moved, bent,
                       kTransferSegmentLabels | 1, nullptr);
    EXPECT_EQ(moved->count, 1u);
    TransferWireLabels(signal, kTextKindSignal, drawing->textList, moved, bent,
                       kTransferWireLabels, nullptr);
    EXPECT_EQ(moved->count, 2u);
    // A label moved off every wire is loose.
    auto* loose = static_cast<TextRecord*>(LLFirst(drawing->textList));
    OffsetTextElement(loose, 0, 300);
    TransferWireLabels(signal, kTextKindSignal, drawing->textList, moved, nullptr,
                       kTransferLooseLabels, nullptr);
    EXPECT_EQ(moved->count, 3u);
    Rect area;
    VXSetEmptyRect(&area);
    TransferWireLabels(nullptr, kTextKindSignal, drawing->textList, nullptr, nullptr,
                       kTransferAllLabels, &area);
    EXPECT_EQ(drawing->textList->count, 0u);
    EXPECT_FALSE(VXEmptyRect(&area));
    DestroyTextList(moved);
}

TEST_F(SignalTest, ShowingASegmentLabelMakesOneOnlyForStraightSegments) {
    SignalHandle signal = Draw({P(0, 0), P(40, 0), P(60, 20)});
    WireHandle wire = FirstWire((*signal)->wires);
    const int32_t straight = CalcLineOrient(WireCorners(wire)[0], WireCorners(wire)[1]) == 2 ||
                                     CalcLineOrient(WireCorners(wire)[0], WireCorners(wire)[1]) == 6
                                 ? 0
                                 : 1;
    EXPECT_EQ(ShowSignalWireSegLabel(drawing, signal, wire, 1 - straight, gMinusOnePoint, false),
              nullptr);
    TextRecord* label = ShowSignalWireSegLabel(drawing, signal, wire, straight, gMinusOnePoint, false);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->flags & kLabelFlagShown);
    EXPECT_EQ(ShowSignalWireSegLabel(drawing, signal, wire, straight, gMinusOnePoint, false), label);
    TextRecord* hidden = ShowSignalWireSegLabel(drawing, signal, wire, straight, gMinusOnePoint, true);
    ASSERT_NE(hidden, nullptr);
    EXPECT_NE(hidden, label);
    EXPECT_EQ(LabelText(hidden), "?");
    EXPECT_TRUE(hidden->flags & kLabelFlagHiddenPin);
}

TEST_F(SignalTest, AutoPositionedLabels) {
    SignalHandle signal = CreateSignal(drawing->signalList);
    SetSignalName(signal, drawing->stringBlock, "NET");
    struct Case {
        std::vector<Point> corners;
        uint16_t end0, end1;
        int32_t segment;
        uint16_t flagsBefore;
        Point pt;
        // The expected anchor, with half the label's length along its base line added as
        // hw (-1, 0 or 1), and the placement bits.
        int16_t v;
        int16_t h;
        int32_t vHalf, hHalf;
        uint16_t placement;
    };
    const uint16_t kFree = kWireEndFree, kBreak = kWireEndBreakOut;
    const Point none = gMinusOnePoint;
    const Case cases[] = {
        {{P(0, 0), P(40, 0)}, kFree, kFree, 0, 0, none, -1, 20, 0, -1, 0},
        {{P(0, 0), P(40, 0)}, kFree, kFree, 0, 2, none, 1, 20, 0, 1, 2},
        {{P(40, 0), P(0, 0)}, kFree, kFree, 0, 0, none, -1, 20, 0, -1, 0},
        {{P(0, 0), P(0, 40)}, kFree, kFree, 0, 0, none, 20, 1, -1, 0, 1},
        {{P(0, 0), P(0, 40)}, kFree, kFree, 0, 3, none, 20, -1, 1, 0, 3},
        {{P(0, 0), P(40, 20)}, kFree, kFree, 0, 0, none, -3, 4, 0, 0, 0},
        {{P(0, 0), P(40, 0)}, kFree, kFree, 0, 0, P(17, 9), -1, 12, 0, -1, 0},
        // At a break-out end the label starts 4 units along the wire.
        {{P(0, 0), P(40, 0)}, kBreak, kFree, 0, 0, none, -1, 4, 0, 0, 0},
        {{P(0, 0), P(40, 0)}, kBreak, kFree, 0, 2, none, 1, 4, 0, 0, 6},
        {{P(40, 0), P(0, 0)}, kFree, kBreak, 0, 0, none, -1, 4, 0, 0, 0},
        {{P(40, 0), P(0, 0)}, kBreak, kFree, 0, 0, none, -1, 36, 0, 0, 4},
        {{P(0, 0), P(0, 40)}, kBreak, kFree, 0, 0, none, 4, 1, 0, 0, 1},
        {{P(0, 0), P(0, 40)}, kBreak, kFree, 0, 3, none, 4, -1, 0, 0, 7},
        {{P(0, 40), P(0, 0)}, kBreak, kFree, 0, 0, none, 36, 1, 0, 0, 5},
        // With a point, a break-out end does not matter.
        {{P(0, 0), P(40, 0)}, kBreak, kFree, 0, 0, P(28, 0), -1, 24, 0, -1, 0},
    };
    for (const Case& c : cases) {
        WireHandle wire = MakeWire(c.corners, c.end0, c.end1);
        TextRecord* label = CreateSignalWireLabel(drawing, signal, nullptr, 0, false);
        label->flags = uint16_t((label->flags & ~7) | c.flagsBefore);
        CalcTextBounds(nullptr, label, drawing->stringBlock);
        const Rect b = label->bounds;
        const int32_t half = ((c.flagsBefore & 1) ? b.bottom - b.top : b.right - b.left) / 2;
        AutoPositionSignalLabel(drawing, wire, c.segment, c.pt, label);
        EXPECT_EQ(label->position.v, c.v + c.vHalf * half) << PointsText(c.corners) << " " << c.flagsBefore;
        EXPECT_EQ(label->position.h, c.h + c.hHalf * half) << PointsText(c.corners) << " " << c.flagsBefore;
        EXPECT_EQ(label->flags & 7, c.placement) << PointsText(c.corners) << " " << c.flagsBefore;
        DestroyWire(wire);
    }
}

// The default slop reaches 3 screen pixels either side of a wire at every zoom (and no more than
// one sheet unit beyond that; 3 units at 100 %): a point 3 pixels above or below a wire, or left
// or right of it, hits it, one 4 units beyond the slop does not.
TEST_F(SignalTest, HitTestsReachAFewScreenPixelsAtEveryZoom) {
    SignalHandle across = Draw({P(0, 100), P(400, 100)});
    SignalHandle down = Draw({P(600, 200), P(600, 600)});
    for (int32_t zoom : {10, 25, 33, 50, 75, 100, 150, 200, 400, 800, 1600}) {
        drawing->viewScale = uint16_t(zoom);
        const int32_t slop = CalcDefaultSignalWireHitTestSlop(drawing);
        EXPECT_GE(slop * zoom, 3 * 100) << zoom;
        EXPECT_LT((slop - 1) * zoom, 3 * 100) << zoom;
        // Three screen pixels, in sheet units (rounded up).
        const auto beside = int16_t((3 * 100 + zoom - 1) / zoom);
        for (int16_t side : {int16_t(-1), int16_t(1)}) {
            EXPECT_EQ(HitTestSignalList(drawing, P(200, int16_t(100 + side * beside)), -1, nullptr, nullptr, nullptr),
                      across)
                << zoom << " " << side;
            EXPECT_EQ(HitTestSignalList(drawing, P(int16_t(600 + side * beside), 400), -1, nullptr, nullptr, nullptr),
                      down)
                << zoom << " " << side;
            EXPECT_EQ(HitTestSignalList(drawing, P(200, int16_t(100 + side * (slop + 4))), -1, nullptr, nullptr,
                                        nullptr),
                      nullptr)
                << zoom << " " << side;
        }
    }
}

TEST_F(SignalTest, HitTestsWithTheDefaultAndGivenSlops) {
    drawing->viewScale = 100;
    SignalHandle a = Draw({P(0, 0), P(40, 0)});
    SignalHandle b = Draw({P(20, 5), P(20, 40)});
    WireHandle wire = nullptr;
    int32_t segment = -1;
    Point hit;
    EXPECT_EQ(HitTestSignalList(drawing, P(10, 2), -1, &wire, &segment, &hit), a);
    EXPECT_EQ(PointsText({hit}), "(10,0)");
    EXPECT_EQ(HitTestSignalList(drawing, P(10, 2), 0, &wire, &segment, nullptr), nullptr);
    EXPECT_EQ(segment, 0xFFFF);
    // Within the slop of both: the first of the list.
    EXPECT_EQ(HitTestSignalList(drawing, P(20, 6), 6, &wire, &segment, nullptr), b);
    EXPECT_EQ(LLFirst(drawing->signalList), b);
    Rect end;
    EXPECT_EQ(GetFloatingWireEnd(FirstWire((*b)->wires), 2, &end), 1);
}

TEST_F(SignalTest, DuplicatesHaveTheirOwnWiresAndAttributes) {
    driver->AddPin(P(0, 0), driver->AddSymbol(3), 0);
    SignalHandle signal = Draw({P(0, 0), P(40, 0)});
    Draw({P(20, 0), P(20, 20)});
    SetSignalAttribute(signal, drawing->stringBlock, "Class", "power");
    SignalHandle copy = DuplicateSignal(signal);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ((*copy)->link, nullptr);
    EXPECT_NE((*copy)->attributes, (*signal)->attributes);
    EXPECT_EQ((*copy)->pinCount, (*signal)->pinCount);
    EXPECT_EQ((*copy)->dotCount, 1);
    ASSERT_EQ((*copy)->wires->count, (*signal)->wires->count);
    for (WireHandle w = FirstWire((*signal)->wires), c = FirstWire((*copy)->wires); w;
         w = NextWire((*signal)->wires, w), c = NextWire((*copy)->wires, c)) {
        EXPECT_NE(w, c);
        EXPECT_EQ(PointsText(Corners(w)), PointsText(Corners(c)));
    }
    int32_t kind = 0;
    EXPECT_EQ(GetWireListOwner((*copy)->wires, &kind), copy);
    EXPECT_EQ(kind, 1);
    DestroySignal(copy);
}

TEST_F(SignalTest, TransformingMovesWiresAndDots) {
    SignalHandle signal = Draw({P(0, 0), P(40, 0)});
    Draw({P(20, 0), P(20, 20)});
    TransformSignal(signal, P(0, 0), 1);  // a quarter turn about the origin
    EXPECT_EQ(PointsText({SignalDots(signal)[0]}), "(0,20)");
    EXPECT_EQ(DumpRect((*signal)->bounds), "(-20,0)-(1,41)");
    TransformSignal(signal, P(5, 5), 0);  // code 0 moves by the centre
    EXPECT_EQ(PointsText({SignalDots(signal)[0]}), "(5,25)");
}

TEST_F(SignalTest, FlashingRunsATimerWhileSomethingFlashes) {
    static int invalidated = 0, running = 0;
    invalidated = 0;
    ModelHooks hooks;
    hooks.invalSheetView = [](SheetRecord*, const Rect*) { ++invalidated; };
    SetModelHooks(hooks);
    // The run loop's timers, counted: one record stands for every timer.
    static sVXTimerRecord* const kTimer = reinterpret_cast<sVXTimerRecord*>(uintptr_t(0x7100));
    TimerHooks timers;
    timers.start = [](uint32_t interval, uint32_t, TimerProc proc, uint64_t) {
        EXPECT_EQ(interval, kFlashIntervalMs);
        EXPECT_EQ(proc, &FlashSignalTimerProc);
        ++running;
        return kTimer;
    };
    timers.setNextFires = [](sVXTimerRecord*, uint32_t) {};
    timers.kill = [](sVXTimerRecord* timer) {
        EXPECT_EQ(timer, kTimer);
        --running;
    };
    SetTimerHooks(timers);
    SignalHandle signal = Draw({P(0, 0), P(40, 0)});
    SetupFlashingSignal(drawing, signal, nullptr);  // no window: nothing
    EXPECT_EQ(drawing->flashTimer, nullptr);
    drawing->window = MakeSheetWindow(drawing);
    SetupFlashingSignal(drawing, signal, nullptr);
    ASSERT_NE(drawing->flashTimer, nullptr);
    EXPECT_EQ(drawing->flashingSignal, signal);
    EXPECT_EQ(drawing->modifiedFlags & kSheetFlashPhase, 0);
    FlashSignalTimerProc(drawing->flashTimer, uint64_t(uintptr_t(drawing)));
    EXPECT_EQ(drawing->modifiedFlags & kSheetFlashPhase, kSheetFlashPhase);
    EXPECT_EQ(invalidated, 1);
    FlashSignalTimerProc(drawing->flashTimer, uint64_t(uintptr_t(drawing)));
    EXPECT_EQ(drawing->modifiedFlags & kSheetFlashPhase, 0);
    SetupFlashingSignal(drawing, signal, nullptr);  // the same: nothing
    EXPECT_EQ(invalidated, 2);
    SetupFlashingSignal(drawing, nullptr, nullptr);
    EXPECT_EQ(drawing->flashTimer, nullptr);
    EXPECT_EQ(drawing->flashingSignal, nullptr);
    EXPECT_EQ(invalidated, 3);
    SetupFlashingSignal(drawing, signal, nullptr);  // left running: the sheet stops it
    EXPECT_EQ(running, 1);
    VXWindowRecordTag* window = drawing->window;
    DestroySheet(drawing);
    drawing = CreateDrawing();
    driver = std::make_unique<WireDriver>(drawing);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(StandIn(window)->refCon, nullptr);
    DestroySheetWindow(window);
    SetTimerHooks(TimerHooks{});
}

}  // namespace
}  // namespace plexa::test
