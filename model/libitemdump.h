// A readable text of a library item, so that a test or a person can compare two items by text:
// its head, names, attributes, symbol definitions with their pins and their drawings read back
// into elements, texts and frames, packages, sections with their pin numbers, hidden pins and
// images. Points are written (h,v), horizontal first, as the sheet dump writes them; flags in
// hexadecimal and left out when zero. Drawings are played at (0, 0) through the measuring state;
// a drawing that does not play reads "unreadable".
#pragma once

#include <string>

namespace plexa {

struct LibraryItem;

std::string DumpLibraryItem(LibraryItem* item);

}  // namespace plexa
