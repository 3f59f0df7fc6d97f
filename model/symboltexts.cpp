// Symbol texts; see symboltexts.h.
#include "model/symboltexts.h"

#include <initializer_list>

#include "foundation/strings.h"

namespace plexa {

namespace {

// Whether the frame's trimmed source text is one of the names.
bool FrameTextIs(TextFrameHandle frame, std::initializer_list<const char*> names) {
    if (!frame || !*frame || (*frame)->textLength > 15) return false;
    char text[33];
    GetTextFrameTextAsString(frame, false, sizeof text, text);
    TrimSpacesC(text);
    for (const char* name : names)
        if (StrCINCmp(text, name, 33) == 0) return true;
    return false;
}

}  // namespace

bool IsSymbolNameTextFrame(TextFrameHandle frame) {
    return FrameTextIs(frame, {"{Name}", "{CompName}"});
}

bool IsRefDesTextFrame(TextFrameHandle frame) { return FrameTextIs(frame, {"{RefDes}"}); }

}  // namespace plexa
