// The simulator's answers on a sheet, through a fake simulator over a real loopback connection:
// node-value labels and "."-attributes show the reply values, device names come from the
// component map, refreshes follow the current analysis, a goodbye from the simulator closes the
// link, and a stale netlist is written again by the report interpreter.
#include "app/root.h"
#include "design/simlink_sheet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "design/report_interp.h"
#include "design/simlink.h"
#include "design/simlink_netlist.h"
#include "design/simlink_session.h"
#include "design/tests/fake_simora.h"
#include "design/tests/simlink_testing.h"
#include "design/tests/netlist_fixture.h"
#include "foundation/da.h"
#include "foundation/filespec.h"
#include "foundation/socket.h"
#include "foundation/stringblock.h"
#include "model/components.h"
#include "model/pindata.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "platform/app_platform.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::FakeSimora;
using test::PeerEntry;
using test::PeerFrame;
using test::PeerFrameBytes;
using test::PeerStringList;

constexpr uint32_t kProjectId = 0x2345;

std::vector<SheetRecord*>& Visible() {
    static std::vector<SheetRecord*> sheets;
    return sheets;
}
SheetRecord*& Front() {
    static SheetRecord* sheet = nullptr;
    return sheet;
}
std::vector<uint32_t>& Reschedules() {
    static std::vector<uint32_t> delays;
    return delays;
}

