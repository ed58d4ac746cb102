#include "TBmpViewWindow.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include "ActionRegistry.h"
#include "CanvasBox.h"
#include "EditorSession.h"
#include "Icons.h"
#include "Zoom.h"
#include "document/Compose.h"
#include "document/FrameChain.h"

namespace movigram {

namespace {

// The colour of the canvas around and under the picture.
QColor workspaceColor() { return QColor(0x80, 0x80, 0x80); }

void drawDottedRect(QPainter& painter, const QRect& r, QColor color) {
    QPen pen(color, 1, Qt::DotLine);
    pen.setCosmetic(true);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
}

// A focus rectangle that shows on any picture: dots of black over white.
void drawFocusRect(QPainter& painter, const QRect& r) {
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    drawDottedRect(painter, r, Qt::black);
}

void fillChecker(QPainter& painter, const QRect& area) {
    painter.save();
    painter.setClipRect(area);
    painter.fillRect(area, QColor(0xff, 0xff, 0xff));
    const int cell = 8;
    for (int y = area.top() - (area.top() % cell + cell) % cell; y < area.bottom() + 1; y += cell)
        for (int x = area.left() - (area.left() % cell + cell) % cell; x < area.right() + 1; x += cell)
            if (((x / cell) + (y / cell)) & 1) painter.fillRect(x, y, cell, cell, QColor(0xcc, 0xcc, 0xcc));
    painter.restore();
}

}  // namespace

TBmpViewWindow::TBmpViewWindow(EditorSession& session, QWidget* parent)
    : QAbstractScrollArea(parent), session_(session), doc_(session.document()), painter_(workspaceColor()) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    doc_.addObserver(this);
    contextMenu_ = session.actions().makeContextMenu(this);

    connect(&session, &EditorSession::viewStateChanged, this, &TBmpViewWindow::followViewState);
    connect(&session, &EditorSession::playbackFrameShown, this, [this] { paintCurrent(false); });
    connect(&session, &EditorSession::canvasFocusWanted, this, [this] {
        // The keys go on stepping through the frames on the canvas.
        activateWindow();
        setFocus();
    });
    connect(&session, &EditorSession::readingChanged, this, &TBmpViewWindow::readingChanged);
    connect(&session, &EditorSession::frameRead, this, &TBmpViewWindow::showReadFrame);
    connect(&session, &EditorSession::previewRead, this, &TBmpViewWindow::showReadPreview);
    connect(&session, &EditorSession::frameRequested, this, &TBmpViewWindow::showFrameRequested);
    connect(&session, &EditorSession::composedBackgroundCleared, this, &TBmpViewWindow::clearComposedBackground);
    connect(&session, &EditorSession::rectMarked, this, &TBmpViewWindow::markRect);
    connect(&session, &EditorSession::boxSet, this, [this](const TRect& box) {
        if (!box_) return;
        box_->setBox(box);
        viewport()->update();
    });
    connect(&session, &EditorSession::offsetPreviewed, this, &TBmpViewWindow::previewOffset);
}

TBmpViewWindow::~TBmpViewWindow() { doc_.removeObserver(this); }

// --- Following the session ---

void TBmpViewWindow::followViewState() {
    const ViewState& view = session_.viewState();
    if (view.zoom != zoom_) {
        zoom_ = view.zoom;
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        resetScrollRange();
        updateViewText();
    }
    if ((session_.boxTool() != BoxTool::None) != bool(box_)) {
        if (session_.boxTool() != BoxTool::None) {
            box_ = std::make_unique<CanvasBox>(TRect{}, screenSizeOf(doc_));
            viewport()->setCursor(Qt::CrossCursor);
            setFocus();
        } else {
            box_.reset();
            viewport()->unsetCursor();
        }
    }
    if (session_.pickMode() != pickMode_) {
        pickMode_ = session_.pickMode();
        if (pickMode_ == PickMode::None) {
            viewport()->unsetCursor();
        } else {
            viewport()->setCursor(pickCursor());
            setFocus();
        }
    }
    browser_.invalidate();
    viewport()->update();
}

// --- Following the document ---

