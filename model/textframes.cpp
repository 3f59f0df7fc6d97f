// Text frames; see textframes.h.
#include "model/textframes.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/offscreen.h"
#include "graphics/textedit.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/sheetindex.h"
#include "model/attributes.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/fieldexpand.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {

namespace {

// Room that macro expansion has beyond the source text, in bytes.
constexpr int32_t kExpansionRoom = 512;
// The width and height of the text-edit view that lays a frame out.
constexpr int32_t kLayoutHeight = 10000;
constexpr uint32_t kMaxFrameUnits = (UINT32_MAX - kTextFrameHeadSize) / 2;

Handle AsHandle(TextFrameHandle frame) { return reinterpret_cast<Handle>(frame); }

int16_t Clamp16(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

// The units of the source and expanded texts that the handle really holds.
void FrameLengths(TextFrameHandle frame, uint32_t* source, uint32_t* expanded) {
    const uint32_t size = SizeOfHandle(AsHandle(frame));
    const uint32_t units = size > kTextFrameHeadSize ? (size - kTextFrameHeadSize) / 2 : 0;
    *source = std::min((*frame)->textLength, units);
    *expanded = std::min((*frame)->expandedLength, units - *source);
}

// A copy of the displayed text (or the source), safe from moves of the handle.
std::u16string FrameText(TextFrameHandle frame, bool displayed) {
    uint32_t length = 0;
    const char16_t* text = GetTextFrameUnicodeText(frame, displayed, &length);
    return std::u16string(text, length);
}

// Line i of the displayed text as [start, end), clamped to the text and to the line-start handle.
bool LineRange(TextFrameHandle frame, uint32_t line, uint32_t length, uint32_t* start,
               uint32_t* end) {
    const Handle starts = (*frame)->lineStarts;
    const uint32_t entries = starts ? SizeOfHandle(starts) / 4 : 0;
    if (line + 1 >= entries) return false;
    const auto* offsets = reinterpret_cast<const uint32_t*>(*starts);
    *start = std::min(offsets[line], length);
    *end = std::clamp(offsets[line + 1], *start, length);
    return true;
}

// The characters of [start, end) without the trailing ones below 33 (blanks and controls).
uint32_t TrimmedCount(const std::u16string& text, uint32_t start, uint32_t end) {
    while (end > start && text[end - 1] < 33) end--;
    return end - start;
}

// The size of a modifier handle box in the window.
Point ModifierBoxSize(VXWindowRecordTag* window) {
    const VXGrafState* graf = VXGrafStateOfTarget(window);
    const int16_t size = CalcModiferBoxSize(graf ? &graf->geometry : nullptr);
    return {size, size};
}

void FreeFrameItem(LinkListHeader*, void* item, void*, uint32_t) {
    auto frame = static_cast<TextFrameHandle>(item);
    if (frame && *frame && (*frame)->lineStarts) MemFree((*frame)->lineStarts);
}

}  // namespace

// ---- Creation and text ----

TextFrameHandle CreateTextFrame(const void* text, int32_t byteLength, uint32_t encoding) {
    auto frame = reinterpret_cast<TextFrameHandle>(AllocHandleClear(nullptr, kTextFrameHeadSize));
    if (!frame) return nullptr;
    Handle starts = AllocHandle(nullptr, 0);
    if (!starts) {
        MemFree(AsHandle(frame));
        return nullptr;
    }
    (*frame)->lineStarts = starts;
    if (!SetTextFrameText(frame, text, byteLength, encoding)) {
        DestroyTextFrame(frame);
        return nullptr;
    }
    return frame;
}

bool SetTextFrameText(TextFrameHandle frame, const void* text, int32_t byteLength,
                      uint32_t encoding) {
    if (!frame) return false;
    std::u16string units;
    const uint32_t size = CalcTextFrameAllocSize(text, byteLength, encoding, &units);
    if (!ResizeHandle(AsHandle(frame), size)) return false;
    (*frame)->expandedLength = 0;
    (*frame)->textLength = uint32_t(units.size());
    std::memcpy(TextFrameSource(frame), units.data(), units.size() * 2);
    return true;
}

uint32_t CalcTextFrameAllocSize(const void* text, int32_t byteLength, uint32_t encoding,
                                std::u16string* string) {
    std::u16string units;
    if (text) {
        const int32_t bytes = byteLength < 0 ? VXResolveTextCount(text, -1, encoding) : byteLength;
        DecodeTextLossy(text, size_t(std::max(bytes, 0)), encoding, &units);
        if (units.size() > kMaxFrameUnits) units.clear();
    }
    const auto size = uint32_t(kTextFrameHeadSize + units.size() * 2);
    if (string) *string = std::move(units);
    return size;
}

uint32_t VXGetStringSizeInBytes(const void* text, uint32_t encoding) {
    return VXGetStringLength(text, encoding) * (encoding == kEncodingUTF16LE ? 2 : 1);
}

TextFrameHandle DuplicateTextFrame(TextFrameHandle frame) {
    if (!frame) return nullptr;
    auto copy = reinterpret_cast<TextFrameHandle>(CloneHandle(nullptr, AsHandle(frame)));
    if (!copy) return nullptr;
    Handle starts = (*frame)->lineStarts ? CloneHandle(nullptr, (*frame)->lineStarts)
                                         : AllocHandle(nullptr, 0);
    if (!starts) {
        MemFree(AsHandle(copy));
        return nullptr;
    }
    (*copy)->lineStarts = starts;
    (*copy)->link = nullptr;
    return copy;
}

void DestroyTextFrame(TextFrameHandle frame) {
    if (!frame) return;
    if ((*frame)->lineStarts) MemFree((*frame)->lineStarts);
    MemFree(AsHandle(frame));
}

LinkListHeader* CreateTextFrameList() {
    LinkListHeader* list = LLCreate(gGenPool, kTextFrameHeadSize, kLLHandles);
    if (list) LLSetFreeProc(list, FreeFrameItem);
    return list;
}

void DestroyTextFrameList(LinkListHeader* list) { LLDispose(list, true); }

const char16_t* GetTextFrameUnicodeText(TextFrameHandle frame, bool displayed, uint32_t* length) {
    uint32_t source = 0, expanded = 0;
    FrameLengths(frame, &source, &expanded);
    const char16_t* text = TextFrameSource(frame);
    if (displayed && expanded) {
        if (length) *length = expanded;
        return text + source;
    }
    if (length) *length = source;
    return text;
}

Handle GetTextFrameTextAsHandle(TextFrameHandle frame, uint32_t encoding, bool displayed,
                                bool withRoom) {
    const std::u16string text = FrameText(frame, displayed);
    std::string bytes;
    if (encoding == kEncodingUTF16LE) {
        bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * 2);
    } else {
        bytes.resize(GetCFStringByteSize(text, encoding));
        ExtractCFStringTo(text, bytes.data(), uint32_t(bytes.size()), encoding);
        bytes.resize(std::strlen(bytes.c_str()));
    }
    const uint32_t room = withRoom && !text.empty() ? kExpansionRoom : 0;
    Handle handle = AllocHandleClear(nullptr, uint32_t(bytes.size()) + room);
    if (handle && !bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    return handle;
}

void GetTextFrameTextAsString(TextFrameHandle frame, bool displayed, int32_t size, char* out) {
    if (!out || size < 1) return;
    out[0] = 0;
    if (frame) ExtractCFStringTo(FrameText(frame, displayed), out, uint32_t(size), kEncodingUTF8);
}

uint32_t IsTextFrameOwnedBySymbol(TextFrameHandle frame, const SymbolRecord* symbol) {
    const uint32_t owner = (*frame)->owner;
    if (!symbol) return owner;
    return owner == symbol->serial ? owner : 0;
}

// ---- Style, layout and bounds ----

void InstallStyleInFrame(TextFrameHandle frame, const txStyle* style, uint32_t mask,
                         TextStyleList* list) {
    txStyle* scratch = GetScratchStyle();
    if (!scratch) return;
    if (const txStyle* base = (*frame)->style ? (*frame)->style : gDefaultStyle)
        CopyTextStyle(base, scratch);
    else
        SetupDefaultStyle(scratch, kStyleUser);
    InstallStyleInStyle(style, scratch, mask);
    if (txStyle* installed = InstallStyleInList(scratch, list)) (*frame)->style = installed;
    ReleaseScratchStyle(scratch);
}

void ModifyTextFrameStyle(VXWindowRecordTag* window, TextFrameHandle frame, const txStyle* style,
                          uint32_t mask, TextStyleList* list) {
    InstallStyleInFrame(frame, style, mask, list);
    CalcTextFrameBounds(window, frame, false, 0);
}

void CalcTextFrameLineBreaks(VXWindowRecordTag* window, TextFrameHandle frame, int32_t width) {
    VXGrafStateScope scope(WindowGrafState(window));
    if (!frame || !scope.state()) return;
    if ((*frame)->style) VXSetTextStyle((*frame)->style);
    const std::u16string text = FrameText(frame, true);
    const auto length = uint32_t(text.size());
    const LRect rect = {0, 0, kLayoutHeight, width + 1};
    VXTERecord* te = VXTENewUsingStyle(&rect, &rect, kTEStyleCurrent);
    if (!te) return;
    VXTESetTabWidth(0, kFrameTabWidth, te);
    if ((*frame)->flags & kFrameFlagRightAligned) te->just = kTEJustRight;
    if (!VXTESetText(text.data(), int32_t(length * 2), kEncodingUTF16LE, te)) {
        VXTEDispose(te);
        return;
    }
    // The edit turns every line feed that does not follow a carriage return into one and starts
    // the line after a CR LF at its LF: such a line starts one further, past the LF.
    const uint32_t count = std::min<uint32_t>(te->lineCount, UINT16_MAX);
    std::vector<uint32_t> starts(count + 1);
    const auto* teStarts = reinterpret_cast<const uint32_t*>(*te->lineStarts);
    const auto* teText = reinterpret_cast<const char16_t*>(*te->text);
    for (uint32_t i = 0; i < count; i++) {
        uint32_t start = std::min({teStarts[i], length, te->length});
        if (i > 0 && start < te->length && teText[start] == 10) start++;
        starts[i] = std::min(start, length);
    }
    starts[count] = length;
    VXTEDispose(te);
    if (!SetHandleContent((*frame)->lineStarts, starts.data(), uint32_t(starts.size() * 4))) return;
    (*frame)->lineCount = uint16_t(count);
}

void CalcTextFrameBounds(VXWindowRecordTag* window, TextFrameHandle frame, bool reBreak,
                         int32_t width) {
    if (!frame) return;
    VXGrafStateScope scope(WindowGrafState(window));
    // A frame read from a file carries its line starts but no bounds yet: with no width to keep,
    // its stored lines stand as they are.
    const Rect& b = (*frame)->bounds;
    const bool noWidthKnown = width < 0 && (*frame)->lineCount > 1 && b.right <= b.left;
    if (reBreak && !noWidthKnown) {
        if (width >= 0) {
            width = std::max(width, 3);
        } else if ((*frame)->lineCount > 1) {
            width = std::max(b.right - b.left - 6, 3);
        } else if (SheetRecord* sheet = WindowToDrawing(window)) {
            width = std::max(sheet->sheetBounds.right - b.left - 6, 3);
        } else {
            width = kFrameDefaultWrapWidth;
        }
        CalcTextFrameLineBreaks(window, frame, width);
    }
    txStyle* style = (*frame)->style;
    if (style) VXSetTextStyle(style);

    const std::u16string text = FrameText(frame, true);
    const bool right = (*frame)->flags & kFrameFlagRightAligned;
    int32_t widest = 0;
    uint32_t start = 0, end = 0;
    for (uint32_t line = 0; line < (*frame)->lineCount; line++) {
        if (!LineRange(frame, line, uint32_t(text.size()), &start, &end)) break;
        const uint32_t n = TrimmedCount(text, start, end);
        if (n == 0) continue;
        widest = std::max(widest, int32_t(VXMeasureTextLine(text.data() + start, int32_t(n),
                                                            kEncodingUTF16LE, kFrameTabWidth,
                                                            right ? kTextLineRightAligned : 0)));
    }
    int16_t lineHeight = 0, ascent = 0;
    VXTECalcStyleMetrics(style, &lineHeight, &ascent, nullptr);
    const Point at = (*frame)->position;
    const int32_t top = -ascent, bottom = top + int32_t((*frame)->lineCount) * lineHeight;
    const int32_t left = right ? -widest : 0;
    Rect r = {Clamp16(top - 2), Clamp16(left - 3), Clamp16(bottom + 2), Clamp16(left + widest + 3)};
    if (const int32_t rotation = (*frame)->flags & kFrameFlagRotation)
        VXTransformGrafRect(rotation, &r);
    const Rect before = (*frame)->bounds;
    (*frame)->bounds = {Clamp16(r.top + at.v), Clamp16(r.left + at.h), Clamp16(r.bottom + at.v),
                        Clamp16(r.right + at.h)};
    NoteSheetItemBounds(before, (*frame)->bounds);
}

void GetTextFrameAnchorPoint(TextFrameHandle frame, bool outer, Point* point) {
    Rect r = (*frame)->bounds;
    if (!outer) VXInsetRect(&r, 2, 2);
    switch ((*frame)->flags & kFrameFlagRotation) {
        case 0: *point = {r.top, r.left}; break;
        case 1: *point = {r.top, r.right}; break;
        case 2: *point = {r.bottom, r.right}; break;
        default: *point = {r.bottom, r.left}; break;
    }
}

void GetTextFrameSizePoint(TextFrameHandle frame, Point* point) {
    const Rect& r = (*frame)->bounds;
    switch ((*frame)->flags & kFrameFlagRotation) {
        case 0: *point = {r.bottom, r.right}; break;
        case 1: *point = {r.bottom, int16_t(r.left - 1)}; break;
        case 2: *point = {int16_t(r.top - 1), int16_t(r.left - 1)}; break;
        default: *point = {int16_t(r.top - 1), r.right}; break;
    }
}

void OffsetTextFrame(TextFrameHandle frame, int16_t dh, int16_t dv) {
    (*frame)->position.h = int16_t((*frame)->position.h + dh);
    (*frame)->position.v = int16_t((*frame)->position.v + dv);
    VXOffsetRect(&(*frame)->bounds, dh, dv);
    if (dh || dv) NoteSheetItemPlaces();
}

void OffsetTextFrameList(LinkListHeader* list, int16_t dh, int16_t dv) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
        OffsetTextFrame(static_cast<TextFrameHandle>(item), dh, dv);
}

