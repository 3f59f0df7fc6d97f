// The five lists of attribute names offered by the attribute editors, one per kind of object that
// carries attributes: each a list of names, unique as attribute names are (case is ignored), in
// the order they were added. The preferences
// own their stored form and their defaults (app/prefs_lists.cpp); this module owns the lists and
// the names pop-up built from one of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexa {

struct VXMenuRecord;

enum PropertyNamesKind : int32_t {
    kComponentNames = 0,
    kPinNames = 1,
    kSignalNames = 2,
    kSheetNames = 3,
    kProjectNames = 4,
    kPropertyNamesKinds = 5
};

using PropertyNamesList = std::vector<std::string>;
extern PropertyNamesList gPropertyNamesTable[kPropertyNamesKinds];

// The names pop-up: a menu id of its own (the pin-type and line-width pop-ups use 7900) and item
// commands 7901 + index, at most kMaxPropertyNamesMenuItems of them so that no item reaches the
// font-name commands at 8000.
constexpr uint16_t kPropertyNamesMenuId = 7899;
constexpr uint16_t kPropertyNamesFirstCommand = 7901;
constexpr int32_t kMaxPropertyNamesMenuItems = 8000 - kPropertyNamesFirstCommand;

// Adds the name after the last of the list of that kind unless the list holds it already, in any
// case (as an attribute list's name search finds it); a null name appends an empty entry.
void AppendPropertyNames(int32_t kind, const char* name);
void AppendPropertyNames(PropertyNamesList* list, const char* name);
// The name at the index, or "" beyond the end.
std::string GetIndexedPropertyName(const PropertyNamesList* list, int32_t index);
void SetIndexedPropertyName(PropertyNamesList* list, int32_t index, const char* name);
void DeleteIndexedPropertyName(PropertyNamesList* list, int32_t index);
// Drops every entry whose name is empty once blanks are trimmed.
void CleanupPropertyNamesList(PropertyNamesList* list);
// A pop-up with one item per name of the list of that kind, or none for a kind outside 0 to 4.
// The caller destroys it (VXDestroyMenuEx).
VXMenuRecord* CreatePropertyNamesMenu(int32_t kind);

}  // namespace plexa
