// The File menu's DXF export command: the proposed file, the save panel, the progress message
// while the sheet is written (design/dxfexport.h writes it) and the error alert.
#pragma once

namespace plexa {

struct FileSpec;
struct SheetRecord;

// Asks for a file (the sheet's folder and name with ".DXF", see GetDXFExportProposal), writes
// the sheet to it and reports a failure with an error alert. Cancelling writes nothing.
void ExportDXFFile(SheetRecord* sheet);

// The proposed file of the export: the sheet file's folder and name, or for a sheet never saved
// the user's Documents folder (failing that the program's folder) and the window title
// ("Untitled" without a window), named as MakeDXFExportName names it.
void GetDXFExportProposal(SheetRecord* sheet, FileSpec* out);

// The export's progress message (DXFExportHooks::progressMessage): the static message window,
// shown after the pending window updates are drawn, and taken down with null.
void ShowDXFExportProgress(const char* message);

}  // namespace plexa
