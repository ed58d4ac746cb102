#pragma once
// The about box: the program's picture on a picture button, its name and
// version, and a Continue button.
#include <QDialog>

namespace movigram {

class TQCXButton;

class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    // picturePath: "movigram.pcx" in the program's data folder.
    TAboutDialog(QWidget* parent, const QString& picturePath);

    TQCXButton& pictureButton() { return *picture_; }

private:
    TQCXButton* picture_;
};

}  // namespace movigram
