// The property-name lists and their pop-up.
#include "sheeteditor/propertynames.h"

#include <algorithm>
#include <cstring>

#include "foundation/strings.h"
#include "toolkit/vx_menus.h"

namespace plexa {

PropertyNamesList gPropertyNamesTable[kPropertyNamesKinds];

namespace {

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Names are looked up as attribute names are: without regard to case.
bool SameName(const std::string& a, const char* b) {
    const size_t n = std::strlen(b);
    return a.size() == n && (n == 0 || StrCINCmp(a.c_str(), b, uint16_t(std::min<size_t>(n, UINT16_MAX))) == 0);
}

}  // namespace

void AppendPropertyNames(PropertyNamesList* list, const char* name) {
    if (!list) return;
    if (!name) {
        list->emplace_back();
        return;
    }
    if (!*name) return;
    // A name the list holds (in any case) stays where it is; a new one goes after the last.
    if (std::none_of(list->begin(), list->end(), [&](const std::string& held) { return SameName(held, name); }))
        list->emplace_back(name);
}

void AppendPropertyNames(int32_t kind, const char* name) {
    if (kind < 0 || kind >= kPropertyNamesKinds || !name) return;
    AppendPropertyNames(&gPropertyNamesTable[kind], name);
}

std::string GetIndexedPropertyName(const PropertyNamesList* list, int32_t index) {
    if (!list || index < 0 || index >= int32_t(list->size())) return {};
    return (*list)[size_t(index)];
}

void SetIndexedPropertyName(PropertyNamesList* list, int32_t index, const char* name) {
    if (!list || index < 0 || index >= int32_t(list->size())) return;
    (*list)[size_t(index)] = name ? name : "";
}

void DeleteIndexedPropertyName(PropertyNamesList* list, int32_t index) {
    if (!list || index < 0 || index >= int32_t(list->size())) return;
    list->erase(list->begin() + index);
}

void CleanupPropertyNamesList(PropertyNamesList* list) {
    if (!list) return;
    std::erase_if(*list, [](const std::string& name) { return std::all_of(name.begin(), name.end(), Blank); });
}

VXMenuRecord* CreatePropertyNamesMenu(int32_t kind) {
    if (kind < 0 || kind >= kPropertyNamesKinds) return nullptr;
    VXMenuRecord* menu = VXNewMenu(kPropertyNamesMenuId, "");
    if (!menu) return nullptr;
    const PropertyNamesList& list = gPropertyNamesTable[kind];
    const int32_t n = std::min<int32_t>(int32_t(list.size()), kMaxPropertyNamesMenuItems);
    for (int32_t i = 0; i < n; i++)
        VXInsertMenuItem(menu, true, i + 1, uint16_t(kPropertyNamesFirstCommand + i), list[size_t(i)].c_str());
    return menu;
}

}  // namespace plexa
