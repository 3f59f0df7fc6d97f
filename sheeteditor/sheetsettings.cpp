// The sheet settings dialog and what confirming it does to the sheet; page setup of a sheet.
#include "sheeteditor/attributeeditor.h"
#include "sheeteditor/sheetsettings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "files/sheetstore.h"
#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/strings.h"
#include "graphics/colors.h"
#include "graphics/grafport.h"
#include "graphics/grafprocs.h"
#include "graphics/printrec.h"
#include "graphics/textline.h"
#include "graphics/textstyle.h"
#include "model/attributes.h"
#include "model/modelhooks.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/themes.h"
#include "sheeteditor/pending.h"
#include "sheeteditor/projectsettings.h"
#include "sheeteditor/sheettoolids.h"
#include "sheeteditor/sheetchange.h"
#include "sheeteditor/sheetwindow.h"
#include "sheeteditor/toolbars.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_celledit.h"
#include "toolkit/vx_commands.h"
#include "toolkit/vx_control_items.h"
#include "toolkit/vx_controls.h"
#include "toolkit/vx_dialogs.h"
#include "toolkit/vx_events.h"
#include "toolkit/vx_listview.h"
#include "toolkit/vx_menus.h"
#include "toolkit/vx_panels.h"
#include "toolkit/vx_services.h"
#include "toolkit/vx_tracking.h"
#include "toolkit/vx_views.h"
#include "toolkit/vx_window.h"

