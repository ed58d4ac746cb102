// movigram-bench-shell: the editor's windows on a long animation, offscreen.
// A generated animation of 1000 frames of 640 x 480 is opened in the real
// main window; the program reports how long the open takes and how often the
// window painted meanwhile, the time of one step with the arrow keys (key
// event, showing, painting) at 1:1 and at 4:1 near the start, the middle and
// the end, the time to scroll the frame list a page with its thumbnails, and
// how long 100 frames of 20 ms take to play with the real timer.
//   movigram-bench-shell [--long]   (--long also plays 1000 frames)
//   movigram-bench-shell --open FILE   (only: the time to open FILE, to delete
//   every other frame of it and to undo that, the list and canvas following)
//   movigram-bench-shell --many [N] [FILE]   (only: a recording of N tiny
//   frames, 100,000 unless given, or FILE: open, the list scrolled a page at
//   a time, a jump to the end, 1,000 steps each way, 2 s of playing, and
//   select all, delete and undo in the list)
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <numeric>
#include <vector>

#include "Recordings.h"
#include "document/FrameChain.h"
#include "document/Undo.h"
#include "frameops/FrameOffset.h"
#include "frameops/FrameOrder.h"
#include "frameops/GrayScale.h"
#include "save/GifWriter.h"
#include "shell/ActionRegistry.h"
#include "shell/FrameListModel.h"
#include "shell/FrameListWindow.h"
#include "shell/StatusGadgets.h"
#include "shell/EditorSession.h"
#include "shell/Playback.h"
#include "shell/TBmpViewWindow.h"
#include "shell/TMyFrameWindow.h"

using namespace movigram;

namespace {

constexpr int W = 640, H = 480;

TMyPalette benchPalette() {
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < 256; ++i)
        entries.push_back({uint8_t(i < 128 ? i * 2 : 255), uint8_t((i * 3) & 255), uint8_t(255 - i), 0});
    return TMyPalette(entries);
}

// Frame f: a gradient that drifts, a ball that moves and a bar that grows,
// so that every frame differs everywhere a little.
std::unique_ptr<TFrame> benchFrame(int f, const TMyPalette& palette) {
    auto image = std::make_unique<TDib256>(W, H);
    image->colors() = palette.toColorTable();
    image->colorsUsed = 256;
    const int bx = 40 + (f * 7) % (W - 80), by = 40 + int(std::abs(std::sin(f * 0.1)) * (H - 120));
    for (int y = 0; y < H; ++y) {
        uint8_t* row = image->row(y);
        for (int x = 0; x < W; ++x) {
            int v = ((x + f) / 5 + y / 4) & 127;
            const int dx = x - bx, dy = y - by;
            if (dx * dx + dy * dy < 900) v = 200 + (dx + dy + 60) / 10;
            if (y > H - 12 && x < (f % 1000) * W / 1000) v = 250;
            row[x] = uint8_t(v);
        }
    }
    auto frame = std::make_unique<TFrame>("bench", std::move(image));
    frame->frameTime = 20;
    frame->repeat = 1;
    frame->rect = frame->dirtyRect = {0, 0, W, H};
    return frame;
}

std::string makeAnimation(int frames, const std::string& path) {
    if (std::filesystem::exists(path)) return path;
    const TMyPalette palette = benchPalette();
    FrameChain chain;
    for (int f = 0; f < frames; ++f) chain.push_back(benchFrame(f, palette));
    linkChain(chain);
    const GifWriteResult result = writeGif(path, chain.front().get(), palette, {});
    if (!result.ok) std::fprintf(stderr, "could not write %s\n", path.c_str());
    return path;
}

struct Stats {
    double median, mean, max;
};

Stats statsOf(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], std::accumulate(ms.begin(), ms.end(), 0.0) / double(ms.size()), ms.back()};
}

// One key press on the canvas, with everything it shows painted.
double stepWithKey(TBmpViewWindow& view, int key) {
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
    QApplication::processEvents();
    view.viewport()->repaint();
    return double(t.nsecsElapsed()) / 1e6;
}

