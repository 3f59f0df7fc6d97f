// The difference analysis of two ECO design states (A the current design, B an ECO file) and the
// ECO log that lists the differences. The analysis marks components deleted, relabelled,
// modified and added, and nets deleted, regrouped, renamed and merged; the category writers put
// them into the log in the order back-annotation shows them.
//
// The log is a text kept in memory while a command runs; a higher layer shows it in the log
// window and saves it. Its lines end with LF.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct DesignStateRecord;
struct WasIsList;

struct ECOLogRecord {
    bool open = false;
    std::string text;
    bool headerLogged = false;
    bool otherDifferences = false;
    bool hasLabelChanges = false;
};
extern ECOLogRecord gECOLog;

void CreateECOLog();
void DestroyECOLog();
// Writes a, b and a line end.
void WriteECOLog(const char* a, const char* b);
// Sets the error flag and writes one line.
void LogDRCError(const char* a, const char* b, bool* errorFlag);
// Pads a text with blanks to 20 characters (one blank for texts of 20 or more).
std::string AddStringPadding(const std::string& text);
// The description of a state: design name, kind and revision time, one line each.
std::string WriteDesignStateInfo(const DesignStateRecord* state);

// Marks both states. `serialLink` links components by their placed symbols.
void DiffAnylise(DesignStateRecord* a, DesignStateRecord* b, bool serialLink);

// The category writers, in the order they are logged.
void LogDeletedComponents(const DesignStateRecord* a);
void LogRelabeledComponents(const DesignStateRecord* a);
void LogUpdatedComponents(const DesignStateRecord* a, const DesignStateRecord* b);
void LogAddedComponents(const DesignStateRecord* b);
void LogDeletedNets(const DesignStateRecord* a);
void LogDetachedPins(const DesignStateRecord* a);
void LogRegroupedPins(const DesignStateRecord* a, const DesignStateRecord* b);
void LogRenamedNets(const DesignStateRecord* a, const DesignStateRecord* b);
void LogCombinedNets(const DesignStateRecord* a, const DesignStateRecord* b);
void LogAttachedPins(const DesignStateRecord* b);
// Resets the log state and writes every category.
void LogAllDifferences(const DesignStateRecord* a, const DesignStateRecord* b);

// The renames of the relabelled components of A (old designator -> new designator).
void CollectRelabels(const DesignStateRecord* a, WasIsList* list);

}  // namespace plexa
