#pragma once
// What every save of the document shares (Save, Save as, Save optimized as
// and the preview file in FileCommands.h): the steps before the write and
// the writer's options.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/Document.h"
#include "save/GifWriter.h"

namespace movigram {

// Prepares a copy of the document as a save does and writes it.  With keep,
// the document takes the prepared frames (comment frame, optimised frames,
// palette) once the file is written; otherwise, and whenever the write
// fails, the document is left as it was.  A failed write shows "Error %d".
GifWriteResult writePreparedCopy(Document& doc, const std::string& path, bool optimize, bool keep);

// A copy of what a save prepares and writes: the frames with the fields the
// optimiser reads, the palette and the options (quantising too, for work
// on the copy).  It tells the host given (the document's, so that the
// status texts and the gauge show; none: nothing is shown), but the view
// never sees it.
std::unique_ptr<Document> copyForSave(Document& doc, Host* host = nullptr);

// The bytes the same save would write, made from a copy telling host (none:
// nothing is shown); the document is not changed.  Empty when the writer
// failed or the host asked to stop.  With planOnly, maximum compression
// makes its plan alone (no rival saves, no lossless twin of a lossy plan):
// a size to compare with others made so, at a fraction of the work.  With
// spare, the document is itself a copy made for this and is prepared in
// place (its host is the one told).
std::vector<uint8_t> savedBytes(Document& doc, bool optimize, Host* host = nullptr, bool planOnly = false,
                                bool spare = false);

// Above this many image pixels, maximum compression compares its plan with
// the plain save only: the optimising save would need a copy of the frames.
constexpr uint64_t maxRivalPixels = uint64_t(1) << 27;

// The steps before the write: the comment frame and, with optimize, the
// optimisation passes.
void prepareForSave(Document& doc, bool optimize);
// The writer's options for the document (lossy as an optimising save
// writes).
GifWriteOptions writeOptionsOf(Document& doc);

// The size of the file Save would write now, with the document's options
// (the optimising save or not, maximum compression, lossy), learnt by
// making the same bytes and counting them.  Made on the document's thread,
// where it copies the document; run on any thread.  stop, from any thread,
// makes the run give up between images.
class SizeEstimate {
public:
    explicit SizeEstimate(Document& doc);
    ~SizeEstimate();
    SizeEstimate(const SizeEstimate&) = delete;
    SizeEstimate& operator=(const SizeEstimate&) = delete;

    // Once: the size in bytes; nothing when stopped, or when Save would
    // refuse (no frame with pixels).
    std::optional<uint64_t> run();
    void stop() { stop_.requestStop(); }
    bool stopRequested() const { return stop_.stopRequested(); }

private:
    StopToken stop_;
    QuietHost host_{&stop_};
    bool optimize_;
    std::unique_ptr<Document> copy_;  // tells host_; taken by run
};

// A file size as the program shows it: "900 bytes", "12.3 KB", "256 KB",
// "7.93 MB", "10 MB" (1 KB = 1000 bytes, 1 MB = 1000 KB).
std::string describeSize(uint64_t bytes);
// The same as the status bar shows an estimate: "≈ 2.3 MB".
std::string approximateSizeText(uint64_t bytes);

}  // namespace movigram
