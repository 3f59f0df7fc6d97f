// The converter's progress windows and busy cursor.
#include "converter/progress.h"

#include "converter/app.h"
#include "converter/options.h"
#include "toolkit/vx_about.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

VXWindowRecordTag* gLibProgressWindow = nullptr;
VXWindowRecordTag* gPrjProgressWindow = nullptr;

namespace {

constexpr uint8_t kModelessDialogStyle = 2;
// A window that goes, by whatever way, is forgotten.
int32_t ProgressEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    if (event->kind == kVXDestroyEvent) {
        if (window == gLibProgressWindow) gLibProgressWindow = nullptr;
        if (window == gPrjProgressWindow) gPrjProgressWindow = nullptr;
    }
    return 0;
}

bool gProgressShown = true;

VXWindowRecordTag* OpenProgressWindow(uint16_t templateID, int16_t iconItem, int32_t steps,
                                      const char* message) {
    VXWindowRecordTag* window = VXLoadDialogWindow(templateID, kModelessDialogStyle, 0, kVXPlaceThird,
                                                   0, ProgressEventHandler, nullptr);
    if (!window) return nullptr;
    VXSetItemImageFromResource(window, iconItem, kConverterIcon, kConverterIconType, 0);
    VXSetProgressBarRange(window, kProgressBarItem, 0, steps);
    VXSetItemText(window, kProgressMessageItem, message ? message : "");
    VXShowWindow(window);
    VXWaitUpdateWindows();
    return window;
}

void Close(VXWindowRecordTag*& window) {
    VXWindowRecordTag* closing = window;
    window = nullptr;
    if (closing) VXDestroyWindow(closing);
}

}  // namespace

void SetProgressWindowsShown(bool shown) { gProgressShown = shown; }

void CreateLibProgressWindow(int32_t steps, const char* message, uint32_t) {
    if (gLibProgressWindow || !gProgressShown) return;
    gLibProgressWindow =
        OpenProgressWindow(kLibraryProgressTemplate, kLibraryProgressIconItem, steps, message);
}

void SetProgressMessage(const char* text) {
    if (gLibProgressWindow) VXSetItemText(gLibProgressWindow, kProgressMessageItem, text ? text : "");
}

void StepLibProgressBar() {
    if (gLibProgressWindow) VXStepProgressBar(gLibProgressWindow, kProgressBarItem, 1);
}

void DestroyLibProgressWindow() { Close(gLibProgressWindow); }

void CreateProgressWindow(int32_t sheets, const char* message) {
    if (gPrjProgressWindow || !gProgressShown) return;
    const int32_t perSheet = kProgressStepsPerSheet + (gConvert96DPI ? 1 : 0);
    gPrjProgressWindow = OpenProgressWindow(kProjectProgressTemplate, kProjectProgressIconItem,
                                            sheets * perSheet, message);
}

void SetProjectProgressMessage(const char* text) {
    if (gPrjProgressWindow) VXSetItemText(gPrjProgressWindow, kProgressMessageItem, text ? text : "");
}

void StepProjectProgressBar() {
    if (!gPrjProgressWindow) return;
    VXStepProgressBar(gPrjProgressWindow, kProgressBarItem, 1);
    VXWaitUpdateWindows();
}

void IdleProgressBar() {
    if (!gPrjProgressWindow) return;
    WaitCursor();
    VXWaitUpdateWindows();
}

void DestroyProgressWindow() { Close(gPrjProgressWindow); }

}  // namespace plexa
