#include "TRecordingControl.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "commands/SaveCommands.h"

namespace movigram {

QRect placeOutside(QSize size, const QRect& region, const QRect& screen) {
    constexpr int gap = 8;
    const int centredX = region.center().x() - size.width() / 2;
    const int centredY = region.center().y() - size.height() / 2;
    const QRect candidates[] = {
        {QPoint(centredX, region.bottom() + 1 + gap), size},
        {QPoint(centredX, region.top() - gap - size.height()), size},
        {QPoint(region.right() + 1 + gap, centredY), size},
        {QPoint(region.left() - gap - size.width(), centredY), size},
    };
    auto keptOnScreen = [&](QRect r) {
        r.moveLeft(std::clamp(r.left(), screen.left(), std::max(screen.right() + 1 - r.width(), screen.left())));
        r.moveTop(std::clamp(r.top(), screen.top(), std::max(screen.bottom() + 1 - r.height(), screen.top())));
        return r;
    };
    for (const QRect& c : candidates) {
        const QRect placed = keptOnScreen(c);
        if (!placed.intersects(region) && screen.contains(placed)) return placed;
    }
    return keptOnScreen({screen.bottomRight() - QPoint(size.width() + gap, size.height() + gap), size});
}

TRecordingControl::TRecordingControl(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Recording"));
    status_ = new QLabel(this);
    status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(QStringLiteral("\u25cf Recording 00:00 \u00b7 00000 frames \u00b7 000.0 MB")));
    pause_ = new QPushButton(QStringLiteral("&Pause"), this);
    stop_ = new QPushButton(QStringLiteral("&Stop"), this);
    stop_->setDefault(true);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 4, 4);
    row->addWidget(status_);
    row->addWidget(pause_);
    row->addWidget(stop_);
    setAutoFillBackground(true);
    connect(pause_, &QPushButton::clicked, this, [this] {
        paused_ = !paused_;
        pause_->setText(paused_ ? QStringLiteral("&Resume") : QStringLiteral("&Pause"));
        emit pauseToggled(paused_);
    });
    connect(stop_, &QPushButton::clicked, this, &TRecordingControl::stopRequested);
    showStatus({});
}

void TRecordingControl::showStatus(const RecordingStatus& status) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(status.elapsed).count();
    const QString time = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    status_->setText(QStringLiteral("%1 %2 \u00b7 %3 frame%4 \u00b7 %5")
                         .arg(status.paused ? QStringLiteral("\u275a\u275a Paused") : QStringLiteral("\u25cf Recording"),
                              time)
                         .arg(status.frames)
                         .arg(status.frames == 1 ? QString() : QStringLiteral("s"))
                         .arg(QString::fromStdString(describeSize(status.bytes))));
}

void TRecordingControl::showCountdown(int seconds) {
    status_->setText(QStringLiteral("Starts in %1 s").arg(seconds));
}

void TRecordingControl::showBeside(const QRect& region, const QRect& screen) {
    adjustSize();
    setGeometry(placeOutside(sizeHint(), region, screen));
    show();
    raise();
}

void TRecordingControl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) emit stopRequested();
    else QWidget::keyPressEvent(event);
}

}  // namespace movigram
