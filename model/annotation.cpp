// Annotation maps; see annotation.h.
#include "model/annotation.h"

namespace plexa {

int32_t GetSymbolAnnotation(SheetRecord*, uint32_t, char* text) {
    if (text) text[0] = 0;
    return -1;
}

int32_t SetSymbolAnnotation(SheetRecord*, uint32_t, const char*, int32_t) { return 0; }

}  // namespace plexa