void measureSteps(TMyFrameWindow& window, const char* zoomText) {
    TBmpViewWindow& view = window.client();
    Document& doc = window.session().document();
    const int count = doc.frameList.count();
    for (int at : {1, count / 2, count - 22}) {
        window.session().listSelect(at);
        QApplication::processEvents();
        std::vector<double> forward, backward;
        for (int i = 0; i < 20; ++i) forward.push_back(stepWithKey(view, Qt::Key_Right));
        for (int i = 0; i < 20; ++i) backward.push_back(stepWithKey(view, Qt::Key_Left));
        const Stats f = statsOf(forward), b = statsOf(backward);
        std::printf("  %s at frame %4d: Right median %5.2f ms max %5.2f ms; Left median %5.2f ms max %5.2f ms\n",
                    zoomText, at, f.median, f.max, b.median, b.max);
    }
}

double playFrames(TMyFrameWindow& window, int frames) {
    EditorSession& session = window.session();
    Document& doc = session.document();
    // An open chain of `frames` frames of 20 ms: playing from the first frame
    // shows each for its time and stops after the last one's.
    while (doc.frameList.count() > frames) doc.frameList.erase(doc.frameList.count() - 1);
    doc.loopOption = false;
    doc.relink();
    session.listSelect(0);
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    session.playback().play();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!session.playback().isPlaying()) loop.quit();
    });
    poll.start(1);
    loop.exec();
    return double(t.nsecsElapsed()) / 1e6;
}

