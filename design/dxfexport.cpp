// DXF export of a sheet; see dxfexport.h.
#include "design/dxfexport.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/datafile.h"
#include "foundation/filespec.h"
#include "foundation/ll.h"
#include "foundation/strings.h"
#include "graphics/dxf.h"
#include "graphics/grafport.h"
#include "graphics/offscreen.h"
#include "model/drawglobals.h"
#include "model/elements.h"
#include "model/sheet.h"
#include "model/sheetdraw.h"
#include "model/signals.h"
#include "model/busses.h"
#include "model/symboldraw.h"
#include "model/symbols.h"
#include "model/texts.h"
#include "model/waitcursor.h"
#include "model/wires.h"

namespace plexa {

namespace {

DXFExportHooks gHooks;

constexpr const char* kDXFExtension = ".DXF";
constexpr const char* kReplacedExtensions[] = {".ASC", ".PICT", ".DXF", ".SCM", ".SHX"};

void ProgressMessage(const char* message) {
    if (gHooks.progressMessage) gHooks.progressMessage(message);
}

// The conversion state: an off-screen state drawing through the writer's converters.
VXGrafState* OpenConversionState() {
    VXGrafState* graf = VXNewOffScreenState(nullptr);
    if (!graf) return nullptr;
    graf->grafProcs = DXFGetGrafProcs();
    VXSetCurrentGrafState(graf);
    return graf;
}

void CloseConversionState(VXGrafState* graf) {
    if (!graf) return;
    graf->grafProcs = nullptr;
    VXDisposeOffScreenState(graf);
}

// Texts are moved by whole 16-bit steps; a symbol's texts lie within the sheet.
void OffsetText(TextRecord* text, Point by) { OffsetTextElement(text, by.h, by.v); }

// One symbol as a block drawn at the origin, with the visible texts it owns.
void WriteSymbolBlock(DXFPort* dxf, SheetRecord* sheet, SymbolRecord* symbol, VXGrafState* graf) {
    DXFBlockBegin(dxf, int32_t(symbol->serial));
    const Point position = symbol->position;
    // Port markers follow the general flags, which the export clears.
    const bool markers = gGenFlags & kGenPortMarkers;
    if (symbol->flags & kSymbolFlagSheet) {
        symbol->position = {0, 0};
        DrawSymbol(sheet, symbol, sheet->imageList, graf, markers);
        symbol->position = position;
    } else {
        SymbolMapEntry* entry = nullptr;
        GetSymbolInstanceInfo(sheet, symbol, &entry, nullptr, 1);
        if (entry && entry->definition) {
            const bool port = symbol->flags & kSymbolFlagPort;
            const int16_t colour = (symbol->flags & kSymbolFlagBussPort) ? kColorIndexBussPort
                                                                         : kColorIndexPort;
            DXFEnableCenterLineAdjustment(false);
            DrawSymbolGraphics(graf, entry->definition, entry->size, sheet->imageList, {0, 0},
                               port ? colour : kColorIndexPins,
                               port ? colour : kColorIndexGraphics,
                               int32_t(symbol->flags & kSymbolFlagTransform), markers && !port);
            DXFEnableCenterLineAdjustment(true);
        }
    }
    const Point back = {int16_t(-position.v), int16_t(-position.h)};
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;
         text = text->link) {
        if ((text->flags & kTextFlagHidden) || IsTextOwnedBySymbol(text, symbol) <= 0) continue;
        OffsetText(text, back);
        DrawTextElement(text, sheet->stringBlock);
        OffsetText(text, position);
    }
    DXFBlockEnd(dxf);
}

void DrawSheetBody(DXFPort* dxf, SheetRecord* sheet, VXGrafState* graf) {
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = symbol->next) {
        ModelWaitCursor();
        WriteSymbolBlock(dxf, sheet, symbol, graf);
    }
    VXSetCurrentGrafState(graf);
    const int32_t hide = (sheet->stored.flags & kSheetFlagHideElements) ? kGrafSkipHideable : 0;
    DrawGrafElements(sheet->elementList, nullptr, kGrafBackLayer | hide);
    for (auto* symbol = static_cast<SymbolRecord*>(LLFirst(sheet->symbolList)); symbol;
         symbol = symbol->next) {
        const _LPNT at = {symbol->position.v, symbol->position.h};
        DXFBlockReference(dxf, int32_t(symbol->serial), &at);
    }
    for (auto buss = static_cast<BussHandle>(LLFirst(sheet->bussList)); buss;
         buss = static_cast<BussHandle>(LLGetNext(sheet->bussList, buss)))
        DrawWireList((*buss)->wires, nullptr, true);
    for (auto signal = static_cast<SignalHandle>(LLFirst(sheet->signalList)); signal;
         signal = static_cast<SignalHandle>(LLGetNext(sheet->signalList, signal))) {
        DrawWireList((*signal)->wires, sheet->breakOutTable, true);
        DrawSignalJunctions(signal, 0, nullptr);
    }
    DrawGrafElements(sheet->elementList, nullptr, kGrafFrontLayer | hide);
    DrawSheetTextFrames(sheet, graf, nullptr);
    for (auto* text = static_cast<TextRecord*>(LLFirst(sheet->textList)); text;
         text = text->link) {
        if ((text->flags & kTextFlagHidden) || IsTextOwnedBySymbol(text, nullptr) != 0) continue;
        DrawTextElement(text, sheet->stringBlock);
    }
}

}  // namespace

