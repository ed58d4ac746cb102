#pragma once
// The application object: named "Movigram", it makes the main window, shows
// it, and at the first idle moment places the frame list, reads the settings
// and opens the file named on the command line.
#include <QApplication>
#include <memory>

namespace movigram {

class TMyFrameWindow;

class TBmpViewApp : public QApplication {
    Q_OBJECT
public:
    TBmpViewApp(int& argc, char** argv);
    ~TBmpViewApp() override;
    // Shows the main window and runs the event loop; the exit code.
    int run();

private:
    std::unique_ptr<TMyFrameWindow> mainWindow_;
    QString fileToOpen_;
};

}  // namespace movigram
