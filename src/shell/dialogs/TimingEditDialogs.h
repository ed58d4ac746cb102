#pragma once
// Speed... and Cap pauses...: the timing edits a screen recording needs.
#include <QDialog>

#include "TFrameDialog.h"

class QDoubleSpinBox;
class QLabel;
class QSpinBox;

namespace movigram {

// The selected frames played faster or slower by a factor.
class TFrameSpeedDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TFrameSpeedDialog(EditorSession& session);
    QDoubleSpinBox& factorBox() { return *factor_; }
    QLabel& timeLabel() { return *time_; }

protected:
    void selectionChanged() override;
    bool apply() override;

private:
    void updateTime();
    QDoubleSpinBox* factor_;
    QLabel* time_;
};

// Every frame shown longer than the time chosen is shown that long.
class TCapPausesDialog : public QDialog {
    Q_OBJECT
public:
    explicit TCapPausesDialog(EditorSession& session);
    QSpinBox& longestBox() { return *longest_; }
    void accept() override;

private:
    EditorSession& session_;
    QSpinBox* longest_;
    QLabel* count_;
};

}  // namespace movigram
