#include "FrameListWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QMimeData>
#include <QKeyEvent>
#include <QPainter>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <algorithm>

#include "FrameListModel.h"
#include "EditorSession.h"
#include "frameops/NumberField.h"

namespace movigram {

namespace {

// The delay of a line typed in a spin box over its second line.
class DelayDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* box = new QSpinBox(parent);
        box->setObjectName(QStringLiteral("Delay"));
        box->setRange(1, int(maxFrameDisplayMs));
        box->setSingleStep(10);
        box->setSuffix(QStringLiteral(" ms"));
        box->setAccelerated(true);
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* box = static_cast<QSpinBox*>(editor);
        box->setValue(index.data(Qt::EditRole).toInt());
        box->selectAll();
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        auto* box = static_cast<QSpinBox*>(editor);
        box->interpretText();
        model->setData(index, box->value(), Qt::EditRole);
    }
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option, const QModelIndex&) const override {
        // Over the line's text, right of the picture.
        const QRect line = option.rect;
        const int left = line.left() + FrameListModel::thumbnailSize.width() + 8;
        editor->setGeometry(QRect(left, line.top(), std::max(line.right() - left, 90), line.height()));
    }
};

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
    setSelectionMode(ExtendedSelection);
    setItemDelegate(new DelayDelegate(this));
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
    connect(model_, &FrameListModel::pictureArrived, this, [this](int row) { update(model_->index(row)); });
    connect(model_, &FrameListModel::delayEdited, this, [this](int row, int ms) {
        std::vector<int32_t> rows = editedRows_.empty() ? std::vector<int32_t>{row} : editedRows_;
        editedRows_.clear();
        session_.setDelays(rows, ms);
    });
    session.setListSelectionSource([this] { return selectedRows(); });
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
        // The document announces the line the list chose; a selection of
        // several lines that holds it stays as the person made it.
        if (currentIndex() != index || !selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        scrollTo(index);
    }
    syncing_ = false;
}

std::vector<int32_t> TFrameListBox::selectedRows() const {
    std::vector<int32_t> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFrameListBox::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QListView::selectionChanged(selected, deselected);
    if (syncing_ || model_->isChanging()) return;
    // The current line is the one clicked last, also when Shift selected a
    // range up to it.
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current)) session_.listSelect(current.row(), extending_);
    else if (!selected.indexes().isEmpty()) session_.listSelect(selected.indexes().front().row(), extending_);
}

void TFrameListBox::mousePressEvent(QMouseEvent* event) {
    // The second press of a double click keeps what the first one found.
    const int row = indexAt(event->position().toPoint()).row();
    if (row != lastPressRow_ || !lastPress_.isValid() || lastPress_.elapsed() > QApplication::doubleClickInterval())
        pressSelection_ = selectedRows();
    lastPressRow_ = row;
    lastPress_.restart();
    extending_ = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    QListView::mousePressEvent(event);
    extending_ = false;
}

void TFrameListBox::mouseDoubleClickEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid()) {
        QListView::mouseDoubleClickEvent(event);
        return;
    }
    // Without a press just before on this line (a double click the system
    // sends alone), the selection is still as it was.
    const std::vector<int32_t> before = lastPressRow_ == index.row() ? pressSelection_ : selectedRows();
    std::vector<int32_t> rows{index.row()};
    if (std::find(before.begin(), before.end(), index.row()) != before.end()) rows = before;
    editDelay(index.row(), rows);
}

void TFrameListBox::keyPressEvent(QKeyEvent* event) {
    if (state() != EditingState) {
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
            session_.deleteListSelection();
            return;
        }
        if (event->key() == Qt::Key_F2 && currentIndex().isValid()) {
            editDelay(currentIndex().row(), selectedRows());
            return;
        }
    }
    QListView::keyPressEvent(event);
}

void TFrameListBox::editDelay(int row, std::vector<int32_t> rows) {
    const QModelIndex index = model_->index(row);
    if (!(model_->flags(index) & Qt::ItemIsEditable) || session_.isBusy()) return;
    // The lines being edited stay selected, so the person sees which frames
    // the typed delay goes to.
    syncing_ = true;
    QItemSelection selection;
    for (int32_t r : rows) selection.select(model_->index(r), model_->index(r));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::Select);
    syncing_ = false;
    editedRows_ = std::move(rows);
    edit(index);
}

void TFrameListBox::startDrag(Qt::DropActions) {
    const QModelIndexList lines = selectedIndexes();
    const std::vector<int32_t> rows = selectedRows();
    // Lines move as one block; a selection with gaps does not move.
    if (rows.empty() || rows.back() - rows.front() + 1 != int32_t(rows.size())) return;
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
