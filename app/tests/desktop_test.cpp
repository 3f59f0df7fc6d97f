// The program as a person on a Linux desktop meets it, driven through scripted runs: every
// document window carries the menu bar, its menus open from the keyboard (F10, Alt with the
// menu's letter), closing the last document window quits, and windows fit the screen at any
// device pixel ratio. The desktop set-up installs what makes the desktop open documents in it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

TEST(Desktop, TheWindowCarriesTheMenuBarAndItsMenusOpenFromTheKeyboard) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run(
        "wait-window Untitled*\n"
        "wait-drawn\n"
        "log-menubar\n"
        "key F10\n"
        "log-open-menu\n"
        "key Escape\n"
        "key Escape\n"
        "log-open-menu\n"
        "key Alt+E\n"
        "log-open-menu\n"
        "key Escape\n"
        "key Escape\n"
        "key Alt+F\n"
        "log-open-menu\n"
        "key Escape\n"
        "key Escape\n"
        "# a second document window carries the same bar\n"
        "menu File > New > Schematic Sheet\n"
        "wait-window Untitled 2\n"
        "log-menubar Untitled 2\n"
        "quit\n");
    ASSERT_TRUE(result.Exited(0)) << result.status << result.errors;
    ASSERT_EQ(result.log.size(), 7u) << result.errors;
    EXPECT_EQ(result.log[0].rfind("menubar: Plexa File Edit", 0), 0u) << result.log[0];
    EXPECT_EQ(result.log[5], result.log[0]);
    const std::vector<std::string> opened(result.log.begin() + 1, result.log.begin() + 5);
    const std::vector<std::string> expected = {"open menu Plexa", "open menu none",
                                               "open menu Edit", "open menu File"};
    EXPECT_EQ(opened, expected) << result.errors;
}

// Closing the last document window quits: a program left running without a window would have no
// menu to quit from, and every later start would hand its documents to it.
TEST(Desktop, ClosingTheLastDocumentWindowQuits) {
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window Untitled*\nwait-drawn\nclose\n");
    EXPECT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.log, std::vector<std::string>{"end"});
}

// The only document named at launch cannot be read: its alert, titled with the program's name,
// is the last window, and answering it ends the program rather than leaving it without a window.
TEST(Desktop, TheAlertOfAFailedOnlyDocumentIsTitledAndItsAnswerQuits) {
    ScriptedRun run(PLEXA_PROGRAM);
    // A dynamic file's magic followed by a version no program has written.
    ASSERT_TRUE(WriteFile(run.dir().file("bad.SHX"), std::string("ORDF\x7f\x7f", 6) + std::string(80, '\0')));
    const std::string shot = OutputPath("desktop-alert.png");
    const ScriptedRunResult result = run.Run(
        "wait-window Plexa\nlog-windows\nscreenshot " + shot + " Plexa\nbutton OK\n", {"bad.SHX"});
    EXPECT_TRUE(result.Exited(0)) << result.status << result.errors;
    EXPECT_EQ(result.log, (std::vector<std::string>{"windows: Plexa", "end"})) << result.errors;
}

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// "geometry X Y W H in X Y W H ratio R"
bool ParseGeometry(const std::string& line, Box& frame, Box& area, double& ratio) {
    std::istringstream in(line);
    std::string word, in2, ratioWord;
    in >> word >> frame.x >> frame.y >> frame.w >> frame.h >> in2 >> area.x >> area.y >> area.w >>
        area.h >> ratioWord >> ratio;
    return !in.fail() && word == "geometry" && in2 == "in" && ratioWord == "ratio";
}

// Screens of the offscreen platform: a small one, and others whose device pixel ratio (the
// screen's own, or a scale factor asked for) leaves a small area in the window system's units.
TEST(Desktop, WindowsFitTheScreenAtAnyPixelRatio) {
    struct Case {
        int width, height;
        int dpr;
        const char* scale;
        double ratio;  // what the screen then reports
    };
    const Case cases[] = {
        {1024, 600, 1, "1", 1.0},
        {1920, 1080, 1, "2", 2.0},
        {1280, 800, 2, "1", 2.0},
        {1920, 1200, 1, "1.5", 1.5},
    };
    for (const Case& c : cases) {
        ScriptedRun run(PLEXA_PROGRAM);
        const std::string config = run.dir().file("screens.json");
        ASSERT_TRUE(WriteFile(config, "{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, "
                                      "\"width\": " + std::to_string(c.width) +
                                          ", \"height\": " + std::to_string(c.height) +
                                          ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, "
                                          "\"dpr\": " + std::to_string(c.dpr) + "}]}\n"));
        run.SetEnvironment("QT_QPA_PLATFORM=offscreen:configfile=" + config);
        run.SetEnvironment(std::string("QT_SCALE_FACTOR=") + c.scale);
        const ScriptedRunResult result =
            run.Run("wait-window Untitled*\nwait-drawn\nlog-geometry\nquit\n");
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 " scale " + c.scale;
        ASSERT_TRUE(result.Exited(0)) << what << result.errors;
        ASSERT_EQ(result.Lines("geometry ").size(), 1u) << what;
        Box frame, area;
        double ratio = 0;
        ASSERT_TRUE(ParseGeometry(result.Lines("geometry ")[0], frame, area, ratio))
            << result.Lines("geometry ")[0];
        EXPECT_DOUBLE_EQ(ratio, c.ratio) << what;
        EXPECT_GE(frame.x, area.x) << what;
        EXPECT_GE(frame.y, area.y) << what;
        EXPECT_LE(frame.x + frame.w, area.x + area.w) << what;
        EXPECT_LE(frame.y + frame.h, area.y + area.h) << what;
        EXPECT_GT(frame.w, 0);
        EXPECT_GT(frame.h, 0);
    }
}

