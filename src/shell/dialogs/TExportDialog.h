#pragma once
// File > "Export as...": the format (animated WebP, APNG, MP4, WebM), WebP's
// lossless switch and quality, the colour MP4 shows for transparency, and a
// line saying what the format keeps and loses.  Export asks for the file
// name and writes a copy of the document taken then, on a worker thread,
// with a progress bar and Cancel; the document is only read.
#include <QColor>
#include <QDialog>

#include "save/Export.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace movigram {

class EditorSession;

class TExportDialog : public QDialog {
    Q_OBJECT
public:
    explicit TExportDialog(EditorSession& session);

    QComboBox& formatBox() { return *format_; }
    QCheckBox& losslessBox() { return *lossless_; }
    QSpinBox& qualityBox() { return *quality_; }
    QPushButton& backgroundButton() { return *background_; }
    QLabel& noteLabel() { return *note_; }
    QPushButton& exportButton() { return *export_; }

    ExportFormat format() const;
    ExportOptions options() const;
    // The last export's result (not ok and no error: none made, or cancelled).
    const ExportResult& lastResult() const { return result_; }

private:
    void formatChosen();
    void chooseBackground();
    void showBackground();
    void exportChosen();

    EditorSession& session_;
    QColor colour_;
    ExportResult result_;
    QComboBox* format_;
    QCheckBox* lossless_;
    QSpinBox* quality_;
    QPushButton* background_;
    QLabel* note_;
    QPushButton* export_;
};

}  // namespace movigram
