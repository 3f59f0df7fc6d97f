// The shortcut groups' entries by index: the operations that the preferences dialog's shortcuts
// tab and the sheet editor's shortcut tools use on a group (gLibShortcuts, app/prefs.h, or a copy
// of one).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "app/prefs.h"

namespace plexa {

using ShortcutGroup = std::vector<Shortcut>;

// The index of the pair (item and library both equal), -1 when none.
int32_t FindExistingShortcut(const ShortcutGroup& group, const char* itemName, const char* libraryName);
// 0 when the pair is there already, else appends it and returns 1.
int32_t AddShortcutToGroup(ShortcutGroup& group, const char* itemName, const char* libraryName);
// Copies either or both names of the entry; false for an index out of range.
bool GetShortcutInfo(const ShortcutGroup& group, int32_t index, std::string* itemName, std::string* libraryName);
// Replaces the names given (a null name keeps the old one).
void SetIndexedShortcut(ShortcutGroup& group, int32_t index, const char* itemName, const char* libraryName);
void RemoveShortcutFromGroup(ShortcutGroup& group, int32_t index);
// Moves an entry of a list one place (direction -1 or +1), or to the first or last place;
// returns where it went (an index out of range stays as it is).
template <class T>
int32_t MoveListEntry(std::vector<T>& list, int32_t index, int32_t direction, bool toTheEnd) {
    if (index < 0 || index >= int32_t(list.size())) return index;
    const int32_t last = int32_t(list.size()) - 1;
    int32_t to = toTheEnd ? (direction < 0 ? 0 : last) : index + direction;
    to = to < 0 ? 0 : to > last ? last : to;
    T moved = std::move(list[size_t(index)]);
    list.erase(list.begin() + index);
    list.insert(list.begin() + to, std::move(moved));
    return to;
}
inline int32_t MoveShortcut(ShortcutGroup& group, int32_t index, int32_t direction, bool toTheEnd) {
    return MoveListEntry(group, index, direction, toTheEnd);
}

}  // namespace plexa
