#pragma once
// Fitting an animation under a file size: the levers a person accepts for a
// smaller file, least visible first (maximum compression, lossy levels,
// fewer colours, a lower frame rate, a smaller scale), and the search for
// the best-looking setting whose file is no larger than the target.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/Document.h"
#include "document/Progress.h"

namespace movigram {

// One setting of the levers.  Maximum compression is always on.
struct ShareSettings {
    int lossy = 100;         // the lossy quality, 100: lossless
    int colors = 0;          // 2..256, 0: the colours the document has
    int frameStep = 1;       // framesKept frames kept in every frameStep, the times added up
    int scalePercent = 100;  // of the screen's sides
    int framesKept = 1;      // below frameStep

    bool operator==(const ShareSettings&) const = default;
};

// "lossy 70, 128 colours, 80 % scale"; "maximum compression" when no lever
// beyond it is used.
std::string describeSettings(const ShareSettings& settings);
// "8MB", "8 MB", "1.5M", "256KB", "256k", "2MiB", "500000": a size in bytes
// (KB, MB, GB are powers of 1000; KiB, MiB, GiB of 1024).  Nothing for other
// text or a size of 0.
std::optional<uint64_t> parseByteSize(std::string_view text);

// The settings tried for the document, from the best-looking to the
// smallest file, each at least as strong as the one before on every lever.
// bestLossy caps the lossy level (the user's own --lossy).
std::vector<ShareSettings> shareLadder(const Document& doc, int bestLossy = 100);

// Changes the document (a copy of the user's; nothing is recorded) to the
// settings: fewer frames, a smaller screen, fewer colours, and the save
// options of maximum compression at the lossy level.  False when a lever
// could not be applied (out of memory, nothing to scale).
bool applyShareSettings(Document& doc, const ShareSettings& settings);

// The file the settings give: a copy of the document changed by them and
// saved with maximum compression.  Empty when it could not be made, or
// when stop (may be null) asked to stop.  The document is only read.  With
// planOnly, a size for estimates (savedBytes in SaveCommands.h).
std::vector<uint8_t> sharedFile(Document& doc, const ShareSettings& settings, const Progress* stop = nullptr,
                                bool planOnly = false);

struct FitResult {
    bool fits = false;
    ShareSettings settings;      // what was chosen (or the smallest tried)
    std::vector<uint8_t> file;   // the file that fits; empty when none does
    uint64_t bytes = 0;          // its size, or that of the smallest tried
    int fullSaves = 0;           // how many whole files were made
};

// The best-looking setting of the ladder whose file is at most maxBytes.
// The search estimates sizes from a sample of the frames and makes whole
// files only to confirm: about three maximum-compression saves.  The
// document is not changed.  progress (may be null) is told how far the
// search is, and may ask it to stop: nothing fits then.
FitResult fitToSize(Document& doc, uint64_t maxBytes, int bestLossy = 100, Progress* progress = nullptr);

}  // namespace movigram
