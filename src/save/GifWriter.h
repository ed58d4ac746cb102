#pragma once
// Writes an animation chain as one GIF89a file: header, logical screen with
// the global colour table, the looping extension, then per frame a comment
// extension or a graphic control extension with the image, and the trailer.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gif/ByteSink.h"
#include "document/Progress.h"
#include "document/TFrame.h"

namespace movigram {

// The writer's error codes, the numbers its message ends with.
enum GifWriteError : int {
    GifErrorCreate = 0,
    GifErrorHeader = 6,
    GifErrorScreen = 221,
    GifErrorBuffer = 7,
    GifErrorFinal = 1,
    GifErrorClose = 2,
    GifErrorMemory = 11,
};

struct GifWriteResult {
    bool ok = false;
    int errorCode = GifErrorCreate;  // meaningful when !ok
    int systemError = 0;             // the system's error number, 0 when it gave none
    std::string path;                // the path written, exactly as given
};

struct GifWriteOptions {
    bool cropToDirty = false;
    int32_t loopCount = 0;
    Progress* progress = nullptr;
    // 0-100: below 100 the images are written with the lossy LZW encoder,
    // which keeps exact the pixels left transparent and those that show the
    // screen's colour already.
    int lossyQuality = 100;
    // Set when the writer is the only one reading the frames: when their
    // images, all decoded, would hold more bytes than this, each is parked
    // once written (FrameCache.h).
    uint64_t parkBeyond = UINT64_MAX;
};

// Writes the chain starting at firstFrame to path; an existing file is
// replaced only when the whole write succeeded.  A folder is never written.
GifWriteResult writeGif(const std::string& path, TFrame* firstFrame, const TMyPalette& globalPalette,
                        const GifWriteOptions& options);
// The same bytes into a sink; false when the sink failed or the progress
// asked to stop.
bool writeGifTo(ByteSink& out, TFrame* firstFrame, const TMyPalette& globalPalette,
                const GifWriteOptions& options);

// Writes bytes made beforehand (a whole GIF) the same way.
GifWriteResult writeGifBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// One line for a failed write: which file and why, the same text for the
// same cause: Cannot write "out/a.gif": No such file or directory; the
// writer's "Error %d" when the system gave no reason.
std::string gifWriteErrorMessage(const GifWriteResult& result);

// Bits needed for a colour table of count entries: smallest n with 2^n >= count.
int tableBits(int count);

}  // namespace movigram
