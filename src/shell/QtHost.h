#pragma once
// The core's host in the editor: message boxes with the program's captions,
// icons and buttons, the status bar's message area and gauge, the wait
// cursor, the save dialog, the recent-file list and text measuring for
// comment frames.  While a long operation
// runs, the gauge lets the window repaint now and then, so that it stays
// alive; the person's input waits until the operation is done.
#include <QElapsedTimer>
#include <QTimer>

#include "document/Host.h"
#include "document/TFrame.h"

namespace movigram {

class EditorSession;
class TMyFrameWindow;

class WindowTextMeasurer : public TextMeasurer {
public:
    explicit WindowTextMeasurer(const TMyFrameWindow& window) : window_(window) {}
    TSize clientSize() const override;
    int32_t textHeight(std::string_view text, int32_t boxWidth) const override;

private:
    const TMyFrameWindow& window_;
};

class QtHost : public Host {
public:
    QtHost(EditorSession& session, TMyFrameWindow& window);
    ~QtHost() override;

    void showMessage(const std::string& caption, const std::string& text, MessageIcon icon) override;
    Answer ask(const std::string& caption, const std::string& text, Buttons buttons) override;
    void showStatus(const std::string& text) override;
    void clearStatus() override;
    void setProgress(int percent) override;
    void startGaugeReset() override;
    void setWaitCursor(bool on) override;
    std::optional<std::string> chooseSavePath(const std::string& folder, const std::string& name) override;
    void addRecentFile(const std::string& path) override;
    const TextMeasurer* textMeasurer() override { return &measurer_; }
    bool runsEventsMeanwhile() const override { return true; }

    // Timer 203: clears the gauge 250 ms after a save.
    QTimer& gaugeTimer() { return gaugeTimer_; }
    // Lets the window paint, at most every few hundredths of a second.
    void keepAlive();

private:
    EditorSession& session_;
    TMyFrameWindow& window_;
    WindowTextMeasurer measurer_;
    QTimer gaugeTimer_;
    QElapsedTimer sinceRepaint_;
    int waitCursors_ = 0;
};

}  // namespace movigram
