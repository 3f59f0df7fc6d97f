// Sheet settings: the tabbed dialog over a copy of a sheet's settings (page size and orientation,
// grid and view options, text styles, printing scale and page setup, naming of new signals),
// writing the confirmed settings back with their visible effects, renaming the signals named
// with the old prefix when the prefix or digit count changed, and keeping the whole set as the
// defaults of new sheets when asked. Also the page setup of a sheet's print record.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/rectmath.h"
#include "foundation/types.h"
#include "model/sheet.h"
#include "model/themes.h"

namespace plexa {

struct VXWindowRecordTag;

constexpr uint16_t kSheetSettingsTemplate = 1010;
constexpr uint16_t kSignalRenameAlertTemplate = 1020;
constexpr uint16_t kSignalRenameConflictTemplate = 1021;
constexpr int16_t kSheetSettingsTabsItem = 3, kSheetSettingsDefaultItem = 4;
// Tabs and their templates (the attributes tab has none).
constexpr int32_t kPageTab = 0, kStylesTab = 1, kAttributesTab = 2, kPrintingTab = 3, kNamingTab = 4,
                  kSheetSettingsTabCount = 5;
constexpr uint16_t kSheetSettingsTabTemplates[kSheetSettingsTabCount] = {2017, 2018, 0, 2019, 2016};
// Items of the tabs.
constexpr int16_t kPrefixItem = 10, kDigitsItem = 11, kAutoDesignatorItem = 12, kRankItem = 13,
                  kNetScopeItem = 14, kHiddenPinScopeItem = 15;
constexpr int16_t kSizeItem = 30, kOrientationItem = 31, kDimensionsItem = 32, kFitItem = 33,
                  kGridPopupItem = 34, kGridSizeItem = 35, kSnapItem = 36, kPageBreaksItem = 37,
                  kTopToolsItem = 38, kGridShownItem = 39, kRulersItem = 40;
constexpr int16_t kScaleItem = 50, kScaleRadioItem = 51, kFitRadioItem = 52, kColourItem = 53,
                  kPageSetupItem = 54;
constexpr int16_t kStylesListItem = 60, kStylesDefaultItem = 61;

constexpr const char* kDesignWontFitText = "Current design will not fit!";

extern int16_t gLastSheetSettingsTab;

// The whole command on the sheet.
void EditSheetSettings(SheetRecord* sheet);
// Runs the dialog on copies of the settings (and of the sheet's themes and attributes); true when
// confirmed, the copies then written back into settings and the sheet's themes.
bool SheetSettingsDialog(SheetRecord* sheet, SheetSettings* settings, const Rect& extent,
                         bool* attributesChanged, bool* stylesChanged);
// The layered view of the tabs while the dialog is up (none otherwise).
VXWindowRecordTag* GetSheetSettingsPanels();
// The settings of the sheet (the attribute handle is the sheet's own, not a copy).
SheetSettings GetSheetSettings(const SheetRecord* sheet);

// The styles list: the field a click at h falls on (0 none, 1 font, 2 size, 3 style arrow), and
// a command of the size (521-527) or style (541-543) menus applied to the clicked row, or to
// every selected row when the clicked one is among two or more selected; true when it changed
// anything.
int32_t HitTestStylesPanelColumn(int32_t h);
bool ApplyStyleFieldCommand(TextThemeTable* themes, const bool selected[9], int32_t row, uint16_t command);
// The row's text of a column (0 kind, 1 font, 2 size, 3 style).
std::string GetStylesPanelFieldString(const TextThemeTable* themes, int32_t row, int32_t column);

// The page size text of item 32 and the warning of item 33 (empty when the design fits).
std::string SheetDimensionsText(int32_t sizeCode, int32_t orientation);
std::string SheetFitText(int32_t sizeCode, int32_t orientation, int32_t resolution, const Rect& extent);
// The grid popup's entry of a grid size: 0-6, or 8 ("Other").
int32_t GridEntryForSize(int32_t resolution, int32_t gridSize);

// The signals named old prefix + number: bit 1 some exist, 3 when a new name is taken by another
// signal. Without onlyCheck they take the sheet's prefix and digit count.
int32_t ChangeSignalNamePrefixes(SheetRecord* sheet, const char* oldPrefix, bool onlyCheck);
// Asks whether to rename them and does so on OK.
void AskChangeSignalNames(SheetRecord* sheet, const char* oldPrefix);

void DoPageSetupForSheet(SheetRecord* sheet);
// The sheet check on opening: finds nothing.
OSStatus CheckSheet(SheetRecord* sheet);

}  // namespace plexa
