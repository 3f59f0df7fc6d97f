// The print window, the printer view and the print operation (see vx_print.h).
#include "toolkit/vx_print.h"

#include <cmath>

#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/printrec.h"
#include "graphics/render.h"
#include "platform/draw_context.h"
#include "platform/print_platform.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr uint32_t kPrintInfoCode = 0x50524E54;  // 'PRNT'

struct PrintWindowInfo : WindowClassInfoTag {
    VXPrintWindowInfo info{};
};

// The print window, its record and procedure when the view may act.
bool ActiveInfo(const VXPrinterView* view, VXPrintWindowInfo* info) {
    if (!view || !view->_windowRef || VXGetWindowFromId(view->windowID) != view->_windowRef)
        return false;
    if (!VXGetPrintWindowInfo(view->_windowRef, info)) return false;
    return info->printerView == view && info->proc && info->record;
}

// The renderer's window hook gives contexts only to on-screen windows: a print page's context is
// bound to the port here, as the renderer binds any other.
void BindPrintContext(QZPort* port, DrawContext* context) {
    QZReleaseContext(port);
    QZSetOrigin(port, 0, 0);
    port->context = context;
    port->installedKind = kQZWindowPrint;
    port->focused = 0;
    QZInvaidateSelectColors(port);
}

LRect PageRect(VXPrintRec* record) {
    const Point size = VXGetPrinterPageSize(record, true, nullptr);
    return {0, 0, size.v, size.h};
}

// Platform view callbacks.
int32_t PageCountThunk(void* refcon) {
    int32_t first = 1, count = 1;
    VXPrinterViewKnowsPageRange(static_cast<VXPrinterView*>(refcon), &first, &count);
    return count;
}
void RectForPageThunk(void* refcon, int32_t page, double rect[4]) {
    VXPrinterViewRectForPage(static_cast<VXPrinterView*>(refcon), page, rect);
}
void DrawRectThunk(void* refcon, DrawContext* context, const double rect[4]) {
    VXPrinterViewDrawRect(static_cast<VXPrinterView*>(refcon), context, rect);
}

}  // namespace

VXPrinterView* VXPrinterViewInitWithFrame(double x, double y, double width, double height) {
    auto* view = new VXPrinterView;
    view->frame[0] = x;
    view->frame[1] = y;
    view->frame[2] = width;
    view->frame[3] = height;
    return view;
}

void VXPrinterViewRelease(VXPrinterView* view) { delete view; }

bool VXPrinterViewKnowsPageRange(VXPrinterView* view, int32_t* first, int32_t* count) {
    if (first) *first = 1;
    if (count) *count = 1;
    VXPrintWindowInfo info;
    if (!ActiveInfo(view, &info)) return false;
    VXPrintingMetrics metrics;
    VXGetPrintingMetrics(info.record, &metrics);
    LRect page{0, 0, metrics.pageHeight, metrics.pageWidth};
    const uint32_t pages = info.proc(view->_windowRef, info.record, 0, &page, info.refcon) & 0xFFFF;
    if (count) *count = pages ? int32_t(pages) : 1;
    return pages != 0;
}

void VXPrinterViewRectForPage(VXPrinterView* view, int32_t page, double rect[4]) {
    VXPrintWindowInfo info;
    if (!ActiveInfo(view, &info)) {
        rect[0] = rect[1] = 0;
        rect[2] = 576;
        rect[3] = 720;
        return;
    }
    _LPNT origin{0, 0};
    info.proc(view->_windowRef, info.record, page, &origin, info.refcon);
    _LPNT size{};
    VXGetPrinterPageSize(info.record, false, &size);
    rect[0] = origin.h * info.record->scale;
    rect[1] = origin.v * info.record->scale;
    rect[2] = size.h;
    rect[3] = size.v;
}

