#include "TRegionChooser.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "shell/CanvasBox.h"

namespace movigram {

namespace {

// A press that moves less than this is a click.
constexpr int dragThreshold = 4;

}  // namespace

TRegionChooser::TRegionChooser(QImage picture, std::vector<PickableWindow> windows, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      picture_(std::move(picture)),
      windows_(std::move(windows)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Choose what to record"));
    setMouseTracking(true);
    setCursor(Qt::CrossCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void TRegionChooser::start() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->geometry());
    else resize(picture_.size());
    showFullScreen();
    activateWindow();
    setFocus();
}

QPoint TRegionChooser::toPicture(QPointF p) const {
    const double sx = width() > 0 ? double(picture_.width()) / width() : 1.0;
    const double sy = height() > 0 ? double(picture_.height()) / height() : 1.0;
    return {std::clamp(int(std::floor(p.x() * sx)), 0, std::max(picture_.width() - 1, 0)),
            std::clamp(int(std::floor(p.y() * sy)), 0, std::max(picture_.height() - 1, 0))};
}

QRect TRegionChooser::toWidget(const QRect& r) const {
    const double sx = picture_.width() > 0 ? double(width()) / picture_.width() : 1.0;
    const double sy = picture_.height() > 0 ? double(height()) / picture_.height() : 1.0;
    return QRect(QPoint(int(std::lround(r.left() * sx)), int(std::lround(r.top() * sy))),
                 QPoint(int(std::lround((r.right() + 1) * sx)) - 1, int(std::lround((r.bottom() + 1) * sy)) - 1));
}

const PickableWindow* TRegionChooser::windowAt(QPoint p) const {
    for (const PickableWindow& w : windows_)
        if (w.rect.contains(p)) return &w;
    return nullptr;
}

void TRegionChooser::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(rect(), picture_);
    painter.fillRect(rect(), QColor(0, 0, 0, 120));

    QRect lit;
    QString label;
    if (dragging_) {
        lit = dragged_;
        label = QStringLiteral("%1 \u00d7 %2").arg(dragged_.width()).arg(dragged_.height());
    } else if (hovered_) {
        lit = hovered_->rect.intersected(picture_.rect());
        label = hovered_->title.isEmpty() ? QStringLiteral("%1 \u00d7 %2").arg(lit.width()).arg(lit.height())
                                          : QStringLiteral("%1 (%2 \u00d7 %3)").arg(hovered_->title).arg(lit.width()).arg(lit.height());
    }
    if (!lit.isEmpty()) {
        const QRect onScreen = toWidget(lit);
        painter.drawImage(onScreen, picture_, lit);
        drawDashedOutline(painter, onScreen);
        const QFontMetrics metrics(font());
        QRect box = metrics.boundingRect(label).adjusted(-6, -3, 6, 3);
        box.moveTopLeft(onScreen.bottomLeft() + QPoint(0, 6));
        if (box.bottom() > height()) box.moveBottomLeft(onScreen.topLeft() - QPoint(0, 6));
        if (box.top() < 0) box.moveTopLeft(onScreen.topLeft() + QPoint(6, 6));
        box.moveLeft(std::clamp(box.left(), 0, std::max(width() - box.width(), 0)));
        painter.fillRect(box, QColor(0, 0, 0, 200));
        painter.setPen(Qt::white);
        painter.drawText(box, Qt::AlignCenter, label);
    }

    const QString hint = QStringLiteral("Drag to choose a region, click a window, Enter for the whole screen, Esc to cancel");
    const QFontMetrics metrics(font());
    QRect box = metrics.boundingRect(hint).adjusted(-10, -5, 10, 5);
    box.moveCenter({width() / 2, box.height()});
    painter.fillRect(box, QColor(0, 0, 0, 200));
    painter.setPen(Qt::white);
    painter.drawText(box, Qt::AlignCenter, hint);
}

void TRegionChooser::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        finish({});  // any other button gives up, as Escape does
        return;
    }
    pressed_ = true;
    dragging_ = false;
    anchor_ = toPicture(event->position());
}

void TRegionChooser::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = toPicture(event->position());
    if (pressed_) {
        if (!dragging_ && (at - anchor_).manhattanLength() >= dragThreshold) dragging_ = true;
        // From the pixel pressed to the one under the pointer, at least one
        // pixel wide and high.
        if (dragging_)
            dragged_ = QRect(QPoint(std::min(anchor_.x(), at.x()), std::min(anchor_.y(), at.y())),
                             QSize(std::max(std::abs(at.x() - anchor_.x()), 1), std::max(std::abs(at.y() - anchor_.y()), 1)));
    } else {
        hovered_ = windowAt(at);
    }
    update();
}

void TRegionChooser::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || event->button() != Qt::LeftButton) return;
    pressed_ = false;
    if (dragging_) {
        finish({ScreenChoice::Region, dragged_, 0, {}});
        return;
    }
    if (const PickableWindow* w = windowAt(toPicture(event->position())))
        finish({ScreenChoice::Window, w->rect.intersected(picture_.rect()), w->id, w->title});
    else
        finish({ScreenChoice::WholeScreen, picture_.rect(), 0, {}});
}

void TRegionChooser::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        finish({});
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        finish({ScreenChoice::WholeScreen, picture_.rect(), 0, {}});
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TRegionChooser::finish(const ScreenChoice& choice) {
    if (choice.rect.isEmpty()) emit cancelled();
    else emit chosen(choice);
    close();
}

}  // namespace movigram
