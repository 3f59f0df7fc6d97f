// The symbol editor's dialogs over symbol definitions: each works on a small record of its own
// that the handler fills from and reads back into the controls; nothing reaches the item or the
// editor unless the dialog ends with OK.
#include "symboleditor/partdialogs.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include "files/sheetfile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "model/libitem.h"
#include "model/sheet.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/sympins.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_filepanels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint16_t kDialogFlags = kVXPlaceCentre;
constexpr int32_t kTextSize = kLibItemTextSize;

// ---- Net symbol and port dialogs ----

struct FlagsRecord {
    uint32_t flags;
    uint8_t options;
};
FlagsRecord* gFlags = nullptr;

int32_t RunFlagsDialog(uint16_t templateID, VXEventProc handler, uint32_t* flags, uint8_t* options) {
    FlagsRecord record{*flags, *options};
    FlagsRecord* saved = std::exchange(gFlags, &record);
    const int16_t item = VXModalDialog(templateID, kDialogFlags, handler, nullptr);
    gFlags = saved;
    if (item != 1) return 0;
    *flags = record.flags;
    *options = record.options;
    return 1;
}

void SetOption(uint8_t* options, uint8_t bit, bool on) {
    *options = uint8_t(on ? *options | bit : *options & ~bit);
}

// ---- Text fields that name something new ----

// Cuts the edit field to `length` characters and enables OK while its text is not empty and,
// with a check, passes it.
void CheckNameField(VXWindowRecordTag* window, int16_t item, int32_t length, bool (*fresh)(const char*, void*),
                    void* data) {
    VXTruncateItemText(window, item, length);
    char text[kTextSize];
    VXGetItemText(window, item, text);
    TrimSpacesC(text);
    VXSetItemEnabled(window, 1, *text && (!fresh || fresh(text, data)));
}

// Whether no other definition than `except` has the name (ignoring case).
bool SymbolNameIsFresh(LibraryItem* item, const char* text, int32_t except) {
    char name[kTextSize];
    for (int32_t i = 0; i < item->head.symbolCount; ++i) {
        if (i == except) continue;
        GetLibSymbolName(item, i, name);
        if (StrCINCmp(name, text, kTextSize) == 0) return false;
    }
    return true;
}

// ---- Part symbol dialog ----

struct PartSymbolRecord {
    SymbolEditorRecord* editor;
    int32_t symbol;
    bool fileSymbol;
    char name[kTextSize];
    char sheetName[kTextSize];
    uint32_t flags;
    uint8_t options;
};
PartSymbolRecord* gPartSymbol = nullptr;

bool PartNameIsFresh(const char* text, void*) {
    return SymbolNameIsFresh(gPartSymbol->editor->item, text, gPartSymbol->symbol);
}

// ---- New part or slot dialog ----

struct NewPartRecord {
    SymbolEditorRecord* editor;
    int32_t symbol;                  // the chosen definition, -1 for an empty new one
    int32_t mode;                    // 0 a new slot, 1 a new symbol
    char designator[kTextSize];
    char name[kTextSize];
    bool empty;                      // mode 1: start the symbol empty
};
NewPartRecord* gNewPart = nullptr;

bool NewPartTextIsFresh(const char* text, void*) {
    const NewPartRecord& r = *gNewPart;
    return r.mode == 0 ? IsSectionDesignatorUnique(r.editor->item, text)
                       : SymbolNameIsFresh(r.editor->item, text, -1);
}

// A symbol name is cut as in the part symbol dialog, a designator as in the slot dialog.
void CheckNewPartText(VXWindowRecordTag* window) {
    const int32_t length = gNewPart->mode == 1 ? kPartSymbolNameLength : kSlotDesignatorLength;
    CheckNameField(window, kNewPartText, length, NewPartTextIsFresh, nullptr);
}

// ---- Slot designator dialog ----

struct PartNameRecord {
    LibraryItem* item;
    char suffix[kTextSize];
};
PartNameRecord* gPartName = nullptr;

// A section's designator counts as fresh when it is its own.
bool SuffixIsFresh(const char* text, void*) {
    return StrCINCmp(text, gPartName->suffix, kTextSize) == 0 || IsSectionDesignatorUnique(gPartName->item, text);
}

}  // namespace

