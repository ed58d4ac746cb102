#pragma once
// What the effects dialog's "Select from palette" asks of the palette
// window.  The palette window implements it and the main window hands it to
// the dialog (TBmpViewWindow::setPalettePickSource); without one the button
// stays disabled.
#include <QWidget>
#include <cstdint>
#include <functional>

namespace movigram {

class PalettePickSource {
public:
    virtual ~PalettePickSource() = default;
    // The window exists and is shown, so the person can pick in it.
    virtual bool pickAvailable() const = 0;
    // Starts a pick for the dialog: the next click on a swatch calls picked
    // with its index, once; Escape ends the pick without a call.  The
    // dialog is modal: the source must take the click while it runs (for
    // instance in a window the dialog owns, or by lifting the block for the
    // pick).
    virtual void requestPick(QWidget* dialog, std::function<void(int index)> picked) = 0;
    // The RGB value (red in the low byte) of an entry of the palette shown.
    virtual int32_t rgbOfEntry(int index) const = 0;
    // Where the mouse pointer goes when the pick begins: the swatch area.
    virtual QWidget* pickArea() = 0;
};

}  // namespace movigram
