// The pin information dialog over a copy of the pin's data; the copy replaces the pin's data only
// when the dialog ends with OK.
#include "symboleditor/pindialog.h"
#include "symboleditor/symarea.h"
#include "symboleditor/symattributes.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/pindata.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "symboleditor/symrecord.h"
#include "symboleditor/sympins.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

struct PinInfoDialogRecord {
    void* attributeEditor = nullptr;
    StringBlock block = nullptr;    // of the pin data
    char number[kPinTextSize] = "";
    Handle pinData = nullptr;       // the copy
    TextRecord* text = nullptr;     // the clicked text
    const char* title = nullptr;
    bool showNumber = false;
    bool showName = false;
    bool numberEditable = false;
    bool attributesChanged = false;
    bool ok = false;
};
PinInfoDialogRecord* gPinInfo = nullptr;

bool IsShown(const TextRecord* text) { return text && !(text->flags & kTextFlagHidden); }

void SetShown(TextRecord* text, bool show) {
    if (!text) return;
    if (show) {
        text->flags = uint16_t(text->flags & ~kTextFlagHidden);
    } else {
        text->flags = uint16_t((text->flags | kTextFlagHidden) & ~kTextFlagSelected);
    }
}

bool RunPinDialog(PinInfoDialogRecord* record) {
    PinInfoDialogRecord* saved = std::exchange(gPinInfo, record);
    (void)VXModalDialog(kPinInfoTemplate, kVXPlaceCentre, PinInfoDialogHandler, nullptr);  // the record says how it ended
    gPinInfo = saved;
    return record->ok;
}

// The symbol editor's pin text of a kind, none when the pin has none.
TextRecord* EditorPinText(LinkListHeader* texts, const ElementRecord* pin, uint16_t kind) {
    const std::vector<TextRecord*> found = PinTexts(texts, pin, kind);
    return found.empty() ? nullptr : found.front();
}

// Sets a number or name text from the pin; whether the text is not empty.
bool UpdateSymbolEditorPinText(SymbolEditorRecord* editor, ElementRecord* pin, TextRecord* text) {
    auto* node = ElementAs<NodeElement>(pin);
    const NodePinEditor context = SymbolEditorPinContext(editor);
    char string[kPinTextSize] = "";
    if ((text->kind & kTextKindPinAttribute) == kTextKindPinNumber)
        GetNodesPinNumber(&context, node->pinNumbers, 0, -1, string);
    else
        GetPinDataName(node->pinData, editor->stringBlock, string);
    SetupTheText(text, editor->stringBlock, gMinusOnePoint, editor->window, string);
    return *string != 0;
}

// The pin's number and name texts follow the pin: a missing text that is to be shown is made,
// a text shows only when asked and not empty.
void ShowEditorPinTexts(SymbolEditorRecord* editor, ElementRecord* pin, bool showNumber, bool showName) {
    for (uint16_t kind : {kTextKindPinNumber, kTextKindPinName}) {
        const bool show = kind == kTextKindPinNumber ? showNumber : showName;
        TextRecord* text = EditorPinText(editor->texts, pin, kind);
        if (!text && show) {
            text = CreateSymbolEditorText(editor->texts, editor->styleList, editor->stringBlock, editor->window, kind,
                                          pin->points.point1, "");
            if (!text) continue;
            text->owner = reinterpret_cast<intptr_t>(pin);
            text->flags |= kTextFlagHidden;
            AutoPositionPinText(text, editor->stringBlock, pin->points.point1, Node_Orient(pin), nullptr, editor->window);
        }
        if (!text) continue;
        const bool filled = UpdateSymbolEditorPinText(editor, pin, text);
        SetShown(text, show && filled);
    }
}

}  // namespace

