#pragma once
// The main window: it owns the editor session, and shows it with the menu
// bar, tool bar and status bar around the canvas (TBmpViewWindow), the frame
// list and the palette window; the recent-file entries of the File menu, the
// window positions of the settings file, and the floating windows that
// follow it when it moves.
#include <QMainWindow>
#include <QPoint>
#include <memory>

#include "Settings.h"

class QMenu;

namespace movigram {

class EditorSession;
class TBmpViewWindow;
class TFrameWinListBox;
class TPaletteWindow;
class SaveSizeEstimator;
class TColorGadget;
class TGaugeGadget;
class TTextGadget;

class TMyFrameWindow : public QMainWindow {
    Q_OBJECT
public:
    // settingsPath: the settings file (tests use their own).
    explicit TMyFrameWindow(const QString& settingsPath = Settings::defaultPath());
    ~TMyFrameWindow() override;

    EditorSession& session() { return *session_; }
    // The canvas.
    TBmpViewWindow& client() { return *client_; }
    TFrameWinListBox& frameListWindow() { return *frameList_; }
    // Also while it is closed, once it was made (its place is saved).
    TPaletteWindow* paletteWindowIfMade() const { return palette_; }
    TGaugeGadget& gauge() { return *gauge_; }
    TTextGadget& viewText() { return *viewText_; }
    TColorGadget& colorText() { return *colorText_; }
    // The size Save would write, "≈ 2.3 MB", greyed while a newer one is
    // being measured, hidden when there is nothing to save.
    TTextGadget& sizeText() { return *sizeText_; }
    SaveSizeEstimator& sizeEstimator() { return *sizeEstimator_; }
    Settings& settings() { return settings_; }

    // The first idle moment after the window is shown: maximise when it was,
    // place the frame list, read the options and recent files, open the
    // files named on the command line that exist, as one animation.
    void firstIdle(const QStringList& filesToOpen = {});
    // The frame list where it was saved, else with its right edge at the
    // canvas's left edge; docked when that place is off the screen.
    void placeFrameList();
    // The palette window, when it is first shown: where it was saved, else
    // beside the main window's right edge; docked when that is off the screen.
    void placePaletteWindow(TPaletteWindow& palette);

    // The menu of a right click on the tool bar or a docked window's title:
    // View's Show frame list and Show palette, the same commands as there.
    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void placeWindow(QSize screen);
    // The frame list and the palette window as the session's view state says.
    void followViewState();
    void showRecentFiles();
    void followMainWindow();
    void writeSettings();
    void showSizeEstimate();

    Settings settings_;
    WindowPlaces places_;
    EditorSession* session_;
    TBmpViewWindow* client_;
    TFrameWinListBox* frameList_;
    TPaletteWindow* palette_ = nullptr;
    TGaugeGadget* gauge_;
    TTextGadget* viewText_;
    TColorGadget* colorText_;
    TTextGadget* sizeText_;
    SaveSizeEstimator* sizeEstimator_;
    QPoint windowCorner_;
    bool windowCornerKnown_ = false;
    bool frameListPlaced_ = false;
};

}  // namespace movigram
