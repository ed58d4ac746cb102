#include "TBmpViewWindow.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>

#include "ActionRegistry.h"
#include "BrowserServices.h"
#include "EditClipboard.h"
#include "FrameListWindow.h"
#include "PaletteWindow.h"
#include "Playback.h"
#include "StatusGadgets.h"
#include "TMyFrameWindow.h"
#include "Zoom.h"
#include "commands/FileCommands.h"
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

TBmpViewWindow::TBmpViewWindow(TMyFrameWindow& frame)
    : QAbstractScrollArea(&frame), frame_(frame), host_(*this), doc_(&host_), painter_(workspaceColor()) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    doc_.addObserver(this);

    actions_ = new ActionRegistry(this);
    connect(actions_, &ActionRegistry::triggered, this, &TBmpViewWindow::command);
    contextMenu_ = actions_->makeContextMenu(this);
    playback_ = std::make_unique<Playback>(*this);
    clipboard_ = std::make_unique<EditClipboard>();
    browserServices_ = std::make_unique<BrowserServices>();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TBmpViewWindow::clipboardChanged);
    view_.clipboardHasData = EditClipboard::offersPaste();
    frameListWindow_ = new TFrameWinListBox(*this, &frame);
    frameListWindow_->hide();
    connect(frameListWindow_, &TFrameWinListBox::closed, this, &TBmpViewWindow::frameListClosed);

    live_.paint = [this](const TFrame& read) {
        showReadFrame(read);
        host_.keepAlive();
    };
    live_.preview = [this](const TrueColorImage& image) {
        showReadPreview(image);
        host_.keepAlive();
    };

    commandUpdate_.setSingleShot(true);
    commandUpdate_.setInterval(0);
    connect(&commandUpdate_, &QTimer::timeout, this, &TBmpViewWindow::updateCommandStates);
    updateCommandStates();
}

TBmpViewWindow::~TBmpViewWindow() {
    playback_->stop();
    // The list and its model follow the document: they go first.
    delete frameListWindow_;
    delete paletteWindow_;
    doc_.removeObserver(this);
}

TFrameListBox& TBmpViewWindow::frameListBox() { return frameListWindow_->listBox(); }

void TBmpViewWindow::scheduleCommandUpdate() {
    if (!commandUpdate_.isActive()) commandUpdate_.start();
}

void TBmpViewWindow::updateCommandStates() {
    commandUpdate_.stop();
    actions_->update(doc_, view_);
}

// --- Following the document ---

void TBmpViewWindow::changed() {
    browser_.invalidate();
    scheduleCommandUpdate();
}

void TBmpViewWindow::framesAboutToBeRemoved(int first, int count) {
    for (int i = first; i < first + count; ++i) {
        const TFrame* f = doc_.frameList.frameAt(i);
        if (f == shown_) shown_ = nullptr;
        if (f == previous_) previous_ = nullptr;
    }
}

void TBmpViewWindow::framesAboutToBeReset() { shown_ = previous_ = nullptr; }

void TBmpViewWindow::frameChanged(int) {
    // The frame may have been replaced by another object.
    if (shown_ && doc_.frameList.indexOf(shown_) < 0) shown_ = nullptr;
    if (previous_ && doc_.frameList.indexOf(previous_) < 0) previous_ = nullptr;
    changed();
}

void TBmpViewWindow::currentFrameChanged() {
    frameBecameCurrent();
    scheduleCommandUpdate();
}

void TBmpViewWindow::frameBecameCurrent() {
    TFrame* frame = doc_.currentFrame;
    // A comment frame leaves the screen as the image frame before it left
    // it, and that frame's restore is still to be done.
    if (!shown_ || shown_->image) previous_ = shown_;
    shown_ = frame;
    shownIndex_ = frame ? doc_.frameList.indexOf(frame) : -1;
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
        if (text && text->textWidth == 0 && text->textHeight == 0) text->measure(*host_.textMeasurer());
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
    if (playbackPainting_) return;
    // A frame that does not follow the one shown is drawn over the screen
    // as the frames before it leave it, not over whatever was shown last.
    if (!painter_.isEmpty() && !(previous_ && followsThroughComments(previous_, frame))) {
        painter_.recompose(doc_, shownIndex_ - 1);
        previous_ = nullptr;
        for (int i = shownIndex_ - 1; i >= 0 && !previous_; --i)
            if (TFrame* before = doc_.frameList.frameAt(i); before->image) previous_ = before;
    }
    paintCurrent(!view_.showDirtyOnly);
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
    frame_.colorText().setColor(shownTransparent_, palette);
}

void TBmpViewWindow::paintCurrent(bool fullRepaint) {
    if (!doc_.currentFrame) return;
    if (view_.showAsBrowsers || shownIsComment_) {
        viewport()->update();
        return;
    }
    const TRect area = painter_.paintFrame(doc_, previous_, fullRepaint);
    lastArea_ = area;
    if (view_.showDirtyOnly || doc_.showDirtyRect || composedBackground_ || !marked_.isNull() ||
        !previewPicture_.isNull())
        viewport()->update();
    else
        viewport()->update(toWindowRect(area).adjusted(-1, -1, 1, 1));
}

void TBmpViewWindow::showPlaybackFrame(TFrame* frame) {
    playbackPainting_ = true;
    doc_.setCurrentFrame(frame);
    playbackPainting_ = false;
    paintCurrent(false);
}

void TBmpViewWindow::paletteChanged() {
    painter_.setColorTable(doc_);
    refreshColorText();
    browser_.invalidate();
    viewport()->update();
    scheduleCommandUpdate();
}

