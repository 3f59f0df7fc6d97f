// The shell's standard reports around closing: the error report of the shell's commands and the
// kind of window that a Shift-Close closes. Sheets close in the sheet editor (sheetclose.h); the
// shell keeps its front sheet in step.
#include "app/shell.h"
#include "files/project.h"
#include "files/projectlife.h"
#include "model/sheet.h"
#include "sheeteditor/sheetclose.h"
#include "sheeteditor/sheetwindow.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_app.h"

namespace plexa {

int16_t gCloseAllWindowsKind = 0;

void SchError(OSStatus code) {
    if (code && code != status::kUserCancelled && VXIsApplicationActive()) VXErrorReport(code);
}

namespace {

// The save question about a project's annotation: 1 save, 0 don't, -128 cancel.
int32_t AskSaveProjectAnnotation(ProjectRecord* project) {
    bool save = false;
    if (!AskSaveDialog(project->file.spec.name, kSaveQuestionProject, &save)) return status::kUserCancelled;
    return save ? 1 : 0;
}

}  // namespace

int32_t CloseProjectsWithoutWindows() {
    for (bool again = true; again;) {
        again = false;
        for (ProjectRecord* project = gProjectList; project; project = project->next) {
            if (project->window) continue;
            // A cancel or a failure (reported) keeps the project open and the application running.
            if (OSStatus err = CloseProject(project, kCloseProjectAsk, AskSaveProjectAnnotation)) {
                SchError(err);
                return 0;
            }
            again = true;
            break;
        }
    }
    return 1;
}

OSStatus CloseSheetWindowOfShell(VXWindowRecordTag* window, int32_t mode) {
    return CloseSheetWindow(window, mode);
}

}  // namespace plexa
