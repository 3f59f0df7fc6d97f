// The signal, port, buss and buss terminal dialogs.
#include "sheeteditor/signaldialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/strings.h"
#include "model/busses.h"
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/propertynames.h"
#include "sheeteditor/sheetchange.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/symboltexts.h"
#include "model/texts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr int32_t kNameSize = 256;

bool IsEditChange(const VXEventRecord* event, int16_t item) {
    return event->kind == kVXControlEvent && event->u.control.controlType == kVXEditText &&
           int16_t(event->u.control.item) == item;
}
bool IsClick(const VXEventRecord* event, int16_t item) {
    return event->kind == kVXControlEvent && event->u.control.controlType != kVXEditText &&
           int16_t(event->u.control.item) == item;
}
bool ItemEmpty(VXWindowRecordTag* w, int16_t item) {
    char text[kNameSize];
    ReadTrimmedItem(w, item, text, kNameSize - 1);
    return !text[0];
}

// The net name in item 3, selected, with OK enabled when there is one.
void ShowNetName(VXWindowRecordTag* w, const char* name) {
    VXSetItemText(w, 3, name);
    VXSelectItemText(w, 3, 0, 32767);
    VXSetItemEnabled(w, 1, name[0] != 0);
}

// A change of the net name in item 3: cut to the limit, OK enabled when it is not empty.
int32_t NetNameChanged(VXWindowRecordTag* w) {
    VXTruncateItemText(w, 3, kSignalNameLimit);
    VXSetItemEnabled(w, 1, !ItemEmpty(w, 3));
    return 1;
}

// The buss's member names into a list item, at most `limit`; the first one, or "" with none.
std::string FillMemberList(VXWindowRecordTag* w, int16_t item, SheetRecord* sheet, BussHandle buss, int32_t limit) {
    std::string first;
    BusMembersCollection members = CollectBusMemberInfo(sheet, buss);
    const int32_t n = std::min(CountBusMembers(members), limit);
    for (int32_t i = 0; i < n; ++i) {
        char member[kBusMemberNameSize];
        (void)GetCollectedBusMemberInfo(members, i, member);  // where the member comes from is not shown
        VXAddListItem(w, item, member, i);
        if (i == 0) first = member;
    }
    DestroyBusMembersCollection(members);
    return first;
}

// ---- Signal dialog ----

struct SignalDialogState {
    SheetRecord* sheet;
    SignalHandle signal;
    char* name;
    uint8_t* first;
    uint8_t* second;
    int32_t showItem2;
    NetNameValidationProc validation;
    bool confirmed;
    AttributeEditor* attributes;
};

int32_t SignalInfoDialogHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    auto* s = static_cast<SignalDialogState*>(w->refCon);
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            ShowNetName(w, s->name);
            VXSetItemVisible(w, 2, s->showItem2 != 0);
            VXSetItemVisible(w, 6, s->second != nullptr);
            if (s->second) VXSetItemChecked(w, 6, *s->second);
            VXSetItemVisible(w, 4, s->first != nullptr);
            if (s->first) VXSetItemChecked(w, 4, *s->first);
            if (s->signal) {
                Rect area;
                VXGetItemPosition(w, 5, &area);
                VXSetItemVisible(w, 5, false);
                s->attributes = CreateAttributeEditorWindow(w, &area, s->sheet->stringBlock, (*s->signal)->attributes, 0,
                                                            (*s->signal)->attributeCount, kSignalNames, false, false);
                SetAttributeEditorNavigation(s->attributes, w, 3, 3);
            }
            return 0;
        case kVXTabOutEvent:
            return NavigateIntoAttributeEditor(s->attributes, event);
        case kVXControlEvent:
            if (IsEditChange(event, 3)) return NetNameChanged(w);
            if (IsClick(event, 1)) {
                if (!FlushAttributeEditor(s->attributes)) return 1;
                char name[kNameSize];
                ReadTrimmedItem(w, 3, name, kSignalNameLimit);
                if (!name[0] || (s->validation && !s->validation(s->sheet, s->signal, name))) return 1;
                std::strcpy(s->name, name);
            }
            return 0;
        case kVXEndModalEvent:
            s->confirmed = event->u.endModal.item == 1;
            if (s->confirmed) {
                if (s->first) *s->first = VXGetItemChecked(w, 4) != 0;
                if (s->second) *s->second = VXGetItemChecked(w, 6) != 0;
                if (s->attributes && s->attributes->changed) {
                    SignalRecord* signal = *s->signal;
                    int16_t count = int16_t(signal->attributeCount);
                    signal->attributes = GetAttributeEditorData(s->attributes, signal->attributes, 0, &count,
                                                                s->sheet->stringBlock, false);
                    (*s->signal)->attributeCount = uint16_t(count);
                }
            }
            return 0;
        default:
            return 0;
    }
}

