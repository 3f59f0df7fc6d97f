#include "symboleditor/symattributes.h"

#include "model/attributes.h"
#include "model/texts.h"
#include "symboleditor/symrecord.h"

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

void SetSymbolEditorAttributeNavigation(void* editor, VXWindowRecordTag* dialog, uint16_t next, uint16_t previous) {
    const auto& hooks = GetSymbolEditorHooks();
    if (editor && hooks.attributeEditorNavigation) hooks.attributeEditorNavigation(editor, dialog, next, previous);
}

int32_t NavigateIntoSymbolEditorAttributes(void* editor, const VXEventRecord* tabOut) {
    const auto& hooks = GetSymbolEditorHooks();
    if (!editor || !hooks.navigateIntoAttributeEditor) return 0;
    return hooks.navigateIntoAttributeEditor(editor, tabOut);
}

int32_t SymbolEditorAttributeRow(StringBlock block, Handle list, int32_t start, int32_t count, const char* name) {
    if (!list || !name || !*name) return -1;
    char value[kAttributeTextSize];
    uint16_t flags = 0;
    const int16_t found = GetAttributeValue(block, list, uint32_t(start), count, name, value, &flags);
    if (found & kAttributeAbsent) return -1;
    int32_t row = 0;
    for (int32_t i = 0; i < found; ++i) {
        char other[kAttributeTextSize];
        GetIndexedAttribute(block, list, uint32_t(start), i, other, nullptr, nullptr, nullptr);
        if (other[0] != '~') ++row;
    }
    return row;
}

bool EditSymbolEditorAttributeOfText(void* editor, const TextRecord* text, StringBlock block, Handle list,
                                     int32_t start, int32_t count) {
    const auto& hooks = GetSymbolEditorHooks();
    if (!editor || !text || !hooks.editAttributeEditorRow) return false;
    char source[kAttributeTextSize] = "", name[kAttributeTextSize] = "";
    GetTextRecordMacroString(text, block, source, int32_t(sizeof source));
    bool at = false;
    if (!ParseAttrTextName(source, int32_t(sizeof source), name, int32_t(sizeof name), &at)) return false;
    return EditSymbolEditorAttributeRow(editor, SymbolEditorAttributeRow(block, list, start, count, name));
}

bool EditSymbolEditorAttributeRow(void* editor, int32_t row) {
    const auto& hooks = GetSymbolEditorHooks();
    return editor && row >= 0 && hooks.editAttributeEditorRow && hooks.editAttributeEditorRow(editor, row);
}

bool TakeSymbolEditorAttributes(void* editor, Handle* target, int32_t start, int16_t* count, StringBlock block,
                                bool freeWhenEmpty) {
    const auto& hooks = GetSymbolEditorHooks();
    if (!editor || !hooks.takeAttributeEditorData) return false;
    return hooks.takeAttributeEditorData(editor, target, start, count, block, freeWhenEmpty);
}

}  // namespace plexa
