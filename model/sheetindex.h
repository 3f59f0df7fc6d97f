// The spatial index of a sheet's items, so that hit tests, area selection and the culling of the
// drawing cost what lies near the question, not what the whole sheet holds.
//
// One index per sheet (`SheetRecord::itemIndex`), made on the first question and freed with the
// sheet. It covers six kinds of items by their bounds: placed symbols (the graphics with and
// without pins), texts, text frames, graphic elements, signals and busses (by the union of their
// wires). Each kind is a uniform grid of cells over the item bounds, grown by a margin, in the
// order of its list; an item that spans very many cells is kept once, aside, and offered to every
// question.
//
// The index only narrows: a question gets the items whose indexed bounds may meet the area, in
// their list's order, and the caller tests each candidate exactly as a walk of the whole list
// would. So a question answered through the index gives what the walk gives, item for item and in
// the same order, as long as the index is in step with the sheet.
//
// Keeping it in step: a kind is rebuilt on its next question when its list was replaced or its
// list's version moved (an item linked, unlinked or reordered), or when the item-place clock
// moved. The model bumps the clock (NoteSheetItemPlaces) wherever it changes where an item is or
// how large it is: symbol transforms, bounds of texts, text frames, elements and busses computed
// again to something else, offsets, the symbol map's purge; the sheet editor bumps it in its own
// direct moves of symbols; and every modified-status report (SetSheetModifiedStatus, and the
// editor's handler of it) bumps it. The clock is one for the program, so a change anywhere marks
// every sheet's index for a rebuild, which costs one walk of the lists on the next question.
//
// Nets are the exception where they can be: a change known by the net it happened to is reported
// by identity (NoteSheetNetChanged), and the index that holds the net places it again on its next
// question, at a cost that does not grow with the sheet. A signal's bounds computed again report
// their signal; a wire's bounds or place changed inside a net scope (SheetNetScope) report the nets
// of the open scopes; a wire changed outside any scope moves the clock, since nothing says which
// net holds it. Nets placed again are kept beside the grid's cells until they are many (a fraction
// of the list), and then the kind is rebuilt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "foundation/rectmath.h"

namespace plexa {

struct SheetRecord;
struct SheetItemIndex;
struct LinkListHeader;

enum class SheetItemKind : uint8_t { kSymbol, kText, kTextFrame, kElement, kSignal, kBuss };
constexpr int32_t kSheetItemKinds = 6;

// The sheet's list that holds the items of the kind.
LinkListHeader* SheetItemList(const SheetRecord* sheet, SheetItemKind kind);

// Something moved, grew, shrank or changed its definition somewhere: every index rebuilds the
// kinds it is asked about next.
void NoteSheetItemPlaces();
uint32_t SheetItemPlaceClock();
// The same when an item's bounds computed again differ from what they were.
inline void NoteSheetItemBounds(const Rect& before, const Rect& after) {
    if (before.top != after.top || before.left != after.left || before.bottom != after.bottom ||
        before.right != after.right)
        NoteSheetItemPlaces();
}

// A net (SignalHandle or BussHandle) whose bounds or wires changed: the index that holds it
// places it again on its next question; the others ignore it.
void NoteSheetNetChanged(const void* net);
// A wire's bounds or place changed: inside net scopes, a change of their nets; outside, the clock.
void NoteSheetWireChanged();
inline void NoteSheetWireBounds(const Rect& before, const Rect& after) {
    if (before.top != after.top || before.left != after.left || before.bottom != after.bottom ||
        before.right != after.right)
        NoteSheetWireChanged();
}

// While a scope is open, every wire the model changes belongs to its net, to the net of an outer
// scope, or to no listed net yet (a wire being made): wire changes are reported as changes of the
// open scopes' nets, and the net is reported once more when the scope closes (wires linked into
// or unlinked from its list change its box without a bounds computation). Scopes nest; a null net
// opens none.
class SheetNetScope {
public:
    explicit SheetNetScope(const void* net);
    ~SheetNetScope();
    SheetNetScope(const SheetNetScope&) = delete;
    SheetNetScope& operator=(const SheetNetScope&) = delete;

private:
    friend void NoteSheetWireChanged();
    const void* net_;
    SheetNetScope* outer_ = nullptr;
    uint64_t noted_ = 0;  // the question count when the net was last reported, 0 for never
};

// The items of the kind whose indexed bounds may meet the area (both edges included), in list
// order: symbols as SymbolRecord*, texts as TextRecord*, elements as ElementRecord*, frames,
// signals and busses as their handles. Sheet symbols are offered to every question (their ports
// may stand outside their bounds). `out` is cleared first.
void SheetItemsMeeting(SheetRecord* sheet, SheetItemKind kind, const Rect& area, std::vector<void*>* out);

// Whether the sheet's list of the kind holds the item. When the kind's index is built and in step
// it answers by the item's identity (the first such question after a rebuild pays one pass over
// the indexed items); otherwise it walks the list.
bool SheetListHolds(SheetRecord* sheet, SheetItemKind kind, const void* item);

// The area around a point that a hit test with this reach looks at.
Rect SheetReachArea(Point point, int32_t reach);

void DestroySheetItemIndex(SheetRecord* sheet);

// Test support: whether a kind of the sheet's index is built and in step (no rebuild due).
bool SheetItemIndexInStep(SheetRecord* sheet, SheetItemKind kind);
// Test support: what SheetItemsMeeting answers from a grid built now from the lists, leaving the
// sheet's own index as it is.
void SheetItemsMeetingRebuilt(SheetRecord* sheet, SheetItemKind kind, const Rect& area, std::vector<void*>* out);
// The heap bytes the sheet's index holds now (for the benchmarks' memory figures).
size_t SheetItemIndexBytes(const SheetRecord* sheet);

}  // namespace plexa
