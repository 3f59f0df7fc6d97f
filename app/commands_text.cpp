// The Text, View and Grid menus' parts of the command table: the text style of the selection,
// zoom and the view's options, and the symbol editor's grid; each command's rule for the front
// document beside its action.
#include <cstdlib>
#include <cstring>

#include "app/customvalue.h"
#include "app/prefs.h"
#include "app/recentmenus.h"
#include "app/shell.h"
#include "app/textstylecommands.h"
#include "app/viewcommands.h"
#include "files/sheetstore.h"
#include "foundation/ll.h"
#include "graphics/textstyle.h"
#include "model/elements.h"
#include "model/selectionsummary.h"
#include "model/sheet.h"
#include "sheeteditor/hideshowtext.h"
#include "sheeteditor/sheetwindow.h"
#include "symboleditor/symeditor.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int16_t kFontSizes[9] = {7, 8, 9, 10, 12, 14, 18, 24, 36};
// A view change: the drawing changed, and the sheet's undo is forgotten.
constexpr int32_t kViewChanged = 40;

bool StyledDocument(const FrontDocument& front) {
    return front.kind == kSheetKind || front.kind == kSymbolEditorKind;
}

void SetTitle(VXPrepCommandRecord* r, const char* text) { std::strncpy(r->title, text, 255); }

const int16_t* GridTable(const SymbolEditorRecord* editor) {
    return editor->resolution == 72 ? gGridSizeTable72 : gGridSizeTable96;
}

// Hiding a sheet's graphics also lets go of the selected ones.
void DeselectElements(SheetRecord* sheet) {
    if (!sheet->elementList) return;
    for (void* item = LLFirst(sheet->elementList); item; item = LLGetNext(sheet->elementList, item))
        static_cast<ElementRecord*>(item)->flags &= uint16_t(~kElementSelected);
}

}  // namespace

