#include "THelpViewer.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMovie>
#include <QVBoxLayout>

namespace movigram {

QVariant AnimatedTextBrowser::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource || !name.isLocalFile() ||
        !name.toLocalFile().endsWith(QStringLiteral(".gif"), Qt::CaseInsensitive))
        return QTextBrowser::loadResource(type, name);
    QPointer<QMovie>& movie = movies_[name];
    if (!movie) {
        movie = new QMovie(name.toLocalFile(), QByteArray(), this);
        movie->setCacheMode(QMovie::CacheNone);
        // Each new frame replaces the picture the page holds for this address.
        connect(movie, &QMovie::frameChanged, this, [this, name, m = movie.data()] {
            document()->addResource(QTextDocument::ImageResource, name, m->currentPixmap());
            viewport()->update();
        });
        movie->start();
    }
    return movie->currentPixmap();
}

void AnimatedTextBrowser::doSetSource(const QUrl& url, QTextDocument::ResourceType type) {
    for (auto& [address, movie] : movies_) delete movie.data();
    movies_.clear();
    QTextBrowser::doSetSource(url, type);
}

THelpViewer::THelpViewer() {
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Movigram Help"));
    browser_ = new AnimatedTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(760, 640);
}

void THelpViewer::showDocument(const QString& path) {
    path_ = path;
    const QFileInfo info(path);
    const QString suffix = info.suffix().toLower();
    if (suffix == QStringLiteral("html") || suffix == QStringLiteral("htm")) {
        browser_->setFont(font());
        // Cleared first, so that a page written again is read again.
        browser_->setSource(QUrl(), QTextDocument::UnknownResource);
        browser_->setSource(QUrl::fromLocalFile(info.absoluteFilePath()), QTextDocument::HtmlResource);
    } else {
        // Plain text as it is written, in a fixed font.
        QFile file(path);
        browser_->setSource(QUrl(), QTextDocument::UnknownResource);
        browser_->setPlainText(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
        browser_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
    setWindowTitle(QStringLiteral("%1 - Movigram").arg(info.fileName()));
    show();
    raise();
    activateWindow();
}

}  // namespace movigram
