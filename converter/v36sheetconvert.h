// The translation of a version-3.6 sheet (converter/v36sheet.h) into a current sheet record
// (model/sheet.h), and the conversion of one sheet into a file of the output project.
//
// What each stored record becomes:
//  - settings: the settings text (a counted string) becomes the sheet attribute "DrawingTitle"
//    when it is not empty; byte 3 of the settings block the grid snap, bytes 21, 22 and 23 whether
//    the grid, the rulers and the page breaks are shown, the word at 6 the grid spacing (scaled with
//    the sheet); both scope bytes are 2 and the sheet prints in colour; resolution 72 (96 once
//    scaled) and the bounds of the default page; the attribute "SheetNumber" is the sheet number
//    counted from 1;
//  - strings: every text goes through the sheet's own string block recoded from Mac Roman to
//    UTF-8 (the stored labels block is read, never adopted);
//  - symbols: each symbol's elements lie relative to its stored position, which is the symbol's
//    origin. A pin at the origin turns the drawing so that the pin points left (orientation 1 by
//    transformation 4, 4 by 1, 2 by 3) and the symbol is placed with the inverse turn. The drawing
//    is put into the canonical order of symbol views (pins first, in the order whose place is the
//    pin's node index) and entered in the sheet's symbol map, identical definitions shared. The
//    stored id becomes the serial number; a second symbol with an id already seen is a duplicate:
//    it gets a new serial number (serial numbers are unique in a sheet) and no pin traits. Flags
//    0x08, 0x04 and 0x02 become symbol flags 0x200, 0x8 and 0x80;
//  - sheet elements: the stored list reversed (the last stored first);
//  - styles: the stored list, its first style the sheet's text style and every text theme's;
//    sizes are those of 72 units per inch and are scaled once, with the sheet;
//  - texts by their stored kind code (converter/v36sheet.h lists the codes): pin numbers and
//    names of a symbol's pins; designators (kind 17, 23 for a symbol without pins), attribute
//    fields shown as "{name}" frames, free frames, symbol names (18; 21 for a duplicate), net labels
//    (1) owned by the signal of the wire link whose label word they carry, bus labels (2) owned by
//    the bus of the segment whose label word they carry, value-macro attributes (-7: the value is
//    escaped first and "\V" then becomes "{" + map entry 0 + "}"), part-field attributes (-8);
//  - busses: one bus wire per segment, its end pulled back by (1, 2) or (2, 1) unless the segment's
//    flags have 0x40; then the bus's wires are cleaned up and every bus split into its groups;
//  - nets: a signal per net whose node entries name a symbol's pin (a pin terminal) or a junction;
//    a wire per link; a dangling end gets a tail symbol (a local net symbol with one pin at its
//    origin and a stroke, placed on the end, turned along the wire's last segment) that owns the
//    link's labels; a link that ends on a bus gives its last segment to a break-out of the bus it
//    hits (a link of two corners keeps its segment and its break-out is the end itself). A net
//    without pins or wires gives its labels to the free texts;
//  - components: from the project-wide analysis (converter/v36parts.h) for a symbol of a part,
//    else a component of one section "A" named by the symbol's stored name whose reference prefix
//    and designator come from its designator text; pin numbers from pin-number texts, pin names and
//    types into the sheet's pin-data table;
//  - with the 96 dpi option the whole sheet is scaled from 72 to 96 units per inch
//    (ScaleConvertedSheet): wire ends stay on their pins, break-outs on their bus lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "converter/v36parts.h"
#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ImageList;
struct SheetRecord;
struct V36Sheet;
struct V36Symbol;

// A stored symbol's drawing as symbol display data, its pin traits in the order of the
// definition's pins (names and numbers empty), and the turn it is placed with.
struct V36SymbolView {
    std::string data;           // empty for a symbol without anything but pins
    std::vector<V36PinTrait> traits;
    uint32_t transform = 0;
};
// `from` holds the stored images; the data's images are added to `images`.
OSStatus BuildV36SymbolView(const V36Symbol& symbol, bool longHead, ImageList* from,
                            ImageList* images, V36SymbolView* view);

// Translates a read sheet (sheet number from 0) into a new sheet. Without project-wide data every
// symbol with pins gets a component of its own. On failure *out is null and nothing is kept.
OSStatus TranslateV36Sheet(const V36Sheet& old, int32_t sheetNumber, const V36ProjectData* parts,
                           SheetRecord** out);

// Writes a translated sheet into its file through the files layer's sheet writer (an existing file
// is replaced). A sheet beyond the file's limits is refused with the reason in `message`.
OSStatus WriteConvertedSheet(SheetRecord* sheet, const FileSpec* target, char* message, int32_t messageSize);

// Scales a translated sheet from `from` to `to` units per inch and sets its resolution.
OSStatus ScaleConvertedSheet(SheetRecord* sheet, int16_t to, int16_t from);

}  // namespace plexa
