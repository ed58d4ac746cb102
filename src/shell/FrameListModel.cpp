#include "FrameListModel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "FramePainter.h"
#include "document/Compose.h"
#include "document/ViewerCanvas.h"

namespace movigram {

namespace {

QRgb checker(int x, int y) { return ((x / 4 + y / 4) & 1) ? qRgb(0xff, 0xff, 0xff) : qRgb(0xd9, 0xd9, 0xd9); }

QImage commentThumbnail(QSize size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const QRect page(size.width() / 2 - 9, 3, 18, size.height() - 6);
    painter.fillRect(page, Qt::white);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(page.adjusted(0, 0, -1, -1));
    for (int y = page.top() + 5; y < page.bottom() - 3; y += 4) painter.drawLine(page.left() + 4, y, page.right() - 4, y);
    return image;
}

// The screen after frame `row` as a browser shows it, true colour, fitted
// into box: for frames whose colours the palette index alone cannot give
// (a local palette here or before).
QImage screenThumbnail(const Document& doc, int row, QSize box) {
    const TSize screen = screenSizeOf(doc);
    ViewerCanvas canvas(screen.width, screen.height);
    const TMyPalette* global = doc.globalPalette.get();
    for (int i = 0; i <= row; ++i) {
        const TFrame& f = *doc.frameList.frameAt(i);
        if (!f.image || f.isComment) continue;
        if (i == row) canvas.draw(f, global);
        else canvas.step(f, global, f.restoreToBackground ? Disposal::Background : Disposal::Keep, [](auto&) {});
    }
    const double scale = std::min(double(box.width()) / screen.width, double(box.height()) / screen.height);
    const int w = std::max(1, int(screen.width * scale)), h = std::max(1, int(screen.height * scale));
    QImage image(w, h, QImage::Format_RGB32);
    for (int ty = 0; ty < h; ++ty) {
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(ty));
        const int sy = int(int64_t(ty) * screen.height / h);
        for (int tx = 0; tx < w; ++tx) {
            const Rgba& p = canvas.at(int(int64_t(tx) * screen.width / w), sy);
            out[tx] = p.a ? qRgb(p.r, p.g, p.b) : checker(tx, ty);
        }
    }
    return image;
}

}  // namespace

QImage frameThumbnail(const Document& doc, const TFrame& frame, QSize box) {
    if (!frame.image) return commentThumbnail(box);
    const TSize screen = screenSizeOf(doc);
    // The screen fitted into the box, at least one pixel each way.
    const double scale = std::min(double(box.width()) / screen.width, double(box.height()) / screen.height);
    const int w = std::max(1, int(screen.width * scale)), h = std::max(1, int(screen.height * scale));
    QImage image(w, h, QImage::Format_RGB32);
    QRgb colors[256];
    const TMyPalette* palette = frame.localPalette ? frame.localPalette.get() : doc.globalPalette.get();
    for (int i = 0; i < 256; ++i) {
        if (palette) {
            const PaletteEntry& e = palette->entry(i);
            colors[i] = qRgb(e.red, e.green, e.blue);
        } else {
            const RgbQuad& q = frame.image->colors()[size_t(i)];
            colors[i] = qRgb(q.red, q.green, q.blue);
        }
    }
    for (int ty = 0; ty < h; ++ty) {
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(ty));
        const int sy = int(int64_t(ty) * screen.height / h) - frame.rect.top;
        for (int tx = 0; tx < w; ++tx) {
            const int sx = int(int64_t(tx) * screen.width / w) - frame.rect.left;
            if (sx < 0 || sy < 0 || sx >= frame.image->width() || sy >= frame.image->height()) {
                out[tx] = qRgb(0x9a, 0x9a, 0x9a);
                continue;
            }
            const uint8_t v = frame.image->pixel(sx, sy);
            out[tx] = v == frame.transparentIndex ? checker(tx, ty) : colors[v];
        }
    }
    return image;
}

FrameListModel::FrameListModel(Document& doc, QObject* parent) : QAbstractListModel(parent), doc_(doc) {
    thumbnails_.resize(size_t(doc_.frameList.count()));
    doc_.addObserver(this);
}

FrameListModel::~FrameListModel() { doc_.removeObserver(this); }

int FrameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : doc_.frameList.count();
}

bool FrameListModel::localPaletteUpTo(int row) const {
    for (int i = 0; i <= row; ++i)
        if (doc_.frameList.frameAt(i)->localPalette) return true;
    return false;
}

QPixmap FrameListModel::thumbnail(int row) const {
    QPixmap& kept = thumbnails_[size_t(row)];
    if (kept.isNull()) {
        // A fixed-size picture keeps the lines aligned whatever the frame's shape.
        QPixmap pixmap(thumbnailSize);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        const TFrame& frame = *doc_.frameList.frameAt(row);
        // The screen after the frame, composed from the frames before it.
        std::unique_ptr<TFrame> shown;
        QImage image;
        if (!patches_ && frame.image && localPaletteUpTo(row)) {
            image = screenThumbnail(doc_, row, thumbnailSize);
        } else {
            if (!patches_ && frame.image) {
                const TMyPalette none;
                shown = compositeAt(doc_.frameList, row, {}, screenSizeOf(doc_),
                                    doc_.globalPalette ? *doc_.globalPalette : none);
            }
            image = frameThumbnail(doc_, shown ? *shown : frame, thumbnailSize);
        }
        painter.drawImage((thumbnailSize.width() - image.width()) / 2, (thumbnailSize.height() - image.height()) / 2,
                          image);
        painter.end();
        kept = pixmap;
        ++thumbnailsMade_;
    }
    return kept;
}

