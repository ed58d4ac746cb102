#pragma once
// Frame rate (milliseconds per frame for all frames, a repeat count per
// frame) and Loop count.
#include <QDialog>

#include "TFrameDialog.h"

class QLabel;
class QRadioButton;

namespace movigram {

class TNumEdit;

// The repeats are working copies, one per frame, set by the Repeat field
// for the selected frames and written to the document on OK.
class TFrameRateDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TFrameRateDialog(EditorSession& session);
    TNumEdit& msField() { return *ms_; }
    TNumEdit& repeatField() { return *repeat_; }
    QString framesPerSecondText() const;
    QString msThisFrameText() const;
    const std::vector<int32_t>& repeats() const { return repeats_; }

protected:
    void selectionChanged() override;
    bool apply() override;

private:
    void repeatEdited();
    void msEdited();
    void updateMsThisFrame();

    TNumEdit* ms_;
    TNumEdit* repeat_;
    QLabel* framesPerSecond_;
    QLabel* msThisFrame_;
    std::vector<int32_t> repeats_;
};

class TLoopDialog : public QDialog {
    Q_OBJECT
public:
    explicit TLoopDialog(EditorSession& session);
    TNumEdit& countField() { return *count_; }
    QRadioButton& infiniteButton() { return *infinite_; }
    QRadioButton& stopAfterButton() { return *stopAfter_; }

    void accept() override;

private:
    EditorSession& session_;
    QRadioButton* infinite_;
    QRadioButton* stopAfter_;
    TNumEdit* count_;
};

}  // namespace movigram
