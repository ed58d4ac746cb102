#pragma once
// The application object: named "Movigram", it makes the main window, shows
// it, and at the first idle moment places the frame list, reads the settings
// and opens the files named on the command line (the desktop passes the
// files a user opens with the program this way).
#include <QApplication>
#include <QStringList>
#include <memory>

namespace movigram {

class TMyFrameWindow;

// The name of the desktop entry and the application's id on the desktop.
inline constexpr const char* desktopEntryName = "org.movigram.Movigram";

class TBmpViewApp : public QApplication {
    Q_OBJECT
public:
    TBmpViewApp(int& argc, char** argv);
    ~TBmpViewApp() override;
    // Shows the main window and runs the event loop; the exit code.
    int run();

private:
    std::unique_ptr<TMyFrameWindow> mainWindow_;
    QStringList filesToOpen_;
};

}  // namespace movigram
