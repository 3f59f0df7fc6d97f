// The quiet answers of a program without windows: what the editors would show or ask a person is
// answered here. A message, an alert or a failure goes to standard error as one line (with the
// program's name), a question takes its default answer, a chooser chooses nothing (-128), and
// progress, busy cursors and window updates do nothing. The editor's entry point puts the
// editors' windows and dialogs in the same slots.
#pragma once

#include <cstdint>

#include "foundation/filespec.h"
#include "foundation/types.h"

namespace plexa {

struct HierarchyLogEntry;
struct ProjectRecord;

// The name that starts each line (StartCore sets it); none: "plexa".
void SetQuietProgramName(const char* name);

// A message or an alert: one line on standard error; an empty text (a message taken down) says
// nothing.
void QuietMessage(const char* text);
// A failure: one line naming the status and, when given, what failed.
void QuietReport(OSStatus status, const char* text);
void QuietReportStatus(OSStatus status);
// The hierarchy's project log: each entry one line; the log of a project counts its entries so
// that a check that logged nothing says so.
void QuietLogHierarchy(ProjectRecord* project, const HierarchyLogEntry& entry);
void QuietClearLog(ProjectRecord* project);
bool QuietLogEmpty(ProjectRecord* project);
// A question with two buttons takes the second, the one that goes on (what the caller does
// without anyone to ask).
bool QuietAskSecond(const char* message, const char* first, const char* second);
// A file chooser chooses nothing: -128.
int32_t QuietChooseNoFiles(const char* prompt, const char* button, FileSpec* files, int32_t capacity);
// Progress and busy cursors: nothing.
void QuietBusy();
void QuietProgress(const char* text);
void QuietCloseProgress();
bool QuietNoCancelKey();

}  // namespace plexa
