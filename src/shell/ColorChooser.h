#pragma once
// The colour chooser of the palette window's Modify and of the effects
// dialog's "Select RGB value": the toolkit's colour dialog with one set of
// 16 custom colours kept while the program runs, (1, 1, 1) and then the
// grays (16, 16, 16) to (240, 240, 240) until the person changes them.
#include <QColor>
#include <QString>
#include <optional>

class QWidget;

namespace movigram {

// The chosen colour, or nothing when the dialog was cancelled.
std::optional<QColor> chooseColor(QWidget* parent, QColor initial, const QString& title = QStringLiteral("Color"));

}  // namespace movigram