void TransformTextFrame(TextFrameHandle frame, VXWindowRecordTag* window, Point origin,
                        int32_t code) {
    if (!frame) return;
    code &= 7;
    if (code == 5 || code == 7) {
        // A turn and a mirror: the turn first, then the mirror, so that the frame keeps both.
        TransformTextFrame(frame, window, origin, code & 3);
        TransformTextFrame(frame, window, origin, 4);
        return;
    }
    uint16_t flags = (*frame)->flags;
    const bool odd = flags & 1;
    if (code == 4) {
        flags ^= odd ? 6 : 4;
    } else if (code == 6) {
        flags ^= odd ? 4 : 6;
    } else {
        const int32_t rotation = VXTransformTransformation(flags & kFrameFlagRotation, code) & 3;
        flags = uint16_t((flags & ~kFrameFlagRotation) | rotation);
    }
    (*frame)->flags = flags;
    Point p = {int16_t((*frame)->position.v - origin.v), int16_t((*frame)->position.h - origin.h)};
    VXTransformPoints(code, &p, 1);
    (*frame)->position = {int16_t(p.v + origin.v), int16_t(p.h + origin.h)};
    CalcTextFrameBounds(window, frame, false, 0);
}

// ---- Macros, conversions and drawing ----

bool EvaluateTextFrameText(SheetRecord* sheet, TextFrameHandle frame, DataContextChain* chain) {
    if (!sheet || !frame) return false;
    std::string source;
    {
        const std::u16string text = FrameText(frame, false);
        source.resize(GetCFStringByteSize(text, kEncodingUTF8));
        ExtractCFStringTo(text, source.data(), uint32_t(source.size()), kEncodingUTF8);
        source.resize(std::strlen(source.c_str()));
    }
    const auto sourceLength = int32_t(source.size());
    const int32_t capacity = sourceLength ? sourceLength + kExpansionRoom : 0;
    std::vector<char> buffer(size_t(capacity) + 1, 0);
    std::memcpy(buffer.data(), source.data(), source.size());

    DataContextChain* own = chain ? nullptr : BuildSheetContextChain(sheet, nullptr);
    if (!chain) chain = own;
    SymbolRecord* symbol =
        (*frame)->owner ? RetrieveSerializedSymbol(sheet->symbolList, (*frame)->owner) : nullptr;
    if (symbol && chain) BuildSymbolContextChain(chain, sheet, symbol, true);
    int32_t length = sourceLength;
    const bool found = chain && ExpandDataString(buffer.data(), &length, capacity, chain) != 0;
    if (symbol && chain) PopDataCtxChain(chain);
    if (own) DestroyDataCtxChain(own);
    length = std::clamp(length, 0, capacity);

    const uint32_t textLength = std::min((*frame)->textLength,
                                         (SizeOfHandle(AsHandle(frame)) - kTextFrameHeadSize) / 2);
    if (!found && length == sourceLength) {
        ResizeHandle(AsHandle(frame), kTextFrameHeadSize + textLength * 2);
        (*frame)->expandedLength = 0;
        return false;
    }
    std::u16string expanded;
    if (length > 0) DecodeTextLossy(buffer.data(), size_t(length), kEncodingUTF8, &expanded);
    if (expanded.empty()) expanded = u"?";
    if (expanded.size() > kMaxFrameUnits - textLength ||
        !ResizeHandle(AsHandle(frame),
                      uint32_t(kTextFrameHeadSize + (textLength + expanded.size()) * 2))) {
        ResizeHandle(AsHandle(frame), kTextFrameHeadSize + textLength * 2);
        (*frame)->expandedLength = 0;
        return true;
    }
    std::memcpy(TextFrameSource(frame) + textLength, expanded.data(), expanded.size() * 2);
    (*frame)->expandedLength = uint32_t(expanded.size());
    return true;
}

