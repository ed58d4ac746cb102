#pragma once
// An editor window on its own settings file in a scratch folder, with
// animations written there for it to open.
#include <gtest/gtest.h>

#include <QAction>
#include <QStringList>
#include <ostream>
#include <filesystem>
#include <functional>
#include <memory>

#include "shell/ActionRegistry.h"
#include "shell/EditorSession.h"
#include "shell/TBmpViewWindow.h"
#include "shell/TMyFrameWindow.h"

// Readable values of Qt strings in test failures.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) { *os << '"' << list.join("\", \"").toStdString() << '"'; }
QT_END_NAMESPACE

namespace movigram::test {

class Editor : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes the main window as the application does and runs its first idle moment.
    void start();
    TMyFrameWindow& window() { return *window_; }
    EditorSession& session() { return window_->session(); }
    // The canvas.
    TBmpViewWindow& view() { return window_->client(); }
    Document& doc() { return session().document(); }
    QAction* action(CommandId id) { return session().actions().action(id); }
    // Runs a command as its menu item does.
    void trigger(CommandId id);

    // A GIF of `frames` frames of width x height, frame f filled with colour
    // f % 8, each shown for delayCs hundredths, after a comment when one is
    // given; its full path.
    std::string writeGif(const std::string& name, int frames, int width = 8, int height = 6, int delayCs = 10,
                         const std::string& comment = {});
    std::vector<std::string> frameTexts();

    std::filesystem::path dir;
    QString settingsPath;

private:
    std::unique_ptr<TMyFrameWindow> window_;
};

// Answers the next message box (within a few seconds) with the button,
// keeping its caption and text.
class MessageBoxAnswer {
public:
    explicit MessageBoxAnswer(int button);
    ~MessageBoxAnswer() { state_->done = true; }
    bool seen() const { return state_->seen; }
    QString text() const { return state_->text; }
    QString caption() const { return state_->caption; }

private:
    struct State {
        bool done = false, seen = false;
        QString text, caption;
    };
    static void poll(std::shared_ptr<State> state, int button, int triesLeft);
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace movigram::test
