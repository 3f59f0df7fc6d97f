// Placing and replacing symbols on a sheet.
#include "files/symbolplace.h"

#include <cstring>
#include <vector>

#include "files/instances.h"
#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "foundation/strings.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/fieldexpand.h"
#include "model/libitem.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "model/signalindex.h"
#include "model/symboldata.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/wires.h"

namespace plexa {

namespace {

SymbolPlaceHooks gHooks;

constexpr const char* kAttrLibrarySubSheet = "~~~SUB";
constexpr const char* kAttrPortLinkId = "~PID";

bool CanAutoAnnotate(SheetRecord* sheet, SymbolRecord* symbol) {
    if (gHooks.canAutoAnnotate) return gHooks.canAutoAnnotate(sheet, symbol);
    return !(symbol->flags & kSymbolFlagPort);
}

void UpdateHierarchy(ProjectRecord* project) {
    if (gHooks.updateProjectHierarchy) gHooks.updateProjectHierarchy(project, kHierarchySymbolsChanged);
}

bool Same(const char* a, const char* b) { return StrCINCmp(a, b, 0xFFFF) == 0; }

bool OwnedBy(const TextRecord* text, const SymbolRecord* symbol) {
    return text->owner == TextOwnerSerial(symbol->serial) && (text->kind >= kTextKindCompDesignator);
}

// The attribute name an attribute text shows ({Name} or {@Name}), empty when none.
void TextAttributeName(SheetRecord* sheet, const TextRecord* text, char* name) {
    char source[kTextStringSize];
    GetTextRecordMacroString(text, sheet->stringBlock, source, sizeof source);
    bool at = false;
    if (!ParseAttrTextName(source, int32_t(std::strlen(source)), name, kTextStringSize, &at)) name[0] = 0;
}

// The pin's name on the symbol (its number, or with byPinData its pin data's name) and its
// "~PID" value.
void SymbolPinNames(SheetRecord* sheet, SymbolRecord* symbol, int32_t node, bool byPinData, char* name,
                    char* linkId) {
    name[0] = 0;
    if (linkId) linkId[0] = 0;
    ComponentRecord* component = symbol->component;
    if (!component) return;
    char number[kCompTextSize];
    uint32_t pinDataId = kCompNoPinData;
    GetCompPinInfo(component, sheet->stringBlock, GetSymbolsPinSet(symbol),
                   uint16_t(GetSymbolSlotIndex(sheet, symbol)), node, number, &pinDataId);
    if (byPinData) {
        if (pinDataId != kCompNoPinData)
            GetIndexedPinDataName(sheet->pinDataTable, int32_t(pinDataId), sheet->stringBlock, name);
    } else {
        std::strcpy(name, number);
    }
    if (linkId && pinDataId != kCompNoPinData)
        if (Handle record = GetIndexedPinData(sheet->pinDataTable, int32_t(pinDataId)))
            if (GetPinDataAttribute(record, sheet->stringBlock, kAttrPortLinkId, linkId) < 0) linkId[0] = 0;
}

bool PinIsFree(SheetRecord* sheet, SymbolRecord* symbol, int32_t node) {
    return !GetConnectedSignal(sheet->signalList, symbol, uint16_t(node), nullptr, nullptr) &&
           !GetConnectedBuss(sheet->bussList, symbol, uint16_t(node), nullptr, nullptr);
}

// The free pin of the new symbol of the width that the old pin's name (first) or link id
// (second) names; -1 when none.
int32_t FindNewPin(SheetRecord* sheet, SymbolRecord* symbol, int32_t width, const char* name,
                   const char* linkId, bool byPinData) {
    const int32_t count = CountSymbolNodes(sheet, symbol);
    int32_t byLink = -1;
    for (int32_t node = 0; node < count; ++node) {
        if (GetNodeInstanceWidth(sheet, symbol, node) != width || !PinIsFree(sheet, symbol, node)) continue;
        char newName[kCompTextSize], newLink[kAttributeTextSize];
        SymbolPinNames(sheet, symbol, node, byPinData, newName, linkId ? newLink : nullptr);
        if (newName[0] && Same(newName, name)) return node;
        if (byLink < 0 && linkId && linkId[0] && Same(newLink, linkId)) byLink = node;
    }
    return byLink;
}

// Moves the wire's first end onto the new pin.
void MoveWireEnd(WireHandle wire, Point to, Rect* changed) {
    AddToUpdateRect(changed, (*wire)->bounds);
    SetWireCorner(wire, 0, to);
    RemoveExtraWireCorners(wire, changed);
    CalcWireBounds(wire);
    AddToUpdateRect(changed, (*wire)->bounds);
}

// Carries the old component's hidden-pin signal names over to a copy of the new component.
void CarryHiddenPinSignals(SheetRecord* sheet, SymbolRecord* oldSymbol, SymbolRecord* newSymbol) {
    ComponentRecord* oldComp = oldSymbol->component;
    ComponentRecord* newComp = newSymbol->component;
    if (!oldComp || !newComp || oldComp == newComp || !DoSymbolsHaveSimilarComps(sheet, oldSymbol, newSymbol))
        return;
    ComponentRecord* copy = DuplicateComponent(newComp);
    if (!copy) return;
    bool changed = false;
    for (int32_t set = 0; set < copy->pinSetCount; ++set) {
        const int32_t count = CountCompSymbolPins(copy, set, kCompHiddenPins);
        for (int32_t pin = 0; pin < count; ++pin) {
            uint32_t newId = kCompNoPinData;
            GetCompHiddenPinInfo(copy, sheet->stringBlock, set, pin, nullptr, &newId);
            if (newId == kCompNoPinData) continue;
            char name[kCompTextSize];
            GetIndexedPinDataName(sheet->pinDataTable, int32_t(newId), sheet->stringBlock, name);
            const int32_t oldPin = FindCompHiddenPin(oldComp, sheet->stringBlock, set < oldComp->pinSetCount ? set : 0,
                                                     true, sheet->pinDataTable, name);
            if (oldPin < 0) continue;
            uint32_t oldId = kCompNoPinData;
            GetCompHiddenPinInfo(oldComp, sheet->stringBlock, set < oldComp->pinSetCount ? set : 0, oldPin, nullptr,
                                 &oldId);
            Handle oldRecord = oldId == kCompNoPinData ? nullptr : GetIndexedPinData(sheet->pinDataTable, int32_t(oldId));
            Handle record = GetPinDataCopy(sheet->pinDataTable, int32_t(newId));
            if (!oldRecord || !record) {
                if (record) DestroyPinData(record);
                continue;
            }
            char signal[kCompTextSize];
            GetHiddenPinSignalName(oldRecord, sheet->stringBlock, false, signal);
            SetHiddenPinSignalName(record, sheet->stringBlock, signal);
            const int32_t id = AddPinDataToTable(sheet->pinDataTable, record);
            DestroyPinData(record);
            if (id < 0) continue;
            SetCompSymbolPinDataId(copy, set, kCompHiddenPins, pin, uint32_t(id));
            changed = true;
        }
    }
    if (!changed) {
        FreeComponent(copy);
        return;
    }
    copy->hash = 0;
    newSymbol->component = InstallCompInSheet(sheet, copy);
}

}  // namespace

void SetSymbolPlaceHooks(const SymbolPlaceHooks& hooks) { gHooks = hooks; }
const SymbolPlaceHooks& GetSymbolPlaceHooks() { return gHooks; }

// ---- Texts ----

LinkListHeader* DeleteSymbolsText(SheetRecord* sheet, SymbolRecord* symbol, uint32_t keepMask, Rect* changed) {
    if (!sheet || !symbol) return nullptr;
    for (auto frame = static_cast<TextFrameHandle>(LLFirst(sheet->textFrameList)); frame;) {
        auto next = static_cast<TextFrameHandle>(LLGetNext(sheet->textFrameList, frame));
        if ((*frame)->owner == symbol->serial) {
            if (changed) AddToUpdateRect(changed, (*frame)->bounds);
            LLRemoveOrFree(sheet->textFrameList, frame, nullptr, true);
        }
        frame = next;
    }
    LinkListHeader* kept = nullptr;
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;) {
        auto* next = static_cast<TextRecord*>(LLGetNext(sheet->textList, text));
        if (OwnedBy(text, symbol)) {
            uint32_t bit = 0;
            if (text->kind == kTextKindCompDesignator || text->kind == kTextKindDesignator) bit = kKeepDesignatorText;
            else if (text->kind == kTextKindSymbolName) bit = kKeepNameText;
            else if (text->kind == kTextKindSymbolAttribute) bit = kKeepAttributeText;
            else if (text->kind >= kTextKindPinAttribute) bit = kKeepPinAttributeText;
            if (changed) AddToUpdateRect(changed, text->bounds);
            const bool keep = (keepMask & bit) && (kept || (kept = CreateTextList()));
            LLRemoveOrFree(sheet->textList, text, nullptr, !keep);
            if (keep) LLAppend(kept, text);
        }
        text = next;
    }
    return kept;
}

