// The sheet record: making a sheet with every list and table its objects live in, and freeing it
// again; see sheet.h.
#include "model/sheet.h"

#include <algorithm>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "graphics/regions.h"
#include "graphics/textstyle.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/pindata.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"
#include "toolkit/vx_timers.h"
#include "toolkit/vx_window.h"

namespace plexa {

namespace {

constexpr int32_t kSheetStringBlockGrowth = 4096;
constexpr uint32_t kCompactionThreshold = 4096;
constexpr uint16_t kNewSheetResolution = 96;
constexpr uint16_t kStringEncodingLevel = 2;
constexpr uint16_t kSelectTool = 2006;
constexpr uint8_t kDefaultSignalDigits = 3;

}  // namespace

SheetSettings gDefSheetSettings = {
    nullptr,                // string block
    nullptr,                // attributes
    {3, 'S', 'I', 'G'},     // signal-name prefix
    0,                      // attribute count
    1,                      // signal-panel number
    2, 2,                   // scopes A and B
    1,                      // top tools expanded
    0,                      // page breaks
    0,                      // rulers
    0,                      // size code
    0,                      // orientation
    0,                      // grid shown
    1,                      // snap
    1,                      // print in colour
    12,                     // grid spacing
    100,                    // print scale
    kDefaultSignalDigits,   // digits
    0,                      // flags
};

void CalcSheetBounds(int32_t sizeCode, int32_t orientation, int32_t resolution, Rect* out) {
    // Page sizes in half inches, bottom by right for orientation 0; code 0 is "Maximum".
    static constexpr int32_t kHalfInches[][2] = {
        {72, 92}, {17, 22}, {22, 34}, {34, 44}, {44, 68}, {68, 88}};
    const int32_t code = sizeCode >= 1 && sizeCode <= 5 ? sizeCode : 0;
    int32_t bottom = kHalfInches[code][0] * resolution / 2;
    int32_t right = kHalfInches[code][1] * resolution / 2;
    if (orientation) std::swap(bottom, right);
    *out = Rect{0, 0, int16_t(std::clamp(bottom, 0, 32767)), int16_t(std::clamp(right, 0, 32767))};
}

SheetRecord* CreateDrawing() {
    auto* sheet = reinterpret_cast<SheetRecord*>(AllocPtrClear(gGenPool, sizeof(SheetRecord)));
    if (!sheet) return nullptr;
    const SheetSettings& defaults = gDefSheetSettings;
    sheet->stringBlock = CreateStringBlock(gGenPool, kSheetStringBlockGrowth);
    sheet->componentList = CreateComponentList();
    sheet->pinDataTable = CreatePinDataTable(sheet->stringBlock);
    sheet->imageList = CreateLocalImageList();
    sheet->elementList = CreateElementList(sheet->imageList);
    sheet->symbolList = CreateSymbolList();
    sheet->signalList = CreateSignalList();
    sheet->bussList = CreateBussList();
    sheet->textList = CreateTextList();
    sheet->textFrameList = CreateTextFrameList();
    sheet->styleList = CreateTextStyleList(gGenPool);
    sheet->breakOutTable = CreateBreakOutTable();
    sheet->themeTable =
        reinterpret_cast<TextThemeTable*>(AllocPtrClear(gGenPool, sizeof(TextThemeTable)));
    if (sheet->themeTable && AllocTextThemeTable(sheet->themeTable)) {
        CopyTextThemeTable(&gDefaultTextThemes, sheet->themeTable);
        sheet->currentTextStyle = CreateTextStyle(gGenPool, sheet->themeTable->styles[0]);
    }
    sheet->stored.flags = 1;
    if (defaults.attributes && defaults.attributeCount > 0) {
        sheet->attributes = CloneHandle(gGenPool, defaults.attributes);
        if (sheet->attributes) {
            sheet->stored.attributeCount = defaults.attributeCount;
            ChangeAttributesStringBlock(sheet->attributes, 0, defaults.attributeCount,
                                        defaults.stringBlock, sheet->stringBlock);
        }
    }
    sheet->selectionRegion = VXCreateRgn(nullptr);
    // Settings.
    sheet->signalPanelNumber = defaults.signalPanelNumber;
    sheet->stored.printInColour = defaults.printInColour;
    sheet->stored.printScale = defaults.printScale;
    sheet->stored.resolution = kNewSheetResolution;
    sheet->stored.sizeCode = defaults.sizeCode;
    sheet->stored.orientation = defaults.orientation;
    CalcSheetBounds(defaults.sizeCode, defaults.orientation, kNewSheetResolution,
                    &sheet->sheetBounds);
    std::memcpy(sheet->stored.signalPrefix, defaults.signalPrefix, sizeof defaults.signalPrefix);
    sheet->stored.signalDigits = kDefaultSignalDigits;
    gDefSheetSettings.digits = kDefaultSignalDigits;
    sheet->stored.scopeA = defaults.scopeA;
    sheet->stored.scopeB = defaults.scopeB;
    sheet->stored.nextSerial = 1;
    sheet->stored.compactionThreshold = kCompactionThreshold;
    sheet->stored.encodingLevel = kStringEncodingLevel;
    sheet->view.showPageBreaks = defaults.pageBreaks;
    sheet->view.showRulers = defaults.rulers;
    sheet->view.outlineWidth = 1;
    sheet->view.showGrid = defaults.gridShown;
    sheet->view.snap = defaults.snap;
    sheet->view.gridSpacing = defaults.gridSpacing;
    sheet->viewScale = 100;
    sheet->selectedTool = kSelectTool;
    sheet->topToolsExpanded = defaults.topToolsExpanded;
    return sheet;
}

void DestroySheet(SheetRecord* sheet) {
    if (!sheet) return;
    sheet->project = nullptr;
    sheet->hierarchyContext = nullptr;
    if (sheet->idleTimer) VXKillTimer(sheet->idleTimer);
    if (sheet->flashTimer) VXKillTimer(sheet->flashTimer);
    sheet->idleTimer = nullptr;
    sheet->flashTimer = nullptr;
    if (sheet->selectionRegion) VXDestroyRgn(sheet->selectionRegion);
    DestroyBreakOutTable(sheet->breakOutTable);
    DestroyStringBlock(sheet->stringBlock);
    if (sheet->attributes) MemFree(sheet->attributes);
    DestroyElementList(sheet->elementList);
    DestroySymbolList(sheet->symbolList);
    DestroyCompList(sheet->componentList);
    DestroyPinDataTable(sheet->pinDataTable);
    DestroyImageList(sheet->imageList);
    DestroySignalList(sheet->signalList);
    DestroyBussList(sheet->bussList);
    DestroyTextList(sheet->textList);
    DestroyTextFrameList(sheet->textFrameList);
    if (sheet->currentTextStyle) DestroyTextStyle(sheet->currentTextStyle);
    DestroyTextStyleList(sheet->styleList);
    if (sheet->themeTable) {
        FreeTextThemeTable(sheet->themeTable);
        MemFreePtr(reinterpret_cast<Ptr>(sheet->themeTable));
    }
    for (VXWindowRecordTag* window : {sheet->window, sheet->toolPalette, sheet->topToolBar})
        if (window) window->refCon = nullptr;
    MemFreePtr(reinterpret_cast<Ptr>(sheet));
}

}  // namespace plexa
