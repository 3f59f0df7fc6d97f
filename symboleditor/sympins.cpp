// Pins, pin sets, pin numbers and section and symbol names in the symbol editor; see sympins.h.
#include "symboleditor/sympins.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/bitarray.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/elements.h"
#include "model/libitem.h"
#include "model/pindata.h"
#include "model/texts.h"
#include "symboleditor/symarea.h"
#include "symboleditor/symbolview.h"
#include "symboleditor/symrecord.h"

namespace plexa {

namespace {

NodeElement* AsNode(ElementRecord* e) { return ElementAs<NodeElement>(e); }

bool UsesCurrentSymbol(const SymbolEditorRecord* editor, const LibSection* section) {
    return editor->symbol >= 0 && section->symbolIndex == editor->symbol;
}

uint64_t SectionKey(const LibSection* section) { return uint64_t(reinterpret_cast<uintptr_t>(section)); }

// Calls `number` with (block, spec) for every pin number of the pin set in the walk that
// uniqueness checks make; stops when it returns true (the walk's result then).
template <class Visit>
bool WalkPinNumbers(SymbolEditorRecord* editor, int32_t pinSet, const ElementRecord* pin, Visit visit) {
    LibraryItem* item = editor->item;
    const NodePinEditor context = SymbolEditorPinContext(editor);
    for (int32_t i = 0; i < CountLibSymbolPins(item, pinSet, kLibHiddenPins); ++i)
        if (visit(item->stringBlock, GetLibItemPinNumber(item, nullptr, pinSet, i, nullptr))) return true;
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section;
         section = section->next) {
        if (UsesCurrentSymbol(editor, section)) {
            const bool current = section == editor->section && pinSet == editor->pinSet;
            for (ElementRecord* node : ViewPins(editor->elementLists[kSymbolViewPrimary])) {
                if (current && node == pin) continue;  // every other pin counts, before or after it
                char number[kPinTextSize];
                const StringSpec spec = GetNodesPinNumber(&context, AsNode(node)->pinNumbers,
                                                          SectionKey(section), pinSet, number);
                if (visit(editor->stringBlock, spec)) return true;
            }
        } else {
            for (int32_t i = section->pinCount - 1; i >= 0; --i)
                if (visit(item->stringBlock, GetLibSectionPinNumber(section, item->stringBlock, pinSet, i, nullptr)))
                    return true;
        }
    }
    return false;
}

// Gives each pin of the primary view, by index, what `make` makes in place of the reference it
// owned (freed with `destroy`); the alternate view's pin at the same place shares it.
template <class Make>
void ReplaceSharedReferences(SymbolEditorRecord* editor, Handle NodeElement::*field, void (*destroy)(Handle),
                             Make make) {
    const std::vector<ElementRecord*> primary = ViewPins(editor->elementLists[kSymbolViewPrimary]);
    const std::vector<ElementRecord*> alternate = ViewPins(editor->elementLists[kSymbolViewAlternate]);
    for (ElementRecord* pin : alternate) AsNode(pin)->*field = nullptr;
    for (size_t i = 0; i < primary.size(); ++i) {
        Handle& owned = AsNode(primary[i])->*field;
        if (owned) destroy(owned);
        owned = make(int32_t(i));
        if (i < alternate.size()) AsNode(alternate[i])->*field = owned;
    }
}

}  // namespace

std::vector<ElementRecord*> ViewPins(LinkListHeader* elements) {
    std::vector<ElementRecord*> pins;
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements)); e; e = e->next)
        if (e->kind == kElementNode) pins.push_back(e);
    return pins;
}

std::vector<TextRecord*> PinTexts(LinkListHeader* texts, const ElementRecord* pin, uint16_t kind) {
    std::vector<TextRecord*> found;
    for (auto* text = static_cast<TextRecord*>(LLFirst(texts)); text; text = text->link)
        if (text->owner == reinterpret_cast<intptr_t>(pin) &&
            (kind ? (text->kind & 0xC000) == kind : text->kind >= kTextKindPinNumber))
            found.push_back(text);
    return found;
}

NodePinEditor SymbolEditorPinContext(const SymbolEditorRecord* editor) {
    NodePinEditor context{};
    context.block = editor->stringBlock;
    context.section = SymbolEditorSectionKey(editor);
    context.pinSet = editor->pinSet;
    for (int32_t set = 0; set < kPinSetCount; ++set) context.pinSetUsed[set] = editor->pinSets[set] != 0;
    return context;
}

// ---- Pins of the two views ----

void AssignAlternateNodeLinks(SymbolEditorRecord* editor) {
    int32_t most = 0;
    for (LinkListHeader* list : editor->elementLists) {
        uint16_t link = 0;
        for (ElementRecord* pin : ViewPins(list)) AsNode(pin)->serial = link++;
        most = std::max<int32_t>(most, link);
    }
    editor->linkedPinCount = int16_t(most);
}

