#include "TMyFrameWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>

#include "ActionRegistry.h"
#include "EditorSession.h"
#include "FrameListWindow.h"
#include "Icons.h"
#include "PaletteWindow.h"
#include "Playback.h"
#include "SaveSizeEstimator.h"
#include "StatusGadgets.h"
#include "TBmpViewWindow.h"
#include "commands/FileCommands.h"
#include "commands/SaveCommands.h"

namespace movigram {

namespace {

QSize screenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

}  // namespace

TMyFrameWindow::TMyFrameWindow(const QString& settingsPath) : settings_(settingsPath) {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowIcon(applicationIcon());
    session_ = new EditorSession(*this);
    client_ = new TBmpViewWindow(*session_, this);
    setCentralWidget(client_);
    frameList_ = new TFrameWinListBox(*session_, this);
    frameList_->hide();
    places_ = settings_.readWindowPlaces(screenSize());
    placeWindow(screenSize());

    ActionRegistry& actions = session_->actions();
    actions.fillMenuBar(*menuBar());
    for (CommandId id : {CommandId::RecentFile1, CommandId::RecentFile2, CommandId::RecentFile3, CommandId::RecentFile4}) {
        QAction* entry = actions.action(id);
        entry->setVisible(false);
        actions.fileMenu()->addAction(entry);
    }

    QToolBar* bar = addToolBar(QStringLiteral("Tool Bar"));
    bar->setObjectName(QStringLiteral("ToolBar"));
    bar->setMovable(false);
    bar->setIconSize(QSize(24, 24));
    actions.fillToolBar(*bar);

    QStatusBar* status = statusBar();
    status->setSizeGripEnabled(true);
    gauge_ = new TGaugeGadget(status);
    viewText_ = new TTextGadget(QStringLiteral("4:1  8888x8888"), status);
    colorText_ = new TColorGadget(status);
    sizeText_ = new TTextGadget(QString::fromStdString(approximateSizeText(999 << 20)), status);
    sizeText_->setToolTip(QStringLiteral("The size of the file Save would write now"));
    sizeText_->hide();
    status->addPermanentWidget(sizeText_);
    status->addPermanentWidget(gauge_);
    status->addPermanentWidget(viewText_);
    status->addPermanentWidget(colorText_);
    colorText_->setColor(-1, nullptr);

    connect(client_, &TBmpViewWindow::viewTextChanged, viewText_, &TTextGadget::setText);
    connect(client_, &TBmpViewWindow::colorChanged, colorText_, &TColorGadget::setColor);
    connect(client_, &TBmpViewWindow::pointerMoved, this, [status](const QString& place) {
        if (place.isEmpty()) status->clearMessage();
        else status->showMessage(place);
    });
    connect(session_, &EditorSession::titleChanged, this, &TMyFrameWindow::setWindowTitle);
    connect(session_, &EditorSession::recentFilesChanged, this, &TMyFrameWindow::showRecentFiles);
    connect(session_, &EditorSession::viewStateChanged, this, &TMyFrameWindow::followViewState);
    connect(frameList_, &TFrameWinListBox::closed, session_, [this] { session_->setFrameListShown(false); });
    session_->setListLineVisible([this](int index) {
        TFrameListBox& list = frameList_->listBox();
        return index < list.topIndex() + list.visibleLines();
    });

    sizeEstimator_ = new SaveSizeEstimator(*session_, this);
    connect(sizeEstimator_, &SaveSizeEstimator::changed, this, &TMyFrameWindow::showSizeEstimate);

    setWindowTitle(QString::fromStdString(titleText(session_->document())));
    viewText_->setText(client_->viewText());
    session_->updateCommandStates();
}

TMyFrameWindow::~TMyFrameWindow() {
    session_->playback().stop();
    // The list, the palette window, the canvas and the size estimate follow
    // the document: they go before the session that owns it.
    delete sizeEstimator_;
    delete frameList_;
    delete palette_;
    delete client_;
    delete session_;
}

void TMyFrameWindow::followViewState() {
    const ViewState& view = session_->viewState();
    if (frameListPlaced_ && frameList_->isHidden() == view.showFrameList) frameList_->setVisible(view.showFrameList);
    if (view.showPaletteWindow && !palette_) {
        palette_ = new TPaletteWindow(*session_, this);
        connect(palette_, &TPaletteWindow::closed, session_, [this] { session_->setPaletteShown(false); });
        session_->setPaletteWindow(palette_, palette_);
        placePaletteWindow(*palette_);
    }
    if (palette_ && palette_->isHidden() == view.showPaletteWindow) palette_->setVisible(view.showPaletteWindow);
}

// The last size measured stays while a newer one is measured, greyed (the
// first shows as "≈ …"); a document with nothing to save shows none.
void TMyFrameWindow::showSizeEstimate() {
    const std::optional<uint64_t> size = sizeEstimator_->size();
    const bool computing = sizeEstimator_->computing();
    sizeText_->setText(size ? QString::fromStdString(approximateSizeText(*size)) : QStringLiteral("\u2248 \u2026"));
    sizeText_->setEnabled(!computing);
    sizeText_->setVisible((size || computing) && anyFrameHasPixels(session_->document().frameList));
}

void TMyFrameWindow::placeWindow(QSize screen) {
    if (!places_.main.isNull() && !places_.main.isEmpty()) {
        QRect r = places_.main;
        r.setRight(std::min(r.right(), screen.width() - 1));
        r.setBottom(std::min(r.bottom(), screen.height() - 1));
        setGeometry(r);
    } else if (screen.width() <= 640 && screen.height() <= 480) {
        setGeometry(0, 0, screen.width() - 25, screen.height() - 25);
    } else {
        resize(std::min(1000, screen.width() * 4 / 5), std::min(720, screen.height() * 4 / 5));
    }
}

void TMyFrameWindow::firstIdle(const QStringList& filesToOpen) {
    if (places_.maximised) showMaximized();
    placeFrameList();
    session_->applySavedOptions(settings_.readOptions());
    QStringList existing;
    for (const QString& file : filesToOpen)
        if (QFileInfo::exists(file)) existing << QFileInfo(file).absoluteFilePath();
    session_->openPaths(existing);
}

void TMyFrameWindow::placeFrameList() {
    TFrameWinListBox& list = *frameList_;
    addDockWidget(Qt::LeftDockWidgetArea, &list);
    if (places_.framesDocked) {
        list.setFloating(false);
    } else if (!places_.frames.isNull()) {
        list.setFloating(true);
        list.setGeometry(places_.frames);
    } else {
        const QPoint corner = client_->mapToGlobal(QPoint(0, 0));
        const QRect beside(QPoint(corner.x() - 250, corner.y()), QSize(250, 240));
        const QScreen* screen = QGuiApplication::primaryScreen();
        if (screen && screen->availableGeometry().contains(beside)) {
            list.setFloating(true);
            list.setGeometry(beside);
        } else {
            // No room beside the canvas: the list docks at its left.
            list.setFloating(false);
            resizeDocks({&list}, {250}, Qt::Horizontal);
        }
    }
    list.setVisible(session_->viewState().showFrameList);
    frameListPlaced_ = true;
    windowCorner_ = geometry().topLeft();
    windowCornerKnown_ = true;
}

void TMyFrameWindow::placePaletteWindow(TPaletteWindow& palette) {
    addDockWidget(Qt::RightDockWidgetArea, &palette);
    const QSize size = palette.sizeHint();
    const QRect frame = frameGeometry();
    const QRect beside(QPoint(frame.right() + 1, client_->mapToGlobal(QPoint(0, 0)).y()), size);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (places_.paletteDocked) {
        palette.setFloating(false);
    } else if (!places_.palette.isNull()) {
        palette.setFloating(true);
        palette.setGeometry(places_.palette);
    } else if (screen && screen->availableGeometry().contains(beside)) {
        palette.setFloating(true);
        palette.setGeometry(beside);
    } else {
        // Docked for want of room: narrow enough to leave the canvas most of it.
        palette.setFloating(false);
        resizeDocks({&palette}, {std::min(size.width(), width() / 4)}, Qt::Horizontal);
    }
}

// Qt's own menu would show and hide the windows behind View's options,
// which would then no longer say what is shown; the tool bar has no option
// and stays.
QMenu* TMyFrameWindow::createPopupMenu() {
    auto* menu = new QMenu(this);
    ActionRegistry& actions = session_->actions();
    menu->addAction(actions.action(CommandId::ShowFrameList));
    menu->addAction(actions.action(CommandId::ShowPalette));
    return menu;
}

void TMyFrameWindow::showRecentFiles() {
    ActionRegistry& actions = session_->actions();
    const QStringList recent = session_->recentFiles();
    for (int i = 0; i < 4; ++i) {
        QAction* entry = actions.action(CommandId(int(CommandId::RecentFile1) + i));
        entry->setVisible(i < recent.size());
        if (i < recent.size())
            entry->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QString(recent[i]).replace(QLatin1Char('&'), QStringLiteral("&&"))));
    }
}

