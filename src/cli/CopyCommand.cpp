// movigram-cli copy IN OUT [--no-comment]: reads a GIF and writes it back
// without optimisation.
#include <cstdio>
#include <string>

#include "CliSupport.h"
#include "document/CommentFrame.h"
#include "document/FrameList.h"
#include "document/GifReader.h"
#include "document/GifWriter.h"

namespace movigram::cli {

int runCopy(const Args& args) {
    bool comment = true;
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (a == "--no-comment") comment = false;
        else if (a.starts_with("--")) throw CliError{"copy: unknown option \"" + a + "\"", 2};
        else paths.push_back(a);
    }
    if (paths.size() != 2) throw CliError{"copy: expected IN and OUT (movigram-cli copy IN OUT [--no-comment])", 2};

    GifReadOutput gif = readGif(paths[0]);
    if (gif.result != GifOk) {
        if (gif.result == GifCannotOpen || gif.frames.empty())
            throw CliError{gifResultMessage(gif.result, paths[0])};
        // The frames read before the error are kept, as the editor keeps them.
        std::fprintf(stderr, "%s\n", gifResultMessage(gif.result, paths[0]).c_str());
    }
    const bool loop = gif.loopFound;
    FrameList list;
    list.appendChain(std::move(gif.frames));
    if (comment) ensureCommentFrame(list, loop);
    TFrame* first = threadFrames(list, loop);
    normalizeFrameTimes(first);

    const TMyPalette global = gif.globalPalette.value_or(TMyPalette());
    GifWriteOptions options;
    options.loopCount = gif.loopCount;
    const GifWriteResult written = writeGif(paths[1], first, global, options);
    if (!written.ok) throw CliError{gifWriteErrorMessage(written.errorCode)};
    std::printf("wrote %s\n", written.path.c_str());
    return gif.result == GifOk ? 0 : 1;
}

}  // namespace movigram::cli