// ---- Port name dialog ----

constexpr const char* kPortTypes[] = {"Unspecified", "Input", "Output", "Bidirectional"};

struct PortDialogState {
    SheetRecord* sheet;
    SymbolRecord* symbol;
    void* net;
    NetNameValidationProc validation;
    uint8_t* option;
    PortNameResult* result;
    bool buss;
    char saved[kNameSize];
    bool confirmed;
};

void FollowSameAs(VXWindowRecordTag* w, int16_t source, int16_t target, int16_t check, char* saved, bool toggled) {
    const bool same = VXGetItemChecked(w, check) != 0;
    char text[kNameSize];
    if (same) {
        if (toggled) VXGetItemText(w, target, saved);
        VXGetItemText(w, source, text);
        VXSetItemText(w, target, text);
    } else if (toggled) {
        VXSetItemText(w, target, saved);
        VXSelectItemText(w, target, 0, 32767);
    }
    VXSetItemEnabled(w, target, !same);
}

int32_t PortNameDialogHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    auto* s = static_cast<PortDialogState*>(w->refCon);
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            char net[kNameSize] = {};
            if (s->buss) {
                GetBussName(static_cast<BussHandle>(s->net), s->sheet->stringBlock, net, kNameSize);
                VXSetItemText(w, 4, "Bus Name:");
                VXSetItemText(w, 7, "Same as Bus Name");
            } else {
                GetSignalName(static_cast<SignalHandle>(s->net), s->sheet->stringBlock, net, kNameSize);
            }
            VXSetItemText(w, 3, net);
            VXSelectItemText(w, 3, 0, 32767);
            VXSetItemVisible(w, 5, s->option != nullptr);
            if (s->option) VXSetItemChecked(w, 5, *s->option);
            char shown[kNameSize];
            const bool own = GetPortSymbolName(s->sheet, s->symbol, s->net, shown, kNameSize) == 0;
            VXSetItemText(w, 6, shown);
            std::strcpy(s->saved, own ? shown : "");
            VXSetItemChecked(w, 7, !own);
            VXSetItemEnabled(w, 6, own);
            const TextRecord* label = RetrieveSymbolText(s->sheet, s->symbol, kTextKindNetSymbol);
            VXSetItemChecked(w, 8, label && !(label->flags & kTextFlagHidden));
            for (int32_t i = 0; i < 4; i++) VXAddListItem(w, 9, kPortTypes[i], i);
            const int32_t type = GetPortSymbolType(s->symbol);
            VXSelectListItem(w, 9, type >= 0 && type < 4 ? type : 0, true);
            VXSetItemEnabled(w, 1, net[0] != 0 || s->buss);
            return 0;
        }
        case kVXControlEvent:
            if (IsEditChange(event, 3)) {
                VXTruncateItemText(w, 3, kSignalNameLimit);
                if (VXGetItemChecked(w, 7)) FollowSameAs(w, 3, 6, 7, s->saved, false);
                if (!s->buss) VXSetItemEnabled(w, 1, !ItemEmpty(w, 3));
                return 1;
            }
            if (IsEditChange(event, 6)) {
                VXTruncateItemText(w, 6, kSignalNameLimit);
                return 1;
            }
            if (IsClick(event, 7)) {
                VXSetItemChecked(w, 7, !VXGetItemChecked(w, 7));
                FollowSameAs(w, 3, 6, 7, s->saved, true);
                return 1;
            }
            if (IsClick(event, 1)) {
                char name[kNameSize];
                ReadTrimmedItem(w, 3, name, kSignalNameLimit);
                if (s->validation && !s->validation(s->sheet, s->net, name)) return 1;
            }
            return 0;
        case kVXEndModalEvent: {
            PortNameResult* r = s->result;
            std::memset(r, 0, sizeof *r);
            s->confirmed = event->u.endModal.item == 1;
            if (!s->confirmed) return 0;
            ReadTrimmedItem(w, 3, r->netName, kSignalNameLimit);
            ReadTrimmedItem(w, 6, r->displayName, kSignalNameLimit);
            r->sameAsNet = VXGetItemChecked(w, 7) != 0 || !r->displayName[0];
            if (r->sameAsNet) std::strcpy(r->displayName, r->netName);
            const int32_t type = VXGetSelectedListItem(w, 9, -1);
            r->portType = uint16_t(type >= 0 && type < 4 ? type : 0);
            r->labelShown = r->displayName[0] && VXGetItemChecked(w, 8) != 0;
            if (s->option) *s->option = VXGetItemChecked(w, 5) != 0;
            return 0;
        }
        default:
            return 0;
    }
}