void TBmpViewWindow::framesAboutToBeRemoved(int first, int count) {
    for (int i = first; i < first + count; ++i) {
        const TFrame* f = doc_.frameList.frameAt(i);
        if (f == shown_) shown_ = nullptr;
        if (f == previous_) previous_ = nullptr;
    }
}

void TBmpViewWindow::framesAboutToBeReset() { shown_ = previous_ = nullptr; }

void TBmpViewWindow::framesReset() {
    browser_.invalidate();
    // Another animation, or a new screen: a box drawn for the old one ends.
    if (box_) session_.endBoxTool();
}

void TBmpViewWindow::frameChanged(int index) {
    // The frame may have been replaced by another object.  The one replaced
    // is still alive while we hear of it, numbered by the place it left.
    auto replaced = [&](const TFrame* f) { return f && f->index == index && doc_.frameList.frameAt(index) != f; };
    if (replaced(shown_)) shown_ = nullptr;
    if (replaced(previous_)) previous_ = nullptr;
    browser_.invalidate();
}

void TBmpViewWindow::frameBecameCurrent() {
    TFrame* frame = doc_.currentFrame;
    // A comment frame leaves the screen as the image frame before it left
    // it, and that frame's restore is still to be done.
    if (!shown_ || shown_->image) previous_ = shown_;
    shown_ = frame;
    shownIndex_ = frame ? doc_.frameList.placeOf(*frame) : -1;
    if (!frame) {
        viewport()->update();
        return;
    }
    if (frame->transparentIndex != shownTransparent_) refreshColorText();
    const bool wasComment = shownIsComment_;
    const QSize oldCommentBox = commentBox_;
    shownIsComment_ = !frame->image;
    if (shownIsComment_) {
        auto* text = dynamic_cast<TTextFrame*>(frame);
        if (text && text->textWidth == 0 && text->textHeight == 0) text->measure(*session_.host().textMeasurer());
        commentText_ = text ? QString::fromStdString(text->getText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                            : QString();
        commentBox_ = text ? QSize(text->textWidth, text->textHeight) : QSize();
    }
    if (wasComment != shownIsComment_ || (shownIsComment_ && commentBox_ != oldCommentBox)) resetScrollRange();
    if (frame->localPalette || (previous_ && previous_->localPalette) || wasComment) {
        painter_.setColorTable(doc_);
        refreshColorText();
    }
    shownDirty_ = frame->dirtyRect;
    if (session_.inPlaybackStep()) return;
    // A frame that does not follow the one shown is drawn over the screen
    // as the frames before it leave it, not over whatever was shown last.
    if (!painter_.isEmpty() && !(previous_ && followsThroughComments(previous_, frame))) {
        painter_.recompose(doc_, shownIndex_ - 1);
        previous_ = nullptr;
        for (int i = shownIndex_ - 1; i >= 0 && !previous_; --i)
            if (TFrame* before = doc_.frameList.frameAt(i); before->image) previous_ = before;
    }
    paintCurrent(!session_.viewState().showDirtyOnly);
}

// Whether frame comes next after shown in the chain, comment frames between
// them passed over.
bool TBmpViewWindow::followsThroughComments(const TFrame* shown, const TFrame* frame) {
    const TFrame* f = shown->next;
    while (f && f != frame && f != shown && !f->image) f = f->next;
    return f == frame;
}

void TBmpViewWindow::refreshColorText() {
    const TFrame* frame = doc_.currentFrame;
    shownTransparent_ = frame ? frame->transparentIndex : doc_.transparentIndex;
    const TMyPalette* palette = frame && frame->localPalette ? frame->localPalette.get() : doc_.globalPalette.get();
    emit colorChanged(shownTransparent_, palette);
}

void TBmpViewWindow::paintCurrent(bool fullRepaint) {
    if (!doc_.currentFrame) return;
    const ViewState& view = session_.viewState();
    if (view.showAsBrowsers || shownIsComment_) {
        viewport()->update();
        return;
    }
    const TRect area = painter_.paintFrame(doc_, previous_, fullRepaint);
    lastArea_ = area;
    if (view.showDirtyOnly || doc_.showDirtyRect || composedBackground_ || !marked_.isNull() ||
        !previewPicture_.isNull() || box_)
        viewport()->update();
    else
        viewport()->update(toWindowRect(area).adjusted(-1, -1, 1, 1));
}

void TBmpViewWindow::paletteChanged() {
    painter_.setColorTable(doc_);
    refreshColorText();
    browser_.invalidate();
    viewport()->update();
}

void TBmpViewWindow::documentChanged() {
    browser_.invalidate();
    // Frames may have moved under the one shown.
    shownIndex_ = doc_.currentFrame ? doc_.frameList.indexOf(doc_.currentFrame) : -1;
    if (doc_.frameList.empty()) {
        painter_.clear();
        shownIsComment_ = false;
    } else {
        painter_.setColorTable(doc_);
        painter_.recompose(doc_, doc_.frameList.indexOf(doc_.currentFrame));
    }
    if (doc_.currentFrame) shownDirty_ = doc_.currentFrame->dirtyRect;
    refreshColorText();
    resetScrollRange();
    updateViewText();
    // A document that came with its current frame set (a single picture
    // read from a file) shows that frame, announced or not.
    if (doc_.currentFrame && shown_ != doc_.currentFrame) frameBecameCurrent();
    viewport()->update();
}

// --- View ---

QString TBmpViewWindow::viewText() const {
    QString text = ratioText(zoom_);
    if (doc_.screenWidth != 0 || doc_.screenHeight != 0)
        text = QStringLiteral("%1  %2x%3").arg(text).arg(doc_.screenWidth).arg(doc_.screenHeight);
    return text;
}

void TBmpViewWindow::updateViewText() { emit viewTextChanged(viewText()); }

void TBmpViewWindow::resetScrollRange() {
    QSize extent;
    if (shownIsComment_) {
        extent = commentBox_;
    } else {
        const TSize screen = screenSizeOf(doc_);
        extent = doc_.frameList.empty() ? QSize() : QSize(toWindow(screen.width, zoom_), toWindow(screen.height, zoom_));
    }
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(extent.width() - client.width(), 0));
    verticalScrollBar()->setRange(0, std::max(extent.height() - client.height(), 0));
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setPageStep(client.height());
    horizontalScrollBar()->setSingleStep(16);
    verticalScrollBar()->setSingleStep(16);
    viewport()->update();
}

