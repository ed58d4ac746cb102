#pragma once
// Playing the animation: Play, Stop and the playback step (timer 202).
// Each step is scheduled from the moment its frame was due rather than from
// when the step happened to run, so small delays of the event loop do not
// add up over a long animation: the delays a user sets are the delays the
// user sees.  A step that comes very late starts the count afresh instead
// of rushing the frames after it.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace movigram {

class EditorSession;

class Playback : public QObject {
    Q_OBJECT
public:
    explicit Playback(EditorSession& session);

    void play();
    // Stops the timer and selects the current frame in the frame list.
    void stop();
    bool isPlaying() const { return timer_.isActive() || stepping_; }
    int loopPass() const { return loopPass_; }
    // One step of timer 202; public so that a test can drive playback
    // without waiting.
    void step();
    // Delays of 10 ms or less play as 100 ms, as web browsers play them.
    void setBrowserTiming(bool on) { browserTiming_ = on; }

private:
    void schedule(qint64 delayMs);
    int delayOf(const class TFrame& frame) const;

    EditorSession& session_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 due_ = 0;  // when the frame on screen was due, on clock_
    int loopPass_ = 0;
    bool browserTiming_ = false;
    bool stepping_ = false;
};

}  // namespace movigram
