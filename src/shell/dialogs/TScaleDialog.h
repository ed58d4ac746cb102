#pragma once
// Scale: the new size of the animation as a width and height in pixels or
// a percentage, with or without keeping the proportions.  OK resamples.
#include <QDialog>
#include <cstdint>

class QCheckBox;

namespace movigram {

class EditorSession;
class TNumEdit;

class TScaleDialog : public QDialog {
    Q_OBJECT
public:
    explicit TScaleDialog(EditorSession& session);
    TNumEdit& widthField() { return *width_; }
    TNumEdit& heightField() { return *height_; }
    TNumEdit& percentField() { return *percent_; }
    QCheckBox& keepAspectBox() { return *keepAspect_; }

    void accept() override;

private:
    void widthEdited(int value);
    void heightEdited(int value);
    void percentEdited(int value);

    EditorSession& session_;
    int32_t screenWidth_, screenHeight_;
    TNumEdit* width_;
    TNumEdit* height_;
    TNumEdit* percent_;
    QCheckBox* keepAspect_;
};

}  // namespace movigram