QPoint TBmpViewWindow::scrollOffset() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

QRect TBmpViewWindow::toWindowRect(const TRect& r) const {
    const int z = zoom_;
    return QRect(QPoint(toWindow(r.left, z), toWindow(r.top, z)), QPoint(toWindow(r.right, z) - 1, toWindow(r.bottom, z) - 1))
        .translated(-scrollOffset());
}

void TBmpViewWindow::drawPicture(QPainter& painter, const QImage& picture, const QRect& imageArea,
                                 const QRect& exposed) const {
    const int z = zoom_;
    QRect source = imageArea.intersected(picture.rect());
    if (z > 1) {
        // Only the exposed part, in whole image pixels.
        const QRect shown = exposed.translated(scrollOffset());
        source &= QRect(QPoint(shown.left() / z, shown.top() / z), QPoint(shown.right() / z, shown.bottom() / z));
    }
    if (source.isEmpty()) return;
    const TRect s{source.left(), source.top(), source.right() + 1, source.bottom() + 1};
    const QRect target = toWindowRect(s);
    if (z == 1) painter.drawImage(target.topLeft(), picture, source);
    else painter.drawImage(target, picture, source);
}

void TBmpViewWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    if (shownIsComment_ && shown_) {
        painter.fillRect(exposed, palette().color(QPalette::Base));
        painter.setPen(palette().color(QPalette::Text));
        const QRect box = QRect(QPoint(0, 0), commentBox_).adjusted(10, 10, -10, -10).translated(-scrollOffset());
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, commentText_);
        return;
    }
    painter.fillRect(exposed, workspaceColor());
    if (reading_ && !readPicture_.isNull()) {
        drawPicture(painter, readPicture_, readPicture_.rect(), exposed);
        return;
    }
    if (doc_.frameList.empty() && !reading_) {
        // The empty canvas says how to begin.
        painter.setPen(QColor(0xf0, 0xf0, 0xf0));
        painter.drawText(viewport()->rect(), Qt::AlignCenter,
                         QStringLiteral("Open a GIF animation or images with File > Open,\nor drop files here."));
        return;
    }
    if (!shown_ || painter_.isEmpty()) return;
    const QImage& picture = painter_.picture();
    const QRect all = picture.rect();
    const ViewState& view = session_.viewState();
    if (view.showAsBrowsers && shownIndex_ >= 0 && !session_.isBusy()) {
        fillChecker(painter, toWindowRect({0, 0, all.width(), all.height()}).intersected(exposed));
        drawPicture(painter, browser_.pictureAt(doc_, shownIndex_), all, exposed);
    } else if (composedBackground_) {
        drawPicture(painter, composedPicture_, composedPicture_.rect(), exposed);
        drawPicture(painter, picture, QRect(lastArea_.left, lastArea_.top, lastArea_.width(), lastArea_.height()), exposed);
    } else if (view.showDirtyOnly) {
        drawPicture(painter, picture, QRect(shownDirty_.left, shownDirty_.top, shownDirty_.width(), shownDirty_.height()),
                    exposed);
    } else {
        drawPicture(painter, picture, all, exposed);
    }
    if (!previewPicture_.isNull()) {
        drawPicture(painter, previewPicture_, previewPicture_.rect(), exposed);
        drawDottedRect(painter, toWindowRect({0, 0, all.width(), all.height()}), QColor(0, 0, 255));
    }
    if (doc_.showDirtyRect && !shownDirty_.isEmpty()) drawFocusRect(painter, toWindowRect(shownDirty_));
    if (!marked_.isNull()) drawDottedRect(painter, toWindowRect(marked_), QColor(0, 0, 255));
    if (box_) {
        box_->paint(painter, [this](const TRect& r) { return toWindowRect(r); });
        const QString hint = box_->box().isEmpty()
                                 ? QStringLiteral("Drag on the picture to draw %1.  Esc: cancel").arg(boxPurpose())
                                 : QStringLiteral("Drag the box or its handles; arrow keys nudge it (Ctrl: size).  "
                                                  "Enter: %1  Esc: cancel")
                                       .arg(boxAction());
        // Wrapped to the canvas's width.
        const int width = std::max(viewport()->width() - 24, 60);
        const QRect text = fontMetrics().boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, hint);
        const QRect area(6, 6, text.width() + 12, text.height() + 6);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 170));
        painter.drawRoundedRect(area, 3, 3);
        painter.setPen(Qt::white);
        painter.drawText(area.adjusted(6, 3, -6, -3), Qt::AlignLeft | Qt::TextWordWrap, hint);
    }
}

