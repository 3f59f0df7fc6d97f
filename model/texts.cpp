// Text elements; see texts.h.
#include "model/texts.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/heap.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/grafport.h"
#include "graphics/offscreen.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/sheetindex.h"
#include "model/fieldexpand.h"
#include "model/modelhooks.h"
#include "model/sheet.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/themes.h"

namespace plexa {

MemPool gTextRecordPool = nullptr;

namespace {

constexpr uint32_t kTextPoolPageSize = 8192;

int16_t Clamp16(int32_t v) { return int16_t(std::clamp<int32_t>(v, INT16_MIN, INT16_MAX)); }

void AddToArea(Rect* area, const Rect& bounds) {
    if (area) VXUnionRect(area, &bounds, area);
}

// The byte length of the UTF-8 character that starts with the lead byte (1 for a byte that
// begins none), within the bytes left.
int32_t CharLength(unsigned char lead, int32_t left) {
    const int32_t n = lead < 0xC2 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead < 0xF5 ? 4 : 1;
    return std::min(n, left);
}

void SetSpecialFlag(TextRecord* text, const char* string) {
    if (CheckSpecialChars(string)) text->flags |= kTextFlagSpecial;
    else text->flags &= uint16_t(~kTextFlagSpecial);
}

void RecheckSpecialChars(TextRecord* text, StringBlock block) {
    char string[kStringSpecBufferSize];
    ExtractStringSpec(text->text, block, string, sizeof string);
    SetSpecialFlag(text, string);
}

}  // namespace

OSStatus InitTextRecordPool() {
    return InitFixedBlockPool(&gTextRecordPool, kTextPoolPageSize, sizeof(TextRecord));
}

// ---- Lists and records ----

LinkListHeader* CreateTextList() { return LLCreate(gGenPool, sizeof(TextRecord), 0); }

void DestroyTextList(LinkListHeader* list) { LLDispose(list, true); }

TextRecord* CreateTextElement() {
    if (InitTextRecordPool() != status::kNoErr) return nullptr;
    return reinterpret_cast<TextRecord*>(AllocFSPtrClear(gTextRecordPool));
}

TextRecord* DuplicateText2(const TextRecord* text) {
    if (!text || InitTextRecordPool() != status::kNoErr) return nullptr;
    auto* copy = reinterpret_cast<TextRecord*>(AllocFSPtrClear(gTextRecordPool));
    if (!copy) return nullptr;
    *copy = *text;
    copy->link = nullptr;
    return copy;
}

void ClearTextMarkedFlags(LinkListHeader* list) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
        static_cast<TextRecord*>(item)->flags &= uint16_t(~kTextFlagMarked);
}

void OffsetTextList(LinkListHeader* list, uint32_t delta) {
    const auto dh = int16_t(delta >> 16), dv = int16_t(delta & 0xFFFF);
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item))
        OffsetTextElement(static_cast<TextRecord*>(item), dh, dv);
}

void CalcTextListBounds(VXWindowRecordTag* window, LinkListHeader* frameList,
                        LinkListHeader* textList, StringBlock block) {
    VXGrafStateScope scope(WindowGrafState(window));
    for (void* item = LLFirst(textList); item; item = LLGetNext(textList, item))
        CalcTextBounds(window, static_cast<TextRecord*>(item), block);
    for (void* item = LLFirst(frameList); item; item = LLGetNext(frameList, item))
        CalcTextFrameBounds(window, static_cast<TextFrameHandle>(item), true, -1);
}

// ---- Strings ----

int32_t GetTextRecordString(const TextRecord* text, StringBlock block, char* buffer, int32_t size) {
    return ExtractStringSpec(text->text, block, buffer, size);
}

void SetTextRecordString(TextRecord* text, StringBlock block, const char* string) {
    if (!string) string = "";
    const StringSpec spec = OverlayStringBlock(block, string, -1, nullptr);
    if (spec == 0 && *string) return;  // not stored (the add status says why): the text stays
    text->text = spec;
    SetSpecialFlag(text, string);
}

bool CheckSpecialChars(const char* string) {
    for (const char* p = string; p && *p; p++) {
        if (*p == '!') return true;
        if (*p == '\\') return p[1] != 0;
    }
    return false;
}

