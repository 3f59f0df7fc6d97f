#include "tests/e2e-real/x_desktop.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The programs a desktop needs, each with the package scripts/setup installs it from.
struct Needed {
    const char* program;
    const char* package;
};
constexpr Needed kNeeded[] = {{"Xvfb", "xvfb"},
                              {"openbox", "openbox"},
                              {"xdotool", "xdotool"},
                              {"import", "imagemagick"},
                              {"xprop", "x11-utils"},
                              {"xwininfo", "x11-utils"}};

// Polls until the state holds or the limit passes; the state is checked once more at the end.
// Gives up at once, after that last look, when `alive` (when given) says the program looked at
// has ended.
template <typename State>
bool Until(State state, std::chrono::milliseconds limit, std::chrono::milliseconds step = std::chrono::milliseconds(50),
           const std::function<bool()>& alive = {}) {
    const auto end = Clock::now() + limit;
    while (Clock::now() < end) {
        if (state()) return true;
        if (alive && !alive()) break;
        std::this_thread::sleep_for(step);
    }
    return state();
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

}  // namespace

std::string XDesktop::Missing() {
    std::string missing;
    for (const Needed& need : kNeeded)
        if (std::system(("command -v " + std::string(need.program) + " >/dev/null 2>&1").c_str()) != 0)
            missing += std::string(missing.empty() ? "" : ", ") + need.program + " (package " + need.package + ")";
    return missing;
}

XDesktop::XDesktop(const std::string& home) : home_(home), scratch_(home + "/.x-desktop") {
    fs::create_directories(scratch_);
    // The server picks a free display number itself and writes it once it takes connections.
    const std::string numberFile = scratch_ + "/display";
    server_ = std::make_unique<ChildProcess>(
        "/bin/sh",
        std::vector<std::string>{"-c", "exec Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>" +
                                           ShellQuoted(numberFile)},
        std::vector<std::string>{}, scratch_ + "/xvfb.log");
    std::string number;
    const bool up = Until(
        [&] {
            std::string text;
            if (ReadFile(numberFile, text) && !text.empty() && text.back() == '\n') number = Trimmed(text);
            return !number.empty() || !server_->Running();
        },
        std::chrono::seconds(120));
    if (!up || number.empty()) {
        std::string log;
        ReadFile(scratch_ + "/xvfb.log", log);
        error_ = "the virtual display did not start: " + log;
        return;
    }
    display_ = ":" + number;
    // Its messages go to a log of its own (it writes some on its standard output).
    manager_ = std::make_unique<ChildProcess>(
        "/bin/sh", std::vector<std::string>{"-c", "exec openbox --sm-disable >" + ShellQuoted(scratch_ + "/openbox.log") + " 2>&1"},
        std::vector<std::string>{"DISPLAY=" + display_, "HOME=" + home_, "XDG_CONFIG_HOME=" + home_ + "/config",
                                 "XDG_CACHE_HOME=" + home_ + "/cache", "XDG_DATA_HOME=" + home_ + "/data"});
    // The window manager is up once it has put its check window on the root.
    if (!Until([&] { std::string out;
                     return Run("xprop -root _NET_SUPPORTING_WM_CHECK", &out) == 0 &&
                            out.find("window id") != std::string::npos; },
               std::chrono::seconds(120)))
        error_ = "the window manager did not start on " + display_;
}

XDesktop::~XDesktop() {
    // The window manager first, then the display (the destructors kill what still runs).
    manager_.reset();
    server_.reset();
}

int XDesktop::Run(const std::string& command, std::string* out) const {
    const std::string line = "DISPLAY=" + display_ + " " + command + (out ? "" : " >/dev/null") + " 2>/dev/null";
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    const int status = pclose(pipe);
    // PLEXA_E2E_TRACE=1 in the environment: each command with the time it ended, for a run that
    // fails or lags.
    if (std::getenv("PLEXA_E2E_TRACE")) {
        static const auto t0 = Clock::now();
        std::fprintf(stderr, "%8.2f %s\n", std::chrono::duration<double>(Clock::now() - t0).count(), command.c_str());
    }
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string XDesktop::WaitWindow(const std::string& titlePattern, std::chrono::seconds limit) const {
    std::string first;
    Until(
        [&] {
            std::string out;
            Run("xdotool search --onlyvisible --name " + ShellQuoted("^" + titlePattern + "$"), &out);
            std::istringstream in(out);
            std::getline(in, first);
            first = Trimmed(first);
            return !first.empty();
        },
        limit, std::chrono::milliseconds(100), alive_);
    return first;
}

bool XDesktop::WaitNoWindow(const std::string& titlePattern, std::chrono::seconds limit) const {
    // Twice in a row none found: a search that ends with an X error finds none either.
    int none = 0;
    return Until(
        [&] {
            std::string out;
            Run("xdotool search --onlyvisible --name " + ShellQuoted("^" + titlePattern + "$"), &out);
            none = Trimmed(out).empty() ? none + 1 : 0;
            return none >= 2;
        },
        limit, std::chrono::milliseconds(100), alive_);
}

bool XDesktop::WaitGone(const std::string& window, std::chrono::seconds limit) const {
    int none = 0;
    return Until(
        [&] {
            const std::vector<std::string> windows = Windows();
            none = std::find(windows.begin(), windows.end(), window) == windows.end() ? none + 1 : 0;
            return none >= 2;
        },
        limit, std::chrono::milliseconds(100), alive_);
}

std::vector<std::string> XDesktop::Windows() const {
    std::string ids;
    Run("xdotool search --onlyvisible --name '.'", &ids);
    std::vector<std::string> windows;
    std::istringstream in(ids);
    for (std::string id; std::getline(in, id);)
        if (!id.empty()) windows.push_back(id);
    return windows;
}

std::string XDesktop::Title(const std::string& window) const {
    std::string name;
    Run("xdotool getwindowname " + window, &name);
    return Trimmed(name);
}

std::vector<std::string> XDesktop::WindowTitles() const {
    std::vector<std::string> titles;
    for (const std::string& window : Windows()) titles.push_back(Title(window));
    return titles;
}

std::string XDesktop::WaitNewWindow(const std::vector<std::string>& before, std::chrono::seconds limit) const {
    std::string found;
    Until(
        [&] {
            for (const std::string& window : Windows())
                if (std::find(before.begin(), before.end(), window) == before.end()) found = window;
            return !found.empty();
        },
        limit, std::chrono::milliseconds(100), alive_);
    return found;
}

XBox XDesktop::Geometry(const std::string& window) const {
    // xwininfo's absolute corner: the window manager's frame is not counted in.
    std::string out;
    Run("xwininfo -id " + window, &out);
    XBox box;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        const std::string name = line.substr(0, colon);
        const int value = std::atoi(line.c_str() + colon + 1);
        if (name.find("Absolute upper-left X") != std::string::npos) box.x = value;
        if (name.find("Absolute upper-left Y") != std::string::npos) box.y = value;
        if (name == "  Width") box.width = value;
        if (name == "  Height") box.height = value;
    }
    return box;
}