#endif

}  // namespace
}  // namespace plexa::test

namespace plexa::test {
namespace {

std::string Read(const std::string& path) {
    std::string text;
    ReadFile(path, text);
    return text;
}

bool HaveTool(const std::string& tool) {
    return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// What a run of the desktop set-up leaves: the files it installs, byte for byte, and the link.
std::string Installed(const TempDir& dir) {
    std::string link(256, '\0');
    const ssize_t n = readlink(dir.file("home/.local/bin/plexa").c_str(), link.data(), link.size());
    link.resize(n > 0 ? size_t(n) : 0);
    return Read(dir.file("data/applications/plexa.desktop")) + "\n--\n" +
           Read(dir.file("data/mime/packages/plexa.xml")) + "\n--\n" + link;
}

const char* const kTypes[] = {"application/x-plexa-sheet", "application/x-plexa-project",
                              "application/x-plexa-library"};

// The entry as the desktop reads it: the entry's group and its Print action's, keys with values,
// the keys the desktop needs.
void CheckDesktopEntry(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "[Desktop Entry]");
    std::map<std::string, std::map<std::string, std::string>> groups;
    std::string group = "Desktop Entry";
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            group = line.substr(1, line.size() - 2);
            EXPECT_FALSE(groups.count(group)) << "twice: " << line;
            continue;
        }
        const size_t eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        const std::string key = line.substr(0, eq);
        ASSERT_FALSE(key.empty());
        for (char c : key) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c)) || c == '-') << line;
        EXPECT_TRUE(groups[group].emplace(key, line.substr(eq + 1)).second) << "twice: " << key;
    }
    std::map<std::string, std::string>& keys = groups["Desktop Entry"];
    EXPECT_EQ(keys["Actions"], "Print;");
    EXPECT_EQ(groups["Desktop Action Print"]["Exec"], "plexa --print %F");
    EXPECT_FALSE(groups["Desktop Action Print"]["Name"].empty());
    EXPECT_EQ(groups.size(), 2u);
    EXPECT_EQ(keys["Type"], "Application");
    EXPECT_FALSE(keys["Name"].empty());
    EXPECT_EQ(keys["Exec"], "plexa %F");
    EXPECT_EQ(keys["Terminal"], "false");
    for (const char* type : kTypes)
        EXPECT_NE(keys["MimeType"].find(std::string(type) + ";"), std::string::npos) << type;
    EXPECT_EQ(keys["Categories"].back(), ';');
}

// Each type with its extension and its magic: "ORDF", then the file type at offset 6.
void CheckMimeTypes(const std::string& text) {
    const struct {
        const char* type;
        const char* glob;
        const char* code;
    } expected[] = {{kTypes[0], "*.shx", "SCH4"}, {kTypes[1], "*.prx", "PRJ4"},
                    {kTypes[2], "*.lbx", "LIB4"}};
    for (const auto& e : expected) {
        const size_t begin = text.find(std::string("<mime-type type=\"") + e.type + "\">");
        ASSERT_NE(begin, std::string::npos) << e.type;
        const size_t end = text.find("</mime-type>", begin);
        ASSERT_NE(end, std::string::npos);
        const std::string block = text.substr(begin, end - begin);
        EXPECT_NE(block.find(std::string("<glob pattern=\"") + e.glob + "\"/>"), std::string::npos);
        EXPECT_NE(block.find("<match type=\"string\" offset=\"0\" value=\"ORDF\">"), std::string::npos);
        EXPECT_NE(block.find(std::string("<match type=\"string\" offset=\"6\" value=\"") + e.code + "\"/>"),
                  std::string::npos);
    }
}

TEST(DesktopSetup, InstallsAValidEntryAndTheDocumentTypesAndASecondRunChangesNothing) {
    TempDir dir;
    mkdir(dir.file("home").c_str(), 0700);
    const std::vector<std::string> environment = {"HOME=" + dir.file("home"),
                                                  "XDG_DATA_HOME=" + dir.file("data")};
    const std::string program = dir.file("bin/plexa");
    auto setup = [&] {
        ChildProcess child("/bin/bash", {SourcePath("scripts/setup-desktop"), program}, environment,
                           dir.file("setup.err"));
        const int status = child.Wait(std::chrono::seconds(120));
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << Read(dir.file("setup.err"));
    };
    setup();
    const std::string first = Installed(dir);
    const std::string entry = Read(dir.file("data/applications/plexa.desktop"));
    const std::string mime = Read(dir.file("data/mime/packages/plexa.xml"));
    CheckDesktopEntry(entry);
    CheckMimeTypes(mime);
    EXPECT_EQ(first.substr(first.rfind("\n--\n") + 4), program);
    if (HaveTool("desktop-file-validate")) {
        EXPECT_EQ(std::system(("desktop-file-validate '" + dir.file("data/applications/plexa.desktop") + "'").c_str()), 0);
    }
    if (HaveTool("xmllint")) {
        EXPECT_EQ(std::system(("xmllint --noout '" + dir.file("data/mime/packages/plexa.xml") + "'").c_str()), 0);
    }
    // The desktop's own database took the types in.
    if (HaveTool("update-mime-database")) {
        EXPECT_NE(Read(dir.file("data/mime/application/x-plexa-sheet.xml")).find("x-plexa-sheet"),
                  std::string::npos);
        EXPECT_NE(Read(dir.file("data/mime/globs2")).find("*.shx"), std::string::npos);
    }
    setup();
    EXPECT_EQ(Installed(dir), first);
}

}  // namespace
}  // namespace plexa::test
