// The exchange with a fake simulator over a real loopback connection: analyses, the stale-netlist
// question, node values, alerts and closing a modified circuit.
#include "design/simlink_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "design/simlink.h"
#include "design/simlink_netlist.h"
#include "design/simlink_strings.h"
#include "design/tests/fake_simora.h"
#include "design/tests/simlink_testing.h"
#include "files/project.h"
#include "foundation/da.h"
#include "foundation/filespec.h"
#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/socket.h"
#include "foundation/stringblock.h"
#include "platform/app_platform.h"
#include "tests/support/testing.h"

namespace plexa {
namespace {

using test::FakeSimora;
using test::PeerEntry;
using test::PeerFrame;
using test::PeerFrameBytes;
using test::PeerStringList;

constexpr uint32_t kProjectId = 0x1234;
constexpr uint32_t kInstance = 7;

struct Seen {
    int refreshes = 0;
    int toolbars = 0;
    std::vector<std::string> alerts;
    int32_t alertAnswer = 2;
    bool discard = true;
    std::vector<std::string> discardQuestions;
    struct Run {
        uint32_t root;
        bool descend;
        uint16_t levelLimit;
        std::string bundleId;
    };
    std::vector<Run> runs;
    std::string output;
    bool running = false, paused = false;
};

Seen& Saw() {
    static Seen seen;
    return seen;
}

OSStatus TestRunner(ProjectRecord*, Handle tokens, uint32_t root, bool descend, uint16_t limit,
                    const char* bundleId, std::string* output) {
    EXPECT_NE(tokens, nullptr);
    Saw().runs.push_back({root, descend, limit, bundleId});
    *output = Saw().output;
    return status::kNoErr;
}

uint32_t Type(const char (&code)[5]) { return FourCC(code); }

class SpiceSession : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        test::StartSpiceTestApplication();
    }

    void SetUp() override {
        Saw() = Seen{};
        SpiceLinkHooks link;
        link.projectId = [](const ProjectRecord* p) { return p->projectId; };
        link.dispatch = DispatchSpiceMessage;
        SetSpiceLinkHooks(link);
        SpiceSessionHooks session;
        session.refreshSheets = [](ProjectRecord*, bool) { ++Saw().refreshes; };
        session.updateToolbar = [](ProjectRecord*) { ++Saw().toolbars; };
        session.setRunning = [](ProjectRecord*, uint32_t, bool running, bool paused) {
            Saw().running = running;
            Saw().paused = paused;
        };
        session.applicationActive = [] { return true; };
        session.alert = [](const std::vector<std::string>& s) {
            Saw().alerts.push_back(s[0] + "|" + s[1] + "|" + s[3] + "|" + s[4]);
            return Saw().alertAnswer;
        };
        SetSpiceSessionHooks(session);
        SpiceNetlistHooks netlist;
        netlist.applicationActive = [] { return true; };
        netlist.confirmDiscard = [](const char* text) {
            Saw().discardQuestions.push_back(text);
            return Saw().discard;
        };
        SetSpiceNetlistHooks(netlist);
        formerRunner_ = SetSpiceScriptRunner(TestRunner);

        // A project with a simulator signal map (CLK of instance 7 is the net NET_CLK) and the
        // script that wrote its netlist.
        project_ = reinterpret_cast<ProjectRecord*>(AllocPtrClear(nullptr, sizeof(ProjectRecord)));
        project_->projectId = kProjectId;
        project_->analyses = CreateSpiceAnalysisList();
        project_->signalMap = CreateSpiceSignalMap(CreateStringBlock(nullptr, 64), nullptr);
        StringBlock names = GetSignalMapInfo(project_->signalMap, nullptr);
        SpiceSignalMapEntry clk{OverlayStringBlock(names, "CLK", -1, nullptr),
                                OverlayStringBlock(names, "NET_CLK", -1, nullptr), 0,
                                int32_t(kInstance), 0};
        DAAdd(project_->signalMap, &clk);
        ASSERT_TRUE(test::WriteFile(dir_.file("Spice.SXP"), "WRITE 1"));
        ASSERT_EQ(FileSpecFromPathName(nullptr, dir_.file("Spice.SXP").c_str(),
                                       &project_->netlistScript),
                  0);
        project_->netlistDescend = 1;
        project_->next = gProjectList;
        gProjectList = project_;
        Saw().output = dir_.file("circuit.cir");
        ASSERT_TRUE(test::WriteFile(Saw().output, "* circuit\n"));
    }

