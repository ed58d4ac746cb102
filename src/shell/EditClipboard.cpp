#include "EditClipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "commands/ClipboardFormats.h"
#include "commands/CommandTable.h"

namespace movigram {

namespace {

QByteArray bytesOf(const std::vector<uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

std::span<const uint8_t> spanOf(const QByteArray& a) {
    return {reinterpret_cast<const uint8_t*>(a.constData()), size_t(a.size())};
}

void put(const ClipboardContent& content) {
    auto* mime = new QMimeData;
    if (!content.heldFrame.empty()) mime->setData(QString::fromLatin1(heldFrameMimeType), bytesOf(content.heldFrame));
    if (!content.bitmap.empty()) {
        QImage image;
        if (image.loadFromData(bytesOf(content.bitmap), "BMP")) mime->setImageData(image);
    }
    if (content.text) mime->setText(QString::fromStdString(*content.text));
    QGuiApplication::clipboard()->setMimeData(mime);
}

// Any image another program offers, as a Windows bitmap file for the core.
QByteArray bitmapOf(const QMimeData& mime) {
    const QImage image = qvariant_cast<QImage>(mime.imageData());
    if (image.isNull()) return {};
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    return image.save(&buffer, "BMP") ? bytes : QByteArray();
}

}  // namespace

void EditClipboard::copy(const Document& doc) {
    if (std::optional<ClipboardContent> content = copyFrame(doc)) put(*content);
}

void EditClipboard::cut(Document& doc) {
    if (std::optional<ClipboardContent> content = cutFrame(doc, undoLabelOf(CommandId::Cut))) put(*content);
}

void EditClipboard::paste(Document& doc, PastePlace place) {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (!mime) return;
    const QString held = QString::fromLatin1(heldFrameMimeType);
    const QByteArray frame = mime->hasFormat(held) ? mime->data(held) : QByteArray();
    // The image too: it stands in when the frame is of a format this
    // version does not read.
    const QByteArray bitmap = mime->hasImage() ? bitmapOf(*mime) : QByteArray();
    PasteSource source{spanOf(frame), spanOf(bitmap), std::nullopt};
    if (mime->hasText()) source.text = mime->text().toStdString();
    const CommandId command = place == PastePlace::AtEnd ? CommandId::PasteAppend : CommandId::Paste;
    pasteFrame(doc, source, place, pasteCounter_, undoLabelOf(command));
}

bool EditClipboard::offersPaste() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && (mime->hasFormat(QString::fromLatin1(heldFrameMimeType)) || mime->hasImage() || mime->hasText());
}

}  // namespace movigram
