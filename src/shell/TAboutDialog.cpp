#include "TAboutDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "TQCXButton.h"
#include "commands/ProgramDocuments.h"

namespace movigram {

TAboutDialog::TAboutDialog(QWidget* parent, const QString& picturePath) : QDialog(parent) {
    setObjectName(QStringLiteral("TAboutDialog"));
    setWindowTitle(QString::fromStdString(aboutCaption()));
    picture_ = new TQCXButton(this);
    picture_->loadPicture(picturePath);
    picture_->setFocusPolicy(Qt::NoFocus);
    connect(picture_, &QPushButton::clicked, this, &TAboutDialog::accept);

    auto* name = new QLabel(QStringLiteral("<b>Movigram GIF Animator</b>"), this);
    auto* details = new QLabel(QStringLiteral("Version %1<br>An editor for animated GIF images<br><br>"
                                              "Free software under the GNU General Public License,<br>"
                                              "version 3 or later")
                                   .arg(QString::fromStdString(versionText())),
                               this);
    name->setAlignment(Qt::AlignCenter);
    details->setAlignment(Qt::AlignCenter);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* proceed = buttons->addButton(QStringLiteral("Continue"), QDialogButtonBox::AcceptRole);
    proceed->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &TAboutDialog::accept);
    buttons->setCenterButtons(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(picture_, 1, Qt::AlignHCenter);
    layout->addSpacing(6);
    layout->addWidget(name);
    layout->addWidget(details);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace movigram
