// The model's window and hooks; see modelhooks.h.
#include "model/modelhooks.h"

#include "graphics/colors.h"
#include "model/sheet.h"
#include "toolkit/vx_app.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {
ModelHooks gHooks;
}  // namespace

VXWindowRecordTag* gOffScreenWindow = nullptr;

void SetModelHooks(const ModelHooks& hooks) { gHooks = hooks; }
const ModelHooks& GetModelHooks() { return gHooks; }

void ChangedPreferences(uint32_t mask) {
    if (gHooks.changedPreferences) gHooks.changedPreferences(mask);
}

void CollectUndoSheetTextAltRef(SheetRecord* sheet, TextRecord* text, int64_t oldOwner) {
    if (gHooks.collectTextOwnerChange) gHooks.collectTextOwnerChange(sheet, text, oldOwner);
}

VXWindowRecordTag* GetOffScreenWindow() {
    if (!gOffScreenWindow) {
        VXWindowRecordTag* previous = vx.currentWindow;
        gOffScreenWindow = VXCreateOffScreenWindow(nullptr, 0, nullptr);
        VXSetWindow(previous);
    }
    return gOffScreenWindow;
}

SheetRecord* WindowToDrawing(VXWindowRecordTag* window) {
    VXWindowRecordTag* top = window ? VXGetTopParent(window) : nullptr;
    if (!top || top->typeID != kSheetWindowKind) return nullptr;
    return static_cast<SheetRecord*>(top->refCon);
}

ModelWindowScope::ModelWindowScope(VXWindowRecordTag* window)
    : window_(window ? window : GetOffScreenWindow()), previous_(vx.currentWindow) {
    if (window_) VXSetWindow(window_);
}

ModelWindowScope::~ModelWindowScope() {
    if (window_) VXSetWindow(previous_);
}

}  // namespace plexa
