// Driving a text-edit record: activation and the caret, keys, clicks and drags, selection,
// deletion and insertion, and the private scrap exchanged with the system clipboard.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/textedit.h"
#include "graphics/textedit_internal.h"
#include "graphics/textline.h"
#include "platform/app_platform.h"
#include "platform/clipboard_platform.h"

namespace plexa {
namespace {

Handle gScrap = nullptr;
int32_t gScrapCount = 0;

uint32_t CaretTicks() { return gTEHooks.caretTicks ? gTEHooks.caretTicks() : 30; }
uint32_t DoubleClickTicks() {
    if (gTEHooks.doubleClickTicks) return gTEHooks.doubleClickTicks();
    return uint32_t(std::max(PlatformDoubleClickMillis(), 0)) * 60 / 1000;
}

// The area of a caret at h on the line of v (a base line).
void InvalCaret(VXTERecord* te) {
    const _LPNT& p = te->caretPoint;
    const LRect r{p.v - te->baseLineOffset, p.h - 1, p.v - te->baseLineOffset + te->lineHeight, p.h + 2};
    VXLTEInvalRect(te, &r);
}

void InvalRange(VXTERecord* te, int32_t a, int32_t b) {
    if (a == b) return;
    if (a > b) std::swap(a, b);
    _LPNT pa, pb;
    VXLTEGetPoint(a, &pa, te);
    VXLTEGetPoint(b, &pb, te);
    const int32_t topA = pa.v - te->baseLineOffset, topB = pb.v - te->baseLineOffset;
    LRect r{topA, te->viewRect.left, topB + te->lineHeight, te->viewRect.right};
    if (topA == topB) {
        r.left = std::min(pa.h, pb.h) - 1;
        r.right = std::max(pa.h, pb.h) + 1;
    }
    VXLTEInvalRect(te, &r);
}

void ShowCaret(VXTERecord* te) {
    te->caretShown = 1;
    te->nextBlink = TETicks() + CaretTicks();
    VXLTEGetPoint(-1, nullptr, te);
    if (te->selStart == te->selEnd) InvalCaret(te);
}

// Moves a position off the middle of a character: past a CR LF pair, else to the character's
// start (a surrogate pair, a base with its marks, a flag).
int32_t Snap(VXTERecord* te, int32_t i) {
    i = std::clamp(i, 0, int32_t(te->length));
    if (i > 0 && i < int32_t(te->length) && TEUnits(te)[i] == kTELF && TEUnits(te)[i - 1] == kTECR) return i + 1;
    return TECharacterStart(te, i);
}

void SetSelection(VXTERecord* te, int32_t a, int32_t b) {
    a = Snap(te, a);
    b = Snap(te, b);
    if (a > b) std::swap(a, b);
    const int32_t oldStart = int32_t(te->selStart), oldEnd = int32_t(te->selEnd);
    if (oldStart == oldEnd) InvalCaret(te);
    te->selStart = uint32_t(a);
    te->selEnd = uint32_t(b);
    if (a == b || oldStart == oldEnd) {
        InvalRange(te, oldStart, oldEnd);
        InvalRange(te, a, b);
    } else {
        InvalRange(te, oldStart, a);
        InvalRange(te, oldEnd, b);
    }
    VXLTEGetPoint(-1, nullptr, te);
    if (a == b) ShowCaret(te);
}

// Replaces [at, at + removed) by n units; false (nothing changed) when memory runs out.
bool Replace(VXTERecord* te, int32_t at, int32_t removed, const char16_t* units, int32_t n) {
    const std::vector<uint32_t> old(TEStarts(te), TEStarts(te) + te->lineCount + 1);
    if (!TEEnsureTextRoom(te, uint64_t(te->length) - uint64_t(removed) + uint64_t(n)) ||
        !TEEnsureLineRoom(te, te->lineCount + uint32_t(n) + 2))
        return false;
    char16_t* u = TEUnits(te);
    std::memmove(u + at + n, u + at + removed, (te->length - uint32_t(at + removed)) * 2);
    if (n > 0) std::memcpy(u + at, units, size_t(n) * 2);
    te->length = te->length - uint32_t(removed) + uint32_t(n);
    TEReflowAfterEdit(te, old, at, removed, n);
    return true;
}

void DoDeletion(VXTERecord* te, int32_t a, int32_t b) {
    if (b <= a) return;
    if (te->selStart == te->selEnd) InvalCaret(te);
    Replace(te, a, b - a, nullptr, 0);
    // The characters on either side may have joined (a mark that followed what went): the caret
    // goes after the joined character rather than inside it.
    te->selStart = te->selEnd = uint32_t(TECharacterEnd(te, a));
    te->caretBeforeWrap = 0;
    ShowCaret(te);
}

void DeleteKey(VXTERecord* te, bool forward) {
    const int32_t a = int32_t(te->selStart), b = int32_t(te->selEnd);
    if (a != b) DoDeletion(te, a, b);
    else if (forward) DoDeletion(te, a, TENextBoundary(te, a));
    else DoDeletion(te, TEPrevBoundary(te, a), a);
}

// Inserts units at the selection (deleted first) and puts the caret after them.
bool InsertUnits(VXTERecord* te, const char16_t* units, int32_t n) {
    const int32_t a = int32_t(te->selStart), b = int32_t(te->selEnd);
    if (te->selStart == te->selEnd) InvalCaret(te);
    if (!Replace(te, a, b - a, units, n)) return false;
    // What was inserted may have joined the character after it (a mark, the other half of a
    // flag): the caret goes after that character rather than inside it.
    te->selStart = te->selEnd = uint32_t(TECharacterEnd(te, a + n));
    te->caretBeforeWrap = 0;
    ShowCaret(te);
    return true;
}

// The point of an index one line up (dv < 0) or down, hit-tested; -1 past the first or last
// line.
int32_t IndexOneLineAway(VXTERecord* te, int32_t index, int32_t dv) {
    _LPNT p;
    const uint8_t wrap = te->caretBeforeWrap;
    VXLTEGetPoint(index, &p, te);
    te->caretBeforeWrap = wrap;
    p.v += dv;
    if (p.v < te->destRect.top + te->scrollOffset) return -1;
    const int32_t line = (p.v - te->destRect.top - te->scrollOffset) / te->lineHeight;
    if (line >= int32_t(te->lineCount)) return -1;
    return VXLTEGetCharIndex(&p, te);
}

void PageKey(VXTERecord* te, bool down) {
    if (te->pageHeight <= te->lineHeight) return;
    _LPNT p;
    VXLTEGetPoint(int32_t(te->selStart), &p, te);
    const int32_t d = te->pageHeight - te->lineHeight;
    if (down)
        p.v = std::min(p.v + d, te->destRect.top + te->lineHeight * int32_t(te->lineCount) - 4);
    else
        p.v = std::max(p.v - d, te->destRect.top + 3);
    const int32_t index = VXLTEGetCharIndex(&p, te);
    const uint8_t wrap = te->noWrap ? 0 : te->caretBeforeWrap;
    SetSelection(te, index, index);
    te->caretBeforeWrap = wrap;
}

void ArrowKey(VXTERecord* te, uint16_t key) {
    const int32_t a = int32_t(te->selStart), b = int32_t(te->selEnd);
    const int32_t length = int32_t(te->length);
    int32_t caret = a;
    uint8_t wrap = 0;
    switch (key) {
    case kTEKeyRight:
        if (a != b) {
            caret = b;
        } else if (a < length) {
            const int32_t line = VXTELineNumberFromCharIndex(a, te);
            if (te->caretBeforeWrap && a == TELineStart(te, line) && line > 0) {
                caret = a;  // from the end of the upper line to the start of the lower one
            } else {
                caret = TENextBoundary(te, a);
                const int32_t next = VXTELineNumberFromCharIndex(caret, te);
                wrap = next > 0 && caret == TELineStart(te, next) && TEWrapsAt(te, next - 1);
            }
        } else {
            wrap = te->caretBeforeWrap;
        }
        break;
    case kTEKeyLeft:
        if (a != b) {
            caret = a;
        } else if (a > 0) {
            const int32_t line = VXTELineNumberFromCharIndex(a, te);
            if (!te->caretBeforeWrap && line > 0 && a == TELineStart(te, line) && TEWrapsAt(te, line - 1)) {
                int32_t s = 0;
                const int32_t n = GetLineContentCount(te, line - 1, true, &s);
                caret = s + n;
                wrap = caret == a;
            } else {
                caret = TEPrevBoundary(te, a);
            }
        }
        break;
    case kTEKeyUp: {
        const int32_t i = IndexOneLineAway(te, a, -int32_t(te->lineHeight));
        caret = i < 0 ? 0 : i;
        wrap = i < 0 ? 0 : te->caretBeforeWrap;
        break;
    }
    case kTEKeyDown: {
        const int32_t i = IndexOneLineAway(te, b, te->lineHeight);
        caret = i < 0 ? length : i;
        wrap = i < 0 ? 0 : te->caretBeforeWrap;
        break;
    }
    default:
        return;
    }
    te->caretBeforeWrap = wrap;
    SetSelection(te, caret, caret);
    te->caretBeforeWrap = wrap;
    VXLTEGetPoint(-1, nullptr, te);
}

void ShiftArrowKey(VXTERecord* te, uint16_t key) {
    int32_t a = int32_t(te->selStart), b = int32_t(te->selEnd);
    const int32_t length = int32_t(te->length);
    te->caretBeforeWrap = 0;
    switch (key) {
    case kTEKeyRight:
        if (b >= length) return;
        b = TENextBoundary(te, b);
        break;
    case kTEKeyDown: {
        if (b >= length) return;
        const int32_t i = IndexOneLineAway(te, b, te->lineHeight);
        b = i < 0 ? length : std::max(i, b);
        break;
    }
    case kTEKeyLeft:
        if (a <= 0) return;
        a = TEPrevBoundary(te, a);
        break;
    case kTEKeyUp: {
        if (a <= 0) return;
        const int32_t i = IndexOneLineAway(te, a, -int32_t(te->lineHeight));
        a = i < 0 ? 0 : std::min(i, a);
        break;
    }
    default:
        return;
    }
    te->caretBeforeWrap = 0;
    SetSelection(te, a, b);
}

bool IsWordChar(char16_t c) {
    if (c >= 255 || c == '_') return true;
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    return c == 0xAA || c == 0xB5 || c == 0xBA || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}

void WordAround(VXTERecord* te, int32_t i, int32_t* start, int32_t* end) {
    const char16_t* u = TEUnits(te);
    int32_t a = i, b = i;
    while (a > 0 && IsWordChar(u[a - 1])) a--;
    while (b < int32_t(te->length) && IsWordChar(u[b])) b++;
    *start = a;
    *end = b;
}

void LineAround(VXTERecord* te, int32_t i, int32_t* start, int32_t* end) {
    int32_t line = VXTELineNumberFromCharIndex(i, te);
    *start = TELineStart(te, line);
    *end = TELineEnd(te, line);
}

// Scrolls by one step while the pointer is outside the view (auto-view only).
void AutoScrollTE(VXTERecord* te, const _LPNT& p) {
    if (!(te->features & kTEFeatureAutoView)) return;
    const LRect& v = te->viewRect;
    const LRect& d = te->destRect;
    const int32_t bottom = d.top + te->scrollOffset + int32_t(te->lineCount) * te->lineHeight;
    if (p.v < v.top && d.top < v.top) {
        VXTEScroll(0, te->lineHeight, te);
    } else if (p.v > v.bottom && bottom > v.bottom) {
        VXTEScroll(0, -int32_t(te->lineHeight), te);
    }
    const int32_t step = std::max<int32_t>(1, int32_t(VXMeasureTextBytes("_", 1, kEncodingMacRoman, false)));
    if (p.h < v.left && d.left < v.left) VXTEScroll(step, 0, te);
    else if (p.h > v.right && d.right > v.right) VXTEScroll(-step, 0, te);
}

struct DragState {
    VXTERecord* te;
    int32_t anchor;
};

void TrackDrag(void* data, const _LPNT* where) {
    auto* drag = static_cast<DragState*>(data);
    VXTERecord* te = drag->te;
    TEPortScope port(te);
    AutoScrollTE(te, *where);
    const int32_t i = VXLTEGetCharIndex(where, te);
    if (te->selectMode == 0) {
        SetSelection(te, drag->anchor, i);
        return;
    }
    int32_t s, e;
    if (te->selectMode == 1) WordAround(te, i, &s, &e);
    else LineAround(te, i, &s, &e);
    if (i < int32_t(te->anchorStart)) SetSelection(te, s, int32_t(te->anchorEnd));
    else if (i <= int32_t(te->anchorEnd)) SetSelection(te, int32_t(te->anchorStart), int32_t(te->anchorEnd));
    else SetSelection(te, int32_t(te->anchorStart), e);
}

}  // namespace

void TEClearScrap() {
    if (gScrap) MemFree(gScrap);
    gScrap = nullptr;
    gScrapCount = 0;
}

void VXTEActivate(VXTERecord* te) {
    if (!te || te->active) return;
    if (gTEHooks.setActive) gTEHooks.setActive(te->window, te);
    te->active = 1;
    TEPortScope port(te);
    ShowCaret(te);
    InvalRange(te, int32_t(te->selStart), int32_t(te->selEnd));
}

void VXTEDeactivate(VXTERecord* te) {
    if (!te || !te->active) return;
    TEPortScope port(te);
    te->clickIndex = -1;
    te->caretShown = 0;
    InvalCaret(te);
    te->active = 0;
    InvalRange(te, int32_t(te->selStart), int32_t(te->selEnd));
    if (gTEHooks.getActive && gTEHooks.setActive && gTEHooks.getActive(te->window) == te)
        gTEHooks.setActive(te->window, nullptr);
}

void VXTEIdle(VXTERecord* te) {
    if (!te || !te->active || te->selStart != te->selEnd) return;
    const uint32_t now = TETicks();
    if (int32_t(now - te->nextBlink) < 0) return;
    te->caretShown = !te->caretShown;
    InvalCaret(te);
    te->nextBlink = now + CaretTicks();
}

void VXTESetSelect(int32_t a, int32_t b, VXTERecord* te) {
    if (!te) return;
    TEPortScope port(te);
    te->caretBeforeWrap = 0;
    SetSelection(te, std::min(a, b), std::max(a, b));
}

void VXTESelView(VXTERecord* te) {
    if (!te || !(te->features & kTEFeatureAutoView)) return;
    TEPortScope port(te);
    VXLTEGetPoint(-1, nullptr, te);
    const _LPNT p = te->caretPoint;
    const LRect& v = te->viewRect;
    const int32_t lh = std::max<int32_t>(te->lineHeight, 1);
    const int32_t lineTop = p.v - te->baseLineOffset;
    int32_t dv = 0;
    if (lineTop < v.top) dv = v.top - lineTop;
    else if (p.v > v.bottom) dv = v.bottom - (lineTop + lh);
    // The view's top on a whole line of the destination.
    const int32_t offset = v.top - (te->destRect.top + dv);
    if (offset > 0 && offset % lh) dv = v.top - (offset + lh - offset % lh) - te->destRect.top;
    int32_t dh = 0;
    if (p.h <= v.left) dh = std::min(((v.left - p.h) / lh + 2) * lh, v.left - te->destRect.left);
    else if (p.h > v.right) dh = -(((p.h - v.right) / lh + 2) * lh);
    if (dh || dv) VXTEScroll(dh, dv, te);
}

void VXTEKey(uint16_t key, VXTERecord* te) {
    if (!te || !te->active) return;
    TEPortScope port(te);
    const bool arrow = key == kTEKeyLeft || key == kTEKeyRight || key == kTEKeyUp || key == kTEKeyDown;
    if (arrow && gTEHooks.shiftDown && gTEHooks.shiftDown()) {
        ShiftArrowKey(te, key);
        VXTESelView(te);
        return;
    }
    switch (key) {
    case kTEKeyHome:
        te->caretBeforeWrap = 0;
        SetSelection(te, 0, 0);
        break;
    case kTEKeyEnd:
        te->caretBeforeWrap = 0;
        SetSelection(te, int32_t(te->length), int32_t(te->length));
        break;
    case kTEKeyPageUp:
    case kTEKeyPageDown:
        PageKey(te, key == kTEKeyPageDown);
        break;
    case kTEKeyLeft:
    case kTEKeyRight:
    case kTEKeyUp:
    case kTEKeyDown:
        ArrowKey(te, key);
        break;
    case kTEKeyForwardDelete:
        DeleteKey(te, true);
        break;
    case kTEKeyBackspace:
        DeleteKey(te, false);
        break;
    case kTEKeyClear:
        DoDeletion(te, int32_t(te->selStart), int32_t(te->selEnd));
        break;
    default: {
        const bool function = key >= 0xF700 && key <= 0xF8FF;
        const bool control = (key < 32 && key != kTEKeyTab && key != kTEKeyReturn) || key == 127;
        if (function || control) return;
        const char16_t unit = char16_t(key);
        InsertUnits(te, &unit, 1);
        break;
    }
    }
    VXTESelView(te);
}

void VXTEClick(const _LPNT* point, int16_t /*button*/, bool shift, VXTERecord* te) {
    if (!te || !te->active || !point) return;
    TEPortScope port(te);
    const int32_t index = VXLTEGetCharIndex(point, te);
    const uint8_t hitWrap = te->caretBeforeWrap;
    const uint32_t now = TETicks();
    const bool doubleClick = !shift && te->length > 0 && index == te->clickIndex &&
                             now - te->clickTime <= DoubleClickTicks();
    te->clickIndex = index;
    te->clickTime = now;
    DragState drag{te, index};
    if (!doubleClick) {
        te->selectMode = 0;
        if (shift) {
            drag.anchor = index >= int32_t(te->selEnd) ? int32_t(te->selStart) : int32_t(te->selEnd);
            te->caretBeforeWrap = 0;
            SetSelection(te, drag.anchor, index);
        } else {
            te->caretBeforeWrap = te->noWrap ? 0 : hitWrap;
            SetSelection(te, index, index);
            te->caretBeforeWrap = te->noWrap ? 0 : hitWrap;
            VXLTEGetPoint(-1, nullptr, te);
        }
    } else {
        int32_t s, e;
        if (te->selectMode == 0) {
            te->selectMode = 1;
            WordAround(te, index, &s, &e);
        } else {
            te->selectMode = 2;
            LineAround(te, index, &s, &e);
        }
        te->anchorStart = uint32_t(s);
        te->anchorEnd = uint32_t(e);
        te->caretBeforeWrap = 0;
        SetSelection(te, s, e);
    }
    if (gTEHooks.trackDrag)
        gTEHooks.trackDrag(te->window, te->features & kTEFeatureDragFlag, TrackDrag, &drag);
}

void VXTEDelete(VXTERecord* te) {
    if (!te) return;
    TEPortScope port(te);
    DoDeletion(te, int32_t(te->selStart), int32_t(te->selEnd));
}

bool VXTEInsert(const void* bytes, int32_t byteCount, uint32_t encoding, VXTERecord* te) {
    if (!te) return false;
    std::u16string text;
    if (!TEDecode(bytes, byteCount, encoding, &text)) return false;
    TEApplyLFRule(&text);
    TEPortScope port(te);
    te->selEnd = te->selStart;
    return InsertUnits(te, text.data(), int32_t(text.size()));
}

void VXTECopy(VXTERecord* te) {
    if (!te || te->selStart == te->selEnd) return;
    const uint32_t n = te->selEnd - te->selStart;
    Handle h = AllocHandleWithData(nullptr, TEUnits(te) + te->selStart, n * 2);
    if (!h) return;
    TEClearScrap();
    gScrap = h;
    gScrapCount = int32_t(n);
}

void VXTECut(VXTERecord* te) {
    if (!te || te->selStart == te->selEnd) return;
    VXTECopy(te);
    VXTEDelete(te);
}

void VXTEPaste(VXTERecord* te) { VXTEPasteEx(te, nullptr); }

void VXTEPasteEx(VXTERecord* te, const VXTEPasteOptions* options) {
    if (!te || !gScrap || gScrapCount <= 0) return;
    std::u16string text(reinterpret_cast<const char16_t*>(*gScrap), size_t(gScrapCount));
    TEApplyLFRule(&text);
    size_t n = text.size();
    if (options && options->limit >= 0) {
        const int64_t room = int64_t(options->limit) -
                             (int64_t(te->length) - int64_t(te->selEnd - te->selStart));
        if (room <= 0) return;
        n = std::min<size_t>(n, size_t(room));
    }
    if (options && options->filter) {
        size_t k = 0;
        while (k < n && options->filter(uint16_t(text[k]), options->data)) k++;
        n = k;
    }
    // Never half of a surrogate pair.
    if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) n--;
    if (n == 0) return;
    TEPortScope port(te);
    InsertUnits(te, text.data(), int32_t(n));
}

