// Column headers.
#include "toolkit/vx_colheader.h"

#include <algorithm>
#include <cstring>

#include "foundation/heap.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/render.h"
#include "graphics/textstyle.h"
#include "platform/cursor_platform.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_window.h"

namespace plexa {
namespace {

constexpr VXColor kCellFill = 0x18000000, kCellFillPressed = 0x1A000000;
constexpr VXColor kTitle = 0x19000000, kTitlePressed = 0x1B000000;
constexpr VXColor kCellFrame = 0x09808080;
constexpr int32_t kEntryFixed = 4;  // position, flags, pressed

VXColumnHeaderHead* Head(VXColumnHeaderRecord header) {
    return reinterpret_cast<VXColumnHeaderHead*>(*header);
}

uint32_t EntrySize(uint8_t titleLength) { return kEntryFixed + ((titleLength + 2u) & ~1u); }

// The offset of entry n, -1 when the header does not hold it whole.
int32_t EntryOffset(VXColumnHeaderRecord header, int16_t column) {
    if (!header || !*header || column < 0) return -1;
    const uint32_t size = SizeOfHandle(header);
    if (size < sizeof(VXColumnHeaderHead) || column >= Head(header)->count) return -1;
    uint32_t offset = sizeof(VXColumnHeaderHead);
    for (int16_t i = 0;; ++i) {
        if (offset + kEntryFixed + 1 > size) return -1;
        const uint32_t entry = EntrySize(uint8_t((*header)[offset + kEntryFixed]));
        if (offset + entry > size) return -1;
        if (i == column) return int32_t(offset);
        offset += entry;
    }
}

void DrawCell(const Rect* rect, const char* title, int32_t length, const txStyle* style,
              bool pressed) {
    if (!rect || !QZGetCurrentPort()) return;
    VXPenState pen{};
    VXGetPenState(&pen);
    const VXColor fore = VXGetForeColor();
    txStyle* savedStyle = VXPreserveTextStyle();
    VXPenNormal();
    QZSetColor(nullptr, pressed ? kCellFillPressed : kCellFill, false);
    Rect r = *rect;
    VXRectDispatch(&r, 1);
    r.right = int16_t(r.right + 1);
    if (r.left == 0) r.left = -1;
    if (title && length > 0) {
        StyleMetrics metrics{};
        if (style) {
            VXSetTextStyle(style);
            if (txStyle* scratch = CreateTextStyle(nullptr, style)) {
                GetStyleMetrics(scratch, &metrics);
                DestroyTextStyle(scratch);
            }
        } else {
            VXSetUIFont(5);
            if (txStyle* ui = GetTempDefaultStyle(5)) GetStyleMetrics(ui, &metrics);
        }
        const int32_t height = r.bottom - r.top;
        const int32_t baseline = r.top + (height - metrics.ascent - metrics.descent) / 2 +
                                 metrics.ascent;
        QZSetColor(nullptr, pressed ? kTitlePressed : kTitle, false);
        VXMoveTo(r.left + 6, baseline);
        VXDrawTextWithEncoding(title, length, kEncodingUTF8);
    }
    QZSetColor(nullptr, kCellFrame, false);
    VXRectDispatch(&r, 0);
    VXRestoreTextStyle(savedStyle);
    QZSetColor(nullptr, fore, false);
    VXSetPenState(&pen);
}

}  // namespace

VXColumnHeaderRecord VXCreateColumnHeader(const txStyle* style, const Rect* rect) {
    Handle header = AllocHandleClear(nullptr, sizeof(VXColumnHeaderHead));
    if (!header) return nullptr;
    if (style) {
        txStyle* copy = CreateTextStyle(nullptr, style);
        if (!copy) {
            MemFree(header);
            return nullptr;
        }
        Head(header)->style = copy;
    }
    if (rect) Head(header)->rect = *rect;
    return header;
}

void VXDestroyColumnHeader(VXColumnHeaderRecord header) {
    if (!header) return;
    if (*header && SizeOfHandle(header) >= sizeof(VXColumnHeaderHead) && Head(header)->style)
        DestroyTextStyle(Head(header)->style);
    MemFree(header);
}

bool VXAddHeaderColumnEx(VXColumnHeaderRecord header, uint16_t position, const char* title,
                         uint8_t flags) {
    if (!header || !*header || SizeOfHandle(header) < sizeof(VXColumnHeaderHead)) return false;
    if (Head(header)->count == INT16_MAX) return false;
    // A title longer than the length byte allows is cut at a character boundary.
    char text[257] = {};
    if (title) {
        std::strncpy(text, title, 256);
        TruncateUTF8ForByteSize(text, 256);
    }
    const uint8_t length = uint8_t(std::strlen(text));
    uint8_t entry[kEntryFixed + 256] = {};
    std::memcpy(entry, &position, 2);
    entry[2] = flags;
    entry[3] = 0;
    entry[4] = length;
    std::memcpy(entry + 5, text, length);
    if (!AppendHandle(header, entry, EntrySize(length))) return false;
    Head(header)->count = int16_t(Head(header)->count + 1);
    return true;
}

int16_t VXCountHeaderColumns(VXColumnHeaderRecord header) {
    if (!header || !*header || SizeOfHandle(header) < sizeof(VXColumnHeaderHead)) return 0;
    return Head(header)->count;
}

int32_t VXGetColumnInfo(VXColumnHeaderRecord header, int16_t column, VXColumnEntry* entry) {
    const int32_t offset = EntryOffset(header, column);
    if (offset < 0) return -1;
    if (entry) {
        std::memset(entry, 0, sizeof *entry);
        const char* p = *header + offset;
        std::memcpy(&entry->position, p, 2);
        entry->flags = uint8_t(p[2]);
        entry->pressed = uint8_t(p[3]);
        std::memcpy(entry->title, p + 4, 1 + uint8_t(p[4]));
    }
    return offset;
}

uint16_t VXGetColumnPosition(VXColumnHeaderRecord header, int16_t column) {
    VXColumnEntry entry;
    return VXGetColumnInfo(header, column, &entry) < 0 ? 0 : entry.position;
}

int16_t VXHitTestColumn(VXColumnHeaderRecord header, Point point) {
    if (point.h < 0) return -1;
    const int16_t count = VXCountHeaderColumns(header);
    if (count <= 0) return -1;
    int16_t hit = 0;
    for (int16_t i = 1; i < count; ++i)
        if (VXGetColumnPosition(header, i) <= point.h) hit = i;
    return hit;
}

bool VXGetColumnCellRect(VXColumnHeaderRecord header, int16_t column, Rect* rect) {
    VXColumnEntry entry;
    if (VXGetColumnInfo(header, column, &entry) < 0) return false;
    Rect r = Head(header)->rect;
    r.top = int16_t(r.top - 1);
    r.left = int16_t(entry.position);
    if (column + 1 < VXCountHeaderColumns(header))
        r.right = int16_t(VXGetColumnPosition(header, int16_t(column + 1)));
    if (rect) *rect = r;
    return true;
}

void VXSetColumnHilite(VXColumnHeaderRecord header, int16_t column, bool pressed,
                       VXWindowRecordTag* window, const Rect* rect) {
    const int32_t offset = EntryOffset(header, column);
    if (offset < 0) return;
    (*header)[offset + 3] = pressed ? 1 : 0;
    if (rect && window) VXInvalRect(window, rect);
}

int16_t VXTrackColumnHeader(VXWindowRecordTag* window, VXColumnHeaderRecord header,
                            const VXEventRecord* mouseDown) {
    if (!mouseDown) return -1;
    const Point where = {mouseDown->u.mouse.v, mouseDown->u.mouse.h};
    const int16_t column = VXHitTestColumn(header, where);
    if (column < 0) return -1;
    VXWindowRecordTag* previous = VXSetWindow(window);
    Rect cell{};
    VXGetColumnCellRect(header, column, &cell);
    VXSetColumnHilite(header, column, true, window, &cell);
    int16_t answer = column;
    if (PlatformLastMouse().buttons != 0) {
        const int32_t id = window ? window->windowID : 0;
        bool inside = true;
        _LPNT point{};
        for (;;) {
            const bool down = VXWaitDragEnd(window, kVXTrackLeft, false, &point);
            if (id && !VXGetWindowFromId(id)) return -1;  // the window went away meanwhile
            inside = point.h >= cell.left && point.h < cell.right && point.v >= cell.top &&
                     point.v < cell.bottom;
            if (!down) break;
            VXColumnEntry entry;
            VXGetColumnInfo(header, column, &entry);
            if (bool(entry.pressed) != inside) VXSetColumnHilite(header, column, inside, window,
                                                                 &cell);
        }
        answer = inside ? column : int16_t(-1);
    }
    VXSetColumnHilite(header, column, false, window, &cell);
    if (!window || VXGetWindowFromId(window->windowID)) VXSetWindow(previous);
    return answer;
}

void VXDrawColumnHeader(VXColumnHeaderRecord header) {
    if (!header || !*header || SizeOfHandle(header) < sizeof(VXColumnHeaderHead)) return;
    const Rect whole = Head(header)->rect;
    const txStyle* style = Head(header)->style;
    Rect empty = whole;
    empty.left = int16_t(empty.left - 2);
    empty.right = int16_t(empty.right + 2);
    empty.top = int16_t(empty.top - 1);
    DrawCell(&empty, nullptr, 0, nullptr, false);
    const int16_t count = VXCountHeaderColumns(header);
    for (int16_t i = 0; i < count; ++i) {
        VXColumnEntry entry;
        Rect cell{};
        if (VXGetColumnInfo(header, i, &entry) < 0 || !VXGetColumnCellRect(header, i, &cell))
            break;
        if (i + 1 == count) cell.right = int16_t(whole.right + 2);
        DrawCell(&cell, reinterpret_cast<const char*>(entry.title + 1), entry.title[0], style,
                 entry.pressed != 0);
    }
}

void DrawThemeColumnHeader(const Rect* rect, const char* title, const txStyle* style,
                           bool pressed) {
    DrawCell(rect, title, title ? int32_t(std::strlen(title)) : 0, style, pressed);
}

void VXDrawCaptionHeader(const Rect* rect, const char* title, const txStyle* style) {
    if (!rect) return;
    Rect r = *rect;
    r.left = int16_t(r.left - 2);
    r.right = int16_t(r.right + 2);
    r.top = int16_t(r.top - 1);
    DrawThemeColumnHeader(&r, title, style, false);
}

}  // namespace plexa
