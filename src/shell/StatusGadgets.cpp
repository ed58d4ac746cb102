#include "StatusGadgets.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

#include "document/TMyPalette.h"

namespace movigram {

namespace {

void drawSunkenFrame(QWidget& widget, QPainter& painter) {
    QStyleOptionFrame frame;
    frame.initFrom(&widget);
    frame.lineWidth = 1;
    frame.midLineWidth = 0;
    frame.state |= QStyle::State_Sunken;
    frame.frameShape = QFrame::StyledPanel;
    widget.style()->drawPrimitive(QStyle::PE_Frame, &frame, &painter, &widget);
}

}  // namespace

TGaugeGadget::TGaugeGadget(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QSize TGaugeGadget::sizeHint() const { return {120, fontMetrics().height() + 4}; }

void TGaugeGadget::setValue(int percent) {
    percent = std::clamp(percent, 0, 100);
    if (percent == value_) return;
    value_ = percent;
    repaint();
}

void TGaugeGadget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawSunkenFrame(*this, painter);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    if (value_ > 0)
        painter.fillRect(QRect(inner.left(), inner.top(), inner.width() * value_ / 100, inner.height()),
                         QColor(0, 0, 128));
}

TTextGadget::TTextGadget(const QString& sample, QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setMinimumWidth(fontMetrics().horizontalAdvance(sample) + 12);
    setIndent(3);
}

TColorGadget::TColorGadget(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    setColor(-1, nullptr);
}

QSize TColorGadget::sizeHint() const {
    const int h = fontMetrics().height() + 4;
    return {fontMetrics().horizontalAdvance(QStringLiteral("No transparent color")) + h + 12, h};
}

void TColorGadget::setColor(int index, const TMyPalette* palette) {
    index_ = index;
    text_ = index < 0 ? QStringLiteral("No transparent color") : QString::asprintf("Transp. color [%d]", index);
    swatch_.reset();
    if (index >= 0 && index < 256 && palette) {
        const PaletteEntry& e = palette->entry(index);
        swatch_ = QColor(e.red, e.green, e.blue);
    }
    update();
}

void TColorGadget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawSunkenFrame(*this, painter);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.drawText(inner.adjusted(4, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text_);
    if (swatch_) {
        const int side = inner.height();
        painter.fillRect(QRect(inner.right() + 1 - side, inner.top(), side, side), *swatch_);
    }
}

}  // namespace movigram
