// The library browser's item dragged onto a sheet; see libbrowserdrop.h.
#include "sheeteditor/libbrowserdrop.h"

#include <algorithm>

#include "foundation/geometry.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "library/itemcache.h"
#include "library/libhistory.h"
#include "model/drawglobals.h"
#include "model/sheet.h"
#include "sheeteditor/libbrowserrecord.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/sheetgrid.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/signalinfo.h"
#include "sheeteditor/symbolimage.h"
#include "sheeteditor/wiretracking.h"
#include "toolkit/vx_itemdrag.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

// The sheet whose sheet pane lies under the target, inside the sheet's bounds, with the grid point
// the tool's click would place at; none elsewhere.
SheetRecord* SheetUnder(const VXItemDragTarget* target, Point* at) {
    SheetRecord* sheet = target && target->window ? SheetOfWindow(target->window) : nullptr;
    // The sheet pane is the sheet window's own main pane: its tool bars and the browser are child
    // windows of their own.
    if (!sheet || sheet->window != target->window || target->pane != -1) return nullptr;
    Point point{int16_t(std::clamp<int32_t>(target->padPoint.v, -32000, 32000)),
                int16_t(std::clamp<int32_t>(target->padPoint.h, -32000, 32000))};
    if (!VXPtInRect(point, &sheet->sheetBounds)) return nullptr;
    VXWindowRecordTag* previous = VXSetWindow(sheet->window);
    GridPointLock(&point);
    VXSetWindow(previous);
    *at = point;
    return sheet;
}

// The item's picture at the landing point, as the library-part tool shows it following the
// pointer (its dashed outline where that tool does not show the picture).
void DrawLanding(SheetRecord* sheet, Point at) {
    VXPenNormal();
    const double opacity = VXSetOpacity(0.78);
    if (!DrawTrackingSymbolImage(sheet, at)) {
        const TrackingImageRecord& image = GetTrackingSymbolImage();
        if (image.valid) {
            Rect r = image.bounds;
            VXOffsetRect(&r, at.h, at.v);
            Set_Fore_Color(0);
            VXSetPenWidth(1);
            VXSetLineDashInterval(3, 2, 0);
            VXFrameRect(&r);
            VXSetLineDashInterval(0, 0, 0);
        }
    }
    VXSetOpacity(opacity);
}

int32_t ItemDragProc(int32_t message, const VXItemDragTarget* target, void* refcon) {
    LibBrowserRecord& drag = *static_cast<LibBrowserRecord*>(refcon);  // the browser dragged from
    Point at{};
    SheetRecord* sheet = message == kVXItemDragEnd ? nullptr : SheetUnder(target, &at);
    switch (message) {
        case kVXItemDragOver: {
            CachedLibData data{};
            GetCachedLibData(&data);
            if (!sheet || !data.item) {
                drag.dragSheetWindowID = 0;
                return 0;
            }
            drag.dragSheetWindowID = sheet->window->windowID;
            drag.dragAt = at;
            if (GetTrackingSymbolImage().stale) BuildTrackingSymbolImage(sheet, gPlaceTransformation);
            return 1;
        }
        case kVXItemDragFeedback:
            if (sheet && sheet->window->windowID == drag.dragSheetWindowID) DrawLanding(sheet, drag.dragAt);
            return 0;
        case kVXItemDragDrop: {
            if (!sheet || sheet->window->windowID != drag.dragSheetWindowID) return 0;
            (void)RecordLibHistoryItem();  // a full history drops its oldest
            VXWindowRecordTag* previous = VXSetWindow(sheet->window);
            const int32_t previousID = previous ? previous->windowID : 0;
            InstantiateLibraryItem(sheet, drag.dragAt);
            ClearBrowserKeySelection(sheet->libraryPane);
            if (VXWindowRecordTag* back = VXGetWindowFromId(previousID)) VXSetWindow(back);
            return 0;
        }
        default:
            drag.dragSheetWindowID = 0;
            drag.dragAt = Point{};
            return 0;
    }
}

}  // namespace

void BeginLibBrowserItemDrag(LibBrowserRecord* browser, VXItemDragClient* client) {
    if (!browser || !browser->inSheet || !client) return;
    CachedLibData data{};
    GetCachedLibData(&data);
    if (!data.item) return;
    // The sheet's own following of the pointer gives way to the drag's feedback.
    CloseTrackingOverlay();
    browser->dragSheetWindowID = 0;
    browser->dragAt = Point{};
    client->proc = ItemDragProc;
    client->refcon = browser;
}

}  // namespace plexa
