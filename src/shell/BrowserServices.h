#pragma once
// The File menu's Preview and HTML code and the Help menu: the core chooses
// and writes the documents and words the messages; the desktop opens them
// (QDesktopServices), and the two small dialogs show the HTML code and the
// about box.  The documents are found in the program's data folder.
#include <QProcess>
#include <QString>
#include <memory>
#include <vector>

#include "commands/BrowserCommands.h"
#include "commands/CommandId.h"

class QWidget;

namespace movigram {

class THelpViewer;

// Opens documents with the desktop's programs (xdg-open), and in the
// built-in viewer when the desktop cannot: no xdg-open, or xdg-open
// reporting that it found no program or that the program failed.  So a
// document that exists is always shown; the result is true for it.
// Starting a program is all the desktop reports at once, so the viewer may
// open a moment later, when xdg-open has ended with its failure.
class DesktopLauncher : public DocumentLauncher {
public:
    DesktopLauncher();
    ~DesktopLauncher() override;
    bool open(const std::string& path) override;
    // The built-in viewer, once it was needed; else null.
    THelpViewer* viewer() const { return viewer_.get(); }

private:
    void showBuiltIn(const QString& path);

    std::unique_ptr<THelpViewer> viewer_;
    std::vector<std::unique_ptr<QProcess>> openers_;
};

class BrowserServices {
public:
    BrowserServices();
    ~BrowserServices();

    // Preview (108).
    void preview(Document& doc);
    // Html code (109): the dialog, and on OK the code on the clipboard.
    void htmlCode(QWidget* parent, Document& doc);
    // Help > English, French, Spanish (801, 810, 811).
    void help(Host& host, CommandId id);
    // How to use help (806).
    void howToUseHelp(Host& host);
    // About (802).
    void about(QWidget* parent);

    const ProgramDocuments& documents() const { return docs_; }
    // Where the documents are; the program's data folder unless changed.
    void setDocumentsFolder(const QString& folder) { docs_.folder = folder.toStdString(); }
    // Who opens documents; the desktop unless replaced (tests record instead).
    void setLauncher(DocumentLauncher* launcher) { launcher_ = launcher ? launcher : &desktop_; }
    DesktopLauncher& desktop() { return desktop_; }

private:
    ProgramDocuments docs_;
    DesktopLauncher desktop_;
    DocumentLauncher* launcher_ = &desktop_;
};

}  // namespace movigram