namespace plexa {

int16_t gLastSheetSettingsTab = 0;

namespace {

constexpr const char* kOrientations[] = {"Landscape", "Portrait"};
constexpr const char* kSizes[] = {"A Size", "B Size", "C Size", "D Size", "E Size", "Maximum"};
constexpr const char* kGridEntries[] = {"1/12\"", "1/8\"", "1/6\"", "1/4\"", "1/3\"", "1/2\"", "1.0\"", "-", "Other"};
constexpr int16_t kGrid72[7] = {6, 9, 12, 18, 24, 36, 72};
constexpr int16_t kGrid96[7] = {8, 12, 16, 24, 32, 48, 96};
constexpr const char* kScopes[] = {"Local", "Port", "Global"};
constexpr int32_t kOtherGridEntry = 8;
constexpr int32_t kMaxPrefix = 7;

struct SheetSettingsState {
    SheetRecord* sheet = nullptr;
    VXWindowRecordTag* dialog = nullptr;
    VXWindowRecordTag* layered = nullptr;
    AttributeEditor* attributes = nullptr;  // while the attributes tab shows
    VXWindowRecordTag* stylesList = nullptr;  // while the styles tab shows
    TextThemeTable themes{};
    SheetSettings settings{};
    Rect extent{};
    int16_t tab = -1;
    bool makeDefault = false;
    bool attributesChanged = false;
    bool stylesChanged = false;
    bool confirmed = false;
};

SheetSettingsState* gState = nullptr;

int32_t Resolution(const SheetRecord* sheet) { return sheet->stored.resolution == 72 ? 72 : 96; }

std::string PrefixString(const uint8_t prefix[8]) {
    return std::string(reinterpret_cast<const char*>(prefix + 1), std::min<uint8_t>(prefix[0], kMaxPrefix));
}

void SetPrefix(uint8_t prefix[8], const char* text) {
    std::memset(prefix, 0, 8);
    const size_t n = std::min<size_t>(std::strlen(text), kMaxPrefix);
    prefix[0] = uint8_t(n);
    std::memcpy(prefix + 1, text, n);
}

// The page size code and orientation chosen on the page tab.
int32_t ChosenSizeCode(VXWindowRecordTag* w) {
    const int32_t entry = Chosen(w, kSizeItem);
    return entry == 5 ? 0 : entry + 1;
}

void ShowDimensions(SheetSettingsState* s) {
    VXWindowRecordTag* w = s->layered;
    const int32_t code = ChosenSizeCode(w), orientation = Chosen(w, kOrientationItem);
    VXSetItemText(w, kDimensionsItem, SheetDimensionsText(code, orientation).c_str());
    VXSetItemText(w, kFitItem, SheetFitText(code, orientation, Resolution(s->sheet), s->extent).c_str());
}

void SelectGridInches(SheetSettingsState* s) {
    VXWindowRecordTag* w = s->layered;
    FillPopup(w, kGridPopupItem, kGridEntries, 9, GridEntryForSize(Resolution(s->sheet), VXGetItemInt(w, kGridSizeItem)));
}

// ---- The styles list ----

constexpr int16_t kStylesRowHeight = 18;
constexpr int16_t kStylesColumns[4] = {0, 130, 285, 345};
constexpr uint16_t kSizeCommands[7] = {521, 522, 523, 524, 525, 526, 527};
constexpr uint16_t kPointSizes[7] = {7, 8, 9, 10, 12, 14, 18};
// The application's font menu and its item that asks the font panel.
constexpr uint16_t kFontMenuTag = 502, kOtherFontCommand = 503;
// The size field is the list's one edited cell.
constexpr int16_t kSizeEditColumn = 1;
constexpr uint16_t kSelectAllCommand = 306;

// A field's rectangle within its row: 0 the kind name, 1 the font, 2 the size, 3 the style.
Rect CalcStylesPanelFieldRect(int32_t field, int16_t width) {
    const int16_t left = field == 0 ? 3 : int16_t(kStylesColumns[field] + 23);
    const int16_t right = field == 0 ? 128 : field == 1 ? 283 : field == 2 ? 343 : int16_t(width - 2);
    return Rect{2, left, int16_t(kStylesRowHeight - 2), right};
}

bool OverSizeField(int32_t h) {
    const Rect size = CalcStylesPanelFieldRect(2, 0);
    return h >= size.left && h < size.right;
}

// A typed size: the trimmed digits when they make 2 to 128, else -1.
int32_t TypedStyleSize(const char* text) {
    std::string typed = text ? text : "";
    typed.erase(0, std::min(typed.find_first_not_of(" \t"), typed.size()));
    typed.erase(typed.find_last_not_of(" \t") + 1);
    int32_t size = -1;
    const auto [end, error] = std::from_chars(typed.data(), typed.data() + typed.size(), size);
    if (typed.empty() || error != std::errc() || end != typed.data() + typed.size()) return -1;
    return size >= 2 && size <= 128 ? size : -1;
}

void DrawStyleFieldString(const std::string& text, const Rect& field, int16_t baseline) {
    char shown[kVXListCellTextSize] = {};
    std::snprintf(shown, sizeof shown, "%s", text.c_str());
    if (field.right <= field.left) return;
    VXTruncString(shown, sizeof shown, field.right - field.left, 0);
    VXMoveTo(field.left, baseline);
    VXDrawTextWithEncoding(shown, int32_t(std::strlen(shown)), kEncodingUTF8);
}

void TrackStyleFieldPopupMenu(SheetSettingsState* s, VXWindowRecordTag* list, int32_t row, int32_t field, Point where);

int32_t StylesPanelListViewHook(VXWindowRecordTag* window, int32_t message, VXListViewHookRecord* record) {
    SheetSettingsState* s = gState;
    if (!s) return 0;
    const int32_t row = record->index;
    txStyle* style = row >= 0 && row < kTextThemeCount ? s->themes.styles[row] : nullptr;
    switch (message) {
        case kVXListMouseDown: {
            if (!record->event) return 0;
            // A click on a field's arrow opens its menu (the size being typed is taken first); one
            // on the size field types it; elsewhere it selects.
            const int32_t h = record->event->u.mouse.h;
            const int32_t field = HitTestStylesPanelColumn(h);
            if (field != 0 && style) {
                if (VXSetListViewEditFocus(window, -1, 0))
                    TrackStyleFieldPopupMenu(s, window, row, field, Point{record->event->u.mouse.v, int16_t(h)});
                return kVXListClickHandled;
            }
            if (!style || !OverSizeField(h)) return 0;
            // The size field is edited with its whole text selected, so that what is typed replaces it.
            (void)VXSetListViewEditFocus(window, row, kSizeEditColumn);
            return kVXListClickHandled;
        }
        case kVXListDrawItem: {
            const Rect& r = record->rect;
            VXSetWindow(window);
            QZSetColor(nullptr, record->selected ? 0x00C8DCF0 : 0x00FFFFFF, false);
            VXRectDispatch(&r, 1);
            QZSetColor(nullptr, kVXDefaultForeColor, false);
            int16_t editColumn = 0;
            const bool edited = VXGetListViewEditFocus(window, &editColumn, nullptr, nullptr) == row && editColumn > 0;
            const int16_t baseline = int16_t(r.bottom - 5);
            for (int32_t column = 0; column < 4; ++column) {
                Rect place = CalcStylesPanelFieldRect(column, int16_t(r.right - r.left));
                place.left = int16_t(place.left + r.left);
                place.right = int16_t(place.right + r.left);
                if (column) {
                    // The popup arrow at the start of the field.
                    const int32_t h = r.left + kStylesColumns[column] + 6, v = r.top + 7;
                    for (int32_t i = 0; i < 4; ++i) {
                        const Rect line = {int16_t(v + i), int16_t(h + i), int16_t(v + i + 1), int16_t(h + 9 - i)};
                        VXRectDispatch(&line, 1);
                    }
                }
                if (column == 2 && edited) continue;  // the editor shows it
                const std::string text = GetStylesPanelFieldString(&s->themes, row, column);
                if (column != 3 || !style) {
                    DrawStyleFieldString(text, place, baseline);
                    continue;
                }
                // The face's name in that face, in "Times" two points larger than the list's text.
                const VXListViewRecord* list = VXGetListViewRecord(window);
                const uint16_t size = list && list->textStyle && list->textStyle->size > 1 ? list->textStyle->size : 12;
                txStyle* saved = VXPreserveTextStyle();
                VXSetTextFont("Times");
                VXSetTextSize(uint16_t(size + 2));
                VXSetTextFace(uint16_t(style->face & (kFaceBold | kFaceItalic)));
                DrawStyleFieldString(text, place, baseline);
                VXRestoreTextStyle(saved);
            }
            return 1;
        }
        case kVXListEditRect:
            record->rect = CalcStylesPanelFieldRect(2, record->width);
            return 1;
        case kVXListFetchText:
            if (style && record->text) std::snprintf(record->text, kVXListCellTextSize, "%u", unsigned(style->size));
            return 1;
        case kVXListEditState: return 3;
        case kVXListDirtyTest:
            return !style || !record->text || std::to_string(style->size) == record->text ? 1 : 0;
        case kVXListCommit: {
            if (!style || !record->text) return 1;
            const int32_t size = TypedStyleSize(record->text);
            if (size < 0) {
                // Refused: the old size comes back.
                std::snprintf(record->text, kVXListCellTextSize, "%u", unsigned(style->size));
                return 3;
            }
            if (size != style->size) {
                SetStyleSize(style, uint16_t(size));
                s->stylesChanged = true;
            }
            VXInvalListViewItem(window, row);
            return 1;
        }
        case kVXListEditNavigate: return kVXListKeyMoveFocus | 1;
        default: return 0;
    }
}

// The fonts of the application's font menu, the style's font marked (or, for a font the menu
// does not list, its item that asks the font panel).
VXMenuRecord* BuildStyleFontMenu(const txStyle* style) {
    VXMenuRecord* menu = VXNewMenu(0, "");
    if (!menu) return nullptr;
    if (VXMenuRecord* fonts = VXGetMenuWithTag(kFontMenuTag)) {
        for (int32_t i = 1; i <= VXCountMenuItems(fonts); ++i) {
            char text[128] = {};
            VXGetMenuItemText(fonts, true, i, text);
            VXInsertMenuItem(menu, true, VXCountMenuItems(menu) + 1, VXGetMenuItemTag(fonts, i), text);
        }
    } else {
        VXAppendFontNamesToMenu(menu, true);
    }
    char current[256] = {};
    if (style) GetStyleFont(style, current);
    int32_t marked = 0;
    for (int32_t i = 1; i <= VXCountMenuItems(menu) && current[0] && !marked; ++i) {
        char text[128] = {};
        VXGetMenuItemText(menu, true, i, text);
        if (VXGetMenuItemTag(menu, i) == kVXFontItemTag && StrCINCmp(text, current, 256) == 0) marked = i;
    }
    if (!marked) marked = VXCommandToMenuIndex(menu, kOtherFontCommand);
    if (marked > 0) VXSetMenuItemChecked(menu, true, marked, true);
    return menu;
}

void TrackStyleFieldPopupMenu(SheetSettingsState* s, VXWindowRecordTag* list, int32_t row, int32_t field, Point where) {
    txStyle* style = s->themes.styles[row];
    VXMenuRecord* menu = field == 1 ? BuildStyleFontMenu(style) : VXNewMenu(0, "");
    if (!menu) return;
    if (field == 2) {
        for (int32_t i = 0; i < 7; ++i) {
            VXInsertMenuItem(menu, true, i + 1, kSizeCommands[i], (std::to_string(kPointSizes[i]) + " point").c_str());
            if (style && style->size == kPointSizes[i]) VXSetMenuItemChecked(menu, true, i + 1, true);
        }
    } else if (field == 3) {
        const char* names[3] = {"Plain", "Bold", "Italic"};
        for (int32_t i = 0; i < 3; ++i) VXInsertMenuItem(menu, true, i + 1, uint16_t(541 + i), names[i]);
        if (style) {
            VXSetMenuItemChecked(menu, true, 1, style->face == 0);
            VXSetMenuItemChecked(menu, true, 2, (style->face & 1) != 0);
            VXSetMenuItemChecked(menu, true, 3, (style->face & 2) != 0);
        }
    }
    VXPopupResult result{};
    const uint16_t command = VXPopupMenuClickEx(list, where, 0, false, menu, true, 0, &result);
    bool selected[kTextThemeCount] = {};
    for (int32_t i = 0; i < kTextThemeCount; ++i) selected[i] = VXGetListViewItemSelected(list, i);
    bool changed = false;
    if (field == 1 && (command == kVXFontItemTag || command == kOtherFontCommand)) {
        // A font of the menu, or one chosen in the font panel starting at the row's font.
        char name[256] = {};
        if (command == kVXFontItemTag && result.menu) {
            VXGetMenuItemText(result.menu, true, result.itemIndex, name);
        } else if (command == kOtherFontCommand) {
            char current[256] = {};
            if (style) GetStyleFont(style, current);
            if (!VXChooseFontFromPanel(current, name, sizeof name)) name[0] = 0;
        }
        const bool many = selected[row] && std::count(selected, selected + kTextThemeCount, true) > 1;
        for (int32_t i = 0; i < kTextThemeCount && name[0]; ++i)
            if ((many ? selected[i] : i == row) && s->themes.styles[i]) {
                SetStyleFont(s->themes.styles[i], name);
                changed = true;
            }
    } else if (command) {
        changed = ApplyStyleFieldCommand(&s->themes, selected, row, command);
    }
    VXDestroyMenuEx(menu, true);
    if (changed) {
        s->stylesChanged = true;
        Rect all{};
        VXGetClientRect(list, &all);
        VXInvalRect(list, &all);
    }
}

// Select All selects every row.
int32_t StylesPanelPrepCommand(VXPrepCommandRecord* record) {
    if (!record || record->command != kSelectAllCommand) return 0;
    record->enabled = 1;
    return 1;
}

int32_t StylesPanelEventHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SheetSettingsState* s = gState;
    if (!s) return 0;
    switch (event->kind) {
        case kVXDestroyEvent:
            if (s->stylesList == window) s->stylesList = nullptr;
            return 0;
        case kVXMouseMovedEvent: {
            // The edit cursor over the size field.
            int32_t v = event->u.mouse.longV, h = event->u.mouse.longH;
            if (VXPanelRecordTag* panel = VXGetWindowPanel(window)) {
                double dx = 0, dy = 0;
                VXPanelPlatformOffset(panel, &dx, &dy);
                h -= int32_t(std::lround(dx));
                v -= int32_t(std::lround(dy));
            }
            const int32_t row = VXListViewItemFromPoint(window, v, false);
            const bool size = row >= 0 && row < kTextThemeCount && OverSizeField(h);
            VXSetWindowCursor(window, size ? kVXCursorIBeam : kVXCursorArrow);
            return 0;
        }
        case kVXCommandEvent:
            if (event->u.command.command != kSelectAllCommand) return 0;
            if (VXSetListViewEditFocus(window, -1, 0)) (void)VXSetListViewItemSelected(window, -1, true);
            return 1;
        default: return 0;
    }
}

void SetupStylesPanel(SheetSettingsState* s) {
    if (s->stylesList) return;
    Rect place{};
    VXGetItemPosition(s->layered, kStylesListItem, &place);
    VXSetItemVisible(s->layered, kStylesListItem, false);
    place.bottom = int16_t(std::min<int32_t>(place.bottom, place.top + kStylesRowHeight * kTextThemeCount + 2));
    s->stylesList = VXCreateChildWindow(0, kVXFlagChildBezel, 0, s->layered, &place, s, StylesPanelEventHandler);
    if (!s->stylesList) return;
    VXInstallListView(s->stylesList, nullptr, kStylesRowHeight, sizeof(int32_t),
                      kVXListMultiSelect | kVXListExtendSelect | kVXListEditCells, StylesPanelListViewHook);
    VXSetListViewPrepCommand(s->stylesList, StylesPanelPrepCommand);
    for (int32_t i = 0; i < kTextThemeCount; ++i) VXInsertListViewItemData(s->stylesList, -1, &i, 1);
    VXShowWindow(s->stylesList);
    VXSetFocusWindow(s->stylesList, true);
}

void DropStylesPanel(SheetSettingsState* s) {
    if (VXWindowRecordTag* list = std::exchange(s->stylesList, nullptr)) VXDestroyWindow(list);
}

void FlushSheetSettingsTabPanel(SheetSettingsState* s) {
    VXWindowRecordTag* w = s->layered;
    SheetSettings& set = s->settings;
    switch (s->tab) {
        case kPageTab: {
            set.sizeCode = uint8_t(ChosenSizeCode(w));
            set.orientation = uint8_t(Chosen(w, kOrientationItem));
            set.snap = VXGetItemChecked(w, kSnapItem) ? 1 : 0;
            set.pageBreaks = VXGetItemChecked(w, kPageBreaksItem) ? 1 : 0;
            set.topToolsExpanded = VXGetItemChecked(w, kTopToolsItem) ? 1 : 0;
            set.gridShown = VXGetItemChecked(w, kGridShownItem) ? 1 : 0;
            set.rulers = VXGetItemChecked(w, kRulersItem) ? 1 : 0;
            // A grid below 2 is not taken.
            const int32_t grid = VXGetItemInt(w, kGridSizeItem);
            if (grid >= 2) set.gridSpacing = int16_t(std::min(grid, 100));
            break;
        }
        case kStylesTab:
            // The size being typed is taken (or refused) before the list goes.
            if (s->stylesList) (void)VXFlushListViewEditField(s->stylesList);
            DropStylesPanel(s);
            break;
        case kAttributesTab:
            if (s->attributes) {
                int16_t count = int16_t(set.attributeCount);
                const bool changed = FlushAttributeEditor(s->attributes) && s->attributes->changed;
                if (changed) {
                    // The edited rows go into a copy of the list, which keeps the attributes the
                    // editor does not show (names beginning with "~"); the sheet's own list stays
                    // as it is until OK. A copy made by an earlier visit of the tab is reused.
                    Handle target = set.attributes;
                    if (target && target == s->sheet->attributes) target = CloneHandle(gGenPool, target);
                    if (!target) count = 0;
                    set.attributes = GetAttributeEditorData(s->attributes, target, 0, &count, s->sheet->stringBlock, true);
                    set.attributeCount = uint16_t(std::max<int32_t>(count, 0));
                    s->attributesChanged = true;
                }
                CloseAttributeEditor(std::exchange(s->attributes, nullptr));
            }
            break;
        case kPrintingTab:
            set.printInColour = VXGetItemChecked(w, kColourItem) ? 1 : 0;
            if (VXGetItemChecked(w, kFitRadioItem)) set.printScale = -1;
            else set.printScale = int16_t(std::clamp(VXGetItemInt(w, kScaleItem), 1, 1000));
            break;
        case kNamingTab: {
            char text[256] = {};
            VXGetItemText(w, kPrefixItem, text);
            text[kMaxPrefix] = 0;
            TruncateUTF8ForByteSize(text, kMaxPrefix + 1);
            SetPrefix(set.signalPrefix, text);
            set.digits = uint16_t(std::clamp(VXGetItemInt(w, kDigitsItem), 1, 9));
            set.flags = VXGetItemChecked(w, kAutoDesignatorItem) ? set.flags | kSheetFlagSignalPanel
                                                                   : set.flags & ~kSheetFlagSignalPanel;
            set.signalPanelNumber = uint16_t(std::clamp(VXGetItemInt(w, kRankItem), 1, 9999));
            set.scopeA = uint8_t(Chosen(w, kNetScopeItem));
            set.scopeB = uint8_t(Chosen(w, kHiddenPinScopeItem));
            break;
        }
        default: break;
    }
}

void SetupTab(SheetSettingsState* s, int32_t tab) {
    VXWindowRecordTag* w = s->layered;
    const SheetSettings& set = s->settings;
    switch (tab) {
        case kPageTab:
            FillPopup(w, kOrientationItem, kOrientations, 2, set.orientation ? 1 : 0);
            FillPopup(w, kSizeItem, kSizes, 6, set.sizeCode == 0 ? 5 : std::clamp<int32_t>(set.sizeCode, 1, 5) - 1);
            VXSetItemInt(w, kGridSizeItem, set.gridSpacing);
            VXSetItemChecked(w, kSnapItem, set.snap);
            VXSetItemChecked(w, kPageBreaksItem, set.pageBreaks);
            VXSetItemChecked(w, kTopToolsItem, set.topToolsExpanded);
            VXSetItemChecked(w, kGridShownItem, set.gridShown);
            VXSetItemChecked(w, kRulersItem, set.rulers);
            if (VXCountListItems(w, kGridPopupItem) == 0) {
                FillPopup(w, kGridPopupItem, kGridEntries, 9, 0);
                VXSetListItemEnabled(w, kGridPopupItem, 7, false);
                VXSetListItemEnabled(w, kGridPopupItem, kOtherGridEntry, false);
            }
            SelectGridInches(s);
            ShowDimensions(s);
            VXSelectItemText(w, kGridSizeItem, 0, 32767);
            break;
        case kPrintingTab: {
            VXSetItemChecked(w, kColourItem, set.printInColour);
            VXSelectRadioButton(w, set.printScale < 0 ? kFitRadioItem : kScaleRadioItem);
            VXSetItemInt(w, kScaleItem, set.printScale < 1 ? 100 : set.printScale);
            if (set.printScale >= 0) VXSelectItemText(w, kScaleItem, 0, 32767);
            break;
        }
        case kStylesTab: SetupStylesPanel(s); break;
        case kAttributesTab:
            if (!s->attributes)
                s->attributes = CreateAttributeDialogPanel(w, s->sheet->stringBlock, set.attributes, 0, set.attributeCount,
                                                           3, false, false);
            break;
        case kNamingTab:
            VXSetItemText(w, kPrefixItem, PrefixString(set.signalPrefix).c_str());
            VXSetItemInt(w, kDigitsItem, set.digits);
            VXSetItemInt(w, kRankItem, set.signalPanelNumber);
            VXSetItemChecked(w, kAutoDesignatorItem, (set.flags & kSheetFlagSignalPanel) != 0);
            FillPopup(w, kNetScopeItem, kScopes, 3, set.scopeA);
            FillPopup(w, kHiddenPinScopeItem, kScopes, 3, set.scopeB);
            VXSetFocusItem(w, kPrefixItem);
            VXSelectItemText(w, kPrefixItem, 0, 32767);
            break;
        default: break;
    }
}

void SetSheetSettingsTabPanel(SheetSettingsState* s, int32_t tab) {
    if (!s->layered || tab < 0 || tab >= kSheetSettingsTabCount) return;
    if (s->tab >= 0) FlushSheetSettingsTabPanel(s);
    if (VXIsViewLayerEmpty(s->layered, tab) && kSheetSettingsTabTemplates[tab])
        VXLoadControlsForViewLayer(s->layered, tab, kSheetSettingsTabTemplates[tab], 0, 0, 0);
    VXSetCurrentViewLayer(s->layered, tab);
    VXSetSelectedTab(s->dialog, kSheetSettingsTabsItem, tab);
    s->tab = int16_t(tab);
    SetupTab(s, tab);
}

int32_t SheetSettingsTabPanelHandler(VXWindowRecordTag* w, VXEventRecord* event) {
    SheetSettingsState* s = gState;
    if (!s || event->kind != kVXControlEvent) return 0;
    switch (int16_t(event->u.control.item)) {
        case kPrefixItem: {
            char text[256] = {};
            VXGetItemText(w, kPrefixItem, text);
            if (std::strlen(text) > size_t(kMaxPrefix)) VXTruncateItemText(w, kPrefixItem, kMaxPrefix);
            return 1;
        }
        case kDigitsItem: VXEnforceItemIntRange(w, kDigitsItem, 1, 9, true); return 1;
        case kRankItem: VXEnforceItemIntRange(w, kRankItem, 1, 9999, true); return 1;
        case kSizeItem:
        case kOrientationItem: ShowDimensions(s); return 1;
        case kGridPopupItem: {
            const int32_t entry = Chosen(w, kGridPopupItem);
            if (entry < 7) {
                VXSetItemInt(w, kGridSizeItem, Resolution(s->sheet) == 72 ? kGrid72[entry] : kGrid96[entry]);
                VXSelectItemText(w, kGridSizeItem, 0, 32767);
            }
            return 1;
        }
        case kGridSizeItem:
            VXEnforceItemIntRange(w, kGridSizeItem, 0, 100, true);
            SelectGridInches(s);
            return 1;
        case kScaleItem:
            VXSelectRadioButton(w, kScaleRadioItem);
            VXEnforceItemIntRange(w, kScaleItem, 1, 1000, true);
            return 1;
        case kScaleRadioItem: VXSelectItemText(w, kScaleItem, 0, 32767); return 1;
        case kFitRadioItem: return 1;
        case kPageSetupItem: DoPageSetupForSheet(s->sheet); return 1;
        case kStylesDefaultItem:
            CopyTextThemeTable(&gDefaultTextThemes, &s->themes);
            s->stylesChanged = true;
            if (s->stylesList) {
                Rect all{};
                VXGetClientRect(s->stylesList, &all);
                VXInvalRect(s->stylesList, &all);
            }
            return 1;
        default: return 0;
    }
}

int32_t SheetSettingsDialogHandler(VXWindowRecordTag* window, VXEventRecord* event) {
    SheetSettingsState* s = gState;
    if (!s) return 0;
    switch (event->kind) {
        case kVXCreateEvent: {
            s->dialog = window;
            char title[200] = {};
            if (s->sheet->window) VXGetWindowTitle(s->sheet->window, title);
            else std::snprintf(title, sizeof title, "%s", s->sheet->fileSpec.name[0] ? s->sheet->fileSpec.name : "Untitled");
            char text[256];
            ProjectSettingsTitle(title, text, sizeof text);
            VXSetWindowTitle(window, text);
            s->layered = VXCreateLayeredView(window, nullptr, kSheetSettingsTabCount, kSheetSettingsTabsItem,
                                             SheetSettingsTabPanelHandler, nullptr);
            SetSheetSettingsTabPanel(s, std::clamp<int32_t>(gLastSheetSettingsTab, 0, kSheetSettingsTabCount - 1));
            return 0;
        }
        case kVXControlEvent:
            if (event->u.control.item == kSheetSettingsTabsItem) {
                const int32_t tab = event->u.control.values.pair.second;
                if (tab != s->tab) SetSheetSettingsTabPanel(s, tab);
                return 1;
            }
            return 0;
        case kVXEndModalEvent:
            gLastSheetSettingsTab = std::max<int16_t>(s->tab, 0);
            if (event->u.endModal.item == 1) {
                FlushSheetSettingsTabPanel(s);
                s->makeDefault = VXGetItemChecked(window, kSheetSettingsDefaultItem) != 0;
                s->confirmed = true;
            }
            return 0;
        case kVXDestroyEvent:
            // The dialog's child windows are gone already, and the attribute editor with its list
            // window: nothing here may reach them any more.
            s->stylesList = nullptr;
            s->attributes = nullptr;
            s->layered = nullptr;
            return 0;
        default: return 0;
    }
}

// The bounds of everything drawn on the sheet.
Rect DesignExtent(SheetRecord* sheet) {
    Rect extent{};
    auto add = [&](const Rect& r) {
        if (r.bottom <= r.top || r.right <= r.left) return;
        if (extent.bottom <= extent.top) extent = r;
        else VXUnionRect(&extent, &r, &extent);
    };
    for (auto* s = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); s; s = s->next) {
        Rect r{};
        GetSymbolInstanceBounds(sheet, s, 1, &r);
        add(r);
    }
    for (auto signal = static_cast<SignalHandle>(LLFirst(sheet->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(sheet->signalList, signal)))
        add((*signal)->bounds);
    for (auto* t = static_cast<TextRecord*>(LLFirst(sheet->textList)); t; t = t->link) add(t->bounds);
    Rect largest{};
    CalcSheetBounds(0, 1, Resolution(sheet), &largest);
    Rect out{};
    if (!VXSectRect(&extent, &largest, &out)) out = Rect{};
    return out;
}

// Makes the settings the defaults of new sheets, their attributes moved into the defaults' block.
void MakeDefaultSettings(SheetRecord* sheet, const SheetSettings& settings) {
    SheetSettings& d = gDefSheetSettings;
    Handle attributes = nullptr;
    uint16_t count = 0;
    if (settings.attributes && settings.attributeCount > 0) {
        attributes = CloneHandle(gGenPool, settings.attributes);
        if (attributes && ChangeAttributesStringBlock(attributes, 0, settings.attributeCount, sheet->stringBlock,
                                                      d.stringBlock) != 0) {
            MemFree(attributes);
            attributes = nullptr;
        }
        if (attributes) count = settings.attributeCount;
    }
    const StringBlock block = d.stringBlock;
    if (d.attributes) MemFree(d.attributes);
    d = settings;
    d.stringBlock = block;
    d.attributes = attributes ? attributes : AllocHandle(gGenPool, 0);
    d.attributeCount = count;
    CopyTextThemeTable(sheet->themeTable, &gDefaultTextThemes);
    ChangedPreferences(0x020);
}

}  // namespace

