// A person builds a hierarchical design from an empty start in the running `plexa`, with the
// mouse and the keys only: real X events on a virtual display of the test's own under a window
// manager (tests/e2e-real/x_desktop.h), no scripted input. Windows are found by their titles,
// menus are opened from the keyboard (Alt with a menu's letter, shortcuts), dialogs' fields and
// cells are clicked where the program's layout puts them, windows are closed through the window
// manager's close button. Every step waits for the state it leads to (a window, a file, a window drawn
// and still) and leaves a screenshot of the screen in <build>/test-output/e2e-real/.
//
// The design, a divider fed by V1 and probed by a child sheet used twice:
//
//   IN  --R1 1k--  MID  --R2 3k-- GND      V1 "DC 10" from IN to GND
//                  MID  --R3 6k-- GND      PROBE.SHX: a capacitor between its ports P and N,
//                                          X1 (P on MID, N on GND) and X2 (P on IN, N on GND)
//
// so that, by hand, MID = 10 V * (R2 || R3) / (R1 + R2 || R3) = 10 V * 2k / 3k = 6.667 V and
// IN = 10 V; the capacitors carry no current at the operating point. The values are typed into
// the value cells of Symbol Information's Attributes tab; the nets IN and MID are named through
// the signal dialog; the child's ports come from the Module Port Shortcuts. The design is
// annotated, saved, closed through the window manager, opened again, netlisted by the shipped
// SPICE script (run from File > Export) and simulated by ngspice; last, a pin is added to the
// resistor in the symbol editor, which is closed keeping it: the installed library it came from
// is read-only, so the program asks at once for a copy of the person's own, which goes into the
// user's data folder, and leaves the installed one as it was.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/e2e-real/x_desktop.h"
#include "tests/support/child_process.h"
#include "tests/support/spice_testing.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;
using std::chrono::seconds;

// The height of a document window's menu bar: window coordinates below are those of the window's
// content, under its bar, as the program lays it out.
constexpr int kMenuBar = 21;

// Places in the program's layout (content coordinates).
struct At {
    int x, y;
};
// The sheet window: the library pane's item list, and the tool palette's buttons (hierarchical
// design on: the sub-sheet tool is the palette's fourth).
constexpr At kItemList{470, 29};
// The library pane's list of libraries: its first row ("Basic Parts") and its second ("Wire Symbols").
constexpr At kBasicParts{300, 29}, kWireSymbols{300, 45};
constexpr At kArrowTool{18, 128}, kLibraryPartTool{18, 190}, kSubSheetTool{18, 221}, kWireTool{18, 252},
    kPortShortcuts{18, 345};
// Symbol Information: its second tab, the first attribute's value cell, its OK button; a sheet
// symbol's Select... button, its Port Pins tab and that tab's Read Sub-Sheet Ports button.
constexpr At kSecondTab{145, 16}, kFirstValueCell{195, 64}, kSymbolOK{562, 429}, kSelectSheet{516, 149},
    kPortPinsTab{156, 16}, kReadPorts{117, 365};
// Design Settings: its Annotation tab and the check box "Keep annotation in the project".
constexpr At kAnnotationTab{121, 18}, kKeepAnnotation{30, 54};
// Preferences: the check box "Hierarchical design (sub-sheet symbol tool)".
constexpr At kHierarchicalDesign{30, 100};
// The project window: its "add top-level sheets" button and its first row.
constexpr At kAddSheets{51, 18}, kFirstRow{60, 48};
// The symbol editor's pin tool.
constexpr At kPinTool{158, 191};
// The script dialog: "Open the output afterwards" and Run.
constexpr At kOpenOutput{27, 132}, kRunScript{320, 190};

