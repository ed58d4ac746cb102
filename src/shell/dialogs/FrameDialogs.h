#pragma once
// The smaller frame dialogs: Duplicate, Set restore method, Reverse order,
// Gray scale and Flip and rotate.
#include "DialogMemory.h"
#include "TFrameDialog.h"
#include "frameops/FlipRotate.h"

class QComboBox;
class QLabel;
class QRadioButton;

namespace movigram {

class TNumEdit;

// Count - 1 copies of the selected frames go before the current frame.
class TFrameDupDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TFrameDupDialog(EditorSession& session);
    TNumEdit& countField() { return *count_; }
    QString totalText() const;

protected:
    void selectionChanged() override;
    bool apply() override;

private:
    void updateTotal();
    TNumEdit* count_;
    QLabel* total_;
};

// One working restore method per frame: the combo box shows the method of
// the one selected frame and sets the method of every selected frame.
class TFrameEraseMethodDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TFrameEraseMethodDialog(EditorSession& session);
    QComboBox& methodBox() { return *method_; }

protected:
    void selectionChanged() override;
    bool apply() override;

private:
    void methodChosen(int method);
    QComboBox* method_;
    std::vector<int32_t> values_;
};

class TFrameReverseOrderDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TFrameReverseOrderDialog(EditorSession& session);

protected:
    bool apply() override;
};

// The command records the whole animation before the dialog opens; the
// dialog converts on OK and withdraws the record on Cancel.
class TFrameGrayDialog : public TFrameDialog {
    Q_OBJECT
public:
    explicit TFrameGrayDialog(EditorSession& session);

protected:
    bool apply() override;
};

// The operation and the sense of rotation are remembered while the program
// runs.
class TFrameRotateDialog : public TFrameDialog {
    Q_OBJECT
public:
    TFrameRotateDialog(EditorSession& session, RotateChoice& remembered);
    QComboBox& operationBox() { return *operation_; }
    QRadioButton& rightButton() { return *right_; }
    QRadioButton& leftButton() { return *left_; }

protected:
    bool apply() override;

private:
    void operationChosen(int operation);
    RotateChoice& remembered_;
    QComboBox* operation_;
    QRadioButton* right_;
    QRadioButton* left_;
};

}  // namespace movigram
