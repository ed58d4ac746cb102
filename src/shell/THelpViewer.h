#pragma once
// The built-in viewer: a window with a text browser, for when the desktop
// has no program to show a document.  It shows the help pages with their
// links and pictures, the note on using help as plain text, and the
// preview page, whose GIF animations it plays.
#include <QPointer>
#include <QTextBrowser>
#include <QWidget>
#include <map>

class QMovie;

namespace movigram {

// A text browser that plays the GIF animations its page shows.
class AnimatedTextBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit AnimatedTextBrowser(QWidget* parent = nullptr) : QTextBrowser(parent) {}
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    // A new page starts its animations anew.
    void doSetSource(const QUrl& url, QTextDocument::ResourceType type) override;

private:
    std::map<QUrl, QPointer<QMovie>> movies_;
};

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    THelpViewer();
    // Shows the document and brings the window to the front.
    void showDocument(const QString& path);
    AnimatedTextBrowser& browser() { return *browser_; }
    QString shownPath() const { return path_; }

private:
    AnimatedTextBrowser* browser_;
    QString path_;
};

}  // namespace movigram