int32_t PinInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PinInfoDialogRecord* r = gPinInfo;
    if (!r) return 0;
    if (event->kind == kVXCreateEvent) {
        if (r->title) VXSetWindowTitle(window, r->title);
        Rect area{};
        VXGetItemPosition(window, kPinInfoAttributes, &area);
        const int16_t count = reinterpret_cast<PinDataRecord*>(*r->pinData)->attributeCount;
        r->attributeEditor = SymbolEditorAttributeWindow(window, &area, r->pinData, sizeof(PinDataRecord), count,
                                                         r->block, 8, true, false);
        VXSetItemText(window, kPinInfoNumber, r->number);
        VXSetItemEnabled(window, kPinInfoNumber, r->numberEditable);
        char name[kPinTextSize];
        GetPinDataName(r->pinData, r->block, name);
        VXSetItemText(window, kPinInfoName, name);
        VXSetItemChecked(window, kPinInfoShowNumber, r->showNumber);
        VXSetItemChecked(window, kPinInfoShowName, r->showName);
        const uint8_t whole = GetPinDataType(r->pinData, true);
        const int32_t types = (whole & 0x40) ? kBusPinTypeCount : kPinTypeCount;
        char type[kPinTextSize];
        for (int32_t i = 0; i < types; ++i) {
            GetPinTypeString(uint8_t(i), type);
            VXAddListItem(window, kPinInfoType, type, i);
        }
        const int32_t current = whole & 0x3F;
        VXSelectListItem(window, kPinInfoType, current < types ? current : 0, true);
        // Tab out of the pin name goes into the attribute editor, Tab out of its last field back to
        // the first edit field (and Shift-Tab the other way).
        const int16_t first = r->numberEditable ? kPinInfoNumber : kPinInfoName;
        SetSymbolEditorAttributeNavigation(r->attributeEditor, window, uint16_t(first), kPinInfoName);
        const uint16_t textKind = r->text ? uint16_t(r->text->kind & kTextKindPinAttribute) : 0;
        if (textKind == kTextKindPinAttribute &&
            EditSymbolEditorAttributeOfText(r->attributeEditor, r->text, r->block, r->pinData, sizeof(PinDataRecord),
                                            count)) {
            event->u.create.focusItem = 0;  // the attribute's row has the focus
            return 0;
        }
        const int16_t focus = textKind == kTextKindPinName ? kPinInfoName : first;
        VXSelectItemText(window, focus, 0, 32767);
        event->u.create.focusItem = uint16_t(focus);
        return 0;
    }
    if (event->kind == kVXTabOutEvent) return NavigateIntoSymbolEditorAttributes(r->attributeEditor, event);
    if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        r->ok = true;
        int16_t count = reinterpret_cast<PinDataRecord*>(*r->pinData)->attributeCount;
        r->attributesChanged = TakeSymbolEditorAttributes(r->attributeEditor, &r->pinData, sizeof(PinDataRecord),
                                                          &count, r->block, false);
        if (r->attributesChanged) reinterpret_cast<PinDataRecord*>(*r->pinData)->attributeCount = count;
        if (r->numberEditable) {
            VXGetItemText(window, kPinInfoNumber, r->number);
            TrimSpacesC(r->number);
        }
        char name[kPinTextSize];
        VXGetItemText(window, kPinInfoName, name);
        TrimSpacesC(name);
        SetPinDataName(r->pinData, r->block, name);
        const int32_t type = VXGetSelectedListItem(window, kPinInfoType, -1);
        if (type >= 0) SetPinDataType(r->pinData, uint8_t(type), false);
        r->showNumber = VXGetItemChecked(window, kPinInfoShowNumber) != 0;
        r->showName = VXGetItemChecked(window, kPinInfoShowName) != 0;
    }
    return 0;
}

bool EditSymbolEditorPinInfo(SymbolEditorRecord* editor, ElementRecord* pin, TextRecord* text, int32_t newPin) {
    if (!editor || !pin || pin->kind != kElementNode) return false;
    auto* node = ElementAs<NodeElement>(pin);
    PinInfoDialogRecord record;
    record.block = editor->stringBlock;
    record.text = text;
    record.pinData = node->pinData ? CloneHandle(nullptr, node->pinData) : CreateNewPinData();
    if (!record.pinData) return false;
    ValidatePinDataType(record.pinData, pin->penWidth >= 2);
    const NodePinEditor context = SymbolEditorPinContext(editor);
    GetNodesPinNumber(&context, node->pinNumbers, 0, -1, record.number);
    record.numberEditable = true;
    if (newPin) {
        record.showNumber = (editor->state & kSymEditShowPinNumber) != 0;
        record.showName = (editor->state & kSymEditShowPinName) != 0;
    } else {
        record.showNumber = IsShown(EditorPinText(editor->texts, pin, kTextKindPinNumber));
        record.showName = IsShown(EditorPinText(editor->texts, pin, kTextKindPinName));
    }
    if (!RunPinDialog(&record)) {
        DestroyPinData(record.pinData);
        return false;
    }
    if (newPin) {
        editor->state = uint16_t(record.showNumber ? editor->state | kSymEditShowPinNumber
                                                   : editor->state & ~kSymEditShowPinNumber);
        editor->state = uint16_t(record.showName ? editor->state | kSymEditShowPinName
                                                 : editor->state & ~kSymEditShowPinName);
    }
    if (editor->section) {
        char old[kPinTextSize];
        GetNodesPinNumber(&context, node->pinNumbers, 0, -1, old);
        // A number another pin has already is kept, with a warning.
        if (*record.number && std::strcmp(old, record.number) != 0 &&
            !IsPinNumberUnique(editor, editor->pinSet, record.number, pin))
            VXBeep();
        SetNodesPinNumber(&context, &node->pinNumbers, 0, -1, record.number);
    }
    if (node->pinData) DestroyPinData(node->pinData);
    node->pinData = record.pinData;
    ElementRecord* companion = GetCompanionNode(editor, pin, kCurrentSymbolView);
    if (companion) {
        // The companion shares the pin's data and numbers.
        ElementAs<NodeElement>(companion)->pinData = node->pinData;
        ElementAs<NodeElement>(companion)->pinNumbers = node->pinNumbers;
    }
    ShowEditorPinTexts(editor, pin, record.showNumber, record.showName);
    if (companion) {
        const int32_t other = editor->viewContext == 0 ? 1 : 0;
        for (uint16_t kind : {kTextKindPinNumber, kTextKindPinName})
            if (TextRecord* t = EditorPinText(editor->textLists[other], companion, kind)) {
                const bool filled = UpdateSymbolEditorPinText(editor, companion, t);
                if (!filled) SetShown(t, false);
            }
    }
    InvalSymbolEditorView(editor, nullptr);
    return true;
}