std::string XDesktop::ActiveWindow() const {
    std::string out;
    Run("xdotool getactivewindow", &out);
    return Trimmed(out);
}

bool XDesktop::Activate(const std::string& window) const {
    // The keys stay with it: a program may still activate another of its windows a moment after
    // one closed, so the window must keep the keys over a few looks, or is activated again.
    int kept = 0;
    return Until(
        [&] {
            if (ActiveWindow() == window) return ++kept >= 3;
            kept = 0;
            Run("timeout 60 xdotool windowactivate --sync " + window);
            return false;
        },
        std::chrono::seconds(120), std::chrono::milliseconds(200), alive_);
}

void XDesktop::CloseBox(const std::string& window) const {
    // The close button at the right end of the window manager's title bar, over the window.
    std::string extents;
    Run("xprop -id " + window + " _NET_FRAME_EXTENTS", &extents);
    int left = 0, right = 0, top = 0, bottom = 0;
    if (const size_t eq = extents.find('='); eq != std::string::npos)
        std::sscanf(extents.c_str() + eq + 1, " %d, %d, %d, %d", &left, &right, &top, &bottom);
    const XBox box = Geometry(window);
    Click(box.x + box.width + right - top / 2 - 1, box.y - top / 2);
}

void XDesktop::MoveTo(int x, int y) const {
    // The input tool's wait for the pointer to arrive never ends when it is there already (it
    // gives up after many seconds): a move to where it is is left out.
    if (x == pointerX_ && y == pointerY_) return;
    Run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
    pointerX_ = x;
    pointerY_ = y;
}

void XDesktop::Click(int x, int y, int button, int count) const {
    MoveTo(x, y);
    // The clicks of a double click go together: the window system stamps each with its time, and
    // a pause of the input tool on a loaded machine would otherwise split them into two clicks.
    Run("xdotool click --repeat " + std::to_string(count) + " --delay 1 " + std::to_string(button));
}

void XDesktop::Drag(int x1, int y1, int x2, int y2) const {
    MoveTo(x1, y1);
    Run("xdotool mousedown 1");
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) MoveTo(x1 + (x2 - x1) * i / kSteps, y1 + (y2 - y1) * i / kSteps);
    Run("xdotool mouseup 1");
}

void XDesktop::Key(const std::string& keys, int times) const {
    std::string line = "xdotool key --delay 40";
    for (int i = 0; i < times; ++i) line += " " + keys;
    Run(line);
}

void XDesktop::Type(const std::string& text) const { Run("xdotool type --delay 40 " + ShellQuoted(text)); }

bool XDesktop::Shot(const std::string& path) const {
    return Run("timeout 30 import -silent -window root " + ShellQuoted(path)) == 0;
}

bool XDesktop::WaitStill(const std::string& window, std::chrono::seconds limit) const {
    // Grabbed until a grab shows a picture seen before: a window still being drawn (or not yet
    // drawn at all, showing what lay under it) only goes forward, while a drawn one stays, or
    // goes back and forth with its text caret's blinking.
    const std::string grab = scratch_ + "/still.png";
    std::vector<std::string> seen;
    return Until(
        [&] {
            std::string picture;
            if (Run("timeout 30 import -silent -window " + window + " " + ShellQuoted(grab)) != 0 || !ReadFile(grab, picture) ||
                picture.empty())
                return false;
            if (std::find(seen.begin(), seen.end(), picture) != seen.end()) return true;
            seen.push_back(std::move(picture));
            return false;
        },
        limit, std::chrono::milliseconds(150), alive_);
}

}  // namespace plexa::test