int32_t HitTestStylesPanelColumn(int32_t h) {
    for (int32_t column = 1; column < 4; ++column)
        if (h >= kStylesColumns[column] && h < kStylesColumns[column] + 23) return column;
    return 0;
}

bool ApplyStyleFieldCommand(TextThemeTable* themes, const bool selected[9], int32_t row, uint16_t command) {
    if (row < 0 || row >= kTextThemeCount) return false;
    const bool many = selected[row] && std::count(selected, selected + kTextThemeCount, true) > 1;
    bool changed = false;
    for (int32_t i = 0; i < kTextThemeCount; ++i) {
        txStyle* style = themes->styles[i];
        if (!style || !(many ? selected[i] : i == row)) continue;
        if (command >= 521 && command <= 527) {
            SetStyleSize(style, kPointSizes[command - 521]);
        } else if (command == 541) {
            SetStyleFace(style, 0);
        } else if (command == 542 || command == 543) {
            SetStyleFace(style, uint16_t(style->face ^ (command == 542 ? 1 : 2)));
        } else {
            continue;
        }
        changed = true;
    }
    return changed;
}

std::string GetStylesPanelFieldString(const TextThemeTable* themes, int32_t row, int32_t column) {
    const txStyle* style = row >= 0 && row < kTextThemeCount ? themes->styles[row] : nullptr;
    char text[256] = {};
    switch (column) {
        case 0: GetTextThemeName(row, text, sizeof text); return text;
        case 1: if (style) GetStyleFont(style, text); return text;
        case 2: return style ? std::to_string(style->size) : std::string();
        default:
            if (!style) return {};
            switch (style->face & 3) {
                case 0: return "Plain";
                case 1: return "Bold";
                case 2: return "Italic";
                default: return "Bold and Italic";
            }
    }
}

