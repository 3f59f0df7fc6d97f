// The user-defaults store: integer, string and byte-block values under UTF-8 keys, kept in a plain
// settings file in the user's config folder ($XDG_CONFIG_HOME/Orvix/Plexa.conf). Every change is
// written through at once, so another process (or the next run) reads it.
#pragma once

#include <cstdint>
#include <string>

namespace plexa {

// The settings file in use.
std::string DefaultsFilePath();
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
