#include "THtmlDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace movigram {

THtmlDialog::THtmlDialog(QWidget* parent, const QString& code) : QDialog(parent) {
    setWindowTitle(QStringLiteral("HTML code"));
    setObjectName(QStringLiteral("THtmlDialog"));
    edit_ = new QPlainTextEdit(code, this);
    edit_->setObjectName(QStringLiteral("code"));
    edit_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    edit_->setTabChangesFocus(true);
    const QFontMetrics metrics(edit_->font());
    // Three lines: room for a long file name, which wraps.
    edit_->setMinimumWidth(metrics.horizontalAdvance(QLatin1Char('x')) * 60);
    edit_->setFixedHeight(metrics.lineSpacing() * 3 + 2 * edit_->frameWidth() + 8);
    edit_->selectAll();

    auto* hint = new QLabel(QStringLiteral("Click OK to copy the HTML code to the clipboard"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &THtmlDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &THtmlDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(edit_);
    layout->addWidget(hint);
    layout->addWidget(buttons);
    edit_->setFocus();
}

void THtmlDialog::accept() {
    // The user may have changed the text: all of it is copied as it is now.
    edit_->selectAll();
    edit_->copy();
    QDialog::accept();
}

}  // namespace movigram
