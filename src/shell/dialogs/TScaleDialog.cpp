#include "TScaleDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "TNumEdit.h"
#include "commands/CommandTable.h"
#include "frameops/Scale.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

int proportional(int value, int32_t to, int32_t from) {
    return int(std::clamp(std::lround(double(value) * to / from), 1L, long(maxScaledSide)));
}

}  // namespace

TScaleDialog::TScaleDialog(EditorSession& session)
    : QDialog(session.window()),
      session_(session),
      screenWidth_(std::max(session.document().screenWidth, 1)),
      screenHeight_(std::max(session.document().screenHeight, 1)) {
    setWindowTitle(QStringLiteral("Scale"));
    auto* grid = new QGridLayout;
    auto field = [&](int row, const QString& text, int low, int high, int value, const QString& unit) {
        auto* edit = new TNumEdit(this);
        edit->setRange(low, high);
        edit->setValue(value);
        auto* label = new QLabel(text, this);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(new QLabel(unit, this), row, 2);
        return edit;
    };
    width_ = field(0, QStringLiteral("&Width:"), 1, maxScaledSide, screenWidth_, QStringLiteral("pixels"));
    height_ = field(1, QStringLiteral("&Height:"), 1, maxScaledSide, screenHeight_, QStringLiteral("pixels"));
    percent_ = field(2, QStringLiteral("&Percent:"), 1, 10000, 100, QStringLiteral("%"));
    keepAspect_ = new QCheckBox(QStringLiteral("&Keep aspect ratio"), this);
    keepAspect_->setChecked(true);
    grid->addWidget(keepAspect_, 3, 0, 1, 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TScaleDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TScaleDialog::reject);
    auto* main = new QVBoxLayout(this);
    main->addWidget(new QLabel(QStringLiteral("Now %1 x %2 pixels").arg(screenWidth_).arg(screenHeight_), this));
    main->addLayout(grid);
    main->addWidget(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(width_, &TNumEdit::edited, this, &TScaleDialog::widthEdited);
    connect(height_, &TNumEdit::edited, this, &TScaleDialog::heightEdited);
    connect(percent_, &TNumEdit::edited, this, &TScaleDialog::percentEdited);
    connect(keepAspect_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) widthEdited(width_->value());
    });
    width_->setFocus();
    width_->selectAll();
}

void TScaleDialog::widthEdited(int value) {
    if (value < 1) return;
    if (keepAspect_->isChecked()) height_->setValue(proportional(value, screenHeight_, screenWidth_));
    percent_->setValue(proportional(value, 100, screenWidth_));
}

void TScaleDialog::heightEdited(int value) {
    if (value < 1 || !keepAspect_->isChecked()) return;
    width_->setValue(proportional(value, screenWidth_, screenHeight_));
    percent_->setValue(proportional(value, 100, screenHeight_));
}

void TScaleDialog::percentEdited(int value) {
    if (value < 1) return;
    width_->setValue(proportional(value, screenWidth_, 100));
    height_->setValue(proportional(value, screenHeight_, 100));
}

void TScaleDialog::accept() {
    const int w = width_->value(), h = height_->value();
    if (w < 1 || h < 1 || w > maxScaledSide || h > maxScaledSide) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The width and height are 1 to 65535 pixels."));
        (w < 1 || w > maxScaledSide ? width_ : height_)->setFocus();
        return;
    }
    if (!scaleAnimation(session_.document(), w, h, undoLabelOf(CommandId::Scale))) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("The animation cannot be scaled to this size: the frames would not fit in memory."));
        return;
    }
    QDialog::accept();
}

}  // namespace movigram