void TBmpViewWindow::fileNameChanged() {
    frame_.setWindowTitle(QString::fromStdString(titleText(doc_)));
    scheduleCommandUpdate();
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
    viewport()->update();
    scheduleCommandUpdate();
}

void TBmpViewWindow::editStarting() {
    if (playback_->isPlaying()) playback_->stop();
}

// --- View ---

void TBmpViewWindow::updateViewText() {
    QString text = ratioText(view_.zoom);
    if (doc_.screenWidth != 0 || doc_.screenHeight != 0)
        text = QStringLiteral("%1  %2x%3").arg(text).arg(doc_.screenWidth).arg(doc_.screenHeight);
    frame_.viewText().setText(text);
}

void TBmpViewWindow::resetScrollRange() {
    QSize extent;
    if (shownIsComment_) {
        extent = commentBox_;
    } else {
        const TSize screen = screenSizeOf(doc_);
        extent = doc_.frameList.empty() ? QSize() : QSize(toWindow(screen.width, view_.zoom), toWindow(screen.height, view_.zoom));
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

void TBmpViewWindow::zoomTo(int zoom) {
    if (zoom == view_.zoom) return;
    view_.zoom = zoom;
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    resetScrollRange();
    updateViewText();
    viewport()->update();
    updateCommandStates();
}

QPoint TBmpViewWindow::scrollOffset() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

QRect TBmpViewWindow::toWindowRect(const TRect& r) const {
    const int z = view_.zoom;
    return QRect(QPoint(toWindow(r.left, z), toWindow(r.top, z)), QPoint(toWindow(r.right, z) - 1, toWindow(r.bottom, z) - 1))
        .translated(-scrollOffset());
}

void TBmpViewWindow::drawPicture(QPainter& painter, const QImage& picture, const QRect& imageArea,
                                 const QRect& exposed) const {
    const int z = view_.zoom;
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
    if (view_.showAsBrowsers && shownIndex_ >= 0 && !busy_) {
        fillChecker(painter, toWindowRect({0, 0, all.width(), all.height()}).intersected(exposed));
        drawPicture(painter, browser_.pictureAt(doc_, shownIndex_), all, exposed);
    } else if (composedBackground_) {
        drawPicture(painter, composedPicture_, composedPicture_.rect(), exposed);
        drawPicture(painter, picture, QRect(lastArea_.left, lastArea_.top, lastArea_.width(), lastArea_.height()), exposed);
    } else if (view_.showDirtyOnly) {
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
}

void TBmpViewWindow::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    resetScrollRange();
}

// --- Mouse and keys ---

void TBmpViewWindow::mouseMoveEvent(QMouseEvent* event) {
    // The position on the canvas counts from the picture's corner, also
    // while the canvas is scrolled.
    const QPoint p = event->position().toPoint() + scrollOffset();
    const TSize screen{doc_.screenWidth, doc_.screenHeight};
    QStatusBar* bar = frame_.statusBar();
    if (!doc_.frameList.empty() && p.x() >= 0 && p.y() >= 0 && p.x() < toWindow(screen.width, view_.zoom) &&
        p.y() < toWindow(screen.height, view_.zoom))
        bar->showMessage(QString::asprintf("(%d, %d)", toImage(p.x(), view_.zoom), toImage(p.y(), view_.zoom)));
    else
        bar->clearMessage();
}

void TBmpViewWindow::leaveEvent(QEvent* event) {
    QAbstractScrollArea::leaveEvent(event);
    if (!busy_) frame_.statusBar()->clearMessage();
}

void TBmpViewWindow::keyPressEvent(QKeyEvent* event) {
    const TFrame* frame = doc_.currentFrame;
    switch (event->key()) {
    case Qt::Key_Escape: leavePickMode(); break;
    case Qt::Key_Home: showFirstFrame(); break;
    case Qt::Key_End: showLastFrame(); break;
    case Qt::Key_Left:
    case Qt::Key_Up:
        if (frame && frame->index != 0) prevFrame();
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        if (frame && frame->next && frame->next->index > frame->index) nextFrame();
        break;
    default: QAbstractScrollArea::keyPressEvent(event); return;
    }
    event->accept();
}

void TBmpViewWindow::contextMenuEvent(QContextMenuEvent* event) {
    updateCommandStates();
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
    if (files.isEmpty() || busy_) return;
    event->acceptProposedAction();
    dropFiles(-1, files);
}

// --- Requests of the frame list and the dialogs ---

bool TBmpViewWindow::isListLineVisibleOrAbove(int index) const {
    auto& list = const_cast<TBmpViewWindow*>(this)->frameListBox();
    return index < list.topIndex() + list.visibleLines();
}

void TBmpViewWindow::listSelect(int index) {
    if (index < 0 || busy_) return;
    doc_.showFrameAt(index);
    // The keys go on stepping through the frames on the canvas.
    if (frameListWindow_->isFloating()) activateWindow();
    setFocus();
}

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
    paintCurrent(!view_.showDirtyOnly);
}

void TBmpViewWindow::clearComposedBackground() {
    composedBackground_.reset();
    composedPicture_ = QImage();
    viewport()->update();
}

void TBmpViewWindow::markRect(const TRect& rect) {
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

void TBmpViewWindow::showReadFrame(const TFrame& frame) {
    if (!reading_ || !frame.image) return;
    const TDib256& image = *frame.image;
    // Only what the window can show is painted: a frame placed far out (a
    // file may put one at 65535, 65535) must not make a picture of gigabytes.
    const int z = std::max(view_.zoom, 1);
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
