#include "TimingEditDialogs.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "commands/CommandTable.h"
#include "frameops/FrameTiming.h"
#include "frameops/TimingEdits.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

// The time the image frames at these positions are shown, in ms.
int64_t shownTime(const FrameList& list, const FrameSelection& rows) {
    int64_t ms = 0;
    for (int32_t i : rows)
        if (const TFrame* f = list.frameAt(i); f->hasImage() && !f->isComment) ms += f->displayTime();
    return ms;
}

QString seconds(int64_t ms) { return QString::fromStdString(formatMilliseconds(ms)) + QStringLiteral(" ms"); }

}  // namespace

TFrameSpeedDialog::TFrameSpeedDialog(EditorSession& session)
    : TFrameDialog(session, QStringLiteral("Speed"),
                   QStringLiteral("The selected frames play faster or slower. A frame that would be shown for less "
                                  "than 20 ms is dropped, and its time goes to the next frame kept.")) {
    auto* form = new QFormLayout;
    factor_ = new QDoubleSpinBox(this);
    factor_->setRange(slowestSpeed, fastestSpeed);
    factor_->setSingleStep(0.25);
    factor_->setDecimals(2);
    factor_->setValue(2.0);
    factor_->setSuffix(QStringLiteral(" \u00d7 as fast"));
    form->addRow(QStringLiteral("&Speed:"), factor_);
    time_ = new QLabel(this);
    form->addRow(QStringLiteral("Time:"), time_);
    controls().addLayout(form);
    connect(factor_, &QDoubleSpinBox::valueChanged, this, &TFrameSpeedDialog::updateTime);
}

void TFrameSpeedDialog::selectionChanged() {
    TFrameDialog::selectionChanged();
    updateTime();
}

void TFrameSpeedDialog::updateTime() {
    const int64_t before = shownTime(document().frameList, selection());
    time_->setText(QStringLiteral("%1 \u2192 %2").arg(seconds(before), seconds(int64_t(double(before) / factor_->value()))));
}

bool TFrameSpeedDialog::apply() {
    changeSpeed(document(), selection(), factor_->value(), undoLabelOf(CommandId::Speed));
    return true;
}

TCapPausesDialog::TCapPausesDialog(EditorSession& session) : QDialog(session.window()), session_(session) {
    setWindowTitle(QStringLiteral("Cap pauses"));
    longest_ = new QSpinBox(this);
    longest_->setRange(10, 655350);
    longest_->setSingleStep(100);
    longest_->setValue(1000);
    longest_->setSuffix(QStringLiteral(" ms"));
    count_ = new QLabel(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Longest delay:"), longest_);
    form->addRow(QString(), count_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TCapPausesDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TCapPausesDialog::reject);
    auto* main = new QVBoxLayout(this);
    main->addLayout(form);
    main->addWidget(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);
    auto countLonger = [this](int ms) {
        const FrameList& list = session_.document().frameList;
        int n = 0;
        for (int i = 0; i < list.count(); ++i)
            if (const TFrame* f = list.frameAt(i); f->hasImage() && !f->isComment && f->displayTime() > ms) ++n;
        count_->setText(n == 1 ? QStringLiteral("1 frame is shown longer") : QStringLiteral("%1 frames are shown longer").arg(n));
    };
    connect(longest_, &QSpinBox::valueChanged, this, countLonger);
    countLonger(longest_->value());
}

void TCapPausesDialog::accept() {
    capPauses(session_.document(), longest_->value(), undoLabelOf(CommandId::CapPauses));
    QDialog::accept();
}

}  // namespace movigram