int32_t NetSymbolInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    FlagsRecord* r = gFlags;
    if (!r) return 0;
    if (event->kind == kVXCreateEvent) {
        VXSetItemChecked(window, kNetSymbolBox1, !(r->options & 0x04));
        VXSetItemChecked(window, kNetSymbolBox2, (r->options & 0x08) != 0);
        VXSetItemChecked(window, kNetSymbolBox3, (r->options & 0x01) != 0);
        VXSelectRadioButton(window, (r->flags & kSymDefFlagLocal) ? kNetSymbolLocal : kNetSymbolGlobal);
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        SetOption(&r->options, 0x04, !VXGetItemChecked(window, kNetSymbolBox1));
        SetOption(&r->options, 0x08, VXGetItemChecked(window, kNetSymbolBox2) != 0);
        SetOption(&r->options, 0x01, VXGetItemChecked(window, kNetSymbolBox3) != 0);
        r->flags = VXGetSelectedRadioButton(window, kNetSymbolGlobal) == kNetSymbolLocal ? r->flags | kSymDefFlagLocal
                                                                                        : r->flags & ~kSymDefFlagLocal;
    }
    return 0;
}

int32_t PortInfoDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    FlagsRecord* r = gFlags;
    if (!r) return 0;
    if (event->kind == kVXCreateEvent) {
        VXSetItemChecked(window, kPortBox1, (r->options & 0x08) != 0);
        VXSetItemChecked(window, kPortBox2, (r->options & 0x01) != 0);
        static const char* const kTypes[] = {"Unspecified", "Input", "Output", "Bidirectional"};
        for (int32_t i = 0; i < 4; ++i) VXAddListItem(window, kPortTypeList, kTypes[i], i);
        VXSelectListItem(window, kPortTypeList, int32_t((r->flags & kSymDefPortTypeMask) >> kSymDefPortTypeShift), true);
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        SetOption(&r->options, 0x08, VXGetItemChecked(window, kPortBox1) != 0);
        SetOption(&r->options, 0x01, VXGetItemChecked(window, kPortBox2) != 0);
        int32_t type = VXGetSelectedListItem(window, kPortTypeList, -1);
        if (type < 0 || type > 3) type = 0;
        r->flags = (r->flags & ~kSymDefPortTypeMask) | (uint32_t(type) << kSymDefPortTypeShift);
    }
    return 0;
}

int32_t NetSymbolInfoDialog(uint32_t* flags, uint8_t* options) {
    return RunFlagsDialog(kNetSymbolInfoTemplate, NetSymbolInfoDialogHandler, flags, options);
}

int32_t PortInfoDialog(uint32_t* flags, uint8_t* options) {
    return RunFlagsDialog(kPortInfoTemplate, PortInfoDialogHandler, flags, options);
}

int32_t PartSymbolDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PartSymbolRecord* r = gPartSymbol;
    if (!r) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            VXSetItemText(window, kPartSymbolName, r->name);
            VXSetItemText(window, kPartSymbolSheet, r->sheetName);
            if (r->fileSymbol) {
                VXSetItemEnabled(window, kPartSymbolSheet, false);
                VXSetItemEnabled(window, kPartSymbolSelect, false);
            }
            VXSetItemChecked(window, kPartSymbolBox1000, (r->flags & 0x1000) != 0);
            VXSetItemChecked(window, kPartSymbolBox2000, (r->flags & 0x2000) != 0);
            VXSelectRadioButton(window, (r->flags & 0x10000)   ? kPartSymbolChoice10000
                                        : (r->flags & 0x20000) ? kPartSymbolChoice20000
                                                               : kPartSymbolChoiceNone);
            VXSetItemChecked(window, kPartSymbolBox80, (r->flags & 0x80) != 0);
            VXSetItemChecked(window, kPartSymbolOption1, (r->options & 0x01) != 0);
            VXSetItemChecked(window, kPartSymbolOption2, (r->options & 0x02) != 0);
            CheckNameField(window, kPartSymbolName, kPartSymbolNameLength, PartNameIsFresh, nullptr);
            VXSelectItemText(window, kPartSymbolName, 0, 32767);
            return 0;
        }
        case kVXControlEvent:
            if (event->u.control.item == kPartSymbolName) {
                CheckNameField(window, kPartSymbolName, kPartSymbolNameLength, PartNameIsFresh, nullptr);
            } else if (event->u.control.item == kPartSymbolSelect) {
                FileSpec spec{};
                if (!VXAskFileOpen(kSelectSheetPrompt, "", 0, &spec, nullptr)) return 0;
                if (IsSheetFile(&spec) != 0) {
                    VXBeep();
                    return 0;
                }
                VXSetItemText(window, kPartSymbolSheet, spec.name);
                VXSelectItemText(window, kPartSymbolSheet, 0, 32767);
            }
            return 0;
        case kVXEndModalEvent:
            if (event->u.endModal.item != 1) return 0;
            VXGetItemText(window, kPartSymbolName, r->name);
            TrimSpacesC(r->name);
            if (!r->fileSymbol) VXGetItemText(window, kPartSymbolSheet, r->sheetName);
            r->flags &= ~uint32_t(0x1000 | 0x2000 | 0x10000 | 0x20000 | 0x80);
            if (VXGetItemChecked(window, kPartSymbolBox1000)) r->flags |= 0x1000;
            if (VXGetItemChecked(window, kPartSymbolBox2000)) r->flags |= 0x2000;
            if (VXGetItemChecked(window, kPartSymbolBox80)) r->flags |= 0x80;
            switch (VXGetSelectedRadioButton(window, kPartSymbolChoiceNone)) {
                case kPartSymbolChoice10000: r->flags |= 0x10000; break;
                case kPartSymbolChoice20000: r->flags |= 0x20000; break;
                default: break;
            }
            SetOption(&r->options, 0x01, VXGetItemChecked(window, kPartSymbolOption1) != 0);
            SetOption(&r->options, 0x02, VXGetItemChecked(window, kPartSymbolOption2) != 0);
            return 0;
        default: return 0;
    }
}

