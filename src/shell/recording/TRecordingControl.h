#pragma once
// The small window that runs beside a recording: whether it records or is
// paused, the time, the frames and the memory they take, a Pause/Resume and
// a Stop button.  It sits outside the recorded region when the screen has
// room (it would be recorded otherwise); Escape stops, as Stop does.
#include <QRect>
#include <QWidget>
#include <chrono>
#include <cstdint>

class QLabel;
class QPushButton;

namespace movigram {

struct RecordingStatus {
    std::chrono::milliseconds elapsed{0};
    int frames = 0;
    uint64_t bytes = 0;
    bool paused = false;
};

// Where a window of `size` goes so that it does not cover `region` of
// `screen`: below it, else above, else right of it, else left of it, else
// in the screen's lower right corner.  Centred on the region along the
// side it sits on, kept on the screen.
QRect placeOutside(QSize size, const QRect& region, const QRect& screen);

class TRecordingControl : public QWidget {
    Q_OBJECT
public:
    explicit TRecordingControl(QWidget* parent = nullptr);

    void showStatus(const RecordingStatus& status);
    // Before the recording starts: "Starts in 3 s".
    void showCountdown(int seconds);
    // Shows the control beside `region` (screen coordinates).
    void showBeside(const QRect& region, const QRect& screen);

    QPushButton& pauseButton() { return *pause_; }
    QPushButton& stopButton() { return *stop_; }
    QLabel& statusLabel() { return *status_; }

signals:
    void pauseToggled(bool paused);
    void stopRequested();

protected:
    void keyPressEvent(QKeyEvent*) override;

private:
    QLabel* status_;
    QPushButton* pause_;
    QPushButton* stop_;
    bool paused_ = false;
};

}  // namespace movigram
