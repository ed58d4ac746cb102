#include "FrameListWindow.h"

#include <QCloseEvent>
#include <QDrag>
#include <QMimeData>
#include <QPainter>

#include "FrameListModel.h"
#include "EditorSession.h"

namespace movigram {

namespace {

QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

}  // namespace

TFrameListBox::TFrameListBox(EditorSession& session, QWidget* parent)
    : QListView(parent), session_(session), model_(new FrameListModel(session.document(), this)) {
    setObjectName(QStringLiteral("Frame List"));
    setModel(model_);
    setSelectionMode(SingleSelection);
    setUniformItemSizes(true);
    setIconSize(FrameListModel::thumbnailSize);
    setSpacing(0);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(DragDrop);
    setEditTriggers(NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    connect(model_, &FrameListModel::lineSelected, this, &TFrameListBox::selectLine);
    connect(&session, &EditorSession::viewStateChanged, this,
            [this] { model_->setShowPatches(session_.viewState().showFramePatches); });
    selectLine(session.document().frameList.selectedIndex());
}

int TFrameListBox::topIndex() const {
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

int TFrameListBox::itemHeight() const {
    const int h = model_->rowCount() > 0 ? sizeHintForRow(0) : 0;
    return h > 0 ? h : std::max(fontMetrics().height(), FrameListModel::thumbnailSize.height());
}

int TFrameListBox::visibleLines() const { return viewport()->height() / itemHeight(); }

int TFrameListBox::lineAt(QPoint point) const { return topIndex() + std::max(point.y(), 0) / itemHeight(); }

void TFrameListBox::selectLine(int row) {
    syncing_ = true;
    if (row < 0 || row >= model_->rowCount()) {
        clearSelection();
    } else {
        const QModelIndex index = model_->index(row);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    }
    syncing_ = false;
}

void TFrameListBox::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    if (syncing_ || model_->isChanging() || selected.indexes().isEmpty()) return;
    session_.listSelect(selected.indexes().front().row());
}

void TFrameListBox::startDrag(Qt::DropActions) {
    const QModelIndexList lines = selectedIndexes();
    if (lines.isEmpty()) return;
    auto* drag = new QDrag(this);
    drag->setMimeData(model_->mimeData(lines));
    drag->setPixmap(model_->data(lines.front(), Qt::DecorationRole).value<QPixmap>());
    // The drop moves the frames itself; nothing is removed afterwards.
    drag->exec(Qt::MoveAction);
}

void TFrameListBox::dragEnterEvent(QDragEnterEvent* event) {
    int first, count;
    if (model_->draggedRows(event->mimeData(), first, count)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (!droppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void TFrameListBox::dragMoveEvent(QDragMoveEvent* event) {
    int first, count;
    const bool lines = model_->draggedRows(event->mimeData(), first, count);
    const int line = std::min(lineAt(event->position().toPoint()), model_->rowCount());
    if (lines) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (!droppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
        return;
    }
    if (line != dropLine_) {
        dropLine_ = line;
        viewport()->update();
    }
}

void TFrameListBox::dragLeaveEvent(QDragLeaveEvent* event) {
    dropLine_ = -1;
    viewport()->update();
    QListView::dragLeaveEvent(event);
}

void TFrameListBox::dropEvent(QDropEvent* event) {
    dropLine_ = -1;
    viewport()->update();
    const int line = lineAt(event->position().toPoint());
    int first, count;
    if (model_->draggedRows(event->mimeData(), first, count)) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
        session_.moveFrames(first, count, std::min(line, model_->rowCount()));
        return;
    }
    const QStringList files = droppedFiles(event->mimeData());
    if (files.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    session_.dropFiles(line, files);
}

void TFrameListBox::paintEvent(QPaintEvent* event) {
    QListView::paintEvent(event);
    if (model_->rowCount() == 0 && dropLine_ < 0) {
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("No frames yet.\nDrop image files here to add them."));
        return;
    }
    if (dropLine_ < 0) return;
    // A bar where the dragged lines or files will go: above the line under
    // the mouse, or below the last line.
    QPainter painter(viewport());
    const int rows = model_->rowCount();
    int y = 0;
    if (rows > 0)
        y = dropLine_ < rows ? visualRect(model_->index(dropLine_)).top()
                             : visualRect(model_->index(rows - 1)).bottom() + 1;
    painter.fillRect(QRect(0, std::max(y - 1, 0), viewport()->width(), 2), palette().color(QPalette::Highlight));
}

TFrameWinListBox::TFrameWinListBox(EditorSession& session, QWidget* parent)
    : QDockWidget(QStringLiteral("Frame List"), parent), list_(new TFrameListBox(session, this)) {
    setObjectName(QStringLiteral("FrameListWindow"));
    setWidget(list_);
    setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);
}

void TFrameWinListBox::closeEvent(QCloseEvent* event) {
    QDockWidget::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

}  // namespace movigram
