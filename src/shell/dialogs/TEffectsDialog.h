#pragma once
// The dialog of the Effects menu: the effects and directions of one family,
// the number of frames and their time, the dissolve's cell size, and the
// solid colour, chosen from the palette window or as any RGB value.  It
// works on a copy of the parameters and writes them back on OK.
#include <QAbstractButton>
#include <QDialog>

#include "effects/EffectParams.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace movigram {

class PalettePickSource;
class EditorSession;
class TNumEdit;

// The colour swatch: a rectangle of an RGB colour with its "%d, %d, %d"
// text over it, white on dark colours.
class TColorStatic : public QAbstractButton {
    Q_OBJECT
public:
    explicit TColorStatic(QWidget* parent = nullptr);
    int32_t rgb() const { return rgb_; }
    // Shows the colour and, with text, its values.
    void setColor(int32_t rgb, bool withText = true);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int32_t rgb_ = 0x212121;
};

class TEffectsDialog : public QDialog {
    Q_OBJECT
public:
    // resource 11 adds the cell size and hides the directions.
    TEffectsDialog(EditorSession& session, EffectParams& params, int resource, PalettePickSource* palette);

    const EffectParams& values() const { return p_; }
    QComboBox& effectBox() { return *effect_; }
    QComboBox& directionBox() { return *direction_; }
    TNumEdit& framesField() { return *frames_; }
    TNumEdit& msField() { return *ms_; }
    TNumEdit& cellWidthField() { return *cellWidth_; }
    TNumEdit& cellHeightField() { return *cellHeight_; }
    QPushButton& paletteButton() { return *fromPalette_; }
    QPushButton& rgbButton() { return *rgb_; }
    TColorStatic& swatch() { return *swatch_; }
    QString description() const;

    // The palette window's answer to "Select from palette".
    void palettePicked(int index, QColor color);
    void accept() override;


private:
    void effectChosen(int position);
    void selectRgb();
    void selectFromPalette();
    bool paletteAvailable() const;

    EditorSession& session_;
    EffectParams& target_;
    EffectParams p_;
    int resource_;
    PalettePickSource* palette_;
    QComboBox* effect_;
    QComboBox* direction_;
    QLabel* description_;
    TNumEdit* frames_;
    TNumEdit* ms_;
    QGroupBox* cells_;
    TNumEdit* cellWidth_;
    TNumEdit* cellHeight_;
    QGroupBox* solid_;
    QPushButton* fromPalette_;
    QPushButton* rgb_;
    TColorStatic* swatch_;
};

}  // namespace movigram