TextFrameHandle CreateTextFrameFromTE(VXTERecord* te, SheetRecord* sheet, TextFrameHandle replaced,
                                      TextStyleList* list) {
    if (!te) return nullptr;
    auto* window = static_cast<VXWindowRecordTag*>(VXTargetOfGrafState(te->window));
    if (window) {
        const Point box = ModifierBoxSize(window);
        LRect view = te->viewRect;
        InsetRect32(&view, -box.h, -box.v);
        VXInvalTargetRect(window, &view);
    }
    if (te->length == 0 || !te->text) return nullptr;
    const std::u16string text(reinterpret_cast<const char16_t*>(*te->text), te->length);
    _LPNT anchor{};
    VXLTEGetAlignmentPoint(te, &anchor);
    TextFrameHandle frame =
        CreateTextFrame(text.data(), int32_t(text.size() * 2), kEncodingUTF16LE);
    if (!frame) return nullptr;
    Point position;
    Point32To16(&anchor, &position);
    (*frame)->position = position;
    InstallStyleInFrame(frame, te->style, kStyleFont | kStyleSize | kStyleFace, list);
    if (te->just == kTEJustRight) (*frame)->flags |= kFrameFlagRightAligned;
    if (replaced) (*frame)->owner = (*replaced)->owner;
    if (sheet) EvaluateTextFrameText(sheet, frame, nullptr);
    CalcTextFrameBounds(window, frame, true, te->viewRect.right - te->viewRect.left - 1);
    if (window) VXInvalTargetRect(window, &(*frame)->bounds);
    return frame;
}

