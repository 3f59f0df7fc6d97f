// Plain text on the system clipboard through the application's clipboard object.
#include "platform/clipboard_platform.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QPainter>
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

bool PlatformClipboardSetPicture(const PlatformClipPicture& picture, std::string_view svg,
                                 std::u16string_view text) {
    QClipboard* clipboard = Clipboard();
    if (!clipboard || picture.width <= 0 || picture.height <= 0) return false;
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    if (image.isNull()) return false;
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 1));
        for (const auto& l : picture.lines) painter.drawLine(l.x0, l.y0, l.x1, l.y1);
        for (const auto& b : picture.boxes) painter.drawRect(b.left, b.top, b.right - b.left, b.bottom - b.top);
        painter.setBrush(Qt::black);
        for (const auto& d : picture.dots) painter.drawEllipse(QPoint(d.x, d.y), 2, 2);
        for (const auto& t : picture.labels)
            painter.drawText(t.x, t.y, QString(reinterpret_cast<const QChar*>(t.text.data()), qsizetype(t.text.size())));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return false;
    auto* data = new QMimeData;
    data->setImageData(image);
    data->setData(QStringLiteral("image/png"), png);
    if (!svg.empty()) data->setData(QStringLiteral("image/svg+xml"), QByteArray(svg.data(), qsizetype(svg.size())));
    data->setText(QString(reinterpret_cast<const QChar*>(text.data()), qsizetype(text.size())));
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
