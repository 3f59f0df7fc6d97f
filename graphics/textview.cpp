// The text display view's engine: line starts over the stream, the cache of the lines on
// screen, drawing, scrolling and the scroll bar.
#include "graphics/textview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/stream.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"

namespace plexa {
namespace {

constexpr int32_t kScanBufferSize = 2048;
constexpr uint32_t kInitialStartsBytes = 1024;
constexpr uint32_t kStartsGrowth = 256;
constexpr int32_t kCacheMargin = 256, kCacheBlock = 512, kCacheLimit = 4096;
constexpr int32_t kMaxPixelShift = 4000;
constexpr VXColor kMarkBrush = 0x12000000, kMarkTextBrush = 0x13000000,
                  kTextBrush = 0x07000000;

TextViewHooks gHooks;
int32_t gViewCount = 0;
char* gScanBuffer = nullptr;

uint32_t* Entries(const TextDisplayRecord* view) {
    return reinterpret_cast<uint32_t*>(*view->lineStarts);
}
uint32_t EntryCount(const TextDisplayRecord* view) {
    return view->lineStarts ? Entries(view)[0] : 0;
}

// Adds an entry; returns the new line's number (-1 when the table cannot grow).
int32_t AddLineStart(TextDisplayRecord* view, uint32_t offset) {
    const uint32_t count = EntryCount(view);
    if ((uint64_t(count) + 1) * 4 > SizeOfHandle(view->lineStarts) &&
        !ResizeHandle(view->lineStarts, (count + 1 + kStartsGrowth) * 4))
        return -1;
    Entries(view)[count] = offset;
    Entries(view)[0] = count + 1;
    return int32_t(count) - 1;
}

void Inval(TextDisplayRecord* view, const LRect* rect) {
    if (gHooks.invalRect) gHooks.invalRect(view->window, rect);
}

void InvalAll(TextDisplayRecord* view) {
    const LRect all{0, 0, view->viewHeight, view->viewWidth};
    Inval(view, &all);
}

int32_t RoundDiv(int32_t a, int32_t b) {
    return int32_t(std::lround(double(a) / double(b)));
}

}  // namespace

void TextViewSetHooks(const TextViewHooks& hooks) { gHooks = hooks; }
const TextViewHooks& TextViewGetHooks() { return gHooks; }

int32_t TextDisplayLineStart(const TextDisplayRecord* view, int32_t line) {
    const uint32_t count = EntryCount(view);
    if (count < 2) return 0;
    const int32_t index = std::clamp(line, 0, int32_t(count) - 2) + 1;
    return int32_t(Entries(view)[index]);
}

TextDisplayRecord* CreateTextDisplay(VXGrafState* window, StreamRecord* stream, int32_t fontKind,
                                     int32_t viewWidth, int32_t viewHeight, void* scrollBar) {
    MemPool pool = gCurrentPool;
    auto* view = reinterpret_cast<TextDisplayRecord*>(AllocPtrClear(pool, sizeof(TextDisplayRecord)));
    if (!view) return nullptr;
    view->pool = pool;
    view->stream = stream;
    view->window = window;
    view->marks = CreateBitArray(pool, 1);
    if (!view->marks) {
        MemFreePtr(reinterpret_cast<Ptr>(view));
        return nullptr;
    }
    view->encoding = kEncodingUTF8;
    view->scrollBar = scrollBar;
    view->followLine = kTextViewFollowEnd;
    view->viewWidth = viewWidth;
    view->viewHeight = viewHeight;
    gViewCount++;
    TextDisplaySetFontKind(view, fontKind);
    return view;
}

void DestroyTextViewStructures(TextDisplayRecord* view) {
    if (!view) return;
    if (view->cache) MemFree(view->cache);
    if (view->lineStarts) MemFree(view->lineStarts);
    if (view->marks) DisposeBitArray(view->marks);
    MemFreePtr(reinterpret_cast<Ptr>(view));
    if (--gViewCount == 0 && gScanBuffer) {
        MemFreePtr(gScanBuffer);
        gScanBuffer = nullptr;
    }
}

void TextDisplaySetFontKind(TextDisplayRecord* view, int32_t fontKind) {
    VXGrafState* previous = VXSetCurrentGrafState(view->window);
    VXSetUIFont(fontKind);
    VXSetCurrentGrafState(previous);
    TextDisplayRecalc(view);
}

void TextDisplayRecalc(TextDisplayRecord* view) {
    if (SizeOfHandle(view->marks)) std::memset(*view->marks, 0, SizeOfHandle(view->marks));
    if (view->cache) MemFree(view->cache);
    view->cache = nullptr;
    view->cacheSize = 0;
    view->cacheStart = view->cacheEnd = 0;
    StyleMetrics m{};
    GetStyleMetrics(view->window ? view->window->textStyle : nullptr, &m);
    view->lineHeight = std::max<int16_t>(m.lineHeight, 1);
    view->baseLineLift = int16_t(m.descent + m.leading);
    view->lineCount = 0;
    if (view->lineStarts) MemFree(view->lineStarts);
    view->lineStarts = nullptr;
    RecalcLineStarts(view, 0);
    UpdateScrollBar(view);
    InvalAll(view);
}

void RecalcLineStarts(TextDisplayRecord* view, int32_t fromLine) {
    if (!view->lineStarts) {
        view->lineStarts = AllocHandle(view->pool, kInitialStartsBytes);
        if (!view->lineStarts) return;
        Entries(view)[0] = 1;
        AddLineStart(view, 0);
        fromLine = 0;
    } else {
        if (fromLine > view->lineCount) return;
        Entries(view)[0] = uint32_t(fromLine) + 2;  // the table up to that line's start
    }
    const int32_t end = GetStreamEnd(view->stream);
    if (!gScanBuffer) gScanBuffer = static_cast<char*>(AllocPtr(nullptr, kScanBufferSize));
    int32_t offset = int32_t(Entries(view)[fromLine + 1]);
    if (gScanBuffer && offset < end) {
        const int32_t saved = GetStreamPosition(view->stream);
        // A CR that ended the text before may pair with an LF at the rescan's start.
        bool afterCR = false;
        if (offset > 0 && SetStreamPosition(view->stream, offset - 1) == status::kNoErr) {
            int32_t one = 1;
            char c = 0;
            afterCR = StreamRead(view->stream, &c, &one) == status::kNoErr && one == 1 && c == '\r';
        }
        (void)SetStreamPosition(view->stream, offset);  // a position inside the stream
        while (offset < end) {
            int32_t n = std::min(kScanBufferSize, end - offset);
            if (StreamRead(view->stream, gScanBuffer, &n) != status::kNoErr || n <= 0) break;
            for (int32_t i = 0; i < n; i++) {
                const char c = gScanBuffer[i];
                const uint32_t next = uint32_t(offset + i + 1);
                if (c == '\n') {
                    // The start after the CR moves past the LF of a CR LF.
                    if (afterCR) Entries(view)[EntryCount(view) - 1] = next;
                    else AddLineStart(view, next);
                } else if (c == '\r') {
                    AddLineStart(view, next);
                }
                afterCR = c == '\r';
            }
            offset += n;
        }
        (void)SetStreamPosition(view->stream, saved);  // restores a position read just before
    }
    AddLineStart(view, uint32_t(std::max(end, int32_t(Entries(view)[EntryCount(view) - 1]))));
    view->lineCount = int32_t(EntryCount(view)) - 2;
}

OSStatus TextDisplayAppend(TextDisplayRecord* view, const void* bytes, int32_t count, bool reveal) {
    StreamRecord* stream = view->stream;
    const int32_t saved = GetStreamPosition(stream);
    OSStatus status = SetStreamPosition(stream, GetStreamEnd(stream));
    if (status == status::kNoErr) status = StreamWrite(stream, bytes, count);
    if (status != status::kNoErr) {
        (void)SetStreamPosition(stream, std::min(saved, GetStreamEnd(stream)));  // the write status is the one reported
        return status;
    }
    (void)SetStreamPosition(stream, saved);  // restores a position read just before
    const int32_t oldCount = view->lineCount;
    // The cache may hold the old end of the stream.
    view->cacheEnd = std::min(view->cacheEnd, TextDisplayLineStart(view, std::max(oldCount - 1, 0)));
    view->cacheStart = std::min(view->cacheStart, view->cacheEnd);
    RecalcLineStarts(view, std::max(oldCount - 1, 0));
    UpdateScrollBar(view);
    const int32_t last = view->lineCount - 1;
    if (reveal) {
        if (view->followLine < last) view->followLine = kTextViewFollowEnd;
        RevealTextLine(view, last + 1);
        InvalAll(view);
    } else if (view->followLine >= oldCount) {
        view->followLine = oldCount - 1;
    }
    return status::kNoErr;
}

int32_t TextDisplayTabWidth(TextDisplayRecord* view) {
    if (view && view->tabWidth) return view->tabWidth;
    VXGrafState* previous = view ? VXSetCurrentGrafState(view->window) : nullptr;
    const int32_t width = int32_t(VXMeasureTextBytes("WWWW", 4, kEncodingMacRoman, false));
    if (view) VXSetCurrentGrafState(previous);
    return width;
}

void TextDisplayMarkLine(TextDisplayRecord* view, int32_t line, bool marked) {
    if (line < 0) return;
    BitArraySetClear(view->marks, line, marked);
}

bool BufferRange(TextDisplayRecord* view, int32_t firstLine, int32_t lastLine) {
    const int32_t end = GetStreamEnd(view->stream);
    int32_t from = std::max(TextDisplayLineStart(view, firstLine) - kCacheMargin, 0);
    from -= from % kCacheBlock;
    int32_t to = TextDisplayLineStart(view, lastLine + 1) + kCacheMargin;
    to = std::min(to - to % kCacheBlock + kCacheMargin, end);
    if (to <= from) return true;
    if (view->cache && from >= view->cacheStart && to <= view->cacheEnd) return true;
    const int32_t saved = GetStreamPosition(view->stream);
    auto read = [&](int32_t at, int32_t count, char* into) {
        int32_t n = count;
        return SetStreamPosition(view->stream, at) == status::kNoErr &&
               StreamRead(view->stream, into, &n) == status::kNoErr && n == count;
    };
    bool ok;
    const bool overlaps = view->cache && from < view->cacheEnd && to > view->cacheStart;
    if (overlaps && std::max(to, view->cacheEnd) - std::min(from, view->cacheStart) <= kCacheLimit) {
        // Read only what is missing at either side.
        const int32_t newStart = std::min(from, view->cacheStart);
        const int32_t newEnd = std::max(to, view->cacheEnd);
        const int32_t keep = view->cacheEnd - view->cacheStart;
        if (uint32_t(newEnd - newStart) > view->cacheSize) {
            if (!ResizeHandle(view->cache, uint32_t(newEnd - newStart))) return false;
            view->cacheSize = uint32_t(newEnd - newStart);
        }
        char* bytes = *view->cache;
        std::memmove(bytes + (view->cacheStart - newStart), bytes, size_t(keep));
        ok = read(newStart, view->cacheStart - newStart, bytes) &&
             read(view->cacheEnd, newEnd - view->cacheEnd, bytes + (view->cacheEnd - newStart));
        from = newStart;
        to = newEnd;
    } else {
        const uint32_t size = uint32_t(to - from);
        if (!view->cache) view->cache = AllocHandle(view->pool, size);
        else if (!ResizeHandle(view->cache, size)) return false;
        if (!view->cache) return false;
        view->cacheSize = size;
        ok = read(from, to - from, *view->cache);
    }
    (void)SetStreamPosition(view->stream, saved);  // restores a position read just before
    if (!ok) {
        view->cacheStart = view->cacheEnd = 0;
        return false;
    }
    view->cacheStart = from;
    view->cacheEnd = to;
    return true;
}

void TextDisplayVisibleRange(const TextDisplayRecord* view, const LRect* rect, int32_t* first,
                             int32_t* last) {
    const int32_t lh = view->lineHeight;
    *first = std::max(rect->top, 0) / lh + view->firstLine;
    *last = std::min({(rect->bottom - 1) / lh + view->firstLine,
                      view->firstLine + view->visibleLines - 1, view->lineCount - 1});
}

void DoDrawContent(TextDisplayRecord* view, const LRect* rect) {
    int32_t first, last;
    TextDisplayVisibleRange(view, rect, &first, &last);
    if (last < first || !BufferRange(view, first, last)) return;
    VXGrafState* previous = VXSetCurrentGrafState(view->window);
    const int32_t tab = view->expandTabs ? TextDisplayTabWidth(view) : 0;
    for (int32_t line = first; line <= last; line++) {
        const int32_t start = TextDisplayLineStart(view, line);
        const int32_t next = TextDisplayLineStart(view, line + 1);
        if (start < view->cacheStart || next > view->cacheEnd) continue;
        const char* bytes = *view->cache + (start - view->cacheStart);
        int32_t n = next - start;
        if (n >= 2 && bytes[n - 2] == '\r' && bytes[n - 1] == '\n') n -= 2;
        else if (n >= 1 && (bytes[n - 1] == '\r' || bytes[n - 1] == '\n')) n -= 1;
        const int32_t bottom = (line - view->firstLine + 1) * view->lineHeight;
        const bool marked = BitArrayTest(view->marks, line);
        if (marked) {
            QZSetColor(nullptr, kMarkBrush, false);
            const LRect band{bottom - view->lineHeight, rect->left, bottom, rect->right};
            VXLRectDispatch(&band, 1);
        }
        QZSetColor(nullptr, marked ? kMarkTextBrush : kTextBrush, false);
        if (n <= 0) continue;
        const _LPNT origin{bottom - view->baseLineLift, 4};
        if (view->expandTabs) {
            VXDrawTextLine(&origin, 0, bytes, n, kEncodingUTF8, int16_t(tab), 0, 0);
        } else {
            VXMoveTo(origin.h, origin.v);
            VXDrawTextWithEncoding(bytes, n, kEncodingUTF8);
        }
    }
    QZSetColor(nullptr, kTextBrush, false);
    VXSetCurrentGrafState(previous);
}

void DoScroll(TextDisplayRecord* view, int16_t part, int32_t delta, int32_t line) {
    if (view->lastFirstLine <= 0) return;
    const int32_t old = view->firstLine;
    int32_t target;
    switch (part) {
    case kTextScrollLineUp: target = old - 1; break;
    case kTextScrollLineDown: target = old + 1; break;
    case kTextScrollPageUp: target = old - (view->visibleLines - 1); break;
    case kTextScrollPageDown: target = old + (view->visibleLines - 1); break;
    case kTextScrollThumb:
    case kTextScrollThumbTrack: {
        const double value = gHooks.scrollBarValue && view->scrollBar
                                 ? gHooks.scrollBarValue(view->scrollBar) : 0.0;
        target = int32_t(std::lround(value * view->lastFirstLine));
        break;
    }
    case kTextScrollWheel: {
        int32_t lines = RoundDiv(delta, view->lineHeight);
        if (lines == 0 && delta != 0) lines = delta > 0 ? 1 : -1;
        target = old + lines;
        break;
    }
    case kTextScrollToLine: target = line; break;
    default: return;
    }
    target = std::clamp(target, 0, view->lastFirstLine);
    if (view->scrollBar && gHooks.setScrollBar && (target != old || part == kTextScrollToLine))
        gHooks.setScrollBar(view->scrollBar, double(target) / view->lastFirstLine,
                            double(view->visibleLines) / std::max(view->lineCount, 1), true);
    if (target == old) return;
    view->firstLine = target;
    int64_t shift = int64_t(old - target) * view->lineHeight;
    if (shift > kMaxPixelShift || shift < -kMaxPixelShift) shift = kMaxPixelShift;
    if (gHooks.scrollPixels) gHooks.scrollPixels(view->window, int32_t(shift));
    else InvalAll(view);
}

void RevealTextLine(TextDisplayRecord* view, int32_t line) {
    const int32_t first = view->firstLine;
    const int32_t last = first + view->visibleLines - 1;
    if (line - 1 >= first && line - 1 <= last) return;
    DoScroll(view, kTextScrollToLine, 0, line - 1);
}

void UpdateScrollBar(TextDisplayRecord* view) {
    const int16_t oldVisible = view->visibleLines;
    const int32_t oldFirst = view->firstLine;
    view->visibleLines = int16_t(std::clamp(view->viewHeight / view->lineHeight, 0, 32767));
    view->lastFirstLine = std::max(0, view->lineCount - view->visibleLines);
    view->firstLine = std::min(view->firstLine, view->lastFirstLine);
    if (view->visibleLines != oldVisible) {
        const LRect strip{oldVisible * view->lineHeight, 0, view->viewHeight, view->viewWidth};
        Inval(view, &strip);
    }
    if (view->scrollBar && gHooks.setScrollBar) {
        if (view->lastFirstLine > 0)
            gHooks.setScrollBar(view->scrollBar, double(view->firstLine) / view->lastFirstLine,
                                double(view->visibleLines) / view->lineCount, true);
        else
            gHooks.setScrollBar(view->scrollBar, 0, 1, false);
    }
    if (view->firstLine != oldFirst) InvalAll(view);
}

}  // namespace plexa
