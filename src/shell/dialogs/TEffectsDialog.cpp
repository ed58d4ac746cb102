#include "TEffectsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "PalettePick.h"
#include "TNumEdit.h"
#include "effects/DoFade.h"
#include "effects/EffectTable.h"
#include "frameops/NumberField.h"
#include "shell/ColorChooser.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

QColor toQColor(int32_t rgb) { return QColor(redOf(rgb), greenOf(rgb), blueOf(rgb)); }

}  // namespace

// --- The swatch ---

TColorStatic::TColorStatic(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::ClickFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void TColorStatic::setColor(int32_t rgb, bool withText) {
    rgb_ = rgb;
    setText(withText ? QString::asprintf("%d, %d, %d", redOf(rgb), greenOf(rgb), blueOf(rgb)) : QString());
    update();
}

QSize TColorStatic::sizeHint() const {
    const QFontMetrics fm(fontMetrics());
    return {fm.horizontalAdvance(QStringLiteral(" 255, 255, 255 ")), fm.height() * 2};
}

void TColorStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect box = rect();
    painter.setPen(palette().color(QPalette::Mid));
    // Disabled, while the effect uses no colour: an empty frame.
    if (!isEnabled()) {
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        return;
    }
    painter.fillRect(box, toQColor(rgb_));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    const bool dark = 0.30 * redOf(rgb_) + 0.59 * greenOf(rgb_) + 0.11 * blueOf(rgb_) < 90;
    painter.setPen(dark ? QColor(Qt::white) : palette().color(QPalette::WindowText));
    painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, text());
    if (hasFocus()) {
        QPen pen(dark ? QColor(Qt::white) : QColor(Qt::black), 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(box.adjusted(2, 2, -3, -3));
    }
}

// --- The dialog ---

