// System services and the user-defaults store by their toolkit names.
#include "toolkit/vx_services.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/program.h"
#include "platform/app_platform.h"
#include "platform/defaults_store.h"
#include "platform/input_platform.h"
#include "platform/instance_platform.h"
#include "platform/panel_platform.h"
#include "platform/services_platform.h"
#include "toolkit/vx_app.h"

namespace plexa {
namespace {

constexpr OSStatus kResourceNotFound = -192;

int64_t MicrosOfTicks(uint64_t ticks) { return int64_t((ticks * 1000000 + 59) / 60); }

bool FileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

}  // namespace

struct VXSound {
    std::string path;
};

uint32_t VXGetTicks() {
    if (vx.startDate == 0) return 0;
    int64_t elapsed = PlatformNowMicros() - vx.startDate;
    return elapsed <= 0 ? 0 : uint32_t(uint64_t(elapsed) * 60 / 1000000);
}

uint32_t ElapsedTicksBetween(uint32_t start, uint32_t now) { return now - start; }

uint32_t GetElapsedTicks(uint32_t start) { return ElapsedTicksBetween(start, VXGetTicks()); }

uint32_t VXDelay(uint32_t ticks) {
    uint64_t target = uint64_t(VXGetTicks()) + ticks;
    PlatformBusyWaitUntil(vx.startDate + MicrosOfTicks(target));
    return VXGetTicks();
}

void VXSleep(uint32_t ticks) {
    ++vx.sleepDepth;
    PlatformRunLoop(kPlatformModeDefault, PlatformNowMicros() + MicrosOfTicks(ticks));
    --vx.sleepDepth;
}

bool VXTestKey(uint16_t keyCode) { return PlatformIsKeyDown(keyCode); }

bool VXChooseFontFromPanel(const char* initial, char* family, size_t size) {
    std::string chosen;
    if (!family || size == 0 || !PlatformRunFontPanel(initial ? initial : "", &chosen)) return false;
    std::snprintf(family, size, "%s", chosen.c_str());
    return true;
}

bool VXTestCancelKey() {
    return PlatformIsKeyDown(kPlatformKeyEscape) ||
           (PlatformIsKeyDown(kPlatformKeyCommand) && PlatformIsKeyDown(kPlatformKeyPeriod));
}

void VXBeep() { PlatformBeep(); }

VXSound* VXLoadSound(const char* name) {
    if (!name || !name[0]) return nullptr;
    for (const char* extension : {"wav", "m4a"}) {
        std::string path = VXGetResourceURL(name, -1, extension);
        if (!path.empty()) return new VXSound{path};
    }
    return nullptr;
}

void VXPlaySound(VXSound* sound) {
    if (sound && !PlatformPlaySoundFile(sound->path)) PlatformBeep();
}

void VXReleaseSound(VXSound* sound) { delete sound; }

void VXLog(const char*) {}

OSStatus GetApplicationVersionString(char* buffer) {
    if (!buffer) return status::kParamErr;
    std::string version = PlatformApplicationVersion();
    std::snprintf(buffer, 32, "%s", version.c_str());
    return version.empty() ? kResourceNotFound : status::kNoErr;
}

OSStatus VXGetBundleIdentifier(const char* applicationPath, char* buffer) {
    if (buffer) buffer[0] = 0;
    std::string path = applicationPath ? applicationPath : "";
    if (!FileExists(path)) return status::kNotFound;
    static const std::string kSuffix = ".desktop";
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() <= kSuffix.size() || name.compare(name.size() - kSuffix.size(),
                                                      kSuffix.size(), kSuffix) != 0)
        return status::kUnknownFileKind;
    name.resize(name.size() - kSuffix.size());
    if (buffer) std::snprintf(buffer, 256, "%s", name.c_str());
    return status::kNoErr;
}

std::string VXGetResourceURL(const char* name, int32_t index, const char* extension) {
    if (!name || !name[0]) return {};
    std::string folder = FindResourceDirectory();
    if (folder.empty()) return {};
    std::string file = name;
    if (index >= 0) file += "_" + std::to_string(index);
    if (extension && extension[0]) file += std::string(".") + extension;
    std::string path = folder + "/" + file;
    return FileExists(path) ? path : std::string();
}

