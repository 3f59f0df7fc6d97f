// Closing sheets: the save question, taking a sheet down with or without asking, and closing its
// window. A modified sheet is asked about once; Save, Don't Save and Cancel do what they say; a
// cancel or a failed save keeps the sheet, its window and its file as they were. A sheet that
// closes without being saved or discarded writes its window's state into its file, in one step
// that leaves either the old file or the new one, and not at all when the file or its folder is
// read-only.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct SheetRecord;
struct VXWindowRecordTag;

// Modes of DestroySheet and CloseSheetWindow.
constexpr int32_t kCloseAsking = 1;      // a modified sheet asks whether to save it
constexpr int32_t kCloseDiscarding = 4;  // no question: the changes are dropped
// The save question's kinds (the front window's kind; 102 asks about a project's annotation).
constexpr int16_t kSaveQuestionSheet = 101, kSaveQuestionProject = 102;

// The save question of template 1042 about the named document: true with *save set (Save) or
// clear (Don't Save); false for Cancel. Typing s, d or c answers it.
bool AskSaveDialog(const char* name, int16_t kind, bool* save);

// Takes the sheet down: its file-symbol editors close, a modified sheet is asked about in mode 1
// (and saved or discarded), the window state goes into the file, and the record is freed. 0 when
// the sheet is gone; -128 when the user cancelled (or a file-symbol editor stayed); a save failure
// (reported) otherwise. The sheet stays, modified, in both cases. The window is the caller's.
OSStatus DestroySheet(SheetRecord* sheet, int32_t mode);
// Closes the sheet window: the sheet goes (DestroySheet), then the window. A refusal stops a
// running close-all and leaves both. A window without a sheet simply goes.
OSStatus CloseSheetWindow(VXWindowRecordTag* window, int32_t mode);

}  // namespace plexa
