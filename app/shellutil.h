// Small services of the editor's shell that many commands call: the stack of general flags, the
// connection click, lower-casing, the text editor that opens report scripts, and the About box.
// The busy cursor and the maker's About box itself are the toolkit's (toolkit/vx_about.h).
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

struct VXMenuRecord;
struct VXSound;

// ---- General flags ----

// Saves / restores the whole gGenFlags word; a pop without a push leaves it as it is.
void PushGenFlags();
void PopGenFlags();
int32_t GenFlagsDepth();

// ---- The connection click ----

extern VXSound* gClickSound;
// Loads the sound "click" once.
void PrepClickSound();
// With the preferences' connection click on: the click, or a beep without a loaded sound.
void ConnectBeep();

void SetSmallMenuFont(VXMenuRecord* menu);
// Lower-cases ASCII letters of a terminated string in place.
void MakeLowerString(char* text);

// ---- The text editor of report scripts ----
//
// An application is named by its desktop-file id ("org.gnome.TextEditor.desktop"); appSpec
// receives the desktop file's path. The user's choice is stored under the user-defaults key
// "TextEditSupportApp"; without one (or when it is no longer installed) the desktop's default
// application for "text/plain" is taken, else kFallbackTextEditor.
constexpr const char* kTextEditorKey = "TextEditSupportApp";
constexpr const char* kFallbackTextEditor = "org.gnome.TextEditor.desktop";
bool GetTextEditorApplication(std::string* appSpec);
// The application's file name without ".desktop" (at most 127 bytes); with orTextDefault, the
// default text application's when the id names none; else "None" and false.
bool GetApplicationNameForBundleIdentifier(const char* bundleId, bool orTextDefault, std::string* name);
// A file panel titled "Choose Application" offering applications; true when one was chosen.
bool PromptForApplication(std::string* appSpec);

// ---- The About box ----

// Template 1040: the program's name, "Version <version>  for Linux", when it was built, the
// program's icon and the maker's logo; a click or a key ends it.
constexpr uint16_t kEditorAboutTemplate = 1040;
constexpr int16_t kEditorAboutIconItem = 7;
constexpr int32_t kStrProductName = 140, kStrVersionFormat = 141, kStrPlatformSuffix = 142, kStrBuiltFormat = 143;
void ShowAboutDialog();

}  // namespace plexa