TextFrameHandle CreateTextFrameFromTextElement(const TextRecord* text, StringBlock block,
                                               TextStyleList* list, bool computeBounds,
                                               VXWindowRecordTag* window) {
    if (!text) return nullptr;
    char string[kTextStringSize];
    GetTextRecordMacroString(text, block, string, sizeof string);
    TextFrameHandle frame = CreateTextFrame(string, -1, kEncodingUTF8);
    if (!frame) return nullptr;
    (*frame)->position = text->position;
    (*frame)->flags = uint16_t(text->flags & kFrameFlagsShared);
    if (list) InstallStyleInFrame(frame, text->style, kStyleFont | kStyleSize | kStyleFace, list);
    else (*frame)->style = text->style;
    if (computeBounds) CalcTextFrameBounds(window, frame, true, 32000);
    return frame;
}

TextRecord* CreateTextElementFromTextFrame(TextFrameHandle frame, uint16_t kind,
                                           StringBlock block, SheetRecord* sheet,
                                           VXWindowRecordTag* window, bool hideWhenEmpty,
                                           TextStyleList* list) {
    if (!frame) return nullptr;
    TextRecord* text = CreateTextElement();
    if (!text) return nullptr;
    text->kind = kind;
    text->position = (*frame)->position;
    text->flags = uint16_t((*frame)->flags & kFrameFlagsShared);
    if (list) InstallStyleInText(text, (*frame)->style, kStyleFont | kStyleSize | kStyleFace, list);
    else text->style = (*frame)->style;
    char string[kTextStringSize];
    GetTextFrameTextAsString(frame, false, sizeof string, string);
    SetTextRecordString(text, block, string);
    if (sheet) ExpandTextRecordMacros(sheet, text, nullptr, hideWhenEmpty);
    CalcTextBounds(window, text, block);
    return text;
}

