#include "FfmpegLibrary.h"

#include "document/SharedLibrary.h"

namespace movigram {

void* const* ffmpeg::handles() {
    // By the major versions of the headers.
#define MOVIGRAM_SONAME(name, major) "lib" name ".so." AV_STRINGIFY(major)
    static constexpr const char* sonames[partCount] = {
        MOVIGRAM_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
        MOVIGRAM_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
        MOVIGRAM_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
        MOVIGRAM_SONAME("swscale", LIBSWSCALE_VERSION_MAJOR),
    };
#undef MOVIGRAM_SONAME
    static void* opened[partCount] = {};
    static const bool all = [] {
        for (int i = 0; i < partCount; ++i)
            if (!(opened[i] = openSharedLibrary(sonames[i]))) return false;
        return true;
    }();
    return all ? opened : nullptr;
}

namespace {

bool load(FfmpegLibrary& lib) {
    void* const* handles = ffmpeg::handles();
    if (!handles) return false;
    bool complete = true;
#define MOVIGRAM_FFMPEG_LOOKUP(library, name) \
    complete = bindFunction(handles[ffmpeg::library], #name, lib.name) && complete;
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
