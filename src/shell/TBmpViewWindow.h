#pragma once
// The canvas: it shows the current frame of the session's document (or the
// frames as a file is read, or a comment frame's text) and takes the mouse
// and the keys.  It follows the document's announcements and the session's
// view state; everything it is asked to do goes to the session.
#include <QAbstractScrollArea>
#include <QImage>
#include <memory>

#include "BrowserScreen.h"
#include "FramePainter.h"
#include "document/Document.h"
#include "frameops/ColorCommands.h"

class QMenu;

namespace movigram {

class CanvasBox;
class EditorSession;
struct TrueColorImage;

class TBmpViewWindow : public QAbstractScrollArea, public DocumentObserver {
    Q_OBJECT
public:
    TBmpViewWindow(EditorSession& session, QWidget* parent);
    ~TBmpViewWindow() override;

    // The zoom and screen size as the status bar shows them.
    QString viewText() const;

signals:
    // The status bar's texts: the zoom and screen size, the transparent
    // colour of the frame shown, the pointer's place on the picture.
    void viewTextChanged(const QString& text);
    void colorChanged(int transparentIndex, const movigram::TMyPalette* palette);
    void pointerMoved(const QString& place);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // DocumentObserver
    void framesAboutToBeRemoved(int first, int count) override;
    void framesAboutToBeReset() override;
    void frameChanged(int index) override;
    void framesInserted(int, int) override { browser_.invalidate(); }
    void framesRemoved(int, int) override { browser_.invalidate(); }
    void framesMoved(int, int, int) override { browser_.invalidate(); }
    void framesReset() override;
    void currentFrameChanged() override { frameBecameCurrent(); }
    void paletteChanged() override;
    void documentChanged() override;

    // The session's view state: zoom, view options, pick cursor.
    void followViewState();
    // The current frame as it becomes shown: colour text, comment frames,
    // colour table; then painted unless playback paints it.
    static bool followsThroughComments(const TFrame* shown, const TFrame* frame);
    void frameBecameCurrent();
    void paintCurrent(bool fullRepaint);
    void refreshColorText();
    void updateViewText();
    void resetScrollRange();

    // What the dialogs ask to see.
    void showFrameRequested(int index, bool composed);
    void clearComposedBackground();
    void markRect(const TRect& rect);
    void previewOffset(int index, TPoint offset);
    // Live painting while a file is read: each frame as it is decoded, a
    // deep-colour image before it is reduced.
    void readingChanged(bool reading);
    void showReadFrame(const TFrame& frame);
    void showReadPreview(const TrueColorImage& image);

    // The box tool's keys; false for a key it leaves to the canvas.
    bool boxToolKey(QKeyEvent* event);
    // The hint's words for the tool: what the box is for, what Enter does.
    QString boxPurpose() const;
    QString boxAction() const;
    TPoint imagePoint(QPoint windowPoint) const;

    QPoint scrollOffset() const;
    QRect toWindowRect(const TRect& r) const;
    void drawPicture(QPainter& painter, const QImage& picture, const QRect& imageArea, const QRect& exposed) const;

    EditorSession& session_;
    Document& doc_;
    QMenu* contextMenu_;
    int zoom_ = 1;
    PickMode pickMode_ = PickMode::None;

    FramePainter painter_;
    BrowserScreen browser_;
    // What the canvas shows, kept so that painting never reads a document
    // that is in the middle of a change.
    const TFrame* shown_ = nullptr;
    const TFrame* previous_ = nullptr;
    bool shownIsComment_ = false;
    QString commentText_;
    QSize commentBox_;
    TRect shownDirty_;
    int shownIndex_ = -1;
    int shownTransparent_ = -2;
    TRect lastArea_;
    std::unique_ptr<TFrame> composedBackground_;
    QImage composedPicture_;
    TRect marked_;
    std::unique_ptr<CanvasBox> box_;  // while the box tool is on
    QImage previewPicture_;
    TRect previewRect_;
    QImage readPicture_;
    bool reading_ = false;
};

}  // namespace movigram
