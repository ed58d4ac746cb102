#pragma once
// File > Record screen...: what to record (chosen on the screen itself with
// TRegionChooser), the frame rate, the pointer, a delay before the start,
// and where the recording goes.  It only gathers the choice; the recording
// is run by the caller.
#include <QDialog>
#include <QImage>
#include <functional>
#include <optional>
#include <vector>

#include "RecordChoice.h"
#include "TRegionChooser.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace movigram {

// The screen as it is now and the windows on it, for the chooser; nothing
// when it cannot be had (the reason is in `error`).
struct ScreenSnapshot {
    QImage picture;
    std::vector<PickableWindow> windows;
};
using SnapshotSource = std::function<std::optional<ScreenSnapshot>(QString& error)>;

class TRecordDialog : public QDialog {
    Q_OBJECT
public:
    TRecordDialog(QWidget* parent, const RecordChoice& last, bool canInsert, SnapshotSource snapshot);

    RecordChoice choice() const;

    QPushButton& chooseButton() { return *choose_; }
    QLabel& whatLabel() { return *what_; }
    QSpinBox& fpsBox() { return *fps_; }
    QCheckBox& pointerBox() { return *pointer_; }
    QSpinBox& delayBox() { return *delay_; }
    QComboBox& whereBox() { return *where_; }
    // The chooser while it is open, for tests.
    TRegionChooser* chooser() const { return chooser_; }

private:
    void chooseOnScreen();
    void showWhat();

    RecordChoice choice_;
    SnapshotSource snapshot_;
    QLabel* what_;
    QPushButton* choose_;
    QSpinBox* fps_;
    QCheckBox* pointer_;
    QSpinBox* delay_;
    QComboBox* where_;
    TRegionChooser* chooser_ = nullptr;
};

}  // namespace movigram
