// The Hide/Show Text command: hides or shows the symbol, pin and simulator attribute texts of a
// sheet or of the symbol editor's current view, chosen by kind and scope in dialog 1012, and
// makes the texts that are missing when showing.
//
// In a symbol editor's window the command works on the editor's current view through
// HideShowEditorAccess: its lists, its pin strings, its invalidation and modified mark.
#pragma once

#include <cstdint>

#include "foundation/rectmath.h"
#include "foundation/stringblock.h"

namespace plexa {

struct ElementRecord;
struct LinkListHeader;
struct SheetRecord;
struct TextRecord;
struct VXEventRecord;
struct VXWindowRecordTag;
using TextStyleList = LinkListHeader;

// The dialog and its items.
constexpr uint16_t kHideShowTextTemplate = 1012;
constexpr int16_t kHideShowNamesItem = 1;         // symbol names (and net symbol texts)
constexpr int16_t kHideShowDesignatorsItem = 2;
constexpr int16_t kHideShowPinNumbersItem = 3;
constexpr int16_t kHideShowPinNamesItem = 4;
constexpr int16_t kHideShowAttributesItem = 5;    // simulator attribute texts
constexpr int16_t kHideShowScopeAll = 6;
constexpr int16_t kHideShowScopeSelectedTexts = 7;
constexpr int16_t kHideShowScopeSelectedOwners = 8;  // of selected symbols, or selected pins
constexpr int16_t kHideShowHide = 9;
constexpr int16_t kHideShowShow = 10;
constexpr int16_t kHideShowCancel = 11;

// Window kinds the command runs in.
constexpr int16_t kHideShowSheetWindow = 101;
constexpr int16_t kHideShowSymbolEditorWindow = 111;

struct HideShowTextState {
    int16_t windowKind;    // 101 or 111
    int16_t button;        // 9, 10 or 11
    int16_t scope;         // 6, 7 or 8
    uint8_t hasSelectedTexts;
    uint8_t hasSelectedOwners;  // selected symbols, or selected pins in the symbol editor
    uint8_t checks[5];     // items 1-5
    uint8_t componentItem; // symbol editor: the item is a component (pin texts can be chosen)
};

// The collected attribute text of a symbol or of one of its pins.
struct CollectedAttrText {
    uint32_t serial;
    int16_t attribute;
    int16_t node;  // -1 for the symbol itself
};
static_assert(sizeof(CollectedAttrText) == 8);
// By serial, then attribute index, then node.
int CompareCollectedAttrText(const CollectedAttrText* a, const CollectedAttrText* b);

// What the command uses of a symbol editor's window.
struct HideShowEditorAccess {
    void* editor = nullptr;
    VXWindowRecordTag* view = nullptr;  // the window the view's texts are measured in
    LinkListHeader* textList = nullptr;
    LinkListHeader* elementList = nullptr;
    TextStyleList* styleList = nullptr;
    StringBlock block = nullptr;
    bool componentItem = false;  // library item kind 0
    // The pin number (kind 0x4000) or pin name (0x8000) of a node element, into name[256].
    void (*getPinString)(void* editor, const ElementRecord* node, uint16_t kind,
                         char* name) = nullptr;
    void (*invalidate)(void* editor, const Rect* area) = nullptr;
    void (*setModified)(void* editor) = nullptr;
};
// The access to the symbol editor of a symbol-editor window; false when the window has none.
bool SymbolEditorHideShowAccess(VXWindowRecordTag* window, HideShowEditorAccess* access);

// Whether the command touches the text with these scope and checks. ownerSelected tells, for
// scope 8, whether the text's owner (the symbol, or the node element) is selected.
bool TextIsAffected(const TextRecord* text, StringBlock block, int16_t scope,
                    const uint8_t checks[5], int16_t windowKind, bool ownerSelected);

// The dialog's event handler; the window's user data is the HideShowTextState.
int32_t HideShowTextDialogHandler(VXWindowRecordTag* window, VXEventRecord* event);

// The whole command in a sheet window or a symbol-editor window; in the editor's window the
// second form works on the access given.
void HideShowText(VXWindowRecordTag* window);
void HideShowText(VXWindowRecordTag* window, const HideShowEditorAccess& editor);
// What the command does once the dialog has ended with Hide or Show. True when anything changed;
// *changed (when given) holds the area.
bool HideShowSheetTexts(SheetRecord* sheet, const HideShowTextState& state, Rect* changed);
bool HideShowEditorTexts(const HideShowEditorAccess& editor, const HideShowTextState& state,
                         Rect* changed);

}  // namespace plexa
