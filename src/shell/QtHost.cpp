#include "QtHost.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QStatusBar>

#include "FileDialogs.h"
#include "StatusGadgets.h"
#include "EditorSession.h"
#include "TMyFrameWindow.h"

namespace movigram {

TSize WindowTextMeasurer::clientSize() const {
    // The canvas's client area, where a comment frame's text is shown.
    const auto* canvas = qobject_cast<const QAbstractScrollArea*>(window_.centralWidget());
    const QSize size = canvas ? canvas->viewport()->size() : window_.size();
    return {size.width(), size.height()};
}

int32_t WindowTextMeasurer::textHeight(std::string_view text, int32_t boxWidth) const {
    const QWidget* canvas = window_.centralWidget();
    const QFontMetrics metrics(canvas ? canvas->font() : window_.font());
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return metrics.boundingRect(QRect(0, 0, std::max(boxWidth, 1), 1 << 20), Qt::AlignLeft | Qt::TextExpandTabs, s)
        .height();
}

QtHost::QtHost(EditorSession& session, TMyFrameWindow& window)
    : session_(session), window_(window), measurer_(window) {
    gaugeTimer_.setSingleShot(true);
    gaugeTimer_.setInterval(250);
    QObject::connect(&gaugeTimer_, &QTimer::timeout, [this] { setProgress(0); });
    sinceRepaint_.start();
}

QtHost::~QtHost() {
    while (waitCursors_ > 0) setWaitCursor(false);
}

void QtHost::showMessage(const std::string& caption, const std::string& text, MessageIcon icon) {
    const QMessageBox::Icon shown = icon == MessageIcon::Stop       ? QMessageBox::Critical
                                    : icon == MessageIcon::Warning  ? QMessageBox::Warning
                                    : icon == MessageIcon::Question ? QMessageBox::Question
                                    : icon == MessageIcon::None     ? QMessageBox::NoIcon
                                                                    : QMessageBox::Information;
    QMessageBox box(shown, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    &window_);
    // The person answers with the normal cursor, also in the middle of a long read.
    const bool waiting = waitCursors_ > 0;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (waiting) QApplication::restoreOverrideCursor();
}

Answer QtHost::ask(const std::string& caption, const std::string& text, Buttons buttons) {
    QMessageBox::StandardButtons choice = QMessageBox::Yes | QMessageBox::No;
    if (buttons == Buttons::YesNoCancel) choice |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, QString::fromStdString(caption), QString::fromStdString(text), choice,
                    &window_);
    box.setDefaultButton(QMessageBox::Yes);
    const bool waiting = waitCursors_ > 0;
    if (waiting) QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int answer = box.exec();
    if (waiting) QApplication::restoreOverrideCursor();
    if (answer == QMessageBox::Yes) return Answer::Yes;
    if (answer == QMessageBox::No) return Answer::No;
    return buttons == Buttons::YesNoCancel ? Answer::Cancel : Answer::No;
}

void QtHost::showStatus(const std::string& text) {
    QStatusBar* bar = window_.statusBar();
    bar->showMessage(QString::fromStdString(text));
    bar->repaint();
}

void QtHost::clearStatus() { window_.statusBar()->clearMessage(); }

void QtHost::setProgress(int percent) {
    window_.gauge().setValue(percent);
    keepAlive();
}

void QtHost::keepAlive() {
    if (sinceRepaint_.elapsed() < 40) return;
    sinceRepaint_.restart();
    session_.setBusy(true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    session_.setBusy(false);
}

void QtHost::startGaugeReset() { gaugeTimer_.start(); }

void QtHost::setWaitCursor(bool on) {
    if (on) {
        ++waitCursors_;
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else if (waitCursors_ > 0) {
        --waitCursors_;
        QApplication::restoreOverrideCursor();
    }
}

std::optional<std::string> QtHost::chooseSavePath(const std::string& folder, const std::string& name) {
    const QString path = chooseGifSavePath(&window_, QString::fromStdString(folder), QString::fromStdString(name));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void QtHost::addRecentFile(const std::string& path) { session_.addRecentFile(QString::fromStdString(path)); }

}  // namespace movigram
