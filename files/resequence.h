// Signal-name resequencing: default signal names (a sheet's prefix and a number) renumbered over a
// sheet or a project hierarchy, either all of them in hierarchy order from a first number
// ("Resequence Names") or only those that collide across sheets ("Resolve Conflicts"). Names
// fixed by symbols (power nets, ports) and names exported up the hierarchy are respected.
//
// The work is all or nothing up to the saving: every sheet of the walk is taken from memory or
// loaded (through the sheet store, files/sheetstore.h) and held until the end, so that signals
// are named by their handles between collecting and renaming; a sheet that cannot be loaded
// stops the work before any name changes. The new names are then set in memory, and only then
// are the sheets without a window saved; a sheet that fails to save is reported by name and
// handed to the store's keeper (or released when there is none). Sheets loaded only for the work
// are released after they were saved.
#pragma once

#include <cstdint>

#include "foundation/types.h"

namespace plexa {

struct ProjectRecord;
struct SheetRecord;

// Settings flags (kept in the project's resequencing options).
constexpr uint16_t kResequenceNames = 0x0001;       // else resolve conflicts
constexpr uint16_t kResequenceActiveSheet = 0x0002;
constexpr uint16_t kResequenceDepthFirst = 0x0008;  // the second hierarchy order
constexpr int32_t kResequenceNoDepthLimit = 9999;
constexpr int32_t kResequenceNumberLimit = 9999;

constexpr const char* kResequencingMessage = "Resequencing signal names...";
constexpr const char* kResolvingMessage = "Resolving signal name conflicts...";

// What the work needs of the layers above. Defaults: nothing.
struct ResequenceHooks {
    // The message window shown during the work, and its closing.
    void (*showMessage)(const char* text) = nullptr;
    void (*closeMessage)() = nullptr;
    // Reports the result of the work (never called for 0 or -128).
    void (*reportError)(OSStatus status) = nullptr;
    // A sheet (by its file name) whose new names could not be saved, with the status.
    void (*saveFailed)(const char* sheetName, OSStatus status) = nullptr;
    // Takes over a sheet without a window that holds unsaved new names (for instance by showing
    // it in a window): true when it did; without it, or when it could not, such a sheet is
    // released. Optional: a program without windows has nowhere to show it, and its failed save
    // was reported.
    bool (*keepUnsaved)(SheetRecord* sheet) = nullptr;
};
void SetResequenceHooks(const ResequenceHooks& hooks);
const ResequenceHooks& GetResequenceHooks();

// What the work did, for the caller that wants to know.
struct ResequenceSummary {
    int32_t namesChanged;
    int32_t sheetsChanged;
    int32_t sheetsSaved;
    int32_t saveFailures;
};

// The work: with a sheet and no project, that sheet alone (its project when it has one and none
// is given). firstNumber 1 to 9999; depth counts levels below the starting sheets when descend is
// set (9999: no limit). The status of the first failure (a sheet that cannot be found or loaded,
// -108 when memory fails, the first failed save); reported through the hooks unless it is 0 or
// -128.
OSStatus Resequence(ProjectRecord* project, SheetRecord* sheet, uint16_t flags, int32_t firstNumber,
                    bool descend, int32_t depth, ResequenceSummary* summary = nullptr);

// The work as the dialog's stored choices ask for it (the project's resequencing options, or the
// given ones): the depth is unlimited unless descending is on and the limit is above 0.
struct ResequenceOptions;
OSStatus ResequenceWithOptions(ProjectRecord* project, SheetRecord* sheet, const ResequenceOptions& options,
                               ResequenceSummary* summary = nullptr);

}  // namespace plexa