VXWindowRecordTag* GetSheetSettingsPanels() { return gState ? gState->layered : nullptr; }

SheetSettings GetSheetSettings(const SheetRecord* sheet) {
    SheetSettings s{};
    s.stringBlock = sheet->stringBlock;
    s.attributes = sheet->attributes;
    std::memcpy(s.signalPrefix, sheet->stored.signalPrefix, sizeof s.signalPrefix);
    s.attributeCount = sheet->stored.attributeCount;
    s.signalPanelNumber = sheet->signalPanelNumber ? sheet->signalPanelNumber : 1;
    s.scopeA = sheet->stored.scopeA;
    s.scopeB = sheet->stored.scopeB;
    s.topToolsExpanded = sheet->topToolsExpanded;
    s.pageBreaks = sheet->view.showPageBreaks;
    s.rulers = sheet->view.showRulers;
    s.sizeCode = sheet->stored.sizeCode;
    s.orientation = sheet->stored.orientation;
    s.gridShown = sheet->view.showGrid;
    s.snap = sheet->view.snap;
    s.printInColour = sheet->stored.printInColour;
    s.gridSpacing = sheet->view.gridSpacing;
    s.printScale = sheet->stored.printScale;
    s.digits = sheet->stored.signalDigits;
    s.flags = sheet->stored.flags & kSheetFlagSignalPanel;
    return s;
}

