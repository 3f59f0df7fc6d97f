// Annotation maps: the reference designators and slots of component and sheet symbols, kept per
// symbol serial number for every instance of a sheet, apart from the symbols themselves.
//
// Here only the lookups that placed symbols make: the maps themselves are not kept yet, so no
// symbol has an annotation and setting one changes nothing.
#pragma once

#include <cstdint>

namespace plexa {

struct SheetRecord;

// The designator (into a buffer of 256 bytes) and slot of a symbol in the sheet's current
// context; -1 and an empty text when it has none.
int32_t GetSymbolAnnotation(SheetRecord* sheet, uint32_t symbolId, char* text);
// Sets the designator (none removes it) and slot in the sheet's current context; 1 when that
// changed the annotation.
int32_t SetSymbolAnnotation(SheetRecord* sheet, uint32_t symbolId, const char* text, int32_t slot);

}  // namespace plexa
