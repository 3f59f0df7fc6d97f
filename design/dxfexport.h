// DXF export of a sheet: the writing of a sheet as a text DXF drawing through the graphics layer's
// DXF writer (graphics/dxf.h). The File menu's command, which asks for the file, is the sheet
// editor's (sheeteditor/dxfexportui.h).
//
// The drawing order: every placed symbol once as a block (numbered by the symbol's serial, drawn
// at the origin with its visible texts), the back-layer graphic elements, one block reference
// per symbol at its position, buss wires, signal wires with their junctions, the front-layer
// graphic elements, text frames and the texts no symbol owns. Hidden texts are left out. The
// drawing happens in a conversion state: an off-screen graphics state (graphics/offscreen.h) whose
// drawing procedures are the writer's converters, with the general flags set for export.
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

// The save panel's prompt and the progress message shown while the file is written.
constexpr const char* kDXFExportPrompt = "Export DXF File:";
constexpr const char* kDXFExportMessage = "Creating DXF File...";
// Codes of the exported file. There are no codes on disk here; the type says "text".
constexpr const char* kDXFFileCreator = "????";
constexpr const char* kDXFFileType = "TEXT";

// What the export shows a person, installed by the sheet editor: the progress message while the
// file is written (shown with its text, taken down with null). A program without windows shows
// nothing.
struct DXFExportHooks {
    void (*progressMessage)(const char* message) = nullptr;
};
void SetDXFExportHooks(const DXFExportHooks& hooks);
const DXFExportHooks& GetDXFExportHooks();

// Writes the sheet as a DXF drawing into the file (created or emptied). 0 on success, else the
// first failure: -38 when the output could not be started, the file system's status when the file
// cannot be made or written. The output is ended (and the progress message taken down) in every
// case; after a failure to make the file nothing is written.
OSStatus WriteDXFSheet(SheetRecord* sheet, const FileSpec* spec);

// The IO procedure of the export: opening shows the progress message and answers "opened" without
// asking for a file; closing takes the message down and closes the file; the rest goes to
// DXFDefaultIOProc.
OSStatus DXFOpenProc(DXFPort* state, int16_t operation, int32_t* value, int32_t count,
                     void* data);

// The name with the extensions ".ASC", ".PICT", ".DXF", ".SCM" or ".SHX" (in any case) removed and
// ".DXF" added, into out (size bytes, cut at a whole character so that the extension always fits
// when size is at least 5).
void MakeDXFExportName(const char* name, char* out, int32_t size);

}  // namespace plexa
