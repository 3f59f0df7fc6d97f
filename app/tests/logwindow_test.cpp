// Message log windows: the rows of a project's log with their texts and links, a picture of the
// window for a person to look at, rows that link to symbols placed since a sheet was loaded going
// when that sheet's changes are discarded, a log left empty disappearing, and a log made again
// being emptied first.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/editor_root.h"
#include "app/logwindow.h"
#include "app/root.h"
#include "app/shell.h"
#include "files/hierarchy.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "files/sheetspec.h"
#include "files/sheetstore.h"
#include "files/tests/project_testing.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "platform/window_platform.h"
#include "sheeteditor/projectcommands.h"
#include "sheeteditor/sheetclose.h"
#include "sheeteditor/sheetopen.h"
#include "sheeteditor/sheetview.h"
#include "app/tests/editor_windows_testing.h"
#include "tests/support/testing.h"
#include "files/instances.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_window.h"

namespace plexa::test {
namespace {

class LogWindows : public EditorWindowsTest {
protected:
    void SetUp() override {
        EditorWindowsTest::SetUp();
        OpenFixtureProject();
    }

    // The child sheet RC, open in its window in its first occurrence.
    SheetRecord* OpenChild() {
        for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
            char name[kFileSpecNameCapacity];
            GetSheetSpecName(project, n->sheetSpec, name, sizeof name);
            if (std::string(name) == "RC.SHX") return OpenSheetContext(project, n, false);
        }
        return nullptr;
    }

    std::vector<std::string> Rows(LogWindowRecord* log) {
        std::vector<std::string> rows;
        for (int32_t row = 0; row < CountLogEntries(log); ++row) {
            LogEntry entry;
            EXPECT_TRUE(GetLogEntry(log, row, &entry));
            std::string first, second;
            GetLogEntryLines(log, &entry, &first, &second);
            rows.push_back(second.empty() ? first : first + " / " + second);
        }
        return rows;
    }

};

TEST_F(LogWindows, DiscardingASheetsChangesDropsTheRowsOfItsNewSymbols) {
    SheetRecord* child = OpenChild();
    ASSERT_NE(child, nullptr);
    SheetSpec* spec = GetSheetSpecFromSheet(child, project);
    ASSERT_NE(spec, nullptr);
    // The symbol of the highest serial counts as placed since the sheet was loaded.
    SymbolRecord* newest = nullptr;
    SymbolRecord* older = nullptr;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(child->symbolList)); s; s = s->next)
        if (!newest || s->serial > newest->serial) newest = s;
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(child->symbolList)); s; s = s->next)
        if (s != newest) older = s;
    ASSERT_NE(older, nullptr);
    child->serialAtLoad = newest->serial;

    LogWindowRecord* log = CreateLogWindow(project, nullptr, true);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(project->log, log);
    LogEntry entry;
    SetupLogEntry(&entry, kLogWarning, 0x20000037, nullptr, kLogLinkSymbol, spec, kLogNoInstance, newest->serial, 0);
    AppendLog(log, &entry);
    SetupLogEntry(&entry, kLogError, 0x20000038, nullptr, kLogLinkSymbol, spec, kLogNoInstance, older->serial, 0);
    AppendLog(log, &entry);
    SetupLogEntry(&entry, kLogMessage, 0x20000035, nullptr, kLogLinkSheet, spec, kLogNoInstance, 0, 0);
    AppendLog(log, &entry);
    EXPECT_EQ(Rows(log), (std::vector<std::string>{
                             "WARNING: Symbol is out-of-date with respect to its definition in the child sheet.",
                             "ERROR  : Symbol's definition was not found in its referenced child sheet.",
                             "MESSAGE: ",  // a code without a default text shows its prefix alone
                         }));
    char title[200];
    VXGetWindowTitle(log->window, title);
    EXPECT_STREQ(title, "amp.PRX Messages");
    VXWaitUpdateWindows();
    EXPECT_TRUE(PlatformWindowGrabPNG(log->window->platformWindow, OutputPath("log-window.png")));

    // The child is changed, then closed without saving.
    SetSheetModifiedStatus(child, kSheetReasonContent);
    VXPostDeferredAction([](void*) { QueueKey('d'); }, nullptr, 0.001);
    EXPECT_EQ(DestroySheet(child, kCloseAsking), 0);
    ASSERT_EQ(project->log, log);
    EXPECT_EQ(Rows(log), (std::vector<std::string>{
                             "ERROR  : Symbol's definition was not found in its referenced child sheet.",
                             "MESSAGE: ",
                         }));

    // Made again, the log is emptied first.
    EXPECT_EQ(CreateLogWindow(project, nullptr, false), log);
    EXPECT_EQ(CountLogEntries(log), 0);
}