class SpiceSheet : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::StartSpiceTestApplication();
        if (HasFatalFailure()) return;
        ASSERT_EQ(InitTextRecordPool(), 0);
    }

    void SetUp() override {
        Visible().clear();
        Front() = nullptr;
        Reschedules().clear();
        formerRunner_ = SetSpiceScriptRunner(nullptr);
        // The core's hooks, the design's sheets, and the windows and the link's timer faked.
        InstallCoreHooks();
        netfix::Design::FindSheetsHere();
        SpiceSessionHooks session = GetSpiceSessionHooks();
        session.rescheduleTimer = [](uint32_t ms) { Reschedules().push_back(ms); };
        SetSpiceSessionHooks(session);
        SpiceSheetHooks sheets = GetSpiceSheetHooks();
        sheets.visibleSheets = [](ProjectRecord*) { return Visible(); };
        sheets.frontSheet = [] { return Front(); };
        SetSpiceSheetHooks(sheets);

        // Sheet "top" of instance `node`: R1 with the parameters .i and .p, the signals CLK
        // (mapped to the net NET_CLK, two value labels) and DATA (one value label).
        ProjectRecord* p = design_.project;
        p->projectId = kProjectId;
        p->analyses = CreateSpiceAnalysisList();
        sheet_ = design_.AddSheet("top");
        design_.FinishSpecs();
        node_ = design_.AddNode(nullptr, "top", 0);
        sheet_->project = p;
        sheet_->hierarchyContext = node_->instance;
        ComponentRecord* comp = netfix::Design::MakeComponent(sheet_, "RES", "R", 1, 2);
        resistor_ = netfix::Design::Place(sheet_, comp);
        netfix::Design::SetAttribute(sheet_, resistor_, ".i", "old");
        netfix::Design::SetAttribute(sheet_, resistor_, ".p", "old");
        netfix::Design::SetAttribute(sheet_, resistor_, "VALUE", "1k");
        netfix::Design::SetAttribute(sheet_, resistor_, ".", "not a parameter");
        p->compMap = CreateSpiceCompMap();
        AddSpiceCompMapEntry(p->compMap, node_->instance->id, resistor_->serial, "R1");
        p->signalMap = CreateSpiceSignalMap(CreateStringBlock(nullptr, 64), nullptr);
        StringBlock names = GetSignalMapInfo(p->signalMap, nullptr);
        SpiceSignalMapEntry clk{OverlayStringBlock(names, "CLK", -1, nullptr),
                                OverlayStringBlock(names, "NET_CLK", -1, nullptr), 0,
                                int32_t(node_->instance->id), 0};
        DAAdd(p->signalMap, &clk);
        clk_ = netfix::Design::Net(sheet_, "CLK", {{resistor_, 0}});
        data_ = netfix::Design::Net(sheet_, "DATA", {{resistor_, 1}});
        labels_ = {Label(clk_), Label(clk_), Label(data_)};
        Label(clk_)->flags = 0;  // a plain name label: no value
        p->next = gProjectList;
        gProjectList = p;
    }

    void TearDown() override {
        DisableSpiceLink();
        gProjectList = design_.project->next;
        DestroySpiceAnalysisList(design_.project->analyses);
        design_.project->analyses = nullptr;
        SetSpiceScriptRunner(formerRunner_);
        InstallCoreHooks();
        gSpiceLinkSettings = {0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
    }

    TextRecord* Label(SignalHandle signal) {
        TextRecord* text = CreateDrawingText(sheet_, kTextKindSignal, kLabelFlagHiddenPin, {10, 10}, "");
        text->owner = SignalOwnerWord(signal);
        return text;
    }

    std::string Text(const TextRecord* text) {
        char buffer[kStringSpecBufferSize];
        GetTextRecordString(text, sheet_->stringBlock, buffer, sizeof buffer);
        return buffer;
    }
    std::string Attribute(const char* name) {
        char value[kAttributeTextSize];
        GetAttributeValue(sheet_->stringBlock, resistor_->attributes, 0, resistor_->attributeCount,
                          name, value, nullptr);
        return value;
    }

    // The resistor's simulator attributes as "name attribute-index pin".
    std::vector<std::string> Annotated() {
        VXChunkyBlock items = GetSpiceAnnotationAttributes(sheet_, resistor_);
        std::vector<std::string> annotated;
        for (uint32_t i = 0; i < VXChunkyCount(items); ++i) {
            SpiceAnnotationAttribute item{};
            VXChunkyGet(items, i, &item);
            char name[kStringSpecBufferSize];
            ExtractStringSpec(item.name, sheet_->stringBlock, name, sizeof name);
            annotated.push_back(name + std::string(" ") + std::to_string(item.attribute) + " " +
                                std::to_string(item.node));
        }
        VXDestroyChunkyBlock(items);
        return annotated;
    }

    void ConnectTo(FakeSimora& peer) { test::ConnectSpiceLinkTo(peer); }

    static bool TickUntil(const std::function<bool()>& done) { return test::TickSpiceLinkUntil(done); }

    // The peer announces the analysis "op1" (id 55) and answers node values and parameters.
    void AnnounceAndAnswer(FakeSimora& peer) {
        ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("AddA"), 1, kProjectId, {5, 0, 1, 0},
                                             PeerStringList(4, {PeerEntry{"op1", 55}}))));
        ASSERT_TRUE(TickUntil([&] { return CountSpiceAnalyses(design_.project) == 1; }));
        peer.SetResponder([](const PeerFrame& f) -> std::string {
            if (f.type == FourCC("NVal"))
                return PeerFrameBytes(f.type, f.number, f.projectId, {0, 0, 0, 0},
                                      PeerStringList(0, {{"net_clk", 0}, {"1.5V", 0},
                                                         {"data", 0}, {"0V", 0}}));
            if (f.type == FourCC("DPar"))
                return PeerFrameBytes(f.type, f.number, f.projectId, {0, 0, 0, 0},
                                      PeerStringList(0, {{"r1", 0}, {"i", 0}, {"2mA", 0},
                                                         {"p", 0}, {"4mW", 0}, {"", 0}}));
            return {};
        });
    }

    std::vector<PeerFrame> Sent(FakeSimora& peer, const char (&type)[5]) {
        std::vector<PeerFrame> frames;
        for (const PeerFrame& f : peer.frames())
            if (f.type == FourCC(type)) frames.push_back(f);
        return frames;
    }

    netfix::Design design_{1};
    SheetRecord* sheet_ = nullptr;
    SheetNode* node_ = nullptr;
    SymbolRecord* resistor_ = nullptr;
    SignalHandle clk_ = nullptr, data_ = nullptr;
    std::vector<TextRecord*> labels_;
    SpiceScriptRunner formerRunner_ = nullptr;
    test::TempDir dir_;
};

