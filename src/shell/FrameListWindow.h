#pragma once
// The frame list window: a list with one line per frame (thumbnail and
// text) in a dock widget that floats beside the main window or docks in it.
// Selecting a line shows that frame; the document's selection selects the
// line.  Lines dragged within the list move their frames (undoable); files
// dropped on a line are inserted before it, files dropped below the last
// line are appended.  Lines are selected with Shift and Ctrl as in any
// list; Delete removes the selected frames, and a double click (or F2) on a
// line types a new delay for them.
#include <QDockWidget>
#include <QElapsedTimer>
#include <QListView>
#include <cstdint>
#include <vector>

namespace movigram {

class FrameListModel;
class EditorSession;

class TFrameListBox : public QListView {
    Q_OBJECT
public:
    TFrameListBox(EditorSession& session, QWidget* parent);
    FrameListModel& frameModel() { return *model_; }

    int topIndex() const;
    int itemHeight() const;
    // Lines that fit in the visible part.
    int visibleLines() const;
    // The line under a point of the viewport: the top index plus whole item
    // heights down to the point; the number of lines or more below the last.
    int lineAt(QPoint point) const;
    // Selects the line the document selected and brings it into view; a
    // selection of several lines that holds it stays.
    void selectLine(int row);
    // The selected lines, ascending.
    std::vector<int32_t> selectedRows() const;

protected:
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    EditorSession& session_;
    FrameListModel* model_;
    bool syncing_ = false;
    int dropLine_ = -1;  // where dragged lines would go, while they are dragged
    // The lines selected before the last press: a double click on one of
    // them edits them all, though its first click selected it alone.
    std::vector<int32_t> pressSelection_;
    int lastPressRow_ = -1;
    QElapsedTimer lastPress_;
    // Whether the selection is being changed with Shift or Ctrl.
    bool extending_ = false;
    // Starts typing the delay of the line at row for the rows given.
    void editDelay(int row, std::vector<int32_t> rows);
    std::vector<int32_t> editedRows_;
};

class TFrameWinListBox : public QDockWidget {
    Q_OBJECT
public:
    TFrameWinListBox(EditorSession& session, QWidget* parent);
    TFrameListBox& listBox() { return *list_; }
    QSize sizeHint() const override { return {250, 240}; }

signals:
    // The user closed the window (WMU_FRAMELISTCLOSED).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TFrameListBox* list_;
};

}  // namespace movigram
