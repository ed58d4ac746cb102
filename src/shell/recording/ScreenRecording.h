#pragma once
// File > Record screen...: asks what to record, records it while the
// control runs beside the region, and puts the recording into the document
// (a new animation, or before the current frame).  The recorder works on
// threads of its own; the document is only changed here, on the window's
// thread, when the recording has ended.
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "RecordChoice.h"
#include "TRecordDialog.h"

namespace movigram {

namespace capture {
class Recorder;
}
class EditorSession;

class TRecordingControl;

class ScreenRecording : public QObject {
    Q_OBJECT
public:
    explicit ScreenRecording(EditorSession& session);
    ~ScreenRecording() override;

    // Opens the dialog, or says why the screen cannot be recorded here.
    void begin();

    TRecordDialog* dialog() const { return dialog_; }
    TRecordingControl* control() const { return control_.get(); }
    bool isRecording() const { return recorder_ != nullptr; }

signals:
    // The recording has been put into the document (or given up).
    void ended();

private:
    void start(const RecordChoice& choice);
    void startRecorder();
    void poll();
    void finish();

    EditorSession& session_;
    QPointer<TRecordDialog> dialog_;
    std::unique_ptr<TRecordingControl> control_;
    std::unique_ptr<capture::Recorder> recorder_;
    RecordChoice choice_;
    QRect recorded_;  // the region, in screen pixels
    QTimer poll_, countdown_;
    int secondsToStart_ = 0;
    int recordings_ = 0;
};

}  // namespace movigram
