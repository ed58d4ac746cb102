#include "EditorFixture.h"

#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <fstream>

#include "support/GifBuilder.h"

namespace movigram::test {

void Editor::SetUp() {
    dir = std::filesystem::temp_directory_path() /
          ("movigram-shell-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    settingsPath = QString::fromStdString((dir / "movigram.ini").string());
}

void Editor::TearDown() {
    if (window_) {
        // Leaves without the question about unsaved changes.
        window_->session().document().setModified(false);
        window_->close();
        window_.reset();
    }
    std::filesystem::remove_all(dir);
}

void Editor::start() {
    window_ = std::make_unique<TMyFrameWindow>(settingsPath);
    window_->resize(900, 700);
    window_->show();
    window_->firstIdle();
    QApplication::processEvents();
}

void Editor::trigger(CommandId id) {
    QAction* a = action(id);
    ASSERT_NE(a, nullptr) << int(id);
    a->trigger();
    QApplication::processEvents();
}

std::string Editor::writeGif(const std::string& name, int frames, int width, int height, int delayCs,
                             const std::string& comment) {
    GifBuilder gif(width, height, 8);
    gif.loop(0);
    if (!comment.empty()) gif.comment(comment);
    for (int f = 0; f < frames; ++f)
        gif.control(delayCs).image(0, 0, width, height, std::vector<uint8_t>(size_t(width * height), uint8_t(f % 8)));
    gif.trailer();
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(gif.bytes().data()), std::streamsize(gif.bytes().size()));
    return path;
}

std::vector<std::string> Editor::frameTexts() {
    std::vector<std::string> texts;
    for (int i = 0; i < doc().frameList.count(); ++i) texts.push_back(doc().frameList.textAt(i));
    return texts;
}

MessageBoxAnswer::MessageBoxAnswer(int button) { poll(state_, button, 500); }

void MessageBoxAnswer::poll(std::shared_ptr<State> state, int button, int triesLeft) {
    QTimer::singleShot(10, [state, button, triesLeft] {
        if (state->done) return;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            if (triesLeft > 0) poll(state, button, triesLeft - 1);
            return;
        }
        state->done = state->seen = true;
        state->text = box->text();
        state->caption = box->windowTitle();
        box->button(QMessageBox::StandardButton(button))->click();
    });
}

}  // namespace movigram::test
