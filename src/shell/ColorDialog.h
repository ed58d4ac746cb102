#pragma once
// The colour count of "Reduce color depth": a number box whose arrows step
// through the powers of two from 2 to 256, and the dialog around it, which
// also offers the quantiser and the dithering (the document's options).
#include <QDialog>
#include <QSpinBox>

#include "document/QuantizeOptions.h"

class QComboBox;

namespace movigram {

// Arrows, Page keys and the wheel move to the next power of two in their
// direction; a typed number is read as the colour count rules read it.
class TPower2UpDown : public QSpinBox {
    Q_OBJECT
public:
    explicit TPower2UpDown(QWidget* parent = nullptr);
    void stepBy(int steps) override;

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
};

class TColorDialog : public QDialog {
    Q_OBJECT
public:
    // initial: the number the box starts with; quantize: the choices shown.
    TColorDialog(QWidget* parent, int initial, const QuantizeOptions& quantize = {});
    // The count typed or stepped to, 2..256.
    int colorCount() const;
    QuantizeOptions quantizeOptions() const;
    TPower2UpDown& upDown() { return *upDown_; }

private:
    TPower2UpDown* upDown_;
    QComboBox* quantizer_;
    QComboBox* dither_;
    QSpinBox* strength_;
};

}  // namespace movigram
