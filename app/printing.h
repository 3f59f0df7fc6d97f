// Printing of a sheet and of a project's sheets, and their page setup. A sheet prints at its own
// resolution in page-sized pieces, the pages running down each column of the sheet first and
// then across; a project prints the sheets of its hierarchy as one job, each occurrence of a
// sheet in its own annotation context (so a sheet used twice prints twice, each copy with its
// own designators), and every sheet shows the occurrence it showed before when the job is done.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct SheetRecord;
struct VXPrintRec;
struct VXWindowRecordTag;

// A print record at the resolution (dpi) with margins of `inches` on every side.
OSStatus CreateDefaultPrintRef(uint32_t resolution, VXPrintRec** record, double inches);

// The area of the sheet that prints (its content grown by 3, within the sheet); without fitting
// it starts at the sheet's top-left corner. With fitting the record's scaling fits it on the page.
LRect CalcViewSizeForSheet(VXPrintRec* record, SheetRecord* sheet, bool fit, Point pageSize, Rect* bounds);
// The number of pages of the area on pages of pageRect's size and the rows of a column; one
// page when fitting. A page of no size gives no pages.
uint16_t CalcPaginationForSheet(const Rect& bounds, bool fit, const LRect& pageRect, int16_t* rows);
// The top-left of page n (from 1) of an area printed in columns of `rows` pages.
_LPNT SheetPageOrigin(int32_t page, int16_t rows, const LRect& pageRect);
// Draws what of the sheet lies in the page into the window (a print window).
void PrintOnePage(VXWindowRecordTag* window, SheetRecord* sheet, const LRect& page);

// Options of the print runs below: those of VXRunPrintOperation (kVXPrintShowPanel shows the
// print panel; without it the job goes straight to the record's printer or PDF file).
// 0, or the failure (reported, a cancel excepted).
// A sheet's page is turned the way that prints it on fewer pages (fitted to one page, the way it
// prints larger; the record's own way when both serve alike), and the record keeps that way. A
// sheet no larger than the paper prints on one page, shrunk when the margins ask for it. The
// sheet's print scale holds for the job only.
OSStatus PrintSheet(SheetRecord* sheet, uint32_t options);

// What of a project prints.
constexpr int16_t kPrintAllSheets = 3, kPrintTopLevelSheets = 4, kPrintSelectedSheets = 5;
// Asks what to print (template 1019): one of the three, or 0 when cancelled. The dialog also
// sets the project's print each sheet once setting (stored with its page setup, written into the
// project file when it changes).
int16_t AskPrintProjectSheets(ProjectRecord* project);
// Prints the project's sheets; choice 0 asks. 0 also when cancelled. With the project's print
// each sheet once setting, a sheet used more than once prints in the first place that the choice
// takes in tree order, only.
OSStatus PrintProjectSheets(ProjectRecord* project, int16_t choice, uint32_t options);

// Page setup of a project: its record (made at 96 dpi when missing) through the page-layout
// panel; when confirmed the record is stored with the project's settings.
void DoProjectPageSetup(ProjectRecord* project);

}  // namespace plexa