TEffectsDialog::TEffectsDialog(EditorSession& session, EffectParams& params, int resource,
                               PalettePickSource* palette)
    : QDialog(session.window()), session_(session), target_(params), p_(params), resource_(resource), palette_(palette) {
    setWindowTitle(QStringLiteral("Effects dialog"));
    const QFontMetrics fm(fontMetrics());
    const int em = fm.horizontalAdvance(QLatin1Char('x'));

    effect_ = new QComboBox(this);
    direction_ = new QComboBox(this);
    // One width for every family: the longest effect name.
    for (QComboBox* box : {effect_, direction_}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(int(std::strlen(effectInfo(DissolveFromSolid)->name)));
    }
    description_ = new QLabel(this);
    description_->setWordWrap(true);
    description_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    description_->setMinimumWidth(em * 46);
    // Room for the longest description, so the dialog keeps its size.
    description_->setMinimumHeight(fm.height() * 4 + fm.leading() * 3);
    frames_ = new TNumEdit(this);
    frames_->setRange(1, 64);
    ms_ = new TNumEdit(this);
    ms_->setRange(10, 32767);
    ms_->setAcceleration({{3000, 10}, {4000, 100}});

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->addRow(QStringLiteral("&Effect:"), effect_);
    form->addRow(QStringLiteral("&Direction:"), direction_);
    form->addRow(description_);
    form->addRow(QStringLiteral("Number of new &frames to insert:"), frames_);
    form->addRow(QStringLiteral("&Miliseconds per frame:"), ms_);

    cells_ = new QGroupBox(QStringLiteral("Cell size"), this);
    cellWidth_ = new TNumEdit(cells_);
    cellHeight_ = new TNumEdit(cells_);
    for (TNumEdit* cell : {cellWidth_, cellHeight_}) cell->setRange(1, 100);
    auto* cellForm = new QFormLayout(cells_);
    cellForm->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    cellForm->addRow(QStringLiteral("&Width:"), cellWidth_);
    cellForm->addRow(QStringLiteral("&Height:"), cellHeight_);
    cells_->setVisible(resource == 11);
    if (resource == 11) {
        direction_->hide();
        form->labelForField(direction_)->hide();
    }

    solid_ = new QGroupBox(QStringLiteral("Solid color"), this);
    fromPalette_ = new QPushButton(QStringLiteral("Select from &palette"), solid_);
    rgb_ = new QPushButton(QStringLiteral("Select &RGB value"), solid_);
    swatch_ = new TColorStatic(solid_);
    auto* solidRow = new QHBoxLayout(solid_);
    solidRow->addWidget(fromPalette_);
    solidRow->addWidget(rgb_);
    solidRow->addWidget(swatch_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TEffectsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TEffectsDialog::reject);

    auto* main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(cells_);
    main->addWidget(solid_);
    main->addWidget(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // Start-up.
    frames_->setValue(p_.frameCount);
    ms_->setValue(p_.msPerFrame);
    cellWidth_->setValue(p_.cellWidth);
    cellHeight_->setValue(p_.cellHeight);
    for (int32_t e = p_.firstEffect; e <= p_.lastEffect; ++e)
        effect_->addItem(QString::fromUtf8(effectInfo(e) ? effectInfo(e)->name : ""));
    effect_->setCurrentIndex(p_.effect - p_.firstEffect);
    effectChosen(effect_->currentIndex());
    if (p_.firstDirection < 0) {
        direction_->setEnabled(false);
    } else {
        for (int32_t d = p_.firstDirection; d <= p_.lastDirection; ++d)
            direction_->addItem(QString::fromUtf8(directionName(d)));
        direction_->setCurrentIndex(p_.direction - p_.firstDirection);
    }
    // The swatch shows the proposed colour from the start, also while the
    // effect chosen first uses none, so that it is right when one is chosen.
    {
        if (p_.solidIndex < 0) swatch_->setColor(p_.solidColor);
        else if (paletteAvailable()) palettePicked(p_.solidIndex, palette_->entryColor(p_.solidIndex));
        else {
            // Without the palette window the proposed index shows its
            // colour as the current frame has it.
            p_.solidColor = colorOfIndex(session.document(), p_.solidIndex);
            swatch_->setColor(p_.solidColor);
        }
    }
    connect(effect_, &QComboBox::currentIndexChanged, this, &TEffectsDialog::effectChosen);
    connect(rgb_, &QPushButton::clicked, this, &TEffectsDialog::selectRgb);
    connect(fromPalette_, &QPushButton::clicked, this, &TEffectsDialog::selectFromPalette);
    effect_->setFocus();
}

QString TEffectsDialog::description() const { return description_->text(); }

bool TEffectsDialog::paletteAvailable() const { return palette_ && palette_->pickAvailable(); }

void TEffectsDialog::effectChosen(int position) {
    const int32_t chosen = p_.firstEffect + position;
    p_.effect = offeredEffect(session_.document(), p_, chosen);
    if (p_.effect != chosen) {
        const QSignalBlocker blocker(effect_);
        effect_->setCurrentIndex(p_.effect - p_.firstEffect);
    }
    const EffectInfo* info = effectInfo(p_.effect);
    const int32_t flags = info ? info->flags : 0;
    description_->setText(QString::fromUtf8(info ? info->description : ""));
    const bool solid = flags & EffectUsesSolid;
    rgb_->setEnabled(solid && (flags & EffectAnyRgb));
    fromPalette_->setEnabled(solid && paletteAvailable());
    swatch_->setEnabled(solid);
}

void TEffectsDialog::selectRgb() {
    if (const auto chosen = chooseColor(this, toQColor(p_.solidColor), QStringLiteral("Select RGB value")))
        p_.solidColor = rgbValue(chosen->red(), chosen->green(), chosen->blue());
    swatch_->setColor(p_.solidColor);
}

void TEffectsDialog::selectFromPalette() {
    if (!paletteAvailable()) return;
    palette_->pickFor(this, [this](int index, QColor color) { palettePicked(index, color); });
}

void TEffectsDialog::palettePicked(int index, QColor color) {
    if (index < 0 || index > 255) return;
    p_.solidColor = rgbValue(color.red(), color.green(), color.blue());
    p_.solidIndex = index;
    swatch_->setColor(p_.solidColor);
    swatch_->setFocus();
}

void TEffectsDialog::accept() {
    const int frames = frames_->value(), ms = ms_->value();
    const bool cells = resource_ == 11;
    TNumEdit* wrong = frames < 1 ? frames_
                      : ms < 0 || ms > maxFrameDisplayMs ? ms_
                      : cells && cellWidth_->value() < 1  ? cellWidth_
                      : cells && cellHeight_->value() < 1 ? cellHeight_
                                                          : nullptr;
    if (wrong) {
        QMessageBox::warning(this, windowTitle(),
                             wrong == ms_ ? QStringLiteral("The milliseconds per frame must be from 0 to 655,350.")
                             : wrong == frames_ ? QStringLiteral("The number of new frames must be 1 or more.")
                                                : QStringLiteral("A cell must be at least 1 pixel wide and high."));
        wrong->setFocus();
        wrong->selectAll();
        return;
    }
    p_.frameCount = frames;
    p_.msPerFrame = ms;
    if (cells) {
        p_.cellWidth = cellWidth_->value();
        p_.cellHeight = cellHeight_->value();
    }
    if (p_.firstDirection >= 0 && direction_->currentIndex() >= 0)
        p_.direction = p_.firstDirection + direction_->currentIndex();
    target_ = p_;
    QDialog::accept();
}

}  // namespace movigram
