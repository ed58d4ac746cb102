#include "TimingDialogs.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "TNumEdit.h"
#include "commands/CommandTable.h"
#include "frameops/FrameTiming.h"
#include "frameops/NumberField.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

QLabel* readOut(QWidget* parent, const QString& widest) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest));
    return label;
}

}  // namespace

// --- Frame rate ---

TFrameRateDialog::TFrameRateDialog(EditorSession& session) : TFrameDialog(session, QStringLiteral("Frame Rate"), {}) {
    const FrameList& frames = document().frameList;
    for (int i = 0; i < frames.count(); ++i) repeats_.push_back(frames.frameAt(i)->repeat);

    auto* all = new QGroupBox(QStringLiteral("All Frames"), this);
    auto* allGrid = new QGridLayout(all);
    framesPerSecond_ = readOut(all, QStringLiteral("100.00"));
    ms_ = new TNumEdit(all);
    ms_->setRange(10, 32767);
    ms_->setAcceleration({{3000, 10}, {4000, 100}});
    ms_->setValue(document().frameTime);
    auto* msLabel = new QLabel(QStringLiteral("&Milliseconds per frame:"), all);
    msLabel->setBuddy(ms_);
    allGrid->addWidget(new QLabel(QStringLiteral("Frames per second:"), all), 0, 0);
    allGrid->addWidget(framesPerSecond_, 0, 1);
    allGrid->addWidget(msLabel, 1, 0);
    allGrid->addWidget(ms_, 1, 1);

    auto* one = new QGroupBox(QStringLiteral("Selected Frame"), this);
    auto* oneGrid = new QGridLayout(one);
    repeat_ = new TNumEdit(one);
    repeat_->setRange(0, 1000);
    repeat_->setValue(1);
    auto* repeatLabel = new QLabel(QStringLiteral("&Repeat:"), one);
    repeatLabel->setBuddy(repeat_);
    msThisFrame_ = readOut(one, QStringLiteral("32,767,000"));
    oneGrid->addWidget(repeatLabel, 0, 0);
    oneGrid->addWidget(repeat_, 0, 1);
    oneGrid->addWidget(new QLabel(QStringLiteral("Milliseconds this frame:"), one), 1, 0);
    oneGrid->addWidget(msThisFrame_, 1, 1);

    // The number columns of both groups line up.
    const int labelWidth = std::max(allGrid->itemAtPosition(1, 0)->sizeHint().width(),
                                    oneGrid->itemAtPosition(1, 0)->sizeHint().width());
    allGrid->setColumnMinimumWidth(0, labelWidth);
    oneGrid->setColumnMinimumWidth(0, labelWidth);
    const int fieldWidth = std::max(ms_->sizeHint().width(), msThisFrame_->minimumWidth());
    allGrid->setColumnMinimumWidth(1, fieldWidth);
    oneGrid->setColumnMinimumWidth(1, fieldWidth);

    controls().addWidget(all);
    controls().addWidget(one);
    connect(ms_, &TNumEdit::edited, this, &TFrameRateDialog::msEdited);
    connect(repeat_, &TNumEdit::edited, this, &TFrameRateDialog::repeatEdited);

    framesPerSecond_->setText(QString::fromStdString(formatFramesPerSecond(ms_->value())));
    updateMsThisFrame();
}

QString TFrameRateDialog::framesPerSecondText() const { return framesPerSecond_->text(); }
QString TFrameRateDialog::msThisFrameText() const { return msThisFrame_->text(); }

void TFrameRateDialog::selectionChanged() {
    const FrameSelection rows = selection();
    if (rows.size() != 1) return;
    repeat_->setValue(repeats_[size_t(rows.front())]);
    updateMsThisFrame();
    showFrame(rows.front());
}

void TFrameRateDialog::updateMsThisFrame() {
    msThisFrame_->setText(QString::fromStdString(formatMilliseconds(int64_t(ms_->value()) * repeat_->value())));
}

void TFrameRateDialog::repeatEdited() {
    for (int32_t i : selection()) repeats_[size_t(i)] = repeat_->value();
    updateMsThisFrame();
}

// The milliseconds are for every frame: the repeats stay as they are.
void TFrameRateDialog::msEdited() {
    updateMsThisFrame();
    if (ms_->value() != 0) framesPerSecond_->setText(QString::fromStdString(formatFramesPerSecond(ms_->value())));
}

bool TFrameRateDialog::apply() {
    const int ms = ms_->value();
    const std::string problem = frameRateProblem(document(), ms, repeats_);
    if (!problem.empty()) {
        QMessageBox::warning(this, windowTitle(), QString::fromStdString(problem));
        (ms < 1 || ms > maxFrameDisplayMs ? ms_ : repeat_)->setFocus();
        return false;
    }
    applyFrameRate(document(), ms, repeats_, undoLabelOf(CommandId::FrameRate));
    return true;
}

// --- Loop count ---

TLoopDialog::TLoopDialog(EditorSession& session) : QDialog(session.window()), session_(session) {
    setWindowTitle(QStringLiteral("Loop iteration count"));
    auto* group = new QGroupBox(QStringLiteral("Loop control"), this);
    infinite_ = new QRadioButton(QStringLiteral("&Infinite loop"), group);
    stopAfter_ = new QRadioButton(QStringLiteral("&Stop after"), group);
    count_ = new TNumEdit(group);
    count_->setRange(0, 32767);
    auto* iterations = new QLabel(QStringLiteral("iterations"), group);
    auto* grid = new QGridLayout(group);
    grid->addWidget(infinite_, 0, 0, 1, 3);
    grid->addWidget(stopAfter_, 1, 0);
    grid->addWidget(count_, 1, 1);
    grid->addWidget(iterations, 1, 2);
    grid->setColumnStretch(3, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TLoopDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TLoopDialog::reject);
    auto* main = new QVBoxLayout(this);
    main->addWidget(group);
    main->addWidget(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    const int32_t count = session.document().loopCount;
    count_->setValue(count);
    (count != 0 ? stopAfter_ : infinite_)->setChecked(true);
    connect(infinite_, &QRadioButton::clicked, this, [this] { count_->setValue(0); });
    connect(stopAfter_, &QRadioButton::clicked, this, [this] {
        count_->setFocus();
        count_->selectAll();
    });
    connect(count_, &TNumEdit::edited, this, [this](int value) {
        if (value > 0) stopAfter_->setChecked(true);
    });
    (count != 0 ? static_cast<QWidget*>(count_) : infinite_)->setFocus();
}

void TLoopDialog::accept() {
    if (!setLoopCount(session_.document(), count_->value())) {
        QMessageBox::warning(this, windowTitle(), QStringLiteral("A GIF holds a loop count from 0 to 65535."));
        count_->setFocus();
        return;
    }
    QDialog::accept();
}

}  // namespace movigram
