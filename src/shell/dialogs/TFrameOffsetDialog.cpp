#include "TFrameOffsetDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>

#include "TNumEdit.h"
#include "commands/CommandTable.h"
#include "document/DecodeLimits.h"
#include "document/FrameChain.h"
#include "frameops/NumberField.h"
#include "shell/EditorSession.h"

namespace movigram {

namespace {

bool hasSize(OffsetMode mode) { return mode == OffsetMode::Crop || mode == OffsetMode::Resize; }
bool hasCorner(OffsetMode mode) { return mode != OffsetMode::Delete && mode != OffsetMode::Resize; }
// Crop and Delete keep the right and bottom edges where they are when the
// left or top edge moves; the others move the whole rectangle.
bool cornerKeepsEdges(OffsetMode mode) { return mode == OffsetMode::Crop || mode == OffsetMode::Delete; }

QString text(const char* s) { return QString::fromUtf8(s); }

CommandId commandOf(OffsetMode mode) {
    switch (mode) {
    case OffsetMode::Shift: return CommandId::Shift;
    case OffsetMode::MovingSprite: return CommandId::MovingSprite;
    case OffsetMode::Crop: return CommandId::Crop;
    case OffsetMode::Delete: return CommandId::DeleteFrames;
    case OffsetMode::Resize: return CommandId::Resize;
    }
    return CommandId::Shift;
}

}  // namespace

TFrameOffsetDialog::TFrameOffsetDialog(EditorSession& session, OffsetMode mode)
    : TFrameDialog(session, text(offsetModeText(mode).title), text(offsetModeText(mode).explanation)), mode_(mode) {
    group_ = new QGroupBox(QStringLiteral("Bounding rectangle"), this);
    auto* grid = new QGridLayout(group_);
    grid->addWidget(new QLabel(QStringLiteral("Delta:"), group_), 0, 1, Qt::AlignRight);
    const char* names[4] = {"&Left:", "&Top:", "&Width:", "&Height:"};
    const TSize screen = boundingSize(document().firstFrame);
    const int minimums[4] = {-screen.width, -screen.height, 0, 0};
    const QFontMetrics fm(fontMetrics());
    for (int k = 0; k < 4; ++k) {
        auto* label = new QLabel(text(names[k]), group_);
        fields_[k] = new TNumEdit(group_);
        fields_[k]->setRange(minimums[k], 32767);
        fields_[k]->setAcceleration({{1000, 1}, {2000, 10}});
        label->setBuddy(fields_[k]);
        deltas_[k] = new QLabel(QStringLiteral("0 "), group_);
        deltas_[k]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        deltas_[k]->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("-32767 ")));
        grid->addWidget(label, k + 1, 0);
        grid->addWidget(deltas_[k], k + 1, 1);
        grid->addWidget(fields_[k], k + 1, 2);
        const bool shown = k < 2 ? hasCorner(mode) : hasSize(mode);
        for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(deltas_[k]),
                           static_cast<QWidget*>(fields_[k])})
            w->setVisible(shown);
        connect(fields_[k], &TNumEdit::edited, this, k < 2 ? &TFrameOffsetDialog::cornerEdited
                                                          : &TFrameOffsetDialog::sizeEdited);
    }
    grid->setColumnStretch(3, 1);
    group_->setVisible(mode != OffsetMode::Delete);
    controls().addWidget(group_);

    align_ = new QCheckBox(QStringLiteral("Ali&gn to top left corner after cropping"), this);
    align_->setVisible(mode == OffsetMode::Crop);
    controls().addWidget(align_);

    previewTimer_.setSingleShot(true);
    previewTimer_.setInterval(1000);
    connect(&previewTimer_, &QTimer::timeout, this, &TFrameOffsetDialog::previewSprite);
}

TFrameOffsetDialog::~TFrameOffsetDialog() {
    session_.markRect({});
    if (mode_ == OffsetMode::MovingSprite) session_.previewOffset(-1, {});
}

void TFrameOffsetDialog::startUp() {
    for (TNumEdit* field : fields_) field->setValue(0);
}

void TFrameOffsetDialog::startWith(const FrameSelection& frames, const TRect& rect) {
    TMultiListBox& list = frameList();
    list.clearSelection();
    for (int32_t row : frames)
        if (row >= 0 && row < list.count()) list.item(row)->setSelected(true);
    if (!frames.empty() && frames.front() < list.count()) list.setCurrentRow(frames.front(), QItemSelectionModel::Select);
    preset_ = rect;
}