std::string SheetDimensionsText(int32_t sizeCode, int32_t orientation) {
    if (sizeCode == 1) return orientation ? "8.5\" x 11\"" : "11\" x 8.5\"";
    Rect page{};
    CalcSheetBounds(sizeCode, orientation, 72, &page);
    char text[64];
    std::snprintf(text, sizeof text, "%d\" x %d\"", (page.right - page.left) / 72, (page.bottom - page.top) / 72);
    return text;
}

std::string SheetFitText(int32_t sizeCode, int32_t orientation, int32_t resolution, const Rect& extent) {
    Rect page{};
    CalcSheetBounds(sizeCode, orientation, resolution, &page);
    return extent.bottom <= page.bottom && extent.right <= page.right ? std::string() : kDesignWontFitText;
}

int32_t GridEntryForSize(int32_t resolution, int32_t gridSize) {
    const int16_t* table = resolution == 72 ? kGrid72 : kGrid96;
    for (int32_t i = 0; i < 7; ++i)
        if (table[i] == gridSize) return i;
    return kOtherGridEntry;
}

bool SheetSettingsDialog(SheetRecord* sheet, SheetSettings* settings, const Rect& extent, bool* attributesChanged,
                         bool* stylesChanged) {
    SheetSettingsState state;
    state.sheet = sheet;
    state.settings = *settings;
    state.extent = extent;
    if (!AllocTextThemeTable(&state.themes)) return false;
    CopyTextThemeTable(sheet->themeTable, &state.themes);
    SheetSettingsState* saved = std::exchange(gState, &state);
    VXModalDialog(kSheetSettingsTemplate, kVXPlaceCentre, SheetSettingsDialogHandler, nullptr);
    gState = saved;
    const bool newList = state.settings.attributes != settings->attributes;
    if (state.confirmed && newList) {
        // The edited list replaces the sheet's own.
        if (sheet->attributes) MemFree(sheet->attributes);
        sheet->attributes = state.settings.attributes;
        sheet->stored.attributeCount = state.settings.attributeCount;
    } else if (newList && state.settings.attributes) {
        MemFree(state.settings.attributes);
        state.settings.attributes = settings->attributes;
    }
    if (state.confirmed) {
        *settings = state.settings;
        if (state.stylesChanged) CopyTextThemeTable(&state.themes, sheet->themeTable);
        if (state.makeDefault) MakeDefaultSettings(sheet, state.settings);
    }
    FreeTextThemeTable(&state.themes);
    *attributesChanged = state.confirmed && state.attributesChanged;
    *stylesChanged = state.confirmed && state.stylesChanged;
    return state.confirmed;
}

