// Copying sheet objects from one sheet record to another, as the clipboard's Copy (sheet to clip)
// and Paste (clip to sheet) both need it: placed symbols with their components, symbol-map entries
// and pin data; texts and frames with their styles; elements with their images; and the strings
// of all of them when the two records keep different string blocks.
#pragma once

#include <cstdint>
#include <map>
#include <vector>
#include <unordered_map>

#include "foundation/ll.h"
#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;
struct SymbolRecord;
struct ComponentRecord;
struct TextRecord;
struct TextFrameRecord;
struct ElementRecord;
struct LinkListHeader;
struct WireRecord;
using WireHandle = WireRecord**;

// The marks of the clipboard's marking rules on a sheet's objects.
constexpr uint32_t kSymbolFlagMarked = 0x2000000;
constexpr uint16_t kSignalFlagHasMarked = 0x0008;  // some wires marked
constexpr uint16_t kSignalFlagWhole = 0x0010;      // marked as a whole
constexpr uint8_t kBussFlagMarked = 0x01;
constexpr uint16_t kBreakOutMarked = 0x0004;

// The item after `item` of a list, or its first item for none.
template <class T>
T* ListNext(LinkListHeader* list, T* item) {
    return static_cast<T*>(item ? LLGetNext(list, item) : LLFirst(list));
}

// The coordinate on the nearest grid line (grids below 2 leave it as it is).
int32_t SnapToGrid(int32_t v, int32_t grid);

// A clip's record: a sheet whose string block is a byte copy of the source's (so that the copied
// string specs stay valid). Null when memory fails.
SheetRecord* CreateClipContent(SheetRecord* source);
// True when the record holds a symbol, element, text, frame or buss.
bool ClipHasContent(SheetRecord* content);

// The symbols of a list by serial number, for lookups that would otherwise walk the list once
// per wire end.
class SymbolIndex {
public:
    explicit SymbolIndex(LinkListHeader* symbols);
    SymbolRecord* Find(uint32_t serial) const;
    void Add(SymbolRecord* symbol);
    // The symbol and node of a wire end that is a terminal of its owner (a signal, or a buss for a
    // buss wire); null otherwise.
    SymbolRecord* WireEnd(WireHandle wire, void* owner, int32_t end, uint16_t* node, uint32_t* serial = nullptr) const;

private:
    std::unordered_map<uint32_t, SymbolRecord*> bySerial_;
};

// One copy of objects from one record to another.
struct SheetItemCopier {
    SheetRecord* from;
    SheetRecord* to;
    bool moveStrings;  // the records keep different strings
    std::map<ComponentRecord*, ComponentRecord*> components;
    std::vector<ComponentRecord*> added;  // the components new to the destination, in order

    ComponentRecord* Component(ComponentRecord* component);
    // A copy of the symbol for the destination (not linked, deselected), or null.
    SymbolRecord* Symbol(const SymbolRecord* symbol);
    TextRecord* Text(const TextRecord* text);
    TextFrameRecord** Frame(TextFrameRecord** frame);
    ElementRecord* Element(const ElementRecord* element);
    int32_t MapId(int32_t id);
};

// Copies the marked and selected objects of the sheet into the clip record, moved by offset.
void CopyMarkedItems(SheetRecord* sheet, SheetRecord* clip, Point offset);

}  // namespace plexa
