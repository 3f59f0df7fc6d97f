// The sheet's kept set of its selected items (model/sheetselected.h).
#include "model/sheetselected.h"

#include <cstdio>
#include <cstdlib>
#include <unordered_set>

#include "foundation/ll.h"
#include "model/busses.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"

namespace plexa {

namespace {

struct Kept {
    LinkListHeader* list = nullptr;
    uint32_t version = 0;
    uint32_t clock = 0;
    bool walked = false;
    std::vector<void*> items;           // in the order noted, each once
    std::unordered_set<void*> noted;    // the same items, for the test of a second note

    bool InStep(LinkListHeader* l) const {
        return walked && l && list == l && version == l->version && clock == SheetItemPlaceClock();
    }
};

bool AnyWireSelected(WireList wires) {
    for (WireHandle w = FirstWire(wires); w; w = NextWire(wires, w))
        if ((*w)->flags & kWireFlagSelected) return true;
    return false;
}

}  // namespace

struct SheetSelectedItems {
    Kept kinds[kSheetItemKinds];
};

bool IsSheetItemSelected(SheetItemKind kind, void* item) {
    switch (kind) {
        case SheetItemKind::kSymbol: return static_cast<SymbolRecord*>(item)->flags & kSymbolFlagSelected;
        case SheetItemKind::kText: return static_cast<TextRecord*>(item)->flags & kTextFlagSelected;
        case SheetItemKind::kTextFrame: return (*static_cast<TextFrameHandle>(item))->flags & kFrameFlagSelected;
        case SheetItemKind::kElement: return static_cast<ElementRecord*>(item)->flags & kElementSelected;
        case SheetItemKind::kSignal: {
            auto s = static_cast<SignalHandle>(item);
            if (AnyWireSelected((*s)->wires)) return true;
            const SignalPinEntry* pins = SignalPins(s);
            for (int32_t i = 0; i < (*s)->pinCount; ++i)
                if (pins[i].flags & kPinEntrySelected) return true;
            return false;
        }
        case SheetItemKind::kBuss: {
            auto b = static_cast<BussHandle>(item);
            if (AnyWireSelected((*b)->wires)) return true;
            const BussTerminal* terminals = BussTerminals(b);
            for (int32_t i = 0; i < (*b)->terminalCount; ++i)
                if (terminals[i].flags & 0x01) return true;
            return false;
        }
    }
    return false;
}

void NoteSheetItemSelected(SheetRecord* sheet, SheetItemKind kind, void* item) {
    if (!sheet || !item || !sheet->selectedItems) return;
    Kept& k = sheet->selectedItems->kinds[size_t(kind)];
    // Out of step, the next question walks the list and finds the item by its mark.
    if (!k.InStep(SheetItemList(sheet, kind))) return;
    if (k.noted.insert(item).second) k.items.push_back(item);
}

void SheetSelectedItemsOf(SheetRecord* sheet, SheetItemKind kind, std::vector<void*>* out) {
    out->clear();
    LinkListHeader* list = sheet ? SheetItemList(sheet, kind) : nullptr;
    if (!list) return;
    if (!sheet->selectedItems) sheet->selectedItems = new SheetSelectedItems;
    Kept& k = sheet->selectedItems->kinds[size_t(kind)];
    if (!k.InStep(list)) {
        k.items.clear();
        k.noted.clear();
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
            if (IsSheetItemSelected(kind, item)) {
                k.items.push_back(item);
                k.noted.insert(item);
            }
        k.list = list;
        k.version = list->version;
        k.clock = SheetItemPlaceClock();
        k.walked = true;
        *out = k.items;
        return;
    }
    // The items whose marks were cleared since they were noted go now.
    size_t kept = 0;
    for (void* item : k.items) {
        if (IsSheetItemSelected(kind, item)) {
            k.items[kept++] = item;
        } else {
            k.noted.erase(item);
        }
    }
    k.items.resize(kept);
    *out = k.items;
#if defined(PLEXA_SANITIZE)
    size_t walked = 0;
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
        if (IsSheetItemSelected(kind, item)) ++walked;
    if (walked != kept) {
        std::fprintf(stderr, "the kept selection of kind %d holds %zu items where its list has %zu selected\n",
                     int(kind), kept, walked);
        std::abort();
    }
#endif
}

void ForgetSheetSelectedItems(SheetRecord* sheet, SheetItemKind kind) {
    if (!sheet || !sheet->selectedItems) return;
    Kept& k = sheet->selectedItems->kinds[size_t(kind)];
    k.items.clear();
    k.noted.clear();
}

void RetakeSheetSelectedItems(SheetRecord* sheet) {
    if (!sheet || !sheet->selectedItems) return;
    for (Kept& k : sheet->selectedItems->kinds) k.walked = false;
}

void DestroySheetSelectedItems(SheetRecord* sheet) {
    if (!sheet) return;
    delete sheet->selectedItems;
    sheet->selectedItems = nullptr;
}

bool SheetSelectedItemsInStep(SheetRecord* sheet) {
    if (!sheet || !sheet->selectedItems) return true;
    for (int32_t n = 0; n < kSheetItemKinds; ++n) {
        const auto kind = SheetItemKind(n);
        LinkListHeader* list = SheetItemList(sheet, kind);
        const Kept& k = sheet->selectedItems->kinds[n];
        if (!k.InStep(list)) continue;  // the next question walks
        for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
            if (IsSheetItemSelected(kind, item) && !k.noted.count(item)) return false;
    }
    return true;
}

}  // namespace plexa