namespace {

// A frame named after the file it came from shows the file's name; the
// whole path is in the tool tip.
QString shownName(const std::string& text) {
    const QString name = QString::fromStdString(text);
    return text.find('/') != std::string::npos && !text.starts_with("//") ? QFileInfo(name).fileName() : name;
}

}  // namespace

QString FrameListModel::lineText(int row) const {
    const TFrame& f = *doc_.frameList.frameAt(row);
    const QString first = QStringLiteral("%1  %2").arg(row).arg(shownName(doc_.frameList.textAt(row)));
    if (!f.hasImage()) return first;
    return first + QStringLiteral("\n%1 ms \u00b7 %2 \u00d7 %3").arg(f.displayTime()).arg(f.rect.width()).arg(f.rect.height());
}

QVariant FrameListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= doc_.frameList.count()) return {};
    switch (role) {
    case Qt::DisplayRole: return lineText(index.row());
    case Qt::ToolTipRole: return QString::fromStdString(doc_.frameList.textAt(index.row()));
    case Qt::DecorationRole: return thumbnail(index.row());
    case Qt::EditRole: return doc_.frameList.frameAt(index.row())->displayTime();
    default: return {};
    }
}

void FrameListModel::renumberFrom(int first) {
    if (first < rowCount()) emit dataChanged(index(first), index(rowCount() - 1), {Qt::DisplayRole});
}

Qt::ItemFlags FrameListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (const TFrame* f = doc_.frameList.frameAt(index.row()); f && f->hasImage()) flags |= Qt::ItemIsEditable;
    return flags;
}

bool FrameListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= rowCount()) return false;
    bool ok = false;
    const int ms = value.toInt(&ok);
    // The document changes through the session, and the line follows its
    // announcement.
    if (ok) emit delayEdited(index.row(), ms);
    return false;
}

QStringList FrameListModel::mimeTypes() const {
    return {QString::fromLatin1(rowsMimeType), QStringLiteral("text/uri-list")};
}

QMimeData* FrameListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.isEmpty()) return nullptr;
    int first = indexes.front().row(), last = first;
    for (const QModelIndex& i : indexes) {
        first = std::min(first, i.row());
        last = std::max(last, i.row());
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(rowsMimeType),
                  QStringLiteral("%1 %2 %3").arg(dragToken()).arg(first).arg(last - first + 1).toLatin1());
    return data;
}

QString FrameListModel::dragToken() const {
    return QStringLiteral("%1:%2").arg(QCoreApplication::applicationPid()).arg(quintptr(this));
}

bool FrameListModel::draggedRows(const QMimeData* data, int& first, int& count) const {
    if (!data || !data->hasFormat(QString::fromLatin1(rowsMimeType))) return false;
    const QStringList words = QString::fromLatin1(data->data(QString::fromLatin1(rowsMimeType))).split(QLatin1Char(' '));
    if (words.size() != 3 || words[0] != dragToken()) return false;
    bool a = false, b = false;
    first = words[1].toInt(&a);
    count = words[2].toInt(&b);
    return a && b;
}

void FrameListModel::framesAboutToBeInserted(int first, int count) {
    ++changing_;
    beginInsertRows({}, first, first + count - 1);
}

void FrameListModel::framesInserted(int first, int count) {
    thumbnails_.insert(thumbnails_.begin() + first, size_t(count), QPixmap());
    endInsertRows();
    renumberFrom(first + count);
    --changing_;
}

void FrameListModel::framesAboutToBeRemoved(int first, int count) {
    ++changing_;
    beginRemoveRows({}, first, first + count - 1);
}

void FrameListModel::framesRemoved(int first, int count) {
    thumbnails_.erase(thumbnails_.begin() + first, thumbnails_.begin() + first + count);
    endRemoveRows();
    renumberFrom(first);
    --changing_;
}

void FrameListModel::framesAboutToBeMoved(int first, int count, int destination) {
    ++changing_;
    moveStarted_ = beginMoveRows({}, first, first + count - 1, {}, destination);
    if (!moveStarted_) beginResetModel();
}

void FrameListModel::framesMoved(int first, int count, int destination) {
    const auto begin = thumbnails_.begin();
    if (destination < first) std::rotate(begin + destination, begin + first, begin + first + count);
    else std::rotate(begin + first, begin + first + count, begin + destination);
    if (moveStarted_) endMoveRows();
    else endResetModel();
    renumberFrom(std::min(first, destination));
    --changing_;
}

void FrameListModel::framesAboutToBeReset() {
    ++changing_;
    beginResetModel();
}

void FrameListModel::framesReset() {
    thumbnails_.assign(size_t(doc_.frameList.count()), QPixmap());
    endResetModel();
    --changing_;
}

void FrameListModel::frameChanged(int index) {
    if (index < 0 || size_t(index) >= thumbnails_.size()) return;
    thumbnails_[size_t(index)] = QPixmap();
    emit dataChanged(this->index(index), this->index(index));
}

void FrameListModel::selectionChanged(int index) { emit lineSelected(index); }

void FrameListModel::paletteChanged() { dropThumbnails(); }

void FrameListModel::documentChanged() { dropThumbnails(); }

void FrameListModel::setShowPatches(bool patches) {
    if (patches == patches_) return;
    patches_ = patches;
    dropThumbnails();
}

void FrameListModel::dropThumbnails() {
    if (thumbnails_.empty()) return;
    std::fill(thumbnails_.begin(), thumbnails_.end(), QPixmap());
    emit dataChanged(index(0), index(int(thumbnails_.size()) - 1), {Qt::DecorationRole, Qt::DisplayRole});
}

}  // namespace movigram
