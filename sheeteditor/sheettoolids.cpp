#include "sheeteditor/sheettoolids.h"

namespace plexa {

uint16_t gShortcutTool = 0;
int32_t gPlaceTransformation = 0;

namespace {

SheetToolsHooks gHooks;

}  // namespace

void SetSheetToolsHooks(const SheetToolsHooks& hooks) { gHooks = hooks; }
const SheetToolsHooks& GetSheetToolsHooks() { return gHooks; }

}  // namespace plexa
