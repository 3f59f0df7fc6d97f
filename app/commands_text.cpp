// The Text, View and Grid menus: the text style of the selection, zoom and the view's options,
// and the symbol editor's grid; each command's rule for the front document and its action.
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

// ---- Text ----

void PrepFontSizeCommand(VXPrepCommandRecord* r) {
    static bool matched = false;
    if (r->command == 521) matched = false;
    if (r->command >= 521 && r->command <= 529) {
        const int16_t size = kFontSizes[r->command - 521];
        const txStyle* style = FrontSelection().style;
        r->checked = style && style->size != 0 && style->size == size;
        if (r->checked) matched = true;
    } else if (r->command == 530) {
        r->checked = !matched;
    }
}

void PrepTextCommand(VXPrepCommandRecord* r, const FrontDocument& front) {
    const bool styled = StyledDocument(front);
    const SelectionSummary& sel = FrontSelection();
    const txStyle* style = sel.style;
    r->enabled = styled;
    switch (r->command) {
    case 500:
    case 506: break;
    case 501: r->checked = style && sel.defaultStyle; break;
    case kFontMenuTag:
        // The Font submenu's check mark follows the selection's font.
        (void)MarkFontMenuItem(VXBuildMenu(&gFontMenuDef), style);  // the item checked is not needed here
        break;
    case 541: r->checked = style && style->face == 0; break;
    case 542: r->checked = style && (style->face & kFaceBold); break;
    case 543: r->checked = style && (style->face & kFaceItalic); break;
    case 504:
    case 505: {
        const bool applies = styled && (sel.textEditing || sel.textCount || sel.frameCount);
        r->enabled = applies;
        r->checked = applies && style && (r->command == 505) == sel.alignedRight;
        break;
    }
    default:
        if (r->command >= 521 && r->command <= 530) PrepFontSizeCommand(r);
        break;
    }
}

int32_t DoTextCommand(uint16_t id, uint16_t item, const FrontDocument& front) {
    if (!StyledDocument(front)) return 0;
    const int16_t kind = front.kind;
    if (id == kVXFontItemTag) {
        const std::vector<uint16_t>& fonts = FontMenuIndexes();
        if (item >= 1 && item <= fonts.size()) AlterTextStyle(kind, fonts[item - 1u], kAlterFont);
        return 1;
    }
    if (id >= 521 && id <= 529) {
        AlterTextStyle(kind, kFontSizes[id - 521], kAlterSize);
        return 1;
    }
    switch (id) {
    case 530: {
        const txStyle* style = FrontSelection().style;
        const int16_t from = style && style->size > 0 ? style->size : 9;
        const int32_t size = AskCustomDialog("Other Font Size", "Font size:", "points", 200, from);
        if (size > 0) AlterTextStyle(kind, size, kAlterSize);
        return 1;
    }
    case 501: AlterTextStyle(kind, 0, kAlterDefault); return 1;
    case kOtherFontsItem: AlterTextStyle(kind, kAlterFontFromPanel, kAlterFont); return 1;
    case 541: AlterTextStyle(kind, 0, kAlterFace); return 1;
    case 542: AlterTextStyle(kind, kFaceBold, kAlterToggleFace); return 1;
    case 543: AlterTextStyle(kind, kFaceItalic, kAlterToggleFace); return 1;
    case 504:
    case 505:
        if (const SelectionSummary& sel = FrontSelection(); sel.textEditing) AlterTEAlignment(kind, id == 505);
        else if (sel.textCount || sel.frameCount) UpdateSelectedTextAlignment(id == 505, kind);
        return 1;
    case 506:
        if (!front.window) return 0;
        HideShowText(front.window);
        return 1;
    default: return 0;
    }
}

// ---- View ----

void PrepViewCommand(VXPrepCommandRecord* r, const FrontDocument& front) {
    const bool viewed = front.kind == kSheetKind || front.kind == kSymbolEditorKind;
    SheetRecord* sheet = front.sheet;
    SymbolEditorRecord* editor = front.editor;
    r->enabled = viewed;
    switch (r->command) {
    case 601: r->checked = viewed && FrontSelection().scale == 100; break;
    case 602: break;
    case 603: r->enabled = viewed && FrontSelection().scale < gMaxViewScale; break;
    case 604: r->enabled = viewed && FrontSelection().scale >= 13; break;
    case 606:
        r->enabled = sheet != nullptr;
        SetTitle(r, sheet && (sheet->stored.flags & kSheetFlagHideElements) ? "Show Graphics" : "Hide Graphics");
        break;
    case 607: {
        const bool shown = sheet ? sheet->view.showGrid : editor ? editor->gridVisible : false;
        SetTitle(r, shown ? "Hide Grid" : "Show Grid");
        break;
    }
    case 608: {
        const bool shown = sheet ? sheet->view.showRulers != 0 : editor ? editor->rulers : false;
        SetTitle(r, shown ? "Hide rulers" : "Show rulers");
        break;
    }
    case 609: {
        const bool pages = sheet && sheet->stored.printScale > 0;
        r->enabled = pages;
        SetTitle(r, pages && sheet->view.showPageBreaks ? "Hide page breaks" : "Show page breaks");
        break;
    }
    default: break;
    }
}