// ---- Buss dialog ----

struct BussDialogState {
    SheetRecord* sheet;
    BussHandle buss;
    char* name;
    int32_t* option;
    bool showItem2;
    bool confirmed;
};

int32_t BusInfoDialogHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    auto* s = static_cast<BussDialogState*>(w->refCon);
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            VXSetItemVisible(w, 2, s->showItem2);
            VXSetItemText(w, 3, s->name);
            VXSelectItemText(w, 3, 0, 32767);
            VXSetItemVisible(w, 4, s->option != nullptr);
            if (s->option) VXSetItemChecked(w, 4, *s->option != 0);
            FillMemberList(w, 6, s->sheet, s->buss, kBusMembersLimit);
            return 0;
        }
        case kVXControlEvent:
            if (IsEditChange(event, 3)) {
                VXTruncateItemText(w, 3, kBussNameLimit);
                return 1;
            }
            return 0;
        case kVXEndModalEvent:
            s->confirmed = event->u.endModal.item == 1;
            if (s->confirmed) {
                ReadTrimmedItem(w, 3, s->name, kBussNameLimit);
                if (s->option) *s->option = s->name[0] && VXGetItemChecked(w, 4);
            }
            return 0;
        default:
            return 0;
    }
}

// ---- Buss terminal dialog ----

struct TerminalDialogState {
    SheetRecord* sheet;
    BussHandle buss;
    int32_t terminal;
    uint8_t* flag;
    char saved[kNameSize];
    bool confirmed;
};

int32_t BusTerminalDialogHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    auto* s = static_cast<TerminalDialogState*>(w->refCon);
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            char name[kNameSize], own[kNameSize];
            GetBussName(s->buss, s->sheet->stringBlock, name, kNameSize);
            const bool same = GetBussTerminalName(s->buss, s->terminal, s->sheet->stringBlock, own, kNameSize) != 0;
            VXSetItemText(w, 3, name);
            VXSetItemText(w, 4, own);
            std::strcpy(s->saved, same ? "" : own);
            VXSetItemChecked(w, 5, same);
            VXSetItemEnabled(w, 4, !same);
            VXSetItemVisible(w, 6, s->flag != nullptr);
            if (s->flag) VXSetItemChecked(w, 6, *s->flag);
            return 0;
        }
        case kVXControlEvent:
            if (IsEditChange(event, 3) || IsEditChange(event, 4)) {
                VXTruncateItemText(w, int16_t(event->u.control.item), kBussNameLimit);
                if (VXGetItemChecked(w, 5)) FollowSameAs(w, 3, 4, 5, s->saved, false);
                return 1;
            }
            if (IsClick(event, 5)) {
                VXSetItemChecked(w, 5, !VXGetItemChecked(w, 5));
                FollowSameAs(w, 3, 4, 5, s->saved, true);
                return 1;
            }
            return 0;
        case kVXEndModalEvent:
            s->confirmed = event->u.endModal.item == 1;
            if (s->confirmed) {
                char name[kNameSize], own[kNameSize];
                ReadTrimmedItem(w, 3, name, kBussNameLimit);
                ReadTrimmedItem(w, 4, own, kBussNameLimit);
                if (VXGetItemChecked(w, 5)) own[0] = 0;
                if (!SheetTextsFit(s->sheet, {name, own})) {
                    s->confirmed = false;
                    return 0;
                }
                SetBussName(s->buss, s->sheet->stringBlock, name);
                SetBussTerminalName(s->buss, s->terminal, s->sheet->stringBlock, own);
                if (s->flag) *s->flag = (name[0] || own[0]) && VXGetItemChecked(w, 6);
            }
            return 0;
        default:
            return 0;
    }
}

// ---- Buss member chooser ----

constexpr int32_t kMaxMemberChoices = 100;

struct MemberDialogState {
    SheetRecord* sheet;
    BussHandle buss;
    char* name;
    bool confirmed;
};

int32_t ChooseBusMemberDialogHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    auto* s = static_cast<MemberDialogState*>(w->refCon);
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            const std::string first = FillMemberList(w, 5, s->sheet, s->buss, kMaxMemberChoices);
            VXSetItemEnabled(w, 5, !first.empty());
            if (!s->name[0]) std::snprintf(s->name, kNameSize, "%s", first.c_str());
            if (!s->name[0]) GetUniqueSignalName(s->sheet, nullptr, s->name, kNameSize);
            ShowNetName(w, s->name);
            return 0;
        }
        case kVXControlEvent:
            if (IsEditChange(event, 3)) return NetNameChanged(w);
            if (IsClick(event, 5)) {
                const int32_t chosen = VXGetSelectedListItem(w, 5, -1);
                if (chosen >= 0) {
                    char member[kNameSize] = {};
                    VXGetListItem(w, 5, chosen, member);
                    VXSetItemText(w, 3, member);
                    VXTruncateItemText(w, 3, kSignalNameLimit);
                    VXSelectItemText(w, 3, 0, 32767);
                    VXSetItemEnabled(w, 1, !ItemEmpty(w, 3));
                }
                return 1;
            }
            return 0;
        case kVXEndModalEvent:
            s->confirmed = event->u.endModal.item == 1;
            if (s->confirmed) {
                ReadTrimmedItem(w, 3, s->name, kSignalNameLimit);
                if (VXGetItemChecked(w, 4)) {
                    SetBreakoutSequence(s->sheet, s->buss, s->name);
                } else {
                    ClearBreakoutSequence(s->sheet);
                    SetBreakoutSequence(s->sheet, nullptr, s->name);
                }
            } else {
                s->name[0] = 0;
            }
            return 0;
        default:
            return 0;
    }
}

}  // namespace

int32_t ChooseBusMemberNameDialog(SheetRecord* sheet, BussHandle buss, char* name) {
    if (!sheet || !buss || !name) return 0;
    MemberDialogState state{sheet, buss, name, false};
    VXModalDialog(kChooseBusMemberTemplate, kVXPlaceCentre, ChooseBusMemberDialogHandler, &state);
    return state.confirmed;
}

void ReadTrimmedItem(VXWindowRecordTag* window, int16_t item, char* out, int32_t limit) {
    VXTruncateItemText(window, item, limit);
    char text[1024] = {};
    VXGetItemText(window, item, text);
    TrimSpacesC(text);
    const size_t length = strnlen(text, size_t(kNameSize - 1));
    std::memcpy(out, text, length);
    std::memset(out + length, 0, size_t(kNameSize) - length);  // zero-filled, as strncpy leaves it
}

int32_t SignalInfoDialog(SheetRecord* sheet, SignalHandle signal, char* name, uint8_t* firstOption,
                         uint8_t* secondOption, int32_t showItem2, NetNameValidationProc validation) {
    if (!sheet || !name) return 0;
    SignalDialogState state{sheet, signal, name, firstOption, secondOption, showItem2, validation, false, nullptr};
    VXModalDialog(kSignalInfoTemplate, kVXPlaceCentre, SignalInfoDialogHandler, &state);  // frees the editor
    return state.confirmed;
}

int32_t PortNameDialog(SheetRecord* sheet, SymbolRecord* symbol, void* net, NetNameValidationProc validation,
                       uint8_t* option, PortNameResult* result) {
    if (!sheet || !symbol || !result) return 0;
    PortDialogState state{sheet, symbol, net, validation, option, result,
                          (symbol->flags & kSymbolFlagBussPort) != 0, {}, false};
    std::memset(result, 0, sizeof *result);
    VXModalDialog(kPortNameTemplate, kVXPlaceCentre, PortNameDialogHandler, &state);
    return state.confirmed;
}

int32_t BusInfoDialog(SheetRecord* sheet, BussHandle buss, char* name, int32_t* option, bool showItem2) {
    if (!sheet || !buss || !name) return 0;
    BussDialogState state{sheet, buss, name, option, showItem2, false};
    VXModalDialog(kBusInfoTemplate, kVXPlaceCentre, BusInfoDialogHandler, &state);
    return state.confirmed;
}

int32_t BusTerminalDialog(SheetRecord* sheet, BussHandle buss, int32_t terminal, uint8_t* flag) {
    if (!sheet || !buss) return 0;
    TerminalDialogState state{sheet, buss, terminal, flag, {}, false};
    VXModalDialog(kBusTerminalTemplate, kVXPlaceCentre, BusTerminalDialogHandler, &state);
    return state.confirmed;
}

}  // namespace plexa
