#include "FrameDialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "TNumEdit.h"
#include "commands/CommandTable.h"
#include "frameops/FrameOrder.h"
#include "frameops/FrameTiming.h"
#include "frameops/GrayScale.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

// Flip and mirror record under the labels of their own steps, the rotations
// under the command's.
const char* flipRotateLabel(FlipRotateOperation operation) {
    switch (operation) {
    case FlipRotateOperation::Flip: return undoLabelOfStep("flip");
    case FlipRotateOperation::Mirror: return undoLabelOfStep("mirror");
    default: return undoLabelOf(CommandId::FlipRotate);
    }
}

QFormLayout* formIn(QVBoxLayout& controls) {
    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    controls.addLayout(form);
    return form;
}

}  // namespace

// --- Duplicate ---

TFrameDupDialog::TFrameDupDialog(EditorSession& session)
    : TFrameDialog(session, QStringLiteral("Duplicate frames"),
                   QStringLiteral("The selected frames will be duplicated according to the count field")) {
    QFormLayout* form = formIn(controls());
    count_ = new TNumEdit(this);
    count_->setRange(1, 500);
    count_->setValue(1);
    form->addRow(QStringLiteral("&Count:"), count_);
    total_ = new QLabel(QStringLiteral("0 "), this);
    form->addRow(QStringLiteral("Total frames:"), total_);
    connect(count_, &TNumEdit::edited, this, &TFrameDupDialog::updateTotal);
}

QString TFrameDupDialog::totalText() const { return total_->text(); }

void TFrameDupDialog::updateTotal() {
    const size_t selected = selection().size();
    if (selected == 0) return;
    // Taken in 64 bits: a count can be typed far past the arrows' range.
    total_->setText(QStringLiteral("%1 ").arg(qint64(selected) * count_->value()));
}

void TFrameDupDialog::selectionChanged() {
    TFrameDialog::selectionChanged();
    updateTotal();
}

bool TFrameDupDialog::apply() {
    const FrameSelection rows = selection();
    const int count = count_->value();
    if (rows.empty() || count < 2) return true;
    if (!duplicateFrames(document(), rows, count, undoLabelOf(CommandId::Duplicate))) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("Failed to allocate memory: %1 copies of the selected frames would not "
                                            "fit in an animation.")
                                 .arg(count - 1));
        return false;
    }
    return true;
}

// --- Set restore method ---

TFrameEraseMethodDialog::TFrameEraseMethodDialog(EditorSession& session)
    : TFrameDialog(session, QStringLiteral("Restore Method"),
                   QStringLiteral("The \"restore method\" of the selected frames will be set to the selected "
                                  "method. This operation may interfere with some optimizations. Use with caution.")),
      values_(restoreWorkingValues(session.document())) {
    QFormLayout* form = formIn(controls());
    method_ = new QComboBox(this);
    method_->addItems({QStringLiteral("Do not restore"), QStringLiteral("Restore to background")});
    form->addRow(QStringLiteral("&Restore method:"), method_);
    connect(method_, &QComboBox::activated, this, &TFrameEraseMethodDialog::methodChosen);
}

void TFrameEraseMethodDialog::selectionChanged() {
    const FrameSelection rows = selection();
    if (rows.size() == 1) {
        showFrame(rows.front());
        method_->setCurrentIndex(values_[size_t(rows.front())]);  // -1 (a comment) shows none
    } else {
        method_->setCurrentIndex(-1);
    }
}

void TFrameEraseMethodDialog::methodChosen(int method) {
    for (int32_t i : selection()) values_[size_t(i)] = method == 1 ? 1 : 0;
}

bool TFrameEraseMethodDialog::apply() {
    applyRestoreMethods(document(), values_, undoLabelOf(CommandId::SetRestoreMethod));
    return true;
}

// --- Reverse order ---

TFrameReverseOrderDialog::TFrameReverseOrderDialog(EditorSession& session)
    : TFrameDialog(session, QStringLiteral("Reverse order"),
                   QStringLiteral("The order of the selected frames will be reversed")) {}

bool TFrameReverseOrderDialog::apply() {
    reverseOrder(document(), selection(), undoLabelOf(CommandId::ReverseOrder));
    return true;
}

// --- Gray scale ---

TFrameGrayDialog::TFrameGrayDialog(EditorSession& session)
    : TFrameDialog(session, QStringLiteral("Gray scale"),
                   QStringLiteral("The selected frames will be converted to gray scale")) {}

bool TFrameGrayDialog::apply() {
    applyGrayScale(document(), selection());
    return true;
}

// --- Flip and rotate ---

TFrameRotateDialog::TFrameRotateDialog(EditorSession& session, RotateChoice& remembered)
    : TFrameDialog(session, QStringLiteral("Flip and rotate"), {}), remembered_(remembered) {
    QFormLayout* form = formIn(controls());
    operation_ = new QComboBox(this);
    for (int k = 0; k <= int(FlipRotateOperation::Rotate270); ++k)
        operation_->addItem(QString::fromUtf8(flipRotateOperationName(FlipRotateOperation(k))));
    form->addRow(QStringLiteral("&Operation:"), operation_);
    right_ = new QRadioButton(QStringLiteral("Rotate &right"), this);
    left_ = new QRadioButton(QStringLiteral("Rotate &left"), this);
    form->addRow(QString(), right_);
    form->addRow(QString(), left_);

    operation_->setCurrentIndex(int(remembered_.operation));
    (remembered_.rotateLeft ? left_ : right_)->setChecked(true);
    operationChosen(int(remembered_.operation));
    connect(operation_, &QComboBox::currentIndexChanged, this, &TFrameRotateDialog::operationChosen);
}

void TFrameRotateDialog::operationChosen(int operation) {
    remembered_.operation = FlipRotateOperation(operation);
    const bool rotates = operation >= int(FlipRotateOperation::Rotate90);
    right_->setEnabled(rotates);
    left_->setEnabled(rotates);
}

bool TFrameRotateDialog::apply() {
    remembered_.rotateLeft = left_->isChecked();
    remembered_.operation = FlipRotateOperation(operation_->currentIndex());
    flipRotateFrames(document(), selection(), remembered_.operation, remembered_.rotateLeft,
                     flipRotateLabel(remembered_.operation));
    return true;
}

}  // namespace movigram