void VXPrinterViewDrawRect(VXPrinterView* view, DrawContext* context, const double rect[4]) {
    VXPrintWindowInfo info;
    if (!context || !ActiveInfo(view, &info)) return;
    VXWindowRecordTag* window = view->_windowRef;
    QZPort* port = window->graf.port;
    if (!port) return;
    const double scale = info.record->scale > 0 ? info.record->scale : 1.0;
    BindPrintContext(port, context);
    context->Scale(scale, scale);
    context->SaveState();
    const int32_t h = int32_t(std::lround(rect[0] / scale)), v = int32_t(std::lround(rect[1] / scale));
    QZSetOrigin(port, h, v);
    QZSyncContextState(port);
    const Point size = VXGetPrinterPageSize(info.record, true, nullptr);
    LRect page{v, h, v + size.v, h + size.h};
    if (window->graf.geometry.scaleV > kFixed24One || window->graf.geometry.scaleH > kFixed24One) {
        page.top -= 1;
        page.left -= 1;
        page.bottom += 1;
        page.right += 1;
    }
    QZSetFocus(port, -1);
    VXWindowRecordTag* previous = VXSetWindow(window);
    const int32_t previousID = previous ? previous->windowID : 0;
    const int32_t id = window->windowID;
    info.proc(window, info.record, -2, &page, info.refcon);
    if (VXGetWindowFromId(id) == window) {
        QZReleaseFocus(port);
        context->RestoreState();
        QZReleaseContext(port);
    } else {
        context->RestoreState();
    }
    VXSetWindow(previousID ? VXGetWindowFromId(previousID) : nullptr);
}

VXWindowRecordTag* VXPrinterViewWindowRef(const VXPrinterView* view) {
    return view ? view->_windowRef : nullptr;
}

void VXPrinterViewSetWindowRef(VXPrinterView* view, VXWindowRecordTag* window) {
    if (!view) return;
    view->_windowRef = window;
    view->windowID = window ? window->windowID : 0;
}

bool VXGetPrintWindowInfo(VXWindowRecordTag* window, VXPrintWindowInfo* info) {
    if (!window || window->graf.geometry.kind != kWindowPrint) return false;
    auto* record = static_cast<PrintWindowInfo*>(VXGetWindowClassInfo(window, kPrintInfoCode));
    if (!record) return false;
    if (info) *info = record->info;
    return true;
}

OSStatus VXRunPrintOperation(VXPrintRec* record, const char* title, uint32_t options, VXPrintProc proc,
                             void* refcon) {
    if (!record || !record->printInfo || !proc) return status::kParamErr;
    const uint32_t savedResolution = record->resolution;
    const double savedScaling = PlatformPrintSettingsScaling(record->printInfo);
    if (options & kVXPrintResetScaling) {
        PlatformPrintSettingsSetScaling(record->printInfo, 1.0);
        VXUpdatePrintScale(record);
    }
    const auto restore = [&] {
        PlatformPrintSettingsSetScaling(record->printInfo, savedScaling);
        record->resolution = savedResolution;
        VXUpdatePrintScale(record);
    };

    VXWindowRecordTag* window = VXCreateBareWindow(kVXWindowDocument, 0, nullptr, nullptr, nullptr);
    if (!window) {
        restore();
        return status::kOutOfMemory;
    }
    window->graf.geometry.kind = kWindowPrint;
    const int32_t id = window->windowID;
    _LPNT page32{};
    VXGetPrinterPageSize(record, true, &page32);
    VXPrinterView* view = VXPrinterViewInitWithFrame(0, 0, page32.h * record->scale,
                                                     page32.v * record->scale);
    auto* info = new PrintWindowInfo;
    info->info = {record, view, proc, refcon};
    VXSetWindowClassInfo(window, info, kPrintInfoCode);
    VXPrinterViewSetWindowRef(view, window);
    PlatformPrintSettingsSetPagination(record->printInfo, false, false);

    LRect frame = PageRect(record);
    proc(window, record, -1, &frame, refcon);
    view->frame[0] = frame.left * record->scale;
    view->frame[1] = frame.top * record->scale;
    view->frame[2] = double(frame.right - frame.left) * record->scale;
    view->frame[3] = double(frame.bottom - frame.top) * record->scale;

    PlatformPrintView platformView;
    platformView.refcon = view;
    platformView.pageCount = PageCountThunk;
    platformView.rectForPage = RectForPageThunk;
    platformView.drawRect = DrawRectThunk;
    if (title) platformView.title = title;
    LRect fresh = PageRect(record);
    proc(window, record, -3, &fresh, refcon);
    const OSStatus result =
        PlatformRunPrintOperation(record->printInfo, options & kVXPrintShowPanel, platformView);
    if ((window = VXGetWindowFromId(id))) {
        fresh = PageRect(record);
        proc(window, record, -4, &fresh, refcon);
    }
    if ((window = VXGetWindowFromId(id))) VXDestroyWindow(window);
    VXPrinterViewRelease(view);
    restore();
    return result;
}

}  // namespace plexa
