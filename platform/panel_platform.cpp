// File panels over QFileDialog, and their test seam.
#include "platform/panel_platform.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QFontDialog>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSortFilterProxyModel>

#include <deque>
#include <memory>
#include <optional>

#include "platform/window_platform_qt.h"

namespace plexa {
namespace {

struct Answer {
    bool accept;
    std::vector<std::string> paths;
    std::string folder;
    std::optional<std::string> typed;  // text typed into the name field
};

std::deque<Answer> gAnswers;
bool gScripted = false;
std::optional<PlatformFilePanelRequest> gLastRequest;

std::string ParentFolder(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
}

bool NameMatches(const std::vector<std::string>& filters, const std::string& path) {
    if (filters.empty()) return true;
    const QString name = QFileInfo(QString::fromStdString(path)).fileName();
    for (const std::string& filter : filters) {
        const QRegularExpression pattern(
            QRegularExpression::wildcardToRegularExpression(QString::fromStdString(filter)),
            QRegularExpression::CaseInsensitiveOption);
        if (pattern.match(name).hasMatch()) return true;
    }
    return false;
}

// Hides the files that the request does not let the user choose.
class EnableFilter : public QSortFilterProxyModel {
public:
    explicit EnableFilter(const PlatformFilePanelRequest& request) : request_(request) {}

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        auto* model = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!model) return true;
        const QModelIndex index = model->index(row, 0, parent);
        if (model->isDir(index)) return true;
        return PlatformFilePanelAllows(request_, model->filePath(index).toStdString());
    }

private:
    const PlatformFilePanelRequest& request_;
};

PlatformFilePanelResult Scripted(const PlatformFilePanelRequest& request) {
    PlatformFilePanelResult result;
    result.folder = request.folder;
    if (gAnswers.empty()) return result;
    Answer answer = gAnswers.front();
    gAnswers.pop_front();
    result.accepted = answer.accept;
    if (!answer.folder.empty()) result.folder = answer.folder;
    else if (!answer.paths.empty()) result.folder = ParentFolder(answer.paths.front());
    if (!answer.accept) return result;
    if (answer.typed) {
        if (request.kind == PlatformPanelKind::kOpen) {
            result.paths = PlatformOpenPanelPaths(request, {}, *answer.typed, result.folder);
            if (!request.multiple && result.paths.size() > 1) result.paths.resize(1);
        }
        return result;
    }
    for (const std::string& path : answer.paths) {
        const bool isFolder = QFileInfo(QString::fromStdString(path)).isDir();
        if (request.kind == PlatformPanelKind::kOpen &&
            (isFolder || !PlatformFilePanelAllows(request, path)))
            continue;  // an open panel chooses files only
        if (request.kind == PlatformPanelKind::kChooseFolder && !isFolder) continue;
        result.paths.push_back(path);
        if (request.kind != PlatformPanelKind::kOpen || !request.multiple) break;
    }
    return result;
}

}  // namespace

bool PlatformFilePanelAllows(const PlatformFilePanelRequest& request, const std::string& path) {
    const bool isFolder = QFileInfo(QString::fromStdString(path)).isDir();
    if (!isFolder && !NameMatches(request.nameFilters, path)) return false;
    return !request.enable || request.enable(path, isFolder, request.enableRefcon);
}

std::vector<std::string> PlatformTypedPanelNames(const std::string& text, const std::string& folder) {
    std::vector<std::string> names;
    const QDir base(QString::fromStdString(folder));
    const auto add = [&](const QString& name) {
        const QString trimmed = name.trimmed();
        if (trimmed.isEmpty()) return;
        names.push_back(QDir::cleanPath(base.absoluteFilePath(trimmed)).toStdString());
    };
    const QString typed = QString::fromStdString(text);
    if (!typed.contains(u'"')) {
        add(typed);
        return names;
    }
    // Quoted names; the text between them is ignored.
    qsizetype at = 0;
    for (;;) {
        const qsizetype open = typed.indexOf(u'"', at);
        if (open < 0) break;
        const qsizetype close = typed.indexOf(u'"', open + 1);
        if (close < 0) {
            add(typed.mid(open + 1));  // the last one left open
            break;
        }
        add(typed.mid(open + 1, close - open - 1));
        at = close + 1;
    }
    return names;
}

