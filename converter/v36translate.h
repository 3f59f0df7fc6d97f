// The rules by which records of version-3.6 files become current records, as the sheet and the
// library translations share them: graphic elements, text styles, text flags and anchor points,
// macro texts, attribute values and the fields of part-field texts. Texts of version-3.6 files are
// Mac Roman; every text these rules hand on is UTF-8.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "converter/v36sheet.h"
#include "foundation/ll.h"
#include "foundation/rectmath.h"
#include "foundation/stringblock.h"
#include "foundation/types.h"

namespace plexa {

struct ElementRecord;
struct ImageList;
struct LinkListHeader;
struct txStyle;
using TextStyleList = LinkListHeader;

// ---- Strings ----

// Mac Roman bytes as UTF-8.
std::string V36Text(const void* bytes, size_t length);
// The string of a spec of a version-3.6 string block, as UTF-8; empty for spec 0 or a spec the
// block does not hold.
std::string V36BlockText(StringBlock block, StringSpec spec);
// A counted Mac Roman string (a length byte, then the bytes) as UTF-8; empty for none.
std::string V36CountedText(const uint8_t* counted);

// ---- Graphic elements ----

// The element a stored element becomes (kinds 1 to 9), from the element pool:
//  - lines and arrows join the bounds' two corners, the other kinds span the bounds (an image
//    element takes them as its rectangle); the words at 30 and 32 are an arrow's head length and
//    half-angle (the default arrow of the pen width when the length is 0), the corner sizes of a
//    rounded rectangle and the angles of an arc;
//  - flags byte A bit 0 fills it; flags byte B gives element flags 16 (bit 2) and 8 (bit 3) and
//    says whether the frame (bit 5) and fill (bit 4) colours are its own;
//  - a node (a pin) has pen width 1 and, with `withPinData`, a pin-data record of its pin type
//    (TranslatePinType of its pin flags);
//  - an image takes its image from `from` (by the index at 30) into `to`, one reference; an index
//    that names no image leaves the element without one (-1).
// Null for another kind (status 0) or when memory fails (-108).
ElementRecord* BuildV36Element(const V36Element& element, ImageList* from, ImageList* to,
                               bool withPinData, OSStatus* status);

// The rectangle of an element's two defining points (lines, arrows and pins join them).
Rect V36DefiningRect(const ElementRecord* e);
// The canonical order of a symbol view's elements: pins first, then by kind; within a kind (and
// among pins) by top, left, height and width. With keepGraphics only the pins are ordered.
bool V36ElementBefore(const ElementRecord* a, const ElementRecord* b, bool keepGraphics);

// The items of a list, in order.
template <class T>
std::vector<T> V36ListItems(LinkListHeader* list) {
    std::vector<T> items;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) items.push_back(static_cast<T>(item));
    return items;
}

// The text with every "\\V" (either case) replaced by `with`: how a part's simulator line names
// its value.
std::string V36ReplaceValueMacro(const std::string& text, const std::string& with);

// A drawing while it is built: its element, text and frame lists, text styles, strings and
// images, all freed with it.
struct V36Drawing {
    ImageList* images = nullptr;
    LinkListHeader* elements = nullptr;
    LinkListHeader* texts = nullptr;
    LinkListHeader* frames = nullptr;
    TextStyleList* styles = nullptr;
    StringBlock block = nullptr;

    // Makes the lists, styles, string block and images; false when any could not be made.
    bool Make();
    V36Drawing() = default;
    V36Drawing(const V36Drawing&) = delete;
    V36Drawing& operator=(const V36Drawing&) = delete;
    ~V36Drawing();
};

// ---- Text styles ----

// The styles of a stored list, in their stored order, each installed in `into` (equal styles share
// one entry): the font name (recoded), the size (the stored size; 0 keeps the default), the face
// from bits 0-1 of the face value with its bit 4 moved to bit 2. With `adjustSizes` every size is
// taken from 72 to 96 units per inch as the sheets of other platforms' writers need
// (AdjustStyleSizes). The value at 12 has no place in a current style and is dropped. False when
// memory fails (what was installed stays in the list).
bool BuildV36TextStyles(const V36StyleList& list, bool adjustSizes, TextStyleList* into,
                        std::vector<txStyle*>* styles);

// ---- Texts ----

// Text flags from flags byte A: 0x20 hidden (8); 0x04 and 0x08 rotation 1; 0x02 rotation 2.
uint16_t ConvertV36TextFlags(uint8_t flagsA);
// The anchor point of a text from its stored bounds and its style's ascent, by its rotation (the
// low two bits of its new flags): 0 (top + ascent, left), 1 (top, right - ascent),
// 2 (bottom - ascent, right), 3 (bottom, left + ascent).
Point CalcTextBaseLineFromV6Bounds(const Rect& bounds, int16_t ascent, uint16_t rotation);

// Rewrites the macros of a version-3.6 macro text, without regard to case, every occurrence:
// "\DATS" {SheetModified}, "\DATL" {SheetModifiedEx}, "\SHT#" {SheetNumber}, "\TOT#" {SheetCount},
// "\FILE" {SheetFile}, "\PROJ" {ProjectFile}; the result is cut to 255 bytes at a character
// boundary. True when something was rewritten.
[[nodiscard]] bool ConvertMacroString(const std::string& text, std::string* out);

// An attribute value as it is stored: "{", the back-quote and "!" get a backslash before them;
// a text of more than 254 bytes has them replaced instead, by "(", "'" and "~".
std::string EscapeAttributeValue(const std::string& value);

// ---- Part-field texts ----

constexpr int32_t kSymbolFieldCount = 14;
using StringFields = std::array<std::string, kSymbolFieldCount>;

// The symbol fields of a part-field text: each two-letter key and "{" (in index order "SH{",
// "PN{", "SP{", "HT{", "ED{", "U1{" to "U9{"), found anywhere without regard to case, gives the
// text up to the next "}" (its case kept); a key that is absent gives an empty field.
StringFields ExtractStringFields(const std::string& text);
// The footprint of the fields: none for an empty field 0; field 0 beginning "\F." (any case) as it
// is but with "\F" upper case; else field 0 cut to 128 bytes followed by each non-empty field of
// 1 to 3 (trimmed, at most 40 bytes), behind as many tabs as it lies fields after the last
// non-empty one.
std::string BuildFootprintString(const StringFields& fields);
// The attribute name of field i: the two-letter key for 0 to 4, else map entry i - 2.
std::string GetStringFieldInfo(int32_t index);

}  // namespace plexa
