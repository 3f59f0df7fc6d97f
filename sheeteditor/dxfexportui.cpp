// The DXF export command; see dxfexportui.h.
#include "sheeteditor/dxfexportui.h"

#include <cstdio>
#include <string>

#include "design/dxfexport.h"
#include "foundation/filespec.h"
#include "foundation/folders.h"
#include "foundation/program.h"
#include "model/sheet.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr const char* kPanelType = "????";
constexpr const char* kUntitledName = "Untitled";
constexpr size_t kWindowTitleSize = 200;  // VXGetWindowTitle's buffer

}  // namespace

void GetDXFExportProposal(SheetRecord* sheet, FileSpec* out) {
    ClearFileSpec(out);
    char name[kWindowTitleSize] = "";
    if (sheet && !IsDirectoryInvalid(&sheet->fileSpec.directory) && sheet->fileSpec.name[0]) {
        out->directory = sheet->fileSpec.directory;
        std::snprintf(name, sizeof name, "%s", sheet->fileSpec.name);
    } else {
        if (!VXGetUserDomainDirectory(kVXFolderDocuments, nullptr, false, &out->directory)) {
            std::string program = GetProgramPath();
            const size_t slash = program.rfind('/');
            if (slash != std::string::npos) program.resize(slash ? slash : 1);
            if (program.empty() || DirectoryFromDirectoryURL(program, &out->directory) != 0)
                ClearDirectoryRef(&out->directory);
        }
        char title[kWindowTitleSize] = "";
        if (sheet && sheet->window) VXGetWindowTitle(sheet->window, title);
        std::snprintf(name, sizeof name, "%s", title[0] ? title : kUntitledName);
    }
    MakeDXFExportName(name, out->name, int32_t(sizeof out->name));
}

void ShowDXFExportProgress(const char* message) {
    if (message) VXWaitUpdateWindows();
    VXStaticMessage(0, message);
}

void ExportDXFFile(SheetRecord* sheet) {
    if (!sheet) return;
    FileSpec spec;
    GetDXFExportProposal(sheet, &spec);
    char name[kFileSpecNameCapacity];
    std::snprintf(name, sizeof name, "%s", spec.name);
    if (RunSaveFilesPanel(kDXFExportPrompt, name, true, kDXFFileCreator, kPanelType, &spec) != 0)
        return;
    VXErrorReport(WriteDXFSheet(sheet, &spec));
}

}  // namespace plexa
