// The sheet record: making a sheet with every list and table its objects live in, and freeing it
// again; the default sheet settings; page sizes; tool-tip texts. See sheet.h.
#include "model/sheet.h"

#include <algorithm>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/ll.h"
#include "foundation/memory.h"
#include "foundation/timers.h"
#include "graphics/printrec.h"
#include "graphics/regions.h"
#include "graphics/textstyle.h"
#include "model/annotation.h"
#include "model/attributes.h"
#include "model/busses.h"
#include "model/components.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/modelhooks.h"
#include "model/pindata.h"
#include "model/sheetindex.h"
#include "model/sheetselected.h"
#include "model/signals.h"
#include "model/symbols.h"
#include "model/textframes.h"
#include "model/texts.h"
#include "model/themes.h"

namespace plexa {

namespace {

constexpr int32_t kSheetStringBlockGrowth = 4096;
constexpr int32_t kDefaultsStringBlockGrowth = 64;
constexpr uint32_t kCompactionThreshold = 4096;
constexpr uint16_t kStringEncodingLevel = 2;
constexpr uint8_t kDefaultSignalDigits = 3;
constexpr uint8_t kMaxPrefixLength = 7;

// The built-in defaults, without string block and attributes.
constexpr SheetSettings kBuiltInSettings = {
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

// Makes every list and table of a cleared record, in the order of the record's making; false as
// soon as one cannot be made (what was made stays in the record for DestroySheet).
bool MakeSheetParts(SheetRecord* sheet, const SheetSettings& defaults) {
    if (!(sheet->stringBlock = CreateStringBlock(gGenPool, kSheetStringBlockGrowth))) return false;
    if (!(sheet->annotationMap = CreateAnnotationMap(true))) return false;
    if (!(sheet->componentList = CreateComponentList())) return false;
    if (!(sheet->pinDataTable = CreatePinDataTable(sheet->stringBlock))) return false;
    if (!(sheet->imageList = CreateLocalImageList())) return false;
    if (!(sheet->elementList = CreateElementList(sheet->imageList))) return false;
    if (!(sheet->symbolMap = CreateSymbolMap(sheet->imageList))) return false;
    if (!(sheet->symbolList = CreateSymbolList())) return false;
    if (!(sheet->signalList = CreateSignalList())) return false;
    if (!(sheet->bussList = CreateBussList())) return false;
    if (!(sheet->textList = CreateTextList())) return false;
    if (!(sheet->textFrameList = CreateTextFrameList())) return false;
    if (!(sheet->styleList = CreateTextStyleList(gGenPool))) return false;
    if (!(sheet->breakOutTable = CreateBreakOutTable())) return false;
    if (const auto create = GetModelHooks().createFileSymbolList) {
        if (!(sheet->fileSymbolList = create())) return false;
    }
    sheet->themeTable =
        reinterpret_cast<TextThemeTable*>(AllocPtrClear(gGenPool, sizeof(TextThemeTable)));
    if (!sheet->themeTable || !AllocTextThemeTable(sheet->themeTable)) return false;
    CopyTextThemeTable(&gDefaultTextThemes, sheet->themeTable);
    if (!(sheet->currentTextStyle = CreateTextStyle(gGenPool, sheet->themeTable->styles[0])))
        return false;
    if (defaults.attributes && defaults.attributeCount > 0) {
        if (!(sheet->attributes = CloneHandle(gGenPool, defaults.attributes))) return false;
        sheet->stored.attributeCount = defaults.attributeCount;
        if (ChangeAttributesStringBlock(sheet->attributes, 0, defaults.attributeCount,
                                        defaults.stringBlock, sheet->stringBlock) != 0)
            return false;
    }
    return (sheet->selectionRegion = VXCreateRgn(nullptr)) != nullptr;
}

void ApplyDefaultSettings(SheetRecord* sheet, const SheetSettings& defaults) {
    sheet->stored.flags = kSheetFlagNewTextFrames | (defaults.flags & kSheetFlagSignalPanel);
    sheet->signalPanelNumber = defaults.signalPanelNumber;
    sheet->stored.printInColour = defaults.printInColour;
    sheet->stored.printScale = defaults.printScale;
    sheet->stored.resolution = kNewSheetResolution;
    sheet->stored.sizeCode = defaults.sizeCode;
    sheet->stored.orientation = defaults.orientation;
    CalcSheetBounds(defaults.sizeCode, defaults.orientation, kNewSheetResolution,
                    &sheet->sheetBounds);
    std::memcpy(sheet->stored.signalPrefix, defaults.signalPrefix, sizeof defaults.signalPrefix);
    sheet->stored.signalPrefix[0] = std::min(sheet->stored.signalPrefix[0], kMaxPrefixLength);
    // The user's digit count holds for every new sheet.
    sheet->stored.signalDigits = uint8_t(std::clamp<uint16_t>(defaults.digits, 1, 9));
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
}

void FreeDefaultSettings(SheetSettings* settings) {
    if (settings->attributes) MemFree(settings->attributes);
    DestroyStringBlock(settings->stringBlock);
    settings->attributes = nullptr;
    settings->stringBlock = nullptr;
    settings->attributeCount = 0;
}

}  // namespace

SheetSettings gDefSheetSettings = kBuiltInSettings;

OSStatus InitSheetDefaults() {
    FreeDefaultSettings(&gDefSheetSettings);
    gDefSheetSettings = kBuiltInSettings;
    gDefSheetSettings.stringBlock = CreateStringBlock(gGenPool, kDefaultsStringBlockGrowth);
    gDefSheetSettings.attributes = AllocHandle(gGenPool, 0);
    if (!gDefSheetSettings.stringBlock || !gDefSheetSettings.attributes) {
        FreeDefaultSettings(&gDefSheetSettings);
        return status::kOutOfMemory;
    }
    AddDefaultSheetAttribute("DrawingTitle", "{SheetFile}");
    AddDefaultSheetAttribute("SheetNumber", "1");
    const bool themes = InitDefaultTextThemes(&gDefaultTextThemes);
    return themes && gDefSheetSettings.attributeCount == 2 ? status::kNoErr
                                                           : status::kOutOfMemory;
}

void AddDefaultSheetAttribute(const char* name, const char* value) {
    SheetSettings& defaults = gDefSheetSettings;
    if (!defaults.stringBlock || !defaults.attributes) return;
    auto count = int16_t(defaults.attributeCount);
    SetAttributeValue(defaults.stringBlock, defaults.attributes, 0, &count, name, value, nullptr);
    defaults.attributeCount = uint16_t(count);
}

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
    if (!MakeSheetParts(sheet, gDefSheetSettings)) {
        DestroySheet(sheet);
        return nullptr;
    }
    ApplyDefaultSettings(sheet, gDefSheetSettings);
    return sheet;
}

void DestroySheet(SheetRecord* sheet) {
    if (!sheet) return;
    sheet->project = nullptr;
    sheet->hierarchyContext = nullptr;
    ReleaseSheetAnnotation(sheet);
    DestroySheetItemIndex(sheet);
    DestroySheetSelectedItems(sheet);
    if (const auto release = GetModelHooks().releaseSheetEditorParts) release(sheet);
    KillTimer(sheet->idleTimer);
    KillTimer(sheet->flashTimer);
    sheet->idleTimer = nullptr;
    sheet->flashTimer = nullptr;
    if (sheet->selectionRegion) VXDestroyRgn(sheet->selectionRegion);
    DestroyBreakOutTable(sheet->breakOutTable);
    DestroyStringBlock(sheet->stringBlock);
    if (sheet->attributes) MemFree(sheet->attributes);
    if (sheet->opaqueData) MemFree(sheet->opaqueData);
    DestroyElementList(sheet->elementList);
    DestroySymbolList(sheet->symbolList);
    DestroyCompList(sheet->componentList);
    DestroySymbolMap(sheet->symbolMap);
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
    if (sheet->fileSymbolList) {
        if (const auto destroy = GetModelHooks().destroyFileSymbolList) destroy(sheet->fileSymbolList);
    }
    VXDestroyPrintRecord(sheet->printRecord);
    if (const auto detach = GetModelHooks().detachSheetWindows) detach(sheet);
    MemFreePtr(reinterpret_cast<Ptr>(sheet));
}

char* RetrieveToolTipMessage(int32_t toolId, char* buffer) {
    struct Tip {
        int32_t id;
        const char* text;
    };
    static constexpr Tip kTips[] = {
        {1, "Place Line"},
        {2, "Place Arrow"},
        {3, "Place Rectangle"},
        {4, "Place Oval"},
        {5, "Place Rounded Rectangle"},
        {6, "Place Arc"},
        {7, "Place Polygon"},
        {8, "Place Pin"},
        {10, "Show Voltage Labels"},
        {11, "Place Voltage Label"},
        {12, "Run/Pause Analysis"},
        {13, "Update Analysis Data"},
        {14, "Select Graph Signals"},
        {64, "Select and Move Objects"},
        {65, "Place Triangle"},
        {128, "Place Text"},
        {2002, "Add Top-Level Sheet(s)"},
        {2004, "Update Hierarchy"},
        {2006, "Select and Move Objects"},
        {2007, "Place Text  [T]"},
        {2017, "Snap-to-Grid Setting"},
        {2018, "Filled Objects Setting"},
        {2019, "Zoom Area"},
        {2020, "Rotate Left"},
        {2021, "Rotate Right"},
        {2022, "Mirror Horizontally"},
        {2023, "Mirror Vertically"},
        {2024, "Place Wire  [W]"},
        {2027, "Place Bus  [B]"},
        {2028, "Library Folders List"},
        {2029, "Place Library Part"},
        {2030, "Module Port Shortcuts"},
        {2031, "Place Sub-Sheet Symbol"},
        {2032, "Power Symbol Shortcuts"},
        {2034, "Search Libraries"},
        {2035, "Search Libraries"},
        {2037, "Project Settings"},
        {2040, "Component Shortcuts"},
        {2048, "Select Outline Width"},
        {2049, "Select Outline Color"},
        {2050, "Select Fill Color"},
        {2053, "Check Project"},
    };
    buffer[0] = 0;
    for (const Tip& tip : kTips)
        if (tip.id == toolId) std::strcpy(buffer, tip.text);
    return buffer;
}

}  // namespace plexa