ElementRecord* GetCompanionNode(SymbolEditorRecord* editor, const ElementRecord* pin, int32_t viewOfPin) {
    if (!pin || pin->kind != kElementNode) return nullptr;
    const int32_t other = viewOfPin == kCurrentSymbolView ? editor->viewContext : 1 - viewOfPin;
    if (other < 0 || other > 1) return nullptr;
    const uint16_t link = ElementAs<NodeElement>(pin)->serial;
    for (ElementRecord* candidate : ViewPins(editor->elementLists[other]))
        if (candidate != pin && AsNode(candidate)->serial == link) return candidate;
    return nullptr;
}

bool HasAltSymbol(LinkListHeader* const elements[2]) {
    for (auto* e = static_cast<ElementRecord*>(LLFirst(elements[kSymbolViewAlternate])); e; e = e->next)
        if (e->kind != kElementNode) return true;
    return false;
}

int32_t CountSymbolEditorNodes(const SymbolEditorRecord* editor) {
    return int32_t(ViewPins(editor->elementLists[editor->viewContext]).size());
}

void DetachAlternatePins(SymbolEditorRecord* editor) {
    for (ElementRecord* pin : ViewPins(editor->elementLists[kSymbolViewAlternate])) {
        AsNode(pin)->pinData = nullptr;
        AsNode(pin)->pinNumbers = nullptr;
    }
}

void SetCtxPinText(SymbolEditorRecord* editor, uint16_t mark) {
    const NodePinEditor context = SymbolEditorPinContext(editor);
    for (LinkListHeader* texts : editor->textLists) {
        for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
            auto* text = static_cast<TextRecord*>(item);
            if ((text->kind & kTextKindPinAttribute) != mark || !text->owner) continue;
            auto* pin = reinterpret_cast<NodeElement*>(text->owner);
            char string[kPinTextSize] = "";
            if (mark == kTextKindPinNumber)
                GetNodesPinNumber(&context, pin->pinNumbers, 0, -1, string);
            else
                GetNodesPinName(pin->pinData, &context, string);
            SetTextRecordString(text, editor->stringBlock, string);
            CalcTextBounds(editor->window, text, editor->stringBlock);
        }
    }
}

void InstallPinNumbersInNodes(SymbolEditorRecord* editor) {
    LibraryItem* item = editor->item;
    if (item->head.kind != kLibItemComponent) return;
    ReplaceSharedReferences(editor, &NodeElement::pinNumbers, [](Handle h) { MemFree(h); },
                            [editor, item](int32_t pin) {
        Handle numbers = nullptr;
        for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section;
             section = section->next) {
            if (!UsesCurrentSymbol(editor, section)) continue;
            StringSpec specs[kLibPinSetCount];
            GetLibSectionPinNumberSet(section, pin, specs);
            (void)SetNodesPinNumberSet(&numbers, SectionKey(section), specs, item->stringBlock, editor->stringBlock);  // out of memory keeps the old numbers
        }
        return numbers;
    });
}

void InstallPinDataCopiesInNodes(SymbolEditorRecord* editor) {
    LibraryItem* item = editor->item;
    if (item->head.kind != kLibItemComponent) return;
    ReplaceSharedReferences(editor, &NodeElement::pinData, DestroyPinData, [editor, item](int32_t pin) {
        const uint32_t id = GetLibSymbolPinDataId(item, editor->pinSet, editor->symbol, pin);
        Handle copy = item->pinTable && id != 0xFFFFFFFF ? GetPinDataCopy(item->pinTable, int32_t(id)) : nullptr;
        if (copy && ChangePinDataStringBlock(copy, item->stringBlock, editor->stringBlock) != 0) {
            DestroyPinData(copy);
            copy = nullptr;
        }
        return copy;
    });
}

TextRecord* GetCompanionText(SymbolEditorRecord* editor, const TextRecord* text, int32_t viewOfText) {
    if (!text || text->kind < kTextKindPinNumber || !text->owner) return nullptr;
    const int32_t other = viewOfText == kCurrentSymbolView ? editor->viewContext : 1 - viewOfText;
    if (other < 0 || other > 1) return nullptr;
    ElementRecord* companion = GetCompanionNode(editor, reinterpret_cast<ElementRecord*>(text->owner), viewOfText);
    if (!companion) return nullptr;
    for (TextRecord* candidate : PinTexts(editor->textLists[other], companion))
        if ((candidate->kind & kTextKindPinAttribute) == (text->kind & kTextKindPinAttribute)) return candidate;
    return nullptr;
}

void DeleteSectionPinNumbersFromNodes(SymbolEditorRecord* editor, LibSection* section) {
    const NodePinEditor context = SymbolEditorPinContext(editor);
    for (ElementRecord* pin : ViewPins(editor->elementLists[kSymbolViewPrimary]))
        DeleteNodesPinNumber(&context, AsNode(pin)->pinNumbers, SectionKey(section));
}

