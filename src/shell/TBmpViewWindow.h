#pragma once
// The main window's client: the canvas that shows the current frame, and the
// controller that owns the document and receives every command, key, mouse
// event and request of the frame list.  The document announces its changes;
// this window follows them to repaint, retitle and re-enable the commands.
#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <memory>

#include "FramePainter.h"
#include "BrowserScreen.h"
#include "QtHost.h"
#include "Settings.h"
#include "commands/CommandTable.h"
#include "commands/ImportDispatch.h"
#include "document/Document.h"

class QMenu;

namespace movigram {

class ActionRegistry;
class BrowserServices;
class EditClipboard;
class PalettePickSource;
class Playback;
struct DialogMemory;
class TFrameListBox;
class TFrameWinListBox;
class TMyFrameWindow;
class TPaletteWindow;

class TBmpViewWindow : public QAbstractScrollArea, public DocumentObserver {
    Q_OBJECT
public:
    explicit TBmpViewWindow(TMyFrameWindow& frame);
    ~TBmpViewWindow() override;

    Document& document() { return doc_; }
    const Document& document() const { return doc_; }
    TMyFrameWindow& frameWindow() { return frame_; }
    ActionRegistry& actions() { return *actions_; }
    Playback& playback() { return *playback_; }
    QtHost& host() { return host_; }
    TFrameWinListBox& frameListWindow() { return *frameListWindow_; }
    BrowserServices& browserServices() { return *browserServices_; }
    TFrameListBox& frameListBox();
    const ViewState& viewState() const { return view_; }
    int zoom() const { return view_.zoom; }
    int pickMode() const { return pickMode_; }

    // Runs a command of the command table (menu, tool bar, key, context menu).
    void command(CommandId id);
    // Applies the enabling and check rules to every command now (it is also
    // done by itself after each change).
    void updateCommandStates();
    // The close query: asks about unsaved changes; false keeps the program open.
    bool canClose();
    // Opens a file as the new document (command line, recent files).
    void openPath(const QString& path);
    // Opens files as one new document (the desktop passes several).
    void openPaths(const QStringList& paths);

    // Stepping through the frames (Next, Prev, Home, End and the arrow keys).
    void nextFrame();
    void prevFrame();
    void showFirstFrame();
    void showLastFrame();
    // A playback step shows a frame without a full repaint.
    void showPlaybackFrame(TFrame* frame);
    // Whether the list line lies above the bottom of the list's visible part.
    bool isListLineVisibleOrAbove(int index) const;

    // Requests of the frame list and the dialogs.
    void listSelect(int index);
    // Files dropped on a line of the frame list: inserted before it, appended
    // at or past the end; a negative line replaces the document.
    void dropFiles(int line, const QStringList& paths);
    void moveFrames(int first, int count, int destination);
    // Shows the frame at index; with composed, over the animation composed
    // up to it.
    void showFrameRequested(int index, bool composed);
    void clearComposedBackground();
    // A blue dotted rectangle over the canvas (image coordinates; a null
    // rectangle removes it).
    void markRect(const TRect& rect);
    // Draws a frame's image at its place moved by offset, over the frames
    // drawn so far, with the outline of the screen (the moving-sprite
    // preview); index -1 removes them.
    void previewOffset(int index, TPoint offset);
    void frameListClosed();

    // The palette window while View > Show palette is on, else null.
    TPaletteWindow* paletteWindow() const;
    // Also while it is closed, once it was made (its place is saved).
    TPaletteWindow* paletteWindowIfMade() const { return paletteWindow_; }
    // A swatch clicked for the pending pick of this window.
    void pickedInPalette(int index);
    // Escape: the pending pick ends without a change.
    void cancelPick();
    void paletteClosed();
    // The choices the dialogs remember while the program runs.
    DialogMemory& dialogMemory();
    // What "Select from palette" of the effects dialog asks; null while
    // there is no palette window to pick in.
    PalettePickSource* palettePickSource() const { return palettePick_; }
    void setPalettePickSource(PalettePickSource* source) { palettePick_ = source; }

