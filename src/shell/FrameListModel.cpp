#include "FrameListModel.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "FramePainter.h"
#include "ThumbnailWorker.h"
#include "document/FrameCache.h"

namespace movigram {

namespace {

// At most this many pictures wait; the oldest asked for go first.
constexpr size_t maxAsks = 512;
// Checkpoints made in one go on the worker: the window's thread copies
// the frames between them at once.
constexpr size_t checkpointsAtOnce = 8;

QPixmap commentPicture(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const QRect page(size.width() / 2 - 9, 3, 18, size.height() - 6);
    painter.fillRect(page, Qt::white);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.drawRect(page.adjusted(0, 0, -1, -1));
    for (int y = page.top() + 5; y < page.bottom() - 3; y += 4) painter.drawLine(page.left() + 4, y, page.right() - 4, y);
    return pixmap;
}

// A pale frame where the picture will be.
QPixmap placeholderPicture(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(QColor(0xb0, 0xb0, 0xb0), 1, Qt::DotLine));
    painter.setBrush(QColor(0xee, 0xee, 0xee));
    painter.drawRect(QRect(QPoint(2, 2), size - QSize(5, 5)));
    return pixmap;
}

}  // namespace

FrameListModel::FrameListModel(Document& doc, QObject* parent)
    : QAbstractListModel(parent),
      doc_(doc),
      placeholder_(placeholderPicture(thumbnailSize)),
      commentPicture_(commentPicture(thumbnailSize)),
      worker_(std::make_unique<ThumbnailWorker>()) {
    lines_.resize(size_t(doc_.frameList.count()));
    doc_.addObserver(this);
}

FrameListModel::~FrameListModel() {
    doc_.removeObserver(this);
    worker_.reset();
}

int FrameListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : doc_.frameList.count();
}

QPixmap FrameListModel::thumbnail(int row) {
    Line& line = lines_[size_t(row)];
    if (line.picture.isNull() && !line.asked) ask(row);
    return line.picture.isNull() ? placeholder_ : line.picture;
}

void FrameListModel::ask(int row) {
    TFrame& frame = *doc_.frameList.frameAt(row);
    Line& line = lines_[size_t(row)];
    if (!frame.image) {
        line.picture = commentPicture_;
        ++thumbnailsMade_;
        return;
    }
    fitGrid();
    const uint64_t id = line.asked = ++lastAsk_;
    asks_.emplace_back(row, id);
    if (asks_.size() > maxAsks) {
        const auto [oldRow, oldId] = asks_.front();
        asks_.pop_front();
        if (lines_[size_t(oldRow)].asked == oldId) lines_[size_t(oldRow)].asked = 0;
        std::erase(waiting_, std::pair{oldRow, oldId});
        worker_->cancel({oldId});
    }
    if (patches_) {
        auto grid = grid_;
        worker_->postPicture(id, [this, row, id, grid,
                                  samples = peekFrame(frame, [&](TFrame& f) {
                                      return FrameSamples::patchOf(f, doc_.globalPalette.get(), *grid_);
                                  })] {
            const QImage image = patchThumbnail(samples, *grid, thumbnailSize);
            QMetaObject::invokeMethod(this, [this, row, id, image] { pictureMade(row, id, image); },
                                      Qt::QueuedConnection);
        });
        return;
    }
    if (size_t(row / step) < checkpoints_.size()) {
        postScreen(row, id);
    } else {
        waiting_.emplace_back(row, id);
        extendScreens();
    }
}

// A frame's samples, the frame left parked if it was.
const FrameSamples& FrameListModel::samplesOf(int row) {
    Line& line = lines_[size_t(row)];
    if (!line.samples || line.samplesGrid != gridNumber_) {
        line.samples = std::make_shared<const FrameSamples>(peekFrame(*doc_.frameList.frameAt(row), [&](TFrame& f) {
            return FrameSamples::of(f, doc_.globalPalette.get(), *grid_);
        }));
        line.samplesGrid = gridNumber_;
    }
    return *line.samples;
}

void FrameListModel::postScreen(int row, uint64_t id) {
    const int first = row / step * step;
    std::vector<FrameSamples> frames;
    frames.reserve(size_t(row - first + 1));
    for (int i = first; i <= row; ++i) frames.push_back(samplesOf(i));
    worker_->postPicture(id, [this, row, id, grid = grid_, base = checkpoints_[size_t(row / step)],
                              frames = std::move(frames)] {
        ScreenPoints points = *base;
        for (size_t i = 0; i < frames.size(); ++i) showSamples(frames[i], *grid, points, i + 1 < frames.size());
        const QImage image = screenThumbnail(points, *grid, thumbnailSize);
        QMetaObject::invokeMethod(this, [this, row, id, image] { pictureMade(row, id, image); },
                                  Qt::QueuedConnection);
    });
}

