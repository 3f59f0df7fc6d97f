// WAS-IS lists: designator renames read from a text file (or made from an ECO comparison) and
// applied to the annotation maps of every sheet and instance of a project.
//
// WAS-IS text:
//   - lines end with CR, CR LF or LF; the end of the input or a NUL ends the last line;
//   - tokens are separated by blanks and tabs; a token is a run of other characters, or a text
//     between double quotes (blanks allowed, the closing quote consumed); at most 250 characters
//     of a token are kept;
//   - "//" where a token could start comments out the rest of the line;
//   - the first line holds WAS and IS (any case); each following line gives a WAS and an IS
//     designator in its first two tokens (further tokens ignored); the list ends at the first line
//     with fewer than two tokens.
// This program writes "WAS\tIS" and then one line per rename, both designators in double quotes
// and separated by a tab; its lines end with LF.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "foundation/types.h"

namespace plexa {

struct AnnotationMap;
struct ProjectRecord;

constexpr int32_t kWasIsTokenMax = 250;
constexpr OSStatus kUserCancelled = -128;
constexpr const char* kWasIsInvalidMessage =
    "The selected file does not contain a valid WAS-IS listing.";
constexpr const char* kWasIsProcessingMessage = "Processing Was-Is List...";

struct WasIsList {
    std::vector<std::pair<std::string, std::string>> entries;  // {WAS, IS} in file order
};

// What back-annotation needs of the user interface; a higher layer installs it, tests answer.
struct BackAnnotHooks {
    void (*alert)(const char* text) = nullptr;
    void (*showMessage)(const char* text) = nullptr;  // an empty text hides it
    void (*advanceBusy)() = nullptr;
    // Resets the open sheet of a spec after its annotation changed (none when it is not open).
    void (*resetOpenSheet)(ProjectRecord* project, void* sheetSpec) = nullptr;
};
void SetBackAnnotHooks(const BackAnnotHooks& hooks);
const BackAnnotHooks& GetBackAnnotHooks();

// Reads a WAS-IS text. 0 with a list of at least one entry; -128 for an empty list (after the
// alert when the header is not valid).
OSStatus LoadWasIsFile(const char* text, size_t size, WasIsList* list);
// The WAS-IS text of a list of renames.
std::string WriteWasIsText(const WasIsList& list);

// Replaces the text (of up to 255 characters) by the IS of the first entry whose WAS equals it
// ignoring case; true when replaced.
bool WasToIs(const WasIsList& list, char* text);
// Renames the designators of one instance of a map; sets *changed when anything changed.
void ApplyWasIsToAnnotMapInstance(AnnotationMap* map, int32_t instanceId, const WasIsList& list,
                                  bool* changed);
// Applies the list to every sheet spec the hierarchy uses and every instance of it (with
// sheet-local annotation, once per sheet for instance 0). Every annotation table is loaded before
// anything changes: a load failure returns its status with the project unchanged.
OSStatus ApplyWasIsList(ProjectRecord* project, const WasIsList& list);

}  // namespace plexa