TextRecord* GetMatchingNewText(SheetRecord* sheet, SymbolRecord* symbol, const TextRecord* oldText) {
    if (!sheet || !symbol || !oldText) return nullptr;
    const uint16_t kind = oldText->kind;
    const bool byKind = kind == kTextKindCompDesignator || kind == kTextKindSymbolName || kind == kTextKindDesignator;
    const bool byName = kind == kTextKindSymbolAttribute || kind >= kTextKindPinAttribute;
    if (!byKind && !byName) return nullptr;
    char oldName[kTextStringSize] = "";
    if (byName) TextAttributeName(sheet, oldText, oldName);
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;
         text = static_cast<TextRecord*>(LLGetNext(sheet->textList, text))) {
        if (text == oldText || !OwnedBy(text, symbol)) continue;
        if (byKind) {
            if (text->kind == kind) return text;
            continue;
        }
        if (kind == kTextKindSymbolAttribute ? text->kind != kind
                                             : (text->kind & 0xC000) != (kind & 0xC000))
            continue;
        char name[kTextStringSize];
        TextAttributeName(sheet, text, name);
        if (oldName[0] && Same(name, oldName)) return text;
    }
    return nullptr;
}

void InstallSymbolsText(SheetRecord* sheet, SymbolRecord* symbol, int32_t section, uint8_t placement,
                        Rect* changed) {
    if (!sheet || !symbol) return;
    SymbolMapEntry* entry = GetSymbolMapEntryPtr(sheet->symbolMap, GetSymbolMapId(symbol));
    if (!entry || !entry->definition) return;
    LinkListHeader* texts = CreateTextList();
    LinkListHeader* frames = CreateTextFrameList();
    if (!texts || !frames ||
        SymbolDataToElements(entry->definition, entry->size, nullptr, symbol->position, nullptr, texts, frames,
                             sheet->styleList, sheet->stringBlock, sheet) != 0) {
        if (texts) DestroyTextList(texts);
        if (frames) DestroyTextFrameList(frames);
        return;
    }
    const int32_t transform = int32_t(symbol->flags & kSymbolFlagTransform);
    TextRecord *name = nullptr, *designator = nullptr;
    std::vector<TextRecord*> installed;
    while (auto* text = static_cast<TextRecord*>(LLFirst(texts))) {
        const bool isName = text->kind == kTextKindSymbolName;
        const bool isDesignator = text->kind == kTextKindCompDesignator || text->kind == kTextKindDesignator;
        const bool further = (isName && name) || (isDesignator && designator);
        LLRemoveOrFree(texts, text, nullptr, further);  // a further one is freed
        if (further) continue;
        if (isName) name = text;
        if (isDesignator) designator = text;
        if (transform) TransformTextElement(text, nullptr, sheet->stringBlock, symbol->position, transform);
        text->owner = TextOwnerSerial(symbol->serial);
        CalcTextBounds(nullptr, text, sheet->stringBlock);
        LLAppend(sheet->textList, text);
        installed.push_back(text);
        if (changed) AddToUpdateRect(changed, text->bounds);
    }
    while (auto frame = static_cast<TextFrameHandle>(LLFirst(frames))) {
        LLRemoveOrFree(frames, frame, nullptr, false);
        if (transform) TransformTextFrame(frame, nullptr, symbol->position, transform);
        (*frame)->owner = symbol->serial;
        LLAppend(sheet->textFrameList, frame);
        if (changed) AddToUpdateRect(changed, (*frame)->bounds);
    }
    DestroyTextList(texts);
    DestroyTextFrameList(frames);
    if (gHooks.createSymbolTextItems) gHooks.createSymbolTextItems(sheet, symbol, placement, name, designator, changed);
    if (section >= 0 && section != 0xFFFF) SetSymbolInstancePinText(sheet, symbol, section);
    // A definition keeps a field reference as its source ("{Value}"), marked as a macro or not
    // (the symbol editor saves it unmarked): each new text is expanded in the sheet's context,
    // so that the placed symbol shows its own values.
    if (!installed.empty()) {
        DataContextChain* chain = BuildSheetContextChain(sheet, nullptr);
        for (TextRecord* text : installed)
            if (!(text->flags & kTextFlagMacro) && ExpandTextRecordMacros(sheet, text, chain, false))
                CalcTextBounds(sheet->window, text, sheet->stringBlock);
        DestroyDataCtxChain(chain);
    }
    RebuildMacroizedText(sheet, symbol, changed);
}

