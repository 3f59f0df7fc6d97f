// The text style commands of the front sheet or symbol editor.
#include "app/textstylecommands.h"

#include <algorithm>
#include <vector>

#include "app/recentmenus.h"
#include "app/shell.h"
#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "graphics/fonts.h"
#include "graphics/textedit.h"
#include "graphics/textstyle.h"
#include "model/modelhooks.h"
#include "model/selectionsummary.h"
#include "model/sheet.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "sheeteditor/sheetselect.h"
#include "symboleditor/symeditor.h"
#include "symboleditor/symmodified.h"
#include "symboleditor/symwindow.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_about.h"

namespace plexa {

namespace {

// A change to the drawing that forgets the sheet's undo.
constexpr int32_t kStyleChanged = 40;

// The document the command acts on and the lists that hold its texts.
struct StyledDocument {
    SheetRecord* sheet = nullptr;
    SymbolEditorRecord* editor = nullptr;
    VXWindowRecordTag* window = nullptr;
    LinkListHeader* texts = nullptr;
    LinkListHeader* frames = nullptr;
    TextStyleList* styles = nullptr;
    StringBlock block = nullptr;
    VXTERecord* te = nullptr;
    bool ok() const { return sheet || editor; }
};

StyledDocument FrontStyled() {
    StyledDocument d;
    const FrontDocument front = CurrentFront();
    if (front.kind == kSheetKind && front.sheet) {
        d.sheet = front.sheet;
        d.window = d.sheet->window;
        d.texts = d.sheet->textList;
        d.frames = d.sheet->textFrameList;
        d.styles = d.sheet->styleList;
        d.block = d.sheet->stringBlock;
        d.te = static_cast<VXTERecord*>(d.sheet->drawingTE);
    } else if (front.kind == kSymbolEditorKind && front.editor) {
        d.editor = front.editor;
        d.window = d.editor->window;
        d.texts = d.editor->texts;
        d.frames = d.editor->frames;
        d.styles = d.editor->styleList;
        d.block = d.editor->stringBlock;
        d.te = d.editor->textEdit;
    }
    return d;
}

void Unite(Rect* area, const Rect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    if (area->right <= area->left || area->bottom <= area->top) *area = r;
    else VXUnionRect(area, &r, area);
}

// The texts and frames of the document that are selected, in list order.
std::vector<TextRecord*> SelectedTexts(const StyledDocument& d) {
    std::vector<TextRecord*> out;
    if (d.texts)
        for (void* item = LLFirst(d.texts); item; item = LLGetNext(d.texts, item))
            if (static_cast<TextRecord*>(item)->flags & kTextFlagSelected) out.push_back(static_cast<TextRecord*>(item));
    return out;
}
std::vector<TextFrameHandle> SelectedFrames(const StyledDocument& d) {
    std::vector<TextFrameHandle> out;
    if (d.frames)
        for (void* item = LLFirst(d.frames); item; item = LLGetNext(d.frames, item)) {
            auto frame = static_cast<TextFrameHandle>(item);
            if ((*frame)->flags & kFrameFlagSelected) out.push_back(frame);
        }
    return out;
}

// After the selected items changed: the selection is rebuilt, the document marked modified and
// the area, grown by `grow`, redrawn.
void FinishSelectionChange(const StyledDocument& d, Rect area, int16_t grow) {
    VXInsetRect(&area, int16_t(-grow), int16_t(-grow));
    if (d.sheet) {
        BuildDrawingSelectRgn(d.sheet);
        CalcSheetSelection(d.sheet, nullptr);
        SetSheetModifiedStatus(d.sheet, kStyleChanged);
        InvalSheetView(d.sheet, &area);
    } else {
        PrepSymbolEditorSelection(d.editor);
        SetEditModified(d.editor, true);
        InvalEditorView(d.editor, area);
    }
}

// The text being edited: its box, and the box redrawn.
Rect TEBox(const VXTERecord* te) {
    return Rect{int16_t(te->destRect.top), int16_t(te->destRect.left), int16_t(te->destRect.bottom),
                int16_t(te->destRect.right)};
}
void InvalTEBox(const StyledDocument& d, Rect box) {
    VXInsetRect(&box, -3, -3);
    if (d.sheet) InvalSheetView(d.sheet, &box);
    else InvalEditorView(d.editor, box);
}

}  // namespace

void AlterTextStyle(int16_t kind, int32_t value, uint32_t mask) {
    (void)kind;
    const StyledDocument d = FrontStyled();
    if (!d.ok()) return;
    GetCurrentSelectionInfo(false);
    txStyle* scratch = GetScratchStyle();
    if (!scratch) return;
    if (FrontSelection().style) CopyTextStyle(FrontSelection().style, scratch);
    switch (mask) {
    case kAlterFont: {
        char name[256];
        if (value == kAlterFontFromPanel) {
            // Any font of the system, from its font panel, starting at the selection's font.
            char current[256] = "";
            GetStyleFont(scratch, current);
            if (!VXChooseFontFromPanel(current, name, sizeof name)) {
                ReleaseScratchStyle(scratch);
                return;
            }
        } else if (!VXGetIndexedFont(value, name)) {
            ReleaseScratchStyle(scratch);
            return;
        }
        (void)SetStyleFont(scratch, name);  // always 1
        break;
    }
    case kAlterSize: SetStyleSize(scratch, uint16_t(value)); break;
    case kAlterFace:
    case kAlterToggleFace: SetStyleFace(scratch, uint16_t(value)); break;
    case kAlterDefault: {
        const txStyle* theme = d.sheet ? (d.sheet->themeTable ? d.sheet->themeTable->styles[0] : nullptr)
                                       : d.editor->defaultStyle;
        if (theme) CopyTextStyle(theme, scratch);
        break;
    }
    default: break;
    }
    if (!FrontSelection().style) {
        UpdateSelectedTextStyles(scratch, mask, kind);
    } else if (!FrontSelection().textEditing) {
        // Nothing selected: the style that new texts take.
        txStyle* current = d.sheet ? d.sheet->currentTextStyle : d.editor->defaultStyle;
        if (current) InstallStyleInStyle(scratch, current, mask);
        if (d.editor) {
            if (mask == kAlterDefault) d.editor->state |= kSymEditThemedText;
            else d.editor->state &= uint16_t(~kSymEditThemedText);
        }
    } else {
        UpdateTEStyle(scratch, mask, kind);
    }
    ReleaseScratchStyle(scratch);
}

void UpdateSelectedTextStyles(const txStyle* style, uint32_t mask, int16_t kind) {
    (void)kind;
    const StyledDocument d = FrontStyled();
    if (!d.ok() || !style) return;
    Rect area{0, 0, 0, 0};
    bool changed = false;
    for (TextRecord* text : SelectedTexts(d)) {
        const txStyle* source = style;
        if (mask == kAlterDefault) {
            source = d.sheet ? GetTextThemeStyle(d.sheet, text) : GetSymbolEditorTextThemeStyle(text);
            text->flags |= kTextFlagThemed;
        } else {
            text->flags &= uint16_t(~kTextFlagThemed);
        }
        if (!source || (mask != kAlterToggleFace && text->style && StyleFieldsMatch(text->style, source, mask)))
            continue;
        WaitCursor();
        Unite(&area, text->bounds);
        InstallStyleInText(text, source, mask, d.styles);
        CalcTextBounds(d.window, text, d.block);
        Unite(&area, text->bounds);
        changed = true;
    }
    for (TextFrameHandle frame : SelectedFrames(d)) {
        const txStyle* source = style;
        if (mask == kAlterDefault) {
            source = d.sheet ? GetTextFrameThemeStyle(d.sheet, frame) : GetSymbolEditorTextFrameThemeStyle(frame);
            (*frame)->flags |= kFrameFlagThemed;
        } else {
            (*frame)->flags &= uint16_t(~kFrameFlagThemed);
        }
        if (!source ||
            (mask != kAlterToggleFace && (*frame)->style && StyleFieldsMatch((*frame)->style, source, mask)))
            continue;
        WaitCursor();
        Unite(&area, (*frame)->bounds);
        ModifyTextFrameStyle(d.window, frame, source, mask, d.styles);
        Unite(&area, (*frame)->bounds);
        changed = true;
    }
    if (changed) FinishSelectionChange(d, area, 4);
}

void UpdateSelectedTextAlignment(bool right, int16_t kind) {
    (void)kind;
    const StyledDocument d = FrontStyled();
    if (!d.ok()) return;
    Rect area{0, 0, 0, 0};
    bool changed = false;
    for (TextRecord* text : SelectedTexts(d)) {
        if (((text->flags & kTextFlagRightAligned) != 0) == right) continue;
        Unite(&area, text->bounds);
        text->flags ^= kTextFlagRightAligned;
        CalcTextBounds(d.window, text, d.block);
        Unite(&area, text->bounds);
        changed = true;
    }
    for (TextFrameHandle frame : SelectedFrames(d)) {
        if ((((*frame)->flags & kFrameFlagRightAligned) != 0) == right) continue;
        Unite(&area, (*frame)->bounds);
        (*frame)->flags ^= kFrameFlagRightAligned;
        CalcTextFrameBounds(d.window, frame, false, 0);
        Unite(&area, (*frame)->bounds);
        changed = true;
    }
    if (changed) FinishSelectionChange(d, area, 3);
}

void AlterTEAlignment(int16_t kind, int32_t right) {
    (void)kind;
    const StyledDocument d = FrontStyled();
    if (!d.te) return;
    d.te->just = right ? kTEJustRight : kTEJustLeft;
    VXTECalText(d.te);
    InvalTEBox(d, TEBox(d.te));
}

void UpdateTEStyle(const txStyle* style, uint32_t mask, int16_t kind) {
    (void)kind;
    const StyledDocument d = FrontStyled();
    if (!d.te || !style) return;
    if (d.editor) {
        if (mask == kAlterDefault) d.editor->state |= kSymEditEditedThemed;
        else d.editor->state &= uint16_t(~kSymEditEditedThemed);
    }
    const Rect before = TEBox(d.te);
    // The base line stays where it was.
    _LPNT base{d.te->destRect.top, d.te->destRect.left};
    VXTEBaseLineFromTopLeft(&base, d.te->style);
    VXTESetStyle(style, mask == kAlterDefault ? (kStyleFont | kStyleSize | kStyleFace) : mask, d.te);
    _LPNT top = base;
    VXTETopLeftFromBaseLine(&top, d.te->style);
    const int32_t dv = top.v - d.te->destRect.top;
    d.te->destRect.top += dv;
    d.te->destRect.bottom += dv;
    d.te->viewRect.top += dv;
    d.te->viewRect.bottom += dv;
    VXTECalText(d.te);
    InvalTEBox(d, before);
    InvalTEBox(d, TEBox(d.te));
}

}  // namespace plexa