bool ExtractTextFrameAttrName(TextFrameHandle frame, char* name, int32_t nameSize, bool* at) {
    constexpr size_t kReferenceUnits = 64;
    bool hidden = false;
    if (at) *at = false;
    if (!frame) {
        if (name && nameSize > 0) *name = 0;
        return false;
    }
    const std::u16string text = FrameText(frame, false).substr(0, kReferenceUnits);
    char utf8[kReferenceUnits * 3 + 1];
    utf8[0] = 0;
    ExtractCFStringTo(text, utf8, sizeof utf8, kEncodingUTF8);
    const bool found = ParseAttrTextName(utf8, int32_t(sizeof utf8), name, nameSize, &hidden);
    if (at) *at = found && hidden;
    return found;
}

void DrawTextFrame(TextFrameHandle frame, bool plainColor) {
    if (!frame || (*frame)->lineCount == 0) return;
    Set_Fore_Color(((*frame)->owner || plainColor) ? 0 : 2);
    txStyle* style = (*frame)->style;
    if (style) VXSetTextStyle(style);
    int16_t lineHeight = 0;
    VXTECalcStyleMetrics(style, &lineHeight, nullptr, nullptr);
    const int32_t rotation = (*frame)->flags & kFrameFlagRotation;
    static constexpr int32_t kAdvanceV[4] = {1, 0, -1, 0}, kAdvanceH[4] = {0, -1, 0, 1};
    const bool right = (*frame)->flags & kFrameFlagRightAligned;
    const std::u16string text = FrameText(frame, true);
    _LPNT at = {(*frame)->position.v, (*frame)->position.h};
    uint32_t start = 0, end = 0;
    for (uint32_t line = 0; line < (*frame)->lineCount; line++) {
        if (!LineRange(frame, line, uint32_t(text.size()), &start, &end)) break;
        if (const uint32_t n = TrimmedCount(text, start, end))
            VXDrawTextLine(&at, 0, text.data() + start, int32_t(n), kEncodingUTF16LE,
                           kFrameTabWidth, uint16_t(rotation * 90),
                           right ? kTextLineRightAligned : 0);
        at.v += kAdvanceV[rotation] * lineHeight;
        at.h += kAdvanceH[rotation] * lineHeight;
    }
}

}  // namespace plexa
