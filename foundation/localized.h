// Localized strings: the application's texts, looked up by number in the project's own strings
// tables, the messages of status codes, and the folder of the project's resources.
//
// A strings table is the text file resources/strings/<table>.strings, UTF-8, one entry a line:
//     KEY = TEXT
// KEY is "STR_<id>" or "<id>,<index>". TEXT is the rest of the line after "=" and the blanks that
// follow it, without trailing blanks; in it "\n" is a line break, "\t" a tab, "\s" a space (to
// keep a leading or trailing one) and "\\" a backslash. Empty lines and lines starting with "#"
// are comments; a line without "=" is ignored; a later line for a key replaces an earlier one.
// Tables are read once, when first used.
//
// The resources folder is the program's (foundation/program.h), found once and kept until
// `ReloadStringsTables`.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

// The resources folder, empty when none exists.
std::string GetResourceDirectory();

// The name of the application's strings table, the first one looked up ("Application" unless the
// application names another). A name that is empty or holds a "/" is refused (false).
bool SetAppStringsTableName(const char* name);

// The text of a key, copied as UTF-8 into buffer and clipped at a character boundary to size - 1
// bytes. The key is "<id>,<index>" (the index as a 16-bit number) when the index's low 16 bits are
// not 0, else "STR_<id>". It is looked up in the application's table, then in "Framework". A key
// found in neither (or whose text is the key itself) leaves the buffer empty. Never fails.
char* VXLoadStringEx(int32_t id, int32_t index, char* buffer, uint32_t size);

// Forgets the tables read and the resources folder found, so that they are looked up again.
void ReloadStringsTables();

}  // namespace plexa
