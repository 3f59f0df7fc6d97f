#include "sheeteditor/sheettoolids.h"

#include "library/itemcache.h"
#include "model/sheet.h"

namespace plexa {

uint16_t gShortcutTool = 0;
int32_t gPlaceTransformation = 0;

namespace {

SheetToolsHooks gHooks;

constexpr uint32_t kLibItemBussSymbol = 0x40, kLibItemWireSymbol = 0x200;

int32_t CachedSymbolFlags() {
    CachedLibData data;
    GetCachedLibData(&data);
    return data.item ? int32_t(data.symbolFlags) : 0;
}

}  // namespace

void SetSheetToolsHooks(const SheetToolsHooks& hooks) { gHooks = hooks; }
const SheetToolsHooks& GetSheetToolsHooks() { return gHooks; }


int32_t IsBussLineMode(SheetRecord* sheet) {
    if (!sheet) return 0;
    if (sheet->selectedTool == kDrawToolBuss) return 1;
    if (sheet->selectedTool != kDrawToolLibraryPart) return 0;
    return (CachedSymbolFlags() & kLibItemBussSymbol) ? 1 : 0;
}

int32_t IsSignalWireMode(SheetRecord* sheet) {
    if (!sheet) return 0;
    if (sheet->selectedTool == kDrawToolWire) return 1;
    if (sheet->selectedTool != kDrawToolLibraryPart) return 0;
    const int32_t flags = CachedSymbolFlags();
    return (flags & kLibItemWireSymbol) && !(flags & kLibItemBussSymbol) ? 1 : 0;
}

}  // namespace plexa
