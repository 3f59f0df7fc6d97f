// The attribute editor's private list and its rules.
#include "sheeteditor/attributeeditor.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "foundation/memory.h"
#include "foundation/strings.h"
#include "model/attributes.h"
#include "sheeteditor/propertynames.h"
#include "toolkit/vx_alerts.h"
#include "toolkit/vx_menus.h"

namespace plexa {
namespace {

std::string SpecText(StringSpec spec, StringBlock block) {
    char buffer[kStringSpecBufferSize] = {};
    ExtractStringSpec(spec, block, buffer, int32_t(sizeof buffer));
    return buffer;
}

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.back())) s.pop_back();
    size_t i = 0;
    while (i < s.size() && blank(s[i])) i++;
    return s.substr(i);
}

// Characters of UTF-8 text (continuation bytes not counted).
int32_t CountCharacters(const std::string& text) {
    return int32_t(std::count_if(text.begin(), text.end(), [](char c) { return (uint8_t(c) & 0xC0) != 0x80; }));
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && StrCINCmp(a.c_str(), b.c_str(), uint16_t(std::min<size_t>(a.size(), 0xFFFF))) == 0;
}

// Alphanumeric order: runs of digits compared by value, the rest ignoring case.
bool AlnumLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (std::isdigit(uint8_t(a[i])) && std::isdigit(uint8_t(b[j]))) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(uint8_t(a[ei]))) ei++;
            while (ej < b.size() && std::isdigit(uint8_t(b[ej]))) ej++;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        const int ca = std::toupper(uint8_t(a[i])), cb = std::toupper(uint8_t(b[j]));
        if (ca != cb) return ca < cb;
        i++;
        j++;
    }
    return a.size() - i < b.size() - j;
}

void RestoreTrailingRow(AttributeEditor* editor) {
    if (editor->rows.empty() || !editor->rows.back().name.empty() || !editor->rows.back().value.empty())
        editor->rows.push_back({});
}

bool Refuse(const char* message) {
    VXDisplayMessage(message);
    return false;
}

}  // namespace

AttributeEditor* CreateAttributeEditor(StringBlock sourceBlock, Handle source, uint32_t start, int32_t count,
                                       int32_t listKind, bool readOnly) {
    auto* editor = new AttributeEditor{};
    editor->listKind = uint16_t(listKind);
    editor->readOnly = readOnly;
    if (source && sourceBlock) {
        const int32_t readable = std::min<int32_t>(count, int32_t((SizeOfHandle(source) - std::min(start, SizeOfHandle(source))) / kAttributeSize));
        for (int32_t i = 0; i < readable; i++) {
            AttributeRecord r;
            std::memcpy(&r, *source + start + uint32_t(i) * kAttributeSize, kAttributeSize);
            std::string name = Trimmed(SpecText(r.name, sourceBlock).c_str());
            if (name.empty() || name[0] == '~') continue;
            if (std::any_of(editor->rows.begin(), editor->rows.end(),
                            [&](const AttributeEditorRow& row) { return SameName(row.name, name); }))
                continue;
            editor->rows.push_back({name, SpecText(r.value, sourceBlock), r.flags});
        }
    }
    editor->rows.push_back({});
    editor->namesMenu = CreatePropertyNamesMenu(listKind);
    return editor;
}

void DestroyAttributeEditor(AttributeEditor* editor) {
    if (!editor) return;
    if (editor->namesMenu) VXDestroyMenuEx(editor->namesMenu, true);
    delete editor;
}

std::string GetAttributeEditorName(const AttributeEditor* editor, int32_t row) {
    if (!editor || row < 0 || row >= int32_t(editor->rows.size())) return {};
    return editor->rows[size_t(row)].name;
}

std::string GetAttributeEditorValue(const AttributeEditor* editor, int32_t row) {
    if (!editor || row < 0 || row >= int32_t(editor->rows.size())) return {};
    return editor->rows[size_t(row)].value;
}

bool IsAttributeNameCharacter(uint32_t c) {
    return c != '`' && c != '{' && c != '}' && c != '~' && c != ' ' && c != '\t' && c != 0xA0;
}

