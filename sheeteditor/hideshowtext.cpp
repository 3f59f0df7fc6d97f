// The Hide/Show Text command; see hideshowtext.h.
#include "sheeteditor/hideshowtext.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/chunky.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "model/attributes.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "model/waitcursor.h"
#include "model/libitem.h"
#include "sheeteditor/sheetwindow.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "symboleditor/symwindow.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr uint16_t kPinTextKinds = 0xC000;

void AddToArea(Rect* area, const Rect& bounds) {
    if (VXEmptyRect(area))
        *area = bounds;
    else
        VXUnionRect(area, &bounds, area);
}

bool ChecksAny(const uint8_t checks[5]) {
    return std::any_of(checks, checks + 5, [](uint8_t c) { return c != 0; });
}

// The attribute name of a kind-22 or pin attribute text ("{name}" or "{@name}"), into name.
bool AttrTextName(const TextRecord* text, StringBlock block, char* name, int32_t size) {
    char source[kTextStringSize];
    GetTextRecordMacroString(text, block, source, sizeof source);
    bool at = false;
    return ParseAttrTextName(source, int32_t(sizeof source), name, size, &at);
}

// Texts that the symbol editor's pins own carry the node element's address as their owner.
const ElementRecord* OwnerNode(const TextRecord* text) {
    return reinterpret_cast<const ElementRecord*>(static_cast<intptr_t>(text->owner));
}

bool ElementIsSelectedNode(const ElementRecord* element) {
    return element->kind == kElementNode && (element->flags & kElementSelected);
}

// The selected symbols' serials, sorted.
std::vector<uint32_t> SelectedSerials(SheetRecord* sheet) {
    std::vector<uint32_t> serials;
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = symbol->next)
        if (symbol->flags & kSymbolFlagSelected) serials.push_back(symbol->serial);
    std::sort(serials.begin(), serials.end());
    return serials;
}

bool OwnerIn(const TextRecord* text, const std::vector<uint32_t>& serials) {
    return (text->kind & kTextKindSymbolOwned) &&
           std::binary_search(serials.begin(), serials.end(), uint32_t(text->owner));
}

// The index of a shown attribute text's attribute: the symbol's attribute for kind 22, the
// attribute of the pin's pin data for a pin attribute text; negative when there is none.
int32_t ShownAttributeIndex(SheetRecord* sheet, const SymbolRecord* symbol, const TextRecord* text,
                            const char* name) {
    char value[kPinTextSize];
    if (text->kind == kTextKindSymbolAttribute)
        return GetSymbolAttribute(symbol, sheet->stringBlock, name, value);
    if (!symbol->component) return -1;
    const uint32_t id = GetCompSymbolPinDataId(symbol->component, GetSymbolsPinSet(symbol),
                                               symbol->kind.comp.symbol,
                                               text->kind & kTextKindNodeMask);
    if (id == kCompNoPinData) return -1;
    Handle record = GetIndexedPinData(sheet->pinDataTable, int32_t(id));
    return record ? GetPinDataAttribute(record, sheet->stringBlock, name, value) : -1;
}

// The simulator attribute texts that the sheet shows already.
std::vector<CollectedAttrText> CollectShownAttrTexts(SheetRecord* sheet) {
    std::vector<CollectedAttrText> shown;
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link) {
        const bool pinAttribute = (text->kind & kPinTextKinds) == kTextKindPinAttribute;
        if (text->kind != kTextKindSymbolAttribute && !pinAttribute) continue;
        char name[kTextStringSize];
        if (!AttrTextName(text, sheet->stringBlock, name, sizeof name) || name[0] != '.') continue;
        const SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, uint32_t(text->owner));
        if (!symbol) continue;
        const int32_t index = ShownAttributeIndex(sheet, symbol, text, name);
        if (index < 0) continue;
        shown.push_back(CollectedAttrText{symbol->serial, int16_t(index),
                                          int16_t(pinAttribute ? text->kind & kTextKindNodeMask : -1)});
    }
    std::sort(shown.begin(), shown.end(), [](const CollectedAttrText& a, const CollectedAttrText& b) {
        return CompareCollectedAttrText(&a, &b) < 0;
    });
    return shown;
}

