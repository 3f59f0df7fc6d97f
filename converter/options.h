// The conversion options: the attribute name given to each of the 13 numbered text fields of a
// version-3.6 part, and four switches. They live from start-up to exit, are loaded from the
// user-defaults store at start-up and saved there whenever the options dialog ends with OK.
//
// User-defaults keys: "AttributeNameMap1" to "AttributeNameMap13" (strings; an empty entry is
// not stored, its key is removed), and "ConvertClassID", "ConvertDPI", "ConvertShowRefDes",
// "ConvertShowName" (integers: 2 on, 1 off; 0 or absent keeps the default; above 1 reads as on).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/stringblock.h"

namespace plexa {

constexpr int32_t kAttrNamesMapCount = 13;
constexpr int32_t kAttrNameValueEntry = 0;     // the entry that names a part's value
constexpr int32_t kAttrNameSecondEntry = 1;    // the entry of a part's second attribute text
constexpr int32_t kAttrNameSpiceEntry = 2;     // the entry that names a part's simulator line
constexpr int32_t kAttrNameClassIDEntry = 12;  // the entry that names a part's class id
constexpr int32_t kAttrNameMaxBytes = 64;      // what the options dialog lets be typed

// Entry k names field k + 1; the names live in the string block.
extern StringSpec gAttrNamesMap[kAttrNamesMapCount];
extern StringBlock gAttrNamesMapStringBlock;
extern uint8_t gConvertClassID;     // a part's class id becomes the attribute of entry 12
extern uint8_t gConvert96DPI;       // sheets are scaled from 72 to 96 units per inch
extern uint8_t gConvertShowRefDes;  // converted library symbols show their reference designator
extern uint8_t gConvertShowName;    // converted library symbols show their name

// The defaults: "Value", "User", "Spice", "U1" to "U9", "ClassID"; 96 dpi and reference
// designators on, class ids and names off. Makes the string block when there is none.
void SetDefaultConversionOptions();
void LoadConversionOptions();
void SaveConversionOptions();

// A copy of entry index; empty outside 0 to 12.
std::string GetMappedAttributeName(int32_t index);
// Replaces entry index with a non-empty name; false (nothing changed) for an empty name, an index
// outside 0 to 12, or when the string block cannot take it.
bool SetMappedAttributeName(int32_t index, const char* name);

// Cleans a typed attribute name in place: it ends at the first carriage return; every white-space
// character becomes "_" and every "~" a "^" (names beginning with "~" are the sheet model's own).
// Returns whether the result is not empty.
bool FixAttrNameString(char* text);

}  // namespace plexa