    void TearDown() override {
        DisableSpiceLink();
        gProjectList = project_->next;
        DestroySpiceAnalysisList(project_->analyses);
        DestroySpiceSignalMap(project_->signalMap);
        MemFreePtr(project_);
        SetSpiceScriptRunner(formerRunner_);
        SetSpiceLinkHooks(SpiceLinkHooks{});
        SetSpiceSessionHooks(SpiceSessionHooks{});
        SetSpiceNetlistHooks(SpiceNetlistHooks{});
        gSpiceLinkSettings = {0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
    }

    void ConnectTo(FakeSimora& peer) { test::ConnectSpiceLinkTo(peer); }

    static bool TickUntil(const std::function<bool()>& done) { return test::TickSpiceLinkUntil(done); }

    // The peer announces an analysis "tran1" (id 77) with one graph "v(out)" (id 3).
    void Announce(FakeSimora& peer, const char (&type)[5] = "AddA", uint32_t stamp = 9) {
        const int before = Saw().toolbars;
        ASSERT_TRUE(peer.Send(PeerFrameBytes(
            Type(type), 1, kProjectId, {5, 0, stamp, 0},
            PeerStringList(4, {PeerEntry{"tran1", 77}, PeerEntry{"v(out)", 3}}))));
        ASSERT_TRUE(TickUntil([&] { return Saw().toolbars > before; }));
    }

    test::TempDir dir_;
    ProjectRecord* project_ = nullptr;
    SpiceScriptRunner formerRunner_ = nullptr;
};

TEST_F(SpiceSession, AnAnalysisFromThePeerFillsTheAnalysisList) {
    FakeSimora peer;
    ConnectTo(peer);
    Announce(peer, "AllA");
    ASSERT_EQ(CountSpiceAnalyses(project_), 1);
    SpiceAnalysisRecord* analysis = GetCurrentSpiceAnalysis(project_);
    ASSERT_NE(analysis, nullptr);
    char text[kSpiceStringTextSize];
    GetSpiceAnalysisName(analysis, text);
    EXPECT_STREQ(text, "tran1");
    EXPECT_EQ(GetSpiceAnalysisId(analysis), 77u);
    EXPECT_EQ(CountSpiceAnalysisGraphs(analysis), 1);
    GetSpiceAnalysisGraphName(analysis, 0, text);
    EXPECT_STREQ(text, "v(out)");
    EXPECT_EQ(GetSpiceAnalysisGraphId(analysis, 0), 3u);
    EXPECT_EQ(GetSpiceAnalysisGraphId(analysis, 1), 0u);
    EXPECT_EQ(Saw().refreshes, 1);

    // The same stamp again only replaces the graphs; a new stamp refreshes the sheets.
    Announce(peer, "AddA", 9);
    EXPECT_EQ(CountSpiceAnalyses(project_), 1);
    EXPECT_EQ(Saw().refreshes, 1);
    Announce(peer, "AddA", 10);
    EXPECT_EQ(Saw().refreshes, 2);

    // A message about a project that is not open is ignored.
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("DelA"), 2, kProjectId + 1, {5, 0, 0, 0}, "")));
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("DelA"), 3, kProjectId, {5, 0, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([&] { return CountSpiceAnalyses(project_) == 0; }));
    EXPECT_EQ(GetCurrentSpiceAnalysis(project_), nullptr);
}

// Stopping the link leaves no analysis behind: every open project's list is emptied with its
// tools updated, and none runs any more.
TEST_F(SpiceSession, StoppingTheLinkDropsEveryProjectsAnalyses) {
    SpiceLinkHooks link = GetSpiceLinkHooks();
    SpiceSessionHooks session = GetSpiceSessionHooks();
    AddSpiceLinkServices(link, session);
    SetSpiceLinkHooks(link);
    SetSpiceSessionHooks(session);
    FakeSimora peer;
    ConnectTo(peer);
    Announce(peer, "AllA");
    ASSERT_EQ(CountSpiceAnalyses(project_), 1);
    Saw().running = true;
    const int toolbars = Saw().toolbars;
    DisableSpiceLink();
    EXPECT_EQ(CountSpiceAnalyses(project_), 0);
    EXPECT_EQ(GetCurrentSpiceAnalysis(project_), nullptr);
    EXPECT_EQ(Saw().toolbars, toolbars + 1);
    EXPECT_FALSE(Saw().running);
}