OSStatus VXFindAppWithBundleIdentifier(const char* identifier, std::string* outApplication) {
    std::string found = PlatformFindApplication(identifier ? identifier : "");
    if (outApplication) *outApplication = found;
    return found.empty() ? status::kNotFound : status::kNoErr;
}

OSStatus VXFindAppForContentType(const char* contentType, bool, std::string* outApplication) {
    // The desktop's MIME defaults know no roles: the editor and any role answer the same.
    std::string found = PlatformFindApplicationForType(contentType ? contentType : "");
    if (outApplication) *outApplication = found;
    return found.empty() ? status::kNotFound : status::kNoErr;
}

OSStatus VXLaunchDocument(const char* documentPath, const char* applicationPath, bool, bool) {
    std::string document = documentPath ? documentPath : "";
    std::string application = applicationPath ? applicationPath : "";
    if (!document.empty() && !FileExists(document)) return status::kNotFound;
    if (!application.empty() && !FileExists(application)) return status::kNotFound;
    if (document.empty() && application.empty()) return status::kParamErr;
    // A document or application the desktop refuses to start is a failure to report.
    const bool started =
        application.empty()
            ? PlatformOpenURL(document)
            : PlatformOpenWithApplication(application, document.empty() ? std::vector<std::string>{}
                                                                        : std::vector<std::string>{document});
    return started ? status::kNoErr : status::kParamErr;
}

OSStatus VXLaunchURL(const char* urlText) {
    std::string text = urlText ? urlText : "";
    if (text.find(':') == std::string::npos) return status::kParamErr;
    return PlatformOpenURL(text) ? status::kNoErr : status::kParamErr;
}

int32_t VXEnforceSingleAppInstance() {
    return PlatformHandToRunningInstance(PlatformLaunchDocuments(), PlatformLaunchPrints()) ? 0 : 1;
}

void VXStoreIntValueForKey(const char* key, int32_t value) { DefaultsSetInt(key, value); }

int32_t VXGetIntValueForKey(const char* key) {
    int32_t value = 0;
    DefaultsGetInt(key, &value);
    return value;
}

void VXStoreStringValueForKey(const char* key, const char* text) {
    DefaultsSetString(key, text ? text : "");
}

char* VXGetStringValueForKey(const char* key, char* buffer, int32_t size) {
    if (!buffer || size <= 0) return buffer;
    std::string value;
    DefaultsGetString(key, &value);
    size_t length = std::min(value.size(), size_t(size - 1));
    // Never end inside a character: back up over continuation bytes.
    if (length < value.size())
        while (length > 0 && (uint8_t(value[length]) & 0xC0) == 0x80) --length;
    std::memcpy(buffer, value.data(), length);
    buffer[length] = 0;
    return buffer;
}

void VXStoreDataBytesForKey(const char* key, const void* bytes, int32_t length) {
    if (length < 0 || (!bytes && length > 0)) return;
    DefaultsSetBytes(key, bytes, size_t(length));
}

void* VXGetDataBytesForKey(const char* key, void* buffer, int32_t maximum, uint32_t* outLength) {
    if (outLength) *outLength = 0;
    std::string bytes;
    if (!DefaultsGetBytes(key, &bytes)) return nullptr;
    size_t length = std::min<size_t>(bytes.size(), 0xFFFFFFFFu);
    if (maximum > 0) length = std::min(length, size_t(maximum));
    if (!buffer) {
        if (outLength) *outLength = uint32_t(length);  // so the caller can size a buffer
        return nullptr;
    }
    std::memcpy(buffer, bytes.data(), length);
    if (outLength) *outLength = uint32_t(length);
    return buffer;
}

void VXRemoveEntryForKey(const char* key, bool* existed) {
    if (existed) {
        *existed = DefaultsHasKey(key);
        if (!*existed) return;
    }
    DefaultsRemove(key);
}

}  // namespace plexa
