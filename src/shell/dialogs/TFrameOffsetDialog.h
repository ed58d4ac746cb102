#pragma once
// Shift, Moving sprite, Crop, Delete and Resize: the bounding rectangle of
// the selected frames as four numbers with the change of each beside it,
// outlined on the canvas (or, for the moving sprite, previewed a second
// after the last change), moved or resized by the person and applied on OK.
#include <QTimer>
#include <optional>

#include "TFrameDialog.h"
#include "frameops/FrameOffset.h"

class QCheckBox;
class QGroupBox;

namespace movigram {

class TNumEdit;

class TFrameOffsetDialog : public TFrameDialog {
    Q_OBJECT
public:
    TFrameOffsetDialog(EditorSession& session, OffsetMode mode);
    ~TFrameOffsetDialog() override;

    OffsetMode mode() const { return mode_; }
    // Before the dialog shows: these frames selected and, within their
    // rectangle, this one in the fields (the crop tool's box).
    void startWith(const FrameSelection& frames, const TRect& rect);
    // The rectangle the person has set, and the one of the selection.
    TRect currentRect() const { return current_; }
    TRect selectionRect() const { return selected_; }
    TNumEdit& field(int k) { return *fields_[k]; }  // Left, Top, Width, Height
    QString deltaText(int k) const;
    QCheckBox& alignBox() { return *align_; }

protected:
    void startUp() override;
    void selectionChanged() override;
    bool apply() override;

private:
    enum { Left, Top, Width, Height };
    void cornerEdited();
    void sizeEdited();
    // Takes the fields' rectangle when it is within reach; false otherwise.
    bool takeRect(std::optional<TRect> r);
    void updateDeltas();
    // The outline, or for the moving sprite the preview a second later.
    void showRect();
    void previewSprite();

    OffsetMode mode_;
    TRect selected_;
    TRect current_;
    bool fieldsFit_ = true;
    QGroupBox* group_;
    TNumEdit* fields_[4];
    class QLabel* deltas_[4];
    QCheckBox* align_;
    QTimer previewTimer_;
    std::optional<TRect> preset_;
};

}  // namespace movigram
