// DXF export of a sheet: the File menu's command and the writing of the open sheet as a text DXF
// drawing through the graphics layer's DXF writer (graphics/dxf.h).
//
// The drawing order: every placed symbol once as a block (numbered by the symbol's serial, drawn
// at the origin with its visible texts), the back-layer graphic elements, one block reference
// per symbol at its position, buss wires, signal wires with their junctions, the front-layer
// graphic elements, text frames and the texts no symbol owns. Hidden texts are left out. The
// drawing happens in a conversion window: an off-screen window whose drawing procedures are the
// writer's converters, with the general flags set for export.
//
// Units: the sheet's resolution (pixels per inch) is the writer's scale, so the drawing is in
// inches.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct DXFPort;
struct FileSpec;
struct SheetRecord;

// The save panel's prompt and the static message shown while the file is written.
constexpr const char* kDXFExportPrompt = "Export DXF File:";
constexpr const char* kDXFExportMessage = "Creating DXF File...";

// Asks for a file (the sheet's folder and name with ".DXF", see GetDXFExportProposal), writes
// the sheet to it and reports a failure with an error alert. Cancelling writes nothing.
void ExportDXFFile(SheetRecord* sheet);

// Writes the sheet as a DXF drawing into the file (created or emptied). 0 on success, else the
// first failure: -38 when the output could not be started, the file system's status when the file
// cannot be made or written. The output is ended (and the static message taken down) in every
// case; after a failure to make the file nothing is written.
OSStatus WriteDXFSheet(SheetRecord* sheet, const FileSpec* spec);

// The IO procedure of the export: opening shows the static message and answers "opened" without
// asking for a file; closing takes the message down and closes the file; the rest goes to
// DXFDefaultIOProc.
OSStatus DXFOpenProc(DXFPort* state, int16_t operation, int32_t* value, int32_t count,
                     void* data);

// The proposed file of the export: the sheet file's folder and name, or for a sheet never saved
// the user's Documents folder (failing that the program's folder) and the window title
// ("Untitled" without a window). The extensions ".ASC", ".PICT", ".DXF", ".SCM" and ".SHX" (in any
// case) are taken off the name and ".DXF" is added.
void GetDXFExportProposal(SheetRecord* sheet, FileSpec* out);
// The name with one of the listed extensions removed and ".DXF" added, into out (size bytes,
// cut at a whole character so that the extension always fits when size is at least 5).
void MakeDXFExportName(const char* name, char* out, int32_t size);

}  // namespace plexa