namespace {

using Record = VXPrepCommandRecord;
using Front = FrontDocument;

int32_t Done() { return 1; }

// ---- Text ----

// Every Text command is enabled for a sheet or a symbol editor, and acts on nothing else.
void TextRule(Record* r, const Front& f) { r->enabled = StyledDocument(f); }

// The size items check the selection's size; Other size... is checked when none of them is.
void FontSizeRule(Record* r, const Front& f) {
    static bool matched = false;
    TextRule(r, f);
    if (r->command == cmd::kFirstSize) matched = false;
    if (r->command == cmd::kOtherSize) {
        r->checked = !matched;
        return;
    }
    const int16_t size = kFontSizes[r->command - cmd::kFirstSize];
    const txStyle* style = FrontSelection().style;
    r->checked = style && style->size != 0 && style->size == size;
    if (r->checked) matched = true;
}

void AlignmentRule(Record* r, const Front& f) {
    const SelectionSummary& sel = FrontSelection();
    const bool applies = StyledDocument(f) && (sel.textEditing || sel.textCount || sel.frameCount);
    r->enabled = applies;
    r->checked = applies && sel.style && (r->command == cmd::kRightAligned) == sel.alignedRight;
}
int32_t Align(const CommandCall& c) {
    if (!StyledDocument(c.front)) return 0;
    const bool right = c.id == cmd::kRightAligned;
    const SelectionSummary& sel = FrontSelection();
    if (sel.textEditing) AlterTEAlignment(c.front.kind, right);
    else if (sel.textCount || sel.frameCount) UpdateSelectedTextAlignment(right, c.front.kind);
    return Done();
}

// A change of the text style: the alteration and its value.
template <int32_t Value, uint32_t What>
int32_t AlterStyle(const CommandCall& c) {
    if (!StyledDocument(c.front)) return 0;
    AlterTextStyle(c.front.kind, Value, What);
    return Done();
}

const CommandEntry kTextCommands[] = {
    {cmd::kDefaultFont, cmd::kDefaultFont,
     [](Record* r, const Front& f) {
         TextRule(r, f);
         const SelectionSummary& sel = FrontSelection();
         r->checked = sel.style && sel.defaultStyle;
     },
     AlterStyle<0, kAlterDefault>},
    {cmd::kFontMenu, cmd::kFontMenu,
     [](Record* r, const Front& f) {
         TextRule(r, f);
         // The Font submenu's check mark follows the selection's font.
         (void)MarkFontMenuItem(VXBuildMenu(&gFontMenuDef), FrontSelection().style);  // the item checked is not needed here
     },
     nullptr},
    {cmd::kFontItem, cmd::kFontItem, [](Record* r, const Front&) { r->enabled = 1; },
     [](const CommandCall& c) {
         if (!StyledDocument(c.front)) return int32_t(0);
         const std::vector<uint16_t>& fonts = FontMenuIndexes();
         if (c.item >= 1 && c.item <= fonts.size()) AlterTextStyle(c.front.kind, fonts[c.item - 1u], kAlterFont);
         return Done();
     }},
    {cmd::kOtherFonts, cmd::kOtherFonts, TextRule, AlterStyle<kAlterFontFromPanel, kAlterFont>},
    {cmd::kFirstSize, cmd::kLastSize, FontSizeRule,
     [](const CommandCall& c) {
         if (!StyledDocument(c.front)) return int32_t(0);
         AlterTextStyle(c.front.kind, kFontSizes[c.id - cmd::kFirstSize], kAlterSize);
         return Done();
     }},
    {cmd::kOtherSize, cmd::kOtherSize, FontSizeRule,
     [](const CommandCall& c) {
         if (!StyledDocument(c.front)) return int32_t(0);
         const txStyle* style = FrontSelection().style;
         const int16_t from = style && style->size > 0 ? style->size : 9;
         const int32_t size = AskCustomDialog("Other Font Size", "Font size:", "points", 200, from);
         if (size > 0) AlterTextStyle(c.front.kind, size, kAlterSize);
         return Done();
     }},
    {cmd::kPlain, cmd::kPlain,
     [](Record* r, const Front& f) {
         TextRule(r, f);
         const txStyle* style = FrontSelection().style;
         r->checked = style && style->face == 0;
     },
     AlterStyle<0, kAlterFace>},
    {cmd::kBold, cmd::kBold,
     [](Record* r, const Front& f) {
         TextRule(r, f);
         const txStyle* style = FrontSelection().style;
         r->checked = style && (style->face & kFaceBold);
     },
     AlterStyle<kFaceBold, kAlterToggleFace>},
    {cmd::kItalic, cmd::kItalic,
     [](Record* r, const Front& f) {
         TextRule(r, f);
         const txStyle* style = FrontSelection().style;
         r->checked = style && (style->face & kFaceItalic);
     },
     AlterStyle<kFaceItalic, kAlterToggleFace>},
    {cmd::kLeftAligned, cmd::kRightAligned, AlignmentRule, Align},
    {cmd::kHideShowText, cmd::kHideShowText, TextRule,
     [](const CommandCall& c) {
         if (!StyledDocument(c.front) || !c.front.window) return int32_t(0);
         HideShowText(c.front.window);
         return Done();
     }},
    // The menu heads and the submenus Size and Style.
    {cmd::kTextMenu, cmd::kLastText, TextRule, nullptr},
};

// ---- View ----

void ViewRule(Record* r, const Front& f) { r->enabled = f.kind == kSheetKind || f.kind == kSymbolEditorKind; }

// A view change of the sheet: the drawing changed, and the sheet's undo is forgotten.
void SheetViewChanged(SheetRecord* sheet) {
    RedrawSheetWindow(sheet);
    SetSheetModifiedStatus(sheet, kViewChanged);
}

int32_t Zoom(const CommandCall& c, int32_t scale) {
    (void)SetViewScale(scale, c.front.kind);  // an unchanged scale leaves the view
    return Done();
}

const CommandEntry kViewCommands[] = {
    {cmd::kNormalSize, cmd::kNormalSize,
     [](Record* r, const Front& f) {
         ViewRule(r, f);
         r->checked = r->enabled && FrontSelection().scale == 100;
     },
     [](const CommandCall& c) { return Zoom(c, 100); }},
    {cmd::kScaleToFit, cmd::kScaleToFit, ViewRule, [](const CommandCall& c) { return Zoom(c, -1); }},
    {cmd::kZoomIn, cmd::kZoomIn,
     [](Record* r, const Front& f) {
         ViewRule(r, f);
         r->enabled = r->enabled && FrontSelection().scale < gMaxViewScale;
     },
     [](const CommandCall& c) { return Zoom(c, GetNextStandardViewScale(FrontSelection().scale, 1)); }},
    {cmd::kZoomOut, cmd::kZoomOut,
     [](Record* r, const Front& f) {
         ViewRule(r, f);
         r->enabled = r->enabled && FrontSelection().scale >= 13;
     },
     [](const CommandCall& c) { return Zoom(c, GetNextStandardViewScale(FrontSelection().scale, -1)); }},
    {cmd::kZoomPercent, cmd::kZoomPercent, ViewRule,
     [](const CommandCall& c) {
         // Starts from the percent asked for last time.
         const int32_t last = gPrefs ? gPrefs->zoomPercent : 0;
         const int32_t from = last >= 4 && last <= gMaxViewScale ? last : std::abs(FrontSelection().scale);
         const int32_t percent = AskCustomDialog("Zoom Percent", "Zoom view to:", "%", gMaxViewScale, from);
         if (percent < 0) return Done();
         (void)Zoom(c, percent);
         if (gPrefs && percent != gPrefs->zoomPercent) {
             gPrefs->zoomPercent = int16_t(percent);
             RecordChangedPreferences(kPrefsMainBlock);
         }
         return Done();
     }},
    {cmd::kHideGraphics, cmd::kHideGraphics,
     [](Record* r, const Front& f) {
         SheetRecord* sheet = f.sheet;
         r->enabled = sheet != nullptr;
         SetTitle(r, sheet && (sheet->stored.flags & kSheetFlagHideElements) ? "Show Graphics" : "Hide Graphics");
     },
     [](const CommandCall& c) {
         SheetRecord* sheet = c.front.sheet;
         if (!sheet) return int32_t(0);
         sheet->stored.flags ^= kSheetFlagHideElements;
         if (sheet->stored.flags & kSheetFlagHideElements) DeselectElements(sheet);
         SheetViewChanged(sheet);
         return Done();
     }},
    {cmd::kHideGrid, cmd::kHideGrid,
     [](Record* r, const Front& f) {
         ViewRule(r, f);
         const bool shown = f.sheet ? f.sheet->view.showGrid : f.editor ? f.editor->gridVisible : false;
         SetTitle(r, shown ? "Hide Grid" : "Show Grid");
     },
     [](const CommandCall& c) {
         if (SheetRecord* sheet = c.front.sheet) {
             sheet->view.showGrid = !sheet->view.showGrid;
             SheetViewChanged(sheet);
         } else if (SymbolEditorRecord* editor = c.front.editor) {
             editor->gridVisible = !editor->gridVisible;
             if (editor->window) VXInvalidateHierarchy(editor->window);
         }
         return Done();
     }},
    {cmd::kRulers, cmd::kRulers,
     [](Record* r, const Front& f) {
         ViewRule(r, f);
         const bool shown = f.sheet ? f.sheet->view.showRulers != 0 : f.editor ? f.editor->rulers : false;
         SetTitle(r, shown ? "Hide rulers" : "Show rulers");
     },
     [](const CommandCall& c) {
         if (SheetRecord* sheet = c.front.sheet) {
             HideShowRulers(sheet->window, !sheet->view.showRulers);
             SetSheetModifiedStatus(sheet, kViewChanged);
         } else if (SymbolEditorRecord* editor = c.front.editor) {
             HideShowRulers(editor->window, !editor->rulers);
         }
         return Done();
     }},
    {cmd::kPageBreaks, cmd::kPageBreaks,
     [](Record* r, const Front& f) {
         SheetRecord* sheet = f.sheet;
         const bool pages = sheet && sheet->stored.printScale > 0;
         r->enabled = pages;
         SetTitle(r, pages && sheet->view.showPageBreaks ? "Hide page breaks" : "Show page breaks");
     },
     [](const CommandCall& c) {
         SheetRecord* sheet = c.front.sheet;
         if (!sheet) return int32_t(0);
         sheet->view.showPageBreaks = !sheet->view.showPageBreaks;
         SheetViewChanged(sheet);
         return Done();
     }},
    {cmd::kRedraw, cmd::kRedraw, ViewRule,
     [](const CommandCall& c) {
         if (c.front.window) VXInvalidateHierarchy(c.front.window);
         return Done();
     }},
    {cmd::kViewMenu, cmd::kLastView, ViewRule, nullptr},
};

// ---- Grid ----

SymbolEditorRecord* GridEditor(const Front& f) { return f.kind == kSymbolEditorKind ? f.editor : nullptr; }

// The sizes are checked by the editor's grid; Other... when it is none of them.
void GridRule(Record* r, const Front& f) {
    SymbolEditorRecord* editor = GridEditor(f);
    r->enabled = editor != nullptr;
    if (!editor) {
        r->checked = 0;
        return;
    }
    const int16_t* table = GridTable(editor);
    if (r->command >= cmd::kFirstGrid && r->command <= cmd::kLastGrid) {
        r->checked = editor->grid == table[r->command - cmd::kFirstGrid];
    } else if (r->command == cmd::kOtherGrid) {
        bool any = false;
        for (int i = 0; i < 7; ++i) any = any || editor->grid == table[i];
        r->checked = !any;
    }
}

const CommandEntry kGridCommands[] = {
    {cmd::kGridMenu, cmd::kGridMenu, [](Record* r, const Front& f) { r->enabled = GridEditor(f) != nullptr; }, nullptr},
    {cmd::kFirstGrid, cmd::kLastGrid, GridRule,
     [](const CommandCall& c) {
         SymbolEditorRecord* editor = GridEditor(c.front);
         if (!editor) return int32_t(0);
         SetGridScale(GridTable(editor)[c.id - cmd::kFirstGrid], c.front.kind);
         return Done();
     }},
    {cmd::kOtherGrid, cmd::kOtherGrid, GridRule,
     [](const CommandCall& c) {
         SymbolEditorRecord* editor = GridEditor(c.front);
         if (!editor) return int32_t(0);
         const int32_t grid = AskCustomDialog("Other Grid Size", "Set grid to:", "pixels", 1000, editor->grid);
         if (grid >= 2) SetGridScale(grid, c.front.kind);  // a grid of 1 snaps nothing
         return Done();
     }},
    {cmd::kGridMenu, cmd::kLastGridCommand, GridRule, nullptr},
};

}  // namespace

std::span<const CommandEntry> TextCommands() { return kTextCommands; }
std::span<const CommandEntry> ViewCommands() { return kViewCommands; }
std::span<const CommandEntry> GridCommands() { return kGridCommands; }

}  // namespace plexa