// Makes the simulator attribute texts of a symbol that the sheet does not show yet.
bool ShowMissingAttrTexts(SheetRecord* sheet, SymbolRecord* symbol,
                          const std::vector<CollectedAttrText>& shown, Rect* area) {
    const auto& hooks = GetSymbolTextHooks();
    if (!hooks.getSpiceAnnotationAttributes) return false;
    VXChunkyBlock attributes = hooks.getSpiceAnnotationAttributes(sheet, symbol);
    if (!attributes) return false;
    bool changed = false;
    const uint32_t count = VXChunkyCount(attributes);
    for (uint32_t i = 0; i < count; ++i) {
        SpiceAnnotationAttribute attribute{};
        VXChunkyGet(attributes, i, &attribute);
        const CollectedAttrText key{symbol->serial, attribute.attribute, attribute.node};
        const auto less = [](const CollectedAttrText& a, const CollectedAttrText& b) {
            return CompareCollectedAttrText(&a, &b) < 0;
        };
        if (std::binary_search(shown.begin(), shown.end(), key, less)) continue;
        if (attribute.node >= 0 && attribute.node >= CountSymbolNodes(sheet, symbol)) continue;
        char name[kStringSpecBufferSize];
        ExtractStringSpec(attribute.name, sheet->stringBlock, name, sizeof name);
        const std::string field = std::string("{") + name + "}";
        const uint16_t kind = attribute.node < 0
                                  ? kTextKindSymbolAttribute
                                  : uint16_t(kTextKindPinAttribute | attribute.node);
        TextRecord* text = CreateDrawingText(sheet, kind, 0, Point{0, 0}, field.c_str());
        if (!text) continue;
        text->owner = TextOwnerSerial(symbol->serial);
        ExpandTextRecordMacros(sheet, text, nullptr, true);
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
        if (attribute.node < 0) {
            AutoPositionSymbolText(sheet, symbol, text, false);
        } else {
            Point tail{0, 0};
            GetNodeInstanceTailPos(sheet, symbol, attribute.node, &tail);
            VXChunkyBlock pins = CollectPinsText(sheet->textList, symbol->serial, -1);
            AutoPositionPinText(text, sheet->stringBlock, tail,
                                GetNodeInstanceOrient(sheet, symbol, attribute.node), pins,
                                sheet->window);
            DestroyPinTextCollection(pins);
        }
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
        AddToArea(area, text->bounds);
        changed = true;
    }
    VXDestroyChunkyBlock(attributes);
    return changed;
}

// Turns every affected text of the list to the button's visibility.
template <typename Owner>
bool SetAffectedTexts(LinkListHeader* list, StringBlock block, const HideShowTextState& state,
                      Owner ownerSelected, Rect* area) {
    const bool show = state.button == kHideShowShow;
    bool changed = false;
    for (auto* text = static_cast<TextRecord*>(LLFirst(list)); text; text = text->link) {
        ModelWaitCursor();
        const bool owner = state.scope == kHideShowScopeSelectedOwners && ownerSelected(text);
        if (!TextIsAffected(text, block, state.scope, state.checks, state.windowKind, owner))
            continue;
        if (SetTextVisibility(text, false, show) != show) {
            AddToArea(area, text->bounds);
            changed = true;
        }
        if (!show) text->flags &= uint16_t(~kTextFlagSelected);
    }
    return changed;
}

// The buttons follow the check boxes and the scope.
void UpdateHideShowButtons(VXWindowRecordTag* window) {
    bool any = false;
    for (int16_t item = kHideShowNamesItem; item <= kHideShowAttributesItem; ++item)
        any = any || VXGetItemChecked(window, item) != 0;
    const bool selectedTexts =
        VXGetSelectedRadioButton(window, kHideShowScopeAll) == kHideShowScopeSelectedTexts;
    VXSetItemEnabled(window, kHideShowHide, any);
    VXSetItemEnabled(window, kHideShowShow, any && !selectedTexts);
}

}  // namespace