void TBmpViewWindow::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    resetScrollRange();
}

// --- Mouse and keys ---

void TBmpViewWindow::mouseMoveEvent(QMouseEvent* event) {
    if (box_ && box_->dragging() && box_->drag(imagePoint(event->position().toPoint())))
        viewport()->update();
    // The position on the canvas counts from the picture's corner, also
    // while the canvas is scrolled.
    const QPoint p = event->position().toPoint() + scrollOffset();
    const TSize screen{doc_.screenWidth, doc_.screenHeight};
    if (!doc_.frameList.empty() && p.x() >= 0 && p.y() >= 0 && p.x() < toWindow(screen.width, zoom_) &&
        p.y() < toWindow(screen.height, zoom_))
        emit pointerMoved(QString::asprintf("(%d, %d)", toImage(p.x(), zoom_), toImage(p.y(), zoom_)));
    else
        emit pointerMoved({});
}

QString TBmpViewWindow::boxPurpose() const {
    switch (session_.boxTool()) {
    case BoxTool::Crop: return QStringLiteral("the box to crop to");
    case BoxTool::Pixelate: return QStringLiteral("the area to pixelate");
    case BoxTool::Blur: return QStringLiteral("the area to blur");
    case BoxTool::Caption: return QStringLiteral("where the caption goes (Enter: at the bottom)");
    case BoxTool::None: break;
    }
    return {};
}

