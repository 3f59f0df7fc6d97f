// Project Settings from a sheet window of the project: the settings confirmed with OK are in the
// project file at once (they used to stay in memory only, and went with the project's closing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/tests/editor_windows_testing.h"
#include "files/project.h"
#include "tests/support/scripted_run.h"
#include "tests/support/testing.h"

namespace plexa::test {
namespace {

#ifdef PLEXA_PROGRAM

using ProjectSettingsRun = EditorWindowsTest;

TEST_F(ProjectSettingsRun, SettingsConfirmedFromASheetWindowAreWrittenToTheProject) {
    folder = dir.file("amp");
    ASSERT_EQ(std::system(("cp -R '" + SourcePath("tools/tests/fixtures/amp") + "' '" + folder + "'").c_str()), 0);
    ScriptedRun run(PLEXA_PROGRAM);
    const ScriptedRunResult result = run.Run("wait-window ROOT\n"
                                             "wait-drawn ROOT\n"
                                             "menu Edit > Project Settings...\n"
                                             "wait-window amp Settings\n"
                                             "wait-drawn amp Settings\n"
                                             "click 246 112 double\n"  // the path separator
                                             "type /\n"
                                             "button OK\n"
                                             "wait-no-window amp Settings\n"
                                             "close ROOT\n"
                                             "wait-no-window ROOT\n"
                                             "close amp\n"
                                             "wait-no-window amp\n"
                                             "quit\n",
                                             {folder + "/amp.PRX", folder + "/ROOT.SHX"});
    ASSERT_TRUE(result.Exited(0)) << result.status << "\n" << result.errors;
    OpenFixtureProject();
    ASSERT_NE(project, nullptr);
    EXPECT_STREQ(project->settings.separator, "/");
}

#endif

}  // namespace
}  // namespace plexa::test