int CompareCollectedAttrText(const CollectedAttrText* a, const CollectedAttrText* b) {
    if (a->serial != b->serial) return a->serial < b->serial ? -1 : 1;
    if (a->attribute != b->attribute) return a->attribute < b->attribute ? -1 : 1;
    if (a->node != b->node) return a->node < b->node ? -1 : 1;
    return 0;
}

bool SymbolEditorHideShowAccess(VXWindowRecordTag* window, HideShowEditorAccess* access) {
    SymbolEditorRecord* symbolEditor = WindowToSymbolEditor(window);
    if (!symbolEditor || symbolEditor->window != window) return false;
    access->editor = symbolEditor;
    access->view = symbolEditor->window;
    access->textList = symbolEditor->texts;
    access->elementList = symbolEditor->elements;
    access->styleList = symbolEditor->styleList;
    access->block = symbolEditor->stringBlock;
    access->componentItem = symbolEditor->kind == kLibItemComponent;
    access->getPinString = [](void* opened, const ElementRecord* node, uint16_t kind, char* name) {
        const auto* e = static_cast<SymbolEditorRecord*>(opened);
        const auto* pin = ElementAs<NodeElement>(const_cast<ElementRecord*>(node));
        const NodePinEditor context = SymbolEditorPinContext(e);
        name[0] = 0;
        if (kind == kTextKindPinNumber) GetNodesPinNumber(&context, pin->pinNumbers, 0, -1, name);
        else GetNodesPinName(pin->pinData, &context, name);
    };
    access->invalidate = [](void* opened, const Rect* area) {
        InvalEditorView(static_cast<SymbolEditorRecord*>(opened), *area);
    };
    // The command is not undone: the editor's last action cannot be undone over it.
    access->setModified = [](void* opened) { SetEditModified(static_cast<SymbolEditorRecord*>(opened), true); };
    return true;
}

bool TextIsAffected(const TextRecord* text, StringBlock block, int16_t scope,
                    const uint8_t checks[5], int16_t windowKind, bool ownerSelected) {
    if (!text) return false;
    int32_t check = -1;
    bool attribute = false;
    switch (text->kind) {
        case kTextKindCompDesignator:
        case kTextKindDesignator: check = 1; break;
        case kTextKindSymbolName:
        case kTextKindNetSymbol: check = 0; break;
        case kTextKindSymbolAttribute: check = 4, attribute = true; break;
        default:
            switch (text->kind & kPinTextKinds) {
                case kTextKindPinNumber: check = 2; break;
                case kTextKindPinName: check = 3; break;
                case kTextKindPinAttribute: check = 4, attribute = true; break;
                default: return false;
            }
    }
    if (!checks[check]) return false;
    if (attribute) {
        char name[kTextStringSize];
        if (!AttrTextName(text, block, name, sizeof name) || name[0] != '.') return false;
    }
    (void)windowKind;  // the owner's selection is told by the caller for either window
    if (scope == kHideShowScopeSelectedTexts) return (text->flags & kTextFlagSelected) != 0;
    if (scope == kHideShowScopeSelectedOwners) return ownerSelected;
    return true;
}

