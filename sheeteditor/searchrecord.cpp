#include "sheeteditor/searchrecord.h"

#include "files/sheetstore.h"
#include "model/sheet.h"

namespace plexa {

void SearchReleaseLoadedSheet(SearchRecord* lv) {
    SheetRecord* loaded = lv->loadedSheet;
    lv->loadedSheet = nullptr;
    if (!loaded || loaded->window) return;
    if (lv->sheet == loaded) lv->sheet = nullptr;
    StoreReleaseSheet(loaded);
}

void SearchClearPosition(SearchRecord* lv) {
    lv->nextText = nullptr;
    lv->nextFrame = nullptr;
    lv->nextSymbol = nullptr;
    lv->signal = nullptr;
    lv->nextWire = nullptr;
    lv->textsDone = false;
    lv->listStarted = false;
    lv->sheetStarted = false;
}

void SearchReset(SearchRecord* lv, bool forgetSheet) {
    if (!lv) return;
    SearchClearPosition(lv);
    lv->stepInstances = 0;
    if (forgetSheet) {
        SearchReleaseLoadedSheet(lv);
        lv->sheet = nullptr;
        lv->instance = nullptr;
        lv->node = nullptr;
    }
}

}  // namespace plexa
