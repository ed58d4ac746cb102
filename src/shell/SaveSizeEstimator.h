#pragma once
// The size Save would write, kept up to date in the background.  Each
// change of the document starts a short timer, so that a burst of changes
// is measured once; when it runs out the document is copied here, on the
// window's thread (the only one that touches it), and the copy is measured
// on a worker thread.  A change meanwhile stops that measure at once, and
// the next starts when the timer runs out again.  The result comes back as
// a queued call.
#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "document/DocumentObserver.h"

namespace movigram {

class EditorSession;
class SizeEstimate;

class SaveSizeEstimator : public QObject, public DocumentObserver {
    Q_OBJECT
public:
    // How long after the last change the measure starts.
    static constexpr int settleMs = 300;

    explicit SaveSizeEstimator(EditorSession& session, QObject* parent = nullptr);
    // Stops the measure running and waits for the worker.
    ~SaveSizeEstimator() override;

    // The size last measured: nothing before the first, or when the
    // document has nothing to save.
    std::optional<uint64_t> size() const { return size_; }
    // Whether a newer size is on its way (the one shown is out of date).
    bool computing() const { return computing_; }
    // Whether the worker is measuring now.
    bool running() const;
    // The measures that gave up when asked to stop (the document changed
    // under them).
    int runsStopped() const;
    // Stops the measure running and starts no other (the window closes).
    void shutDown();

signals:
    // The size or whether it is computing changed.
    void changed();

private:
    void framesInserted(int, int) override { schedule(); }
    void framesRemoved(int, int) override { schedule(); }
    void framesMoved(int, int, int) override { schedule(); }
    void framesReset() override { schedule(); }
    void frameChanged(int) override { schedule(); }
    void paletteChanged() override { schedule(); }
    void optionsChanged() override { schedule(); }
    void documentChanged() override { schedule(); }

    void schedule();
    void start();
    void finished(uint64_t generation, std::optional<uint64_t> size);
    void work();

    EditorSession& session_;
    QTimer settle_;
    std::optional<uint64_t> size_;
    bool computing_ = false;
    bool shutDown_ = false;
    uint64_t generation_ = 0;  // of the last measure queued

    // Shared with the worker, under mutex_.
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::unique_ptr<SizeEstimate> queued_;
    uint64_t queuedGeneration_ = 0;
    SizeEstimate* running_ = nullptr;
    int runsStopped_ = 0;
    bool quit_ = false;
    std::thread worker_;  // started by the first measure
};

}  // namespace movigram
