// The report-script compiler: turns a script text (and the files it includes) into a token stream
// (design/report_tokens.h) for the report interpreter. A lexer feeds the project's LALR engine
// with the grammar of report_script.y; the reductions write the stream and patch its jumps, check
// how loops nest, and splice include files in. The first error ends the compilation and is shown
// once, with the line and a caret under the offending token, through a hook that the editor's
// script error dialog installs (by default it goes to standard error).
//
// This module also owns what the interpreter shares with it: the script error codes and their
// messages, and the nesting rules of loops (`ValidateNest`).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct FileSpec;
struct ProjectRecord;
struct StreamRecord;

// Script error codes.
constexpr OSStatus kScriptBadSyntax = 0x2000000A;
constexpr OSStatus kScriptBadNesting = 0x2000000B;
constexpr OSStatus kScriptBadPins = 0x2000000C;
constexpr OSStatus kScriptBadDescentRules = 0x2000000D;
constexpr OSStatus kScriptBadBreak = 0x2000000E;
constexpr OSStatus kScriptBadBlock = 0x2000000F;
constexpr OSStatus kScriptFileNotFound = 0x20000010;
constexpr OSStatus kScriptIncludesTooDeep = 0x20000011;
constexpr OSStatus kScriptIncludeNotFound = 0x20000012;
constexpr OSStatus kScriptNullName = 0x20000013;
constexpr OSStatus kScriptExit = 0x20000014;  // ends a run normally; no message
constexpr OSStatus kScriptBadAttributesScope = 0x20000015;
// RUN and CALL nested beyond the interpreter's limit (a script that runs itself, a block that
// calls itself).
constexpr OSStatus kScriptNestTooDeep = 0x20000016;
// A string literal longer than the 250 characters a compiled string holds.
constexpr OSStatus kScriptStringTooLong = 0x20000017;
// A run stopped by the user (the cancel hook), or by the run-time limit.
constexpr OSStatus kScriptStopped = 0x20000018;
constexpr OSStatus kScriptTimeLimit = 0x20000019;

// The message of a script error code with its period appended (the file name, cut to 63 bytes,
// goes into the message of kScriptFileNotFound, which has no period), at most size - 1 bytes;
// false and an empty text for a code without a message.
bool GetScriptErrorMessage(OSStatus code, char* text, int32_t size, const char* fileName);

// Iterator bits of the nest bits.
constexpr uint16_t kNestComponents = 1;
constexpr uint16_t kNestNets = 2;
constexpr uint16_t kNestPins = 4;
constexpr uint16_t kNestHierarchy = 8;
constexpr uint16_t kNestPorts = 16;
constexpr uint16_t kNestDescentRules = 32;
constexpr uint16_t kNestAttributes = 64;

// Whether an iterator (one bit above) may open inside the iterators of *nestBits, for
// kNestAttributes of the given attribute kind (kRptPinAttributes ...); adds its bit when it may.
// Otherwise the error code and *nestBits as it was.
OSStatus ValidateNest(uint16_t iteratorBit, uint16_t* nestBits, uint16_t attributesKind);

// ---- Showing errors ----

enum class ScriptErrorKind : uint8_t {
    kScript,  // a script error with its message, line and caret (the script error dialog)
    kStatus,  // a status without a script message (the application's standard error report)
    kAlert,   // another message of the parser (a plain message alert)
};

struct ScriptErrorReport {
    ScriptErrorKind kind;
    OSStatus code;
    const char* message;     // kScript: the code's message; kAlert: the parser's message
    const char* fileName;    // the file of the offending token
    const char* path;        // its full path (to open it in an editor), may be empty
    int32_t line;            // from 1; 0 when unknown
    int32_t column;          // byte offset of the token in its line, from 0
    const char* sourceLine;  // the token's line, at most 199 bytes
    const char* caretLine;   // blanks and "^" under the token; empty when it lies past the line
};

// Shows an error; the editor's dialog installs one that also offers to open the script in the
// user's text editor. Returns the former hook; null restores the default, which writes
// FormatScriptError to standard error.
using ScriptErrorHook = void (*)(const ScriptErrorReport* report);
ScriptErrorHook SetScriptErrorHook(ScriptErrorHook hook);
ScriptErrorHook GetScriptErrorHook();

// "file:line:column: message", then the source line and the caret line, each ended by a new line;
// for kStatus the message is "error <code>". Line ends inside a message become new lines.
std::string FormatScriptError(const ScriptErrorReport& report);

// ---- Include search through the project's path list ----

// Looks for an include file by name among the script folders of the project's path list; true
// with *found set when it is there. Installed by the layer that owns projects; with none (or no
// project) that step of the search is left out.
using ScriptPathListSearch = bool (*)(ProjectRecord* project, const char* name, FileSpec* found);
ScriptPathListSearch SetScriptPathListSearch(ScriptPathListSearch search);

// The path of a script file (an include file, a script to RUN, a file to COPY) named in a script;
// empty when not found. A name holding ":", "/" or "\\" is a path: absolute as it stands, else
// relative to pathBase (none: not found). Any other name is looked for in `folder`, then in the
// project's path list, then in the sub-folders of `folder` (an empty folder: the path list only).
std::string ResolveScriptName(ProjectRecord* project, const std::string& folder,
                              const std::string& pathBase, const std::string& name);

// ---- Compiling ----

// Compiles a script file. 0 and a new handle holding the token stream (the caller frees it with
// MemFree); -128 when an error was found and shown; -108 when memory runs out before the
// compilation starts; the status of opening the file (-43 also for anything but a regular file).
OSStatus TokenizeScript(ProjectRecord* project, const FileSpec* script, Handle* tokens);

// The same over a script already open as a stream (read from its position); `script` names it in
// messages and its folder is where includes are looked for first.
OSStatus TokenizeScriptStream(ProjectRecord* project, const FileSpec* script, StreamRecord* source,
                              Handle* tokens);

}  // namespace plexa
