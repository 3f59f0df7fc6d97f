#include "symboleditor/symattributes.h"

#include "symboleditor/symeditor.h"

namespace plexa {

void* SymbolEditorAttributeWindow(VXWindowRecordTag* parent, const Rect* rect, Handle source, int32_t start,
                                  int32_t count, StringBlock block, int32_t kind, bool visibilityColumn,
                                  bool readOnly) {
    const auto& hooks = GetSymbolEditorHooks();
    if (!hooks.attributeEditorWindow) return nullptr;
    return hooks.attributeEditorWindow(parent, rect, source, start, count, block, kind, visibilityColumn, readOnly);
}

void* SymbolEditorAttributePanel(VXWindowRecordTag* panel, Handle source, int32_t start, int32_t count,
                                 StringBlock block, int32_t kind, bool visibilityColumn, bool readOnly) {
    const auto& hooks = GetSymbolEditorHooks();
    if (!hooks.attributeEditorPanel) return nullptr;
    return hooks.attributeEditorPanel(panel, source, start, count, block, kind, visibilityColumn, readOnly);
}

bool TakeSymbolEditorAttributes(void* editor, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                bool freeWhenEmpty) {
    const auto& hooks = GetSymbolEditorHooks();
    if (!editor || !hooks.takeAttributeEditorData) return false;
    return hooks.takeAttributeEditorData(editor, target, start, count, block, freeWhenEmpty);
}

}  // namespace plexa
