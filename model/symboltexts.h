// Symbol texts: the texts and frames that show a symbol's name and designator, their placement,
// the Hide/Show Text command and in-place editing of frames. Here: the tests that tell a symbol
// editor's name and designator frames.
#pragma once

#include "model/textframes.h"

namespace plexa {

// True for a frame whose source text (its first 32 characters), trimmed of blanks, is "{Name}"
// or "{CompName}" (name) or "{RefDes}" (designator), without regard to case; a frame longer than
// 15 characters never matches.
bool IsSymbolNameTextFrame(TextFrameHandle frame);
bool IsRefDesTextFrame(TextFrameHandle frame);

}  // namespace plexa