namespace {

// Lets every kept old text stand in for its counterpart among the new texts of the symbol.
void RestoreKeptTexts(SheetRecord* sheet, SymbolRecord* symbol, LinkListHeader* kept, Rect* changed) {
    if (!kept) return;
    const int32_t pins = CountSymbolNodes(sheet, symbol);
    while (auto* old = static_cast<TextRecord*>(LLFirst(kept))) {
        old->owner = TextOwnerSerial(symbol->serial);
        TextRecord* match = GetMatchingNewText(sheet, symbol, old);
        // A text of a pin the new symbol lacks goes.
        const bool lost = !match && (old->kind & 0xC000) && (old->kind & kTextKindNodeMask) >= pins;
        LLRemoveOrFree(kept, old, nullptr, lost);
        if (lost) continue;
        if (match) {
            old->text = match->text;
            old->macroText = match->macroText;
            old->flags = uint16_t((old->flags & ~kTextFlagMacro) | (match->flags & kTextFlagMacro));
            if (old->kind != kTextKindCompDesignator) SetTextElementPosition(old, GetTextElementPosition(match));
            if (changed) AddToUpdateRect(changed, match->bounds);
            LLRemoveOrFree(sheet->textList, match, nullptr, true);
            CalcTextBounds(nullptr, old, sheet->stringBlock);
        }
        LLAppend(sheet->textList, old);
        if (changed) AddToUpdateRect(changed, old->bounds);
    }
    DestroyTextList(kept);
}

}  // namespace

