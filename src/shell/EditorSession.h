#pragma once
// The editor's session: what one main window edits and how.  It owns the
// document, the host, playback, the clipboard, the browser services, the
// dialogs' memory, the actions and the view state (zoom, the view options,
// the windows shown, the pending pick), and runs every command.  It is not
// a widget: the canvas, the frame list, the palette window and the dialogs
// show it and ask it for what the person wants, and follow its one signal
// viewStateChanged and the document's own announcements.
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "CanvasBox.h"
#include "QtHost.h"
#include "Settings.h"
#include "commands/CommandTable.h"
#include "commands/ImportDispatch.h"
#include "document/Document.h"
#include "frameops/FrameSelection.h"
#include "dialogs/DialogMemory.h"
#include "frameops/ColorCommands.h"

class QWidget;

namespace movigram {

class ActionRegistry;
class BrowserServices;
class EditClipboard;
class PalettePickSource;
class ScreenRecording;
class Playback;
class TMyFrameWindow;
class TPaletteWindow;
struct TrueColorImage;

class EditorSession : public QObject, public DocumentObserver {
    Q_OBJECT
public:
    // window: the main window, the parent of the session's dialogs and the
    // owner of the status bar the host writes to.
    explicit EditorSession(TMyFrameWindow& window);
    ~EditorSession() override;

    Document& document() { return doc_; }
    const Document& document() const { return doc_; }
    QtHost& host() { return host_; }
    Playback& playback() { return *playback_; }
    EditClipboard& clipboard() { return *clipboard_; }
    BrowserServices& browserServices() { return *browserServices_; }
    ScreenRecording& screenRecording() { return *screenRecording_; }
    ActionRegistry& actions() { return *actions_; }
    DialogMemory& dialogMemory() { return dialogMemory_; }
    // The main window: the parent of dialogs and message boxes.
    QWidget* window() const;
    // What "Select from palette" of the effects dialog asks; null while
    // there is no palette window to pick in.
    PalettePickSource* palettePickSource() const { return palettePick_; }
    void setPalettePickSource(PalettePickSource* source) { palettePick_ = source; }
    // The palette window while View > Show palette is on, else null.
    TPaletteWindow* paletteWindow() const { return view_.showPaletteWindow ? paletteWindow_ : nullptr; }
    // The main window tells when it has made the palette window, which is
    // also where the dialogs pick colours from then.
    void setPaletteWindow(TPaletteWindow* palette, PalettePickSource* pickSource) {
        paletteWindow_ = palette;
        palettePick_ = pickSource;
    }

    // --- Commands ---

    // Runs a command of the command table (menu, tool bar, key, context
    // menu): its handler in the shell when it needs a person, else the core.
    void command(CommandId id);
    // Applies the enabling and check rules to every command now (a change
    // of the document or the view does it by itself on the next turn of the
    // event loop): a menu about to open shows them as they are.
    void updateCommandStates();
    // The close query: asks about unsaved changes; false keeps the program open.
    bool canClose();
    // Opens files as one new document (command line, recent files, the desktop).
    void openPath(const QString& path) { openPaths({path}); }
    void openPaths(const QStringList& paths);
    // Files dropped on a line of the frame list: inserted before it, appended
    // at or past the end; a negative line replaces the document.
    void dropFiles(int line, const QStringList& paths);
    void moveFrames(int first, int count, int destination);
    // Runs a file command while the canvas shows the frames as they are read.
    void reading(const std::function<void(const LiveView&)>& fn);

    // Stepping through the frames (Next, Prev, Home, End and the arrow keys).
    void nextFrame();
    void prevFrame();
    void showFirstFrame();
    void showLastFrame();
    // A line of the frame list was chosen; with keepFocus (a line added to
    // or taken from a selection of several) the keys stay in the list.
    void listSelect(int index, bool keepFocus = false);
    // The lines selected in the frame list (ascending), or the current
    // frame's when the list has none.
    FrameSelection listSelection() const;
    void setListSelectionSource(std::function<FrameSelection()> source) { listSelection_ = std::move(source); }
    // Delete on the list or the canvas: the selected frames go, in one undo
    // step.
    void deleteListSelection();
    // A delay typed on a line: the given frames are each shown `ms`.
    void setDelays(const FrameSelection& frames, int ms);
    // A playback step shows the frame; the canvas paints only what changed.
    void showPlaybackFrame(TFrame* frame);
    bool inPlaybackStep() const { return playbackStep_; }

    // --- View state ---

    const ViewState& viewState() const { return view_; }
    int zoom() const { return view_.zoom; }
    void setZoom(int zoom);
    void setFrameListShown(bool on);
    void setPaletteShown(bool on);
    // View > Show dirty rectangle, the dirty rectangle only (each turns the
    // other off), Show as browsers do.
    void toggleDirtyRect();
    void toggleDirtyOnly();
    void toggleBrowserView();
    void toggleFramePatches();
    // The pending pick of the canvas and the palette window.
    PickMode pickMode() const { return pickMode_; }
    void enterPickMode(PickMode mode);
    // Escape, or a click elsewhere: the pick ends without a change.
    void cancelPick();
    // A pick completed on the picture or on a swatch.
    void picked(int32_t index);
    // While busy (a long operation lets the window paint), requests of the
    // person wait.
    bool isBusy() const { return busy_; }
    void setBusy(bool on) { busy_ = on; }
    bool isReading() const { return reading_; }

