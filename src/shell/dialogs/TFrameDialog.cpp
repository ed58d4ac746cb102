#include "TFrameDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/EditorSession.h"

namespace movigram {

TMultiListBox::TMultiListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 30);
}

void TMultiListBox::fill(const FrameList& frames) {
    clear();
    for (int i = 0; i < frames.count(); ++i) addItem(QString::fromStdString(frames.textAt(i)));
}

FrameSelection TMultiListBox::selection() const {
    FrameSelection rows;
    for (int row = 0; row < count(); ++row)
        if (item(row)->isSelected()) rows.push_back(row);
    return rows;
}

void TMultiListBox::selectOnly(int row) {
    clearSelection();
    if (row < 0 || row >= count()) return;
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(row));
}

QSize TMultiListBox::sizeHint() const {
    const QFontMetrics fm(fontMetrics());
    return {fm.horizontalAdvance(QLatin1Char('x')) * 30, fm.height() * 14};
}

TFrameDialog::TFrameDialog(EditorSession& session, const QString& title, const QString& explanation)
    : QDialog(session.window()), session_(session) {
    if (!title.isEmpty()) setWindowTitle(title);

    auto* listLabel = new QLabel(QStringLiteral("Select one or more &frames:"), this);
    list_ = new TMultiListBox(this);
    listLabel->setBuddy(list_);
    selectAll_ = new QPushButton(QStringLiteral("Select &all"), this);

    explanation_ = new QLabel(explanation, this);
    explanation_->setWordWrap(true);
    explanation_->setVisible(!explanation.isEmpty());
    const QFontMetrics fm(fontMetrics());
    // Lines the text breaks itself stay whole, within reason.
    int width = fm.horizontalAdvance(QLatin1Char('x')) * 38;
    if (explanation.contains(QLatin1Char('\n')))
        for (const QString& line : explanation.split(QLatin1Char('\n')))
            width = std::max(width, std::min(fm.horizontalAdvance(line + QStringLiteral("xx")),
                                              fm.horizontalAdvance(QLatin1Char('x')) * 72));
    explanation_->setMinimumWidth(width);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &TFrameDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &TFrameDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(listLabel);
    left->addWidget(list_, 1);
    left->addWidget(selectAll_, 0, Qt::AlignLeft);
    controls_ = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    right->addWidget(explanation_);
    right->addLayout(controls_);
    right->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addSpacing(fm.horizontalAdvance(QLatin1Char('x')));
    top->addLayout(right, 0);
    auto* main = new QVBoxLayout(this);
    main->addLayout(top, 1);
    main->addWidget(buttons_);

    list_->fill(document().frameList);
    // The lines selected in the frame list start selected here too; the
    // current frame when only it is.
    const int current = document().frameList.indexOf(document().currentFrame);
    list_->selectOnly(current);
    for (int32_t row : session.listSelection())
        if (row != current && row < list_->count()) list_->item(row)->setSelected(true);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        if (started_) selectionChanged();
    });
    connect(selectAll_, &QPushButton::clicked, this, &TFrameDialog::selectAll);
}

Document& TFrameDialog::document() { return session_.document(); }

void TFrameDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    startUp();
    started_ = true;
    chainTabOrder();
    list_->setFocus();
    selectionChanged();
}

// List, Select all, the dialog's own controls in the order they were made,
// then OK and Cancel.
void TFrameDialog::chainTabOrder() {
    QWidget* last = selectAll_;
    QWidget::setTabOrder(list_, selectAll_);
    for (QWidget* w : findChildren<QWidget*>()) {
        if (w == list_ || w == selectAll_ || buttons_->isAncestorOf(w) || w == buttons_) continue;
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy()) continue;
        if (w->window() != this) continue;  // a combo box's pop-up list
        QWidget::setTabOrder(last, w);
        last = w;
    }
    for (QAbstractButton* b : buttons_->buttons()) {
        QWidget::setTabOrder(last, b);
        last = b;
    }
}

void TFrameDialog::selectionChanged() {
    const FrameSelection rows = selection();
    if (rows.size() == 1) showFrame(rows.front());
}

void TFrameDialog::showFrame(int index, bool composed) { session_.showFrameRequested(index, composed); }

void TFrameDialog::selectAll() {
    {
        const QSignalBlocker blocker(list_);
        list_->selectAll();
    }
    list_->viewport()->update();
    selectionChanged();
}

void TFrameDialog::accept() {
    if (apply()) QDialog::accept();
}

}  // namespace movigram
