#include "FrameListModel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "FramePainter.h"
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

// The screens after the frames, as browsers show them, at the points the
// thumbnails sample: each frame is drawn and disposed at those points only,
// with a checkpoint every `step` frames, so that a thumbnail far down a
// long list costs at most `step` frames more than the one before it.
class FrameListModel::ThumbnailScreens {
public:
    static constexpr int step = 32;

    // The checkpoints that frames from `row` on no longer describe go.
    void dropFrom(int row) { checkpoints_.resize(std::min(checkpoints_.size(), size_t(row / step + 1))); }
    void clear() { checkpoints_.clear(); }

    QImage screenAfter(const Document& doc, int row, QSize box) {
        fitGrid(doc, box);
        const size_t k = size_t(row / step);
        if (checkpoints_.empty()) checkpoints_.emplace_back(xs_.size() * ys_.size(), Rgba{});
        while (checkpoints_.size() <= k) {
            std::vector<Rgba> points = checkpoints_.back();
            const int from = int(checkpoints_.size() - 1) * step;
            for (int i = from; i < from + step; ++i) show(doc, i, points, true);
            checkpoints_.push_back(std::move(points));
        }
        std::vector<Rgba> points = checkpoints_[k];
        for (int i = int(k) * step; i < row; ++i) show(doc, i, points, true);
        show(doc, row, points, false);
        QImage image(int(xs_.size()), int(ys_.size()), QImage::Format_RGB32);
        for (int ty = 0; ty < image.height(); ++ty) {
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(ty));
            for (int tx = 0; tx < image.width(); ++tx) {
                const Rgba& p = points[size_t(ty) * xs_.size() + size_t(tx)];
                out[tx] = p.a ? qRgb(p.r, p.g, p.b) : checker(tx, ty);
            }
        }
        return image;
    }

private:
    // The screen's points each thumbnail pixel shows; new points make the
    // checkpoints useless.
    void fitGrid(const Document& doc, QSize box) {
        const TSize screen = screenSizeOf(doc);
        const double scale = std::min(double(box.width()) / screen.width, double(box.height()) / screen.height);
        const int w = std::max(1, int(screen.width * scale)), h = std::max(1, int(screen.height * scale));
        std::vector<int32_t> xs(static_cast<size_t>(w)), ys(static_cast<size_t>(h));
        for (int t = 0; t < w; ++t) xs[size_t(t)] = int32_t(int64_t(t) * screen.width / w);
        for (int t = 0; t < h; ++t) ys[size_t(t)] = int32_t(int64_t(t) * screen.height / h);
        if (xs == xs_ && ys == ys_) return;
        xs_ = std::move(xs);
        ys_ = std::move(ys);
        checkpoints_.clear();
    }

    // Frame i drawn at the points, then, with dispose, what it leaves for
    // the next frame.
    void show(const Document& doc, int i, std::vector<Rgba>& points, bool dispose) const {
        const TFrame* f = doc.frameList.frameAt(i);
        if (!f || !f->image || f->isComment) return;
        const TRect& r = f->rect;
        const TDib256& image = *f->image;
        const bool clears = dispose && f->restoreToBackground;
        for (size_t ty = 0; ty < ys_.size(); ++ty) {
            const int32_t y = ys_[ty] - r.top;
            if (y < 0 || y >= image.height() || ys_[ty] >= r.bottom) continue;
            for (size_t tx = 0; tx < xs_.size(); ++tx) {
                const int32_t x = xs_[tx] - r.left;
                if (x < 0 || x >= image.width() || xs_[tx] >= r.right) continue;
                Rgba& p = points[ty * xs_.size() + tx];
                if (clears) p = Rgba{};
                else if (const uint8_t v = image.pixel(x, y); v != f->transparentIndex)
                    p = ViewerCanvas::colorOf(*f, doc.globalPalette.get(), v);
            }
        }
    }

    std::vector<int32_t> xs_, ys_;
    std::vector<std::vector<Rgba>> checkpoints_;  // the points before frames 0, step, 2 step...
};

FrameListModel::FrameListModel(Document& doc, QObject* parent)
    : QAbstractListModel(parent), doc_(doc), screens_(std::make_unique<ThumbnailScreens>()) {
    thumbnails_.resize(size_t(doc_.frameList.count()));
    doc_.addObserver(this);
}

FrameListModel::~FrameListModel() { doc_.removeObserver(this); }

int FrameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : doc_.frameList.count();
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
        const QImage image = !patches_ && frame.image ? screens_->screenAfter(doc_, row, thumbnailSize)
                                                      : frameThumbnail(doc_, frame, thumbnailSize);
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
    screensChangedFrom(first);
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
    screensChangedFrom(first);
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
    screensChangedFrom(std::min(first, destination));
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
    screensChangedFrom(index + 1);
}

// The screens from frame `first` on are composed anew: their pictures go
// (only the frames' own when they show patches).
void FrameListModel::screensChangedFrom(int first) {
    screens_->dropFrom(first);
    if (patches_ || first >= int(thumbnails_.size())) return;
    std::fill(thumbnails_.begin() + first, thumbnails_.end(), QPixmap());
    emit dataChanged(index(first), index(int(thumbnails_.size()) - 1), {Qt::DecorationRole});
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
    screens_->clear();
    if (thumbnails_.empty()) return;
    std::fill(thumbnails_.begin(), thumbnails_.end(), QPixmap());
    emit dataChanged(index(0), index(int(thumbnails_.size()) - 1), {Qt::DecorationRole, Qt::DisplayRole});
}

}  // namespace movigram
