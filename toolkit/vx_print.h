// Printing through a print window: `VXRunPrintOperation` makes a temporary window record of the
// print kind that holds the print record, a page procedure and its reference value, links a
// printer view to it and runs the platform's print operation over the view; the view asks the
// page procedure for the page count and each page's origin, and has it draw each page through
// the window's drawing procedures.
//
// The page procedure is called as (print window, print record, operation, data, refcon):
//   -1  once before the operation: data is an LRect {0, 0, page height, page width} in layout
//       units; the view takes the rectangle the procedure leaves as its frame
//   -3  just before the operation runs; -4 after it ran (the same rectangle, fresh)
//    0  the number of pages (low 16 bits of the answer); data is the metrics' page rectangle
//    n  page n's origin in layout units: data is an _LPNT, (0, 0) on entry
//   -2  draw: data is the LRect of the page in layout units
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct VXWindowRecordTag;
struct VXPrintRec;
class DrawContext;

using VXPrintProc = uint32_t (*)(VXWindowRecordTag* window, VXPrintRec* record, int32_t operation,
                                 void* data, void* refcon);

// Options of VXRunPrintOperation.
constexpr uint32_t kVXPrintShowPanel = 0x1, kVXPrintResetScaling = 0x2,
                   kVXPrintNoPageSetupAccessory = 0x4;

// The view a print operation prints. It acts only while its window is a print window whose
// printer view is this view and that has a page procedure.
struct VXPrinterView {
    VXWindowRecordTag* _windowRef = nullptr;
    double frame[4] = {0, 0, 0, 0};  // x, y, width, height in printer points
    int32_t windowID = 0;            // tells whether _windowRef still exists
};

VXPrinterView* VXPrinterViewInitWithFrame(double x, double y, double width, double height);
void VXPrinterViewRelease(VXPrinterView* view);
inline bool VXPrinterViewIsFlipped(const VXPrinterView*) { return true; }
inline bool VXPrinterViewAcceptsFirstResponder(const VXPrinterView*) { return false; }
// True when the page procedure reports pages; the range is first .. first + count - 1.
bool VXPrinterViewKnowsPageRange(VXPrinterView* view, int32_t* first, int32_t* count);
// Page n's rectangle (x, y, width, height) in printer points.
void VXPrinterViewRectForPage(VXPrinterView* view, int32_t page, double rect[4]);
// Draws the page at rect (printer points) into a context whose origin is the page's top-left.
void VXPrinterViewDrawRect(VXPrinterView* view, DrawContext* context, const double rect[4]);
VXWindowRecordTag* VXPrinterViewWindowRef(const VXPrinterView* view);
void VXPrinterViewSetWindowRef(VXPrinterView* view, VXWindowRecordTag* window);

// What a print window holds (none for other windows).
struct VXPrintWindowInfo {
    VXPrintRec* record;
    VXPrinterView* printerView;
    VXPrintProc proc;
    void* refcon;
};
bool VXGetPrintWindowInfo(VXWindowRecordTag* window, VXPrintWindowInfo* info);

// Prints through a temporary print window, as a job with the title (none: untitled). Options:
// kVXPrintShowPanel shows the print panel, kVXPrintResetScaling prints at the settings' scaling
// 1.0 (restored afterwards). 0 when printed, -128 when cancelled, -50 for a missing record or
// procedure or a printer failure, -54 when the output file cannot be written, -108 when the
// window cannot be made.
OSStatus VXRunPrintOperation(VXPrintRec* record, const char* title, uint32_t options, VXPrintProc proc,
                             void* refcon);

}  // namespace plexa
