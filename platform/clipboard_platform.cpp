// Plain text on the system clipboard through the application's clipboard object.
#include "platform/clipboard_platform.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace plexa {
namespace {

QClipboard* Clipboard() {
    return QGuiApplication::instance() ? QGuiApplication::clipboard() : nullptr;
}

}  // namespace

bool PlatformClipboardSetText(std::u16string_view text) {
    QClipboard* clipboard = Clipboard();
    if (!clipboard) return false;
    clipboard->setText(QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size())),
                       QClipboard::Clipboard);
    return true;
}

bool PlatformClipboardGetText(std::u16string* out) {
    out->clear();
    QClipboard* clipboard = Clipboard();
    if (!clipboard) return false;
    const QString text = clipboard->text(QClipboard::Clipboard);
    if (text.isNull()) return false;
    out->assign(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    return true;
}

}  // namespace plexa
