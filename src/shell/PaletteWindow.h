#pragma once
// The palette window: the palette of the current frame (its local palette,
// else the global palette) as a grid of 16 swatches a row under a title
// line, in a dock widget that floats beside the main window or docks in it.
// The caption tells the entry under the pointer.  A click on a swatch
// completes a pick the window was armed with (transparent, background or
// solid colour for the main window, a colour for another window such as the
// effects dialog, or the entry to modify or delete); a double click modifies
// an entry; the right button opens the entry commands.
#include <QDockWidget>
#include <QPointer>
#include <array>
#include <functional>

#include "dialogs/PalettePick.h"
#include "document/Document.h"

class QLabel;
class QMenu;

namespace movigram {

class EditorSession;
class TPaletteGrid;

// What a click on a swatch is for.
enum class PalettePick : int { None = 0, Transparent = 1, Background = 2, Modify = 3, Delete = 4, SolidColor = 5 };

class TPaletteWindow : public QDockWidget, public DocumentObserver, public PalettePickSource {
    Q_OBJECT
public:
    TPaletteWindow(EditorSession& session, QWidget* parent);
    ~TPaletteWindow() override;
    QSize sizeHint() const override { return {250, 240}; }

    // Shows a palette: "%s%s palette, %d colors used" with "Fixed " and
    // "Local" or "Global".  The window calls it itself whenever the
    // document's palette or current frame changes.
    void refresh(const TMyPalette& palette, bool isLocal, bool isFixed);

    // Arms the window with a pick for the main window.  With an entry
    // remembered by the context menu, Modify and Delete act on it at once
    // (Delete asks first) and the result is false; otherwise the next click
    // on a swatch completes the pick and the result is true.  None drops a
    // pending pick.
    bool arm(PalettePick pick);
    // "Select from palette" of another window: the next click on a swatch
    // hands its index and colour to picked, unless the requester is gone by
    // then or another pick replaces this one.  The pointer moves to the
    // middle of the swatches.  While the requester is a modal dialog, the
    // window (floated for the time of the pick when it was docked) takes
    // clicks all the same.
    void pickFor(QWidget* requester, std::function<void(int index, QColor color)> picked) override;
    // The effects dialog can pick while the window is shown.
    bool pickAvailable() const override { return isVisible(); }
    QColor entryColor(int index) const override;
    PalettePick pendingPick() const { return pick_; }
    // The main window's pick ended there (Escape, a click on the canvas):
    // a later click on a swatch picks nothing for it.  The pick of another
    // window stays.
    void dropMainWindowPick();

    // Modify: the colour chooser on entry index; false when cancelled.
    bool modifyEntry(int index);
    // Delete, after the question "Delete palette entry #%d?" when confirm;
    // nothing happens when the palette cannot lose an entry.
    void deleteEntry(int index, bool confirm);
    // The pointer to the middle of the swatches, where the pick is made.
    void movePointerHere();

    // What the window shows, for its users and tests.
    const TMyPalette& shownPalette() const { return shown_; }
    QString titleLine() const;
    TPaletteGrid& grid() { return *grid_; }

signals:
    // The user closed the window (WMU_PALETTECLOSED).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
    // The requester of a pick closing ends the pick.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TPaletteGrid;
    // DocumentObserver: any change that can change the palette shown.
    void paletteChanged() override { follow(); }
    void currentFrameChanged() override { follow(); }
    void frameChanged(int) override { follow(); }
    void framesReset() override { follow(); }
    void documentChanged() override { follow(); }
    void optionsChanged() override { follow(); }
    void follow();
    void showTitleLine();
    // "Palette Window", or the entry under the pointer and its colour.
    void showCaption();

    // From the grid.
    void pointerAt(int entry);
    void clicked(int entry);
    void doubleClicked(int entry);
    void contextMenuAt(int entry, QPoint globalPos);
    void endPick();
    void restoreAfterPick();

    // The session's pick, as the window last saw it.
    void followSession();
    EditorSession& session_;
    int sessionPick_ = 0;
    bool sessionShown_ = false;
    TPaletteGrid* grid_;
    QLabel* messageBar_;
    QMenu* contextMenu_;
    TMyPalette shown_;
    bool isLocal_ = false, isFixed_ = false;
    int menuIndex_ = -1;
    int pointed_ = -1;  // the entry the caption describes
    PalettePick pick_ = PalettePick::None;
    // The pick of another window.
    QPointer<QWidget> pickTarget_;
    std::function<void(int, QColor)> pickedForTarget_;
    QPointer<QWindow> ownTransientParent_;
    bool floatedForPick_ = false;
};

// The swatches: the cell size follows the widget's size (a sixteenth of its
// width and of its height); cells of 5 pixels and more are outlined.  From
// the keyboard, the arrows, Home and End move a focus cell; Enter and Space
// click it (or modify it when no pick is pending), Delete deletes it, the
// menu key opens the entry commands and Escape ends a pick.
class TPaletteGrid : public QWidget {
    Q_OBJECT
public:
    explicit TPaletteGrid(TPaletteWindow& window);
    int cellWidth() const { return cellWidth_; }
    int cellHeight() const { return cellHeight_; }
    // The entry under a point, -1 outside the swatches drawn.
    int entryAt(QPoint point) const;
    // The middle of a swatch, in this widget's coordinates.
    QPoint centreOf(int entry) const;
    QSize minimumSizeHint() const override { return {16 * 3, 16 * 3}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void moveFocusTo(int entry);
    QRect cellRect(int entry) const;

    TPaletteWindow& window_;
    int cellWidth_ = 1, cellHeight_ = 1;
    int focusEntry_ = 0;
};

}  // namespace movigram