void SetTextRecordMacroString(TextRecord* text, StringBlock block, const char* string) {
    if (string && *string) {
        const StringSpec spec = OverlayStringBlock(block, string, -1, nullptr);
        if (spec == 0) return;  // not stored (the add status says why): the text stays
        text->macroText = spec;
        text->flags |= kTextFlagMacro;
    } else {
        text->macroText = 0;
        text->flags &= uint16_t(~kTextFlagMacro);
    }
}

int32_t GetTextRecordMacroString(const TextRecord* text, StringBlock block, char* buffer,
                                 int32_t size) {
    if (text->flags & kTextFlagMacro) {
        ExtractStringSpec(text->macroText, block, buffer, size);
        return 1;
    }
    ExtractStringSpec(text->text, block, buffer, size);
    return 0;
}

OSStatus ChangeTextElementStringBlock(TextRecord* text, StringBlock from, StringBlock to) {
    if (!text) return status::kParamErr;
    const StringSpec shown = TransferStringSpec(text->text, from, to, true);
    if (OSStatus st = StringBlockAddStatus()) return st;
    StringSpec macro = text->macroText;
    if (text->flags & kTextFlagMacro) {
        macro = TransferStringSpec(text->macroText, from, to, true);
        if (OSStatus st = StringBlockAddStatus()) return st;
    }
    text->text = shown;
    text->macroText = macro;
    return status::kNoErr;
}

bool ExtractDrawSpecialString(const char* source, char* out, int32_t outSize, int16_t* runs,
                              int32_t runCapacity) {
    std::string plain;
    std::vector<int16_t> toggles;
    // Positions count in the whole plain string; only what goes out is cut.
    const int32_t limit = out ? std::max(outSize - 1, 0) : INT32_MAX;
    auto append = [&](const char* bytes, int32_t n) {
        if (int32_t(plain.size()) + n <= limit) plain.append(bytes, size_t(n));
    };
    for (const char* p = source ? source : ""; *p;) {
        if (*p == '!') {
            const auto at = int16_t(std::min<size_t>(plain.size(), INT16_MAX));
            if (at != 0) {
                if (!toggles.empty() && toggles.back() == at) toggles.pop_back();
                else toggles.push_back(at);
            }
            p++;
            continue;
        }
        if (*p == '\\') {
            const char escaped = p[1];
            if (escaped == 0) break;
            p += 2;
            switch (escaped) {
                case 't': append(" ", 1); break;
                case 'n': append("\xC2\xAC", 2); break;      // U+00AC
                case 'r': append("\xC2\xAB", 2); break;      // U+00AB
                case 'l': append("\xE2\x88\x86", 3); break;  // U+2206
                case 'f': append("\\f", 2); break;
                default: append(&escaped, 1); break;
            }
            continue;
        }
        const int32_t n = CharLength(uint8_t(*p), int32_t(std::strlen(p)));
        append(p, n);
        p += n;
    }
    if (out && outSize > 0) {
        std::memcpy(out, plain.data(), plain.size());
        out[plain.size()] = 0;
    }
    if (toggles.size() % 2) toggles.insert(toggles.begin(), 0);
    if (runs && runCapacity > 0) {
        int32_t n = 0;
        for (size_t i = 0; i + 1 < toggles.size() && n + 3 <= runCapacity; i += 2) {
            runs[n++] = toggles[i];
            runs[n++] = toggles[i + 1];
        }
        runs[n] = -1;
    }
    return !toggles.empty();
}

bool ExtractDrawSpecialText(const TextRecord* text, StringBlock block, char* out, int32_t outSize,
                            int16_t* runs, int32_t runCapacity) {
    char source[kTextStringSize];
    GetTextRecordString(text, block, source, sizeof source);
    return ExtractDrawSpecialString(source, out, outSize, runs, runCapacity);
}

int32_t MeasureDrawSpecialText(const TextRecord* text, StringBlock block) {
    char plain[kTextPlainSize];
    ExtractDrawSpecialText(text, block, plain, sizeof plain, nullptr, 0);
    const auto n = int32_t(std::strlen(plain));
    return n ? int32_t(VXMeasureTextBytes(plain, n, kEncodingUTF8, false)) : 0;
}

// ---- Macros ----

