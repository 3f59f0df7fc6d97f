// The conversion of version-3.6 libraries: each item (converter/v36library.h) becomes a current
// library item (model/libitem.h) written into a new library file, "Converted Libraries (Plexa)/
// NAME.LBX" beside the source (converter/output.h).
//
// An item becomes:
//  - a component named by its directory entry (recoded from Mac Roman, as every text is), with
//    the reference prefix "U" when its string block holds anything;
//  - one symbol definition "Part 1": its drawing is the item's elements (scaled from 72 to 96
//    units per inch with that option), the texts below and the frames below, put into the
//    canonical order of symbol views (pins first, by kind, top, left, height, width; a pin's index
//    is its place in that order) and stored relative to the pin nearest (0, 0) (without pins, the
//    top-left corner of the drawing); a pin-data id per pin, each pin's record of its pin type and
//    name; symbol flag 128 from bit 1 of the item's flags; placement options 1 (show the name)
//    and 2 (show the designator) from the options, or-ed with what the texts ask for;
//  - one section "A" with a pin number per pin in pin set 0.
// Its texts, by their stored kind code:
//    > 0   names the pin whose node value it is: the section's pin number (flags byte A 0x40) or
//          the pin-data name; it stays in the drawing as that pin's number or name text. A code
//          that names no pin is dropped.
//    -1    a text frame (flags byte A 0x40), else the designator text (kind 17; 23 without pins)
//    -2    the attribute named by map entry 1 (flags byte A 0x10) or 0, shown by a frame "{name}"
//    -3    a free frame: a macro text rewritten by ConvertMacroString shows the rewritten text;
//          otherwise "\N..." (any case) shows "{Name}" and the item its name, "\Lprefix" gives
//          the item the prefix and shows "{RefDes}" and the designator
//    -4    the symbol-name text (kind 18)
//    -7    the attribute of map entry 2, its "\V" made "{" + map entry 0 + "}"
//    -8    the "Footprint" attribute and the numbered field attributes (converter/v36translate.h)
//    other a free text element (kind 0)
// Attribute values are escaped (EscapeAttributeValue). A frame's flags: flags byte A 0x04 or 0x08
// rotation 1, 0x02 rotation 2; a text's flags: ConvertV36TextFlags, and a macro text that
// ConvertMacroString rewrites keeps the rewritten macro.
//
// Styles: the item's style list is the first style (the default one, which an item has no use
// for) and then the styles its texts name. A text's style index counts the list as stored, the
// first style included: index 1 is the second stored style and the last index the last one; an
// index the list does not hold takes the first style (and an empty list the default style). The
// sizes are of 72 units per inch in items of either byte order; with the 96 dpi option every text
// and frame, and its style's size, is scaled once with the drawing.
// A non-zero class id becomes, with that option, the attribute named by map entry 12.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/heap.h"
#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct LibraryFileRecord;
struct LibraryItem;
struct StreamRecord;
struct V36LibItem;
struct V36LibraryEntry;

// The current item of a read item. On failure *item is null (-108, or a failure of the model's
// item functions).
OSStatus TranslateV36LibItem(const V36LibItem& old, const V36LibraryEntry& entry, LibraryItem** item);

// Reads the entry's item, translates it, flattens it and writes it into the open library as a
// new item.
OSStatus TranslateLibraryItem(StreamRecord* stream, MemPool pool, const V36LibraryEntry& entry,
                              LibraryFileRecord* library);

// Converts the library file: 0 with nothing made for a library of no items; else the new library
// is written under a pending name and takes its name when complete (output.h), its items in
// directory order. A failing item ends the conversion: the items written before it are kept (the
// new library takes its name when it holds any), and the failure is returned. When asked:
// *written counts the items written, *items the items the library holds, *output is the path of
// the library file written (empty when none). A libraries folder made for a library that was not
// written is removed again.
OSStatus ConvertV36LibraryFile(const FileSpec* source, uint32_t* written, uint32_t* items = nullptr,
                               std::string* output = nullptr);

}  // namespace plexa