TEST_F(SpiceSession, AStaleNetlistIsWrittenAgainOpenedAndAnswered) {
    FakeSimora peer;
    ConnectTo(peer);
    project_->settings.lastNetlistTime = 0;  // the sheets changed since the last netlist
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("Dirt"), 41, kProjectId, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([&] { return peer.frames().size() >= 3; }));
    ASSERT_EQ(Saw().runs.size(), 1u);
    EXPECT_EQ(Saw().runs[0].root, 0u);
    EXPECT_TRUE(Saw().runs[0].descend);
    EXPECT_EQ(Saw().runs[0].levelLimit, kScriptNoLevelLimit);  // a stored limit of 0
    EXPECT_EQ(Saw().runs[0].bundleId, kSpiceBundleId);
    const std::vector<PeerFrame> frames = peer.frames();
    // The simulator is asked to open the written circuit: a raw body with the terminated path.
    EXPECT_EQ(frames[1].type, Type("Open"));
    EXPECT_EQ(frames[1].raw, 1);
    std::string path = Saw().output + std::string(1, '\0');
    std::string raw("\x55\xAA\xAA\x55", 4);
    test::AppendBE32(&raw, uint32_t(path.size()));
    EXPECT_EQ(frames[1].body, raw + path);
    // The answer keeps the question's number: regenerated.
    EXPECT_EQ(frames[2].type, Type("Dirt"));
    EXPECT_EQ(frames[2].number, 41u);
    EXPECT_EQ(frames[2].projectId, kProjectId);
    EXPECT_EQ(frames[2].arguments[0], 1u);
    EXPECT_EQ(frames[2].arguments[1], 0u);

    // Unchanged sheets: nothing is run, the answer says so.
    project_->settings.lastNetlistTime = 1000;
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("Dirt"), 42, kProjectId, {0, 0, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([&] { return peer.frames().size() >= 4; }));
    EXPECT_EQ(peer.frames()[3].number, 42u);
    EXPECT_EQ(peer.frames()[3].arguments[0], 0u);
    EXPECT_EQ(Saw().runs.size(), 1u);

    // A root instance that no longer exists: no run, a failure with the message.
    project_->settings.lastNetlistTime = 0;
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("Dirt"), 43, kProjectId, {99, 0, 0, 0}, "")));
    ASSERT_TRUE(TickUntil([&] { return peer.frames().size() >= 5; }));
    const PeerFrame failed = peer.frames()[4];
    EXPECT_EQ(failed.number, 43u);
    EXPECT_EQ(failed.arguments[0], 2u);
    ASSERT_EQ(failed.entries.size(), 1u);
    EXPECT_EQ(failed.entries[0].text,
              "The root sheet of the previously generated Netlist no longer exists. Please export "
              "a new Spice Netlist.");
    EXPECT_EQ(Saw().runs.size(), 1u);
}

TEST_F(SpiceSession, NodeValueRequestsCarryMappedNamesAndLabelsShowTheReply) {
    FakeSimora peer;
    ConnectTo(peer);
    Announce(peer);
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        if (f.type != FourCC("NVal")) return {};
        return PeerFrameBytes(f.type, f.number, f.projectId, {0, 0, 0, 0},
                              PeerStringList(0, {{"net_clk", 0}, {"1.5V", 0}, {"d0", 0}, {"0V", 0}}));
    });
    std::vector<SpiceNodeLabel> labels{{"CLK", ""}, {"clk", ""}, {"Data", ""}};
    EXPECT_TRUE(RetrieveSpiceNodeValues(project_, kInstance, &labels, "Updating node values..."));
    const PeerFrame request = peer.frames().back();
    EXPECT_EQ(request.type, Type("NVal"));
    EXPECT_EQ(request.arguments[0], 77u);  // the analysis id
    ASSERT_EQ(request.entries.size(), 2u);  // each name once, mapped, in lower case
    EXPECT_EQ(request.entries[0].text, "net_clk");
    EXPECT_EQ(request.entries[1].text, "data");
    EXPECT_EQ(labels[0].value, "1.5V");
    EXPECT_EQ(labels[1].value, "1.5V");
    EXPECT_EQ(labels[2].value, "?");  // no value came for it

    // No labels: nothing is sent.
    const size_t sent = peer.frames().size();
    std::vector<SpiceNodeLabel> none;
    EXPECT_TRUE(RetrieveSpiceNodeValues(project_, kInstance, &none, ""));
    EXPECT_EQ(peer.frames().size(), sent);

    // An error reply shows its text where the values would go.
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        return PeerFrameBytes(f.type, f.number, f.projectId, {0, 1, 0, 0},
                              PeerStringList(0, {{"no ", 0}, {"such node", 0}}));
    });
    labels = {{"CLK", ""}};
    EXPECT_TRUE(RetrieveSpiceNodeValues(project_, kInstance, &labels, ""));
    EXPECT_EQ(labels[0].value, "no such node");
}

