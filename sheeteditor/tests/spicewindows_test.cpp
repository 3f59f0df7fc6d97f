// The simulator link's windows, driven headless with scripted clicks against a fake simulator on
// the loopback interface: the setup dialog starts and stops the link and stores the preferences,
// the wait window cancels a wait, and the "Spice Parameters" window lists what the simulator
// answers.
#include "sheeteditor/spicewindows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/root.h"
#include "design/simlink.h"
#include "design/simlink_session.h"
#include "design/simlink_sheet.h"
#include "design/tests/fake_simora.h"
#include "design/tests/simlink_testing.h"
#include "design/tests/netlist_fixture.h"
#include "foundation/memory.h"
#include "foundation/socket.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "platform/control_platform.h"
#include "toolkit/tests/toolkit_fixture.h"
#include "toolkit/tests/windows_fixture.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_listbox.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_templates.h"

namespace plexa::test {
namespace {

constexpr uint32_t kProjectId = 0x3456;

struct Seen {
    std::vector<SpiceLinkPreferences> stored;
    std::vector<bool> tools;
    std::vector<std::string> shown;  // what the script saw in the dialog
    uint16_t peerPort = 0;
};
Seen& Saw() {
    static Seen seen;
    return seen;
}

// Runs `step` on the front dialog once it is up.
void OnDialog(void (*step)(VXWindowRecordTag*), double delay = 0.001) {
    static void (*gStep)(VXWindowRecordTag*);
    gStep = step;
    VXPostDeferredAction([](void*) {
        VXWindowRecordTag* dialog = FrontDialog();
        ASSERT_TRUE(dialog);
        gStep(dialog);
    }, nullptr, delay);
}

class SpiceWindows : public WindowsTest {
protected:
    void SetUp() override {
        WindowsTest::SetUp();
        EXPECT_EQ(status::kNoErr, InitMemoryManager(-1));
        VXInitControls();
        VXInitListBoxes();
        ASSERT_EQ(InitTextRecordPool(), 0);
        ASSERT_EQ(SelectUIFile("views.gui"), 0);
        Saw() = Seen{};
        InstallEditorHooks();
        // The preferences and the simulator tool bars are the shell's and the sheet editor's:
        // faked here to see what the windows store and show.
        SpiceWindowHooks hooks;
        hooks.preferences = [] {
            return Saw().stored.empty() ? SpiceLinkPreferences{} : Saw().stored.back();
        };
        hooks.storePreferences = [](const SpiceLinkPreferences& p) { Saw().stored.push_back(p); };
        hooks.showSimulatorTools = [](bool show) { Saw().tools.push_back(show); };
        SetSpiceWindowHooks(hooks);
    }
    void TearDown() override {
        DisableSpiceLink();
        CloseDeviceParametersWindow(nullptr);
        SetSpiceWindowHooks(SpiceWindowHooks{});
        InstallCoreHooks();
        gSpiceLinkSettings = {0, kSpiceDefaultListenPort, kSpiceDefaultConnectPort};
        CloseUIFiles();
        WindowsTest::TearDown();
        PlatformControlFlushDestroyed();
        EXPECT_EQ(gModalWindowDepth, 0);
    }
};

TEST_F(SpiceWindows, TheTemplatesHoldTheItemsTheHandlersDrive) {
    auto numbers = [](uint16_t id) {
        std::vector<int16_t> out;
        for (const auto& [number, type] : DialogTemplateItems(id))
            if (number > 0) out.push_back(number);
        return out;
    };
    EXPECT_EQ(numbers(kSpiceSetupTemplate), (std::vector<int16_t>{1, 2, 4, 5, 7, 9, 11, 14, 15, 16}));
    EXPECT_EQ(numbers(kSpiceWaitTemplate), (std::vector<int16_t>{1, 2}));
    EXPECT_EQ(numbers(kSpiceParametersTemplate), (std::vector<int16_t>{10}));
}

TEST_F(SpiceWindows, StatusTexts) {
    EXPECT_EQ(CalcSpiceLinkStatusMsg(true, false, 0),
              "A connection with Simora has been established. Click Stop to terminate the "
              "connection.");
    EXPECT_EQ(CalcSpiceLinkStatusMsg(false, true, 0),
              "Waiting for Simora to request a connection. Click Stop to prevent Simora from "
              "making a connection.");
    EXPECT_EQ(CalcSpiceLinkStatusMsg(false, false, 0),
              "The Simora Interface is currently turned off. Click Start to turn on the Simora "
              "Interface.");
    // A system code is shown without its bit 29.
    EXPECT_EQ(CalcSpiceLinkStatusMsg(false, false, 0x20002C96),
              "The Simora Interface cannot be turned on due to a problem with your computer's "
              "TCP/IP services (Code = 11414).");
    EXPECT_EQ(CalcSpiceLinkStatusMsg(false, false, -50).find("(Code = -50)") != std::string::npos,
              true);
}

TEST_F(SpiceWindows, SetupStartsTheLinkAndStoresThePreferences) {
    FakeSimora peer;
    ASSERT_TRUE(peer.Listen());
    Saw().peerPort = peer.port();
    OnDialog([](VXWindowRecordTag* d) {
        Saw().shown.push_back(test::DialogItemText(d, kSpiceSetupStatusItem));
        Saw().shown.push_back(test::DialogItemText(d, kSpiceSetupStartItem));
        // A different computer with an address that is none: nothing starts.
        VXSelectListItem(d, kSpiceSetupComputerItem, 0, false);
        VXSelectListItem(d, kSpiceSetupComputerItem, 1, true);
        VXSetItemText(d, kSpiceSetupAddressItem, "300.1.2.3");
        VXInvokePushButton(d, kSpiceSetupStartItem);
        Saw().shown.push_back(gSpiceSocket ? "started" : "not started");
        // This computer, the fake simulator's port.
        VXSelectListItem(d, kSpiceSetupComputerItem, 1, false);
        VXSelectListItem(d, kSpiceSetupComputerItem, 0, true);
        VXSetItemInt(d, kSpiceSetupConnectItem, Saw().peerPort);
        VXInvokePushButton(d, kSpiceSetupStartItem);
        Saw().shown.push_back(test::DialogItemText(d, kSpiceSetupStatusItem));
        Saw().shown.push_back(test::DialogItemText(d, kSpiceSetupStartItem));
        Saw().shown.push_back(VXGetItemEnabled(d, kSpiceSetupListenItem) ? "settings on"
                                                                        : "settings off");
        // The progress that stood in place of item 1 while the link started is gone again.
        Saw().shown.push_back(std::string(VXGetItemVisible(d, kSpiceSetupProgressItem) ? "progress"
                                                                                    : "no progress") +
                              (VXGetItemVisible(d, 1) && VXGetItemEnabled(d, 1) ? ", on" : ""));
        VXInvokePushButton(d, kSpiceSetupDoneItem);
    });
    SpiceSetup();
    ASSERT_EQ(Saw().shown.size(), 7u);
    EXPECT_EQ(Saw().shown[0], CalcSpiceLinkStatusMsg(false, false, 0));
    EXPECT_EQ(Saw().shown[1], "Start");
    EXPECT_EQ(Saw().shown[2], "not started");
    EXPECT_EQ(Saw().shown[3], CalcSpiceLinkStatusMsg(true, false, 0));
    EXPECT_EQ(Saw().shown[4], "Stop");
    EXPECT_EQ(Saw().shown[5], "settings off");
    EXPECT_EQ(Saw().shown[6], "no progress, on");
    ASSERT_NE(gSpiceSocket, nullptr);
    EXPECT_EQ(gSpiceSocket->state, kSocketStateConnected);
    ASSERT_TRUE(peer.WaitFrames(1));
    EXPECT_EQ(peer.frames()[0].type, FourCC("AllA"));
    ASSERT_FALSE(Saw().stored.empty());
    const SpiceLinkPreferences stored = Saw().stored.back();
    EXPECT_TRUE(stored.linkOn);
    EXPECT_FALSE(stored.differentComputer);
    EXPECT_EQ(stored.settings.connectPort, peer.port());
    EXPECT_EQ(stored.settings.listenPort, kSpiceDefaultListenPort);
    ASSERT_FALSE(Saw().tools.empty());
    EXPECT_TRUE(Saw().tools.back());

    // Stop, and the default ports: the link goes off and the preferences follow.
    Saw().shown.clear();
    OnDialog([](VXWindowRecordTag* d) {
        VXInvokePushButton(d, kSpiceSetupStartItem);
        Saw().shown.push_back(test::DialogItemText(d, kSpiceSetupStatusItem));
        VXInvokePushButton(d, kSpiceSetupDefaultsItem);
        Saw().shown.push_back(test::DialogItemText(d, kSpiceSetupConnectItem));
        VXInvokePushButton(d, kSpiceSetupDoneItem);
    });
    SpiceSetup();
    ASSERT_EQ(Saw().shown.size(), 2u);
    EXPECT_EQ(Saw().shown[0], CalcSpiceLinkStatusMsg(false, false, 0));
    EXPECT_EQ(Saw().shown[1], "32001");
    EXPECT_EQ(gSpiceSocket, nullptr);
    EXPECT_FALSE(Saw().stored.back().linkOn);
    EXPECT_EQ(Saw().stored.back().settings.connectPort, kSpiceDefaultConnectPort);
    EXPECT_FALSE(Saw().tools.back());
}

TEST_F(SpiceWindows, AClickInTheWaitWindowCancels) {
    void* wait = OpenSpiceWaitWindow("Querying Simora", "Updating node values...");
    ASSERT_NE(wait, nullptr);
    VXWindowRecordTag* window = FrontDialog();
    ASSERT_NE(window, nullptr);
    char title[200];
    VXGetWindowTitle(window, title);
    EXPECT_STREQ(title, "Querying Simora");
    EXPECT_EQ(test::DialogItemText(window, kSpiceWaitTextItem), "Updating node values...");
    EXPECT_FALSE(SpiceWaitWindowIdle(wait));
    VXInvokePushButton(window, 2);
    EXPECT_TRUE(SpiceWaitWindowIdle(wait));
    CloseSpiceWaitWindow(wait);
    EXPECT_EQ(FrontDialog(), nullptr);
}

TEST_F(SpiceWindows, TheParametersWindowListsTheSimulatorsAnswer) {
    netfix::Design design(1);
    ProjectRecord* project = design.project;
    project->projectId = kProjectId;
    project->next = gProjectList;
    gProjectList = project;
    SheetRecord* sheet = design.AddSheet("top");
    sheet->project = project;
    ComponentRecord* comp = netfix::Design::MakeComponent(sheet, "RES", "R", 1, 2);
    SymbolRecord* resistor = netfix::Design::Place(sheet, comp);
    project->compMap = CreateSpiceCompMap();
    AddSpiceCompMapEntry(project->compMap, 0, resistor->serial, "R1");

    FakeSimora peer;
    ConnectSpiceLinkTo(peer);
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("AddA"), 1, kProjectId, {5, 0, 1, 0},
                                         PeerStringList(4, {PeerEntry{"op1", 55}}))));
    ASSERT_TRUE(TickSpiceLinkUntil([&] { return CountSpiceAnalyses(project) == 1; }));
    peer.SetResponder([](const PeerFrame& f) -> std::string {
        if (f.type != FourCC("Plst")) return {};
        if (f.arguments[1] == 1)  // model parameters: an error
            return PeerFrameBytes(f.type, f.number, f.projectId, {0, 1, 0, 0},
                                  PeerStringList(0, {{"no model", 0}}));
        return PeerFrameBytes(f.type, f.number, f.projectId, {0, 0, 0, 0},
                              PeerStringList(0, {{"r1", 0}, {"tc1", 0}, {"0.001", 0},
                                                 {"tnom", 0}, {"27", 0}}));
    });

    DisplayDeviceParameters(sheet, resistor);
    VXWindowRecordTag* window = GetDeviceParametersWindow();
    ASSERT_NE(window, nullptr);
    char title[200];
    VXGetWindowTitle(window, title);
    EXPECT_STREQ(title, "R1 Parameters");
    std::string message;
    using Rows = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(GetDeviceParameterRows(&message), (Rows{{"tc1", "0.001"}, {"tnom", "27"}}));
    EXPECT_EQ(message, "");
    // One list view row per pair, below the column header.
    VXWindowRecordTag* list = GetDeviceParametersList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->parent, window);
    EXPECT_EQ(VXCountListViewItems(list), 2);
    EXPECT_GT(WriteScreenshot(window, "spice-parameters-rows.png").size(), 24u);
    PeerFrame request = peer.frames().back();
    EXPECT_EQ(request.type, FourCC("Plst"));
    EXPECT_EQ(request.arguments[0], 55u);
    EXPECT_EQ(request.arguments[1], 0u);
    ASSERT_EQ(request.entries.size(), 1u);
    EXPECT_EQ(request.entries[0].text, "r1");

    // The model parameters: the reply's error shows in place of the rows.
    VXSelectListItem(window, kSpiceParamsKindItem, 0, false);
    VXSelectListItem(window, kSpiceParamsKindItem, 1, true);
    VXEventRecord event{};
    event.kind = kVXControlEvent;
    event.u.control.item = kSpiceParamsKindItem;
    DeviceParamsViewHandler(window, &event);
    EXPECT_EQ(peer.frames().back().arguments[1], 1u);
    EXPECT_TRUE(GetDeviceParameterRows(&message).empty());
    EXPECT_EQ(message, "no model");
    EXPECT_EQ(VXCountListViewItems(list), 0);
    VXListViewUpdate(list, nullptr, 0);  // the message is drawn over the empty list
    EXPECT_GT(WriteScreenshot(window, "spice-parameters-message.png").size(), 24u);

    // A completed analysis reloads it; closing forgets it.
    const size_t asked = peer.frames().size();
    ASSERT_TRUE(peer.Send(PeerFrameBytes(FourCC("Cmpl"), 2, kProjectId, {5, 4, 0, 0}, "")));
    EXPECT_TRUE(TickSpiceLinkUntil([&] { return peer.frames().size() > asked; }));
    CloseDeviceParametersWindow(project);
    EXPECT_EQ(GetDeviceParametersWindow(), nullptr);
    DisableSpiceLink();
    gProjectList = project->next;
}

TEST_F(SpiceWindows, ASelectedSheetSymbolClearsTheSelectionInstead) {
    netfix::Design design(1);
    SheetRecord* sheet = design.AddSheet("top");
    sheet->project = design.project;
    SymbolRecord* block = CreateSymbol();
    AddSymbolToSheet(sheet, block);
    block->flags |= kSymbolFlagSheet | kSymbolFlagSelected;
    SymbolRecord* part = netfix::Design::Place(sheet, netfix::Design::MakeComponent(sheet, "RES", "R", 1, 2));
    part->flags |= kSymbolFlagSelected;
    DisplayDeviceParameters(sheet, block);
    EXPECT_EQ(GetDeviceParametersWindow(), nullptr);
    EXPECT_EQ(block->flags & kSymbolFlagSelected, 0u);
    EXPECT_EQ(part->flags & kSymbolFlagSelected, 0u);
    // Not selected: nothing happens.
    part->flags |= kSymbolFlagSelected;
    DisplayDeviceParameters(sheet, block);
    EXPECT_NE(part->flags & kSymbolFlagSelected, 0u);
    EXPECT_EQ(GetDeviceParametersWindow(), nullptr);
}

}  // namespace
}  // namespace plexa::test
