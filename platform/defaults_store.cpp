// The user-defaults store over QSettings in INI form, one file per user.
#include "platform/defaults_store.h"

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/services_platform.h"

namespace plexa {
namespace {

std::unique_ptr<QSettings>& Holder() {
    static std::unique_ptr<QSettings> settings;
    return settings;
}

// Where the file was kept before the settings shared the preferences' folder.
constexpr const char* kOldFolderName = "Orvix";

std::string FileName() { return std::string(PlatformApplicationName()) + ".conf"; }

// Brings a file of the old place to the settings folder, unless one is there already: renamed,
// or copied and then removed where the two lie on different file systems. The old folder goes
// when nothing else is left in it. A move that fails leaves the old file where it is (and the
// store starts empty), and says so on the standard error.
void MoveOldFile() {
    namespace fs = std::filesystem;
    const fs::path file = DefaultsFilePath(), old = DefaultsOldFilePath();
    std::error_code error;
    if (fs::exists(fs::symlink_status(file, error)) || !fs::is_regular_file(fs::symlink_status(old, error))) return;
    fs::create_directories(file.parent_path(), error);
    if (!error) fs::rename(old, file, error);
    if (error) {
        error.clear();
        if (fs::copy_file(old, file, error) && !error) fs::remove(old, error);
    }
    if (error) {
        std::fprintf(stderr, "%s: cannot move the settings file \"%s\" to \"%s\": %s\n", PlatformApplicationName(),
                     old.c_str(), file.c_str(), error.message().c_str());
        return;
    }
    fs::remove(old.parent_path(), error);  // only when empty
}

QSettings& Store() {
    auto& settings = Holder();
    if (!settings) {
        MoveOldFile();
        settings = std::make_unique<QSettings>(QString::fromStdString(DefaultsFilePath()),
                                               QSettings::IniFormat);
    }
    return *settings;
}

QString Key(const char* key) { return QString::fromUtf8(key ? key : ""); }

}  // namespace

std::string DefaultsFilePath() {
    return PlatformUserFolder(PlatformFolder::kConfig) + "/" + PlatformSettingsFolderName() + "/" + FileName();
}

std::string DefaultsOldFilePath() {
    return PlatformUserFolder(PlatformFolder::kConfig) + "/" + kOldFolderName + "/" + FileName();
}

void DefaultsReload() { Holder().reset(); }

void DefaultsSetInt(const char* key, int32_t value) {
    Store().setValue(Key(key), value);
    Store().sync();
}

bool DefaultsGetInt(const char* key, int32_t* value) {
    QVariant v = Store().value(Key(key));
    bool ok = false;
    int32_t n = v.isValid() ? v.toInt(&ok) : 0;
    if (value) *value = ok ? n : 0;
    return ok;
}

void DefaultsSetString(const char* key, const std::string& value) {
    Store().setValue(Key(key), QString::fromUtf8(value.data(), qsizetype(value.size())));
    Store().sync();
}

bool DefaultsGetString(const char* key, std::string* value) {
    QVariant v = Store().value(Key(key));
    if (!v.isValid()) {
        if (value) value->clear();
        return false;
    }
    if (value) *value = v.toString().toStdString();
    return true;
}

void DefaultsSetBytes(const char* key, const void* bytes, size_t length) {
    Store().setValue(Key(key), QByteArray(static_cast<const char*>(bytes), qsizetype(length)));
    Store().sync();
}

bool DefaultsGetBytes(const char* key, std::string* bytes) {
    QVariant v = Store().value(Key(key));
    if (!v.isValid()) {
        if (bytes) bytes->clear();
        return false;
    }
    QByteArray data = v.toByteArray();
    if (bytes) bytes->assign(data.constData(), size_t(data.size()));
    return true;
}

bool DefaultsHasKey(const char* key) { return Store().contains(Key(key)); }

void DefaultsRemove(const char* key) {
    Store().remove(Key(key));
    Store().sync();
}

}  // namespace plexa
