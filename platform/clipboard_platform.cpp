// Plain text and pictures on the system clipboard through the application's clipboard object.
#include "platform/clipboard_platform.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QString>

#include "platform/draw_context.h"
#include "platform/draw_context_qt.h"

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

bool PlatformClipboardSetImage(const DrawImage& picture, std::u16string_view text) {
    QClipboard* clipboard = Clipboard();
    if (!clipboard) return false;
    const QImage& image = DrawImageQImage(picture);
    if (image.isNull()) return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return false;
    // Readers of vector pictures get the same pixels, at the picture's size.
    const QByteArray size = QByteArray::number(image.width()) + "\" height=\"" + QByteArray::number(image.height());
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" +
                           size + "\">\n<image x=\"0\" y=\"0\" width=\"" + size +
                           "\" xlink:href=\"data:image/png;base64," + png.toBase64() + "\"/>\n</svg>\n";
    auto* data = new QMimeData;
    data->setImageData(image);
    data->setData(QStringLiteral("image/png"), png);
    data->setData(QStringLiteral("image/svg+xml"), svg);
    if (!text.empty()) data->setText(QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size())));
    clipboard->setMimeData(data, QClipboard::Clipboard);
    return true;
}

bool PlatformClipboardGetPicture(std::string* png, std::string* svg, std::u16string* text) {
    png->clear();
    svg->clear();
    text->clear();
    QClipboard* clipboard = Clipboard();
    if (!clipboard) return false;
    const QMimeData* data = clipboard->mimeData(QClipboard::Clipboard);
    if (!data) return true;
    if (data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.isNull() && image.save(&buffer, "PNG")) png->assign(bytes.constData(), size_t(bytes.size()));
    } else if (data->hasFormat(QStringLiteral("image/png"))) {
        const QByteArray bytes = data->data(QStringLiteral("image/png"));
        png->assign(bytes.constData(), size_t(bytes.size()));
    }
    if (data->hasFormat(QStringLiteral("image/svg+xml"))) {
        const QByteArray bytes = data->data(QStringLiteral("image/svg+xml"));
        svg->assign(bytes.constData(), size_t(bytes.size()));
    }
    if (data->hasText()) {
        const QString plain = data->text();
        text->assign(reinterpret_cast<const char16_t*>(plain.utf16()), size_t(plain.size()));
    }
    return true;
}

}  // namespace plexa
