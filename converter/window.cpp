// The converter's window: the one place on this desktop that carries the converter's menu bar and
// takes dropped files. It says what to do, hands every dropped file to the shell's request queue
// (so a drop goes the way of an open request), shows what became of the files converted, and
// closing it quits the program.
#include <deque>
#include <string>

#include "converter/app.h"
#include "converter/report.h"
#include "foundation/localized.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_templates.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

int32_t gConverterWindowID = 0;

// The lines of the files converted, the newest last; at most kConverterResultLines.
std::deque<std::string> gResults;
constexpr int16_t kResultsTop = 96, kResultLineHeight = 18, kResultsBottomMargin = 16;
// A line longer than this many characters keeps its start and end around "...".
constexpr size_t kResultLineLimit = 80;

std::string FileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Within the source's folder the output is named from there.
std::string OutputBesideSource(const std::string& source, const std::string& output) {
    const size_t slash = source.rfind('/');
    if (slash == std::string::npos) return output;
    const std::string folder = source.substr(0, slash + 1);
    return output.compare(0, folder.size(), folder) == 0 ? output.substr(folder.size()) : output;
}

// Cut at a UTF-8 character boundary at or before `at`.
size_t CharacterStart(const std::string& text, size_t at) {
    while (at > 0 && at < text.size() && (uint8_t(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

std::string Shortened(const std::string& line) {
    if (line.size() <= kResultLineLimit) return line;
    const size_t keep = (kResultLineLimit - 3) / 2;
    const size_t head = CharacterStart(line, keep);
    const size_t tail = CharacterStart(line, line.size() - keep);
    return line.substr(0, head) + "..." + line.substr(tail);
}

// Shows the lines under the instructions, the window growing to hold them.
void ShowResults(VXWindowRecordTag* window) {
    std::string text;
    for (const std::string& line : gResults) text += (text.empty() ? "" : "\n") + line;
    const auto height = int16_t(kResultLineHeight * int16_t(gResults.size()));
    Rect item{};
    VXGetItemPosition(window, kConverterWindowResultsItem, &item);
    item.top = kResultsTop;
    item.bottom = int16_t(kResultsTop + height);
    VXSetItemPosition(window, kConverterWindowResultsItem, &item);
    VXSetItemText(window, kConverterWindowResultsItem, text.c_str());
    VXSetItemVisible(window, kConverterWindowResultsItem, !gResults.empty());
    Rect place{};
    VXGetWindowPosition(window, &place);
    const auto wanted = int16_t(gResults.empty() ? kResultsTop + 8 : item.bottom + kResultsBottomMargin);
    if (place.bottom - place.top != wanted) {
        place.bottom = int16_t(place.top + wanted);
        VXSetWindowPosition(window, &place);
    }
}

}  // namespace

std::string ConverterResultLine(const ConversionReport& report) {
    ConversionReport named = report;
    named.source = FileName(report.source);
    named.output = OutputBesideSource(report.source, report.output);
    return Shortened(FormatConversionReport(named));
}

void AddConverterWindowResult(const ConversionReport& report) {
    gResults.push_back(ConverterResultLine(report));
    while (gResults.size() > kConverterResultLines) gResults.pop_front();
    if (VXWindowRecordTag* window = ConverterWindow()) ShowResults(window);
}

VXWindowRecordTag* CreateConverterWindow() {
    if (VXWindowRecordTag* window = ConverterWindow()) return window;
    char title[256];
    VXLoadStringEx(kStrApplicationName, 0, title, sizeof title);
    VXWindowRecordTag* window =
        VXCreateWindow(kVXWindowDocument, 0, kVXFlagClosable | kVXFlagNoFullScreen, 0, 0, 0,
                       nullptr, title, kConverterWindowTemplate, nullptr, ConverterWindowEventHandler);
    if (!window) return nullptr;
    gConverterWindowID = window->windowID;
    // The template gives the content and its size; the window then goes where dialogs go.
    VXLoadControls(window, kConverterWindowTemplate, 0, 0, kVXLoadSizeToContainer);
    VXSetItemImageFromResource(window, kConverterWindowIconItem, kConverterIcon, kConverterIconType,
                               0);
    Rect place;
    VXGetWindowPosition(window, &place);
    VXCalcDialogRect(0, kVXPlaceThird, &place);
    VXSetWindowPosition(window, &place);
    ShowResults(window);
    VXAllowDroppedFiles(window, true);
    VXShowWindow(window);
    return window;
}

VXWindowRecordTag* ConverterWindow() { return VXGetWindowFromId(gConverterWindowID); }

int32_t ConverterWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    switch (event->kind) {
        case kVXCloseEvent:
            // The window goes with the quit (its procedure closes every window); until then
            // closing it asks for the quit.
            if (vx.terminationInProgress) return 0;
            VXQuitApplication();
            return 1;
        case kVXDroppedFileEvent: {
            // A folder is no version-3.6 document; files are converted as open requests are.
            const auto* path = static_cast<const char*>(event->u.droppedFile.fileSpec);
            if (!event->u.droppedFile.isFolder && path)
                (void)VXPostShellRequestAction(kVXShellOpenFile, path,  // it reports a failure itself
                                               int16_t(event->u.droppedFile.index), int16_t(event->u.droppedFile.count));
            return 1;
        }
        case kVXDestroyEvent:
            if (window->windowID == gConverterWindowID) gConverterWindowID = 0;
            return 0;
        default:
            return 0;
    }
}

}  // namespace plexa