double msSince(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// The processor time of the calling thread, in ms: on a shared machine the
// wall time of a step also counts the time other programs held the core.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The editor's Open of a file, then a delete of every other frame and its
// undo, each with the events it causes handled.
void openDeleteUndo(TMyFrameWindow& window, const std::string& path) {
    QElapsedTimer t;
    t.start();
    window.session().openPath(QString::fromStdString(path));
    QApplication::processEvents();
    const double openMs = msSince(t);
    Document& doc = window.session().document();
    const int count = doc.frameList.count();
    std::vector<int32_t> odd;
    for (int i = 1; i < count; i += 2) odd.push_back(i);
    t.restart();
    deleteFrames(doc, odd, "Delete frames");
    QApplication::processEvents();
    const double deleteMs = msSince(t);
    t.restart();
    undo(doc);
    QApplication::processEvents();
    std::printf("%s: %d frames; open %.0f ms, deleting every other frame %.0f ms, undoing it %.0f ms\n",
                path.c_str(), count, openMs, deleteMs, msSince(t));
    // Edits that replace or exchange every frame, one list change each.
    const std::vector<int32_t> all = selectAll(doc.frameList);
    for (const auto& [name, edit] : {std::pair<const char*, bool (*)(Document&, FrameSelection, const std::string&)>{
                                         "reversing the order", reverseOrder},
                                     {"gray scale", grayScale}}) {
        t.restart();
        edit(doc, all, name);
        QApplication::processEvents();
        const double editMs = msSince(t);
        t.restart();
        undo(doc);
        QApplication::processEvents();
        std::printf("  %s of all frames %.0f ms, undoing it %.0f ms\n", name, editMs, msSince(t));
    }
}


// A key pressed on a widget, with everything it causes handled and the
// canvas and the list painted; its time.
double keyOn(QWidget& target, TMyFrameWindow& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
             double* cpuMs = nullptr) {
    const double cpu = threadCpuMs();
    QElapsedTimer t;
    t.start();
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(&target, &press);
    QApplication::processEvents();
    window.client().viewport()->repaint();
    window.frameListWindow().listBox().viewport()->repaint();
    if (cpuMs) *cpuMs = threadCpuMs() - cpu;
    return msSince(t);
}

// Counts the frames the canvas is told to show.
struct ShownCounter : DocumentObserver {
    int shown = 0;
    void currentFrameChanged() override { ++shown; }
};

void printStats(const char* what, const std::vector<double>& ms, const std::vector<double>& cpu = {}) {
    const Stats s = statsOf(ms);
    std::printf("| %s | %zu | %.2f | %.2f |", what, ms.size(), s.median, s.max);
    if (!cpu.empty()) std::printf(" %.2f |", statsOf(cpu).median);
    std::printf("\n");
}

// The editor on a very long animation: every row of the table is what the
// person waits for, the window's thread from the input to the last paint.
void manyFrames(TMyFrameWindow& window, const std::string& path) {
    EditorSession& session = window.session();
    Document& doc = session.document();
    TFrameListBox& list = window.frameListWindow().listBox();
    FrameListModel& model = list.frameModel();
    QScrollBar* bar = list.verticalScrollBar();

    QElapsedTimer t;
    t.start();
    session.openPath(QString::fromStdString(path));
    QApplication::processEvents();
    list.viewport()->repaint();
    const double openMs = msSince(t);
    const int count = doc.frameList.count();
    std::printf("%s: %d frames, %d lines a page\n\n", path.c_str(), count, list.visibleLines());
    std::printf("| what | count | median ms | max ms | median ms of the window's thread's processor time |\n"
                "|---|---|---|---|---|\n");
    std::printf("| open, list painted | 1 | %.0f | %.0f |\n", openMs, openMs);

    // A page at a time from the top, each page painted with its thumbnails
    // asked for; then to the end with the canvas's End key, the list
    // following, and a page at a time back up from there.
    auto pageBy = [&](int step, const char* what) {
        std::vector<double> pages, cpu;
        for (int p = 0; p < 300; ++p) {
            const double cpuBefore = threadCpuMs();
            QElapsedTimer page;
            page.start();
            bar->setValue(bar->value() + step);
            QApplication::processEvents();
            list.viewport()->repaint();
            pages.push_back(msSince(page));
            cpu.push_back(threadCpuMs() - cpuBefore);
        }
        printStats(what, pages, cpu);
    };
    pageBy(bar->pageStep(), "list page down, from the top");
    session.listSelect(0);
    QApplication::processEvents();
    const double endMs = keyOn(window.client(), window, Qt::Key_End);
    std::printf("| End key (jump to the last frame) | 1 | %.2f | %.2f |\n", endMs, endMs);
    // The pictures of the lines shown there come from the worker, which
    // composes every screen before them first.
    QElapsedTimer arrive;
    arrive.start();
    while (model.thumbnailsWaiting() > 0) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    const double arriveMs = msSince(arrive);
    std::printf("| then until the pictures there arrived | 1 | %.0f | %.0f |\n", arriveMs, arriveMs);
    pageBy(-bar->pageStep(), "list page up, from the end");

    // Frame by frame from the middle.
    session.listSelect(count / 2);
    QApplication::processEvents();
    for (const int key : {Qt::Key_Right, Qt::Key_Left}) {
        std::vector<double> steps, cpu;
        for (int i = 0; i < 1000; ++i) {
            double stepCpu = 0;
            steps.push_back(keyOn(window.client(), window, key, Qt::NoModifier, &stepCpu));
            cpu.push_back(stepCpu);
        }
        printStats(key == Qt::Key_Right ? "step right (next frame)" : "step left (previous frame)", steps, cpu);
    }

    // Two seconds of playing from the first frame: the frames shown against
    // those whose times fit in 2 s.
    session.listSelect(0);
    QApplication::processEvents();
    ShownCounter counter;
    doc.addObserver(&counter);
    session.playback().play();
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    loop.exec();
    session.playback().stop();
    doc.removeObserver(&counter);
    int expected = 0;
    for (int64_t ms = 0, i = 1; i < count; ++i) {
        ms += int64_t(doc.frameList.frameAt(int(i - 1))->repeat) * doc.frameTime;
        if (ms > 2000) break;
        ++expected;
    }
    std::printf("| play 2 s: frames shown / expected | %d / %d | | |\n", counter.shown, expected);

    // Every line selected in the list, deleted there, and the undo.
    list.setFocus();
    const double selectMs = keyOn(list, window, Qt::Key_A, Qt::ControlModifier);
    std::printf("| select all (Ctrl+A in the list) | %zu lines | %.0f | %.0f |\n", list.selectedRows().size(), selectMs,
                selectMs);
    const double deleteMs = keyOn(list, window, Qt::Key_Delete);
    std::printf("| delete (Delete in the list) | %d left | %.0f | %.0f |\n", doc.frameList.count(), deleteMs,
                deleteMs);
    t.restart();
    session.actions().action(CommandId::Undo)->trigger();
    QApplication::processEvents();
    list.viewport()->repaint();
    const double undoMs = msSince(t);
    std::printf("| undo | %d frames | %.0f | %.0f |\n", doc.frameList.count(), undoMs, undoMs);
    std::printf("\n%d thumbnails made\n", model.thumbnailsMade());
    doc.setModified(false);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Movigram"));
    const bool longRun = argc > 1 && std::string(argv[1]) == "--long";

    const auto folder = std::filesystem::temp_directory_path() / "movigram-bench";
    std::filesystem::create_directories(folder);
    // The main window with settings of its own, shown and idle.
    auto shown = [](TMyFrameWindow& window) {
        window.resize(1200, 800);
        window.show();
        window.firstIdle();
        QApplication::processEvents();
    };
    const QString settings = QString::fromStdString((folder / "movigram.ini").string());
    std::filesystem::remove(folder / "movigram.ini");
    if (argc > 1 && std::string(argv[1]) == "--many") {
        const int frames = argc > 2 ? std::atoi(argv[2]) : 100000;
        std::string path = argc > 3 ? argv[3] : (folder / ("tiny-" + std::to_string(frames) + ".gif")).string();
        if (argc <= 3 && !std::filesystem::exists(path) && !bench::writeTinyRecording(path, frames)) {
            std::fprintf(stderr, "could not write %s\n", path.c_str());
            return 1;
        }
        TMyFrameWindow window(settings);
        shown(window);
        manyFrames(window, path);
        window.close();
        return 0;
    }
    if (argc > 2 && std::string(argv[1]) == "--open") {
        TMyFrameWindow window(settings);
        shown(window);
        openDeleteUndo(window, argv[2]);
        return 0;
    }
    std::printf("Generating 1000 frames of %dx%d...\n", W, H);
    const std::string path = makeAnimation(1000, (folder / "bench-1000.gif").string());
    std::printf("%s: %.1f MB\n", path.c_str(), double(std::filesystem::file_size(path)) / 1e6);

    TMyFrameWindow window(settings);
    shown(window);
    TBmpViewWindow& view = window.client();

    // Opening: the window paints while the frames are read.
    int paints = 0, gaugeValues = 0, lastGauge = -1;
    struct PaintCounter : QObject {
        int* count;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*count;
            return false;
        }
    } counter;
    counter.count = &paints;
    view.viewport()->installEventFilter(&counter);
    QTimer gaugeWatch;
    QObject::connect(&gaugeWatch, &QTimer::timeout, [&] {
        if (window.gauge().value() != lastGauge) {
            lastGauge = window.gauge().value();
            ++gaugeValues;
        }
    });
    gaugeWatch.start(0);
    QElapsedTimer t;
    t.start();
    window.session().openPath(QString::fromStdString(path));
    const double openMs = double(t.nsecsElapsed()) / 1e6;
    gaugeWatch.stop();
    view.viewport()->removeEventFilter(&counter);
    std::printf("Open: %.0f ms for %d frames; the canvas painted %d times and the gauge showed %d values meanwhile\n",
                openMs, window.session().document().frameList.count(), paints, gaugeValues);

    std::printf("Stepping with the arrow keys (20 steps each way):\n");
    measureSteps(window, "1:1");
    window.session().actions().action(CommandId::ZoomOut)->trigger();
    window.session().actions().action(CommandId::ZoomOut)->trigger();
    window.session().actions().action(CommandId::ZoomOut)->trigger();
    QApplication::processEvents();
    measureSteps(window, "4:1");
    window.session().actions().action(CommandId::Zoom1to1)->trigger();

    // The frame list a page at a time, thumbnails made as lines come into view.
    TFrameListBox& list = window.frameListWindow().listBox();
    QScrollBar* bar = list.verticalScrollBar();
    const int madeBefore = list.frameModel().thumbnailsMade();
    std::vector<double> pages;
    bar->setValue(0);
    QApplication::processEvents();
    for (int value = bar->pageStep(); value <= bar->maximum(); value += bar->pageStep()) {
        QElapsedTimer page;
        page.start();
        bar->setValue(value);
        list.viewport()->repaint();
        pages.push_back(double(page.nsecsElapsed()) / 1e6);
    }
    const Stats s = statsOf(pages);
    std::printf("Frame list: %zu pages of %d lines, median %.2f ms, max %.2f ms per page; %d thumbnails made\n",
                pages.size(), list.visibleLines(), s.median, s.max, list.frameModel().thumbnailsMade() - madeBefore);

    if (longRun) std::printf("Playing 1000 frames of 20 ms: %.0f ms (20000 expected)\n", playFrames(window, 1000));
    std::printf("Playing 100 frames of 20 ms: %.0f ms (2000 expected)\n", playFrames(window, 100));

    window.session().document().setModified(false);
    window.close();
    return 0;
}
