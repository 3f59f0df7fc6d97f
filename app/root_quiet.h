// The quiet answers of a program without windows: what the editors would show or ask a person is
// answered here instead. A message or a failure's report goes to standard error as one line
// naming the program; a question takes its default answer; a chooser chooses nothing; progress,
// wait cursors, status texts, redraws and sounds do nothing. The editor's entry point puts the
// editors' windows and dialogs in their place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

// Names the program in the lines written (StartCore gives it; "plexa" until then).
void SetQuietProgramName(const char* program);
const char* GetQuietProgramName();

// The line a message becomes: "<program>: <text>" with its line breaks made blanks (a run of
// them one blank); empty for a message without text.
std::string QuietMessageLine(const char* text);
// A message to the user: its line on standard error; nothing for an empty one.
void QuietMessage(const char* text);
// A failure's report: "<program>: Error:  <the status's message>" on standard error; nothing
// for 0 and -128 (a cancel).
void QuietErrorReport(OSStatus status);

// Progress, wait cursors, status texts, redraws, sounds: nothing.
template <class... Args>
void QuietIgnore(Args...) {}
// A question's second button (Cancel, No, Leave as is), a key that is not pressed: false.
template <class... Args>
bool QuietDecline(Args...) {
    return false;
}
// A step that goes on unless a person stops it, a dialog's default button: true.
template <class... Args>
bool QuietProceed(Args...) {
    return true;
}
// A file chooser: nothing chosen, the user's cancel (-128).
template <class... Args>
OSStatus QuietChooseNothing(Args...) {
    return -128;
}

struct HierarchyLogEntry;
struct ProjectRecord;
struct SheetRecord;
struct VXWindowRecordTag;

// No sheet windows: no open sheets, no sheet in a window.
std::vector<SheetRecord*> QuietOpenSheets(bool visible);
SheetRecord* QuietWindowSheet(VXWindowRecordTag* window);
// A failure with the line that names what failed: "<text>: <the status's message>".
void QuietReport(OSStatus status, const char* text);
// The hierarchy's project log: each entry one line; the log of a project counts its entries so
// that a check that logged nothing says so.
void QuietLogHierarchy(ProjectRecord* project, const HierarchyLogEntry& entry);
void QuietClearLog(ProjectRecord* project);
bool QuietLogEmpty(ProjectRecord* project);
// The window of a library that a chooser would open: none, and nothing opened (0).
int32_t QuietOpenNoWindow(int32_t fileIndex, VXWindowRecordTag** window);
// A sheet whose new names could not be saved: the failure's line naming the sheet.
void QuietResequenceSaveFailed(const char* sheetName, OSStatus status);
// A question with two buttons takes the second (what the caller does without anyone to ask).
bool QuietAskSecond(const char* message, const char* first, const char* second);

}  // namespace plexa