int32_t EscapeTextLineBreaks(const char* source, int32_t length, char* out, int32_t outSize) {
    if (!out || outSize < 1) return 0;
    const int32_t limit = outSize - 1;
    int32_t n = 0;
    for (int32_t i = 0; i < length && source[i];) {
        const char* piece = source + i;
        int32_t pieceLength = 0, consumed = 1;
        switch (source[i]) {
            case '\t': piece = "\\t", pieceLength = 2; break;
            case '\n': piece = "\\l", pieceLength = 2; break;
            case '\r': {
                const bool pair = i + 1 < length && source[i + 1] == '\n';
                piece = pair ? "\\r\\l" : "\\n";
                pieceLength = pair ? 4 : 2;
                consumed = pair ? 2 : 1;
                break;
            }
            default: pieceLength = consumed = CharLength(uint8_t(source[i]), length - i); break;
        }
        if (n + pieceLength > limit) break;
        std::memcpy(out + n, piece, size_t(pieceLength));
        n += pieceLength;
        i += consumed;
    }
    out[n] = 0;
    return n;
}

bool GetExpandedTextString(char* string, DataContextChain* chain, int32_t size) {
    if (!string || size < 1) return false;
    size = std::min(size, kTextStringSize);
    char buffer[kTextStringSize];
    auto length = int32_t(strnlen(string, size_t(size - 1)));
    std::memcpy(buffer, string, size_t(length));
    buffer[length] = 0;
    const bool found = ExpandDataString(buffer, &length, kTextStringSize, chain) != 0;
    length = std::clamp(length, 0, kTextStringSize);
    EscapeTextLineBreaks(buffer, length, string, size);
    return found;
}

bool ExpandTextRecordMacros(SheetRecord* sheet, TextRecord* text, DataContextChain* chain,
                            bool hideWhenEmpty) {
    if (!sheet || !text) return false;
    const bool pinText = text->kind >= kTextKindPinAttribute;
    if (text->kind != kTextKindSymbolAttribute && !pinText) return false;
    SymbolRecord* symbol = RetrieveSerializedSymbol(sheet->symbolList, uint32_t(text->owner));
    if (!symbol) return false;
    const int32_t node = text->kind & kTextKindNodeMask;
    if (pinText && node >= CountSymbolNodes(sheet, symbol)) return false;
    if (symbol->flags & kSymbolFlagPort) return false;

    char string[kTextStringSize];
    GetTextRecordString(text, sheet->stringBlock, string, sizeof string);
    DataContextChain* own = chain ? nullptr : BuildSheetContextChain(sheet, nullptr);
    if (!chain) chain = own;
    if (!chain) return false;
    BuildSymbolContextChain(chain, sheet, symbol, true);
    if (pinText) BuildPinContextChain(chain, sheet, symbol, node, true);
    const bool found = GetExpandedTextString(string, chain, sizeof string);
    PopDataCtxChain(chain);
    if (own) DestroyDataCtxChain(own);
    if (!found) return false;

    text->flags |= kTextFlagMacro;
    text->macroText = text->text;
    if (string[0] == 0) {
        if (hideWhenEmpty) text->flags |= kTextFlagHidden;
        std::strcpy(string, "?");
    }
    SetTextRecordString(text, sheet->stringBlock, string);
    return true;
}

void UnexpandTextRecordMacros(TextRecord* text, StringBlock block, VXWindowRecordTag* window) {
    if (!text || !(text->flags & kTextFlagMacro)) return;
    text->flags &= uint16_t(~kTextFlagMacro);
    text->text = text->macroText;
    text->macroText = 0;
    if (!block) return;
    RecheckSpecialChars(text, block);
    CalcTextBounds(window, text, block);
}

void RebuildMacroizedText(SheetRecord* sheet, SymbolRecord* symbol, Rect* area) {
    if (!sheet) return;
    DataContextChain* chain = BuildSheetContextChain(sheet, nullptr);
    LinkListHeader* texts = sheet->textList;
    for (void* item = LLFirst(texts); item; item = LLGetNext(texts, item)) {
        auto* text = static_cast<TextRecord*>(item);
        if (symbol && (text->owner != TextOwnerSerial(symbol->serial) ||
                       !(text->kind & kTextKindSymbolOwned)))
            continue;
        if (!(text->flags & kTextFlagMacro)) continue;
        const Rect before = text->bounds;
        UnexpandTextRecordMacros(text, nullptr, nullptr);
        // A text that no longer expands shows its source: its markup is that of the source.
        if (!ExpandTextRecordMacros(sheet, text, chain, false))
            RecheckSpecialChars(text, sheet->stringBlock);
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
        if (area && !(text->flags & kTextFlagHidden)) {
            AddToArea(area, before);
            AddToArea(area, text->bounds);
        }
    }
    LinkListHeader* frames = sheet->textFrameList;
    for (void* item = LLFirst(frames); item; item = LLGetNext(frames, item)) {
        auto frame = static_cast<TextFrameHandle>(item);
        if (symbol && (*frame)->owner != symbol->serial) continue;
        if (!EvaluateTextFrameText(sheet, frame, chain)) continue;
        const Rect before = (*frame)->bounds;
        CalcTextFrameBounds(sheet->window, frame, true, -1);
        AddToArea(area, before);
        AddToArea(area, (*frame)->bounds);
    }
    DestroyDataCtxChain(chain);
}

