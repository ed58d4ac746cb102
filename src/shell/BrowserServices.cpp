#include "BrowserServices.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include "TAboutDialog.h"
#include "THelpViewer.h"
#include "THtmlDialog.h"

namespace movigram {

DesktopLauncher::DesktopLauncher() = default;

DesktopLauncher::~DesktopLauncher() {
    // An opener still running may be the browser itself (some desktops run
    // it in the opener's place): it keeps running, only the watch on it ends.
    // Deleting its QProcess would kill it, so it is never deleted.
    static auto* stillRunning = new std::vector<QProcess*>;
    for (auto& opener : openers_) {
        opener->disconnect();
        if (opener->state() != QProcess::NotRunning) stillRunning->push_back(opener.release());
    }
}

bool DesktopLauncher::open(const std::string& path) {
    const QString file = QString::fromStdString(path);
    // Openers that have ended are done with.
    std::erase_if(openers_, [](const auto& p) { return p->state() == QProcess::NotRunning; });
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty()) {
        showBuiltIn(file);
        return true;
    }
    auto opener = std::make_unique<QProcess>();
    QProcess* process = opener.get();
    process->setProgram(xdgOpen);
    process->setArguments({file});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // xdg-open ends with 0 once the program has the document; anything else
    // means nothing shows it.
    QObject::connect(process, &QProcess::finished, process, [this, file](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0) showBuiltIn(file);
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [this, file](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) showBuiltIn(file);
    });
    openers_.push_back(std::move(opener));
    process->start();
    return true;
}

void DesktopLauncher::showBuiltIn(const QString& path) {
    if (!viewer_) viewer_ = std::make_unique<THelpViewer>();
    viewer_->showDocument(path);
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