int32_t HideShowTextDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    auto* state = static_cast<HideShowTextState*>(window->refCon);
    if (!state) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            const bool sheet = state->windowKind != kHideShowSymbolEditorWindow;
            for (int16_t item : {kHideShowNamesItem, kHideShowDesignatorsItem, kHideShowAttributesItem})
                VXSetItemEnabled(window, item, sheet);
            for (int16_t item : {kHideShowPinNumbersItem, kHideShowPinNamesItem})
                VXSetItemEnabled(window, item, sheet || state->componentItem);
            VXSetItemEnabled(window, kHideShowScopeSelectedTexts, state->hasSelectedTexts);
            VXSetItemEnabled(window, kHideShowScopeSelectedOwners, state->hasSelectedOwners);
            if (!sheet) VXSetItemText(window, kHideShowScopeSelectedOwners, "Selected pins only");
            VXSelectRadioButton(window, state->hasSelectedTexts    ? kHideShowScopeSelectedTexts
                                        : state->hasSelectedOwners ? kHideShowScopeSelectedOwners
                                                                   : kHideShowScopeAll);
            UpdateHideShowButtons(window);
            return 0;
        }
        case kVXControlEvent: {
            const int16_t item = int16_t(event->u.control.item);
            if (item == kHideShowHide || item == kHideShowShow || item == kHideShowCancel) {
                VXEndDialog(VXGetTopParent(window), item);
                return 1;
            }
            if (item >= kHideShowScopeAll && item <= kHideShowScopeSelectedOwners) {
                VXSelectRadioButton(window, item);
                UpdateHideShowButtons(window);
                return 1;
            }
            UpdateHideShowButtons(window);
            return 0;
        }
        case kVXCloseEvent:
            VXEndDialog(window, kHideShowCancel);
            return 1;
        case kVXEndModalEvent: {
            const int16_t item = event->u.endModal.item;
            state->button = item;
            if (item == kHideShowCancel) return 0;
            state->scope = VXGetSelectedRadioButton(window, kHideShowScopeAll);
            for (int16_t i = 0; i < 5; ++i)
                state->checks[i] = VXGetItemChecked(window, int16_t(kHideShowNamesItem + i)) ? 1 : 0;
            return 0;
        }
        default: return 0;
    }
}

bool HideShowSheetTexts(SheetRecord* sheet, const HideShowTextState& state, Rect* changed) {
    if (!sheet || (state.button != kHideShowHide && state.button != kHideShowShow)) return false;
    Rect area{0, 0, 0, 0};
    const std::vector<uint32_t> selected = SelectedSerials(sheet);
    bool any = SetAffectedTexts(sheet->textList, sheet->stringBlock, state,
                                [&](const TextRecord* text) { return OwnerIn(text, selected); }, &area);
    // Showing also makes what is missing; never for the scope of selected texts.
    const bool make = state.button == kHideShowShow && state.scope != kHideShowScopeSelectedTexts;
    const bool onlySelected = state.scope == kHideShowScopeSelectedOwners;
    if (make && (state.checks[0] || state.checks[1])) {
        for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
             symbol = symbol->next) {
            if (onlySelected && !(symbol->flags & kSymbolFlagSelected)) continue;
            const bool net = symbol->flags & kSymbolFlagPort;
            if (state.checks[0])
                any |= SetSymbolTextVisible(sheet, symbol, nullptr,
                                            net ? kTextKindNetSymbol : kTextKindSymbolName, true,
                                            &area, nullptr);
            if (state.checks[1] && !net)
                any |= SetSymbolTextVisible(sheet, symbol, nullptr, SymbolDesignatorKind(symbol),
                                            true, &area, nullptr);
        }
    }
    if (make && state.checks[4]) {
        const std::vector<CollectedAttrText> shown = CollectShownAttrTexts(sheet);
        for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
             symbol = symbol->next) {
            if (onlySelected && !(symbol->flags & kSymbolFlagSelected)) continue;
            any |= ShowMissingAttrTexts(sheet, symbol, shown, &area);
        }
    }
    if (changed) *changed = area;
    if (!any) return false;
    const auto& hooks = GetSymbolTextHooks();
    if (hooks.buildDrawingSelectRgn) hooks.buildDrawingSelectRgn(sheet);
    InvalSheetView(sheet, &area);
    if (hooks.setSheetModifiedStatus) hooks.setSheetModifiedStatus(sheet, 40);
    return true;
}

