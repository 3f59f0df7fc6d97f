#include "sheeteditor/sheetchange.h"

#include "model/sheetstrings.h"
#include "toolkit/vx_alerts.h"

namespace plexa {

bool SheetTextsFit(SheetRecord* sheet, std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        if (const OSStatus st = ReserveSheetString(sheet, text)) {
            VXErrorReport(st);
            return false;
        }
    }
    return true;
}

}  // namespace plexa
