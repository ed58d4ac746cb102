#include "ColorDialog.h"

#include <QComboBox>
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

TColorDialog::TColorDialog(QWidget* parent, int initial, const QuantizeOptions& quantize) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Reducing color depth"));
    upDown_ = new TPower2UpDown(this);
    upDown_->setValue(initial);
    upDown_->selectAll();

    quantizer_ = new QComboBox(this);
    quantizer_->setObjectName(QStringLiteral("Quantizer"));
    quantizer_->addItems({QStringLiteral("Median cut"), QStringLiteral("High quality")});
    quantizer_->setCurrentIndex(int(quantize.quantizer));
    dither_ = new QComboBox(this);
    dither_->setObjectName(QStringLiteral("Dither"));
    dither_->addItems({QStringLiteral("None"), QStringLiteral("Ordered"), QStringLiteral("Error diffusion")});
    dither_->setCurrentIndex(int(quantize.dither));
    strength_ = new QSpinBox(this);
    strength_->setObjectName(QStringLiteral("Strength"));
    strength_->setRange(1, QuantizeOptions::fullStrength);
    strength_->setSuffix(QStringLiteral(" %"));
    strength_->setValue(quantize.ditherStrength);
    const auto diffusionOnly = [this] { strength_->setEnabled(dither_->currentIndex() == int(DitherMethod::Diffusion)); };
    connect(dither_, &QComboBox::currentIndexChanged, this, diffusionOnly);
    diffusionOnly();

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Number of colors:"), upDown_);
    form->addRow(QStringLiteral("&Quantizer:"), quantizer_);
    form->addRow(QStringLiteral("&Dithering:"), dither_);
    form->addRow(QStringLiteral("&Strength:"), strength_);
    auto* hint = new QLabel(QStringLiteral("From 2 to 256; the arrows step through the powers of two.\n"
                                           "Local palettes are collapsed into the global palette."),
                            this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    upDown_->setFocus();
}

int TColorDialog::colorCount() const { return parseColorCount(upDown_->text().toStdString()); }

QuantizeOptions TColorDialog::quantizeOptions() const {
    QuantizeOptions options;
    options.quantizer = Quantizer(quantizer_->currentIndex());
    options.dither = DitherMethod(dither_->currentIndex());
    options.ditherStrength = strength_->value();
    return options;
}

}  // namespace movigram
