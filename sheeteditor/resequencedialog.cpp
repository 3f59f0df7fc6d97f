// The signal-name resequencing dialog: two lists (mode and range), the first number, and the
// hierarchy choices that only apply while descending into sub-sheets.
#include "sheeteditor/resequencedialog.h"

#include <utility>

#include "files/project.h"
#include "files/resequence.h"
#include "model/sheet.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"

namespace plexa {
namespace {

constexpr uint16_t kResequenceDialogFlags = 0x402;  // a third down, on the front window's screen
constexpr const char* kModeNames[] = {"Resolve Conflicts", "Resequence Names"};
constexpr const char* kRangeNames[] = {"Entire Project", "Active Sheet"};

struct SigSequencerDialogRecord {
    ResequenceOptions options{};
    bool haveSheet = false;
    bool confirmed = false;
};

SigSequencerDialogRecord* gDialog = nullptr;

void EnableSequencerHierarchyOptions(VXWindowRecordTag* window) {
    const bool on = VXGetItemChecked(window, kSeqDescendItem) != 0;
    if (!on && VXGetFocusItem(window, nullptr) == kSeqDepthItem)
        (void)VXSetFocusItem(window, kSeqFirstNumberItem);  // a refused focus leaves it where it was
    for (int16_t item : {kSeqBreadthFirstItem, kSeqDepthFirstItem, kSeqDepthItem}) VXSetItemEnabled(window, item, on);
}

void SelectOnly(VXWindowRecordTag* window, int16_t item, int32_t index) {
    for (int32_t i = 0, n = VXCountListItems(window, item); i < n; ++i) VXSelectListItem(window, item, i, i == index);
}

}  // namespace

int32_t SigSequencerDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SigSequencerDialogRecord* d = gDialog;
    if (!d) return 0;
    ResequenceOptions& o = d->options;
    switch (event->kind) {
        case kVXCreateEvent:
            for (int32_t i = 0; i < 2; ++i) {
                VXAddListItem(window, kSeqModeItem, kModeNames[i], i);
                VXAddListItem(window, kSeqRangeItem, kRangeNames[i], i);
            }
            SelectOnly(window, kSeqModeItem, (o.optionBits & kResequenceNames) ? 1 : 0);
            if (!d->haveSheet) {
                o.optionBits &= uint16_t(~kResequenceActiveSheet);
                VXSetListItemEnabled(window, kSeqRangeItem, 1, false);
            }
            SelectOnly(window, kSeqRangeItem, (o.optionBits & kResequenceActiveSheet) ? 1 : 0);
            VXSetItemInt(window, kSeqFirstNumberItem, o.startNumber);
            VXSetItemInt(window, kSeqDepthItem, o.depthLimit);
            VXSetItemChecked(window, kSeqDescendItem, o.limitHierarchy != 0);
            VXSelectRadioButton(window, (o.optionBits & kResequenceDepthFirst) ? kSeqDepthFirstItem : kSeqBreadthFirstItem);
            EnableSequencerHierarchyOptions(window);
            return 0;
        case kVXControlEvent:
            switch (event->u.control.item) {
                case kSeqFirstNumberItem:
                    (void)VXEnforceItemIntRange(window, kSeqFirstNumberItem, 1, kResequenceNumberLimit, false);  // the clamped value is shown
                    break;
                case kSeqDepthItem:
                    (void)VXEnforceItemIntRange(window, kSeqDepthItem, 0, kResequenceNumberLimit, false);  // the clamped value is shown
                    break;
                case kSeqDescendItem: EnableSequencerHierarchyOptions(window); break;
                default: break;
            }
            return 0;
        case kVXEndModalEvent:
            if (event->u.endModal.item == 1) {
                (void)VXEnforceItemIntRange(window, kSeqFirstNumberItem, 1, kResequenceNumberLimit, false);  // read back below
                (void)VXEnforceItemIntRange(window, kSeqDepthItem, 0, kResequenceNumberLimit, false);  // read back below
                uint16_t bits = 0;
                if (VXGetSelectedListItem(window, kSeqModeItem, -1) == 1) bits |= kResequenceNames;
                if (d->haveSheet && VXGetSelectedListItem(window, kSeqRangeItem, -1) == 1) bits |= kResequenceActiveSheet;
                if (VXGetSelectedRadioButton(window, kSeqBreadthFirstItem) == kSeqDepthFirstItem) bits |= kResequenceDepthFirst;
                o.optionBits = bits;
                o.startNumber = uint16_t(VXGetItemInt(window, kSeqFirstNumberItem));
                o.depthLimit = int16_t(VXGetItemInt(window, kSeqDepthItem));
                o.limitHierarchy = VXGetItemChecked(window, kSeqDescendItem) != 0;
                d->confirmed = true;
            }
            return 0;
        default:
            return 0;
    }
}

bool RunSigSequencerDialog(ResequenceOptions* options, bool haveSheet) {
    SigSequencerDialogRecord record;
    record.options = *options;
    record.haveSheet = haveSheet;
    SigSequencerDialogRecord* saved = std::exchange(gDialog, &record);
    VXModalDialog(kResequenceDialogTemplate, kResequenceDialogFlags, SigSequencerDialogHandler, nullptr);
    gDialog = saved;
    if (record.confirmed) *options = record.options;
    return record.confirmed;
}

void ResequenceSignalNames(ProjectRecord* project, SheetRecord* sheet) {
    if (sheet) project = sheet->project;
    if (!project) return;
    ResequenceOptions options = project->resequenceOptions;
    if (!RunSigSequencerDialog(&options, sheet != nullptr)) return;
    project->resequenceOptions = options;
    (void)ResequenceWithOptions(project, sheet, options);  // it reports its own failure
}

}  // namespace plexa
