// Entries of a shortcut group by index.
#include "app/shortcutgroups.h"

namespace plexa {

namespace {
bool InRange(const ShortcutGroup& group, int32_t index) { return index >= 0 && index < int32_t(group.size()); }
}  // namespace

int32_t FindExistingShortcut(const ShortcutGroup& group, const char* itemName, const char* libraryName) {
    if (!itemName || !libraryName) return -1;
    for (size_t i = 0; i < group.size(); ++i)
        if (group[i].item == itemName && group[i].library == libraryName) return int32_t(i);
    return -1;
}

int32_t AddShortcutToGroup(ShortcutGroup& group, const char* itemName, const char* libraryName) {
    if (!itemName || !libraryName || FindExistingShortcut(group, itemName, libraryName) >= 0) return 0;
    group.push_back({itemName, libraryName});
    return 1;
}

bool GetShortcutInfo(const ShortcutGroup& group, int32_t index, std::string* itemName, std::string* libraryName) {
    if (!InRange(group, index)) return false;
    if (itemName) *itemName = group[size_t(index)].item.substr(0, 255);
    if (libraryName) *libraryName = group[size_t(index)].library.substr(0, 255);
    return true;
}

void SetIndexedShortcut(ShortcutGroup& group, int32_t index, const char* itemName, const char* libraryName) {
    if (!InRange(group, index)) return;
    if (itemName) group[size_t(index)].item = itemName;
    if (libraryName) group[size_t(index)].library = libraryName;
}

void RemoveShortcutFromGroup(ShortcutGroup& group, int32_t index) {
    if (InRange(group, index)) group.erase(group.begin() + index);
}

}  // namespace plexa
