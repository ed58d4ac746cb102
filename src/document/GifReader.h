#pragma once
// Reads a GIF87a/GIF89a file into a chain of frames: one TFrame per image, one
// TTextFrame per comment, with timing, transparency and restore method from
// the graphic control extension before each image and the loop settings from
// the looping application extension.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "DecodeLimits.h"
#include "FrameChain.h"
#include "Progress.h"
#include "TMyPalette.h"

namespace movigram {

enum GifResult : int {
    GifOk = 0,
    GifNoMemory = 1,
    GifCannotOpen = 2,
    GifCorrupt = 3,
    // An image reaching past 65535, where every GIF screen ends: nothing
    // could show it, and no save could write it back whole.
    GifOutsideScreen = 4,
};

struct GifReadOptions {
    // Told the share of the file consumed.
    Progress* progress = nullptr;
    // Called with each frame right after it is decoded (live painting).
    std::function<void(const TFrame&)> paint;
    DecodeLimits limits = DecodeLimits::defaults();
};

struct GifReadOutput {
    // Frames read, linked through next; kept also when result is not GifOk.
    FrameChain frames;
    int result = GifOk;
    bool loopFound = false;
    int32_t loopCount = 0;
    // The logical screen descriptor and the global colour table, if any.
    TSize screen;
    int backgroundIndex = 0;
    std::optional<TMyPalette> globalPalette;
};

GifReadOutput readGif(const std::string& path, const GifReadOptions& options = {});
// Reads a GIF held in memory; baseName names the frames.
GifReadOutput readGifMemory(std::span<const uint8_t> data, const std::string& baseName,
                            const GifReadOptions& options = {});

// The message shown for a reader's result code (empty for success).
std::string gifResultMessage(int result, const std::string& path);

// The part of a path after its last folder separator.
std::string baseNameOf(const std::string& path);

}  // namespace movigram