// ---- Pin sets ----

void SetSymbolEditorPinSet(SymbolEditorRecord* editor, int32_t pinSet) {
    if (pinSet < 0 || pinSet >= kLibPinSetCount || pinSet == editor->pinSet) return;
    editor->pinSet = int16_t(pinSet);
    SetCtxPinText(editor, kTextKindPinNumber);
    InvalSymbolEditorView(editor, nullptr);
}

// ---- Pin numbers ----

bool IsPinNumberUnique(SymbolEditorRecord* editor, int32_t pinSet, const char* number,
                       const ElementRecord* pin) {
    return !WalkPinNumbers(editor, pinSet, pin, [number](StringBlock block, StringSpec spec) {
        char text[kStringSpecBufferSize];
        ExtractStringSpec(spec, block, text, sizeof text);
        return std::strcmp(text, number) == 0;
    });
}

void SetPinNumberUsed(BitArray table, StringBlock block, StringSpec spec) {
    char text[kStringSpecBufferSize];
    ExtractStringSpec(spec, block, text, sizeof text);
    if (!*text) return;
    int32_t value = 0;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9') return;
        value = value * 10 + (*c - '0');
        if (value >= kUsedPinNumberBits) return;
    }
    if (value >= 1) BitArraySet(table, value - 1);
}

BitArray BuildUsedPinNumberTable(SymbolEditorRecord* editor, int32_t pinSet, const ElementRecord* pin) {
    BitArray table = CreateBitArray(nullptr, kUsedPinNumberBits);
    if (!table) return nullptr;
    WalkPinNumbers(editor, pinSet, pin, [table](StringBlock block, StringSpec spec) {
        SetPinNumberUsed(table, block, spec);
        return false;
    });
    return table;
}

int32_t GetUniquePinNumber(SymbolEditorRecord* editor, BitArray* cache, int32_t pinSet,
                           const ElementRecord* pin, bool reserve) {
    BitArray table = cache ? *cache : nullptr;
    if (!table && !(table = BuildUsedPinNumberTable(editor, pinSet, pin))) return 0;
    if (cache) *cache = table;
    int32_t bit = reserve ? SetFirstClearBit(table) : FirstClearBit(table);
    if (!cache) DisposeBitArray(table);
    return bit < 0 ? 0 : bit + 1;
}

// ---- Sections and symbols ----

bool IsSectionDesignatorUnique(LibraryItem* item, const char* suffix) {
    for (auto* section = static_cast<LibSection*>(LLFirst(item->sections)); section;
         section = section->next) {
        char text[kLibItemTextSize];
        GetLibSectionSuffix(section, item->stringBlock, text);
        if (StrCINCmp(text, suffix, kLibItemTextSize) == 0) return false;
    }
    return true;
}

bool GetUniqueSectionDesignator(LibraryItem* item, char* designator) {
    for (int32_t n = 0; n < kSectionDesignatorCount; ++n) {
        if (n < 26) {
            designator[0] = char('A' + n);
            designator[1] = 0;
        } else {
            designator[0] = char('A' + (n - 26) / 26);
            designator[1] = char('A' + (n - 26) % 26);
            designator[2] = 0;
        }
        if (IsSectionDesignatorUnique(item, designator)) return true;
    }
    designator[0] = 0;
    return false;
}

void InstallDefaultSectionPinNumbers(SymbolEditorRecord* editor, LibSection* section) {
    LibraryItem* item = editor->item;
    for (int32_t set = 0; set < kLibPinSetCount; ++set) {
        if (!section->pinNumbers[set]) continue;
        BitArray cache = nullptr;
        for (int32_t pin = 0; pin < section->pinCount; ++pin) {
            if (GetLibSectionPinNumber(section, item->stringBlock, set, pin, nullptr)) continue;
            const int32_t number = GetUniquePinNumber(editor, &cache, set, nullptr, true);
            if (number <= 0) break;
            char text[16];
            std::snprintf(text, sizeof text, "%d", number);
            SetLibSectionPinNumber(section, item->stringBlock, set, pin, text);
        }
        if (cache) DisposeBitArray(cache);
    }
    if (UsesCurrentSymbol(editor, section)) InstallPinNumbersInNodes(editor);
}

void GetUniquePartSymbolName(LibraryItem* item, char* name) {
    for (int32_t n = 1;; ++n) {
        std::snprintf(name, kLibItemTextSize, "Part %d", n);
        bool taken = false;
        for (int32_t i = 0; i < item->head.symbolCount && !taken; ++i) {
            char existing[kLibItemTextSize];
            GetLibSymbolName(item, i, existing);
            taken = StrCINCmp(existing, name, kLibItemTextSize) == 0;
        }
        if (!taken) return;
    }
}

}  // namespace plexa
