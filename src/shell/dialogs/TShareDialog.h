#pragma once
// Save for sharing: a file no larger than a target size.  The dialog starts
// at the best-looking setting that fits (SizeTarget.h); the levers can be
// moved by hand, the estimated size follows them, and the result plays
// beside the original before anything is written.  The files are made on a
// worker thread from a copy of the document taken when the dialog opens;
// the document is never changed.
#include <QDialog>
#include <cstdint>
#include <memory>
#include <vector>

#include "commands/SizeTarget.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace movigram {

class EditorSession;
class ShareWorker;

class TShareDialog : public QDialog {
    Q_OBJECT
public:
    explicit TShareDialog(EditorSession& session);
    ~TShareDialog() override;

    QComboBox& targetBox() { return *target_; }
    QSlider& lossySlider() { return *lossy_; }
    QComboBox& colorsBox() { return *colors_; }
    QComboBox& frameRateBox() { return *frameRate_; }
    QSpinBox& scaleBox() { return *scale_; }
    QLabel& estimateLabel() { return *estimate_; }
    QPushButton& saveButton() { return *save_; }
    // The file the levers give now; empty while it is being made.
    const std::vector<uint8_t>& resultFile() const { return result_; }
    ShareSettings settings() const;
    // Whether a file is being made (a fit or the levers' file).
    bool isWorking() const { return shown_ < generation_; }

private:
    void targetChosen();
    void leversMoved();
    void fitFound(uint64_t generation, const FitResult& fit);
    void fileMade(uint64_t generation, std::vector<uint8_t> file);
    void showSettings(const ShareSettings& settings);
    void showResult();
    void saveResult();

    EditorSession& session_;
    std::unique_ptr<ShareWorker> worker_;
    uint64_t generation_ = 0;  // of the latest request
    uint64_t shown_ = 0;       // of the result shown
    uint64_t targetBytes_ = 0;
    std::vector<uint8_t> result_;
    bool showing_ = false;  // the levers are being set from a fit

    QComboBox* target_;
    QSlider* lossy_;
    QLabel* lossyValue_;
    QComboBox* colors_;
    QComboBox* frameRate_;
    QSpinBox* scale_;
    QLabel* estimate_;
    QPushButton* save_;
    struct Player;
    std::unique_ptr<Player> original_, preview_;
};

}  // namespace movigram