TEST_F(SpiceSession, ClosingAModifiedCircuitGoesThroughTheDiscardQuestion) {
    FakeSimora peer;
    ConnectTo(peer);
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        if (f.type != FourCC("cClo") || f.arguments[0] != 0) return {};
        return PeerFrameBytes(f.type, f.number, 0, {1, 0, 0, 0}, "");  // modified
    });
    FileSpec circuit;
    ASSERT_EQ(FileSpecFromPathName(nullptr, Saw().output.c_str(), &circuit), 0);
    EXPECT_EQ(CloseSpiceCircuit(&circuit), 0);
    ASSERT_TRUE(peer.WaitFrames(3));
    std::vector<PeerFrame> frames = peer.frames();
    EXPECT_EQ(frames[1].type, Type("cClo"));
    EXPECT_EQ(frames[1].arguments[0], 0u);
    EXPECT_EQ(frames[1].raw, 1);
    EXPECT_EQ(frames[2].type, Type("cClo"));
    EXPECT_EQ(frames[2].arguments[0], 1u);  // discard
    EXPECT_EQ(frames[2].body, frames[1].body);
    ASSERT_EQ(Saw().discardQuestions.size(), 1u);
    EXPECT_EQ(Saw().discardQuestions[0],
              "The netlist is open in Simora and has been modified. Do you want to discard those "
              "changes?");

    // Declining ends with -128 and sends nothing more.
    Saw().discard = false;
    EXPECT_EQ(CloseSpiceCircuit(&circuit), status::kUserCancelled);
    ASSERT_TRUE(peer.WaitFrames(4));
    ASSERT_TRUE(peer.WaitQuiet());
    EXPECT_EQ(peer.frames().size(), 4u);

    // An unmodified circuit asks nothing.
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        return PeerFrameBytes(f.type, f.number, 0, {0, 0, 0, 0}, "");
    });
    EXPECT_EQ(CloseSpiceCircuit(&circuit), 0);
    EXPECT_EQ(Saw().discardQuestions.size(), 2u);
}

TEST_F(SpiceSession, AlertsAreShownAndAnsweredOnlyWhenAsked) {
    FakeSimora peer;
    ConnectTo(peer);
    const std::string body =
        PeerStringList(0, {{"Title", 0}, {"Message", 0}, {"More", 0}, {"OK", 0}, {"Cancel", 0}});
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("Dlog"), 8, kProjectId, {0, 0, 0, 0}, body)));
    ASSERT_TRUE(TickUntil([&] { return Saw().alerts.size() == 1; }));
    EXPECT_EQ(Saw().alerts[0], "Title|Message|OK|Cancel");
    Saw().alertAnswer = 2;
    ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("Dlog"), 9, kProjectId, {0, 1, 0, 0}, body)));
    ASSERT_TRUE(TickUntil([&] { return peer.frames().size() >= 2; }));
    const PeerFrame answer = peer.frames()[1];
    EXPECT_EQ(answer.type, Type("Dlog"));
    EXPECT_EQ(answer.number, 9u);
    EXPECT_EQ(answer.arguments[1], 1u);  // the answer less 1
    EXPECT_EQ(Saw().alerts.size(), 2u);
}