TEST_F(SpiceSheet, DeviceNamesComeFromTheComponentMapAndTakeTheQualifier) {
    char name[kSpiceDeviceNameSize];
    EXPECT_EQ(GetSpiceDeviceName(sheet_, resistor_, nullptr, name), 1);
    EXPECT_STREQ(name, "R1");
    EXPECT_EQ(GetSpiceDeviceName(sheet_, resistor_, ".u2", name), 1);
    EXPECT_STREQ(name, "R1.u2");
    EXPECT_EQ(LookupSpiceDeviceSymbol(sheet_, nullptr, "r1"), resistor_);
    EXPECT_EQ(LookupSpiceDeviceSymbol(sheet_, nullptr, "r2"), nullptr);
    // Qualified designators: the sheet's instance path behind the project's separator.
    design_.project->settings.qualifyDesignators = 1;
    std::strcpy(design_.project->settings.separator, "/");
    EXPECT_EQ(GetSpiceSheetQualifier(design_.project, node_), "/top");
    EXPECT_EQ(GetSpiceDeviceName(sheet_, resistor_, nullptr, name), 1);
    EXPECT_STREQ(name, "R1/top");
    // A symbol that is no component and has no reference name has no device name.
    SymbolRecord* graphic = CreateSymbol();
    AddSymbolToSheet(sheet_, graphic);
    EXPECT_EQ(GetSpiceDeviceName(sheet_, graphic, nullptr, name), 0);
    EXPECT_STREQ(name, "");
}

TEST_F(SpiceSheet, ARefreshShowsTheReplyValuesInLabelsAndAttributes) {
    FakeSimora peer;
    ConnectTo(peer);
    AnnounceAndAnswer(peer);
    EXPECT_EQ(Annotated(), (std::vector<std::string>{".i 0 -1", ".p 1 -1"}));
    sheet_->modifiedFlags = kSheetModifiedSimulatorAnnotation;
    RetrieveSheetSpiceAnnotation(sheet_);

    const std::vector<PeerFrame> values = Sent(peer, "NVal");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].arguments[0], 55u);
    std::vector<std::string> names;  // each mapped name once, in the order of the labels
    for (const PeerEntry& e : values[0].entries) names.push_back(e.text);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"data", "net_clk"}));
    EXPECT_EQ(Text(labels_[0]), "1.5V");
    EXPECT_EQ(Text(labels_[1]), "1.5V");
    EXPECT_EQ(Text(labels_[2]), "0V");

    const std::vector<PeerFrame> parameters = Sent(peer, "DPar");
    ASSERT_EQ(parameters.size(), 1u);
    std::vector<std::string> asked;
    for (const PeerEntry& e : parameters[0].entries) asked.push_back(e.text);
    EXPECT_EQ(asked, (std::vector<std::string>{"r1", "i", "p", ""}));
    EXPECT_EQ(Attribute(".i"), "2mA");
    EXPECT_EQ(Attribute(".p"), "4mW");
    EXPECT_EQ(Attribute("VALUE"), "1k");
    // The refresh mark is gone, and the sheet was not modified by it.
    EXPECT_EQ(sheet_->modifiedFlags, 0);

    // Resetting shows "?" everywhere again.
    ResetSheetSpiceAnnotation(sheet_);
    EXPECT_EQ(Text(labels_[0]), "?");
    EXPECT_EQ(Text(labels_[2]), "?");
    EXPECT_EQ(Attribute(".i"), "?");
    EXPECT_EQ(Attribute("VALUE"), "1k");

    // A click on DATA asks for its value alone.
    Retrieve1SheetNodeValue(sheet_, data_);
    ASSERT_EQ(Sent(peer, "NVal").size(), 2u);
    ASSERT_EQ(Sent(peer, "NVal")[1].entries.size(), 1u);
    EXPECT_EQ(Sent(peer, "NVal")[1].entries[0].text, "data");
    EXPECT_EQ(Text(labels_[2]), "0V");
    EXPECT_EQ(Text(labels_[0]), "?");
}

