// The user-defaults store: integer, string and byte-block values under UTF-8 keys, kept in a plain
// settings file named after the application in the program's settings folder, beside the
// editor's preferences file ($XDG_CONFIG_HOME/plexa/Plexa.conf). Every change is written through
// at once, so another process (or the next run) reads it. A file that an earlier version kept in
// $XDG_CONFIG_HOME/Orvix/ is moved to the settings folder when the store is first opened and
// none is there yet (once: afterwards the old place holds none).
#pragma once

#include <cstdint>
#include <string>

namespace plexa {

// The settings file in use, and the place where earlier versions kept it.
std::string DefaultsFilePath();
std::string DefaultsOldFilePath();
// Forgets the open store so that the next call reads the file again (after the config folder
// changed, or to see another process's writes).
void DefaultsReload();

void DefaultsSetInt(const char* key, int32_t value);
bool DefaultsGetInt(const char* key, int32_t* value);
void DefaultsSetString(const char* key, const std::string& value);
bool DefaultsGetString(const char* key, std::string* value);
void DefaultsSetBytes(const char* key, const void* bytes, size_t length);
bool DefaultsGetBytes(const char* key, std::string* bytes);
bool DefaultsHasKey(const char* key);
void DefaultsRemove(const char* key);

}  // namespace plexa