TEST_F(SpiceSession, CompletionStatusesSetTheRunningAnalysis) {
    FakeSimora peer;
    ConnectTo(peer);
    Announce(peer);
    struct Case {
        uint32_t key, status;
        bool running, paused;
        int refreshes;  // added by the message
    } cases[] = {
        {5, 3, true, true, 0},     // running and paused, odd: no refresh
        {5, 10, true, false, 0},   // running: never a refresh
        {5, 2, true, true, 1},     // paused
        {5, 4, false, false, 1},   // done
        {6, 0, false, false, 0},   // unknown analysis: status 1
    };
    uint32_t number = 10;
    for (const Case& c : cases) {
        const int before = Saw().refreshes;
        const int toolbars = Saw().toolbars;
        ASSERT_TRUE(peer.Send(PeerFrameBytes(Type("Cmpl"), ++number, kProjectId,
                                             {c.key, c.status, 0, 0}, "")));
        ASSERT_TRUE(TickUntil([&] { return Saw().toolbars > toolbars; })) << c.status;
        EXPECT_EQ(Saw().running, c.running) << c.status;
        EXPECT_EQ(Saw().paused, c.paused) << c.status;
        EXPECT_EQ(Saw().refreshes - before, c.refreshes) << c.status;
    }
}

TEST_F(SpiceSession, RepliesWithTooFewEntriesOrMalformedListsHaveNoInformation) {
    auto reply = [](uint32_t error, std::vector<const char*> strings) {
        Handle list = CreateSpiceStringList(0);
        for (const char* s : strings) EXPECT_EQ(status::kNoErr, AddSpiceStringListEntry(list, s, nullptr));
        SpiceMessageRecord* m =
            BuildSpiceMessage(FourCC("Plst"), nullptr, 0, error, 0, 0, false, *list,
                              SizeOfHandle(list));
        DestroySpiceStringList(list);
        return m;
    };
    SpiceMessageRecord* m = reply(0, {"r1", "tc1"});
    EXPECT_EQ(CheckSpiceReply(m, 3), kSpiceNoInformation);
    EXPECT_EQ(CheckSpiceReply(m, 2), "");
    // A list whose count runs past its bytes.
    (*m->body)[2] = 9;
    EXPECT_EQ(CheckSpiceReply(m, 2), kSpiceNoInformation);
    DestroySpiceMessage(m);
    m = reply(1, {"bad ", "device"});
    EXPECT_EQ(CheckSpiceReply(m, 3), "bad device");
    DestroySpiceMessage(m);
    EXPECT_EQ(CheckSpiceReply(nullptr, 2), kSpiceNoInformation);
}

TEST(SpiceNetlist, LevelLimitOfARun) {
    EXPECT_EQ(ScriptRunLevelLimit(0, true), kScriptNoLevelLimit);
    EXPECT_EQ(ScriptRunLevelLimit(4, false), kScriptNoLevelLimit);
    EXPECT_EQ(ScriptRunLevelLimit(4, true), 4);
}

TEST(SpiceNetlist, TheScriptCacheFindsEqualFilesAndFreesWhatItOwns) {
    test::TempDir dir;
    FileSpec a, b;
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir.file("a.SXP").c_str(), &a), 0);
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir.file("b.SXP").c_str(), &b), 0);
    ScriptCache* cache = CreateScriptCache();
    Handle mine = AllocHandle(nullptr, 4);
    Handle cached = AllocHandle(nullptr, 4);
    EXPECT_EQ(CacheScript(cache, &a, nullptr, false), nullptr);
    EXPECT_EQ(CacheScript(cache, &a, mine, true), mine);
    EXPECT_EQ(CacheScript(cache, &b, cached, false), cached);
    EXPECT_EQ(CacheScript(cache, &a, nullptr, false), mine);
    EXPECT_EQ(CacheScript(cache, &b, nullptr, false), cached);
    DestroyScriptCache(cache);  // frees `cached`, not the caller's stream
    MemFree(mine);
}

TEST(SpiceNetlist, RegenerationMessages) {
    test::TempDir dir;
    ProjectRecord* p = reinterpret_cast<ProjectRecord*>(AllocPtrClear(nullptr, sizeof(ProjectRecord)));
    std::string text;
    EXPECT_EQ(RegenerateSpiceNetList(p, 0, false, &text), 0);
    EXPECT_EQ(text, "Please export a new Spice Netlist for this session.");
    ASSERT_EQ(FileSpecFromPathName(nullptr, dir.file("gone.SXP").c_str(), &p->netlistScript), 0);
    EXPECT_EQ(RegenerateSpiceNetList(p, 0, false, &text), 0);
    EXPECT_EQ(text,
              "Unable to locate the previously used script file. Please export a new Spice Netlist.");
    EXPECT_EQ(RegenerateSpiceNetList(p, 0, true, &text), 0);
    EXPECT_EQ(text, "Plexa could not automatically regenerate the netlist.");
    MemFreePtr(p);
}

}  // namespace
}  // namespace plexa