void TFrameOffsetDialog::selectionChanged() {
    const FrameSelection rows = selection();
    if (rows.size() == 1) showFrame(rows.front(), true);
    const FrameList& frames = document().frameList;
    selected_ = movigram::selectionRect(frames, rows);
    current_ = selected_;
    if (mode_ == OffsetMode::Crop) {
        if (selected_.width() > 0) fields_[Left]->setRange(0, selected_.right);
        if (selected_.height() > 0) fields_[Top]->setRange(0, selected_.bottom);
        align_->setEnabled(allImageFramesSelected(frames, rows));
    }
    fieldsFit_ = true;
    fields_[Left]->setValue(selected_.left);
    fields_[Top]->setValue(selected_.top);
    fields_[Width]->setValue(selected_.width());
    fields_[Height]->setValue(selected_.height());
    if (preset_) {
        // The box the dialog was opened with, as far as the frames reach.
        const TRect r = preset_->intersected(selected_);
        preset_.reset();
        if (!r.isEmpty() && takeRect(r)) {
            fields_[Left]->setValue(r.left);
            fields_[Top]->setValue(r.top);
            fields_[Width]->setValue(r.width());
            fields_[Height]->setValue(r.height());
            return;
        }
    }
    updateDeltas();
    showRect();
}

void TFrameOffsetDialog::cornerEdited() {
    if (!cornerKeepsEdges(mode_)) {
        sizeEdited();
        return;
    }
    const int64_t left = fields_[Left]->value(), top = fields_[Top]->value();
    if (!takeRect(rectFromFields(left, top, current_.right, current_.bottom))) return;
    fields_[Width]->setValue(current_.width());
    fields_[Height]->setValue(current_.height());
}

void TFrameOffsetDialog::sizeEdited() {
    const int64_t left = fields_[Left]->value(), top = fields_[Top]->value();
    takeRect(rectFromFields(left, top, left + fields_[Width]->value(), top + fields_[Height]->value()));
}

// A rectangle out of reach is not shown; OK then says why.
bool TFrameOffsetDialog::takeRect(std::optional<TRect> r) {
    fieldsFit_ = r.has_value();
    if (!r) return false;
    current_ = *r;
    showRect();
    updateDeltas();
    return true;
}

QString TFrameOffsetDialog::deltaText(int k) const { return deltas_[k]->text(); }

void TFrameOffsetDialog::updateDeltas() {
    const int values[4] = {current_.left - selected_.left, current_.top - selected_.top,
                           current_.width() - selected_.width(), current_.height() - selected_.height()};
    for (int k = 0; k < 4; ++k) deltas_[k]->setText(QString::asprintf("%d ", values[k]));
}

void TFrameOffsetDialog::showRect() {
    if (mode_ == OffsetMode::MovingSprite) previewTimer_.start();
    else session_.markRect(current_);
}

// Each selected frame with an image drawn where the sprite would put it:
// the k-th of them moved by k deltas.
void TFrameOffsetDialog::previewSprite() {
    session_.previewOffset(-1, {});
    const int dx = current_.left - selected_.left, dy = current_.top - selected_.top;
    int k = 0;
    for (int32_t i : selection()) {
        const TFrame* f = document().frameList.frameAt(i);
        if (!f || !f->hasImage()) continue;
        session_.previewOffset(i, {k * dx, k * dy});
        ++k;
    }
}

bool TFrameOffsetDialog::apply() {
    const FrameSelection rows = selection();
    if (rows.empty()) return true;
    previewTimer_.stop();
    if (!fieldsFit_) {
        QMessageBox::warning(this, windowTitle(),
                             QStringLiteral("The frames cannot be placed there: a GIF keeps its frames between 0 and "
                                            "65535 pixels."));
        return false;
    }
    Document& doc = document();
    const int dx = current_.left - selected_.left, dy = current_.top - selected_.top;
    bool done = true;
    const std::string label = undoLabelOf(commandOf(mode_));
    switch (mode_) {
    case OffsetMode::Shift: done = shiftFrames(doc, rows, dx, dy, label); break;
    case OffsetMode::MovingSprite: done = movingSprite(doc, rows, dx, dy, label); break;
    case OffsetMode::Crop: done = cropFrames(doc, rows, current_, align_->isEnabled() && align_->isChecked(), label); break;
    case OffsetMode::Delete: deleteFrames(doc, rows, label); break;
    case OffsetMode::Resize: done = resizeFrames(doc, rows, current_.width(), current_.height(), label); break;
    }
    if (!done) {
        const bool move = mode_ == OffsetMode::Shift || mode_ == OffsetMode::MovingSprite;
        QString message;
        if (mode_ == OffsetMode::Resize)
            message = QStringLiteral("The selected frames cannot be resized to %1 x %2.")
                          .arg(current_.width())
                          .arg(current_.height());
        // A move that leaves the GIF's coordinates is told as such, even
        // when the screen would also grow past the limits.
        else if (move && movedFramesStayInGif(doc, rows, dx, dy, mode_ == OffsetMode::MovingSprite) &&
                 !movedScreenFits(doc, rows, dx, dy, mode_ == OffsetMode::MovingSprite))
            message = QStringLiteral("Failed to allocate memory: the animation would grow past %1 megapixels.")
                          .arg(DecodeLimits::defaults().maxImagePixels >> 20);
        else
            message = QStringLiteral("The frames cannot be placed there: a GIF keeps its frames between 0 and "
                                     "65535 pixels.");
        QMessageBox::warning(this, windowTitle(), message);
        return false;
    }
    showFrame(rows.front());
    return true;
}

}  // namespace movigram