// A failed step ends the run: the exception names it (GoogleTest reports it) after a screenshot.
struct StepFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class RealDesign : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = XDesktop::Missing(); !missing.empty())
            GTEST_SKIP() << "missing for a desktop (scripts/setup installs it): " << missing;
        for (const char* folder : {"home", "config", "data", "cache", "runtime", "work"})
            fs::create_directories(dir.file(folder));
        fs::permissions(dir.file("runtime"), fs::perms::owner_all);
        fs::remove_all(OutputPath("e2e-real"));
        desk = std::make_unique<XDesktop>(dir.file("home"));
        ASSERT_TRUE(desk->Ready()) << desk->Error();
        // A wait for a window of a program that has ended ends at once.
        desk->SetAlive([this] { return plexa && plexa->Running(); });
    }
    void TearDown() override {
        EndStep();
        if (plexa && plexa->Running()) Shoot("left-running");
        plexa.reset();
        desk.reset();
    }

    std::string Work(const std::string& name) const { return dir.file("work/" + name); }
    std::string Data(const std::string& name) const { return dir.file("data/" + name); }

    // `plexa` on the desktop, in the run's own home, with the documents.
    void StartPlexa(const std::vector<std::string>& documents = {}) {
        std::string errors;
        if (fs::exists(dir.file("errors"))) ReadFile(dir.file("errors"), errors);
        earlierErrors += errors;
        plexa = std::make_unique<ChildProcess>(
            PLEXA_PROGRAM, documents,
            std::vector<std::string>{
                "QT_QPA_PLATFORM=xcb", "DISPLAY=" + desk->Display(), "HOME=" + dir.file("home"),
                "XDG_CONFIG_HOME=" + dir.file("config"), "XDG_DATA_HOME=" + dir.file("data"),
                "XDG_CACHE_HOME=" + dir.file("cache"), "XDG_RUNTIME_DIR=" + dir.file("runtime"),
                // The window system's keyboard library reads past the end of its strings.
                "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=0:detect_stack_use_after_return=1"},
            dir.file("errors"), Work(""));
        if (plexa->pid() <= 0) Fail("plexa did not start");
    }
    // Waits until plexa ends (the last window closed); its exit status must be 0 and its standard
    // error free of sanitizer reports.
    void ExpectPlexaEnded() {
        const int status = plexa->Wait(seconds(240));
        std::string errors;
        ReadFile(dir.file("errors"), errors);
        if (status == -1) Fail("plexa still runs after its last window closed:\n" + errors);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << errors;
        for (const char* report : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"})
            EXPECT_EQ(errors.find(report), std::string::npos) << errors;
        plexa.reset();
    }

    // ---- Steps and their pictures ----

    [[noreturn]] void Fail(const std::string& what) {
        std::string ended;
        if (plexa && !plexa->Running()) {
            std::string errors;
            ReadFile(dir.file("errors"), errors);
            ended = "\nplexa has ended, wait status " + std::to_string(plexa->Wait(seconds(1))) + ":\n" + errors;
        } else {
            Shoot("failed");
        }
        throw StepFailed("step " + std::to_string(step) + " (" + stepName + "): " + what + "\nwindows: " +
                         Joined(desk->WindowTitles()) + ended);
    }
    static std::string Joined(const std::vector<std::string>& items) {
        std::string out;
        for (const std::string& item : items) out += (out.empty() ? "" : " | ") + item;
        return out;
    }
    // Each step's time goes to the output, to show where a slow run spends it.
    void Step(const std::string& name) {
        EndStep();
        ++step;
        stepName = name;
    }
    void EndStep() {
        const auto now = std::chrono::steady_clock::now();
        if (step > 0)
            std::printf("step %02d %-20s %6.1f s\n", step, stepName.c_str(),
                        std::chrono::duration<double>(now - stepStart).count());
        std::fflush(stdout);
        stepStart = now;
    }
    // The screen once the window in front has stopped changing, as step NN-NAME.png.
    void Shoot(const std::string& name) {
        const std::string active = desk->ActiveWindow();
        if (!active.empty()) desk->WaitStill(active, seconds(60));
        char number[8];
        std::snprintf(number, sizeof number, "%02d", step);
        desk->Shot(OutputPath("e2e-real/" + std::string(number) + "-" + name + ".png"));
    }

    // ---- Windows ----

    // The window with the title (a regular expression), waited for and brought to the front with
    // the keys.
    std::string Front(const std::string& title, bool menuBar = true) {
        const std::string window = desk->WaitWindow(title);
        if (window.empty()) Fail("no window \"" + title + "\" came");
        if (!desk->Activate(window)) Fail("the window \"" + title + "\" does not take the keys");
        Use(window, menuBar);
        return window;
    }
    // Aims the following clicks at the window's content.
    void Use(const std::string& window, bool menuBar) {
        const XBox box = desk->Geometry(window);
        origin = {box.x, box.y + (menuBar ? kMenuBar : 0)};
    }
    void Gone(const std::string& title) {
        if (!desk->WaitNoWindow(title)) Fail("the window \"" + title + "\" stays");
    }
    // A window that an action brings up (a file panel, a question): waited for, in front.
    template <typename Action>
    std::string Brings(Action action) {
        const std::vector<std::string> before = desk->Windows();
        action();
        const std::string window = desk->WaitNewWindow(before);
        if (window.empty()) Fail("no window came up");
        if (!desk->Activate(window)) Fail("the new window does not take the keys");
        return window;
    }
    // A file panel's answer: the path typed over its proposed name, then Return; waits until the
    // panel has gone (the window under it takes clicks again only then).
    void Answer(const std::string& panel, const std::string& path) {
        desk->Key("ctrl+a");
        desk->Type(path);
        desk->Key("Return");
        if (!desk->WaitGone(panel)) Fail("the file panel stays after " + path);
    }
    // The window closed with the window manager's close button: either it goes, or a question
    // comes up first, whose default button (Return) keeps the changes; whichever state comes
    // first.
    void CloseAnsweringQuestion(const std::string& closing) {
        const std::string window = desk->WaitWindow(closing);
        if (window.empty()) Fail("no window \"" + closing + "\" to close");
        const std::vector<std::string> before = desk->Windows();
        desk->CloseBox(window);
        int gone = 0;
        for (auto end = std::chrono::steady_clock::now() + seconds(240); std::chrono::steady_clock::now() < end;) {
            const std::vector<std::string> windows = desk->Windows();
            const auto has = [](const std::vector<std::string>& list, const std::string& w) {
                return std::find(list.begin(), list.end(), w) != list.end();
            };
            // Gone in two looks in a row (a look may miss windows that change meanwhile).
            gone = has(windows, window) ? 0 : gone + 1;
            if (gone >= 2) return;
            for (const std::string& question : windows) {
                if (has(before, question)) continue;
                if (!desk->Activate(question)) Fail("the question does not take the keys");
                Shoot("question");
                Key("Return");
                if (!desk->WaitGone(question) || !desk->WaitGone(window)) Fail("\"" + closing + "\" stays");
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        Fail("\"" + closing + "\" stays");
    }
    // Waits until the file exists and its length has settled.
    void WaitFile(const std::string& path) {
        std::error_code error;
        uintmax_t last = uintmax_t(-1);
        for (int i = 0; i < 2400; ++i) {
            const uintmax_t size = fs::file_size(path, error);
            if (!error && size > 0 && size == last) return;
            last = error ? uintmax_t(-1) : size;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        Fail("the file " + path + " was not written");
    }

    // ---- Input in the window in use ----

    void Click(At at, int count = 1) const { desk->Click(origin.x + at.x, origin.y + at.y, 1, count); }
    void Move(At at) const { desk->MoveTo(origin.x + at.x, origin.y + at.y); }
    void Drag(At from, At to) const { desk->Drag(origin.x + from.x, origin.y + from.y, origin.x + to.x, origin.y + to.y); }
    void Key(const std::string& keys, int times = 1) const { desk->Key(keys, times); }
    void Type(const std::string& text) const { desk->Type(text); }

    // The library chosen in the library pane's list of libraries (it stays chosen, the Module
    // Port Shortcuts choose theirs), then its item list: typing chooses the item, which the
    // library-part tool places.
    void ChooseLibraryItem(At library, const std::string& name) {
        Click(library);
        Click(kItemList);
        Type(name);
        Click(kLibraryPartTool);
    }
    // A wire drawn with the tool in hand from the first point through the corners to the last
    // (double-clicked: the wire ends there).
    void Wire(const std::vector<At>& points) {
        for (size_t i = 0; i < points.size(); ++i) {
            if (i > 0) Move({(points[i - 1].x + points[i].x) / 2, (points[i - 1].y + points[i].y) / 2});
            Click(points[i], i + 1 == points.size() ? 2 : 1);
        }
    }
    // The name typed into the signal dialog in front, which is then closed with its OK; the
    // picture is NN-SHOT-NAME.png.
    void AnswerSignalInfo(const std::string& sheet, const std::string& name, const std::string& shot = "signal") {
        Front("Signal Info", false);
        Key("ctrl+a");
        Type(name);
        Shoot(shot + "-" + name);
        Key("Return");
        Gone("Signal Info");
        Front(sheet);
    }
    // A net named through the signal dialog a double click on its wire opens, with the arrow
    // tool.
    void NameNet(const std::string& sheet, At onWire, const std::string& name) {
        Click(kArrowTool);
        Click(onWire, 2);
        AnswerSignalInfo(sheet, name);
    }
    // A wire drawn with a port chosen from the Module Port Shortcuts (the library-part tool in
    // hand) from a pin to an empty spot: the click there places the port and ends the wire, and
    // the new net's name is asked at once in the signal dialog, which is modal: until it is
    // answered the sheet takes no clicks.
    void PortWire(const std::string& sheet, At pin, At end, const std::string& name) {
        Click(pin);
        Move({(pin.x + end.x) / 2, (pin.y + end.y) / 2});
        Click(end);
        AnswerSignalInfo(sheet, name, "port-signal");
    }
    // A part's value typed into the value cell of Symbol Information's Attributes tab.
    void TypeValue(const std::string& sheet, At part, const std::string& value) {
        Click(kArrowTool);
        Click(part, 2);
        Front("Symbol Information", false);
        Click(kSecondTab);
        Click(kFirstValueCell);
        Key("ctrl+a");
        Type(value);
        Shoot("value-" + value);
        Click(kSymbolOK);
        Gone("Symbol Information");
        Front(sheet);
    }
    // A sheet symbol of the child dragged out with the sub-sheet tool, named and given the
    // child's ports.
    void SheetSymbol(const std::string& sheet, At from, At to, const std::string& designator) {
        Click(kSubSheetTool);
        Drag(from, to);
        Front("Symbol Information", false);
        Type(designator);
        Answer(Brings([&] { Click(kSelectSheet); }), Work("PROBE.SHX"));
        Front("Symbol Information", false);
        Click(kPortPinsTab);
        Click(kReadPorts);
        Shoot("sheet-symbol-" + designator);
        Click(kSymbolOK);
        Gone("Symbol Information");
        Front(sheet);
    }

    std::string Tool(const std::string& tool, const std::vector<std::string>& arguments) const {
        std::string command = std::string(PLEXA_TOOLS_DIR) + "/" + tool;
        for (const std::string& argument : arguments) command += " " + ShellQuoted(argument);
        const std::string out = Work("tool.out");
        const int status = std::system((command + " >" + ShellQuoted(out) + " 2>&1").c_str());
        std::string text;
        ReadFile(out, text);
        EXPECT_EQ(status, 0) << command << "\n" << text;
        return text;
    }

    TempDir dir;
    std::unique_ptr<XDesktop> desk;
    std::unique_ptr<ChildProcess> plexa;
    At origin{0, 0};
    int step = 0;
    std::string stepName, earlierErrors;
    std::chrono::steady_clock::time_point stepStart = std::chrono::steady_clock::now();
};

// Lines of the text that start with the prefix, joined.
std::string Grep(const std::string& text, const std::string& prefix) {
    std::string out;
    for (const std::string& line : LinesStartingWith(text, prefix)) out += line + "\n";
    return out;
}

// The lines lib-tool's long listing gives for the item: its name and the indented lines after it.
std::string ItemListing(const std::string& listing, const std::string& item) {
    const size_t start = listing.find("\n" + item + "\n");
    if (start == std::string::npos) return "";
    size_t end = start + item.size() + 2;
    while (end < listing.size() && listing[end] == ' ') end = listing.find('\n', end) + 1;
    return listing.substr(start + 1, end - start - 1);
}

TEST_F(RealDesign, ADividerWithAChildSheetUsedTwiceBuiltWithMouseAndKeysSimulatesAsComputed) {
    const std::string installed = std::string(PLEXA_TOOLS_DIR) + "/../resources/Essentials/Plexa/Libraries/Basic Parts.LBX";
    std::string installedBefore;
    ASSERT_TRUE(ReadFile(installed, installedBefore));

    // The program starts with an empty sheet; hierarchical design is turned on in the
    // preferences (Ctrl+, opens them; Return is their OK).
    Step("start");
    StartPlexa();
    Front("Untitled 1");
    Shoot("start");
    Step("preferences");
    Key("ctrl+comma");
    Front("Preferences", false);
    Click(kHierarchicalDesign);
    Shoot("preferences");
    Key("Return");
    Gone("Preferences");

    // A new project through File > New > Project... from the keyboard: its file panel takes the
    // path, its settings are taken as they are.
    Step("new-project");
    Front("Untitled 1");
    const std::string projectPanel = Brings([&] {
        Key("alt+f");
        Key("Right");  // New
        Key("Down");   // Project...
        Key("Return");
    });
    Answer(projectPanel, Work("Design.PRX"));
    Front("Design Settings", false);
    // The child's parts take a designator in each of its uses: annotation kept in the project.
    Click(kAnnotationTab);
    Click(kKeepAnnotation);
    Shoot("project-settings");
    Key("Return");
    Gone("Design Settings");
    Front("Design");
    WaitFile(Work("Design.PRX"));
    Shoot("project");

    // The child sheet: a capacitor from the library pane, a module port from the Module Port
    // Shortcuts at the end of a wire from each of its pins, the two nets named P and N in the
    // signal dialog the placed port brings up; saved as PROBE.SHX.
    Step("child-sheet");
    Key("ctrl+n");
    Front("Untitled 2");
    ChooseLibraryItem(kBasicParts, "Cap");
    Click({224, 300});
    Front("Untitled 2\\*");
    for (const auto& [pin, end, name] : {std::tuple<At, At, const char*>{{204, 302}, {156, 302}, "P"},
                                         std::tuple<At, At, const char*>{{252, 302}, {300, 302}, "N"}}) {
        Click(kPortShortcuts);  // the popup of the shortcuts opens under the button
        Key("Down", 4);         // "Signal I/O Port"
        Key("Return");
        Front("Untitled 2\\*");
        PortWire("Untitled 2\\*", pin, end, name);
    }
    // The names stand: a double click on each wire shows its net's.
    NameNet("Untitled 2\\*", {180, 302}, "P");
    NameNet("Untitled 2\\*", {276, 302}, "N");
    Shoot("child-sheet");
    Answer(Brings([&] { Key("ctrl+s"); }), Work("PROBE.SHX"));
    Front("PROBE");
    WaitFile(Work("PROBE.SHX"));
    Shoot("child-saved");

    // The root sheet: V1 and R1 to R3 from the library pane, the ground symbols drawn at the ends
    // of wires from V1's minus pin and the right pins of R2 and R3, the wires of IN and MID.
    Step("root-sheet");
    const std::string untitled = desk->Title(Brings([&] { Key("ctrl+n"); }));
    Front(untitled);
    const std::string root = untitled + "\\*";
    ChooseLibraryItem(kBasicParts, "Vol");
    Click({152, 348});
    ChooseLibraryItem(kBasicParts, "Res");
    Click({224, 300});
    Click({320, 300});
    Click({320, 380});
    ChooseLibraryItem(kWireSymbols, "GND");
    Front(root);
    Wire({{156, 374}, {156, 410}});
    Wire({{348, 302}, {348, 340}});
    Wire({{348, 382}, {348, 420}});
    Click(kWireTool);
    Wire({{156, 326}, {156, 302}, {204, 302}});             // IN: V1's plus pin to R1
    Click(kWireTool);
    Wire({{252, 302}, {300, 302}});                         // MID: R1 to R2
    Click(kWireTool);
    Wire({{300, 382}, {252, 382}, {252, 302}});             // MID: R3 to R1
    Shoot("root-parts");

    // The values, each typed into its value cell.
    Step("values");
    TypeValue(root, {156, 350}, "DC 10");
    TypeValue(root, {228, 302}, "1k");
    TypeValue(root, {324, 302}, "3k");
    TypeValue(root, {324, 382}, "6k");
    Shoot("values");

    // The child used twice: X1 probes MID, X2 probes IN; their port N goes to ground.
    Step("sheet-symbols");
    SheetSymbol(root, {500, 250}, {610, 330}, "X1");
    SheetSymbol(root, {500, 400}, {610, 480}, "X2");
    // Each symbol shows the child's ports down its left side in the order of their names, N
    // above P: P goes down and over to MID (at R3's left pin) for X1 and to IN (at R1's left
    // pin) for X2; N goes left to a ground symbol each.
    Click(kWireTool);
    Wire({{494, 277}, {494, 360}, {300, 360}, {300, 382}});
    Click(kWireTool);
    Wire({{494, 421}, {494, 470}, {204, 470}, {204, 302}});
    ChooseLibraryItem(kWireSymbols, "GND");
    Wire({{494, 265}, {470, 265}});
    Wire({{494, 409}, {470, 409}});
    Shoot("sheet-symbols");

    // The nets named.
    Step("net-names");
    Click(kArrowTool);
    NameNet(root, {180, 302}, "IN");
    NameNet(root, {276, 302}, "MID");
    Shoot("named");

    // Saved as Divider.SHX, closed with the window manager's close button, added to the project through
    // the project window's add button and opened from its row; annotated (Ctrl+T) and saved.
    Step("save-root");
    Answer(Brings([&] { Key("ctrl+s"); }), Work("Divider.SHX"));
    Front("Divider");
    WaitFile(Work("Divider.SHX"));
    for (const char* sheet : {"Divider", "PROBE", "Untitled 1"}) {
        Front(sheet);
        CloseAnsweringQuestion(sheet);
    }
    Step("project-sheet");
    Front("Design");
    Answer(Brings([&] { Click(kAddSheets); }), Work("Divider.SHX"));
    Front("Design");
    Click(kFirstRow);
    Key("ctrl+e");
    Front("Divider");
    Shoot("opened-in-project");
    Step("annotate");
    Key("ctrl+t");
    Front("Annotate", false);
    Shoot("annotate");
    Key("Return");
    Gone("Annotate");
    Front("Divider\\*");
    Key("ctrl+s");
    Front("Divider");
    Shoot("annotated");

    // Everything closed through the window manager: the program ends with its last window.
    Step("close");
    CloseAnsweringQuestion("Divider\\*?");
    Front("Design\\*?");
    CloseAnsweringQuestion("Design\\*?");
    ExpectPlexaEnded();

    // Opened again from the project file; the root from the project's row; the SPICE netlist by
    // the shipped script from File > Export (its last item), not opened afterwards.
    Step("reopen");
    StartPlexa({Work("Design.PRX")});
    Front("Design");
    Click(kFirstRow);
    Key("ctrl+e");
    Front("Divider");
    Shoot("reopened");
    Step("spice");
    Key("alt+f");
    Key("Up", 3);    // Print..., Page Setup..., Export
    Key("Right");
    Key("Up");       // the last script of the list, "Simora Hierarchical"
    Key("Return");
    Front("Simora Hierarchical", false);
    Click(kOpenOutput);
    Shoot("spice-script");
    Click(kRunScript);
    Gone("Simora Hierarchical");
    WaitFile(Work("Design.cir"));

    // The symbol editor: R1's library item opened (Edit > Edit Library Item, Ctrl+L) and a pin
    // added with a click of the pin tool.
    Step("symbol-editor");
    Front("Divider");
    Click(kArrowTool);
    Click({228, 302});
    Key("ctrl+l");
    Front("Basic Parts : Resistor");
    Click(kPinTool);
    Click({250, 200});
    Front("Pin Information", false);
    Shoot("pin");
    Key("Return");
    Gone("Pin Information");
    Front("Basic Parts : Resistor\\*?");
    Shoot("symbol-editor");
    // Closed: the editor asks whether to keep the change. Kept, the item goes into its library,
    // which is installed and so read-only: a file panel asks at once for a copy of the person's
    // own, in the user's data folder, and the library goes on as that copy, saved.
    Step("library-copy");
    const std::string editor = desk->WaitWindow("Basic Parts : Resistor\\*?");
    Brings([&] { desk->CloseBox(editor); });
    Shoot("question");
    const std::string libraryPanel = Brings([&] { Key("Return"); });
    Shoot("library-copy");
    Answer(libraryPanel, Data("plexa/Libraries/My Parts.LBX"));
    if (!desk->WaitGone(editor)) Fail("the symbol editor stays");
    WaitFile(Data("plexa/Libraries/My Parts.LBX"));
    Front("My Parts");
    Shoot("library-copy-saved");
    CloseAnsweringQuestion("My Parts\\*?");

    Step("end");
    for (const char* window : {"Divider\\*?", "Design\\*?"}) {
        Front(window);
        CloseAnsweringQuestion(window);
    }
    ExpectPlexaEnded();
    Step("files");

    // ---- What the files hold ----

    // The netlist: every value as typed, no attribute that was not there.
    const std::string netlist = Tool("netlist-dump", {Work("Design.PRX")});
    std::string spice;
    ASSERT_TRUE(ReadFile(Work("Design.cir"), spice));
    // Kept beside the pictures.
    WriteFile(OutputPath("e2e-real/netlist-dump.txt"), netlist);
    WriteFile(OutputPath("e2e-real/Design.cir"), spice);
    EXPECT_EQ(Grep(netlist, "comp "),
              "comp C1 part=Capacitor slots=1 sheet=0 attrs=~~Value=100n,Value=100n\n"
              "comp C2 part=Capacitor slots=1 sheet=0 attrs=~~Value=100n,Value=100n\n"
              "comp R1 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=1k\n"
              "comp R2 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=3k\n"
              "comp R3 part=Resistor slots=1 sheet=1 attrs=~~Value=1k,Value=6k\n"
              "comp V1 part=Voltage Source slots=1 sheet=1 attrs=~~Value=DC 5,Value=DC 10\n")
        << netlist;
    // The project holds both sheets; the child's nets P and N are those its ports join in each
    // use.
    EXPECT_EQ(Grep(netlist, "sheet "), "sheet 0 PROBE.SHX\nsheet 1 Divider.SHX\n") << netlist;
    EXPECT_EQ(Grep(netlist, "net "),
              "net GND scope=global sheet=1\n"
              "net IN scope=local sheet=1\n"
              "net MID scope=local sheet=1\n")
        << netlist;
    // The SPICE netlist: each use of the child holds its own capacitor, on the net its port P
    // joins (which use takes C1 is annotation's choice).
    const std::string capacitors = Grep(spice, "C");
    EXPECT_TRUE(capacitors == "C1 MID 0 100n\nC2 IN 0 100n\n" || capacitors == "C1 IN 0 100n\nC2 MID 0 100n\n") << spice;
    EXPECT_EQ(spice.substr(spice.find("\nR")),
              "\nR1 IN MID 1k\n"
              "R2 MID 0 3k\n"
              "R3 MID 0 6k\n"
              "V1 IN 0 DC 10\n"
              ".end\n")
        << spice;
    EXPECT_EQ(spice.rfind("* Design\n", 0), 0u) << spice;

    // The library of the person's own holds the resistor; the installed one is as it was.
    const std::string own = Data("plexa/Libraries/My Parts.LBX");
    Tool("lib-tool", {"check", own});
    // It holds the resistor with the pin the editor added, a third one in its section.
    const std::string resistor = ItemListing(Tool("lib-tool", {"list", "-l", own}), "Resistor");
    EXPECT_NE(resistor.find("    pin 2 "), std::string::npos) << resistor;
    EXPECT_NE(resistor.find("  section \"\" symbol 0 pins \"1\" \"2\" \"3\"\n"), std::string::npos) << resistor;
    std::string installedAfter;
    ASSERT_TRUE(ReadFile(installed, installedAfter));
    EXPECT_TRUE(installedAfter == installedBefore) << "the installed library was written";

    if (!NgspiceInstalled()) GTEST_SKIP() << "ngspice is not installed (scripts/setup installs it)";
    // The script writes no analysis: the operating point is asked for as a person would, with a
    // ".op" line (without one, ngspice ends with a failure status after its control commands).
    ExpectOperatingPoint(Work(""), spice.substr(0, spice.rfind(".end\n")) + ".op\n.end\n",
                         {{"in", 10.0}, {"mid", 10.0 * 2.0 / 3.0}});
}

}  // namespace
}  // namespace plexa::test