// Gives pin `pin` of the symbol pin data carrying the attribute (interned into the sheet's table).
void SetPinAttribute(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin, const char* name,
                     const char* value) {
    const uint32_t id = GetCompSymbolPinDataId(symbol->component, 0, 0, pin);
    Handle record = GetPinDataCopy(sheet->pinDataTable, int32_t(id));
    ASSERT_NE(record, nullptr);
    SetPinDataAttribute(record, sheet->stringBlock, name, value);
    const int32_t newId = AddPinDataToTable(sheet->pinDataTable, record);
    DestroyPinData(record);
    ASSERT_GE(newId, 0);
    SetCompSymbolPinDataId(symbol->component, 0, 0, pin, uint32_t(newId));
}

std::string PinAttribute(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin, const char* name) {
    const uint32_t id = GetCompSymbolPinDataId(symbol->component, 0, 0, pin);
    char value[kPinTextSize] = {};
    GetPinDataAttribute(GetIndexedPinData(sheet->pinDataTable, int32_t(id)), sheet->stringBlock,
                        name, value);
    return value;
}

TEST_F(SpiceSheet, PinAttributesAreAskedForAndChangedOnTheSymbolsOwnCopy) {
    // A second resistor shares the first one's component and pin data.
    SymbolRecord* other = netfix::Design::Place(sheet_, resistor_->component);
    AddSpiceCompMapEntry(design_.project->compMap, node_->instance->id, other->serial, "R2");
    SetPinAttribute(sheet_, resistor_, 1, ".ib", "old");
    SetPinAttribute(sheet_, resistor_, 1, ".p", "old");  // the symbol has ".p" too
    ComponentRecord* shared = resistor_->component;
    ASSERT_EQ(other->component, shared);
    const uint32_t sharedPin = GetCompSymbolPinDataId(shared, 0, 0, 1);

    EXPECT_EQ(Annotated(),
              (std::vector<std::string>{".i 0 -1", ".p 1 -1", ".ib 0 1", ".p 1 1"}));

    FakeSimora peer;
    ConnectTo(peer);
    AnnounceAndAnswer(peer);
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        if (f.type != FourCC("DPar")) return {};
        return PeerFrameBytes(f.type, f.number, f.projectId, {0, 0, 0, 0},
                              PeerStringList(0, {{"r1", 0}, {"i", 0}, {"2mA", 0}, {"p", 0},
                                                 {"4mW", 0}, {"ib", 0}, {"1uA", 0}, {"", 0}}));
    });
    RetrieveSheetDeviceParameters(sheet_);
    const std::vector<PeerFrame> asked = Sent(peer, "DPar");
    ASSERT_EQ(asked.size(), 1u);
    std::vector<std::string> request;
    for (const PeerEntry& e : asked[0].entries) request.push_back(e.text);
    // Each name once per device; R2 has only the pin's names.
    EXPECT_EQ(request, (std::vector<std::string>{"r1", "i", "p", "ib", "", "r2", "ib", "p", ""}));

    // R1 got its own component whose pin refers to new pin data; R2 kept the shared ones.
    ASSERT_NE(resistor_->component, shared);
    EXPECT_EQ(other->component, shared);
    EXPECT_EQ(GetCompSymbolPinDataId(shared, 0, 0, 1), sharedPin);
    EXPECT_EQ(PinAttribute(sheet_, resistor_, 1, ".ib"), "1uA");
    EXPECT_EQ(PinAttribute(sheet_, resistor_, 1, ".p"), "4mW");
    EXPECT_EQ(PinAttribute(sheet_, other, 1, ".ib"), "old");
    EXPECT_EQ(Attribute(".p"), "4mW");
    // A name only the pins carry is not added to the symbol.
    char value[kAttributeTextSize];
    EXPECT_LT(GetAttributeValue(sheet_->stringBlock, resistor_->attributes, 0,
                                resistor_->attributeCount, ".ib", value, nullptr),
              0);

    // Resetting shows "?" on the pins too; the same values again make no new component.
    ResetSymbolSpiceAnnotation(sheet_, resistor_);
    EXPECT_EQ(PinAttribute(sheet_, resistor_, 1, ".ib"), "?");
    ComponentRecord* own = resistor_->component;
    ResetSymbolSpiceAnnotation(sheet_, resistor_);
    EXPECT_EQ(resistor_->component, own);
    // Back at the shared values, R1 finds the shared component again.
    UpdateSymbolSpiceAnnotation(sheet_, resistor_, {{".ib", "old"}, {".p", "old"}});
    EXPECT_EQ(resistor_->component, shared);

    // A pin current is graphed with the pin's first "."-attribute.
    EXPECT_TRUE(GraphSpiceCurrent(sheet_, resistor_, 1, true));
    EXPECT_FALSE(GraphSpiceCurrent(sheet_, resistor_, 0, true));  // the pin has none
    EXPECT_FALSE(GraphSpiceCurrent(sheet_, resistor_, 5, true));
    ASSERT_TRUE(TickUntil([&] { return !Sent(peer, "AGpc").empty(); }));
    const std::vector<PeerFrame> graphs = Sent(peer, "AGpc");
    ASSERT_EQ(graphs.size(), 1u);
    ASSERT_EQ(graphs[0].entries.size(), 2u);
    EXPECT_EQ(graphs[0].entries[0].text, "r1");
    EXPECT_EQ(graphs[0].entries[1].text, "ib");
}

