// The platform's small services over Qt and the XDG conventions.
#include "platform/services_platform.h"
#include "platform/script_platform.h"
#include "platform/testseam_platform.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include <cstdlib>

namespace plexa {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string Home() {
    const char* home = std::getenv("HOME");
    return home && home[0] ? std::string(home) : QDir::homePath().toStdString();
}

std::string XDG(const char* variable, const char* fallback) {
    std::string value = Env(variable);
    if (!value.empty()) return value;
    std::string home = Home();
    return home.empty() ? std::string() : home + "/" + fallback;
}

std::string StandardOr(QStandardPaths::StandardLocation location, const std::string& fallback) {
    QString path = QStandardPaths::writableLocation(location);
    return path.isEmpty() ? fallback : path.toStdString();
}

// The command of a desktop file's Exec line with its field codes replaced by the documents.
QStringList DesktopCommand(const QString& desktopFile, const QStringList& documents) {
    QFile file(desktopFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    QString exec;
    bool inEntry = false;
    while (!file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith('[')) inEntry = line == QStringLiteral("[Desktop Entry]");
        else if (inEntry && line.startsWith(QStringLiteral("Exec="))) exec = line.mid(5);
    }
    QStringList command;
    bool placed = false;
    for (const QString& word : QProcess::splitCommand(exec)) {
        if (word == "%f" || word == "%u") {
            if (!documents.isEmpty()) command << documents.first();
            placed = true;
        } else if (word == "%F" || word == "%U") {
            command << documents;
            placed = true;
        } else if (word.size() == 2 && word[0] == '%') {
            continue;  // %i, %c, %k and the deprecated codes
        } else {
            command << word;
        }
    }
    if (!placed && !command.isEmpty()) command << documents;
    return command;
}

// The desktop file named for the MIME type in the "[Default Applications]" group of the
// desktop's mimeapps.list files, most personal first (the configuration folders, then the
// applications folders); empty when none names one that is installed.
std::string DefaultApplicationFromLists(const QString& mimeType) {
    QStringList lists;
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation))
        lists << folder + QStringLiteral("/mimeapps.list");
    for (const QString& folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        lists << folder + QStringLiteral("/mimeapps.list") << folder + QStringLiteral("/defaults.list");
    for (const QString& path : lists) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) continue;
        bool inGroup = false;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (line.startsWith(QLatin1Char('['))) {
                inGroup = line == QStringLiteral("[Default Applications]");
                continue;
            }
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            if (!inGroup || equals <= 0 || line.left(equals).trimmed() != mimeType) continue;
            for (const QString& id : line.mid(equals + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                std::string found = PlatformFindApplication(id.trimmed().toStdString());
                if (!found.empty()) return found;
            }
        }
    }
    return {};
}

}  // namespace

std::string PlatformUserFolder(PlatformFolder folder) {
    switch (folder) {
        case PlatformFolder::kHome: return Home();
        case PlatformFolder::kConfig: return XDG("XDG_CONFIG_HOME", ".config");
        case PlatformFolder::kData:
        case PlatformFolder::kApplicationSupport: return XDG("XDG_DATA_HOME", ".local/share");
        case PlatformFolder::kCache: return XDG("XDG_CACHE_HOME", ".cache");
        case PlatformFolder::kDocuments:
            return StandardOr(QStandardPaths::DocumentsLocation, Home() + "/Documents");
        case PlatformFolder::kDesktop:
            return StandardOr(QStandardPaths::DesktopLocation, Home() + "/Desktop");
        case PlatformFolder::kTemporary: return QDir::tempPath().toStdString();
    }
    return {};
}

namespace {

struct Identity {
    std::string name = "Plexa";
    std::string displayName = "Plexa";
    std::string identifier = "com.orvix.Plexa";
};

Identity& TheIdentity() {
    static Identity identity;
    return identity;
}

}  // namespace

void PlatformSetApplicationIdentity(const char* name, const char* displayName,
                                    const char* identifier) {
    Identity& identity = TheIdentity();
    if (name && *name) identity.name = name;
    if (displayName && *displayName) identity.displayName = displayName;
    if (identifier && *identifier) identity.identifier = identifier;
}

const char* PlatformApplicationName() { return TheIdentity().name.c_str(); }
const char* PlatformApplicationDisplayName() { return TheIdentity().displayName.c_str(); }
const char* PlatformApplicationIdentifier() { return TheIdentity().identifier.c_str(); }
const char* PlatformSettingsFolderName() { return "plexa"; }

std::string PlatformApplicationVersion() {
#ifdef PLEXA_VERSION
    return PLEXA_VERSION;
#else
    return {};
#endif
}

namespace {
int gBeepCount = 0;
}

void PlatformBeep() {
    ++gBeepCount;
    if (QCoreApplication::instance()) QApplication::beep();
}

int TestBeepCount() { return gBeepCount; }

bool PlatformPlaySoundFile(const std::string& path) {
    const QString file = QString::fromStdString(path);
    for (const char* player : {"paplay", "pw-play", "aplay"}) {
        QString program = QStandardPaths::findExecutable(QString::fromLatin1(player));
        if (!program.isEmpty() && QProcess::startDetached(program, {file})) return true;
    }
    return false;
}

bool PlatformOpenURL(const std::string& url) {
    QUrl target = QUrl::fromUserInput(QString::fromStdString(url), QDir::currentPath(),
                                      QUrl::AssumeLocalFile);
    if (!target.isValid() || target.isEmpty()) return false;
    // A scripted run starts no browser for a web address.
    if (!target.isLocalFile() && PlatformScriptTakesOpenURL(url)) return true;
    return QDesktopServices::openUrl(target);
}

bool PlatformOpenWithApplication(const std::string& application,
                                 const std::vector<std::string>& documents) {
    QStringList files;
    for (const std::string& document : documents) files << QString::fromStdString(document);
    QString app = QString::fromStdString(application);
    QStringList command;
    if (app.endsWith(QStringLiteral(".desktop")))
        command = DesktopCommand(app, files);
    else if (QFileInfo(app).isExecutable())
        command = QStringList{app} + files;
    if (command.isEmpty()) return false;
    QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

std::string PlatformFindApplication(const std::string& identifier) {
    if (identifier.empty() || identifier.find('/') != std::string::npos) return {};
    QString name = QString::fromStdString(identifier);
    if (!name.endsWith(QStringLiteral(".desktop"))) name += QStringLiteral(".desktop");
    QString found = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, name);
    return found.toStdString();
}

std::string PlatformFindApplicationForType(const std::string& mimeType) {
    if (mimeType.empty()) return {};
    QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (!program.isEmpty()) {
        QProcess query;
        query.start(program, {QStringLiteral("query"), QStringLiteral("default"),
                              QString::fromStdString(mimeType)});
        if (query.waitForFinished(3000) && query.exitCode() == 0) {
            std::string id = QString::fromUtf8(query.readAllStandardOutput()).trimmed().toStdString();
            std::string found = PlatformFindApplication(id);
            if (!found.empty()) return found;
        }
    }
    // Without the desktop's query tool: its lists of default applications, read as it reads them.
    return DefaultApplicationFromLists(QString::fromStdString(mimeType));
}

}  // namespace plexa
