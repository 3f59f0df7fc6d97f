// Print records: one document's page setup (the platform's print settings, the resolution at
// which the document is laid out, the margins it asks for and the scale from layout units to
// printer points), its page metrics, the page-setup dialog, the printer nesting depth, and the
// stored form that sheets, projects and libraries keep in their files.
//
// Stored print record (through a stream; longs in the stream's order, swapped on read when the
// stream swaps):
//   u32 length L              0 = no print record, nothing follows
//   u32 tag                   'CCP2' (0x43435032)
//   L - 4 bytes               archive of the print settings (platform/print_platform.h)
//   u32 own length n          20 when written
//   n bytes                   u32 resolution, i32 margins top, left, bottom, right (72 dpi);
//                             only the first 20 bytes are read, longs in the stream's order
// Older forms met on reading: L = 120 (a fixed record of 116 bytes after its tag), and the tags
// 'CBPM' and 'CCPI': their bodies are skipped and the read fails with kPrintRecordOldKind.
//
// A reader trusts nothing: a length or own length beyond the data ends the read with -39; an
// archive that does not read back, or a stored resolution above 65535, leaves the record's
// defaults and gives kPrintRecordOldKind with the stream after the whole record (a record that
// cannot be used, as an older kind). A stored resolution of 0 means 72.
#pragma once

#include <cstdint>

#include "foundation/da.h"
#include "foundation/rectmath.h"
#include "foundation/types.h"

namespace plexa {

struct StreamRecord;
struct PlatformPrintSettings;

constexpr uint32_t kPrintRecordTag = 0x43435032;      // 'CCP2'
constexpr uint32_t kPrintRecordTagOldBPM = 0x4342504D;  // 'CBPM'
constexpr uint32_t kPrintRecordTagOldCPI = 0x43435049;  // 'CCPI'
constexpr uint32_t kPrintRecordOldLength = 120;
constexpr OSStatus kPrintRecordBadTag = 0x20002C24;
constexpr OSStatus kPrintRecordOldKind = 0x20002C26;
constexpr OSStatus kPrinterNotOpen = -30870;
constexpr uint32_t kPrintRecordMaxResolution = 65535;

struct VXPrintRec {
    PlatformPrintSettings* printInfo;  // owned; null only while a record is being built
    DAArray pageData;                  // the printing code's cached pages, or null
    double scale;                      // printer points per layout unit
    uint32_t resolution;               // dots per inch of the layout
    int32_t margins[4];                // requested: top, left, bottom, right in 72-dpi units
};

// All in layout units (printer points divided by the scale, rounded).
struct VXPrintingMetrics {
    int32_t pageWidth, pageHeight;
    int32_t marginTop, marginLeft, marginBottom, marginRight;  // the actual margins
    int32_t insetTop, insetLeft, insetBottom, insetRight;      // the printer's unprintable insets
};

// A record with new print settings at the resolution (0: 72); -108 with *record null when it
// cannot be allocated.
OSStatus VXCreatePrintRecordEx(VXPrintRec** record, uint32_t resolution);
void VXDestroyPrintRecord(VXPrintRec* record);
// Drops the cached page data; true when the record has print settings.
bool VXValidatePrintRecord(VXPrintRec* record);
// Both return the resolution now in force. A factor that is not a positive number changes nothing.
uint32_t VXSetApplicationPrintDPI(VXPrintRec* record, uint32_t resolution);
uint32_t VXSetApplicationPrintScaling(VXPrintRec* record, double factor);
void VXSet72DpiPrintMargins(VXPrintRec* record, int32_t top, int32_t left, int32_t bottom,
                            int32_t right);
// The page's orientation: landscape or portrait, the paper kept.
bool VXIsPrintLandscape(const VXPrintRec* record);
void VXSetPrintLandscape(VXPrintRec* record, bool landscape);
// The platform's page-layout panel on the record's settings; true when confirmed.
bool VXRunPageSetupDialog(VXPrintRec* record);
// False (and all zero) for a record without print settings.
bool VXGetPrintingMetrics(const VXPrintRec* record, VXPrintingMetrics* metrics);
// The page size (vertical, horizontal), in layout units (scaled, rounded) or printer points
// (truncated); clamped to 16 bits, the 32-bit size too when asked.
Point VXGetPrinterPageSize(const VXPrintRec* record, bool scaled, _LPNT* size32);
// Sets the settings' margins to the larger of the requested margin and the printer's inset.
void UpdateActualMargins(VXPrintRec* record);
// Recomputes the scale from the resolution and the settings' scaling factor.
void VXUpdatePrintScale(VXPrintRec* record);

// *record always holds a record after the call (the defaults when the read fails); the caller
// destroys it.
OSStatus VXReadPrintRecord(StreamRecord* stream, VXPrintRec** record);
OSStatus VXWritePrintRecord(StreamRecord* stream, const VXPrintRec* record);

OSStatus VXOpenPrinter();
OSStatus VXClosePrinter();
int32_t VXGetPrinterDepth();

}  // namespace plexa
