// movigram-cli record --region X,Y,W,H|--window ID|--screen --duration S -o OUT.gif:
// records the X display of $DISPLAY for S seconds (or until Ctrl+C), then
// saves the recording optimised, as "optimize" saves a file.
#include <atomic>
#include <charconv>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

#include "CliDocument.h"
#include "capture/Recorder.h"
#include "capture/X11Source.h"
#include "commands/RecordingCommands.h"

namespace movigram::cli {
namespace {

using capture::X11Options;

// Seconds, whole or with a fraction, from low to high.
std::chrono::milliseconds secondsArgument(const std::string& text, const std::string& option, double low,
                                          double high) {
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty() || !(value >= low && value <= high))
        usageError(option + " takes seconds from " + std::to_string(int(low)) + " to " + std::to_string(int(high)) +
                   ", not \"" + text + "\"");
    return std::chrono::milliseconds(int64_t(value * 1000 + 0.5));
}

capture::Region regionArgument(const std::string& text) {
    capture::Region r;
    int* fields[] = {&r.x, &r.y, &r.width, &r.height};
    const char* p = text.data();
    const char* end = p + text.size();
    for (size_t i = 0; i < 4; ++i) {
        const auto [next, ec] = std::from_chars(p, end, *fields[i]);
        const bool last = i == 3;
        if (ec != std::errc() || (last ? next != end : next == end || *next != ','))
            usageError("--region takes X,Y,WIDTH,HEIGHT in screen pixels, not \"" + text + "\"");
        p = last ? next : next + 1;
    }
    if (r.width <= 0 || r.height <= 0) usageError("--region needs a width and a height above 0, not \"" + text + "\"");
    return r;
}

uint32_t windowArgument(const std::string& text) {
    const bool hex = text.starts_with("0x") || text.starts_with("0X");
    const char* begin = text.data() + (hex ? 2 : 0);
    const char* end = text.data() + text.size();
    uint32_t id = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, id, hex ? 16 : 10);
    if (ec != std::errc() || ptr != end || begin == end || id == 0)
        usageError("--window takes a window id (decimal, or hexadecimal after 0x), not \"" + text + "\"");
    return id;
}

// Ctrl+C (or a polite kill) while recording ends the recording early; what
// was recorded is still saved.
std::atomic<bool> interrupted{false};
extern "C" void interrupt(int) { interrupted = true; }

class InterruptStopsRecording {
public:
    InterruptStopsRecording() {
        struct sigaction action {};
        action.sa_handler = interrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt_);
        sigaction(SIGTERM, &action, &oldTerm_);
    }
    ~InterruptStopsRecording() {
        sigaction(SIGINT, &oldInt_, nullptr);
        sigaction(SIGTERM, &oldTerm_, nullptr);
    }

private:
    struct sigaction oldInt_ {}, oldTerm_ {};
};

const char* endText(capture::RecordingEnd end) {
    switch (end) {
    case capture::RecordingEnd::MemoryBudget: return "the memory budget was reached";
    case capture::RecordingEnd::SourceFailed: return "the display stopped giving pictures";
    case capture::RecordingEnd::Failed: return "the recording failed";
    default: return "";
    }
}

}  // namespace

int runRecord(const Args& args) {
    X11Options source;
    int targets = 0;
    capture::RecorderSettings settings;
    std::optional<std::chrono::milliseconds> duration;
    std::chrono::milliseconds delay{0};
    std::string out;
    StderrHost host;
    Document doc(&host);
    uint64_t maxSize = 0;
    bool splitAndMask = false, maximum = false;
    OutputChoice output;
    for (size_t i = 0; i < args.size(); ++i) {
        if (output.take(args, i)) continue;
        const std::string& a = args[i];
        if (a == "--region") {
            source.target = X11Options::Target::Region;
            source.region = regionArgument(optionValue(args, i, "X,Y,WIDTH,HEIGHT"));
            ++targets;
        } else if (a == "--window") {
            source.target = X11Options::Target::Window;
            source.window = windowArgument(optionValue(args, i, "a window id"));
            ++targets;
        } else if (a == "--screen") {
            source.target = X11Options::Target::Screen;
            ++targets;
        } else if (a == "--fps") {
            settings.framesPerSecond = int(numberArgument(optionValue(args, i, "frames per second"), a,
                                                          capture::RecorderSettings::minRate,
                                                          capture::RecorderSettings::maxRate));
        } else if (a == "--duration") {
            duration = secondsArgument(optionValue(args, i, "seconds"), a, 0.1, 3600);
        } else if (a == "--delay") {
            delay = secondsArgument(optionValue(args, i, "seconds"), a, 0, 3600);
        } else if (a == "--pointer") {
            source.pointer = true;
        } else if (a == "-O") {
            splitAndMask = true;
        } else if (a == "-O3") {
            splitAndMask = maximum = true;
        } else if (a == "--no-comment") {
            doc.commentFrameOption = false;
        } else if (a == "--lossy") {
            doc.lossyQuality = int(numberArgument(optionValue(args, i, "a quality level"), a, 0, 100));
        } else if (a == "--max-size") {
            maxSize = byteSizeArgument(optionValue(args, i, "a size"), a);
        } else if (a == "-o") {
            out = optionValue(args, i, "the output file");
        } else if (!takeQuantizeOption(args, i, doc.quantize)) {
            usageError("unknown option \"" + a + "\"");
        }
    }
    if (targets != 1) usageError("give one of --region X,Y,W,H, --window ID or --screen");
    if (!duration) usageError("--duration S is needed: how many seconds to record");
    if (out.empty()) usageError("-o OUT.gif is needed");
    const ExportFormat format = output.formatOf(out);

    std::string error;
    std::unique_ptr<capture::X11Source> x11 = capture::X11Source::open(source, error);
    if (!x11) throw CliError{error};
    std::this_thread::sleep_for(delay);

    settings.duration = *duration;
    settings.quantize = doc.quantize;
    capture::Recorder recorder(std::move(x11), settings);
    {
        const InterruptStopsRecording interruptible;
        recorder.start();
        while (!recorder.finished()) {
            if (interrupted) recorder.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const capture::RecordingProgress progress = recorder.progress();
    capture::RecordingResult result = recorder.takeResult("Recording 1");
    if (result.frames.empty())
        throw CliError{"nothing was recorded" + (result.message.empty() ? "" : ": " + result.message)};
    if (!result.message.empty()) warn(std::string(endText(result.end)) + ": " + result.message);
    std::printf("recorded %.2f s: %llu pictures, %llu ticks skipped, %zu frames\n",
                double(result.elapsed.count()) / 1000, static_cast<unsigned long long>(progress.pictures),
                static_cast<unsigned long long>(progress.skipped), result.frames.size());

    placeRecording(doc, ReplaceDocument, std::move(result.frames), "Recording 1");
    doc.cropToDirty = true;
    doc.splitDirty = doc.transparentMaskOption = splitAndMask;
    doc.maxCompression = maximum;
    if (format != ExportFormat::Gif) exportOutput(doc, out, format, output);
    else if (maxSize) saveWithin(doc, out, maxSize, doc.lossyQuality);
    else saveOutput(doc, out, true);
    return ExitOk;
}

}  // namespace movigram::cli
