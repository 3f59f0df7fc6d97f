// Font names and families for text styles: the global table of font names (interned, so
// that equal names get equal references and fonts compare by reference), the table of user
// interface font types, the platform's default families and sizes, and the installed font
// families in menu order. Each part is read from the platform when first used and fixed for the
// run: the default sizes and the references of the default families at the first
// GetDefaultFonts, the default families' names (which loads the platform's fonts) only when one
// of them is named or compared with another font, the installed families when first listed. A
// run that never measures or names text never loads fonts. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plexa {

struct TextFont;

// ---- Font-name table ----

// The reference of a name (0 for the empty name); names are kept whole, up to 255 bytes
// (cut at a character boundary).
uint32_t InternFontName(std::string_view name);
// The name of a reference; empty for 0 or an unknown reference.
std::string_view FontNameOf(uint32_t ref);
// Whether two references name the same font: a default family's reference and that of its
// name interned on its own are the same font.
bool SameFontName(uint32_t a, uint32_t b);

// ---- User interface fonts ----

// A name "<uifont_N>" stands for the platform's user interface font of type N (0 to 26).
constexpr int kUIFontTypeCount = 27;
constexpr std::string_view kUIFontPrefix = "<uifont_";

enum class UIFontRole : uint8_t { kUser, kFixed, kSystem };
struct UIFontType {
    const char* name;
    UIFontRole role;
    uint8_t size;  // the default size when the system font is 13 points
    bool bold;     // the type's own weight (emphasised kinds)
};
// The type's entry; null out of range.
const UIFontType* GetUIFontType(int32_t type);
// The type a font name stands for: the decimal number after the prefix; -1 when the name
// does not begin with the prefix.
int32_t UIFontTypeOfName(std::string_view name);
// The default size of a type in points, scaled to the platform's system size.
uint16_t UIFontDefaultSize(int32_t type);
// The font of a type at a size (0 for its default size), italic when asked; bold only by the
// type's own weight. Null for a type out of range. One reference.
TextFont* CreateUIFont(int32_t type, uint16_t size, bool italic);

// ---- Platform defaults ----

struct DefaultFonts {
    uint32_t userFamily;   // the default font
    uint32_t fixedFamily;
    uint32_t systemFamily;
    uint16_t userSize, systemSize, smallSystemSize;
};
// The defaults, their sizes read at the first call (no font is loaded for them).
const DefaultFonts& GetDefaultFonts();

// Reads the platform's installed families and the default families' names now rather than at
// their first use; a second call does nothing.
void InitFontTables();

// ---- Installed families ----

// The number of installed families.
int32_t VXCountFonts();
// The family at an index, with its UTF-8 name (up to 255 bytes, terminated) copied into
// name[256] when given; out of range: null and an empty name.
const std::u16string* VXGetIndexedFont(int32_t index, char* name);
// The index of the first family equal to the name without regard to case: the platform
// string when given, else the terminated UTF-8 name; -1 when none is.
int32_t VXGetFontIndexFromName(const char* name, const std::u16string* string);
// The same with the platform string first, as callers that have only a name give it
// (VXGetFontIndexFromName(nullptr, name)).
int32_t VXGetFontIndexFromName(const std::u16string* string, const char* name);

}  // namespace plexa