TEST_F(SpiceSheet, AGraphedNodeIsNamedThroughTheSignalMap) {
    FakeSimora peer;
    ConnectTo(peer);
    // CLK is mapped to the net NET_CLK in this instance; DATA is not mapped and goes by its name.
    EXPECT_TRUE(GraphSpiceNode(sheet_, clk_, false));
    EXPECT_TRUE(GraphSpiceNode(sheet_, data_, true));
    EXPECT_FALSE(GraphSpiceNode(sheet_, nullptr, true));
    ASSERT_TRUE(TickUntil([&] { return !Sent(peer, "AGph").empty() && !Sent(peer, "RGph").empty(); }));
    const std::vector<PeerFrame> replaced = Sent(peer, "RGph");
    const std::vector<PeerFrame> added = Sent(peer, "AGph");
    ASSERT_EQ(replaced.size(), 1u);
    ASSERT_EQ(added.size(), 1u);
    ASSERT_EQ(replaced[0].entries.size(), 1u);
    ASSERT_EQ(added[0].entries.size(), 1u);
    EXPECT_EQ(replaced[0].entries[0].text, "net_clk");
    EXPECT_EQ(added[0].entries[0].text, "data");
}

TEST_F(SpiceSheet, WithoutACurrentAnalysisOrLabelsNothingIsAsked) {
    FakeSimora peer;
    ConnectTo(peer);
    RetrieveSheetSpiceAnnotation(sheet_);  // no analysis yet
    EXPECT_EQ(Text(labels_[0]), "?");
    AnnounceAndAnswer(peer);
    for (TextRecord* label : labels_) label->flags = 0;
    EXPECT_TRUE(RetrieveSheetNodeValues(sheet_));
    EXPECT_TRUE(Sent(peer, "NVal").empty());
}