void EditSheetSettings(SheetRecord* sheet) {
    if (!sheet) return;
    SheetSettings settings = GetSheetSettings(sheet);
    const SheetSettings before = settings;
    bool attributesChanged = false, stylesChanged = false;
    if (!SheetSettingsDialog(sheet, &settings, DesignExtent(sheet), &attributesChanged, &stylesChanged)) return;
    SetSheetModifiedStatus(sheet, 97);
    if (settings.digits != before.digits || std::memcmp(settings.signalPrefix, before.signalPrefix, 8) != 0) {
        const std::string oldPrefix = PrefixString(before.signalPrefix);
        sheet->stored.signalDigits = uint8_t(std::clamp<uint16_t>(settings.digits, 1, 9));
        std::memcpy(sheet->stored.signalPrefix, settings.signalPrefix, 8);
        AskChangeSignalNames(sheet, oldPrefix.c_str());
    }
    sheet->stored.flags = (sheet->stored.flags & ~kSheetFlagSignalPanel) | (settings.flags & kSheetFlagSignalPanel);
    sheet->signalPanelNumber = settings.signalPanelNumber;
    sheet->view.snap = settings.snap;
    sheet->stored.scopeA = settings.scopeA;
    sheet->stored.scopeB = settings.scopeB;
    sheet->stored.printInColour = settings.printInColour;
    sheet->stored.orientation = settings.orientation;
    sheet->stored.sizeCode = settings.sizeCode;
    Rect bounds{};
    CalcSheetBounds(settings.sizeCode, settings.orientation, Resolution(sheet), &bounds);
    const bool resized = std::memcmp(&bounds, &sheet->sheetBounds, sizeof bounds) != 0;
    if (resized) {
        sheet->sheetBounds = bounds;
        if (sheet->window) VXSetPadSize(sheet->window, bounds.right, bounds.bottom, true);
    }
    if (settings.printScale != before.printScale) {
        sheet->stored.printScale = settings.printScale;
        sheet->printOrigin = Point{0, 0};
    }
    if (attributesChanged || stylesChanged) {
        Rect area{};
        RebuildMacroizedText(sheet, nullptr, &area);
    }
    VXWindowRecordTag* window = sheet->window;
    if (settings.rulers != before.rulers) {
        sheet->view.showRulers = settings.rulers;
        if (window) HideShowRulers(window, settings.rulers != 0);
    }
    sheet->view.showGrid = settings.gridShown;
    sheet->view.gridSpacing = settings.gridSpacing;
    sheet->view.showPageBreaks = settings.pageBreaks;
    if (settings.topToolsExpanded != before.topToolsExpanded) {
        sheet->topToolsExpanded = settings.topToolsExpanded;
        if (sheet->topToolBar) ExpandCollapseTopDrawTools(sheet->topToolBar, settings.topToolsExpanded != 0);
    }
    if (window) {
        if (sheet->topToolBar) VXSetButtonState(sheet->topToolBar, kTopToolSnap, settings.snap);
        RedrawSheetWindow(sheet);
    }
}

