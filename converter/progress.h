// The progress windows that conversions show: one for a library (a step per item) and one for a
// project or single sheet (five steps per sheet, six when sheets are scaled to 96 dpi). Each is a
// modeless dialog whose item 1 is the message and item 2 the bar. Every call does nothing while
// its window does not exist, so conversions call them freely.
#pragma once

#include <cstdint>

namespace plexa {

struct VXWindowRecordTag;

constexpr uint16_t kProjectProgressTemplate = 1001;
constexpr uint16_t kLibraryProgressTemplate = 1002;
constexpr int16_t kProgressMessageItem = 1;
constexpr int16_t kProgressBarItem = 2;
constexpr int16_t kProjectProgressIconItem = 3;
constexpr int16_t kLibraryProgressIconItem = 6;
constexpr int32_t kProgressStepsPerSheet = 5;  // one more when sheets are scaled

extern VXWindowRecordTag* gLibProgressWindow;
extern VXWindowRecordTag* gPrjProgressWindow;

// Whether conversions show their progress windows (not in batch runs); shown at first.
void SetProgressWindowsShown(bool shown);

// Does nothing when the window exists already.
void CreateLibProgressWindow(int32_t steps, const char* message, uint32_t flags);
void SetProgressMessage(const char* text);
void StepLibProgressBar();
void DestroyLibProgressWindow();

void CreateProgressWindow(int32_t sheets, const char* message);
void SetProjectProgressMessage(const char* text);
void StepProjectProgressBar();
// Spins the wait cursor and lets pending updates draw.
void IdleProgressBar();
void DestroyProgressWindow();

// The busy cursor (WaitCursor) is the toolkit's (toolkit/vx_about.h).

}  // namespace plexa