int32_t PartSymbolDialog(SymbolEditorRecord* editor, int32_t symbol) {
    LibraryItem* item = editor ? editor->item : nullptr;
    if (!item || symbol < 0 || symbol >= item->head.symbolCount) return 0;
    PartSymbolRecord record{};
    record.editor = editor;
    record.symbol = symbol;
    record.fileSymbol = (editor->state & kSymEditFileSymbol) != 0;
    const bool current = symbol == editor->symbol;
    record.flags = current ? editor->symbolFlags : GetLibSymbolFlags(item, symbol);
    record.options = current ? editor->placementOptions : GetLibSymbolPlacementOptions(item, symbol);
    GetLibSymbolName(item, symbol, record.name);
    if (record.fileSymbol) {
        const VXWindowRecordTag* owner = editor->sheet ? editor->sheet->window : nullptr;
        char title[200] = "";
        if (owner) VXGetWindowTitle(const_cast<VXWindowRecordTag*>(owner), title);
        std::snprintf(record.sheetName, sizeof record.sheetName, "%s", title);
    } else {
        GetLibSymbolSheetName(item, symbol, record.sheetName);
    }
    PartSymbolRecord* saved = std::exchange(gPartSymbol, &record);
    const int16_t ended = VXModalDialog(kPartSymbolTemplate, kDialogFlags, PartSymbolDialogHandler, nullptr);
    gPartSymbol = saved;
    if (ended != 1) return 0;
    SetLibSymbolName(item, symbol, record.name);
    if (!record.fileSymbol) SetLibSymbolSheetName(item, symbol, record.sheetName);
    if (current) {
        editor->symbolFlags = record.flags;
        editor->placementOptions = record.options;
        SetEditModified(editor, false);
    } else {
        SetLibSymbolFlags(item, symbol, record.flags);
        SetLibSymbolPlacementOptions(item, symbol, record.options);
    }
    SetSymbolLibItemModified(editor);
    return 1;
}

// Lays the dialog out for the record's mode, showing that mode's text selected.
static void SetPartOrSlot(VXWindowRecordTag* window, NewPartRecord* r, bool selectText) {
    const bool slot = r->mode == 0;
    VXSetItemText(window, kNewPartLabel, slot ? "Slot Designator:" : "Symbol Name:");
    VXSetItemText(window, kNewPartText, slot ? r->designator : r->name);
    VXSetItemVisible(window, kNewPartSymbolLabel, slot);
    VXSetItemVisible(window, kNewPartBasedOn, !slot);
    VXSetItemVisible(window, kNewPartEmpty, !slot);
    VXSetItemEnabled(window, kNewPartSymbols, slot || !r->empty);
    CheckNewPartText(window);
    if (selectText) VXSelectItemText(window, kNewPartText, 0, 32767);
}

