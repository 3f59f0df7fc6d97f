// Catalogue printing of a library: every item's main symbol drawn in a framed box with its names
// below, the boxes packed in item order onto pages of 108 x 58 point tiles, and the caption
// "LIBRARY CATALOG:  " with the library's name at the foot of each page. Printing goes through the
// toolkit's print operation (to a printer, or to a PDF file that the print record names). The
// library print record lives for the whole run and is shared by all library editors.
//
// Placing: a box is scaled down (to a whole percentage, at least 1) when it is larger than the
// page allows, then put at the first free block of tiles, row by row from the top. An item whose
// box finds no room even on an empty page is left out of the catalogue alone; the items after it
// are placed as usual.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"
#include "toolkit/vx_print.h"

namespace plexa {

struct LibEditorItemRef;
struct LibEditorRecord;
struct LibraryItem;
struct LinkListHeader;
struct VXPrintRec;
struct VXWindowRecordTag;
struct txStyle;

constexpr int16_t kCatalogueTileWidth = 108, kCatalogueTileHeight = 58;
constexpr uint32_t kCatalogueResolution = 84;
constexpr int32_t kCatalogueMargin = 20;          // points, on every side
constexpr int32_t kCatalogueNameStyle = 27, kCatalogueCaptionStyle = 29;
constexpr int32_t kCatalogueMaxNameLines = 8;
constexpr const char* kCatalogueCaption = "LIBRARY CATALOG:  ";
constexpr const char* kCatalogueOthers = "and %d others";

struct CatalogueEntry {
    LibEditorItemRef* ref;
    Rect bounds;          // of the first symbol's main drawing
    uint16_t nameCount;
    uint16_t page;        // 0 until assigned
    uint16_t spare;
};

struct TileArea {
    BitArray tiles;       // bit column + columns x row
    int16_t tileHeight;
    int16_t tileWidth;
    int16_t rows;
    int16_t columns;
};

struct CatalogueRecord {
    LibEditorRecord* editor;
    std::vector<CatalogueEntry> entries;
    txStyle* textStyle;          // default style 27, for the names
    TileArea area;
    Rect box;                    // being placed
    double scale;                // of the box being placed
    uint16_t pageCount;          // 0 until counted
    uint16_t currentPage;
    int16_t captionBandHeight;
    int16_t captionBaseline;     // the offset until the run begins, then the baseline's y
    int16_t nameLineHeight;
    int16_t nameLinesHeight;     // of the box being placed
    char libraryName[256];
};

// The library print record, made on first use (margins of 20 points, 84 dots per inch); none
// when it cannot be made.
VXPrintRec* GetLibPrintRecord();
void DisposeLibPrintRecord();

// Prints the catalogue (options of VXRunPrintOperation: the print panel by default, none to
// print straight to the print record's destination); 0, or the failure (reported, a cancel excepted). A library whose items
// have no symbols prints nothing (and 0).
OSStatus PrintLibrary(LibEditorRecord* editor, uint32_t options = kVXPrintShowPanel);
// The page setup dialog on the library print record; true when confirmed.
bool LibraryPageSetup();

// Fills the record's entries and measures its styles (without printing); false when there is
// nothing to print. The record is emptied with DisposeCatalogueRecord.
bool PrepareCatalogue(LibEditorRecord* editor, CatalogueRecord* record);
void DisposeCatalogueRecord(CatalogueRecord* record);
// The print operation's page procedure (see toolkit/vx_print.h).
uint32_t PrintLibraryHook(VXWindowRecordTag* window, VXPrintRec* printRecord, int32_t operation,
                          void* data, void* refcon);
// Sets up the tile area and caption for a page rectangle (operation -1).
void BeginCatalogueRun(CatalogueRecord* record, const LRect* page);
// Counts the pages (operation 0).
uint16_t CountCataloguePages(CatalogueRecord* record);
// Places the entries of the current page (0: the unassigned ones, which then get the next page
// number); with a window they are drawn. The number placed.
int32_t ArrangeItemsOnPage(CatalogueRecord* record, VXWindowRecordTag* window);
void RenderOneItemToPage(VXWindowRecordTag* window, const CatalogueEntry* entry, const Rect* box,
                         CatalogueRecord* record);
// The whole-percent scale of a box of that size with that many name lines on the page (1.0 when
// it fits), at least 1 percent.
int32_t CatalogueBoxPercent(const CatalogueRecord* record, const Rect* bounds, int32_t nameCount);

// The text of name line `line` (from 0) below an entry's box, in a buffer of 256 bytes: the
// item's name, or on the last of 8 lines of an item with more names "and %d others".
void GetCatalogueNameLine(const CatalogueRecord* record, const CatalogueEntry* entry, int32_t line,
                          char* out);

// Pin texts: names and numbers filled in, attribute texts hidden.
void SetupSymbolText(LibraryItem* item, LinkListHeader* elements, LinkListHeader* texts,
                     StringBlock block);
void PrintLibrarySymbol(LibraryItem* item, LinkListHeader* elements, LinkListHeader* texts,
                        LinkListHeader* frames, StringBlock block);

// ---- Tile area ----

// Sizes the grid to the page rectangle and clears it; the bits, none when memory fails.
BitArray BuildTileArea(TileArea* area, int16_t tileWidth, int16_t tileHeight, const Rect* page);
void DisposeTileArea(TileArea* area);
void ClearTileArea(TileArea* area);
void SetTileRect(TileArea* area, const Rect* rect, bool mark);
void SetTileState(TileArea* area, int32_t column, int32_t row, bool on);
bool TileState(const TileArea* area, int32_t column, int32_t row);
// First-fit: true with the box centred in the first free block of tiles that holds it.
bool PlaceRectInArea(const TileArea* area, Rect* box);

}  // namespace plexa
