#include "TRecordDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace movigram {

namespace {

constexpr int snapshotPause = 250;  // ms

}  // namespace

TRecordDialog::TRecordDialog(QWidget* parent, const RecordChoice& last, bool canInsert, SnapshotSource snapshot)
    : QDialog(parent), choice_(last), snapshot_(std::move(snapshot)) {
    setWindowTitle(QStringLiteral("Record screen"));
    what_ = new QLabel(this);
    what_->setMinimumWidth(what_->fontMetrics().horizontalAdvance(QStringLiteral("Region of 1920 \u00d7 1080 at 1920, 1080")));
    choose_ = new QPushButton(QStringLiteral("C&hoose..."), this);
    auto* whatRow = new QHBoxLayout;
    whatRow->addWidget(what_, 1);
    whatRow->addWidget(choose_);

    fps_ = new QSpinBox(this);
    fps_->setRange(RecordChoice::lowestFps, RecordChoice::highestFps);
    fps_->setSuffix(QStringLiteral(" frames per second"));
    fps_->setValue(std::clamp(last.fps, RecordChoice::lowestFps, RecordChoice::highestFps));
    pointer_ = new QCheckBox(QStringLiteral("Show the &pointer"), this);
    pointer_->setChecked(last.pointer);
    delay_ = new QSpinBox(this);
    delay_->setRange(0, RecordChoice::longestDelay);
    delay_->setSpecialValueText(QStringLiteral("at once"));
    delay_->setPrefix(QStringLiteral("after "));
    delay_->setSuffix(QStringLiteral(" s"));
    delay_->setValue(std::clamp(last.delaySeconds, 0, RecordChoice::longestDelay));
    where_ = new QComboBox(this);
    where_->addItem(QStringLiteral("A new animation"));
    where_->addItem(QStringLiteral("This animation, before the current frame"));
    where_->setCurrentIndex(canInsert && last.insert ? 1 : 0);
    where_->setEnabled(canInsert);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Record:"), whatRow);
    form->addRow(QStringLiteral("&Frame rate:"), fps_);
    form->addRow(QString(), pointer_);
    form->addRow(QStringLiteral("&Start:"), delay_);
    form->addRow(QStringLiteral("&Put it in:"), where_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Record"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TRecordDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TRecordDialog::reject);
    auto* help = new QLabel(QStringLiteral("While recording, Stop or Escape in the recording window ends it."), this);
    help->setWordWrap(true);
    auto* main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(help);
    main->addWidget(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(choose_, &QPushButton::clicked, this, &TRecordDialog::chooseOnScreen);
    showWhat();
}

RecordChoice TRecordDialog::choice() const {
    RecordChoice c = choice_;
    c.fps = fps_->value();
    c.pointer = pointer_->isChecked();
    c.delaySeconds = delay_->value();
    c.insert = where_->isEnabled() && where_->currentIndex() == 1;
    return c;
}

void TRecordDialog::showWhat() {
    const QRect& r = choice_.region;
    switch (choice_.kind) {
    case RecordChoice::WholeScreen:
        what_->setText(QStringLiteral("The whole screen"));
        break;
    case RecordChoice::Window:
        what_->setText(QStringLiteral("The window \u201c%1\u201d").arg(choice_.windowTitle.isEmpty() ? QStringLiteral("(untitled)") : choice_.windowTitle));
        break;
    case RecordChoice::Region:
        what_->setText(QStringLiteral("Region of %1 \u00d7 %2 at %3, %4").arg(r.width()).arg(r.height()).arg(r.left()).arg(r.top()));
        break;
    }
}

void TRecordDialog::chooseOnScreen() {
    // The dialog steps aside, so that the picture to choose from shows what
    // is under it; the desktop is given a moment to draw that.
    hide();
    QTimer::singleShot(snapshotPause, this, [this] {
        QString error;
        std::optional<ScreenSnapshot> snapshot = snapshot_ ? snapshot_(error) : std::nullopt;
        if (!snapshot) {
            show();
            QMessageBox::warning(this, QStringLiteral("Record screen"),
                                 QStringLiteral("The screen cannot be shown to choose from: %1").arg(error));
            return;
        }
        chooser_ = new TRegionChooser(std::move(snapshot->picture), std::move(snapshot->windows));
        connect(chooser_, &TRegionChooser::chosen, this, [this](const ScreenChoice& c) {
            choice_.kind = c.kind == ScreenChoice::Region   ? RecordChoice::Region
                           : c.kind == ScreenChoice::Window ? RecordChoice::Window
                                                            : RecordChoice::WholeScreen;
            choice_.region = c.rect;
            choice_.windowId = c.windowId;
            choice_.windowTitle = c.title;
            showWhat();
        });
        connect(chooser_, &QObject::destroyed, this, [this] {
            chooser_ = nullptr;
            show();
            activateWindow();
        });
        chooser_->start();
    });
}

}  // namespace movigram