int32_t NewPartSlotDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    NewPartRecord* r = gNewPart;
    if (!r) return 0;
    LibraryItem* item = r->editor->item;
    switch (event->kind) {
        case kVXCreateEvent: {
            VXAddListItem(window, kNewPartMode, "New Part Instance", 0);
            VXAddListItem(window, kNewPartMode, "New Part Symbol", 1);
            if (r->editor->state & kSymEditFileSymbol) VXSetListItemEnabled(window, kNewPartMode, 1, false);
            VXSelectListItem(window, kNewPartMode, r->mode, true);
            char name[kTextSize];
            for (int32_t i = 0; i < item->head.symbolCount; ++i) {
                GetLibSymbolName(item, i, name);
                VXAddListItem(window, kNewPartSymbols, name, i);
            }
            if (r->symbol >= 0) VXSelectListItem(window, kNewPartSymbols, r->symbol, true);
            VXSelectRadioButton(window, r->empty ? kNewPartEmpty : kNewPartBasedOn);
            SetPartOrSlot(window, r, true);
            return 0;
        }
        case kVXControlEvent: {
            const uint16_t control = event->u.control.item;
            if (control == kNewPartText) {
                CheckNewPartText(window);
            } else if (control == kNewPartMode) {
                const int32_t mode = VXGetSelectedListItem(window, kNewPartMode, -1);
                if (mode < 0 || mode == r->mode) return 0;
                VXGetItemText(window, kNewPartText, r->mode == 0 ? r->designator : r->name);
                r->mode = mode;
                SetPartOrSlot(window, r, true);
            } else if (control == kNewPartBasedOn || control == kNewPartEmpty) {
                r->empty = VXGetSelectedRadioButton(window, kNewPartBasedOn) == kNewPartEmpty;
                VXSetItemEnabled(window, kNewPartSymbols, r->mode == 0 || !r->empty);
            }
            return 0;
        }
        case kVXEndModalEvent:
            if (event->u.endModal.item != 1) return 0;
            VXGetItemText(window, kNewPartText, r->mode == 0 ? r->designator : r->name);
            TrimSpacesC(r->mode == 0 ? r->designator : r->name);
            r->symbol = VXGetSelectedListItem(window, kNewPartSymbols, -1);
            r->empty = VXGetSelectedRadioButton(window, kNewPartBasedOn) == kNewPartEmpty;
            if (r->mode == 1 && r->empty) r->symbol = -1;
            return 0;
        default: return 0;
    }
}

void NewPartSlotDialog(SymbolEditorRecord* editor) {
    if (!editor || !editor->item) return;
    NewPartRecord record{};
    record.editor = editor;
    record.symbol = editor->symbol;
    record.mode = (editor->state & kSymEditFileSymbol) ? 0 : editor->newPartMode;
    (void)GetUniqueSectionDesignator(editor->item, record.designator);  // "" when all are taken
    GetUniquePartSymbolName(editor->item, record.name);
    NewPartRecord* saved = std::exchange(gNewPart, &record);
    const int16_t ended = VXModalDialog(kNewPartSlotTemplate, kDialogFlags, NewPartSlotDialogHandler, nullptr);
    gNewPart = saved;
    if (ended != 1) return;
    editor->newPartMode = uint8_t(record.mode);
    if (record.mode == 0) {
        if (record.symbol < 0) return;
        if (LibSection* section = NewLibItemSection(editor, record.symbol, record.designator))
            SetSymbolEditorSlot(editor, section);
    } else {
        (void)NewLibItemSymbol(editor, record.symbol, record.name);  // -1 when memory fails: nothing added
    }
}

int32_t PartNameDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    PartNameRecord* r = gPartName;
    if (!r) return 0;
    if (event->kind == kVXCreateEvent) {
        VXSetItemText(window, kPartNameLabel, "Slot Designator");
        VXSetItemText(window, kPartNameText, r->suffix);
        CheckNameField(window, kPartNameText, kSlotDesignatorLength, SuffixIsFresh, nullptr);
        VXSelectItemText(window, kPartNameText, 0, 32767);
    } else if (event->kind == kVXControlEvent && event->u.control.item == kPartNameText) {
        CheckNameField(window, kPartNameText, kSlotDesignatorLength, SuffixIsFresh, nullptr);
    } else if (event->kind == kVXEndModalEvent && event->u.endModal.item == 1) {
        VXGetItemText(window, kPartNameText, r->suffix);
        TrimSpacesC(r->suffix);
    }
    return 0;
}

void PartNameDialog(SymbolEditorRecord* editor, VXWindowRecordTag* tree, int32_t row, int32_t node) {
    if (!editor || !editor->item) return;
    bool changed = false;
    if (node >= 0) {
        changed = PartSymbolDialog(editor, node) != 0;
    } else {
        auto* section = static_cast<LibSection*>(LLGetIndexedLink(editor->item->sections, uint32_t(-node - 1)));
        if (!section) return;
        PartNameRecord record{};
        record.item = editor->item;
        GetLibSectionSuffix(section, editor->item->stringBlock, record.suffix);
        PartNameRecord* saved = std::exchange(gPartName, &record);
        const int16_t ended = VXModalDialog(kPartNameTemplate, kDialogFlags, PartNameDialogHandler, nullptr);
        gPartName = saved;
        if (ended == 1) {
            SetLibSectionSuffix(section, editor->item->stringBlock, record.suffix);
            SetSymbolLibItemModified(editor);
            changed = true;
        }
    }
    (void)row;  // the tree redraws its rows from the item
    if (changed && tree) VXInvalidateHierarchy(tree);
}

}  // namespace plexa
