#include "FfmpegLibrary.h"

#include "document/SharedLibrary.h"

namespace movigram {

namespace {

// The libraries the build was made against, by their major versions.
#define MOVIGRAM_SONAME(name, major) "lib" name ".so." AV_STRINGIFY(major)
enum Library { Util, Codec, Format, Scale, libraryCount };
constexpr const char* sonames[libraryCount] = {
    MOVIGRAM_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    MOVIGRAM_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    MOVIGRAM_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
    MOVIGRAM_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
};
#undef MOVIGRAM_SONAME

bool load(FfmpegLibrary& lib) {
    void* handles[libraryCount] = {};
    for (int i = 0; i < libraryCount; ++i) {
        // Kept open for the rest of the run.
        handles[i] = openSharedLibrary(sonames[i]);
        if (!handles[i]) return false;
    }
    bool complete = true;
#define MOVIGRAM_FFMPEG_LOOKUP(library, name) complete = bindFunction(handles[library], #name, lib.name) && complete;
    MOVIGRAM_FFMPEG_FUNCTIONS(MOVIGRAM_FFMPEG_LOOKUP)
#undef MOVIGRAM_FFMPEG_LOOKUP
    if (complete) lib.av_log_set_level(AV_LOG_QUIET);  // the core reports through result codes
    return complete;
}

}  // namespace

const FfmpegLibrary* ffmpegLibrary() {
    static FfmpegLibrary lib;
    static const bool loaded = load(lib);
    return loaded ? &lib : nullptr;
}

}  // namespace movigram
