// The converter program's life on the toolkit: start-up, its File and Edit menus and their
// commands, the shell's requests (documents opened, dropped, the launch without documents, quit),
// its window, the About box, the options dialog and the report of failures to the user. The
// program has no document windows: its one window carries the menu bar (only windows have one on
// this desktop), says what to do and takes dropped files; closing it quits. Launched without
// documents the program shows the About box over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct ConversionReport;
struct Rect;
struct VXEventRecord;
struct VXPrepCommandRecord;
struct VXWindowRecordTag;

// Commands.
constexpr uint16_t kCommandAbout = 101;
constexpr uint16_t kCommandPreferences = 102;
constexpr uint16_t kCommandQuit = 105;
constexpr uint16_t kCommandFileMenu = 200;
constexpr uint16_t kCommandConvert = 202;
constexpr uint16_t kCommandOptions = 210;
constexpr uint16_t kCommandEditMenu = 300;
constexpr uint16_t kCommandUndo = 301;
constexpr uint16_t kCommandSelectAll = 306;

// UI templates of the converter's template file.
constexpr uint16_t kConverterWindowTemplate = 1000;
constexpr uint16_t kOptionsTemplate = 1003;
constexpr uint16_t kAboutTemplate = 1040;
// Options dialog items: the edit text of map entry k is item 4 + 2k.
constexpr int16_t kOptionsFirstNameItem = 4;
constexpr int16_t kOptions96DPIItem = 3;
constexpr int16_t kOptionsClassIDItem = 29;
constexpr int16_t kOptionsShowRefDesItem = 31;
constexpr int16_t kOptionsShowNameItem = 32;
// The window's items: what to do, the converter's icon, the lines of the files converted.
constexpr int16_t kConverterWindowTextItem = 1;
constexpr int16_t kConverterWindowIconItem = 2;
constexpr int16_t kConverterWindowResultsItem = 3;
// The window shows the outcomes of this many files, the latest.
constexpr size_t kConverterResultLines = 10;
// The About box's icon item (its other items: toolkit/vx_about.h).
constexpr int16_t kAboutIconItem = 6;

// The converter's icon among the program's images.
constexpr const char* kConverterIcon = "ConverterApp";
constexpr const char* kConverterIconType = "png";

// Texts of the converter's strings table.
constexpr int32_t kStrApplicationName = 128;
constexpr int32_t kStrVersion = 129;
constexpr int32_t kStrPlatform = 130;
constexpr int32_t kStrConvertFiles = 131;

// The start-up hook; 1 (success).
int32_t AppStartup();
int32_t PrepCommand(VXPrepCommandRecord* record);
int32_t DoCommand(VXWindowRecordTag* window, VXEventRecord* event);
// Closes every window; nonzero when all closed.
int32_t QuitHandler();

void ShellApplicationLaunchedHandler();
int32_t ShellOpenFileHandler(const char* path, int16_t index, int16_t count);
int32_t ShellDroppedFileHandler(const char* path, int16_t index, int16_t count);
int32_t ShellPrintFileHandler(const char* path, int16_t index, int16_t count);
int32_t ShellQuitHandler();

// A failure for the user: nothing for 0 and cancel (-128); else an alert with the code's message,
// also while the application is not in front (queued while an alert is up or a termination
// signal waits), and a line on the standard error.
void SchError(OSStatus code);
// A file's outcome for the user (the report procedure the program installs): every file a line in
// the window; a failure, or a skipped file that claimed to be a version-3.6 document, also in an
// alert that names the file and gives the reason, and as a line on the standard error; another
// skipped file also as that line.
void ShowConversionOutcome(const ConversionReport& report);

// The converter's window, made and shown once (made at start-up); none when it cannot be made.
VXWindowRecordTag* CreateConverterWindow();
// The window while it is up, else none.
VXWindowRecordTag* ConverterWindow();
// A file's outcome as the window shows it: the file's name, then written (with the output named
// from the file's folder), skipped or failed with the reason; a long line is shortened in its
// middle.
std::string ConverterResultLine(const ConversionReport& report);
// Adds the file's line to the window (the oldest line goes beyond kConverterResultLines).
void AddConverterWindowResult(const ConversionReport& report);
int32_t ConverterWindowEventHandler(VXWindowRecordTag* window, VXEventRecord* event);

// The maker's About box (toolkit/vx_about.h) with the converter's name, version and icon.
void ShowAboutDialog();
// The options dialog: edits the options in place and saves them when it ends with OK.
void ShowOptionsDialog();
int32_t OptionsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

}  // namespace plexa
