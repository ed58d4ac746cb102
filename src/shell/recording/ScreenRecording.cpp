#include "ScreenRecording.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

#include "TRecordDialog.h"
#include "TRecordingControl.h"
#include "capture/Recorder.h"
#include "capture/X11Source.h"
#include "capture/X11Windows.h"
#include "commands/FileCommands.h"
#include "commands/RecordingCommands.h"
#include "shell/EditorSession.h"
#include "shell/Playback.h"

namespace movigram {

namespace {

constexpr int pollInterval = 200;  // ms

QRect toQRect(const capture::Region& r) { return {r.x, r.y, r.width, r.height}; }

// The X screen as it is now, and its windows, for the chooser.
std::optional<ScreenSnapshot> x11Snapshot(QString& error) {
    std::string why;
    capture::X11Options options;
    options.target = capture::X11Options::Target::Screen;
    const std::unique_ptr<capture::X11Source> source = capture::X11Source::open(options, why);
    capture::Picture picture;
    if (!source || !source->grab(picture, why)) {
        error = QString::fromStdString(why);
        return std::nullopt;
    }
    ScreenSnapshot snapshot;
    snapshot.picture = QImage(picture.bgrx.data(), picture.width, picture.height, picture.width * 4,
                              QImage::Format_RGB32)
                           .copy();
    for (const capture::ScreenWindow& w : capture::listWindows({}, why))
        snapshot.windows.push_back({w.id, toQRect(w.rect), QString::fromStdString(w.title)});
    return snapshot;
}

}  // namespace

ScreenRecording::ScreenRecording(EditorSession& session) : session_(session) {
    poll_.setInterval(pollInterval);
    connect(&poll_, &QTimer::timeout, this, &ScreenRecording::poll);
    countdown_.setInterval(1000);
    connect(&countdown_, &QTimer::timeout, this, [this] {
        if (--secondsToStart_ > 0) control_->showCountdown(secondsToStart_);
        else startRecorder();
    });
}

ScreenRecording::~ScreenRecording() = default;

void ScreenRecording::begin() {
    if (dialog_ || recorder_ || countdown_.isActive()) return;
    std::string why;
    {
        // Only the X server's screen is recorded here; a desktop without one
        // says so rather than failing later.
        capture::X11Options probe;
        probe.target = capture::X11Options::Target::Region;
        probe.region = {0, 0, 1, 1};
        if (!capture::X11Source::open(probe, why)) {
            QMessageBox::warning(session_.window(), QStringLiteral("Record screen"),
                                 QStringLiteral("The screen cannot be recorded here: %1.").arg(QString::fromStdString(why)));
            return;
        }
    }
    session_.playback().stop();
    dialog_ = new TRecordDialog(session_.window(), session_.dialogMemory().record,
                                !session_.document().frameList.empty(), x11Snapshot);
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog_, &QDialog::accepted, this, [this] { start(dialog_->choice()); });
    dialog_->open();
}

void ScreenRecording::start(const RecordChoice& choice) {
    choice_ = choice;
    session_.dialogMemory().record = choice;
    // A new animation takes the place of the one open: its changes are
    // asked about now, not after the recording.
    if (!choice.insert && !askSave(session_.document())) return;
    control_ = std::make_unique<TRecordingControl>();
    connect(control_.get(), &TRecordingControl::pauseToggled, this, [this](bool paused) {
        if (!recorder_) return;
        if (paused) recorder_->pause();
        else recorder_->resume();
    });
    connect(control_.get(), &TRecordingControl::stopRequested, this, [this] {
        if (recorder_) recorder_->stop();
        else QTimer::singleShot(0, this, &ScreenRecording::finish);  // still counting down
    });
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
    recorded_ = choice.kind == RecordChoice::WholeScreen ? screenRect : choice.region;
    control_->showBeside(recorded_, screenRect);
    secondsToStart_ = choice.delaySeconds;
    if (secondsToStart_ > 0) {
        control_->showCountdown(secondsToStart_);
        countdown_.start();
    } else {
        startRecorder();
    }
}

void ScreenRecording::startRecorder() {
    countdown_.stop();
    capture::X11Options options;
    options.pointer = choice_.pointer;
    switch (choice_.kind) {
    case RecordChoice::WholeScreen: options.target = capture::X11Options::Target::Screen; break;
    case RecordChoice::Window:
        options.target = capture::X11Options::Target::Window;
        options.window = choice_.windowId;
        break;
    case RecordChoice::Region:
        options.target = capture::X11Options::Target::Region;
        options.region = {choice_.region.x(), choice_.region.y(), choice_.region.width(), choice_.region.height()};
        break;
    }
    std::string why;
    std::unique_ptr<capture::X11Source> source = capture::X11Source::open(options, why);
    if (!source) {
        control_.reset();
        QMessageBox::warning(session_.window(), QStringLiteral("Record screen"),
                             QStringLiteral("The recording could not start: %1.").arg(QString::fromStdString(why)));
        emit ended();
        return;
    }
    capture::RecorderSettings settings;
    settings.framesPerSecond = choice_.fps;
    settings.quantize = session_.document().quantize;
    recorder_ = std::make_unique<capture::Recorder>(std::move(source), settings);
    recorder_->start();
    control_->showStatus({});
    poll_.start();
}

void ScreenRecording::poll() {
    if (!recorder_) return;
    const capture::RecordingProgress p = recorder_->progress();
    control_->showStatus({p.elapsed, int(p.frames), p.bytes, p.paused});
    if (recorder_->finished()) finish();
}

void ScreenRecording::finish() {
    poll_.stop();
    countdown_.stop();
    control_.reset();
    if (!recorder_) {
        emit ended();
        return;
    }
    const std::string name = "Recording " + std::to_string(++recordings_);
    capture::RecordingResult result = recorder_->takeResult(name);
    recorder_.reset();
    Document& doc = session_.document();
    if (!result.message.empty())
        QMessageBox::information(session_.window(), QStringLiteral("Record screen"),
                                 QStringLiteral("The recording stopped: %1. The frames recorded until then are kept.")
                                     .arg(QString::fromStdString(result.message)));
    if (!result.frames.empty()) {
        // Inserted before the current frame, or a new animation; should the
        // document have been changed meanwhile and its changes not be given
        // up, the recording goes after its last frame instead.
        int position = ReplaceDocument;
        if (choice_.insert) position = std::max(doc.frameList.selectedIndex(), 0);
        else if (doc.modified && !askSave(doc)) position = AppendToDocument;
        placeRecording(doc, position, std::move(result.frames), name);
    }
    emit ended();
}

}  // namespace movigram