TEST_F(SpiceSheet, InvalidationRefreshesTheFrontSheetAndMarksTheOthers) {
    FakeSimora peer;
    ConnectTo(peer);
    AnnounceAndAnswer(peer);
    SheetRecord* other = design_.AddSheet("other");
    other->project = design_.project;
    Visible() = {sheet_, other};
    Front() = sheet_;
    sheet_->modifiedFlags = 0;
    SpiceAnalysisRecord* current = GetCurrentSpiceAnalysis(design_.project);

    InvalidateProjectSpiceAnalysis(design_.project, current, true);
    EXPECT_EQ(Sent(peer, "NVal").size(), 1u);
    EXPECT_EQ(Text(labels_[0]), "1.5V");
    EXPECT_EQ(sheet_->modifiedFlags & kSheetModifiedSimulatorAnnotation, 0);
    EXPECT_NE(other->modifiedFlags & kSheetModifiedSimulatorAnnotation, 0);

    // Not at once: every visible sheet of the project is marked, then the timer's refresh runs.
    InvalidateProjectSpiceAnalysis(design_.project, current, false);
    EXPECT_NE(sheet_->modifiedFlags & kSheetModifiedSimulatorAnnotation, 0);
    EXPECT_EQ(Sent(peer, "NVal").size(), 1u);
    RefreshMarkedSpiceSheets();
    EXPECT_EQ(Sent(peer, "NVal").size(), 2u);
    EXPECT_EQ(sheet_->modifiedFlags & kSheetModifiedSimulatorAnnotation, 0);
    EXPECT_EQ(other->modifiedFlags & kSheetModifiedSimulatorAnnotation, 0);

    // An analysis that is not the current one changes nothing.
    SpiceAnalysisRecord stranger{};
    InvalidateProjectSpiceAnalysis(design_.project, &stranger, false);
    EXPECT_EQ(sheet_->modifiedFlags & kSheetModifiedSimulatorAnnotation, 0);

    // A completed analysis refreshes through the session's hook.
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("Cmpl"), 2, kProjectId, {5, 4, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([&] { return Sent(peer, "NVal").size() == 3; }));
}

TEST_F(SpiceSheet, AGoodbyeFromTheSimulatorClosesTheClientLink) {
    FakeSimora peer;
    ConnectTo(peer);
    ASSERT_FALSE(gServerMode);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("ECon"), 3, 0, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([] { return !Reschedules().empty(); }));
    EXPECT_EQ(Reschedules(), std::vector<uint32_t>{800});
    ASSERT_NE(gSpiceSocket, nullptr);
    EXPECT_NE(gSpiceSocket->state, kSocketStateConnected);
    EXPECT_EQ(gSpiceInputQueue, nullptr);
    EXPECT_EQ(GetNextSpiceMessage(), nullptr);
}

TEST_F(SpiceSheet, AStaleNetlistIsWrittenByTheReportInterpreter) {
    FakeSimora peer;
    ConnectTo(peer);
    const std::string circuit = dir_.file("net.cir");
    ASSERT_TRUE(test::WriteFile(dir_.file("Spice.SXP"),
                                "SETFILE \"" + circuit + "\"; WRITE \"* circuit\""));
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir_.file("Spice.SXP").c_str(),
                                   &design_.project->netlistScript),
              0);
    design_.project->settings.lastNetlistTime = 0;
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        if (f.type != FourCC("cClo")) return {};
        return PeerFrameBytes(f.type, f.number, 0, {0, 0, 0, 0}, "");  // not modified
    });
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("Dirt"), 41, kProjectId, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([&] { return !Sent(peer, "Dirt").empty(); }));
    std::string written;
    ASSERT_TRUE(test::ReadFile(circuit, written));
    EXPECT_EQ(written, "* circuit");
    // The circuit was closed in the simulator before it was written, then opened.
    ASSERT_EQ(Sent(peer, "cClo").size(), 1u);
    ASSERT_EQ(Sent(peer, "Open").size(), 1u);
    EXPECT_NE(Sent(peer, "Open")[0].body.find("net.cir"), std::string::npos);
    EXPECT_EQ(Sent(peer, "Dirt")[0].arguments[0], 1u);
}

}  // namespace
}  // namespace plexa
