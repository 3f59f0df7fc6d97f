// Printing on the desktop platform: print settings (paper, orientation, margins, scaling, the
// printer or PDF file), their stored archive, the page-layout panel, and the print operation
// that asks a view for its pages and has it draw each one into the printer's context.
//
// Units are printer points (1/72 inch), y-down from the paper's top-left corner.
//
// Print settings archive (bytes; the same in either byte order): UTF-8 text lines
//     PlexaPrintSettings 1
//     paper=<width>x<height>       portrait paper size in points, each 1..100000
//     orientation=portrait|landscape
//     margins=<top>,<left>,<bottom>,<right>   in points, each >= 0, leaving paper inside
//     scaling=<factor>             0.01..100
//     paginate=0|1, center=0|1
//     printer=<name>, output=<PDF file path>   "%XX" escapes for '%', CR, LF and NUL
// Unknown keys are skipped; a later line for a key replaces an earlier one; anything malformed
// (a bad number, a value out of range, a missing "=", a wrong first line, a newer version, more
// than 64 KB) makes the archive unreadable.
//
// The printer's unprintable insets come from the printer named in the settings (the default
// printer when none is named); printing to a PDF file has none. Tests replace them with
// `TestSetPrinterInsets`, and answer the panels through `TestSetPageLayoutAnswer` and
// `TestSetPrintPanelAnswer`, so that nothing waits for a person.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace plexa {

class DrawContext;
struct PlatformPrintSettings;

// New settings: a copy of the process's shared settings (A4, or Letter where the locale measures
// in inches; portrait; no margins; scaling 1; the default printer). Never null.
PlatformPrintSettings* PlatformPrintSettingsCreate();
PlatformPrintSettings* PlatformPrintSettingsCopy(const PlatformPrintSettings* settings);
void PlatformPrintSettingsDestroy(PlatformPrintSettings* settings);

struct PlatformPaperGeometry {
    double paperWidth, paperHeight;  // oriented
    double imageableX, imageableY, imageableWidth, imageableHeight;
};
void PlatformPrintSettingsGeometry(const PlatformPrintSettings* settings,
                                   PlatformPaperGeometry* out);
// Portrait paper size in points; orientation.
void PlatformPrintSettingsSetPaper(PlatformPrintSettings* settings, double width, double height,
                                   bool landscape);
bool PlatformPrintSettingsIsLandscape(const PlatformPrintSettings* settings);
// The same paper turned the other way or back (margins kept within it).
void PlatformPrintSettingsSetLandscape(PlatformPrintSettings* settings, bool landscape);
// Margins top, left, bottom, right in points; each kept within the paper.
void PlatformPrintSettingsGetMargins(const PlatformPrintSettings* settings, double margins[4]);
void PlatformPrintSettingsSetMargins(PlatformPrintSettings* settings, const double margins[4]);
double PlatformPrintSettingsScaling(const PlatformPrintSettings* settings);
// Clamped to 0.01..100.
void PlatformPrintSettingsSetScaling(PlatformPrintSettings* settings, double factor);
void PlatformPrintSettingsSetPagination(PlatformPrintSettings* settings, bool paginate,
                                        bool center);
// The PDF file printed into (empty: the printer) and the printer's name (empty: the default).
void PlatformPrintSettingsSetOutputFile(PlatformPrintSettings* settings, const std::string& path);
std::string PlatformPrintSettingsOutputFile(const PlatformPrintSettings* settings);
void PlatformPrintSettingsSetPrinter(PlatformPrintSettings* settings, const std::string& name);

// The archive of the settings (see above), and settings read from one (null when malformed).
std::string PlatformPrintSettingsArchive(const PlatformPrintSettings* settings);
PlatformPrintSettings* PlatformPrintSettingsUnarchive(const void* bytes, size_t length);

// The page-layout panel, modal, on the settings (paper, orientation); true when confirmed, the
// settings then changed.
bool PlatformRunPageLayoutPanel(PlatformPrintSettings* settings);

// What the print operation asks of the view it prints. Rectangles are in view points.
struct PlatformPrintView {
    void* refcon = nullptr;
    // The number of pages (1 when the view cannot tell).
    int32_t (*pageCount)(void* refcon) = nullptr;
    // Page n's rectangle (x, y, width, height), n from 1.
    void (*rectForPage)(void* refcon, int32_t page, double rect[4]) = nullptr;
    // Draws the page whose rectangle is given into the context, whose origin (in points) is the
    // page's top-left corner: the view places its own coordinates.
    void (*drawRect)(void* refcon, DrawContext* context, const double rect[4]) = nullptr;
    // The job's title (a PDF file's title): empty for none.
    std::string title;
};

// Prints the view's pages with the settings: each page's rectangle is laid at the top-left
// margin of its sheet of paper and clipped to its size. With the panel the user (or the test
// seam) may cancel or choose the printer or a PDF file. 0 when printed, -128 when cancelled,
// -54 when the output file cannot be written, -50 when the printer fails.
int32_t PlatformRunPrintOperation(PlatformPrintSettings* settings, bool showPanel,
                                  const PlatformPrintView& view);

// ---- Test seam ----
// Printer insets (top, left, bottom, right) in points for every printer; null: the printers' own.
void TestSetPrinterInsets(const double* insets);
// Answers the page-layout panel: the procedure may change the settings and returns whether the
// panel was confirmed. Null: the real panel.
using PlatformPanelAnswer = bool (*)(PlatformPrintSettings* settings, void* refcon);
void TestSetPageLayoutAnswer(PlatformPanelAnswer answer, void* refcon);
// Answers the print panel the same way (it may set an output file).
void TestSetPrintPanelAnswer(PlatformPanelAnswer answer, void* refcon);
// The printers' own insets and the real panels again (between tests).
void TestResetPrinting();

}  // namespace plexa
