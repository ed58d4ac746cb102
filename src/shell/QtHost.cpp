#include "QtHost.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QStatusBar>

#include "FileDialogs.h"
#include "StatusGadgets.h"
#include "TBmpViewWindow.h"
#include "TMyFrameWindow.h"

namespace movigram {

TSize WindowTextMeasurer::clientSize() const {
    const QSize size = view_.viewport()->size();
    return {size.width(), size.height()};
}

int32_t WindowTextMeasurer::textHeight(std::string_view text, int32_t boxWidth) const {
    const QFontMetrics metrics(view_.font());
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size()));
    return metrics.boundingRect(QRect(0, 0, std::max(boxWidth, 1), 1 << 20), Qt::AlignLeft | Qt::TextExpandTabs, s)
        .height();
}

QtHost::QtHost(TBmpViewWindow& view) : view_(view), measurer_(view) {
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
                    view_.window());
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
                    view_.window());
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
    QStatusBar* bar = view_.frameWindow().statusBar();
    bar->showMessage(QString::fromStdString(text));
    bar->repaint();
}

void QtHost::clearStatus() { view_.frameWindow().statusBar()->clearMessage(); }

void QtHost::setProgress(int percent) {
    view_.frameWindow().gauge().setValue(percent);
    keepAlive();
}

void QtHost::keepAlive() {
    if (sinceRepaint_.elapsed() < 40) return;
    sinceRepaint_.restart();
    view_.setBusy(true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    view_.setBusy(false);
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
    const QString path = chooseGifSavePath(view_.window(), QString::fromStdString(folder), QString::fromStdString(name));
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void QtHost::addRecentFile(const std::string& path) { view_.frameWindow().addRecentFile(QString::fromStdString(path)); }

}  // namespace movigram
