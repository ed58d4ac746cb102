#include "BrowserServices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QUrl>

#include "TAboutDialog.h"
#include "THtmlDialog.h"

namespace movigram {

bool DesktopLauncher::open(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

BrowserServices::BrowserServices() {
    docs_.folder = findDataFolder(QCoreApplication::applicationDirPath().toStdString());
}

// The preview's files go with the editor.
BrowserServices::~BrowserServices() { removePreviewFolder(); }

void BrowserServices::preview(Document& doc) { movigram::preview(doc, *launcher_, docs_); }

void BrowserServices::htmlCode(QWidget* parent, Document& doc) {
    THtmlDialog dialog(parent, QString::fromStdString(movigram::htmlCode(doc)));
    dialog.exec();
}

void BrowserServices::help(Host& host, CommandId id) { showInBrowser(host, *launcher_, docs_.helpPage(id), docs_); }

void BrowserServices::howToUseHelp(Host& host) { showUseHelp(host, *launcher_, docs_); }

void BrowserServices::about(QWidget* parent) {
    TAboutDialog dialog(parent, QString::fromStdString(docs_.aboutPicture()));
    dialog.exec();
}

}  // namespace movigram
