// A desktop of a test's own, worked by real X input as a person works it: a virtual X display
// (Xvfb) on a free display number, a small window manager (openbox) on it, and the X input tool
// (xdotool) and screen grab (ImageMagick's import) aimed at it. scripts/setup installs all four.
// Programs started on it get the display in their environment; windows are found by their titles,
// input goes through the X server's test extension, so that focus, window order, grabs and the
// window manager's own keys (Alt+F4 closes) act as they do for a person.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plexa::test {

class ChildProcess;

// Where a window lies on the screen: its top left corner and size (the window manager's frame
// not included; a document window's menu bar included).
struct XBox {
    int x = 0, y = 0, width = 0, height = 0;
};

class XDesktop {
public:
    // Starts the display and the window manager, with the folder as their home.
    explicit XDesktop(const std::string& home);
    ~XDesktop();
    XDesktop(const XDesktop&) = delete;
    XDesktop& operator=(const XDesktop&) = delete;

    // What is missing for a desktop (a program not installed), empty when all is there.
    static std::string Missing();
    // Whether the display and its window manager are up; why not otherwise.
    bool Ready() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    // ":N".
    const std::string& Display() const { return display_; }

    // What the waits below ask, each time they look, whether the program they wait for still
    // runs: they give up at once when it has ended.
    void SetAlive(std::function<bool()> alive) { alive_ = std::move(alive); }

    // Runs a shell command line on the display; its exit status, its standard output in *out.
    int Run(const std::string& command, std::string* out = nullptr) const;

    // Windows by title (the whole title, a regular expression in xdotool's sense): the id of
    // the first visible one, waiting for it at most `limit`; empty when none came.
    std::string WaitWindow(const std::string& titlePattern,
                           std::chrono::seconds limit = std::chrono::seconds(240)) const;
    // Waits until no visible window has the title; false when one is still up after `limit`.
    bool WaitNoWindow(const std::string& titlePattern,
                      std::chrono::seconds limit = std::chrono::seconds(240)) const;
    // Waits until the window is no longer visible; false when it still is after `limit`.
    bool WaitGone(const std::string& window, std::chrono::seconds limit = std::chrono::seconds(240)) const;
    // The visible windows' ids and titles, in the order the X server lists them.
    std::vector<std::string> Windows() const;
    std::vector<std::string> WindowTitles() const;
    std::string Title(const std::string& window) const;
    // Waits for a visible window that is not among `before` (a file panel, an alert), at most
    // `limit`; its id, empty when none came.
    std::string WaitNewWindow(const std::vector<std::string>& before,
                              std::chrono::seconds limit = std::chrono::seconds(240)) const;
    XBox Geometry(const std::string& window) const;
    // Brings the window to the front with the keys (through the window manager) and waits until
    // it has them.
    bool Activate(const std::string& window) const;
    // A click on the close button the window manager puts in the window's title bar.
    void CloseBox(const std::string& window) const;
    // The window that has the keys, empty when none.
    std::string ActiveWindow() const;

    // Pointer and keys, at screen coordinates.
    void MoveTo(int x, int y) const;
    void Click(int x, int y, int button = 1, int count = 1) const;
    // Press at the first point, moves in steps, release at the second.
    void Drag(int x1, int y1, int x2, int y2) const;
    // Keys as xdotool names them: "Return", "Tab", "ctrl+a", "alt+f", "F10", "Down".
    void Key(const std::string& keys, int times = 1) const;
    // Types the text (each character a key press).
    void Type(const std::string& text) const;

    // The whole screen into a PNG file.
    bool Shot(const std::string& path) const;
    // Waits until a grab of the window repeats an earlier one (the program has finished drawing
    // it; a blinking text caret only brings back a picture seen before), at most `limit`; false
    // when it kept changing.
    bool WaitStill(const std::string& window, std::chrono::seconds limit = std::chrono::seconds(120)) const;

private:
    std::string home_, display_, error_, scratch_;
    std::unique_ptr<ChildProcess> server_, manager_;
    std::function<bool()> alive_;
    // Where the pointer was last moved (only the input tool moves it).
    mutable int pointerX_ = -1, pointerY_ = -1;
};

}  // namespace plexa::test
