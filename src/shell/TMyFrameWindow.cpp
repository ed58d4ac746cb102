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
#include "FrameListWindow.h"
#include "Icons.h"
#include "PaletteWindow.h"
#include "StatusGadgets.h"
#include "TBmpViewWindow.h"
#include "commands/FileCommands.h"

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
    client_ = new TBmpViewWindow(*this);
    setCentralWidget(client_);
    places_ = settings_.readWindowPlaces(screenSize());
    placeWindow(screenSize());

    ActionRegistry& actions = client_->actions();
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
    status->addPermanentWidget(gauge_);
    status->addPermanentWidget(viewText_);
    status->addPermanentWidget(colorText_);
    colorText_->setColor(-1, nullptr);

    setWindowTitle(QString::fromStdString(titleText(client_->document())));
    client_->updateViewText();
    client_->updateCommandStates();
}

TMyFrameWindow::~TMyFrameWindow() = default;

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
    const SavedOptions saved = settings_.readOptions();
    client_->applySavedOptions(saved);
    for (auto it = saved.recentFiles.rbegin(); it != saved.recentFiles.rend(); ++it) addRecentFile(*it);
    client_->updateCommandStates();
    QStringList existing;
    for (const QString& file : filesToOpen)
        if (QFileInfo::exists(file)) existing << QFileInfo(file).absoluteFilePath();
    client_->openPaths(existing);
}

void TMyFrameWindow::placeFrameList() {
    TFrameWinListBox& list = client_->frameListWindow();
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
    list.show();
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
    ActionRegistry& actions = client_->actions();
    menu->addAction(actions.action(CommandId::ShowFrameList));
    menu->addAction(actions.action(CommandId::ShowPalette));
    return menu;
}

void TMyFrameWindow::addRecentFile(const QString& path) {
    if (!recent_.isEmpty() && recent_.front() == path) return;
    recent_.removeAll(path);
    if (recent_.size() == 4) recent_.removeLast();
    recent_.prepend(path);
    showRecentFiles();
}

void TMyFrameWindow::showRecentFiles() {
    ActionRegistry& actions = client_->actions();
    for (int i = 0; i < 4; ++i) {
        QAction* entry = actions.action(CommandId(int(CommandId::RecentFile1) + i));
        entry->setVisible(i < recent_.size());
        if (i < recent_.size())
            entry->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QString(recent_[i]).replace(QLatin1Char('&'), QStringLiteral("&&"))));
    }
}

void TMyFrameWindow::closeEvent(QCloseEvent* event) {
    if (!client_->canClose()) {
        event->ignore();
        return;
    }
    writeSettings();
    event->accept();
}

void TMyFrameWindow::writeSettings() {
    SavedOptions saved = client_->savedOptions();
    saved.recentFiles = recent_;
    settings_.writeOptions(saved);
    TFrameWinListBox& list = client_->frameListWindow();
    settings_.writeRect("FramesWinRect", QRect(list.mapToGlobal(QPoint(0, 0)), list.size()));
    settings_.writeFrameListDocked(!list.isFloating());
    if (TPaletteWindow* palette = client_->paletteWindowIfMade()) {
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
    TFrameWinListBox& list = client_->frameListWindow();
    if (list.isFloating()) list.move(list.pos() + offset);
    if (TPaletteWindow* palette = client_->paletteWindowIfMade(); palette && palette->isFloating())
        palette->move(palette->pos() + offset);
}

}  // namespace movigram
