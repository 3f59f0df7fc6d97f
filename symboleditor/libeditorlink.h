// The link between the library editor (library/libeditor.h) and the symbol editors that edit its
// items: the library editor's calls in the symbol editor's table and the symbol editor's in the
// library editor's. The composition root puts them there once at start-up, beside the slots the
// symbol editor's window layer fills.
#pragma once

namespace plexa {

struct LibEditorHooks;
struct SymbolEditorHooks;

void AddLibEditorLinks(SymbolEditorHooks& symbol, LibEditorHooks& library);

}  // namespace plexa
