#pragma once
// Text..., Pixelate... and Blur...: edits that paint over a part of the
// picture on the selected frames.  Every frame is selected when the dialog
// opens.  The place on the screen is typed in, or set by the canvas through
// setPosition and setArea.
#include <QColor>
#include <QPoint>
#include <QRect>

#include "TFrameDialog.h"

class QCheckBox;
class QFontComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace movigram {

class TCaptionDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TCaptionDialog(EditorSession& session);
    // The caption's top-left corner on the screen (no longer centred).
    void setPosition(QPoint point);

    QPlainTextEdit& textBox() { return *text_; }
    QFontComboBox& fontBox() { return *font_; }
    QSpinBox& sizeBox() { return *size_; }
    QSpinBox& outlineBox() { return *outline_; }
    QCheckBox& centredBox() { return *centred_; }
    QSpinBox& xBox() { return *x_; }
    QSpinBox& yBox() { return *y_; }
    void setColors(QColor text, QColor outline);
    QLabel& statusLabel() { return *status_; }

protected:
    void startUp() override;
    bool apply() override;
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* colorButton(QColor& color);
    void showColor(QPushButton& button, QColor color);
    void noteDistantColors();

    QPlainTextEdit* text_;
    QFontComboBox* font_;
    QSpinBox* size_;
    QColor color_{Qt::white}, outlineColor_{Qt::black};
    QPushButton* colorButton_;
    QPushButton* outlineColorButton_;
    QSpinBox* outline_;
    QCheckBox* centred_;
    QSpinBox* x_;
    QSpinBox* y_;
    QLabel* status_;
};

enum class RedactMode { Pixelate, Blur };

class TRedactDialog : public TFrameDialog {
    Q_OBJECT
public:
    TRedactDialog(EditorSession& session, RedactMode mode);
    ~TRedactDialog() override;
    // The rectangle to hide, in screen coordinates.
    void setArea(QRect area);
    QRect area() const;

    QSpinBox& edgeBox(int k) { return *edges_[k]; }  // left, top, right, bottom
    QSpinBox& strengthBox() { return *strength_; }    // cell size or blur radius
    QLabel& statusLabel() { return *status_; }

protected:
    void startUp() override;
    bool apply() override;

private:
    // The area outlined on the canvas (the box tool's box follows it).
    void showArea();

    RedactMode mode_;
    QSpinBox* edges_[4];
    QSpinBox* strength_;
    QLabel* status_;
};

}  // namespace movigram
