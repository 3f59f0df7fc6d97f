// What an edit of a sheet reports: the reasons it gives for the sheet's modified status (recorded
// by sheeteditor/sheetview.h), and whether the texts it is about to store fit the sheet.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace plexa {

struct SheetRecord;

// Reasons of SetSheetModifiedStatus (combined as bits; kSheetChangePlacesReported of
// files/sheetstore.h with them spares the spatial indexes their rebuild).
constexpr int32_t kSheetReasonContent = 0x01;
constexpr int32_t kSheetReasonSaved = 0x02;
constexpr int32_t kSheetReasonDrawing = 0x08;
constexpr int32_t kSheetReasonProjectTree = 0x10;
constexpr int32_t kSheetReasonForgetUndo = 0x20;
constexpr int32_t kSheetReasonForgetSearch = 0x40;

// Whether the texts an edit is about to store fit the sheet's string block (model/sheetstrings.h;
// none and empty ones always do). When one does not, the failure is shown (kStringBlockFull says
// why) and the answer is false: the edit is to be left undone, the sheet keeping its texts.
bool SheetTextsFit(SheetRecord* sheet, std::initializer_list<const char*> texts);

}  // namespace plexa
