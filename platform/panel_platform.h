// The desktop platform's file panels: modal open, save and folder-choosing dialogs over the
// native Qt file dialogs. Paths are absolute and UTF-8.
//
// Test seam: answers queued with `TestQueueFilePanelAnswer` are given, in order, instead of
// showing a dialog; while the seam is in use a panel with no answer left is cancelled. A scripted
// answer goes through what the panel itself would allow: files that the name filters or the
// enable procedure refuse are dropped, as a person could not have chosen them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexa {

enum class PlatformPanelKind : uint8_t { kOpen, kSave, kChooseFolder };

struct PlatformFilePanelRequest {
    PlatformPanelKind kind = PlatformPanelKind::kOpen;
    std::string title;        // window title; empty: the platform's
    std::string prompt;       // the accept button's text; empty: the platform's
    std::string folder;       // where the panel starts; empty: the platform's choice
    std::string defaultName;  // save panels: the name offered
    bool multiple = false;       // open panels: several files may be chosen
    bool createFolders = false;  // the panel may make new folders
    // Name patterns of the files offered ("*.SHX"), compared without regard to case; empty:
    // every file. Folders are always offered for going into.
    std::vector<std::string> nameFilters;
    // Whether a file may be chosen; null: every file the name filters offer.
    bool (*enable)(const std::string& path, bool isFolder, void* refcon) = nullptr;
    void* enableRefcon = nullptr;
};

struct PlatformFilePanelResult {
    bool accepted = false;
    std::vector<std::string> paths;  // in the panel's order
    std::string folder;              // the folder the panel showed last
};

PlatformFilePanelResult PlatformRunFilePanel(const PlatformFilePanelRequest& request);

// Whether the request's name filters and enable procedure let a file be chosen.
bool PlatformFilePanelAllows(const PlatformFilePanelRequest& request, const std::string& path);

// The names typed into a panel's name field, as absolute paths: each name in double quotes when
// the text holds any ("a.SCM" "b c.SCM"), else the text as one name; a name that is not absolute
// lies in the folder. Empty names are left out.
std::vector<std::string> PlatformTypedPanelNames(const std::string& text, const std::string& folder);
// What an accepted open panel returns: the files chosen in its list and every existing file that
// the request allows among the names typed (several typed names in the order typed, then the
// chosen ones not typed), each once.
std::vector<std::string> PlatformOpenPanelPaths(const PlatformFilePanelRequest& request,
                                                const std::vector<std::string>& chosen,
                                                const std::string& typed, const std::string& folder);

// ---- Test seam ----
// Queues an answer; an empty folder is taken from the first path (its folder) or the request.
void TestQueueFilePanelAnswer(bool accept, const std::vector<std::string>& paths,
                              const std::string& folder = std::string());
// Queues an answer typed into the panel's name field in the folder (as a person types several
// quoted names); it goes through what the panel makes of typed names.
void TestQueueFilePanelTypedAnswer(const std::string& typed, const std::string& folder);
int TestQueuedFilePanelAnswers();
// The last request a panel was run with (null before the first).
const PlatformFilePanelRequest* TestLastFilePanelRequest();
// Forgets the queued answers and the last request, and ends the seam's use.
void TestResetFilePanels();

// ---- The font panel ----

// The system's font panel, starting at the family: true with the family chosen, false when it
// was cancelled. A queued answer is taken instead of opening the panel.
bool PlatformRunFontPanel(const std::string& initial, std::string* family);
// Queues the next font panel's answer (an empty family: cancelled). TestResetFilePanels forgets
// queued answers too.
void TestQueueFontPanelAnswer(const std::string& family);

}  // namespace plexa