std::vector<std::string> PlatformOpenPanelPaths(const PlatformFilePanelRequest& request,
                                                const std::vector<std::string>& chosen,
                                                const std::string& typed, const std::string& folder) {
    std::vector<std::string> paths;
    const auto add = [&](const std::string& path) {
        const QFileInfo info(QString::fromStdString(path));
        if (!info.isFile() || !PlatformFilePanelAllows(request, path)) return;
        const std::string absolute = QDir::cleanPath(info.absoluteFilePath()).toStdString();
        for (const std::string& known : paths)
            if (known == absolute) return;
        paths.push_back(absolute);
    };
    const std::vector<std::string> names = PlatformTypedPanelNames(typed, folder);
    if (names.size() > 1) {
        for (const std::string& name : names) add(name);
        for (const std::string& path : chosen) add(path);
    } else {
        for (const std::string& path : chosen) add(path);
        for (const std::string& name : names) add(name);
    }
    return paths;
}

PlatformFilePanelResult PlatformRunFilePanel(const PlatformFilePanelRequest& request) {
    gLastRequest = request;
    if (gScripted) return Scripted(request);

    QFileDialog dialog(nullptr, QString::fromStdString(request.title),
                       QString::fromStdString(request.folder));
    dialog.setOption(QFileDialog::DontResolveSymlinks, false);
    dialog.setOption(QFileDialog::ReadOnly, !request.createFolders);
    switch (request.kind) {
        case PlatformPanelKind::kOpen:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(request.multiple ? QFileDialog::ExistingFiles
                                                : QFileDialog::ExistingFile);
            break;
        case PlatformPanelKind::kSave:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            if (!request.defaultName.empty())
                dialog.selectFile(QString::fromStdString(request.defaultName));
            break;
        case PlatformPanelKind::kChooseFolder:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly, true);
            break;
    }
    if (!request.prompt.empty())
        dialog.setLabelText(QFileDialog::Accept, QString::fromStdString(request.prompt));
    if (request.kind == PlatformPanelKind::kOpen && !request.nameFilters.empty()) {
        QStringList patterns;
        for (const std::string& filter : request.nameFilters) patterns << QString::fromStdString(filter);
        dialog.setNameFilter(patterns.join(' '));
    }
    if (request.kind == PlatformPanelKind::kOpen && request.enable) {
        // The per-file procedure needs the dialog's own file list.
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        auto* filter = new EnableFilter(request);
        filter->setParent(&dialog);  // goes with the dialog
        dialog.setProxyModel(filter);
    }
    PlatformOwnByKeyWindow(&dialog);
    PlatformFilePanelResult result;
    result.accepted = dialog.exec() == QDialog::Accepted;
    result.folder = dialog.directory().absolutePath().toStdString();
    if (!result.accepted) return result;
    std::vector<std::string> chosen;
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(file.toStdString());
    // The dialog's own reading of typed names depends on its file list being loaded; every
    // name typed counts.
    const auto* nameField = dialog.findChild<QLineEdit*>("fileNameEdit");
    if (request.kind == PlatformPanelKind::kOpen && nameField) {
        result.paths = PlatformOpenPanelPaths(request, chosen, nameField->text().toStdString(), result.folder);
        if (!request.multiple && result.paths.size() > 1) result.paths.resize(1);
    } else {
        result.paths = chosen;
    }
    return result;
}

void TestQueueFilePanelAnswer(bool accept, const std::vector<std::string>& paths,
                              const std::string& folder) {
    gScripted = true;
    gAnswers.push_back({accept, paths, folder, std::nullopt});
}

void TestQueueFilePanelTypedAnswer(const std::string& typed, const std::string& folder) {
    gScripted = true;
    gAnswers.push_back({true, {}, folder, typed});
}

int TestQueuedFilePanelAnswers() { return int(gAnswers.size()); }

const PlatformFilePanelRequest* TestLastFilePanelRequest() {
    return gLastRequest ? &*gLastRequest : nullptr;
}

namespace {
std::deque<std::string> gFontAnswers;
}  // namespace

bool PlatformRunFontPanel(const std::string& initial, std::string* family) {
    if (!gFontAnswers.empty()) {
        *family = gFontAnswers.front();
        gFontAnswers.pop_front();
        return !family->empty();
    }
    QFontDialog dialog(QFont(QString::fromStdString(initial)));
    dialog.setWindowTitle(QStringLiteral("Fonts"));
    PlatformOwnByKeyWindow(&dialog);
    if (dialog.exec() != QDialog::Accepted) return false;
    *family = dialog.selectedFont().family().toStdString();
    return !family->empty();
}

void TestQueueFontPanelAnswer(const std::string& family) { gFontAnswers.push_back(family); }

void TestResetFilePanels() {
    gFontAnswers.clear();
    gAnswers.clear();
    gLastRequest.reset();
    gScripted = false;
}

}  // namespace plexa