// ---- Geometry ----

void CalcTextBounds(VXWindowRecordTag* window, TextRecord* text, StringBlock block) {
    if (!text) return;
    VXGrafStateScope scope(WindowGrafState(window));
    if (text->style) VXSetTextStyle(text->style);
    StyleMetrics metrics{};
    GetStyleMetrics(text->style, &metrics);

    int32_t width = 0;
    if (text->flags & kTextFlagSpecial) {
        width = MeasureDrawSpecialText(text, block);
    } else {
        char string[kTextStringSize];
        const int32_t n = GetTextRecordString(text, block, string, sizeof string);
        if (n > 0) width = int32_t(VXMeasureTextBytes(string, n, kEncodingUTF8, false));
    }
    const Point at = text->position;
    int32_t top = at.v - metrics.ascent, left = at.h, bottom = at.v + metrics.descent,
            right = at.h + width;
    text->anchorOffset = 0;
    if (text->flags & kTextFlagRightAligned) {
        text->anchorOffset = Clamp16(-width);
        left -= width;
        right -= width;
    }
    if (text->flags & kTextFlagBoxed) {
        top -= 3, left -= 3, bottom += 3, right += 3;
        bottom -= 1;
    }
    if (text->style && (text->style->face & kFaceItalic)) {
        static const char16_t kLetterI[] = u"i";
        right += int32_t(VXMeasureTextBytes(kLetterI, 2, kEncodingUTF16LE, false));
    }
    Rect r = {Clamp16(top - at.v), Clamp16(left - at.h), Clamp16(bottom - at.v),
              Clamp16(right - at.h)};
    if (const int32_t rotation = text->flags & kTextFlagRotation) VXTransformGrafRect(rotation, &r);
    const Rect before = text->bounds;
    text->bounds = {Clamp16(r.top + at.v - 1), Clamp16(r.left + at.h - 1),
                    Clamp16(r.bottom + at.v + 1), Clamp16(r.right + at.h + 1)};
    NoteSheetItemBounds(before, text->bounds);
}

Point GetTextElementPosition(const TextRecord* text) { return text->position; }

void SetTextElementPosition(TextRecord* text, Point position) {
    OffsetTextElement(text, int16_t(position.h - text->position.h),
                      int16_t(position.v - text->position.v));
}

void OffsetTextElement(TextRecord* text, int16_t dh, int16_t dv) {
    text->position.h = int16_t(text->position.h + dh);
    text->position.v = int16_t(text->position.v + dv);
    VXOffsetRect(&text->bounds, dh, dv);
    if (dh || dv) NoteSheetItemPlaces();
}

void TransformTextElement(TextRecord* text, VXWindowRecordTag* window, StringBlock block,
                          Point origin, int32_t code) {
    if (!text) return;
    code &= 7;
    if (code == 5 || code == 7) {
        // A turn and a mirror: the turn first, then the mirror, so that the text keeps both.
        TransformTextElement(text, window, block, origin, code & 3);
        TransformTextElement(text, window, block, origin, 4);
        return;
    }
    Point p = {int16_t(text->position.v - origin.v), int16_t(text->position.h - origin.h)};
    Point shifted = origin;
    if (code == 4 || code == 6) {
        text->flags ^= kTextFlagRightAligned;
        const bool odd = text->flags & 1;
        const bool keepsTurn = (code == 6) == odd;
        if (!keepsTurn) text->flags ^= 2;
        const int16_t unit = (text->flags & 2) ? -1 : 1;
        if (odd) shifted.v = int16_t(shifted.v + unit);
        else shifted.h = int16_t(shifted.h + unit);
    } else {
        const int32_t rotation =
            VXTransformTransformation(text->flags & kTextFlagRotation, code) & 3;
        text->flags = uint16_t((text->flags & ~kTextFlagRotation) | rotation);
    }
    VXTransformPoints(code, &p, 1);
    text->position = {int16_t(p.v + shifted.v), int16_t(p.h + shifted.h)};
    CalcTextBounds(window, text, block);
}

