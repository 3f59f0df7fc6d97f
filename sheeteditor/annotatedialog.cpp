// The annotation dialog: the controls show an AnnotationChoices record, and every change is read
// back into it and shown again through the plain functions of design/annotate.h.
#include "sheeteditor/annotatedialog.h"

#include <cstring>
#include <utility>

#include "design/annotate.h"
#include "files/project.h"
#include "foundation/ll.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

struct AnnotationDialogState {
    AnnotationChoices choices;
    bool haveSheet = false;
    bool haveSelection = false;
    bool confirmed = false;
};

AnnotationDialogState* gDialog = nullptr;

void ReadChoices(VXWindowRecordTag* w, AnnotationChoices* c) {
    const int16_t clearing = VXGetSelectedRadioButton(w, kAnnotNoClearingItem);
    c->clearing = clearing == kAnnotClearAllItem ? 2 : clearing == kAnnotClearConflictingItem ? 1 : 0;
    c->resequence = VXGetItemChecked(w, kAnnotResequenceItem) != 0;
    c->assign = VXGetItemChecked(w, kAnnotAssignItem) != 0;
    c->keepOrder = VXGetItemChecked(w, kAnnotKeepOrderItem) != 0;
    c->resequenceFirst = VXGetItemChecked(w, kAnnotResequenceFirstItem) != 0;
    c->startNumber = VXGetItemInt(w, kAnnotStartNumberItem);
    const int16_t scope = VXGetSelectedRadioButton(w, kAnnotProjectItem);
    c->scope = scope == kAnnotSelectionItem ? 2 : scope == kAnnotSheetItem ? 1 : 0;
    VXGetItemText(w, kAnnotPrefixFilterItem, c->prefixFilter);
    c->prefixFilter[sizeof c->prefixFilter - 1] = 0;
    c->limitHierarchy = VXGetItemChecked(w, kAnnotLimitItem) != 0;
    c->depthFirst = VXGetSelectedRadioButton(w, kAnnotBreadthFirstItem) == kAnnotDepthFirstItem;
    c->depth = VXGetItemInt(w, kAnnotDepthItem);
}

// The enabled states and the operation shown for the choices.
void ShowEnables(VXWindowRecordTag* w, const AnnotationDialogState& s) {
    const AnnotationEnables e = GetAnnotationEnables(s.choices, s.haveSheet, s.haveSelection);
    VXSetItemEnabled(w, 1, e.ok);
    VXSetItemEnabled(w, kAnnotResequenceItem, e.resequence);
    VXSetItemEnabled(w, kAnnotKeepOrderItem, e.keepOrder);
    VXSetItemEnabled(w, kAnnotResequenceFirstItem, e.resequenceFirst);
    VXSetItemEnabled(w, kAnnotStartNumberItem, e.startNumber);
    VXSetItemEnabled(w, kAnnotStartLabelItem, e.startNumber);
    VXSetItemEnabled(w, kAnnotSheetItem, e.currentSheet);
    VXSetItemEnabled(w, kAnnotSelectionItem, e.selectedSymbols);
    for (int16_t item : {kAnnotBreadthFirstItem, kAnnotDepthFirstItem, kAnnotDepthItem})
        VXSetItemEnabled(w, item, e.hierarchyOptions);
    VXSetListItemEnabled(w, kAnnotOperationListItem, kAnnotCustomOperation, e.customEntry);
    const int32_t shown = VXGetSelectedListItem(w, kAnnotOperationListItem, -1);
    const uint8_t index = DetectAnnotationOperation(s.choices, nullptr);
    if (shown != index) {
        if (shown >= 0) VXSelectListItem(w, kAnnotOperationListItem, shown, false);
        VXSelectListItem(w, kAnnotOperationListItem, index, true);
    }
}

// The operation controls (5 to 9) for the choices, hidden while they change.
void ShowOperation(VXWindowRecordTag* w, const AnnotationDialogState& s) {
    const bool visible = VXIsWindowVisible(w, false);
    const int16_t options[] = {kAnnotNoClearingItem, kAnnotClearConflictingItem, kAnnotClearAllItem,
                               kAnnotResequenceItem, kAnnotAssignItem, kAnnotKeepOrderItem,
                               kAnnotResequenceFirstItem, kAnnotStartLabelItem};
    if (visible)
        for (int16_t item : options) VXSetItemVisible(w, item, false);
    const int16_t clearing[] = {kAnnotNoClearingItem, kAnnotClearConflictingItem, kAnnotClearAllItem};
    VXSelectRadioButton(w, clearing[s.choices.clearing <= 2 ? s.choices.clearing : 0]);
    VXSetItemChecked(w, kAnnotResequenceItem, s.choices.resequence);
    VXSetItemChecked(w, kAnnotAssignItem, s.choices.assign);
    ShowEnables(w, s);
    if (visible)
        for (int16_t item : options) VXSetItemVisible(w, item, true);
}