QString TBmpViewWindow::boxAction() const {
    switch (session_.boxTool()) {
    case BoxTool::Crop: return QStringLiteral("crop...");
    case BoxTool::Pixelate: return QStringLiteral("pixelate...");
    case BoxTool::Blur: return QStringLiteral("blur...");
    case BoxTool::Caption: return QStringLiteral("text...");
    case BoxTool::None: break;
    }
    return {};
}

TPoint TBmpViewWindow::imagePoint(QPoint windowPoint) const {
    const QPoint p = windowPoint + scrollOffset();
    return {toImage(p.x(), zoom_), toImage(p.y(), zoom_)};
}

void TBmpViewWindow::mousePressEvent(QMouseEvent* event) {
    if (box_ && event->button() == Qt::LeftButton) {
        // Handles catch the mouse within a few pixels of the window.
        box_->press(imagePoint(event->position().toPoint()), std::max(1, toImage(5, zoom_)));
        return;
    }
    if (event->button() != Qt::LeftButton || session_.pickMode() == PickMode::None || session_.isBusy()) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint() + scrollOffset();
    // The background colour too can be picked from the picture, so that the
    // command is complete without the palette window.
    if (doc_.currentFrame) session_.picked(pickedIndexAt(doc_, {toImage(p.x(), zoom_), toImage(p.y(), zoom_)}));
    else session_.cancelPick();
}

void TBmpViewWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (box_) box_->release();
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TBmpViewWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (box_ && event->button() == Qt::LeftButton) {
        if (!box_->box().isEmpty()) session_.boxChosen(box_->box());
        return;
    }
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

bool TBmpViewWindow::boxToolKey(QKeyEvent* event) {
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    const bool size = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Escape: session_.endBoxTool(); return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A caption needs no box: it then goes to the bottom, centred.
        if (!box_->box().isEmpty() || session_.boxTool() == BoxTool::Caption) session_.boxChosen(box_->box());
        return true;
    case Qt::Key_Left: box_->nudge(-step, 0, size); break;
    case Qt::Key_Right: box_->nudge(step, 0, size); break;
    case Qt::Key_Up: box_->nudge(0, -step, size); break;
    case Qt::Key_Down: box_->nudge(0, step, size); break;
    default: return false;
    }
    viewport()->update();
    return true;
}

void TBmpViewWindow::leaveEvent(QEvent* event) {
    QAbstractScrollArea::leaveEvent(event);
    if (!session_.isBusy()) emit pointerMoved({});
}