int32_t ChangeSignalNamePrefixes(SheetRecord* sheet, const char* oldPrefix, bool onlyCheck) {
    char newPrefix[8] = {};
    GetSheetSignalPrefix(sheet, newPrefix);
    const int32_t digits = std::clamp<int32_t>(sheet->stored.signalDigits, 1, 9);
    struct Rename {
        SignalHandle signal;
        std::string name;
    };
    std::vector<Rename> renames;
    int32_t result = 0;
    for (auto signal = static_cast<SignalHandle>(LLFirst(sheet->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(sheet->signalList, signal))) {
        char name[kSignalNameSize] = {};
        GetSignalName(signal, sheet->stringBlock, name);
        int32_t zeros = 0;
        const int32_t number = name[0] ? IsPrefixedString(name, oldPrefix, true, &zeros) : -1;
        if (number < 0) continue;
        char renamed[kSignalNameSize] = {};
        ConstructPrefixedSignalName(newPrefix, number, digits, renamed, sizeof renamed);
        if (std::strcmp(renamed, name) == 0) continue;
        result |= 1;
        renames.push_back({signal, renamed});
    }
    // A new name that another signal (not renamed itself) already has.
    for (const Rename& r : renames) {
        for (auto other = static_cast<SignalHandle>(LLFirst(sheet->signalList)); other;
             other = static_cast<SignalHandle>(LLGetNext(sheet->signalList, other))) {
            if (other == r.signal) continue;
            const bool renamedToo = std::any_of(renames.begin(), renames.end(),
                                                [&](const Rename& x) { return x.signal == other; });
            if (renamedToo) continue;
            char name[kSignalNameSize] = {};
            GetSignalName(other, sheet->stringBlock, name);
            if (r.name == name) result |= 3;
        }
    }
    if (onlyCheck) return result;
    for (const Rename& r : renames)
        if (!SheetTextsFit(sheet, {r.name.c_str()})) return result;
    Rect area{};
    for (const Rename& r : renames) {
        SetSignalName(r.signal, sheet->stringBlock, r.name.c_str());
        UpdateSignalNames(sheet, r.signal, &area);
    }
    if (!renames.empty()) {
        SetSheetModifiedStatus(sheet, 1);
        if (sheet->window) InvalSheetWindowArea(sheet, &area);
    }
    return result;
}

void AskChangeSignalNames(SheetRecord* sheet, const char* oldPrefix) {
    const int32_t found = ChangeSignalNamePrefixes(sheet, oldPrefix, true);
    if (!(found & 1)) return;
    const uint16_t alert = (found & 2) ? kSignalRenameConflictTemplate : kSignalRenameAlertTemplate;
    if (VXModalDialog(alert, kVXPlaceCentre, VXAnyButtonDisimissalHandler, nullptr) == 1)
        ChangeSignalNamePrefixes(sheet, oldPrefix, false);
}

void DoPageSetupForSheet(SheetRecord* sheet) {
    if (!sheet) return;
    if (!sheet->printRecord) {
        VXPrintRec* record = nullptr;
        if (const OSStatus st = VXCreatePrintRecordEx(&record, uint32_t(Resolution(sheet)))) {
            VXErrorReport(st);
            return;
        }
        VXSet72DpiPrintMargins(record, 7, 7, 7, 7);
        sheet->printRecord = record;
    }
    VXValidatePrintRecord(sheet->printRecord);
    if (!VXRunPageSetupDialog(sheet->printRecord)) return;
    sheet->printOrigin = Point{0, 0};
    if (sheet->view.showPageBreaks) RedrawSheetWindow(sheet);
    SetSheetModifiedStatus(sheet, 104);
}

OSStatus CheckSheet(SheetRecord*) { return 0; }

}  // namespace plexa
