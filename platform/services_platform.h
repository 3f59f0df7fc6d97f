// Small services of the desktop platform: the user's folders (XDG), the application's identity
// and resources, sounds, and handing documents and URLs to other applications.
//
// On this platform an application is named by its desktop-file id ("com.orvix.Plexa") where the
// toolkit speaks of a bundle identifier, a content type is a MIME type, and other applications
// are started the way xdg-open does it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plexa {

enum class PlatformFolder : uint8_t {
    kHome,
    kConfig,              // $XDG_CONFIG_HOME, else ~/.config
    kData,                // $XDG_DATA_HOME, else ~/.local/share
    kCache,               // $XDG_CACHE_HOME, else ~/.cache
    kApplicationSupport,  // the user's data folder (the application's own folders go below it)
    kDocuments,
    kDesktop,
    kTemporary,
};

// The folder's absolute path (not created). Empty when the home folder is unknown.
std::string PlatformUserFolder(PlatformFolder folder);

// The application's identity: its name, its display name and its desktop-file id. The name also
// names the user-defaults file. "Plexa" unless the program sets its own before launch (an empty
// or missing text keeps that part).
void PlatformSetApplicationIdentity(const char* name, const char* displayName,
                                    const char* identifier);
const char* PlatformApplicationName();
const char* PlatformApplicationDisplayName();
const char* PlatformApplicationIdentifier();
// The program's folder under the user's config folder, where its settings live: "plexa".
const char* PlatformSettingsFolderName();
// The application's version text, empty when the build has none.
std::string PlatformApplicationVersion();

// The system beep.
void PlatformBeep();
// Plays a sound file without waiting; false when no player could be started.
[[nodiscard]] bool PlatformPlaySoundFile(const std::string& path);

// Opens a URL (or a file path) the way the desktop does (xdg-open); false when refused. While a
// test script plays, only its log hears of a web address (script_platform.h).
[[nodiscard]] bool PlatformOpenURL(const std::string& url);
// Opens documents with an application: a desktop file or a program's path. With no documents,
// starts the application alone. False when it cannot be started.
[[nodiscard]] bool PlatformOpenWithApplication(const std::string& application,
                                               const std::vector<std::string>& documents);
// The desktop file of an application id, searched in the XDG data folders; empty when none.
std::string PlatformFindApplication(const std::string& identifier);
// The desktop file of the default application for a MIME type (as xdg-mime answers, else as the
// desktop's mimeapps.list files name it); empty when none.
std::string PlatformFindApplicationForType(const std::string& mimeType);

}  // namespace plexa
