// Making a sheet's window and what happens in it; see drawingwindow.h.
#include "sheeteditor/drawingwindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "files/sheetfile.h"
#include "foundation/assert.h"
#include "foundation/datetime.h"
#include "foundation/filespec.h"
#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "model/modelhooks.h"
#include "graphics/textedit.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/signals.h"
#include "sheeteditor/editstate.h"
#include "sheeteditor/libbrowser.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheetkeys.h"
#include "sheeteditor/sheetsymbolui.h"
#include "sheeteditor/sheettools.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/sheetview.h"
#include "sheeteditor/simtools.h"
#include "sheeteditor/spicewindows.h"
#include "sheeteditor/toolbars.h"
#include "sheeteditor/wiretracking.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {

int32_t gUntitledDrawingCount = 0;

namespace {

constexpr int16_t kMinWidth = 80, kMinHeight = 142, kMaxSize = 5000;
constexpr int16_t kStateFrameInset = 16;
constexpr const char* kSheetExtension = ".SHX";

// The mouse event with its short point in sheet (pad) coordinates, as the tools and the cursor
// take it; the long pair keeps the window's point, which the toolkit's own tracking starts from.
VXEventRecord InSheetCoordinates(VXWindowRecordTag* window, const VXEventRecord* event) {
    VXEventRecord in = *event;
    _LPNT content{}, pad{};
    VXWindowPointToPanelContent(window, event->u.mouse.longH, event->u.mouse.longV, &content);
    (void)TranslateMousePt(window, &content, &pad);  // the pane is checked by the click
    in.u.mouse.h = int16_t(std::clamp<int32_t>(pad.h, -32000, 32000));
    in.u.mouse.v = int16_t(std::clamp<int32_t>(pad.v, -32000, 32000));
    return in;
}

}  // namespace

void DetachSheetWindows(SheetRecord* sheet) {
    if (!sheet) return;
    // The library pane belongs to the top tool bar: it goes with the sheet it shows.
    if (sheet->libraryPane) DestroyLibBrowser(sheet->libraryPane);
    sheet->libraryPane = nullptr;
    ReleaseSheetEditState(sheet);
    for (VXWindowRecordTag* window : {sheet->window, sheet->toolPalette, sheet->topToolBar})
        if (window) window->refCon = nullptr;
}

int32_t CreateDrawingWindow(const char* title, void* refCon, SheetWindows* windows) {
    *windows = SheetWindows{};
    Rect content;
    VXCalcMaxWindowRect(kVXWindowDocument, 0, kSheetWindowFlags, nullptr, &content);
    content.bottom = int16_t(content.bottom - 10);
    content.right = int16_t(content.right - 4);
    VXWindowRecordTag* window =
        VXCreateWindow(kVXWindowDocument, 0, kSheetWindowFlags, kSheetWindowKind, kVXStatusPage, -1,
                       &content, title ? title : "Untitled", kSheetWindowTemplate, refCon,
                       SheetViewEventHandler);
    if (!window) return 0;
    VXWindowRecordTag* topTools = VXCreateDividedChildWindow(
        nullptr, 0, 0, window, kTopToolBarCollapsed, 0, refCon, DrawingTopToolsHandler);
    VXWindowRecordTag* palette = topTools ? VXCreateDividedChildWindow(nullptr, 0, 0, window,
                                                                      kToolPaletteWidth, 4, refCon,
                                                                      DrawingToolsEventHandler)
                                          : nullptr;
    if (!palette) {
        VXDestroyWindow(window);
        return 0;
    }
    Rect page;
    CalcSheetBounds(gDefSheetSettings.sizeCode, gDefSheetSettings.orientation, kNewSheetResolution,
                    &page);
    VXSetPadSize(window, page.right, page.bottom, false);
    const Rect limits = {kMinHeight, kMinWidth, kMaxSize, kMaxSize};
    VXSetMinMaxRect(window, &limits);
    VXSetWindowModified(window, false);
    VXSetWindowFileProxy(window, nullptr, 0);
    *windows = SheetWindows{window, palette, topTools};
    return 1;
}

void InstallDrawingInWindow(SheetRecord* sheet, const SheetWindows* windows) {
    if (!sheet || !windows || !windows->window) return;
    sheet->window = windows->window;
    sheet->toolPalette = windows->toolPalette;
    sheet->topToolBar = windows->topToolBar;
    for (VXWindowRecordTag* window : {windows->window, windows->toolPalette, windows->topToolBar})
        if (window) window->refCon = sheet;
    (void)SheetEditStateOf(sheet);
    if (IsDirectoryInvalid(&sheet->fileSpec.directory)) {
        // An untitled sheet is named by its window.
        char title[200];
        VXGetWindowTitle(sheet->window, title);
        SetFileSpecName(&sheet->fileSpec, title);
    } else {
        char name[kFileSpecNameCapacity];
        GetFileSpecName(&sheet->fileSpec, name, sizeof name);
        RemoveExtension(kSheetExtension, name);
        VXSetWindowTitle(sheet->window, name);
    }
    CreateSheetWindowToolTips(sheet);
    HideShowSpiceTools(sheet);
    SetupDrawingTools(sheet);
    HideShowRulers(sheet->window, sheet->view.showRulers != 0);
    VXSetPadSize(sheet->window, sheet->sheetBounds.right, sheet->sheetBounds.bottom, true);
    // The tool bars take their places beside the sheet pane now, not at the window's first
    // drawing: a click or pointer move that comes before it lands where the person sees it.
    for (VXWindowRecordTag* bar : {sheet->toolPalette, sheet->topToolBar})
        if (bar) (void)VXGetWindowPanel(bar);  // only the layout is wanted
}