    void updateViewText();
    void resetScrollRange();
    // Live painting while a file is read: each frame as it is decoded, a
    // deep-colour image before it is reduced.
    void showReadFrame(const TFrame& frame);
    void showReadPreview(const TrueColorImage& image);
    // While busy (a long operation lets the window paint), requests of the
    // person wait.
    void setBusy(bool on) { busy_ = on; }
    bool isBusy() const { return busy_; }

    // The settings: the 13 option values, the folders, the fixed palette and
    // the recent files.
    SavedOptions savedOptions() const;
    void applySavedOptions(const SavedOptions& saved);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    // DocumentObserver
    void framesAboutToBeRemoved(int first, int count) override;
    void framesAboutToBeReset() override;
    void frameChanged(int index) override;
    void framesInserted(int, int) override { changed(); }
    void framesRemoved(int, int) override { changed(); }
    void framesMoved(int, int, int) override { changed(); }
    void framesReset() override { changed(); }
    void currentFrameChanged() override;
    void selectionChanged(int) override { scheduleCommandUpdate(); }
    void paletteChanged() override;
    void optionsChanged() override { scheduleCommandUpdate(); }
    void modifiedChanged(bool) override { scheduleCommandUpdate(); }
    void undoLabelChanged() override { scheduleCommandUpdate(); }
    void fileNameChanged() override;
    void documentChanged() override;
    void editStarting() override;

    void changed();
    void scheduleCommandUpdate();
    // The current frame as it becomes shown: colour text, comment frames,
    // colour table; then painted unless playback paints it.
    static bool followsThroughComments(const TFrame* shown, const TFrame* frame);
    void frameBecameCurrent();
    void paintCurrent(bool fullRepaint);
    void refreshColorText();
    void notYetAvailable(CommandId id);
    void enterPickMode(int mode);
    void leavePickMode();
    void zoomTo(int zoom);
    // Runs a file command; the window shows the frames as they are read.
    template <typename Fn>
    void reading(Fn&& fn);
    void toggleViewOption(CommandId id);
    // The palette window, Load and Store palette, Fixed..., Reduce color
    // depth and the palette entry commands.
    void paletteCommand(CommandId id);
    void showPaletteWindow(bool on);

    void clipboardChanged();

    QPoint scrollOffset() const;
    QRect toWindowRect(const TRect& r) const;
    void drawPicture(QPainter& painter, const QImage& picture, const QRect& imageArea, const QRect& exposed) const;

    TMyFrameWindow& frame_;
    QtHost host_;
    Document doc_;
    ViewState view_;
    ActionRegistry* actions_;
    std::unique_ptr<Playback> playback_;
    std::unique_ptr<EditClipboard> clipboard_;
    std::unique_ptr<BrowserServices> browserServices_;
    TFrameWinListBox* frameListWindow_;
    QMenu* contextMenu_;
    QTimer commandUpdate_;

    FramePainter painter_;
    BrowserScreen browser_;
    // What the canvas shows, kept so that painting never reads a document
    // that is in the middle of a change.
    const TFrame* shown_ = nullptr;
    const TFrame* previous_ = nullptr;
    bool playbackPainting_ = false;
    bool shownIsComment_ = false;
    QString commentText_;
    QSize commentBox_;
    TRect shownDirty_;
    int shownIndex_ = -1;
    int shownTransparent_ = -2;
    TRect lastArea_;
    std::unique_ptr<TFrame> composedBackground_;
    QImage composedPicture_;
    TRect marked_;
    QImage previewPicture_;
    TRect previewRect_;
    QImage readPicture_;
    bool reading_ = false;
    LiveView live_;

    int pickMode_ = 0;
    bool busy_ = false;
    TPaletteWindow* paletteWindow_ = nullptr;
    std::shared_ptr<DialogMemory> dialogMemory_;
    PalettePickSource* palettePick_ = nullptr;
};

}  // namespace movigram