void EditCompSymbolPinInfo(SheetRecord* sheet, SymbolRecord* symbol, int32_t pin, TextRecord* text) {
    if (!sheet || !symbol || !symbol->component || pin < 0) return;
    ComponentRecord* component = symbol->component;
    const int32_t pinSet = GetSymbolsPinSet(symbol);
    const int32_t slot = GetSymbolSlotIndex(sheet, symbol);
    uint32_t id = 0xFFFFFFFF;
    PinInfoDialogRecord record;
    record.block = sheet->stringBlock;
    record.text = text;
    (void)GetCompPinInfo(component, sheet->stringBlock, pinSet, uint16_t(slot), pin, record.number, &id);
    record.pinData = GetPinDataCopy(sheet->pinDataTable, int32_t(id));
    if (!record.pinData) return;
    const auto pinText = [&](uint16_t mark) {
        return RetrieveSymbolText(sheet, symbol, uint16_t(mark | uint16_t(pin)));
    };
    record.showNumber = IsShown(pinText(kTextKindPinNumber));
    record.showName = IsShown(pinText(kTextKindPinName));
    char designator[kSymbolTextSize] = "", title[kSymbolTextSize + 32] = "";
    GetSymbolsDisplayDesignator(sheet, symbol, designator);
    if (*designator) {
        std::snprintf(title, sizeof title, "%s%s", designator, kPinInfoTitleSuffix);
        record.title = title;
    }
    if (!RunPinDialog(&record)) {
        DestroyPinData(record.pinData);
        return;
    }
    bool changed = false;
    const int32_t newId = AddPinDataToTable(sheet->pinDataTable, record.pinData);
    DestroyPinData(record.pinData);
    ComponentSection* section = GetCompSection(component, slot);
    if (newId >= 0 && uint32_t(newId) != id && section) {
        // The symbol gets a component of its own; others keep theirs.
        if (ComponentRecord* copy = DuplicateComponent(component)) {
            SetCompSymbolPinDataId(copy, pinSet, section->symbolIndex, pin, uint32_t(newId));
            symbol->component = InstallCompInSheet(sheet, copy);
            changed = true;
        }
    }
    char name[kPinTextSize];
    GetIndexedPinDataName(sheet->pinDataTable, newId >= 0 ? newId : int32_t(id), sheet->stringBlock, name);
    for (uint16_t mark : {kTextKindPinNumber, kTextKindPinName}) {
        const bool show = mark == kTextKindPinNumber ? record.showNumber : record.showName;
        TextRecord* t = pinText(mark);
        if (!t && show) {
            Point tail{};
            GetNodeInstanceTailPos(sheet, symbol, pin, &tail);
            t = CreateDrawingText(sheet, uint16_t(mark | uint16_t(pin)), kTextFlagHidden, tail,
                                  mark == kTextKindPinNumber ? record.number : name);
            if (!t) continue;
            t->owner = int64_t(int32_t(symbol->serial));
            AutoPositionPinText(t, sheet->stringBlock, tail, GetNodeInstanceOrient(sheet, symbol, pin), nullptr,
                                sheet->window);
            changed = true;
        }
        if (!t) continue;
        if (mark == kTextKindPinName) changed |= ChangeSheetText(sheet, t, name, nullptr) != 0;
        const bool wasShown = IsShown(t);
        SetShown(t, show && (mark == kTextKindPinName ? *name != 0 : *record.number != 0));
        changed |= wasShown != IsShown(t);
    }
    if (!changed) return;
    const SymbolTextHooks& hooks = GetSymbolTextHooks();
    if (hooks.buildDrawingSelectRgn) hooks.buildDrawingSelectRgn(sheet);
    if (hooks.setSheetModifiedStatus) hooks.setSheetModifiedStatus(sheet, 33);
    if (sheet->window) VXInvalidateHierarchy(sheet->window);
}

}  // namespace plexa