int32_t DoViewCommand(uint16_t id, const FrontDocument& front) {
    SheetRecord* sheet = front.sheet;
    SymbolEditorRecord* editor = front.editor;
    switch (id) {
    case 601: (void)SetViewScale(100, front.kind); return 1;  // an unchanged scale leaves the view
    case 602: (void)SetViewScale(-1, front.kind); return 1;
    case 603: (void)SetViewScale(GetNextStandardViewScale(FrontSelection().scale, 1), front.kind); return 1;
    case 604: (void)SetViewScale(GetNextStandardViewScale(FrontSelection().scale, -1), front.kind); return 1;
    case 605: {
        // Starts from the percent asked for last time.
        const int32_t last = gPrefs ? gPrefs->zoomPercent : 0;
        const int32_t from = last >= 4 && last <= gMaxViewScale ? last : std::abs(FrontSelection().scale);
        const int32_t percent = AskCustomDialog("Zoom Percent", "Zoom view to:", "%", gMaxViewScale, from);
        if (percent < 0) return 1;
        (void)SetViewScale(percent, front.kind);  // an unchanged scale leaves the view
        if (gPrefs && percent != gPrefs->zoomPercent) {
            gPrefs->zoomPercent = int16_t(percent);
            RecordChangedPreferences(kPrefsMainBlock);
        }
        return 1;
    }
    case 606:
        if (!sheet) return 0;
        sheet->stored.flags ^= kSheetFlagHideElements;
        if (sheet->stored.flags & kSheetFlagHideElements) DeselectElements(sheet);
        RedrawSheetWindow(sheet);
        SetSheetModifiedStatus(sheet, kViewChanged);
        return 1;
    case 607:
        if (sheet) {
            sheet->view.showGrid = !sheet->view.showGrid;
            RedrawSheetWindow(sheet);
            SetSheetModifiedStatus(sheet, kViewChanged);
        } else if (editor) {
            editor->gridVisible = !editor->gridVisible;
            if (editor->window) VXInvalidateHierarchy(editor->window);
        }
        return 1;
    case 608:
        if (sheet) {
            HideShowRulers(sheet->window, !sheet->view.showRulers);
            SetSheetModifiedStatus(sheet, kViewChanged);
        } else if (editor) {
            HideShowRulers(editor->window, !editor->rulers);
        }
        return 1;
    case 609:
        if (!sheet) return 0;
        sheet->view.showPageBreaks = !sheet->view.showPageBreaks;
        RedrawSheetWindow(sheet);
        SetSheetModifiedStatus(sheet, kViewChanged);
        return 1;
    case 610:
        if (front.window) VXInvalidateHierarchy(front.window);
        return 1;
    default: return 0;
    }
}

// ---- Grid ----

void PrepGridCommand(VXPrepCommandRecord* r, const FrontDocument& front) {
    SymbolEditorRecord* editor = front.kind == kSymbolEditorKind ? front.editor : nullptr;
    if (r->command == 700) {
        r->enabled = editor != nullptr;
        return;
    }
    r->enabled = editor != nullptr;
    if (!editor) {
        r->checked = 0;
        return;
    }
    const int16_t* table = GridTable(editor);
    if (r->command >= 701 && r->command <= 707) {
        r->checked = editor->grid == table[r->command - 701];
    } else if (r->command == 708) {
        bool any = false;
        for (int i = 0; i < 7; ++i) any = any || editor->grid == table[i];
        r->checked = !any;
    }
}

int32_t DoGridCommand(uint16_t id, const FrontDocument& front) {
    if (front.kind != kSymbolEditorKind || !front.editor) return 0;
    if (id == 708) {
        const int32_t grid = AskCustomDialog("Other Grid Size", "Set grid to:", "pixels", 1000, front.editor->grid);
        if (grid >= 2) SetGridScale(grid, front.kind);  // a grid of 1 snaps nothing
        return 1;
    }
    if (id < 701 || id > 707) return 0;
    SetGridScale(GridTable(front.editor)[id - 701], front.kind);
    return 1;
}

}  // namespace plexa
