// Small platform services by their toolkit names: ticks, waiting, the keyboard, sounds, the
// application and other applications, documents and URLs, resources, and the key/value store over
// the user-defaults file.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/types.h"

namespace plexa {

uint32_t VXGetTicks();
// Ticks from start to now across the 32-bit wrap: (now - start) mod 2^32.
uint32_t GetElapsedTicks(uint32_t start);
uint32_t ElapsedTicksBetween(uint32_t start, uint32_t now);
// Busy-waits (no events run) until the tick count reaches now plus ticks; returns the count.
uint32_t VXDelay(uint32_t ticks);
// Runs the run loop in the default mode until the ticks have passed (at least one pass).
void VXSleep(uint32_t ticks);

bool VXTestKey(uint16_t keyCode);
bool VXTestCancelKey();
// The system's font panel, starting at the family: true with the family chosen (at most size - 1
// bytes), false when it was cancelled.
bool VXChooseFontFromPanel(const char* initial, char* family, size_t size);
void VXBeep();
struct VXSound;
// The sound resource of that name ("wav", else "m4a"); none when neither exists.
VXSound* VXLoadSound(const char* name);
void VXPlaySound(VXSound* sound);
void VXReleaseSound(VXSound* sound);
void VXLog(const char* message);

// The application's version text into a 32-byte buffer; -192 (and an empty text) when none.
OSStatus GetApplicationVersionString(char* buffer);
// The application id of the application at a path (a desktop file) into a 256-byte buffer.
OSStatus VXGetBundleIdentifier(const char* applicationPath, char* buffer);
// The path of a resource: the name itself when index < 0, else "name_index", with the extension;
// empty when there is no such resource.
std::string VXGetResourceURL(const char* name, int32_t index, const char* extension);

OSStatus VXFindAppWithBundleIdentifier(const char* identifier, std::string* outApplication);
OSStatus VXFindAppForContentType(const char* contentType, bool editorOnly,
                                 std::string* outApplication);
// Opens a document with an application, or with the desktop's choice, or starts the application
// alone. The status tells whether the document and the application could be named, not how the
// launch went. `activate` and `print` are not honoured: the desktop has no way to ask another
// application to print a document it opens, so a print request only opens the document, and the
// desktop decides whether the application comes to the front.
OSStatus VXLaunchDocument(const char* documentPath, const char* applicationPath, bool activate,
                          bool print);
OSStatus VXLaunchURL(const char* urlText);
// Keeps one running instance of the application per user (platform/instance_platform.h). Run from
// the start-up hook: 0 after this launch's documents were handed to the running instance, which
// comes to the front (the hook then fails, so that this process takes no documents and ends);
// 1 when there is none, and this process becomes the one that later launches hand theirs to.
int32_t VXEnforceSingleAppInstance();

void VXStoreIntValueForKey(const char* key, int32_t value);
int32_t VXGetIntValueForKey(const char* key);
void VXStoreStringValueForKey(const char* key, const char* text);
// The string into the buffer, cut to the size on a UTF-8 character boundary and NUL-terminated;
// an empty text when absent.
char* VXGetStringValueForKey(const char* key, char* buffer, int32_t size);
// Stores a byte block. A negative length stores nothing.
void VXStoreDataBytesForKey(const char* key, const void* bytes, int32_t length);
// Reads a byte block into the buffer, at most `maximum` bytes when maximum > 0. Returns the
// buffer; none when the key is absent (length 0) or when no buffer is given (the length then
// tells the size the block needs).
void* VXGetDataBytesForKey(const char* key, void* buffer, int32_t maximum, uint32_t* outLength);
// Removes the key; with `existed`, only an existing key is removed and the answer says so.
void VXRemoveEntryForKey(const char* key, bool* existed);

}  // namespace plexa
