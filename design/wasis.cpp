// WAS-IS lists: reading and writing the text, and applying the renames to annotation maps.
#include "design/wasis.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "files/hierarchy.h"
#include "files/instances.h"
#include "files/project.h"
#include "files/sheetspec.h"
#include "foundation/ll.h"
#include "model/annotation.h"

namespace plexa {

namespace {

BackAnnotHooks gHooks;

void Alert(const char* text) {
    if (gHooks.alert) gHooks.alert(text);
}

// One line's tokens; the lexer stands at the start of the next line afterwards.
struct WasIsLexer {
    const char* p;
    const char* end;

    bool AtEnd() const { return p >= end || *p == 0; }
    bool AtLineEnd() const { return AtEnd() || *p == '\r' || *p == '\n'; }
    void SkipLineEnd() {
        if (AtEnd()) return;
        if (*p == '\r') {
            ++p;
            if (p < end && *p == '\n') ++p;
        } else if (*p == '\n') {
            ++p;
        }
    }
    void SkipToLineEnd() {
        while (!AtLineEnd()) ++p;
    }
    // One token into *text; false at the end of the line (or a comment).
    bool ParseRefDes(std::string* text) {
        while (!AtLineEnd() && (*p == ' ' || *p == '\t')) ++p;
        if (AtLineEnd()) return false;
        if (*p == '/' && p + 1 < end && p[1] == '/') {
            SkipToLineEnd();
            return false;
        }
        text->clear();
        const bool quoted = *p == '"';
        if (quoted) ++p;
        while (!AtLineEnd()) {
            const char c = *p;
            if (quoted ? c == '"' : (c == ' ' || c == '\t')) break;
            if (text->size() < size_t(kWasIsTokenMax)) text->push_back(c);
            ++p;
        }
        if (quoted && !AtLineEnd() && *p == '"') ++p;
        return true;
    }
    // The line's first two tokens; true when it had both. The rest of the line is skipped.
    bool ParseWasIsLine(std::string* was, std::string* is) {
        const bool two = ParseRefDes(was) && ParseRefDes(is);
        SkipToLineEnd();
        SkipLineEnd();
        return two;
    }
};

}  // namespace

void SetBackAnnotHooks(const BackAnnotHooks& hooks) { gHooks = hooks; }
const BackAnnotHooks& GetBackAnnotHooks() { return gHooks; }

OSStatus LoadWasIsFile(const char* text, size_t size, WasIsList* list) {
    list->entries.clear();
    WasIsLexer lexer{text, text + size};
    std::string was, is;
    if (!lexer.ParseWasIsLine(&was, &is) || strcasecmp(was.c_str(), "WAS") != 0 ||
        strcasecmp(is.c_str(), "IS") != 0) {
        Alert(kWasIsInvalidMessage);
        return kUserCancelled;
    }
    if (gHooks.showMessage) gHooks.showMessage(kWasIsProcessingMessage);
    while (!lexer.AtEnd() && lexer.ParseWasIsLine(&was, &is)) {
        list->entries.emplace_back(was, is);
        if (gHooks.advanceBusy) gHooks.advanceBusy();
    }
    return list->entries.empty() ? kUserCancelled : status::kNoErr;
}

std::string WriteWasIsText(const WasIsList& list) {
    std::string text = "WAS\tIS\n";
    for (const auto& [was, is] : list.entries) text += "\"" + was + "\"\t\"" + is + "\"\n";
    return text;
}

bool WasToIs(const WasIsList& list, char* text) {
    for (const auto& [was, is] : list.entries) {
        if (strcasecmp(was.c_str(), text) != 0) continue;
        const size_t n = std::min(is.size(), size_t(kAnnotationTextSize - 1));
        std::memcpy(text, is.data(), n);
        text[n] = 0;
        return true;
    }
    return false;
}

void ApplyWasIsToAnnotMapInstance(AnnotationMap* map, int32_t instanceId, const WasIsList& list,
                                  bool* changed) {
    if (!map) return;
    const StringBlock block = GetAnnotationMapStringBlock(map);
    const int32_t count = CountAnnotationMapEntries(map);
    char text[kAnnotationTextSize];
    for (int32_t i = 0; i < count; ++i) {
        AnnotationMapEntry entry;
        if (!GetAnnotationMapEntry(map, i, &entry)) continue;
        // The effective spec only: a pending one, else the saved one.
        AnnotationSpec* spec = FindAnnotSpecInstance(entry.pending, instanceId);
        if (!spec) spec = FindAnnotSpecInstance(entry.saved, instanceId);
        if (!spec || spec->designator == kNoDesignator) continue;
        const int32_t slot = ExtractAnnotationSpec(spec, block, text);
        if (!text[0] || !WasToIs(list, text)) continue;
        if (SetAnnotationMapEntry(map, i, instanceId, text, slot)) *changed = true;
    }
}

namespace {

bool SheetLocal(ProjectRecord* project) {
    return (project->settings.annotationFlags & kAnnotationKeptInSheets) != 0;
}

// The instances of a spec that a hierarchical walk reaches (nodes with no-descent are not
// entered, nor anything below them).
void CollectInstances(SheetNode* node, SheetSpec* spec, std::vector<int32_t>* ids) {
    for (; node; node = node->next) {
        if ((node->flags & kSheetNodeNoDescent) || !node->instance) continue;
        if (node->sheetSpec == spec) ids->push_back(int32_t(node->instance->id));
        CollectInstances(node->firstChild, spec, ids);
    }
}

}  // namespace

OSStatus ApplyWasIsList(ProjectRecord* project, const WasIsList& list) {
    std::vector<SheetSpec*> specs;
    for (auto* spec = static_cast<SheetSpec*>(LLFirst(project->sheetSpecs)); spec; spec = spec->next)
        if (spec->nodeCount > 0) specs.push_back(spec);
    // Load every table first; tables this apply loaded and did not change are freed again.
    std::set<SheetSpec*> loaded;
    OSStatus status = 0;
    for (SheetSpec* spec : specs) {
        const bool had = SheetLocal(project) ? spec->localAnnotation != nullptr : spec->annotationMap != nullptr;
        status = LoadAnnotationTable(project, spec, 0);
        if (status) break;
        if (!had) loaded.insert(spec);
    }
    if (status) {
        for (SheetSpec* spec : loaded) FreeAnnotationTable(project, spec);
        return status;
    }
    for (SheetSpec* spec : specs) {
        AnnotationMap* map = GetSheetSpecAnnotMap(project, spec, false);
        bool changed = false;
        if (SheetLocal(project)) {
            ApplyWasIsToAnnotMapInstance(map, 0, list, &changed);
        } else if (project->hierarchy) {
            std::vector<int32_t> ids;
            CollectInstances(project->hierarchy->first, spec, &ids);
            std::sort(ids.begin(), ids.end());
            ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
            for (int32_t id : ids) ApplyWasIsToAnnotMapInstance(map, id, list, &changed);
        }
        if (changed) {
            ApplyAnnotationMapChanges(map, spec);
            if (gHooks.resetOpenSheet) gHooks.resetOpenSheet(project, spec);
        } else if (loaded.count(spec)) {
            FreeAnnotationTable(project, spec);
        }
    }
    return 0;
}

}  // namespace plexa
