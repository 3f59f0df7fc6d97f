// The model's window and hooks; see modelhooks.h.
#include "model/modelhooks.h"

#include "foundation/geometry.h"
#include "graphics/colors.h"
#include "graphics/grafprocs.h"
#include "graphics/offscreen.h"
#include "model/sheet.h"

namespace plexa {

namespace {
ModelHooks gHooks;
// What an invalidated sheet area is grown by: the size of a selection handle.
constexpr int16_t kSheetViewHandleSize = 4;
}  // namespace

void SetModelHooks(const ModelHooks& hooks) { gHooks = hooks; }
const ModelHooks& GetModelHooks() { return gHooks; }

void ChangedPreferences(uint32_t mask) {
    if (gHooks.changedPreferences) gHooks.changedPreferences(mask);
}

void CollectUndoSheetTextAltRef(SheetRecord* sheet, TextRecord* text, int64_t oldOwner) {
    if (gHooks.collectTextOwnerChange) gHooks.collectTextOwnerChange(sheet, text, oldOwner);
}

void DrawJunctionDot(Point pt, int32_t mode) {
    if (gHooks.drawJunctionDot) gHooks.drawJunctionDot(pt, mode);
    else DrawSquareJunctionDot(pt, mode);
}

void DrawSquareJunctionDot(Point pt, int32_t) {
    Rect dot;
    VXSetRect(&dot, int16_t(pt.h - 2), int16_t(pt.v - 2), int16_t(pt.h + 3), int16_t(pt.v + 3));
    VXRectDispatch(&dot, 1);
}

void InvalSheetView(SheetRecord* sheet, const Rect* area) {
    if (!sheet || !area) return;
    if (gHooks.invalSheetView) {
        gHooks.invalSheetView(sheet, area);
        return;
    }
    if (!sheet->window) return;
    Rect grown = *area;
    VXInsetRect(&grown, -kSheetViewHandleSize, -kSheetViewHandleSize);
    VXInvalTargetRect(sheet->window, &grown);
}

void GetProjectSignalScope(ProjectRecord* project, int32_t* portLevel, bool* breakOutsGlobal) {
    int32_t level = 1;
    bool global = false;
    if (project && gHooks.projectSignalScope) gHooks.projectSignalScope(project, &level, &global);
    if (portLevel) *portLevel = level;
    if (breakOutsGlobal) *breakOutsGlobal = global;
}

SheetRecord* WindowToDrawing(VXWindowRecordTag* window) {
    return window && gHooks.windowSheet ? gHooks.windowSheet(window) : nullptr;
}

VXGrafState* WindowGrafState(VXWindowRecordTag* window) {
    return window ? VXGrafStateOfTarget(window) : VXGetMeasuringState();
}

}  // namespace plexa
