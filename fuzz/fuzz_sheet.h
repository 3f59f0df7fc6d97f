// A sheet record with the lists that the sheet file's blocks read into (a string block, an image
// list, an element list, a file-symbol list), for the fuzz targets of sheet files; freed with the
// object.
#pragma once

#include <cstdlib>

#include "files/filesymbols.h"
#include "fuzz/fuzz_core.h"
#include "foundation/memory.h"
#include "foundation/stringblock.h"
#include "model/elements.h"
#include "model/imagelist.h"
#include "model/sheet.h"

namespace plexa::fuzz {

class FuzzSheet {
public:
    FuzzSheet() {
        StartFuzzCore();
        sheet_.stringBlock = CreateStringBlock(nullptr, 4096);
        sheet_.imageList = CreateLocalImageList();
        sheet_.elementList = CreateElementList(sheet_.imageList);
        sheet_.fileSymbolList = CreateFileSymbolList();
        if (!sheet_.stringBlock || !sheet_.imageList || !sheet_.elementList || !sheet_.fileSymbolList) std::abort();
    }
    ~FuzzSheet() {
        DestroyFileSymbolList(sheet_.fileSymbolList);
        DestroyElementList(sheet_.elementList);
        DestroyImageList(sheet_.imageList);
        DestroyStringBlock(sheet_.stringBlock);
    }
    FuzzSheet(const FuzzSheet&) = delete;
    FuzzSheet& operator=(const FuzzSheet&) = delete;
    SheetRecord* get() { return &sheet_; }

private:
    SheetRecord sheet_{};
};

}  // namespace plexa::fuzz