std::string AttributeNamePasteFilter(const std::string& pasted) {
    std::string out;
    for (char c : pasted) {
        switch (c) {
            case '`': out += '\''; break;
            case '{': out += '<'; break;
            case '}': out += '>'; break;
            case '~': out += '^'; break;
            case ' ': case '\t': out += '_'; break;
            default: out += c;
        }
    }
    return out;
}

int32_t CommitAttributeField(AttributeEditor* editor, int32_t row, int32_t column, const char* text) {
    if (!editor || editor->readOnly || row < 0 || row >= int32_t(editor->rows.size())) return 0;
    AttributeEditorRow& entry = editor->rows[size_t(row)];
    const std::string typed = Trimmed(text);
    if (column == 1) {
        if (typed == entry.value) return 1;
        if (CountCharacters(typed) > kMaxAttributeValueChars)
            return Refuse("An attribute value can hold at most 1000 characters.");
        if (typed.size() > kStringSpecMaxLength)
            return Refuse("This attribute value is too long to be stored: it takes more than 1023 bytes.");
        entry.value = typed;
    } else {
        if (typed.empty() || typed == entry.name) return 1;
        if (CountCharacters(typed) > kMaxAttributeNameChars)
            return Refuse("An attribute name can hold at most 200 characters.");
        if (!std::all_of(typed.begin(), typed.end(), [](char c) { return IsAttributeNameCharacter(uint8_t(c)); }))
            return Refuse("An attribute name cannot hold blanks or the characters ` { } ~.");
        entry.name = typed;
    }
    editor->changed = 1;
    RestoreTrailingRow(editor);
    return 1;
}

std::string AutoCompleteAttributeName(const AttributeEditor* editor, int32_t row, const char* typed) {
    if (!editor || !typed || !*typed) return {};
    const size_t n = std::strlen(typed);
    std::string best;
    const int32_t kind = editor->listKind;
    if (kind < 0 || kind >= kPropertyNamesKinds || !editor->namesMenu) return {};
    for (const std::string& name : gPropertyNamesTable[kind]) {
        if (name.size() <= n || StrCINCmp(name.c_str(), typed, uint16_t(n)) != 0) continue;
        bool used = false;
        for (size_t r = 0; r < editor->rows.size() && !used; r++)
            used = int32_t(r) != row && SameName(editor->rows[r].name, name);
        if (used) continue;
        if (best.empty() || AlnumLess(name, best)) best = name;
    }
    return best;
}

void DeleteUserAttributes(Handle list, uint32_t start, int16_t* count, StringBlock block) {
    if (!list || !count) return;
    for (int32_t i = *count - 1; i >= 0; i--) {
        if (start + uint32_t(i + 1) * kAttributeSize > SizeOfHandle(list)) continue;
        AttributeRecord r;
        std::memcpy(&r, *list + start + uint32_t(i) * kAttributeSize, kAttributeSize);
        if (SpecText(r.name, block).rfind('~', 0) != 0) DeleteIndexedAttribute(list, start, count, i);
    }
}

Handle GetAttributeEditorData(AttributeEditor* editor, Handle target, uint32_t start, int16_t* targetCount,
                              StringBlock targetBlock, bool freeWhenEmpty) {
    if (!editor || !targetCount || !targetBlock) return target;
    if (target) DeleteUserAttributes(target, start, targetCount, targetBlock);
    else {
        target = AllocHandle(gGenPool, 0);
        *targetCount = 0;
        if (!target) return nullptr;
    }
    for (const AttributeEditorRow& row : editor->rows) {
        if (row.name.empty()) continue;
        const uint16_t flags = row.flags;
        SetAttributeValue(targetBlock, target, start, targetCount, row.name.c_str(),
                          row.value.empty() ? kAttributeEmptyValue : row.value.c_str(), &flags);
    }
    if (freeWhenEmpty && *targetCount == 0) {
        MemFree(target);
        return nullptr;
    }
    return target;
}

}  // namespace plexa
