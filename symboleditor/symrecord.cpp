// The symbol editor's hook table and current editor; see symrecord.h.
#include "symboleditor/symrecord.h"

namespace plexa {

SymbolEditorRecord* CurrEdit = nullptr;

namespace {

SymbolEditorHooks gHooks;

}  // namespace

void SetSymbolEditorHooks(const SymbolEditorHooks& hooks) { gHooks = hooks; }
const SymbolEditorHooks& GetSymbolEditorHooks() { return gHooks; }

uint64_t SymbolEditorSectionKey(const SymbolEditorRecord* editor) {
    return uint64_t(reinterpret_cast<uintptr_t>(editor->section));
}

}  // namespace plexa
