#pragma once
// What the effects dialog's "Select from palette" asks of the palette
// window.  The main window hands the dialog a source
// (EditorSession::palettePickSource); without one, or while the source
// cannot pick, the button stays disabled.
#include <QColor>
#include <functional>

class QWidget;

namespace movigram {

class PalettePickSource {
public:
    virtual ~PalettePickSource() = default;
    // The palette window is shown, so the person can pick in it.
    virtual bool pickAvailable() const = 0;
    // The next click on a swatch calls picked with the entry's index and
    // colour, unless the requester is gone by then.  The source moves the
    // pointer to its swatches and takes the click although the requester
    // is a modal dialog.
    virtual void pickFor(QWidget* requester, std::function<void(int index, QColor color)> picked) = 0;
    // The colour of an entry of the palette shown.
    virtual QColor entryColor(int index) const = 0;
};

}  // namespace movigram
