#include "TBmpViewApp.h"

#include <QTimer>

#include "Icons.h"
#include "TMyFrameWindow.h"

namespace movigram {

TBmpViewApp::TBmpViewApp(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Movigram"));
    setDesktopFileName(QString::fromLatin1(desktopEntryName));
    setWindowIcon(applicationIcon());
    filesToOpen_ = arguments().mid(1);
    // "--" ends the options (main() answers --help and --version); the names after it are files.
    filesToOpen_.removeOne(QStringLiteral("--"));
}

TBmpViewApp::~TBmpViewApp() = default;

int TBmpViewApp::run() {
    mainWindow_ = std::make_unique<TMyFrameWindow>();
    mainWindow_->show();
    QTimer::singleShot(0, mainWindow_.get(), [this] { mainWindow_->firstIdle(filesToOpen_); });
    const int code = exec();
    mainWindow_.reset();
    return code;
}

}  // namespace movigram