void SetDXFExportHooks(const DXFExportHooks& hooks) { gHooks = hooks; }
const DXFExportHooks& GetDXFExportHooks() { return gHooks; }

void MakeDXFExportName(const char* name, char* out, int32_t size) {
    if (!out || size <= 0) return;
    std::string base = name ? name : "";
    for (const char* extension : kReplacedExtensions) {
        if (NameHasExtension(base.c_str(), extension)) {
            base.resize(base.size() - std::strlen(extension));
            break;
        }
    }
    const auto room = size - int32_t(std::strlen(kDXFExtension));
    if (room <= 0) {
        out[0] = 0;
        return;
    }
    std::snprintf(out, size_t(size), "%s", base.c_str());
    TruncateUTF8ForByteSize(out, room);
    std::strcat(out, kDXFExtension);
}

OSStatus DXFOpenProc(DXFPort* state, int16_t operation, int32_t* value, int32_t count,
                     void* data) {
    if (!state) return status::kParamErr;
    switch (operation) {
        case kDXFOpen:
            ProgressMessage(kDXFExportMessage);
            if (value) *value = 1;
            return status::kNoErr;
        case kDXFClose:
            ProgressMessage(nullptr);
            return DXFDefaultIOProc(state, operation, value, count, data);
        default:
            return DXFDefaultIOProc(state, operation, value, count, data);
    }
}

OSStatus WriteDXFSheet(SheetRecord* sheet, const FileSpec* spec) {
    if (!sheet || !spec) return status::kParamErr;
    LRect page;
    page.top = sheet->sheetBounds.top;
    page.left = sheet->sheetBounds.left;
    page.bottom = sheet->sheetBounds.bottom;
    page.right = sheet->sheetBounds.right;
    const double scale = sheet->stored.resolution ? sheet->stored.resolution : kNewSheetResolution;
    DXFPort dxf;
    if (!DXFBegin(&page, scale, DXFOpenProc, &dxf)) {
        // The output's own failure when it has one. Kept in the output, so that ending it (which
        // takes the message down) writes nothing.
        if (dxf.status == 0) dxf.status = status::kFileNotOpen;
        const OSStatus failed = dxf.status;
        (void)DXFEnd(&dxf);  // the output's failure is the one reported
        return failed;
    }

    FileSpec file = *spec;
    DataFileRef ref = 0;
    OSStatus result = CreateDataFile(&file, kDXFFileCreator, kDXFFileType, false);
    if (result == 0) result = OpenDataFile(&file, false, &ref);
    if (result == 0 && (result = SetFileEOF(ref, 0)) != 0) {
        (void)CloseAndOrFlushDataFile(ref, true, false);  // the truncation status is the one reported
        ref = 0;
    }
    if (result == 0) {
        dxf.fileRef = ref;
        VXGrafState* previous = VXGetCurrentGrafState();
        VXGrafState* graf = OpenConversionState();
        if (graf) {
            const uint32_t savedFlags = gGenFlags;
            gGenFlags = (gGenFlags & ~(kGenColorDrawing | kGenPortMarkers | kGenDXFExport)) |
                        kGenDXFExport;
            DrawSheetBody(&dxf, sheet, graf);
            gGenFlags = savedFlags;
            VXSetCurrentGrafState(previous);
            CloseConversionState(graf);
        } else {
            result = status::kOutOfMemory;
        }
    }
    // Nothing more may be written after a failure here: the output keeps it, so that ending it
    // only closes (the file is not open, which closes nothing).
    if (result != 0 && dxf.status == 0) dxf.status = result;
    const OSStatus ended = DXFEnd(&dxf);
    return result != 0 ? result : ended;
}

}  // namespace plexa