void TBmpViewWindow::keyPressEvent(QKeyEvent* event) {
    if (box_ && boxToolKey(event)) {
        event->accept();
        return;
    }
    const TFrame* frame = doc_.currentFrame;
    switch (event->key()) {
    case Qt::Key_Escape: session_.cancelPick(); break;
    case Qt::Key_Delete:
        // The frames selected in the frame list go (Ctrl+Del is Edit >
        // Delete, the current frame alone).
        if (event->modifiers() != Qt::NoModifier) {
            QAbstractScrollArea::keyPressEvent(event);
            return;
        }
        session_.deleteListSelection();
        break;
    case Qt::Key_Home: session_.showFirstFrame(); break;
    case Qt::Key_End: session_.showLastFrame(); break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (frame && frame->index != 0) session_.prevFrame();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (frame && frame->next && frame->next->index > frame->index) session_.nextFrame();
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void TBmpViewWindow::contextMenuEvent(QContextMenuEvent* event) {
    session_.updateCommandStates();
    contextMenu_->exec(event->globalPos());
}

void TBmpViewWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TBmpViewWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TBmpViewWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    if (files.isEmpty() || session_.isBusy()) return;
    event->acceptProposedAction();
    session_.dropFiles(-1, files);
}

// --- Requests of the frame list and the dialogs ---

void TBmpViewWindow::showFrameRequested(int index, bool composed) {
    if (doc_.frameList.empty()) return;
    index = std::min(index, doc_.frameList.count() - 1);
    if (composed) {
        const TMyPalette none;
        composedBackground_ = compositeAt(doc_.frameList, index, {}, screenSizeOf(doc_),
                                          doc_.globalPalette ? *doc_.globalPalette : none);
        composedPicture_ = QImage();
        if (composedBackground_ && composedBackground_->image) {
            const TDib256& image = *composedBackground_->image;
            composedPicture_ = QImage(image.width(), image.height(), QImage::Format_Indexed8);
            for (int y = 0; y < image.height(); ++y)
                std::memcpy(composedPicture_.scanLine(y), image.row(y), size_t(image.width()));
            composedPicture_.setColorTable(painter_.picture().colorTable());
        }
    }
    doc_.showFrameAt(index);
    paintCurrent(!session_.viewState().showDirtyOnly);
}

void TBmpViewWindow::clearComposedBackground() {
    composedBackground_.reset();
    composedPicture_ = QImage();
    viewport()->update();
}

void TBmpViewWindow::markRect(const TRect& rect) {
    // While the crop tool is on, the Crop dialog's numbers move its box.
    if (box_) {
        if (!rect.isNull()) box_->setBox(rect);
        viewport()->update();
        return;
    }
    marked_ = rect;
    viewport()->update();
}

void TBmpViewWindow::previewOffset(int index, TPoint offset) {
    const TFrame* frame = index >= 0 ? doc_.frameList.frameAt(index) : nullptr;
    if (!frame) previewPicture_ = QImage();
    if (frame && frame->image) {
        const TSize screen = screenSizeOf(doc_);
        if (previewPicture_.size() != QSize(screen.width, screen.height)) {
            previewPicture_ = QImage(screen.width, screen.height, QImage::Format_ARGB32_Premultiplied);
            previewPicture_.fill(Qt::transparent);
        }
        QImage image(frame->image->width(), frame->image->height(), QImage::Format_Indexed8);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(image.scanLine(y), frame->image->row(y), size_t(image.width()));
        image.setColorTable(painter_.picture().colorTable());
        QPainter p(&previewPicture_);
        p.drawImage(frame->rect.left + offset.x, frame->rect.top + offset.y, image);
    }
    viewport()->update();
}

void TBmpViewWindow::readingChanged(bool reading) {
    reading_ = reading;
    readPicture_ = QImage();
    viewport()->update();
}

void TBmpViewWindow::showReadFrame(const TFrame& frame) {
    if (!reading_ || !frame.image) return;
    const TDib256& image = *frame.image;
    // Only what the window can show is painted: a frame placed far out (a
    // file may put one at 65535, 65535) must not make a picture of gigabytes.
    const int z = std::max(zoom_, 1);
    const QRect shown(0, 0, std::max(viewport()->width() / z, 1), std::max(viewport()->height() / z, 1));
    const QRect painted = QRect(frame.rect.left, frame.rect.top, image.width(), image.height()) & shown;
    if (painted.isEmpty()) return;
    const QSize needed(std::max(readPicture_.width(), painted.right() + 1),
                       std::max(readPicture_.height(), painted.bottom() + 1));
    if (needed != readPicture_.size()) {
        QImage grown(needed, QImage::Format_RGB32);
        if (grown.isNull()) return;
        grown.fill(workspaceColor());
        QPainter(&grown).drawImage(0, 0, readPicture_);
        readPicture_ = grown;
    }
    QRgb colors[256];
    for (int i = 0; i < 256; ++i) {
        const RgbQuad& q = image.colors()[size_t(i)];
        colors[i] = qRgb(q.red, q.green, q.blue);
    }
    const int key = frame.transparentIndex;
    for (int y = painted.top(); y <= painted.bottom(); ++y) {
        const uint8_t* in = image.row(y - frame.rect.top);
        QRgb* out = reinterpret_cast<QRgb*>(readPicture_.scanLine(y));
        for (int x = painted.left(); x <= painted.right(); ++x) {
            const uint8_t index = in[x - frame.rect.left];
            if (index != key) out[x] = colors[index];
        }
    }
    viewport()->update();
}

void TBmpViewWindow::showReadPreview(const TrueColorImage& image) {
    if (!reading_ || image.width() <= 0 || image.height() <= 0) return;
    readPicture_ = QImage(image.width(), image.height(), QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* out = reinterpret_cast<QRgb*>(readPicture_.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const Rgb8 c = image.rgbAt(x, y);
            out[x] = qRgb(c.red, c.green, c.blue);
        }
    }
    viewport()->update();
}

}  // namespace movigram
