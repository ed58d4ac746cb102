#include "ColorChooser.h"

#include <QColorDialog>

namespace movigram {

namespace {

void setCustomColorsOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    QColorDialog::setCustomColor(0, QColor(1, 1, 1));
    for (int i = 1; i < 16; ++i) QColorDialog::setCustomColor(i, QColor(16 * i, 16 * i, 16 * i));
}

}  // namespace

std::optional<QColor> chooseColor(QWidget* parent, QColor initial, const QString& title) {
    setCustomColorsOnce();
    QColorDialog dialog(initial, parent);
    dialog.setWindowTitle(title);
    // The toolkit's own dialog, so that the custom colours show everywhere.
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedColor();
}

}  // namespace movigram