    // --- The box tool: a box drawn on the canvas for the dialog of a command ---

    BoxTool boxTool() const { return boxTool_; }
    void startBoxTool(BoxTool tool);
    void endBoxTool();
    // Enter or a double click on the box: the tool's dialog opens with it and
    // the frames to change; cancelled, the box takes the dialog's numbers.
    void boxChosen(const TRect& box);

    // --- What the dialogs ask the canvas to show ---

    // Shows the frame at index; with composed, over the animation composed
    // up to it.
    void showFrameRequested(int index, bool composed) { emit frameRequested(index, composed); }
    void clearComposedBackground() { emit composedBackgroundCleared(); }
    // A dotted rectangle over the canvas (image coordinates; a null
    // rectangle removes it).
    void markRect(const TRect& rect) { emit rectMarked(rect); }
    // A frame's image at its place moved by offset (the moving-sprite
    // preview); index -1 removes it.
    void previewOffset(int index, TPoint offset) { emit offsetPreviewed(index, offset); }

    // --- Settings and recent files ---

    SavedOptions savedOptions() const;
    void applySavedOptions(const SavedOptions& saved);
    // Recent files, the most recent first.
    QStringList recentFiles() const { return recent_; }
    void addRecentFile(const QString& path);
    // The playback step asks whether a list line is in view (a line far
    // below is not selected on every step).
    void setListLineVisible(std::function<bool(int)> visible) { listLineVisible_ = std::move(visible); }
    bool isListLineVisibleOrAbove(int index) const { return !listLineVisible_ || listLineVisible_(index); }

signals:
    // The zoom, a view option, a window shown or hidden, the pending pick or
    // the clipboard changed.
    void viewStateChanged();
    void titleChanged(const QString& title);
    void recentFilesChanged();
    void readingChanged(bool reading);
    void frameRead(const movigram::TFrame& frame);
    void previewRead(const movigram::TrueColorImage& image);
    void playbackFrameShown();
    void frameRequested(int index, bool composed);
    void composedBackgroundCleared();
    void rectMarked(const movigram::TRect& rect);
    // The box tool's box is to be this (its dialog's numbers).
    void boxSet(const movigram::TRect& box);
    void offsetPreviewed(int index, movigram::TPoint offset);
    // A line of the list was chosen: the keys go on stepping on the canvas.
    void canvasFocusWanted();

private:
    void letIdleFramesGo(bool stepped = false);
    // DocumentObserver: the commands' states follow every change.
    void framesInserted(int, int) override { scheduleCommandUpdate(); }
    void framesRemoved(int, int) override { scheduleCommandUpdate(); }
    void framesMoved(int, int, int) override { scheduleCommandUpdate(); }
    void framesReset() override { scheduleCommandUpdate(); }
    void frameChanged(int) override { scheduleCommandUpdate(); }
    void currentFrameChanged() override { scheduleCommandUpdate(); }
    void selectionChanged(int) override { scheduleCommandUpdate(); }
    void paletteChanged() override { scheduleCommandUpdate(); }
    void optionsChanged() override { scheduleCommandUpdate(); }
    void modifiedChanged(bool) override { scheduleCommandUpdate(); }
    void undoLabelChanged() override { scheduleCommandUpdate(); }
    void fileNameChanged() override;
    void documentChanged() override { scheduleCommandUpdate(); }
    void editStarting() override;

    void changeView(const std::function<void(ViewState&)>& change);
    void scheduleCommandUpdate();
    void clipboardChanged();

    TMyFrameWindow& window_;
    QtHost host_;
    Document doc_;
    ViewState view_;
    PickMode pickMode_ = PickMode::None;
    ActionRegistry* actions_;
    std::unique_ptr<Playback> playback_;
    std::unique_ptr<EditClipboard> clipboard_;
    std::unique_ptr<BrowserServices> browserServices_;
    std::unique_ptr<ScreenRecording> screenRecording_;
    DialogMemory dialogMemory_;
    TPaletteWindow* paletteWindow_ = nullptr;
    PalettePickSource* palettePick_ = nullptr;
    QTimer commandUpdate_;
    LiveView live_;
    QStringList recent_;
    std::function<bool(int)> listLineVisible_;
    std::function<FrameSelection()> listSelection_;
    bool busy_ = false;
    BoxTool boxTool_ = BoxTool::None;
    bool reading_ = false;
    // Commands and reads running, nested ones counted (a dialog's event
    // loop may step frames meanwhile).
    int commandDepth_ = 0;
    uint64_t decodedAtTrim_ = 0;  // TDib256::decodedCount() at the last look
    // When a frame being read was last painted.
    QElapsedTimer livePaint_;
    static constexpr int livePaintMs = 30;
    bool playbackStep_ = false;
};

}  // namespace movigram
