#include "TNumEdit.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QStyleOptionSpinBox>
#include <algorithm>

#include "frameops/NumberField.h"

namespace movigram {

TNumEdit::TNumEdit(QWidget* parent) : QAbstractSpinBox(parent) {
    setAccelerated(false);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lineEdit()->setMaxLength(30);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { emit edited(value()); });
    setValue(0);
}

QString TNumEdit::textOf(int value) {
    QString digits = QString::number(std::abs(int64_t(value)));
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, QLatin1Char(','));
    return value < 0 ? QLatin1Char('-') + digits : digits;
}

void TNumEdit::setRange(int minimum, int maximum) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    updateGeometry();
}

int TNumEdit::value() const { return readNumberField(text().toStdString()); }

void TNumEdit::setValue(int value) {
    lineEdit()->setText(textOf(value));
    update();
}

int TNumEdit::stepSize() const {
    int size = 1;
    if (!held_.isValid()) return size;
    const qint64 ms = held_.elapsed();
    for (const Acceleration& a : acceleration_)
        if (ms >= a.afterMs) size = a.step;
    return size;
}

void TNumEdit::stepBy(int steps) {
    const int64_t next = int64_t(value()) + int64_t(steps) * stepSize();
    setValue(int(std::clamp<int64_t>(next, minimum_, maximum_)));
    selectAll();
    emit edited(value());
}

QAbstractSpinBox::StepEnabled TNumEdit::stepEnabled() const {
    if (isReadOnly()) return StepNone;
    const int v = value();
    StepEnabled enabled = StepNone;
    if (v < maximum_) enabled |= StepUpEnabled;
    if (v > minimum_) enabled |= StepDownEnabled;
    return enabled;
}

QValidator::State TNumEdit::validate(QString& input, int&) const {
    for (QChar c : input)
        if (!c.isDigit() && c != QLatin1Char(',') && c != QLatin1Char('-') && c != QLatin1Char('+') &&
            c != QLatin1Char(' '))
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

void TNumEdit::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) held_.start();
    QAbstractSpinBox::keyPressEvent(event);
}

void TNumEdit::keyReleaseEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) held_.invalidate();
    QAbstractSpinBox::keyReleaseEvent(event);
}

void TNumEdit::mousePressEvent(QMouseEvent* event) {
    held_.start();
    QAbstractSpinBox::mousePressEvent(event);
}

void TNumEdit::mouseReleaseEvent(QMouseEvent* event) {
    held_.invalidate();
    QAbstractSpinBox::mouseReleaseEvent(event);
}

QSize TNumEdit::sizeHint() const {
    ensurePolished();
    const QFontMetrics fm(fontMetrics());
    const int w = std::max(fm.horizontalAdvance(textOf(minimum_)), fm.horizontalAdvance(textOf(maximum_))) +
                  fm.horizontalAdvance(QLatin1Char('0')) + 2;
    const int h = lineEdit()->sizeHint().height();
    QStyleOptionSpinBox option;
    initStyleOption(&option);
    return style()->sizeFromContents(QStyle::CT_SpinBox, &option, QSize(w, h), this);
}

QSize TNumEdit::minimumSizeHint() const { return sizeHint(); }

}  // namespace movigram
