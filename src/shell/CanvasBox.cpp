#include "CanvasBox.h"

#include <QPainter>
#include <QPainterPath>
#include <cstdlib>

namespace movigram {

void drawDashedOutline(QPainter& painter, const QRect& r) {
    const QRect line = r.adjusted(0, 0, -1, -1);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(line);
    QPen dashes(Qt::black, 1, Qt::CustomDashLine);
    dashes.setDashPattern({4, 4});
    painter.setPen(dashes);
    painter.drawRect(line);
}

CanvasBox::CanvasBox(const TRect& box, TSize screen) : screen_(screen) { setBox(box); }

void CanvasBox::setBox(const TRect& box) { box_ = box.isEmpty() ? TRect{} : clamped(box); }

// Inside the screen and at least one pixel each way.
TRect CanvasBox::clamped(TRect r) const {
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    r = r.intersected({0, 0, screen_.width, screen_.height});
    if (r.right <= r.left) r.right = std::min(r.left + 1, screen_.width), r.left = r.right - 1;
    if (r.bottom <= r.top) r.bottom = std::min(r.top + 1, screen_.height), r.top = r.bottom - 1;
    return r;
}

void CanvasBox::press(TPoint p, int reach) {
    anchor_ = p;
    start_ = box_;
    auto near = [reach](int a, int b) { return std::abs(a - b) <= reach; };
    const bool inX = p.x >= box_.left - reach && p.x <= box_.right + reach;
    const bool inY = p.y >= box_.top - reach && p.y <= box_.bottom + reach;
    left_ = inY && near(p.x, box_.left);
    right_ = inY && !left_ && near(p.x, box_.right);
    top_ = inX && near(p.y, box_.top);
    bottom_ = inX && !top_ && near(p.y, box_.bottom);
    // The handles sit at the corners and the middles of the edges.
    const int midX = (box_.left + box_.right) / 2, midY = (box_.top + box_.bottom) / 2;
    const bool onHandle = (left_ || right_ || near(p.x, midX)) && (top_ || bottom_ || near(p.y, midY)) &&
                          (left_ || right_ || top_ || bottom_);
    if (box_.isEmpty()) grip_ = Grip::New;
    else if (onHandle) grip_ = Grip::Edges;
    else if (p.x >= box_.left && p.x < box_.right && p.y >= box_.top && p.y < box_.bottom) grip_ = Grip::Move;
    else grip_ = Grip::New;
}

bool CanvasBox::drag(TPoint p) {
    const TRect before = box_;
    const int dx = p.x - anchor_.x, dy = p.y - anchor_.y;
    switch (grip_) {
    case Grip::None: return false;
    case Grip::New:
        if (std::abs(dx) < 2 && std::abs(dy) < 2) return false;  // a click, not yet a drag
        box_ = clamped({std::min(anchor_.x, p.x), std::min(anchor_.y, p.y), std::max(anchor_.x, p.x) + 1,
                        std::max(anchor_.y, p.y) + 1});
        break;
    case Grip::Move: {
        // The whole box moves, stopping at the screen's edges.
        const int mx = std::clamp(dx, -start_.left, screen_.width - start_.right);
        const int my = std::clamp(dy, -start_.top, screen_.height - start_.bottom);
        box_ = start_.moved(mx, my);
        break;
    }
    case Grip::Edges: {
        TRect r = start_;
        if (left_) r.left += dx;
        if (right_) r.right += dx;
        if (top_) r.top += dy;
        if (bottom_) r.bottom += dy;
        box_ = clamped(r);
        break;
    }
    }
    return box_ != before;
}

void CanvasBox::nudge(int dx, int dy, bool resize) {
    if (box_.isEmpty()) return;
    if (resize) {
        box_ = clamped({box_.left, box_.top, box_.right + dx, box_.bottom + dy});
        return;
    }
    const int mx = std::clamp(dx, -box_.left, screen_.width - box_.right);
    const int my = std::clamp(dy, -box_.top, screen_.height - box_.bottom);
    box_ = box_.moved(mx, my);
}

void CanvasBox::paint(QPainter& painter, const std::function<QRect(const TRect&)>& toWindow) const {
    if (box_.isEmpty()) return;
    painter.save();
    const QRect screen = toWindow({0, 0, screen_.width, screen_.height});
    const QRect box = toWindow(box_);
    // What falls outside the box is dimmed.
    QPainterPath outside;
    outside.addRect(screen);
    outside.addRect(box);
    outside.setFillRule(Qt::OddEvenFill);
    painter.fillPath(outside, QColor(0, 0, 0, 140));
    drawDashedOutline(painter, box);
    const QRect line = box.adjusted(0, 0, -1, -1);
    // Eight handles.
    const int h = 3;
    const int xs[3] = {line.left(), line.center().x(), line.right()};
    const int ys[3] = {line.top(), line.center().y(), line.bottom()};
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i)
            if (i != 1 || j != 1) painter.drawRect(QRect(xs[i] - h, ys[j] - h, 2 * h, 2 * h));
    // The size, below the box or inside it at the screen's bottom.
    const QString size = QStringLiteral("%1 \u00d7 %2").arg(box_.width()).arg(box_.height());
    const QFontMetrics fm(painter.font());
    QRect label(0, 0, fm.horizontalAdvance(size) + 10, fm.height() + 4);
    label.moveTopLeft(QPoint(box.left(), box.bottom() + 6));
    if (label.bottom() > screen.bottom()) label.moveBottomLeft(QPoint(box.left() + 4, box.bottom() - 4));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 180));
    painter.drawRoundedRect(label, 3, 3);
    painter.setPen(Qt::white);
    painter.drawText(label, Qt::AlignCenter, size);
    painter.restore();
}

}  // namespace movigram