bool SetTextVisibility(TextRecord* text, bool invalidate, bool visible) {
    const bool wasVisible = !(text->flags & kTextFlagHidden);
    if (wasVisible != visible) {
        text->flags ^= kTextFlagHidden;
        if (invalidate) VXInvalTargetRect(VXTargetOfGrafState(VXGetCurrentGrafState()), &text->bounds);
    }
    return wasVisible;
}

// ---- Creation and updates ----

void SetupTheText(TextRecord* text, StringBlock block, Point position, VXWindowRecordTag* window,
                  const char* string) {
    if (string) SetTextRecordString(text, block, string);
    if (position.v != gMinusOnePoint.v || position.h != gMinusOnePoint.h) text->position = position;
    CalcTextBounds(window, text, block);
}

int32_t ChangeSheetText(SheetRecord* sheet, TextRecord* text, const char* string, Rect* area) {
    if (!string) string = "";
    char current[kStringSpecBufferSize];
    GetTextRecordString(text, sheet->stringBlock, current, sizeof current);
    if (std::strcmp(current, string) == 0) return 0;
    const StringSpec before = text->text;
    SetTextRecordString(text, sheet->stringBlock, string);
    if (text->text == before && StringBlockAddStatus() != status::kNoErr) return 0;
    if (sheet->window) {
        const Rect before = text->bounds;
        CalcTextBounds(sheet->window, text, sheet->stringBlock);
        if (area && !(text->flags & kTextFlagHidden)) {
            AddToArea(area, before);
            AddToArea(area, text->bounds);
        }
    }
    return 1;
}

namespace {

TextRecord* CreateThemedText(LinkListHeader* list, TextStyleList* styles, StringBlock block,
                             VXWindowRecordTag* window, SheetRecord* sheet, uint16_t kind,
                             uint16_t flags, Point position, const char* string) {
    if (!list) return nullptr;
    TextRecord* text = CreateTextElement();
    if (!text) return nullptr;
    LLPush(list, text);
    text->kind = kind;
    text->flags = uint16_t(flags | kTextFlagThemed);
    const txStyle* theme =
        sheet ? GetTextThemeStyle(sheet, text) : GetSymbolEditorTextThemeStyle(text);
    InstallStyleInText(text, theme, kStyleFont | kStyleSize | kStyleFace, styles);
    SetupTheText(text, block, position, window, string);
    return text;
}

}  // namespace

TextRecord* CreateDrawingText(SheetRecord* sheet, uint16_t kind, uint16_t flags, Point position,
                              const char* string) {
    if (!sheet) return nullptr;
    return CreateThemedText(sheet->textList, sheet->styleList, sheet->stringBlock, sheet->window,
                            sheet, kind, flags, position, string);
}

TextRecord* CreateSymbolEditorText(LinkListHeader* textList, TextStyleList* styleList,
                                   StringBlock block, VXWindowRecordTag* window, uint16_t kind,
                                   Point position, const char* string) {
    return CreateThemedText(textList, styleList, block, window, nullptr, kind, 0, position, string);
}

void ChangeTextReferences(LinkListHeader* list, uint16_t kind, int64_t oldOwner, int64_t newOwner,
                          SheetRecord* undoSheet) {
    for (void* item = LLFirst(list); item; item = LLGetNext(list, item)) {
        auto* text = static_cast<TextRecord*>(item);
        if (text->owner != oldOwner) continue;
        const bool match = kind == kTextKindPinAttribute ? text->kind >= kTextKindPinNumber
                                                         : text->kind == kind;
        if (!match) continue;
        if (undoSheet) CollectUndoSheetTextAltRef(undoSheet, text, oldOwner);
        text->owner = newOwner;
    }
}

int32_t IsTextOwnedBySymbol(const TextRecord* text, const SymbolRecord* symbol) {
    if (!(text->kind & kTextKindSymbolOwned)) return 0;
    if (!symbol) return -1;
    return text->owner == TextOwnerSerial(symbol->serial) ? 1 : 0;
}

}  // namespace plexa