void SetSheetWindowState(SheetRecord* sheet, const SheetWindowState* state) {
    if (!sheet || !state || state->scale == 0 || VXEmptyRect(&state->position) || !sheet->window)
        return;
    Rect inside = state->position;
    VXInsetRect(&inside, kStateFrameInset, kStateFrameInset);
    if (VXWindowRectOnScreen(kVXWindowDocument, 0, kSheetWindowFlags, &inside) == 1)
        VXSetWindowPosition(sheet->window, &state->position);
    sheet->topToolPaneWidths[0] = state->paneWidths[0];
    sheet->topToolPaneWidths[1] = state->paneWidths[1];
    ExpandCollapseTopDrawTools(sheet->topToolBar,
                               (state->toolsExpanded & kSheetWindowStateTopToolsExpanded) != 0);
    VXSetScalePercent(sheet->window, state->scale, state->scale);
    sheet->viewScale = state->scale;
    VXScrollTo(sheet->window, state->viewLeft, state->viewTop);
}

SheetRecord* NewSchematicDrawing() {
    SheetWindows windows;
    if (!CreateDrawingWindow(nullptr, nullptr, &windows)) return nullptr;
    SheetRecord* sheet = CreateDrawing();
    if (!sheet) {
        VXDestroyWindow(windows.window);
        return nullptr;
    }
    char title[32];
    std::snprintf(title, sizeof title, "Untitled %d", int(++gUntitledDrawingCount));
    VXSetWindowTitle(windows.window, title);
    InstallDrawingInWindow(sheet, &windows);
    ExpandCollapseTopDrawTools(windows.topToolBar, sheet->topToolsExpanded != 0);
    sheet->fileTimes[0] = uint32_t(VXGetCurrentDateTime(0));
    // A new sheet is its own context: no project, no instance (as CreateDrawing leaves it).
    VXShowWindow(windows.window);
    return sheet;
}

int32_t SheetViewEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    switch (event->kind) {
        case kVXCreateEvent:
            Set_Bak_Color();
            return VXDefaultEventHandler(window, event);
        case kVXCloseEvent:
            if (GetSheetWindowHooks().closeSheetWindow && SheetOfWindow(window)) {
                GetSheetWindowHooks().closeSheetWindow(window);
                return 1;
            }
            return VXDefaultEventHandler(window, event);
        case kVXDestroyEvent:
            // The sheet outlives its window only without it.
            if (SheetRecord* sheet = SheetOfWindow(window); sheet && sheet->window == window) {
                ReleaseSheetWireTracking(sheet);
                ReleaseSheetEditState(sheet);
                sheet->window = sheet->toolPalette = sheet->topToolBar = nullptr;
            }
            return VXDefaultEventHandler(window, event);
        default:
            break;
    }
    SheetRecord* sheet = SheetOfWindow(window);
    if (!sheet) return 1;
    switch (event->kind) {
        case kVXIdleEvent:
            if (!sheet->topToolBar || !(sheet->topToolBar->status() & kVXStatusControlsInactive)) {
                DoIdleTasks(sheet);
                IdleSpiceToolBar(sheet);
            }
            return 1;
        case kVXActivateEvent:
            for (VXWindowRecordTag* tools : {sheet->toolPalette, sheet->topToolBar, sheet->simulatorTools})
                if (tools) DispatchEvent(tools, event);
            VXSetWindow(window);
            if (event->u.activate.activated) {
                if (GetSheetWindowHooks().activated) GetSheetWindowHooks().activated(window);
                if (auto* te = static_cast<VXTERecord*>(sheet->drawingTE)) VXTEActivate(te);
                CalcSheetIdleInterval(sheet);
                if (!sheet->project) CloseDeviceParametersWindow(nullptr);
                BuildFileSymbolsMenu(sheet);
            } else {
                // What follows the pointer goes with the front; the next move over the sheet,
                // once it is in front again, brings it back.
                CloseTrackingOverlay();
                SetupFlashingSignal(sheet, nullptr, nullptr);
                if (VXIsModalWindowActive()) {
                    // A dialog over the sheet keeps the text being typed and the selection.
                    if (auto* te = static_cast<VXTERecord*>(sheet->drawingTE)) VXTEDeactivate(te);
                } else {
                    DestroyDrawingTE(sheet);
                }
                // Zoom mode ends with the front: the Zoom Area button comes up, its cursor goes.
                CancelZoomMode(window);
            }
            return VXDefaultEventHandler(window, event);
        case kVXSizeEvent:
            CloseTrackingOverlay();
            LayOutPaletteButtons(sheet->toolPalette);
            return 1;
        case kVXUpdateEvent: {
            const uint32_t saved = gGenFlags;
            gGenFlags = (gGenFlags | kGenColorDrawing) & ~kGenPrinting;
            UpdateSheetView(sheet, event);
            DrawWindowRulers(window);
            gGenFlags = saved;
            return 1;
        }
        case kVXMouseDownEvent:
        case kVXDoubleClickEvent: {
            VXEventRecord click = InSheetCoordinates(window, event);
            DoMouseClick(sheet, &click);
            return 1;
        }
        case kVXCharEvent:
            return DoKey(sheet, event);
        case kVXMouseMovedEvent: {
            TrackSheetMouseEvent(sheet, event->u.mouse.longH, event->u.mouse.longV);
            const VXEventRecord moved = InSheetCoordinates(window, event);
            UpdateViewCursor(sheet, &moved);
            return 1;
        }
        case kVXWheelEvent:
        case kVXMagnifyEvent:
            if (GetSheetWindowHooks().zoomGesture && GetSheetWindowHooks().zoomGesture(window, event)) return 1;
            return 0;
        default:
            return VXDefaultEventHandler(window, event);
    }
}

}  // namespace plexa
