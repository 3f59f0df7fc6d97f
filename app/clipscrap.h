// The picture of the private clip on the system clipboard, written after every Cut and Copy of a
// sheet or a symbol editor.
#pragma once

#include <cstdint>

namespace plexa {

// Draws the private clip's items into a pixel image of their bounds grown by 16 on every side and
// writes it to the system clipboard (with the sheet clip's plain text beside it); items whose
// bounds are empty write nothing. Records the clipboard's change reference in every case, so
// that the private clip stays the one to paste. Returns 0.
int32_t PrivateClipToScrap();

}  // namespace plexa
