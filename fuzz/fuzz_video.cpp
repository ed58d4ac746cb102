// Fuzz target: video import on the input written to a temporary file (FFmpeg
// opens files by name), with the fuzz limits, checking the result code and
// that every frame it keeps is well formed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "FuzzSupport.h"
#include "import/VideoReader.h"

using namespace movigram;
using movigram::fuzz::fail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* folder = std::getenv("TMPDIR");
    std::string path = std::string(folder && *folder ? folder : "/tmp") + "/movigram-fuzz-video-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) fail("cannot make a temporary file");
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(fd, data + done, size - done);
        if (n <= 0) fail("cannot write the temporary file");
        done += size_t(n);
    }
    close(fd);

    VideoReadOptions options;
    options.limits = fuzz::fuzzLimits();
    const VideoReadOutput out = readVideo(path, options);
    unlink(path.c_str());

    if (out.result < VideoOk || out.result > VideoUnexpectedEnd) fail("result code %d", out.result);
    if (out.frameTime < 0) fail("frame time %d", out.frameTime);
    fuzz::checkFrames(out.frames, options.limits);
    for (const auto& frame : out.frames)
        if (frame->isComment) fail("a comment frame from a video");
    return 0;
}