bool HideShowEditorTexts(const HideShowEditorAccess& editor, const HideShowTextState& state,
                         Rect* changed) {
    if (state.button != kHideShowHide && state.button != kHideShowShow) return false;
    Rect area{0, 0, 0, 0};
    bool any = SetAffectedTexts(
        editor.textList, editor.block, state,
        [](const TextRecord* text) {
            const ElementRecord* node = OwnerNode(text);
            return (text->kind & kPinTextKinds) && node && ElementIsSelectedNode(node);
        },
        &area);
    const bool make = state.button == kHideShowShow && state.scope != kHideShowScopeSelectedTexts &&
                      editor.componentItem && (state.checks[2] || state.checks[3]);
    if (make) {
        for (auto* element = static_cast<ElementRecord*>(LLFirst(editor.elementList)); element;
             element = element->next) {
            if (element->kind != kElementNode) continue;
            if (state.scope == kHideShowScopeSelectedOwners && !(element->flags & kElementSelected))
                continue;
            for (uint16_t kind : {kTextKindPinNumber, kTextKindPinName}) {
                if (!state.checks[kind == kTextKindPinNumber ? 2 : 3]) continue;
                bool present = false;
                for (auto* text = static_cast<TextRecord*>(LLFirst(editor.textList)); text && !present;
                     text = text->link)
                    present = (text->kind & kPinTextKinds) == kind && OwnerNode(text) == element;
                if (present) continue;
                char string[kTextStringSize];
                string[0] = 0;
                if (editor.getPinString) editor.getPinString(editor.editor, element, kind, string);
                if (!string[0]) continue;
                TextRecord* text = CreateSymbolEditorText(editor.textList, editor.styleList,
                                                          editor.block, editor.view, kind,
                                                          Point{0, 0}, string);
                if (!text) continue;
                text->owner = static_cast<int64_t>(reinterpret_cast<intptr_t>(element));
                AutoPositionPinText(text, editor.block, element->points.point2,
                                    Node_Orient(element), nullptr, editor.view);
                AddToArea(&area, text->bounds);
                any = true;
            }
        }
    }
    if (changed) *changed = area;
    if (!any) return false;
    if (editor.invalidate) editor.invalidate(editor.editor, &area);
    if (editor.setModified) editor.setModified(editor.editor);
    return true;
}

namespace {

void RunHideShowText(VXWindowRecordTag* window, const HideShowEditorAccess* access) {
    HideShowTextState state{};
    HideShowEditorAccess editor;
    SheetRecord* sheet = nullptr;
    if (access) {
        editor = *access;
        state.windowKind = kHideShowSymbolEditorWindow;
        state.componentItem = editor.componentItem;
        for (auto* text = static_cast<TextRecord*>(LLFirst(editor.textList)); text; text = text->link)
            if (text->flags & kTextFlagSelected) state.hasSelectedTexts = 1;
        for (auto* element = static_cast<ElementRecord*>(LLFirst(editor.elementList)); element;
             element = element->next)
            if (ElementIsSelectedNode(element)) state.hasSelectedOwners = 1;
    } else {
        sheet = SheetOfWindow(window);
        if (!sheet) return;
        state.windowKind = kHideShowSheetWindow;
        for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text; text = text->link)
            if (text->flags & kTextFlagSelected) state.hasSelectedTexts = 1;
        state.hasSelectedOwners = SelectedSerials(sheet).empty() ? 0 : 1;
    }
    const int16_t button = VXModalDialog(kHideShowTextTemplate, kVXPlaceCentre,
                                         HideShowTextDialogHandler, &state);
    if (button != kHideShowHide && button != kHideShowShow) return;
    state.button = button;
    if (!ChecksAny(state.checks)) return;
    VXWaitUpdateWindows();
    if (sheet)
        HideShowSheetTexts(sheet, state, nullptr);
    else
        HideShowEditorTexts(editor, state, nullptr);
}

}  // namespace

void HideShowText(VXWindowRecordTag* window) {
    if (!window) return;
    if (window->typeID != kHideShowSymbolEditorWindow) return RunHideShowText(window, nullptr);
    HideShowEditorAccess editor;
    if (SymbolEditorHideShowAccess(window, &editor)) RunHideShowText(window, &editor);
}

void HideShowText(VXWindowRecordTag* window, const HideShowEditorAccess& editor) {
    if (window) RunHideShowText(window, &editor);
}

}  // namespace plexa
