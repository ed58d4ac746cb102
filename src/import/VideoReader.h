#pragma once
// Video files (AVI, and whatever other container FFmpeg reads: MP4, MOV,
// MKV, WebM...) as a chain of 8-bit frames, one per video frame, each timed
// by the stream's frame rate.  Palettised video keeps its palette; 5-5-5 and
// 24-bit frames go to the median-cut quantiser as they are, every other
// pixel format is converted to 24 bits first.
//
// With the high quality quantiser or with dithering, the video is read
// twice: the first time its frames (a sample of them when it is long) give
// one palette for the whole video, the second time every frame is put on
// that palette, a pixel that does not change keeping its index
// (SharedPalette.h).  The original way, median cut without dithering,
// reduces each frame to a palette of its own.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "TrueColorImage.h"
#include "document/Progress.h"
#include "document/FrameChain.h"

namespace movigram {

enum VideoResult : int {
    VideoOk = 0,
    VideoNoMemory = 1,
    VideoCannotOpen = 2,
    VideoCorrupt = 3,           // no video stream, or the first frame cannot be read
    VideoUnsupportedDepth = 4,  // the first frame's pixels cannot be converted
    VideoUnsupportedCompression = 5,
    VideoUnexpectedEnd = 6,  // a later frame cannot be read; the frames before are kept
};

struct VideoReadOptions {
    Host* host = nullptr;                                // status text while a frame is reduced
    Progress* progress = nullptr;  // by frames read
    std::function<void(const TrueColorImage&)> preview;  // a deep frame before its reduction
    std::function<void(const TFrame&)> paint;            // each frame as it is made
    DecodeLimits limits = DecodeLimits::defaults();
    QuantizeOptions quantize;
};

struct VideoReadOutput {
    FrameChain frames;  // linked through next; kept also when result is not VideoOk
    int result = VideoOk;
    int32_t frameTime = 0;  // milliseconds given to every frame
};

VideoReadOutput readVideo(const std::string& path, const VideoReadOptions& options = {});

// Whether FFmpeg's probe takes head (the first bytes of a file) for a video
// container it reads.
bool isVideoContainer(std::span<const uint8_t> head);

// The message for a result code (empty for success).
std::string videoResultMessage(int result, const std::string& path);

// 1000 / (rate / scale) milliseconds, truncated (at least 1); 0 when rate or
// scale is not positive.
int32_t frameTimeFromRate(int64_t rate, int64_t scale);

}  // namespace movigram