void ReplaceSymbolsText(SheetRecord* sheet, SymbolRecord* symbol, Rect* changed) {
    if (!sheet || !symbol) return;
    LinkListHeader* kept = DeleteSymbolsText(sheet, symbol, kKeepAllTexts, changed);
    InstallSymbolsText(sheet, symbol, GetSymbolSlotIndex(sheet, symbol), 0, changed);
    RestoreKeptTexts(sheet, symbol, kept, changed);
    RebuildMacroizedText(sheet, symbol, changed);
}

// ---- Placing ----

SymbolRecord* PlaceLibSymbolInstance(SheetRecord* sheet, Point position, uint32_t extraFlags,
                                     LibraryItem* item, int32_t nameIndex, int32_t packageIndex,
                                     int32_t symbolIndex, bool useAlternate, const char* sourceName,
                                     int32_t timeStamp, SymbolRecord* replaced, uint32_t options) {
    if (!sheet || !item || symbolIndex < 0 || symbolIndex >= item->head.symbolCount) return nullptr;
    StringBlock block = sheet->stringBlock;
    const bool asComponent = GetLibraryItemKind(item) == kLibItemComponent && LLFirst(item->sections);
    ComponentRecord* component = nullptr;
    int32_t ids[2] = {-1, -1};
    int32_t section = 0xFFFF;
    if (!asComponent) {
        if (AddLibItemSymbolsToSheet(sheet, item, nullptr, symbolIndex, ids) != 0) return nullptr;
    } else {
        if (!(component = AddLibComponentToSheet(item, sheet))) return nullptr;
        GetCompSymbolMapIds(component, symbolIndex, ids);
        section = GetFirstCompSectionUsingSymbol(component, symbolIndex, nullptr);
        if (section < 0) section = 0;
    }
    const bool alternate = useAlternate && ids[1] >= 0;
    if ((alternate ? ids[1] : ids[0]) < 0) return nullptr;
    SymbolRecord* symbol = CreateSymbol();
    if (!symbol) return nullptr;
    symbol->changeTime = timeStamp;
    symbol->libraryName = sourceName && *sourceName
                              ? OverlayStringBlock(block, sourceName, int32_t(std::strlen(sourceName)), nullptr)
                              : kNoLibraryName;
    symbol->component = component;
    symbol->position = position;
    symbol->mapId = ids[0];
    symbol->secondMapId = ids[1];
    symbol->flags = extraFlags ? extraFlags : GetLibSymbolFlags(item, symbolIndex);
    if (alternate) symbol->flags |= kSymbolFlagSecondMap;
    else symbol->flags &= ~kSymbolFlagSecondMap;
    AddSymbolToSheet(sheet, symbol);

    if (GetLibraryItemKind(item) == kLibItemComponent) {
        if (item->head.attributeCount > 0 && item->attributes) {
            int16_t count = item->head.attributeCount;
            if (Handle run = BuildTrackedAttributesTable(item->attributes, 0, &count, item->stringBlock, block)) {
                symbol->attributes = run;
                symbol->attributeCount = uint16_t(count);
            }
        }
        char subSheet[kLibItemTextSize] = "";
        if (symbol->flags & kSymbolFlagFileSymbol) {
            if (sourceName) std::snprintf(subSheet, sizeof subSheet, "%s", sourceName);
        } else {
            GetLibSymbolSheetName(item, symbolIndex, subSheet);
        }
        if (subSheet[0]) {
            SetSymbolAttribute(symbol, block, kAttrLibrarySubSheet, subSheet, nullptr);
            SetSymbolSheetName(symbol, block, subSheet);
            SetSheetModifiedStatus(sheet, kSheetChangeSubSheet);
        }
        char name[kLibItemTextSize];
        if (component) {
            symbol->kind.comp.symbol = uint8_t(symbolIndex);
            symbol->kind.comp.nameIndex = uint16_t(std::max(nameIndex, 0));
            int32_t package = packageIndex;
            if (package < 0) {
                package = GetLibraryItemNameInfo(item, nameIndex, nullptr);
                if (package >= component->packageCount) package = 0;
            }
            symbol->kind.comp.package = uint8_t(package);
        } else {
            char prefix[kLibRefPrefixSize];
            GetLibraryItemRefPrefix(item, prefix);
            SetSymbolRefPrefix(symbol, block, prefix);
            GetLibraryItemNameInfo(item, nameIndex, name);
            SetSymbolName(symbol, block, name);
        }

        // The designator: a new one, or the replaced symbol's.
        char designator[kSymbolTextSize] = "";
        int32_t slot = section;
        bool fresh = !replaced || (replaced->flags & kSymbolFlagPort);
        if (fresh) {
            if (CanAutoAnnotate(sheet, symbol)) GetUniqueSheetRefDes(sheet, symbol, designator, nullptr);
        } else {
            if (replaced->component) {
                slot = GetSymbolAnnotation(sheet, replaced->serial, designator);
                if (slot < 0 && component) slot = section;
            } else {
                GetSymbolRefName(replaced, block, designator);
                slot = 0xFFFF;
            }
            if (replaced->attributes) {
                SetSymbolAttribute(replaced, block, kAttrRefName, nullptr, nullptr);
                SetSymbolAttribute(replaced, block, kAttrNameName, nullptr, nullptr);
                int16_t count = int16_t(replaced->attributeCount);
                UpdateTrackedAttributes(symbol->attributes, 0, symbol->attributeCount, block, replaced->attributes, 0,
                                        &count, block, int32_t(options & kPlaceAttributeModeMask));
                replaced->attributeCount = uint16_t(count);
                std::swap(symbol->attributes, replaced->attributes);
                std::swap(symbol->attributeCount, replaced->attributeCount);
                if (!(symbol->flags & kSymbolFlagSheet)) {
                    const uint32_t before = symbol->flags & kSymbolFlagSubSheet;
                    char sub[kSymbolTextSize];
                    if (GetSymbolSheetName(symbol, block, sub)) symbol->flags |= kSymbolFlagSubSheet;
                    else symbol->flags &= ~kSymbolFlagSubSheet;
                    if ((symbol->flags & kSymbolFlagSubSheet) != before)
                        SetSheetModifiedStatus(sheet, kSheetChangeSubSheet);
                }
            }
        }
        if (!component) {
            if (designator[0]) SetSymbolRefName(symbol, block, designator);
        } else if (fresh) {
            if (designator[0]) SetSymbolAnnotation(sheet, symbol->serial, designator, slot);
        } else {
            ChangeAnnotationSymbol(sheet, replaced, symbol, true);
        }
        Rect area;
        VXSetEmptyRect(&area);
        InstallSymbolsText(sheet, symbol, component ? GetSymbolSlotIndex(sheet, symbol) : -1,
                           GetLibSymbolPlacementOptions(item, symbolIndex), &area);
        if (replaced && sheet->window && !VXEmptyRect(&area)) InvalSheetView(sheet, &area);
        if ((!replaced || !sheet->window) && sheet->project && !(options & kPlaceNoHierarchyUpdate))
            UpdateHierarchy(sheet->project);
    }
    SetSheetModifiedStatus(sheet, kSheetChangeContent);
    return symbol;
}

