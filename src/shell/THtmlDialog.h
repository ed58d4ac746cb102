#pragma once
// "HTML code": the image tag for the animation in an edit box, which the
// user may change; OK copies the box's whole text to the clipboard.
#include <QDialog>

class QPlainTextEdit;

namespace movigram {

class THtmlDialog : public QDialog {
    Q_OBJECT
public:
    THtmlDialog(QWidget* parent, const QString& code);

    QPlainTextEdit& edit() { return *edit_; }

    void accept() override;

private:
    QPlainTextEdit* edit_;
};

}  // namespace movigram
