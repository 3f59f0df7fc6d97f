// The choices of the Annotate dialog as plain functions over the controls' states: what the
// dialog opens with, the operation the controls make, which controls are enabled, and what OK
// stores into the project.
#include <algorithm>
#include <cstdio>

#include "design/annotate.h"
#include "files/project.h"

namespace plexa {

void SelectAnnotationOperation(AnnotationChoices* choices, uint8_t index, uint16_t mask) {
    if (index < kAnnotCustomOperation) mask = gOperationTable[index];
    choices->clearing = (mask & kAnnotClearAll) ? 2 : (mask & kAnnotClearConflicting) ? 1 : 0;
    choices->resequence = (mask & kAnnotResequence) != 0;
    choices->assign = (mask & kAnnotAssignMissing) != 0;
    choices->operationIndex = DetectAnnotationOperation(*choices, nullptr);
}

uint8_t DetectAnnotationOperation(const AnnotationChoices& choices, uint16_t* mask) {
    uint16_t m = 0;
    if (choices.assign) m |= kAnnotAssignMissing;
    // Resequencing is not offered with clearing all.
    if (choices.resequence && choices.clearing != 2) m |= kAnnotResequence;
    if (choices.clearing == 2) m |= kAnnotClearAll;
    if (choices.clearing == 1) m |= kAnnotClearConflicting;
    if (mask) *mask = m;
    for (uint8_t i = 0; i < kAnnotCustomOperation; ++i)
        if (gOperationTable[i] == m) return i;
    return kAnnotCustomOperation;
}

AnnotationEnables GetAnnotationEnables(const AnnotationChoices& c, bool haveSheet, bool haveSelection) {
    uint16_t mask = 0;
    const uint8_t index = DetectAnnotationOperation(c, &mask);
    AnnotationEnables e{};
    e.ok = mask != 0;
    e.resequence = c.clearing != 2;
    e.keepOrder = c.assign && c.clearing != 0;
    e.resequenceFirst = c.assign && c.resequence && c.clearing != 2;
    e.startNumber = c.resequence || c.assign;
    e.currentSheet = haveSheet;
    e.selectedSymbols = haveSheet && haveSelection;
    e.hierarchyOptions = c.limitHierarchy;
    e.customEntry = index == kAnnotCustomOperation;
    return e;
}

void ClampAnnotationChoices(AnnotationChoices* c) {
    c->startNumber = std::clamp<int32_t>(c->startNumber, 1, kAnnotMaxNumber);
    c->depth = std::clamp<int32_t>(c->depth, 0, kAnnotMaxNumber);
}

AnnotationChoices ChoicesFromSettings(const AnnotationSettings& settings, bool haveSheet, bool haveSelection) {
    AnnotationChoices c;
    uint16_t mask = settings.operationMask;
    if (settings.operationIndex == 0 && mask == 0) mask = kAnnotKeepOrder;
    SelectAnnotationOperation(&c, std::min<uint8_t>(settings.operationIndex, kAnnotCustomOperation), mask);
    std::snprintf(c.prefixFilter, sizeof c.prefixFilter, "%s", settings.prefixFilter);
    c.resequenceFirst = (mask & kAnnotResequenceFirst) != 0;
    c.keepOrder = (mask & kAnnotKeepOrder) != 0;
    c.limitHierarchy = settings.limitHierarchy != 0;
    c.depth = settings.depthLimit;
    c.startNumber = settings.startNumber;
    c.depthFirst = (mask & kAnnotDepthFirst) != 0;
    c.scope = (mask & kAnnotCurrentSheet) ? 1 : 0;
    if (!haveSheet || (c.scope == 2 && !haveSelection)) c.scope = 0;
    ClampAnnotationChoices(&c);
    return c;
}

void StoreAnnotationChoices(const AnnotationChoices& choices, AnnotationSettings* settings) {
    AnnotationChoices c = choices;
    ClampAnnotationChoices(&c);
    settings->startNumber = uint16_t(c.startNumber);
    settings->depthLimit = int16_t(c.depth);
    settings->limitHierarchy = c.limitHierarchy ? 1 : 0;
    std::snprintf(settings->prefixFilter, sizeof settings->prefixFilter, "%s", c.prefixFilter);
    uint16_t mask = 0;
    settings->operationIndex = DetectAnnotationOperation(c, &mask);
    if (c.resequenceFirst) mask |= kAnnotResequenceFirst;
    if (c.keepOrder) mask |= kAnnotKeepOrder;
    if (c.scope == 2) mask |= kAnnotCurrentSheet | kAnnotSelectedSymbols;
    if (c.scope == 1) mask |= kAnnotCurrentSheet;
    if (c.depthFirst) mask |= kAnnotDepthFirst;
    settings->operationMask = mask;
}

}  // namespace plexa