// ---- Replacing ----

SymbolRecord* ReplaceSymbol(SheetRecord* sheet, SymbolRecord* symbol, const SymbolSelection* selection,
                            bool matchPinNames, bool matchPortLinkIds, uint32_t options, Rect* changed) {
    if (!sheet || !symbol) return nullptr;
    SymbolSelection current{};
    if (!selection) {
        if (!gHooks.currentSelection || !gHooks.currentSelection(&current)) return nullptr;
        selection = &current;
    }
    if (!selection->item) return nullptr;
    if (selection->symbolIndex < 0 || selection->symbolIndex >= selection->item->head.symbolCount) return nullptr;
    // The library's flags with the old placement's transform; a symbol made from a child sheet
    // stays one.
    const uint32_t flags = (GetLibSymbolFlags(selection->item, selection->symbolIndex) & ~kSymbolFlagTransform) |
                           (symbol->flags & (kSymbolFlagTransform | kSymbolFlagFileSymbol));
    SymbolRecord* replacement = PlaceLibSymbolInstance(
        sheet, symbol->position, flags, selection->item, selection->nameIndex, -1, selection->symbolIndex,
        selection->alternate, selection->sourceName, selection->timeStamp, symbol, options);
    if (!replacement) return nullptr;
    StringBlock block = sheet->stringBlock;
    char oldSub[kSymbolTextSize], newSub[kSymbolTextSize];
    if (GetSymbolSheetName(symbol, block, oldSub) && GetSymbolSheetName(replacement, block, newSub) &&
        Same(oldSub, newSub))
        CopyInstanceTreesForSymbol(sheet, symbol->serial, replacement->serial);
    for (SymbolRecord* s : {symbol, replacement}) {
        Rect bounds;
        GetSymbolInstanceBounds(sheet, s, 1, &bounds);
        if (!VXEmptyRect(&bounds)) {
            VXInsetRect(&bounds, -12, -12);
            if (changed) AddToUpdateRect(changed, bounds);
        }
    }
    // Texts: the old ones stand in for their counterparts.
    RestoreKeptTexts(sheet, replacement, DeleteSymbolsText(sheet, symbol, kKeepAllTexts, changed), changed);
    RebuildMacroizedText(sheet, replacement, changed);

    CarryHiddenPinSignals(sheet, symbol, replacement);

    // Wires.
    bool regrouped = false;
    const int32_t pins = CountSymbolNodes(sheet, symbol);
    for (int32_t node = 0; node < pins; ++node) {
        const int32_t width = GetNodeInstanceWidth(sheet, symbol, node);
        WireHandle wire = nullptr;
        uint16_t index = 0xFFFF;
        SignalHandle signal = nullptr;
        BussHandle buss = nullptr;
        if (width == 1) signal = GetConnectedSignal(sheet->signalList, symbol, uint16_t(node), &wire, &index);
        else buss = GetConnectedBuss(sheet->bussList, symbol, uint16_t(node), &wire, &index);
        if ((!signal && !buss) || !wire) continue;
        if ((*wire)->end0 != index) ReverseWire(wire);
        char name[kAttributeTextSize], linkId[kAttributeTextSize];
        SymbolPinNames(sheet, symbol, node, matchPinNames, name, matchPortLinkIds ? linkId : nullptr);
        int32_t newPin = -1;
        if (name[0] && replacement->component)
            newPin = FindNewPin(sheet, replacement, width, name, matchPortLinkIds ? linkId : nullptr, matchPinNames);
        if (newPin >= 0) {
            Point to;
            GetNodeInstancePoint(sheet, replacement, newPin, &to);
            if (signal) {
                SignalPins(signal)[index].serial = replacement->serial;
                SignalPins(signal)[index].node = uint16_t(newPin);
                NoteSignalChange(signal, kSignalChangedPins);
            } else {
                BussTerminals(buss)[index].serial = replacement->serial;
                BussTerminals(buss)[index].node = uint16_t(newPin);
            }
            MoveWireEnd(wire, to, changed);
            if (signal) {
                CalcSignalBounds(signal);
                InvalidateSignalJunctions(signal);
            } else {
                CalcBussBounds(buss);
            }
            continue;
        }
        if (signal) {
            if (changed) AddToUpdateRect(changed, (*wire)->bounds);
            TransferWireLabels(signal, kTextKindSignal, sheet->textList, nullptr, wire, kTransferWireLabels, changed);
            RemoveWireFromSignal(signal, wire, true);
            NoteSignalChange(signal, kSignalChangedPins);
            RegroupSignal(signal, sheet->signalList, sheet->textList, nullptr, sheet, changed);
            regrouped = true;
        } else {
            DeleteBussPinTerminal(buss, index);
            CleanupBussWires(buss, nullptr);
            PurgeEmptyBuss(buss, sheet->bussList, sheet->textList, nullptr, changed);
        }
    }
    if (regrouped) PurgeUnusedBreakOuts(sheet->breakOutTable, sheet->signalList);
    return replacement;
}

}  // namespace plexa