void TMyFrameWindow::closeEvent(QCloseEvent* event) {
    if (!session_->canClose()) {
        event->ignore();
        return;
    }
    writeSettings();
    sizeEstimator_->shutDown();
    event->accept();
}

void TMyFrameWindow::writeSettings() {
    settings_.writeOptions(session_->savedOptions());
    TFrameWinListBox& list = *frameList_;
    settings_.writeRect("FramesWinRect", QRect(list.mapToGlobal(QPoint(0, 0)), list.size()));
    settings_.writeFrameListDocked(!list.isFloating());
    if (TPaletteWindow* palette = palette_) {
        places_.palette = QRect(palette->mapToGlobal(QPoint(0, 0)), palette->size());
        settings_.writePaletteDocked(!palette->isFloating());
    }
    settings_.writeRect("PalWinRect", places_.palette);
    settings_.writeMainWindow(isMaximized() ? normalGeometry() : geometry(), isMaximized());
    settings_.sync();
}

void TMyFrameWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    followMainWindow();
}

void TMyFrameWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (!isMinimized()) followMainWindow();
}

// The main window's own corner, not the canvas's: the canvas also moves
// within the window when a docked window is shown, hidden or resized, and
// that must not move the floating ones.
void TMyFrameWindow::followMainWindow() {
    if (!windowCornerKnown_) return;
    const QPoint corner = geometry().topLeft();
    const QPoint offset = corner - windowCorner_;
    windowCorner_ = corner;
    if (offset.isNull()) return;
    TFrameWinListBox& list = *frameList_;
    if (list.isFloating()) list.move(list.pos() + offset);
    if (TPaletteWindow* palette = palette_; palette && palette->isFloating())
        palette->move(palette->pos() + offset);
}

}  // namespace movigram