void ShowAll(VXWindowRecordTag* w, const AnnotationDialogState& s) {
    const AnnotationChoices& c = s.choices;
    VXSetItemText(w, kAnnotPrefixFilterItem, c.prefixFilter);
    VXSetItemChecked(w, kAnnotResequenceFirstItem, c.resequenceFirst);
    VXSetItemChecked(w, kAnnotKeepOrderItem, c.keepOrder);
    VXSetItemChecked(w, kAnnotLimitItem, c.limitHierarchy);
    VXSetItemInt(w, kAnnotDepthItem, c.depth);
    VXSetItemInt(w, kAnnotStartNumberItem, c.startNumber);
    VXSelectRadioButton(w, c.depthFirst ? kAnnotDepthFirstItem : kAnnotBreadthFirstItem);
    const int16_t scopes[] = {kAnnotProjectItem, kAnnotSheetItem, kAnnotSelectionItem};
    VXSelectRadioButton(w, scopes[c.scope <= 2 ? c.scope : 0]);
    ShowOperation(w, s);
}

}  // namespace

int32_t AnnotationDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    AnnotationDialogState* s = gDialog;
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent:
            for (int32_t i = 0; i <= kAnnotCustomOperation; ++i)
                VXAddListItem(window, kAnnotOperationListItem, kAnnotationOperationNames[i], i);
            ShowAll(window, *s);
            return 0;
        case kVXControlEvent: {
            const uint16_t item = event->u.control.item;
            if (item == kAnnotOperationListItem) {
                const int32_t chosen = VXGetSelectedListItem(window, kAnnotOperationListItem, -1);
                if (chosen >= 0 && chosen < kAnnotCustomOperation &&
                    chosen != DetectAnnotationOperation(s->choices, nullptr)) {
                    SelectAnnotationOperation(&s->choices, uint8_t(chosen), 0);
                    ShowOperation(window, *s);
                }
                return 0;
            }
            if ((item >= kAnnotNoClearingItem && item <= kAnnotAssignItem) || item == kAnnotLimitItem) {
                ReadChoices(window, &s->choices);
                ShowEnables(window, *s);
            }
            return 0;
        }
        case kVXEndModalEvent:
            if (event->u.endModal.item == 1) {
                VXEnforceItemIntRange(window, kAnnotStartNumberItem, 1, kAnnotMaxNumber, true);
                VXEnforceItemIntRange(window, kAnnotDepthItem, 0, kAnnotMaxNumber, true);
                ReadChoices(window, &s->choices);
                s->confirmed = true;
            }
            return 0;
        default:
            return 0;
    }
}

bool RunAnnotationDialog(AnnotationSettings* settings, bool haveSheet, bool haveSelection) {
    AnnotationDialogState state;
    state.haveSheet = haveSheet;
    state.haveSelection = haveSheet && haveSelection;
    state.choices = ChoicesFromSettings(*settings, haveSheet, state.haveSelection);
    AnnotationDialogState* saved = std::exchange(gDialog, &state);
    VXModalDialog(kAnnotationDialogTemplate, kAnnotationDialogFlags, AnnotationDialogHandler, nullptr);
    gDialog = saved;
    if (state.confirmed) StoreAnnotationChoices(state.choices, settings);
    return state.confirmed;
}

void AutoAnnotate(ProjectRecord* project, SheetRecord* sheet, uint32_t) {
    if (sheet) project = sheet->project;
    if (!project) return;
    bool selection = false;
    if (sheet)
        for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s && !selection; s = s->next)
            selection = (s->flags & kSymbolFlagSelected) != 0;
    AnnotationSettings settings = project->annotationOptions;
    if (!RunAnnotationDialog(&settings, sheet != nullptr, selection)) return;
    project->annotationOptions = settings;
    (void)Annotate(project, sheet, settings.operationMask, settings.startNumber, settings.limitHierarchy != 0,  // it reports its own failure
             AnnotationRunDepth(settings));
    if (const auto names = GetAnnotationHooks().updateTreeInstanceNames) names(project, 16);
}

void AddAnnotationDialogHooks(AnnotationHooks& hooks) {
    hooks.showMessage = [](const char* message) { VXStaticMessage(kVXPlaceCentre, message ? message : ""); };
    hooks.reportError = [](OSStatus code) { VXErrorReport(code); };
}

}  // namespace plexa