void VXTESetScrap(const void* bytes, int32_t byteCount, uint32_t encoding) {
    if (!bytes || byteCount == 0) return;
    std::u16string text;
    if (encoding == kEncodingUTF16LE) {
        const int32_t count = VXResolveTextCount(bytes, byteCount, encoding);
        text.resize(size_t(count / 2));
        std::memcpy(text.data(), bytes, text.size() * 2);
    } else {
        if (!TEDecode(bytes, byteCount, encoding, &text)) return;
        TEApplyLFRule(&text);
    }
    if (text.empty()) return;
    Handle h = AllocHandleWithData(nullptr, text.data(), uint32_t(text.size() * 2));
    if (!h) return;
    TEClearScrap();
    gScrap = h;
    gScrapCount = int32_t(text.size());
}

void VXTEFromScrap() {
    std::u16string text;
    if (!PlatformClipboardGetText(&text) || text.empty()) return;
    TEApplyLFRule(&text);
    VXTESetScrap(text.data(), int32_t(text.size() * 2), kEncodingUTF16LE);
}

void VXTEToScrap() {
    if (!gScrap || gScrapCount <= 0) return;
    // Other programs here end lines with LF: a CR or a CR LF goes out as one LF (and comes
    // back as CR through the LF rule).
    const char16_t* units = reinterpret_cast<const char16_t*>(*gScrap);
    std::u16string text;
    text.reserve(size_t(gScrapCount));
    for (int32_t i = 0; i < gScrapCount; i++) {
        if (units[i] == kTELF && i > 0 && units[i - 1] == kTECR) continue;
        text.push_back(units[i] == kTECR ? kTELF : units[i]);
    }
    (void)VXWriteTextToClipboard(text.data(), int32_t(text.size() * 2), kEncodingUTF16LE);  // the clipboard keeps what it had
}

int32_t VXTECountScrapCharacters() { return gScrap ? gScrapCount : 0; }

bool VXWriteTextToClipboard(const void* bytes, int32_t byteCount, uint32_t encoding) {
    std::u16string text;
    if (!TEDecode(bytes, byteCount, encoding, &text)) return false;
    return PlatformClipboardSetText(text);
}

}  // namespace plexa
