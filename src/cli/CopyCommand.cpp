// movigram-cli copy IN OUT [--no-comment] [--keep-partial]: reads a GIF and
// writes it back without optimisation.
#include <cstdio>
#include <string>

#include "CliDocument.h"
#include "save/CommentFrame.h"
#include "document/FrameCache.h"
#include "document/FrameList.h"
#include "document/GifReader.h"
#include "save/GifWriter.h"

namespace movigram::cli {

int runCopy(const Args& args) {
    bool comment = true, keepPartial = false;
    std::vector<std::string> paths;
    for (const std::string& a : args) {
        if (a == "--no-comment") comment = false;
        else if (a == "--keep-partial") keepPartial = true;
        else if (a.starts_with("-") && a != "-") usageError("unknown option \"" + a + "\"");
        else paths.push_back(a);
    }
    if (paths.size() != 2) usageError("expected IN and OUT");
    requireWritableOutput(paths[1]);

    GifReadOutput gif = readGif(paths[0]);
    ReadOutcome outcome;
    std::vector<std::string> told;
    if (gif.result != GifOk) {
        const std::string message = gifResultMessage(gif.result, paths[0]);
        told.push_back(oneLine(message));
        outcome.problems.push_back({paths[0], message});
    }
    requireCleanInput(std::move(told), outcome, int(gif.frames.size()), keepPartial);
    const bool loop = gif.loopFound;
    FrameList list;
    list.appendChain(std::move(gif.frames));
    if (!anyFrameHasPixels(list)) throw CliError{"nothing to save: \"" + paths[0] + "\" holds no image"};
    if (comment) ensureCommentFrame(list, loop);
    TFrame* first = threadFrames(list, loop);
    normalizeFrameTimes(first);

    const TMyPalette global = gif.globalPalette.value_or(TMyPalette());
    GifWriteOptions options;
    options.loopCount = gif.loopCount;
    options.parkBeyond = decodedFramesBudget;
    const GifWriteResult written = writeGif(paths[1], first, global, options);
    if (!written.ok) throw CliError{gifWriteErrorMessage(written)};
    std::printf("wrote %s\n", written.path.c_str());
    return ExitOk;
}

}  // namespace movigram::cli
