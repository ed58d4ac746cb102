#include "ColorDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "colour/ColorCountRules.h"

namespace movigram {

TPower2UpDown::TPower2UpDown(QWidget* parent) : QSpinBox(parent) {
    setObjectName(QStringLiteral("ColorCount"));
    setRange(2, 256);
    lineEdit()->setMaxLength(29);
    setCorrectionMode(CorrectToNearestValue);
}

void TPower2UpDown::stepBy(int steps) {
    int value = parseColorCount(text().toStdString());
    for (int i = 0; i < std::abs(steps); ++i) value = stepPowerOfTwo(value, steps > 0 ? 1 : -1);
    setValue(value);
    selectAll();
}

QValidator::State TPower2UpDown::validate(QString& text, int&) const {
    // Any text may be typed; what counts is the number the rules read in it.
    return text.trimmed().isEmpty() ? QValidator::Intermediate : QValidator::Acceptable;
}

int TPower2UpDown::valueFromText(const QString& text) const { return parseColorCount(text.toStdString()); }

TColorDialog::TColorDialog(QWidget* parent, int initial) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Reducing color depth"));
    upDown_ = new TPower2UpDown(this);
    upDown_->setValue(initial);
    upDown_->selectAll();

    auto* label = new QLabel(QStringLiteral("&Number of colors:"), this);
    label->setBuddy(upDown_);
    auto* hint = new QLabel(QStringLiteral("From 2 to 256; the arrows step through the powers of two.\n"
                                           "Local palettes are collapsed into the global palette."),
                            this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(upDown_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    upDown_->setFocus();
}

int TColorDialog::colorCount() const { return parseColorCount(upDown_->text().toStdString()); }

}  // namespace movigram