void FrameListModel::extendScreens() {
    // The lines whose checkpoint is made go to the worker; the others wait
    // for the checkpoints the furthest of them needs.
    size_t target = 0;
    std::erase_if(waiting_, [&](const std::pair<int, uint64_t>& ask) {
        const auto [row, id] = ask;
        if (lines_[size_t(row)].asked != id) return true;
        if (size_t(row / step) < checkpoints_.size()) {
            postScreen(row, id);
            return true;
        }
        target = std::max(target, size_t(row / step));
        return false;
    });
    if (waiting_.empty() || extending_) return;
    const size_t from = checkpoints_.size() - 1;
    const size_t count = std::min(target - from, checkpointsAtOnce);
    std::vector<FrameSamples> frames;
    frames.reserve(count * step);
    for (size_t i = from * step; i < (from + count) * step; ++i)
        frames.push_back(samplesOf(int(i)));
    extending_ = true;
    worker_->postWork([this, epoch = screensEpoch_, from, grid = grid_, base = checkpoints_.back(),
                       frames = std::move(frames)] {
        std::vector<std::shared_ptr<const ScreenPoints>> made;
        ScreenPoints points = *base;
        for (size_t i = 0; i < frames.size(); ++i) {
            showSamples(frames[i], *grid, points, true);
            if ((i + 1) % step == 0) made.push_back(std::make_shared<const ScreenPoints>(points));
        }
        QMetaObject::invokeMethod(
            this, [this, epoch, from, made = std::move(made)] { screensMade(epoch, from, std::move(made)); },
            Qt::QueuedConnection);
    });
}

void FrameListModel::screensMade(uint64_t epoch, size_t from,
                                 std::vector<std::shared_ptr<const ScreenPoints>> made) {
    // Made from frames that changed since: new ones are on their way.
    if (epoch != screensEpoch_) return;
    extending_ = false;
    if (checkpoints_.size() == from + 1) checkpoints_.insert(checkpoints_.end(), made.begin(), made.end());
    extendScreens();
}

void FrameListModel::pictureMade(int row, uint64_t id, const QImage& image) {
    // Only the picture the line waits for: one asked for before its frames
    // changed is stale.
    if (row >= int(lines_.size()) || lines_[size_t(row)].asked != id) return;
    Line& line = lines_[size_t(row)];
    line.asked = 0;
    line.picture = QPixmap::fromImage(image);
    ++thumbnailsMade_;
    emit pictureArrived(row);
}

int FrameListModel::thumbnailsWaiting() const {
    return int(std::count_if(asks_.begin(), asks_.end(), [&](const std::pair<int, uint64_t>& ask) {
        return ask.first < int(lines_.size()) && lines_[size_t(ask.first)].asked == ask.second;
    }));
}

void FrameListModel::waitForWorker() { worker_->waitIdle(); }

void FrameListModel::forgetAsks(int first, int last) {
    std::vector<uint64_t> dropped;
    std::erase_if(asks_, [&](const std::pair<int, uint64_t>& ask) {
        const auto [row, id] = ask;
        if (row < first || row >= last) return false;
        if (row < int(lines_.size()) && lines_[size_t(row)].asked == id) lines_[size_t(row)].asked = 0;
        dropped.push_back(id);
        return true;
    });
    std::erase_if(waiting_, [&](const std::pair<int, uint64_t>& ask) { return ask.first >= first && ask.first < last; });
    worker_->cancel(dropped);
}

void FrameListModel::dropScreensFrom(int first) {
    ++screensEpoch_;
    extending_ = false;
    checkpoints_.resize(std::min(checkpoints_.size(), size_t(first / step + 1)));
}

void FrameListModel::fitGrid() {
    const TSize screen = screenSizeOf(doc_);
    if (grid_ && screen.width == gridScreen_.width && screen.height == gridScreen_.height) return;
    gridScreen_ = screen;
    grid_ = std::make_shared<const SampleGrid>(SampleGrid::fitting(screen, thumbnailSize));
    ++gridNumber_;
    dropScreensFrom(0);
    checkpoints_.assign(1, std::make_shared<const ScreenPoints>(grid_->size(), Rgba{}));
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
    // A picture is asked for when its line is painted.
    case Qt::DecorationRole: return const_cast<FrameListModel*>(this)->thumbnail(index.row());
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
    forgetAsks(first, int(lines_.size()));
    lines_.insert(lines_.begin() + first, size_t(count), Line{});
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
    forgetAsks(first, int(lines_.size()));
    lines_.erase(lines_.begin() + first, lines_.begin() + first + count);
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
    forgetAsks(std::min(first, destination), int(lines_.size()));
    const auto begin = lines_.begin();
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
    forgetAsks(0, int(lines_.size()));
    lines_.assign(size_t(doc_.frameList.count()), Line{});
    dropScreensFrom(0);
    endResetModel();
    --changing_;
}

void FrameListModel::frameChanged(int index) {
    if (index < 0 || size_t(index) >= lines_.size()) return;
    forgetAsks(index, index + 1);
    lines_[size_t(index)] = Line{};
    emit dataChanged(this->index(index), this->index(index));
    screensChangedFrom(index + 1);
}

// The screens from frame `first` on are composed anew: their pictures go
// (only the frames' own when they show patches).
void FrameListModel::screensChangedFrom(int first) {
    dropScreensFrom(first);
    if (patches_ || first >= int(lines_.size())) return;
    forgetAsks(first, int(lines_.size()));
    std::fill(lines_.begin() + first, lines_.end(), Line{});
    emit dataChanged(index(first), index(int(lines_.size()) - 1), {Qt::DecorationRole});
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
    forgetAsks(0, int(lines_.size()));
    worker_->cancelAll();
    dropScreensFrom(0);
    if (lines_.empty()) return;
    std::fill(lines_.begin(), lines_.end(), Line{});
    emit dataChanged(index(0), index(int(lines_.size()) - 1), {Qt::DecorationRole, Qt::DisplayRole});
}

}  // namespace movigram