TEST_F(LogWindows, ASheetsLogLeftWithoutRowsDisappears) {
    SheetRecord* child = OpenChild();
    ASSERT_NE(child, nullptr);
    auto* symbol = static_cast<SymbolRecord*>(LLFirst(child->symbolList));
    ASSERT_NE(symbol, nullptr);
    LogWindowRecord* log = CreateLogWindow(nullptr, child, false);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(child->logWindow, log);
    LogEntry entry;
    SetupLogEntry(&entry, kLogWarning, 0x20000034, nullptr, kLogLinkSymbol, child, kLogNoInstance, symbol->serial, 0);
    SetLogEntryAttribute(log, &entry, "name", "first");
    SetLogEntryAttribute(log, &entry, "name", "second");
    EXPECT_EQ(GetLogEntryAttribute(log, &entry, "name"), "second");
    EXPECT_EQ(GetLogEntryAttribute(log, &entry, "other"), "");
    AppendLog(log, &entry);
    EXPECT_EQ(GetLogEntryAttribute(nullptr, &entry, "name"), "") << "no log: an empty value";

    child->serialAtLoad = symbol->serial;
    RemoveLogSymbolLinksWithNewSerialNumbers(child);
    EXPECT_EQ(child->logWindow, nullptr) << "the empty log went";
}

// A hierarchy check run again reports into the window of the first run, emptied first: the same
// rows, not twice as many, and no second window.
TEST_F(LogWindows, ACheckRunAgainReusesItsLogEmptiedFirst) {
    // The child sheet's file is gone: each of its two uses in the root is reported.
    ASSERT_EQ(std::rename((folder + "/RC.SHX").c_str(), (folder + "/RC.moved").c_str()), 0);
    EXPECT_EQ(CheckProjectHierarchy(project, true, false), 0);
    LogWindowRecord* log = project->log;
    ASSERT_NE(log, nullptr);
    VXWindowRecordTag* window = log->window;
    const std::vector<std::string> first = Rows(log);
    ASSERT_FALSE(first.empty());
    EXPECT_NE(first[0].find("child sheet was not found"), std::string::npos) << first[0];

    EXPECT_EQ(CheckProjectHierarchy(project, true, false), 0);
    EXPECT_EQ(project->log, log);
    EXPECT_EQ(log->window, window);
    EXPECT_EQ(Rows(log), first);
    int32_t logs = 0;
    for (VXWindowRecordTag* w : VXTopLevelWindows()) logs += w->typeID == kMessageLogKind;
    EXPECT_EQ(logs, 1);
}

TEST_F(LogWindows, OpenSelectionOpensTheLinkedSheetInItsPlace) {
    SheetSpec* spec = nullptr;
    SheetNode* node = nullptr;
    for (SheetNode* n = NextSheetNode(project->hierarchy, nullptr); n; n = NextSheetNode(project->hierarchy, n)) {
        char name[kFileSpecNameCapacity];
        GetSheetSpecName(project, n->sheetSpec, name, sizeof name);
        if (std::string(name) == "RC.SHX") node = n;  // the second use
    }
    ASSERT_NE(node, nullptr);
    spec = node->sheetSpec;
    SheetInstance* instance = RetrieveSheetInstance(project, node, true);
    ASSERT_NE(instance, nullptr);
    LogWindowRecord* log = CreateLogWindow(project, nullptr, true);
    ASSERT_NE(log, nullptr);
    LogEntry entry;
    SetupLogEntry(&entry, kLogWarning, 0x20000034, nullptr, kLogLinkSheet, spec, instance->id, 0, 0);
    AppendLog(log, &entry);
    VXSetListViewItemSelected(log->window, 0, true);
    EXPECT_EQ(DispatchCommand(log->window, 211, false, false, false), 1);
    std::vector<SheetRecord*> open = SheetWindowSheets(true);
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0]->hierarchyContext, instance) << "opened in the place the row names";
}

}  // namespace
}  // namespace plexa::test
