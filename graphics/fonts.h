// Font names and families for text styles: the global table of font names (interned, so
// that equal names get equal references and fonts compare by reference), the table of user
// interface font types, the platform's default families and sizes, and the installed font
// families in menu order. All of it is set up once by InitFontTables (from VXInitStyles) and
// fixed for the run; main thread only.
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

// ---- Platform defaults (valid after InitFontTables; 0 before) ----

struct DefaultFonts {
    uint32_t userFamily;   // the default font
    uint32_t fixedFamily;
    uint32_t systemFamily;
    uint16_t userSize, systemSize, smallSystemSize;
};
const DefaultFonts& GetDefaultFonts();

// Reads the platform's families and default fonts; a second call does nothing.
void InitFontTables();

// ---- Installed families ----

// The number of installed families (0 before InitFontTables).
int32_t VXCountFonts();
// The family at an index, with its UTF-8 name (up to 255 bytes, terminated) copied into
// name[256] when given; out of range: null and an empty name.
const std::u16string* VXGetIndexedFont(int32_t index, char* name);
// The index of the first family equal to the name without regard to case: the platform
// string when given, else the terminated UTF-8 name; -1 when none is.
int32_t VXGetFontIndexFromName(const char* name, const std::u16string* string);

}  // namespace plexa
