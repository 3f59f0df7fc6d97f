// The link between the library editor (library/libeditor.h) and the symbol editors that edit its
// items: installs the library editor's hooks into the symbol editor and the symbol editor's into
// the library editor. The application calls it once at start-up, after the symbol editor's window
// layer has installed its own hooks (the ones set here are added to those).
#pragma once

namespace plexa {

void InstallLibEditorLinks();

}  // namespace plexa
